#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "tests/fakes/fake_platform.h"

namespace pw {
namespace {

using nlohmann::json;

class RecentFiles : public ::testing::Test, protected testing::BridgeFixture {
protected:
    json stored() const { return preferences->get(Bridge::recentKey); }

    static std::vector<std::string> pathsOf(const json& list)
    {
        std::vector<std::string> paths;
        for (const auto& entry : list) paths.push_back(entry.value("path", "<none>"));
        return paths;
    }

    // The list the page holds after running the statement.
    static json pageList(const std::string& statement)
    {
        const std::string prefix = "window.__nativeRecent = ";
        EXPECT_TRUE(statement.starts_with(prefix) && statement.ends_with(";")) << statement;
        return json::parse(statement.substr(prefix.size(), statement.size() - prefix.size() - 1));
    }

    void writeStore(const std::string& text) const { dir.write("config/pagewick/preferences.json", text); }
};

TEST_F(RecentFiles, NothingStoredGivesTheEmptyStatement)
{
    EXPECT_EQ(bridge->recentsJS(), "window.__nativeRecent = [];");
    EXPECT_EQ(bridge->recents(), json::array());
}

TEST_F(RecentFiles, RememberedFileIsStoredAndShownWithEveryRefresh)
{
    const auto path = dir.write("a.pdf", "%PDF");
    bridge->remember(path);

    EXPECT_EQ(stored(), json::parse(R"([{"name":"a.pdf","path":")" + path + "\"}]"));
    std::string escaped;
    for (char c : path) escaped += c == '/' ? std::string("\\/") : std::string(1, c);
    EXPECT_EQ(bridge->recentsJS(), R"(window.__nativeRecent = [{"name":"a.pdf","path":")" + escaped + "\"}];");
    EXPECT_EQ(view->scripts, std::vector<std::string>{bridge->recentsJS()});
    EXPECT_EQ(workspace->desktopRecents, std::vector<std::string>{path});
}

TEST_F(RecentFiles, PageReadsBackTheSamePathText)
{
    const auto path = dir.write("d\u00e9j\u00e0 \"vu\" \\ </script>\n\u2028.pdf", "%PDF");
    bridge->remember(path);
    const auto list = pageList(bridge->recentsJS());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["path"], path);
    EXPECT_EQ(list[0]["name"], lastPathComponent(path));
    EXPECT_EQ(bridge->recentsJS().find("</"), std::string::npos);
}

TEST_F(RecentFiles, RememberingAgainMovesTheEntryToTheFront)
{
    const auto a = dir.write("a.pdf", "");
    const auto b = dir.write("b.pdf", "");
    bridge->remember(a);
    bridge->remember(b);
    bridge->remember(a);
    EXPECT_EQ(pathsOf(stored()), (std::vector<std::string>{a, b}));
}

TEST_F(RecentFiles, EleventhFilePushesTheOldestOut)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 11; ++i) paths.push_back(dir.write("f" + std::to_string(i) + ".pdf", ""));
    for (const auto& path : paths) bridge->remember(path);

    const std::vector<std::string> expected(paths.rbegin(), paths.rbegin() + 10);
    EXPECT_EQ(pathsOf(stored()), expected);
    EXPECT_EQ(pathsOf(bridge->recents()), expected);
}

TEST_F(RecentFiles, MissingFileIsHiddenButKeptUntilForgotten)
{
    const auto kept = dir.write("kept.pdf", "");
    const auto gone = dir.write("gone.pdf", "");
    const auto folder = dir.path() + "/folder";
    std::filesystem::create_directory(folder);
    bridge->remember(gone);
    bridge->remember(folder);
    bridge->remember(kept);
    std::filesystem::remove(gone);

    EXPECT_EQ(pathsOf(bridge->recents()), (std::vector<std::string>{kept, folder}));
    EXPECT_EQ(pathsOf(pageList(bridge->recentsJS())), (std::vector<std::string>{kept, folder}));
    EXPECT_EQ(pathsOf(stored()), (std::vector<std::string>{kept, folder, gone}));

    dir.write("gone.pdf", "back");
    EXPECT_EQ(pathsOf(bridge->recents()), (std::vector<std::string>{kept, folder, gone}));

    std::filesystem::remove(gone);
    bridge->openFile(gone);
    EXPECT_EQ(pathsOf(stored()), (std::vector<std::string>{kept, folder}));
}

TEST_F(RecentFiles, ForgetStoresAndRefreshesEvenWhenNothingMatches)
{
    const auto a = dir.write("a.pdf", "");
    bridge->remember(a);
    view->scripts.clear();
    std::filesystem::remove(preferences->file());
    writeStore(R"({"pagewick.recent":[{"name":"a.pdf","path":")" + a + R"("}],"other":1})");

    bridge->forget(dir.path() + "/unknown.pdf");
    EXPECT_EQ(pathsOf(stored()), std::vector<std::string>{a});
    EXPECT_EQ(preferences->get("other"), 1);
    EXPECT_EQ(view->scripts, std::vector<std::string>{bridge->recentsJS()});

    bridge->forget(a);
    EXPECT_EQ(stored(), json::array());
}

TEST_F(RecentFiles, WithoutWebViewTheStoreIsStillUpdated)
{
    bridge->web.reset();
    const auto a = dir.write("a.pdf", "");
    bridge->remember(a);
    EXPECT_EQ(pathsOf(stored()), std::vector<std::string>{a});
    bridge->forget(a);
    EXPECT_EQ(stored(), json::array());
    EXPECT_TRUE(view->scripts.empty());
}

TEST_F(RecentFiles, CanonicallyEquivalentPathsAreOneFile)
{
    const std::string composed = dir.path() + "/\u00e9t\u00e9.pdf";     // é as one letter
    const std::string decomposed = dir.path() + "/e\u0301te\u0301.pdf";  // e + combining acute
    const auto other = dir.write("other.pdf", "");
    bridge->remember(composed);
    bridge->remember(other);
    bridge->remember(decomposed);
    EXPECT_EQ(pathsOf(stored()), (std::vector<std::string>{decomposed, other}));

    bridge->forget(composed);
    EXPECT_EQ(pathsOf(stored()), std::vector<std::string>{other});
}

TEST_F(RecentFiles, ExtraKeysAndEntriesWithoutPathAreCarriedAlong)
{
    const auto a = dir.write("a.pdf", "");
    const auto b = dir.write("b.pdf", "");
    writeStore(R"({"pagewick.recent":[{"name":"a.pdf","path":")" + a +
               R"(","pinned":"yes"},{"name":"nowhere"}]})");

    bridge->remember(b);
    bridge->forget(dir.path() + "/unknown.pdf");
    EXPECT_EQ(stored(), json::parse(R"([{"name":"b.pdf","path":")" + b + R"("},{"name":"a.pdf","path":")" + a +
                                    R"(","pinned":"yes"},{"name":"nowhere"}])"));
    // Shown to the page as stored, minus the entry that names no file.
    EXPECT_EQ(pathsOf(bridge->recents()), (std::vector<std::string>{b, a}));
    EXPECT_EQ(bridge->recents()[1]["pinned"], "yes");
}

TEST_F(RecentFiles, StoreThatDoesNotFitReadsAsEmptyAndIsReplacedByTheNextFile)
{
    const auto a = dir.write("a.pdf", "");
    const auto b = dir.write("b.pdf", "");
    const std::string entryA = R"({"name":"a.pdf","path":")" + a + R"("})";
    const std::vector<std::string> stores = {
        "",                                                    // empty file
        R"({"pagewick.recent":[)" + entryA,                    // truncated
        R"({pagewick.recent: [])",                             // malformed
        "[" + entryA + "]",                                    // not an object
        std::string(200000, '['),                              // deeply nested garbage
        R"({"pagewick.recent":)" + entryA + "}",               // an entry, not a list
        R"({"pagewick.recent":")" + a + R"("})",               // text
        R"({"pagewick.recent":[)" + entryA + R"(,3]})",        // a number among entries
        R"({"pagewick.recent":[)" + entryA + R"(,[]]})",       // a list among entries
        R"({"pagewick.recent":[{"name":"b.pdf","path":1}]})",  // a value that is not text
        R"({"pagewick.recent":[{"name":null,"path":")" + a + R"("}]})",
    };
    for (const auto& store : stores) {
        SCOPED_TRACE(store.substr(0, 80));
        writeStore(store);
        EXPECT_EQ(bridge->recents(), json::array());
        EXPECT_EQ(bridge->recentsJS(), "window.__nativeRecent = [];");
        bridge->remember(b);
        EXPECT_EQ(pathsOf(stored()), std::vector<std::string>{b});
    }

    std::filesystem::remove(preferences->file());
    EXPECT_EQ(bridge->recents(), json::array());
    bridge->remember(b);
    EXPECT_EQ(pathsOf(stored()), std::vector<std::string>{b});
}

TEST_F(RecentFiles, PathThatIsNotUtf8GoesToTheDesktopListOnly)
{
    const auto a = dir.write("a.pdf", "");
    const auto bad = dir.write("bad\xff.pdf", "");
    bridge->remember(a);
    bridge->remember(bad);
    EXPECT_EQ(pathsOf(stored()), std::vector<std::string>{a});
    EXPECT_EQ(workspace->desktopRecents, (std::vector<std::string>{a, bad}));
    bridge->forget(bad);
    EXPECT_EQ(pathsOf(stored()), std::vector<std::string>{a});
}

TEST_F(RecentFiles, ListSurvivesIntoAnotherProcess)
{
    const auto first = dir.write("first.pdf", "");
    const auto second = dir.write("second.pdf", "");
    bridge->remember(first);

    // The child shares nothing with this bridge but the preferences file.
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto other = std::make_shared<Bridge>(BridgeServices{std::make_shared<testing::FakeMainQueue>(), nullptr,
                                                             nullptr, nullptr,
                                                             std::make_shared<JsonPreferences>(preferences->file())});
        other->remember(second);
        ::_exit(other->recents().size() == 2 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EXPECT_EQ(pathsOf(bridge->recents()), (std::vector<std::string>{second, first}));
}

}  // namespace
}  // namespace pw
