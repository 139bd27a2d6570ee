// Scaled, shrunk and rotated blits of the raster library next to pixman's transforms doing the
// same work: the 1500 x 757 window at 0.85x and 1.15x (nearest and bilinear), a 2:1 box
// shrink, and a 64 x 64 knob turned by 30 degrees. Pixel words are pixman's b8g8r8a8.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "kit/raster/rast_rotate.h"
#include "kit/raster/rast_scaled.h"

#ifdef QOR_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

const int kW = 1500, kH = 757;

void randomize(RAST_MemBitmap& bm) {
  std::mt19937 rng(1);
  for (int i = 0; i < bm.getRowSpan() * bm.getHeight(); i++) bm.getBits()[i] = rng() | 0xFF;
}

void rastScaled(benchmark::State& st, double scale, int mode) {
  RAST_MemBitmap src(kW, kH, 1), dst((int)(kW * scale), (int)(kH * scale), 1);
  randomize(src);
  for (auto _ : st) {
    RAST_ScaledBlit(&dst, &src, 0, 0, dst.getWidth(), dst.getHeight(), 0, 0, kW, kH, 1.0f, mode);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)dst.getWidth() * dst.getHeight());
}

void rastKnob(benchmark::State& st, int mode) {
  RAST_MemBitmap knob(64, 64, 1), dst(64, 64, 1);
  randomize(knob);
  randomize(dst);
  const float angle = (float)(30.0 * M_PI / 180.0);
  for (auto _ : st) {
    RAST_RotatedBlit(&dst, &knob, 0, 0, 64, 64, 0, 0, 64, 64, angle, true, 1.0f, mode, 0, 0);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * 64 * 64);
}

#ifdef QOR_HAVE_PIXMAN
pixman_image_t* wrap(RAST_MemBitmap& bm) {
  return pixman_image_create_bits(PIXMAN_b8g8r8a8, bm.getWidth(), bm.getHeight(), bm.getBits(),
                                  bm.getRowSpan() * 4);
}

enum Filter { kNearest, kBilinear, kBox };

void pixScaled(benchmark::State& st, double scale, Filter filter) {
  RAST_MemBitmap src(kW, kH, 1), dst((int)(kW * scale), (int)(kH * scale), 1);
  randomize(src);
  pixman_image_t* s = wrap(src);
  pixman_image_t* d = wrap(dst);
  pixman_transform_t t;
  const double sx = (double)kW / dst.getWidth(), sy = (double)kH / dst.getHeight();
  pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
  pixman_image_set_transform(s, &t);
  if (filter == kBox) {
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy), PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_IMPULSE,
        PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 1, 1);
    pixman_image_set_filter(s, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    free(params);
  } else {
    pixman_image_set_filter(s, filter == kNearest ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR, nullptr, 0);
  }
  for (auto _ : st) {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, dst.getWidth(), dst.getHeight());
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)dst.getWidth() * dst.getHeight());
  pixman_image_unref(s);
  pixman_image_unref(d);
}

void pixKnob(benchmark::State& st, pixman_op_t op) {
  RAST_MemBitmap knob(64, 64, 1), dst(64, 64, 1);
  randomize(knob);
  randomize(dst);
  pixman_image_t* s = wrap(knob);
  pixman_image_t* d = wrap(dst);
  pixman_transform_t t;
  pixman_transform_init_identity(&t);
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(-32), pixman_int_to_fixed(-32));
  const double a = 30.0 * M_PI / 180.0;
  pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(a)), pixman_double_to_fixed(std::sin(a)));
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(32), pixman_int_to_fixed(32));
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  for (auto _ : st) {
    pixman_image_composite32(op, s, nullptr, d, 0, 0, 0, 0, 0, 0, 64, 64);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * 64 * 64);
  pixman_image_unref(s);
  pixman_image_unref(d);
}
#endif

BENCHMARK_CAPTURE(rastScaled, nearest_0_85x, 0.85, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rastScaled, nearest_1_15x, 1.15, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rastScaled, bilinear_0_85x, 0.85, 0x100)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rastScaled, bilinear_1_15x, 1.15, 0x100)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rastScaled, box_shrink_2to1, 0.5, 0x100)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rastKnob, knob_30deg_copy, 0x100);
BENCHMARK_CAPTURE(rastKnob, knob_30deg_source_alpha, 0x10100);
#ifdef QOR_HAVE_PIXMAN
BENCHMARK_CAPTURE(pixScaled, nearest_0_85x, 0.85, kNearest)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(pixScaled, nearest_1_15x, 1.15, kNearest)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(pixScaled, bilinear_0_85x, 0.85, kBilinear)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(pixScaled, bilinear_1_15x, 1.15, kBilinear)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(pixScaled, box_shrink_2to1, 0.5, kBox)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(pixKnob, knob_30deg_src, PIXMAN_OP_SRC);
BENCHMARK_CAPTURE(pixKnob, knob_30deg_over, PIXMAN_OP_OVER);
#endif

}  // namespace

BENCHMARK_MAIN();
