#include "app/window_title.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "app/app_constants.h"

namespace pw {

namespace {

// Unicode White_Space covers the blanks, tabs, line breaks, no-break spaces and the
// line and paragraph separators a page title may carry.
bool isSpace(UChar32 c)
{
    return c >= 0 && u_hasBinaryProperty(c, UCHAR_WHITE_SPACE);
}

}  // namespace

std::string windowTitle(const std::optional<std::string>& pageTitle)
{
    if (!pageTitle) return applicationTitle;
    const std::string& text = *pageTitle;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());

    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (!isSpace(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, begin, previous, c);
        if (!isSpace(c)) break;
        end = previous;
    }
    if (begin >= end) return applicationTitle;
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

}  // namespace pw
