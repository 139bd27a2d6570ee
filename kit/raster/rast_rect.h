// Operations on the pixels of one bitmap in place: clears, fills, per-channel scaling, callbacks,
// single pixels, colour keys and a seed fill. A null bitmap, null pixels or a non-positive width,
// height or row span make every one of them do nothing.
#pragma once

#include "kit/raster/rast_bitmap.h"

void RAST_Clear(RAST_IBitmap* dest, unsigned int color);
void RAST_FillRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int color, float alpha, int mode);
// Every pixel p of the rectangle becomes (p & mask) | orbits.
void RAST_ClearRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int mask, unsigned int orbits);
// Per channel c := clamp((c * trunc(sc * 256) + trunc(add * 256)) >> 8).
void RAST_MultiplyAddRect(RAST_IBitmap* dest, int x, int y, int w, int h, float rsc, float gsc, float bsc,
                          float asc, float radd, float gadd, float badd, float aadd);
typedef void (*RAST_ProcessRectFunc)(unsigned int* pixel, void* parm);
void RAST_ProcessRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_ProcessRectFunc callback, void* parm);
// 0 outside the bitmap.
unsigned int RAST_GetPixel(RAST_IBitmap* bm, int x, int y);
void RAST_PutPixel(RAST_IBitmap* bm, int x, int y, unsigned int color, float alpha, int mode);
// Pixels equal to color apart from their alpha byte get alpha 0, all others alpha 255.
void RAST_SetAlphaFromColorMask(RAST_IBitmap* dest, unsigned int color);
// Fills the pixels joined to (x, y) through column x, one horizontal run per row.
void RAST_SimpleFill(RAST_IBitmap* dest, int x, int y, unsigned int newcolor, unsigned int comparemask,
                     unsigned int keepmask);
