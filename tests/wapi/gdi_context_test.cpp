// Memory contexts, object selection, deletion, the record pools, fills and clip regions.
#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-imagelist.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using V = std::vector<long long>;  // results in call order
HGDIOBJ pseudo(uintptr_t v) {
  return reinterpret_cast<HGDIOBJ>(v);
}

struct MemCtx {
  HDC dc;
  int w;
  MemCtx(int w_, int h) : dc(WAPI_CreateMemContext(nullptr, w_, h)), w(w_) {}
  ~MemCtx() { WAPI_DeleteGfxContext(dc); }
  long long word(int x, int y) const {
    uint32_t v;
    memcpy(&v, static_cast<const uint8_t*>(WAPI_GetCtxFrameBuffer(dc)) + (size_t(y) * w + x) * 4, 4);
    return v;
  }
};

}  // namespace

TEST(MemoryContext, ClearedAlignedTopDownBufferFreshStateAndRefusals) {
  MemCtx m(3, 2);
  ASSERT_NE(m.dc, nullptr);
  void* px = WAPI_GetCtxFrameBuffer(m.dc);
  EXPECT_EQ((V{reinterpret_cast<intptr_t>(px) % 64, long(CGBitmapContextGetBytesPerRow(m.dc->ctx)),
               CGBitmapContextGetData(m.dc->ctx) == px}),
            (V{0, 12, 1}));
  // Skipped byte, red, green, blue: red at the top-left is word 0, blue at the bottom-right the last.
  CGContextSetRGBFillColor(m.dc->ctx, 1, 0, 0, 1);
  CGContextFillRect(m.dc->ctx, CGRectMake(0, 0, 1, 1));
  CGContextSetRGBFillColor(m.dc->ctx, 0, 0, 1, 1);
  CGContextFillRect(m.dc->ctx, CGRectMake(2, 1, 1, 1));
  EXPECT_EQ((V{m.word(0, 0), m.word(1, 0), m.word(2, 0), m.word(0, 1), m.word(1, 1), m.word(2, 1)}),
            (V{255 << 8, 0, 0, 0, 0, 255ll << 24}));
  EXPECT_EQ((V{GetTextColor(m.dc), m.dc->curPen || m.dc->curBrush || m.dc->curFont, m.dc->bkMode, m.dc->bkColor}),
            (V{0, 0, 0, 0}));
  SetTextColor(m.dc, 0xFF8000);
  EXPECT_EQ(GetTextColor(m.dc), 0xFF8000);
  EXPECT_FLOAT_EQ(float(CGColorGetComponents(m.dc->textColorCG)[1]), 128.0f / 255.0f);
  // 32-bit products of the large sizes wrap to small numbers: refused, not under-allocated.
  const int sizes[][2] = {{0, 5}, {5, 0}, {-3, 4}, {65536, 16384}, {INT_MAX, INT_MAX}, {1 << 30, 1}};
  for (const auto& s : sizes) EXPECT_EQ(WAPI_CreateMemContext(nullptr, s[0], s[1]), nullptr) << s[0] << "x" << s[1];
  HDC dead = WAPI_CreateMemContext(nullptr, 2, 2);
  WAPI_DeleteGfxContext(dead);
  if (dead->inPool) {  // only a pooled record stays addressable
    SetTextColor(dead, 0x123456);
    EXPECT_EQ((V{WAPI_GetCtxFrameBuffer(dead) != nullptr, SelectObject(dead, pseudo(1)) != nullptr,
                 WAPI_GetCtxGC(dead) != nullptr, GetTextColor(dead)}),
              (V{0, 0, 0, -1}));
    WAPI_DeleteGfxContext(dead);  // a second delete is ignored
  }
  EXPECT_EQ((V{WAPI_GetCtxFrameBuffer(nullptr) != nullptr, GetTextColor(nullptr)}), (V{0, -1}));
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
      {m.dc, font, pseudo(3), nullptr, font},     // a fresh slot answers the default
      {m.dc, pseudo(3), font, nullptr, nullptr},  // the pseudo-handle gives the font back
      {m.dc, pseudo(3), pseudo(3), nullptr, nullptr},
      {m.dc, pen, pseudo(1), pen, nullptr},
      {m.dc, pen, pen, pen, nullptr},  // the same pen again keeps the slot
      {m.dc, pen2, pen, pen2, nullptr},
      {m.dc, brush, pseudo(2), pen2, nullptr},  // brushes have their own slot
      {m.dc, image, nullptr, pen2, nullptr},    // images, handle 4 and NULL are no selection
      {m.dc, pseudo(4), nullptr, pen2, nullptr},
      {m.dc, nullptr, nullptr, pen2, nullptr},
      {nullptr, pseudo(1), nullptr, pen2, nullptr},
      {m.dc, pseudo(1), pen2, nullptr, nullptr},
  };
  for (const Step& s : steps)
    EXPECT_EQ((std::vector<HGDIOBJ>{SelectObject(s.dc, s.select), m.dc->curPen, m.dc->curFont}),
              (std::vector<HGDIOBJ>{s.answer, s.pen, s.font}))
        << "step " << &s - steps;
  EXPECT_EQ(m.dc->curBrush, brush);
  SelectObject(m.dc, pseudo(2));
  for (HGDIOBJ o : {font, pen, pen2, brush, HGDIOBJ(image)}) DeleteObject(o);
}

TEST(Objects, PensBrushesClonesStockObjectsAndPoolsLiveAsLongAsTheyShould) {
  MemCtx m(2, 2);
  HGDIOBJ pen = CreatePen(0, -4, 0xFFFFFF), brush = CreateSolidBrushAlpha(0x336699, 0.5f);
  EXPECT_EQ((std::vector<float>{float(pen->width), float(CGColorGetAlpha(pen->color)),
                                float(CGColorGetAlpha(brush->color)), float(CGColorGetComponents(brush->color)[1])}),
            (std::vector<float>{0, 1, 0.5f, 102 / 255.0f}))
      << "widths are never negative";
  DeleteObject(pen);
  EXPECT_EQ(WAPI_CloneGDIObject(brush), brush);
  DeleteObject(brush);
  EXPECT_EQ(SelectObject(m.dc, brush), pseudo(2)) << "the clone keeps it alive";
  SelectObject(m.dc, pseudo(2));
  DeleteObject(brush);
  if (brush->inPool) {
    EXPECT_EQ((V{SelectObject(m.dc, brush) != nullptr, WAPI_CloneGDIObject(brush) != nullptr}), (V{0, 0}));
  }
  HGDIOBJ nullPen = GetStockObject(NULL_PEN), nullBrush = GetStockObject(NULL_BRUSH);
  ASSERT_TRUE(nullPen && nullBrush);
  for (HGDIOBJ o : {nullPen, nullBrush, pseudo(1), HGDIOBJ(nullptr)}) DeleteObject(o);  // pseudo-handles are not read
  EXPECT_EQ((V{nullPen->inPool, nullBrush->inPool, nullPen->width, nullBrush->type}), (V{0, 0, -1, WAPI_GDI_BRUSH}));
  EXPECT_EQ((std::vector<HGDIOBJ>{GetStockObject(NULL_PEN), GetStockObject(0), GetStockObject(3)}),
            (std::vector<HGDIOBJ>{nullPen, nullptr, nullptr}));
  // The pools keep at most 100 contexts and 200 objects, and new records come from them.
  std::vector<HDC> dcs;
  std::vector<HGDIOBJ> objs;
  for (int i = 0; i < 130; ++i) dcs.push_back(WAPI_CreateMemContext(nullptr, 1, 1));
  for (int i = 0; i < 230; ++i) objs.push_back(CreatePen(0, 1, i));
  for (HDC dc : dcs) WAPI_DeleteGfxContext(dc);
  for (HGDIOBJ o : objs) DeleteObject(o);
  V sizes{WAPI_GetCtxPoolSize(), WAPI_GetObjPoolSize()};
  HDC dc = WAPI_CreateMemContext(nullptr, 1, 1);
  HGDIOBJ o = CreateSolidBrush(1);
  EXPECT_EQ((V{sizes[0], sizes[1], WAPI_GetCtxPoolSize(), WAPI_GetObjPoolSize(), dc->inPool, o->inPool, o->extraRefs}),
            (V{100, 200, 99, 199, 0, 0, 0}));
  WAPI_DeleteGfxContext(dc);
  DeleteObject(o);
}

TEST(GdiThreads, PoolsNeverHandOutOneRecordTwiceAndSharedImagesAreCountedRight) {
  const uint8_t argb[16] = {255, 1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12};
  HGDIOBJ bm = CreateBitmap(2, 2, 1, 32, argb);
  const auto* img = static_cast<const WAPI_Image*>(GetNSImageFromHICON(bm));
  ASSERT_NE(img, nullptr);
  std::vector<int> failures(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, bm, &failures] {
      ICONINFO info{1, 0, 0, nullptr, bm};
      for (int i = 0; i < 400; ++i) {
        HDC dc = WAPI_CreateMemContext(nullptr, 2, 2);
        HGDIOBJ pen = CreatePen(0, 1, t), icon = CreateIconIndirect(&info);
        HIMAGELIST list = ImageList_CreateEx();
        // A record held by two threads would see the other's colour or selection.
        SetTextColor(dc, t * 1000 + i);
        SelectObject(dc, pen);
        failures[t] += !dc || !pen || GetTextColor(dc) != t * 1000 + i || dc->curPen != pen;
        ImageList_ReplaceIcon(list, -1, icon);
        ImageList_ReplaceIcon(list, -1, icon);
        SelectObject(dc, pseudo(1));
        WAPI_DeleteGfxContext(dc);
        for (HGDIOBJ o : {pen, icon}) DeleteObject(o);
        ImageList_Destroy(list);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(img->refs.load(), 1);  // only the bitmap itself still holds it
  DeleteObject(bm);
}

TEST(Fill, BrushesFillRightBottomExclusiveWithinTheClipAndNothingElseFills) {
  MemCtx m(10, 10);
  const long long green = 255 << 16, red = 255 << 8;
  RECT all{0, 0, 10, 10}, part{2, 3, 5, 7}, clip{4, 4, 6, 6};
  HGDIOBJ pen = CreatePen(0, 1, 0xFFFFFF), gone = CreateSolidBrush(0xFFFFFF);
  HGDIOBJ g = CreateSolidBrush(0x00FF00), r = CreateSolidBrush(0xFF0000);
  DeleteObject(gone);
  for (HGDIOBJ none : {pen, GetStockObject(NULL_BRUSH), pseudo(2), gone->inPool ? gone : nullptr})
    WAPI_FillRect(m.dc, &all, none);
  WAPI_FillRect(nullptr, &all, g);
  WAPI_FillRect(m.dc, &part, g);
  EXPECT_EQ((V{m.word(2, 3), m.word(4, 6), m.word(5, 6), m.word(4, 7), m.word(1, 3), m.word(9, 9)}),
            (V{green, green, 0, 0, 0, 0}));
  WAPI_PushClipRegion(m.dc);
  WAPI_SetClipRegion(m.dc, &clip);
  WAPI_FillRect(m.dc, &all, r);
  EXPECT_EQ((V{m.word(4, 4), m.word(6, 6), m.word(7, 5), m.word(5, 8)}), (V{red, 0, 0, 0}));
  WAPI_PopClipRegion(m.dc);
  WAPI_FillRect(m.dc, &all, r);
  WAPI_FillDialogBackground(m.dc, &clip, 3);
  const long long grey = m.word(5, 5) >> 8;
  EXPECT_EQ((V{m.word(0, 0), m.word(6, 6), grey, grey > 0xC8C8C8}), (V{red, red, (grey & 0xFF) * 0x10101, 1}))
      << "light grey";
  // Only image objects yield an image.
  int marker = 0;
  GDP_OBJECT* img = GDP_OBJECT_NEW();
  img->type = WAPI_GDI_IMAGE;
  img->image = &marker;
  EXPECT_EQ((std::vector<void*>{GetNSImageFromHICON(img), GetNSImageFromHICON(pen), GetNSImageFromHICON(pseudo(4))}),
            (std::vector<void*>{&marker, nullptr, nullptr}));
  for (HGDIOBJ o : {pen, g, r, HGDIOBJ(img)}) DeleteObject(o);
}
