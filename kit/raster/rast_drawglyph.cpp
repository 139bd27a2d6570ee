#include "kit/raster/rast_drawglyph.h"

#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_surface.h"

namespace GlyphDrawImpl {

// Zero coverage leaves the pixel untouched; any other coverage c weighs (c * alpha) / 256.
template <class C>
void DrawGlyph(const unsigned char* alphas, unsigned int* dest, int w, int h, unsigned int color, int dest_span,
               int glyph_span, int alpha) {
  const int r = RAST_PixelR(color), g = RAST_PixelG(color), b = RAST_PixelB(color), a = RAST_PixelA(color);
  for (int y = 0; y < h; y++, alphas += glyph_span, dest += dest_span)
    for (int x = 0; x < w; x++)
      if (alphas[x]) C::doPix((unsigned char*)(dest + x), r, g, b, a, (alphas[x] * alpha) / 256);
}

}  // namespace GlyphDrawImpl

void RAST_DrawGlyph(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode) {
  RAST_DrawGlyphEx(dest, x, y, color, alphas, glyph_w, glyph_w, glyph_h, alpha, mode);
}

void RAST_DrawGlyphEx(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas,
                      int glyph_w, int glyph_span, int glyph_h, float alpha, int mode) {
  RAST_Surface s;
  if (!alphas || glyph_w < 1 || glyph_h < 1 || glyph_span < glyph_w || !RAST_GetSurface(dest, s)) return;
  if (x <= -glyph_w || y <= -glyph_h) return;
  const int dx = x > 0 ? x : 0, dy = y > 0 ? y : 0;
  if (dx >= s.width || dy >= s.height) return;
  long long w = (long long)glyph_w + (x < 0 ? x : 0), h = (long long)glyph_h + (y < 0 ? y : 0);
  if (w > s.width - dx) w = s.width - dx;
  if (h > s.height - dy) h = s.height - dy;
  if (w < 1 || h < 1) return;
  const int a = RAST_AlphaWeight(alpha);
  const int m = mode & RAST_BLIT_MODE_MASK;
  if (a == 0 || m > RAST_BLIT_MODE_HSVADJUST || (m == RAST_BLIT_MODE_COPY && a < 1)) return;

  const unsigned char* cov = alphas + (size_t)(y < 0 ? -(long long)y : 0) * glyph_span + (x < 0 ? -(long long)x : 0);
  unsigned int* d = s.pixel(dx, dy);
  const int span = (int)(s.step / 4);
  const int iw = (int)w, ih = (int)h;
  rast::ForCombiner(m, false, [&](auto comb) {
    GlyphDrawImpl::DrawGlyph<decltype(comb)>(cov, d, iw, ih, color, span, glyph_span, a);
  });
}
