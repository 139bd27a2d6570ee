// The HWND view as target and delegate of its child controls: their actions, text changes,
// combo-box and menu notifications become WM_COMMAND, WM_NOTIFY, WM_HSCROLL and
// WM_INITMENUPOPUP to the view's procedure, sent only while the view lives and has one.
#include "kit/wapi/wapi-input.h"

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi-listview.h"

#include <algorithm>
#include <climits>

#include <Foundation/NSFormatter.h>

namespace {

Wapi_vQOR_hwnd* liveView(NSObject* self) {
  auto* v = wapiAs<Wapi_vQOR_hwnd>(self);
  return v && !v->wapiHasBeenDestroyed() && v->getWapiWindowProc() ? v : nullptr;
}

LRESULT toProc(Wapi_vQOR_hwnd* v, UINT msg, WPARAM wParam, LPARAM lParam) {
  return v->getWapiWindowProc()(wapiHandle(v), msg, wParam, lParam);
}

// A control's id: a view's tag, a menu item's tag; 0 for anything else.
NSInteger idOf(NSObject* sender) {
  if (auto* view = wapiAs<NSView>(sender)) return view->tag();
  if (auto* item = wapiAs<NSMenuItem>(sender)) return item->tag();
  return 0;
}

void command(Wapi_vQOR_hwnd* v, NSObject* control, int code) {
  toProc(v, WM_COMMAND, MAKEWPARAM(idOf(control), code), reinterpret_cast<LPARAM>(control));
}

// The control a notification is about.
NSObject* subject(NSObject* notification) {
  auto* n = wapiAs<NSNotification>(notification);
  return n ? n->object() : nullptr;
}

bool isComboBox(NSObject* o) {
  Class combo = NSClassFromString(NSString::stringWithUTF8String("NSComboBox"));
  return o && combo && o->isKindOfClass(combo);
}

bool isDoublePress(NSEvent* e) {
  return e && (e->type() == NSLeftMouseDown || e->type() == NSLeftMouseUp) && e->clickCount() >= 2;
}

NSObject* OnCommand(NSObject* self, SEL, NSObject* sender) {
  Wapi_vQOR_hwnd* v = liveView(self);
  if (!v) return nullptr;
  if (wapiAs<NSSlider>(sender)) {
    toProc(v, WM_HSCROLL, 0, reinterpret_cast<LPARAM>(sender));
  } else if (wapiAs<NSTableView>(sender)) {
    // A table reports through its selection and double-click notifications instead.
  } else if (wapiAs<NSPopUpButton>(sender) || isComboBox(sender)) {
    command(v, sender, CBN_SELCHANGE);
  } else if (auto* button = wapiAs<Wapi_vQOR_button>(sender)) {
    wapiUpdateRadioGroup(button);
    command(v, sender, 0);
  } else if (wapiAs<NSControl>(sender)) {
    command(v, sender, isDoublePress(NSApp->currentEvent()) ? 1 : 0);
  } else {
    command(v, sender, 0);
  }
  return nullptr;
}

NSObject* OnTextChange(NSObject* self, SEL, NSObject* notification) {
  Wapi_vQOR_hwnd* v = liveView(self);
  NSObject* control = subject(notification);
  if (v) command(v, control, isComboBox(control) ? int(CBN_EDITCHANGE) : int(EN_CHANGE));
  return nullptr;
}

NSObject* OnTextEnd(NSObject* self, SEL, NSObject* notification) {
  Wapi_vQOR_hwnd* v = liveView(self);
  NSObject* control = subject(notification);
  if (v && !isComboBox(control)) command(v, control, EN_CHANGE);
  return nullptr;
}

NSObject* OnMenuNeedsUpdate(NSObject* self, SEL, NSObject* menu) {
  if (Wapi_vQOR_hwnd* v = liveView(self)) toProc(v, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  return nullptr;
}

NSObject* OnComboWillPopUp(NSObject* self, SEL, NSObject* notification) {
  if (Wapi_vQOR_hwnd* v = liveView(self)) command(v, subject(notification), CBN_DROPDOWN);
  return nullptr;
}

NSObject* OnComboSelection(NSObject* self, SEL, NSObject* notification) {
  if (Wapi_vQOR_hwnd* v = liveView(self)) command(v, subject(notification), CBN_SELCHANGE);
  return nullptr;
}

void sendListNotice(Wapi_vQOR_hwnd* v, NSObject* control, int code, int item, int subitem, LPARAM param) {
  NMLISTVIEW record{};
  record.hdr.hwndFrom = wapiHandle(control);
  record.hdr.idFrom = UINT_PTR(idOf(control));
  record.hdr.code = code;
  record.iItem = item;
  record.iSubItem = subitem;
  record.lParam = param;
  toProc(v, WM_NOTIFY, WPARAM(idOf(control)), reinterpret_cast<LPARAM>(&record));
}

// A list view's item parameter of the row, 0 when the row does not exist.
LPARAM paramOf(Wapi_vQOR_listview* lv, NSInteger row) {
  const WAPI_ListView_Row* r = lv && row >= 0 && row <= INT_MAX ? lv->row(int(row)) : nullptr;
  return r ? r->param : 0;
}

// A list view in list-box mode speaks as a list box does.
bool isListBox(NSObject* o) {
  auto* lv = wapiAs<Wapi_vQOR_listview>(o);
  return lv && lv->getWapiNotificationMode();
}

NSObject* OnDoubleClick(NSObject* self, SEL, NSObject* sender) {
  Wapi_vQOR_hwnd* v = liveView(self);
  if (!v) return nullptr;
  if (isListBox(sender)) {
    command(v, sender, LBN_DBLCLK);
  } else if (auto* lv = wapiAs<Wapi_vQOR_listview>(sender)) {
    const NSInteger row = lv->clickedRow();
    sendListNotice(v, sender, NM_DBLCLK, int(row), int(lv->clickedColumn()), paramOf(lv, row));
  } else {
    sendListNotice(v, sender, NM_DBLCLK, 0, 0, 0);
  }
  return nullptr;
}

NSObject* OnTableSelection(NSObject* self, SEL, NSObject* notification) {
  Wapi_vQOR_hwnd* v = liveView(self);
  auto* table = wapiAs<NSTableView>(subject(notification));
  if (!v || !table) return nullptr;
  if (isListBox(table))
    command(v, table, LBN_SELCHANGE);
  else
    sendListNotice(v, table, LVN_ITEMCHANGED, int(table->selectedRow()), 0, 0);
  return nullptr;
}

NSObject* OnOutlineSelection(NSObject* self, SEL, NSObject* notification) {
  Wapi_vQOR_hwnd* v = liveView(self);
  NSObject* outline = subject(notification);
  if (!v || !outline) return nullptr;
  NMTREEVIEW record{};
  record.hdr.hwndFrom = wapiHandle(outline);
  record.hdr.idFrom = UINT_PTR(idOf(outline));
  record.hdr.code = TVN_SELCHANGED;
  toProc(v, WM_NOTIFY, WPARAM(idOf(outline)), reinterpret_cast<LPARAM>(&record));
  return nullptr;
}

// The stand-in's tableView:didClickTableColumn: carries the column, whose table is its owner.
NSObject* OnColumnClick(NSObject* self, SEL, NSObject* column) {
  Wapi_vQOR_hwnd* v = liveView(self);
  auto* col = wapiAs<NSTableColumn>(column);
  auto* lv = col ? wapiAs<Wapi_vQOR_listview>(col->tableView()) : nullptr;
  if (!v || !lv || lv->mCols.empty() || lv->getWapiNotificationMode() || lv->getWapiStyle() < 0) return nullptr;
  auto it = std::find(lv->mCols.begin(), lv->mCols.end(), col);
  sendListNotice(v, lv, LVN_COLUMNCLICK, -1, it == lv->mCols.end() ? -1 : int(it - lv->mCols.begin()), 0);
  return nullptr;
}

}  // namespace

void wapiAddControlNotificationMethods() {
  Class c = Wapi_vQOR_hwnd::class_();
  c->addMethod(sel_registerName("onWapiCommand:"), &OnCommand);
  c->addMethod(sel_registerName("controlTextDidChange:"), &OnTextChange);
  c->addMethod(sel_registerName("textDidEndEditing:"), &OnTextEnd);
  c->addMethod(sel_registerName("controlTextDidEndEditing:"), &OnTextEnd);  // a field's, a combo box's
  c->addMethod(sel_registerName("menuNeedsUpdate:"), &OnMenuNeedsUpdate);
  c->addMethod(sel_registerName("comboBoxWillPopUp:"), &OnComboWillPopUp);
  c->addMethod(sel_registerName("comboBoxSelectionDidChange:"), &OnComboSelection);
  c->addMethod(sel_registerName("wapiOnControlDoubleClick:"), &OnDoubleClick);
  c->addMethod(sel_registerName("tableViewSelectionDidChange:"), &OnTableSelection);
  c->addMethod(sel_registerName("outlineViewSelectionDidChange:"), &OnOutlineSelection);
  c->addMethod(sel_registerName("tableView:didClickTableColumn:"), &OnColumnClick);
}
