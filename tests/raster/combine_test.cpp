// Pixel combining: the source-alpha, clamped and HSV forms pinned at hand-computed points, every
// combiner against a plain 64-bit statement of the same arithmetic over a million random pixels
// and weights; the saturating conversions of the fixed-point set-up.
#include <gtest/gtest.h>

#include <random>

#include "kit/raster/rast_combine.h"
#include "raster_test_util.h"
#include "reference_combine.h"
#include <climits>
#include <cmath>
#include <cstdint>
#include "kit/raster/rast_fixed.h"

namespace {

using rt::px;
using Pix = void (*)(uint32_t&, int r, int g, int b, int a, int w);
template <class C>
void pix(uint32_t& p, int r, int g, int b, int a, int w) {
  C::doPix((unsigned char*)&p, r, g, b, a, w);
}

TEST(Combine, SourceAlphaClampedAndHsvFormsGiveTheHandComputedPixels) {
  using CopySA = _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp;
  using WeightedSA = _RAST_CombinePixelsCopySourceAlphaNoClamp;
  using Hsv = _RAST_CombinePixelsHSVAdjust;
  const uint32_t d = px(10, 20, 30, 40), g = px(100, 100, 100, 100), red = px(255, 0, 0, 255);
  const struct {
    const char* why;
    Pix f;
    uint32_t d;
    int r, g, b, sa, w;
    uint32_t want;
  } cases[] = {
      {"transparent copy", pix<CopySA>, d, 200, 200, 200, 0, 256, d},
      {"transparent weighted copy", pix<WeightedSA>, d, 200, 200, 200, 0, 100, d},
      {"transparent add", pix<_RAST_CombinePixelsAddSourceAlpha>, d, 200, 200, 200, 0, 256, d},
      {"transparent mul", pix<_RAST_CombinePixelsMulSourceAlphaNoClamp>, d, 0, 0, 0, 0, 256, d},
      // Transparent still weighs (0 + 1) * 256 / 256 = 1: dodge t = 256 - 255 / 256 keeps d.
      {"transparent dodge", pix<_RAST_CombinePixelsColorDodgeSourceAlpha>, g, 255, 255, 255, 0, 256, g},
      {"transparent HSV takes the source alpha", pix<_RAST_CombinePixelsHSVAdjustSourceAlpha>, g, 128, 128, 128, 0,
       256, px(100, 100, 100, 0)},
      {"opaque copy at full strength", pix<CopySA>, px(1, 2, 3, 4), 90, 91, 92, 255, 256, px(90, 91, 92, 255)},
      // d := s + (d - s) * (255 - sa) / 256, alpha := min(255, d + sa).
      {"partial alpha, full strength", pix<CopySA>, px(0, 200, 100, 200), 200, 0, 100, 100, 256, px(79, 121, 100, 255)},
      // w = (100 + 1) * 128 / 256 = 50: 200 + (-200 * 206) / 256 = 40, alpha 10 + 50.
      {"partial alpha, half strength", pix<WeightedSA>, px(0, 0, 0, 10), 200, 200, 200, 100, 128, px(40, 40, 40, 60)},
      // -50 + (100 + 50) * 128 / 256 = 25; -300 + 400 * 128 / 256 = -100; 400 - 300 * 128 / 256 = 250.
      {"clamped copy", pix<_RAST_CombinePixelsCopyClamp>, g, -50, -300, 400, 0, 128, px(25, 0, 250, 50)},
      {"clamped clobber", pix<_RAST_CombinePixelsClobberClamp>, 0, 300, -2, 17, 256, 0, px(255, 0, 17, 255)},
      // (200, 100, 50): h = (436 * 50) / 1024 = 21, sat = 326 * 150 / 256 = 191, val = 200; back:
      // p = 65 * 200 / 256 = 50, G = (16384 - 43 * 191) * 200 / 16384 = 99.
      {"neutral HSV round trip truncates", pix<Hsv>, px(200, 100, 50, 7), 128, 128, 128, 33, 256, px(200, 99, 50, 33)},
      // Red has hue 0; r = 127 at weight 128 shifts by -1 -> 383: B = (16384 - 63 * 255) * 255 / 16384.
      {"hue below zero wraps to the top", pix<Hsv>, red, 127, 128, 128, 255, 128, px(255, 0, 4, 255)},
      {"hue past the top wraps to zero", pix<Hsv>, px(255, 0, 1, 255), 129, 128, 128, 255, 256, red},
      // Grey 100 (hue 256, sat 0): green 255 adds 254 saturation; R = q(64) = 0.
      {"green raises saturation", pix<Hsv>, px(100, 100, 100, 255), 128, 255, 128, 255, 256, px(0, 0, 100, 255)},
      {"blue lowers value", pix<Hsv>, px(100, 100, 100, 255), 128, 128, 0, 255, 128, px(0, 0, 0, 255)},
      // Sixteen times full strength turns the hue several times; it is reduced modulo 384.
      {"huge HSV weight", pix<Hsv>, red, 255, 128, 128, 255, 4096, ref::combine(red, px(255, 128, 128, 255), 4096, 5)},
  };
  for (const auto& k : cases) {
    uint32_t p = k.d;
    k.f(p, k.r, k.g, k.b, k.sa, k.w);
    EXPECT_EQ(p, k.want) << k.why;
  }
  for (int v = 0; v < 256; v += 17) {  // grey keeps its colour and takes the source alpha
    uint32_t p = px(v, v, v, 9);
    pix<Hsv>(p, 128, 128, 128, 255, 256);
    EXPECT_EQ(p, px(v, v, v, 255)) << v;
  }
}

TEST(Combine, EntryPointsSkipZeroWeightsAndUnknownModesAndLimitTheRest) {
  const uint32_t d = px(1, 2, 3, 4), s = px(200, 100, 50, 255);
  EXPECT_EQ(RAST_CombinePixels(d, s, 0.003f, 1), d);  // weight truncates to 0
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x10006), d);
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x20100), s);  // bits outside 0x100FF are not looked at
  RAST_PixelValue p = px(200, 200, 200, 200);
  RAST_CombinePixels2Clamp(&p, 600, 600, 600, 600, 256, 3);  // (600 * 256) * 200 / 65536 -> 255
  EXPECT_EQ(p, px(255, 255, 255, 255));
  p = px(10, 10, 10, 10);
  RAST_CombinePixels2Clamp(&p, 400, -20, 128, 300, 256, 0);
  EXPECT_EQ(p, px(255, 0, 128, 255));
  // Absurd weights and channels are held where no product overflows.
  RAST_CombinePixels2Clamp(&p, 2000000000, -2000000000, 5, 5, 2000000000, 4);
  RAST_CombinePixels2(&p, 2000000000, 7, 7, 7, -2000000000, 3);
  EXPECT_EQ(RAST_CombinePixels(px(1, 2, 3, 4), px(5, 6, 7, 8), 1e30f, 4),
            ref::combine(px(1, 2, 3, 4), px(5, 6, 7, 8), 16384, 4));
}

TEST(Combine, EveryModeMatchesTheScalarFormulaOnAMillionRandomPixels) {
  const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005};
  std::mt19937 rng(20261206);
  std::uniform_int_distribution<int> weight(-300, 600);
  long mismatches = 0;
  for (int i = 0; i < 1000000; i++) {
    const int mode = modes[i % 12];
    uint32_t d = rng(), s = rng();
    if (i % 3 == 0) s = (s & ~255u) | (i % 2 ? 255u : 0u);  // the alphas with their own branches
    const int w = i % 5 == 0 ? 256 : i % 5 == 1 ? (int)(rng() % 257) : weight(rng);
    RAST_PixelValue got = d;
    RAST_CombinePixels2(&got, RAST_PixelR(s), RAST_PixelG(s), RAST_PixelB(s), RAST_PixelA(s), w, mode);
    const uint32_t want = ref::combine(d, s, w, mode);
    if (got != want && ++mismatches < 10)
      ADD_FAILURE() << std::hex << "mode 0x" << mode << std::dec << " w " << w << std::hex << " d 0x" << d << " s 0x"
                    << s << " got 0x" << got << " want 0x" << want;
    // The float entry point's weight is alpha * 256 truncated.
    if (i % 50 == 0) {
      const float alpha = (float)((int)(rng() % 2001) - 500) / 997.0f;
      ASSERT_EQ(RAST_CombinePixels(d, s, alpha, mode), ref::combine(d, s, (int)((double)alpha * 256.0), mode))
          << alpha << " " << mode;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

struct Start {
  double x, y;
};

// Two neighbouring roundings of the same shape, stored side by side: the pattern the optimiser
// would pair into one vector operation without narrowing.
__attribute__((noinline)) void startPoint(Start& s, double a, double b, double c, double d) {
  s.x = RAST_Single(a - c * 0.5);
  s.y = RAST_Single(b - d * 0.5);
}

TEST(Fixed, NeighbouringStartValuesAreBothRoundedToFloat) {
  volatile double a = 1.0, b = 2.0, c = 0.1, d = 0.3;
  Start s;
  startPoint(s, a, b, c, d);
  EXPECT_EQ(s.x, (double)0.95f);
  EXPECT_EQ(s.y, (double)1.85f);
  EXPECT_EQ(RAST_Single(-3.25), -3.25);
  EXPECT_EQ(RAST_Single((double)16777217.0f), 16777216.0);
}

TEST(Fixed, ConversionsTruncateAndSaturate) {
  const struct {
    double v;
    int trunc;
  } truncs[] = {{2.9, 2}, {-2.9, -2}, {1e30, INT_MAX}, {-1e30, INT_MIN}, {NAN, 0}, {2147483646.5, 2147483646}};
  for (const auto& k : truncs) EXPECT_EQ(RAST_TruncSat(k.v), k.trunc) << k.v;
  // The weight outside 0..256 is kept for the documented wrap, up to the limit.
  const struct {
    float alpha;
    int weight;
  } weights[] = {{1.0f, 256}, {0.7f, 179}, {-0.5f, -128}, {2.0f, 512}, {1e10f, RAST_WEIGHT_LIMIT},
                 {-1e10f, -RAST_WEIGHT_LIMIT}, {INFINITY, RAST_WEIGHT_LIMIT}, {NAN, 0}};
  for (const auto& k : weights) EXPECT_EQ(RAST_AlphaWeight(k.alpha), k.weight) << k.alpha;
}

}  // namespace
