#include <cmath>
#include <utility>

#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_line_impl.h"

namespace {

template <class C>
void flineRun(RAST_PixelValue* p, int n, int f, int fstep, ptrdiff_t major, ptrdiff_t minor, RAST_PixelValue colour,
              int w) {
  __RAST_LineClass<C>::RAST_FLineImpl(p, n, f, fstep, major, minor, colour, w);
}

}  // namespace

void RAST_FLine(RAST_IBitmap* dest, float x1, float y1, float x2, float y2, RAST_PixelValue colour, float alpha,
                int mode, bool antialias) {
  if (!dest) return;
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  if (!antialias) {
    RAST_Line(dest, RAST_TruncSat(x1), RAST_TruncSat(y1), RAST_TruncSat(x2), RAST_TruncSat(y2), colour, alpha, mode,
              false);
    return;
  }
  const int width = dest->getWidth(), height = dest->getHeight();
  if (dest->isFlipped()) {
    y1 = (float)(height - 1) - y1;
    y2 = (float)(height - 1) - y2;
  }
  if (!ClipFLine(&x1, &y1, &x2, &y2, width, height)) return;
  if (x1 == x2 && y1 == y2) return;

  const int w = RAST_AlphaWeight(alpha);
  float dx = x2 - x1, dy = y2 - y1;
  const bool xMajor = std::fabs(dx) > std::fabs(dy);
  float smaj = xMajor ? x1 : y1, smin = xMajor ? y1 : x1;
  float emaj = xMajor ? x2 : y2;
  float dmaj = xMajor ? dx : dy, dmin = xMajor ? dy : dx;
  if (dmaj < 0) {
    smaj = xMajor ? x2 : y2;
    smin = xMajor ? y2 : x2;
    emaj = xMajor ? x1 : y1;
    dmaj = -dmaj;
    dmin = -dmin;
  }
  const ptrdiff_t span = dest->getRowSpan();
  RAST_PixelValue* bits = dest->getBits();
  if (!bits || span < width) return;
  const ptrdiff_t majorStep = xMajor ? 1 : span;
  ptrdiff_t minorStep = xMajor ? span : 1;
  const bool down = dmin < 0;
  if (down) minorStep = -minorStep;

  const double startMaj = std::ceil((double)smaj);
  const int n = (int)(std::floor((double)emaj) - startMaj);
  const double slope = (double)dmin / (double)dmaj;
  const double m = (startMaj - (double)smaj) * slope + (double)smin;
  int f = (int)((m - std::floor(m)) * 65536.0);
  int pmaj = (int)startMaj, pmin = (int)m;
  if (down) {
    pmin += 1;
    f = 0xFFFF - f;
  }
  const int blend = mode & RAST_BLIT_MODE_MASK;
  if (blend > RAST_BLIT_MODE_HSVADJUST || w == 0) return;
  const int fstep = (int)(std::fabs(slope) * 65536.0);
  if (n < 0) return;

  // The walk is monotone along both axes, so checking its two ends and their coverage partners
  // keeps every touched pixel inside even if float rounding strayed in the clipper.
  const long long lastMin =
      down ? (long long)pmin - (((long long)f + (long long)fstep * n) >> 16) : (long long)pmin + (((long long)f + (long long)fstep * n) >> 16);
  const long long lastMaj = (long long)pmaj + n;
  const long long lo = down ? lastMin - 1 : pmin, hi = down ? pmin : lastMin + 1;
  const long long majLimit = xMajor ? width : height, minLimit = xMajor ? height : width;
  if (pmaj < 0 || lastMaj >= majLimit || lo < 0 || hi >= minLimit) return;

  RAST_PixelValue* p = xMajor ? bits + (ptrdiff_t)pmin * span + pmaj : bits + (ptrdiff_t)pmaj * span + pmin;
  if (blend == RAST_BLIT_MODE_COPY && w < 1) return;
  rast::ForCombiner(blend, false, [&](auto c) { flineRun<decltype(c)>(p, n, f, fstep, majorStep, minorStep, colour, w); });
}
