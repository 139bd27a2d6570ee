// 200 twelve-character labels at 12 to 16 pixels into an 800 x 600 surface, with every glyph
// already cached: through the cached-glyph path, through the native text path (the surface's
// own drawing context), and cairo drawing the same text with the same face and sizes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "kit/raster/rast_font.h"
#include "kit/wapi/wapi-gdi.h"

#ifdef QOR_HAVE_CAIRO
#include <cairo.h>
#endif

namespace {

const int kW = 800, kH = 600, kLabels = 200;
const char* const kFace = "DejaVu Sans";

const std::vector<std::string>& labels() {
  static std::vector<std::string> l = [] {
    static const char* words[] = {"Cutoff", "Reso  ", "Attack", "Decay ", "Sustn ", "Releas", "LFO Rt", "Detune"};
    std::vector<std::string> v;
    for (int i = 0; i < kLabels; i++) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%s %5d", words[i % 8], i * 37);
      v.emplace_back(buf, 12);
    }
    return v;
  }();
  return l;
}

int sizeOf(int i) { return 12 + i % 5; }

void drawLabels(benchmark::State& st, int fontFlags) {
  RAST_SysBitmap surface(kW, kH);
  std::vector<std::unique_ptr<RAST_CachedFont>> fonts;
  for (int s = 12; s <= 16; s++) {
    fonts.emplace_back(new RAST_CachedFont);
    fonts.back()->SetFromHFont(CreateFont(s, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, kFace), fontFlags);
    fonts.back()->SetTextColor(RAST_MakePixel(230, 230, 200, 255));
  }
  auto pass = [&] {
    for (int i = 0; i < kLabels; i++) {
      RECT r = {(i % 4) * 200, (i / 4) * 12, (i % 4) * 200 + 200, (i / 4) * 12 + 20};
      fonts[i % 5]->DrawText(&surface, labels()[i].c_str(), -1, &r, 0x100);
    }
  };
  pass();  // warm: every glyph cached
  for (auto _ : st) {
    pass();
    benchmark::DoNotOptimize(surface.getBits());
  }
  st.SetItemsProcessed(st.iterations() * kLabels);
}

void BM_Text_GlyphPath(benchmark::State& st) { drawLabels(st, RAST_FONT_OWNS_HFONT); }
void BM_Text_NativePath(benchmark::State& st) { drawLabels(st, RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE); }
BENCHMARK(BM_Text_GlyphPath);
BENCHMARK(BM_Text_NativePath);

#ifdef QOR_HAVE_CAIRO
void BM_Text_Cairo(benchmark::State& st) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_source_rgb(cr, 230 / 255.0, 230 / 255.0, 200 / 255.0);
  auto pass = [&] {
    for (int i = 0; i < kLabels; i++) {
      cairo_set_font_size(cr, sizeOf(i));
      cairo_move_to(cr, (i % 4) * 200, (i / 4) * 12 + sizeOf(i));
      cairo_show_text(cr, labels()[i].c_str());
    }
  };
  pass();  // warm: cairo's glyph cache filled
  for (auto _ : st) {
    pass();
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
  }
  st.SetItemsProcessed(st.iterations() * kLabels);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}
BENCHMARK(BM_Text_Cairo);
#endif

}  // namespace

BENCHMARK_MAIN();
