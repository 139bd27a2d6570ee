// Image objects made from one shared bitmap on several threads at once: the image lives until
// the last object holding it is deleted, and is then released once.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "kit/wapi/wapi-imagelist.h"

TEST(SharedImageThreads, IconsMadeAndDeletedConcurrentlyKeepTheSharedImageCountRight) {
  const uint8_t argb[16] = {255, 1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12};
  HGDIOBJ bm = CreateBitmap(2, 2, 1, 32, argb);
  ASSERT_NE(bm, nullptr);
  const WAPI_Image* img = static_cast<const WAPI_Image*>(GetNSImageFromHICON(bm));
  ASSERT_NE(img, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([bm] {
      ICONINFO info{1, 0, 0, nullptr, bm};
      for (int i = 0; i < 500; i++) {
        HIMAGELIST list = ImageList_CreateEx();
        HGDIOBJ icon = CreateIconIndirect(&info);
        ImageList_ReplaceIcon(list, -1, icon);
        ImageList_ReplaceIcon(list, -1, icon);
        DeleteObject(icon);
        ImageList_Destroy(list);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(img->refs.load(), 1);  // only the bitmap itself still holds it
  int32_t wh[2] = {0, 0};
  EXPECT_EQ(GetObject(bm, 8, wh), 1);
  EXPECT_EQ(wh[0], 2);
  DeleteObject(bm);
}
