// Quadratic and cubic Bezier curves: outlines drawn as chains of float line segments, fills
// between a cubic and a row or a column, and lookups of a curve's y at a given x.
#pragma once

#include "kit/raster/rast_bitmap.h"

void RAST_DrawQBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl, float yctl, float xend, float yend,
                      RAST_PixelValue color, float alpha, int mode, bool aa, float tol);
void RAST_DrawCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, RAST_PixelValue color, float alpha, int mode, bool aa,
                      float tol);
// Fills between the curve and row yfill.
void RAST_FillCBezier(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                      float yctl2, float xend, float yend, int yfill, RAST_PixelValue color, float alpha, int mode,
                      float tol);
// Fills between the curve and column xfill.
void RAST_FillCBezierX(RAST_IBitmap* dest, float xstart, float ystart, float xctl1, float yctl1, float xctl2,
                       float yctl2, float xend, float yend, int xfill, RAST_PixelValue color, float alpha, int mode,
                       float tol);

// y of the quadratic (x1, y1), (xc, yc), (x2, y2) at x; t (may be null) receives the parameter.
float RAST_Bezier_GetY(float x1, float xc, float x2, float y1, float yc, float y2, float x, double* t);
// y of the cubic at xi by bisection (at most 8 halvings); every out-pointer may be null.
float RAST_CBezier_GetY(float x1, float x2, float x3, float x4, float y1, float y2, float y3, float y4, float xi,
                        float* pNextX, float* pdYdX, double* ptLo, double* ptHi);

// Upper bound of the segments one curve is flattened into, whatever its size and tolerance.
enum { RAST_BEZIER_MAX_SEGMENTS = 65536 };
