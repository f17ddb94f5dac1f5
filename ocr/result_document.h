#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/text_recognizer.h"

namespace pw {

// The pixel size of the recognised image, as stored.
struct PixelSize {
    double width = 0;
    double height = 0;
};

// One word of the result: its text and its box converted from the recogniser's
// normalised, bottom-left-origin rectangle to pixels from the top-left corner.
nlohmann::json wordEntry(const std::string& text, const NormalizedRect& box, PixelSize image);

// {"lines": [...]}: one line per observation that yields at least one word; a word
// whose box the observation cannot give is left out.
nlohmann::json linesDocument(const std::vector<std::shared_ptr<const TextObservation>>& observations,
                             PixelSize image);

// {"error": description}.
nlohmann::json errorDocument(const std::string& description);

}  // namespace pw
