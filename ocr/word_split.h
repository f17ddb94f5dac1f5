#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace pw {

// A byte range [begin, end) of a UTF-8 text.
struct TextRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// The words of a text: maximal runs of user-perceived characters (extended grapheme
// clusters) that are not whitespace. A cluster is whitespace when its first code point
// has the Unicode White_Space property, so spaces, tabs, line breaks, CR LF and no-break
// spaces all separate words.
std::vector<TextRange> splitWords(std::string_view utf8);

}  // namespace pw
