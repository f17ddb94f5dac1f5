#include <gtest/gtest.h>

#include <string>

#include "bridge/app_page.h"
#include "bridge/message_guard.h"
#include "tests/support/guard_attacks.h"
#include "tests/unit/js_engine.h"

namespace pw::testing {
namespace {

constexpr const char* secret = "5ec2e75ec2e75ec2e75ec2e75ec2e75ec2e75ec2e75ec2e75ec2e75ec2e75ec2";

// A window in JavaScriptCore with the handler WebKit gives a page, which keeps what is
// posted in an object page script cannot reach through any prototype; then the start
// script's guard, run for a document of the given origin.
void startDocument(JsEngine& js, const std::string& origin, bool topLevel = true)
{
    ASSERT_TRUE(js.run("var window = this; window.top = " + std::string(topLevel ? "window" : "{}") +
                       "; window.addEventListener = () => {}; var location = { protocol: 'pagewick:', origin: '" + origin +
                       "' }; var posted = Object.create(null); var count = 0;"
                       "window.webkit = { messageHandlers: { pagewick: { postMessage(b) { posted[count++] = b; } } } };"));
    ASSERT_TRUE(js.run(forAppPageOnly(MessageGuard(secret).pageScript()))) << js.lastError();
}

TEST(MessageGuard, WrapsOnlyTheAppsOwnTopLevelDocument)
{
    struct Case {
        const char* origin;
        bool topLevel;
        bool wrapped;
    } cases[] = {
        {"pagewick://app", true, true},     {"pagewick://app", false, false}, {"null", true, false},
        {"http://127.0.0.1:8000", true, false}, {"pagewick://app:1", true, false}, {"pagewick://other", true, false},
    };
    for (const auto& c : cases) {
        JsEngine js;
        startDocument(js, c.origin, c.topLevel);
        ASSERT_TRUE(js.run("const h = window.webkit.messageHandlers.pagewick;"
                           "h.postMessage({type: 'open', __pagewickToken: 'x', n: 5});"
                           "h.postMessage('text'); h.postMessage([1]); h.postMessage(null);"
                           "h.postMessage = null;"));
        EXPECT_EQ(js.evaluateString("String(posted[0].__pagewickToken)"), c.wrapped ? secret : "x") << c.origin;
        EXPECT_EQ(js.evaluateString("posted[0].type"), "open");
        // Only strings travel in a wrapped message: the shell reads nothing else.
        EXPECT_EQ(js.evaluateString("String(posted[0].n)"), c.wrapped ? "undefined" : "5");
        EXPECT_EQ(js.evaluateString("typeof posted[1] + ',' + Array.isArray(posted[2]) + ',' + posted[3]"),
                  "string,true,null");
        // The page cannot swap the wrapper out for its own.
        if (c.wrapped) {
            EXPECT_EQ(js.evaluateString("typeof window.webkit.messageHandlers.pagewick.postMessage"), "function");
        }
    }
}

// Page script, after the guard is in place, replaces or hooks everything a wrapper could
// touch while it posts, and posts through a Proxy. The message must still carry the
// secret, and nothing page script ran may have seen it.
TEST(MessageGuard, PageScriptCannotReadTheSecretWhileItPosts)
{
    JsEngine js;
    startDocument(js, "pagewick://app");
    ASSERT_TRUE(js.run(guardHooks)) << js.lastError();
    ASSERT_TRUE(js.run("window.webkit.messageHandlers.pagewick.postMessage(spied({ type: 'filter', kind: 'pdf' }));"
                       "window.webkit.messageHandlers.pagewick.postMessage(JSON.parse('{\"__proto__\": \"p\", \"type\": \"open\"}'));"))
        << js.lastError();
    ASSERT_TRUE(js.run(undoGuardHooks)) << js.lastError();

    EXPECT_EQ(js.evaluateString("String(posted[0].__pagewickToken) + ' ' + posted[0].type + ' ' + posted[0].kind"),
              std::string(secret) + " filter pdf");
    EXPECT_EQ(js.evaluateString("String(Object.getPrototypeOf(posted[1])) + ' ' + posted[1].__proto__ + ' ' + "
                                "posted[1].__pagewickToken"),
              "null p " + std::string(secret));
    EXPECT_EQ(js.evaluateString(secretSeenBy(secret)), "none");
}

}  // namespace
}  // namespace pw::testing
