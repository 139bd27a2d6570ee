// The Carbon hosting view: a Carbon window kept above the host window over the view, its keys
// handed to the Cocoa side and its bounds changes moving the view.
#include "kit/wapi/wapi-carbonhost.h"

#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-input.h"

#include <algorithm>
#include <cmath>
#include <string>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_hwndcarbonhost, Wapi_vQOR_hwnd)

namespace {

constexpr UINT_PTR kTrackTimer = 1;
constexpr UINT kTrackPeriodMs = 10;
constexpr WindowAttributes kHostWindowAttributes = kWindowStandardHandlerAttribute | kWindowNoShadowAttribute;

const EventTypeSpec kWindowEvents[] = {
    {kEventClassWindow, kEventWindowActivated},
    {kEventClassWindow, kEventWindowGetClickActivation},
    {kEventClassWindow, kEventWindowActivateRequest},
    {kEventClassKeyboard, kEventRawKeyDown},
    {kEventClassKeyboard, kEventRawKeyUp},
    {kEventClassKeyboard, kEventRawKeyModifiersChanged},
};
const EventTypeSpec kBoundsEvent[] = {{kEventClassControl, kEventControlBoundsChanged}};

SInt16 toShort(long v) {
  return SInt16(std::max(-32768L, std::min(32767L, v)));
}

NSObject* HostTimerMethod(NSObject* self, SEL, NSObject* timer) {
  auto* holder = wapiAs<Wapi_vQOR_sdh>(static_cast<NSTimer*>(timer)->userInfo());
  if (holder) static_cast<Wapi_vQOR_hwndcarbonhost*>(self)->WAPI_Timer(holder->getValue());
  return nullptr;
}

const bool kMethodsAdded = [] {
  Wapi_vQOR_hwndcarbonhost::class_()->addMethod(sel_registerName("WAPI_Timer:"), &HostTimerMethod);
  return true;
}();

// A Carbon character code (one byte, Mac Roman below 128 as ASCII) as a platform string.
NSString* characterOf(unsigned char c) {
  char text[3] = {};
  if (c >= 0x80) {
    text[0] = char(0xC0 | (c >> 6));
    text[1] = char(0x80 | (c & 0x3F));
  } else {
    text[0] = char(c);
  }
  return wapiNSString(text);
}

}  // namespace

Wapi_vQOR_hwndcarbonhost::~Wapi_vQOR_hwndcarbonhost() {
  (void)kMethodsAdded;
  close();
}

Wapi_vQOR_hwndcarbonhost* Wapi_vQOR_hwndcarbonhost::initCarbonChild(NSObject* parent, const Rect& rect,
                                                                    bool composited) {
  initChild(nullptr, parent, nullptr, 0);
  m_wantallkeys = false;
  WindowRef w = nullptr;
  const WindowAttributes attributes =
      kHostWindowAttributes | (composited ? WindowAttributes(kWindowCompositingAttribute) : 0u);
  if (CreateNewWindow(kPlainWindowClass, attributes, &rect, &w) != noErr || !w) return this;
  mCarbonWindow = w;
  ControlRef root = nullptr;
  if (!composited) CreateRootControl(w, &root);
  InstallEventHandler(GetWindowEventTarget(w), NewEventHandlerUPP(CarbonEvtHandler),
                      UInt32(sizeof kWindowEvents / sizeof kWindowEvents[0]), kWindowEvents, this, &m_wndhandler);
  if (root)
    InstallEventHandler(GetControlEventTarget(root), NewEventHandlerUPP(CarbonEvtHandler), 1, kBoundsEvent, this,
                        &m_ctlhandler);
  auto* cocoa = static_cast<NSWindow*>(NSWindow::class_()->alloc());
  if (!cocoa->initWithWindowRef(w)) {
    cocoa->release();
    return this;
  }
  m_cwnd = cocoa;
  m_cwnd->setDelegate(this);
  ShowWindow(w);
  SetTimer(wapiHandle(this), kTrackTimer, kTrackPeriodMs, nullptr);
  return this;
}

WindowRef Wapi_vQOR_hwndcarbonhost::carbonWindow() const {
  return m_cwnd ? static_cast<WindowRef>(m_cwnd->windowRef()) : nullptr;
}

void Wapi_vQOR_hwndcarbonhost::close() {
  KillTimer(wapiHandle(this), kTrackTimer);
  if (m_wndhandler) RemoveEventHandler(m_wndhandler);
  if (m_ctlhandler) RemoveEventHandler(m_ctlhandler);
  m_wndhandler = m_ctlhandler = nullptr;
  if (m_cwnd) {
    NSWindow* cocoa = m_cwnd;
    m_cwnd = nullptr;
    if (NSWindow* parent = cocoa->parentWindow()) parent->removeChildWindow(cocoa);
    cocoa->orderOut(nullptr);
    cocoa->close();
    cocoa->release();
  }
  // The Carbon window was made here and nobody else holds it.
  if (mCarbonWindow) {
    WindowRef w = mCarbonWindow;
    mCarbonWindow = nullptr;
    DisposeWindow(w);
  }
}

void Wapi_vQOR_hwndcarbonhost::wapiDoRepos() {
  if (!m_cwnd) return;
  WindowRef w = carbonWindow();
  RECT r{};
  GetWindowRect(wapiHandle(this), &r);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  NSScreen* main = NSScreen::mainScreen();
  const long H = main ? lround(main->frame().size.height) : 0;
  Rect bounds{};
  bounds.top = toShort(H - r.bottom);
  bounds.left = toShort(r.left);
  bounds.bottom = toShort(long(bounds.top) + (long(r.bottom) - r.top));
  bounds.right = toShort(r.right);
  SetWindowBounds(w, kWindowContentRgn, &bounds);
  WindowAttributes attributes = 0;
  GetWindowAttributes(w, &attributes);
  if (attributes & kWindowCompositingAttribute) {
    HIViewRef root = HIViewGetRoot(w);
    for (HIViewRef v = HIViewGetFirstSubview(root); v; v = HIViewGetNextView(v)) HIViewSetNeedsDisplay(v, true);
    HIViewSetNeedsDisplay(root, true);
    HIViewRender(root);
  } else {
    UpdateControls(w, nullptr);
  }
}

void Wapi_vQOR_hwndcarbonhost::WAPI_Timer(UINT_PTR id) {
  const HWND self = wapiHandle(this);
  if (id != kTrackTimer) {
    KillTimer(self, id);
    return;
  }
  if (!m_cwnd) return;
  NSView* super = superview();
  if (super && !super->isHiddenOrHasHiddenAncestor()) {
    if (!m_cwnd->parentWindow()) {
      if (NSWindow* host = window()) host->addChildWindow(m_cwnd, NSWindowAbove);
      wapiDoRepos();
      return;
    }
    // A press inside the host window while it is key hands the keys to the Carbon window.
    NSWindow* host = window();
    if (!(GetCurrentEventButtonState() & 7) || !host || !host->isKeyWindow()) return;
    RECT r{};
    GetWindowRect(self, &r);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    POINT p{};
    GetCursorPos(&p);
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) m_cwnd->makeKeyWindow();
    return;
  }
  if (NSWindow* parent = m_cwnd->parentWindow()) {
    parent->removeChildWindow(m_cwnd);
    m_cwnd->orderOut(nullptr);
  }
}

LRESULT Wapi_vQOR_hwndcarbonhost::onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY && m_cwnd) {
    if (m_cwnd->isKeyWindow())
      for (NSWindow* w : NSApp->orderedWindows())
        if (w != m_cwnd && w->isVisible()) {
          w->makeKeyWindow();
          break;
        }
    close();
  }
  return Wapi_vQOR_hwnd::onWapiMessage(msg, wParam, lParam);
}

void Wapi_vQOR_hwndcarbonhost::viewDidMoveToWindow() {
  Wapi_vQOR_hwnd::viewDidMoveToWindow();
  NSWindow* parent = m_cwnd ? m_cwnd->parentWindow() : nullptr;
  if (parent && parent != window()) parent->removeChildWindow(m_cwnd);
}

void Wapi_vQOR_hwndcarbonhost::viewDidMoveToSuperview() {
  Wapi_vQOR_hwnd::viewDidMoveToSuperview();
  wapiDoRepos();
}

void Wapi_vQOR_hwndcarbonhost::setFrame(NSRect frame) {
  // The platform's step sets origin and size in turn: one move of the Carbon window after both.
  const bool outer = !mInSetFrame;
  mInSetFrame = true;
  Wapi_vQOR_hwnd::setFrame(frame);
  if (!outer) return;
  mInSetFrame = false;
  wapiDoRepos();
}

void Wapi_vQOR_hwndcarbonhost::setFrameSize(NSSize size) {
  Wapi_vQOR_hwnd::setFrameSize(size);
  if (!mInSetFrame) wapiDoRepos();
}

void Wapi_vQOR_hwndcarbonhost::setFrameOrigin(NSPoint origin) {
  Wapi_vQOR_hwnd::setFrameOrigin(origin);
  if (!mInSetFrame) wapiDoRepos();
}

OSStatus CarbonEvtHandler(EventHandlerCallRef, EventRef event, void* user) {
  // A pane's handler may outlive its view: the view is looked up, never read stale.
  auto* view = wapiAs<Wapi_vQOR_hwndcarbonhost>(wapiObject(static_cast<HWND>(user)));
  if (!view || !event) return eventNotHandledErr;
  WindowRef w = view->carbonWindow();
  switch (GetEventKind(event)) {
    case kEventRawKeyDown:
    case kEventRawKeyUp:
    case kEventRawKeyModifiersChanged: {
      if (view->m_wantallkeys) return eventNotHandledErr;
      // A Carbon text field keeps its keys.
      ControlRef focus = nullptr;
      ControlKind kind{};
      if (w && GetKeyboardFocus(w, &focus) == noErr && focus && GetControlKind(focus, &kind) == noErr &&
          (kind.kind == kControlKindEditText || kind.kind == kControlKindEditUnicodeText ||
           kind.kind == kControlKindHITextView))
        return eventNotHandledErr;
      UInt32 code = 0, modifiers = 0;
      unsigned char c = 0;
      GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
      GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
      GetEventParameter(event, kEventParamKeyMacCharCodes, typeChar, nullptr, 1, nullptr, &c);
      const UInt32 kind_ = GetEventKind(event);
      const NSEventType type = kind_ == kEventRawKeyDown ? NSKeyDown
                               : kind_ == kEventRawKeyUp ? NSKeyUp
                                                         : NSFlagsChanged;
      NSAutoreleasePool pool;
      NSString* characters = characterOf(c);
      NSEvent* e =
          NSEvent::keyEventWithType(type, NSMakePoint(0, 0), modifiers, 0, 0, NSGraphicsContext::currentContext(),
                                    characters, characters, false, (unsigned short)code);
      view->retain();
      NSApp->sendEvent(e);
      view->release();
      return noErr;
    }
    case kEventWindowActivated:
      if (!g_wapi_terminating) NSApp->setMainMenu(nullptr);
      return noErr;
    case kEventWindowGetClickActivation: {
      const ClickActivationResult result = kActivateAndHandleClick;
      SetEventParameter(event, kEventParamClickActivation, typeClickActivationResult, sizeof result, &result);
      return noErr;
    }
    case kEventWindowActivateRequest:
      if (w) ActivateWindow(w, true);
      return noErr;
    case kEventControlBoundsChanged: {
      if (view->m_whileresizing) return noErr;
      Rect before{}, now{};
      if (GetEventParameter(event, kEventParamPreviousBounds, typeQDRectangle, nullptr, sizeof before, nullptr,
                            &before) != noErr ||
          GetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof now, nullptr, &now) !=
              noErr)
        return noErr;
      // The view moves by the control's change of each edge, in its parent's coordinates (y
      // downward in a flipped parent, upward otherwise).
      const NSRect f = view->frame();
      const double dl = now.left - before.left, dr = now.right - before.right;
      const double dt = now.top - before.top, db = now.bottom - before.bottom;
      NSView* parent = view->superview();
      const bool down = parent && parent->isFlipped();
      const double x = f.origin.x + dl, width = f.size.width + dr - dl, height = f.size.height + db - dt;
      const double y = down ? f.origin.y + dt : f.origin.y - db;
      view->m_whileresizing = true;
      SetWindowPos(wapiHandle(view), nullptr, wapiToInt(x), wapiToInt(y), wapiToInt(width), wapiToInt(height),
                   SWP_NOZORDER | 8);
      view->m_whileresizing = false;
      return noErr;
    }
    default: return noErr;
  }
}

HWND WAPI_CreateCarbonWindowView(HWND parent, WindowRef* window, const RECT* rect, bool composited) {
  if (window) *window = nullptr;
  NSObject* into = wapiObject(parent);
  if (!rect || !wapiViewOf(into)) return nullptr;
  POINT a{rect->left, rect->top}, z{rect->right, rect->bottom};
  ClientToScreen(parent, &a);
  ClientToScreen(parent, &z);
  Rect carbon{};
  carbon.top = toShort(z.y);
  carbon.left = toShort(a.x);
  carbon.bottom = toShort(a.y);
  carbon.right = toShort(z.x);
  auto* view = static_cast<Wapi_vQOR_hwndcarbonhost*>(Wapi_vQOR_hwndcarbonhost::class_()->alloc());
  view->initCarbonChild(into, carbon, composited);
  // The view covers the rectangle it was asked for (a window's content view fills the window);
  // the Carbon window follows it.
  if (!wapiIsContentView(view))
    view->setFrame(NSMakeRect(rect->left, rect->top, double(rect->right) - rect->left, double(rect->bottom) - rect->top));
  if (window) *window = view->carbonWindow();
  // The parent holds it now.
  const HWND made = wapiHandle(view);
  view->release();
  return made;
}

WindowRef WAPI_GetWindowFromCarbonWindowView(HWND hwnd) {
  auto* view = wapiAs<Wapi_vQOR_hwndcarbonhost>(wapiObject(hwnd));
  return view ? view->carbonWindow() : nullptr;
}

void WAPI_AddCarbonPaneToView(HWND hwnd, ControlRef control) {
  auto* view = wapiAs<Wapi_vQOR_hwndcarbonhost>(wapiObject(hwnd));
  if (!view || !control || !view->carbonWindow()) return;
  // Installed for the control's lifetime: the view keeps no reference to remove it by.
  InstallEventHandler(GetControlEventTarget(control), NewEventHandlerUPP(CarbonEvtHandler), 1, kBoundsEvent, view,
                      nullptr);
}

void WAPI_CarbonWndHost_SetWantAllKeys(HWND hwnd, bool on) {
  if (auto* view = wapiAs<Wapi_vQOR_hwndcarbonhost>(wapiObject(hwnd))) view->setWantAllKeys(on);
}
