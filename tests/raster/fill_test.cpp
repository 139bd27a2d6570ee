// Rectangle outlines, trapezoid, triangle and convex polygon fills.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "kit/raster/rast_poly.h"
#include "kit/raster/rast_trap.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;

constexpr uint32_t kInk = 0xFFFFFFFFu;

// Columns filled in one row, as [first, last]; first > last when the row is empty.
std::pair<int, int> rowSpan(RAST_IBitmap& bm, int y) {
  int first = INT_MAX, last = INT_MIN;
  for (int x = 0; x < bm.getWidth(); x++)
    if (at(bm, x, y)) {
      first = std::min(first, x);
      last = std::max(last, x);
    }
  return {first, last};
}

// The trapezoid as scan conversion defines it, in 64-bit arithmetic: each edge starts at its
// top end and moves by sign * floor(|slope| * rows / 65536), the slope being 16.16 per row
// truncated toward zero and limited to 2^29. Edges with both ends beyond a side are that side.
void referenceTrapezoid(std::vector<uint32_t>& px, int W, int H, long long x1a, long long x1b, long long y1,
                        long long x2a, long long x2b, long long y2) {
  if (y1 > y2) {
    std::swap(y1, y2);
    std::swap(x1a, x2a);
    std::swap(x1b, x2b);
  }
  if (x1a > x1b) std::swap(x1a, x1b);
  if (x2a > x2b) std::swap(x2a, x2b);
  auto slope = [&](long long t, long long b) -> long long {
    if (y2 == y1) return 0;
    double s = (double)(b - t) * (65536.0 / (double)(y2 - y1));
    s = std::max(-536870912.0, std::min(536870912.0, s));
    return (long long)s;
  };
  bool lvert = x1a <= 0 && x2a <= 0, rvert = x1b >= W - 1 && x2b >= W - 1;
  long long ls = lvert ? 0 : slope(x1a, x2a), rs = rvert ? 0 : slope(x1b, x2b);
  long long l0 = lvert ? 0 : x1a, r0 = rvert ? W - 1 : x1b;
  if ((x1b < 0 && x2b < 0) || (x1a >= W && x2a >= W)) return;
  for (long long y = std::max(y1, 0LL); y <= std::min(y2, (long long)H - 1); y++) {
    long long k = y - y1;
    long long l = l0 + (ls < 0 ? -1 : 1) * ((std::llabs(ls) * k) >> 16);
    long long r = r0 + (rs < 0 ? -1 : 1) * ((std::llabs(rs) * k) >> 16);
    for (long long x = std::max(l, 0LL); x <= std::min(r, (long long)W - 1); x++) px[(size_t)(y * W + x)] = kInk;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
TEST(TrapezoidFill, a_rectangle_from_column_0_to_9_over_rows_0_to_4_fills_10_by_5) {
  rt::Filled bm(20, 10);
  RAST_FillTrapezoid(&bm, 0, 9, 0, 0, 9, 4, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 50);
  for (int y = 0; y < 5; y++) EXPECT_EQ(rowSpan(bm, y), std::make_pair(0, 9)) << y;
}

TEST(TrapezoidFill, giving_the_rows_in_either_order_or_the_span_ends_swapped_fills_the_same) {
  rt::Filled a(30, 30), b(30, 30), c(30, 30);
  RAST_FillTrapezoid(&a, 3, 9, 2, 1, 25, 20, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&b, 1, 25, 20, 3, 9, 2, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&c, 25, 1, 20, 9, 3, 2, kInk, 1.0f, 0);
  EXPECT_TRUE(rt::same(a, b));
  EXPECT_TRUE(rt::same(a, c));
  EXPECT_GT(rt::countSet(a), 0);
}

TEST(TrapezoidFill, a_right_edge_one_pixel_per_row_gives_the_staircase_1_2_3_4) {
  rt::Filled bm(10, 10);
  RAST_FillTrapezoid(&bm, 0, 0, 0, 0, 3, 3, kInk, 1.0f, 0);
  for (int y = 0; y < 4; y++) EXPECT_EQ(rowSpan(bm, y), std::make_pair(0, y)) << y;
  EXPECT_EQ(rt::countSet(bm), 1 + 2 + 3 + 4);
}

TEST(TrapezoidFill, matches_64_bit_scan_conversion_for_random_and_far_outside_shapes) {
  std::mt19937 rng(1234);
  const int W = 37, H = 29;
  std::uniform_int_distribution<int> near(-60, 90);
  std::uniform_int_distribution<int> far(-3000000, 3000000);
  for (int i = 0; i < 3000; i++) {
    auto pick = [&]() { return (i % 3 == 0) ? far(rng) : near(rng); };
    int x1a = pick(), x1b = pick(), y1 = pick(), x2a = pick(), x2b = pick(), y2 = pick();
    rt::Filled bm(W, H);
    RAST_FillTrapezoid(&bm, x1a, x1b, y1, x2a, x2b, y2, kInk, 1.0f, 0);
    std::vector<uint32_t> ref((size_t)W * H, 0);
    referenceTrapezoid(ref, W, H, x1a, x1b, y1, x2a, x2b, y2);
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++)
        ASSERT_EQ(at(bm, x, y), ref[(size_t)y * W + x])
            << "case " << i << " (" << x1a << "," << x1b << "," << y1 << ")-(" << x2a << "," << x2b << "," << y2
            << ") pixel " << x << "," << y;
  }
}

TEST(TrapezoidFill, a_start_far_above_the_bitmap_advances_the_edges_without_32_bit_overflow) {
  // |slope| * rows above the top is about 2^20 * 2^14 = 2^34: a 32-bit product would wrap.
  const int W = 64, H = 16;
  rt::Filled bm(W, H);
  const int y1 = -16384, y2 = 100;
  const int x1 = -16384 * 16 + 10, x2 = 100 * 16 + 10;  // 16 pixels per row, through x = 10 at row 0
  RAST_FillTrapezoid(&bm, x1, x1 + 5, y1, x2, x2 + 5, y2, kInk, 1.0f, 0);
  for (int y = 0; y < 4; y++) EXPECT_EQ(rowSpan(bm, y), std::make_pair(10 + 16 * y, 15 + 16 * y)) << y;
}

TEST(TrapezoidFill, clipping_at_the_top_keeps_the_shape_that_an_unclipped_drawing_has) {
  rt::Filled tall(40, 60), cut(40, 30);
  RAST_FillTrapezoid(&tall, 2, 7, 0, 5, 36, 55, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&cut, 2, 7, -30, 5, 36, 25, kInk, 1.0f, 0);
  ASSERT_TRUE(rt::same(cut, tall, 0, 30));
}

TEST(TrapezoidFill, a_bottom_up_bitmap_receives_the_same_rows_as_the_caller_counts_them) {
  rt::FlippedBitmap flipped(20, 10);
  RAST_MemBitmap plain(20, 10);
  rt::fill(plain, 0);
  RAST_FillTrapezoid(&flipped, 2, 3, 1, 4, 12, 6, kInk, 1.0f, 0);
  RAST_FillTrapezoid(&plain, 2, 3, 1, 4, 12, 6, kInk, 1.0f, 0);
  ASSERT_TRUE(rt::same(flipped, plain));
}

TEST(TrapezoidFill, shapes_wholly_outside_and_null_bitmaps_draw_nothing) {
  rt::Filled bm(10, 10);
  RAST_FillTrapezoid(&bm, -9, -1, 0, -5, -2, 9, kInk, 1.0f, 0);   // left of the bitmap
  RAST_FillTrapezoid(&bm, 10, 20, 0, 12, 14, 9, kInk, 1.0f, 0);   // right of it
  RAST_FillTrapezoid(&bm, 0, 9, -5, 0, 9, -1, kInk, 1.0f, 0);     // above
  RAST_FillTrapezoid(&bm, 0, 9, 10, 0, 9, 40, kInk, 1.0f, 0);     // below
  RAST_FillTrapezoid(nullptr, 0, 9, 0, 0, 9, 9, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 0);
}

// ---------------------------------------------------------------------------------------------
TEST(FillPixelOperation, copy_at_a_quarter_is_the_quarter_mix_on_the_whole_word) {
  rt::Filled bm(4, 4);
  RAST_FillTrapezoid(&bm, 0, 3, 0, 0, 3, 3, 0xFFFFFFFFu, 0.25f, 0);
  EXPECT_EQ(at(bm, 1, 1), 0x3F3F3F3Fu);
}

TEST(FillPixelOperation, copy_at_half_three_quarters_and_full_use_the_shift_mixes_on_every_byte) {
  const uint32_t d = 0xC8643201u, c = 0x10F08033u;
  auto mixed = [&](float alpha) {
    rt::Filled bm(2, 2, d);
    RAST_FillTrapezoid(&bm, 0, 1, 0, 0, 1, 1, c, alpha, 0);
    return at(bm, 1, 1);
  };
  auto perByte = [&](int dq, int dh, int cq, int ch, int cfull) {
    uint32_t out = 0;
    for (int k = 0; k < 4; k++) {
      int db = (d >> (8 * k)) & 255, cb = (c >> (8 * k)) & 255;
      int v = dq * (db / 4) + dh * (db / 2) + cq * (cb / 4) + ch * (cb / 2) + cfull * cb;
      out |= (uint32_t)v << (8 * k);
    }
    return out;
  };
  EXPECT_EQ(mixed(1.0f), c);
  EXPECT_EQ(mixed(0.5f), perByte(0, 1, 0, 1, 0));
  EXPECT_EQ(mixed(0.75f), perByte(1, 0, 1, 1, 0));
  EXPECT_EQ(mixed(0.25f), perByte(1, 1, 1, 0, 0));
}

TEST(FillPixelOperation, other_weights_and_modes_use_the_combiners_with_the_colour_alpha_as_source_alpha) {
  const uint32_t d = 0x80C04020u, c = 0x30A0FF7Fu;
  const ref::Px D = ref::unpack(d), C = ref::unpack(c);
  struct Case {
    int mode;
    float alpha;
    int (*ch)(int, int, int64_t);
  } cases[] = {{0, 0.3f, ref::copyCh}, {1, 0.6f, ref::addCh}, {2, 0.9f, ref::dodgeCh}, {3, 0.7f, ref::mulCh},
               {4, 0.4f, ref::overlayCh}};
  for (const Case& k : cases) {
    rt::Filled bm(3, 3, d);
    RAST_FillTriangle(&bm, 0, 0, 2, 0, 0, 2, c, k.alpha, k.mode);
    const int64_t w = (int64_t)(k.alpha * 256.0);
    ref::Px e{k.ch(D.a, C.a, w), k.ch(D.r, C.r, w), k.ch(D.g, C.g, w), k.ch(D.b, C.b, w)};
    EXPECT_EQ(at(bm, 0, 0), ref::pack(e)) << "mode " << k.mode;
    EXPECT_EQ(at(bm, 2, 2), d) << "outside the triangle, mode " << k.mode;
  }
  rt::Filled bm(3, 3, d);
  RAST_FillTrapezoid(&bm, 0, 2, 0, 0, 2, 2, c, 0.5f, 5);
  EXPECT_EQ(at(bm, 1, 1), ref::pack(ref::hsv(D, C, 128)));
}

TEST(FillPixelOperation, zero_weight_negative_copy_and_unknown_modes_draw_nothing_and_source_alpha_is_ignored) {
  rt::Filled bm(4, 4, 0x11223344u);
  RAST_FillTrapezoid(&bm, 0, 3, 0, 0, 3, 3, kInk, 0.001f, 0);
  RAST_FillTrapezoid(&bm, 0, 3, 0, 0, 3, 3, kInk, -1.0f, 0);
  RAST_FillTrapezoid(&bm, 0, 3, 0, 0, 3, 3, kInk, 1.0f, 6);
  RAST_FillTrapezoid(&bm, 0, 3, 0, 0, 3, 3, kInk, 1.0f, 0xFF);
  EXPECT_EQ(rt::countSet(bm, 0x11223344u), 0);
  // A colour with alpha byte 0 still fills: the source-alpha bit is not looked at.
  RAST_FillTrapezoid(&bm, 0, 3, 0, 0, 3, 3, 0xABCDEF00u, 1.0f, 0x10000);
  EXPECT_EQ(at(bm, 2, 2), 0xABCDEF00u);
}

// ---------------------------------------------------------------------------------------------
TEST(RectOutline, covers_w_plus_1_columns_and_h_plus_1_rows_with_corners_drawn_twice) {
  rt::Filled bm(16, 10);
  RAST_DrawRect(&bm, 0, 0, 10, 5, rt::px(100, 100, 100, 100), 0.5f, 1);
  const uint32_t once = rt::px(50, 50, 50, 50), twice = rt::px(100, 100, 100, 100);
  for (int y = 0; y < 10; y++)
    for (int x = 0; x < 16; x++) {
      const bool onX = x == 0 || x == 10, onY = y == 0 || y == 5;
      const bool inside = x <= 10 && y <= 5;
      uint32_t want = 0;
      if (inside && onX && onY)
        want = twice;
      else if (inside && (onX || onY))
        want = once;
      ASSERT_EQ(at(bm, x, y), want) << x << "," << y;
    }
}

TEST(RectOutline, a_bordered_rect_fills_its_inside_then_outlines_it_and_one_pixel_wide_has_no_inside) {
  rt::Filled bm(8, 8);
  const uint32_t bg = rt::px(0, 0, 255, 255), fg = rt::px(255, 0, 0, 255);
  RAST_BorderedRect(&bm, 1, 1, 1, 4, bg, fg, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 2 * 5);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) EXPECT_NE(at(bm, x, y), bg);
  rt::fill(bm, 0);
  RAST_BorderedRect(&bm, 1, 1, 4, 3, bg, fg, 1.0f, 0);
  EXPECT_EQ(at(bm, 1, 1), fg);
  EXPECT_EQ(at(bm, 5, 4), fg);
  EXPECT_EQ(at(bm, 2, 2), bg);
  EXPECT_EQ(at(bm, 4, 3), bg);
  EXPECT_EQ(at(bm, 6, 2), 0u);
}

// ---------------------------------------------------------------------------------------------
TEST(PolygonFill, a_square_from_0_0_to_10_10_fills_11_by_11_including_its_boundary) {
  rt::Filled bm(20, 20);
  const int xs[] = {0, 10, 10, 0}, ys[] = {0, 0, 10, 10};
  RAST_FillConvexPolygon(&bm, xs, ys, 4, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 121);
  for (int y = 0; y <= 10; y++) EXPECT_EQ(rowSpan(bm, y), std::make_pair(0, 10));
}

TEST(PolygonFill, the_staircase_triangle_reaches_only_column_0_on_its_last_row) {
  rt::Filled bm(8, 8);
  RAST_FillTriangle(&bm, 0, 0, 1, 3, 0, 3, kInk, 1.0f, 0);
  // 21845 per row reaches 0.99998 of a pixel on row 3.
  for (int y = 0; y < 4; y++) EXPECT_EQ(rowSpan(bm, y), std::make_pair(0, 0)) << y;
  EXPECT_EQ(rt::countSet(bm), 4);
}

TEST(PolygonFill, either_winding_order_and_any_starting_vertex_fill_the_same_pixels) {
  std::mt19937 rng(77);
  std::uniform_real_distribution<double> cx(-10, 70), r(3, 40), ph(0, 6.283);
  for (int k = 0; k < 200; k++) {
    const int n = 3 + k % 9;
    const double c0 = cx(rng), c1 = cx(rng), rad = r(rng), p0 = ph(rng);
    std::vector<int> xs(n), ys(n);
    for (int i = 0; i < n; i++) {
      const double a = p0 + 6.283185307 * i / n;
      xs[i] = (int)std::lround(c0 + rad * std::cos(a));
      ys[i] = (int)std::lround(c1 + rad * std::sin(a));
    }
    rt::Filled a(64, 64);
    RAST_FillConvexPolygon(&a, xs.data(), ys.data(), n, kInk, 1.0f, 0);
    for (int start = 0; start < n; start++) {
      std::vector<int> rx(n), ry(n);
      for (int i = 0; i < n; i++) {
        rx[i] = xs[(start + n - i) % n];  // reversed winding, rotated start
        ry[i] = ys[(start + n - i) % n];
      }
      rt::Filled b(64, 64);
      RAST_FillConvexPolygon(&b, rx.data(), ry.data(), n, kInk, 1.0f, 0);
      ASSERT_TRUE(rt::same(a, b)) << "polygon " << k << " start " << start;
    }
  }
}

TEST(PolygonFill, a_polygon_on_one_row_fills_from_its_smallest_to_its_largest_x_inside_the_bitmap) {
  rt::Filled bm(20, 6);
  const int xs[] = {7, 3, 12, 5}, ys[] = {2, 2, 2, 2}, left[] = {-9, -3, -5};
  RAST_FillConvexPolygon(&bm, left, ys, 3, kInk, 1.0f, 0);  // wholly left of the bitmap
  EXPECT_EQ(rt::countSet(bm), 0);
  RAST_FillConvexPolygon(&bm, xs, ys, 4, kInk, 1.0f, 0);
  EXPECT_EQ(rowSpan(bm, 2), std::make_pair(3, 12));
  EXPECT_EQ(rt::countSet(bm), 10);
}

TEST(PolygonFill, a_polygon_reaching_above_row_0_starts_at_the_advanced_edges) {
  rt::Filled tall(50, 80), cut(50, 40);
  const int xs[] = {20, 47, 30, 2}, ys[] = {0, 31, 77, 45};
  const int ysCut[] = {-40, -9, 37, 5};
  RAST_FillConvexPolygon(&tall, xs, ys, 4, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&cut, xs, ysCut, 4, kInk, 1.0f, 0);
  ASSERT_TRUE(rt::same(cut, tall, 0, 40));
}

TEST(PolygonFill, six_hundred_points_on_a_square_fill_exactly_the_square) {
  // More points than the local table holds, all on the outline of a 151 x 151 square.
  std::vector<int> xs, ys;
  for (int i = 0; i < 150; i++) { xs.push_back(10 + i); ys.push_back(5); }
  for (int i = 0; i < 150; i++) { xs.push_back(160); ys.push_back(5 + i); }
  for (int i = 0; i < 150; i++) { xs.push_back(160 - i); ys.push_back(155); }
  for (int i = 0; i < 150; i++) { xs.push_back(10); ys.push_back(155 - i); }
  ASSERT_EQ(xs.size(), 600u);
  rt::Filled bm(200, 200);
  RAST_FillConvexPolygon(&bm, xs.data(), ys.data(), 600, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 151 * 151);
  for (int y = 5; y <= 155; y++) ASSERT_EQ(rowSpan(bm, y), std::make_pair(10, 160)) << y;
}

TEST(PolygonFill, six_hundred_points_on_a_circle_fill_the_disc_between_its_inner_and_outer_radius) {
  const int n = 600;
  const double cx = 100, cy = 90, R = 70;
  std::vector<int> xs(n), ys(n);
  for (int i = 0; i < n; i++) {
    xs[i] = (int)std::lround(cx + R * std::cos(6.283185307179586 * i / n));
    ys[i] = (int)std::lround(cy + R * std::sin(6.283185307179586 * i / n));
  }
  rt::Filled bm(200, 200);
  RAST_FillConvexPolygon(&bm, xs.data(), ys.data(), n, kInk, 1.0f, 0);
  for (int y = 0; y < 200; y++)
    for (int x = 0; x < 200; x++) {
      const double d = std::hypot(x - cx, y - cy);
      if (d < R - 2) {
        ASSERT_EQ(at(bm, x, y), kInk) << x << "," << y;
      }
      if (d > R + 2) {
        ASSERT_EQ(at(bm, x, y), 0u) << x << "," << y;
      }
    }
}

TEST(PolygonFill, a_bottom_up_bitmap_is_filled_at_the_rows_the_caller_names) {
  rt::FlippedBitmap flipped(20, 20);
  RAST_MemBitmap plain(20, 20);
  rt::fill(plain, 0);
  // Axis-aligned and 45-degree edges, where rounding direction cannot differ.
  const int xs[] = {2, 12, 12, 6}, ys[] = {2, 2, 12, 6};
  RAST_FillConvexPolygon(&flipped, xs, ys, 4, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&plain, xs, ys, 4, kInk, 1.0f, 0);
  ASSERT_TRUE(rt::same(flipped, plain));
  EXPECT_GT(rt::countSet(plain), 0);
}

TEST(PolygonFill, fewer_than_three_points_null_arrays_and_null_bitmaps_draw_nothing) {
  rt::Filled bm(10, 10);
  const int xs[] = {0, 9, 9}, ys[] = {0, 0, 9};
  RAST_FillConvexPolygon(&bm, xs, ys, 2, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&bm, xs, ys, -5, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&bm, nullptr, ys, 3, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(&bm, xs, nullptr, 3, kInk, 1.0f, 0);
  RAST_FillConvexPolygon(nullptr, xs, ys, 3, kInk, 1.0f, 0);
  RAST_FillTriangle(nullptr, 0, 0, 1, 1, 2, 0, kInk, 1.0f, 0);
  EXPECT_EQ(rt::countSet(bm), 0);
}

TEST(PolygonFill, a_point_set_that_is_not_convex_stays_inside_its_bounding_box) {
  // A star: the fill follows the outer chains and must neither hang nor stray.
  const int n = 10;
  std::vector<int> xs(n), ys(n);
  for (int i = 0; i < n; i++) {
    const double r = (i % 2) ? 8 : 20, a = 6.283185307 * i / n;
    xs[i] = 30 + (int)std::lround(r * std::cos(a));
    ys[i] = 30 + (int)std::lround(r * std::sin(a));
  }
  rt::Filled bm(60, 60);
  RAST_FillConvexPolygon(&bm, xs.data(), ys.data(), n, kInk, 1.0f, 0);
  const int minx = *std::min_element(xs.begin(), xs.end()), maxx = *std::max_element(xs.begin(), xs.end());
  const int miny = *std::min_element(ys.begin(), ys.end()), maxy = *std::max_element(ys.begin(), ys.end());
  for (int y = 0; y < 60; y++)
    for (int x = 0; x < 60; x++)
      if (at(bm, x, y)) {
        ASSERT_TRUE(x >= minx && x <= maxx && y >= miny && y <= maxy) << x << "," << y;
      }
  EXPECT_EQ(at(bm, 30, 30), kInk);
}

TEST(PolygonFill, coordinates_at_the_ends_of_the_int_range_are_clipped_without_overflow) {
  rt::Filled bm(16, 16);
  RAST_FillTriangle(&bm, INT_MIN, INT_MIN, INT_MAX, INT_MIN, 0, INT_MAX, kInk, 1.0f, 0);
  RAST_FillTriangle(&bm, INT_MIN, 0, INT_MAX, 3, INT_MAX, INT_MAX, kInk, 1.0f, 0);
  const int xs[] = {INT_MAX, INT_MIN, 5}, ys[] = {INT_MAX, INT_MAX, INT_MIN};
  RAST_FillConvexPolygon(&bm, xs, ys, 3, kInk, 1.0f, 0);
  // The first triangle contains the whole bitmap.
  EXPECT_EQ(rt::countSet(bm), 16 * 16);
}
