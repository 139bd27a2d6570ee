// Gradient rectangles and the small blur.
#include <gtest/gtest.h>

#include "kit/raster/rast_blit.h"
#include "raster_test_util.h"

namespace {

using rt::at;
using rt::px;

TEST(GradRect, GivesThePinnedRampsAndBlends) {
  // Constant half alpha: each channel and the alpha byte blended at weight 128 (0.5 * 255 -> 127).
  rt::Filled half(1, 1, px(100, 100, 100, 100));
  RAST_GradRect(&half, 0, 0, 1, 1, 1.0f, 0.0f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(at(half, 0, 0), px(255 - 155 * 128 / 256, 100 * 128 / 256, 127 - 27 * 128 / 256, 128 - 28 * 128 / 256));
  // Full alpha copy stores the clamped ramp opaque: red 0, 63.75, 127.5, ... ; green 255 - 510.
  rt::Filled ramp(7, 2, 0x55555555);
  RAST_GradRect(&ramp, 0, 0, 7, 2, 0.0f, 1.0f, 0.0f, 1.0f, 0.25f, 0, 0, 0, 0, -2.0f, 0, 0, 0);
  const int want[] = {0, 63, 127, 191, 255, 255, 255};
  for (int x = 0; x < 7; x++) {
    EXPECT_EQ(at(ramp, x, 0), px(want[x], 255, 0, 255)) << x;
    EXPECT_EQ(at(ramp, x, 1), px(want[x], 0, 0, 255)) << x;
  }
  // A negative origin moves the start values to the first visible pixel.
  rt::Filled off(4, 4);
  RAST_GradRect(&off, -2, -1, 4, 3, 0.0f, 0.0f, 0.0f, 1.0f, 0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0);
  EXPECT_EQ(at(off, 0, 0), px(127, 63, 0, 255));
  EXPECT_EQ(at(off, 1, 1), px(191, 127, 0, 255));
  EXPECT_EQ(rt::countSet(off), 4);
  // Other modes run their combiner with the gradient alpha as weight: s = 127 at weight 128
  // then 256 adds 63 then 127; the alpha channel gains the weight.
  rt::Filled add(2, 1, px(100, 100, 100, 100));
  RAST_GradRect(&add, 0, 0, 2, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1);
  EXPECT_EQ(at(add, 0, 0), px(163, 163, 163, 164));
  EXPECT_EQ(at(add, 1, 0), px(227, 227, 227, 255));
  // Far-running gradients saturate instead of overflowing.
  rt::Filled far(64, 64, 0x80808080);
  for (int mode = 0; mode < 6; mode++)
    RAST_GradRect(&far, -100000, -100000, 200000, 200000, 1e9f, -1e9f, 3e4f, 1e9f, 1e7f, -1e7f, 1e6f, 1e8f, 1e7f,
                  1e7f, -1e6f, -1e8f, mode);
  RAST_GradRect(&far, 0, 0, 1, 1, 1e9f, 0, 0, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(RAST_PixelR(at(far, 0, 0)), 255);
}

TEST(Blur, WeighsEachPixelWithItsNeighboursAndLosesOnlyTruncation) {
  // A uniform white area: interior 127 + 4 * 31, corner 127 + 63 + 63, edge 127 + 31 + 31 + 63.
  rt::Filled white(5, 5, 0xFFFFFFFF);
  RAST_Blur(&white, &white, 0, 0, 0, 0, 5, 5);
  EXPECT_EQ(std::vector<uint32_t>({at(white, 2, 2), at(white, 0, 0), at(white, 2, 0)}),
            std::vector<uint32_t>({0xFBFBFBFBu, 0xFDFDFDFDu, 0xFCFCFCFCu}));
  // One white pixel: half stays, an inside neighbour takes an eighth, an edge pixel a quarter.
  rt::Filled impulse(4, 4), spread(4, 4);
  rt::at(impulse, 1, 1) = 0xFFFFFFFF;
  RAST_Blur(&spread, &impulse, 0, 0, 0, 0, 4, 4);
  const uint32_t k1 = 0x01010101u;
  EXPECT_EQ(std::vector<uint32_t>({at(spread, 1, 1), at(spread, 0, 1), at(spread, 1, 0), at(spread, 2, 1),
                                   at(spread, 1, 2)}),
            std::vector<uint32_t>({127 * k1, 63 * k1, 63 * k1, 31 * k1, 31 * k1}));
  EXPECT_EQ(rt::countSet(spread), 5);
  // Out of place, moved: only the destination rectangle changes.
  rt::Randomized src(9, 7, 11);
  rt::Filled dst(12, 10, 1);
  RAST_Blur(&dst, &src, 2, 3, 1, 1, 6, 5);
  EXPECT_EQ(rt::countSet(dst, 1), 30 - (at(dst, 2, 3) == 1));
  EXPECT_EQ(at(dst, 1, 3) | at(dst, 8, 3) | at(dst, 2, 8), 1u);
  // Areas clipped to one pixel wide change nothing.
  rt::Randomized bm(6, 6, 5);
  RAST_MemBitmap before;
  RAST_Copy(&before, &bm);
  RAST_Blur(&bm, &src, 5, 5, 0, 0, 6, 6);  // 1 x 1 by the destination
  RAST_Blur(&bm, &src, 0, 0, 8, 0, 6, 6);  // 1 wide by the source
  EXPECT_TRUE(rt::same(bm, before));
}

TEST(Blur, InPlaceEqualsOutOfPlaceOnNarrowAndWideRowsAndMoves) {
  const struct {
    int w, h, sx, sy, dx, dy, bw, bh;
  } cases[] = {{2, 2, 0, 0, 0, 0, 2, 2},          {17, 9, 0, 0, 0, 0, 17, 9},    {40, 30, 3, 4, 3, 4, 20, 11},
               {1024, 6, 0, 0, 0, 0, 1024, 6},    {1500, 5, 0, 0, 0, 0, 1500, 5} /* beyond the stack buffer */,
               {30, 20, 1, 1, 3, 2, 20, 12}};
  for (const auto& k : cases) {
    rt::Randomized bm(k.w, k.h, (uint32_t)(k.w * 31 + k.h));
    RAST_MemBitmap copy, out;
    RAST_Copy(&copy, &bm);
    RAST_Copy(&out, &bm);
    RAST_Blur(&out, &copy, k.dx, k.dy, k.sx, k.sy, k.bw, k.bh);
    RAST_Blur(&bm, &bm, k.dx, k.dy, k.sx, k.sy, k.bw, k.bh);
    EXPECT_TRUE(rt::same(bm, out)) << k.w << " wide";
  }
}

}  // namespace
