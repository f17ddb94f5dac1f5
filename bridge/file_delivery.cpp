#include "bridge/file_delivery.h"

#include <utility>

#include "app/language.h"
#include "bridge/app_page.h"
#include "bridge/bridge.h"
#include "ocr/base64.h"
#include "ocr/native_ocr.h"
#include "platform/file_io.h"
#include "platform/main_queue.h"
#include "platform/panels.h"
#include "platform/web_view.h"

namespace pw {

namespace {

constexpr double retryInterval = 0.5;

// Grows `text` by `count` characters for the caller to overwrite, without filling
// them first where the library allows it: the Base64 of a large file is most of the
// script.
char* extendUninitialised(std::string& text, std::size_t count)
{
    const std::size_t start = text.size();
#if defined(__cpp_lib_string_resize_and_overwrite)
    text.resize_and_overwrite(start + count, [](char*, std::size_t n) { return n; });
#else
    text.resize(start + count);
#endif
    return text.data() + start;
}

}  // namespace

std::string nativeOpenCall(std::string_view name, const void* data, std::size_t size, std::string_view path)
{
    static constexpr std::string_view head = "window.__nativeOpen(";
    static constexpr std::string_view afterName = "[0], '";
    static constexpr std::string_view afterContents = "', ";
    static constexpr std::string_view tail = "[0])";

    const std::string nameArray = NativeOCR::arrayOfOne(name, R"(["document.pdf"])");
    const std::string pathArray = NativeOCR::arrayOfOne(path, R"([""])");
    const std::size_t encoded = base64::encodedLength(size);

    std::string script;
    // Written inside the app-page check here, so that the file-sized text is not copied
    // again to be wrapped.
    script.reserve(appPageGuardOpen.size() + head.size() + nameArray.size() + afterName.size() + encoded +
                   afterContents.size() + pathArray.size() + tail.size() + appPageGuardClose.size());
    script += appPageGuardOpen;
    script += head;
    script += nameArray;
    script += afterName;
    base64::encodeInto(data, size, extendUninitialised(script, encoded));
    script += afterContents;
    script += pathArray;
    script += tail;
    script += appPageGuardClose;
    return script;
}

void Bridge::openFile(const std::string& path)
{
    if (readAndQueue(absolutePath(path))) flush();
}

bool Bridge::readAndQueue(const std::string& path)
{
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        forget(path);
        pageMessage(tr("Fichier introuvable : il a peut-être été déplacé ou supprimé.",
                       "File not found: it may have been moved or deleted."));
        return false;
    }
    remember(path);
    const std::string name = lastPathComponent(path);
    pending_.push_back(OpenedFile{name, path, nativeOpenCall(name, bytes->data(), bytes->size(), path)});
    return true;
}

void Bridge::pickPDFs()
{
    // Whatever the page last asked of its own file inputs, this panel is for PDFs.
    std::weak_ptr<Bridge> weakSelf = weak_from_this();
    services_.panels->beginOpen(OpenPanelRequest{FileFilter::Pdf, /*multiple=*/true}, [weakSelf](ChosenPaths chosen) {
        if (!chosen) return;
        for (const auto& path : *chosen) {
            auto self = weakSelf.lock();
            if (!self) return;
            // Each file is read, queued and flushed before the next one is read.
            self->openFile(path);
        }
    });
}

void Bridge::flush()
{
    if (timer_) timer_->invalidate();
    if (pending_.empty()) return;
    auto view = web.lock();
    if (!view) {
        retry();
        return;
    }
    // Deliveries go to the view that answered, held weakly: if it is gone by the
    // time it answers, the files wait for the next view instead of vanishing.
    std::weak_ptr<Bridge> weakSelf = weak_from_this();
    std::weak_ptr<WebView> probed = view;
    // In any document but the app's own the probe answers nothing, and the files wait
    // for the app's page to be back.
    evaluateOnAppPage(*view, std::string(nativeOpenProbe), [weakSelf, probed](std::optional<bool> ready) {
        auto self = weakSelf.lock();
        if (!self) return;
        auto target = probed.lock();
        if (ready != true || !target || !isAppPageURI(target->committedURI())) {
            self->retry();
            return;
        }
        // Taken off the queue before it is handed over: a file is delivered at most
        // once, even if the page's function throws.
        while (!self->pending_.empty()) {
            std::string script = std::move(self->pending_.front().script);
            self->pending_.pop_front();
            evaluateOnAppPage(*target, std::move(script));
        }
    });
}

void Bridge::retry()
{
    // Replaces the stored timer without stopping it; only flush() stops timers, and an
    // extra probe finds the queue empty or retries again.
    std::weak_ptr<Bridge> weakSelf = weak_from_this();
    timer_ = services_.mainQueue->schedule(retryInterval, [weakSelf] {
        if (auto self = weakSelf.lock()) self->flush();
    });
}

}  // namespace pw
