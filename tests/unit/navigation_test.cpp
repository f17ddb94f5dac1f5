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
    // Runs one decision on a fresh desktop; true when the URL was handed over.
    bool handedOver(const PolicyCase& c)
    {
        f.workspace->openedURLs.clear();
        EXPECT_EQ(f.bridge->decidePolicy({c.url, c.target}), c.policy) << describe(c);
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
        // Ordinary handlers of the desktop, from any frame.
        {"mailto:someone@example.com", Main, Cancel, true},
        {"MAILTO:someone@example.com", Sub, Cancel, true},
        {"tel:+331234", Main, Cancel, true},
        {"x-github-client://openRepo/x", Main, Cancel, true},
        {"magnet:?xt=urn:btih:0", NewWindow, Cancel, true},
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

TEST_F(Navigation, FileSystemSchemesAreDroppedSilently)
{
    const char* refused[] = {
        "file:///etc/passwd",
        "FILE:///home/user/run.desktop",
        "smb://server/share/evil.desktop",
        "cifs://server/share",
        "nfs://server/export/x",
        "sftp://host/home/x",
        "ssh://host/",
        "fish://host/x",
        "sshfs://host/x",
        "ftp://host/x",
        "ftps://host/x",
        "afp://server/volume",
        "dav://server/x",
        "davs://server/x",
        "webdav://server/x",
        "trash:///",
        "archive://file%3A%2F%2F%2Ftmp%2Fa.zip/",
    };
    for (const char* url : refused) {
        for (auto target : {Main, Sub, NewWindow}) {
            EXPECT_EQ(f.bridge->decidePolicy({url, target}), Cancel) << url;
            f.bridge->createWebView({url, target});
        }
    }
    EXPECT_TRUE(f.workspace->openedURLs.empty());
}

TEST_F(Navigation, NewWindowsAreNeverMadeAndTheirAddressGoesToTheDesktop)
{
    const char* handed[] = {
        "https://example.com/",
        "http://example.com/",
        "pagewick://app/index.html",
        "about:blank",
        "blob:pagewick://app/1",
        "data:text/plain,x",
        "mailto:a@b.c",
    };
    for (const char* url : handed) f.bridge->createWebView({url, NewWindow});
    f.bridge->createWebView({std::nullopt, NewWindow});
    f.bridge->createWebView({"", NewWindow});

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
