#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace pw {

// A decoded image as the recogniser of the same platform takes it. Callers above the
// platform read only its size: the stored pixel grid, no orientation applied.
class Image {
public:
    virtual ~Image() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    // The first image of an encoded file (the first page of a multi-page one); nullptr
    // when the bytes are not an image this decoder reads. Any thread.
    virtual std::shared_ptr<const Image> decodeFirst(std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace pw
