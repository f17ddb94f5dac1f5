#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bridge/app_page.h"
#include "bridge/file_delivery.h"
#include "common/base64.h"
#include "common/language.h"
#include "platform/file_io.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/js_engine.h"

namespace pw {
namespace {

using testing::FakeWebView;

constexpr std::string_view notFoundFrench =
    R"(window.__nativeMsg("Fichier introuvable : il a peut-être été déplacé ou supprimé."))";
constexpr std::string_view notFoundEnglish =
    R"(window.__nativeMsg("File not found: it may have been moved or deleted."))";

std::vector<std::string> scriptsStartingWith(const FakeWebView& view, std::string_view prefix)
{
    std::vector<std::string> found;
    for (const auto& script : view.scripts)
        if (script.starts_with(prefix)) found.push_back(script);
    return found;
}

std::vector<std::string> deliveries(const FakeWebView& view)
{
    return scriptsStartingWith(view, "window.__nativeOpen(");
}

std::vector<std::string> messages(const FakeWebView& view)
{
    return scriptsStartingWith(view, "window.__nativeMsg(");
}

// Deliveries and messages, in the order the page received them.
std::vector<std::string> pageCalls(const FakeWebView& view)
{
    std::vector<std::string> found;
    for (const auto& script : view.scripts)
        if (!script.starts_with("window.__nativeRecent")) found.push_back(script);
    return found;
}

// The call as the page must receive it.
std::string expectedCall(const std::string& path, std::string_view contents)
{
    const std::string encoded = base64::encode(contents.data(), contents.size());
    return "window.__nativeOpen(" + nlohmann::json(lastPathComponent(path)).dump() + ", " +
           nlohmann::json(encoded).dump() + ", " + nlohmann::json(path).dump() + ")";
}

// The arguments of the first file handed to the page, as its function receives them.
std::vector<std::string> argumentsSeenByPage(const FakeWebView& view)
{
    for (const auto& call : view.calls)
        if (call.function == "window.__nativeOpen") {
            EXPECT_EQ(call.condition, appPageCondition);
            return call.arguments;
        }
    ADD_FAILURE() << "no file was handed to the page";
    return {};
}

std::vector<std::string> storedPaths(const Preferences& preferences)
{
    std::vector<std::string> paths;
    const auto stored = preferences.get(Bridge::recentKey);
    if (stored.is_array())
        for (const auto& entry : stored) paths.push_back(entry.value("path", ""));
    return paths;
}

class FileDelivery : public ::testing::Test, protected testing::BridgeFixture {
protected:
    void TearDown() override { setFrench(true); }
};

// The arguments as the page gets them, the text read back from where it was shared.
std::vector<std::string> texts(const std::vector<PageArgument>& arguments)
{
    std::vector<std::string> read;
    for (const auto& argument : arguments) {
        const auto* text = std::get_if<std::string>(&argument);
        read.push_back(text ? *text : std::get<SharedText>(argument).read().value());
    }
    return read;
}

TEST(NativeOpenArguments, AreTheNameTheSealedBase64AndThePath)
{
    auto arguments = nativeOpenArguments("a.pdf", "%PDF", 4, "/tmp/a.pdf");
    ASSERT_TRUE(arguments);
    EXPECT_EQ(texts(*arguments), (std::vector<std::string>{"a.pdf", "JVBERg==", "/tmp/a.pdf"}));
    ASSERT_TRUE(std::holds_alternative<SharedText>((*arguments)[1]));
    const auto& contents = std::get<SharedText>((*arguments)[1]);
    EXPECT_TRUE(contents.sealed());
    EXPECT_FALSE(const_cast<SharedText&>(contents).write(0, "X", 1)) << "a sealed text cannot change";
    EXPECT_EQ(texts(*nativeOpenArguments("", "", 0, "")), (std::vector<std::string>{"", "", ""}));
}

TEST(NativeOpenArguments, FallBackWhenNameOrPathIsNotUtf8)
{
    EXPECT_EQ(texts(*nativeOpenArguments("bad\xff.pdf", "%PDF", 4, "/tmp/bad\xff.pdf")),
              (std::vector<std::string>{"document.pdf", "JVBERg==", ""}));
}

TEST_F(FileDelivery, ReadyPageGetsTheFileAtOnce)
{
    const auto path = dir.write("a.pdf", "%PDF");
    bridge->openFile(path);

    ASSERT_EQ(view->probes, std::vector<std::string>{"typeof window.__nativeOpen === 'function'"});
    EXPECT_EQ(deliveries(*view), std::vector<std::string>{expectedCall(path, "%PDF")});
    EXPECT_EQ(queue->liveTimers(), 0);
}

TEST_F(FileDelivery, FileOpenedBeforeThePageIsReadyArrivesOnceWhenItIs)
{
    view->probeAnswer = false;
    const auto path = dir.write("early.pdf", "%PDF-1.7 early");
    bridge->openFile(path);
    queue->advance(0.5);
    queue->advance(0.5);
    EXPECT_EQ(view->probes.size(), 3u);
    EXPECT_TRUE(deliveries(*view).empty());

    view->probeAnswer = true;
    queue->advance(0.5);
    EXPECT_EQ(deliveries(*view), std::vector<std::string>{expectedCall(path, "%PDF-1.7 early")});

    // The page finishing its load flushes again; nothing is left to deliver.
    bridge->flush();
    queue->advance(30);
    EXPECT_EQ(deliveries(*view).size(), 1u);
    EXPECT_EQ(view->probes.size(), 4u);
    EXPECT_EQ(queue->liveTimers(), 0);
}

TEST_F(FileDelivery, ProbeErrorOrNonBooleanCountsAsNotReady)
{
    view->probeAnswer = std::nullopt;
    bridge->openFile(dir.write("a.pdf", "x"));
    EXPECT_TRUE(deliveries(*view).empty());
    EXPECT_EQ(queue->liveTimers(), 1);
}

TEST_F(FileDelivery, SeveralProbesInFlightDeliverEachFileOnceInOrder)
{
    view->holdProbes = true;
    const auto one = dir.write("one.pdf", "1");
    const auto two = dir.write("two.pdf", "22");
    const auto three = dir.write("three.pdf", "333");
    bridge->openFile(one);
    bridge->openFile(two);
    bridge->openFile(three);
    ASSERT_EQ(view->heldProbes.size(), 3u);

    view->answerProbes(true);
    queue->advance(5);
    EXPECT_EQ(deliveries(*view),
              (std::vector<std::string>{expectedCall(one, "1"), expectedCall(two, "22"), expectedCall(three, "333")}));
    EXPECT_EQ(queue->liveTimers(), 0);
}

TEST_F(FileDelivery, ProbesThatAllSayNotReadyDoNotMultiply)
{
    view->holdProbes = true;
    bridge->openFile(dir.write("one.pdf", "1"));
    bridge->openFile(dir.write("two.pdf", "2"));
    view->answerProbes(false);  // two retries, two timers

    // The first timer's flush stops the second: one probe per half second from here.
    for (int tick = 1; tick <= 5; ++tick) {
        queue->advance(0.5);
        EXPECT_EQ(view->heldProbes.size(), 1u) << "tick " << tick;
        view->answerProbes(false);
    }
    EXPECT_TRUE(deliveries(*view).empty());

    queue->advance(0.5);
    view->answerProbes(true);
    EXPECT_EQ(deliveries(*view).size(), 2u);
}

TEST_F(FileDelivery, PageThatNeverDefinesTheFunctionIsProbedEveryHalfSecondWithoutEnd)
{
    view->probeAnswer = false;
    bridge->openFile(dir.write("a.pdf", "%PDF"));
    for (int tick = 1; tick <= 2000; ++tick) {
        queue->advance(0.25);
        ASSERT_EQ(view->probes.size(), static_cast<std::size_t>(tick / 2 + 1)) << "at " << queue->now() << " s";
    }
    EXPECT_TRUE(deliveries(*view).empty());
    EXPECT_EQ(queue->liveTimers(), 1);

    view->probeAnswer = true;
    queue->advance(0.5);
    EXPECT_EQ(deliveries(*view).size(), 1u);
}

TEST_F(FileDelivery, MissingWebViewKeepsTheQueueAndRetries)
{
    bridge->web.reset();
    const auto path = dir.write("a.pdf", "%PDF");
    bridge->openFile(path);
    queue->advance(0.5);
    queue->advance(0.5);
    EXPECT_EQ(queue->liveTimers(), 1);
    EXPECT_TRUE(view->probes.empty());

    bridge->web = view;
    queue->advance(0.5);
    EXPECT_EQ(deliveries(*view), std::vector<std::string>{expectedCall(path, "%PDF")});
}

TEST_F(FileDelivery, DeliveriesGoToTheViewThatAnswered)
{
    view->holdProbes = true;
    bridge->openFile(dir.write("a.pdf", "%PDF"));
    auto other = std::make_shared<FakeWebView>();
    bridge->web = other;

    view->answerProbes(true);
    EXPECT_EQ(deliveries(*view).size(), 1u);
    EXPECT_TRUE(deliveries(*other).empty());
}

TEST_F(FileDelivery, ProbedViewGoneBeforeItAnswersKeepsTheFileQueued)
{
    view->holdProbes = true;
    bridge->openFile(dir.write("a.pdf", "%PDF"));
    auto answer = std::move(view->heldProbes.front());
    auto replacement = std::make_shared<FakeWebView>();
    bridge->web = replacement;
    view.reset();

    answer(true);
    queue->advance(0.5);
    EXPECT_EQ(deliveries(*replacement).size(), 1u);
}

TEST_F(FileDelivery, BridgeGoneBeforeTheProbeOrTimerAnswersDoesNothing)
{
    view->holdProbes = true;
    bridge->openFile(dir.write("a.pdf", "%PDF"));
    bridge.reset();
    view->answerProbes(true);
    EXPECT_TRUE(deliveries(*view).empty());
    queue->advance(5);
}

TEST_F(FileDelivery, UnreadableFileGivesOneMessageForgetsItAndQueuesNothing)
{
    const auto missing = dir.path() + "/gone.pdf";
    const auto folder = dir.path() + "/folder.pdf";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const auto kept = dir.write("kept.pdf", "k");
    bridge->remember(missing);
    bridge->remember(folder);
    bridge->remember(kept);

    setFrench(true);
    bridge->openFile(missing);
    EXPECT_EQ(messages(*view), std::vector<std::string>{std::string(notFoundFrench)});

    setFrench(false);
    bridge->openFile(folder);
    EXPECT_EQ(messages(*view), (std::vector<std::string>{std::string(notFoundFrench), std::string(notFoundEnglish)}));

    EXPECT_EQ(storedPaths(*preferences), std::vector<std::string>{kept});
    EXPECT_TRUE(deliveries(*view).empty());
    const auto probed = view->probes.size();
    queue->advance(5);
    EXPECT_EQ(view->probes.size(), probed);
    EXPECT_EQ(messages(*view).size(), 2u);
}

TEST_F(FileDelivery, UnreadableFileWithoutWebViewShowsNothingAndRetriesNothing)
{
    const auto missing = dir.path() + "/gone.pdf";
    bridge->remember(missing);
    bridge->web.reset();
    bridge->openFile(missing);

    EXPECT_TRUE(storedPaths(*preferences).empty());
    EXPECT_EQ(queue->liveTimers(), 0);
    bridge->web = view;
    queue->advance(5);
    EXPECT_TRUE(messages(*view).empty());
    EXPECT_TRUE(view->probes.empty());
}

TEST_F(FileDelivery, SuccessfulOpenIsRememberedHereAndOnTheDesktop)
{
    const auto path = dir.write("a.pdf", "%PDF");
    bridge->openFile(path);
    EXPECT_EQ(storedPaths(*preferences), std::vector<std::string>{path});
    EXPECT_EQ(workspace->desktopRecents, std::vector<std::string>{path});
    // The page's list is refreshed before the file is handed over.
    ASSERT_EQ(view->scripts.size(), 2u);
    EXPECT_TRUE(view->scripts[0].starts_with("window.__nativeRecent = "));
}

TEST_F(FileDelivery, EmptyFileIsDeliveredWithEmptyContents)
{
    const auto path = dir.write("empty.pdf", "");
    bridge->openFile(path);
    ASSERT_EQ(deliveries(*view).size(), 1u);
    EXPECT_EQ(argumentsSeenByPage(*view), (std::vector<std::string>{"empty.pdf", "", path}));
}

TEST_F(FileDelivery, FilesReadInPiecesArriveAsTheirWholeEncoding)
{
    // Sizes about the pieces the file is read in (768 KiB): padding may only come last.
    constexpr std::size_t piece = 3 * 256 * 1024;
    for (const std::size_t size : {std::size_t{1}, piece - 1, piece, piece + 1, 2 * piece + 2}) {
        std::string contents(size, '\0');
        for (std::size_t i = 0; i < size; ++i) contents[i] = static_cast<char>((i * 2654435761u) >> 13);
        const auto path = dir.write("piece" + std::to_string(size) + ".pdf", contents);
        view->scripts.clear();
        view->calls.clear();
        bridge->openFile(path);
        ASSERT_EQ(deliveries(*view).size(), 1u) << size;
        EXPECT_TRUE(deliveries(*view)[0] == expectedCall(path, contents)) << size;
    }
}

TEST_F(FileDelivery, RelativePathIsOpenedFromTheCurrentFolder)
{
    dir.write("rel.pdf", "%PDF");
    const std::string before = absolutePath(".");
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    bridge->openFile("rel.pdf");
    ASSERT_EQ(::chdir(before.c_str()), 0);

    ASSERT_EQ(deliveries(*view).size(), 1u);
    EXPECT_EQ(argumentsSeenByPage(*view)[2], dir.path() + "/rel.pdf");
}

TEST_F(FileDelivery, AwkwardNamesAndPathsReachThePageUnchanged)
{
    const std::string contents("%PDF\0\xff\n'\\x", 10);
    const auto path = dir.write("sub \"d\" \\ 'q'/l'\u00e9t\u00e9 \"x\"\\ a\nb \u65e5\u672c e\u0301 </script>.pdf",
                                contents);
    bridge->openFile(path);
    ASSERT_EQ(deliveries(*view).size(), 1u);

    const auto seen = argumentsSeenByPage(*view);
    EXPECT_EQ(seen[0], lastPathComponent(path));
    EXPECT_EQ(base64::decode(seen[1]), std::vector<std::uint8_t>(contents.begin(), contents.end()));
    EXPECT_EQ(seen[2], path);
}

TEST_F(FileDelivery, NameThatIsNotUtf8StillDeliversTheContents)
{
    const auto path = dir.write("bad\xff name.pdf", "%PDF");
    bridge->openFile(path);
    ASSERT_EQ(deliveries(*view).size(), 1u);
    EXPECT_EQ(argumentsSeenByPage(*view), (std::vector<std::string>{"document.pdf", "JVBERg==", ""}));
}

TEST_F(FileDelivery, PdfPanelAsksForPdfsOnlyAndSeveral)
{
    bridge->nextFilter = "image";
    bridge->pickPDFs();
    ASSERT_EQ(panels->openRequests.size(), 1u);
    EXPECT_EQ(panels->openRequests[0].filter, FileFilter::Pdf);
    EXPECT_TRUE(panels->openRequests[0].multiple);
}

TEST_F(FileDelivery, CancelledPdfPanelDoesNothing)
{
    bridge->pickPDFs();
    panels->answerOpen(std::nullopt);
    queue->advance(5);
    EXPECT_TRUE(view->scripts.empty());
    EXPECT_TRUE(view->probes.empty());
}

TEST_F(FileDelivery, ThreeChosenFilesArriveInOrderAndAMissingOneDoesNotStopTheOthers)
{
    view->probeAnswer = false;
    const auto one = dir.write("1.pdf", "one");
    const auto two = dir.write("2.pdf", "two");
    const auto three = dir.write("3.pdf", "three");
    bridge->pickPDFs();
    panels->answerOpen(std::vector<std::string>{one, dir.path() + "/vanished.pdf", two, three});
    // The page cannot show the message yet: it waits in line with the files.
    EXPECT_TRUE(messages(*view).empty());

    view->probeAnswer = true;
    queue->advance(0.5);
    EXPECT_EQ(pageCalls(*view), (std::vector<std::string>{expectedCall(one, "one"), std::string(notFoundFrench),
                                                          expectedCall(two, "two"), expectedCall(three, "three")}));
    EXPECT_EQ(queue->liveTimers(), 0);
}

TEST_F(FileDelivery, TooLargeFileIsNeitherReadNorRememberedAndThePageIsToldWhy)
{
    // Sparse: no disk is spent, and a read would cost the memory the test is about.
    const auto kept = dir.write("kept.pdf", "k");
    const auto big = dir.write("big \xff.pdf", "");
    const auto huge = dir.write("huge.pdf", "");
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(maxOpenedFileSize) + 1), 0);
    ASSERT_EQ(::truncate(huge.c_str(), off_t{8} << 40), 0);
    bridge->remember(huge);
    bridge->remember(kept);

    setFrench(false);
    bridge->openFile(huge);
    setFrench(true);
    bridge->openFile(big);

    EXPECT_TRUE(deliveries(*view).empty());
    EXPECT_EQ(storedPaths(*preferences), (std::vector<std::string>{kept, huge}));
    testing::JsEngine js;
    ASSERT_TRUE(js.run("var window = globalThis; var shown = [];"
                       "window.__nativeMsg = function (t) { shown.push(t); };"));
    for (const auto& message : messages(*view)) ASSERT_TRUE(js.run(message)) << js.lastError();
    EXPECT_EQ(js.evaluateString("shown[0]"), "\u201chuge.pdf\u201d is too large to open (over 1 GiB).");
    EXPECT_EQ(js.evaluateString("shown[1]"),
              "Le fichier \u00ab\u00a0big \ufffd.pdf\u00a0\u00bb est trop volumineux pour être ouvert (plus de "
              "1\u00a0Gio).");
}

TEST_F(FileDelivery, PdfPanelAnsweringAfterTheBridgeIsGoneDoesNothing)
{
    bridge->pickPDFs();
    bridge.reset();
    panels->answerOpen(std::vector<std::string>{dir.write("a.pdf", "%PDF")});
    EXPECT_TRUE(view->scripts.empty());
    EXPECT_TRUE(view->probes.empty());
}

}  // namespace
}  // namespace pw
