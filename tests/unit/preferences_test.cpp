#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/json_preferences.h"
#include "tests/fakes/temp_dir.h"

namespace pw {
namespace {

using nlohmann::json;

class JsonPreferencesTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    std::string file = dir.path() + "/config/pagewick/preferences.json";
    JsonPreferences preferences{file};

    std::vector<std::string> folderContents() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() + "/config/pagewick"))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(JsonPreferencesTest, MissingFileOrKeyReadsAsNull)
{
    EXPECT_TRUE(preferences.get("anything").is_null());
    preferences.set("present", "yes");
    EXPECT_TRUE(preferences.get("absent").is_null());
}

TEST_F(JsonPreferencesTest, WriteMakesTheFoldersAndIsSeenByAnyOtherReader)
{
    preferences.set("pagewick.recent", json::array({{{"name", "a.pdf"}, {"path", "/tmp/a.pdf"}}}));
    preferences.set("PagewickMain", {{"x", 10}, {"width", 800}});

    // Nothing is cached: a second store on the same file sees both, and its writes are
    // seen by the first.
    JsonPreferences other(file);
    EXPECT_EQ(other.get("pagewick.recent")[0]["path"], "/tmp/a.pdf");
    EXPECT_EQ(other.get("PagewickMain")["width"], 800);
    other.set("PagewickMain", {{"x", 20}});
    EXPECT_EQ(preferences.get("PagewickMain"), json({{"x", 20}}));
    EXPECT_EQ(preferences.get("pagewick.recent").size(), 1u);
}

TEST_F(JsonPreferencesTest, WriteLeavesNoTemporaryFileBehind)
{
    preferences.set("a", 1);
    preferences.set("b", 2);
    EXPECT_EQ(folderContents(), std::vector<std::string>{"preferences.json"});
    EXPECT_EQ(json::parse(testing::TempDir::read(file)), json({{"a", 1}, {"b", 2}}));
}

TEST_F(JsonPreferencesTest, UnusableFileReadsAsEmptyAndIsReplacedByTheNextWrite)
{
    const std::vector<std::string> contents = {
        "",
        "{\"a\": 1, \"b\": [1, 2",  // truncated
        "{a: 1}",                   // malformed
        "[1, 2, 3]",                // not an object
        "\"text\"",
        "null",
        std::string("{\"a\": \"\xff\"}"),  // not UTF-8
        std::string(500000, '['),          // nesting deep enough to exhaust a recursive reader
        // Well-formed but nested deeper than anything stored: the writer would recurse
        // once per level, at every start.
        "{\"a\": " + std::string(30000, '[') + std::string(30000, ']') + "}",
        "{\"a\": \"" + std::string(5 << 20, 'x') + "\"}",  // larger than any file of ours
    };
    for (const auto& text : contents) {
        SCOPED_TRACE(text.substr(0, 40));
        dir.write("config/pagewick/preferences.json", text);
        EXPECT_TRUE(preferences.get("a").is_null());
        preferences.set("b", true);
        EXPECT_EQ(json::parse(testing::TempDir::read(file)), json({{"b", true}}));
    }
}

TEST_F(JsonPreferencesTest, BoundsLeaveRealValuesAloneAndRefuseToWriteWhatCouldNotBeRead)
{
    json nested = "leaf";
    for (int level = 0; level < 40; ++level) nested = json::array({nested});
    preferences.set("nested", nested);
    EXPECT_EQ(preferences.get("nested"), nested);

    // A value beyond the bounds would make the whole file unreadable: it is not
    // written, and what was stored stays.
    json deep = nullptr;
    for (int level = 0; level < 1000; ++level) deep = json::array({deep});
    preferences.set("deep", deep);
    preferences.set("long", std::string(5 << 20, 'x'));
    EXPECT_TRUE(preferences.get("deep").is_null());
    EXPECT_TRUE(preferences.get("long").is_null());
    EXPECT_EQ(preferences.get("nested"), nested);
}

TEST_F(JsonPreferencesTest, FolderInPlaceOfTheFileReadsAsEmptyAndIsLeftAlone)
{
    std::filesystem::create_directories(file);
    EXPECT_TRUE(preferences.get("a").is_null());
    preferences.set("a", 1);
    EXPECT_TRUE(std::filesystem::is_directory(file));
    EXPECT_TRUE(preferences.get("a").is_null());
}

TEST_F(JsonPreferencesTest, RewriteKeepsThePermissionsTheUserGaveTheFile)
{
    preferences.set("a", 1);
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    preferences.set("a", 2);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(JsonPreferencesLocation, FollowsXdgConfigHomeWhenItIsAbsolute)
{
    ScopedEnvironment home("HOME", "/home/someone");
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(JsonPreferences::defaultFile(), "/srv/config/pagewick/preferences.json");
    }
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(JsonPreferences::defaultFile(), "/home/someone/.config/pagewick/preferences.json");
    }
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(JsonPreferences::defaultFile(), "/home/someone/.config/pagewick/preferences.json");
    }
}

}  // namespace
}  // namespace pw
