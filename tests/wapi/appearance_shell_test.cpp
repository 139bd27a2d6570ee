// Window appearance and shell services: raise amounts and levels, represented files, the default
// button's id, child enumeration, class tests, natural sizes, and what ShellExecute asks the
// workspace to open, down to the argument an opener program receives.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-shell.h"
#include "kit/wapi/wapi-toplevel.h"
#include "tests/support/tempdir.h"

#include <AppKit/AppKitStandin.h>
#include <AppKit/NSWorkspaceOpener.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Appearance = PresenterWindowTest<>;

template <class T>
T* as(HWND h) {
  return wapiAs<T>(wapiObject(h));
}

TEST_F(Appearance, RaiseAmountsMoveTheLevelOnlyWhileActive) {
  auto* w = static_cast<Wapi_vQOR_modelesswindow*>(Wapi_vQOR_modelesswindow::class_()->alloc());
  w->initWithContentRect(NSMakeRect(0, 0, 100, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
  mOwned.push_back(w);
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, nullptr);
  const bool wasActive = NSApp->isActive();
  NSApp->activateIgnoringOtherApps(true);
  w->setLevel(10);
  WAPI_SetWindowWantRaiseAmt(H(content), 2);
  EXPECT_EQ(w->level(), 12) << "a view stands for its window";
  WAPI_SetWindowWantRaiseAmt(H(w), 2);
  EXPECT_EQ(w->level(), 12) << "the same amount moves nothing";
  EXPECT_EQ(WAPI_GetWindowWantRaiseAmt(H(content)), 2);
  NSApp->deactivate();
  WAPI_SetWindowWantRaiseAmt(H(w), 5);
  EXPECT_EQ(w->level(), 12) << "inactive: stored only";
  EXPECT_EQ(WAPI_GetWindowWantRaiseAmt(H(w)), 5);
  if (wasActive) NSApp->activateIgnoringOtherApps(true);

  NSWindow* plain = makeWindow();
  EXPECT_EQ(WAPI_GetWindowWantRaiseAmt(H(plain)), 0);
  EXPECT_EQ(WAPI_SetWindowLevel(H(plain), 8), 0);
  EXPECT_EQ(WAPI_SetWindowLevel(H(plain->contentView()), 3), 8);
  EXPECT_EQ(plain->level(), 3);
  EXPECT_EQ(WAPI_SetWindowLevel(nullptr, 3), 0);
}

TEST_F(Appearance, WindowLooksAndTheRepresentedFile) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, nullptr);
  WAPI_SetWindowShadow(H(content), false);
  EXPECT_FALSE(w->hasShadow());
  SetTransparent(H(w));
  EXPECT_FALSE(w->isOpaque());
  EXPECT_EQ(w->backgroundRGBA()[3], 0);
  SetOpaque(H(content), false);
  EXPECT_FALSE(content->isOpaque());
  WAPI_SetWindowRepre(H(content), "/tmp/Bank 1.syx", true);
  EXPECT_EQ(w->representedFilename(), "/tmp/Bank 1.syx");
  EXPECT_TRUE(w->isDocumentEdited());
  WAPI_SetWindowRepre(H(w), nullptr, false);
  EXPECT_EQ(w->representedFilename(), "");
  EXPECT_FALSE(w->isDocumentEdited());
  SetProp(H(content), "WAPI_DisableWindowRepre", reinterpret_cast<void*>(1));
  WAPI_SetWindowRepre(H(content), "/tmp/other", true);
  EXPECT_EQ(w->representedFilename(), "") << "the property turns it off";
  RemoveProp(H(content), "WAPI_DisableWindowRepre");
}

TEST_F(Appearance, DefaultButtonClassTestsAndNaturalSizes) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, nullptr);
  WAPI_MakeSetCurParms(1.0f, 1.0f, 0, 0, H(content), false, false);
  HWND ok = WAPI_MakeButton(1, "OK", 7, 10, 10, 200, 20, 0);
  EXPECT_EQ(WAPI_GetDefaultButtonID(H(content), true), 7);
  as<NSButton>(ok)->setEnabled(false);
  EXPECT_EQ(WAPI_GetDefaultButtonID(H(content), true), 0);
  EXPECT_EQ(WAPI_GetDefaultButtonID(H(content), false), 7);
  EXPECT_EQ(WAPI_GetDefaultButtonID(H(makeWindow()), false), 0);

  HWND edit = WAPI_MakeEditField(8, 10, 40, 100, 12, 0);
  HWND label = WAPI_MakeLabel(-1, "Label", 9, 10, 60, 100, 10, 0);
  HWND group = WAPI_MakeGroupBox("Group", 10, 0, 0, 300, 200, 0);
  struct Case {
    HWND h;
    bool group, button, text;
  } cases[] = {{ok, false, true, false},    {edit, false, false, true},        {label, false, false, true},
               {group, true, false, false}, {H(content), false, false, false}, {nullptr, false, false, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(WAPI_IsGroupBox(c.h), c.group);
    EXPECT_EQ(WAPI_IsButton(c.h), c.button);
    EXPECT_EQ(WAPI_IsStaticText(c.h), c.text);
  }
  RECT r{-1, -1, -1, -1};
  WAPI_GetDesiredControlSize(ok, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_GT(r.right, 0);
  EXPECT_LT(r.right, 200) << "the fitted width, not the frame";
  EXPECT_EQ(as<NSView>(ok)->frame().size.width, 200) << "the frame is left alone";
  RECT untouched{-1, -1, -1, -1};
  WAPI_GetDesiredControlSize(H(content), &untouched);
  EXPECT_EQ(untouched.right, -1);
}

std::vector<HWND> gVisited;
HWND gStopAt = nullptr;
NSView* gDestroyChild = nullptr;

BOOL Visit(HWND h, LPARAM) {
  gVisited.push_back(h);
  if (gDestroyChild) {
    DestroyWindow(wapiHandle(gDestroyChild));
    gDestroyChild = nullptr;
  }
  return h != gStopAt;
}

TEST_F(Appearance, ChildEnumerationIsDepthFirstAndStopsAtTheFirstFalse) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* top = makeView(nullptr, w, nullptr);
  Wapi_vQOR_hwnd* a = makeView(nullptr, top, nullptr);
  Wapi_vQOR_hwnd* a1 = makeView(nullptr, a, nullptr);
  Wapi_vQOR_hwnd* b = makeView(nullptr, top, nullptr);
  gVisited.clear();
  gStopAt = nullptr;
  EXPECT_TRUE(EnumChildWindows(H(top), Visit, 0));
  EXPECT_EQ(gVisited, (std::vector<HWND>{H(a), H(a1), H(b)}));
  gVisited.clear();
  gStopAt = H(a1);
  EXPECT_FALSE(EnumChildWindows(H(top), Visit, 0)) << "a grandchild's false stops everything";
  EXPECT_EQ(gVisited, (std::vector<HWND>{H(a), H(a1)}));
  EXPECT_TRUE(EnumChildWindows(H(b), Visit, 0)) << "no children";
  EXPECT_TRUE(EnumChildWindows(nullptr, Visit, 0));
  // A callback destroying a child the walk has still to visit: the copy holds it.
  gVisited.clear();
  gStopAt = nullptr;
  gDestroyChild = b;
  EXPECT_TRUE(EnumChildWindows(H(top), Visit, 0));
  EXPECT_EQ(gVisited.size(), 3u);
}

TEST_F(Appearance, ShellExecuteMapsFilesAndParametersToWorkspaceRequests) {
  struct Case {
    const char* file;
    const char* params;
    bool ok;
    std::string url, path, app;
  } cases[] = {
      {"explorer.exe", "/home/user/Patches", true, "", "/home/user/Patches", ""},
      {"notepad", "/tmp/readme.txt", true, "", "/tmp/readme.txt", "TextEdit.app"},
      {"NOTEPAD.EXE", "/tmp/readme.txt", true, "", "/tmp/readme.txt", "TextEdit.app"},
      {"HTTP://example.com/a", nullptr, true, "HTTP://example.com/a", "", ""},
      {"https://example.com/a", nullptr, true, "", "https://example.com/a", ""},
      {"/Applications/Synth.app", "", true, "", "", "/Applications/Synth.app"},
      {".app", nullptr, true, "", ".app", ""},
      {"", "", false, "", "", ""},
      {"explorer.exe", "explorer.exe", false, "", "", ""},
  };
  for (const Case& c : cases) {
    mPresenter.urls.clear();
    mPresenter.opens.clear();
    EXPECT_EQ(ShellExecute(nullptr, "open", c.file, c.params, nullptr, 1), c.ok) << c.file;
    if (!c.url.empty()) {
      ASSERT_EQ(mPresenter.urls.size(), 1u) << c.file;
      EXPECT_EQ(mPresenter.urls[0], c.url);
      continue;
    }
    if (!c.ok) {
      EXPECT_TRUE(mPresenter.opens.empty() && mPresenter.urls.empty()) << c.file;
      continue;
    }
    ASSERT_EQ(mPresenter.opens.size(), 1u) << c.file;
    EXPECT_EQ(mPresenter.opens[0].path, c.path) << c.file;
    EXPECT_EQ(mPresenter.opens[0].application, c.app) << c.file;
  }
}

TEST_F(Appearance, TheFocusRectangleWindowIsMovedReplacedAndRemoved) {
  NSWindow* a = makeWindow(NSMakeRect(100, 100, 300, 200));
  NSWindow* b = makeWindow(NSMakeRect(500, 100, 300, 200));
  Wapi_vQOR_hwnd* content = makeView(nullptr, a, nullptr);
  void* holder = nullptr;
  const RECT r{10, 40, 60, 20};  // bottom above top: swapped
  WAPI_DrawFocusRect(nullptr, &r, &holder);
  auto* first = static_cast<NSWindow*>(holder);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->level(), 101) << "without a parent: the pop-up menu level";
  EXPECT_EQ(first->frame().size.height, 20);
  EXPECT_EQ(first->alphaValue(), 0.5);
  EXPECT_TRUE(first->ignoresMouseEvents());
  WAPI_DrawFocusRect(H(content), &r, &holder);
  auto* second = static_cast<NSWindow*>(holder);
  EXPECT_EQ(second->level(), 0) << "another parent replaces the window";
  EXPECT_EQ(second->parentWindow(), a);
  const RECT moved{0, 0, 30, 30};
  WAPI_DrawFocusRect(H(a), &moved, &holder);
  EXPECT_EQ(holder, second) << "the same parent window moves the one window";
  EXPECT_EQ(second->frame().size.width, 30);
  WAPI_DrawFocusRect(H(b), &moved, &holder);
  EXPECT_EQ(static_cast<NSWindow*>(holder)->parentWindow(), b);
  WAPI_DrawFocusRect(nullptr, nullptr, &holder);
  EXPECT_EQ(holder, nullptr);
  EXPECT_TRUE(b->childWindows().empty());
  WAPI_DrawFocusRect(nullptr, &r, nullptr);  // no holder: nothing
}

constexpr UINT kLeftButtonDown = 0x0201, kNonClientLeftButtonDown = 0x00A1;
int gContentHit = 1, gChildHit = 2;
LRESULT ContentHitProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  return m == WM_NCHITTEST ? gContentHit : 0;
}
LRESULT ChildHitProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  return m == WM_NCHITTEST ? gChildHit : 0;
}

TEST_F(Appearance, MouseEventsGoToTheOutermostViewClaimingTheNonClientArea) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 300, 200));
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, ContentHitProc);
  content->setHidden(false);
  Wapi_vQOR_hwnd* child = makeView(nullptr, content, ChildHitProc);
  child->setFrame(NSMakeRect(20, 20, 100, 50));
  child->setHidden(false);
  auto click = [&](NSEventType type) {
    return NSEvent::mouseEventWithType(type, NSMakePoint(50, 150), 0, 0, w->windowNumber(), nullptr, 0, 1, 1);
  };
  struct Case {
    int contentHit, childHit;
    bool handled;
    Wapi_vQOR_hwnd* receiver;
  } cases[] = {{1, 2, true, child}, {-1, 2, true, content}, {0, 1, false, nullptr}, {1, -5, true, child}};
  for (const Case& c : cases) {
    gContentHit = c.contentHit;
    gChildHit = c.childHit;
    log().clear();
    EXPECT_EQ(WAPI_HandleMouseEvent(click(NSLeftMouseDown)), c.handled) << c.contentHit << "/" << c.childHit;
    if (!c.receiver) continue;
    const std::vector<UINT> got = messagesTo(H(c.receiver));
    // The view's own mouse handling turns the event into a (non-client) button message.
    const bool pressed = std::find(got.begin(), got.end(), kLeftButtonDown) != got.end() ||
                         std::find(got.begin(), got.end(), kNonClientLeftButtonDown) != got.end();
    EXPECT_TRUE(pressed) << c.contentHit << "/" << c.childHit;
    ASSERT_FALSE(log().empty());
    EXPECT_EQ(log()[0].msg, UINT(WM_NCHITTEST));
    EXPECT_EQ(log()[0].lParam, LPARAM((250 << 16) | 150)) << "screen y high, x low";
  }
  gContentHit = 1;
  gChildHit = 2;
  EXPECT_FALSE(WAPI_HandleMouseEvent(click(NSKeyDown))) << "not a mouse event";
  WAPI_HandleMouseEvent(click(NSLeftMouseUp));
}

TEST_F(Appearance, AutoHidingMenuBarAndDockByMode) {
  NSApp->setPresentationOptions(0);
  struct Case {
    int mode;
    NSUInteger options;
  } cases[] = {{1, 5}, {2, 6}, {7, 6}, {0, 0}, {-3, 0}};
  for (const Case& c : cases) {
    EXPECT_TRUE(WAPI_SetAppAutoHideMenuAndDock(c.mode));
    EXPECT_EQ(NSApp->presentationOptions(), c.options) << c.mode;
  }
}

using Opener = PresenterWindowTest<ns_standin::OpeningPresenter>;

TEST_F(Opener, ANameArrivesAtTheOpenerAsOneUnchangedArgument) {
  testsupport::TempDir dir;
  const std::string name = dir.file("Patch \"7\" it's; $(touch x) `touch y`.syx");
  const std::string marker = dir.file("x");
  ASSERT_EQ(setenv("QOR_OPENER", "/usr/bin/touch", 1), 0);
  EXPECT_TRUE(ShellExecute(nullptr, "open", name.c_str(), nullptr, nullptr, 1));
  unsetenv("QOR_OPENER");
  struct stat st;
  EXPECT_EQ(stat(name.c_str(), &st), 0) << "the opener made exactly the file named";
  EXPECT_NE(stat(marker.c_str(), &st), 0);
  EXPECT_NE(stat("x", &st), 0) << "nothing ran the embedded command";
  EXPECT_NE(stat("y", &st), 0);
  ASSERT_EQ(mPresenter.opens.size(), 1u);
  EXPECT_EQ(mPresenter.opens[0].path, name);
  EXPECT_FALSE(ShellExecute(nullptr, "open", name.c_str(), nullptr, nullptr, 1)) << "no opener: not opened";
}

}  // namespace
