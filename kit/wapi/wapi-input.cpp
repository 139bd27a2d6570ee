// Platform input as messages to the HWND view's procedure: mouse buttons, moves and the wheel
// with hit testing and capture, keys and trackpad gestures.
#include "kit/wapi/wapi-input.h"

#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-internal.h"

#include <algorithm>
#include <cmath>

namespace {

enum : UINT { kNonClientBase = 160, kFirstButtonMsg = WM_MOUSEMOVE, kLastButtonMsg = WM_MBUTTONDBLCLK };
enum : DWORD { kGestureBegin = 1, kGestureEnd = 4 };
enum : DWORD { kGestureZoom = 3, kGesturePan = 4, kGestureRotate = 5 };

// Set while a forwarded move is delivered (one thread: the main one).
bool s_forwardingMove = false;

bool alive(Wapi_vQOR_hwnd* v) {
  return !v->wapiHasBeenDestroyed() && v->getWapiWindowProc();
}

// To the procedure, only while the view lives and has one; 0 otherwise.
LRESULT toProc(Wapi_vQOR_hwnd* v, UINT msg, WPARAM wParam, LPARAM lParam) {
  return alive(v) ? v->getWapiWindowProc()(wapiHandle(v), msg, wParam, lParam) : 0;
}

// Y in the high 16 bits and x in the low ones, in 32-bit unsigned arithmetic.
LPARAM packPoint(int32_t x, int32_t y) {
  return LPARAM(int32_t((uint32_t(y) << 16) | (uint32_t(x) & 0xFFFF)));
}

void setArrowUnlessCurrent() {
  if (WAPI_GetCursor() != NSCursor::arrowCursor()) WAPI_SetCursor(NSCursor::arrowCursor());
}

NSPoint screenPoint(NSEvent* e) {
  NSPoint p = e->locationInWindow();
  if (NSWindow* w = e->window()) p = NSMakePoint(p.x + w->frame().origin.x, p.y + w->frame().origin.y);
  return p;
}

NSWindow* windowOf(Wapi_vQOR_hwnd* v) {
  return v->window();
}

// Makes the view's window key when it is not.
void focusWindowOf(Wapi_vQOR_hwnd* v) {
  NSWindow* w = windowOf(v);
  if (w && !w->isKeyWindow()) SetFocus(wapiHandle(w));
}

UINT pressMessage(UINT single, NSEvent* e) {
  return e->clickCount() >= 2 ? single + 2 : single;
}

// The first visible window whose frame holds the screen point, the key window first when the
// application's order does not list it.
NSWindow* windowAt(NSPoint p) {
  std::vector<NSWindow*> order = NSApp->orderedWindows();
  NSWindow* key = NSApp->keyWindow();
  if (key && std::find(order.begin(), order.end(), key) == order.end()) order.insert(order.begin(), key);
  for (NSWindow* w : order) {
    const NSRect f = w->frame();
    if (w->isVisible() && p.x >= f.origin.x && p.x < f.origin.x + f.size.width && p.y >= f.origin.y &&
        p.y < f.origin.y + f.size.height)
      return w;
  }
  return nullptr;
}

void forwardMove(NSView* to, NSEvent* e) {
  to->retain();
  s_forwardingMove = true;
  to->mouseMoved(e);
  s_forwardingMove = false;
  to->release();
}

void sendGesture(Wapi_vQOR_hwnd* v, GESTUREINFO& info, WPARAM beginW, uint64_t beginArgs, WPARAM endW,
                 uint64_t endArgs, int16_t endX, int16_t endY) {
  const HWND self = wapiHandle(v);
  v->retain();
  info.dwFlags = kGestureBegin;
  info.ullArguments = beginArgs;
  toProc(v, WM_GESTURE, beginW, reinterpret_cast<LPARAM>(&info));
  info.dwFlags = kGestureEnd;
  info.ullArguments = endArgs;
  info.ptsLocation[0] = endX;
  info.ptsLocation[1] = endY;
  if (wapiObject(self)) toProc(v, WM_GESTURE, endW, reinterpret_cast<LPARAM>(&info));
  v->release();
}

GESTUREINFO gestureRecord(Wapi_vQOR_hwnd* v, DWORD id, NSEvent* e) {
  GESTUREINFO info{};
  info.cbSize = sizeof info;
  info.dwID = id;
  info.hwndTarget = wapiHandle(v);
  const NSPoint p = screenPoint(e);
  info.ptsLocation[0] = int16_t(wapiToInt(p.x));
  info.ptsLocation[1] = int16_t(wapiToInt(p.y));
  return info;
}

// A gesture's amount as a non-zero step: 0 becomes +1 or -1 by the sign of the amount.
int32_t nonZeroStep(double scaled, double amount) {
  const int32_t v = wapiToInt(scaled);
  if (v != 0) return v;
  return amount >= 0 ? 1 : -1;
}

int32_t clampTo(int64_t v, int32_t lo, int32_t hi) {
  return int32_t(v < lo ? lo : v > hi ? hi : v);
}

// Whether the procedure took the key: any answer but 69 does.
bool sendKey(Wapi_vQOR_hwnd* v, UINT msg, NSEvent* e) {
  int flags = 0;
  const int key = WAPI_MacKeyToWindowsKey(e, &flags);
  return alive(v) && toProc(v, msg, WPARAM(key), LPARAM(flags)) != WAPI_KEY_NOT_HANDLED;
}

// The view answers its controls' notifications by selector from the start (wapi-notify.cpp).
const bool kNotificationMethods = [] {
  wapiAddControlNotificationMethods();
  return true;
}();

}  // namespace

LRESULT WAPI_SendMouseMessage(NSView* view, UINT msg, NSEvent* event) {
  auto* v = wapiAs<Wapi_vQOR_hwnd>(view);
  if (!v || !event) return 0;
  v->retain();
  struct Release {
    NSView* v;
    ~Release() { v->release(); }
  } hold{v};

  HWND captureHandle = GetCapture();
  auto* capture = wapiAs<Wapi_vQOR_hwnd>(wapiObject(captureHandle));
  if (capture && capture != v && capture->window() == v->window()) return WAPI_SendMouseMessage(capture, msg, event);
  if (!alive(v)) return -1;

  const NSPoint at = wapiProcessMouseEvent(msg, v, event);
  const int32_t x = wapiToInt(std::floor(at.x)), y = wapiToInt(std::floor(at.y));
  const bool wheel = msg == WM_MOUSEWHEEL || msg == WM_MOUSEHWHEEL;
  LRESULT hit = HTCLIENT;
  bool hitTested = false;
  if (!wheel && !captureHandle) {
    hit = toProc(v, WM_NCHITTEST, 0, LPARAM(int32_t(GetMessagePos())));
    hitTested = true;
    if (!alive(v)) return -1;
    if (hit != HTCLIENT && msg >= kFirstButtonMsg && msg <= kLastButtonMsg)
      return toProc(v, kNonClientBase + (msg - WM_MOUSEMOVE), WPARAM(hit), LPARAM(int32_t(GetMessagePos())));
  }
  if (wheel) {
    const double delta = msg == WM_MOUSEWHEEL ? event->deltaY() : event->deltaX();
    const WPARAM w = WPARAM(uint32_t(wapiToInt(delta * 60.0)) << 16);
    POINT p{0, 0};
    GetCursorPos(&p);
    return toProc(v, msg, w, packPoint(p.x, p.y));
  }
  const LRESULT result = toProc(v, msg, 0, packPoint(x, y));
  const bool afterMoveOrRelease = msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
  if (afterMoveOrRelease && !GetCapture()) {
    const LPARAM code = hitTested ? hit : LPARAM(HTCLIENT);
    const LPARAM l = LPARAM(int32_t((uint32_t(code) & 0xFFFF) | (uint32_t(msg) << 16)));
    if (!alive(v) || !toProc(v, WM_SETCURSOR, reinterpret_cast<WPARAM>(wapiHandle(v)), l)) setArrowUnlessCurrent();
  }
  return result;
}

bool Wapi_vQOR_hwnd::acceptsFirstMouse(NSEvent*) {
  if (!m_enabled) return false;
  onWapiMessage(WM_MOUSEACTIVATE, 0, 0);
  if (NSView* up = superview()) SendMessage(wapiHandle(up), WM_MOUSEACTIVATE, 0, 0);
  return true;
}

bool Wapi_vQOR_hwnd::acceptsFirstResponder() {
  if (!m_enabled) return false;
  if (GetFocus() != wapiHandle(this)) onWapiMessage(WM_MOUSEACTIVATE, 0, 0);
  return true;
}

void Wapi_vQOR_hwnd::mouseDown(NSEvent* e) {
  if (!m_enabled) return;
  WAPI_FinishDragDrop();
  if ((e->modifierFlags() & NSControlKeyMask) && IsRightClickEmulateEnabled()) {
    rightMouseDown(e);
    if (e->clickCount() == 1) m_isfakerightmouse = 1;
    return;
  }
  WAPI_SendMouseMessage(this, pressMessage(WM_LBUTTONDOWN, e), e);
}

void Wapi_vQOR_hwnd::mouseUp(NSEvent* e) {
  if (!m_enabled) return;
  if (m_isfakerightmouse) return rightMouseUp(e);
  WAPI_SendMouseMessage(this, WM_LBUTTONUP, e);
}

void Wapi_vQOR_hwnd::mouseDragged(NSEvent* e) {
  if (!m_enabled) return;
  WAPI_SendMouseMessage(this, WM_MOUSEMOVE, e);
  HCURSOR last = WAPI_GetLastSetCursor();
  if (last && WAPI_GetCursor() != last) WAPI_SetCursor(last);
}

void Wapi_vQOR_hwnd::rightMouseDown(NSEvent* e) {
  m_isfakerightmouse = 0;
  focusWindowOf(this);
  WAPI_SendMouseMessage(this, pressMessage(WM_RBUTTONDOWN, e), e);
}

void Wapi_vQOR_hwnd::rightMouseUp(NSEvent* e) {
  if (!m_enabled) return;
  m_isfakerightmouse = 0;
  WAPI_SendMouseMessage(this, WM_RBUTTONUP, e);
}

void Wapi_vQOR_hwnd::rightMouseDragged(NSEvent* e) {
  mouseDragged(e);
}

void Wapi_vQOR_hwnd::otherMouseDown(NSEvent* e) {
  focusWindowOf(this);
  WAPI_SendMouseMessage(this, pressMessage(WM_MBUTTONDOWN, e), e);
}

void Wapi_vQOR_hwnd::otherMouseUp(NSEvent* e) {
  if (!m_enabled) return;
  WAPI_SendMouseMessage(this, WM_MBUTTONUP, e);
}

void Wapi_vQOR_hwnd::otherMouseDragged(NSEvent* e) {
  mouseDragged(e);
}

void Wapi_vQOR_hwnd::scrollWheel(NSEvent* e) {
  if (!m_enabled) return;
  // A NaN delta is not 0: it still sends.
  if (!(e->deltaY() == 0)) WAPI_SendMouseMessage(this, WM_MOUSEWHEEL, e);
  if (!(e->deltaX() == 0) && wapiObject(wapiHandle(this))) WAPI_SendMouseMessage(this, WM_MOUSEHWHEEL, e);
}

void Wapi_vQOR_hwnd::mouseMoved(NSEvent* e) {
  if (!m_enabled) return;
  if (!s_forwardingMove && !GetCapture()) {
    NSWindow* own = e->window();
    NSWindow* under = windowAt(screenPoint(e));
    if (under && under != own && !NSApp->modalWindow()) {
      auto* content = wapiAs<Wapi_vQOR_hwnd>(under->contentView());
      const NSPoint screen = screenPoint(e);
      const NSPoint inUnder = NSMakePoint(screen.x - under->frame().origin.x, screen.y - under->frame().origin.y);
      if (NSView* hit = content ? content->hitTest(inUnder) : nullptr) {
        NSEvent* moved = NSEvent::mouseEventWithType(e->type(), inUnder, e->modifierFlags(), e->timestamp(),
                                                     under->windowNumber(), nullptr, e->eventNumber(),
                                                     e->clickCount(), e->pressure());
        forwardMove(hit, moved);
        return;
      }
      setArrowUnlessCurrent();
      return;
    }
    NSView* hit = own && own->contentView() ? own->contentView()->hitTest(e->locationInWindow()) : nullptr;
    if (hit && hit != this) {
      forwardMove(hit, e);
      return;
    }
  }
  HWND capture = GetCapture();
  if (!capture || capture == wapiHandle(this)) WAPI_SendMouseMessage(this, WM_MOUSEMOVE, e);
}

void Wapi_vQOR_hwnd::keyDown(NSEvent* e) {
  if (!sendKey(this, WM_KEYDOWN, e)) NSView::keyDown(e);
}

void Wapi_vQOR_hwnd::keyUp(NSEvent* e) {
  if (!sendKey(this, WM_KEYUP, e)) NSView::keyUp(e);
}

void Wapi_vQOR_hwnd::magnifyWithEvent(NSEvent* e) {
  GESTUREINFO info = gestureRecord(this, kGestureZoom, e);
  const double m = e->magnification();
  const int32_t v = clampTo(int64_t(1024) + nonZeroStep(1024.0 * m + 0.5, m), 512, 2048);
  sendGesture(this, info, 0, 1024, WPARAM(v), uint64_t(v), info.ptsLocation[0], info.ptsLocation[1]);
}

void Wapi_vQOR_hwnd::rotateWithEvent(NSEvent* e) {
  GESTUREINFO info = gestureRecord(this, kGestureRotate, e);
  const double r = e->rotation();
  const int32_t v = clampTo(int64_t(32767) + nonZeroStep(32767.0 * r / 60.0, r), 0, 65535);
  sendGesture(this, info, 0, 0, WPARAM(v), uint64_t(int64_t(v)), info.ptsLocation[0], info.ptsLocation[1]);
}

void Wapi_vQOR_hwnd::swipeWithEvent(NSEvent* e) {
  GESTUREINFO info = gestureRecord(this, kGesturePan, e);
  const NSRect b = bounds();
  const int32_t w = wapiToInt(b.size.width), h = wapiToInt(b.size.height);
  int32_t x = info.ptsLocation[0], y = info.ptsLocation[1];
  const double dx = e->deltaX(), dy = e->deltaY();
  if (dx < 0) x -= w;
  else if (dx > 0) x += w;
  else if (dy < 0) y += h;
  else if (dy > 0) y -= h;
  sendGesture(this, info, 0, 0, 0, 0, int16_t(uint16_t(uint32_t(x))), int16_t(uint16_t(uint32_t(y))));
}
