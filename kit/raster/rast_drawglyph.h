// Stamping an 8-bit coverage mask (a glyph: 0 none, 255 full, rows top first) in one colour
// through a blend mode; the coverage scales the weight of each pixel.
#pragma once

#include "kit/raster/rast_bitmap.h"

void RAST_DrawGlyph(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas, int glyph_w,
                    int glyph_h, float alpha, int mode);
// glyph_span: bytes from one coverage row to the next (at least glyph_w).
void RAST_DrawGlyphEx(RAST_IBitmap* dest, int x, int y, unsigned int color, const unsigned char* alphas,
                      int glyph_w, int glyph_span, int glyph_h, float alpha, int mode);
