#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pw {

// The path of a URI, still percent-encoded: what follows the scheme and the authority,
// up to the query or the fragment.
std::string_view uriPath(std::string_view uri);

// Decodes every "%" followed by two hexadecimal digits; any other "%" stays as it is.
std::string percentDecode(std::string_view text);

// The file a request names, relative to the served folder: the decoded path split at
// "/", with empty, "." and ".." pieces dropped and the rest joined with "/";
// "index.html" when nothing is left. No piece of the result can climb out of the folder.
std::string relativeRequestPath(std::string_view uri);

// The file below `root` that a request may read; nullopt when the relative path holds
// a NUL byte, which the file system would silently cut short.
std::optional<std::string> resolvePath(const std::string& root, std::string_view uri);

}  // namespace pw
