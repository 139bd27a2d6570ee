#include "NSWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <Carbon/Carbon.h>

#include "NSApplication.h"
#include "NSTextField.h"

NS_STANDIN_CLASS_IMPL(NSWindow, NSResponder)
NS_STANDIN_CLASS_IMPL(NSPanel, NSWindow)

namespace {
NSObject* OrderFrontMethod(NSObject* self, SEL, NSObject* sender)
{
    static_cast<NSWindow*>(self)->orderFront(sender);
    return nullptr;
}

// orderFront: by selector, for delayed performs.
[[maybe_unused]] const bool kMethodsAdded = [] {
    NSWindow::class_()->addMethod(sel_registerName("orderFront:"), &OrderFrontMethod);
    return true;
}();
} // namespace

NSWindow::~NSWindow()
{
    mReleasedWhenClosed = false; // going anyway
    close();
    for (NSWindow* child : mChildren) {
        child->mParent = nullptr;
        child->release();
    }
    if (mContentView) {
        NSView* v = mContentView;
        mContentView = nullptr;
        v->setWindow(nullptr);
        v->release();
    }
    if (mFieldEditor) mFieldEditor->release();
    CGContextRelease(mStore);
    std::free(mStoreBytes);
}

NSWindow* NSWindow::initWithWindowRef(void* windowRef)
{
    Rect r{};
    if (GetWindowBounds(static_cast<WindowRef>(windowRef), kWindowContentRgn, &r) != noErr) return nullptr;
    initWithContentRect(NSMakeRect(r.left, r.top, r.right - r.left, r.bottom - r.top), NSTitledWindowMask,
                        NSBackingStoreBuffered, false);
    mWindowRef = windowRef;
    mVisible = true;
    return this;
}

NSWindow* NSWindow::initWithContentRect(NSRect rect, NSWindowStyleMask style, NSBackingStoreType, bool)
{
    mFrame = rect;
    mStyle = style;
    const long w = std::lround(std::max(0.0, rect.size.width)), h = std::lround(std::max(0.0, rect.size.height));
    if (w > 0 && h > 0 && w <= 16384 && h <= 16384) {
        mStoreBytes = std::calloc(size_t(w) * size_t(h), 4);
        CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
        mStore = CGBitmapContextCreate(mStoreBytes, size_t(w), size_t(h), 8, size_t(w) * 4, rgb,
                                       kCGImageAlphaNoneSkipFirst);
        CGColorSpaceRelease(rgb);
    }
    NSApplication* app = NSApp;
    mNumber = app->mNextWindowNumber++;
    app->mWindows.push_back(this);
    auto* content = new NSView;
    content->initWithFrame(NSMakeRect(0, 0, rect.size.width, rect.size.height));
    setContentView(content);
    content->release();
    return this;
}

void NSWindow::setContentView(NSView* view)
{
    if (view == mContentView) return;
    if (view) {
        view->retain();
        if (view->superview()) view->removeFromSuperview();
    }
    NSView* old = mContentView;
    mContentView = view;
    // The content view fills the window.
    if (view) view->setFrame(NSMakeRect(0, 0, mFrame.size.width, mFrame.size.height));
    if (old) {
        old->setWindow(nullptr);
        old->release();
    }
    if (view) view->setWindow(this);
}

NSTextView* NSWindow::fieldEditor(bool create, NSObject*)
{
    if (!mFieldEditor && create) {
        mFieldEditor = static_cast<NSTextView*>(NSTextView::class_()->alloc());
        mFieldEditor->initWithFrame(NSMakeRect(0, 0, 0, 0));
    }
    return mFieldEditor;
}

NSScreen* NSWindow::screen() const { return NSScreen::mainScreen(); }

bool NSWindow::makeFirstResponder(NSResponder* responder)
{
    if (responder == mFirstResponder) return true;
    if (responder && !responder->acceptsFirstResponder()) return false;
    if (mFirstResponder && !mFirstResponder->resignFirstResponder()) return false;
    mFirstResponder = responder ? responder : this;
    if (responder) responder->becomeFirstResponder();
    return true;
}

void NSWindow::makeKeyWindow()
{
    NSApplication* app = NSApp;
    if (!canBecomeKeyWindow() || app->mKeyWindow == this) return;
    NSWindow* old = app->mKeyWindow;
    app->mKeyWindow = this;
    retain();
    if (old) {
        old->retain();
        old->resignKeyWindow();
        old->release();
    }
    if (app->mKeyWindow == this) becomeKeyWindow();
    release();
}

void NSWindow::performClose(NSObject* sender)
{
    retain();
    if (windowShouldClose(sender)) close();
    release();
}
bool NSWindow::isKeyWindow() const { return NSApp->mKeyWindow == this; }

void NSWindow::viewLeaving(NSView* view)
{
    // A responder that leaves the window stops taking its keys.
    if (mFirstResponder == view) mFirstResponder = this;
    NSApplication* app = NSApp;
    if (app->mMouseView == view) {
        app->mMouseView = nullptr;
        view->release();
    }
}

void NSWindow::displayIfNeeded()
{
    if (mStore && mContentView) mContentView->recursiveDisplayIfNeeded(mStore);
}

namespace {
bool anyNeedsDisplay(const NSView* v)
{
    if (!v || v->isHidden()) return false;
    if (v->needsDisplay()) return true;
    for (const NSView* s : v->subviews())
        if (anyNeedsDisplay(s)) return true;
    return false;
}
} // namespace

bool NSWindow::viewsNeedDisplay() const { return anyNeedsDisplay(mContentView); }

void NSWindow::addChildWindow(NSWindow* child, NSInteger)
{
    if (!child || child == this || child->mParent == this) return;
    if (child->mParent) child->mParent->removeChildWindow(child);
    child->retain();
    child->mParent = this;
    mChildren.push_back(child);
    child->mVisible = true;
}

void NSWindow::removeChildWindow(NSWindow* child)
{
    auto it = std::find(mChildren.begin(), mChildren.end(), child);
    if (it == mChildren.end()) return;
    mChildren.erase(it);
    child->mParent = nullptr;
    child->release();
}

void NSWindow::orderFront(NSObject*)
{
    static long stamps = 0;
    mVisible = true;
    ++mOrderFronts;
    mOrderStamp = ++stamps;
}

void NSWindow::orderOut(NSObject*) { mVisible = false; }

void NSWindow::makeKeyAndOrderFront(NSObject* sender)
{
    orderFront(sender);
    mMiniaturized = false;
    makeKeyWindow();
}

void NSWindow::miniaturize(NSObject*)
{
    mMiniaturized = true;
    mVisible = false;
}

void NSWindow::setFrame(NSRect frame, bool display)
{
    const NSPoint old = mFrame.origin;
    mFrame = frame;
    // The content view follows as a view resized by its superview: by size alone.
    if (mContentView) mContentView->setFrameSize(frame.size);
    if (display) this->display();
    didMoveFrom(old);
}

void NSWindow::setFrameOrigin(NSPoint origin)
{
    const NSPoint old = mFrame.origin;
    mFrame.origin = origin;
    didMoveFrom(old);
}

void NSWindow::center()
{
    NSScreen* main = NSScreen::mainScreen();
    if (!main) return;
    const NSRect screen = main->frame();
    setFrameOrigin(NSMakePoint(std::floor(screen.origin.x + (screen.size.width - mFrame.size.width) / 2),
                               std::floor(screen.origin.y + (screen.size.height - mFrame.size.height) / 2)));
}

void NSWindow::didMoveFrom(NSPoint origin)
{
    if (origin.x == mFrame.origin.x && origin.y == mFrame.origin.y) return;
    retain();
    windowDidMove(this);
    release();
}

NSString* NSWindow::title() const { return NSString::stringWithUTF8String(mTitle.c_str()); }

void NSWindow::setTitle(NSString* title) { mTitle = title ? title->UTF8String() : ""; }

void NSWindow::display()
{
    if (mContentView) mContentView->setNeedsDisplay(true);
    displayIfNeeded();
}

void NSWindow::close()
{
    if (mClosed) return;
    mClosed = true;
    mVisible = false;
    NSApplication* app = NSApp;
    auto it = std::find(app->mWindows.begin(), app->mWindows.end(), this);
    if (it != app->mWindows.end()) app->mWindows.erase(it);
    if (app->mKeyWindow == this) app->mKeyWindow = nullptr;
    if (mReleasedWhenClosed) {
        mReleasedWhenClosed = false;
        release();
    }
}
