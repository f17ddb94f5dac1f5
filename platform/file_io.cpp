#include "platform/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string_view>
#include <variant>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace pw {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Gives the descriptor up to the caller, who closes it.
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now and reports whether the close succeeded (it can report a deferred
    // write error on some file systems).
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

WriteError errnoError(int code)
{
    return WriteError{std::strerror(code)};
}

// A path holding a NUL names no file: the system calls would stop at the NUL and act
// on a shorter path, writing or reading some other file than the one asked for.
bool holdsNul(const std::string& path)
{
    return path.find('\0') != std::string::npos;
}

bool writeAll(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Files of the kernel's own file systems look regular but are not: /proc and /sys
// entries report a size of 0 or 4096 whatever they hold, and some (/proc/self/pagemap)
// read without end.
bool onPseudoFileSystem(int fd)
{
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
        return true;
    default:
        return false;
    }
}

// Follows symbolic links from the path to the file they finally name (which need not
// exist yet). Relative link targets are taken from the link's own folder.
std::optional<std::string> resolveLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return std::nullopt;
        target.resize(static_cast<std::size_t>(n));
        path = target.starts_with('/') ? target : deletingLastPathComponent(path) + "/" + target;
    }
    errno = ELOOP;
    return std::nullopt;
}

// Temporary names carry the writer's process id, so that a later write can tell the
// leftovers of a writer that died (killed between naming its file and renaming it)
// from those of a writer still at work. Only a short prefix of the destination's name
// is used: a destination whose name is near the length limit must stay writable.
constexpr std::size_t temporaryPrefixLength = 64;

std::string temporaryPrefixFor(const std::string& target)
{
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "." + std::string.
    std::string prefix(1, '.');
    prefix += lastPathComponent(target).substr(0, temporaryPrefixLength);
    prefix += ".pw";
    return prefix;
}

std::string temporaryNameBeside(const std::string& target)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 10; ++i) suffix += digits[random() % 36];
    return deletingLastPathComponent(target) + "/" + temporaryPrefixFor(target) + std::to_string(::getpid()) + "-" +
           suffix + ".tmp";
}

// The writer's process id in a temporary name of ours for `prefix`, else nullopt.
std::optional<pid_t> temporaryWriter(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix) || !name.ends_with(".tmp")) return std::nullopt;
    name.remove_prefix(prefix.size());
    const auto dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9) return std::nullopt;
    pid_t pid = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9') return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// Removes temporary files left for this destination by writers that no longer run.
void removeLeftovers(const std::string& target)
{
    const std::string folder = deletingLastPathComponent(target);
    const std::string prefix = temporaryPrefixFor(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const auto writer = temporaryWriter(entry->d_name, prefix);
        if (writer && *writer > 0 && ::kill(*writer, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void syncFolder(const std::string& folder)
{
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

struct Destination {
    std::string target;  // the file finally written, symbolic links followed
    bool exists = false;
    struct stat previous {};
};

// Fills the file with the bytes, gives it the permissions it will keep and syncs it.
// Returns 0 or the errno of the failing step.
int stage(int fd, const Destination& destination, const void* data, std::size_t size)
{
    if (!writeAll(fd, data, size)) return errno;
    // A new file gets the usual permissions (0666 less the umask, applied at creation);
    // an existing one keeps its own bits, and its owner where we may set it.
    if (destination.exists) {
        if (::fchmod(fd, destination.previous.st_mode & 07777) != 0) return errno;
        if (::geteuid() == 0) (void)!::fchown(fd, destination.previous.st_uid, destination.previous.st_gid);
    }
    if (::fsync(fd) != 0) return errno;
    return 0;
}

mode_t creationMode(const Destination& destination)
{
    // Nobody else may read the new contents before they get the destination's bits.
    return destination.exists ? 0600 : 0666;
}

// Gives the staged file its temporary name; it had none until now.
int linkUnnamed(int fd, const std::string& temporary)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    const int viaProc = errno;
    if (::linkat(fd, "", AT_FDCWD, temporary.c_str(), AT_EMPTY_PATH) == 0) return 0;
    return viaProc;
}

int moveIntoPlace(const std::string& temporary, const std::string& target)
{
    if (::rename(temporary.c_str(), target.c_str()) == 0) return 0;
    const int code = errno;
    ::unlink(temporary.c_str());
    return code;
}

enum class Staging { Done, Unsupported };

// The bytes go into a file without a name, which is named only just before the
// rename: a writer killed while writing or syncing leaves nothing behind.
std::variant<Staging, WriteError> replaceThroughUnnamedFile(const Destination& destination, const void* data,
                                                             std::size_t size)
{
    const std::string folder = deletingLastPathComponent(destination.target);
    FileDescriptor fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, creationMode(destination)));
    if (fd.get() < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return Staging::Unsupported;
        return errnoError(errno);
    }
    if (const int code = stage(fd.get(), destination, data, size)) return errnoError(code);
    const std::string temporary = temporaryNameBeside(destination.target);
    if (const int code = linkUnnamed(fd.get(), temporary)) {
        // No way to name it here (no /proc, or a file system that refuses): the
        // named route still works.
        if (code == ENOENT || code == EPERM || code == EOPNOTSUPP) return Staging::Unsupported;
        return errnoError(code);
    }
    // Renamed at once, the file still open: the named moment stays as short as it can.
    // Its contents are already synced, so closing it afterwards has nothing to report.
    if (const int code = moveIntoPlace(temporary, destination.target)) return errnoError(code);
    return Staging::Done;
}

// For file systems without unnamed files: a named temporary file from the start.
std::optional<WriteError> replaceThroughNamedFile(const Destination& destination, const void* data,
                                                  std::size_t size)
{
    const std::string temporary = temporaryNameBeside(destination.target);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, creationMode(destination)));
    if (fd.get() < 0) return errnoError(errno);
    int code = stage(fd.get(), destination, data, size);
    if (code == 0 && !fd.close()) code = errno;
    if (code != 0) {
        ::unlink(temporary.c_str());
        return errnoError(code);
    }
    if ((code = moveIntoPlace(temporary, destination.target))) return errnoError(code);
    return std::nullopt;
}

}  // namespace

std::variant<WholeFileReader, ReadFailure> WholeFileReader::open(const std::string& path, std::uint64_t maxSize)
{
    if (holdsNul(path)) return ReadFailure::Unreadable;
    // Non-blocking, so that a FIFO's open returns at once instead of waiting for a writer.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return ReadFailure::Unreadable;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || onPseudoFileSystem(fd.get()))
        return ReadFailure::Unreadable;
    if (st.st_size < 0) return ReadFailure::Unreadable;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxSize) return ReadFailure::TooLarge;
    return WholeFileReader(fd.release(), size);
}

WholeFileReader::WholeFileReader(WholeFileReader&& other) noexcept : fd_(other.fd_), size_(other.size_)
{
    other.fd_ = -1;
}

WholeFileReader::~WholeFileReader()
{
    if (fd_ >= 0) ::close(fd_);
}

bool WholeFileReader::read(std::uint8_t* into, std::size_t count)
{
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t n = ::read(fd_, into + filled, count - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        filled += static_cast<std::size_t>(n);
    }
    return true;
}

bool WholeFileReader::endsHere()
{
    std::uint8_t beyond;
    for (;;) {
        const ssize_t n = ::read(fd_, &beyond, 1);
        if (n < 0 && errno == EINTR) continue;
        return n == 0;
    }
}

FileRead readFile(const std::string& path, std::uint64_t maxSize)
{
    auto opened = WholeFileReader::open(path, maxSize);
    if (auto* failure = std::get_if<ReadFailure>(&opened)) return *failure;
    auto& file = std::get<WholeFileReader>(opened);
    try {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
        if (!file.read(bytes.data(), bytes.size()) || !file.endsHere()) return ReadFailure::Unreadable;
        return bytes;
    } catch (const std::bad_alloc&) {
        return ReadFailure::OutOfMemory;
    }
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path, std::uint64_t maxSize)
{
    auto read = readFile(path, maxSize);
    if (auto* bytes = std::get_if<std::vector<std::uint8_t>>(&read)) return std::move(*bytes);
    return std::nullopt;
}

std::optional<WriteError> writeFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    if (holdsNul(path)) return errnoError(EINVAL);
    const auto target = resolveLinks(absolutePath(path));
    if (!target) return errnoError(errno);

    Destination destination{*target};
    destination.exists = ::stat(target->c_str(), &destination.previous) == 0;
    if (destination.exists && S_ISDIR(destination.previous.st_mode)) return errnoError(EISDIR);

    removeLeftovers(destination.target);
    auto outcome = replaceThroughUnnamedFile(destination, data, size);
    if (auto* error = std::get_if<WriteError>(&outcome)) return *error;
    if (std::get<Staging>(outcome) == Staging::Unsupported) {
        if (auto error = replaceThroughNamedFile(destination, data, size)) return error;
    }
    syncFolder(deletingLastPathComponent(destination.target));
    return std::nullopt;
}

std::optional<WriteError> writeFilePlain(const std::string& path, const void* data, std::size_t size, unsigned mode)
{
    if (holdsNul(path)) return errnoError(EINVAL);
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode)));
    if (fd.get() < 0) return errnoError(errno);
    if (!writeAll(fd.get(), data, size)) return errnoError(errno);
    if (!fd.close()) return errnoError(errno);
    return std::nullopt;
}

std::string absolutePath(const std::string& path)
{
    if (path.starts_with('/')) return path;
    std::string cwd(PATH_MAX, '\0');
    if (!::getcwd(cwd.data(), cwd.size())) return path;
    cwd.resize(std::strlen(cwd.c_str()));
    if (path.empty()) return cwd;
    return cwd == "/" ? "/" + path : cwd + "/" + path;
}

std::string lastPathComponent(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : (p.size() == 1 ? p : p.substr(slash + 1));
}

std::string deletingLastPathComponent(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

}  // namespace pw
