// The typographic half of native text: font metrics, line bounds, line drawing and face-name
// resolution. The layer's text formulas sit above it; the default engine is the platform's
// text system, and tests may put a scripted one in its place.
#pragma once

#include "kit/wapi/wapi-gdi.h"

#include <string>

struct WAPI_LineBounds {
  double width;
  double ascent;
  double descent;
  double leading;
};

class WAPI_TextEngine {
 public:
  virtual ~WAPI_TextEngine() = default;
  // The font's ascent, descent and leading; false when the font cannot be measured.
  virtual bool fontMetrics(CTFontRef font, double* ascent, double* descent, double* leading) = 0;
  // Bounds of one line of valid UTF-8 without line feeds.
  virtual WAPI_LineBounds lineBounds(CTFontRef font, const char* utf8, int length) = 0;
  // Draws one line with its baseline origin at (x, baseline) in the context's coordinates, in
  // `color` (black when NULL).
  virtual void drawLine(CGContextRef ctx, CTFontRef font, CGColorRef color, const char* utf8,
                        int length, double x, double baseline) = 0;
  // The name the text system knows a composed face name by (its PostScript name), or empty
  // when it knows none.
  virtual std::string resolveFaceName(const char* composedName) = 0;
};

// NULL puts the platform engine back. Not synchronised: set it before drawing starts.
void WAPI_SetTextEngine(WAPI_TextEngine* engine);
WAPI_TextEngine* WAPI_GetTextEngine();

// The font-name cache: the number of composed names resolved so far, and the name stored for
// one (empty when absent). For diagnostics and tests.
int WAPI_FontNameCacheSize();
std::string WAPI_FontNameCacheLookup(const char* composedName);

// Length of the longest prefix of `s` (at most `length` bytes) that ends on a character
// boundary; 0..length. Used wherever text is cut to a byte limit.
int WAPI_Utf8BoundaryPrefix(const char* s, int length);
// True when the bytes are well-formed UTF-8.
bool WAPI_IsValidUtf8(const char* s, int length);
// Length of the well-formed UTF-8 sequence at s (at most avail bytes), 0 when there is none.
int WAPI_Utf8SequenceLength(const char* s, int avail);
