#include "common/utf8.h"

#include <algorithm>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace pw {

namespace {

// A UTF-8 sequence is at most this long, so a step never looks further: reading
// through a window of it keeps ICU's 32-bit offsets small in texts of any length.
constexpr std::size_t longestSequence = 4;

const std::uint8_t* bytesOf(std::string_view text)
{
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

}  // namespace

Utf8Step nextCodePoint(std::string_view text, std::size_t at)
{
    const std::uint8_t* window = bytesOf(text) + at;
    const auto length = static_cast<std::int32_t>(std::min(text.size() - at, longestSequence));
    std::int32_t read = 0;
    UChar32 c;
    U8_NEXT(window, read, length, c);
    return {c, at + static_cast<std::size_t>(read)};
}

Utf8Step previousCodePoint(std::string_view text, std::size_t begin, std::size_t at)
{
    const std::size_t start = at - std::min(at - begin, longestSequence);
    const std::uint8_t* window = bytesOf(text) + start;
    auto read = static_cast<std::int32_t>(at - start);
    UChar32 c;
    U8_PREV(window, 0, read, c);
    return {c, start + static_cast<std::size_t>(read)};
}

bool isUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Step step = nextCodePoint(text, at);
        if (step.codePoint < 0) return false;
        at = step.offset;
    }
    return true;
}

bool isWhiteSpace(std::int32_t codePoint)
{
    return codePoint >= 0 && u_hasBinaryProperty(codePoint, UCHAR_WHITE_SPACE);
}

}  // namespace pw
