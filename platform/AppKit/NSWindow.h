#pragma once
// Windows: a content view, the first responder that takes keys, and a backing store (a
// CoreGraphics bitmap of the content size, 32-bit, alpha skipped) that the display pass draws
// into. A window registers with the application, which routes events to it by its number.
#include "NSView.h"

typedef NSUInteger NSWindowStyleMask;
enum : NSUInteger { NSBorderlessWindowMask = 0, NSTitledWindowMask = 1 };
typedef NSUInteger NSBackingStoreType;
enum : NSUInteger { NSBackingStoreBuffered = 2 };

class NSWindow : public NSResponder {
    NS_STANDIN_CLASS(NSWindow)
public:
    NSWindow() = default;
    ~NSWindow() override;
    NSWindow* initWithContentRect(NSRect contentRect, NSWindowStyleMask style, NSBackingStoreType backing,
                                  bool defer);

    NSView* contentView() const { return mContentView; }
    // Retains the view; the old content view is released.
    void setContentView(NSView* view);
    NSRect frame() const { return mFrame; }
    NSInteger windowNumber() const { return mNumber; }
    // The main screen: the stand-in has one.
    class NSScreen* screen() const;

    NSResponder* firstResponder() const { return mFirstResponder; }
    // False when the responder does not accept; null makes the window itself first responder.
    bool makeFirstResponder(NSResponder* responder);
    void makeKeyWindow();
    bool isKeyWindow() const;
    void setAcceptsMouseMovedEvents(bool on) { mAcceptsMouseMoved = on; }
    bool acceptsMouseMovedEvents() const { return mAcceptsMouseMoved; }

    // The window's one field editor, made on first use when create is set.
    class NSTextView* fieldEditor(bool create, NSObject* forObject);
    // Draws the views that need display into the backing store.
    void displayIfNeeded();
    // Takes the window off the screen and out of the application's list.
    void close();
    CGContextRef backingStore() const { return mStore; }

private:
    friend class NSView;
    void viewLeaving(NSView* view);

    NSRect mFrame{};
    NSView* mContentView = nullptr; // retained
    NSResponder* mFirstResponder = nullptr;
    bool mAcceptsMouseMoved = false;
    NSInteger mNumber = 0;
    class NSTextView* mFieldEditor = nullptr; // retained
    CGContextRef mStore = nullptr;
    void* mStoreBytes = nullptr;
};
