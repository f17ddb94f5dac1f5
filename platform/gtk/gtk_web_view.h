#pragma once

#include <functional>
#include <memory>
#include <string>

#include <webkit2/webkit2.h>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/web_navigation_log.h"
#include "platform/shell.h"
#include "platform/web_view.h"

namespace pw {
class WebViewDelegate;
struct NavigationAction;
}

namespace pw::gtk {

class PageClose;

// A WebKitWebView behind the WebView interface. The widget owns this wrapper; once the
// widget is destroyed the wrapper does nothing, so weak and late holders stay safe.
class GtkWebView : public WebView, public std::enable_shared_from_this<GtkWebView> {
public:
    // `webProcessExtensions`: the folder of the web process's extension; empty for none.
    static std::shared_ptr<GtkWebView> create(const WebViewConfiguration& configuration,
                                              const std::string& webProcessExtensions = {});

    GtkWidget* widget() const { return GTK_WIDGET(view_.get()); }
    WebKitWebView* webKitView() const { return view_.get(); }

    void evaluate(std::string script) override;
    void evaluate(std::string script, std::function<void(std::optional<bool>)> done) override;
    void call(std::string condition, std::string function, std::vector<PageArgument> arguments) override;
    std::string committedURI() const override { return committedURI_; }
    void load(const std::string& url) override;
    void reload() override;
    std::optional<std::string> title() const override;
    void observeTitle(std::function<void()> changed) override;
    bool isInWindow() const override;
    void executeEditingCommand(const std::string& command) override;

    void observeDroppedFiles(std::function<void(std::vector<std::string>)> dropped) override;

    // Asks the page whether it may close (its beforeunload handlers, through the
    // delegate's question); `agreed` runs once it does, and not at all when the user
    // keeps the page.
    void requestClose(std::function<void()> agreed);

private:
    GtkWebView() = default;
    void connectSignals();

    static void onDestroy(GtkWidget* widget, gpointer self);
    static void onTitle(GObject* object, GParamSpec* property, gpointer self);
    static void onScriptMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result, gpointer self);
    static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                   gpointer self);
    static GtkWidget* onCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
    static void onTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason, gpointer self);
    static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static gboolean onFileChooser(WebKitWebView* view, WebKitFileChooserRequest* request, gpointer self);
    static gboolean onScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
    static gboolean onBeforeUnload(GtkWebView* wrapper, WebViewDelegate& delegate, WebKitScriptDialog* dialog);
    static void onClose(WebKitWebView* view, gpointer self);
    static gboolean onContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                  WebKitHitTestResult* hit, gpointer self);

    // The boundary between the page and the desktop (gtk_web_view_boundary.cpp): the
    // main frame never leaves for the web, never shows an error page, and drops from
    // outside never navigate.
    void connectBoundarySignals();
    bool refusesNavigation(const NavigationAction& action);
    bool replacesThePage(const std::string& uri, bool userGesture);
    void mainFrameWantsWeb(const std::string& uri);
    static gboolean onLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri, GError* error, gpointer self);
    static gboolean onUserMessage(WebKitWebView* view, WebKitUserMessage* message, gpointer self);
    static gboolean onDragDrop(GtkWidget* widget, GdkDragContext* context, gint x, gint y, guint time, gpointer self);
    static void onDragDataReceived(GtkWidget* widget, GdkDragContext* context, gint x, gint y,
                                   GtkSelectionData* data, guint info, guint time, gpointer self);

    GObjectPtr<WebKitWebView> view_;
    GObjectPtr<WebKitUserContentManager> contentManager_;
    std::weak_ptr<WebViewDelegate> delegate_;
    std::string messageHandlerName_;
    std::function<void()> titleChanged_;
    std::function<void(std::vector<std::string>)> dropped_;
    bool takingDrop_ = false;
    std::string committedURI_;
    std::string scheme_;
    std::string pageOrigin_;
    bool shellLoads_ = false;  // the next navigation is the shell's own load or reload
    WebNavigationLog webNavigations_;
    std::shared_ptr<PageClose> close_;
};

}  // namespace pw::gtk
