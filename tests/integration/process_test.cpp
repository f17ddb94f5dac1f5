#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/integration/process_harness.h"

namespace pw::testing {
namespace {

// A page that writes what it receives to files in `reports`, through the bridge.
std::string reportingPage(const std::string& reports, const std::string& defineOpenAfterMs = "0")
{
    return R"(<!doctype html><meta charset="utf-8"><script>
const report = (name, text) => window.webkit.messageHandlers.pagewick.postMessage(
  {type: 'savepath', id: name, path: ')" + reports + R"(/' + name, b64: btoa(text)});
const opened = [];
setTimeout(() => {
  const definedAt = performance.now();
  window.__nativeOpen = (name, b64, path) => {
    opened.push({name, text: atob(b64), path, after: performance.now() - definedAt});
    report('opened', JSON.stringify(opened));
  };
}, )" + defineOpenAfterMs + R"();
window.addEventListener('load', () => report('loaded', 'yes'));
</script>)";
}

TEST(Process, AFileNamedOnTheCommandLineIsDeliveredOnce)
{
    InstalledCopy app;
    PrivateBus bus;
    app.writePage(reportingPage(app.root.path()));
    const std::string file = app.root.write("docs/a.pdf", "%PDF-a");
    Child child({app.binary, file}, app.environment(bus.address()));

    const std::string first = waitForFile(app.report("opened"));
    ASSERT_NE(first, "") << child.errors();
    // Later probes and load events must not deliver it again.
    g_usleep(1500000);
    const std::string last = TempDir::read(app.report("opened"));
    EXPECT_NE(last.find(R"("name":"a.pdf","text":"%PDF-a","path":")" + file + "\""), std::string::npos) << last;
    const std::string entry = R"("name":"a.pdf")";
    EXPECT_EQ(last.find(entry, last.find(entry) + 1), std::string::npos) << "delivered twice: " << last;
}

TEST(Process, APageThatDefinesItsFunctionLateStillReceivesTheFile)
{
    InstalledCopy app;
    PrivateBus bus;
    app.writePage(reportingPage(app.root.path(), "2000"));
    const std::string file = app.root.write("late.pdf", "%PDF-late");
    Child child({app.binary, file}, app.environment(bus.address()));

    const std::string opened = waitForFile(app.report("opened"));
    ASSERT_NE(opened, "") << child.errors();
    EXPECT_NE(opened.find("late.pdf"), std::string::npos);
    // The half-second retry brings it, not a later load: report how long it took.
    const auto after = std::strtod(opened.c_str() + opened.find("\"after\":") + 8, nullptr);
    RecordProperty("delivered_ms_after_definition", static_cast<int>(after));
    EXPECT_LT(after, 5000) << opened;
}

TEST(Process, ASecondLaunchHandsItsFilesToTheFirst)
{
    InstalledCopy app;
    PrivateBus bus;
    app.writePage(reportingPage(app.root.path()));
    Child first({app.binary}, app.environment(bus.address()));
    ASSERT_EQ(waitForFile(app.report("loaded")), "yes") << first.errors();

    const std::string file = app.root.write("second.pdf", "%PDF-2");
    Child second({app.binary, file}, app.environment(bus.address()));
    EXPECT_EQ(second.wait(30), 0) << second.errors();
    const std::string opened = waitForFile(app.report("opened"));
    EXPECT_NE(opened.find("second.pdf"), std::string::npos) << opened;
    EXPECT_EQ(first.wait(0), -1) << "the first instance keeps running";
}

TEST(Process, WithoutASessionBusTheApplicationRunsAlone)
{
    InstalledCopy app;
    app.writePage(reportingPage(app.root.path()));
    Child child({app.binary}, app.environment("unix:path=/nonexistent/bus"));
    EXPECT_EQ(waitForFile(app.report("loaded")), "yes") << child.errors();
}

TEST(Process, WithoutADisplayItSaysHowToRunUnderXvfb)
{
    InstalledCopy app;
    PrivateBus bus;
    std::vector<std::string> environment;
    for (const auto& entry : app.environment(bus.address()))
        if (!entry.starts_with("DISPLAY=")) environment.push_back(entry);
    Child child({app.binary}, environment);
    EXPECT_EQ(child.wait(30), 1);
    const std::string errors = child.errors();
    EXPECT_NE(errors.find("xvfb-run"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
}  // namespace pw::testing
