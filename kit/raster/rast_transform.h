// Mesh-warped blit: a grid of div_w x div_h source points (u, v pairs, row by row) mapped onto
// the destination rectangle, each cell drawn as a bilinear patch through the delta blit.
#pragma once

#include "kit/raster/rast_bitmap.h"

void RAST_TransformBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        float* srcpoints, int div_w, int div_h, float alpha, int mode);
void RAST_TransformBlit2(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         double* srcpoints, int div_w, int div_h, float alpha, int mode);

template <class T>
class RAST_TransformBlit_class {
 public:
  static void blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, const T* srcpoints,
                   int div_w, int div_h, float alpha, int mode);
};
