#include "platform/tesseract/leptonica_image.h"

#include <leptonica/allheaders.h>

namespace pw::tess {

LeptonicaImage::LeptonicaImage(Pix* pix) : pix_(pix) {}

LeptonicaImage::~LeptonicaImage()
{
    pixDestroy(&pix_);
}

int LeptonicaImage::width() const
{
    return pixGetWidth(pix_);
}

int LeptonicaImage::height() const
{
    return pixGetHeight(pix_);
}

LeptonicaImageDecoder::LeptonicaImageDecoder()
{
    // Bytes that are no image are an ordinary answer here ({"error":"image"}), not
    // something to print on the terminal.
    setMsgSeverity(L_SEVERITY_NONE);
}

std::shared_ptr<const Image> LeptonicaImageDecoder::decodeFirst(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty()) return nullptr;
    Pix* pix = pixReadMem(bytes.data(), bytes.size());
    if (!pix) return nullptr;
    if (pixGetWidth(pix) <= 0 || pixGetHeight(pix) <= 0) {
        pixDestroy(&pix);
        return nullptr;
    }
    return std::make_shared<LeptonicaImage>(pix);
}

}  // namespace pw::tess
