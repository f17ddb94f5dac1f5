#include <gtest/gtest.h>

#include <jsc/jsc.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/app_constants.h"
#include "tests/integration/harness.h"

namespace pw::testing {
namespace {

// A page that records, from its first script, what the shell gave it before any of
// the page's own code ran.
constexpr const char* probePage = R"(<!doctype html><html><head><meta charset="utf-8">
<script>
  window.seenAtStart = {
    ocr: window.__nativeOcr, print: window.__nativePrint, files: window.__nativeFiles,
    recent: Array.isArray(window.__nativeRecent),
    handler: !!(window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.pagewick)
  };
</script></head><body>probe</body></html>)";

std::string procFile(const std::string& pid, const char* name)
{
    std::ifstream in("/proc/" + pid + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool descendsFromThisProcess(std::string pid)
{
    const std::string self = std::to_string(::getpid());
    for (int depth = 0; depth < 8 && !pid.empty() && pid != "0" && pid != "1"; ++depth) {
        // The parent is the second field after the parenthesised command name.
        const std::string stat = procFile(pid, "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) return false;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        rest >> state >> pid;
        if (pid == self) return true;
    }
    return false;
}

// The environment of each web process started by this one, one variable a line.
std::vector<std::string> webProcessEnvironments()
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (procFile(pid, "comm").rfind("WebKitWebProces", 0) != 0 || !descendsFromThisProcess(pid)) continue;
        std::string environment = procFile(pid, "environ");
        std::replace(environment.begin(), environment.end(), '\0', '\n');
        found.push_back("\n" + environment);
    }
    return found;
}

TEST(Shell, NeitherProcessKeepsTheScriptsItHasRun)
{
    ShellHarness shell;
    shell.web.write("index.html", "<!doctype html><body>");
    shell.launchAndWait();

    const auto environments = webProcessEnvironments();
    ASSERT_FALSE(environments.empty());
    for (const auto& environment : environments)
        EXPECT_NE(environment.find("\nJSC_useCodeCache=false\n"), std::string::npos);
    // The engine knows the setting by that name and has read it.
    gboolean kept = TRUE;
    ASSERT_TRUE(jsc_options_get_boolean("useCodeCache", &kept));
    EXPECT_FALSE(kept);
}

TEST(Shell, StartScriptRunsBeforeThePageAndTheUserAgentNamesTheShell)
{
    ShellHarness shell;
    shell.web.write("index.html", probePage);
    shell.launchAndWait();

    EXPECT_EQ(shell.evaluate("JSON.stringify(window.seenAtStart)"),
              R"({"ocr":"vision","print":true,"files":true,"recent":true,"handler":true})");
    const auto agent = shell.evaluate("navigator.userAgent");
    ASSERT_TRUE(agent);
    EXPECT_NE(agent->find("pagewick-mac"), std::string::npos) << *agent;
    EXPECT_EQ(shell.evaluate("location.href"), appURL);
}

TEST(Shell, WindowTitleFollowsThePageTitle)
{
    ShellHarness shell;
    shell.web.write("index.html", "<!doctype html><title>Ignored until changed</title><body>");
    shell.launch();
    EXPECT_EQ(shell.delegate->window()->title(), "Pagewick");
    waitUntil([&] { return shell.loadsFinished() > 0; });

    shell.evaluate("document.title = '  Report.pdf \\n'");
    EXPECT_TRUE(waitUntil([&] { return shell.delegate->window()->title() == "Report.pdf"; }));
    shell.evaluate("document.title = ' \\t '");
    EXPECT_TRUE(waitUntil([&] { return shell.delegate->window()->title() == "Pagewick"; }));
}

TEST(Shell, PageFilesAreServedWithModulesWorkersFetchAndWebAssembly)
{
    ShellHarness shell;
    shell.web.write("index.html", R"(<!doctype html><script type="module" src="build/main.mjs"></script>)");
    shell.web.write("build/main.mjs", "import { value } from './dep.mjs'; window.moduleValue = value;");
    shell.web.write("build/dep.mjs", "export const value = 42;");
    shell.web.write("worker.js", "onmessage = (e) => postMessage(e.data * 2);");
    // The smallest WebAssembly module: magic and version only.
    shell.web.write("empty.wasm", std::string("\0asm\1\0\0\0", 8));
    shell.launchAndWait();

    EXPECT_TRUE(shell.waitForScript("window.moduleValue === 42"));

    shell.evaluate(R"(
      window.checks = {};
      new Worker('worker.js').onmessage = (e) => { window.checks.worker = e.data; };
      document.querySelector('script') && null;
      WebAssembly.instantiateStreaming(fetch('empty.wasm'))
        .then(() => { window.checks.wasm = 'ok'; }, (e) => { window.checks.wasm = String(e); });
      fetch('nope.css').then(async (r) => {
        window.checks.missing = { status: r.status, type: r.headers.get('Content-Type'),
          length: r.headers.get('Content-Length'), origin: r.headers.get('Access-Control-Allow-Origin'),
          cache: r.headers.get('Cache-Control'), body: (await r.text()).length };
      }, (e) => { window.checks.missing = String(e); });
      document.defaultView.postMessage && null;
    )");
    shell.evaluate("new Worker('worker.js').postMessage(21)");
    ASSERT_TRUE(shell.waitForScript("window.checks.missing && window.checks.wasm"));
    EXPECT_EQ(shell.evaluate("JSON.stringify(window.checks.missing)"),
              R"({"status":404,"type":"text/css; charset=utf-8","length":"0","origin":"*","cache":"no-cache","body":0})");
    EXPECT_EQ(shell.evaluate("window.checks.wasm"), "ok");
}

TEST(Shell, WorkersRunFromThePrivateScheme)
{
    ShellHarness shell;
    shell.web.write("index.html", R"(<!doctype html><script>
      const w = new Worker('worker.js');
      w.onmessage = (e) => { window.workerAnswer = e.data; };
      w.postMessage(21);
    </script>)");
    shell.web.write("worker.js", "onmessage = (e) => postMessage(e.data * 2);");
    shell.launchAndWait();
    EXPECT_TRUE(shell.waitForScript("window.workerAnswer === 42"));
}

}  // namespace
}  // namespace pw::testing
