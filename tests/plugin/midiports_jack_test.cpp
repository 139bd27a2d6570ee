// The external ports on the private JACK server, with a second client playing the synthesizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "midiports_synth_side.h"
#include "midiports_test_plug.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Opens the plug-in's output towards the synthesizer and waits until the connection is live;
// returns the list index, or 0.
int OpenOut(PortPlug& plug, SynthSide& synth)
{
    plug.getExternalMIDIOutNames();
    int port = 1;
    int idx = plug.setExternalMIDIOut(port, synth.ReceivingPort().c_str());
    return idx > 0 && PrimeOutput(plug, synth) ? idx : 0;
}

int OpenIn(PortPlug& plug, SynthSide& synth)
{
    plug.getExternalMIDIInNames();
    int port = 1;
    int idx = plug.setExternalMIDIIn(port, synth.SendingPort().c_str());
    return idx > 0 && PrimeInput(plug, synth) ? idx : 0;
}

void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One synthesizer on the server, then the plug-in.
class MidiPortsOnJack : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(synth.Ok()); }
    SynthSide synth;
    PortPlug plug;
};

} // namespace

TEST_F(MidiPortsOnJack, ListsShowTheSynthesizersPortsAndOpeningByNameReturnsTheListIndex)
{
    const std::vector<std::string>& outs = *plug.getExternalMIDIOutNames();
    const std::vector<std::string>& ins = *plug.getExternalMIDIInNames();
    ASSERT_FALSE(outs.empty() || ins.empty());
    EXPECT_EQ(outs[0], "Select MIDI Device");
    EXPECT_EQ(ins[0], "Select MIDI Device");
    int outIdx = IndexOf(outs, synth.ReceivingPort()), inIdx = IndexOf(ins, synth.SendingPort());
    ASSERT_GE(outIdx, 1);
    ASSERT_GE(inIdx, 1);
    EXPECT_EQ(IndexOf(outs, synth.SendingPort()), -1) << "a sending port is not a destination";
    EXPECT_EQ(IndexOf(ins, synth.ReceivingPort()), -1) << "a receiving port is not a source";
    EXPECT_EQ(plug.getExternalMIDIOutDevice(synth.ReceivingPort().c_str()), outIdx);
    EXPECT_EQ(plug.getExternalMIDIInDevice(synth.SendingPort().c_str()), inIdx);
    EXPECT_EQ(plug.GetMIDIOutPortNumber(synth.ReceivingPort().c_str()), outIdx);
    EXPECT_EQ(plug.GetMIDIInPortNumber(synth.SendingPort().c_str()), inIdx);
    EXPECT_EQ(plug.GetMIDIOutPortNumber("no-such-client:no-such-port"), -1);
    EXPECT_EQ(plug.OutPortRequest(), 0);

    int port = 1;
    EXPECT_EQ(plug.setExternalMIDIOut(port, synth.ReceivingPort().c_str()), outIdx);
    EXPECT_EQ(port, outIdx);
    EXPECT_EQ(plug.OutPortRequest(), 1) << "the request given is remembered";
    port = 1;
    EXPECT_EQ(plug.setExternalMIDIIn(port, synth.SendingPort().c_str()), inIdx);
    EXPECT_EQ(port, inIdx);
    for (bool out : {true, false}) {
        port = 1;
        EXPECT_EQ(out ? plug.setExternalMIDIOut(port, "no-such-client:no-such-port")
                      : plug.setExternalMIDIIn(port, "no-such-client:no-such-port"), 0);
        EXPECT_EQ(port, 0);
    }
    IMidiMsg cc(0, 0xB0, 7, 100);
    EXPECT_FALSE(plug.SendMidiMsg(&cc)) << "a failed open leaves no port open";
}

TEST(MidiPortsOnJackOwnClients, AStaleListIndexIsCheckedByNameBeforeOpening)
{
    auto gone = std::make_unique<SynthSide>();
    SynthSide stays;
    ASSERT_TRUE(gone->Ok() && stays.Ok());
    PortPlug plug;
    const std::vector<std::string>& outs = *plug.getExternalMIDIOutNames();
    int goneIdx = IndexOf(outs, gone->ReceivingPort());
    int staysIdx = IndexOf(outs, stays.ReceivingPort());
    ASSERT_GE(goneIdx, 1);
    ASSERT_GT(staysIdx, goneIdx) << "ports are listed in the order they were made";
    std::string goneName = gone->ReceivingPort();
    gone.reset(); // every port after it moves down one place in the system's numbering

    int port = 1;
    EXPECT_EQ(plug.setExternalMIDIOut(port, stays.ReceivingPort().c_str()), staysIdx);
    ASSERT_TRUE(PrimeOutput(plug, stays)) << "the port opened is the one named, not the one at the old number";
    IMidiMsg cc(0, 0xB5, 1, 2);
    EXPECT_TRUE(plug.SendMidiMsg(&cc));
    ASSERT_TRUE(stays.WaitForCount(1));
    EXPECT_EQ(stays.Received()[0], (Bytes{0xB5, 1, 2}));

    port = 1;
    EXPECT_EQ(plug.setExternalMIDIOut(port, goneName.c_str()), 0) << "a port that went away cannot be opened";
    EXPECT_EQ(port, 0);
}

TEST_F(MidiPortsOnJack, ShortMessagesAndSysExFromTheSynthesizerArriveWithTheDeviceFlag)
{
    ASSERT_GE(OpenIn(plug, synth), 1);
    Bytes sysex = PatternSysEx(296, 3);
    synth.Send({0xB3, 0x4A, 0x64});
    synth.Send({0xF8});
    synth.Send({0xC1, 0x05});
    synth.Send({0xFE});
    synth.Send(sysex);
    synth.Send({0xD0, 0x40});
    synth.Send({0xF8});
    synth.Send({0xBF, 0x7F, 0x00}); // marks the end

    ASSERT_TRUE(plug.WaitFor([](const std::vector<Delivered>& s) {
        return !s.empty() && s.back().bytes == std::vector<uint8_t>{0xBF, 0x7F, 0x00};
    })) << "the messages did not arrive";
    std::vector<Delivered> seen = plug.Seen();
    ASSERT_EQ(seen.size(), 5u) << "timing clock and active sensing are filtered";
    for (const Delivered& d : seen) {
        EXPECT_TRUE(d.fromExternalPort);
        EXPECT_EQ(d.offset, 0);
    }
    EXPECT_FALSE(seen[0].sysex);
    EXPECT_EQ(seen[0].bytes, (std::vector<uint8_t>{0xB3, 0x4A, 0x64}));
    EXPECT_FALSE(seen[1].sysex);
    EXPECT_EQ(seen[1].bytes, (std::vector<uint8_t>{0xC1, 0x05, 0x00}));
    EXPECT_TRUE(seen[2].sysex);
    EXPECT_EQ(seen[2].bytes, std::vector<uint8_t>(sysex.begin(), sysex.end()));
    EXPECT_FALSE(seen[3].sysex);
    EXPECT_EQ(seen[3].bytes, (std::vector<uint8_t>{0xD0, 0x40, 0x00}));
}

TEST_F(MidiPortsOnJack, SendsFromThePlugInArriveByteExact)
{
    ASSERT_GE(OpenOut(plug, synth), 1);

    IMidiMsg cc(0, 0xB0, 0x07, 0x64);
    IMidiMsg pc;
    pc.MakeProgramChangeMsg(5.0 / 127.0 + 0.001, 3); // data2 is 0xFF and must not be sent
    IMidiMsg at(0, 0xD2, 0x40, 0x55);
    IMidiMsg wide;
    wide.MakeControlChangeMsg(EControlChangeMsg(7), 1.5, 2); // 190.5 truncates to a byte with the high bit
    IMidiMsg noStatus(0, 0x45, 1, 2);
    unsigned char bare[] = {0x7E, 0x00, 0x06, 0x01};
    unsigned char framed[] = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
    unsigned char patch[] = {0xF0, 0x42, 0x30, 0x01, 0x02, 0xF7, 0xF0, 0x42, 0x30, 0x03, 0xF7};
    // Only the count given goes out: the first message of the two.
    Bytes longSysex = PatternSysEx(296, 9);

    EXPECT_TRUE(plug.SendMidiMsg(&cc));
    EXPECT_TRUE(plug.SendMidiMsg(&pc));
    EXPECT_TRUE(plug.SendMidiMsg(&at));
    EXPECT_TRUE(plug.SendMidiMsg(&wide));
    EXPECT_FALSE(plug.SendMidiMsg(&noStatus)) << "without a status byte there is nothing to send";
    EXPECT_TRUE(plug.SendMidiSysex(bare, int(sizeof bare)));
    EXPECT_TRUE(plug.SendMidiSysex(framed, int(sizeof framed)));
    EXPECT_TRUE(plug.SendPatchSysex(patch, 6));
    EXPECT_TRUE(plug.SendMidiSysex2({0xFA}));
    EXPECT_TRUE(plug.SendMidiSysex2({0xF8}));
    EXPECT_TRUE(plug.SendMidiSysex(longSysex.data(), int(longSysex.size())));
    EXPECT_FALSE(plug.SendMidiVST(&cc)) << "nothing goes to the host";

    ASSERT_TRUE(synth.WaitForCount(10));
    Pause(50);
    const Bytes sysexFramed = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
    EXPECT_EQ(synth.Received(),
              (std::vector<Bytes>{{0xB0, 0x07, 0x64}, {0xC3, 0x05}, {0xD2, 0x40}, {0xB2, 0x07, 190 & 0x7F}, sysexFramed,
                                  sysexFramed, {0xF0, 0x42, 0x30, 0x01, 0x02, 0xF7}, {0xFA}, {0xF8}, longSysex}));
}

TEST_F(MidiPortsOnJack, AMessageTooLargeForJackIsRefusedRatherThanSilentlyLost)
{
    ASSERT_GE(OpenOut(plug, synth), 1);
    Bytes largest = PatternSysEx(16379, 1);
    Bytes tooLarge = PatternSysEx(16380, 2);
    EXPECT_FALSE(plug.SendMidiSysex(tooLarge.data(), int(tooLarge.size())));
    EXPECT_FALSE(plug.SendMidiSysex2(tooLarge));
    EXPECT_TRUE(plug.SendMidiSysex(largest.data(), int(largest.size())));
    ASSERT_TRUE(synth.WaitForCount(1));
    Pause(100);
    std::vector<Bytes> got = synth.Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], largest);
}
