#pragma once

#include <string>
#include <vector>

#include <gio/gio.h>

#include "tests/fakes/temp_dir.h"

namespace pw::testing {

// A session bus of the test's own, so that instances started by different tests never
// find each other.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    const std::string& address() const { return address_; }

private:
    GPid pid_ = 0;
    std::string address_;
};

// A copy of the built executable beside a "web" folder the test writes, as an
// installed application finds its page, with its own preferences.
class InstalledCopy {
public:
    InstalledCopy();

    TempDir root;
    std::string binary;  // root/bin/pagewick
    std::string web;     // root/bin/web
    std::string config;  // root/config, XDG_CONFIG_HOME

    // Where the test page reports, through the bridge, what it saw.
    std::string report(const std::string& name) const { return root.path() + "/" + name; }
    void writePage(const std::string& html) const;
    // The environment for a child: the display kept, the given bus, the config folder.
    std::vector<std::string> environment(const std::string& busAddress) const;
};

// A child process whose error output goes to a file; killed when dropped.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment);
    ~Child();
    // Waits for the child to exit; its exit status, or -1 when it did not within the time.
    int wait(double seconds);
    std::string errors() const;
    void kill();

private:
    TempDir logs_;
    GSubprocess* process_ = nullptr;
};

// Polls until the file exists and holds something; its contents or "".
std::string waitForFile(const std::string& path, double seconds = 30);

}  // namespace pw::testing
