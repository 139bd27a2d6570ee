// A dialog made from a control list holding a report list with status images, an owner-drawn
// list box, a tree, tabs and a progress bar: filled, sorted, scrolled, focused and drawn to a PNG
// whose probe pixels are checked.
#include "tests/wapi/list_controls_fixture.h"

#include "kit/wapi/wapi-gdi.h"
#include "tests/support/testpaths.h"
#include "tests/support/window_screenshot.h"

#include <string>

namespace {

struct DrawnRow {
  UINT id;
  uintptr_t data;
};
std::vector<DrawnRow> gDrawn;

// Owner-drawn rows: even rows yellow, odd rows cyan.
LRESULT DrawingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DRAWITEM) {
    const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
    gDrawn.push_back({d->itemID, d->itemData});
    HGDIOBJ brush = CreateSolidBrush(d->itemID % 2 ? 0x00FFFF : 0xFFFF00);
    WAPI_FillRect(d->hDC, &d->rcItem, brush);
    DeleteObject(brush);
    return 1;
  }
  return ListControls::OwnerProc(h, m, w, l);
}

class ListDialog : public ListControls {
 protected:
  void SetUp() override {
    ListControls::SetUp();
    gDrawn.clear();
    mView = makeView(nullptr, mWindow, DrawingProc);
    mView->setHidden(false);
    WAPI_MakeSetCurParms(1, 1, 0, 0, H(mView), false, false);
  }
  // The pixel at a point of a view, as 0xRRGGBB.
  int pixelAt(NSView* v, NSPoint p) const {
    const NSPoint b = v->convertPointToBase(p);
    CGContextRef store = mWindow->backingStore();
    const int height = int(CGBitmapContextGetHeight(store));
    const auto* row = static_cast<const uint8_t*>(CGBitmapContextGetData(store)) +
                      size_t(height - 1 - int(b.y)) * CGBitmapContextGetBytesPerRow(store);
    const uint8_t* px = row + size_t(b.x) * 4;
    return px[1] << 16 | px[2] << 8 | px[3];
  }
  static bool dark(int rgb) { return ((rgb >> 16) & 255) < 110 && ((rgb >> 8) & 255) < 110 && (rgb & 255) < 110; }
  // The leftmost dark pixel on the band of a view, -1 when none.
  int firstDark(NSView* v, NSRect band) const {
    for (int x = int(band.origin.x); x < int(band.origin.x + band.size.width); ++x)
      for (int y = int(band.origin.y); y < int(band.origin.y + band.size.height); ++y)
        if (dark(pixelAt(v, NSMakePoint(x + 0.5, y + 0.5)))) return x;
    return -1;
  }
  void display() {
    mView->setNeedsDisplay(true);
    ns_standin::displayWindows();
  }
  Wapi_vQOR_hwnd* mView = nullptr;
};

HGDIOBJ solidIcon(uint32_t argb) {
  std::vector<uint8_t> px(16 * 16 * 4);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = uint8_t(argb >> 24);
    px[i + 1] = uint8_t(argb >> 16);
    px[i + 2] = uint8_t(argb >> 8);
    px[i + 3] = uint8_t(argb);
  }
  HGDIOBJ bitmap = CreateBitmap(16, 16, 1, 32, px.data());
  ICONINFO info{1, 0, 0, nullptr, bitmap};
  HGDIOBJ icon = CreateIconIndirect(&info);
  DeleteObject(bitmap);
  return icon;
}

int ByParamDescending(LPARAM a, LPARAM b, LPARAM) {
  return int(b - a);
}

TEST_F(ListDialog, FilledSortedScrolledAndDrawn) {
  auto word = [](const char* s) { return intptr_t(s); };
  const WAPI_DialogListRow rows[] = {
      {{word(""), 100, word("SysListView32"), LVS_REPORT, -10, -10, -300, -200, 0}},
      {{word("__WAPI_LISTBOX"), 0, word(""), 200, -320, -10, -150, -120, LBS_OWNERDRAWFIXED}},
      {{word(""), 300, word("SysTreeView32"), 0, -320, -140, -150, -120, 0}},
      {{word(""), 400, word("SysTabControl32"), 0, -10, -220, -300, -60, 0}},
      {{word(""), 500, word("msctls_progress32"), 0, -10, -300, -300, -14, 0}},
  };
  WAPI_GenerateDialogFromList(rows, 5);
  HWND lv = GetDlgItem(H(mView), 100), lb = GetDlgItem(H(mView), 200), tv = GetDlgItem(H(mView), 300);
  HWND tab = GetDlgItem(H(mView), 400), bar = GetDlgItem(H(mView), 500);
  ASSERT_TRUE(lv && lb && tv && tab && bar);

  // The report list: three columns, 500 rows, status images in column 0.
  HIMAGELIST images = ImageList_CreateEx();
  HGDIOBJ green = solidIcon(0xFF00C000), red = solidIcon(0xFFE00000);
  ImageList_ReplaceIcon(images, -1, green);
  ImageList_ReplaceIcon(images, -1, red);
  ListView_SetImageList(lv, images, LVSIL_STATE);
  const char* titles[] = {"Name", "Bank", "Slot"};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMN c{LVCF_WIDTH | LVCF_TEXT | LVCF_FMT, i == 2 ? 1 : 0, 90, titles[i]};
    ListView_InsertColumn(lv, i, &c);
  }
  for (int i = 0; i < 500; ++i) {
    LVITEM it{};
    it.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    it.iItem = i;
    const std::string name = "Patch " + std::to_string(i);
    it.pszText = const_cast<char*>(name.c_str());
    it.lParam = i;
    it.state = UINT(1 + i % 2) << 16;
    it.stateMask = LVIS_STATEIMAGEMASK;
    ASSERT_EQ(ListView_InsertItem(lv, &it), i);
    ListView_SetItemText(lv, i, 1, i < 250 ? "A" : "B");
  }
  ListView_SetItemState(lv, 3, LVIS_SELECTED, LVIS_SELECTED);
  ASSERT_TRUE(ListView_SortItems(lv, ByParamDescending, 0));
  EXPECT_EQ(ListView_GetNextItem(lv, -1, LVNI_SELECTED), 496) << "the selection follows its row";
  HDITEM h{HDI_FORMAT, 0, nullptr, nullptr, 0, HDF_SORTDOWN, 0};
  Header_SetItem(lv, 0, &h);
  ListView_EnsureVisible(lv, 450, false);
  EXPECT_EQ(ListView_GetTopIndex(lv), 441);
  const int colours[] = {0xE08000, 0xFFFFFF, 0x9090D0, 0x000000};
  ListView_SetSelColors(lv, colours, 4);
  ListView_SetItemState(lv, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(lv, 443, LVIS_SELECTED, LVIS_SELECTED);

  // The owner-drawn list box.
  for (const char* s : {"one", "two", "three"}) SendMessage(lb, LB_ADDSTRING, 0, LPARAM(s));
  SendMessage(lb, LB_SETITEMDATA, 1, 0x5150);

  // The tree: a child under an expanded parent.
  TVINSERTSTRUCT ins{};
  ins.hParent = TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  ins.item.pszText = const_cast<char*>("Banks");
  ins.item.cChildren = 1;
  HTREEITEM parent = TreeView_InsertItem(tv, &ins);
  ins.hParent = parent;
  ins.item.mask = TVIF_TEXT;
  ins.item.pszText = const_cast<char*>("User");
  HTREEITEM child = TreeView_InsertItem(tv, &ins);
  ASSERT_TRUE(TreeView_Expand(tv, parent, TVE_EXPAND));
  EXPECT_EQ(TreeView_GetChild(tv, parent), child);

  for (const char* label : {"Patch", "Bank"}) {
    TCITEM it{TCIF_TEXT, 0, 0, label, 0, 0, 0};
    TabCtrl_InsertItem(tab, 99, &it);
  }
  SendMessage(bar, PBM_SETRANGE, 0, 0x00640000);
  SendMessage(bar, PBM_SETPOS, 40, 0);
  for (const SeenNotice& n : seen()) EXPECT_EQ(n.code, LVN_ITEMCHANGED) << "inserting tabs notifies nothing";

  SetFocus(lv);
  ASSERT_EQ(GetFocus(), lv);
  display();
  const std::string path = testsupport::binaryDir() + "/list_dialog.png";
  ASSERT_TRUE(testsupport::writeWindowScreenshot(mWindow, path));

  auto* table = wapiAs<NSTableView>(wapiObject(lv));
  const NSRect visible = table->visibleRect();
  // Header titles inside the header.
  NSView* header = table->headerView();
  ASSERT_NE(header, nullptr);
  EXPECT_GE(firstDark(header, NSMakeRect(0, 2, 60, 14)), 0) << "the first title";
  EXPECT_GE(firstDark(header, NSMakeRect(190, 2, 90, 14)), 0) << "the right-aligned third title";
  // The top row, 441, shows its last 5 pixels; the first whole row, 442 (param 57), holds its
  // red status image and its name right of it.
  EXPECT_EQ(visible.origin.y, 451 * 18 - 167);
  const NSRect firstWhole = table->rectOfRow(442);
  EXPECT_GE(firstDark(table, NSMakeRect(20, firstWhole.origin.y + 2, 60, 14)), 20) << "the name of row 442";
  EXPECT_EQ(pixelAt(table, NSMakePoint(8, firstWhole.origin.y + 9)), 0xE00000);
  EXPECT_EQ(pixelAt(table, NSMakePoint(8, firstWhole.origin.y + 18 + 9)), 0x00C000);
  // The selected row in entry 0 with focus.
  const NSRect sel = table->rectOfRow(443);
  EXPECT_EQ(pixelAt(table, NSMakePoint(150, sel.origin.y + 1)), 0xE08000);
  // The tree's child indented past its parent.
  NSView* tree = wapiAs<NSView>(wapiObject(tv));
  const int parentX = firstDark(tree, NSMakeRect(20, 2, 80, 14));
  const int childX = firstDark(tree, NSMakeRect(20, 20, 80, 14));
  EXPECT_GE(parentX, 14);
  EXPECT_GE(childX, parentX + 12) << "one level of indentation";
  // The bar at 40 of 100.
  NSView* barView = wapiAs<NSView>(wapiObject(bar));
  EXPECT_EQ(pixelAt(barView, NSMakePoint(0.35 * 300, 7)), 0x3380E6);
  EXPECT_NE(pixelAt(barView, NSMakePoint(0.45 * 300, 7)), 0x3380E6);
  // Each visible owner-drawn row was asked for with its index and data, and drawn.
  ASSERT_GE(gDrawn.size(), 3u);
  EXPECT_EQ(gDrawn[1].id, 1u);
  EXPECT_EQ(gDrawn[1].data, 0x5150u);
  NSView* box = wapiAs<NSView>(wapiObject(lb));
  EXPECT_EQ(pixelAt(box, NSMakePoint(50, 18 + 9)), 0x00FFFF);
  EXPECT_EQ(pixelAt(box, NSMakePoint(50, 2 * 18 + 9)), 0xFFFF00);

  // After the focus moves the selection shows in entry 2.
  SetFocus(tv);
  table->setNeedsDisplay(true);
  display();
  EXPECT_EQ(pixelAt(table, NSMakePoint(150, sel.origin.y + 1)), 0x9090D0);
  ASSERT_TRUE(testsupport::writeWindowScreenshot(mWindow, testsupport::binaryDir() + "/list_dialog_unfocused.png"));
  ImageList_Destroy(images);
  DeleteObject(green);
  DeleteObject(red);
}

}  // namespace
