// Window timers and the posted-message queue on the virtual clock: firing, replacing, killing,
// the one-window filter, requests from worker threads, and posts to windows that go away.
#include "tests/wapi/window_fixture.h"

#include "tests/wapi/post_forwarder.h"

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace {

PostForwardingDelegate* delegate() {
  static auto* d = new PostForwardingDelegate;
  return d;
}

std::vector<std::pair<HWND, UINT_PTR>> gFired;
void RecordingTimerProc(HWND h, UINT m, UINT_PTR id, DWORD) {
  EXPECT_EQ(m, WM_TIMER);
  gFired.emplace_back(h, id);
}

class WindowTimers : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    gFired.clear();
  }
  std::vector<WPARAM> timerIds(HWND h) {
    std::vector<WPARAM> ids;
    for (const LoggedMessage& m : log())
      if (m.hwnd == h && m.msg == WM_TIMER) ids.push_back(m.wParam);
    return ids;
  }
  Wapi_vQOR_hwnd* window() {
    NSWindow* w = makeWindow();
    return makeView(nullptr, w, LoggingProc);
  }
};

// Before the queue exists a worker's timer calls change nothing; afterwards they reach the main
// thread's loop through it. (First in the file: the queue is made once per process.)
TEST_F(WindowTimers, AWorkersTimerWaitsForTheQueueAndFiresOnTheMainThread) {
  Wapi_vQOR_hwnd* v = window();
  UINT_PTR early = 1, late = 0;
  BOOL earlyKill = 1;
  std::thread([&] {
    early = SetTimer(H(v), 5, 100, nullptr);
    earlyKill = KillTimer(H(v), 5);
  }).join();
  EXPECT_EQ(early, 0u);
  EXPECT_EQ(earlyKill, 0);
  ns_standin::runFor(1);
  EXPECT_TRUE(timerIds(H(v)).empty());

  NSApp->setDelegate(delegate());
  WAPI_Internal_PostMessage_Init();
  std::thread([&] { late = SetTimer(H(v), 5, 100, nullptr); }).join();
  EXPECT_EQ(late, 5u);
  ns_standin::runFor(0.3);  // the 50 ms tick makes the timer, which then fires on its interval
  const std::vector<WPARAM> ids = timerIds(H(v));
  EXPECT_GE(ids.size(), 1u);
  EXPECT_LE(ids.size(), 3u);
  BOOL kill = 0;
  std::thread([&] { kill = KillTimer(H(v), 5); }).join();
  EXPECT_EQ(kill, 1);
  ns_standin::runFor(0.06);
  log().clear();
  ns_standin::runFor(1);
  EXPECT_TRUE(timerIds(H(v)).empty()) << "the queued kill took effect";
}

// Queued requests take effect as made: a repeated request replaces the queued one, but none
// is merged across a kill of every timer of its window.
TEST_F(WindowTimers, AWorkersQueuedRequestsEndAsTheyWereMade) {
  NSApp->setDelegate(delegate());
  WAPI_Internal_PostMessage_Init();
  constexpr UINT_PTR all = UINT_PTR(-1), all32 = 0xFFFFFFFF;
  struct Step {
    UINT_PTR id;
    bool kill;
  };
  struct Row {
    const char* what;
    std::vector<Step> steps;  // on top of timers 1 and 2, which the main thread set
    std::set<WPARAM> running;
  } rows[] = {
      {"kill all", {{all, true}}, {}},
      {"kill all by the 32-bit id", {{all32, true}}, {}},
      {"set, kill all, set again", {{5, false}, {all, true}, {5, false}}, {5}},
      {"kill all, set, kill all again", {{all, true}, {5, false}, {all, true}}, {}},
      {"set two, kill one of them", {{5, false}, {6, false}, {5, true}}, {1, 2, 6}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Wapi_vQOR_hwnd* v = window();
    SetTimer(H(v), 1, 10, nullptr);
    SetTimer(H(v), 2, 10, nullptr);
    std::vector<UINT_PTR> answers;
    std::thread([&] {
      for (const Step& s : r.steps)
        answers.push_back(s.kill ? KillTimer(H(v), s.id) : SetTimer(H(v), s.id, 10, nullptr));
    }).join();
    for (size_t i = 0; i < answers.size(); ++i) EXPECT_EQ(answers[i], r.steps[i].kill ? 1u : r.steps[i].id);
    ns_standin::runFor(0.06);
    log().clear();
    ns_standin::runFor(0.1);
    const std::vector<WPARAM> fired = timerIds(H(v));
    EXPECT_EQ(std::set<WPARAM>(fired.begin(), fired.end()), r.running);
    KillTimer(H(v), all);
  }
}

// Runs the loop inside its own WM_DESTROY, as a handler waiting for something might.
LRESULT LoopingDestroyProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) {
    WindowTest::log().clear();
    ns_standin::runFor(0.05);
  }
  return WindowTest::LoggingProc(h, m, w, l);
}

TEST_F(WindowTimers, NoTimerReachesAWindowDuringItsDestruction) {
  // A child hears of its destruction from its parent's, its timers still set.
  Wapi_vQOR_hwnd* parent = window();
  Wapi_vQOR_hwnd* v = makeView(nullptr, parent, LoopingDestroyProc);
  SetTimer(H(v), 1, 10, nullptr);
  ns_standin::runFor(0.015);
  ASSERT_EQ(timerIds(H(v)).size(), 1u);
  DestroyWindow(H(parent));
  EXPECT_TRUE(timerIds(H(v)).empty());
}

TEST_F(WindowTimers, SetTimerAnswersByItsArguments) {
  Wapi_vQOR_hwnd* v = window();
  NSButton* plain = addControl<NSButton>(v, 3);
  struct Case {
    HWND h;
    UINT_PTR id;
    TIMERPROC proc;
    bool made;
    const char* what;
  } cases[] = {
      {nullptr, 7, nullptr, false, "no window and no procedure"},
      {H(v), 0, nullptr, false, "a window with id 0"},
      {H(plain), 7, nullptr, false, "a control that takes no timers"},
      {H(v), 7, nullptr, true, "a window timer"},
      {H(v->window()), 8, nullptr, true, "a window stands for its content view"},
      {nullptr, 0, RecordingTimerProc, true, "a procedure alone"},
  };
  for (const Case& c : cases) {
    const UINT_PTR id = SetTimer(c.h, c.id, 10, c.proc);
    EXPECT_EQ(id != 0, c.made) << c.what;
    if (c.made && c.h) {
        EXPECT_EQ(id, c.id) << c.what;
    }
  }
  EXPECT_EQ(KillTimer(H(v), 8), 1) << "stored under the content view";
  EXPECT_EQ(KillTimer(H(v), 8), 0);
  EXPECT_EQ(KillTimer(nullptr, UINT_PTR(-1)), 0) << "windowless timers are never killed wholesale";
  EXPECT_EQ(KillTimer(nullptr, 0), 0);
  ns_standin::runFor(0.025);
  EXPECT_EQ(timerIds(H(v)), (std::vector<WPARAM>{7, 7}));
  ASSERT_EQ(gFired.size(), 2u);
  EXPECT_EQ(gFired[0].first, nullptr);
  EXPECT_NE(gFired[0].second, 0u) << "the record's address is the id";
  EXPECT_EQ(KillTimer(nullptr, gFired[0].second), 1);
  EXPECT_EQ(KillTimer(H(v), 7), 1);
}

TEST_F(WindowTimers, SettingAnIdAgainReplacesTheInterval) {
  Wapi_vQOR_hwnd* v = window();
  const int before = cf_standin::scheduledTimerCount();
  SetTimer(H(v), 1, 10, nullptr);
  SetTimer(H(v), 1, 100, nullptr);
  EXPECT_EQ(cf_standin::scheduledTimerCount(), before + 1);
  ns_standin::runFor(0.25);
  EXPECT_EQ(timerIds(H(v)).size(), 2u);
  // Zero means a millisecond.
  SetTimer(H(v), 1, 0, nullptr);
  log().clear();
  ns_standin::runFor(0.0105);
  EXPECT_EQ(timerIds(H(v)).size(), 10u);
  KillTimer(H(v), 1);
}

TEST_F(WindowTimers, EitherAllTimersIdKillsEveryTimerOfTheWindow) {
  for (UINT_PTR all : {UINT_PTR(-1), UINT_PTR(0xFFFFFFFF)}) {
    Wapi_vQOR_hwnd* v = window();
    Wapi_vQOR_hwnd* other = window();
    SetTimer(H(v), 1, 10, nullptr);
    SetTimer(H(v), 2, 10, nullptr);
    SetTimer(H(other), 1, 10, nullptr);
    EXPECT_EQ(KillTimer(H(v), all), 1);
    EXPECT_EQ(KillTimer(H(v), all), 0);
    log().clear();
    ns_standin::runFor(0.015);
    EXPECT_TRUE(timerIds(H(v)).empty());
    EXPECT_EQ(timerIds(H(other)).size(), 1u);
    KillTimer(H(other), 1);
  }
}

LRESULT SelfKillingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_TIMER && w == 1) {
    KillTimer(h, 1);
    SetTimer(h, 2, 20, nullptr);
  }
  return 0;
}

TEST_F(WindowTimers, AHandlerThatKillsItsOwnTimerAndSetsAnother) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, SelfKillingProc);
  SetTimer(H(v), 1, 10, nullptr);
  ns_standin::runFor(0.055);
  EXPECT_EQ(timerIds(H(v)), (std::vector<WPARAM>{1, 2, 2}));
  KillTimer(H(v), 2);
}

TEST_F(WindowTimers, TheOneWindowRunFiresOnlyThatWindowsTimers) {
  Wapi_vQOR_hwnd* a = window();
  Wapi_vQOR_hwnd* b = window();
  SetTimer(H(a), 1, 10, nullptr);
  SetTimer(H(b), 1, 10, nullptr);
  WAPI_RunRunLoopEx(35, H(a));
  EXPECT_EQ(timerIds(H(a)).size(), 3u);
  EXPECT_TRUE(timerIds(H(b)).empty());
  EXPECT_EQ(g_wapi_only_timerhwnd, nullptr) << "restored";
  WAPI_RunRunLoop(10);
  EXPECT_EQ(timerIds(H(b)).size(), 1u);
  // Destroying the window kills its timers.
  DestroyWindow(H(a));
  log().clear();
  WAPI_RunRunLoop(30);
  EXPECT_TRUE(timerIds(H(a)).empty());
  KillTimer(H(b), 1);
}

std::vector<std::pair<WPARAM, LPARAM>> gPosted;
LRESULT PostLogProc(HWND, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) gPosted.emplace_back(w, l);
  return 0;
}

TEST_F(WindowTimers, FourWorkersPostInOrderRetryingWhenRefused) {
  NSApp->setDelegate(delegate());
  WAPI_Internal_PostMessage_Init();
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, PostLogProc);
  gPosted.clear();
  constexpr int kWorkers = 4, kEach = 10000;
  std::atomic<int> finished{0}, refusals{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kWorkers; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i)
        while (!PostMessage(H(v), WM_USER, WPARAM(t), LPARAM(i))) {
          ++refusals;
          std::this_thread::yield();
        }
      ++finished;
    });
  // No flush until the queue has refused a post: the limit is reached however fast the
  // main thread would otherwise drain it.
  for (int i = 0; i < 10000 && refusals == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  while (finished < kWorkers) ns_standin::runFor(0.05);
  for (std::thread& t : workers) t.join();
  ns_standin::runFor(0.05);
  ASSERT_EQ(gPosted.size(), size_t(kWorkers * kEach));
  std::vector<LPARAM> next(kWorkers, 0);
  for (const auto& [worker, i] : gPosted) ASSERT_EQ(i, next[worker]++) << "worker " << worker;
  EXPECT_GT(refusals.load(), 0) << "the queue filled at least once";
}

TEST_F(WindowTimers, TheQueueRefusesBeyondItsLimitAndWindowsThatGo) {
  NSApp->setDelegate(delegate());
  WAPI_Internal_PostMessage_Init();
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, PostLogProc);
  Wapi_vQOR_hwnd* gone = makeView(nullptr, v, PostLogProc);
  NSButton* plain = addControl<NSButton>(v, 3);
  gPosted.clear();
  ns_standin::runFor(0.05);  // whatever an earlier test left on the free list is spent
  EXPECT_EQ(PostMessage(H(plain), WM_USER, 0, 0), 0) << "a platform control takes no posts";
  EXPECT_EQ(PostMessage(nullptr, WM_USER, 0, 0), 0);

  // Free records are taken first; once none is left, 1024 queued refuse the next.
  int accepted = 0;
  while (PostMessage(H(v), WM_USER, 0, accepted) && accepted < 100000) ++accepted;
  EXPECT_GE(accepted, 1024);
  EXPECT_EQ(PostMessage(H(v), WM_USER, 0, 0), 0);
  WAPI_Internal_PMQ_ClearAllMessages(nullptr);
  WAPI_MessageQueue_Clear(H(v));
  EXPECT_EQ(PostMessage(H(v), WM_USER, 1, 1), 1) << "the cleared records are free again; a live window takes them";

  // A window destroyed with messages queued gets none of them, nor later posts.
  ASSERT_EQ(PostMessage(H(gone), WM_USER, 2, 2), 1);
  DestroyWindow(H(gone));
  EXPECT_EQ(PostMessage(H(gone), WM_USER, 3, 3), 0);
  ns_standin::runFor(0.05);
  EXPECT_EQ(gPosted, (std::vector<std::pair<WPARAM, LPARAM>>{{1, 1}}));
}

// A handler that destroys a window whose message follows in the same flush: the flush skips it.
HWND gVictim = nullptr;
LRESULT DestroyingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER && gVictim) {
    DestroyWindow(gVictim);
    gVictim = nullptr;
  }
  return PostLogProc(h, m, w, l);
}

TEST_F(WindowTimers, AWindowDestroyedDuringAFlushGetsNoLaterMessage) {
  NSApp->setDelegate(delegate());
  WAPI_Internal_PostMessage_Init();
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, DestroyingProc);
  Wapi_vQOR_hwnd* victim = makeView(nullptr, v, PostLogProc);
  gPosted.clear();
  gVictim = H(victim);
  ASSERT_EQ(PostMessage(H(v), WM_USER, 1, 0), 1);
  ASSERT_EQ(PostMessage(H(victim), WM_USER, 2, 0), 1);
  ns_standin::runFor(0.05);
  EXPECT_EQ(gPosted, (std::vector<std::pair<WPARAM, LPARAM>>{{1, 0}}));
}

}  // namespace
