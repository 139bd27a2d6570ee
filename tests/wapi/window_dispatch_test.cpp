// SendMessage: the layer's own receivers, the messages emulated on plain controls and the
// forwarding between a window and its content view; DefWindowProc; and the focus, parent,
// search and geometry queries around them.
#include "window_fixture.h"

#include <CoreFoundation/CoreFoundation.h>

#include <cstring>
#include <string>

namespace {

LRESULT EchoProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  return m == WM_USER ? 7 : 0;
}

}  // namespace

class WindowDispatchTest : public WindowTest {};

TEST_F(WindowDispatchTest, ButtonAndSliderMessagesOnPlainControls) {
  Wapi_vQOR_hwnd* v = makeView(nullptr, nullptr, nullptr);
  NSButton* b = addControl<NSButton>(v, 1);
  NSSlider* s = addControl<NSSlider>(v, 2);
  struct ButtonRow {
    WPARAM set;
    NSInteger state;
    LRESULT get;
  } buttons[] = {{1, NSOnState, 1}, {0, NSOffState, 0}, {2, NSMixedState, 2}, {3, NSMixedState, 2}, {5, NSOnState, 1}};
  for (const ButtonRow& r : buttons) {
    EXPECT_EQ(SendMessage(H(b), BM_SETCHECK, r.set, 0), 0);
    EXPECT_EQ(b->state(), r.state) << r.set;
    EXPECT_EQ(SendMessage(H(b), BM_GETCHECK, 0, 0), r.get) << r.set;
  }
  EXPECT_EQ(SendMessage(H(b), BM_GETIMAGE, 0, 0), 0) << "images are the layer's own button's";

  struct SliderRow {
    UINT msg;
    LPARAM l;
    LRESULT result;
  } sliders[] = {{TBM_SETRANGE, MAKELPARAM(0, 100), 1},
                 {TBM_SETPOS, 40, 1},
                 {TBM_GETRANGEMIN, 0, 0},
                 {TBM_GETRANGEMAX, 0, 0},
                 {TBM_GETTIC, 0, 0},
                 {TBM_SETTIC, 0, 1}};
  for (const SliderRow& r : sliders) EXPECT_EQ(SendMessage(H(s), r.msg, 0, r.l), r.result) << r.msg;
  EXPECT_EQ(s->minValue(), 0);
  EXPECT_EQ(s->maxValue(), 100);
  EXPECT_EQ(SendMessage(H(s), TBM_GETPOS, 0, 0), 40);
  SendMessage(H(s), TBM_SETRANGE, 0, MAKELPARAM(0xFFFF, 0x8000));
  EXPECT_EQ(s->minValue(), 65535) << "the halves are unsigned";
  EXPECT_EQ(s->maxValue(), 32768);
  struct Pos {
    double value;
    LRESULT pos;
  } positions[] = {{49.5, 50}, {49.4, 49}, {0, 0}, {-0.7, 0}, {-1.6, -1}};
  for (const Pos& p : positions) {
    s->setDoubleValue(p.value);
    EXPECT_EQ(SendMessage(H(s), TBM_GETPOS, 0, 0), p.pos) << p.value;
  }
  EXPECT_EQ(SendMessage(H(b), TBM_GETPOS, 0, 0), 0) << "a family whose class test fails is not applied";
  EXPECT_EQ(SendMessage(H(s), BM_SETCHECK, 1, 0), 0);
}

TEST_F(WindowDispatchTest, EditSelectionLivesInTheFieldEditorWhileEditing) {
  NSWindow* w = makeWindow();
  w->makeKeyWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, nullptr);
  NSTextField* field = addControl<NSTextField>(v, 1);
  field->setStringValue(NSString::stringWithUTF8String("h\xC3\xA9llo"));
  UINT start = 99, end = 99;
  SendMessage(H(field), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u) << "not being edited";
  SendMessage(H(field), EM_SETSEL, 1, 2);  // ignored while not editing

  ASSERT_TRUE(w->makeFirstResponder(field));
  ASSERT_NE(field->currentEditor(), nullptr);
  EXPECT_EQ(GetFocus(), H(field)) << "the field editor counts as its field";
  struct Row {
    WPARAM s;
    LPARAM e;
    UINT start, end;
  } rows[] = {
      {WPARAM(-1), 3, 0, 0}, {2, -1, 2, 5},         {1, 3, 1, 3},  {9, 20, 5, 5},
      {4, 1, 1, 4},          {WPARAM(-2), 2, 2, 5}, {3, -7, 0, 3}, {0, 0, 0, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(SendMessage(H(field), EM_SETSEL, r.s, r.e), 0);
    SendMessage(H(field), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, r.start) << long(r.s) << "," << long(r.e);
    EXPECT_EQ(end, r.end) << long(r.s) << "," << long(r.e);
  }
  SendMessage(H(field), EM_GETSEL, 0, 0);  // null pointers are skipped
  EXPECT_EQ(SendMessage(H(field), EM_SETPASSWORDCHAR, '*', 0), 0);
}

TEST_F(WindowDispatchTest, MessagesForwardBetweenAWindowAndItsContentView) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, EchoProc);
  EXPECT_EQ(SendMessage(H(w), WM_USER, 1, 2), 7) << "a window's message reaches its content view";
  NSWindow* plain = makeWindow();
  EXPECT_EQ(SendMessage(H(plain->contentView()), WM_USER, 0, 0), 0);
  EXPECT_EQ(SendMessage(H(plain), WM_USER, 0, 0), 0);
  EXPECT_EQ(SendMessage(nullptr, WM_USER, 0, 0), 0);
  int notAnObject = 0;
  EXPECT_EQ(SendMessage(reinterpret_cast<HWND>(&notAnObject), WM_USER, 0, 0), 0);

  // Pointer-sized parameters arrive whole; packed points keep their sign.
  log().clear();
  const LPARAM high = LPARAM(0x123456789ABCLL);
  SendMessage(H(v), WM_USER, WPARAM(0xFEDCBA9876543210ULL), high);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(log()[0].wParam, WPARAM(0xFEDCBA9876543210ULL));
  EXPECT_EQ(log()[0].lParam, high);
  const LPARAM point = MAKELPARAM(-3, -20);
  EXPECT_EQ(point, LPARAM(int32_t(0xFFECFFFD)));
  EXPECT_EQ((short)HIWORD(point), -20);
  EXPECT_EQ(GET_X_LPARAM(point), -3);
}

namespace {

int gBorder = 0;
LRESULT ShrinkingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NCCALCSIZE) {
    RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(l)->rgrc[0];
    r.left += gBorder;
    r.top += gBorder;
    r.right -= gBorder;
    r.bottom -= gBorder;
    return 0;
  }
  return EchoProc(h, m, w, l);
}

}  // namespace

TEST_F(WindowDispatchTest, DefaultProcessingRows) {
  NSWindow* w = makeWindow(NSMakeRect(100, 200, 300.4, 150.6));
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, ShrinkingProc);
  RECT r;
  ASSERT_TRUE(GetWindowRect(H(w), &r));
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right, 400);
  EXPECT_EQ(r.bottom, 351);
  struct Hit {
    int border, x, y;
    LRESULT code;
  } hits[] = {{0, 100, 200, HTCLIENT},  {0, 399, 350, HTCLIENT}, {0, 400, 300, HTNOWHERE}, {0, 99, 300, HTNOWHERE},
              {5, 102, 300, HTNOWHERE}, {5, 105, 205, HTCLIENT}, {5, 396, 300, HTNOWHERE}};
  for (const Hit& h : hits) {
    gBorder = h.border;
    EXPECT_EQ(DefWindowProc(H(content), WM_NCHITTEST, 0, MAKELPARAM(h.x, h.y)), h.code) << h.x << "," << h.y;
  }
  gBorder = 0;

  Wapi_vQOR_hwnd* child = makeView(nullptr, content, EchoProc);
  NSView* plain = addControl<NSView>(child, 0);
  child->setFrame(NSMakeRect(10, 10, 100, 50));
  log().clear();
  EXPECT_EQ(DefWindowProc(H(plain), WM_MOUSEWHEEL, 120 << 16, 5), 0) << "the child view's procedure answers 0";
  ASSERT_EQ(log().size(), 1u) << "passed to the nearest layer parent";
  EXPECT_EQ(log()[0].hwnd, H(child));
  EXPECT_EQ(log()[0].msg, WM_MOUSEWHEEL);
  log().clear();
  EXPECT_EQ(DefWindowProc(H(content), WM_CONTEXTMENU, 0, 0), 0);
  EXPECT_TRUE(log().empty()) << "a content view passes nothing up";

  EXPECT_EQ(DefWindowProc(H(child), WM_KEYDOWN, 0, 0), WAPI_KEY_NOT_HANDLED);
  EXPECT_EQ(DefWindowProc(H(child), WM_KEYUP, 0, 0), WAPI_KEY_NOT_HANDLED);
  EXPECT_EQ(DefWindowProc(H(child), WM_USER, 0, 0), 0);

  log().clear();
  EXPECT_EQ(DefWindowProc(H(child), WM_NCRBUTTONUP, 0, 1234), 1);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(log()[0].msg, WM_CONTEXTMENU);
  EXPECT_EQ(log()[0].wParam, reinterpret_cast<WPARAM>(H(child)));
  EXPECT_EQ(log()[0].lParam, 1234);

  // A right click in the child's client area: the context menu names the view under it.
  ShowWindow(H(content), SW_SHOW);  // layer views start hidden
  ShowWindow(H(child), SW_SHOW);
  log().clear();
  EXPECT_EQ(DefWindowProc(H(child), WM_RBUTTONUP, 0, MAKELPARAM(20, 20)), 1);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(log()[0].msg, WM_CONTEXTMENU);
  EXPECT_EQ(log()[0].wParam, reinterpret_cast<WPARAM>(H(plain)));
  POINT p{20, 20};
  ClientToScreen(H(child), &p);
  EXPECT_EQ(log()[0].lParam, MAKELPARAM(p.x, p.y));
  // The child sits 10 points below the top of the flipped content view, 150.6 high: y upward
  // on the screen, rounded.
  EXPECT_EQ(p.x, 100 + 10 + 20);
  EXPECT_EQ(p.y, 321);
  POINT back = p;
  ScreenToClient(H(child), &back);
  EXPECT_EQ(back.x, 20);
  EXPECT_EQ(back.y, 20);
  EXPECT_EQ(WindowFromPoint(p), H(plain));

  log().clear();
  EXPECT_EQ(DefWindowProc(H(content), WM_DISPLAYCHANGE, 3, 4), 0);
  ASSERT_EQ(log().size(), 1u) << "each layer subview hears of the display change";
  EXPECT_EQ(log()[0].hwnd, H(child));
  EXPECT_EQ(log()[0].wParam, 3u);
}

TEST_F(WindowDispatchTest, FocusMovesToTheParentWhenTheFocusedControlIsHiddenOrDestroyed) {
  NSWindow* w = makeWindow();
  w->makeKeyAndOrderFront(nullptr);
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, nullptr);
  ShowWindow(H(v), SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(H(v)));
  NSButton* b = addControl<NSButton>(v, 1);
  NSButton* c = addControl<NSButton>(v, 2);
  SetFocus(H(b));
  EXPECT_EQ(GetFocus(), H(b));
  ShowWindow(H(b), SW_HIDE);
  EXPECT_EQ(GetFocus(), H(v));
  EXPECT_FALSE(IsWindowVisible(H(b)));
  EXPECT_TRUE(b->isHidden());
  ShowWindow(H(b), SW_SHOWNA);
  EXPECT_TRUE(IsWindowVisible(H(b)));

  SetFocus(H(c));
  b->retain();
  DestroyWindow(H(b));
  EXPECT_EQ(b->superview(), nullptr);
  EXPECT_EQ(GetFocus(), H(c)) << "destroying an unfocused control leaves the focus";
  b->release();
  DestroyWindow(H(c));
  EXPECT_EQ(GetFocus(), H(v));
  EXPECT_FALSE(IsWindow(H(c)));

  ShowWindow(H(v), SW_HIDE);
  EXPECT_FALSE(w->isVisible()) << "hiding a content view hides its window";
  ShowWindow(H(w), SW_SHOWMINIMIZED);
  EXPECT_TRUE(w->isMiniaturized());
  EXPECT_TRUE(IsWindow(H(w)));
  EXPECT_TRUE(IsWindow(H(v)));
  DestroyWindow(H(v));
  EXPECT_FALSE(IsWindow(H(w))) << "destroying a content view closes its window";
}

TEST_F(WindowDispatchTest, ParentsChildrenAndSearches) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, nullptr);
  NSButton* first = addControl<NSButton>(v, 1);
  NSTextField* label = addControl<NSTextField>(v, 2);
  label->setStringValue(NSString::stringWithUTF8String("Bank Name"));
  NSTextField* field = addControl<NSTextField>(v, 3);

  EXPECT_EQ(GetParent(H(first)), H(v));
  EXPECT_EQ(GetParent(H(v)), nullptr) << "a window without parent or owner";
  NSWindow* child = makeWindow(NSMakeRect(0, 0, 50, 50));
  w->addChildWindow(child, NSWindowAbove);
  EXPECT_EQ(GetParent(H(child->contentView())), H(v));
  EXPECT_EQ(GetParent(H(child)), H(v));

  EXPECT_TRUE(IsChild(H(v), H(field)));
  EXPECT_TRUE(IsChild(H(w), H(field)));
  EXPECT_FALSE(IsChild(H(field), H(v)));
  EXPECT_FALSE(IsChild(H(v), H(v)));

  EXPECT_EQ(GetWindow(H(v), GW_CHILD), H(first));
  EXPECT_EQ(GetWindow(H(first), GW_HWNDNEXT), H(label));
  EXPECT_EQ(GetWindow(H(field), GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(H(field), GW_HWNDFIRST), H(first));
  EXPECT_EQ(GetWindow(H(v), GW_HWNDFIRST), H(v)) << "a content view has no siblings";
  EXPECT_EQ(GetWindow(H(v), GW_HWNDNEXT), nullptr);

  struct Find {
    const char* cls;
    const char* name;
    HWND after;
    HWND found;
  } finds[] = {
      {"STATIC", nullptr, nullptr, H(label)},    {"Button", nullptr, nullptr, H(first)},
      {nullptr, "Bank Name", nullptr, H(label)}, {"static", nullptr, H(label), H(field)},
      {nullptr, "missing", nullptr, nullptr},
  };
  for (const Find& f : finds)
    EXPECT_EQ(FindWindowEx(H(v), f.after, f.cls, f.name), f.found) << (f.cls ? f.cls : "-") << (f.name ? f.name : "-");
  w->setTitle(NSString::stringWithUTF8String("Enter Bank Name"));
  EXPECT_EQ(FindWindowEx(nullptr, nullptr, nullptr, "Enter Bank Name"), H(v));
  EXPECT_EQ(FindWindowEx(nullptr, H(v), nullptr, "Enter Bank Name"), nullptr);
  EXPECT_EQ(FindWindowEx(nullptr, nullptr, "Static", nullptr), nullptr) << "a name is required";
}

TEST_F(WindowDispatchTest, InvalidationMarksLayerAncestorsOnce) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* top = makeView(nullptr, w, nullptr);
  Wapi_vQOR_hwnd* mid = makeView(nullptr, top, nullptr);
  Wapi_vQOR_hwnd* leaf = makeView(nullptr, mid, nullptr);
  for (Wapi_vQOR_hwnd* v : {top, mid, leaf}) v->wapiSetDirtyBits(0);
  InvalidateRect(H(leaf), nullptr);
  EXPECT_EQ(leaf->wapiDirtyBits(), 1);
  EXPECT_EQ(mid->wapiDirtyBits(), 2);
  EXPECT_EQ(top->wapiDirtyBits(), 2);
  top->wapiSetDirtyBits(0);
  InvalidateRect(H(leaf), nullptr);
  EXPECT_EQ(top->wapiDirtyBits(), 0) << "the bit was already set: no walk";
  const RECT upside{5, 40, 25, 10};
  leaf->setNeedsDisplay(false);
  InvalidateRect(H(leaf), &upside);
  EXPECT_EQ(leaf->dirtyRect().size.height, 30);
  EXPECT_EQ(leaf->dirtyRect().origin.y, 10);
}

TEST_F(WindowDispatchTest, StringConversionsCheckUtf8AndCutOnCharacters) {
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {{nullptr, ""},
              {"abc", "abc"},
              {"h\xC3\xA9", "h\xC3\xA9"},
              {"a\xFF"
               "b",
               "a\xEF\xBF\xBD"
               "b"},
              {"\xC3", "\xEF\xBF\xBD"},
              {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"}};
  for (const Row& r : rows) {
    CFStringRef s = WAPI_CStringToCFString(r.in);
    ASSERT_NE(s, nullptr);
    char out[32];
    WAPI_CFStringToCString(s, out, sizeof out);
    EXPECT_STREQ(out, r.out);
    CFRelease(s);
  }
  CFStringRef euro = WAPI_CStringToCFString("a\xE2\x82\xAC");
  struct Cut {
    int size;
    const char* out;
  } cuts[] = {{1, ""}, {2, "a"}, {4, "a"}, {5, "a\xE2\x82\xAC"}};
  for (const Cut& c : cuts) {
    char out[8] = "zzzzzzz";
    WAPI_CFStringToCString(euro, out, c.size);
    EXPECT_STREQ(out, c.out) << c.size;
  }
  char untouched = 'q';
  WAPI_CFStringToCString(euro, &untouched, 0);
  EXPECT_EQ(untouched, 'q');
  WAPI_CFStringToCString(nullptr, &untouched, 1);
  EXPECT_EQ(untouched, 0);
  CFRelease(euro);
}

TEST_F(WindowDispatchTest, BroadcastReachesEveryLayerContentView) {
  NSWindow* a = makeWindow();
  NSWindow* b = makeWindow();
  makeWindow();  // a plain content view is skipped
  Wapi_vQOR_hwnd* va = makeView(nullptr, a, EchoProc);
  Wapi_vQOR_hwnd* vb = makeView(nullptr, b, EchoProc);
  b->orderFront(nullptr);
  a->orderFront(nullptr);
  log().clear();
  WAPI_BroadcastMessage(WM_USER, 1, 2);
  ASSERT_EQ(log().size(), 2u);
  EXPECT_EQ(log()[0].hwnd, H(va)) << "front to back";
  EXPECT_EQ(log()[1].hwnd, H(vb));
}

namespace {

// A window that answers layer messages itself, as the layer's top-level windows do.
class AnsweringWindow : public NSWindow, public WapiMessageTarget {
 public:
  LRESULT onWapiMessage(UINT msg, WPARAM, LPARAM) override { return msg == WM_USER ? 11 : 0; }
};

}  // namespace

TEST_F(WindowDispatchTest, AContentViewThatDoesNotAnswerForwardsToAnAnsweringWindow) {
  auto* w = new AnsweringWindow;
  w->initWithContentRect(NSMakeRect(0, 0, 50, 50), NSTitledWindowMask, NSBackingStoreBuffered, false);
  mOwned.push_back(w);
  EXPECT_EQ(SendMessage(H(w->contentView()), WM_USER, 0, 0), 11);
  EXPECT_EQ(SendMessage(H(w), WM_USER, 0, 0), 11) << "the window answers for itself first";
  NSButton* b = addControl<NSButton>(w->contentView(), 1);
  EXPECT_EQ(SendMessage(H(b), WM_USER, 0, 0), 0) << "only a content view forwards";
}

TEST_F(WindowDispatchTest, FrameAndVisibilityChangesReachTheProcedure) {
  Wapi_vQOR_hwnd* outer = makeView(nullptr, nullptr, nullptr);
  Wapi_vQOR_hwnd* v = makeView(nullptr, outer, LoggingProc);
  outer->wapiSetDirtyBits(0);
  log().clear();
  v->setFrame(NSMakeRect(1, 2, 30, 40));
  ShowWindow(H(v), SW_SHOW);
  ShowWindow(H(v), SW_SHOW);  // already shown: no second message
  ShowWindow(H(v), SW_HIDE);
  ShowWindow(H(v), 7);  // not a command
  const std::vector<UINT> seen = messagesTo(H(v));
  EXPECT_EQ(seen, std::vector<UINT>({WM_SIZE, WM_SHOWWINDOW, WM_SHOWWINDOW}));
  ASSERT_EQ(log().size(), 3u);
  EXPECT_EQ(log()[1].wParam, 1u);
  EXPECT_EQ(log()[2].wParam, 0u);
  EXPECT_EQ(outer->wapiDirtyBits() & 1, 1) << "a frame change invalidates the parent";
  SendMessage(H(v), WM_DESTROY, 0, 0);
  log().clear();
  v->setFrame(NSMakeRect(0, 0, 5, 5));
  EXPECT_TRUE(log().empty()) << "no WM_SIZE once destroyed";
}
