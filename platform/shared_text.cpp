#include "platform/shared_text.h"

#include <cerrno>
#include <new>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

constexpr int allSeals = F_SEAL_SEAL | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
// What a reader needs: growing the file later takes nothing from a mapping.
constexpr int readerSeals = F_SEAL_SHRINK | F_SEAL_WRITE;

struct Mapping {
    Mapping(void* start, std::size_t length) : data(start), size(length) {}
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() { ::munmap(data, size); }
    void* data;
    std::size_t size;
};

// pwrite and pread may do part of the work; this goes on until it is all done.
template <typename Transfer, typename Byte>
bool transferWhole(Transfer transfer, int fd, Byte* data, std::size_t count, off_t offset)
{
    while (count > 0) {
        const ssize_t done = transfer(fd, data, count, offset);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        count -= static_cast<std::size_t>(done);
        offset += done;
    }
    return true;
}

}  // namespace

struct SharedText::File {
    explicit File(int descriptor) : fd(descriptor) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { ::close(fd); }
    int fd;
};

std::optional<SharedText> SharedText::create(std::size_t size)
{
    const int fd = ::memfd_create("pagewick-text", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return std::nullopt;
    auto file = std::make_shared<File>(fd);
    // Written through the descriptor rather than a mapping: the kernel then fills whole
    // pages without a fault for each, which on some machines costs more than the copy.
    if (size > 0 && ::posix_fallocate(fd, 0, static_cast<off_t>(size)) != 0) return std::nullopt;
    return SharedText(std::move(file), size);
}

bool SharedText::write(std::size_t offset, const char* data, std::size_t count)
{
    if (offset > size_ || count > size_ - offset || sealed()) return false;
    return transferWhole(::pwrite, file_->fd, data, count, static_cast<off_t>(offset));
}

bool SharedText::seal()
{
    return ::fcntl(file_->fd, F_ADD_SEALS, allSeals) == 0;
}

bool SharedText::sealed() const
{
    const int seals = ::fcntl(file_->fd, F_GET_SEALS);
    return seals >= 0 && (seals & allSeals) == allSeals;
}

int SharedText::descriptor() const
{
    return file_->fd;
}

std::optional<std::string> SharedText::read() const
{
    std::string text;
    try {
        text.resize(size_);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!transferWhole(::pread, file_->fd, text.data(), size_, 0)) return std::nullopt;
    return text;
}

std::optional<SharedBytes> mapSealedMemory(int fd)
{
    const int seals = ::fcntl(fd, F_GET_SEALS);
    struct stat status {};
    if (seals < 0 || (seals & readerSeals) != readerSeals || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size < 0)
        return std::nullopt;
    const auto size = static_cast<std::size_t>(status.st_size);
    if (size == 0) return SharedBytes();
    // Populated at once: the pages are read through, and one call faults them all in.
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) return std::nullopt;
    auto mapping = std::make_shared<const Mapping>(data, size);
    return SharedBytes(mapping, static_cast<const std::uint8_t*>(data), size);
}

}  // namespace pw
