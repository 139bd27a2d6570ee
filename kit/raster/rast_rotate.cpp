#include "kit/raster/rast_rotate.h"

#include <cmath>
#include <initializer_list>

#include "kit/raster/rast_blitloops.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_surface.h"

void _RAST_Template_Blit3::deltaBlit(unsigned char* dest, const unsigned char* src, int w, int h, int sx, int sy,
                                     int dsdx, int dtdx, int dsdy, int dtdy, int ddsdxdy, int ddtdxdy, int left,
                                     int top, int right, int bottom, int src_span, int dest_span, int alpha,
                                     int filter, RAST_DoPixFunc doPix) {
  const bool bilinear = filter == RAST_BLIT_FILTER_BILINEAR;
  for (int r = 0; r < h; r++, dest += dest_span) {
    int x = sx, y = sy;
    unsigned char* d = dest;
    for (int c = 0; c < w; c++, x += dsdx, y += dtdx, d += 4) {
      const int col = x / 65536, row = y / 65536;
      if (col < left || col >= right || row < top || row >= bottom) continue;
      const unsigned char* p00 = src + (ptrdiff_t)src_span * row + (ptrdiff_t)col * 4;
      if (!bilinear) {
        doPix(d, p00[rast::kR], p00[rast::kG], p00[rast::kB], p00[rast::kA], alpha);
        continue;
      }
      int v[4];
      rast::BilinearSample(p00, src_span, (unsigned int)x & 0xFFFF, (unsigned int)y & 0xFFFF, col == right - 1,
                           row == bottom - 1, v);
      doPix(d, v[rast::kR], v[rast::kG], v[rast::kB], v[rast::kA], alpha);
    }
    sx += dsdy;
    sy += dtdy;
    dsdx += ddsdxdy;
    dtdx += ddtdxdy;
  }
}

namespace {

RAST_DoPixFunc pickDoPix(int mode, int a) {
  const int sel = rast::CombinerSelector(mode);
  if (sel == RAST_BLIT_MODE_COPY && a < 1) return nullptr;
  RAST_DoPixFunc fn = nullptr;
  rast::ForBlendCombiner(sel, a == 256, [&](auto c) { fn = decltype(c)::doPix; });
  return fn;
}

// The walk after clipping: destination rectangle, start and steps in source pixels.
struct Walk {
  long long dx, dy, dw, dh;
  double sx, sy, dsdx, dtdx, dsdy, dtdy, ddsdxdy, ddtdxdy;
  double left, top, right, bottom;  // source clip
};

inline bool fits(long long v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Clips the destination, converts to 16.16 and runs the loop. A walk whose positions or steps
// would leave 16.16 anywhere on the rectangle is refused: the positions are bilinear in the
// row and column, so checking the corners covers every pixel (and the one step past the end).
void run(RAST_IBitmap* dest, RAST_IBitmap* src, Walk k, float alpha, int mode) {
  RAST_Surface ds, ss;
  if (!RAST_GetSurface(dest, ds) || !RAST_GetSurface(src, ss)) return;
  if (k.dx < 0) {
    k.sx -= k.dx * k.dsdx;
    k.sy -= k.dx * k.dtdx;
    k.dw += k.dx;
    k.dx = 0;
  }
  if (k.dy < 0) {
    k.sx -= k.dy * k.dsdy;
    k.sy -= k.dy * k.dtdy;
    k.dh += k.dy;
    k.dy = 0;
  }
  if (k.dw > ds.width - k.dx) k.dw = ds.width - k.dx;
  if (k.dh > ds.height - k.dy) k.dh = ds.height - k.dy;
  if (k.dw < 1 || k.dh < 1) return;

  const int a = RAST_AlphaWeight(alpha);
  if (a == 0) return;
  RAST_DoPixFunc doPix = pickDoPix(mode, a);
  if (!doPix) return;

  auto fx = [](double v) { return (long long)RAST_TruncSat(v * 65536); };
  const long long sx = fx(k.sx), sy = fx(k.sy), dsdx = fx(k.dsdx), dtdx = fx(k.dtdx), dsdy = fx(k.dsdy),
                  dtdy = fx(k.dtdy), dds = fx(k.ddsdxdy), ddt = fx(k.ddtdxdy);
  for (long long r : {0LL, k.dh}) {
    const long long cs = dsdx + r * dds, ct = dtdx + r * ddt;
    if (!fits(cs) || !fits(ct)) return;
    for (long long c : {0LL, k.dw})
      if (!fits(sx + r * dsdy + c * cs) || !fits(sy + r * dtdy + c * ct)) return;
  }

  // Source clip, kept inside the source bitmap.
  int left = RAST_TruncSat(k.left), top = RAST_TruncSat(k.top);
  int right = RAST_TruncSat(k.right), bottom = RAST_TruncSat(k.bottom);
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right > ss.width) right = ss.width;
  if (bottom > ss.height) bottom = ss.height;
  if (left >= right || top >= bottom) return;

  _RAST_Template_Blit3::deltaBlit(ds.row((int)k.dy) + k.dx * 4, ss.row(0), (int)k.dw, (int)k.dh, (int)sx, (int)sy,
                                  (int)dsdx, (int)dtdx, (int)dsdy, (int)dtdy, (int)dds, (int)ddt, left, top, right,
                                  bottom, (int)ss.step, (int)ds.step, a, mode & RAST_BLIT_FILTER_MASK, doPix);
}

// The source clip rectangle and the destination rectangle of a walk.
void startWalk(Walk& k, RAST_IBitmap* src, bool clipToSource, int dstx, int dsty, int dstw, int dsth, float srcx,
               float srcy, float srcw, float srch) {
  k.dx = dstx;
  k.dy = dsty;
  k.dw = dstw;
  k.dh = dsth;
  const double sw = src->getWidth(), sh = src->getHeight();
  if (clipToSource) {
    k.left = srcx > 0 ? srcx : 0.0;
    k.top = srcy > 0 ? srcy : 0.0;
    k.right = (double)srcx + srcw < sw ? (double)srcx + srcw : sw;
    k.bottom = (double)srcy + srch < sh ? (double)srcy + srch : sh;
  } else {
    k.left = 0;
    k.top = 0;
    k.right = sw;
    k.bottom = sh;
  }
}

}  // namespace

void RAST_RotatedBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool clipToSource, float alpha, int mode,
                      float ox, float oy) {
  if (!dest || !src || dstw == 0 || dsth == 0) return;
  Walk k;
  startWalk(k, src, clipToSource, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch);
  if (k.dw < 0) {
    k.dx += k.dw;
    srcx += srcw;
    srcw = -srcw;
    k.dw = -k.dw;
  }
  if (k.dh < 0) {
    k.dy += k.dh;
    srcy += srch;
    srch = -srch;
    k.dh = -k.dh;
  }
  const double c = std::cos((double)angle), s = std::sin((double)angle);
  const double xs = RAST_Single(srcw / (float)k.dw), ys = RAST_Single(srch / (float)k.dh);
  k.dsdx = xs * c;
  k.dtdx = -ys * s;
  k.dsdy = xs * s;
  k.dtdy = ys * c;
  k.ddsdxdy = k.ddtdxdy = 0;
  const double w = (double)k.dw, h = (double)k.dh;
  k.sx = RAST_Single(srcx - ((w * xs * c + h * xs * s - srcw) * 0.5 - ox));
  k.sy = RAST_Single(srcy - ((h * ys * c - w * ys * s - srch) * 0.5 - oy));
  run(dest, src, k, alpha, mode);
}

void RAST_DeltaBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy,
                    double ddsdxdy, double ddtdxdy, bool clipToSource, float alpha, int mode) {
  if (!dest || !src || dstw == 0 || dsth == 0) return;
  Walk k;
  startWalk(k, src, clipToSource, dstx, dsty, dstw, dsth, srcx, srcy, srcw, srch);
  // A negative size moves the rectangle and the start; the steps are left as given.
  if (k.dw < 0) {
    k.dx += k.dw;
    k.dw = -k.dw;
    srcx += srcw;
  }
  if (k.dh < 0) {
    k.dy += k.dh;
    k.dh = -k.dh;
    srcy += srch;
  }
  k.sx = srcx;
  k.sy = srcy;
  k.dsdx = dsdx;
  k.dtdx = dtdx;
  k.dsdy = dsdy;
  k.dtdy = dtdy;
  k.ddsdxdy = ddsdxdy;
  k.ddtdxdy = ddtdxdy;
  run(dest, src, k, alpha, mode);
}
