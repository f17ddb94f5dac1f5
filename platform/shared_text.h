#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "common/shared_bytes.h"

namespace pw {

// A text written once and then handed whole to another process, which maps it instead
// of receiving a copy: a file's Base64 on its way to the page. It lives in an anonymous
// memory file; once sealed, nobody can write, grow or shrink it, so a reader that
// mapped it can never find its pages gone. Copies share the text.
class SharedText {
public:
    // Room for exactly `size` bytes, reserved now so that writing cannot run out of
    // memory half-way; nullopt when the memory cannot be had.
    static std::optional<SharedText> create(std::size_t size);

    std::size_t size() const { return size_; }

    // Writes `count` bytes at `offset`, before the text is sealed; false when that
    // falls outside the text or the system refuses.
    bool write(std::size_t offset, const char* data, std::size_t count);
    // Makes the text read-only for good; false when the system refuses.
    bool seal();
    bool sealed() const;

    // The memory file, for the platform to hand over; owned by the text.
    int descriptor() const;

    // The whole text read back, for callers that must pass it as an ordinary string.
    std::optional<std::string> read() const;

private:
    struct File;
    SharedText(std::shared_ptr<File> file, std::size_t size) : file_(std::move(file)), size_(size) {}
    std::shared_ptr<File> file_;
    std::size_t size_ = 0;
};

// The bytes of a memory file that nobody can shrink or change any more (a sealed
// SharedText of another process), mapped where they are, so that its pages cannot go
// while they are read; nullopt for any other file, or when it cannot be mapped. The
// descriptor stays the caller's: the mapping outlives it.
std::optional<SharedBytes> mapSealedMemory(int fd);

}  // namespace pw
