// Solid triangle fills of the raster library next to pixman filling the same triangles into a
// surface of the same size: 1000 triangles of up to 64 pixels a side over an 800 x 600 surface.
// Pixel words are A | R << 8 | G << 16 | B << 24, which pixman calls b8g8r8a8.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "kit/raster/rast_poly.h"

#ifdef QOR_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

const int kW = 800, kH = 600, kCount = 1000;

struct Tri {
  int x[3], y[3];
};

const std::vector<Tri>& triangles() {
  static std::vector<Tri> tris = [] {
    std::vector<Tri> t(kCount);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> px(0, kW - 64), py(0, kH - 64), d(0, 63);
    for (Tri& tr : t) {
      const int ox = px(rng), oy = py(rng);
      for (int k = 0; k < 3; k++) {
        tr.x[k] = ox + d(rng);
        tr.y[k] = oy + d(rng);
      }
    }
    return t;
  }();
  return tris;
}

void rastTriangles(benchmark::State& st, float alpha, int mode) {
  RAST_MemBitmap bm(kW, kH);
  const RAST_PixelValue c = RAST_MakePixel(40, 120, 220, 255);
  for (auto _ : st) {
    for (const Tri& t : triangles())
      RAST_FillTriangle(&bm, t.x[0], t.y[0], t.x[1], t.y[1], t.x[2], t.y[2], c, alpha, mode);
    benchmark::DoNotOptimize(bm.getBits());
  }
  st.SetItemsProcessed(st.iterations() * kCount);
}

void BM_Rast_Triangles_Copy(benchmark::State& st) { rastTriangles(st, 1.0f, 0); }
void BM_Rast_Triangles_HalfMix(benchmark::State& st) { rastTriangles(st, 0.5f, 0); }
void BM_Rast_Triangles_CopyWeighted(benchmark::State& st) { rastTriangles(st, 0.3f, 0); }
void BM_Rast_Triangles_Add(benchmark::State& st) { rastTriangles(st, 0.7f, 1); }
BENCHMARK(BM_Rast_Triangles_Copy);
BENCHMARK(BM_Rast_Triangles_HalfMix);
BENCHMARK(BM_Rast_Triangles_CopyWeighted);
BENCHMARK(BM_Rast_Triangles_Add);

void BM_Rast_Polygon600(benchmark::State& st) {
  RAST_MemBitmap bm(kW, kH);
  std::vector<int> xs(600), ys(600);
  for (int i = 0; i < 600; i++) {
    xs[i] = 400 + (int)(250 * std::cos(6.283185307 * i / 600));
    ys[i] = 300 + (int)(250 * std::sin(6.283185307 * i / 600));
  }
  for (auto _ : st) {
    RAST_FillConvexPolygon(&bm, xs.data(), ys.data(), 600, 0xFF00FF80u, 1.0f, 0);
    benchmark::DoNotOptimize(bm.getBits());
  }
}
BENCHMARK(BM_Rast_Polygon600);

#ifdef QOR_HAVE_PIXMAN
void pixTriangles(benchmark::State& st, float alpha, pixman_op_t op, pixman_format_code_t maskFormat) {
  RAST_MemBitmap bm(kW, kH);
  pixman_image_t* dst =
      pixman_image_create_bits(PIXMAN_b8g8r8a8, kW, kH, (uint32_t*)bm.getBits(), bm.getRowSpan() * 4);
  pixman_color_t col = {(uint16_t)(40 * 257 * alpha), (uint16_t)(120 * 257 * alpha), (uint16_t)(220 * 257 * alpha),
                        (uint16_t)(65535 * alpha)};
  pixman_image_t* solid = pixman_image_create_solid_fill(&col);
  std::vector<pixman_triangle_t> tris(kCount);
  for (int i = 0; i < kCount; i++) {
    const Tri& t = triangles()[i];
    // Pixel centres, so that the covered pixels match the integer fill.
    tris[i].p1 = {pixman_int_to_fixed(t.x[0]) + 0x8000, pixman_int_to_fixed(t.y[0]) + 0x8000};
    tris[i].p2 = {pixman_int_to_fixed(t.x[1]) + 0x8000, pixman_int_to_fixed(t.y[1]) + 0x8000};
    tris[i].p3 = {pixman_int_to_fixed(t.x[2]) + 0x8000, pixman_int_to_fixed(t.y[2]) + 0x8000};
  }
  for (auto _ : st) {
    for (int i = 0; i < kCount; i++) pixman_composite_triangles(op, solid, dst, maskFormat, 0, 0, 0, 0, 1, &tris[i]);
    benchmark::DoNotOptimize(bm.getBits());
  }
  st.SetItemsProcessed(st.iterations() * kCount);
  pixman_image_unref(solid);
  pixman_image_unref(dst);
}

// An opaque colour OVER the surface gives the pixels a copy gives; SRC is unbounded in pixman
// and would rewrite the whole surface for each triangle.
void BM_Pixman_Triangles_Opaque_Aliased(benchmark::State& st) { pixTriangles(st, 1.0f, PIXMAN_OP_OVER, PIXMAN_a1); }
void BM_Pixman_Triangles_Over_Half_Aliased(benchmark::State& st) {
  pixTriangles(st, 0.5f, PIXMAN_OP_OVER, PIXMAN_a1);
}
void BM_Pixman_Triangles_Opaque_Antialiased(benchmark::State& st) {
  pixTriangles(st, 1.0f, PIXMAN_OP_OVER, PIXMAN_a8);
}
BENCHMARK(BM_Pixman_Triangles_Opaque_Aliased);
BENCHMARK(BM_Pixman_Triangles_Over_Half_Aliased);
BENCHMARK(BM_Pixman_Triangles_Opaque_Antialiased);
#endif

}  // namespace

BENCHMARK_MAIN();
