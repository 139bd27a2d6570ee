// Window handles as objects: dispatch of messages, default processing, window longs, dialog
// items, showing and destroying, properties, finding windows, and the focus, parent and
// geometry queries the controls lean on.
#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi-combo.h"
#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-toplevel.h"

#include "kit/wapi/wapi.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

NSObject* wapiObject(HWND hwnd) {
  return ns_standin::isLive(hwnd) ? reinterpret_cast<NSObject*>(hwnd) : nullptr;
}

bool wapiIsContentView(const NSView* v) {
  return v && v->window() && v->window()->contentView() == v;
}

NSView* wapiViewOf(NSObject* o) {
  if (auto* v = wapiAs<NSView>(o)) return v;
  if (auto* w = wapiAs<NSWindow>(o)) return w->contentView();
  return nullptr;
}


namespace {

// A converted point's coordinate: value + 0.5, truncated toward zero.
int32_t pointCoord(double v) {
  return wapiToInt(v + 0.5);
}

// The enclosing scroll view stands for a view inside its clip view.
NSView* scrollRepresentative(NSView* v) {
  NSView* clip = v->superview();
  if (clip && wapiAs<NSClipView>(clip) && wapiAs<NSScrollView>(clip->superview())) return clip->superview();
  return v;
}

// Selection of a field whose editor is the window's first responder; null when not editing.
NSTextView* editorOf(NSTextField* field) {
  NSWindow* w = field->window();
  if (!w) return nullptr;
  auto* responder = wapiAs<NSView>(w->firstResponder());
  if (!responder || !responder->isDescendantOf(field)) return nullptr;
  return w->fieldEditor(true, field);
}

size_t characterCount(NSString* s) {
  size_t n = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s ? s->UTF8String() : ""); *p; ++p)
    if ((*p & 0xC0) != 0x80) ++n;
  return n;
}

bool emulate(NSObject* o, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (wapiEmulateComboMessage(o, msg, wParam, lParam, result)) return true;
  if (auto* b = wapiAs<NSButton>(o)) {
    if (msg == BM_GETCHECK) {
      const NSInteger s = b->state();
      *result = s == NSMixedState ? 2 : s ? 1 : 0;
      return true;
    }
    if (msg == BM_SETCHECK) {
      b->setState((wParam & 2) ? NSMixedState : NSInteger(wParam & 1));
      *result = 0;
      return true;
    }
  }
  if (auto* slider = wapiAs<NSSlider>(o); slider && msg >= TBM_GETPOS && msg <= TBM_SETRANGE) {
    switch (msg) {
      case TBM_GETPOS: *result = LRESULT(slider->doubleValue() + 0.5); return true;
      case TBM_SETTIC: *result = 1; return true;
      case TBM_SETPOS:
        slider->setDoubleValue(double(int32_t(lParam)));
        *result = 1;
        return true;
      case TBM_SETRANGE:
        slider->setMinValue(double(uint32_t(lParam) & 0xFFFF));
        slider->setMaxValue(double((uint32_t(lParam) >> 16) & 0xFFFF));
        *result = 1;
        return true;
      default: *result = 0; return true;
    }
  }
  auto* field = wapiAs<NSTextField>(o);
  if (!field || (msg != EM_GETSEL && msg != EM_SETSEL && msg != EM_SETPASSWORDCHAR)) return false;
  *result = 0;
  NSTextView* editor = editorOf(field);
  if (msg == EM_GETSEL) {
    const UINT start = editor ? UINT(editor->selectionStart()) : 0;
    const UINT end = editor ? UINT(editor->selectionStart() + editor->selectionLength()) : 0;
    if (wParam) *reinterpret_cast<UINT*>(wParam) = start;
    if (lParam) *reinterpret_cast<UINT*>(lParam) = end;
  } else if (msg == EM_SETSEL && editor) {
    size_t start, end;
    wapiEditSelection(int64_t(characterCount(editor->string())), wParam, lParam, &start, &end);
    editor->setSelectedRange(start, end - start);
  }
  return true;
}

}  // namespace

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  NSObject* o = wapiObject(hwnd);
  if (!o) return 0;
  if (WapiMessageTarget* t = wapiMessageTarget(o)) return t->onWapiMessage(msg, wParam, lParam);
  LRESULT r = 0;
  if (emulate(o, msg, wParam, lParam, &r)) return r;
  if (auto* v = wapiAs<NSView>(o); v && wapiIsContentView(v)) {
    if (WapiMessageTarget* t = wapiMessageTarget(v->window())) return t->onWapiMessage(msg, wParam, lParam);
  } else if (auto* w = wapiAs<NSWindow>(o)) {
    if (WapiMessageTarget* t = wapiMessageTarget(w->contentView())) return t->onWapiMessage(msg, wParam, lParam);
  }
  return 0;
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  NSObject* o = wapiObject(hwnd);
  switch (msg) {
    case WM_NCHITTEST: {
      RECT r;
      GetWindowRect(hwnd, &r);
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (r.bottom < r.top) {
        p.y = r.top - p.y + r.bottom;
        std::swap(r.top, r.bottom);
      }
      NCCALCSIZE_PARAMS nc{};
      nc.rgrc[0] = r;
      SendMessage(hwnd, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&nc));
      return WAPI_PtInRect(&nc.rgrc[0], p) ? HTCLIENT : HTNOWHERE;
    }
    case WM_RBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &p);
      HWND target = hwnd;
      if (auto* under = wapiAs<NSView>(wapiObject(WindowFromPoint(p)))) {
        auto* w = wapiAs<NSWindow>(o);
        auto* v = wapiAs<NSView>(o);
        if ((w && under->window() == w) || (v && under->isDescendantOf(v))) target = wapiHandle(under);
      }
      SendMessage(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), MAKELPARAM(p.x, p.y));
      return 1;
    }
    case WM_NCRBUTTONUP: SendMessage(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), lParam); return 1;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_GESTURE: {
      for (NSView* v = wapiAs<NSView>(o); v;) {
        if (wapiIsContentView(v) || !v->superview()) return 0;
        v = v->superview();
        if (wapiMessageTarget(v)) return SendMessage(wapiHandle(v), msg, wParam, lParam);
      }
      return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP: return WAPI_KEY_NOT_HANDLED;
    case WM_DISPLAYCHANGE: {
      auto* v = wapiAs<NSView>(o);
      if (!v || v->subviews().empty()) return 0;
      v->retain();
      for (size_t i = 0; i < v->subviews().size(); ++i) {
        NSView* sub = v->subviews()[i];
        if (WapiMessageTarget* t = wapiMessageTarget(sub)) {
          sub->retain();
          t->onWapiMessage(WM_DISPLAYCHANGE, wParam, lParam);
          sub->release();
        }
      }
      WapiWindowRecord* rec = wapiWindowRecord(v);
      if (DLGPROC proc = rec ? rec->getWapiDialogProc() : nullptr) WAPI_DoDialogColorUpdates(hwnd, proc, true);
      v->release();
      return 0;
    }
    default: return 0;
  }
}

void WAPI_BroadcastMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  NSApplication* app = NSApp;
  for (size_t i = 0; i < app->orderedWindows().size(); ++i) {
    NSView* content = app->orderedWindows()[i]->contentView();
    WapiMessageTarget* t = wapiMessageTarget(content);
    if (!t) continue;
    content->retain();
    t->onWapiMessage(msg, wParam, lParam);
    if (msg == WM_DISPLAYCHANGE) InvalidateRect(wapiHandle(content), nullptr);
    content->release();
  }
}

// ---- Dialog items and window longs ----

HWND GetDlgItem(HWND parent, int id) {
  NSView* view = wapiViewOf(wapiObject(parent));
  if (!view) return nullptr;
  if (id == 0) return wapiHandle(view);
  auto matches = [id](NSView* v) { return v && uint32_t(v->tag()) == uint32_t(id); };
  for (size_t i = 0; i < view->subviews().size(); ++i) {
    NSView* v = view->subviews()[i];
    if (matches(v)) return wapiHandle(v);
    NSView* doc = nullptr;
    if (auto* scroll = wapiAs<NSScrollView>(v)) {
      doc = scroll->documentView();
      if (matches(doc)) return wapiHandle(doc);
    }
    auto* clip = wapiAs<NSClipView>(doc ? doc : v);
    if (clip && matches(clip->documentView())) return wapiHandle(clip->documentView());
  }
  return nullptr;
}

namespace {

LONG_PTR computedStyle(NSObject* o) {
  LONG_PTR style = 0;
  if (auto* b = wapiAs<NSButton>(o)) {
    auto* radio = dynamic_cast<WapiRadioHolder*>(o);
    const int flags = radio ? radio->wapiGetRadioFlags() : 0;
    if (b->allowsMixedState())
      style = BS_AUTO3STATE;
    else if (flags)
      style = BS_AUTORADIOBUTTON | ((flags & 2) ? LONG_PTR(WS_GROUP) : LONG_PTR(0));
    else
      style = BS_AUTOCHECKBOX;
  }
  auto* v = wapiAs<NSView>(o);
  if (!v) return style;
  if (wapiIsContentView(v)) {
    const NSUInteger mask = v->window()->styleMask();
    if (mask & NSTitledWindowMask) {
      style |= WS_CAPTION;
      if (mask & NSResizableWindowMask) style |= WS_THICKFRAME;
    }
  } else {
    style |= WS_CHILD;
  }
  return style;
}

}  // namespace

LONG_PTR GetWindowLong(HWND hwnd, int index) {
  NSObject* o = wapiObject(hwnd);
  if (!o) return 0;
  WapiWindowRecord* rec = wapiWindowRecord(o);
  const LONG_PTR extra = rec ? rec->getWapiExtraData(index) : 0;
  switch (index) {
    case GWL_USERDATA:
      if (auto* ud = dynamic_cast<WapiUserDataHolder*>(o)) return ud->getWapiUserData();
      return wapiAs<NSText>(o) ? WAPI_NO_USERDATA : extra;
    case GWL_EXSTYLE: return rec ? rec->wapiGetExtendedStyle() : extra;
    case GWL_STYLE:
      if (auto* sh = dynamic_cast<WapiStyleHolder*>(o)) return sh->getWapiStyle();
      return computedStyle(o);
    case GWL_ID:
      if (auto* v = wapiAs<NSView>(o)) return v->tag();
      return extra;
    case DWL_DLGPROC: return rec ? reinterpret_cast<LONG_PTR>(rec->getWapiDialogProc()) : extra;
    case GWL_WNDPROC: return rec ? reinterpret_cast<LONG_PTR>(rec->getWapiWindowProc()) : extra;
    default: return extra;
  }
}

LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value) {
  NSObject* o = wapiObject(hwnd);
  if (!o) return 0;
  WapiWindowRecord* rec = wapiWindowRecord(o);
  switch (index) {
    case GWL_USERDATA:
      if (auto* ud = dynamic_cast<WapiUserDataHolder*>(o)) {
        const LONG_PTR old = ud->getWapiUserData();
        ud->setWapiUserData(value);
        return old;
      }
      break;
    case GWL_EXSTYLE:
      if (rec) {
        const LONG_PTR old = rec->wapiGetExtendedStyle();
        rec->wapiSetExtendedStyle(value);
        return old;
      }
      break;
    case GWL_STYLE: {
      if (auto* sh = dynamic_cast<WapiStyleHolder*>(o)) {
        const LONG_PTR old = sh->getWapiStyle();
        sh->setWapiStyle(value);
        return old;
      }
      auto* b = wapiAs<NSButton>(o);
      if (!b) {
        auto* content = wapiAs<NSView>(o);
        return content && wapiIsContentView(content) ? wapiRebuildFrameForStyle(content, value) : 0;
      }
      const LONG_PTR old = GetWindowLong(hwnd, GWL_STYLE);
      auto* radio = dynamic_cast<WapiRadioHolder*>(o);
      switch (value & 15) {
        case BS_AUTOCHECKBOX:
        case BS_AUTO3STATE:
          b->setButtonType(NSSwitchButton);
          b->setAllowsMixedState((value & 15) == BS_AUTO3STATE);
          if (radio) radio->wapiSetRadioFlags(0);
          break;
        case BS_AUTORADIOBUTTON:
          b->setButtonType(NSRadioButton);
          if (radio) radio->wapiSetRadioFlags(1 | ((value & WS_GROUP) ? 2 : 0));
          break;
        default: break;
      }
      return old;
    }
    case GWL_ID:
      if (auto* holder = dynamic_cast<WapiTagHolder*>(o)) {
        auto* v = wapiAs<NSView>(o);
        const LONG_PTR old = v ? v->tag() : 0;
        holder->setTag(value);
        return old;
      }
      if (auto* c = wapiAs<NSControl>(o)) {
        const LONG_PTR old = c->tag();
        c->setTag(value);
        return old;
      }
      break;
    case DWL_DLGPROC:
      if (rec) {
        const LONG_PTR old = reinterpret_cast<LONG_PTR>(rec->getWapiDialogProc());
        rec->setWapiDialogProc(reinterpret_cast<DLGPROC>(value));
        return old;
      }
      break;
    case GWL_WNDPROC:
      if (rec) {
        const LONG_PTR old = reinterpret_cast<LONG_PTR>(rec->getWapiWindowProc());
        rec->setWapiWindowProc(reinterpret_cast<WNDPROC>(value));
        return old;
      }
      break;
    default: break;
  }
  if (!rec) return 0;
  const LONG_PTR old = rec->getWapiExtraData(index);
  rec->setWapiExtraData(index, value);
  return old;
}

// ---- Text, numbers and check states ----

namespace {

NSObject* itemOf(HWND hwnd, int id) {
  return id == 0 ? wapiObject(hwnd) : wapiObject(GetDlgItem(hwnd, id));
}

}  // namespace

BOOL GetDlgItemText(HWND hwnd, int id, char* buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  NSObject* t = itemOf(hwnd, id);
  if (!t) return 0;
  if (auto* v = wapiAs<NSView>(t); v && wapiIsContentView(v)) t = v->window();
  if (WapiWindowRecord* rec = wapiWindowRecord(t)) {
    const char* text = rec->onWapiGetText();
    if (!text) text = "";
    wapiCopyUtf8(text, std::strlen(text), buffer, size);
    return 1;
  }
  NSString* s = nullptr;
  if (auto* b = wapiAs<NSButton>(t))
    s = b->title();
  else if (auto* w = wapiAs<NSWindow>(t))
    s = w->title();
  else if (auto* c = wapiAs<NSControl>(t))
    s = c->stringValue();
  else if (auto* x = wapiAs<NSText>(t))
    s = x->string();
  else if (auto* box = wapiAs<NSBox>(t))
    s = box->title();
  else
    return 0;
  if (!s) return 0;
  wapiNSStringToCString(s, buffer, size);
  return 1;
}

BOOL SetDlgItemText(HWND hwnd, int id, const char* text) {
  NSObject* t = itemOf(hwnd, id);
  if (!t) return 0;
  if (auto* v = wapiAs<NSView>(t); v && wapiIsContentView(v)) SetDlgItemText(wapiHandle(v->window()), 0, text);
  if (WapiWindowRecord* rec = wapiWindowRecord(t)) {
    rec->onWapiSetText(text);
    return 1;
  }
  NSString* s = wapiNSString(text);
  if (auto* w = wapiAs<NSWindow>(t)) {
    w->setTitle(s);
  } else if (auto* b = wapiAs<NSButton>(t)) {
    b->setTitle(s);
  } else if (auto* c = wapiAs<NSControl>(t)) {
    c->setStringValue(s);
    auto* field = wapiAs<NSTextField>(c);
    if (field && field->isEditable())
      SendMessage(GetParent(wapiHandle(field)), WM_COMMAND, MAKEWPARAM(field->tag(), EN_CHANGE),
                  reinterpret_cast<LPARAM>(field));
  } else if (auto* x = wapiAs<NSText>(t)) {
    x->setString(s);
  } else if (auto* box = wapiAs<NSBox>(t)) {
    box->setTitle(s);
  } else {
    return 0;
  }
  return 1;
}

BOOL SetDlgItemInt(HWND hwnd, int id, int value, bool isSigned) {
  char text[16];
  std::snprintf(text, sizeof text, isSigned ? "%d" : "%u", isSigned ? value : unsigned(value));
  return SetDlgItemText(hwnd, id, text);
}

int GetDlgItemInt(HWND hwnd, int id, bool* translated, bool isSigned) {
  if (translated) *translated = false;
  char text[129];
  if (!GetDlgItemText(hwnd, id, text, sizeof text)) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(p, &end, 10);
  if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return 0;
  if (!isSigned && v < 0) return 0;
  if (v == 0 && *p != '0') return 0;
  if (translated) *translated = true;
  return int(v);
}

void CheckDlgButton(HWND hwnd, int id, int state) {
  if (auto* b = wapiAs<NSButton>(itemOf(hwnd, id))) b->setState((state & 2) ? NSMixedState : NSInteger(state & 1));
}

int IsDlgButtonChecked(HWND hwnd, int id) {
  auto* b = wapiAs<NSButton>(itemOf(hwnd, id));
  if (!b) return 0;
  return b->state() == NSMixedState ? BST_INDETERMINATE : b->state() ? BST_CHECKED : BST_UNCHECKED;
}

// ---- Visibility, destruction, relations, properties ----

BOOL IsWindowVisible(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  if (!o) return 0;
  if (auto* v = wapiAs<NSView>(o))
    return (!v->window() || v->window()->isVisible()) && !v->isHiddenOrHasHiddenAncestor();
  if (auto* w = wapiAs<NSWindow>(o)) return w->isVisible();
  return 1;
}

void ShowWindow(HWND hwnd, int command) {
  NSObject* o = wapiObject(hwnd);
  if (!o || command < SW_HIDE || command > SW_SHOWMINIMIZED) return;
  if (auto* w = wapiAs<NSWindow>(o)) {
    switch (command) {
      case SW_HIDE: w->orderOut(nullptr); break;
      case SW_SHOWNA:
        if (auto* m = wapiAs<Wapi_vQOR_modelesswindow>(w); m && m->wantsInitialKeyWindowOnShow()) {
          m->setWantsInitialKeyWindowOnShow(false);
          w->makeKeyAndOrderFront(nullptr);
        } else {
          w->orderFront(nullptr);
        }
        break;
      case SW_SHOW: w->makeKeyAndOrderFront(nullptr); break;
      default: w->miniaturize(nullptr); break;
    }
    return;
  }
  auto* v = wapiAs<NSView>(o);
  if (!v) return;
  NSView* target = scrollRepresentative(v);
  target->retain();
  if (command == SW_SHOWNA || command == SW_SHOW) {
    target->setHidden(false);
  } else if (command == SW_HIDE) {
    NSWindow* w = target->window();
    auto* responder = w && w->isKeyWindow() ? wapiAs<NSView>(w->firstResponder()) : nullptr;
    if (responder && responder->isDescendantOf(target)) {
      if (HWND parent = GetParent(wapiHandle(target))) SetFocus(parent);
    }
    if (!target->isHidden()) {
      NSView* super = target->superview();
      if (super && !wapiIsContentView(target)) {
        RECT r;
        GetWindowRect(wapiHandle(target), &r);
        POINT a{r.left, r.top}, b{r.right, r.bottom};
        ScreenToClient(wapiHandle(super), &a);
        ScreenToClient(wapiHandle(super), &b);
        const RECT old{a.x, a.y, b.x, b.y};
        InvalidateRect(wapiHandle(super), &old);
      }
      target->setHidden(true);
    }
  }
  if (wapiIsContentView(target)) ShowWindow(wapiHandle(target->window()), command);
  target->release();
}

void DestroyWindow(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  if (!o) return;
  NSWindow* w = wapiAs<NSWindow>(o);
  if (auto* v = wapiAs<NSView>(o)) {
    v->retain();
    KillTimer(hwnd, -1);
    if (WapiMessageTarget* t = wapiMessageTarget(v)) t->onWapiMessage(WM_DESTROY, 0, 0);
    if (!wapiIsContentView(v)) {
      NSWindow* vw = v->window();
      auto* responder = vw && vw->isKeyWindow() ? wapiAs<NSView>(vw->firstResponder()) : nullptr;
      if (responder && responder->isDescendantOf(v)) {
        if (HWND parent = GetParent(hwnd)) SetFocus(parent);
      }
      v->removeFromSuperview();
      v->release();
      return;
    }
    w = v->window();
    v->release();
  }
  if (!w) return;
  w->retain();
  KillTimer(wapiHandle(w), -1);
  if (NSView* content = w->contentView()) {
    if (WapiMessageTarget* t = wapiMessageTarget(content)) t->onWapiMessage(WM_DESTROY, 0, 0);
  }
  if (WapiMessageTarget* t = wapiMessageTarget(w)) t->onWapiMessage(WM_DESTROY, 0, 0);
  if (auto* top = dynamic_cast<WapiTopLevelWindow*>(w)) top->wapiDoDestroyStuff();
  if (NSWindow* parent = w->parentWindow()) parent->removeChildWindow(w);
  w->close();
  w->release();
}

BOOL IsWindow(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  if (!o) return 0;
  // A copy: the list is held for the test.
  const std::vector<NSWindow*> windows = NSApp->windows();
  for (NSWindow* w : windows)
    if (o == w || o == w->contentView()) return 1;
  auto* v = wapiAs<NSView>(o);
  if (!v) return 0;
  for (NSWindow* w : windows)
    if (dynamic_cast<WapiOwnerWindow*>(w) && w->contentView() && IsWindowImpl(v, w->contentView())) return 1;
  return 0;
}

void CenterWindow(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  if (auto* v = wapiAs<NSView>(o)) {
    if (v->window()) v->window()->center();
  } else if (auto* w = wapiAs<NSWindow>(o)) {
    w->center();
  }
}

BOOL IsChild(HWND parent, HWND child) {
  NSObject* p = wapiObject(parent);
  auto* c = wapiAs<NSView>(wapiObject(child));
  if (!p || !c || p == c) return 0;
  if (auto* w = wapiAs<NSWindow>(p)) return c->window() == w;
  if (auto* v = wapiAs<NSView>(p)) return c->isDescendantOf(v);
  return 0;
}

int EnumPropsEx(HWND hwnd, PROPENUMPROCEX proc, LPARAM lParam) {
  WapiWindowRecord* rec = wapiWindowRecord(wapiObject(hwnd));
  return rec ? rec->wapiEnumProps(proc, lParam) : -1;
}

void* GetProp(HWND hwnd, const char* name) {
  WapiWindowRecord* rec = wapiWindowRecord(wapiObject(hwnd));
  return rec ? rec->wapiGetProp(name, false) : nullptr;
}

void* RemoveProp(HWND hwnd, const char* name) {
  WapiWindowRecord* rec = wapiWindowRecord(wapiObject(hwnd));
  return rec ? rec->wapiGetProp(name, true) : nullptr;
}

BOOL SetProp(HWND hwnd, const char* name, void* value) {
  WapiWindowRecord* rec = wapiWindowRecord(wapiObject(hwnd));
  return rec && rec->wapiSetProp(name, value) != 0;
}

HWND FindWindowEx(HWND parent, HWND childAfter, const char* className, const char* windowName) {
  if (!parent) {
    if (!windowName) return nullptr;
    const std::vector<NSWindow*> windows = NSApp->windows();
    size_t start = 0;
    if (childAfter) {
      NSObject* after = wapiObject(childAfter);
      start = windows.size();
      for (size_t i = 0; after && i < windows.size(); ++i)
        if (windows[i] == after || windows[i]->contentView() == after) start = i + 1;
    }
    for (size_t i = start; i < windows.size(); ++i)
      if (std::strcmp(windows[i]->title()->UTF8String(), windowName) == 0) return wapiHandle(windows[i]->contentView());
    return nullptr;
  }
  NSView* view = wapiViewOf(wapiObject(parent));
  if (!view || view->subviews().empty()) return nullptr;
  const bool statics = className && strcasecmp(className, "Static") == 0;
  HWND candidate = childAfter ? GetWindow(childAfter, GW_HWNDNEXT) : wapiHandle(view->subviews().front());
  for (; candidate; candidate = GetWindow(candidate, GW_HWNDNEXT)) {
    if (statics && !wapiAs<NSTextField>(wapiObject(candidate))) continue;
    if (windowName) {
      char text[512];
      GetDlgItemText(candidate, 0, text, sizeof text);
      if (std::strcmp(text, windowName) != 0) continue;
    }
    return candidate;
  }
  return nullptr;
}

// ---- Focus, parent and geometry ----

HWND GetFocus() {
  NSWindow* key = NSApp->keyWindow();
  auto* v = key ? wapiAs<NSView>(key->firstResponder()) : nullptr;
  if (!v) return nullptr;
  // The field editor that edits a text field counts as that field.
  if (wapiAs<NSTextView>(v) && v->superview()) {
    if (auto* field = wapiAs<NSTextField>(v->superview()->superview())) return wapiHandle(field);
  }
  return wapiHandle(v);
}

void SetFocus(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  NSWindow* w = wapiAs<NSWindow>(o);
  NSResponder* responder = w ? w->contentView() : nullptr;
  if (auto* v = wapiAs<NSView>(o)) {
    w = v->window();
    responder = v;
  }
  if (!w) return;
  w->makeFirstResponder(responder);
  if (w->isVisible()) w->makeKeyAndOrderFront(nullptr);
}

HWND GetParent(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  NSWindow* w = wapiAs<NSWindow>(o);
  if (auto* v = wapiAs<NSView>(o)) {
    v = scrollRepresentative(v);
    if (!wapiIsContentView(v)) return v->superview() ? wapiHandle(v->superview()) : nullptr;
    w = v->window();
  }
  if (!w) return nullptr;
  if (NSWindow* parent = w->parentWindow()) return wapiHandle(parent->contentView());
  if (auto* owned = dynamic_cast<WapiTopLevelWindow*>(w)) {
    NSObject* owner = owned->wapiGetOwner();
    if (auto* ow = wapiAs<NSWindow>(owner)) return wapiHandle(ow->contentView());
    return owner ? wapiHandle(owner) : nullptr;
  }
  return nullptr;
}

HWND GetWindow(HWND hwnd, UINT command) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  if (!v) return nullptr;
  if (command == GW_CHILD) return v->subviews().empty() ? nullptr : wapiHandle(v->subviews().front());
  v = scrollRepresentative(v);
  if (command == GW_OWNER) {
    if (!wapiIsContentView(v)) return v->superview() ? wapiHandle(v->superview()) : nullptr;
    auto* owned = dynamic_cast<WapiTopLevelWindow*>(v->window());
    return owned && owned->wapiGetOwner() ? wapiHandle(owned->wapiGetOwner()) : nullptr;
  }
  if (command > GW_HWNDPREV) return nullptr;
  if (wapiIsContentView(v)) return command <= GW_HWNDLAST ? wapiHandle(v) : nullptr;
  NSView* super = v->superview();
  if (!super || super->subviews().empty()) return nullptr;
  const std::vector<NSView*>& list = super->subviews();
  if (command == GW_HWNDFIRST) return wapiHandle(list.front());
  if (command == GW_HWNDLAST) return wapiHandle(list.back());
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] != v) continue;
    if (command == GW_HWNDNEXT) return i + 1 < list.size() ? wapiHandle(list[i + 1]) : nullptr;
    return i > 0 ? wapiHandle(list[i - 1]) : nullptr;
  }
  return nullptr;
}

void ScreenToClient(HWND hwnd, POINT* p) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  if (!v || !p) return;
  NSPoint q = NSMakePoint(p->x, p->y);
  if (NSWindow* w = v->window()) q = NSMakePoint(q.x - w->frame().origin.x, q.y - w->frame().origin.y);
  q = v->convertPoint(q, nullptr);
  p->x = pointCoord(q.x);
  p->y = pointCoord(q.y);
}

BOOL ClientToScreen(HWND hwnd, POINT* p) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  if (!v || !p) return 0;
  NSPoint q = v->convertPointToBase(NSMakePoint(p->x, p->y));
  if (NSWindow* w = v->window()) q = NSMakePoint(q.x + w->frame().origin.x, q.y + w->frame().origin.y);
  p->x = pointCoord(q.x);
  p->y = pointCoord(q.y);
  return 1;
}

BOOL GetWindowRect(HWND hwnd, RECT* r) {
  if (!r) return 0;
  *r = RECT{0, 0, 0, 0};
  NSObject* o = wapiObject(hwnd);
  if (auto* v = wapiAs<NSView>(o); v && wapiIsContentView(v)) o = v->window();
  if (auto* w = wapiAs<NSWindow>(o)) {
    const NSRect f = w->frame();
    *r = RECT{wapiToInt(f.origin.x), wapiToInt(f.origin.y), wapiToInt(f.origin.x + f.size.width + 0.5),
              wapiToInt(f.origin.y + f.size.height + 0.5)};
    return 1;
  }
  auto* v = wapiAs<NSView>(o);
  if (!v) return 0;
  NSView* rep = scrollRepresentative(v);
  const NSRect b = rep->bounds();
  POINT a{wapiToInt(b.origin.x), wapiToInt(b.origin.y)};
  POINT z{wapiToInt(b.origin.x + b.size.width + 0.5), wapiToInt(b.origin.y + b.size.height + 0.5)};
  ClientToScreen(wapiHandle(rep), &a);
  ClientToScreen(wapiHandle(rep), &z);
  *r = RECT{a.x, a.y, z.x, z.y};
  return 1;
}

HWND WindowFromPoint(POINT p) {
  NSApplication* app = NSApp;
  std::vector<NSWindow*> order = app->orderedWindows();
  NSWindow* key = app->keyWindow();
  if (key && std::find(order.begin(), order.end(), key) == order.end()) order.insert(order.begin(), key);
  for (NSWindow* w : order) {
    const NSRect f = w->frame();
    const double x = p.x, y = p.y;
    if (!w->isVisible() || x < f.origin.x || x >= f.origin.x + f.size.width || y < f.origin.y ||
        y >= f.origin.y + f.size.height)
      continue;
    NSView* content = w->contentView();
    if (!content) return nullptr;
    NSView* hit = content->hitTest(NSMakePoint(x - f.origin.x, y - f.origin.y));
    return wapiHandle(hit ? hit : content);
  }
  return nullptr;
}

BOOL InvalidateRect(HWND hwnd, const RECT* r, BOOL) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  if (!v) return 0;
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(v);
  bool walk = true;
  if (layer) {
    walk = !(layer->wapiDirtyBits() & 1);
    layer->wapiSetDirtyBits(layer->wapiDirtyBits() | 1);
  }
  if (walk) {
    for (NSView* s = v->superview(); s; s = s->superview()) {
      auto* up = wapiAs<Wapi_vQOR_hwnd>(s);
      if (!up) continue;
      if (up->wapiDirtyBits() & 2) break;
      up->wapiSetDirtyBits(up->wapiDirtyBits() | 2);
    }
  }
  if (!r) {
    v->setNeedsDisplay(true);
  } else {
    const int32_t top = r->top < r->bottom ? r->top : r->bottom;
    const int32_t height = r->top < r->bottom ? r->bottom - r->top : r->top - r->bottom;
    v->setNeedsDisplayInRect(NSMakeRect(r->left, top, r->right - r->left, height));
  }
  return 1;
}
