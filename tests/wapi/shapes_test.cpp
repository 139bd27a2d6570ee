// Shapes, lines, pixels, system colours, stretched copies, image objects and image lists over
// memory contexts.
#include <gtest/gtest.h>

#include <png.h>

#include <array>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-imagelist.h"
#include "kit/wapi/wapi-shapes.h"
#include "support/tempdir.h"

namespace {

// A memory context of w x h with accessors for its red, green and blue bytes.
class Canvas {
 public:
  Canvas(int w, int h, bool antialias = true) : w_(w), h_(h), dc_(WAPI_CreateMemContext(nullptr, w, h)) {
    if (!antialias) CGContextSetShouldAntialias(WAPI_GetCtxGC(dc_), false);
  }
  ~Canvas() { WAPI_DeleteGfxContext(dc_); }
  HDC dc() const { return dc_; }
  uint8_t* px(int x, int y) const { return static_cast<uint8_t*>(WAPI_GetCtxFrameBuffer(dc_)) + (size_t(y) * w_ + x) * 4; }
  int red(int x, int y) const { return px(x, y)[1]; }
  int green(int x, int y) const { return px(x, y)[2]; }
  int blue(int x, int y) const { return px(x, y)[3]; }
  int count(int (Canvas::*ch)(int, int) const) const {
    int n = 0;
    for (int y = 0; y < h_; y++)
      for (int x = 0; x < w_; x++) n += (this->*ch)(x, y) != 0;
    return n;
  }
  int w() const { return w_; }
  int h() const { return h_; }

 private:
  int w_, h_;
  HDC dc_;
};

// Selects an object for the canvas's lifetime of the test and deletes it afterwards.
struct Selected {
  HGDIOBJ obj;
  Selected(HDC dc, HGDIOBJ o) : obj(o) { SelectObject(dc, o); }
  ~Selected() { DeleteObject(obj); }
};

struct Probe {
  int x, y, want;
};
// Checks one channel at each probe, naming the probe that fails.
void expectPixels(const Canvas& c, int (Canvas::*ch)(int, int) const, std::initializer_list<Probe> probes) {
  for (const Probe& p : probes) EXPECT_EQ((c.*ch)(p.x, p.y), p.want) << "pixel " << p.x << "," << p.y;
}

// Draws an image object over the whole canvas.
void drawImage(const Canvas& c, HGDIOBJ im) {
  RECT r{0, 0, c.w(), c.h()};
  DrawImageInRect(c.dc(), im, &r);
}

// GetObject's answer for an image and the width and height it reports.
std::array<int32_t, 3> sizeOf(HGDIOBJ im) {
  int32_t wh[2] = {-1, -1};
  const int32_t ok = GetObject(im, 8, wh);
  return {ok, wh[0], wh[1]};
}

// The current position, read by moving back to the origin.
std::pair<int, int> takePosition(HDC dc) {
  POINT prev{-1, -1};
  MoveToEx(dc, 0, 0, &prev);
  return {int(prev.x), int(prev.y)};
}

// Signed distances (scaled) of a point from the octagon (0,3) (3,0) (27,0) (30,3) (30,27) (27,30)
// (3,30) (0,27): the smallest one, positive inside, zero on an edge.
double octagonMargin(double x, double y) {
  const double m[8] = {x, y, 30 - x, 30 - y, x + y - 3, (30 - x) + y - 3, x + (30 - y) - 3, (30 - x) + (30 - y) - 3};
  double v = m[0];
  for (double d : m) v = d < v ? d : v;
  return v;
}

TEST(ShapesFill, RoundRectFillsTheOctagonThatCutsCornersAtAThird) {
  Canvas c(40, 40, false);
  Selected b(c.dc(), CreateSolidBrush(0xFF0000));
  RoundRect(c.dc(), 0, 0, 30, 30, 9, 9);
  for (int y = 0; y < 40; y++)
    for (int x = 0; x < 40; x++) {
      const double m = octagonMargin(x + 0.5, y + 0.5);
      if (m == 0) continue;  // centre exactly on a cut edge: either answer is right
      ASSERT_EQ(c.red(x, y), m > 0 ? 255 : 0) << x << "," << y;
    }
}

TEST(ShapesFill, PolygonWithBrushOnlyFillsAndWithPenOnlyStrokes) {
  Canvas filled(20, 20, false), stroked(20, 20, false);
  const POINT tri[3] = {{2, 2}, {17, 2}, {2, 17}};
  {
    Selected b(filled.dc(), CreateSolidBrush(0x00FF00));
    WAPI_Polygon(filled.dc(), tri, 3);
  }
  {
    Selected p(stroked.dc(), CreatePen(0, 2, 0x0000FF));
    WAPI_Polygon(stroked.dc(), tri, 3);
  }
  expectPixels(filled, &Canvas::green, {{5, 5, 255}, {15, 15, 0}});  // interior; beyond the hypotenuse
  // No fill; the top edge; the stroked path is not closed back to the start.
  expectPixels(stroked, &Canvas::blue, {{5, 5, 0}, {8, 2, 255}, {2, 8, 0}});
  EXPECT_EQ(filled.count(&Canvas::blue), 0);
}

TEST(ShapesFill, NothingIsDrawnWithoutAUsablePenOrBrushOrForBadArguments) {
  Canvas c(20, 20);
  const POINT tri[3] = {{2, 2}, {17, 2}, {2, 17}};
  WAPI_Polygon(c.dc(), tri, 3);  // nothing selected
  SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
  SelectObject(c.dc(), GetStockObject(NULL_PEN));
  WAPI_Polygon(c.dc(), tri, 3);
  Rectangle(c.dc(), 1, 1, 10, 10);
  Ellipse(c.dc(), 1, 1, 10, 10);
  Selected b(c.dc(), CreateSolidBrush(0xFFFFFF));
  WAPI_Polygon(c.dc(), tri, 1);
  WAPI_Polygon(c.dc(), nullptr, 3);
  WAPI_Polygon(nullptr, tri, 3);
  Rectangle(nullptr, 1, 1, 10, 10);
  EXPECT_EQ(c.count(&Canvas::red), 0);
}

TEST(ShapesStroke, RectangleStrokesOneWideForWidthOneAndThreeWideForWidthThree) {
  for (int width : {0, 1, 3}) {
    Canvas c(30, 30, false);
    Selected p(c.dc(), CreatePen(0, width, 0xFF0000));
    Rectangle(c.dc(), 5, 5, 25, 25);
    // Walk across row 15 from the left and count stroked pixels around the left edge.
    int n = 0;
    for (int x = 0; x < 12; x++) n += c.red(x, 15) != 0;
    EXPECT_EQ(n, width == 3 ? 3 : 1) << width;
    EXPECT_EQ(c.red(15, 15), 0) << "no brush, no fill";
  }
}

TEST(ShapesStroke, PolyPolylineSkipsAPointForCountOneAndNoneForCountZero) {
  Canvas c(40, 40, false);
  Selected p(c.dc(), CreatePen(0, 1, 0xFFFFFF));
  const POINT pts[5] = {{2, 5}, {30, 5}, {20, 20}, {2, 30}, {30, 30}};
  const int counts[4] = {2, 0, 1, 2};
  PolyPolyline(c.dc(), pts, counts, 4);
  // With the half-pixel shift a one-wide pen covers exactly rows 5 and 30.
  for (int x = 2; x < 30; x++) {
    EXPECT_EQ(c.red(x, 5), 255) << x;
    EXPECT_EQ(c.red(x, 30), 255) << x;
  }
  EXPECT_EQ(c.count(&Canvas::red), 2 * 28);  // point 2 joins nothing
}

TEST(ShapesStroke, LineToStrokesFromTheCurrentPositionAndMovesIt) {
  Canvas c(30, 30, false);
  Selected p(c.dc(), CreatePen(0, 2, 0x0000FF));
  EXPECT_EQ(takePosition(c.dc()), std::make_pair(0, 0));
  MoveToEx(c.dc(), 4, 10, nullptr);
  WAPI_LineTo(c.dc(), 20, 10);
  // Width 2 shifted by 1: rows 10 and 11 from column 5 to 20.
  expectPixels(c, &Canvas::blue, {{10, 10, 255}, {10, 11, 255}, {10, 9, 0}, {10, 12, 0}});
  EXPECT_EQ(takePosition(c.dc()), std::make_pair(20, 10));
}

TEST(ShapesStroke, BezierNeedsThreePointsAndEndsAtTheLastOne) {
  Canvas c(40, 40);
  Selected p(c.dc(), CreatePen(0, 1, 0xFFFFFF));
  MoveToEx(c.dc(), 2, 30, nullptr);
  const POINT ctl[3] = {{10, 2}, {30, 2}, {38, 30}};
  PolyBezierTo(c.dc(), ctl, 2);
  EXPECT_EQ(c.count(&Canvas::red), 0);
  PolyBezierTo(c.dc(), ctl, 3);
  EXPECT_GT(c.red(20, 9), 0);  // the curve's top lies near y = 9
  EXPECT_EQ(c.red(20, 30), 0);
  EXPECT_EQ(takePosition(c.dc()), std::make_pair(38, 30));
}

TEST(ShapesStroke, ExtremeCoordinatesAndSizesDrawOnlyWhatIsVisible) {
  Canvas c(20, 20);
  Selected b(c.dc(), CreateSolidBrush(0x00FF00));
  Selected p(c.dc(), CreatePen(0, 3, 0xFF0000));
  Rectangle(c.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(c.green(10, 10), 255);  // the visible part is filled
  Ellipse(c.dc(), INT_MIN, -5, INT_MAX, 5);
  RoundRect(c.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MIN);
  MoveToEx(c.dc(), INT_MIN, INT_MIN, nullptr);
  WAPI_LineTo(c.dc(), INT_MAX, INT_MAX);
  const POINT far[3] = {{INT_MAX, 0}, {INT_MIN, INT_MAX}, {0, INT_MIN}};
  PolyBezierTo(c.dc(), far, 3);
  const int counts[1] = {3};
  PolyPolyline(c.dc(), far, counts, 1);
  WAPI_SetPixel(c.dc(), INT_MIN, INT_MAX, 0xFFFFFF);
  Canvas src(4, 4);
  StretchBlt(c.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, src.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0);
  StretchBlt(c.dc(), 0, 0, -5, -5, src.dc(), 0, 0, 4, 4, 0);
  BitBlt(c.dc(), INT_MAX, INT_MAX, INT_MAX, INT_MAX, src.dc(), 0, 0, 0);
}

TEST(SysColors, FixedTableAndZeroOutside) {
  const int want[][2] = {{0, 0x606060}, {1, 0xE0E0E0}, {3, 0}, {8, 0xFFF0C8}, {10, 0}, {-1, 0}};
  for (const auto& w : want) EXPECT_EQ(GetSysColor(w[0]), w[1]) << "index " << w[0];
}

// Source 10 x 10 whose pixel (x, y) has red 10 * x + 1 and green 10 * y + 1.
void paintGradient(Canvas& s) {
  for (int y = 0; y < s.h(); y++)
    for (int x = 0; x < s.w(); x++) {
      uint8_t* p = s.px(x, y);
      p[0] = 0;
      p[1] = (uint8_t)(10 * x + 1);
      p[2] = (uint8_t)(10 * y + 1);
      p[3] = 7;
    }
}

TEST(Blits, BitBltCopiesPixelsOneToOne) {
  Canvas src(10, 10), dst(20, 20);
  paintGradient(src);
  BitBlt(dst.dc(), 3, 4, 5, 6, src.dc(), 2, 1, 0);
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 20; x++) {
      const bool in = x >= 3 && x < 8 && y >= 4 && y < 10;
      ASSERT_EQ(dst.red(x, y), in ? 10 * (x - 3 + 2) + 1 : 0) << x << "," << y;
      ASSERT_EQ(dst.green(x, y), in ? 10 * (y - 4 + 1) + 1 : 0) << x << "," << y;
    }
}

TEST(Blits, NegativeSourceXMovesTheDestinationAndShortensTheSource) {
  Canvas src(10, 10), dst(40, 12);
  paintGradient(src);
  StretchBlt(dst.dc(), 2, 0, 20, 10, src.dc(), -5, 0, 10, 10, 0);
  // Source columns 0..4 land at 2 + 10, ten pixels wide: two destination columns each.
  for (int x = 0; x < 40; x++) {
    const bool in = x >= 12 && x < 22;
    EXPECT_EQ(dst.red(x, 3), in ? 10 * ((x - 12) / 2) + 1 : 0) << x;
  }
}

TEST(Blits, SourceRectangleIsClippedToTheSourceBitmap) {
  Canvas src(10, 10), dst(30, 30);
  paintGradient(src);
  StretchBlt(dst.dc(), 0, 0, 20, 20, src.dc(), 5, 5, 10, 10, 0);  // only 5 x 5 source pixels exist
  // The destination is scaled to 20 * 5 / 10 = 10 pixels each way.
  expectPixels(dst, &Canvas::red, {{0, 0, 51}, {9, 9, 10 * 9 + 1}, {10, 0, 0}, {0, 10, 0}});
}

TEST(Blits, OnlyMemoryContextsWithAPositiveSourceSizeAreCopied) {
  Canvas src(10, 10), dst(10, 10);
  paintGradient(src);
  StretchBlt(dst.dc(), 0, 0, 5, 5, src.dc(), 0, 0, 0, 5, 0);
  StretchBlt(dst.dc(), 0, 0, 5, 5, src.dc(), 10, 0, 5, 5, 0);
  StretchBlt(dst.dc(), 0, 0, 5, 5, nullptr, 0, 0, 5, 5, 0);
  HDC borrowed = WAPI_CreateGfxContext(WAPI_GetCtxGC(src.dc()));
  StretchBlt(dst.dc(), 0, 0, 5, 5, borrowed, 0, 0, 5, 5, 0);
  WAPI_DeleteGfxContext(borrowed);
  EXPECT_EQ(dst.count(&Canvas::red), 0);
}

TEST(Blits, DeadBeefModeTakesTheSkippedByteAsAlpha) {
  Canvas src(4, 4), dst(4, 4);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) {
      uint8_t* p = src.px(x, y);
      p[0] = x == 0 ? 0 : x == 1 ? 255 : 128;
      p[1] = 200;
      p[2] = p[3] = 0;
    }
  StretchBlt(dst.dc(), 0, 0, 4, 4, src.dc(), 0, 0, 4, 4, (int)0xDEADBEEF);
  EXPECT_EQ(dst.red(0, 0), 0);    // transparent
  EXPECT_EQ(dst.red(1, 0), 200);  // opaque
  EXPECT_NEAR(dst.red(2, 0), 100, 1);
  Canvas opaque(4, 4);
  StretchBlt(opaque.dc(), 0, 0, 4, 4, src.dc(), 0, 0, 4, 4, 0);
  EXPECT_EQ(opaque.red(0, 0), 200);
}

TEST(Images, CreateBitmapReadsRowsAtTheirRealSizeAndReportsItsSize) {
  // 3 x 2 at 24 bits: rows of 9 bytes, not 12.
  const uint8_t rgb[18] = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0, 50, 0, 0, 60, 0, 0};
  HGDIOBJ bm = CreateBitmap(3, 2, 1, 24, rgb);
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(sizeOf(bm), (std::array<int32_t, 3>{1, 3, 2}));
  Canvas c(3, 2);
  drawImage(c, bm);
  expectPixels(c, &Canvas::red, {{0, 0, 10}, {2, 0, 30}, {0, 1, 40}, {2, 1, 60}});
  uint8_t big[12];
  memset(big, 0xAB, sizeof big);
  EXPECT_EQ(GetObject(bm, 12, big), 0);
  for (uint8_t v : big) EXPECT_EQ(v, 0);
  DeleteObject(bm);
}

TEST(Images, UnsupportedDepthsAndEmptySizesGiveNoBitmap) {
  const uint8_t px[64] = {};
  EXPECT_EQ(CreateBitmap(2, 2, 1, 16, px), nullptr);
  EXPECT_EQ(CreateBitmap(0, 2, 1, 32, px), nullptr);
  EXPECT_EQ(CreateBitmap(2, -1, 1, 32, px), nullptr);
  EXPECT_EQ(CreateBitmap(2, 2, 1, 32, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(100000, 100000, 1, 32, px), nullptr);
}

TEST(Images, IconSharesTheColourBitmapsImage) {
  const uint8_t argb[4] = {255, 1, 2, 3};
  HGDIOBJ bm = CreateBitmap(1, 1, 1, 32, argb);
  ICONINFO info{1, 0, 0, nullptr, bm};
  HGDIOBJ icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(GetNSImageFromHICON(icon), GetNSImageFromHICON(bm));
  DeleteObject(bm);  // the icon keeps the image alive
  Canvas c(2, 2);
  drawImage(c, icon);
  EXPECT_EQ(c.red(1, 1), 1);
  EXPECT_EQ(c.blue(0, 0), 3);
  DeleteObject(icon);
  ICONINFO notIcon{0, 0, 0, nullptr, nullptr};
  EXPECT_EQ(CreateIconIndirect(&notIcon), nullptr);
  EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
}

TEST(Images, NamedFileLoadsWithMagentaKeyedOutOnRequest) {
  // 2 x 1 PNG: a magenta pixel and a green one.
  const uint8_t rgba[8] = {255, 0, 255, 255, 0, 200, 0, 255};
  png_image img;
  memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = 2;
  img.height = 1;
  img.format = PNG_FORMAT_RGBA;
  testsupport::TempDir dir;
  const std::string path = dir.file("named.png");
  ASSERT_TRUE(png_image_write_to_file(&img, path.c_str(), 0, rgba, 0, nullptr));
  for (bool key : {false, true}) {
    HGDIOBJ im = LoadNamedImage(path.c_str(), key);
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(sizeOf(im), (std::array<int32_t, 3>{1, 2, 1}));
    Canvas c(2, 1);
    drawImage(c, im);
    EXPECT_EQ(c.red(0, 0), key ? 0 : 255) << key;
    EXPECT_EQ(c.green(1, 0), 200);
    DeleteObject(im);
  }
  EXPECT_EQ(LoadNamedImage("/nonexistent/dir/none.png", false), nullptr);
  EXPECT_EQ(LoadNamedImage("no-such-resource-image", true), nullptr);
  EXPECT_EQ(LoadNamedImage(nullptr, true), nullptr);
}

TEST(ImageLists, RemovingTheSecondOfThreeLeavesAnEmptySlotAndMinusOneEmptiesTheList) {
  const uint8_t argb[4] = {255, 9, 9, 9};
  HGDIOBJ bm = CreateBitmap(1, 1, 1, 32, argb);
  HIMAGELIST list = ImageList_CreateEx();
  EXPECT_EQ(ImageList_ReplaceIcon(list, -1, bm), 0);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 7, bm), 1);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 2, bm), 2);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 1, bm), 1);  // replaces
  EXPECT_EQ(ImageList_GetImageCount(list), 3);
  EXPECT_EQ(ImageList_Remove(list, 1), 1);
  EXPECT_EQ(ImageList_GetImageCount(list), 3);
  EXPECT_EQ(ImageList_GetIcon(list, 1), nullptr);
  EXPECT_NE(ImageList_GetIcon(list, 2), nullptr);
  EXPECT_EQ(ImageList_Remove(list, 3), 0);
  EXPECT_EQ(ImageList_Remove(list, -1), 1);
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 0, nullptr), -1);
  EXPECT_EQ(ImageList_ReplaceIcon(nullptr, 0, bm), -1);
  ImageList_ReplaceIcon(list, 0, bm);
  ImageList_Destroy(list);
  DeleteObject(bm);
}

}  // namespace
