#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/mman.h>

#include "platform/memory_advice.h"

namespace pw {
namespace {

constexpr std::size_t largePage = std::size_t{2} << 20;

// The VmFlags line of the mapping that holds `address`, from /proc/self/smaps.
std::string flagsOfMappingAt(const void* address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t start = 0, end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> start >> dash >> end && dash == '-' && line.find(' ') > line.find('-'))
            inside = start <= at && at < end;
        else if (inside && line.starts_with("VmFlags:"))
            return line;
    }
    return {};
}

bool advised(const void* address)
{
    return flagsOfMappingAt(address).find(" hg") != std::string::npos;
}

TEST(MemoryAdvice, OnlyTheLargePagesInsideTheBufferAreAdvisedAndItsContentsStay)
{
    // Four large pages of address space, the buffer starting a little into the first.
    const std::size_t span = 4 * largePage;
    void* mapped = ::mmap(nullptr, span + largePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    const auto aligned = (reinterpret_cast<std::uintptr_t>(mapped) + largePage - 1) & ~(largePage - 1);
    auto* buffer = reinterpret_cast<char*>(aligned) + 4096;
    std::memcpy(buffer, "kept", 4);

    adviseWrittenWhole(buffer, span - 8192);  // ends 4 KiB short of the fourth one's end
    EXPECT_FALSE(advised(buffer)) << "the large page the buffer starts inside is shared with what lies before";
    EXPECT_TRUE(advised(reinterpret_cast<char*>(aligned) + largePage));
    EXPECT_TRUE(advised(reinterpret_cast<char*>(aligned) + 3 * largePage - 1));
    EXPECT_FALSE(advised(reinterpret_cast<char*>(aligned) + 3 * largePage)) << "nor the one it ends inside";
    EXPECT_EQ(std::memcmp(buffer, "kept", 4), 0);

    // A buffer that holds no whole large page is left alone.
    auto* small = reinterpret_cast<char*>(aligned) + 4 * largePage + 4096;
    adviseWrittenWhole(small, largePage - 8192);
    EXPECT_FALSE(advised(small));
    ::munmap(mapped, span + largePage);
}

}  // namespace
}  // namespace pw
