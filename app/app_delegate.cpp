#include "app/app_delegate.h"

#include <utility>

#include "app/app_constants.h"
#include "app/menu_bar.h"
#include "app/window_frame.h"
#include "app/window_title.h"
#include "bridge/app_page.h"
#include "bridge/bridge.h"
#include "common/app_constants.h"
#include "platform/panels.h"
#include "platform/preferences.h"
#include "platform/web_view.h"
#include "scheme/app_scheme_handler.h"

namespace pw {

AppDelegate::AppDelegate(Shell& shell, std::shared_ptr<Bridge> bridge, std::shared_ptr<Preferences> preferences,
                         std::string webRoot)
    : shell_(shell), bridge_(std::move(bridge)), preferences_(std::move(preferences)), webRoot_(std::move(webRoot))
{
}

std::string AppDelegate::startScript() const
{
    // Built once: a reload starts again from the recent files as they were at launch.
    // The message guard comes last so that the fixed text and the list keep their form.
    // Only the app's own top-level document learns any of it, whatever the web view
    // injects it into.
    return forAppPageOnly(std::string(startScriptPrefix) + bridge_->recentsJS() +
                          bridge_->messageGuard().pageScript());
}

void AppDelegate::applicationDidFinishLaunching()
{
    WebViewConfiguration configuration;
    configuration.applicationName = userAgentApplicationName;
    configuration.messageHandlerName = messageHandlerName;
    configuration.startScript = startScript();
    configuration.pageOrigin = std::string(appOrigin);
    configuration.scheme = appScheme;
    configuration.schemeHandler = std::make_shared<AppSchemeHandler>(webRoot_);
    configuration.delegate = bridge_;
    configuration.developerExtras = true;

    auto view = shell_.createWebView(configuration);
    bridge_->web = view;
    view->load(appURL);

    window_ = shell_.createWindow(view, Size{initialWidth, initialHeight});
    window_->setTitle(applicationTitle);
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    std::weak_ptr<WebView> weakView = view;
    view->observeTitle([weakSelf, weakView] {
        auto self = weakSelf.lock();
        auto observed = weakView.lock();
        if (!self || !observed || !self->window_) return;
        self->window_->setTitle(windowTitle(observed->title()));
    });
    view->observeDroppedFiles([weakSelf](std::vector<std::string> paths) {
        if (auto self = weakSelf.lock()) self->open(paths);
    });
    window_->setMinimumSize(Size{minimumWidth, minimumHeight});
    restoreFrame();
    // The menu bar goes in before the window is mapped: GTK lays out an application
    // window's menu bar when it is realised.
    buildMenu();
    window_->show();
}

void AppDelegate::restoreFrame()
{
    if (auto frame = savedFrame(*preferences_))
        window_->setFrame(*frame);
    else
        window_->center();
    std::weak_ptr<Preferences> weakPreferences = preferences_;
    window_->observeFrame([weakPreferences](const Frame& frame) {
        if (auto preferences = weakPreferences.lock()) saveFrame(*preferences, frame);
    });
}

void AppDelegate::open(const std::vector<std::string>& paths)
{
    for (const auto& path : paths) bridge_->openFile(path);
}

void AppDelegate::openDocument()
{
    const auto chosen = bridge_->services().panels->runOpen(OpenPanelRequest{FileFilter::Pdf, true});
    if (!chosen) return;
    for (const auto& path : *chosen) bridge_->openFile(path);
}

void AppDelegate::buildMenu()
{
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    std::weak_ptr<Bridge> weakBridge = bridge_;
    auto onWindow = [weakSelf](void (Window::*action)()) {
        return [weakSelf, action] {
            if (auto self = weakSelf.lock(); self && self->window_) (self->window_.get()->*action)();
        };
    };
    auto editing = [weakBridge](std::string command) {
        return [weakBridge, command] {
            if (auto bridge = weakBridge.lock())
                if (auto view = bridge->web.lock()) view->executeEditingCommand(command);
        };
    };

    MenuActions actions;
    actions.about = [this] { shell_.showAbout(); };
    actions.hide = onWindow(&Window::minimize);
    // Quitting closes the one window, which asks the page first; closing it quits.
    actions.quit = [this] {
        if (window_)
            window_->close();
        else
            shell_.quit();
    };
    actions.open = [weakSelf] {
        if (auto self = weakSelf.lock()) self->openDocument();
    };
    actions.close = onWindow(&Window::close);
    actions.undo = editing("Undo");
    actions.redo = editing("Redo");
    actions.cut = editing("Cut");
    actions.copy = editing("Copy");
    actions.paste = editing("Paste");
    actions.selectAll = editing("SelectAll");
    actions.minimize = onWindow(&Window::minimize);
    actions.toggleFullScreen = onWindow(&Window::toggleFullScreen);
    window_->setMenuBar(buildMenuBar(actions));
}

}  // namespace pw
