#include <gtest/gtest.h>

#include <string>

#include "bridge/app_page.h"
#include "bridge/message_guard.h"
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
    // Everything the hooks see goes into `seen`, through nothing the hooks replace.
    ASSERT_TRUE(js.run(R"JS(
      var seen = Object.create(null); var n = 0; var undo = [];
      const spy = function () { for (let i = 0; i < arguments.length; i++) seen[n++] = arguments[i]; };
      const bare = (d) => Object.assign(Object.create(null), d);  // no prototype for the hooks to answer in
      const replace = (object, key, descriptor) => {
        const before = Object.getOwnPropertyDescriptor(object, key);
        const saved = before && bare(before);
        undo.unshift(() => saved ? Object.defineProperty(object, key, saved) : delete object[key]);
        Object.defineProperty(object, key, bare(Object.assign(bare({ configurable: true }), descriptor)));
      };
      const hook = (object, name) => { const original = object[name];
        replace(object, name, { writable: true, value: function (...args) { spy(this, args); return original.apply(this, args); } }); };
      for (const name of ['assign', 'keys', 'create', 'defineProperty', 'entries', 'fromEntries', 'getOwnPropertyNames'])
        hook(Object, name);
      hook(JSON, 'stringify');
      for (const name of Object.getOwnPropertyNames(Reflect)) hook(Reflect, name);
      hook(Array, 'isArray');
      for (const name of ['call', 'bind']) replace(Function.prototype, name, { writable: true, value: function () { spy(this, arguments); } });
      const accessor = { set(v) { spy(this, v); }, get() { spy(this); } };
      for (const key of ['__pagewickToken', 'value', 'get', 'set', 'writable', 'enumerable', 'configurable', 'type', 'kind'])
        replace(Object.prototype, key, accessor);
      for (const key of ['0', '1', '2', '3']) replace(Array.prototype, key, accessor);
      replace(Array.prototype, Symbol.iterator, { writable: true, value: function () { spy(this); return [][Symbol.iterator](); } });
      replace(Array.prototype, 'push', { writable: true, value: function () { spy(this, arguments); } });
      const body = { type: 'filter', kind: 'pdf' };
      const proxy = new Proxy(body, { get: (t, k, r) => { spy(t, k, r); return t[k]; },
        ownKeys: (t) => { spy(t); return ['type', 'kind']; } });
      window.webkit.messageHandlers.pagewick.postMessage(proxy);
      window.webkit.messageHandlers.pagewick.postMessage(JSON.parse('{"__proto__": "p", "type": "open"}'));
      for (let i = 0; i < undo.length; i++) undo[i]();
    )JS")) << js.lastError();

    EXPECT_EQ(js.evaluateString("String(posted[0].__pagewickToken) + ' ' + posted[0].type + ' ' + posted[0].kind"),
              std::string(secret) + " filter pdf");
    EXPECT_EQ(js.evaluateString("String(Object.getPrototypeOf(posted[1])) + ' ' + posted[1].__proto__ + ' ' + "
                                "posted[1].__pagewickToken"),
              "null p " + std::string(secret));
    ASSERT_EQ(js.evaluateString("n > 10 ? 'hooked' : 'missed'"), "hooked") << "the hooks were not called at all";
    // Nothing page script saw holds the secret, as a value or anywhere inside one.
    ASSERT_TRUE(js.run("var SECRET = '" + std::string(secret) + "';"));
    EXPECT_EQ(js.evaluateString(R"JS(
      const visited = new Set();
      const holds = (v, depth) => {
        if (v === SECRET) return true;
        if (!v || (typeof v !== 'object' && typeof v !== 'function') || depth > 3 || visited.has(v)) return false;
        visited.add(v);
        for (const k of Reflect.ownKeys(v)) {
          const d = Object.getOwnPropertyDescriptor(v, k);
          if (d && 'value' in d && holds(d.value, depth + 1)) return true;
        }
        return false;
      };
      let found = 'none';
      for (let i = 0; i < n; i++) if (holds(seen[i], 0)) found = 'seen';
      String(window.webkit.messageHandlers.pagewick.postMessage).includes(SECRET) ? 'in the source' : found
    )JS"),
              "none");
}

}  // namespace
}  // namespace pw::testing
