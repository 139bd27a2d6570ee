// The context and object pools are shared by every thread that draws.
#include "kit/wapi/wapi-gdi.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

TEST(PoolThreads, ConcurrentCreateAndDeleteNeverHandsOutOneRecordTwice) {
  constexpr int kThreads = 4, kRounds = 400;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kRounds; ++i) {
        HDC dc = WAPI_CreateMemContext(nullptr, 2, 2);
        HGDIOBJ pen = CreatePen(0, 1, t);
        if (!dc || !pen) {
          failures[t]++;
          continue;
        }
        // A record held by two threads would see the other's colour or selection.
        SetTextColor(dc, t * 1000 + i);
        SelectObject(dc, pen);
        if (GetTextColor(dc) != t * 1000 + i || dc->curPen != pen) failures[t]++;
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(uintptr_t(1)));
        WAPI_DeleteGfxContext(dc);
        DeleteObject(pen);
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  EXPECT_LE(WAPI_GetCtxPoolSize(), 100);
  EXPECT_LE(WAPI_GetObjPoolSize(), 200);
}
