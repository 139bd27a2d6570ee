// Rectangle outlines, trapezoid, triangle and convex polygon fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "kit/raster/rast_poly.h"
#include "kit/raster/rast_trap.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
const uint32_t kInk = 0xFFFFFFFFu;

// First and last filled column of each row; (-1, -1) for an empty row.
std::vector<std::pair<int, int>> spans(RAST_IBitmap& bm, int rows) {
  std::vector<std::pair<int, int>> out(rows, {-1, -1});
  for (int y = 0; y < rows; y++)
    for (int x = bm.getWidth() - 1; x >= 0; x--)
      if (at(bm, x, y)) out[y] = {x, out[y].second < 0 ? x : out[y].second};
  return out;
}

TEST(Trapezoid, FillsThePinnedShapesInEitherArgumentOrder) {
  using Spans = std::vector<std::pair<int, int>>;
  rt::Filled a(12, 6), b(12, 6), c(12, 6);
  RAST_FillTrapezoid(&a, 0, 9, 0, 0, 9, 4, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&b, 9, 0, 4, 9, 0, 0, kInk, 1.0f, 0);
  EXPECT_EQ(spans(a, 6), Spans({{0, 9}, {0, 9}, {0, 9}, {0, 9}, {0, 9}, {-1, -1}}));
  EXPECT_TRUE(rt::same(a, b));
  RAST_FillTrapezoid(&c, 0, 0, 0, 0, 3, 3, kInk, 1.0f, 0);  // right edge one pixel per row
  EXPECT_EQ(spans(c, 5), Spans({{0, 0}, {0, 1}, {0, 2}, {0, 3}, {-1, -1}}));
  // A start far above the bitmap: |slope| * rows is about 2^34, which a 32-bit product wraps.
  rt::Filled far(64, 4);
  RAST_FillTrapezoid(&far, -16384 * 16 + 10, -16384 * 16 + 15, -16384, 1610, 1615, 100, kInk, 1.0f, 0);
  EXPECT_EQ(spans(far, 4), Spans({{10, 15}, {26, 31}, {42, 47}, {58, 63}}));
}

TEST(Fill, CopyMixesWholeWordsAtQuarterStepsAndOtherModesUseTheColourAlphaAsSourceAlpha) {
  const uint32_t d = 0xC8643201u, c = 0x10F08033u;
  auto perByte = [&](int dq, int dh, int cq, int ch) {
    uint32_t out = 0;
    for (int k = 0; k < 32; k += 8)
      out |= (uint32_t)(dq * ((d >> k & 255) / 4) + dh * ((d >> k & 255) / 2) + cq * ((c >> k & 255) / 4) +
                        ch * ((c >> k & 255) / 2)) << k;
    return out;
  };
  const struct {
    float alpha;
    int mode;
    uint32_t want;
  } cases[] = {
      {1.0f, 0, c}, {0.5f, 0, perByte(0, 1, 0, 1)}, {0.75f, 0, perByte(1, 0, 1, 1)}, {0.25f, 0, perByte(1, 1, 1, 0)},
      {0.3f, 0, ref::combine(d, c, 76, 0)},
  };
  for (const auto& k : cases) {
    rt::Filled bm(3, 3, d);
    RAST_FillTriangle(&bm, 0, 0, 2, 0, 0, 2, c, k.alpha, k.mode);
    EXPECT_EQ(at(bm, 0, 0), k.want) << "mode " << k.mode << " alpha " << k.alpha;
    EXPECT_EQ(at(bm, 2, 2), d) << "outside the triangle, mode " << k.mode;
  }
  rt::Filled black(2, 2);
  RAST_FillTrapezoid(&black, 0, 1, 0, 0, 1, 1, kInk, 0.25f, 0);
  EXPECT_EQ(at(black, 1, 1), 0x3F3F3F3Fu);
}

TEST(Fill, RectOutlinesCoverWPlusOneColumnsAndHPlusOneRowsWithCornersTwice) {
  rt::Filled bm(14, 8);
  RAST_DrawRect(&bm, 0, 0, 10, 5, rt::px(100, 100, 100, 100), 0.5f, 1);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 14; x++) {
      const int edges = (x <= 10 && y <= 5) * ((x == 0 || x == 10) + (y == 0 || y == 5));
      ASSERT_EQ(at(bm, x, y), rt::px(50, 50, 50, 50) * (uint32_t)edges) << x << "," << y;
    }
  const uint32_t bg = rt::px(0, 0, 255, 255), fg = rt::px(255, 0, 0, 255);
  rt::Filled one(8, 8), box(8, 8);
  RAST_BorderedRect(&one, 1, 1, 1, 4, bg, fg, 1.0f, 0);  // one wide: no inside
  EXPECT_EQ(rt::countSet(one), 2 * 5);
  EXPECT_EQ(rt::countSet(one, fg), 64 - 10);
  RAST_BorderedRect(&box, 1, 1, 4, 3, bg, fg, 1.0f, 0);
  EXPECT_EQ(std::vector<uint32_t>({at(box, 1, 1), at(box, 5, 4), at(box, 2, 2), at(box, 4, 3), at(box, 6, 2)}),
            std::vector<uint32_t>({fg, fg, bg, bg, 0}));
}

TEST(Polygon, FillsThePinnedShapes) {
  using Spans = std::vector<std::pair<int, int>>;
  const struct {
    const char* what;
    std::vector<int> xs, ys;
    Spans want;
  } cases[] = {
      {"square 0..10 with its boundary", {0, 10, 10, 0}, {0, 0, 10, 10}, Spans(11, {0, 10})},
      // 21845 per row reaches 0.99998 of a pixel on row 3.
      {"staircase triangle", {0, 1, 0}, {0, 3, 3}, Spans(4, {0, 0})},
      {"one row: smallest to largest x", {7, 3, 12, 5}, {0, 0, 0, 0}, Spans({{3, 12}})},
      {"one row left of the bitmap", {-9, -3, -5}, {0, 0, 0}, Spans({{-1, -1}})},
  };
  for (const auto& k : cases) {
    rt::Filled bm(16, 16);
    RAST_FillConvexPolygon(&bm, k.xs.data(), k.ys.data(), (int)k.xs.size(), kInk, 1.0f, 0);
    EXPECT_EQ(spans(bm, (int)k.want.size()), k.want) << k.what;
    int n = 0;
    for (auto s : k.want) n += s.first < 0 ? 0 : s.second - s.first + 1;
    EXPECT_EQ(rt::countSet(bm), n) << k.what;
  }
  // More points than the local table holds, all on the outline of a 151 x 151 square.
  std::vector<int> xs, ys;
  for (int i = 0; i < 600; i++) {
    const int side = i / 150, t = i % 150;
    xs.push_back(side == 0 ? 10 + t : side == 1 ? 160 : side == 2 ? 160 - t : 10);
    ys.push_back(side == 0 ? 5 : side == 1 ? 5 + t : side == 2 ? 155 : 155 - t);
  }
  rt::Filled big(200, 200);
  RAST_FillConvexPolygon(&big, xs.data(), ys.data(), 600, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(big), 151 * 151);
  EXPECT_EQ(spans(big, 156).back(), std::make_pair(10, 160));
}

TEST(Polygon, WindingStartClippingAndFlippingDoNotChangeThePixels) {
  // Any starting point, either way round.
  const int px7[] = {3, 20, 41, 45, 30, 9, 1}, py7[] = {2, 0, 9, 30, 44, 37, 18};
  rt::Filled a(64, 64);
  RAST_FillConvexPolygon(&a, px7, py7, 7, kInk, 1.0f, 0);
  for (int start = 0; start < 14; start++) {
    int rx[7], ry[7];
    for (int i = 0; i < 7; i++) {
      const int k = start < 7 ? (start + i) % 7 : (start + 7 - i) % 7;
      rx[i] = px7[k], ry[i] = py7[k];
    }
    rt::Filled b(64, 64);
    RAST_FillConvexPolygon(&b, rx, ry, 7, kInk, 1.0f, 0);
    ASSERT_TRUE(rt::same(a, b)) << "from " << start % 7 << (start < 7 ? "" : " reversed");
  }
  // Cut at the top: the first drawn row starts at the advanced edges.
  rt::Filled tall(50, 80), cut(50, 40), tallTrap(40, 60), cutTrap(40, 30);
  const int xs[] = {20, 47, 30, 2}, ys[] = {0, 31, 77, 45}, ysCut[] = {-40, -9, 37, 5};
  RAST_FillConvexPolygon(&tall, xs, ys, 4, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&cut, xs, ysCut, 4, kInk, 1.0f, 0);
  EXPECT_TRUE(rt::same(cut, tall, 0, 40));
  RAST_FillTrapezoid(&tallTrap, 2, 7, 0, 5, 36, 55, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&cutTrap, 2, 7, -30, 5, 36, 25, kInk, 1.0f, 0);
  EXPECT_TRUE(rt::same(cutTrap, tallTrap, 0, 30));
  // Bottom-up bitmaps get the rows the caller names (edges where rounding cannot differ).
  rt::FlippedBitmap flipped(20, 20);
  rt::Filled plain(20, 20);
  const int fx[] = {2, 12, 12, 6}, fy[] = {2, 2, 12, 6};
  RAST_FillConvexPolygon(&flipped, fx, fy, 4, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&plain, fx, fy, 4, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&flipped, 2, 3, 14, 4, 12, 18, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&plain, 2, 3, 14, 4, 12, 18, kInk, 1.0f, 0);
  EXPECT_TRUE(rt::same(flipped, plain));
}

TEST(Polygon, OddInputStaysInsideItsBoundsOrDrawsNothing) {
  rt::Filled bm(16, 16);
  // A star is not convex: the fill follows its outer chains and stays in its box.
  std::vector<int> sx, sy;
  for (int i = 0; i < 10; i++) {
    sx.push_back(8 + (int)std::lround((i % 2 ? 3 : 7) * std::cos(6.283185307 * i / 10)));
    sy.push_back(8 + (int)std::lround((i % 2 ? 3 : 7) * std::sin(6.283185307 * i / 10)));
  }
  RAST_FillConvexPolygon(&bm, sx.data(), sy.data(), 10, kInk, 1.0f, 0);
  EXPECT_EQ(at(bm, 8, 8), kInk);
  const auto [x0, x1] = std::minmax_element(sx.begin(), sx.end());
  const auto [y0, y1] = std::minmax_element(sy.begin(), sy.end());
  for (int p = 0; p < 256; p++)
    ASSERT_TRUE(!at(bm, p % 16, p / 16) || (p % 16 >= *x0 && p % 16 <= *x1 && p / 16 >= *y0 && p / 16 <= *y1)) << p;
  // Coordinates at the int range ends: the first triangle contains the whole bitmap.
  RAST_FillTriangle(&bm, INT_MIN, INT_MIN, INT_MAX, INT_MIN, 0, INT_MAX, kInk, 1.0f, 0);
  RAST_FillTriangle(&bm, INT_MIN, 0, INT_MAX, 3, INT_MAX, INT_MAX, kInk, 1.0f, 0);
  const int ex[] = {INT_MAX, INT_MIN, 5}, ey[] = {INT_MAX, INT_MAX, INT_MIN};
  RAST_FillConvexPolygon(&bm, ex, ey, 3, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 16 * 16);
}

}  // namespace
