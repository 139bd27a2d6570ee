#include "NSThread.h"
#include "NSString.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

NS_STANDIN_CLASS_IMPL(NSThread, NSObject)
NS_STANDIN_CLASS_IMPL(NSProcessInfo, NSObject)
NS_STANDIN_CLASS_IMPL(NSException, NSObject)

const double NSFoundationVersionNumber = 1056.0;

namespace {

std::atomic<bool> gMultiThreaded{false};
thread_local bool tDetached = false;

// Thrown by NSThread::exit and caught where the thread began.
struct ThreadExit {};

struct Start {
    SEL selector;
    IMP method;         // looked up by the starting thread: the class records are not the thread's
    NSObject* target;   // retained
    NSObject* argument; // retained, or null
};

void* runDetached(void* arg)
{
    Start* s = static_cast<Start*>(arg);
    tDetached = true;
    {
        NSAutoreleasePool pool;
        try {
            if (s->method) s->method(s->target, s->selector, s->argument);
        } catch (const ThreadExit&) {
        }
    }
    s->target->release();
    if (s->argument) s->argument->release();
    delete s;
    return nullptr;
}

// An activity token: what was asked and why.
class Activity : public NSObject {
public:
    NSActivityOptions options = 0;
    std::string reason;
};

std::mutex& activityMutex()
{
    static auto* m = new std::mutex;
    return *m;
}

std::vector<Activity*>& activities()
{
    static auto* list = new std::vector<Activity*>; // retained
    return *list;
}

} // namespace

void NSThread::detachNewThreadSelector(SEL selector, NSObject* target, NSObject* argument)
{
    if (!target) return;
    auto* s = new Start{selector, target->getClass()->lookup(selector), target->retain(),
                        argument ? argument->retain() : nullptr};
    gMultiThreaded.store(true);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, runDetached, s) != 0) {
        target->release();
        if (argument) argument->release();
        delete s;
        return;
    }
    pthread_detach(thread);
}

bool NSThread::isMultiThreaded() { return gMultiThreaded.load(); }

bool NSThread::isMainThread() { return syscall(SYS_gettid) == getpid(); }

void NSThread::exit()
{
    if (tDetached) throw ThreadExit{};
}

NSProcessInfo* NSProcessInfo::processInfo()
{
    static NSProcessInfo* info = new NSProcessInfo;
    return info;
}

int NSProcessInfo::processIdentifier() const { return int(getpid()); }

NSObject* NSProcessInfo::beginActivityWithOptions(NSActivityOptions options, NSString* reason)
{
    auto* a = new Activity;
    a->options = options;
    a->reason = reason ? reason->UTF8String() : "";
    {
        std::lock_guard<std::mutex> lock(activityMutex());
        activities().push_back(static_cast<Activity*>(a->retain()));
    }
    a->autorelease();
    return a;
}

void NSProcessInfo::endActivity(NSObject* activity)
{
    Activity* gone = nullptr;
    {
        std::lock_guard<std::mutex> lock(activityMutex());
        auto& list = activities();
        auto it = std::find(list.begin(), list.end(), activity);
        if (it == list.end()) return;
        gone = *it;
        list.erase(it);
    }
    gone->release();
}

std::vector<ns_standin::ActivityShown> ns_standin::activeActivities()
{
    std::lock_guard<std::mutex> lock(activityMutex());
    std::vector<ActivityShown> out;
    for (const Activity* a : activities()) out.push_back(ActivityShown{a->options, a->reason});
    return out;
}

NSException* NSException::exceptionWithName(const char* name, const char* reason)
{
    auto* e = new NSException;
    e->mName = name ? name : "";
    e->mReason = reason ? reason : "";
    e->autorelease();
    return e;
}

void NSException::raise() { throw this; }
