// Affine blits: a destination rectangle whose pixels are fetched from the source along a walk
// in source space, nearest neighbour or bilinear ((mode & 0xFF00) == 0x100).
#pragma once

#include "kit/raster/rast_bitmap.h"

// Turns the source rectangle by angle (radians) about the destination rectangle's centre,
// scaling it to the destination size; ox and oy shift the sampled centre in source pixels.
// With clipToSource only the source rectangle is read, else the whole source bitmap.
void RAST_RotatedBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool clipToSource, float alpha, int mode,
                      float ox, float oy);

// The walk given directly: start (srcx, srcy); per destination column (dsdx, dtdx); per row
// (dsdy, dtdy); and the change of the per-column steps per row (ddsdxdy, ddtdxdy).
void RAST_DeltaBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy,
                    double ddsdxdy, double ddtdxdy, bool clipToSource, float alpha, int mode);

typedef void (*RAST_DoPixFunc)(unsigned char* dest, int r, int g, int b, int a, int alpha);

// The one pixel loop of both; positions and steps 16.16, clip bounds exclusive on the right and
// bottom, spans in bytes. No source pixel outside the clip rectangle is read.
class _RAST_Template_Blit3 {
 public:
  static void deltaBlit(unsigned char* dest, const unsigned char* src, int w, int h, int sx, int sy, int dsdx,
                        int dtdx, int dsdy, int dtdy, int ddsdxdy, int ddtdxdy, int left, int top, int right,
                        int bottom, int src_span, int dest_span, int alpha, int filter, RAST_DoPixFunc doPix);
};
