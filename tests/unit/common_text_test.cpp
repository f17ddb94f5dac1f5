#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "common/utf8.h"

namespace pw {
namespace {

TEST(Utf8, StepsOverWholeCodePointsBothWays)
{
    const std::string text = "a\u00e9\u20ac\U0001F600";  // 1, 2, 3 and 4 bytes
    EXPECT_EQ(nextCodePoint(text, 0).codePoint, 'a');
    EXPECT_EQ(nextCodePoint(text, 1).codePoint, 0xE9);
    EXPECT_EQ(nextCodePoint(text, 1).offset, 3u);
    EXPECT_EQ(nextCodePoint(text, 3).codePoint, 0x20AC);
    EXPECT_EQ(nextCodePoint(text, 6).codePoint, 0x1F600);
    EXPECT_EQ(nextCodePoint(text, 6).offset, text.size());

    EXPECT_EQ(previousCodePoint(text, 0, text.size()).codePoint, 0x1F600);
    EXPECT_EQ(previousCodePoint(text, 0, text.size()).offset, 6u);
    EXPECT_EQ(previousCodePoint(text, 0, 3).codePoint, 0xE9);
    EXPECT_EQ(previousCodePoint(text, 0, 3).offset, 1u);
}

TEST(Utf8, IllFormedBytesReadAsNegativeOneSequenceAtATime)
{
    // A lone continuation byte, an overlong lead and an encoded surrogate: one byte each.
    for (const std::string bad : {"\x80z", "\xC0\xAFz", "\xED\xA0\x80z"}) {
        EXPECT_LT(nextCodePoint(bad, 0).codePoint, 0) << bad;
        EXPECT_EQ(nextCodePoint(bad, 0).offset, 1u) << bad;
    }
    // A sequence cut short is stepped over whole, so one bad sequence reads as one fault.
    const std::string cut = "\xE2\x82z";
    EXPECT_LT(nextCodePoint(cut, 0).codePoint, 0);
    EXPECT_EQ(nextCodePoint(cut, 0).offset, 2u);
    EXPECT_EQ(nextCodePoint(cut, 2).codePoint, 'z');
    // Reading back stops at `begin`: the trail byte of "é" alone is ill-formed.
    const std::string e = "\u00e9";
    EXPECT_LT(previousCodePoint(e, 1, 2).codePoint, 0);
    EXPECT_EQ(previousCodePoint(e, 1, 2).offset, 1u);
}

TEST(Utf8, ValidityAndWhiteSpace)
{
    EXPECT_TRUE(isUtf8(""));
    EXPECT_TRUE(isUtf8("Caf\u00e9 \U0001F600"));
    EXPECT_FALSE(isUtf8("Caf\xE9"));
    EXPECT_FALSE(isUtf8(std::string("ok\xF0\x9F\x98", 5)));
    // Far into a long text the offsets are still right.
    const std::string longText = std::string(100000, 'x') + "\u2028";
    EXPECT_EQ(previousCodePoint(longText, 0, longText.size()).codePoint, 0x2028);
    EXPECT_EQ(nextCodePoint(longText, 100000).offset, longText.size());

    EXPECT_TRUE(isWhiteSpace(' '));
    EXPECT_TRUE(isWhiteSpace(0xA0));
    EXPECT_TRUE(isWhiteSpace(0x2028));
    EXPECT_FALSE(isWhiteSpace('a'));
    EXPECT_FALSE(isWhiteSpace(-1));
}

TEST(Text, UriSchemeIsALetterThenSchemeCharactersBeforeTheColon)
{
    EXPECT_EQ(uriScheme("HTTPS://example.org"), "HTTPS");
    EXPECT_EQ(uriScheme("view-source+x.y:z"), "view-source+x.y");
    EXPECT_EQ(uriScheme("c:/path"), "c");
    for (const char* none : {"", "no colon", ":x", "1ab:c", "a b:c", "/a:b", "?q=a:b", "\xC3\xA9:x"})
        EXPECT_EQ(uriScheme(none), "") << none;
}

TEST(Text, AsciiCaseAndLocaleNames)
{
    EXPECT_EQ(asciiLowered("R\u00c9SUM\u00c9.PDF"), "r\u00c9sum\u00c9.pdf");
    EXPECT_TRUE(endsWithIgnoringAsciiCase("Archive.ZiP", ".zip"));
    EXPECT_FALSE(endsWithIgnoringAsciiCase("zip", ".zip"));
    EXPECT_FALSE(endsWithIgnoringAsciiCase("archive.zipx", ".zip"));
    EXPECT_EQ(hexDigitValue('7'), 7);
    EXPECT_EQ(hexDigitValue('f'), 15);
    EXPECT_EQ(hexDigitValue('F'), 15);
    EXPECT_EQ(hexDigitValue('g'), -1);
    EXPECT_EQ(localeWithoutCodeset("fr_FR.UTF-8@euro"), "fr_FR");
    EXPECT_EQ(localeWithoutCodeset("de@euro"), "de");
    EXPECT_EQ(localeWithoutCodeset("C"), "C");
}

}  // namespace
}  // namespace pw
