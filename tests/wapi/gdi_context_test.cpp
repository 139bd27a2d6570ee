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

  CGContextSetRGBFillColor(m.dc->ctx, 1, 0, 0, 1);
  CGContextFillRect(m.dc->ctx, CGRectMake(0, 0, 1, 1));
  // Skipped byte, then red, green, blue.
  EXPECT_EQ(px[1], 255);
  EXPECT_EQ(px[2], 0);
  EXPECT_EQ(px[3], 0);
  for (size_t i = 1; i < 6; ++i) EXPECT_EQ(word(px, i), 0u) << "only word 0 was painted, not " << i;

  // The bottom-right pixel is the last word: row 1 starts 3 words in.
  CGContextSetRGBFillColor(m.dc->ctx, 0, 0, 1, 1);
  CGContextFillRect(m.dc->ctx, CGRectMake(2, 1, 1, 1));
  EXPECT_EQ(word(px, 5), 255u << 24);
  EXPECT_EQ(word(px, 2), 0u);
}

TEST(MemoryContext, SizesThatAreNotPositiveOrOverflowGiveNoContext) {
  EXPECT_EQ(WAPI_CreateMemContext(nullptr, 0, 5), nullptr);
  EXPECT_EQ(WAPI_CreateMemContext(nullptr, 5, 0), nullptr);
  EXPECT_EQ(WAPI_CreateMemContext(nullptr, -3, 4), nullptr);
  // 32-bit products of these wrap to small numbers; they must be refused, not under-allocated.
  EXPECT_EQ(WAPI_CreateMemContext(nullptr, 65536, 16384), nullptr);
  EXPECT_EQ(WAPI_CreateMemContext(nullptr, INT_MAX, INT_MAX), nullptr);
  EXPECT_EQ(WAPI_CreateMemContext(nullptr, 1 << 30, 1), nullptr);
}

TEST(MemoryContext, FreshContextHasOpaqueBlackTextNoSelectionAndTransparentBlackBackground) {
  MemCtx m(4, 4);
  ASSERT_NE(m.dc, nullptr);
  EXPECT_EQ(GetTextColor(m.dc), 0);
  ASSERT_NE(m.dc->textColorCG, nullptr);
  const CGFloat* c = CGColorGetComponents(m.dc->textColorCG);
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(c[3], 1);
  EXPECT_EQ(m.dc->curPen, nullptr);
  EXPECT_EQ(m.dc->curBrush, nullptr);
  EXPECT_EQ(m.dc->curFont, nullptr);
  EXPECT_EQ(m.dc->bkMode, 0);
  EXPECT_EQ(m.dc->bkColor, 0);
}

TEST(MemoryContext, DeletedContextIsRefusedEverywhere) {
  HDC dc = WAPI_CreateMemContext(nullptr, 2, 2);
  ASSERT_NE(dc, nullptr);
  HGDIOBJ pen = CreatePen(0, 1, 0xFF0000);
  WAPI_DeleteGfxContext(dc);
  // Pooled or freed: only test through a pooled record, which stays addressable.
  if (WAPI_GetCtxPoolSize() > 0 && dc->inPool) {
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

TEST(TextState, TextColourIsStoredWithItsChannelsForDrawing) {
  MemCtx m(1, 1);
  SetTextColor(m.dc, 0xFF8000);
  EXPECT_EQ(GetTextColor(m.dc), 0xFF8000);
  const CGFloat* c = CGColorGetComponents(m.dc->textColorCG);
  EXPECT_FLOAT_EQ(float(c[0]), 1.0f);
  EXPECT_FLOAT_EQ(float(c[1]), 128.0f / 255.0f);
  EXPECT_FLOAT_EQ(float(c[2]), 0.0f);
  EXPECT_FLOAT_EQ(float(c[3]), 1.0f);
}

TEST(GfxContext, WrapsABorrowedContextWithoutAFrameBuffer) {
  MemCtx m(2, 2);
  HDC g = WAPI_CreateGfxContext(m.dc->ctx);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(WAPI_GetCtxGC(g), m.dc->ctx);
  EXPECT_EQ(WAPI_GetCtxFrameBuffer(g), nullptr);
  WAPI_DeleteGfxContext(g);
  // The borrowed context is still usable by its owner.
  CGContextFillRect(m.dc->ctx, CGRectMake(0, 0, 1, 1));
}

TEST(Selection, FontOnFreshContextAnswersTheDefaultAndPseudoHandleGivesItBack) {
  MemCtx m(2, 2);
  HGDIOBJ font = CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(SelectObject(m.dc, font), pseudo(3));
  EXPECT_EQ(m.dc->curFont, font);
  EXPECT_EQ(SelectObject(m.dc, pseudo(3)), font);
  EXPECT_EQ(m.dc->curFont, nullptr);
  EXPECT_EQ(SelectObject(m.dc, pseudo(3)), pseudo(3)) << "empty slot answers the pseudo-handle";
  DeleteObject(font);
}

TEST(Selection, SamePenTwiceAnswersThePenAndKeepsTheSlot) {
  MemCtx m(2, 2);
  HGDIOBJ pen = CreatePen(0, 2, 0x00FF00);
  EXPECT_EQ(SelectObject(m.dc, pen), pseudo(1));
  EXPECT_EQ(SelectObject(m.dc, pen), pen);
  EXPECT_EQ(m.dc->curPen, pen);
  HGDIOBJ pen2 = CreatePen(0, 1, 0);
  EXPECT_EQ(SelectObject(m.dc, pen2), pen);
  EXPECT_EQ(m.dc->curPen, pen2);
  HGDIOBJ brush = CreateSolidBrush(0x0000FF);
  EXPECT_EQ(SelectObject(m.dc, brush), pseudo(2)) << "brushes have their own slot";
  EXPECT_EQ(m.dc->curPen, pen2);
  SelectObject(m.dc, pseudo(1));
  SelectObject(m.dc, pseudo(2));
  DeleteObject(pen);
  DeleteObject(pen2);
  DeleteObject(brush);
}

TEST(Selection, ImagesLowHandlesAndDeadContextsAreRefused) {
  MemCtx m(2, 2);
  GDP_OBJECT* image = GDP_OBJECT_NEW();
  image->type = WAPI_GDI_IMAGE;
  EXPECT_EQ(SelectObject(m.dc, image), nullptr);
  EXPECT_EQ(SelectObject(m.dc, pseudo(4)), nullptr);
  EXPECT_EQ(SelectObject(m.dc, nullptr), nullptr);
  EXPECT_EQ(SelectObject(nullptr, pseudo(1)), nullptr);
  EXPECT_EQ(m.dc->curPen, nullptr);
  DeleteObject(image);
}

TEST(Objects, PenWidthIsNeverNegativeAndColourHasFullAlpha) {
  HGDIOBJ pen = CreatePen(0, -4, 0xFFFFFF);
  ASSERT_NE(pen, nullptr);
  EXPECT_EQ(pen->type, 1);
  EXPECT_EQ(pen->width, 0);
  EXPECT_EQ(CGColorGetAlpha(pen->color), 1.0);
  HGDIOBJ brush = CreateSolidBrushAlpha(0x336699, 0.5f);
  EXPECT_EQ(brush->type, 2);
  EXPECT_EQ(brush->width, 0);
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
  EXPECT_NE(brush->color, nullptr);
  EXPECT_EQ(SelectObject(m.dc, brush), pseudo(2)) << "still a live brush";
  SelectObject(m.dc, pseudo(2));
  int before = WAPI_GetObjPoolSize();
  DeleteObject(brush);
  if (before < 200) {
    EXPECT_EQ(WAPI_GetObjPoolSize(), before + 1);
    EXPECT_EQ(SelectObject(m.dc, brush), nullptr) << "a released record is no object";
    EXPECT_EQ(WAPI_CloneGDIObject(brush), nullptr);
  }
}

TEST(Objects, StockEmptyPenAndBrushSurviveDeletion) {
  HGDIOBJ pen = GetStockObject(1);
  HGDIOBJ brush = GetStockObject(2);
  ASSERT_NE(pen, nullptr);
  ASSERT_NE(brush, nullptr);
  EXPECT_NE(pen, brush);
  EXPECT_EQ(pen->type, 1);
  EXPECT_EQ(pen->width, -1);
  EXPECT_EQ(brush->type, 2);
  DeleteObject(pen);
  DeleteObject(brush);
  EXPECT_EQ(pen->inPool, 0);
  EXPECT_EQ(pen->type, 1);
  EXPECT_EQ(pen->width, -1);
  EXPECT_EQ(GetStockObject(1), pen);
  EXPECT_EQ(GetStockObject(0), nullptr);
  EXPECT_EQ(GetStockObject(3), nullptr);
  DeleteObject(pseudo(1));  // pseudo-handles are never read through
  DeleteObject(nullptr);
}

TEST(Pools, ContextPoolKeepsAtMostOneHundredRecords) {
  std::vector<HDC> dcs;
  for (int i = 0; i < 130; ++i) dcs.push_back(WAPI_CreateMemContext(nullptr, 1, 1));
  for (HDC dc : dcs) ASSERT_NE(dc, nullptr);
  for (HDC dc : dcs) WAPI_DeleteGfxContext(dc);
  EXPECT_EQ(WAPI_GetCtxPoolSize(), 100);
  HDC again = WAPI_CreateMemContext(nullptr, 1, 1);
  EXPECT_EQ(WAPI_GetCtxPoolSize(), 99) << "a new context reuses a pooled record";
  EXPECT_EQ(again->inPool, 0);
  WAPI_DeleteGfxContext(again);
  HDC extra = WAPI_GDP_CTX_NEW();
  HDC extra2 = WAPI_GDP_CTX_NEW();
  WAPI_DeleteGfxContext(extra);
  WAPI_DeleteGfxContext(extra2);
  EXPECT_EQ(WAPI_GetCtxPoolSize(), 100) << "the pool is full; the record beyond it was freed";
}

TEST(Pools, ObjectPoolKeepsAtMostTwoHundredRecords) {
  std::vector<HGDIOBJ> objs;
  for (int i = 0; i < 230; ++i) objs.push_back(CreatePen(0, 1, i));
  for (HGDIOBJ o : objs) DeleteObject(o);
  EXPECT_EQ(WAPI_GetObjPoolSize(), 200);
  HGDIOBJ o = CreateSolidBrush(1);
  EXPECT_EQ(WAPI_GetObjPoolSize(), 199);
  EXPECT_EQ(o->inPool, 0);
  EXPECT_EQ(o->extraRefs, 0);
  DeleteObject(o);
}
