#include "kit/raster/rast_roundrect.h"

#include <cmath>

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_poly.h"

namespace {

inline int t(float v) { return RAST_TruncSat(v); }

}  // namespace

void RAST_RoundRect(RAST_IBitmap* dest, float x, float y, float w, float h, int c, RAST_PixelValue colour,
                    float alpha, int mode, bool aa) {
  if (!dest) return;
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h)) return;
  float r = 0;
  if (c > 0) {
    r = (float)c;
    if ((double)r > (double)w * 0.5) r = w * 0.5f;
    if ((double)r > (double)h * 0.5) r = h * 0.5f;
    r = std::floor(r);
  }
  if (c <= 0 || r < 2) {
    RAST_DrawRect(dest, t(x), t(y), t(w), t(h), colour, alpha, mode);
    return;
  }
  RAST_Line(dest, t(x + r), t(y), t(x + w - r), t(y), colour, alpha, mode, aa);
  RAST_Line(dest, t(x + r - 1), t(y + h), t(x + w - r), t(y + h), colour, alpha, mode, aa);
  RAST_Line(dest, t(x + w), t(y + r), t(x + w), t(y + h - r), colour, alpha, mode, aa);
  RAST_Line(dest, t(x), t(y + r - 1), t(x), t(y + h - r), colour, alpha, mode, aa);
  const float kPi = 3.1415927f, kHalfPi = 1.5707964f, kThreeHalfPi = 4.712389f;
  RAST_Arc(dest, x + r, y + r, r, -kHalfPi, 0, colour, alpha, mode, aa);
  RAST_Arc(dest, x + w - r, y + r, r, 0, kHalfPi, colour, alpha, mode, aa);
  RAST_Arc(dest, x + w - r, y + h - r, r, kHalfPi, kPi, colour, alpha, mode, aa);
  RAST_Arc(dest, x + r, y + h - r, r, kPi, kThreeHalfPi, colour, alpha, mode, aa);
}
