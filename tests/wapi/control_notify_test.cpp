// Child controls tell the view they target: typing, Return, button clicks, sliders, menus and
// double clicks arrive as messages.
#include <gtest/gtest.h>

#include "kit/wapi/wapi-dlggen.h"
#include "kit/wapi/wapi-input.h"
#include "window_fixture.h"

namespace {

LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NOTIFY) {
    // The record lives for the call only: keep what matters.
    const auto* r = reinterpret_cast<const NMLISTVIEW*>(l);
    WindowTest::log().push_back({h, m, w, LPARAM(r->hdr.code)});
    WindowTest::log().push_back({reinterpret_cast<HWND>(r->hdr.hwndFrom), 0, r->hdr.idFrom, LPARAM(r->iItem | r->iSubItem)});
    return 0;
  }
  return WindowTest::LoggingProc(h, m, w, l);
}

class ControlNotify : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    mWindow = makeWindow(NSMakeRect(100, 100, 400, 300));
    mWindow->makeKeyAndOrderFront(nullptr);
    mView = makeView(nullptr, mWindow, Proc);
    mView->setHidden(false);
  }
  std::vector<LoggedMessage> of(UINT msg) const {
    std::vector<LoggedMessage> out;
    for (const LoggedMessage& m : log())
      if (m.hwnd == H(mView) && m.msg == msg) out.push_back(m);
    return out;
  }
  NSWindow* mWindow = nullptr;
  Wapi_vQOR_hwnd* mView = nullptr;
};

}  // namespace

TEST_F(ControlNotify, TypingIntoAFieldSendsAChangePerKeyAndReturnEndsEditingAndClicksTheDefaultButton) {
  auto* field = addControl<NSTextField>(mView, 77, NSMakeRect(10, 10, 120, 22));
  field->setDelegate(mView);
  auto* ok = addControl<NSButton>(mView, 1, NSMakeRect(200, 10, 60, 22));
  ok->setTarget(mView);
  ok->setAction(sel_registerName("onWapiCommand:"));
  mWindow->setDefaultButtonCell(ok->cell());
  ns_standin::mouseAtView(field, NSLeftMouseDown, NSMakePoint(5, 5));
  ASSERT_NE(field->currentEditor(), nullptr);
  log().clear();
  ns_standin::keyToWindow(mWindow, NSKeyDown, 0, "a");
  ns_standin::keyToWindow(mWindow, NSKeyDown, 11, "b");
  std::vector<LoggedMessage> commands = of(WM_COMMAND);
  ASSERT_EQ(commands.size(), 2u);
  for (const LoggedMessage& m : commands) {
    EXPECT_EQ(m.wParam, MAKEWPARAM(77, EN_CHANGE));
    EXPECT_EQ(m.lParam, reinterpret_cast<LPARAM>(field));
  }
  log().clear();
  ns_standin::keyToWindow(mWindow, NSKeyDown, 36, "\r");
  EXPECT_EQ(field->currentEditor(), nullptr) << "Return ends editing";
  EXPECT_STREQ(field->stringValue()->UTF8String(), "ab");
  commands = of(WM_COMMAND);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].wParam, MAKEWPARAM(77, EN_CHANGE)) << "the end of editing";
  EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(field));
  EXPECT_EQ(commands[1].wParam, MAKEWPARAM(1, 0)) << "then the default button's click";
  EXPECT_EQ(commands[1].lParam, reinterpret_cast<LPARAM>(ok));
}

TEST_F(ControlNotify, AnEditControlThatLosesTheFocusTellsTheEndOfEditing) {
  WAPI_MakeSetCurParms(1.8f, 1.8f, 0, 0, H(mView), false, false);
  struct Row {
    const char* what;
    int style;
  } rows[] = {{"a field", 0}, {"a text view in a scroll view", WS_VSCROLL}, {"a text view", WS_HSCROLL}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const int id = 60 + int(&r - rows);
    WAPI_MakeEditField(id, 10, 10, 100, 40, r.style);
    NSView* edited = wapiAs<NSView>(wapiObject(GetDlgItem(H(mView), id)));
    ASSERT_TRUE(edited);
    mWindow->makeFirstResponder(edited);
    log().clear();
    mWindow->makeFirstResponder(mView);
    const std::vector<LoggedMessage> commands = of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(id, EN_CHANGE));
    EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(edited));
  }
}

TEST_F(ControlNotify, ButtonClicksMoveTheStateByTypeAndSendTheirCommand) {
  struct Case {
    NSButtonType type;
    bool mixed;
    std::vector<NSInteger> states;  // after each of three clicks
  } cases[] = {
      {NSSwitchButton, false, {NSOnState, NSOffState, NSOnState}},
      {NSSwitchButton, true, {NSOnState, NSMixedState, NSOffState}},
      {NSPushOnPushOffButton, false, {NSOnState, NSOffState, NSOnState}},
      {NSRadioButton, false, {NSOnState, NSOnState, NSOnState}},
      {NSMomentaryPushInButton, false, {NSOffState, NSOffState, NSOffState}},
  };
  NSInteger tag = 10;
  for (const Case& c : cases) {
    auto* b = addControl<NSButton>(mView, ++tag, NSMakeRect(10, 10, 60, 22));
    b->setButtonType(c.type);
    b->setAllowsMixedState(c.mixed);
    b->setTarget(mView);
    b->setAction(sel_registerName("onWapiCommand:"));
    for (NSInteger want : c.states) {
      log().clear();
      ns_standin::mouseAtView(b, NSLeftMouseDown, NSMakePoint(5, 5));
      ns_standin::mouseAtView(b, NSLeftMouseUp, NSMakePoint(5, 5));
      EXPECT_EQ(b->state(), want) << c.type;
      ASSERT_EQ(of(WM_COMMAND).size(), 1u) << c.type;
      EXPECT_EQ(of(WM_COMMAND)[0].wParam, MAKEWPARAM(tag, 0));
      EXPECT_TRUE(of(WM_LBUTTONUP).empty()) << "the click took the mouse-up";
    }
    b->removeFromSuperview();
  }
  // A double press sends code 1; a disabled button sends nothing.
  auto* b = addControl<NSButton>(mView, 5, NSMakeRect(10, 10, 60, 22));
  b->setTarget(mView);
  b->setAction(sel_registerName("onWapiCommand:"));
  log().clear();
  ns_standin::mouseAtView(b, NSLeftMouseDown, NSMakePoint(5, 5), 0, 2);
  ASSERT_EQ(of(WM_COMMAND).size(), 1u);
  EXPECT_EQ(of(WM_COMMAND)[0].wParam, MAKEWPARAM(5, 1));
  b->setEnabled(false);
  log().clear();
  ns_standin::mouseAtView(b, NSLeftMouseDown, NSMakePoint(5, 5));
  EXPECT_TRUE(of(WM_COMMAND).empty());
}

TEST_F(ControlNotify, SlidersScrollMenusAskBeforeShowingAndOtherDoubleClicksNotify) {
  auto* slider = addControl<NSSlider>(mView, 9);
  slider->setTarget(mView);
  slider->setAction(sel_registerName("onWapiCommand:"));
  slider->sendAction(slider->action(), slider->target());
  ASSERT_EQ(of(WM_HSCROLL).size(), 1u);
  EXPECT_EQ(of(WM_HSCROLL)[0].wParam, 0u);
  EXPECT_EQ(of(WM_HSCROLL)[0].lParam, reinterpret_cast<LPARAM>(slider));

  auto* menu = static_cast<NSMenu*>(NSMenu::class_()->alloc());
  menu->initWithTitle(NSString::stringWithUTF8String("m"));
  menu->setDelegate(mView);
  NSMenu::popUpContextMenu(menu, nullptr, mView);
  ASSERT_EQ(of(WM_INITMENUPOPUP).size(), 1u);
  EXPECT_EQ(of(WM_INITMENUPOPUP)[0].wParam, reinterpret_cast<WPARAM>(menu));
  menu->release();

  log().clear();
  mView->performSelector(sel_registerName("wapiOnControlDoubleClick:"), slider);
  ASSERT_EQ(log().size(), 2u);
  EXPECT_EQ(log()[0].msg, UINT(WM_NOTIFY));
  EXPECT_EQ(log()[0].wParam, 9u);
  EXPECT_EQ(log()[0].lParam, NM_DBLCLK);
  EXPECT_EQ(log()[1].hwnd, H(slider));
  EXPECT_EQ(log()[1].wParam, 9u);
  EXPECT_EQ(log()[1].lParam, 0) << "item and sub-item 0";
}

TEST_F(ControlNotify, ADestroyedViewHearsNoNotification) {
  auto* field = addControl<NSTextField>(mView, 3);
  mView->retain();
  DestroyWindow(H(mView));
  log().clear();
  mView->performSelector(sel_registerName("controlTextDidChange:"),
                         NSNotification::notificationWithName(NSString::stringWithUTF8String("n"), field));
  mView->performSelector(sel_registerName("onWapiCommand:"), field);
  EXPECT_TRUE(log().empty());
  mView->release();
}
