#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kit/mutex.h"
#include "kit/threadname.h"

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

// Ours are the threads that named themselves, until they end: one that a thread of ours made
// carries our name without being ours, as the MIDI libraries' threads do.
TEST(KitThreadName, OnlyThreadsThatNamedThemselvesCountAndOnlyUntilTheyEnd)
{
    using Names = std::vector<std::string>;
    const Names before = KIT_OurThreads();
    Names seen[2];
    char inherited[16] = "";
    std::thread ours([&] {
        KIT_NameThisThread("t-first");
        std::thread([&] {
            pthread_getname_np(pthread_self(), inherited, sizeof inherited);
            seen[0] = KIT_OurThreads();
        }).join();
        KIT_NameThisThread("t-again");
        seen[1] = KIT_OurThreads();
    });
    ours.join();
    EXPECT_STREQ(inherited, "qor:t-first");
    Names first = before, again = before;
    first.push_back("qor:t-first");
    again.push_back("qor:t-again");
    EXPECT_EQ(seen[0], first) << "while a thread it made runs";
    EXPECT_EQ(seen[1], again) << "renamed";
    EXPECT_EQ(KIT_OurThreads(), before) << "ended";
}
