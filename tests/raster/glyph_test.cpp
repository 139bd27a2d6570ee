// Glyph rendering: box size, trimming, turning, mono threshold, shadow and outline, and the
// stamping of coverage maps in every renderer, on hand-made coverage maps.
#include <gtest/gtest.h>

#include <cstdint>

#include "glyph_fake_source.h"
#include "kit/raster/rast_font.h"
#include "kit/raster/rast_glyph.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
const HGDIOBJ kFakeFont = reinterpret_cast<HGDIOBJ>(uintptr_t(0x5000));

using Rows = std::vector<std::vector<unsigned char>>;

// The coverage map of a rendered record as rows.
Rows mapOf(RAST_CachedFont& f, unsigned short c) {
  const RAST_GlyphRecord* rec = f.findChar(c);
  const unsigned char* m = f.GetCoverage(rec);
  Rows out;
  if (!m) return out;
  for (int y = 0; y < rec->height; y++) out.emplace_back(m + (size_t)y * rec->width, m + (size_t)(y + 1) * rec->width);
  return out;
}

class Glyphs : public ::testing::Test {
 protected:
  void useFont(int flags, int lineheight = 14) {
    src.lineheight = lineheight;
    font.SetGlyphSource(&src);
    font.SetFromHFont(kFakeFont, flags);
  }
  rt::FakeGlyphSource src;
  RAST_CachedFont font;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
TEST_F(Glyphs, the_box_is_the_advance_plus_a_margin_that_grows_with_the_line_height) {
  // Ink over every column the font offers shows the box width; the map keeps all inked columns.
  Rows wide(6, std::vector<unsigned char>(40, 200));
  src.pattern("W", 9, wide);
  const struct {
    int lineheight, margin;
  } cases[] = {{15, 2}, {16, 3}, {48, 5}};
  for (auto k : cases) {
    useFont(0, k.lineheight);
    ASSERT_TRUE(font.RenderGlyph('W'));
    EXPECT_EQ(font.findChar('W')->width, 9 + k.margin) << k.lineheight;
    EXPECT_EQ(src.drawWidths.back(), 9 + k.margin);
    EXPECT_EQ(font.findChar('W')->advance, 9);
  }
}

TEST_F(Glyphs, ink_inside_the_advance_keeps_the_advance_as_width_and_italic_overhang_is_kept) {
  useFont(0, 14);
  src.pattern("i", 4, {{0, 9, 0, 0}, {0, 9, 0, 0}});
  src.pattern("/", 4, {{0, 0, 0, 0, 0, 77}, {0, 0, 0, 0, 0, 0}});  // ink one column past the advance + 1
  font.RenderGlyph('i');
  font.RenderGlyph('/');
  EXPECT_EQ(font.findChar('i')->width, 4);
  EXPECT_EQ(mapOf(font, 'i'), (Rows{{0, 9, 0, 0}, {0, 9, 0, 0}}));
  EXPECT_EQ(font.findChar('/')->width, 6);
  EXPECT_EQ(mapOf(font, '/'), (Rows{{0, 0, 0, 0, 0, 77}, {0, 0, 0, 0, 0, 0}}));
  // Both maps are packed one after the other.
  EXPECT_EQ(font.GetCoverageSize(), 4 * 2 + 6 * 2);
}

TEST_F(Glyphs, a_space_renders_an_empty_map_that_draws_nothing_but_advances_the_pen) {
  useFont(0, 14);
  src.solid(" ", 4, 10, 0);
  src.solid("A", 3, 10);
  ASSERT_TRUE(font.RenderGlyph(' '));
  const RAST_GlyphRecord* sp = font.findChar(' ');
  EXPECT_EQ(sp->width, 4);
  EXPECT_EQ(sp->height, 10);
  EXPECT_GT(sp->coverage, 0);
  rt::Filled bm(20, 20);
  RECT r = {0, 0, 20, 20};
  font.SetTextColor(0xFFFFFFFFu);
  font.DrawText(&bm, " A", -1, &r, 0);
  for (int x = 0; x < 4; x++) EXPECT_EQ(at(bm, x, 0), 0u);
  EXPECT_EQ(at(bm, 4, 0), 0xFFFFFFFFu);
}

TEST_F(Glyphs, inverting_mono_threshold_and_effects_at_the_box_edge_map_the_coverage) {
  const struct {
    const char* what;
    int flags;
    Rows in, want;
  } cases[] = {
      {"invert stores 255 - coverage", RAST_FONT_INVERT, {{0, 100}, {255, 7}}, {{255, 155}, {0, 248}}},
      {"mono turns 130 into empty and 131 into ink", RAST_FONT_MONO, {{130, 131, 0, 255}}, {{0, 255, 0, 255}}},
      // Effect pixels past the box are lost and effect pixels never grow their own ring.
      {"shadow at the box edge", RAST_FONT_SHADOW, {{0, 0}, {0, 255}}, {{0, 0}, {0, 255}}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    src.pattern("v", (int)k.in[0].size(), k.in);
    useFont(k.flags);
    font.RenderGlyph('v');
    EXPECT_EQ(mapOf(font, 'v'), k.want);
  }
}

TEST_F(Glyphs, blurring_spreads_ink_into_the_neighbouring_pixels_of_the_box) {
  useFont(RAST_FONT_BLUR);
  src.pattern("o", 5, {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 255, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
  font.RenderGlyph('o');
  const Rows m = mapOf(font, 'o');
  ASSERT_EQ(m.size(), 5u);
  EXPECT_LT(m[2][2], 255);
  EXPECT_GT(m[2][1] + m[1][2] + m[2][3] + m[3][2], 0);
}

// ---------------------------------------------------------------------------------------------
TEST_F(Glyphs, a_vertical_map_is_the_horizontal_one_turned_with_its_top_facing_right) {
  const Rows a = {{1, 2, 3}, {4, 5, 6}};  // 3 wide, 2 high, ink within the advance
  src.pattern("A", 3, a);
  useFont(RAST_FONT_VERTICAL);
  font.RenderGlyph('A');
  const RAST_GlyphRecord* rec = font.findChar('A');
  EXPECT_EQ(rec->width, 2);
  EXPECT_EQ(rec->height, 3);
  EXPECT_EQ(rec->advance, 3);
  // new(row r, column k) = old(column r, row H - 1 - k): the old left column becomes the top row.
  EXPECT_EQ(mapOf(font, 'A'), (Rows{{4, 1}, {5, 2}, {6, 3}}));
}

TEST_F(Glyphs, a_bottom_up_map_is_the_downward_map_turned_a_half_turn) {
  const Rows a = {{1, 2, 3}, {4, 5, 6}};
  src.pattern("A", 3, a);
  useFont(RAST_FONT_VERTICAL);
  font.RenderGlyph('A');
  const Rows down = mapOf(font, 'A');
  useFont(RAST_FONT_VERTICAL | RAST_FONT_BOTTOMUP);
  font.RenderGlyph('A');
  const Rows up = mapOf(font, 'A');
  ASSERT_EQ(up.size(), down.size());
  for (size_t r = 0; r < up.size(); r++)
    for (size_t k = 0; k < up[r].size(); k++) EXPECT_EQ(up[r][k], down[down.size() - 1 - r][up[r].size() - 1 - k]);
}

TEST_F(Glyphs, a_shadow_falls_right_below_and_diagonally_below_right_of_each_ink_pixel) {
  Rows dot(6, std::vector<unsigned char>(6, 0));
  dot[2][2] = 200;
  src.pattern("d", 6, dot);
  useFont(RAST_FONT_SHADOW);
  font.RenderGlyph('d');
  Rows want(6, std::vector<unsigned char>(6, 0));
  want[2][2] = 255;
  want[2][3] = want[3][2] = want[3][3] = 128;
  EXPECT_EQ(mapOf(font, 'd'), want);
  // With outline also set, the shadow is made.
  useFont(RAST_FONT_SHADOW | RAST_FONT_OUTLINE);
  font.RenderGlyph('d');
  EXPECT_EQ(mapOf(font, 'd'), want);
}

TEST_F(Glyphs, an_outline_rings_each_ink_pixel_on_its_four_sides) {
  Rows dot(6, std::vector<unsigned char>(6, 0));
  dot[2][2] = 131;
  dot[0][5] = 130;  // below the threshold: neither ink nor ringed
  src.pattern("d", 6, dot);
  useFont(RAST_FONT_OUTLINE);
  font.RenderGlyph('d');
  Rows want(6, std::vector<unsigned char>(6, 0));
  want[2][2] = 255;
  want[2][1] = want[2][3] = want[1][2] = want[3][2] = 128;
  EXPECT_EQ(mapOf(font, 'd'), want);
}

// ---------------------------------------------------------------------------------------------
TEST(GlyphRenderers, normal_copy_at_full_alpha_gives_coverage_plus_one_as_weight) {
  const unsigned char cov[3] = {255, 127, 0};
  uint32_t px[3] = {0x10203040u, 0x10203040u, 0x10203040u};
  GlyphRenderer<_RAST_CombinePixelsCopyNoClamp>::Normal(cov, (unsigned char*)px, 3, 3, 3, 1, 200, 100, 50, 256);
  EXPECT_EQ(px[0], RAST_MakePixel(200, 100, 50, 255));  // replaced, alpha 255
  const ref::Px d = ref::unpack(0x10203040u);
  EXPECT_EQ(px[1], ref::pack({ref::copyCh(d.a, 255, 128), ref::copyCh(d.r, 200, 128), ref::copyCh(d.g, 100, 128),
                              ref::copyCh(d.b, 50, 128)}));
  EXPECT_EQ(px[2], 0x10203040u);
}

TEST(GlyphRenderers, normal_below_full_alpha_scales_coverage_by_the_weight) {
  const unsigned char cov[2] = {255, 100};
  uint32_t px[2] = {0, 0};
  GlyphRenderer<_RAST_CombinePixelsAdd>::Normal(cov, (unsigned char*)px, 2, 2, 2, 1, 200, 0, 0, 128);
  // Weights 255 * 128 / 256 = 127 and 100 * 128 / 256 = 50 with Add.
  EXPECT_EQ(RAST_PixelR(px[0]), 200 * 127 / 256);
  EXPECT_EQ(RAST_PixelR(px[1]), 200 * 50 / 256);
  EXPECT_EQ(RAST_PixelA(px[0]), 255 * 127 / 256);
}

TEST(GlyphRenderers, mono_uses_one_weight_for_every_covered_pixel) {
  const unsigned char cov[3] = {1, 255, 0};
  uint32_t px[3] = {0, 0, 0};
  GlyphRenderer<_RAST_CombinePixelsAdd>::Mono(cov, (unsigned char*)px, 3, 3, 3, 1, 100, 0, 0, 256);
  EXPECT_EQ(px[0], px[1]);
  EXPECT_EQ(RAST_PixelR(px[0]), 100);
  EXPECT_EQ(px[2], 0u);
}

TEST(GlyphRenderers, effect_paints_ink_in_the_text_colour_and_the_rest_in_the_effect_colour) {
  const unsigned char cov[3] = {255, 128, 0};
  uint32_t px[3] = {7, 7, 7};
  GlyphRenderer<_RAST_CombinePixelsCopyNoClamp>::Effect(cov, (unsigned char*)px, 3, 3, 3, 1, 10, 20, 30, 256, 40, 50,
                                                        60);
  EXPECT_EQ(px[0], RAST_MakePixel(10, 20, 30, 255));
  EXPECT_EQ(px[1], RAST_MakePixel(40, 50, 60, 255));
  EXPECT_EQ(px[2], 7u);
}

TEST(GlyphRenderers, a_negative_row_span_walks_the_destination_upward) {
  const unsigned char cov[2] = {255, 255};  // one column, two rows
  uint32_t px[2] = {0, 0};
  GlyphRenderer<_RAST_CombinePixelsCopyNoClamp>::Mono(cov, (unsigned char*)&px[1], 1, -1, 1, 2, 9, 9, 9, 256);
  EXPECT_EQ(px[0], RAST_MakePixel(9, 9, 9, 255));
  EXPECT_EQ(px[1], RAST_MakePixel(9, 9, 9, 255));
}

// ---------------------------------------------------------------------------------------------
TEST_F(Glyphs, drawing_a_glyph_half_outside_the_clip_draws_its_right_half_at_the_clip_edge) {
  src.pattern("h", 4, {{10, 20, 30, 40}, {50, 60, 70, 80}});
  useFont(0);
  font.RenderGlyph('h');
  font.SetTextColor(RAST_MakePixel(255, 255, 255, 255));
  rt::Filled bm(10, 4);
  RECT clip = {5, 0, 10, 4};
  EXPECT_TRUE(font.DrawGlyph(&bm, 'h', 3, 1, &clip));
  for (int x = 0; x < 5; x++) EXPECT_EQ(at(bm, x, 1), 0u);
  // Columns 2 and 3 of the map at x 5 and 6: coverage v + 1 as Copy weight on black.
  EXPECT_EQ(RAST_PixelR(at(bm, 5, 1)), ref::copyCh(0, 255, 31));
  EXPECT_EQ(RAST_PixelR(at(bm, 6, 2)), ref::copyCh(0, 255, 81));
  EXPECT_EQ(at(bm, 7, 1), 0u);
}

TEST_F(Glyphs, drawing_a_glyph_outside_the_clip_or_an_unknown_character_answers_false) {
  src.solid("h", 4, 2);
  useFont(0);
  font.RenderGlyph('h');
  rt::Filled bm(10, 4);
  RECT clip = {5, 0, 10, 4};
  EXPECT_FALSE(font.DrawGlyph(&bm, 'h', 1, 0, &clip));  // ends at column 5, exclusive
  EXPECT_FALSE(font.DrawGlyph(&bm, 0x263A, 6, 0, &clip));
  EXPECT_FALSE(font.DrawGlyph(&bm, 'q', 6, 0, &clip));  // never rendered
  font.SetCombineMode(0, 0.0f);
  EXPECT_TRUE(font.DrawGlyph(&bm, 'h', 6, 0, &clip));  // meets the clip, invisible
  for (int x = 0; x < 10; x++) EXPECT_EQ(at(bm, x, 0), 0u);
}

TEST_F(Glyphs, mono_and_effect_glyphs_at_full_alpha_store_the_colour_words_unchanged) {
  src.pattern("m", 3, {{0, 0, 0}, {0, 200, 0}, {0, 0, 0}});
  const uint32_t text = 0x11223380u, effect = 0x44556601u;
  useFont(RAST_FONT_MONO);
  font.SetTextColor(text);
  rt::Filled bm(5, 5);
  RECT clip = {0, 0, 5, 5};
  font.RenderGlyph('m');
  font.DrawGlyph(&bm, 'm', 0, 0, &clip);
  EXPECT_EQ(at(bm, 1, 1), text);  // alpha byte 0x80 kept
  EXPECT_EQ(at(bm, 0, 0), 0u);

  useFont(RAST_FONT_OUTLINE);
  font.SetTextColor(text);
  font.SetEffectColor(effect);
  font.RenderGlyph('m');
  rt::fill(bm, 0);
  font.DrawGlyph(&bm, 'm', 0, 0, &clip);
  EXPECT_EQ(at(bm, 1, 1), text);
  EXPECT_EQ(at(bm, 0, 1), effect);
  EXPECT_EQ(at(bm, 1, 2), effect);
  EXPECT_EQ(at(bm, 0, 0), 0u);
}

TEST_F(Glyphs, opaque_background_fills_each_glyphs_clipped_box_but_not_the_gap_between_lines) {
  src.solid("A", 3, 4, 0);  // an empty glyph: only its background shows
  useFont(0, 10);
  font.SetBkMode(1);
  const uint32_t bk = RAST_MakePixel(0, 0, 255, 255);
  font.SetBkColor(bk);
  rt::Filled bm(10, 20);
  RECT r = {0, 0, 10, 20};
  font.DrawText(&bm, "AA\nA", -1, &r, 0);
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 10; x++) {
      const bool box = (y < 4 && x < 6) || (y >= 10 && y < 14 && x < 3);
      ASSERT_EQ(at(bm, x, y), box ? bk : 0u) << x << "," << y;
    }
}

TEST_F(Glyphs, a_bottom_up_bitmap_receives_the_glyph_at_the_rows_the_caller_names) {
  src.pattern("g", 2, {{255, 0}, {0, 255}, {255, 255}});
  useFont(0);
  font.SetTextColor(0xFFFFFFFFu);
  rt::FlippedBitmap flipped(6, 6);
  RAST_MemBitmap plain(6, 6);
  rt::fill(plain, 0);
  RECT r = {1, 1, 6, 6};
  font.DrawText(&flipped, "g", -1, &r, 0);
  font.DrawText(&plain, "g", -1, &r, 0);
  ASSERT_TRUE(rt::same(flipped, plain));
  EXPECT_EQ(at(plain, 1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(at(plain, 2, 1), 0u);
}

// ---------------------------------------------------------------------------------------------
class GlyphStamping : public Glyphs {
 protected:
  void SetUp() override { src.pattern("g", 3, {{200, 100, 0}, {0, 255, 0}}); }
  // Draws "g" at (0, 0) on a bitmap of `bg` and answers the three top-row pixels and the middle
  // of the second row.
  std::vector<uint32_t> stamp(int flags, float alpha, int mode, uint32_t bg = 0x10305070u) {
    useFont(flags);
    font.SetTextColor(text);
    font.SetEffectColor(effect);
    font.SetCombineMode(mode, alpha);
    font.RenderGlyph('g');
    rt::Filled bm(4, 3, bg);
    RECT clip = {0, 0, 4, 3};
    font.DrawGlyph(&bm, 'g', 0, 0, &clip);
    return {at(bm, 0, 0), at(bm, 1, 0), at(bm, 2, 0), at(bm, 1, 1)};
  }
  static uint32_t mix(uint32_t d, uint32_t c, int w, int (*ch)(int, int, int64_t) = ref::copyCh) {
    const ref::Px D = ref::unpack(d), C = ref::unpack(c);
    return ref::pack({ch(D.a, 255, w), ch(D.r, C.r, w), ch(D.g, C.g, w), ch(D.b, C.b, w)});
  }
  const uint32_t text = RAST_MakePixel(250, 20, 90, 255), effect = RAST_MakePixel(5, 200, 60, 255);
  const uint32_t bg = 0x10305070u;
};

TEST_F(GlyphStamping, mono_below_full_alpha_mixes_every_ink_pixel_at_the_same_weight) {
  const auto px = stamp(RAST_FONT_MONO, 0.5f, 0);
  EXPECT_EQ(px[0], mix(bg, text, 128));  // coverage 200 became ink
  EXPECT_EQ(px[1], bg);                  // coverage 100 became empty
  EXPECT_EQ(px[3], mix(bg, text, 128));
}

TEST_F(GlyphStamping, effect_glyphs_below_full_alpha_mix_ink_and_effect_pixels_at_the_same_weight) {
  // Thresholded map {255, 0, 0}, {0, 255, 0}; the shadow adds (1, 0), (0, 1) and (2, 1).
  const auto px = stamp(RAST_FONT_SHADOW, 0.5f, 0);
  EXPECT_EQ(px[0], mix(bg, text, 128));
  EXPECT_EQ(px[1], mix(bg, effect, 128));
  EXPECT_EQ(px[2], bg);
  EXPECT_EQ(px[3], mix(bg, text, 128));
}

TEST_F(GlyphStamping, normal_weights_above_full_strength_are_held_at_256) {
  const auto px = stamp(0, 2.0f, 0);
  EXPECT_EQ(px[0], mix(bg, text, 256));        // 200 * 512 / 256 = 400, held at 256
  EXPECT_EQ(px[1], mix(bg, text, 200));        // 100 * 512 / 256
  EXPECT_EQ(px[3], mix(bg, text, 256));
  EXPECT_EQ(px[2], bg);
}

TEST_F(GlyphStamping, other_modes_use_their_combiner_with_the_coverage_weight) {
  const auto px = stamp(0, 0.5f, 1);
  EXPECT_EQ(px[0], mix(bg, text, 200 * 128 / 256, ref::addCh));
  EXPECT_EQ(px[1], mix(bg, text, 100 * 128 / 256, ref::addCh));
}

TEST_F(GlyphStamping, the_background_follows_the_mode_but_ignores_its_source_alpha_bit) {
  auto drawWithBackground = [&](uint32_t bk, int mode, RAST_MemBitmap& bm) {
    useFont(0);
    font.SetBkMode(1);
    font.SetBkColor(bk);
    font.SetTextColor(text);
    font.SetCombineMode(mode, 1.0f);
    font.RenderGlyph('g');
    rt::fill(bm, bg);
    RECT clip = {0, 0, 4, 3};
    return font.DrawGlyph(&bm, 'g', 0, 0, &clip);
  };
  RAST_MemBitmap bm(4, 3);
  // An unknown mode: the background fill is a mode-6 fill too, so nothing changes at all.
  EXPECT_TRUE(drawWithBackground(0xAABBCCDDu, 6, bm));
  EXPECT_TRUE(rt::all(bm, bg));
  // Alpha byte 0: a source-alpha fill would leave the pixels alone.
  drawWithBackground(0x11223300u, 0x10000, bm);
  EXPECT_EQ(at(bm, 2, 0), 0x11223300u);  // empty coverage: background only
  EXPECT_EQ(at(bm, 3, 0), bg);           // outside the glyph box
}
