// Combo controls, track bars and owner-drawn buttons: filling and querying by dialog and control
// id, the same through the combo-box messages, the combo and slider makers, the track-bar
// messages on a control that answers them, and a button whose parent draws it.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-combo.h"
#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-imagelist.h"
#include "kit/wapi/wapi-listview.h"
#include "tests/support/tempdir.h"
#include "tests/support/window_screenshot.h"

#include <AppKit/AppKitStandin.h>
#include <CoreFoundation/CFPresenter.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kCombo = 30, kPopup = 31;

class Combos : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    mDialog = makeView(nullptr, makeWindow(NSMakeRect(0, 0, 400, 300)), LoggingProc);
    WAPI_MakeSetCurParms(1.0f, 1.0f, 0, 0, H(mDialog), false, false);
  }
  template <class T>
  static T* as(HWND h) {
    return wapiAs<T>(wapiObject(h));
  }
  HWND dlg() const { return H(mDialog); }
  std::string item(int id, int index) const {
    char buffer[64];
    WAPI_CB_GetItemText(dlg(), id, index, buffer, sizeof buffer);
    return buffer;
  }
  Wapi_vQOR_hwnd* mDialog = nullptr;
};

TEST_F(Combos, TheMakerGivesAComboBoxOrAPopUpOfFixedHeight) {
  struct Case {
    int style, h;
    bool popup;
    double height;
  } cases[] = {{CBS_SORT, 5, false, 22},
               {0, 80, false, 22},
               {CBS_DROPDOWNLIST, 80, true, 18},
               {CBS_DROPDOWNLIST | CBS_SORT, 3, true, 18}};
  for (const Case& c : cases) {
    HWND h = WAPI_MakeCombo(kCombo, 10, 10, 100, c.h, c.style);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(as<Wapi_vQOR_pub>(h) != nullptr, c.popup) << c.style;
    EXPECT_EQ(as<Wapi_vQOR_cbox>(h) != nullptr, !c.popup) << c.style;
    EXPECT_EQ(as<NSView>(h)->frame().size.height, c.height) << c.style;
    EXPECT_EQ(GetWindowLong(h, GWL_STYLE), c.style) << "the style word is kept";
    DestroyWindow(h);
  }
  const WAPI_DialogListRow rows[] = {
      {{reinterpret_cast<intptr_t>("__WAPI_COMBO"), 0, 0, kPopup, 10, 40, 80, 12, CBS_DROPDOWNLIST}}};
  WAPI_GenerateDialogFromList(rows, 1);
  EXPECT_NE(as<Wapi_vQOR_pub>(GetDlgItem(dlg(), kPopup)), nullptr) << "a list row makes a combo";
}

TEST_F(Combos, ASortedAddTakesItsPlaceAndTheItemDataMovesAlong) {
  WAPI_MakeCombo(kCombo, 10, 10, 100, 12, CBS_SORT);
  WAPI_MakeCombo(kPopup, 10, 40, 100, 12, CBS_SORT | CBS_DROPDOWNLIST);
  for (int id : {kCombo, kPopup}) {
    EXPECT_EQ(WAPI_CB_AddString(dlg(), id, "a"), 0) << id;
    EXPECT_EQ(WAPI_CB_AddString(dlg(), id, "c"), 1) << id;
    WAPI_CB_SetItemData(dlg(), id, 1, 77);
    EXPECT_EQ(WAPI_CB_AddString(dlg(), id, "b"), 1) << id;
    EXPECT_EQ(item(id, 2), "c") << id;
    EXPECT_EQ(WAPI_CB_GetItemData(dlg(), id, 2), 77) << id;
    EXPECT_EQ(WAPI_CB_GetItemData(dlg(), id, 1), 0) << id;
    EXPECT_EQ(WAPI_CB_AddString(dlg(), id, "0"), 0) << id << ": before every item";
    EXPECT_EQ(WAPI_CB_AddString(dlg(), id, "d"), 4) << id << ": after every item";
    EXPECT_EQ(WAPI_CB_InsertString(dlg(), id, -7, "z"), 0) << id << ": an insert is never sorted";
    EXPECT_EQ(WAPI_CB_InsertString(dlg(), id, 99, "y"), 6) << id << ": clamped to the count";
    EXPECT_EQ(WAPI_CB_GetNumItems(dlg(), id), 7) << id;
    EXPECT_EQ(WAPI_CB_GetItemData(dlg(), id, 4), 77) << id << ": still with \"c\"";
    WAPI_CB_DeleteString(dlg(), id, 0);
    EXPECT_EQ(WAPI_CB_GetItemData(dlg(), id, 3), 77) << id << ": deleting moves the data too";
    WAPI_CB_DeleteString(dlg(), id, 6);
    EXPECT_EQ(WAPI_CB_GetNumItems(dlg(), id), 6) << id << ": a bad index removes nothing";
    WAPI_CB_Empty(dlg(), id);
    EXPECT_EQ(WAPI_CB_GetNumItems(dlg(), id), 0) << id;
    EXPECT_EQ(WAPI_CB_AddString(dlg(), id, "q"), 0) << id;
    EXPECT_EQ(WAPI_CB_GetItemData(dlg(), id, 0), 0) << id << ": emptied data does not come back";
  }
  EXPECT_EQ(as<NSComboBox>(GetDlgItem(dlg(), kCombo))->numberOfVisibleItems(), 1);
}

TEST_F(Combos, FindingSelectingAndReadingItems) {
  WAPI_MakeCombo(kCombo, 10, 10, 100, 12, 0);
  WAPI_MakeCombo(kPopup, 10, 40, 100, 12, CBS_DROPDOWNLIST);
  for (int id : {kCombo, kPopup}) {
    for (const char* t : {"Alpha", "beta", "ALPHABET", "Gamma"}) WAPI_CB_AddString(dlg(), id, t);
    struct Find {
      int start;
      const char* text;
      bool exact;
      int found;
    } finds[] = {
        {-1, "alpha", false, 0}, {0, "alpha", false, 2},  {0, "ALPHA", true, -1},
        {-5, "BETA", true, 1},   {2, "alpha", false, -1}, {-1, "", false, 0},
    };
    for (const Find& f : finds)
      EXPECT_EQ(WAPI_CB_FindString(dlg(), id, f.start, f.text, f.exact), f.found)
          << id << " from " << f.start << " " << f.text;
    EXPECT_EQ(WAPI_CB_GetCurSel(dlg(), id), -1) << id;
    WAPI_CB_SetCurSel(dlg(), id, 3);
    WAPI_CB_SetCurSel(dlg(), id, 4);
    WAPI_CB_SetCurSel(dlg(), id, -1);
    EXPECT_EQ(WAPI_CB_GetCurSel(dlg(), id), 3) << id << ": out-of-range selections change nothing";

    HWND h = GetDlgItem(dlg(), id);
    EXPECT_EQ(SendMessage(h, CB_GETCOUNT, 0, 0), 4) << id;
    EXPECT_EQ(SendMessage(h, CB_GETLBTEXTLEN, 1, 0), 0) << id;
    SendMessage(h, CB_SETCURSEL, 4, 0);
    EXPECT_EQ(SendMessage(h, CB_GETCURSEL, 0, 0), 3) << id << ": the count is past the end";
    SendMessage(h, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(SendMessage(h, CB_GETCURSEL, 0, 0), 1) << id;
    char text[1100];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(SendMessage(h, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text)), 1) << id;
    EXPECT_STREQ(text, "ALPHABET") << id;
    EXPECT_EQ(SendMessage(h, CB_GETLBTEXT, 9, reinterpret_cast<LPARAM>(text)), 0) << id;
    EXPECT_STREQ(text, "") << id;
    EXPECT_EQ(SendMessage(h, CB_FINDSTRING, WPARAM(-1), reinterpret_cast<LPARAM>("gam")), 3) << id;
    EXPECT_EQ(SendMessage(h, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>("gamma")), 3) << id;
    EXPECT_EQ(SendMessage(h, CB_FINDSTRING, 0, 0), -1) << id << ": no text";
    EXPECT_EQ(SendMessage(h, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("first")), 0) << id;
    EXPECT_EQ(SendMessage(h, CB_SETITEMDATA, 0, 1234), 0) << id;
    EXPECT_EQ(SendMessage(h, CB_GETITEMDATA, 0, 0), 1234) << id;
    EXPECT_EQ(SendMessage(h, CB_DELETESTRING, 0, 0), 1) << id;
    EXPECT_EQ(SendMessage(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("last")), 4) << id;
    EXPECT_EQ(SendMessage(h, CB_RESETCONTENT, 0, 0), 0) << id;
    EXPECT_EQ(SendMessage(h, CB_GETCOUNT, 0, 0), 0) << id;
  }
}

TEST_F(Combos, AMissingControlLeavesAnEmptyTextAndNeutralAnswers) {
  char buffer[8] = "junk";
  EXPECT_EQ(WAPI_CB_GetItemText(dlg(), 99, 0, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  std::strcpy(buffer, "junk");
  WAPI_MakeCombo(kCombo, 10, 10, 100, 12, 0);
  WAPI_CB_AddString(dlg(), kCombo, "long item");
  EXPECT_EQ(WAPI_CB_GetItemText(dlg(), kCombo, 0, buffer, 0), 1);
  EXPECT_STREQ(buffer, "junk") << "a buffer of size 0 is not written";
  EXPECT_EQ(WAPI_CB_GetItemText(dlg(), kCombo, 0, buffer, 5), 1);
  EXPECT_STREQ(buffer, "long") << "cut to the size";
  EXPECT_EQ(WAPI_CB_GetCurSel(dlg(), 99), -1);
  EXPECT_EQ(WAPI_CB_GetNumItems(dlg(), 99), 0);
  EXPECT_EQ(WAPI_CB_AddString(dlg(), 99, "a"), 0);
  EXPECT_EQ(WAPI_CB_FindString(dlg(), 99, -1, "a", false), 0);
  EXPECT_EQ(WAPI_CB_GetItemData(dlg(), 99, 0), 0);
}

// A track bar of the layer's own: answers the track-bar messages.
LRESULT TrackProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  return m == TBM_GETPOS ? 321 : 0;
}

TEST_F(Combos, TrackBarsAnswerOnSlidersAndThroughMessages) {
  Wapi_vQOR_hwnd* track = makeView(nullptr, mDialog, TrackProc);
  track->setTag(40);
  log().clear();
  WAPI_TB_SetRange(dlg(), 40, 0, 100);
  WAPI_TB_SetPos(dlg(), 40, 42);
  WAPI_TB_SetTic(dlg(), 40, 7);
  EXPECT_EQ(WAPI_TB_GetPos(dlg(), 40), 321);
  struct Sent {
    UINT msg;
    WPARAM w;
    LPARAM l;
  } sent[] = {{TBM_SETRANGE, 1, 0x00640000}, {TBM_SETPOS, 1, 42}, {TBM_SETTIC, 0, 7}, {TBM_GETPOS, 0, 0}};
  ASSERT_EQ(log().size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(log()[i].msg, sent[i].msg) << i;
    EXPECT_EQ(log()[i].wParam, sent[i].w) << i;
    EXPECT_EQ(log()[i].lParam, sent[i].l) << i;
  }
  log().clear();
  WAPI_TB_SetRange(dlg(), 40, -1, 2);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(uint32_t(log()[0].lParam), 0x0002FFFFu) << "the minimum keeps its low 16 bits";

  auto* mini = as<NSSlider>(WAPI_MakeControl("", 41, "msctls_trackbar32", 0, 0, 0, 100, 20, 0));
  auto* fader = as<NSSlider>(WAPI_MakeControl("", 42, "VORHALhfader", 0, 0, 30, 100, 20, 0));
  ASSERT_TRUE(mini && fader);
  EXPECT_EQ(mini->minValue(), 0);
  EXPECT_EQ(mini->maxValue(), 1000);
  EXPECT_EQ(mini->controlSize(), 2u) << "the track bar is mini";
  EXPECT_EQ(fader->controlSize(), 0u);
  WAPI_TB_SetRange(dlg(), 41, 5, 50);
  EXPECT_EQ(mini->minValue(), 5);
  EXPECT_EQ(mini->maxValue(), 50);
  mini->setDoubleValue(7.5);
  EXPECT_EQ(WAPI_TB_GetPos(dlg(), 41), 8);
  WAPI_TB_SetPos(dlg(), 41, 12);
  EXPECT_EQ(mini->doubleValue(), 12);
  EXPECT_EQ(WAPI_TB_GetPos(dlg(), 99), 0);
}

TEST_F(Combos, ComboControlsMarkTheirLayerViewsForRepaint) {
  for (int style : {0, int(CBS_DROPDOWNLIST)}) {
    std::vector<Wapi_vQOR_hwnd*> chain = makeCleanChain(nullptr);
    WAPI_MakeSetCurParms(1.0f, 1.0f, 0, 0, H(chain.back()), false, false);
    HWND h = WAPI_MakeCombo(kCombo, 0, 0, 50, 12, style);
    for (Wapi_vQOR_hwnd* v : chain) v->wapiSetDirtyBits(0);
    as<NSView>(h)->setNeedsDisplay(true);
    for (Wapi_vQOR_hwnd* v : chain) EXPECT_EQ(v->wapiDirtyBits() & 2, 2) << style;
  }
}

HGDIOBJ gOwnerBrush = nullptr;
DRAWITEMSTRUCT gDrawn{};
int gDrawCount = 0;

LRESULT OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_DRAWITEM) {
    gDrawn = *reinterpret_cast<DRAWITEMSTRUCT*>(l);
    ++gDrawCount;
    RECT inner = gDrawn.rcItem;
    inner.left += 4, inner.top += 4, inner.right -= 4, inner.bottom -= 4;
    WAPI_FillRect(gDrawn.hDC, &inner, gOwnerBrush);
  }
  return 0;
}

TEST_F(Combos, AnOwnerDrawnButtonIsDrawnByItsParent) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 300, 200));
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, OwnerProc);
  content->setHidden(false);
  WAPI_MakeSetCurParms(1.0f, 1.0f, 0, 0, H(content), false, true);
  HWND button = WAPI_MakeControl("Owned", 55, "Button", BS_OWNERDRAW, 20, 30, 120, 40, 0);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(as<NSView>(button)->frame().size.width, 120) << "owner-drawn buttons are not sized to fit";
  WAPI_MakeSetCurParms(1.0f, 1.0f, 0, 0, H(content), false, false);
  WAPI_MakeCombo(kPopup, 160, 30, 120, 12, CBS_DROPDOWNLIST);
  WAPI_CB_AddString(H(content), kPopup, "Pop-up item");
  WAPI_CB_SetCurSel(H(content), kPopup, 0);
  HWND box = WAPI_MakeCombo(kCombo, 160, 80, 120, 12, 0);
  SetDlgItemText(box, 0, "Combo text");
  gOwnerBrush = CreateSolidBrush(0x2060C0);
  gDrawCount = 0;
  ASSERT_TRUE(InvalidateRect(H(content), nullptr));
  ns_standin::displayWindows();
  DeleteObject(gOwnerBrush);

  ASSERT_EQ(gDrawCount, 1);
  EXPECT_EQ(gDrawn.CtlType, UINT(ODT_BUTTON));
  EXPECT_EQ(gDrawn.CtlID, 55u);
  EXPECT_EQ(gDrawn.hwndItem, button);
  EXPECT_EQ(gDrawn.itemID, 0u);
  EXPECT_EQ(gDrawn.itemData, 0u);
  EXPECT_EQ(gDrawn.rcItem.left, 0);
  EXPECT_EQ(gDrawn.rcItem.top, 0);
  EXPECT_EQ(gDrawn.rcItem.right, 120);
  EXPECT_EQ(gDrawn.rcItem.bottom, 40);

  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::writeWindowScreenshot(w, dir.file("owner.png")));
  if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR"))
    testsupport::writeWindowScreenshot(w, std::string(keep) + "/wapi_owner_drawn.png");
  CGContextRef store = w->backingStore();
  auto pixel = [&](int x, int y) {
    const auto* p = static_cast<const uint8_t*>(CGBitmapContextGetData(store)) +
                    size_t(y) * CGBitmapContextGetBytesPerRow(store) + size_t(x) * 4;
    return p[1] << 16 | p[2] << 8 | p[3];
  };
  EXPECT_EQ(pixel(80, 50), 0x2060C0) << "the procedure's fill";
  EXPECT_NE(pixel(21, 31), 0x2060C0) << "the fill stays inside its inset";
}

TEST_F(Combos, ButtonImagesRoundTrip) {
  HWND button = WAPI_MakeButton(0, "Pic", 60, 10, 10, 60, 20, 0);
  const uint32_t pixels[4] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0x80FFFFFF};
  HGDIOBJ image = CreateBitmap(2, 2, 1, 32, pixels);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(SendMessage(button, BM_GETIMAGE, 0, 0), 0);
  EXPECT_EQ(SendMessage(button, BM_SETIMAGE, 0, reinterpret_cast<LPARAM>(image)), 0);
  EXPECT_EQ(SendMessage(button, BM_GETIMAGE, 0, 0), reinterpret_cast<LRESULT>(image));
  NSImage* shown = as<NSButton>(button)->image();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->size().width, 2);
  EXPECT_EQ(SendMessage(button, BM_GETIMAGE, 2, 0), 0) << "wParam above 1";
  EXPECT_EQ(SendMessage(button, BM_SETIMAGE, 1, LPARAM(2)), reinterpret_cast<LRESULT>(image))
      << "a pseudo-handle is no image";
  EXPECT_EQ(SendMessage(button, BM_GETIMAGE, 0, 0), 0);
  EXPECT_EQ(as<NSButton>(button)->image(), nullptr);
  HWND plain = H(addControl<NSButton>(mDialog, 61));
  EXPECT_EQ(SendMessage(plain, BM_SETIMAGE, 0, reinterpret_cast<LPARAM>(image)), 0) << "only the layer's buttons";
  EXPECT_EQ(as<NSButton>(plain)->image(), nullptr);
  DeleteObject(image);
}

}  // namespace

TEST_F(Combos, AComboBoxTellsItsOwnerOfThePopUpThePickAndTypingButNotTheEndOfEditing) {
  cf_standin::Presenter presenter;
  cf_standin::Presenter* previous = cf_standin::setPresenter(&presenter);
  NSWindow* window = mDialog->window();
  window->makeKeyAndOrderFront(nullptr);
  mDialog->setHidden(false);
  HWND h = WAPI_MakeCombo(kCombo, 10, 10, 100, 80, 0);
  for (const char* t : {"one", "two", "three"}) WAPI_CB_AddString(dlg(), kCombo, t);
  auto* box = as<Wapi_vQOR_cbox>(h);
  auto commands = [&] {
    std::string out;
    for (const LoggedMessage& m : log())
      if (m.msg == WM_COMMAND && LOWORD(m.wParam) == kCombo && m.lParam == LPARAM(box))
        out += (out.empty() ? "" : " ") + std::to_string(HIWORD(m.wParam));
    return out;
  };
  const NSPoint arrow = NSMakePoint(box->bounds().size.width - 4, 5);
  presenter.menuAnswers = {{2}, {2}, {}};
  log().clear();
  ns_standin::mouseAtView(box, NSLeftMouseDown, arrow);
  EXPECT_EQ(commands(), "7 1") << "the list pops up, then the pick";
  EXPECT_STREQ(box->stringValue()->UTF8String(), "three");
  log().clear();
  ns_standin::mouseAtView(box, NSLeftMouseDown, arrow);
  ns_standin::mouseAtView(box, NSLeftMouseDown, arrow);
  EXPECT_EQ(commands(), "7 7") << "the same pick and a dismissed list change nothing";
  ns_standin::mouseAtView(box, NSLeftMouseDown, NSMakePoint(5, 5));
  ASSERT_NE(box->currentEditor(), nullptr);
  log().clear();
  ns_standin::keyToWindow(window, NSKeyDown, 0, "a");
  EXPECT_EQ(commands(), "5");
  log().clear();
  window->makeFirstResponder(mDialog);
  EXPECT_EQ(box->currentEditor(), nullptr);
  EXPECT_EQ(commands(), "") << "no end-of-editing command from a combo box";
  // A pop-up button's action is a selection change.
  HWND pub = WAPI_MakeCombo(kPopup, 10, 40, 100, 80, CBS_DROPDOWNLIST);
  log().clear();
  as<NSControl>(pub)->sendAction(as<NSControl>(pub)->action(), as<NSControl>(pub)->target());
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(log()[0].wParam, MAKEWPARAM(kPopup, CBN_SELCHANGE));
  cf_standin::setPresenter(previous);
}
