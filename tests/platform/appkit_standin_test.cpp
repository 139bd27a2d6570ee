// The Foundation and AppKit stand-ins: objects and classes, the run loop on the virtual clock,
// event routing, the display pass, the presenter and the screen copy's clip walk.
#include <AppKit/AppKit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cg_test_bitmap.h"

namespace {

// Records the events and draws that reach it; passes keys on unless told to take them.
class Probe : public NSView {
  NS_STANDIN_CLASS(Probe)
 public:
  std::vector<std::string> log;
  bool takesKeys = false;
  bool acceptsFirstResponder() override { return true; }
  void mouseDown(NSEvent*) override { log.push_back("down"); }
  void mouseDragged(NSEvent*) override { log.push_back("drag"); }
  void mouseUp(NSEvent*) override { log.push_back("up"); }
  void scrollWheel(NSEvent* e) override { log.push_back("wheel " + std::to_string(int(e->deltaY()))); }
  void keyDown(NSEvent* e) override {
    log.push_back(std::string("key ") + e->charactersIgnoringModifiers()->UTF8String());
    if (!takesKeys) NSView::keyDown(e);
  }
  void drawRect(NSRect r) override {
    log.push_back("draw " + std::to_string(int(r.origin.x)) + "," + std::to_string(int(r.origin.y)));
    CGContextRef c = NSGraphicsContext::currentContext()->graphicsPort();
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, bounds());  // the clip keeps this to the dirty rectangle
  }
  int ticks = 0;
};
NS_STANDIN_CLASS_IMPL(Probe, NSView)

NSObject* Tick(NSObject* self, SEL, NSObject*) {
  ++static_cast<Probe*>(self)->ticks;
  return nullptr;
}

NSEvent* Mouse(NSEventType type, NSWindow* w, double x, double y, NSEventModifierFlags flags = 0) {
  return NSEvent::mouseEventWithType(type, NSMakePoint(x, y), flags, 0, w->windowNumber(), nullptr, 0, 1, 1);
}

NSEvent* Key(NSWindow* w, const char* chars) {
  NSString* s = NSString::stringWithUTF8String(chars);
  return NSEvent::keyEventWithType(NSKeyDown, NSMakePoint(0, 0), 0, 0, w->windowNumber(), nullptr, s, s, false, 0);
}

// A window of 200 x 100 holding probe a at (10, 10, 50, 40) and b at (100, 10, 50, 40).
struct Scene {
  NSWindow* window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
  Probe* a = static_cast<Probe*>(Probe::class_()->alloc());
  Probe* b = static_cast<Probe*>(Probe::class_()->alloc());
  Probe* content = static_cast<Probe*>(Probe::class_()->alloc());
  Scene() {
    window->initWithContentRect(NSMakeRect(0, 0, 200, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
    content->initWithFrame(NSMakeRect(0, 0, 200, 100));
    window->setContentView(content);
    window->makeKeyWindow();  // a first click into a window that is not key would only activate it
    a->initWithFrame(NSMakeRect(10, 10, 50, 40));
    b->initWithFrame(NSMakeRect(100, 10, 50, 40));
    content->addSubview(a);
    content->addSubview(b);
    ns_standin::displayWindows();  // the first pass draws each view whole
    for (Probe* p : {a, b, content}) p->log.clear();
  }
  ~Scene() {
    for (NSObject* o : std::vector<NSObject*>{a, b, content, window}) o->release();
    ns_standin::drainLoopPool();
  }
};

}  // namespace

TEST(FoundationObjects, ClassesAreFoundByNameAndAnswerForTheirSelectors) {
  NSAutoreleasePool pool;
  Class probe = NSClassFromString(NSString::stringWithUTF8String("Probe"));
  ASSERT_EQ(probe, Probe::class_());
  EXPECT_EQ(objc_getClass("NoSuchClass"), nullptr);
  NSObject* p = probe->alloc()->init();
  EXPECT_TRUE(p->isKindOfClass(NSView::class_()));
  EXPECT_FALSE(p->isKindOfClass(NSWindow::class_()));
  EXPECT_EQ(sel_registerName("tick:"), NSSelectorFromString(NSString::stringWithUTF8String("tick:")));
  EXPECT_FALSE(p->respondsToSelector(sel_registerName("tick:")));
  Probe::class_()->addMethod(sel_registerName("tick:"), &Tick);
  EXPECT_TRUE(p->respondsToSelector(sel_registerName("tick:")));
  p->performSelector(sel_registerName("tick:"));
  EXPECT_EQ(static_cast<Probe*>(p)->ticks, 1);
  {
    NSAutoreleasePool inner;
    p->retain()->autorelease();
    EXPECT_EQ(p->retainCount(), 2u);
  }
  EXPECT_EQ(p->retainCount(), 1u);
  p->release();
}

TEST(FoundationRunLoop, ARepeatingTimerFiresEveryFortyVirtualMillisecondsUntilInvalidated) {
  Probe::class_()->addMethod(sel_registerName("tick:"), &Tick);
  Probe* target = static_cast<Probe*>(Probe::class_()->alloc());
  const int before = cf_standin::scheduledTimerCount();
  NSTimer* timer;
  {
    NSAutoreleasePool pool;
    timer = NSTimer::timerWithTimeInterval(0.04, target, sel_registerName("tick:"), nullptr, true);
    NSRunLoop::currentRunLoop()->addTimer(timer, NSRunLoopCommonModes);
  }
  EXPECT_EQ(target->retainCount(), 2u);  // the timer holds its target
  struct Step {
    double seconds;
    int ticks;
  } steps[] = {{0.039, 0}, {0.001, 1}, {0.04, 2}, {0.4, 12}, {0.02, 12}, {0.02, 13}};
  for (const Step& s : steps) {
    ns_standin::runFor(s.seconds);
    EXPECT_EQ(target->ticks, s.ticks) << "after " << s.seconds;
  }
  // A custom mode does not run the timer; the default mode does (common modes).
  EXPECT_EQ(cf_standin::advanceClock(0.2, CFSTR("custom")), 0);
  timer->invalidate();
  EXPECT_EQ(cf_standin::scheduledTimerCount(), before);
  ns_standin::runFor(1.0);
  EXPECT_EQ(target->ticks, 13);
  EXPECT_EQ(target->retainCount(), 1u);
  // A one-shot timer fires once, then lets its target go.
  {
    NSAutoreleasePool pool;
    NSTimer::scheduledTimerWithTimeInterval(0.1, target, sel_registerName("tick:"), nullptr, false);
  }
  ns_standin::runFor(0.5);
  EXPECT_EQ(target->ticks, 14);
  EXPECT_EQ(cf_standin::scheduledTimerCount(), before);
  EXPECT_EQ(target->retainCount(), 1u);
  target->release();
}

TEST(AppKitEvents, DownGoesToTheHitViewAndDragAndUpFollowItWheelUnderTheMouseKeysAlongTheChain) {
  Scene s;
  ns_standin::dispatch(Mouse(NSLeftMouseDown, s.window, 20, 20));
  EXPECT_EQ(s.window->firstResponder(), s.a);
  ns_standin::dispatch(Mouse(NSLeftMouseDragged, s.window, 120, 20));  // over b, still a's
  ns_standin::dispatch(Mouse(NSLeftMouseUp, s.window, 120, 20));
  ns_standin::dispatch(ns_standin::scrollWheelEvent(s.window, NSMakePoint(110, 20), 0, 3));
  EXPECT_EQ(s.a->log, (std::vector<std::string>{"down", "drag", "up"}));
  EXPECT_EQ(s.b->log, (std::vector<std::string>{"wheel 3"}));
  // a passes the key on to its superview, which passes it to the window, which drops it.
  ns_standin::dispatch(Key(s.window, "%"));
  EXPECT_EQ(s.a->log.back(), "key %");
  EXPECT_EQ(s.content->log.back(), "key %");
  s.a->takesKeys = true;
  ns_standin::dispatch(Key(s.window, "q"));
  EXPECT_EQ(s.content->log.back(), "key %");
}

TEST(AppKitDisplay, TheDisplayPassDrawsOnlyTheDirtyRectangleIntoTheBackingStore) {
  Scene s;
  CGContextRef store = s.window->backingStore();
  std::fill_n(static_cast<uint8_t*>(CGBitmapContextGetData(store)), 200 * 100 * 4, 0);
  s.a->setNeedsDisplayInRect(NSMakeRect(5, 5, 10, 10));
  ns_standin::displayWindows();
  EXPECT_EQ(s.a->log, (std::vector<std::string>{"draw 5,5"}));
  EXPECT_FALSE(s.a->needsDisplay());
  // Window point (10 + 5, 10 + 5) is the first red pixel: memory row 100 - 15 - 1.
  auto red = [&](int x, int yUp) {
    const uint8_t* p = static_cast<uint8_t*>(CGBitmapContextGetData(store)) +
                       size_t(100 - 1 - yUp) * CGBitmapContextGetBytesPerRow(store) + size_t(x) * 4;
    return p[1] == 255 && p[2] == 0;
  };
  EXPECT_TRUE(red(15, 15));
  EXPECT_TRUE(red(24, 24));
  EXPECT_FALSE(red(14, 15));
  EXPECT_FALSE(red(25, 24));
  EXPECT_FALSE(red(15, 25));
  ns_standin::displayWindows();
  EXPECT_EQ(s.a->log.size(), 1u);
}

TEST(AppKitDisplay, SubviewsUnderARedrawnRectangleOfTheirSuperviewDrawAgain) {
  Scene s;
  // Over a's right part and the gap, not b.
  s.content->setNeedsDisplayInRect(NSMakeRect(40, 20, 30, 10));
  ns_standin::displayWindows();
  EXPECT_EQ(s.content->log, (std::vector<std::string>{"draw 40,20"}));
  EXPECT_EQ(s.a->log, (std::vector<std::string>{"draw 30,10"}));
  EXPECT_TRUE(s.b->log.empty());
}

TEST(Presenter, AlertsAndPanelsAnswerAsDismissedUnlessScriptedAndURLsAreRecorded) {
  NSAutoreleasePool pool;
  cf_standin::Presenter script;
  cf_standin::Presenter* old = cf_standin::setPresenter(&script);
  CFOptionFlags answer = 99;
  EXPECT_EQ(CFUserNotificationDisplayAlert(0, 1, nullptr, nullptr, nullptr, CFSTR("H"), CFSTR("M"), nullptr,
                                           CFSTR("Cancel"), nullptr, &answer),
            0);
  EXPECT_EQ(answer, kCFUserNotificationCancelResponse);
  script.alertAnswers = {kCFUserNotificationAlternateResponse};
  CFUserNotificationDisplayAlert(0, 1, nullptr, nullptr, nullptr, CFSTR("H"), CFSTR("M"), nullptr, nullptr, nullptr,
                                 &answer);
  EXPECT_EQ(answer, kCFUserNotificationAlternateResponse);
  ASSERT_EQ(script.alerts.size(), 2u);
  EXPECT_EQ(script.alerts[0].alternateButton, "Cancel");
  EXPECT_EQ(script.alerts[0].header, "H");

  NSOpenPanel* panel = NSOpenPanel::openPanel();
  EXPECT_EQ(panel->runModal(), NSModalResponseCancel);
  script.panelAnswers = {"/tmp/x.syx"};
  EXPECT_EQ(panel->runModal(), NSModalResponseOK);
  EXPECT_STREQ(panel->URL()->path()->UTF8String(), "/tmp/x.syx");
  EXPECT_FALSE(script.panels[0].save);

  EXPECT_TRUE(
      NSWorkspace::sharedWorkspace()->openURL(NSURL::URLWithString(NSString::stringWithUTF8String("http://a"))));
  EXPECT_FALSE(NSWorkspace::sharedWorkspace()->openURL(NSURL::URLWithString(NSString::stringWithUTF8String("a b"))));
  EXPECT_EQ(script.urls, (std::vector<std::string>{"http://a"}));
  cf_standin::setPresenter(old);

  SInt32 version = 0;
  EXPECT_EQ(Gestalt(gestaltSystemVersion, &version), noErr);
  EXPECT_EQ(version, 0x1068);
}

TEST(ScreenCopy, AnOpaqueImageDrawnOneToOneChangesOnlyTheClipBox) {
  CGTestBitmap src(8, 6), dst(8, 6, kCGImageAlphaNoneSkipLast);
  for (size_t i = 0; i < src.buf.size(); ++i) src.buf[i] = uint8_t(i * 7 + 1);
  CGImageRef image = CGBitmapContextCreateImage(src.c);
  ASSERT_NE(image, nullptr);
  CGContextSaveGState(dst.c);
  CGContextClipToRect(dst.c, CGRectMake(2, 1, 3, 2));  // memory rows 3 and 4, columns 2..4
  CGContextDrawImage(dst.c, CGRectMake(0, 0, 8, 6), image);
  CGContextRestoreGState(dst.c);
  CGImageRelease(image);
  for (int row = 0; row < 6; ++row)
    for (int x = 0; x < 8; ++x) {
      const bool inside = row >= 3 && row <= 4 && x >= 2 && x <= 4;
      const uint8_t* s = src.at(x, row);
      const uint8_t* d = dst.at(x, row);
      // Skip-first XRGB into RGBX.
      if (inside)
        EXPECT_TRUE(d[0] == s[1] && d[1] == s[2] && d[2] == s[3]) << x << "," << row;
      else
        EXPECT_TRUE(d[0] == 0 && d[1] == 0 && d[2] == 0) << x << "," << row;
    }
}
