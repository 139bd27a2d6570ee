// Stamping a glyph's coverage map into pixels, one loop per pixel combiner. Every member visits
// the pixels of the clipped box whose coverage is non-zero and calls the combiner with source
// alpha 255 and a weight of 0..256 (256: the colour replaces the pixel for Copy).
#pragma once

#include <cstddef>
#include <type_traits>

#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_surface.h"

namespace GlyphCopy {
// The Normal renderer of the copy combiner for weights a of 1..16384, four pixels at a time
// where the processor has SSE2; bit for bit the per-pixel loop.
void Normal(const unsigned char* cov, unsigned char* dest, int covspan, int destspan, int w, int h, int r, int g,
            int b, int a);
}  // namespace GlyphCopy

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
    if constexpr (std::is_same<C, _RAST_CombinePixelsCopyNoClamp>::value) {
      if (a > 0 && a <= 16384) {
        GlyphCopy::Normal(cov, dest, covspan, destspan, w, h, r, g, b, a);
        return;
      }
    }
    for (int y = 0; y < h; y++, cov += covspan, dest += (ptrdiff_t)destspan * 4) {
      unsigned char* d = dest;
      for (int x = 0; x < w; x++, d += 4)
        if (const int v = cov[x]) C::doPix(d, r, g, b, 255, weight(v, a));
    }
  }

  static int weight(int v, int a) {
    if (a == 256) return v + 1;
    const int wt = v * a / 256;
    return wt > 256 ? 256 : wt;
  }
};

// What one drawing call stamps with: the destination's pixels, the renderer the font flags and
// blend mode pick, and the colours split into channels. Made once per call, not per glyph.
struct GlyphInk {
  enum Kind { kNothing, kMonoStore, kMono, kEffectStore, kEffect, kNormal };
  RAST_IBitmap* bitmap = nullptr;
  RAST_Surface surface;
  bool hasSurface = false;
  Kind kind = kNothing;
  int mode = 0;  // the combiner, mode & 0xFF
  int a = 0;     // the weight handed to the renderer
  RAST_PixelValue text = 0, effect = 0;
  int r = 0, g = 0, b = 0, er = 0, eg = 0, eb = 0;
};
