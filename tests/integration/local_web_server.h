#pragma once

#include <string>
#include <utility>
#include <vector>

#include <libsoup/soup.h>

namespace pw::testing {

// Serves one page on 127.0.0.1 from the test's own main loop, and records every request
// it gets (path and query, then the body). Requests for paths under /never/ are held
// open and never answered, as a server that hangs would.
class LocalWebServer {
public:
    explicit LocalWebServer(std::string page) : page_(std::move(page))
    {
        server_ = soup_server_new(nullptr, nullptr);
        soup_server_add_handler(server_, nullptr, &LocalWebServer::answer, this, nullptr);
        soup_server_listen_local(server_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr);
        GSList* uris = soup_server_get_uris(server_);
        char* uri = g_uri_to_string(static_cast<GUri*>(uris->data));
        root_ = uri;
        url_ = root_ + "frame.html";
        g_free(uri);
        g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    }
    ~LocalWebServer() { g_object_unref(server_); }
    const std::string& url() const { return url_; }
    // http://127.0.0.1:<port>/
    const std::string& root() const { return root_; }
    const std::vector<std::string>& requests() const { return requests_; }
    bool received(const std::string& pathAndQuery) const
    {
        for (const auto& request : requests_)
            if (request.starts_with(pathAndQuery)) return true;
        return false;
    }

private:
    static void answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer data)
    {
        auto* self = static_cast<LocalWebServer*>(data);
        GUri* uri = soup_server_message_get_uri(message);
        const char* query = g_uri_get_query(uri);
        std::string request = std::string(path) + (query ? std::string("?") + query : "");
        SoupMessageBody* body = soup_server_message_get_request_body(message);
        if (body && body->length > 0) request += " " + std::string(body->data, static_cast<std::size_t>(body->length));
        self->requests_.push_back(request);
        if (g_str_has_prefix(path, "/never/")) {
            soup_server_message_pause(message);
            return;
        }
        soup_server_message_set_status(message, 200, nullptr);
        soup_server_message_set_response(message, "text/html", SOUP_MEMORY_COPY, self->page_.data(), self->page_.size());
    }

    std::string page_;
    SoupServer* server_;
    std::string root_;
    std::string url_;
    std::vector<std::string> requests_;
};

}  // namespace pw::testing
