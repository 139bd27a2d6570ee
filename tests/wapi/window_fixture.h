// Shared set-up of the window-layer tests: the application, windows the test owns, layer views
// made through initChild, a log of the messages the test procedures receive, and the check that
// nothing of the layer outlives a test.
#pragma once

#include <gtest/gtest.h>

#include "kit/wapi/wapi-internal.h"

#include <CoreFoundation/CFPresenter.h>

#include <type_traits>
#include <vector>

struct LoggedMessage {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

class WindowTest : public ::testing::Test {
 public:
  static std::vector<LoggedMessage>& log() {
    static std::vector<LoggedMessage> messages;
    return messages;
  }
  // Records every message and answers 0.
  static LRESULT LoggingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    log().push_back({h, m, w, l});
    return 0;
  }
  static std::vector<UINT> messagesTo(HWND h) {
    std::vector<UINT> out;
    for (const LoggedMessage& m : log())
      if (m.hwnd == h) out.push_back(m.msg);
    return out;
  }

 protected:
  void SetUp() override {
    NSApplicationLoad();
    log().clear();
  }

  void TearDown() override {
    for (NSWindow* w : std::vector<NSWindow*>(NSApp->windows())) w->close();
    for (NSObject* o : mOwned) o->release();
    mOwned.clear();
    ns_standin::drainLoopPool();
    EXPECT_EQ(ns_standin::liveCount(Wapi_vQOR_hwnd::class_()), 0u) << "a layer view outlived the test";
  }

  // A titled window the test owns until tear-down.
  NSWindow* makeWindow(NSRect frame = NSMakeRect(100, 100, 400, 300), NSUInteger style = NSTitledWindowMask) {
    auto* w = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    w->initWithContentRect(frame, style, NSBackingStoreBuffered, false);
    mOwned.push_back(w);
    return w;
  }

  // A layer view made in the parent, which holds it; without a parent the test owns it.
  Wapi_vQOR_hwnd* makeView(const WAPI_DialogResourceIndex* res, NSObject* parent, DLGPROC proc, LPARAM param = 0) {
    auto* v = static_cast<Wapi_vQOR_hwnd*>(Wapi_vQOR_hwnd::class_()->alloc());
    v->initChild(res, parent, proc, param);
    if (parent)
      v->release();
    else
      mOwned.push_back(v);
    return v;
  }

  // A control of the class added to the parent (which holds it) with a tag.
  template <class T>
  T* addControl(NSView* parent, NSInteger tag, NSRect frame = NSMakeRect(10, 10, 80, 20)) {
    auto* c = static_cast<T*>(T::class_()->alloc());
    c->initWithFrame(frame);
    if constexpr (std::is_base_of_v<NSControl, T>)
      c->setTag(tag);
    else
      (void)tag;
    parent->addSubview(c);
    c->release();
    return c;
  }

  static HWND H(const NSObject* o) { return wapiHandle(o); }

  // Three layer views nested in a window, each with clean dirty marks: top, middle, lowest.
  std::vector<Wapi_vQOR_hwnd*> makeCleanChain(DLGPROC proc) {
    std::vector<Wapi_vQOR_hwnd*> chain{makeView(nullptr, makeWindow(), proc)};
    for (int i = 0; i < 2; ++i) chain.push_back(makeView(nullptr, chain.back(), proc));
    for (Wapi_vQOR_hwnd* v : chain) v->wapiSetDirtyBits(0);
    return chain;
  }

  std::vector<NSObject*> mOwned;
};

// A window test with a presenter of its own (scripted menus, panels, alerts and modal runs),
// replaced by the previous one afterwards.
template <class P = cf_standin::Presenter>
class PresenterWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    mSaved = cf_standin::setPresenter(&mPresenter);
  }
  void TearDown() override {
    cf_standin::setPresenter(mSaved);
    WindowTest::TearDown();
  }
  P mPresenter;
  cf_standin::Presenter* mSaved = nullptr;
};
