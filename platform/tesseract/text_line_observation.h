#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/text_recognizer.h"

namespace pw {

// A box in pixels on the cracks between pixels, origin top-left: the single top-left
// pixel is (0, 0, 1, 1).
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A recognised line assembled from an engine's words and their characters, which can
// give the box of any range of its text: engines that box words and characters, not
// text ranges, are presented through it.
class TextLineObservation : public TextObservation {
public:
    struct Glyph {
        std::string text;
        PixelBox box;
    };

    TextLineObservation(int imageWidth, int imageHeight);

    // Appends a word, after one space when the line has words already. When the glyphs'
    // texts do not spell the word exactly, the word is boxed only as a whole.
    void addWord(const std::string& text, const PixelBox& box, const std::vector<Glyph>& glyphs);

    const std::string& text() const override { return text_; }
    // The union of the boxes of the words the range covers whole and of the glyphs it
    // touches in words it covers in part; nullopt when it touches no glyph or word.
    std::optional<NormalizedRect> boundingBox(std::size_t begin, std::size_t end) const override;

private:
    struct Piece {
        std::size_t begin = 0;
        std::size_t end = 0;
        PixelBox box;
    };
    struct Word : Piece {
        std::vector<Piece> glyphs;
    };

    int imageWidth_;
    int imageHeight_;
    std::string text_;
    std::vector<Word> words_;
};

}  // namespace pw
