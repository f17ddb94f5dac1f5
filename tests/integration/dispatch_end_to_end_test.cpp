#include <gtest/gtest.h>

#include <cairo-pdf.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/base64.h"
#include "common/language.h"
#include "ocr/native_ocr.h"
#include "platform/thread_pool.h"
#include "tests/fakes/fake_text_recognition.h"
#include "tests/fakes/file_checks.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// A page that posts what the test tells it to and keeps every reply the shell sends,
// in arrival order, as JSON text the test can read back.
constexpr const char* recordingPage = R"page(<!doctype html><html><head><meta charset="utf-8"><script>
  window.replies = [];
  const keep = (...call) => window.replies.push(call);
  window.__nativeResult = (id, ok, path, msg) => keep('result', id, ok, path, msg);
  window.__nativeMsg = (text) => keep('msg', text);
  window.__nativeOpen = (name, b64, path) => keep('open', name, b64, path);
  window.__nativeOcrResult = (id, doc) => keep('ocr', id, doc);
  window.post = (body) => window.webkit.messageHandlers.pagewick.postMessage(body);
  window.picked = [];
</script></head><body>
<input type="file" id="pick" onchange="window.picked = Array.from(this.files, f => f.name)">
</body></html>)page";

std::string b64Of(std::string_view bytes)
{
    return base64::encode(bytes.data(), bytes.size());
}

// A one-page PDF drawn by cairo: real bytes that a PDF reader accepts.
std::string smallPdf()
{
    std::string bytes;
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
        +[](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes, 200, 100);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, 10, 10, 50, 50);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return bytes;
}

// A JavaScript string literal for text without quotes, backslashes or line breaks.
std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

class DispatchEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        shell.workspace->temporary = files.path() + "/tmp";
        shell.web.write("index.html", recordingPage);
        shell.launchAndWait();
        ASSERT_TRUE(shell.waitForScript("typeof window.post === 'function'"));
    }

    void post(const std::string& body) { ASSERT_TRUE(shell.evaluate("window.post(" + body + "); true")); }

    int replyCount() const
    {
        const auto count = shell.evaluate("window.replies.length");
        return count ? std::stoi(*count) : -1;
    }
    bool waitForReplies(int count) const
    {
        return waitUntil([&] { return replyCount() >= count; });
    }
    // Reply i as JSON, e.g. ["result","7",true,"/tmp/x.pdf",""].
    std::string reply(int i) const { return shell.evaluate("JSON.stringify(window.replies[" + std::to_string(i) + "])").value_or(""); }

    static std::string json(const nlohmann::json& value) { return value.dump(); }

    ShellHarness shell;
    TempDir files;
};

TEST_F(DispatchEndToEnd, SaveAndShareWriteTheDecodedBytesWithoutAReply)
{
    post("{type: 'save', name: '2024/05:report.pdf', b64: btoa('%PDF-saved')}");
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->pendingSaves.empty(); }));
    EXPECT_EQ(shell.panels->saveRequests.back().name, "2024-05-report.pdf");
    EXPECT_EQ(shell.panels->saveRequests.back().filter, FileFilter::Pdf);
    const std::string target = files.path() + "/saved.pdf";
    shell.panels->answerSave(target);
    EXPECT_EQ(TempDir::read(target), "%PDF-saved");

    post("{type: 'share', name: 'shared.pdf', b64: btoa('%PDF-shared')}");
    ASSERT_TRUE(waitUntil([&] { return !shell.workspace->shared.empty(); }));
    const auto& shared = shell.workspace->shared.back();
    const std::filesystem::path sharedPath(shared.path);
    EXPECT_EQ(sharedPath.filename().string(), "shared.pdf");
    EXPECT_EQ(sharedPath.parent_path().parent_path().string(), shell.workspace->temporary);
    EXPECT_EQ(sharedPath.parent_path().filename().string().size(), 36u) << "a UUID folder";
    EXPECT_EQ(TempDir::read(shared.path), "%PDF-shared");

    spin(0.3);
    EXPECT_EQ(replyCount(), 0);
}

TEST_F(DispatchEndToEnd, OpenDeliversEveryChosenFileInOrderAndOpenPathReportsAMissingFile)
{
    const std::string first = files.write("first.pdf", "%PDF-1");
    const std::string second = files.write("second.pdf", "%PDF-22");
    post("{type: 'open'}");
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->pendingOpens.empty(); }));
    EXPECT_EQ(shell.panels->openRequests.back().filter, FileFilter::Pdf);
    EXPECT_TRUE(shell.panels->openRequests.back().multiple);
    shell.panels->answerOpen(std::vector<std::string>{first, second});
    ASSERT_TRUE(waitForReplies(2));
    EXPECT_EQ(reply(0), json({"open", "first.pdf", b64Of("%PDF-1"), first}));
    EXPECT_EQ(reply(1), json({"open", "second.pdf", b64Of("%PDF-22"), second}));

    post("{type: 'openpath', path: " + quoted(second) + "}");
    post("{type: 'openpath', path: " + quoted(files.path() + "/gone.pdf") + "}");
    ASSERT_TRUE(waitForReplies(4));
    EXPECT_EQ(reply(2), json({"open", "second.pdf", b64Of("%PDF-22"), second}));
    EXPECT_EQ(reply(3), json({"msg", tr("Fichier introuvable : il a peut-être été déplacé ou supprimé.",
                                        "File not found: it may have been moved or deleted.")}));
}

TEST_F(DispatchEndToEnd, FilterChoosesThePanelOfThePagesNextFileInput)
{
    post("{type: 'filter', kind: 'pdf'}");
    ASSERT_TRUE(waitUntil([&] { return shell.bridge->nextFilter == "pdf"; }));

    // A script run from the shell counts as a user gesture, so the input opens.
    shell.evaluate("document.getElementById('pick').click(); true");
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->pendingOpens.empty(); }));
    EXPECT_EQ(shell.panels->openRequests.back().filter, FileFilter::Pdf);
    EXPECT_EQ(shell.bridge->nextFilter, "") << "the choice covers one input only";

    const std::string chosen = files.write("picked.pdf", "%PDF-picked");
    shell.panels->answerOpen(std::vector<std::string>{chosen});
    EXPECT_TRUE(shell.waitForScript("window.picked.length === 1"));
    EXPECT_EQ(shell.evaluate("window.picked[0]"), "picked.pdf");
    EXPECT_EQ(replyCount(), 0) << "the file goes to the input, not through __nativeOpen";
}

TEST_F(DispatchEndToEnd, SavePathAndSaveAsAnswerWithTheirIds)
{
    const std::string direct = files.path() + "/direct.pdf";
    post("{type: 'savepath', id: 'sp', path: " + quoted(direct) + ", b64: btoa('%PDF-direct')}");
    ASSERT_TRUE(waitForReplies(1));
    EXPECT_EQ(TempDir::read(direct), "%PDF-direct");
    EXPECT_EQ(reply(0), json({"result", "sp", true, direct, ""}));

    const std::string beside = files.write("docs/current.pdf", "%PDF-");
    post("{type: 'saveas', id: 'sa', b64: btoa('%PDF-chosen'), name: '2024/05:report.pdf', dir: " + quoted(beside) + "}");
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->pendingSaves.empty(); }));
    EXPECT_EQ(shell.panels->saveRequests.back().name, "2024-05-report.pdf");
    EXPECT_EQ(shell.panels->saveRequests.back().directory, files.path() + "/docs");
    const std::string chosen = files.path() + "/chosen.pdf";
    shell.panels->answerSave(chosen);
    ASSERT_TRUE(waitForReplies(2));
    EXPECT_EQ(TempDir::read(chosen), "%PDF-chosen");
    EXPECT_EQ(reply(1), json({"result", "sa", true, chosen, ""}));

    post("{type: 'saveas', id: 'no', b64: btoa('%PDF-dropped')}");
    ASSERT_TRUE(waitUntil([&] { return !shell.panels->pendingSaves.empty(); }));
    EXPECT_EQ(shell.panels->saveRequests.back().name, "document.pdf");
    shell.panels->answerSave(std::nullopt);
    ASSERT_TRUE(waitForReplies(3));
    EXPECT_EQ(reply(2), json({"result", "no", false, "", "cancel"}));
}

TEST_F(DispatchEndToEnd, PrintQueuesAJobForARealPdf)
{
    const std::string pdf = smallPdf();
    ASSERT_EQ(pdf.rfind("%PDF-", 0), 0u);
    post("{type: 'print', b64: '" + b64Of(pdf) + "'}");
    ASSERT_TRUE(waitUntil([&] { return !shell.printing->printed.empty(); }));
    EXPECT_EQ(shell.printing->printed.back().attachedTo, &shell.view());
    spin(0.3);
    EXPECT_EQ(replyCount(), 0);
}

TEST_F(DispatchEndToEnd, OcrWithoutLanguageIsFrenchFirstAndAnswersWithTheLiteralId)
{
    auto decoder = std::make_shared<FakeImageDecoder>();
    auto recognizer = std::make_shared<FakeRecognizer>();
    NativeOCR::install({decoder, recognizer, std::make_shared<ThreadPool>(1)});

    // The id holds quotes, a backslash and a line break; it comes back unchanged.
    post(R"({type: 'ocr', id: 'a"b\'c\\d\ne', b64: btoa('image 40x30')})");
    ASSERT_TRUE(waitForReplies(1));
    EXPECT_EQ(reply(0), json({"ocr", "a\"b'c\\d\ne", R"({"lines":[]})"}));
    {
        std::lock_guard lock(recognizer->mutex);
        ASSERT_EQ(recognizer->seenLanguages.size(), 1u);
        EXPECT_EQ(recognizer->seenLanguages[0].front(), "fr-FR");
        EXPECT_EQ(recognizer->seenSizes[0], std::make_pair(40, 30));
    }
    NativeOCR::install({});
}

TEST_F(DispatchEndToEnd, MalformedBodiesGetNoReplyAndWriteNothing)
{
    const std::string out = files.path() + "/out";
    std::filesystem::create_directories(out);
    const std::string target = out + "/target.pdf";
    const std::string valid = "{type: 'savepath', id: 'x', path: " + quoted(target) + ", b64: btoa('%PDF-')}";
    const std::string png = b64Of(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const std::string existing = files.write("existing.pdf", "%PDF-");

    post("JSON.stringify(" + valid + ")");
    post("[" + valid + "]");
    post("null");
    post("42");
    post("{type: 'savepath', id: 7, path: " + quoted(target) + ", b64: btoa('%PDF-')}");
    post("{type: 'savepath', id: 'x', path: 7, b64: btoa('%PDF-')}");
    post("{type: 'savepath', id: 'x', path: " + quoted(target) + ", b64: 7}");
    post("{type: 'saveas', id: 7, b64: btoa('%PDF-')}");
    post("{type: 'ocr', id: 7, b64: btoa('image 1x1')}");
    post("{type: 'Save', name: 'a.pdf', b64: btoa('%PDF-')}");
    post("{type: 'SavePath', id: 'x', path: " + quoted(target) + ", b64: btoa('%PDF-')}");
    post("{type: 'savepath', id: 'x', path: " + quoted(target) + ", b64: 'JVBE Rg=='}");
    post("{type: 'saveas', id: 'x', b64: 'JVBERg==\\n'}");
    post("{type: 'print', b64: '" + png + "'}");
    post("{type: ['savepath'], id: 'x', path: " + quoted(target) + ", b64: btoa('%PDF-')}");
    // Keys a kind does not read are ignored: this opens the PDF panel and reads nothing.
    post("{type: 'open', path: " + quoted(existing) + "}");
    // Messages are handled in order, so this reply comes after all of the above.
    const std::string last = files.path() + "/last.pdf";
    post("{type: 'savepath', id: 'last', path: " + quoted(last) + ", b64: btoa('%PDF-last')}");

    ASSERT_TRUE(waitForReplies(1));
    EXPECT_EQ(reply(0), json({"result", "last", true, last, ""}));
    ASSERT_EQ(shell.panels->pendingOpens.size(), 1u);
    EXPECT_EQ(shell.panels->openRequests.back().filter, FileFilter::Pdf);
    shell.panels->answerOpen(std::nullopt);
    spin(0.3);
    EXPECT_EQ(replyCount(), 1);
    EXPECT_TRUE(namesIn(out).empty());
    EXPECT_TRUE(shell.panels->saveRequests.empty());
    EXPECT_TRUE(shell.printing->printed.empty());
    EXPECT_TRUE(shell.workspace->shared.empty());
}

}  // namespace
}  // namespace pw::testing
