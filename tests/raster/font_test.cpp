// Cached-glyph font: UTF-8 walk, measuring, the glyph cache, placement, clipping and alpha, with
// fixed glyph metrics.
#include <gtest/gtest.h>

#include <string>

#include "glyph_fake_source.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
const uint32_t kRed = RAST_MakePixel(255, 0, 0, 255);

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
    font.SetTextColor(kRed);
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

// Bounding box (left, top, right, bottom) of the pixels that are not bg; right -1 when none.
std::vector<int> ink(RAST_IBitmap& bm, uint32_t bg = 0) {
  std::vector<int> r = {1 << 30, 1 << 30, -1, -1};
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++)
      if (at(bm, x, y) != bg) r = {std::min(r[0], x), std::min(r[1], y), std::max(r[2], x + 1), std::max(r[3], y + 1)};
  return r;
}

}  // namespace

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
      {"abcdef", -1, 0, {45, 8, 8}},
      {"abcdef", 0, 0, {0, 0, 0}},
      {"\xC3\xA9x", 1, 0, {6, 11, 11}},  // a count ending inside a character takes all of it
      {"\xC3\xA9x", 3, 0, {6 + 5, 11, 11}},
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

TEST_F(FontLayout, TextIsPlacedClippedAndAnswersTheDrawnHeight) {
  const std::string longText(170, 'a');  // more glyphs than one layout walk keeps
  const struct {
    const char* what;
    int fontFlags;
    std::string text;
    RECT r;
    unsigned int flags;
    std::vector<int> ink;
    int result;
  } cases[] = {
      {"top-left", 0, "AB", {5, 3, 60, 40}, 0, {5, 3, 21, 15}, 12},
      {"centred: (41 - 16) / 2, (31 - 12) / 2", 0, "AB", {0, 0, 41, 31}, 0x6, {12, 9, 28, 21}, 12},
      {"right and bottom", 0, "AB", {0, 0, 50, 40}, 0x30, {34, 28, 50, 40}, 12},
      {"centring wins", 0, "AB", {0, 0, 41, 31}, 0x36, {12, 9, 28, 21}, 12},
      {"wider than its rect: clipped", 0, "AB", {20, 0, 30, 30}, 0x4, {20, 0, 30, 12}, 12},
      {"wider, unclipped: starts left of it", 0, "AB", {20, 0, 30, 30}, 0x104, {17, 0, 33, 12}, 12},
      {"empty clip", 0, "AB", {70, 0, 90, 30}, 0, {1 << 30, 1 << 30, -1, -1}, 0},
      {"second line one line height down", 0, "B\nA", {2, 1, 60, 60}, 0, {2, 1, 11, 25}, 24},
      {"long right-aligned text", 0, longText, {0, 0, 60, 60}, 0x20, {0, 0, 60, 8}, 8},
      {"vertical: runs down, answers its width", RAST_FONT_VERTICAL, "AB", {3, 2, 40, 40}, 0, {3, 2, 15, 18}, 12},
      {"bottom-up: same box", RAST_FONT_VERTICAL | RAST_FONT_BOTTOMUP, "AB", {3, 2, 40, 40}, 0, {3, 2, 15, 18}, 12},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    font.SetFromHFont(rt::kFakeFont, k.fontFlags);
    rt::Filled bm(60, 60);
    RECT r = k.r;
    EXPECT_EQ(font.DrawText(&bm, k.text.c_str(), -1, &r, k.flags), k.result);
    EXPECT_EQ(ink(bm), k.ink);
    if (k.fontFlags & RAST_FONT_BOTTOMUP) {  // A (turned 10 x 7) at the bottom, B (12 x 9) above
      EXPECT_EQ(at(bm, 14, 2), kRed);
      EXPECT_EQ(at(bm, 14, 17), 0u);
      EXPECT_EQ(at(bm, 12, 17), kRed);
    }
  }
  RECT r = {0, 0, 30, 30};
  EXPECT_EQ(font.DrawText(nullptr, "AB", -1, &r, 0), 0);
  EXPECT_EQ(font.DrawText(nullptr, nullptr, -1, &r, 0x1), 0);
}
