// Font objects, the face-name cache, text metrics and native text drawing.
#include "kit/wapi/wapi-gdi-internal.h"
#include "kit/wapi/wapi-text-engine.h"

#include "kit/mutex.h"
#include "kit/stringkeyedarray.h"

#include <CoreText/CoreText.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <algorithm>

namespace {

void releaseString(char* s) { free(s); }

// Composed face name -> the name handed to the text system. Entries live until unload.
KIT_StringKeyedArray<char*>& s_fontnamecache() {
  static KIT_StringKeyedArray<char*> cache(true, releaseString);
  return cache;
}

KIT_Mutex& s_fontnamecache_mutex() {
  static KIT_Mutex m;
  return m;
}

CTFontRef GetCoreTextDefaultFont() {
  // Created once; a failed creation is not repeated.
  static CTFontRef font = CTFontCreateUIFontForLanguage(kCTFontUIFontLabel, 10, nullptr);
  return font;
}

// The CoreText font to measure and draw with: the selected font's, else the default.
CTFontRef contextFont(HDC ctx, GDP_OBJECT** selected) {
  GDP_OBJECT* f = ctx->curFont;
  if (wapiObjectIs(f, WAPI_GDI_FONT) && f->font) {
    if (selected) *selected = f;
    return f->font;
  }
  if (selected) *selected = nullptr;
  return GetCoreTextDefaultFont();
}

constexpr int kMaxComposedFace = 899;

}  // namespace

int WAPI_FontNameCacheSize() {
  KIT_MutexLock lock(&s_fontnamecache_mutex());
  return s_fontnamecache().GetSize();
}

std::string WAPI_FontNameCacheLookup(const char* name) {
  KIT_MutexLock lock(&s_fontnamecache_mutex());
  const char* v = s_fontnamecache().Get(name, nullptr);
  return v ? v : "";
}

HGDIOBJ CreateFont(int height, int width, int, int orientation, int weight, char italic, char,
                   char, char, char, char, char quality, char, const char* faceName) {
  GDP_OBJECT* obj = GDP_OBJECT_NEW();
  if (!obj) return nullptr;
  obj->type = WAPI_GDI_FONT;

  float size = std::fabs(float(height ? height : width));
  if (size > 8192.0f || size < 2.0f) size = 10.0f;
  obj->angle = float(orientation) / 10.0f;

  char composed[kMaxComposedFace + 16];
  size_t n = faceName ? strnlen(faceName, kMaxComposedFace) : 0;
  // Never cut a face name inside a character.
  n = size_t(WAPI_Utf8BoundaryPrefix(faceName, int(n)));
  if (n) memcpy(composed, faceName, n);
  composed[n] = 0;
  if (weight >= 700) strcat(composed, " Bold");
  if (italic) strcat(composed, " Italic");

  std::string textName;
  if (composed[0]) {
    bool found = false;
    {
      KIT_MutexLock lock(&s_fontnamecache_mutex());
      const char* v = s_fontnamecache().Get(composed, nullptr);
      if (v) {
        textName = v;
        found = true;
      }
    }
    // A name that is not text (neither UTF-8 nor ASCII) goes as the empty name, uncached.
    if (!found && WAPI_IsValidUtf8(composed, int(strlen(composed)))) {
      std::string ps = WAPI_GetTextEngine()->resolveFaceName(composed);
      textName = ps.empty() ? composed : ps;
      char* value = strdup(textName.c_str());
      if (value) {
        KIT_MutexLock lock(&s_fontnamecache_mutex());
        s_fontnamecache().Insert(composed, value);
      }
    }
  }

  obj->font = CTFontCreateWithNameUTF8(textName.c_str(), size, nullptr);
  if (!obj->font) obj->font = CTFontCreateUIFontForLanguage(kCTFontUIFontLabel, size, nullptr);

  unsigned char q = static_cast<unsigned char>(quality);
  obj->antialiasMode = (q == 3 || q == 4) ? q : 0;
  return obj;
}

HGDIOBJ CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return nullptr;
  // The face name field need not be terminated.
  char face[sizeof(lf->lfFaceName) + 1];
  memcpy(face, lf->lfFaceName, sizeof(lf->lfFaceName));
  face[sizeof(lf->lfFaceName)] = 0;
  return CreateFont(lf->lfHeight, lf->lfWidth, 0, lf->lfOrientation, lf->lfWeight, lf->lfItalic,
                    0, 0, 0, 0, 0, lf->lfQuality, 0, face);
}

BOOL GetTextMetrics(HDC ctx, TEXTMETRIC* tm) {
  if (tm) {
    tm->tmHeight = 16;
    tm->tmAscent = 12;
    tm->tmDescent = 4;
    tm->tmInternalLeading = 3;
    tm->tmAveCharWidth = 10;
  }
  if (!wapiValidCtx(ctx) || !tm) return 0;
  CTFontRef font = contextFont(ctx, nullptr);
  double a, d, l;
  if (!font || !WAPI_GetTextEngine()->fontMetrics(font, &a, &d, &l)) return 1;
  tm->tmInternalLeading = int32_t(l);
  tm->tmAscent = int32_t(a);
  tm->tmDescent = int32_t(d);
  int h = tm->tmDescent + tm->tmInternalLeading + tm->tmAscent;
  tm->tmAveCharWidth = h * 2 / 3;
  tm->tmHeight = h ? h + 1 : 0;
  return 1;
}

namespace {

constexpr int kTextBuffer = 4096;

// Copies the caller's text into `out` (at most kTextBuffer - 1 bytes): carriage returns
// dropped, '&' prefixes resolved unless kept, line feeds turned into blanks on one line.
// Answers the prepared length; the text is always cut on a character boundary.
int prepareText(const char* text, int count, int flags, char* out) {
  int n = 0;
  bool cut = false;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  for (int i = 0; count < 0 || i < count; ++i) {
    unsigned char c = s[i];
    if (!c) break;
    if (c == '\r') continue;
    if (c == '&' && !(flags & DT_NOPREFIX)) {
      ++i;
      if ((count >= 0 && i >= count) || !s[i]) break;  // a trailing '&' ends the text
      c = s[i];
    } else if (c == '\n' && (flags & DT_SINGLELINE)) {
      c = ' ';
    }
    if (n >= kTextBuffer - 1) {
      cut = true;
      break;
    }
    out[n++] = char(c);
  }
  if (cut || n > 0) n = WAPI_Utf8BoundaryPrefix(out, n);
  out[n] = 0;
  return n;
}

struct Line {
  int start, length;
  WAPI_LineBounds b;
};

}  // namespace

int WAPI_DrawText(HDC ctx, const char* text, int count, RECT* rect, int flags) {
  if (!wapiValidCtx(ctx) || !text || !rect) return 0;
  char buf[kTextBuffer];
  const int len = prepareText(text, count, flags, buf);
  if (len == 0) return 0;
  if (!WAPI_IsValidUtf8(buf, len)) return 0;

  GDP_OBJECT* selected = nullptr;
  CTFontRef font = contextFont(ctx, &selected);
  if (!font) return 0;
  WAPI_TextEngine* engine = WAPI_GetTextEngine();

  const bool multi = memchr(buf, '\n', size_t(len)) != nullptr;
  int W = 0, H = 0;
  WAPI_LineBounds one{0, 0, 0, 0};
  // Lines are laid out one per paragraph; a final line feed opens no further line.
  std::vector<Line> lines;
  if (!multi) {
    one = engine->lineBounds(font, buf, len);
    W = int(std::floor(one.width + 0.5));
    H = int(std::floor(one.ascent + one.descent + one.leading + 1.5));
  } else {
    for (int start = 0; start < len;) {
      const char* nl = static_cast<const char*>(memchr(buf + start, '\n', size_t(len - start)));
      int end = nl ? int(nl - buf) : len;
      WAPI_LineBounds b = engine->lineBounds(font, buf + start, end - start);
      lines.push_back(Line{start, end - start, b});
      W = std::max(W, int(std::floor(b.width + 0.5)));
      H += int(std::floor(b.ascent + b.descent + b.leading + 1.5));
      start = end + 1;
    }
  }
  const int R = H ? H + 1 : 0;

  if (flags & DT_CALCRECT) {
    rect->right = rect->left + W;
    rect->bottom = rect->top + R;
    return R;
  }

  // Placement in 64-bit so that extreme rectangles cannot overflow.
  long long x = rect->left, y = rect->top;
  if (flags & DT_RIGHT)
    x += (long long)rect->right - ((long long)rect->left + W);
  else if (flags & DT_CENTER)
    x += ((long long)rect->right - rect->left) / 2 - W / 2;
  if (flags & DT_BOTTOM)
    y += (long long)rect->bottom - R - rect->top;
  else if (flags & DT_VCENTER)
    y += ((long long)rect->bottom - rect->top) / 2 - R / 2;

  CGContextRef cg = ctx->ctx;
  if (!cg) return R;
  CGContextSaveGState(cg);
  CGContextSetTextMatrix(cg, CGAffineTransformMake(1, 0, 0, -1, 0, 0));
  if (!(flags & DT_NOCLIP))
    CGContextClipToRect(cg, CGRectMake(rect->left, rect->top,
                                       double((long long)rect->right - rect->left),
                                       double((long long)rect->bottom - rect->top)));
  CGColorRef bk = ctx->bkMode == OPAQUE ? wapiCreateColor(ctx->bkColor, 1.0f) : nullptr;
  if (selected && selected->antialiasMode)
    CGContextSetShouldAntialias(cg, selected->antialiasMode == 4);

  if (!multi) {
    if (bk) {
      CGContextSetFillColorWithColor(cg, bk);
      CGContextFillRect(cg, CGRectMake(double(x), double(y), W, R));
    }
    engine->drawLine(cg, font, ctx->textColorCG, buf, len, double(x), double(y) + one.ascent);
  } else {
    double ly = double(y);
    for (const Line& line : lines) {
      const WAPI_LineBounds& b = line.b;
      if (bk) {
        CGContextSetFillColorWithColor(cg, bk);
        CGContextFillRect(cg, CGRectMake(double(x), ly, b.width, b.ascent + b.descent + b.leading));
      }
      engine->drawLine(cg, font, ctx->textColorCG, buf + line.start, line.length,
                       double(x), ly + b.ascent);
      ly += std::floor(b.ascent + b.descent + b.leading + 0.5);
    }
  }
  CGContextRestoreGState(cg);
  CGColorRelease(bk);
  return R;
}
