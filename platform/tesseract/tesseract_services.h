#pragma once

#include <cstddef>

#include "platform/recognition_services.h"

namespace pw::tess {

// Leptonica for the image, Tesseract for the text, and a pool of `workers` threads (one
// per core when 0) to run it on. Start-up hands the result to NativeOCR::install.
RecognitionServices makeRecognitionServices(std::size_t workers = 0);

}  // namespace pw::tess
