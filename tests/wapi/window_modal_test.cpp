// Modal runs of layer windows step by step, updating and flushing windows and hiding the application.
#include "tests/wapi/window_fixture.h"

#include <AppKit/AppKitStandin.h>
#include <algorithm>
#include <CoreFoundation/CFPresenter.h>

namespace {

using WindowModal = PresenterWindowTest<>;

TEST_F(WindowModal, ARunStepsUntilItsWindowEndsItAndWritesTheCode) {
  struct Case {
    const char* what;
    std::function<void(NSWindow*)> during;  // after two steps
    int code;
  } cases[] = {
      {"stopped with a code", [](NSWindow*) { NSApp->stopModalWithCode(42); }, 42},
      {"aborted", [](NSWindow*) { NSApp->abortModal(); }, int(NSModalResponseAbort)},
      {"its window closed", [](NSWindow* w) { WAPI_CloseWindow(H(w->contentView())); }, int(NSModalResponseAbort)},
  };
  for (const Case& c : cases) {
    NSWindow* w = makeWindow();
    Wapi_vQOR_hwnd* v = makeView(nullptr, w, nullptr);
    void* run = WAPI_ModalWindowStart(H(v));
    ASSERT_NE(run, nullptr) << c.what;
    EXPECT_EQ(NSApp->modalWindow(), w) << c.what;
    int result = 12345;
    EXPECT_TRUE(WAPI_ModalWindowRun(run, &result)) << c.what;
    EXPECT_TRUE(WAPI_ModalWindowRun(run, nullptr)) << c.what;
    EXPECT_EQ(result, 12345) << c.what << ": nothing written while running";
    c.during(w);
    EXPECT_FALSE(WAPI_ModalWindowRun(run, &result)) << c.what;
    EXPECT_EQ(result, c.code) << c.what;
    WAPI_ModalWindowEnd(run);
    EXPECT_EQ(NSApp->modalWindow(), nullptr) << c.what;
  }
  EXPECT_EQ(mPresenter.modalRuns.size(), 3u) << "the presenter hears every start";
  int result = 7;
  EXPECT_FALSE(WAPI_ModalWindowRun(nullptr, &result));
  EXPECT_EQ(result, 7);
  EXPECT_EQ(WAPI_ModalWindowStart(nullptr), nullptr);
  WAPI_ModalWindowEnd(nullptr);
}

TEST_F(WindowModal, EndingARunThatStillGoesStopsIt) {
  NSWindow* w = makeWindow();
  void* run = WAPI_ModalWindowStart(H(w));
  ASSERT_TRUE(WAPI_ModalWindowRun(run, nullptr));
  WAPI_ModalWindowEnd(run);
  EXPECT_EQ(NSApp->modalWindow(), nullptr);
  // A second run after the first ended starts clean.
  run = WAPI_ModalWindowStart(H(w));
  EXPECT_TRUE(WAPI_ModalWindowRun(run, nullptr));
  WAPI_ModalWindowEnd(run);
}

TEST_F(WindowModal, FlushingWaitsForPendingDrawing) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, nullptr);
  v->setHidden(false);
  NSButton* b = addControl<NSButton>(v, 3);
  ns_standin::displayWindows();
  struct Step {
    const char* what;
    NSView* marked;  // marked for display first, or null
    HWND flushed;
    int flushes;  // expected count after the step
  } steps[] = {
      {"a clean view flushes its window", nullptr, H(v), 1},
      {"so does the window itself", nullptr, H(w), 2},
      {"a view that needs display does not", v, H(v), 2},
      {"nor a clean view while another waits", b, H(v), 2},
      {"nor a foreign handle", nullptr, reinterpret_cast<HWND>(0x42), 2},
  };
  for (const Step& s : steps) {
    if (s.marked) s.marked->setNeedsDisplay(true);
    WAPI_FlushWindow(s.flushed);
    EXPECT_EQ(w->flushCount(), s.flushes) << s.what;
    ns_standin::displayWindows();
  }
  WAPI_HideApp();
  EXPECT_TRUE(NSApp->isHidden());
  NSApp->unhide(nullptr);
}

TEST_F(WindowModal, UpdateWindowDrawsAMarkedViewNowAndLeavesWindowsAndCleanViews) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, LoggingProc);
  v->setHidden(false);
  w->orderFront(nullptr);
  ns_standin::displayWindows();
  auto paints = [&] {
    const std::vector<UINT> m = messagesTo(H(v));
    return std::count(m.begin(), m.end(), UINT(WM_PAINT));
  };
  const long clean = paints();
  UpdateWindow(H(v));
  EXPECT_EQ(paints(), clean) << "a clean view";
  v->setNeedsDisplay(true);
  UpdateWindow(H(w));
  EXPECT_EQ(paints(), clean) << "a window handle";
  EXPECT_TRUE(v->needsDisplay());
  UpdateWindow(H(v));
  EXPECT_EQ(paints(), clean + 1) << "the marked view, at once";
  EXPECT_FALSE(v->needsDisplay());
  UpdateWindow(nullptr);
}

}  // namespace
