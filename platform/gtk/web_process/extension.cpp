// Loaded by WebKit into every web process of the view.

#include "platform/gtk/web_process/page_hooks.h"

namespace {

void onPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer)
{
    pw::gtk::guardMainFrame(page);
    pw::gtk::takePageCalls(page);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize(WebKitWebExtension* extension)
{
    g_signal_connect(extension, "page-created", G_CALLBACK(onPageCreated), nullptr);
    pw::gtk::carryFileSizedPosts();
}
