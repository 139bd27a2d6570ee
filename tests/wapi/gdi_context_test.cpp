// Memory contexts, object selection, deletion and the record pools.
#include "kit/wapi/wapi-gdi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

HGDIOBJ pseudo(uintptr_t v) { return reinterpret_cast<HGDIOBJ>(v); }

struct MemCtx {
  HDC dc;
  MemCtx(int w, int h) : dc(WAPI_CreateMemContext(nullptr, w, h)) {}
  ~MemCtx() { WAPI_DeleteGfxContext(dc); }
};

uint32_t word(const void* frame, size_t index) {
  uint32_t w;
  memcpy(&w, static_cast<const uint8_t*>(frame) + index * 4, 4);
  return w;
}

}  // namespace

TEST(MemoryContext, ThreeByTwoHasAClearedAlignedBufferOfTwelveByteRowsWithTheTopLeftPixelFirst) {
  MemCtx m(3, 2);
  ASSERT_NE(m.dc, nullptr);
  uint8_t* px = static_cast<uint8_t*>(WAPI_GetCtxFrameBuffer(m.dc));
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(px) % 64, 0u);
  EXPECT_EQ(CGBitmapContextGetBytesPerRow(m.dc->ctx), 12u);
  EXPECT_EQ(CGBitmapContextGetData(m.dc->ctx), px);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(word(px, i), 0u) << "buffer starts cleared";
  // Red at the top-left is word 0 (skipped byte, red, green, blue); blue at the bottom-right the last.
  CGContextSetRGBFillColor(m.dc->ctx, 1, 0, 0, 1);
  CGContextFillRect(m.dc->ctx, CGRectMake(0, 0, 1, 1));
  CGContextSetRGBFillColor(m.dc->ctx, 0, 0, 1, 1);
  CGContextFillRect(m.dc->ctx, CGRectMake(2, 1, 1, 1));
  const uint32_t want[6] = {255u << 8, 0, 0, 0, 0, 255u << 24};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(word(px, i), want[i]) << "word " << i;
}

TEST(MemoryContext, SizesThatAreNotPositiveOrOverflowGiveNoContext) {
  // 32-bit products of the large ones wrap to small numbers: refused, not under-allocated.
  const int sizes[][2] = {{0, 5}, {5, 0}, {-3, 4}, {65536, 16384}, {INT_MAX, INT_MAX}, {1 << 30, 1}};
  for (const auto& s : sizes) EXPECT_EQ(WAPI_CreateMemContext(nullptr, s[0], s[1]), nullptr) << s[0] << "x" << s[1];
}

TEST(MemoryContext, FreshContextHasBlackTextNoSelectionAndTransparentBackgroundAndTakesATextColour) {
  MemCtx m(4, 4);
  ASSERT_NE(m.dc, nullptr);
  EXPECT_EQ(GetTextColor(m.dc), 0);
  EXPECT_EQ(CGColorGetAlpha(m.dc->textColorCG), 1.0);
  EXPECT_EQ(m.dc->curPen || m.dc->curBrush || m.dc->curFont, false);
  EXPECT_EQ(m.dc->bkMode | m.dc->bkColor, 0);
  SetTextColor(m.dc, 0xFF8000);
  EXPECT_EQ(GetTextColor(m.dc), 0xFF8000);
  const CGFloat* c = CGColorGetComponents(m.dc->textColorCG);
  const float want[4] = {1.0f, 128.0f / 255.0f, 0.0f, 1.0f};
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(float(c[i]), want[i]) << i;
}

TEST(MemoryContext, DeletedContextIsRefusedEverywhere) {
  HDC dc = WAPI_CreateMemContext(nullptr, 2, 2);
  ASSERT_NE(dc, nullptr);
  HGDIOBJ pen = CreatePen(0, 1, 0xFF0000);
  WAPI_DeleteGfxContext(dc);
  // Pooled or freed: only test through a pooled record, which stays addressable.
  if (dc->inPool) {
    EXPECT_EQ(WAPI_GetCtxFrameBuffer(dc), nullptr);
    EXPECT_EQ(SelectObject(dc, pen), nullptr);
    EXPECT_EQ(GetTextColor(dc), -1);
    EXPECT_EQ(WAPI_GetCtxGC(dc), nullptr);
    SetTextColor(dc, 0x123456);
    EXPECT_EQ(dc->textColor, 0);
    WAPI_DeleteGfxContext(dc);  // a second delete is ignored
  }
  DeleteObject(pen);
  EXPECT_EQ(WAPI_GetCtxFrameBuffer(nullptr), nullptr);
  EXPECT_EQ(GetTextColor(nullptr), -1);
}

TEST(Selection, EachKindHasItsSlotAndPseudoHandlesEmptyIt) {
  MemCtx m(2, 2);
  HGDIOBJ font = CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  HGDIOBJ pen = CreatePen(0, 2, 0x00FF00), pen2 = CreatePen(0, 1, 0), brush = CreateSolidBrush(0x0000FF);
  GDP_OBJECT* image = GDP_OBJECT_NEW();
  image->type = WAPI_GDI_IMAGE;
  struct Step {
    HDC dc;
    HGDIOBJ select, answer, pen, font;
  } steps[] = {
      {m.dc, font, pseudo(3), nullptr, font},       // a fresh slot answers the default
      {m.dc, pseudo(3), font, nullptr, nullptr},    // the pseudo-handle gives the font back
      {m.dc, pseudo(3), pseudo(3), nullptr, nullptr},
      {m.dc, pen, pseudo(1), pen, nullptr},
      {m.dc, pen, pen, pen, nullptr},               // the same pen again keeps the slot
      {m.dc, pen2, pen, pen2, nullptr},
      {m.dc, brush, pseudo(2), pen2, nullptr},      // brushes have their own slot
      {m.dc, image, nullptr, pen2, nullptr},        // images, handle 4 and NULL are no selection
      {m.dc, pseudo(4), nullptr, pen2, nullptr},
      {m.dc, nullptr, nullptr, pen2, nullptr},
      {nullptr, pseudo(1), nullptr, pen2, nullptr},
      {m.dc, pseudo(1), pen2, nullptr, nullptr},
  };
  for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
    const Step& s = steps[i];
    EXPECT_EQ(SelectObject(s.dc, s.select), s.answer) << "step " << i;
    EXPECT_EQ(m.dc->curPen, s.pen) << "step " << i;
    EXPECT_EQ(m.dc->curFont, s.font) << "step " << i;
  }
  EXPECT_EQ(m.dc->curBrush, brush);
  SelectObject(m.dc, pseudo(2));
  for (HGDIOBJ o : {font, pen, pen2, brush, HGDIOBJ(image)}) DeleteObject(o);
}

TEST(Objects, PenWidthIsNeverNegativeAndColoursCarryTheirAlpha) {
  HGDIOBJ pen = CreatePen(0, -4, 0xFFFFFF);
  HGDIOBJ brush = CreateSolidBrushAlpha(0x336699, 0.5f);
  ASSERT_TRUE(pen && brush);
  EXPECT_EQ(pen->type, WAPI_GDI_PEN);
  EXPECT_EQ(pen->width, 0);
  EXPECT_EQ(CGColorGetAlpha(pen->color), 1.0);
  EXPECT_EQ(brush->type, WAPI_GDI_BRUSH);
  EXPECT_EQ(CGColorGetAlpha(brush->color), 0.5);
  EXPECT_FLOAT_EQ(float(CGColorGetComponents(brush->color)[1]), 102.0f / 255.0f);
  DeleteObject(pen);
  DeleteObject(brush);
}

TEST(Objects, ACloneSurvivesTheFirstDeleteAndGoesWithTheSecond) {
  MemCtx m(2, 2);
  HGDIOBJ brush = CreateSolidBrush(0x112233);
  EXPECT_EQ(WAPI_CloneGDIObject(brush), brush);
  DeleteObject(brush);
  EXPECT_EQ(brush->inPool, 0);
  EXPECT_EQ(SelectObject(m.dc, brush), pseudo(2)) << "still a live brush";
  SelectObject(m.dc, pseudo(2));
  DeleteObject(brush);
  if (brush->inPool) {
    EXPECT_EQ(SelectObject(m.dc, brush), nullptr) << "a released record is no object";
    EXPECT_EQ(WAPI_CloneGDIObject(brush), nullptr);
  }
}

TEST(Objects, StockEmptyPenAndBrushSurviveDeletion) {
  HGDIOBJ pen = GetStockObject(NULL_PEN), brush = GetStockObject(NULL_BRUSH);
  ASSERT_TRUE(pen && brush);
  EXPECT_EQ(brush->type, WAPI_GDI_BRUSH);
  DeleteObject(pen);
  DeleteObject(brush);
  EXPECT_EQ(pen->inPool, 0);
  EXPECT_EQ(pen->type, WAPI_GDI_PEN);
  EXPECT_EQ(pen->width, -1);
  EXPECT_EQ(GetStockObject(NULL_PEN), pen);
  EXPECT_EQ(GetStockObject(0), nullptr);
  EXPECT_EQ(GetStockObject(3), nullptr);
  DeleteObject(pseudo(1));  // pseudo-handles are never read through
  DeleteObject(nullptr);
}

TEST(Pools, ContextAndObjectPoolsKeepAtMostOneAndTwoHundredRecords) {
  std::vector<HDC> dcs;
  for (int i = 0; i < 130; ++i) dcs.push_back(WAPI_CreateMemContext(nullptr, 1, 1));
  for (HDC dc : dcs) ASSERT_NE(dc, nullptr);
  for (HDC dc : dcs) WAPI_DeleteGfxContext(dc);
  EXPECT_EQ(WAPI_GetCtxPoolSize(), 100);
  HDC again = WAPI_CreateMemContext(nullptr, 1, 1);
  EXPECT_EQ(WAPI_GetCtxPoolSize(), 99) << "a new context reuses a pooled record";
  EXPECT_EQ(again->inPool, 0);
  WAPI_DeleteGfxContext(again);

  std::vector<HGDIOBJ> objs;
  for (int i = 0; i < 230; ++i) objs.push_back(CreatePen(0, 1, i));
  for (HGDIOBJ o : objs) DeleteObject(o);
  EXPECT_EQ(WAPI_GetObjPoolSize(), 200);
  HGDIOBJ o = CreateSolidBrush(1);
  EXPECT_EQ(WAPI_GetObjPoolSize(), 199);
  EXPECT_EQ(o->inPool | o->extraRefs, 0);
  DeleteObject(o);
}
