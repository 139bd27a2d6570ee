// Arcs of circle outlines. Angles are radians, 0 at twelve o'clock, growing clockwise on screen.
#pragma once

#include "kit/raster/rast_bitmap.h"

// Draws the outline between the two angles (in either order); a span of 2 pi or more draws the
// whole circle. Non-finite arguments draw nothing.
void RAST_Arc(RAST_IBitmap* dest, float cx, float cy, float r, float angle1, float angle2, RAST_PixelValue colour,
              float alpha, int mode, bool antialias);
