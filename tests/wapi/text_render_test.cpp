// Native text through the real font engine: where the pixels land and how they are shaded.
#include "kit/wapi/wapi-gdi.h"

#include <CoreText/CoreText.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

constexpr int kW = 96, kH = 48;

class TextRender : public ::testing::Test {
 protected:
  HDC dc = nullptr;
  void SetUp() override {
    dc = WAPI_CreateMemContext(nullptr, kW, kH);
    ASSERT_NE(dc, nullptr);
    // What the glyph cache does: white on an opaque black box.
    SetTextColor(dc, 0xFFFFFF);
    SetBkMode(dc, 1);
    SetBkColor(dc, 0);
  }
  void TearDown() override {
    SelectObject(dc, WAPI_DEFAULT_FONT);
    WAPI_DeleteGfxContext(dc);
  }
  const uint8_t* px(int x, int y) {
    return static_cast<const uint8_t*>(WAPI_GetCtxFrameBuffer(dc)) + (size_t(y) * kW + x) * 4;
  }
  // Measures then draws like the glyph renderer; answers the measured box.
  RECT render(const char* text, int left, int top) {
    RECT r{left, top, left, top};
    int h = WAPI_DrawText(dc, text, -1, &r, 0x1 | 0x40 | 0x80);
    EXPECT_GT(h, 0);
    EXPECT_EQ(WAPI_DrawText(dc, text, -1, &r, 0x40 | 0x80), h);
    return r;
  }
};

HGDIOBJ makeFont(char quality, int height = -16, const char* face = "DejaVu Sans") {
  return CreateFont(height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, quality, 0, face);
}

}  // namespace

TEST_F(TextRender, WhiteTextLightsRedOnlyInsideTheMeasuredBox) {
  HGDIOBJ f = makeFont(4);
  for (HGDIOBJ selected : {WAPI_DEFAULT_FONT, f}) {  // the default font draws when none is selected
  SelectObject(dc, selected);
  memset(WAPI_GetCtxFrameBuffer(dc), 0, size_t(kW) * kH * 4);
  RECT box = render("Hg", 7, 5);
  ASSERT_GT(box.right, box.left);
  ASSERT_GT(box.bottom, box.top);
  int lit = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
      if (!inside) {
        EXPECT_EQ(px(x, y)[1], 0) << "outside the box at " << x << "," << y;
      } else if (px(x, y)[1]) {
        ++lit;
      }
      // White on black: green and blue follow red exactly.
      EXPECT_EQ(px(x, y)[2], px(x, y)[1]);
      EXPECT_EQ(px(x, y)[3], px(x, y)[1]);
    }
  EXPECT_GT(lit, 20) << "the glyphs were drawn";
  }
  SelectObject(dc, WAPI_DEFAULT_FONT);
  DeleteObject(f);
}

TEST_F(TextRender, AntialiasingOffGivesOnlyFullOrEmptyPixelsAndOnShadesTheEdges) {
  for (char quality : {3, 4}) {
    HGDIOBJ f = makeFont(quality);
    SelectObject(dc, f);
    render("Wavy 0@", 2, 4);
    std::set<int> values;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) values.insert(px(x, y)[1]);
    if (quality == 3)
      EXPECT_EQ(values, (std::set<int>{0, 255}));
    else
      EXPECT_GT(values.size(), 10u);
    SelectObject(dc, WAPI_DEFAULT_FONT);
    DeleteObject(f);
  }
}

TEST_F(TextRender, MetricsOfARealFontAreConsistentWithItsSize) {
  HGDIOBJ f = makeFont(0, -20);
  SelectObject(dc, f);
  TEXTMETRIC tm{};
  ASSERT_EQ(GetTextMetrics(dc, &tm), 1);
  EXPECT_GE(tm.tmAscent, 14);
  EXPECT_LE(tm.tmAscent, 20);
  EXPECT_GE(tm.tmDescent, 3);
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent + tm.tmInternalLeading + 1);
  EXPECT_EQ(tm.tmAveCharWidth, (tm.tmHeight - 1) * 2 / 3);
  // A wider text measures wider; the same text twice measures the same.
  RECT a{0, 0, 0, 0}, b{0, 0, 0, 0}, c{0, 0, 0, 0};
  WAPI_DrawText(dc, "iii", -1, &a, 0x1);
  WAPI_DrawText(dc, "WWW", -1, &b, 0x1);
  WAPI_DrawText(dc, "WWW", -1, &c, 0x1);
  EXPECT_LT(a.right, b.right);
  EXPECT_EQ(b.right, c.right);
  DeleteObject(f);
}

TEST_F(TextRender, CharactersBeyondTheBasicPlaneAreHandled) {
  HGDIOBJ f = makeFont(4);
  SelectObject(dc, f);
  RECT r{0, 0, 0, 0};
  // A character outside the basic plane, between two letters; no crash, a sane width.
  EXPECT_GT(WAPI_DrawText(dc, "a\xF0\x9F\x8E\xB9z", -1, &r, 0x1), 0);
  EXPECT_GT(r.right, 0);
  EXPECT_LT(r.right, 80);
  EXPECT_GT(WAPI_DrawText(dc, "a\xF0\x9F\x8E\xB9z", -1, &r, 0x40), 0);
  DeleteObject(f);
}

TEST_F(TextRender, GlyphsStandUprightOnTheirBaseline) {
  HGDIOBJ f = makeFont(3, -24);
  SelectObject(dc, f);
  RECT box = render("T", 10, 4);
  // The bar of a T is its widest row and sits at the top of the inked rows.
  int first = -1, last = -1, widestRow = -1, widest = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    int n = 0;
    for (int x = box.left; x < box.right; ++x) n += px(x, y)[1] > 0;
    if (n && first < 0) first = y;
    if (n) last = y;
    if (n > widest) widest = n, widestRow = y;
  }
  ASSERT_GE(first, 0);
  EXPECT_LT(widestRow - first, (last - first) / 3);
  TEXTMETRIC tm{};
  GetTextMetrics(dc, &tm);
  // The stem ends on the baseline: box top plus the ascent.
  EXPECT_NEAR(last + 1, box.top + tm.tmAscent, 1.0);
  DeleteObject(f);
}
