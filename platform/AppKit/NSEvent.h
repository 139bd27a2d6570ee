#pragma once
// Mouse, key and scroll events. The stand-in makes scroll events through
// ns_standin::scrollWheelEvent, as the real system offers no maker for them.
#include <string>

#include "NSGeometry.h"
#include "NSResponder.h"

typedef NSUInteger NSEventType;
enum : NSUInteger {
    NSLeftMouseDown = 1,
    NSLeftMouseUp = 2,
    NSRightMouseDown = 3,
    NSRightMouseUp = 4,
    NSMouseMoved = 5,
    NSLeftMouseDragged = 6,
    NSRightMouseDragged = 7,
    NSKeyDown = 10,
    NSKeyUp = 11,
    NSFlagsChanged = 12,
    NSApplicationDefined = 15,
    NSEventTypeRotate = 18,
    NSScrollWheel = 22,
    NSOtherMouseDown = 25,
    NSOtherMouseUp = 26,
    NSOtherMouseDragged = 27,
    NSEventTypeMagnify = 30,
    NSEventTypeSwipe = 31,
};
typedef NSUInteger NSEventModifierFlags;
enum : NSUInteger {
    NSAlphaShiftKeyMask = 1u << 16,
    NSShiftKeyMask = 1u << 17,
    NSControlKeyMask = 1u << 18,
    NSAlternateKeyMask = 1u << 19,
    NSCommandKeyMask = 1u << 20,
};

class NSWindow;
class NSGraphicsContext;

class NSEvent : public NSObject {
    NS_STANDIN_CLASS(NSEvent)
public:
    NSEvent() = default;
    // Autoreleased. The location is in the window's coordinates.
    static NSEvent* mouseEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags,
                                       double timestamp, NSInteger windowNumber, NSGraphicsContext* context,
                                       NSInteger eventNumber, NSInteger clickCount, float pressure);
    static NSEvent* keyEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags, double timestamp,
                                     NSInteger windowNumber, NSGraphicsContext* context, NSString* characters,
                                     NSString* charactersIgnoringModifiers, bool isARepeat, unsigned short keyCode);
    static NSEvent* otherEventWithType(NSEventType type, NSPoint location, NSEventModifierFlags flags,
                                       double timestamp, NSInteger windowNumber, NSGraphicsContext* context,
                                       short subtype, NSInteger data1, NSInteger data2);
    // Where the mouse was last seen by an event, in screen coordinates.
    static NSPoint mouseLocation();

    NSEventType type() const { return mType; }
    NSPoint locationInWindow() const { return mLocation; }
    NSEventModifierFlags modifierFlags() const { return mFlags; }
    NSInteger clickCount() const { return mClickCount; }
    NSInteger windowNumber() const { return mWindowNumber; }
    NSWindow* window() const;
    unsigned short keyCode() const { return mKeyCode; }
    NSString* characters() const { return mCharacters; }
    NSString* charactersIgnoringModifiers() const { return mCharactersIgnoringModifiers; }
    double deltaX() const { return mDeltaX; }
    double deltaY() const { return mDeltaY; }
    double timestamp() const { return mTimestamp; }
    NSInteger eventNumber() const { return mEventNumber; }
    float pressure() const { return mPressure; }
    // Gestures: the change of scale (magnify) and the angle in degrees (rotate).
    double magnification() const { return mMagnification; }
    float rotation() const { return float(mMagnification); }
    ~NSEvent() override;

private:
    static NSEvent* make(NSEventType type, NSPoint location, NSEventModifierFlags flags, NSInteger windowNumber);
    friend NSEvent* makeScrollEvent(NSPoint, NSEventModifierFlags, NSInteger, double, double);
    friend NSEvent* makeGestureEvent(NSEventType, NSPoint, NSEventModifierFlags, NSInteger, double, double, double);
    NSEventType mType = 0;
    NSPoint mLocation{};
    NSEventModifierFlags mFlags = 0;
    NSInteger mClickCount = 0;
    NSInteger mWindowNumber = 0;
    unsigned short mKeyCode = 0;
    NSString* mCharacters = nullptr;                  // retained
    NSString* mCharactersIgnoringModifiers = nullptr; // retained
    double mDeltaX = 0, mDeltaY = 0;
    double mTimestamp = 0;
    NSInteger mEventNumber = 0;
    float mPressure = 0;
    double mMagnification = 0; // the rotation too
};
NSEvent* makeScrollEvent(NSPoint location, NSEventModifierFlags flags, NSInteger windowNumber, double deltaX,
                         double deltaY);
// A magnify (value = magnification), rotate (value = degrees) or swipe (deltas) event.
NSEvent* makeGestureEvent(NSEventType type, NSPoint location, NSEventModifierFlags flags, NSInteger windowNumber,
                          double value, double deltaX, double deltaY);
