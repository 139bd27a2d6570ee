// Rendering one character of a cached font into a coverage map, and stamping maps into bitmaps.
#include <cstdlib>
#include <cstring>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_font.h"
#include "kit/raster/rast_glyph.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_surface.h"
#include "kit/raster/rast_trap.h"

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
  return stampGlyph(bitmap, rec, x, y, *clip);
}

bool RAST_CachedFont::stampGlyph(RAST_IBitmap* bitmap, const RAST_GlyphRecord* rec, int x, int y, const RECT& clip) {
  const unsigned char* cov = GetCoverage(rec);
  if (!cov) return false;
  const long long gx1 = (long long)x + rec->width, gy1 = (long long)y + rec->height;
  if (!(gx1 > clip.left && x < clip.right && gy1 > clip.top && y < clip.bottom)) return false;

  // The clip may reach past the bitmap when the caller asked for no clipping: keep to the bitmap.
  RAST_Surface s;
  if (!RAST_GetSurface(bitmap, s)) return true;
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

  if (m_bkmode == 1)
    RAST_FillRect(bitmap, (int)left, (int)top, w, h, m_bkcolor, m_alpha, m_combinemode & ~0x10000);

  const int m = m_combinemode & 0xFF;
  const RAST_PixelValue tc = m_textcolor;
  const int r = RAST_PixelR(tc), g = RAST_PixelG(tc), b = RAST_PixelB(tc);
  const int a0 = RAST_AlphaWeight(m_alpha);
  if (m > 5 || (m == 0 && a0 <= 0)) return true;

  if (m_flags & RAST_FONT_MONO) {
    if (m_alpha == 1.0f && m == 0) {
      for (int j = 0; j < h; j++) {
        unsigned int* d = (unsigned int*)(dest + (ptrdiff_t)j * s.step);
        const unsigned char* cv = cov + (size_t)j * rec->width;
        for (int i = 0; i < w; i++)
          if (cv[i]) d[i] = tc;
      }
      return true;
    }
    const int a = a0 < 256 ? a0 : 256;
    if (!a) return true;
    _RAST_ForCombiner(m, [&](auto comb) {
      GlyphRenderer<decltype(comb)>::Mono(cov, dest, rec->width, destspan, w, h, r, g, b, a);
    });
    return true;
  }

  if (m_flags & (RAST_FONT_SHADOW | RAST_FONT_OUTLINE)) {
    const RAST_PixelValue ec = m_effectcolor;
    if (m_alpha == 1.0f && m == 0) {
      for (int j = 0; j < h; j++) {
        unsigned int* d = (unsigned int*)(dest + (ptrdiff_t)j * s.step);
        const unsigned char* cv = cov + (size_t)j * rec->width;
        for (int i = 0; i < w; i++)
          if (cv[i]) d[i] = cv[i] == 255 ? tc : ec;
      }
      return true;
    }
    const int a = a0 < 256 ? a0 : 256;
    if (!a) return true;
    const int er = RAST_PixelR(ec), eg = RAST_PixelG(ec), eb = RAST_PixelB(ec);
    _RAST_ForCombiner(m, [&](auto comb) {
      GlyphRenderer<decltype(comb)>::Effect(cov, dest, rec->width, destspan, w, h, r, g, b, a, er, eg, eb);
    });
    return true;
  }

  const int a = a0;
  if (!a) return true;
  _RAST_ForCombiner(m, [&](auto comb) {
    GlyphRenderer<decltype(comb)>::Normal(cov, dest, rec->width, destspan, w, h, r, g, b, a);
  });
  return true;
}
