#pragma once
// The run loop of the CoreFoundation stand-in: one loop on the main thread, whose timers run on
// a virtual clock. Nothing runs by itself: cf_standin::advanceClock moves the clock and fires
// what falls due, in the order of the fire dates. Main thread only.
#include "CFBase.h"
#include "CFString.h"

typedef double CFAbsoluteTime;
typedef double CFTimeInterval;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopTimer* CFRunLoopTimerRef;
typedef CFStringRef CFRunLoopMode;

#define kCFRunLoopDefaultMode CFSTR("kCFRunLoopDefaultMode")
#define kCFRunLoopCommonModes CFSTR("kCFRunLoopCommonModes")

typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void* info);
struct CFRunLoopTimerContext {
    CFIndex version;
    void* info;
    const void* (*retain)(const void* info);
    void (*release)(const void* info);
    CFStringRef (*copyDescription)(const void* info);
};

// The virtual clock, in seconds.
CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);

CFRunLoopRef CFRunLoopGetCurrent(void);
CFRunLoopRef CFRunLoopGetMain(void);

// A timer first due at fireDate, then every interval seconds (0: once). The context's info is
// retained through its retain callback and released when the timer goes.
CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate, CFTimeInterval interval,
                                       CFOptionFlags flags, CFIndex order, CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context);
// The loop keeps the timer (retained) until it is invalidated or removed from every mode.
void CFRunLoopAddTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFRunLoopMode mode);
void CFRunLoopRemoveTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFRunLoopMode mode);
void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer);
CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer);
CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer);

namespace cf_standin {

// Moves the virtual clock on by seconds, firing every timer of the mode that falls due on the
// way (timers in the common modes run in the default mode); answers how many fired.
int advanceClock(CFTimeInterval seconds, CFRunLoopMode mode = kCFRunLoopDefaultMode);
// When the next timer of the mode falls due; infinity when none is scheduled.
CFAbsoluteTime nextTimerFireDate(CFRunLoopMode mode = kCFRunLoopDefaultMode);
// Timers the loop holds that are still valid.
int scheduledTimerCount();

} // namespace cf_standin
