#pragma once
// Views: a frame in the superview's coordinates (y upward), subviews it retains, the window it
// sits in and the rectangle that needs display. The window's display pass calls drawRect with
// the view's graphics context current.
#include <string>
#include <vector>

#include "NSAccessibility.h"
#include "NSGeometry.h"
#include "NSResponder.h"

class NSWindow;

class NSView : public NSResponder, public NSAccessibility {
    NS_STANDIN_CLASS(NSView)
public:
    NSView() = default;
    ~NSView() override;
    virtual NSView* initWithFrame(NSRect frame);

    NSRect frame() const { return mFrame; }
    NSRect bounds() const { return NSMakeRect(0, 0, mFrame.size.width, mFrame.size.height); }
    virtual void setFrame(NSRect frame);
    virtual void setFrameSize(NSSize size);
    virtual void setFrameOrigin(NSPoint origin);

    NSView* superview() const { return mSuperview; }
    const std::vector<NSView*>& subviews() const { return mSubviews; }
    NSWindow* window() const { return mWindow; }
    // Retains the view, taking it from its old superview first.
    void addSubview(NSView* view);
    // The same, placed just above (NSWindowAbove) or below (NSWindowBelow) the sibling; without
    // a sibling, above all or below all.
    void addSubview(NSView* view, NSInteger place, NSView* relativeTo);
    // Releases the view's superview's reference: the view may go with it.
    virtual void removeFromSuperview();
    // The stand-in marks nothing for display when a view leaves: the same as removeFromSuperview.
    void removeFromSuperviewWithoutNeedingDisplay() { removeFromSuperview(); }
    // Told after a subview joins and before one leaves.
    virtual void didAddSubview(NSView*) {}
    virtual void willRemoveSubview(NSView*) {}
    virtual void viewDidMoveToWindow() {}
    // Told after the view joined a superview or left one.
    virtual void viewDidMoveToSuperview() {}

    virtual void setNeedsDisplay(bool flag);
    virtual void setNeedsDisplayInRect(NSRect rect);
    bool needsDisplay() const { return !NSIsEmptyRect(mDirty); }
    NSRect dirtyRect() const { return mDirty; }

    // From the coordinates of view (the window's when null) into this view's.
    NSPoint convertPoint(NSPoint point, NSView* view) const;
    // From this view's coordinates into the window's.
    NSPoint convertPointToBase(NSPoint point) const;
    // The deepest view under the point, given in the superview's coordinates; null outside.
    virtual NSView* hitTest(NSPoint point);

    // Hidden views and their subviews are not drawn and take no clicks.
    void setHidden(bool hidden);
    bool isHidden() const { return mHidden; }
    bool isHiddenOrHasHiddenAncestor() const;
    virtual void viewDidHide() {}
    virtual void viewDidUnhide() {}
    // True for the view itself and every view below it.
    bool isDescendantOf(const NSView* view) const;
    // Plain views have no id; controls and some subclasses store one.
    virtual NSInteger tag() const { return -1; }
    virtual bool isFlipped() const { return false; }

    // Plain views stand aside for assistive software; their subviews are their children.
    bool accessibilityIsIgnored() override { return true; }
    NSObject* accessibilityHitTest(NSPoint point) override;
    NSArray* accessibilityAttributeValue(const char* attribute) override;

    // Drag destinations: a view takes drops of the types it registered; the stand-in's drop
    // offers them from the view under the point upward.
    void registerForDraggedTypes(const std::vector<std::string>& types) { mDraggedTypes = types; }
    const std::vector<std::string>& registeredDraggedTypes() const { return mDraggedTypes; }
    virtual NSUInteger draggingEntered(class NSDraggingInfo*) { return 0; }
    virtual NSUInteger draggingUpdated(class NSDraggingInfo*) { return 0; }
    virtual void draggingExited(class NSDraggingInfo*) {}
    virtual bool wantsPeriodicDraggingUpdates() { return true; }
    virtual bool performDragOperation(class NSDraggingInfo*) { return false; }
    // Drag sources. The drag runs at once and the presenter says where it ends
    // (cf_standin::Presenter::Drag): at a screen point the view there takes it as a drop; in a
    // folder the source writes promised files there. True when a destination took it.
    // Promised files of the types (a list of strings), from the rectangle in this view.
    bool dragPromisedFilesOfTypes(NSArray* types, NSRect fromRect, NSObject* source, bool slideBack, NSEvent* event);
    // What the pasteboard holds, with the image at the point of this view.
    bool dragImage(class NSImage* image, NSPoint at, NSSize offset, NSEvent* event, class NSPasteboard* pasteboard,
                   NSObject* source, bool slideBack);
    // A source of promised files writes them into the folder and answers their names
    // (autoreleased), or null.
    virtual NSArray* namesOfPromisedFilesDroppedAtDestination(class NSURL*) { return nullptr; }

    virtual void drawRect(NSRect) {}
    virtual bool isOpaque() { return false; }
    virtual bool acceptsFirstMouse(NSEvent*) { return false; }
    NSResponder* nextResponder() const override;

    // The window's display pass, one overridable recursive step: draws what needs display here
    // and below into the window's backing store, then clears it. The store's transform is the
    // window's on entry and on return.
    virtual void recursiveDisplayIfNeeded(CGContextRef store);
    // Makes the transform of the context map this view's coordinates (flipped or not) from
    // its superview's, or from the window's through every superview.
    void concatFromSuperview(CGContextRef c) const;
    void concatFromWindow(CGContextRef c) const;

    // Drawing outside the display pass: with the window's backing store and the view shown,
    // makes the store the current context, placed and clipped to the view; false otherwise.
    bool lockFocusIfCanDraw();
    void unlockFocus();

protected:
    NSObject* self() override { return this; }
    // For drawRect: the current port with its state saved and clipped to the bounds, or null
    // outside a display pass. The caller restores the state.
    CGContextRef beginDrawingInBounds() const;

private:
    friend class NSWindow;
    void setWindow(NSWindow* window);
    NSPoint toSuperview(NSPoint p) const;
    NSPoint fromSuperview(NSPoint p) const;
    NSPoint fromWindow(NSPoint p) const;

    NSRect mFrame{};
    NSRect mDirty{};
    NSView* mSuperview = nullptr; // not retained
    std::vector<NSView*> mSubviews;
    NSWindow* mWindow = nullptr; // not retained
    bool mHidden = false;
    std::vector<std::string> mDraggedTypes;
};

// The context the display pass draws into.
class NSGraphicsContext : public NSObject {
    NS_STANDIN_CLASS(NSGraphicsContext)
public:
    NSGraphicsContext() = default;
    // Null outside a display pass.
    static NSGraphicsContext* currentContext();
    CGContextRef graphicsPort() const { return mPort; }
    // Makes a context over the port current until the matching restore (a stack).
    static void saveAndSetCurrent(CGContextRef port);
    static void restoreCurrent();

private:
    friend class NSView;
    CGContextRef mPort = nullptr;
    NSGraphicsContext* mOuter = nullptr;
};
