#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>

#include "Project_Source/src/clock_gettime_stub.h"

TEST(ClockGettimeReplacement, CalendarAndSystemClocksMatchTheLibrary)
{
    timespec ours{}, lib{};
    ASSERT_EQ(qor_clock_gettime(0, &ours), 0);
    clock_gettime(CLOCK_REALTIME, &lib);
    EXPECT_LE(std::labs(long(ours.tv_sec - lib.tv_sec)), 1);
    ASSERT_EQ(qor_clock_gettime(1, &ours), 0);
    clock_gettime(CLOCK_MONOTONIC, &lib);
    EXPECT_LE(std::labs(long(ours.tv_sec - lib.tv_sec)), 1);
    EXPECT_GE(ours.tv_nsec, 0);
    EXPECT_LT(ours.tv_nsec, 1000000000);
}

TEST(ClockGettimeReplacement, CallTimesAreSmallAndOtherIdsFail)
{
    timespec ts{};
    ASSERT_EQ(qor_clock_gettime(2, &ts), 0);
    EXPECT_EQ(ts.tv_sec, 0);
    ASSERT_EQ(qor_clock_gettime(3, &ts), 0);
    EXPECT_EQ(ts.tv_sec, 0);
    errno = 0;
    EXPECT_EQ(qor_clock_gettime(4, &ts), -1);
    EXPECT_EQ(errno, 22);
    errno = 0;
    EXPECT_EQ(qor_clock_gettime(-1, &ts), -1);
    EXPECT_EQ(errno, 22);
}
