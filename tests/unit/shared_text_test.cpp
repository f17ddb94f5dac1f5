#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include <string>

#include <gtest/gtest.h>

#include "platform/shared_text.h"

namespace pw {
namespace {

TEST(SharedText, HoldsWhatWasWrittenWithinItsSizeOnly)
{
    auto text = SharedText::create(8);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->write(0, "abcd", 4));
    EXPECT_TRUE(text->write(4, "efgh", 4));
    EXPECT_FALSE(text->write(5, "xyzw", 4)) << "past the end";
    EXPECT_FALSE(text->write(9, "", 0)) << "past the end";
    EXPECT_EQ(text->read(), "abcdefgh");
    EXPECT_EQ(SharedText::create(0)->read(), "");
}

// What the reading process relies on: once sealed, no holder of the descriptor can
// change, grow or shrink the text, nor map it to write.
TEST(SharedText, OnceSealedNobodyCanChangeIt)
{
    auto text = SharedText::create(4096);
    ASSERT_TRUE(text && text->write(0, "x", 1));
    EXPECT_FALSE(text->sealed());
    ASSERT_TRUE(text->seal());
    EXPECT_TRUE(text->sealed());

    const SharedText copy = *text;
    EXPECT_FALSE(text->write(0, "y", 1));
    EXPECT_NE(::ftruncate(copy.descriptor(), 0), 0);
    EXPECT_NE(::ftruncate(copy.descriptor(), 8192), 0);
    EXPECT_NE(::pwrite(copy.descriptor(), "y", 1, 0), 1);
    EXPECT_EQ(::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, copy.descriptor(), 0), MAP_FAILED);
    EXPECT_EQ(copy.read()->substr(0, 1), "x");
}

// The other process's side: only a memory file that can no longer change is mapped, and
// the mapping stays readable after the descriptor is closed.
TEST(SharedText, OnlyASealedMemoryFileIsMapped)
{
    auto text = SharedText::create(5);
    ASSERT_TRUE(text && text->write(0, "bytes", 5));
    EXPECT_FALSE(mapSealedMemory(text->descriptor())) << "still writable";
    ASSERT_TRUE(text->seal());

    const int fd = ::dup(text->descriptor());
    auto mapped = mapSealedMemory(fd);
    ::close(fd);
    text.reset();
    ASSERT_TRUE(mapped);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped->data()), mapped->size()), "bytes");

    auto empty = SharedText::create(0);
    ASSERT_TRUE(empty && empty->seal());
    ASSERT_TRUE(mapSealedMemory(empty->descriptor()));
    EXPECT_TRUE(mapSealedMemory(empty->descriptor())->empty());

    std::FILE* plain = std::tmpfile();
    ASSERT_TRUE(plain);
    EXPECT_FALSE(mapSealedMemory(::fileno(plain))) << "a file on disk can change under the reader";
    std::fclose(plain);
    EXPECT_FALSE(mapSealedMemory(-1));
}

}  // namespace
}  // namespace pw
