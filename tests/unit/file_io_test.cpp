#include <algorithm>
#include <functional>
#include <variant>
#include <cerrno>
#include <cstring>
#include <filesystem>
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

using testing::FileSizeLimit;
using testing::namesIn;
using testing::TempDir;
namespace fs = std::filesystem;

std::optional<WriteError> writeText(const std::string& path, const std::string& text)
{
    return writeFileAtomically(path, text.data(), text.size());
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : saved_(::umask(mask)) {}
    ~UmaskScope() { ::umask(saved_); }

private:
    mode_t saved_;
};

// A process id that no process holds any more.
pid_t deadProcessId()
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(AtomicWrite, NewFileGetsTheUsualPermissionsAndExistingOnesKeepTheirs)
{
    TempDir dir;
    UmaskScope umask(022);
    ASSERT_FALSE(writeText(dir.path() + "/new.pdf", "new"));
    EXPECT_EQ(TempDir::read(dir.path() + "/new.pdf"), "new");
    EXPECT_EQ(modeOf(dir.path() + "/new.pdf"), 0644u);

    for (mode_t mode : {0600u, 0640u, 0755u, 0444u}) {
        const std::string path = dir.write("kept", "old contents");
        ::chmod(path.c_str(), mode);
        ASSERT_FALSE(writeText(path, "replaced")) << std::oct << mode;
        EXPECT_EQ(TempDir::read(path), "replaced");
        EXPECT_EQ(modeOf(path), mode);
    }
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"kept", "new.pdf"}));
}

TEST(AtomicWrite, SymbolicLinksAreWrittenThroughAndStay)
{
    TempDir dir;
    const std::string target = dir.write("real/target.pdf", "old");
    ::chmod(target.c_str(), 0600);
    const std::string absoluteLink = dir.path() + "/absolute.pdf";
    const std::string relativeLink = dir.path() + "/relative.pdf";
    const std::string chainLink = dir.path() + "/chain.pdf";
    fs::create_symlink(target, absoluteLink);
    fs::create_symlink("real/target.pdf", relativeLink);
    fs::create_symlink("relative.pdf", chainLink);

    for (const auto& link : {absoluteLink, relativeLink, chainLink}) {
        ASSERT_FALSE(writeText(link, "through " + link));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(TempDir::read(target), "through " + link);
        EXPECT_EQ(modeOf(target), 0600u);
    }

    // A link to a file not yet there makes the file, not a new link.
    const std::string dangling = dir.path() + "/dangling.pdf";
    fs::create_symlink("real/later.pdf", dangling);
    ASSERT_FALSE(writeText(dangling, "later"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(TempDir::read(dir.path() + "/real/later.pdf"), "later");

    // A loop is an error, not a hang.
    fs::create_symlink("loop-b", dir.path() + "/loop-a");
    fs::create_symlink("loop-a", dir.path() + "/loop-b");
    const auto loop = writeText(dir.path() + "/loop-a", "x");
    ASSERT_TRUE(loop);
    EXPECT_EQ(loop->description, std::strerror(ELOOP));
}

TEST(AtomicWrite, AFailedWriteLeavesTheDestinationAndNoTemporaryFile)
{
    TempDir dir;
    const std::string path = dir.write("doc.pdf", "precious");
    ::chmod(path.c_str(), 0600);
    const std::string big(1 << 20, 'x');
    std::optional<WriteError> error;
    {
        FileSizeLimit limit(64 * 1024);
        error = writeFileAtomically(path, big.data(), big.size());
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, std::strerror(EFBIG));
    EXPECT_EQ(TempDir::read(path), "precious");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"doc.pdf"});
}

TEST(AtomicWrite, ImpossibleDestinationsReportTheSystemsReason)
{
    TempDir dir;
    fs::create_directory(dir.path() + "/folder");
    dir.write("file", "f");
    const struct {
        std::string path;
        int code;
    } cases[] = {
        {dir.path() + "/missing/a.pdf", ENOENT},
        {dir.path() + "/folder", EISDIR},
        {dir.path() + "/file/a.pdf", ENOTDIR},
        {dir.path() + "/" + std::string(256, 'n'), ENAMETOOLONG},
    };
    for (const auto& c : cases) {
        const auto error = writeText(c.path, "x");
        ASSERT_TRUE(error) << c.path;
        EXPECT_EQ(error->description, std::strerror(c.code)) << c.path;
    }
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"file", "folder"}));
    EXPECT_TRUE(namesIn(dir.path() + "/folder").empty());
}

TEST(AtomicWrite, NamesAtTheLengthLimitAndEmptyContentsAreWritten)
{
    TempDir dir;
    const std::string longest = dir.path() + "/" + std::string(251, 'n') + ".pdf";
    ASSERT_FALSE(writeText(longest, "long"));
    EXPECT_EQ(TempDir::read(longest), "long");
    ASSERT_FALSE(writeText(dir.path() + "/empty", ""));
    EXPECT_TRUE(fs::exists(dir.path() + "/empty"));
    EXPECT_EQ(fs::file_size(dir.path() + "/empty"), 0u);
}

TEST(AtomicWrite, LeftoversOfDeadWritersAreClearedAndThoseOfLiveOnesKept)
{
    TempDir dir;
    const std::string dead = ".doc.pdf.pw" + std::to_string(deadProcessId()) + "-abcdefghij.tmp";
    const std::string live = ".doc.pdf.pw" + std::to_string(::getpid()) + "-abcdefghij.tmp";
    const std::string otherFile = ".other.pdf.pw" + std::to_string(deadProcessId()) + "-abcdefghij.tmp";
    const std::string notOurs = ".doc.pdf.pwned.tmp";
    for (const auto& name : {dead, live, otherFile, notOurs}) dir.write(name, "partial");

    ASSERT_FALSE(writeText(dir.path() + "/doc.pdf", "whole"));
    std::vector<std::string> kept{live, otherFile, notOurs, "doc.pdf"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(namesIn(dir.path()), kept);
}

TEST(PlainWrite, CreatesOrTruncates)
{
    TempDir dir;
    const std::string path = dir.path() + "/plain.bin";
    ASSERT_FALSE(writeFilePlain(path, "longer text", 11));
    ASSERT_FALSE(writeFilePlain(path, "short", 5));
    EXPECT_EQ(TempDir::read(path), "short");
    const auto error = writeFilePlain(dir.path() + "/missing/x", "x", 1);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, std::strerror(ENOENT));
}

TEST(ReadWholeFile, ReadsRegularFilesOnly)
{
    TempDir dir;
    const std::string bytes("a\0b\xff", 4);
    EXPECT_EQ(readWholeFile(dir.write("f", bytes)), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(readWholeFile(dir.write("empty", "")), std::vector<std::uint8_t>{});
    EXPECT_EQ(readWholeFile(dir.path()), std::nullopt);
    EXPECT_EQ(readWholeFile(dir.path() + "/missing"), std::nullopt);
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readWholeFile(fifo), std::nullopt);
}

TEST(ReadFile, AFileThatChangesSizeWhileReadIsNotTakenForAFile)
{
    TempDir dir;
    const std::string path = dir.write("growing.pdf", "%PDF-1.7");
    auto opened = WholeFileReader::open(path, maxOpenedFileSize);
    ASSERT_TRUE(std::holds_alternative<WholeFileReader>(opened));
    auto& file = std::get<WholeFileReader>(opened);
    ASSERT_EQ(file.size(), 8u);
    ASSERT_FALSE(writeFilePlain(path, "%PDF-1.7 and more", 17));  // the same file, written again in place
    std::vector<std::uint8_t> bytes(8);
    ASSERT_TRUE(file.read(bytes.data(), bytes.size()));
    EXPECT_FALSE(file.endsHere()) << "it goes on past the size it had";

    auto again = WholeFileReader::open(path, maxOpenedFileSize);
    auto& shrinking = std::get<WholeFileReader>(again);
    ASSERT_FALSE(writeFilePlain(path, "%PDF", 4));
    std::vector<std::uint8_t> all(static_cast<std::size_t>(shrinking.size()));
    EXPECT_FALSE(shrinking.read(all.data(), all.size())) << "it ends before the size it had";
}

TEST(ReadFile, KernelFilesAndDevicesAreUnreadableEvenThroughLinks)
{
    // Each looks like something to read; none is a file on a disk. pagemap reads
    // without end, /sys entries report 4096 bytes whatever they hold.
    TempDir dir;
    for (const char* target : {"/proc/self/pagemap", "/proc/self/status", "/sys/devices/system/cpu/online",
                               "/dev/zero", "/dev/null"}) {
        const std::string link = dir.path() + "/link" + std::to_string(std::hash<std::string>{}(target));
        ASSERT_EQ(::symlink(target, link.c_str()), 0);
        const auto read = readFile(link, maxOpenedFileSize);
        ASSERT_TRUE(std::holds_alternative<ReadFailure>(read)) << target;
        EXPECT_EQ(std::get<ReadFailure>(read), ReadFailure::Unreadable) << target;
    }
}

TEST(ReadFile, SizeIsJudgedBeforeAnythingIsRead)
{
    // Sparse: the sizes cost no disk, and a read of them would cost the memory.
    TempDir dir;
    const std::string huge = dir.write("huge.pdf", "");
    ASSERT_EQ(::truncate(huge.c_str(), off_t{8} << 40), 0);  // 8 TB
    EXPECT_EQ(std::get<ReadFailure>(readFile(huge, maxOpenedFileSize)), ReadFailure::TooLarge);
    const std::string over = dir.write("over.pdf", "");
    ASSERT_EQ(::truncate(over.c_str(), static_cast<off_t>(maxOpenedFileSize) + 1), 0);
    EXPECT_EQ(std::get<ReadFailure>(readFile(over, maxOpenedFileSize)), ReadFailure::TooLarge);

    const std::string small = dir.write("small", "12345");
    EXPECT_EQ(std::get<ReadFailure>(readFile(small, 4)), ReadFailure::TooLarge);
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(readFile(small, 5)).size(), 5u);
}

TEST(FilePaths, APathHoldingANulNamesNoFile)
{
    TempDir dir;
    const std::string shorter = dir.write("a.pdf", "kept");
    const std::string withNul = shorter + std::string("\0.txt", 5);
    const auto atomic = writeText(withNul, "new");
    ASSERT_TRUE(atomic);
    EXPECT_EQ(atomic->description, std::strerror(EINVAL));
    const auto plain = writeFilePlain(dir.path() + std::string("/b\0", 3), "x", 1);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->description, std::strerror(EINVAL));
    EXPECT_EQ(readWholeFile(withNul), std::nullopt);
    EXPECT_EQ(TempDir::read(shorter), "kept");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.pdf"});
}

TEST(PathComponents, BehaveLikeFileURLs)
{
    EXPECT_EQ(lastPathComponent("/tmp/a.pdf"), "a.pdf");
    EXPECT_EQ(lastPathComponent("/tmp/"), "tmp");
    EXPECT_EQ(lastPathComponent("/"), "/");
    EXPECT_EQ(lastPathComponent("a.pdf"), "a.pdf");
    EXPECT_EQ(deletingLastPathComponent("/tmp/a.pdf"), "/tmp");
    EXPECT_EQ(deletingLastPathComponent("/tmp/dir/"), "/tmp");
    EXPECT_EQ(deletingLastPathComponent("/a"), "/");
    EXPECT_EQ(deletingLastPathComponent("a.pdf"), ".");
    EXPECT_EQ(absolutePath("/x/y"), "/x/y");
    EXPECT_EQ(absolutePath("y"), fs::current_path().string() + "/y");
}

}  // namespace
}  // namespace pw
