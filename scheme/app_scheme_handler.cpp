#include "scheme/app_scheme_handler.h"

#include <map>
#include <utility>

#include "common/text.h"
#include "platform/file_io.h"
#include "scheme/request_path.h"

namespace pw {

namespace {

// Lower-case file extension -> MIME type. Built once on first use (thread-safe as a
// function-local static), read-only afterwards.
const std::map<std::string, std::string, std::less<>>& types()
{
    static const std::map<std::string, std::string, std::less<>> table{
        {"html", "text/html; charset=utf-8"},
        {"js", "text/javascript; charset=utf-8"},
        {"mjs", "text/javascript; charset=utf-8"},
        {"css", "text/css; charset=utf-8"},
        {"json", "application/json"},
        {"webmanifest", "application/manifest+json"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"svg", "image/svg+xml"},
        {"ico", "image/x-icon"},
        {"wasm", "application/wasm"},
        {"ttf", "font/ttf"},
        {"otf", "font/otf"},
        {"woff", "font/woff"},
        {"woff2", "font/woff2"},
        {"bcmap", "application/octet-stream"},
        {"ftl", "text/plain; charset=utf-8"},
        {"txt", "text/plain; charset=utf-8"},
    };
    return table;
}

// The extension of the path's last piece, lower-cased (ASCII only: the table's keys
// are ASCII). A name whose only dot is its first character, such as ".env", has none.
std::string lowerCaseExtension(const std::string& relativePath)
{
    const auto slash = relativePath.rfind('/');
    const std::string name = slash == std::string::npos ? relativePath : relativePath.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return asciiLowered(std::string_view(name).substr(dot + 1));
}

std::string contentTypeFor(const std::string& relativePath)
{
    const auto& table = types();
    const auto found = table.find(lowerCaseExtension(relativePath));
    return found == table.end() ? "application/octet-stream" : found->second;
}

}  // namespace

AppSchemeHandler::AppSchemeHandler(std::string root) : root_(std::move(root)) {}

std::optional<SchemeResponse> AppSchemeHandler::respond(const std::optional<std::string>& uri) const
{
    if (!uri) return std::nullopt;

    // The type follows the name even when nothing can be read.
    const std::string contentType = contentTypeFor(relativeRequestPath(*uri));
    const auto file = resolvePath(root_, *uri);
    auto data = file ? readWholeFile(*file) : std::nullopt;

    SchemeResponse response;
    response.status = data ? 200 : 404;
    response.headers = {
        {"Content-Type", contentType},
        {"Content-Length", std::to_string(data ? data->size() : 0)},
        {"Access-Control-Allow-Origin", "*"},
        {"Cache-Control", "no-cache"},
    };
    response.body = std::move(data);
    return response;
}

}  // namespace pw
