#include "CFRunLoop.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

struct __CFRunLoopTimer : CFRuntimeObject {
    __CFRunLoopTimer() : CFRuntimeObject(kCFStandInRunLoopTimerTypeID) {}
    ~__CFRunLoopTimer() override
    {
        if (context.release && context.info) context.release(context.info);
    }
    CFAbsoluteTime fireDate = 0;
    CFTimeInterval interval = 0;
    CFIndex order = 0;
    CFRunLoopTimerCallBack callout = nullptr;
    CFRunLoopTimerContext context{};
    bool valid = true;
    std::set<std::string> modes;
    unsigned long serial = 0; // ties between equal fire dates go in the order of adding
};

struct __CFRunLoop {
    CFAbsoluteTime now = 0;
    std::vector<__CFRunLoopTimer*> timers; // retained
    unsigned long nextSerial = 0;
};

namespace {

__CFRunLoop& mainLoop()
{
    static __CFRunLoop loop;
    return loop;
}

const std::string kCommon = "kCFRunLoopCommonModes";
const std::string kDefault = "kCFRunLoopDefaultMode";

bool runsIn(const __CFRunLoopTimer* t, const std::string& mode)
{
    if (t->modes.count(mode)) return true;
    // The common modes are the default one and the modes of modal runs and tracking.
    return (mode == kDefault || mode == "NSModalPanelRunLoopMode" || mode == "NSEventTrackingRunLoopMode") &&
           t->modes.count(kCommon);
}

void drop(__CFRunLoop& loop, __CFRunLoopTimer* t)
{
    auto it = std::find(loop.timers.begin(), loop.timers.end(), t);
    if (it == loop.timers.end()) return;
    loop.timers.erase(it);
    CFRelease(t);
}

} // namespace

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void) { return mainLoop().now; }
CFRunLoopRef CFRunLoopGetCurrent(void) { return &mainLoop(); }
CFRunLoopRef CFRunLoopGetMain(void) { return &mainLoop(); }

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate, CFTimeInterval interval, CFOptionFlags,
                                       CFIndex order, CFRunLoopTimerCallBack callout, CFRunLoopTimerContext* context)
{
    if (!callout || !std::isfinite(fireDate) || !std::isfinite(interval)) return nullptr;
    auto* t = new __CFRunLoopTimer;
    t->fireDate = fireDate;
    t->interval = interval > 0 ? interval : 0;
    t->order = order;
    t->callout = callout;
    if (context) {
        t->context = *context;
        if (t->context.retain && t->context.info) t->context.info = const_cast<void*>(t->context.retain(t->context.info));
    }
    return t;
}

void CFRunLoopAddTimer(CFRunLoopRef loop, CFRunLoopTimerRef t, CFRunLoopMode mode)
{
    if (!loop || !t || !mode || !t->valid) return;
    t->modes.insert(mode->utf8);
    if (std::find(loop->timers.begin(), loop->timers.end(), t) != loop->timers.end()) return;
    CFRetain(t);
    t->serial = loop->nextSerial++;
    loop->timers.push_back(t);
}

void CFRunLoopRemoveTimer(CFRunLoopRef loop, CFRunLoopTimerRef t, CFRunLoopMode mode)
{
    if (!loop || !t || !mode) return;
    t->modes.erase(mode->utf8);
    if (t->modes.empty()) drop(*loop, t);
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef t)
{
    if (!t || !t->valid) return;
    t->valid = false;
    // The loop's reference may be the last one.
    drop(mainLoop(), t);
}

Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef t) { return t && t->valid; }
CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef t) { return t ? t->fireDate : 0; }
CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef t) { return t ? t->interval : 0; }

int cf_standin::advanceClock(CFTimeInterval seconds, CFRunLoopMode mode)
{
    __CFRunLoop& loop = mainLoop();
    const std::string m = mode ? mode->utf8 : kDefault;
    const CFAbsoluteTime until = loop.now + (seconds > 0 && std::isfinite(seconds) ? seconds : 0);
    int fired = 0;
    for (;;) {
        __CFRunLoopTimer* next = nullptr;
        for (__CFRunLoopTimer* t : loop.timers) {
            // A nanosecond of slack: sums of intervals in floating point land a hair late.
            if (!t->valid || !runsIn(t, m) || t->fireDate > until + 1e-9) continue;
            if (!next || t->fireDate < next->fireDate ||
                (t->fireDate == next->fireDate &&
                 (t->order < next->order || (t->order == next->order && t->serial < next->serial))))
                next = t;
        }
        if (!next) break;
        if (next->fireDate > loop.now) loop.now = next->fireDate;
        CFRetain(next); // the callout may invalidate it
        if (next->interval > 0) {
            // A repeating timer that fell behind skips the dates it missed, as a busy loop does.
            next->fireDate += next->interval;
            if (next->fireDate <= loop.now)
                next->fireDate += next->interval * std::ceil((loop.now - next->fireDate) / next->interval + 1e-9);
        }
        next->callout(next, next->context.info);
        ++fired;
        if (next->interval == 0) CFRunLoopTimerInvalidate(next);
        CFRelease(next);
    }
    loop.now = until;
    return fired;
}

CFAbsoluteTime cf_standin::nextTimerFireDate(CFRunLoopMode mode)
{
    const std::string m = mode ? mode->utf8 : kDefault;
    CFAbsoluteTime next = INFINITY;
    for (__CFRunLoopTimer* t : mainLoop().timers)
        if (t->valid && runsIn(t, m) && t->fireDate < next) next = t->fireDate;
    return next;
}

int cf_standin::scheduledTimerCount()
{
    int n = 0;
    for (__CFRunLoopTimer* t : mainLoop().timers) n += t->valid;
    return n;
}
