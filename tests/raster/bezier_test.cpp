// Quadratic and cubic Bezier outlines, fills towards a row or a column, and curve-height lookups.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kit/raster/rast_bezier.h"
#include "raster_test_util.h"

namespace {

using rt::at;
constexpr uint32_t kInk = 0xFFFFFFFFu;

// Red channel counts how often a pixel was added to when drawing with Add at weight 256 of red 1.
const uint32_t kOneStep = RAST_MakePixel(1, 0, 0, 0);
int adds(RAST_IBitmap& bm, int x, int y) { return RAST_PixelR(at(bm, x, y)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
TEST(CurveHeight, a_cubic_lookup_left_of_the_curve_answers_the_start_with_slope_zero) {
  float next = -1, slope = -1;
  double lo = 42, hi = 43;
  EXPECT_EQ(RAST_CBezier_GetY(10, 20, 30, 40, 5, 6, 7, 8, 9.5f, &next, &slope, &lo, &hi), 5.0f);
  EXPECT_EQ(next, 10.0f);
  EXPECT_EQ(slope, 0.0f);
  EXPECT_EQ(lo, 42.0);  // the bracket is left alone
  EXPECT_EQ(hi, 43.0);
}

TEST(CurveHeight, a_cubic_lookup_at_or_beyond_the_end_answers_the_end_with_slope_zero) {
  float next = -1, slope = -1;
  EXPECT_EQ(RAST_CBezier_GetY(10, 20, 30, 40, 5, 6, 7, 8, 40.0f, &next, &slope, nullptr, nullptr), 8.0f);
  EXPECT_EQ(next, 40.0f);
  EXPECT_EQ(slope, 0.0f);
  EXPECT_EQ(RAST_CBezier_GetY(10, 20, 30, 40, 5, 6, 7, 8, 1e9f, nullptr, nullptr, nullptr, nullptr), 8.0f);
}

TEST(CurveHeight, a_cubic_with_x_linear_in_t_finds_dyadic_parameters_exactly) {
  // x(t) = 288 t and y(t) = 256 t^3: x = 72 is t = 1/4 (two halvings), x = 112.5 is t = 25/64.
  const float X[4] = {0, 96, 192, 288}, Y[4] = {0, 0, 0, 256};
  double lo = -1, hi = -1;
  float next = 0, slope = 0;
  EXPECT_FLOAT_EQ(RAST_CBezier_GetY(X[0], X[1], X[2], X[3], Y[0], Y[1], Y[2], Y[3], 72, &next, &slope, &lo, &hi),
                  4.0f);
  EXPECT_DOUBLE_EQ(lo, 0.25);
  EXPECT_DOUBLE_EQ(hi, 0.25 + 1.0 / 256);
  EXPECT_FLOAT_EQ(next, 288.0f * (0.25f + 1.0f / 256));
  // The slope is the chord over the bracket: 256 ((1/4 + 1/256)^3 - (1/4)^3) / (288 / 256).
  EXPECT_NEAR(slope, 256.0 * (std::pow(0.25 + 1 / 256.0, 3) - std::pow(0.25, 3)) / 1.125, 1e-4);

  EXPECT_NEAR(RAST_CBezier_GetY(X[0], X[1], X[2], X[3], Y[0], Y[1], Y[2], Y[3], 112.5f, nullptr, nullptr, &lo, &hi),
              256.0 * std::pow(25.0 / 64, 3), 1e-4);
  EXPECT_DOUBLE_EQ(lo, 25.0 / 64);
}

TEST(CurveHeight, a_cubic_lookup_between_bisection_points_interpolates_along_the_chord) {
  // A straight cubic (controls at thirds): the chord is the line, so the answer is exact.
  for (float xi = 0.5f; xi < 90; xi += 7.25f)
    EXPECT_NEAR(RAST_CBezier_GetY(0, 30, 60, 90, 10, 40, 70, 100, xi, nullptr, nullptr, nullptr, nullptr),
                10 + xi, 1e-3)
        << xi;
}

TEST(CurveHeight, a_cubic_lookup_stays_within_one_bisection_bracket_of_the_true_curve) {
  // x(t) = 3t(1-t)^2 * 10 + 3t^2(1-t) * 90 + t^3 * 100 is increasing; after 8 halvings the bracket
  // is 1/256 of t wide, so the chord is close to the curve.
  for (float xi = 1; xi < 100; xi += 3.5f) {
    double lo = 0, hi = 0;
    const float y = RAST_CBezier_GetY(0, 10, 90, 100, 0, 80, 20, 100, xi, nullptr, nullptr, &lo, &hi);
    auto cub = [](double p0, double p1, double p2, double p3, double t) {
      const double u = 1 - t;
      return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
    };
    EXPECT_LE(cub(0, 10, 90, 100, lo), xi + 1e-3);
    EXPECT_GE(cub(0, 10, 90, 100, hi), xi - 1e-3);
    EXPECT_LE(hi - lo, 1.0 / 256 + 1e-12);
    const double ylo = cub(0, 80, 20, 100, lo), yhi = cub(0, 80, 20, 100, hi);
    EXPECT_GE(y, std::min(ylo, yhi) - 1e-3);
    EXPECT_LE(y, std::max(ylo, yhi) + 1e-3);
  }
}

TEST(CurveHeight, a_quadratic_with_its_control_halfway_interpolates_in_a_straight_line) {
  double t = -1;
  EXPECT_FLOAT_EQ(RAST_Bezier_GetY(10, 30, 50, 0, 999, 80, 20, &t), 20.0f);
  EXPECT_DOUBLE_EQ(t, 0.25);
}

TEST(CurveHeight, any_other_quadratic_is_solved_for_its_parameter) {
  // x(t) = 100 t^2 (control at 0): x = 25 is t = 1/2; y(t) with y = 0, 100, 0 is 50 there.
  double t = -1;
  EXPECT_FLOAT_EQ(RAST_Bezier_GetY(0, 0, 100, 0, 100, 0, 25, &t), 50.0f);
  EXPECT_DOUBLE_EQ(t, 0.5);
  EXPECT_FLOAT_EQ(RAST_Bezier_GetY(0, 0, 100, 0, 100, 0, 64, &t), 2 * 0.2f * 0.8f * 100);
  EXPECT_NEAR(t, 0.8, 1e-12);
}

TEST(CurveHeight, a_quadratic_lookup_outside_its_ends_answers_the_ends) {
  double t = -1;
  EXPECT_EQ(RAST_Bezier_GetY(10, 20, 50, 3, 4, 5, 10, &t), 3.0f);
  EXPECT_EQ(t, 0.0);
  EXPECT_EQ(RAST_Bezier_GetY(10, 20, 50, 3, 4, 5, 60, &t), 5.0f);
  EXPECT_EQ(t, 1.0);
  EXPECT_EQ(RAST_Bezier_GetY(10, 20, 50, 3, 4, 5, 10, nullptr), 3.0f);
}

TEST(CurveHeight, a_quadratic_that_turns_back_in_x_answers_a_finite_height) {
  // x(t) rises to 60 and comes back to 50: at x = 55 only one root lies in [0, 1]; at x = 59.9
  // rounding can push the discriminant below zero.
  for (float x = 50.5f; x < 60.5f; x += 0.7f) {
    double t = -1;
    const float y = RAST_Bezier_GetY(0, 80, 50, 0, 10, 20, x, &t);
    EXPECT_TRUE(std::isfinite(y)) << x;
    EXPECT_GE(t, 0.0);
    EXPECT_LE(t, 1.0);
  }
}

// ---------------------------------------------------------------------------------------------
TEST(BezierOutline, a_quadratic_with_its_ends_exchanged_draws_the_same_pixels) {
  for (bool aa : {false, true}) {
    rt::Filled a(80, 60), b(80, 60);
    RAST_DrawQBezier(&a, 5, 50, 40, -20, 75, 45, kInk, 1.0f, 0, aa, 1.0f);
    RAST_DrawQBezier(&b, 75, 45, 40, -20, 5, 50, kInk, 1.0f, 0, aa, 1.0f);
    EXPECT_TRUE(rt::same(a, b)) << aa;
    EXPECT_GT(rt::countSet(a), 60);
  }
}

TEST(BezierOutline, a_tolerance_of_zero_or_below_behaves_as_one) {
  RAST_MemBitmap one(80, 60), zero(80, 60), neg(80, 60), nan(80, 60);
  for (RAST_MemBitmap* b : {&one, &zero, &neg, &nan}) rt::fill(*b, 0);
  RAST_DrawCBezier(&one, 2, 50, 20, -30, 60, 90, 78, 10, kInk, 1.0f, 0, false, 1.0f);
  RAST_DrawCBezier(&zero, 2, 50, 20, -30, 60, 90, 78, 10, kInk, 1.0f, 0, false, 0.0f);
  RAST_DrawCBezier(&neg, 2, 50, 20, -30, 60, 90, 78, 10, kInk, 1.0f, 0, false, -3.0f);
  RAST_DrawCBezier(&nan, 2, 50, 20, -30, 60, 90, 78, 10, kInk, 1.0f, 0, false, std::nanf(""));
  EXPECT_TRUE(rt::same(one, zero));
  EXPECT_TRUE(rt::same(one, neg));
  EXPECT_TRUE(rt::same(one, nan));
  EXPECT_GT(rt::countSet(one), 70);
}

TEST(BezierOutline, a_cubic_reaching_past_both_sides_is_drawn_only_inside_and_touches_both_edges) {
  // A straight cubic from x = -50 to x = 150 along y = x / 4 + 20 on a 100-pixel-wide bitmap: the
  // clipped part runs from (0, 20) to (100, 45).
  rt::Filled bm(100, 80);
  RAST_DrawCBezier(&bm, -50, 7.5f, 16.6666667f, 24.1666667f, 83.3333333f, 40.8333333f, 150, 57.5f, kInk, 1.0f, 0,
                   false, 1.0f);
  int leftmost = 1000, rightmost = -1;
  for (int y = 0; y < 80; y++)
    for (int x = 0; x < 100; x++)
      if (at(bm, x, y)) {
        leftmost = std::min(leftmost, x);
        rightmost = std::max(rightmost, x);
        EXPECT_NEAR(y, x / 4.0 + 20, 1.5) << x;
      }
  EXPECT_EQ(leftmost, 0);
  EXPECT_EQ(rightmost, 99);
}

TEST(BezierOutline, curves_wholly_left_or_right_of_the_bitmap_draw_nothing) {
  rt::Filled bm(50, 50);
  RAST_DrawCBezier(&bm, -90, 5, -60, 40, -30, 0, -1, 30, kInk, 1.0f, 0, true, 1.0f);
  RAST_DrawCBezier(&bm, 51, 5, 70, 40, 90, 0, 120, 30, kInk, 1.0f, 0, true, 1.0f);
  RAST_DrawQBezier(&bm, -90, 5, -40, 40, -2, 30, kInk, 1.0f, 0, true, 1.0f);
  RAST_FillCBezier(&bm, 60, 5, 70, 40, 90, 0, 120, 30, 10, kInk, 1.0f, 0, 1.0f);
  EXPECT_EQ(rt::countSet(bm), 0);
}

TEST(BezierOutline, non_finite_points_draw_nothing_and_null_bitmaps_are_ignored) {
  rt::Filled bm(50, 50);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  RAST_DrawCBezier(&bm, 0, 0, nan, 10, 20, 30, 40, 40, kInk, 1.0f, 0, false, 1.0f);
  RAST_DrawCBezier(&bm, 0, 0, 10, 10, 20, 30, inf, 40, kInk, 1.0f, 0, false, 1.0f);
  RAST_DrawQBezier(&bm, 0, 0, 10, inf, 40, 40, kInk, 1.0f, 0, false, 1.0f);
  RAST_FillCBezier(&bm, 0, 0, 10, 10, 20, nan, 40, 40, 45, kInk, 1.0f, 0, 1.0f);
  RAST_FillCBezierX(&bm, 0, 0, 10, 10, 20, 30, 40, -inf, 45, kInk, 1.0f, 0, 1.0f);
  RAST_DrawCBezier(nullptr, 0, 0, 10, 10, 20, 30, 40, 40, kInk, 1.0f, 0, false, 1.0f);
  RAST_DrawQBezier(nullptr, 0, 0, 10, 10, 40, 40, kInk, 1.0f, 0, false, 1.0f);
  RAST_FillCBezier(nullptr, 0, 0, 10, 10, 20, 30, 40, 40, 45, kInk, 1.0f, 0, 1.0f);
  EXPECT_EQ(rt::countSet(bm), 0);
}

TEST(BezierOutline, a_tiny_tolerance_is_capped_at_the_same_segment_count_as_any_finer_one) {
  // Both tolerances ask for more than the cap; an uncapped 1e-30 would ask for 10^31 segments.
  rt::Filled tiny(64, 64), capped(64, 64);
  RAST_DrawCBezier(&tiny, 0, 10, 20, 50, 40, -30, 60, 10, kOneStep, 1.0f, 1, false, 1e-30f);
  RAST_DrawCBezier(&capped, 0, 10, 20, 50, 40, -30, 60, 10, kOneStep, 1.0f, 1, false, 1e-4f);
  EXPECT_TRUE(rt::same(tiny, capped));
  EXPECT_GT(rt::countSet(tiny), 60);
  // Control points near the float limit flatten in bounded time too.
  RAST_DrawQBezier(&tiny, 0, 0, 3e37f, 3e37f, 60, 60, kInk, 1.0f, 0, true, 1e-30f);
  RAST_FillCBezier(&tiny, 0, 0, 1e30f, -1e30f, -1e30f, 1e30f, 60, 60, 30, kInk, 1.0f, 0, 1e-30f);
}

// ---------------------------------------------------------------------------------------------
TEST(BezierFill, a_flat_curve_fills_to_the_row_below_the_fill_row_or_from_the_row_down_to_the_curve) {
  // Flat "curves" from x = 0 to x = 20 filled towards row 8: one above it covers rows 2..9 (down
  // to the row below the fill row), one below it rows 8..12.
  const struct {
    float y;
    int top, bottom;
  } cases[] = {{2, 2, 9}, {12, 8, 12}};
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << "curve at y " << k.y);
    rt::Filled bm(30, 20);
    RAST_FillCBezier(&bm, 0, k.y, 6.67f, k.y, 13.33f, k.y, 20, k.y, 8, kInk, 1.0f, 0, 1.0f);
    for (int y = 0; y < 20; y++)
      for (int x = 0; x < 30; x++) ASSERT_EQ(at(bm, x, y) != 0, x <= 19 && y >= k.top && y <= k.bottom) << x << "," << y;
  }
}

TEST(BezierFill, a_cubic_advancing_less_than_a_pixel_per_step_fills_each_column_once) {
  rt::Filled bm(64, 64);
  // A wavy curve crossing the fill row, flattened far finer than one pixel per step.
  RAST_FillCBezier(&bm, 2, 10, 20, 70, 40, -20, 60, 50, 30, kOneStep, 1.0f, 1, 0.05f);
  int filled = 0;
  for (int x = 0; x < 64; x++)
    for (int y = 0; y < 64; y++) {
      ASSERT_LE(adds(bm, x, y), 1) << x << "," << y;
      filled += adds(bm, x, y);
    }
  EXPECT_GT(filled, 300);
  // Every column from the start to one before the end reaches the fill row.
  for (int x = 2; x <= 58; x++) EXPECT_TRUE(adds(bm, x, 30) == 1 || adds(bm, x, 31) == 1) << x;
}

TEST(BezierFill, a_fill_towards_a_column_covers_each_row_once_between_curve_and_column) {
  rt::Filled bm(64, 64);
  RAST_FillCBezierX(&bm, 10, 2, 50, 20, -10, 40, 30, 60, 25, kOneStep, 1.0f, 1, 0.05f);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) ASSERT_LE(adds(bm, x, y), 1) << x << "," << y;
  for (int y = 3; y <= 58; y++) EXPECT_TRUE(adds(bm, 25, y) == 1 || adds(bm, 26, y) == 1) << y;
}

TEST(BezierFill, a_vertical_curve_left_of_the_fill_column_fills_to_the_column_beyond_it_once_per_pixel) {
  // Mirror of the row fill: a curve left of column 10 fills through column 11, rows 0 .. 19 (the
  // fill ends one pixel before the curve's end, as the row fill does).
  rt::Filled bm(30, 30);
  RAST_FillCBezierX(&bm, 3, 0, 3, 6.67f, 3, 13.33f, 3, 20, 10, kOneStep, 1.0f, 1, 1.0f);
  for (int y = 0; y < 30; y++)
    for (int x = 0; x < 30; x++) {
      const int want = (x >= 3 && x <= 11 && y <= 19) ? 1 : 0;
      ASSERT_EQ(adds(bm, x, y), want) << x << "," << y;
    }
}
