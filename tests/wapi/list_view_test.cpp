// The list view and the list box: rows, sorting, selection around inserts and deletes, states and
// their notifications, owner data, columns and header, geometry and scrolling, list-box messages
// and the mouse.
#include "tests/wapi/list_controls_fixture.h"

#include <cstring>

namespace {

int ByParam(LPARAM a, LPARAM b, LPARAM) {
  return int(a / 10) - int(b / 10);
}

TEST_F(ListControls, SortedInsertsFindTheirPlaceByBisection) {
  struct Case {
    const char* what;
    int style;
    std::vector<const char*> rows;
    const char* text;
    int index;
  } cases[] = {
      {"ascending, between", LVS_SORTASCENDING, {"a", "c"}, "b", 1},
      {"ascending, in front", LVS_SORTASCENDING, {"b", "c", "d"}, "a", 0},
      {"ascending, at the end", LVS_SORTASCENDING, {"a", "b", "c"}, "z", 3},
      {"ascending, an equal row", LVS_SORTASCENDING, {"a", "b", "c"}, "b", 1},
      {"descending, between", LVS_SORTDESCENDING, {"c", "a"}, "b", 1},
      {"descending, at the end", LVS_SORTDESCENDING, {"c", "b"}, "a", 2},
      {"unsorted: the index asked for", 0, {"a", "c"}, "b", 0},
  };
  for (const Case& c : cases) {
    HWND lv = reportList(LVS_REPORT | c.style, 1);
    for (const char* r : c.rows) insert(lv, 1000, r);
    EXPECT_EQ(insert(lv, 0, c.text), c.index) << c.what;
    EXPECT_EQ(text(lv, c.index), c.text) << c.what;
    DestroyWindow(lv);
  }
}

TEST_F(ListControls, InsertsAndDeletesKeepTheSelectedRowsSelected) {
  HWND lv = reportList();
  for (const char* t : {"a", "b", "c", "d", "e"}) insert(lv, 1000, t);
  ListView_SetItemState(lv, 2, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(lv, 4, LVIS_SELECTED, LVIS_SELECTED);
  insert(lv, 0, "front");
  EXPECT_EQ(selected(lv), (std::vector<int>{3, 5}));
  insert(lv, 100, "end");  // the last row: nothing shifts
  EXPECT_EQ(selected(lv), (std::vector<int>{3, 5}));
  ListView_DeleteItem(lv, 0);
  EXPECT_EQ(selected(lv), (std::vector<int>{2, 4}));
  // A selected row's own index goes with it; it does not pass to its successor.
  ListView_DeleteItem(lv, 2);
  EXPECT_EQ(selected(lv), (std::vector<int>{3}));
  EXPECT_EQ(text(lv, 3), "e");
  EXPECT_FALSE(ListView_DeleteItem(lv, 99));
  EXPECT_EQ(ListView_GetItemCount(lv), 5);
}

TEST_F(ListControls, StateChangesNotifyTheParentExceptForAllRows) {
  HWND lv = reportList();
  for (const char* t : {"a", "b", "c"}) insert(lv, 1000, t);
  ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);
  ASSERT_EQ(seen().size(), 1u);
  EXPECT_EQ(seen()[0].code, LVN_ITEMCHANGED);
  EXPECT_EQ(seen()[0].item, 1);
  EXPECT_EQ(seen()[0].wParam, 100u);
  ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);  // no change, no notice
  EXPECT_EQ(seen().size(), 1u);
  ListView_SetItemState(lv, 0, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(ListView_GetSelectedCount(lv), 2);
  seen().clear();
  EXPECT_TRUE(ListView_SetItemState(lv, -1, 0, LVIS_SELECTED));
  EXPECT_EQ(ListView_GetSelectedCount(lv), 0);
  EXPECT_TRUE(seen().empty());
  EXPECT_FALSE(ListView_SetItemState(lv, 3, LVIS_SELECTED, LVIS_SELECTED));
}

TEST_F(ListControls, ImageNumbersAndStatesReadBack) {
  HWND lv = reportList();
  LVITEM it{};
  it.mask = LVIF_TEXT | LVIF_STATE;
  it.pszText = const_cast<char*>("x");
  it.state = 3u << 16;
  it.stateMask = LVIS_STATEIMAGEMASK;
  insert(lv, 0, "y");
  ASSERT_EQ(ListView_InsertItem(lv, &it), 0);
  EXPECT_EQ(ListView_GetItemState(lv, 0, LVIS_STATEIMAGEMASK), 3u << 16) << "state bits stored unchanged";
  LVITEM set{};
  set.mask = LVIF_IMAGE;
  set.iItem = 1;
  set.iImage = 4;
  ASSERT_TRUE(ListView_SetItem(lv, &set));
  EXPECT_EQ(ListView_GetItemState(lv, 1, LVIS_STATEIMAGEMASK), 5u << 16) << "iImage stored plus one";
  ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);
  LVITEM get{};
  get.mask = LVIF_STATE;
  get.iItem = 1;
  get.stateMask = LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK;
  ASSERT_TRUE(ListView_GetItem(lv, &get));
  EXPECT_EQ(get.state, (5u << 16) | LVIS_SELECTED | LVIS_FOCUSED);
}

TEST_F(ListControls, TextsPadMissingSubItemsAndNegativeOnesReadEmpty) {
  HWND lv = reportList();
  insert(lv, 0, "a", 77);
  ListView_SetItemText(lv, 0, 2, "third");
  ListView_SetItemText(lv, 0, 32, "ignored");
  EXPECT_EQ(text(lv, 0, 1), "");
  EXPECT_EQ(text(lv, 0, 2), "third");
  EXPECT_EQ(text(lv, 0, 5), "");
  EXPECT_EQ(text(lv, 0, -1), "");
  EXPECT_EQ(text(lv, 4, 0), "") << "a missing row empties the buffer";
  char small[3];
  ListView_GetItemText(lv, 0, 2, small, sizeof small);
  EXPECT_STREQ(small, "th");
  LVITEM get{};
  get.mask = LVIF_PARAM;
  EXPECT_TRUE(ListView_GetItem(lv, &get));
  EXPECT_EQ(get.lParam, 77);
  LVITEM sub{};
  sub.mask = LVIF_TEXT;
  sub.iSubItem = 1;
  EXPECT_EQ(ListView_InsertItem(lv, &sub), 0) << "a sub-item insert makes no row";
  EXPECT_EQ(ListView_GetItemCount(lv), 1);
}

TEST_F(ListControls, SortingByParamIsStableAndKeepsTheSelection) {
  HWND lv = reportList();
  const LPARAM params[] = {31, 10, 30, 11, 20, 32};
  const char* names[] = {"a", "b", "c", "d", "e", "f"};
  for (int i = 0; i < 6; ++i) insert(lv, 100, names[i], params[i]);
  ListView_SetItemState(lv, 2, LVIS_SELECTED, LVIS_SELECTED);  // "c"
  ListView_SetItemState(lv, 3, LVIS_SELECTED, LVIS_SELECTED);  // "d"
  ASSERT_TRUE(ListView_SortItems(lv, ByParam, 0));
  std::string order;
  for (int i = 0; i < 6; ++i) order += text(lv, i);
  EXPECT_EQ(order, "bdeacf");
  EXPECT_EQ(selected(lv), (std::vector<int>{1, 4}));
}

TEST_F(ListControls, OwnerDataAsksTheOwnerForEveryText) {
  HWND lv = reportList(LVS_REPORT | LVS_OWNERDATA);
  EXPECT_EQ(insert(lv, 0, "x"), -1);
  ListView_SetItemCount(lv, 4);
  EXPECT_EQ(ListView_GetItemCount(lv), 4);
  auto* t = static_cast<Wapi_vQOR_listview*>(table(lv));
  EXPECT_TRUE(t->mItems.empty());
  auto cell = [&](int row, int col) {
    NSString* s = t->tableViewObjectValue(t, t->mCols[size_t(col)], row);
    return std::string(s ? s->UTF8String() : "?");
  };
  EXPECT_EQ(cell(1, 2), "r1c2");
  EXPECT_EQ(cell(2, 0), "") << "an untouched buffer shows an empty cell";
  EXPECT_EQ(text(lv, 1, 0), "") << "no row texts in owner-data mode";
}

TEST_F(ListControls, ColumnsHeaderAndOrder) {
  HWND lv = reportList();
  EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(lv)), 3);
  EXPECT_EQ(WAPI_GetListViewHeaderHeight(lv), 18);
  EXPECT_EQ(ListView_GetColumnWidth(lv, 1), 90);
  ListView_SetColumnWidth(lv, 1, 0);
  EXPECT_EQ(ListView_GetColumnWidth(lv, 1), 0) << "hidden";
  ListView_SetColumnWidth(lv, 1, 55);
  EXPECT_EQ(ListView_GetColumnWidth(lv, 1), 55);
  const int order[] = {2, 0, 1};
  EXPECT_TRUE(ListView_SetColumnOrderArray(lv, 3, order));
  int got[3] = {};
  EXPECT_TRUE(ListView_GetColumnOrderArray(lv, 3, got));
  EXPECT_EQ(std::vector<int>(got, got + 3), (std::vector<int>{2, 0, 1}));
  const int wild[] = {7, -1, 0};
  EXPECT_TRUE(ListView_SetColumnOrderArray(lv, 3, wild)) << "positions outside the columns are passed over";
  EXPECT_FALSE(ListView_GetColumnOrderArray(lv, 2, got));
  HDITEM h{};
  h.mask = HDI_FORMAT;
  h.fmt = HDF_SORTDOWN;
  EXPECT_TRUE(Header_SetItem(lv, 0, &h));
  h.fmt = 0;
  EXPECT_TRUE(Header_GetItem(lv, 0, &h));
  EXPECT_EQ(h.fmt, int(HDF_SORTDOWN));
  EXPECT_FALSE(Header_GetItem(lv, 3, &h));
  EXPECT_TRUE(ListView_DeleteColumn(lv, 1));
  EXPECT_EQ(Header_GetItemCount(lv), 2);
  EXPECT_FALSE(ListView_DeleteColumn(lv, 2));
}

TEST_F(ListControls, ColumnSettingsGridLinesSelectionMarkAndClearing) {
  HWND lv = reportList();
  Wapi_vQOR_listview* list = wapiAs<Wapi_vQOR_listview>(wapiObject(lv));
  NSTableColumn* bank = list->mCols[1];
  const struct {
    UINT mask;
    int fmt, cx;
    const char* title;
    NSTextAlignment align;
    bool hidden;
    const char* shown;
  } cases[] = {
      {LVCF_FMT, 1, 0, "x", NSRightTextAlignment, false, "Bank"},
      {LVCF_FMT | LVCF_TEXT, 2, 0, "Banks", NSCenterTextAlignment, false, "Banks"},
      {LVCF_WIDTH, 0, 0, nullptr, NSCenterTextAlignment, true, "Banks"},
      {LVCF_WIDTH | LVCF_FMT, 0, 40, nullptr, NSLeftTextAlignment, false, "Banks"},
  };
  for (const auto& k : cases) {
    LVCOLUMN c{k.mask, k.fmt, k.cx, const_cast<char*>(k.title)};
    EXPECT_TRUE(ListView_SetColumn(lv, 1, &c)) << k.shown;
    EXPECT_EQ(bank->headerAlignment(), k.align) << k.mask;
    EXPECT_EQ(bank->isHidden(), k.hidden) << k.mask;
    EXPECT_EQ(bank->headerTitle(), k.shown) << k.mask;
  }
  EXPECT_EQ(ListView_GetColumnWidth(lv, 1), 40);
  LVCOLUMN any{LVCF_TEXT, 0, 0, const_cast<char*>("y")};
  EXPECT_FALSE(ListView_SetColumn(lv, 3, &any));
  EXPECT_FALSE(ListView_SetColumn(lv, 0, nullptr));
  HWND bare = reportList(LVS_REPORT | LVS_NOCOLUMNHEADER, 1);
  EXPECT_TRUE(ListView_SetColumn(bare, 0, &any));
  EXPECT_EQ(wapiAs<Wapi_vQOR_listview>(wapiObject(bare))->mCols[0]->headerTitle(), "") << "no header, no title";

  ListView_SetExtendedListViewStyleEx(lv, LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP, 0xFFFFFFFFu);
  EXPECT_EQ(list->gridStyleMask(), NSUInteger(3));
  EXPECT_TRUE(list->allowsColumnReordering());
  ListView_SetExtendedListViewStyleEx(lv, LVS_EX_GRIDLINES, 0);
  EXPECT_EQ(list->gridStyleMask(), NSUInteger(0));
  EXPECT_TRUE(list->allowsColumnReordering()) << "outside the mask";
  ListView_SetExtendedListViewStyleEx(lv, LVS_EX_HEADERDRAGDROP, LVS_EX_GRIDLINES);
  EXPECT_FALSE(list->allowsColumnReordering());

  for (const char* t : {"a", "b", "c"}) insert(lv, 1000, t);
  EXPECT_EQ(ListView_GetSelectionMark(lv), -1);
  ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(ListView_GetSelectionMark(lv), 1);
  EXPECT_TRUE(ListView_DeleteAllItems(lv));
  EXPECT_EQ(ListView_GetItemCount(lv), 0);
  EXPECT_EQ(list->numberOfRows(), 0);
  EXPECT_EQ(Header_GetItemCount(lv), 3) << "the columns stay";
  EXPECT_FALSE(ListView_DeleteAllItems(nullptr));
}

TEST_F(ListControls, ScrollingAndHitTests) {
  HWND lv = reportList();
  for (int i = 0; i < 500; ++i) insert(lv, 1000, std::to_string(i).c_str());
  // 200 high: 15 off for the horizontal scroller, 18 for the header leave 167, 9 whole rows.
  EXPECT_EQ(ListView_GetCountPerPage(lv), 9);
  EXPECT_EQ(ListView_GetTopIndex(lv), 0);
  ListView_EnsureVisible(lv, 450, false);
  // Row 450 ends at 451 * 18 = 8118; the visible top is 8118 - 167 = 7951, in row 441.
  EXPECT_EQ(ListView_GetTopIndex(lv), 441);
  POINT p{};
  EXPECT_TRUE(ListView_GetScroll(lv, &p));
  EXPECT_EQ(p.y, 7951);
  ListView_EnsureVisible(lv, 9999, false);
  EXPECT_EQ(ListView_GetTopIndex(lv), 490) << "clamped to the last row";
  ListView_EnsureVisible(lv, 0, false);
  EXPECT_TRUE(ListView_Scroll(lv, 0, 90));  // five rows of 16 from the bottom row 9
  EXPECT_EQ(ListView_GetTopIndex(lv), 5);
  EXPECT_TRUE(ListView_Scroll(lv, 0, -40));  // two rows up from the top row 5
  EXPECT_EQ(ListView_GetTopIndex(lv), 3);

  struct Case {
    const char* what;
    POINT pt;
    UINT flags;
    int item, subitem;
  } cases[] = {
      {"on a row", {100, 3 * 18 + 60}, LVHT_ONITEMLABEL, 3 + 3, 1},
      {"left of the view", {-1, 60}, LVHT_TOLEFT, -1, -1},
      {"above the view", {10, 3 * 18 - 1}, LVHT_ABOVE, -1, 0},
      {"below the view", {10, 3 * 18 + 170}, LVHT_BELOW, -1, 0},
      {"right of the view", {400, 60}, LVHT_TORIGHT, -1, -1},
      {"past the columns", {280, 3 * 18 + 5}, LVHT_ONITEMLABEL, 3, -1},
  };
  for (const Case& c : cases) {
    LVHITTESTINFO info{c.pt, 99, 99, 99};
    EXPECT_EQ(ListView_SubItemHitTest(lv, &info), c.item) << c.what;
    EXPECT_EQ(info.flags, c.flags) << c.what;
    EXPECT_EQ(info.iSubItem, c.subitem) << c.what;
  }
  RECT r{};
  EXPECT_TRUE(ListView_GetSubItemRect(lv, 2, 1, 0, &r));
  EXPECT_EQ(r.left, 94);
  EXPECT_EQ(r.top, 37);
  EXPECT_EQ(r.right, 187);
  EXPECT_FALSE(ListView_GetItemRect(lv, 500, &r, 0));
}

TEST_F(ListControls, NoScrollAfterTheRowsGoNotAHitBelowThem) {
  HWND lv = reportList();
  insert(lv, 0, "only");
  LVHITTESTINFO info{{10, 100}, 0, 0, 0};
  EXPECT_EQ(ListView_HitTest(lv, &info), -1);
  EXPECT_EQ(info.flags, UINT(LVHT_NOWHERE));
}

TEST_F(ListControls, ListBoxMessages) {
  HWND lb = WAPI_MakeListBox(200, -10, -220, -200, -100, LBS_SORT);
  auto add = [&](const char* s) { return SendMessage(lb, LB_ADDSTRING, 0, LPARAM(s)); };
  EXPECT_EQ(add("c"), 0);
  EXPECT_EQ(add("a"), 0);
  EXPECT_EQ(add("b"), 1);
  EXPECT_EQ(SendMessage(lb, LB_INSERTSTRING, WPARAM(-1), LPARAM("zz")), 3) << "-1 appends";
  EXPECT_EQ(SendMessage(lb, LB_INSERTSTRING, 0, LPARAM("first")), 0);
  EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 5);
  char buffer[4096] = "junk";
  SendMessage(lb, LB_GETTEXT, 2, LPARAM(buffer));
  EXPECT_STREQ(buffer, "b");
  SendMessage(lb, LB_SETITEMDATA, 2, 1234);
  EXPECT_EQ(SendMessage(lb, LB_GETITEMDATA, 2, 0), 1234);
  EXPECT_EQ(SendMessage(lb, LB_GETITEMDATA, 99, 0), 0);
  SendMessage(lb, LB_SETCURSEL, 3, 0);
  EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(SendMessage(lb, LB_GETSEL, 3, 0), 1);
  SendMessage(lb, LB_SETCURSEL, WPARAM(-1), 0);
  EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), -1);
  SendMessage(lb, LB_DELETESTRING, 0, 0);
  EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 4);
  SendMessage(lb, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(WAPI_GetListViewHeaderHeight(lb), 0) << "a list box has no header";
}

TEST_F(ListControls, AFastClickColumnReportsAtThePressOnly) {
  HWND lv = reportList();
  for (int i = 0; i < 5; ++i) insert(lv, 1000, "row", 40 + i);
  WAPI_SetListViewFastClickMask(lv, 1 << 1);
  NSView* v = table(lv);
  ns_standin::mouseAtView(v, NSLeftMouseDown, rowPoint(2, 120));
  ASSERT_EQ(codes(), (std::vector<int>{NM_CLICK}));
  EXPECT_EQ(seen()[0].item, 2);
  EXPECT_EQ(seen()[0].subitem, 1);
  EXPECT_EQ(seen()[0].param, 42);
  EXPECT_EQ(seen()[0].pt.x, 120);
  ns_standin::mouseAtView(v, NSLeftMouseUp, rowPoint(2, 120));
  EXPECT_EQ(codes(), (std::vector<int>{NM_CLICK}));
  seen().clear();
  click(lv, rowPoint(3));
  EXPECT_EQ(codes(), (std::vector<int>{LVN_ITEMCHANGED, NM_CLICK})) << "another column reports at the release";
  EXPECT_EQ(selected(lv), (std::vector<int>{3}));
}

TEST_F(ListControls, FourDragsStartADragWithoutAClick) {
  HWND lv = reportList();
  for (int i = 0; i < 5; ++i) insert(lv, 1000, "row");
  click(lv, rowPoint(1), 4);
  EXPECT_EQ(codes(), (std::vector<int>{LVN_BEGINDRAG, int(WM_LBUTTONUP)}));
  EXPECT_EQ(seen()[0].item, 1);
  EXPECT_EQ(selected(lv), (std::vector<int>{1}));
  seen().clear();
  click(lv, rowPoint(2), 6);
  EXPECT_EQ(codes(), (std::vector<int>{LVN_BEGINDRAG, int(WM_MOUSEMOVE), int(WM_MOUSEMOVE), int(WM_LBUTTONUP)}))
      << "moves past the fourth go to the owner";
  EXPECT_EQ(selected(lv), (std::vector<int>{2})) << "without Control the dragged row replaces the selection";
}

TEST_F(ListControls, APressBesideTheRowsDraggedSendsTheReleaseAndAClickOnNothing) {
  HWND lv = reportList();
  insert(lv, 0, "row");
  click(lv, rowPoint(5), 4);
  EXPECT_EQ(codes(), (std::vector<int>{int(WM_LBUTTONUP), NM_CLICK}));
  EXPECT_EQ(seen()[1].item, -1);
}

TEST_F(ListControls, ListBoxesSendNoClicksAndAContextMenuAtOnce) {
  HWND lb = WAPI_MakeListBox(200, -10, -220, -200, -100, 0);
  SendMessage(lb, LB_ADDSTRING, 0, LPARAM("a"));
  SendMessage(lb, LB_ADDSTRING, 0, LPARAM("b"));
  click(lb, rowPoint(1));
  EXPECT_EQ(notices(), "cmd1") << "the selection changed, no click";
  seen().clear();
  EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 1);
  click(lb, rowPoint(0), 0, NSRightMouseDown, NSRightMouseUp);
  ASSERT_EQ(codes(), (std::vector<int>{int(WM_CONTEXTMENU)}));
  EXPECT_EQ(seen()[0].wParam, WPARAM(lb));
}

TEST_F(ListControls, ARightClickAnsweredByTheOwnerEndsThere) {
  HWND lv = reportList();
  for (int i = 0; i < 3; ++i) insert(lv, 1000, "row");
  rclickAnswer() = 1;
  click(lv, rowPoint(2), 0, NSRightMouseDown, NSRightMouseUp);
  EXPECT_EQ(codes(), (std::vector<int>{NM_RCLICK}));
  EXPECT_EQ(selected(lv), (std::vector<int>{2}));
  seen().clear();
  rclickAnswer() = 0;
  click(lv, rowPoint(1), 0, NSRightMouseDown, NSRightMouseUp);
  EXPECT_EQ(codes(), (std::vector<int>{NM_RCLICK, int(WM_CONTEXTMENU)}));
}

TEST_F(ListControls, SelectionColoursForNegativeCountsAreEmpty) {
  HWND lv = reportList();
  const int colours[] = {0xFF0000, 0xFFFFFF, 0x00FF00, 0};
  ListView_SetSelColors(lv, colours, -3);
  auto* t = static_cast<Wapi_vQOR_listview*>(table(lv));
  EXPECT_FALSE(t->hasSelColors());
  ListView_SetSelColors(lv, colours, 2);
  EXPECT_TRUE(t->hasSelColors());
  EXPECT_EQ(t->selectionFill(), nullptr) << "without focus entry 2 is needed";
  ListView_SetSelColors(lv, nullptr, 3);
  ASSERT_NE(t->selectionFill(), nullptr);
  EXPECT_EQ(t->selectionFill()->redComponent(), 0) << "a null array gives black entries";
}

TEST_F(ListControls, ForeignHandlesChangeNothing) {
  HWND label = WAPI_MakeLabel(-1, "x", 5, -1, -1, -10, -10, 0);
  LVITEM it{};
  EXPECT_EQ(ListView_InsertItem(label, &it), 0);
  EXPECT_EQ(ListView_GetItemCount(nullptr), 0);
  EXPECT_EQ(ListView_HitTest(label, nullptr), -1);
  EXPECT_EQ(ListView_GetHeader(label), nullptr);
  EXPECT_EQ(TabCtrl_InsertItem(label, 0, nullptr), -1);
  EXPECT_EQ(TabCtrl_SetCurSel(nullptr, 0), -1);
}

}  // namespace

TEST_F(ListControls, ClicksReachTheOwnerAsTheControlsModeSays) {
  struct Row {
    const char* what;
    bool listBox;
    int clicks;  // a single click, or a click and a second one with a click count of 2
    int selected;  // the row selected before, -1 for none
    int row;       // the row clicked; 5 lies below the last
    const char* want;
  } rows[] = {
      {"a list box's click", true, 1, -1, 2, "cmd1"},
      {"a list box's double click", true, 2, -1, 2, "cmd1 cmd2"},
      {"a list box's click on its selected row", true, 1, 2, 2, ""},
      {"a list box's click below its rows clears the selection", true, 1, 2, 5, "cmd1"},
      {"a list box's click below its rows, nothing selected", true, 1, -1, 5, ""},
      {"a list view's click", false, 1, -1, 2, "-101:2,0,0 -2:2,1,42"},
      {"a list view's double click", false, 2, -1, 2, "-101:2,0,0 -2:2,1,42 -3:2,1,42 -2:2,1,42"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    HWND h = r.listBox ? WAPI_MakeListBox(200, -10, -220, -200, -100, 0) : reportList();
    for (int i = 0; i < 4; ++i) insert(h, 1000, "row", 40 + i);
    if (r.selected >= 0) SendMessage(h, LB_SETCURSEL, WPARAM(r.selected), 0);
    seen().clear();
    NSView* v = table(h);
    for (int c = 1; c <= r.clicks; ++c) {
      ns_standin::mouseAtView(v, NSLeftMouseDown, rowPoint(r.row, 120), 0, c);
      ns_standin::mouseAtView(v, NSLeftMouseUp, rowPoint(r.row, 120), 0, c);
    }
    EXPECT_EQ(notices(), r.want);
    DestroyWindow(h);
  }
  // A press on a column's title; the column keeps its creation index when moved.
  HWND lv = reportList();
  ListView_SetColumnWidth(lv, 0, 90);
  seen().clear();
  NSTableHeaderView* header = table(lv)->headerView();
  ASSERT_NE(header, nullptr);
  ns_standin::mouseAtView(header, NSLeftMouseDown, NSMakePoint(100, 5));
  table(lv)->moveColumn(0, 2);
  ns_standin::mouseAtView(header, NSLeftMouseDown, NSMakePoint(10, 5));
  EXPECT_EQ(notices(), "-108:-1,1,0 -108:-1,1,0");
}
