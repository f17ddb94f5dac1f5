// Whole processes started with what a hostile or unlucky user can give them: files that
// are not files, files too large for the page, preferences nested without end, a socket
// folder too long for the sandbox. The application must come up, show its page and say
// what it could not open, in the order the files were named.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/process_harness.h"

namespace pw::testing {
namespace {

// Reports, in arrival order, every file delivered and every message shown, through the
// bridge's "savepath" into `reports`/seen.
std::string recordingPage(const std::string& reports)
{
    return R"(<!doctype html><meta charset="utf-8"><script>
const seen = [];
const report = () => window.webkit.messageHandlers.pagewick.postMessage(
  {type: 'savepath', id: 'seen', path: ')" + reports + R"(/seen', b64: btoa(unescape(encodeURIComponent(seen.join('\n'))))});
window.__nativeOpen = (name, b64, path) => { seen.push('open ' + name + ' ' + atob(b64)); report(); };
window.__nativeMsg = (text) => { seen.push('message ' + text); report(); };
window.addEventListener('load', () => window.webkit.messageHandlers.pagewick.postMessage(
  {type: 'savepath', id: 'loaded', path: ')" + reports + R"(/loaded', b64: btoa('yes')}));
</script>)";
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool isNotFound(const std::string& line)
{
    return line.starts_with("message ") &&
           (line.find("not found") != std::string::npos || line.find("introuvable") != std::string::npos);
}

bool isTooLarge(const std::string& line, const std::string& name)
{
    return line.starts_with("message ") && line.find(name) != std::string::npos &&
           (line.find("1 GiB") != std::string::npos || line.find("1\u00a0Gio") != std::string::npos);
}

TEST(HostileStart, FilesThatAreNotFilesOrAreTooLargeAreRefusedInOrderAndTheRestOpens)
{
    InstalledCopy app;
    PrivateBus bus;
    app.writePage(recordingPage(app.root.path()));
    const std::string docs = app.root.path() + "/docs";
    std::filesystem::create_directories(docs + "/folder.pdf");
    ASSERT_EQ(::symlink("/proc/self/pagemap", (docs + "/pagemap.pdf").c_str()), 0);
    ASSERT_EQ(::mkfifo((docs + "/fifo.pdf").c_str(), 0600), 0);
    // Sparse: they cost no disk, and reading either would cost the memory.
    const std::string big = app.root.write("docs/big.pdf", "");
    const std::string huge = app.root.write("docs/huge.pdf", "");
    ASSERT_EQ(::truncate(big.c_str(), off_t{1700} << 20), 0);
    ASSERT_EQ(::truncate(huge.c_str(), off_t{8} << 40), 0);
    const std::string good = app.root.write("docs/good.pdf", "%PDF-good");

    Child child({app.binary, docs + "/pagemap.pdf", docs + "/fifo.pdf", docs + "/folder.pdf", big, huge, good,
                 docs + "/typo.pdf"},
                app.environment(bus.address()));

    // The last of the seven is the missing file: everything before it has arrived then.
    std::vector<std::string> seen;
    const gint64 deadline = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
    while (g_get_monotonic_time() < deadline && seen.size() < 7 && child.wait(0) < 0) {
        seen = linesOf(TempDir::read(app.report("seen")));
        g_usleep(50000);
    }
    ASSERT_EQ(seen.size(), 7u) << child.errors() << TempDir::read(app.report("seen"));
    EXPECT_TRUE(isNotFound(seen[0]) && isNotFound(seen[1]) && isNotFound(seen[2])) << seen[0] << seen[1] << seen[2];
    EXPECT_TRUE(isTooLarge(seen[3], "big.pdf")) << seen[3];
    EXPECT_TRUE(isTooLarge(seen[4], "huge.pdf")) << seen[4];
    EXPECT_EQ(seen[5], "open good.pdf %PDF-good");
    EXPECT_TRUE(isNotFound(seen[6])) << seen[6];
    EXPECT_EQ(child.wait(0), -1) << "the application keeps running: " << child.errors();

    // Only the file that opened is remembered.
    const std::string preferences = TempDir::read(app.config + "/pagewick/preferences.json");
    EXPECT_NE(preferences.find("good.pdf"), std::string::npos) << preferences;
    for (const char* name : {"big.pdf", "huge.pdf", "pagemap.pdf", "fifo.pdf", "folder.pdf"})
        EXPECT_EQ(preferences.find(name), std::string::npos) << name << " in " << preferences;
}

TEST(HostileStart, PreferencesNestedWithoutEndAreReplacedAndTheApplicationStarts)
{
    InstalledCopy app;
    PrivateBus bus;
    app.writePage(recordingPage(app.root.path()));
    const std::string file = app.config + "/pagewick/preferences.json";
    app.root.write("config/pagewick/preferences.json",
                   "{\"PagewickMain\": " + std::string(30000, '[') + std::string(30000, ']') + "}");

    Child child({app.binary, app.root.write("a.pdf", "%PDF-a")}, app.environment(bus.address()));
    ASSERT_EQ(waitForFile(app.report("loaded")), "yes") << child.errors();
    ASSERT_NE(waitForFile(app.report("seen")), "") << child.errors();
    // Remembering the file wrote the preferences afresh, without the damaged value.
    const std::string rewritten = TempDir::read(file);
    EXPECT_LT(rewritten.size(), 2000u) << rewritten.substr(0, 200);
    EXPECT_NE(rewritten.find("a.pdf"), std::string::npos) << rewritten.substr(0, 200);
    EXPECT_EQ(child.wait(0), -1) << child.errors();
}

TEST(HostileStart, WithoutARuntimeFolderAndALongCacheFolderThePageStillShows)
{
    InstalledCopy app;
    PrivateBus bus;
    app.writePage(recordingPage(app.root.path()));
    // As under sudo or ssh: no XDG_RUNTIME_DIR, so WebKit's sockets go below the cache
    // folder, whose path leaves them no room in a Unix socket address.
    const std::string cache = app.root.path() + "/" + std::string(80, 'c');
    std::filesystem::create_directories(cache);
    auto environment = app.environment(bus.address());
    std::erase_if(environment, [](const std::string& entry) { return entry.starts_with("XDG_RUNTIME_DIR="); });
    environment.push_back("XDG_CACHE_HOME=" + cache);

    Child child({app.binary}, environment);
    EXPECT_EQ(waitForFile(app.report("loaded")), "yes") << child.errors();
    const std::string errors = child.errors();
    std::vector<std::string> sandboxLines;
    for (const auto& line : linesOf(errors))
        if (line.find("sandbox") != std::string::npos) sandboxLines.push_back(line);
    ASSERT_EQ(sandboxLines.size(), 1u) << errors;
    EXPECT_NE(sandboxLines[0].find(cache), std::string::npos) << sandboxLines[0];
}

}  // namespace
}  // namespace pw::testing
