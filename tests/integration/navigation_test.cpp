#include <gtest/gtest.h>

#include <algorithm>

#include "common/language.h"
#include "tests/integration/harness.h"
#include "tests/integration/local_web_server.h"

namespace pw::testing {
namespace {

bool opened(const ShellHarness& shell, const std::string& url)
{
    const auto& urls = shell.workspace->openedURLs;
    return std::find(urls.begin(), urls.end(), url) != urls.end();
}

// A page with a marker that a navigation away from it would lose.
struct NavigationPage : ShellHarness {
    LocalWebServer server{"<!doctype html><title>web</title><p id=inside>inside</p>"};

    NavigationPage()
    {
        web.write("index.html", "<!doctype html><title>home</title><script>window.marker = 42;</script>"
                                "<iframe id=frame src='" + server.url() + "'></iframe>");
        launchAndWait();
    }
    bool stillHome() const { return evaluate("String(window.marker)") == "42" && evaluate("location.href") == "pagewick://app/index.html"; }
    void click(const std::string& href, const std::string& target = "")
    {
        evaluate("(() => { const a = document.createElement('a'); a.href = '" + href + "'; a.target = '" + target +
                 "'; document.body.append(a); a.click(); })()");
    }
};

TEST(Navigation, WebFramesLoadInsideWhileTopLevelWebLinksGoToTheDesktop)
{
    NavigationPage page;
    EXPECT_TRUE(page.waitForScript("document.getElementById('frame').contentWindow.length === 0 && "
                                   "document.getElementById('frame').contentDocument === null"));
    EXPECT_TRUE(page.workspace->openedURLs.empty()) << "the embedded frame loaded inside";

    const std::string top = page.server.url() + "?top";
    page.click(top);
    EXPECT_TRUE(waitUntil([&] { return opened(page, top); }));
    spin(0.3);
    EXPECT_TRUE(page.stillHome());

    const std::string blank = page.server.url() + "?blank";
    page.click(blank, "_blank");
    EXPECT_TRUE(waitUntil([&] { return opened(page, blank); }));
    EXPECT_EQ(page.evaluate("String(window.open('" + page.server.url() + "?script'))"), "null");
    EXPECT_TRUE(waitUntil([&] { return opened(page, page.server.url() + "?script"); }));
    EXPECT_TRUE(page.stillHome());
}

TEST(Navigation, OnlyWebAndMailAddressesLeaveForTheDesktop)
{
    NavigationPage page;
    page.click("mailto:someone@example.org");
    EXPECT_TRUE(waitUntil([&] { return opened(page, "mailto:someone@example.org"); }));
    for (const char* refused : {"file:///etc/hostname", "smb://server/share/run.desktop", "ghelp:///etc/passwd",
                                "view-source:file:///etc/passwd", "apt:hello", "x-unknown://anything"})
        page.click(refused);
    EXPECT_EQ(page.evaluate("String(window.open('about:blank'))"), "null");
    spin(0.5);
    EXPECT_EQ(page.workspace->openedURLs, std::vector<std::string>{"mailto:someone@example.org"});
    EXPECT_TRUE(page.stillHome());
}

// A move the user did not make hands nothing over: the page's own script moving the
// top frame, and an embedded web frame navigating itself or opening windows.
TEST(Navigation, ScriptsAndFramesMovingThemselvesHandNothingOver)
{
    ShellHarness shell;
    LocalWebServer server("<!doctype html><script>window.open('https://example.org/from-frame');"
                          "setTimeout(() => { location.href = 'mailto:frame@example.org'; }, 100);</script>");
    shell.web.write("index.html", "<!doctype html><script>window.marker = 42;"
                                  "setTimeout(() => { location.href = '" + server.root() + "never/top'; }, 300);"
                                  "</script><iframe src='" + server.url() + "'></iframe>");
    shell.launchAndWait();
    ASSERT_TRUE(waitUntil([&] { return server.received("/frame.html"); }));
    spin(1.5);
    EXPECT_TRUE(shell.workspace->openedURLs.empty()) << shell.workspace->openedURLs.front();
    EXPECT_EQ(shell.evaluate("String(window.marker) + ' ' + location.href"), "42 pagewick://app/index.html");
    EXPECT_FALSE(server.received("/never/top"));
}

// The main frame never sends a request for the web: the link goes to the browser when
// it is clicked, the page stays as it was, and no error page replaces it, whether the
// server would never answer or the host does not exist. Without the web process's
// extension (ShellHarness(root, "")) the server is seen to receive "/never/link" and
// the hand-off waits for a response that never comes: this test then fails.
TEST(Navigation, TheMainFrameNeverLoadsFromTheWeb)
{
    NavigationPage page;
    const std::string hanging = page.server.root() + "never/link?a=1";
    const std::string unresolvable = "https://no-such-host.invalid/page";
    page.click(hanging);
    EXPECT_TRUE(waitUntil([&] { return opened(page, hanging); }, 5));
    page.click(unresolvable);
    EXPECT_TRUE(waitUntil([&] { return opened(page, unresolvable); }, 5));
    spin(1.0);
    EXPECT_TRUE(page.stillHome());
    EXPECT_EQ(page.evaluate("document.title"), "home");
    EXPECT_FALSE(page.server.received("/never/"));
    EXPECT_EQ(page.workspace->openedURLs.size(), 2u) << "handed over more than once";
    // The embedded frame from the same server still loaded inside.
    EXPECT_TRUE(page.server.received("/frame.html"));
}

TEST(Navigation, ACrashedPageIsLoadedAgainAndGetsItsQueuedFiles)
{
    ShellHarness shell;
    shell.web.write("index.html", "<!doctype html><script>window.got = [];"
                                  "setTimeout(() => { window.__nativeOpen = (n) => got.push(n); }, 300);</script>");
    shell.launchAndWait();
    webkit_web_view_terminate_web_process(shell.webKitView());
    shell.bridge->openFile(shell.config.write("queued.pdf", "%PDF-"));
    EXPECT_TRUE(waitUntil([&] { return shell.loadsFinished() >= 2; }));
    EXPECT_TRUE(shell.waitForScript("window.got.length === 1 && window.got[0] === 'queued.pdf'"));
}

TEST(Navigation, PageDialogsAreAnsweredByTheNativePanels)
{
    setFrench(true);
    ShellHarness shell;
    shell.web.write("index.html", "<!doctype html>");
    shell.launchAndWait();

    shell.evaluate("alert('Bonjour')");
    shell.panels->confirmAnswer = false;
    EXPECT_EQ(shell.evaluate("String(confirm('Supprimer ?'))"), "false");
    shell.panels->confirmAnswer = true;
    EXPECT_EQ(shell.evaluate("String(confirm('Supprimer ?'))"), "true");
    shell.panels->promptAnswer = "3-5";
    EXPECT_EQ(shell.evaluate("JSON.stringify(prompt('Pages ?', '1-2'))"), "\"3-5\"");
    shell.panels->promptAnswer = std::nullopt;
    EXPECT_EQ(shell.evaluate("JSON.stringify(prompt('Pages ?'))"), "null");

    ASSERT_EQ(shell.panels->alerts.size(), 1u);
    EXPECT_EQ(shell.panels->alerts[0].message, "Bonjour");
    ASSERT_EQ(shell.panels->dialogs.size(), 4u);
    EXPECT_EQ(shell.panels->dialogs[0].first, "OK");
    EXPECT_EQ(shell.panels->dialogs[0].second, "Annuler");
    EXPECT_EQ(shell.panels->promptDefaults, (std::vector<std::string>{"1-2", ""}));
    setFrench(false);
}

}  // namespace
}  // namespace pw::testing

namespace pw::testing {
namespace {

// A web frame moving the top frame to the page's own address reloaded the page, which
// embedded the frame again, which moved it again: dozens of reloads a second, each
// losing every open document. Only the shell loads the page again.
TEST(Navigation, NothingButTheShellLoadsThePageAgain)
{
    ShellHarness shell;
    LocalWebServer server("<!doctype html><script>setTimeout(() => { top.location = 'pagewick://app/index.html?x';"
                          "location = 'pagewick://app/index.html'; }, 100);</script>");
    shell.web.write("index.html", "<!doctype html><script>window.marker = 42;</script><iframe src='" + server.url() +
                                      "'></iframe>");
    shell.launchAndWait();
    ASSERT_TRUE(waitUntil([&] { return server.received("/frame.html"); }));
    spin(1.5);
    EXPECT_EQ(shell.loadsFinished(), 1);
    EXPECT_EQ(shell.evaluate("location.href + ' ' + window.marker"), "pagewick://app/index.html 42");
    EXPECT_EQ(server.requests().size(), 1u);
    // Within the page, and from the shell, all goes on as before.
    EXPECT_EQ(shell.evaluate("location.hash = 'part'; location.href"), "pagewick://app/index.html#part");
    shell.view().reload();
    EXPECT_TRUE(waitUntil([&] { return shell.loadsFinished() == 2; }));
}

}  // namespace
}  // namespace pw::testing
