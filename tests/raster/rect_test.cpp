// Rectangle and single-pixel operations on one bitmap.
#include <gtest/gtest.h>

#include <vector>

#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_rect.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using rt::px;

int countEqual(RAST_IBitmap& bm, uint32_t v) {
  int n = 0;
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++) n += at(bm, x, y) == v;
  return n;
}

TEST(Clear, every_pixel_takes_the_colour) {
  RAST_MemBitmap bm(7, 5);
  RAST_Clear(&bm, 0x01020304);
  EXPECT_EQ(countEqual(bm, 0x01020304), 35);
  RAST_Clear(nullptr, 0);
}

TEST(FillRect, a_rectangle_reaching_past_the_origin_is_clipped_to_the_bitmap) {
  rt::Filled bm(6, 6);
  RAST_FillRect(&bm, -2, -2, 5, 5, 0xFFFFFFFF, 1.0f, 0);
  EXPECT_EQ(countEqual(bm, 0xFFFFFFFF), 9);
  EXPECT_EQ(at(bm, 2, 2), 0xFFFFFFFFu);
  EXPECT_EQ(at(bm, 3, 2), 0u);
  RAST_FillRect(&bm, 6, 0, 5, 5, 0x12345678, 1.0f, 0);
  RAST_FillRect(&bm, -10, 0, 5, 5, 0x12345678, 1.0f, 0);
  RAST_FillRect(&bm, 0, 0, INT32_MAX, INT32_MAX, 0x12345678, 0.0f, 0);
  RAST_FillRect(&bm, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0x12345678, 1.0f, 0);
  EXPECT_EQ(countEqual(bm, 0x12345678), 0);
  RAST_FillRect(&bm, 4, 4, INT32_MAX, INT32_MAX, 0x12345678, 1.0f, 0);
  EXPECT_EQ(countEqual(bm, 0x12345678), 4);
}

TEST(FillRect, copy_uses_the_byte_wise_mixes_at_quarter_steps_and_the_combiner_otherwise) {
  const uint32_t d = px(255, 0, 100, 7), c = px(0, 255, 200, 255);
  const struct {
    uint32_t d, c;
    float alpha;
    uint32_t want;
  } cases[] = {
      {0xFFFFFFFF, px(1, 2, 3, 0), 1.0f, px(1, 2, 3, 0)},  // the alpha byte is written too
      {0, 0xFFFFFFFF, 0.5f, 0x7F7F7F7Fu},                  // every byte halved
      {d, c, 0.25f, px(63 + 127 + 0, 0 + 0 + 63, 25 + 50 + 50, 1 + 3 + 63)},  // d/4 + d/2 + c/4
      {d, c, 0.75f, px(63, 63 + 127, 25 + 50 + 100, 1 + 63 + 127)},           // d/4 + c/4 + c/2
      // Any other weight uses the copy combiner, with the weight standing for the source alpha.
      {d, c, 0.3f, ref::combine(d, px(0, 255, 200, 76), 76, 0)},
  };
  for (const auto& k : cases) {
    rt::Filled bm(2, 2, k.d);
    RAST_FillRect(&bm, 0, 0, 2, 2, k.c, k.alpha, 0);
    EXPECT_EQ(at(bm, 1, 1), k.want) << k.alpha;
  }
}

TEST(FillRect, source_alpha_flag_only_scales_the_alpha_by_the_colour_alpha_byte) {
  RAST_MemBitmap bm(1, 1);
  at(bm, 0, 0) = px(10, 20, 30, 40);
  RAST_FillRect(&bm, 0, 0, 1, 1, px(200, 200, 200, 0), 1.0f, 0x10000);
  EXPECT_EQ(at(bm, 0, 0), px(10, 20, 30, 40));
  RAST_FillRect(&bm, 0, 0, 1, 1, px(200, 201, 202, 255), 1.0f, 0x10000);
  EXPECT_EQ(at(bm, 0, 0), px(200, 201, 202, 255));
  // alpha byte 128: 1.0 * 128 / 255 -> weight 128, the half mix on whole words
  at(bm, 0, 0) = 0;
  RAST_FillRect(&bm, 0, 0, 1, 1, px(200, 100, 50, 128), 1.0f, 0x10000);
  EXPECT_EQ(at(bm, 0, 0), px(100, 50, 25, 64));
}

TEST(FillRect, each_mode_runs_its_combiner_with_the_weight_as_source_alpha) {
  for (int mode = 1; mode <= 5; mode++) {
    for (float alpha : {1.0f, 0.6f, -0.4f}) {
      rt::Filled bm(3, 2, px(90, 140, 230, 60));
      RAST_FillRect(&bm, 0, 0, 3, 2, px(10, 250, 128, 17), alpha, mode);
      // The weight stands for the source alpha channel too; the colour's alpha byte is unused.
      const int w = (int)((double)alpha * 256.0);
      RAST_PixelValue want = px(90, 140, 230, 60);
      RAST_CombinePixels2(&want, 10, 250, 128, w, w, mode);
      EXPECT_EQ(at(bm, 0, 0), want) << mode << " " << alpha;
      EXPECT_EQ(at(bm, 2, 1), want) << mode << " " << alpha;
    }
  }
  // Add at full weight: the colour is added and the alpha channel gains 256 and saturates.
  RAST_MemBitmap bm(1, 1);
  at(bm, 0, 0) = px(100, 200, 0, 3);
  RAST_FillRect(&bm, 0, 0, 1, 1, px(100, 100, 7, 0), 1.0f, 1);
  EXPECT_EQ(at(bm, 0, 0), px(200, 255, 7, 255));
}

TEST(FillRect, unknown_modes_and_negative_copy_weights_draw_nothing) {
  rt::Filled bm(2, 2, 5);
  RAST_FillRect(&bm, 0, 0, 2, 2, 0xFFFFFFFF, 1.0f, 6);
  RAST_FillRect(&bm, 0, 0, 2, 2, 0xFFFFFFFF, -0.5f, 0);
  RAST_FillRect(&bm, 0, 0, 2, 2, 0xFFFFFFFF, 0.001f, 3);
  EXPECT_EQ(countEqual(bm, 5), 4);
}

TEST(FillRect, bottom_up_bitmaps_fill_the_rows_counted_from_the_top) {
  rt::FlippedBitmap bm(3, 4);
  rt::fill(bm, 0);
  RAST_FillRect(&bm, 0, 0, 3, 1, 0xFFFFFFFF, 1.0f, 0);
  EXPECT_EQ(bm.logical(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(at(bm, 1, 3), 0xFFFFFFFFu);
  EXPECT_EQ(at(bm, 1, 0), 0u);
}

TEST(ClearRect, masks_and_sets_bits_of_every_pixel_in_the_rectangle) {
  rt::Filled bm(4, 4, px(10, 20, 30, 200));
  RAST_ClearRect(&bm, 1, 1, 2, 2, 0xFFFFFF00, 0);
  EXPECT_EQ(at(bm, 1, 1), px(10, 20, 30, 0));
  EXPECT_EQ(at(bm, 2, 2), px(10, 20, 30, 0));
  EXPECT_EQ(at(bm, 0, 0), px(10, 20, 30, 200));
  EXPECT_EQ(at(bm, 3, 3), px(10, 20, 30, 200));
  RAST_ClearRect(&bm, -1, -1, 2, 2, 0, 0xAB);
  EXPECT_EQ(at(bm, 0, 0), 0xABu);
  EXPECT_EQ(at(bm, 1, 0), px(10, 20, 30, 200));
}

TEST(MultiplyAddRect, identity_scales_keep_pixels_and_half_scale_floors) {
  rt::Randomized bm(3, 3, 4);
  rt::Randomized before(3, 3, 4);
  RAST_MultiplyAddRect(&bm, 0, 0, 3, 3, 1, 1, 1, 1, 0, 0, 0, 0);
  for (int i = 0; i < 9; i++) EXPECT_EQ(at(bm, i % 3, i / 3), at(before, i % 3, i / 3));
  at(bm, 0, 0) = px(201, 3, 255, 1);
  RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0);
  EXPECT_EQ(at(bm, 0, 0), px(100, 1, 127, 0));
}

TEST(MultiplyAddRect, adds_in_channel_units_and_clamps_both_ways) {
  RAST_MemBitmap bm(1, 1);
  at(bm, 0, 0) = px(100, 100, 100, 100);
  RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 1, 2, 1, 0, 10, 0, -150, 0.5f);
  EXPECT_EQ(at(bm, 0, 0), px(110, 200, 0, 0));
  // (100 * 256 - 0.3 * 256 truncated to -76) >> 8 floors: (25600 - 76) >> 8 = 99
  at(bm, 0, 0) = px(100, 100, 100, 100);
  RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 1, 1, 1, 1, -0.3f, 0, 0, 0);
  EXPECT_EQ(RAST_PixelR(at(bm, 0, 0)), 99);
  // Extreme factors saturate rather than overflow.
  RAST_MultiplyAddRect(&bm, 0, 0, 1, 1, 1e30f, -1e30f, 1e30f, 0, 1e30f, 0, -1e30f, 0);
  EXPECT_EQ(at(bm, 0, 0), px(255, 0, 0, 0) | (at(bm, 0, 0) & 0xFF000000u));
}

TEST(ProcessRect, visits_each_pixel_once_row_by_row_left_to_right) {
  RAST_MemBitmap bm(5, 4);
  rt::numbered(bm);
  std::vector<uint32_t> seen;
  RAST_ProcessRect(&bm, 3, 2, 4, 4, [](unsigned int* p, void* parm) { ((std::vector<uint32_t>*)parm)->push_back(*p); }, &seen);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], at(bm, 3, 2));
  EXPECT_EQ(seen[1], at(bm, 4, 2));
  EXPECT_EQ(seen[2], at(bm, 3, 3));
  EXPECT_EQ(seen[3], at(bm, 4, 3));
  RAST_ProcessRect(&bm, 0, 0, 5, 4, nullptr, nullptr);
}

TEST(GetPutPixel, outside_the_bitmap_answers_zero_and_writes_nothing) {
  rt::Filled bm(3, 2, 9);
  EXPECT_EQ(RAST_GetPixel(&bm, 3, 0), 0u);
  EXPECT_EQ(RAST_GetPixel(&bm, -1, 0), 0u);
  EXPECT_EQ(RAST_GetPixel(&bm, 0, 2), 0u);
  EXPECT_EQ(RAST_GetPixel(nullptr, 0, 0), 0u);
  EXPECT_EQ(RAST_GetPixel(&bm, 2, 1), 9u);
  RAST_PutPixel(&bm, 3, 0, 1, 1.0f, 0);
  RAST_PutPixel(&bm, 0, -1, 1, 1.0f, 0);
  EXPECT_EQ(countEqual(bm, 9), 6);
}

TEST(GetPutPixel, quarter_alpha_copy_gives_three_quarters_pixel_one_quarter_colour) {
  RAST_MemBitmap bm(1, 1);
  at(bm, 0, 0) = px(200, 0, 255, 255);
  RAST_PutPixel(&bm, 0, 0, px(0, 200, 255, 0), 0.25f, 0);
  EXPECT_EQ(at(bm, 0, 0), px(50 + 100, 50, 63 + 127 + 63, 63 + 127));
}

TEST(GetPutPixel, other_modes_use_the_colour_alpha_byte_as_source_alpha) {
  RAST_MemBitmap bm(1, 1);
  at(bm, 0, 0) = px(100, 100, 100, 100);
  RAST_PutPixel(&bm, 0, 0, px(50, 60, 70, 80), 0.7f, 1);
  EXPECT_EQ(at(bm, 0, 0), ref::combine(px(100, 100, 100, 100), px(50, 60, 70, 80), 179, 1));
  at(bm, 0, 0) = px(100, 100, 100, 100);
  RAST_PutPixel(&bm, 0, 0, px(50, 60, 70, 80), 0.7f, 0x10001);  // the flag is not looked at
  EXPECT_EQ(at(bm, 0, 0), ref::combine(px(100, 100, 100, 100), px(50, 60, 70, 80), 179, 1));
}

TEST(SetAlphaFromColorMask, the_key_colour_becomes_transparent_and_all_else_opaque) {
  RAST_MemBitmap bm(3, 1);
  at(bm, 0, 0) = px(1, 2, 3, 200);
  at(bm, 1, 0) = px(1, 2, 4, 0);
  at(bm, 2, 0) = px(1, 2, 3, 7);
  RAST_SetAlphaFromColorMask(&bm, px(1, 2, 3, 0));
  EXPECT_EQ(at(bm, 0, 0), px(1, 2, 3, 0));
  EXPECT_EQ(at(bm, 1, 0), px(1, 2, 4, 255));
  EXPECT_EQ(at(bm, 2, 0), px(1, 2, 3, 0));
  // A key with an alpha byte can never match.
  RAST_SetAlphaFromColorMask(&bm, px(1, 2, 3, 1));
  EXPECT_EQ(at(bm, 0, 0), px(1, 2, 3, 255));
}

// Draws a picture from text: '#' walls (1), '.' open (0).
void draw(RAST_IBitmap& bm, const std::vector<const char*>& rows) {
  for (size_t y = 0; y < rows.size(); y++)
    for (int x = 0; rows[y][x]; x++) at(bm, x, (int)y) = rows[y][x] == '#' ? 1u : 0u;
}

std::vector<std::string> read(RAST_IBitmap& bm) {
  std::vector<std::string> out;
  for (int y = 0; y < bm.getHeight(); y++) {
    std::string s;
    for (int x = 0; x < bm.getWidth(); x++) s += at(bm, x, y) == 1 ? '#' : at(bm, x, y) == 0 ? '.' : 'o';
    out.push_back(s);
  }
  return out;
}

TEST(SimpleFill, fills_only_runs_on_rows_joined_through_the_seed_column) {
  RAST_MemBitmap bm(9, 7);
  draw(bm, {"#########",
            "#.......#",
            "#.#####.#",
            "#.#...#.#",
            "#.#####.#",
            "#...#...#",
            "#########"});
  RAST_SimpleFill(&bm, 2, 1, 0x80, 0xFFFFFFFF, 0);
  const std::vector<std::string> want = {"#########",
                                         "#ooooooo#",
                                         "#.#####.#",
                                         "#.#...#.#",
                                         "#.#####.#",
                                         "#...#...#",
                                         "#########"};
  EXPECT_EQ(read(bm), want);
}

TEST(SimpleFill, goes_down_and_up_the_seed_column_stopping_at_walls) {
  RAST_MemBitmap bm(7, 6);
  draw(bm, {".......",
            "..#....",
            ".......",
            ".......",
            "...#...",
            "......."});
  RAST_SimpleFill(&bm, 3, 2, 0x80, 0xFFFFFFFF, 0);
  // The run of row 1 stops at the wall left of the seed column.
  const std::vector<std::string> want = {"ooooooo",
                                         "..#oooo",
                                         "ooooooo",
                                         "ooooooo",
                                         "...#...",
                                         "......."};
  EXPECT_EQ(read(bm), want);
}

TEST(SimpleFill, a_new_colour_that_still_matches_does_not_loop_and_keepmask_keeps_bits) {
  rt::Filled bm(4, 4, 0x0000FF10);
  RAST_SimpleFill(&bm, 1, 1, 0x00AA0000, 0x000000FF, 0x0000FFFF);
  EXPECT_EQ(countEqual(bm, 0x00AAFF10), 16);
  RAST_SimpleFill(&bm, 4, 0, 1, 0, 0);
  RAST_SimpleFill(&bm, 0, -1, 1, 0, 0);
  EXPECT_EQ(countEqual(bm, 0x00AAFF10), 16);
}

}  // namespace
