#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "app/app_constants.h"
#include "bridge/bridge.h"
#include "platform/web_view.h"
#include "platform/workspace.h"

namespace pw {

namespace {

// Schemes kept inside the web view besides our own.
constexpr std::string_view inViewSchemes[] = {"about", "blob", "data"};

// Schemes that reach local or network file systems. Handed to the desktop, a page's
// link to one of them can make the file manager or a mounted share open (and, for a
// desktop entry or a script on a share, run) whatever sits there. Links to them are
// dropped, like a navigation without a URL.
constexpr std::string_view fileSystemSchemes[] = {
    "file",                                                       // the local disk
    "smb", "cifs", "nfs", "afp", "afc", "mtp", "gphoto2", "obex",  // shares and devices
    "sftp", "ssh", "scp", "fish", "sshfs",                         // over SSH
    "ftp", "ftps", "ftpes", "ftpis", "tftp",                       // FTP
    "dav", "davs", "dav+sd", "davs+sd", "webdav", "webdavs",       // WebDAV
    "vnd.sun.star.webdav", "vnd.sun.star.webdavs",
    // the desktop's virtual folders, which open local or network places
    "archive", "tar", "zip", "burn", "computer", "network", "recent", "trash", "admin",
    "smb-share", "smb-server", "google-drive", "remote", "desktop",
};

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeCharacter(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The URL's scheme in lower case: a letter, then letters, digits, "+", "-" or ".",
// up to the first ":". Empty when the URL has none.
std::string loweredScheme(const std::string& url)
{
    const auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0 || !isAsciiLetter(url[0])) return {};
    if (!std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), isSchemeCharacter)) return {};
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), lowered);
    return scheme;
}

bool staysInView(const std::string& scheme)
{
    return scheme == appScheme || std::ranges::find(inViewSchemes, scheme) != std::end(inViewSchemes);
}

// What the desktop may be given. A URL without a scheme is refused too: the desktop's
// opener takes such a text for a file path.
bool mayLeaveForDesktop(const std::string& scheme)
{
    return !scheme.empty() && std::ranges::find(fileSystemSchemes, scheme) == std::end(fileSystemSchemes);
}

}  // namespace

NavigationPolicy Bridge::decidePolicy(const NavigationAction& action)
{
    if (!action.url) return NavigationPolicy::Cancel;
    const std::string scheme = loweredScheme(*action.url);
    if (staysInView(scheme)) return NavigationPolicy::Allow;
    // Embedded web frames load inside the page; top-level and new-window moves to the
    // web leave for the user's browser.
    if ((scheme == "http" || scheme == "https") && action.target == NavigationTarget::SubFrame)
        return NavigationPolicy::Allow;
    if (mayLeaveForDesktop(scheme)) services_.workspace->openURL(*action.url);
    return NavigationPolicy::Cancel;
}

void Bridge::createWebView(const NavigationAction& action)
{
    // Never a second view: whatever the page wanted to open goes to the desktop, our own
    // scheme included (the desktop has no handler for it, so nothing opens).
    if (action.url && mayLeaveForDesktop(loweredScheme(*action.url))) services_.workspace->openURL(*action.url);
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
