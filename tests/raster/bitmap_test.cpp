// Heap and system bitmaps: row spans, alignment, growth and shrinking, and refusal of
// impossible sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include <CoreGraphics/CoreGraphics.h>

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_rect.h"
#include "kit/wapi/wapi-gdi.h"
#include "raster_test_util.h"

namespace {

bool aligned64(const void* p) { return ((uintptr_t)p & 63) == 0; }

TEST(MemBitmap, RowsArePaddedToTheLineAlignmentAndStartOn64Bytes) {
  const struct {
    int w;
    unsigned align;
    int span;
  } cases[] = {{10, 4, 12}, {10, 1, 10}, {10, 0, 10}, {10, 6, 10} /* 6 acts as 2 */, {9, 16, 16}};
  for (const auto& k : cases) {
    RAST_MemBitmap bm(k.w, 3, k.align);
    EXPECT_EQ(bm.getRowSpan(), k.span) << k.w << " aligned " << k.align;
    EXPECT_TRUE(aligned64(bm.getBits()));
  }
  for (unsigned int align : {32u, 64u, 1u << 20}) {  // the span still holds the width
    RAST_MemBitmap bm(17, 2, align);
    EXPECT_GE(bm.getRowSpan(), 17);
  }
  RAST_MemBitmap none;
  EXPECT_EQ(none.getBits(), nullptr);
  EXPECT_EQ(none.getWidth() + none.getHeight(), 0);
  EXPECT_FALSE(none.isFlipped());
  EXPECT_EQ(none.Extended(1, nullptr), 0);
}

TEST(MemBitmap, GrowsWithAQuarterMarginAndKeepsItsBlockWhenShrinkingOrFitting) {
  RAST_MemBitmap bm(100, 100);
  EXPECT_EQ(bm.getAllocatedSize(), 40000);
  rt::at(bm, 99, 99) = 0xDEADBEEF;
  EXPECT_FALSE(bm.resize(100, 100));  // the same size keeps the pixels
  EXPECT_EQ(rt::at(bm, 99, 99), 0xDEADBEEFu);
  EXPECT_TRUE(bm.resize(101, 100));
  EXPECT_EQ(bm.getRowSpan(), 104);
  EXPECT_EQ(bm.getAllocatedSize(), 52000);
  RAST_PixelValue* bits = bm.getBits();
  EXPECT_TRUE(bm.resize(110, 110));
  EXPECT_TRUE(bm.resize(10, 10));
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getAllocatedSize(), 52000);
  EXPECT_TRUE(bm.resize(0, 10));  // a zero side frees the block
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth() + bm.getHeight() + bm.getAllocatedSize(), 0);
  EXPECT_TRUE(bm.resize(3, 3));
  EXPECT_EQ(bm.getAllocatedSize(), 48);
}

TEST(MemBitmap, ImpossibleSizesGiveAnEmptyBitmapInsteadOfWrapping) {
  // 65536 x 65536 pixels is 16 GiB, which a 32-bit byte count wraps to 0; 46341 squared times 4
  // passes INT_MAX only a little.
  const struct {
    int w, h;
  } sizes[] = {{-4, -4}, {8, -1}, {65536, 65536}, {46341, 46341}, {INT_MAX, 1}};
  for (const auto& k : sizes) {
    RAST_MemBitmap made(k.w, k.h), resized(8, 8);
    RAST_SysBitmap sys(k.w, k.h);
    EXPECT_TRUE(resized.resize(k.w, k.h));
    for (RAST_IBitmap* bm : {(RAST_IBitmap*)&made, (RAST_IBitmap*)&resized, (RAST_IBitmap*)&sys}) {
      EXPECT_EQ(bm->getBits(), nullptr) << k.w << " x " << k.h;
      EXPECT_EQ(bm->getWidth() + bm->getHeight(), 0) << k.w << " x " << k.h;
    }
    EXPECT_EQ(sys.getDC(), nullptr);
  }
}

TEST(SysBitmap, KeepsItsContextWhileTheSizeFitsAndMakesANewOneBeyond) {
  RAST_SysBitmap bm(5, 3);
  ASSERT_NE(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getRowSpan(), 8);
  EXPECT_TRUE(aligned64(bm.getBits()));
  EXPECT_EQ((void*)bm.getBits(), WAPI_GetCtxFrameBuffer(bm.getDC()));
  EXPECT_TRUE(rt::all(bm, 0u));
  HDC dc = bm.getDC();
  RAST_PixelValue* bits = bm.getBits();
  bits[0] = 0x11223344;
  EXPECT_TRUE(bm.resize(8, 2));
  EXPECT_EQ(bm.getDC(), dc);
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getBits()[0], 0x11223344u);
  EXPECT_FALSE(bm.resize(8, 2));
  EXPECT_TRUE(bm.resize(9, 7));
  EXPECT_EQ(bm.getRowSpan(), 12);
  EXPECT_EQ(bm.getBits()[0], 0u);
  RAST_Clear(&bm, 0xFFFFFFFF);  // every row of the new frame is writable
  EXPECT_EQ(rt::at(bm, 8, 6), 0xFFFFFFFFu);
  EXPECT_FALSE(bm.resize(0, 0));  // an empty size deletes the context
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getBits(), nullptr);
}

TEST(SysBitmap, PlatformDrawingLandsInThePixelWordAsAlphaRedGreenBlue) {
  RAST_SysBitmap bm(6, 4);
  CGContextRef cg = WAPI_GetCtxGC(bm.getDC());
  ASSERT_NE(cg, nullptr);
  CGContextSetRGBFillColor(cg, 0, 1, 0, 1);  // green over the top-left 2 x 1; y runs downward
  CGContextFillRect(cg, CGRectMake(0, 0, 2, 1));
  EXPECT_EQ(rt::at(bm, 1, 0) & 0xFFFFFF00u, rt::px(0, 255, 0, 0));
  EXPECT_EQ(rt::countSet(bm), 2);
}

}  // namespace
