// The view's own process cannot tell, when it decides a navigation, whether it is for
// the main frame or an embedded one, and embedded web frames may load. Here, when a
// request is about to be sent, the main frame's own is known: while the main frame
// loads, the page's address is already the one it is loading. Such a request for the
// web is stopped before anything leaves, and the view is told, so that it can hand the
// address to the user's browser.

#include <string_view>

#include "platform/gtk/web_process/page_hooks.h"
#include "platform/gtk/web_process/web_process_messages.h"

namespace {

using pw::gtk::isWebAddress;
using pw::gtk::withoutFragment;

constexpr const char* refusedAddress = "pagewick-refused:";

// A document that another origin made (a web frame's own blob:) would replace the page
// and every open document with it.
bool isForeignBlob(std::string_view uri)
{
    return uri.starts_with("blob:") && !uri.starts_with("blob:pagewick://app/");
}

gboolean onSendRequest(WebKitWebPage* page, WebKitURIRequest* request, WebKitURIResponse*, gpointer)
{
    const char* uri = webkit_uri_request_get_uri(request);
    const char* pageURI = webkit_web_page_get_uri(page);
    if (!uri || !pageURI || withoutFragment(uri) != withoutFragment(pageURI)) return FALSE;
    if (isWebAddress(uri)) {
        // Both the message and its parameters are floating: sending the message takes it.
        WebKitUserMessage* message = webkit_user_message_new(pw::gtk::mainFrameWebMessage, g_variant_new_string(pageURI));
        webkit_web_page_send_message_to_view(page, message, nullptr, nullptr, nullptr);
    } else if (!isForeignBlob(uri)) {
        return FALSE;
    }
    // Not cancelled: WebKit answers a cancelled main-frame request, in the process it
    // started for the new site, by showing an empty document in place of the page. An
    // address of a scheme nobody serves fails the load before it commits, with nothing
    // sent, and the page stays.
    webkit_uri_request_set_uri(request, refusedAddress);
    return FALSE;
}

}  // namespace

void pw::gtk::guardMainFrame(WebKitWebPage* page)
{
    g_signal_connect(page, "send-request", G_CALLBACK(onSendRequest), nullptr);
}
