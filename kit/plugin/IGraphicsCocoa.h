#pragma once
// The editor's Cocoa view: a timer at the surface's frame rate asks the surface what is dirty
// and invalidates it; drawRect lets the surface draw; mouse, wheel and key events become the
// surface's calls. A view without its surface (after close) ignores events. Prompts open a
// native popup menu or a text field over the control.
#include <AppKit/AppKit.h>

class IControl;
class IGraphicsMac;
class IParam;
class IPopupMenu;
struct IText;

class IGraphicsCocoa_vQOR_au : public NSView {
    NS_STANDIN_CLASS(IGraphicsCocoa_vQOR_au)
public:
    IGraphicsCocoa_vQOR_au() = default;
    ~IGraphicsCocoa_vQOR_au() override;
    NSObject* init() override;
    IGraphicsCocoa_vQOR_au* initWithIGraphics(IGraphicsMac* graphics);

    bool isOpaque() override { return mGraphics != nullptr; }
    bool acceptsFirstResponder() override { return true; }
    bool acceptsFirstMouse(NSEvent*) override { return true; }
    // The children are the shown text controls with text (status lines, read-outs), in the
    // editor's order, each an element whose value is its text: what assistive software reads.
    NSArray* accessibilityAttributeValue(const char* attribute) override;
    void viewDidMoveToWindow() override;
    void drawRect(NSRect rect) override;
    void onTimer(NSTimer* timer);
    void getMouseXY(NSEvent* event, int* x, int* y);
    void mouseDown(NSEvent* e) override;
    void mouseUp(NSEvent* e) override;
    void mouseDragged(NSEvent* e) override;
    void rightMouseDown(NSEvent* e) override;
    void rightMouseUp(NSEvent* e) override;
    void rightMouseDragged(NSEvent* e) override;
    void mouseMoved(NSEvent* e) override;
    void keyDown(NSEvent* e) override;
    void scrollWheel(NSEvent* e) override;
    void killTimer();
    // Closes the surface's side too, then leaves the superview.
    void removeFromSuperview() override;
    // The model shown as a context menu below the rectangle (view coordinates); the menu or
    // submenu holding the choice, its chosen index set, or null when dismissed.
    IPopupMenu* createIPopupMenu(IPopupMenu* menu, NSRect rect);
    // A text field over the rectangle holding the text, selected whole; nothing without a
    // control or while a field is open.
    void createTextEntry(IControl* control, IParam* param, IText* text, const char* initial, NSRect rect);
    // The field's delegate: its text goes to the control, then the field closes.
    void controlTextDidEndEditing(NSNotification* note);
    // Escape in the field: the field takes back the text it opened with and ends as on Return,
    // so the control hears that the entry is over and finds its value as it was.
    void cancelOperation(NSObject* sender) override;
    // Closes an open field without taking its text.
    void endUserInput();
    NSTextField* TextField() const { return mTextFieldView; }

    IGraphicsMac* Graphics() const { return mGraphics; }
    NSTimer* Timer() const { return mTimer; }

    // The surface's key number for a key code and its one character, or -1 for keys the
    // surface does not know.
    static int KeyNumber(unsigned short keyCode, const char* character);

private:
    friend class IGraphicsMac;
    NSTimer* mTimer = nullptr; // kept by the run loop until killed
    NSTextField* mTextFieldView = nullptr; // retained while open
    IControl* mEdControl = nullptr;
    IParam* mEdParam = nullptr;
    int mPrevX = 0, mPrevY = 0;
    IGraphicsMac* mGraphics = nullptr;
};

// Checks typed text: only characters of the set (any without one), no longer than the maximum
// length, no larger than the maximum value (0: no limit).
class CocoaFormatter_vQOR_au : public NSFormatter {
    NS_STANDIN_CLASS(CocoaFormatter_vQOR_au)
public:
    CocoaFormatter_vQOR_au() = default;
    ~CocoaFormatter_vQOR_au() override;
    void setAcceptableCharacterSet(NSCharacterSet* set);
    void setMaximumLength(int len) { mMaxLength = len; }
    void setMaximumValue(int value) { mMaxValue = value; }
    bool isPartialStringValid(NSString* partial, NSString** newString, NSString** error) override;
    NSString* stringForObjectValue(NSObject* object) override;
    bool getObjectValue(NSObject** object, NSString* string, NSString** error) override;

private:
    NSCharacterSet* mFilterCharacterSet = nullptr; // retained
    int mMaxLength = 0;
    int mMaxValue = 0;
};

// A native menu built from the model, which it remembers; items send OnMenuSelection: to the
// receiver.
class IGraphicsNSMenu_vQOR_au : public NSMenu {
    NS_STANDIN_CLASS(IGraphicsNSMenu_vQOR_au)
public:
    IGraphicsNSMenu_vQOR_au() = default;
    IGraphicsNSMenu_vQOR_au* initWithIPopupMenuAndReciever(IPopupMenu* menu, NSView* receiver);
    IPopupMenu* AssociatedIPopupMenu() const { return mIPopupMenu; }

private:
    IPopupMenu* mIPopupMenu = nullptr;
};

// Keeps the menu item that was chosen.
class IGraphicsMenuRcvr_vQOR_au : public NSView {
    NS_STANDIN_CLASS(IGraphicsMenuRcvr_vQOR_au)
public:
    IGraphicsMenuRcvr_vQOR_au() = default;
    ~IGraphicsMenuRcvr_vQOR_au() override;
    void OnMenuSelection(NSMenuItem* item);
    NSMenuItem* MenuItem() const { return mNSMenuItem; }

private:
    NSMenuItem* mNSMenuItem = nullptr; // retained
};

// A borderless window that can still take the keyboard: the editor's window over a Carbon host.
class CustomCocoaWindow_vQOR_au : public NSWindow {
    NS_STANDIN_CLASS(CustomCocoaWindow_vQOR_au)
public:
    CustomCocoaWindow_vQOR_au() = default;
    bool canBecomeKeyWindow() override { return true; }
};
