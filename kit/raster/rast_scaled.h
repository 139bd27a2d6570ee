// Scaled blit: a rectangle of the source, given in floating point, stretched or shrunk into a
// rectangle of the destination through the blend mode; nearest neighbour, bilinear
// ((mode & 0xFF00) == 0x100) or, for shrinks of 1.7:1 and more with bilinear asked, a box
// average. Negative extents mirror.
#pragma once

#include "kit/raster/rast_bitmap.h"

void RAST_ScaledBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode);
