// The HWND view: the window record every window and dialog of the layer carries, its creation
// with WM_CREATE or WM_INITDIALOG, its message entry, its destruction and its properties.
#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi-menu.h"
#include "kit/wapi/wapi-toplevel.h"

#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-text-engine.h"

#include <cstdlib>
#include <cstring>
#include <vector>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_hwnd, NSView)

namespace {

bool isAtom(const char* name) {
  return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

bool sameName(const char* a, const char* b) {
  if (isAtom(a) || isAtom(b)) return a == b;
  return std::strcmp(a, b) == 0;
}

// The first subview that takes the focus; a scroll view stands for its document view.
NSView* firstFocusable(NSView* view) {
  for (NSView* v : view->subviews()) {
    NSView* candidate = v;
    if (auto* scroll = wapiAs<NSScrollView>(v)) candidate = scroll->documentView();
    if (candidate && candidate->acceptsFirstResponder()) return candidate;
  }
  return nullptr;
}

}  // namespace

Wapi_vQOR_hwnd* Wapi_vQOR_hwnd::initChild(const WAPI_DialogResourceIndex* res, NSObject* parent, DLGPROC proc,
                                          LPARAM param) {
  initWithFrame(res ? NSMakeRect(0, 0, res->width, res->height) : NSMakeRect(0, 0, 300, 200));
  for (NSObject*& o : m_access_cacheptrs) o = nullptr;
  m_glctx = nullptr;
  m_lastTopLevelOwner = nullptr;
  m_paintctx_hdc = nullptr;
  m_props = nullptr;
  m_titlestr[0] = 0;
  m_dlgproc = nullptr;
  m_userdata = 0;
  std::memset(m_extradata, 0, sizeof m_extradata);
  m_tag = 0;
  m_isfakerightmouse = 0;
  m_hashaddestroy = 0;
  m_menu = nullptr;
  m_paintctx_used = false;
  m_isdirty = 3;
  m_enabled = 1;
  m_wndproc = WapiDialogDefaultWindowProc;
  const int flags = res ? res->windowTypeFlags : 0;
  m_isopaque = res ? (flags & 0x10) != 0 : 1;
  m_flip = res ? (flags & 0x04) != 0 : 1;
  wapiSetAcceptsDrops(res ? (flags & 0x20) != 0 : false);

  setHidden(true);
  if (auto* panel = wapiAs<NSSavePanel>(parent)) {
    // A file panel shows the view as its accessory view.
    panel->setAccessoryView(this);
    setHidden(false);
  } else if (auto* window = wapiAs<NSWindow>(parent)) {
    window->setContentView(this);
  } else if (auto* view = wapiAs<NSView>(parent)) {
    view->addSubview(this);
  }

  const HWND self = wapiHandle(this);
  wapiAcceptPosts(self, true);
  if (!res) {
    if (proc) m_wndproc = proc;
    m_wndproc(self, WM_CREATE, 0, param);
    return this;
  }
  if (res->createFunc) res->createFunc(self, flags);
  m_dlgproc = proc;

  NSView* focus = firstFocusable(this);
  const LRESULT r = m_dlgproc ? m_dlgproc(self, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) : 0;
  NSWindow* window = this->window();
  if (r) {
    if (r == WAPI_INITDIALOG_FOCUS_SELF) focus = this;
    if (focus && window && window->firstResponder() != focus) window->makeFirstResponder(focus);
    // A hidden window asked for the focus: it becomes key when first shown.
    auto* modeless = wapiAs<Wapi_vQOR_modelesswindow>(parent);
    if (modeless && modeless == window && !window->isVisible()) modeless->setWantsInitialKeyWindowOnShow(true);
  } else if (parent && focus && window && window == parent) {
    NSResponder* current = window->firstResponder();
    if (!current || current == window || current == this) window->makeFirstResponder(focus);
  }
  WAPI_DoDialogColorUpdates(self, m_dlgproc, false);
  return this;
}

Wapi_vQOR_hwnd::~Wapi_vQOR_hwnd() {
  for (NSObject*& o : m_access_cacheptrs) {
    if (o) o->release();
    o = nullptr;
  }
  KillTimer(wapiHandle(this), -1);
  onWapiMessage(WM_DESTROY, 0, 0);
  wapiReleaseCaptureOf(this);
  if (m_glctx) m_glctx->release();
  m_glctx = nullptr;
  while (m_props) {
    WindowPropRec* p = m_props;
    m_props = p->next;
    if (!isAtom(p->name)) std::free(p->name);
    delete p;
  }
}

LRESULT Wapi_vQOR_hwnd::onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND self = wapiHandle(this);
  if (m_hashaddestroy) {
    if (m_hashaddestroy == 2 || msg == WM_DESTROY || msg == WM_CAPTURECHANGED) return 0;
    return m_wndproc ? m_wndproc(self, msg, wParam, lParam) : 0;
  }
  if (msg != WM_DESTROY) return m_wndproc ? m_wndproc(self, msg, wParam, lParam) : 0;

  // The procedure may drop the last reference. (From dealloc the hold changes nothing.)
  retain();
  m_hashaddestroy = 1;
  wapiReleaseCaptureOf(this);
  wapiAcceptPosts(self, false);  // posting is refused from here on
  WAPI_MessageQueue_Clear(self);
  const LRESULT result = m_wndproc ? m_wndproc(self, WM_DESTROY, wParam, lParam) : 0;
  if (wapiIsContentView(this)) {
    if (auto* top = dynamic_cast<WapiTopLevelWindow*>(window())) top->wapiDestroyAllOwnedWindows();
  }
  wapiReleaseCaptureOf(this);
  WAPI_MessageQueue_Clear(self);
  if (HMENU menu = m_menu) {
    if (WAPI_GetCurrentMenu() == menu && !g_wapi_terminating) NSApp->setMainMenu(nullptr);
    WAPI_SetMenuDestination(menu, nullptr);
    m_menu = nullptr;
    DestroyMenu(menu);
  }
  // A retained copy: a subview that removes itself or a sibling skips no neighbour.
  std::vector<NSView*> children = subviews();
  for (NSView* v : children) v->retain();
  for (NSView* v : children) {
    if (WapiMessageTarget* t = wapiMessageTarget(v)) t->onWapiMessage(WM_DESTROY, 0, 0);
    v->release();
  }
  KillTimer(self, -1);
  m_hashaddestroy = 2;
  release();
  return result;
}

LONG_PTR Wapi_vQOR_hwnd::getWapiExtraData(int offset) {
  if (offset < 0 || offset > 127) return 0;
  return m_extradata[offset / 4];
}

void Wapi_vQOR_hwnd::setWapiExtraData(int offset, LONG_PTR value) {
  if (offset < 0 || offset >= 128) return;
  m_extradata[offset / 4] = value;
}

void Wapi_vQOR_hwnd::onWapiSetText(const char* text) {
  if (!text) text = "";
  const int n = WAPI_Utf8BoundaryPrefix(text, int(strnlen(text, sizeof m_titlestr - 1)));
  std::memcpy(m_titlestr, text, size_t(n));
  m_titlestr[n] = 0;
}

int Wapi_vQOR_hwnd::wapiSetProp(const char* name, void* value) {
  for (WindowPropRec* p = m_props; p; p = p->next)
    if (sameName(p->name, name)) {
      p->value = value;
      return 1;
    }
  char* kept = isAtom(name) ? const_cast<char*>(name) : strdup(name);
  if (!kept) return 0;
  m_props = new WindowPropRec{kept, value, m_props};
  return 1;
}

void* Wapi_vQOR_hwnd::wapiGetProp(const char* name, bool remove) {
  for (WindowPropRec** link = &m_props; *link; link = &(*link)->next) {
    WindowPropRec* p = *link;
    if (!sameName(p->name, name)) continue;
    void* value = p->value;
    if (remove) {
      *link = p->next;
      if (!isAtom(p->name)) std::free(p->name);
      delete p;
    }
    return value;
  }
  return nullptr;
}

int Wapi_vQOR_hwnd::wapiEnumProps(PROPENUMPROCEX proc, LPARAM lParam) {
  if (!m_props) return -1;
  for (WindowPropRec* p = m_props; p; p = p->next)
    if (!proc || !proc(wapiHandle(this), p->name, p->value, lParam)) return 0;
  return 1;
}

void Wapi_vQOR_hwnd::setFrame(NSRect frame) {
  NSView::setFrame(frame);
  if (m_hashaddestroy == 0) onWapiMessage(WM_SIZE, 0, 0);
  InvalidateRect(GetParent(wapiHandle(this)), nullptr);
}

void Wapi_vQOR_hwnd::viewDidHide() {
  onWapiMessage(WM_SHOWWINDOW, 0, 0);
}
void Wapi_vQOR_hwnd::viewDidUnhide() {
  onWapiMessage(WM_SHOWWINDOW, 1, 0);
}

NSObject* Wapi_vQOR_hwnd::accessibilityObject() {
  NSObject* slot = nullptr;
  onWapiMessage(WM_GETOBJECT, 4097, reinterpret_cast<LPARAM>(&slot));
  return wapiObject(wapiHandle(slot));
}

bool Wapi_vQOR_hwnd::accessibilityIsIgnored() {
  if (subviews().empty() && accessibilityObject()) return true;
  return NSView::accessibilityIsIgnored();
}

NSObject* Wapi_vQOR_hwnd::accessibilityHitTest(NSPoint point) {
  if (NSObject* o = accessibilityObject()) {
    if (auto* a = dynamic_cast<NSAccessibility*>(o)) {
      NSObject* hit = a->accessibilityHitTest(point);
      if (hit && (hit != o || !a->accessibilityIsIgnored())) return hit;
    }
  }
  return NSView::accessibilityHitTest(point);
}

NSObject* Wapi_vQOR_hwnd::accessibilityFocusedUIElement() {
  NSObject* o = accessibilityObject();
  if (auto* a = dynamic_cast<NSAccessibility*>(o)) {
    NSObject* focused = a->accessibilityFocusedUIElement();
    if (focused && focused != o) return focused;
  }
  return NSView::accessibilityFocusedUIElement();
}

NSArray* Wapi_vQOR_hwnd::accessibilityAttributeValue(const char* attribute) {
  NSArray* platform = NSView::accessibilityAttributeValue(attribute);
  NSObject* o = accessibilityObject();
  if (!platform || !o) return platform;
  // Three slots per attribute: the answer, the platform list it was made from and the object.
  NSObject** cache = m_access_cacheptrs + (std::strcmp(attribute, NSAccessibilityVisibleChildrenAttribute) ? 0 : 3);
  auto* oldList = static_cast<NSArray*>(cache[1]);
  bool sameList = oldList == platform;
  if (!sameList && oldList && oldList->count() == platform->count()) {
    sameList = true;
    for (NSUInteger i = 0; i < platform->count(); ++i)
      sameList &= oldList->objectAtIndex(i) == platform->objectAtIndex(i);
  }
  if (cache[0] && cache[2] == o && sameList) return static_cast<NSArray*>(cache[0]);
  std::vector<NSObject*> items;
  for (NSUInteger i = 0; i < platform->count(); ++i) items.push_back(platform->objectAtIndex(i));
  items.push_back(o);
  NSArray* answer = NSAccessibilityUnignoredChildren(NSArray::arrayWithVector(items));
  NSObject* kept[3] = {answer, platform, o};
  for (int i = 0; i < 3; ++i) {
    kept[i]->retain();
    if (cache[i]) cache[i]->release();
    cache[i] = kept[i];
  }
  return answer;
}

LRESULT WapiDialogDefaultWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLong(hwnd, DWL_DLGPROC));
  if (!proc) return DefWindowProc(hwnd, msg, wParam, lParam);
  if (msg == WM_PAINT && !proc(hwnd, WM_ERASEBKGND, 0, 0)) {
    // The background: the brush the procedure names, else the dialog background where the
    // view or its window's content view is opaque.
    auto* view = wapiAs<NSView>(wapiObject(hwnd));
    NSView* content = view && view->window() ? view->window()->contentView() : nullptr;
    const bool mayFill = view && (wapiIsContentView(view) || view->isOpaque() || (content && content->isOpaque()));
    PAINTSTRUCT ps;
    if (HDC hdc = BeginPaint(hwnd, &ps)) {
      if (ps.rcPaint.right > ps.rcPaint.left && ps.rcPaint.bottom > ps.rcPaint.top) {
        const LRESULT brush = proc(hwnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(hwnd));
        if (brush == 0 || brush == 1) {
          if (mayFill) WAPI_FillDialogBackground(hdc, &ps.rcPaint, 3);
        } else {
          WAPI_FillRect(hdc, &ps.rcPaint, reinterpret_cast<HGDIOBJ>(brush));
        }
      }
      EndPaint(hwnd, &ps);
    }
  }
  if (LRESULT r = proc(hwnd, msg, wParam, lParam)) return r;
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

NSColor* WAPI_ButtonTextColor(NSButton* button) {
  if (!button) return nullptr;
  NSColor* c = button->attributedTitleColor();
  return c ? c : NSColor::controlTextColor();
}

void WAPI_ButtonSetTextColor(NSButton* button, NSColor* colour) {
  if (button) button->setAttributedTitleColor(colour);
}

namespace {

// The colour a dialog procedure gives for one kind of control: asked once, of the first control
// of that kind; null when the procedure sets none and no default is wanted.
class ColourAnswer {
 public:
  ColourAnswer(HWND hwnd, DLGPROC proc, UINT msg, bool useDefault)
      : mHwnd(hwnd), mProc(proc), mMsg(msg), mUseDefault(useDefault) {}

  NSColor* colourFor(NSView* control) {
    if (mAsked) return mColour;
    mAsked = true;
    HDC probe = WAPI_GDP_CTX_NEW();
    mProc(mHwnd, mMsg, reinterpret_cast<WPARAM>(probe), reinterpret_cast<LPARAM>(control));
    if (probe && probe->textColorCG) {
      const int c = probe->textColor;
      mColour =
          NSColor::colorWithCalibratedRed(((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0, 1);
    } else if (mUseDefault) {
      mColour = NSColor::controlTextColor();
    }
    WAPI_DeleteGfxContext(probe);
    return mColour;
  }

 private:
  HWND mHwnd;
  DLGPROC mProc;
  UINT mMsg;
  bool mUseDefault;
  bool mAsked = false;
  NSColor* mColour = nullptr;  // autoreleased
};

}  // namespace

void WAPI_DoDialogColorUpdates(HWND hwnd, DLGPROC proc, bool useDefault) {
  NSView* view = wapiViewOf(wapiObject(hwnd));
  if (!view || !proc) return;
  ColourAnswer buttons(hwnd, proc, WM_CTLCOLORBTN, useDefault), statics(hwnd, proc, WM_CTLCOLORSTATIC, useDefault);
  std::vector<NSView*> children = view->subviews();
  for (NSView* v : children) v->retain();
  for (NSView* v : children) {
    if (!wapiObject(hwnd)) break;  // the procedure destroyed the dialog
    auto* button = wapiAs<NSButton>(v);
    auto* field = wapiAs<NSTextField>(v);
    auto* box = wapiAs<NSBox>(v);
    if (button && button->image()) {
      if (NSColor* c = buttons.colourFor(v)) WAPI_ButtonSetTextColor(button, c);
    } else if ((field && !field->isEditable()) || box) {
      NSColor* c = statics.colourFor(v);
      if (c && field) field->setTextColor(c);
      if (c && box) box->titleCell()->setTextColor(c);
    }
  }
  for (NSView* v : children) v->release();
}
