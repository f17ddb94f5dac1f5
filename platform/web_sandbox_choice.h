#pragma once

#include <string>

namespace pw {

// What decides whether WebKit's web-process sandbox can start here.
struct WebSandboxFacts {
    // The folder in which WebKit makes the sockets of its bus proxies: the user's
    // runtime folder (or, without one, the cache folder GLib falls back to) followed by
    // "/webkitgtk".
    std::string socketFolder;
    bool runtimeFolderSet = true;  // XDG_RUNTIME_DIR was given
    bool bubblewrapUsable = true;  // present, and allowed to make namespaces
    bool sessionBusReachable = true;
};

struct WebSandboxChoice {
    bool enabled = true;
    // Why not, in one line for standard error; empty when enabled.
    std::string reason;
};

// The sandbox is kept wherever it can start: a sandbox that cannot start leaves the
// page without a process, and WebKit then ends the whole application.
WebSandboxChoice chooseWebSandbox(const WebSandboxFacts& facts);

}  // namespace pw
