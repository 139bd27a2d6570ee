// The external ports on the private JACK server, with a second, plain MIDI client playing the
// synthesizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "midiports_open.h"

namespace {

using Bytes = std::vector<unsigned char>;

int IndexOf(const std::vector<std::string>& names, const std::string& name)
{
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : int(it - names.begin());
}

// F0 ... F7 of the given size, with 7-bit data that depends on seed and position.
Bytes PatternSysEx(size_t size, unsigned seed)
{
    Bytes m(size);
    for (size_t i = 1; i + 1 < size; ++i) m[i] = (unsigned char)((i * 31 + seed * 17) & 0x7F);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

class MidiPortsOnJack : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(synth.Ok()); }
    SynthSide synth;
    PortPlug plug;
};

} // namespace

TEST(MidiPortsOnJackOwnClients, AStaleListIndexIsCheckedByNameBeforeOpening)
{
    auto gone = std::make_unique<SynthSide>();
    SynthSide stays;
    ASSERT_TRUE(gone->Ok() && stays.Ok());
    PortPlug plug;
    const std::vector<std::string>& outs = *plug.getExternalMIDIOutNames();
    const std::vector<std::string>& ins = *plug.getExternalMIDIInNames();
    EXPECT_EQ(outs[0] + ins[0], "Select MIDI DeviceSelect MIDI Device");
    int staysIdx = IndexOf(outs, stays.ReceivingPort()), inIdx = IndexOf(ins, stays.SendingPort());
    ASSERT_GT(staysIdx, IndexOf(outs, gone->ReceivingPort())) << "ports are listed in the order they were made";
    EXPECT_EQ(IndexOf(outs, stays.SendingPort()) + IndexOf(ins, stays.ReceivingPort()), -2) << "each port in its own list";
    EXPECT_EQ(plug.getExternalMIDIOutDevice(stays.ReceivingPort().c_str()) + plug.GetMIDIOutPortNumber(stays.ReceivingPort().c_str()), 2 * staysIdx);
    EXPECT_EQ(plug.getExternalMIDIInDevice(stays.SendingPort().c_str()) + plug.GetMIDIInPortNumber(stays.SendingPort().c_str()), 2 * inIdx);
    std::string goneName = gone->ReceivingPort();
    gone.reset(); // every port after it moves down one place in the system's numbering
    ASSERT_EQ(OpenOut(plug, stays), staysIdx) << "the port opened is the one named, not the one at the old number";
    EXPECT_EQ(plug.OutPortRequest(), 1) << "the request given is remembered";
    int port = 1;
    EXPECT_EQ(plug.setExternalMIDIOut(port, goneName.c_str()) + port, 0) << "a port that went away cannot be opened";
    IMidiMsg cc(0, 0xB0, 7, 100);
    EXPECT_FALSE(plug.SendMidiMsg(&cc)) << "a failed open leaves no port open";
}

TEST_F(MidiPortsOnJack, ShortMessagesAndSysExFromTheSynthesizerArriveWithTheDeviceFlag)
{
    ASSERT_GE(OpenIn(plug, synth), 1);
    Bytes sysex = PatternSysEx(296, 3);
    for (const Bytes& m : {Bytes{0xB3, 0x4A, 0x64}, Bytes{0xF8}, Bytes{0xC1, 0x05}, Bytes{0xFE}, sysex, Bytes{0xBF, 0x7F, 0x00}})
        synth.Send(m);
    ASSERT_TRUE(plug.WaitFor([](const std::vector<Delivered>& s) {
        return !s.empty() && s.back().bytes == std::vector<uint8_t>{0xBF, 0x7F, 0x00};
    })) << "the messages did not arrive";
    std::vector<Delivered> seen = plug.Seen();
    ASSERT_EQ(seen.size(), 4u) << "timing clock and active sensing are filtered";
    const std::vector<uint8_t> expected[] = {{0xB3, 0x4A, 0x64}, {0xC1, 0x05, 0x00}, std::vector<uint8_t>(sysex.begin(), sysex.end())};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(seen[i].fromExternalPort && seen[i].offset == 0) << i;
        EXPECT_EQ(seen[i].sysex, i == 2) << i;
        EXPECT_EQ(seen[i].bytes, expected[i]) << i;
    }
}

TEST_F(MidiPortsOnJack, SendsArriveByteExactAndAMessageTooLargeForJackIsRefused)
{
    ASSERT_GE(OpenOut(plug, synth), 1);
    IMidiMsg cc(0, 0xB0, 0x07, 0x64), at(0, 0xD2, 0x40, 0x55), noStatus(0, 0x45, 1, 2), pc, wide;
    pc.MakeProgramChangeMsg(5.0 / 127.0 + 0.001, 3); // data2 is 0xFF and must not be sent
    wide.MakeControlChangeMsg(EControlChangeMsg(7), 1.5, 2); // 190.5 truncates to a byte with the high bit
    unsigned char bare[] = {0x7E, 0x00, 0x06, 0x01};
    unsigned char framed[] = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
    unsigned char patch[] = {0xF0, 0x42, 0x30, 0x01, 0x02, 0xF7, 0xF0, 0x42, 0x30, 0x03, 0xF7};
    Bytes largest = PatternSysEx(16379, 1), tooLarge = PatternSysEx(16380, 2);
    for (IMidiMsg* m : {&cc, &pc, &at, &wide}) EXPECT_TRUE(plug.SendMidiMsg(m));
    EXPECT_FALSE(plug.SendMidiMsg(&noStatus)) << "without a status byte there is nothing to send";
    EXPECT_TRUE(plug.SendMidiSysex(bare, int(sizeof bare)));
    EXPECT_TRUE(plug.SendMidiSysex(framed, int(sizeof framed)));
    EXPECT_TRUE(plug.SendPatchSysex(patch, 6)); // only the count given goes out
    EXPECT_TRUE(plug.SendMidiSysex2({0xFA}));
    EXPECT_FALSE(plug.SendMidiSysex(tooLarge.data(), int(tooLarge.size())));
    EXPECT_FALSE(plug.SendMidiSysex2(tooLarge));
    EXPECT_TRUE(plug.SendMidiSysex(largest.data(), int(largest.size())));
    EXPECT_FALSE(plug.SendMidiVST(&cc)) << "nothing goes to the host";
    ASSERT_TRUE(synth.WaitForCount(9));
    Pause(100);
    const Bytes sysexFramed(framed, framed + sizeof framed);
    EXPECT_EQ(synth.Received(), (std::vector<Bytes>{{0xB0, 0x07, 0x64}, {0xC3, 0x05}, {0xD2, 0x40}, {0xB2, 0x07, 190 & 0x7F},
                                                    sysexFramed, sysexFramed, {0xF0, 0x42, 0x30, 0x01, 0x02, 0xF7}, {0xFA}, largest}));
}

// A bank store sends one dump after another with nothing coming back: a dump that a loaded
// machine loses on the way is a slot of the synthesizer silently not written. A receiver that
// is still busy when the server's next cycle begins must get the dumps late, never lose them.
TEST_F(MidiPortsOnJack, AReceiverSlowerThanTheServersCycleLosesNoDump)
{
    ASSERT_GE(OpenOut(plug, synth), 1);
    synth.HoldEachMessage(15); // about three cycles of the test server
    std::vector<Bytes> sent;
    for (unsigned i = 0; i < 24; ++i) {
        sent.push_back(PatternSysEx(297, i));
        sent.back()[9] = (unsigned char)i;
        ASSERT_TRUE(plug.SendMidiSysex2(sent.back())) << i;
        Pause(i % 3 ? 2 : 20);
    }
    synth.WaitForCount(sent.size(), 5000);
    Pause(50);
    const std::vector<Bytes> got = synth.Received();
    std::string slots;
    for (const Bytes& m : got) slots += std::to_string(m.size() > 9 ? m[9] : -1) + " ";
    EXPECT_EQ(got, sent) << "slots that arrived: " << slots;
}

// Four threads write SysEx to the one output port at once, as the editor and the protocol
// workers do. Messages that meet while being written come out mixed, cut or doubled; that fails
// at once. A JACK server starved of processor time drops whole cycles instead, and with them
// whole messages, so a run that only lost messages is tried again with fresh clients.
TEST(MidiPortsSendThreads, SysExFromFourThreadsArrivesWholeAndInEachSendersOrder)
{
    const int kSenders = 4, kPerSender = 40, kBurst = 10;
    auto tagged = [](int sender, int seq) {
        Bytes m = PatternSysEx(size_t(60 + (sender * 97 + seq * 13) % 300), unsigned(sender * 1000 + seq));
        m[1] = (unsigned char)sender;
        m[2] = (unsigned char)seq;
        return m;
    };
    std::vector<std::string> defects;
    size_t missing = 0;
    for (int attempt = 0; attempt < 3 && (attempt == 0 || (defects.empty() && missing > 0)); ++attempt) {
        defects.clear();
        missing = 0;
        SynthSide synth;
        PortPlug plug;
        ASSERT_TRUE(synth.Ok() && OpenOut(plug, synth) > 0) << "the output port did not open";
        std::atomic<int> ready{0}, refused{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kSenders; ++t)
            threads.emplace_back([&, t] {
                ++ready;
                while (ready < kSenders) std::this_thread::yield(); // start together
                for (int i = 0; i < kPerSender; ++i) {
                    Bytes m = tagged(t, i);
                    // Half go out already framed, half bare and framed by the sender.
                    bool ok = i % 2 ? plug.SendMidiSysex(m.data(), int(m.size())) : plug.SendMidiSysex(m.data() + 1, int(m.size()) - 2);
                    if (!ok) ++refused;
                    // Back to back within a burst, so the writes really meet; a pause between
                    // bursts lets the port's queue drain.
                    if (i % kBurst == kBurst - 1) Pause(15);
                }
            });
        for (std::thread& th : threads) th.join();
        if (refused) defects.push_back(std::to_string(refused.load()) + " sends refused");
        synth.WaitForCount(size_t(kSenders * kPerSender), 3000);
        Pause(50); // anything doubled comes too
        std::map<Bytes, int> owed;
        for (int t = 0; t < kSenders; ++t)
            for (int i = 0; i < kPerSender; ++i) ++owed[tagged(t, i)];
        std::map<int, int> lastSeq; // messages from one thread keep their order
        for (const Bytes& m : synth.Received()) {
            auto it = owed.find(m);
            if (it == owed.end() || it->second == 0) {
                defects.push_back("unexpected message of " + std::to_string(m.size()) + " bytes");
                continue;
            }
            --it->second;
            if (lastSeq.count(m[1]) && m[2] < lastSeq[m[1]]) defects.push_back("out of order from sender " + std::to_string(m[1]));
            lastSeq[m[1]] = m[2];
        }
        for (const auto& entry : owed) missing += size_t(entry.second);
    }
    for (const std::string& d : defects) ADD_FAILURE() << d;
    EXPECT_EQ(missing, 0u) << "messages lost in three runs";
}
