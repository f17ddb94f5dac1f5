#include "platform/gtk/page_call.h"

#include <gio/gunixfdlist.h>

#include <memory>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/web_process/web_process_messages.h"

namespace pw::gtk {

namespace {

// A call on its way: kept until the page's process answers, so that the texts can still
// be read when the call has to be made another way.
struct SentCall {
    std::string condition;
    std::string function;
    std::vector<PageArgument> arguments;
};

bool isPageString(const std::string& text)
{
    // With its length given, g_utf8_validate refuses a NUL as well, which a GVariant
    // string cannot hold.
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

// The message's parameters and the memory files it carries; nullptr when an argument
// cannot be sent (a string that is not UTF-8, a text not sealed).
GVariant* messageParameters(const SentCall& call, GUnixFDList* files)
{
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("av"));
    for (const auto& argument : call.arguments) {
        GVariant* value = nullptr;
        if (const auto* text = std::get_if<std::string>(&argument)) {
            if (isPageString(*text)) value = g_variant_new_string(text->c_str());
        } else if (const auto& shared = std::get<SharedText>(argument); shared.sealed()) {
            const int index = g_unix_fd_list_append(files, shared.descriptor(), nullptr);
            if (index >= 0) value = g_variant_new_handle(index);
        }
        if (!value) {
            g_variant_builder_clear(&list);
            return nullptr;
        }
        g_variant_builder_add(&list, "v", value);
    }
    return g_variant_new("(ss@av)", call.condition.c_str(), call.function.c_str(), g_variant_builder_end(&list));
}

void finishFallback(GObject* source, GAsyncResult* result, gpointer)
{
    // Finished so that WebKit lets go of what it kept for the script.
    GError* error = nullptr;
    const auto value = GObjectPtr<JSCValue>::adopt(
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error));
    const GErrorPtr failure(error);
}

// The same call as a script, the arguments written into it as JSON strings. Not WebKit's
// own call of a function with arguments: that keeps a copy of each in this process until
// its engine here next collects.
void callByScript(WebKitWebView* view, const SentCall& call)
{
    std::string script = pageCallFunction(call.condition, call.function, call.arguments.size()) + "(";
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
        std::optional<std::string> read;
        const std::string* value = std::get_if<std::string>(&call.arguments[i]);
        if (!value) {
            read = std::get<SharedText>(call.arguments[i]).read();
            value = read ? &*read : nullptr;
        }
        if (!value || !isPageString(*value)) return;
        script += (i ? ", " : "") + nlohmann::json(*value).dump();
    }
    script += ")";
    webkit_web_view_evaluate_javascript(view, script.data(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, finishFallback, nullptr);
}

bool wasTaken(WebKitUserMessage* reply)
{
    GVariant* answer = reply ? webkit_user_message_get_parameters(reply) : nullptr;
    return answer && g_variant_is_of_type(answer, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(answer);
}

void finishMessage(GObject* source, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<SentCall> call(static_cast<SentCall*>(data));
    GError* error = nullptr;
    const auto reply = GObjectPtr<WebKitUserMessage>::adopt(
        webkit_web_view_send_message_to_page_finish(WEBKIT_WEB_VIEW(source), result, &error));
    const GErrorPtr failure(error);
    if (failure ? g_error_matches(failure.get(), WEBKIT_USER_MESSAGE_ERROR, WEBKIT_USER_MESSAGE_UNHANDLED_MESSAGE)
                : !wasTaken(reply.get()))
        callByScript(WEBKIT_WEB_VIEW(source), *call);
}

}  // namespace

void sendPageCall(WebKitWebView* view, std::string condition, std::string function,
                  std::vector<PageArgument> arguments)
{
    auto call = std::make_unique<SentCall>(SentCall{std::move(condition), std::move(function), std::move(arguments)});
    const auto files = GObjectPtr<GUnixFDList>::adopt(g_unix_fd_list_new());
    GVariant* parameters = messageParameters(*call, files.get());
    if (!parameters) return;
    // The message takes the floating parameters; sending takes the floating message.
    webkit_web_view_send_message_to_page(
        view, webkit_user_message_new_with_fd_list(pageCallMessage, parameters, files.get()), nullptr, finishMessage,
        call.release());
}

}  // namespace pw::gtk
