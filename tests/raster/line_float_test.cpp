// Float lines with two-pixel coverage, and the public clippers.
#include <gtest/gtest.h>

#include <cmath>
#include <climits>
#include <limits>

#include "kit/raster/rast_line.h"
#include "kit/raster/rast_lineclip.h"
#include "raster/line_support.h"

namespace {

using lt::BlankScene;
using lt::Scene;

const uint32_t kColour = RAST_MakePixel(201, 77, 150, 233);

class FLineModes : public ::testing::TestWithParam<int> {};

TEST_P(FLineModes, HalfPixelOffsetSplitsCoverage127And128) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.6f}) {
    Scene s(14, 14);
    RAST_FLine(s.bm(), 0.5f, 0.5f, 10.5f, 0.5f, kColour, alpha, mode, true);
    const int w = (int)(alpha * 256);
    // Fraction 0.5 gives f = 32768 and w = 128: row 0 takes 127/256 of the weight, row 1 128/256.
    for (int x = 1; x <= 10; x++) {
      s.touch(x, 0, kColour, 127 * w / 256, mode);
      s.touch(x, 1, kColour, 128 * w / 256, mode);
    }
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha;
  }
}

TEST_P(FLineModes, SteepLineWalksRowsAndSharesWithTheNextColumn) {
  const int mode = GetParam();
  Scene s(16, 16);
  // y-major from (2.25, 1.0) to (4.25, 9.0): slope 0.25 per row, starting fraction 0.25.
  RAST_FLine(s.bm(), 2.25f, 1.0f, 4.25f, 9.0f, kColour, 1.0f, mode, true);
  int f = 16384;
  int x = 2;
  for (int y = 1; y <= 9; y++) {
    s.touch(x, y, kColour, 255 - (f >> 8), mode);
    s.touch(x + 1, y, kColour, f >> 8, mode);
    f += 16384;
    if (f >= 65536) {
      f -= 65536;
      x++;
    }
  }
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
}

TEST_P(FLineModes, LineTowardsSmallerMinorStartsOnTheLargerNeighbour) {
  const int mode = GetParam();
  Scene s(16, 16);
  // x-major from (1, 6.25) to (9, 4.25): the minor coordinate falls 0.25 per column.
  RAST_FLine(s.bm(), 1.0f, 6.25f, 9.0f, 4.25f, kColour, 1.0f, mode, true);
  int f = 0xFFFF - 16384;
  int y = 7;
  for (int x = 1; x <= 9; x++) {
    s.touch(x, y, kColour, 255 - (f >> 8), mode);
    s.touch(x, y - 1, kColour, f >> 8, mode);
    f += 16384;
    if (f >= 65536) {
      f -= 65536;
      y--;
    }
  }
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
}

INSTANTIATE_TEST_SUITE_P(AllModes, FLineModes, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& i) { return std::string(lt::modeName(i.param)); });

TEST(FLine, WithoutAntiAliasTruncatesTheEndsToAnIntegerLine) {
  Scene a(12, 12), b(12, 12);
  RAST_FLine(a.bm(), 2.9f, 3.9f, 7.9f, 3.9f, kColour, 0.6f, 1, false);
  RAST_Line(b.bm(), 2, 3, 7, 3, kColour, 0.6f, 1, false);
  RAST_FLine(a.bm(), 1.7f, 1.2f, 9.9f, 6.99f, kColour, 0.6f, 4, false);
  RAST_Line(b.bm(), 1, 1, 9, 6, kColour, 0.6f, 4, false);
  ASSERT_TRUE(rt::same(*a.bm(), *b.bm()));
}

TEST(FLine, SegmentCrossingNoWholeColumnDrawsNothing) {
  Scene s(10, 10);
  RAST_FLine(s.bm(), 1.2f, 4.0f, 1.8f, 4.0f, kColour, 1.0f, 0, true);
  EXPECT_TRUE(s.matches());
}

TEST(FLine, OutsideSinglePointUnknownModeAndNonFiniteDrawNothing) {
  Scene s(10, 10);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  RAST_FLine(s.bm(), -5.0f, -1.0f, 20.0f, -3.0f, kColour, 1.0f, 0, true);
  RAST_FLine(s.bm(), 3.0f, 3.0f, 3.0f, 3.0f, kColour, 1.0f, 0, true);
  RAST_FLine(s.bm(), 1.0f, 1.0f, 8.0f, 5.0f, kColour, 1.0f, 6, true);
  RAST_FLine(s.bm(), 1.0f, 1.0f, 8.0f, 5.0f, kColour, -1.0f, 0, true);
  RAST_FLine(s.bm(), nan, 1.0f, 8.0f, 5.0f, kColour, 1.0f, 0, true);
  RAST_FLine(s.bm(), 1.0f, inf, 8.0f, 5.0f, kColour, 1.0f, 1, true);
  RAST_FLine(s.bm(), 1.0f, 1.0f, -inf, 5.0f, kColour, 1.0f, 1, false);
  RAST_FLine(s.bm(), 1.0f, 1.0f, 8.0f, nan, kColour, 1.0f, 1, false);
  RAST_FLine(nullptr, 1.0f, 1.0f, 8.0f, 5.0f, kColour, 1.0f, 1, true);
  EXPECT_TRUE(s.matches());
}

TEST(FLine, HugeEndsAreClippedAndStayInsideTheBitmap) {
  BlankScene s(16, 16);
  RAST_FLine(s.bm(), -3e30f, -1e30f, 3e30f, 1e30f, 0x10101010u, 1.0f, 1, true);
  RAST_FLine(s.bm(), 1e9f, 2.5f, -1e9f, 9.5f, 0x10101010u, 1.0f, 1, true);
  RAST_FLine(s.bm(), 7.3f, -1e20f, 8.1f, 1e20f, 0x10101010u, 1.0f, 1, false);
  // Something was drawn, and the sanitizer build checks that no write left the bitmap.
  int touched = 0;
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) touched += lt::at(*s.bm(), x, y) != 0;
  EXPECT_GT(touched, 16);
}

TEST(FLine, FlippedBitmapStoresCallerRowZeroLast) {
  Scene s(14, 6, 5, true);
  RAST_FLine(s.bm(), 0.5f, 0.5f, 10.5f, 0.5f, kColour, 1.0f, 1, true);
  // Flipping makes y = 4.5 in stored rows: stored rows 4 and 5 (the caller's rows 1 and 0) are
  // covered 127 and 128.
  for (int x = 1; x <= 10; x++) {
    s.touch(x, 1, kColour, 127, 1);
    s.touch(x, 0, kColour, 128, 1);
  }
  EXPECT_TRUE(s.matches());
}

TEST(FloatClip, EndBeyondTheRightEdgeIsPlacedOneInsideTheLastColumnCrossing) {
  float x1 = 10, y1 = 20, x2 = 150, y2 = 90;
  ASSERT_TRUE(ClipFLine(&x1, &y1, &x2, &y2, 100, 100));
  EXPECT_EQ(x1, 10.0f);
  EXPECT_EQ(y1, 20.0f);
  EXPECT_EQ(x2, 98.0f);
  // Crossing of x = 99: 20 + 70 * 89 / 140.
  EXPECT_FLOAT_EQ(y2, 20.0f + 70.0f * 89.0f / 140.0f);
}

TEST(FloatClip, BothOutsideOnOneSideIsRejectedAndInsideIsKept) {
  float x1 = -1, y1 = 5, x2 = -7, y2 = 50;
  EXPECT_FALSE(ClipFLine(&x1, &y1, &x2, &y2, 100, 100));
  x1 = 1.5f, y1 = 2.5f, x2 = 97.9f, y2 = 3;
  EXPECT_TRUE(ClipFLine(&x1, &y1, &x2, &y2, 100, 100));
  EXPECT_EQ(x2, 97.9f);
  x1 = 0, y1 = 0, x2 = 5, y2 = 5;
  EXPECT_FALSE(ClipFLine(&x1, &y1, &x2, &y2, 1, 1));  // no interior once the last row and column are kept off
}

TEST(FloatClip, NonFiniteCoordinatesAreRejected) {
  float x1 = std::nanf(""), y1 = 0, x2 = 5, y2 = 5;
  EXPECT_FALSE(ClipFLine(&x1, &y1, &x2, &y2, 10, 10));
  float a = 1, b = 1, c = std::numeric_limits<float>::infinity(), d = 5;
  EXPECT_FALSE(ClipFLine(&a, &b, &c, &d, 10, 10));
}

TEST(BoxClip, IntegerBoxClipsAsTheOriginClipperShiftedByTheCorner) {
  for (auto e : std::vector<std::vector<int>>{{0, 0, 30, 30}, {12, 5, 15, 25}, {25, 12, 5, 18}, {0, 40, 40, 0}}) {
    int a = e[0], b = e[1], c = e[2], d = e[3];
    int p = e[0] - 10, q = e[1] - 10, r = e[2] - 10, t = e[3] - 10;
    const bool boxOk = RAST_ClipLine(&a, &b, &c, &d, 10, 10, 20, 20);
    const bool originOk = ClipLine(&p, &q, &r, &t, 10, 10);
    EXPECT_EQ(boxOk, originOk);
    if (originOk) {
      EXPECT_EQ(a, p + 10);
      EXPECT_EQ(b, q + 10);
      EXPECT_EQ(c, r + 10);
      EXPECT_EQ(d, t + 10);
      EXPECT_TRUE(a >= 10 && a < 20 && b >= 10 && b < 20 && c >= 10 && c < 20 && d >= 10 && d < 20);
    }
  }
  int a = 0, b = 0, c = 30, d = 30;
  ASSERT_TRUE(RAST_ClipLine(&a, &b, &c, &d, 10, 10, 20, 20));
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, 10);
  EXPECT_EQ(c, 19);
  EXPECT_EQ(d, 19);
}

TEST(BoxClip, FloatBoxUsesTheTruncatedBoxSize) {
  float x1 = 0, y1 = 15, x2 = 40, y2 = 15;
  ASSERT_TRUE(RAST_ClipFLine(&x1, &y1, &x2, &y2, 10.0f, 10.0f, 20.9f, 20.0f));
  EXPECT_EQ(x1, 10.0f);
  EXPECT_EQ(x2, 18.0f);  // width trunc(10.9) = 10, last column 9 kept off, placed at 8, plus 10
  EXPECT_EQ(y1, 15.0f);
}

TEST(BoxClip, ExtremeBoxesDoNotOverflow) {
  int a = INT_MIN, b = 0, c = INT_MAX, d = 0;
  EXPECT_TRUE(RAST_ClipLine(&a, &b, &c, &d, INT_MIN, -5, INT_MAX, 5));
  EXPECT_EQ(a, INT_MIN);
  EXPECT_EQ(c, INT_MAX - 1);
}

}  // namespace
