#include "kit/raster/rast_scaled.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

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

// True when the pixel, its right neighbour and the two below them are the same.
inline bool sameSquare(const unsigned char* p, int span) {
  unsigned int q[4];
  std::memcpy(&q[0], p, 4);
  std::memcpy(&q[1], p + 4, 4);
  std::memcpy(&q[2], p + span, 4);
  std::memcpy(&q[3], p + span + 4, 4);
  return q[0] == q[1] && q[0] == q[2] && q[0] == q[3];
}

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
    if (filter != RAST_BLIT_FILTER_BILINEAR) {
      for (int c = 0; c < w; c++, px += idx, d += 4) {
        if (outside(px, clip_r)) continue;
        const unsigned char* s = srcPixel(src, src_span, px / 65536, cy);
        C::doPix(d, s[rast::kR], s[rast::kG], s[rast::kB], s[rast::kA], alpha);
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
      const unsigned char* p = row0 + cx * 4;
      // Four equal neighbours blend to themselves (the weights sum to 65536): flat artwork
      // skips the products.
      if (!lastRow && cx != clip_r - 1 && sameSquare(p, src_span)) {
        C::doPix(d, p[rast::kR], p[rast::kG], p[rast::kB], p[rast::kA], alpha);
        continue;
      }
      int v[4];
      rast::BilinearSample(p, src_span, (unsigned int)px & 0xFFFF, yf, cx == clip_r - 1, lastRow, v);
      C::doPix(d, v[rast::kR], v[rast::kG], v[rast::kB], v[rast::kA], alpha);
    }
  }
}

namespace {

// The box average: a cell sum S of up to 25 channel values, divided by the cell count n (1..25),
// is (S * kBoxInverse[n]) >> 18 exactly, which the compiler checks below.
constexpr int kBoxShift = 18, kBoxMaxCells = 25, kBoxMaxSum = kBoxMaxCells * 255;
struct BoxInverse {
  unsigned int v[kBoxMaxCells + 1];
};
constexpr BoxInverse makeBoxInverse() {
  BoxInverse t{};
  for (int n = 1; n <= kBoxMaxCells; n++) t.v[n] = ((1u << kBoxShift) + n - 1) / n;
  return t;
}
constexpr BoxInverse kBoxInverse = makeBoxInverse();
constexpr bool boxInverseExact() {
  for (int n = 1; n <= kBoxMaxCells; n++)
    for (unsigned int sum = 0; sum <= (unsigned int)kBoxMaxSum; sum++)
      if ((sum * kBoxInverse.v[n]) >> kBoxShift != sum / n) return false;
  return true;
}
static_assert(boxInverseExact(), "box average by multiplication");

// The four bytes of a pixel spread over the four 16-bit lanes of a 64-bit word, so that sums of
// up to 25 pixels are added on all channels at once without carrying between lanes.
inline unsigned long long spread(unsigned int p) {
  return (unsigned long long)(p & 0xFF) | (unsigned long long)((p >> 8) & 0xFF) << 16 |
         (unsigned long long)((p >> 16) & 0xFF) << 32 | (unsigned long long)(p >> 24) << 48;
}
inline int lane(unsigned long long v, int k, unsigned int inv) {
  return (int)((((unsigned int)(v >> (16 * k)) & 0xFFFF) * inv) >> kBoxShift);
}

// True when every weight of the kernel is 65536: the shrink is then a plain box average, and
// sum / total of the general loop is the cell sum over the cell count.
bool uniformKernel(const int* kernel, int size) {
  for (int i = 0; i < size * size; i++)
    if (kernel[i] != 65536) return false;
  return true;
}

// The box shrink in strips of destination columns: each source row's window sums for the strip
// are formed once and kept in a ring of size rows, so that destination rows whose boxes share
// source rows reuse them. Everything lives on the stack.
template <class C>
void boxShrink(unsigned char* dest, const unsigned char* src, int w, int h, int icurx, int icury, int idx, int idy,
               int clip_r, int clip_b, int src_span, int dest_span, int alpha, int filt_start, int size) {
  enum { kStrip = 256, kRing = 5 };
  unsigned long long ring[kRing][kStrip];
  int ringRow[kRing];
  int x0[kStrip], x1[kStrip];
  for (int c0 = 0; c0 < w; c0 += kStrip) {
    const int n = w - c0 < kStrip ? w - c0 : kStrip;
    // Columns of each box, cut to the source; a column whose position is outside is not drawn.
    int px = icurx + c0 * idx;
    for (int c = 0; c < n; c++, px += idx) {
      if (outside(px, clip_r)) {
        x0[c] = x1[c] = 0;
        continue;
      }
      const int xs = px / 65536 + filt_start;
      x0[c] = xs < 0 ? 0 : xs;
      x1[c] = xs + size < clip_r ? xs + size : clip_r;
    }
    for (int& r : ringRow) r = -1;
    int py = icury;
    unsigned char* drow = dest + (ptrdiff_t)c0 * 4;
    for (int r = 0; r < h; r++, py += idy, drow += dest_span) {
      if (outside(py, clip_b)) continue;
      const int ystart = py / 65536 + filt_start;
      if (ystart >= clip_b) continue;
      const int y0 = ystart < 0 ? 0 : ystart, y1 = ystart + size < clip_b ? ystart + size : clip_b;
      for (int y = y0; y < y1; y++) {
        const int slot = y % size;
        if (ringRow[slot] == y) continue;
        ringRow[slot] = y;
        const unsigned int* srow = (const unsigned int*)srcPixel(src, src_span, 0, y);
        for (int c = 0; c < n; c++) {
          unsigned long long sum = 0;
          for (int x = x0[c]; x < x1[c]; x++) sum += spread(srow[x]);
          ring[slot][c] = sum;
        }
      }
      const int rows = y1 - y0;
      unsigned char* d = drow;
      for (int c = 0; c < n; c++, d += 4) {
        if (x0[c] == x1[c]) continue;
        unsigned long long sum = 0;
        for (int y = y0; y < y1; y++) sum += ring[y % size][c];
        const unsigned int inv = kBoxInverse.v[rows * (x1[c] - x0[c])];
        C::doPix(d, lane(sum, rast::kR, inv), lane(sum, rast::kG, inv), lane(sum, rast::kB, inv),
                 lane(sum, rast::kA, inv), alpha);
      }
    }
  }
}

}  // namespace

template <class C>
void _RAST_Template_Blit2<C>::scaleBlitFilterDown(unsigned char* dest, const unsigned char* src, int w, int h,
                                                  int icurx, int icury, int idx, int idy, int clip_r, int clip_b,
                                                  int src_span, int dest_span, int alpha, const int* kernel,
                                                  int filt_start, int filt_size) {
  if (filt_size >= 1 && filt_size <= 5 && uniformKernel(kernel, filt_size)) {
    boxShrink<C>(dest, src, w, h, icurx, icury, idx, idy, clip_r, clip_b, src_span, dest_span, alpha, filt_start,
                 filt_size);
    return;
  }
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
      C::doPix(d, sum[rast::kR] / total, sum[rast::kG] / total, sum[rast::kB] / total, sum[rast::kA] / total, alpha);
    }
  }
}

namespace {

struct Setup {
  unsigned char* dest;
  const unsigned char* src;
  int w, h, icurx, icury, idx, idy, clip_r, clip_b, src_span, dest_span, alpha;
};

// Runs loop L of the combiner chosen by the mode and the weight; false when that draws nothing.
template <template <class> class L, class... Extra>
bool runScaled(const Setup& s, int mode, Extra... extra) {
  const int sel = rast::CombinerSelector(mode);
  if (sel == RAST_BLIT_MODE_COPY && s.alpha < 1) return false;
  return rast::ForBlendCombiner(sel, s.alpha == 256, [&](auto c) {
    L<decltype(c)>::run(s.dest, s.src, s.w, s.h, s.icurx, s.icury, s.idx, s.idy, s.clip_r, s.clip_b, s.src_span,
                        s.dest_span, s.alpha, extra...);
  });
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
    const bool filtered = (mode & RAST_BLIT_FILTER_MASK) == RAST_BLIT_FILTER_BILINEAR;
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
    // Keep every pixel whose position still falls inside the source, the last column's
    // included: the pixel at the start and every whole step up to the source's last position.
    if (((n - 1) * step + cur) / 65536 >= size) {
      const long long last = size * 65536 - 1 - cur;
      const long long fit = last < 0 ? 0 : last / step + 1;
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

  if ((mode & (RAST_BLIT_USE_SOURCE_ALPHA | RAST_BLIT_FILTER_MASK | RAST_BLIT_MODE_MASK)) == 0) {
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

  const int filter = mode & RAST_BLIT_FILTER_MASK;
  if (filter == RAST_BLIT_FILTER_BILINEAR && xadv >= 1.7 && yadv >= 1.7) {
    // On this path every cell of the box weighs one; the size grows past a 3:1 step.
    const int size = (idx > idy ? idx : idy) > 0x30000 ? 5 : 3;
    int kernel[25];
    for (int& k : kernel) k = 65536;
    runScaled<ShrinkLoop>(s, mode, (const int*)kernel, -(size >> 1), size);
    return;
  }
  runScaled<ScaleLoop>(s, mode, filter);
}

// The scaling loops of every combiner the scaled blit can choose are library interface in their
// own right, so they exist whether or not the dispatch above inlines them.
template class _RAST_Template_Blit2<_RAST_CombinePixelsClobberNoClamp>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsCopyNoClamp>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsAdd>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsColorDodge>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsMulNoClamp>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsOverlay>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsHSVAdjust>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsCopySourceAlphaNoClamp>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsAddSourceAlpha>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsColorDodgeSourceAlpha>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsMulSourceAlphaNoClamp>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsOverlaySourceAlpha>;
template class _RAST_Template_Blit2<_RAST_CombinePixelsHSVAdjustSourceAlpha>;
