#include <utility>

#include "bridge/app_page.h"
#include "bridge/bridge.h"
#include "ocr/native_ocr.h"
#include "platform/main_queue.h"
#include "platform/web_view.h"

namespace pw {

void Bridge::result(const std::string& id, bool ok, const std::string& path, const std::string& msg)
{
    std::string script = "window.__nativeResult(" + NativeOCR::lit(id) + ", " + (ok ? "true" : "false") + ", " +
                         NativeOCR::lit(path) + ", " + NativeOCR::lit(msg) + ")";
    // Always queued, even on the main thread, so the page hears back only after the
    // work that produced the reply has returned.
    std::weak_ptr<Bridge> weakSelf = weak_from_this();
    services_.mainQueue->post([weakSelf, script = std::move(script)]() mutable {
        auto self = weakSelf.lock();
        if (!self) return;
        if (auto view = self->web.lock()) evaluateOnAppPage(*view, std::move(script));
    });
}

std::string Bridge::pageMessageScript(const std::string& text)
{
    return std::string(pageMessageFunction) + "(" + NativeOCR::lit(text) + ")";
}

void Bridge::pageMessage(const std::string& text)
{
    if (auto view = web.lock()) evaluateOnAppPage(*view, pageMessageScript(text));
}

}  // namespace pw
