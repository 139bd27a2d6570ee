#pragma once
// A clock_gettime for hosts without one, under its own name so it never shadows the C
// library's: ids 0 (calendar) and 1 (system clock) read the Mach clock service; 2 and 3 answer
// the time one trivial system call took (a process-id query, a processor yield).
#include <ctime>

int qor_clock_gettime(int clockId, struct timespec* ts);
