#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "kit/mutex.h"

TEST(KitMutex, OwnerReentersAndReleasesOnlyAtTheLastLeave)
{
    KIT_Mutex m;
    m.Enter();
    m.Enter();
    m.Enter();
    EXPECT_TRUE(m.IsHeldByCaller());

    std::atomic<bool> acquired{false};
    std::thread other([&] {
        m.Enter();
        acquired = true;
        m.Leave();
    });
    m.Leave();
    m.Leave();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(acquired.load()) << "still held at depth 0";
    m.Leave();
    other.join();
    EXPECT_TRUE(acquired.load());
    EXPECT_FALSE(m.IsHeldByCaller());
}

TEST(KitMutex, GuardsACounterAcrossThreads)
{
    KIT_Mutex m;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            KIT_MutexLock outer(&m);
            KIT_MutexLock inner(&m);
            ++counter;
        }
    };
    std::thread a(work), b(work), c(work);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(counter, 60000);
}

TEST(KitMutex, LockIsReleasedWhenTheGuardedCodeThrows)
{
    KIT_Mutex m;
    try {
        KIT_MutexLock g(&m);
        throw 1;
    } catch (int) {
    }
    std::atomic<bool> acquired{false};
    std::thread t([&] {
        KIT_MutexLock g(&m);
        acquired = true;
    });
    for (int i = 0; i < 200 && !acquired; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(acquired.load());
    if (!acquired) m.Leave(); // let the thread finish so the test can end
    t.join();
}
