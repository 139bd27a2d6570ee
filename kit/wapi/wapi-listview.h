// The layer's table controls: the report list view (also the list box), the tree view, the tab
// control and the progress bar, with their records and operations. Every operation takes the
// control's handle and does nothing (answering 0 unless stated) for a null or foreign one.
// Main thread only.
#pragma once

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-imagelist.h"
#include "kit/wapi/wapi-input.h"

#include <string>
#include <vector>

enum : UINT { WM_DRAWITEM = 0x002B };
enum : int {
  NM_CLICK = -2,
  NM_RCLICK = -5,
  LVN_ITEMCHANGED = -101,
  LVN_COLUMNCLICK = -108,
  LVN_BEGINDRAG = -109,
  LVN_GETDISPINFO = -150,
  TVN_SELCHANGED = -402,
  TCN_SELCHANGE = -551,
};
enum : LONG_PTR {
  LBS_SORT = 0x2,
  LVS_REPORT = 0x1,
  LVS_SINGLESEL = 0x4,
  LVS_SORTASCENDING = 0x10,
  LBS_OWNERDRAWFIXED = 0x10,
  LVS_SORTDESCENDING = 0x20,
  LBS_EXTENDEDSEL = 0x800,
  LVS_OWNERDATA = 0x1000,
  LVS_NOCOLUMNHEADER = 0x4000,
};
enum : UINT {
  LVIF_TEXT = 1,
  LVIF_IMAGE = 2,
  LVIF_PARAM = 4,
  LVIF_STATE = 8,
  LVIS_SELECTED = 1,
  LVIS_FOCUSED = 2,
  LVIS_STATEIMAGEMASK = 0xFF0000,
  LVCF_FMT = 1,
  LVCF_WIDTH = 2,
  LVCF_TEXT = 4,
  LVNI_SELECTED = 1,
  LVNI_FOCUSED = 2,
  LVHT_NOWHERE = 1,
  LVHT_ONITEMLABEL = 4,
  LVHT_ONITEMSTATEICON = 8,
  LVHT_ABOVE = 0x10,
  LVHT_BELOW = 0x20,
  LVHT_TORIGHT = 0x40,
  LVHT_TOLEFT = 0x80,
  LVS_EX_GRIDLINES = 0x1,
  LVS_EX_HEADERDRAGDROP = 0x10,
  LVSIL_SMALL = 1,
  LVSIL_STATE = 2,
  HDI_FORMAT = 4,
  HDF_SORTDOWN = 0x200,
  HDF_SORTUP = 0x400,
  ODT_LISTBOX = 2,
};
// List-box messages.
enum : UINT {
  LB_ADDSTRING = 0x180,
  LB_INSERTSTRING = 0x181,
  LB_DELETESTRING = 0x182,
  LB_GETTEXT = 0x183,
  LB_RESETCONTENT = 0x184,
  LB_SETSEL = 0x185,
  LB_SETCURSEL = 0x186,
  LB_GETSEL = 0x187,
  LB_GETCURSEL = 0x188,
  LB_GETCOUNT = 0x18B,
  LB_GETSELCOUNT = 0x190,
  LB_GETITEMDATA = 0x199,
  LB_SETITEMDATA = 0x19A,
  PBM_SETRANGE = 0x401,
  PBM_SETPOS = 0x402,
  PBM_DELTAPOS = 0x403,
};

struct LVITEM {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  char* pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};
struct LVCOLUMN {
  UINT mask;
  int fmt;
  int cx;
  const char* pszText;
};
struct LVHITTESTINFO {
  POINT pt;
  UINT flags;
  int iItem;
  int iSubItem;
};
struct HDITEM {
  UINT mask;
  int cxy;
  char* pszText;
  HGDIOBJ hbm;
  int cchTextMax;
  int fmt;
  LPARAM lParam;
};
struct NMLVDISPINFO {
  NMHDR hdr;
  LVITEM item;
};
struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  uintptr_t itemData;
};
typedef int (*PFNLVCOMPARE)(LPARAM a, LPARAM b, LPARAM param);

// A list box made into the current owner: a list view in list-box mode.
HWND WAPI_MakeListBox(int id, int x, int y, int w, int h, int style);

int ListView_GetItemCount(HWND hwnd);
int ListView_InsertItem(HWND hwnd, const LVITEM* item);
void ListView_SetItemText(HWND hwnd, int item, int subitem, const char* text);
void ListView_GetItemText(HWND hwnd, int item, int subitem, char* buffer, int size);
BOOL ListView_SetItem(HWND hwnd, const LVITEM* item);
BOOL ListView_GetItem(HWND hwnd, LVITEM* item);
BOOL ListView_SetItemState(HWND hwnd, int item, UINT state, UINT mask);
UINT ListView_GetItemState(HWND hwnd, int item, UINT mask);
BOOL ListView_DeleteItem(HWND hwnd, int item);
BOOL ListView_DeleteAllItems(HWND hwnd);
void ListView_SetItemCount(HWND hwnd, int count);
BOOL ListView_RedrawItems(HWND hwnd, int first, int last);
int ListView_GetNextItem(HWND hwnd, int start, UINT flags);
int ListView_GetSelectedCount(HWND hwnd);
int ListView_GetSelectionMark(HWND hwnd);
BOOL ListView_SortItems(HWND hwnd, PFNLVCOMPARE compare, LPARAM param);

int ListView_InsertColumn(HWND hwnd, int index, const LVCOLUMN* column);
BOOL ListView_SetColumn(HWND hwnd, int col, const LVCOLUMN* column);
BOOL ListView_DeleteColumn(HWND hwnd, int col);
int ListView_GetColumnWidth(HWND hwnd, int col);
BOOL ListView_SetColumnWidth(HWND hwnd, int col, int width);
BOOL ListView_GetColumnOrderArray(HWND hwnd, int n, int* out);
BOOL ListView_SetColumnOrderArray(HWND hwnd, int n, const int* in);
HWND ListView_GetHeader(HWND hwnd);
int Header_GetItemCount(HWND hwnd);
BOOL Header_GetItem(HWND hwnd, int col, HDITEM* item);
BOOL Header_SetItem(HWND hwnd, int col, const HDITEM* item);
int WAPI_GetListViewHeaderHeight(HWND hwnd);
void ListView_SetExtendedListViewStyleEx(HWND hwnd, UINT mask, UINT bits);
void WAPI_SetListViewFastClickMask(HWND hwnd, int mask);
HIMAGELIST ListView_SetImageList(HWND hwnd, HIMAGELIST list, int which);

int ListView_HitTest(HWND hwnd, LVHITTESTINFO* info);
int ListView_SubItemHitTest(HWND hwnd, LVHITTESTINFO* info);
BOOL ListView_GetItemRect(HWND hwnd, int item, RECT* r, int code);
BOOL ListView_GetSubItemRect(HWND hwnd, int item, int subitem, int code, RECT* r);
BOOL ListView_EnsureVisible(HWND hwnd, int item, BOOL partial);
int ListView_GetTopIndex(HWND hwnd);
int ListView_GetCountPerPage(HWND hwnd);
BOOL ListView_Scroll(HWND hwnd, int dx, int dy);
BOOL ListView_GetScroll(HWND hwnd, POINT* p);

// Colour words are 0x00RRGGBB.
void ListView_SetBkColor(HWND hwnd, int colour);
void ListView_SetGridColor(HWND hwnd, int colour);
void ListView_SetTextColor(HWND hwnd, int colour);
void ListView_SetTextBkColor(HWND hwnd, int colour);
// Entries 0 and 1: fill and text with focus; 2 and 3 without. For list and tree views.
void ListView_SetSelColors(HWND hwnd, const int* colours, int count);

// Tab control.
struct TCITEM {
  UINT mask;
  DWORD dwState;
  DWORD dwStateMask;
  const char* pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};
enum : UINT { TCIF_TEXT = 0x1 };
int TabCtrl_GetItemCount(HWND hwnd);
int TabCtrl_InsertItem(HWND hwnd, int index, const TCITEM* item);
BOOL TabCtrl_DeleteItem(HWND hwnd, int index);
int TabCtrl_GetCurSel(HWND hwnd);
int TabCtrl_SetCurSel(HWND hwnd, int index);
BOOL TabCtrl_AdjustRect(HWND hwnd, BOOL larger, RECT* r);

// Makers of the control factory's rows: the frame is already in pixels.
HWND wapiMakeTabControl(NSView* owner, int id, int style, NSRect frame);
HWND wapiMakeListView(NSView* owner, int id, int style, NSRect frame, bool listBox);
HWND wapiMakeTreeView(NSView* owner, int id, int style, NSRect frame);
HWND wapiMakeProgressBar(NSView* owner, int id, int style, NSRect frame);

// The classes behind the handles.

struct WAPI_ListView_Row {
  std::vector<std::string> texts;  // by column creation index; may be shorter than the columns
  LPARAM param = 0;
  int image = 0;  // status image number, 1-based; 0 none
  int sortsel = 0;
};

class Wapi_vQOR_listview : public NSTableView,
                           public NSTableViewDataSource,
                           public WapiMessageTarget,
                           public WapiStyleHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_listview)

 public:
  Wapi_vQOR_listview() = default;
  ~Wapi_vQOR_listview() override;
  LONG_PTR getWapiStyle() override { return mStyle; }
  void setWapiStyle(LONG_PTR style) override { mStyle = style; }
  int getWapiNotificationMode() const { return mLbMode; }
  void setWapiNotificationMode(int mode) { mLbMode = mode; }
  // Creation index to display position and back.
  NSInteger getColumnPos(NSInteger idx) const;
  NSInteger getColumnIdx(NSInteger pos) const;
  // The creation index of the column at the point.
  NSInteger columnAtPoint(NSPoint p) const override;
  NSInteger numberOfRowsInTableView(NSTableView*) override { return rowCount(); }
  NSString* tableViewObjectValue(NSTableView*, NSTableColumn* column, NSInteger row) override;
  // List-box messages.
  LRESULT onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void mouseDown(NSEvent* e) override;
  void mouseDragged(NSEvent* e) override;
  void mouseUp(NSEvent* e) override;
  void rightMouseUp(NSEvent* e) override;
  void highlightSelectionInClipRect(NSRect clip) override;
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

  bool ownerData() const { return !mLbMode && (mStyle & LVS_OWNERDATA); }
  int rowCount() const { return ownerData() ? mOwnerModeCnt : int(mItems.size()); }
  WAPI_ListView_Row* row(int i) { return i >= 0 && size_t(i) < mItems.size() ? &mItems[size_t(i)] : nullptr; }
  // The selection colour for the focus state (entry 0 with focus, 2 without), null when the
  // list has none.
  NSColor* selectionFill() const;
  NSColor* selectionText() const;
  bool hasSelColors() const { return !mSelColors.empty(); }
  void setSelColors(std::vector<NSColor*> colours);
  void setTextColor(NSColor* colour);
  // Selects the row, extending the selection as the style asks.
  void selectRowByStyle(int row);

  std::vector<WAPI_ListView_Row> mItems;
  std::vector<NSTableColumn*> mCols;  // creation order; the table holds them
  int mOwnerModeCnt = 0;
  std::vector<HIMAGELIST> mStatusImageList;
  int mStatusImageListType = -1;
  int mFastClickMask = 0;

 protected:
  void willDisplayCell(NSCell* cell, NSTableColumn* column, NSInteger row) override;

 private:
  // A list-view record to the target: the point (floored) when given, else zeros.
  LRESULT sendClick(int code, int row, int column, const NSPoint* p, LPARAM param);
  int mLeftMouseMoveCnt = 0;
  bool mFakeRightMouse = false;
  LONG_PTR mStyle = 0;
  int mStartItem = -1, mStartSubitem = -1, mStartItemClickMode = 0;
  int mLbMode = 0;
  NSColor* mFgColor = nullptr;       // retained
  std::vector<NSColor*> mSelColors;  // retained
};

// The text cell of list and tree views: no highlight of its own while the control has
// selection colours.
class Wapi_vQOR_listviewcell : public NSTextFieldCell {
  NS_STANDIN_CLASS(Wapi_vQOR_listviewcell)

 public:
  Wapi_vQOR_listviewcell() = default;
  NSColor* highlightColorWithFrame(NSRect frame, NSView* view) override;
};

// The first column's cell with a status image: the image in the square at the left, the text
// after it.
class Wapi_vQOR_statuscell : public Wapi_vQOR_listviewcell {
  NS_STANDIN_CLASS(Wapi_vQOR_statuscell)

 public:
  Wapi_vQOR_statuscell() = default;
  // The icon object of the image list entry (the list keeps it).
  void setStatusImage(HGDIOBJ image) { mStatus = image; }
  HGDIOBJ statusImage() const { return mStatus; }
  void drawInteriorWithFrame(NSRect frame, NSView* view) override;

 private:
  HGDIOBJ mStatus = nullptr;  // not owned
};

// The owner-drawn cell of a list box: WM_DRAWITEM to the owner's parent for each row.
class Wapi_vQOR_ODlistviewcell : public NSCell {
  NS_STANDIN_CLASS(Wapi_vQOR_ODlistviewcell)

 public:
  Wapi_vQOR_ODlistviewcell() = default;
  void setOwnerControl(Wapi_vQOR_listview* owner) {
    mOwnCtl = owner;
    mLastIdx = 0;
  }
  void setItemIdx(int idx) { mLastIdx = idx; }
  void drawInteriorWithFrame(NSRect frame, NSView* view) override;

 private:
  Wapi_vQOR_listview* mOwnCtl = nullptr;  // not retained
  int mLastIdx = 0;
};

class Wapi_vQOR_tabview : public NSTabView, public NSTabViewDelegate, public WapiTagHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_tabview)

 public:
  Wapi_vQOR_tabview() = default;
  NSInteger tag() const override { return mTag; }
  void setTag(NSInteger tag) override { mTag = int(tag); }
  void setNotificationWindow(HWND dest) { mDest = dest; }
  HWND getNotificationWindow() const { return mDest; }
  void tabViewDidSelectTabViewItem(NSTabView* tabView, NSTabViewItem* item) override;
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

 private:
  int mTag = 0;
  HWND mDest = nullptr;
};

class Wapi_vQOR_progind : public NSProgressIndicator, public WapiMessageTarget, public WapiTagHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_progind)

 public:
  Wapi_vQOR_progind() = default;
  NSInteger tag() const override { return mTag; }
  void setTag(NSInteger tag) override { mTag = int(tag); }
  // PBM_SETRANGE, PBM_SETPOS and PBM_DELTAPOS; always 0.
  LRESULT onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

 private:
  int mTag = 0;
};

// Colour words 0x00RRGGBB as calibrated colours (autoreleased).
NSColor* wapiColourFromWord(int colour);

// Tree view.
struct WAPI_TreeItem;
typedef WAPI_TreeItem* HTREEITEM;
#define TVI_ROOT reinterpret_cast<HTREEITEM>(uintptr_t(0xFFFF0000u))
#define TVI_FIRST reinterpret_cast<HTREEITEM>(uintptr_t(0xFFFF0001u))
#define TVI_LAST reinterpret_cast<HTREEITEM>(uintptr_t(0xFFFF0002u))
#define TVI_SORT reinterpret_cast<HTREEITEM>(uintptr_t(0xFFFF0003u))
enum : UINT {
  TVIF_TEXT = 0x1,
  TVIF_PARAM = 0x4,
  TVIF_HANDLE = 0x10,
  TVIF_CHILDREN = 0x40,
  TVIS_SELECTED = 0x2,
  TVIS_EXPANDED = 0x20,
  TVE_COLLAPSE = 1,
  TVE_EXPAND = 2,
  TVE_TOGGLE = 3,
};
struct TVITEM {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  char* pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;  // pointer-sized
};
// The tree-view notification record; the layer sends it with every field but the header 0.
struct NMTREEVIEW {
  NMHDR hdr;
  UINT action;
  TVITEM itemOld, itemNew;
  POINT ptDrag;
};
struct TVINSERTSTRUCT {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEM item;
};
struct TVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
};
HTREEITEM TreeView_InsertItem(HWND hwnd, const TVINSERTSTRUCT* insert);
BOOL TreeView_DeleteItem(HWND hwnd, HTREEITEM item);
BOOL TreeView_Expand(HWND hwnd, HTREEITEM item, UINT action);
HTREEITEM TreeView_GetSelection(HWND hwnd);
BOOL TreeView_SelectItem(HWND hwnd, HTREEITEM item);
BOOL TreeView_GetItem(HWND hwnd, TVITEM* item);
BOOL TreeView_SetItem(HWND hwnd, const TVITEM* item);
HTREEITEM TreeView_HitTest(HWND hwnd, TVHITTESTINFO* info);
HTREEITEM TreeView_GetRoot(HWND hwnd);
HTREEITEM TreeView_GetChild(HWND hwnd, HTREEITEM item);
HTREEITEM TreeView_GetNextSibling(HWND hwnd, HTREEITEM item);
BOOL TreeView_SetIndent(HWND hwnd, int pixels);
void TreeView_SetBkColor(HWND hwnd, int colour);
void TreeView_SetTextColor(HWND hwnd, int colour);
