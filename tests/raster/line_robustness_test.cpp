// Every line, circle, arc, rounded-rectangle and dash call keeps its writes inside the bitmap and
// returns, whatever the coordinates, radii, angles, weights and modes: checked with guard bands
// of known pixels around the visible area, over many seeded random calls with extreme values.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_dash.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_roundrect.h"

namespace {

const int kGuard = 8;
const uint32_t kGuardPixel = 0x5AA5C33Cu;

// A bitmap whose visible pixels sit inside a frame of guard pixels in the same rows.
class Guarded : public RAST_IBitmap {
 public:
  Guarded(int w, int h, bool flipped) : w_(w), h_(h), flipped_(flipped), span_(w + 2 * kGuard) {
    store_.assign((size_t)span_ * (h + 2 * kGuard), kGuardPixel);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) getBits()[(size_t)y * span_ + x] = 0;
  }
  RAST_PixelValue* getBits() override { return store_.data() + (size_t)kGuard * span_ + kGuard; }
  int getWidth() override { return w_; }
  int getHeight() override { return h_; }
  int getRowSpan() override { return span_; }
  bool isFlipped() override { return flipped_; }
  bool resize(int, int) override { return false; }
  // Guard pixels that changed.
  int spoiled() const {
    int n = 0;
    for (int y = 0; y < h_ + 2 * kGuard; y++)
      for (int x = 0; x < span_; x++) {
        const bool inside = y >= kGuard && y < kGuard + h_ && x >= kGuard && x < kGuard + w_;
        if (!inside && store_[(size_t)y * span_ + x] != kGuardPixel) n++;
      }
    return n;
  }

 private:
  int w_, h_;
  bool flipped_;
  int span_;
  std::vector<RAST_PixelValue> store_;
};

class Gen {
 public:
  explicit Gen(uint32_t seed) : rng_(seed) {}
  // Mostly near the bitmap, sometimes far away or at the limits.
  int coord(int size) {
    switch (rng_() % 8) {
      case 0: return pick({INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1, 0, -1});
      case 1: return (int)(rng_() % 2000001) - 1000000;
      default: return (int)(rng_() % (unsigned)(size + 20)) - 10;
    }
  }
  float fcoord(int size) {
    switch (rng_() % 10) {
      case 0: return pickf({std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            std::nanf(""), 3e38f, -3e38f, 1e-30f});
      case 1: return (float)((double)(int)rng_() * 1000.0);
      default: return (float)((double)(rng_() % ((unsigned)size * 100 + 2000)) / 100.0 - 10.0);
    }
  }
  float radius(int size) {
    switch (rng_() % 8) {
      case 0: return pickf({0.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, -1.0f, 1e9f, 3e38f});
      default: return (float)((double)(rng_() % ((unsigned)size * 100)) / 100.0);
    }
  }
  float alpha() { return pickf({1.0f, 0.5f, 0.25f, 0.75f, 0.0f, 0.003f, -0.5f, 1.7f, 100.0f, -1e9f, std::nanf(""), 0.61f}); }
  int mode() { return (int)(rng_() % 8) | (rng_() % 4 == 0 ? 0x10000 : 0) | (rng_() % 16 == 0 ? 0x100 : 0); }
  bool coin() { return rng_() & 1; }
  int length() { return pick({1, 2, 3, 0, -2, 5, INT_MAX, INT_MIN, 17}); }
  uint32_t colour() { return rng_(); }
  unsigned next() { return rng_(); }

 private:
  int pick(std::initializer_list<int> v) { return v.begin()[rng_() % v.size()]; }
  float pickf(std::initializer_list<float> v) { return v.begin()[rng_() % v.size()]; }
  std::mt19937 rng_;
};

void randomCall(Guarded& bm, Gen& g) {
  const int w = bm.getWidth(), h = bm.getHeight();
  switch (g.next() % 8) {
    case 0:
      RAST_Line(&bm, g.coord(w), g.coord(h), g.coord(w), g.coord(h), g.colour(), g.alpha(), g.mode(), g.coin());
      break;
    case 1:
      RAST_FLine(&bm, g.fcoord(w), g.fcoord(h), g.fcoord(w), g.fcoord(h), g.colour(), g.alpha(), g.mode(), g.coin());
      break;
    case 2:
      RAST_DashedLine(&bm, g.coord(w), g.coord(h), g.coin() ? g.coord(w) : 5, g.coord(h), g.length(), g.length(),
                      g.colour(), g.alpha(), g.mode(), g.coin());
      break;
    case 3:
      RAST_Circle(&bm, g.fcoord(w), g.fcoord(h), g.radius(w), g.colour(), g.alpha(), g.mode(), g.coin());
      break;
    case 4:
      RAST_FillCircle(&bm, g.fcoord(w), g.fcoord(h), g.radius(w), g.colour(), g.alpha(), g.mode(), g.coin());
      break;
    case 5:
      RAST_Arc(&bm, g.fcoord(w), g.fcoord(h), g.radius(w), g.fcoord(8) - 4, g.fcoord(8) - 4, g.colour(), g.alpha(),
               g.mode(), g.coin());
      break;
    case 6:
      RAST_RoundRect(&bm, g.fcoord(w), g.fcoord(h), g.fcoord(w), g.fcoord(h), g.length(), g.colour(), g.alpha(),
                     g.mode(), g.coin());
      break;
    default: {
      // Straight runs and exact diagonals, the fast paths.
      const long long x = g.coord(w), y = g.coord(h), n = g.coord(w);
      auto c = [](long long v) { return (int)(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v); };
      if (g.coin())
        RAST_Line(&bm, c(x), c(y), c(x + (g.coin() ? n : 0)), c(y + (g.coin() ? 0 : n)), g.colour(), g.alpha(), g.mode(),
                  g.coin());
      else
        RAST_Line(&bm, c(x), c(y), c(x + n / 2), c(y - n / 2), g.colour(), g.alpha(), g.mode(), g.coin());
    }
  }
}

TEST(DrawingRobustness, RandomCallsNeverWriteOutsideTheBitmap) {
  const int sizes[][2] = {{1, 1}, {2, 7}, {17, 3}, {40, 40}, {64, 33}};
  for (int s = 0; s < 5; s++)
    for (bool flipped : {false, true}) {
      Guarded bm(sizes[s][0], sizes[s][1], flipped);
      Gen g(1000u + (unsigned)s * 7u + (flipped ? 1u : 0u));
      for (int i = 0; i < 20000; i++) {
        randomCall(bm, g);
        if ((i & 1023) == 0) {
          ASSERT_EQ(bm.spoiled(), 0) << "size " << sizes[s][0] << "x" << sizes[s][1] << " call " << i;
        }
      }
      EXPECT_EQ(bm.spoiled(), 0);
    }
}

TEST(DrawingRobustness, RandomCallsDrawSomethingInsideTheBitmap) {
  // The guard test would also pass for a drawer that drew nothing at all.
  Guarded bm(40, 40, false);
  Gen g(77);
  for (int i = 0; i < 500; i++) randomCall(bm, g);
  int changed = 0;
  for (int y = 0; y < 40; y++)
    for (int x = 0; x < 40; x++) changed += bm.getBits()[(size_t)y * bm.getRowSpan() + x] != 0;
  EXPECT_GT(changed, 400);
}

}  // namespace
