// What every drawing call shares: each mode reaches its combiner on every path, and refused,
// degenerate or out-of-range calls leave the bitmap as it was.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_bezier.h"
#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_dash.h"
#include "kit/raster/rast_drawglyph.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_poly.h"
#include "kit/raster/rast_rotate.h"
#include "kit/raster/rast_roundrect.h"
#include "kit/raster/rast_scaled.h"
#include "kit/raster/rast_transform.h"
#include "kit/raster/rast_trap.h"
#include "raster_test_util.h"

namespace {

using namespace rt;
const float kPi = 3.1415927f;

// A drawing of colour c at alpha a in mode m into b; blits draw from a source of that one colour,
// so that every blit path shows the combiner at each pixel.
#define DRAW(call) [&](RAST_IBitmap* b, uint32_t c, float a, int m) { call; }
#define CALL(call) [&](RAST_IBitmap* b) { call; }
#define BLIT(side, call) [&](RAST_IBitmap* b, uint32_t c, float a, int m) { Filled s(side, side, c); call; }

TEST(EveryDrawer, EachPathCombinesThroughTheModesCombiner) {
  float mesh[] = {0, 0, 13, 0, 0, 13, 13, 13};
  expectModes({{"line", DRAW(RAST_Line(b, 1, 3, 9, 3, c, a, m, false)), 4, 3, 153},
               {"line, anti-aliased vertical", DRAW(RAST_Line(b, 5, 0, 5, 9, c, a, m, true)), 5, 4, 153},
               {"line, diagonal", DRAW(RAST_Line(b, 1, 1, 6, 6, c, a, m, false)), 3, 3, 153},
               {"line, anti-aliased diagonal", DRAW(RAST_Line(b, 1, 1, 6, 6, c, a, m, true)), 3, 3, 3 * 153 / 4},
               {"line, general", DRAW(RAST_Line(b, 0, 0, 9, 3, c, a, m, false)), 0, 0, 153},
               {"line, anti-aliased general end", DRAW(RAST_Line(b, 0, 0, 9, 3, c, a, m, true)), 9, 3, 153},
               {"float line along x", DRAW(RAST_FLine(b, 0.5f, 0.5f, 10.5f, 0.5f, c, a, m, true)), 4, 1, 76},
               {"float line along y", DRAW(RAST_FLine(b, 0.5f, 0.5f, 0.5f, 10.5f, c, a, m, true)), 1, 4, 76},
               {"dash", DRAW(RAST_DashedLine(b, 0, 2, 9, 2, 3, 2, c, a, m, false)), 1, 2, 153},
               {"circle", DRAW(RAST_Circle(b, 6, 6, 3.2f, c, a, m, false)), 6, 3, 153},
               {"circle, anti-aliased, beyond the edge", DRAW(RAST_Circle(b, 6, 6, 3.2f, c, a, m, true)), 6, 2, 30},
               {"filled circle", DRAW(RAST_FillCircle(b, 6, 6, 3.2f, c, a, m, false)), 6, 6, 153},
               {"filled circle, anti-aliased", DRAW(RAST_FillCircle(b, 6, 6, 3.2f, c, a, m, true)), 6, 6, 153},
               {"arc", DRAW(RAST_Arc(b, 6, 6, 3.2f, 0, kPi / 2, c, a, m, false)), 6, 3, 153},
               {"rounded rectangle side", DRAW(RAST_RoundRect(b, 1, 1, 10, 10, 3, c, a, m, true)), 6, 1, 153},
               {"triangle", DRAW(RAST_FillTriangle(b, 0, 0, 12, 0, 0, 12, c, a, m)), 2, 2, 153},
               {"blit", BLIT(13, RAST_Blit(b, &s, 0, 0, nullptr, a, m)), 4, 4, 153, true},
               {"scaled, nearest", BLIT(5, RAST_ScaledBlit(b, &s, 0, 0, 13, 13, 0, 0, 5, 5, a, m)), 6, 6, 153, true},
               {"scaled, bilinear", BLIT(5, RAST_ScaledBlit(b, &s, 0, 0, 13, 13, 0, 0, 5, 5, a, m | 0x100)), 6, 6, 153,
                true},
               {"rotated by 0", BLIT(13, RAST_RotatedBlit(b, &s, 0, 0, 13, 13, 0, 0, 13, 13, 0, false, a, m, 0, 0)), 4, 4,
                153, true},
               {"rotated, bilinear",
                BLIT(13, RAST_RotatedBlit(b, &s, 0, 0, 13, 13, 0, 0, 13, 13, 0.5f, true, a, m | 0x100, 0, 0)), 6, 6, 153,
                true},
               {"mesh", BLIT(13, RAST_TransformBlit(b, &s, 0, 0, 13, 13, mesh, 2, 2, a, m)), 6, 6, 153, true}},
              {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 6, 0x107});
  // Stored circles pass the mode on to glyph stamping, which weighs full coverage 255.
  expectModes({{"stored circle radius 2", DRAW(RAST_Circle(b, 6, 6, 2.0f, c, a, m, false)), 6, 4, 255 * 153 / 256}},
              {0, 1, 2, 3, 4, 5});
}

TEST(EveryDrawer, RefusedDegenerateAndOutOfRangeCallsDrawNothing) {
  const float nan = NAN, inf = INFINITY;
  const uint32_t c = kColour;
  Randomized src(8, 8, 6);
  RAST_MemBitmap empty, noRows(10, 0);
  float mesh[] = {0, 0, 8, 0, 0, 6, 8, 6};
  const unsigned char cov[] = {255, 255, 255, 255};
  const int xs[] = {0, 9, 9}, ys[] = {0, 0, 9};
  using Call = std::function<void(RAST_IBitmap*)>;
  const Call calls[] = {
      CALL(RAST_Line(b, -5, 3, 3, -5, c, 0.6f, 1, true)),  // misses the corner
      CALL(RAST_Line(b, 25, 12, 12, 25, c, 0.6f, 1, false)),
      CALL(RAST_Line(b, -3, -3, -3, 20, c, 0.6f, 1, false)),
      CALL(RAST_Line(b, 0, 1, 9, 4, c, 0.003f, 1, false)),  // weight 0
      CALL(RAST_Line(b, 0, 1, 9, 4, c, -0.5f, 0, true)),   // negative copy
      CALL(RAST_FLine(b, 1.2f, 4.0f, 1.8f, 4.0f, c, 1.0f, 0, true)),  // no whole column
      CALL(RAST_FLine(b, -5.0f, -1.0f, 20.0f, -3.0f, c, 1.0f, 0, true)),
      CALL(RAST_FLine(b, 3.0f, 3.0f, 3.0f, 3.0f, c, 1.0f, 0, true)),
      CALL(RAST_FLine(b, nan, 1.0f, 8.0f, 5.0f, c, 1.0f, 0, true)),
      CALL(RAST_FLine(b, 1.0f, inf, 8.0f, 5.0f, c, 1.0f, 1, true)),
      CALL(RAST_DashedLine(b, 0, 0, 9, 3, 2, 2, c, 1.0f, 0, false)),  // slanted
      CALL(RAST_DashedLine(b, 3, 3, 3, 3, 1, 1, c, 1.0f, 0, false)),
      CALL(RAST_DashedLine(b, -5, 20, 30, 20, 1, 1, c, 1.0f, 0, false)),
      CALL(RAST_DashedLine(b, 0, 4, 9, 4, 0, 0, c, 1.0f, 0, false)),   // dash length 0
      CALL(RAST_DashedLine(b, 0, 4, 9, 4, -3, 2, c, 1.0f, 0, false)),  // negative dash
      CALL(RAST_Circle(b, 8.0f, 8.0f, -3.0f, c, 1.0f, 0, false)),
      CALL(RAST_FillCircle(b, 8.0f, 8.0f, -3.0f, c, 1.0f, 0, true)),
      CALL(RAST_Circle(b, nan, 8.0f, 3.3f, c, 1.0f, 0, false)),
      CALL(RAST_Circle(b, 8.0f, 8.0f, inf, c, 1.0f, 0, true)),
      CALL(RAST_FillCircle(b, 8.0f, 8.0f, 5.0f, c, -0.5f, 0, false)),
      CALL(RAST_Arc(b, 8.0f, 8.0f, 6.0f, 1.0f, 1.0f, c, 1.0f, 0, false)),
      CALL(RAST_Arc(b, 8.0f, 8.0f, 6.0f, nan, 1.0f, c, 1.0f, 0, false)),
      CALL(RAST_Arc(b, 8.0f, 8.0f, 6.0f, 0.0f, inf, c, 1.0f, 0, false)),
      CALL(RAST_Arc(b, 8.0f, 8.0f, nan, 0.0f, 1.0f, c, 1.0f, 0, false)),
      // Equal angles stay equal when whole turns are taken off.
      CALL(RAST_Arc(b, 8.0f, 8.0f, 6.0f, 1e30f, 1e30f, c, 1.0f, 0, false)),
      CALL(RAST_Arc(b, 8.0f, 8.0f, 6.0f, -1e30f, -1e30f, c, 1.0f, 0, true)),
      CALL(RAST_RoundRect(b, nan, 1.0f, 5.0f, 5.0f, 2, c, 1.0f, 0, false)),
      CALL(RAST_RoundRect(b, 1.0f, 1.0f, inf, 5.0f, 2, c, 1.0f, 0, false)),
      CALL(RAST_FillConvexPolygon(b, xs, ys, 2, c, 1.0f, 0)),
      CALL(RAST_FillConvexPolygon(b, xs, ys, -5, c, 1.0f, 0)),
      CALL(RAST_FillConvexPolygon(b, nullptr, ys, 3, c, 1.0f, 0)),
      CALL(RAST_FillConvexPolygon(b, xs, nullptr, 3, c, 1.0f, 0)),
      CALL(RAST_FillTriangle(b, 0, 0, 9, 0, 0, 9, c, 0.001f, 0)),
      CALL(RAST_FillTriangle(b, 0, 0, 9, 0, 0, 9, c, -1.0f, 0)),
      CALL(RAST_FillTriangle(b, 0, 0, 9, 0, 0, 9, c, 1.0f, 0xFF)),
      CALL(RAST_DrawCBezier(b, -90, 5, -60, 40, -30, 0, -1, 30, c, 1.0f, 0, true, 1.0f)),
      CALL(RAST_DrawQBezier(b, -90, 5, -40, 40, -2, 30, c, 1.0f, 0, true, 1.0f)),
      CALL(RAST_FillCBezier(b, 60, 5, 70, 40, 90, 0, 120, 30, 10, c, 1.0f, 0, 1.0f)),
      CALL(RAST_DrawCBezier(b, 0, 0, nan, 10, 20, 30, 40, 40, c, 1.0f, 0, false, 1.0f)),
      CALL(RAST_DrawQBezier(b, 0, 0, 10, inf, 40, 40, c, 1.0f, 0, false, 1.0f)),
      CALL(RAST_FillCBezier(b, 0, 0, 10, 10, 20, nan, 40, 40, 45, c, 1.0f, 0, 1.0f)),
      CALL(RAST_FillCBezierX(b, 0, 0, 10, 10, 20, 30, 40, -inf, 45, c, 1.0f, 0, 1.0f)),
      CALL(RAST_Blit(b, &empty, 0, 0, nullptr, 1.0f, 0)),
      CALL(RAST_Blit(b, &src, 0, 0, nullptr, 0.002f, 1)),  // weight truncates to 0
      CALL(RAST_Blit(b, &src, 0, 0, nullptr, -0.5f, 0)),   // copy below weight 1
      CALL(RAST_Blit(b, &src, 0, 0, nullptr, 1.0f, 0x10007)),
      CALL(RAST_Blit(b, &src, 0, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 1.0f, 0)),
      CALL(RAST_Blit(b, &src, 0, 0, 20, 0, 5, 5, 1.0f, 0)),
      CALL(RAST_Blur(b, &src, 0, 0, 0, 0, 1, 6)),  // one pixel wide or high
      CALL(RAST_Blur(b, &src, 0, 0, 0, 0, 6, 1)),
      CALL(RAST_GradRect(b, 0, 0, 2, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 6)),
      CALL(RAST_ScaledBlit(b, &src, 0, 0, 0, 6, 0, 0, 4, 4, 1.0f, 0)),
      CALL(RAST_ScaledBlit(b, &src, 0, 0, 6, 6, 0, 0, 4, 4, 0.0f, 0)),
      CALL(RAST_ScaledBlit(b, &src, 0, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0xF7)),
      CALL(RAST_ScaledBlit(b, &src, 0, 0, 6, 6, 10, 10, 4, 4, 1.0f, 0)),  // window past it
      CALL(RAST_ScaledBlit(b, &src, 16, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0)),
      CALL(RAST_ScaledBlit(b, nullptr, 0, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0)),
      CALL(RAST_RotatedBlit(b, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, 0.0f, 0, 0, 0)),
      CALL(RAST_RotatedBlit(b, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, 1.0f, 6, 0, 0)),
      CALL(RAST_RotatedBlit(b, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, -0.5f, 0, 0, 0)),
      CALL(RAST_RotatedBlit(b, &src, 0, 0, 0, 8, 0, 0, 8, 8, 0.2f, false, 1.0f, 0, 0, 0)),
      CALL(RAST_RotatedBlit(b, &src, 0, 0, 8, 8, 2, 2, -3, 4, 0.2f, true, 1.0f, 0, 0, 0)),
      // Walks whose 16.16 positions would overflow are refused.
      CALL(RAST_RotatedBlit(b, &src, 0, 0, 8, 8, 1e9f, -1e9f, 1e9f, 1e9f, 0.3f, false, 1.0f, 0x100, 1e9f, 0)),
      CALL(RAST_RotatedBlit(b, &src, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 8, 8, 1.0f, false, 1.0f, 0, 0, 0)),
      CALL(RAST_DeltaBlit(b, &src, 0, 0, 8, 8, 0, 0, 8, 8, 1e12, 0, 0, 1, 0, 0, false, 1.0f, 0)),
      CALL(RAST_DeltaBlit(b, &src, 0, 0, 8, 8, 0, 0, 8, 8, 1, 0, 0, 1, 1e7, -1e7, false, 1.0f, 0x100)),
      CALL(RAST_TransformBlit(b, &src, 0, 0, 4, 4, mesh, 1, 4, 1.0f, 0)),
      CALL(RAST_TransformBlit(b, &src, 0, 0, 0, 4, mesh, 2, 2, 1.0f, 0)),
      CALL(RAST_TransformBlit(b, &src, 0, 0, 4, 4, nullptr, 2, 2, 1.0f, 0)),
      CALL(RAST_DrawGlyph(b, 0, 0, c, cov, 2, 2, 1.0f, 6)),
      CALL(RAST_DrawGlyph(b, 0, 0, c, cov, 2, 2, 0.0f, 1)),
      CALL(RAST_DrawGlyph(b, 0, 0, c, cov, 2, 2, -1.0f, 0)),
      CALL(RAST_DrawGlyph(b, 0, 0, c, nullptr, 2, 2, 1.0f, 0)),
      CALL(RAST_DrawGlyphEx(b, 0, 0, c, cov, 2, 1, 2, 1.0f, 0)),  // span below the width
  };
  int i = 0;
  for (const Call& call : calls) {
    Filled bm(16, 16, kBack);
    call(&bm);
    EXPECT_TRUE(all(bm, kBack)) << "call " << i++;
  }
  // No bitmap, or one without pixels, is no fault.
  for (RAST_MemBitmap* b : {&empty, &noRows}) {
    RAST_Line(b, 0, 0, 5, 5, c, 1.0f, 0, true);
    RAST_FillCircle(b, 0, 0, 5, c, 1.0f, 0, true);
    RAST_Blit(b, &src, 0, 0, nullptr, 1.0f, 0);
    EXPECT_EQ(b->getBits(), nullptr);
  }
  RAST_Line(nullptr, 0, 0, 5, 5, c, 1.0f, 0, true);
  RAST_FLine(nullptr, 1.0f, 1.0f, 8.0f, 5.0f, c, 1.0f, 1, true);
  RAST_DashedLine(nullptr, 0, 4, 9, 4, 2, 2, c, 1.0f, 0, false);
  RAST_Circle(nullptr, 8.0f, 8.0f, 5.0f, c, 1.0f, 0, true);
  RAST_Arc(nullptr, 8.0f, 8.0f, 6.0f, 0.0f, 1.0f, c, 1.0f, 0, false);
  RAST_FillConvexPolygon(nullptr, xs, ys, 3, c, 1.0f, 0);
  RAST_FillTriangle(nullptr, 0, 0, 1, 1, 2, 0, c, 1.0f, 0);
  RAST_FillTrapezoid(nullptr, 0, 9, 0, 0, 9, 9, c, 1.0f, 0);
  RAST_DrawCBezier(nullptr, 0, 0, 10, 10, 20, 30, 40, 40, c, 1.0f, 0, false, 1.0f);
  RAST_FillCBezier(nullptr, 0, 0, 10, 10, 20, 30, 40, 40, 45, c, 1.0f, 0, 1.0f);
  RAST_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
  RAST_Blur(nullptr, &src, 0, 0, 0, 0, 6, 6);
  RAST_ScaledBlit(nullptr, &src, 0, 0, 6, 6, 0, 0, 4, 4, 1.0f, 0);
  RAST_RotatedBlit(nullptr, &src, 0, 0, 8, 8, 0, 0, 8, 8, 0.2f, false, 1.0f, 0, 0, 0);
  Filled dst(4, 4, 5);
  RAST_Blit(&dst, nullptr, 0, 0, nullptr, 1.0f, 0);
  RAST_Blur(&dst, nullptr, 0, 0, 0, 0, 6, 6);
  EXPECT_TRUE(all(dst, 5u));
}

}  // namespace
