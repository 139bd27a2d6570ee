// Rectangle outlines, trapezoid, triangle and convex polygon fills.
#include <gtest/gtest.h>

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
  rt::Filled a(12, 6), b(12, 6);
  RAST_FillTrapezoid(&a, 0, 9, 0, 0, 9, 4, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&b, 9, 0, 4, 9, 0, 0, kInk, 1.0f, 0);
  EXPECT_EQ(spans(a, 6), Spans({{0, 9}, {0, 9}, {0, 9}, {0, 9}, {0, 9}, {-1, -1}}));
  EXPECT_TRUE(rt::same(a, b));
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

TEST(RectOutline, CoversBothEndColumnsAndRowsAndTouchesEachCornerTwice) {
  // Add at weight 128 of 100 gives 50 per touch, so the picture counts the touches.
  rt::Filled bm(14, 8);
  RAST_DrawRect(&bm, 0, 0, 10, 5, rt::px(100, 100, 100, 100), 0.5f, 1);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 14; x++) {
      const int touches = (x <= 10 && y <= 5) * ((x == 0 || x == 10) + (y == 0 || y == 5));
      ASSERT_EQ(at(bm, x, y), rt::px(50, 50, 50, 50) * (uint32_t)touches) << x << "," << y;
    }
  // Bordered: the inside from (x + 1, y + 1) on, then the outline; added in separate channels,
  // an inside pixel under the outline would show.
  const uint32_t inside = rt::px(0, 90, 0, 0), outline = rt::px(90, 0, 0, 0);
  const struct {
    const char* what;
    int x, y, w, h, insideCount;
  } cases[] = {
      {"4 x 3: a 3 x 2 inside", 1, 1, 4, 3, 3 * 2},
      {"one wide: only the border", 1, 1, 1, 4, 0},
      {"one high: only the border", 2, 3, 5, 1, 0},
  };
  for (const auto& k : cases) {
    rt::Filled box(10, 10);
    RAST_BorderedRect(&box, k.x, k.y, k.w, k.h, inside, outline, 1.0f, 1);
    int insidePixels = 0;
    for (int y = 0; y < 10; y++)
      for (int x = 0; x < 10; x++) {
        const bool strictlyInside = x > k.x && x < k.x + k.w && y > k.y && y < k.y + k.h;
        const bool onOutline = !strictlyInside && x >= k.x && x <= k.x + k.w && y >= k.y && y <= k.y + k.h;
        const uint32_t p = at(box, x, y);
        insidePixels += p == (inside | 255u);
        EXPECT_EQ((p >> 16 & 255) != 0, strictlyInside) << k.what << " at " << x << "," << y;
        EXPECT_EQ((p >> 8 & 255) != 0, onOutline) << k.what << " at " << x << "," << y;
      }
    EXPECT_EQ(insidePixels, k.insideCount) << k.what;
  }
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
}

TEST(Polygon, FlippingDoesNotChangeThePixels) {
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

}  // namespace
