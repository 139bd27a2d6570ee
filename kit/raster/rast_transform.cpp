#include "kit/raster/rast_transform.h"

#include <cstddef>

#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_rotate.h"

template <class T>
void RAST_TransformBlit_class<T>::blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw,
                                       int dsth, const T* pts, int div_w, int div_h, float alpha, int mode) {
  if (!dest || !src || !pts || dstw < 1 || dsth < 1 || div_w < 2 || div_h < 2) return;
  const float xadv = (float)dstw / (float)(div_w - 1);
  const float yadv = (float)dsth / (float)(div_h - 1);
  auto u = [&](int i, int j) { return (double)pts[((size_t)j * div_w + i) * 2]; };
  auto v = [&](int i, int j) { return (double)pts[((size_t)j * div_w + i) * 2 + 1]; };

  // Cell edges are running sums truncated, so neighbouring cells share their edges exactly.
  double ysum = dsty;
  int y0 = dsty;
  for (int j = 0; j < div_h - 1; j++) {
    ysum += yadv;
    const int y1 = RAST_TruncSat(ysum);
    const int h = y1 - y0;
    if (h > 0) {
      double xsum = dstx;
      int x0 = dstx;
      for (int i = 1; i < div_w; i++) {
        xsum += xadv;
        const int x1 = RAST_TruncSat(xsum);
        const int w = x1 - x0;
        if (w > 0) {
          const double du = (u(i, j) - u(i - 1, j)) / w, dv = (v(i, j) - v(i - 1, j)) / w;
          const double du1 = (u(i, j + 1) - u(i - 1, j + 1)) / w, dv1 = (v(i, j + 1) - v(i - 1, j + 1)) / w;
          RAST_DeltaBlit(dest, src, x0, y0, w, h, (float)u(i - 1, j), (float)v(i - 1, j),
                         (float)(u(i, j) - u(i - 1, j)), (float)(v(i, j) - v(i - 1, j)), du, dv,
                         (u(i - 1, j + 1) - u(i - 1, j)) / h, (v(i - 1, j + 1) - v(i - 1, j)) / h, (du1 - du) / h,
                         (dv1 - dv) / h, false, alpha, mode);
        }
        x0 = x1;
      }
    }
    y0 = y1;
  }
}

template class RAST_TransformBlit_class<float>;
template class RAST_TransformBlit_class<double>;

void RAST_TransformBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        float* srcpoints, int div_w, int div_h, float alpha, int mode) {
  RAST_TransformBlit_class<float>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode);
}

void RAST_TransformBlit2(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         double* srcpoints, int div_w, int div_h, float alpha, int mode) {
  RAST_TransformBlit_class<double>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, div_w, div_h, alpha, mode);
}
