// Stamping a glyph's coverage map into pixels, one loop per pixel combiner. Every member visits
// the pixels of the clipped box whose coverage is non-zero and calls the combiner with source
// alpha 255 and a weight of 0..256 (256: the colour replaces the pixel for Copy).
#pragma once

#include <cstddef>

#include "kit/raster/rast_combine.h"

template <class C>
class GlyphRenderer {
 public:
  // Every covered pixel at weight a.
  static void Mono(const unsigned char* cov, unsigned char* dest, int covspan, int destspan, int w, int h, int r,
                   int g, int b, int a) {
    for (int y = 0; y < h; y++, cov += covspan, dest += (ptrdiff_t)destspan * 4) {
      unsigned char* d = dest;
      for (int x = 0; x < w; x++, d += 4)
        if (cov[x]) C::doPix(d, r, g, b, 255, a);
    }
  }

  // Ink (coverage 255) in the text colour, effect pixels in the effect colour, both at weight a.
  static void Effect(const unsigned char* cov, unsigned char* dest, int covspan, int destspan, int w, int h, int r,
                     int g, int b, int a, int er, int eg, int eb) {
    for (int y = 0; y < h; y++, cov += covspan, dest += (ptrdiff_t)destspan * 4) {
      unsigned char* d = dest;
      for (int x = 0; x < w; x++, d += 4) {
        const int v = cov[x];
        if (!v) continue;
        if (v == 255)
          C::doPix(d, r, g, b, 255, a);
        else
          C::doPix(d, er, eg, eb, 255, a);
      }
    }
  }

  // Coverage as weight: v + 1 at full strength (so 255 gives 256), else v * a / 256 up to 256.
  static void Normal(const unsigned char* cov, unsigned char* dest, int covspan, int destspan, int w, int h, int r,
                     int g, int b, int a) {
    for (int y = 0; y < h; y++, cov += covspan, dest += (ptrdiff_t)destspan * 4) {
      unsigned char* d = dest;
      for (int x = 0; x < w; x++, d += 4) {
        const int v = cov[x];
        if (!v) continue;
        int wt;
        if (a == 256) {
          wt = v + 1;
        } else {
          wt = v * a / 256;
          if (wt > 256) wt = 256;
        }
        C::doPix(d, r, g, b, 255, wt);
      }
    }
  }
};
