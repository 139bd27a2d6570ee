#include "kit/raster/rast_copymix.h"

#include "kit/raster/rast_blitloops.h"

#include <atomic>
#include <cstring>

// Rows that follow each other in both bitmaps are one block; the library's memcpy already moves
// it with the widest stores the processor has (measured faster than a hand-written SSE2 loop).
// Only up to a size that stays in the cache: beyond it memcpy switches to stores that bypass the
// cache, which is slower for a surface drawn again at once than copying row by row.
void rast::CopyRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                    int) {
  const size_t row = (size_t)w * 4, kOneBlockBytes = 1 << 20;
  if (src_span == dest_span && (size_t)src_span == row && row * (size_t)h <= kOneBlockBytes) {
    memcpy(dest, src, row * (size_t)h);
    return;
  }
  for (int y = 0; y < h; y++, dest += dest_span, src += src_span) memcpy(dest, src, row);
}

#if defined(__SSE2__)
#include <immintrin.h>

namespace {

// s + (d - s) * inv / 256 on 16 bytes, truncating toward zero; inv16lo and inv16hi hold the
// step of each byte of pixels 0-1 and 2-3 in 16-bit lanes, each 0..256.
inline __m128i copyStep(__m128i d, __m128i s, __m128i inv16lo, __m128i inv16hi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i sOver = _mm_subs_epu8(s, d);  // s - d where s > d, else 0
  const __m128i dOver = _mm_subs_epu8(d, s);
  const __m128i mag = _mm_or_si128(sOver, dOver);
  // mag * 256 in each 16-bit lane; the high half of its product with inv is (mag * inv) >> 8.
  const __m128i qlo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, mag), inv16lo);
  const __m128i qhi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, mag), inv16hi);
  const __m128i q = _mm_packus_epi16(qlo, qhi);
  // up is all ones where d >= s: there (q ^ up) - up is -q, so s minus it is s + q.
  const __m128i up = _mm_cmpeq_epi8(sOver, zero);
  return _mm_sub_epi8(s, _mm_sub_epi8(_mm_xor_si128(q, up), up));
}

inline __m128i alphaByteMask() { return _mm_set1_epi32(0xFF); }

// Source-alpha copy of four pixels: colour bytes step by step32 (per pixel, 0..256), the alpha
// byte keeps its value (its step is forced to 256, which gives d back) and then gains add32
// (per pixel, 0..255, nothing in the colour bytes) capped at 255.
inline __m128i sourceAlphaMix(__m128i d, __m128i s, __m128i step32, __m128i add32) {
  // [k0 0 k1 0 k2 0 k3 0] -> [k0 k0 k1 k1 k2 k2 k3 k3] -> each pixel's step in its four lanes.
  const __m128i t = _mm_shufflehi_epi16(_mm_shufflelo_epi16(step32, _MM_SHUFFLE(2, 2, 0, 0)), _MM_SHUFFLE(2, 2, 0, 0));
  const __m128i alphaLanes = _mm_set_epi16(0, 0, 0, 256, 0, 0, 0, 256);
  const __m128i lo = _mm_max_epi16(_mm_unpacklo_epi32(t, t), alphaLanes);
  const __m128i hi = _mm_max_epi16(_mm_unpackhi_epi32(t, t), alphaLanes);
  return _mm_adds_epu8(copyStep(d, s, lo, hi), add32);
}

// 16-bit mask of the bytes of v equal to those of w.
inline int sameBytes(__m128i v, __m128i w) { return _mm_movemask_epi8(_mm_cmpeq_epi32(v, w)); }

// Groups of four through quad(dest pixel, source pixel), which loads and stores what it needs,
// the pixels left over through the combiner C itself.
template <class C, class Quad>
void rows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span, int alpha,
          Quad quad) {
  for (int y = 0; y < h; y++, dest += dest_span, src += src_span) {
    int x = 0;
    for (; x + 4 <= w; x += 4) quad(dest + x * 4, src + x * 4);
    for (; x < w; x++) {
      const unsigned char* p = src + x * 4;
      C::doPix(dest + x * 4, p[rast::kR], p[rast::kG], p[rast::kB], p[rast::kA], alpha);
    }
  }
}

// The plain form for loops that always read and write all four pixels.
template <class C, class Quad>
void mixRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span, int alpha,
             Quad mix) {
  rows<C>(dest, src, w, h, src_span, dest_span, alpha, [&](unsigned char* dp, const unsigned char* sp) {
    const __m128i d = _mm_loadu_si128((const __m128i*)dp);
    _mm_storeu_si128((__m128i*)dp, mix(d, _mm_loadu_si128((const __m128i*)sp)));
  });
}

#if defined(__x86_64__) && defined(__GNUC__)
// The two source-alpha copies again, eight pixels at a time, for processors that have AVX2
// (asked once at run time; the build itself assumes only SSE2). Every operation works inside
// 128-bit halves, so each half is the four-pixel form above. They cover the columns up to a
// multiple of eight and answer how many; the four-pixel loops take the rest of every row.
#define QOR_AVX2 __attribute__((target("avx2")))

std::atomic<bool> wideRows{true};

bool hasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && wideRows.load(std::memory_order_relaxed);
}

QOR_AVX2 inline __m256i copyStep8(__m256i d, __m256i s, __m256i inv16lo, __m256i inv16hi) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i sOver = _mm256_subs_epu8(s, d);
  const __m256i mag = _mm256_or_si256(sOver, _mm256_subs_epu8(d, s));
  const __m256i qlo = _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, mag), inv16lo);
  const __m256i qhi = _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, mag), inv16hi);
  const __m256i q = _mm256_packus_epi16(qlo, qhi);
  const __m256i up = _mm256_cmpeq_epi8(sOver, zero);
  return _mm256_sub_epi8(s, _mm256_sub_epi8(_mm256_xor_si256(q, up), up));
}

QOR_AVX2 inline __m256i sourceAlphaMix8(__m256i d, __m256i s, __m256i step32, __m256i add32) {
  const __m256i t =
      _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(step32, _MM_SHUFFLE(2, 2, 0, 0)), _MM_SHUFFLE(2, 2, 0, 0));
  const __m256i alphaLanes = _mm256_set1_epi64x(256);
  const __m256i lo = _mm256_max_epi16(_mm256_unpacklo_epi32(t, t), alphaLanes);
  const __m256i hi = _mm256_max_epi16(_mm256_unpackhi_epi32(t, t), alphaLanes);
  return _mm256_adds_epu8(copyStep8(d, s, lo, hi), add32);
}

QOR_AVX2 int sourceAlphaRows8(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                              int dest_span, int alpha) {
  const int w8 = w & ~7;
  const __m256i amask = _mm256_set1_epi32(0xFF), zero = _mm256_setzero_si256();
  const __m256i weight = _mm256_set1_epi32(alpha), one = _mm256_set1_epi32(1), full = _mm256_set1_epi32(256);
  for (int y = 0; y < h; y++, dest += dest_span, src += src_span)
    for (int x = 0; x < w8; x += 8) {
      const __m256i s = _mm256_loadu_si256((const __m256i*)(src + x * 4));
      const __m256i sa = _mm256_and_si256(s, amask);
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, zero)) == -1) continue;
      const __m256i wt = _mm256_srli_epi32(_mm256_mullo_epi16(_mm256_add_epi32(sa, one), weight), 8);
      __m256i* dp = (__m256i*)(dest + x * 4);
      _mm256_storeu_si256(dp, sourceAlphaMix8(_mm256_loadu_si256(dp), s, _mm256_sub_epi32(full, wt), wt));
    }
  return w8;
}

QOR_AVX2 int sourceAlphaFullRows8(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                                  int dest_span) {
  const int w8 = w & ~7;
  const __m256i amask = _mm256_set1_epi32(0xFF), top = amask, zero = _mm256_setzero_si256();
  for (int y = 0; y < h; y++, dest += dest_span, src += src_span)
    for (int x = 0; x < w8; x += 8) {
      const __m256i s = _mm256_loadu_si256((const __m256i*)(src + x * 4));
      const __m256i sa = _mm256_and_si256(s, amask);
      const __m256i clear = _mm256_cmpeq_epi32(sa, zero);
      if (_mm256_movemask_epi8(clear) == -1) continue;
      __m256i* dp = (__m256i*)(dest + x * 4);
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, amask)) == -1) {
        _mm256_storeu_si256(dp, s);
        continue;
      }
      const __m256i step = _mm256_sub_epi32(_mm256_sub_epi32(top, sa), clear);
      _mm256_storeu_si256(dp, sourceAlphaMix8(_mm256_loadu_si256(dp), s, step, sa));
    }
  return w8;
}
#undef QOR_AVX2
#else
std::atomic<bool> wideRows{true};
bool hasAvx2() { return false; }
int sourceAlphaRows8(unsigned char*, const unsigned char*, int, int, int, int, int) { return 0; }
int sourceAlphaFullRows8(unsigned char*, const unsigned char*, int, int, int, int) { return 0; }
#endif

}  // namespace

void rast::CopyMixRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                       int alpha) {
  const __m128i inv = _mm_set1_epi16((short)(256 - alpha));
  mixRows<_RAST_CombinePixelsCopyNoClamp>(dest, src, w, h, src_span, dest_span, alpha,
                                          [inv](__m128i d, __m128i s) { return copyStep(d, s, inv, inv); });
}

void rast::CopySourceAlphaRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                               int dest_span, int alpha) {
  // w = ((sa + 1) * alpha) >> 8 fits 16 bits (256 * 255); sa = 0 gives w = 0, a step of 256 and
  // nothing added, which leaves the pixel as it is, as the combiner's early return does. Four
  // transparent source pixels are not even read back.
  const __m128i weight = _mm_set1_epi32(alpha), one = _mm_set1_epi32(1), full = _mm_set1_epi32(256);
  const __m128i amask = alphaByteMask(), zero = _mm_setzero_si128();
  const int done = hasAvx2() ? sourceAlphaRows8(dest, src, w, h, src_span, dest_span, alpha) : 0;
  dest += done * 4;
  src += done * 4;
  w -= done;
  rows<_RAST_CombinePixelsCopySourceAlphaNoClamp>(
      dest, src, w, h, src_span, dest_span, alpha, [=](unsigned char* dp, const unsigned char* sp) {
        const __m128i s = _mm_loadu_si128((const __m128i*)sp);
        const __m128i sa = _mm_and_si128(s, amask);
        if (sameBytes(sa, zero) == 0xFFFF) return;
        const __m128i wt = _mm_srli_epi32(_mm_mullo_epi16(_mm_add_epi32(sa, one), weight), 8);
        const __m128i d = _mm_loadu_si128((const __m128i*)dp);
        _mm_storeu_si128((__m128i*)dp, sourceAlphaMix(d, s, _mm_sub_epi32(full, wt), wt));
      });
}

void rast::CopySourceAlphaFullRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                                   int dest_span, int alpha) {
  // The step is 255 - sa and the alpha byte gains sa, so sa = 255 stores the source pixel as it
  // is. sa = 0 takes the step 256, which gives the destination back. Four transparent source
  // pixels leave the destination unread, four opaque ones are stored without arithmetic: the
  // margins and bodies of control bitmaps.
  const __m128i amask = alphaByteMask(), top = _mm_set1_epi32(255), zero = _mm_setzero_si128();
  const int done = hasAvx2() ? sourceAlphaFullRows8(dest, src, w, h, src_span, dest_span) : 0;
  dest += done * 4;
  src += done * 4;
  w -= done;
  rows<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(
      dest, src, w, h, src_span, dest_span, alpha, [=](unsigned char* dp, const unsigned char* sp) {
        const __m128i s = _mm_loadu_si128((const __m128i*)sp);
        const __m128i sa = _mm_and_si128(s, amask);
        const __m128i clear = _mm_cmpeq_epi32(sa, zero);
        if (_mm_movemask_epi8(clear) == 0xFFFF) return;
        if (sameBytes(sa, amask) == 0xFFFF) {
          _mm_storeu_si128((__m128i*)dp, s);
          return;
        }
        const __m128i d = _mm_loadu_si128((const __m128i*)dp);
        _mm_storeu_si128((__m128i*)dp, sourceAlphaMix(d, s, _mm_sub_epi32(_mm_sub_epi32(top, sa), clear), sa));
      });
}

void rast::AddRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                   int alpha) {
  if (alpha == 256) {
    mixRows<_RAST_CombinePixelsAdd>(dest, src, w, h, src_span, dest_span, alpha,
                                    [](__m128i d, __m128i s) { return _mm_adds_epu8(d, s); });
    return;
  }
  const __m128i weight = _mm_set1_epi16((short)alpha), zero = _mm_setzero_si128();
  mixRows<_RAST_CombinePixelsAdd>(dest, src, w, h, src_span, dest_span, alpha, [=](__m128i d, __m128i s) {
    const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, s), weight);
    const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, s), weight);
    return _mm_adds_epu8(d, _mm_packus_epi16(lo, hi));
  });
}

void rast::CopyFillRows(unsigned char* dest, int w, int h, int r, int g, int b, int alpha, int span) {
  const __m128i c = _mm_set1_epi32((int)RAST_MakePixel(r, g, b, alpha));
  const __m128i inv = _mm_set1_epi16((short)(256 - alpha));
  for (int y = 0; y < h; y++, dest += span) {
    int x = 0;
    for (; x + 4 <= w; x += 4) {
      __m128i* p = (__m128i*)(dest + x * 4);
      _mm_storeu_si128(p, copyStep(_mm_loadu_si128(p), c, inv, inv));
    }
    for (; x < w; x++) _RAST_CombinePixelsCopyNoClamp::doPix(dest + x * 4, r, g, b, alpha, alpha);
  }
}

void rast::UseWideRows(bool on) { wideRows.store(on, std::memory_order_relaxed); }

#else

void rast::UseWideRows(bool) {}

namespace {

// Without SSE2 every pixel goes through the combiner.
template <class C>
void scalarRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                int alpha) {
  _RAST_Template_Blit2<C>::blit(dest, src, w, h, src_span, dest_span, alpha);
}

}  // namespace

void rast::CopyMixRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                       int alpha) {
  scalarRows<_RAST_CombinePixelsCopyNoClamp>(dest, src, w, h, src_span, dest_span, alpha);
}

void rast::CopySourceAlphaRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                               int dest_span, int alpha) {
  scalarRows<_RAST_CombinePixelsCopySourceAlphaNoClamp>(dest, src, w, h, src_span, dest_span, alpha);
}

void rast::CopySourceAlphaFullRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                                   int dest_span, int alpha) {
  scalarRows<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(dest, src, w, h, src_span, dest_span, alpha);
}

void rast::AddRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                   int alpha) {
  scalarRows<_RAST_CombinePixelsAdd>(dest, src, w, h, src_span, dest_span, alpha);
}

void rast::CopyFillRows(unsigned char* dest, int w, int h, int r, int g, int b, int alpha, int span) {
  _RAST_Template_Blit1<_RAST_CombinePixelsCopyNoClamp>::solidBlit(dest, w, h, r, g, b, alpha, span);
}

#endif
