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

namespace rast {

// Fills a trapezoid as RAST_FillTrapezoid does on an already resolved surface; row 0 of the
// surface is the row the trapezoid's y counts from. Used by the polygon fill, which resolves
// bottom-up bitmaps itself.
void FillTrapezoidSurface(const RAST_Surface& s, int x1a, int x1b, int y1, int x2a, int x2b, int y2,
                          RAST_PixelValue color, float alpha, int mode);

// One edge of a trapezoid while it is stepped down the rows: the position in whole pixels (64
// bits, so that steep edges far outside the bitmap cannot wrap), the slope's magnitude in 16.16
// per row, its sign and the 16-bit fraction carried between rows.
struct TrapEdge {
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

}  // namespace rast

// Row loops, one instance per pixel operation. `right` of each edge is inclusive; each row covers
// max(left, 0) .. min(right + 1, width) - 1 and rows whose range is empty are skipped.
class _RAST_FillFast {
 public:
  // Whole-word mixes; pc is the colour already prepared for the mix.
  template <class C>
  static void FillClippedTrapezoidFAST(int width, ptrdiff_t rowstep, unsigned char* row, int rows,
                                       rast::TrapEdge l, rast::TrapEdge r, unsigned int pc) {
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
  static void FillClippedTrapezoid(int width, ptrdiff_t rowstep, unsigned char* row, int rows, rast::TrapEdge l,
                                   rast::TrapEdge r, int cr, int cg, int cb, int ca, int weight) {
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
