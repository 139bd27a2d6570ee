#include "NSRunLoop.h"
#include "NSString.h"

NS_STANDIN_CLASS_IMPL(NSTimer, NSObject)
NS_STANDIN_CLASS_IMPL(NSRunLoop, NSObject)

namespace {

// One delayed perform: a one-shot timer's target.
class DelayedPerform : public NSObject {
public:
    ~DelayedPerform() override
    {
        if (mTarget) mTarget->release();
        if (mArg) mArg->release();
    }
    static NSObject* Fire(NSObject* self, SEL, NSObject*)
    {
        auto* d = static_cast<DelayedPerform*>(self);
        if (d->mTarget) d->mTarget->performSelector(d->mSel, d->mArg);
        return nullptr;
    }
    NSObject* mTarget = nullptr; // retained
    NSObject* mArg = nullptr;    // retained
    SEL mSel = nullptr;
    Class getClass() const override;
};

Class DelayedPerform::getClass() const
{
    static ns_class record("NSStandinDelayedPerform", NSObject::class_(), nullptr);
    static const bool added = [] {
        record.addMethod(sel_registerName("fire:"), &DelayedPerform::Fire);
        return true;
    }();
    (void)added;
    return &record;
}

NSString* keptName(const char* text)
{
    NSString* s = NSString::stringWithUTF8String(text);
    s->retain(); // lives for the process
    return s;
}

} // namespace

NSString* NSDefaultRunLoopModeName()
{
    static NSString* name = keptName("kCFRunLoopDefaultMode");
    return name;
}

NSString* NSRunLoopCommonModesName()
{
    static NSString* name = keptName("kCFRunLoopCommonModes");
    return name;
}

NSTimer::~NSTimer()
{
    invalidate();
}

void NSTimer::Callout(CFRunLoopTimerRef, void* info)
{
    auto* self = static_cast<NSTimer*>(info);
    self->retain();
    self->fire();
    self->release();
}

NSTimer* NSTimer::timerWithTimeInterval(NSTimeInterval interval, NSObject* target, SEL selector, NSObject* userInfo,
                                        bool repeats)
{
    auto* t = new NSTimer;
    // As on the real system, a non-positive interval is taken as a tenth of a millisecond.
    t->mInterval = interval > 0 ? interval : 0.0001;
    t->mTarget = target ? target->retain() : nullptr;
    t->mUserInfo = userInfo ? userInfo->retain() : nullptr;
    t->mSelector = selector;
    t->mRepeats = repeats;
    // The CF timer does not own the NSTimer: the run loop keeps the NSTimer through addTimer.
    CFRunLoopTimerContext context{0, t, nullptr, nullptr, nullptr};
    t->mTimer = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + t->mInterval,
                                     repeats ? t->mInterval : 0, 0, 0, &NSTimer::Callout, &context);
    t->autorelease();
    return t;
}

NSTimer* NSTimer::scheduledTimerWithTimeInterval(NSTimeInterval interval, NSObject* target, SEL selector,
                                                 NSObject* userInfo, bool repeats)
{
    NSTimer* t = timerWithTimeInterval(interval, target, selector, userInfo, repeats);
    NSRunLoop::currentRunLoop()->addTimer(t, NSDefaultRunLoopMode);
    return t;
}

bool NSTimer::isValid() const { return mTimer && CFRunLoopTimerIsValid(mTimer); }

void NSTimer::fire()
{
    if (!isValid()) return;
    if (mTarget) mTarget->performSelector(mSelector, this);
    // A one-shot timer is done once it has fired.
    if (!mRepeats) invalidate();
}

void NSTimer::invalidate()
{
    if (!mTimer) return;
    CFRunLoopTimerRef cf = mTimer;
    mTimer = nullptr;
    const bool wasScheduled = mScheduledHold;
    CFRunLoopTimerInvalidate(cf);
    CFRelease(cf);
    NSObject* target = mTarget;
    NSObject* info = mUserInfo;
    mTarget = mUserInfo = nullptr;
    if (target) target->release();
    if (info) info->release();
    // The run loop's hold on the timer goes last: it may be the last reference.
    if (wasScheduled) {
        mScheduledHold = false;
        release();
    }
}

void NSObject::performSelectorAfterDelay(SEL sel, NSObject* arg, double delay)
{
    auto* d = new DelayedPerform;
    d->mTarget = retain();
    d->mArg = arg ? arg->retain() : nullptr;
    d->mSel = sel;
    NSTimer::scheduledTimerWithTimeInterval(delay, d, sel_registerName("fire:"), nullptr, false);
    d->release(); // the timer holds it until it fires
}

NSRunLoop* NSRunLoop::currentRunLoop()
{
    static NSRunLoop* loop = new NSRunLoop;
    return loop;
}

void NSRunLoop::addTimer(NSTimer* timer, NSRunLoopMode mode)
{
    if (!timer || !mode || !timer->isValid()) return;
    CFStringRef m = mode->copyCFString();
    CFRunLoopAddTimer(CFRunLoopGetCurrent(), timer->cfTimer(), m);
    CFRelease(m);
    timer->holdForLoop();
}

int NSRunLoop::runUntilDate(CFAbsoluteTime date)
{
    const CFAbsoluteTime now = CFAbsoluteTimeGetCurrent();
    return date > now ? cf_standin::advanceClock(date - now) : 0;
}
