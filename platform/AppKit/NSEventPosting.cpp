// Test input at view points: the events a person's clicks, keys and gestures would make.
#include "AppKitStandin.h"
#include "NSView.h"
#include "NSWindow.h"

namespace {

NSInteger numberOf(NSView* view)
{
    return view && view->window() ? view->window()->windowNumber() : 0;
}

NSPoint inWindow(NSView* view, NSPoint point)
{
    return view ? view->convertPointToBase(point) : point;
}

} // namespace

void ns_standin::mouseAtView(NSView* view, NSEventType type, NSPoint point, NSEventModifierFlags flags,
                             NSInteger clickCount)
{
    dispatch(NSEvent::mouseEventWithType(type, inWindow(view, point), flags, 0, numberOf(view), nullptr, 0,
                                         clickCount, 1));
}

void ns_standin::gestureAtView(NSView* view, NSEventType type, NSPoint point, double value, double deltaX,
                               double deltaY)
{
    dispatch(makeGestureEvent(type, inWindow(view, point), 0, numberOf(view), value, deltaX, deltaY));
}

void ns_standin::scrollAtView(NSView* view, NSPoint point, double deltaX, double deltaY)
{
    dispatch(makeScrollEvent(inWindow(view, point), 0, numberOf(view), deltaX, deltaY));
}

void ns_standin::keyToWindow(NSWindow* window, NSEventType type, unsigned short keyCode, const char* characters,
                             NSEventModifierFlags flags)
{
    NSString* chars = NSString::stringWithUTF8String(characters ? characters : "");
    dispatch(NSEvent::keyEventWithType(type, NSMakePoint(0, 0), flags, 0, window ? window->windowNumber() : 0,
                                       nullptr, chars, chars, false, keyCode));
}
