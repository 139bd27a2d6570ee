// The port layer on the MIDI library's own JACK path (QOR_MIDI_API=rtjack): the library's
// clients, the output behind its hand-over, against the synthesizer's side on the private server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "midiports_open.h"
#include "support/kept_log.h"

namespace
{

using Bytes = std::vector<unsigned char>;

bool Arrived(PortPlug& plug, const std::vector<uint8_t>& last)
{
    return plug.WaitFor([&](const std::vector<Delivered>& s) { return !s.empty() && s.back().bytes == last; });
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
