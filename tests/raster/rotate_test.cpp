// Rotated and delta blits: rotation by 0 is the identity with and without filtering; other
// angles are checked by properties: the half-turn mapping, clipping to the source rectangle,
// no write outside the destination rectangle, and clipping against the destination edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_rotate.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;

const float kPi = 3.14159265f;

TEST(RotatedIdentity, angle_zero_at_equal_size_copies_the_source_rectangle_with_and_without_filtering) {
  rt::Randomized src(12, 10, 1);
  for (int mode : {0, 0x100}) {
    for (bool clip : {false, true}) {
      rt::Filled dst(10, 9, 5), want(10, 9, 5);
      RAST_RotatedBlit(&dst, &src, 1, 2, 8, 6, 2, 3, 8, 6, 0.0f, clip, 1.0f, mode, 0, 0);
      RAST_Blit(&want, &src, 1, 2, 2, 3, 8, 6, 1.0f, 0);
      ASSERT_TRUE(rt::same(dst, want)) << "mode " << mode << " clip " << clip;
    }
  }
}

TEST(RotatedIdentity, every_mode_combines_the_sampled_pixel) {
  RAST_MemBitmap src(6, 6), base(6, 6), dst(6, 6);
  rt::randomize(src, 2);
  rt::randomize(base, 3);
  for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005}) {
    RAST_Copy(&dst, &base);
    RAST_RotatedBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 6, 6, 0.0f, false, 0.6f, mode, 0, 0);
    for (int y = 0; y < 6; y++)
      for (int x = 0; x < 6; x++)
        ASSERT_EQ(at(dst, x, y), ref::combine(at(base, x, y), at(src, x, y), 153, mode)) << mode;
  }
}

TEST(RotatedOffset, the_offset_shifts_the_sampled_centre_and_bilinear_blends_the_last_column_one_way) {
  RAST_MemBitmap src(8, 3), dst(6, 3);
  rt::randomize(src, 4);
  rt::fill(dst, 0);
  // Window columns 1..6; half a pixel to the right: each pixel averages two neighbours, the
  // window's last column is taken as it is (vertical blend at row fraction 0).
  RAST_RotatedBlit(&dst, &src, 0, 0, 6, 3, 1, 0, 6, 3, 0.0f, true, 1.0f, 0x100, 0.5f, 0);
  for (int y = 0; y < 3; y++) {
    for (int x = 0; x < 5; x++) {
      int v[4];
      for (int k = 0; k < 4; k++)
        v[k] = ((int)((at(src, 1 + x, y) >> (8 * k)) & 255) * 32768 + (int)((at(src, 2 + x, y) >> (8 * k)) & 255) * 32768) >> 16;
      ASSERT_EQ(at(dst, x, y), (uint32_t)v[0] | v[1] << 8 | v[2] << 16 | (uint32_t)v[3] << 24) << x;
    }
    ASSERT_EQ(at(dst, 5, y), at(src, 6, y));
  }
  // Nearest neighbour, -0.5: positions truncate to the column to the left.
  rt::fill(dst, 0);
  RAST_RotatedBlit(&dst, &src, 0, 0, 6, 3, 2, 0, 6, 3, 0.0f, false, 1.0f, 0, -0.5f, 0);
  for (int x = 0; x < 6; x++) EXPECT_EQ(at(dst, x, 1), at(src, 1 + x, 1));
}

TEST(RotatedHalfTurn, maps_each_pixel_corner_to_the_opposite_corner_about_the_centre) {
  const int n = 9;
  RAST_MemBitmap src(n, n), dst(n, n);
  rt::numbered(src);
  rt::fill(dst, 1);
  RAST_RotatedBlit(&dst, &src, 0, 0, n, n, 0, 0, n, n, kPi, true, 1.0f, 0, 0, 0);
  // Pixel corners are sampled: destination (c, r) reads source (n - c, n - r), so the first
  // row and column fall just outside the source and stay as they were.
  for (int r = 0; r < n; r++)
    for (int c = 0; c < n; c++) {
      if (r == 0 || c == 0)
        ASSERT_EQ(at(dst, c, r), 1u) << c << "," << r;
      else
        ASSERT_EQ(at(dst, c, r), at(src, n - c, n - r)) << c << "," << r;
    }
}

TEST(RotatedSymmetry, a_turn_followed_by_the_opposite_turn_gives_back_each_pixel_within_one_pixel) {
  // A ramp of 4 levels per pixel in red (x) and green (y), so a value tells where it came from.
  const int n = 48;
  RAST_MemBitmap src(n, n), mid(n, n), back(n, n);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) at(src, x, y) = px(4 * x, 4 * y, 128, 255);
  // A few chosen angles, and for nearest sampling also angles a few single-precision steps apart,
  // which move sampling positions across pixel edges by rounding alone: the result must not
  // depend on which side they fall.
  std::vector<float> angles = {0.2f, 0.5236f, 1.3f, -2.0f, 2.9f};
  const size_t chosen = angles.size();
  for (int k = 0; k < 400; k++) angles.push_back(-3.1f + k * 0.0155f);
  for (int mode : {0, 0x100}) {
    // Nearest sampling reads pixel centres (offset half a pixel on both turns): a turn moves
    // the centre by less than 0.71 pixel either way, so the pixel that comes back is the
    // right one or a neighbour, and a position that rounds a hair either side of a pixel
    // edge cannot change that. Bilinear sampling is continuous in the position and reads
    // corners: it only loses the truncation of each turn (under one level each).
    const float off = mode == 0 ? 0.5f : 0.0f;
    const int tol = mode == 0 ? 4 : 2;
    for (size_t a = 0; a < (mode == 0 ? angles.size() : chosen); a++) {
      const float angle = angles[a];
      rt::fill(mid, 0);
      rt::fill(back, 0);
      RAST_RotatedBlit(&mid, &src, 0, 0, n, n, 0, 0, n, n, angle, false, 1.0f, mode, off, off);
      RAST_RotatedBlit(&back, &mid, 0, 0, n, n, 0, 0, n, n, -angle, false, 1.0f, mode, off, off);
      // Only the disc that stays inside the picture through both turns is compared.
      for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
          const double dx = x + 0.5 - n / 2.0, dy = y + 0.5 - n / 2.0;
          if (dx * dx + dy * dy > (n / 2.0 - 4) * (n / 2.0 - 4)) continue;
          ASSERT_NEAR(RAST_PixelR(at(back, x, y)), 4 * x, tol) << angle << " mode " << mode << " at " << x << "," << y;
          ASSERT_NEAR(RAST_PixelG(at(back, x, y)), 4 * y, tol) << angle << " mode " << mode << " at " << x << "," << y;
        }
    }
  }
}

TEST(RotatedMirror, a_negative_destination_width_mirrors) {
  const int n = 7;
  RAST_MemBitmap src(n, 1), dst(n, 1);
  rt::numbered(src);
  rt::fill(dst, 1);
  RAST_RotatedBlit(&dst, &src, n, 0, -n, 1, 0, 0, n, 1, 0.0f, true, 1.0f, 0, 0, 0);
  EXPECT_EQ(at(dst, 0, 0), 1u);
  for (int c = 1; c < n; c++) EXPECT_EQ(at(dst, c, 0), at(src, n - c, 0));
}

TEST(RotatedClip, clip_to_source_keeps_neighbouring_pixels_out_and_nothing_is_written_outside_the_rectangle) {
  const uint32_t poison = 0xDEADBEEF, sentinel = 0x01020304;
  rt::Filled src(40, 40, poison);
  for (int y = 10; y < 30; y++)
    for (int x = 10; x < 30; x++) at(src, x, y) = px(x, y, 9, 255);
  for (float angle : {0.3f, 0.5236f, 1.0f, 2.5f, -0.7f}) {
    for (bool clip : {true, false}) {
      rt::Filled dst(50, 50, sentinel);
      RAST_RotatedBlit(&dst, &src, 12, 8, 20, 20, 10, 10, 20, 20, angle, clip, 1.0f, 0, 0, 0);
      bool sawPoison = false;
      for (int y = 0; y < 50; y++)
        for (int x = 0; x < 50; x++) {
          const uint32_t p = at(dst, x, y);
          const bool inside = x >= 12 && x < 32 && y >= 8 && y < 28;
          if (!inside) {
            ASSERT_EQ(p, sentinel) << angle << " at " << x << "," << y;
          }
          sawPoison |= p == poison;
        }
      if (clip)
        EXPECT_FALSE(sawPoison) << angle;
      else
        EXPECT_TRUE(sawPoison) << angle;  // the corners sweep past the window
    }
  }
}

TEST(RotatedClip, a_rectangle_off_the_destination_edges_draws_the_matching_part) {
  RAST_MemBitmap src(16, 16), big(30, 30), small(12, 12);
  rt::randomize(src, 5);
  rt::fill(big, 0);
  rt::fill(small, 0);
  RAST_RotatedBlit(&big, &src, 10, 10, 16, 16, 0, 0, 16, 16, 0.4f, true, 1.0f, 0x100, 0, 0);
  // The same draw moved 10 up and left into a smaller bitmap.
  RAST_RotatedBlit(&small, &src, 0, 0, 16, 16, 0, 0, 16, 16, 0.4f, true, 1.0f, 0x100, 0, 0);
  rt::Filled shifted(12, 12);
  RAST_RotatedBlit(&shifted, &src, -4, -5, 16, 16, 0, 0, 16, 16, 0.4f, true, 1.0f, 0x100, 0, 0);
  for (int y = 0; y < 12; y++)
    for (int x = 0; x < 12; x++) {
      ASSERT_EQ(at(small, x, y), at(big, 10 + x, 10 + y));
      // Cutting rows and columns away advances the start exactly; the steps are truncated
      // once, so a clipped draw matches the unclipped one to within the stepping of 16.16.
      if (x + 4 < 16 && y + 5 < 16) {
        const uint32_t a = at(shifted, x, y), b = at(big, 14 + x, 15 + y);
        for (int k = 0; k < 4; k++) ASSERT_NEAR((int)((a >> (8 * k)) & 255), (int)((b >> (8 * k)) & 255), 2);
      }
    }
}

TEST(RotatedNothing, zero_alpha_unknown_modes_and_empty_rectangles_draw_nothing) {
  RAST_MemBitmap src(8, 8), dst(8, 8);
  rt::randomize(src, 6);
  rt::fill(dst, 3);
  RAST_RotatedBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, 0.0f, 0, 0, 0);
  RAST_RotatedBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, 1.0f, 6, 0, 0);
  RAST_RotatedBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, -0.5f, 0, 0, 0);
  RAST_RotatedBlit(&dst, &src, 0, 0, 0, 8, 0, 0, 8, 8, 0.2f, false, 1.0f, 0, 0, 0);
  RAST_RotatedBlit(&dst, &src, 0, 0, 8, 8, 2, 2, -3, 4, 0.2f, true, 1.0f, 0, 0, 0);  // empty source clip
  RAST_RotatedBlit(nullptr, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, 1.0f, 0, 0, 0);
  ASSERT_TRUE(rt::all(dst, 3u));
}

TEST(RotatedNothing, walks_beyond_16_16_are_refused_without_touching_memory_outside) {
  RAST_MemBitmap src(8, 8), dst(8, 8);
  rt::randomize(src, 7);
  rt::fill(dst, 3);
  RAST_RotatedBlit(&dst, &src, 0, 0, 8, 8, 1e9f, -1e9f, 1e9f, 1e9f, 0.3f, false, 1.0f, 0x100, 1e9f, 0);
  RAST_RotatedBlit(&dst, &src, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, 8, 8, 1.0f, false, 1.0f, 0, 0, 0);
  RAST_DeltaBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 8, 8, 1e12, 0, 0, 1, 0, 0, false, 1.0f, 0);
  RAST_DeltaBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 8, 8, 1, 0, 0, 1, 1e7, -1e7, false, 1.0f, 0x100);
  ASSERT_TRUE(rt::all(dst, 3u));
}

TEST(DeltaBlit, steps_walk_the_source_and_the_column_step_changes_per_row) {
  RAST_MemBitmap src(20, 4), dst(5, 4);
  rt::numbered(src);
  rt::fill(dst, 1);
  // Row r steps 1 + r source columns per destination column.
  RAST_DeltaBlit(&dst, &src, 0, 0, 5, 4, 0, 0, 20, 4, 1, 0, 0, 1, 1, 0, false, 1.0f, 0);
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 5; c++) ASSERT_EQ(at(dst, c, r), at(src, (1 + r) * c, r)) << c << "," << r;
}

TEST(DeltaBlit, a_negative_width_moves_the_rectangle_and_start_but_does_not_mirror) {
  RAST_MemBitmap src(10, 1), dst(10, 1);
  rt::numbered(src);
  rt::fill(dst, 1);
  RAST_DeltaBlit(&dst, &src, 6, 0, -4, 1, 0, 0, 3, 1, 1, 0, 0, 1, 0, 0, false, 1.0f, 0);
  // rectangle 2..5, start 0 + 3
  EXPECT_EQ(at(dst, 1, 0), 1u);
  for (int c = 0; c < 4; c++) EXPECT_EQ(at(dst, 2 + c, 0), at(src, 3 + c, 0));
  EXPECT_EQ(at(dst, 6, 0), 1u);
}

}  // namespace
