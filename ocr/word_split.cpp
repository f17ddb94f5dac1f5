#include "ocr/word_split.h"

#include <memory>

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include "common/utf8.h"

namespace pw {
namespace {

bool startsWithWhiteSpace(std::string_view utf8, std::size_t at)
{
    // An ill-formed sequence reads as a negative value and counts as a letter, so the
    // bytes stay inside a word rather than vanishing.
    return isWhiteSpace(nextCodePoint(utf8, at).codePoint);
}

}  // namespace

std::vector<TextRange> splitWords(std::string_view utf8)
{
    std::vector<TextRange> words;
    if (utf8.empty()) return words;

    UErrorCode status = U_ZERO_ERROR;
    // UText over the UTF-8 bytes: the iterator's boundaries are byte offsets, no copy.
    std::unique_ptr<UText, decltype(&utext_close)> text(
        utext_openUTF8(nullptr, utf8.data(), static_cast<int64_t>(utf8.size()), &status), &utext_close);
    std::unique_ptr<icu::BreakIterator> clusters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return words;
    clusters->setText(text.get(), status);
    if (U_FAILURE(status)) return words;

    bool inWord = false;
    std::size_t wordBegin = 0;
    for (std::int32_t begin = clusters->first(), end = clusters->next(); end != icu::BreakIterator::DONE;
         begin = end, end = clusters->next()) {
        const auto at = static_cast<std::size_t>(begin);
        const bool white = startsWithWhiteSpace(utf8, at);
        if (white && inWord) words.push_back({wordBegin, at});
        if (!white && !inWord) wordBegin = at;
        inWord = !white;
    }
    if (inWord) words.push_back({wordBegin, utf8.size()});
    return words;
}

}  // namespace pw
