// The platform text engine: CoreText fonts, glyph advances and glyph drawing.
#include "kit/wapi/wapi-text-engine.h"

#include <CoreText/CoreText.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// UTF-8 (already validated) to UTF-16 code units.
void toUtf16(const char* s, int len, std::vector<UniChar>& out) {
  out.clear();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  for (int i = 0; i < len;) {
    uint32_t cp = p[i];
    int n = cp < 0x80 ? 1 : cp < 0xE0 ? 2 : cp < 0xF0 ? 3 : 4;
    if (i + n > len) break;
    if (n == 2) cp = ((cp & 0x1F) << 6) | (p[i + 1] & 0x3F);
    if (n == 3) cp = ((cp & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
    if (n == 4)
      cp = ((cp & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) |
           (p[i + 3] & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(UniChar(0xD800 + (cp >> 10)));
      out.push_back(UniChar(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(UniChar(cp));
    }
  }
}

// Glyphs of a line, with the placeholder after each surrogate pair removed.
void glyphsOf(CTFontRef font, const char* s, int len, std::vector<CGGlyph>& glyphs) {
  thread_local std::vector<UniChar> units;
  toUtf16(s, len, units);
  glyphs.assign(units.size(), 0);
  if (units.empty()) return;
  CTFontGetGlyphsForCharacters(font, units.data(), glyphs.data(), CFIndex(units.size()));
  size_t w = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i] >= 0xDC00 && units[i] < 0xE000 && i > 0 && units[i - 1] >= 0xD800 &&
        units[i - 1] < 0xDC00)
      continue;
    glyphs[w++] = glyphs[i];
  }
  glyphs.resize(w);
}

// A line's glyphs and their advances. Drawing a line follows measuring it, so the last line
// shaped on each thread is kept, with its font held so that the pointer stays its own.
struct Shaped {
  CTFontRef font = nullptr;
  std::string text;
  std::vector<CGGlyph> glyphs;
  std::vector<CGSize> adv;
  double width = 0;
  ~Shaped() { CTFontRelease(font); }
};

const Shaped& shape(CTFontRef font, const char* s, int len) {
  thread_local Shaped sh;
  if (sh.font == font && sh.text.size() == size_t(len) && std::memcmp(sh.text.data(), s, size_t(len)) == 0)
    return sh;
  CTFontRetain(font);
  CTFontRelease(sh.font);
  sh.font = font;
  sh.text.assign(s, size_t(len));
  glyphsOf(font, s, len, sh.glyphs);
  sh.adv.resize(sh.glyphs.size());
  sh.width = sh.glyphs.empty() ? 0
                               : CTFontGetAdvancesForGlyphs(font, kCTFontOrientationHorizontal, sh.glyphs.data(),
                                                            sh.adv.data(), CFIndex(sh.glyphs.size()));
  return sh;
}

class CoreTextEngine : public WAPI_TextEngine {
 public:
  bool fontMetrics(CTFontRef font, double* a, double* d, double* l) override {
    if (!font) return false;
    *a = CTFontGetAscent(font);
    *d = CTFontGetDescent(font);
    *l = CTFontGetLeading(font);
    return true;
  }

  WAPI_LineBounds lineBounds(CTFontRef font, const char* s, int len) override {
    WAPI_LineBounds b{0, 0, 0, 0};
    if (!font) return b;
    fontMetrics(font, &b.ascent, &b.descent, &b.leading);
    b.width = shape(font, s, len).width;
    return b;
  }

  void drawLine(CGContextRef ctx, CTFontRef font, CGColorRef color, const char* s, int len,
                double x, double baseline) override {
    if (!ctx || !font) return;
    const Shaped& sh = shape(font, s, len);
    if (sh.glyphs.empty()) return;
    thread_local std::vector<CGPoint> pos;
    pos.resize(sh.glyphs.size());
    double pen = 0;
    for (size_t i = 0; i < sh.glyphs.size(); ++i) {
      pos[i] = CGPoint{pen, 0};
      pen += sh.adv[i].width;
    }
    CGContextSaveGState(ctx);
    if (color)
      CGContextSetFillColorWithColor(ctx, color);
    else
      CGContextSetRGBFillColor(ctx, 0, 0, 0, 1);
    CGContextSetTextPosition(ctx, x, baseline);
    CTFontDrawGlyphs(font, sh.glyphs.data(), pos.data(), sh.glyphs.size(), ctx);
    CGContextRestoreGState(ctx);
  }

  std::string resolveFaceName(const char* name) override {
    // The PostScript name of the face the name resolves to at size 10 (a fallback face
    // when this machine lacks the one asked for), so later fonts skip the search.
    CTFontRef f = CTFontCreateWithNameUTF8(name, 10, nullptr);
    std::string ps;
    if (f) {
      const char* p = CTFontGetPostScriptNameUTF8(f);
      if (p) ps = p;
      CTFontRelease(f);
    }
    return ps;
  }
};

CoreTextEngine s_coreTextEngine;
WAPI_TextEngine* s_engine = nullptr;

}  // namespace

void WAPI_SetTextEngine(WAPI_TextEngine* engine) { s_engine = engine; }

WAPI_TextEngine* WAPI_GetTextEngine() { return s_engine ? s_engine : &s_coreTextEngine; }
