#pragma once

#include <string>

#include "platform/web_view_delegate.h"

namespace pw {

// Lets only the application's own top-level page use the bridge. WebKitGTK shows the
// message handler to every frame and does not say which frame posted, so embedded web
// frames and data: or blob: documents could otherwise save or read any file. The
// page's start script wraps the handler so that posts of the top-level pagewick:
// document carry a secret made at launch; messages without it are dropped.
class MessageGuard {
public:
    MessageGuard();
    explicit MessageGuard(std::string secret);

    // Script for the start of the page: wraps postMessage so that the page's posts
    // carry the secret. The start script runs it only in the app's own document.
    std::string pageScript() const;
    // True when the message carries the secret.
    bool admits(const ScriptMessage& message) const;

    const std::string& secret() const { return secret_; }

    static constexpr const char* tokenKey = "__pagewickToken";

private:
    std::string secret_;
};

}  // namespace pw
