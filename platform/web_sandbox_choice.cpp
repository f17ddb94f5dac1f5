#include "platform/web_sandbox_choice.h"

#include <sys/un.h>

namespace pw {

namespace {

// The longest socket name WebKit makes in that folder ("bus-proxy-XXXXXX" is one
// shorter).
constexpr std::size_t longestSocketName = sizeof("a11y-proxy-XXXXXX") - 1;

bool socketPathsFit(const std::string& folder)
{
    // sun_path ends in a NUL: a path of its full size does not fit.
    return folder.size() + 1 + longestSocketName < sizeof(sockaddr_un{}.sun_path);
}

std::string withoutSandbox(const std::string& why)
{
    return "pagewick: the page runs without WebKit's sandbox: " + why;
}

}  // namespace

WebSandboxChoice chooseWebSandbox(const WebSandboxFacts& facts)
{
    if (!socketPathsFit(facts.socketFolder)) {
        const std::string hint = facts.runtimeFolderSet ? "point XDG_RUNTIME_DIR at a shorter folder"
                                                        : "XDG_RUNTIME_DIR is unset; set it to a short folder";
        return {false, withoutSandbox("its socket folder " + facts.socketFolder +
                                      " is too long for a Unix socket path (" + hint + ")")};
    }
    if (!facts.bubblewrapUsable)
        return {false, withoutSandbox("bubblewrap (bwrap) is missing or may not make namespaces here")};
    if (!facts.sessionBusReachable) return {false, withoutSandbox("no session bus is reachable")};
    return {};
}

}  // namespace pw
