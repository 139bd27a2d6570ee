// Lines and filled circles of the raster library beside cairo doing the same work: 1000 line
// segments of 10 to 300 pixels (plain and anti-aliased) and 1000 filled circles on a 1024 x 1024
// bitmap, translucent copy so that every pixel is blended rather than stored.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_line.h"

#ifdef QOR_HAVE_CAIRO
#include <cairo.h>
#endif

namespace {

const int kSize = 1024;
const float kAlpha = 0.8f;

struct Seg {
  int x1, y1, x2, y2;
};
struct Disc {
  float x, y, r;
};

const std::vector<Seg>& segments() {
  static std::vector<Seg> v = [] {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> pos(0, kSize - 1), len(10, 300), ang(0, 6.283185307);
    std::vector<Seg> out;
    while (out.size() < 1000) {
      const double x = pos(rng), y = pos(rng), l = len(rng), a = ang(rng);
      const double x2 = x + l * std::cos(a), y2 = y + l * std::sin(a);
      if (x2 < 0 || y2 < 0 || x2 >= kSize || y2 >= kSize) continue;  // keep the work the same for both
      out.push_back(Seg{(int)x, (int)y, (int)x2, (int)y2});
    }
    return out;
  }();
  return v;
}

const std::vector<Disc>& discs() {
  static std::vector<Disc> v = [] {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> pos(60, kSize - 60), rad(3, 50);
    std::vector<Disc> out;
    for (int i = 0; i < 1000; i++) out.push_back(Disc{std::floor(pos(rng)), std::floor(pos(rng)), rad(rng)});
    return out;
  }();
  return v;
}

void BM_RastLines(benchmark::State& st) {
  const bool aa = st.range(0) != 0;
  RAST_MemBitmap bm(kSize, kSize);
  const auto& segs = segments();
  for (auto _ : st) {
    for (const Seg& s : segs) RAST_Line(&bm, s.x1, s.y1, s.x2, s.y2, 0xFF3080C0u, kAlpha, 0, aa);
    benchmark::DoNotOptimize(bm.getBits());
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)segs.size());
}
BENCHMARK(BM_RastLines)->Arg(0)->Arg(1)->ArgName("aa");

void BM_RastFilledCircles(benchmark::State& st) {
  const bool aa = st.range(0) != 0;
  RAST_MemBitmap bm(kSize, kSize);
  const auto& ds = discs();
  for (auto _ : st) {
    for (const Disc& d : ds) RAST_FillCircle(&bm, d.x, d.y, d.r, 0xFF3080C0u, kAlpha, 0, aa);
    benchmark::DoNotOptimize(bm.getBits());
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)ds.size());
}
BENCHMARK(BM_RastFilledCircles)->Arg(0)->Arg(1)->ArgName("aa");

#ifdef QOR_HAVE_CAIRO
struct CairoCanvas {
  cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  cairo_t* cr = cairo_create(surf);
  CairoCanvas() { cairo_set_source_rgba(cr, 0.75, 0.5, 0.19, kAlpha); }
  ~CairoCanvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surf);
  }
};

void BM_CairoLines(benchmark::State& st) {
  const bool aa = st.range(0) != 0;
  CairoCanvas c;
  cairo_set_antialias(c.cr, aa ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(c.cr, 1.0);
  const auto& segs = segments();
  for (auto _ : st) {
    // One stroke per segment, as the raster library draws one call per segment.
    for (const Seg& s : segs) {
      cairo_move_to(c.cr, s.x1 + 0.5, s.y1 + 0.5);
      cairo_line_to(c.cr, s.x2 + 0.5, s.y2 + 0.5);
      cairo_stroke(c.cr);
    }
    cairo_surface_flush(c.surf);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(c.surf));
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)segs.size());
}
BENCHMARK(BM_CairoLines)->Arg(0)->Arg(1)->ArgName("aa");

void BM_CairoFilledCircles(benchmark::State& st) {
  const bool aa = st.range(0) != 0;
  CairoCanvas c;
  cairo_set_antialias(c.cr, aa ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  const auto& ds = discs();
  for (auto _ : st) {
    for (const Disc& d : ds) {
      cairo_arc(c.cr, d.x + 0.5, d.y + 0.5, d.r, 0, 6.283185307);
      cairo_fill(c.cr);
    }
    cairo_surface_flush(c.surf);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(c.surf));
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)ds.size());
}
BENCHMARK(BM_CairoFilledCircles)->Arg(0)->Arg(1)->ArgName("aa");
#endif

}  // namespace

BENCHMARK_MAIN();
