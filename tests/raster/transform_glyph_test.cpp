// Mesh transform blit, glyph stamping, half-size blit and bitmap comparison.
#include <gtest/gtest.h>

#include <vector>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_drawglyph.h"
#include "kit/raster/rast_halvecmp.h"
#include "kit/raster/rast_scaled.h"
#include "kit/raster/rast_transform.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;

TEST(TransformBlit, a_2x2_mesh_on_the_source_corners_maps_the_whole_source_like_a_scaled_blit) {
  RAST_MemBitmap src(8, 6), dst(16, 12), want(16, 12);
  rt::randomize(src, 1);
  rt::fill(dst, 0);
  rt::fill(want, 0);
  float pts[] = {0, 0, 8, 0, 0, 6, 8, 6};
  RAST_TransformBlit(&dst, &src, 0, 0, 16, 12, pts, 2, 2, 1.0f, 0);
  RAST_ScaledBlit(&want, &src, 0, 0, 16, 12, 0, 0, 8, 6, 1.0f, 0);
  ASSERT_TRUE(rt::same(dst, want));
  double pts2[] = {0, 0, 8, 0, 0, 6, 8, 6};
  rt::fill(dst, 0);
  RAST_TransformBlit2(&dst, &src, 0, 0, 16, 12, pts2, 2, 2, 1.0f, 0);
  ASSERT_TRUE(rt::same(dst, want));
}

TEST(TransformBlit, cell_edges_are_truncated_running_sums_so_cells_neither_gap_nor_overlap) {
  RAST_MemBitmap src(4, 1), dst(12, 1);
  for (int x = 0; x < 4; x++) at(src, x, 0) = (uint32_t)(10 + x);
  // Four points along x, each cell one source pixel wide.
  float pts[] = {0, 0, 1, 0, 2, 0, 3, 0, 0, 1, 1, 1, 2, 1, 3, 1};
  rt::fill(dst, 1);
  RAST_TransformBlit(&dst, &src, 0, 0, 10, 1, pts, 4, 2, 1.0f, 0);
  // 10/3 summed: edges 3, 6, 9; column 9 is not drawn.
  const uint32_t want10[] = {10, 10, 10, 11, 11, 11, 12, 12, 12, 1, 1, 1};
  for (int x = 0; x < 12; x++) EXPECT_EQ(at(dst, x, 0), want10[x]) << x;
  rt::fill(dst, 1);
  RAST_TransformBlit(&dst, &src, 0, 0, 12, 1, pts, 4, 2, 1.0f, 0);
  for (int x = 0; x < 12; x++) EXPECT_EQ(at(dst, x, 0), (uint32_t)(10 + x / 4)) << x;
}

TEST(TransformBlit, degenerate_meshes_draw_nothing) {
  RAST_MemBitmap src(4, 4), dst(4, 4);
  rt::randomize(src, 2);
  rt::fill(dst, 3);
  float pts[] = {0, 0, 4, 0, 0, 4, 4, 4};
  RAST_TransformBlit(&dst, &src, 0, 0, 4, 4, pts, 1, 4, 1.0f, 0);
  RAST_TransformBlit(&dst, &src, 0, 0, 0, 4, pts, 2, 2, 1.0f, 0);
  RAST_TransformBlit(&dst, &src, 0, 0, 4, 4, nullptr, 2, 2, 1.0f, 0);
  ASSERT_TRUE(rt::all(dst, 3u));
}

TEST(DrawGlyph, coverage_scales_the_weight_and_zero_coverage_is_skipped) {
  rt::Filled bm(3, 1, px(100, 100, 100, 100));
  const unsigned char cov[] = {0, 128, 255};
  RAST_DrawGlyph(&bm, 0, 0, px(200, 0, 50, 255), cov, 3, 1, 1.0f, 0);
  EXPECT_EQ(at(bm, 0, 0), px(100, 100, 100, 100));
  EXPECT_EQ(at(bm, 1, 0), ref::combine(px(100, 100, 100, 100), px(200, 0, 50, 255), 128, 0));
  EXPECT_EQ(at(bm, 2, 0), ref::combine(px(100, 100, 100, 100), px(200, 0, 50, 255), 255, 0));
  // Full coverage at alpha 1.0 weighs 255, not 256: with Add, 255 * 255 / 256 = 254.
  rt::Filled black(1, 1);
  const unsigned char full[] = {255};
  RAST_DrawGlyph(&black, 0, 0, px(255, 255, 255, 255), full, 1, 1, 1.0f, 1);
  EXPECT_EQ(at(black, 0, 0), px(254, 254, 254, 254));
}

TEST(DrawGlyph, a_glyph_partly_left_of_the_bitmap_draws_its_visible_columns_at_the_edge) {
  rt::Filled bm(4, 2);
  // Row 0 coverage 10..14, row 1 coverage 20..24; stamped with Add so the weight is visible.
  const unsigned char cov[] = {10, 11, 12, 13, 14, 20, 21, 22, 23, 24};
  RAST_DrawGlyph(&bm, -2, 0, px(255, 0, 0, 0), cov, 5, 2, 1.0f, 1);
  for (int x = 0; x < 3; x++) EXPECT_EQ(RAST_PixelR(at(bm, x, 0)), 255 * (12 + x) / 256) << x;
  EXPECT_EQ(RAST_PixelR(at(bm, 0, 1)), 255 * 22 / 256);
  EXPECT_EQ(at(bm, 3, 0), 0u);
  rt::fill(bm, 0);
  RAST_DrawGlyph(&bm, -5, 0, px(255, 0, 0, 0), cov, 5, 2, 1.0f, 1);
  RAST_DrawGlyph(&bm, 0, -2, px(255, 0, 0, 0), cov, 5, 2, 1.0f, 1);
  RAST_DrawGlyph(&bm, 4, 0, px(255, 0, 0, 0), cov, 5, 2, 1.0f, 1);
  ASSERT_TRUE(rt::all(bm, 0u));
}

TEST(DrawGlyph, a_row_span_wider_than_the_glyph_and_a_top_cut_skip_the_right_bytes) {
  rt::Filled bm(2, 2);
  const unsigned char cov[] = {1, 2, 99, 3, 4, 99, 5, 6, 99};  // 2 wide, span 3, 3 high
  RAST_DrawGlyphEx(&bm, 0, -1, px(255, 0, 0, 0), cov, 2, 3, 3, 1.0f, 1);
  EXPECT_EQ(RAST_PixelR(at(bm, 0, 0)), 255 * 3 / 256);
  EXPECT_EQ(RAST_PixelR(at(bm, 1, 0)), 255 * 4 / 256);
  EXPECT_EQ(RAST_PixelR(at(bm, 1, 1)), 255 * 6 / 256);
}

TEST(DrawGlyph, unknown_modes_zero_alpha_and_bad_glyphs_draw_nothing) {
  rt::Filled bm(2, 2, 5);
  const unsigned char cov[] = {255, 255, 255, 255};
  RAST_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, cov, 2, 2, 1.0f, 6);
  RAST_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, cov, 2, 2, 0.0f, 1);
  RAST_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, cov, 2, 2, -1.0f, 0);
  RAST_DrawGlyph(&bm, 0, 0, 0xFFFFFFFF, nullptr, 2, 2, 1.0f, 0);
  RAST_DrawGlyphEx(&bm, 0, 0, 0xFFFFFFFF, cov, 2, 1, 2, 1.0f, 0);  // span below the width
  ASSERT_TRUE(rt::all(bm, 5u));
}

TEST(HalveBlit, each_pixel_is_the_sum_of_quarters_of_its_2x2_block) {
  RAST_MemBitmap src(5, 5), dst(10, 10);
  rt::randomize(src, 3);
  rt::fill(dst, 1);
  RAST_HalveBlitAA(&dst, &src);
  auto q = [](uint32_t p) { return (p >> 2) & 0x3F3F3F3Fu; };
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 2; x++)
      EXPECT_EQ(at(dst, x, y),
                q(at(src, 2 * x, 2 * y)) + q(at(src, 2 * x + 1, 2 * y)) + q(at(src, 2 * x, 2 * y + 1)) +
                    q(at(src, 2 * x + 1, 2 * y + 1)));
  EXPECT_EQ(at(dst, 2, 0), 1u);  // a 5 x 5 source writes 2 x 2
  EXPECT_EQ(at(dst, 0, 2), 1u);
  RAST_MemBitmap white(4, 2), out(2, 1);
  rt::fill(white, 0xFFFFFFFF);
  RAST_HalveBlitAA(&out, &white);
  EXPECT_EQ(at(out, 1, 0), 0xFCFCFCFCu);  // 4 x 63 = 252
}

TEST(HalveBlit, odd_output_widths_and_small_destinations_write_only_what_fits) {
  RAST_MemBitmap src(6, 6), dst(2, 2), want(3, 3);
  rt::randomize(src, 4);
  RAST_HalveBlitAA(&want, &src);
  rt::fill(dst, 0);
  RAST_HalveBlitAA(&dst, &src);
  ASSERT_TRUE(rt::same(dst, want));
  rt::Randomized inplace(6, 6, 4);
  RAST_HalveBlitAA(&inplace, &inplace);
  ASSERT_TRUE(rt::same(want, inplace));  // the top-left 3 x 3
}

TEST(BitmapCmp, sizes_and_nulls_order_the_bitmaps) {
  RAST_MemBitmap a(10, 10), b(12, 10), c(10, 7);
  EXPECT_EQ(RAST_BitmapCmp(&a, &b), 2);
  EXPECT_EQ(RAST_BitmapCmp(&a, &c), -3);
  EXPECT_EQ(RAST_BitmapCmp(nullptr, nullptr), 0);
  EXPECT_EQ(RAST_BitmapCmp(&a, nullptr), 1);
  EXPECT_EQ(RAST_BitmapCmp(nullptr, &a), -1);
  RAST_MemBitmap e1, e2;
  EXPECT_EQ(RAST_BitmapCmp(&e1, &e2), 0);
}

TEST(BitmapCmp, reports_the_smallest_rectangle_holding_every_difference) {
  RAST_MemBitmap a(10, 10), b(10, 10);
  rt::randomize(a, 5);
  RAST_Copy(&b, &a);
  int r[4] = {9, 9, 9, 9};
  EXPECT_EQ(RAST_BitmapCmp(&a, &b), 0);
  EXPECT_EQ(RAST_BitmapCmp(&a, &b, r), 0);
  EXPECT_EQ(r[0] | r[1] | r[2] | r[3], 0);
  at(b, 3, 4) ^= 1;
  EXPECT_EQ(RAST_BitmapCmp(&a, &b, r), 1);
  EXPECT_EQ(std::vector<int>(r, r + 4), (std::vector<int>{3, 4, 1, 1}));
  EXPECT_NE(RAST_BitmapCmp(&a, &b), 0);
  at(b, 3, 4) ^= 1;
  at(b, 7, 2) ^= 0x100;
  at(b, 1, 8) ^= 0x100;
  EXPECT_EQ(RAST_BitmapCmp(&a, &b, r), 1);
  EXPECT_EQ(std::vector<int>(r, r + 4), (std::vector<int>{1, 2, 7, 7}));
  // A difference in a middle row outside the bounds of the first and last rows widens them.
  at(b, 9, 5) ^= 1;
  at(b, 0, 6) ^= 1;
  EXPECT_EQ(RAST_BitmapCmp(&a, &b, r), 1);
  EXPECT_EQ(std::vector<int>(r, r + 4), (std::vector<int>{0, 2, 10, 7}));
}

TEST(BitmapCmp, without_a_rectangle_answers_the_first_byte_comparison) {
  rt::Filled a(4, 4, 0x10), b(4, 4, 0x10);
  at(b, 2, 1) = 0x11;
  at(a, 0, 3) = 0x11;
  EXPECT_LT(RAST_BitmapCmp(&a, &b), 0);  // row 1 decides first
  EXPECT_GT(RAST_BitmapCmp(&b, &a), 0);
}

}  // namespace
