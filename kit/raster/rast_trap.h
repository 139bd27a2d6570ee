// Trapezoid scan conversion: the core of every solid polygon, triangle and curve fill.
#pragma once

#include <cstddef>

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_surface.h"

// Fills the trapezoid whose row y1 spans x1a..x1b and whose row y2 spans x2a..x2b, both end
// pixels of every row and both rows included.
void RAST_FillTrapezoid(RAST_IBitmap* dest, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                        RAST_PixelValue color, float alpha, int mode);

// The same on an already resolved surface; row 0 of the surface is the row the trapezoid's y
// counts from. Used by the polygon fill, which resolves bottom-up bitmaps itself.
void _RAST_FillTrapezoidSurface(const RAST_Surface& s, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                                RAST_PixelValue color, float alpha, int mode);

// Calls f with a value of the combiner class of blend mode m (0 copy .. 5 HSV adjust, the
// no-clamping forms of copy and multiply); nothing for other modes. Lets a loop written once as a
// template be instantiated per combiner without a switch at every call site.
template <class F>
inline void _RAST_ForCombiner(int m, F&& f) {
  switch (m) {
    case 0: f(_RAST_CombinePixelsCopyNoClamp()); break;
    case 1: f(_RAST_CombinePixelsAdd()); break;
    case 2: f(_RAST_CombinePixelsColorDodge()); break;
    case 3: f(_RAST_CombinePixelsMulNoClamp()); break;
    case 4: f(_RAST_CombinePixelsOverlay()); break;
    case 5: f(_RAST_CombinePixelsHSVAdjust()); break;
    default: break;
  }
}

// One edge of a trapezoid while it is stepped down the rows: the position in whole pixels (64
// bits, so that steep edges far outside the bitmap cannot wrap), the slope's magnitude in 16.16
// per row, its sign and the 16-bit fraction carried between rows.
struct _RAST_TrapEdge {
  long long pos;
  int slope;
  int frac;
  int sign;

  inline void step() {
    frac += slope;
    if (frac >= 65536) {
      pos += (long long)sign * (frac >> 16);
      frac &= 0xFFFF;
    }
  }
};

// Row loops, one instance per pixel operation. `right` of each edge is inclusive; each row covers
// max(left, 0) .. min(right + 1, width) - 1 and rows whose range is empty are skipped.
class _RAST_FillFast {
 public:
  // Whole-word mixes; pc is the colour already prepared for the mix.
  template <class C>
  static void FillClippedTrapezoidFAST(int width, ptrdiff_t rowstep, unsigned char* row, int rows,
                                       _RAST_TrapEdge l, _RAST_TrapEdge r, unsigned int pc) {
    for (int i = 0; i < rows; i++, row += rowstep) {
      long long x0 = l.pos < 0 ? 0 : l.pos;
      long long x1 = r.pos + 1 > width ? width : r.pos + 1;
      if (x0 < x1) {
        unsigned int* p = (unsigned int*)row + x0;
        unsigned int* e = (unsigned int*)row + x1;
        for (; p < e; p++) C::doPix(p, pc);
      }
      l.step();
      r.step();
    }
  }
};

class _RAST_Fill {
 public:
  template <class C>
  static void FillClippedTrapezoid(int width, ptrdiff_t rowstep, unsigned char* row, int rows, _RAST_TrapEdge l,
                                   _RAST_TrapEdge r, int cr, int cg, int cb, int ca, int weight) {
    for (int i = 0; i < rows; i++, row += rowstep) {
      long long x0 = l.pos < 0 ? 0 : l.pos;
      long long x1 = r.pos + 1 > width ? width : r.pos + 1;
      if (x0 < x1) {
        unsigned char* p = row + x0 * 4;
        unsigned char* e = row + x1 * 4;
        for (; p < e; p += 4) C::doPix(p, cr, cg, cb, ca, weight);
      }
      l.step();
      r.step();
    }
  }
};
