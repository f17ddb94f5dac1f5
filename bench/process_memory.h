#pragma once

// Resident and proportional memory of this process and of the web processes it started,
// read from /proc, for the benchmarks that watch what the page costs.

#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace pw::bench {

inline long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// Proportional set size: the pages the process alone holds, and its share of those it
// holds with others (the libraries the UI process maps too, for one).
inline long proportionalKiB(pid_t pid)
{
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    long kib = 0;
    for (std::string key; rollup >> key;) {
        long value;
        if (key == "Pss:" && rollup >> value) kib += value;
        rollup.ignore(256, '\n');
    }
    return kib;
}

enum class Memory { resident, proportional };

inline pid_t parentOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    return std::atoi(text.c_str() + close + 4);  // after ") S "
}

// The web processes are our descendants (under bubblewrap, grandchildren).
inline long webProcessesKiB(Memory memory = Memory::resident)
{
    long total = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        // A process may end while it is looked at: its files then fail to read.
        std::string command;
        try {
            std::ifstream cmdline(entry.path() / "cmdline");
            command.assign(std::istreambuf_iterator<char>(cmdline), {});
        } catch (const std::ios_base::failure&) {
            continue;
        }
        if (command.find("WebKitWebProcess") == std::string::npos) continue;
        const pid_t pid = std::atoi(name.c_str());
        for (pid_t p = parentOf(pid); p > 1; p = parentOf(p))
            if (p == ::getpid()) {
                total += memory == Memory::resident ? residentKiB(pid) : proportionalKiB(pid);
                break;
            }
    }
    return total;
}

}  // namespace pw::bench
