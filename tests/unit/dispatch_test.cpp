#include <gtest/gtest.h>

#include <filesystem>

#include "common/base64.h"
#include "common/language.h"
#include "ocr/native_ocr.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_text_recognition.h"
#include "tests/unit/js_engine.h"

namespace pw::testing {
namespace {

std::string b64Of(std::string_view text)
{
    return base64::encode(text.data(), text.size());
}

// A bridge whose page posts messages through the guard, as the real page does.
struct Dispatch : BridgeFixture {
    std::shared_ptr<FakeImageDecoder> decoder = std::make_shared<FakeImageDecoder>();
    std::shared_ptr<FakeRecognizer> recognizer = std::make_shared<FakeRecognizer>();
    std::shared_ptr<ManualWorkQueue> workers = std::make_shared<ManualWorkQueue>();

    Dispatch()
    {
        NativeOCR::install({decoder, recognizer, workers});
        setFrench(false);
    }

    void post(std::map<std::string, std::string> fields, bool withToken = true)
    {
        ScriptMessage message{true, std::move(fields), {}};
        if (withToken) message.strings[MessageGuard::tokenKey] = bridge->messageGuard().secret();
        bridge->didReceiveScriptMessage(message);
    }
    // Everything the page saw, after queued work has run.
    std::vector<std::string> settle()
    {
        workers->runAll();
        queue->drain();
        return view->scripts;
    }
    bool quiet()
    {
        return settle().empty() && panels->saveRequests.empty() && panels->openRequests.empty() &&
               printing->printed.empty() && view->probes.empty();
    }
};

TEST(Dispatch, MessagesWithoutTheLaunchSecretAreDropped)
{
    Dispatch d;
    const std::string target = d.dir.path() + "/canary.pdf";
    d.post({{"type", "savepath"}, {"id", "1"}, {"path", target}, {"b64", b64Of("%PDF-")}}, false);
    ScriptMessage forged{true, {{"type", "savepath"}, {"id", "1"}, {"path", target}, {"b64", b64Of("%PDF-")},
                                {MessageGuard::tokenKey, std::string(64, '0')}}, {}};
    d.bridge->didReceiveScriptMessage(forged);
    d.post({{"type", "open"}}, false);
    EXPECT_TRUE(d.quiet());
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(Dispatch, MalformedBodiesAndUnknownKindsGetNoReply)
{
    Dispatch d;
    const std::string target = d.dir.path() + "/out.pdf";
    ScriptMessage notAnObject;  // a string, an array, null or a number arrive like this
    d.bridge->didReceiveScriptMessage(notAnObject);
    d.post({});
    d.post({{"type", "Save"}, {"name", "a.pdf"}, {"b64", b64Of("x")}});
    d.post({{"type", "savepath"}, {"path", target}, {"b64", b64Of("%PDF-")}});              // id not a string
    d.post({{"type", "savepath"}, {"id", "1"}, {"path", target}, {"b64", "JVBE Rg=="}});    // a space
    d.post({{"type", "savepath"}, {"id", "1"}, {"b64", b64Of("%PDF-")}});                   // no path
    d.post({{"type", "saveas"}, {"id", "1"}, {"b64", "JVBERg==\n"}});
    d.post({{"type", "print"}, {"b64", b64Of("\x89PNG\r\n\x1a\n")}});
    d.post({{"type", "print"}, {"b64", "%%%"}});
    d.post({{"type", "save"}, {"name", "a.pdf"}});
    d.post({{"type", "openpath"}});
    d.post({{"type", "ocr"}, {"b64", b64Of("image 10x10")}});
    EXPECT_TRUE(d.quiet());
    EXPECT_TRUE(d.panels->alerts.empty());
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(Dispatch, SavePathWritesThenReplies)
{
    Dispatch d;
    const std::string target = d.dir.path() + "/out.pdf";
    d.post({{"type", "savepath"}, {"id", "7"}, {"path", target}, {"b64", b64Of("%PDF-1.7")}});
    EXPECT_EQ(TempDir::read(target), "%PDF-1.7");
    for (const auto& script : d.view->scripts)
        EXPECT_EQ(script.find("__nativeResult"), std::string::npos) << "the reply waits for the main queue";
    const auto scripts = d.settle();
    ASSERT_FALSE(scripts.empty());
    EXPECT_EQ(scripts.back(), "window.__nativeResult([\"7\"][0], true, " + NativeOCR::lit(target) + ", [\"\"][0])");
}

TEST(Dispatch, SaveAsOpensItsPanelFromTheQueueWithACleanedName)
{
    Dispatch d;
    d.post({{"type", "saveas"}, {"id", "a"}, {"b64", b64Of("%PDF-")}});
    d.post({{"type", "saveas"}, {"id", "b"}, {"b64", b64Of("%PDF-")}, {"name", "2024/05:report.pdf"}});
    d.post({{"type", "saveas"}, {"id", "c"}, {"b64", b64Of("%PDF-")}, {"name", ""}});
    EXPECT_TRUE(d.panels->saveRequests.empty());
    d.settle();
    ASSERT_EQ(d.panels->saveRequests.size(), 3u);
    EXPECT_EQ(d.panels->saveRequests[0].name, "document.pdf");
    EXPECT_EQ(d.panels->saveRequests[1].name, "2024-05-report.pdf");
    EXPECT_EQ(d.panels->saveRequests[2].name, "");
}

TEST(Dispatch, FilterSetsOrClearsTheNextFileInputChoice)
{
    Dispatch d;
    d.post({{"type", "filter"}, {"kind", "image"}});
    EXPECT_EQ(d.bridge->nextFilter, "image");
    d.post({{"type", "filter"}});
    EXPECT_EQ(d.bridge->nextFilter, "");
    d.post({{"type", "filter"}, {"kind", "pdf"}});
    d.post({{"type", "filter"}, {"kind", "pdf"}}, false);
    EXPECT_EQ(d.bridge->nextFilter, "pdf");
}

TEST(Dispatch, OpenShowsThePanelLaterAndIgnoresOtherKeys)
{
    Dispatch d;
    d.post({{"type", "open"}, {"path", "/etc/passwd"}});
    EXPECT_TRUE(d.panels->openRequests.empty());
    d.settle();
    ASSERT_EQ(d.panels->openRequests.size(), 1u);
    EXPECT_EQ(d.panels->openRequests[0].filter, FileFilter::Pdf);
    EXPECT_TRUE(d.view->probes.empty()) << "nothing was read";
}

TEST(Dispatch, OpenPathDeliversTheFileAtOnce)
{
    Dispatch d;
    const std::string file = d.dir.write("doc.pdf", "%PDF-");
    d.post({{"type", "openpath"}, {"path", file}});
    ASSERT_EQ(d.view->scripts.size(), 2u);  // the recent files, then the delivery
    EXPECT_EQ(d.view->scripts[1], "window.__nativeOpen(\"doc.pdf\", \"JVBERi0=\", " + nlohmann::json(file).dump() + ")");
}

TEST(Dispatch, PrintChecksTheDocumentBeforeQueueing)
{
    Dispatch d;
    d.post({{"type", "print"}, {"b64", b64Of("%PDF-1.4 ...")}});
    EXPECT_TRUE(d.printing->printed.empty());
    d.settle();
    ASSERT_EQ(d.printing->printed.size(), 1u);
    EXPECT_EQ(d.printing->printed[0].attachedTo, d.view.get());
}

TEST(Dispatch, OcrDefaultsToFrenchAndRepliesThroughTheQueue)
{
    Dispatch d;
    d.post({{"type", "ocr"}, {"id", "q\"1"}, {"b64", b64Of("image 10x20")}});
    d.post({{"type", "ocr"}, {"id", "q2"}, {"b64", b64Of("image 10x20")}, {"lang", "en"}});
    EXPECT_TRUE(d.view->scripts.empty());
    const auto scripts = d.settle();
    ASSERT_EQ(d.recognizer->seenLanguages.size(), 2u);
    EXPECT_EQ(d.recognizer->seenLanguages[0].front(), "fr-FR");
    EXPECT_EQ(d.recognizer->seenLanguages[1].front(), "en-US");
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(scripts[0], "window.__nativeOcrResult(" + NativeOCR::lit("q\"1") + ", " +
                              NativeOCR::lit(R"({"lines":[]})") + ")");

    JsEngine js;
    ASSERT_TRUE(js.run("var got = []; window = this; window.__nativeOcrResult = (id, doc) => got.push([id, doc]);"));
    ASSERT_TRUE(js.run(scripts[0]));
    EXPECT_EQ(js.evaluateString("got[0][0]"), "q\"1");
    EXPECT_EQ(js.evaluateString("got[0][1]"), R"({"lines":[]})");
}

TEST(Dispatch, OcrReplyIsDroppedWhenTheViewIsGone)
{
    Dispatch d;
    d.post({{"type", "ocr"}, {"id", "1"}, {"b64", "not base64!"}});
    d.bridge->web.reset();  // the window closed before the reply ran
    EXPECT_TRUE(d.settle().empty());
    d.bridge->web = d.view;
    d.post({{"type", "ocr"}, {"id", "2"}, {"b64", b64Of("image 1x1")}});
    d.workers->runAll();
    d.bridge.reset();  // and with the bridge gone too
    d.queue->drain();
    EXPECT_TRUE(d.view->scripts.empty());
}

}  // namespace
}  // namespace pw::testing
