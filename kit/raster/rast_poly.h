// Solid outline and fill primitives: rectangle outlines, bordered rectangles, convex polygons
// and triangles. Polygons are cut into trapezoids (rast_trap.h).
#pragma once

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_trap.h"

// Outline covering columns x..x+w and rows y..y+h inclusive; corner pixels are drawn twice.
void RAST_DrawRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_PixelValue color, float alpha, int mode);
// Fills the inside (x+1, y+1, w-1, h-1) with bgcolor, then outlines with fgcolor.
void RAST_BorderedRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_PixelValue bgcolor,
                       RAST_PixelValue fgcolor, float alpha, int mode);
// Fills a convex polygon including its boundary pixels; point sets that are not convex fill what
// the leftmost and rightmost chains outline.
void RAST_FillConvexPolygon(RAST_IBitmap* dest, const int* x, const int* y, int npoints, RAST_PixelValue color,
                            float alpha, int mode);
void RAST_FillTriangle(RAST_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3, RAST_PixelValue color,
                       float alpha, int mode);
