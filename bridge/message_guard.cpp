#include "bridge/message_guard.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <utility>

#include <sys/random.h>

#include "common/app_constants.h"

namespace pw {

namespace {

std::string randomSecret()
{
    std::uint8_t bytes[32];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n > 0) filled += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR) break;
    }
    if (filled < sizeof bytes) {
        std::random_device device;  // only if the kernel would not answer
        for (auto& b : bytes) b = static_cast<std::uint8_t>(device());
    }
    std::string hex;
    char digits[3];
    for (auto b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        hex += digits;
    }
    return hex;
}

// Constant-time comparison: the page cannot learn the secret a character at a time.
bool sameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

}  // namespace

MessageGuard::MessageGuard() : secret_(randomSecret()) {}

MessageGuard::MessageGuard(std::string secret) : secret_(std::move(secret)) {}

std::string MessageGuard::pageScript() const
{
    // The secret lives only in this closure, and page script must not get at it through
    // anything the wrapper touches when it posts. So everything it calls is taken here,
    // before any page script has run, and called directly; the message is copied into an
    // object without a prototype, so that no setter of Object.prototype sees the secret
    // being written and no "__proto__" key can give the copy a prototype; only string
    // fields are copied, the only ones the shell reads. The page's body (a Proxy, say)
    // can run code while it is read, but never sees the copy.
    // Frames of other origins get their own, unwrapped handler object. The objects are
    // pinned by a listener on the window: WebKit hands out fresh wrappers for handler
    // objects the collector has taken, and a fresh one would lack the wrapped
    // postMessage. The start script runs this only in the app's own top-level document.
    return std::string("(() => { 'use strict'; "
                       "const ns = window.webkit; const handlers = ns && ns.messageHandlers; "
                       "const h = handlers && handlers.") +
           messageHandlerName +
           "; if (!h) return; "
           "const post = h.postMessage.bind(h); const keysOf = Object.keys; const isArray = Array.isArray; "
           "const bare = Object.create; const key = '" +
           tokenKey + "'; const secret = '" + secret_ +
           "'; "
           "const wrapped = (body) => { "
           "if (body === null || typeof body !== 'object' || isArray(body)) return post(body); "
           "const names = keysOf(body); const copy = bare(null); "
           "for (let i = 0; i < names.length; i++) { const value = body[names[i]]; "
           "if (typeof value === 'string') copy[names[i]] = value; } "
           "copy[key] = secret; return post(copy); }; "
           "Object.defineProperty(h, 'postMessage', "
           "{ __proto__: null, configurable: false, writable: false, enumerable: false, value: wrapped }); "
           "const pinned = [ns, handlers, h]; "
           "window.addEventListener('pagehide', () => pinned.length); })();";
}

bool MessageGuard::admits(const ScriptMessage& message) const
{
    const std::string* token = message.field(tokenKey);
    return token && sameText(*token, secret_);
}

}  // namespace pw
