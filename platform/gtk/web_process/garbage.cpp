// A file-sized string the page got or posted is garbage once the call is over, but the
// engine's collector, paced by what the page allocates, may leave it for minutes: a
// 100 MB file's Base64 is 133 MB of the process for nothing. A full collection shortly
// after such a call gives it back.
//
// The engine's interface has only a hint (JSGarbageCollect) that it takes as such; the
// synchronous collection it exports is looked up when needed, and without it nothing
// is done.

#include <dlfcn.h>

#include <JavaScriptCore/JavaScript.h>

#include "platform/gtk/web_process/page_hooks.h"

namespace {

using Collect = void (*)(JSContextRef);

Collect fullCollection()
{
    static const auto found = reinterpret_cast<Collect>(::dlsym(RTLD_DEFAULT, "JSSynchronousGarbageCollectForDebugging"));
    return found;
}

// The context waiting for its collection, retained until then; one at a time.
JSGlobalContextRef waiting = nullptr;

gboolean collect(gpointer)
{
    fullCollection()(waiting);
    JSGlobalContextRelease(waiting);
    waiting = nullptr;
    return G_SOURCE_REMOVE;
}

}  // namespace

void pw::gtk::collectFileSizedGarbage(JSGlobalContextRef context)
{
    // Late enough for the page to have let go of the text (it decodes what it gets at
    // once, and a post's text is the page's only until postMessage returns).
    constexpr guint delayMs = 300;
    if (!context || waiting || !fullCollection()) return;
    waiting = JSGlobalContextRetain(context);
    g_timeout_add(delayMs, collect, nullptr);
}
