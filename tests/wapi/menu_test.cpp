// Menus: titles, lookups by id and position, states, keyboard equivalents, menus from lists and
// resources, popups with and without their notifications, the menu bar of a window and the
// application's main menu.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-menu.h"

#include <CoreFoundation/CFPresenter.h>

#include <string>

namespace {

MENUITEMINFO infoOf(UINT mask, UINT type) {
  MENUITEMINFO info{};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.fType = type;
  return info;
}

class Menus : public PresenterWindowTest<> {
 protected:
  void SetUp() override {
    PresenterWindowTest::SetUp();
    mMenusBefore = ns_standin::liveCount(NSMenu::class_());
  }
  void TearDown() override {
    NSApp->setMainMenu(nullptr);
    for (HMENU m : mMenus) DestroyMenu(m);
    PresenterWindowTest::TearDown();
    EXPECT_EQ(ns_standin::liveCount(NSMenu::class_()), mMenusBefore) << "a menu outlived the test";
  }
  HMENU menu() {
    mMenus.push_back(CreatePopupMenu());
    return mMenus.back();
  }
  static NSMenuItem* item(HMENU m, int position) {
    return wapiAs<NSMenu>(wapiObject(reinterpret_cast<HWND>(m)))->itemAtIndex(position);
  }
  static std::string title(HMENU m, int position) { return item(m, position)->title()->UTF8String(); }

  std::vector<HMENU> mMenus;
  size_t mMenusBefore = 0;
};

TEST_F(Menus, TitlesDropMnemonicsAndShortcutText) {
  const std::string long1500(1500, 'x');
  struct Case {
    const char* given;
    std::string shown;
  } cases[] = {
      {"&Save\tCmd+S", "Save"},
      {"Fish && Chips", "Fish & Chips"},
      {"End&", "End"},
      {long1500.c_str(), long1500.substr(0, 1023)},
  };
  HMENU m = menu();
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    WAPI_InsertMenu(m, -1, MF_BYPOSITION, 10 + i, cases[i].given);
    EXPECT_EQ(title(m, int(i)), cases[i].shown) << i;
  }
  // A cut never ends inside a character.
  const std::string accents = std::string(1022, 'a') + "\xC3\xA9";
  SetMenuItemText(m, 10, 0, accents.c_str());
  EXPECT_EQ(title(m, 0), std::string(1022, 'a'));
  InsertMenuItem(m, 0, 1, nullptr);
  MENUITEMINFO info = infoOf(MIIM_TYPE, MFT_STRING);
  InsertMenuItem(m, 0, 1, &info);
  EXPECT_EQ(title(m, 0), "(null)");
}

TEST_F(Menus, ItemsAreFoundByIdInSubmenusAndByPositionHere) {
  HMENU top = menu(), mid = CreatePopupMenu(), low = CreatePopupMenu();
  WAPI_Menu_AddMenuItem(low, "Deep", 300, 0);
  WAPI_InsertMenu(mid, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(low), "Low");
  WAPI_InsertMenu(top, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(mid), "Mid");
  WAPI_Menu_AddMenuItem(top, "Top", 100, 0);
  WAPI_Menu_AddMenuItem(top, nullptr, 0, 0);
  EXPECT_TRUE(CheckMenuItem(top, 300, MF_CHECKED)) << "two submenus down";
  EXPECT_EQ(item(low, 0)->state(), NSOnState);
  EXPECT_FALSE(CheckMenuItem(top, 3, MF_CHECKED | MF_BYPOSITION)) << "a position is this menu's only";
  EXPECT_FALSE(CheckMenuItem(nullptr, 100, MF_CHECKED));
  EXPECT_TRUE(EnableMenuItem(top, 100, MF_DISABLED));
  EXPECT_TRUE(item(top, 1)->isEnabled()) << "only MF_GRAYED greys";
  EXPECT_TRUE(EnableMenuItem(top, 100, MF_GRAYED));
  EXPECT_FALSE(item(top, 1)->isEnabled());
  EXPECT_EQ(GetMenuItemID(top, 0), -1) << "an item with a submenu";
  EXPECT_EQ(GetMenuItemID(top, 1), 100);
  EXPECT_EQ(GetMenuItemID(top, -1), 0);
  EXPECT_EQ(GetMenuItemID(top, GetMenuItemCount(top)), 0);
  EXPECT_EQ(GetSubMenu(top, 0), mid);
  EXPECT_TRUE(item(top, 2)->isSeparatorItem());
  // By an id that is not there: appended.
  MENUITEMINFO info = infoOf(MIIM_ID | MIIM_TYPE | MIIM_DATA, MFT_STRING);
  info.wID = 400;
  info.dwItemData = 0xFEEDu;
  info.dwTypeData = const_cast<char*>("Last");
  InsertMenuItem(top, 999, 0, &info);
  EXPECT_EQ(GetMenuItemID(top, 3), 400);
  MENUITEMINFO back = infoOf(MIIM_ID | MIIM_TYPE | MIIM_DATA | MIIM_STATE, MFT_STRING);
  char text[16];
  back.dwTypeData = text;
  back.cch = sizeof text;
  ASSERT_TRUE(GetMenuItemInfo(top, 400, 0, &back));
  EXPECT_STREQ(text, "Last");
  EXPECT_EQ(back.dwItemData, 0xFEEDu);
  EXPECT_EQ(back.fState, 0u);
  EXPECT_TRUE(GetMenuItemInfo(top, 100, 0, &back));
  EXPECT_EQ(back.fState, UINT(MFS_GRAYED));
  EXPECT_TRUE(DeleteMenu(top, 0, MF_BYPOSITION)) << "the submenus go with it";
  EXPECT_FALSE(DeleteMenu(top, 300, 0));
  EXPECT_EQ(AddMenuItem(nullptr, 0, "x", 1), -1);
}

TEST_F(Menus, ItemInfoSetsTitleStateIdDataAndSubmenu) {
  HMENU top = menu(), sub = CreatePopupMenu();
  WAPI_Menu_AddMenuItem(sub, "Inner", 500, 0);
  WAPI_Menu_AddMenuItem(top, "Plain", 100, 0);
  WAPI_Menu_AddMenuItem(top, "Other", 200, 0);
  MENUITEMINFO info = infoOf(MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_DATA, MFT_STRING);
  info.dwTypeData = const_cast<char*>("&Renamed\tCtrl+R");
  info.fState = MFS_CHECKED | MFS_GRAYED;
  info.wID = 150;
  info.dwItemData = 0xBEADu;
  ASSERT_TRUE(SetMenuItemInfo(top, 100, 0, &info));
  EXPECT_EQ(title(top, 0), "Renamed");
  EXPECT_EQ(item(top, 0)->state(), NSOnState);
  EXPECT_FALSE(item(top, 0)->isEnabled());
  EXPECT_EQ(GetMenuItemID(top, 0), 150);
  MENUITEMINFO back = infoOf(MIIM_DATA, 0);
  ASSERT_TRUE(GetMenuItemInfo(top, 150, 0, &back));
  EXPECT_EQ(back.dwItemData, 0xBEADu);
  // A separator type leaves the title; a state without bits checks nothing and enables.
  info = infoOf(MIIM_TYPE | MIIM_STATE, MFT_SEPARATOR);
  info.dwTypeData = const_cast<char*>("Ignored");
  info.fState = 0;
  ASSERT_TRUE(SetMenuItemInfo(top, 0, 1, &info));
  EXPECT_EQ(title(top, 0), "Renamed");
  EXPECT_EQ(item(top, 0)->state(), NSOffState);
  EXPECT_TRUE(item(top, 0)->isEnabled());
  // The submenu is taken over (the test does not destroy it) and a title given with it names both.
  info = infoOf(MIIM_SUBMENU | MIIM_TYPE, MFT_STRING);
  info.hSubMenu = sub;
  info.dwTypeData = const_cast<char*>("Sub");
  ASSERT_TRUE(SetMenuItemInfo(top, 1, 1, &info));
  EXPECT_EQ(GetSubMenu(top, 1), sub);
  EXPECT_EQ(title(top, 1), "Sub");
  EXPECT_STREQ(wapiAs<NSMenu>(wapiObject(reinterpret_cast<HWND>(sub)))->title()->UTF8String(), "Sub");
  EXPECT_TRUE(CheckMenuItem(top, 500, MF_CHECKED)) << "found through the attached submenu";
  EXPECT_FALSE(SetMenuItemInfo(top, 999, 0, &info));
  EXPECT_FALSE(SetMenuItemInfo(top, 0, 1, nullptr));
  EXPECT_FALSE(SetMenuItemInfo(nullptr, 0, 1, &info));
}

TEST_F(Menus, AListBuildsNestedMenus) {
  const WAPI_MenuListRow rows[] = {{"/.BO^O:A", 0}, {"B", 100},     {nullptr, 0},
                                   {"C", 0x10065},  {"EN%%%^:", 0}, {"D", 200}};
  HMENU m = menu();
  EXPECT_EQ(WAPI_GenerateMenuFromList(m, rows, 6), 6);
  ASSERT_EQ(GetMenuItemCount(m), 2);
  HMENU a = GetSubMenu(m, 0);
  EXPECT_EQ(title(m, 0), "A");
  ASSERT_EQ(GetMenuItemCount(a), 3);
  EXPECT_EQ(title(a, 0), "B");
  EXPECT_EQ(GetMenuItemID(a, 0), 100);
  EXPECT_TRUE(item(a, 1)->isSeparatorItem());
  EXPECT_EQ(GetMenuItemID(a, 2), 101);
  EXPECT_FALSE(item(a, 2)->isEnabled());
  EXPECT_EQ(GetMenuItemID(m, 1), 200);
  EXPECT_EQ(WAPI_GenerateMenuFromList(menu(), rows + 1, 0), 0);
  WAPI_MenuResourceIndex res{reinterpret_cast<const char*>(intptr_t(7)),
                             [](HMENU h) { WAPI_Menu_AddMenuItem(h, "R", 1, 0); }, nullptr};
  mMenus.push_back(WAPI_LoadMenu(&res, 7));
  EXPECT_EQ(GetMenuItemCount(mMenus.back()), 1);
  EXPECT_EQ(WAPI_LoadMenu(&res, 8), nullptr);
}

TEST_F(Menus, KeyboardEquivalents) {
  struct Case {
    int key, modifiers;
    const char* character;
    NSUInteger mask;
  } cases[] = {
      {'S', FCONTROL, "s", 0x100000},
      {'S', FCONTROL | FSHIFT, "S", 0x100000},
      {'1', FSHIFT | FALT, "1", 0xA0000},
      {',', FLWIN, ",", 0x40000},
      {',', FVIRTKEY, "", 0},
      {0x74, FVIRTKEY, "\xEF\x9C\x88", 0},  // F5
      {0x2E, FVIRTKEY, "\x7F", 0},
      {0x6D, FVIRTKEY, "-", 0},
      {0x99, 0, "", 0},
  };
  HMENU m = menu();
  WAPI_Menu_AddMenuItem(m, "Save", 5, 0);
  for (const Case& c : cases) {
    ASSERT_TRUE(SetMenuItemModifier(m, 5, 0, c.key, c.modifiers));
    EXPECT_STREQ(item(m, 0)->keyEquivalent()->UTF8String(), c.character) << c.key;
    EXPECT_EQ(item(m, 0)->keyEquivalentModifierMask(), c.mask) << c.key;
  }
  EXPECT_FALSE(SetMenuItemModifier(m, 6, 0, 'S', FCONTROL));
}

TEST_F(Menus, PopupsReturnOrSendTheChoice) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* view = makeView(nullptr, w, LoggingProc);
  HMENU m = menu(), sub = CreatePopupMenu();
  WAPI_Menu_AddMenuItem(m, "One", 11, 0);
  WAPI_Menu_AddMenuItem(sub, "Two", 22, 0);
  WAPI_InsertMenu(m, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "More");
  struct Case {
    const char* what;
    int flags;
    std::vector<int> path;
    int result;
    std::vector<UINT> messages;
  } cases[] = {
      {"returned", TPM_RETURNCMD, {0}, 11, {WM_INITMENUPOPUP, WM_INITMENUPOPUP}},
      {"sent", 0, {1, 0}, 1, {WM_INITMENUPOPUP, WM_INITMENUPOPUP, WM_INITMENUPOPUP, WM_COMMAND}},
      {"dismissed", 0, {}, 0, {WM_INITMENUPOPUP, WM_INITMENUPOPUP}},
      {"no notifications", TPM_NONOTIFY | TPM_RETURNCMD, {1, 0}, 22, {}},
  };
  for (const Case& c : cases) {
    log().clear();
    mPresenter.menuAnswers.push_back(c.path);
    EXPECT_EQ(TrackPopupMenu(m, c.flags, 300, 200, 0, H(view), nullptr), c.result) << c.what;
    EXPECT_EQ(messagesTo(H(view)), c.messages) << c.what;
    if (!c.messages.empty() && c.messages.back() == WM_COMMAND) { EXPECT_EQ(log().back().wParam, 22u) << c.what; }
    EXPECT_EQ(item(m, 0)->target(), nullptr) << c.what << ": routing cleared";
  }
  EXPECT_EQ(TrackPopupMenu(nullptr, 0, 0, 0, 0, H(view), nullptr), 0);
  EXPECT_EQ(mPresenter.menus.back().x, 300 - 100);
}

TEST_F(Menus, TheMenuBarOfAWindowAndTheMainMenu) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, LoggingProc);
  Wapi_vQOR_hwnd* child = makeView(nullptr, content, LoggingProc);
  HMENU bar = CreatePopupMenu(), childBar = CreatePopupMenu();
  EXPECT_TRUE(SetMenu(H(child), childBar));
  EXPECT_EQ(GetMenu(H(child)), childBar);
  EXPECT_EQ(WAPI_GetCurrentMenu(), nullptr) << "not a content view: the main menu stays";
  w->makeKeyAndOrderFront(nullptr);
  log().clear();
  EXPECT_TRUE(SetMenu(H(w), bar));
  EXPECT_EQ(GetMenu(H(w)), bar);
  EXPECT_EQ(WAPI_GetCurrentMenu(), bar);
  EXPECT_EQ(messagesTo(H(content)), std::vector<UINT>{WM_INITMENUPOPUP});
  // Swapped for a copy and put back.
  HMENU copy = WAPI_DuplicateMenu(bar);
  mMenus.push_back(copy);
  WAPI_SetCurrentMenu(copy);
  EXPECT_EQ(WAPI_GetCurrentMenu(), copy);
  WAPI_SetCurrentMenu(nullptr);
  EXPECT_EQ(WAPI_GetCurrentMenu(), copy) << "null changes nothing";
  WAPI_SetCurrentMenu(GetMenu(H(content)));
  EXPECT_EQ(WAPI_GetCurrentMenu(), bar);
  EXPECT_EQ(SetMenu(nullptr, bar), 0);
  // The views release their menus when destroyed; the main menu goes with its window's.
  DestroyWindow(H(content));
  EXPECT_EQ(WAPI_GetCurrentMenu(), nullptr);
}

TEST_F(Menus, ACopyIsADeepCopyOfTheSameClass) {
  HMENU m = menu(), sub = CreatePopupMenu();
  WAPI_Menu_AddMenuItem(sub, "Inner", 2, 0);
  WAPI_InsertMenu(m, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Outer");
  MENUITEMINFO info = infoOf(MIIM_ID | MIIM_TYPE | MIIM_DATA, MFT_STRING);
  info.wID = 3;
  info.dwItemData = 99;
  info.dwTypeData = const_cast<char*>("Data");
  InsertMenuItem(m, 1, 1, &info);
  HMENU copy = WAPI_DuplicateMenu(m);
  mMenus.push_back(copy);
  ASSERT_NE(copy, m);
  EXPECT_EQ(wapiObject(reinterpret_cast<HWND>(copy))->getClass(), wapiObject(reinterpret_cast<HWND>(m))->getClass());
  SetMenuItemText(copy, 2, 0, "Changed");
  EXPECT_EQ(title(GetSubMenu(m, 0), 0), "Inner");
  EXPECT_NE(GetSubMenu(copy, 0), sub);
  MENUITEMINFO back = infoOf(MIIM_DATA, MFT_STRING);
  GetMenuItemInfo(copy, 3, 0, &back);
  EXPECT_EQ(back.dwItemData, 99u);
  EXPECT_EQ(WAPI_DuplicateMenu(nullptr), nullptr);
}

}  // namespace

namespace {

TEST_F(Menus, AWindowsMenuCommandsReachItsProcedure) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, LoggingProc);
  HMENU bar = CreatePopupMenu(), sub = CreatePopupMenu();
  WAPI_Menu_AddMenuItem(sub, "Open", 31, 0);
  WAPI_InsertMenu(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "File");
  ASSERT_TRUE(SetMenu(H(content), bar));
  NSMenuItem* open = item(sub, 0);
  EXPECT_EQ(open->target(), content);
  log().clear();
  open->target()->performSelector(open->action(), open);
  ASSERT_EQ(messagesTo(H(content)), std::vector<UINT>{WM_COMMAND});
  EXPECT_EQ(LOWORD(log()[0].wParam), 31);
  // An item added later to the routed menu is routed too; a menu replaced is unhooked.
  WAPI_Menu_AddMenuItem(sub, "Close", 32, 0);
  EXPECT_EQ(item(sub, 1)->target(), content);
  HMENU other = CreatePopupMenu();
  SetMenu(H(content), other);
  EXPECT_EQ(open->target(), nullptr);
  mMenus.push_back(bar);
  // A destination without onWapiCommand: is refused.
  NSView* plain = addControl<NSView>(content, 0);
  WAPI_SetMenuDestination(bar, H(plain));
  EXPECT_EQ(open->target(), nullptr);
}

}  // namespace
