#include "bridge/app_page.h"

#include <utility>

namespace pw {

namespace {

bool isGuarded(std::string_view script)
{
    return script.starts_with(appPageGuardOpen) && script.ends_with(appPageGuardClose) &&
           script.size() >= appPageGuardOpen.size() + appPageGuardClose.size();
}

}  // namespace

bool isAppPageURI(std::string_view uri)
{
    // WebKit writes the scheme and host of a committed address in lower case; a port,
    // user name or any other host is another origin.
    const std::string prefix = std::string(appOrigin) + "/";
    return uri.starts_with(prefix);
}

std::string forAppPageOnly(std::string script)
{
    if (isGuarded(script)) return script;
    std::string guarded;
    guarded.reserve(appPageGuardOpen.size() + script.size() + appPageGuardClose.size());
    guarded += appPageGuardOpen;
    guarded += script;
    guarded += appPageGuardClose;
    return guarded;
}

void evaluateOnAppPage(WebView& view, std::string script)
{
    if (!isAppPageURI(view.committedURI())) return;
    view.evaluate(forAppPageOnly(std::move(script)));
}

void callOnAppPage(WebView& view, std::string function, std::vector<PageArgument> arguments)
{
    if (!isAppPageURI(view.committedURI())) return;
    view.call(std::string(appPageCondition), std::move(function), std::move(arguments));
}

void evaluateOnAppPage(WebView& view, std::string script, std::function<void(std::optional<bool>)> done)
{
    if (!isAppPageURI(view.committedURI())) {
        done(std::nullopt);
        return;
    }
    view.evaluate(forAppPageOnly(std::move(script)), std::move(done));
}

}  // namespace pw
