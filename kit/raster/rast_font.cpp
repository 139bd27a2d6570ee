#include "kit/raster/rast_font.h"

#include <cstring>
#include <utility>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_glyph.h"
#include "kit/wapi/wapi-gdi.h"

RAST_SysBitmap* RAST_CachedFont::s_tempbitmap = nullptr;
RAST_SysBitmap* RAST_CachedFont::s_nativerender_tempbitmap = nullptr;
int RAST_CachedFont::s_tempbitmap_refcnt = 0;

namespace {

// The device context's colour form, R << 16 | G << 8 | B, of a pixel word.
int deviceColour(RAST_PixelValue c) { return (int)((c >> 24) | ((c >> 8) & 0xFF00u) | ((c & 0xFF00u) << 8)); }

enum : unsigned int {
  kMeasure = 0x1,
  kVCenter = 0x2,
  kHCenter = 0x4,
  kBottom = 0x10,
  kRight = 0x20,
  kSingleLine = 0x40,
  kNoPrefix = 0x80,
  kNoClip = 0x100,
  kAlignMask = kVCenter | kHCenter | kBottom | kRight,
};

// Pen positions far beyond any bitmap are still advanced but never drawn, so that long texts
// cannot carry a coordinate into int overflow.
const long long kPenLimit = 1LL << 30;

// Records kept from the measuring walk of a text that is placed before it is drawn.
const int kRunMax = 160;

}  // namespace

RAST_CachedFont::RAST_CachedFont() {
  memset(m_ascii, 0, sizeof(m_ascii));
  s_tempbitmap_refcnt++;
}

RAST_CachedFont::~RAST_CachedFont() {
  if ((m_flags & RAST_FONT_OWNS_HFONT) && m_font) DeleteObject(m_font);
  if (--s_tempbitmap_refcnt == 0) {
    delete s_tempbitmap;
    s_tempbitmap = nullptr;
    delete s_nativerender_tempbitmap;
    s_nativerender_tempbitmap = nullptr;
  }
}

RAST_GlyphSource* RAST_CachedFont::source() { return m_source ? m_source : RAST_NativeGlyphSource(); }

void RAST_CachedFont::SetFromHFont(HGDIOBJ font, int flags) {
  if ((m_flags & RAST_FONT_OWNS_HFONT) && m_font && m_font != font) DeleteObject(m_font);
  m_flags = flags;
  m_font = font;
  if (font) {
    int h = 0;
    if (source()->lineHeight(font, &h)) m_lineheight = h;
  }
  memset(m_ascii, 0, sizeof(m_ascii));
  m_glyphs.Resize(0, false);
  m_coverage.Resize(0, true);
  if (flags & RAST_FONT_PRERENDER)
    for (int c = 0; c < 128; c++) RenderGlyph((unsigned short)c);
}

RAST_PixelValue RAST_CachedFont::SetTextColor(RAST_PixelValue colour) { return std::exchange(m_textcolor, colour); }

RAST_PixelValue RAST_CachedFont::SetBkColor(RAST_PixelValue colour) { return std::exchange(m_bkcolor, colour); }

RAST_PixelValue RAST_CachedFont::SetEffectColor(RAST_PixelValue colour) { return std::exchange(m_effectcolor, colour); }

int RAST_CachedFont::SetBkMode(int mode) { return std::exchange(m_bkmode, mode); }

void RAST_CachedFont::SetCombineMode(int mode, float alpha) {
  m_combinemode = mode;
  m_alpha = alpha;
}

const unsigned char* RAST_CachedFont::GetCoverage(const RAST_GlyphRecord* rec) const {
  if (!rec || rec->coverage < 1) return nullptr;
  const long long end = (long long)rec->coverage - 1 + (long long)rec->width * rec->height;
  if (end > m_coverage.GetSize()) return nullptr;
  return (const unsigned char*)m_coverage.Get() + rec->coverage - 1;
}

RAST_GlyphRecord* RAST_CachedFont::findChar(unsigned short c) {
  if (c < 128) return &m_ascii[c];
  RAST_GlyphRecord* list = (RAST_GlyphRecord*)m_glyphs.Get();
  int lo = 0, hi = GetGlyphListCount() - 1;
  while (list && lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (list[mid].code == c) return &list[mid];
    if (list[mid].code < c)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return nullptr;
}

RAST_GlyphRecord* RAST_CachedFont::appendGlyph(unsigned short c) {
  const int n = GetGlyphListCount();
  const int want = (n + 1) * (int)sizeof(RAST_GlyphRecord);
  m_glyphs.Resize(want, false);
  if (m_glyphs.GetSize() != want) return nullptr;  // out of memory: the list is as it was
  RAST_GlyphRecord* rec = (RAST_GlyphRecord*)m_glyphs.Get() + n;
  rec->coverage = rec->width = rec->height = rec->advance = 0;
  rec->code = c;
  return rec;
}

unsigned short RAST_CachedFont::utf8char(const unsigned char* p, int* len) {
  // A continuation byte runs from 0x80 to 0xC0 inclusive. Each byte is looked at only after the
  // one before it was a valid part of the sequence, so a terminating zero ends the look-ahead.
  auto cont = [](unsigned char b) { return b >= 0x80 && b <= 0xC0; };
  const unsigned char b0 = p[0];
  *len = 1;
  if (b0 < 0xC2) return b0;
  if (b0 <= 0xDF) {
    if (!cont(p[1])) return b0;
    *len = 2;
    return (unsigned short)(((b0 & 0x1F) << 6) | (p[1] & 0x3F));
  }
  if (b0 <= 0xEF) {
    if (!cont(p[1]) || !cont(p[2])) return b0;
    *len = 3;
    return (unsigned short)(((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
  }
  if (b0 <= 0xF4) {
    if (!cont(p[1]) || !cont(p[2]) || !cont(p[3])) return b0;
    *len = 4;
    return 0x20;  // outside the 16-bit codes: drawn as a space
  }
  return b0;
}

// Walks the text, rendering characters on first use, and calls onGlyph(record) for each
// drawable character and onGlyph(nullptr) for each line break.
template <class F>
void RAST_CachedFont::walkText(const char* text, int count, unsigned int flags, F&& onGlyph, bool& stop) {
  const unsigned char* p = (const unsigned char*)text;
  stop = false;
  while (!stop && count != 0 && *p) {
    int len = 1;
    unsigned short c = utf8char(p, &len);
    p += len;
    if (count > 0) count = count > len ? count - len : 0;
    if (c == 13) continue;
    if (c == 10) {
      if (!(flags & kSingleLine)) {
        onGlyph(nullptr);
        continue;
      }
      c = 32;
    }
    RAST_GlyphRecord* rec = findChar(c);
    if (!rec) {
      const int before = GetGlyphListCount();
      RenderGlyph(c);
      if (GetGlyphListCount() != before) rec = findChar(c);
    }
    if (!rec || rec->coverage == -1) continue;
    if (rec->coverage == 0) {
      RenderGlyph(c);
      if (rec->coverage < 1) continue;
    }
    onGlyph(rec);
  }
}

void RAST_CachedFont::measureGlyphs(const char* text, int count, unsigned int flags, int* pw, int* ph,
                                    RAST_GlyphRecord* run, int runMax, int* runLength) {
  const bool vertical = m_flags & RAST_FONT_VERTICAL;
  long long x = 0, y = 0, w = 0, h = 0;
  int n = 0;
  auto mx = [](long long a, long long b) { return a > b ? a : b; };
  bool stop;
  walkText(text, count, flags, [&](const RAST_GlyphRecord* rec) {
    if (n >= 0 && n < runMax) {
      if (rec)
        run[n] = *rec;
      else
        run[n].coverage = 0;
      n++;
    } else {
      n = -1;
    }
    if (!rec) {
      if (vertical) {
        x += m_lineheight;
        y = 0;
      } else {
        y += m_lineheight;
        x = 0;
      }
      return;
    }
    if (vertical) {
      h = mx(h, mx(y + rec->advance, y + rec->height));
      w = mx(w, x + rec->width);
      y += rec->advance;
    } else {
      w = mx(w, mx(x + rec->advance, x + rec->width));
      h = mx(h, y + rec->height);
      x += rec->advance;
    }
    if (x > kPenLimit || y > kPenLimit) stop = true;
  }, stop);
  *pw = (int)(w < kPenLimit ? w : kPenLimit);
  *ph = (int)(h < kPenLimit ? h : kPenLimit);
  if (runLength) *runLength = stop ? -1 : n;
}

int RAST_CachedFont::drawGlyphs(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags) {
  const float savedAlpha = m_alpha;
  if (flags & RAST_TEXT_ALPHA_FROM_COLOUR) m_alpha = m_alpha * (float)(m_textcolor & 255) / 255.0f;
  if (m_alpha == 0.0f) {
    m_alpha = savedAlpha;
    return 0;
  }
  const bool vertical = m_flags & RAST_FONT_VERTICAL;
  const bool bottomUp = (m_flags & 3) == 3;

  // A text that must be measured before it is placed keeps the records of that walk (labels fit
  // easily) and is drawn from them; longer texts are walked a second time.
  RAST_GlyphRecord run[kRunMax];
  int runLength = -1;
  long long x0 = rect->left, y0 = rect->top;
  if ((flags & kAlignMask) || bottomUp) {
    // Laid out with the glyph metrics it is drawn with.
    int w = 0, h = 0;
    measureGlyphs(text, count, flags, &w, &h, run, kRunMax, &runLength);
    if (flags & kHCenter)
      x0 = rect->left + ((long long)rect->right - rect->left - w) / 2;
    else if (flags & kRight)
      x0 = (long long)rect->right - w;
    if (flags & kVCenter)
      y0 = rect->top + ((long long)rect->bottom - rect->top - h) / 2;
    else if (flags & kBottom)
      y0 = (long long)rect->bottom - h;
    if (bottomUp) y0 += h;
  }

  RECT clip = {0, 0, bitmap->getWidth(), bitmap->getHeight()};
  if (!(flags & kNoClip)) {
    if (rect->left > clip.left) clip.left = rect->left;
    if (rect->top > clip.top) clip.top = rect->top;
    if (rect->right < clip.right) clip.right = rect->right;
    if (rect->bottom < clip.bottom) clip.bottom = rect->bottom;
    if (clip.left >= clip.right || clip.top >= clip.bottom) {
      m_alpha = savedAlpha;
      return 0;
    }
  }

  GlyphInk ink;
  prepareInk(bitmap, ink);
  long long x = x0, y = y0, maxBottom = y0, maxRight = x0;
  bool stop = false;
  auto place = [&](const RAST_GlyphRecord* rec) {
    if (!rec) {
      if (vertical) {
        x += m_lineheight;
        y = y0;
      } else {
        y += m_lineheight;
        x = x0;
      }
      return;
    }
    if (rec->coverage - 1 >= m_coverage.GetSize()) return;
    if (bottomUp) y -= rec->height;
    const bool inRange = x > -kPenLimit && x < kPenLimit && y > -kPenLimit && y < kPenLimit;
    const bool drawn = inRange && stampGlyph(ink, rec, (int)x, (int)y, clip);
    if (vertical) {
      y += bottomUp ? rec->height - rec->advance : rec->advance;
      if (drawn && x + rec->width > maxRight) maxRight = x + rec->width;
    } else {
      x += rec->advance;
      if (drawn && y + rec->height > maxBottom) maxBottom = y + rec->height;
    }
    if (x > kPenLimit || y > kPenLimit || y < -kPenLimit) stop = true;
  };
  if (runLength >= 0) {
    for (int i = 0; i < runLength && !stop; i++) place(run[i].coverage ? &run[i] : nullptr);
  } else {
    walkText(text, count, flags, place, stop);
  }
  m_alpha = savedAlpha;
  return (int)(vertical ? maxRight - x0 : maxBottom - y0);
}

int RAST_CachedFont::drawNative(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags) {
  HDC dc = bitmap ? bitmap->getDC() : nullptr;
  if (dc) {
    HGDIOBJ prev = SelectObject(dc, m_font);
    ::SetTextColor(dc, deviceColour(m_textcolor));
    ::SetBkMode(dc, m_bkmode);
    if (m_bkmode == 1) ::SetBkColor(dc, deviceColour(m_bkcolor));
    RECT r = *rect;
    const int res = WAPI_DrawText(dc, text, count, &r, (int)((flags & 0x7FFFFFFFu) | kNoPrefix));
    if (flags & kMeasure) *rect = r;
    if (prev) SelectObject(dc, prev);
    return res;
  }

  if (!s_nativerender_tempbitmap) s_nativerender_tempbitmap = new RAST_SysBitmap(0, 0);
  RAST_SysBitmap* tmp = s_nativerender_tempbitmap;
  if (tmp->getWidth() < 4 || tmp->getHeight() < 4) tmp->resize(4, 4);
  HDC tdc = tmp->getDC();
  if (!tdc) return 0;
  HGDIOBJ prev = SelectObject(tdc, m_font);
  RECT m = {0, 0, 0, 0};
  const int r = WAPI_DrawText(tdc, text, count, &m, (int)((flags & 0x7FFFFF48u) | 0x81u));
  const long long w = m.right, h = m.bottom;
  if (flags & kMeasure) {
    rect->right = (int)(rect->left + w);
    rect->bottom = (int)(rect->top + h);
    if (prev) SelectObject(tdc, prev);
    return r;
  }

  long long x, y;
  if (flags & kRight)
    x = rect->right - w;
  else if (flags & kHCenter)
    x = ((long long)rect->left + rect->right - w) / 2;
  else
    x = rect->left;
  if (flags & kBottom)
    y = rect->bottom - h;
  else if (flags & kVCenter)
    y = ((long long)rect->top + rect->bottom - h) / 2;
  else
    y = rect->top;
  long long right = x + w, bottom = y + h;
  long long minx = 0, miny = 0;
  if (right > bitmap->getWidth()) right = bitmap->getWidth();
  if (bottom > bitmap->getHeight()) bottom = bitmap->getHeight();
  if (!(flags & kNoClip)) {
    if (right > rect->right) right = rect->right;
    if (bottom > rect->bottom) bottom = rect->bottom;
    if (rect->left > minx) minx = rect->left;
    if (rect->top > miny) miny = rect->top;
  }
  // Text cut off at the left or top is drawn shifted by the amount cut, so that it stays cut.
  long long ox = 0, oy = 0;
  if (x < minx) {
    ox = x - minx;
    x = minx;
  }
  if (y < miny) {
    oy = y - miny;
    y = miny;
  }
  const long long bw = right - x, bh = bottom - y;
  if (bw <= 0 || bh <= 0 || ox < -kPenLimit || oy < -kPenLimit) {
    if (prev) SelectObject(tdc, prev);
    return r;
  }
  if (tmp->getWidth() < bw || tmp->getHeight() < bh) {
    if (prev) SelectObject(tdc, prev);
    tmp->resize((int)bw, (int)bh);
    tdc = tmp->getDC();
    if (!tdc) return 0;
    prev = SelectObject(tdc, m_font);
  }
  RAST_Blit(tmp, bitmap, 0, 0, (int)x, (int)y, (int)bw, (int)bh, 1.0f, 0);
  ::SetTextColor(tdc, deviceColour(m_textcolor));
  ::SetBkMode(tdc, m_bkmode);
  if (m_bkmode == 1) ::SetBkColor(tdc, deviceColour(m_bkcolor));
  RECT tr = {(int)ox, (int)oy, (int)bw, (int)bh};
  const int res = WAPI_DrawText(tdc, text, count, &tr, (int)((flags & 0x7FFFFEC9u) | kNoPrefix));
  RAST_Blit(bitmap, tmp, (int)x, (int)y, 0, 0, (int)bw, (int)bh, m_alpha, 0);
  if (prev) SelectObject(tdc, prev);
  return res;
}

int RAST_CachedFont::DrawTextImpl(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect,
                                  unsigned int flags) {
  if (!(flags & kMeasure) && !bitmap) return 0;
  if (!text || !rect) return 0;
  const bool native = ((m_flags & RAST_FONT_PREFER_NATIVE) && !(m_flags & 0x1F7) && flags <= 0x3FFFFFFFu && m_font) ||
                      m_lineheight >= 256;
  if (native) return drawNative(bitmap, text, count, rect, flags);
  if (flags & kMeasure) {
    int w = 0, h = 0;
    measureGlyphs(text, count, flags, &w, &h);
    rect->right = (int)((long long)rect->left + w);
    rect->bottom = (int)((long long)rect->top + h);
    return (m_flags & RAST_FONT_VERTICAL) ? w : h;
  }
  return drawGlyphs(bitmap, text, count, rect, flags);
}

int RAST_CachedFont::DrawText(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags) {
  return DrawTextImpl(bitmap, text, count, rect, flags);
}
