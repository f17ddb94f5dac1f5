#include "platform/tesseract/text_line_observation.h"

#include <algorithm>

namespace pw {
namespace {

bool overlaps(std::size_t begin, std::size_t end, std::size_t pieceBegin, std::size_t pieceEnd)
{
    return begin < pieceEnd && pieceBegin < end;
}

void unite(std::optional<PixelBox>& total, const PixelBox& box)
{
    if (!total) {
        total = box;
        return;
    }
    total->left = std::min(total->left, box.left);
    total->top = std::min(total->top, box.top);
    total->right = std::max(total->right, box.right);
    total->bottom = std::max(total->bottom, box.bottom);
}

}  // namespace

TextLineObservation::TextLineObservation(int imageWidth, int imageHeight)
    : imageWidth_(imageWidth), imageHeight_(imageHeight)
{
}

void TextLineObservation::addWord(const std::string& text, const PixelBox& box, const std::vector<Glyph>& glyphs)
{
    if (!words_.empty()) text_ += ' ';
    Word word;
    word.begin = text_.size();
    word.box = box;
    std::string spelled;
    for (const Glyph& glyph : glyphs) {
        const std::size_t at = word.begin + spelled.size();
        spelled += glyph.text;
        word.glyphs.push_back({at, word.begin + spelled.size(), glyph.box});
    }
    if (spelled != text) word.glyphs.clear();
    text_ += text;
    word.end = text_.size();
    words_.push_back(std::move(word));
}

std::optional<NormalizedRect> TextLineObservation::boundingBox(std::size_t begin, std::size_t end) const
{
    if (begin >= end || end > text_.size() || imageWidth_ <= 0 || imageHeight_ <= 0) return std::nullopt;
    std::optional<PixelBox> total;
    for (const Word& word : words_) {
        if (!overlaps(begin, end, word.begin, word.end)) continue;
        const bool whole = begin <= word.begin && word.end <= end;
        if (whole || word.glyphs.empty()) {
            unite(total, word.box);
            continue;
        }
        for (const Piece& glyph : word.glyphs) {
            if (overlaps(begin, end, glyph.begin, glyph.end)) unite(total, glyph.box);
        }
    }
    if (!total) return std::nullopt;
    const double width = imageWidth_;
    const double height = imageHeight_;
    return NormalizedRect{
        .minX = total->left / width,
        .minY = 1 - total->bottom / height,
        .maxX = total->right / width,
        .maxY = 1 - total->top / height,
    };
}

}  // namespace pw
