#include "kit/raster/rast_bezier.h"

#include <algorithm>
#include <cmath>

#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_poly.h"

namespace {

// Power-basis cubic p(t) = a t^3 + b t^2 + c t + d of one axis.
struct Cubic {
  double a, b, c, d;
  void set(double p0, double p1, double p2, double p3) {
    c = 3.0 * (p1 - p0);
    b = 3.0 * (p2 - p1) - c;
    a = (p3 - p0) - c - b;
    d = p0;
  }
  double at(double t) const { return ((a * t + b) * t + c) * t + d; }
};

struct CBezState {
  Cubic cx, cy;
  double xlo, ylo, xhi, yhi;
  double tlo, thi;
};

bool finite8(float a, float b, float c, float d, float e, float f, float g, float h) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(e) &&
         std::isfinite(f) && std::isfinite(g) && std::isfinite(h);
}

double dist(double x1, double y1, double x2, double y2) { return std::hypot(x2 - x1, y2 - y1); }

// Segment count for a parameter range and polygon length: one per tol of length, at least one,
// capped so that a huge curve or a tiny tolerance cannot run away.
int segmentCount(double trange, double length, float tol) {
  const double t = tol > 0.0f ? (double)tol : 1.0;
  const double n = trange * length / t;
  if (!(n >= 1.0)) return 1;
  if (n >= (double)RAST_BEZIER_MAX_SEGMENTS) return RAST_BEZIER_MAX_SEGMENTS;
  return (int)n;
}

// Pixel coordinates of the fills are held to +-2^29, so that the segment arithmetic (x + 1,
// differences of two ends) cannot overflow for curves far outside the bitmap.
enum { kCoordLimit = 1 << 29 };
int toInt(double v) { return RAST_SaturateInt(RAST_TruncSat(v), -kCoordLimit, kCoordLimit); }

// Shared preparation of the cubic operations; answers the segment count, 0 for nothing to draw.
int CBezPrep(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2, float yctl2,
             float xend, float yend, float tol, bool xbasis, CBezState& st) {
  if (!dest) return 0;
  if (!finite8(xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend)) return 0;
  const int W = dest->getWidth();
  if (W < 1 || dest->getHeight() < 1) return 0;

  if (xbasis ? xstart > xend : ystart > yend) {
    float t;
    t = xstart; xstart = xend; xend = t;
    t = ystart; ystart = yend; yend = t;
    t = xctl1; xctl1 = xctl2; xctl2 = t;
    t = yctl1; yctl1 = yctl2; yctl2 = t;
  }
  st.cx.set(xstart, xctl1, xctl2, xend);
  st.cy.set(ystart, yctl1, yctl2, yend);
  st.xlo = xstart;
  st.ylo = ystart;
  st.xhi = xend;
  st.yhi = yend;
  st.tlo = 0.0;
  st.thi = 1.0;

  if (st.xlo < 0.0) {
    double tHi = st.tlo;
    st.xlo = 0.0;
    st.ylo = RAST_CBezier_GetY(xstart, xctl1, xctl2, xend, ystart, yctl1, yctl2, yend, 0.0f, nullptr, nullptr,
                               nullptr, &tHi);
    st.tlo = tHi;
  }
  if (st.xhi > (double)W) {
    double tLo = st.thi;
    st.xhi = W;
    st.yhi = RAST_CBezier_GetY(xstart, xctl1, xctl2, xend, ystart, yctl1, yctl2, yend, (float)W, nullptr, nullptr,
                               &tLo, nullptr);
    st.thi = tLo;
  }
  if (xbasis ? st.xlo > st.xhi : st.ylo > st.yhi) return 0;

  const double len = dist(xstart, ystart, xctl1, yctl1) + dist(xctl1, yctl1, xctl2, yctl2) +
                     dist(xctl2, yctl2, xend, yend);
  return segmentCount(st.thi - st.tlo, len, tol);
}

int min4(int a, int b, int c, int d) { return std::min(std::min(a, b), std::min(c, d)); }
int max4(int a, int b, int c, int d) { return std::max(std::max(a, b), std::max(c, d)); }

// One step of a fill towards row yfill, columns x1..x2. The row pixel next to the fill row is
// yfill + 1 on the side above it, yfill below it.
void DoBezierFillSegment(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int yfill, RAST_PixelValue color,
                         float alpha, int mode) {
  if (x2 < x1) return;
  const int yf = y1 < yfill ? yfill + 1 : yfill;
  const int yg = y2 < yfill ? yfill + 1 : yfill;
  if (x1 == x2) {
    // A single column covers the rows the polygons below would give it, so that a step of less
    // than a pixel leaves no notch next to the wider steps around it.
    RAST_Line(dest, x1, min4(y1, y2, yf, yg), x1, max4(y1, y2, yf, yg), color, alpha, mode, false);
    return;
  }
  if ((y1 < yfill) == (y2 < yfill)) {
    const int xs[4] = {x1, x1, x2, x2};
    const int ys[4] = {y1, yf, y2, yf};
    RAST_FillConvexPolygon(dest, xs, ys, 4, color, alpha, mode);
    return;
  }
  const int xc = x1 + toInt(((double)x2 - x1) * ((double)yfill - y1) / ((double)y2 - y1));
  RAST_FillTriangle(dest, x1, y1, x1, yf, xc, yf, color, alpha, mode);
  RAST_FillTriangle(dest, xc, yg, x2, yg, x2, y2, color, alpha, mode);
}

// The same towards column xfill, rows y1..y2. Each step covers its own rows only; the next step
// starts on the row after y2, so no row is filled twice.
void DoBezierFillSegmentX(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int xfill, RAST_PixelValue color,
                          float alpha, int mode) {
  if (y2 < y1) return;
  const int xf = x1 < xfill ? xfill + 1 : xfill;
  const int xg = x2 < xfill ? xfill + 1 : xfill;
  if (y1 == y2) {
    RAST_Line(dest, min4(x1, x2, xf, xg), y1, max4(x1, x2, xf, xg), y1, color, alpha, mode, false);
    return;
  }
  if ((x1 < xfill) == (x2 < xfill)) {
    const int xs[4] = {x1, xf, x2, xf};
    const int ys[4] = {y1, y1, y2, y2};
    RAST_FillConvexPolygon(dest, xs, ys, 4, color, alpha, mode);
    return;
  }
  const int yc = y1 + toInt(((double)y2 - y1) * ((double)xfill - x1) / ((double)x2 - x1));
  RAST_FillTriangle(dest, x1, y1, xf, y1, xf, yc, color, alpha, mode);
  RAST_FillTriangle(dest, xg, yc, xg, y2, x2, y2, color, alpha, mode);
}

// Steps along the fill axis (x for row fills, y for column fills) and hands each run of new
// pixel positions to seg(along0, across0, along, across). A step that does not reach the next
// unfilled position is skipped, so every position along the axis is filled once.
template <class Seg>
void walkFill(const CBezState& st, int n, bool xmajor, Seg seg) {
  const Cubic& along = xmajor ? st.cx : st.cy;
  const Cubic& across = xmajor ? st.cy : st.cx;
  int a0 = toInt(xmajor ? st.xlo : st.ylo);
  int b0 = toInt((xmajor ? st.ylo : st.xlo) + 0.5);
  const double dt = (st.thi - st.tlo) / n;
  for (int i = 1; i <= n - 2; i++) {
    const double t = st.tlo + dt * i;
    const int a = toInt(along.at(t));
    if (a < a0) continue;
    const int b = toInt(across.at(t) + 0.5);
    seg(a0, b0, a, b);
    a0 = a + 1;
    b0 = b;
  }
  const int ae = toInt((xmajor ? st.xhi : st.yhi) - 1.0);
  if (ae >= a0) seg(a0, b0, ae, toInt((xmajor ? st.yhi : st.xhi) + 0.5));
}

}  // namespace

float RAST_CBezier_GetY(float x1, float x2, float x3, float x4, float y1, float y2, float y3, float y4, float xi,
                        float* pNextX, float* pdYdX, double* ptLo, double* ptHi) {
  if (xi < x1) {
    if (pNextX) *pNextX = x1;
    if (pdYdX) *pdYdX = 0.0f;
    return y1;
  }
  if (xi >= x4) {
    if (pNextX) *pNextX = x4;
    if (pdYdX) *pdYdX = 0.0f;
    return y4;
  }
  Cubic cx, cy;
  cx.set(x1, x2, x3, x4);
  cy.set(y1, y2, y3, y4);
  double lo = 0.0, hi = 1.0;
  double xlo = x1, xhi = cx.at(1.0);
  for (int i = 0; i < 8; i++) {
    const double tm = (lo + hi) * 0.5;
    const double xm = cx.at(tm);
    if (xm < xi) {
      lo = tm;
      xlo = xm;
    } else if (xm > xi) {
      hi = tm;
      xhi = xm;
    } else {
      lo = tm;
      hi = tm + 1.0 / 256.0 < 1.0 ? tm + 1.0 / 256.0 : 1.0;
      xlo = cx.at(lo);
      xhi = cx.at(hi);
      break;
    }
  }
  const double ylo = lo == 0.0 ? (double)y1 : cy.at(lo);
  const double s = xhi != xlo ? (cy.at(hi) - ylo) / (xhi - xlo) : 0.0;
  if (pNextX) *pNextX = (float)xhi;
  if (pdYdX) *pdYdX = (float)s;
  if (ptLo) *ptLo = lo;
  if (ptHi) *ptHi = hi;
  return (float)(ylo + ((double)xi - xlo) * s);
}

float RAST_Bezier_GetY(float x1, float xc, float x2, float y1, float yc, float y2, float x, double* t) {
  double tt;
  float r;
  if (x <= x1) {
    tt = 0.0;
    r = y1;
  } else if (x >= x2) {
    tt = 1.0;
    r = y2;
  } else {
    const double a = (double)x2 - 2.0 * xc + x1;
    if (a == 0.0) {
      if (x1 == x2) {
        tt = 0.0;
        r = y1;
      } else {
        tt = ((double)x - x1) / ((double)x2 - x1);
        r = (float)(y1 + ((double)y2 - y1) * tt);
      }
    } else {
      const double b = 2.0 * ((double)xc - x1);
      // A curve that turns back in x has no root at some x: take the turning point rather than
      // answer NaN.
      double disc = b * b - 4.0 * a * ((double)x1 - x);
      if (disc < 0.0) disc = 0.0;
      tt = (std::sqrt(disc) - b) / (2.0 * a);
      if (tt < 0.0) tt = 0.0;
      if (tt > 1.0) tt = 1.0;
      const double u = 1.0 - tt;
      r = (float)(u * u * y1 + 2.0 * u * tt * yc + tt * tt * y2);
    }
  }
  if (t) *t = tt;
  return r;
}

void RAST_DrawCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, RAST_PixelValue color, float alpha, int mode, bool aa,
                      float tol) {
  CBezState st;
  const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tol, true, st);
  if (!n) return;
  float px = (float)st.xlo, py = (float)st.ylo;
  const double dt = (st.thi - st.tlo) / n;
  for (int i = 1; i <= n - 2; i++) {
    const double t = st.tlo + dt * i;
    const float nx = (float)st.cx.at(t), ny = (float)st.cy.at(t);
    RAST_FLine(dest, px, py, nx, ny, color, alpha, mode, aa);
    px = nx;
    py = ny;
  }
  RAST_FLine(dest, px, py, (float)st.xhi, (float)st.yhi, color, alpha, mode, aa);
}

void RAST_DrawQBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend, float yend,
                      RAST_PixelValue color, float alpha, int mode, bool aa, float tol) {
  if (!dest) return;
  if (!finite8(xstart, ystart, xctl, yctl, xend, yend, 0.0f, 0.0f)) return;
  const int W = dest->getWidth();
  if (W < 1 || dest->getHeight() < 1) return;
  float x1 = xstart, y1 = ystart, x2 = xend, y2 = yend;
  if (xstart > xend) {
    x1 = xend; y1 = yend;
    x2 = xstart; y2 = ystart;
  }
  double t0 = 0.0, t1 = 1.0;
  float sx = x1, sy = y1, ex = x2, ey = y2;
  if (sx < 0.0f) {
    sx = 0.0f;
    sy = RAST_Bezier_GetY(x1, xctl, x2, y1, yctl, y2, 0.0f, &t0);
  }
  if (ex >= (float)W) {
    ex = (float)(W - 1);
    ey = RAST_Bezier_GetY(x1, xctl, x2, y1, yctl, y2, ex, &t1);
  }
  if (sx > ex) return;

  const double len = dist(xctl, yctl, x2, y2) + dist(x1, y1, xctl, yctl);
  const int n = segmentCount(t1 - t0, len, tol);
  const double dt = (t1 - t0) / n;
  double t = t0;
  float px = sx, py = sy;
  for (int i = 1; i < n; i++) {
    t += dt;
    const double u = 1.0 - t;
    const float nx = (float)(u * u * x1 + 2.0 * u * t * xctl + t * t * x2);
    const float ny = (float)(u * u * y1 + 2.0 * u * t * yctl + t * t * y2);
    RAST_FLine(dest, px, py, nx, ny, color, alpha, mode, aa);
    px = nx;
    py = ny;
  }
  RAST_FLine(dest, px, py, ex, ey, color, alpha, mode, aa);
}

void RAST_FillCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, int yfill, RAST_PixelValue color, float alpha, int mode,
                      float tol) {
  CBezState st;
  const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tol, true, st);
  if (!n) return;
  yfill = RAST_SaturateInt(yfill, -kCoordLimit, kCoordLimit);
  walkFill(st, n, true, [&](int x0, int y0, int x, int y) {
    DoBezierFillSegment(dest, x0, y0, x, y, yfill, color, alpha, mode);
  });
}

void RAST_FillCBezierX(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                       float yctl2, float xend, float yend, int xfill, RAST_PixelValue color, float alpha, int mode,
                       float tol) {
  CBezState st;
  const int n = CBezPrep(dest, xstart, ystart, xctl1, yctl1, xctl2, yctl2, xend, yend, tol, false, st);
  if (!n) return;
  xfill = RAST_SaturateInt(xfill, -kCoordLimit, kCoordLimit);
  walkFill(st, n, false, [&](int y0, int x0, int y, int x) {
    DoBezierFillSegmentX(dest, x0, y0, x, y, xfill, color, alpha, mode);
  });
}
