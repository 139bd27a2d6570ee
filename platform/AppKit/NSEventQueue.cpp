// The application's event queue and its modal runs, on the run loop's virtual clock: while the
// queue is empty, time jumps from timer to timer. Main thread only.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include <CoreFoundation/CFPresenter.h>

#include "AppKitStandin.h"
#include "NSApplication.h"
#include "NSWindow.h"

struct NSModalSessionRecord {
    NSWindow* window = nullptr; // retained
    NSModalResponse code = NSModalResponseContinue;
    CFAbsoluteTime lastActivity = 0;
};

namespace {

double gModalIdleLimit = 60;
int gTerminateRequests = 0;

// How far one session step lets the clock run when nothing is queued.
const double kSessionStep = 0.01;

NSString* keptName(const char* text)
{
    NSString* s = NSString::stringWithUTF8String(text);
    s->retain(); // lives for the process
    return s;
}

bool matches(NSEvent* e, NSEventMask mask) { return (NSEventMaskFromType(e->type()) & mask) != 0; }

// The clock runs on to the next timer of the mode or to the date, whichever comes first; the
// timers due then fire.
void runClockToward(CFAbsoluteTime until, NSRunLoopMode mode)
{
    CFStringRef m = mode ? mode->copyCFString() : nullptr;
    const CFAbsoluteTime now = CFAbsoluteTimeGetCurrent();
    const CFAbsoluteTime next = std::min(until, cf_standin::nextTimerFireDate(m ? m : kCFRunLoopDefaultMode));
    cf_standin::advanceClock(next > now ? next - now : 0, m ? m : kCFRunLoopDefaultMode);
    if (m) CFRelease(m);
}

bool stillOpen(NSWindow* w)
{
    const std::vector<NSWindow*>& all = NSApp->windows();
    return std::find(all.begin(), all.end(), w) != all.end();
}

// Events go to the modal window and the windows it holds; a click elsewhere is dropped.
bool belongsToRun(NSEvent* e, NSWindow* modal)
{
    for (NSWindow* w = e->window(); w; w = w->parentWindow())
        if (w == modal) return true;
    return false;
}

} // namespace

NSString* NSModalPanelRunLoopModeName()
{
    static NSString* name = keptName("NSModalPanelRunLoopMode");
    return name;
}

void NSApplication::postEvent(NSEvent* event, bool atStart)
{
    if (!event) return;
    event->retain();
    if (atStart) mEvents.push_front(event);
    else mEvents.push_back(event);
}

NSEvent* NSApplication::nextEventMatchingMask(NSEventMask mask, CFAbsoluteTime untilDate, NSRunLoopMode mode,
                                              bool dequeue)
{
    for (;;) {
        for (auto it = mEvents.begin(); it != mEvents.end(); ++it) {
            NSEvent* e = *it;
            if (!matches(e, mask)) continue;
            if (!dequeue) return e;
            mEvents.erase(it);
            e->autorelease(); // the queue's reference
            return e;
        }
        if (!(CFAbsoluteTimeGetCurrent() < untilDate)) return nullptr;
        // A timer may post; a date past every timer is reached in one step.
        runClockToward(untilDate, mode);
    }
}

void NSApplication::discardEventsMatchingMask(NSEventMask mask, NSEvent* beforeEvent)
{
    std::vector<NSEvent*> dropped;
    for (auto it = mEvents.begin(); it != mEvents.end() && *it != beforeEvent;) {
        if (matches(*it, mask)) {
            dropped.push_back(*it);
            it = mEvents.erase(it);
        } else {
            ++it;
        }
    }
    for (NSEvent* e : dropped) e->release();
}

NSModalSession NSApplication::beginModalSessionForWindow(NSWindow* window)
{
    if (!window) return nullptr;
    auto* s = new NSModalSessionRecord;
    s->window = static_cast<NSWindow*>(window->retain());
    s->lastActivity = CFAbsoluteTimeGetCurrent();
    mModalRuns.push_back(s);
    window->makeKeyAndOrderFront(nullptr);
    NSString* title = window->title();
    cf_standin::presenter()->ModalRunStarted(
        cf_standin::ModalRunShown{long(window->windowNumber()), title ? title->UTF8String() : ""});
    return s;
}

namespace {

// One step of a modal run: the events queued now, or the clock run on until an event comes, a
// timer fires or waitUntil passes. The idle limit ends a run that nobody would end.
NSModalResponse modalStep(NSModalSession s, CFAbsoluteTime waitUntil)
{
    NSApplication* app = NSApp;
    if (s->code != NSModalResponseContinue) return s->code;
    if (!stillOpen(s->window)) return s->code = NSModalResponseAbort;
    const CFAbsoluteTime deadline = s->lastActivity + gModalIdleLimit;
    NSEvent* e = app->nextEventMatchingMask(NSAnyEventMask, std::min(waitUntil, deadline), NSModalPanelRunLoopMode, true);
    for (int handled = 0; e && handled < 100; ++handled) {
        s->lastActivity = CFAbsoluteTimeGetCurrent();
        if (belongsToRun(e, s->window)) ns_standin::dispatch(e);
        if (s->code != NSModalResponseContinue) break;
        e = app->nextEventMatchingMask(NSAnyEventMask, CFAbsoluteTimeGetCurrent(), NSModalPanelRunLoopMode, true);
    }
    if (s->code == NSModalResponseContinue && !stillOpen(s->window)) s->code = NSModalResponseAbort;
    if (s->code == NSModalResponseContinue && !(CFAbsoluteTimeGetCurrent() < deadline)) {
        std::fprintf(stderr, "modal run of window %ld aborted: no event for %g seconds\n",
                     long(s->window->windowNumber()), gModalIdleLimit);
        s->code = NSModalResponseAbort;
    }
    ns_standin::drainLoopPool();
    ns_standin::displayWindows();
    ns_standin::drainLoopPool();
    return s->code;
}

} // namespace

NSModalResponse NSApplication::runModalSession(NSModalSession session)
{
    if (!session) return NSModalResponseAbort;
    return modalStep(session, CFAbsoluteTimeGetCurrent() + kSessionStep);
}

NSModalResponse NSApplication::runModalForWindow(NSWindow* window)
{
    NSModalSession s = beginModalSessionForWindow(window);
    if (!s) return NSModalResponseAbort;
    NSModalResponse code;
    while ((code = modalStep(s, INFINITY)) == NSModalResponseContinue) {
    }
    endModalSession(s);
    return code;
}

void NSApplication::endModalSession(NSModalSession session)
{
    auto it = std::find(mModalRuns.begin(), mModalRuns.end(), session);
    if (it == mModalRuns.end()) return;
    mModalRuns.erase(it);
    session->window->release();
    delete session;
}

void NSApplication::stopModalWithCode(NSModalResponse code)
{
    if (!mModalRuns.empty()) mModalRuns.back()->code = code;
}

NSWindow* NSApplication::modalWindow() const { return mModalRuns.empty() ? nullptr : mModalRuns.back()->window; }

void NSApplication::terminate(NSObject*) { ++gTerminateRequests; }

size_t ns_standin::queuedEventCount() { return NSApp->mEvents.size(); }
double ns_standin::modalIdleLimit() { return gModalIdleLimit; }
void ns_standin::setModalIdleLimit(double seconds) { gModalIdleLimit = seconds > 0 ? seconds : 60; }
int ns_standin::terminateRequests() { return gTerminateRequests; }
