// Messages the page posts to the shell with a file-sized Base64 string (a save). WebKit
// copies and serialises such a message in this process and again in the view's, which
// takes seconds for a 100 MB file. Here the string is decoded and its bytes handed over
// in a sealed memory file; the view reads the message as the one the page posted and
// judges it by the same rules. A post that holds anything but well-formed strings, a
// large one that is not strict Base64, or one that cannot be carried so for any other
// reason, goes WebKit's way.
//
// The small strings are read through the engine's C interface, which writes a string's
// UTF-8 into memory of ours (the GLib one allocates it afresh every time). A file-sized
// one is not read as text at all: reading it out goes a character at a time, a good
// part of a second for a 100 MB file. The engine's own decoder turns it, a megabyte at
// a time, into one small buffer that is written to its place in the memory file before
// the next: the file is never held a second time while it is carried.

#include <gio/gunixfdlist.h>

#include <JavaScriptCore/JavaScript.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/app_constants.h"
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
constexpr const char* installerSource = R"((function (handler, send, large, pieceLength) {
    'use strict';
    const prototype = Object.getPrototypeOf(handler);
    const post = prototype.postMessage;
    const keysOf = Object.keys, isArray = Array.isArray, bare = Object.create, apply = Reflect.apply;
    const wellFormed = String.prototype.isWellFormed, slice = String.prototype.slice;
    const define = Object.defineProperty, fromBase64 = Uint8Array.prototype.setFromBase64, Bytes = Uint8Array;
    if (typeof wellFormed !== 'function' || typeof fromBase64 !== 'function') return;
    const strict = Object.freeze({ __proto__: null, lastChunkHandling: 'strict' });
    const pieceBytes = pieceLength / 4 * 3;
    let buffer = null;
    // Decodes a piece into the buffer: how many bytes it holds, or -1 unless the piece
    // is strict Base64 (the engine skips white space; that leaves bytes short) and, but
    // for the last, a whole piece without padding.
    const decode = (piece, last) => {
        buffer ??= new Bytes(pieceBytes);
        const padding = !last ? 0 : piece[piece.length - 1] !== '=' ? 0 : piece[piece.length - 2] !== '=' ? 1 : 2;
        const expected = last ? piece.length / 4 * 3 - padding : piece.length === pieceLength ? pieceBytes : -1;
        try {
            const { read, written } = apply(fromBase64, buffer, [piece, strict]);
            return read === piece.length && written === expected ? written : -1;
        } catch {
            return -1;
        }
    };
    // A file-sized string in pieces of whole groups of four.
    const piecesOf = (value) => {
        const parts = [];
        for (let at = 0, i = 0; at < value.length; at += pieceLength, i++) {
            const piece = apply(slice, value, [at, at + pieceLength]);
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
        return any && send(strings, fileSized, decode, buffer ??= new Bytes(pieceBytes));
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

// The wrapper's decoder of pieces, and the buffer it decodes into.
struct PieceDecoder {
    JSContextRef context;
    JSObjectRef decode;
    JSObjectRef buffer;

    // The bytes a piece encodes, valid until the next piece; nullopt when the decoder
    // refuses the piece.
    std::optional<std::span<const std::uint8_t>> operator()(JSValueRef piece, bool last) const
    {
        JSValueRef arguments[] = {piece, JSValueMakeBoolean(context, last)};
        JSValueRef result = JSObjectCallAsFunction(context, decode, nullptr, 2, arguments, nullptr);
        const double written = result && JSValueIsNumber(context, result) ? JSValueToNumber(context, result, nullptr) : -1;
        const std::size_t size = JSObjectGetTypedArrayByteLength(context, buffer, nullptr);
        const auto* bytes = static_cast<const std::uint8_t*>(JSObjectGetTypedArrayBytesPtr(context, buffer, nullptr));
        if (!(written >= 0 && written <= static_cast<double>(size)) || !bytes) return std::nullopt;
        return std::span(bytes + JSObjectGetTypedArrayByteOffset(context, buffer, nullptr), static_cast<std::size_t>(written));
    }
};

bool writeAt(pw::SharedText& file, std::size_t at, std::span<const std::uint8_t> bytes)
{
    return file.write(at, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

constexpr std::size_t pieceBytes = pw::gtk::postedPieceLength / 4 * 3;
static_assert(pw::gtk::postedPieceLength % 4 == 0);

// The bytes the pieces of a file-sized string encode, in a sealed memory file added to
// the list; its index there, or -1 when the string is not strict Base64 or the file
// cannot be made. Every piece but the last is a whole one: the last is decoded first,
// for the size of the file.
gint32 decodedFile(const PieceDecoder& decode, const std::vector<JSValueRef>& pieces, GUnixFDList* files)
{
    if (pieces.empty()) return -1;
    const std::size_t whole = pieces.size() - 1;
    const auto last = decode(pieces.back(), true);
    if (!last) return -1;
    auto file = pw::SharedText::create(whole * pieceBytes + last->size());
    if (!file || !writeAt(*file, whole * pieceBytes, *last)) return -1;
    for (std::size_t i = 0; i < whole; ++i) {
        const auto bytes = decode(pieces[i], false);
        if (!bytes || bytes->size() != pieceBytes || !writeAt(*file, i * pieceBytes, *bytes)) return -1;
    }
    // The list keeps a duplicate of the descriptor; the file's own closes with it.
    return file->seal() ? g_unix_fd_list_append(files, file->descriptor(), nullptr) : -1;
}

// The pieces of a file-sized string as the wrapper made them: an array of strings.
std::optional<std::vector<JSValueRef>> piecesOf(JSContextRef context, JSValueRef value)
{
    JSObjectRef array = JSValueToObject(context, value, nullptr);
    if (!array || !JSValueIsArray(context, value)) return std::nullopt;
    const StringHandle lengthName(JSStringCreateWithUTF8CString("length"));
    const double count = JSValueToNumber(context, JSObjectGetProperty(context, array, lengthName.string, nullptr), nullptr);
    constexpr double most = static_cast<double>(std::numeric_limits<std::int32_t>::max() / pw::gtk::postedPieceLength + 1);
    if (!(count >= 1 && count <= most)) return std::nullopt;
    std::vector<JSValueRef> pieces;
    pieces.reserve(static_cast<std::size_t>(count));
    for (unsigned i = 0; i < static_cast<unsigned>(count); ++i) {
        JSValueRef piece = JSObjectGetPropertyAtIndex(context, array, i, nullptr);
        if (!piece || !JSValueIsString(context, piece)) return std::nullopt;
        pieces.push_back(piece);
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
GVariant* carriedParameters(JSContextRef context, JSValueRef strings, JSValueRef fileSized, const PieceDecoder& decode,
                            GUnixFDList* files)
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
            const gint32 index = pieces ? decodedFile(decode, *pieces, files) : -1;
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

// The wrapper's send(strings, fileSized, decode, buffer): true once the message is on
// its way.
JSValueRef sendCarried(JSContextRef context, JSObjectRef function, JSObjectRef, std::size_t count,
                       const JSValueRef arguments[], JSValueRef*)
{
    auto* weakPage = static_cast<GWeakRef*>(JSObjectGetPrivate(function));
    const Owned<WebKitWebPage> page(weakPage ? static_cast<WebKitWebPage*>(g_weak_ref_get(weakPage)) : nullptr);
    if (!page || count != 4) return JSValueMakeBoolean(context, false);
    JSObjectRef decode = JSValueToObject(context, arguments[2], nullptr);
    JSObjectRef buffer = JSValueToObject(context, arguments[3], nullptr);
    if (!decode || !JSObjectIsFunction(context, decode) || !buffer ||
        JSValueGetTypedArrayType(context, buffer, nullptr) != kJSTypedArrayTypeUint8Array)
        return JSValueMakeBoolean(context, false);
    const Owned<GUnixFDList> files(g_unix_fd_list_new());
    GVariant* parameters =
        carriedParameters(context, arguments[0], arguments[1], PieceDecoder{context, decode, buffer}, files.get());
    if (!parameters) return JSValueMakeBoolean(context, false);
    // Both the message and its parameters are floating: sending the message takes it.
    WebKitUserMessage* message = webkit_user_message_new_with_fd_list(pw::gtk::postedMessage, parameters, files.get());
    webkit_web_page_send_message_to_view(page.get(), message, nullptr, nullptr, nullptr);
    pw::gtk::collectFileSizedGarbage(JSContextGetGlobalContext(context));
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
    JSValueRef arguments[] = {handler, JSObjectMake(context, senderClass(), weakPage),
                              JSValueMakeNumber(context, static_cast<double>(pw::gtk::postedFileSizedLength)),
                              JSValueMakeNumber(context, static_cast<double>(pw::gtk::postedPieceLength))};
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
