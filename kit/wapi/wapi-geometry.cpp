// Window geometry and stacking: the content rectangle, moving, sizing and restacking, moving a
// child between parents, the screen around a rectangle and the system metrics. Main thread only.
#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi-toplevel.h"

#include <cmath>

namespace {

NSView* representative(NSView* v) {
  NSView* clip = v->superview();
  if (clip && wapiAs<NSClipView>(clip) && wapiAs<NSScrollView>(clip->superview())) return clip->superview();
  return v;
}

// A rectangle of the platform's: origin truncated, far edges rounded.
RECT boundsRect(NSRect b) {
  return RECT{wapiToInt(b.origin.x), wapiToInt(b.origin.y), wapiToInt(b.origin.x + b.size.width + 0.5),
              wapiToInt(b.origin.y + b.size.height + 0.5)};
}

// The capture holder is never moved in the stacking, nor is a view that holds it.
bool holdsCapture(NSView* v) {
  auto* holder = wapiAs<NSView>(wapiObject(GetCapture()));
  return holder && holder->isDescendantOf(v);
}

void restack(NSView* v, HWND after) {
  NSView* super = v->superview();
  const std::vector<NSView*>& list = super->subviews();
  NSInteger place = NSWindowAbove;
  NSView* relativeTo = nullptr;
  if (after == HWND_TOP) {
    if (list.back() == v) return;
    relativeTo = list.back();
  } else if (after == HWND_BOTTOM) {
    if (list.front() == v) return;
    place = NSWindowBelow;
    relativeTo = list.front();
  } else {
    size_t mine = list.size(), theirs = list.size();
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i] == v) mine = i;
      if (wapiHandle(list[i]) == after) theirs = i;
    }
    if (theirs == list.size() || theirs + 1 == mine) return;
    relativeTo = list[theirs];
  }
  if (holdsCapture(v)) return;
  NSWindow* w = v->window();
  NSResponder* responder = w ? w->firstResponder() : nullptr;
  auto* focused = wapiAs<NSView>(responder);
  if (!focused || !focused->isDescendantOf(v)) responder = nullptr;
  v->retain();
  v->removeFromSuperviewWithoutNeedingDisplay();
  super->addSubview(v, place, relativeTo);
  v->release();
  if (responder && w) w->makeFirstResponder(responder);
}

}  // namespace

HWND WAPI_NavigateUpScrollClipViews(HWND hwnd) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  return v ? wapiHandle(representative(v)) : nullptr;
}

void GetWindowContentViewRect(HWND hwnd, RECT* r) {
  if (!r) return;
  NSObject* o = wapiObject(hwnd);
  NSWindow* w = wapiAs<NSWindow>(o);
  if (auto* v = wapiAs<NSView>(o); v && wapiIsContentView(v)) w = v->window();
  if (!w || !w->contentView()) {
    GetWindowRect(hwnd, r);
    return;
  }
  const RECT b = boundsRect(w->contentView()->bounds());
  POINT a{b.left, b.top}, z{b.right, b.bottom};
  ClientToScreen(wapiHandle(w), &a);
  ClientToScreen(wapiHandle(w), &z);
  *r = RECT{a.x, a.y, z.x, z.y};
}

void SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, int flags) {
  NSObject* o = wapiObject(hwnd);
  if (auto* v = wapiAs<NSView>(o); v && wapiIsContentView(v)) o = v->window();
  NSWindow* w = wapiAs<NSWindow>(o);
  NSView* v = w ? nullptr : wapiAs<NSView>(o);
  if (!w && !v) return;
  if (v) {
    v = representative(v);
    NSView* super = v->superview();
    if (!(flags & SWP_NOZORDER) && hwnd != after && super && super->subviews().size() >= 2 && after != HWND_TOPMOST &&
        after != HWND_NOTOPMOST)
      restack(v, after);
  }
  NSRect f = w ? w->frame() : v->frame();
  if (!(flags & SWP_NOMOVE)) f.origin = NSMakePoint(x, y);
  if (!(flags & SWP_NOSIZE)) f.size = NSMakeSize(cx, std::fabs(double(cy)));
  if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE)) return;
  if (v) {
    v->setFrame(f);
    auto* scroll = wapiAs<NSScrollView>(v);
    NSView* doc = scroll ? scroll->documentView() : nullptr;
    if (doc && wapiAs<NSTextView>(doc) && !(scroll->hasHorizontalScroller() && scroll->hasVerticalScroller())) {
      NSRect d = doc->frame();
      if (!scroll->hasHorizontalScroller()) d.size.width = scroll->contentSize().width;
      if (!scroll->hasVerticalScroller()) d.size.height = scroll->contentSize().height;
      doc->setFrame(d);
    }
    return;
  }
  const NSSize lo = w->minSize(), hi = w->maxSize();
  if (f.size.width < lo.width) f.size.width = lo.width;
  else if (f.size.width > hi.width) f.size.width = hi.width;
  if (f.size.height < lo.height) f.size.height = lo.height;
  else if (f.size.height > hi.height) f.size.height = hi.height;
  w->setFrame(f, false);
  w->display();
}

HWND SetParent(HWND hwnd, HWND parent) {
  auto* v = wapiAs<NSView>(wapiObject(hwnd));
  if (!v) return nullptr;
  NSView* r = representative(v);
  // Moving to and from top level makes and destroys windows.
  if (wapiIsContentView(r)) return parent ? wapiSetParentFromTopLevel(r, parent) : nullptr;
  if (!parent) return wapiSetParentToTopLevel(r);
  // A parent that is no view, or that lies inside the view, leaves the view where it is: it
  // would otherwise be left detached with nobody holding it, or made its own ancestor.
  NSView* to = wapiViewOf(wapiObject(parent));
  if (!to || to->isDescendantOf(r)) return nullptr;
  NSView* old = r->superview();
  r->retain();
  if (old) r->removeFromSuperview();
  to->addSubview(r);
  r->release();
  return old ? wapiHandle(old) : nullptr;
}

void WAPI_GetViewPort(RECT* result, const RECT* source, bool workArea) {
  if (!result) return;
  const std::vector<NSScreen*>& screens = NSScreen::screens();
  if (screens.empty()) {
    *result = RECT{0, 0, 1600, 1200};
    return;
  }
  // The centre in 64 bits: the sum of two edges may pass the int range.
  const double cx = source ? double((int64_t(source->left) + source->right) / 2) : 0;
  const double cy = source ? double((int64_t(source->top) + source->bottom) / 2) : 0;
  for (size_t i = 0; i < screens.size(); ++i) {
    const NSRect s = screens[i]->frame();
    const bool inside =
        cx >= s.origin.x && cx < s.origin.x + s.size.width && cy >= s.origin.y && cy < s.origin.y + s.size.height;
    if (i > 0 && !inside) continue;
    *result = boundsRect(workArea ? screens[i]->visibleFrame() : s);
  }
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
      return 16;
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      NSScreen* main = NSScreen::mainScreen();
      if (!main) return 1024;
      const NSRect f = main->frame();
      return wapiToInt(index == SM_CXSCREEN ? f.size.width : f.size.height);
    }
    default:
      return 0;
  }
}
