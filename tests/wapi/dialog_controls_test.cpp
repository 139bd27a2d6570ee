// Controls made from dialog descriptions and the layer's text classes: frames from dialog units,
// fonts by scale, control texts, the auto-right layout, edit forms, buttons and radio groups,
// custom creators, the edit messages of text views, label fading and repaint propagation.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-gdi.h"

#include <AppKit/AppKitStandin.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

class DialogControls : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    mOwner = makeView(nullptr, makeWindow(NSMakeRect(0, 0, 600, 400)), nullptr);
    parms(1.8f);
  }
  void parms(float scale, bool autoRight = false, bool fit = false) {
    WAPI_MakeSetCurParms(scale, scale, 0, 0, H(mOwner), autoRight, fit);
  }
  template <class T>
  static T* as(HWND h) {
    return wapiAs<T>(wapiObject(h));
  }
  static std::string text(HWND h) {
    char buffer[256];
    GetDlgItemText(h, 0, buffer, sizeof buffer);
    return buffer;
  }
  static NSRect frameOf(HWND h) { return as<NSView>(h)->frame(); }
  Wapi_vQOR_hwnd* mOwner = nullptr;
};

TEST_F(DialogControls, DialogUnitsBecomeFramesInTheOwner) {
  struct Case {
    const char* what;
    float xoff;
    int x, y, w, h;
    NSRect frame;
  } cases[] = {
      {"label row", 0, 10, 10, 200, 8, NSMakeRect(18, 18, 360, 14)},
      {"edit row, 21.6 rounds up", 0, 10, 20, 200, 12, NSMakeRect(18, 36, 360, 22)},
      {"button row, 25.2 rounds down", 0, 160, 60, 50, 14, NSMakeRect(288, 108, 90, 25)},
      {"x offset added before scaling", 2, 10, 10, 10, 10, NSMakeRect(22, 18, 18, 18)},
      {"pixels when both extents are negative", 0, -5, -6, -70, -20, NSMakeRect(5, 6, 70, 20)},
  };
  for (const Case& c : cases) {
    WAPI_MakeSetCurParms(1.8f, 1.8f, c.xoff, 0, H(mOwner), false, false);
    const NSRect f = frameOf(WAPI_MakeLabel(-1, "x", 0, c.x, c.y, c.w, c.h, 0));
    EXPECT_EQ(f.origin.x, c.frame.origin.x) << c.what;
    EXPECT_EQ(f.origin.y, c.frame.origin.y) << c.what;
    EXPECT_EQ(f.size.width, c.frame.size.width) << c.what;
    EXPECT_EQ(f.size.height, c.frame.size.height) << c.what;
  }
}

TEST_F(DialogControls, FontsFollowTheScaleAndTextsLoseTheirAmpersands) {
  struct FontCase {
    float scale;
    double points;  // 0: the platform default
  } fonts[] = {{1.8f, 10}, {1.81f, 0}, {0.9f, 8}, {1.0f, 10}};
  for (const FontCase& c : fonts) {
    parms(c.scale);
    auto* label = as<NSTextField>(WAPI_MakeLabel(0, "A", 0, 1, 1, 10, 10, 0));
    auto* button = as<NSButton>(WAPI_MakeButton(0, "B", 1, 1, 1, 10, 10, 0));
    if (c.points == 0) {
      EXPECT_EQ(label->font(), nullptr) << c.scale;
      EXPECT_EQ(button->font(), nullptr) << c.scale;
    } else {
      ASSERT_NE(label->font(), nullptr) << c.scale;
      EXPECT_EQ(label->font()->pointSize(), c.points) << c.scale;
      EXPECT_EQ(button->font()->pointSize(), c.points) << c.scale;
    }
  }
  struct TextCase {
    const char* given;
    const char* shown;
  } texts[] = {{"&Name", "Name"}, {"A&&B", "A&B"}, {"AB&", "AB"}, {"&OK    ", "OK    "}, {"plain", "plain"}};
  for (const TextCase& t : texts) {
    EXPECT_EQ(text(WAPI_MakeLabel(-1, t.given, 0, 0, 0, 5, 5, 0)), t.shown) << t.given;
    EXPECT_EQ(text(WAPI_MakeButton(0, t.given, 1, 0, 0, 5, 5, 0)), t.shown) << t.given;
  }
  const std::string longText = std::string(1100, 'a') + "&b";
  EXPECT_EQ(text(WAPI_MakeLabel(-1, longText.c_str(), 0, 0, 0, 5, 5, 0)).size(), 255u) << "long texts kept as given";
  EXPECT_EQ(text(WAPI_MakeButton(0, reinterpret_cast<const char*>(intptr_t(101)), 1, 0, 0, 5, 5, 0)), "ICONTEMP");
}

TEST_F(DialogControls, AutoRightShiftsTheNextControlByTheOverrun) {
  // A button sized to fit grows from its designed width to its text's: designed 15 narrower.
  parms(1.0f, false, true);
  const int fitted = int(frameOf(WAPI_MakeControl("Wide text", 9, "Button", 0, 0, 0, 10, 30, 0)).size.width);
  const int designed = fitted - 15;
  struct Case {
    const char* what;
    int x, y;
    int shiftedX;
  } cases[] = {
      {"next on the line, within 32 pixels", 10 + designed + 5, 10, 10 + designed + 5 + 15},
      {"too far right", 10 + designed + 40, 10, 10 + designed + 40},
      {"below the first's middle", 10 + designed + 5, 40, 10 + designed + 5},
  };
  for (const Case& c : cases) {
    parms(1.0f, true, true);
    HWND first = WAPI_MakeControl("Wide text", 1, "Button", 0, 10, 10, designed, 30, 0);
    ASSERT_EQ(int(frameOf(first).size.width), fitted) << c.what;
    EXPECT_EQ(frameOf(WAPI_MakeButton(0, "x", 2, c.x, c.y, 20, 30, 0)).origin.x, c.shiftedX) << c.what;
  }
}

TEST_F(DialogControls, EditFormsAndTheirScrollViews) {
  HWND field = WAPI_MakeEditField(5, 0, 0, 50, 12, ES_RIGHT);
  ASSERT_TRUE(as<Wapi_vQOR_textfield>(field));
  EXPECT_TRUE(as<NSTextField>(field)->isEditable());
  EXPECT_EQ(as<NSTextField>(field)->alignment(), NSRightTextAlignment);
  EXPECT_FALSE(as<NSTextField>(field)->cell()->wraps()) << "under 20 units: one line";
  EXPECT_TRUE(as<NSSecureTextField>(WAPI_MakeEditField(6, 0, 0, 50, 12, ES_PASSWORD)));
  EXPECT_FALSE(as<NSTextField>(WAPI_MakeEditField(7, 0, 0, 50, 12, ES_READONLY))->isEditable());
  HWND scroll = WAPI_MakeEditField(8, 0, 0, 100, 50, WS_VSCROLL);
  ASSERT_TRUE(as<NSScrollView>(scroll)) << "the scroll view is returned";
  auto* inside = wapiAs<Wapi_vQOR_textview>(as<NSScrollView>(scroll)->documentView());
  ASSERT_TRUE(inside);
  EXPECT_EQ(GetDlgItem(H(mOwner), 8), H(inside)) << "found by the text view's id";
  EXPECT_FALSE(as<NSScrollView>(scroll)->hasHorizontalScroller());
  EXPECT_TRUE(inside->isVerticallyResizable());
  auto* direct = as<Wapi_vQOR_textview>(WAPI_MakeEditField(9, 0, 0, 100, 50, WS_HSCROLL));
  ASSERT_TRUE(direct) << "WS_HSCROLL alone: the text view itself";
  EXPECT_EQ(direct->superview(), mOwner);
  EXPECT_TRUE(as<NSView>(WAPI_MakeEditField(10, 0, 0, 5, 5, int(WAPI_STYLE_HIDDEN)))->isHidden());
}

TEST_F(DialogControls, ButtonsByStyleAndTheirRadioGroups) {
  struct Case {
    int style;
    NSButtonType type;
    LONG_PTR windowStyle;
  } cases[] = {
      {0x08000000, NSMomentaryPushInButton, BS_AUTOCHECKBOX | WS_CHILD},
      {int(BS_AUTOCHECKBOX), NSSwitchButton, BS_AUTOCHECKBOX | WS_CHILD},
      {int(BS_AUTO3STATE), NSSwitchButton, BS_AUTO3STATE | WS_CHILD},
      {int(BS_AUTORADIOBUTTON | WS_GROUP), NSRadioButton, BS_AUTORADIOBUTTON | WS_GROUP | WS_CHILD},
  };
  for (const Case& c : cases) {
    HWND b = WAPI_MakeControl("B", 20, "button", c.style, 0, 0, 20, 10, 0);
    ASSERT_TRUE(as<Wapi_vQOR_button>(b)) << c.style;
    EXPECT_EQ(as<NSButton>(b)->buttonType(), c.type) << c.style;
    EXPECT_EQ(GetWindowLong(b, GWL_STYLE), c.windowStyle) << c.style;
  }
  EXPECT_TRUE(as<Wapi_vQOR_box>(WAPI_MakeControl("G", 21, "Button", 0x20000000, 0, 0, 20, 10, 0)));
  HWND check = WAPI_MakeCheckBox("&Loop", 23, 0, 0, 20, 10, int(0x80000000u));
  ASSERT_TRUE(as<Wapi_vQOR_button>(check));
  EXPECT_EQ(as<NSButton>(check)->buttonType(), NSSwitchButton);
  EXPECT_TRUE(as<NSButton>(check)->isHidden());
  EXPECT_EQ(GetDlgItem(H(mOwner), 23), check);
  EXPECT_EQ(WAPI_MakeControl("", 22, "SysFancyThing", 0, 0, 0, 5, 5, 0), nullptr);

  // Two groups of three: clicking the middle of the first leaves the second alone.
  auto* fresh = makeView(nullptr, makeWindow(), nullptr);
  WAPI_MakeSetCurParms(1, 1, 0, 0, H(fresh), false, false);
  std::vector<Wapi_vQOR_button*> radios;
  for (int i = 0; i < 6; ++i)
    radios.push_back(as<Wapi_vQOR_button>(
        WAPI_MakeControl("r", 30 + i, "Button", int(BS_AUTORADIOBUTTON | ((i % 3 == 0) ? WS_GROUP : LONG_PTR(0))), 0,
                         10 * i, 20, 10, 0)));
  for (Wapi_vQOR_button* r : radios) r->setState(NSOnState);
  wapiUpdateRadioGroup(radios[1]);
  const int expected[6] = {0, 1, 0, 1, 1, 1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(radios[size_t(i)]->state(), expected[i]) << i;
  // A group's first button turns off only the buttons after it.
  for (Wapi_vQOR_button* r : radios) r->setState(NSOnState);
  wapiUpdateRadioGroup(radios[3]);
  const int second[6] = {1, 1, 1, 1, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(radios[size_t(i)]->state(), second[i]) << i;
  SetWindowLong(H(radios[4]), GWL_STYLE, BS_AUTOCHECKBOX);
  EXPECT_EQ(radios[4]->wapiGetRadioFlags(), 0);
}

HWND gCreatorAnswer = nullptr;
int gCreatorCalls = 0;
int gCreatorGot[4];
HWND Creator(HWND, const char*, int, const char* className, int, int x, int y, int w, int h) {
  ++gCreatorCalls;
  const int got[4] = {x, y, w, h};
  std::memcpy(gCreatorGot, got, sizeof got);
  return std::strcmp(className, "Mine") == 0 ? gCreatorAnswer : nullptr;
}

TEST_F(DialogControls, CustomCreatorsAreAskedFirstAndCounted) {
  gCreatorAnswer = makeView(nullptr, mOwner, nullptr) ? H(mOwner->subviews().back()) : nullptr;
  WAPI_RegisterCustomControlCreator(Creator);
  WAPI_RegisterCustomControlCreator(Creator);
  WAPI_UnregisterCustomControlCreator(Creator);
  gCreatorCalls = 0;
  EXPECT_EQ(WAPI_MakeControl("t", 1, "Mine", 0, 10, 10, 20, 10, int(WS_EX_ACCEPTFILES)), gCreatorAnswer);
  EXPECT_EQ(gCreatorCalls, 1) << "registered twice, unregistered once: still there";
  const int pixels[4] = {18, 18, 36, 18};
  EXPECT_EQ(std::memcmp(gCreatorGot, pixels, sizeof pixels), 0) << "pixel coordinates";
  EXPECT_EQ(GetWindowLong(gCreatorAnswer, GWL_EXSTYLE), WS_EX_ACCEPTFILES);
  EXPECT_TRUE(as<Wapi_vQOR_textfield>(WAPI_MakeControl("s", 2, "Static", 0, 0, 0, 5, 5, 0))) << "others fall through";
  WAPI_UnregisterCustomControlCreator(Creator);
  gCreatorCalls = 0;
  EXPECT_EQ(WAPI_MakeControl("t", 1, "Mine", 0, 10, 10, 20, 10, 0), nullptr);
  EXPECT_EQ(gCreatorCalls, 0);
}

TEST_F(DialogControls, MakersWithoutALiveOwnerMakeNothing) {
  WAPI_MakeSetCurParms(1, 1, 0, 0, nullptr, false, false);
  EXPECT_EQ(WAPI_MakeLabel(0, "x", 0, 0, 0, 5, 5, 0), nullptr);
  struct Case {
    const char* what;
    bool keepAlive;
  } cases[] = {{"freed", false}, {"destroyed but still held", true}};
  for (const Case& c : cases) {
    auto* gone = makeView(nullptr, mOwner, nullptr);
    if (c.keepAlive) gone->retain();
    WAPI_MakeSetCurParms(1, 1, 0, 0, H(gone), false, false);
    DestroyWindow(H(gone));
    EXPECT_EQ(WAPI_MakeButton(0, "x", 1, 0, 0, 5, 5, 0), nullptr) << c.what;
    EXPECT_EQ(WAPI_MakeEditField(1, 0, 0, 5, 5, 0), nullptr) << c.what;
    if (c.keepAlive) gone->release();
  }
}

TEST_F(DialogControls, DisabledLabelsFadeAndFieldsOnlyStop) {
  auto* label = as<NSTextField>(WAPI_MakeLabel(-1, "Bank Name", 0, 0, 0, 50, 8, 0));
  auto* field = as<NSTextField>(WAPI_MakeEditField(3, 0, 10, 50, 12, 0));
  EnableWindow(H(label), false);
  EnableWindow(H(field), false);
  ASSERT_NE(label->textColor(), nullptr);
  EXPECT_EQ(label->textColor()->alphaComponent(), 0.5);
  EXPECT_FALSE(field->isEnabled());
  EXPECT_EQ(field->textColor(), nullptr);
  EnableWindow(H(label), true);
  EXPECT_EQ(label->textColor()->alphaComponent(), 1.0);
}

TEST_F(DialogControls, TextViewsAnswerTheEditMessages) {
  auto* scroll = as<NSScrollView>(WAPI_MakeEditField(4, 0, 0, 100, 50, WS_VSCROLL));
  auto* tv = wapiAs<Wapi_vQOR_textview>(scroll->documentView());
  const HWND h = H(tv);
  EXPECT_EQ(SendMessage(h, EM_SCROLL, SB_BOTTOM, 0), 0);
  EXPECT_EQ(tv->scrolledStart(), 0u) << "an empty view scrolls to 0";
  tv->setString(NSString::stringWithUTF8String("Hello, world"));
  struct Case {
    int start, end;
    size_t selStart, selLength;
  } cases[] = {{-1, 5, 0, 0}, {2, -1, 2, 10}, {50, 60, 12, 0}, {8, 3, 3, 5}, {0, -7, 0, 0}};
  for (const Case& c : cases) {
    SendMessage(h, EM_SETSEL, WPARAM(intptr_t(c.start)), LPARAM(c.end));
    EXPECT_EQ(tv->selectionStart(), c.selStart) << c.start << "," << c.end;
    EXPECT_EQ(tv->selectionLength(), c.selLength) << c.start << "," << c.end;
  }
  SendMessage(h, EM_SETSEL, 2, 5);
  int a = -1, b = -1;
  SendMessage(h, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 5);
  EXPECT_EQ(SendMessage(h, EM_GETSEL, 0, 0), 0) << "null pointers: nothing written";
  SendMessage(h, EM_SCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(tv->scrolledStart(), 12u);
  SendMessage(h, EM_SCROLL, SB_TOP, 0);
  EXPECT_EQ(tv->scrolledStart(), 0u);
  HGDIOBJ font = CreateFont(-20, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  SendMessage(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  ASSERT_NE(tv->font(), nullptr);
  EXPECT_EQ(tv->font()->pointSize(), 20);
  NSFont* before = tv->font();
  HGDIOBJ brush = CreateSolidBrush(0);
  SendMessage(h, WM_SETFONT, reinterpret_cast<WPARAM>(brush), 0);
  DeleteObject(brush);
  SendMessage(h, WM_SETFONT, 3, 0);
  EXPECT_EQ(tv->font(), before) << "anything but a font object is ignored";
  DeleteObject(font);
}

TEST_F(DialogControls, MarkingATextViewDirtyMarksItsLayerAncestorsUpToAMarkedOne) {
  std::vector<Wapi_vQOR_hwnd*> chain = makeCleanChain(nullptr);
  NSView* plain = addControl<NSView>(chain[2], 0);
  WAPI_MakeSetCurParms(1, 1, 0, 0, H(plain), false, false);
  auto* tv = as<Wapi_vQOR_textview>(WAPI_MakeEditField(1, 0, 0, 20, 20, WS_HSCROLL));
  for (Wapi_vQOR_hwnd* v : chain) v->wapiSetDirtyBits(0);
  chain[0]->wapiSetDirtyBits(2);
  tv->setNeedsDisplay(true);
  EXPECT_EQ(chain[2]->wapiDirtyBits(), 2) << "a plain view between is passed over";
  EXPECT_EQ(chain[1]->wapiDirtyBits(), 2);
  EXPECT_EQ(chain[0]->wapiDirtyBits(), 2);
  for (Wapi_vQOR_hwnd* v : chain) v->wapiSetDirtyBits(0);
  tv->setNeedsDisplay(false);
  EXPECT_EQ(chain[2]->wapiDirtyBits(), 0) << "no walk for a false flag";
  tv->setNeedsDisplayInRect(NSMakeRect(0, 0, 1, 1));
  EXPECT_EQ(chain[2]->wapiDirtyBits(), 2);
}

}  // namespace

namespace {

TEST_F(DialogControls, ClicksUpdateTheRadioGroupThenTellTheDialogAndReturnClicksTheDefault) {
  NSWindow* w = makeWindow();
  w->makeKeyAndOrderFront(nullptr);
  Wapi_vQOR_hwnd* dialog = makeView(nullptr, w, LoggingProc);
  dialog->setHidden(false);
  WAPI_MakeSetCurParms(1, 1, 0, 0, H(dialog), false, false);
  auto* first =
      as<Wapi_vQOR_button>(WAPI_MakeControl("a", 41, "Button", int(BS_AUTORADIOBUTTON | WS_GROUP), 0, 0, 20, 10, 0));
  auto* second = as<Wapi_vQOR_button>(WAPI_MakeControl("b", 42, "Button", int(BS_AUTORADIOBUTTON), 0, 20, 20, 10, 0));
  first->setState(NSOnState);
  log().clear();
  ns_standin::mouseAtView(second, NSLeftMouseDown, NSMakePoint(5, 5));
  EXPECT_EQ(second->state(), NSOnState);
  EXPECT_EQ(first->state(), NSOffState) << "turned off before the dialog hears of it";
  ASSERT_FALSE(log().empty());
  EXPECT_EQ(log()[0].msg, WM_COMMAND) << "the click's command comes first, then the display pass";
  EXPECT_EQ(log()[0].wParam, 42u);

  HWND ok = WAPI_MakeControl("OK", 43, "Button", 0x10000000, 0, 40, 40, 14, 0);
  ASSERT_NE(w->defaultButtonCell(), nullptr);
  EXPECT_EQ(H(w->defaultButtonCell()->controlView()), ok);
  HWND field = WAPI_MakeEditField(44, 0, 60, 60, 12, 0);
  ns_standin::mouseAtView(as<NSView>(field), NSLeftMouseDown, NSMakePoint(5, 5));
  log().clear();
  ns_standin::keyToWindow(w, NSKeyDown, 36, "\r");
  bool okHeard = false;
  for (const LoggedMessage& m : log()) okHeard |= m.msg == WM_COMMAND && m.wParam == 43u;
  EXPECT_TRUE(okHeard) << "Return clicks the default button";
}

}  // namespace

namespace {

intptr_t W(const char* text) {
  return reinterpret_cast<intptr_t>(text);
}

TEST_F(DialogControls, ListRowsOfBothLayoutsMakeTheirControls) {
  const WAPI_DialogListRow rows[] = {
      {{W("__WAPI_CHECKBOX"), 0, W("&Check"), 51, 10, 10, 60, 10, 0}},
      {{W("__WAPI_GROUP"), 0, W("Group"), 52, 5, 5, 100, 50, int(BS_LEFT | BS_RIGHT)}},
      {{W("Name:"), 53, W("static"), int(SS_RIGHT), 10, 30, 40, 8, 0}},
      {{W("skipped"), 54, W(""), 0, 10, 40, 40, 8, 0}},
      {{W("x"), 55, W("SysUnknown32"), 0, 10, 40, 40, 8, 0}},
      {{W("__WAPI_EDIT"), 0, W(""), 56, 10, 50, 40, 12, int(ES_CENTER)}},
  };
  parms(1.0f);
  WAPI_GenerateDialogFromList(rows, 6);
  WAPI_GenerateDialogFromList(rows, 0);
  ASSERT_EQ(mOwner->subviews().size(), 4u);
  EXPECT_TRUE(as<Wapi_vQOR_box>(H(mOwner->subviews().front()))) << "the group box below all";
  EXPECT_EQ(as<NSButton>(GetDlgItem(H(mOwner), 51))->buttonType(), NSSwitchButton);
  EXPECT_EQ(text(GetDlgItem(H(mOwner), 51)), "Check");
  EXPECT_EQ(frameOf(GetDlgItem(H(mOwner), 52)).origin.y, 4) << "a group box starts a unit higher";
  EXPECT_EQ(frameOf(GetDlgItem(H(mOwner), 52)).size.height, 53);
  EXPECT_EQ(as<Wapi_vQOR_box>(GetDlgItem(H(mOwner), 52))->titleCell()->alignment(), NSCenterTextAlignment);
  EXPECT_EQ(as<NSTextField>(GetDlgItem(H(mOwner), 53))->alignment(), NSRightTextAlignment);
  EXPECT_FALSE(as<NSTextField>(GetDlgItem(H(mOwner), 53))->isEditable());
  EXPECT_EQ(GetDlgItem(H(mOwner), 54), nullptr);
  EXPECT_EQ(GetDlgItem(H(mOwner), 55), nullptr);
  EXPECT_EQ(as<NSTextField>(GetDlgItem(H(mOwner), 56))->alignment(), NSCenterTextAlignment);
}

}  // namespace
