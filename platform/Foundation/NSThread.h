#pragma once
// Threads, the process's information and its activities. Detached threads run a selector on a
// target with one argument, inside their own autorelease pool.
#include <cstdint>
#include <string>
#include <vector>

#include "NSObject.h"

class NSThread : public NSObject {
    NS_STANDIN_CLASS(NSThread)
public:
    NSThread() = default;
    // Starts a detached thread that sends the selector to the target with the argument; target
    // and argument are retained until the thread ends. Any thread.
    static void detachNewThreadSelector(SEL selector, NSObject* target, NSObject* argument);
    // True once a thread was detached.
    static bool isMultiThreaded();
    static bool isMainThread();
    // Ends the calling thread when detachNewThreadSelector started it (its stack unwinds and its
    // pool drains); on other threads it does nothing.
    static void exit();
};

// Foundation's version: one with activities (10.9's number).
extern const double NSFoundationVersionNumber;

typedef uint64_t NSActivityOptions;
enum : NSActivityOptions {
    NSActivityIdleSystemSleepDisabled = 1ULL << 20,
    NSActivityLatencyCritical = 0xFF00000000ULL,
};

class NSProcessInfo : public NSObject {
    NS_STANDIN_CLASS(NSProcessInfo)
public:
    NSProcessInfo() = default;
    static NSProcessInfo* processInfo();
    int processIdentifier() const;
    // An activity token (autoreleased) held until endActivity; the stand-in records it.
    NSObject* beginActivityWithOptions(NSActivityOptions options, NSString* reason);
    void endActivity(NSObject* activity);
};

// Something went wrong that the caller may catch: thrown (as a pointer, autoreleased) by raise.
class NSException : public NSObject {
    NS_STANDIN_CLASS(NSException)
public:
    NSException() = default;
    static NSException* exceptionWithName(const char* name, const char* reason);
    const std::string& name() const { return mName; }
    const std::string& reason() const { return mReason; }
    [[noreturn]] void raise();

private:
    std::string mName, mReason;
};

namespace ns_standin {

struct ActivityShown {
    NSActivityOptions options;
    std::string reason;
};
// The activities begun and not yet ended, in order.
std::vector<ActivityShown> activeActivities();

} // namespace ns_standin
