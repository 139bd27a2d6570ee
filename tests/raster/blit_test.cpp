// Blits between bitmaps: clipping, the copy and half-mix fast paths, every combiner's loop,
// channel copy, overlapping copies inside one bitmap, bottom-up bitmaps and whole copies.
#include <gtest/gtest.h>

#include <random>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_combine.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;

TEST(BlitClip, negative_source_left_moves_the_destination_point) {
  RAST_MemBitmap src(20, 10), dst(20, 10);
  rt::numbered(src);
  rt::fill(dst, 0);
  RECT r{-5, 0, 10, 10};
  RAST_Blit(&dst, &src, 0, 0, &r, 1.0f, 0);
  for (int x = 0; x < 20; x++) {
    const uint32_t want = (x >= 5 && x < 15) ? at(src, x - 5, 3) : 0u;
    EXPECT_EQ(at(dst, x, 3), want) << x;
  }
}

TEST(BlitClip, negative_destination_point_skips_source_columns_and_rows) {
  RAST_MemBitmap src(8, 8), dst(8, 8);
  rt::numbered(src);
  rt::fill(dst, 0);
  RAST_Blit(&dst, &src, -3, -2, nullptr, 1.0f, 0);
  EXPECT_EQ(at(dst, 0, 0), at(src, 3, 2));
  EXPECT_EQ(at(dst, 4, 5), at(src, 7, 7));
  EXPECT_EQ(at(dst, 5, 0), 0u);  // source ran out after 5 columns
  EXPECT_EQ(at(dst, 0, 6), 0u);
}

TEST(BlitClip, rectangle_running_past_the_destination_is_cut_at_its_edge) {
  RAST_MemBitmap src(10, 10), dst(6, 5);
  rt::numbered(src);
  rt::fill(dst, 7);
  RAST_Blit(&dst, &src, 3, 2, 0, 0, 10, 10, 1.0f, 0);
  EXPECT_EQ(at(dst, 2, 2), 7u);
  EXPECT_EQ(at(dst, 3, 2), at(src, 0, 0));
  EXPECT_EQ(at(dst, 5, 4), at(src, 2, 2));
}

TEST(BlitClip, a_rectangle_clipped_to_nothing_draws_nothing) {
  RAST_MemBitmap src(10, 10), dst(10, 10);
  rt::numbered(src);
  rt::fill(dst, 7);
  RAST_Blit(&dst, &src, 0, 0, 4, 4, 0, 5, 1.0f, 0);
  RAST_Blit(&dst, &src, 10, 0, nullptr, 1.0f, 0);
  RAST_Blit(&dst, &src, 0, -10, nullptr, 1.0f, 0);
  RAST_Blit(&dst, &src, 0, 0, 12, 0, 5, 5, 1.0f, 0);
  RECT inverted{6, 6, 2, 2};
  RAST_Blit(&dst, &src, 0, 0, &inverted, 1.0f, 0);
  ASSERT_TRUE(rt::all(dst, 7u));
}

TEST(BlitClip, extreme_coordinates_do_not_overflow_the_clipping) {
  RAST_MemBitmap src(10, 10), dst(10, 10);
  rt::numbered(src);
  rt::fill(dst, 7);
  RAST_Blit(&dst, &src, INT32_MAX, INT32_MAX, nullptr, 1.0f, 0);
  RAST_Blit(&dst, &src, INT32_MIN, 0, nullptr, 1.0f, 0);
  RAST_Blit(&dst, &src, 0, 0, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 1.0f, 0);
  RAST_Blit(&dst, &src, 5, 5, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1.0f, 0);
  RECT r{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  RAST_Blit(&dst, &src, INT32_MAX, 0, &r, 1.0f, 0);
  ASSERT_TRUE(rt::all(dst, 7u));
}

TEST(BlitNothing, null_bitmaps_empty_bitmaps_zero_alpha_and_unknown_modes_draw_nothing) {
  RAST_MemBitmap src(4, 4), dst(4, 4), empty;
  rt::fill(src, 0xFFFFFFFF);
  rt::fill(dst, 5);
  RAST_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
  RAST_Blit(&dst, nullptr, 0, 0, nullptr, 1.0f, 0);
  RAST_Blit(&dst, &empty, 0, 0, nullptr, 1.0f, 0);
  RAST_Blit(&empty, &src, 0, 0, nullptr, 1.0f, 0);
  RAST_Blit(&dst, &src, 0, 0, nullptr, 0.0f, 0);
  RAST_Blit(&dst, &src, 0, 0, nullptr, 0.002f, 1);  // weight truncates to 0
  RAST_Blit(&dst, &src, 0, 0, nullptr, -0.5f, 0);   // copy below weight 1
  RAST_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 6);
  RAST_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0x10007);
  ASSERT_TRUE(rt::all(dst, 5u));
}

TEST(BlitFastPaths, full_copy_and_weight_256_from_an_alpha_just_above_one_copy_unchanged_alpha_bytes_too) {
  for (float alpha : {1.0f, 1.002f}) {
    rt::Filled src(3, 3, px(1, 2, 3, 0)), dst(3, 3, 0xFFFFFFFF);
    RAST_Blit(&dst, &src, 0, 0, nullptr, alpha, 0);
    EXPECT_EQ(at(dst, 1, 1), px(1, 2, 3, 0)) << alpha;
  }
}

TEST(BlitFastPaths, half_alpha_halves_each_byte_of_both_words) {
  rt::Filled src(3, 3, 0xFFFFFFFF), dst(3, 3);
  RAST_Blit(&dst, &src, 0, 0, nullptr, 0.5f, 0);
  EXPECT_EQ(at(dst, 2, 2), 0x7F7F7F7Fu);  // 127, not 128
  // Odd on both sides: floor(s/2) + floor(d/2) differs from the copy combiner at weight 128.
  rt::fill(src, px(201, 3, 255, 255));
  rt::fill(dst, px(101, 5, 1, 255));
  RAST_Blit(&dst, &src, 0, 0, nullptr, 0.5f, 0);
  EXPECT_EQ(at(dst, 0, 0), px(150, 3, 127, 254));
  rt::fill(dst, px(101, 5, 1, 255));
  RAST_Blit(&dst, &src, 0, 0, nullptr, 0.501f, 0);  // weight 128 through the copy combiner
  EXPECT_EQ(at(dst, 0, 0), px(151, 4, 128, 255));
}

TEST(BlitSourceAlpha, transparent_source_pixels_leave_the_destination) {
  RAST_MemBitmap src(2, 1), dst(2, 1);
  at(src, 0, 0) = px(200, 200, 200, 0);
  at(src, 1, 0) = px(200, 200, 200, 255);
  rt::fill(dst, px(1, 2, 3, 4));
  RAST_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0x10000);
  EXPECT_EQ(at(dst, 0, 0), px(1, 2, 3, 4));
  EXPECT_EQ(at(dst, 1, 0), px(200, 200, 200, 255));
}

TEST(BlitChannelCopy, copies_one_byte_into_another_and_leaves_the_rest) {
  rt::Filled src(2, 2, px(10, 20, 30, 40)), dst(2, 2, px(1, 2, 3, 4));
  // source byte 3 (blue) into destination byte 1 (red)
  RAST_Blit(&dst, &src, 0, 0, nullptr, 0.3f, 0xF0 | (1 << 2) | 3);
  EXPECT_EQ(at(dst, 1, 1), px(30, 2, 3, 4));
  // alpha into alpha, whatever the other mode bits
  RAST_Blit(&dst, &src, 0, 0, nullptr, 1.0f, 0x100F0);
  EXPECT_EQ(at(dst, 0, 0), px(30, 2, 3, 40));
}

TEST(BlitCombiners, every_mode_writes_what_the_per_pixel_entry_point_gives) {
  const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005};
  const float alphas[] = {1.0f, 0.5f, 0.7f, 0.25f, 1.5f, 0.01f};
  RAST_MemBitmap src(23, 7), base(23, 7), dst(23, 7);
  rt::randomize(src, 1);
  rt::randomize(base, 2);
  for (int mode : modes) {
    for (float alpha : alphas) {
      RAST_Copy(&dst, &base);
      RAST_Blit(&dst, &src, 0, 0, nullptr, alpha, mode);
      const int w = (int)((double)alpha * 256.0);
      for (int y = 0; y < 7; y++)
        for (int x = 0; x < 23; x++) {
          uint32_t want;
          if (mode == 0 && alpha == 0.5f)
            want = ((at(src, x, y) >> 1) & 0x7F7F7F7Fu) + ((at(base, x, y) >> 1) & 0x7F7F7F7Fu);
          else
            want = ref::combine(at(base, x, y), at(src, x, y), w, mode);
          ASSERT_EQ(at(dst, x, y), want) << "mode " << mode << " alpha " << alpha << " at " << x << "," << y;
        }
    }
  }
}

// Reference for a move inside one bitmap: blit from an untouched copy.
void expectSameAsFromCopy(int sx, int sy, int w, int h, int dx, int dy, float alpha, int mode) {
  RAST_MemBitmap bm(30, 20), copy(30, 20), want(30, 20);
  rt::numbered(bm);
  RAST_Copy(&copy, &bm);
  RAST_Copy(&want, &bm);
  RAST_Blit(&want, &copy, dx, dy, sx, sy, w, h, alpha, mode);
  RAST_Blit(&bm, &bm, dx, dy, sx, sy, w, h, alpha, mode);
  ASSERT_TRUE(rt::same(bm, want)) << "moving to " << dx << "," << dy;
}

TEST(BlitOverlap, a_move_inside_one_bitmap_reads_every_source_pixel_before_overwriting_it) {
  for (float alpha : {1.0f, 0.5f, 0.7f}) {
    expectSameAsFromCopy(2, 2, 20, 12, 3, 2, alpha, 0);   // right along the same rows
    expectSameAsFromCopy(5, 2, 20, 12, 2, 2, alpha, 0);   // left
    expectSameAsFromCopy(2, 2, 20, 12, 2, 5, alpha, 0);   // down
    expectSameAsFromCopy(2, 5, 20, 12, 2, 1, alpha, 0);   // up
    expectSameAsFromCopy(2, 2, 20, 12, 4, 3, alpha, 1);   // diagonal, add
    expectSameAsFromCopy(4, 3, 20, 12, 1, 1, alpha, 0x10000);
  }
  expectSameAsFromCopy(0, 0, 10, 10, 1, 0, 1.0f, 0xF0 | (1 << 2) | 1);
}

TEST(BlitFlipped, bottom_up_bitmaps_are_addressed_from_their_last_stored_row) {
  rt::FlippedBitmap src(4, 3), dst(4, 3);
  rt::fill(dst, 0);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++) src.logical(x, y) = (uint32_t)(y * 10 + x);
  RAST_Blit(&dst, &src, 1, 0, 0, 0, 2, 2, 1.0f, 0);
  EXPECT_EQ(dst.logical(1, 0), 0u);
  EXPECT_EQ(dst.logical(2, 0), 1u);
  EXPECT_EQ(dst.logical(1, 1), 10u);
  EXPECT_EQ(dst.logical(2, 1), 11u);
  EXPECT_EQ(dst.logical(1, 2), 0u);
  // in memory, caller row 0 is stored last
  EXPECT_EQ(at(dst, 2, 2), 1u);

  // From a flipped source into a plain one, with a combiner.
  rt::Filled plain(4, 3);
  RAST_Blit(&plain, &src, 0, 0, nullptr, 1.0f, 1);
  EXPECT_EQ(at(plain, 3, 0), ref::combine(0, 3, 256, 1));
  EXPECT_EQ(at(plain, 3, 2), ref::combine(0, 23, 256, 1));
}

TEST(BlitCopy, copy_resizes_the_destination_and_matches_pixel_for_pixel) {
  RAST_MemBitmap src(13, 9), dst(2, 2);
  rt::randomize(src, 3);
  RAST_Copy(&dst, &src);
  ASSERT_EQ(dst.getWidth(), 13);
  ASSERT_EQ(dst.getHeight(), 9);
  ASSERT_TRUE(rt::same(dst, src));
  RAST_Copy(&dst, nullptr);
  RAST_Copy(nullptr, &src);
  RAST_Copy(&dst, &dst);
  EXPECT_EQ(dst.getWidth(), 13);
}

// Every weight of the copy and source-alpha copy rows (the forms that work four pixels at a
// time) against the plain formula, with widths that leave one to three pixels over, starts
// off any alignment, and source alphas at the values that take their own branches.
TEST(BlitDifferential, copy_and_source_alpha_rows_match_the_formula_at_every_weight) {
  const int W = 23, H = 3;
  RAST_MemBitmap src(W + 3, H), base(W + 3, H), dst(W + 3, H);
  std::mt19937 rng(41);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W + 3; x++) {
      uint32_t s = rng();
      const int pick = (int)(rng() % 6);
      if (pick == 0) s &= ~255u;       // transparent
      else if (pick == 1) s |= 255u;   // opaque
      else if (pick == 2) s = (s & ~255u) | 1u;
      else if (pick == 3) s = (s & ~255u) | 254u;
      at(src, x, y) = s;
      at(base, x, y) = rng();
    }
  // Equal channels too, where the step is zero.
  at(src, 4, 1) = at(base, 4, 1) | 0x80u;
  for (int mode : {0, 0x10000}) {
    for (int weight = 1; weight <= 256; weight++) {
      const float alpha = (float)weight / 256.0f;
      for (int off : {0, 1, 3}) {
        for (int w : {W, W - 1, W - 2, 4, 3}) {
          RAST_Copy(&dst, &base);
          RAST_Blit(&dst, &src, off, 0, 3 - off, 0, w, H, alpha, mode);
          for (int y = 0; y < H; y++)
            for (int x = 0; x < W + 3; x++) {
              const bool inside = x >= off && x < off + w;
              const uint32_t d = at(base, x, y);
              uint32_t want = d;
              if (inside) {
                const uint32_t sp = at(src, x - off + 3 - off, y);
                if (mode == 0 && weight == 128)  // alpha 0.5 is the whole-word half mix
                  want = ((sp >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu);
                else
                  want = ref::combine(d, sp, weight, mode);
              }
              ASSERT_EQ(at(dst, x, y), want) << "mode " << mode << " weight " << weight << " offset " << off
                                             << " width " << w << " at " << x << "," << y;
            }
        }
      }
    }
  }
}

}  // namespace
