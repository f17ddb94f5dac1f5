#include "platform/gtk/gtk_uri_scheme.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/gtk/gobject_ptr.h"

namespace pw::gtk {

namespace {

using Bytes = std::vector<std::uint8_t>;

void deleteBytes(gpointer bytes)
{
    delete static_cast<Bytes*>(bytes);
}

void deleteHandler(gpointer handler)
{
    delete static_cast<std::shared_ptr<SchemeHandler>*>(handler);
}

// A stream over the body that owns the bytes: they are handed to GLib as they are,
// not copied again, and freed when WebKit has read them and dropped the stream.
GObjectPtr<GInputStream> streamOver(std::optional<Bytes>&& body)
{
    if (!body || body->empty()) return GObjectPtr<GInputStream>::adopt(g_memory_input_stream_new());
    auto* owned = new Bytes(std::move(*body));
    const GBytesPtr bytes(g_bytes_new_with_free_func(owned->data(), owned->size(), deleteBytes, owned));
    return GObjectPtr<GInputStream>::adopt(g_memory_input_stream_new_from_bytes(bytes.get()));
}

SoupMessageHeaders* headersOf(const SchemeResponse& response)
{
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    for (const auto& [name, value] : response.headers) soup_message_headers_append(headers, name.c_str(), value.c_str());
    return headers;
}

const std::string* contentTypeOf(const SchemeResponse& response)
{
    for (const auto& [name, value] : response.headers)
        if (g_ascii_strcasecmp(name.c_str(), "Content-Type") == 0) return &value;
    return nullptr;
}

void failBadUrl(WebKitURISchemeRequest* request)
{
    const GErrorPtr error(g_error_new_literal(G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT, "Bad URL"));
    webkit_uri_scheme_request_finish_error(request, error.get());
}

void finishWith(WebKitURISchemeRequest* request, SchemeResponse&& answer)
{
    const gint64 length = answer.body ? static_cast<gint64>(answer.body->size()) : 0;
    const auto stream = streamOver(std::move(answer.body));
    const auto response =
        GObjectPtr<WebKitURISchemeResponse>::adopt(webkit_uri_scheme_response_new(stream.get(), length));

    webkit_uri_scheme_response_set_status(response.get(), static_cast<guint>(answer.status), nullptr);
    if (const std::string* contentType = contentTypeOf(answer))
        webkit_uri_scheme_response_set_content_type(response.get(), contentType->c_str());
    webkit_uri_scheme_response_set_http_headers(response.get(), headersOf(answer));  // takes the headers
    webkit_uri_scheme_request_finish_with_response(request, response.get());
}

void answerRequest(WebKitURISchemeRequest* request, gpointer data)
{
    const auto& handler = *static_cast<std::shared_ptr<SchemeHandler>*>(data);
    const gchar* uri = webkit_uri_scheme_request_get_uri(request);
    auto answer = handler->respond(uri ? std::optional<std::string>(uri) : std::nullopt);
    if (answer)
        finishWith(request, std::move(*answer));
    else
        failBadUrl(request);
}

}  // namespace

void registerScheme(WebKitWebContext* context, const std::string& scheme, std::shared_ptr<SchemeHandler> handler)
{
    webkit_web_context_register_uri_scheme(context, scheme.c_str(), answerRequest,
                                           new std::shared_ptr<SchemeHandler>(std::move(handler)), deleteHandler);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
    webkit_security_manager_register_uri_scheme_as_secure(security, scheme.c_str());
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, scheme.c_str());
}

}  // namespace pw::gtk
