// Shapes, lines, pixels, stretched copies, image objects and image lists over memory contexts.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-imagelist.h"
#include "kit/wapi/wapi-shapes.h"
#include "support/tempdir.h"

namespace {

using V = std::vector<long long>;  // results in call order
enum { R = 1, G = 2, B = 3 };

// A memory context; channel k of a pixel is byte k (1 red, 2 green, 3 blue).
struct Canvas {
  int w, h;
  HDC dc;
  Canvas(int w_, int h_, bool antialias = true) : w(w_), h(h_), dc(WAPI_CreateMemContext(nullptr, w_, h_)) {
    if (!antialias) CGContextSetShouldAntialias(WAPI_GetCtxGC(dc), false);
  }
  ~Canvas() { WAPI_DeleteGfxContext(dc); }
  uint8_t* px(int x, int y) const {
    return static_cast<uint8_t*>(WAPI_GetCtxFrameBuffer(dc)) + (size_t(y) * w + x) * 4;
  }
  long long at(int x, int y, int k = R) const { return px(x, y)[k]; }
  int count(int k = R, int row = -1) const {  // in the whole canvas or one row
    int n = 0;
    for (int i = 0; i < w * h; i++) n += (row < 0 || i / w == row) && at(i % w, i / w, k) != 0;
    return n;
  }
  void drawImage(HGDIOBJ im) const {
    RECT r{0, 0, w, h};
    DrawImageInRect(dc, im, &r);
  }
};

// Selects an object for the test and deletes it afterwards.
struct Selected {
  HGDIOBJ obj;
  Selected(HDC dc, HGDIOBJ o) : obj(o) { SelectObject(dc, o); }
  ~Selected() { DeleteObject(obj); }
};

V sizeOf(HGDIOBJ im) {
  int32_t wh[2] = {-1, -1};
  return {GetObject(im, 8, wh), wh[0], wh[1]};
}

// The current position, read by moving back to the origin.
V takePosition(HDC dc) {
  POINT prev{-1, -1};
  MoveToEx(dc, 0, 0, &prev);
  return {prev.x, prev.y};
}

}  // namespace

TEST(ShapesFill, RoundRectFillsTheOctagonThatCutsCornersAtAThird) {
  Canvas c(40, 40, false);
  Selected b(c.dc, CreateSolidBrush(0xFF0000));
  RoundRect(c.dc, 0, 0, 30, 30, 9, 9);
  // Octagon (0,3) (3,0) (27,0) (30,3) (30,27) (27,30) (3,30) (0,27): the smallest margin of a
  // pixel centre, positive inside, zero on an edge (either answer is right there).
  for (int y = 0; y < 40; y++)
    for (int x = 0; x < 40; x++) {
      const double px = x + 0.5, py = y + 0.5;
      const double m = std::min({px, py, 30 - px, 30 - py, px + py - 3, 27 - px + py, px + 27 - py, 57 - px - py});
      if (m != 0) {
        ASSERT_EQ(c.at(x, y), m > 0 ? 255 : 0) << x << "," << y;
      }
    }
}

TEST(ShapesFill, PolygonsFillWithTheBrushStrokeOpenWithThePenAndNeedOne) {
  Canvas filled(20, 20, false), stroked(20, 20, false), none(20, 20);
  const POINT tri[3] = {{2, 2}, {17, 2}, {2, 17}};
  {
    Selected b(filled.dc, CreateSolidBrush(0x00FF00));
    WAPI_Polygon(filled.dc, tri, 3);
    Selected p(stroked.dc, CreatePen(0, 2, 0x0000FF));
    WAPI_Polygon(stroked.dc, tri, 3);
  }
  EXPECT_EQ((V{filled.at(5, 5, G), filled.at(15, 15, G), filled.count(B)}), (V{255, 0, 0}));
  EXPECT_EQ((V{stroked.at(5, 5, B), stroked.at(8, 2, B), stroked.at(2, 8, B)}), (V{0, 255, 0})) << "not closed";
  WAPI_Polygon(none.dc, tri, 3);  // nothing selected
  SelectObject(none.dc, GetStockObject(NULL_BRUSH));
  SelectObject(none.dc, GetStockObject(NULL_PEN));
  WAPI_Polygon(none.dc, tri, 3);
  Rectangle(none.dc, 1, 1, 10, 10);
  Ellipse(none.dc, 1, 1, 10, 10);
  Selected b(none.dc, CreateSolidBrush(0xFFFFFF));
  WAPI_Polygon(none.dc, tri, 1);
  WAPI_Polygon(none.dc, nullptr, 3);
  WAPI_Polygon(nullptr, tri, 3);
  Rectangle(nullptr, 1, 1, 10, 10);
  EXPECT_EQ(none.count(), 0);
}

TEST(ShapesStroke, PenWidthsPolyPolylineCountsLineToAndBezierFollowTheirRules) {
  for (int width : {0, 1, 3}) {
    Canvas c(30, 30, false);
    Selected p(c.dc, CreatePen(0, width, 0xFF0000));
    Rectangle(c.dc, 5, 5, 25, 25);
    EXPECT_EQ((V{c.count(R, 15), c.at(15, 15)}), (V{width == 3 ? 6 : 2, 0})) << "no brush, no fill; " << width;
  }
  Canvas c(40, 40, false);
  Selected p(c.dc, CreatePen(0, 1, 0xFFFFFF));
  const POINT pts[5] = {{2, 5}, {30, 5}, {20, 20}, {2, 30}, {30, 30}};
  const int counts[4] = {2, 0, 1, 2};  // point 2 joins nothing
  PolyPolyline(c.dc, pts, counts, 4);
  // With the half-pixel shift a one-wide pen covers exactly rows 5 and 30.
  for (int x = 2; x < 30; x++) EXPECT_EQ(c.at(x, 5) & c.at(x, 30), 255) << x;
  EXPECT_EQ(c.count(), 2 * 28);

  Canvas l(30, 30, false);
  Selected wide(l.dc, CreatePen(0, 2, 0x0000FF));
  EXPECT_EQ(takePosition(l.dc), (V{0, 0}));
  MoveToEx(l.dc, 4, 10, nullptr);
  WAPI_LineTo(l.dc, 20, 10);
  EXPECT_EQ((V{l.at(10, 10, B), l.at(10, 11, B), l.at(10, 9, B), l.at(10, 12, B)}), (V{255, 255, 0, 0}))
      << "shifted by 1";
  EXPECT_EQ(takePosition(l.dc), (V{20, 10}));

  Canvas z(40, 40);
  Selected thin(z.dc, CreatePen(0, 1, 0xFFFFFF));
  MoveToEx(z.dc, 2, 30, nullptr);
  const POINT ctl[3] = {{10, 2}, {30, 2}, {38, 30}};
  PolyBezierTo(z.dc, ctl, 2);
  EXPECT_EQ(z.count(), 0) << "a curve needs three points";
  PolyBezierTo(z.dc, ctl, 3);
  EXPECT_GT(z.at(20, 9), 0);  // the curve's top lies near y = 9
  EXPECT_EQ(z.at(20, 30), 0);
  EXPECT_EQ(takePosition(z.dc), (V{38, 30}));
}

TEST(ShapesStroke, ExtremeCoordinatesAndSizesDrawOnlyWhatIsVisible) {
  Canvas c(20, 20), src(4, 4);
  Selected b(c.dc, CreateSolidBrush(0x00FF00));
  Selected p(c.dc, CreatePen(0, 3, 0xFF0000));
  Rectangle(c.dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(c.at(10, 10, G), 255);
  Ellipse(c.dc, INT_MIN, -5, INT_MAX, 5);
  RoundRect(c.dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MIN);
  MoveToEx(c.dc, INT_MIN, INT_MIN, nullptr);
  WAPI_LineTo(c.dc, INT_MAX, INT_MAX);
  const POINT far[3] = {{INT_MAX, 0}, {INT_MIN, INT_MAX}, {0, INT_MIN}};
  PolyBezierTo(c.dc, far, 3);
  const int counts[1] = {3};
  PolyPolyline(c.dc, far, counts, 1);
  WAPI_SetPixel(c.dc, INT_MIN, INT_MAX, 0xFFFFFF);
  StretchBlt(c.dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, src.dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0);
  StretchBlt(c.dc, 0, 0, -5, -5, src.dc, 0, 0, 4, 4, 0);
  BitBlt(c.dc, INT_MAX, INT_MAX, INT_MAX, INT_MAX, src.dc, 0, 0, 0);
  EXPECT_EQ((V{GetSysColor(8), GetSysColor(-1), GetSysColor(10)}), (V{0xFFF0C8, 0, 0})) << "zero outside the table";
}

TEST(ShapesState, ShapesLeaveTheContextsColoursLineWidthAndPathAsTheyFoundThem) {
  Canvas s(40, 40, false);
  CGContextRef gc = WAPI_GetCtxGC(s.dc);
  CGContextSetRGBFillColor(gc, 0, 0, 1, 1);
  {
    Selected wide(s.dc, CreatePen(0, 5, 0xFF0000));
    const POINT far[2] = {{0, 39}, {1, 39}};
    WAPI_Polygon(s.dc, far, 2);  // sets a 5-wide line for its own stroke
    Ellipse(s.dc, 5, 5, 35, 35);
  }
  EXPECT_EQ(s.count(R, 20), 2) << "the ring crosses the middle row one pixel wide, twice";
  Selected brush(s.dc, CreateSolidBrush(0xFF0000));
  Selected pen(s.dc, CreatePen(0, 3, 0x00FF00));
  Rectangle(s.dc, 2, 2, 8, 8);
  WAPI_SetPixel(s.dc, 15, 15, 0xFFFFFF);
  CGContextFillRect(gc, CGRectMake(12, 2, 4, 4));
  // No figure is left behind: filling "the path" now would paint the rectangle blue.
  CGContextDrawPath(gc, kCGPathFillStroke);
  EXPECT_EQ((V{s.at(13, 3, B), s.at(13, 3, R), s.at(5, 5, R), s.at(5, 5, B)}), (V{255, 0, 255, 0}));
}

TEST(Blits, CopiesAreClippedToTheSourceAndScaledAndDeadBeefTakesTheSkippedByteAsAlpha) {
  Canvas src(10, 10), one(4, 4), neg(40, 12), clip(30, 30), dst(10, 10);
  for (int i = 0; i < 100; i++)
    memcpy(src.px(i % 10, i / 10),
           std::array<uint8_t, 4>{0, uint8_t(i % 10 * 10 + 1), uint8_t(i / 10 * 10 + 1), 7}.data(), 4);
  // A negative source x moves the destination and shortens the source: columns 0..4 land at 12, two columns each.
  StretchBlt(neg.dc, 2, 0, 20, 10, src.dc, -5, 0, 10, 10, 0);
  EXPECT_EQ((V{neg.at(11, 3), neg.at(12, 3), neg.at(13, 3), neg.at(14, 3), neg.at(21, 3), neg.at(22, 3)}),
            (V{0, 1, 1, 11, 41, 0}));
  // Only 5 x 5 source pixels exist: the destination is scaled to 10 pixels each way.
  StretchBlt(clip.dc, 0, 0, 20, 20, src.dc, 5, 5, 10, 10, 0);
  EXPECT_EQ((V{clip.at(0, 0), clip.at(9, 9), clip.at(10, 0), clip.at(0, 10)}), (V{51, 91, 0, 0}));
  // Only memory contexts with a positive source size are copied.
  StretchBlt(dst.dc, 0, 0, 5, 5, src.dc, 0, 0, 0, 5, 0);
  StretchBlt(dst.dc, 0, 0, 5, 5, src.dc, 10, 0, 5, 5, 0);
  StretchBlt(dst.dc, 0, 0, 5, 5, nullptr, 0, 0, 5, 5, 0);
  HDC borrowed = WAPI_CreateGfxContext(WAPI_GetCtxGC(src.dc));
  StretchBlt(dst.dc, 0, 0, 5, 5, borrowed, 0, 0, 5, 5, 0);
  WAPI_DeleteGfxContext(borrowed);
  EXPECT_EQ(dst.count(), 0);
  const uint8_t alpha[3] = {0, 255, 128};
  for (int x = 0; x < 3; x++) memcpy(src.px(x, 0), std::array<uint8_t, 4>{alpha[x], 200, 0, 0}.data(), 4);
  StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 4, 4, (int)0xDEADBEEF);
  EXPECT_EQ((V{dst.at(0, 0), dst.at(1, 0)}), (V{0, 200}));
  EXPECT_NEAR(dst.at(2, 0), 100, 1);
  StretchBlt(one.dc, 0, 0, 4, 4, src.dc, 0, 0, 4, 4, 0);
  EXPECT_EQ(one.at(0, 0), 200) << "other modes copy opaque";
}

TEST(Images, BitmapsReadRowsAtTheirRealSizeIconsShareThemAndImageListsKeepSlots) {
  // 3 x 2 at 24 bits: rows of 9 bytes, not 12.
  const uint8_t rgb[18] = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0, 50, 0, 0, 60, 0, 0};
  HGDIOBJ bm = CreateBitmap(3, 2, 1, 24, rgb);
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(sizeOf(bm), (V{1, 3, 2}));
  Canvas c(3, 2);
  c.drawImage(bm);
  EXPECT_EQ((V{c.at(0, 0), c.at(2, 0), c.at(0, 1), c.at(2, 1)}), (V{10, 30, 40, 60}));
  uint8_t big[12];
  memset(big, 0xAB, sizeof big);
  EXPECT_EQ(GetObject(bm, 12, big), 0);
  EXPECT_EQ(std::string(big, big + 12), std::string(12, '\0'));
  DeleteObject(bm);
  const uint8_t px[64] = {};
  const int refused[][4] = {{2, 2, 16, 1}, {0, 2, 32, 1}, {2, -1, 32, 1}, {2, 2, 32, 0}, {100000, 100000, 32, 1}};
  for (const auto& r : refused)
    EXPECT_EQ(CreateBitmap(r[0], r[1], 1, r[2], r[3] ? px : nullptr), nullptr) << r[0] << "x" << r[2];
  // Icons share the colour bitmap's image; image lists keep their slots.
  const uint8_t argb[4] = {255, 1, 2, 3};
  bm = CreateBitmap(1, 1, 1, 32, argb);
  ICONINFO info{1, 0, 0, nullptr, bm}, notIcon{0, 0, 0, nullptr, nullptr};
  HGDIOBJ icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(GetNSImageFromHICON(icon), GetNSImageFromHICON(bm));
  EXPECT_EQ(CreateIconIndirect(&notIcon) || CreateIconIndirect(nullptr), false);
  HIMAGELIST list = ImageList_CreateEx();
  // Appended, past the end appended, replaced.
  EXPECT_EQ((V{ImageList_ReplaceIcon(list, -1, bm), ImageList_ReplaceIcon(list, 7, bm),
               ImageList_ReplaceIcon(list, 2, bm), ImageList_ReplaceIcon(list, 1, bm)}),
            (V{0, 1, 2, 1}));
  DeleteObject(bm);  // the icon and the list keep the image
  Canvas d(2, 2);
  d.drawImage(icon);
  EXPECT_EQ((V{d.at(1, 1), d.at(0, 0, B)}), (V{1, 3}));
  DeleteObject(icon);
  // Removing leaves an empty slot; -1 empties the list.
  EXPECT_EQ((V{ImageList_GetImageCount(list), ImageList_Remove(list, 1), ImageList_GetImageCount(list),
               ImageList_GetIcon(list, 1) != nullptr, ImageList_GetIcon(list, 2) != nullptr, ImageList_Remove(list, 3),
               ImageList_Remove(list, -1), ImageList_GetImageCount(list), ImageList_ReplaceIcon(list, 0, nullptr),
               ImageList_ReplaceIcon(nullptr, 0, bm)}),
            (V{3, 1, 3, 0, 1, 0, 1, 0, -1, -1}));
  ImageList_Destroy(list);
}

TEST(Images, NamedFileLoadsWithMagentaKeyedOutOnRequest) {
  const uint8_t rgba[8] = {255, 0, 255, 255, 0, 200, 0, 255};  // magenta, green
  png_image img{};
  img.version = PNG_IMAGE_VERSION, img.width = 2, img.height = 1, img.format = PNG_FORMAT_RGBA;
  testsupport::TempDir dir;
  const std::string path = dir.file("named.png");
  ASSERT_TRUE(png_image_write_to_file(&img, path.c_str(), 0, rgba, 0, nullptr));
  for (bool key : {false, true}) {
    HGDIOBJ im = LoadNamedImage(path.c_str(), key);
    ASSERT_NE(im, nullptr);
    Canvas c(2, 1);
    c.drawImage(im);
    EXPECT_EQ(sizeOf(im), (V{1, 2, 1}));
    EXPECT_EQ((V{c.at(0, 0), c.at(1, 0, G)}), (V{key ? 0 : 255, 200})) << key;
    DeleteObject(im);
  }
  for (const char* name : {"/nonexistent/dir/none.png", "no-such-resource-image", static_cast<const char*>(nullptr)})
    EXPECT_EQ(LoadNamedImage(name, true), nullptr);
}
