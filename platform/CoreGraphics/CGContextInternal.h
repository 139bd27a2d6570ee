// Private to the CoreGraphics stand-in: the records behind its references and the pixel
// painting that the context, path and image files share.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct CGColor {
  std::atomic<int> refs{1};
  CGFloat comps[4];
};

namespace qorcg {

// Device rectangle in pixels, y upward from the bottom edge of the bitmap.
struct DevRect {
  double x0, y0, x1, y1;
};

struct GState {
  CGAffineTransform ctm;
  DevRect clip;
  CGFloat fill[4];
  CGFloat stroke[4];
  CGFloat lineWidth;
  bool antialias;
  CGAffineTransform textMatrix;
};

// One figure of the current path, in device space: points go through the CTM as they are added.
struct Subpath {
  std::vector<CGPoint> pts;
  bool closed = false;
};

// Byte offsets of the channels inside a 4-byte pixel; a < 0 when the pixel has no alpha.
struct PixelLayout {
  int a, r, g, b;
};
// Layout for 8-bit channels under the given bitmap info; false for alpha kinds without a
// 4-byte layout (kCGImageAlphaNone and unknown values).
bool pixelLayout(uint32_t bitmapInfo, PixelLayout* out);

// Length of the overlap of [a0, a1) and [b0, b1), 0 when apart.
double overlap(double a0, double a1, double b0, double b1);

// Blend terms of one colour at each mask coverage, in 33.31 fixed point and in the pixel's
// byte order, filled as coverages turn up, for mask pixels wholly inside the clip.
struct MaskBlend {
  struct alignas(16) Terms {
    uint64_t src[4];   // colour x alpha per byte; 0 for a byte without a channel
    uint64_t keep[4];  // the destination's share, 1 - alpha; 1 for a byte without a channel
  };
  CGFloat rgba[4];
  uint64_t filled[4];  // bit v: terms[v] holds this colour's terms, memoDst[v] and memoOut[v] a pixel
  Terms terms[256];
  uint32_t memoDst[256];  // the last pixel blended at coverage v, as it was before
  uint32_t memoOut[256];  // and as it was after
};

}  // namespace qorcg

struct CGContext {
  std::atomic<int> refs{1};
  uint8_t* data = nullptr;
  size_t width = 0, height = 0, bytesPerRow = 0;
  qorcg::PixelLayout px{-1, 1, 2, 3};
  bool premultiplied = false;
  qorcg::GState gs;
  std::vector<qorcg::GState> stack;
  std::vector<qorcg::Subpath> path;  // not part of the saved state, as on the Mac
  CGPoint textPos{0, 0};
  std::unique_ptr<qorcg::MaskBlend> maskBlend;  // made by the first mask painted
};

namespace qorcg {

// Source over of the colour (0..1 per channel) at the given coverage (0..1) into one pixel.
void blendPixel(CGContextRef c, uint8_t* px, const CGFloat* rgba, double coverage);

// Paints a coverage mask (width x height bytes, rows `pitch` apart, row 0 the topmost on screen)
// in the colour (red, green, blue, alpha; 0..1) with its top-left pixel on device column `left`
// and on-screen row `top`, source over, honouring the clip.
void paintMask(CGContextRef c, const CGFloat* rgba, long left, long top, const uint8_t* coverage,
               int width, int height, int pitch);

}  // namespace qorcg
