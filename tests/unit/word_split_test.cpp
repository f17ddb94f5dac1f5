#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ocr/word_split.h"

namespace pw {
namespace {

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    for (const auto& range : splitWords(text)) out.push_back(text.substr(range.begin, range.end - range.begin));
    return out;
}

using Words = std::vector<std::string>;

TEST(SplitWords, WhiteSpacePropertySeparates)
{
    EXPECT_EQ(words(""), Words{});
    EXPECT_EQ(words(" \t\r\n\v\f"), Words{});
    EXPECT_EQ(words("a  b"), (Words{"a", "b"}));
    EXPECT_EQ(words("  lead and trail  "), (Words{"lead", "and", "trail"}));
    // No-break, ideographic, line separator, next line, em space.
    EXPECT_EQ(words("a\u00a0b\u3000c\u2028d\u0085e\u2003f"), (Words{"a", "b", "c", "d", "e", "f"}));
    // Zero-width space and word joiner are not White_Space: they stay inside a word.
    EXPECT_EQ(words("a\u200bb c\u2060d"), (Words{"a\u200bb", "c\u2060d"}));
}

TEST(SplitWords, ClustersAreNeverCutAndRangesAreBytes)
{
    // e + combining acute, a family emoji joined with ZWJ, a flag.
    EXPECT_EQ(words("cafe\u0301 \U0001F468\u200D\U0001F469\u200D\U0001F467 \U0001F1EB\U0001F1F7"),
              (Words{"cafe\u0301", "\U0001F468\u200D\U0001F469\u200D\U0001F467", "\U0001F1EB\U0001F1F7"}));
    EXPECT_EQ(splitWords("\u00e9t\u00e9 x"), (std::vector<TextRange>{{0, 5}, {6, 7}}));
    // A combining mark on a space belongs to the space's cluster, which is whitespace.
    EXPECT_EQ(words("a \u0301b"), (Words{"a", "b"}));
}

TEST(SplitWords, IllFormedBytesStayInTheirWord)
{
    EXPECT_EQ(words("ab\xff cd"), (Words{"ab\xff", "cd"}));
    EXPECT_EQ(words("\xc3"), (Words{"\xc3"}));
}

}  // namespace
}  // namespace pw
