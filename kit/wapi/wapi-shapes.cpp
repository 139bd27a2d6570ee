// Path filling and stroking for the shape calls. The CoreGraphics stand-in offers rectangle
// fills and coverage masks only, so paths are flattened and scan-converted here into a mask
// that the context paints with its fill colour, honouring its clip and pixel format.
#include "kit/wapi/wapi-shapes.h"

#include <CoreGraphics/CGContextMask.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <vector>

#include "kit/wapi/wapi-gdi-internal.h"

namespace {

struct P2 {
  double x, y;
};
typedef std::vector<P2> Contour;

bool usablePen(const GDP_OBJECT* o) {
  return o && wapiSelectable(o) && o->type == WAPI_GDI_PEN && o->width >= 0 && o->color;
}
bool usableBrush(const GDP_OBJECT* o) {
  return o && wapiSelectable(o) && o->type == WAPI_GDI_BRUSH && o->width >= 0 && o->color;
}
bool liveCtx(HDC ctx) { return wapiValidCtx(ctx) && ctx->ctx; }

// Device pixels of the bitmap behind the context: x right, y down from the top row.
P2 toScreen(CGContextRef cg, const CGAffineTransform& m, P2 p) {
  const CGPoint d = CGPointApplyAffineTransform(CGPointMake(p.x, p.y), m);
  return P2{d.x, (double)CGBitmapContextGetHeight(cg) - d.y};
}

double signedArea(const Contour& c) {
  double a = 0;
  for (size_t i = 0; i < c.size(); i++) {
    const P2& p = c[i];
    const P2& q = c[(i + 1) % c.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return a / 2;
}

// Scan-converts the contours (user space) under the non-zero rule and paints the coverage with
// the colour. Anti-aliased with four sub-rows and exact horizontal coverage, as the context's
// anti-alias setting asks.
void fillContours(CGContextRef cg, const std::vector<Contour>& user, CGColorRef color) {
  if (!cg || !color) return;
  const CGAffineTransform m = CGContextGetCTM(cg);
  const long W = (long)CGBitmapContextGetWidth(cg), H = (long)CGBitmapContextGetHeight(cg);
  if (W <= 0 || H <= 0) return;
  std::vector<Contour> cs;
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const Contour& c : user) {
    if (c.size() < 3) continue;
    Contour s;
    for (const P2& p : c) {
      const P2 q = toScreen(cg, m, p);
      if (!std::isfinite(q.x) || !std::isfinite(q.y)) return;
      s.push_back(q);
      x0 = std::min(x0, q.x);
      y0 = std::min(y0, q.y);
      x1 = std::max(x1, q.x);
      y1 = std::max(y1, q.y);
    }
    cs.push_back(s);
  }
  if (cs.empty()) return;
  const long ix0 = std::max(0L, (long)std::floor(std::max(x0, -1.0)));
  const long iy0 = std::max(0L, (long)std::floor(std::max(y0, -1.0)));
  const long ix1 = std::min(W, (long)std::ceil(std::min(x1, (double)W + 1)));
  const long iy1 = std::min(H, (long)std::ceil(std::min(y1, (double)H + 1)));
  if (ix1 <= ix0 || iy1 <= iy0) return;
  const long mw = ix1 - ix0, mh = iy1 - iy0;
  const bool aa = QORCGContextGetShouldAntialias(cg);
  const int sub = aa ? 4 : 1;
  std::vector<uint8_t> mask((size_t)mw * (size_t)mh, 0);
  std::vector<double> acc((size_t)mw);
  struct X {
    double x;
    int dir;
  };
  std::vector<X> xs;
  for (long j = iy0; j < iy1; j++) {
    std::fill(acc.begin(), acc.end(), 0.0);
    for (int s = 0; s < sub; s++) {
      const double sy = (double)j + (s + 0.5) / sub;
      xs.clear();
      for (const Contour& c : cs)
        for (size_t i = 0; i < c.size(); i++) {
          const P2& p = c[i];
          const P2& q = c[(i + 1) % c.size()];
          if (p.y == q.y) continue;
          const double lo = std::min(p.y, q.y), hi = std::max(p.y, q.y);
          if (sy < lo || sy >= hi) continue;
          xs.push_back(X{p.x + (sy - p.y) * (q.x - p.x) / (q.y - p.y), q.y > p.y ? 1 : -1});
        }
      std::sort(xs.begin(), xs.end(), [](const X& a, const X& b) { return a.x < b.x; });
      int wind = 0;
      for (size_t k = 0; k + 1 < xs.size(); k++) {
        wind += xs[k].dir;
        if (!wind) continue;
        const double a = std::max(xs[k].x, (double)ix0), b = std::min(xs[k + 1].x, (double)ix1);
        if (b <= a) continue;
        if (aa) {
          for (long i = (long)std::floor(a); i < (long)std::ceil(b) && i < ix1; i++) {
            const double o = std::min(b, (double)i + 1) - std::max(a, (double)i);
            if (o > 0) acc[(size_t)(i - ix0)] += o / sub;
          }
        } else {
          for (long i = (long)std::ceil(a - 0.5); (double)i + 0.5 < b && i < ix1; i++)
            if (i >= ix0) acc[(size_t)(i - ix0)] = 1.0;
        }
      }
    }
    uint8_t* row = &mask[(size_t)(j - iy0) * (size_t)mw];
    for (long i = 0; i < mw; i++) row[i] = (uint8_t)std::lround(std::min(1.0, acc[(size_t)i]) * 255.0);
  }
  CGContextSaveGState(cg);
  CGContextSetFillColorWithColor(cg, color);
  QORCGContextPaintMask(cg, (int)ix0, (int)iy0, mask.data(), (int)mw, (int)mh, (int)mw);
  CGContextRestoreGState(cg);
}

// Outline of a polyline as positively oriented pieces: one quad per segment (butt ends) and a
// bevel triangle on each side of every joint, so that the non-zero rule gives their union.
void strokeContours(const std::vector<P2>& pts, bool closed, double width, std::vector<Contour>& out) {
  const double h = width / 2;
  std::vector<P2> p;
  for (const P2& q : pts)
    if (p.empty() || q.x != p.back().x || q.y != p.back().y) p.push_back(q);
  if (closed && p.size() > 2 && p.front().x == p.back().x && p.front().y == p.back().y) p.pop_back();
  const size_t n = p.size();
  if (n < 2) return;
  auto push = [&](Contour c) {
    if (signedArea(c) < 0) std::reverse(c.begin(), c.end());
    if (std::fabs(signedArea(c)) > 0) out.push_back(c);
  };
  const size_t segs = closed && n > 2 ? n : n - 1;
  std::vector<P2> normals;
  for (size_t i = 0; i < segs; i++) {
    const P2 a = p[i], b = p[(i + 1) % n];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const P2 nv{-(b.y - a.y) / len * h, (b.x - a.x) / len * h};
    normals.push_back(nv);
    push(Contour{{a.x + nv.x, a.y + nv.y}, {b.x + nv.x, b.y + nv.y}, {b.x - nv.x, b.y - nv.y}, {a.x - nv.x, a.y - nv.y}});
  }
  for (size_t i = 0; i + 1 < segs || (closed && n > 2 && i < segs); i++) {
    const P2 c = p[(i + 1) % n];
    const P2 u = normals[i], v = normals[(i + 1) % segs];
    push(Contour{c, {c.x + u.x, c.y + u.y}, {c.x + v.x, c.y + v.y}});
    push(Contour{c, {c.x - u.x, c.y - u.y}, {c.x - v.x, c.y - v.y}});
  }
}

void stroke(HDC ctx, const std::vector<P2>& pts, bool closed, double width, CGColorRef color) {
  std::vector<Contour> cs;
  strokeContours(pts, closed, width, cs);
  fillContours(ctx->ctx, cs, color);
}

// Enough straight pieces that no piece is longer than about two pixels.
int pieces(double length, int lo, int hi) {
  if (!std::isfinite(length)) return lo;
  return std::max(lo, std::min(hi, (int)std::ceil(length / 2)));
}

std::vector<P2> ellipsePoints(double l, double t, double r, double b) {
  const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
  const int n = pieces(2 * M_PI * std::max(rx, ry), 16, 4096);
  std::vector<P2> out;
  for (int i = 0; i < n; i++) {
    const double a = 2 * M_PI * i / n;
    out.push_back(P2{cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
  return out;
}

const int kSysColors[10] = {0x606060, 0xE0E0E0, 0xC0C0C0, 0x000000, 0xC0C0C0,
                            0x202020, 0x303030, 0xC0C0C0, 0xFFF0C8, 0x000000};

}  // namespace

void WAPI_Polygon(HDC ctx, const POINT* points, int count) {
  if (!liveCtx(ctx) || !points || count < 2) return;
  const bool brush = usableBrush(ctx->curBrush), pen = usablePen(ctx->curPen);
  if (!brush && !pen) return;
  std::vector<P2> pts;
  for (int i = 0; i < count; i++) pts.push_back(P2{(double)(float)points[i].x, (double)(float)points[i].y});
  if (brush) fillContours(ctx->ctx, {pts}, ctx->curBrush->color);
  if (pen) stroke(ctx, pts, false, ctx->curPen->width > 0 ? ctx->curPen->width : 1, ctx->curPen->color);
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
  const std::vector<P2> pts = ellipsePoints(left, top, right, bottom);
  if (usableBrush(ctx->curBrush)) fillContours(ctx->ctx, {pts}, ctx->curBrush->color);
  // The context's current line width is 1: no call of this layer changes it.
  if (usablePen(ctx->curPen)) stroke(ctx, pts, true, 1.0, ctx->curPen->color);
}

void Rectangle(HDC ctx, int left, int top, int right, int bottom) {
  if (!liveCtx(ctx)) return;
  const double l = left, t = top, r = right, b = bottom;
  const std::vector<P2> box = {{l, t}, {r, t}, {r, b}, {l, b}};
  if (usableBrush(ctx->curBrush)) fillContours(ctx->ctx, {box}, ctx->curBrush->color);
  if (usablePen(ctx->curPen)) stroke(ctx, box, true, ctx->curPen->width < 2 ? 1 : ctx->curPen->width, ctx->curPen->color);
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
    const int w = ctx->curPen->width > 0 ? ctx->curPen->width : 1;
    const double sh = w / 2;
    stroke(ctx, {{ctx->lastPosX + sh, ctx->lastPosY + sh}, {x + sh, y + sh}}, false, w, ctx->curPen->color);
  }
  ctx->lastPosX = (float)x;
  ctx->lastPosY = (float)y;
}

void PolyBezierTo(HDC ctx, const POINT* points, int count) {
  if (!liveCtx(ctx) || !points || count < 3 || !usablePen(ctx->curPen)) return;
  std::vector<P2> pts = {{ctx->lastPosX, ctx->lastPosY}};
  for (int i = 0; i + 2 < count; i += 3) {
    const P2 a = pts.back(), b{(double)points[i].x, (double)points[i].y},
             c{(double)points[i + 1].x, (double)points[i + 1].y}, d{(double)points[i + 2].x, (double)points[i + 2].y};
    const int n = pieces(std::hypot(b.x - a.x, b.y - a.y) + std::hypot(c.x - b.x, c.y - b.y) +
                             std::hypot(d.x - c.x, d.y - c.y),
                         4, 1024);
    for (int k = 1; k <= n; k++) {
      const double t = (double)k / n, u = 1 - t;
      pts.push_back(P2{u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
                       u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y});
    }
    ctx->lastPosX = (float)d.x;
    ctx->lastPosY = (float)d.y;
  }
  stroke(ctx, pts, false, ctx->curPen->width > 0 ? ctx->curPen->width : 1, ctx->curPen->color);
}

void PolyPolyline(HDC ctx, const POINT* points, const int* counts, int polylineCount) {
  if (!liveCtx(ctx) || !points || !counts || polylineCount < 1 || !usablePen(ctx->curPen)) return;
  const int w = ctx->curPen->width > 0 ? ctx->curPen->width : 1;
  const double sh = w / 2.0;
  std::vector<Contour> cs;
  long long at = 0;
  for (int k = 0; k < polylineCount; k++) {
    const int n = counts[k];
    if (n < 0) return;
    std::vector<P2> pts;
    for (int i = 0; i < n; i++) pts.push_back(P2{points[at + i].x + sh, points[at + i].y + sh});
    at += n;
    strokeContours(pts, false, w, cs);
  }
  fillContours(ctx->ctx, cs, ctx->curPen->color);
}

void WAPI_SetPixel(HDC ctx, int x, int y, int color) {
  if (!liveCtx(ctx)) return;
  CGColorRef c = wapiCreateColor(color, 1.0f);
  if (!c) return;
  stroke(ctx, {{x - 0.5, y - 0.5}, {x + 0.5, y + 0.5}}, false, 1.0, c);
  CGColorRelease(c);
}

int GetSysColor(int index) { return index >= 0 && index < 10 ? kSysColors[index] : 0; }

void wapiDrawPixels(CGContextRef cg, const uint8_t* pix, int w, int h, size_t rowBytes, int offA, int offR, int offG,
                    int offB, double x, double y, double dw, double dh) {
  if (!cg || !pix || w < 1 || h < 1 || !(dw > 0) || !(dh > 0)) return;
  const CGAffineTransform m = CGContextGetCTM(cg);
  if (m.b != 0 || m.c != 0 || m.a == 0 || m.d == 0) return;  // only axis-aligned contexts exist here
  const long W = (long)CGBitmapContextGetWidth(cg), H = (long)CGBitmapContextGetHeight(cg);
  const P2 a = toScreen(cg, m, P2{x, y}), b = toScreen(cg, m, P2{x + dw, y + dh});
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
  const long i0 = std::max(0L, (long)std::floor(std::max(std::min(a.x, b.x), -1.0)));
  const long i1 = std::min(W, (long)std::ceil(std::min(std::max(a.x, b.x), (double)W + 1)));
  const long j0 = std::max(0L, (long)std::floor(std::max(std::min(a.y, b.y), -1.0)));
  const long j1 = std::min(H, (long)std::ceil(std::min(std::max(a.y, b.y), (double)H + 1)));
  const uint8_t full = 255;
  CGContextSaveGState(cg);
  for (long j = j0; j < j1; j++)
    for (long i = i0; i < i1; i++) {
      // The pixel's centre back in the rectangle's own fractions.
      const double fu = ((double)i + 0.5 - a.x) / (b.x - a.x), fv = ((double)j + 0.5 - a.y) / (b.y - a.y);
      if (fu < 0 || fu >= 1 || fv < 0 || fv >= 1) continue;
      const int u = std::min(w - 1, (int)(fu * w)), v = std::min(h - 1, (int)(fv * h));
      const uint8_t* p = pix + (size_t)v * rowBytes + (size_t)u * 4;
      const double alpha = offA < 0 ? 1.0 : p[offA] / 255.0;
      if (alpha <= 0) continue;
      CGContextSetRGBFillColor(cg, p[offR] / 255.0, p[offG] / 255.0, p[offB] / 255.0, alpha);
      QORCGContextPaintMask(cg, (int)i, (int)j, &full, 1, 1, 1);
    }
  CGContextRestoreGState(cg);
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
  wapiDrawPixels(dest->ctx, first, (int)SW, (int)SH, rowBytes, mode == (int)0xDEADBEEF ? 0 : -1, 1, 2, 3,
                 (double)X, (double)Y, (double)DW, (double)DH);
}
