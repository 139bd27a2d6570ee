// One-pixel lines between integer or float end points, in every blend mode, optionally
// anti-aliased. Only the low byte of the mode counts; above 5 nothing is drawn.
#pragma once

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_lineclip.h"

// Both end pixels included; clipped to the bitmap; bottom-up bitmaps handled.
void RAST_Line(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, RAST_PixelValue colour, float alpha, int mode,
               bool antialias);

// Float end points. Without anti-aliasing the ends are truncated and drawn by RAST_Line; with it
// the line covers the whole columns (or rows) between the ends with two-pixel coverage.
// Non-finite coordinates draw nothing.
void RAST_FLine(RAST_IBitmap* dest, float x1, float y1, float x2, float y2, RAST_PixelValue colour, float alpha,
                int mode, bool antialias);
