// How the raster operations address a bitmap's pixels: a pointer to the top row and a signed row
// step in bytes, so that bottom-up bitmaps are walked from their last stored row.
#pragma once

#include <cstddef>

#include "kit/raster/rast_bitmap.h"

struct RAST_Surface {
  unsigned char* top = nullptr;  // first pixel of row 0 as the caller counts rows
  ptrdiff_t step = 0;            // bytes from one row to the next (negative when flipped)
  int width = 0;
  int height = 0;
  int span = 0;  // row span in pixels

  unsigned char* row(int y) const { return top + step * y; }
  unsigned int* pixel(int x, int y) const { return (unsigned int*)(top + step * y) + x; }
};

// Fills s for a usable bitmap; false for a null bitmap, null pixels or a non-positive width,
// height or row span.
inline bool RAST_GetSurface(RAST_IBitmap* bm, RAST_Surface& s) {
  if (!bm) return false;
  RAST_PixelValue* bits = bm->getBits();
  const int w = bm->getWidth(), h = bm->getHeight(), span = bm->getRowSpan();
  if (!bits || w < 1 || h < 1 || span < 1) return false;
  s.width = w;
  s.height = h;
  s.span = span;
  const ptrdiff_t bytes = (ptrdiff_t)span * 4;
  if (bm->isFlipped()) {
    s.top = (unsigned char*)bits + bytes * (h - 1);
    s.step = -bytes;
  } else {
    s.top = (unsigned char*)bits;
    s.step = bytes;
  }
  return true;
}

// Clips a rectangle of one bitmap as the rectangle fills do: a negative x is added to w and x
// becomes 0 (likewise y, h), then w and h are cut at the far edges. False when nothing is left.
inline bool RAST_ClipRect(const RAST_Surface& s, int& x, int& y, int& w, int& h) {
  long long lx = x, ly = y, lw = w, lh = h;
  if (lx < 0) { lw += lx; lx = 0; }
  if (ly < 0) { lh += ly; ly = 0; }
  if (lw > s.width - lx) lw = s.width - lx;
  if (lh > s.height - ly) lh = s.height - ly;
  if (lw <= 0 || lh <= 0) return false;
  x = (int)lx; y = (int)ly; w = (int)lw; h = (int)lh;
  return true;
}
