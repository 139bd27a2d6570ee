// Small helpers shared by the raster tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "kit/raster/rast_bitmap.h"

namespace rt {

inline uint32_t px(int r, int g, int b, int a) { return RAST_MakePixel(r, g, b, a); }

inline uint32_t& at(RAST_IBitmap& bm, int x, int y) { return bm.getBits()[(size_t)y * bm.getRowSpan() + x]; }

inline void fill(RAST_IBitmap& bm, uint32_t v) {
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++) at(bm, x, y) = v;
}

inline void randomize(RAST_IBitmap& bm, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++) at(bm, x, y) = rng();
}

// Each pixel tells its own position, so misplaced copies show.
inline void numbered(RAST_IBitmap& bm) {
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++) at(bm, x, y) = 0xA5000000u | (uint32_t)(y << 12) | (uint32_t)x;
}

// A heap bitmap that reports its rows as stored bottom-up: row y as the caller counts it is
// stored row height - 1 - y.
class FlippedBitmap : public RAST_MemBitmap {
 public:
  FlippedBitmap(int w, int h) : RAST_MemBitmap(w, h) {}
  bool isFlipped() override { return true; }
  uint32_t& logical(int x, int y) { return at(*this, x, getHeight() - 1 - y); }
};

}  // namespace rt
