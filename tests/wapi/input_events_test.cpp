// Mouse, wheel, key and gesture events injected through the application reach the view's
// procedure as messages.
#include <gtest/gtest.h>

#include "kit/wapi/wapi-input.h"
#include "window_fixture.h"

#include <cmath>
#include <limits>
#include <map>

namespace {

// Answers the hit test and any message the test sets; records gestures' records as sent.
std::map<UINT, LRESULT>& answers() {
  static std::map<UINT, LRESULT> a;
  return a;
}
std::vector<GESTUREINFO>& gestures() {
  static std::vector<GESTUREINFO> g;
  return g;
}

LRESULT InputProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::log().push_back({h, m, w, l});
  if (m == WM_GESTURE) gestures().push_back(*reinterpret_cast<GESTUREINFO*>(l));
  auto it = answers().find(m);
  if (it != answers().end()) return it->second;
  return m == WM_NCHITTEST ? HTCLIENT : 0;
}

class InputEvents : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    answers().clear();
    gestures().clear();
    mWindow = makeWindow(NSMakeRect(100, 100, 400, 300));
    mWindow->makeKeyAndOrderFront(nullptr);
    mView = makeView(nullptr, mWindow, InputProc);
    mView->setHidden(false);
    log().clear();
  }
  void TearDown() override {
    ReleaseCapture();
    WAPI_EnableRightClickEmulate(true);
    WAPI_SetCursor(nullptr);
    WindowTest::TearDown();
  }
  // The input messages the view received (buttons, moves, wheel, keys, gestures), without the
  // hit tests, cursor questions, activations and the display pass's painting.
  static bool isInput(UINT m) {
    return (m >= 0xA0 && m <= 0xA9) || m == WM_KEYDOWN || m == WM_KEYUP || m == WM_GESTURE ||
           (m >= WM_MOUSEMOVE && m <= WM_MOUSEHWHEEL);
  }
  std::vector<LoggedMessage> sent(HWND to) const {
    std::vector<LoggedMessage> out;
    for (const LoggedMessage& m : log())
      if (m.hwnd == to && isInput(m.msg)) out.push_back(m);
    return out;
  }
  std::vector<UINT> sentMessages(HWND to) const {
    std::vector<UINT> out;
    for (const LoggedMessage& m : sent(to)) out.push_back(m.msg);
    return out;
  }
  NSWindow* mWindow = nullptr;
  Wapi_vQOR_hwnd* mView = nullptr;
};

}  // namespace

TEST_F(InputEvents, ButtonsGiveTheirMessagesByButtonClickCountAndEmulation) {
  const NSEventModifierFlags ctrl = NSControlKeyMask;
  struct Case {
    const char* what;
    bool emulate;
    NSEventType down, up;
    NSEventModifierFlags mods;
    int clicks;
    std::vector<UINT> messages;
  } cases[] = {
      {"left", true, NSLeftMouseDown, NSLeftMouseUp, 0, 1, {513, 514}},
      {"left double", true, NSLeftMouseDown, NSLeftMouseUp, 0, 2, {515, 514}},
      {"Control-left emulated", true, NSLeftMouseDown, NSLeftMouseUp, ctrl, 1, {516, 517}},
      {"Control-left double emulated", true, NSLeftMouseDown, NSLeftMouseUp, ctrl, 2, {518, 514}},
      {"Control-left without emulation", false, NSLeftMouseDown, NSLeftMouseUp, ctrl, 1, {513, 514}},
      {"right", true, NSRightMouseDown, NSRightMouseUp, 0, 1, {516, 517}},
      {"right double", true, NSRightMouseDown, NSRightMouseUp, 0, 3, {518, 517}},
      {"other", true, NSOtherMouseDown, NSOtherMouseUp, 0, 1, {519, 520}},
      {"other double", true, NSOtherMouseDown, NSOtherMouseUp, 0, 2, {521, 520}},
  };
  for (const Case& c : cases) {
    log().clear();
    WAPI_EnableRightClickEmulate(c.emulate);
    ns_standin::mouseAtView(mView, c.down, NSMakePoint(30, 40), c.mods, c.clicks);
    ns_standin::mouseAtView(mView, c.up, NSMakePoint(30, 40), c.mods, c.clicks);
    EXPECT_EQ(sentMessages(H(mView)), c.messages) << c.what;
    // The point in the flipped view's own coordinates: y in the high half, x in the low.
    for (const LoggedMessage& m : sent(H(mView))) {
      EXPECT_EQ(m.lParam, (40 << 16) | 30) << c.what;
      EXPECT_EQ(m.wParam, 0u) << c.what;
    }
  }
}

TEST_F(InputEvents, AHitTestOutsideTheClientAreaSendsTheNonClientMessage) {
  answers()[WM_NCHITTEST] = 5;
  ns_standin::mouseAtView(mView, NSLeftMouseDown, NSMakePoint(30, 40));
  ASSERT_EQ(sentMessages(H(mView)), std::vector<UINT>({WM_NCLBUTTONDOWN}));
  EXPECT_EQ(sent(H(mView))[0].wParam, 5u);
  const LPARAM pos = LPARAM(int32_t(GetMessagePos()));
  EXPECT_EQ(sent(H(mView))[0].lParam, pos);
  EXPECT_EQ(pos, LPARAM(((300 - 40 + 100) << 16) | (100 + 30))) << "screen position, y upward";
  // The hit test itself carries the screen position too.
  auto hitTest = std::find_if(log().begin(), log().end(), [](const LoggedMessage& m) { return m.msg == WM_NCHITTEST; });
  ASSERT_NE(hitTest, log().end());
  EXPECT_EQ(hitTest->lParam, pos);
}

TEST_F(InputEvents, TheWheelSendsSixtyPerStepAndTheCursorPosition) {
  struct Case {
    double dx, dy;
    std::vector<std::pair<UINT, WPARAM>> sent;
  } cases[] = {
      {0, 0.5, {{WM_MOUSEWHEEL, 30u << 16}}},
      {0, -1, {{WM_MOUSEWHEEL, WPARAM(uint32_t(-60) << 16)}}},
      {2, 0, {{WM_MOUSEHWHEEL, 120u << 16}}},
      {0.25, 1, {{WM_MOUSEWHEEL, 60u << 16}, {WM_MOUSEHWHEEL, 15u << 16}}},
      {0, std::nan(""), {{WM_MOUSEWHEEL, 0}}},
      {0, 1e300, {{WM_MOUSEWHEEL, WPARAM(uint32_t(INT32_MAX) << 16)}}},
      {0, 0, {}},
  };
  for (const Case& c : cases) {
    log().clear();
    ns_standin::scrollAtView(mView, NSMakePoint(7, 9), c.dx, c.dy);
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const LoggedMessage& m : sent(H(mView))) {
      got.push_back({m.msg, m.wParam});
      EXPECT_EQ(m.lParam, LPARAM(((300 - 9 + 100) << 16) | 107));
    }
    EXPECT_EQ(got, c.sent) << c.dx << " " << c.dy;
    EXPECT_TRUE(std::none_of(log().begin(), log().end(), [](const LoggedMessage& m) { return m.msg == WM_NCHITTEST; }))
        << "no hit test for the wheel";
  }
}

TEST_F(InputEvents, TheCaptureTakesMouseMessagesWithoutHitTestOrCursorQuestion) {
  Wapi_vQOR_hwnd* other = makeView(nullptr, mView, InputProc);
  other->setFrame(NSMakeRect(200, 0, 50, 50));
  log().clear();
  SetCapture(H(other));
  ns_standin::mouseAtView(mView, NSLeftMouseDown, NSMakePoint(30, 40));
  ns_standin::mouseAtView(mView, NSLeftMouseUp, NSMakePoint(30, 40));
  EXPECT_TRUE(sentMessages(H(mView)).empty());
  EXPECT_EQ(sentMessages(H(other)), std::vector<UINT>({513, 514}));
  EXPECT_EQ(sent(H(other))[0].lParam, LPARAM((40u << 16) | (uint32_t(30 - 200) & 0xFFFF)))
      << "in the capturing view's coordinates, x in 16 bits";
}

TEST_F(InputEvents, AMoveOrReleaseAsksForTheCursorAndSetsTheArrowUnlessTheProcedureDid) {
  NSCursor* no = WAPI_LoadCursor(IDC_NO);
  struct Case {
    LRESULT setCursorAnswer;
    NSCursor* after;
  } cases[] = {{0, NSCursor::arrowCursor()}, {1, no}};
  for (const Case& c : cases) {
    answers()[WM_SETCURSOR] = c.setCursorAnswer;
    ns_standin::mouseAtView(mView, NSLeftMouseDown, NSMakePoint(3, 4));
    WAPI_SetCursor(no);
    log().clear();
    ns_standin::mouseAtView(mView, NSLeftMouseUp, NSMakePoint(3, 4));
    std::vector<LoggedMessage> asked;
    for (const LoggedMessage& m : log())
      if (m.msg == WM_NCHITTEST || m.msg == WM_LBUTTONUP || m.msg == WM_SETCURSOR) asked.push_back(m);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(std::vector<UINT>({asked[0].msg, asked[1].msg, asked[2].msg}),
              std::vector<UINT>({WM_NCHITTEST, WM_LBUTTONUP, WM_SETCURSOR}));
    EXPECT_EQ(asked[2].wParam, reinterpret_cast<WPARAM>(H(mView)));
    EXPECT_EQ(asked[2].lParam, LPARAM(HTCLIENT | (WM_LBUTTONUP << 16)));
    EXPECT_EQ(WAPI_GetCursor(), c.after);
  }
  // A press asks nothing.
  log().clear();
  ns_standin::mouseAtView(mView, NSLeftMouseDown, NSMakePoint(3, 4));
  EXPECT_TRUE(std::none_of(log().begin(), log().end(), [](const LoggedMessage& m) { return m.msg == WM_SETCURSOR; }));
}

LRESULT DestroyOnHitTest(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NCHITTEST) DestroyWindow(h);
  return InputProc(h, m, w, l);
}

TEST_F(InputEvents, AViewDestroyedOrWithoutProcedureAnswersMinusOneAndSendsNothingFurther) {
  NSEvent* e = NSEvent::mouseEventWithType(NSLeftMouseDown, NSMakePoint(10, 10), 0, 0, mWindow->windowNumber(),
                                           nullptr, 0, 1, 1);
  SetWindowLong(H(mView), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(DestroyOnHitTest));
  EXPECT_EQ(WAPI_SendMouseMessage(mView, WM_LBUTTONDOWN, e), -1);
  EXPECT_TRUE(sent(H(mView)).empty()) << "nothing after the hit test";
  log().clear();
  EXPECT_EQ(WAPI_SendMouseMessage(mView, WM_LBUTTONDOWN, e), -1);
  EXPECT_TRUE(sent(H(mView)).empty());
  EXPECT_EQ(WAPI_SendMouseMessage(nullptr, WM_LBUTTONDOWN, e), 0);
}

TEST_F(InputEvents, ADisabledViewTakesOnlyRightAndMiddlePresses) {
  EnableWindow(H(mView), 0);
  for (NSEventType t : {NSLeftMouseDown, NSLeftMouseUp, NSRightMouseDown, NSRightMouseUp, NSOtherMouseDown,
                        NSOtherMouseUp})
    ns_standin::mouseAtView(mView, t, NSMakePoint(5, 5));
  ns_standin::scrollAtView(mView, NSMakePoint(5, 5), 0, 1);
  EXPECT_EQ(sentMessages(H(mView)), std::vector<UINT>({516, 519}));
}

LRESULT KeyProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::log().push_back({h, m, w, l});
  auto it = answers().find(m);
  return it != answers().end() ? it->second : 0;
}

TEST_F(InputEvents, AKeyAnswered69GoesOnToTheNextResponderAnyOtherAnswerConsumesIt) {
  Wapi_vQOR_hwnd* child = makeView(nullptr, mView, KeyProc);
  child->setHidden(false);
  mWindow->makeFirstResponder(child);
  struct Case {
    LRESULT answer;
    bool parentHears;
  } cases[] = {{WAPI_KEY_NOT_HANDLED, true}, {0, false}, {1, false}, {70, false}};
  for (const Case& c : cases) {
    answers()[WM_KEYDOWN] = answers()[WM_KEYUP] = c.answer;
    log().clear();
    ns_standin::keyToWindow(mWindow, NSKeyDown, 0, "a", NSShiftKeyMask);
    ns_standin::keyToWindow(mWindow, NSKeyUp, 0, "a", NSShiftKeyMask);
    ASSERT_EQ(sentMessages(H(child)), std::vector<UINT>({WM_KEYDOWN, WM_KEYUP})) << c.answer;
    EXPECT_EQ(sent(H(child))[0].wParam, WPARAM('A'));
    EXPECT_EQ(sent(H(child))[0].lParam, FVIRTKEY | FSHIFT);
    const std::vector<UINT> parent = sentMessages(H(mView));
    EXPECT_EQ(parent.size(), c.parentHears ? 2u : 0u) << c.answer;
  }
}

TEST_F(InputEvents, GesturesSendBeginAndEndWithTheirScaledAmounts) {
  const NSPoint at = NSMakePoint(20, 30);  // screen (120, 370)
  struct Case {
    const char* what;
    NSEventType type;
    double value, dx, dy;
    DWORD id;
    WPARAM beginW;
    uint64_t beginArgs;
    WPARAM endW;
    uint64_t endArgs;
    int endX, endY;
  } cases[] = {
      {"zoom 0.0001 steps by one", NSEventTypeMagnify, 0.0001, 0, 0, 3, 0, 1024, 1025, 1025, 120, 370},
      {"zoom 5 clamps", NSEventTypeMagnify, 5.0, 0, 0, 3, 0, 1024, 2048, 2048, 120, 370},
      {"zoom -5 clamps", NSEventTypeMagnify, -5.0, 0, 0, 3, 0, 1024, 512, 512, 120, 370},
      {"zoom -0.0001 steps down", NSEventTypeMagnify, -0.0001, 0, 0, 3, 0, 1024, 1023, 1023, 120, 370},
      {"zoom 0.25", NSEventTypeMagnify, 0.25, 0, 0, 3, 0, 1024, 1280, 1280, 120, 370},
      {"rotate 30", NSEventTypeRotate, 30, 0, 0, 5, 0, 0, 49150, 49150, 120, 370},
      {"rotate 0 steps by one", NSEventTypeRotate, 0, 0, 0, 5, 0, 0, 32768, 32768, 120, 370},
      {"rotate -100 clamps", NSEventTypeRotate, -100, 0, 0, 5, 0, 0, 0, 0, 120, 370},
      // Moved by the view's size, 400 by 300.
      {"swipe left", NSEventTypeSwipe, 0, -1, 0, 4, 0, 0, 0, 0, 120 - 400, 370},
      {"swipe right", NSEventTypeSwipe, 0, 1, 0, 4, 0, 0, 0, 0, 120 + 400, 370},
      {"swipe down", NSEventTypeSwipe, 0, 0, -1, 4, 0, 0, 0, 0, 120, 370 + 300},
      {"swipe up", NSEventTypeSwipe, 0, 0, 1, 4, 0, 0, 0, 0, 120, 370 - 300},
      {"swipe right wins over vertical", NSEventTypeSwipe, 0, 1, 1, 4, 0, 0, 0, 0, 120 + 400, 370},
  };
  for (const Case& c : cases) {
    log().clear();
    gestures().clear();
    ns_standin::gestureAtView(mView, c.type, at, c.value, c.dx, c.dy);
    ASSERT_EQ(sentMessages(H(mView)), std::vector<UINT>({WM_GESTURE, WM_GESTURE})) << c.what;
    ASSERT_EQ(gestures().size(), 2u);
    const GESTUREINFO& b = gestures()[0];
    const GESTUREINFO& e = gestures()[1];
    EXPECT_EQ(sent(H(mView))[0].wParam, c.beginW) << c.what;
    EXPECT_EQ(sent(H(mView))[1].wParam, c.endW) << c.what;
    EXPECT_EQ(b.dwFlags, 1u) << c.what;
    EXPECT_EQ(e.dwFlags, 4u) << c.what;
    EXPECT_EQ(b.ullArguments, c.beginArgs) << c.what;
    EXPECT_EQ(e.ullArguments, c.endArgs) << c.what;
    EXPECT_EQ(b.dwID, c.id) << c.what;
    EXPECT_EQ(b.cbSize, sizeof(GESTUREINFO));
    EXPECT_EQ(b.hwndTarget, H(mView));
    EXPECT_EQ(b.ptsLocation[0], 120) << c.what;
    EXPECT_EQ(b.ptsLocation[1], 370) << c.what;
    EXPECT_EQ(e.ptsLocation[0], c.endX) << c.what;
    EXPECT_EQ(e.ptsLocation[1], c.endY) << c.what;
  }
}

TEST_F(InputEvents, AFirstClickIntoAWindowThatIsNotKeyActivatesTheViewAndItsSuperview) {
  NSWindow* other = makeWindow(NSMakeRect(600, 100, 200, 200));
  other->orderFront(nullptr);
  Wapi_vQOR_hwnd* outer = makeView(nullptr, other, InputProc);
  outer->setHidden(false);
  Wapi_vQOR_hwnd* inner = makeView(nullptr, outer, InputProc);
  inner->setHidden(false);
  inner->setFrame(NSMakeRect(0, 0, 100, 100));
  log().clear();
  ns_standin::mouseAtView(inner, NSLeftMouseDown, NSMakePoint(10, 10));
  EXPECT_TRUE(other->isKeyWindow());
  std::vector<std::pair<HWND, UINT>> got;
  for (const LoggedMessage& m : log())
    if (m.msg == WM_MOUSEACTIVATE || m.msg == WM_LBUTTONDOWN) got.push_back({m.hwnd, m.msg});
  // The first click is asked of the view and its superview; becoming first responder asks
  // the view once more, as it is not yet the focus.
  const std::vector<std::pair<HWND, UINT>> expected{{H(inner), WM_MOUSEACTIVATE},
                                                    {H(outer), WM_MOUSEACTIVATE},
                                                    {H(inner), WM_MOUSEACTIVATE},
                                                    {H(inner), WM_LBUTTONDOWN}};
  EXPECT_EQ(got, expected);
  // A disabled view turns the first click down: the window becomes key, the view hears nothing.
  mWindow->makeKeyWindow();
  EnableWindow(H(inner), 0);
  log().clear();
  ns_standin::mouseAtView(inner, NSLeftMouseDown, NSMakePoint(10, 10));
  EXPECT_TRUE(other->isKeyWindow());
  EXPECT_TRUE(sent(H(inner)).empty());
}

TEST_F(InputEvents, AMoveOverAnotherWindowGoesToTheLayerViewThereElseSetsTheArrow) {
  mWindow->setAcceptsMouseMovedEvents(true);
  NSWindow* other = makeWindow(NSMakeRect(600, 100, 200, 200));
  other->orderFront(nullptr);
  Wapi_vQOR_hwnd* there = makeView(nullptr, other, InputProc);
  there->setHidden(false);
  log().clear();
  // A move reported to this window at a point that lies over the other one.
  NSEvent* e = NSEvent::mouseEventWithType(NSMouseMoved, NSMakePoint(550, 50), 0, 0, mWindow->windowNumber(), nullptr,
                                           0, 0, 0);
  mView->mouseMoved(e);
  EXPECT_TRUE(sentMessages(H(mView)).empty());
  ASSERT_EQ(sentMessages(H(there)), std::vector<UINT>({WM_MOUSEMOVE}));
  EXPECT_EQ(sent(H(there))[0].lParam, ((200 - 50) << 16) | 50) << "in the other window's view";
  // Over a window without a layer view: the arrow.
  other->setContentView(nullptr);
  WAPI_SetCursor(WAPI_LoadCursor(IDC_NO));
  log().clear();
  mView->mouseMoved(e);
  EXPECT_TRUE(sent(H(mView)).empty());
  EXPECT_EQ(WAPI_GetCursor(), NSCursor::arrowCursor());
  // Within its own window the view hears the move.
  ns_standin::mouseAtView(mView, NSMouseMoved, NSMakePoint(12, 13), 0, 0);
  EXPECT_EQ(sentMessages(H(mView)), std::vector<UINT>({WM_MOUSEMOVE}));
}
