#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/web_process_memory.h"

namespace pw {
namespace {

// The fixed threshold joins what the user set, and a threshold of the user's own wins,
// also when only a longer name begins like it.
TEST(WebProcessMemory, TheThresholdIsAddedToTheUsersTunablesUnlessTheySetOne)
{
    EXPECT_EQ(withFixedMmapThreshold(""), "glibc.malloc.mmap_threshold=1048576");
    EXPECT_EQ(withFixedMmapThreshold("glibc.malloc.arena_max=2"),
              "glibc.malloc.arena_max=2:glibc.malloc.mmap_threshold=1048576");
    EXPECT_EQ(withFixedMmapThreshold("glibc.malloc.arena_max=2:glibc.malloc.mmap_threshold=65536"),
              "glibc.malloc.arena_max=2:glibc.malloc.mmap_threshold=65536");
    EXPECT_EQ(withFixedMmapThreshold("glibc.malloc.mmap_threshold_max=9"),
              "glibc.malloc.mmap_threshold_max=9:glibc.malloc.mmap_threshold=1048576");

    const char* before = std::getenv("GLIBC_TUNABLES");
    const std::string saved = before ? before : "";
    ::setenv("GLIBC_TUNABLES", "glibc.malloc.arena_max=2", 1);
    configureWebProcessMemory();
    configureWebProcessMemory();  // a second call changes nothing
    EXPECT_STREQ(std::getenv("GLIBC_TUNABLES"), "glibc.malloc.arena_max=2:glibc.malloc.mmap_threshold=1048576");
    if (before) ::setenv("GLIBC_TUNABLES", saved.c_str(), 1);
    else ::unsetenv("GLIBC_TUNABLES");
}

}  // namespace
}  // namespace pw
