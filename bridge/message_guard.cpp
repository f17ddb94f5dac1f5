#include "bridge/message_guard.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <utility>

#include <sys/random.h>

#include "app/app_constants.h"

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
    // The secret lives only in this closure. Frames of other origins get their own,
    // unwrapped handler object, and documents of other schemes are left unwrapped.
    // The objects are pinned by a listener on the window: WebKit hands out fresh
    // wrappers for handler objects the collector has taken, and a fresh one would
    // lack the wrapped postMessage.
    return std::string("(() => { if (location.protocol !== '") + appScheme +
           ":') return; "
           "const ns = window.webkit; const handlers = ns && ns.messageHandlers; "
           "const h = handlers && handlers." +
           messageHandlerName +
           "; if (!h) return; "
           "const post = h.postMessage.bind(h); const key = '" +
           tokenKey + "'; const secret = '" + secret_ +
           "'; "
           "Object.defineProperty(h, 'postMessage', { configurable: false, writable: false, enumerable: false, "
           "value: (body) => post(body !== null && typeof body === 'object' && !Array.isArray(body) "
           "? Object.assign({}, body, { [key]: secret }) : body) }); "
           "const pinned = [ns, handlers, h]; "
           "window.addEventListener('pagehide', () => pinned.length); })();";
}

bool MessageGuard::admits(const ScriptMessage& message) const
{
    const std::string* token = message.field(tokenKey);
    return token && sameText(*token, secret_);
}

}  // namespace pw
