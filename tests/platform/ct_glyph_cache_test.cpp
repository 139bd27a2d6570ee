// Rendered glyphs are kept per face and size up to a limit, then started again; text drawn
// after the restart must come out as it did before it.
#include <CoreText/CoreText.h>

#include <gtest/gtest.h>

#include <vector>

#include "cg_test_bitmap.h"

namespace {

// One large glyph at a pen fraction of its own; 16 x 16 fractions render more than a face keeps.
std::vector<uint8_t> drawAt(CTFontRef f, int fx, int fy) {
  CGTestBitmap bm(120, 120);
  const UniChar w = 'W';
  CGGlyph g = 0;
  CTFontGetGlyphsForCharacters(f, &w, &g, 1);
  const CGPoint pos{0, 0};
  CGContextSetRGBFillColor(bm.c, 1, 1, 1, 1);
  CGContextSetTextPosition(bm.c, 4 + fx / 16.0, 30 + fy / 16.0);
  CTFontDrawGlyphs(f, &g, &pos, 1, bm.c);
  return bm.buf;
}

}  // namespace

TEST(CTFontGlyphCache, GlyphsDrawnAgainAfterTheCacheRestartsMatchTheirFirstDrawing) {
  CTFontRef f = CTFontCreateWithNameUTF8("DejaVu Sans", 96, nullptr);
  ASSERT_NE(f, nullptr);
  std::vector<std::vector<uint8_t>> first;
  for (int round = 0; round < 3; ++round)
    for (int k = 0; k < 256; ++k) {
      std::vector<uint8_t> px = drawAt(f, k % 16, k / 16);
      if (round == 0) {
        ASSERT_NE(px, std::vector<uint8_t>(px.size(), 0)) << "fraction " << k << " drew nothing";
        first.push_back(std::move(px));
      } else {
        ASSERT_EQ(px, first[size_t(k)]) << "round " << round << " fraction " << k;
      }
    }
  CTFontRelease(f);
}

// One line whose renderings alone pass the limit: the restart comes in the middle of drawing it.
TEST(CTFontGlyphCache, ALineThatOverrunsTheCacheDrawsAsItsGlyphsDoOneByOne) {
  CTFontRef f = CTFontCreateWithNameUTF8("DejaVu Sans", 128, nullptr);
  ASSERT_NE(f, nullptr);
  const UniChar w = 'W';
  CGGlyph g = 0;
  CTFontGetGlyphsForCharacters(f, &w, &g, 1);
  const int n = 120;  // each at a pen fraction of its own, well apart
  std::vector<CGGlyph> glyphs(n, g);
  std::vector<CGPoint> pos;
  for (int i = 0; i < n; ++i) pos.push_back(CGPoint{i * 135 + (i % 64) / 64.0, (i / 64) / 4.0});
  CGTestBitmap line(n * 135 + 20, 160), alone(n * 135 + 20, 160);
  for (CGTestBitmap* bm : {&line, &alone}) {
    CGContextSetRGBFillColor(bm->c, 1, 1, 1, 1);
    CGContextSetTextPosition(bm->c, 4, 40);
  }
  CTFontDrawGlyphs(f, glyphs.data(), pos.data(), size_t(n), line.c);
  for (int i = 0; i < n; ++i) CTFontDrawGlyphs(f, &glyphs[size_t(i)], &pos[size_t(i)], 1, alone.c);
  EXPECT_EQ(line.buf, alone.buf);
  EXPECT_NE(line.buf, std::vector<uint8_t>(line.buf.size(), 0));
  CTFontRelease(f);
}
