// The bitmap-context stand-in: pixel formats, the flip, clipping, state and fills.
#include <CoreGraphics/CoreGraphics.h>
#include <CoreGraphics/CGContextMask.h>

#include <gtest/gtest.h>

#include "tests/platform/cg_test_bitmap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using Ctx = CGTestBitmap;

}  // namespace

TEST(CGBitmapContext, PixelLayoutsPlaceTheChannelsAndTheUnflippedOriginIsTheLastMemoryRow) {
  struct Case {
    uint32_t info;
    std::array<int, 4> bytes;
    const char* why;
  } cases[] = {
      {kCGImageAlphaNoneSkipFirst, {0x5A, 255, 128, 0}, "byte 0 left alone, then red, green, blue"},
      {kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, {0, 128, 255, 255},
       "little-endian alpha first: blue, green, red, alpha"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Ctx k(4, 3, c.info);
    ASSERT_NE(k.c, nullptr);
    k.buf[2 * 4 * 4] = 0x5A;
    CGContextSetRGBFillColor(k.c, 1.0, 0.5, 0.0, 1);
    CGContextFillRect(k.c, CGRectMake(0, 0, 1, 1));
    const uint8_t* p = k.at(0, 2);  // device y 0 is the last row in memory
    EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), c.bytes);
    EXPECT_EQ(k.at(0, 0)[1] | k.at(0, 0)[2], 0);
  }
}

TEST(CGBitmapContext, UnsupportedLayoutsAreRefused) {
  std::vector<uint8_t> buf(64);
  CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
  EXPECT_EQ(CGBitmapContextCreate(buf.data(), 4, 4, 16, 16, s, kCGImageAlphaNoneSkipFirst), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buf.data(), 4, 4, 8, 15, s, kCGImageAlphaNoneSkipFirst), nullptr)
      << "rows shorter than the width";
  EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 16, s, kCGImageAlphaNoneSkipFirst), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buf.data(), 4, 4, 8, 16, s, kCGImageAlphaNone), nullptr);
  CGColorSpaceRelease(s);
}

TEST(CGBitmapContext, MasksArePaintedThroughTheClipAndStayInBounds) {
  Ctx k(4, 4);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 1);
  CGContextClipToRect(k.c, CGRectMake(0, 0, 4, 2));  // device rows 0-1: memory rows 2-3
  uint8_t mask[9] = {255, 255, 255, 255, 128, 255, 255, 255, 255};
  QORCGContextPaintMask(k.c, 1, 1, mask, 3, 3, 3);
  EXPECT_EQ(k.at(1, 1)[1], 0) << "clipped away";
  EXPECT_EQ(k.at(2, 2)[1], 128);
  EXPECT_EQ(k.at(3, 3)[1], 255);
  QORCGContextPaintMask(k.c, -2, -2, mask, 3, 3, 3);
  QORCGContextPaintMask(k.c, 3, 3, mask, 3, 3, 3);
  QORCGContextPaintMask(k.c, 1 << 30, 1 << 30, mask, 3, 3, 3);
}

TEST(CGBitmapContext, RectanglesWithoutFiniteCoordinatesPaintNothing) {
  Ctx k(4, 4);
  std::fill(k.buf.begin(), k.buf.end(), uint8_t(77));
  CGContextSetRGBFillColor(k.c, 1, 1, 1, 1);
  const double nan = std::nan("");
  CGContextFillRect(k.c, CGRectMake(nan, 0, 2, 2));
  CGContextFillRect(k.c, CGRectMake(0, nan, 2, 2));
  CGContextFillRect(k.c, CGRectMake(0, 0, nan, 2));
  CGContextFillRect(k.c, CGRectMake(0, 0, 2, nan));
  CGContextSetShouldAntialias(k.c, false);
  CGContextFillRect(k.c, CGRectMake(nan, nan, nan, nan));
  for (uint8_t b : k.buf) EXPECT_EQ(b, 77);
  // An infinite rectangle is cut to the clip like any other.
  CGContextFillRect(k.c, CGRectMake(1, 1, INFINITY, INFINITY));
  EXPECT_EQ(k.at(3, 0)[1], 255);
  EXPECT_EQ(k.at(0, 3)[1], 77) << "device column 0 and row 0 lie outside";
}

TEST(CGColor, ComponentsAreClampedAndReferenceCounted) {
  CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
  CGFloat comps[4] = {2.0, -1.0, 0.5, 0.75};
  CGColorRef c = CGColorCreate(s, comps);
  EXPECT_EQ(CGColorGetComponents(c)[0], 1.0);
  EXPECT_EQ(CGColorGetComponents(c)[1], 0.0);
  EXPECT_EQ(CGColorGetAlpha(c), 0.75);
  EXPECT_EQ(CGColorRetain(c), c);
  CGColorRelease(c);
  EXPECT_EQ(CGColorGetComponents(c)[2], 0.5) << "still held once";
  CGColorRelease(c);
  EXPECT_EQ(CGColorCreate(nullptr, comps), nullptr);
  CGColorSpaceRelease(s);
}
