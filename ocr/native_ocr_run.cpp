#include <exception>
#include <mutex>
#include <vector>

#include "common/base64.h"
#include "ocr/native_ocr.h"
#include "ocr/request_guard.h"
#include "ocr/result_document.h"

namespace pw {
namespace {

std::mutex installedMutex;
RecognitionServices installed;

// Both languages always; only the exact hint "fr" puts French first.
std::vector<std::string> recognitionLanguages(const std::string& lang)
{
    if (lang == "fr") return {"fr-FR", "en-US"};
    return {"en-US", "fr-FR"};
}

// Runs on a worker: whichever of the engine's handler and its performing error comes
// first finishes the request.
void recognize(TextRecognizer& recognizer, const std::shared_ptr<const Image>& image,
               const std::vector<std::string>& languages, const std::shared_ptr<RequestGuard>& guard)
{
    const PixelSize size{static_cast<double>(image->width()), static_cast<double>(image->height())};
    try {
        const auto performError = recognizer.perform(*image, languages, [&](RecognitionReport report) {
            if (report.error) {
                guard->finish(NativeOCR::json(errorDocument(*report.error)));
                return;
            }
            guard->finish(NativeOCR::json(linesDocument(report.observations, size)));
        });
        if (performError) guard->finish(NativeOCR::json(errorDocument(*performError)));
    } catch (const std::exception& error) {
        // Nothing is thrown back at the page; the request still gets its one reply.
        guard->finish(NativeOCR::json(errorDocument(error.what())));
    }
}

}  // namespace

void NativeOCR::install(RecognitionServices services)
{
    std::lock_guard lock(installedMutex);
    installed = std::move(services);
}

void NativeOCR::run(const std::string& b64, const std::string& lang, std::function<void(std::string)> completion)
{
    RecognitionServices services;
    {
        std::lock_guard lock(installedMutex);
        services = installed;
    }
    run(services, b64, lang, std::move(completion));
}

void NativeOCR::run(const RecognitionServices& services, const std::string& b64, const std::string& lang,
                    std::function<void(std::string)> completion)
{
    if (!services.decoder || !services.recognizer || !services.workers) {
        completion(json(errorDocument("text recognition is not available")));
        return;
    }
    const auto bytes = base64::decode(b64);
    if (!bytes) {
        completion(json(errorDocument("image")));
        return;
    }
    auto image = services.decoder->decodeFirst(*bytes);
    if (!image) {
        completion(json(errorDocument("image")));
        return;
    }
    auto guard = std::make_shared<RequestGuard>(std::move(completion));
    // The item holds the engine, not the workers: a pool must never end up owned by one
    // of its own items.
    services.workers->async([recognizer = services.recognizer, image = std::move(image),
                             languages = recognitionLanguages(lang), guard] {
        recognize(*recognizer, image, languages, guard);
    });
}

}  // namespace pw
