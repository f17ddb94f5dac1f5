#include <gtest/gtest.h>

#include "platform/tesseract/text_line_observation.h"

namespace pw {
namespace {

void expectRect(const std::optional<NormalizedRect>& rect, double minX, double minY, double maxX, double maxY)
{
    ASSERT_TRUE(rect.has_value());
    EXPECT_DOUBLE_EQ(rect->minX, minX);
    EXPECT_DOUBLE_EQ(rect->minY, minY);
    EXPECT_DOUBLE_EQ(rect->maxX, maxX);
    EXPECT_DOUBLE_EQ(rect->maxY, maxY);
}

// "Hé yo" on a 200 x 100 image: the word Hé at x 10..40, y 20..50 (its glyphs at
// 10..22 and 24..40), yo at 60..90, y 30..60.
TextLineObservation sample()
{
    TextLineObservation line(200, 100);
    line.addWord("H\u00e9", {10, 20, 40, 50}, {{"H", {10, 20, 22, 50}}, {"\u00e9", {24, 22, 40, 48}}});
    line.addWord("yo", {60, 30, 90, 60}, {{"y", {60, 30, 74, 60}}, {"o", {76, 35, 90, 55}}});
    return line;
}

TEST(TextLineObservation, WordsJoinWithOneSpace)
{
    EXPECT_EQ(sample().text(), "H\u00e9 yo");
}

TEST(TextLineObservation, WholeWordsGiveTheirBoxesBottomLeftNormalised)
{
    const auto line = sample();
    expectRect(line.boundingBox(0, 3), 0.05, 0.5, 0.2, 0.8);
    expectRect(line.boundingBox(4, 6), 0.3, 0.4, 0.45, 0.7);
    // Both words and the space between: the union.
    expectRect(line.boundingBox(0, 6), 0.05, 0.4, 0.45, 0.8);
}

TEST(TextLineObservation, PartsOfWordsGiveTheirGlyphs)
{
    const auto line = sample();
    expectRect(line.boundingBox(1, 3), 0.12, 0.52, 0.2, 0.78);
    expectRect(line.boundingBox(0, 1), 0.05, 0.5, 0.11, 0.8);
    // From é to y.
    expectRect(line.boundingBox(1, 5), 0.12, 0.4, 0.37, 0.78);
}

TEST(TextLineObservation, RangesWithoutGlyphsOrOutOfTextHaveNoBox)
{
    const auto line = sample();
    EXPECT_FALSE(line.boundingBox(3, 4));  // the space alone
    EXPECT_FALSE(line.boundingBox(2, 2));
    EXPECT_FALSE(line.boundingBox(4, 3));
    EXPECT_FALSE(line.boundingBox(4, 7));
    EXPECT_FALSE(TextLineObservation(0, 10).boundingBox(0, 0));
}

TEST(TextLineObservation, GlyphsThatDoNotSpellTheWordBoxItWhole)
{
    TextLineObservation line(100, 100);
    line.addWord("fi", {0, 0, 50, 10}, {{"\ufb01", {0, 0, 50, 10}}});
    expectRect(line.boundingBox(1, 2), 0, 0.9, 0.5, 1);
}

}  // namespace
}  // namespace pw
