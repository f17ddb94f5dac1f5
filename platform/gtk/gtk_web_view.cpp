#include "platform/gtk/gtk_web_view.h"

#include <cstring>
#include <utility>
#include <vector>

#include "platform/graphics_acceleration.h"
#include "platform/script_engine_options.h"
#include "platform/web_process_memory.h"
#include "platform/gtk/context_menu.h"
#include "platform/gtk/gtk_script_message.h"
#include "platform/gtk/gtk_uri_scheme.h"
#include "platform/gtk/page_call.h"
#include "platform/gtk/page_close.h"
#include "platform/gtk/web_sandbox.h"
#include "platform/web_view_delegate.h"

namespace pw::gtk {

namespace {

constexpr const char* wrapperKey = "pagewick-web-view";
constexpr const char* contextKey = "pagewick-web-context";

std::optional<std::string> uriOf(WebKitURIRequest* request)
{
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    if (!uri || !*uri) return std::nullopt;
    return std::string(uri);
}

// The evaluation's value; none when the script failed.
GObjectPtr<JSCValue> evaluationResult(GObject* source, GAsyncResult* result)
{
    GError* error = nullptr;
    auto value = GObjectPtr<JSCValue>::adopt(
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error));
    const GErrorPtr failure(error);
    return value;
}

void finishIgnoringValue(GObject* source, GAsyncResult* result, gpointer)
{
    // Finishing every evaluation lets WebKit drop what it kept for it; fire-and-forget
    // evaluations have been seen to hold on to their memory otherwise.
    evaluationResult(source, result);
}

void finishWithBoolean(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<std::function<void(std::optional<bool>)>> done(
        static_cast<std::function<void(std::optional<bool>)>*>(data));
    std::optional<bool> answer;
    if (const auto value = evaluationResult(source, result); value && jsc_value_is_boolean(value.get()))
        answer = jsc_value_to_boolean(value.get());
    (*done)(answer);
}

GtkWebView* wrapperOf(gpointer self)
{
    return static_cast<GtkWebView*>(self);
}

}  // namespace

std::shared_ptr<GtkWebView> GtkWebView::create(const WebViewConfiguration& configuration,
                                               const std::string& webProcessExtensions)
{
    auto self = std::shared_ptr<GtkWebView>(new GtkWebView());

    // No-ops when the application has done them at start.
    configureScriptEngine();
    const GraphicsFacts graphics = graphicsFacts();
    configureWebPresentation(graphics);
    configureWebProcessMemory();
    auto context = GObjectPtr<WebKitWebContext>::adopt(webkit_web_context_new());
    webkit_web_context_set_sandbox_enabled(context.get(), webSandboxIsUsable());
    if (!configuration.preferredLanguages.empty()) {
        std::vector<const gchar*> languages;
        for (const auto& language : configuration.preferredLanguages) languages.push_back(language.c_str());
        languages.push_back(nullptr);
        webkit_web_context_set_preferred_languages(context.get(), languages.data());
    }
    registerScheme(context.get(), configuration.scheme, configuration.schemeHandler);
    if (!webProcessExtensions.empty())
        webkit_web_context_set_web_extensions_directory(context.get(), webProcessExtensions.c_str());

    self->contentManager_ = GObjectPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
    webkit_user_content_manager_register_script_message_handler(self->contentManager_.get(),
                                                                configuration.messageHandlerName.c_str());
    // Only documents of the page's origin get the start script; it checks again itself.
    const std::string pageDocuments = configuration.pageOrigin + "/*";
    const gchar* allowList[] = {pageDocuments.c_str(), nullptr};
    const GOwned<WebKitUserScript, webkit_user_script_unref> script(webkit_user_script_new(
        configuration.startScript.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, configuration.pageOrigin.empty() ? nullptr : allowList, nullptr));
    webkit_user_content_manager_add_script(self->contentManager_.get(), script.get());

    const auto settings = GObjectPtr<WebKitSettings>::adopt(webkit_settings_new());
    webkit_settings_set_user_agent_with_application_details(settings.get(), configuration.applicationName.c_str(),
                                                            nullptr);
    webkit_settings_set_enable_developer_extras(settings.get(), configuration.developerExtras);
    if (!acceleratedCompositingPays(graphics))
        webkit_settings_set_hardware_acceleration_policy(settings.get(), WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

    // Ours until the widget is destroyed (onDestroy), whoever its container is.
    self->view_ = GObjectPtr<WebKitWebView>::refSink(
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context.get(), "user-content-manager",
                                     self->contentManager_.get(), "settings", settings.get(), nullptr)));
    // The view keeps its context for as long as it lives.
    g_object_set_data_full(G_OBJECT(self->view_.get()), contextKey, context.release(), g_object_unref);
    g_object_set_data_full(G_OBJECT(self->view_.get()), wrapperKey, new std::shared_ptr<GtkWebView>(self),
                           [](gpointer p) { delete static_cast<std::shared_ptr<GtkWebView>*>(p); });

    self->delegate_ = configuration.delegate;
    self->close_ = std::make_shared<PageClose>(self->view_.get(), configuration.delegate);
    self->messageHandlerName_ = configuration.messageHandlerName;
    self->scheme_ = configuration.scheme;
    self->pageOrigin_ = configuration.pageOrigin;
    self->connectSignals();
    return self;
}

void GtkWebView::connectSignals()
{
    const std::string messageSignal = "script-message-received::" + messageHandlerName_;
    g_signal_connect(contentManager_.get(), messageSignal.c_str(), G_CALLBACK(onScriptMessage), this);
    g_signal_connect(view_.get(), "destroy", G_CALLBACK(onDestroy), this);
    g_signal_connect(view_.get(), "notify::title", G_CALLBACK(onTitle), this);
    g_signal_connect(view_.get(), "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_.get(), "create", G_CALLBACK(onCreate), this);
    g_signal_connect(view_.get(), "web-process-terminated", G_CALLBACK(onTerminated), this);
    g_signal_connect(view_.get(), "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_.get(), "run-file-chooser", G_CALLBACK(onFileChooser), this);
    g_signal_connect(view_.get(), "script-dialog", G_CALLBACK(onScriptDialog), this);
    connectBoundarySignals();
    g_signal_connect(view_.get(), "close", G_CALLBACK(onClose), this);
    g_signal_connect(view_.get(), "context-menu", G_CALLBACK(onContextMenu), this);
}

void GtkWebView::onDestroy(GtkWidget* widget, gpointer self)
{
    GtkWebView* wrapper = wrapperOf(self);
    g_signal_handlers_disconnect_by_data(wrapper->contentManager_.get(), self);
    g_signal_handlers_disconnect_by_data(widget, self);
    const GObjectPtr<WebKitWebView> view = std::move(wrapper->view_);
    wrapper->close_.reset();
    // Dropping the widget's hold on the wrapper lets weak holders see that the view
    // is gone; the wrapper may be deleted right here, so touch nothing after.
    g_object_set_data(G_OBJECT(view.get()), wrapperKey, nullptr);
}

void GtkWebView::evaluate(std::string script)
{
    if (!view_) return;
    webkit_web_view_evaluate_javascript(view_.get(), script.data(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, finishIgnoringValue, nullptr);
}

void GtkWebView::evaluate(std::string script, std::function<void(std::optional<bool>)> done)
{
    if (!view_) {
        done(std::nullopt);
        return;
    }
    webkit_web_view_evaluate_javascript(view_.get(), script.data(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, finishWithBoolean,
                                        new std::function<void(std::optional<bool>)>(std::move(done)));
}

void GtkWebView::call(std::string condition, std::string function, std::vector<PageArgument> arguments)
{
    if (!view_) return;
    sendPageCall(view_.get(), std::move(condition), std::move(function), std::move(arguments));
}

void GtkWebView::load(const std::string& url)
{
    if (!view_) return;
    shellLoads_ = true;
    webkit_web_view_load_uri(view_.get(), url.c_str());
}

void GtkWebView::reload()
{
    if (!view_) return;
    shellLoads_ = true;
    webkit_web_view_reload(view_.get());
}

std::optional<std::string> GtkWebView::title() const
{
    const char* title = view_ ? webkit_web_view_get_title(view_.get()) : nullptr;
    if (!title) return std::nullopt;
    return std::string(title);
}

void GtkWebView::observeTitle(std::function<void()> changed)
{
    titleChanged_ = std::move(changed);
}

bool GtkWebView::isInWindow() const
{
    if (!view_) return false;
    GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(view_.get()));
    return toplevel != GTK_WIDGET(view_.get()) && GTK_IS_WINDOW(toplevel);
}

void GtkWebView::executeEditingCommand(const std::string& command)
{
    if (view_) webkit_web_view_execute_editing_command(view_.get(), command.c_str());
}

void GtkWebView::observeDroppedFiles(std::function<void(std::vector<std::string>)> dropped)
{
    dropped_ = std::move(dropped);
    if (view_) gtk_drag_dest_add_uri_targets(GTK_WIDGET(view_.get()));
}

void GtkWebView::onTitle(GObject*, GParamSpec*, gpointer self)
{
    if (auto& changed = wrapperOf(self)->titleChanged_) changed();
}

void GtkWebView::onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self)
{
    auto delegate = wrapperOf(self)->delegate_.lock();
    if (!delegate) return;
    delegate->didReceiveScriptMessage(scriptMessageFrom(webkit_javascript_result_get_js_value(result)));
}

gboolean GtkWebView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                    gpointer self)
{
    auto delegate = wrapperOf(self)->delegate_.lock();
    if (!delegate) return FALSE;

    NavigationAction action;
    switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
        // WebKitGTK does not say here which frame the navigation is for. It is judged
        // as if for an embedded frame, which differs from the main frame only for
        // http(s); the web process's extension stops a main-frame http(s) request
        // before it is sent, and should it be missing, the response or the failure
        // of the load is where the main frame is known.
        auto* navigation = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        action = {uriOf(webkit_navigation_action_get_request(navigation)), NavigationTarget::SubFrame,
                  static_cast<bool>(webkit_navigation_action_is_user_gesture(navigation))};
        if (wrapperOf(self)->refusesNavigation(action)) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        break;
    }
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
        auto* navigation = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        action = {uriOf(webkit_navigation_action_get_request(navigation)), NavigationTarget::NewWindow,
                  static_cast<bool>(webkit_navigation_action_is_user_gesture(navigation))};
        break;
    }
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (!webkit_response_policy_decision_is_main_frame_main_resource(response)) return FALSE;
        action = {uriOf(webkit_response_policy_decision_get_request(response)), NavigationTarget::MainFrame};
        if (action.url && isWebAddress(*action.url)) {
            wrapperOf(self)->mainFrameWantsWeb(*action.url);
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        if (delegate->decidePolicy(action) == NavigationPolicy::Allow) return FALSE;  // WebKit's own handling
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    default:
        return FALSE;
    }
    if (delegate->decidePolicy(action) == NavigationPolicy::Allow)
        webkit_policy_decision_use(decision);
    else
        webkit_policy_decision_ignore(decision);
    return TRUE;
}

GtkWidget* GtkWebView::onCreate(WebKitWebView*, WebKitNavigationAction* navigation, gpointer self)
{
    if (auto delegate = wrapperOf(self)->delegate_.lock())
        delegate->createWebView({uriOf(webkit_navigation_action_get_request(navigation)), NavigationTarget::NewWindow,
                                 static_cast<bool>(webkit_navigation_action_is_user_gesture(navigation))});
    return nullptr;
}

void GtkWebView::onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self)
{
    GtkWebView* wrapper = wrapperOf(self);
    wrapper->committedURI_.clear();  // the document went with its process
    if (auto delegate = wrapper->delegate_.lock()) delegate->webContentProcessDidTerminate(*wrapper);
}

void GtkWebView::onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self)
{
    if (event == WEBKIT_LOAD_COMMITTED) {
        const char* uri = webkit_web_view_get_uri(view);
        wrapperOf(self)->committedURI_ = uri ? uri : "";
    }
    if (event != WEBKIT_LOAD_FINISHED) return;
    if (auto delegate = wrapperOf(self)->delegate_.lock()) delegate->didFinishNavigation();
}

gboolean GtkWebView::onFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer self)
{
    auto delegate = wrapperOf(self)->delegate_.lock();
    if (!delegate) return FALSE;
    // Kept until the panel answers, however long after this signal that is.
    auto held = GObjectPtr<WebKitFileChooserRequest>::ref(request);
    delegate->runOpenPanel(webkit_file_chooser_request_get_select_multiple(request), [held](ChosenPaths paths) {
        if (paths && !paths->empty()) {
            std::vector<const gchar*> files;
            for (const auto& path : *paths) files.push_back(path.c_str());
            files.push_back(nullptr);
            webkit_file_chooser_request_select_files(held.get(), files.data());
        } else {
            webkit_file_chooser_request_cancel(held.get());
        }
    });
    return TRUE;
}

gboolean GtkWebView::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self)
{
    auto delegate = wrapperOf(self)->delegate_.lock();
    if (!delegate) return FALSE;
    const std::string message = webkit_script_dialog_get_message(dialog);
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        delegate->runAlert(message);
        return TRUE;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(dialog, delegate->runConfirm(message));
        return TRUE;
    case WEBKIT_SCRIPT_DIALOG_PROMPT: {
        const char* defaultText = webkit_script_dialog_prompt_get_default_text(dialog);
        const auto answer =
            delegate->runPrompt(message, defaultText ? std::optional<std::string>(defaultText) : std::nullopt);
        if (answer) webkit_script_dialog_prompt_set_text(dialog, answer->c_str());
        return TRUE;
    }
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        return onBeforeUnload(wrapperOf(self), *delegate, dialog);
    default:
        return FALSE;
    }
}

gboolean GtkWebView::onBeforeUnload(GtkWebView* wrapper, WebViewDelegate& delegate, WebKitScriptDialog* dialog)
{
    const bool leave = wrapper->close_->userAgreed() || delegate.runBeforeUnloadConfirm(wrapper->close_->asking());
    webkit_script_dialog_confirm_set_confirmed(dialog, leave);
    if (!leave) wrapper->close_->declined();
    return TRUE;
}

void GtkWebView::requestClose(std::function<void()> agreed)
{
    if (!view_) {
        agreed();
        return;
    }
    close_->request(std::move(agreed));
}

void GtkWebView::onClose(WebKitWebView*, gpointer self)
{
    wrapperOf(self)->close_->closed();
}

gboolean GtkWebView::onContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                                   gpointer)
{
    removeNavigation(menu);
    // An empty menu is not shown at all.
    return webkit_context_menu_get_n_items(menu) == 0;
}

}  // namespace pw::gtk
