#pragma once
// The editor in a Carbon window: a user pane of the editor's size whose draw events let the
// surface draw, window handlers that turn mouse, wheel and key events into the surface's
// calls, a redraw timer at the surface's frame rate, popup menus and a text entry.
#include <Carbon/Carbon.h>

#include "kit/plugin/IGraphicsStructs.h"

class IControl;
class IGraphicsMac;
class IParam;
class IPopupMenu;

class IGraphicsCarbon
{
public:
    IGraphicsCarbon(IGraphicsMac* graphics, WindowRef window, ControlRef parent, short x, short y);
    // Removes the text entry, the timer and the handlers.
    ~IGraphicsCarbon();
    IGraphicsCarbon(const IGraphicsCarbon&) = delete;
    IGraphicsCarbon& operator=(const IGraphicsCarbon&) = delete;

    // The pane; null when it could not be made.
    ControlRef GetView() const { return mView; }
    WindowRef GetWindow() const { return mWindow; }
    bool GetIsComposited() const { return mIsComposited; }
    // The context of the draw event being handled, else null.
    CGContextRef GetCGContext() const { return mCGC; }
    ControlRef GetTextEntryView() const { return mTextEntryView; }

    void Resize(int w, int h);
    // The model as a native menu (and its submenus), entered in the menu list; null when empty.
    MenuRef CreateMenu(IPopupMenu* menu);
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r);
    // Composited windows only; nothing without a control or while an entry is open.
    void CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param);
    // Ends an open entry, handing its text on when commit is set.
    void EndUserInput(bool commit);

private:
    static OSStatus MainEventHandler(EventHandlerCallRef next, EventRef event, void* self);
    static OSStatus TextEntryHandler(EventHandlerCallRef next, EventRef event, void* self);
    static void TimerHandler(EventLoopTimerRef timer, void* self);
    OSStatus OnMouse(EventHandlerCallRef next, EventRef event);
    OSStatus OnRawKey(EventRef event);
    OSStatus OnDraw(EventRef event);
    bool InTextEntry(int x, int y) const;

    IGraphicsMac* mGraphicsMac;
    bool mIsComposited = false;
    WindowRef mWindow;
    ControlRef mView = nullptr;
    EventLoopTimerRef mTimer = nullptr;
    EventHandlerRef mControlHandler = nullptr;
    EventHandlerRef mWindowHandler = nullptr;
    EventHandlerRef mTextEntryHandler = nullptr;
    CGContextRef mCGC = nullptr;
    ControlRef mTextEntryView = nullptr;
    IControl* mEdControl = nullptr;
    IParam* mEdParam = nullptr;
    int mPrevX = 0, mPrevY = 0;
    short mLeftOffset, mTopOffset;
};

// The bounds of a draw event's shape, truncated; the whole w by h without one.
IRECT GetRegionRect(EventRef event, int w, int h);
// Keeps the window's content top left and gives it w by h.
void ResizeWindow(WindowRef window, int w, int h);
