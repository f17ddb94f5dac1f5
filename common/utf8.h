#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pw {

// One step through UTF-8 text, as ICU takes it: the code point read, negative where the
// bytes are ill-formed, and the offset on the other side of what was read (one
// ill-formed sequence at a time: its longest start that could have been well formed).
struct Utf8Step {
    std::int32_t codePoint;
    std::size_t offset;
};

// The code point that begins at `at` (< text.size()), and where the next one begins.
Utf8Step nextCodePoint(std::string_view text, std::size_t at);
// The code point that ends at `at` (> begin), read no further back than `begin`, and
// where it begins.
Utf8Step previousCodePoint(std::string_view text, std::size_t begin, std::size_t at);

bool isUtf8(std::string_view text);

// Unicode White_Space: blanks, tabs, line breaks, no-break spaces, the line and
// paragraph separators. False for an ill-formed read.
bool isWhiteSpace(std::int32_t codePoint);

}  // namespace pw
