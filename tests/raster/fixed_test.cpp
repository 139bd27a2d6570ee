// Saturating conversions and the single-precision helper used by the fixed-point set-up.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "kit/raster/rast_fixed.h"

namespace {

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
