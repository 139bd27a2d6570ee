// Rotated and delta blits: rotation by 0 is the identity with and without filtering; other
// angles are checked by properties: the half-turn mapping, a turn and its opposite, clipping
// to the source rectangle and no write outside the destination rectangle.
#include <gtest/gtest.h>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_rotate.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;
const float kPi = 3.14159265f;

TEST(Rotated, AngleZeroCopiesTheSourceRectangle) {
  rt::Randomized src(12, 10, 1);
  for (int mode : {0, 0x100})
    for (bool clip : {false, true}) {
      rt::Filled dst(10, 9, 5), want(10, 9, 5);
      RAST_RotatedBlit(&dst, &src, 1, 2, 8, 6, 2, 3, 8, 6, 0.0f, clip, 1.0f, mode, 0, 0);
      RAST_Blit(&want, &src, 1, 2, 2, 3, 8, 6, 1.0f, 0);
      EXPECT_TRUE(rt::same(dst, want)) << "mode " << mode << " clip " << clip;
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

TEST(Rotated, ClippingKeepsNeighboursOutAndNothingIsWrittenOutsideTheRectangle) {
  const uint32_t poison = 0xDEADBEEF, sentinel = 0x01020304;
  rt::Filled src(40, 40, poison);
  for (int y = 10; y < 30; y++)
    for (int x = 10; x < 30; x++) at(src, x, y) = px(x, y, 9, 255);
  for (float angle : {0.3f, 0.5236f, 1.0f, 2.5f, -0.7f})
    for (bool clip : {true, false}) {
      rt::Filled dst(50, 50, sentinel);
      RAST_RotatedBlit(&dst, &src, 12, 8, 20, 20, 10, 10, 20, 20, angle, clip, 1.0f, 0, 0, 0);
      bool sawPoison = false;
      for (int i = 0; i < 2500; i++) {
        const int x = i % 50, y = i / 50;
        const bool inside = x >= 12 && x < 32 && y >= 8 && y < 28;
        ASSERT_TRUE(inside || at(dst, x, y) == sentinel) << angle << " at " << x << "," << y;
        sawPoison |= at(dst, x, y) == poison;
      }
      EXPECT_EQ(sawPoison, !clip) << angle;  // unclipped, the corners sweep past the window
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

}  // namespace
