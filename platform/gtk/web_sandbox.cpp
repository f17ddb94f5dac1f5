#include "platform/gtk/web_sandbox.h"

#include <cstdio>
#include <string>

#include <gio/gio.h>
#include <unistd.h>

#include "platform/gtk/gobject_ptr.h"
#include "platform/web_sandbox_choice.h"

namespace pw::gtk {

namespace {

// Where Debian's WebKitGTK looks for bubblewrap.
constexpr const char* bubblewrap = "/usr/bin/bwrap";

// Inside the sandbox WebKit reaches the session bus through a proxy that binds the
// bus's socket; with no bus to bind, the proxy fails and takes the process with it.
bool sessionBusIsReachable()
{
    // The application registered on this connection already, so this costs nothing
    // when the bus is there.
    return static_cast<bool>(GObjectPtr<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)));
}

bool bubblewrapIsUsable()
{
    if (::access(bubblewrap, X_OK) != 0) return false;
    // The same kind of namespaces WebKit asks for; a few milliseconds.
    const gchar* argv[] = {bubblewrap, "--unshare-all", "--die-with-parent", "--ro-bind", "/", "/", "/bin/true",
                           nullptr};
    gint status = -1;
    const gboolean ran = g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr,
                                      GSpawnFlags(G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
                                      nullptr, nullptr, nullptr, &status, nullptr);
    return ran && g_spawn_check_wait_status(status, nullptr);
}

WebSandboxFacts facts()
{
    WebSandboxFacts found;
    // GLib's answer is WebKit's: the same call, in the same process.
    found.socketFolder = std::string(g_get_user_runtime_dir()) + "/webkitgtk";
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    found.runtimeFolderSet = runtime && *runtime;
    found.bubblewrapUsable = bubblewrapIsUsable();
    found.sessionBusReachable = sessionBusIsReachable();
    return found;
}

bool decide()
{
    const WebSandboxChoice choice = chooseWebSandbox(facts());
    if (!choice.enabled) std::fprintf(stderr, "%s\n", choice.reason.c_str());
    return choice.enabled;
}

}  // namespace

bool webSandboxIsUsable()
{
    static const bool usable = decide();
    return usable;
}

}  // namespace pw::gtk
