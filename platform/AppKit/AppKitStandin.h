#pragma once
// Controls only the AppKit stand-in has, for tests and the stand-in host.
#include "NSApplication.h"

namespace ns_standin {

// A scroll event (autoreleased) at a window point.
NSEvent* scrollWheelEvent(NSWindow* window, NSPoint location, NSEventModifierFlags flags, double deltaY);
// One display pass over every window.
void displayWindows();
// Moves the virtual clock on, firing the timers that fall due, then drains the loop's
// autorelease pool and runs a display pass; answers how many timers fired.
int runFor(double seconds);
// Sends an event as the run loop would, then drains and runs a display pass.
void dispatch(NSEvent* event);
// drawRect calls made by display passes so far.
long drawCount();
// The main screen's backing scale factor.
void setBackingScaleFactor(double scale);
// The stand-in's one screen again.
inline void resetScreens() { setScreens({NSMakeRect(0, 0, 1920, 1080)}, {NSMakeRect(0, 0, 1920, 1058)}); }
// Events waiting in the application's queue.
size_t queuedEventCount();
// Seconds of clock time a modal run waits for an event before it aborts (60 unless set).
double modalIdleLimit();
void setModalIdleLimit(double seconds);
// How often the application was told to terminate.
int terminateRequests();


// Input at a point of a view (in the view's own coordinates), dispatched as the run loop would:
// a mouse event of the type, with the click count; a gesture (magnify: value = magnification,
// rotate: value = degrees, swipe: the deltas); a scroll with both deltas.
void mouseAtView(NSView* view, NSEventType type, NSPoint point, NSEventModifierFlags flags = 0,
                 NSInteger clickCount = 1);
void gestureAtView(NSView* view, NSEventType type, NSPoint point, double value, double deltaX = 0,
                   double deltaY = 0);
void scrollAtView(NSView* view, NSPoint point, double deltaX, double deltaY);
// A key event of the type to the window's first responder; the characters serve both ways.
void keyToWindow(NSWindow* window, NSEventType type, unsigned short keyCode, const char* characters,
                 NSEventModifierFlags flags = 0);


// A person's drop at a screen point: the dragging information goes to the view under the point,
// or the first above it that registered for a type of the pasteboard: entered, one update,
// then the drop when the view answered an operation (else the drag leaves). True when the
// view took the drop.
bool dropAt(class NSDraggingInfo* info, NSPoint screenPoint);

} // namespace ns_standin
