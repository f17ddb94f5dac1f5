#pragma once

#include <string>
#include <utility>

#include <libsoup/soup.h>

namespace pw::testing {

// Serves one page on 127.0.0.1 from the test's own main loop.
class LocalWebServer {
public:
    explicit LocalWebServer(std::string page) : page_(std::move(page))
    {
        server_ = soup_server_new(nullptr, nullptr);
        soup_server_add_handler(
            server_, nullptr,
            +[](SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer self) {
                const auto& page = static_cast<LocalWebServer*>(self)->page_;
                soup_server_message_set_status(message, 200, nullptr);
                soup_server_message_set_response(message, "text/html", SOUP_MEMORY_COPY, page.data(), page.size());
            },
            this, nullptr);
        soup_server_listen_local(server_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr);
        GSList* uris = soup_server_get_uris(server_);
        char* uri = g_uri_to_string(static_cast<GUri*>(uris->data));
        url_ = std::string(uri) + "frame.html";
        g_free(uri);
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~LocalWebServer() { g_object_unref(server_); }
    const std::string& url() const { return url_; }

private:
    std::string page_;
    SoupServer* server_;
    std::string url_;
};

}  // namespace pw::testing
