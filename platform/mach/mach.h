#pragma once
// The clock-service subset of Mach: calendar and system clocks read through a clock port.
#include <stdint.h>
#include <time.h>

#include <mach/kern_return.h>

typedef unsigned int mach_port_t;
typedef mach_port_t host_t;
typedef mach_port_t clock_serv_t;
typedef mach_port_t ipc_space_t;
typedef int clock_id_t;

#define SYSTEM_CLOCK 0
#define CALENDAR_CLOCK 1

struct mach_timespec_t {
    unsigned int tv_sec;
    int tv_nsec;
};

inline host_t mach_host_self() { return 1; }
inline ipc_space_t mach_task_self() { return 1; }

// The port number is the clock id plus one, so that 0 stays "no port".
inline kern_return_t host_get_clock_service(host_t, clock_id_t which, clock_serv_t* service)
{
    if (!service || (which != SYSTEM_CLOCK && which != CALENDAR_CLOCK)) return KERN_INVALID_ARGUMENT;
    *service = clock_serv_t(which + 1);
    return KERN_SUCCESS;
}

inline kern_return_t clock_get_time(clock_serv_t service, mach_timespec_t* out)
{
    if (!out || (service != 1 && service != 2)) return KERN_INVALID_ARGUMENT;
    struct timespec ts;
    clock_gettime(service == 2 ? CLOCK_REALTIME : CLOCK_MONOTONIC, &ts);
    out->tv_sec = (unsigned int)ts.tv_sec;
    out->tv_nsec = int(ts.tv_nsec);
    return KERN_SUCCESS;
}

inline kern_return_t mach_port_deallocate(ipc_space_t, mach_port_t) { return KERN_SUCCESS; }
