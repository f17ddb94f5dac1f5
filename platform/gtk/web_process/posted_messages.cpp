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
// where a page fault is dear that alone costs more than the rest of the save.

#include <gio/gunixfdlist.h>
#include <sys/mman.h>

#include <JavaScriptCore/JavaScript.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

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
constexpr const char* installerSource = R"((function (handler, send, large) {
    'use strict';
    const prototype = Object.getPrototypeOf(handler);
    const post = prototype.postMessage;
    const keysOf = Object.keys, isArray = Array.isArray, bare = Object.create, apply = Reflect.apply;
    const wellFormed = String.prototype.isWellFormed;
    if (typeof wellFormed !== 'function') return;
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
                fileSized[names[i]] = value;
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
    StringHandle(const StringHandle&) = delete;
    StringHandle& operator=(const StringHandle&) = delete;
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

// A sealed memory file holding the bytes, added to the list; its index there, or -1.
gint32 sealedFile(const std::uint8_t* data, std::size_t size, GUnixFDList* files)
{
    auto file = pw::SharedText::create(size);
    if (!file || !file->write(0, reinterpret_cast<const char*>(data), size) || !file->seal()) return -1;
    // The list keeps a duplicate of the descriptor; the file's own closes with it.
    return g_unix_fd_list_append(files, file->descriptor(), nullptr);
}

// The bytes a file-sized string encodes, in a sealed memory file; -1 when it is not
// strict Base64 (so not all ASCII, one byte a character) or the file cannot be made.
gint32 decodedFile(JSStringRef string, GUnixFDList* files)
{
    const TextBuffer text(JSStringGetMaximumUTF8CStringSize(string));
    if (!text.data()) return -1;
    const std::size_t size = utf8Into(string, text.data(), text.size());
    if (size != JSStringGetLength(string)) return -1;
    const auto bytes = pw::base64::decode(std::string_view(text.data(), size));
    return bytes ? sealedFile(bytes->data(), bytes->size(), files) : -1;
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
        added = key.find('\0') == std::string::npos && property && JSValueIsString(context, property) &&
                add(key, StringHandle(JSValueToStringCopy(context, property, nullptr)));
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
                        [&](const std::string& name, const StringHandle& value) {
                            const std::string text = utf8Of(value.string);
                            g_variant_builder_add(&parts[0], "{s@ay}", name.c_str(),
                                                  g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, text.data(),
                                                                            text.size(), 1));
                            return true;
                        }) &&
        forEachProperty(context, fileSized, [&](const std::string& name, const StringHandle& value) {
            const gint32 index = decodedFile(value.string, files);
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
    JSValueRef arguments[] = {handler, JSObjectMake(context, senderClass(), weakPage),
                              JSValueMakeNumber(context, static_cast<double>(pw::gtk::postedFileSizedLength))};
    JSObjectCallAsFunction(context, call, nullptr, 3, arguments, nullptr);
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
