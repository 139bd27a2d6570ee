#include "clock_gettime_stub.h"

#include <cerrno>
#include <sched.h>
#include <unistd.h>

#include <mach/mach.h>
#include <mach/mach_time.h>

namespace {

// The time base is read once.
const mach_timebase_info_data_t& timeBase()
{
    static const mach_timebase_info_data_t tb = [] {
        mach_timebase_info_data_t t{};
        mach_timebase_info(&t);
        if (t.denom == 0) t.numer = t.denom = 1;
        return t;
    }();
    return tb;
}

int readClock(clock_id_t which, struct timespec* ts)
{
    clock_serv_t service;
    if (host_get_clock_service(mach_host_self(), which, &service) != KERN_SUCCESS) return -1;
    mach_timespec_t now{};
    kern_return_t r = clock_get_time(service, &now);
    mach_port_deallocate(mach_task_self(), service);
    if (r != KERN_SUCCESS) return -1;
    ts->tv_sec = now.tv_sec;
    ts->tv_nsec = now.tv_nsec;
    return 0;
}

void storeElapsed(uint64_t start, uint64_t end, struct timespec* ts)
{
    const auto& tb = timeBase();
    uint64_t ns = (end - start) * tb.numer / tb.denom;
    ts->tv_sec = time_t(ns / 1000000000u);
    ts->tv_nsec = long(ns % 1000000000u);
}

} // namespace

int qor_clock_gettime(int clockId, struct timespec* ts)
{
    if (!ts) {
        errno = EINVAL;
        return -1;
    }
    switch (clockId) {
    case 0:
    case 1:
        if (readClock(clockId == 0 ? CALENDAR_CLOCK : SYSTEM_CLOCK, ts) == 0) return 0;
        break;
    case 2: {
        uint64_t s = mach_absolute_time();
        (void)getpid();
        storeElapsed(s, mach_absolute_time(), ts);
        return 0;
    }
    case 3: {
        uint64_t s = mach_absolute_time();
        sched_yield();
        storeElapsed(s, mach_absolute_time(), ts);
        return 0;
    }
    default:
        break;
    }
    errno = EINVAL;
    return -1;
}
