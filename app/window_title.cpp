#include "app/window_title.h"

#include "app/app_constants.h"
#include "common/utf8.h"

namespace pw {

std::string windowTitle(const std::optional<std::string>& pageTitle)
{
    if (!pageTitle) return applicationTitle;
    // Unicode White_Space: the blanks, tabs, line breaks, no-break spaces and the line
    // and paragraph separators a page title may carry.
    const std::string& text = *pageTitle;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const Utf8Step step = nextCodePoint(text, begin);
        if (!isWhiteSpace(step.codePoint)) break;
        begin = step.offset;
    }
    std::size_t end = text.size();
    while (end > begin) {
        const Utf8Step step = previousCodePoint(text, begin, end);
        if (!isWhiteSpace(step.codePoint)) break;
        end = step.offset;
    }
    if (begin >= end) return applicationTitle;
    return text.substr(begin, end - begin);
}

}  // namespace pw
