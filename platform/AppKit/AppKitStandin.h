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

} // namespace ns_standin
