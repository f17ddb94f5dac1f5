#include "platform/tesseract/tesseract_services.h"

#include "platform/tesseract/leptonica_image.h"
#include "platform/tesseract/tesseract_recognizer.h"
#include "platform/thread_pool.h"

namespace pw::tess {

RecognitionServices makeRecognitionServices(std::size_t workers)
{
    return {
        .decoder = std::make_shared<LeptonicaImageDecoder>(),
        .recognizer = std::make_shared<TesseractRecognizer>(),
        .workers = std::make_shared<ThreadPool>(workers),
    };
}

}  // namespace pw::tess
