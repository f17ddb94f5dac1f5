// The view's calls of page functions whose arguments may be file-sized. A text that
// reaches the page inside a script costs the engine a parse of every character, and
// one passed through WebKit's own call is copied and serialised on both sides: either
// way seconds for a 100 MB file. Here the text is mapped from the memory file the view
// sent and made into one string of the page's engine.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gtk/web_process/owned.h"
#include "platform/gtk/web_process/page_hooks.h"
#include "platform/gtk/web_process/web_process_messages.h"
#include "platform/shared_text.h"

namespace {

using pw::gtk::Owned;
using pw::gtk::OwnedBytes;
using pw::gtk::OwnedVariant;

void release(gpointer bytes)
{
    delete static_cast<pw::SharedBytes*>(bytes);
}

// The string held by a memory file that nobody can shrink or change any more, so that
// its pages cannot go while they are read; nullptr for any other file.
JSCValue* mappedString(JSCContext* context, int fd, std::size_t& size)
{
    auto mapped = pw::mapSealedMemory(fd);
    if (!mapped) return nullptr;
    size = mapped->size();
    if (mapped->empty()) return jsc_value_new_string(context, "");
    auto* held = new pw::SharedBytes(std::move(*mapped));
    const OwnedBytes bytes(g_bytes_new_with_free_func(held->data(), held->size(), release, held));
    return jsc_value_new_string_from_bytes(context, bytes.get());
}

// One argument as a string of the page's engine; nullptr when it is neither a string
// nor the handle of such a file. `size`: the length of a string from a file.
Owned<JSCValue> argumentValue(JSCContext* context, GVariant* boxed, GUnixFDList* files, std::size_t& size)
{
    const OwnedVariant argument(g_variant_get_variant(boxed));
    if (g_variant_is_of_type(argument.get(), G_VARIANT_TYPE_STRING)) {
        const char* text = g_variant_get_string(argument.get(), nullptr);
        return Owned<JSCValue>(jsc_value_new_string(context, text));
    }
    if (!g_variant_is_of_type(argument.get(), G_VARIANT_TYPE_HANDLE) || !files) return {};
    const int fd = g_unix_fd_list_get(files, g_variant_get_handle(argument.get()), nullptr);
    if (fd < 0) return {};
    auto value = Owned<JSCValue>(mappedString(context, fd, size));
    ::close(fd);
    return value;
}

bool holds(JSCContext* context, const char* condition)
{
    const auto value = Owned<JSCValue>(jsc_context_evaluate(context, condition, -1));
    return value && jsc_value_is_boolean(value.get()) && jsc_value_to_boolean(value.get());
}

// Makes the call, or refuses it where its condition does not hold; false only when an
// argument could not be made here, so that the view makes the call another way.
bool callInPage(WebKitWebPage* page, WebKitUserMessage* message)
{
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE(pw::gtk::pageCallParameters))) return true;
    const char* condition = nullptr;
    const char* function = nullptr;
    GVariant* listed = nullptr;
    g_variant_get(parameters, "(&s&s@av)", &condition, &function, &listed);
    const OwnedVariant list(listed);

    // The main frame is the only one calls are for; WebKit keeps it reachable from the
    // page in this version of its interface.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    WebKitFrame* frame = webkit_web_page_get_main_frame(page);
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (!frame) return true;
    const auto context = Owned<JSCContext>(webkit_frame_get_js_context(frame));
    // Checked before a file-sized string is made, and again, by the body, at the call.
    if (!holds(context.get(), condition)) return true;

    const std::size_t count = g_variant_n_children(list.get());
    std::vector<Owned<JSCValue>> values;
    std::vector<JSCValue*> arguments;
    std::size_t mapped = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const OwnedVariant boxed(g_variant_get_child_value(list.get(), i));
        std::size_t size = 0;
        values.push_back(argumentValue(context.get(), boxed.get(), webkit_user_message_get_fd_list(message), size));
        mapped = std::max(mapped, size);
        if (!values.back()) return false;
        arguments.push_back(values.back().get());
    }
    const std::string source = pw::gtk::pageCallFunction(condition, function, count);
    const auto call = Owned<JSCValue>(jsc_context_evaluate(context.get(), source.c_str(), -1));
    if (call && jsc_value_is_function(call.get())) {
        const Owned<JSCValue> returned(
            jsc_value_function_callv(call.get(), static_cast<guint>(count), arguments.data()));
    }
    // What the page's function threw is the page's own affair, as for any script.
    jsc_context_clear_exception(context.get());
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (mapped >= pw::gtk::postedFileSizedLength) pw::gtk::collectFileSizedGarbage(webkit_frame_get_javascript_global_context(frame));
    G_GNUC_END_IGNORE_DEPRECATIONS
    return true;
}

gboolean onUserMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer)
{
    if (g_strcmp0(webkit_user_message_get_name(message), pw::gtk::pageCallMessage) != 0) return FALSE;
    const bool taken = callInPage(page, message);
    // The view holds the texts until this reply, and learns from it whether the call
    // was taken.
    webkit_user_message_send_reply(message,
                                   webkit_user_message_new(pw::gtk::pageCallMessage, g_variant_new_boolean(taken)));
    return TRUE;
}

}  // namespace

void pw::gtk::takePageCalls(WebKitWebPage* page)
{
    g_signal_connect(page, "user-message-received", G_CALLBACK(onUserMessage), nullptr);
}
