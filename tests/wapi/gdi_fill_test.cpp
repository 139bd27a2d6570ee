// Brush fills, the dialog background and clip regions.
#include "kit/wapi/wapi-gdi.h"

#include <gtest/gtest.h>

namespace {

class Fill : public ::testing::Test {
 protected:
  HDC dc = nullptr;
  void SetUp() override { dc = WAPI_CreateMemContext(nullptr, 10, 10); }
  void TearDown() override { WAPI_DeleteGfxContext(dc); }
  const uint8_t* px(int x, int y) {
    return static_cast<const uint8_t*>(WAPI_GetCtxFrameBuffer(dc)) + (size_t(y) * 10 + x) * 4;
  }
};

}  // namespace

TEST_F(Fill, BrushFillCoversLeftTopToRightBottomExclusive) {
  HGDIOBJ b = CreateSolidBrush(0x00FF00);
  RECT r{2, 3, 5, 7};
  WAPI_FillRect(dc, &r, b);
  EXPECT_EQ(px(2, 3)[2], 255);
  EXPECT_EQ(px(4, 6)[2], 255);
  EXPECT_EQ(px(5, 6)[2], 0);
  EXPECT_EQ(px(4, 7)[2], 0);
  EXPECT_EQ(px(1, 3)[2], 0);
  DeleteObject(b);
}

TEST_F(Fill, PensEmptyBrushesAndDeadBrushesFillNothing) {
  RECT r{0, 0, 10, 10};
  HGDIOBJ pen = CreatePen(0, 1, 0xFFFFFF);
  WAPI_FillRect(dc, &r, pen);
  WAPI_FillRect(dc, &r, GetStockObject(2));
  WAPI_FillRect(dc, &r, reinterpret_cast<HGDIOBJ>(uintptr_t(2)));
  HGDIOBJ gone = CreateSolidBrush(0xFFFFFF);
  DeleteObject(gone);
  if (gone->inPool) WAPI_FillRect(dc, &r, gone);
  WAPI_FillRect(nullptr, &r, pen);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(px(x, y)[1], 0);
  DeleteObject(pen);
}

TEST_F(Fill, ClipRegionLimitsFillsUntilPopped) {
  HGDIOBJ b = CreateSolidBrush(0xFF0000);
  RECT all{0, 0, 10, 10}, clip{4, 4, 6, 6};
  WAPI_PushClipRegion(dc);
  WAPI_SetClipRegion(dc, &clip);
  WAPI_FillRect(dc, &all, b);
  EXPECT_EQ(px(4, 4)[1], 255);
  EXPECT_EQ(px(6, 6)[1], 0);
  EXPECT_EQ(px(3, 4)[1], 0);
  WAPI_PopClipRegion(dc);
  WAPI_FillRect(dc, &all, b);
  EXPECT_EQ(px(0, 0)[1], 255);
  DeleteObject(b);
}

TEST_F(Fill, DialogBackgroundIsALightGrey) {
  RECT r{0, 0, 3, 3};
  WAPI_FillDialogBackground(dc, &r, 3);
  EXPECT_EQ(px(1, 1)[1], px(1, 1)[2]);
  EXPECT_EQ(px(1, 1)[1], px(1, 1)[3]);
  EXPECT_GT(px(1, 1)[1], 200);
  EXPECT_EQ(px(3, 3)[1], 0);
}

TEST_F(Fill, OnlyImageObjectsYieldAnImage) {
  int marker = 0;
  GDP_OBJECT* img = GDP_OBJECT_NEW();
  img->type = WAPI_GDI_IMAGE;
  img->image = &marker;
  EXPECT_EQ(GetNSImageFromHICON(img), &marker);
  HGDIOBJ pen = CreatePen(0, 1, 0);
  EXPECT_EQ(GetNSImageFromHICON(pen), nullptr);
  EXPECT_EQ(GetNSImageFromHICON(reinterpret_cast<HGDIOBJ>(uintptr_t(4))), nullptr);
  DeleteObject(pen);
  DeleteObject(img);
}
