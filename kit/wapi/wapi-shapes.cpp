// Shapes, lines, pixels and blits of the device-context layer: each builds a CoreGraphics path
// or image and has the context draw it with the selected pen and brush.
#include "kit/wapi/wapi-shapes.h"

#include <cstdint>

#include "kit/wapi/wapi-gdi-internal.h"

namespace {

bool usablePen(const GDP_OBJECT* o) { return wapiDraws(o, WAPI_GDI_PEN); }
bool usableBrush(const GDP_OBJECT* o) { return wapiDraws(o, WAPI_GDI_BRUSH); }
bool liveCtx(HDC ctx) { return wapiValidCtx(ctx) && ctx->ctx; }

// Fills with the brush and strokes with the pen that are usable, as the current path allows.
// The colours and line width are set inside a saved state, so one shape leaves nothing behind
// for the next (an ellipse is always stroked at the context's own line width). A width of 0
// keeps the context's line width.
void drawPath(HDC ctx, bool brush, bool pen, int lineWidth) {
  CGContextRef cg = ctx->ctx;
  CGContextSaveGState(cg);
  if (brush) CGContextSetFillColorWithColor(cg, ctx->curBrush->color);
  if (pen) {
    CGContextSetStrokeColorWithColor(cg, ctx->curPen->color);
    if (lineWidth > 0) CGContextSetLineWidth(cg, lineWidth);
  }
  CGContextDrawPath(cg, brush && pen ? kCGPathFillStroke : pen ? kCGPathStroke : kCGPathFill);
  CGContextRestoreGState(cg);
}

int penWidth(const GDP_OBJECT* pen) { return pen->width > 0 ? pen->width : 1; }

const int kSysColors[10] = {0x606060, 0xE0E0E0, 0xC0C0C0, 0x000000, 0xC0C0C0,
                            0x202020, 0x303030, 0xC0C0C0, 0xFFF0C8, 0x000000};

}  // namespace

void WAPI_Polygon(HDC ctx, const POINT* points, int count) {
  if (!liveCtx(ctx) || !points || count < 2) return;
  const bool brush = usableBrush(ctx->curBrush), pen = usablePen(ctx->curPen);
  if (!brush && !pen) return;
  CGContextBeginPath(ctx->ctx);
  CGContextMoveToPoint(ctx->ctx, (float)points[0].x, (float)points[0].y);
  for (int i = 1; i < count; i++) CGContextAddLineToPoint(ctx->ctx, (float)points[i].x, (float)points[i].y);
  drawPath(ctx, brush, pen, pen ? penWidth(ctx->curPen) : 0);
}

void RoundRect(HDC ctx, int left, int top, int right, int bottom, int ew, int eh) {
  const long long w3 = ew / 3, h3 = eh / 3;
  // Corners far out saturate instead of wrapping round to the other side.
  auto at = [](long long v) { return (int32_t)(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v); };
  const long long l = left, t = top, r = right, b = bottom;
  const POINT p[10] = {{left, at(t + h3)},  {at(l + w3), top},    {at(r - w3), top},    {right, at(t + h3)},
                       {right, at(b - h3)}, {at(r - w3), bottom}, {at(l + w3), bottom}, {left, at(b - h3)},
                       {left, at(t + h3)},  {at(l + w3), top}};
  WAPI_Polygon(ctx, p, 10);
}

void Ellipse(HDC ctx, int left, int top, int right, int bottom) {
  if (!liveCtx(ctx)) return;
  const bool brush = usableBrush(ctx->curBrush), pen = usablePen(ctx->curPen);
  if (!brush && !pen) return;
  CGContextBeginPath(ctx->ctx);
  CGContextAddEllipseInRect(ctx->ctx, CGRectMake(left, top, (double)right - left, (double)bottom - top));
  drawPath(ctx, brush, pen, 0);
}

void Rectangle(HDC ctx, int left, int top, int right, int bottom) {
  if (!liveCtx(ctx)) return;
  const bool brush = usableBrush(ctx->curBrush), pen = usablePen(ctx->curPen);
  if (!brush && !pen) return;
  CGContextBeginPath(ctx->ctx);
  CGContextAddRect(ctx->ctx, CGRectMake(left, top, (double)right - left, (double)bottom - top));
  drawPath(ctx, brush, pen, pen ? (ctx->curPen->width < 2 ? 1 : ctx->curPen->width) : 0);
}

void MoveToEx(HDC ctx, int x, int y, POINT* previous) {
  if (!wapiValidCtx(ctx)) return;
  if (previous) {
    previous->x = (int)ctx->lastPosX;
    previous->y = (int)ctx->lastPosY;
  }
  ctx->lastPosX = (float)x;
  ctx->lastPosY = (float)y;
}

void WAPI_LineTo(HDC ctx, int x, int y) {
  if (!liveCtx(ctx)) return;
  if (usablePen(ctx->curPen)) {
    const int w = penWidth(ctx->curPen);
    const double sh = w / 2;
    CGContextBeginPath(ctx->ctx);
    CGContextMoveToPoint(ctx->ctx, ctx->lastPosX + sh, ctx->lastPosY + sh);
    CGContextAddLineToPoint(ctx->ctx, x + sh, y + sh);
    drawPath(ctx, false, true, w);
  }
  ctx->lastPosX = (float)x;
  ctx->lastPosY = (float)y;
}

void PolyBezierTo(HDC ctx, const POINT* points, int count) {
  if (!liveCtx(ctx) || !points || count < 3 || !usablePen(ctx->curPen)) return;
  CGContextBeginPath(ctx->ctx);
  CGContextMoveToPoint(ctx->ctx, ctx->lastPosX, ctx->lastPosY);
  for (int i = 0; i + 2 < count; i += 3) {
    CGContextAddCurveToPoint(ctx->ctx, points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, points[i + 2].x,
                             points[i + 2].y);
    ctx->lastPosX = (float)points[i + 2].x;
    ctx->lastPosY = (float)points[i + 2].y;
  }
  drawPath(ctx, false, true, penWidth(ctx->curPen));
}

void PolyPolyline(HDC ctx, const POINT* points, const int* counts, int polylineCount) {
  if (!liveCtx(ctx) || !points || !counts || polylineCount < 1 || !usablePen(ctx->curPen)) return;
  const int w = penWidth(ctx->curPen);
  const double sh = w / 2.0;
  CGContextBeginPath(ctx->ctx);
  long long at = 0;
  for (int k = 0; k < polylineCount; k++) {
    const int n = counts[k];
    if (n < 0) {
      CGContextBeginPath(ctx->ctx);  // a negative count draws none of the polylines
      return;
    }
    for (int i = 0; i < n; i++) {
      const double px = points[at + i].x + sh, py = points[at + i].y + sh;
      if (i == 0)
        CGContextMoveToPoint(ctx->ctx, px, py);
      else
        CGContextAddLineToPoint(ctx->ctx, px, py);
    }
    at += n;
  }
  // One stroke of every polyline: where they cross, the pen is laid down once.
  drawPath(ctx, false, true, w);
}

void WAPI_SetPixel(HDC ctx, int x, int y, int color) {
  if (!liveCtx(ctx)) return;
  CGColorRef c = wapiCreateColor(color, 1.0f);
  if (!c) return;
  const CGPoint diagonal[2] = {{x - 0.5, y - 0.5}, {x + 0.5, y + 0.5}};
  CGContextSaveGState(ctx->ctx);
  CGContextSetStrokeColorWithColor(ctx->ctx, c);
  CGContextSetLineWidth(ctx->ctx, 1.0);
  CGContextStrokeLineSegments(ctx->ctx, diagonal, 2);
  CGContextRestoreGState(ctx->ctx);
  CGColorRelease(c);
}

int GetSysColor(int index) { return index >= 0 && index < 10 ? kSysColors[index] : 0; }

void wapiDrawImageInRect(CGContextRef cg, CGImageRef image, double x, double y, double w, double h) {
  if (!cg || !image) return;
  // The context runs top-down; an image lands upright in the unflipped space.
  CGContextSaveGState(cg);
  CGContextScaleCTM(cg, 1, -1);
  CGContextDrawImage(cg, CGRectMake(x, -(y + h), w, h), image);
  CGContextRestoreGState(cg);
}

CGImageRef wapiCreateImage(const uint8_t* pixels, int w, int h, size_t rowBytes, CGBitmapInfo info) {
  if (!pixels || w < 1 || h < 1) return nullptr;
  CGDataProviderRef data =
      CGDataProviderCreateWithData(nullptr, pixels, (size_t)(h - 1) * rowBytes + (size_t)w * 4, nullptr);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate((size_t)w, (size_t)h, 8, 32, rowBytes, space, info, data, nullptr, false,
                                   kCGRenderingIntentDefault);
  CGColorSpaceRelease(space);
  CGDataProviderRelease(data);
  return image;
}

void BitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int mode) {
  StretchBlt(dest, x, y, w, h, source, sx, sy, w, h, mode);
}

void StretchBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int sw, int sh, int mode) {
  if (!liveCtx(dest) || !liveCtx(source) || !source->ownedAllocation || sw <= 0 || sh <= 0) return;
  const long long W = (long long)CGBitmapContextGetWidth(source->ctx), H = (long long)CGBitmapContextGetHeight(source->ctx);
  long long X = x, Y = y, SX = sx, SY = sy, SW = sw, SH = sh;
  if (SX < 0) {
    X += -SX * w / sw;
    SW = sw + SX;
    SX = 0;
  }
  if (SY < 0) {
    Y += -SY * h / sh;
    SH = sh + SY;
    SY = 0;
  }
  if (SW > W - SX) SW = W - SX;
  if (SH > H - SY) SH = H - SY;
  if (SW <= 0 || SH <= 0) return;
  const long long DW = w == sw ? SW : SW == sw ? w : (long long)w * SW / sw;
  const long long DH = h == sh ? SH : SH == sh ? h : (long long)h * SH / sh;
  const uint8_t* frame = static_cast<const uint8_t*>(WAPI_GetCtxFrameBuffer(source));
  if (!frame) return;
  const size_t rowBytes = (size_t)W * 4;
  const uint8_t* first = frame + (size_t)SY * rowBytes + (size_t)SX * 4;
  // Memory contexts store the skipped byte first, then red, green and blue.
  CGImageRef image = wapiCreateImage(first, (int)SW, (int)SH, rowBytes,
                                     mode == (int)0xDEADBEEF ? kCGImageAlphaFirst : kCGImageAlphaNoneSkipFirst);
  wapiDrawImageInRect(dest->ctx, image, (double)X, (double)Y, (double)DW, (double)DH);
  CGImageRelease(image);
}
