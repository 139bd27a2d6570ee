// The cached-glyph font over the real text backend: glyphs rasterised through the platform's
// text drawing, the native path through a bitmap's own drawing context or the shared scratch
// bitmap, and the life of the shared scratch bitmaps.
#include <gtest/gtest.h>

#include "kit/raster/rast_font.h"
#include "kit/wapi/wapi-gdi.h"
#include "raster_test_util.h"

namespace {

using rt::at;
const int kNative = RAST_FONT_OWNS_HFONT | RAST_FONT_PREFER_NATIVE;

struct Font : RAST_CachedFont {
  Font(int size, int flags) {
    SetFromHFont(CreateFont(size, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans"), flags | RAST_FONT_OWNS_HFONT);
    SetTextColor(0xFFFFFFFFu);
  }
};

// Bounding box (left, top, right, bottom) of pixels whose colour bytes are not black.
std::vector<int> ink(RAST_IBitmap& bm) {
  std::vector<int> r = {1 << 30, 1 << 30, -1, -1};
  for (int y = 0; y < bm.getHeight(); y++)
    for (int x = 0; x < bm.getWidth(); x++)
      if (at(bm, x, y) & 0xFFFFFF00u) r = {std::min(r[0], x), std::min(r[1], y), std::max(r[2], x + 1), std::max(r[3], y + 1)};
  return r;
}

// Draws the label at (12, 9) on a cleared bitmap after measuring it there: the ink lies inside
// the measured box and fills most of its width.
void expectInkInsideMeasuredBox(RAST_CachedFont& f, RAST_IBitmap& bm, const char* label) {
  RECT box = {12, 9, 12, 9};
  ASSERT_GT(f.DrawText(nullptr, label, -1, &box, 0x1), 0);
  RECT r = {12, 9, bm.getWidth(), bm.getHeight()};
  rt::fill(bm, 0);
  f.DrawText(&bm, label, -1, &r, 0x100);
  const std::vector<int> got = ink(bm);
  EXPECT_GE(got[0], box.left);
  EXPECT_GE(got[1], box.top);
  EXPECT_LE(got[2], box.right);
  EXPECT_LE(got[3], box.bottom);
  EXPECT_GT(got[2] - got[0], (box.right - box.left) * 3 / 4) << label;
}

}  // namespace

TEST(FontOnTextBackend, LabelsOnEitherPathHaveInkOnlyInsideTheirMeasuredBox) {
  for (int size : {12, 14, 16}) {
    Font f(size, 0);
    EXPECT_GT(f.GetLineHeight(), size / 2);
    RAST_MemBitmap bm(240, 60);
    expectInkInsideMeasuredBox(f, bm, "Cutoff Freq 42");
    expectInkInsideMeasuredBox(f, bm, "Wavy gjpq\xC3\xA9");
  }
  Font native(14, kNative);
  RAST_SysBitmap sys(240, 60);
  expectInkInsideMeasuredBox(native, sys, "Cutoff Freq 42");
  RAST_MemBitmap mem(240, 60);  // no context of its own: through the shared scratch bitmap
  expectInkInsideMeasuredBox(native, mem, "Cutoff Freq 42");
  RECT a = {0, 0, 0, 0}, b = a;
  Font(14, 0).DrawText(nullptr, "Resonance", -1, &a, 0x1);
  native.DrawText(nullptr, "Resonance", -1, &b, 0x1);
  EXPECT_NEAR(a.right, b.right, 3);  // both paths measure alike
  EXPECT_NEAR(a.bottom, b.bottom, 3);
}

TEST(FontOnTextBackend, WhichPathDrawsDecidesWhetherAlphaCounts) {
  RAST_SysBitmap sys(400, 400);
  RECT r = {2, 2, 400, 400};
  Font native(14, kNative);
  native.SetCombineMode(0, 0.0f);  // the glyph path would draw nothing
  rt::fill(sys, 0);
  native.DrawText(&sys, "Env", -1, &r, 0);
  EXPECT_GE(ink(sys)[2], 0);
  rt::fill(sys, 0);
  EXPECT_EQ(native.DrawText(&sys, "Env", -1, &r, 0x40000000u), 0);  // glyph path
  EXPECT_EQ(ink(sys)[2], -1);
  Font huge(300, RAST_FONT_SHADOW);  // line height 256 or more: always native, never cached
  ASSERT_GE(huge.GetLineHeight(), 256);
  huge.SetCombineMode(0, 0.0f);
  huge.DrawText(&sys, "I", -1, &r, 0x80000000u);
  EXPECT_GE(ink(sys)[2], 0);
  EXPECT_EQ(huge.findChar('I')->coverage, 0);
}

TEST(FontOnTextBackend, TheLastFontGoneTakesBothScratchBitmapsAndTheNextMakesThemAnew) {
  ASSERT_EQ(RAST_CachedFont::s_tempbitmap_refcnt, 0);
  RAST_MemBitmap mem(60, 20);
  RECT r = {0, 0, 60, 20};
  {
    Font glyphs(14, 0), native(14, kNative);
    glyphs.DrawText(&mem, "A", -1, &r, 0);
    native.DrawText(&mem, "A", -1, &r, 0);  // no context of its own: the native scratch bitmap
    EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
    EXPECT_NE(RAST_CachedFont::s_nativerender_tempbitmap, nullptr);
    { Font third(12, 0); }
    EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr) << "two fonts still live";
  }
  EXPECT_EQ(RAST_CachedFont::s_tempbitmap, nullptr);
  EXPECT_EQ(RAST_CachedFont::s_nativerender_tempbitmap, nullptr);
  Font again(14, 0);
  rt::fill(mem, 0);
  again.DrawText(&mem, "A", -1, &r, 0);
  EXPECT_NE(RAST_CachedFont::s_tempbitmap, nullptr);
  EXPECT_GT(rt::countSet(mem), 0);
}
