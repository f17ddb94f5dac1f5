#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace pw {

// The largest file handed to the page: its Base64 (four characters per three bytes,
// about 1.43 billion here) must fit in one string of the page's engine, well below the
// 2^31 characters at which WebKit aborts the whole process.
inline constexpr std::uint64_t maxOpenedFileSize = std::uint64_t{1} << 30;

enum class ReadFailure {
    Unreadable,   // missing, no permission, not a regular file, or changed while read
    TooLarge,     // larger than the limit asked for; nothing was read
    OutOfMemory,  // the bytes did not fit in memory
};

using FileRead = std::variant<std::vector<std::uint8_t>, ReadFailure>;

// Reads a whole regular file, links followed, in one piece of exactly its size. Only
// files on a disk count: a FIFO, a device, a folder, and the files of /proc and /sys
// (which report a size that is not their contents, or none, and may never end) are
// unreadable, and nothing of them is read. The size is checked before anything is
// allocated.
FileRead readFile(const std::string& path, std::uint64_t maxSize);

// A regular file opened to be read whole a piece at a time, after the checks readFile
// makes, so that a caller can turn it into something else (Base64) without holding all
// of its bytes at once.
class WholeFileReader {
public:
    // Opens the file; fails as readFile would, before anything is read.
    static std::variant<WholeFileReader, ReadFailure> open(const std::string& path, std::uint64_t maxSize);

    WholeFileReader(WholeFileReader&& other) noexcept;
    WholeFileReader& operator=(WholeFileReader&&) = delete;
    WholeFileReader(const WholeFileReader&) = delete;
    ~WholeFileReader();

    // The size the file had when it was opened.
    std::uint64_t size() const { return size_; }
    // Fills `count` bytes with the file's next ones; false when the file ends first.
    bool read(std::uint8_t* into, std::size_t count);
    // Once size() bytes are read: whether the file ends there. One that goes on is being
    // written by someone, and what was read is not a file that ever was.
    bool endsHere();

private:
    WholeFileReader(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::uint64_t size_;
};

// The same with any failure as nullopt.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path,
                                                       std::uint64_t maxSize = maxOpenedFileSize);

// Outcome of a write: empty on success, else the system's description of the error.
struct WriteError {
    std::string description;
};

// Puts the bytes into the file in place of whatever it held: a temporary file in the
// destination's folder, written whole and synced, renamed over the destination, then
// the folder synced. An existing destination keeps its permission bits, and a symbolic
// link is written through to its target and stays a link. On failure the destination
// is untouched and no temporary file is left.
std::optional<WriteError> writeFileAtomically(const std::string& path, const void* data, std::size_t size);

// Creates or truncates the file and writes the bytes into it directly. A file it
// creates gets `mode` (less the umask) and keeps no wider bits whatever the umask.
std::optional<WriteError> writeFilePlain(const std::string& path, const void* data, std::size_t size,
                                         unsigned mode = 0666);

// An absolute form of the path: relative paths are taken from the current directory.
std::string absolutePath(const std::string& path);

// The last path component ("a.pdf" for "/tmp/a.pdf"; "tmp" for "/tmp/").
std::string lastPathComponent(const std::string& path);

// The path without its last component ("/tmp" for "/tmp/a.pdf", "/" for "/a").
std::string deletingLastPathComponent(const std::string& path);

}  // namespace pw
