// CoreText stand-in over FreeType and fontconfig: fonts by name or PostScript name, their
// typographic metrics, glyph lookup and advances, and glyph drawing into a bitmap context.
// Faces Linux lacks fall back to DejaVu Sans, or DejaVu Sans Mono for a monospace name.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <cstddef>
#include <cstdint>

typedef struct QORCTFont* CTFontRef;
typedef uint16_t UniChar;
typedef uint16_t CGGlyph;
typedef long CFIndex;

enum CTFontOrientation : uint32_t {
  kCTFontOrientationDefault = 0,
  kCTFontOrientationHorizontal = 1,
  kCTFontOrientationVertical = 2,
};

enum CTFontUIFontType : uint32_t {
  kCTFontUIFontSystem = 2,
  kCTFontUIFontLabel = 10,
};

// Names cross this stand-in as UTF-8 C strings; the text system itself has no string class.
// A NULL or empty name, or a size that is not positive, gives the default face at size 12.
// Answers NULL only when no face at all can be loaded. The matrix is ignored.
CTFontRef CTFontCreateWithNameUTF8(const char* name, CGFloat size, const CGAffineTransform* matrix);
// The system's label or system font.
CTFontRef CTFontCreateUIFontForLanguage(CTFontUIFontType type, CGFloat size, const char* language);
CTFontRef CTFontRetain(CTFontRef font);
void CTFontRelease(CTFontRef font);

// PostScript and family names of the face behind the font, valid while the font lives.
const char* CTFontGetPostScriptNameUTF8(CTFontRef font);
const char* CTFontGetFamilyNameUTF8(CTFontRef font);

CGFloat CTFontGetSize(CTFontRef font);
CGFloat CTFontGetAscent(CTFontRef font);
CGFloat CTFontGetDescent(CTFontRef font);
CGFloat CTFontGetLeading(CTFontRef font);

// Maps UTF-16 code units to glyphs; a surrogate pair yields its glyph at the first unit and
// glyph 0 at the second. Answers false when any character has no glyph (glyph 0 is stored).
bool CTFontGetGlyphsForCharacters(CTFontRef font, const UniChar* characters, CGGlyph* glyphs,
                                  CFIndex count);
// Unhinted advances; answers their sum. `advances` may be NULL.
double CTFontGetAdvancesForGlyphs(CTFontRef font, CTFontOrientation orientation,
                                  const CGGlyph* glyphs, CGSize* advances, CFIndex count);
// Draws glyph outlines in the context's fill colour. Each position is a glyph origin in text
// space; the text matrix maps it and the glyph shape, the text position is added, and the
// CTM takes the result to the device. Antialiasing follows the context's setting.
void CTFontDrawGlyphs(CTFontRef font, const CGGlyph* glyphs, const CGPoint* positions,
                      size_t count, CGContextRef context);
