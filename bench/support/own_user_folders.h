#pragma once

// A benchmark's own user folders (settings, the page's storage, caches) under its
// scratch folder, gone with it: what earlier runs left in the user's (working copies of
// 100 MB files the page loads back at start, for one) must not weigh on this run.

#include <cstdlib>
#include <filesystem>
#include <utility>

namespace pw::bench {

inline void useOwnUserFolders(const std::filesystem::path& root)
{
    const std::pair<const char*, const char*> folders[] = {
        {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}, {"XDG_CACHE_HOME", "cache"}};
    for (const auto& [variable, name] : folders) {
        std::filesystem::create_directories(root / name);
        ::setenv(variable, (root / name).c_str(), 1);
    }
}

}  // namespace pw::bench
