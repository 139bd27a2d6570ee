// The outgoing queue is shared: producers add under its lock while the host resets the plug-in.
#include "Project_Source/src/QOR.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <thread>

TEST(ControllerQueue, ProducersAddingUnderTheQueueLockWhileResetsResizeLoseAndReorderNothing)
{
    testsupport::TempDir dir;
    setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
    QOR plug{IPluginInstanceInfo()};
    IMidiQueue& q = plug.midiOutQueue;
    constexpr int kEach = 3000;
    auto produce = [&q](uint8_t who) {
        for (int i = 0; i < kEach; ++i) { // equal offsets keep arrival order
            IMidiMsg m(0, 0xB0, who, uint8_t(i % 128));
            std::lock_guard<std::mutex> lock(q.GetLock());
            q.Add(&m);
        }
    };
    std::thread a(produce, uint8_t(1)), b(produce, uint8_t(2));
    for (int i = 0; i < 400; ++i) { // shrinks and grows the buffer while it fills
        plug.SetBlockSize(i % 2 ? 100 : 2048);
        plug.Reset();
    }
    a.join();
    b.join();
    ASSERT_EQ(q.ToDo(), 2 * kEach);
    int next[3] = {0, 0, 0};
    for (; !q.Empty(); q.Remove()) {
        ASSERT_TRUE(q.Peek()->mData1 == 1 || q.Peek()->mData1 == 2);
        ASSERT_EQ(q.Peek()->mData2, next[q.Peek()->mData1]++ % 128);
    }
    EXPECT_EQ(next[1], kEach);
}
