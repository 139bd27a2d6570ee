// Helpers shared by the raster tests: bitmaps filled by rule, comparisons, and for the drawers
// the colours, the pixel one touch in each mode gives, and a picture of touch counts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kit/raster/rast_bitmap.h"
#include "raster/reference_combine.h"

namespace rt {

inline uint32_t px(int r, int g, int b, int a) { return RAST_MakePixel(r, g, b, a); }
inline uint32_t& at(RAST_IBitmap& bm, int x, int y) { return bm.getBits()[(size_t)y * bm.getRowSpan() + x]; }

// Every pixel set by f(x, y).
template <class F>
void each(RAST_IBitmap& bm, F f) {
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++) at(bm, x, y) = f(x, y);
}
inline void fill(RAST_IBitmap& bm, uint32_t v) { each(bm, [v](int, int) { return v; }); }
// Each pixel tells its own position, so misplaced copies show.
inline void numbered(RAST_IBitmap& bm) {
  each(bm, [](int x, int y) { return 0xA5000000u | (uint32_t)(y << 12) | (uint32_t)x; });
}

// Pixel at row y as the caller counts rows (bottom-up bitmaps store it at height - 1 - y).
inline uint32_t shown(RAST_IBitmap& bm, int x, int y) { return at(bm, x, bm.isFlipped() ? bm.getHeight() - 1 - y : y); }

// Every pixel of `a` equals the pixel of `b` at (x + dx, y + dy), rows as the caller counts them.
inline ::testing::AssertionResult same(RAST_IBitmap& a, RAST_IBitmap& b, int dx = 0, int dy = 0) {
  if (a.getWidth() + dx > b.getWidth() || a.getHeight() + dy > b.getHeight() || dx < 0 || dy < 0)
    return ::testing::AssertionFailure() << "the second bitmap does not cover the first";
  for (int y = 0; y < a.getHeight(); y++)
    for (int x = 0; x < a.getWidth(); x++)
      if (shown(a, x, y) != shown(b, x + dx, y + dy))
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << shown(a, x, y)
                                             << ", not " << shown(b, x + dx, y + dy);
  return ::testing::AssertionSuccess();
}

// Pixels that differ from v.
inline int countSet(RAST_IBitmap& bm, uint32_t v = 0) {
  int n = 0;
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++) n += at(bm, x, y) != v;
  return n;
}
inline ::testing::AssertionResult all(RAST_IBitmap& bm, uint32_t v) {
  if (int n = countSet(bm, v)) return ::testing::AssertionFailure() << n << " pixels differ from " << std::hex << v;
  return ::testing::AssertionSuccess();
}

// Heap bitmaps made with every pixel set to one value, or to seeded random words.
struct Filled : RAST_MemBitmap {
  Filled(int w, int h, uint32_t v = 0) : RAST_MemBitmap(w, h) { fill(*this, v); }
};
struct Randomized : RAST_MemBitmap {
  Randomized(int w, int h, uint32_t seed) : RAST_MemBitmap(w, h) {
    std::mt19937 rng(seed);
    each(*this, [&](int, int) { return (uint32_t)rng(); });
  }
};

// A blank heap bitmap that stores its rows bottom-up.
struct FlippedBitmap : RAST_MemBitmap {
  FlippedBitmap(int w, int h) : RAST_MemBitmap(w, h) { fill(*this, 0); }
  bool isFlipped() override { return true; }
};

const uint32_t kColour = RAST_MakePixel(201, 77, 150, 233);
const uint32_t kBack = RAST_MakePixel(90, 141, 230, 61);
const uint32_t kOne = 0x01010101u;

inline uint32_t grey(int v) { return RAST_MakePixel(v, v, v, v); }

// kBack after one touch of kColour at weight w in the mode's combiner.
inline uint32_t once(int mode, int w) { return ref::combine(kBack, kColour, w, mode); }

// Rows of a drawing made by adding kOne onto black, as the caller counts them: '.' untouched,
// otherwise the number of touches.
inline std::vector<std::string> picture(RAST_IBitmap& bm) {
  std::vector<std::string> rows;
  for (int y = 0; y < bm.getHeight(); y++) {
    std::string r;
    for (int x = 0; x < bm.getWidth(); x++) {
      const uint32_t v = shown(bm, x, y), n = v & 255;
      r += v == 0 ? '.' : (v == n * kOne && n < 10) ? (char)('0' + n) : '?';
    }
    rows.push_back(r);
  }
  return rows;
}

using Draw = std::function<void(RAST_IBitmap*, uint32_t colour, float alpha, int mode)>;

// A drawing and one pixel it touches once, with the weight it gets at alpha 0.6 (weight 153).
// Shape drawers take the colour's own alpha as source alpha and ignore the source-alpha bit;
// blits honour it.
struct Probe {
  const char* path;
  Draw draw;
  int x, y, weight;
  bool sourceAlphaBit = false;
};

// Each probe pixel over kBack shows the mode's combiner; modes above 5 draw nothing.
inline void expectModes(const std::vector<Probe>& probes, std::initializer_list<int> modes) {
  for (int mode : modes)
    for (const Probe& p : probes) {
      Filled bm(13, 13, kBack);
      p.draw(&bm, kColour, 0.6f, mode);
      EXPECT_EQ(at(bm, p.x, p.y), (mode & 0xFF) > 5 ? kBack : once(p.sourceAlphaBit ? mode : mode & 0xFF, p.weight))
          << p.path << ", mode 0x" << std::hex << mode;
    }
}

}  // namespace rt
