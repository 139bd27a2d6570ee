// Every message handed over reaches the far end once, in order, while the output stays
// connected: the clock worker, the host's main thread and the host's render call sending at
// once, as the editor does while the user turns knobs with the clock running, on both JACK
// paths. QOR_STRESS_SECONDS lengthens the run (three seconds a path by default).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "midiports_open.h"

namespace
{

using Bytes = std::vector<unsigned char>;

// A plug-in whose render call sends what it is handed, as the editor's sends its queued
// messages.
class RenderPlug : public PortPlug
{
public:
    void ProcessDoubleReplacing(double**, double**, int) override
    {
        if (mDue) {
            IMidiMsg cc(0, 0xB2, uint8_t(mDue >> 7 & 0x7F), uint8_t(mDue & 0x7F));
            if (!SendExternalMidiMsg(&cc)) ++mRenderDropped;
            mDue = 0;
        }
    }
    std::atomic<int> mDue{0};
    std::atomic<int> mRenderDropped{0};
};

struct Tally {
    int sent = 0, got = 0, doubled = 0, outOfOrder = 0;
};

} // namespace

// The three senders for a few seconds; then what arrived, by sender. The clock is one byte, the
// knobs are numbered in their two data bytes, so a lost, doubled or reordered one shows.
TEST(MidiOutputUnderLoad, EveryMessageOfEverySenderArrivesOnceAndInOrder)
{
    const int seconds = std::getenv("QOR_STRESS_SECONDS") ? std::atoi(std::getenv("QOR_STRESS_SECONDS")) : 3;
    for (const char* api : {"jack", "rtjack"}) {
        SCOPED_TRACE(api);
        setenv("QOR_MIDI_API", api, 1);
        SynthSide synth;
        ASSERT_TRUE(synth.Ok());
        RenderPlug plug;
        ASSERT_GT(OpenOut(plug, synth), 0);
        std::atomic<bool> stop{false};
        std::atomic<int> clocks{0}, knobs{0}, renders{0};
        // The clock worker: a tick about every 2 ms (a fast tempo).
        std::thread clock([&] {
            while (!stop) {
                if (plug.SendMidiSysex2({0xF8})) ++clocks;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        // The main thread's knob turns, on channel 1, now and then in a burst.
        std::thread knob([&] {
            for (int n = 1; !stop; ++n) {
                IMidiMsg cc(0, 0xB0, uint8_t(n >> 7 & 0x7F), uint8_t(n & 0x7F));
                if (plug.SendMidiMsg(&cc)) ++knobs;
                std::this_thread::sleep_for(std::chrono::microseconds(n % 16 ? 3000 : 100));
            }
        });
        // The render call, once a millisecond, sends on channel 3 whatever it was handed.
        std::thread render([&] {
            for (int n = 1; !stop; ++n) {
                plug.mDue = n;
                plug.ProcessBuffers(0.0, 48);
                ++renders;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        stop = true;
        clock.join();
        knob.join();
        render.join();
        const int renderSent = renders - plug.mRenderDropped;
        synth.WaitForCount(size_t(clocks + knobs + renderSent), 5000);
        Pause(100);              // anything doubled comes too
        std::map<int, Tally> by; // status byte
        by[0xF8].sent = clocks;
        by[0xB0].sent = knobs;
        by[0xB2].sent = renderSent;
        std::map<int, int> last;
        for (const Bytes& m : synth.Received()) {
            if (m.empty() || !by.count(m[0])) continue;
            Tally& t = by[m[0]];
            ++t.got;
            if (m[0] == 0xF8 || m.size() < 3) continue;
            // Numbered in 14 bits: the step from the last one, across the wrap.
            const int n = m[1] << 7 | m[2], step = (n - last[m[0]]) & 0x3FFF;
            t.doubled += step == 0;
            t.outOfOrder += step > 0x2000;
            last[m[0]] = n;
        }
        std::printf("%-6s clock %d/%d, knobs %d/%d, render %d/%d (%d not handed over)\n", api, by[0xF8].got,
                    by[0xF8].sent, by[0xB0].got, by[0xB0].sent, by[0xB2].got, by[0xB2].sent,
                    plug.mRenderDropped.load());
        for (const auto& [status, t] : by) {
            SCOPED_TRACE("status " + std::to_string(status));
            EXPECT_EQ(t.got, t.sent) << "lost or doubled";
            EXPECT_EQ(t.doubled, 0);
            EXPECT_EQ(t.outOfOrder, 0);
        }
        // What the render call could not hand over it counts, by design: a holder of the output
        // that loses its processor on a busy machine makes it give up. How many is the machine's
        // doing, printed above rather than held to a number.
        plug.CloseExternalMIDIPorts();
    }
}
