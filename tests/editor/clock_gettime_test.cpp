#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>

#include "Project_Source/src/clock_gettime_stub.h"

TEST(ClockGettimeReplacement, ClocksMatchTheLibraryCallTimesAreSmallAndOtherIdsFail)
{
    const struct {
        int id, result;
        clockid_t library; // -1: a call time, under a second
    } cases[] = {{0, 0, CLOCK_REALTIME}, {1, 0, CLOCK_MONOTONIC}, {2, 0, -1}, {3, 0, -1}, {4, -1, 0}, {-1, -1, 0}};
    for (const auto& c : cases) {
        timespec ours{}, lib{};
        errno = 0;
        ASSERT_EQ(qor_clock_gettime(c.id, &ours), c.result) << c.id;
        if (c.result) {
            EXPECT_EQ(errno, 22);
            continue;
        }
        if (c.library >= 0) clock_gettime(c.library, &lib);
        EXPECT_LE(std::labs(long(ours.tv_sec - lib.tv_sec)), c.library >= 0 ? 1 : 0) << c.id;
        EXPECT_TRUE(ours.tv_nsec >= 0 && ours.tv_nsec < 1000000000) << c.id;
    }
}
