#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/app_page.h"
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

}  // namespace
}  // namespace pw::testing
