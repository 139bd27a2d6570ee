// Window and content rectangles, moving, sizing and restacking, re-parenting children, the
// screen around a rectangle and the system metrics.
#include "tests/wapi/window_fixture.h"

#include <AppKit/AppKitStandin.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace {

class WindowGeometry : public WindowTest {
 protected:
  void TearDown() override {
    ns_standin::resetScreens();
    WindowTest::TearDown();
  }
  // The tags of the view's subviews, bottom to top.
  static std::string order(NSView* v) {
    std::string s;
    for (NSView* c : v->subviews()) s += char('0' + c->tag());
    return s;
  }
};

TEST_F(WindowGeometry, RectanglesRoundTheFarEdgesAndSaturate) {
  NSWindow* w = makeWindow(NSMakeRect(100, 200, 300.4, 150.6));
  RECT r;
  ASSERT_TRUE(GetWindowRect(H(w), &r));
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{100, 200, 400, 351}));
  GetWindowContentViewRect(H(w), &r);
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{100, 200, 400, 351}));
  w->setFrame(NSMakeRect(1e12, -1e12, 10, 10), false);
  ASSERT_TRUE(GetWindowRect(H(w), &r));
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{INT_MAX, INT_MIN, INT_MAX, INT_MIN}));
  NSButton* b = addControl<NSButton>(w->contentView(), 1, NSMakeRect(10, 20, 30, 40));
  GetWindowContentViewRect(H(b), &r);
  RECT wr;
  GetWindowRect(H(b), &wr);
  EXPECT_EQ(std::memcmp(&r, &wr, sizeof r), 0) << "a child's content rectangle is its window rectangle";
}

TEST_F(WindowGeometry, SetWindowPosMovesSizesAndRestacks) {
  enum { kTop = -1, kBottom = -2, kTopmost = -3 };
  struct Case {
    const char* what;
    int moved;  // the tag of the view moved (views 1 2 3, bottom to top)
    int after;  // a sibling's tag or one of the special handles
    int x, y, cx, cy, flags;
    const char* order;
    NSRect frame;
  } cases[] = {
      {"flags 6 moves without resizing or restacking", 1, kTop, 5, 6, 99, 99, SWP_NOSIZE | SWP_NOZORDER, "123",
       NSMakeRect(5, 6, 10, 10)},
      {"a negative height by its magnitude", 1, kTop, 0, 0, 30, -50, SWP_NOMOVE | SWP_NOZORDER, "123",
       NSMakeRect(0, 0, 30, 50)},
      {"restack only: to the top, frame kept", 1, kTop, 9, 9, 9, 9, SWP_NOMOVE | SWP_NOSIZE, "231",
       NSMakeRect(0, 0, 10, 10)},
      {"the last subview to the top changes nothing", 3, kTop, 0, 0, 0, 0, 3, "123", NSMakeRect(0, 0, 10, 10)},
      {"to the bottom", 3, kBottom, 0, 0, 0, 0, 3, "312", NSMakeRect(0, 0, 10, 10)},
      {"above a sibling", 1, 3, 0, 0, 0, 0, 3, "231", NSMakeRect(0, 0, 10, 10)},
      {"after the sibling directly below changes nothing", 2, 1, 0, 0, 0, 0, 3, "123", NSMakeRect(0, 0, 10, 10)},
      {"after itself changes nothing", 2, 2, 0, 0, 0, 0, 3, "123", NSMakeRect(0, 0, 10, 10)},
      {"topmost leaves the order alone", 1, kTopmost, 0, 0, 0, 0, 3, "123", NSMakeRect(0, 0, 10, 10)},
  };
  for (const Case& c : cases) {
    NSWindow* w = makeWindow();
    NSView* parent = w->contentView();
    NSButton* views[3];
    for (int i = 0; i < 3; ++i) views[i] = addControl<NSButton>(parent, i + 1, NSMakeRect(0, 0, 10, 10));
    const HWND after = c.after == kTop       ? HWND_TOP
                       : c.after == kBottom  ? HWND_BOTTOM
                       : c.after == kTopmost ? HWND_TOPMOST
                                             : H(views[c.after - 1]);
    SetWindowPos(H(views[c.moved - 1]), after, c.x, c.y, c.cx, c.cy, c.flags);
    EXPECT_EQ(order(parent), c.order) << c.what;
    const NSRect f = views[c.moved - 1]->frame();
    EXPECT_EQ((std::vector<double>{f.origin.x, f.origin.y, f.size.width, f.size.height}),
              (std::vector<double>{c.frame.origin.x, c.frame.origin.y, c.frame.size.width, c.frame.size.height}))
        << c.what;
  }
}

TEST_F(WindowGeometry, RestackingKeepsTheFocusAndNeverMovesTheCaptureHolder) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, nullptr);
  Wapi_vQOR_hwnd* a = makeView(nullptr, content, nullptr);
  a->setTag(1);
  NSTextField* field = addControl<NSTextField>(a, 5);
  Wapi_vQOR_hwnd* b = makeView(nullptr, content, nullptr);
  b->setTag(2);
  ASSERT_TRUE(w->makeFirstResponder(field));
  NSResponder* editing = w->firstResponder();  // the field editor inside the field
  ASSERT_TRUE(wapiAs<NSView>(editing) && wapiAs<NSView>(editing)->isDescendantOf(field));
  SetWindowPos(H(a), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(content), "21");
  EXPECT_EQ(w->firstResponder(), editing) << "the focus inside the moved view comes back";
  SetCapture(H(field));
  SetWindowPos(H(a), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(content), "21") << "a view holding the capture stays";
  ReleaseCapture();
  SetWindowPos(H(a), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(content), "12");
}

TEST_F(WindowGeometry, AWindowIsClampedToItsLimitsRedrawnAndNeverRestacked) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, LoggingProc);
  v->setHidden(false);
  w->setMinSize(NSMakeSize(200, 100));
  w->setMaxSize(NSMakeSize(800, 600));
  ns_standin::displayWindows();
  log().clear();
  SetWindowPos(H(v), HWND_BOTTOM, 10, 20, 50, 5000, 0);
  const NSRect f = w->frame();
  EXPECT_EQ((std::vector<double>{f.origin.x, f.origin.y, f.size.width, f.size.height}),
            (std::vector<double>{10, 20, 200, 600}));
  const std::vector<UINT> got = messagesTo(H(v));
  EXPECT_NE(std::find(got.begin(), got.end(), UINT(WM_PAINT)), got.end()) << "the window is displayed";
  SetWindowPos(H(w), HWND_TOP, 1, 2, 3, 4, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(w->frame().origin.x, 10) << "both flags: nothing";
}

TEST_F(WindowGeometry, AScrollViewStandsForItsDocumentAndSizesAFieldEditorToItsContent) {
  NSWindow* w = makeWindow();
  auto* scroll = addControl<NSScrollView>(w->contentView(), 0, NSMakeRect(0, 0, 100, 100));
  scroll->setHasVerticalScroller(true);
  auto* text = static_cast<NSTextView*>(NSTextView::class_()->alloc());
  text->initWithFrame(NSMakeRect(0, 0, 10, 10));
  scroll->setDocumentView(text);
  text->release();
  EXPECT_EQ(WAPI_NavigateUpScrollClipViews(H(text)), H(scroll));
  EXPECT_EQ(WAPI_NavigateUpScrollClipViews(H(w)), H(w->contentView()));
  SetWindowPos(H(text), nullptr, 0, 0, 200, 80, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(scroll->frame().size.width, 200) << "the scroll view is sized";
  EXPECT_EQ(text->frame().size.width, 185) << "the width follows without a horizontal scroller";
  EXPECT_EQ(text->frame().size.height, 10) << "the height scrolls";
}

TEST_F(WindowGeometry, SetParentMovesAChildAndRefusesWhatWouldLoseOrLoopIt) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, nullptr);
  Wapi_vQOR_hwnd* a = makeView(nullptr, content, nullptr);
  NSButton* button = addControl<NSButton>(a, 7);
  Wapi_vQOR_hwnd* b = makeView(nullptr, content, nullptr);
  EXPECT_EQ(SetParent(H(button), H(b)), H(a));
  EXPECT_EQ(button->superview(), b);
  EXPECT_EQ(SetParent(H(button), H(w)), H(b)) << "a window parent is its content view";
  EXPECT_EQ(button->superview(), content);
  EXPECT_EQ(SetParent(H(a), H(button)), H(content)) << "a parent that is no layer view is still a view";
  EXPECT_EQ(a->superview(), button);
  SetParent(H(a), H(content));
  EXPECT_EQ(SetParent(H(content), H(a)), nullptr) << "a content view moves only with the top-level code";
  EXPECT_EQ(SetParent(H(a), reinterpret_cast<HWND>(0x1234)), nullptr) << "a foreign parent";
  EXPECT_EQ(a->superview(), content) << "the view stays where it was";
  NSButton* inner = addControl<NSButton>(a, 8);
  EXPECT_EQ(SetParent(H(a), H(inner)), nullptr) << "a view inside it";
  EXPECT_EQ(a->superview(), content);
}

TEST_F(WindowGeometry, TheViewPortIsTheLastScreenAroundTheCentre) {
  ns_standin::setScreens({NSMakeRect(0, 0, 1000, 800), NSMakeRect(1000, 0, 500, 400), NSMakeRect(1000, 0, 600, 500)},
                         {NSMakeRect(0, 0, 1000, 778), NSMakeRect(1000, 0, 500, 380), NSMakeRect(1000, 10, 600.6, 480)});
  struct Case {
    const char* what;
    bool withSource;
    RECT source;
    bool work;
    RECT expect;
  } cases[] = {
      {"no source: the first screen", false, {}, false, {0, 0, 1000, 800}},
      {"centre on the second and third: the last", true, {1100, 100, 1300, 300}, false, {1000, 0, 1600, 500}},
      {"work area", true, {1100, 100, 1300, 300}, true, {1000, 10, 1601, 490}},
      {"centre nowhere: the first", true, {-500, -500, -300, -300}, false, {0, 0, 1000, 800}},
      {"edges past the int range", true, {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, false, {0, 0, 1000, 800}},
  };
  for (const Case& c : cases) {
    RECT r{};
    WAPI_GetViewPort(&r, c.withSource ? &c.source : nullptr, c.work);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}),
              (std::vector<int>{c.expect.left, c.expect.top, c.expect.right, c.expect.bottom}))
        << c.what;
  }
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1000);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 800);
  ns_standin::setScreens({}, {});
  RECT r{};
  WAPI_GetViewPort(&r, nullptr, true);
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{0, 0, 1600, 1200}));
  struct Metric {
    int index, value;
  } metrics[] = {{SM_CXSCREEN, 1024}, {SM_CYSCREEN, 1024}, {SM_CXVSCROLL, 16}, {SM_CXHSCROLL, 16},
                 {SM_CYHSCROLL, 16},  {SM_CYVSCROLL, 16},  {5, 0},             {22, 0}, {-1, 0}};
  for (const Metric& m : metrics) EXPECT_EQ(GetSystemMetrics(m.index), m.value) << m.index;
}

}  // namespace
