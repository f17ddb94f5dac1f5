#include "scheme/request_path.h"

#include <algorithm>

#include "common/text.h"

namespace pw {

namespace {

// Length of a leading "scheme:", 0 when the text has none, in which case it is read as
// a path reference.
std::size_t schemeLength(std::string_view uri)
{
    const std::string_view scheme = uriScheme(uri);
    return scheme.empty() ? 0 : scheme.size() + 1;
}

bool isDotPiece(std::string_view piece)
{
    return piece == "." || piece == "..";
}

std::string joinUnder(const std::string& root, const std::string& relative)
{
    if (root.empty()) return relative;
    return root.back() == '/' ? root + relative : root + "/" + relative;
}

}  // namespace

std::string_view uriPath(std::string_view uri)
{
    std::string_view rest = uri.substr(schemeLength(uri));
    if (rest.starts_with("//")) {
        const auto pathStart = rest.find_first_of("/?#", 2);
        rest = pathStart == std::string_view::npos ? std::string_view{} : rest.substr(pathStart);
    }
    return rest.substr(0, rest.find_first_of("?#"));
}

std::string percentDecode(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && text.size() - i >= 3) {
            const int high = hexDigitValue(text[i + 1]);
            const int low = hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

std::string relativeRequestPath(std::string_view uri)
{
    const std::string path = percentDecode(uriPath(uri));
    std::string relative;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto slash = std::min(path.find('/', start), path.size());
        const std::string_view piece(path.data() + start, slash - start);
        if (!piece.empty() && !isDotPiece(piece)) {
            if (!relative.empty()) relative += '/';
            relative += piece;
        }
        start = slash + 1;
    }
    return relative.empty() ? "index.html" : relative;
}

std::optional<std::string> resolvePath(const std::string& root, std::string_view uri)
{
    const std::string relative = relativeRequestPath(uri);
    if (relative.find('\0') != std::string::npos) return std::nullopt;
    return joinUnder(root, relative);
}

}  // namespace pw
