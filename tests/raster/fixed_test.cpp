// Saturating conversions and the single-precision helper used by the fixed-point set-up.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "kit/raster/rast_fixed.h"

namespace {

// A double that came from a float has its 29 lowest mantissa bits clear.
bool isSingle(double v) {
  uint64_t bits;
  memcpy(&bits, &v, sizeof bits);
  return (bits & ((1ull << 29) - 1)) == 0;
}

struct Start {
  double x, y;
};

// Two neighbouring roundings of the same shape, stored side by side: the pattern the optimiser
// would pair into one vector operation.
__attribute__((noinline)) void startPoint(Start& s, double a, double b, double c, double d) {
  s.x = RAST_Single(a - c * 0.5);
  s.y = RAST_Single(b - d * 0.5);
}

TEST(SinglePrecision, two_neighbouring_start_values_are_both_rounded_to_float) {
  volatile double a = 1.0, b = 2.0, c = 0.1, d = 0.3;
  Start s;
  startPoint(s, a, b, c, d);
  EXPECT_TRUE(isSingle(s.x)) << s.x;
  EXPECT_TRUE(isSingle(s.y)) << s.y;
  EXPECT_EQ(s.x, (double)0.95f);
  EXPECT_EQ(s.y, (double)1.85f);
}

TEST(SinglePrecision, a_value_already_in_float_is_kept) {
  EXPECT_EQ(RAST_Single(0.5), 0.5);
  EXPECT_EQ(RAST_Single(-3.25), -3.25);
  EXPECT_EQ(RAST_Single((double)16777217.0f), 16777216.0);
}

TEST(Saturation, truncation_toward_zero_saturates_and_nan_gives_zero) {
  EXPECT_EQ(RAST_TruncSat(2.9), 2);
  EXPECT_EQ(RAST_TruncSat(-2.9), -2);
  EXPECT_EQ(RAST_TruncSat(1e30), INT_MAX);
  EXPECT_EQ(RAST_TruncSat(-1e30), INT_MIN);
  EXPECT_EQ(RAST_TruncSat(std::nan("")), 0);
  EXPECT_EQ(RAST_TruncSat(2147483646.5), 2147483646);
}

TEST(Saturation, alpha_weight_truncates_and_holds_at_the_limit) {
  EXPECT_EQ(RAST_AlphaWeight(1.0f), 256);
  EXPECT_EQ(RAST_AlphaWeight(0.5f), 128);
  EXPECT_EQ(RAST_AlphaWeight(0.7f), 179);  // 179.19999...
  EXPECT_EQ(RAST_AlphaWeight(-0.5f), -128);
  EXPECT_EQ(RAST_AlphaWeight(2.0f), 512);  // outside 0..256 is kept for the documented wrap
  EXPECT_EQ(RAST_AlphaWeight(1e10f), RAST_WEIGHT_LIMIT);
  EXPECT_EQ(RAST_AlphaWeight(-1e10f), -RAST_WEIGHT_LIMIT);
  EXPECT_EQ(RAST_AlphaWeight(INFINITY), RAST_WEIGHT_LIMIT);
  EXPECT_EQ(RAST_AlphaWeight(NAN), 0);
}

}  // namespace
