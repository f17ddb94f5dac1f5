#include "ocr/result_document.h"

#include "ocr/word_split.h"

namespace pw {

nlohmann::json wordEntry(const std::string& text, const NormalizedRect& box, PixelSize image)
{
    return nlohmann::json::object({
        {"t", text},
        {"x0", image.width * box.minX},
        {"y0", image.height * (1 - box.maxY)},
        {"x1", image.width * box.maxX},
        {"y1", image.height * (1 - box.minY)},
    });
}

namespace {

nlohmann::json lineWords(const TextObservation& observation, PixelSize image)
{
    const std::string& text = observation.text();
    auto words = nlohmann::json::array();
    for (const TextRange& range : splitWords(text)) {
        if (auto box = observation.boundingBox(range.begin, range.end))
            words.push_back(wordEntry(text.substr(range.begin, range.end - range.begin), *box, image));
    }
    return words;
}

}  // namespace

nlohmann::json linesDocument(const std::vector<std::shared_ptr<const TextObservation>>& observations,
                             PixelSize image)
{
    auto lines = nlohmann::json::array();
    for (const auto& observation : observations) {
        if (!observation) continue;
        auto words = lineWords(*observation, image);
        if (!words.empty()) lines.push_back(nlohmann::json::object({{"words", std::move(words)}}));
    }
    return nlohmann::json::object({{"lines", std::move(lines)}});
}

nlohmann::json errorDocument(const std::string& description)
{
    return nlohmann::json::object({{"error", description}});
}

}  // namespace pw
