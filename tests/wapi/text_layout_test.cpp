// Fonts, metrics and the text formulas, pinned with a scripted text engine whose typographic
// values are chosen by the test.
#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-text-engine.h"

#include <CoreText/CoreText.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using V = std::vector<double>;  // results in call order

// Every byte is perByte wide; drawing records each line and where it was placed.
struct ScriptedEngine : WAPI_TextEngine {
  double ascent = 9.8, descent = 2.6, leading = 0, perByte = 7.25;
  int resolves = 0;
  std::vector<std::string> lines;
  V xs, baselines;

  bool fontMetrics(CTFontRef, double* a, double* d, double* l) override {
    *a = ascent, *d = descent, *l = leading;
    return true;
  }
  WAPI_LineBounds lineBounds(CTFontRef, const char*, int n) override { return {perByte * n, ascent, descent, leading}; }
  void drawLine(CGContextRef, CTFontRef, CGColorRef, const char* s, int n, double x, double base) override {
    lines.emplace_back(s, size_t(n));
    xs.push_back(x);
    baselines.push_back(base);
  }
  std::string resolveFaceName(const char* name) override {
    ++resolves;
    return std::string("PS-") + name;
  }
  void clear() { lines.clear(), xs.clear(), baselines.clear(); }
};

class TextLayout : public ::testing::Test {
 protected:
  ScriptedEngine engine;
  HDC dc = WAPI_CreateMemContext(nullptr, 120, 60);
  void SetUp() override { WAPI_SetTextEngine(&engine); }
  void TearDown() override {
    WAPI_DeleteGfxContext(dc);
    WAPI_SetTextEngine(nullptr);
  }
  int draw(const char* text, int flags, RECT r = RECT{0, 0, 120, 60}, int count = -1) {
    return WAPI_DrawText(dc, text, count, &r, flags);
  }
};

HGDIOBJ font(const char* face, int height = -12, int weight = 400, char italic = 0) {
  return CreateFont(height, 0, 0, 0, weight, italic, 0, 0, 0, 0, 0, 0, 0, face);
}

}  // namespace

TEST_F(TextLayout, MetricsTruncateEachValueAndAddOneToANonZeroHeight) {
  HGDIOBJ f = font("Metric Face");
  struct Case {
    HDC dc;
    HGDIOBJ select;
    double ascent, descent;
    V want;  // answer, height, ascent, descent, internal leading, average width
  } cases[] = {
      {nullptr, nullptr, 9.8, 2.6, {0, 16, 12, 4, 3, 10}},  // no context: the defaults
      {dc, f, 9.8, 2.6, {1, 12, 9, 2, 0, 7}},               // the width, 7, is taken from 11
      {dc, WAPI_DEFAULT_FONT, 0, 0, {1, 0, 0, 0, 0, 0}},    // the default font; zero gets no extra pixel
  };
  for (const Case& c : cases) {
    if (c.select) SelectObject(dc, c.select);
    engine.ascent = c.ascent;
    engine.descent = c.descent;
    TEXTMETRIC tm{};
    const int ok = GetTextMetrics(c.dc, &tm);
    EXPECT_EQ((V{double(ok), double(tm.tmHeight), double(tm.tmAscent), double(tm.tmDescent),
                 double(tm.tmInternalLeading), double(tm.tmAveCharWidth)}),
              c.want);
  }
  EXPECT_EQ(GetTextMetrics(dc, nullptr), 0);
  DeleteObject(f);
}

TEST_F(TextLayout, FontsTakeTheirSizeAntialiasModeAngleAndComposedFaceNameWithinLimits) {
  const int cases[][5] = {{-12, 0, 4, 12, 4}, {0, 0, 3, 10, 3},       {1, 0, 5, 10, 0}, {9000, 0, 0, 10, 0},
                          {0, 14, 1, 14, 0},  {8192, 0, 200, 8192, 0}};  // height, width, quality: size, mode
  for (const auto& c : cases) {
    HGDIOBJ f = CreateFont(c[0], c[1], 0, 450, 400, 0, 0, 0, 0, 0, 0, char(c[2]), 0, "Size Face");
    ASSERT_TRUE(f && f->font);
    EXPECT_EQ((V{CTFontGetSize(f->font), double(f->antialiasMode), f->angle}), (V{double(c[3]), double(c[4]), 45}))
        << c[0] << " x " << c[1] << " quality " << c[2];
    DeleteObject(f);
  }
  LOGFONT lf{};
  lf.lfHeight = -15;
  lf.lfWeight = 700;
  memset(lf.lfFaceName, 'Q', sizeof(lf.lfFaceName));  // unterminated
  HGDIOBJ f = CreateFontIndirect(&lf);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(CTFontGetSize(f->font), 15);
  EXPECT_EQ(WAPI_FontNameCacheLookup((std::string(32, 'Q') + " Bold").c_str()), "PS-" + std::string(32, 'Q') + " Bold");
  EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
  // Bold from weight 700, italic; each composed name is resolved once.
  const int size0 = WAPI_FontNameCacheSize(), resolves0 = engine.resolves;
  std::vector<HGDIOBJ> fonts = {font("Compose Face", -12, 700, 1), font("Compose Face", -12, 699, 0),
                                font("Compose Face", -20, 699, 0)};
  EXPECT_EQ(WAPI_FontNameCacheLookup("Compose Face Bold Italic") + WAPI_FontNameCacheLookup("Compose Face Bold") + "|" +
                WAPI_FontNameCacheLookup("Compose Face"),
            "PS-Compose Face Bold Italic|PS-Compose Face");
  EXPECT_EQ(WAPI_FontNameCacheSize(), size0 + 2);
  // Empty, missing and malformed names are not looked up, and still give a font.
  for (const char* face : {"", static_cast<const char*>(nullptr), "\xff\xfe bad"}) {
    fonts.push_back(font(face));
    EXPECT_NE(fonts.back()->font, nullptr);
  }
  EXPECT_EQ(engine.resolves, resolves0 + 2);
  for (HGDIOBJ o : fonts) DeleteObject(o);
  DeleteObject(f);
}

TEST_F(TextLayout, MeasuringSetsRightAndBottomFromLeftAndTopAndDrawsNothing) {
  // Per line: 9.8 + 2.6 (+ leading) = 12.4 gives floor(13.9) = 13, plus one.
  struct Case {
    const char* text;
    int count, flags;
    double leading;
    RECT in;
    V want;  // height, then the rectangle
  } cases[] = {
      {"", -1, 0, 0, {3, 4, 5, 6}, {0, 3, 4, 5, 6}},  // nothing to measure leaves the rectangle
      {"\r&", -1, 0, 0, {3, 4, 5, 6}, {0, 3, 4, 5, 6}},
      {"abc", 0, 0, 0, {3, 4, 5, 6}, {0, 3, 4, 5, 6}},
      {"abcd", -1, 0, 0, {10, 20, 0, 0}, {14, 10, 20, 39, 34}},
      {"one\ntwo", -1, 0x40, 0, {0, 0, 0, 0}, {14, 0, 0, 51, 14}},  // the joined line, 7 * 7.25
      {"one\nthree", -1, 0, 1, {0, 0, 0, 0}, {29, 0, 0, 36, 29}},   // 13.4 a line: measured 14, stepped 13
  };
  for (const Case& c : cases) {
    engine.leading = c.leading;
    RECT r = c.in;
    const int h = WAPI_DrawText(dc, c.text, c.count, &r, 0x1 | c.flags);
    EXPECT_EQ((V{double(h), double(r.left), double(r.top), double(r.right), double(r.bottom)}), c.want) << c.text;
  }
  EXPECT_TRUE(engine.lines.empty());
  EXPECT_EQ(draw("one\nthree", 0, RECT{4, 6, 120, 60}), 29);
  EXPECT_EQ(engine.xs, (V{4, 4}));
  EXPECT_EQ(engine.baselines, (V{6 + 9.8, 6 + 13 + 9.8}));
}

TEST_F(TextLayout, PreparationDropsPrefixesAndCarriageReturnsHonoursCountsAndCutsOnCharacters) {
  const std::string k4094(4094, 'k');
  struct Case {
    std::string text;
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
      {std::string("ab\0cd", 5), 5, 0, {"ab"}, "a zero ends the text within the count"},
      {"a&bc", 2, 0, {"a"}, "a '&' that ends the counted bytes ends the text"},
      {"one\ntwo", -1, 0x40, {"one two"}, "single line turns line feeds into blanks"},
      {"x\r\ny", -1, 0, {"x", "y"}, "carriage returns never reach the text system"},
      {"a\n", -1, 0, {"a"}, "a final line feed opens no line"},
      {"a\n\nb", -1, 0, {"a", "", "b"}, "an empty line in between is a line"},
      {std::string(5000, 'k'), -1, 0, {std::string(4095, 'k')}, "cut to the 4095-byte buffer"},
      {k4094 + "\xc3\xa9tail", -1, 0, {k4094}, "a character straddling the limit is left out"},
      {"ab\xc3\xa9", 3, 0, {"ab"}, "a count that ends inside a character cuts before it"},
      {std::string("a\xff") + "b", -1, 0, {}, "malformed text draws nothing"},
      {"\xc3(", -1, 0, {}, "malformed text draws nothing"},
  };
  for (const Case& c : cases) {
    engine.clear();
    draw(c.text.c_str(), c.flags, RECT{0, 0, 120, 60}, c.count);
    EXPECT_EQ(engine.lines, c.lines) << c.why;
  }
  RECT r{0, 0, 10, 10};
  EXPECT_EQ(WAPI_DrawText(nullptr, "a", -1, &r, 0) + WAPI_DrawText(dc, nullptr, -1, &r, 0) +
                WAPI_DrawText(dc, "a", -1, nullptr, 0),
            0);
}

TEST_F(TextLayout, AlignmentPlacesTheBoxInsideTheRectangle) {
  // "abcd": W = 29, R = 14, in (0, 0, 100, 50): flags, x, top.
  const double cases[][3] = {{0, 0, 0},     {0x20, 71, 0}, {0x4, 36, 0},  {0x24, 71, 0},
                             {0x10, 0, 36}, {0x2, 0, 18},  {0x12, 0, 36}, {0x6, 36, 18}};
  for (const auto& c : cases) {
    engine.clear();
    EXPECT_EQ(draw("abcd", int(c[0]), RECT{0, 0, 100, 50}), 14);
    EXPECT_EQ((V{engine.xs.at(0), engine.baselines.at(0)}), (V{c[1], c[2] + 9.8})) << "flags " << c[0];
  }
  engine.clear();
  draw("abcd", 0x4, RECT{-7, -9, 10, 9});  // odd sizes: both halves truncate toward zero
  EXPECT_EQ(engine.xs, (V{-7 + 8 - 14}));
}
