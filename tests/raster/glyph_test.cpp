// Glyph rendering (turning, mono, shadow, outline) and stamping on hand-made coverage maps;
// the cached font's UTF-8 walk and measuring over fixed glyph metrics.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "glyph_fake_source.h"
#include "kit/raster/rast_glyph.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using Rows = std::vector<std::vector<unsigned char>>;

class Glyphs : public ::testing::Test {
 protected:
  void useFont(int flags, int lineheight = 14) {
    src.lineheight = lineheight;
    font.SetGlyphSource(&src);
    font.SetFromHFont(rt::kFakeFont, flags);
  }
  // The coverage map of c as rows, rendered first.
  Rows mapOf(unsigned short c) {
    font.RenderGlyph(c);
    const RAST_GlyphRecord* rec = font.findChar(c);
    const unsigned char* m = font.GetCoverage(rec);
    Rows out;
    for (int y = 0; m && y < rec->height; y++) out.emplace_back(m + y * rec->width, m + (y + 1) * rec->width);
    return out;
  }
  rt::FakeGlyphSource src;
  RAST_CachedFont font;
};

class FontLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    // Widths: A 7, B 9, space 4, a..f 5..10, x 5, U+00E9 6; "?" has no glyph.
    for (auto g : {std::make_tuple("A", 7, 10), std::make_tuple("B", 9, 12), std::make_tuple("a", 5, 8),
                   std::make_tuple("b", 6, 8), std::make_tuple("c", 7, 8), std::make_tuple("d", 8, 8),
                   std::make_tuple("e", 9, 8), std::make_tuple("f", 10, 8), std::make_tuple("\xC3\xA9", 6, 11),
                   std::make_tuple("x", 5, 8)})
      src.solid(std::get<0>(g), std::get<1>(g), std::get<2>(g));
    src.solid(" ", 4, 10, 0);
    font.SetGlyphSource(&src);
    font.SetFromHFont(rt::kFakeFont, 0);
    font.SetTextColor(0xFFFFFFFFu);
  }
  // Width and height measured, and the result.
  std::vector<int> measure(const char* text, int count = -1, unsigned int flags = 0) {
    RECT r = {10, 20, 999, 999};
    const int res = font.DrawText(nullptr, text, count, &r, flags | 0x1);
    return {r.right - 10, r.bottom - 20, res};
  }
  rt::FakeGlyphSource src;
  RAST_CachedFont font;
};

}  // namespace

TEST_F(Glyphs, FlagsTurnInvertThresholdAndRingTheCoverage) {
  const Rows abc = {{1, 2, 3}, {4, 5, 6}};
  const struct {
    const char* what;
    int flags;
    Rows in, want;
  } cases[] = {
      {"invert", RAST_FONT_INVERT, {{0, 100}, {255, 7}}, {{255, 155}, {0, 248}}},
      {"mono: 130 empty, 131 ink", RAST_FONT_MONO, {{130, 131, 0, 255}}, {{0, 255, 0, 255}}},
      {"vertical: top faces right", RAST_FONT_VERTICAL, abc, {{4, 1}, {5, 2}, {6, 3}}},
      {"bottom-up: the vertical map turned a half turn", RAST_FONT_VERTICAL | RAST_FONT_BOTTOMUP, abc,
       {{3, 6}, {2, 5}, {1, 4}}},
      {"shadow right, below and below right", RAST_FONT_SHADOW, {{0, 0, 0}, {0, 200, 0}, {0, 0, 0}},
       {{0, 0, 0}, {0, 255, 128}, {0, 128, 128}}},
      {"shadow wins over outline", RAST_FONT_SHADOW | RAST_FONT_OUTLINE, {{0, 0, 0}, {0, 200, 0}, {0, 0, 0}},
       {{0, 0, 0}, {0, 255, 128}, {0, 128, 128}}},
      {"outline on four sides; 130 is no ink", RAST_FONT_OUTLINE, {{0, 0, 130}, {0, 131, 0}, {0, 0, 0}},
       {{0, 128, 0}, {128, 255, 128}, {0, 128, 0}}},
      {"effects past the box are lost, never ringed again", RAST_FONT_SHADOW, {{0, 0}, {0, 255}}, {{0, 0}, {0, 255}}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    src.pattern("v", (int)k.in[0].size(), k.in);
    useFont(k.flags);
    EXPECT_EQ(mapOf('v'), k.want);
    EXPECT_EQ(font.findChar('v')->advance, (int)k.in[0].size());
  }
  useFont(RAST_FONT_BLUR);
  src.pattern("o", 3, {{0, 0, 0}, {0, 255, 0}, {0, 0, 0}});
  const Rows blurred = mapOf('o');
  EXPECT_LT(blurred[1][1], 255);
  EXPECT_GT(blurred[1][0] + blurred[0][1] + blurred[1][2] + blurred[2][1], 0);
}

TEST_F(Glyphs, InkPastTheAdvanceIsKeptUpToTheMarginOfTheLineHeight) {
  // Advance 7 with ink in all 20 columns: the map keeps advance + margin columns.
  const struct {
    int lineheight, width;
  } cases[] = {{15, 7 + 2}, {16, 7 + 3}, {31, 7 + 3}, {32, 7 + 4}, {48, 7 + 5}};
  src.pattern("W", 7, {std::vector<unsigned char>(20, 255), std::vector<unsigned char>(20, 255)});
  src.pattern("i", 7, {{0, 255, 0, 0, 0, 0, 0, 0}, {0, 255, 0, 0, 0, 0, 0, 0}});
  for (const auto& k : cases) {
    useFont(0, k.lineheight);
    EXPECT_EQ(mapOf('W')[0].size(), (size_t)k.width) << "line height " << k.lineheight;
    EXPECT_EQ(mapOf('i')[0].size(), 7u) << "ink inside the advance keeps the advance";
  }
}

TEST_F(Glyphs, EachRendererMixesItsPixelsAtItsWeight) {
  const uint32_t text = 0x115A14FAu, t255 = text | 255, effect = RAST_MakePixel(5, 200, 60, 255);
  const uint32_t bg = 0x10305070u, bk = 0x11223300u;
  auto mix = [&](uint32_t c, int w, int (*ch)(int, int, int64_t)) {
    const ref::Px D = ref::unpack(bg), C = ref::unpack(c);
    return ref::pack({ch(D.a, 255, w), ch(D.r, C.r, w), ch(D.g, C.g, w), ch(D.b, C.b, w)});
  };
  auto copy = [&](uint32_t c, int w) { return mix(c, w, ref::copyCh); };
  auto add = [&](int w) { return mix(text, w, ref::addCh); };
  const struct {
    const char* what;
    int flags;
    float alpha;
    int mode, bkmode;
    std::vector<uint32_t> want;  // the top row of the 4 x 3 bitmap and the second row's middle
  } cases[] = {
      {"normal at full strength: v + 1", 0, 1.0f, 0, 0, {copy(text, 201), copy(text, 101), bg, bg, t255}},
      {"normal above full strength: held at 256", 0, 2.0f, 0, 0, {t255, copy(text, 200), bg, bg, t255}},
      {"normal in add mode: v * a / 256", 0, 0.5f, 1, 0, {add(100), add(50), bg, bg, add(127)}},
      {"mono store: the colour word as it is", RAST_FONT_MONO, 1.0f, 0, 0, {text, bg, bg, bg, text}},
      {"shadow at half", RAST_FONT_SHADOW, 0.5f, 0, 0, {copy(text, 128), copy(effect, 128), bg, bg, copy(text, 128)}},
      {"an unknown mode: nothing, background included", 0, 1.0f, 6, 1, {bg, bg, bg, bg, bg}},
      // The background fill drops the source-alpha bit: alpha byte 0 still paints.
      {"background in the glyph box only", RAST_FONT_MONO, 1.0f, 0x10000, 1, {text, bk, bk, bg, text}},
  };
  src.pattern("g", 3, {{200, 100, 0}, {0, 255, 0}});
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    useFont(k.flags);
    font.SetTextColor(text);
    font.SetEffectColor(effect);
    font.SetCombineMode(k.mode, k.alpha);
    font.SetBkMode(k.bkmode);
    font.SetBkColor(bk);
    font.RenderGlyph('g');
    rt::Filled bm(4, 3, bg);
    RECT clip = {0, 0, 4, 3};
    EXPECT_TRUE(font.DrawGlyph(&bm, 'g', 0, 0, &clip));
    EXPECT_EQ((std::vector<uint32_t>{at(bm, 0, 0), at(bm, 1, 0), at(bm, 2, 0), at(bm, 3, 0), at(bm, 1, 1)}), k.want);
  }
}


TEST_F(FontLayout, MeasuredSizeFollowsLineFeedsCountsAndUtf8Sequences) {
  EXPECT_EQ(font.GetLineHeight(), 14);
  const struct {
    const char* text;
    int count;
    unsigned int flags;
    std::vector<int> want;  // width, height, result
  } cases[] = {
      {"AB", -1, 0, {16, 12, 12}},
      {"A\nB", -1, 0, {9, 14 + 12, 26}},       // one line height plus B; the wider glyph's width
      {"A\nB", -1, 0x40, {7 + 4 + 9, 12, 12}},  // single line: the line feed measures as a space
      {"A\rB\r", -1, 0, {16, 12, 12}},          // a carriage return measures as nothing
      {"A?B", -1, 0, {16, 12, 12}},             // no glyph: neither drawn nor advanced
      {"\xF0\x9F\x98\x80", -1, 0, {4, 10, 10}},  // a four-byte sequence is one space
      {"\xE9", -1, 0, {6, 11, 11}},             // a lone E9 is character E9
      {"abcdef", 3, 0, {5 + 6 + 7, 8, 8}},      // a positive count limits the bytes
      {"abcdef", 0, 0, {0, 0, 0}},
      {"\xC3\xA9x", 1, 0, {6, 11, 11}},  // a count ending inside a character takes all of it
  };
  for (const auto& k : cases)
    EXPECT_EQ(measure(k.text, k.count, k.flags), k.want) << "\"" << k.text << "\" count " << k.count;
  EXPECT_EQ(font.findChar('?')->coverage, -1);
  EXPECT_NE(std::find(src.drawn.begin(), src.drawn.end(), "\xC3\xA9"), src.drawn.end());  // E9 re-encoded
}

TEST_F(FontLayout, ASequenceCutByTheTerminatorIsReadNoFurther) {
  const char text[] = {'\xE2', '\x82', 0, 'x', 0};  // promises three bytes; the terminator comes first
  measure(text);
  EXPECT_EQ(src.asked, (std::vector<std::string>{"\xC3\xA2", "\xC2\x82"}));
}

TEST_F(FontLayout, AlignmentPlacesTheMeasuredBoxAndOnlyNoClipLetsItLeaveTheRectangle) {
  // "abcdef" is 45 wide and 8 high; the rectangle (10, 20)-(30, 60) is 20 wide and 40 high.
  const struct {
    unsigned int flags;
    std::vector<int> ink;  // left, top, right, bottom (exclusive) of the pixels drawn
  } cases[] = {
      {0x0, {10, 20, 30, 28}},
      {0x4, {10, 20, 30, 28}},            // centred from x -2, cut to the rectangle
      {0x4 | 0x100, {0, 20, 43, 28}},     // -2 + 45, the bitmap's edge the only limit
      {0x20 | 0x100, {0, 20, 30, 28}},    // right-aligned from x -15
      {0x4 | 0x20 | 0x100, {0, 20, 43, 28}},  // centring wins
      {0x2, {10, 36, 30, 44}},            // 20 + (40 - 8) / 2
      {0x10, {10, 52, 30, 60}},
  };
  for (const auto& k : cases) {
    rt::Filled bm(64, 64);
    RECT r = {10, 20, 30, 60};
    EXPECT_EQ(font.DrawText(&bm, "abcdef", -1, &r, k.flags), 8) << std::hex << k.flags;
    std::vector<int> ink = {64, 64, -1, -1};
    for (int y = 0; y < 64; y++)
      for (int x = 0; x < 64; x++)
        if (at(bm, x, y))
          ink = {std::min(ink[0], x), std::min(ink[1], y), std::max(ink[2], x + 1), std::max(ink[3], y + 1)};
    EXPECT_EQ(ink, k.ink) << std::hex << k.flags;
  }
}

TEST_F(FontLayout, APrerenderedFontHasEveryAsciiGlyphAndNeverRendersBeyond) {
  RAST_CachedFont pre;
  pre.SetGlyphSource(&src);
  pre.SetFromHFont(rt::kFakeFont, RAST_FONT_PRERENDER);
  EXPECT_GT(pre.findChar('a')->coverage, 0) << "rendered before any text";
  EXPECT_EQ(pre.findChar('?')->coverage, -1);
  RECT r = {0, 0, 0, 0};
  EXPECT_EQ(pre.DrawText(nullptr, "\xC3\xA9\xC3\xA9", -1, &r, 0x1), 0);
  EXPECT_EQ(r.right, 0);
  EXPECT_EQ(r.bottom, 0);
  EXPECT_EQ(pre.GetGlyphListCount(), 0);
  rt::Filled bm(16, 16);
  r = {0, 0, 16, 16};
  EXPECT_EQ(pre.DrawText(&bm, "\xC3\xA9", -1, &r, 0), 0);
  EXPECT_EQ(rt::countSet(bm), 0);
}
