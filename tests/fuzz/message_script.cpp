#include "tests/fuzz/message_script.h"

#include <algorithm>

#include "common/base64.h"

namespace pw::fuzzing {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + separator.size());
    }
}

// A panel's choice: what a real panel could return, so a path never holds a NUL.
std::vector<std::string> chosenFiles(std::string_view list, const PathJail& jail)
{
    std::vector<std::string> files;
    for (auto piece : split(list, "|")) {
        std::string file = unescape(piece);
        file.resize(std::min(file.size(), file.find('\0')));
        files.push_back(jail.inside(file));
    }
    return files;
}

void readLine(std::string_view line, ScriptedMessage& scripted, const PathJail& jail)
{
    if (line == "!notobject") {
        scripted.message.isObject = false;
        return;
    }
    if (line == "!noview") {
        scripted.withoutView = true;
        return;
    }
    if (line == "!token=none" || line == "!token=wrong") {
        scripted.token = line.ends_with("none") ? ScriptedMessage::Token::None : ScriptedMessage::Token::Wrong;
        return;
    }
    if (line == "!answer") {
        scripted.answers.emplace_back(std::nullopt);
        return;
    }
    if (line.starts_with("!answer=")) {
        scripted.answers.emplace_back(chosenFiles(line.substr(8), jail));
        return;
    }

    const auto mark = line.find_first_of("=:");
    const std::string key = unescape(line.substr(0, mark));
    const bool transformed = mark != std::string_view::npos && line[mark] == ':';
    std::string value = mark == std::string_view::npos ? std::string() : unescape(line.substr(mark + 1));
    if (key == "b64" && transformed) value = base64::encode(value.data(), value.size());
    if (key == "path" || key == "dir") value = transformed ? jail.confine(value) : jail.inside(value);
    scripted.message.strings[key] = std::move(value);
}

}  // namespace

std::string unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '\\': out += '\\'; break;
        case 'x':
            if (i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
                out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
                i += 2;
                break;
            }
            [[fallthrough]];
        default:
            out += '\\';
            out += next;
        }
    }
    return out;
}

std::vector<ScriptedMessage> readMessageScript(std::string_view text, const PathJail& jail, std::size_t maxMessages)
{
    std::vector<ScriptedMessage> messages;
    for (auto paragraph : split(text, "\n\n")) {
        if (messages.size() == maxMessages) break;
        ScriptedMessage scripted;
        scripted.message.isObject = true;
        for (auto line : split(paragraph, "\n"))
            if (!line.empty()) readLine(line, scripted, jail);
        messages.push_back(std::move(scripted));
    }
    return messages;
}

}  // namespace pw::fuzzing
