// Circle outlines and filled circles, plain or anti-aliased, in every blend mode. Only the low
// byte of the mode counts; above 5 nothing is drawn. Non-finite arguments draw nothing.
#pragma once

#include "kit/raster/rast_bitmap.h"

// Radii 1.5, 2, 2.5, 3, 3.5 and 4 are drawn from stored coverage masks.
void RAST_Circle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, float alpha, int mode,
                 bool antialias);
void RAST_FillCircle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, float alpha, int mode,
                     bool antialias);

// Draws the whole circle restricted to clip (left, top inclusive; right, bottom exclusive),
// choosing the drawer by mode and integer alpha. Without perPixelClip the caller guarantees
// that every pixel of the circle lies inside the bitmap.
void __DrawCircleClipped(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, int ialpha,
                         bool antialias, bool filled, int mode, const int clip[4], bool perPixelClip);
