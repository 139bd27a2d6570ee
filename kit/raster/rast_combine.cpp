#include "kit/raster/rast_combine.h"

#include "kit/raster/rast_fixed.h"

namespace {

// Caller-supplied channels and weights are held where no product can overflow: weights up to
// the general limit while the channels are in range, a tighter bound for both when they are not.
void limitInputs(int& r, int& g, int& b, int& a, int& alpha) {
  const bool inRange = (unsigned)r < 256u && (unsigned)g < 256u && (unsigned)b < 256u && (unsigned)a < 256u;
  if (inRange) {
    alpha = RAST_SaturateInt(alpha, -RAST_WEIGHT_LIMIT, RAST_WEIGHT_LIMIT);
    return;
  }
  const int lim = RAST_CLAMP_INPUT_LIMIT;
  r = RAST_SaturateInt(r, -lim, lim);
  g = RAST_SaturateInt(g, -lim, lim);
  b = RAST_SaturateInt(b, -lim, lim);
  a = RAST_SaturateInt(a, -lim, lim);
  alpha = RAST_SaturateInt(alpha, -lim, lim);
}

template <class Forms>
void combine(unsigned char* d, int r, int g, int b, int a, int alpha, int mode) {
  if (alpha == 0) return;
  limitInputs(r, g, b, a, alpha);
  rast::ForBlendCombiner<Forms>(rast::CombinerSelector(mode), alpha == 256,
                                [&](auto c) { decltype(c)::doPix(d, r, g, b, a, alpha); });
}

}  // namespace

RAST_PixelValue RAST_CombinePixels(RAST_PixelValue dest, RAST_PixelValue src, float alpha, int mode) {
  RAST_PixelValue out = dest;
  combine<rast::InRange>((unsigned char*)&out, RAST_PixelR(src), RAST_PixelG(src), RAST_PixelB(src), RAST_PixelA(src),
                 RAST_AlphaWeight(alpha), mode);
  return out;
}

void RAST_CombinePixels2(RAST_PixelValue* dest, int r, int g, int b, int a, int alpha, int mode) {
  if (!dest) return;
  combine<rast::InRange>((unsigned char*)dest, r, g, b, a, alpha, mode);
}

void RAST_CombinePixels2Clamp(RAST_PixelValue* dest, int r, int g, int b, int a, int alpha, int mode) {
  if (!dest) return;
  combine<rast::Clamped>((unsigned char*)dest, r, g, b, a, alpha, mode);
}
