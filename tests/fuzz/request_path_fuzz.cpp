// The scheme handler's mapping from a request URI to a file: whatever the URI, the
// file lies below the served folder and its path has no piece that the file system
// would read as a step out of it or could cut short.
#include <filesystem>
#include <string>
#include <string_view>

#include "scheme/request_path.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The folder forms a caller may pass: with and without a trailing slash, relative, "/".
constexpr const char* roots[] = {"/srv/pagewick/web", "/srv/pagewick/web/", "web", "/"};

void checkPieces(std::string_view relative)
{
    FUZZ_CHECK(!relative.empty());
    std::size_t start = 0;
    for (;;) {
        const auto slash = relative.find('/', start);
        const std::string_view piece = relative.substr(start, slash == std::string_view::npos ? slash : slash - start);
        FUZZ_CHECK(!piece.empty());
        FUZZ_CHECK(piece != "." && piece != "..");
        if (slash == std::string_view::npos) return;
        start = slash + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::string root = roots[data[0] % std::size(roots)];
    const std::string_view uri(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The path is a piece of the URI itself, and decoding only ever shortens text.
    const std::string_view path = pw::uriPath(uri);
    FUZZ_CHECK(path.empty() || (path.data() >= uri.data() && path.data() + path.size() <= uri.data() + uri.size()));
    const std::string decoded = pw::percentDecode(path);
    FUZZ_CHECK(decoded.size() <= path.size());
    if (path.find('%') == std::string_view::npos) FUZZ_CHECK(decoded == path);

    const std::string relative = pw::relativeRequestPath(uri);
    const auto resolved = pw::resolvePath(root, uri);
    if (!resolved) {
        FUZZ_CHECK(relative.find('\0') != std::string::npos);
        return 0;
    }
    FUZZ_CHECK(resolved->find('\0') == std::string::npos);

    const std::string under = root.ends_with('/') ? root : root + "/";
    FUZZ_CHECK(resolved->starts_with(under));
    FUZZ_CHECK(resolved->substr(under.size()) == relative);
    checkPieces(relative);
    // What the file system would make of it stays below the folder too.
    const std::string normal = std::filesystem::path(*resolved).lexically_normal().string();
    FUZZ_CHECK(normal.starts_with(under));
    return 0;
}
