// Scaled blit: the 1:1 shortcut, nearest and bilinear sampling, the box-filtered shrink and its
// edges, mirroring, the whole-word fast paths, clipping and overflowing set-ups.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_scaled.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;
const int kBilinear = 0x100;

TEST(Scaled, OneToOneIsThePlainBlitUnlessAQuarterPixelOffIsFiltered) {
  rt::Randomized src(20, 20, 1), a(16, 16, 2);
  RAST_MemBitmap b;
  RAST_Copy(&b, &a);
  RAST_ScaledBlit(&a, &src, 3, 2, 10, 8, 1.4f, 2.2f, 10.0005f, 8.0f, 0.7f, 1);
  RAST_Blit(&b, &src, 3, 2, 1, 2, 10, 8, 0.7f, 1);
  EXPECT_TRUE(rt::same(a, b));
  RAST_ScaledBlit(&a, &src, 0, 0, 16, 16, 2.98f, 0.01f, 16, 16, 1.0f, kBilinear);  // within 0.03 of a pixel
  RAST_Blit(&b, &src, 0, 0, 3, 0, 16, 16, 1.0f, 0);
  EXPECT_TRUE(rt::same(a, b));
}

TEST(Scaled, BilinearBelowOneAndSevenTenthsNeverReadsPastTheWindow) {
  // Below 1.7:1, or shrinking in one direction only, stays bilinear: whole positions copy.
  rt::Randomized src(16, 10, 12);
  rt::Filled d16(10, 10), d2(8, 10);
  RAST_ScaledBlit(&d16, &src, 0, 0, 10, 10, 0, 0, 16, 10, 1.0f, kBilinear);
  RAST_ScaledBlit(&d2, &src, 0, 0, 8, 10, 0, 0, 16, 10, 1.0f, kBilinear);
  for (int y = 0; y < 10; y++) {
    EXPECT_EQ(at(d16, 0, y), at(src, 0, y)) << y;  // a box would average the neighbours in
    for (int x = 0; x < 8; x++) ASSERT_EQ(at(d2, x, y), at(src, 2 * x, y)) << x << "," << y;
  }
  // Enlarging the left 5 x 5 of a source whose other pixels are bright reads none of them; the
  // bottom-right pixel is copied.
  rt::Filled bright(10, 10, 0xFFFFFFFF), big(12, 12);
  for (int i = 0; i < 25; i++) at(bright, i % 5, i / 5) = px(i % 5 * 10, i / 5 * 10, 5, 7);
  RAST_ScaledBlit(&big, &bright, 0, 0, 12, 12, 0, 0, 5, 5, 1.0f, kBilinear);
  for (int i = 0; i < 144; i++) ASSERT_TRUE(RAST_PixelR(at(big, i % 12, i / 12)) <= 40 && RAST_PixelA(at(big, i % 12, i / 12)) == 7);
  EXPECT_EQ(at(big, 11, 11), px(40, 40, 5, 7));
}

TEST(Scaled, WindowsPastTheSourceMirrorsAndClippedDestinationsSampleTheRightPixels) {
  // Every second column of a 10-pixel source through a 12-wide window: position 10 is past it.
  rt::Randomized src(10, 10, 3);
  for (int mode : {0, kBilinear}) {
    rt::Filled row(6, 2, 7), col(2, 6, 7);
    RAST_ScaledBlit(&row, &src, 0, 0, 6, 2, 0, 0, 12, 2, 1.0f, mode);
    RAST_ScaledBlit(&col, &src, 0, 0, 2, 6, 0, 0, 2, 12, 1.0f, mode);
    for (int i = 0; i < 5; i++) {
      EXPECT_EQ(at(row, i, 0), at(src, 2 * i, 0)) << mode;
      EXPECT_EQ(at(col, 1, i), at(src, 1, 2 * i)) << mode;
    }
    EXPECT_EQ(at(row, 5, 0) & at(col, 1, 5), 7u) << mode;
  }
  // A negative destination width walks the source backwards from the window's right end, which
  // lies outside it; a negative source height steps rows back from row 8.
  rt::Filled mirrored(10, 1, 7), flipped(1, 4, 7);
  RAST_ScaledBlit(&mirrored, &src, 10, 0, -10, 1, 0, 0, 10, 1, 1.0f, 0);
  RAST_ScaledBlit(&flipped, &src, 0, 0, 1, 4, 0, 8, 1, -8, 1.0f, 0);
  EXPECT_EQ(at(mirrored, 0, 0), 7u);
  for (int x = 1; x < 10; x++) EXPECT_EQ(at(mirrored, x, 0), at(src, 10 - x, 0)) << x;
  EXPECT_EQ(std::vector<uint32_t>({at(flipped, 0, 0), at(flipped, 0, 1), at(flipped, 0, 3)}),
            std::vector<uint32_t>({7u, at(src, 0, 6), at(src, 0, 2)}));
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
