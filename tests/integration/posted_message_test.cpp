// File-sized posts of the page: with the web process's extension they leave WebKit's
// route for a memory file, without it they take that route; either way the shell must
// get the same messages, in the order they were posted, and judge them the same.

#include <gio/gunixfdlist.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/base64.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/posted_message.h"
#include "platform/gtk/web_process/web_process_messages.h"
#include "platform/shared_text.h"
#include "tests/fakes/file_checks.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

using gtk::GObjectPtr;
using gtk::GVariantPtr;

// Keeps every reply; makes file-sized pseudo-random bytes the test can make too.
constexpr const char* postingPage = R"page(<!doctype html><meta charset="utf-8"><script>
  window.replies = [];
  window.__nativeResult = (id, ok, path, msg) => window.replies.push([id, ok, msg]);
  window.post = (body) => window.webkit.messageHandlers.pagewick.postMessage(body);
  window.bytes = (n) => {
    const b = new Uint8Array(n);
    let x = 7;
    for (let i = 0; i < n; i++) { x = (Math.imul(x, 1103515245) + 12345) >>> 0; b[i] = x >>> 24; }
    return b;
  };
</script>)page";

std::string bytes(std::size_t n)
{
    std::string b(n, '\0');
    std::uint32_t x = 7;
    for (auto& c : b) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return b;
}

std::string savePath(const std::string& id, const std::string& path, const std::string& b64)
{
    return "post({type: 'savepath', id: '" + id + "', path: '" + path + "', b64: " + b64 + "}); true";
}

// Posts, in one script: a file-sized save (its last piece a short one); one whose text
// is not Base64, one whose only fault is padding just where the extension cuts it into
// pieces, and one whose padding bits are not zero (all dropped); a small one;
// one posted past the shell's wrapper, without its token (dropped); another file-sized
// one. Only the good saves are written and answered, in their order.
void expectTheSameMessagesInTheirOrder(ShellHarness& shell)
{
    TempDir files;
    shell.web.write("index.html", postingPage);
    shell.launchAndWait();
    ASSERT_TRUE(shell.waitForScript("typeof window.post === 'function'"));
    const std::string large = files.path() + "/large.pdf", small = files.path() + "/small.pdf",
                      bad = files.path() + "/bad.pdf", bare = files.path() + "/bare.pdf",
                      last = files.path() + "/last.pdf", cut = files.path() + "/cut.pdf",
                      bits = files.path() + "/bits.pdf";
    const std::size_t first = gtk::postedPieceLength, length = 2 * first;
    ASSERT_TRUE(shell.evaluate(
        savePath("1", large, "bytes((3 << 20) + 2).toBase64()") + ";" +
        savePath("2", bad, "bytes(3 << 20).toBase64().replace('A', ' ')") + ";" +
        savePath("2b", cut, "'A'.repeat(" + std::to_string(first - 4) + ") + 'QQ==' + 'A'.repeat(" +
                                std::to_string(length - first) + ")") + ";" +
        savePath("2c", bits, "'A'.repeat(" + std::to_string(length - 4) + ") + 'QR=='") + ";" +
        savePath("3", small, "btoa('%PDF-small')") + ";" +
        "const h = window.webkit.messageHandlers.pagewick;"
        "Object.getPrototypeOf(h).postMessage.call(h, {type: 'savepath', id: '4', path: '" + bare +
        "', b64: bytes(1 << 20).toBase64()}); " + savePath("5", last, "bytes(1 << 20).toBase64()")));

    ASSERT_TRUE(shell.waitForScript("window.replies.length === 3", 30));
    spin(0.3);
    EXPECT_EQ(shell.evaluate("JSON.stringify(window.replies)"), R"([["1",true,""],["3",true,""],["5",true,""]])");
    EXPECT_TRUE(TempDir::read(large) == bytes((3 << 20) + 2));
    EXPECT_EQ(TempDir::read(small), "%PDF-small");
    EXPECT_TRUE(TempDir::read(last) == bytes(1 << 20));
    EXPECT_FALSE(std::filesystem::exists(bad));
    EXPECT_FALSE(std::filesystem::exists(cut)) << "padding inside the text";
    EXPECT_FALSE(std::filesystem::exists(bits)) << "padding bits that are not zero";
    EXPECT_FALSE(std::filesystem::exists(bare)) << "a post without the shell's token";
}

TEST(PostedMessage, FileSizedPostsGoThroughTheExtension)
{
    ShellHarness shell;
    expectTheSameMessagesInTheirOrder(shell);
    EXPECT_EQ(shell.evaluate("String(Function.prototype.toString.call("
                             "Object.getPrototypeOf(window.webkit.messageHandlers.pagewick).postMessage)"
                             ".includes('[native code]'))"),
              "false")
        << "the extension's route was not installed";
}

TEST(PostedMessage, FileSizedPostsGoWebKitsWayWithoutTheExtension)
{
    ShellHarness shell(std::string(), "");
    expectTheSameMessagesInTheirOrder(shell);
}

// After a file-sized post the web process collects its garbage a moment later: a page
// that goes away meanwhile must not take the process with it (the shell would load the
// page once more), nor stop the next page's posts.
TEST(PostedMessage, TheCollectionAfterAFileSizedPostOutlivesThePageThatPosted)
{
    TempDir files;
    ShellHarness shell;
    shell.web.write("index.html", postingPage);
    shell.launchAndWait();
    ASSERT_TRUE(shell.waitForScript("typeof window.post === 'function'"));
    const std::string first = files.path() + "/first.pdf", second = files.path() + "/second.pdf";
    ASSERT_TRUE(shell.evaluate(savePath("1", first, "bytes(1 << 20).toBase64()") + "; location.reload(); true"));
    ASSERT_TRUE(waitUntil([&] { return shell.loadsFinished() == 2; }));
    ASSERT_TRUE(shell.waitForScript("typeof window.post === 'function'"));
    spin(0.8);  // past the collection
    ASSERT_TRUE(shell.evaluate(savePath("2", second, "bytes(1 << 20).toBase64()")));
    ASSERT_TRUE(shell.waitForScript("window.replies.length === 1"));
    EXPECT_EQ(shell.loadsFinished(), 2) << "the web process ended";
    EXPECT_TRUE(TempDir::read(first) == bytes(1 << 20));
    EXPECT_TRUE(TempDir::read(second) == bytes(1 << 20));
}

// What a web process may send is read as strictly as the rest of its messages: a
// malformed message, or a file that is not a sealed memory file, is none.
TEST(PostedMessage, OnlyWellFormedCarriedMessagesAreRead)
{
    const std::string payload = "%PDF-carried \xff";
    auto file = SharedText::create(payload.size());
    ASSERT_TRUE(file && file->write(0, payload.data(), payload.size()) && file->seal());
    auto unsealed = SharedText::create(1);
    ASSERT_TRUE(unsealed);

    const auto files = GObjectPtr<GUnixFDList>::adopt(g_unix_fd_list_new());
    const gint32 sealedIndex = g_unix_fd_list_append(files.get(), file->descriptor(), nullptr);
    const gint32 unsealedIndex = g_unix_fd_list_append(files.get(), unsealed->descriptor(), nullptr);
    auto parameters = [&](gint32 index) {
        GVariantBuilder strings, handles;
        g_variant_builder_init(&strings, G_VARIANT_TYPE("a{say}"));
        const char withNul[] = {'a', '\0', 'b'};
        g_variant_builder_add(&strings, "{s@ay}", "type",
                              g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, "savepath", 8, 1));
        g_variant_builder_add(&strings, "{s@ay}", "id", g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, withNul, 3, 1));
        g_variant_builder_init(&handles, G_VARIANT_TYPE("a{sh}"));
        g_variant_builder_add(&handles, "{sh}", "b64", index);
        return GVariantPtr(g_variant_ref_sink(g_variant_new("(a{say}a{sh})", &strings, &handles)));
    };

    const auto message = gtk::postedMessageFrom(parameters(sealedIndex).get(), files.get());
    ASSERT_TRUE(message && message->isObject);
    EXPECT_EQ(*message->field("type"), "savepath");
    EXPECT_EQ(*message->field("id"), std::string("a\0b", 3));
    ASSERT_TRUE(message->base64Field("b64"));
    EXPECT_TRUE(*message->base64Field("b64") == std::vector<std::uint8_t>(payload.begin(), payload.end()));
    EXPECT_EQ(*message->field("b64"), base64::encode(payload.data(), payload.size()))
        << "the text is the Base64 of the bytes it stands for";

    EXPECT_FALSE(gtk::postedMessageFrom(parameters(unsealedIndex).get(), files.get()));
    EXPECT_FALSE(gtk::postedMessageFrom(parameters(7).get(), files.get())) << "no such handle";
    EXPECT_FALSE(gtk::postedMessageFrom(parameters(sealedIndex).get(), nullptr));
    const GVariantPtr wrongShape(g_variant_ref_sink(g_variant_new("(ss)", "type", "savepath")));
    EXPECT_FALSE(gtk::postedMessageFrom(wrongShape.get(), files.get()));
    EXPECT_FALSE(gtk::postedMessageFrom(nullptr, files.get()));
}

}  // namespace
}  // namespace pw::testing
