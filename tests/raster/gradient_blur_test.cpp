// Gradient rectangles and the small blur.
#include <gtest/gtest.h>

#include "kit/raster/rast_blit.h"
#include "raster_test_util.h"

namespace {

using rt::at;
using rt::px;

TEST(GradRect, constant_half_alpha_blends_at_weight_128_and_mixes_the_alpha_byte) {
  RAST_MemBitmap bm(4, 3);
  const int d[] = {0, 100, 200, 255};
  for (int x = 0; x < 4; x++)
    for (int y = 0; y < 3; y++) at(bm, x, y) = px(d[x], d[x], d[x], d[x]);
  RAST_GradRect(&bm, 0, 0, 4, 3, 1.0f, 0.0f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  for (int x = 0; x < 4; x++) {
    const uint32_t p = at(bm, x, 1);
    EXPECT_EQ(RAST_PixelA(p), 128 + (d[x] - 128) * 128 / 256) << x;
    EXPECT_EQ(RAST_PixelR(p), 255 + (d[x] - 255) * 128 / 256) << x;
    EXPECT_EQ(RAST_PixelG(p), 0 + (d[x] - 0) * 128 / 256) << x;
    // 0.5 * 255 = 127.5 -> 127 after the 16.16 step
    EXPECT_EQ(RAST_PixelB(p), 127 + (d[x] - 127) * 128 / 256) << x;
  }
}

TEST(GradRect, full_alpha_copy_stores_the_clamped_ramp_with_opaque_alpha) {
  rt::Filled bm(7, 2, 0x55555555);
  RAST_GradRect(&bm, 0, 0, 7, 2, 0.0f, 1.0f, 0.0f, 1.0f, 0.25f, 0, 0, 0, 0, -2.0f, 0, 0, 0);
  // red: 0, 63.75, 127.5, 191.25, 255, 318.75 -> clamped
  const int want[] = {0, 63, 127, 191, 255, 255, 255};
  for (int x = 0; x < 7; x++) {
    EXPECT_EQ(at(bm, x, 0), px(want[x], 255, 0, 255)) << x;
    EXPECT_EQ(at(bm, x, 1), px(want[x], 0, 0, 255)) << x;  // green 255 - 510, clamped at 0
  }
}

TEST(GradRect, a_negative_origin_moves_the_start_values_to_the_first_visible_pixel) {
  rt::Filled bm(4, 4);
  RAST_GradRect(&bm, -2, -1, 4, 3, 0.0f, 0.0f, 0.0f, 1.0f, 0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0);
  EXPECT_EQ(RAST_PixelR(at(bm, 0, 0)), 127);  // x = 2
  EXPECT_EQ(RAST_PixelR(at(bm, 1, 0)), 191);
  EXPECT_EQ(RAST_PixelG(at(bm, 0, 0)), 63);   // y = 1
  EXPECT_EQ(RAST_PixelG(at(bm, 0, 1)), 127);
  EXPECT_EQ(at(bm, 2, 0), 0u);                // width 4 - 2 = 2 columns left
  EXPECT_EQ(at(bm, 0, 2), 0u);                // height 3 - 1 = 2 rows left
}

TEST(GradRect, other_modes_run_their_combiner_with_the_gradient_alpha_as_weight) {
  rt::Filled bm(2, 1, px(100, 100, 100, 100));
  RAST_GradRect(&bm, 0, 0, 2, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1);
  // pixel 0: s = 127, weight 128: 100 + 127 * 128 / 256 = 163; alpha channel 100 + 128 * 128 / 256 = 164
  EXPECT_EQ(at(bm, 0, 0), px(163, 163, 163, 164));
  // pixel 1: weight 256: 100 + 127 = 227, alpha 100 + 256 -> 255
  EXPECT_EQ(at(bm, 1, 0), px(227, 227, 227, 255));
  RAST_GradRect(&bm, 0, 0, 2, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 6);
  EXPECT_EQ(at(bm, 1, 0), px(227, 227, 227, 255));  // mode 6 draws nothing
}

TEST(GradRect, far_running_gradients_saturate_instead_of_overflowing) {
  rt::Filled bm(64, 64, 0x80808080);
  for (int mode = 0; mode < 6; mode++)
    RAST_GradRect(&bm, -100000, -100000, 200000, 200000, 1e9f, -1e9f, 3e4f, 1e9f, 1e7f, -1e7f, 1e6f, 1e8f, 1e7f,
                  1e7f, -1e6f, -1e8f, mode);
  // Every result is some pixel; the sanitizer build checks the arithmetic. Copy with huge
  // positive red clamps to 255 wherever the value stays huge.
  RAST_GradRect(&bm, 0, 0, 1, 1, 1e9f, 0, 0, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(RAST_PixelR(at(bm, 0, 0)), 255);
}

// Blur of one pixel from its unblurred neighbours, per the weights of the area's edges.
uint32_t blurOne(RAST_IBitmap& src, int x, int y, int x0, int y0, int w, int h) {
  auto h1 = [](uint32_t p) { return (p >> 1) & 0x7F7F7F7Fu; };
  auto h2 = [](uint32_t p) { return (p >> 2) & 0x3F3F3F3Fu; };
  auto h3 = [](uint32_t p) { return (p >> 3) & 0x1F1F1F1Fu; };
  uint32_t v = h1(at(src, x, y));
  if (x == x0)
    v += h2(at(src, x + 1, y));
  else if (x == x0 + w - 1)
    v += h2(at(src, x - 1, y));
  else
    v += h3(at(src, x - 1, y)) + h3(at(src, x + 1, y));
  if (y == y0)
    v += h2(at(src, x, y + 1));
  else if (y == y0 + h - 1)
    v += h2(at(src, x, y - 1));
  else
    v += h3(at(src, x, y - 1)) + h3(at(src, x, y + 1));
  return v;
}

TEST(Blur, out_of_place_matches_the_weighted_sum_of_each_pixel_and_its_neighbours) {
  RAST_MemBitmap src(9, 7), dst(12, 10);
  rt::randomize(src, 11);
  rt::fill(dst, 1);
  RAST_Blur(&dst, &src, 2, 3, 1, 1, 6, 5);
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 6; x++) ASSERT_EQ(at(dst, 2 + x, 3 + y), blurOne(src, 1 + x, 1 + y, 1, 1, 6, 5)) << x << "," << y;
  EXPECT_EQ(at(dst, 1, 3), 1u);
  EXPECT_EQ(at(dst, 8, 3), 1u);
  EXPECT_EQ(at(dst, 2, 8), 1u);
}

TEST(Blur, uniform_white_loses_only_the_truncation_of_each_term) {
  rt::Filled bm(5, 5, 0xFFFFFFFF);
  RAST_Blur(&bm, &bm, 0, 0, 0, 0, 5, 5);
  EXPECT_EQ(at(bm, 2, 2), 0xFBFBFBFBu);  // 127 + 4 * 31 = 251
  EXPECT_EQ(at(bm, 0, 0), 0xFDFDFDFDu);  // 127 + 63 + 63 = 253
  EXPECT_EQ(at(bm, 2, 0), 0xFCFCFCFCu);  // 127 + 31 + 31 + 63 = 252
}

TEST(Blur, areas_one_pixel_wide_or_high_are_left_alone) {
  rt::Randomized bm(6, 6, 5), src(6, 6, 6);
  RAST_MemBitmap before(6, 6);
  RAST_Copy(&before, &bm);
  RAST_Blur(&bm, &src, 0, 0, 0, 0, 1, 6);
  RAST_Blur(&bm, &src, 0, 0, 0, 0, 6, 1);
  RAST_Blur(&bm, &src, 5, 5, 0, 0, 6, 6);  // clipped to 1 x 1 by the destination
  RAST_Blur(&bm, &src, 0, 0, 5, 0, 6, 6);  // clipped to 1 wide by the source
  RAST_Blur(nullptr, &src, 0, 0, 0, 0, 6, 6);
  RAST_Blur(&bm, nullptr, 0, 0, 0, 0, 6, 6);
  ASSERT_TRUE(rt::same(bm, before));
}

void expectInPlaceEqualsOutOfPlace(int w, int h, int x0, int y0, int bw, int bh) {
  RAST_MemBitmap bm(w, h), copy(w, h), out(w, h);
  rt::randomize(bm, (uint32_t)(w * 31 + h));
  RAST_Copy(&copy, &bm);
  RAST_Copy(&out, &bm);
  RAST_Blur(&out, &copy, x0, y0, x0, y0, bw, bh);
  RAST_Blur(&bm, &bm, x0, y0, x0, y0, bw, bh);
  ASSERT_TRUE(rt::same(bm, out)) << w << " wide";
}

TEST(Blur, in_place_equals_out_of_place_on_narrow_and_wide_rows) {
  expectInPlaceEqualsOutOfPlace(2, 2, 0, 0, 2, 2);
  expectInPlaceEqualsOutOfPlace(17, 9, 0, 0, 17, 9);
  expectInPlaceEqualsOutOfPlace(40, 30, 3, 4, 20, 11);
  expectInPlaceEqualsOutOfPlace(1024, 6, 0, 0, 1024, 6);
  expectInPlaceEqualsOutOfPlace(1500, 5, 0, 0, 1500, 5);  // beyond the stack buffer
}

TEST(Blur, a_moved_blur_inside_one_bitmap_reads_only_unblurred_pixels) {
  RAST_MemBitmap bm(30, 20), copy(30, 20), want(30, 20);
  rt::randomize(bm, 9);
  RAST_Copy(&copy, &bm);
  RAST_Copy(&want, &bm);
  RAST_Blur(&want, &copy, 3, 2, 1, 1, 20, 12);
  RAST_Blur(&bm, &bm, 3, 2, 1, 1, 20, 12);
  ASSERT_TRUE(rt::same(bm, want));
}

}  // namespace
