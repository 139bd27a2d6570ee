// Rendering one character of a cached font into a coverage map, and stamping maps into bitmaps.
#include <cstdlib>
#include <cstring>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_font.h"
#include "kit/raster/rast_glyph.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_surface.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

int _charSortFunc(const void* a, const void* b) {
  return ((const RAST_GlyphRecord*)a)->code - ((const RAST_GlyphRecord*)b)->code;
}

// The character has no glyph: it neither draws nor advances. The code stays.
void setNoGlyph(RAST_GlyphRecord* rec) {
  rec->coverage = -1;
  rec->width = rec->height = rec->advance = 0;
}

// Below 131 is empty, anything else ink.
void threshold(unsigned char* m, int n) {
  for (int i = 0; i < n; i++) m[i] = m[i] < 131 ? 0 : 255;
}

// One pass from the top row down: empty pixels next to ink become effect pixels (128). A shadow
// looks left, up-left and up; an outline left, right, up and down. Effect pixels never count as
// ink for their neighbours.
void addEffect(unsigned char* m, int w, int h, bool shadow) {
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      unsigned char* p = m + (size_t)y * w + x;
      if (*p) continue;
      const bool left = x > 0 && p[-1] == 255;
      const bool up = y > 0 && p[-w] == 255;
      bool hit;
      if (shadow) {
        hit = left || up || (x > 0 && y > 0 && p[-w - 1] == 255);
      } else {
        hit = left || up || (x + 1 < w && p[1] == 255) || (y + 1 < h && p[w] == 255);
      }
      if (hit) *p = 128;
    }
}


}  // namespace

bool RAST_CachedFont::RenderGlyph(unsigned short c) {
  if (m_lineheight > 1023) return false;

  RAST_GlyphRecord* rec;
  bool appended = false;
  if (c < 128) {
    rec = &m_ascii[c];
  } else {
    rec = findChar(c);
    if (!rec) {
      if (m_flags & RAST_FONT_PRERENDER) return false;
      rec = appendGlyph(c);
      if (!rec) return false;  // the list could not grow: the character stays unrendered
      appended = true;
    }
  }

  const int lh = m_lineheight > 1 ? m_lineheight : 1;
  RAST_GlyphSource* src = source();
  RAST_IBitmap* scratch = src->begin(m_font, 2 * lh + 8);
  int advance = 0, boxw = 0, boxh = 0;
  if (scratch) {
    char str[4] = {0, 0, 0, 0};
    if (c < 0x80) {
      str[0] = (char)c;
    } else if (c < 0x800) {
      str[0] = (char)(0xC0 + (c >> 6));
      str[1] = (char)(0x80 | (c & 0x3F));
    } else {
      str[0] = (char)(0xE0 | (c >> 12));
      str[1] = (char)(0x80 | ((c >> 6) & 0x3F));
      str[2] = (char)(0x80 | (c & 0x3F));
    }
    src->measure(str, &advance, &boxh);
    const int margin = m_lineheight < 16 ? 2 : m_lineheight / 16 + 2;
    boxw = advance > 0 ? advance + margin : 0;
    if (boxw > 0 && boxh > 0) {
      RAST_FillRect(scratch, 0, 0, boxw, boxh, 0, 1.0f, 0);
      src->draw(str, boxw, boxh);
    }
    src->end();
    const int sw = scratch->getWidth(), sh = scratch->getHeight();
    if (advance > sw) advance = sw;
    if (boxw > sw) boxw = sw;
    if (boxh > sh) boxh = sh;
  }

  RAST_Surface s;
  if (!scratch || advance < 1 || boxh < 1 || !RAST_GetSurface(scratch, s)) {
    setNoGlyph(rec);
  } else {
    rec->advance = advance;
    if (m_flags & RAST_FONT_BLUR) RAST_Blur(scratch, scratch, 0, 0, 0, 0, boxw, boxh);

    const int base = m_coverage.GetSize();
    const long long want = (long long)base + (long long)boxw * boxh;
    if (want > 0x7FFFFFFF || (m_coverage.Resize((int)want, false), m_coverage.GetSize() != want)) {
      setNoGlyph(rec);
    } else {
      rec->coverage = base + 1;
      unsigned char* map = (unsigned char*)m_coverage.Get() + base;
      const bool invert = m_flags & RAST_FONT_INVERT;
      int used = advance;
      for (int y = 0; y < boxh; y++) {
        const unsigned char* row = s.row(y);
        unsigned char* out = map + (size_t)y * boxw;
        for (int x = 0; x < boxw; x++) {
          const unsigned char v = row[x * 4 + 1];  // the red byte
          if (x >= advance && v) used = x + 1;
          out[x] = invert ? (unsigned char)(255 - v) : v;
        }
      }
      int w = boxw, h = boxh;
      if (used < boxw) {
        for (int y = 1; y < boxh; y++) memmove(map + (size_t)y * used, map + (size_t)y * boxw, (size_t)used);
        m_coverage.Resize(base + boxh * used, false);
        map = (unsigned char*)m_coverage.Get() + base;
        w = used;
      }

      if (m_flags & RAST_FONT_VERTICAL) {
        // Turned through the scratch bitmap's pixel memory, which holds at least 4 * w * h bytes.
        unsigned char* tmp = (unsigned char*)scratch->getBits();
        memcpy(tmp, map, (size_t)w * h);
        const bool up = m_flags & RAST_FONT_BOTTOMUP;
        for (int r = 0; r < w; r++)
          for (int k = 0; k < h; k++)
            map[(size_t)r * h + k] = up ? tmp[(size_t)k * w + (w - 1 - r)] : tmp[(size_t)(h - 1 - k) * w + r];
        const int t = w;
        w = h;
        h = t;
      }

      if (m_flags & RAST_FONT_MONO) threshold(map, w * h);
      if (m_flags & (RAST_FONT_SHADOW | RAST_FONT_OUTLINE)) {
        threshold(map, w * h);
        addEffect(map, w, h, (m_flags & RAST_FONT_SHADOW) != 0);
      }
      rec->width = w;
      rec->height = h;
    }
  }

  if (appended && GetGlyphListCount() >= 2)
    qsort(m_glyphs.Get(), (size_t)GetGlyphListCount(), sizeof(RAST_GlyphRecord), _charSortFunc);
  return true;
}

bool RAST_CachedFont::DrawGlyph(RAST_IBitmap* bitmap, unsigned short c, int x, int y, RECT* clip) {
  const RAST_GlyphRecord* rec = findChar(c);
  if (!rec || !clip) return false;
  GlyphInk ink;
  prepareInk(bitmap, ink);
  return stampGlyph(ink, rec, x, y, *clip);
}

void RAST_CachedFont::prepareInk(RAST_IBitmap* bitmap, GlyphInk& ink) const {
  ink.bitmap = bitmap;
  ink.hasSurface = RAST_GetSurface(bitmap, ink.surface);
  ink.mode = m_combinemode & RAST_BLIT_MODE_MASK;
  ink.text = m_textcolor;
  ink.effect = m_effectcolor;
  ink.r = RAST_PixelR(m_textcolor);
  ink.g = RAST_PixelG(m_textcolor);
  ink.b = RAST_PixelB(m_textcolor);
  ink.er = RAST_PixelR(m_effectcolor);
  ink.eg = RAST_PixelG(m_effectcolor);
  ink.eb = RAST_PixelB(m_effectcolor);
  const int a0 = RAST_AlphaWeight(m_alpha);
  const int capped = a0 < 256 ? a0 : 256;
  const bool store = m_alpha == 1.0f && ink.mode == RAST_BLIT_MODE_COPY;
  ink.kind = GlyphInk::kNothing;
  if (ink.mode > RAST_BLIT_MODE_HSVADJUST || (ink.mode == RAST_BLIT_MODE_COPY && a0 <= 0)) return;
  if (m_flags & RAST_FONT_MONO) {
    ink.a = capped;
    ink.kind = store ? GlyphInk::kMonoStore : capped ? GlyphInk::kMono : GlyphInk::kNothing;
  } else if (m_flags & (RAST_FONT_SHADOW | RAST_FONT_OUTLINE)) {
    ink.a = capped;
    ink.kind = store ? GlyphInk::kEffectStore : capped ? GlyphInk::kEffect : GlyphInk::kNothing;
  } else {
    ink.a = a0;
    ink.kind = a0 ? GlyphInk::kNormal : GlyphInk::kNothing;
  }
}

bool RAST_CachedFont::stampGlyph(const GlyphInk& ink, const RAST_GlyphRecord* rec, int x, int y, const RECT& clip) {
  const unsigned char* cov = GetCoverage(rec);
  if (!cov) return false;
  const long long gx1 = (long long)x + rec->width, gy1 = (long long)y + rec->height;
  if (!(gx1 > clip.left && x < clip.right && gy1 > clip.top && y < clip.bottom)) return false;

  // The clip may reach past the bitmap when the caller asked for no clipping: keep to the bitmap.
  if (!ink.hasSurface) return true;
  const RAST_Surface& s = ink.surface;
  long long left = x, top = y;
  long long right = gx1 < clip.right ? gx1 : clip.right, bottom = gy1 < clip.bottom ? gy1 : clip.bottom;
  if (clip.left > left) left = clip.left;
  if (clip.top > top) top = clip.top;
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right > s.width) right = s.width;
  if (bottom > s.height) bottom = s.height;
  if (left >= right || top >= bottom) return true;
  const int w = (int)(right - left), h = (int)(bottom - top);
  cov += (size_t)(top - y) * rec->width + (size_t)(left - x);
  unsigned char* dest = s.row((int)top) + left * 4;
  const int destspan = (int)(s.step / 4);
  const int covspan = rec->width;

  if (m_bkmode == 1)
    RAST_FillRect(ink.bitmap, (int)left, (int)top, w, h, m_bkcolor, m_alpha, m_combinemode & ~RAST_BLIT_USE_SOURCE_ALPHA);

  switch (ink.kind) {
    case GlyphInk::kNothing:
      break;
    case GlyphInk::kMonoStore:
    case GlyphInk::kEffectStore:
      // Full strength copy: the colour words go in unchanged, their alpha bytes included.
      for (int j = 0; j < h; j++, cov += covspan, dest += s.step) {
        unsigned int* d = (unsigned int*)dest;
        for (int i = 0; i < w; i++)
          if (cov[i]) d[i] = (ink.kind == GlyphInk::kMonoStore || cov[i] == 255) ? ink.text : ink.effect;
      }
      break;
    case GlyphInk::kMono:
      rast::ForCombiner(ink.mode, false, [&](auto comb) {
        GlyphRenderer<decltype(comb)>::Mono(cov, dest, covspan, destspan, w, h, ink.r, ink.g, ink.b, ink.a);
      });
      break;
    case GlyphInk::kEffect:
      rast::ForCombiner(ink.mode, false, [&](auto comb) {
        GlyphRenderer<decltype(comb)>::Effect(cov, dest, covspan, destspan, w, h, ink.r, ink.g, ink.b, ink.a, ink.er,
                                              ink.eg, ink.eb);
      });
      break;
    case GlyphInk::kNormal:
      rast::ForCombiner(ink.mode, false, [&](auto comb) {
        GlyphRenderer<decltype(comb)>::Normal(cov, dest, covspan, destspan, w, h, ink.r, ink.g, ink.b, ink.a);
      });
      break;
  }
  return true;
}

#if defined(__SSE2__)

namespace {

// s + (d - s) * inv / 256 truncated toward zero, on the 16-bit channels of two pixels: with
// |d - s| <= 255 and inv <= 256 the product fits an unsigned lane, and the sign goes back after.
inline __m128i copyTowards(__m128i d16, __m128i s16, __m128i inv16) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i diff = _mm_sub_epi16(d16, s16);
  const __m128i neg = _mm_cmpgt_epi16(zero, diff);
  const __m128i mag = _mm_max_epi16(diff, _mm_sub_epi16(zero, diff));
  const __m128i q = _mm_srli_epi16(_mm_mullo_epi16(mag, inv16), 8);
  return _mm_add_epi16(s16, _mm_sub_epi16(_mm_xor_si128(q, neg), neg));
}

}  // namespace

void GlyphCopy::Normal(const unsigned char* cov, unsigned char* dest, int covspan, int destspan, int w, int h, int r,
                       int g, int b, int a) {
  const RAST_PixelValue colour = RAST_MakePixel(r, g, b, 255);
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1), full = _mm_set1_epi16(256);
  const __m128i weight = _mm_set1_epi16((short)a);
  const __m128i s16 = _mm_unpacklo_epi8(_mm_set1_epi32((int)colour), zero);
  const __m128i solid = _mm_set1_epi32((int)colour);
  for (int y = 0; y < h; y++, cov += covspan, dest += (ptrdiff_t)destspan * 4) {
    int x = 0;
    for (; x + 4 <= w; x += 4) {
      unsigned int c4;
      memcpy(&c4, cov + x, 4);
      if (!c4) continue;
      __m128i* d = (__m128i*)(dest + x * 4);
      if (c4 == 0xFFFFFFFFu && a == 256) {
        _mm_storeu_si128(d, solid);
        continue;
      }
      // Weights of the four pixels in lanes 0..3; zero coverage weighs 0, which leaves the pixel.
      const __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)c4), zero);
      const __m128i wt = a == 256 ? _mm_andnot_si128(_mm_cmpeq_epi16(v, zero), _mm_add_epi16(v, one))
                                  : _mm_min_epi16(_mm_mulhi_epu16(_mm_slli_epi16(v, 8), weight), full);
      __m128i inv = _mm_sub_epi16(full, wt);
      inv = _mm_unpacklo_epi16(inv, inv);
      const __m128i dv = _mm_loadu_si128(d);
      const __m128i lo = copyTowards(_mm_unpacklo_epi8(dv, zero), s16, _mm_unpacklo_epi32(inv, inv));
      const __m128i hi = copyTowards(_mm_unpackhi_epi8(dv, zero), s16, _mm_unpackhi_epi32(inv, inv));
      _mm_storeu_si128(d, _mm_packus_epi16(lo, hi));
    }
    for (; x < w; x++)
      if (const int v = cov[x])
        _RAST_CombinePixelsCopyNoClamp::doPix(dest + x * 4, r, g, b, 255,
                                              GlyphRenderer<_RAST_CombinePixelsCopyNoClamp>::weight(v, a));
  }
}

#else

void GlyphCopy::Normal(const unsigned char* cov, unsigned char* dest, int covspan, int destspan, int w, int h, int r,
                       int g, int b, int a) {
  for (int y = 0; y < h; y++, cov += covspan, dest += (ptrdiff_t)destspan * 4)
    for (int x = 0; x < w; x++)
      if (const int v = cov[x])
        _RAST_CombinePixelsCopyNoClamp::doPix(dest + x * 4, r, g, b, 255,
                                              GlyphRenderer<_RAST_CombinePixelsCopyNoClamp>::weight(v, a));
}

#endif
