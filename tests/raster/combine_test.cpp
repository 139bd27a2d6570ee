// Pixel combining: every combiner pinned at hand-computed points, and compared against a plain
// 64-bit statement of the same arithmetic over a million random pixels and weights.
#include <gtest/gtest.h>

#include <random>

#include "kit/raster/rast_combine.h"
#include "reference_combine.h"

namespace {

uint32_t px(int r, int g, int b, int a) { return RAST_MakePixel(r, g, b, a); }

// One channel of a combiner applied to a grey destination and source, read from the red byte.
template <class C>
int one(int d, int s, int alpha, int sa = 255) {
  uint32_t p = px(d, d, d, d);
  C::doPix((unsigned char*)&p, s, s, s, sa, alpha);
  return RAST_PixelR(p);
}

TEST(CombineChannels, each_combiner_gives_the_hand_computed_channel_value) {
  using Fn = int (*)(int, int, int, int);
  const struct {
    const char* name;
    Fn f;
    int d, s, w, want;
  } cases[] = {
      // Copy steps from the source side and truncates toward zero.
      {"copy", one<_RAST_CombinePixelsCopyNoClamp>, 100, 200, 128, 150},
      {"copy", one<_RAST_CombinePixelsCopyNoClamp>, 100, 200, 1, 101},  // 200 + (-100 * 255) / 256
      {"copy", one<_RAST_CombinePixelsCopyNoClamp>, 100, 200, 256, 200},
      {"copy", one<_RAST_CombinePixelsCopyNoClamp>, 200, 50, 100, 141},  // 50 + (150 * 156) / 256
      // Beyond full strength: 200 + (0 - 200) * (256 - 512) / 256 = 400 wraps unless clamped.
      {"copy wrap", one<_RAST_CombinePixelsCopyNoClamp>, 0, 200, 512, 400 & 255},
      {"copy clamp", one<_RAST_CombinePixelsCopyClamp>, 0, 200, 512, 255},
      // Add clamps; a negative weight darkens, floored at 0.
      {"add", one<_RAST_CombinePixelsAdd>, 100, 200, 256, 255},
      {"add", one<_RAST_CombinePixelsAdd>, 100, 100, 128, 150},
      {"add", one<_RAST_CombinePixelsAdd>, 10, 255, -128, 0},
      {"add", one<_RAST_CombinePixelsAdd>, 100, 0, 256, 100},
      // Dodge: full source saturates any lit pixel.
      {"dodge", one<_RAST_CombinePixelsColorDodge>, 1, 255, 256, 255},
      {"dodge", one<_RAST_CombinePixelsColorDodge>, 0, 255, 256, 0},
      {"dodge", one<_RAST_CombinePixelsColorDodge>, 60, 128, 256, 120},   // t = 128; 256 * 60 / 128
      {"dodge", one<_RAST_CombinePixelsColorDodge>, 100, 100, 128, 124},  // t = 206; 25600 / 206
      // Mul multiplies at full weight and blends toward unchanged.
      {"mul", one<_RAST_CombinePixelsMulNoClamp>, 255, 255, 256, 254},
      {"mul", one<_RAST_CombinePixelsMulNoClamp>, 200, 128, 256, 100},
      {"mul", one<_RAST_CombinePixelsMulNoClamp>, 200, 0, 128, 100},  // ((0 * 128 + 256 * 128) * 200) / 65536
      {"mul", one<_RAST_CombinePixelsMulNoClamp>, 77, 255, 0, 77},    // weight 0 leaves the pixel
      // Overlay: S = 255 * 256, T = 65280 - 12700 = 52580, 100 * 52580 / 32768; S = 0: T = 12800.
      {"overlay", one<_RAST_CombinePixelsOverlay>, 100, 255, 256, 160},
      {"overlay", one<_RAST_CombinePixelsOverlay>, 100, 0, 256, 39},
      // Half mix and clobber ignore the weight.
      {"half mix", one<_RAST_CombinePixelsHalfMixNoClamp>, 101, 200, 3, 150},
      {"half mix", one<_RAST_CombinePixelsHalfMixNoClamp>, 255, 255, 3, 255},
      {"clobber", one<_RAST_CombinePixelsClobberNoClamp>, 10, 99, 3, 99},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.name << " d " << k.d << " s " << k.s << " w " << k.w);
    EXPECT_EQ(k.f(k.d, k.s, k.w, 255), k.want);
  }
  for (int d = 0; d < 256; d += 15) EXPECT_EQ(one<_RAST_CombinePixelsOverlay>(d, 128, 256), d) << "mid grey " << d;
}

TEST(CombineChannels, clamped_forms_keep_out_of_range_source_channels_in_range) {
  // -50 + (100 + 50) * 128 / 256 = 25; -300 + 400 * 128 / 256 = -100; 400 - 300 * 128 / 256 = 250
  uint32_t p = px(100, 100, 100, 100);
  _RAST_CombinePixelsCopyClamp::doPix((unsigned char*)&p, -50, -300, 400, 0, 128);
  EXPECT_EQ(p, px(25, 0, 250, 50));
  p = 0;
  _RAST_CombinePixelsClobberClamp::doPix((unsigned char*)&p, 300, -2, 17, 256, 0);
  EXPECT_EQ(p, px(255, 0, 17, 255));
}

TEST(CombineSourceAlpha, transparent_source_leaves_copy_add_and_mul_untouched) {
  const uint32_t d0 = px(10, 20, 30, 40);
  uint32_t p = d0;
  _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix((unsigned char*)&p, 200, 200, 200, 0, 256);
  EXPECT_EQ(p, d0);
  _RAST_CombinePixelsCopySourceAlphaNoClamp::doPix((unsigned char*)&p, 200, 200, 200, 0, 100);
  EXPECT_EQ(p, d0);
  _RAST_CombinePixelsAddSourceAlpha::doPix((unsigned char*)&p, 200, 200, 200, 0, 256);
  EXPECT_EQ(p, d0);
  _RAST_CombinePixelsMulSourceAlphaNoClamp::doPix((unsigned char*)&p, 0, 0, 0, 0, 256);
  EXPECT_EQ(p, d0);
}

TEST(CombineSourceAlpha, transparent_source_still_nudges_dodge_overlay_and_hsv_by_one_step) {
  // With sa = 0 the weight is (0 + 1) * 256 / 256 = 1.
  uint32_t p = px(100, 100, 100, 100);
  _RAST_CombinePixelsColorDodgeSourceAlpha::doPix((unsigned char*)&p, 255, 255, 255, 0, 256);
  // t = 256 - 255 / 256 = 256 -> unchanged colour channels; alpha source 0 -> unchanged
  EXPECT_EQ(p, px(100, 100, 100, 100));
  p = px(100, 100, 100, 100);
  _RAST_CombinePixelsOverlaySourceAlpha::doPix((unsigned char*)&p, 255, 255, 255, 0, 256);
  // S = 255 + 128 * 255 = 32895; T = 32895 + (-127 * 100) / 256 = 32895 - 49 = 32846;
  // 100 * 32846 / 32768 = 100
  EXPECT_EQ(RAST_PixelR(p), 100);
  p = px(100, 100, 100, 100);
  _RAST_CombinePixelsHSVAdjustSourceAlpha::doPix((unsigned char*)&p, 128, 128, 128, 0, 256);
  EXPECT_EQ(RAST_PixelA(p), 0);  // HSV adjust replaces the alpha byte with the source alpha
}

TEST(CombineSourceAlpha, opaque_source_at_full_strength_is_stored_with_opaque_alpha) {
  uint32_t p = px(1, 2, 3, 4);
  _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix((unsigned char*)&p, 90, 91, 92, 255, 256);
  EXPECT_EQ(p, px(90, 91, 92, 255));
}

TEST(CombineSourceAlpha, partial_source_alpha_mixes_by_its_own_weight) {
  // Full strength: d := s + (d - s) * (255 - sa) / 256 and alpha := min(255, d + sa)
  uint32_t p = px(0, 200, 100, 200);
  _RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp::doPix((unsigned char*)&p, 200, 0, 100, 100, 256);
  EXPECT_EQ(RAST_PixelR(p), 200 + (-200 * 155) / 256);  // 200 - 121 = 79
  EXPECT_EQ(RAST_PixelR(p), 79);
  EXPECT_EQ(RAST_PixelG(p), 0 + (200 * 155) / 256);  // 121
  EXPECT_EQ(RAST_PixelB(p), 100);
  EXPECT_EQ(RAST_PixelA(p), 255);  // 200 + 100 capped
  // Half strength: w = (100 + 1) * 128 / 256 = 50
  p = px(0, 0, 0, 10);
  _RAST_CombinePixelsCopySourceAlphaNoClamp::doPix((unsigned char*)&p, 200, 200, 200, 100, 128);
  EXPECT_EQ(RAST_PixelR(p), 200 + (-200 * 206) / 256);  // 200 - 160 = 40
  EXPECT_EQ(RAST_PixelA(p), 60);
}

TEST(CombineHSV, adjustments_give_the_hand_computed_pixels) {
  const struct {
    const char* why;
    uint32_t d;
    int r, g, b, sa, w;
    uint32_t want;
  } cases[] = {
      // (200, 100, 50): h = (436 * 50) / 1024 = 21, sat = 326 * 150 / 256 = 191, val = 200; back:
      // p = 65 * 200 / 256 = 50, G = (16384 - 43 * 191) * 200 / 16384 = 99.
      {"neutral round trip truncates", px(200, 100, 50, 7), 128, 128, 128, 33, 256, px(200, 99, 50, 33)},
      // Red has hue 0; r = 127 at weight 128 shifts by -1 -> 383: B = q(63) = (16384 - 63 * 255) * 255 / 16384.
      {"hue below zero wraps to the top", px(255, 0, 0, 255), 127, 128, 128, 255, 128, px(255, 0, 4, 255)},
      // (255, 0, 1) has hue 383; r = 129 shifts by +1 -> 384 -> 0.
      {"hue past the top wraps to zero", px(255, 0, 1, 255), 129, 128, 128, 255, 256, px(255, 0, 0, 255)},
      // Grey 100 (hue 256, sat 0): green 255 adds 254 saturation; p = 2 * 100 / 256 = 0;
      // R = q(64) = (16384 - 64 * 254) * 100 / 16384 = 0.
      {"green raises saturation", px(100, 100, 100, 255), 128, 255, 128, 255, 256, px(0, 0, 100, 255)},
      // Blue 0 at half weight: val = 100 + (-128 * 128) / 128 = -28 -> 0.
      {"blue lowers value", px(100, 100, 100, 255), 128, 128, 0, 255, 128, px(0, 0, 0, 255)},
  };
  for (const auto& k : cases) {
    uint32_t p = k.d;
    _RAST_CombinePixelsHSVAdjust::doPix((unsigned char*)&p, k.r, k.g, k.b, k.sa, k.w);
    EXPECT_EQ(p, k.want) << k.why;
  }
}

TEST(CombineHSV, grey_pixels_keep_their_colour_and_take_the_source_alpha) {
  for (int v = 0; v < 256; v += 17) {
    uint32_t p = px(v, v, v, 9);
    _RAST_CombinePixelsHSVAdjust::doPix((unsigned char*)&p, 128, 128, 128, 255, 256);
    EXPECT_EQ(p, px(v, v, v, 255)) << v;
  }
}

TEST(CombineHSV, weights_far_beyond_full_strength_still_give_a_defined_hue) {
  // A weight of 16 times full strength moves the hue by several turns; the result must be one
  // of the six sectors, equal to the hue reduced modulo 384.
  uint32_t p = px(255, 0, 0, 255);
  _RAST_CombinePixelsHSVAdjust::doPix((unsigned char*)&p, 255, 128, 128, 255, 4096);
  EXPECT_EQ(p, ref::combine(px(255, 0, 0, 255), px(255, 128, 128, 255), 4096, 5));
}

TEST(CombineWholeWord, shifts_mask_each_byte_so_no_carry_crosses) {
  unsigned int d = 0xFFFFFFFFu;
  _RAST_CombinePixelsHalfMixFAST::doPix(&d, 0x01010101u);
  EXPECT_EQ(d, 0x7F7F7F7Fu);
  d = 0x00FF00FFu;
  _RAST_CombinePixelsQuarterMix2FAST::doPix(&d, _RAST_CombinePixelsQuarterMix2FAST::prep(0xFF00FF00u));
  // each byte d/4 + d/2 + c/4: 255 -> 63 + 127 + 0 = 190; 0 -> 0 + 0 + 63 = 63
  EXPECT_EQ(d, 0x3FBE3FBEu);
  d = 0x00FF00FFu;
  _RAST_CombinePixelsThreeQuarterMix2FAST::doPix(&d, _RAST_CombinePixelsThreeQuarterMix2FAST::prep(0xFF00FF00u));
  // d/4 + c/4 + c/2: 255 -> 63; 0 -> 63 + 127 = 190
  EXPECT_EQ(d, 0xBE3FBE3Fu);
  d = 0x12345678u;
  _RAST_CombinePixelsHalfMix2FAST::doPix(&d, _RAST_CombinePixelsHalfMix2FAST::prep(0x12345678u));
  EXPECT_EQ(d, 0x12345678u & ~0x01010101u);
}

TEST(CombineEntryPoints, zero_weight_and_unknown_modes_leave_the_destination) {
  const uint32_t d = px(1, 2, 3, 4), s = px(200, 100, 50, 255);
  EXPECT_EQ(RAST_CombinePixels(d, s, 0.0f, 0), d);
  EXPECT_EQ(RAST_CombinePixels(d, s, 0.003f, 1), d);  // weight truncates to 0
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 6), d);
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x10006), d);
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0), s);
  // Bits outside 0x100FF are not looked at.
  EXPECT_EQ(RAST_CombinePixels(d, s, 1.0f, 0x20100), s);
}

TEST(CombineEntryPoints, clamp_form_keeps_out_of_range_channels_in_range) {
  RAST_PixelValue p = px(10, 10, 10, 10);
  RAST_CombinePixels2Clamp(&p, 400, -20, 128, 300, 256, 0);
  EXPECT_EQ(p, px(255, 0, 128, 255));
  p = px(200, 200, 200, 200);
  RAST_CombinePixels2Clamp(&p, 600, 600, 600, 600, 256, 3);
  // (600 * 256) * 200 / 65536 = 468 -> 255
  EXPECT_EQ(p, px(255, 255, 255, 255));
  p = px(10, 10, 10, 10);
  RAST_CombinePixels2(&p, 40, 50, 60, 70, 256, 0);
  EXPECT_EQ(p, px(40, 50, 60, 70));
}

TEST(CombineEntryPoints, absurd_weights_and_channels_are_limited_not_overflowed) {
  RAST_PixelValue p = px(200, 200, 200, 200);
  RAST_CombinePixels2Clamp(&p, 2000000000, -2000000000, 5, 5, 2000000000, 4);
  RAST_CombinePixels2(&p, 2000000000, 7, 7, 7, -2000000000, 3);
  // The values are only required to be some pixel; the sanitizer run checks the arithmetic.
  const uint32_t q = RAST_CombinePixels(px(1, 2, 3, 4), px(5, 6, 7, 8), 1e30f, 4);
  EXPECT_EQ(q, ref::combine(px(1, 2, 3, 4), px(5, 6, 7, 8), 16384, 4));
}

TEST(CombineDifferential, every_mode_matches_the_scalar_formula_on_a_million_random_pixels) {
  const int modes[] = {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005};
  std::mt19937 rng(20261206);
  std::uniform_int_distribution<uint32_t> word;
  std::uniform_int_distribution<int> weight(-300, 600);
  long mismatches = 0;
  for (int i = 0; i < 1000000; i++) {
    const int mode = modes[i % 12];
    uint32_t d = word(rng), s = word(rng);
    // A third of the source pixels at the alpha values that take their own branches.
    if (i % 3 == 0) s = (s & ~255u) | (i % 2 ? 255u : 0u);
    int w;
    switch (i % 5) {
      case 0: w = 256; break;
      case 1: w = (int)(rng() % 257); break;
      default: w = weight(rng); break;
    }
    RAST_PixelValue got = d;
    RAST_CombinePixels2(&got, RAST_PixelR(s), RAST_PixelG(s), RAST_PixelB(s), RAST_PixelA(s), w, mode);
    const uint32_t want = ref::combine(d, s, w, mode);
    if (got != want && ++mismatches < 10)
      ADD_FAILURE() << std::hex << "mode 0x" << mode << " w " << std::dec << w << " d 0x" << std::hex << d
                    << " s 0x" << s << " got 0x" << got << " want 0x" << want;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(CombineDifferential, float_entry_point_weight_is_alpha_times_256_truncated) {
  std::mt19937 rng(7);
  for (int i = 0; i < 20000; i++) {
    const uint32_t d = rng(), s = rng();
    const float alpha = (float)((int)(rng() % 2001) - 500) / 997.0f;
    const int mode = (int)(rng() % 6) | (i & 1 ? 0x10000 : 0);
    const int w = (int)((double)alpha * 256.0);
    ASSERT_EQ(RAST_CombinePixels(d, s, alpha, mode), ref::combine(d, s, w, mode)) << alpha << " " << mode;
  }
}

}  // namespace
