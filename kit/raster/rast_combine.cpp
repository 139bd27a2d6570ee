#include "kit/raster/rast_combine.h"

#include "kit/raster/rast_fixed.h"

const unsigned short _RAST_RGB2HSV_invtab[256] = {
    0, 65535, 32767, 21844, 16383, 13106, 10921, 9361, 8191, 7280, 6552, 5956,
    5460, 5040, 4680, 4368, 4095, 3854, 3639, 3448, 3275, 3119, 2977, 2848,
    2729, 2620, 2519, 2426, 2339, 2258, 2183, 2113, 2047, 1984, 1926, 1871,
    1819, 1770, 1723, 1679, 1637, 1597, 1559, 1523, 1488, 1455, 1423, 1393,
    1364, 1336, 1309, 1284, 1259, 1235, 1212, 1190, 1169, 1148, 1128, 1109,
    1091, 1073, 1056, 1039, 1023, 1007, 991, 977, 962, 948, 935, 922,
    909, 896, 884, 872, 861, 850, 839, 828, 818, 808, 798, 788,
    779, 770, 761, 752, 743, 735, 727, 719, 711, 703, 696, 688,
    681, 674, 667, 660, 654, 647, 641, 635, 629, 623, 617, 611,
    605, 600, 594, 589, 584, 578, 573, 568, 563, 559, 554, 549,
    545, 540, 536, 531, 527, 523, 519, 515, 511, 507, 503, 499,
    495, 491, 488, 484, 480, 477, 473, 470, 467, 463, 460, 457,
    454, 450, 447, 444, 441, 438, 435, 433, 430, 427, 424, 421,
    419, 416, 413, 411, 408, 406, 403, 401, 398, 396, 393, 391,
    389, 386, 384, 382, 380, 377, 375, 373, 371, 369, 367, 365,
    363, 361, 359, 357, 355, 353, 351, 349, 347, 345, 343, 342,
    340, 338, 336, 335, 333, 331, 329, 328, 326, 325, 323, 321,
    320, 318, 317, 315, 314, 312, 311, 309, 308, 306, 305, 303,
    302, 301, 299, 298, 296, 295, 294, 292, 291, 290, 288, 287,
    286, 285, 283, 282, 281, 280, 279, 277, 276, 275, 274, 273,
    272, 270, 269, 268, 267, 266, 265, 264, 263, 262, 261, 260,
    259, 258, 257, 256,
};

namespace {

// Clamping form of the full-strength source-alpha copy, for source channels outside 0..255.
class CopySourceAlphaIgnoreAlphaParmClamp {
 public:
  static inline void doPix(unsigned char* dest, int r, int g, int b, int a, int) {
    if (a == 0) return;
    if (a == 255)
      _RAST_CombinePixelsClobberClamp::doPix(dest, r, g, b, 255, 256);
    else
      _RAST_SourceAlphaCopy<true>(dest, r, g, b, 255 - a, a);
  }
};

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

template <bool clamp>
void combine(unsigned char* d, int r, int g, int b, int a, int alpha, int mode) {
  if (alpha == 0) return;
  limitInputs(r, g, b, a, alpha);
  switch (mode & 0x100FF) {
    case 0:
      if (alpha == 256) {
        if (clamp)
          _RAST_CombinePixelsClobberClamp::doPix(d, r, g, b, a, alpha);
        else
          _RAST_CombinePixelsClobberNoClamp::doPix(d, r, g, b, a, alpha);
      } else if (clamp) {
        _RAST_CombinePixelsCopyClamp::doPix(d, r, g, b, a, alpha);
      } else {
        _RAST_CombinePixelsCopyNoClamp::doPix(d, r, g, b, a, alpha);
      }
      break;
    case 1: _RAST_CombinePixelsAdd::doPix(d, r, g, b, a, alpha); break;
    case 2: _RAST_CombinePixelsColorDodge::doPix(d, r, g, b, a, alpha); break;
    case 3:
      if (clamp)
        _RAST_CombinePixelsMulClamp::doPix(d, r, g, b, a, alpha);
      else
        _RAST_CombinePixelsMulNoClamp::doPix(d, r, g, b, a, alpha);
      break;
    case 4: _RAST_CombinePixelsOverlay::doPix(d, r, g, b, a, alpha); break;
    case 5: _RAST_CombinePixelsHSVAdjust::doPix(d, r, g, b, a, alpha); break;
    case 0x10000:
      if (alpha == 256) {
        if (clamp)
          CopySourceAlphaIgnoreAlphaParmClamp::doPix(d, r, g, b, a, alpha);
        else
          _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix(d, r, g, b, a, alpha);
      } else if (clamp) {
        _RAST_CombinePixelsCopySourceAlphaClamp::doPix(d, r, g, b, a, alpha);
      } else {
        _RAST_CombinePixelsCopySourceAlphaNoClamp::doPix(d, r, g, b, a, alpha);
      }
      break;
    case 0x10001: _RAST_CombinePixelsAddSourceAlpha::doPix(d, r, g, b, a, alpha); break;
    case 0x10002: _RAST_CombinePixelsColorDodgeSourceAlpha::doPix(d, r, g, b, a, alpha); break;
    case 0x10003:
      if (clamp)
        _RAST_CombinePixelsMulSourceAlphaClamp::doPix(d, r, g, b, a, alpha);
      else
        _RAST_CombinePixelsMulSourceAlphaNoClamp::doPix(d, r, g, b, a, alpha);
      break;
    case 0x10004: _RAST_CombinePixelsOverlaySourceAlpha::doPix(d, r, g, b, a, alpha); break;
    case 0x10005: _RAST_CombinePixelsHSVAdjustSourceAlpha::doPix(d, r, g, b, a, alpha); break;
    default: break;
  }
}

}  // namespace

RAST_PixelValue RAST_CombinePixels(RAST_PixelValue dest, RAST_PixelValue src, float alpha, int mode) {
  RAST_PixelValue out = dest;
  combine<false>((unsigned char*)&out, RAST_PixelR(src), RAST_PixelG(src), RAST_PixelB(src), RAST_PixelA(src),
                 RAST_AlphaWeight(alpha), mode);
  return out;
}

void RAST_CombinePixels2(RAST_PixelValue* dest, int r, int g, int b, int a, int alpha, int mode) {
  if (!dest) return;
  combine<false>((unsigned char*)dest, r, g, b, a, alpha, mode);
}

void RAST_CombinePixels2Clamp(RAST_PixelValue* dest, int r, int g, int b, int a, int alpha, int mode) {
  if (!dest) return;
  combine<true>((unsigned char*)dest, r, g, b, a, alpha, mode);
}
