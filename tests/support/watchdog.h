#pragma once
// A test's guard against a hang: a thread that aborts the process once ten seconds pass without
// a step, naming the last step, so that a lock cycle fails at once instead of holding up the
// suite until its time-out.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace testsupport
{

// Aborts the whole run once ten seconds (or the seconds given) pass without a step: a hang fails
// at once and shows where, instead of holding up the suite until its time-out.
class Watchdog
{
public:
    explicit Watchdog(int seconds = 10) : mLimit(seconds), mThread([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> hold(mLock);
            mDone = true;
        }
        mWake.notify_all();
        mThread.join();
    }
    void step(const char* what)
    {
        std::lock_guard<std::mutex> hold(mLock);
        mWhat = what;
        mLast = std::chrono::steady_clock::now();
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> hold(mLock);
        while (!mWake.wait_for(hold, std::chrono::milliseconds(100), [this] { return mDone; })) {
            if (std::chrono::steady_clock::now() - mLast < std::chrono::seconds(mLimit)) continue;
            std::fprintf(stderr, "watchdog: no progress for %d s after: %s\n", mLimit, mWhat);
            std::abort();
        }
    }
    const int mLimit;
    std::mutex mLock;
    std::condition_variable mWake;
    bool mDone = false;
    const char* mWhat = "start";
    std::chrono::steady_clock::time_point mLast = std::chrono::steady_clock::now();
    std::thread mThread;
};

} // namespace testsupport
