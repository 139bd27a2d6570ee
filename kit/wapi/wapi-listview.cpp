// The list view's rows, columns, header and geometry.
#include "kit/wapi/wapi-listview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_listview, NSTableView)

namespace {

const char* const kAscending = "NSAscendingSortIndicator";
const char* const kDescending = "NSDescendingSortIndicator";

// Process-wide, as the notifications they guard are sent from any list view.
int gDoingAll = 0;
bool gSendingItemChanged = false;

Wapi_vQOR_listview* listView(HWND hwnd) {
  return wapiAs<Wapi_vQOR_listview>(wapiObject(hwnd));
}

template <class T>
void retainInto(T*& slot, T* value) {
  if (value) value->retain();
  if (slot) slot->release();
  slot = value;
}

NSTableColumn* columnAt(Wapi_vQOR_listview* lv, int col) {
  return col >= 0 && size_t(col) < lv->mCols.size() ? lv->mCols[size_t(col)] : nullptr;
}

void setHidden(NSTableColumn* c, int width) {
  if (width) {
    c->setHidden(false);
    c->setWidth(width);
  } else {
    c->setHidden(true);
  }
}

bool canTitle(Wapi_vQOR_listview* lv) {
  return !lv->getWapiNotificationMode() && !(lv->getWapiStyle() & LVS_NOCOLUMNHEADER);
}

NSTextAlignment alignmentOf(int fmt) {
  return fmt == 1 ? NSRightTextAlignment : fmt == 2 ? NSCenterTextAlignment : NSLeftTextAlignment;
}

}  // namespace

NSColor* wapiColourFromWord(int colour) {
  const auto c = uint32_t(colour);
  return NSColor::colorWithCalibratedRed(((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0, 1.0);
}

// The bisection of a sorted insert: where text goes among the rows' first texts, which run in the
// order `before` gives (before(a, b): a sorts in front of b).
template <class Before>
static int sortedPosition(Wapi_vQOR_listview* lv, const char* text, Before before) {
  auto first = [&](int i) {
    const WAPI_ListView_Row* r = lv->row(i);
    return r && !r->texts.empty() ? r->texts[0].c_str() : "";
  };
  const int count = lv->rowCount();
  int lo = 0, n = count;
  while (n > 0) {
    const int mid = lo + n / 2;
    const char* m = first(mid);
    if (std::strcmp(text, m) == 0) return mid;
    if (before(text, m)) {
      n /= 2;
      continue;
    }
    lo = mid + 1;
    if (lo >= count || !before(first(lo), text)) return lo;
    n = (n - 1) / 2;
  }
  return 0;
}

static int insertRow(Wapi_vQOR_listview* lv, int pos, const char* text, LPARAM param, bool hasParam, int image) {
  WAPI_ListView_Row r;
  r.texts.emplace_back(text ? text : "");
  if (hasParam) r.param = param;
  r.image = image;
  pos = std::max(0, std::min(pos, int(lv->mItems.size())));
  lv->mItems.insert(lv->mItems.begin() + pos, std::move(r));
  const bool last = size_t(pos) + 1 == lv->mItems.size();
  lv->reloadData();
  if (!last) lv->shiftSelection(pos, 1);
  return pos;
}

int wapiListSortedPosition(Wapi_vQOR_listview* lv, const char* text, bool descending) {
  if (descending) return sortedPosition(lv, text, [](const char* a, const char* b) { return std::strcmp(b, a) < 0; });
  return sortedPosition(lv, text, [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
}

int wapiListInsertText(Wapi_vQOR_listview* lv, int pos, const char* text) {
  return insertRow(lv, pos, text, 0, false, 0);
}

Wapi_vQOR_listview::~Wapi_vQOR_listview() {
  retainInto(mFgColor, static_cast<NSColor*>(nullptr));
  setSelColors({});
}

NSInteger Wapi_vQOR_listview::getColumnPos(NSInteger idx) const {
  if (idx < 0 || size_t(idx) >= mCols.size()) return idx;
  return columnWithTableColumn(mCols[size_t(idx)]);
}

NSInteger Wapi_vQOR_listview::getColumnIdx(NSInteger pos) const {
  if (pos < 0 || size_t(pos) >= tableColumns().size()) return pos;
  auto it = std::find(mCols.begin(), mCols.end(), tableColumns()[size_t(pos)]);
  return it == mCols.end() ? -1 : NSInteger(it - mCols.begin());
}

NSInteger Wapi_vQOR_listview::columnAtPoint(NSPoint p) const {
  const NSInteger pos = NSTableView::columnAtPoint(p);
  return pos < 0 ? -1 : getColumnIdx(pos);
}

void Wapi_vQOR_listview::setSelColors(std::vector<NSColor*> colours) {
  for (NSColor* c : colours) c->retain();
  for (NSColor* c : mSelColors) c->release();
  mSelColors = std::move(colours);
  setNeedsDisplay(true);
}

void Wapi_vQOR_listview::setTextColor(NSColor* colour) {
  retainInto(mFgColor, colour);
  setNeedsDisplay(true);
}

NSColor* Wapi_vQOR_listview::selectionFill() const {
  const size_t i = GetFocus() == wapiHandle(this) ? 0 : 2;
  return i < mSelColors.size() ? mSelColors[i] : nullptr;
}

NSColor* Wapi_vQOR_listview::selectionText() const {
  const size_t i = GetFocus() == wapiHandle(this) ? 1 : 3;
  return i < mSelColors.size() ? mSelColors[i] : nullptr;
}

void Wapi_vQOR_listview::willDisplayCell(NSCell* cell, NSTableColumn*, NSInteger row) {
  auto* text = wapiAs<NSTextFieldCell>(cell);
  if (!text) return;
  NSColor* c = isRowSelected(row) ? selectionText() : mFgColor;
  text->setTextColor(c);
}

void Wapi_vQOR_listview::selectRowByStyle(int r) {
  const bool extend = mLbMode ? (mStyle & LBS_EXTENDEDSEL) != 0 : !(mStyle & LVS_SINGLESEL);
  selectRowIndexes(NSIndexSet::indexSetWithIndex(NSUInteger(r)), extend);
}

HWND WAPI_MakeListBox(int id, int x, int y, int w, int h, int style) {
  return WAPI_MakeControl("", id, "SysListView32_LB", style, x, y, w, h, 0);
}

int ListView_GetItemCount(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  return lv ? lv->rowCount() : 0;
}

int ListView_InsertItem(HWND hwnd, const LVITEM* item) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return 0;
  if (lv->ownerData()) return -1;
  if (!item || item->iSubItem != 0) return 0;
  int pos = std::max(0, std::min(item->iItem, lv->rowCount()));
  const LONG_PTR style = lv->getWapiStyle();
  const char* text = (item->mask & LVIF_TEXT) && item->pszText ? item->pszText : nullptr;
  if ((item->mask & LVIF_TEXT) && !lv->getWapiNotificationMode() && (style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)))
    pos = wapiListSortedPosition(lv, text ? text : "", !(style & LVS_SORTASCENDING));
  int image = 0;
  if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK)) image = int((item->state >> 16) & 255);
  pos = insertRow(lv, pos, text, item->lParam, (item->mask & LVIF_PARAM) != 0, image);
  if ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_SELECTED) && (item->state & LVIS_SELECTED))
    lv->selectRowByStyle(pos);
  return pos;
}

void ListView_SetItemText(HWND hwnd, int item, int subitem, const char* text) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || lv->ownerData() || subitem < 0 || subitem > 31) return;
  WAPI_ListView_Row* r = lv->row(item);
  if (!r) return;
  if (r->texts.size() <= size_t(subitem)) r->texts.resize(size_t(subitem) + 1);
  r->texts[size_t(subitem)] = text ? text : "";
  lv->reloadData();
}

void ListView_GetItemText(HWND hwnd, int item, int subitem, char* buffer, int size) {
  LVITEM it{};
  it.mask = LVIF_TEXT;
  it.iItem = item;
  it.iSubItem = subitem;
  it.pszText = buffer;
  it.cchTextMax = size;
  ListView_GetItem(hwnd, &it);
}

BOOL ListView_SetItem(HWND hwnd, const LVITEM* item) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !item || lv->ownerData()) return 0;
  WAPI_ListView_Row* r = lv->row(item->iItem);
  if (!r) return 0;
  if (item->mask & LVIF_PARAM) r->param = item->lParam;
  if ((item->mask & LVIF_TEXT) && item->pszText) ListView_SetItemText(hwnd, item->iItem, item->iSubItem, item->pszText);
  if ((item->mask & LVIF_IMAGE) && item->iImage >= 0) {
    r = lv->row(item->iItem);
    r->image = item->iImage + 1;
    lv->reloadData();
  }
  if ((item->mask & LVIF_STATE) && item->stateMask)
    ListView_SetItemState(hwnd, item->iItem, item->state, item->stateMask);
  return 1;
}

BOOL ListView_GetItem(HWND hwnd, LVITEM* item) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !item) return 0;
  if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax >= 1) item->pszText[0] = 0;
  item->state = 0;
  const bool owner = lv->ownerData();
  WAPI_ListView_Row* r = owner ? nullptr : lv->row(item->iItem);
  if (owner ? (item->iItem < 0 || item->iItem >= lv->rowCount()) : !r) return 0;
  if (r && (item->mask & LVIF_PARAM)) item->lParam = r->param;
  if (r && (item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax >= 1) {
    // A negative sub-item, or one past the texts, reads as "".
    const std::string* t =
        item->iSubItem >= 0 && size_t(item->iSubItem) < r->texts.size() ? &r->texts[size_t(item->iSubItem)] : nullptr;
    if (t) wapiCopyUtf8(t->c_str(), t->size(), item->pszText, item->cchTextMax);
  }
  if (item->mask & LVIF_STATE) {
    if (r && (item->stateMask & LVIS_STATEIMAGEMASK)) item->state = UINT(r->image) << 16;
    if ((item->stateMask & LVIS_SELECTED) && lv->isRowSelected(item->iItem)) item->state |= LVIS_SELECTED;
    if ((item->stateMask & LVIS_FOCUSED) && lv->selectedRow() == item->iItem) item->state |= LVIS_FOCUSED;
  }
  return 1;
}

static BOOL setItemState(Wapi_vQOR_listview* lv, int item, UINT state, UINT mask) {
  const bool owner = lv->ownerData();
  WAPI_ListView_Row* r = owner ? nullptr : lv->row(item);
  if (owner ? (item < 0 || item >= lv->rowCount()) : !r) return 0;
  bool imageChanged = false, selChanged = false;
  if (r && (mask & LVIS_STATEIMAGEMASK)) {
    const int image = int((state >> 16) & 255);
    imageChanged = image != r->image;
    r->image = image;
  }
  if (mask & LVIS_SELECTED) {
    const bool on = lv->isRowSelected(item);
    if ((state & LVIS_SELECTED) && !on) {
      lv->selectRowByStyle(item);
      selChanged = true;
    } else if (!(state & LVIS_SELECTED) && on) {
      lv->deselectRow(item);
      selChanged = true;
    }
  }
  if (gDoingAll) return 1;
  if (selChanged && !gSendingItemChanged) {
    gSendingItemChanged = true;
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = wapiHandle(lv);
    nm.hdr.idFrom = UINT_PTR(lv->tag());
    nm.hdr.code = LVN_ITEMCHANGED;
    nm.iItem = item;
    nm.uNewState = state;
    SendMessage(GetParent(wapiHandle(lv)), WM_NOTIFY, WPARAM(lv->tag()), LPARAM(&nm));
    gSendingItemChanged = false;
  }
  if (imageChanged && !owner) lv->reloadData();
  return 1;
}

BOOL ListView_SetItemState(HWND hwnd, int item, UINT state, UINT mask) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return 0;
  if (item != -1) return setItemState(lv, item, state, mask);
  ++gDoingAll;
  lv->retain();
  for (int i = 0; i < lv->rowCount(); ++i) setItemState(lv, i, state, mask);
  --gDoingAll;
  lv->reloadData();
  lv->release();
  return 1;
}

UINT ListView_GetItemState(HWND hwnd, int item, UINT mask) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || item < 0 || item >= lv->rowCount()) return 0;
  UINT out = 0;
  if (WAPI_ListView_Row* r = lv->row(item))
    if (mask & LVIS_STATEIMAGEMASK) out = UINT(r->image) << 16;
  if ((mask & LVIS_SELECTED) && lv->isRowSelected(item)) out |= LVIS_SELECTED;
  if ((mask & LVIS_FOCUSED) && lv->selectedRow() == item) out |= LVIS_FOCUSED;
  return out;
}

BOOL ListView_DeleteItem(HWND hwnd, int item) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !lv->row(item)) return 0;
  // The platform's shift: indexes past the row move down one, the row's own index goes.
  if (size_t(item) + 1 < lv->mItems.size()) lv->shiftSelection(item + 1, -1);
  lv->mItems.erase(lv->mItems.begin() + item);
  lv->reloadData();
  return 1;
}

BOOL ListView_DeleteAllItems(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return 0;
  lv->mOwnerModeCnt = 0;
  lv->mItems.clear();
  lv->reloadData();
  return 1;
}

void ListView_SetItemCount(HWND hwnd, int count) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !lv->ownerData()) return;
  lv->mOwnerModeCnt = std::max(0, count);
  lv->reloadData();
}

BOOL ListView_RedrawItems(HWND hwnd, int, int) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return 0;
  lv->reloadData();
  return 1;
}

int ListView_GetNextItem(HWND hwnd, int start, UINT flags) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return 0;
  if (flags == LVNI_SELECTED) {
    for (int i = std::max(0, start < 0 ? 0 : start + 1); i < lv->rowCount(); ++i)
      if (lv->isRowSelected(i)) return i;
    return -1;
  }
  if (flags == LVNI_FOCUSED) return int(lv->selectedRow());
  return -1;
}

int ListView_GetSelectedCount(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  return lv ? int(lv->numberOfSelectedRows()) : 0;
}

int ListView_GetSelectionMark(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  return lv ? int(lv->selectedRow()) : 0;
}

BOOL ListView_SortItems(HWND hwnd, PFNLVCOMPARE compare, LPARAM param) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !compare || lv->ownerData() || lv->getWapiNotificationMode()) return 0;
  int selected = 0;
  for (size_t i = 0; i < lv->mItems.size(); ++i) {
    lv->mItems[i].sortsel = lv->isRowSelected(NSInteger(i)) ? 1 : 0;
    selected += lv->mItems[i].sortsel;
  }
  // A merge sort that takes the left row while the callback does not put it after the right
  // one, so that equal rows keep their order.
  std::vector<size_t> order(lv->mItems.size()), tmp(order.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto paramOf = [&](size_t i) { return lv->mItems[i].param; };
  auto sortRun = [&](auto&& self, size_t lo, size_t n) -> void {
    if (n < 2) return;
    const size_t half = n / 2;
    self(self, lo, half);
    self(self, lo + half, n - half);
    size_t a = lo, b = lo + half, out = 0;
    while (a < lo + half && b < lo + n)
      tmp[out++] = compare(paramOf(order[a]), paramOf(order[b]), param) <= 0 ? order[a++] : order[b++];
    while (a < lo + half) tmp[out++] = order[a++];
    std::copy(tmp.begin(), tmp.begin() + long(out), order.begin() + long(lo));
  };
  sortRun(sortRun, 0, order.size());
  std::vector<WAPI_ListView_Row> sorted;
  sorted.reserve(order.size());
  for (size_t i : order) sorted.push_back(std::move(lv->mItems[i]));
  lv->mItems.swap(sorted);
  if (selected) {
    NSMutableIndexSet* set = NSMutableIndexSet::indexSet();
    for (size_t i = 0; i < lv->mItems.size(); ++i)
      if (lv->mItems[i].sortsel) set->addIndex(i);
    lv->selectRowIndexes(set, false);
  }
  lv->reloadData();
  return 1;
}

int ListView_InsertColumn(HWND hwnd, int index, const LVCOLUMN* column) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !column) return -1;
  auto* c = static_cast<NSTableColumn*>(NSTableColumn::class_()->alloc());
  c->setEditable(false);
  setHidden(c, column->cx);
  const NSTextAlignment align = alignmentOf(column->fmt);
  c->setHeaderAlignment(align);
  if (canTitle(lv) && column->pszText) c->setHeaderTitle(column->pszText);
  NSTextFieldCell* cell = index == 0 && !lv->mStatusImageList.empty()
                              ? static_cast<NSTextFieldCell*>(Wapi_vQOR_statuscell::class_()->alloc())
                              : static_cast<NSTextFieldCell*>(Wapi_vQOR_listviewcell::class_()->alloc());
  cell->setAlignment(align);
  cell->setWraps(false);
  c->setDataCell(cell);
  cell->release();
  lv->addTableColumn(c);
  lv->mCols.push_back(c);
  c->release();
  return int(lv->mCols.size()) - 1;
}

BOOL ListView_SetColumn(HWND hwnd, int col, const LVCOLUMN* column) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  NSTableColumn* c = lv && column ? columnAt(lv, col) : nullptr;
  if (!c) return 0;
  if (column->mask & LVCF_FMT) c->setHeaderAlignment(alignmentOf(column->fmt));
  if (column->mask & LVCF_WIDTH) setHidden(c, column->cx);
  if ((column->mask & LVCF_TEXT) && canTitle(lv)) c->setHeaderTitle(column->pszText);
  lv->tile();
  return 1;
}

BOOL ListView_DeleteColumn(HWND hwnd, int col) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  NSTableColumn* c = lv ? columnAt(lv, col) : nullptr;
  if (!c) return 0;
  lv->mCols.erase(lv->mCols.begin() + col);
  lv->removeTableColumn(c);
  return 1;
}

int ListView_GetColumnWidth(HWND hwnd, int col) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  NSTableColumn* c = lv ? columnAt(lv, col) : nullptr;
  return !c || c->isHidden() ? 0 : int(std::lround(c->width()));
}

BOOL ListView_SetColumnWidth(HWND hwnd, int col, int width) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  NSTableColumn* c = lv ? columnAt(lv, col) : nullptr;
  if (!c) return 0;
  setHidden(c, width);
  lv->tile();
  return 1;
}

BOOL ListView_GetColumnOrderArray(HWND hwnd, int n, int* out) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !out || n != int(lv->mCols.size())) return 0;
  for (int i = 0; i < n; ++i) out[i] = int(lv->getColumnPos(i));
  return 1;
}

BOOL ListView_SetColumnOrderArray(HWND hwnd, int n, const int* in) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !in || n != int(lv->mCols.size())) return 0;
  // Positions outside the columns are passed over.
  for (int i = 0; i < n; ++i)
    if (in[i] >= 0 && in[i] < n) lv->moveColumn(lv->getColumnPos(i), in[i]);
  return 1;
}

HWND ListView_GetHeader(HWND hwnd) {
  return listView(hwnd) ? hwnd : nullptr;
}

int Header_GetItemCount(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  return lv ? int(lv->mCols.size()) : 0;
}

BOOL Header_GetItem(HWND hwnd, int col, HDITEM* item) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  NSTableColumn* c = lv && item ? columnAt(lv, col) : nullptr;
  if (!c) return 0;
  if (item->mask & HDI_FORMAT) {
    const char* name = lv->indicatorImageName(c);
    item->fmt = !std::strcmp(name, kAscending)    ? int(HDF_SORTUP)
                : !std::strcmp(name, kDescending) ? int(HDF_SORTDOWN)
                                                  : 0;
  }
  return 1;
}

BOOL Header_SetItem(HWND hwnd, int col, const HDITEM* item) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  NSTableColumn* c = lv && item ? columnAt(lv, col) : nullptr;
  if (!c) return 0;
  if (item->mask & HDI_FORMAT)
    lv->setIndicatorImageName((item->fmt & HDF_SORTUP) ? kAscending : (item->fmt & HDF_SORTDOWN) ? kDescending : "", c);
  return 1;
}

int WAPI_GetListViewHeaderHeight(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  return lv && lv->headerView() ? int(std::lround(lv->headerView()->frame().size.height)) : 0;
}

void ListView_SetExtendedListViewStyleEx(HWND hwnd, UINT mask, UINT bits) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return;
  if (mask & LVS_EX_GRIDLINES)
    lv->setGridStyleMask((bits & LVS_EX_GRIDLINES)
                             ? NSTableViewSolidVerticalGridLineMask | NSTableViewSolidHorizontalGridLineMask
                             : NSTableViewGridNone);
  if (mask & LVS_EX_HEADERDRAGDROP) lv->setAllowsColumnReordering((bits & LVS_EX_HEADERDRAGDROP) != 0);
}

void WAPI_SetListViewFastClickMask(HWND hwnd, int mask) {
  if (Wapi_vQOR_listview* lv = listView(hwnd)) lv->mFastClickMask = mask;
}

HIMAGELIST ListView_SetImageList(HWND hwnd, HIMAGELIST list, int which) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return nullptr;
  lv->mStatusImageList.clear();
  if (list) lv->mStatusImageList.push_back(list);
  lv->mStatusImageListType = which;
  if (!lv->mCols.empty()) {
    NSTableColumn* c = lv->mCols[0];
    if (!wapiAs<Wapi_vQOR_statuscell>(c->dataCell())) {
      auto* cell = static_cast<Wapi_vQOR_statuscell*>(Wapi_vQOR_statuscell::class_()->alloc());
      cell->setAlignment(c->dataCell()->alignment());
      cell->setWraps(false);
      c->setDataCell(cell);
      cell->release();
    }
  }
  lv->setNeedsDisplay(true);
  return nullptr;
}

int ListView_HitTest(HWND hwnd, LVHITTESTINFO* info) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !info) return -1;
  info->flags = 0;
  info->iItem = -1;
  const NSRect v = lv->enclosingScrollView() ? lv->visibleRect() : NSMakeRect(0, 0, 0, 0);
  const int dx = wapiToInt(info->pt.x - v.origin.x), dy = wapiToInt(info->pt.y - v.origin.y);
  if (dx < 0) info->flags |= LVHT_TOLEFT;
  if (dx >= v.size.width) info->flags |= LVHT_TORIGHT;
  if (dy < 0) info->flags |= LVHT_ABOVE;
  if (dy >= v.size.height) info->flags |= LVHT_BELOW;
  if (info->flags) return info->iItem;
  info->iItem = int(lv->rowAtPoint(NSMakePoint(info->pt.x, info->pt.y)));
  if (info->iItem < 0)
    info->flags = LVHT_NOWHERE;
  else
    info->flags =
        !lv->mStatusImageList.empty() && info->pt.x <= lv->rowHeight() ? LVHT_ONITEMSTATEICON : LVHT_ONITEMLABEL;
  return info->iItem;
}

int ListView_SubItemHitTest(HWND hwnd, LVHITTESTINFO* info) {
  const int row = ListView_HitTest(hwnd, info);
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !info) return row;
  const double y = info->pt.y < 0 && row < 0 ? 0 : info->pt.y;
  info->iSubItem = int(lv->columnAtPoint(NSMakePoint(info->pt.x, y)));
  return row;
}

static BOOL cellRect(Wapi_vQOR_listview* lv, int item, int subitem, RECT* r) {
  if (!lv || !r || item < 0 || item >= lv->rowCount() || subitem >= int(lv->mCols.size())) return 0;
  const NSRect f = subitem < 0 ? lv->rectOfRow(item) : lv->frameOfCellAtColumn(lv->getColumnPos(subitem), item);
  const double w = subitem < 0 ? f.size.width : f.size.width + NSTableView::kSpacingWidth;
  const double h = subitem < 0 ? f.size.height : f.size.height + NSTableView::kSpacingHeight;
  r->left = wapiToInt(f.origin.x);
  r->top = wapiToInt(f.origin.y);
  r->right = wapiToInt(f.origin.x + w);
  r->bottom = wapiToInt(f.origin.y + h);
  return 1;
}

BOOL ListView_GetItemRect(HWND hwnd, int item, RECT* r, int) {
  return cellRect(listView(hwnd), item, -1, r);
}

BOOL ListView_GetSubItemRect(HWND hwnd, int item, int subitem, int, RECT* r) {
  return cellRect(listView(hwnd), item, subitem, r);
}

BOOL ListView_EnsureVisible(HWND hwnd, int item, BOOL) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return 0;
  if (lv->rowCount() > 0) lv->scrollRowToVisible(std::max(0, std::min(item, lv->rowCount() - 1)));
  return 1;
}

int ListView_GetTopIndex(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv) return 0;
  if (!lv->enclosingScrollView()) return -1;
  return int(lv->rowAtPoint(NSMakePoint(0, lv->visibleRect().origin.y)));
}

int ListView_GetCountPerPage(HWND hwnd) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !lv->enclosingScrollView()) return 0;
  const int rowHeight = int(lv->rowHeight() + NSTableView::kSpacingHeight);
  return rowHeight > 0 ? int(lv->visibleRect().size.height / rowHeight) : 0;
}

BOOL ListView_Scroll(HWND hwnd, int dx, int dy) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (!lv || !lv->enclosingScrollView()) return 0;
  const NSRect v = lv->visibleRect();
  const NSPoint p = NSMakePoint(dx > 0 ? v.origin.x + v.size.width - 1 : v.origin.x,
                                dy > 0 ? v.origin.y + v.size.height - 1 : v.origin.y);
  const int lastRow = lv->rowCount() - 1, lastCol = int(lv->tableColumns().size()) - 1;
  auto clamp = [](NSInteger v, int last) { return int(v < 0 ? 0 : std::min<NSInteger>(v, std::max(0, last))); };
  int row = lv->rowAtPoint(p) < 0 && p.y >= 0 && lastRow >= 0 ? lastRow : clamp(lv->rowAtPoint(p), lastRow);
  int col = clamp(lv->NSTableView::columnAtPoint(p), lastCol);
  const NSRect cell = lv->frameOfCellAtColumn(col, row);
  if (cell.size.height > 0) row += int(dy / cell.size.height);
  if (cell.size.width > 0) col += int(dx / cell.size.width);
  lv->scrollRowToVisible(clamp(row, lastRow));
  lv->scrollColumnToVisible(clamp(col, lastCol));
  return 1;
}

BOOL ListView_GetScroll(HWND hwnd, POINT* p) {
  Wapi_vQOR_listview* lv = listView(hwnd);
  if (p) *p = POINT{0, 0};
  if (!lv || !lv->enclosingScrollView()) return 0;
  if (p) *p = POINT{wapiToInt(lv->visibleRect().origin.x), wapiToInt(lv->visibleRect().origin.y)};
  return 1;
}

void ListView_SetBkColor(HWND hwnd, int colour) {
  if (Wapi_vQOR_listview* lv = listView(hwnd)) lv->setBackgroundColor(wapiColourFromWord(colour));
}

void ListView_SetGridColor(HWND hwnd, int colour) {
  if (Wapi_vQOR_listview* lv = listView(hwnd)) lv->setGridColor(wapiColourFromWord(colour));
}

void ListView_SetTextColor(HWND hwnd, int colour) {
  if (Wapi_vQOR_listview* lv = listView(hwnd)) lv->setTextColor(wapiColourFromWord(colour));
}

void ListView_SetTextBkColor(HWND, int) {}

void wapiTreeSetSelColors(HWND hwnd, std::vector<NSColor*> colours);

void ListView_SetSelColors(HWND hwnd, const int* colours, int count) {
  std::vector<NSColor*> list;
  for (int i = 0; i < count; ++i) list.push_back(wapiColourFromWord(colours ? colours[i] : 0));
  if (Wapi_vQOR_listview* lv = listView(hwnd))
    lv->setSelColors(std::move(list));
  else
    wapiTreeSetSelColors(hwnd, std::move(list));
}

// Lists and trees sit in a scroll view of the frame; the handle is the table.
NSScrollView* wapiMakeTableScrollView(NSView* owner, NSTableView* table, int style, NSRect frame, bool horizontal) {
  auto* scroll = static_cast<NSScrollView*>(NSScrollView::class_()->alloc());
  scroll->initWithFrame(frame);
  scroll->setHasVerticalScroller(true);
  scroll->setHasHorizontalScroller(horizontal);
  scroll->setAutohidesScrollers(true);
  scroll->setDrawsBackground(false);
  table->setFrame(NSMakeRect(0, 0, scroll->contentSize().width, scroll->contentSize().height));
  scroll->setDocumentView(table);
  table->tile();
  if (uint32_t(style) & WAPI_STYLE_HIDDEN) scroll->setHidden(true);
  owner->addSubview(scroll);
  scroll->release();
  return scroll;
}

void wapiRouteTable(NSTableView* table, NSView* owner, int id) {
  table->setTag(id);
  table->setDelegate(owner);
  table->setTarget(owner);
  table->setAction(sel_registerName("onWapiCommand:"));
  SEL dbl = sel_registerName("wapiOnControlDoubleClick:");
  table->setDoubleAction(owner->respondsToSelector(dbl) ? dbl : sel_registerName("onWapiCommand:"));
  table->setFocusRingType(NSFocusRingTypeNone);
  table->setAllowsColumnReordering(false);
  table->setAllowsEmptySelection(true);
}

HWND wapiMakeListView(NSView* owner, int id, int style, NSRect frame, bool listBox) {
  auto* lv = static_cast<Wapi_vQOR_listview*>(Wapi_vQOR_listview::class_()->alloc());
  lv->initWithFrame(frame);
  lv->setColumnAutoresizingStyle(0);
  lv->setDataSource(lv);
  lv->setWapiStyle(style);
  lv->setWapiNotificationMode(listBox ? 1 : 0);
  if (listBox) {
    lv->setHeaderView(nullptr);
    lv->setAllowsMultipleSelection((style & LBS_EXTENDEDSEL) != 0);
  } else {
    if (!(style & LVS_REPORT) || (style & LVS_NOCOLUMNHEADER)) lv->setHeaderView(nullptr);
    lv->setAllowsMultipleSelection(!(style & LVS_SINGLESEL));
  }
  wapiRouteTable(lv, owner, id);
  wapiMakeTableScrollView(owner, lv, style, frame, !listBox);
  if (listBox || !(style & LVS_REPORT)) {
    LVCOLUMN col{};
    col.mask = LVCF_WIDTH | LVCF_TEXT;
    col.cx = int(std::ceil(std::max(300.0, frame.size.width)));
    col.pszText = "";
    ListView_InsertColumn(wapiHandle(lv), 0, &col);
    if (listBox && (style & LBS_OWNERDRAWFIXED)) {
      auto* cell = static_cast<Wapi_vQOR_ODlistviewcell*>(Wapi_vQOR_ODlistviewcell::class_()->alloc());
      cell->setOwnerControl(lv);
      lv->mCols[0]->setDataCell(cell);
      cell->release();
    }
  }
  lv->release();
  return wapiHandle(lv);
}
