#include "platform/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
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

std::string temporaryNameBeside(const std::string& path)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 10; ++i) suffix += digits[random() % 36];
    return deletingLastPathComponent(path) + "/." + lastPathComponent(path) + "." + suffix + ".tmp";
}

void syncFolder(const std::string& folder)
{
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;

    std::vector<std::uint8_t> bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) bytes.resize(bytes.size() + 65536);  // the file grew
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(filled);
    return bytes;
}

std::optional<WriteError> writeFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    const auto target = resolveLinks(absolutePath(path));
    if (!target) return errnoError(errno);

    mode_t mode = 0666;
    struct stat existing {};
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return errnoError(EISDIR);

    const std::string temporary = temporaryNameBeside(*target);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : mode));
    if (fd.get() < 0) return errnoError(errno);

    auto fail = [&](int code) {
        ::unlink(temporary.c_str());
        return errnoError(code);
    };
    if (!writeAll(fd.get(), data, size)) return fail(errno);
    // A new file gets the usual permissions (0666 less the umask, already applied by
    // open); an existing one keeps its own bits, and its owner where we may set it.
    if (exists) {
        if (::fchmod(fd.get(), existing.st_mode & 07777) != 0) return fail(errno);
        if (::geteuid() == 0) (void)!::fchown(fd.get(), existing.st_uid, existing.st_gid);
    }
    if (::fsync(fd.get()) != 0) return fail(errno);
    if (!fd.close()) return fail(errno);
    if (::rename(temporary.c_str(), target->c_str()) != 0) return fail(errno);
    syncFolder(deletingLastPathComponent(*target));
    return std::nullopt;
}

std::optional<WriteError> writeFilePlain(const std::string& path, const void* data, std::size_t size)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
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
