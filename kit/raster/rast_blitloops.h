// Per-combiner pixel loops. Each is written once for any combiner and instantiated per combiner,
// so the inner loop holds the combiner's arithmetic with no call or switch. Spans are in bytes
// and negative for bottom-up bitmaps.
#pragma once

#include "kit/raster/rast_combine.h"

// Loops with one colour source: a solid colour or a per-pixel gradient.
template <class C>
class _RAST_Template_Blit1 {
 public:
  // Every pixel of a w x h block takes the colour; alpha is both the source alpha and the weight.
  static void solidBlit(unsigned char* dest, int w, int h, int r, int g, int b, int alpha, int span) {
    for (int y = 0; y < h; y++, dest += span) {
      unsigned char* p = dest;
      for (int x = 0; x < w; x++, p += 4) C::doPix(p, r, g, b, alpha, alpha);
    }
  }

  // Channels in 16.16 fixed point, linear in x and y; the gradient alpha is both the source
  // alpha channel and the weight. The running values are kept in 64 bits and the channel
  // values limited so that far-running gradients cannot overflow the combiners.
  static void gradBlit(unsigned char* dest, int w, int h, int ir, int ig, int ib, int ia, int drdx, int dgdx,
                       int dbdx, int dadx, int drdy, int dgdy, int dbdy, int dady, int span) {
    long long rr = ir, rg = ig, rb = ib, ra = ia;
    for (int y = 0; y < h; y++, dest += span) {
      long long r = rr, g = rg, b = rb, a = ra;
      unsigned char* p = dest;
      for (int x = 0; x < w; x++, p += 4) {
        const int av = chan(a);
        C::doPix(p, chan(r), chan(g), chan(b), av, av);
        r += drdx;
        g += dgdx;
        b += dbdx;
        a += dadx;
      }
      rr += drdy;
      rg += dgdy;
      rb += dbdy;
      ra += dady;
    }
  }

 private:
  static inline int chan(long long v) {
    const long long c = v / 65536;  // toward zero, also for negative values
    return c < -1024 ? -1024 : c > 1024 ? 1024 : (int)c;
  }
};

// Bilinear sample of the four channels at fractions xf, yf (0..65535) from p00 and its right,
// lower and lower-right neighbours (span bytes per row). In the last column only the vertical
// blend is made, in the last row only the horizontal one, and the last pixel is taken as it is,
// so nothing beyond them is read.
namespace rast {
inline void BilinearSample(const unsigned char* p00, int span, unsigned int xf, unsigned int yf, bool lastCol,
                           bool lastRow, int v[4]) {
  if (!lastCol && !lastRow) {
    const int br = (int)((xf * yf) >> 16);
    const int tr = (int)xf - br, bl = (int)yf - br, tl = 65536 - (int)yf - tr;
    const unsigned char* p01 = p00 + span;
    for (int k = 0; k < 4; k++) v[k] = (p00[k] * tl + p00[k + 4] * tr + p01[k] * bl + p01[k + 4] * br) >> 16;
  } else if (!lastRow) {
    const unsigned char* p01 = p00 + span;
    for (int k = 0; k < 4; k++) v[k] = (p00[k] * (65536 - (int)yf) + p01[k] * (int)yf) >> 16;
  } else if (!lastCol) {
    for (int k = 0; k < 4; k++) v[k] = (p00[k] * (65536 - (int)xf) + p00[k + 4] * (int)xf) >> 16;
  } else {
    for (int k = 0; k < 4; k++) v[k] = p00[k];
  }
}
}  // namespace rast

// Nearest-neighbour scaling loop over a whole-word combiner W (W::doPix(unsigned int* dest,
// unsigned int src)). Positions and steps are 16.16; clip_r and clip_b are exclusive source
// bounds; spans in bytes. Defined with the scaled blit.
template <class W>
class _RAST_Template_Blit0 {
 public:
  static void scaleBlitFAST(unsigned char* dest, const unsigned char* src, int w, int h, int icurx, int icury,
                            int idx, int idy, int clip_r, int clip_b, int src_span, int dest_span);
};

// Loops with a source bitmap.
template <class C>
class _RAST_Template_Blit2 {
 public:
  // Scaling loops, defined with the scaled blit: nearest neighbour or bilinear (filter word
  // 0x100), and the box-filtered shrink over a size x size kernel of 16.16 weights.
  static void scaleBlit(unsigned char* dest, const unsigned char* src, int w, int h, int icurx, int icury, int idx,
                        int idy, int clip_r, int clip_b, int src_span, int dest_span, int alpha, int filter);
  static void scaleBlitFilterDown(unsigned char* dest, const unsigned char* src, int w, int h, int icurx, int icury,
                                  int idx, int idy, int clip_r, int clip_b, int src_span, int dest_span, int alpha,
                                  const int* kernel, int filt_start, int filt_size);

  static void blit(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                   int alpha) {
    for (int y = 0; y < h; y++, dest += dest_span, src += src_span) {
      unsigned char* d = dest;
      const unsigned char* s = src;
      for (int x = 0; x < w; x++, d += 4, s += 4) C::doPix(d, s[rast::kR], s[rast::kG], s[rast::kB], s[rast::kA], alpha);
    }
  }
};
