#include "kit/raster/rast_poly.h"

#include <cmath>
#include <cstdlib>

#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_rect.h"

namespace {

struct PolyPoint {
  int x, y;
};

int _ysort(const void* a, const void* b) {
  const PolyPoint* p = (const PolyPoint*)a;
  const PolyPoint* q = (const PolyPoint*)b;
  if (p->y != q->y) return p->y < q->y ? -1 : 1;
  if (p->x != q->x) return p->x < q->x ? -1 : 1;
  return 0;
}

// The next vertex of a chain below `from`: the steepest to the left (dir -1) or to the right
// (dir +1), the later point winning on equal slopes; `from` itself when none is below it.
int FindNextEdgeVertex(const PolyPoint* pts, int from, int n, int dir) {
  int best = from;
  float bestSlope = 0.0f;
  const PolyPoint& f = pts[from];
  for (int i = from + 1; i < n; i++) {
    if (pts[i].y == f.y) continue;
    const float s = (float)((double)pts[i].x - f.x) / (float)((double)pts[i].y - f.y);
    if (best == from || (dir < 0 ? s <= bestSlope : s >= bestSlope)) {
      best = i;
      bestSlope = s;
    }
  }
  return best;
}

// x of the edge upper..lower at a row, clamped to the edge's ends above and below it.
long long EdgeXAt(const PolyPoint& upper, const PolyPoint& lower, long long row) {
  if (row <= upper.y) return upper.x;
  if (row >= lower.y) return lower.x;
  const float k = (float)((double)lower.x - upper.x) / (float)((double)lower.y - upper.y);
  const float d = (float)(row - upper.y) * k;
  return (long long)upper.x + RAST_TruncSat(d);
}

int ClampInt(long long v) { return RAST_SaturateInt(v, -2147483647 - 1, 2147483647); }

}  // namespace

void RAST_DrawRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_PixelValue color, float alpha, int mode) {
  if (!dest) return;
  const int x2 = ClampInt((long long)x + w), y2 = ClampInt((long long)y + h);
  RAST_Line(dest, x, y, x2, y, color, alpha, mode, false);
  RAST_Line(dest, x2, y, x2, y2, color, alpha, mode, false);
  RAST_Line(dest, x2, y2, x, y2, color, alpha, mode, false);
  RAST_Line(dest, x, y2, x, y, color, alpha, mode, false);
}

void RAST_BorderedRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_PixelValue bgcolor,
                       RAST_PixelValue fgcolor, float alpha, int mode) {
  if (!dest) return;
  RAST_FillRect(dest, ClampInt((long long)x + 1), ClampInt((long long)y + 1), ClampInt((long long)w - 1),
                ClampInt((long long)h - 1), bgcolor, alpha, mode);
  RAST_DrawRect(dest, x, y, w, h, fgcolor, alpha, mode);
}

void RAST_FillConvexPolygon(RAST_IBitmap* dest, const int* x, const int* y, int n, RAST_PixelValue color,
                            float alpha, int mode) {
  if (!dest || !x || !y || n < 3) return;
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s)) return;
  // Rows are counted in storage order: a bottom-up bitmap has its y mirrored here, and the
  // trapezoids then walk the stored rows top-down.
  const bool flipped = dest->isFlipped();
  if (flipped) {
    s.top = (unsigned char*)dest->getBits();
    s.step = -s.step;
  }

  PolyPoint local[512];
  PolyPoint* pts = local;
  if (n > 512) {
    pts = (PolyPoint*)malloc(sizeof(PolyPoint) * (size_t)n);
    if (!pts) return;  // no memory for the table: draw nothing rather than part of the shape
  }

  int minx = 0, maxx = 0;
  for (int i = 0; i < n; i++) {
    pts[i].x = x[i];
    pts[i].y = flipped ? ClampInt((long long)s.height - 1 - y[i]) : y[i];
    if (i == 0 || x[i] < minx) minx = x[i];
    if (i == 0 || x[i] > maxx) maxx = x[i];
  }
  qsort(pts, (size_t)n, sizeof(PolyPoint), _ysort);

  if (pts[0].y == pts[n - 1].y) {
    const int yy = pts[0].y;
    if (yy >= 0 && yy < s.height)
      rast::FillTrapezoidSurface(s, minx, maxx, yy, minx, maxx, yy, color, alpha, mode);
    if (pts != local) free(pts);
    return;
  }

  // Leftmost and rightmost points of the top row start the two chains.
  int topEnd = 0;
  while (topEnd + 1 < n && pts[topEnd + 1].y == pts[0].y) topEnd++;
  int a0 = 0;
  for (int i = 0; i <= topEnd; i++)
    if (pts[i].x == pts[0].x) a0 = i;
  int b0 = topEnd;
  int a1 = FindNextEdgeVertex(pts, a0, n, -1);
  int b1 = FindNextEdgeVertex(pts, b0, n, 1);

  long long row = pts[0].y;
  while (a0 != a1 || b0 != b1) {
    // A finished chain rests on the bottom row, so the rows left are bounded by the other one.
    long long e;
    if (a0 == a1)
      e = pts[b1].y;
    else if (b0 == b1)
      e = pts[a1].y;
    else
      e = pts[a1].y < pts[b1].y ? pts[a1].y : pts[b1].y;
    if (row > s.height - 1) break;  // the rest lies below the bitmap
    rast::FillTrapezoidSurface(s, ClampInt(EdgeXAt(pts[a0], pts[a1], row)), ClampInt(EdgeXAt(pts[b0], pts[b1], row)),
                               ClampInt(row), ClampInt(EdgeXAt(pts[a0], pts[a1], e)),
                               ClampInt(EdgeXAt(pts[b0], pts[b1], e)), ClampInt(e), color, alpha, mode);
    bool moved = false;
    if (a0 != a1 && pts[a1].y == e) {
      a0 = a1;
      a1 = FindNextEdgeVertex(pts, a0, n, -1);
      moved = true;
    }
    if (b0 != b1 && pts[b1].y == e) {
      b0 = b1;
      b1 = FindNextEdgeVertex(pts, b0, n, 1);
      moved = true;
    }
    if (!moved) break;
    row = e + 1;
  }
  if (pts != local) free(pts);
}

void RAST_FillTriangle(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, RAST_PixelValue color,
                       float alpha, int mode) {
  const int xs[3] = {x1, x2, x3};
  const int ys[3] = {y1, y2, y3};
  RAST_FillConvexPolygon(dest, xs, ys, 3, color, alpha, mode);
}
