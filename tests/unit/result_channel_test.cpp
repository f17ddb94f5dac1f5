#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/fakes/fake_platform.h"
#include "tests/unit/js_engine.h"

namespace pw {
namespace {

using testing::BridgeFixture;
using testing::JsEngine;

using Scripts = std::vector<std::string>;

TEST(ResultChannel, ResultIsEvaluatedOnlyOnceTheMainQueueRuns)
{
    BridgeFixture f;
    f.bridge->result("id", true, "/p");
    EXPECT_TRUE(f.view->scripts.empty());
    EXPECT_EQ(f.queue->drain(), 1);
    EXPECT_EQ(f.view->scripts, Scripts{R"(window.__nativeResult(["id"][0], true, ["\/p"][0], [""][0]))"});
}

TEST(ResultChannel, LeftOutPathOrMessageIsTheEmptyText)
{
    BridgeFixture f;
    f.bridge->result("a", false, {}, "cancel");
    f.bridge->result("b", false);
    f.bridge->result("c", true, "/x");
    f.queue->drain();
    EXPECT_EQ(f.view->scripts, (Scripts{
                                   R"(window.__nativeResult(["a"][0], false, [""][0], ["cancel"][0]))",
                                   R"(window.__nativeResult(["b"][0], false, [""][0], [""][0]))",
                                   R"(window.__nativeResult(["c"][0], true, ["\/x"][0], [""][0]))",
                               }));
}

TEST(ResultChannel, QueuedRepliesReachThePageInOrder)
{
    BridgeFixture f;
    for (int i = 0; i < 5; ++i) f.bridge->result(std::to_string(i), true);
    // Work queued after them runs after them: one serial queue.
    f.queue->post([&] { f.view->evaluate("earlier"); });
    f.queue->drain();
    ASSERT_EQ(f.view->scripts.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(f.view->scripts[i].find("window.__nativeResult([\"" + std::to_string(i) + "\"]"), 0u);
    EXPECT_EQ(f.view->scripts.back(), "earlier");
}

TEST(ResultChannel, ResultFromAnotherThreadIsEvaluatedOnTheMainQueue)
{
    BridgeFixture f;
    std::thread worker([&] { f.bridge->result("w", true, "/done"); });
    worker.join();
    EXPECT_TRUE(f.view->scripts.empty());
    f.queue->drain();
    EXPECT_EQ(f.view->scripts, Scripts{R"(window.__nativeResult(["w"][0], true, ["\/done"][0], [""][0]))"});
}

TEST(ResultChannel, ReplyIsDroppedWhenTheBridgeIsGoneBeforeTheQueueRuns)
{
    BridgeFixture f;
    f.bridge->result("id", true, "/p");
    f.bridge.reset();
    EXPECT_EQ(f.queue->drain(), 1);
    EXPECT_TRUE(f.view->scripts.empty());
}

TEST(ResultChannel, ReplyIsDroppedWhenTheWebViewIsGone)
{
    {
        // The view dies between the request and the reply: nothing held it meanwhile,
        // and the reply finds nothing to evaluate into.
        BridgeFixture f;
        f.bridge->result("id", true, "/p");
        std::weak_ptr<testing::FakeWebView> view = f.view;
        f.view.reset();
        EXPECT_TRUE(view.expired()) << "the pending reply kept the view alive";
        EXPECT_EQ(f.queue->drain(), 1);
    }
    {
        // The bridge lets go of its view between the request and the reply while the
        // view itself lives on: the reply is not evaluated into the view it was asked
        // from.
        BridgeFixture f;
        f.bridge->result("id", true, "/p");
        f.bridge->web.reset();
        EXPECT_EQ(f.queue->drain(), 1);
        EXPECT_TRUE(f.view->scripts.empty());
    }
}

TEST(ResultChannel, DroppedReplyIsNotKeptForALaterWebView)
{
    BridgeFixture f;
    f.bridge->web.reset();
    f.bridge->result("id", true, "/p");
    f.queue->drain();
    f.bridge->web = f.view;
    f.queue->drain();
    EXPECT_TRUE(f.view->scripts.empty());
}

TEST(PageMessage, IsEvaluatedAtOnce)
{
    BridgeFixture f;
    f.bridge->pageMessage("File not found: it may have been moved or deleted.");
    EXPECT_EQ(f.view->scripts, Scripts{R"(window.__nativeMsg(["File not found: it may have been moved or deleted."][0]))"});
    EXPECT_EQ(f.queue->postedCount(), 0u);
}

TEST(PageMessage, DoesNothingWithoutAWebView)
{
    BridgeFixture f;
    f.bridge->web.reset();
    f.bridge->pageMessage("lost");
    EXPECT_EQ(f.queue->postedCount(), 0u);
    f.bridge->web = f.view;
    f.queue->drain();
    EXPECT_TRUE(f.view->scripts.empty());
}

// Runs the scripts a page would receive in JavaScriptCore, against page functions that
// record their arguments.
class PageCalls : public ::testing::Test {
protected:
    PageCalls()
    {
        EXPECT_TRUE(engine.run("var window = globalThis; var calls = [];"
                               "window.__nativeResult = function () { calls.push(Array.from(arguments)); };"
                               "window.__nativeMsg = function () { calls.push(Array.from(arguments)); };"))
            << engine.lastError();
    }

    void runAll()
    {
        f.queue->drain();
        for (const auto& script : f.view->scripts) ASSERT_TRUE(engine.run(script)) << script << ": " << engine.lastError();
    }

    std::string argument(int call, int index)
    {
        const std::string at = "calls[" + std::to_string(call) + "][" + std::to_string(index) + "]";
        return engine.evaluateString("typeof " + at + " === 'string' ? " + at + " : '<' + typeof " + at + " + '>'")
            .value_or("<error " + engine.lastError() + ">");
    }

    BridgeFixture f;
    JsEngine engine;
};

const std::string awkwardTexts[] = {
    "say \"hi\" and 'bye'",
    "C:\\temp\\new\\",
    "/home/user/My Files/r\u00e9sum\u00e9 \u2014 copie.pdf",
    "line one\nline two\r\n\ttabbed",
    "</script><!-- \u2028\u2029 \U0001F4C4",
    std::string("nul\0inside", 10),
    "",
};

TEST_F(PageCalls, ResultArgumentsArriveUnchanged)
{
    for (const auto& id : awkwardTexts) f.bridge->result(id, true, awkwardTexts[2] + id, id + "!");
    f.bridge->result("fail", false, {}, "Could not save: \"x\"\n");
    runAll();

    const int count = static_cast<int>(std::size(awkwardTexts));
    ASSERT_EQ(engine.evaluateString("String(calls.length)"), std::to_string(count + 1));
    for (int i = 0; i < count; ++i) {
        const std::string& id = awkwardTexts[i];
        EXPECT_EQ(engine.evaluateString("String(calls[" + std::to_string(i) + "].length)"), "4");
        EXPECT_EQ(argument(i, 0), id);
        EXPECT_EQ(argument(i, 1), "<boolean>");
        EXPECT_EQ(engine.evaluateString("String(calls[" + std::to_string(i) + "][1])"), "true");
        EXPECT_EQ(argument(i, 2), awkwardTexts[2] + id);
        EXPECT_EQ(argument(i, 3), id + "!");
    }
    EXPECT_EQ(engine.evaluateString("String(calls[" + std::to_string(count) + "][1])"), "false");
    EXPECT_EQ(argument(count, 2), "");
    EXPECT_EQ(argument(count, 3), "Could not save: \"x\"\n");
}

TEST_F(PageCalls, PageMessageArrivesUnchanged)
{
    for (const auto& text : awkwardTexts) f.bridge->pageMessage(text);
    runAll();
    for (int i = 0; i < static_cast<int>(std::size(awkwardTexts)); ++i) {
        EXPECT_EQ(engine.evaluateString("String(calls[" + std::to_string(i) + "].length)"), "1");
        EXPECT_EQ(argument(i, 0), awkwardTexts[i]);
    }
}

}  // namespace
}  // namespace pw
