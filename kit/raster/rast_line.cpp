#include "kit/raster/rast_line.h"

#include <cstdlib>
#include <utility>

#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_line_impl.h"

namespace {

typedef __RAST_LineClassSimple<_RAST_CombinePixelsHalfMixNoClamp> SHalf;

// Runs of copy at full, half, quarter and three-quarter strength, by shifts on whole words.
template <class F>
void wordRun(RAST_PixelValue* p, ptrdiff_t step, long long count, RAST_PixelValue colour) {
  const unsigned int pc = F::prep(colour);
  for (long long i = 0; i < count; i++, p += step) F::doPix(p, pc);
}

void storeRun(RAST_PixelValue* p, ptrdiff_t step, long long count, RAST_PixelValue colour) {
  for (long long i = 0; i < count; i++, p += step) *p = colour;
}

bool copyFastRun(RAST_PixelValue* p, ptrdiff_t step, long long count, RAST_PixelValue colour, float alpha) {
  if (alpha == 1.0f)
    storeRun(p, step, count, colour);
  else if (alpha == 0.5f)
    wordRun<_RAST_CombinePixelsHalfMix2FAST>(p, step, count, colour);
  else if (alpha == 0.25f)
    wordRun<_RAST_CombinePixelsQuarterMix2FAST>(p, step, count, colour);
  else if (alpha == 0.75f)
    wordRun<_RAST_CombinePixelsThreeQuarterMix2FAST>(p, step, count, colour);
  else
    return false;
  return true;
}

// Horizontal (step 1) or vertical (step = row span) run.
template <class C>
void straightRun(RAST_PixelValue* p, ptrdiff_t step, int count, RAST_PixelValue colour, int w) {
  if (step == 1)
    __RAST_LineClassSimple<C>::RAST_HorizLine(p, count, colour, w);
  else
    __RAST_LineClassSimple<C>::RAST_VertLine(p, step, count, colour, w);
}

void drawStraight(RAST_PixelValue* p, ptrdiff_t step, int count, RAST_PixelValue colour, float alpha, int mode) {
  const int m = mode & RAST_BLIT_MODE_MASK;
  if (m == RAST_BLIT_MODE_COPY && copyFastRun(p, step, count, colour, alpha)) return;
  const int w = RAST_AlphaWeight(alpha);
  if (w == 0) return;
  if (m == RAST_BLIT_MODE_COPY) {
    if (w < 0) return;
    if (w == 128) {
      straightRun<_RAST_CombinePixelsHalfMixNoClamp>(p, step, count, colour, w);
      return;
    }
    if (w == 256) {
      storeRun(p, step, count, colour);
      return;
    }
  }
  rast::ForCombiner(m, false, [&](auto c) { straightRun<decltype(c)>(p, step, count, colour, w); });
}

template <class C>
void diag(RAST_PixelValue* p, ptrdiff_t span, int n, ptrdiff_t xs, ptrdiff_t ys, RAST_PixelValue colour, int w,
          bool aa) {
  if (aa)
    __RAST_LineClassSimple<C>::RAST_DiagLineAA(p, span, n, xs, ys, colour, w);
  else
    __RAST_LineClassSimple<C>::RAST_DiagLine(p, span, n, xs, ys, colour, w);
}

void drawDiagonal(RAST_PixelValue* p, ptrdiff_t span, int n, ptrdiff_t xs, ptrdiff_t ys, RAST_PixelValue colour,
                  float alpha, int mode, bool aa) {
  const int m = mode & RAST_BLIT_MODE_MASK;
  if (m == RAST_BLIT_MODE_COPY && alpha == 1.0f) {
    if (!aa) {
      storeRun(p, xs + ys, (long long)n + 1, colour);
      return;
    }
    const unsigned int three = _RAST_CombinePixelsThreeQuarterMix2FAST::prep(colour);
    const unsigned int one = _RAST_CombinePixelsQuarterMix2FAST::prep(colour);
    _RAST_CombinePixelsThreeQuarterMix2FAST::doPix(p, three);
    for (int i = 0; i < n; i++) {
      _RAST_CombinePixelsQuarterMix2FAST::doPix(p + xs, one);
      _RAST_CombinePixelsQuarterMix2FAST::doPix(p + ys, one);
      p += xs + ys;
      _RAST_CombinePixelsThreeQuarterMix2FAST::doPix(p, three);
    }
    return;
  }
  const int w = RAST_AlphaWeight(alpha);
  if (w == 0) return;
  if (m == RAST_BLIT_MODE_COPY) {
    if (w < 0) return;
    if (!aa && w == 128) {
      SHalf::RAST_DiagLine(p, span, n, xs, ys, colour, w);
      return;
    }
    if (!aa && w == 256) {
      storeRun(p, xs + ys, (long long)n + 1, colour);
      return;
    }
  }
  rast::ForCombiner(m, false, [&](auto c) { diag<decltype(c)>(p, span, n, xs, ys, colour, w, aa); });
}

}  // namespace

void RAST_Line(RAST_IBitmap* dest, int ix1, int iy1, int ix2, int iy2, RAST_PixelValue colour, float alpha,
               int mode, bool antialias) {
  if (!dest) return;
  const int width = dest->getWidth(), height = dest->getHeight();
  long long x1 = ix1, y1 = iy1, x2 = ix2, y2 = iy2;
  if (dest->isFlipped()) {
    y1 = (long long)height - 1 - y1;
    y2 = (long long)height - 1 - y2;
  }
  if (!rast::ClipLine64(&x1, &y1, &x2, &y2, width, height)) return;
  RAST_PixelValue* bits = dest->getBits();
  const ptrdiff_t span = dest->getRowSpan();
  if (!bits || span < width) return;

  if (y1 == y2) {
    const long long x = x1 < x2 ? x1 : x2;
    drawStraight(bits + (ptrdiff_t)y1 * span + x, 1, (int)std::llabs(x2 - x1) + 1, colour, alpha, mode);
    return;
  }
  if (x1 == x2) {
    const long long y = y1 < y2 ? y1 : y2;
    drawStraight(bits + (ptrdiff_t)y * span + x1, span, (int)std::llabs(y2 - y1) + 1, colour, alpha, mode);
    return;
  }
  const long long adx = std::llabs(x2 - x1), ady = std::llabs(y2 - y1);
  if (adx == ady) {
    drawDiagonal(bits + (ptrdiff_t)y1 * span + x1, span, (int)adx, x2 > x1 ? 1 : -1, y2 > y1 ? span : -span,
                 colour, alpha, mode, antialias);
    return;
  }

  const int w = RAST_AlphaWeight(alpha);
  const int m = mode & RAST_BLIT_MODE_MASK;
  if (w == 0 || m > RAST_BLIT_MODE_HSVADJUST || (m == RAST_BLIT_MODE_COPY && w < 0)) return;
  ptrdiff_t majorStep, minorStep;
  long long dmaj, dmin;
  if (adx > ady) {
    majorStep = 1;
    minorStep = span;
    dmaj = x2 - x1;
    dmin = y2 - y1;
  } else {
    majorStep = span;
    minorStep = 1;
    dmaj = y2 - y1;
    dmin = x2 - x1;
  }
  if (dmaj < 0) {
    std::swap(x1, x2);
    std::swap(y1, y2);
    dmaj = -dmaj;
    dmin = -dmin;
  }
  if (dmin < 0) minorStep = -minorStep;
  const int slope = (int)((double)std::llabs(dmin) / (double)dmaj * 65536.0);
  RAST_PixelValue* p1 = bits + (ptrdiff_t)y1 * span + x1;
  RAST_PixelValue* p2 = bits + (ptrdiff_t)y2 * span + x2;
  const int len = (int)dmaj;
  if (m == RAST_BLIT_MODE_COPY && !antialias && w == 128) {
    __RAST_LineClass<_RAST_CombinePixelsHalfMixNoClamp>::RAST_LineImpl(p1, p2, slope, majorStep, len, minorStep,
                                                                        colour, w, false);
    return;
  }
  rast::ForCombiner(m, !antialias && w == 256, [&](auto c) {
    __RAST_LineClass<decltype(c)>::RAST_LineImpl(p1, p2, slope, majorStep, len, minorStep, colour, w, antialias);
  });
}
