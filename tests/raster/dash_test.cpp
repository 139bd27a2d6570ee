// Dashed horizontal and vertical lines.
#include <gtest/gtest.h>

#include <climits>

#include "kit/raster/rast_dash.h"
#include "raster/line_support.h"

namespace {

using lt::Scene;

const uint32_t kColour = RAST_MakePixel(201, 77, 150, 233);

void modelDash(Scene& s, int n, const int* cols, int fixed, bool vertical, float alpha, int mode) {
  const int m = mode & 0xFF, w = (int)(alpha * 256);
  for (int i = 0; i < n; i++) {
    const int x = vertical ? fixed : cols[i], y = vertical ? cols[i] : fixed;
    if (m == 0 && w == 128) s.apply(x, y, [](uint32_t d) { return lt::halfMix(d, kColour); });
    else if (m == 0 && w == 256) s.apply(x, y, [](uint32_t) { return kColour; });
    else s.touch(x, y, kColour, w, m);
  }
}

class DashModes : public ::testing::TestWithParam<int> {};

TEST_P(DashModes, ThreeOnTwoOffFromTheSmallerEndNeverDrawsTheLargerEnd) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.7f}) {
    Scene s(16, 12);
    RAST_DashedLine(s.bm(), 10, 5, 0, 5, 3, 2, kColour, alpha, mode, false);
    const int cols[] = {0, 1, 2, 5, 6, 7};
    modelDash(s, 6, cols, 5, false, alpha, mode);
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha;
  }
}

TEST_P(DashModes, VerticalOneOnOneOffTouchesEverySecondRow) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.7f})
    for (bool downward : {false, true}) {  // either end given first; anti-aliasing changes nothing
      Scene s(8, 8);
      RAST_DashedLine(s.bm(), 4, downward ? 0 : 5, 4, downward ? 5 : 0, 1, 1, kColour, alpha, mode, !downward);
      const int rows[] = {0, 2, 4};
      modelDash(s, 3, rows, 4, true, alpha, mode);
      EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha << " downward " << downward;
    }
}

TEST_P(DashModes, FinalStretchIsCutAtTheLargerEnd) {
  const int mode = GetParam();
  Scene s(16, 4);
  // Pattern 4 on, 3 off from x = 1 to x = 12: 1..4, 8..11, and nothing at 12.
  RAST_DashedLine(s.bm(), 1, 2, 12, 2, 4, 3, kColour, 0.6f, mode, false);
  const int cols[] = {1, 2, 3, 4, 8, 9, 10, 11};
  modelDash(s, 8, cols, 2, false, 0.6f, mode);
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
}

INSTANTIATE_TEST_SUITE_P(AllModes, DashModes, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& i) { return std::string(lt::modeName(i.param)); });

TEST(Dash, SlantedSegmentsUnknownModesAndZeroWeightDrawNothing) {
  Scene s(10, 10);
  RAST_DashedLine(s.bm(), 0, 0, 9, 3, 2, 2, kColour, 1.0f, 0, false);
  RAST_DashedLine(s.bm(), 0, 4, 9, 4, 2, 2, kColour, 1.0f, 6, false);
  RAST_DashedLine(s.bm(), 0, 4, 9, 4, 2, 2, kColour, 0.001f, 1, false);
  RAST_DashedLine(s.bm(), 0, 4, 9, 4, 2, 2, kColour, -1.0f, 0, false);
  RAST_DashedLine(s.bm(), 3, 3, 3, 3, 1, 1, kColour, 1.0f, 0, false);
  RAST_DashedLine(s.bm(), -5, 20, 30, 20, 1, 1, kColour, 1.0f, 0, false);
  RAST_DashedLine(nullptr, 0, 4, 9, 4, 2, 2, kColour, 1.0f, 0, false);
  EXPECT_TRUE(s.matches());
}

TEST(Dash, PatternShorterThanAPixelEndsInsteadOfLooping) {
  Scene s(20, 6);
  RAST_DashedLine(s.bm(), 0, 1, 19, 1, 0, 0, kColour, 1.0f, 1, false);     // nothing drawn
  RAST_DashedLine(s.bm(), 0, 2, 19, 2, -3, 2, kColour, 1.0f, 1, false);    // nothing drawn
  EXPECT_TRUE(s.matches());
  RAST_DashedLine(s.bm(), 0, 3, 19, 3, 2, -5, kColour, 1.0f, 1, false);    // a gap below 0 draws solid
  for (int x = 0; x < 19; x++) s.touch(x, 3, kColour, 256, 1);
  EXPECT_TRUE(s.matches());
}

TEST(Dash, HugeLengthsAndEndsClipWithoutOverflow) {
  Scene s(20, 6);
  RAST_DashedLine(s.bm(), INT_MIN, 2, INT_MAX, 2, INT_MAX, INT_MAX, kColour, 1.0f, 1, false);
  for (int x = 0; x < 19; x++) s.touch(x, 2, kColour, 256, 1);  // clipped to 0..19; 19 is the larger end
  EXPECT_TRUE(s.matches());
  RAST_DashedLine(s.bm(), 0, 4, 19, 4, 1, INT_MAX, kColour, 1.0f, 1, false);
  s.touch(0, 4, kColour, 256, 1);
  EXPECT_TRUE(s.matches());
}

}  // namespace
