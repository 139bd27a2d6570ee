// Tree views, tab controls and progress bars.
#include "tests/wapi/list_controls_fixture.h"

#include <string>

namespace {

class TreeTab : public ListControls {
 protected:
  HWND tree() { return make("SysTreeView32", 300, 0, 10, 10, 200, 200); }
  static HTREEITEM add(HWND tv, HTREEITEM parent, const char* text, HTREEITEM after = TVI_LAST, bool children = false,
                       LPARAM param = 0) {
    TVINSERTSTRUCT ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | (children ? UINT(TVIF_CHILDREN) : 0u);
    ins.item.pszText = const_cast<char*>(text);
    ins.item.cChildren = children ? 1 : 0;
    ins.item.lParam = param;
    return TreeView_InsertItem(tv, &ins);
  }
  static std::string name(HWND tv, HTREEITEM item) {
    char b[32] = "";
    TVITEM it{};
    it.mask = TVIF_HANDLE | TVIF_TEXT;
    it.hItem = item;
    it.pszText = b;
    it.cchTextMax = sizeof b;
    return TreeView_GetItem(tv, &it) ? b : "?";
  }
  static std::string topLevel(HWND tv) {
    std::string out;
    for (HTREEITEM i = TreeView_GetRoot(tv); i; i = TreeView_GetNextSibling(tv, i)) out += name(tv, i);
    return out;
  }
  static NSOutlineView* outline(HWND h) { return wapiAs<NSOutlineView>(wapiObject(h)); }
};

TEST_F(TreeTab, InsertPlacesAndSiblingWalks) {
  HWND tv = tree();
  HTREEITEM b = add(tv, TVI_ROOT, "b");
  add(tv, nullptr, "c");
  add(tv, TVI_ROOT, "a", TVI_FIRST);
  add(tv, TVI_ROOT, "z", TVI_SORT);
  add(tv, TVI_ROOT, "x", b);
  EXPECT_EQ(topLevel(tv), "abxcz") << "first on top, sort appends, after an item follows it";
  auto* stranger = reinterpret_cast<HTREEITEM>(uintptr_t(0x1234560));
  EXPECT_EQ(add(tv, stranger, "lost"), nullptr);
  EXPECT_EQ(topLevel(tv), "abxcz");
  EXPECT_EQ(TreeView_GetNextSibling(tv, nullptr), TreeView_GetRoot(tv));
  EXPECT_EQ(TreeView_GetChild(tv, nullptr), TreeView_GetRoot(tv));
}

TEST_F(TreeTab, ExpandToggleAndTheChildrenFlag) {
  HWND tv = tree();
  HTREEITEM plain = add(tv, TVI_ROOT, "plain");
  HTREEITEM parent = add(tv, TVI_ROOT, "parent", TVI_LAST, true);
  HTREEITEM child = add(tv, parent, "child");
  add(tv, plain, "hidden");
  EXPECT_EQ(TreeView_GetChild(tv, parent), child);
  struct Step {
    HTREEITEM item;
    UINT action;
    BOOL result;
    int rows;
  } steps[] = {
      {parent, TVE_EXPAND, 1, 3},   {parent, TVE_EXPAND, 0, 3},  {parent, TVE_COLLAPSE, 1, 2},
      {parent, TVE_COLLAPSE, 0, 2}, {parent, TVE_TOGGLE, 1, 3},  {parent, TVE_TOGGLE, 1, 2},
      {plain, TVE_EXPAND, 0, 2},    {nullptr, TVE_EXPAND, 0, 2}, {parent, 7, 0, 2},
  };
  int i = 0;
  for (const Step& s : steps) {
    EXPECT_EQ(TreeView_Expand(tv, s.item, s.action), s.result) << "step " << i;
    EXPECT_EQ(outline(tv)->numberOfRows(), s.rows) << "step " << i;
    ++i;
  }
  TVITEM set{};
  set.mask = TVIF_HANDLE | TVIF_CHILDREN;
  set.hItem = plain;
  set.cChildren = 1;
  ASSERT_TRUE(TreeView_SetItem(tv, &set));
  EXPECT_EQ(TreeView_Expand(tv, plain, TVE_EXPAND), 1) << "expandable once the flag is set";
  TreeView_Expand(tv, parent, TVE_EXPAND);
  ASSERT_EQ(outline(tv)->numberOfRows(), 4);
  EXPECT_EQ(outline(tv)->levelForRow(1), 1) << "the child under plain";
  EXPECT_EQ(outline(tv)->levelForRow(2), 0);
  EXPECT_EQ(outline(tv)->levelForRow(3), 1);
  TVITEM get{};
  get.mask = TVIF_HANDLE;
  get.hItem = parent;
  ASSERT_TRUE(TreeView_GetItem(tv, &get));
  EXPECT_EQ(get.state, UINT(TVIS_EXPANDED));
  EXPECT_EQ(get.cChildren, 1);
}

TEST_F(TreeTab, SelectionNotifiesTheParentAndHitTestsFindRows) {
  HWND tv = tree();
  add(tv, TVI_ROOT, "one", TVI_LAST, false, 11);
  HTREEITEM two = add(tv, TVI_ROOT, "two", TVI_LAST, false, 22);
  ASSERT_TRUE(TreeView_SelectItem(tv, two));
  EXPECT_EQ(TreeView_GetSelection(tv), two);
  EXPECT_EQ(codes(), (std::vector<int>{TVN_SELCHANGED}));
  TVHITTESTINFO hit{{10, 18 + 5}, 77, nullptr};
  EXPECT_EQ(TreeView_HitTest(tv, &hit), two);
  hit.pt.y = 3 * 18;
  EXPECT_EQ(TreeView_HitTest(tv, &hit), nullptr) << "below the rows";
  EXPECT_EQ(hit.flags, 77u) << "the record is left as it was";
  EXPECT_EQ(hit.hItem, nullptr);
  TVITEM get{};
  get.mask = TVIF_HANDLE | TVIF_PARAM;
  get.hItem = two;
  ASSERT_TRUE(TreeView_GetItem(tv, &get));
  EXPECT_EQ(get.lParam, 22);
  EXPECT_EQ(get.state, UINT(TVIS_SELECTED));
}

TEST_F(TreeTab, DeletingAnItemTakesItsSubtreeAndItsHandleAnswersNothing) {
  HWND tv = tree();
  HTREEITEM keep = add(tv, TVI_ROOT, "keep");
  HTREEITEM gone = add(tv, TVI_ROOT, "gone", TVI_LAST, true);
  HTREEITEM child = add(tv, gone, "child", TVI_LAST, true);
  HTREEITEM grandchild = add(tv, child, "grandchild");
  TreeView_Expand(tv, gone, TVE_EXPAND);
  TreeView_Expand(tv, child, TVE_EXPAND);
  ASSERT_EQ(outline(tv)->numberOfRows(), 4);
  ASSERT_TRUE(TreeView_DeleteItem(tv, gone));
  EXPECT_EQ(outline(tv)->numberOfRows(), 1);
  EXPECT_EQ(topLevel(tv), "keep");
  // Every call given a deleted handle answers 0 and changes nothing.
  for (HTREEITEM dead : {gone, child, grandchild}) {
    EXPECT_FALSE(TreeView_DeleteItem(tv, dead));
    EXPECT_FALSE(TreeView_Expand(tv, dead, TVE_TOGGLE));
    EXPECT_FALSE(TreeView_SelectItem(tv, dead));
    EXPECT_EQ(TreeView_GetChild(tv, dead), nullptr);
    EXPECT_EQ(TreeView_GetNextSibling(tv, dead), nullptr);
    EXPECT_EQ(add(tv, dead, "x"), nullptr);
    TVITEM it{};
    it.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_CHILDREN;
    it.hItem = dead;
    EXPECT_FALSE(TreeView_GetItem(tv, &it));
    EXPECT_FALSE(TreeView_SetItem(tv, &it));
    TVINSERTSTRUCT ins{};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = dead;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<char*>("front");
    HTREEITEM front = TreeView_InsertItem(tv, &ins);
    EXPECT_EQ(topLevel(tv), "frontkeep") << "an unknown insert-after gives the front";
    TreeView_DeleteItem(tv, front);
  }
  EXPECT_TRUE(seen().empty());
  EXPECT_EQ(TreeView_GetRoot(tv), keep);
  // Another view's item is no item of this one.
  HWND other = tree();
  HTREEITEM foreign = add(other, TVI_ROOT, "foreign");
  EXPECT_FALSE(TreeView_DeleteItem(tv, foreign));
  EXPECT_EQ(TreeView_GetChild(tv, foreign), nullptr);
  EXPECT_EQ(topLevel(other), "foreign");
}

TEST_F(TreeTab, ARightClickAnsweredZeroAsksForTheContextMenu) {
  HWND tv = tree();
  add(tv, TVI_ROOT, "one");
  click(tv, rowPoint(0), 0, NSRightMouseDown, NSRightMouseUp);
  EXPECT_EQ(codes(), (std::vector<int>{NM_RCLICK, int(WM_CONTEXTMENU)}));
  seen().clear();
  rclickAnswer() = 1;
  click(tv, rowPoint(0), 0, NSRightMouseDown, NSRightMouseUp);
  EXPECT_EQ(codes(), (std::vector<int>{NM_RCLICK}));
  seen().clear();
  click(tv, rowPoint(0));
  EXPECT_EQ(codes(), (std::vector<int>{NM_CLICK, TVN_SELCHANGED}));
  EXPECT_EQ(TreeView_GetSelection(tv), TreeView_GetRoot(tv));
}

TEST_F(TreeTab, TabsNotifyWhenClickedNotWhenInserted) {
  HWND tab = make("SysTabControl32", 400, 0, 10, 10, 300, 100);
  for (const char* label : {"Patch", "Bank", "Global"}) {
    TCITEM it{TCIF_TEXT, 0, 0, label, 0, 0, 0};
    TabCtrl_InsertItem(tab, 99, &it);
  }
  TCITEM noText{0, 0, 0, "x", 0, 0, 0};
  EXPECT_EQ(TabCtrl_InsertItem(tab, 0, &noText), -1);
  EXPECT_EQ(TabCtrl_GetItemCount(tab), 3);
  EXPECT_TRUE(seen().empty());
  auto* view = wapiAs<NSTabView>(wapiObject(tab));
  const NSRect second = view->rectOfTab(1);
  ns_standin::mouseAtView(view, NSLeftMouseDown, NSMakePoint(second.origin.x + 5, 5));
  ASSERT_EQ(codes(), (std::vector<int>{TCN_SELCHANGE}));
  EXPECT_EQ(seen()[0].wParam, 400u);
  EXPECT_EQ(TabCtrl_GetCurSel(tab), 1);
  EXPECT_EQ(TabCtrl_SetCurSel(tab, 7), 1) << "past the end: nothing changes";
  EXPECT_EQ(TabCtrl_GetCurSel(tab), 1);
  EXPECT_EQ(TabCtrl_SetCurSel(tab, 2), 1);
  EXPECT_EQ(TabCtrl_GetCurSel(tab), 2);
  EXPECT_TRUE(TabCtrl_DeleteItem(tab, 0));
  EXPECT_FALSE(TabCtrl_DeleteItem(tab, 2));
  RECT r{10, 20, 300, 200};
  EXPECT_TRUE(TabCtrl_AdjustRect(tab, false, &r));
  EXPECT_EQ(r.top, 46);
  EXPECT_EQ(r.bottom, 197);
  EXPECT_TRUE(TabCtrl_AdjustRect(tab, true, &r));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 200);
}

TEST_F(TreeTab, ProgressMessages) {
  HWND bar = make("msctls_progress32", 500, 0, 10, 300, 200, 12);
  auto* p = wapiAs<NSProgressIndicator>(wapiObject(bar));
  ASSERT_NE(p, nullptr);
  struct Step {
    UINT msg;
    WPARAM w;
    LPARAM l;
    double min, max, value;
  } steps[] = {
      {PBM_SETRANGE, 0, 0x00640000, 0, 100, 0},
      {PBM_SETPOS, 40, 0, 0, 100, 40},
      {PBM_DELTAPOS, 5, 0, 0, 100, 45},
      {PBM_SETRANGE, 0, LPARAM(0xFFFF0010u), 16, 65535, 45},
      {PBM_SETPOS, WPARAM(0xFFFFFFFF00000007ull), 0, 16, 65535, 7},
      {0x404, 9, 9, 16, 65535, 7},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(SendMessage(bar, s.msg, s.w, s.l), 0);
    EXPECT_EQ(p->minValue(), s.min);
    EXPECT_EQ(p->maxValue(), s.max);
    EXPECT_EQ(p->doubleValue(), s.value);
  }
}

}  // namespace
