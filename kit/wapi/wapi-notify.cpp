// The HWND view as target and delegate of its child controls: their actions, text changes,
// combo-box and menu notifications become WM_COMMAND, WM_NOTIFY, WM_HSCROLL and
// WM_INITMENUPOPUP to the view's procedure, sent only while the view lives and has one.
#include "kit/wapi/wapi-input.h"

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-internal.h"

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

// A double click from a control without a list mode (tables come with their own class).
NSObject* OnDoubleClick(NSObject* self, SEL, NSObject* sender) {
  Wapi_vQOR_hwnd* v = liveView(self);
  if (!v) return nullptr;
  NMLISTVIEW record{};
  record.hdr.hwndFrom = wapiHandle(sender);
  record.hdr.idFrom = UINT_PTR(idOf(sender));
  record.hdr.code = NM_DBLCLK;
  toProc(v, WM_NOTIFY, WPARAM(idOf(sender)), reinterpret_cast<LPARAM>(&record));
  return nullptr;
}

}  // namespace

void wapiAddControlNotificationMethods() {
  Class c = Wapi_vQOR_hwnd::class_();
  c->addMethod(sel_registerName("onWapiCommand:"), &OnCommand);
  c->addMethod(sel_registerName("controlTextDidChange:"), &OnTextChange);
  c->addMethod(sel_registerName("textDidEndEditing:"), &OnTextEnd);
  c->addMethod(sel_registerName("menuNeedsUpdate:"), &OnMenuNeedsUpdate);
  c->addMethod(sel_registerName("comboBoxWillPopUp:"), &OnComboWillPopUp);
  c->addMethod(sel_registerName("comboBoxSelectionDidChange:"), &OnComboSelection);
  c->addMethod(sel_registerName("wapiOnControlDoubleClick:"), &OnDoubleClick);
}
