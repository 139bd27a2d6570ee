#include "kit/raster/rast_arc.h"

#include <cmath>

#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_fixed.h"

namespace {

const float kPi = 3.1415927f;
const float kTwoPi = 6.2831855f;
const float kHalfPi = 1.5707964f;

inline long long lmin(long long a, long long b) { return a < b ? a : b; }
inline long long lmax(long long a, long long b) { return a > b ? a : b; }

}  // namespace

void RAST_Arc(RAST_IBitmap* dest, float cx, float cy, float r, float a1, float a2, RAST_PixelValue colour,
              float alpha, int mode, bool antialias) {
  if (!dest) return;
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || !std::isfinite(a1) || !std::isfinite(a2))
    return;
  const int width = dest->getWidth(), height = dest->getHeight();
  float y = cy;
  if (dest->isFlipped()) {
    y = (float)(height - 1) - cy;
    a1 = kPi - a1;
    a2 = kPi - a2;
  }
  float lo = a1 < a2 ? a1 : a2, hi = a1 < a2 ? a2 : a1;
  if (hi - lo >= kTwoPi) {
    RAST_Circle(dest, cx, cy, r, colour, alpha, mode, antialias);
    return;
  }
  // Whole turns are taken off while the span is kept: moving the other end "by the same amount"
  // loses the span to rounding when the angles are large (equal angles would become an arc).
  const double span = (double)hi - (double)lo;
  if (hi >= kTwoPi) {
    const double nh = std::fmod((double)hi, (double)kTwoPi);
    lo = (float)(nh - span);
    hi = (float)nh;
  } else if (lo <= -kTwoPi) {
    const double nl = std::fmod((double)lo, (double)kTwoPi);
    hi = (float)(nl + span);
    lo = (float)nl;
  }
  const int ia = RAST_AlphaWeight(alpha);
  if (ia == 0) return;
  const double a = (double)lo + (double)kTwoPi, e = (double)hi + (double)kTwoPi;
  if (!(e > a)) return;

  // End points rounded down like the circle's centre, so boxes and circle agree left of 0.
  long long sx = RAST_TruncSat(std::floor(std::sin(a) * r + cx + 0.5));
  long long sy = RAST_TruncSat(std::floor(y - std::cos(a) * r + 0.5));
  double q = a - std::fmod(a, (double)kHalfPi);
  // After normalising, the span is under a full turn: at most five quarter pieces.
  for (int piece = 0; piece < 6; piece++) {
    q += (double)kHalfPi;
    const double b = e < q ? e : q;
    const long long ex = RAST_TruncSat(std::floor(std::sin(b) * r + cx + 0.5));
    const long long ey = RAST_TruncSat(std::floor(y - std::cos(b) * r + 0.5));
    const long long mx = lmax(sx, ex), my = lmax(sy, ey);
    // A box whose far side lies on the centre's column or row stops short of it, so that the
    // neighbouring piece alone draws that line.
    const long long dx = (float)mx != cx ? 1 : 0, dy = (float)my != y ? 1 : 0;
    const int clip[4] = {(int)lmax(lmin(sx, ex), 0), (int)lmax(lmin(sy, ey), 0), (int)lmin(mx + dx, width),
                         (int)lmin(my + dy, height)};
    __DrawCircleClipped(dest, cx, y, r, colour, ia, antialias, false, mode, clip, true);
    sx = ex;
    sy = ey;
    if (!(e > b)) break;
  }
}
