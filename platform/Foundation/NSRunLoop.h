#pragma once
// The run loop and timers of the Foundation stand-in, over the CoreFoundation run loop and its
// virtual clock. A timer retains its target until it is invalidated, and calls the target's
// method for its selector (performSelector) with itself as the argument.
#include <CoreFoundation/CoreFoundation.h>

#include "NSObject.h"

typedef double NSTimeInterval;

class NSString;
typedef NSString* NSRunLoopMode;
// The mode names, shared with the CoreFoundation loop.
NSString* NSDefaultRunLoopModeName();
NSString* NSRunLoopCommonModesName();
#define NSDefaultRunLoopMode (NSDefaultRunLoopModeName())
#define NSRunLoopCommonModes (NSRunLoopCommonModesName())

class NSTimer : public NSObject {
    NS_STANDIN_CLASS(NSTimer)
public:
    NSTimer() = default;
    ~NSTimer() override;
    // Autoreleased; the first firing is interval seconds from now. The scheduled form adds
    // the timer to the current run loop in the default mode.
    static NSTimer* timerWithTimeInterval(NSTimeInterval interval, NSObject* target, SEL selector,
                                          NSObject* userInfo, bool repeats);
    static NSTimer* scheduledTimerWithTimeInterval(NSTimeInterval interval, NSObject* target, SEL selector,
                                                   NSObject* userInfo, bool repeats);
    void invalidate();
    bool isValid() const;
    NSTimeInterval timeInterval() const { return mInterval; }
    NSObject* userInfo() const { return mUserInfo; }
    void fire();
    CFRunLoopTimerRef cfTimer() const { return mTimer; }
    // The run loop's reference, taken once when the timer is first added.
    void holdForLoop()
    {
        if (!mScheduledHold) retain();
        mScheduledHold = true;
    }

private:
    static void Callout(CFRunLoopTimerRef, void* info);
    CFRunLoopTimerRef mTimer = nullptr;
    NSObject* mTarget = nullptr;   // retained while valid
    NSObject* mUserInfo = nullptr; // retained while valid
    SEL mSelector = nullptr;
    NSTimeInterval mInterval = 0;
    bool mRepeats = false;
    bool mScheduledHold = false;
};

class NSRunLoop : public NSObject {
    NS_STANDIN_CLASS(NSRunLoop)
public:
    NSRunLoop() = default;
    static NSRunLoop* currentRunLoop();
    static NSRunLoop* mainRunLoop() { return currentRunLoop(); }
    void addTimer(NSTimer* timer, NSRunLoopMode mode);
    // Moves the virtual clock on to date (seconds on CFAbsoluteTimeGetCurrent's clock), firing
    // what falls due on the way in time order; answers how many fired.
    int runUntilDate(CFAbsoluteTime date);
    CFRunLoopRef getCFRunLoop() const { return CFRunLoopGetCurrent(); }
};
