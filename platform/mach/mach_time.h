#pragma once
// Mach absolute time over the monotonic clock: one tick is one nanosecond.
#include <stdint.h>
#include <time.h>

#include <mach/kern_return.h>

struct mach_timebase_info_data_t {
    uint32_t numer;
    uint32_t denom;
};
typedef mach_timebase_info_data_t* mach_timebase_info_t;

inline uint64_t mach_absolute_time()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

inline kern_return_t mach_timebase_info(mach_timebase_info_t info)
{
    if (!info) return KERN_INVALID_ARGUMENT;
    info->numer = 1;
    info->denom = 1;
    return KERN_SUCCESS;
}
