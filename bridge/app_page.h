#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/web_view.h"

namespace pw {

// Whatever the shell evaluates for the page (replies, messages, opened files, the
// recent files, the readiness probe) is for the application's own top-level document
// only. Another document can be in the main frame (a web frame moved the top frame, a
// blob: or data: document was loaded) and must never get the user's files or see the
// shell's replies. Two checks, because either alone can be raced or fooled: the view's
// committed address before evaluating, and the document itself inside the script,
// with values page script cannot redefine (`location.origin` and `window.top` are
// unforgeable properties of the window).

// The origin of the page, as `location.origin` reports it there.
inline constexpr std::string_view appOrigin = "pagewick://app";

// The in-document check as an expression, for calls that carry it beside the function.
inline constexpr std::string_view appPageCondition = "location.origin === 'pagewick://app' && window.top === window";

// The opening and closing of the in-document check around a script.
inline constexpr std::string_view appPageGuardOpen =
    "if (location.origin === 'pagewick://app' && window.top === window) {\n";
inline constexpr std::string_view appPageGuardClose = "\n}";

// True when `uri` is a document of the page's origin: pagewick://app/ and a path.
bool isAppPageURI(std::string_view uri);

// `script` inside the in-document check; unchanged when it already is. Its completion
// value is the script's own in the app's page and undefined anywhere else.
std::string forAppPageOnly(std::string script);

// Evaluates `script` inside the check when the view's committed document is the app's
// page; drops it otherwise. A script already inside the check is moved on, not copied.
void evaluateOnAppPage(WebView& view, std::string script);
// The same for a probe: `done` gets nullopt when the script was not evaluated.
void evaluateOnAppPage(WebView& view, std::string script, std::function<void(std::optional<bool>)> done);
// Calls `function` with `arguments` under the same two checks: a file's contents are
// passed this way, as a string the page's process maps, instead of inside a script.
void callOnAppPage(WebView& view, std::string function, std::vector<PageArgument> arguments);

}  // namespace pw
