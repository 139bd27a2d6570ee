// Images over caller memory and their drawing into a bitmap context.
#include <CoreGraphics/CoreGraphics.h>
#include <CoreGraphics/CGContextInternal.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

struct CGDataProvider {
  std::atomic<int> refs{1};
  void* info;
  const uint8_t* data;
  size_t size;
  CGDataProviderReleaseDataCallback release;
};

struct CGImage {
  std::atomic<int> refs{1};
  size_t width, height, bytesPerRow;
  qorcg::PixelLayout px;
  CGDataProviderRef provider;  // retained
};

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback release) {
  if (!data) return nullptr;
  return new CGDataProvider{{1}, info, static_cast<const uint8_t*>(data), size, release};
}

void CGDataProviderRelease(CGDataProviderRef p) {
  if (!p || p->refs.fetch_sub(1) != 1) return;
  if (p->release) p->release(p->info, p->data, p->size);
  delete p;
}

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent,
                         size_t bitsPerPixel, size_t bytesPerRow, CGColorSpaceRef space,
                         CGBitmapInfo info, CGDataProviderRef provider, const CGFloat*, bool,
                         CGColorRenderingIntent) {
  if (!provider || !space || bitsPerComponent != 8 || bitsPerPixel != 32) return nullptr;
  if (width == 0 || height == 0 || width > SIZE_MAX / 4 || bytesPerRow < width * 4) return nullptr;
  // The rows must lie inside the provider's bytes: the last row needs only its own pixels.
  if (height - 1 > (SIZE_MAX - width * 4) / bytesPerRow) return nullptr;
  if ((height - 1) * bytesPerRow + width * 4 > provider->size) return nullptr;
  const uint32_t alpha = info & kCGBitmapAlphaInfoMask;
  if (alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaPremultipliedLast) return nullptr;
  qorcg::PixelLayout layout;
  if (!qorcg::pixelLayout(info, &layout)) return nullptr;
  provider->refs.fetch_add(1);
  return new CGImage{{1}, width, height, bytesPerRow, layout, provider};
}

void CGImageRelease(CGImageRef image) {
  if (!image || image->refs.fetch_sub(1) != 1) return;
  CGDataProviderRelease(image->provider);
  delete image;
}

CGImageRef CGBitmapContextCreateImage(CGContextRef c) {
  if (!c || !c->data) return nullptr;
  // The image shares the context's bytes and keeps the context alive: drawn at once and
  // released, as every caller here does, it needs no copy.
  CGContextRetain(c);
  CGDataProviderRef provider = CGDataProviderCreateWithData(
      c, c->data, c->bytesPerRow * (c->height - 1) + c->width * 4,
      [](void* info, const void*, size_t) { CGContextRelease(static_cast<CGContextRef>(info)); });
  return new CGImage{{1}, c->width, c->height, c->bytesPerRow, c->px, provider};
}

namespace {

// Pixels [*lo, *hi) whose centres lie in [a, b).
void centresIn(double a, double b, long limit, long* lo, long* hi) {
  *lo = std::max(0L, (long)std::ceil(std::max(a, -1.0) - 0.5));
  *hi = std::min(limit, (long)std::ceil(std::min(b, (double)limit + 1) - 0.5));
}

// The image lands pixel for pixel: copy the clip box's rows, converting the channel order
// when the layouts differ. Only for images without alpha, which cover what they land on.
void copyRows(CGContextRef c, CGImageRef image, long ax, long ay, long i0, long i1, long j0, long j1) {
  const qorcg::PixelLayout& s = image->px;
  const qorcg::PixelLayout& d = c->px;
  const bool same = s.r == d.r && s.g == d.g && s.b == d.b && d.a < 0;
  const size_t n = (size_t)(i1 - i0);
  for (long j = j0; j < j1; j++) {
    const uint8_t* src = image->provider->data + (size_t)(j - ay) * image->bytesPerRow + (size_t)(i0 - ax) * 4;
    uint8_t* dst = c->data + (size_t)j * c->bytesPerRow + (size_t)i0 * 4;
    if (same) {
      std::memmove(dst, src, n * 4);
      continue;
    }
    for (size_t k = 0; k < n; k++, src += 4, dst += 4) {
      dst[d.r] = src[s.r];
      dst[d.g] = src[s.g];
      dst[d.b] = src[s.b];
      if (d.a >= 0) dst[d.a] = 255;
    }
  }
}

}  // namespace

void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image) {
  if (!c || !image || !(rect.size.width > 0) || !(rect.size.height > 0)) return;
  const CGAffineTransform& m = c->gs.ctm;
  if (m.b != 0 || m.c != 0 || m.a == 0 || m.d == 0) return;  // only axis-aligned contexts exist here
  const double H = (double)c->height;
  // Screen corners (y down from the top row) of the image's first pixel and of its last one.
  const CGPoint first = CGPointApplyAffineTransform(
      CGPointMake(rect.origin.x, rect.origin.y + rect.size.height), m);
  const CGPoint last = CGPointApplyAffineTransform(
      CGPointMake(rect.origin.x + rect.size.width, rect.origin.y), m);
  const double ax = first.x, ay = H - first.y, bx = last.x, by = H - last.y;
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) return;
  // Only the pixels in both the image's rectangle and the clip box are visited.
  const qorcg::DevRect& clip = c->gs.clip;
  const double cx0 = std::max(std::min(ax, bx), clip.x0), cx1 = std::min(std::max(ax, bx), clip.x1);
  const double cy0 = std::max(std::min(ay, by), H - clip.y1), cy1 = std::min(std::max(ay, by), H - clip.y0);
  if (!(cx1 > cx0) || !(cy1 > cy0)) return;
  long i0, i1, j0, j1;
  centresIn(cx0, cx1, (long)c->width, &i0, &i1);
  centresIn(cy0, cy1, (long)c->height, &j0, &j1);
  if (i1 <= i0 || j1 <= j0) return;
  const int w = (int)std::min<size_t>(image->width, INT32_MAX);
  const int h = (int)std::min<size_t>(image->height, INT32_MAX);
  const qorcg::PixelLayout& px = image->px;
  if (px.a < 0 && !c->premultiplied && ax == std::floor(ax) && ay == std::floor(ay) && bx - ax == w &&
      by - ay == h) {
    copyRows(c, image, (long)ax, (long)ay, i0, i1, j0, j1);
    return;
  }
  const uint8_t full = 255;
  for (long j = j0; j < j1; j++)
    for (long i = i0; i < i1; i++) {
      // The pixel's centre back in the image's own fractions.
      const double fu = ((double)i + 0.5 - ax) / (bx - ax), fv = ((double)j + 0.5 - ay) / (by - ay);
      if (fu < 0 || fu >= 1 || fv < 0 || fv >= 1) continue;
      const int u = std::min(w - 1, (int)(fu * w)), v = std::min(h - 1, (int)(fv * h));
      const uint8_t* p = image->provider->data + (size_t)v * image->bytesPerRow + (size_t)u * 4;
      const CGFloat rgba[4] = {p[px.r] / 255.0, p[px.g] / 255.0, p[px.b] / 255.0,
                               px.a < 0 ? 1.0 : p[px.a] / 255.0};
      if (rgba[3] <= 0) continue;
      qorcg::paintMask(c, rgba, i, j, &full, 1, 1, 1);
    }
}
