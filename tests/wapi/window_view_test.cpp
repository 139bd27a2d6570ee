// The HWND view: creation with WM_CREATE or WM_INITDIALOG and its focus rules, the destroy
// order, properties, window longs, dialog items and their text, numbers and check states.
#include "window_fixture.h"

#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-listview.h"

#include <cstring>
#include <string>

namespace {

// The dialog the creation tests build: a label, an editable field (10013) and a button (2).
void BuildControls(HWND h, int) {
  auto* view = reinterpret_cast<NSView*>(h);
  auto* label = static_cast<NSTextField*>(NSTextField::class_()->alloc());
  label->initWithFrame(NSMakeRect(0, 0, 80, 20));
  label->setEditable(false);
  label->setTag(10012);
  view->addSubview(label);
  label->release();
  auto* field = static_cast<NSTextField*>(NSTextField::class_()->alloc());
  field->initWithFrame(NSMakeRect(0, 30, 80, 20));
  field->setTag(10013);
  view->addSubview(field);
  field->release();
  auto* button = static_cast<NSButton*>(NSButton::class_()->alloc());
  button->initWithFrame(NSMakeRect(0, 60, 80, 20));
  button->setTag(2);
  view->addSubview(button);
  button->release();
}

WAPI_DialogResourceIndex gDialog{
    reinterpret_cast<const char*>(10014), "Enter Bank Name", 12, BuildControls, 396, 144, nullptr};

LRESULT gInitAnswer = 0;
HWND gFieldAtInit = nullptr;

LRESULT DialogProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_INITDIALOG) {
    gFieldAtInit = GetDlgItem(h, 10013);
    return gInitAnswer;
  }
  return 0;
}

}  // namespace

class WindowViewTest : public WindowTest {};

TEST_F(WindowViewTest, InitDialogComesAfterTheControlsAndNamesTheFirstFocusableOne) {
  struct Row {
    LRESULT answer;
    bool viewFocused;  // else the field is
  } rows[] = {{0, false}, {1, false}, {WAPI_INITDIALOG_FOCUS_SELF, true}};
  for (const Row& row : rows) {
    log().clear();
    gInitAnswer = row.answer;
    gFieldAtInit = nullptr;
    NSWindow* w = makeWindow();
    Wapi_vQOR_hwnd* v = makeView(&gDialog, w, DialogProc, 0x1234);
    HWND field = GetDlgItem(H(v), 10013);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(gFieldAtInit, field) << "the controls exist before WM_INITDIALOG";
    // The colour updates ask for the label's colour after WM_INITDIALOG; a view that takes the
    // focus itself is asked first (WM_MOUSEACTIVATE), as every view becoming first responder is.
    const std::vector<UINT> expected = row.viewFocused
                                           ? std::vector<UINT>({WM_INITDIALOG, WM_MOUSEACTIVATE, WM_CTLCOLORSTATIC})
                                           : std::vector<UINT>({WM_INITDIALOG, WM_CTLCOLORSTATIC});
    ASSERT_EQ(messagesTo(H(v)), expected) << row.answer;
    EXPECT_EQ(log()[0].wParam, reinterpret_cast<WPARAM>(field)) << "the label takes no focus";
    EXPECT_EQ(log()[0].lParam, 0x1234);
    EXPECT_EQ(w->firstResponder(), row.viewFocused ? static_cast<NSResponder*>(v) : w->fieldEditor(false, nullptr))
        << row.answer;
    EXPECT_EQ(w->contentView(), v);
    EXPECT_TRUE(v->isHidden()) << "a view stays hidden until shown";
    EXPECT_TRUE(v->isFlipped());
    EXPECT_FALSE(v->isOpaque()) << "flags 12 carry no opaque bit";
  }
}

TEST_F(WindowViewTest, WithoutAResourceOnlyCreateArrivesWithTheParameter) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w->contentView(), LoggingProc, 0x77);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(log()[0].msg, WM_CREATE);
  EXPECT_EQ(log()[0].wParam, 0u);
  EXPECT_EQ(log()[0].lParam, 0x77);
  EXPECT_EQ(v->superview(), w->contentView());
  EXPECT_EQ(v->frame().size.width, 300);
  EXPECT_EQ(v->frame().size.height, 200);
  EXPECT_EQ(GetWindowLong(H(v), GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&LoggingProc));
  EXPECT_EQ(GetWindowLong(H(v), DWL_DLGPROC), 0);
}

namespace {

HWND gSibling = nullptr, gRemover = nullptr;
LRESULT gAnswerDuringDestroy = -1;

LRESULT DestroyingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_DESTROY) {
    // The procedure still answers during its own destruction.
    gAnswerDuringDestroy = SendMessage(h, WM_USER, 0, 0);
    if (gSibling && h == gRemover) {
      reinterpret_cast<NSView*>(gSibling)->removeFromSuperview();
      gSibling = nullptr;
    }
  }
  if (m == WM_USER) return 42;
  return 0;
}

}  // namespace

TEST_F(WindowViewTest, DestroyReachesTheWindowThenEverySubviewInOrderOnce) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* top = makeView(nullptr, w, DestroyingProc);
  Wapi_vQOR_hwnd* a = makeView(nullptr, top, DestroyingProc);
  Wapi_vQOR_hwnd* b = makeView(nullptr, top, DestroyingProc);
  Wapi_vQOR_hwnd* c = makeView(nullptr, top, DestroyingProc);
  gSibling = H(b);  // a removes b from the tree while the walk is under way
  gRemover = H(a);
  log().clear();
  gAnswerDuringDestroy = -1;
  EXPECT_EQ(SendMessage(H(top), WM_DESTROY, 5, 6), 0);
  std::vector<HWND> order;
  for (const LoggedMessage& m : log())
    if (m.msg == WM_DESTROY) order.push_back(m.hwnd);
  EXPECT_EQ(order, std::vector<HWND>({H(top), H(a), H(b), H(c)}));
  EXPECT_EQ(log()[0].wParam, 5u) << "the window's own WM_DESTROY keeps its parameters";
  EXPECT_EQ(gAnswerDuringDestroy, 42);

  log().clear();
  EXPECT_EQ(SendMessage(H(top), WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(SendMessage(H(top), WM_USER, 0, 0), 0);
  EXPECT_EQ(SendMessage(H(c), WM_USER, 0, 0), 0);
  EXPECT_TRUE(log().empty()) << "nothing reaches a destroyed view";
  EXPECT_FALSE(top->wapiCanPostMessage());
  EXPECT_TRUE(top->wapiHasBeenDestroyed());
}

TEST_F(WindowViewTest, AHandleWhoseObjectIsGoneAnswersNeutralEverywhere) {
  auto* v = static_cast<Wapi_vQOR_hwnd*>(Wapi_vQOR_hwnd::class_()->alloc());
  v->initChild(nullptr, nullptr, LoggingProc, 0);
  const HWND h = H(v);
  SetProp(h, "name", reinterpret_cast<void*>(1));
  log().clear();
  v->release();  // dealloc sends WM_DESTROY through the message entry
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(log()[0].msg, WM_DESTROY);

  char text[8] = "x";
  RECT r{1, 2, 3, 4};
  POINT p{5, 6};
  bool translated = true;
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);
  EXPECT_EQ(DefWindowProc(h, WM_CONTEXTMENU, 0, 0), 0);
  EXPECT_EQ(GetWindowLong(h, GWL_USERDATA), 0);
  EXPECT_EQ(SetWindowLong(h, GWL_USERDATA, 9), 0);
  EXPECT_EQ(GetDlgItem(h, 0), nullptr);
  EXPECT_FALSE(GetDlgItemText(h, 0, text, sizeof text));
  EXPECT_STREQ(text, "");
  EXPECT_FALSE(SetDlgItemText(h, 0, "y"));
  EXPECT_EQ(GetDlgItemInt(h, 0, &translated, true), 0);
  EXPECT_FALSE(translated);
  EXPECT_EQ(IsDlgButtonChecked(h, 0), 0);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ(GetProp(h, "name"), nullptr);
  EXPECT_EQ(EnumPropsEx(h, nullptr, 0), -1);
  EXPECT_FALSE(SetProp(h, "name", nullptr));
  EXPECT_EQ(GetParent(h), nullptr);
  EXPECT_EQ(GetWindow(h, GW_CHILD), nullptr);
  EXPECT_FALSE(GetWindowRect(h, &r));
  EXPECT_EQ(r.right, 0);
  EXPECT_FALSE(ClientToScreen(h, &p));
  EXPECT_EQ(p.x, 5);
  EXPECT_FALSE(InvalidateRect(h, nullptr));
  EXPECT_FALSE(IsChild(h, h));
  ShowWindow(h, SW_SHOW);
  DestroyWindow(h);
  CheckDlgButton(h, 0, 1);
  CenterWindow(h);
  SetFocus(h);
  EXPECT_TRUE(log().size() == 1u);
}

namespace {

LRESULT SelfDestroyingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_DESTROY) DestroyWindow(h);  // holds and lets go of the view inside its dealloc
  return 0;
}

}  // namespace

TEST_F(WindowViewTest, AProcedureThatDestroysItsViewDuringDeallocFreesItOnce) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w->contentView(), SelfDestroyingProc);
  Wapi_vQOR_hwnd* inner = makeView(nullptr, v, SelfDestroyingProc);
  log().clear();
  v->removeFromSuperview();  // the last reference: dealloc sends WM_DESTROY
  EXPECT_EQ(log().size(), 2u) << "the view and its subview, once each";
  EXPECT_FALSE(IsWindow(H(inner)));
  EXPECT_EQ(GetDlgItem(H(w), 0), H(w->contentView()));
}

namespace {

BOOL CollectProps(HWND, const char* name, void* value, LPARAM into) {
  auto* out = reinterpret_cast<std::vector<std::pair<std::string, intptr_t>>*>(into);
  const bool atom = reinterpret_cast<uintptr_t>(name) < 0x10000;
  out->emplace_back(atom ? "#" + std::to_string(reinterpret_cast<uintptr_t>(name)) : name,
                    reinterpret_cast<intptr_t>(value));
  return out->size() < 4;
}

}  // namespace

TEST_F(WindowViewTest, PropertiesKeepOneRecordPerNameAndAtomsNeverMatchStrings) {
  Wapi_vQOR_hwnd* v = makeView(nullptr, nullptr, nullptr);
  const HWND h = H(v);
  EXPECT_EQ(EnumPropsEx(h, CollectProps, 0), -1) << "an empty list";
  std::string first = "colour", second = "colour";
  const char* atom = reinterpret_cast<const char*>(uintptr_t(0x2A));
  EXPECT_TRUE(SetProp(h, first.c_str(), reinterpret_cast<void*>(1)));
  EXPECT_TRUE(SetProp(h, second.c_str(), reinterpret_cast<void*>(2))) << "an equal name, another pointer";
  EXPECT_TRUE(SetProp(h, atom, reinterpret_cast<void*>(3)));
  EXPECT_TRUE(SetProp(h, "*", reinterpret_cast<void*>(4)));
  first[0] = 'X';  // the record owns its copy of the name
  EXPECT_EQ(GetProp(h, "colour"), reinterpret_cast<void*>(2));
  EXPECT_EQ(GetProp(h, atom), reinterpret_cast<void*>(3));
  EXPECT_EQ(GetProp(h, "*"), reinterpret_cast<void*>(4)) << "an atom never matches the string of its code";

  std::vector<std::pair<std::string, intptr_t>> seen;
  EXPECT_EQ(EnumPropsEx(h, CollectProps, reinterpret_cast<LPARAM>(&seen)), 1);
  const std::vector<std::pair<std::string, intptr_t>> newestFirst = {{"*", 4}, {"#42", 3}, {"colour", 2}};
  EXPECT_EQ(seen, newestFirst);
  EXPECT_EQ(RemoveProp(h, atom), reinterpret_cast<void*>(3));
  EXPECT_EQ(GetProp(h, atom), nullptr);
  SetProp(h, "a", nullptr);
  SetProp(h, "b", nullptr);
  seen.clear();
  EXPECT_EQ(EnumPropsEx(h, CollectProps, reinterpret_cast<LPARAM>(&seen)), 0) << "the procedure stopped it";
  EXPECT_EQ(seen.size(), 4u);
}

TEST_F(WindowViewTest, WindowLongsReachTheRecordTheExtraSlotsAndPlainControls) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w->contentView(), nullptr);
  const HWND h = H(v);
  struct Row {
    int index;
    LONG_PTR set, read;
  } rows[] = {
      {GWL_USERDATA, LONG_PTR(0x1122334455667788), LONG_PTR(0x1122334455667788)},
      {GWL_EXSTYLE, 0x31, 0x10},  // only the drop bit is kept
      {GWL_ID, 77, 77},
      {0, 5, 5},
      {124, 9, 9},
      {127, 11, 11},  // slot 31, the same as 124
      {128, 13, 0},
      {-1, 15, 0},
      {-5, 17, 0},
  };
  for (const Row& row : rows) {
    SetWindowLong(h, row.index, row.set);
    EXPECT_EQ(GetWindowLong(h, row.index), row.read) << row.index;
  }
  EXPECT_EQ(GetWindowLong(h, 124), 11) << "offsets 124..127 share one slot";
  EXPECT_EQ(GetWindowLong(h, GWL_STYLE), WS_CHILD);
  EXPECT_EQ(SetWindowLong(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&LoggingProc)),
            reinterpret_cast<LONG_PTR>(&WapiDialogDefaultWindowProc));

  NSButton* push = addControl<NSButton>(v, 3);
  auto* text = static_cast<NSTextView*>(NSTextView::class_()->alloc());
  text->initWithFrame(NSMakeRect(0, 0, 10, 10));
  v->addSubview(text);
  text->release();
  EXPECT_EQ(GetWindowLong(H(text), GWL_USERDATA), LONG_PTR(0xDEADF00B));
  EXPECT_EQ(GetWindowLong(H(push), GWL_USERDATA), 0) << "a plain button keeps no user data";
  EXPECT_EQ(GetWindowLong(H(push), GWL_STYLE), 3 | WS_CHILD);
  EXPECT_EQ(SetWindowLong(H(push), GWL_STYLE, BS_AUTO3STATE), 3 | WS_CHILD);
  EXPECT_TRUE(push->allowsMixedState());
  EXPECT_EQ(GetWindowLong(H(push), GWL_STYLE), 6 | WS_CHILD);
  SetWindowLong(H(push), GWL_STYLE, BS_AUTORADIOBUTTON);
  EXPECT_EQ(push->buttonType(), NSRadioButton);
  EXPECT_EQ(SetWindowLong(H(push), GWL_ID, 12), 3);
  EXPECT_EQ(GetDlgItem(h, 12), H(push));
  EXPECT_EQ(SetWindowLong(H(push), 8, 1), 0) << "no extra slots on a plain control";

  NSWindow* resizable = makeWindow(NSMakeRect(0, 0, 50, 50), NSTitledWindowMask | NSResizableWindowMask);
  EXPECT_EQ(GetWindowLong(H(resizable->contentView()), GWL_STYLE), WS_CAPTION | WS_THICKFRAME);
  EXPECT_EQ(GetWindowLong(H(makeWindow(NSMakeRect(0, 0, 5, 5), 0)->contentView()), GWL_STYLE), 0);
  EXPECT_EQ(GetWindowLong(H(resizable), GWL_STYLE), 0) << "a window itself has no style";
}

TEST_F(WindowViewTest, GetDlgItemLooksIntoScrollViewsButNotDeeper) {
  Wapi_vQOR_hwnd* v = makeView(nullptr, nullptr, nullptr);
  auto* scroll = static_cast<NSScrollView*>(NSScrollView::class_()->alloc());
  scroll->initWithFrame(NSMakeRect(0, 0, 100, 100));
  auto* list = static_cast<NSButton*>(NSButton::class_()->alloc());
  list->initWithFrame(NSMakeRect(0, 0, 100, 100));
  list->setTag(500);
  scroll->setDocumentView(list);
  list->release();
  v->addSubview(scroll);
  scroll->release();
  NSBox* box = addControl<NSBox>(v, 0);
  addControl<NSButton>(box, 600);

  EXPECT_EQ(GetDlgItem(H(v), 500), H(list));
  EXPECT_EQ(GetDlgItem(H(v), 600), nullptr) << "a control two views deep";
  EXPECT_EQ(GetDlgItem(H(v), 0), H(v));
  EXPECT_EQ(GetParent(H(list)), H(v)) << "the scroll view stands for the list";
}

TEST_F(WindowViewTest, ItemTextNumbersAndCheckStates) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, LoggingProc);
  NSTextField* field = addControl<NSTextField>(v, 1);
  NSButton* button = addControl<NSButton>(v, 2);

  struct Row {
    const char* text;
    bool isSigned;
    int value;
    bool translated;
  } rows[] = {
      {"  0", true, 0, true},     {"abc", true, 0, false},         {"-5", false, 0, false}, {"12ab", true, 12, true},
      {"\t-40", true, -40, true}, {"99999999999", true, 0, false}, {"", true, 0, false},    {"+0", true, 0, false},
  };
  for (const Row& row : rows) {
    SetDlgItemText(H(v), 1, row.text);
    bool translated = !row.translated;
    EXPECT_EQ(GetDlgItemInt(H(v), 1, &translated, row.isSigned), row.value) << row.text;
    EXPECT_EQ(translated, row.translated) << row.text;
  }
  EXPECT_EQ(GetDlgItemInt(H(v), 1, nullptr, true), 0);
  SetDlgItemInt(H(v), 1, -3, false);
  char text[16];
  EXPECT_TRUE(GetDlgItemText(H(v), 1, text, sizeof text));
  EXPECT_STREQ(text, "4294967293");

  SetDlgItemText(H(v), 2, "&OK    ");
  EXPECT_TRUE(GetDlgItemText(H(v), 2, text, 4));
  EXPECT_STREQ(text, "&OK");
  EXPECT_EQ(std::string(button->title()->UTF8String()), "&OK    ");
  struct Check {
    int set, read;
  } checks[] = {{1, 1}, {0, 0}, {2, 2}, {3, 2}, {5, 1}};
  for (const Check& c : checks) {
    CheckDlgButton(H(v), 2, c.set);
    EXPECT_EQ(IsDlgButtonChecked(H(v), 2), c.read) << c.set;
  }
  EXPECT_EQ(IsDlgButtonChecked(H(v), 1), 0) << "a field is no button";
  (void)field;

  // The content view's text is its window's title, and writing it sets both.
  EXPECT_TRUE(SetDlgItemText(H(v), 0, "Enter Bank Name"));
  EXPECT_STREQ(w->title()->UTF8String(), "Enter Bank Name");
  EXPECT_STREQ(v->onWapiGetText(), "Enter Bank Name");
  EXPECT_TRUE(GetDlgItemText(H(w), 0, text, sizeof text));
  EXPECT_STREQ(text, "Enter Bank Name");
}

TEST_F(WindowViewTest, EditChangeComesOnlyFromAnEditableField) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* v = makeView(nullptr, w, LoggingProc);
  addControl<NSTextField>(v, 0x12345);
  NSTextField* label = addControl<NSTextField>(v, 8);
  label->setEditable(false);
  log().clear();
  SetDlgItemText(H(v), 0x12345, "x");
  SetDlgItemText(H(v), 8, "y");
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(log()[0].msg, WM_COMMAND);
  EXPECT_EQ(log()[0].wParam, WPARAM(0x2345 | (EN_CHANGE << 16)));
  EXPECT_EQ(log()[0].lParam, reinterpret_cast<LPARAM>(GetDlgItem(H(v), 0x12345)));
}

TEST_F(WindowViewTest, TitleIsCutAt1023BytesOnACharacterBoundary) {
  Wapi_vQOR_hwnd* v = makeView(nullptr, nullptr, nullptr);
  std::string longText(1022, 'a');
  longText += "\xC3\xA9tail";  // a two-byte character across the limit
  SetDlgItemText(H(v), 0, longText.c_str());
  EXPECT_EQ(std::strlen(v->onWapiGetText()), 1022u);
  char small[1] = {'x'};
  EXPECT_TRUE(GetDlgItemText(H(v), 0, small, 1));
  EXPECT_EQ(small[0], 0);
  char none = 'x';
  EXPECT_TRUE(GetDlgItemText(H(v), 0, &none, 0)) << "a size below 1 still succeeds";
  EXPECT_EQ(none, 'x') << "and writes nothing";
}

namespace {

int gButtonAsks = 0;
LRESULT ColourProc(HWND, UINT m, WPARAM w, LPARAM) {
  if (m == WM_CTLCOLORSTATIC) SetTextColor(reinterpret_cast<HDC>(w), 0xFF8000);
  if (m == WM_CTLCOLORBTN) {
    ++gButtonAsks;
    SetTextColor(reinterpret_cast<HDC>(w), 0x0000FF);
  }
  return 0;
}

}  // namespace

TEST_F(WindowViewTest, DialogColoursReachLabelsAndBoxesButNotFields) {
  Wapi_vQOR_hwnd* v = makeView(nullptr, nullptr, nullptr);
  NSTextField* label = addControl<NSTextField>(v, 1);
  label->setEditable(false);
  NSTextField* field = addControl<NSTextField>(v, 2);
  NSBox* box = addControl<NSBox>(v, 3);
  WAPI_DoDialogColorUpdates(H(v), ColourProc, false);
  ASSERT_NE(label->textColor(), nullptr);
  EXPECT_DOUBLE_EQ(label->textColor()->redComponent(), 1.0);
  EXPECT_DOUBLE_EQ(label->textColor()->greenComponent(), 128 / 255.0);
  EXPECT_DOUBLE_EQ(label->textColor()->blueComponent(), 0.0);
  EXPECT_EQ(field->textColor(), nullptr);
  ASSERT_NE(box->titleCell()->textColor(), nullptr);

  // Buttons with an image take WM_CTLCOLORBTN's colour, asked once per call; others keep theirs.
  auto* image = static_cast<NSImage*>(NSImage::class_()->alloc());
  image->initWithSize(NSMakeSize(16, 16));
  NSButton* first = addControl<NSButton>(v, 5);
  NSButton* second = addControl<NSButton>(v, 6);
  NSButton* plain = addControl<NSButton>(v, 7);
  first->setImage(image);
  second->setImage(image);
  image->release();
  gButtonAsks = 0;
  WAPI_DoDialogColorUpdates(H(v), ColourProc, false);
  EXPECT_EQ(gButtonAsks, 1);
  for (NSButton* b : {first, second}) {
    ASSERT_NE(b->attributedTitleColor(), nullptr);
    EXPECT_DOUBLE_EQ(WAPI_ButtonTextColor(b)->blueComponent(), 1.0);
  }
  EXPECT_EQ(plain->attributedTitleColor(), nullptr);
  EXPECT_DOUBLE_EQ(WAPI_ButtonTextColor(plain)->blueComponent(), 0.0) << "the control text colour";

  NSTextField* other = addControl<NSTextField>(v, 4);
  other->setEditable(false);
  WAPI_DoDialogColorUpdates(H(v), LoggingProc, false);
  EXPECT_EQ(other->textColor(), nullptr) << "no colour set and no default asked for";
  WAPI_DoDialogColorUpdates(H(v), LoggingProc, true);
  ASSERT_NE(other->textColor(), nullptr);
  EXPECT_DOUBLE_EQ(other->textColor()->redComponent(), 0.0);
}

namespace {

NSAccessibilityElement* gElement = nullptr;

LRESULT AccessibleProc(HWND, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_GETOBJECT && w == 4097 && gElement) *reinterpret_cast<NSObject**>(l) = gElement;
  return 0;
}

// An element whose focus lies on another object.
class FocusElement : public NSAccessibilityElement {
 public:
  NSObject* focus = nullptr;
  NSObject* accessibilityFocusedUIElement() override { return focus ? focus : this; }
};

}  // namespace

TEST_F(WindowViewTest, AnAccessibilityObjectFromTheProcedureJoinsTheViewsAnswers) {
  auto* element = new FocusElement;
  gElement = element;
  Wapi_vQOR_hwnd* v = makeView(nullptr, nullptr, AccessibleProc);
  NSButton* b = addControl<NSButton>(v, 1);

  NSArray* children = v->accessibilityAttributeValue(NSAccessibilityChildrenAttribute);
  ASSERT_NE(children, nullptr);
  ASSERT_EQ(children->count(), 2u);
  EXPECT_EQ(children->objectAtIndex(0), b);
  EXPECT_EQ(children->objectAtIndex(1), element);
  EXPECT_EQ(v->accessibilityAttributeValue(NSAccessibilityChildrenAttribute), children) << "cached";
  b->setHidden(true);
  NSArray* visible = v->accessibilityAttributeValue(NSAccessibilityVisibleChildrenAttribute);
  ASSERT_EQ(visible->count(), 1u);
  EXPECT_EQ(visible->objectAtIndex(0), element);
  addControl<NSButton>(v, 2);
  EXPECT_EQ(v->accessibilityAttributeValue(NSAccessibilityChildrenAttribute)->count(), 3u) << "a new platform list";

  EXPECT_EQ(v->accessibilityHitTest(NSMakePoint(1, 1)), element);
  element->setAccessibilityIgnored(true);
  EXPECT_EQ(v->accessibilityHitTest(NSMakePoint(1, 1)), v) << "an ignored object's own hit does not count";
  EXPECT_EQ(v->accessibilityFocusedUIElement(), v) << "the object's focus on itself does not count";
  element->focus = b;
  EXPECT_EQ(v->accessibilityFocusedUIElement(), b);

  gElement = nullptr;
  EXPECT_EQ(v->accessibilityAttributeValue(NSAccessibilityChildrenAttribute)->count(), 2u) << "the platform's list";
  element->release();
}

namespace {

// Markers in the message log for the top-level window's own destroy steps.
constexpr UINT kOwnedWindowsDestroyed = 0xFFFF0001, kDestroyStuff = 0xFFFF0002;

// A top-level window of the kind the layer makes: it may have an owner and owned windows.
class TopLevelWindow : public NSWindow, public WapiTopLevelWindow {
 public:
  NSObject* owner = nullptr;
  NSObject* wapiGetOwner() override { return owner; }
  void wapiDestroyAllOwnedWindows() override {
    WindowTest::log().push_back({wapiHandle(this), kOwnedWindowsDestroyed, 0, 0});
  }
  void wapiDoDestroyStuff() override { WindowTest::log().push_back({wapiHandle(this), kDestroyStuff, 0, 0}); }
};

}  // namespace

TEST_F(WindowViewTest, DestroyingATopLevelWindowRunsItsStepsInOrder) {
  auto* w = new TopLevelWindow;
  w->initWithContentRect(NSMakeRect(0, 0, 200, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
  mOwned.push_back(w);
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, LoggingProc);
  Wapi_vQOR_hwnd* a = makeView(nullptr, content, LoggingProc);
  Wapi_vQOR_hwnd* b = makeView(nullptr, content, LoggingProc);
  log().clear();
  DestroyWindow(H(content));
  std::vector<std::pair<HWND, UINT>> steps;
  for (const LoggedMessage& m : log()) steps.emplace_back(m.hwnd, m.msg);
  const std::vector<std::pair<HWND, UINT>> expected = {{H(content), WM_DESTROY},
                                                       {H(w), kOwnedWindowsDestroyed},
                                                       {H(a), WM_DESTROY},
                                                       {H(b), WM_DESTROY},
                                                       {H(w), kDestroyStuff}};
  EXPECT_EQ(steps, expected);
  EXPECT_FALSE(IsWindow(H(w)));
}

TEST_F(WindowViewTest, OwnersAnswerForParentAndOwner) {
  NSWindow* ownerWindow = makeWindow();
  Wapi_vQOR_hwnd* ownerView = makeView(nullptr, ownerWindow, nullptr);
  auto* w = new TopLevelWindow;
  w->initWithContentRect(NSMakeRect(0, 0, 200, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
  mOwned.push_back(w);
  EXPECT_EQ(GetParent(H(w->contentView())), nullptr) << "no owner";
  w->owner = ownerWindow;
  EXPECT_EQ(GetParent(H(w->contentView())), H(ownerView)) << "an owner window gives its content view";
  EXPECT_EQ(GetWindow(H(w), GW_OWNER), H(ownerWindow));
  NSButton* b = addControl<NSButton>(w->contentView(), 1);
  EXPECT_EQ(GetWindow(H(b), GW_OWNER), H(w->contentView()));
}

TEST_F(WindowViewTest, AFilePanelShowsTheViewAsItsAccessory) {
  NSSavePanel* panel = NSSavePanel::savePanel();
  Wapi_vQOR_hwnd* v = makeView(nullptr, panel, LoggingProc);
  EXPECT_EQ(panel->accessoryView(), v);
  EXPECT_FALSE(v->isHidden());
  panel->setAccessoryView(nullptr);
}

TEST_F(WindowViewTest, AControlIdChangesOnEveryViewThatKeepsATag) {
  Wapi_vQOR_hwnd* v = makeView(nullptr, makeWindow(), nullptr);
  Class classes[] = {Wapi_vQOR_box::class_(), Wapi_vQOR_textview::class_(), Wapi_vQOR_tabview::class_(),
                     Wapi_vQOR_progind::class_()};
  int id = 40;
  for (Class cls : classes) {
    auto* c = static_cast<NSView*>(cls->alloc());
    c->initWithFrame(NSMakeRect(0, 0, 10, 10));
    v->addSubview(c);
    c->release();
    SCOPED_TRACE(cls->name);
    ASSERT_EQ(SetWindowLong(H(c), GWL_ID, id), 0);
    EXPECT_EQ(GetWindowLong(H(c), GWL_ID), id);
    EXPECT_EQ(SetWindowLong(H(c), GWL_ID, id + 100), id);
    EXPECT_EQ(GetDlgItem(H(v), id + 100), H(c));
    ++id;
  }
}
