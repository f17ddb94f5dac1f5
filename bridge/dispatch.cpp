#include <new>
#include <utility>

#include "bridge/app_page.h"
#include "bridge/bridge.h"
#include "bridge/safe_file_name.h"
#include "ocr/native_ocr.h"
#include "platform/file_io.h"
#include "platform/main_queue.h"
#include "platform/printing.h"
#include "platform/web_view.h"

namespace pw {

void Bridge::didReceiveScriptMessage(const ScriptMessage& message)
{
    if (!message.isObject) return;
    try {
        // The page's strings may be read out of the engine only now, the token's too.
        if (guard_.admits(message)) dispatch(message);
    } catch (const std::bad_alloc&) {
        // A request whose bytes do not fit in memory (decoded, copied or written) is
        // dropped like a malformed one; it must not take the page's other documents
        // down with the process.
    }
}

// One message of the page. Malformed messages are dropped without a reply; each kind
// is compared on its own, exactly and case-sensitively.
void Bridge::dispatch(const ScriptMessage& message)
{
    const std::string* type = message.field("type");
    if (!type) return;
    std::weak_ptr<Bridge> weakSelf = weak_from_this();

    if (*type == "save" || *type == "share") {
        const std::string* name = message.field("name");
        if (!name || !message.has("b64")) return;
        auto bytes = message.base64Field("b64");
        if (!bytes) return;
        save(*name, std::move(*bytes), *type == "share");
    }
    if (*type == "open") {
        services_.mainQueue->post([weakSelf] {
            if (auto self = weakSelf.lock()) self->pickPDFs();
        });
    }
    if (*type == "openpath") {
        const std::string* path = message.field("path");
        if (!path) return;
        openFile(absolutePath(*path));
    }
    if (*type == "filter") {
        const std::string* kind = message.field("kind");
        nextFilter = kind ? *kind : std::string();
    }
    if (*type == "savepath") {
        const std::string* id = message.field("id");
        const std::string* path = message.field("path");
        if (!id || !path) return;
        auto bytes = message.base64Field("b64");
        if (!bytes) return;
        saveToPath(*id, *path, std::move(*bytes));
    }
    if (*type == "saveas") {
        const std::string* id = message.field("id");
        if (!id) return;
        auto bytes = message.base64Field("b64");
        if (!bytes) return;
        const std::string* name = message.field("name");
        const std::string* dir = message.field("dir");
        services_.mainQueue->post([weakSelf, name = safeFileName(name ? *name : "document.pdf"),
                                   dir = dir ? *dir : std::string(), id = *id, bytes = std::move(*bytes)]() mutable {
            if (auto self = weakSelf.lock()) self->saveAs(name, dir, id, std::move(bytes));
        });
    }
    if (*type == "print") {
        auto bytes = message.base64Field("b64");
        if (!bytes) return;
        auto document = services_.printing->makeDocument(bytes->copy());
        if (!document) return;
        services_.mainQueue->post([weakSelf, document] {
            if (auto self = weakSelf.lock()) self->printPDF(document);
        });
    }
    if (*type == "ocr") {
        const std::string* id = message.field("id");
        const std::string* b64 = message.field("b64");
        if (!id || !b64) return;
        const std::string* lang = message.field("lang");
        dispatchOcr(*id, *b64, lang ? *lang : "fr");
    }
}

void Bridge::dispatchOcr(const std::string& id, const std::string& b64, const std::string& lang)
{
    std::weak_ptr<Bridge> weakSelf = weak_from_this();
    std::weak_ptr<MainQueue> weakQueue = services_.mainQueue;
    NativeOCR::run(b64, lang, [weakSelf, weakQueue, id](std::string document) {
        // Whatever thread this is, the page is only touched from the main queue.
        auto queue = weakQueue.lock();
        if (!queue) return;
        queue->post([weakSelf, id, document = std::move(document)] {
            auto self = weakSelf.lock();
            if (!self) return;
            if (auto view = self->web.lock())
                evaluateOnAppPage(*view, "window.__nativeOcrResult(" + NativeOCR::lit(id) + ", " +
                                             NativeOCR::lit(document) + ")");
        });
    });
}

}  // namespace pw
