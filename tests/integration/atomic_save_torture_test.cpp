#include <csignal>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "tests/fakes/file_checks.h"
#include "tests/fakes/temp_dir.h"

namespace pw {
namespace {

using testing::namesIn;
using testing::TempDir;

constexpr std::size_t payloadSize = 20 * 1024 * 1024;
constexpr int kills = 200;
// Longer than a few write-sync-rename rounds, so kills land in every phase of one.
constexpr int longestLifeMicroseconds = 80'000;

std::string payload(unsigned seed)
{
    std::string bytes(payloadSize, '\0');
    std::minstd_rand random(seed);
    for (auto& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

// Forks a writer that replaces the file with the two payloads in turn until killed.
pid_t startWriter(const std::string& path, const std::string& first, const std::string& second)
{
    const pid_t child = ::fork();
    if (child != 0) return child;
    for (unsigned round = 0;; ++round) {
        const std::string& bytes = round % 2 ? second : first;
        (void)writeFileAtomically(path, bytes.data(), bytes.size());
    }
}

bool sameBytes(const std::vector<std::uint8_t>& bytes, const std::string& expected)
{
    return bytes.size() == expected.size() && std::memcmp(bytes.data(), expected.data(), bytes.size()) == 0;
}

bool isLeftoverOf(const std::string& name, pid_t writer)
{
    return name.starts_with(".document.pdf.pw" + std::to_string(writer) + "-") && name.ends_with(".tmp");
}

TEST(AtomicSaveTorture, AKilledWriterNeverLeavesAPartialFile)
{
    TempDir dir;
    const std::string path = dir.path() + "/document.pdf";
    const std::string first = payload(1), second = payload(2);
    ASSERT_FALSE(writeFileAtomically(path, first.data(), first.size()));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> life(0, longestLifeMicroseconds);

    int sawFirst = 0, sawSecond = 0, leftovers = 0;
    for (int i = 0; i < kills; ++i) {
        const pid_t writer = startWriter(path, i % 2 ? second : first, i % 2 ? first : second);
        ASSERT_GT(writer, 0);
        ::usleep(static_cast<useconds_t>(life(random)));
        ::kill(writer, SIGKILL);
        ASSERT_EQ(::waitpid(writer, nullptr, 0), writer);

        const auto contents = readWholeFile(path);
        ASSERT_TRUE(contents) << "kill " << i;
        const bool isFirst = sameBytes(*contents, first), isSecond = sameBytes(*contents, second);
        ASSERT_TRUE(isFirst || isSecond) << "kill " << i << ": " << contents->size() << " bytes, neither payload";
        sawFirst += isFirst;
        sawSecond += isSecond;

        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        ASSERT_EQ(st.st_mode & 07777, 0600u) << "kill " << i;

        // A writer killed between naming its file and renaming it (a few microseconds
        // of each round) may leave that file; the next write clears it.
        for (const auto& name : namesIn(dir.path())) {
            if (name == "document.pdf") continue;
            ASSERT_TRUE(isLeftoverOf(name, writer)) << "kill " << i << " left " << name;
            ++leftovers;
        }
    }
    RecordProperty("leftovers_cleared", leftovers);
    // Kills landed both before and after completed rounds.
    EXPECT_GT(sawFirst, 0);
    EXPECT_GT(sawSecond, 0);

    ASSERT_FALSE(writeFileAtomically(path, second.data(), second.size()));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"document.pdf"});
}

}  // namespace
}  // namespace pw
