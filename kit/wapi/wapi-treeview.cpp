// The tree view: items addressed by handles that the view checks against its set of live items,
// shown through the outline view it is the data source of.
#include "kit/wapi/wapi-listview.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_set>

struct WAPI_TreeItem {
  Wapi_vQOR_sdh* holder = nullptr;  // owned; holds a pointer back to the item
  bool hasChildren = false;
  std::string text;
  std::vector<WAPI_TreeItem*> children;  // owned
  LPARAM param = 0;
};

class Wapi_vQOR_treeview : public NSOutlineView, public NSOutlineViewDataSource, public WapiStyleHolder {
  NS_STANDIN_CLASS(Wapi_vQOR_treeview)

 public:
  Wapi_vQOR_treeview() = default;
  ~Wapi_vQOR_treeview() override {
    setOutlineDataSource(nullptr);
    for (WAPI_TreeItem* i : mItems) destroy(i);
    setSelColors({});
    setTextColor(nullptr);
  }
  LONG_PTR getWapiStyle() override { return mStyle; }
  void setWapiStyle(LONG_PTR style) override { mStyle = style; }

  NSInteger outlineViewNumberOfChildrenOfItem(NSOutlineView*, NSObject* item) override {
    WAPI_TreeItem* t = itemOf(item);
    return NSInteger(item ? (t ? t->children.size() : 0) : mItems.size());
  }
  bool outlineViewIsItemExpandable(NSOutlineView*, NSObject* item) override {
    WAPI_TreeItem* t = itemOf(item);
    return !item || (t && t->hasChildren);
  }
  NSObject* outlineViewChildOfItem(NSOutlineView*, NSInteger index, NSObject* item) override {
    const std::vector<WAPI_TreeItem*>* list = item ? (itemOf(item) ? &itemOf(item)->children : nullptr) : &mItems;
    return list && index >= 0 && size_t(index) < list->size() ? (*list)[size_t(index)]->holder : nullptr;
  }
  NSString* outlineViewObjectValue(NSOutlineView*, NSTableColumn*, NSObject* item) override {
    WAPI_TreeItem* t = itemOf(item);
    return wapiNSString(t ? t->text.c_str() : "");
  }

  // The item the view holds under that handle, null for anything else (never read before the
  // check).
  WAPI_TreeItem* live(HTREEITEM h) const { return h && mLive.count(h) ? h : nullptr; }
  WAPI_TreeItem* itemOf(NSObject* holder) const {
    auto* sdh = wapiAs<Wapi_vQOR_sdh>(holder);
    return sdh ? live(reinterpret_cast<HTREEITEM>(sdh->getValue())) : nullptr;
  }
  // The list holding the item and its index there; false when the view does not hold it.
  bool findItem(WAPI_TreeItem* item, std::vector<WAPI_TreeItem*>** list, size_t* idx) {
    if (!live(item)) return false;
    auto look = [&](std::vector<WAPI_TreeItem*>& l, auto&& self) -> bool {
      for (size_t i = 0; i < l.size(); ++i) {
        if (l[i] == item) {
          *list = &l;
          *idx = i;
          return true;
        }
      }
      for (WAPI_TreeItem* c : l)
        if (self(c->children, self)) return true;
      return false;
    };
    return look(mItems, look);
  }
  WAPI_TreeItem* make() {
    auto* t = new WAPI_TreeItem;
    t->holder = static_cast<Wapi_vQOR_sdh*>(Wapi_vQOR_sdh::class_()->alloc())->init(UINT_PTR(t));
    mLive.insert(t);
    return t;
  }
  void destroy(WAPI_TreeItem* t) {
    for (WAPI_TreeItem* c : t->children) destroy(c);
    // The reload that follows drops the holder from the expanded items.
    mLive.erase(t);
    t->holder->release();
    delete t;
  }

  void setSelColors(std::vector<NSColor*> colours) {
    for (NSColor* c : colours) c->retain();
    for (NSColor* c : mSelColors) c->release();
    mSelColors = std::move(colours);
    setNeedsDisplay(true);
  }
  bool hasSelColors() const { return !mSelColors.empty(); }
  void setTextColor(NSColor* colour) {
    if (colour) colour->retain();
    if (mFgColor) mFgColor->release();
    mFgColor = colour;
  }
  void highlightSelectionInClipRect(NSRect clip) override {
    const size_t i = GetFocus() == wapiHandle(this) ? 0 : 2;
    if (i >= mSelColors.size()) {
      NSOutlineView::highlightSelectionInClipRect(clip);
      return;
    }
    NSGraphicsContext* g = NSGraphicsContext::currentContext();
    if (!g || selectedRow() < 0) return;
    const NSRect r = NSIntersectionRect(rectOfRow(selectedRow()), clip);
    if (r.size.width > 0 && r.size.height > 0) {
      CGContextSetRGBFillColor(g->graphicsPort(), mSelColors[i]->redComponent(), mSelColors[i]->greenComponent(),
                               mSelColors[i]->blueComponent(), 1);
      CGContextFillRect(g->graphicsPort(), r);
    }
  }
  void willDisplayCell(NSCell* cell, NSTableColumn*, NSInteger row) override {
    auto* text = wapiAs<NSTextFieldCell>(cell);
    if (!text) return;
    const size_t i = GetFocus() == wapiHandle(this) ? 1 : 3;
    text->setTextColor(isRowSelected(row) ? (i < mSelColors.size() ? mSelColors[i] : nullptr) : mFgColor);
  }

  void sendNotify(int code) {
    NMTREEVIEW nm{};
    nm.hdr.hwndFrom = wapiHandle(this);
    nm.hdr.idFrom = UINT_PTR(tag());
    nm.hdr.code = code;
    HWND to = code == TVN_SELCHANGED ? GetParent(wapiHandle(this)) : wapiHandle(target());
    mLastNotifyAnswer = SendMessage(to, WM_NOTIFY, WPARAM(tag()), LPARAM(&nm));
  }
  void selectAlone(WAPI_TreeItem* t) {
    const NSInteger row = rowForItem(t->holder);
    if (row >= 0) selectRowIndexes(NSIndexSet::indexSetWithIndex(NSUInteger(row)), false);
  }

  void mouseDown(NSEvent* e) override {
    if ((e->modifierFlags() & 0x40000) && IsRightClickEmulateEnabled()) {
      mFakeRightMouse = true;
      return;
    }
    retain();
    sendNotify(NM_CLICK);
    mFakeRightMouse = false;
    NSOutlineView::mouseDown(e);
    release();
  }
  void mouseDragged(NSEvent*) override {}
  void mouseUp(NSEvent* e) override {
    if (mFakeRightMouse || (e->modifierFlags() & 0x40000))
      rightMouseUp(e);
    else
      NSOutlineView::mouseUp(e);
  }
  void rightMouseUp(NSEvent*) override {
    retain();
    sendNotify(NM_RCLICK);
    if (!mLastNotifyAnswer) {
      POINT p{};
      GetCursorPos(&p);
      SendMessage(wapiHandle(target()), WM_CONTEXTMENU, WPARAM(wapiHandle(this)),
                  LPARAM((uint32_t(p.x) & 0xFFFFu) | ((uint32_t(p.y) & 0xFFFFu) << 16)));
    }
    mFakeRightMouse = false;
    release();
  }
  void setNeedsDisplay(bool flag) override;
  void setNeedsDisplayInRect(NSRect rect) override;

  std::vector<WAPI_TreeItem*> mItems;  // top level, owned

 private:
  std::unordered_set<WAPI_TreeItem*> mLive;
  bool mFakeRightMouse = false;
  LONG_PTR mStyle = 0;
  NSColor* mFgColor = nullptr;       // retained
  std::vector<NSColor*> mSelColors;  // retained
  LRESULT mLastNotifyAnswer = 0;
};

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_treeview, NSOutlineView)
WAPI_REPAINT_PROPAGATION(Wapi_vQOR_treeview, NSOutlineView)

namespace {

bool gSendingSelect = false, gSendingSetItem = false;

Wapi_vQOR_treeview* treeView(HWND hwnd) {
  return wapiAs<Wapi_vQOR_treeview>(wapiObject(hwnd));
}

bool special(HTREEITEM h) {
  const auto v = reinterpret_cast<uintptr_t>(h);
  return v >= 0xFFFF0000u && v <= 0xFFFF0003u;
}

void selectAndNotify(Wapi_vQOR_treeview* tv, WAPI_TreeItem* t, bool& sending) {
  tv->selectAlone(t);
  if (sending) return;
  sending = true;
  tv->retain();
  tv->sendNotify(TVN_SELCHANGED);
  tv->release();
  sending = false;
}

}  // namespace

bool wapiTreeHasSelColors(NSView* view) {
  auto* tv = wapiAs<Wapi_vQOR_treeview>(view);
  return tv && tv->hasSelColors();
}

void wapiTreeSetSelColors(HWND hwnd, std::vector<NSColor*> colours) {
  if (Wapi_vQOR_treeview* tv = treeView(hwnd)) tv->setSelColors(std::move(colours));
}

HTREEITEM TreeView_InsertItem(HWND hwnd, const TVINSERTSTRUCT* ins) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  if (!tv || !ins) return nullptr;
  std::vector<WAPI_TreeItem*>* list = &tv->mItems;
  if (ins->hParent && !special(ins->hParent)) {
    WAPI_TreeItem* parent = tv->live(ins->hParent);
    if (!parent) return nullptr;
    list = &parent->children;
  }
  size_t pos = list->size();
  const HTREEITEM after = ins->hInsertAfter;
  if (after == TVI_FIRST) {
    pos = 0;
  } else if (after && after != TVI_LAST && after != TVI_SORT) {
    auto it = std::find(list->begin(), list->end(), after);
    pos = it == list->end() ? 0 : size_t(it - list->begin()) + 1;
  }
  WAPI_TreeItem* t = tv->make();
  if (ins->item.mask & TVIF_CHILDREN) t->hasChildren = ins->item.cChildren != 0;
  if (ins->item.mask & TVIF_PARAM) t->param = ins->item.lParam;
  if ((ins->item.mask & TVIF_TEXT) && ins->item.pszText) t->text = ins->item.pszText;
  list->insert(list->begin() + long(std::min(pos, list->size())), t);
  tv->reloadData();
  return t;
}

BOOL TreeView_DeleteItem(HWND hwnd, HTREEITEM item) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  std::vector<WAPI_TreeItem*>* list = nullptr;
  size_t idx = 0;
  if (!tv || !tv->findItem(item, &list, &idx)) return 0;
  list->erase(list->begin() + long(idx));
  tv->destroy(item);
  tv->reloadData();
  return 1;
}

BOOL TreeView_Expand(HWND hwnd, HTREEITEM item, UINT action) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  WAPI_TreeItem* t = tv ? tv->live(item) : nullptr;
  if (!t) return 0;
  const bool open = tv->isItemExpanded(t->holder);
  if (action == TVE_EXPAND || (action == TVE_TOGGLE && !open)) {
    if (open) return 0;
    // An item without the children flag does not open: no success is claimed for it.
    tv->expandItem(t->holder);
    return tv->isItemExpanded(t->holder) ? 1 : 0;
  }
  if (action == TVE_COLLAPSE || action == TVE_TOGGLE) {
    if (!open) return 0;
    tv->collapseItem(t->holder);
    return 1;
  }
  return 0;
}

HTREEITEM TreeView_GetSelection(HWND hwnd) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  return tv ? tv->itemOf(tv->itemAtRow(tv->selectedRow())) : nullptr;
}

BOOL TreeView_SelectItem(HWND hwnd, HTREEITEM item) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  WAPI_TreeItem* t = tv ? tv->live(item) : nullptr;
  if (!t) return 0;
  selectAndNotify(tv, t, gSendingSelect);
  return 1;
}

BOOL TreeView_GetItem(HWND hwnd, TVITEM* item) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  if (!tv || !item || !(item->mask & TVIF_HANDLE)) return 0;
  WAPI_TreeItem* t = tv->live(item->hItem);
  if (!t) return 0;
  item->cChildren = t->hasChildren ? 1 : 0;
  item->lParam = t->param;
  if ((item->mask & TVIF_TEXT) && item->pszText && item->cchTextMax > 0)
    wapiCopyUtf8(t->text.c_str(), t->text.size(), item->pszText, item->cchTextMax);
  item->state = 0;
  if (tv->isRowSelected(tv->rowForItem(t->holder))) item->state |= TVIS_SELECTED;
  if (tv->isItemExpanded(t->holder)) item->state |= TVIS_EXPANDED;
  return 1;
}

BOOL TreeView_SetItem(HWND hwnd, const TVITEM* item) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  if (!tv || !item || !(item->mask & TVIF_HANDLE)) return 0;
  WAPI_TreeItem* t = tv->live(item->hItem);
  if (!t) return 0;
  bool reload = false;
  if (item->mask & TVIF_CHILDREN) {
    t->hasChildren = item->cChildren != 0;
    reload = true;
  }
  if (item->mask & TVIF_PARAM) t->param = item->lParam;
  if ((item->mask & TVIF_TEXT) && item->pszText) {
    t->text = item->pszText;
    tv->setNeedsDisplay(true);
  }
  if (reload) tv->reloadData();
  if ((item->stateMask & TVIS_SELECTED) && (item->state & TVIS_SELECTED) && tv->rowForItem(t->holder) >= 0)
    selectAndNotify(tv, t, gSendingSetItem);
  if (item->stateMask & TVIS_EXPANDED) {
    const bool want = (item->state & TVIS_EXPANDED) != 0;
    if (want != tv->isItemExpanded(t->holder)) {
      if (want)
        tv->expandItem(t->holder);
      else
        tv->collapseItem(t->holder);
    }
  }
  return 1;
}

HTREEITEM TreeView_HitTest(HWND hwnd, TVHITTESTINFO* info) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  if (!tv || !info) return nullptr;
  for (NSInteger r = 0; r < tv->numberOfRows(); ++r) {
    const NSRect f = tv->rectOfRow(r);
    if (info->pt.x >= f.origin.x && info->pt.x < f.origin.x + f.size.width && info->pt.y >= f.origin.y &&
        info->pt.y < f.origin.y + f.size.height)
      return tv->itemOf(tv->itemAtRow(r));
  }
  return nullptr;
}

HTREEITEM TreeView_GetRoot(HWND hwnd) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  return tv && !tv->mItems.empty() ? tv->mItems.front() : nullptr;
}

HTREEITEM TreeView_GetChild(HWND hwnd, HTREEITEM item) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  if (!tv) return nullptr;
  if (!item) return TreeView_GetRoot(hwnd);
  WAPI_TreeItem* t = tv->live(item);
  return t && !t->children.empty() ? t->children.front() : nullptr;
}

HTREEITEM TreeView_GetNextSibling(HWND hwnd, HTREEITEM item) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  if (!tv) return nullptr;
  if (!item) return TreeView_GetRoot(hwnd);
  std::vector<WAPI_TreeItem*>* list = nullptr;
  size_t idx = 0;
  if (!tv->findItem(item, &list, &idx) || idx + 1 >= list->size()) return nullptr;
  return (*list)[idx + 1];
}

BOOL TreeView_SetIndent(HWND hwnd, int pixels) {
  Wapi_vQOR_treeview* tv = treeView(hwnd);
  if (!tv) return 0;
  tv->setIndentationPerLevel(pixels);
  tv->setNeedsDisplay(true);
  return 1;
}

void TreeView_SetBkColor(HWND hwnd, int colour) {
  if (Wapi_vQOR_treeview* tv = treeView(hwnd)) tv->setBackgroundColor(wapiColourFromWord(colour));
}

void TreeView_SetTextColor(HWND hwnd, int colour) {
  if (Wapi_vQOR_treeview* tv = treeView(hwnd)) tv->setTextColor(wapiColourFromWord(colour));
}

NSScrollView* wapiMakeTableScrollView(NSView* owner, NSTableView* table, int style, NSRect frame, bool horizontal);
void wapiRouteTable(NSTableView* table, NSView* owner, int id);

HWND wapiMakeTreeView(NSView* owner, int id, int style, NSRect frame) {
  auto* tv = static_cast<Wapi_vQOR_treeview*>(Wapi_vQOR_treeview::class_()->alloc());
  tv->initWithFrame(frame);
  tv->setOutlineDataSource(tv);
  tv->setWapiStyle(style);
  tv->setHeaderView(nullptr);
  tv->setAllowsMultipleSelection(false);
  wapiRouteTable(tv, owner, id);
  auto* col = static_cast<NSTableColumn*>(NSTableColumn::class_()->alloc());
  col->setWidth(std::ceil(std::max(300.0, frame.size.width)));
  col->setEditable(false);
  auto* cell = static_cast<Wapi_vQOR_listviewcell*>(Wapi_vQOR_listviewcell::class_()->alloc());
  cell->setWraps(false);
  col->setDataCell(cell);
  cell->release();
  tv->addTableColumn(col);
  col->release();
  wapiMakeTableScrollView(owner, tv, style, frame, false);
  tv->release();
  return wapiHandle(tv);
}
