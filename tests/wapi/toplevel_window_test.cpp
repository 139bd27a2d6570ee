// Top-level windows and dialog boxes: creation by id and resource, modal results, the close box,
// sizes asked from the procedure, owners, activation with the menu bar, validity inside dialogs
// and the frame rebuilds of SetWindowLong and SetParent.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-dlggen.h"
#include "kit/wapi/wapi-toplevel.h"

#include <AppKit/AppKitStandin.h>
#include <CoreFoundation/CFPresenter.h>

#include <functional>

namespace {

WAPI_DialogResourceIndex resource(int id, int flags, int w = 200, int h = 100,
                                  WAPI_DialogResourceIndex* next = nullptr) {
  return WAPI_DialogResourceIndex{reinterpret_cast<const char*>(intptr_t(id)), "Test", flags, nullptr, w, h, next};
}

class TopLevel : public PresenterWindowTest<> {
 protected:
  void SetUp() override {
    PresenterWindowTest::SetUp();
    sProc = nullptr;
  }
  void TearDown() override {
    WAPI_SetDefaultWindowMenu(nullptr);
    WAPI_SetDefaultModalWindowMenu(nullptr);
    WAPI_owned_windows_levelincrease = 0;
    NSApp->setMainMenu(nullptr);
    PresenterWindowTest::TearDown();
    EXPECT_EQ(ns_standin::liveCount(Wapi_vQOR_modelesswindow::class_()), 0u) << "a window outlived the test";
  }
  // Logs, then answers what the test's function says (0 without one).
  static LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    LoggingProc(h, m, w, l);
    return sProc ? sProc(h, m, w, l) : 0;
  }
  static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> sProc;

  static NSWindow* windowOf(HWND h) { return wapiAs<NSView>(wapiObject(h))->window(); }
};
std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> TopLevel::sProc;

TEST_F(TopLevel, PlainWindowIdsGiveTheirStyleMasks) {
  struct Case {
    int id;
    NSUInteger mask;
    LONG_PTR style;
  } cases[] = {
      {0x400001, 15, WS_CAPTION | WS_THICKFRAME},
      {0x400006, 1, WS_CAPTION},
      {0x400000, 7, WS_CAPTION},
  };
  for (const Case& c : cases) {
    log().clear();
    HWND h = WAPI_CreateDialog(nullptr, c.id, nullptr, Proc, 0);
    ASSERT_NE(h, nullptr) << c.id;
    NSWindow* w = windowOf(h);
    EXPECT_TRUE(wapiAs<Wapi_vQOR_modelesswindow>(w)) << c.id;
    EXPECT_EQ(w->styleMask(), c.mask) << c.id;
    EXPECT_EQ(GetWindowLong(h, GWL_STYLE), c.style) << c.id;
    EXPECT_FALSE(w->isVisible()) << c.id << ": the caller shows it";
    EXPECT_EQ(messagesTo(h), std::vector<UINT>{WM_CREATE}) << c.id;
    DestroyWindow(h);
    EXPECT_FALSE(IsWindow(h)) << c.id;
  }
}

TEST_F(TopLevel, ResourcesBecomeChildViewsOrWindowsOfTheirOwn) {
  WAPI_DialogResourceIndex child = resource(20, 0x01 | 0x04), top = resource(21, 0x02, 396, 144, &child);
  NSWindow* parent = makeWindow(NSMakeRect(100, 100, 400, 300));
  // A child resource goes into the window's content view.
  HWND c = WAPI_CreateDialog(&top, 20, H(parent), Proc, 7);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(wapiAs<NSView>(wapiObject(c))->superview(), parent->contentView());
  EXPECT_EQ(GetWindowLong(c, GWL_STYLE) & WS_CHILD, WS_CHILD);
  ASSERT_FALSE(log().empty());
  EXPECT_EQ(log().back().msg, WM_INITDIALOG);
  EXPECT_EQ(log().back().lParam, 7);
  // A top-level resource: titled, closable, miniaturizable, resizable by flag 2, placed 50 right
  // of the parent's left and 100 below its top.
  HWND t = WAPI_CreateDialog(&top, 21, H(parent), Proc, 0);
  NSWindow* w = windowOf(t);
  EXPECT_EQ(w->styleMask(), 15u);
  EXPECT_EQ(w->frame().origin.x, 150);
  EXPECT_EQ(w->frame().origin.y, 400 - 100 - 144);
  char title[16];
  GetDlgItemText(t, 0, title, sizeof title);
  EXPECT_STREQ(title, "Test");
  EXPECT_EQ(WAPI_CreateDialog(&top, 99, nullptr, Proc, 0), nullptr) << "an unregistered id";
}

TEST_F(TopLevel, DialogBoxReturnsTheEndDialogValue) {
  WAPI_DialogResourceIndex box = resource(30, 0x04), child = resource(31, 0x01, 10, 10, &box);
  // EndDialog while WM_INITDIALOG runs: no loop, WM_DESTROY, the value.
  sProc = [](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_INITDIALOG) EndDialog(h, 5);
    return 0;
  };
  EXPECT_EQ(WAPI_DialogBox(&child, 30, nullptr, Proc, 0), 5);
  EXPECT_TRUE(mPresenter.modalRuns.empty());
  std::vector<UINT> seen;
  for (const LoggedMessage& m : log()) seen.push_back(m.msg);
  EXPECT_EQ(seen.back(), WM_DESTROY);
  // Ended from inside the loop by a command.
  sProc = [](HWND h, UINT m, WPARAM w, LPARAM) -> LRESULT {
    if (m == WM_COMMAND && LOWORD(w) == 9) EndDialog(h, 77);
    return 0;
  };
  HWND seenDialog = nullptr;
  mPresenter.modalActions.push_back([&] {
    seenDialog = H(NSApp->modalWindow()->contentView());
    SendMessage(seenDialog, WM_COMMAND, 9, 0);
  });
  EXPECT_EQ(WAPI_DialogBox(&child, 30, nullptr, Proc, 0), 77);
  EXPECT_EQ(mPresenter.modalRuns.size(), 1u);
  EXPECT_EQ(mPresenter.modalRuns[0].title, "Test");
  EXPECT_EQ(NSApp->modalWindow(), nullptr);
  EXPECT_FALSE(IsWindow(seenDialog));
  EXPECT_EQ(ns_standin::liveCount(Wapi_vQOR_dialogbox::class_()), 0u) << "released once";
  // Refused: a child resource and an unknown id, with no window made.
  EXPECT_EQ(WAPI_DialogBox(&child, 31, nullptr, Proc, 0), -1);
  EXPECT_EQ(WAPI_DialogBox(&child, 32, nullptr, Proc, 0), -1);
  EXPECT_EQ(mPresenter.modalRuns.size(), 1u);
}

TEST_F(TopLevel, TheCloseBoxAsksTheProcedureAndTheWindowStays) {
  HWND h = WAPI_CreateDialog(nullptr, 0x400000, nullptr, Proc, 0);
  NSWindow* w = windowOf(h);
  log().clear();
  w->performClose(nullptr);
  ASSERT_EQ(log().size(), 2u);
  EXPECT_EQ(log()[0].msg, WM_CLOSE);
  EXPECT_EQ(log()[1].msg, WM_COMMAND);
  EXPECT_EQ(log()[1].wParam, WPARAM(IDCANCEL));
  EXPECT_TRUE(IsWindow(h));
  // A procedure that handles WM_CLOSE hears no cancel command.
  sProc = [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_CLOSE; };
  log().clear();
  w->performClose(nullptr);
  EXPECT_EQ(log().size(), 1u);
  DestroyWindow(h);
}

TEST_F(TopLevel, SizeLimitsComeFromTheProcedure) {
  struct Case {
    const char* what;
    POINT minTrack, maxTrack;  // what the handler writes; x < 0 leaves it
    NSSize min, max;
  } cases[] = {
      {"left alone", {-1, 0}, {-1, 0}, NSMakeSize(0, 0), NSMakeSize(3.4e38, 3.4e38)},
      {"limits set", {120, 80}, {640, 480}, NSMakeSize(120, 80), NSMakeSize(640, 480)},
      {"a maximum at the open limit", {-1, 0}, {1000000, 300}, NSMakeSize(0, 0), NSMakeSize(3.4e38, 300)},
  };
  static const Case* current = nullptr;
  sProc = [](HWND, UINT m, WPARAM, LPARAM l) -> LRESULT {
    if (m != WM_GETMINMAXINFO) return 0;
    auto* info = reinterpret_cast<MINMAXINFO*>(l);
    if (current->minTrack.x >= 0) info->ptMinTrackSize = current->minTrack;
    if (current->maxTrack.x >= 0) info->ptMaxTrackSize = current->maxTrack;
    return 1;
  };
  HWND h = WAPI_CreateDialog(nullptr, 0x400001, nullptr, Proc, 0);
  NSWindow* w = windowOf(h);
  for (const Case& c : cases) {
    current = &c;
    EXPECT_EQ(w->minSize().width, c.min.width) << c.what;
    EXPECT_EQ(w->minSize().height, c.min.height) << c.what;
    EXPECT_FLOAT_EQ(w->maxSize().width, c.max.width) << c.what;
    EXPECT_FLOAT_EQ(w->maxSize().height, c.max.height) << c.what;
  }
  // SetWindowPos keeps a window inside them; a size change tells the procedure once.
  current = &cases[1];
  log().clear();
  SetWindowPos(h, nullptr, 0, 0, 2000, 10, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(w->frame().size.width, 640);
  EXPECT_EQ(w->frame().size.height, 80);
  const std::vector<UINT> seen = messagesTo(h);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), UINT(WM_SIZE)), 1);
  SetWindowPos(h, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(log().back().msg, WM_MOVE);
  EXPECT_EQ(log().back().lParam, MAKELPARAM(30, 40));
  // Every move tells the procedure once, however it came about; staying put tells nothing.
  struct Move {
    const char* what;
    std::function<void()> move;
  } moves[] = {
      {"centred", [&] { CenterWindow(h); }},
      {"centred again", [&] { CenterWindow(h); }},
      {"its origin set", [&] { w->setFrameOrigin(NSMakePoint(7, 9)); }},
      {"its frame set", [&] { w->setFrame(NSMakeRect(11, 13, 640, 80), false); }},
  };
  for (const Move& m : moves) {
    const NSPoint before = w->frame().origin;
    log().clear();
    m.move();
    const NSPoint at = w->frame().origin;
    const std::vector<UINT> told = messagesTo(h);
    const bool moved = at.x != before.x || at.y != before.y;
    EXPECT_EQ(std::count(told.begin(), told.end(), UINT(WM_MOVE)), moved ? 1 : 0) << m.what;
    if (moved) {
      EXPECT_EQ(log().back().lParam, MAKELPARAM(int(at.x), int(at.y))) << m.what;
    }
  }
  DestroyWindow(h);
}

TEST_F(TopLevel, OwnedWindowsFollowTheirOwner) {
  WAPI_owned_windows_levelincrease = 1;
  HWND owner = WAPI_CreateDialog(nullptr, 0x400000, nullptr, Proc, 0);
  auto* ownerWindow = static_cast<Wapi_vQOR_modelesswindow*>(windowOf(owner));
  ownerWindow->setLevel(3);
  // With a parent, only a forced top-level id makes a window.
  EXPECT_EQ(windowOf(WAPI_CreateDialog(nullptr, 0x400000, owner, Proc, 0)), ownerWindow);
  HWND a = WAPI_CreateDialog(nullptr, 0x400004, owner, Proc, 0);
  auto* aWindow = static_cast<Wapi_vQOR_modelesswindow*>(windowOf(a));
  EXPECT_EQ(aWindow->wapiGetOwner(), ownerWindow);
  EXPECT_EQ(aWindow->level(), 4) << "one above the owner";
  EXPECT_EQ(GetParent(a), owner) << "the owner stands as the parent";
  EXPECT_EQ(GetWindow(a, GW_OWNER), H(ownerWindow));
  // Added twice: one record.
  ownerWindow->wapiAddOwnedWindow(aWindow);
  int records = 0;
  for (OwnedWindowListRec* r = *ownerWindow->wapiGetOwnerWindowHead(); r; r = r->next) ++records;
  EXPECT_EQ(records, 1);
  // Levels follow the application's activity.
  aWindow->setWantRaiseAmount(2);
  NSApp->deactivate();
  ownerWindow->wapiResetOwnedWindowLevels();
  EXPECT_EQ(aWindow->level(), 3);
  NSApp->activateIgnoringOtherApps(true);
  ownerWindow->wapiResetOwnedWindowLevels();
  EXPECT_EQ(aWindow->level(), 6);
  // Destroying the owner destroys what it owns.
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(a));
}

TEST_F(TopLevel, BecomingKeyInstallsTheMenuAndTellsTheWindow) {
  NSMenu* windowMenu = static_cast<NSMenu*>(NSMenu::class_()->alloc()->init());
  NSMenu* modalMenu = static_cast<NSMenu*>(NSMenu::class_()->alloc()->init());
  mOwned.push_back(windowMenu);
  mOwned.push_back(modalMenu);
  WAPI_SetDefaultWindowMenu(reinterpret_cast<HMENU>(windowMenu));
  WAPI_SetDefaultModalWindowMenu(reinterpret_cast<HMENU>(modalMenu));
  HWND first = WAPI_CreateDialog(nullptr, 0x400000, nullptr, Proc, 0);
  HWND second = WAPI_CreateDialog(nullptr, 0x400000, nullptr, Proc, 0);
  ShowWindow(first, SW_SHOW);
  EXPECT_EQ(NSApp->mainMenu(), windowMenu);
  log().clear();
  ShowWindow(second, SW_SHOW);
  std::vector<LoggedMessage> activation;
  for (const LoggedMessage& m : log())
    if (m.msg == WM_ACTIVATE || m.msg == WM_MOUSEACTIVATE) activation.push_back(m);
  ASSERT_EQ(activation.size(), 3u);
  EXPECT_EQ(activation[0].hwnd, first);
  EXPECT_EQ(activation[0].msg, WM_ACTIVATE);
  EXPECT_EQ(activation[0].wParam, 0u);
  EXPECT_EQ(activation[1].hwnd, second);
  EXPECT_EQ(activation[1].msg, WM_ACTIVATE);
  EXPECT_EQ(activation[1].wParam, 1u);
  EXPECT_EQ(activation[1].lParam, reinterpret_cast<LPARAM>(first)) << "the window that resigned";
  EXPECT_EQ(activation[2].msg, WM_MOUSEACTIVATE);
  // A dialog box shows the modal menu while it runs.
  WAPI_DialogResourceIndex box = resource(40, 0);
  NSMenu* during = nullptr;
  mPresenter.modalActions.push_back([&] {
    during = NSApp->mainMenu();
    EndDialog(H(NSApp->modalWindow()), 1);
  });
  EXPECT_EQ(WAPI_DialogBox(&box, 40, second, Proc, 0), 1);
  EXPECT_EQ(during, modalMenu);
  // A window whose view is gone changes nothing.
  DestroyWindow(first);
  DestroyWindow(second);
}

TEST_F(TopLevel, IsWindowFindsControlsDeepInsideLayerWindowsOnly) {
  HWND dialog = WAPI_CreateDialog(nullptr, 0x400000, nullptr, Proc, 0);
  NSView* middle = addControl<NSView>(wapiAs<NSView>(wapiObject(dialog)), 0);
  NSButton* deep = addControl<NSButton>(middle, 4);
  EXPECT_TRUE(IsWindow(H(deep)));
  NSWindow* plain = makeWindow();
  NSButton* inPlain = addControl<NSButton>(addControl<NSView>(plain->contentView(), 0), 5);
  EXPECT_FALSE(IsWindow(H(inPlain)));
  EXPECT_TRUE(IsWindow(H(plain->contentView())));
  DestroyWindow(dialog);
}

TEST_F(TopLevel, RemovingTheCaptionRebuildsABorderlessWindowThatKeepsEverything) {
  HWND owner = WAPI_CreateDialog(nullptr, 0x400000, nullptr, Proc, 0);
  HWND h = WAPI_CreateDialog(nullptr, 0x400001, owner, Proc, 0);
  HWND owned = WAPI_CreateDialog(nullptr, 0x400004, h, Proc, 0);
  NSWindow* old = windowOf(h);
  NSWindow* childWindow = makeWindow(NSMakeRect(0, 0, 50, 50));
  old->addChildWindow(childWindow, NSWindowAbove);
  SetDlgItemText(h, 0, "Kept");
  old->setFrame(NSMakeRect(10, 20, 300, 200), false);
  old->setLevel(2);
  ShowWindow(h, SW_SHOW);
  EXPECT_EQ(SetWindowLong(h, GWL_STYLE, WS_CAPTION | WS_THICKFRAME), 0) << "unchanged bits: nothing";
  EXPECT_EQ(windowOf(h), old);
  EXPECT_EQ(SetWindowLong(h, GWL_STYLE, 0), 0);
  auto* fresh = static_cast<Wapi_vQOR_modelesswindow*>(windowOf(h));
  ASSERT_NE(fresh, old);
  EXPECT_FALSE(ns_standin::isLive(old)) << "the old window is destroyed";
  EXPECT_EQ(fresh->styleMask(), 0u);
  EXPECT_EQ(fresh->frame().origin.x, 10);
  EXPECT_EQ(fresh->frame().size.width, 300);
  EXPECT_EQ(fresh->level(), 2);
  EXPECT_TRUE(fresh->isVisible());
  char title[16];
  GetDlgItemText(h, 0, title, sizeof title);
  EXPECT_STREQ(title, "Kept");
  EXPECT_EQ(fresh->wapiGetOwner(), windowOf(owner));
  EXPECT_EQ(static_cast<Wapi_vQOR_modelesswindow*>(windowOf(owned))->wapiGetOwner(), fresh);
  EXPECT_EQ(childWindow->parentWindow(), fresh);
  EXPECT_EQ(GetWindowLong(h, GWL_STYLE), 0);
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(TopLevel, SetParentToTopLevelAndBackClosesTheWindowMadeForIt) {
  NSWindow* host = makeWindow();
  Wapi_vQOR_hwnd* view = makeView(nullptr, host->contentView(), Proc);
  SetDlgItemText(H(view), 0, "Floating");
  EXPECT_EQ(SetParent(H(view), nullptr), nullptr);
  NSWindow* made = view->window();
  ASSERT_TRUE(wapiAs<Wapi_vQOR_modelesswindow>(made));
  EXPECT_TRUE(wapiIsContentView(view));
  char title[16];
  GetDlgItemText(H(made), 0, title, sizeof title);
  EXPECT_STREQ(title, "Floating");
  EXPECT_EQ(SetParent(H(view), H(host)), H(host->contentView()));
  EXPECT_EQ(view->superview(), host->contentView());
  EXPECT_FALSE(ns_standin::isLive(made)) << "the window made for it is gone";
  GetDlgItemText(H(view), 0, title, sizeof title);
  EXPECT_STREQ(title, "Floating");
  EXPECT_EQ(SetParent(H(host->contentView()), nullptr), nullptr) << "a content view needs a parent";
}

}  // namespace

namespace {

void createWithField(HWND parent, int) {
  WAPI_MakeSetCurParms(1, 1, 0, 0, parent, false, false);
  WAPI_MakeEditField(3, 10, 10, 100, 12, 0);
}

TEST_F(TopLevel, AWindowAskedForFocusWhileHiddenBecomesKeyWhenFirstShown) {
  WAPI_DialogResourceIndex res{
      reinterpret_cast<const char*>(intptr_t(60)), "F", 0x04, createWithField, 200, 100, nullptr};
  sProc = [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_INITDIALOG; };
  HWND asking = WAPI_CreateDialog(&res, 60, nullptr, Proc, 0);
  ASSERT_NE(asking, nullptr);
  EXPECT_TRUE(IsEquivalentTextView(H(windowOf(asking)->firstResponder()), GetDlgItem(asking, 3)));
  ShowWindow(asking, SW_SHOWNA);
  EXPECT_TRUE(windowOf(asking)->isKeyWindow());
  sProc = nullptr;
  HWND quiet = WAPI_CreateDialog(&res, 60, nullptr, Proc, 0);
  ShowWindow(quiet, SW_SHOWNA);
  EXPECT_FALSE(windowOf(quiet)->isKeyWindow()) << "shown without activating";
  DestroyWindow(asking);
  DestroyWindow(quiet);
}

}  // namespace
