#include "NSEvent.h"

#include <CoreGraphics/CoreGraphics.h>

#include "NSApplication.h"
#include "NSWindow.h"

NS_STANDIN_CLASS_IMPL(NSEvent, NSObject)

namespace {
// The mouse lives in the CoreGraphics stand-in, in display coordinates (y down), so that
// warping the cursor moves it too.
double displayHeight() { return double(CGDisplayPixelsHigh(CGMainDisplayID())); }

// Moves the mouse to the event's place; answers the movement as the events report it (y down).
NSPoint noteMouse(NSInteger windowNumber, NSPoint location)
{
    NSWindow* w = NSApp->windowWithWindowNumber(windowNumber);
    NSPoint origin = w ? w->frame().origin : NSMakePoint(0, 0);
    const CGPoint was = cg_standin::cursorPosition();
    const CGPoint now = CGPointMake(origin.x + location.x, displayHeight() - (origin.y + location.y));
    cg_standin::setCursorPosition(now);
    return NSMakePoint(now.x - was.x, now.y - was.y);
}

// The buttons an event leaves held: bit 0 left, 1 right, 2 other.
void noteButtons(NSEventType type)
{
    uint32_t bits = cg_standin::mouseButtons();
    switch (type) {
    case NSLeftMouseDown: bits |= 1; break;
    case NSLeftMouseUp: bits &= ~1u; break;
    case NSRightMouseDown: bits |= 2; break;
    case NSRightMouseUp: bits &= ~2u; break;
    case NSOtherMouseDown: bits |= 4; break;
    case NSOtherMouseUp: bits &= ~4u; break;
    default: break;
    }
    cg_standin::setMouseButtons(bits);
}

const NSEventModifierFlags kHeldMask =
    NSAlphaShiftKeyMask | NSShiftKeyMask | NSControlKeyMask | NSAlternateKeyMask | NSCommandKeyMask;
} // namespace

NSEvent* NSEvent::make(NSEventType type, NSPoint location, NSEventModifierFlags flags, NSInteger windowNumber)
{
    auto* e = new NSEvent;
    e->mType = type;
    e->mLocation = location;
    e->mFlags = flags;
    e->mWindowNumber = windowNumber;
    e->autorelease();
    return e;
}

NSEvent::~NSEvent()
{
    if (mCharacters) mCharacters->release();
    if (mCharactersIgnoringModifiers) mCharactersIgnoringModifiers->release();
}

NSEvent* NSEvent::mouseEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags, double timestamp,
                                     NSInteger windowNumber, NSGraphicsContext*, NSInteger eventNumber,
                                     NSInteger clickCount, float pressure)
{
    NSEvent* e = make(type, location, flags, windowNumber);
    e->mClickCount = clickCount;
    e->mTimestamp = timestamp;
    e->mEventNumber = eventNumber;
    e->mPressure = pressure;
    const NSPoint moved = noteMouse(windowNumber, location);
    e->mDeltaX = moved.x;
    e->mDeltaY = moved.y;
    noteButtons(type);
    cg_standin::setModifierFlags(flags & kHeldMask);
    return e;
}

NSEvent* NSEvent::keyEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags, double timestamp,
                                   NSInteger windowNumber, NSGraphicsContext*, NSString* characters,
                                   NSString* charactersIgnoringModifiers, bool, unsigned short keyCode)
{
    NSEvent* e = make(type, location, flags, windowNumber);
    e->mTimestamp = timestamp;
    cg_standin::setModifierFlags(flags & kHeldMask);
    e->mKeyCode = keyCode;
    e->mCharacters = characters ? static_cast<NSString*>(characters->retain()) : nullptr;
    e->mCharactersIgnoringModifiers =
        charactersIgnoringModifiers ? static_cast<NSString*>(charactersIgnoringModifiers->retain()) : nullptr;
    return e;
}

NSEvent* NSEvent::otherEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags, double,
                                     NSInteger windowNumber, NSGraphicsContext*, short, NSInteger, NSInteger)
{
    return make(type, location, flags, windowNumber);
}

NSEvent* makeScrollEvent(NSPoint location, NSEventModifierFlags flags, NSInteger windowNumber, double deltaX,
                         double deltaY)
{
    NSEvent* e = NSEvent::make(NSScrollWheel, location, flags, windowNumber);
    e->mDeltaX = deltaX;
    e->mDeltaY = deltaY;
    noteMouse(windowNumber, location);
    return e;
}

NSEvent* makeGestureEvent(NSEventType type, NSPoint location, NSEventModifierFlags flags, NSInteger windowNumber,
                          double value, double deltaX, double deltaY)
{
    NSEvent* e = NSEvent::make(type, location, flags, windowNumber);
    e->mMagnification = value;
    e->mDeltaX = deltaX;
    e->mDeltaY = deltaY;
    return e;
}

NSPoint NSEvent::mouseLocation()
{
    const CGPoint p = cg_standin::cursorPosition();
    return NSMakePoint(p.x, displayHeight() - p.y);
}

NSWindow* NSEvent::window() const { return NSApp->windowWithWindowNumber(mWindowNumber); }
