// Clipping, one rule for every drawer: a drawing into a smaller bitmap at an offset equals that
// window of the same drawing made whole into a larger one.
#include <gtest/gtest.h>

#include <functional>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_poly.h"
#include "kit/raster/rast_rotate.h"
#include "kit/raster/rast_scaled.h"
#include "kit/raster/rast_trap.h"
#include "raster_test_util.h"

namespace {

using namespace rt;

// The drawing moved by (-ox, -oy).
using Shifted = std::function<void(RAST_IBitmap*, int ox, int oy)>;

Shifted circle(float cx, float cy, float r, bool aa, bool filled) {
  return [=](RAST_IBitmap* bm, int ox, int oy) {
    if (filled) RAST_FillCircle(bm, cx - ox, cy - oy, r, kColour, 0.6f, 1, aa);
    else RAST_Circle(bm, cx - ox, cy - oy, r, kColour, 0.6f, 1, aa);
  };
}
Shifted line(int x1, int y1, int x2, int y2, bool aa) {
  return [=](RAST_IBitmap* bm, int ox, int oy) { RAST_Line(bm, x1 - ox, y1 - oy, x2 - ox, y2 - oy, kColour, 0.6f, 4, aa); };
}
TEST(Clip, ADrawingCutByTheEdgesEqualsTheSameWindowOfTheWholeDrawing) {
  static rt::Randomized src(40, 30, 7);
  const int px7[] = {3, 20, 41, 45, 30, 9, 1}, py7[] = {2, 0, 9, 30, 44, 37, 18};
  const struct {
    const char* what;
    int big, win, wx, wy;
    Shifted draw;
  } cases[] = {
      // The centre left of and above the window: it rounds down, not toward zero.
      {"circle near the corner", 40, 20, 10, 10, circle(6.5f, 7.25f, 9.3f, false, false)},
      {"anti-aliased circle", 40, 20, 10, 10, circle(6.5f, 7.25f, 9.3f, true, false)},
      {"filled circle", 40, 20, 10, 10, circle(6.5f, 7.25f, 9.3f, false, true)},
      {"anti-aliased filled circle", 40, 20, 10, 10, circle(6.5f, 7.25f, 9.3f, true, true)},
      // A radius-300 circle whose centre lies far outside: the walk starts deep in the octant.
      {"far centre, right", 640, 40, 600, 300, circle(320, 320, 300.4f, false, false)},
      {"far centre, bottom, aa", 640, 40, 300, 600, circle(320, 320, 300.4f, true, false)},
      {"far centre, top, filled aa", 640, 40, 300, 0, circle(320, 320, 300.4f, true, true)},
      {"far centre, left, filled", 640, 40, 0, 300, circle(320, 320, 300.4f, false, true)},
      // Sloped lines are drawn as the line between their clipped ends, so only straight runs
      // and plain diagonals keep their pixels.
      {"diagonal", 40, 12, 5, 7, line(2, 2, 38, 38, false)},
      {"row", 40, 12, 5, 7, line(1, 9, 38, 9, true)},
      {"polygon", 64, 24, 9, 11,
       [&](RAST_IBitmap* bm, int ox, int oy) {
         int xs[7], ys[7];
         for (int i = 0; i < 7; i++) xs[i] = px7[i] - ox, ys[i] = py7[i] - oy;
         RAST_FillConvexPolygon(bm, xs, ys, 7, kColour, 0.6f, 1);
       }},
      {"trapezoid", 40, 16, 6, 9,
       [](RAST_IBitmap* bm, int ox, int oy) { RAST_FillTrapezoid(bm, 2 - ox, 7 - ox, -oy, 5 - ox, 36 - ox, 35 - oy, kColour, 0.6f, 1); }},
      {"blit", 40, 10, 8, 6, [](RAST_IBitmap* bm, int ox, int oy) { RAST_Blit(bm, &src, 3 - ox, 2 - oy, 1, 1, 36, 28, 0.6f, 1); }},
      {"scaled blit", 40, 14, 9, 5,
       [](RAST_IBitmap* bm, int ox, int oy) { RAST_ScaledBlit(bm, &src, 1 - ox, 2 - oy, 37, 33, 0.5f, 1, 25, 21, 1.0f, 0); }},
      {"mirrored scaled blit", 40, 14, 9, 5,
       [](RAST_IBitmap* bm, int ox, int oy) { RAST_ScaledBlit(bm, &src, 38 - ox, 2 - oy, -37, 33, 0, 0, 40, 30, 1.0f, 0); }},
      // Cut at the right and bottom only: a cut at the top left advances the start exactly but
      // truncates the steps once, within the 16.16 stepping.
      {"rotated blit", 40, 12, 0, 0,
       [](RAST_IBitmap* bm, int ox, int oy) { RAST_RotatedBlit(bm, &src, 4 - ox, 3 - oy, 30, 30, 2, 1, 30, 26, 0.4f, true, 1.0f, 0x100, 0, 0); }},
  };
  for (const auto& k : cases) {
    rt::Filled big(k.big, k.big, kBack), win(k.win, k.win, kBack);
    k.draw(&big, 0, 0);
    k.draw(&win, k.wx, k.wy);
    EXPECT_GT(rt::countSet(win, kBack), 0) << k.what;
    EXPECT_TRUE(rt::same(win, big, k.wx, k.wy)) << k.what;
  }
}

}  // namespace
