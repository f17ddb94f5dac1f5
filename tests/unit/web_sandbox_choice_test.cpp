#include <string>

#include <gtest/gtest.h>

#include "platform/web_sandbox_choice.h"

namespace pw {
namespace {

WebSandboxFacts usable()
{
    WebSandboxFacts facts;
    facts.socketFolder = "/run/user/1000/webkitgtk";
    return facts;
}

TEST(WebSandboxChoice, StaysOnWhereverItCanStart)
{
    EXPECT_TRUE(chooseWebSandbox(usable()).enabled);
    EXPECT_EQ(chooseWebSandbox(usable()).reason, "");

    // No runtime folder is no reason in itself: GLib's fallback serves when it is short.
    auto noRuntime = usable();
    noRuntime.runtimeFolderSet = false;
    noRuntime.socketFolder = "/root/.cache/webkitgtk";
    EXPECT_TRUE(chooseWebSandbox(noRuntime).enabled);
}

TEST(WebSandboxChoice, SocketFolderMustLeaveRoomForTheLongestSocketName)
{
    // "<folder>/a11y-proxy-XXXXXX" and its NUL must fit in 108 bytes.
    auto facts = usable();
    facts.socketFolder = "/" + std::string(88, 'c');  // 89 + 1 + 17 = 107
    EXPECT_TRUE(chooseWebSandbox(facts).enabled);
    facts.socketFolder += "c";
    facts.runtimeFolderSet = false;
    const auto choice = chooseWebSandbox(facts);
    EXPECT_FALSE(choice.enabled);
    EXPECT_NE(choice.reason.find(facts.socketFolder), std::string::npos) << choice.reason;
    EXPECT_NE(choice.reason.find("XDG_RUNTIME_DIR is unset"), std::string::npos) << choice.reason;
}

TEST(WebSandboxChoice, EachMissingPieceGivesOneLineSayingWhich)
{
    auto noBubblewrap = usable();
    noBubblewrap.bubblewrapUsable = false;
    auto noBus = usable();
    noBus.sessionBusReachable = false;
    for (const auto& [facts, word] : {std::pair{noBubblewrap, "bubblewrap"}, std::pair{noBus, "session bus"}}) {
        const auto choice = chooseWebSandbox(facts);
        EXPECT_FALSE(choice.enabled) << word;
        EXPECT_NE(choice.reason.find(word), std::string::npos) << choice.reason;
        EXPECT_TRUE(choice.reason.starts_with("pagewick: ")) << choice.reason;
        EXPECT_EQ(choice.reason.find('\n'), std::string::npos) << choice.reason;
    }
}

}  // namespace
}  // namespace pw
