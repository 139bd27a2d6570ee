// Arcs and rounded rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_roundrect.h"
#include "raster/line_support.h"

namespace {

using lt::BlankScene;
using lt::Scene;

const uint32_t kColour = RAST_MakePixel(201, 77, 150, 233);
const uint32_t kOne = 0x01010101u;
const float kPi = 3.1415927f;

class ArcModes : public ::testing::TestWithParam<int> {};

TEST_P(ArcModes, QuarterFromTwelveToThreeIsTheCirclesUpperRightQuarter) {
  const int mode = GetParam();
  for (bool aa : {false, true}) {
    Scene arc(32, 32), full(32, 32), expect(32, 32);
    RAST_Arc(arc.bm(), 15.0f, 16.0f, 9.4f, 0.0f, kPi / 2, kColour, 0.7f, mode, aa);
    RAST_Circle(full.bm(), 15.0f, 16.0f, 9.4f, kColour, 0.7f, mode, aa);
    // The quarter's box runs from the top point (15, trunc(7.1) = 7) to the right point
    // (trunc(24.9) = 24, 16); the centre row 16 is left to the next quarter.
    for (int y = 0; y < 32; y++)
      for (int x = 0; x < 32; x++) {
        const bool inBox = x >= 15 && x <= 24 && y >= 7 && y < 16;
        const uint32_t want = inBox ? full.stored(x, y) : expect.stored(x, y);
        ASSERT_EQ(arc.stored(x, y), want) << lt::modeName(mode) << " aa " << aa << " at " << x << "," << y;
      }
  }
}

TEST_P(ArcModes, AnglesInEitherOrderDrawTheSameArc) {
  const int mode = GetParam();
  Scene a(32, 32), b(32, 32);
  RAST_Arc(a.bm(), 15.5f, 16.0f, 10.0f, 0.0f, kPi / 2, kColour, 0.6f, mode, true);
  RAST_Arc(b.bm(), 15.5f, 16.0f, 10.0f, kPi / 2, 0.0f, kColour, 0.6f, mode, true);
  EXPECT_TRUE(rt::same(*a.bm(), *b.bm()));
}

TEST_P(ArcModes, FullTurnOrMoreIsTheWholeCircleSmallRadiiIncluded) {
  const int mode = GetParam();
  for (float r : {9.3f, 3.0f}) {
    Scene a(32, 32), b(32, 32), c(32, 32);
    RAST_Arc(a.bm(), 15.0f, 16.0f, r, 0.0f, 2 * kPi, kColour, 0.6f, mode, false);
    RAST_Arc(c.bm(), 15.0f, 16.0f, r, -1.0f, 9.0f, kColour, 0.6f, mode, false);
    RAST_Circle(b.bm(), 15.0f, 16.0f, r, kColour, 0.6f, mode, false);
    EXPECT_TRUE(rt::same(*a.bm(), *b.bm())) << r;
    EXPECT_TRUE(rt::same(*c.bm(), *b.bm())) << r;
  }
}

TEST_P(ArcModes, AnglesBeyondATurnAreBroughtBackByWholeTurns) {
  const int mode = GetParam();
  Scene a(32, 32), b(32, 32);
  RAST_Arc(a.bm(), 15.0f, 16.0f, 11.0f, 7.0f, 8.0f, kColour, 0.6f, mode, true);
  RAST_Arc(b.bm(), 15.0f, 16.0f, 11.0f, 7.0f - 6.2831855f, 8.0f - 6.2831855f, kColour, 0.6f, mode, true);
  EXPECT_TRUE(rt::same(*a.bm(), *b.bm()));
  Scene c(32, 32), d(32, 32);
  RAST_Arc(c.bm(), 15.0f, 16.0f, 11.0f, -9.0f, -8.0f, kColour, 0.6f, mode, false);
  RAST_Arc(d.bm(), 15.0f, 16.0f, 11.0f, -9.0f + 6.2831855f, -8.0f + 6.2831855f, kColour, 0.6f, mode, false);
  EXPECT_TRUE(rt::same(*c.bm(), *d.bm()));
}

INSTANTIATE_TEST_SUITE_P(AllModes, ArcModes, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& i) { return std::string(lt::modeName(i.param)); });

TEST(Arc, FourQuartersTogetherDrawEachPixelOfTheCircleOnce) {
  BlankScene arcs(40, 40), full(40, 40);
  for (int q = 0; q < 4; q++) RAST_Arc(arcs.bm(), 19.0f, 20.0f, 12.2f, q * kPi / 2, (q + 1) * kPi / 2, kOne, 1.0f, 1, false);
  RAST_Circle(full.bm(), 19.0f, 20.0f, 12.2f, kOne, 1.0f, 1, false);
  EXPECT_TRUE(rt::same(*arcs.bm(), *full.bm()));
}

TEST(Arc, EqualAnglesZeroWeightUnknownModeAndNonFiniteDrawNothing) {
  Scene s(24, 24);
  const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, 1.0f, 1.0f, kColour, 1.0f, 0, false);
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, 0.0f, 1.0f, kColour, 0.001f, 1, false);
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, 0.0f, 1.0f, kColour, 1.0f, 7, true);
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, nan, 1.0f, kColour, 1.0f, 0, false);
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, 0.0f, inf, kColour, 1.0f, 0, false);
  RAST_Arc(s.bm(), 12.0f, 12.0f, nan, 0.0f, 1.0f, kColour, 1.0f, 0, false);
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, 1e30f, 1e30f, kColour, 1.0f, 0, false);  // equal after normalising too
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, -1e30f, -1e30f, kColour, 1.0f, 0, false);
  RAST_Arc(nullptr, 12.0f, 12.0f, 8.0f, 0.0f, 1.0f, kColour, 1.0f, 0, false);
  EXPECT_TRUE(s.matches());
}

TEST(Arc, HugeAnglesAndRadiusFinish) {
  Scene s(24, 24);
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, -3e38f, 3e38f, kColour, 1.0f, 1, false);  // a full turn
  RAST_Arc(s.bm(), 12.0f, 12.0f, 8.0f, 1e20f, 1e20f + 1e13f, kColour, 1.0f, 1, true);
  RAST_Arc(s.bm(), 12.0f, 12.0f, 3e9f, 0.5f, 2.5f, kColour, 1.0f, 1, true);
  RAST_Arc(s.bm(), -1e9f, 12.0f, 1e9f + 10.0f, 1.0f, 2.0f, kColour, 1.0f, 1, false);
  SUCCEED() << "returned; the sanitizer build checks every write";
}

TEST(RoundRect, CornerRadiusIsLimitedToHalfTheSmallerSideFloored) {
  BlankScene a(40, 30), b(40, 30);
  RAST_RoundRect(a.bm(), 2.0f, 3.0f, 30.0f, 9.0f, 50, kOne, 1.0f, 1, false);  // limited to floor(4.5) = 4
  RAST_RoundRect(b.bm(), 2.0f, 3.0f, 30.0f, 9.0f, 4, kOne, 1.0f, 1, false);
  EXPECT_TRUE(rt::same(*a.bm(), *b.bm()));
}

TEST(RoundRect, SidesRunOnTheBoxEdgesWithTheBottomAndLeftOnePixelLonger) {
  BlankScene s(40, 30);
  RAST_RoundRect(s.bm(), 2.0f, 3.0f, 30.0f, 20.0f, 5, kOne, 1.0f, 1, false);
  auto v = [&](int x, int y) { return lt::at(*s.bm(), x, y); };
  for (int x = 7; x <= 27; x++) EXPECT_NE(v(x, 3), 0u) << "top " << x;
  for (int x = 6; x <= 27; x++) EXPECT_NE(v(x, 23), 0u) << "bottom " << x;
  for (int y = 8; y <= 18; y++) EXPECT_NE(v(32, y), 0u) << "right " << y;
  for (int y = 7; y <= 18; y++) EXPECT_NE(v(2, y), 0u) << "left " << y;
  EXPECT_EQ(v(2, 3), 0u);  // corners are cut
  EXPECT_EQ(v(32, 23), 0u);
  EXPECT_EQ(v(17, 13), 0u);
  // Every non-zero pixel lies on the outline's box.
  for (int y = 0; y < 30; y++)
    for (int x = 0; x < 40; x++)
      if (v(x, y)) {
        EXPECT_TRUE(x >= 2 && x <= 32 && y >= 3 && y <= 23) << x << "," << y;
      }
}

TEST(RoundRect, SmallCornerRadiusGivesTheSquareOutline) {
  for (int c : {1, 0, -4}) {
    BlankScene s(20, 20);
    RAST_RoundRect(s.bm(), 3.7f, 2.2f, 10.9f, 6.0f, c, kOne, 1.0f, 1, true);
    // trunc: (3, 2) size 10 x 6: columns 3..13, rows 2..8; four corners drawn by two lines each.
    for (int x = 3; x <= 13; x++) {
      s.model(x, 2) += kOne;
      s.model(x, 8) += kOne;
    }
    for (int y = 2; y <= 8; y++) {
      s.model(3, y) += kOne;
      s.model(13, y) += kOne;
    }
    EXPECT_TRUE(s.matches()) << c;
  }
  // A radius that floors below 2 against a thin box also falls back.
  Scene a(20, 20), b(20, 20);
  RAST_RoundRect(a.bm(), 1.0f, 1.0f, 3.0f, 12.0f, 6, kColour, 0.6f, 2, false);
  RAST_RoundRect(b.bm(), 1.0f, 1.0f, 3.0f, 12.0f, 1, kColour, 0.6f, 2, false);
  EXPECT_TRUE(rt::same(*a.bm(), *b.bm()));
}

TEST(RoundRect, SourceAlphaFlagChangesNothingAndModeSixDrawsNothing) {
  Scene a(40, 30), b(40, 30), c(40, 30);
  RAST_RoundRect(a.bm(), 2.0f, 3.0f, 30.0f, 20.0f, 6, kColour, 0.7f, 3, true);
  RAST_RoundRect(b.bm(), 2.0f, 3.0f, 30.0f, 20.0f, 6, kColour, 0.7f, 0x10003, true);
  RAST_RoundRect(c.bm(), 2.0f, 3.0f, 30.0f, 20.0f, 6, kColour, 0.7f, 6, true);
  RAST_RoundRect(c.bm(), 2.0f, 3.0f, 30.0f, 20.0f, 0, kColour, 0.7f, 6, true);
  EXPECT_TRUE(rt::same(*a.bm(), *b.bm()));
  EXPECT_TRUE(c.matches());
}

TEST(RoundRect, NonFiniteAndHugeBoxesAreSafe) {
  Scene s(20, 20);
  RAST_RoundRect(s.bm(), std::nanf(""), 1.0f, 5.0f, 5.0f, 2, kColour, 1.0f, 0, false);
  RAST_RoundRect(s.bm(), 1.0f, 1.0f, std::numeric_limits<float>::infinity(), 5.0f, 2, kColour, 1.0f, 0, false);
  EXPECT_TRUE(s.matches());
  RAST_RoundRect(s.bm(), -3e9f, -3e9f, 6e9f, 6e9f, 1000, kColour, 1.0f, 1, true);
  RAST_RoundRect(s.bm(), 5.0f, 5.0f, 3e38f, 3e38f, 0, kColour, 1.0f, 1, false);
  SUCCEED() << "returned; the sanitizer build checks every write";
}

}  // namespace
