#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pw {

class WebView;

// A message posted by the page to the script message handler. Only an object body is
// a message: `isObject` is false for strings, numbers, arrays, null and the like.
// Of the object's own properties only those holding strings are kept; a key whose
// value has any other type is absent, as the dispatcher wants it.
struct ScriptMessage {
    bool isObject = false;
    std::map<std::string, std::string> strings;

    // The string under the key, or nullptr when the key is absent or held another type.
    // A pointer, not a copy: "b64" may be hundreds of megabytes.
    const std::string* field(const std::string& key) const
    {
        auto it = strings.find(key);
        return it == strings.end() ? nullptr : &it->second;
    }
};

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
