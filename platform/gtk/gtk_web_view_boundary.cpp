#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/gtk_web_view.h"
#include "platform/gtk/posted_message.h"
#include "platform/gtk/web_process/web_process_messages.h"
#include "platform/web_view_delegate.h"

namespace pw::gtk {

namespace {

GtkWebView* wrapperOf(gpointer self)
{
    return static_cast<GtkWebView*>(self);
}

// The local file a dropped URI names; empty for any other URI, a file on another host
// included.
std::string localPathOf(const char* uri)
{
    gchar* hostName = nullptr;
    const GCharPtr path(g_filename_from_uri(uri, &hostName, nullptr));
    const GCharPtr host(hostName);
    if (!path || (host && *host && g_ascii_strcasecmp(host.get(), "localhost") != 0)) return {};
    return path.get();
}

}  // namespace

void GtkWebView::connectBoundarySignals()
{
    g_signal_connect(view_.get(), "load-failed", G_CALLBACK(onLoadFailed), this);
    g_signal_connect(view_.get(), "user-message-received", G_CALLBACK(onUserMessage), this);
    g_signal_connect(view_.get(), "drag-drop", G_CALLBACK(onDragDrop), this);
    g_signal_connect(view_.get(), "drag-data-received", G_CALLBACK(onDragDataReceived), this);
}

void GtkWebView::mainFrameWantsWeb(const std::string& uri)
{
    // However it ended (stopped before it was sent, failed, or answered), a main-frame
    // move to the web is decided once, as the navigation the user or a script made.
    auto navigation = webNavigations_.take(uri);
    auto delegate = delegate_.lock();
    if (!navigation || !delegate) return;
    delegate->decidePolicy({navigation->uri, NavigationTarget::MainFrame, navigation->userGesture});
}

// Called for every navigation before the delegate judges it: keeps what a web address's
// hand-off needs later, and refuses what must not happen to the page at all.
bool GtkWebView::refusesNavigation(const NavigationAction& action)
{
    if (!action.url) return false;
    if (isWebAddress(*action.url)) webNavigations_.note(*action.url, action.userGesture);
    return replacesThePage(*action.url, action.userGesture);
}

bool GtkWebView::replacesThePage(const std::string& uri, bool userGesture)
{
    // The shell loads the page again (at start, after a crash), and the user may (a click
    // or key in the page, say on its own reload button: the page is asked before it goes).
    // Anything else moving the shown page to an address of its scheme (a web frame
    // setting top.location, over and over as each reload embeds it again) would throw
    // away every open document; a move within the document (its fragment) keeps it.
    if (std::exchange(shellLoads_, false) || userGesture || pageOrigin_.empty()) return false;
    if (!committedURI_.starts_with(pageOrigin_ + "/") || !uri.starts_with(scheme_ + ":")) return false;
    return withoutFragment(uri) != withoutFragment(committedURI_) || uri.find('#') == std::string::npos;
}

gboolean GtkWebView::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError*, gpointer self)
{
    if (uri && isWebAddress(uri)) wrapperOf(self)->mainFrameWantsWeb(uri);
    // Never WebKit's error page: it would replace the page and every open document with
    // it. A load that failed before it committed leaves the current document showing.
    return TRUE;
}

gboolean GtkWebView::onUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer self)
{
    const char* name = webkit_user_message_get_name(message);
    GVariant* parameters = webkit_user_message_get_parameters(message);  // the message's own
    if (g_strcmp0(name, postedMessage) == 0) {
        // The page's post, carried by the extension: judged like any other.
        auto delegate = wrapperOf(self)->delegate_.lock();
        auto posted = postedMessageFrom(parameters, webkit_user_message_get_fd_list(message));
        if (delegate && posted) delegate->didReceiveScriptMessage(*posted);
        return TRUE;
    }
    if (g_strcmp0(name, mainFrameWebMessage) != 0) return FALSE;
    if (parameters && g_variant_is_of_type(parameters, G_VARIANT_TYPE_STRING))
        wrapperOf(self)->mainFrameWantsWeb(g_variant_get_string(parameters, nullptr));
    return TRUE;
}

gboolean GtkWebView::onDragDrop(GtkWidget* widget, GdkDragContext* context, gint, gint, guint time, gpointer self)
{
    // Drags that start in the page stay the page's business. Every other drop is taken
    // from WebKit, which would navigate to whatever the drag offers (a file, a link, a
    // data: document): files are opened like any handed-over document, anything else
    // is refused.
    if (gtk_drag_get_source_widget(context) == widget) return FALSE;
    g_signal_stop_emission_by_name(widget, "drag-drop");
    GtkWebView* wrapper = wrapperOf(self);
    GdkAtom uriList = gdk_atom_intern_static_string("text/uri-list");
    if (wrapper->dropped_ && g_list_find(gdk_drag_context_list_targets(context), uriList)) {
        wrapper->takingDrop_ = true;
        gtk_drag_get_data(widget, context, uriList, time);
    } else {
        gtk_drag_finish(context, FALSE, FALSE, time);
    }
    return TRUE;
}

void GtkWebView::onDragDataReceived(GtkWidget* widget, GdkDragContext* context, gint, gint, GtkSelectionData* data,
                                    guint, guint time, gpointer self)
{
    GtkWebView* wrapper = wrapperOf(self);
    if (!wrapper->takingDrop_) return;
    wrapper->takingDrop_ = false;
    g_signal_stop_emission_by_name(widget, "drag-data-received");

    std::vector<std::string> paths;
    if (const GStrvPtr uris{gtk_selection_data_get_uris(data)}) {
        for (gchar** uri = uris.get(); *uri; ++uri)
            if (std::string path = localPathOf(*uri); !path.empty()) paths.push_back(std::move(path));
    }
    gtk_drag_finish(context, !paths.empty(), FALSE, time);
    if (!paths.empty() && wrapper->dropped_) wrapper->dropped_(std::move(paths));
}

}  // namespace pw::gtk
