// Bitmaps over memory drawing contexts: row spans, keeping and replacing the context, and the
// pixel word matching what the platform draws into the same frame buffer.
#include <gtest/gtest.h>

#include <cstdint>

#include <CoreGraphics/CoreGraphics.h>

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_rect.h"
#include "kit/wapi/wapi-gdi.h"
#include "raster_test_util.h"

namespace {

TEST(SysBitmap, rows_are_a_multiple_of_four_pixels_over_a_zeroed_aligned_frame) {
  RAST_SysBitmap bm(5, 3);
  ASSERT_NE(bm.getBits(), nullptr);
  ASSERT_NE(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getRowSpan(), 8);
  EXPECT_EQ(bm.getWidth(), 5);
  EXPECT_EQ(bm.getHeight(), 3);
  EXPECT_EQ(((uintptr_t)bm.getBits()) & 63, 0u);
  EXPECT_EQ((void*)bm.getBits(), WAPI_GetCtxFrameBuffer(bm.getDC()));
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 8; x++) EXPECT_EQ(bm.getBits()[y * 8 + x], 0u);
}

TEST(SysBitmap, a_size_that_fits_keeps_the_context_and_its_pixels) {
  RAST_SysBitmap bm(5, 3);
  HDC dc = bm.getDC();
  RAST_PixelValue* bits = bm.getBits();
  bits[0] = 0x11223344;
  EXPECT_TRUE(bm.resize(8, 2));
  EXPECT_EQ(bm.getDC(), dc);
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getRowSpan(), 8);
  EXPECT_EQ(bm.getBits()[0], 0x11223344u);
  EXPECT_FALSE(bm.resize(8, 2));
}

TEST(SysBitmap, growing_past_the_context_makes_a_new_one) {
  RAST_SysBitmap bm(5, 3);
  EXPECT_TRUE(bm.resize(9, 2));
  EXPECT_EQ(bm.getRowSpan(), 12);
  ASSERT_NE(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getBits()[0], 0u);
  EXPECT_TRUE(bm.resize(9, 7));
  EXPECT_EQ(bm.getHeight(), 7);
  EXPECT_NE(bm.getDC(), nullptr);
  RAST_Clear(&bm, 0xFFFFFFFF);  // every row of the new frame is writable
  EXPECT_EQ(rt::at(bm, 8, 6), 0xFFFFFFFFu);
}

TEST(SysBitmap, an_empty_size_deletes_the_context_and_answers_false) {
  RAST_SysBitmap bm(4, 4);
  EXPECT_FALSE(bm.resize(0, 0));
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getBits(), nullptr);
  RAST_SysBitmap none;
  EXPECT_EQ(none.getDC(), nullptr);
  EXPECT_EQ(none.getBits(), nullptr);
  RAST_SysBitmap negative(-3, 5);
  EXPECT_EQ(negative.getBits(), nullptr);
  EXPECT_EQ(negative.getWidth(), 0);
}

TEST(SysBitmap, a_frame_too_large_for_int_offsets_leaves_an_empty_bitmap) {
  RAST_SysBitmap bm(65536, 65536);
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
  RAST_SysBitmap wide(INT32_MAX, 1);
  EXPECT_EQ(wide.getBits(), nullptr);
}

TEST(SysBitmap, platform_drawing_lands_in_the_pixel_word_as_alpha_red_green_blue) {
  RAST_SysBitmap bm(6, 4);
  CGContextRef cg = WAPI_GetCtxGC(bm.getDC());
  ASSERT_NE(cg, nullptr);
  // Pure green over the top-left 2 x 1 pixels; the context's y axis runs downward.
  CGContextSetRGBFillColor(cg, 0, 1, 0, 1);
  CGContextFillRect(cg, CGRectMake(0, 0, 2, 1));
  const RAST_PixelValue p = rt::at(bm, 1, 0);
  EXPECT_EQ(RAST_PixelG(p), 255);
  EXPECT_EQ(RAST_PixelR(p), 0);
  EXPECT_EQ(RAST_PixelB(p), 0);
  EXPECT_EQ(rt::at(bm, 2, 0), 0u);
  EXPECT_EQ(rt::at(bm, 0, 1), 0u);
}

}  // namespace
