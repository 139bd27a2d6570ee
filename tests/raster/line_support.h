// Shared by the line, circle and robustness tests: the colours, the pixel one touch in each mode
// gives, and a text picture of how often each pixel was touched.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kit/raster/rast_bitmap.h"
#include "raster/reference_combine.h"
#include "raster_test_util.h"

namespace lt {

using rt::at;

const uint32_t kColour = RAST_MakePixel(201, 77, 150, 233);
const uint32_t kBack = RAST_MakePixel(90, 141, 230, 61);
const uint32_t kOne = 0x01010101u;
const uint32_t kWhite = 0xFFFFFFFFu;

inline uint32_t grey(int v) { return RAST_MakePixel(v, v, v, v); }

// kBack after one touch of kColour at weight w in the mode's combiner.
inline uint32_t once(int mode, int w) {
  if ((mode & 0xFF) == 5) return ref::pack(ref::hsv(ref::unpack(kBack), ref::unpack(kColour), w));
  return ref::combine(kBack, kColour, w, mode & 0xFF);
}

// Rows of a drawing made by adding kOne onto black, as the caller counts them: '.' untouched,
// otherwise the number of touches.
inline std::vector<std::string> picture(RAST_IBitmap& bm) {
  std::vector<std::string> rows;
  for (int y = 0; y < bm.getHeight(); y++) {
    std::string r;
    for (int x = 0; x < bm.getWidth(); x++) {
      const uint32_t v = rt::shown(bm, x, y), n = v & 255;
      r += v == 0 ? '.' : (v == n * kOne && n < 10) ? (char)('0' + n) : '?';
    }
    rows.push_back(r);
  }
  return rows;
}

// The red bytes of a drawing, row by row.
inline std::vector<std::vector<int>> reds(RAST_IBitmap& bm) {
  std::vector<std::vector<int>> rows(bm.getHeight());
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++) rows[y].push_back(RAST_PixelR(at(bm, x, y)));
  return rows;
}

using Draw = std::function<void(RAST_IBitmap*, uint32_t colour, float alpha, int mode)>;

// A drawing and one pixel it touches once, with the weight it gets at alpha 0.6 (weight 153).
struct Probe {
  const char* path;
  Draw draw;
  int x, y, weight;
};

// Each probe pixel over kBack shows the mode's combiner; modes above 5 draw nothing.
inline void expectModes(const std::vector<Probe>& probes, std::initializer_list<int> modes) {
  for (int mode : modes)
    for (const Probe& p : probes) {
      rt::Filled bm(13, 13, kBack);
      p.draw(&bm, kColour, 0.6f, mode);
      EXPECT_EQ(at(bm, p.x, p.y), (mode & 0xFF) > 5 ? kBack : once(mode, p.weight)) << p.path << ", mode 0x" << std::hex
                                                                                     << mode;
    }
}

}  // namespace lt
