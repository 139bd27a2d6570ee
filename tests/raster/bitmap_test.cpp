// Heap bitmaps: row spans, alignment, growth and shrinking, and refusal of impossible sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "kit/raster/rast_bitmap.h"
#include "raster_test_util.h"

namespace {

bool aligned64(const void* p) { return ((uintptr_t)p & 63) == 0; }

TEST(MemBitmap, rows_are_padded_to_the_line_alignment) {
  RAST_MemBitmap a(10, 10, 4), b(10, 10, 1), c(10, 10, 0), d(10, 10, 6);
  EXPECT_EQ(a.getRowSpan(), 12);
  EXPECT_EQ(b.getRowSpan(), 10);
  EXPECT_EQ(c.getRowSpan(), 10);
  EXPECT_EQ(d.getRowSpan(), 10);  // 6 reduces to its lowest power of two, 2
  RAST_MemBitmap e(9, 1, 16);
  EXPECT_EQ(e.getRowSpan(), 16);
}

TEST(MemBitmap, very_large_line_alignment_still_gives_a_row_span_at_least_the_width) {
  for (unsigned int align : {32u, 64u, 1u << 20}) {
    RAST_MemBitmap bm(17, 2, align);
    EXPECT_GE(bm.getRowSpan(), 17);
    EXPECT_EQ(bm.getRowSpan() % 16, 0);
  }
}

TEST(MemBitmap, pixels_start_on_a_64_byte_boundary) {
  for (int w = 1; w < 40; w += 7) {
    RAST_MemBitmap bm(w, 3);
    ASSERT_NE(bm.getBits(), nullptr);
    EXPECT_TRUE(aligned64(bm.getBits()));
  }
}

TEST(MemBitmap, default_construction_is_empty) {
  RAST_MemBitmap bm;
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
  EXPECT_EQ(bm.getHeight(), 0);
  EXPECT_FALSE(bm.isFlipped());
  EXPECT_EQ(bm.Extended(1, nullptr), 0);
}

TEST(MemBitmap, resize_to_the_current_size_answers_false_and_keeps_the_pixels) {
  RAST_MemBitmap bm(5, 5);
  rt::at(bm, 4, 4) = 0xDEADBEEF;
  EXPECT_FALSE(bm.resize(5, 5));
  EXPECT_EQ(rt::at(bm, 4, 4), 0xDEADBEEFu);
}

TEST(MemBitmap, growth_reallocates_with_a_quarter_margin_and_later_fits_reuse_the_block) {
  RAST_MemBitmap bm(100, 100);
  EXPECT_EQ(bm.getAllocatedSize(), 40000);
  EXPECT_TRUE(bm.resize(101, 100));
  EXPECT_EQ(bm.getRowSpan(), 104);
  EXPECT_EQ(bm.getAllocatedSize(), 52000);
  RAST_PixelValue* bits = bm.getBits();
  EXPECT_TRUE(bm.resize(110, 110));
  EXPECT_EQ(bm.getRowSpan(), 112);
  EXPECT_EQ(bm.getAllocatedSize(), 52000);
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_TRUE(aligned64(bm.getBits()));
}

TEST(MemBitmap, shrink_answers_true_and_keeps_the_block) {
  RAST_MemBitmap bm(50, 50);
  RAST_PixelValue* bits = bm.getBits();
  EXPECT_TRUE(bm.resize(10, 10));
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getWidth(), 10);
  EXPECT_EQ(bm.getAllocatedSize(), 52 * 50 * 4);  // row span 52
}

TEST(MemBitmap, a_zero_side_frees_the_block_and_leaves_an_empty_bitmap) {
  RAST_MemBitmap bm(20, 20);
  EXPECT_TRUE(bm.resize(0, 10));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth(), 0);
  EXPECT_EQ(bm.getHeight(), 0);
  EXPECT_EQ(bm.getAllocatedSize(), 0);
  // and it can grow again from nothing
  EXPECT_TRUE(bm.resize(3, 3));
  EXPECT_NE(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getAllocatedSize(), 48);
}

TEST(MemBitmap, negative_sides_and_byte_counts_beyond_int_give_an_empty_bitmap_instead_of_wrapping) {
  // 65536 x 65536 pixels is 16 GiB: as a 32-bit product the byte count would wrap to 0;
  // 46341 x 46341 x 4 exceeds INT_MAX only a little, and wider the 32-bit count goes negative.
  const struct {
    int w, h;
  } sizes[] = {{-4, -4}, {8, -1}, {65536, 65536}, {46341, 46341}, {INT_MAX, 1}};
  for (const auto& k : sizes) {
    SCOPED_TRACE(::testing::Message() << k.w << " x " << k.h);
    RAST_MemBitmap made(k.w, k.h), resized(8, 8);
    EXPECT_TRUE(resized.resize(k.w, k.h));
    for (RAST_MemBitmap* bm : {&made, &resized}) {
      EXPECT_EQ(bm->getBits(), nullptr);
      EXPECT_EQ(bm->getWidth(), 0);
      EXPECT_EQ(bm->getHeight(), 0);
    }
  }
}

TEST(MemBitmap, every_pixel_of_a_new_bitmap_is_writable) {
  rt::Filled bm(37, 13, 0x12345678);
  EXPECT_EQ(rt::at(bm, 36, 12), 0x12345678u);
}

}  // namespace
