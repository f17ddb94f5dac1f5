#include <gtest/gtest.h>

#include "platform/page_fit.h"

namespace pw {
namespace {

// A4 portrait's printable area with the usual margins, in points.
constexpr double areaWidth = 523, areaHeight = 770;

TEST(PageFit, SmallPagesKeepTheirSizeAndAreCentred)
{
    const PageFit fit = fitPage(200, 300, areaWidth, areaHeight);
    EXPECT_FALSE(fit.rotate);
    EXPECT_DOUBLE_EQ(fit.scale, 1);
    EXPECT_DOUBLE_EQ(fit.x, (areaWidth - 200) / 2);
    EXPECT_DOUBLE_EQ(fit.y, (areaHeight - 300) / 2);
}

TEST(PageFit, LargePagesShrinkToTheTighterSide)
{
    const PageFit fit = fitPage(1046, 1000, 1100, 770);  // landscape on landscape
    EXPECT_FALSE(fit.rotate);
    EXPECT_DOUBLE_EQ(fit.scale, 0.77);
    EXPECT_DOUBLE_EQ(fit.y, 0);
    EXPECT_DOUBLE_EQ(fit.x, (1100 - 1046 * 0.77) / 2);
}

TEST(PageFit, PagesAcrossThePaperAreTurned)
{
    // Landscape letter on portrait paper: turned, then it fits without shrinking more
    // than the paper forces.
    const PageFit landscape = fitPage(792, 612, areaWidth, areaHeight);
    EXPECT_TRUE(landscape.rotate);
    EXPECT_DOUBLE_EQ(landscape.scale, std::min(areaWidth / 612, areaHeight / 792));
    EXPECT_GE(landscape.x, 0);
    EXPECT_GE(landscape.y, 0);
    EXPECT_LE(landscape.x * 2 + 612 * landscape.scale, areaWidth + 1e-9);

    EXPECT_TRUE(fitPage(300, 400, 770, 523).rotate);
    EXPECT_FALSE(fitPage(400, 400, areaWidth, areaHeight).rotate);
    EXPECT_FALSE(fitPage(400, 400, 770, 523).rotate);
}

TEST(PageFit, DegenerateSizesAreLeftAlone)
{
    const PageFit fit = fitPage(0, 100, areaWidth, areaHeight);
    EXPECT_FALSE(fit.rotate);
    EXPECT_DOUBLE_EQ(fit.scale, 1);
    EXPECT_FALSE(fitPage(100, 100, 0, 0).rotate);
}

}  // namespace
}  // namespace pw
