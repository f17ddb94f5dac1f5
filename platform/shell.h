#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/web_view.h"

namespace pw {

class WebViewDelegate;
class SchemeHandler;

struct WebViewConfiguration {
    std::string applicationName;     // appended to the user agent
    std::string messageHandlerName;  // the script message handler's name
    std::string startScript;         // at document start, main frame only
    std::string pageOrigin;          // the start script goes only into documents of it
    std::string scheme;              // served by schemeHandler
    std::shared_ptr<SchemeHandler> schemeHandler;
    std::shared_ptr<WebViewDelegate> delegate;
    bool developerExtras = false;    // the inspector
    // The page's navigator.languages, most preferred first, as "fr-FR" or "en"; empty
    // leaves WebKit's own choice.
    std::vector<std::string> preferredLanguages;
};

struct Size {
    int width = 0;
    int height = 0;
};

struct Frame {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool hasPosition = true;  // false where the display server keeps positions to itself
    friend bool operator==(const Frame&, const Frame&) = default;
};

// A menu command as the menu bar shows it. `name` is what it does ("open",
// "full-screen"), the name of its action. `accelerators` use GTK's notation
// ("<Primary>o", "<Primary><Shift>z", "F11"), which is also readable without GTK; the
// menu shows the first.
struct MenuCommand {
    std::string name;
    std::string title;
    std::vector<std::string> accelerators;  // empty: none
    std::function<void()> action;
};

struct Menu {
    std::string title;
    std::vector<std::optional<MenuCommand>> items;  // nullopt: a separator
};

// The application's one window.
class Window {
public:
    virtual ~Window() = default;
    virtual void setTitle(const std::string& title) = 0;
    virtual std::string title() const = 0;
    virtual void setMinimumSize(Size size) = 0;
    virtual Frame frame() const = 0;
    virtual void setFrame(const Frame& frame) = 0;
    virtual void center() = 0;
    // Called whenever the user moves or resizes the window.
    virtual void observeFrame(std::function<void(const Frame&)> changed) = 0;
    virtual void show() = 0;
    virtual void close() = 0;
    virtual void minimize() = 0;
    virtual void toggleFullScreen() = 0;
    virtual void setMenuBar(const std::vector<Menu>& menus) = 0;
};

// The toolkit objects the start-up builds.
class Shell {
public:
    virtual ~Shell() = default;
    virtual std::shared_ptr<WebView> createWebView(const WebViewConfiguration& configuration) = 0;
    // A window of the given content size holding the web view; closing it quits.
    virtual std::unique_ptr<Window> createWindow(const std::shared_ptr<WebView>& content, Size size) = 0;
    virtual void showAbout() = 0;
    virtual void quit() = 0;
};

}  // namespace pw
