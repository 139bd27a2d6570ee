// The external port layer without a MIDI system, the choice of interface, and the input
// callback fed directly.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <iterator>
#include <thread>

#include "midiports_test_plug.h"

namespace {

bool Compiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api a : apis)
        if (a == api) return true;
    return false;
}

// A JACK server name nobody runs, and libjack told not to start one.
struct NoJack {
    ScopedEnv server{"JACK_DEFAULT_SERVER", "qor-no-such-server-midiports"};
    ScopedEnv noStart{"JACK_NO_START_SERVER", "1"};
};

void Feed(PortPlug& plug, std::vector<unsigned char> bytes)
{
    IPluginBase::MIDICallback(0.25, &bytes, &plug);
}

} // namespace

// Without a JACK server the library's JACK client keeps its transfer buffers when it is deleted;
// that is the library's leak, not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:jack_ringbuffer_create\n";
}

TEST(MidiPortInterface, AlsaIsTriedBeforeJackUnlessTheEnvironmentForcesOne)
{
    std::vector<RtMidi::Api> expected;
    if (Compiled(RtMidi::LINUX_ALSA)) expected.push_back(RtMidi::LINUX_ALSA);
    if (Compiled(RtMidi::UNIX_JACK)) expected.push_back(RtMidi::UNIX_JACK);
    for (const char* choice : {(const char*)nullptr, "", "coremidi"}) EXPECT_EQ(IMidiPortApis(choice), expected);
    if (!Compiled(RtMidi::UNIX_JACK) || !Compiled(RtMidi::LINUX_ALSA)) GTEST_SKIP() << "library lacks ALSA or JACK";
    EXPECT_EQ(IMidiPortApis("JACK"), std::vector<RtMidi::Api>{RtMidi::UNIX_JACK});
    EXPECT_EQ(IMidiPortApis("alsa"), std::vector<RtMidi::Api>{RtMidi::LINUX_ALSA});
}

class NoMidiSystem : public ::testing::Test {
protected:
    NoJack noJack;
    ScopedEnv forceJack{"QOR_MIDI_API", "jack"};
};

TEST_F(NoMidiSystem, ListsHoldOnlyTheNoDeviceEntryAndOnlyTheFixedNamesHaveNumbers)
{
    PortPlug plug;
    std::vector<std::string>* outs = plug.getExternalMIDIOutNames();
    ASSERT_NE(outs, nullptr);
    EXPECT_EQ(*outs, std::vector<std::string>{"Select MIDI Device"});
    EXPECT_EQ(*plug.getExternalMIDIInNames(), std::vector<std::string>{"Select MIDI Device"});
    EXPECT_EQ(plug.OutClient(), nullptr);
    EXPECT_EQ(plug.InClient(), nullptr);
    EXPECT_EQ(plug.getExternalMIDIOutNames(), outs) << "the list is made once and kept";
    EXPECT_EQ(plug.getExternalMIDIOutDevice("Select MIDI Device"), 0);
    EXPECT_EQ(plug.getExternalMIDIInDevice("some synth"), -1);
    const struct { const char* name; int out, in; } table[] = {
        {"Select MIDI Device", 0, 0}, {"virtual output", 1, -1}, {"virtual input", -1, 1}, {"some synth", -1, -1}};
    for (const auto& row : table) {
        EXPECT_EQ(plug.GetMIDIOutPortNumber(row.name), row.out) << row.name;
        EXPECT_EQ(plug.GetMIDIInPortNumber(row.name), row.in) << row.name;
    }
    EXPECT_EQ(plug.GetMIDIOutPortNumber(nullptr), -1);
}

TEST_F(NoMidiSystem, OpeningReportsNothingOpenedBeforeOrAfterListingAndSendsReturnFalse)
{
    PortPlug plug;
    for (int listed = 0; listed < 2; ++listed) {
        for (const char* name : {"some synth", "Select MIDI Device"}) {
            int port = 1;
            EXPECT_EQ(plug.setExternalMIDIOut(port, name), 0) << name;
            EXPECT_EQ(port, 0);
            port = 1;
            EXPECT_EQ(plug.setExternalMIDIIn(port, name), 0) << name;
            EXPECT_EQ(port, 0);
        }
        plug.getExternalMIDIOutNames();
        plug.getExternalMIDIInNames();
    }
    int port = 0;
    EXPECT_EQ(plug.setExternalMIDIIn(port, nullptr), 0);
    IMidiMsg cc(0, 0xB0, 7, 100);
    unsigned char sysex[] = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
    EXPECT_FALSE(plug.SendMidiMsg(&cc));
    EXPECT_FALSE(plug.SendMidiSysex(sysex, int(sizeof sysex)));
    EXPECT_FALSE(plug.SendPatchSysex(sysex, int(sizeof sysex)));
    EXPECT_FALSE(plug.SendMidiSysex2({0xF8}));
    EXPECT_FALSE(plug.initializeVirtualOutput("virtual output")) << "no client could be made";
}

TEST(NoMidiSystemAtAll, NeitherAlsaNorJackGivesNoClientAndNoException)
{
    if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has an ALSA sequencer";
    NoJack noJack;
    ScopedEnv usualOrder("QOR_MIDI_API", nullptr);
    PortPlug plug;
    EXPECT_NO_THROW({
        EXPECT_EQ(*plug.getExternalMIDIOutNames(), std::vector<std::string>{"Select MIDI Device"});
        int port = 1;
        EXPECT_EQ(plug.setExternalMIDIOut(port, "x"), 0);
        IMidiMsg pc(0, 0xC0, 5, 0);
        EXPECT_FALSE(plug.SendMidiMsg(&pc));
    });
}

TEST(MidiInputCallback, UpToThreeBytesArriveAsAShortMessageAndFourOrMoreAsOneSysEx)
{
    const std::vector<unsigned char> twelve = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0x00, 0xF7};
    // An absent data byte reads 0; four bytes that are not even SysEx are still handed on whole.
    const struct {
        std::vector<unsigned char> in;
        bool sysex;
        std::vector<uint8_t> out;
    } table[] = {
        {{0xB2, 7, 100}, false, {0xB2, 7, 100}},
        {{0xD0, 0x40}, false, {0xD0, 0x40, 0}},
        {{0xFA}, false, {0xFA, 0, 0}},
        {twelve, true, std::vector<uint8_t>(twelve.begin(), twelve.end())},
        {{0x01, 0x02, 0x03, 0x04}, true, {0x01, 0x02, 0x03, 0x04}},
    };
    PortPlug plug;
    plug.SetDelivering(true);
    for (const auto& row : table) Feed(plug, row.in);
    std::vector<Delivered> seen = plug.Seen();
    ASSERT_EQ(seen.size(), std::size(table));
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].sysex, table[i].sysex);
        EXPECT_TRUE(seen[i].fromExternalPort);
        EXPECT_EQ(seen[i].offset, 0);
        EXPECT_EQ(seen[i].bytes, table[i].out);
    }
}

TEST(MidiInputCallback, NothingIsDeliveredWithoutAnOpenPortOrMessageAndAPlugInFaultStaysOnTheMidiThread)
{
    PortPlug plug;
    Feed(plug, {0xB0, 1, 2});
    plug.SetDelivering(true);
    std::vector<unsigned char> empty, cc = {0xB0, 1, 2};
    IPluginBase::MIDICallback(0.0, &empty, &plug);
    IPluginBase::MIDICallback(0.0, &cc, nullptr);
    IPluginBase::MIDICallback(0.0, nullptr, &plug);
    plug.onDelivery = [] { throw std::runtime_error("plug-in fault"); };
    EXPECT_NO_THROW(Feed(plug, {0xB0, 1, 3}));
    plug.onDelivery = nullptr;
    Feed(plug, {0xB0, 1, 4});
    plug.SetDelivering(false);
    Feed(plug, {0xB0, 1, 5});
    std::vector<Delivered> seen = plug.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].bytes[2], 3);
    EXPECT_EQ(seen[1].bytes[2], 4) << "delivery goes on after the fault";
}

// The library delivers on its own thread while the host's main thread closes the ports.
TEST(MidiInputCallback, ClosingWaitsForADeliveryInProgressAndStopsLaterOnes)
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

TEST(MidiSendArguments, NullEmptyAndNegativeSizesSendNothing)
{
    PortPlug plug;
    unsigned char b[] = {0x7E};
    for (bool sent : {plug.SendExternalBytes(nullptr, 3), plug.SendExternalBytes(b, 0), plug.SendExternalBytes(b, size_t(-1)),
                      plug.SendExternalSysex(b, 0), plug.SendExternalSysex(b, -5), plug.SendExternalSysex(nullptr, 4),
                      plug.SendExternalMidiMsg(nullptr), plug.SendMidiSysex2({})})
        EXPECT_FALSE(sent);
}

namespace {

// Refuses messages on channel 16 and remembers what it was asked to send.
class ListSendPlug : public PortPlug {
public:
    std::vector<int> asked;
    bool SendMidiMsg(IMidiMsg* msg) override
    {
        asked.push_back(msg->mData1);
        return msg->Channel() != 15;
    }
};

} // namespace

TEST(MidiSendList, EveryMessageIsSentInOrderAndOneRefusalMakesTheResultFalse)
{
    ListSendPlug plug;
    KIT_TypedBuf<IMidiMsg> msgs(16);
    EXPECT_TRUE(plug.SendMidiMsgs(&msgs)) << "an empty buffer";
    EXPECT_TRUE(plug.asked.empty());

    msgs.Add(IMidiMsg(0, 0xB0, 1, 0));
    msgs.Add(IMidiMsg(0, 0xBF, 2, 0));
    msgs.Add(IMidiMsg(0, 0xC0, 3, 0));
    EXPECT_FALSE(plug.SendMidiMsgs(&msgs));
    EXPECT_EQ(plug.asked, (std::vector<int>{1, 2, 3})) << "a refusal does not stop the rest";

    plug.asked.clear();
    msgs.Resize(1);
    EXPECT_TRUE(plug.SendMidiMsgs(&msgs));
    EXPECT_EQ(plug.asked, std::vector<int>{1});
}
