// The text stand-in: face lookup with fallbacks, metrics, glyphs and advances.
#include <CoreText/CoreText.h>

#include <gtest/gtest.h>

#include <string>

namespace {
std::string family(CTFontRef f) { return f ? CTFontGetFamilyNameUTF8(f) : "(none)"; }
std::string ps(CTFontRef f) { return f ? CTFontGetPostScriptNameUTF8(f) : "(none)"; }

struct Font {
  CTFontRef f;
  explicit Font(const char* name, double size = 12) : f(CTFontCreateWithNameUTF8(name, size, nullptr)) {}
  ~Font() { CTFontRelease(f); }
};
}  // namespace

TEST(CTFontLookup, InstalledFacesAreFoundByNameAndMissingOnesFallBackKeepingTheirStyle) {
  struct Case {
    const char* name;
    bool byPostScript;  // otherwise by family
    const char* want;
  } cases[] = {
      {"DejaVu Sans", true, "DejaVuSans"},
      {"DejaVu Sans Bold", true, "DejaVuSans-Bold"},
      {"DejaVu Sans Bold Italic", true, "DejaVuSans-BoldOblique"},
      {"DejaVu Serif", false, "DejaVu Serif"},
      {"DejaVuSansMono-Bold", true, "DejaVuSansMono-Bold"},  // a PostScript name finds its face
      {"Helvetica", false, "DejaVu Sans"},
      {"Courier New", false, "DejaVu Sans Mono"},  // monospace names go to the mono face
      {"Monaco", false, "DejaVu Sans Mono"},
      {"No Such Face 123", false, "DejaVu Sans"},
      {"Helvetica Bold", true, "DejaVuSans-Bold"},  // the style survives the fallback
  };
  for (const Case& c : cases) {
    Font f(c.name);
    EXPECT_EQ(c.byPostScript ? ps(f.f) : family(f.f), c.want) << c.name;
  }
}

TEST(CTFontLookup, EmptyNamesAndBadSizesStillGiveAFont) {
  Font empty(""), null(nullptr), zero("DejaVu Sans", 0), nan("DejaVu Sans", 0.0 / 0.0);
  EXPECT_NE(empty.f, nullptr);
  EXPECT_NE(null.f, nullptr);
  EXPECT_EQ(CTFontGetSize(zero.f), 12);
  EXPECT_EQ(CTFontGetSize(nan.f), 12);
}

TEST(CTFontMetrics, AscentDescentAndAdvancesScaleWithTheSize) {
  Font small("DejaVu Sans", 10), big("DejaVu Sans", 20);
  EXPECT_NEAR(CTFontGetAscent(big.f), 2 * CTFontGetAscent(small.f), 1e-9);
  EXPECT_NEAR(CTFontGetDescent(big.f), 2 * CTFontGetDescent(small.f), 1e-9);
  EXPECT_GT(CTFontGetAscent(small.f), 7);
  EXPECT_LT(CTFontGetAscent(small.f), 11);
  UniChar text[3] = {'W', 'i', 0x00E9};
  CGGlyph gs[3], gb[3];
  EXPECT_TRUE(CTFontGetGlyphsForCharacters(small.f, text, gs, 3));
  EXPECT_TRUE(CTFontGetGlyphsForCharacters(big.f, text, gb, 3));
  CGSize adv[3];
  double ws = CTFontGetAdvancesForGlyphs(small.f, kCTFontOrientationHorizontal, gs, adv, 3);
  double wb = CTFontGetAdvancesForGlyphs(big.f, kCTFontOrientationHorizontal, gb, nullptr, 3);
  EXPECT_NEAR(wb, 2 * ws, 1e-6);
  EXPECT_GT(adv[0].width, adv[1].width) << "W is wider than i";
  EXPECT_NEAR(ws, adv[0].width + adv[1].width + adv[2].width, 1e-9);
}

TEST(CTFontGlyphs, MissingCharactersAndSurrogatePairsAreReported) {
  Font f("DejaVu Sans");
  UniChar pair[3] = {0xD83C, 0xDFB9, 'a'};
  CGGlyph g[3] = {9, 9, 9};
  CTFontGetGlyphsForCharacters(f.f, pair, g, 3);
  EXPECT_EQ(g[1], 0) << "the second unit of a pair holds no glyph";
  EXPECT_NE(g[2], 0);
  UniChar lone[1] = {0xDC00};
  CGGlyph h[1];
  EXPECT_FALSE(CTFontGetGlyphsForCharacters(f.f, lone, h, 1));
  EXPECT_FALSE(CTFontGetGlyphsForCharacters(nullptr, lone, h, 1));
}
