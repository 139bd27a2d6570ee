// The bitmap context's paths and images: what the device-context layer's own tests do not reach.
#include <CoreGraphics/CoreGraphics.h>

#include <gtest/gtest.h>

#include "tests/platform/cg_test_bitmap.h"

#include <cmath>
#include <algorithm>
#include <array>

namespace {

// A w x h context over zeroed memory: skipped byte, red, green, blue; memory row 0 is the top.
struct Ctx : CGTestBitmap {
  Ctx(int w_, int h_) : CGTestBitmap(w_, h_) { CGContextSetShouldAntialias(c, false); }
  // Channel k (1 red, 2 green, 3 blue) of the pixel at column x, row y counted from the top.
  int at(int x, int y, int k = 1) const { return CGTestBitmap::at(x, y)[k]; }
  int count(int k = 1) const {
    int n = 0;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) n += at(x, y, k) != 0;
    return n;
  }
  // Strokes in opaque red from here on.
  void strokeRed() {
    CGColorRef red = CGColorCreate(space, std::array<CGFloat, 4>{1, 0, 0, 1}.data());
    CGContextSetStrokeColorWithColor(c, red);
    CGColorRelease(red);
  }
  // Red in column x, row y counted from the bottom, as unflipped device coordinates are.
  int device(int x, int y) const { return at(x, h - 1 - y); }
};

}  // namespace

TEST(CGPathFill, OverlappingFiguresOfOneDirectionArePaintedOnceAndAReversedInnerFigureIsAHole) {
  Ctx k(30, 30);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 0.5);
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(2, 2, 16, 16));
  CGContextAddRect(k.c, CGRectMake(10, 10, 16, 16));
  CGContextDrawPath(k.c, kCGPathFill);
  // Half alpha over black is 128 whether one or both squares cover the pixel.
  for (auto [x, y, want] : {std::array<int, 3>{5, 25, 128}, {14, 15, 128}, {22, 5, 128}, {25, 25, 0}})
    EXPECT_EQ(k.at(x, y), want) << x << "," << y;

  Ctx ring(30, 30);
  CGContextSetRGBFillColor(ring.c, 1, 0, 0, 1);
  CGContextBeginPath(ring.c);
  CGContextAddRect(ring.c, CGRectMake(2, 2, 26, 26));
  // Inner square the other way round: winding 0 inside.
  CGContextMoveToPoint(ring.c, 10, 10);
  CGContextAddLineToPoint(ring.c, 10, 20);
  CGContextAddLineToPoint(ring.c, 20, 20);
  CGContextAddLineToPoint(ring.c, 20, 10);
  CGContextClosePath(ring.c);
  CGContextDrawPath(ring.c, kCGPathFill);
  EXPECT_EQ(ring.at(15, 15), 0);
  EXPECT_EQ(ring.at(5, 15), 255);
  EXPECT_EQ(ring.count(), 26 * 26 - 10 * 10);
}

TEST(CGPathFill, DrawingConsumesThePathAndBeginPathDiscardsIt) {
  Ctx k(20, 20);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 0.5);
  CGContextAddRect(k.c, CGRectMake(2, 2, 10, 10));
  CGContextDrawPath(k.c, kCGPathFill);
  CGContextDrawPath(k.c, kCGPathFill);  // no path left: the half alpha is not laid twice
  EXPECT_EQ(k.at(5, 10), 128);
  CGContextAddRect(k.c, CGRectMake(14, 14, 4, 4));
  CGContextBeginPath(k.c);
  CGContextDrawPath(k.c, kCGPathFill);
  EXPECT_EQ(k.at(15, 4), 0);
}

TEST(CGPathFill, SegmentsWithoutACurrentPointAreIgnored) {
  Ctx k(20, 20);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 1);
  CGContextBeginPath(k.c);
  CGContextAddLineToPoint(k.c, 15, 2);
  CGContextAddCurveToPoint(k.c, 15, 15, 2, 15, 2, 2);
  CGContextAddLineToPoint(k.c, 18, 18);
  CGContextDrawPath(k.c, kCGPathFillStroke);
  EXPECT_EQ(k.count(), 0);
  // After a close the next line starts from the closed figure's first point.
  CGContextMoveToPoint(k.c, 2, 2);
  CGContextAddLineToPoint(k.c, 10, 2);
  CGContextClosePath(k.c);
  CGContextAddLineToPoint(k.c, 2, 10);
  CGContextAddLineToPoint(k.c, 10, 2);
  CGContextDrawPath(k.c, kCGPathFill);
  // Inside and outside the triangle (2,2) (2,10) (10,2).
  EXPECT_EQ(k.device(3, 3), 255);
  EXPECT_EQ(k.device(9, 9), 0);
}

TEST(CGPathFill, PointsTakeTheTransformInForceWhenTheyAreAdded) {
  Ctx k(20, 20);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 1);
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(0, 0, 4, 4));
  CGContextTranslateCTM(k.c, 10, 10);  // too late for the first square
  CGContextAddRect(k.c, CGRectMake(0, 0, 4, 4));
  CGContextDrawPath(k.c, kCGPathFill);
  EXPECT_EQ(k.device(1, 1), 255);
  EXPECT_EQ(k.device(11, 11), 255);
  EXPECT_EQ(k.count(), 32);
}

TEST(CGPathFill, NonFiniteCoordinatesDrawNothingAndHugeOnesOnlyTheVisiblePart) {
  Ctx k(16, 16);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 1);
  CGContextBeginPath(k.c);
  CGContextMoveToPoint(k.c, 1, 1);
  CGContextAddLineToPoint(k.c, NAN, 10);
  CGContextAddLineToPoint(k.c, 10, 1);
  CGContextAddRect(k.c, CGRectMake(0, 0, INFINITY, 5));
  CGContextDrawPath(k.c, kCGPathFillStroke);
  EXPECT_EQ(k.count(), 0);
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(-3e9, -3e9, 6e9, 6e9));
  CGContextAddEllipseInRect(k.c, CGRectMake(-1e12, -1e12, 2e12, 2e12));
  CGContextDrawPath(k.c, kCGPathFill);
  EXPECT_EQ(k.count(), 16 * 16);
}

TEST(CGPathStroke, LineSegmentsStrokePairsAndReplaceThePath) {
  Ctx k(20, 20);
  k.strokeRed();
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(0, 0, 20, 20));  // dropped by the segments call
  const CGPoint pts[5] = {{2, 3.5}, {12, 3.5}, {2, 15.5}, {6, 15.5}, {18, 18}};
  CGContextStrokeLineSegments(k.c, pts, 5);  // the odd last point is no segment
  EXPECT_EQ(k.count(), 10 + 4);
  EXPECT_EQ(k.device(5, 3), 255);
  EXPECT_EQ(k.device(4, 15), 255);
  CGContextStrokePath(k.c);  // the segments were consumed too
  CGContextStrokeLineSegments(k.c, nullptr, 4);
  EXPECT_EQ(k.count(), 14);
}

TEST(CGImages, ImagesNeedEightBitChannelsFourBytesAPixelAndEnoughBytes) {
  uint8_t px[2 * 3 * 4] = {};
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGDataProviderRef data = CGDataProviderCreateWithData(nullptr, px, sizeof px, nullptr);
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
  CGImageRef im = CGImageCreate(2, 3, 8, 32, 8, space, kCGImageAlphaFirst, data, nullptr, false,
                                kCGRenderingIntentDefault);
  std::fill(px, px + sizeof px, uint8_t(255));
  Ctx k(8, 8);
  CGContextDrawImage(k.c, CGRectMake(0, 0, 4, 4), nullptr);
  CGContextDrawImage(nullptr, CGRectMake(0, 0, 4, 4), im);
  for (CGRect r : {CGRectMake(0, 0, 0, 8), CGRectMake(0, 0, 8, -8), CGRectMake(NAN, 0, 8, 8),
                   CGRectMake(0, 0, INFINITY, 8)})
    CGContextDrawImage(k.c, r, im);
  EXPECT_EQ(k.count(2), 0);
  CGContextDrawImage(k.c, CGRectMake(-1e12, -1e12, 2e12, 2e12), im);
  EXPECT_EQ(k.count(2), 8 * 8);
  CGImageRelease(im);
  CGDataProviderRelease(data);
  CGColorSpaceRelease(space);
}

namespace {
int releasedCalls = 0;
const void* releasedData = nullptr;
void noteRelease(void*, const void* data, size_t) {
  releasedCalls++;
  releasedData = data;
}
}  // namespace

TEST(CGImages, TheProvidersReleaseRunsOnceWhenTheImageLetsGoLast) {
  uint8_t px[4] = {255, 1, 2, 3};
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGDataProviderRef data = CGDataProviderCreateWithData(nullptr, px, sizeof px, noteRelease);
  CGImageRef im = CGImageCreate(1, 1, 8, 32, 4, space, kCGImageAlphaFirst, data, nullptr, false,
                                kCGRenderingIntentDefault);
  ASSERT_NE(im, nullptr);
  CGDataProviderRelease(data);
  EXPECT_EQ(releasedCalls, 0) << "the image still holds the bytes";
  CGImageRelease(im);
  EXPECT_EQ(releasedCalls, 1);
  EXPECT_EQ(releasedData, px);
  CGColorSpaceRelease(space);
}
