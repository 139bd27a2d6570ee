// The bitmap-context stand-in: pixel formats, the flip, clipping, fills, paths and images.
#include <CoreGraphics/CoreGraphics.h>

#include <gtest/gtest.h>

#include "tests/platform/cg_test_bitmap.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using V = std::vector<int>;  // results in call order

// Memory row 0 is the top, unflipped device row 0 the bottom.
struct Ctx : CGTestBitmap {
  Ctx(int w_, int h_, uint32_t info = kCGImageAlphaNoneSkipFirst, bool antialias = false) : CGTestBitmap(w_, h_, info) {
    if (c && !antialias) CGContextSetShouldAntialias(c, false);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  }
  // Channel k (1 red with the default layout) at column x, memory row y.
  int at(int x, int y, int k = 1) const { return CGTestBitmap::at(x, y)[k]; }
  int count(int k = 1) const {
    int n = 0;
    for (int i = 0; i < w * h; i++) n += buf[size_t(i) * 4 + k] != 0;
    return n;
  }
};

}  // namespace

TEST(CGBitmapContext, PixelLayoutsPlaceTheChannelsColoursAreClampedAndUnsupportedLayoutsRefused) {
  const std::pair<uint32_t, V> cases[] = {
      {kCGImageAlphaNoneSkipFirst, {0x5A, 255, 128, 0}},  // byte 0 left alone, then red, green, blue
      {kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, {0, 128, 255, 255}},  // b, g, r, alpha
  };
  for (const auto& [info, bytes] : cases) {
    Ctx k(4, 3, info);
    ASSERT_NE(k.c, nullptr);
    k.buf[2 * 4 * 4] = 0x5A;
    CGContextSetRGBFillColor(k.c, 1.0, 0.5, 0.0, 1);
    CGContextFillRect(k.c, CGRectMake(0, 0, 1, 1));
    EXPECT_EQ((V{k.at(0, 2, 0), k.at(0, 2, 1), k.at(0, 2, 2), k.at(0, 2, 3)}), bytes) << info;
    EXPECT_EQ(k.at(0, 0, 1) | k.at(0, 0, 2), 0) << "device y 0 is the last row in memory";
  }
  std::vector<uint8_t> buf(64);
  CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
  CGFloat comps[4] = {2.0, -1.0, 0.5, 0.75};
  CGColorRef c = CGColorCreate(s, comps);
  EXPECT_EQ(CGColorRetain(c), c);
  CGColorRelease(c);
  const CGFloat* got = CGColorGetComponents(c);  // clamped, and still held once
  EXPECT_EQ((std::vector<CGFloat>{got[0], got[1], got[2], CGColorGetAlpha(c)}),
            (std::vector<CGFloat>{1, 0, 0.5, 0.75}));
  CGColorRelease(c);
  EXPECT_EQ(CGColorCreate(nullptr, comps), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buf.data(), 4, 4, 16, 16, s, kCGImageAlphaNoneSkipFirst), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buf.data(), 4, 4, 8, 15, s, kCGImageAlphaNoneSkipFirst), nullptr) << "short rows";
  EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 16, s, kCGImageAlphaNoneSkipFirst), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buf.data(), 4, 4, 8, 16, s, kCGImageAlphaNone), nullptr);
  CGColorSpaceRelease(s);
}

TEST(CGBitmapContext, RectanglesAndPathsArePaintedOnlyWhenFinite) {
  Ctx r(4, 4, kCGImageAlphaNoneSkipFirst, true);
  std::fill(r.buf.begin(), r.buf.end(), uint8_t(77));
  const double nan = std::nan("");
  for (CGRect bad :
       {CGRectMake(nan, 0, 2, 2), CGRectMake(0, nan, 2, 2), CGRectMake(0, 0, nan, 2), CGRectMake(0, 0, 2, nan)})
    CGContextFillRect(r.c, bad);
  CGContextSetShouldAntialias(r.c, false);
  CGContextFillRect(r.c, CGRectMake(nan, nan, nan, nan));
  EXPECT_EQ(std::count(r.buf.begin(), r.buf.end(), 77), 64);
  CGContextFillRect(r.c, CGRectMake(1, 1, INFINITY, INFINITY));  // cut to the clip like any other
  EXPECT_EQ((V{r.at(3, 0), r.at(0, 3)}), (V{255, 77})) << "device column 0 and row 0 lie outside";
  Ctx k(16, 16);
  CGContextMoveToPoint(k.c, 1, 1);
  CGContextAddLineToPoint(k.c, NAN, 10);
  CGContextAddLineToPoint(k.c, 10, 1);
  CGContextAddRect(k.c, CGRectMake(0, 0, INFINITY, 5));
  CGContextDrawPath(k.c, kCGPathFillStroke);
  EXPECT_EQ(k.count(), 0);
  CGContextAddRect(k.c, CGRectMake(-3e9, -3e9, 6e9, 6e9));
  CGContextAddEllipseInRect(k.c, CGRectMake(-1e12, -1e12, 2e12, 2e12));
  CGContextDrawPath(k.c, kCGPathFill);
  EXPECT_EQ(k.count(), 16 * 16) << "huge paths cover what is visible";
}

TEST(CGPathFill, FiguresWindNonZeroAndDrawingConsumesThePath) {
  Ctx ring(30, 30);
  CGContextSetRGBFillColor(ring.c, 1, 0, 0, 0.5);
  CGContextAddRect(ring.c, CGRectMake(2, 2, 26, 26));
  // Inner square the other way round: winding 0 inside.
  CGContextMoveToPoint(ring.c, 10, 10);
  for (auto [x, y] : {std::pair{10, 20}, {20, 20}, {20, 10}}) CGContextAddLineToPoint(ring.c, x, y);
  CGContextClosePath(ring.c);
  CGContextDrawPath(ring.c, kCGPathFill);
  CGContextDrawPath(ring.c, kCGPathFill);  // no path left: the half alpha is not laid twice
  EXPECT_EQ((V{ring.at(15, 15), ring.at(5, 15), ring.count()}), (V{0, 128, 26 * 26 - 10 * 10}));
}

namespace {
int releasedCalls = 0;
const void* releasedData = nullptr;
void noteRelease(void*, const void* data, size_t) {
  releasedCalls++, releasedData = data;
}
}  // namespace

TEST(CGImages, ImagesNeedEightBitChannelsFourBytesAPixelAndEnoughBytesAndReleaseTheirData) {
  uint8_t px[2 * 3 * 4] = {};
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGDataProviderRef data = CGDataProviderCreateWithData(nullptr, px, sizeof px, noteRelease);
  struct Case {
    size_t w, h, bpc, bpp, rowBytes;
    uint32_t info;
    bool noData, noSpace, made;
  } cases[] = {
      {2, 3, 16, 32, 8, kCGImageAlphaFirst, false, false, false},
      {2, 3, 8, 24, 6, kCGImageAlphaNone, false, false, false},
      {2, 3, 8, 32, 7, kCGImageAlphaFirst, false, false, false},   // rows shorter than the width
      {2, 4, 8, 32, 8, kCGImageAlphaFirst, false, false, false},   // one row past the bytes
      {2, 2, 8, 32, 20, kCGImageAlphaFirst, false, false, false},  // 28 bytes of 24
      {2, 3, 8, 32, SIZE_MAX / 2, kCGImageAlphaFirst, false, false, false},
      {0, 3, 8, 32, 8, kCGImageAlphaFirst, false, false, false},
      {2, 3, 8, 32, 8, kCGImageAlphaPremultipliedFirst, false, false, false},
      {2, 3, 8, 32, 8, kCGImageAlphaFirst, true, false, false},
      {2, 3, 8, 32, 8, kCGImageAlphaFirst, false, true, false},
      {1, 2, 8, 32, 16, kCGImageAlphaNoneSkipLast, false, false, true},  // the last row needs only its pixels
  };
  for (const Case& c : cases) {
    CGImageRef im = CGImageCreate(c.w, c.h, c.bpc, c.bpp, c.rowBytes, c.noSpace ? nullptr : space, c.info,
                                  c.noData ? nullptr : data, nullptr, false, kCGRenderingIntentDefault);
    EXPECT_EQ(im != nullptr, c.made) << c.w << "x" << c.h << " bpc " << c.bpc << " row " << c.rowBytes;
    CGImageRelease(im);
  }
  EXPECT_EQ(CGDataProviderCreateWithData(nullptr, nullptr, 4, nullptr), nullptr);
  // Empty and non-finite rectangles draw nothing; a huge one covers what is visible.
  CGImageRef im =
      CGImageCreate(2, 3, 8, 32, 8, space, kCGImageAlphaFirst, data, nullptr, false, kCGRenderingIntentDefault);
  CGDataProviderRelease(data);
  std::fill(px, px + sizeof px, uint8_t(255));
  Ctx k(8, 8);
  CGContextDrawImage(k.c, CGRectMake(0, 0, 4, 4), nullptr);
  CGContextDrawImage(nullptr, CGRectMake(0, 0, 4, 4), im);
  for (CGRect r :
       {CGRectMake(0, 0, 0, 8), CGRectMake(0, 0, 8, -8), CGRectMake(NAN, 0, 8, 8), CGRectMake(0, 0, INFINITY, 8)})
    CGContextDrawImage(k.c, r, im);
  EXPECT_EQ(k.count(2), 0);
  CGContextDrawImage(k.c, CGRectMake(-1e12, -1e12, 2e12, 2e12), im);
  EXPECT_EQ((V{k.count(2), releasedCalls}), (V{8 * 8, 0})) << "the image still holds the bytes";
  CGImageRelease(im);
  EXPECT_EQ(releasedCalls, 1);
  EXPECT_EQ(releasedData, px);
  CGColorSpaceRelease(space);
}
