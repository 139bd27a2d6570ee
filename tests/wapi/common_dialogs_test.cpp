// The common dialogs: panels with their types, initial names, accessory template and modal
// menu, the chosen paths handed back (or refused), and message boxes by type.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-menu.h"

#include <CoreFoundation/CFPresenter.h>
#include <CoreFoundation/CFUserNotification.h>

#include <cstdlib>
#include <string>

namespace {

// Records the main menu each panel ran with.
class MenuWatcher : public cf_standin::Presenter {
 public:
  bool Panel(const cf_standin::PanelShown& panel, std::string* path) override {
    menuDuring.push_back(NSApp->mainMenu());
    itemsDuring.push_back(NSApp->mainMenu() ? int(NSApp->mainMenu()->numberOfItems()) : -1);
    return Presenter::Panel(panel, path);
  }
  // Compared only: the copy is gone once the panel has run.
  std::vector<NSMenu*> menuDuring;
  std::vector<int> itemsDuring;
};

class CommonDialogs : public PresenterWindowTest<MenuWatcher> {
 protected:
  void TearDown() override {
    BrowseFile_SetTemplate(0, nullptr, nullptr);
    WAPI_SetDefaultModalWindowMenu(nullptr);
    NSApp->setMainMenu(nullptr);
    PresenterWindowTest::TearDown();
  }
  const cf_standin::PanelShown& lastPanel() const { return mPresenter.panels.back(); }
};

TEST_F(CommonDialogs, ExtensionListsGiveTheAllowedTypes) {
  const std::string long40 = std::string(40, 'e');
  const std::string withLong = std::string("L\0*.", 4) + long40 + std::string("\0\0", 2);
  struct Case {
    std::string list;
    std::vector<std::string> types;
  } cases[] = {
      {std::string("Banks\0*.syx;*.mid\0\0", 19), {"syx", "mid"}},
      {std::string("All\0*.*\0\0", 9), {}},
      {std::string("A\0*.qor\0B\0noext;*.;.abc\0\0", 26), {"qor", "abc"}},
      {withLong, {long40.substr(0, 31)}},
      {std::string("\0", 1), {}},
  };
  for (const Case& c : cases) {
    char path[64];
    EXPECT_FALSE(BrowseForSaveFile("Save", nullptr, nullptr, c.list.c_str(), path, sizeof path));
    EXPECT_EQ(lastPanel().fileTypes, c.types) << c.list;
    EXPECT_TRUE(lastPanel().save);
    EXPECT_EQ(lastPanel().title, "Save");
  }
}

TEST_F(CommonDialogs, InitialNamesSplitIntoFolderAndFile) {
  struct Case {
    const char* dir;
    const char* file;
    std::string folder, name;
  } cases[] = {
      {nullptr, "/bank.syx", "/", "bank.syx"},
      {"/elsewhere", "lib/sub/f.qor", "lib/sub", "f.qor"},
      {"/tmp", "f.qor", "/tmp", "f.qor"},
      {"", nullptr, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BrowseForFiles(nullptr, c.dir, c.file, false, nullptr), nullptr) << "cancelled";
    EXPECT_EQ(lastPanel().directory, c.folder) << c.file;
    EXPECT_EQ(lastPanel().proposedName, c.name) << c.file;
    EXPECT_EQ(lastPanel().title, "");
    EXPECT_FALSE(lastPanel().save);
  }
}

TEST_F(CommonDialogs, ChosenPathsComeBackOrAreRefused) {
  const std::string tooLong = "/" + std::string(2999, 'p');
  mPresenter.panelAnswers = {"/a/one.syx\n/b/two.mid", "/a/one.syx", "/a/one.syx", tooLong};
  char* two = BrowseForFiles("Open", nullptr, nullptr, true, nullptr);
  ASSERT_NE(two, nullptr);
  const std::string expected = std::string("\0/a/one.syx\0/b/two.mid\0\0", 24);
  EXPECT_EQ(std::string(two, expected.size()), expected);
  EXPECT_TRUE(lastPanel().multiple);
  EXPECT_TRUE(lastPanel().chooseFiles);
  EXPECT_FALSE(lastPanel().chooseDirectories);
  std::free(two);
  char* one = BrowseForFiles("Open", nullptr, nullptr, true, nullptr);
  EXPECT_EQ(std::string(one, 12), std::string("/a/one.syx\0\0", 12));
  std::free(one);
  char* single = BrowseForFiles("Open", nullptr, nullptr, false, nullptr);
  EXPECT_EQ(std::string(single, 12), std::string("/a/one.syx\0\0", 12)) << "one path when only one may be chosen";
  std::free(single);
  EXPECT_EQ(BrowseForFiles("Open", nullptr, nullptr, false, nullptr), nullptr) << "a 3000-byte path";

  char buffer[16];
  mPresenter.panelAnswers = {"/x/bank.syx", "/x/a-much-longer-name.syx", tooLong, "/x/folder"};
  EXPECT_TRUE(BrowseForSaveFile("Save", nullptr, nullptr, nullptr, buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "/x/bank.syx");
  EXPECT_FALSE(BrowseForSaveFile("Save", nullptr, nullptr, nullptr, buffer, sizeof buffer)) << "cut: another file";
  EXPECT_FALSE(BrowseForSaveFile("Save", nullptr, nullptr, nullptr, buffer, sizeof buffer));
  EXPECT_TRUE(BrowseForDirectory("Folder", "/x", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "/x/folder");
  EXPECT_TRUE(lastPanel().chooseDirectories);
  EXPECT_FALSE(lastPanel().chooseFiles);
  EXPECT_FALSE(BrowseForDirectory("Folder", "/x", buffer, sizeof buffer)) << "cancelled";
}

TEST_F(CommonDialogs, MessageBoxesByType) {
  struct Case {
    int type;
    std::vector<unsigned long> answer;  // empty: dismissed
    int result;
    const char* buttons[3];
  } cases[] = {
      {3, {kCFUserNotificationOtherResponse}, IDNO, {"Yes", "Cancel", "No"}},
      {3, {kCFUserNotificationDefaultResponse}, IDYES, {"Yes", "Cancel", "No"}},
      {3, {}, IDCANCEL, {"Yes", "Cancel", "No"}},
      {0, {kCFUserNotificationAlternateResponse}, IDOK, {"OK", "", ""}},
      {1, {kCFUserNotificationAlternateResponse}, IDCANCEL, {"OK", "Cancel", ""}},
      {4, {}, IDNO, {"Yes", "No", ""}},
      {5, {kCFUserNotificationDefaultResponse}, IDRETRY, {"Retry", "Cancel", ""}},
  };
  for (const Case& c : cases) {
    mPresenter.alertAnswers = c.answer;
    EXPECT_EQ(MessageBox(nullptr, "Replace it?", "QOR", c.type), c.result) << c.type;
    const cf_standin::AlertShown& a = mPresenter.alerts.back();
    EXPECT_EQ(a.header, "QOR");
    EXPECT_EQ(a.message, "Replace it?");
    EXPECT_EQ(a.defaultButton, c.buttons[0]) << c.type;
    EXPECT_EQ(a.alternateButton, c.buttons[1]) << c.type;
    EXPECT_EQ(a.otherButton, c.buttons[2]) << c.type;
  }
  const size_t shown = mPresenter.alerts.size();
  EXPECT_EQ(MessageBox(nullptr, "x", "y", 0x10), 0);
  EXPECT_EQ(MessageBox(nullptr, "x", "y", 0x13), 0) << "extra bits make an unknown type";
  EXPECT_EQ(mPresenter.alerts.size(), shown) << "nothing shown";
}

TEST_F(CommonDialogs, TheTemplateIsUsedOnceAndTheModalMenuOnlyDuringThePanel) {
  WAPI_DialogResourceIndex accessory{
      reinterpret_cast<const char*>(intptr_t(50)), nullptr, 0x01, nullptr, 100, 40, nullptr};
  BrowseFile_SetTemplate(50, nullptr, &accessory);
  char buffer[64];
  BrowseForDirectory("D", nullptr, buffer, sizeof buffer);
  EXPECT_FALSE(lastPanel().hasAccessory) << "no procedure: not used";
  BrowseFile_SetTemplate(50, LoggingProc, &accessory);
  BrowseForDirectory("D", nullptr, buffer, sizeof buffer);
  EXPECT_TRUE(lastPanel().hasAccessory);
  std::vector<UINT> seen;
  for (const LoggedMessage& m : log()) seen.push_back(m.msg);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_INITDIALOG, WM_DESTROY}));
  BrowseForSaveFile("S", nullptr, nullptr, nullptr, buffer, sizeof buffer);
  EXPECT_FALSE(lastPanel().hasAccessory) << "used once";

  // The default modal menu, copied, while the panel runs; then the focused window's menu.
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, LoggingProc);
  HMENU own = CreatePopupMenu(), modal = CreatePopupMenu();
  WAPI_Menu_AddMenuItem(modal, "Quit", 1, 0);
  SetMenu(H(content), own);
  w->makeKeyAndOrderFront(nullptr);
  w->makeFirstResponder(content);
  WAPI_SetDefaultModalWindowMenu(modal);
  BrowseForSaveFile("S", nullptr, nullptr, nullptr, buffer, sizeof buffer);
  NSMenu* during = mPresenter.menuDuring.back();
  EXPECT_NE(reinterpret_cast<HMENU>(during), modal);
  EXPECT_NE(reinterpret_cast<HMENU>(during), own);
  EXPECT_EQ(mPresenter.itemsDuring.back(), 1) << "a copy of the modal menu";
  EXPECT_EQ(WAPI_GetCurrentMenu(), own);
  DestroyMenu(modal);
}

}  // namespace
