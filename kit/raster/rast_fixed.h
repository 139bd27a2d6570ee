// Saturating conversions used wherever a float or a 64-bit value becomes an int that the pixel
// arithmetic multiplies: an out-of-range value must never overflow a signed product.
#pragma once

#include <climits>
#include <cstdint>

// Largest weight magnitude that keeps every combiner's products inside 32 bits
// (multiply and overlay reach about 256 * 255 * |weight|).
enum { RAST_WEIGHT_LIMIT = 16384 };
// Largest channel or weight magnitude accepted by the clamping combiners, whose source channel
// and weight may both be out of range at once (gradient fills).
enum { RAST_CLAMP_INPUT_LIMIT = 1024 };

inline int RAST_SaturateInt(long long v, int lo, int hi) {
  return v < lo ? lo : v > hi ? hi : (int)v;
}

// Double to int, truncating toward zero, saturating at the int range; NaN gives 0.
inline int RAST_TruncSat(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return (int)v;
}

// The integer weight of a float alpha: alpha * 256 as a double, truncated toward zero.
// Weights outside 0..256 keep their documented wrapping in the combiners; only magnitudes that
// would overflow the arithmetic are held at the limit.
inline int RAST_AlphaWeight(float alpha) {
  int w = RAST_TruncSat((double)alpha * 256.0);
  return RAST_SaturateInt(w, -RAST_WEIGHT_LIMIT, RAST_WEIGHT_LIMIT);
}

// A value rounded to single precision, for set-up steps that are done in float. A plain
// (double)(float) round trip is not enough with g++ 12 from -O2 on: when two such round trips
// sit side by side (a start x and y), the basic-block vectorizer pairs them into one vector
// operation and leaves the narrowing out, so both keep full double precision (a half turn's
// start of 8.9999996 then truncates to row 8 instead of rounding to 9.0 first). A single cast
// on its own is kept. The volatile float cannot be paired away.
inline double RAST_Single(double v) {
  volatile float f = (float)v;
  return f;
}
