// Quadratic and cubic Bezier outlines, fills towards a row or a column, and curve-height lookups.
#include <gtest/gtest.h>

#include <cmath>

#include "kit/raster/rast_bezier.h"
#include "raster_test_util.h"

namespace {

using rt::at;
constexpr uint32_t kInk = 0xFFFFFFFFu;
// Added at full weight, the red channel counts how often a pixel was filled.
const uint32_t kOneStep = RAST_MakePixel(1, 0, 0, 0);
int adds(RAST_IBitmap& bm, int x, int y) { return RAST_PixelR(at(bm, x, y)); }

TEST(CurveHeight, CubicLookupsAnswerTheEndsOutsideAndBisectInside) {
  float next = -1, slope = -1;
  double lo = 42, hi = 43;
  EXPECT_EQ(RAST_CBezier_GetY(10, 20, 30, 40, 5, 6, 7, 8, 9.5f, &next, &slope, &lo, &hi), 5.0f);
  EXPECT_EQ(std::vector<double>({next, slope, lo, hi}), std::vector<double>({10, 0, 42, 43}));  // bracket left alone
  EXPECT_EQ(RAST_CBezier_GetY(10, 20, 30, 40, 5, 6, 7, 8, 40.0f, &next, &slope, nullptr, nullptr), 8.0f);
  EXPECT_EQ(std::vector<double>({next, slope}), std::vector<double>({40, 0}));
  for (float xi = 1; xi < 100; xi += 3.5f)  // a straight cubic answers its line
    EXPECT_NEAR(RAST_CBezier_GetY(0, 30, 60, 90, 10, 40, 70, 100, xi, nullptr, nullptr, nullptr, nullptr),
                std::min(10 + xi, 100.0f), 1e-3);
}

TEST(CurveHeight, QuadraticLookupsInterpolateOrSolveAndStayFinite) {
  const struct {
    float x1, xc, x2, y1, yc, y2, x, y;
    double t;
  } cases[] = {
      {10, 30, 50, 0, 999, 80, 20, 20, 0.25},  // control halfway: a straight line in x
      {0, 0, 100, 0, 100, 0, 25, 50, 0.5},      // x = 100 t^2
      {0, 0, 100, 0, 100, 0, 64, 2 * 0.2f * 0.8f * 100, 0.8},
      {10, 20, 50, 3, 4, 5, 10, 3, 0},  // at or outside the ends
      {10, 20, 50, 3, 4, 5, 60, 5, 1},
  };
  for (const auto& k : cases) {
    double t = -1;
    EXPECT_FLOAT_EQ(RAST_Bezier_GetY(k.x1, k.xc, k.x2, k.y1, k.yc, k.y2, k.x, &t), k.y) << k.x;
    EXPECT_NEAR(t, k.t, 1e-12) << k.x;
  }
  EXPECT_EQ(RAST_Bezier_GetY(10, 20, 50, 3, 4, 5, 10, nullptr), 3.0f);
  // x rises to 60 and comes back to 50: rounding near the turn can make the discriminant negative.
  for (float x = 50.5f; x < 60.5f; x += 0.7f) {
    double t = -1;
    EXPECT_TRUE(std::isfinite(RAST_Bezier_GetY(0, 80, 50, 0, 10, 20, x, &t))) << x;
    EXPECT_TRUE(t >= 0.0 && t <= 1.0) << x;
  }
}

TEST(BezierOutline, DrawsTheSamePixelsWhateverTheEndOrderOrToleranceBelowOne) {
  for (bool aa : {false, true}) {
    rt::Filled a(80, 60), b(80, 60);
    RAST_DrawQBezier(&a, 5, 50, 40, -20, 75, 45, kInk, 1.0f, 0, aa, 1.0f);
    RAST_DrawQBezier(&b, 75, 45, 40, -20, 5, 50, kInk, 1.0f, 0, aa, 1.0f);
    EXPECT_TRUE(rt::same(a, b)) << aa;
    EXPECT_GT(rt::countSet(a), 60);
  }
  rt::Filled one(80, 60);
  RAST_DrawCBezier(&one, 2, 50, 20, -30, 60, 90, 78, 10, kInk, 1.0f, 0, false, 1.0f);
  for (float tol : {0.0f, -3.0f, std::nanf("")}) {
    rt::Filled b(80, 60);
    RAST_DrawCBezier(&b, 2, 50, 20, -30, 60, 90, 78, 10, kInk, 1.0f, 0, false, tol);
    EXPECT_TRUE(rt::same(one, b)) << tol;
  }
  // Both tolerances ask for more than the cap; an uncapped 1e-30 would ask for 10^31 segments.
  rt::Filled tiny(64, 64), capped(64, 64);
  RAST_DrawCBezier(&tiny, 0, 10, 20, 50, 40, -30, 60, 10, kOneStep, 1.0f, 1, false, 1e-30f);
  RAST_DrawCBezier(&capped, 0, 10, 20, 50, 40, -30, 60, 10, kOneStep, 1.0f, 1, false, 1e-4f);
  EXPECT_TRUE(rt::same(tiny, capped));
  EXPECT_GT(rt::countSet(tiny), 60);
}

TEST(BezierFill, FillsBetweenCurveAndRowOrColumnOncePerPixel) {
  // Flat curves from x = 0 to 20 filled towards row 8: one above it down to row 9, one below
  // it from row 8; a vertical curve at x = 3 filled towards column 10 reaches column 11. The
  // fill ends one pixel before the curve's end.
  const struct {
    const char* what;
    bool towardsColumn;
    float a, b;  // the flat coordinate and the row or column
    int x0, x1, y0, y1;
  } flat[] = {{"above the row", false, 2, 8, 0, 19, 2, 9},
              {"below the row", false, 12, 8, 0, 19, 8, 12},
              {"left of the column", true, 3, 10, 3, 11, 0, 19}};
  for (const auto& k : flat) {
    rt::Filled bm(30, 30);
    if (k.towardsColumn) RAST_FillCBezierX(&bm, k.a, 0, k.a, 6.67f, k.a, 13.33f, k.a, 20, k.b, kOneStep, 1.0f, 1, 1.0f);
    else RAST_FillCBezier(&bm, 0, k.a, 6.67f, k.a, 13.33f, k.a, 20, k.a, k.b, kOneStep, 1.0f, 1, 1.0f);
    for (int p = 0; p < 900; p++) {
      const int x = p % 30, y = p / 30;
      ASSERT_EQ(adds(bm, x, y), x >= k.x0 && x <= k.x1 && y >= k.y0 && y <= k.y1) << k.what << " " << x << "," << y;
    }
  }
  // Wavy curves flattened far finer than a pixel per step: once per pixel, and every column
  // (or row) reaches the fill line.
  rt::Filled rows(64, 64), cols(64, 64);
  RAST_FillCBezier(&rows, 2, 10, 20, 70, 40, -20, 60, 50, 30, kOneStep, 1.0f, 1, 0.05f);
  RAST_FillCBezierX(&cols, 10, 2, 50, 20, -10, 40, 30, 60, 25, kOneStep, 1.0f, 1, 0.05f);
  for (int p = 0; p < 64 * 64; p++) {
    ASSERT_LE(adds(rows, p % 64, p / 64), 1) << p % 64 << "," << p / 64;
    ASSERT_LE(adds(cols, p % 64, p / 64), 1) << p % 64 << "," << p / 64;
  }
  for (int i = 3; i <= 58; i++) {
    EXPECT_TRUE(adds(rows, i, 30) || adds(rows, i, 31)) << i;
    EXPECT_TRUE(adds(cols, 25, i) || adds(cols, 26, i)) << i;
  }
}

}  // namespace
