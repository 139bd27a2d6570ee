// The port layer on the MIDI library's own JACK path (QOR_MIDI_API=rtjack): the library's
// clients, the output behind its hand-over, against the synthesizer's side on the private server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "kit/plugin/IMidiInDelivery.h"
#include "midiports_open.h"
#include "support/kept_log.h"

namespace
{

using Bytes = std::vector<unsigned char>;

bool Arrived(PortPlug& plug, const std::vector<uint8_t>& last)
{
    return plug.WaitFor([&](const std::vector<Delivered>& s) { return !s.empty() && s.back().bytes == last; });
}

// The library's thread has handed this message over to ours: Arrived has returned for it.
std::atomic<bool> gHandedOver{false};
const unsigned char kHeldMessage[] = {0xB3, 0x4A, 0x64};

void NoteHandOver(const unsigned char* data, size_t size)
{
    if (size == sizeof kHeldMessage && std::equal(data, data + size, kHeldMessage)) gHandedOver = true;
}

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

// The host's main thread holds the plug-in while a message comes in: the library's thread (the
// server's process thread under the library's JACK client) hands the message over and returns
// while the plug-in is still held, so no server cycle waits for the plug-in; the message reaches
// the plug-in once it is free.
TEST(MidiPortsOnTheLibrarysJack, InputWaitingForThePlugInHoldsUpNoServerCycle)
{
    setenv("QOR_MIDI_API", "rtjack", 1);
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    PortPlug plug;
    ASSERT_GE(OpenIn(plug, synth), 1);
    gHandedOver = false;
    IMidiInDelivery::ObserveArrivals(NoteHandOver);
    {
        KIT_MutexLock host(plug.GetMutex());
        synth.Send(Bytes(std::begin(kHeldMessage), std::end(kHeldMessage)));
        // Generous: a loaded machine may run the server's cycle late, but it runs it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!gHandedOver && std::chrono::steady_clock::now() < deadline) Pause(5);
        EXPECT_TRUE(gHandedOver) << "the library's thread did not return while the plug-in was held";
        EXPECT_TRUE(plug.Seen().empty()) << "delivered while the plug-in was held";
    }
    EXPECT_TRUE(Arrived(plug, {0xB3, 0x4A, 0x64}));
    IMidiInDelivery::ObserveArrivals(nullptr);
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
