// Outlines of rectangles with rounded corners.
#pragma once

#include "kit/raster/rast_bitmap.h"

// The outline runs along columns x and x + w and rows y and y + h. The corner radius is limited
// to half the smaller side and floored; below 2 the corners are square. Non-finite arguments
// draw nothing.
void RAST_RoundRect(RAST_IBitmap* dest, float x, float y, float w, float h, int cornerRadius, RAST_PixelValue colour,
                    float alpha, int mode, bool antialias);
