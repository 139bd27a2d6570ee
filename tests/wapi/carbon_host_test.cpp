// The Carbon hosting view: its Carbon window kept over the view and above the host window, keys
// handed on to the Cocoa side unless Carbon keeps them, bounds changes moving the view, the
// window events it answers, and the Carbon window closed with the view.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-carbonhost.h"

#include "tests/support/tempdir.h"
#include "tools/pngwriter/png_writer.h"

#include <Carbon/CarbonStandin.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A Carbon event of the class and kind with a key code and character, sent to the window.
OSStatus sendKey(WindowRef w, UInt32 kind, UInt32 code, char c) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassKeyboard, kind, 0, 0, &e);
  const UInt32 modifiers = 0;
  SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
  SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  SetEventParameter(e, kEventParamKeyMacCharCodes, typeChar, 1, &c);
  const OSStatus r = SendEventToEventTarget(e, GetWindowEventTarget(w));
  ReleaseEvent(e);
  return r;
}

Rect boundsOf(WindowRef w) {
  Rect r{};
  GetWindowBounds(w, kWindowContentRgn, &r);
  return r;
}

class CarbonHost : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    mWindowsBefore = carbon_standin::liveWindowCount();
    mHost = makeWindow();  // (100, 100) 400 by 300
    mHost->orderFront(nullptr);
    mContent = makeView(nullptr, mHost, LoggingProc);
    mContent->setHidden(false);
  }
  void TearDown() override {
    WindowTest::TearDown();
    EXPECT_EQ(carbon_standin::liveWindowCount(), mWindowsBefore) << "a Carbon window outlived its view";
  }
  // A hosting view over (20, 30)-(220, 130) of the parent, its procedure logging.
  Wapi_vQOR_hwndcarbonhost* host(Wapi_vQOR_hwnd* parent, bool composited, WindowRef* carbon) {
    const RECT r{20, 30, 220, 130};
    HWND h = WAPI_CreateCarbonWindowView(H(parent), carbon, &r, composited);
    SetWindowLong(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(LoggingProc));
    return wapiAs<Wapi_vQOR_hwndcarbonhost>(wapiObject(h));
  }
  int mWindowsBefore = 0;
  NSWindow* mHost = nullptr;
  Wapi_vQOR_hwnd* mContent = nullptr;
};

TEST_F(CarbonHost, TimerOneAttachesTheCarbonWindowOverTheViewAndFollowsItUntilAnAncestorHides) {
  Wapi_vQOR_hwnd* middle = makeView(nullptr, mContent, nullptr);
  middle->setFrame(NSMakeRect(0, 0, 400, 300));
  middle->setHidden(false);
  WindowRef carbon = nullptr;
  Wapi_vQOR_hwndcarbonhost* view = host(middle, false, &carbon);
  ASSERT_NE(view, nullptr);
  ASSERT_NE(carbon, nullptr);
  EXPECT_EQ(WAPI_GetWindowFromCarbonWindowView(H(view)), carbon);
  WindowClass wc = 0;
  WindowAttributes attributes = 0;
  GetWindowClass(carbon, &wc);
  GetWindowAttributes(carbon, &attributes);
  EXPECT_EQ(wc, 13u);
  EXPECT_EQ(attributes, 0x2200000u);
  NSWindow* cocoa = view->carbonCocoaWindow();
  ASSERT_NE(cocoa, nullptr);
  EXPECT_EQ(cocoa->parentWindow(), nullptr) << "attached by the timer, not at creation";

  ns_standin::runFor(0.011);
  EXPECT_EQ(cocoa->parentWindow(), mHost);
  // The view spans screen x 120-320 and y 270-370 (the flipped parent's 30-130 down from 400);
  // Carbon counts y down from the top of the 1080 display.
  Rect b = boundsOf(carbon);
  EXPECT_EQ((std::vector<int>{b.left, b.top, b.right, b.bottom}), (std::vector<int>{120, 710, 320, 810}));

  SetWindowPos(H(view), nullptr, 40, 50, 100, 80, SWP_NOZORDER);
  b = boundsOf(carbon);
  EXPECT_EQ((std::vector<int>{b.left, b.top, b.right, b.bottom}), (std::vector<int>{140, 730, 240, 810}));

  middle->setHidden(true);
  ns_standin::runFor(0.011);
  EXPECT_EQ(cocoa->parentWindow(), nullptr);
  EXPECT_FALSE(cocoa->isVisible());
  EXPECT_TRUE(mHost->childWindows().empty());
  middle->setHidden(false);
  ns_standin::runFor(0.011);
  EXPECT_EQ(cocoa->parentWindow(), mHost);
}

TEST_F(CarbonHost, RawKeysReachTheFirstResponderUnlessCarbonKeepsThem) {
  WindowRef carbon = nullptr;
  Wapi_vQOR_hwndcarbonhost* view = host(mContent, false, &carbon);
  mHost->makeKeyWindow();
  ASSERT_TRUE(mHost->makeFirstResponder(view));
  log().clear();
  EXPECT_EQ(sendKey(carbon, kEventRawKeyDown, 0, 'a'), noErr);
  EXPECT_EQ(sendKey(carbon, kEventRawKeyUp, 0, 'a'), noErr);
  EXPECT_EQ(messagesTo(H(view)), (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP}));
  EXPECT_EQ(log()[0].wParam, WPARAM('A'));

  log().clear();
  WAPI_CarbonWndHost_SetWantAllKeys(H(view), true);
  EXPECT_EQ(sendKey(carbon, kEventRawKeyDown, 0, 'a'), eventNotHandledErr);
  WAPI_CarbonWndHost_SetWantAllKeys(H(view), false);
  ControlRef field = nullptr;
  const Rect fieldBounds{10, 10, 30, 100};
  ASSERT_EQ(CreateEditUnicodeTextControl(carbon, &fieldBounds, CFSTR(""), false, nullptr, &field), noErr);
  SetKeyboardFocus(carbon, field, kControlEditTextPart);
  EXPECT_EQ(sendKey(carbon, kEventRawKeyDown, 0, 'a'), eventNotHandledErr) << "a Carbon text field has the focus";
  EXPECT_TRUE(messagesTo(H(view)).empty());
  SetKeyboardFocus(carbon, nullptr, kControlFocusNoPart);
  EXPECT_EQ(sendKey(carbon, kEventRawKeyDown, 0, 'a'), noErr);
  EXPECT_EQ(messagesTo(H(view)), std::vector<UINT>{WM_KEYDOWN});
}

TEST_F(CarbonHost, ABoundsChangeMovesTheViewByEachEdge) {
  for (const bool composited : {false, true}) {
    WindowRef carbon = nullptr;
    Wapi_vQOR_hwndcarbonhost* view = host(mContent, composited, &carbon);
    ControlRef watched = HIViewGetRoot(carbon);
    if (composited) {
      const Rect paneBounds{0, 0, 50, 50};
      ASSERT_EQ(CreateUserPaneControl(carbon, &paneBounds, 0, &watched), noErr);
      HIViewAddSubview(HIViewGetRoot(carbon), watched);
      WAPI_AddCarbonPaneToView(H(view), watched);
    }
    HIRect f{};
    HIViewGetFrame(watched, &f);
    // Left 5 on, top 7 down, right 15 on, bottom 11 down.
    const HIRect moved = CGRectMake(f.origin.x + 5, f.origin.y + 7, f.size.width + 10, f.size.height + 4);
    HIViewSetFrame(watched, &moved);
    const NSRect v = view->frame();
    EXPECT_EQ((std::vector<double>{v.origin.x, v.origin.y, v.size.width, v.size.height}),
              (std::vector<double>{25, 37, 210, 104}))
        << (composited ? "pane of a composited window" : "root of a plain window");
    DestroyWindow(H(view));
  }
}

TEST_F(CarbonHost, WindowEventsActivateAndAnswerClicksAndOtherTimersAreKilled) {
  WindowRef carbon = nullptr;
  Wapi_vQOR_hwndcarbonhost* view = host(mContent, true, &carbon);
  auto* menu = static_cast<NSMenu*>(NSMenu::class_()->alloc());
  menu->initWithTitle(NSString::stringWithUTF8String("Main"));
  NSApp->setMainMenu(menu);
  menu->release();

  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassWindow, kEventWindowGetClickActivation, 0, 0, &e);
  EXPECT_EQ(SendEventToEventTarget(e, GetWindowEventTarget(carbon)), noErr);
  ClickActivationResult click = 0;
  GetEventParameter(e, kEventParamClickActivation, typeClickActivationResult, nullptr, sizeof click, nullptr, &click);
  EXPECT_EQ(click, 3u);
  ReleaseEvent(e);
  for (const UInt32 kind : {kEventWindowActivated, kEventWindowActivateRequest}) {
    CreateEvent(nullptr, kEventClassWindow, kind, 0, 0, &e);
    EXPECT_EQ(SendEventToEventTarget(e, GetWindowEventTarget(carbon)), noErr);
    ReleaseEvent(e);
  }
  EXPECT_EQ(NSApp->mainMenu(), nullptr) << "the Carbon window's activation takes the main menu away";
  EXPECT_TRUE(IsWindowActive(carbon));

  SetTimer(H(view), 7, 5, nullptr);
  ns_standin::runFor(0.012);
  EXPECT_EQ(KillTimer(H(view), 7), 0) << "killed at its first firing";
  EXPECT_EQ(KillTimer(H(view), 1), 1) << "timer 1 keeps running";
  for (const LoggedMessage& m : log()) EXPECT_NE(m.msg, UINT(WM_TIMER));
  const long renders = carbon_standin::renderCount();
  SetWindowPos(H(view), nullptr, 0, 0, 60, 60, SWP_NOZORDER);
  EXPECT_EQ(carbon_standin::renderCount(), renders + 1) << "a composited window renders its root view";
}

TEST_F(CarbonHost, ACompositedCarbonWindowPlacedOverTheViewRendersItsControls) {
  WindowRef carbon = nullptr;
  host(mContent, true, &carbon);
  ControlRef field = nullptr;
  const Rect fieldBounds{10, 10, 30, 100};
  ASSERT_EQ(CreateEditUnicodeTextControl(carbon, &fieldBounds, CFSTR("Carbon"), false, nullptr, &field), noErr);
  ns_standin::runFor(0.011);
  CGContextRef store = carbon_standin::windowStore(carbon);
  ASSERT_NE(store, nullptr);
  const int width = int(CGBitmapContextGetWidth(store)), height = int(CGBitmapContextGetHeight(store));
  ASSERT_EQ(width, 200);
  ASSERT_EQ(height, 100);
  // Words of alpha (skipped), red, green, blue bytes, rows from the top.
  std::vector<uint32_t> words(size_t(width) * size_t(height));
  std::memcpy(words.data(), CGBitmapContextGetData(store), words.size() * 4);
  for (uint32_t& w : words) w |= 0xFF;
  EXPECT_EQ(words[size_t(26) * width + 95], 0xFFFFFFFFu) << "the field's white box, drawn by the render";
  EXPECT_EQ(words[size_t(80) * width + 150], 0x000000FFu) << "nothing drawn outside it";
  testsupport::TempDir dir("carbonhost");
  const std::vector<uint8_t> png = pngw::encodeArgbWords(words.data(), width, height, width);
  EXPECT_TRUE(pngw::writeFile(png, dir.file("carbon.png")));
  if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR"))
    pngw::writeFile(png, std::string(keep) + "/wapi_carbon_host.png");
}

TEST_F(CarbonHost, APressInsideTheKeyHostHandsTheKeysToTheCarbonWindow) {
  WindowRef carbon = nullptr;
  Wapi_vQOR_hwndcarbonhost* view = host(mContent, false, &carbon);
  ns_standin::runFor(0.011);
  NSWindow* cocoa = view->carbonCocoaWindow();
  mHost->makeKeyWindow();
  cg_standin::setCursorPosition(CGPointMake(150, 1080 - 300));  // screen (150, 300): inside the view
  ns_standin::runFor(0.011);
  EXPECT_TRUE(mHost->isKeyWindow()) << "no button held";
  cg_standin::setMouseButtons(1);
  cg_standin::setCursorPosition(CGPointMake(350, 1080 - 300));  // outside it
  ns_standin::runFor(0.011);
  EXPECT_TRUE(mHost->isKeyWindow());
  cg_standin::setCursorPosition(CGPointMake(150, 1080 - 300));
  ns_standin::runFor(0.011);
  cg_standin::setMouseButtons(0);
  EXPECT_TRUE(cocoa->isKeyWindow());

  // Destroyed while its Carbon window is key: the key goes back to a visible window.
  const size_t windows = NSApp->windows().size();
  DestroyWindow(H(view));
  EXPECT_TRUE(mHost->isKeyWindow());
  EXPECT_EQ(NSApp->windows().size(), windows - 1) << "the Carbon window's wrapper is closed";
  EXPECT_TRUE(mHost->childWindows().empty());
  EXPECT_EQ(carbon_standin::liveWindowCount(), mWindowsBefore) << "the Carbon window is disposed of";
  EXPECT_EQ(WAPI_GetWindowFromCarbonWindowView(H(view)), nullptr);
}

}  // namespace
