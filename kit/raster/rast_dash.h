// Dashed horizontal and vertical lines.
#pragma once

#include "kit/raster/rast_bitmap.h"

// Alternates drawn and skipped stretches from the smaller end; the pixel at the larger end is
// never drawn; slanted segments draw nothing. A drawn length below 1 draws nothing and a negative
// skipped length draws a solid line. The anti-alias flag is not used.
void RAST_DashedLine(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int drawnLength, int skippedLength,
                     RAST_PixelValue colour, float alpha, int mode, bool antialias);
