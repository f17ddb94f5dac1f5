#pragma once

#include <optional>
#include <string>

#include "platform/scheme_handler.h"

namespace pw {

// Serves the page's files from `root` under the private scheme: the URL's path names a
// file below `root`, read whole and answered with its type, length and two fixed
// headers; anything unreadable is a 404 without a body. Keeps no state between
// requests and caches nothing.
class AppSchemeHandler : public SchemeHandler {
public:
    explicit AppSchemeHandler(std::string root);

    std::optional<SchemeResponse> respond(const std::optional<std::string>& uri) const override;

private:
    std::string root_;
};

}  // namespace pw
