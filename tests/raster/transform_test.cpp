// Mesh transform, rotated, delta and scaled blits, glyph stamping, half-size blit and bitmap comparison.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "kit/raster/rast_drawglyph.h"
#include "kit/raster/rast_halvecmp.h"
#include "kit/raster/rast_rotate.h"
#include "kit/raster/rast_scaled.h"
#include "kit/raster/rast_transform.h"
#include "raster_test_util.h"

namespace {

using rt::at;
using rt::px;
const float kPi = 3.14159265f;
const int kBilinear = 0x100;

TEST(TransformBlit, MeshCellsMapLikeAScaledBlitAndNeitherGapNorOverlap) {
  rt::Randomized src(8, 6, 1);
  rt::Filled dst(16, 12), want(16, 12);
  float pts[] = {0, 0, 8, 0, 0, 6, 8, 6};
  double pts2[] = {0, 0, 8, 0, 0, 6, 8, 6};
  RAST_ScaledBlit(&want, &src, 0, 0, 16, 12, 0, 0, 8, 6, 1.0f, 0);
  RAST_TransformBlit(&dst, &src, 0, 0, 16, 12, pts, 2, 2, 1.0f, 0);
  ASSERT_TRUE(rt::same(dst, want));
  RAST_TransformBlit2(&dst, &src, 0, 0, 16, 12, pts2, 2, 2, 1.0f, 0);
  ASSERT_TRUE(rt::same(dst, want));
  // Four points along x, a source pixel per cell: 10 / 3 summed gives edges 3, 6, 9 (column 9
  // stays), 12 / 3 gives 4, 8, 12.
  RAST_MemBitmap line(4, 1);
  for (int x = 0; x < 4; x++) at(line, x, 0) = (uint32_t)(10 + x);
  float row[] = {0, 0, 1, 0, 2, 0, 3, 0, 0, 1, 1, 1, 2, 1, 3, 1};
  for (int w : {10, 12}) {
    rt::Filled out(12, 1, 1);
    RAST_TransformBlit(&out, &line, 0, 0, w, 1, row, 4, 2, 1.0f, 0);
    for (int x = 0; x < 12; x++) EXPECT_EQ(at(out, x, 0), (uint32_t)(w == 12 ? 10 + x / 4 : x < 9 ? 10 + x / 3 : 1)) << x;
  }
}

TEST(Glyph, AStampCutAtTheLeftOrTopSkipsThatManyCoverageColumnsOrRows) {
  // A 5 x 3 map inside rows of 7 bytes, each byte distinct, stamped in Add so every weight shows.
  unsigned char cov[3 * 7];
  for (int i = 0; i < 3 * 7; i++) cov[i] = (unsigned char)(i % 7 < 5 ? 20 + 11 * i : 0xEE);
  rt::Filled whole(8, 6), cut(8, 6);
  RAST_DrawGlyphEx(&whole, 2, 2, 0xFFFFFFFFu, cov, 5, 7, 3, 1.0f, 1);
  const struct {
    int x, y;
  } offsets[] = {{-2, 0}, {0, -1}, {-3, -2}};
  for (const auto& k : offsets) {
    rt::fill(cut, 0);
    RAST_DrawGlyphEx(&cut, k.x, k.y, 0xFFFFFFFFu, cov, 5, 7, 3, 1.0f, 1);
    for (int y = 0; y < 6; y++)
      for (int x = 0; x < 8; x++) {
        const int gx = x - k.x, gy = y - k.y;  // glyph column and row drawn here
        const bool inside = gx >= 0 && gx < 5 && gy >= 0 && gy < 3;
        EXPECT_EQ(at(cut, x, y), inside ? at(whole, gx + 2, gy + 2) : 0u)
            << k.x << "," << k.y << " at " << x << "," << y;
      }
  }
  rt::fill(cut, 0);
  RAST_DrawGlyph(&cut, -5, 0, 0xFFFFFFFFu, cov, 5, 3, 1.0f, 1);
  RAST_DrawGlyph(&cut, 0, -3, 0xFFFFFFFFu, cov, 5, 3, 1.0f, 1);
  EXPECT_TRUE(rt::all(cut, 0u)) << "wholly left or above";
}

TEST(HalveBlit, EachPixelSumsTheQuartersOfItsBlockAndOnlyWhatFitsIsWritten) {
  rt::Filled src(5, 5, 0xFFFFFFFFu), dst(10, 10, 1);
  at(src, 0, 0) = 0x04040404u;
  at(src, 1, 0) = 0x08080808u;
  at(src, 0, 1) = 0x0C0C0C0Cu;
  at(src, 1, 1) = 0x10101010u;
  RAST_HalveBlitAA(&dst, &src);
  EXPECT_EQ(at(dst, 0, 0), 0x0A0A0A0Au);  // 1 + 2 + 3 + 4
  EXPECT_EQ(at(dst, 1, 1), 0xFCFCFCFCu);  // 4 x 63 = 252
  EXPECT_EQ(at(dst, 2, 0), 1u);           // a 5 x 5 source writes 2 x 2
  EXPECT_EQ(at(dst, 0, 2), 1u);
  rt::Randomized big(6, 6, 4), inplace(6, 6, 4);
  rt::Filled small(2, 2), want(3, 3);
  RAST_HalveBlitAA(&want, &big);
  RAST_HalveBlitAA(&small, &big);
  RAST_HalveBlitAA(&inplace, &inplace);
  EXPECT_TRUE(rt::same(small, want));
  EXPECT_TRUE(rt::same(want, inplace));  // the top-left 3 x 3
}

TEST(BitmapCmp, SizesNullsAndTheFirstDifferingRowOrderTheBitmaps) {
  RAST_MemBitmap a(10, 10), b(12, 10), c(10, 7), e1, e2;
  EXPECT_EQ(RAST_BitmapCmp(&a, &b), 2);
  EXPECT_EQ(RAST_BitmapCmp(&a, &c), -3);
  EXPECT_EQ(RAST_BitmapCmp(nullptr, nullptr), 0);
  EXPECT_EQ(RAST_BitmapCmp(&a, nullptr), 1);
  EXPECT_EQ(RAST_BitmapCmp(nullptr, &a), -1);
  EXPECT_EQ(RAST_BitmapCmp(&e1, &e2), 0);
  rt::Filled p(4, 4, 0x10), q(4, 4, 0x10);
  at(q, 2, 1) = 0x11;
  at(p, 0, 3) = 0x11;
  EXPECT_LT(RAST_BitmapCmp(&p, &q), 0);  // row 1 decides first
  EXPECT_GT(RAST_BitmapCmp(&q, &p), 0);
}

TEST(BitmapCmp, ReportsTheSmallestRectangleHoldingEveryDifference) {
  rt::Randomized a(10, 10, 5), b(10, 10, 5);
  int r[4] = {9, 9, 9, 9};
  EXPECT_EQ(RAST_BitmapCmp(&a, &b, r), 0);
  EXPECT_EQ(std::vector<int>(r, r + 4), (std::vector<int>{0, 0, 0, 0}));
  const struct {
    std::vector<int> flip;  // x, y pairs changed on top of the previous row's
    std::vector<int> want;
  } cases[] = {
      {{3, 4}, {3, 4, 1, 1}},
      {{3, 4, 7, 2, 1, 8}, {1, 2, 7, 7}},  // the first change undone
      {{9, 5, 0, 6}, {0, 2, 10, 7}},       // middle rows outside the first and last rows' bounds
  };
  for (const auto& k : cases) {
    for (size_t i = 0; i < k.flip.size(); i += 2) at(b, k.flip[i], k.flip[i + 1]) ^= 0x100;
    EXPECT_EQ(RAST_BitmapCmp(&a, &b, r), 1);
    EXPECT_EQ(std::vector<int>(r, r + 4), k.want);
  }
}

TEST(Rotated, HalfTurnsAndMirrorsMapPixelCornersToTheOppositeCorner) {
  const int n = 9;
  RAST_MemBitmap src(n, n);
  rt::numbered(src);
  rt::Filled half(n, n, 1), mirror(n, 1, 1);
  RAST_RotatedBlit(&half, &src, 0, 0, n, n, 0, 0, n, n, kPi, true, 1.0f, 0, 0, 0);
  RAST_RotatedBlit(&mirror, &src, n, 0, -n, 1, 0, 0, n, 1, 0.0f, true, 1.0f, 0, 0, 0);
  // Destination (c, r) reads source (n - c, n - r): the first row and column fall just outside.
  for (int i = 0; i < n * n; i++) {
    const int c = i % n, r = i / n;
    ASSERT_EQ(at(half, c, r), r && c ? at(src, n - c, n - r) : 1u) << c << "," << r;
  }
  for (int c = 0; c < n; c++) EXPECT_EQ(at(mirror, c, 0), c ? at(src, n - c, 0) : 1u) << c;
}

TEST(Rotated, AtAngleZeroTheSourceRectangleComesBackAndTheClipFlagDecidesWhatAShiftShows) {
  const int n = 9;
  RAST_MemBitmap src(n, n);
  rt::numbered(src);
  struct Case {
    const char* what;
    bool clip;
    int mode;
    float alpha, ox;
    int shift;        // source column read = destination column + 1 + shift
    bool firstDrawn;  // whether destination column 1 is written
  } cases[] = {
      {"nearest, clipped", true, 0, 1.0f, 0, 0, true},
      {"bilinear, clipped", true, kBilinear, 1.0f, 0, 0, true},
      {"bilinear, unclipped", false, kBilinear, 1.0f, 0, 0, true},
      {"one column left, clipped: left alone", true, 0, 1.0f, -1.0f, -1, false},
      {"one column left, unclipped: the neighbour shows", false, 0, 1.0f, -1.0f, -1, true},
      {"alpha 0 draws nothing", false, 0, 0.0f, 0, 0, false},
      {"mode 6 draws nothing", false, 6, 1.0f, 0, 0, false},
  };
  for (const Case& k : cases) {
    rt::Filled out(8, 6, 1);
    RAST_RotatedBlit(&out, &src, 1, 1, 4, 3, 2, 3, 4, 3, 0.0f, k.clip, k.alpha, k.mode, k.ox, 0);
    const bool drawn = k.alpha > 0 && k.mode != 6;
    for (int r = 0; r < 6; r++)
      for (int c = 0; c < 8; c++) {
        const bool inside = c >= 1 && c < 5 && r >= 1 && r < 4 && drawn && (c > 1 || k.firstDrawn);
        EXPECT_EQ(at(out, c, r), inside ? at(src, c + 1 + k.shift, r + 2) : 1u) << k.what << " at " << c << "," << r;
      }
  }
}

TEST(DeltaBlit, StepsWalkTheSourceAndANegativeWidthOnlyMovesTheRectangle) {
  RAST_MemBitmap src(20, 4);
  rt::numbered(src);
  rt::Filled dst(5, 4, 1), moved(10, 1, 1);
  // Row r steps 1 + r source columns per destination column.
  RAST_DeltaBlit(&dst, &src, 0, 0, 5, 4, 0, 0, 20, 4, 1, 0, 0, 1, 1, 0, false, 1.0f, 0);
  for (int i = 0; i < 20; i++) ASSERT_EQ(at(dst, i % 5, i / 5), at(src, (1 + i / 5) * (i % 5), i / 5)) << i;
  RAST_DeltaBlit(&moved, &src, 6, 0, -4, 1, 0, 0, 3, 1, 1, 0, 0, 1, 0, 0, false, 1.0f, 0);  // columns 2..5 from 3
  for (int c = 0; c < 10; c++) EXPECT_EQ(at(moved, c, 0), c >= 2 && c < 6 ? at(src, c + 1, 0) : 1u) << c;
}

TEST(Scaled, SamplesFiltersAndShortcutsGiveTheHandComputedPixels) {
  // Every byte of a pixel holds the value, so all four channels follow the same arithmetic.
  auto grey = [](int v) { return (uint32_t)v * 0x01010101u; };
  auto linear = [&](int w, int h, int ax, int ay) {
    RAST_MemBitmap* bm = new RAST_MemBitmap(w, h);
    rt::each(*bm, [&](int x, int y) { return grey(ax * x + ay * y); });
    return std::unique_ptr<RAST_MemBitmap>(bm);
  };
  const auto src = linear(3, 3, 60, 30);  // 0 60 120 / 30 90 150 / 60 120 180
  std::unique_ptr<RAST_MemBitmap> corner(new RAST_MemBitmap(3, 3));  // 90 but 150 at (2, 2)
  rt::each(*corner, [&](int x, int y) { return grey(x == 2 && y == 2 ? 150 : 90); });
  struct Case {
    const char* what;
    std::function<void(RAST_IBitmap*)> draw;
    int w, h;
    std::function<int(int, int)> want;  // -1: untouched
  } cases[] = {
      {"nearest, twice the size",
       [&](RAST_IBitmap* d) { RAST_ScaledBlit(d, src.get(), 0, 0, 6, 6, 0, 0, 3, 3, 1.0f, 0); }, 6, 6,
       [](int c, int r) { return 60 * (c / 2) + 30 * (r / 2); }},
      // Interior exact; the last column vertical only, the last row horizontal only, the corner copied.
      {"bilinear, twice the size",
       [&](RAST_IBitmap* d) { RAST_ScaledBlit(d, src.get(), 0, 0, 6, 6, 0, 0, 3, 3, 1.0f, kBilinear); }, 6, 6,
       [](int c, int r) { return 30 * std::min(c, 4) + 15 * std::min(r, 4); }},
      // Four equal neighbours give their own value; one odd corner of four is blended in.
      {"bilinear, a flat block with one odd corner",
       [&](RAST_IBitmap* d) { RAST_ScaledBlit(d, corner.get(), 0, 0, 6, 6, 0, 0, 3, 3, 1.0f, kBilinear); }, 6, 6,
       [](int c, int r) {
         if (c >= 4 && r >= 4) return 150;
         if ((c == 3 && r >= 4) || (c >= 4 && r == 3)) return 120;
         return c == 3 && r == 3 ? 105 : 90;
       }},
      {"1:1 shortcut: the blit from the origin plus 0.5 truncated",
       [&](RAST_IBitmap* d) { RAST_ScaledBlit(d, src.get(), 1, 0, 2, 2, 0.4f, 0.6f, 2, 2, 1.0f, 0); }, 4, 2,
       [](int c, int r) { return c == 0 || c == 3 ? -1 : 60 * (c - 1) + 30 * (r + 1); }},
      {"1:1 a quarter off with the filter bits: filtered",
       [&](RAST_IBitmap* d) { RAST_ScaledBlit(d, src.get(), 0, 0, 2, 2, 0.25f, 0, 2, 2, 1.0f, kBilinear); }, 2, 2,
       [](int c, int r) { return 15 + 60 * c + 30 * r; }},
      {"mode 6 draws nothing", [&](RAST_IBitmap* d) { RAST_ScaledBlit(d, src.get(), 0, 0, 6, 6, 0, 0, 3, 3, 1.0f, 6); },
       6, 6, [](int, int) { return -1; }},
  };
  for (const Case& k : cases) {
    rt::Filled out(k.w, k.h, 7);
    k.draw(&out);
    for (int r = 0; r < k.h; r++)
      for (int c = 0; c < k.w; c++) {
        const int v = k.want(c, r);
        EXPECT_EQ(at(out, c, r), v < 0 ? 7u : grey(v)) << k.what << " at " << c << "," << r;
      }
  }

  // Shrinking with the filter bits: a box of 3 x 3 up to 3:1, 5 x 5 beyond, averaged over the cells
  // inside the source only; 1.6:1, or 2:1 in x at 1:1 in y, stays bilinear.
  const auto big = linear(8, 8, 10, 20);
  const auto six = linear(6, 6, 10, 20);
  rt::Filled half(3, 3), quarter(2, 2), slight(5, 5), xonly(4, 8);
  RAST_ScaledBlit(&half, six.get(), 0, 0, 3, 3, 0, 0, 6, 6, 1.0f, kBilinear);
  RAST_ScaledBlit(&quarter, big.get(), 0, 0, 2, 2, 0, 0, 8, 8, 1.0f, kBilinear);
  RAST_ScaledBlit(&slight, big.get(), 0, 0, 5, 5, 0, 0, 8, 8, 1.0f, kBilinear);
  RAST_ScaledBlit(&xonly, big.get(), 0, 0, 4, 8, 0, 0, 8, 8, 1.0f, kBilinear);
  EXPECT_EQ(at(half, 0, 0), grey(15)) << "the four cells inside, around (0, 0)";
  EXPECT_EQ(at(half, 1, 1), grey(60));
  EXPECT_EQ(at(half, 2, 0), grey(50)) << "six cells around (4, 0)";
  EXPECT_EQ(at(quarter, 0, 0), grey(30)) << "nine cells of the 5 x 5 around (0, 0)";
  EXPECT_EQ(at(quarter, 1, 1), grey(120));
  EXPECT_EQ(at(slight, 1, 0), grey(15)) << "(10 x 26215 + 20 x 39321) >> 16 at x 1.6";
  EXPECT_EQ(at(xonly, 0, 0), grey(0)) << "a box would give 5";

  // Copy at half weight without filter bits: the whole-word halving mix.
  rt::Filled mixed(6, 6, 0x10305070u);
  RAST_ScaledBlit(&mixed, src.get(), 0, 0, 6, 6, 0, 0, 3, 3, 0.5f, 0);
  EXPECT_EQ(at(mixed, 3, 5), ((0x10305070u >> 1) & 0x7F7F7F7Fu) + ((grey(60 + 60) >> 1) & 0x7F7F7F7Fu));
}

TEST(Scaled, OverflowingSetUpsStayInsideTheBitmaps) {
  // Positions beyond 16.16 never read or write outside the bitmaps (the sanitizer build checks).
  rt::Filled wide(40000, 1, 5), out(50, 50, 3);
  const float big[] = {1e9f, -1e9f, 3e4f, 4e4f, FLT_MAX, -FLT_MAX, 1e-30f};
  for (float a : big)
    for (float b : big) {
      RAST_ScaledBlit(&out, &wide, 0, 0, 50, 50, a, b, 2 * a, b, 1.0f, kBilinear);
      RAST_ScaledBlit(&out, &wide, -3, -3, 60, 60, 0, 0, a, b, 0.7f, 3);
      RAST_ScaledBlit(&out, &wide, INT_MIN, INT_MIN, INT_MAX, INT_MAX, a, 0, b, 1, 1.0f, 0);
      RAST_ScaledBlit(&out, &wide, 0, 0, -INT_MAX, 50, a, 0, b, 1, 1.0f, kBilinear);
    }
  // A wide source drawn near its right end still works where positions fit in 16.16.
  rt::fill(out, 3);
  RAST_ScaledBlit(&out, &wide, 0, 0, 10, 1, 30000, 0, 20, 1, 1.0f, 0);
  EXPECT_EQ(at(out, 9, 0), 5u);
}


}  // namespace
