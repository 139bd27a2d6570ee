#include "NSView.h"
#include "NSWindow.h"
#include "AppKitStandin.h"

#include <algorithm>
#include <cmath>
#include <string>

NS_STANDIN_CLASS_IMPL(NSView, NSResponder)
NS_STANDIN_CLASS_IMPL(NSGraphicsContext, NSObject)
NS_STANDIN_CLASS_IMPL(NSResponder, NSObject)
NS_STANDIN_CLASS_IMPL(NSAccessibilityElement, NSObject)

NSAccessibilityElement::~NSAccessibilityElement()
{
    if (mValue) mValue->release();
}

void NSAccessibilityElement::setAccessibilityValue(NSString* value)
{
    if (value) value->retain();
    if (mValue) mValue->release();
    mValue = value;
}

namespace {
NSGraphicsContext* gCurrentContext = nullptr;
long gDrawCount = 0;
} // namespace

long ns_standin::drawCount() { return gDrawCount; }

NSRect NSUnionRect(NSRect a, NSRect b)
{
    if (NSIsEmptyRect(a)) return b;
    if (NSIsEmptyRect(b)) return a;
    double x0 = std::min(a.origin.x, b.origin.x), y0 = std::min(a.origin.y, b.origin.y);
    double x1 = std::max(a.origin.x + a.size.width, b.origin.x + b.size.width);
    double y1 = std::max(a.origin.y + a.size.height, b.origin.y + b.size.height);
    return NSMakeRect(x0, y0, x1 - x0, y1 - y0);
}

NSRect NSIntersectionRect(NSRect a, NSRect b)
{
    double x0 = std::max(a.origin.x, b.origin.x), y0 = std::max(a.origin.y, b.origin.y);
    double x1 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    double y1 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    if (!(x1 > x0) || !(y1 > y0)) return NSMakeRect(0, 0, 0, 0);
    return NSMakeRect(x0, y0, x1 - x0, y1 - y0);
}

bool NSPointInRect(NSPoint p, NSRect r)
{
    return p.x >= r.origin.x && p.x < r.origin.x + r.size.width && p.y >= r.origin.y &&
           p.y < r.origin.y + r.size.height;
}

NSGraphicsContext* NSGraphicsContext::currentContext() { return gCurrentContext; }

NSView::~NSView()
{
    for (NSView* v : mSubviews) {
        v->mSuperview = nullptr;
        v->setWindow(nullptr);
        v->release();
    }
    mSubviews.clear();
}

NSView* NSView::initWithFrame(NSRect frame)
{
    mFrame = frame;
    return this;
}

void NSView::setFrame(NSRect frame)
{
    setFrameOrigin(frame.origin);
    setFrameSize(frame.size);
}

void NSView::setFrameSize(NSSize size) { mFrame.size = size; }
void NSView::setFrameOrigin(NSPoint origin) { mFrame.origin = origin; }

void NSView::setWindow(NSWindow* window)
{
    if (mWindow == window) return;
    if (mWindow) mWindow->viewLeaving(this);
    mWindow = window;
    // A view that arrives in a window is drawn whole by the next display pass.
    if (window) setNeedsDisplay(true);
    for (NSView* v : mSubviews) v->setWindow(window);
    viewDidMoveToWindow();
}

void NSView::addSubview(NSView* view)
{
    if (!view || view == this) return;
    view->retain();
    if (view->mSuperview) view->removeFromSuperview();
    view->mSuperview = this;
    mSubviews.push_back(view);
    view->setWindow(mWindow);
    didAddSubview(view);
    view->viewDidMoveToSuperview();
}

void NSView::addSubview(NSView* view, NSInteger place, NSView* relativeTo)
{
    addSubview(view);
    if (!view || view->mSuperview != this) return;
    mSubviews.pop_back();
    auto at = std::find(mSubviews.begin(), mSubviews.end(), relativeTo);
    if (at == mSubviews.end()) at = place == NSWindowBelow ? mSubviews.begin() : mSubviews.end();
    else if (place != NSWindowBelow) ++at;
    mSubviews.insert(at, view);
}

void NSView::removeFromSuperview()
{
    NSView* parent = mSuperview;
    if (!parent) return;
    parent->willRemoveSubview(this);
    auto it = std::find(parent->mSubviews.begin(), parent->mSubviews.end(), this);
    if (it != parent->mSubviews.end()) parent->mSubviews.erase(it);
    mSuperview = nullptr;
    setWindow(nullptr);
    viewDidMoveToSuperview();
    release();
}

void NSView::setHidden(bool hidden)
{
    if (hidden == mHidden) return;
    mHidden = hidden;
    if (hidden) viewDidHide();
    else viewDidUnhide();
}

bool NSView::isHiddenOrHasHiddenAncestor() const
{
    for (const NSView* v = this; v; v = v->mSuperview)
        if (v->mHidden) return true;
    return false;
}

bool NSView::isDescendantOf(const NSView* view) const
{
    if (!view) return false;
    for (const NSView* v = this; v; v = v->mSuperview)
        if (v == view) return true;
    return false;
}

NSArray* NSAccessibilityUnignoredChildren(NSArray* children)
{
    std::vector<NSObject*> out;
    for (NSUInteger i = 0; children && i < children->count(); ++i) {
        NSObject* o = children->objectAtIndex(i);
        auto* a = dynamic_cast<NSAccessibility*>(o);
        if (!a || !a->accessibilityIsIgnored()) {
            out.push_back(o);
            continue;
        }
        NSArray* inner = NSAccessibilityUnignoredChildren(a->accessibilityAttributeValue(NSAccessibilityChildrenAttribute));
        for (NSUInteger j = 0; inner && j < inner->count(); ++j) out.push_back(inner->objectAtIndex(j));
    }
    return NSArray::arrayWithVector(out);
}

NSObject* NSView::accessibilityHitTest(NSPoint point)
{
    // The point is in the window; the deepest unignored view under it answers.
    NSPoint inSuper = mSuperview ? mSuperview->convertPoint(point, nullptr) : point;
    for (NSView* v = hitTest(inSuper); v; v = v->mSuperview) {
        if (!v->accessibilityIsIgnored()) return v;
        if (v == this) break;
    }
    return this;
}

NSArray* NSView::accessibilityAttributeValue(const char* attribute)
{
    const std::string name = attribute ? attribute : "";
    const bool visible = name == NSAccessibilityVisibleChildrenAttribute;
    if (!visible && name != NSAccessibilityChildrenAttribute) return nullptr;
    std::vector<NSObject*> children;
    for (NSView* v : mSubviews)
        if (!visible || !v->mHidden) children.push_back(v);
    return NSAccessibilityUnignoredChildren(NSArray::arrayWithVector(children));
}

NSResponder* NSView::nextResponder() const
{
    if (NSResponder* set = NSResponder::nextResponder()) return set;
    if (mSuperview) return mSuperview;
    if (mWindow && mWindow->contentView() == this) return mWindow;
    return nullptr;
}

void NSView::setNeedsDisplay(bool flag) { mDirty = flag ? bounds() : NSMakeRect(0, 0, 0, 0); }

void NSView::setNeedsDisplayInRect(NSRect rect) { mDirty = NSIntersectionRect(NSUnionRect(mDirty, rect), bounds()); }

// A flipped view counts y downward from its top; its frame stays in the superview's terms.
NSPoint NSView::toSuperview(NSPoint p) const
{
    const bool same = isFlipped() == (mSuperview && mSuperview->isFlipped());
    const double y = same ? mFrame.origin.y + p.y : mFrame.origin.y + mFrame.size.height - p.y;
    return NSMakePoint(mFrame.origin.x + p.x, y);
}

NSPoint NSView::fromSuperview(NSPoint p) const
{
    const bool same = isFlipped() == (mSuperview && mSuperview->isFlipped());
    const double y = same ? p.y - mFrame.origin.y : mFrame.origin.y + mFrame.size.height - p.y;
    return NSMakePoint(p.x - mFrame.origin.x, y);
}

NSPoint NSView::fromWindow(NSPoint p) const
{
    if (mSuperview) p = mSuperview->fromWindow(p);
    return fromSuperview(p);
}

NSPoint NSView::convertPoint(NSPoint point, NSView* view) const
{
    return fromWindow(view ? view->convertPointToBase(point) : point);
}

NSPoint NSView::convertPointToBase(NSPoint point) const
{
    for (const NSView* v = this; v; v = v->mSuperview) point = v->toSuperview(point);
    return point;
}

NSView* NSView::hitTest(NSPoint point)
{
    if (mHidden || !NSPointInRect(point, mFrame)) return nullptr;
    const NSPoint local = fromSuperview(point);
    // Later subviews lie on top.
    for (auto it = mSubviews.rbegin(); it != mSubviews.rend(); ++it)
        if (NSView* hit = (*it)->hitTest(local)) return hit;
    return this;
}

void NSView::concatFromSuperview(CGContextRef c) const
{
    const bool same = isFlipped() == (mSuperview && mSuperview->isFlipped());
    if (same) {
        CGContextTranslateCTM(c, mFrame.origin.x, mFrame.origin.y);
    } else {
        CGContextTranslateCTM(c, mFrame.origin.x, mFrame.origin.y + mFrame.size.height);
        CGContextScaleCTM(c, 1, -1);
    }
}

void NSView::concatFromWindow(CGContextRef c) const
{
    if (mSuperview) mSuperview->concatFromWindow(c);
    concatFromSuperview(c);
}

void NSGraphicsContext::saveAndSetCurrent(CGContextRef port)
{
    auto* context = new NSGraphicsContext;
    context->mPort = port;
    context->mOuter = gCurrentContext;
    gCurrentContext = context;
}

void NSGraphicsContext::restoreCurrent()
{
    NSGraphicsContext* context = gCurrentContext;
    if (!context) return;
    gCurrentContext = context->mOuter;
    context->release();
}

bool NSView::lockFocusIfCanDraw()
{
    CGContextRef store = mWindow ? mWindow->backingStore() : nullptr;
    if (!store || isHiddenOrHasHiddenAncestor()) return false;
    CGContextSaveGState(store);
    // Inside a display pass the store is already placed for the view being drawn: the view's own
    // placement replaces it, counted from the store's base.
    CGContextConcatCTM(store, CGAffineTransformInvert(CGContextGetCTM(store)));
    concatFromWindow(store);
    CGContextClipToRect(store, bounds());
    NSGraphicsContext::saveAndSetCurrent(store);
    return true;
}

CGContextRef NSView::beginDrawingInBounds() const
{
    NSGraphicsContext* current = gCurrentContext;
    CGContextRef c = current ? current->mPort : nullptr;
    if (!c) return nullptr;
    CGContextSaveGState(c);
    CGContextClipToRect(c, bounds());
    return c;
}

void NSView::unlockFocus()
{
    NSGraphicsContext* current = gCurrentContext;
    if (!current) return;
    CGContextRef store = current->mPort;
    NSGraphicsContext::restoreCurrent();
    CGContextRestoreGState(store);
}

// A rectangle of this view's coordinates in a subview's.
static NSRect rectInSubview(const NSView* sub, NSRect r, bool superFlipped)
{
    const NSRect f = sub->frame();
    const bool same = sub->isFlipped() == superFlipped;
    const double y = same ? r.origin.y - f.origin.y : f.origin.y + f.size.height - (r.origin.y + r.size.height);
    return NSMakeRect(r.origin.x - f.origin.x, y, r.size.width, r.size.height);
}

void NSView::recursiveDisplayIfNeeded(CGContextRef store)
{
    if (mHidden) return;
    retain(); // drawing may close the view
    NSRect drawn = NSMakeRect(0, 0, 0, 0);
    if (needsDisplay()) {
        NSRect dirty = mDirty;
        drawn = dirty;
        mDirty = NSMakeRect(0, 0, 0, 0);
        CGContextSaveGState(store);
        concatFromWindow(store);
        CGContextClipToRect(store, dirty);
        NSGraphicsContext::saveAndSetCurrent(store);
        ++gDrawCount;
        drawRect(dirty);
        NSGraphicsContext::restoreCurrent();
        CGContextRestoreGState(store);
    }
    std::vector<NSView*> children = mSubviews;
    // What this view drew over, its subviews draw again.
    if (!NSIsEmptyRect(drawn))
        for (NSView* v : children) {
            const NSRect over = NSIntersectionRect(drawn, v->mFrame);
            if (!NSIsEmptyRect(over)) v->setNeedsDisplayInRect(rectInSubview(v, over, isFlipped()));
        }
    for (NSView* v : children) v->retain();
    for (NSView* v : children) {
        if (v->mSuperview == this && !v->mHidden) v->recursiveDisplayIfNeeded(store);
        v->release();
    }
    release();
}
