// Platform threads and their pools, child processes, pumping events, quitting and the App-Nap
// request count.
#include "kit/wapi/wapi-handles.h"
#include "kit/wapi/wapi-internal.h"
#include "tests/support/tempdir.h"

#include <AppKit/AppKitStandin.h>
#include <Carbon/Carbon.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <string>

namespace {

// Waits (really) until the flag is set, at most two seconds.
bool waitFor(const std::atomic<int>& flag) {
  for (int i = 0; i < 2000 && !flag.load(); ++i) Sleep(1);
  return flag.load() != 0;
}

std::atomic<int> gRan{0};
std::atomic<int> gOffMain{0};
DWORD MarkRun(LPVOID) {
  gOffMain.store(NSThread::isMainThread() ? 0 : 1);
  // Autoreleased on this thread: its own pool takes it.
  NSString::stringWithUTF8String("made on the thread");
  gRan.store(1);
  return 0;
}

TEST(PlatformThreads, CreateThreadPutsThePlatformIntoMultithreadedModeFirst) {
  ASSERT_FALSE(NSThread::isMultiThreaded());
  HANDLE h = CreateThread(nullptr, 0, MarkRun, nullptr, 0, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 2000), 0u);
  CloseHandle(h);
  EXPECT_TRUE(NSThread::isMultiThreaded());
}

TEST(PlatformThreads, CreateThreadNSRunsTheFunctionOnADetachedThreadWithItsOwnPool) {
  gRan.store(0);
  gOffMain.store(0);
  const size_t strings = ns_standin::liveCount(NSString::class_());
  CreateThreadNS(nullptr, 0, MarkRun, nullptr, 0, nullptr);
  ASSERT_TRUE(waitFor(gRan));
  EXPECT_EQ(gOffMain.load(), 1);
  // The thread's pool drains as it ends.
  for (int i = 0; i < 2000 && ns_standin::liveCount(NSString::class_()) > strings; ++i) Sleep(1);
  EXPECT_EQ(ns_standin::liveCount(NSString::class_()), strings);
  CreateThreadNS(nullptr, 0, nullptr, nullptr, 0, nullptr);  // a null function: the thread just ends
}

class ChildProcess : public ::testing::Test {
 protected:
  static NSTask* taskOf(HANDLE h) { return static_cast<NSTask*>(static_cast<WAPI_ProcessObject*>(h)->task); }
  static bool gone(int pid) {
    struct stat st;
    return stat(("/proc/" + std::to_string(pid)).c_str(), &st) != 0;
  }
};

TEST_F(ChildProcess, TheProgramGetsItsArgumentsAsGiven) {
  testsupport::TempDir dir;
  const std::string out = dir.file("args.txt");
  const std::string script = "printf '%s\\n' \"$@\" > '" + out + "'";
  const char* argv[] = {"-c", script.c_str(), "sh", "two words", "\"quoted\"", "a;b", "it's", "", nullptr};
  HANDLE h = WAPI_CreateProcess("/bin/sh", 8, argv);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 5000), 0u);
  EXPECT_EQ(testsupport::readText(out), "two words\n\"quoted\"\na;b\nit's\n\n");
  EXPECT_EQ(CloseHandle(h), 1);
}

TEST_F(ChildProcess, TheChildKeepsOnlyTheStandardDescriptors) {
  // Made without close-on-exec, as a library of the host might.
  const int fd = ::open("/dev/null", O_RDONLY);
  ASSERT_GT(fd, 2);
  const std::string script =
      "[ -e /proc/self/fd/0 ] && [ -e /proc/self/fd/2 ] && [ ! -e /proc/self/fd/" + std::to_string(fd) + " ]";
  const char* argv[] = {"-c", script.c_str()};
  HANDLE h = WAPI_CreateProcess("/bin/sh", 2, argv);
  ::close(fd);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 5000), 0u);
  EXPECT_EQ(taskOf(h)->terminationStatus(), 0);
  CloseHandle(h);
}

TEST_F(ChildProcess, WaitingGivesTimeoutWhileItRunsAndAMissingProgramGivesNull) {
  const char* argv[] = {"0.3"};
  HANDLE h = WAPI_CreateProcess("/bin/sleep", 1, argv);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(h, 20), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(h, 5000), 0u);
  EXPECT_EQ(WaitForSingleObject(h, 0), 0u);
  const int pid = taskOf(h)->processIdentifier();
  CloseHandle(h);
  EXPECT_TRUE(gone(pid)) << "reaped by the wait";

  EXPECT_EQ(WAPI_CreateProcess("/no/such/program", 0, nullptr), nullptr);
  EXPECT_EQ(WAPI_CreateProcess(nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(WAPI_CreateProcess("/etc/hostname", 0, nullptr), nullptr) << "not executable";
}

TEST_F(ChildProcess, AHandleClosedWhileItRunsLeavesNoZombie) {
  const char* argv[] = {"0.1"};
  HANDLE h = WAPI_CreateProcess("/bin/sleep", 1, argv);
  ASSERT_NE(h, nullptr);
  const int pid = taskOf(h)->processIdentifier();
  CloseHandle(h);
  bool reaped = false;
  for (int i = 0; i < 2000 && !reaped; ++i) {
    reaped = gone(pid);
    Sleep(1);
  }
  EXPECT_TRUE(reaped);
}

TEST_F(ChildProcess, ARunningProgramIsBroughtToTheFront) {
  const char* argv[] = {"0.2"};
  HANDLE h = WAPI_CreateProcess("/bin/sleep", 1, argv);
  ASSERT_NE(h, nullptr);
  WAPI_MakeProcessFront(h);
  WAPI_MakeProcessFront(nullptr);
  int notAProcess[4] = {0x1000003, 1, 0, 0};
  WAPI_MakeProcessFront(notAProcess);
  const std::vector<pid_t> fronted = carbon_standin::frontProcesses();
  ASSERT_EQ(fronted.size(), 1u);
  EXPECT_EQ(fronted[0], taskOf(h)->processIdentifier());
  WaitForSingleObject(h, 5000);
  CloseHandle(h);
}

// Counts the clicks that reach it.
class Counter : public NSView {
  NS_STANDIN_CLASS(Counter)
 public:
  int clicks = 0;
  void mouseDown(NSEvent*) override { ++clicks; }
};
NS_STANDIN_CLASS_IMPL(Counter, NSView)

TEST(ApplicationEvents, RunEventsSendsAtMostAHundredWaitingEvents) {
  NSApplicationLoad();
  auto* w = static_cast<NSWindow*>(NSWindow::class_()->alloc());
  w->initWithContentRect(NSMakeRect(0, 0, 50, 50), NSTitledWindowMask, NSBackingStoreBuffered, false);
  auto* v = static_cast<Counter*>(Counter::class_()->alloc());
  v->initWithFrame(NSMakeRect(0, 0, 50, 50));
  w->setContentView(v);
  w->makeKeyWindow();  // a first click into a window that is not key would only activate it
  for (int i = 0; i < 150; ++i)
    NSApp->postEvent(NSEvent::mouseEventWithType(NSLeftMouseDown, NSMakePoint(5, 5), 0, 0, w->windowNumber(), nullptr,
                                                 0, 1, 1),
                     false);
  const CFAbsoluteTime start = CFAbsoluteTimeGetCurrent();
  WAPI_RunEvents();
  EXPECT_EQ(v->clicks, 100);
  EXPECT_EQ(ns_standin::queuedEventCount(), 50u);
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), start) << "no wait while events wait";
  WAPI_RunEvents();
  EXPECT_EQ(v->clicks, 150);
  EXPECT_NEAR(CFAbsoluteTimeGetCurrent() - start, 0.001, 1e-9) << "one short wait for an event that does not come";
  v->release();
  w->close();
  w->release();
  ns_standin::drainLoopPool();
}

TEST(ApplicationEvents, AppNapIsHeldWhileRequestedAndQuittingEndsRequests) {
  struct Step {
    int delta;
    size_t activities;
  } steps[] = {{1, 1}, {1, 1}, {-1, 1}, {-1, 0}, {-1, 0}, {1, 0}, {1, 1}, {-1, 0}};
  for (const Step& s : steps) {
    WAPI_DisableAppNap(s.delta);
    const auto held = ns_standin::activeActivities();
    ASSERT_EQ(held.size(), s.activities) << "after " << s.delta;
    if (!held.empty()) {
      EXPECT_EQ(held[0].options, 0xFF00100000ULL);
      EXPECT_EQ(held[0].reason, "WAPI_DisableAppNap");
    }
  }
  const int terminates = ns_standin::terminateRequests();
  WAPI_PostQuitMessage(nullptr);
  EXPECT_EQ(g_wapi_terminating, 1);
  EXPECT_EQ(ns_standin::terminateRequests(), terminates + 1);
  WAPI_DisableAppNap(5);
  EXPECT_TRUE(ns_standin::activeActivities().empty()) << "nothing once quitting";
  ns_standin::drainLoopPool();
}

}  // namespace
