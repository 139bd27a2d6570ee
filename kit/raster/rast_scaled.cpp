#include "kit/raster/rast_scaled.h"

#include <cmath>
#include <cstdlib>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_blitloops.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_surface.h"

namespace {

inline const unsigned char* srcPixel(const unsigned char* src, int span, int x, int y) {
  return src + (ptrdiff_t)span * y + (ptrdiff_t)x * 4;
}

// A source position is outside when below -65535 (so -1..0 px reads column 0) or at or past
// the limit.
inline bool outside(int p, int limit) { return p < -65535 || p / 65536 >= limit; }

}  // namespace

template <class W>
void _RAST_Template_Blit0<W>::scaleBlitFAST(unsigned char* dest, const unsigned char* src, int w, int h, int icurx,
                                            int icury, int idx, int idy, int clip_r, int clip_b, int src_span,
                                            int dest_span) {
  int py = icury;
  for (int r = 0; r < h; r++, py += idy, dest += dest_span) {
    if (outside(py, clip_b)) continue;
    const unsigned int* srow = (const unsigned int*)srcPixel(src, src_span, 0, py / 65536);
    unsigned int* d = (unsigned int*)dest;
    int px = icurx;
    for (int c = 0; c < w; c++, px += idx)
      if (!outside(px, clip_r)) W::doPix(d + c, srow[px / 65536]);
  }
}

template <class C>
void _RAST_Template_Blit2<C>::scaleBlit(unsigned char* dest, const unsigned char* src, int w, int h, int icurx,
                                        int icury, int idx, int idy, int clip_r, int clip_b, int src_span,
                                        int dest_span, int alpha, int filter) {
  int py = icury;
  for (int r = 0; r < h; r++, py += idy, dest += dest_span) {
    if (outside(py, clip_b)) continue;
    const int cy = py / 65536;
    unsigned char* d = dest;
    int px = icurx;
    if (filter != 0x100) {
      for (int c = 0; c < w; c++, px += idx, d += 4) {
        if (outside(px, clip_r)) continue;
        const unsigned char* s = srcPixel(src, src_span, px / 65536, cy);
        C::doPix(d, s[_RAST_R], s[_RAST_G], s[_RAST_B], s[_RAST_A], alpha);
      }
      continue;
    }
    const unsigned int yf = (unsigned int)py & 0xFFFF;
    const bool lastRow = cy == clip_b - 1;
    const unsigned char* row0 = srcPixel(src, src_span, 0, cy);
    for (int c = 0; c < w; c++, px += idx, d += 4) {
      if (px < -65535) continue;
      const int cx = px / 65536;
      if (cx >= clip_r) continue;
      int v[4];
      _RAST_BilinearSample(row0 + cx * 4, src_span, (unsigned int)px & 0xFFFF, yf, cx == clip_r - 1, lastRow, v);
      C::doPix(d, v[_RAST_R], v[_RAST_G], v[_RAST_B], v[_RAST_A], alpha);
    }
  }
}

template <class C>
void _RAST_Template_Blit2<C>::scaleBlitFilterDown(unsigned char* dest, const unsigned char* src, int w, int h,
                                                  int icurx, int icury, int idx, int idy, int clip_r, int clip_b,
                                                  int src_span, int dest_span, int alpha, const int* kernel,
                                                  int filt_start, int filt_size) {
  int py = icury;
  for (int r = 0; r < h; r++, py += idy, dest += dest_span) {
    if (outside(py, clip_b)) continue;
    const int ystart = py / 65536 + filt_start;
    if (ystart >= clip_b) continue;
    unsigned char* d = dest;
    int px = icurx;
    for (int c = 0; c < w; c++, px += idx, d += 4) {
      if (outside(px, clip_r)) continue;
      const int xstart = px / 65536 + filt_start;
      // Weights are at most 65536 over at most 25 cells, so the sums stay within 32 bits.
      int total = 0, sum[4] = {0, 0, 0, 0};
      for (int i = 0; i < filt_size; i++) {
        const int y = ystart + i;
        if (y >= clip_b) break;
        if (y < 0) continue;
        const unsigned char* srow = srcPixel(src, src_span, 0, y);
        for (int j = 0; j < filt_size; j++) {
          const int x = xstart + j;
          if (x < 0 || x >= clip_r) continue;
          const int wgt = kernel[i * filt_size + j];
          const unsigned char* s = srow + x * 4;
          total += wgt;
          for (int k = 0; k < 4; k++) sum[k] += wgt * s[k];
        }
      }
      if (total <= 0) continue;
      C::doPix(d, sum[_RAST_R] / total, sum[_RAST_G] / total, sum[_RAST_B] / total, sum[_RAST_A] / total, alpha);
    }
  }
}

namespace {

struct Setup {
  unsigned char* dest;
  const unsigned char* src;
  int w, h, icurx, icury, idx, idy, clip_r, clip_b, src_span, dest_span, alpha;
};

// Runs loop L of the combiner chosen by mode & 0x100FF and the weight; false when that draws
// nothing.
template <template <class> class L, class... Extra>
bool runScaled(const Setup& s, int mode, Extra... extra) {
  const int a = s.alpha;
#define QOR_RUN(C)                                                                                                 \
  L<C>::run(s.dest, s.src, s.w, s.h, s.icurx, s.icury, s.idx, s.idy, s.clip_r, s.clip_b, s.src_span, s.dest_span, \
            a, extra...);                                                                                          \
  return true
  switch (mode & 0x100FF) {
    case 0:
      if (a < 1) return false;
      if (a == 256) { QOR_RUN(_RAST_CombinePixelsClobberNoClamp); }
      QOR_RUN(_RAST_CombinePixelsCopyNoClamp);
    case 1: QOR_RUN(_RAST_CombinePixelsAdd);
    case 2: QOR_RUN(_RAST_CombinePixelsColorDodge);
    case 3: QOR_RUN(_RAST_CombinePixelsMulNoClamp);
    case 4: QOR_RUN(_RAST_CombinePixelsOverlay);
    case 5: QOR_RUN(_RAST_CombinePixelsHSVAdjust);
    case 0x10000:
      if (a == 256) { QOR_RUN(_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp); }
      QOR_RUN(_RAST_CombinePixelsCopySourceAlphaNoClamp);
    case 0x10001: QOR_RUN(_RAST_CombinePixelsAddSourceAlpha);
    case 0x10002: QOR_RUN(_RAST_CombinePixelsColorDodgeSourceAlpha);
    case 0x10003: QOR_RUN(_RAST_CombinePixelsMulSourceAlphaNoClamp);
    case 0x10004: QOR_RUN(_RAST_CombinePixelsOverlaySourceAlpha);
    case 0x10005: QOR_RUN(_RAST_CombinePixelsHSVAdjustSourceAlpha);
    default: return false;
  }
#undef QOR_RUN
}

template <class C>
struct ScaleLoop {
  template <class... A>
  static void run(A... a) { _RAST_Template_Blit2<C>::scaleBlit(a...); }
};
template <class C>
struct ShrinkLoop {
  template <class... A>
  static void run(A... a) { _RAST_Template_Blit2<C>::scaleBlitFilterDown(a...); }
};

// True when start + k * step stays a 32-bit value for every k in 0..count (the loops step once
// past the last pixel).
bool fitsSteps(long long start, long long step, long long count) {
  const long long end = start + step * count;
  return start >= INT32_MIN && start <= INT32_MAX && end >= INT32_MIN && end <= INT32_MAX;
}

}  // namespace

void RAST_ScaledBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode) {
  if (!dest || !src || dstw == 0 || dsth == 0 || alpha == 0.0f) return;

  // Sizes equal within 0.001: a plain blit, unless a filtered draw sits between pixels.
  if (std::fabs(srcw - dstw) < 0.001f && std::fabs(srch - dsth) < 0.001f) {
    const bool filtered = (mode & 0xFF00) == 0x100;
    if (!filtered || (std::fabs(srcx - std::floor(srcx + 0.5f)) < 0.03f &&
                      std::fabs(srcy - std::floor(srcy + 0.5f)) < 0.03f)) {
      const int sx = RAST_TruncSat((double)srcx + 0.5), sy = RAST_TruncSat((double)srcy + 0.5);
      RAST_Blit(dest, src, dstx, dsty, sx, sy, dstw, dsth, alpha, mode);
      return;
    }
  }

  long long dx = dstx, dy = dsty, dw = dstw, dh = dsth;
  if (dw < 0) {
    dx += dw;
    srcx += srcw;
    srcw = -srcw;
    dw = -dw;
  }
  if (dh < 0) {
    dy += dh;
    srcy += srch;
    srch = -srch;
    dh = -dh;
  }
  const double xadv = RAST_Single(srcw / (float)dw);
  const double yadv = RAST_Single(srch / (float)dh);

  RAST_Surface ds, ss;
  if (!RAST_GetSurface(dest, ds) || !RAST_GetSurface(src, ss)) return;
  if (dx < 0) {
    srcx = (float)RAST_Single(srcx - dx * xadv);
    dw += dx;
    dx = 0;
  }
  if (dy < 0) {
    srcy = (float)RAST_Single(srcy - dy * yadv);
    dh += dy;
    dy = 0;
  }
  if (dx + dw > ds.width) dw = ds.width - dx;
  if (dy + dh > ds.height) dh = ds.height - dy;
  if (dw < 1 || dh < 1) return;

  long long idx = RAST_TruncSat(xadv * 65536), idy = RAST_TruncSat(yadv * 65536);
  long long icurx = RAST_TruncSat((double)srcx * 65536), icury = RAST_TruncSat((double)srcy * 65536);

  // Destination pixels that would read left of or above the source are dropped, and those
  // past its right or bottom edge.
  auto clipSource = [](long long step, long long& cur, long long& d, long long& n, long long size) {
    if (step <= 0) return;
    if (cur < 0) {
      const long long k = (step - 1 - cur) / step;
      d += k;
      n -= k;
      cur += k * step;
    }
    // Keep every pixel whose position still falls in the last column: the whole steps that
    // reach it, plus the pixel at the start.
    if (((n - 1) * step + cur) / 65536 >= size) {
      const long long fit = ((size - 1) * 65536 - cur) / step + 1;
      if (fit < n) n = fit;
    }
  };
  clipSource(idx, icurx, dx, dw, ss.width);
  clipSource(idy, icury, dy, dh, ss.height);
  if (dw < 1 || dh < 1) return;
  // Positions must stay 16.16 values over the whole walk; a draw that would overflow is refused.
  if (!fitsSteps(icurx, idx, dw) || !fitsSteps(icury, idy, dh)) return;

  const double right = RAST_Single((srcw > 0 ? srcw : 0.0f) + srcx) + 0.999999;
  const double bottom = RAST_Single((srch > 0 ? srch : 0.0f) + srcy) + 0.999999;
  int clip_r = RAST_TruncSat(right), clip_b = RAST_TruncSat(bottom);
  if (clip_r > ss.width) clip_r = ss.width;
  if (clip_b > ss.height) clip_b = ss.height;
  if (clip_r < 1 || clip_b < 1) return;

  Setup s;
  s.dest = ds.row((int)dy) + dx * 4;
  s.src = ss.row(0);
  s.w = (int)dw;
  s.h = (int)dh;
  s.icurx = (int)icurx;
  s.icury = (int)icury;
  s.idx = (int)idx;
  s.idy = (int)idy;
  s.clip_r = clip_r;
  s.clip_b = clip_b;
  s.src_span = (int)ss.step;
  s.dest_span = (int)ds.step;
  s.alpha = RAST_AlphaWeight(alpha);

  if ((mode & 0x1FFFF) == 0) {
    if (s.alpha == 256) {
      _RAST_Template_Blit0<_RAST_CombinePixelsClobberFAST>::scaleBlitFAST(
          s.dest, s.src, s.w, s.h, s.icurx, s.icury, s.idx, s.idy, s.clip_r, s.clip_b, s.src_span, s.dest_span);
      return;
    }
    if (s.alpha == 128) {
      _RAST_Template_Blit0<_RAST_CombinePixelsHalfMixFAST>::scaleBlitFAST(
          s.dest, s.src, s.w, s.h, s.icurx, s.icury, s.idx, s.idy, s.clip_r, s.clip_b, s.src_span, s.dest_span);
      return;
    }
  }
  if (s.alpha == 0) return;

  const int filter = mode & 0xFF00;
  if (filter == 0x100 && xadv >= 1.7 && yadv >= 1.7) {
    // On this path every cell of the box weighs one; the size grows past a 3:1 step.
    const int size = (idx > idy ? idx : idy) > 0x30000 ? 5 : 3;
    int kernel[25];
    for (int& k : kernel) k = 65536;
    runScaled<ShrinkLoop>(s, mode, (const int*)kernel, -(size >> 1), size);
    return;
  }
  runScaled<ScaleLoop>(s, mode, filter);
}
