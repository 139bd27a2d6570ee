// What the AppKit stand-in offers windows, menus, panels and alerts of dialogs: key-window notices,
// the close box, menu copies and the delegates of opened submenus, panels with several paths,
// alert answers and the widths controls fit to.
#include <AppKit/AppKit.h>
#include <CoreFoundation/CFPresenter.h>
#include <CoreFoundation/CFUserNotification.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gNotices;

class NoticedWindow : public NSWindow {
  NS_STANDIN_CLASS(NoticedWindow)
 public:
  std::string name;
  bool mayClose = false;
  void becomeKeyWindow() override { gNotices.push_back(name + " becomes key"); }
  void resignKeyWindow() override { gNotices.push_back(name + " resigns"); }
  bool windowShouldClose(NSObject*) override {
    gNotices.push_back(name + " asked");
    return mayClose;
  }
};
NS_STANDIN_CLASS_IMPL(NoticedWindow, NSWindow)

// Hears menuNeedsUpdate: and the chosen item's action.
class MenuListener : public NSObject {
  NS_STANDIN_CLASS(MenuListener)
};
NS_STANDIN_CLASS_IMPL(MenuListener, NSObject)

NSObject* Heard(NSObject*, SEL cmd, NSObject* arg) {
  const std::string what = sel_getName(cmd);
  if (auto* item = dynamic_cast<NSMenuItem*>(arg)) gNotices.push_back(what + " " + item->title()->UTF8String());
  if (auto* menu = dynamic_cast<NSMenu*>(arg)) gNotices.push_back(what + " " + menu->title()->UTF8String());
  return nullptr;
}

class AppKitDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    NSApplicationLoad();
    gNotices.clear();
    mSaved = cf_standin::setPresenter(&mPresenter);
  }
  void TearDown() override {
    cf_standin::setPresenter(mSaved);
    for (NSObject* o : mOwned) o->release();
  }
  template <class T>
  T* own(T* o) {
    mOwned.push_back(o);
    return o;
  }
  NoticedWindow* window(const char* name) {
    auto* w = own(static_cast<NoticedWindow*>(NoticedWindow::class_()->alloc()));
    w->initWithContentRect(NSMakeRect(0, 0, 100, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
    w->name = name;
    return w;
  }
  cf_standin::Presenter mPresenter;
  cf_standin::Presenter* mSaved = nullptr;
  std::vector<NSObject*> mOwned;
};

TEST_F(AppKitDialogs, KeyWindowsResignBeforeTheNextBecomesKeyAndTheCloseBoxAsks) {
  NoticedWindow* a = window("a");
  NoticedWindow* b = window("b");
  a->makeKeyWindow();
  b->makeKeyWindow();
  b->makeKeyWindow();
  EXPECT_EQ(gNotices, (std::vector<std::string>{"a becomes key", "a resigns", "b becomes key"}));
  gNotices.clear();
  b->performClose(nullptr);
  EXPECT_TRUE(b->isKeyWindow()) << "refused: still open";
  b->mayClose = true;
  b->performClose(nullptr);
  EXPECT_FALSE(b->isKeyWindow());
  EXPECT_EQ(gNotices, (std::vector<std::string>{"b asked", "b asked"}));
}

TEST_F(AppKitDialogs, MenusCopyDeeplyAndTellTheDelegatesOfOpenedSubmenus) {
  MenuListener::class_()->addMethod(sel_registerName("menuNeedsUpdate:"), &Heard);
  MenuListener::class_()->addMethod(sel_registerName("picked:"), &Heard);
  auto* listener = own(static_cast<MenuListener*>(MenuListener::class_()->alloc()));
  auto* top = own(static_cast<NSMenu*>(NSMenu::class_()->alloc()));
  top->setTitle(NSString::stringWithUTF8String("Top"));
  auto* sub = static_cast<NSMenu*>(NSMenu::class_()->alloc());
  sub->setTitle(NSString::stringWithUTF8String("Sub"));
  NSMenuItem* inner =
      sub->addItemWithTitle(NSString::stringWithUTF8String("Inner"), sel_registerName("picked:"), nullptr);
  inner->setTarget(listener);
  inner->setTag(7);
  NSMenuItem* holder = top->addItemWithTitle(NSString::stringWithUTF8String("More"), nullptr, nullptr);
  top->setSubmenu(sub, holder);
  sub->release();
  top->setDelegate(listener);
  sub->setDelegate(listener);
  mPresenter.menuAnswers.push_back({0, 0});
  NSMenu::popUpContextMenu(top, nullptr, nullptr);
  EXPECT_EQ(gNotices, (std::vector<std::string>{"menuNeedsUpdate: Top", "menuNeedsUpdate: Sub", "picked: Inner"}));

  NSMenu* copy = own(top->copy());
  ASSERT_NE(copy->itemAtIndex(0)->submenu(), sub);
  NSMenuItem* twin = copy->itemAtIndex(0)->submenu()->itemWithTag(7);
  ASSERT_NE(twin, nullptr);
  twin->setTitle(NSString::stringWithUTF8String("Changed"));
  EXPECT_STREQ(inner->title()->UTF8String(), "Inner");
  EXPECT_EQ(twin->target(), listener);
}

TEST_F(AppKitDialogs, PanelsAndAlertsAreAnsweredByThePresenter) {
  mPresenter.panelAnswers = {"/a\n/b", "/a\n/b"};
  NSOpenPanel* open = NSOpenPanel::openPanel();
  open->setAllowsMultipleSelection(true);
  open->setTitle(NSString::stringWithUTF8String("Pick"));
  EXPECT_EQ(open->runModalForDirectory(NSString::stringWithUTF8String("/d"), nullptr, nullptr), NSOKButton);
  ASSERT_EQ(open->filenames()->count(), 2u);
  EXPECT_EQ(mPresenter.panels.back().title, "Pick");
  EXPECT_EQ(mPresenter.panels.back().directory, "/d");
  NSSavePanel* save = NSSavePanel::savePanel();
  EXPECT_EQ(save->runModalForDirectory(nullptr, NSString::stringWithUTF8String("f")), NSOKButton);
  EXPECT_STREQ(save->filename()->UTF8String(), "/a\n/b") << "one path where only one is chosen";
  EXPECT_EQ(save->runModalForDirectory(nullptr, nullptr), NSCancelButton);
  EXPECT_EQ(save->filename(), nullptr);

  struct Case {
    std::vector<unsigned long> answer;
    NSInteger result;
  } cases[] = {{{kCFUserNotificationDefaultResponse}, NSAlertDefaultReturn},
               {{kCFUserNotificationAlternateResponse}, NSAlertAlternateReturn},
               {{kCFUserNotificationOtherResponse}, NSAlertOtherReturn},
               {{}, NSAlertAlternateReturn}};
  for (const Case& c : cases) {
    mPresenter.alertAnswers = c.answer;
    EXPECT_EQ(
        NSRunAlertPanel(NSString::stringWithUTF8String("T"), NSString::stringWithUTF8String("<%@>"),
                        NSString::stringWithUTF8String("OK"), nullptr, nullptr, NSString::stringWithUTF8String("text")),
        c.result);
    EXPECT_EQ(mPresenter.alerts.back().message, "<text>");
  }
}

TEST_F(AppKitDialogs, ControlsFitTheirTextWidths) {
  auto* shortButton = own(static_cast<NSButton*>(NSButton::class_()->alloc()));
  auto* longButton = own(static_cast<NSButton*>(NSButton::class_()->alloc()));
  shortButton->initWithFrame(NSMakeRect(5, 6, 10, 10));
  longButton->initWithFrame(NSMakeRect(0, 0, 10, 10));
  shortButton->setTitle(NSString::stringWithUTF8String("OK"));
  longButton->setTitle(NSString::stringWithUTF8String("OK, and more"));
  shortButton->sizeToFit();
  longButton->sizeToFit();
  EXPECT_GT(shortButton->frame().size.width, 28);
  EXPECT_GT(longButton->frame().size.width, shortButton->frame().size.width);
  EXPECT_EQ(shortButton->frame().size.height, 21) << "a push button's height";
  EXPECT_EQ(shortButton->frame().origin.x, 5) << "the origin stays";
  auto* label = own(static_cast<NSTextField*>(NSTextField::class_()->alloc()));
  label->initWithFrame(NSMakeRect(0, 0, 300, 14));
  label->setStringValue(NSString::stringWithUTF8String("OK"));
  label->sizeToFit();
  EXPECT_EQ(label->frame().size.width, shortButton->frame().size.width - 28 + 4);
  EXPECT_EQ(label->frame().size.height, 14);
}

}  // namespace
