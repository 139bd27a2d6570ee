// Whole-word bitmap utilities: a 2:1 box reduction and a comparison that can report the
// rectangle in which two bitmaps differ.
#pragma once

#include "kit/raster/rast_bitmap.h"

// Writes src reduced to half size (each pixel the sum of a quarter of its 2 x 2 block) into the
// top-left of dest.
void RAST_HalveBlitAA(RAST_IBitmap* dest, RAST_IBitmap* src);
// 0 when equal. Different sizes answer the width (else height) difference b - a. Without
// coordsOut, the first non-zero byte comparison of a row; with it, 1 and the smallest rectangle
// (x, y, width, height) holding every differing pixel.
int RAST_BitmapCmp(RAST_IBitmap* a, RAST_IBitmap* b, int* coordsOut = nullptr);
