#include <gtest/gtest.h>

#include <filesystem>

#include "tests/integration/harness.h"
#include "tests/integration/local_web_server.h"

namespace pw::testing {
namespace {

// Script that tries to write the canary and to read a file, as hostile content would.
std::string attack(const std::string& canary, const std::string& secretFile)
{
    return "const h = window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.pagewick;"
           "if (h) { h.postMessage({type: 'savepath', id: 'x', path: '" + canary +
           "', b64: 'JVBERg=='});"
           "h.postMessage({type: 'openpath', path: '" + secretFile +
           "'}); h.postMessage({type: 'filter', kind: 'owned'}); }";
}

TEST(Boundary, OnlyTheTopLevelPageMayUseTheBridge)
{
    ShellHarness shell;
    const std::string canary = shell.config.path() + "/canary.pdf";
    const std::string secretFile = shell.config.write("secret.pdf", "%PDF- secret");
    const std::string script = attack(canary, secretFile);
    LocalWebServer server("<!doctype html><script>" + script + "</script>");

    gchar* escaped = g_uri_escape_string(("<script>" + script + "</script>").c_str(), nullptr, TRUE);
    const std::string dataFrame = std::string("data:text/html,") + escaped;
    g_free(escaped);
    shell.web.write("index.html",
                    "<!doctype html><script>window.opened = []; window.__nativeOpen = (n) => opened.push(n);"
                    "window.results = []; window.__nativeResult = (id, ok) => results.push(id + ':' + ok);</script>"
                    "<iframe id=web src='" + server.url() + "'></iframe>"
                    "<iframe id=data src='" + dataFrame + "'></iframe>"
                    "<iframe id=srcdoc srcdoc=\"<script>" + script + "</script>\"></iframe>");
    shell.launchAndWait();

    // Each frame has had its chance once the page and its frames have loaded.
    ASSERT_TRUE(shell.waitForScript("document.getElementById('web').contentWindow.length === 0 && "
                                    "document.readyState === 'complete'"));
    spin(1.0);
    EXPECT_FALSE(std::filesystem::exists(canary));
    EXPECT_EQ(shell.evaluate("window.opened.length"), "0");
    EXPECT_EQ(shell.bridge->nextFilter, "");

    // The page itself still works.
    const std::string own = shell.config.path() + "/own.pdf";
    shell.evaluate("window.webkit.messageHandlers.pagewick.postMessage({type: 'savepath', id: 'mine', path: '" + own +
                   "', b64: 'JVBERg=='})");
    EXPECT_TRUE(shell.waitForScript("window.results.includes('mine:true')"));
    EXPECT_TRUE(std::filesystem::exists(own));
}

TEST(Boundary, ATopLevelDataDocumentCannotUseTheBridge)
{
    ShellHarness shell;
    const std::string canary = shell.config.path() + "/canary.pdf";
    shell.web.write("index.html", "<!doctype html><title>start</title>");
    shell.launchAndWait();

    gchar* escaped = g_uri_escape_string(
        ("<title>data</title><script>" + attack(canary, "/etc/hostname") + "</script>").c_str(), nullptr, TRUE);
    // WebKit will not let a script move the top frame to a data: address; load it from
    // outside, as a crafted link handed over some other way would.
    webkit_web_view_load_uri(shell.webKitView(), (std::string("data:text/html,") + escaped).c_str());
    g_free(escaped);
    ASSERT_TRUE(waitUntil([&] { return shell.delegate->window()->title() == "data"; }));
    spin(1.0);
    EXPECT_FALSE(std::filesystem::exists(canary));
    EXPECT_EQ(shell.bridge->nextFilter, "");
}

}  // namespace
}  // namespace pw::testing

namespace pw::testing {
namespace {

// The page's messages must keep their secret after the collector has run: WebKit hands
// out fresh wrappers for handler objects it collected, and a fresh one lacks the
// wrapped postMessage. Large deliveries are what make the collector run in practice.
TEST(Boundary, ThePageKeepsTheBridgeAfterGarbageCollection)
{
    ShellHarness shell;
    shell.web.write("index.html", R"(<!doctype html><script>
      window.__nativeOpen = (name, b64) => window.webkit.messageHandlers.pagewick.postMessage(
        {type: 'filter', kind: name + ':' + b64.length});
    </script>)");
    shell.launchAndWait();
    for (int round = 0; round < 3; ++round) {
        const std::string name = "big" + std::to_string(round) + ".pdf";
        const std::string path = shell.config.write(name, std::string(10 * 1000 * 1000, static_cast<char>('a' + round)));
        shell.bridge->openFile(path);
        EXPECT_TRUE(waitUntil([&] { return shell.bridge->nextFilter == name + ":13333336"; }, 20)) << name;
        // And plain garbage, as a long session makes.
        shell.evaluate("for (let i = 0; i < 40; ++i) window.junk = new Array(500000).fill({i});");
    }
}

}  // namespace
}  // namespace pw::testing
