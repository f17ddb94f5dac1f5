// A memory that runs out while a file or a page message is read must cost that one
// request, not the process with every document the page holds. Each case runs in a
// child process whose address space is capped just above what it already uses.

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "common/base64.h"
#include "common/language.h"
#include "tests/fakes/fake_platform.h"

namespace pw::testing {
namespace {

void leaveOnlyHeadroom(std::size_t headroom)
{
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t cap = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + headroom;
    const rlimit limit{cap, cap};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
}

// The Base64 of an opened file goes to the page in a memory file, which an address-space
// cap does not count: a cap on the size of files stands in for the memory the system
// would refuse it.
void leaveOnlySharedMemory(std::size_t size)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{size, size};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(2);
}

bool sawScriptHolding(const FakeWebView& view, const std::string& text)
{
    for (const auto& script : view.scripts)
        if (script.find(text) != std::string::npos) return true;
    return false;
}

class MemoryExhaustion : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "the sanitizer's own mappings make an address-space cap meaningless";
#endif
        ::testing::FLAGS_gtest_death_test_style = "threadsafe";
        setFrench(false);
    }
};

// Each returns the child's exit status: 0 when the process went on as it should.
int openFileThatDoesNotFit()
{
    BridgeFixture f;
    const std::string path = f.dir.write("big.pdf", "");
    if (::truncate(path.c_str(), off_t{256} << 20) != 0) return 3;
    f.bridge->remember(path);
    f.view->scripts.clear();
    leaveOnlyHeadroom(std::size_t{32} << 20);
    leaveOnlySharedMemory(std::size_t{32} << 20);
    f.bridge->openFile(path);
    const bool told = sawScriptHolding(*f.view, "could not be opened: not enough memory");
    const bool kept = f.preferences->get(Bridge::recentKey).size() == 1;
    return told && kept ? 0 : 1;
}

int postMessageThatDoesNotFit()
{
    BridgeFixture f;
    // Made before the cap: only the bridge's own work has to do without memory.
    auto message = [&](const std::string& id, std::string b64) {
        ScriptMessage made{true, {{"type", "savepath"}, {"id", id}, {"path", f.dir.path() + "/" + id}}, {}};
        made.strings["b64"] = std::move(b64);
        made.strings[MessageGuard::tokenKey] = f.bridge->messageGuard().secret();
        return made;
    };
    const ScriptMessage big = message("big", std::string(std::size_t{64} << 20, 'A'));
    const ScriptMessage small = message("small", base64::encode("%PDF", 4));
    leaveOnlyHeadroom(std::size_t{16} << 20);
    f.bridge->didReceiveScriptMessage(big);
    f.bridge->didReceiveScriptMessage(small);
    f.queue->drain();
    return f.view->scripts.size() == 2 && sawScriptHolding(*f.view, "\"small\"") ? 0 : 1;
}

TEST_F(MemoryExhaustion, AFileThatDoesNotFitIsReportedAndNeitherRememberedNorForgotten)
{
    EXPECT_EXIT(std::_Exit(openFileThatDoesNotFit()), ::testing::ExitedWithCode(0), "");
}

TEST_F(MemoryExhaustion, APageMessageWhoseBytesDoNotFitIsDroppedAndTheNextOneIsServed)
{
    EXPECT_EXIT(std::_Exit(postMessageThatDoesNotFit()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pw::testing
