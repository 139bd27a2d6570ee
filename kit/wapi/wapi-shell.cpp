// Window appearance and shell services over the platform's windows and workspace.
#include "kit/wapi/wapi-shell.h"

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-toplevel.h"

#include <CoreServices/CoreServices.h>

#include <cmath>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

// The window a handle stands for: a window, or a view's window.
NSWindow* windowOf(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  if (auto* w = wapiAs<NSWindow>(o)) return w;
  if (auto* v = wapiAs<NSView>(o)) return v->window();
  return nullptr;
}

bool enumChildren(NSView* v, WNDENUMPROC proc, LPARAM lParam) {
  // Every child of the copy is held until the walk is over, so that a callback destroying one
  // cannot free a view still to be visited.
  std::vector<NSView*> children = v->subviews();
  for (NSView* c : children) c->retain();
  bool go = true;
  for (NSView* c : children) {
    if (!proc(wapiHandle(c), lParam) || !enumChildren(c, proc, lParam)) {
      go = false;
      break;
    }
  }
  for (NSView* c : children) c->release();
  return go;
}

std::string mapped(const char* text) {
  if (!text) return "";
  if (!strcasecmp(text, "explorer.exe")) return "";
  return text;
}

bool endsWithApp(const std::string& s) {
  return s.size() >= 5 && !strcasecmp(s.c_str() + s.size() - 4, ".app");
}

}  // namespace

int WAPI_GetWindowWantRaiseAmt(HWND hwnd) {
  auto* m = wapiAs<Wapi_vQOR_modelesswindow>(windowOf(hwnd));
  return m ? m->wantRaiseAmount() : 0;
}

void WAPI_SetWindowWantRaiseAmt(HWND hwnd, int amount) {
  auto* m = wapiAs<Wapi_vQOR_modelesswindow>(windowOf(hwnd));
  if (!m) return;
  const int old = m->wantRaiseAmount();
  m->setWantRaiseAmount(amount);
  if (amount != old && NSApp->isActive()) m->setLevel(m->level() + (amount - old));
}

int WAPI_SetWindowLevel(HWND hwnd, int level) {
  NSWindow* w = windowOf(hwnd);
  if (!w) return 0;
  const int old = int(w->level());
  w->setLevel(level);
  return old;
}

void SetOpaque(HWND hwnd, bool opaque) {
  if (auto* v = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd))) v->setOpaque(opaque);
}

void SetTransparent(HWND hwnd) {
  NSWindow* w = windowOf(hwnd);
  if (!w) return;
  w->setBackgroundRGBA(0, 0, 0, 0);
  w->setOpaque(false);
}

void WAPI_SetWindowShadow(HWND hwnd, bool on) {
  if (NSWindow* w = windowOf(hwnd)) w->setHasShadow(on);
}

void WAPI_SetWindowRepre(HWND hwnd, const char* fileName, bool modified) {
  NSWindow* w = windowOf(hwnd);
  if (!w) return;
  if (w->contentView() && GetProp(wapiHandle(w->contentView()), "WAPI_DisableWindowRepre")) return;
  w->setDocumentEdited(modified);
  w->setRepresentedFilename(wapiNSString(fileName ? fileName : ""));
}

int WAPI_GetDefaultButtonID(HWND view, bool onlyEnabled) {
  NSWindow* w = windowOf(view);
  NSButtonCell* cell = w ? w->defaultButtonCell() : nullptr;
  NSButton* b = cell ? cell->controlView() : nullptr;
  if (!b || (onlyEnabled && !b->isEnabled())) return 0;
  return int(b->tag());
}

BOOL EnumChildWindows(HWND hwnd, WNDENUMPROC proc, LPARAM lParam) {
  auto* v = wapiAs<NSView>(wapiObject(hwnd));
  if (!v || !proc || v->subviews().empty()) return true;
  return enumChildren(v, proc, lParam);
}

void WAPI_GetDesiredControlSize(HWND hwnd, RECT* out) {
  auto* c = wapiAs<NSControl>(wapiObject(hwnd));
  if (!c || !out) return;
  const NSRect saved = c->frame();
  c->sizeToFit();
  const NSRect fitted = c->frame();
  c->setFrame(saved);
  *out = RECT{0, 0, wapiToInt(fitted.size.width), wapiToInt(fitted.size.height)};
}

bool WAPI_IsGroupBox(HWND hwnd) {
  return wapiAs<Wapi_vQOR_box>(wapiObject(hwnd)) != nullptr;
}

bool WAPI_IsButton(HWND hwnd) {
  return wapiAs<Wapi_vQOR_button>(wapiObject(hwnd)) != nullptr;
}

bool WAPI_IsStaticText(HWND hwnd) {
  return wapiAs<NSTextField>(wapiObject(hwnd)) != nullptr;
}

BOOL ShellExecute(HWND, const char*, const char* file, const char* parameters, const char*, int) {
  NSAutoreleasePool pool;
  NSWorkspace* ws = NSWorkspace::sharedWorkspace();
  if (file && !strncasecmp(file, "http://", 7)) return ws->openURL(NSURL::URLWithString(wapiNSString(file)));
  std::string f = mapped(file);
  if (!strcasecmp(f.c_str(), "notepad.exe") || !strcasecmp(f.c_str(), "notepad")) f = "TextEdit.app";
  const std::string p = mapped(parameters);
  if (!f.empty() && !p.empty()) return ws->openFile(wapiNSString(p.c_str()), wapiNSString(f.c_str()), true);
  const std::string& target = !f.empty() ? f : p;
  if (target.empty()) return false;
  return endsWithApp(target) ? ws->launchApplication(wapiNSString(target.c_str()))
                             : ws->openFile(wapiNSString(target.c_str()));
}

// The content of a focus window: opaque grey, made translucent by the window's alpha.
class Wapi_vQOR_drawfocusrectwnd : public NSView {
  NS_STANDIN_CLASS(Wapi_vQOR_drawfocusrectwnd)

 public:
  Wapi_vQOR_drawfocusrectwnd() = default;
  bool isOpaque() override { return true; }
  void drawRect(NSRect rect) override {
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    CGContextSetRGBFillColor(c, 0.5, 0.5, 0.5, 1.0);
    CGContextFillRect(c, rect);
    CGContextRestoreGState(c);
  }
};
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_drawfocusrectwnd, NSView)

namespace {

void dropFocusWindow(void** holder) {
  auto* w = static_cast<NSWindow*>(*holder);
  if (!w) return;
  if (NSWindow* parent = w->parentWindow()) parent->removeChildWindow(w);
  w->close();
  w->release();
  *holder = nullptr;
}

}  // namespace

void WAPI_DrawFocusRect(HWND parent, const RECT* rect, void** holder) {
  if (!holder) return;
  if (!rect) {
    dropFocusWindow(holder);
    return;
  }
  RECT r = *rect;
  if (parent) {
    POINT a{r.left, r.top}, b{r.right, r.bottom};
    ClientToScreen(parent, &a);
    ClientToScreen(parent, &b);
    r = RECT{a.x, a.y, b.x, b.y};
  }
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  NSObject* po = wapiObject(parent);
  NSWindow* parentWindow = nullptr;
  if (auto* w = wapiAs<NSWindow>(po))
    parentWindow = w;
  else if (auto* v = wapiAs<NSView>(po))
    parentWindow = v->window();
  else if (parent)
    return;
  const NSRect frame = NSMakeRect(r.left, r.top, double(r.right) - r.left, double(r.bottom) - r.top);
  auto* held = static_cast<NSWindow*>(*holder);
  if (!held || held->parentWindow() != parentWindow) {
    dropFocusWindow(holder);
    held = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    held->initWithContentRect(frame, NSBorderlessWindowMask, NSBackingStoreBuffered, true);
    held->setOpaque(true);
    held->setAlphaValue(0.5);
    held->setExcludedFromWindowsMenu(true);
    held->setIgnoresMouseEvents(true);
    auto* content = static_cast<NSView*>(Wapi_vQOR_drawfocusrectwnd::class_()->alloc());
    content->initWithFrame(NSMakeRect(0, 0, frame.size.width, frame.size.height));
    held->setContentView(content);
    content->release();
    if (parentWindow) {
      parentWindow->addChildWindow(held, NSWindowAbove);
    } else {
      held->setLevel(CGWindowLevelForKey(11));
      held->orderFront(nullptr);
    }
    *holder = held;
  }
  held->setFrame(frame, true);
}

bool WAPI_HandleMouseEvent(NSEvent* event) {
  if (!event || GetCapture()) return false;
  const NSEventType type = event->type();
  if (type < 1 || type > 7) return false;
  NSWindow* w = event->window();
  NSView* content = w ? w->contentView() : nullptr;
  if (!content) return false;
  const NSPoint at = event->locationInWindow();
  NSView* hit = content->hitTest(at);
  if (!hit) return false;
  const int x = int(std::floor(w->frame().origin.x + at.x)), y = int(std::floor(w->frame().origin.y + at.y));
  NSView* marked = nullptr;
  for (NSView* v = hit; v; v = v->superview()) {
    if (WapiMessageTarget* t = wapiMessageTarget(v)) {
      const LRESULT r = t->onWapiMessage(WM_NCHITTEST, 0, LPARAM((uint32_t(y) << 16) | (uint32_t(x) & 0xFFFF)));
      if (r != 0 && r != 1) marked = v;
    }
    if (v == content) break;
  }
  if (!marked) return false;
  switch (type) {
    case NSLeftMouseDown: marked->mouseDown(event); break;
    case NSLeftMouseUp: marked->mouseUp(event); break;
    case NSRightMouseDown: marked->rightMouseDown(event); break;
    case NSRightMouseUp: marked->rightMouseUp(event); break;
    case NSMouseMoved: marked->mouseMoved(event); break;
    case NSLeftMouseDragged: marked->mouseDragged(event); break;
    default: marked->rightMouseDragged(event); break;
  }
  return true;
}

bool WAPI_SetAppAutoHideMenuAndDock(int mode) {
  static bool tried = false, supported = false;
  static NSUInteger defaults = 0;
  if (!tried) {
    tried = true;
    SInt32 version = 0;
    if (Gestalt(gestaltSystemVersion, &version) != noErr) version = 0x1040;
    supported = version >= 0x1060;
    if (supported) defaults = NSApp->presentationOptions();
  }
  if (!supported) return false;
  NSApp->setPresentationOptions(mode <= 0 ? defaults : mode == 1 ? 5 : 6);
  return true;
}
