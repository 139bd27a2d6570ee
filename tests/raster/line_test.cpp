// Integer, float and dashed lines: the pixels each touches and the clippers; circles of huge radius.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_dash.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_lineclip.h"
#include "raster_test_util.h"

namespace {

using namespace rt;

Draw line(int x1, int y1, int x2, int y2, bool aa) {
  return [=](RAST_IBitmap* bm, uint32_t c, float a, int m) { RAST_Line(bm, x1, y1, x2, y2, c, a, m, aa); };
}
Draw dash(int x1, int y1, int x2, int y2, int on, int off) {
  return [=](RAST_IBitmap* bm, uint32_t c, float a, int m) { RAST_DashedLine(bm, x1, y1, x2, y2, on, off, c, a, m, false); };
}

TEST(LineShape, TouchesExactlyTheRulesPixelsOnceEach) {
  const struct {
    const char* what;
    int w, h;
    Draw draw;
    std::vector<std::string> want;
  } cases[] = {
      {"equal ends", 4, 3, line(2, 1, 2, 1, true), {"....", "..1.", "...."}},
      {"slope 1/3, halves up, mirrored", 10, 4, line(0, 0, 9, 3, false),
       {"11........", "..111.....", ".....111..", "........11"}},
      {"y major, even length", 5, 7, line(1, 0, 3, 6, false),
       {".1...", ".1...", "..1..", "..1..", "..1..", "...1.", "...1."}},
      {"int range ends", 5, 2, line(INT_MIN, 1, INT_MAX, 1, false), {".....", "11111"}},
      {"vertical, anti-aliasing changes nothing", 3, 4, line(1, 3, 1, 0, true), {".1.", ".1.", ".1.", ".1."}},
      {"dash 3 on 2 off, larger end never drawn", 12, 1, dash(10, 0, 0, 0, 3, 2), {"111..111...."}},
      {"negative gap draws solid", 6, 1, dash(0, 0, 5, 0, 2, -5), {"11111."}},
      {"huge lengths and ends", 6, 1, dash(INT_MIN, 0, INT_MAX, 0, INT_MAX, INT_MAX), {"11111."}},
      {"vertical stipple", 1, 6, dash(0, 5, 0, 0, 1, 1), {"1", ".", "1", ".", "1", "."}},
  };
  for (const auto& k : cases) {
    rt::Filled bm(k.w, k.h);
    k.draw(&bm, kOne, 1.0f, 1);
    EXPECT_EQ(rt::picture(bm), k.want) << k.what;
  }
  // The copy stipple stores the colour word itself.
  rt::Filled bm(1, 6, grey(9));
  RAST_DashedLine(&bm, 0, 0, 0, 5, 1, 1, kColour, 1.0f, 0, false);
  EXPECT_EQ(at(bm, 0, 2), kColour);
  EXPECT_EQ(at(bm, 0, 3), grey(9));
}

TEST(LineClip, IntegerClipperMovesEndsOntoTheEdgeCrossings) {
  const struct {
    int x1, y1, x2, y2, w, h;
    bool ok;
    int e[4];
  } cases[] = {
      {2, 2, 8, 14, 10, 10, true, {2, 2, 6, 9}},  // crossing taken on y = 10, placed on row 9
      {1, 1, 3, 3, 0, 10, false, {}},
      {-5, 3, 3, -5, 10, 10, false, {}},  // ends beyond different edges, missing the area
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 100, 100, true, {0, 0, 99, 99}},
  };
  for (const auto& k : cases) {
    int p[4] = {k.x1, k.y1, k.x2, k.y2};
    ASSERT_EQ(ClipLine(&p[0], &p[1], &p[2], &p[3], k.w, k.h), k.ok) << k.x1 << "," << k.y1;
    if (k.ok) { EXPECT_EQ(std::vector<int>(p, p + 4), std::vector<int>(k.e, k.e + 4)) << k.x1 << "," << k.y1; }
  }
  // A box clips as the origin clipper on the box's size, shifted by its corner.
  const struct {
    int p[4], box[4], e[4];
  } boxes[] = {{{0, 0, 30, 30}, {10, 10, 20, 20}, {10, 10, 19, 19}},
               {{INT_MIN, 0, INT_MAX, 0}, {INT_MIN, -5, INT_MAX, 5}, {INT_MIN, 0, INT_MAX - 1, 0}}};
  for (const auto& k : boxes) {
    int p[4] = {k.p[0], k.p[1], k.p[2], k.p[3]};
    EXPECT_TRUE(RAST_ClipLine(&p[0], &p[1], &p[2], &p[3], k.box[0], k.box[1], k.box[2], k.box[3]));
    EXPECT_EQ(std::vector<int>(p, p + 4), std::vector<int>(k.e, k.e + 4));
  }
}

TEST(LineClip, FloatClipperPlacesMovedEndsOneInsideTheLastRowAndColumn) {
  const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
  const struct {
    float x1, y1, x2, y2;
    int w, h;
    bool ok;
    float e[4];
  } cases[] = {
      {10, 20, 150, 90, 100, 100, true, {10, 20, 98, 20.0f + 70.0f * 89.0f / 140.0f}},  // crossing x = 99
      {-1, 5, -7, 50, 100, 100, false, {}},
      {0, 0, 5, 5, 1, 1, false, {}},  // no inside once the last row and column are kept off
      {nan, 0, 5, 5, 10, 10, false, {}},
      {1, 1, inf, 5, 10, 10, false, {}},
  };
  for (const auto& k : cases) {
    float p[4] = {k.x1, k.y1, k.x2, k.y2};
    ASSERT_EQ(ClipFLine(&p[0], &p[1], &p[2], &p[3], k.w, k.h), k.ok) << k.x1 << "," << k.y1;
    for (int i = 0; k.ok && i < 4; i++) EXPECT_FLOAT_EQ(p[i], k.e[i]) << k.x1 << "," << k.y1 << " coordinate " << i;
  }
  // The box's size is truncated: width 10, last column 9 kept off, placed on 8, plus 10.
  float x1 = 0, y1 = 15, x2 = 40, y2 = 15;
  ASSERT_TRUE(RAST_ClipFLine(&x1, &y1, &x2, &y2, 10.0f, 10.0f, 20.9f, 20.0f));
  EXPECT_EQ(std::vector<float>({x1, y1, x2}), std::vector<float>({10.0f, 15.0f, 18.0f}));
}

TEST(CircleClip, HugeRadiiFinishAndDrawTheVisibleStretch) {
  rt::Filled bm(64, 64);
  RAST_Circle(&bm, -1.0e9f, 32.0f, 1.0e9f, kOne, 1.0f, 1, false);
  EXPECT_EQ(at(bm, 0, 32), kOne);  // the right-most point of the outline
  EXPECT_EQ(at(bm, 1, 32), 0u);
  RAST_Circle(&bm, 32.0f, 32.0f, 3.0e38f, kOne, 1.0f, 1, true);
  RAST_FillCircle(&bm, 32.0f, 32.0f, 5.0e8f, kOne, 1.0f, 1, false);
  RAST_FillCircle(&bm, 1.0e9f, -1.0e9f, 2.0e9f, kOne, 1.0f, 1, true);
  EXPECT_EQ(rt::countSet(bm), 64 * 64);  // the huge filled circles cover everything
}

}  // namespace
