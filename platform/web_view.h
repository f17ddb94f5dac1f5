#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/shared_text.h"

namespace pw {

// A string argument for a page function: a short one held here, or a file-sized text
// that the page's process maps where it lies.
using PageArgument = std::variant<std::string, SharedText>;

// The page's web view, as the behaviour code sees it. Main thread only.
class WebView {
public:
    virtual ~WebView() = default;

    // Runs a script in the page; its value is not wanted. The script is moved in so
    // that a file-sized script is never copied on the way.
    virtual void evaluate(std::string script) = 0;
    // Runs a script and reports its value when that value is a boolean; an error or
    // any other value reports nullopt.
    virtual void evaluate(std::string script, std::function<void(std::optional<bool>)> done) = 0;

    // Calls the function that `function` (an expression such as "window.f") names in the
    // main frame's document, with `arguments` as strings, when `condition` (an
    // expression) is true in that document; its value is not wanted. The strings reach
    // the function as they are, never parsed as script, and a large text is not copied
    // on the way. Strings must be UTF-8: a call with one that is not is dropped.
    virtual void call(std::string condition, std::string function, std::vector<PageArgument> arguments) = 0;

    // The address of the document committed in the main frame, the one scripts run in;
    // empty before the first commit and after the web process is gone.
    virtual std::string committedURI() const = 0;

    virtual void load(const std::string& url) = 0;
    virtual void reload() = 0;
    // The page's title; nullopt when it has none.
    virtual std::optional<std::string> title() const = 0;
    // Called on every change of the title (not for the value at the time of the call).
    virtual void observeTitle(std::function<void()> changed) = 0;

    // True when the view is placed in a window.
    virtual bool isInWindow() const = 0;

    // Files dropped on the view from outside go here instead of making the view
    // navigate to them.
    virtual void observeDroppedFiles(std::function<void(std::vector<std::string>)> dropped) = 0;

    // One of the editor's standard commands: "Undo", "Redo", "Cut", "Copy", "Paste",
    // "SelectAll".
    virtual void executeEditingCommand(const std::string& command) = 0;
};

}  // namespace pw
