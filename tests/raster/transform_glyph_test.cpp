// Mesh transform blit, glyph stamping, half-size blit and bitmap comparison.
#include <gtest/gtest.h>

#include <vector>

#include "kit/raster/rast_drawglyph.h"
#include "kit/raster/rast_halvecmp.h"
#include "kit/raster/rast_scaled.h"
#include "kit/raster/rast_transform.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;

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

TEST(DrawGlyph, CoverageScalesTheWeightAndTheGlyphIsCutAtTheBitmapsEdges) {
  // Coverage rows 10..14 and 20..24 stamped in red with Add, so each weight shows in the red byte.
  const unsigned char cov[] = {10, 11, 12, 13, 14, 20, 21, 22, 23, 24};
  const struct {
    int x, y, w;             // rows 5 bytes apart, 2 high
    std::vector<int> want;  // red of the 4 x 2 bitmap, row by row
  } cases[] = {
      {0, 0, 5, {9, 10, 11, 12, 19, 20, 21, 22}},  // 255 * c / 256
      {-2, 0, 5, {11, 12, 13, 0, 21, 22, 23, 0}},  // columns 2..4 at 0..2
      {1, 1, 5, {0, 0, 0, 0, 0, 9, 10, 11}},
      {0, -1, 2, {19, 20, 0, 0, 0, 0, 0, 0}},  // narrower than the span, top row cut
      {-5, 0, 5, {0, 0, 0, 0, 0, 0, 0, 0}},
      {0, -2, 5, {0, 0, 0, 0, 0, 0, 0, 0}},
      {4, 0, 5, {0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& k : cases) {
    rt::Filled bm(4, 2);
    RAST_DrawGlyphEx(&bm, k.x, k.y, px(255, 0, 0, 0), cov, k.w, 5, 2, 1.0f, 1);
    std::vector<int> red;
    for (int i = 0; i < 8; i++) red.push_back(RAST_PixelR(at(bm, i % 4, i / 4)));
    EXPECT_EQ(red, k.want) << k.x << "," << k.y;
  }
  // Zero coverage is skipped; full coverage at alpha 1.0 weighs 255, not 256.
  rt::Filled bm(3, 1, px(100, 100, 100, 100));
  const unsigned char row[] = {0, 128, 255};
  RAST_DrawGlyph(&bm, 0, 0, px(200, 0, 50, 255), row, 3, 1, 1.0f, 0);
  EXPECT_EQ(at(bm, 0, 0), px(100, 100, 100, 100));
  EXPECT_EQ(at(bm, 1, 0), ref::combine(px(100, 100, 100, 100), px(200, 0, 50, 255), 128, 0));
  EXPECT_EQ(at(bm, 2, 0), ref::combine(px(100, 100, 100, 100), px(200, 0, 50, 255), 255, 0));
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

}  // namespace
