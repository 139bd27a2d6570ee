// Unscaled rectangle operations between bitmaps: whole copy, blit through a blend mode, gradient
// fill and a small blur. All clip silently against both bitmaps and report nothing.
#pragma once

#include "kit/raster/rast_bitmap.h"

// Makes dest the size of src and copies every pixel.
void RAST_Copy(RAST_IBitmap* dest, RAST_IBitmap* src);

// Blits srcrect of src (all of src when null) so that its top-left lands on (dstx, dsty).
// (mode & 0xF0) == 0xF0 copies source byte (mode & 3) into destination byte ((mode >> 2) & 3).
void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, RECT* srcrect, float alpha, int mode);
void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode);

// Fills a rectangle whose pixel (x, y), counted from its top-left, has red ir + x * drdx + y * drdy
// and likewise green, blue and alpha; channels are fractions (1.0 = full). Low byte of mode only.
void RAST_GradRect(RAST_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy,
                   float dady, int mode);

// Writes a blurred copy of the source rectangle at (dstx, dsty); dest and src may be the same.
void RAST_Blur(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch);
