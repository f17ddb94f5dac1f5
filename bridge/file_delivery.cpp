#include "bridge/file_delivery.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "bridge/app_page.h"
#include "bridge/bridge.h"
#include "common/base64.h"
#include "common/language.h"
#include "common/utf8.h"
#include "platform/file_io.h"
#include "platform/main_queue.h"
#include "platform/panels.h"
#include "platform/shared_text.h"
#include "platform/web_view.h"

namespace pw {

namespace {

constexpr double retryInterval = 0.5;

// The bytes encoded at a time: whole groups of three, so that only the last piece can
// need padding, as in one encoding of the whole.
constexpr std::size_t encodingPiece = 3 * 256 * 1024;

// The largest piece a file of `size` bytes is encoded in.
std::size_t largestPiece(std::uint64_t size)
{
    return static_cast<std::size_t>(std::min<std::uint64_t>(encodingPiece, size));
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

// The text the page is given for a name or a path: itself when it is UTF-8.
std::string pageText(std::string_view text, std::string_view otherwise)
{
    return std::string(isUtf8(text) ? text : otherwise);
}

// The Base64 of `size` bytes in shared memory, written a piece at a time so that the
// bytes are never held whole beside their text: `next(count)` gives the next `count`
// bytes, or nullptr when they could not be had.
template <typename Next>
std::variant<SharedText, ReadFailure> sharedBase64(std::uint64_t size, Next&& next)
{
    auto text = SharedText::create(base64::encodedLength(static_cast<std::size_t>(size)));
    if (!text) return ReadFailure::OutOfMemory;
    std::string encoded(base64::encodedLength(largestPiece(size)), '\0');
    std::size_t at = 0;
    for (std::uint64_t left = size; left > 0;) {
        const std::size_t count = largestPiece(left);
        const std::uint8_t* bytes = next(count);
        if (!bytes) return ReadFailure::Unreadable;
        base64::encodeInto(bytes, count, encoded.data());
        const std::size_t length = base64::encodedLength(count);
        if (!text->write(at, encoded.data(), length)) return ReadFailure::OutOfMemory;
        at += length;
        left -= count;
    }
    if (!text->seal()) return ReadFailure::OutOfMemory;
    return std::move(*text);
}

std::vector<PageArgument> nativeOpenArgumentsWith(std::string_view name, SharedText contents, std::string_view path)
{
    std::vector<PageArgument> arguments;
    arguments.emplace_back(pageText(name, "document.pdf"));
    arguments.emplace_back(std::move(contents));
    arguments.emplace_back(pageText(path, ""));
    return arguments;
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

std::optional<std::vector<PageArgument>> nativeOpenArguments(std::string_view name, const void* data,
                                                             std::size_t size, std::string_view path)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    auto text = sharedBase64(size, [&](std::size_t count) { return std::exchange(bytes, bytes + count); });
    if (auto* contents = std::get_if<SharedText>(&text))
        return nativeOpenArgumentsWith(name, std::move(*contents), path);
    return std::nullopt;
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
    std::variant<SharedText, ReadFailure> contents = ReadFailure::Unreadable;
    try {
        std::vector<std::uint8_t> buffer(largestPiece(file.size()));
        contents = sharedBase64(file.size(), [&](std::size_t count) {
            return file.read(buffer.data(), count) ? buffer.data() : nullptr;
        });
    } catch (const std::bad_alloc&) {
        return failed(ReadFailure::OutOfMemory);
    }
    if (const auto* failure = std::get_if<ReadFailure>(&contents)) return failed(*failure);
    if (!file.endsHere()) return failed(ReadFailure::Unreadable);
    remember(path);
    pending_.push_back({std::string(nativeOpenFunction),
                        nativeOpenArgumentsWith(name, std::move(std::get<SharedText>(contents)), path)});
    return true;
}

bool Bridge::queueMessage(const std::string& text)
{
    // Without a web view nothing is shown, and nothing is kept for a later one.
    if (web.expired()) return false;
    std::vector<PageArgument> arguments;
    arguments.emplace_back(text);
    pending_.push_back({pageMessageFunction, std::move(arguments)});
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
            PendingDelivery item = std::move(self->pending_.front());
            self->pending_.pop_front();
            callOnAppPage(*target, std::move(item.function), std::move(item.arguments));
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
