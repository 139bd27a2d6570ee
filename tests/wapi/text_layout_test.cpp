// Fonts, metrics and the text formulas, pinned with a scripted text engine whose typographic
// values are chosen by the test.
#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-text-engine.h"

#include <CoreGraphics/CGContextMask.h>
#include <CoreText/CoreText.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct DrawCall {
  std::string text;
  double x, baseline;
  bool antialias;
  double r, g, b;
};

// Every byte is 7.25 wide; ascent, descent and leading are set per test. Drawing fills the
// line's box in the text colour, so clipping and placement show in the pixels.
class ScriptedEngine : public WAPI_TextEngine {
 public:
  double ascent = 9.8, descent = 2.6, leading = 0, perByte = 7.25;
  int resolves = 0;
  std::vector<DrawCall> draws;

  bool fontMetrics(CTFontRef, double* a, double* d, double* l) override {
    *a = ascent;
    *d = descent;
    *l = leading;
    return true;
  }
  WAPI_LineBounds lineBounds(CTFontRef, const char*, int length) override {
    return WAPI_LineBounds{perByte * length, ascent, descent, leading};
  }
  void drawLine(CGContextRef ctx, CTFontRef, CGColorRef color, const char* s, int length,
                double x, double baseline) override {
    const CGFloat* c = color ? CGColorGetComponents(color) : nullptr;
    draws.push_back(DrawCall{std::string(s, size_t(length)), x, baseline,
                             QORCGContextGetShouldAntialias(ctx), c ? c[0] : 0, c ? c[1] : 0,
                             c ? c[2] : 0});
    if (color) CGContextSetFillColorWithColor(ctx, color);
    CGContextFillRect(ctx, CGRectMake(x, baseline - ascent, perByte * length, ascent + descent));
  }
  std::string resolveFaceName(const char* name) override {
    ++resolves;
    return std::string("PS-") + name;
  }
};

class TextLayout : public ::testing::Test {
 protected:
  ScriptedEngine engine;
  HDC dc = nullptr;
  void SetUp() override {
    WAPI_SetTextEngine(&engine);
    dc = WAPI_CreateMemContext(nullptr, 120, 60);
    ASSERT_NE(dc, nullptr);
  }
  void TearDown() override {
    WAPI_DeleteGfxContext(dc);
    WAPI_SetTextEngine(nullptr);
  }
  // Channel k (1 red, 3 blue) of the pixel at (x, y).
  int channel(int x, int y, int k) {
    return static_cast<const uint8_t*>(WAPI_GetCtxFrameBuffer(dc))[(size_t(y) * 120 + size_t(x)) * 4 + k];
  }
  int red(int x, int y) { return channel(x, y, 1); }
  int blue(int x, int y) { return channel(x, y, 3); }
  int draw(const char* text, int flags, RECT r = RECT{0, 0, 120, 60}, int count = -1) {
    return WAPI_DrawText(dc, text, count, &r, flags);
  }
};

HGDIOBJ font(const char* face, int height = -12, int weight = 400, char italic = 0,
             char quality = 0) {
  return CreateFont(height, 0, 0, 0, weight, italic, 0, 0, 0, 0, 0, quality, 0, face);
}

}  // namespace

// Height, ascent, descent, internal leading and average width.
using Metrics = std::array<int, 5>;
Metrics metricsOf(const TEXTMETRIC& tm) {
  return {int(tm.tmHeight), int(tm.tmAscent), int(tm.tmDescent), int(tm.tmInternalLeading), int(tm.tmAveCharWidth)};
}

TEST_F(TextLayout, MetricsTruncateEachValueAndAddOneToANonZeroHeight) {
  HGDIOBJ f = font("Metric Face");
  struct Case {
    HDC dc;
    HGDIOBJ select;
    double ascent, descent;
    int ok;
    Metrics want;
  } cases[] = {
      {nullptr, nullptr, 9.8, 2.6, 0, {16, 12, 4, 3, 10}},  // no context: the defaults
      {dc, f, 9.8, 2.6, 1, {12, 9, 2, 0, 7}},               // the width, 7, is taken from 11
      {dc, WAPI_DEFAULT_FONT, 0, 0, 1, {0, 0, 0, 0, 0}},   // the default font; zero gets no extra pixel
  };
  for (const Case& c : cases) {
    if (c.select) SelectObject(dc, c.select);
    engine.ascent = c.ascent;
    engine.descent = c.descent;
    TEXTMETRIC tm{};
    EXPECT_EQ(GetTextMetrics(c.dc, &tm), c.ok) << c.ascent;
    EXPECT_EQ(metricsOf(tm), c.want) << c.ascent;
  }
  EXPECT_EQ(GetTextMetrics(dc, nullptr), 0);
  DeleteObject(f);
}

TEST_F(TextLayout, FontsTakeTheirSizeAntialiasModeAndAngleWithinLimits) {
  struct Case {
    int h, w, quality;
    double size;
    int mode;
  } cases[] = {{-12, 0, 4, 12, 4}, {0, 0, 3, 10, 3},  {1, 0, 5, 10, 0},         {9000, 0, 0, 10, 0},
               {0, 14, 1, 14, 0},  {8192, 0, 200, 8192, 0}};
  for (const Case& c : cases) {
    HGDIOBJ f = CreateFont(c.h, c.w, 0, 450, 400, 0, 0, 0, 0, 0, 0, char(c.quality), 0, "Size Face");
    ASSERT_TRUE(f && f->font);
    EXPECT_EQ(CTFontGetSize(f->font), c.size) << c.h << " x " << c.w;
    EXPECT_EQ(f->antialiasMode, c.mode) << "quality " << c.quality;
    EXPECT_FLOAT_EQ(f->angle, 45.0f);
    DeleteObject(f);
  }
  LOGFONT lf{};
  lf.lfHeight = -15;
  lf.lfWeight = 700;
  lf.lfQuality = 4;
  memset(lf.lfFaceName, 'Q', sizeof(lf.lfFaceName));  // unterminated
  HGDIOBJ f = CreateFontIndirect(&lf);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(CTFontGetSize(f->font), 15);
  EXPECT_EQ(f->antialiasMode, 4);
  EXPECT_NE(WAPI_FontNameCacheLookup((std::string(32, 'Q') + " Bold").c_str()), "");
  DeleteObject(f);
  EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
}

TEST_F(TextLayout, FaceNamesAreComposedWithBoldAndItalicAndResolvedOnce) {
  const int size0 = WAPI_FontNameCacheSize();
  std::vector<HGDIOBJ> fonts = {font("Compose Face", -12, 700, 1), font("Compose Face", -12, 699, 0),
                                font("Compose Face", -20, 699, 0)};
  EXPECT_EQ(WAPI_FontNameCacheLookup("Compose Face Bold Italic"), "PS-Compose Face Bold Italic");
  EXPECT_EQ(WAPI_FontNameCacheLookup("Compose Face"), "PS-Compose Face");
  EXPECT_EQ(WAPI_FontNameCacheLookup("Compose Face Bold"), "");
  EXPECT_EQ(engine.resolves, 2);
  EXPECT_EQ(WAPI_FontNameCacheSize(), size0 + 2);
  // Empty, missing and malformed names are not looked up, and still give a font.
  for (const char* face : {"", static_cast<const char*>(nullptr), "\xff\xfe bad"}) {
    fonts.push_back(font(face));
    EXPECT_NE(fonts.back()->font, nullptr);
  }
  EXPECT_EQ(engine.resolves, 2);
  for (HGDIOBJ o : fonts) DeleteObject(o);
}

TEST_F(TextLayout, MeasuringSetsRightAndBottomFromLeftAndTopAndDrawsNothing) {
  // Per line: 9.8 + 2.6 (+ leading) = 12.4 gives floor(13.9) = 13, plus one.
  struct Case {
    const char* text;
    int count, flags;
    double leading;
    RECT in;
    int height;
    std::array<int, 4> out;
  } cases[] = {
      {"", -1, 0, 0, {3, 4, 5, 6}, 0, {3, 4, 5, 6}},  // nothing to measure leaves the rectangle
      {"\r&", -1, 0, 0, {3, 4, 5, 6}, 0, {3, 4, 5, 6}},
      {"abc", 0, 0, 0, {3, 4, 5, 6}, 0, {3, 4, 5, 6}},
      {"abcd", -1, 0, 0, {10, 20, 0, 0}, 14, {10, 20, 39, 34}},
      {"one\ntwo", -1, 0x40, 0, {0, 0, 0, 0}, 14, {0, 0, 51, 14}},  // the joined line, 7 * 7.25
      {"one\nthree", -1, 0, 1, {0, 0, 0, 0}, 29, {0, 0, 36, 29}},   // 13.4 a line: measured 14, stepped 13
  };
  for (const Case& c : cases) {
    engine.leading = c.leading;
    RECT r = c.in;
    EXPECT_EQ(WAPI_DrawText(dc, c.text, c.count, &r, 0x1 | c.flags), c.height) << c.text;
    EXPECT_EQ((std::array<int, 4>{int(r.left), int(r.top), int(r.right), int(r.bottom)}), c.out) << c.text;
  }
  EXPECT_TRUE(engine.draws.empty());
  EXPECT_EQ(draw("one\nthree", 0, RECT{4, 6, 120, 60}), 29);
  ASSERT_EQ(engine.draws.size(), 2u);
  EXPECT_DOUBLE_EQ(engine.draws[0].x, 4);
  EXPECT_DOUBLE_EQ(engine.draws[0].baseline, 6 + 9.8);
  EXPECT_DOUBLE_EQ(engine.draws[1].baseline, 6 + 13 + 9.8);
}

TEST_F(TextLayout, PreparationDropsPrefixesAndCarriageReturnsHonoursCountsAndSplitsLines) {
  struct Case {
    const char* text;
    int count, flags;
    std::vector<std::string> lines;
    const char* why;
  } cases[] = {
      {"a&b", -1, 0, {"ab"}, "a prefix is dropped"},
      {"a&b", -1, 0x80, {"a&b"}, "unless kept"},
      {"a&&b", -1, 0, {"a&b"}, "a doubled prefix is one '&'"},
      {"ab&", -1, 0, {"ab"}, "a trailing '&' is dropped"},
      {"&&&x", -1, 0, {"&x"}, "pairs first"},
      {"abcdef", 3, 0, {"abc"}, "the count limits the source bytes"},
      {"ab\0cd", 5, 0, {"ab"}, "a zero ends the text within the count"},
      {"a&bc", 2, 0, {"a"}, "a '&' that ends the counted bytes ends the text"},
      {"one\ntwo", -1, 0x40, {"one two"}, "single line turns line feeds into blanks"},
      {"x\r\ny", -1, 0, {"x", "y"}, "carriage returns never reach the text system"},
      {"a\n", -1, 0, {"a"}, "a final line feed opens no line"},
      {"a\n\nb", -1, 0, {"a", "", "b"}, "an empty line in between is a line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    engine.draws.clear();
    draw(c.text, c.flags, RECT{0, 0, 120, 60}, c.count);
    std::vector<std::string> got;
    for (const DrawCall& d : engine.draws) got.push_back(d.text);
    EXPECT_EQ(got, c.lines);
  }
}

TEST_F(TextLayout, LongTextIsCutToTheBufferOnACharacterBoundary) {
  std::string letters(5000, 'k');
  draw(letters.c_str(), 0);
  ASSERT_EQ(engine.draws.size(), 1u);
  EXPECT_EQ(engine.draws[0].text.size(), 4095u);

  // 4094 letters, then a two-byte character that would straddle the limit.
  std::string mixed(4094, 'k');
  mixed += "\xc3\xa9";
  mixed += "tail";
  draw(mixed.c_str(), 0);
  ASSERT_EQ(engine.draws.size(), 2u);
  EXPECT_EQ(engine.draws[1].text, std::string(4094, 'k'));

  // A caller's count that ends inside a character cuts before it.
  draw("ab\xc3\xa9", 0, RECT{0, 0, 120, 60}, 3);
  ASSERT_EQ(engine.draws.size(), 3u);
  EXPECT_EQ(engine.draws[2].text, "ab");
  // Malformed text draws nothing.
  EXPECT_EQ(draw("a\xff" "b", 0), 0);
  EXPECT_EQ(draw("\xc3(", 0), 0);
  EXPECT_EQ(engine.draws.size(), 3u);
}

TEST_F(TextLayout, AlignmentPlacesTheBoxInsideTheRectangle) {
  // "abcd": W = 29, R = 14, in (0, 0, 100, 50).
  RECT box{0, 0, 100, 50};
  struct Case {
    int flags;
    double x, y;
  } cases[] = {
      {0, 0, 0},        {0x20, 71, 0},  {0x4, 36, 0},   {0x24, 71, 0},
      {0x10, 0, 36},    {0x2, 0, 18},   {0x12, 0, 36},  {0x6, 36, 18},
  };
  for (const Case& c : cases) {
    engine.draws.clear();
    EXPECT_EQ(draw("abcd", c.flags, box), 14);
    ASSERT_EQ(engine.draws.size(), 1u);
    EXPECT_DOUBLE_EQ(engine.draws[0].x, c.x) << "flags " << c.flags;
    EXPECT_DOUBLE_EQ(engine.draws[0].baseline, c.y + 9.8) << "flags " << c.flags;
  }
  engine.draws.clear();
  draw("abcd", 0x4, RECT{-7, -9, 10, 9});  // odd sizes: both halves truncate toward zero
  EXPECT_DOUBLE_EQ(engine.draws[0].x, -7 + 17 / 2 - 29 / 2);
}

TEST_F(TextLayout, TextInItsColourIsClippedToTheRectangleUnlessAskedNotToAndTheClipEndsWithTheCall) {
  SetTextColor(dc, 0xFF0080);
  draw("abcdefgh", 0, RECT{10, 10, 30, 40});
  ASSERT_EQ(engine.draws.size(), 1u);
  EXPECT_DOUBLE_EQ(engine.draws[0].r, 1);
  EXPECT_DOUBLE_EQ(engine.draws[0].g, 0);
  EXPECT_NEAR(engine.draws[0].b, 128.0 / 255.0, 1e-6);
  EXPECT_EQ(red(15, 15), 255);
  EXPECT_EQ(red(29, 15), 255);
  EXPECT_EQ(red(30, 15), 0) << "the right edge clips";
  EXPECT_EQ(red(9, 15), 0);
  draw("abcdefgh", 0x100, RECT{10, 45, 30, 50});
  EXPECT_EQ(red(40, 50), 255) << "no clip: drawn past both edges";
  CGContextSetRGBFillColor(dc->ctx, 0, 0, 1, 1);
  CGContextFillRect(dc->ctx, CGRectMake(100, 20, 2, 2));
  EXPECT_EQ(blue(100, 20), 255);
}

TEST_F(TextLayout, SeveralOpaqueLinesEachGetTheirOwnBox) {
  SetBkMode(dc, 1);
  SetBkColor(dc, 0x0000FF);
  engine.ascent = 8;
  engine.descent = 2;
  engine.leading = 2;  // the text covers 10 rows of each 12-row box
  engine.perByte = 5;
  draw("abcd\nab", 0, RECT{0, 0, 120, 60});
  // Line 1: box (0, 0, 20, 12). Line 2 starts at 12: box (0, 12, 10, 12).
  EXPECT_EQ(blue(19, 11), 255);
  EXPECT_EQ(blue(9, 23), 255);
  EXPECT_EQ(blue(15, 23), 0) << "the second line's box is only its own width";
  EXPECT_EQ(blue(19, 9), 0) << "text is drawn over its box";
  SetBkMode(dc, 0);
  draw("abcd", 0, RECT{60, 30, 120, 60});
  EXPECT_EQ(blue(79, 41), 0) << "transparent mode paints no box";
}

TEST_F(TextLayout, TheFontsAntialiasModeHoldsForTheCallOnly) {
  HGDIOBJ off = font("AA Face", -12, 400, 0, 3);
  HGDIOBJ on = font("AA Face", -12, 400, 0, 4);
  HGDIOBJ leave = font("AA Face", -12, 400, 0, 0);
  SelectObject(dc, off);
  draw("a", 0);
  SelectObject(dc, on);
  CGContextSetShouldAntialias(dc->ctx, false);
  draw("a", 0);
  SelectObject(dc, leave);
  draw("a", 0);
  ASSERT_EQ(engine.draws.size(), 3u);
  EXPECT_FALSE(engine.draws[0].antialias);
  EXPECT_TRUE(engine.draws[1].antialias);
  EXPECT_FALSE(engine.draws[2].antialias) << "mode 0 leaves the context's setting";
  EXPECT_FALSE(QORCGContextGetShouldAntialias(dc->ctx));
  SelectObject(dc, WAPI_DEFAULT_FONT);
  for (HGDIOBJ o : {off, on, leave}) DeleteObject(o);
}

TEST_F(TextLayout, DeadContextsAndMissingArgumentsDrawNothing) {
  RECT r{0, 0, 10, 10};
  EXPECT_EQ(WAPI_DrawText(nullptr, "a", -1, &r, 0), 0);
  EXPECT_EQ(WAPI_DrawText(dc, nullptr, -1, &r, 0), 0);
  EXPECT_EQ(WAPI_DrawText(dc, "a", -1, nullptr, 0), 0);
  HDC dead = WAPI_CreateMemContext(nullptr, 2, 2);
  WAPI_DeleteGfxContext(dead);
  if (dead->inPool) {
    EXPECT_EQ(WAPI_DrawText(dead, "a", -1, &r, 0), 0);
  }
  EXPECT_TRUE(engine.draws.empty());
}
