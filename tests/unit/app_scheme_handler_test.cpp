#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "scheme/app_scheme_handler.h"
#include "tests/fakes/temp_dir.h"

namespace pw {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

Headers fourHeaders(const std::string& type, const std::string& length)
{
    return {{"Content-Type", type}, {"Content-Length", length}, {"Access-Control-Allow-Origin", "*"}, {"Cache-Control", "no-cache"}};
}

// A web tree inside an outer folder, so that a file one level above the root exists.
class AppSchemeHandlerTest : public ::testing::Test {
protected:
    AppSchemeHandlerTest()
    {
        dir.write("secret", "outside");
        dir.write("web/secret", "inside");
        dir.write("web/index.html", "<p>index</p>");
        dir.write("web/build/app.mjs", "export {}");
        dir.write("web/locale/en.ftl", "hello = Hello");
        dir.write("web/Logo.PNG", std::string("\x89PNG\0\xff", 6));
        dir.write("web/empty.txt", "");
        dir.write("web/LICENSE", "MIT");
        dir.write("web/a b.txt", "space");
        dir.write("web/\xc3\xa9t\xc3\xa9.txt", "utf8");
        dir.write("web/100%zz.txt", "literal");
        dir.write("web/a", "just a");
    }

    SchemeResponse get(const std::string& path) const
    {
        auto response = handler.respond("pagewick://app" + path);
        EXPECT_TRUE(response.has_value()) << path;
        return response.value_or(SchemeResponse{});
    }

    std::string body(const std::string& path) const
    {
        const auto response = get(path);
        if (response.status != 200 || !response.body) return "status " + std::to_string(response.status);
        return std::string(response.body->begin(), response.body->end());
    }

    testing::TempDir dir;
    AppSchemeHandler handler{dir.path() + "/web"};
};

TEST_F(AppSchemeHandlerTest, EmptyPathsQueriesAndFragmentsServeTheIndex)
{
    for (const char* path : {"", "/", "/./././", "/index.html?x=1&y=/../secret", "/index.html#/nope", "?q#f"}) {
        const auto response = get(path);
        EXPECT_EQ(response.status, 200) << path;
        EXPECT_EQ(response.headers, fourHeaders("text/html; charset=utf-8", "12")) << path;
    }
    EXPECT_EQ(handler.respond("pagewick://another-host/")->body, get("/").body);
}

TEST_F(AppSchemeHandlerTest, PiecesAreDecodedAndDotPiecesDroppedNotResolved)
{
    EXPECT_EQ(body("//build///app.mjs"), "export {}");
    EXPECT_EQ(get("//build///app.mjs").headers[0].second, "text/javascript; charset=utf-8");
    EXPECT_EQ(body("/build/../app.mjs"), "export {}");  // resolving ".." would have given /app.mjs
    EXPECT_EQ(body("/../build/./app.mjs"), "export {}");
    for (const char* path : {"/../../secret", "/%2e%2e/secret", "/%2E%2E%2F%2e%2e%2Fsecret", "/%2F..%2F..%2Fsecret"})
        EXPECT_EQ(body(path), "inside") << path;
    EXPECT_EQ(body("/.../secret"), "status 404");  // three dots is an ordinary name
    EXPECT_EQ(body("/a%20b.txt"), "space");
    EXPECT_EQ(body("/%C3%A9t%c3%a9.txt"), "utf8");
    EXPECT_EQ(body("/100%zz.txt"), "literal");  // an invalid escape stays literal
}

TEST_F(AppSchemeHandlerTest, NothingAboveTheRootIsReachable)
{
    // Here "secret" exists only one level above the root.
    const AppSchemeHandler inner(dir.path() + "/web/build");
    for (const char* path : {"/../secret", "/%2e%2e%2fsecret", "/..%2F..%2Fsecret", "/%2F%2E%2E/secret"})
        EXPECT_EQ(inner.respond(std::string("pagewick://app") + path)->status, 404) << path;
}

TEST_F(AppSchemeHandlerTest, NulBytesNeverReachTheFileSystem)
{
    for (const char* path : {"/a%00", "/a%00.html", "/%00/a", "/%00"}) EXPECT_EQ(get(path).status, 404) << path;
    EXPECT_EQ(get("/a%00.html").headers, fourHeaders("text/html; charset=utf-8", "0"));
}

TEST_F(AppSchemeHandlerTest, UnreadableThingsAre404WithTheFourHeadersAndNoBody)
{
    ASSERT_EQ(::mkfifo((dir.path() + "/web/pipe.js").c_str(), 0600), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"/nope.css", "text/css; charset=utf-8"}, {"/locale", "application/octet-stream"},
        {"/locale/", "application/octet-stream"}, {"/pipe.js", "text/javascript; charset=utf-8"}};
    for (const auto& [path, type] : cases) {
        const auto response = get(path);
        EXPECT_EQ(response.status, 404) << path;
        EXPECT_EQ(response.headers, fourHeaders(type, "0")) << path;
        EXPECT_FALSE(response.body.has_value()) << path;
    }
    if (::geteuid() != 0) {
        ::chmod((dir.path() + "/web/LICENSE").c_str(), 0);
        EXPECT_EQ(get("/LICENSE").status, 404);
    }
}

TEST_F(AppSchemeHandlerTest, BodiesAreExactAndEmptyFilesStillSendOneBlock)
{
    const auto logo = get("/Logo.PNG");
    EXPECT_EQ(logo.headers, fourHeaders("image/png", "6"));
    EXPECT_EQ(std::string(logo.body->begin(), logo.body->end()), std::string("\x89PNG\0\xff", 6));

    const auto empty = get("/empty.txt");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.headers, fourHeaders("text/plain; charset=utf-8", "0"));
    ASSERT_TRUE(empty.body.has_value());
    EXPECT_TRUE(empty.body->empty());
}

TEST_F(AppSchemeHandlerTest, ContentTypeComesFromTheLowerCasedExtension)
{
    const std::pair<const char*, const char*> types[] = {
        {"html", "text/html; charset=utf-8"}, {"js", "text/javascript; charset=utf-8"},
        {"mjs", "text/javascript; charset=utf-8"}, {"css", "text/css; charset=utf-8"},
        {"json", "application/json"}, {"webmanifest", "application/manifest+json"}, {"png", "image/png"},
        {"jpg", "image/jpeg"}, {"svg", "image/svg+xml"}, {"ico", "image/x-icon"}, {"wasm", "application/wasm"},
        {"ttf", "font/ttf"}, {"otf", "font/otf"}, {"woff", "font/woff"}, {"woff2", "font/woff2"},
        {"bcmap", "application/octet-stream"}, {"ftl", "text/plain; charset=utf-8"},
        {"txt", "text/plain; charset=utf-8"}, {"WOFF2", "font/woff2"}, {"Js", "text/javascript; charset=utf-8"},
        {"htm", "application/octet-stream"}, {"jpeg", "application/octet-stream"},
        {"gif", "application/octet-stream"}, {"pdf", "application/octet-stream"}};
    for (const auto& [extension, type] : types) {
        const std::string name = std::string("/types/f.") + extension;
        dir.write("web" + name, "x");
        EXPECT_EQ(get(name).headers, fourHeaders(type, "1")) << name;
    }
    for (const char* name : {"/LICENSE", "/types/.html", "/types/html."}) {
        dir.write(std::string("web") + name, "x");
        EXPECT_EQ(get(name).headers[0].second, "application/octet-stream") << name;
    }
}

TEST_F(AppSchemeHandlerTest, ARequestWithoutAUrlFails)
{
    EXPECT_FALSE(handler.respond(std::nullopt).has_value());
}

}  // namespace
}  // namespace pw
