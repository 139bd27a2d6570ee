// The paint path of the HWND view: the draw handler's WM_NCCALCSIZE, WM_NCPAINT and WM_PAINT,
// the one-context display of a content view's tree, BeginPaint, drawing contexts of views, the
// client rectangle and the mouse capture. Main thread only.
#include "kit/wapi/wapi-internal.h"

#include "kit/wapi/wapi-gdi.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

int32_t toInt(double v) {
  return wapiToInt(v);
}

RECT enclosingRect(NSRect r) {
  return RECT{toInt(std::floor(r.origin.x)), toInt(std::floor(r.origin.y)), toInt(std::ceil(r.origin.x + r.size.width)),
              toInt(std::ceil(r.origin.y + r.size.height))};
}

// A rectangle of view `from` in the coordinates of `to`, both in the same window.
NSRect convertRect(NSRect r, NSView* from, NSView* to) {
  const NSPoint a = to->convertPoint(NSMakePoint(r.origin.x, r.origin.y), from);
  const NSPoint b = to->convertPoint(NSMakePoint(r.origin.x + r.size.width, r.origin.y + r.size.height), from);
  return NSMakeRect(std::fmin(a.x, b.x), std::fmin(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y));
}

NSRect grown(NSRect r) {
  return NSMakeRect(r.origin.x - 1, r.origin.y - 1, r.size.width + 2, r.size.height + 2);
}

// The rectangles waiting to be drawn anywhere in the tree, in the coordinates of top.
void collectDirty(NSView* top, NSView* v, std::vector<NSRect>& out) {
  if (v->isHidden()) return;
  if (v->needsDisplay()) out.push_back(convertRect(v->dirtyRect(), v, top));
  for (NSView* s : v->subviews()) collectDirty(top, s, out);
}

// A platform view marked for display (a button given a new title) tells no layer view above
// it; mark those as having a dirty descendant, as the layer's own controls do, so that an
// unforced pass reaches it. Answers whether anything at or below v waits to be drawn.
bool markPlatformDirt(NSView* v) {
  if (v->isHidden()) return false;
  bool below = false;
  for (NSView* s : v->subviews()) below = markPlatformDirt(s) || below;
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(v);
  if (!layer) return below || v->needsDisplay();
  if (below) layer->wapiSetDirtyBits(layer->wapiDirtyBits() | 2);
  return below || layer->wapiDirtyBits() || v->needsDisplay();
}

NSObject* gCapture = nullptr;  // not retained; checked against the live set when read
bool gCapChangeNotify = false;

}  // namespace

void DrawWapiViewRectImpl(Wapi_vQOR_hwnd* view, NSRect rect, HDC hdc) {
  if (!view || view->wapiHasBeenDestroyed()) return;
  view->retain();  // a procedure may destroy the view while it paints
  const HWND self = wapiHandle(view);
  view->m_paintctx_hdc = hdc;
  // A GL view draws through its context: current and up to date for the paint.
  auto* gl = static_cast<NSOpenGLContext*>(view->m_glctx);
  void* outerGL = hdc ? hdc->glContext : nullptr;
  if (gl) {
    gl->retain();  // the procedure may drop it while it paints
    if (hdc) hdc->glContext = gl;
    gl->setView(view);
    gl->makeCurrentContext();
    gl->update();
  }
  view->m_paintctx_rect = rect;
  view->m_paintctx_used = false;
  RECT wr{};
  GetWindowRect(self, &wr);
  if (wr.top > wr.bottom) std::swap(wr.top, wr.bottom);
  NCCALCSIZE_PARAMS nc{};
  nc.rgrc[0] = wr;
  SendMessage(self, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&nc));
  SendMessage(self, WM_NCPAINT, 1, 0);
  rect.origin.x += double(nc.rgrc[0].left) - wr.left;
  rect.origin.y += double(nc.rgrc[0].top) - wr.top;
  view->m_paintctx_rect = rect;
  if (rect.size.width >= 1 && rect.size.height >= 1) {
    if (std::memcmp(&nc.rgrc[0], &wr, sizeof wr) != 0) {
      WAPI_PushClipRegion(hdc);
      RECT client{};
      GetClientRect(self, &client);
      WAPI_SetClipRegion(hdc, &client);
      SendMessage(self, WM_PAINT, reinterpret_cast<WPARAM>(hdc), 0);
      WAPI_PopClipRegion(hdc);
    } else {
      SendMessage(self, WM_PAINT, reinterpret_cast<WPARAM>(hdc), 0);
    }
  }
  if (gl && NSOpenGLContext::currentContext() == gl) NSOpenGLContext::clearCurrentContext();
  if (gl && hdc) hdc->glContext = outerGL;
  if (gl) gl->release();
  view->m_paintctx_hdc = nullptr;
  view->release();
}

void Wapi_vQOR_hwnd::drawRect(NSRect rect) {
  NSGraphicsContext* current = NSGraphicsContext::currentContext();
  CGContextRef port = current ? current->graphicsPort() : nullptr;
  if (!port) return;
  HDC hdc = WAPI_CreateGfxContext(port);
  if (!hdc) return;
  DrawWapiViewRectImpl(this, rect, hdc);
  WAPI_DeleteGfxContext(hdc);
  m_isdirty = 0;
}

bool Wapi_vQOR_hwnd::getWapiPaintInfo(PAINTSTRUCT* ps) {
  if (!m_paintctx_hdc || !ps) return false;
  m_paintctx_used = true;
  ps->hdc = m_paintctx_hdc;
  ps->fErase = 0;
  ps->rcPaint = enclosingRect(m_paintctx_rect);
  return true;
}

namespace {

struct TreePaint {
  Wapi_vQOR_hwnd* top;
  HDC hdc;
  CGContextRef store;
  std::vector<NSRect> rects;                       // in the top view's coordinates
  std::vector<std::pair<bool, NSView*>> platform;  // retained; flag: the parent was forced
};

// Paints one layer view and, below it, every layer view that needs it; the store's transform
// is the view's own on entry.
void renderTree(TreePaint& p, Wapi_vQOR_hwnd* view, bool force) {
  // A view the platform marked for display (a window's display, a view arriving) paints too.
  const bool forced = force || (view->wapiDirtyBits() & 1) || view->needsDisplay();
  const NSRect bounds = view->bounds();
  if (forced && !NSIsEmptyRect(bounds)) {
    NSRect area = NSMakeRect(0, 0, 0, 0);
    for (const NSRect& r : p.rects) area = NSUnionRect(area, convertRect(r, p.top, view));
    area = NSIntersectionRect(area, bounds);
    if (!NSIsEmptyRect(area)) DrawWapiViewRectImpl(view, area, p.hdc);
  }
  std::vector<NSView*> children = view->subviews();
  for (NSView* s : children) s->retain();
  bool askedBrush = false;
  LRESULT brush = 0;
  for (NSView* s : children) {
    if (s->isHidden() || s->superview() != view) continue;
    auto* layer = wapiAs<Wapi_vQOR_hwnd>(s);
    if (!forced && !(layer && layer->wapiDirtyBits()) && !s->needsDisplay()) continue;
    if (!layer) {
      s->retain();
      p.platform.emplace_back(forced, s);
      continue;
    }
    if (!layer->isOpaque()) {
      if (!askedBrush) {
        const HWND parent = wapiHandle(view);
        brush = SendMessage(parent, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(p.hdc), reinterpret_cast<LPARAM>(parent));
        askedBrush = true;
      }
      for (const NSRect& r : p.rects) {
        const NSRect under = NSIntersectionRect(grown(convertRect(r, p.top, view)), s->frame());
        if (NSIsEmptyRect(under)) continue;
        const RECT fill = enclosingRect(under);
        if (brush == 0 || brush == 1)
          WAPI_FillDialogBackground(p.hdc, &fill, 3);
        else
          WAPI_FillRect(p.hdc, &fill, reinterpret_cast<HGDIOBJ>(brush));
      }
    }
    CGContextSaveGState(p.store);
    CGContextClipToRect(p.store, s->frame());
    s->concatFromSuperview(p.store);
    renderTree(p, layer, forced);
    CGContextRestoreGState(p.store);
    layer->wapiSetDirtyBits(0);
    layer->setNeedsDisplay(false);
  }
  for (NSView* s : children) s->release();
}

}  // namespace

void Wapi_vQOR_hwnd::recursiveDisplayIfNeeded(CGContextRef store) {
  if (!wapiIsContentView(this) || !isOpaque() || isHidden()) {
    NSView::recursiveDisplayIfNeeded(store);
    return;
  }
  if (!markPlatformDirt(this)) return;
  retain();
  TreePaint p{this, nullptr, store, {}, {}};
  collectDirty(this, this, p.rects);
  // Dirty marks without a rectangle: the whole view.
  if (p.rects.empty()) p.rects.push_back(bounds());
  CGContextSaveGState(store);
  concatFromWindow(store);
  CGContextClipToRect(store, bounds());
  NSGraphicsContext::saveAndSetCurrent(store);
  p.hdc = WAPI_CreateGfxContext(store);
  if (p.hdc) renderTree(p, this, false);
  WAPI_DeleteGfxContext(p.hdc);
  NSGraphicsContext::restoreCurrent();
  CGContextRestoreGState(store);
  // The platform's views, over the drawn rectangles grown by one unit, or whole.
  for (auto& [whole, v] : p.platform) {
    if (whole) {
      v->setNeedsDisplay(true);
    } else {
      for (const NSRect& r : p.rects) {
        const NSRect over = NSIntersectionRect(convertRect(grown(r), this, v), v->bounds());
        if (!NSIsEmptyRect(over)) v->setNeedsDisplayInRect(over);
      }
    }
    if (v->window() == window()) v->recursiveDisplayIfNeeded(store);
    v->setNeedsDisplay(false);
    v->release();
  }
  setNeedsDisplay(false);
  m_isdirty = 0;
  release();
}

void Wapi_vQOR_hwnd::didAddSubview(NSView*) {
  m_isdirty |= 2;
  for (NSView* s = superview(); s; s = s->superview()) {
    auto* up = wapiAs<Wapi_vQOR_hwnd>(s);
    if (!up) continue;
    if (up->m_isdirty & 2) break;
    up->m_isdirty |= 2;
  }
}

void Wapi_vQOR_hwnd::willRemoveSubview(NSView*) {
  m_isdirty |= 3;
  setNeedsDisplay(true);
  for (NSView* s = superview(); s; s = s->superview()) {
    s->setNeedsDisplay(true);
    auto* up = wapiAs<Wapi_vQOR_hwnd>(s);
    if (!up) continue;
    if ((up->m_isdirty & 3) == 3) break;
    up->m_isdirty |= 3;
  }
}

BOOL GetClientRect(HWND hwnd, RECT* r) {
  if (!r) return 0;
  *r = RECT{};
  // A view inside a scroll view's clip view measures what shows: the scroll view.
  NSView* v = wapiAs<NSView>(wapiObject(WAPI_NavigateUpScrollClipViews(hwnd)));
  if (!v) return 0;
  const NSRect b = v->bounds();
  *r = RECT{toInt(b.origin.x), toInt(b.origin.y), toInt(b.origin.x + b.size.width + 0.5),
            toInt(b.origin.y + b.size.height + 0.5)};
  NCCALCSIZE_PARAMS nc{};
  nc.rgrc[0] = *r;
  SendMessage(hwnd, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&nc));
  r->right = r->left + (nc.rgrc[0].right - nc.rgrc[0].left);
  r->bottom = r->top + (nc.rgrc[0].bottom - nc.rgrc[0].top);
  return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  std::memset(ps, 0, sizeof *ps);
  auto* view = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd));
  if (!view || !view->getWapiPaintInfo(ps)) return nullptr;
  return ps->hdc;
}

BOOL EndPaint(HWND, PAINTSTRUCT*) {
  return 1;
}

void UpdateWindow(HWND hwnd) {
  auto* v = wapiAs<NSView>(wapiObject(hwnd));
  if (v && v->needsDisplay() && v->window()) v->window()->displayIfNeeded();
}

HDC GetDC(HWND hwnd) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  if (!v) return nullptr;
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(v);
  if (layer && layer->wapiPaintContext()) {
    HDC hdc = layer->wapiPaintContext();
    WAPI_PushClipRegion(hdc);
    return hdc;
  }
  if (!v->lockFocusIfCanDraw()) return nullptr;
  HDC hdc = WAPI_CreateGfxContext(NSGraphicsContext::currentContext()->graphicsPort());
  if (!hdc) {
    v->unlockFocus();
    return nullptr;
  }
  WAPI_PushClipRegion(hdc);
  return hdc;
}

HDC GetWindowDC(HWND hwnd) {
  return GetDC(hwnd);
}

void ReleaseDC(HWND hwnd, HDC hdc) {
  if (!hdc) return;
  WAPI_PopClipRegion(hdc);
  NSView* v = wapiViewOf(wapiObject(hwnd));
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(v);
  if (layer && layer->wapiPaintContext() == hdc) return;
  NSGraphicsContext* current = NSGraphicsContext::currentContext();
  if (v && current && current->graphicsPort() == WAPI_GetCtxGC(hdc)) v->unlockFocus();
  WAPI_DeleteGfxContext(hdc);
}

HWND SetCapture(HWND hwnd) {
  NSObject* prev = wapiObject(wapiHandle(gCapture));
  const bool prevNotify = gCapChangeNotify;
  NSObject* next = wapiObject(hwnd);
  gCapture = next;
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(next);
  gCapChangeNotify = layer && layer->wapiCapChangeNotify();
  if (prev && prev != next && prevNotify) SendMessage(wapiHandle(prev), WM_CAPTURECHANGED, 0, LPARAM(next));
  return prev ? wapiHandle(prev) : nullptr;
}

void ReleaseCapture() {
  NSObject* prev = wapiObject(wapiHandle(gCapture));
  gCapture = nullptr;
  if (prev && gCapChangeNotify) SendMessage(wapiHandle(prev), WM_CAPTURECHANGED, 0, 0);
}

HWND GetCapture() {
  NSObject* holder = wapiObject(wapiHandle(gCapture));
  return holder ? wapiHandle(holder) : nullptr;
}

void wapiReleaseCaptureOf(NSView* view) {
  // The holder is going: clear the record without telling it.
  if (view && gCapture == view) gCapture = nullptr;
}
