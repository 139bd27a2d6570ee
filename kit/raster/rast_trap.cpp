#include "kit/raster/rast_trap.h"

#include "kit/raster/rast_fixed.h"

namespace {

// Slope of an edge in 16.16 per row, limited to 2^29 so that a row's step stays well inside
// the fraction arithmetic.
int edgeSlope(long long top, long long bottom, long long rows) {
  if (rows <= 0) return 0;
  double s = (double)(bottom - top) * (65536.0 / (double)rows);
  if (s > 536870912.0) s = 536870912.0;
  if (s < -536870912.0) s = -536870912.0;
  return (int)s;
}

rast::TrapEdge makeEdge(long long pos, int s) {
  rast::TrapEdge e;
  e.pos = pos;
  e.slope = s < 0 ? -s : s;
  e.sign = s < 0 ? -1 : 1;
  e.frac = 0;
  return e;
}

// Moves an edge down by n rows at once; 64-bit products, since |slope| * n can exceed 32 bits.
void advanceEdge(rast::TrapEdge& e, long long n) {
  const long long t = (long long)e.slope * n;
  e.pos += e.sign * (t / 65536);
  e.frac = (int)(t % 65536);
}

struct ClobberWord {
  static inline void doPix(unsigned int* d, unsigned int c) { *d = c; }
};

}  // namespace

void rast::FillTrapezoidSurface(const RAST_Surface& s, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                                RAST_PixelValue color, float alpha, int mode) {
  const int a = RAST_AlphaWeight(alpha);
  const int m = mode & RAST_BLIT_MODE_MASK;
  if (a == 0 || m > RAST_BLIT_MODE_HSVADJUST || (m == RAST_BLIT_MODE_COPY && a < 0)) return;

  // Top row first, each span left to right.
  long long yt = y1, yb = y2, lt = x1a, rt = x1b, lb = x2a, rb = x2b;
  if (yt > yb) {
    long long t;
    t = yt; yt = yb; yb = t;
    t = lt; lt = lb; lb = t;
    t = rt; rt = rb; rb = t;
  }
  if (lt > rt) { long long t = lt; lt = rt; rt = t; }
  if (lb > rb) { long long t = lb; lb = rb; rb = t; }

  const int W = s.width, H = s.height;
  if ((rt < 0 && rb < 0) || (lt >= W && lb >= W) || yb < 0 || yt >= H) return;

  // Edges wholly beyond a side become that side, so that they need no stepping.
  rast::TrapEdge le, re;
  if (lt <= 0 && lb <= 0)
    le = makeEdge(0, 0);
  else
    le = makeEdge(lt, edgeSlope(lt, lb, yb - yt));
  if (rt >= W - 1 && rb >= W - 1)
    re = makeEdge(W - 1, 0);
  else
    re = makeEdge(rt, edgeSlope(rt, rb, yb - yt));

  if (yt < 0) {
    advanceEdge(le, -yt);
    advanceEdge(re, -yt);
    yt = 0;
  }
  const long long last = yb < H - 1 ? yb : H - 1;
  const int rows = (int)(last - yt + 1);
  if (rows <= 0) return;

  // A rectangle: clip its span once; nothing to draw when it misses the bitmap.
  if (le.slope == 0 && re.slope == 0) {
    const long long x0 = le.pos < 0 ? 0 : le.pos;
    const long long x1 = re.pos + 1 > W ? W : re.pos + 1;
    if (x0 >= x1) return;
    le.pos = x0;
    re.pos = x1 - 1;
  }

  unsigned char* row = s.row((int)yt);
  const ptrdiff_t st = s.step;
  if (m == RAST_BLIT_MODE_COPY) {
    switch (a) {
      case 256:
        _RAST_FillFast::FillClippedTrapezoidFAST<ClobberWord>(W, st, row, rows, le, re, color);
        return;
      case 128:
        _RAST_FillFast::FillClippedTrapezoidFAST<_RAST_CombinePixelsHalfMix2FAST>(
            W, st, row, rows, le, re, _RAST_CombinePixelsHalfMix2FAST::prep(color));
        return;
      case 64:
        _RAST_FillFast::FillClippedTrapezoidFAST<_RAST_CombinePixelsQuarterMix2FAST>(
            W, st, row, rows, le, re, _RAST_CombinePixelsQuarterMix2FAST::prep(color));
        return;
      case 192:
        _RAST_FillFast::FillClippedTrapezoidFAST<_RAST_CombinePixelsThreeQuarterMix2FAST>(
            W, st, row, rows, le, re, _RAST_CombinePixelsThreeQuarterMix2FAST::prep(color));
        return;
      default:
        break;
    }
  }
  const int cr = RAST_PixelR(color), cg = RAST_PixelG(color), cb = RAST_PixelB(color), ca = RAST_PixelA(color);
  rast::ForCombiner(m, false, [&](auto comb) {
    _RAST_Fill::FillClippedTrapezoid<decltype(comb)>(W, st, row, rows, le, re, cr, cg, cb, ca, a);
  });
}

void RAST_FillTrapezoid(RAST_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                        RAST_PixelValue color, float alpha, int mode) {
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s)) return;
  rast::FillTrapezoidSurface(s, x1a, x1b, y1, x2a, x2b, y2, color, alpha, mode);
}
