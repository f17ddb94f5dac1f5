#include "platform/gtk/recognition_platform.h"

#include "platform/gtk/leptonica_image.h"
#include "platform/gtk/tesseract_recognizer.h"
#include "platform/thread_pool.h"

namespace pw::gtk {

RecognitionServices makeRecognitionServices(std::size_t workers)
{
    return {
        .decoder = std::make_shared<LeptonicaImageDecoder>(),
        .recognizer = std::make_shared<TesseractRecognizer>(),
        .workers = std::make_shared<ThreadPool>(workers),
    };
}

}  // namespace pw::gtk
