// Shapes borrow the context's colours, line width and path only for their own drawing: what
// the context held before is what it holds afterwards.
#include <gtest/gtest.h>

#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-shapes.h"

namespace {

struct Surface {
  int w, h;
  HDC dc;
  Surface(int w_, int h_) : w(w_), h(h_), dc(WAPI_CreateMemContext(nullptr, w_, h_)) {
    CGContextSetShouldAntialias(WAPI_GetCtxGC(dc), false);
  }
  ~Surface() { WAPI_DeleteGfxContext(dc); }
  const uint8_t* px(int x, int y) const {
    return static_cast<const uint8_t*>(WAPI_GetCtxFrameBuffer(dc)) + (size_t(y) * w + x) * 4;
  }
};

}  // namespace

TEST(ShapesState, AnEllipseAfterAWidePolygonIsStillStrokedOneWide) {
  Surface s(40, 40);
  HGDIOBJ wide = CreatePen(0, 5, 0xFF0000);
  SelectObject(s.dc, wide);
  const POINT far[2] = {{0, 39}, {1, 39}};
  WAPI_Polygon(s.dc, far, 2);  // sets a 5-wide line for its own stroke
  Ellipse(s.dc, 5, 5, 35, 35);
  // Across the middle row the ring is crossed twice, one pixel each time.
  int n = 0;
  for (int x = 0; x < 40; x++) n += s.px(x, 20)[1] != 0;
  EXPECT_EQ(n, 2);
  DeleteObject(wide);
}

TEST(ShapesState, TheContextsFillColourAndPathSurviveShapeDrawing) {
  Surface s(20, 20);
  CGContextRef gc = WAPI_GetCtxGC(s.dc);
  CGContextSetRGBFillColor(gc, 0, 0, 1, 1);
  HGDIOBJ brush = CreateSolidBrush(0xFF0000);
  HGDIOBJ pen = CreatePen(0, 3, 0x00FF00);
  SelectObject(s.dc, brush);
  SelectObject(s.dc, pen);
  Rectangle(s.dc, 2, 2, 8, 8);
  WAPI_SetPixel(s.dc, 15, 15, 0xFFFFFF);
  CGContextFillRect(gc, CGRectMake(12, 2, 4, 4));  // top-left coordinates: rows 2 to 5
  EXPECT_EQ(s.px(13, 3)[3], 255);
  EXPECT_EQ(s.px(13, 3)[1], 0);
  // No figure is left behind: filling "the path" now would paint the rectangle blue.
  CGContextDrawPath(gc, kCGPathFillStroke);
  EXPECT_EQ(s.px(5, 5)[1], 255);
  EXPECT_EQ(s.px(5, 5)[3], 0);
  DeleteObject(brush);
  DeleteObject(pen);
}
