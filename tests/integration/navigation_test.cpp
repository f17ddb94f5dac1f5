#include <gtest/gtest.h>

#include <algorithm>

#include "app/language.h"
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

TEST(Navigation, OtherSchemesLeaveForTheDesktopButFileSystemsAreRefused)
{
    NavigationPage page;
    page.click("mailto:someone@example.org");
    EXPECT_TRUE(waitUntil([&] { return opened(page, "mailto:someone@example.org"); }));
    page.click("file:///etc/hostname");
    page.click("smb://server/share/run.desktop");
    EXPECT_EQ(page.evaluate("String(window.open('about:blank'))"), "null");
    EXPECT_TRUE(waitUntil([&] { return opened(page, "about:blank"); }));
    spin(0.5);
    EXPECT_FALSE(opened(page, "file:///etc/hostname"));
    EXPECT_FALSE(opened(page, "smb://server/share/run.desktop"));
    EXPECT_TRUE(page.stillHome());
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
