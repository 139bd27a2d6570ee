// The AppKit stand-in's event queue and modal runs on the virtual clock.
#include <AppKit/AppKit.h>
#include <CoreFoundation/CFPresenter.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Counts the clicks that reach it; a click may end the modal run with a code.
class Clicker : public NSView {
  NS_STANDIN_CLASS(Clicker)
 public:
  int clicks = 0;
  NSModalResponse stopWith = 0;
  void mouseDown(NSEvent*) override {
    ++clicks;
    if (stopWith) NSApp->stopModalWithCode(stopWith);
  }
};
NS_STANDIN_CLASS_IMPL(Clicker, NSView)

NSEvent* click(NSWindow* w, NSEventType type = NSLeftMouseDown) {
  return NSEvent::mouseEventWithType(type, NSMakePoint(20, 20), 0, 0, w ? w->windowNumber() : 0, nullptr, 0, 1, 1);
}

// Posts a click to its window when its timer fires.
class Poster : public NSObject {
  NS_STANDIN_CLASS(Poster)
 public:
  NSWindow* window = nullptr;
  static NSObject* Fire(NSObject* self, SEL, NSObject*) {
    NSApp->postEvent(click(static_cast<Poster*>(self)->window), false);
    return nullptr;
  }
};
NS_STANDIN_CLASS_IMPL(Poster, NSObject)

class EventQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    NSApplicationLoad();
    mWindow = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    mWindow->initWithContentRect(NSMakeRect(0, 0, 100, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
    mView = static_cast<Clicker*>(Clicker::class_()->alloc());
    mView->initWithFrame(NSMakeRect(0, 0, 100, 100));
    mWindow->setContentView(mView);
    mView->release();
    mSaved = cf_standin::setPresenter(&mPresenter);
  }
  void TearDown() override {
    NSApp->discardEventsMatchingMask(NSAnyEventMask, nullptr);
    cf_standin::setPresenter(mSaved);
    mWindow->close();
    mWindow->release();
    ns_standin::drainLoopPool();
    EXPECT_EQ(ns_standin::queuedEventCount(), 0u);
  }
  NSWindow* mWindow = nullptr;
  Clicker* mView = nullptr;
  cf_standin::Presenter mPresenter;
  cf_standin::Presenter* mSaved = nullptr;
};

TEST_F(EventQueue, EventsComeInPostedOrderAtStartFirstAndOnlyOfTheMaskedTypes) {
  NSEvent* down = click(mWindow);
  NSEvent* up = click(mWindow, NSLeftMouseUp);
  NSEvent* key = NSEvent::keyEventWithType(NSKeyDown, NSMakePoint(0, 0), 0, 0, mWindow->windowNumber(), nullptr,
                                           NSString::stringWithUTF8String("a"), NSString::stringWithUTF8String("a"),
                                           false, 0);
  NSApp->postEvent(down, false);
  NSApp->postEvent(up, false);
  NSApp->postEvent(key, true);
  const CFAbsoluteTime now = CFAbsoluteTimeGetCurrent();
  EXPECT_EQ(NSApp->nextEventMatchingMask(NSAnyEventMask, now, NSDefaultRunLoopMode, false), key);
  EXPECT_EQ(ns_standin::queuedEventCount(), 3u) << "a peek leaves the event queued";
  EXPECT_EQ(NSApp->nextEventMatchingMask(NSEventMaskFromType(NSLeftMouseUp), now, NSDefaultRunLoopMode, true), up);
  EXPECT_EQ(NSApp->nextEventMatchingMask(NSAnyEventMask, now, NSDefaultRunLoopMode, true), key);
  EXPECT_EQ(NSApp->nextEventMatchingMask(NSAnyEventMask, now, NSDefaultRunLoopMode, true), down);
  EXPECT_EQ(NSApp->nextEventMatchingMask(NSAnyEventMask, now, NSDefaultRunLoopMode, true), nullptr);
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), now) << "a date already reached does not wait";
}

TEST_F(EventQueue, AnEmptyQueueRunsTheClockFromTimerToTimerUntilOnePostsOrTheDateComes) {
  Poster::class_()->addMethod(sel_registerName("post:"), &Poster::Fire);
  auto* poster = static_cast<Poster*>(Poster::class_()->alloc());
  poster->window = mWindow;
  const CFAbsoluteTime start = CFAbsoluteTimeGetCurrent();
  poster->performSelectorAfterDelay(sel_registerName("post:"), nullptr, 2.5);
  NSEvent* e = NSApp->nextEventMatchingMask(NSAnyEventMask, start + 10, NSDefaultRunLoopMode, true);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->type(), NSEventType(NSLeftMouseDown));
  EXPECT_DOUBLE_EQ(CFAbsoluteTimeGetCurrent() - start, 2.5) << "the clock stops at the timer that posted";
  EXPECT_EQ(NSApp->nextEventMatchingMask(NSAnyEventMask, start + 4, NSDefaultRunLoopMode, true), nullptr);
  EXPECT_DOUBLE_EQ(CFAbsoluteTimeGetCurrent() - start, 4);
  poster->release();
}

TEST_F(EventQueue, ModalRunsEndWithTheirCodes) {
  struct Case {
    const char* what;
    std::function<void(NSWindow*, Clicker*)> person;
    NSModalResponse code;
    int clicks;
    double seconds;  // of clock time the run took
  };
  const double limit = ns_standin::modalIdleLimit();
  const std::vector<Case> cases = {
      {"a click that stops with a code",
       [](NSWindow* w, Clicker* v) {
         v->stopWith = 7;
         NSApp->postEvent(click(w), false);
         NSApp->postEvent(click(w), false);
       },
       7, 1, 0},
      {"stopModal before any event", [](NSWindow*, Clicker*) { NSApp->stopModal(); }, NSModalResponseStop, 0, 0},
      {"abortModal", [](NSWindow*, Clicker*) { NSApp->abortModal(); }, NSModalResponseAbort, 0, 0},
      {"nobody acts", [](NSWindow*, Clicker*) {}, NSModalResponseAbort, 0, limit},
      {"a click for another window is dropped", [](NSWindow*, Clicker*) { NSApp->postEvent(click(nullptr), false); },
       NSModalResponseAbort, 0, limit},
      {"the window closes", [](NSWindow* w, Clicker*) { w->close(); }, NSModalResponseAbort, 0, 0},
  };
  for (const Case& c : cases) {
    NSWindow* w = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    w->initWithContentRect(NSMakeRect(0, 0, 100, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
    auto* v = static_cast<Clicker*>(Clicker::class_()->alloc());
    v->initWithFrame(NSMakeRect(0, 0, 100, 100));
    w->setContentView(v);
    mPresenter.modalActions.push_back([&c, w, v] { c.person(w, v); });
    const CFAbsoluteTime start = CFAbsoluteTimeGetCurrent();
    EXPECT_EQ(NSApp->runModalForWindow(w), c.code) << c.what;
    EXPECT_EQ(v->clicks, c.clicks) << c.what;
    EXPECT_DOUBLE_EQ(CFAbsoluteTimeGetCurrent() - start, c.seconds) << c.what;
    EXPECT_EQ(NSApp->modalWindow(), nullptr) << c.what;
    NSApp->discardEventsMatchingMask(NSAnyEventMask, nullptr);
    v->release();
    w->close();
    w->release();
  }
  ASSERT_EQ(mPresenter.modalRuns.size(), cases.size());
  EXPECT_EQ(mPresenter.modalRuns[0].windowNumber, mPresenter.modalRuns[1].windowNumber - 1);
}

TEST_F(EventQueue, SessionStepsContinueUntilStoppedAndTimersFireBetweenThem) {
  Poster::class_()->addMethod(sel_registerName("post:"), &Poster::Fire);
  auto* poster = static_cast<Poster*>(Poster::class_()->alloc());
  poster->window = mWindow;
  NSTimer* t = NSTimer::timerWithTimeInterval(0.05, poster, sel_registerName("post:"), nullptr, true);
  NSRunLoop::currentRunLoop()->addTimer(t, NSRunLoopCommonModes);
  NSModalSession s = NSApp->beginModalSessionForWindow(mWindow);
  int steps = 0;
  while (NSApp->runModalSession(s) == NSModalResponseContinue && mView->clicks < 3) ++steps;
  EXPECT_EQ(mView->clicks, 3) << "the common-mode timer posts during the run";
  EXPECT_GE(steps, 10) << "each step lets the clock run only a short while";
  NSApp->stopModal();
  EXPECT_EQ(NSApp->runModalSession(s), NSModalResponseStop);
  EXPECT_EQ(NSApp->runModalSession(s), NSModalResponseStop);
  NSApp->endModalSession(s);
  EXPECT_EQ(NSApp->modalWindow(), nullptr);
  t->invalidate();
  poster->release();
}

TEST_F(EventQueue, TerminateAndHideAreRecordedAndTheProcessGoesOn) {
  const int before = ns_standin::terminateRequests();
  NSApp->terminate(nullptr);
  EXPECT_EQ(ns_standin::terminateRequests(), before + 1);
  NSApp->hide(nullptr);
  EXPECT_TRUE(NSApp->isHidden());
  NSApp->unhide(nullptr);
  EXPECT_FALSE(NSApp->isHidden());
}

}  // namespace
