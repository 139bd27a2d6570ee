#include "kit/raster/rast_copymix.h"

#include "kit/raster/rast_blitloops.h"

#include <cstring>

// Rows that follow each other in both bitmaps are one block; the library's memcpy already moves
// it with the widest stores the processor has (measured faster than a hand-written SSE2 loop).
void rast::CopyRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                    int) {
  const size_t row = (size_t)w * 4;
  if (src_span == dest_span && (size_t)src_span == row) {
    memcpy(dest, src, row * (size_t)h);
    return;
  }
  for (int y = 0; y < h; y++, dest += dest_span, src += src_span) memcpy(dest, src, row);
}

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

// The two halves of a register of four 32-bit values, each value spread over the four 16-bit
// lanes of its pixel.
inline void spreadPerPixel(__m128i v32, __m128i& lo, __m128i& hi) {
  const __m128i l = _mm_unpacklo_epi32(v32, v32), h = _mm_unpackhi_epi32(v32, v32);
  lo = _mm_or_si128(l, _mm_slli_epi32(l, 16));
  hi = _mm_or_si128(h, _mm_slli_epi32(h, 16));
}

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
  const __m128i dAtLeast = _mm_cmpeq_epi8(sOver, zero);
  return _mm_or_si128(_mm_and_si128(dAtLeast, _mm_add_epi8(s, q)), _mm_andnot_si128(dAtLeast, _mm_sub_epi8(s, q)));
}

inline __m128i alphaByteMask() { return _mm_set1_epi32(0xFF); }

// Source-alpha copy of four pixels: colour bytes step by inv32 (per pixel, 0..256), the alpha
// byte gains add32 (per pixel, 0..255) capped at 255.
inline __m128i sourceAlphaMix(__m128i d, __m128i s, __m128i inv32, __m128i add32) {
  const __m128i amask = alphaByteMask();
  __m128i invlo, invhi;
  spreadPerPixel(inv32, invlo, invhi);
  const __m128i colour = copyStep(d, s, invlo, invhi);
  const __m128i a = _mm_adds_epu8(_mm_and_si128(d, amask), add32);
  return _mm_or_si128(_mm_andnot_si128(amask, colour), a);
}

// Groups of four through quad, the pixels left over through the combiner C itself.
template <class C, class Quad>
void rows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span, int alpha,
          Quad quad) {
  for (int y = 0; y < h; y++, dest += dest_span, src += src_span) {
    int x = 0;
    for (; x + 4 <= w; x += 4) {
      const __m128i d = _mm_loadu_si128((const __m128i*)(dest + x * 4));
      const __m128i s = _mm_loadu_si128((const __m128i*)(src + x * 4));
      _mm_storeu_si128((__m128i*)(dest + x * 4), quad(d, s));
    }
    for (; x < w; x++) {
      const unsigned char* p = src + x * 4;
      C::doPix(dest + x * 4, p[rast::kR], p[rast::kG], p[rast::kB], p[rast::kA], alpha);
    }
  }
}

}  // namespace

void rast::CopyMixRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                       int alpha) {
  const __m128i inv = _mm_set1_epi16((short)(256 - alpha));
  rows<_RAST_CombinePixelsCopyNoClamp>(dest, src, w, h, src_span, dest_span, alpha,
                                       [inv](__m128i d, __m128i s) { return copyStep(d, s, inv, inv); });
}

void rast::CopySourceAlphaRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                               int dest_span, int alpha) {
  // w = ((sa + 1) * alpha) >> 8 fits 16 bits (256 * 255); sa = 0 gives w = 0, inv = 256 and
  // leaves the pixel as it is, as the combiner's early return does.
  const __m128i weight = _mm_set1_epi32(alpha), one = _mm_set1_epi32(1), full = _mm_set1_epi32(256);
  const __m128i amask = alphaByteMask();
  rows<_RAST_CombinePixelsCopySourceAlphaNoClamp>(dest, src, w, h, src_span, dest_span, alpha,
                                                  [=](__m128i d, __m128i s) {
    const __m128i sa = _mm_and_si128(s, amask);
    const __m128i wt = _mm_srli_epi32(_mm_mullo_epi16(_mm_add_epi32(sa, one), weight), 8);
    return sourceAlphaMix(d, s, _mm_sub_epi32(full, wt), wt);
  });
}

void rast::CopySourceAlphaFullRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span,
                                   int dest_span, int alpha) {
  // The step is 255 - sa and the alpha byte gains sa; sa = 255 so stores the source colour
  // with alpha 255, and only sa = 0 (no change at all) needs its own select.
  const __m128i amask = alphaByteMask(), top = _mm_set1_epi32(255), zero = _mm_setzero_si128();
  rows<_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp>(dest, src, w, h, src_span, dest_span, alpha,
                                                                 [=](__m128i d, __m128i s) {
    const __m128i sa = _mm_and_si128(s, amask);
    const __m128i mixed = sourceAlphaMix(d, s, _mm_sub_epi32(top, sa), sa);
    const __m128i clear = _mm_cmpeq_epi32(sa, zero);
    return _mm_or_si128(_mm_and_si128(clear, d), _mm_andnot_si128(clear, mixed));
  });
}

void rast::AddRows(unsigned char* dest, const unsigned char* src, int w, int h, int src_span, int dest_span,
                   int alpha) {
  if (alpha == 256) {
    rows<_RAST_CombinePixelsAdd>(dest, src, w, h, src_span, dest_span, alpha,
                                 [](__m128i d, __m128i s) { return _mm_adds_epu8(d, s); });
    return;
  }
  const __m128i weight = _mm_set1_epi16((short)alpha), zero = _mm_setzero_si128();
  rows<_RAST_CombinePixelsAdd>(dest, src, w, h, src_span, dest_span, alpha, [=](__m128i d, __m128i s) {
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

#else

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
