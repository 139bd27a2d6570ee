// Scaled blit: the 1:1 shortcut, nearest and bilinear sampling, the box-filtered shrink and its
// edges, mirroring, the whole-word fast paths, clipping and overflowing set-ups.
#include <gtest/gtest.h>

#include <cfloat>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_scaled.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;

void expectSame(RAST_IBitmap& a, RAST_IBitmap& b) {
  ASSERT_EQ(a.getWidth(), b.getWidth());
  ASSERT_EQ(a.getHeight(), b.getHeight());
  ASSERT_TRUE(rt::same(a, b));
}

uint8_t ch(uint32_t p, int k) { return (uint8_t)(p >> (8 * k)); }
uint32_t word(const int v[4]) {
  return (uint32_t)v[0] | (uint32_t)v[1] << 8 | (uint32_t)v[2] << 16 | (uint32_t)v[3] << 24;
}

// Bilinear sample at a 16.16 position inside the clip, per the four-tap rule with one-way
// blends on the last column and row.
uint32_t bilinear(RAST_IBitmap& s, long px_, long py_, int clip_r, int clip_b) {
  const long cx = px_ / 65536, cy = py_ / 65536;
  const uint32_t xf = (uint32_t)px_ & 0xFFFF, yf = (uint32_t)py_ & 0xFFFF;
  int v[4];
  for (int k = 0; k < 4; k++) {
    const int p00 = ch(at(s, (int)cx, (int)cy), k);
    if (cy < clip_b - 1 && cx < clip_r - 1) {
      const int p10 = ch(at(s, (int)cx + 1, (int)cy), k), p01 = ch(at(s, (int)cx, (int)cy + 1), k),
                p11 = ch(at(s, (int)cx + 1, (int)cy + 1), k);
      const int br = (int)((xf * yf) >> 16), tr = (int)xf - br, bl = (int)yf - br, tl = 65536 - (int)yf - tr;
      v[k] = (p00 * tl + p10 * tr + p01 * bl + p11 * br) >> 16;
    } else if (cy < clip_b - 1) {
      v[k] = (p00 * (65536 - (int)yf) + ch(at(s, (int)cx, (int)cy + 1), k) * (int)yf) >> 16;
    } else if (cx < clip_r - 1) {
      v[k] = (p00 * (65536 - (int)xf) + ch(at(s, (int)cx + 1, (int)cy), k) * (int)xf) >> 16;
    } else {
      v[k] = p00;
    }
  }
  return word(v);
}

// Box average of the size x size cells around (cx, cy) that lie inside the clip.
uint32_t box(RAST_IBitmap& s, int cx, int cy, int size, int clip_r, int clip_b) {
  long sum[4] = {0, 0, 0, 0};
  int n = 0;
  for (int y = cy - size / 2; y <= cy + size / 2; y++)
    for (int x = cx - size / 2; x <= cx + size / 2; x++) {
      if (x < 0 || y < 0 || x >= clip_r || y >= clip_b) continue;
      n++;
      for (int k = 0; k < 4; k++) sum[k] += ch(at(s, x, y), k);
    }
  int v[4];
  for (int k = 0; k < 4; k++) v[k] = (int)(sum[k] / n);
  return word(v);
}

TEST(ScaledOneToOne, equal_sizes_give_the_plain_blit_from_the_rounded_origin) {
  RAST_MemBitmap src(20, 20), a(16, 16), b(16, 16);
  rt::randomize(src, 1);
  rt::randomize(a, 2);
  RAST_Copy(&b, &a);
  RAST_ScaledBlit(&a, &src, 3, 2, 10, 8, 1.4f, 2.2f, 10.0005f, 8.0f, 0.7f, 1);
  RAST_Blit(&b, &src, 3, 2, 1, 2, 10, 8, 0.7f, 1);
  expectSame(a, b);
  // With the bilinear bits and an origin within 0.03 of a pixel the shortcut still holds.
  RAST_ScaledBlit(&a, &src, 0, 0, 16, 16, 2.98f, 0.01f, 16, 16, 1.0f, 0x100);
  RAST_Blit(&b, &src, 0, 0, 3, 0, 16, 16, 1.0f, 0x100);
  expectSame(a, b);
}

TEST(ScaledOneToOne, a_quarter_pixel_offset_with_bilinear_bits_is_filtered) {
  RAST_MemBitmap src(8, 4), dst(6, 3);
  rt::randomize(src, 3);
  rt::fill(dst, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 6, 3, 0.25f, 0.0f, 6, 3, 1.0f, 0x100);
  // step 1:1, x fraction 0.25, y fraction 0: three quarters of the left pixel, one of the right
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 6; x++) {
      int v[4];
      for (int k = 0; k < 4; k++) v[k] = (ch(at(src, x, y), k) * 49152 + ch(at(src, x + 1, y), k) * 16384) >> 16;
      ASSERT_EQ(at(dst, x, y), word(v)) << x << "," << y;
    }
}

TEST(ScaledNearest, doubling_repeats_each_source_pixel_and_every_mode_combines_it) {
  RAST_MemBitmap src(5, 4), base(10, 8), dst(10, 8);
  rt::randomize(src, 4);
  rt::randomize(base, 5);
  for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005}) {
    for (float alpha : {1.0f, 0.7f, 0.5f}) {
      RAST_Copy(&dst, &base);
      RAST_ScaledBlit(&dst, &src, 0, 0, 10, 8, 0, 0, 5, 4, alpha, mode);
      const int w = (int)(alpha * 256.0);
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 10; x++) {
          const uint32_t d = at(base, x, y), sp = at(src, x / 2, y / 2);
          // Copy at half alpha is the whole-word half mix.
          const uint32_t want = mode == 0 && w == 128 ? ((d >> 1) & 0x7F7F7F7Fu) + ((sp >> 1) & 0x7F7F7F7Fu)
                                                      : ref::combine(d, sp, w, mode);
          ASSERT_EQ(at(dst, x, y), want) << "mode " << mode << " alpha " << alpha << " at " << x << "," << y;
        }
    }
  }
}

TEST(ScaledBilinear, enlarging_interpolates_and_the_last_column_and_row_blend_one_way) {
  RAST_MemBitmap src(6, 5), dst(9, 7);
  rt::randomize(src, 8);
  rt::fill(dst, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 9, 7, 0, 0, 6, 5, 1.0f, 0x100);
  const long idx = (long)((double)(6.0f / 9.0f) * 65536), idy = (long)((double)(5.0f / 7.0f) * 65536);
  for (int y = 0; y < 7; y++)
    for (int x = 0; x < 9; x++) ASSERT_EQ(at(dst, x, y), bilinear(src, x * idx, y * idy, 6, 5)) << x << "," << y;
}

TEST(ScaledBilinear, never_reads_past_the_source_window) {
  // The window is the left 5 x 5 of a 10 x 10 source whose other pixels are bright.
  RAST_MemBitmap src(10, 10), dst(12, 12);
  rt::fill(src, 0xFFFFFFFF);
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 5; x++) at(src, x, y) = px(x * 10, y * 10, 5, 7);
  rt::fill(dst, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 12, 12, 0, 0, 5, 5, 1.0f, 0x100);
  for (int y = 0; y < 12; y++)
    for (int x = 0; x < 12; x++) {
      ASSERT_LE(RAST_PixelR(at(dst, x, y)), 40);
      ASSERT_EQ(RAST_PixelA(at(dst, x, y)), 7);
    }
  EXPECT_EQ(at(dst, 11, 11), px(40, 40, 5, 7));  // the bottom-right pixel itself
}

TEST(ScaledShrink, two_to_one_with_bilinear_bits_averages_a_3x3_box_cut_at_the_edges) {
  RAST_MemBitmap src(12, 10), dst(6, 5);
  rt::randomize(src, 9);
  rt::fill(dst, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 6, 5, 0, 0, 12, 10, 1.0f, 0x100);
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 6; x++) ASSERT_EQ(at(dst, x, y), box(src, 2 * x, 2 * y, 3, 12, 10)) << x << "," << y;
}

TEST(ScaledShrink, above_three_to_one_the_box_is_5x5_and_at_exactly_three_it_is_3x3) {
  RAST_MemBitmap src(20, 16), dst(5, 4);
  rt::randomize(src, 10);
  rt::fill(dst, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 5, 4, 0, 0, 20, 16, 1.0f, 0x100);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 5; x++) ASSERT_EQ(at(dst, x, y), box(src, 4 * x, 4 * y, 5, 20, 16)) << x << "," << y;
  RAST_MemBitmap src3(15, 9), dst3(5, 3);
  rt::randomize(src3, 11);
  RAST_ScaledBlit(&dst3, &src3, 0, 0, 5, 3, 0, 0, 15, 9, 1.0f, 0x100);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++) ASSERT_EQ(at(dst3, x, y), box(src3, 3 * x, 3 * y, 3, 15, 9)) << x << "," << y;
}

TEST(ScaledShrink, below_1_7_or_in_one_direction_only_stays_bilinear) {
  RAST_MemBitmap src(16, 10), dst(10, 10);
  rt::randomize(src, 12);
  rt::fill(dst, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 10, 10, 0, 0, 16, 10, 1.0f, 0x100);  // 1.6:1 by 1:1
  const long idx = (long)((double)(16.0f / 10.0f) * 65536);
  for (int y = 0; y < 10; y++)
    for (int x = 0; x < 10; x++) ASSERT_EQ(at(dst, x, y), bilinear(src, x * idx, y * 65536L, 16, 10));
  RAST_MemBitmap dst2(8, 10);
  RAST_ScaledBlit(&dst2, &src, 0, 0, 8, 10, 0, 0, 16, 10, 1.0f, 0x100);  // 2:1 by 1:1
  for (int y = 0; y < 10; y++)
    for (int x = 0; x < 8; x++) ASSERT_EQ(at(dst2, x, y), bilinear(src, x * 131072L, y * 65536L, 16, 10));
}

TEST(ScaledClip, a_window_running_past_the_source_still_draws_its_last_column) {
  // Every second column of a 10-pixel source, window 12 wide: positions 0, 2, .. 8 are inside,
  // 10 is past the source.
  RAST_MemBitmap src(10, 2), dst(6, 2);
  rt::numbered(src);
  for (int mode : {0, 0x100}) {
    rt::fill(dst, 7);
    RAST_ScaledBlit(&dst, &src, 0, 0, 6, 2, 0, 0, 12, 2, 1.0f, mode);
    for (int x = 0; x < 5; x++) EXPECT_EQ(at(dst, x, 0), at(src, 2 * x, 0)) << "mode " << mode << " column " << x;
    EXPECT_EQ(at(dst, 5, 0), 7u) << "mode " << mode;
  }
  // The same in y.
  RAST_MemBitmap tall(2, 10), out(2, 6);
  rt::numbered(tall);
  rt::fill(out, 7);
  RAST_ScaledBlit(&out, &tall, 0, 0, 2, 6, 0, 0, 2, 12, 1.0f, 0);
  for (int y = 0; y < 5; y++) EXPECT_EQ(at(out, 1, y), at(tall, 1, 2 * y)) << "row " << y;
  EXPECT_EQ(at(out, 1, 5), 7u);
}

TEST(ScaledMirror, a_negative_destination_width_walks_the_source_backwards_from_its_right_end) {
  RAST_MemBitmap src(10, 1), dst(10, 1);
  for (int x = 0; x < 10; x++) at(src, x, 0) = (uint32_t)(100 + x);
  rt::fill(dst, 7);
  RAST_ScaledBlit(&dst, &src, 10, 0, -10, 1, 0, 0, 10, 1, 1.0f, 0);
  // Column 0 samples position 10, the right end of the window, outside it: left alone.
  EXPECT_EQ(at(dst, 0, 0), 7u);
  for (int x = 1; x < 10; x++) EXPECT_EQ(at(dst, x, 0), (uint32_t)(100 + 10 - x)) << x;
}

TEST(ScaledMirror, a_negative_source_height_flips_rows) {
  RAST_MemBitmap src(1, 8), dst(1, 4);
  for (int y = 0; y < 8; y++) at(src, 0, y) = (uint32_t)y;
  rt::fill(dst, 99);
  RAST_ScaledBlit(&dst, &src, 0, 0, 1, 4, 0, 8, 1, -8, 1.0f, 0);
  // steps of -2 rows from row 8: rows 8 (outside), 6, 4, 2
  EXPECT_EQ(at(dst, 0, 0), 99u);
  EXPECT_EQ(at(dst, 0, 1), 6u);
  EXPECT_EQ(at(dst, 0, 3), 2u);
}

TEST(ScaledClip, destination_off_the_edges_moves_the_source_start) {
  RAST_MemBitmap src(4, 4), dst(6, 6), full(8, 8);
  rt::randomize(src, 13);
  rt::fill(dst, 0);
  RAST_ScaledBlit(&full, &src, 0, 0, 8, 8, 0, 0, 4, 4, 1.0f, 0);
  RAST_ScaledBlit(&dst, &src, -2, -2, 8, 8, 0, 0, 4, 4, 1.0f, 0);
  ASSERT_TRUE(rt::same(dst, full, 2, 2));
}

TEST(ScaledClip, refused_draws_leave_the_destination_untouched) {
  RAST_MemBitmap src(4, 4), dst(6, 6);
  rt::randomize(src, 14);
  rt::fill(dst, 3);
  RAST_ScaledBlit(&dst, &src, 0, 0, 0, 6, 0, 0, 4, 4, 1.0f, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 4, 4, 0.0f, 0);
  RAST_ScaledBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 4, 4, 1.0f, 6);
  RAST_ScaledBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0xF7);
  RAST_ScaledBlit(&dst, &src, 0, 0, 6, 6, 10, 10, 4, 4, 1.0f, 0);
  RAST_ScaledBlit(&dst, &src, 6, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0);
  RAST_ScaledBlit(nullptr, &src, 0, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0);
  RAST_ScaledBlit(&dst, nullptr, 0, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0);
  ASSERT_TRUE(rt::all(dst, 3u));
}

TEST(ScaledClip, coordinates_beyond_16_16_never_read_or_write_outside_the_bitmaps) {
  rt::Filled src(40000, 1, 5), dst(50, 50, 3);
  const float big[] = {1e9f, -1e9f, 3e4f, 4e4f, FLT_MAX, -FLT_MAX, 1e-30f};
  for (float a : big)
    for (float b : big) {
      RAST_ScaledBlit(&dst, &src, 0, 0, 50, 50, a, b, 2 * a, b, 1.0f, 0x100);
      RAST_ScaledBlit(&dst, &src, -3, -3, 60, 60, 0, 0, a, b, 0.7f, 3);
      RAST_ScaledBlit(&dst, &src, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, a, 0, b, 1, 1.0f, 0);
      RAST_ScaledBlit(&dst, &src, 0, 0, -INT32_MAX, 50, a, 0, b, 1, 1.0f, 0x100);
    }
  // A wide source drawn near its right end still works where positions fit in 16.16.
  rt::fill(dst, 3);
  RAST_ScaledBlit(&dst, &src, 0, 0, 10, 1, 30000, 0, 20, 1, 1.0f, 0);
  EXPECT_EQ(at(dst, 9, 0), 5u);
}

}  // namespace
