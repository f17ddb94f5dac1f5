#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/safe_file_name.h"
#include "common/base64.h"
#include "common/language.h"
#include "ocr/native_ocr.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/file_checks.h"

namespace pw {
namespace {

using testing::BridgeFixture;
using testing::FileSizeLimit;
using testing::namesIn;
using testing::TempDir;
namespace fs = std::filesystem;

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string b64(const std::string& text)
{
    return base64::encode(text.data(), text.size());
}

std::string reply(const std::string& id, bool ok, const std::string& path, const std::string& msg)
{
    return "window.__nativeResult(" + NativeOCR::lit(id) + ", " + (ok ? "true" : "false") + ", " +
           NativeOCR::lit(path) + ", " + NativeOCR::lit(msg) + ")";
}

// The result calls evaluated on the page (remembering a file refreshes the page's
// recent list through scripts of its own).
std::vector<std::string> replies(const testing::FakeWebView& view)
{
    std::vector<std::string> found;
    for (const auto& script : view.scripts)
        if (script.starts_with("window.__nativeResult(")) found.push_back(script);
    return found;
}

std::vector<std::string> recentPaths(const Bridge& bridge)
{
    std::vector<std::string> paths;
    for (const auto& entry : bridge.recents()) paths.push_back(entry.value("path", ""));
    return paths;
}

class Saving : public ::testing::Test {
protected:
    void SetUp() override { setFrench(false); }
    void TearDown() override { setFrench(false); }

    BridgeFixture f;
    TempDir out;
};

TEST(SafeFileName, ReplacesSlashesAndColonsOnly)
{
    EXPECT_EQ(safeFileName("report/2024:final.pdf"), "report-2024-final.pdf");
    EXPECT_EQ(safeFileName("2024/05:report.pdf"), "2024-05-report.pdf");
    EXPECT_EQ(safeFileName(" a\\b*?.PDF "), " a\\b*?.PDF ");
    EXPECT_EQ(safeFileName("//::"), "----");
    EXPECT_EQ(safeFileName(""), "");
}

TEST_F(Saving, SavePanelProposesTheSafeNameAndTheTypeByExtension)
{
    struct Case {
        std::string name, proposed;
        FileFilter filter;
    };
    const Case cases[] = {
        {"report/2024:final.pdf", "report-2024-final.pdf", FileFilter::Pdf},
        {"", "document.pdf", FileFilter::Pdf},
        {"pages.zip", "pages.zip", FileFilter::Zip},
        {"PAGES.ZIP", "PAGES.ZIP", FileFilter::Zip},
        {"pages.Zip", "pages.Zip", FileFilter::Zip},
        {"a/b.zip", "a-b.zip", FileFilter::Zip},
        {"pages.zipx", "pages.zipx", FileFilter::Pdf},
        {"zip", "zip", FileFilter::Pdf},
        {"scan.png", "scan.png", FileFilter::Pdf},
    };
    for (const auto& c : cases) f.bridge->save(c.name, b64("x"), false);

    ASSERT_EQ(f.panels->saveRequests.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& request = f.panels->saveRequests[i];
        EXPECT_EQ(request.name, cases[i].proposed) << cases[i].name;
        EXPECT_EQ(request.filter, cases[i].filter) << cases[i].name;
        EXPECT_TRUE(request.canCreateFolders);
        EXPECT_EQ(request.message, "");
        EXPECT_EQ(request.directory, std::nullopt);
    }
}

TEST_F(Saving, SaveOrShareWithBadBase64DoesNothing)
{
    f.bridge->save("a.pdf", "QUJD RA==", false);
    f.bridge->save("a.pdf", "QUJDRA=", true);
    EXPECT_TRUE(f.panels->saveRequests.empty());
    EXPECT_TRUE(f.workspace->shared.empty());
    EXPECT_EQ(f.queue->postedCount(), 0u);
}

TEST_F(Saving, SavePanelWritesTheBytesAndTellsThePageNothing)
{
    const std::string path = out.write("old.pdf", "an older and longer content");
    f.bridge->save("a.pdf", b64("%PDF-1.7 new"), false);
    f.panels->answerSave(path);

    EXPECT_EQ(TempDir::read(path), "%PDF-1.7 new");
    EXPECT_TRUE(f.panels->alerts.empty());
    EXPECT_EQ(f.queue->drain(), 0);
    EXPECT_TRUE(f.view->scripts.empty());
    EXPECT_TRUE(recentPaths(*f.bridge).empty());
}

TEST_F(Saving, SavePanelCancelledDoesNothing)
{
    f.bridge->save("a.pdf", b64("x"), false);
    f.panels->answerSave(std::nullopt);
    EXPECT_TRUE(f.panels->alerts.empty());
    EXPECT_EQ(f.queue->drain(), 0);
}

TEST_F(Saving, SavePanelWriteFailureShowsAnAlertInEitherLanguage)
{
    for (bool french : {false, true}) {
        setFrench(french);
        f.bridge->save("a.pdf", b64("x"), false);
        f.panels->answerSave(out.path() + "/missing/a.pdf");
    }
    ASSERT_EQ(f.panels->alerts.size(), 2u);
    EXPECT_EQ(f.panels->alerts[0].message, "Could not save");
    EXPECT_EQ(f.panels->alerts[0].info, std::strerror(ENOENT));
    EXPECT_EQ(f.panels->alerts[1].message, "Enregistrement impossible");
    EXPECT_EQ(f.queue->drain(), 0);
    EXPECT_TRUE(f.view->scripts.empty());
}

TEST_F(Saving, SavePanelWriteThatFailsPartWayLeavesTheChosenFileAsItWas)
{
    const std::string path = out.write("kept.pdf", "the user's earlier document");
    f.bridge->save("a.pdf", b64(std::string(256 * 1024, 'n')), false);
    {
        FileSizeLimit limit(64 * 1024);
        f.panels->answerSave(path);
    }
    ASSERT_EQ(f.panels->alerts.size(), 1u);
    EXPECT_EQ(f.panels->alerts[0].info, std::strerror(EFBIG));
    EXPECT_EQ(TempDir::read(path), "the user's earlier document");
    EXPECT_EQ(namesIn(out.path()), std::vector<std::string>{"kept.pdf"});
}

TEST_F(Saving, ShareWritesAFreshCopyPerRequestAndOffersIt)
{
    f.workspace->temporary = out.path();
    f.bridge->save("report/2024:final.pdf", b64("first"), true);
    f.bridge->save("report/2024:final.pdf", b64("second"), true);

    ASSERT_EQ(f.workspace->shared.size(), 2u);
    const auto& first = f.workspace->shared[0];
    const auto& second = f.workspace->shared[1];
    EXPECT_EQ(fs::path(first.path).filename(), "report-2024-final.pdf");
    EXPECT_EQ(fs::path(first.path).parent_path().parent_path(), out.path());
    EXPECT_NE(fs::path(first.path).parent_path(), fs::path(second.path).parent_path());
    EXPECT_EQ(TempDir::read(first.path), "first");
    EXPECT_EQ(TempDir::read(second.path), "second");
    EXPECT_TRUE(f.panels->saveRequests.empty());
    EXPECT_EQ(f.queue->drain(), 0);
}

TEST_F(Saving, ShareCopyIsReadableByTheUserAloneWhateverTheUmask)
{
    f.workspace->temporary = out.path() + "/tmp";
    const mode_t before = ::umask(0);
    f.bridge->save("a.pdf", b64("private"), true);
    ::umask(before);

    ASSERT_EQ(f.workspace->shared.size(), 1u);
    const fs::path copy = f.workspace->shared[0].path;
    EXPECT_EQ(fs::status(copy.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(copy).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(TempDir::read(copy), "private");
}

TEST_F(Saving, ShareWithoutAWebViewStillWritesTheCopy)
{
    f.workspace->temporary = out.path();
    f.bridge->web.reset();
    f.bridge->save("", b64("bytes"), true);

    EXPECT_TRUE(f.workspace->shared.empty());
    const auto folders = namesIn(out.path());
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(TempDir::read(out.path() + "/" + folders[0] + "/document.pdf"), "bytes");
}

TEST_F(Saving, ShareThatCannotWriteOffersNothingAndLeavesNothing)
{
    // The temporary folder is a file: no folder can be made in it.
    f.workspace->temporary = out.write("not-a-folder", "");
    f.bridge->save("a.pdf", b64("x"), true);
    EXPECT_TRUE(f.workspace->shared.empty());

    f.workspace->temporary = out.path() + "/tmp";
    fs::create_directory(f.workspace->temporary);
    {
        FileSizeLimit limit(64 * 1024);
        f.bridge->save("a.pdf", b64(std::string(256 * 1024, 'x')), true);
    }
    EXPECT_TRUE(f.workspace->shared.empty());
    EXPECT_TRUE(namesIn(f.workspace->temporary).empty());
}

TEST_F(Saving, SaveToPathWritesRemembersThenReplies)
{
    const std::string path = out.path() + "/out.pdf";
    f.bridge->saveToPath("id-1", path, bytesOf("%PDF-1.7"));

    EXPECT_EQ(TempDir::read(path), "%PDF-1.7");
    // Remembered at once; the reply is only queued.
    EXPECT_EQ(recentPaths(*f.bridge), std::vector<std::string>{path});
    EXPECT_EQ(f.queue->postedCount(), 1u);
    f.queue->drain();
    ASSERT_EQ(replies(*f.view).size(), 1u);
    EXPECT_EQ(replies(*f.view).back(), reply("id-1", true, path, ""));
}

TEST_F(Saving, SaveToPathRepliesWithThePathAsThePageSentIt)
{
    const std::string sent = out.path() + "//sub/../out.pdf";
    fs::create_directory(out.path() + "/sub");
    f.bridge->saveToPath("7", sent, bytesOf("x"));
    f.queue->drain();
    EXPECT_EQ(TempDir::read(out.path() + "/out.pdf"), "x");
    EXPECT_EQ(replies(*f.view).back(), reply("7", true, sent, ""));
}

TEST_F(Saving, SaveToPathFailureRepliesTheFailureTextInEitherLanguage)
{
    const std::string path = out.path() + "/no such folder/out.pdf";
    f.bridge->saveToPath("a", path, bytesOf("x"));
    setFrench(true);
    f.bridge->saveToPath("b", path, bytesOf("x"));
    f.queue->drain();

    const std::string description = std::strerror(ENOENT);
    ASSERT_EQ(replies(*f.view).size(), 2u);
    EXPECT_EQ(replies(*f.view)[0], reply("a", false, "", "Could not save: " + description));
    EXPECT_EQ(replies(*f.view)[1], reply("b", false, "", "Enregistrement impossible : " + description));
    EXPECT_TRUE(recentPaths(*f.bridge).empty());
    EXPECT_FALSE(fs::exists(out.path() + "/no such folder"));
}

TEST_F(Saving, SaveAsPanelOffersPdfWithThePromptAndTheStartFolder)
{
    f.workspace->documents = "/home/someone/Documents";
    f.bridge->saveAs("pages.zip", "/data/books/novel.pdf", "1", bytesOf("x"));
    f.bridge->saveAs("", "", "2", bytesOf("x"));
    setFrench(true);
    f.workspace->documents.reset();
    f.bridge->saveAs("a.pdf", "", "3", bytesOf("x"));

    ASSERT_EQ(f.panels->saveRequests.size(), 3u);
    const auto& first = f.panels->saveRequests[0];
    EXPECT_EQ(first.name, "pages.zip");
    EXPECT_EQ(first.filter, FileFilter::Pdf);
    EXPECT_TRUE(first.canCreateFolders);
    EXPECT_EQ(first.message, "Choose the folder and file name");
    EXPECT_EQ(first.directory, "/data/books");
    EXPECT_EQ(f.panels->saveRequests[1].name, "");
    EXPECT_EQ(f.panels->saveRequests[1].directory, "/home/someone/Documents");
    EXPECT_EQ(f.panels->saveRequests[2].message, "Choisissez le dossier et le nom du fichier");
    EXPECT_EQ(f.panels->saveRequests[2].directory, std::nullopt);
}

TEST_F(Saving, SaveAsWritesRemembersThenReplies)
{
    const std::string path = out.path() + "/chosen.pdf";
    f.bridge->saveAs("a.pdf", "", "id", bytesOf("%PDF"));
    f.panels->answerSave(path);

    EXPECT_EQ(TempDir::read(path), "%PDF");
    EXPECT_EQ(recentPaths(*f.bridge), std::vector<std::string>{path});
    EXPECT_EQ(f.queue->postedCount(), 1u);
    f.queue->drain();
    EXPECT_EQ(replies(*f.view).back(), reply("id", true, path, ""));
}

TEST_F(Saving, SaveAsCancelledRepliesCancelUntranslated)
{
    for (bool french : {false, true}) {
        setFrench(french);
        f.bridge->saveAs("a.pdf", "", "c", bytesOf("x"));
        f.panels->answerSave(std::nullopt);
    }
    f.queue->drain();
    ASSERT_EQ(replies(*f.view).size(), 2u);
    EXPECT_EQ(replies(*f.view)[0], reply("c", false, "", "cancel"));
    EXPECT_EQ(replies(*f.view)[1], reply("c", false, "", "cancel"));
}

TEST_F(Saving, SaveAsFailureRepliesTheFailureTextAndRemembersNothing)
{
    setFrench(true);
    f.bridge->saveAs("a.pdf", "", "q\"uote", bytesOf("x"));
    f.panels->answerSave(out.path() + "/gone/a.pdf");
    f.queue->drain();
    EXPECT_EQ(replies(*f.view).back(),
              reply("q\"uote", false, "", std::string("Enregistrement impossible : ") + std::strerror(ENOENT)));
    EXPECT_TRUE(recentPaths(*f.bridge).empty());
}

TEST_F(Saving, SaveAsPanelsOpenTogetherCompleteEachOnItsOwn)
{
    f.bridge->saveAs("a.pdf", "", "first", bytesOf("one"));
    f.bridge->saveAs("b.pdf", "", "second", bytesOf("two"));
    f.panels->answerSave(out.path() + "/one.pdf");
    f.panels->answerSave(out.path() + "/two.pdf");
    f.queue->drain();

    EXPECT_EQ(TempDir::read(out.path() + "/one.pdf"), "one");
    EXPECT_EQ(TempDir::read(out.path() + "/two.pdf"), "two");
    ASSERT_EQ(replies(*f.view).size(), 2u);
    EXPECT_EQ(replies(*f.view)[0], reply("first", true, out.path() + "/one.pdf", ""));
    EXPECT_EQ(replies(*f.view)[1], reply("second", true, out.path() + "/two.pdf", ""));
}

TEST_F(Saving, SaveAsAfterTheBridgeIsGoneStillWritesButNeitherRemembersNorReplies)
{
    f.bridge->saveAs("a.pdf", "", "id", bytesOf("late"));
    std::weak_ptr<Bridge> gone = f.bridge;
    f.bridge.reset();
    ASSERT_TRUE(gone.expired());
    f.panels->answerSave(out.path() + "/late.pdf");

    EXPECT_EQ(TempDir::read(out.path() + "/late.pdf"), "late");
    EXPECT_EQ(f.queue->drain(), 0);
    EXPECT_TRUE(f.view->scripts.empty());
}

TEST_F(Saving, PrintAttachesToTheWindowOnlyWhenTheViewIsInOne)
{
    auto document = f.printing->makeDocument(bytesOf("%PDF-1.4"));
    ASSERT_TRUE(document);

    f.bridge->printPDF(document);
    f.view->inWindow = false;
    f.bridge->printPDF(document);
    f.bridge->web.reset();
    f.bridge->printPDF(document);
    f.bridge->printPDF(nullptr);

    ASSERT_EQ(f.printing->printed.size(), 3u);
    EXPECT_EQ(f.printing->printed[0].attachedTo, f.view.get());
    EXPECT_EQ(f.printing->printed[1].attachedTo, nullptr);
    EXPECT_EQ(f.printing->printed[2].attachedTo, nullptr);
    for (const auto& job : f.printing->printed) EXPECT_EQ(job.document, document);
    EXPECT_EQ(f.queue->drain(), 0);
}

}  // namespace
}  // namespace pw
