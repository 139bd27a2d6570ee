// The line loops, one instance per pixel combiner so that the blend is compiled into each loop.
// Callers have clipped already: no loop here tests bounds.
#pragma once

#include <cstddef>

#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_types.h"

// Colour word split into the channels the combiners take.
namespace rast {

struct LineColour {
  int r, g, b, a;
  explicit LineColour(RAST_PixelValue c)
      : r(RAST_PixelR(c)), g(RAST_PixelG(c)), b(RAST_PixelB(c)), a(RAST_PixelA(c)) {}
};

template <class C>
inline void LinePix(RAST_PixelValue* p, const LineColour& c, int w) {
  C::doPix((unsigned char*)p, c.r, c.g, c.b, c.a, w);
}

}  // namespace rast

// Horizontal, vertical and exact 45-degree runs.
template <class C>
class __RAST_LineClassSimple {
 public:
  static void RAST_HorizLine(RAST_PixelValue* p, int count, RAST_PixelValue colour, int w) {
    const rast::LineColour c(colour);
    for (int i = 0; i < count; i++) rast::LinePix<C>(p + i, c, w);
  }
  static void RAST_VertLine(RAST_PixelValue* p, ptrdiff_t span, int count, RAST_PixelValue colour, int w) {
    const rast::LineColour c(colour);
    for (int i = 0; i < count; i++, p += span) rast::LinePix<C>(p, c, w);
  }
  static void RAST_DiagLine(RAST_PixelValue* p, ptrdiff_t /*span*/, int n, ptrdiff_t xstep, ptrdiff_t ystep,
                            RAST_PixelValue colour, int w) {
    const rast::LineColour c(colour);
    const ptrdiff_t step = xstep + ystep;
    for (int i = 0; i <= n; i++, p += step) rast::LinePix<C>(p, c, w);
  }
  // Three quarters of the weight on the line, a quarter on the two pixels that fill each step's
  // corner; those lie inside the line's bounding box.
  static void RAST_DiagLineAA(RAST_PixelValue* p, ptrdiff_t /*span*/, int n, ptrdiff_t xstep, ptrdiff_t ystep,
                              RAST_PixelValue colour, int w) {
    const rast::LineColour c(colour);
    const int main = 3 * w / 4, side = w / 4;
    for (int i = 0; i <= n; i++) {
      rast::LinePix<C>(p, c, main);
      if (i < n) {
        rast::LinePix<C>(p + xstep, c, side);
        rast::LinePix<C>(p + ystep, c, side);
        p += xstep + ystep;
      }
    }
  }
};

// The general line, the float anti-aliased line and the dashed line.
template <class C>
class __RAST_LineClass {
 public:
  // Walks from both ends at once in 16.16 fixed point; the second half mirrors the first.
  static void RAST_LineImpl(RAST_PixelValue* p1, RAST_PixelValue* p2, int slope, ptrdiff_t major, int len,
                            ptrdiff_t minor, RAST_PixelValue colour, int w, bool aa) {
    const rast::LineColour c(colour);
    const int half = (len + 1) / 2;
    if (!aa) {
      int e = 0;
      for (int i = 0; i < half; i++) {
        rast::LinePix<C>(p1, c, w);
        rast::LinePix<C>(p2, c, w);
        e += slope;
        if (e >= 32768) {
          p1 += minor;
          p2 -= minor;
          e -= 65536;
        }
        p1 += major;
        p2 -= major;
      }
      if (!(len & 1)) rast::LinePix<C>(p1, c, w);
      return;
    }
    rast::LinePix<C>(p1, c, w);
    rast::LinePix<C>(p2, c, w);
    RAST_PixelValue* q1 = p1 + major;
    RAST_PixelValue* q2 = p2 - major;
    int e = slope;
    for (int i = 1; i < half; i++) {
      int mw, sw;
      weights(e, w, mw, sw);
      rast::LinePix<C>(q1, c, mw);
      rast::LinePix<C>(q1 + minor, c, sw);
      rast::LinePix<C>(q2, c, mw);
      rast::LinePix<C>(q2 - minor, c, sw);
      e += slope;
      if (e >= 65536) {
        q1 += minor;
        q2 -= minor;
        e -= 65536;
      }
      q1 += major;
      q2 -= major;
    }
    if (!(len & 1)) {
      int mw, sw;
      weights(e, w, mw, sw);
      rast::LinePix<C>(q1, c, mw);
      rast::LinePix<C>(q1 + minor, c, sw);
    }
  }

  // n + 1 steps along the major axis; each step shares the weight between the current pixel and
  // the next one along the minor step by the 16.16 fraction f.
  static void RAST_FLineImpl(RAST_PixelValue* p, int n, int f, int fstep, ptrdiff_t major, ptrdiff_t minor,
                             RAST_PixelValue colour, int w) {
    const rast::LineColour c(colour);
    if (w == 256) {
      for (int i = 0; i <= n; i++) {
        const int fw = f >> 8;
        rast::LinePix<C>(p, c, 255 - fw);
        rast::LinePix<C>(p + minor, c, fw);
        f += fstep;
        if (f >= 0x10000) {
          f -= 0x10000;
          p += minor;
        }
        p += major;
      }
      return;
    }
    for (int i = 0; i <= n; i++) {
      const int fw = f >> 8;
      rast::LinePix<C>(p, c, (255 - fw) * w / 256);
      rast::LinePix<C>(p + minor, c, fw * w / 256);
      f += fstep;
      if (f >= 0x10000) {
        f -= 0x10000;
        p += minor;
      }
      p += major;
    }
  }

  // Horizontal or vertical line of drawn and skipped stretches, starting with a drawn stretch at
  // the smaller end; the pixel at the larger end is never drawn. Ends are clipped and ordered.
  static void DashedLine(RAST_PixelValue* bits, ptrdiff_t span, int x1, int y1, int x2, int y2, int drawn,
                         int skipped, RAST_PixelValue colour, int w) {
    if (x1 != x2 && y1 != y2) return;
    // A pattern must advance by at least one pixel per period: no drawn stretch draws nothing,
    // a negative gap draws solid.
    if (drawn < 1) return;
    if (skipped < 0) skipped = 0;
    const rast::LineColour c(colour);
    ptrdiff_t step;
    long long from, to;
    RAST_PixelValue* p = bits + (ptrdiff_t)y1 * span + x1;
    if (x1 != x2) {
      step = 1;
      from = x1;
      to = x2;
    } else {
      step = span;
      from = y1;
      to = y2;
    }
    long long pos = from;
    // Pointers are formed only for pixels that are drawn, so a long gap never steps outside.
    while (pos < to - drawn) {
      RAST_PixelValue* q = p + (ptrdiff_t)(pos - from) * step;
      for (int i = 0; i < drawn; i++) rast::LinePix<C>(q + i * step, c, w);
      pos += (long long)drawn + skipped;
    }
    const long long rest = to - pos < drawn ? to - pos : drawn;
    if (rest > 0) {
      RAST_PixelValue* q = p + (ptrdiff_t)(pos - from) * step;
      for (long long i = 0; i < rest; i++) rast::LinePix<C>(q + i * step, c, w);
    }
  }

 private:
  static inline void weights(int e, int w, int& mw, int& sw) {
    const int f = e >> 8;
    if (w == 256) {
      mw = 255 - f;
      sw = f;
    } else {
      mw = (255 - f) * w / 256;
      sw = f * w / 256;
    }
  }
};
