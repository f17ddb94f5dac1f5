#include "platform/json_preferences.h"

#include <cstdlib>
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
    const auto bytes = readWholeFile(file_);
    if (!bytes) return nlohmann::json::object();
    auto parsed = nlohmann::json::parse(bytes->begin(), bytes->end(), nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return nlohmann::json::object();
    return parsed;
}

nlohmann::json JsonPreferences::get(const std::string& key) const
{
    auto all = readAll();
    auto it = all.find(key);
    return it == all.end() ? nlohmann::json() : *it;
}

void JsonPreferences::set(const std::string& key, const nlohmann::json& value)
{
    auto all = readAll();
    all[key] = value;
    std::string text;
    try {
        text = all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const nlohmann::json::exception&) {
        return;
    }
    text += '\n';
    makeFolders(deletingLastPathComponent(file_));
    writeFileAtomically(file_, text.data(), text.size());
}

}  // namespace pw
