#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/script_message.h"

namespace pw {

class WebView;

// What a navigation or new-window request is aimed at.
enum class NavigationTarget { MainFrame, SubFrame, NewWindow };

struct NavigationAction {
    std::optional<std::string> url;  // nullopt: the request carries no URL
    NavigationTarget target = NavigationTarget::MainFrame;
    bool userGesture = false;        // started by a click or a key in the page
};

enum class NavigationPolicy { Cancel = 0, Allow = 1 };

// Files chosen in a panel, in the panel's order; nullopt when it was cancelled.
using ChosenPaths = std::optional<std::vector<std::string>>;

// The roles the web view hands to its owner: message handler, navigation delegate and
// UI delegate. Every call arrives on the main thread.
class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;

    virtual void didReceiveScriptMessage(const ScriptMessage& message) = 0;

    virtual NavigationPolicy decidePolicy(const NavigationAction& action) = 0;
    // The page asked for a new window; never answered with one.
    virtual void createWebView(const NavigationAction& action) = 0;
    virtual void webContentProcessDidTerminate(WebView& view) = 0;
    virtual void didFinishNavigation() = 0;

    // The page's file input. `done` is called exactly once.
    virtual void runOpenPanel(bool allowsMultipleSelection, std::function<void(ChosenPaths)> done) = 0;
    // The page's alert, confirm and prompt; modal, answered before returning.
    virtual void runAlert(const std::string& message) = 0;
    virtual bool runConfirm(const std::string& message) = 0;
    virtual std::optional<std::string> runPrompt(const std::string& prompt,
                                                 const std::optional<std::string>& defaultText) = 0;
    // The page's beforeunload handler asks to stay; modal. True lets the page go.
    // `closing`: the window is closing (or the application quitting), not the page
    // moving elsewhere.
    virtual bool runBeforeUnloadConfirm(bool closing) = 0;
    // A close asked for finds the page silent (busy or stuck); modal. True closes it
    // all the same.
    virtual bool runNotRespondingConfirm() = 0;
};

}  // namespace pw
