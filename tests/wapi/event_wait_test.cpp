// Events, socket events and waits that need no second thread.
#include "kit/wapi/wapi-handles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;
long msSince(Clock::time_point t0) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

// A file handle over an anonymous temporary file, as the file layer makes them.
WAPI_FileObject* tempFileHandle() {
  auto* f = new WAPI_FileObject;
  f->type = WAPI_HANDLE_FILE;
  f->refs.store(1);
  f->stream = tmpfile();
  return f;
}

// Plain and socket events follow the same reset rules.
HANDLE makeEvent(bool socket, int manual, int initial) {
  return socket ? CreateEventAsSocket(nullptr, manual, initial, nullptr) : CreateEvent(nullptr, manual, initial, nullptr);
}
}  // namespace

TEST(Event, AnAutoResetSignalIsConsumedByOneWaitAndNeverDoubled) {
  for (bool socket : {false, true}) {
    SCOPED_TRACE(socket ? "socket event" : "plain event");
    HANDLE e = makeEvent(socket, 0, 1);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), 0u) << "created signalled";
    EXPECT_EQ(WaitForSingleObject(e, 0), 258u) << "the wait took the signal";
    EXPECT_EQ(SetEvent(e), 1);
    EXPECT_EQ(SetEvent(e), 1);
    EXPECT_EQ(WaitForSingleObject(e, 0), 0u);
    EXPECT_EQ(WaitForSingleObject(e, 0), 258u) << "a pending signal is not doubled";
    EXPECT_EQ(CloseHandle(e), 1);
  }
}

TEST(Event, AManualResetEventStaysSignalledUntilReset) {
  for (bool socket : {false, true}) {
    SCOPED_TRACE(socket ? "socket event" : "plain event");
    HANDLE e = makeEvent(socket, 1, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), 258u);
    EXPECT_EQ(SetEvent(e), 1);
    EXPECT_EQ(WaitForSingleObject(e, 0), 0u);
    EXPECT_EQ(WaitForSingleObject(e, 10), 0u);
    EXPECT_EQ(ResetEvent(e), 1);
    EXPECT_EQ(WaitForSingleObject(e, 0), 258u);
    CloseHandle(e);
  }
}

TEST(Event, TimedWaitOnAnUnsignalledEventRunsOutAfterItsTime) {
  HANDLE e = CreateEvent(nullptr, 0, 0, nullptr);
  auto t0 = Clock::now();
  EXPECT_EQ(WaitForSingleObject(e, 60), 258u);
  long took = msSince(t0);
  EXPECT_GE(took, 59);
  EXPECT_LT(took, 2000);
  CloseHandle(e);
}

TEST(Handles, NullForeignAndFileHandlesAreRefused) {
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), 0xFFFFFFFFu);
  uint32_t foreign[4] = {0x1234, 1, 0, 0};
  EXPECT_EQ(WaitForSingleObject(foreign, 0), 0xFFFFFFFFu);
  EXPECT_EQ(CloseHandle(foreign), 0);
  EXPECT_EQ(CloseHandle(nullptr), 0);
  EXPECT_EQ(SetEvent(nullptr), 0);
  EXPECT_EQ(ResetEvent(foreign), 0);
  WAPI_FileObject* f = tempFileHandle();
  EXPECT_EQ(WaitForSingleObject(f, 0), 0xFFFFFFFFu) << "files are not waitable";
  EXPECT_EQ(SetEvent(f), 0);
  EXPECT_EQ(CloseHandle(f), 1);
}

TEST(Handles, ReferenceCountKeepsTheObjectUntilTheLastClose) {
  WAPI_EventObject* e = static_cast<WAPI_EventObject*>(CreateEvent(nullptr, 1, 0, nullptr));
  e->refs.fetch_add(1);
  EXPECT_EQ(CloseHandle(e), 1);
  EXPECT_EQ(e->refs.load(), 1);
  EXPECT_EQ(SetEvent(e), 1) << "still alive after the first close";
  EXPECT_EQ(WaitForSingleObject(e, 0), 0u);
  EXPECT_EQ(CloseHandle(e), 1);
}

TEST(SocketEvent, WaitForAnyAnswersTheFirstReadyHandleInArrayOrder) {
  HANDLE a = CreateEventAsSocket(nullptr, 0, 0, nullptr);
  HANDLE b = CreateEventAsSocket(nullptr, 0, 0, nullptr);
  HANDLE c = CreateEventAsSocket(nullptr, 1, 0, nullptr);
  HANDLE plain = CreateEvent(nullptr, 1, 1, nullptr);
  HANDLE list[4] = {plain, a, b, c};
  EXPECT_EQ(WaitForAnySocketObject(4, list, 0), 258u) << "plain events take no part";
  SetEvent(c);
  SetEvent(b);
  EXPECT_EQ(WaitForAnySocketObject(4, list, 100), 2u);
  EXPECT_EQ(WaitForAnySocketObject(4, list, 100), 3u) << "b's signal was consumed";
  EXPECT_EQ(WaitForAnySocketObject(4, list, 0), 3u) << "c is manual reset";
  EXPECT_EQ(WaitForAnySocketObject(0, list, 0), 258u);
  EXPECT_EQ(WaitForAnySocketObject(1, list, 0), 258u);
  for (HANDLE h : list) CloseHandle(h);
}

TEST(SocketEvent, DescriptorBeyondTheSelectLimitIsStillWaitedOn) {
  // Raise the descriptor numbers past 1024, where a select set would overflow.
  int spare[1100];
  int n = 0;
  for (; n < 1100; ++n) {
    spare[n] = open("/dev/null", O_RDONLY);
    if (spare[n] < 0) break;
  }
  HANDLE e = CreateEventAsSocket(nullptr, 0, 1, nullptr);
  if (e) {
    EXPECT_EQ(WaitForSingleObject(e, 10), 0u);
    HANDLE list[1] = {e};
    SetEvent(e);
    EXPECT_EQ(WaitForAnySocketObject(1, list, 10), 0u);
    CloseHandle(e);
  }
  for (int i = 0; i < n; ++i) close(spare[i]);
  if (n < 1100) GTEST_SKIP() << "descriptor limit too low to reach 1024";
}

TEST(DescriptorObject, ClosedDescriptorFailsAfterSleepingTheTimeOut) {
  WAPI_DescriptorObject d;
  d.type = WAPI_HANDLE_DESCRIPTOR;
  d.refs.store(2);
  d.readFd = -1;
  auto t0 = Clock::now();
  EXPECT_EQ(WaitForSingleObject(&d, 20), 0xFFFFFFFFu);
  EXPECT_GE(msSince(t0), 19);
  EXPECT_EQ(CloseHandle(&d), 1);
  EXPECT_EQ(CloseHandle(&d), 0) << "the record stays with its maker";
}

TEST(FileHandle, PositionsSizeReadAndWriteGoThroughTheStream) {
  WAPI_FileObject* f = tempFileHandle();
  ASSERT_NE(f->stream, nullptr);
  DWORD n = 99;
  EXPECT_EQ(WriteFile(f, "hello world", 11, &n, nullptr), 1);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(WriteFile(f, "x", 0, &n, nullptr), 0);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(f, &high), 11u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(GetFilePointer(f, &high), 11u) << "the size query puts the position back";
  EXPECT_EQ(SetFilePointer(f, 6, nullptr, 0), 6u);
  char buf[16] = {};
  EXPECT_EQ(ReadFile(f, buf, 10, &n, nullptr), 1);
  EXPECT_EQ(n, 5u);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(ReadFile(f, buf, 10, &n, nullptr), 0) << "nothing left";
  int32_t hi = 1;
  EXPECT_EQ(SetFilePointer(f, 0, &hi, 0), 0xFFFFFFFFu) << "no 64-bit positions";
  EXPECT_EQ(hi, -1);
  EXPECT_EQ(GetFileSize(nullptr, &high), 0xFFFFFFFFu);
  EXPECT_EQ(high, 0xFFFFFFFFu);
  EXPECT_EQ(CloseHandle(f), 1);
  EXPECT_EQ(CreateFile("/tmp/anything", 0, 0, nullptr, 0, 0, nullptr), nullptr);
}

TEST(FileTime, ModificationTimeCountsFromSixteenHundredOne) {
  FILE* tmp = tmpfile();
  int fd = fileno(tmp);
  struct stat st;
  ASSERT_EQ(fstat(fd, &st), 0);
  FILETIME w{}, a{}, c{};
  EXPECT_EQ(GetFileTime(fd, &c, &a, &w), 1);
  uint64_t v = (uint64_t(w.dwHighDateTime) << 32) | w.dwLowDateTime;
  // 369 years (89 of them leap) between 1601 and 1970.
  const uint64_t epoch = (369ull * 365 + 89) * 86400ull * 10000000ull;
  EXPECT_EQ(epoch, 116444736000000000ull);
  EXPECT_EQ(v, uint64_t(st.st_mtime) * 10000000ull + epoch);
  EXPECT_EQ(GetFileTime(fd, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(GetFileTime(-1, &c, &a, &w), 0);
  fclose(tmp);
}
