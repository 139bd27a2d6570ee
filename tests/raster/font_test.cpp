// Cached-glyph font: UTF-8 walk, measuring, line breaks, alignment, clipping, alpha and the
// glyph cache, with fixed glyph metrics.
#include <gtest/gtest.h>

#include <cstdint>

#include "glyph_fake_source.h"
#include "kit/raster/rast_font.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
const HGDIOBJ kFakeFont = reinterpret_cast<HGDIOBJ>(uintptr_t(0x5000));
const uint32_t kRed = RAST_MakePixel(255, 0, 0, 255);

class FontLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    src.lineheight = 14;
    src.solid("A", 7, 10);
    src.solid("B", 9, 12);
    src.solid(" ", 4, 10, 0);
    src.solid("a", 5, 8);
    src.solid("b", 6, 8);
    src.solid("c", 7, 8);
    src.solid("d", 8, 8);
    src.solid("e", 9, 8);
    src.solid("f", 10, 8);
    src.solid("\xC3\xA9", 6, 11);  // U+00E9
    src.solid("x", 5, 8);
    font.SetGlyphSource(&src);
    font.SetFromHFont(kFakeFont, 0);
    font.SetTextColor(kRed);
  }

  RECT measure(const char* text, int count = -1, unsigned int flags = 0) {
    RECT r = {10, 20, 10, 20};
    lastResult = font.DrawText(nullptr, text, count, &r, flags | 0x1);
    r.right -= r.left;
    r.bottom -= r.top;
    r.left = r.top = 0;
    return r;
  }

  // Bounding box of the pixels that are not the background.
  static RECT ink(RAST_IBitmap& bm, uint32_t bg = 0) {
    RECT r = {1 << 30, 1 << 30, -1, -1};
    for (int y = 0; y < bm.getHeight(); y++)
      for (int x = 0; x < bm.getWidth(); x++)
        if (at(bm, x, y) != bg) {
          r.left = std::min(r.left, x);
          r.top = std::min(r.top, y);
          r.right = std::max(r.right, x + 1);
          r.bottom = std::max(r.bottom, y + 1);
        }
    return r;
  }

  rt::FakeGlyphSource src;
  RAST_CachedFont font;
  int lastResult = 0;
};

void expectRect(const RECT& r, int l, int t, int rr, int b) {
  EXPECT_EQ(r.left, l);
  EXPECT_EQ(r.top, t);
  EXPECT_EQ(r.right, rr);
  EXPECT_EQ(r.bottom, b);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
TEST_F(FontLayout, the_line_height_is_the_height_of_the_fonts_text_metrics) {
  EXPECT_EQ(font.GetLineHeight(), 14);
  EXPECT_EQ(font.GetHFont(), kFakeFont);
}

TEST_F(FontLayout, measuring_sets_right_and_bottom_from_the_rects_own_left_and_top) {
  RECT r = {10, 20, 999, 999};
  EXPECT_EQ(font.DrawText(nullptr, "AB", -1, &r, 0x1), 12);
  expectRect(r, 10, 20, 10 + 16, 20 + 12);
}

TEST_F(FontLayout, measured_size_follows_line_feeds_counts_and_utf8_sequences) {
  const struct {
    const char* text;
    int count;
    unsigned int flags;
    int right, bottom;
  } cases[] = {
      {"A\nB", -1, 0, 9, 14 + 12},           // one line height plus B; the wider glyph's width
      {"A\nB", -1, 0x40, 7 + 4 + 9, 12},     // single line: the line feed measures as a space
      {"A\rB\r", -1, 0, 16, 12},             // a carriage return measures as nothing
      {"\xF0\x9F\x98\x80", -1, 0, 4, 10},    // a four-byte sequence is one space
      {"\xE9", -1, 0, 6, 11},                // a lone E9 is character E9
      {"abcdef", 3, 0, 5 + 6 + 7, 8},        // a positive count limits the bytes
      {"abcdef", -1, 0, 5 + 6 + 7 + 8 + 9 + 10, 8},
      {"abcdef", 0, 0, 0, 0},
      {"\xC3\xA9x", 1, 0, 6, 11},            // a count ending inside a character takes all of it
      {"\xC3\xA9x", 2, 0, 6, 11},
      {"\xC3\xA9x", 3, 0, 6 + 5, 11},
  };
  measure("\xE9");
  ASSERT_FALSE(src.drawn.empty());
  EXPECT_EQ(src.drawn.back(), "\xC3\xA9");  // a lone E9 is rendered as U+00E9, re-encoded
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << "\"" << k.text << "\" count " << k.count << " flags " << k.flags);
    const RECT r = measure(k.text, k.count, k.flags);
    EXPECT_EQ(r.right, k.right);
    EXPECT_EQ(r.bottom, k.bottom);
    if (k.count < 0) {
      EXPECT_EQ(lastResult, k.bottom);
    }
  }
}

TEST_F(FontLayout, a_sequence_cut_by_the_terminator_is_read_no_further) {
  // The lead byte promises three bytes; the terminator comes first and the lead byte stands alone.
  const char text[] = {'\xE2', '\x82', 0, 'x', 0};
  measure(text);
  ASSERT_EQ(src.asked.size(), 2u);
  EXPECT_EQ(src.asked[0], "\xC3\xA2");  // U+00E2
  EXPECT_EQ(src.asked[1], "\xC2\x82");  // U+0082
}

TEST_F(FontLayout, each_character_is_rendered_once_and_then_found_in_the_cache) {
  rt::Filled bm(100, 40);
  RECT r = {0, 0, 100, 40};
  font.DrawText(&bm, "abab\xC3\xA9\xC3\xA9", -1, &r, 0);
  font.DrawText(&bm, "ba\xC3\xA9", -1, &r, 0);
  EXPECT_EQ(src.drawn.size(), 3u);
  EXPECT_EQ(font.GetGlyphListCount(), 1);
  // A new SetFromHFont forgets every glyph.
  font.SetFromHFont(kFakeFont, 0);
  font.DrawText(&bm, "a", -1, &r, 0);
  EXPECT_EQ(src.drawn.size(), 4u);
  EXPECT_EQ(font.GetGlyphListCount(), 0);
}

TEST_F(FontLayout, characters_from_128_up_are_kept_sorted_by_code) {
  src.solid("\xC4\x80", 3, 5);      // U+0100
  src.solid("\xE2\x82\xAC", 4, 5);  // U+20AC
  src.solid("\xC3\xBF", 5, 5);      // U+00FF
  measure("\xE2\x82\xAC\xC4\x80\xC3\xBF\xC3\xA9");
  EXPECT_EQ(font.GetGlyphListCount(), 4);
  for (unsigned short c : {0xE9, 0xFF, 0x100, 0x20AC}) {
    const RAST_GlyphRecord* rec = font.findChar(c);
    ASSERT_NE(rec, nullptr) << c;
    EXPECT_EQ(rec->code, c);
  }
  EXPECT_EQ(font.findChar(0x101), nullptr);
  EXPECT_EQ(font.findChar(0x41)->advance, 0);  // ASCII entries always exist, unrendered
}

TEST_F(FontLayout, with_pre_rendering_characters_from_128_up_draw_nothing_and_measure_zero) {
  font.SetFromHFont(kFakeFont, RAST_FONT_PRERENDER);
  EXPECT_EQ(src.asked.size(), 128u);
  const RECT r = measure("\xC3\xA9\xC3\xA9");
  EXPECT_EQ(r.right, 0);
  EXPECT_EQ(r.bottom, 0);
  EXPECT_EQ(font.GetGlyphListCount(), 0);
  EXPECT_EQ(measure("AB").right, 16);
}

TEST_F(FontLayout, a_character_without_a_glyph_neither_draws_nor_advances) {
  EXPECT_EQ(measure("A?B").right, 16);  // "?" measures 0 x 0 here
  EXPECT_EQ(font.findChar('?')->coverage, -1);
}

TEST_F(FontLayout, fonts_with_a_line_height_above_1023_render_nothing) {
  // (Such fonts draw and measure on the native path; the glyph cache refuses them.)
  src.lineheight = 1024;
  font.SetFromHFont(kFakeFont, 0);
  EXPECT_FALSE(font.RenderGlyph('A'));
  EXPECT_FALSE(font.RenderGlyph(0x20AC));
  EXPECT_EQ(font.findChar('A')->coverage, 0);
  EXPECT_EQ(font.GetGlyphListCount(), 0);
  EXPECT_TRUE(src.asked.empty());
}

// ---------------------------------------------------------------------------------------------
TEST_F(FontLayout, drawing_starts_at_the_rects_top_left_and_answers_the_drawn_height) {
  rt::Filled bm(60, 40);
  RECT r = {5, 3, 60, 40};
  EXPECT_EQ(font.DrawText(&bm, "AB", -1, &r, 0), 12);
  expectRect(ink(bm), 5, 3, 5 + 16, 3 + 12);
  EXPECT_EQ(at(bm, 5, 3), kRed);
}

TEST_F(FontLayout, alignment_places_the_measured_box_and_centring_wins_over_right_and_bottom) {
  const struct {
    RECT r;
    unsigned int flags;
    int l, t, rr, b;
  } cases[] = {
      {{0, 0, 41, 31}, 0x4 | 0x2, 12, 9, 28, 21},  // (41 - 16) / 2 = 12, (31 - 12) / 2 = 9
      {{0, 0, 50, 40}, 0x20 | 0x10, 34, 28, 50, 40},
      {{0, 0, 41, 31}, 0x4 | 0x2 | 0x20 | 0x10, 12, 9, 28, 21},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << "flags " << k.flags);
    rt::Filled bm(60, 60);
    RECT r = k.r;
    font.DrawText(&bm, "AB", -1, &r, k.flags);
    expectRect(ink(bm), k.l, k.t, k.rr, k.b);
  }
}

TEST_F(FontLayout, a_centred_text_wider_than_its_rect_starts_left_of_it_and_is_clipped_to_it) {
  rt::Filled bm(60, 30);
  RECT r = {20, 0, 30, 30};  // 10 wide, text 16 wide: starts at 20 + (10 - 16) / 2 = 17
  font.DrawText(&bm, "AB", -1, &r, 0x4);
  expectRect(ink(bm), 20, 0, 30, 12);
  rt::fill(bm, 0);
  font.DrawText(&bm, "AB", -1, &r, 0x4 | 0x100);
  expectRect(ink(bm), 17, 0, 33, 12);
}

TEST_F(FontLayout, an_empty_clip_rectangle_draws_nothing_and_answers_zero) {
  rt::Filled bm(30, 30);
  RECT r = {40, 0, 60, 30};  // right of the bitmap
  EXPECT_EQ(font.DrawText(&bm, "AB", -1, &r, 0), 0);
  EXPECT_EQ(ink(bm).right, -1);
}

TEST_F(FontLayout, drawing_without_a_bitmap_or_text_answers_zero) {
  RECT r = {0, 0, 30, 30};
  EXPECT_EQ(font.DrawText(nullptr, "AB", -1, &r, 0), 0);
  EXPECT_EQ(font.DrawText(nullptr, nullptr, -1, &r, 0x1), 0);
  RAST_MemBitmap bm(30, 30);
  EXPECT_EQ(font.DrawText(&bm, "AB", -1, nullptr, 0), 0);
}

TEST_F(FontLayout, a_second_line_is_drawn_one_line_height_below_the_first_at_the_start_x) {
  rt::Filled bm(40, 40);
  RECT r = {2, 1, 40, 40};
  EXPECT_EQ(font.DrawText(&bm, "B\nA", -1, &r, 0), 14 + 10);
  EXPECT_EQ(at(bm, 2, 1 + 14), kRed);       // A's top-left
  EXPECT_EQ(at(bm, 2 + 7, 1 + 14), 0u);     // A is 7 wide
  EXPECT_EQ(at(bm, 2, 1 + 12), 0u);         // the gap between B's bottom and the second line
}

TEST_F(FontLayout, alpha_zero_answers_zero_and_leaves_the_bitmap_unchanged) {
  rt::Filled bm(30, 30, 0x01020304u);
  RECT r = {0, 0, 30, 30};
  font.SetCombineMode(0, 0.0f);
  EXPECT_EQ(font.DrawText(&bm, "AB", -1, &r, 0), 0);
  EXPECT_EQ(ink(bm, 0x01020304u).right, -1);
}

TEST_F(FontLayout, the_colour_alpha_flag_scales_alpha_by_the_text_colours_alpha_byte_for_one_call) {
  rt::Filled bm(30, 30);
  RECT r = {0, 0, 30, 30};
  font.SetTextColor(RAST_MakePixel(255, 0, 0, 0));
  EXPECT_EQ(font.DrawText(&bm, "A", -1, &r, 0x40000000u), 0);
  EXPECT_EQ(ink(bm).right, -1);
  // Half the colour's alpha: weight 127 (127/255 * 256 = 127.5), so coverage 255 mixes at
  // 255 * 127 / 256 = 126 into black.
  font.SetTextColor(RAST_MakePixel(200, 0, 0, 127));
  EXPECT_EQ(font.DrawText(&bm, "A", -1, &r, 0x40000000u), 10);
  EXPECT_EQ(RAST_PixelR(at(bm, 0, 0)), ref::copyCh(0, 200, 126));
  // The font's own alpha is back afterwards.
  font.SetTextColor(RAST_MakePixel(200, 0, 0, 255));
  font.DrawText(&bm, "A", -1, &r, 0);
  EXPECT_EQ(RAST_PixelR(at(bm, 0, 0)), 200);
}

// ---------------------------------------------------------------------------------------------
TEST_F(FontLayout, a_vertical_font_runs_down_and_answers_its_width) {
  font.SetFromHFont(kFakeFont, RAST_FONT_VERTICAL);
  // Turned maps: A is 10 wide, 7 high (plus margin columns that trim away); B 12 x 9.
  const RECT m = measure("AB");
  EXPECT_EQ(m.right, 12);
  EXPECT_EQ(m.bottom, 7 + 9);
  EXPECT_EQ(lastResult, 12);
  rt::Filled bm(40, 40);
  RECT r = {3, 2, 40, 40};
  EXPECT_EQ(font.DrawText(&bm, "AB", -1, &r, 0), 12);
  expectRect(ink(bm), 3, 2, 3 + 12, 2 + 16);
}

TEST_F(FontLayout, a_vertical_bottom_up_font_starts_at_the_bottom_and_runs_up) {
  font.SetFromHFont(kFakeFont, RAST_FONT_VERTICAL | RAST_FONT_BOTTOMUP);
  rt::Filled bm(40, 40);
  RECT r = {3, 2, 40, 40};
  font.DrawText(&bm, "AB", -1, &r, 0);
  // The text's measured box is the same; A now sits at its bottom, B above it.
  expectRect(ink(bm), 3, 2, 3 + 12, 2 + 16);
  EXPECT_EQ(at(bm, 3 + 11, 2), kRed);       // B spans the top rows and is 12 wide
  EXPECT_EQ(at(bm, 3 + 11, 2 + 15), 0u);    // A is only 10 wide
  EXPECT_EQ(at(bm, 3 + 9, 2 + 15), kRed);
}
