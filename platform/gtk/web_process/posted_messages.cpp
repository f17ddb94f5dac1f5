// Messages the page posts to the shell with a file-sized Base64 string (a save). WebKit
// copies and serialises such a message in this process and again in the view's, which
// takes seconds for a 100 MB file. Here the string is decoded and its bytes handed over
// in a sealed memory file; the view reads the message as the one the page posted and
// judges it by the same rules. A post that holds anything but well-formed strings, a
// large one that is not strict Base64, or one that cannot be carried so for any other
// reason, goes WebKit's way.
//
// The strings are read through the engine's C interface, which writes a string's UTF-8
// into memory of ours: the GLib one allocates it afresh every time, and on machines
// where a page fault is dear that alone costs more than the rest of the save. A
// file-sized one is read in pieces, side by side.

#include <gio/gunixfdlist.h>
#include <sys/mman.h>

#include <JavaScriptCore/JavaScript.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/app_constants.h"
#include "common/base64.h"
#include "platform/gtk/web_process/owned.h"
#include "platform/gtk/web_process/page_hooks.h"
#include "platform/gtk/web_process/web_process_messages.h"
#include "platform/shared_text.h"

namespace {

using pw::gtk::Owned;

// Wraps the handler's postMessage, for every handler object of the document. Everything
// it calls is taken here, before any page script has run: the shell's start script
// posts through it, and nothing it touches on the way may be the page's. Fields are read
// once, in one pass, as WebKit's copy would read them.
constexpr const char* installerSource = R"((function (handler, send, large, pieces) {
    'use strict';
    const prototype = Object.getPrototypeOf(handler);
    const post = prototype.postMessage;
    const keysOf = Object.keys, isArray = Array.isArray, bare = Object.create, apply = Reflect.apply;
    const wellFormed = String.prototype.isWellFormed, slice = String.prototype.slice;
    const ceil = Math.ceil, define = Object.defineProperty;
    if (typeof wellFormed !== 'function') return;
    // A file-sized string in pieces of whole groups of four, read side by side.
    const piecesOf = (value) => {
        const parts = [];
        const step = ceil(value.length / pieces / 4) * 4;
        for (let at = 0, i = 0; at < value.length; at += step, i++) {
            const piece = apply(slice, value, [at, at + step]);
            define(parts, i, { __proto__: null, value: piece, writable: true, enumerable: true, configurable: true });
        }
        return parts;
    };
    const carried = (body) => {
        if (body === null || typeof body !== 'object' || isArray(body)) return false;
        const names = keysOf(body);
        const strings = bare(null), fileSized = bare(null);
        let any = false;
        for (let i = 0; i < names.length; i++) {
            const value = body[names[i]];
            if (typeof value !== 'string' || !apply(wellFormed, names[i], [])) return false;
            if (value.length < large) {
                if (!apply(wellFormed, value, [])) return false;
                strings[names[i]] = value;
            } else {
                fileSized[names[i]] = piecesOf(value);
                any = true;
            }
        }
        return any && send(strings, fileSized);
    };
    prototype.postMessage = function postMessage(body) {
        if (this !== handler || !carried(body)) return apply(post, this, [body]);
    };
}))";

struct StringHandle {
    explicit StringHandle(JSStringRef held) : string(held) {}
    StringHandle(StringHandle&& other) noexcept : string(std::exchange(other.string, nullptr)) {}
    StringHandle(const StringHandle&) = delete;
    StringHandle& operator=(const StringHandle&) = delete;
    StringHandle& operator=(StringHandle&&) = delete;
    ~StringHandle()
    {
        if (string) JSStringRelease(string);
    }
    JSStringRef string;
};

// Memory for a file-sized text, asking for huge pages: written once from start to end,
// it then costs a few dozen faults instead of tens of thousands.
class TextBuffer {
public:
    explicit TextBuffer(std::size_t size) : size_(size)
    {
        void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (data == MAP_FAILED) return;
        data_ = static_cast<char*>(data);
        ::madvise(data_, size_, MADV_HUGEPAGE);  // only a hint
    }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    ~TextBuffer()
    {
        if (data_) ::munmap(data_, size_);
    }
    char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    char* data_ = nullptr;
    std::size_t size_;
};

// The string's UTF-8 written into `out`, which holds JSStringGetMaximumUTF8CStringSize
// bytes; its length without the terminating NUL.
std::size_t utf8Into(JSStringRef string, char* out, std::size_t room)
{
    const std::size_t written = JSStringGetUTF8CString(string, out, room);
    return written > 0 ? written - 1 : 0;
}

std::string utf8Of(JSStringRef string)
{
    std::string text(JSStringGetMaximumUTF8CStringSize(string), '\0');
    text.resize(utf8Into(string, text.data(), text.size()));
    return text;
}

// The bytes a piece of a file-sized string encodes under strict Base64; nullopt when it
// is not that (so not all ASCII, one byte a character), or `=` ends a piece that is
// not the last.
std::optional<std::vector<std::uint8_t>> decodedPiece(JSStringRef piece, bool last)
{
    const TextBuffer text(JSStringGetMaximumUTF8CStringSize(piece));
    if (!text.data()) return std::nullopt;
    const std::size_t size = utf8Into(piece, text.data(), text.size());
    if (size != JSStringGetLength(piece) || (!last && size > 0 && text.data()[size - 1] == '=')) return std::nullopt;
    try {
        return pw::base64::decode(std::string_view(text.data(), size));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// Decodes every piece, each on a thread of its own but the first: reading a string out
// of the engine goes a character at a time, and a file's worth takes a good part of a
// second on one core.
std::vector<std::optional<std::vector<std::uint8_t>>> decodedPieces(const std::vector<JSStringRef>& pieces)
{
    std::vector<std::optional<std::vector<std::uint8_t>>> decoded(pieces.size());
    auto decode = [&](std::size_t i) { decoded[i] = decodedPiece(pieces[i], i + 1 == pieces.size()); };
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        try {
            helpers.emplace_back(decode, i);
        } catch (const std::system_error&) {
            decode(i);  // no thread to be had: done here instead
        }
    }
    if (!pieces.empty()) decode(0);
    for (auto& helper : helpers) helper.join();
    return decoded;
}

// The bytes the pieces of a file-sized string encode, in a sealed memory file added to
// the list; its index there, or -1 when the string is not strict Base64 or the file
// cannot be made.
gint32 decodedFile(const std::vector<JSStringRef>& pieces, GUnixFDList* files)
{
    const auto decoded = decodedPieces(pieces);
    std::size_t total = 0;
    for (const auto& bytes : decoded) {
        if (!bytes) return -1;
        total += bytes->size();
    }
    auto file = pw::SharedText::create(total);
    if (!file) return -1;
    std::size_t at = 0;
    for (const auto& bytes : decoded) {
        if (!file->write(at, reinterpret_cast<const char*>(bytes->data()), bytes->size())) return -1;
        at += bytes->size();
    }
    // The list keeps a duplicate of the descriptor; the file's own closes with it.
    return file->seal() ? g_unix_fd_list_append(files, file->descriptor(), nullptr) : -1;
}

// The pieces of a file-sized string as the wrapper made them: an array of strings.
std::optional<std::vector<StringHandle>> piecesOf(JSContextRef context, JSValueRef value)
{
    JSObjectRef array = JSValueToObject(context, value, nullptr);
    if (!array || !JSValueIsArray(context, value)) return std::nullopt;
    const StringHandle lengthName(JSStringCreateWithUTF8CString("length"));
    const double count = JSValueToNumber(context, JSObjectGetProperty(context, array, lengthName.string, nullptr), nullptr);
    if (!(count >= 1 && count <= 64)) return std::nullopt;
    std::vector<StringHandle> pieces;
    pieces.reserve(static_cast<std::size_t>(count));
    for (unsigned i = 0; i < static_cast<unsigned>(count); ++i) {
        JSValueRef piece = JSObjectGetPropertyAtIndex(context, array, i, nullptr);
        if (!piece || !JSValueIsString(context, piece)) return std::nullopt;
        pieces.emplace_back(JSValueToStringCopy(context, piece, nullptr));
    }
    return pieces;
}

// Calls `add` with each property of the object, name and value; false at the first it
// refuses, or a name that cannot be sent as it is.
template <typename Add>
bool forEachProperty(JSContextRef context, JSValueRef value, Add add)
{
    JSObjectRef object = JSValueToObject(context, value, nullptr);
    if (!object) return false;
    JSPropertyNameArrayRef names = JSObjectCopyPropertyNames(context, object);
    bool added = true;
    for (std::size_t i = 0, count = JSPropertyNameArrayGetCount(names); added && i < count; ++i) {
        JSStringRef name = JSPropertyNameArrayGetNameAtIndex(names, i);
        const std::string key = utf8Of(name);
        JSValueRef property = JSObjectGetProperty(context, object, name, nullptr);
        added = key.find('\0') == std::string::npos && property && add(key, property);
    }
    JSPropertyNameArrayRelease(names);
    return added;
}

// The message's parameters, floating; nullptr when a part could not be made.
GVariant* carriedParameters(JSContextRef context, JSValueRef strings, JSValueRef fileSized, GUnixFDList* files)
{
    GVariantBuilder parts[2];
    g_variant_builder_init(&parts[0], G_VARIANT_TYPE("a{say}"));
    g_variant_builder_init(&parts[1], G_VARIANT_TYPE("a{sh}"));
    const bool made =
        forEachProperty(context, strings,
                        [&](const std::string& name, JSValueRef value) {
                            if (!JSValueIsString(context, value)) return false;
                            const StringHandle string(JSValueToStringCopy(context, value, nullptr));
                            const std::string text = utf8Of(string.string);
                            g_variant_builder_add(&parts[0], "{s@ay}", name.c_str(),
                                                  g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, text.data(),
                                                                            text.size(), 1));
                            return true;
                        }) &&
        forEachProperty(context, fileSized, [&](const std::string& name, JSValueRef value) {
            const auto pieces = piecesOf(context, value);
            if (!pieces) return false;
            std::vector<JSStringRef> strings;
            for (const auto& piece : *pieces) strings.push_back(piece.string);
            const gint32 index = decodedFile(strings, files);
            if (index >= 0) g_variant_builder_add(&parts[1], "{sh}", name.c_str(), index);
            return index >= 0;
        });
    if (!made) {
        for (auto& part : parts) g_variant_builder_clear(&part);
        return nullptr;
    }
    GVariant* children[2] = {g_variant_builder_end(&parts[0]), g_variant_builder_end(&parts[1])};
    return g_variant_new_tuple(children, 2);
}

// The wrapper's send(strings, fileSized): true once the message is on its way.
JSValueRef sendCarried(JSContextRef context, JSObjectRef function, JSObjectRef, std::size_t count,
                       const JSValueRef arguments[], JSValueRef*)
{
    auto* weakPage = static_cast<GWeakRef*>(JSObjectGetPrivate(function));
    const Owned<WebKitWebPage> page(weakPage ? static_cast<WebKitWebPage*>(g_weak_ref_get(weakPage)) : nullptr);
    if (!page || count != 2) return JSValueMakeBoolean(context, false);
    const Owned<GUnixFDList> files(g_unix_fd_list_new());
    GVariant* parameters = carriedParameters(context, arguments[0], arguments[1], files.get());
    if (!parameters) return JSValueMakeBoolean(context, false);
    // Both the message and its parameters are floating: sending the message takes it.
    WebKitUserMessage* message = webkit_user_message_new_with_fd_list(pw::gtk::postedMessage, parameters, files.get());
    webkit_web_page_send_message_to_view(page.get(), message, nullptr, nullptr, nullptr);
    return JSValueMakeBoolean(context, true);
}

void forgetPage(JSObjectRef function)
{
    auto* weakPage = static_cast<GWeakRef*>(JSObjectGetPrivate(function));
    if (!weakPage) return;
    g_weak_ref_clear(weakPage);
    delete weakPage;
}

JSClassRef senderClass()
{
    static JSClassRef made = [] {
        JSClassDefinition definition = kJSClassDefinitionEmpty;
        definition.className = "PagewickSender";
        definition.callAsFunction = sendCarried;
        definition.finalize = forgetPage;
        return JSClassCreate(&definition);
    }();
    return made;
}

JSValueRef evaluated(JSContextRef context, const std::string& source)
{
    const StringHandle script(JSStringCreateWithUTF8CString(source.c_str()));
    return JSEvaluateScript(context, script.string, nullptr, nullptr, 0, nullptr);
}

void install(JSContextRef context, WebKitWebPage* page, JSValueRef handler)
{
    JSValueRef installer = evaluated(context, installerSource);
    JSObjectRef call = installer ? JSValueToObject(context, installer, nullptr) : nullptr;
    if (!call || !JSObjectIsFunction(context, call)) return;
    auto* weakPage = new GWeakRef;
    g_weak_ref_init(weakPage, page);
    // As many pieces as there are cores to read them, within reason.
    const unsigned pieces = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    JSValueRef arguments[] = {handler, JSObjectMake(context, senderClass(), weakPage),
                              JSValueMakeNumber(context, static_cast<double>(pw::gtk::postedFileSizedLength)),
                              JSValueMakeNumber(context, pieces)};
    JSObjectCallAsFunction(context, call, nullptr, 4, arguments, nullptr);
}

void onWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame, gpointer)
{
    // Only the main frame's document may be the shell's page.
    if (!webkit_frame_is_main_frame(frame)) return;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    JSGlobalContextRef context = webkit_frame_get_javascript_context_for_script_world(frame, world);
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (!context) return;
    JSValueRef handler = evaluated(context, std::string("window.webkit && window.webkit.messageHandlers && "
                                                        "window.webkit.messageHandlers.") +
                                                pw::messageHandlerName);
    if (handler && JSValueIsObject(context, handler)) install(context, page, handler);
}

}  // namespace

void pw::gtk::carryFileSizedPosts()
{
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(onWindowObjectCleared),
                     nullptr);
}
