#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"
#include "tests/fakes/temp_dir.h"

namespace pw::testing {
namespace {

// A build tree keeps the page and the web process's extension beside the executable; an
// installed copy keeps them under share/ and lib/ of its prefix.
TEST(Paths, ThePageAndTheExtensionAreFoundBesideTheExecutableOrUnderThePrefix)
{
    TempDir root;
    const std::string build = root.path() + "/build";
    std::filesystem::create_directories(build + "/web");
    std::filesystem::create_directories(build + "/web-process");
    EXPECT_EQ(webRootBeside(build), build + "/web");
    EXPECT_EQ(webProcessExtensionsBeside(build), build + "/web-process");

    const std::string bin = root.path() + "/usr/bin";
    std::filesystem::create_directories(bin);
    EXPECT_EQ(webRootBeside(bin), bin + "/../share/pagewick/web");
    EXPECT_EQ(webProcessExtensionsBeside(bin), bin + "/../lib/pagewick/web-process");
}

}  // namespace
}  // namespace pw::testing
