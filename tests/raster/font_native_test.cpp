// The cached-glyph font over the real text backend: glyphs rasterised through the platform's
// text drawing, the native path through a bitmap's own drawing context or the shared scratch
// bitmap, and the life of the shared scratch bitmaps.
#include <gtest/gtest.h>

#include "kit/raster/rast_font.h"
#include "kit/wapi/wapi-gdi.h"
#include "raster_test_util.h"

namespace {

using rt::at;
const uint32_t kWhite = RAST_MakePixel(255, 255, 255, 255);

HGDIOBJ makeFont(int size) {
  return CreateFont(size, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
}

// Bounding box of pixels whose colour bytes are not black (the context's alpha byte is ignored).
RECT ink(RAST_IBitmap& bm) {
  RECT r = {1 << 30, 1 << 30, -1, -1};
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++)
      if (at(bm, x, y) & 0xFFFFFF00u) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x + 1);
        r.bottom = std::max(r.bottom, y + 1);
      }
  return r;
}

void clear(RAST_IBitmap& bm) { rt::fill(bm, 0); }

// Measures the label at (left, top), draws it there, and checks the ink lies in the measured box.
void expectInkInsideMeasuredBox(RAST_CachedFont& f, RAST_IBitmap& bm, const char* label, unsigned int drawFlags) {
  RECT box = {12, 9, 12, 9};
  const int h = f.DrawText(nullptr, label, -1, &box, 0x1);
  ASSERT_GT(h, 0);
  ASSERT_GT(box.right, box.left + 20);
  RECT r = {12, 9, bm.getWidth(), bm.getHeight()};
  clear(bm);
  f.DrawText(&bm, label, -1, &r, drawFlags);
  const RECT got = ink(bm);
  ASSERT_GE(got.right, 0) << "nothing drawn";
  EXPECT_GE(got.left, box.left);
  EXPECT_GE(got.top, box.top);
  EXPECT_LE(got.right, box.right);
  EXPECT_LE(got.bottom, box.bottom);
  // And the ink fills most of the box's width: the measure is not simply too large.
  EXPECT_GT(got.right - got.left, (box.right - box.left) * 3 / 4);
}

}  // namespace

TEST(FontOnTextBackend, a_label_measured_then_drawn_on_the_glyph_path_has_ink_only_inside_the_measured_box) {
  for (int size : {12, 14, 16}) {
    RAST_CachedFont f;
    f.SetFromHFont(makeFont(size), RAST_FONT_OWNS_HFONT);
    f.SetTextColor(kWhite);
    EXPECT_GT(f.GetLineHeight(), size / 2);
    RAST_MemBitmap bm(240, 60);
    expectInkInsideMeasuredBox(f, bm, "Cutoff Freq 42", 0x100);
    expectInkInsideMeasuredBox(f, bm, "Wavy gjpq\xC3\xA9", 0x100);
  }
}

TEST(FontOnTextBackend, a_label_on_the_native_path_has_ink_only_inside_the_measured_box) {
  RAST_CachedFont f;
  f.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
  f.SetTextColor(kWhite);
  RAST_SysBitmap sys(240, 60);
  expectInkInsideMeasuredBox(f, sys, "Cutoff Freq 42", 0x100);
  RAST_MemBitmap mem(240, 60);  // no context of its own: drawn through the shared scratch bitmap
  expectInkInsideMeasuredBox(f, mem, "Cutoff Freq 42", 0x100);
}

TEST(FontOnTextBackend, the_glyph_and_native_paths_measure_a_label_alike) {
  RAST_CachedFont glyph, native;
  glyph.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT);
  native.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
  RECT a = {0, 0, 0, 0}, b = {0, 0, 0, 0};
  glyph.DrawText(nullptr, "Resonance", -1, &a, 0x1);
  native.DrawText(nullptr, "Resonance", -1, &b, 0x1);
  EXPECT_NEAR(a.right, b.right, 3);
  EXPECT_NEAR(a.bottom, b.bottom, 3);
}

TEST(FontOnTextBackend, the_native_path_ignores_alpha_and_the_colour_alpha_flag_takes_the_glyph_path) {
  RAST_CachedFont f;
  f.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
  f.SetTextColor(kWhite);
  f.SetCombineMode(0, 0.0f);
  RAST_SysBitmap sys(120, 40);
  clear(sys);
  RECT r = {2, 2, 120, 40};
  f.DrawText(&sys, "Env", -1, &r, 0);
  EXPECT_GE(ink(sys).right, 0);
  clear(sys);
  EXPECT_EQ(f.DrawText(&sys, "Env", -1, &r, 0x40000000u), 0);
  EXPECT_EQ(ink(sys).right, -1);
}

TEST(FontOnTextBackend, a_font_of_line_height_256_or_more_always_takes_the_native_path) {
  RAST_CachedFont f;
  f.SetFromHFont(makeFont(300), RAST_FONT_OWNS_HFONT | RAST_FONT_SHADOW);
  ASSERT_GE(f.GetLineHeight(), 256);
  f.SetTextColor(kWhite);
  f.SetCombineMode(0, 0.0f);  // the glyph path would draw nothing at all
  RAST_SysBitmap sys(400, 400);
  clear(sys);
  RECT r = {0, 0, 400, 400};
  f.DrawText(&sys, "I", -1, &r, 0x80000000u);
  EXPECT_GE(ink(sys).right, 0);
  EXPECT_EQ(f.findChar('I')->coverage, 0);  // nothing cached
}

TEST(FontOnTextBackend, a_vertical_glyph_map_is_the_horizontal_map_turned) {
  RAST_CachedFont h, v;
  h.SetFromHFont(makeFont(16), RAST_FONT_OWNS_HFONT);
  v.SetFromHFont(makeFont(16), RAST_FONT_OWNS_HFONT | RAST_FONT_VERTICAL);
  ASSERT_TRUE(h.RenderGlyph('A'));
  ASSERT_TRUE(v.RenderGlyph('A'));
  const RAST_GlyphRecord* a = h.findChar('A');
  const RAST_GlyphRecord* b = v.findChar('A');
  ASSERT_GT(a->coverage, 0);
  EXPECT_EQ(b->width, a->height);
  EXPECT_EQ(b->height, a->width);
  EXPECT_EQ(b->advance, a->advance);
  const unsigned char* ma = h.GetCoverage(a);
  const unsigned char* mb = v.GetCoverage(b);
  for (int r = 0; r < b->height; r++)
    for (int k = 0; k < b->width; k++) ASSERT_EQ(mb[r * b->width + k], ma[(a->height - 1 - k) * a->width + r]);
}

TEST(FontOnTextBackend, the_shared_scratch_bitmaps_live_until_the_last_font_is_destroyed) {
  ASSERT_EQ(RAST_CachedFont::s_tempbitmap_refcnt, 0);
  {
    RAST_CachedFont a;
    a.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
    RAST_MemBitmap mem(60, 20);
    RECT r = {0, 0, 60, 20};
    a.DrawText(&mem, "x", -1, &r, 0);
    EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
    EXPECT_NE(RAST_CachedFont::s_nativerender_tempbitmap, nullptr);
    {
      RAST_CachedFont b;
      EXPECT_EQ(RAST_CachedFont::s_tempbitmap_refcnt, 2);
    }
    EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
  }
  EXPECT_EQ(RAST_CachedFont::s_tempbitmap, nullptr);
  EXPECT_EQ(RAST_CachedFont::s_nativerender_tempbitmap, nullptr);
  RAST_CachedFont c;
  c.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT);
  EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
  EXPECT_GE(RAST_CachedFont::s_tempbitmap->getWidth(), 256);
}

TEST(FontOnTextBackend, native_right_and_bottom_alignment_end_the_text_at_the_rects_edges_and_win_over_centring) {
  RAST_CachedFont f;
  f.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
  f.SetTextColor(kWhite);
  RAST_MemBitmap a(220, 60), b(220, 60);
  clear(a);
  clear(b);
  RECT r = {10, 5, 200, 50};
  f.DrawText(&a, "Osc Level", -1, &r, 0x20 | 0x10);
  RECT r2 = r;
  f.DrawText(&b, "Osc Level", -1, &r2, 0x20 | 0x10 | 0x4 | 0x2);
  const RECT ia = ink(a), ib = ink(b);
  EXPECT_LE(ia.right, 200);
  EXPECT_GE(ia.right, 195);
  EXPECT_LE(ia.bottom, 50);
  EXPECT_GE(ia.bottom, 40);
  EXPECT_EQ(ia.left, ib.left);
  EXPECT_EQ(ia.top, ib.top);
  EXPECT_EQ(ia.right, ib.right);
}

TEST(FontOnTextBackend, a_native_label_wider_than_its_rect_is_cut_at_the_rect_unless_unclipped) {
  RAST_CachedFont f;
  f.SetFromHFont(makeFont(14), RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE);
  f.SetTextColor(kWhite);
  RECT m = {0, 0, 0, 0};
  f.DrawText(nullptr, "Filter Envelope Amount", -1, &m, 0x1);
  ASSERT_GT(m.right, 60);
  RAST_MemBitmap bm(300, 40);
  clear(bm);
  RECT r = {100, 5, 160, 35};
  f.DrawText(&bm, "Filter Envelope Amount", -1, &r, 0x4);
  RECT got = ink(bm);
  EXPECT_GE(got.left, 100);
  EXPECT_LE(got.right, 160);
  EXPECT_GE(got.right - got.left, 50);
  clear(bm);
  r = {100, 5, 160, 35};
  f.DrawText(&bm, "Filter Envelope Amount", -1, &r, 0x4 | 0x100);
  got = ink(bm);
  EXPECT_LT(got.left, 100);
  EXPECT_GT(got.right, 160);
}
