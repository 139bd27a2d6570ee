// Blits, fills and blend modes of the raster library next to pixman doing the same work on the
// same pixels: a 1500 x 757 surface (the editor's window) and 64 x 64 sprites.
// Pixel words are A | R << 8 | G << 16 | B << 24, which pixman calls b8g8r8a8.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_copymix.h"
#include "kit/raster/rast_rect.h"

#ifdef QOR_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

struct Surfaces {
  RAST_MemBitmap dst, src;
  Surfaces(int w, int h) : dst(w, h, 1), src(w, h, 1) {
    std::mt19937 rng(1);
    for (RAST_MemBitmap* bm : {&dst, &src})
      for (int i = 0; i < bm->getRowSpan() * bm->getHeight(); i++) bm->getBits()[i] = rng();
  }
};

const int kModeSourceAlpha = 0x10000;

// A source shaped like the editor's control bitmaps: 64 x 64 cells, each a disc on a transparent
// margin with an opaque body and a one-pixel anti-aliased edge. Transparent pixels are all zero.
// alphaShift places the alpha byte: 0 for the raster library, 24 for pixman's a8r8g8b8.
void fillShaped(uint32_t* px, int w, int h, int rowSpan, int alphaShift) {
  std::mt19937 rng(2);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const double dx = x % 64 - 31.5, dy = y % 64 - 31.5;
      const double cover = 26.0 - std::sqrt(dx * dx + dy * dy) + 0.5;
      const uint32_t a = cover <= 0 ? 0 : cover >= 1 ? 255 : (uint32_t)(cover * 255);
      const uint32_t colour = rng() & (alphaShift ? 0x00FFFFFFu : 0xFFFFFF00u);
      px[y * rowSpan + x] = a ? colour | a << alphaShift : 0;
    }
}

void rastBlitShaped(benchmark::State& st, int w, int h, float alpha, int mode) {
  Surfaces s(w, h);
  fillShaped(s.src.getBits(), w, h, s.src.getRowSpan(), 0);
  for (auto _ : st) {
    RAST_Blit(&s.dst, &s.src, 0, 0, nullptr, alpha, mode);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)w * h);
}

void rastBlit(benchmark::State& st, int w, int h, float alpha, int mode) {
  Surfaces s(w, h);
  for (auto _ : st) {
    RAST_Blit(&s.dst, &s.src, 0, 0, nullptr, alpha, mode);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)w * h);
}

// The same with the four-pixel loops that processors without AVX2 run.
void rastBlitFourWide(benchmark::State& st, int w, int h, float alpha, int mode) {
  rast::UseWideRows(false);
  rastBlit(st, w, h, alpha, mode);
  rast::UseWideRows(true);
}

void rastBlitShapedFourWide(benchmark::State& st, int w, int h, float alpha, int mode) {
  rast::UseWideRows(false);
  rastBlitShaped(st, w, h, alpha, mode);
  rast::UseWideRows(true);
}

void rastFill(benchmark::State& st, int w, int h, float alpha, int mode) {
  Surfaces s(w, h);
  for (auto _ : st) {
    RAST_FillRect(&s.dst, 0, 0, w, h, 0xC0804020u, alpha, mode);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)w * h);
}

#ifdef QOR_HAVE_PIXMAN
pixman_image_t* wrap(RAST_MemBitmap& bm, pixman_format_code_t format = PIXMAN_b8g8r8a8) {
  return pixman_image_create_bits(format, bm.getWidth(), bm.getHeight(), bm.getBits(), bm.getRowSpan() * 4);
}

// alpha < 1 uses a solid mask of that opacity, as the raster blit weights the source by it.
// The same pixels read as a8r8g8b8 (alpha in the top byte) take pixman's own fast paths; the
// work per pixel is the same, only which byte counts as alpha differs.
void pixBlitIn(benchmark::State& st, int w, int h, float alpha, pixman_op_t op, pixman_format_code_t format,
               bool shaped = false) {
  Surfaces s(w, h);
  if (shaped) fillShaped(s.src.getBits(), w, h, s.src.getRowSpan(), 24);
  pixman_image_t* d = wrap(s.dst, format);
  pixman_image_t* src = wrap(s.src, format);
  pixman_image_t* mask = nullptr;
  if (alpha < 1.0f) {
    pixman_color_t c = {0, 0, 0, (uint16_t)(alpha * 65535)};
    mask = pixman_image_create_solid_fill(&c);
  }
  for (auto _ : st) {
    pixman_image_composite32(op, src, mask, d, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)w * h);
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(src);
  pixman_image_unref(d);
}

void pixBlit(benchmark::State& st, int w, int h, float alpha, pixman_op_t op) {
  pixBlitIn(st, w, h, alpha, op, PIXMAN_b8g8r8a8);
}

void pixBlitFastFormat(benchmark::State& st, int w, int h, float alpha, pixman_op_t op) {
  pixBlitIn(st, w, h, alpha, op, PIXMAN_a8r8g8b8);
}

void pixBlitShapedFastFormat(benchmark::State& st, int w, int h, float alpha, pixman_op_t op) {
  pixBlitIn(st, w, h, alpha, op, PIXMAN_a8r8g8b8, true);
}

void pixFillIn(benchmark::State& st, int w, int h, float alpha, pixman_op_t op, pixman_format_code_t format) {
  Surfaces s(w, h);
  pixman_image_t* d = wrap(s.dst, format);
  pixman_color_t c = {0x8080, 0x4040, 0x2020, (uint16_t)(alpha * 65535)};
  pixman_image_t* solid = pixman_image_create_solid_fill(&c);
  for (auto _ : st) {
    pixman_image_composite32(op, solid, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * (int64_t)w * h);
  pixman_image_unref(solid);
  pixman_image_unref(d);
}

void pixFill(benchmark::State& st, int w, int h, float alpha, pixman_op_t op) {
  pixFillIn(st, w, h, alpha, op, PIXMAN_b8g8r8a8);
}

void pixFillFastFormat(benchmark::State& st, int w, int h, float alpha, pixman_op_t op) {
  pixFillIn(st, w, h, alpha, op, PIXMAN_a8r8g8b8);
}
#endif

#define SIZES(fn, name, ...)                                                  \
  BENCHMARK_CAPTURE(fn, name##_1500x757, 1500, 757, __VA_ARGS__)->Unit(benchmark::kMicrosecond); \
  BENCHMARK_CAPTURE(fn, name##_64x64, 64, 64, __VA_ARGS__)

SIZES(rastBlit, copy, 1.0f, 0);
SIZES(rastBlit, alpha_0_5, 0.5f, 0);
SIZES(rastBlit, alpha_0_7, 0.7f, 0);
SIZES(rastBlit, source_alpha, 1.0f, kModeSourceAlpha);
SIZES(rastBlit, source_alpha_0_7, 0.7f, kModeSourceAlpha);
SIZES(rastBlitShaped, source_alpha_shaped, 1.0f, kModeSourceAlpha);
SIZES(rastBlitShaped, source_alpha_shaped_0_5, 0.5f, kModeSourceAlpha);
SIZES(rastBlitFourWide, source_alpha_sse2, 1.0f, kModeSourceAlpha);
SIZES(rastBlitShapedFourWide, source_alpha_shaped_sse2, 1.0f, kModeSourceAlpha);
SIZES(rastBlit, add, 1.0f, 1);
SIZES(rastBlit, colordodge, 1.0f, 2);
SIZES(rastBlit, multiply, 1.0f, 3);
SIZES(rastBlit, overlay, 1.0f, 4);
SIZES(rastBlit, hsvadjust, 1.0f, 5);
SIZES(rastFill, fill, 1.0f, 0);
SIZES(rastFill, fill_0_5, 0.5f, 0);
SIZES(rastFill, fill_0_7, 0.7f, 0);
SIZES(rastFill, fill_add, 1.0f, 1);

#ifdef QOR_HAVE_PIXMAN
SIZES(pixBlit, src, 1.0f, PIXMAN_OP_SRC);
SIZES(pixBlit, src_mask_0_5, 0.5f, PIXMAN_OP_SRC);
SIZES(pixBlit, src_mask_0_7, 0.7f, PIXMAN_OP_SRC);
SIZES(pixBlit, over, 1.0f, PIXMAN_OP_OVER);
SIZES(pixBlit, over_mask_0_7, 0.7f, PIXMAN_OP_OVER);
SIZES(pixBlit, add, 1.0f, PIXMAN_OP_ADD);
SIZES(pixBlit, colordodge, 1.0f, PIXMAN_OP_COLOR_DODGE);
SIZES(pixBlit, multiply, 1.0f, PIXMAN_OP_MULTIPLY);
SIZES(pixBlit, overlay, 1.0f, PIXMAN_OP_OVERLAY);
SIZES(pixBlit, hsl_hue, 1.0f, PIXMAN_OP_HSL_HUE);
SIZES(pixBlitFastFormat, over_a8r8g8b8, 1.0f, PIXMAN_OP_OVER);
SIZES(pixBlitFastFormat, over_mask_0_7_a8r8g8b8, 0.7f, PIXMAN_OP_OVER);
SIZES(pixBlitFastFormat, add_a8r8g8b8, 1.0f, PIXMAN_OP_ADD);
SIZES(pixBlitFastFormat, src_a8r8g8b8, 1.0f, PIXMAN_OP_SRC);
SIZES(pixBlitShapedFastFormat, over_shaped_a8r8g8b8, 1.0f, PIXMAN_OP_OVER);
SIZES(pixBlitShapedFastFormat, over_shaped_mask_0_5_a8r8g8b8, 0.5f, PIXMAN_OP_OVER);
SIZES(pixFill, fill, 1.0f, PIXMAN_OP_SRC);
SIZES(pixFill, fill_over_0_5, 0.5f, PIXMAN_OP_OVER);
SIZES(pixFill, fill_over_0_7, 0.7f, PIXMAN_OP_OVER);
SIZES(pixFill, fill_add, 1.0f, PIXMAN_OP_ADD);
SIZES(pixFillFastFormat, fill_over_0_7_a8r8g8b8, 0.7f, PIXMAN_OP_OVER);
#endif

}  // namespace

BENCHMARK_MAIN();
