// Rectangle outlines, trapezoid, triangle and convex polygon fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
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

// The trapezoid in 64-bit arithmetic: each edge starts at its top end and moves by
// sign * floor(|slope| * rows / 65536), the slope being 16.16 per row truncated toward zero and
// limited to 2^29; an edge with both ends beyond a side is that side.
void referenceTrapezoid(std::vector<uint32_t>& px, int W, int H, long long x1a, long long x1b, long long y1,
                        long long x2a, long long x2b, long long y2) {
  if (y1 > y2) std::swap(y1, y2), std::swap(x1a, x2a), std::swap(x1b, x2b);
  if (x1a > x1b) std::swap(x1a, x1b);
  if (x2a > x2b) std::swap(x2a, x2b);
  if ((x1b < 0 && x2b < 0) || (x1a >= W && x2a >= W)) return;
  auto slope = [&](long long t, long long b) -> long long {
    if (y2 == y1) return 0;
    return (long long)std::max(-536870912.0, std::min(536870912.0, (double)(b - t) * (65536.0 / (double)(y2 - y1))));
  };
  const bool lvert = x1a <= 0 && x2a <= 0, rvert = x1b >= W - 1 && x2b >= W - 1;
  const long long ls = lvert ? 0 : slope(x1a, x2a), rs = rvert ? 0 : slope(x1b, x2b);
  const long long l0 = lvert ? 0 : x1a, r0 = rvert ? W - 1 : x1b;
  for (long long y = std::max(y1, 0LL); y <= std::min(y2, (long long)H - 1); y++) {
    const long long l = l0 + (ls < 0 ? -1 : 1) * ((std::llabs(ls) * (y - y1)) >> 16);
    const long long r = r0 + (rs < 0 ? -1 : 1) * ((std::llabs(rs) * (y - y1)) >> 16);
    for (long long x = std::max(l, 0LL); x <= std::min(r, (long long)W - 1); x++) px[(size_t)(y * W + x)] = kInk;
  }
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

TEST(Trapezoid, MatchesScanConversionIn64BitsForRandomAndFarOutsideShapes) {
  std::mt19937 rng(1234);
  const int W = 37, H = 29;
  std::uniform_int_distribution<int> near(-60, 90), far(-3000000, 3000000);
  for (int i = 0; i < 3000; i++) {
    auto pick = [&]() { return (i % 3 == 0) ? far(rng) : near(rng); };
    const int x1a = pick(), x1b = pick(), y1 = pick(), x2a = pick(), x2b = pick(), y2 = pick();
    rt::Filled bm(W, H);
    RAST_FillTrapezoid(&bm, x1a, x1b, y1, x2a, x2b, y2, kInk, 1.0f, 0);
    std::vector<uint32_t> ref((size_t)W * H, 0);
    referenceTrapezoid(ref, W, H, x1a, x1b, y1, x2a, x2b, y2);
    for (int p = 0; p < W * H; p++)
      ASSERT_EQ(at(bm, p % W, p / W), ref[p]) << "case " << i << " (" << x1a << "," << x1b << "," << y1 << ")-(" << x2a
                                              << "," << x2b << "," << y2 << ") pixel " << p % W << "," << p / W;
  }
  RAST_FillTrapezoid(nullptr, 0, 9, 0, 0, 9, 9, kInk, 1.0f, 0);
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
      {0.3f, 0, ref::combine(d, c, 76, 0)},         {0.6f, 1, ref::combine(d, c, 153, 1)},
      {0.9f, 2, ref::combine(d, c, 230, 2)},        {0.7f, 3, ref::combine(d, c, 179, 3)},
      {0.4f, 4, ref::combine(d, c, 102, 4)},        {0.5f, 5, ref::pack(ref::hsv(ref::unpack(d), ref::unpack(c), 128))},
      {0.001f, 0, d},  {-1.0f, 0, d}, {1.0f, 6, d}, {1.0f, 0xFF, d},
      {1.0f, 0x10000, c},  // the source-alpha bit is not looked at
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
  std::mt19937 rng(77);
  std::uniform_real_distribution<double> cx(-10, 70), r(3, 40), ph(0, 6.283);
  for (int k = 0; k < 100; k++) {
    const int n = 3 + k % 9;
    const double c0 = cx(rng), c1 = cx(rng), rad = r(rng), p0 = ph(rng);
    std::vector<int> xs(n), ys(n);
    for (int i = 0; i < n; i++) {
      xs[i] = (int)std::lround(c0 + rad * std::cos(p0 + 6.283185307 * i / n));
      ys[i] = (int)std::lround(c1 + rad * std::sin(p0 + 6.283185307 * i / n));
    }
    rt::Filled a(64, 64);
    RAST_FillConvexPolygon(&a, xs.data(), ys.data(), n, kInk, 1.0f, 0);
    for (int start = 0; start < n; start++) {
      std::vector<int> rx(n), ry(n);
      for (int i = 0; i < n; i++) rx[i] = xs[(start + n - i) % n], ry[i] = ys[(start + n - i) % n];
      rt::Filled b(64, 64);
      RAST_FillConvexPolygon(&b, rx.data(), ry.data(), n, kInk, 1.0f, 0);
      ASSERT_TRUE(rt::same(a, b)) << "polygon " << k << " reversed from " << start;
    }
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
  const int xs[] = {0, 9, 9}, ys[] = {0, 0, 9};
  RAST_FillConvexPolygon(&bm, xs, ys, 2, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&bm, xs, ys, -5, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&bm, nullptr, ys, 3, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&bm, xs, nullptr, 3, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(nullptr, xs, ys, 3, kInk, 1.0f, 0);
  RAST_FillTriangle(nullptr, 0, 0, 1, 1, 2, 0, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 0);
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
