#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "kit/mutex.h"

TEST(KitMutex, OwnerReentersAndReleasesOnlyAtTheLastLeave)
{
    KIT_Mutex m;
    for (int i = 0; i < 3; ++i) m.Enter();
    EXPECT_TRUE(m.IsHeldByCaller());
    std::atomic<bool> acquired{false}, otherOwned{true};
    std::thread other([&] {
        otherOwned = m.IsHeldByCaller();
        KIT_MutexLock g(&m);
        acquired = true;
    });
    m.Leave();
    m.Leave();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(acquired.load()) << "still held at depth 1";
    m.Leave();
    other.join();
    EXPECT_TRUE(acquired.load());
    EXPECT_FALSE(otherOwned.load() || m.IsHeldByCaller());
}
