#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fakes/fake_platform.h"

namespace pw {
namespace {

using testing::BridgeFixture;

struct PolicyCase {
    std::optional<std::string> url;
    NavigationTarget target;
    NavigationPolicy policy;
    bool handedToDesktop;
};

std::string describe(const PolicyCase& c)
{
    static const char* targets[] = {"main frame", "sub-frame", "new window"};
    return c.url.value_or("<no URL>") + " in " + targets[static_cast<int>(c.target)];
}

class Navigation : public ::testing::Test {
protected:
    // Runs one decision, made by the user, on a fresh desktop; true when the URL was
    // handed over. The same decision without the user's gesture hands nothing over.
    bool handedOver(const PolicyCase& c)
    {
        f.workspace->openedURLs.clear();
        EXPECT_EQ(f.bridge->decidePolicy({c.url, c.target, false}), c.policy) << describe(c);
        EXPECT_TRUE(f.workspace->openedURLs.empty()) << describe(c) << " without a gesture";
        EXPECT_EQ(f.bridge->decidePolicy({c.url, c.target, true}), c.policy) << describe(c);
        if (f.workspace->openedURLs.empty()) return false;
        EXPECT_EQ(f.workspace->openedURLs, std::vector<std::string>{*c.url}) << describe(c);
        return true;
    }

    BridgeFixture f;
};

constexpr auto Main = NavigationTarget::MainFrame;
constexpr auto Sub = NavigationTarget::SubFrame;
constexpr auto NewWindow = NavigationTarget::NewWindow;
constexpr auto Allow = NavigationPolicy::Allow;
constexpr auto Cancel = NavigationPolicy::Cancel;

TEST_F(Navigation, PolicyMatrix)
{
    const PolicyCase cases[] = {
        // Our own pages and in-page documents stay, wherever they load.
        {"pagewick://app/index.html", Main, Allow, false},
        {"PageWick://app/other.html", Sub, Allow, false},
        {"about:blank", Main, Allow, false},
        {"about:srcdoc", Sub, Allow, false},
        {"blob:pagewick://app/5f0c6b9e", Main, Allow, false},
        {"data:application/pdf;base64,JVBERi0=", Main, Allow, false},
        {"DATA:text/html,hi", NewWindow, Allow, false},
        // The web: embedded frames load, everything top-level goes to the browser.
        {"http://example.com/", Main, Cancel, true},
        {"https://example.com/a?b#c", Main, Cancel, true},
        {"HTTPS://EXAMPLE.COM/", Main, Cancel, true},
        {"Http://example.com/", NewWindow, Cancel, true},
        {"https://example.com/", NewWindow, Cancel, true},
        {"http://example.com/embed", Sub, Allow, false},
        {"HTTPS://example.com/embed", Sub, Allow, false},
        // Mail, from any frame, unless the address asks for files to be attached.
        {"mailto:someone@example.com", Main, Cancel, true},
        {"MAILTO:someone@example.com?subject=Hi", Sub, Cancel, true},
        {"mailto:a@b.c?attach=/home/user/.ssh/id_rsa", Main, Cancel, false},
        {"mailto:a@b.c?body=x&ATTACHMENT=file:///etc/passwd", Sub, Cancel, false},
        {"mailto:a@b.c?%61ttach=%2Fetc%2Fpasswd", Main, Cancel, false},
        // Nothing to go on.
        {std::nullopt, Main, Cancel, false},
        {std::nullopt, NewWindow, Cancel, false},
        {"", Main, Cancel, false},
        {"example.com/page", Main, Cancel, false},
        {"/etc/passwd", Main, Cancel, false},
        {"://nothing", Main, Cancel, false},
        {"1http://x", Main, Cancel, false},
    };
    for (const auto& c : cases) EXPECT_EQ(handedOver(c), c.handedToDesktop) << describe(c);
}

// Only the web and mail leave: the desktop has handlers that open local files, browse
// shares, install packages or run things, and any application can add more.
TEST_F(Navigation, EverythingElseIsDroppedSilently)
{
    const char* refused[] = {
        "file:///etc/passwd", "FILE:///home/user/run.desktop", "smb://server/share/evil.desktop",
        "sftp://host/home/x", "ftp://host/x", "davs://server/x", "trash:///",
        "archive://file%3A%2F%2F%2Ftmp%2Fa.zip/", "ghelp:///usr/share/help/C/x", "help:gnome-help",
        "man:ls", "info:coreutils", "view-source:file:///etc/passwd", "apt:hello", "appstream:org.x.App",
        "dns-sd://local/x", "cdda://sr0", "wsdd:///", "onedrive://x", "tel:+331234", "magnet:?xt=urn:btih:0",
        "x-unknown-handler://anything", "javascript:alert(1)",
    };
    for (const char* url : refused) {
        for (auto target : {Main, Sub, NewWindow}) {
            EXPECT_EQ(f.bridge->decidePolicy({url, target, true}), Cancel) << url;
            f.bridge->createWebView({url, target, true});
        }
    }
    EXPECT_TRUE(f.workspace->openedURLs.empty());
}

TEST_F(Navigation, NewWindowsAreNeverMadeAndOnlyTheUsersWebAndMailAddressesLeave)
{
    const char* kept[] = {"pagewick://app/index.html", "about:blank", "blob:pagewick://app/1", "data:text/plain,x"};
    const char* handed[] = {"https://example.com/", "http://example.com/", "mailto:a@b.c"};
    for (const char* url : kept) f.bridge->createWebView({url, NewWindow, true});
    for (const char* url : handed) f.bridge->createWebView({url, NewWindow, false});  // a script's window.open
    for (const char* url : handed) f.bridge->createWebView({url, NewWindow, true});
    f.bridge->createWebView({std::nullopt, NewWindow, true});
    f.bridge->createWebView({"", NewWindow, true});

    EXPECT_EQ(f.workspace->openedURLs, std::vector<std::string>(std::begin(handed), std::end(handed)));
}

TEST_F(Navigation, ACrashedPageIsReloadedEveryTime)
{
    for (int i = 0; i < 3; ++i) f.bridge->webContentProcessDidTerminate(*f.view);
    EXPECT_EQ(f.view->reloads, 3);
    EXPECT_TRUE(f.view->scripts.empty());
}

TEST_F(Navigation, AFinishedLoadDeliversWaitingFiles)
{
    testing::TempDir docs;
    const std::string path = docs.write("a.pdf", "%PDF-1.4");
    auto deliveries = [&] {
        return std::count_if(f.view->scripts.begin(), f.view->scripts.end(),
                             [](const std::string& s) { return s.starts_with("window.__nativeOpen("); });
    };
    // The page is not ready yet: the file waits.
    f.view->probeAnswer = false;
    f.bridge->openFile(path);
    f.queue->drain();
    ASSERT_EQ(deliveries(), 0);

    f.view->probeAnswer = true;
    f.bridge->didFinishNavigation();
    f.queue->drain();
    EXPECT_EQ(deliveries(), 1);
}

}  // namespace
}  // namespace pw
