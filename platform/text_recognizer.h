#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pw {

class Image;

// A rectangle in fractions of the image's width and height, origin at the image's
// bottom-left corner, y growing upwards.
struct NormalizedRect {
    double minX = 0;
    double minY = 0;
    double maxX = 0;
    double maxY = 0;
};

// One recognised piece of text (a line), reduced to its best candidate.
class TextObservation {
public:
    virtual ~TextObservation() = default;
    // The candidate's text, UTF-8.
    virtual const std::string& text() const = 0;
    // The box of the characters in text()[begin, end) (byte offsets); nullopt when the
    // range is not valid or holds nothing that has a box.
    virtual std::optional<NormalizedRect> boundingBox(std::size_t begin, std::size_t end) const = 0;
};

// What a recognition hands its handler: the observations in reading order, or an
// error description and no observations.
struct RecognitionReport {
    std::vector<std::shared_ptr<const TextObservation>> observations;
    std::optional<std::string> error;
};

// The engine that finds text in an image.
class TextRecognizer {
public:
    virtual ~TextRecognizer() = default;
    // Recognises `image` with `languages` ("fr-FR", "en-US") in order of preference and
    // reports the outcome to `handler` before returning. Failing to perform at all is
    // returned as an error description instead (a caller must still be ready for both).
    // Blocks for the whole recognition: call it on a worker thread, never the main one.
    virtual std::optional<std::string> perform(const Image& image, const std::vector<std::string>& languages,
                                               const std::function<void(RecognitionReport)>& handler) = 0;
};

}  // namespace pw
