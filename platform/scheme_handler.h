#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pw {

// An HTTP-style answer to a request under the application's private scheme.
struct SchemeResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<std::vector<std::uint8_t>> body;  // nullopt: no data block at all
};

// Answers requests under a private URL scheme. Called on the main thread.
class SchemeHandler {
public:
    virtual ~SchemeHandler() = default;
    // `uri` is the request's URL as the web view has it (path still percent-encoded);
    // nullopt when the request has none, which fails with the bad-URL error.
    virtual std::optional<SchemeResponse> respond(const std::optional<std::string>& uri) const = 0;
};

}  // namespace pw
