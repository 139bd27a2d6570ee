#include "NSEvent.h"

#include "NSApplication.h"
#include "NSWindow.h"

NS_STANDIN_CLASS_IMPL(NSEvent, NSObject)

namespace {
NSPoint gMouse{0, 0};

void noteMouse(NSInteger windowNumber, NSPoint location)
{
    NSWindow* w = NSApp->windowWithWindowNumber(windowNumber);
    NSPoint origin = w ? w->frame().origin : NSMakePoint(0, 0);
    gMouse = NSMakePoint(origin.x + location.x, origin.y + location.y);
}
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

NSEvent* NSEvent::mouseEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags, double,
                                     NSInteger windowNumber, NSGraphicsContext*, NSInteger, NSInteger clickCount, float)
{
    NSEvent* e = make(type, location, flags, windowNumber);
    e->mClickCount = clickCount;
    noteMouse(windowNumber, location);
    return e;
}

NSEvent* NSEvent::keyEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags, double,
                                   NSInteger windowNumber, NSGraphicsContext*, NSString* characters,
                                   NSString* charactersIgnoringModifiers, bool, unsigned short keyCode)
{
    NSEvent* e = make(type, location, flags, windowNumber);
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

NSPoint NSEvent::mouseLocation() { return gMouse; }

NSWindow* NSEvent::window() const { return NSApp->windowWithWindowNumber(mWindowNumber); }
