// Events, socket events, file handles, threads and waits with time-out.
#include "kit/wapi/wapi-handles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

namespace {

using V = std::vector<long long>;  // results in call order: braced lists evaluate left to right
using Clock = std::chrono::steady_clock;
long msSince(Clock::time_point t0) {
  return long((Clock::now() - t0) / std::chrono::milliseconds(1));
}
constexpr long long kFail = 0xFFFFFFFF, kTimeout = 258;

WAPI_FileObject* tempFileHandle() {
  auto* f = new WAPI_FileObject;
  f->type = WAPI_HANDLE_FILE, f->refs = 1, f->stream = tmpfile();
  return f;
}

std::atomic<int> g_release{0};
DWORD waitForRelease(LPVOID arg) {
  while (!g_release.load()) Sleep(1);
  return DWORD(reinterpret_cast<uintptr_t>(arg));
}
DWORD waitOnEvent(LPVOID arg) {
  return WaitForSingleObject(arg, 5000);
}
DWORD result(HANDLE t) {
  return static_cast<WAPI_ThreadObject*>(t)->result;
}

// The layer calls the pool hooks on a started thread after its procedure and its own close.
std::atomic<int> g_poolsClosed{0}, g_detachedAtEnd{0};

}  // namespace

void* WAPI_InitAutoRelease() {
  return nullptr;
}

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

TEST(Event, PlainAndSocketEventsFollowTheResetRulesAndNeverDoubleASignal) {
  for (bool socket : {false, true})
    for (int manual : {0, 1}) {
      HANDLE e = socket ? CreateEventAsSocket(nullptr, manual, 1, nullptr) : CreateEvent(nullptr, manual, 1, nullptr);
      ASSERT_NE(e, nullptr);
      const long long again = manual ? 0 : kTimeout;
      EXPECT_EQ((V{WaitForSingleObject(e, 0), WaitForSingleObject(e, 0), ResetEvent(e), WaitForSingleObject(e, 0),
                   SetEvent(e), SetEvent(e), WaitForSingleObject(e, 10), WaitForSingleObject(e, 0), CloseHandle(e)}),
                (V{0, again, 1, kTimeout, 1, 1, 0, again, 1}))
          << (socket ? "socket" : "plain") << " manual " << manual;
    }
}

TEST(Handles, NullForeignAndFileHandlesAreRefusedAndReferencesKeepTheObject) {
  uint32_t foreign[4] = {0x1234, 1, 0, 0};
  WAPI_FileObject* f = tempFileHandle();
  for (HANDLE h : {static_cast<HANDLE>(nullptr), static_cast<HANDLE>(foreign), static_cast<HANDLE>(f)})
    EXPECT_EQ((V{WaitForSingleObject(h, 0), SetEvent(h), ResetEvent(h)}), (V{kFail, 0, 0}));
  EXPECT_EQ((V{CloseHandle(foreign), CloseHandle(nullptr), CloseHandle(f)}), (V{0, 0, 1}));
  auto* e = static_cast<WAPI_EventObject*>(CreateEvent(nullptr, 1, 0, nullptr));
  e->refs.fetch_add(1);
  EXPECT_EQ((V{CloseHandle(e), SetEvent(e), WaitForSingleObject(e, 0), CloseHandle(e)}), (V{1, 1, 0, 1}))
      << "alive until the last close";
  // A descriptor record stays with its maker; a closed descriptor fails after the time-out.
  WAPI_DescriptorObject d;
  d.type = WAPI_HANDLE_DESCRIPTOR, d.refs = 2, d.readFd = -1;
  auto t0 = Clock::now();
  EXPECT_EQ(WaitForSingleObject(&d, 20), kFail);
  EXPECT_GE(msSince(t0), 19);
  EXPECT_EQ((V{CloseHandle(&d), CloseHandle(&d)}), (V{1, 0}));
}

TEST(SocketEvent, WaitForAnyAnswersTheFirstReadyHandleInArrayOrderAndReachesPastTheSelectLimit) {
  HANDLE list[4] = {CreateEvent(nullptr, 1, 1, nullptr), CreateEventAsSocket(nullptr, 0, 0, nullptr),
                    CreateEventAsSocket(nullptr, 0, 0, nullptr), CreateEventAsSocket(nullptr, 1, 0, nullptr)};
  EXPECT_EQ(WaitForAnySocketObject(4, list, 0), kTimeout) << "plain events take no part";
  SetEvent(list[3]);
  SetEvent(list[2]);
  // b first; its signal was consumed; c is manual reset; empty and plain-only lists time out.
  EXPECT_EQ(
      (V{WaitForAnySocketObject(4, list, 100), WaitForAnySocketObject(4, list, 100), WaitForAnySocketObject(4, list, 0),
         WaitForAnySocketObject(0, list, 0), WaitForAnySocketObject(1, list, 0)}),
      (V{2, 3, 3, kTimeout, kTimeout}));
  for (HANDLE h : list) CloseHandle(h);
  // Descriptor numbers past 1024, where a select set would overflow.
  std::vector<int> spare;
  for (int fd; spare.size() < 1100 && (fd = open("/dev/null", O_RDONLY)) >= 0;) spare.push_back(fd);
  HANDLE e = CreateEventAsSocket(nullptr, 0, 1, nullptr);
  EXPECT_NE(e, nullptr);
  if (e) {
    EXPECT_EQ((V{WaitForSingleObject(e, 10), SetEvent(e), WaitForAnySocketObject(1, &e, 10), CloseHandle(e)}),
              (V{0, 1, 0, 1}));
  }
  for (int fd : spare) close(fd);
  if (spare.size() < 1100) GTEST_SKIP() << "descriptor limit too low to reach 1024";
}

TEST(FileHandle, PositionsSizeReadWriteAndTimeGoThroughTheStream) {
  WAPI_FileObject* f = tempFileHandle();
  ASSERT_NE(f->stream, nullptr);
  DWORD n = 99, high = 7, n2 = 0;
  char buf[16] = {};
  EXPECT_EQ((V{WriteFile(f, "hello world", 11, &n, nullptr), n, WriteFile(f, "x", 0, &n, nullptr),
               GetFileSize(f, &high), high, GetFilePointer(f, &high), SetFilePointer(f, 6, nullptr, 0),
               ReadFile(f, buf, 10, &n2, nullptr), n2, ReadFile(f, buf + 8, 8, &n, nullptr)}),
            (V{1, 11, 0, 11, 0, 11, 6, 1, 5, 0}))
      << "the size query puts the position back; nothing is left to read at the end";
  EXPECT_STREQ(buf, "world");
  int32_t hi = 1;
  EXPECT_EQ((V{SetFilePointer(f, 0, &hi, 0), hi, GetFileSize(nullptr, &high), high}), (V{kFail, -1, kFail, kFail}))
      << "no positions above 32 bits";
  EXPECT_EQ(CreateFile("/tmp/anything", 0, 0, nullptr, 0, 0, nullptr), nullptr);
  // File times count 100 ns steps from 1601.
  int fd = fileno(f->stream);
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  FILETIME w{}, a{}, c{};
  EXPECT_EQ((V{GetFileTime(fd, nullptr, nullptr, nullptr), GetFileTime(-1, &c, &a, &w), GetFileTime(fd, &c, &a, &w)}),
            (V{1, 0, 1}));
  EXPECT_EQ((uint64_t(w.dwHighDateTime) << 32) | w.dwLowDateTime,
            uint64_t(st.st_mtime) * 10000000ull + 116444736000000000ull);
  EXPECT_EQ(CloseHandle(f), 1);
}

TEST(ThreadWait, TimedWaitsOnARunningThreadRunOutAndAFinishedOneIsJoinedOnce) {
  g_release = 0;
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 0, waitForRelease, reinterpret_cast<LPVOID>(7), 0, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(id, 0u);
  auto t0 = Clock::now();
  EXPECT_EQ((V{SetThreadPriority(t, 0), WaitForSingleObject(t, 0)}), (V{1, kTimeout}));
  EXPECT_LT(msSince(t0), 50);
  EXPECT_EQ(WaitForSingleObject(t, 30), kTimeout);
  EXPECT_GE(msSince(t0), 29);
  g_release = 1;
  // Waiting again after the join is safe; a finished thread takes no priority.
  EXPECT_EQ((V{WaitForSingleObject(t, INFINITE), result(t), WaitForSingleObject(t, 5000), SetThreadPriority(t, 0),
               SetThreadPriority(nullptr, 0), CloseHandle(t)}),
            (V{0, 7, 0, 0, 0, 1}));
}

TEST(ThreadWait, AThreadDetachesOnlyWhenItDropsTheLastReference) {
  for (bool creatorCloses : {true, false}) {
    g_release = g_poolsClosed = g_detachedAtEnd = 0;
    HANDLE t = CreateThread(nullptr, 0, waitForRelease, reinterpret_cast<LPVOID>(21), 0, nullptr);
    ASSERT_NE(t, nullptr);
    if (creatorCloses) {
      EXPECT_EQ(CloseHandle(t), 1);  // the thread still holds its own reference
    }
    g_release = 1;
    for (int i = 0; i < 5000 && g_poolsClosed.load() < 1; ++i) Sleep(1);
    EXPECT_EQ((V{g_poolsClosed.load(), g_detachedAtEnd.load()}), (V{1, creatorCloses}));
    if (!creatorCloses) {
      EXPECT_EQ((V{static_cast<WAPI_ThreadObject*>(t)->done.load(), WaitForSingleObject(t, INFINITE), result(t),
                   CloseHandle(t)}),
                (V{1, 0, 21, 1}));
    }
  }
}

TEST(EventThreads, SetEventWakesOneWaiterOrEveryWaiterOfAManualResetEvent) {
  for (int manual : {0, 1}) {
    HANDLE e = CreateEvent(nullptr, manual, 0, nullptr);
    std::vector<HANDLE> waiters(manual ? 2 : 1);
    for (HANDLE& t : waiters) t = CreateThread(nullptr, 0, waitOnEvent, e, 0, nullptr);
    Sleep(20);
    EXPECT_EQ(SetEvent(e), 1);
    for (HANDLE t : waiters)
      EXPECT_EQ((V{WaitForSingleObject(t, 5000), result(t), CloseHandle(t)}), (V{0, 0, 1})) << manual;
    EXPECT_EQ(WaitForSingleObject(e, 0), manual ? 0 : kTimeout) << "an auto-reset signal was consumed";
    CloseHandle(e);
  }
}

TEST(EventThreads, AWaitWhoseSignalIsStolenStillEndsAtItsDeadline) {
  // Two waiters, one auto-reset signal: the loser must time out on schedule instead of
  // starting its full time-out again after the wake-up.
  HANDLE e = CreateEvent(nullptr, 0, 0, nullptr);
  std::atomic<DWORD> r1{99}, r2{99};
  auto t0 = Clock::now();
  std::thread a([&] { r1 = WaitForSingleObject(e, 300); });
  std::thread b([&] { r2 = WaitForSingleObject(e, 300); });
  Sleep(150);
  SetEvent(e);
  a.join();
  b.join();
  EXPECT_EQ(r1 + r2, kTimeout);
  EXPECT_EQ(r1 * r2, 0u);
  EXPECT_LT(msSince(t0), 440);
  CloseHandle(e);
}

TEST(Timing, SleepAndTickCountFollowTheMonotonicClockAndOutlastSignals) {
  auto t0 = Clock::now();
  Sleep(0);
  EXPECT_LT(msSince(t0), 50);
  DWORD a = GetTickCount();
  t0 = Clock::now();
  Sleep(60);
  const long real = msSince(t0), ticks = long(DWORD(GetTickCount() - a));  // differences survive the 32-bit wrap
  EXPECT_GE(real, 60);
  EXPECT_NEAR(ticks, real, 2);
  EXPECT_LE(DWORD(wapiMonotonicMs()) - GetTickCount(), 1u);
  struct sigaction sa {};
  sa.sa_handler = [](int) {};
  sigaction(SIGUSR1, &sa, nullptr);
  std::thread poke([self = pthread_self()] {
    for (int i = 0; i < 5; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10)), pthread_kill(self, SIGUSR1);
  });
  t0 = Clock::now();
  Sleep(100);
  EXPECT_GE(msSince(t0), 100) << "resumed after the signals";
  poke.join();
}
