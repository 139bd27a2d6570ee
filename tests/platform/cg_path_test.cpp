// The bitmap context's paths (fill, stroke, curves, ellipses, line segments) and images.
#include <CoreGraphics/CoreGraphics.h>

#include <gtest/gtest.h>

#include "tests/platform/cg_test_bitmap.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

// Owns a colour made from components.
struct Color {
  CGColorRef ref;
  Color(CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
    const CGFloat comps[4] = {r, g, b, a};
    ref = CGColorCreate(s, comps);
    CGColorSpaceRelease(s);
  }
  ~Color() { CGColorRelease(ref); }
};

// A w x h context over zeroed memory: skipped byte, red, green, blue; memory row 0 is the top.
struct Ctx : CGTestBitmap {
  Ctx(int w_, int h_, bool antialias = false) : CGTestBitmap(w_, h_) {
    CGContextSetShouldAntialias(c, antialias);
  }
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
    Color red(1, 0, 0, 1);
    CGContextSetStrokeColorWithColor(c, red.ref);
  }
  // Switches to top-left coordinates, as the device-context layer does.
  void flip() {
    CGContextTranslateCTM(c, 0, h);
    CGContextScaleCTM(c, 1, -1);
  }
};

void fillFigure(CGContextRef c, CGRect r, bool ellipse) {
  CGContextBeginPath(c);
  if (ellipse)
    CGContextAddEllipseInRect(c, r);
  else
    CGContextAddRect(c, r);
  CGContextDrawPath(c, kCGPathFill);
}

void strokeLine(CGContextRef c, double x0, double y0, double x1, double y1) {
  CGContextBeginPath(c);
  CGContextMoveToPoint(c, x0, y0);
  CGContextAddLineToPoint(c, x1, y1);
  CGContextStrokePath(c);
}

struct Probe {
  int x, y, want;
};
// Checks channel ch at each probe (column, row from the top), naming the probe that fails.
void expectPixels(const Ctx& k, std::initializer_list<Probe> probes, int ch = 1) {
  for (const Probe& p : probes) EXPECT_EQ(k.at(p.x, p.y, ch), p.want) << "pixel " << p.x << "," << p.y;
}
// The same with rows counted from the bottom, as unflipped device coordinates are.
void expectDevicePixels(const Ctx& k, std::initializer_list<Probe> probes, int ch = 1) {
  for (const Probe& p : probes)
    EXPECT_EQ(k.at(p.x, k.h - 1 - p.y, ch), p.want) << "device pixel " << p.x << "," << p.y;
}

// Rows (from the top) of column x that hold any red.
int redRowsInColumn(const Ctx& k, int x) {
  int n = 0;
  for (int y = 0; y < k.h; y++) n += k.at(x, y) != 0;
  return n;
}

}  // namespace

TEST(CGPathFill, RectanglePathCoversTheSamePixelsAsTheRectangleFill) {
  // Quarter-pixel edges are where four sub-rows give the exact area; the path's coverage goes
  // through 8 bits on its way, so anti-aliased bytes may differ by one. Edges that miss every
  // pixel centre leave nothing to round without anti-aliasing.
  for (bool aa : {false, true}) {
    Ctx byPath(24, 20, aa), byRect(24, 20, aa);
    for (Ctx* k : {&byPath, &byRect}) CGContextSetRGBFillColor(k->c, 1, 0.5, 0.25, 0.8);
    const CGRect r = CGRectMake(2.25, 3.75, 15.5, 11.25);
    fillFigure(byPath.c, r, false);
    CGContextFillRect(byRect.c, r);
    for (size_t i = 0; i < byPath.buf.size(); i++)
      ASSERT_NEAR(byPath.buf[i], byRect.buf[i], aa ? 1 : 0) << "antialias " << aa << " byte " << i;
    EXPECT_EQ(byPath.count(), aa ? 16 * 12 : 16 * 11) << aa;  // columns 2-17; rows 3-14, or 4-14 by centres
  }
}

TEST(CGPathFill, OverlappingFiguresOfOneDirectionArePaintedOnceAndAReversedInnerFigureIsAHole) {
  Ctx k(30, 30);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 0.5);
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(2, 2, 16, 16));
  CGContextAddRect(k.c, CGRectMake(10, 10, 16, 16));
  CGContextDrawPath(k.c, kCGPathFill);
  // Half alpha over black is 128 whether one or both squares cover the pixel.
  expectPixels(k, {{5, 25, 128}, {14, 15, 128}, {22, 5, 128}, {25, 25, 0}});

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

TEST(CGPathFill, FillAndStrokeUseTheirOwnColoursAndTheStrokeLiesOnTop) {
  Ctx k(30, 30);
  Color green(0, 1, 0, 1), blue(0, 0, 1, 1);
  CGContextSetFillColorWithColor(k.c, green.ref);
  CGContextSetStrokeColorWithColor(k.c, blue.ref);
  CGContextSetLineWidth(k.c, 2);
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(5, 5, 20, 20));
  CGContextDrawPath(k.c, kCGPathFillStroke);
  // Green inside; the left edge x = 5 is stroked over columns 4 and 5 in blue only.
  expectPixels(k, {{15, 15, 255}, {4, 15, 0}, {5, 15, 0}}, 2);
  expectPixels(k, {{15, 15, 0}, {3, 15, 0}, {4, 15, 255}, {5, 15, 255}, {6, 15, 0}}, 3);
}

TEST(CGPathFill, DrawingConsumesThePathAndBeginPathDiscardsIt) {
  Ctx k(20, 20);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 0.5);
  fillFigure(k.c, CGRectMake(2, 2, 10, 10), false);
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
  expectDevicePixels(k, {{3, 3, 255}, {9, 9, 0}});  // inside and outside the triangle (2,2) (2,10) (10,2)
}

TEST(CGPathFill, TheClipLimitsFillsAndStrokes) {
  Ctx k(20, 20);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 1);
  k.strokeRed();
  CGContextSetLineWidth(k.c, 4);
  CGContextSaveGState(k.c);
  CGContextClipToRect(k.c, CGRectMake(5, 5, 6, 4));
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(0, 0, 20, 20));
  CGContextDrawPath(k.c, kCGPathFill);
  strokeLine(k.c, 0, 7, 20, 7);
  CGContextRestoreGState(k.c);
  EXPECT_EQ(k.count(), 6 * 4);
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 20; x++) {
      const int dy = 20 - 1 - y;
      ASSERT_EQ(k.at(x, y), x >= 5 && x < 11 && dy >= 5 && dy < 9 ? 255 : 0) << x << "," << y;
    }
}

TEST(CGPathFill, PointsTakeTheTransformInForceWhenTheyAreAdded) {
  Ctx k(20, 20);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 1);
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(0, 0, 4, 4));
  CGContextTranslateCTM(k.c, 10, 10);  // too late for the first square
  CGContextAddRect(k.c, CGRectMake(0, 0, 4, 4));
  CGContextDrawPath(k.c, kCGPathFill);
  expectDevicePixels(k, {{1, 1, 255}, {11, 11, 255}});
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

TEST(CGPathStroke, AHorizontalLineCoversAsManyRowsAsItsWidth) {
  for (int width : {1, 2, 3, 4, 7}) {
    Ctx k(20, 20);
    k.strokeRed();
    CGContextSetLineWidth(k.c, width);
    // Odd widths centred on a pixel centre, even ones on a pixel edge: whole rows either way.
    strokeLine(k.c, 2, width % 2 ? 10.5 : 10, 18, width % 2 ? 10.5 : 10);
    EXPECT_EQ(redRowsInColumn(k, 10), width) << width;
    EXPECT_EQ(k.count(), 16 * width) << "butt ends stop at the end points, width " << width;
  }
}

TEST(CGPathStroke, TheWidthIsInUserSpaceAndIsPartOfTheSavedState) {
  Ctx k(20, 20);
  k.strokeRed();
  CGContextSaveGState(k.c);
  CGContextSetLineWidth(k.c, 5);
  CGContextScaleCTM(k.c, 2, 2);
  CGContextSetLineWidth(k.c, 2);
  strokeLine(k.c, 1, 5, 9, 5);  // device y 10, four device rows wide
  CGContextRestoreGState(k.c);
  EXPECT_EQ(redRowsInColumn(k, 10), 4);
  Ctx after(20, 20);
  after.strokeRed();
  CGContextSaveGState(after.c);
  CGContextSetLineWidth(after.c, 6);
  CGContextRestoreGState(after.c);
  CGContextSetLineWidth(after.c, -3);   // ignored
  CGContextSetLineWidth(after.c, NAN);  // ignored
  strokeLine(after.c, 0, 10.5, 20, 10.5);
  EXPECT_EQ(redRowsInColumn(after, 10), 1) << "the default width of 1 is back";
}

TEST(CGPathStroke, AClosedFigureStrokesItsClosingEdgeAndAnOpenOneDoesNot) {
  Ctx open(20, 20), closed(20, 20);
  for (Ctx* k : {&open, &closed}) {
    k->strokeRed();
    CGContextBeginPath(k->c);
    CGContextMoveToPoint(k->c, 4.5, 4.5);
    CGContextAddLineToPoint(k->c, 15.5, 4.5);
    CGContextAddLineToPoint(k->c, 15.5, 15.5);
    CGContextAddLineToPoint(k->c, 4.5, 15.5);
    if (k == &closed) CGContextClosePath(k->c);
    CGContextStrokePath(k->c);
  }
  // Column 4 is the closing edge from (4.5, 15.5) back down to (4.5, 4.5).
  EXPECT_EQ(closed.at(4, 10), 255);
  EXPECT_EQ(open.at(4, 10), 0);
  EXPECT_EQ(open.at(15, 10), 255);
  EXPECT_EQ(closed.count() - open.count(), 10);
}

TEST(CGPathStroke, LineSegmentsStrokePairsAndReplaceThePath) {
  Ctx k(20, 20);
  k.strokeRed();
  CGContextBeginPath(k.c);
  CGContextAddRect(k.c, CGRectMake(0, 0, 20, 20));  // dropped by the segments call
  const CGPoint pts[5] = {{2, 3.5}, {12, 3.5}, {2, 15.5}, {6, 15.5}, {18, 18}};
  CGContextStrokeLineSegments(k.c, pts, 5);  // the odd last point is no segment
  EXPECT_EQ(k.count(), 10 + 4);
  expectDevicePixels(k, {{5, 3, 255}, {4, 15, 255}});
  CGContextStrokePath(k.c);  // the segments were consumed too
  CGContextStrokeLineSegments(k.c, nullptr, 4);
  EXPECT_EQ(k.count(), 14);
}

TEST(CGPathCurves, ACubicCurvePassesThroughItsEndsAndItsMidpoint) {
  Ctx k(40, 40);
  k.strokeRed();
  CGContextSetLineWidth(k.c, 2);
  CGContextBeginPath(k.c);
  CGContextMoveToPoint(k.c, 4, 4);
  CGContextAddCurveToPoint(k.c, 4, 36, 36, 36, 36, 4);
  CGContextStrokePath(k.c);
  // B(1/2) = (P0 + 3 P1 + 3 P2 + P3) / 8 = (20, 28): a horizontal tangent there.
  // Probes in device coordinates: on the curve at the top, above and below it; leaving P0 upward
  // and arriving at P3 downward; nothing below the arch, since the stroke does not fill.
  expectDevicePixels(k, {{20, 28, 255}, {20, 27, 255}, {20, 30, 0}, {20, 25, 0}, {4, 5, 255}, {35, 5, 255},
                         {20, 10, 0}});
}

TEST(CGPathCurves, AnEllipseFillsItsRectangleRoundly) {
  Ctx k(50, 40);
  CGContextSetRGBFillColor(k.c, 1, 0, 0, 1);
  fillFigure(k.c, CGRectMake(5, 4, 40, 30), true);
  EXPECT_NEAR(k.count(), M_PI * 20 * 15, 15);
  // Device coordinates: the centre, near the left end of the long axis, corners and beyond the top.
  expectDevicePixels(k, {{25, 19, 255}, {6, 19, 255}, {5, 4, 0}, {44, 33, 0}, {25, 35, 0}});
}

namespace {

// A 2 x 3 image, alpha first: row r has red 10 * (r + 1), column c green 100 * c + 50.
struct Image {
  uint8_t px[3][2][4];
  CGImageRef ref = nullptr;
  explicit Image(uint32_t info = kCGImageAlphaFirst, uint8_t alpha = 255) {
    for (int r = 0; r < 3; r++)
      for (int c = 0; c < 2; c++) {
        px[r][c][0] = alpha;
        px[r][c][1] = uint8_t(10 * (r + 1));
        px[r][c][2] = uint8_t(100 * c + 50);
        px[r][c][3] = 0;
      }
    CGDataProviderRef data = CGDataProviderCreateWithData(nullptr, px, sizeof px, nullptr);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    ref = CGImageCreate(2, 3, 8, 32, 8, space, info, data, nullptr, false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(data);
  }
  ~Image() { CGImageRelease(ref); }
};

}  // namespace

TEST(CGImages, TheFirstRowLandsAlongTheRectanglesTopEdgeScaledToFit) {
  Ctx k(8, 8);
  Image im;
  ASSERT_NE(im.ref, nullptr);
  CGContextDrawImage(k.c, CGRectMake(2, 1, 4, 6), im.ref);  // device rows 1..6: screen rows 1..6
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) {
      const bool in = x >= 2 && x < 6 && y >= 1 && y < 7;
      ASSERT_EQ(k.at(x, y, 1), in ? 10 * ((y - 1) / 2 + 1) : 0) << x << "," << y;
      ASSERT_EQ(k.at(x, y, 2), in ? 100 * ((x - 2) / 2) + 50 : 0) << x << "," << y;
    }
}

TEST(CGImages, AFlippedContextTurnsTheImageOverAndAScaleByOneMinusOneSetsItUpright) {
  Ctx flipped(4, 6), upright(4, 6);
  Image im;
  flipped.flip();
  CGContextDrawImage(flipped.c, CGRectMake(0, 0, 2, 3), im.ref);
  upright.flip();
  CGContextSaveGState(upright.c);
  CGContextScaleCTM(upright.c, 1, -1);
  CGContextDrawImage(upright.c, CGRectMake(0, -(0 + 3), 2, 3), im.ref);
  CGContextRestoreGState(upright.c);
  for (int r = 0; r < 3; r++) {
    EXPECT_EQ(upright.at(0, r), 10 * (r + 1)) << r;
    EXPECT_EQ(flipped.at(0, r), 10 * (3 - r)) << r;
  }
  EXPECT_EQ(upright.at(0, 3), 0);
  EXPECT_EQ(flipped.at(0, 3), 0);
}

TEST(CGImages, StraightAlphaBlendsAndASkippedByteIsIgnored) {
  Ctx k(2, 3);
  CGContextSetRGBFillColor(k.c, 0, 0, 1, 1);
  CGContextFillRect(k.c, CGRectMake(0, 0, 2, 3));
  Image half(kCGImageAlphaFirst, 128), skipped(kCGImageAlphaNoneSkipFirst, 0), clear(kCGImageAlphaFirst, 0);
  CGContextDrawImage(k.c, CGRectMake(0, 0, 2, 3), clear.ref);
  EXPECT_EQ(k.at(1, 0, 3), 255);
  CGContextDrawImage(k.c, CGRectMake(0, 0, 2, 3), half.ref);
  EXPECT_NEAR(k.at(1, 0, 2), 150 * 128 / 255.0, 1);
  EXPECT_NEAR(k.at(1, 0, 3), 255 * 127 / 255.0, 1);
  CGContextDrawImage(k.c, CGRectMake(0, 0, 2, 3), skipped.ref);
  EXPECT_EQ(k.at(1, 0, 2), 150);
  EXPECT_EQ(k.at(1, 0, 3), 0);
}

TEST(CGImages, TheClipLimitsTheImage) {
  Ctx k(8, 8);
  Image im;
  CGContextClipToRect(k.c, CGRectMake(0, 0, 3, 8));
  CGContextDrawImage(k.c, CGRectMake(0, 0, 8, 8), im.ref);
  EXPECT_EQ(k.count(2), 3 * 8);
  EXPECT_EQ(k.at(3, 0, 2), 0);
}

TEST(CGImages, ImagesNeedEightBitChannelsFourBytesAPixelAndEnoughBytes) {
  uint8_t px[2 * 3 * 4] = {};
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGDataProviderRef data = CGDataProviderCreateWithData(nullptr, px, sizeof px, nullptr);
  auto make = [&](size_t w, size_t h, size_t bpc, size_t bpp, size_t rowBytes, uint32_t info,
                  CGDataProviderRef p, CGColorSpaceRef s) {
    return CGImageCreate(w, h, bpc, bpp, rowBytes, s, info, p, nullptr, false, kCGRenderingIntentDefault);
  };
  EXPECT_EQ(make(2, 3, 16, 32, 8, kCGImageAlphaFirst, data, space), nullptr);
  EXPECT_EQ(make(2, 3, 8, 24, 6, kCGImageAlphaNone, data, space), nullptr);
  EXPECT_EQ(make(2, 3, 8, 32, 7, kCGImageAlphaFirst, data, space), nullptr);  // rows shorter than the width
  EXPECT_EQ(make(2, 4, 8, 32, 8, kCGImageAlphaFirst, data, space), nullptr);  // one row past the bytes
  EXPECT_EQ(make(2, 2, 8, 32, 20, kCGImageAlphaFirst, data, space), nullptr);  // 28 bytes of 24
  EXPECT_EQ(make(2, 3, 8, 32, SIZE_MAX / 2, kCGImageAlphaFirst, data, space), nullptr);
  EXPECT_EQ(make(0, 3, 8, 32, 8, kCGImageAlphaFirst, data, space), nullptr);
  EXPECT_EQ(make(2, 3, 8, 32, 8, kCGImageAlphaPremultipliedFirst, data, space), nullptr);
  EXPECT_EQ(make(2, 3, 8, 32, 8, kCGImageAlphaFirst, nullptr, space), nullptr);
  EXPECT_EQ(make(2, 3, 8, 32, 8, kCGImageAlphaFirst, data, nullptr), nullptr);
  // The last row needs only its own pixels, not a whole row span.
  CGImageRef fits = make(1, 2, 8, 32, 16, kCGImageAlphaNoneSkipLast, data, space);
  EXPECT_NE(fits, nullptr);
  CGImageRelease(fits);
  EXPECT_EQ(CGDataProviderCreateWithData(nullptr, nullptr, 4, nullptr), nullptr);
  Ctx k(4, 4);
  CGContextDrawImage(k.c, CGRectMake(0, 0, 4, 4), nullptr);
  CGContextDrawImage(nullptr, CGRectMake(0, 0, 4, 4), nullptr);
  CGDataProviderRelease(data);
  CGColorSpaceRelease(space);
  EXPECT_EQ(k.count(), 0);
}

TEST(CGImages, EmptyOrNonFiniteRectanglesDrawNothing) {
  Ctx k(8, 8);
  Image im;
  CGContextDrawImage(k.c, CGRectMake(0, 0, 0, 8), im.ref);
  CGContextDrawImage(k.c, CGRectMake(0, 0, 8, -8), im.ref);
  CGContextDrawImage(k.c, CGRectMake(NAN, 0, 8, 8), im.ref);
  CGContextDrawImage(k.c, CGRectMake(0, 0, INFINITY, 8), im.ref);
  EXPECT_EQ(k.count(2), 0);
  CGContextDrawImage(k.c, CGRectMake(-1e12, -1e12, 2e12, 2e12), im.ref);
  EXPECT_EQ(k.count(2), 8 * 8) << "a huge rectangle covers what is visible";
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
