// Every line, circle, arc, rounded-rectangle and dash call keeps its writes inside the bitmap and
// returns, whatever the coordinates, radii, angles, weights and modes: checked with guard bands
// of known pixels around the visible area, over many seeded random calls with extreme values.
// Bottom-up bitmaps store the drawing mirrored.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_dash.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_roundrect.h"
#include "raster_test_util.h"

namespace {

const int kGuard = 8;
const uint32_t kGuardPixel = 0x5AA5C33Cu;

// A bitmap whose visible pixels sit inside a frame of guard pixels in the same rows.
class Guarded : public RAST_IBitmap {
 public:
  Guarded(int w, int h, bool flipped) : w_(w), h_(h), span_(w + 2 * kGuard), flipped_(flipped) {
    store_.assign((size_t)span_ * (h + 2 * kGuard), kGuardPixel);
    for (int i = 0; i < w * h; i++) getBits()[(size_t)(i / w) * span_ + i % w] = 0;
  }
  RAST_PixelValue* getBits() override { return store_.data() + (size_t)kGuard * span_ + kGuard; }
  int getWidth() override { return w_; }
  int getHeight() override { return h_; }
  int getRowSpan() override { return span_; }
  bool isFlipped() override { return flipped_; }
  bool resize(int, int) override { return false; }
  // Guard pixels that changed, and visible pixels that did.
  int spoiled(bool inside = false) const {
    int n = 0;
    for (size_t i = 0; i < store_.size(); i++) {
      const int x = (int)(i % span_) - kGuard, y = (int)(i / span_) - kGuard;
      if ((x >= 0 && x < w_ && y >= 0 && y < h_) == inside) n += store_[i] != (inside ? 0 : kGuardPixel);
    }
    return n;
  }

 private:
  int w_, h_, span_;
  bool flipped_;
  std::vector<RAST_PixelValue> store_;
};

// Arguments mostly near the bitmap, sometimes far away, at the limits or not finite.
class Gen {
 public:
  explicit Gen(uint32_t seed) : rng_(seed) {}
  int coord(int size) {
    const unsigned k = rng_() % 8;
    return k == 0 ? pick({INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1, 0, -1})
           : k == 1 ? (int)(rng_() % 2000001) - 1000000 : (int)(rng_() % (unsigned)(size + 20)) - 10;
  }
  float fcoord(int size) {
    const unsigned k = rng_() % 10;
    return k == 0 ? pick({INFINITY, -INFINITY, NAN, 3e38f, -3e38f, 1e-30f})
           : k == 1 ? (float)((double)(int)rng_() * 1000.0)
                    : (float)((double)(rng_() % ((unsigned)size * 100 + 2000)) / 100.0 - 10.0);
  }
  float radius(int size) {
    return rng_() % 8 ? (float)((double)(rng_() % ((unsigned)size * 100)) / 100.0)
                      : pick({0.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, -1.0f, 1e9f, 3e38f});
  }
  float alpha() { return pick({1.0f, 0.5f, 0.25f, 0.75f, 0.0f, 0.003f, -0.5f, 1.7f, 100.0f, -1e9f, NAN, 0.61f}); }
  int mode() { return (int)(rng_() % 8) | (rng_() % 4 == 0 ? 0x10000 : 0) | (rng_() % 16 == 0 ? 0x100 : 0); }
  int length() { return pick({1, 2, 3, 0, -2, 5, INT_MAX, INT_MIN, 17}); }
  unsigned next() { return rng_(); }
  bool coin() { return rng_() & 1; }

 private:
  template <class T>
  T pick(std::initializer_list<T> v) { return v.begin()[rng_() % v.size()]; }
  std::mt19937 rng_;
};

void randomCall(Guarded& bm, Gen& g) {
  const int w = bm.getWidth(), h = bm.getHeight();
  const uint32_t c = g.next();
  switch (g.next() % 8) {
    case 0: RAST_Line(&bm, g.coord(w), g.coord(h), g.coord(w), g.coord(h), c, g.alpha(), g.mode(), g.coin()); break;
    case 1: RAST_FLine(&bm, g.fcoord(w), g.fcoord(h), g.fcoord(w), g.fcoord(h), c, g.alpha(), g.mode(), g.coin()); break;
    case 2:
      RAST_DashedLine(&bm, g.coord(w), g.coord(h), g.coin() ? g.coord(w) : 5, g.coord(h), g.length(), g.length(), c,
                      g.alpha(), g.mode(), g.coin());
      break;
    case 3: RAST_Circle(&bm, g.fcoord(w), g.fcoord(h), g.radius(w), c, g.alpha(), g.mode(), g.coin()); break;
    case 4: RAST_FillCircle(&bm, g.fcoord(w), g.fcoord(h), g.radius(w), c, g.alpha(), g.mode(), g.coin()); break;
    case 5:
      RAST_Arc(&bm, g.fcoord(w), g.fcoord(h), g.radius(w), g.fcoord(8) - 4, g.fcoord(8) - 4, c, g.alpha(), g.mode(),
               g.coin());
      break;
    case 6:
      RAST_RoundRect(&bm, g.fcoord(w), g.fcoord(h), g.fcoord(w), g.fcoord(h), g.length(), c, g.alpha(), g.mode(),
                     g.coin());
      break;
    default: {  // straight runs and exact diagonals, the fast paths
      const long long x = g.coord(w), y = g.coord(h), n = g.coord(w), m = g.coin() ? n : 0;
      auto s = [](long long v) { return (int)std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, v)); };
      RAST_Line(&bm, s(x), s(y), s(x + (g.coin() ? m : n / 2)), s(y + (g.coin() ? n - m : -n / 2)), c, g.alpha(),
                g.mode(), g.coin());
    }
  }
}

TEST(DrawingRobustness, RandomCallsDrawInsideAndNeverWriteOutsideTheBitmap) {
  const int sizes[][2] = {{1, 1}, {2, 7}, {17, 3}, {40, 40}, {64, 33}};
  for (int s = 0; s < 5; s++)
    for (bool flipped : {false, true}) {
      Guarded bm(sizes[s][0], sizes[s][1], flipped);
      Gen g(1000u + (unsigned)s * 7u + (flipped ? 1u : 0u));
      for (int i = 0; i < 20000; i++) {
        randomCall(bm, g);
        if ((i & 1023) == 0) { ASSERT_EQ(bm.spoiled(), 0) << sizes[s][0] << "x" << sizes[s][1] << " call " << i; }
      }
      EXPECT_EQ(bm.spoiled(), 0);
      // A drawer that drew nothing at all would pass the guards too.
      if (s == 3) { EXPECT_GT(bm.spoiled(true), 1200); }
    }
}

}  // namespace
