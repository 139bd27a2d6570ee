// The text stand-in: face lookup with fallbacks, metrics, glyphs and advances.
#include <CoreText/CoreText.h>

#include <gtest/gtest.h>

#include <string>

namespace {
struct Font {
  CTFontRef f;
  explicit Font(const char* name, double size = 12) : f(CTFontCreateWithNameUTF8(name, size, nullptr)) {}
  ~Font() { CTFontRelease(f); }
};
}  // namespace

TEST(CTFontLookup, FacesAreFoundByNameAndMissingOnesFallBackKeepingTheirStyle) {
  const struct {
    const char* name;
    bool byPostScript;  // otherwise by family
    const char* want;
  } cases[] = {
      {"DejaVu Sans", true, "DejaVuSans"},
      {"DejaVu Sans Bold Italic", true, "DejaVuSans-BoldOblique"},
      {"DejaVu Serif", false, "DejaVu Serif"},
      {"DejaVuSansMono-Bold", true, "DejaVuSansMono-Bold"},  // a PostScript name finds its face
      {"Helvetica", false, "DejaVu Sans"},
      {"Courier New", false, "DejaVu Sans Mono"},  // monospace names go to the mono face
      {"No Such Face 123", false, "DejaVu Sans"},
      {"Helvetica Bold", true, "DejaVuSans-Bold"},  // the style survives the fallback
      {"", true, "DejaVuSans"},
      {nullptr, true, "DejaVuSans"},
  };
  for (int pass = 0; pass < 2; pass++)  // the second time from the name cache
    for (const auto& c : cases) {
      Font f(c.name);
      ASSERT_NE(f.f, nullptr);
      EXPECT_EQ(c.byPostScript ? CTFontGetPostScriptNameUTF8(f.f) : CTFontGetFamilyNameUTF8(f.f), std::string(c.want))
          << (c.name ? c.name : "(null)");
    }
  EXPECT_EQ(CTFontGetSize(Font("DejaVu Sans", 0).f), 12);
  EXPECT_EQ(CTFontGetSize(Font("DejaVu Sans", 0.0 / 0.0).f), 12);
}

TEST(CTFontMetrics, MetricsAndAdvancesScaleWithTheSizeAndMissingGlyphsAreReported) {
  Font small("DejaVu Sans", 10), big("DejaVu Sans", 20);
  EXPECT_NEAR(CTFontGetAscent(big.f), 2 * CTFontGetAscent(small.f), 1e-9);
  EXPECT_NEAR(CTFontGetDescent(big.f), 2 * CTFontGetDescent(small.f), 1e-9);
  const UniChar text[3] = {'W', 'i', 0x00E9};
  CGGlyph gs[3], gb[3];
  ASSERT_TRUE(CTFontGetGlyphsForCharacters(small.f, text, gs, 3) && CTFontGetGlyphsForCharacters(big.f, text, gb, 3));
  CGSize adv[3];
  const double ws = CTFontGetAdvancesForGlyphs(small.f, kCTFontOrientationHorizontal, gs, adv, 3);
  EXPECT_NEAR(CTFontGetAdvancesForGlyphs(big.f, kCTFontOrientationHorizontal, gb, nullptr, 3), 2 * ws, 1e-6);
  EXPECT_GT(adv[0].width, adv[1].width) << "W is wider than i";
  EXPECT_NEAR(ws, adv[0].width + adv[1].width + adv[2].width, 1e-9);
  const UniChar pair[3] = {0xD83C, 0xDFB9, 'a'}, lone[1] = {0xDC00};
  CGGlyph g[3] = {9, 9, 9};
  CTFontGetGlyphsForCharacters(small.f, pair, g, 3);
  EXPECT_EQ(g[1], 0) << "the second unit of a pair holds no glyph";
  EXPECT_NE(g[2], 0);
  EXPECT_FALSE(CTFontGetGlyphsForCharacters(small.f, lone, g, 1));
  EXPECT_FALSE(CTFontGetGlyphsForCharacters(nullptr, lone, g, 1));
}
