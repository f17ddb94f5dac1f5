#include <string>

#include <gtest/gtest.h>

#include "platform/web_sandbox_choice.h"

namespace pw {
namespace {

WebSandboxFacts usableWith(std::string socketFolder)
{
    WebSandboxFacts facts;
    facts.socketFolder = std::move(socketFolder);
    return facts;
}

TEST(WebSandboxChoice, StaysOnWhereverItCanStartEvenWithoutARuntimeFolder)
{
    EXPECT_TRUE(chooseWebSandbox(usableWith("/run/user/1000/webkitgtk")).enabled);
    // GLib's fallback, the cache folder, serves when it is short enough.
    auto noRuntime = usableWith("/root/.cache/webkitgtk");
    noRuntime.runtimeFolderSet = false;
    EXPECT_EQ(chooseWebSandbox(noRuntime).reason, "");
}

TEST(WebSandboxChoice, EachPieceThatCannotWorkTurnsItOffWithOneLineSayingWhich)
{
    // "<folder>/a11y-proxy-XXXXXX" and its NUL must fit in a 108-byte socket address.
    EXPECT_TRUE(chooseWebSandbox(usableWith("/" + std::string(88, 'c'))).enabled);
    auto tooLong = usableWith("/" + std::string(89, 'c'));
    tooLong.runtimeFolderSet = false;
    auto noBubblewrap = usableWith("/run/user/1000/webkitgtk");
    noBubblewrap.bubblewrapUsable = false;
    auto noBus = usableWith("/run/user/1000/webkitgtk");
    noBus.sessionBusReachable = false;
    for (const auto& [facts, says] : {std::pair{tooLong, tooLong.socketFolder + " is too long"},
                                      std::pair{tooLong, std::string("XDG_RUNTIME_DIR is unset")},
                                      std::pair{noBubblewrap, std::string("bubblewrap")},
                                      std::pair{noBus, std::string("no session bus")}}) {
        const auto choice = chooseWebSandbox(facts);
        EXPECT_FALSE(choice.enabled) << says;
        EXPECT_NE(choice.reason.find(says), std::string::npos) << choice.reason;
        EXPECT_TRUE(choice.reason.starts_with("pagewick: ")) << choice.reason;
        EXPECT_EQ(choice.reason.find('\n'), std::string::npos) << choice.reason;
    }
}

}  // namespace
}  // namespace pw
