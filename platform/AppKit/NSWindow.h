#pragma once
#include <array>
// Windows: a content view, the first responder that takes keys, and a backing store (a
// CoreGraphics bitmap of the content size, 32-bit, alpha skipped) that the display pass draws
// into. A window registers with the application, which routes events to it by its number.
#include <string>

#include "NSView.h"

typedef NSUInteger NSWindowStyleMask;
enum : NSUInteger {
    NSBorderlessWindowMask = 0,
    NSTitledWindowMask = 1,
    NSClosableWindowMask = 2,
    NSMiniaturizableWindowMask = 4,
    NSResizableWindowMask = 8
};
typedef NSUInteger NSBackingStoreType;
enum : NSUInteger { NSBackingStoreBuffered = 2 };
enum : NSInteger { NSWindowBelow = -1, NSWindowOut = 0, NSWindowAbove = 1 };

class NSWindow : public NSResponder {
    NS_STANDIN_CLASS(NSWindow)
public:
    NSWindow() = default;
    ~NSWindow() override;
    NSWindow* initWithContentRect(NSRect contentRect, NSWindowStyleMask style, NSBackingStoreType backing,
                                  bool defer);
    // Wraps a Carbon window: the frame is its content's bounds, in its global coordinates.
    NSWindow* initWithWindowRef(void* windowRef);
    void* windowRef() const { return mWindowRef; }
    // Titled windows can; borderless ones cannot unless a subclass says so.
    virtual bool canBecomeKeyWindow() { return mStyle != NSBorderlessWindowMask; }
    void setFrameOrigin(NSPoint origin);

    void setCanHide(bool on) { mCanHide = on; }
    bool canHide() const { return mCanHide; }
    // A window that is released when closed gives up one reference in close().
    void setReleasedWhenClosed(bool on) { mReleasedWhenClosed = on; }
    void setOpaque(bool on) { mOpaque = on; }
    bool isOpaque() const { return mOpaque; }
    void setHasShadow(bool on) { mHasShadow = on; }
    bool hasShadow() const { return mHasShadow; }

    // Child windows move with their parent and stay above it; the parent retains them.
    void addChildWindow(NSWindow* child, NSInteger ordered);
    void removeChildWindow(NSWindow* child);
    const std::vector<NSWindow*>& childWindows() const { return mChildren; }
    NSWindow* parentWindow() const { return mParent; }
    void orderFront(NSObject* sender);
    void orderOut(NSObject* sender);
    bool isVisible() const { return mVisible; }
    // How often the window was ordered front (the stand-in's record of stacking).
    int orderFrontCount() const { return mOrderFronts; }
    // Rises each time the window is ordered front: the stacking order.
    long orderStamp() const { return mOrderStamp; }
    void display();

    NSView* contentView() const { return mContentView; }
    // Retains the view and sizes it to the window; the old content view is released.
    void setContentView(NSView* view);
    NSRect frame() const { return mFrame; }
    // Limits for a person resizing the window; setFrame does not apply them.
    virtual NSSize minSize() const { return mMinSize; }
    virtual NSSize maxSize() const { return mMaxSize; }
    void setMinSize(NSSize size) { mMinSize = size; }
    void setMaxSize(NSSize size) { mMaxSize = size; }
    // Moves and sizes the window; the content view follows the size.
    virtual void setFrame(NSRect frame, bool display);
    // Centres the window on the main screen.
    void center();
    NSWindowStyleMask styleMask() const { return mStyle; }
    // Autoreleased.
    NSString* title() const;
    void setTitle(NSString* title);
    NSInteger level() const { return mLevel; }
    void setLevel(NSInteger level) { mLevel = level; }
    void makeKeyAndOrderFront(NSObject* sender);
    // Takes the window off the screen into the dock (the stand-in only records it).
    void miniaturize(NSObject* sender);
    bool isMiniaturized() const { return mMiniaturized; }
    NSInteger windowNumber() const { return mNumber; }
    // The main screen: the stand-in has one.
    class NSScreen* screen() const;

    NSResponder* firstResponder() const { return mFirstResponder; }
    // False when the responder does not accept; null makes the window itself first responder.
    bool makeFirstResponder(NSResponder* responder);
    void makeKeyWindow();
    bool isKeyWindow() const;
    // Told after the window became or stopped being the key window (the old key window resigns
    // first).
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}
    // The close box: the window closes when windowShouldClose: (asked of the window itself, as
    // its own delegate) agrees.
    void performClose(NSObject* sender);
    virtual bool windowShouldClose(NSObject*) { return true; }
    // Told after every move of the window (setFrame, setFrameOrigin, center), asked of the window
    // itself as its own delegate. The argument is the window itself rather than a notification
    // about it, which, autoreleased, would keep a window closed meanwhile alive.
    virtual void windowDidMove(NSObject*) {}
    void setAcceptsMouseMovedEvents(bool on) { mAcceptsMouseMoved = on; }
    // Not retained; the stand-in only keeps it.
    void setDelegate(NSObject* delegate) { mDelegate = delegate; }
    NSObject* delegate() const { return mDelegate; }
    bool acceptsMouseMovedEvents() const { return mAcceptsMouseMoved; }

    // The button Return clicks (not retained: the button holds its cell).
    void setDefaultButtonCell(class NSButtonCell* cell) { mDefaultButtonCell = cell; }
    class NSButtonCell* defaultButtonCell() const { return mDefaultButtonCell; }

    // The window's one field editor, made on first use when create is set.
    class NSTextView* fieldEditor(bool create, NSObject* forObject);
    // Draws the views that need display into the backing store.
    void displayIfNeeded();
    // Whether some shown view of the window still needs display.
    bool viewsNeedDisplay() const;
    // Puts the backing store on the screen (the stand-in counts it).
    void flushWindow() { ++mFlushes; }
    int flushCount() const { return mFlushes; }
    // Takes the window off the screen and out of the application's list.
    void close();
    CGContextRef backingStore() const { return mStore; }
    // Recorded looks: alpha, represented file, edited mark, background (red, green, blue, alpha),
    // whether the mouse passes through and whether the window stays out of the windows menu.
    void setAlphaValue(double alpha) { mExtras.alpha = alpha; }
    double alphaValue() const { return mExtras.alpha; }
    void setRepresentedFilename(NSString* name) { mExtras.represented = name ? name->UTF8String() : ""; }
    const std::string& representedFilename() const { return mExtras.represented; }
    void setDocumentEdited(bool on) { mExtras.edited = on; }
    bool isDocumentEdited() const { return mExtras.edited; }
    void setBackgroundRGBA(double r, double g, double b, double a) { mExtras.background = {r, g, b, a}; }
    const std::array<double, 4>& backgroundRGBA() const { return mExtras.background; }
    void setIgnoresMouseEvents(bool on) { mExtras.ignoresMouse = on; }
    bool ignoresMouseEvents() const { return mExtras.ignoresMouse; }
    void setExcludedFromWindowsMenu(bool on) { mExtras.excludedFromMenu = on; }
    bool isExcludedFromWindowsMenu() const { return mExtras.excludedFromMenu; }

private:
    // Tells windowDidMove: when the origin is no longer the one given.
    void didMoveFrom(NSPoint origin);
    friend class NSView;
    struct Extras {
        double alpha = 1;
        std::string represented;
        bool edited = false, ignoresMouse = false, excludedFromMenu = false;
        std::array<double, 4> background{0.93, 0.93, 0.93, 1};
    } mExtras;
    void viewLeaving(NSView* view);

    NSRect mFrame{};
    NSSize mMinSize{0, 0}, mMaxSize{3.4e38, 3.4e38};
    int mFlushes = 0;
    NSWindowStyleMask mStyle = NSTitledWindowMask;
    void* mWindowRef = nullptr;
    bool mCanHide = true, mReleasedWhenClosed = false, mOpaque = true, mHasShadow = true, mVisible = false;
    bool mClosed = false, mMiniaturized = false;
    std::string mTitle;
    NSInteger mLevel = 0;
    int mOrderFronts = 0;
    long mOrderStamp = 0;
    std::vector<NSWindow*> mChildren; // retained
    NSWindow* mParent = nullptr;      // not retained
    NSView* mContentView = nullptr; // retained
    NSResponder* mFirstResponder = nullptr;
    bool mAcceptsMouseMoved = false;
    NSObject* mDelegate = nullptr;
    NSInteger mNumber = 0;
    class NSTextView* mFieldEditor = nullptr; // retained
    class NSButtonCell* mDefaultButtonCell = nullptr;
    CGContextRef mStore = nullptr;
    void* mStoreBytes = nullptr;
};

// Panels are windows that float and hide with their application.
class NSPanel : public NSWindow {
    NS_STANDIN_CLASS(NSPanel)
public:
    NSPanel() = default;
};
