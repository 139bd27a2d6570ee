// The input callback runs on the library's own thread while the host's main thread opens and
// closes ports: closing must wait out a delivery in progress and let none start afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "midiports_test_plug.h"

namespace {

void Feed(PortPlug& plug, std::vector<unsigned char> bytes)
{
    IPluginBase::MIDICallback(0.0, &bytes, &plug);
}

} // namespace

TEST(MidiInputThreads, ClosingWaitsForADeliveryInProgressAndStopsLaterOnes)
{
    PortPlug plug;
    plug.SetDelivering(true);
    std::atomic<bool> inside{false}, finished{false};
    plug.onDelivery = [&] {
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        finished = true;
    };
    std::thread midiThread([&] { Feed(plug, {0xB0, 1, 2}); });
    while (!inside) std::this_thread::yield();
    plug.CloseExternalMIDIPorts();
    EXPECT_TRUE(finished) << "closing returned while a delivery was still running";
    midiThread.join();
    plug.onDelivery = nullptr;
    Feed(plug, {0xB0, 1, 3});
    EXPECT_EQ(plug.Seen().size(), 1u);
}

TEST(MidiInputThreads, NoDeliveryCompletesAfterCloseReturnsWhileSeveralThreadsDeliver)
{
    PortPlug plug;
    plug.SetDelivering(true);
    std::atomic<bool> closed{false}, stop{false};
    std::atomic<int> afterClose{0}, delivered{0};
    plug.onDelivery = [&] {
        ++delivered;
        if (closed) ++afterClose;
    };
    std::vector<std::thread> feeders;
    for (int t = 0; t < 3; ++t) {
        feeders.emplace_back([&, t] {
            std::vector<unsigned char> sysex(40, 0x11);
            sysex.front() = 0xF0;
            sysex.back() = 0xF7;
            for (int i = 0; i < 20000 && !stop; ++i) {
                if (i % 4 == 0) Feed(plug, sysex);
                else Feed(plug, {(unsigned char)(0xB0 | t), 7, (unsigned char)(i & 0x7F)});
            }
        });
    }
    while (delivered < 200) std::this_thread::yield();
    // Switching delivery off and on again meanwhile, as reopening a port does.
    for (int i = 0; i < 50; ++i) {
        plug.SetDelivering(false);
        plug.SetDelivering(true);
    }
    plug.CloseExternalMIDIPorts();
    closed = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    for (std::thread& th : feeders) th.join();
    EXPECT_EQ(afterClose.load(), 0);
    EXPECT_GE(delivered.load(), 200);
}
