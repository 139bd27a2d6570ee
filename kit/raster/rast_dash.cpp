#include "kit/raster/rast_dash.h"

#include <utility>

#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_line_impl.h"
#include "kit/raster/rast_lineclip.h"

void RAST_DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int drawn, int skipped,
                     RAST_PixelValue colour, float alpha, int mode, bool /*antialias*/) {
  if (!dest) return;
  const int width = dest->getWidth(), height = dest->getHeight();
  if (!ClipLine(&x1, &y1, &x2, &y2, width, height)) return;
  RAST_PixelValue* bits = dest->getBits();
  const ptrdiff_t span = dest->getRowSpan();
  if (!bits || span < width) return;
  if (y1 > y2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const int m = mode & RAST_BLIT_MODE_MASK;
  // One on, one off down a column at full copy: plain stores to every second row.
  if (drawn == 1 && skipped == 1 && x1 == x2 && alpha == 1.0f && m == RAST_BLIT_MODE_COPY) {
    RAST_PixelValue* p = bits + (ptrdiff_t)y1 * span + x1;
    const int count = (y2 - y1 + 1) / 2;
    for (int i = 0; i < count; i++, p += 2 * span) *p = colour;
    return;
  }
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const int w = RAST_AlphaWeight(alpha);
  if (w == 0 || (m == RAST_BLIT_MODE_COPY && w < 0)) return;
  if (m == RAST_BLIT_MODE_COPY && w == 128) {
    __RAST_LineClass<_RAST_CombinePixelsHalfMixNoClamp>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped,
                                                                     colour, w);
    return;
  }
  rast::ForCombiner(m, w == 256, [&](auto c) {
    __RAST_LineClass<decltype(c)>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped, colour, w);
  });
}
