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
  const int m = mode & 0xFF;
  // One on, one off down a column at full copy: plain stores to every second row.
  if (drawn == 1 && skipped == 1 && x1 == x2 && alpha == 1.0f && m == 0) {
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
  if (w == 0 || m > 5) return;
  switch (m) {
    case 0:
      if (w < 0) return;
      if (w == 128)
        __RAST_LineClass<_RAST_CombinePixelsHalfMixNoClamp>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped,
                                                                         colour, w);
      else if (w == 256)
        __RAST_LineClass<_RAST_CombinePixelsClobberNoClamp>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped,
                                                                         colour, w);
      else
        __RAST_LineClass<_RAST_CombinePixelsCopyNoClamp>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped,
                                                                      colour, w);
      break;
    case 1:
      __RAST_LineClass<_RAST_CombinePixelsAdd>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped, colour, w);
      break;
    case 2:
      __RAST_LineClass<_RAST_CombinePixelsColorDodge>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped,
                                                                   colour, w);
      break;
    case 3:
      __RAST_LineClass<_RAST_CombinePixelsMulNoClamp>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped,
                                                                   colour, w);
      break;
    case 4:
      __RAST_LineClass<_RAST_CombinePixelsOverlay>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped, colour,
                                                                w);
      break;
    case 5:
      __RAST_LineClass<_RAST_CombinePixelsHSVAdjust>::DashedLine(bits, span, x1, y1, x2, y2, drawn, skipped,
                                                                  colour, w);
      break;
  }
}
