// Several threads write to the one output port at once, as the editor, the audio thread and the
// protocol workers do: every message must arrive whole.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <utility>

#include "midiports_synth_side.h"
#include "midiports_test_plug.h"

namespace {

const int kSenders = 4;
const int kPerSender = 40;
const int kBurst = 10;

// F0, sender, sequence number, a pattern of a size that differs per message, F7.
std::vector<unsigned char> Tagged(int sender, int seq)
{
    std::vector<unsigned char> m = PatternSysEx(size_t(60 + (sender * 97 + seq * 13) % 300), unsigned(sender * 1000 + seq));
    m[1] = (unsigned char)sender;
    m[2] = (unsigned char)seq;
    return m;
}

// The plug-in's output opened towards the synthesizer.
class MidiPortsSendThreads : public ::testing::Test {
protected:
    void SetUp() override
    {
        plug.getExternalMIDIOutNames();
        int port = 1;
        ASSERT_GE(plug.setExternalMIDIOut(port, synth.ReceivingPort().c_str()), 1);
        ASSERT_TRUE(PrimeOutput(plug, synth));
    }
    SynthSide synth;
    PortPlug plug;
};

} // namespace

TEST_F(MidiPortsSendThreads, FourThreadsSendingSysExAtOnceDeliverEveryMessageWhole)
{

    std::atomic<int> ready{0};
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kSenders; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready < kSenders) std::this_thread::yield(); // start together
            for (int i = 0; i < kPerSender; ++i) {
                std::vector<unsigned char> m = Tagged(t, i);
                // Half go out already framed, half bare and framed by the sender.
                bool ok = i % 2 ? plug.SendMidiSysex(m.data(), int(m.size()))
                                : plug.SendMidiSysex(m.data() + 1, int(m.size()) - 2);
                if (!ok) ++refused;
                // Back to back within a burst, so the writes really meet; a pause between bursts
                // lets the library's transfer buffer drain, as a drop there would say nothing
                // about interleaving.
                if (i % kBurst == kBurst - 1) std::this_thread::sleep_for(std::chrono::milliseconds(15));
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(refused.load(), 0);

    const size_t total = size_t(kSenders * kPerSender);
    ASSERT_TRUE(synth.WaitForCount(total, 10000)) << "only " << synth.Received().size() << " of " << total;
    std::vector<std::vector<unsigned char>> got = synth.Received();
    EXPECT_EQ(got.size(), total);
    std::set<std::pair<int, int>> seen;
    for (const std::vector<unsigned char>& m : got) {
        ASSERT_GE(m.size(), 4u);
        int sender = m[1], seq = m[2];
        ASSERT_LT(sender, kSenders);
        ASSERT_LT(seq, kPerSender);
        EXPECT_EQ(m, Tagged(sender, seq)) << "message " << sender << "/" << seq << " arrived mixed or cut";
        EXPECT_TRUE(seen.insert({sender, seq}).second) << "message " << sender << "/" << seq << " arrived twice";
    }
    EXPECT_EQ(seen.size(), total);
}

TEST_F(MidiPortsSendThreads, ClockBytesAndShortMessagesBetweenSysExStayIntact)
{

    const int kClocks = 96, kEdits = 60, kDumps = 30;
    std::thread clock([&] {
        for (int i = 0; i < kClocks; ++i) {
            plug.SendMidiSysex2({0xF8});
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread edits([&] {
        for (int i = 0; i < kEdits; ++i) {
            IMidiMsg cc(0, 0xB1, 74, (unsigned char)i);
            plug.SendMidiMsg(&cc);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread dumps([&] {
        for (int i = 0; i < kDumps; ++i) {
            std::vector<unsigned char> m = Tagged(0, i);
            plug.SendMidiSysex(m.data(), int(m.size()));
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    clock.join();
    edits.join();
    dumps.join();

    const size_t total = size_t(kClocks + kEdits + kDumps);
    ASSERT_TRUE(synth.WaitForCount(total, 10000)) << "only " << synth.Received().size() << " of " << total;
    int clocks = 0, nextEdit = 0, nextDump = 0;
    for (const std::vector<unsigned char>& m : synth.Received()) {
        if (m == std::vector<unsigned char>{0xF8}) {
            ++clocks;
        } else if (m.size() == 3 && m[0] == 0xB1) {
            EXPECT_EQ(m[2], nextEdit++) << "edits from one thread keep their order";
        } else {
            ASSERT_GE(m.size(), 4u);
            EXPECT_EQ(m, Tagged(0, nextDump++));
        }
    }
    EXPECT_EQ(clocks, kClocks);
    EXPECT_EQ(nextEdit, kEdits);
    EXPECT_EQ(nextDump, kDumps);
}
