#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace pw::fuzzing {

// A folder of the process's own for targets that touch files, removed at exit. It is
// made on a memory file system when there is one: the targets write and sync files
// for every input, and a disk would make that the whole cost of a run. A run ended by
// a finding cannot remove its folder, so the next run removes those of dead runs.
class ScratchDir {
public:
    ScratchDir()
    {
        const std::string base = baseFolder();
        removeLeftovers(base);
        std::string pattern = base + "/" + prefix + std::to_string(::getpid()) + "-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }

    // Removes everything inside the folder, keeping the folder.
    static void empty(const std::string& folder)
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
            std::filesystem::remove_all(entry.path(), ignored);
    }

private:
    static constexpr const char* prefix = "pagewick-fuzz-";

    static void removeLeftovers(const std::string& base)
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(base, ignored)) {
            const std::string name = entry.path().filename().string();
            if (!name.starts_with(prefix)) continue;
            const char* digits = name.c_str() + std::char_traits<char>::length(prefix);
            char* end = nullptr;
            const long pid = std::strtol(digits, &end, 10);
            if (end == digits || *end != '-' || pid <= 0) continue;
            if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) std::filesystem::remove_all(entry.path(), ignored);
        }
    }

    static std::string baseFolder()
    {
        if (const char* chosen = std::getenv("PAGEWICK_FUZZ_TMP"); chosen && *chosen) return chosen;
        if (::access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
        return std::filesystem::temp_directory_path().string();
    }

    std::string path_;
};

}  // namespace pw::fuzzing
