#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "bridge/bridge.h"
#include "common/app_constants.h"
#include "common/text.h"
#include "platform/web_view.h"
#include "platform/workspace.h"

namespace pw {

namespace {

// Schemes kept inside the web view besides our own.
constexpr std::string_view inViewSchemes[] = {"about", "blob", "data"};

// What may be handed to the desktop: the web and mail. Every other scheme is dropped
// like a navigation without a URL, since the desktop has handlers that open local
// files, browse shares or run things (help and manual viewers, source views of local
// files, package installers, virtual file systems) and any application may add more.
// tel: stays out too: a softphone may dial at once, with no question asked.
constexpr std::string_view desktopSchemes[] = {"http", "https", "mailto"};

// The URL's scheme in lower case, empty when the URL has none.
std::string loweredScheme(const std::string& url)
{
    return asciiLowered(uriScheme(url));
}

bool staysInView(const std::string& scheme)
{
    return scheme == appScheme || std::ranges::find(inViewSchemes, scheme) != std::end(inViewSchemes);
}

bool isWeb(const std::string& scheme)
{
    return scheme == "http" || scheme == "https";
}

// Mail clients take an "attach" field of a mailto: address (its name percent-encoded
// or not) as files to attach, which would send the user's files wherever the link says.
bool asksForAttachments(const std::string& scheme, const std::string& url)
{
    if (scheme != "mailto") return false;
    std::string decoded;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size() && hexDigitValue(url[i + 1]) >= 0 && hexDigitValue(url[i + 2]) >= 0) {
            decoded += static_cast<char>(hexDigitValue(url[i + 1]) * 16 + hexDigitValue(url[i + 2]));
            i += 2;
        } else {
            decoded += url[i];
        }
    }
    return asciiLowered(decoded).find("attach") != std::string::npos;
}

}  // namespace

// Only a move the user made (a click or a key in the page) reaches the desktop, as
// browsers ask for external handlers: a script, or a frame navigating itself, could
// otherwise start handlers one after the other.
void Bridge::handOver(const NavigationAction& action)
{
    if (!action.url || !action.userGesture) return;
    const std::string scheme = loweredScheme(*action.url);
    if (std::ranges::find(desktopSchemes, scheme) == std::end(desktopSchemes)) return;
    if (asksForAttachments(scheme, *action.url)) return;
    services_.workspace->openURL(*action.url);
}

NavigationPolicy Bridge::decidePolicy(const NavigationAction& action)
{
    if (!action.url) return NavigationPolicy::Cancel;
    const std::string scheme = loweredScheme(*action.url);
    if (staysInView(scheme)) return NavigationPolicy::Allow;
    // Embedded web frames load inside the page; top-level and new-window moves to the
    // web leave for the user's browser.
    if (isWeb(scheme) && action.target == NavigationTarget::SubFrame) return NavigationPolicy::Allow;
    handOver(action);
    return NavigationPolicy::Cancel;
}

void Bridge::createWebView(const NavigationAction& action)
{
    // Never a second view: what the page wanted to open may go to the desktop instead.
    handOver(action);
}

void Bridge::webContentProcessDidTerminate(WebView& view)
{
    view.reload();
}

void Bridge::didFinishNavigation()
{
    flush();
}

}  // namespace pw
