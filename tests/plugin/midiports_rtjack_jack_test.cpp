// The port layer on the MIDI library's own JACK path (QOR_MIDI_API=rtjack): the library's
// clients, the output behind its hand-over, against the synthesizer's side on the private server.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "midiports_open.h"
#include "support/kept_log.h"

namespace
{

using Bytes = std::vector<unsigned char>;

bool Arrived(PortPlug& plug, const std::vector<uint8_t>& last)
{
    return plug.WaitFor([&](const std::vector<Delivered>& s) { return !s.empty() && s.back().bytes == last; });
}

// A client of the test's own in the server's graph that counts the cycles the server runs.
class CycleCounter
{
public:
    CycleCounter()
        : mClient(jack_client_open(("qorcycles" + std::to_string(getpid())).c_str(), JackNoStartServer, nullptr))
    {
        if (mClient) jack_set_process_callback(mClient, Count, this);
        mOk = mClient && jack_activate(mClient) == 0;
    }
    ~CycleCounter()
    {
        if (mClient) jack_client_close(mClient);
    }
    bool Ok() const { return mOk; }
    long Cycles() const { return mCycles; }

private:
    static int Count(jack_nframes_t, void* self)
    {
        ++static_cast<CycleCounter*>(self)->mCycles;
        return 0;
    }
    jack_client_t* mClient;
    bool mOk = false;
    std::atomic<long> mCycles{0};
};

} // namespace

TEST(MidiPortsOnTheLibrarysJack, OpenDeliverSendCloseAndReconnectWithNoWordFromTheLibrary)
{
    setenv("QOR_MIDI_API", "rtjack", 1);
    testsupport::KeptLog log;
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    PortPlug plug;
    const Bytes sysex = {0xF0, 0x3E, 0x0F, 0x00, 0x13, 0x02, 0x10, 0x40, 0xF7};
    for (int open = 1; open <= 2; ++open) {
        SCOPED_TRACE(open == 1 ? "first open" : "opened again after a close");
        ASSERT_GE(OpenIn(plug, synth), 1);
        ASSERT_GE(OpenOut(plug, synth), 1);
        EXPECT_EQ(log.take(), std::vector<std::string>{}) << "the library's clients said something";

        synth.Send({0xB3, 0x4A, 0x64});
        synth.Send({0xF8});
        synth.Send(sysex);
        ASSERT_TRUE(Arrived(plug, std::vector<uint8_t>(sysex.begin(), sysex.end())));
        std::vector<Delivered> seen = plug.Seen();
        ASSERT_EQ(seen.size(), 2u) << "the timing clock is filtered";
        EXPECT_EQ(seen[0].bytes, (std::vector<uint8_t>{0xB3, 0x4A, 0x64}));
        EXPECT_TRUE(seen[1].sysex && seen[1].fromExternalPort);

        IMidiMsg cc(0, 0xB0, 0x07, 0x64);
        EXPECT_TRUE(plug.SendMidiMsg(&cc));
        EXPECT_TRUE(plug.SendMidiSysex2(sysex));
        ASSERT_TRUE(synth.WaitForCount(2));
        EXPECT_EQ(synth.Received(), (std::vector<Bytes>{{0xB0, 0x07, 0x64}, sysex}));

        int in = 0, out = 0;
        plug.setExternalMIDIIn(in, QOR_SELECT_MIDI_DEVICE);
        plug.setExternalMIDIOut(out, QOR_SELECT_MIDI_DEVICE);
        plug.ClearSeen();
        synth.Clear();
        synth.Send({0xB3, 0x4A, 0x01});
        EXPECT_FALSE(plug.SendMidiMsg(&cc)) << "sent through a closed port";
        Pause(200);
        EXPECT_TRUE(plug.Seen().empty()) << "delivered from a closed port";
        EXPECT_TRUE(synth.Received().empty());
    }
    plug.CloseExternalMIDIPorts();
    EXPECT_EQ(log.take(), std::vector<std::string>{});
}

// The host's main thread holds the plug-in for 300 ms while a message comes in: the message waits
// for it on a thread of ours, and the server and every other client of it run on. On a loaded
// machine the server misses cycles anyway: it keeps as many as in the half seconds around.
TEST(MidiPortsOnTheLibrarysJack, InputWaitingForThePlugInHoldsUpNoServerCycle)
{
    setenv("QOR_MIDI_API", "rtjack", 1);
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    PortPlug plug;
    ASSERT_GE(OpenIn(plug, synth), 1);
    CycleCounter counter;
    ASSERT_TRUE(counter.Ok());
    Pause(100); // the counter's first cycles have run
    auto cyclesIn = [&counter](int ms, const std::function<void()>& meanwhile) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        const long before = counter.Cycles();
        meanwhile();
        std::this_thread::sleep_until(end);
        return counter.Cycles() - before;
    };
    long usual = cyclesIn(500, [] {});
    const long held = cyclesIn(1000, [&] {
        {
            KIT_MutexLock host(plug.GetMutex());
            synth.Send({0xB3, 0x4A, 0x64});
            Pause(300);
            EXPECT_TRUE(plug.Seen().empty()) << "delivered while the plug-in was held";
        }
        EXPECT_TRUE(Arrived(plug, {0xB3, 0x4A, 0x64}));
    });
    usual += cyclesIn(500, [] {});
    EXPECT_GE(held, 0.95 * usual) << "cycles in a second, against " << usual << " in one before and after";
    plug.CloseExternalMIDIPorts();
}

// One client of the library called from two threads: calls failing on one leave every good call
// of the other good.
TEST(MidiPortsOnTheLibrarysJack, AFailingCallOnOneThreadLeavesAnotherThreadsCallsGood)
{
    testsupport::KeptLog log; // the failing calls' complaints
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    std::unique_ptr<IMidiClient> client(IMakeRtMidiClient(RtMidi::UNIX_JACK, true, "qor-two-callers"));
    ASSERT_TRUE(client);
    ASSERT_GE(client->PortCount(), 1u);
    std::atomic<bool> done{false};
    std::thread failing([&] {
        while (!done) client->PortName(100000);
    });
    int misread = 0;
    for (int i = 0; i < 500; ++i) misread += client->PortCount() == 0;
    done = true;
    failing.join();
    EXPECT_EQ(misread, 0) << "good calls read as failed";
    EXPECT_FALSE(log.take().empty()) << "the other thread's calls did not fail";
}
