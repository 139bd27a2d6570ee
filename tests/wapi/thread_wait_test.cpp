// Threads, thread waits with time-out, and events signalled across threads.
#include "kit/wapi/wapi-handles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
long msSince(Clock::time_point t0) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

std::atomic<int> g_release{0};

DWORD waitForRelease(LPVOID arg) {
  while (!g_release.load()) Sleep(1);
  return DWORD(reinterpret_cast<uintptr_t>(arg));
}

DWORD quick(LPVOID arg) { return DWORD(reinterpret_cast<uintptr_t>(arg)) * 2; }

DWORD waitOnEvent(LPVOID arg) { return WaitForSingleObject(arg, 5000); }

// What a started thread finds out about itself once it has dropped its own reference: the
// layer calls the pool hooks below on that thread, after the procedure and after its close.
std::atomic<int> g_poolsClosed{0};
std::atomic<int> g_detachedAtEnd{0};

}  // namespace

void* WAPI_InitAutoRelease() { return nullptr; }

void WAPI_QuitAutoRelease(void*) {
  pthread_attr_t attr;
  int state = PTHREAD_CREATE_JOINABLE;
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    pthread_attr_getdetachstate(&attr, &state);
    pthread_attr_destroy(&attr);
  }
  if (state == PTHREAD_CREATE_DETACHED) g_detachedAtEnd.fetch_add(1);
  g_poolsClosed.fetch_add(1);
}

namespace {
// Waits until `count` started threads have passed their last step, at most five seconds.
bool waitForPoolsClosed(int count) {
  for (int i = 0; i < 5000 && g_poolsClosed.load() < count; ++i) Sleep(1);
  return g_poolsClosed.load() >= count;
}
}  // namespace

TEST(ThreadWait, ZeroTimeOutOnARunningThreadAnswersTimeOutAtOnce) {
  g_release = 0;
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 0, waitForRelease, reinterpret_cast<LPVOID>(7), 0, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(id, 0u);
  auto t0 = Clock::now();
  EXPECT_EQ(WaitForSingleObject(t, 0), 258u);
  EXPECT_LT(msSince(t0), 50);
  t0 = Clock::now();
  EXPECT_EQ(WaitForSingleObject(t, 30), 258u);
  EXPECT_GE(msSince(t0), 29);
  g_release = 1;
  EXPECT_EQ(WaitForSingleObject(t, 5000), 0u);
  EXPECT_EQ(static_cast<WAPI_ThreadObject*>(t)->result, 7u);
  EXPECT_EQ(WaitForSingleObject(t, INFINITE), 0u) << "waiting again after the join is safe";
  EXPECT_EQ(CloseHandle(t), 1);
}

TEST(ThreadWait, AThreadThatDropsTheLastReferenceDetachesItself) {
  g_release = 0;
  g_poolsClosed = 0;
  g_detachedAtEnd = 0;
  HANDLE t = CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(CloseHandle(t), 1);  // the thread still holds its own reference
  g_release = 1;
  // Nobody is left to join it, so its resources go back when it exits.
  ASSERT_TRUE(waitForPoolsClosed(1));
  EXPECT_EQ(g_detachedAtEnd.load(), 1);
}

TEST(ThreadWait, AThreadWhoseCreatorStillHoldsTheHandleStaysJoinableAndKeepsItsResult) {
  g_release = 0;
  g_poolsClosed = 0;
  g_detachedAtEnd = 0;
  HANDLE t = CreateThread(nullptr, 0, quick, reinterpret_cast<LPVOID>(21), 0, nullptr);
  ASSERT_NE(t, nullptr);
  ASSERT_TRUE(waitForPoolsClosed(1));
  EXPECT_EQ(g_detachedAtEnd.load(), 0) << "the creator's close joins it";
  EXPECT_EQ(static_cast<WAPI_ThreadObject*>(t)->done.load(), 1);
  EXPECT_EQ(WaitForSingleObject(t, INFINITE), 0u);
  EXPECT_EQ(static_cast<WAPI_ThreadObject*>(t)->result, 42u);
  EXPECT_EQ(CloseHandle(t), 1);
}

TEST(ThreadWait, PriorityOfAFinishedThreadCannotBeSet) {
  g_release = 0;
  HANDLE t = CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr);
  EXPECT_EQ(SetThreadPriority(t, 0), 1);
  g_release = 1;
  EXPECT_EQ(WaitForSingleObject(t, INFINITE), 0u) << "an infinite wait joins a thread still running";
  EXPECT_EQ(SetThreadPriority(t, 0), 0);
  EXPECT_EQ(SetThreadPriority(nullptr, 0), 0);
  CloseHandle(t);
}

TEST(EventThreads, SetEventWakesOneWaiterOrEveryWaiterOfAManualResetEvent) {
  for (int manual : {0, 1}) {
    SCOPED_TRACE(manual ? "manual reset, two waiters" : "auto reset, one waiter");
    HANDLE e = CreateEvent(nullptr, manual, 0, nullptr);
    std::vector<HANDLE> waiters(manual ? 2 : 1);
    for (HANDLE& t : waiters) t = CreateThread(nullptr, 0, waitOnEvent, e, 0, nullptr);
    Sleep(20);
    EXPECT_EQ(SetEvent(e), 1);
    for (HANDLE t : waiters) {
      EXPECT_EQ(WaitForSingleObject(t, 5000), 0u);
      EXPECT_EQ(static_cast<WAPI_ThreadObject*>(t)->result, 0u) << "the waiter saw the signal";
      CloseHandle(t);
    }
    EXPECT_EQ(WaitForSingleObject(e, 0), manual ? 0u : 258u) << "an auto-reset signal was consumed";
    CloseHandle(e);
  }
}

TEST(EventThreads, AWaitWhoseSignalIsStolenStillEndsAtItsDeadline) {
  // Two waiters on an auto-reset event, one signal: the loser must time out on schedule
  // instead of starting its full time-out again after the wake-up.
  HANDLE e = CreateEvent(nullptr, 0, 0, nullptr);
  std::atomic<DWORD> r1{99}, r2{99};
  auto t0 = Clock::now();
  std::thread a([&] { r1 = WaitForSingleObject(e, 300); });
  std::thread b([&] { r2 = WaitForSingleObject(e, 300); });
  Sleep(150);
  SetEvent(e);
  a.join();
  b.join();
  long took = msSince(t0);
  EXPECT_EQ((r1 == 0) + (r2 == 0), 1);
  EXPECT_EQ((r1 == 258) + (r2 == 258), 1);
  EXPECT_LT(took, 440);
  CloseHandle(e);
}

TEST(SocketEventThreads, SignalFromAnotherThreadEndsAnInfiniteWait) {
  HANDLE e = CreateEventAsSocket(nullptr, 0, 0, nullptr);
  std::thread s([e] {
    Sleep(20);
    SetEvent(e);
  });
  EXPECT_EQ(WaitForSingleObject(e, INFINITE), 0u);
  s.join();
  CloseHandle(e);
}

TEST(Timing, SleepZeroIsShortAndSleepWaitsItsMilliseconds) {
  auto t0 = Clock::now();
  Sleep(0);
  EXPECT_LT(msSince(t0), 50);
  t0 = Clock::now();
  Sleep(30);
  long took = msSince(t0);
  EXPECT_GE(took, 30);
  EXPECT_LT(took, 2000);
}

TEST(Timing, TickCountFollowsTheMonotonicClock) {
  DWORD a = GetTickCount();
  auto t0 = Clock::now();
  Sleep(120);
  DWORD b = GetTickCount();
  long real = msSince(t0);
  // Differences of two readings survive the wrap of the 32-bit count.
  DWORD diff = b - a;
  EXPECT_GE(long(diff), real - 2);
  EXPECT_LE(long(diff), real + 2);
  EXPECT_EQ(DWORD(wapiMonotonicMs()) - GetTickCount() <= 1u, true);
}

TEST(Timing, SleepOutlastsSignalsSentToItsThread) {
  struct sigaction sa {};
  sa.sa_handler = [](int) {};
  sigaction(SIGUSR1, &sa, nullptr);
  pthread_t self = pthread_self();
  std::thread poke([self] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      pthread_kill(self, SIGUSR1);
    }
  });
  auto t0 = Clock::now();
  Sleep(100);
  long took = msSince(t0);
  poke.join();
  EXPECT_GE(took, 100);
}
