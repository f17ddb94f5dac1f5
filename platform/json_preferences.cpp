#include "platform/json_preferences.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <vector>
#include <utility>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"

namespace pw {

namespace {

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

void makeFolders(const std::string& folder)
{
    if (folder.empty() || folder == "/" || folder == ".") return;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return;
    makeFolders(deletingLastPathComponent(folder));
    ::mkdir(folder.c_str(), 0700);
}

// What the application stores is a few kilobytes, two or three levels deep. Far
// beyond that the file is not ours, and parsing or writing it without bound could
// take the memory or, writing, the stack (the writer recurses once per level).
constexpr std::uint64_t maxFileSize = 4 << 20;
constexpr int maxDepth = 64;

bool deeperThan(const nlohmann::json& value, int limit)
{
    if (!value.is_structured()) return false;
    if (limit == 0) return true;
    for (const auto& element : value)
        if (deeperThan(element, limit - 1)) return true;
    return false;
}

// The file's object, or an empty one when it is damaged: not JSON, not an object,
// too large or too deep.
nlohmann::json parseBounded(const std::vector<std::uint8_t>& bytes)
{
    bool tooDeep = false;
    const nlohmann::json::parser_callback_t refuseDeep = [&tooDeep](int depth, nlohmann::json::parse_event_t,
                                                                    nlohmann::json&) {
        if (depth > maxDepth) tooDeep = true;
        return !tooDeep;
    };
    auto parsed = nlohmann::json::parse(bytes.begin(), bytes.end(), refuseDeep, /*allow_exceptions=*/false);
    if (tooDeep || !parsed.is_object()) return nlohmann::json::object();
    return parsed;
}

}  // namespace

JsonPreferences::JsonPreferences(std::string file) : file_(std::move(file)) {}

std::string JsonPreferences::defaultFile()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string config = (xdg && xdg[0] == '/') ? std::string(xdg) : homeDirectory() + "/.config";
    return config + "/pagewick/preferences.json";
}

nlohmann::json JsonPreferences::readAll() const
{
    const auto bytes = readWholeFile(file_, maxFileSize);
    if (!bytes) return nlohmann::json::object();
    return parseBounded(*bytes);
}

nlohmann::json JsonPreferences::get(const std::string& key) const
{
    auto all = readAll();
    auto it = all.find(key);
    return it == all.end() ? nlohmann::json() : *it;
}

void JsonPreferences::set(const std::string& key, const nlohmann::json& value)
{
    // The rest of the file is bounded by reading it; a value beyond the bounds would
    // make a file that the next read throws away whole, so it is not written at all.
    if (deeperThan(value, maxDepth - 1)) return;
    auto all = readAll();
    all[key] = value;
    std::string text;
    try {
        text = all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const std::exception&) {  // the writer's own errors and a full memory
        return;
    }
    text += '\n';
    if (text.size() > maxFileSize) return;
    makeFolders(deletingLastPathComponent(file_));
    writeFileAtomically(file_, text.data(), text.size());
}

}  // namespace pw
