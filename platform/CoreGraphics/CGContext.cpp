#include <CoreGraphics/CoreGraphics.h>
#include <CoreGraphics/CGContextMask.h>
#include <CoreGraphics/CGContextInternal.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

const CGAffineTransform CGAffineTransformIdentity = {1, 0, 0, 1, 0, 0};

CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t) {
  return CGPoint{t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2) {
  return CGAffineTransform{t1.a * t2.a + t1.b * t2.c,   t1.a * t2.b + t1.b * t2.d,
                           t1.c * t2.a + t1.d * t2.c,   t1.c * t2.b + t1.d * t2.d,
                           t1.tx * t2.a + t1.ty * t2.c + t2.tx,
                           t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

struct CGColorSpace {
  std::atomic<int> refs{1};
};

using qorcg::blendPixel;
using qorcg::DevRect;
using qorcg::overlap;

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void) { return new CGColorSpace; }

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef s) {
  if (s) s->refs.fetch_add(1);
  return s;
}

void CGColorSpaceRelease(CGColorSpaceRef s) {
  if (s && s->refs.fetch_sub(1) == 1) delete s;
}

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* c) {
  if (!space || !c) return nullptr;
  CGColor* col = new CGColor;
  for (int i = 0; i < 4; ++i) col->comps[i] = std::clamp<CGFloat>(c[i], 0.0, 1.0);
  return col;
}

CGColorRef CGColorRetain(CGColorRef c) {
  if (c) c->refs.fetch_add(1);
  return c;
}

void CGColorRelease(CGColorRef c) {
  if (c && c->refs.fetch_sub(1) == 1) delete c;
}

const CGFloat* CGColorGetComponents(CGColorRef c) { return c ? c->comps : nullptr; }
CGFloat CGColorGetAlpha(CGColorRef c) { return c ? c->comps[3] : 0; }

bool qorcg::pixelLayout(uint32_t info, PixelLayout* out) {
  uint32_t alpha = info & kCGBitmapAlphaInfoMask;
  uint32_t order = info & kCGBitmapByteOrderMask;
  if (alpha == kCGImageAlphaNone || alpha > kCGImageAlphaNoneSkipFirst) return false;
  bool alphaFirst = alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaFirst ||
                    alpha == kCGImageAlphaNoneSkipFirst;
  bool hasAlpha = alpha != kCGImageAlphaNoneSkipFirst && alpha != kCGImageAlphaNoneSkipLast;
  // Big-endian component order: A R G B (first) or R G B A (last) as bytes in memory.
  int a = alphaFirst ? 0 : 3, r = alphaFirst ? 1 : 0, g = r + 1, b = r + 2;
  if (order == kCGBitmapByteOrder32Little) {
    a = 3 - a;
    r = 3 - r;
    g = 3 - g;
    b = 3 - b;
  }
  *out = PixelLayout{hasAlpha ? a : -1, r, g, b};
  return true;
}

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height,
                                   size_t bitsPerComponent, size_t bytesPerRow,
                                   CGColorSpaceRef space, uint32_t info) {
  if (!data || !space || bitsPerComponent != 8 || width == 0 || height == 0) return nullptr;
  if (width > SIZE_MAX / 4 || bytesPerRow < width * 4) return nullptr;
  qorcg::PixelLayout layout;
  if (!qorcg::pixelLayout(info, &layout)) return nullptr;
  uint32_t alpha = info & kCGBitmapAlphaInfoMask;
  CGContext* c = new CGContext;
  c->data = static_cast<uint8_t*>(data);
  c->width = width;
  c->height = height;
  c->bytesPerRow = bytesPerRow;
  c->premultiplied =
      alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaPremultipliedLast;
  c->px = layout;
  c->gs.ctm = CGAffineTransformIdentity;
  c->gs.clip = DevRect{0, 0, double(width), double(height)};
  c->gs.fill[0] = c->gs.fill[1] = c->gs.fill[2] = 0;
  c->gs.fill[3] = 1;
  c->gs.stroke[0] = c->gs.stroke[1] = c->gs.stroke[2] = 0;
  c->gs.stroke[3] = 1;
  c->gs.lineWidth = 1;
  c->gs.antialias = true;
  c->gs.textMatrix = CGAffineTransformIdentity;
  return c;
}

void* CGBitmapContextGetData(CGContextRef c) { return c ? c->data : nullptr; }
size_t CGBitmapContextGetWidth(CGContextRef c) { return c ? c->width : 0; }
size_t CGBitmapContextGetHeight(CGContextRef c) { return c ? c->height : 0; }
size_t CGBitmapContextGetBytesPerRow(CGContextRef c) { return c ? c->bytesPerRow : 0; }

CGContextRef CGContextRetain(CGContextRef c) {
  if (c) c->refs.fetch_add(1);
  return c;
}

void CGContextRelease(CGContextRef c) {
  if (c && c->refs.fetch_sub(1) == 1) delete c;
}

void CGContextSaveGState(CGContextRef c) {
  if (c) c->stack.push_back(c->gs);
}

void CGContextRestoreGState(CGContextRef c) {
  // An unbalanced restore leaves the state alone instead of reading past the stack.
  if (!c || c->stack.empty()) return;
  c->gs = c->stack.back();
  c->stack.pop_back();
}

void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty) {
  if (c) c->gs.ctm = CGAffineTransformConcat(CGAffineTransform{1, 0, 0, 1, tx, ty}, c->gs.ctm);
}

void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy) {
  if (c) c->gs.ctm = CGAffineTransformConcat(CGAffineTransform{sx, 0, 0, sy, 0, 0}, c->gs.ctm);
}

int32_t CGWindowLevelForKey(int32_t key) {
  switch (key) {
    case 5: return 3;
    case 8: return 8;
    case 11: return 101;
    case 19: return 1000;
    default: return 0;
  }
}

void CGContextConcatCTM(CGContextRef c, CGAffineTransform t) {
  if (c) c->gs.ctm = CGAffineTransformConcat(t, c->gs.ctm);
}

CGAffineTransform CGAffineTransformInvert(CGAffineTransform t) {
  const CGFloat det = t.a * t.d - t.b * t.c;
  if (det == 0) return t;
  const CGFloat a = t.d / det, b = -t.b / det, c = -t.c / det, d = t.a / det;
  return CGAffineTransform{a, b, c, d, -(t.tx * a + t.ty * c), -(t.tx * b + t.ty * d)};
}

CGAffineTransform CGContextGetCTM(CGContextRef c) {
  return c ? c->gs.ctm : CGAffineTransformIdentity;
}

static DevRect toDevice(CGContextRef c, CGRect r) {
  // Bounding box of the transformed corners; exact for translate and scale.
  CGPoint p[4] = {{r.origin.x, r.origin.y},
                  {r.origin.x + r.size.width, r.origin.y},
                  {r.origin.x, r.origin.y + r.size.height},
                  {r.origin.x + r.size.width, r.origin.y + r.size.height}};
  DevRect d{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (CGPoint q : p) {
    q = CGPointApplyAffineTransform(q, c->gs.ctm);
    d.x0 = std::min(d.x0, q.x);
    d.y0 = std::min(d.y0, q.y);
    d.x1 = std::max(d.x1, q.x);
    d.y1 = std::max(d.y1, q.y);
  }
  return d;
}

static DevRect intersect(DevRect a, DevRect b) {
  DevRect r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1),
            std::min(a.y1, b.y1)};
  if (r.x1 < r.x0) r.x1 = r.x0;
  if (r.y1 < r.y0) r.y1 = r.y0;
  return r;
}

void CGContextClipToRect(CGContextRef c, CGRect rect) {
  if (c) c->gs.clip = intersect(c->gs.clip, toDevice(c, rect));
}

CGRect CGContextGetClipBoundingBox(CGContextRef c) {
  if (!c) return CGRectMake(0, 0, 0, 0);
  // Back to user space through the inverse of an axis-aligned CTM.
  const CGAffineTransform& m = c->gs.ctm;
  if (m.a == 0 || m.d == 0) return CGRectMake(0, 0, 0, 0);
  double x0 = (c->gs.clip.x0 - m.tx) / m.a, x1 = (c->gs.clip.x1 - m.tx) / m.a;
  double y0 = (c->gs.clip.y0 - m.ty) / m.d, y1 = (c->gs.clip.y1 - m.ty) / m.d;
  return CGRectMake(std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0));
}

void CGContextSetShouldAntialias(CGContextRef c, bool aa) {
  if (c) c->gs.antialias = aa;
}

bool QORCGContextGetShouldAntialias(CGContextRef c) { return c && c->gs.antialias; }

void CGContextSetRGBFillColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
  if (!c) return;
  c->gs.fill[0] = std::clamp<CGFloat>(r, 0, 1);
  c->gs.fill[1] = std::clamp<CGFloat>(g, 0, 1);
  c->gs.fill[2] = std::clamp<CGFloat>(b, 0, 1);
  c->gs.fill[3] = std::clamp<CGFloat>(a, 0, 1);
}

void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef col) {
  if (c && col) CGContextSetRGBFillColor(c, col->comps[0], col->comps[1], col->comps[2], col->comps[3]);
}

void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef col) {
  if (!c || !col) return;
  for (int k = 0; k < 4; ++k) c->gs.stroke[k] = col->comps[k];
}

void CGContextSetLineWidth(CGContextRef c, CGFloat width) {
  // A negative or non-finite width would make outlines without area or without end.
  if (c && std::isfinite(width) && width >= 0) c->gs.lineWidth = width;
}

void qorcg::blendPixel(CGContextRef c, uint8_t* px, const CGFloat* rgba, double coverage) {
  double a = rgba[3] * coverage;
  if (a <= 0) return;
  const int offs[3] = {c->px.r, c->px.g, c->px.b};
  for (int k = 0; k < 3; ++k) {
    double s = rgba[k] * 255.0;
    double d = px[offs[k]];
    px[offs[k]] = uint8_t(std::lround(s * a + d * (1.0 - a)));
  }
  if (c->px.a >= 0) {
    double d = px[c->px.a];
    px[c->px.a] = uint8_t(std::lround(255.0 * a + d * (1.0 - a)));
  }
}

double qorcg::overlap(double a0, double a1, double b0, double b1) {
  return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

void CGContextFillRect(CGContextRef c, CGRect rect) {
  if (!c) return;
  DevRect d = intersect(toDevice(c, rect), c->gs.clip);
  if (d.x1 <= d.x0 || d.y1 <= d.y0) return;
  long ix0 = std::max(0L, long(std::floor(d.x0))), iy0 = std::max(0L, long(std::floor(d.y0)));
  long ix1 = std::min(long(c->width), long(std::ceil(d.x1)));
  long iy1 = std::min(long(c->height), long(std::ceil(d.y1)));
  for (long y = iy0; y < iy1; ++y) {
    double cy = c->gs.antialias ? overlap(y, y + 1, d.y0, d.y1)
                                : (y + 0.5 >= d.y0 && y + 0.5 < d.y1 ? 1.0 : 0.0);
    if (cy <= 0) continue;
    uint8_t* row = c->data + (c->height - 1 - size_t(y)) * c->bytesPerRow;
    for (long x = ix0; x < ix1; ++x) {
      double cx = c->gs.antialias ? overlap(x, x + 1, d.x0, d.x1)
                                  : (x + 0.5 >= d.x0 && x + 0.5 < d.x1 ? 1.0 : 0.0);
      if (cx > 0) blendPixel(c, row + size_t(x) * 4, c->gs.fill, cx * cy);
    }
  }
}

namespace {

using qorcg::MaskBlend;

const int kFracBits = 31;
const double kFracScale = 2147483648.0;
const uint64_t kOne = uint64_t(1) << kFracBits;
const uint32_t kFracMask = uint32_t(kOne - 1);
const uint32_t kHalf = uint32_t(1) << (kFracBits - 1);
// The fixed-point sum lies within 2^-24 of blendPixel's double sum (two terms rounded to
// 2^-32, the second times at most 255), so it rounds the same way unless it is this near a
// midpoint; such a pixel is left to blendPixel, and the pixels stay identical.
const uint32_t kDoubt = uint32_t(1) << 12;

// The context's blend terms for the colour, emptied when the colour changes; nullptr for a
// colour outside 0..1, which takes the general rule.
MaskBlend* maskBlendFor(CGContextRef c, const CGFloat* rgba) {
  for (int k = 0; k < 4; ++k)
    if (!(rgba[k] >= 0 && rgba[k] <= 1)) return nullptr;
  if (!c->maskBlend) c->maskBlend.reset(new MaskBlend());
  MaskBlend& mb = *c->maskBlend;
  if (std::equal(rgba, rgba + 4, mb.rgba)) return &mb;
  std::copy(rgba, rgba + 4, mb.rgba);
  std::fill(std::begin(mb.filled), std::end(mb.filled), 0);
  return &mb;
}

// Terms at coverage v, from the same doubles that blendPixel forms.
inline const MaskBlend::Terms& termsAt(CGContextRef c, MaskBlend& mb, unsigned v) {
  MaskBlend::Terms& t = mb.terms[v];
  const uint64_t bit = uint64_t(1) << (v & 63);
  if (mb.filled[v >> 6] & bit) return t;
  mb.filled[v >> 6] |= bit;
  std::fill(std::begin(t.src), std::end(t.src), 0);
  std::fill(std::begin(t.keep), std::end(t.keep), kOne);
  const double a = mb.rgba[3] * (v / 255.0);
  if (!(a > 0)) return t;  // leaves the pixel as it is, as blendPixel does
  const int offs[4] = {c->px.r, c->px.g, c->px.b, c->px.a};
  for (int k = 0; k < 4; ++k) {
    if (offs[k] < 0) continue;
    const double s = k < 3 ? mb.rgba[k] * 255.0 : 255.0;
    t.src[offs[k]] = uint64_t(std::llround(s * a * kFracScale));
    t.keep[offs[k]] = uint64_t(std::llround((1.0 - a) * kFracScale));
  }
  return t;
}

// Blends one pixel by its terms; false, leaving it alone, when a sum is too near a midpoint.
inline bool blendTerms(const MaskBlend::Terms& t, uint8_t* p) {
#if defined(__SSE2__)
  uint32_t word;
  std::memcpy(&word, p, 4);
  const __m128i zero = _mm_setzero_si128();
  const __m128i d = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(word)), zero), zero);
  const __m128i* src = reinterpret_cast<const __m128i*>(t.src);
  const __m128i* keep = reinterpret_cast<const __m128i*>(t.keep);
  __m128i lo = _mm_add_epi64(_mm_mul_epu32(_mm_unpacklo_epi32(d, zero), keep[0]), src[0]);
  __m128i hi = _mm_add_epi64(_mm_mul_epu32(_mm_unpackhi_epi32(d, zero), keep[1]), src[1]);
  // Fractions sit in the low half of each 64-bit sum; unsigned range test by the sign flip.
  const __m128i mask = _mm_set1_epi32(int(kFracMask)), from = _mm_set1_epi32(int(kHalf - kDoubt));
  const __m128i flip = _mm_set1_epi32(INT32_MIN), limit = _mm_set1_epi32(int((2 * kDoubt + 1) ^ 0x80000000u));
  auto near = [&](__m128i x) {
    return _mm_cmplt_epi32(_mm_xor_si128(_mm_sub_epi32(_mm_and_si128(x, mask), from), flip), limit);
  };
  if (_mm_movemask_epi8(_mm_or_si128(near(lo), near(hi))) & 0x0F0F) return false;
  const __m128i half = _mm_set1_epi64x(kHalf);
  lo = _mm_shuffle_epi32(_mm_srli_epi64(_mm_add_epi64(lo, half), kFracBits), _MM_SHUFFLE(3, 1, 2, 0));
  hi = _mm_shuffle_epi32(_mm_srli_epi64(_mm_add_epi64(hi, half), kFracBits), _MM_SHUFFLE(3, 1, 2, 0));
  __m128i r = _mm_packs_epi32(_mm_unpacklo_epi64(lo, hi), zero);
  word = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(r, zero)));
  std::memcpy(p, &word, 4);
#else
  uint64_t sum[4];
  bool doubt = false;
  for (int k = 0; k < 4; ++k) {
    sum[k] = t.src[k] + p[k] * t.keep[k];
    doubt |= uint32_t((sum[k] & kFracMask) - (kHalf - kDoubt)) <= 2 * kDoubt;
  }
  if (doubt) return false;
  for (int k = 0; k < 4; ++k) p[k] = uint8_t((sum[k] + kHalf) >> kFracBits);
#endif
  return true;
}

// Mask pixels wholly inside the clip: coverage alone sets the blend.
void blendRow(CGContextRef c, MaskBlend& mb, uint8_t* dst, const uint8_t* cov, long n) {
  // Text mostly lands on a plain background, so the pixel a coverage last met usually comes
  // again: its blend is taken from the memo, which the colour's terms being filled makes valid.
  auto blend = [&](long i) {
    uint8_t* p = dst + size_t(i) * 4;
    const unsigned v = cov[i];
    uint32_t before;
    std::memcpy(&before, p, 4);
    if ((mb.filled[v >> 6] >> (v & 63) & 1) && mb.memoDst[v] == before) {
      std::memcpy(p, &mb.memoOut[v], 4);
      return;
    }
    if (!blendTerms(termsAt(c, mb, v), p)) blendPixel(c, p, mb.rgba, v / 255.0);
    mb.memoDst[v] = before;
    std::memcpy(&mb.memoOut[v], p, 4);
  };
  long i = 0;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Eight coverages at a time, visiting only those that are not zero.
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, cov + i, 8);
    while (w) {
      const int j = __builtin_ctzll(w) >> 3;
      blend(i + j);
      w &= ~(uint64_t(0xFF) << (j * 8));
    }
  }
#endif
  for (; i < n; ++i)
    if (cov[i]) blend(i);
}

// Mask pixels on the clip's edge, with the share of each that the clip keeps.
void blendEdge(CGContextRef c, const CGFloat* rgba, uint8_t* dst, const uint8_t* cov, long left,
               long k0, long k1, double cy) {
  const DevRect& clip = c->gs.clip;
  for (long k = k0; k < k1; ++k) {
    if (!cov[k]) continue;
    const long x = left + k;
    const double cx = overlap(x, x + 1, clip.x0, clip.x1);
    if (cx > 0) blendPixel(c, dst + size_t(x) * 4, rgba, (cov[k] / 255.0) * cx * cy);
  }
}

}  // namespace

namespace {

// The clip in whole device pixels, worked out once for every mask of a paint.
struct MaskClip {
  long width, height;
  long inX0, inX1;      // device columns wholly inside the clip
  long inTop, inEnd;    // on-screen rows wholly inside the clip
  MaskBlend* mb;        // the colour's blend terms; nullptr for the general rule
};

MaskClip maskClipFor(CGContextRef c, const CGFloat* rgba) {
  const DevRect& clip = c->gs.clip;
  const long H = long(c->height);
  return MaskClip{long(c->width),
                  H,
                  long(std::ceil(clip.x0)),
                  long(std::floor(clip.x1)),
                  H - long(std::floor(clip.y1)),
                  H - long(std::ceil(clip.y0)),
                  maskBlendFor(c, rgba)};
}

void paintOneMask(CGContextRef c, const CGFloat* rgba, const MaskClip& mc, long left, long top,
                  const uint8_t* cov, int width, int height, int pitch) {
  if (!cov || width <= 0 || height <= 0) return;
  const DevRect& clip = c->gs.clip;
  const long H = mc.height;
  // Mask columns and rows on the bitmap, and the part of them wholly inside the clip (device
  // row y = H - 1 - screen row).
  const long k0 = std::max(0L, -left), k1 = std::min(long(width), mc.width - left);
  const long r0 = std::max(0L, -top), r1 = std::min(long(height), H - top);
  if (k0 >= k1 || r0 >= r1) return;
  const long in0 = std::max(k0, mc.inX0 - left);
  const long in1 = std::min(k1, mc.inX1 - left);
  const long inTop = std::max(r0, mc.inTop - top);
  const long inEnd = std::min(r1, mc.inEnd - top);
  MaskBlend* mb = in0 < in1 && inTop < inEnd ? mc.mb : nullptr;
  for (long r = r0; r < r1; ++r) {
    const long row = top + r;  // on-screen row, 0 at the top
    uint8_t* dst = c->data + size_t(row) * c->bytesPerRow;
    const uint8_t* m = cov + size_t(r) * size_t(pitch);
    if (mb && r >= inTop && r < inEnd) {
      if (k0 < in0) blendEdge(c, rgba, dst, m, left, k0, in0, 1.0);
      blendRow(c, *mb, dst + size_t(left + in0) * 4, m + in0, in1 - in0);
      if (in1 < k1) blendEdge(c, rgba, dst, m, left, in1, k1, 1.0);
    } else {
      const long y = H - 1 - row;
      const double cy = overlap(y, y + 1, clip.y0, clip.y1);
      if (cy > 0) blendEdge(c, rgba, dst, m, left, k0, k1, cy);
    }
  }
}

}  // namespace

void qorcg::paintMask(CGContextRef c, const CGFloat* rgba, long left, long top,
                      const uint8_t* cov, int width, int height, int pitch) {
  if (c) paintOneMask(c, rgba, maskClipFor(c, rgba), left, top, cov, width, height, pitch);
}

void QORCGContextPaintMasks(CGContextRef c, const QORCGMask* masks, size_t count) {
  if (!c || !masks || count == 0) return;
  const MaskClip mc = maskClipFor(c, c->gs.fill);
  for (size_t i = 0; i < count; ++i) {
    const QORCGMask& m = masks[i];
    paintOneMask(c, c->gs.fill, mc, m.left, m.top, m.coverage, m.width, m.height, m.pitch);
  }
}

void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t) {
  if (c) c->gs.textMatrix = t;
}

CGAffineTransform CGContextGetTextMatrix(CGContextRef c) {
  return c ? c->gs.textMatrix : CGAffineTransformIdentity;
}

void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y) {
  if (c) c->textPos = CGPoint{x, y};
}

CGPoint CGContextGetTextPosition(CGContextRef c) { return c ? c->textPos : CGPoint{0, 0}; }
