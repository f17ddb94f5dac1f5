#include "platform/tesseract/tesseract_recognizer.h"

#include <map>
#include <memory>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include "platform/tesseract/leptonica_image.h"
#include "platform/tesseract/openmp_cap.h"
#include "platform/tesseract/text_line_observation.h"

namespace pw::tess {
namespace {

using Engine = tesseract::TessBaseAPI;

struct PixDeleter {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using OwnedPix = std::unique_ptr<Pix, PixDeleter>;

struct TextDeleter {
    void operator()(char* text) const { delete[] text; }
};
using OwnedText = std::unique_ptr<char, TextDeleter>;

// The engine this thread keeps for a model list, loaded on first use; nullptr when the
// models cannot be loaded. Engines are not shared between threads: a TessBaseAPI holds
// the state of the page it is working on.
Engine* engineFor(const std::string& dataPath, const std::string& models)
{
    thread_local std::map<std::string, std::unique_ptr<Engine>> engines;
    auto& engine = engines[dataPath + '\n' + models];
    if (engine) return engine.get();
    auto fresh = std::make_unique<Engine>();
    if (fresh->Init(dataPath.empty() ? nullptr : dataPath.c_str(), models.c_str(), tesseract::OEM_LSTM_ONLY) != 0)
        return nullptr;
    // Find the columns and blocks of a page rather than take it as one block, and keep
    // the engine's diagnostics ("Estimating resolution ...") off the terminal.
    fresh->SetPageSegMode(tesseract::PSM_AUTO);
    fresh->SetVariable("debug_file", "/dev/null");
    // Take every row as proportional text, skipping the search for fixed-pitch rows
    // (about 4 % of a page's time): the LSTM reads whole lines whatever their pitch, so
    // the words come out the same, and the character cells that search cuts monospaced
    // rows into clip word boxes by a few pixels.
    fresh->SetVariable("textord_all_prop", "1");
    engine = std::move(fresh);
    return engine.get();
}

// An RGB image whose pixels are all grey, as rendered pages of text usually are, is
// handed over as 8-bit grey: Tesseract reads it to the same words and boxes, and its
// layout analysis, which thresholds every colour channel, takes a third less time.
// nullptr when the image is to be handed over as it is. One pass both checks the pixels
// and copies them, stopping at the first coloured one.
OwnedPix greyVersion(Pix* pix)
{
    if (pixGetDepth(pix) != 32 || pixGetSpp(pix) == 4) return nullptr;
    const int width = pixGetWidth(pix);
    const int height = pixGetHeight(pix);
    OwnedPix grey(pixCreate(width, height, 8));
    if (!grey) return nullptr;
    pixCopyResolution(grey.get(), pix);
    const int wordsPerLine = pixGetWpl(pix);
    const int greyWordsPerLine = pixGetWpl(grey.get());
    const l_uint32* line = pixGetData(pix);
    l_uint32* greyLine = pixGetData(grey.get());
    for (int y = 0; y < height; ++y, line += wordsPerLine, greyLine += greyWordsPerLine) {
        for (int x = 0; x < width; ++x) {
            const l_uint32 v = line[x];
            const l_uint32 red = v >> 24;
            if (red != ((v >> 16) & 0xff) || red != ((v >> 8) & 0xff)) return nullptr;
            SET_DATA_BYTE(greyLine, x, red);
        }
    }
    return grey;
}

PixelBox boxAt(const tesseract::LTRResultIterator& it, tesseract::PageIteratorLevel level)
{
    PixelBox box;
    it.BoundingBox(level, &box.left, &box.top, &box.right, &box.bottom);
    return box;
}

std::string textAt(const tesseract::LTRResultIterator& it, tesseract::PageIteratorLevel level)
{
    OwnedText text(it.GetUTF8Text(level));
    return text ? std::string(text.get()) : std::string();
}

// Tesseract's text lines in reading order, each word with its characters' boxes.
std::vector<std::shared_ptr<const TextObservation>> readLines(Engine& engine, int width, int height)
{
    std::vector<std::shared_ptr<const TextObservation>> lines;
    std::unique_ptr<tesseract::ResultIterator> start(engine.GetIterator());
    if (!start) return lines;
    // Walked left to right: with only left-to-right models loaded that is the reading
    // order, and it spares the bidirectional iterator's rescans of the line before
    // every word and character, a few per cent of a page's time.
    tesseract::LTRResultIterator it(*start);
    it.Begin();
    std::shared_ptr<TextLineObservation> line;
    while (!it.Empty(tesseract::RIL_BLOCK)) {
        if (it.Empty(tesseract::RIL_WORD)) {
            it.Next(tesseract::RIL_WORD);
            continue;
        }
        if (!line || it.IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
            line = std::make_shared<TextLineObservation>(width, height);
            lines.push_back(line);
        }
        const std::string word = textAt(it, tesseract::RIL_WORD);
        const PixelBox wordBox = boxAt(it, tesseract::RIL_WORD);
        std::vector<TextLineObservation::Glyph> glyphs;
        do {
            glyphs.push_back({textAt(it, tesseract::RIL_SYMBOL), boxAt(it, tesseract::RIL_SYMBOL)});
            it.Next(tesseract::RIL_SYMBOL);
        } while (!it.Empty(tesseract::RIL_BLOCK) && !it.IsAtBeginningOf(tesseract::RIL_WORD));
        if (!word.empty()) line->addWord(word, wordBox, glyphs);
    }
    return lines;
}

std::string modelName(const std::string& tag)
{
    const std::string language = tag.substr(0, tag.find_first_of("-_"));
    if (language == "fr") return "fra";
    if (language == "en") return "eng";
    return {};
}

}  // namespace

TesseractRecognizer::TesseractRecognizer(TesseractOptions options) : options_(std::move(options)) {}

std::string TesseractRecognizer::modelNames(const std::vector<std::string>& languages)
{
    std::string models;
    for (const auto& tag : languages) {
        const std::string model = modelName(tag);
        if (model.empty()) continue;
        if (!models.empty()) models += '+';
        models += model;
    }
    return models;
}

std::optional<std::string> TesseractRecognizer::perform(const Image& image, const std::vector<std::string>& languages,
                                                        const std::function<void(RecognitionReport)>& handler)
{
    if (options_.capOpenMP) capOpenMPOnThisThread();
    const std::string models = modelNames(languages);
    if (models.empty()) return "No text recognition model for the requested languages.";
    Engine* engine = engineFor(options_.dataPath, models);
    if (!engine) return "The text recognition models (" + models + ") could not be loaded.";

    const auto* source = dynamic_cast<const LeptonicaImage*>(&image);
    if (!source) return "The image was not decoded for text recognition.";
    // Otherwise Tesseract copies the image into a form it reads (colour map removed,
    // transparency laid on white, odd depths widened).
    const OwnedPix grey = greyVersion(source->pix());
    engine->SetImage(grey ? grey.get() : source->pix());
    RecognitionReport report;
    if (engine->Recognize(nullptr) != 0) {
        engine->Clear();
        return "Text recognition failed on this image.";
    }
    report.observations = readLines(*engine, image.width(), image.height());
    // Keeps the loaded models, frees the page.
    engine->Clear();
    handler(std::move(report));
    return std::nullopt;
}

}  // namespace pw::tess
