// Pixel combiners: the one place that says how a source colour merges into a destination pixel.
// Each combiner is a class with a static doPix(dest, r, g, b, a, alpha) on one pixel in memory
// (bytes alpha, red, green, blue); the blit, fill, line, glyph and shape loops are templates over
// these classes so that the per-pixel arithmetic is inlined into every loop. rast::ForCombiner
// below is the one place that turns a blend mode word into a combiner class.
// The whole-word combiners at the end work on all four bytes of a pixel word at once.
#pragma once

#include <array>

#include "kit/raster/rast_types.h"

namespace rast {

// Reciprocals for the HSV conversion: entry i is 65536 / i - 1, entry 0 is 0.
constexpr std::array<unsigned short, 256> MakeHsvInverseTable() {
  std::array<unsigned short, 256> t{};
  for (int i = 1; i < 256; i++) t[i] = (unsigned short)(65536 / i - 1);
  return t;
}

}  // namespace rast

inline constexpr std::array<unsigned short, 256> _RAST_RGB2HSV_invtab = rast::MakeHsvInverseTable();
static_assert(_RAST_RGB2HSV_invtab[0] == 0 && _RAST_RGB2HSV_invtab[1] == 65535 && _RAST_RGB2HSV_invtab[2] == 32767 &&
                  _RAST_RGB2HSV_invtab[255] == 256,
              "HSV reciprocal table");

namespace rast {

inline int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Byte positions inside a pixel.
enum { kA = 0, kR = 1, kG = 2, kB = 3 };

// Applies a per-channel rule op(d, s) to red, green, blue and alpha, storing the low 8 bits.
template <class Op>
inline void EachChannel(unsigned char* dest, int r, int g, int b, int a, Op op) {
  dest[kR] = (unsigned char)op(dest[kR], r);
  dest[kG] = (unsigned char)op(dest[kG], g);
  dest[kB] = (unsigned char)op(dest[kB], b);
  dest[kA] = (unsigned char)op(dest[kA], a);
}

// The same on red, green and blue only.
template <class Op>
inline void EachColour(unsigned char* dest, int r, int g, int b, Op op) {
  dest[kR] = (unsigned char)op(dest[kR], r);
  dest[kG] = (unsigned char)op(dest[kG], g);
  dest[kB] = (unsigned char)op(dest[kB], b);
}

}  // namespace rast

// The pixel becomes the source, all four channels; the weight is not read.
class _RAST_CombinePixelsClobberNoClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int) {
    rast::EachChannel(dest, r, g, b, a, [](int, int s) { return s; });
  }
};

class _RAST_CombinePixelsClobberClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int) {
    rast::EachChannel(dest, r, g, b, a, [](int, int s) { return rast::Clamp255(s); });
  }
};

// Average of pixel and colour per channel; the weight is not read (line drawing at weight 128).
class _RAST_CombinePixelsHalfMixNoClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int) {
    rast::EachChannel(dest, r, g, b, a, [](int d, int s) { return (d + s) / 2; });
  }
};

// Copy: d := s + (d - s) * (256 - w) / 256. The step is taken from the source side.
class _RAST_CombinePixelsCopyNoClamp {
 public:
  static inline int ch(int d, int s, int inv) { return s + (d - s) * inv / 256; }
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    const int inv = 256 - alpha;
    rast::EachChannel(dest, r, g, b, a, [inv](int d, int s) { return ch(d, s, inv); });
  }
};

class _RAST_CombinePixelsCopyClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    const int inv = 256 - alpha;
    rast::EachChannel(dest, r, g, b, a,
                      [inv](int d, int s) { return rast::Clamp255(_RAST_CombinePixelsCopyNoClamp::ch(d, s, inv)); });
  }
};

class _RAST_CombinePixelsAdd {
 public:
  static inline int ch(int d, int s, int alpha) { return rast::Clamp255(d + s * alpha / 256); }
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    rast::EachChannel(dest, r, g, b, a, [alpha](int d, int s) { return ch(d, s, alpha); });
  }
};

class _RAST_CombinePixelsColorDodge {
 public:
  static inline int ch(int d, int s, int alpha) {
    const int t = 256 - s * alpha / 256;
    unsigned int v = t >= 2 ? (256u * (unsigned int)d) / (unsigned int)t : 256u * (unsigned int)d;
    return v > 255 ? 255 : (int)v;
  }
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    rast::EachChannel(dest, r, g, b, a, [alpha](int d, int s) { return ch(d, s, alpha); });
  }
};

class _RAST_CombinePixelsMulNoClamp {
 public:
  static inline int ch(int d, int s, int alpha) { return ((s * alpha + 256 * (256 - alpha)) * d) / 65536; }
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    rast::EachChannel(dest, r, g, b, a, [alpha](int d, int s) { return ch(d, s, alpha); });
  }
};

class _RAST_CombinePixelsMulClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    rast::EachChannel(dest, r, g, b, a,
                      [alpha](int d, int s) { return rast::Clamp255(_RAST_CombinePixelsMulNoClamp::ch(d, s, alpha)); });
  }
};

class _RAST_CombinePixelsOverlay {
 public:
  static inline int ch(int d, int s, int alpha) {
    const int S = s * alpha + 128 * (256 - alpha);
    return rast::Clamp255((d * (S + (32768 - S) * d / 256)) / 32768);
  }
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    rast::EachChannel(dest, r, g, b, a, [alpha](int d, int s) { return ch(d, s, alpha); });
  }
};

// HSV adjust: the colour is an adjustment, not a colour. Red shifts the hue, green the
// saturation, blue the value (each neutral at 128, scaled by the weight); the pixel's alpha
// becomes the colour's alpha. Hue runs over 384 steps, 64 per sixth of the circle.
class _RAST_CombinePixelsHSVAdjust {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    const int R = dest[rast::kR], G = dest[rast::kG], B = dest[rast::kB];
    int val, delta, k, base;
    if (R < G) {
      if (G > B) {
        val = G; delta = G - (R < B ? R : B); k = B - R; base = 128;
      } else {
        val = B; delta = B - (R < G ? R : G); k = R - G; base = 256;
      }
    } else if (B < R) {
      val = R; delta = R - (G < B ? G : B); k = G - B; base = G < B ? 383 : 0;
    } else {
      val = B; delta = B - (R < G ? R : G); k = R - G; base = 256;
    }
    int h = base + (((int)_RAST_RGB2HSV_invtab[delta] + 1) * k) / 1024;
    int sat = ((int)_RAST_RGB2HSV_invtab[val] * delta) / 256;

    h += ((r + r / 2 - 192) * alpha) / 256;
    if (h < 0)
      h += 384;
    else if (h > 383)
      h -= 384;
    // Weights beyond full strength can move the hue by more than one turn.
    if (h < 0 || h > 383) {
      h %= 384;
      if (h < 0) h += 384;
    }
    sat = rast::Clamp255(sat + ((g - 128) * alpha) / 128);
    val = rast::Clamp255(val + ((b - 128) * alpha) / 128);

    const int p = ((256 - sat) * val) / 256;
    int oR, oG, oB;
    if (h < 64) {
      oR = val; oG = q(64 - h, sat, val); oB = p;
    } else if (h < 128) {
      oR = q(h - 64, sat, val); oG = val; oB = p;
    } else if (h < 192) {
      oR = p; oG = val; oB = q(192 - h, sat, val);
    } else if (h < 256) {
      oR = p; oG = q(h - 192, sat, val); oB = val;
    } else if (h < 320) {
      oR = q(320 - h, sat, val); oG = p; oB = val;
    } else {
      oR = val; oG = p; oB = q(h - 320, sat, val);
    }
    rast::EachChannel(dest, oR, oG, oB, a, [](int, int s) { return s; });
  }

 private:
  static inline int q(int x, int sat, int val) { return ((16384 - x * sat) * val) / 16384; }
};

namespace rast {

// Source alpha: the weight becomes ((sa + 1) * alpha) / 256 from the source pixel's alpha sa.
inline int SourceAlphaWeight(int sa, int alpha) { return ((sa + 1) * alpha) / 256; }

// Source-alpha copy: colour channels step by inv / 256 toward the pixel, the alpha byte gains
// add, capped at 255 (and, in the clamping form, floored at 0).
template <bool clamp>
inline void SourceAlphaCopy(unsigned char* dest, int r, int g, int b, int inv, int add) {
  EachColour(dest, r, g, b, [inv](int d, int s) {
    const int v = _RAST_CombinePixelsCopyNoClamp::ch(d, s, inv);
    return clamp ? Clamp255(v) : v;
  });
  const int na = dest[kA] + add;
  dest[kA] = (unsigned char)(clamp ? Clamp255(na) : na > 255 ? 255 : na);
}

}  // namespace rast

// Source-alpha copy at full strength: the source alpha alone decides the mix.
class _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int) {
    if (a == 0) return;
    if (a == 255)
      _RAST_CombinePixelsClobberNoClamp::doPix(dest, r, g, b, 255, 256);
    else
      rast::SourceAlphaCopy<false>(dest, r, g, b, 255 - a, a);
  }
};

class _RAST_CombinePixelsCopySourceAlphaNoClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    if (a == 0) return;
    const int w = rast::SourceAlphaWeight(a, alpha);
    rast::SourceAlphaCopy<false>(dest, r, g, b, 256 - w, w);
  }
};

class _RAST_CombinePixelsAddSourceAlpha {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    if (a == 0) return;
    _RAST_CombinePixelsAdd::doPix(dest, r, g, b, a, rast::SourceAlphaWeight(a, alpha));
  }
};

class _RAST_CombinePixelsColorDodgeSourceAlpha {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    _RAST_CombinePixelsColorDodge::doPix(dest, r, g, b, a, rast::SourceAlphaWeight(a, alpha));
  }
};

class _RAST_CombinePixelsMulSourceAlphaNoClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    if (a == 0) return;
    _RAST_CombinePixelsMulNoClamp::doPix(dest, r, g, b, a, rast::SourceAlphaWeight(a, alpha));
  }
};

class _RAST_CombinePixelsOverlaySourceAlpha {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    _RAST_CombinePixelsOverlay::doPix(dest, r, g, b, a, rast::SourceAlphaWeight(a, alpha));
  }
};

class _RAST_CombinePixelsHSVAdjustSourceAlpha {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    _RAST_CombinePixelsHSVAdjust::doPix(dest, r, g, b, a, rast::SourceAlphaWeight(a, alpha));
  }
};

// Whole-word combiners. Each byte is halved or quartered by a shift with the bits that would
// cross into the next byte masked off; no byte exceeds 255, so sums never carry across bytes.
namespace rast {
inline unsigned int Half(unsigned int p) { return (p >> 1) & 0x7F7F7F7Fu; }
inline unsigned int Quarter(unsigned int p) { return (p >> 2) & 0x3F3F3F3Fu; }
inline unsigned int Eighth(unsigned int p) { return (p >> 3) & 0x1F1F1F1Fu; }
}  // namespace rast

// The destination word becomes the source word.
class _RAST_CombinePixelsClobberFAST {
 public:
  static inline void doPix(unsigned int* dest, unsigned int src) { *dest = src; }
};

// Half of each: d / 2 + s / 2 per byte.
class _RAST_CombinePixelsHalfMixFAST {
 public:
  static inline void doPix(unsigned int* dest, unsigned int src) { *dest = rast::Half(*dest) + rast::Half(src); }
};

// Fixed mixes with a constant colour, which is prepared once by prep() and then passed to
// doPix for every pixel: half (d/2 + c/2), quarter (d/4 + d/2 + c/4) and three quarters
// (d/4 + c/4 + c/2) of the colour.
class _RAST_CombinePixelsHalfMix2FAST {
 public:
  static inline unsigned int prep(unsigned int c) { return rast::Half(c); }
  static inline void doPix(unsigned int* dest, unsigned int pc) { *dest = rast::Half(*dest) + pc; }
};

class _RAST_CombinePixelsQuarterMix2FAST {
 public:
  static inline unsigned int prep(unsigned int c) { return rast::Quarter(c); }
  static inline void doPix(unsigned int* dest, unsigned int pc) {
    const unsigned int d = *dest;
    *dest = rast::Quarter(d) + rast::Half(d) + pc;
  }
};

class _RAST_CombinePixelsThreeQuarterMix2FAST {
 public:
  static inline unsigned int prep(unsigned int c) { return rast::Quarter(c) + rast::Half(c); }
  static inline void doPix(unsigned int* dest, unsigned int pc) { *dest = rast::Quarter(*dest) + pc; }
};

namespace rast {

// Clamping forms of the source-alpha copies and multiply, for source channels outside 0..255.
class CopySourceAlphaClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    if (a == 0) return;
    const int w = SourceAlphaWeight(a, alpha);
    SourceAlphaCopy<true>(dest, r, g, b, 256 - w, w);
  }
};

class CopySourceAlphaIgnoreAlphaParmClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int) {
    if (a == 0) return;
    if (a == 255)
      _RAST_CombinePixelsClobberClamp::doPix(dest, r, g, b, 255, 256);
    else
      SourceAlphaCopy<true>(dest, r, g, b, 255 - a, a);
  }
};

class MulSourceAlphaClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int alpha) {
    if (a == 0) return;
    _RAST_CombinePixelsMulClamp::doPix(dest, r, g, b, a, SourceAlphaWeight(a, alpha));
  }
};

// The combiners that differ between source channels in 0..255 (InRange) and channels that may
// lie outside and must be clamped (Clamped); the others clamp already.
struct InRange {
  typedef _RAST_CombinePixelsClobberNoClamp Store;
  typedef _RAST_CombinePixelsCopyNoClamp Copy;
  typedef _RAST_CombinePixelsMulNoClamp Mul;
  typedef _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp CopySourceAlphaFull;
  typedef _RAST_CombinePixelsCopySourceAlphaNoClamp CopySourceAlpha;
  typedef _RAST_CombinePixelsMulSourceAlphaNoClamp MulSourceAlpha;
};
struct Clamped {
  typedef _RAST_CombinePixelsClobberClamp Store;
  typedef _RAST_CombinePixelsCopyClamp Copy;
  typedef _RAST_CombinePixelsMulClamp Mul;
  typedef CopySourceAlphaIgnoreAlphaParmClamp CopySourceAlphaFull;
  typedef CopySourceAlphaClamp CopySourceAlpha;
  typedef MulSourceAlphaClamp MulSourceAlpha;
};

// The part of a blend mode word that picks the combiner: the low byte and the source-alpha flag.
inline int CombinerSelector(int mode) { return mode & (RAST_BLIT_USE_SOURCE_ALPHA | RAST_BLIT_MODE_MASK); }

// Calls f with a value of the combiner class that the low byte m of a blend mode selects
// (RAST_BLIT_MODE_COPY .. RAST_BLIT_MODE_HSVADJUST). full, for a copy whose weight is 256, takes
// the plain store, which gives the same pixels without arithmetic. Answers false, without
// calling f, for any other value. Checks on the weight (copy below 1 draws nothing in most
// operations) stay with the caller, since the operations differ in them.
template <class Forms = InRange, class F>
inline bool ForCombiner(int m, bool full, F&& f) {
  switch (m) {
    case RAST_BLIT_MODE_COPY:
      if (full)
        f(typename Forms::Store());
      else
        f(typename Forms::Copy());
      return true;
    case RAST_BLIT_MODE_ADD: f(_RAST_CombinePixelsAdd()); return true;
    case RAST_BLIT_MODE_COLORDODGE: f(_RAST_CombinePixelsColorDodge()); return true;
    case RAST_BLIT_MODE_MUL: f(typename Forms::Mul()); return true;
    case RAST_BLIT_MODE_OVERLAY: f(_RAST_CombinePixelsOverlay()); return true;
    case RAST_BLIT_MODE_HSVADJUST: f(_RAST_CombinePixelsHSVAdjust()); return true;
    default: return false;
  }
}

// The same for a selector with the source-alpha flag (CombinerSelector of the mode). With the
// flag, full takes the full-strength source-alpha copy, whose alpha byte gains sa rather than
// sa + 1: unlike the plain store this is a different result, not only a faster one.
template <class Forms = InRange, class F>
inline bool ForBlendCombiner(int sel, bool full, F&& f) {
  if (!(sel & RAST_BLIT_USE_SOURCE_ALPHA)) return ForCombiner<Forms>(sel, full, f);
  switch (sel & RAST_BLIT_MODE_MASK) {
    case RAST_BLIT_MODE_COPY:
      if (full)
        f(typename Forms::CopySourceAlphaFull());
      else
        f(typename Forms::CopySourceAlpha());
      return true;
    case RAST_BLIT_MODE_ADD: f(_RAST_CombinePixelsAddSourceAlpha()); return true;
    case RAST_BLIT_MODE_COLORDODGE: f(_RAST_CombinePixelsColorDodgeSourceAlpha()); return true;
    case RAST_BLIT_MODE_MUL: f(typename Forms::MulSourceAlpha()); return true;
    case RAST_BLIT_MODE_OVERLAY: f(_RAST_CombinePixelsOverlaySourceAlpha()); return true;
    case RAST_BLIT_MODE_HSVADJUST: f(_RAST_CombinePixelsHSVAdjustSourceAlpha()); return true;
    default: return false;
  }
}

}  // namespace rast

// Per-pixel entry points: apply a blend mode (mode & 0x100FF) to single pixels.
// The combined colour of two pixel words; dest unchanged for weight 0 or an unknown mode.
RAST_PixelValue RAST_CombinePixels(RAST_PixelValue dest, RAST_PixelValue src, float alpha, int mode);
// The same on a pixel in memory with the weight given as an integer (0 draws nothing); source
// channels are taken to lie in 0..255.
void RAST_CombinePixels2(RAST_PixelValue* dest, int r, int g, int b, int a, int alpha, int mode);
// As RAST_CombinePixels2 for source channels that may lie outside 0..255: results are clamped.
void RAST_CombinePixels2Clamp(RAST_PixelValue* dest, int r, int g, int b, int a, int alpha, int mode);
