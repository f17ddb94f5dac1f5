#pragma once

#include <filesystem>
#include <string>

namespace pw::fuzzing {

// Keeps the paths a fuzz input names inside one folder. The code under test writes
// wherever a path says, so a path that would lead out, read either whole or cut at
// its first NUL as the system calls read it, is replaced by one inside.
class PathJail {
public:
    explicit PathJail(std::string folder) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }

    // An absolute path below the folder for `path`, which is read relative to it.
    std::string inside(const std::string& path) const { return confine(folder_ + "/" + path); }

    // `path` itself, relative paths being read from the folder, when it stays inside.
    std::string confine(const std::string& path) const
    {
        const auto cut = path.substr(0, path.find('\0'));
        return holds(path) && holds(cut) ? path : folder_ + "/outside";
    }

    bool holds(const std::string& path) const
    {
        const std::string absolute = path.starts_with('/') ? path : folder_ + "/" + path;
        const std::string normal = std::filesystem::path(absolute).lexically_normal().string();
        return normal == folder_ || normal.starts_with(folder_ + "/");
    }

private:
    std::string folder_;
};

}  // namespace pw::fuzzing
