#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/image_decoder.h"

struct Pix;

namespace pw::tess {

// A Leptonica pixel grid as read from the file, owned.
class LeptonicaImage : public Image {
public:
    explicit LeptonicaImage(Pix* pix);
    ~LeptonicaImage() override;
    LeptonicaImage(const LeptonicaImage&) = delete;
    LeptonicaImage& operator=(const LeptonicaImage&) = delete;

    int width() const override;
    int height() const override;
    Pix* pix() const { return pix_; }

private:
    Pix* pix_;
};

// Reads PNG, JPEG, TIFF, GIF, WebP, BMP, PNM and JPEG 2000 with Leptonica: the first
// image of the file (page 0 of a multi-page TIFF), with no orientation tag applied.
class LeptonicaImageDecoder : public ImageDecoder {
public:
    LeptonicaImageDecoder();
    std::shared_ptr<const Image> decodeFirst(std::span<const std::uint8_t> bytes) override;
};

}  // namespace pw::tess
