#pragma once

// A started program and everything it started, seen through /proc: which processes
// belong to it, their proportional set size summed, and ending them all.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/process_memory.h"

namespace pw::bench {

namespace detail {

inline std::map<pid_t, pid_t> parentsOfAll()
{
    std::map<pid_t, pid_t> parents;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // The command name is in parentheses and may hold spaces: read after the last ')'.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        pid_t parent;
        if (rest >> state >> parent) parents[std::stoi(name)] = parent;
    }
    return parents;
}

}  // namespace detail

class ProcessTree {
public:
    // Starts argv with the given environment additions, in a process group of its own.
    ProcessTree(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment)
    {
        root_ = ::fork();
        if (root_ == 0) {
            ::setpgid(0, 0);
            for (const auto& [key, value] : environment) ::setenv(key.c_str(), value.c_str(), 1);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~ProcessTree() { end(); }
    ProcessTree(const ProcessTree&) = delete;
    ProcessTree& operator=(const ProcessTree&) = delete;

    pid_t root() const { return root_; }

    std::set<pid_t> members() const
    {
        const auto parents = detail::parentsOfAll();
        std::set<pid_t> tree{root_};
        for (bool grew = true; grew;) {
            grew = false;
            for (const auto& [pid, parent] : parents)
                if (tree.count(parent) && tree.insert(pid).second) grew = true;
        }
        return tree;
    }

    // Proportional set size of the whole tree, in MiB.
    double pssMiB() const
    {
        long kib = 0;
        for (pid_t pid : members()) kib += proportionalKiB(pid);
        return kib / 1024.0;
    }

    void end()
    {
        if (root_ <= 0) return;
        const auto tree = members();
        for (pid_t pid : tree) ::kill(pid, SIGTERM);
        ::kill(-root_, SIGTERM);
        for (int i = 0; i < 50 && ::waitpid(root_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        for (pid_t pid : tree) ::kill(pid, SIGKILL);
        ::kill(-root_, SIGKILL);
        ::waitpid(root_, nullptr, 0);
        root_ = -1;
    }

private:
    pid_t root_ = -1;
};

}  // namespace pw::bench
