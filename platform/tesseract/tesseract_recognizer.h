#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/text_recognizer.h"

namespace pw::tess {

struct TesseractOptions {
    // Folder of the .traineddata files; empty for the one Tesseract was built with
    // (Debian's tesseract-ocr-eng and -fra install there).
    std::string dataPath;
    // Keep OpenMP to the recognising thread (see openmp_cap.h). Off only to measure.
    bool capOpenMP = true;
};

// Tesseract 5's LSTM engine with its dictionaries, presenting its text lines as
// observations. Each thread keeps one initialised engine per language order, so only a
// thread's first request with an order pays for loading the models.
class TesseractRecognizer : public TextRecognizer {
public:
    explicit TesseractRecognizer(TesseractOptions options = {});

    // `image` must come from LeptonicaImageDecoder.
    std::optional<std::string> perform(const Image& image, const std::vector<std::string>& languages,
                                       const std::function<void(RecognitionReport)>& handler) override;

    // Tesseract's model list for language tags, in order: {"fr-FR", "en-US"} gives
    // "fra+eng". Tags without a model are left out.
    static std::string modelNames(const std::vector<std::string>& languages);

private:
    TesseractOptions options_;
};

}  // namespace pw::tess
