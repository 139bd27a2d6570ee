#include "CTFieldText.h"

#include <algorithm>

namespace {

std::vector<UniChar> utf16(const std::vector<uint32_t>& chars, std::vector<size_t>* firstUnit) {
  std::vector<UniChar> units;
  for (uint32_t ch : chars) {
    if (firstUnit) firstUnit->push_back(units.size());
    if (ch >= 0x10000) {
      units.push_back(UniChar(0xD800 + ((ch - 0x10000) >> 10)));
      units.push_back(UniChar(0xDC00 + ((ch - 0x10000) & 0x3FF)));
    } else {
      units.push_back(UniChar(ch));
    }
  }
  if (firstUnit) firstUnit->push_back(units.size());
  return units;
}

}  // namespace

double ct_standin::TextWidth(const char* font, double size, const std::vector<uint32_t>& chars) {
  CTFontRef f = CTFontCreateWithNameUTF8(font, size, nullptr);
  if (!f) return 0;
  const std::vector<UniChar> units = utf16(chars, nullptr);
  std::vector<CGGlyph> glyphs(units.size());
  CTFontGetGlyphsForCharacters(f, units.data(), glyphs.data(), CFIndex(units.size()));
  const double width =
      CTFontGetAdvancesForGlyphs(f, kCTFontOrientationHorizontal, glyphs.data(), nullptr, CFIndex(glyphs.size()));
  CTFontRelease(f);
  return width;
}

void ct_standin::DrawFieldText(CGContextRef c, CGRect b, const std::vector<uint32_t>& chars, const FieldText& how) {
  CTFontRef font = CTFontCreateWithNameUTF8(how.font, how.size, nullptr);
  if (!font) return;
  std::vector<size_t> firstUnit;  // of each character
  const std::vector<UniChar> units = utf16(chars, &firstUnit);
  std::vector<CGGlyph> glyphs(units.size());
  std::vector<CGSize> advances(units.size());
  CTFontGetGlyphsForCharacters(font, units.data(), glyphs.data(), CFIndex(units.size()));
  const double width = CTFontGetAdvancesForGlyphs(font, kCTFontOrientationHorizontal, glyphs.data(), advances.data(),
                                                  CFIndex(glyphs.size()));
  const double ascent = CTFontGetAscent(font), descent = CTFontGetDescent(font);
  double x = b.origin.x + 2;
  if (how.align == 1)
    x = b.origin.x + (b.size.width - width) / 2;
  else if (how.align == 2)
    x = b.origin.x + b.size.width - 2 - width;
  const double baseline = b.origin.y + (b.size.height - (ascent + descent)) / 2 + descent;
  std::vector<CGPoint> positions(units.size());
  std::vector<double> edge(units.size() + 1, x);  // left edge of each unit
  for (size_t i = 0; i < units.size(); ++i) {
    positions[i] = CGPointMake(edge[i], baseline);
    edge[i + 1] = edge[i] + advances[i].width;
  }
  if (how.editing) {
    const size_t s = std::min(how.selStart, chars.size()), e = std::min(std::max(how.selEnd, s), chars.size());
    const double x0 = edge[firstUnit[s]], x1 = edge[firstUnit[e]];
    if (e > s) {  // the selection, in the usual light blue
      CGContextSetRGBFillColor(c, 0.70, 0.82, 1.0, 1.0);
      CGContextFillRect(c, CGRectMake(x0, b.origin.y + 1, x1 - x0, b.size.height - 2));
    } else {  // the caret
      CGContextSetRGBFillColor(c, how.rgb[0], how.rgb[1], how.rgb[2], 1.0);
      CGContextFillRect(c, CGRectMake(x0, baseline - descent, 1, ascent + descent));
    }
  }
  CGContextSetRGBFillColor(c, how.rgb[0], how.rgb[1], how.rgb[2], how.alpha);
  CGContextSetTextMatrix(c, CGAffineTransform{1, 0, 0, 1, 0, 0});
  CGContextSetTextPosition(c, 0, 0);
  CTFontDrawGlyphs(font, glyphs.data(), positions.data(), glyphs.size(), c);
  CTFontRelease(font);
}
