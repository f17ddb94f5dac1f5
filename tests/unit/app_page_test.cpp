#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/app_page.h"
#include "bridge/file_delivery.h"
#include "ocr/native_ocr.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/js_engine.h"

namespace pw::testing {
namespace {

std::vector<std::string> deliveries(const FakeWebView& view)
{
    std::vector<std::string> opened;
    for (const auto& script : view.scripts)
        if (script.starts_with("window.__nativeOpen(")) opened.push_back(script);
    return opened;
}

TEST(AppPage, OnlyTheAppsOwnOriginIsTheAppsPage)
{
    for (const char* uri : {"pagewick://app/index.html", "pagewick://app/", "pagewick://app/a/b.html?x#y"})
        EXPECT_TRUE(isAppPageURI(uri)) << uri;
    for (const char* uri : {"", "pagewick://app", "pagewick://app.evil/index.html", "pagewick://app:8/index.html",
                            "pagewick://x@app/index.html", "pagewick://other/index.html",
                            "blob:pagewick://app/5f0c", "blob:http://127.0.0.1:8000/5f0c", "data:text/html,x",
                            "about:blank", "http://app/index.html", "file:///work/web/index.html"})
        EXPECT_FALSE(isAppPageURI(uri)) << uri;
}

// The check inside the script, in a real engine: the call runs, and its value comes
// back, only in a top-level document of the app's origin.
TEST(AppPage, TheScriptChecksTheDocumentItRunsIn)
{
    struct Case {
        const char* origin;
        bool topLevel;
        const char* value;
    } cases[] = {
        {"pagewick://app", true, "true 1"}, {"pagewick://app", false, "undefined 0"},
        {"null", true, "undefined 0"},      {"http://127.0.0.1:8000", true, "undefined 0"},
    };
    const std::string probe = forAppPageOnly("window.calls++; typeof window.__nativeOpen === 'function'");
    EXPECT_EQ(forAppPageOnly(probe), probe) << "checked twice";
    for (const auto& c : cases) {
        JsEngine js;
        ASSERT_TRUE(js.run(std::string("var window = this; window.calls = 0; window.__nativeOpen = () => {}; window.top = ") +
                           (c.topLevel ? "window" : "{}") + "; var location = { origin: '" + c.origin + "' };"));
        EXPECT_EQ(js.evaluateString("String(eval(" + NativeOCR::lit(probe) + ")) + ' ' + window.calls"), c.value)
            << c.origin;
        // The condition a call carries instead is the same check.
        EXPECT_EQ(js.evaluateString("String(" + std::string(appPageCondition) + ")"),
                  std::string(c.value) == "true 1" ? "true" : "false")
            << c.origin;
    }
}

// While another document is in the main frame, nothing reaches it: files wait, and
// replies, messages and the recent files are dropped. Once the app's page is back, the
// files go to it, once each, in order.
TEST(AppPage, NothingReachesAForeignDocumentAndFilesWaitForTheAppsPage)
{
    BridgeFixture f;
    const std::string a = f.dir.write("a.pdf", "%PDF-a");
    const std::string b = f.dir.write("b.pdf", "%PDF-b");
    f.view->committed = "blob:http://127.0.0.1:8000/5f0c6b9e";
    f.bridge->openFile(a);
    f.bridge->result("1", true, "/p");
    f.bridge->pageMessage("hello");
    f.bridge->forget("/nowhere.pdf");
    f.queue->drain();
    f.queue->advance(2.0);
    EXPECT_TRUE(f.view->scripts.empty());
    EXPECT_TRUE(f.view->probes.empty());

    // The page answers the probe, but a foreign document committed before the answer.
    f.view->committed = "pagewick://app/index.html";
    f.view->holdProbes = true;
    f.bridge->openFile(b);
    f.view->committed = "data:text/html,x";
    f.view->answerProbes(true);
    EXPECT_TRUE(deliveries(*f.view).empty());

    f.view->committed = "pagewick://app/index.html";
    f.view->holdProbes = false;
    f.bridge->didFinishNavigation();
    f.queue->drain();
    const auto opened = deliveries(*f.view);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_NE(opened[0].find("a.pdf"), std::string::npos);
    EXPECT_NE(opened[1].find("b.pdf"), std::string::npos);
    f.queue->advance(2.0);
    EXPECT_EQ(deliveries(*f.view).size(), 2u) << "delivered twice";
    EXPECT_EQ(f.view->unguarded, std::vector<std::string>{});
}

// Every kind of script the bridge evaluates on the page carries the check.
TEST(AppPage, EveryScriptTheBridgeEvaluatesIsChecked)
{
    BridgeFixture f;
    f.bridge->openFile(f.dir.write("a.pdf", "%PDF-a"));
    f.bridge->openFile(f.dir.path() + "/missing.pdf");
    f.bridge->result("1", false, "", "no");
    f.bridge->remember(f.dir.path() + "/a.pdf");
    f.queue->drain();
    EXPECT_GE(f.view->scripts.size(), 5u);
    // The missing file's message waits in the queue like a file: each flushes and probes.
    EXPECT_GE(f.view->probes.size(), 1u);
    EXPECT_EQ(f.view->unguarded, std::vector<std::string>{});
}

}  // namespace
}  // namespace pw::testing
