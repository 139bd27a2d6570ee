// The tab control and the progress bar.
#include "kit/wapi/wapi-listview.h"

#include <algorithm>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_tabview, NSTabView)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_progind, NSProgressIndicator)

namespace {

Wapi_vQOR_tabview* tabView(HWND hwnd) {
  return wapiAs<Wapi_vQOR_tabview>(wapiObject(hwnd));
}

}  // namespace

void Wapi_vQOR_tabview::tabViewDidSelectTabViewItem(NSTabView*, NSTabViewItem*) {
  if (!mDest) return;
  NMHDR nm{};
  nm.hwndFrom = wapiHandle(this);
  nm.idFrom = UINT_PTR(mTag);
  nm.code = TCN_SELCHANGE;
  SendMessage(mDest, WM_NOTIFY, WPARAM(mTag), LPARAM(&nm));
}

WAPI_REPAINT_PROPAGATION(Wapi_vQOR_tabview, NSTabView)
WAPI_REPAINT_PROPAGATION(Wapi_vQOR_progind, NSProgressIndicator)

LRESULT Wapi_vQOR_progind::onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case PBM_SETRANGE:
      setMinValue(double(uint32_t(lParam) & 0xFFFFu));
      setMaxValue(double((uint32_t(lParam) >> 16) & 0xFFFFu));
      setNeedsDisplay(true);
      break;
    case PBM_SETPOS:
      setDoubleValue(double(uint32_t(wParam)));
      stopAnimation(nullptr);
      break;
    case PBM_DELTAPOS: incrementBy(double(uint32_t(wParam))); break;
    default: break;
  }
  return 0;
}

int TabCtrl_GetItemCount(HWND hwnd) {
  Wapi_vQOR_tabview* t = tabView(hwnd);
  return t ? int(t->numberOfTabViewItems()) : 0;
}

int TabCtrl_InsertItem(HWND hwnd, int index, const TCITEM* item) {
  Wapi_vQOR_tabview* t = tabView(hwnd);
  if (!t || !item || !(item->mask & TCIF_TEXT) || !item->pszText) return -1;
  index = std::max(0, std::min(index, int(t->numberOfTabViewItems())));
  auto* tab = static_cast<NSTabViewItem*>(NSTabViewItem::class_()->alloc());
  tab->setLabel(item->pszText);
  // Inserting never notifies, even when the new tab becomes the selected one.
  HWND dest = t->getNotificationWindow();
  t->setNotificationWindow(nullptr);
  t->insertTabViewItem(tab, index);
  t->setNotificationWindow(dest);
  tab->release();
  return index;
}

BOOL TabCtrl_DeleteItem(HWND hwnd, int index) {
  Wapi_vQOR_tabview* t = tabView(hwnd);
  NSTabViewItem* tab = t ? t->tabViewItemAtIndex(index) : nullptr;
  if (!tab) return 0;
  t->removeTabViewItem(tab);
  return 1;
}

int TabCtrl_GetCurSel(HWND hwnd) {
  Wapi_vQOR_tabview* t = tabView(hwnd);
  if (!t || !t->selectedTabViewItem()) return 0;
  return int(t->indexOfTabViewItem(t->selectedTabViewItem()));
}

int TabCtrl_SetCurSel(HWND hwnd, int index) {
  Wapi_vQOR_tabview* t = tabView(hwnd);
  if (!t) return -1;
  const int previous = TabCtrl_GetCurSel(hwnd);
  if (index >= 0 && index < t->numberOfTabViewItems()) t->selectTabViewItemAtIndex(index);
  return previous;
}

BOOL TabCtrl_AdjustRect(HWND hwnd, BOOL larger, RECT* r) {
  if (!tabView(hwnd) || !r) return 0;
  const int s = larger ? -1 : 1;
  r->left += 7 * s;
  r->top += 26 * s;
  r->right -= 7 * s;
  r->bottom -= 3 * s;
  return 1;
}

HWND wapiMakeTabControl(NSView* owner, int id, int style, NSRect frame) {
  auto* t = static_cast<Wapi_vQOR_tabview*>(Wapi_vQOR_tabview::class_()->alloc());
  t->initWithFrame(frame);
  t->setTag(id);
  t->setDelegate(t);
  t->setAllowsTruncatedLabels(true);
  t->setNotificationWindow(wapiHandle(owner));
  if (uint32_t(style) & WAPI_STYLE_HIDDEN) t->setHidden(true);
  owner->addSubview(t);
  t->release();
  return wapiHandle(t);
}

HWND wapiMakeProgressBar(NSView* owner, int id, int style, NSRect frame) {
  auto* p = static_cast<Wapi_vQOR_progind*>(Wapi_vQOR_progind::class_()->alloc());
  p->initWithFrame(frame);
  p->setStyle(NSProgressIndicatorBarStyle);
  p->setIndeterminate(false);
  p->setTag(id);
  if (uint32_t(style) & WAPI_STYLE_HIDDEN) p->setHidden(true);
  owner->addSubview(p);
  p->release();
  return wapiHandle(p);
}
