#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <random>

#include "scheme/request_path.h"

namespace pw {
namespace {

TEST(RequestPath, PathIsWhatLiesBetweenAuthorityAndQueryOrFragment)
{
    const std::pair<const char*, const char*> cases[] = {
        {"pagewick://app/a/b.js?x=/y#/z", "/a/b.js"}, {"pagewick://app", ""}, {"pagewick://app?x", ""},
        {"pagewick://app#/x", ""}, {"pagewick:/x", "/x"}, {"/x#y", "/x"}, {"a/b:c", "a/b:c"},
        {"pagewick://app/%2F?", "/%2F"}, {"", ""}};
    for (const auto& [uri, path] : cases) EXPECT_EQ(uriPath(uri), path) << uri;
}

TEST(RequestPath, OnlyWellFormedEscapesAreDecodedAndOnlyOnce)
{
    EXPECT_EQ(percentDecode("%41%4a%4A%c3%A9"), "AJJ\xc3\xa9");
    EXPECT_EQ(percentDecode("%00"), std::string(1, '\0'));
    EXPECT_EQ(percentDecode("%zz % %4 %4g %%41 %2541"), "%zz % %4 %4g %A %41");
}

TEST(RequestPath, NulPiecesResolveToNothing)
{
    EXPECT_EQ(resolvePath("/srv/web", "pagewick://app/a%2Fb"), "/srv/web/a/b");
    EXPECT_EQ(resolvePath("/srv/web/", "pagewick://app/"), "/srv/web/index.html");
    EXPECT_EQ(resolvePath("/srv/web", "pagewick://app/a%00.html"), std::nullopt);
}

// Every answer lies strictly below the root, whatever the request: thousands of random
// requests built from hostile fragments and raw bytes.
TEST(RequestPath, RandomHostileRequestsStayBelowTheRoot)
{
    const std::string root = "/srv/web";
    const char* fragments[] = {"/", "//", ".", "..", "...", "%2e", "%2E", "%2f", "%2F", "%5c", "\\", "%00", "%",
                               "%2", "%%", "?", "#", ":", "a", ".a", "\xc3\xa9", "%c3", "pagewick://", "app"};
    std::mt19937 random(20240611);
    for (int i = 0; i < 5000; ++i) {
        std::string uri = i % 2 ? "pagewick://app" : "";
        const int length = static_cast<int>(random() % 24);
        for (int j = 0; j < length; ++j)
            uri += i % 5 == 0 ? std::string(1, static_cast<char>(random() % 256)) : fragments[random() % std::size(fragments)];

        const auto resolved = resolvePath(root, uri);
        if (!resolved) {
            EXPECT_NE(percentDecode(uriPath(uri)).find('\0'), std::string::npos) << uri;
            continue;
        }
        ASSERT_TRUE(resolved->starts_with(root + "/")) << uri;
        const std::filesystem::path relative = resolved->substr(root.size() + 1);
        for (const auto& piece : relative) EXPECT_TRUE(piece != "" && piece != "." && piece != "..") << uri;
        EXPECT_TRUE(std::filesystem::path(*resolved).lexically_normal().string().starts_with(root + "/")) << uri;
    }
}

}  // namespace
}  // namespace pw
