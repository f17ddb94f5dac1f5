#pragma once

#include <memory>

#include "platform/image_decoder.h"
#include "platform/text_recognizer.h"
#include "platform/work_queue.h"

namespace pw {

// What text recognition runs on: the decoder for the page's image, the engine, and the
// workers the engine runs on. Start-up installs the real ones (NativeOCR::install);
// tests pass fakes.
struct RecognitionServices {
    std::shared_ptr<ImageDecoder> decoder;
    std::shared_ptr<TextRecognizer> recognizer;
    std::shared_ptr<WorkQueue> workers;
};

}  // namespace pw
