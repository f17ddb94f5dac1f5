#include <gio/gunixfdlist.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bridge/app_page.h"
#include "platform/gtk/web_process/web_process_messages.h"
#include "platform/shared_text.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// Keeps every call it gets, with whether `this` was the window, as a script's call of
// window.take would have it.
constexpr const char* recordingPage = "<!doctype html><meta charset=utf-8><script>window.got = [];"
                                      "window.take = function (...a) { got.push([this === window].concat(a)); };"
                                      "</script>";

constexpr const char* unit = "0123456789+/abcd";
constexpr std::size_t units = (3 << 20) / 16;

SharedText sealedText(const std::string& text)
{
    auto shared = SharedText::create(text.size());
    EXPECT_TRUE(shared && shared->write(0, text.data(), text.size()) && shared->seal());
    return std::move(*shared);
}

std::vector<PageArgument> strings(std::vector<std::string> texts)
{
    return {texts.begin(), texts.end()};
}

// Calls that must arrive (a file-sized text beside names no script literal could hold
// as they are) and calls that must not (a false condition, a string that is not UTF-8),
// in one order; only the first and the last reach the page, in that order.
void expectOnlyTheRightCallsArriveInOrder(ShellHarness& shell)
{
    shell.web.write("index.html", recordingPage);
    shell.launchAndWait();
    const std::string name = "it's \"q\" \\ a\nb \u2028 </script> \u00e9t\u00e9 ${x}.pdf";
    std::string big;
    for (std::size_t i = 0; i < units; ++i) big += unit;
    big += "Zz";

    std::vector<PageArgument> file;
    file.emplace_back(name);
    file.emplace_back(sealedText(big));
    file.emplace_back("/tmp/x.pdf");
    shell.view().call(std::string(appPageCondition), "window.take", std::move(file));
    shell.view().call("false", "window.take", strings({"refused"}));
    shell.view().call(std::string(appPageCondition), "window.take", strings({"bad \xff"}));
    shell.view().call(std::string(appPageCondition), "window.take", strings({"last"}));

    ASSERT_TRUE(shell.waitForScript("got.length === 2", 20))
        << shell.evaluate("JSON.stringify(got.map(String))").value_or("");
    spin(0.3);
    EXPECT_EQ(shell.evaluate("got.length"), "2");
    EXPECT_EQ(shell.evaluate("got[0][0] && got[0][1]"), name);
    EXPECT_EQ(shell.evaluate("String(got[0][2] === '" + std::string(unit) + "'.repeat(" + std::to_string(units) +
                             ") + 'Zz')"),
              "true");
    EXPECT_EQ(shell.evaluate("got[0][3]"), "/tmp/x.pdf");
    EXPECT_EQ(shell.evaluate("JSON.stringify(got[1])"), "[true,\"last\"]");
}

TEST(PageCall, ReachesThePageThroughTheExtension)
{
    ShellHarness shell;
    expectOnlyTheRightCallsArriveInOrder(shell);
}

TEST(PageCall, ReachesThePageWithoutTheExtensionToo)
{
    ShellHarness shell(std::string(), "");
    expectOnlyTheRightCallsArriveInOrder(shell);
}

// The extension's answer to a call whose one argument is the memory file `fd`; nullopt
// when none came.
std::optional<bool> extensionAnswer(ShellHarness& shell, int fd)
{
    GUnixFDList* files = g_unix_fd_list_new();
    const int index = g_unix_fd_list_append(files, fd, nullptr);
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("av"));
    g_variant_builder_add(&list, "v", g_variant_new_handle(index));
    GVariant* parameters = g_variant_new("(ss@av)", std::string(appPageCondition).c_str(), "window.take",
                                         g_variant_builder_end(&list));
    struct Answer {
        bool came = false;
        std::optional<bool> taken;
    } answer;
    webkit_web_view_send_message_to_page(
        shell.webKitView(), webkit_user_message_new_with_fd_list(gtk::pageCallMessage, parameters, files), nullptr,
        [](GObject* view, GAsyncResult* result, gpointer data) {
            auto& answer = *static_cast<Answer*>(data);
            WebKitUserMessage* reply =
                webkit_web_view_send_message_to_page_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
            GVariant* value = reply ? webkit_user_message_get_parameters(reply) : nullptr;
            if (value && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
                answer.taken = g_variant_get_boolean(value);
            if (reply) g_object_unref(reply);
            answer.came = true;
        },
        &answer);
    g_object_unref(files);
    for (int i = 0; i < 200 && !answer.came; ++i) spin(0.05);
    return answer.taken;
}

// The extension maps only a memory file nobody can shrink or change any more: the view
// can truncate any other under it, and reading the lost pages would kill the process.
// It answers false for such a file, and the view then makes the call another way.
TEST(PageCall, TheExtensionMapsOnlySealedMemoryFiles)
{
    ShellHarness shell;
    shell.web.write("index.html", recordingPage);
    shell.launchAndWait();

    const int loose = ::memfd_create("loose", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    ASSERT_EQ(::write(loose, "loose", 5), 5);
    EXPECT_EQ(extensionAnswer(shell, loose), false);
    ::close(loose);
    EXPECT_EQ(shell.evaluate("got.length"), "0");

    auto sealed = sealedText("sealed");
    EXPECT_EQ(extensionAnswer(shell, sealed.descriptor()), true);
    EXPECT_EQ(shell.evaluate("JSON.stringify(got)"), "[[true,\"sealed\"]]");
}

}  // namespace
}  // namespace pw::testing
