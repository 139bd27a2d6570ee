// The Carbon stand-in's own rules: handler chains and where unhandled events go, the
// composited display pass, and menus through the presenter.
#include <Carbon/Carbon.h>
#include <CoreFoundation/CFPresenter.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gCalls;

struct Tag {
  const char* name;
  OSStatus answer;
  bool callNext;
};

OSStatus Record(EventHandlerCallRef next, EventRef e, void* user) {
  const Tag* t = static_cast<const Tag*>(user);
  gCalls.push_back(t->name);
  if (t->callNext) CallNextEventHandler(next, e);
  return t->answer;
}

const EventTypeSpec kKey[] = {{kEventClassKeyboard, kEventRawKeyDown}};

OSStatus SendKey(EventTargetRef target) {
  EventRef e = nullptr;
  CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
  const OSStatus r = SendEventToEventTarget(e, target);
  ReleaseEvent(e);
  return r;
}

}  // namespace

TEST(CarbonStandin, HandlersRunNewestFirstAndUnhandledEventsReachTheWindow) {
  const Rect bounds{0, 0, 100, 200};
  WindowRef w = nullptr;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowCompositingAttribute, &bounds, &w), noErr);
  ControlRef pane = nullptr;
  const Rect r{10, 10, 50, 50};
  ASSERT_EQ(CreateUserPaneControl(w, &r, 0, &pane), noErr);
  HIViewRef content = nullptr;
  ASSERT_EQ(HIViewFindByID(HIViewGetRoot(w), kHIViewWindowContentID, &content), noErr);
  ASSERT_EQ(HIViewAddSubview(content, pane), noErr);
  Tag window{"window", noErr, false}, older{"older", eventNotHandledErr, false}, newer{"newer", noErr, true};
  EventHandlerRef hw = nullptr, ho = nullptr, hn = nullptr;
  InstallEventHandler(GetWindowEventTarget(w), Record, 1, kKey, &window, &hw);
  InstallEventHandler(GetControlEventTarget(pane), Record, 1, kKey, &older, &ho);
  InstallEventHandler(GetControlEventTarget(pane), Record, 1, kKey, &newer, &hn);
  struct Case {
    EventHandlerRef remove;
    OSStatus result;
    std::vector<std::string> calls;
  } cases[] = {
      // The newest calls on explicitly: the older one declines, so the window takes it.
      {nullptr, noErr, {"newer", "older", "window"}},
      {hn, noErr, {"older", "window"}},
      {hw, eventNotHandledErr, {"older"}},
  };
  for (const Case& c : cases) {
    if (c.remove) RemoveEventHandler(c.remove);
    gCalls.clear();
    EXPECT_EQ(SendKey(GetControlEventTarget(pane)), c.result);
    EXPECT_EQ(gCalls, c.calls);
  }
  DisposeWindow(w);
}

TEST(CarbonStandin, TheDisplayPassDrawsDirtyViewsInAFlippedContextAndTheirCoveredSubviews) {
  const Rect bounds{0, 0, 100, 200};
  WindowRef w = nullptr;
  ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowCompositingAttribute, &bounds, &w), noErr);
  HIViewRef content = nullptr;
  HIViewFindByID(HIViewGetRoot(w), kHIViewWindowContentID, &content);
  ControlRef outer = nullptr, inner = nullptr;
  const Rect ro{10, 20, 60, 120}, ri{5, 5, 15, 25};
  CreateUserPaneControl(w, &ro, 0, &outer);
  CreateUserPaneControl(w, &ri, 0, &inner);
  HIViewAddSubview(content, outer);
  HIViewAddSubview(outer, inner);
  carbon_standin::displayWindows();
  static std::vector<std::string> drawn;
  drawn.clear();
  const EventTypeSpec draw[] = {{kEventClassControl, kEventControlDraw}};
  auto paint = [](EventHandlerCallRef, EventRef e, void* user) -> OSStatus {
    CGContextRef c = nullptr;
    HIShapeRef shape = nullptr;
    GetEventParameter(e, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof c, nullptr, &c);
    GetEventParameter(e, kEventParamShape, typeHIShapeRef, nullptr, sizeof shape, nullptr, &shape);
    HIRect b{};
    HIShapeGetBounds(shape, &b);
    drawn.push_back(std::string(static_cast<const char*>(user)) + " " + std::to_string(int(b.origin.x)) + "," +
                    std::to_string(int(b.origin.y)) + " " + std::to_string(int(b.size.width)) + "x" +
                    std::to_string(int(b.size.height)));
    // A pixel at the view's top left, in the view's own coordinates.
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 1, 1));
    return noErr;
  };
  InstallEventHandler(GetControlEventTarget(outer), paint, 1, draw, (void*)"outer", nullptr);
  InstallEventHandler(GetControlEventTarget(inner), paint, 1, draw, (void*)"inner", nullptr);
  const HIRect dirty = CGRectMake(0, 0, 12, 8);
  HIViewSetNeedsDisplayInRect(outer, &dirty, true);
  carbon_standin::displayWindows();
  EXPECT_EQ(drawn, (std::vector<std::string>{"outer 0,0 12x8", "inner 0,0 7x3"}));
  // Rows of the store run from the top: the outer view's top left is (20, 10).
  CGContextRef store = carbon_standin::windowStore(w);
  const uint8_t* p =
      static_cast<const uint8_t*>(CGBitmapContextGetData(store)) + 10 * CGBitmapContextGetBytesPerRow(store) + 20 * 4;
  EXPECT_EQ(p[1], 255);
  EXPECT_EQ(p[2], 0);
  DisposeWindow(w);
}

TEST(CarbonStandin, PopUpMenuSelectAnswersTheMenuIdAndItemOrNothing) {
  cf_standin::Presenter presenter;
  cf_standin::Presenter* previous = cf_standin::setPresenter(&presenter);
  MenuRef top = nullptr, sub = nullptr;
  CreateNewMenu(7, 0, &top);
  CreateNewMenu(8, 0, &sub);
  AppendMenuItemTextWithCFString(top, CFSTR("a"), 0, 0, nullptr);
  AppendMenuItemTextWithCFString(top, CFSTR("off"), kMenuItemAttrDisabled, 0, nullptr);
  AppendMenuItemTextWithCFString(top, CFSTR("more"), 0, 0, nullptr);
  AppendMenuItemTextWithCFString(sub, CFSTR("x"), 0, 0, nullptr);
  InsertMenuItemTextWithCFString(sub, CFSTR("w"), 0, 0, 0);
  CheckMenuItem(sub, 2, true);
  SetMenuItemHierarchicalMenu(top, 3, sub);
  presenter.menuAnswers = {{2, 1}, {1}, {0}, {2}, {3}};
  EXPECT_EQ(PopUpMenuSelect(top, 10, 20, 1), (8 << 16) | 2);
  EXPECT_EQ(cf_standin::MenuLine(presenter.menus[0]), "a | -off | more { w | *x }");
  EXPECT_EQ(presenter.menus[0].x, 20);
  EXPECT_EQ(PopUpMenuSelect(top, 10, 20, 1), 0);  // disabled
  EXPECT_EQ(PopUpMenuSelect(top, 10, 20, 1), (7 << 16) | 1);
  EXPECT_EQ(PopUpMenuSelect(top, 10, 20, 1), 0);  // a submenu's parent
  EXPECT_EQ(PopUpMenuSelect(top, 10, 20, 1), 0);  // no such item
  CFRelease(sub);
  CFRelease(top);
  EXPECT_EQ(carbon_standin::liveMenuCount(), 0);
  cf_standin::setPresenter(previous);
}
