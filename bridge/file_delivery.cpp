#include "bridge/file_delivery.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "bridge/app_page.h"
#include "bridge/bridge.h"
#include "common/base64.h"
#include "common/language.h"
#include "common/utf8.h"
#include "ocr/native_ocr.h"
#include "platform/file_io.h"
#include "platform/main_queue.h"
#include "platform/memory_advice.h"
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

// A file name as the page can show it: bytes that are not UTF-8 (a Linux name may hold
// any) become U+FFFD, where the whole message would otherwise fall back to nothing.
std::string displayName(const std::string& name)
{
    std::string shown;
    for (std::size_t at = 0; at < name.size();) {
        const Utf8Step step = nextCodePoint(name, at);
        if (step.codePoint < 0)
            shown += "\uFFFD";
        else
            shown.append(name, at, step.offset - at);
        at = step.offset;
    }
    return shown;
}

// The call with `size` bytes' worth of Base64 written in place by `encode(out)`, which
// answers false when the bytes could not be had; then there is no call.
template <typename Encode>
std::optional<std::string> nativeOpenCallAround(std::string_view name, std::uint64_t size, std::string_view path,
                                                Encode&& encode)
{
    static constexpr std::string_view head = "window.__nativeOpen(";
    static constexpr std::string_view afterName = "[0], '";
    static constexpr std::string_view afterContents = "', ";
    static constexpr std::string_view tail = "[0])";

    const std::string nameArray = NativeOCR::arrayOfOne(name, R"(["document.pdf"])");
    const std::string pathArray = NativeOCR::arrayOfOne(path, R"([""])");
    const std::size_t encoded = base64::encodedLength(static_cast<std::size_t>(size));

    std::string script;
    // Written inside the app-page check here, so that the file-sized text is not copied
    // again to be wrapped.
    script.reserve(appPageGuardOpen.size() + head.size() + nameArray.size() + afterName.size() + encoded +
                   afterContents.size() + pathArray.size() + tail.size() + appPageGuardClose.size());
    adviseWrittenWhole(script.data(), script.capacity());
    script += appPageGuardOpen;
    script += head;
    script += nameArray;
    script += afterName;
    if (!encode(extendUninitialised(script, encoded))) return std::nullopt;
    script += afterContents;
    script += pathArray;
    script += tail;
    script += appPageGuardClose;
    return script;
}

// Reads the rest of the file and writes its Base64 at `out` a piece at a time, so that
// the file's bytes are never held whole beside their text. Pieces are whole groups of
// three bytes: only the last one can need padding, as in one encoding of the whole.
bool encodeFileInto(WholeFileReader& file, char* out)
{
    constexpr std::size_t piece = 3 * 256 * 1024;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(piece, file.size())));
    for (std::uint64_t left = file.size(); left > 0;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece));
        if (!file.read(buffer.data(), count)) return false;
        base64::encodeInto(buffer.data(), count, out);
        out += base64::encodedLength(count);
        left -= count;
    }
    return file.endsHere();
}

}  // namespace

static_assert(maxOpenedFileSize == std::uint64_t{1} << 30, "the too-large text names the limit: 1 GiB");

std::string unopenedFileText(ReadFailure failure, const std::string& name)
{
    const std::string shown = displayName(name);
    switch (failure) {
    case ReadFailure::TooLarge:
        return tr("Le fichier «\u00a0" + shown + "\u00a0» est trop volumineux pour être ouvert (plus de 1\u00a0Gio).",
                  "\u201c" + shown + "\u201d is too large to open (over 1 GiB).");
    case ReadFailure::OutOfMemory:
        return tr("Le fichier «\u00a0" + shown + "\u00a0» n’a pas pu être ouvert : mémoire insuffisante.",
                  "\u201c" + shown + "\u201d could not be opened: not enough memory.");
    case ReadFailure::Unreadable:
        break;
    }
    return tr("Fichier introuvable : il a peut-être été déplacé ou supprimé.",
              "File not found: it may have been moved or deleted.");
}

std::string nativeOpenCall(std::string_view name, const void* data, std::size_t size, std::string_view path)
{
    return *nativeOpenCallAround(name, size, path, [&](char* out) {
        base64::encodeInto(data, size, out);
        return true;
    });
}

void Bridge::openFile(const std::string& path)
{
    if (readAndQueue(absolutePath(path))) flush();
}

bool Bridge::readAndQueue(const std::string& path)
{
    const std::string name = lastPathComponent(path);
    auto failed = [&](ReadFailure failure) {
        // Only a file that is not there (or not a file) leaves the recent files; one
        // that is too large or met a full memory is still where the user left it.
        if (failure == ReadFailure::Unreadable) forget(path);
        return queueMessage(unopenedFileText(failure, name));
    };
    auto opened = WholeFileReader::open(path, maxOpenedFileSize);
    if (const auto* failure = std::get_if<ReadFailure>(&opened)) return failed(*failure);
    auto& file = std::get<WholeFileReader>(opened);
    std::optional<std::string> script;
    try {
        script = nativeOpenCallAround(name, file.size(), path, [&](char* out) { return encodeFileInto(file, out); });
    } catch (const std::bad_alloc&) {
        return failed(ReadFailure::OutOfMemory);
    }
    if (!script) return failed(ReadFailure::Unreadable);
    remember(path);
    pending_.push_back(OpenedFile{std::move(*script)});
    return true;
}

bool Bridge::queueMessage(const std::string& text)
{
    // Without a web view nothing is shown, and nothing is kept for a later one.
    if (web.expired()) return false;
    pending_.push_back(PendingMessage{pageMessageScript(text)});
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
            std::string script = std::visit([](auto& item) { return std::move(item.script); }, self->pending_.front());
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
