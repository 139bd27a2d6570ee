// Edits through the configured controls reach the in-process synthesizer byte for byte, and the
// simulator, which reads its own copy of the chart, says which parameter each one moved.
#include "Project_Source/src/ControlAction.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/debugger.h"
#include "controller_edits_support.h"
#include "kit/plugin/IGraphicsLayer.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <utility>

using namespace qorid;
using editstest::Wired;

namespace
{

std::string hexOf(const std::string& line) { return line.substr(0, line.find(" # ")); }

std::vector<std::string> hexOf(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(hexOf(l));
    return out;
}

} // namespace

TEST(ControllerEdits, EachKindAndEachSpecialEncodingArrivesAsTheSynthesizerReadsIt)
{
    const struct {
        const char* what;
        std::vector<std::pair<int, double>> before; // set without an edit
        int id;
        double value;
        std::vector<std::string> wire;
        const char* note; // in the last message's record note
    } cases[] = {
        {"kind 1 on part 2's channel", {}, kFilterCutoff + 1, 74, {"B1 4A 4A"}, "param kFilterCutoff part 2 = 74"},
        {"room edited", {{kFXReverbEarlyRef, 3}}, kFXReverbRoom, 5, {"B0 13 2B"}, "kFXReverbEarlyRef part 1 = 3"},
        {"early reflections edited", {{kFXReverbRoom + 1, 5}}, kFXReverbEarlyRef + 1, 3, {"B1 13 2B"},
         "param kFXReverbRoom part 2 = 5"},
        {"local control on", {}, kGlobalLocalControl, 1, {"B9 77 7F"}, "kGlobalLocalControl"},
        {"arp latch on", {}, kArpLatch + 2, 1, {"B2 40 7F"}, "param kArpLatch part 3 = 1"},
        {"sustain 3", {}, kMultiPartSustain, 3, {"B0 63 00", "B0 62 6E", "B0 06 7E"},
         "param kMultiPartSustain part 1 = 3"},
        {"sustain 10", {}, kMultiPartSustain + 1, 10, {"B1 63 00", "B1 62 71", "B1 06 06"},
         "param kMultiPartSustain part 2 = 10"},
        {"receive program change on", {}, kGlobalRXPC, 1, {"B9 63 00", "B9 62 6E", "B9 06 24"}, "kGlobalRXPC"},
        {"receive program change off", {}, kGlobalRXPC, 0, {"B9 63 00", "B9 62 6E", "B9 06 22"}, "kGlobalRXPC"},
        {"delay ratio 11", {}, kFXDelayRatio, 11, {"B0 63 00", "B0 62 64", "B0 06 6E"},
         "param kFXDelayRatio part 1 = 11"},
        {"delay ratio 4", {}, kFXDelayRatio + 1, 4, {"B1 63 01", "B1 62 00", "B1 06 04"},
         "param kFXDelayRatio part 2 = 4"},
        {"polyphony one less", {}, kMultiPartPolyphony + 2, 3, {"B2 63 00", "B2 62 71", "B2 06 03"},
         "param kMultiPartPolyphony part 3 = 3"},
        {"envelope triggering bit field",
         {{kEnvelope1Triggering + 3, 1}, {kEnvelope2Triggering + 3, 0}, {kEnvelope3Triggering + 3, 1}},
         kEnvelopeTriggering + 3, 4, {"B3 63 00", "B3 62 01", "B3 06 27"}, "param kEnvelopeTriggering part 4 = 5"},
        {"note ordering with fill-in", {{kArpFillIn, 1}}, kArpNoteOrdering, 2, {"B0 63 00", "B0 62 01", "B0 06 7F"},
         "param kArpNoteOrdering part 1 = 2"},
        {"kind 4 with the device id", {}, kUnisonSwitch + 2, 1, {"F0 3E 0F 09 20 02 04 01 F7"},
         "param kUnisonSwitch part 3 = 1"},
        {"kind 5 with the device id", {}, kOscillator1BendRange + 5, 7, {"F0 3E 0F 09 20 05 00 07 F7"},
         "param kOscillator1BendRange part 6 = 7"},
        {"part channel 16 is the global channel", {{kMultiPartMIDICh + 4, 16}}, kFilterCutoff + 4, 9, {"B9 4A 09"},
         "cc 74 = 9"},
    };
    Wired w;
    ASSERT_TRUE(w.started);
    for (const auto& c : cases) {
        for (const auto& [id, v] : c.before) w.set(id, v);
        w.edit(c.id, c.value);
        const std::vector<std::string> lines = w.arrived();
        EXPECT_EQ(hexOf(lines), c.wire) << c.what;
        if (!lines.empty()) {
            EXPECT_NE(lines.back().find(c.note), std::string::npos) << c.what << ": " << lines.back();
        }
    }
    EXPECT_EQ(w.text(w.plug->ccDisplay), "CC|74");
}

TEST(ControllerEdits, TheGlobalChannelGoesOutOnTheOldChannelAndIsKept)
{
    Wired w;
    w.set(kGlobalMidiChannel, 15);
    w.set(kDeviceID_old, 15);
    w.edit(kGlobalMidiChannel, 3);
    EXPECT_EQ(hexOf(w.arrived()), (std::vector<std::string>{"BF 63 00", "BF 62 63", "BF 06 24"}));
    EXPECT_EQ(w.plug->GetParam(kDeviceID_old)->Value(), 3.0);
    EXPECT_EQ(w.text(w.plug->ccDisplay), "MSB/LSB");
}

TEST(ControllerEdits, APatternEditSendsItsSysExThenAsksForThePartsPattern)
{
    Wired w;
    std::atomic<int> job{-1};
    w.plug->midiManager->sender->beforeJob = [&](int j) { job = j; };
    w.edit(kPartPattern, 5);
    w.plug->midiManager->stopAndJoin();
    const std::vector<std::string> lines = w.arrived();
    EXPECT_EQ(hexOf(lines), std::vector<std::string>{"F0 3E 0F 09 26 00 0C 05 F7"});
    EXPECT_EQ(job.load(), kJobRequestSequence);
    const SenderJobRecord& r = w.plug->midiManager->sender->records[kJobThread];
    EXPECT_EQ(r.part, 0);
    EXPECT_TRUE(r.toEditor);
    EXPECT_EQ(w.plug->patternRequestPart.load(), 0);
}

TEST(ControllerEdits, APatternEditDuringARunningRequestLeavesItsLibraryBufferArmed)
{
    Wired w;
    QOR& q = *w.plug;
    MIDIMessageManager& m = *q.midiManager;
    std::atomic<bool> release{false};
    m.sender->beforeJob = [&](int) {
        while (!release) usleep(1000);
    };
    SenderJobRecord running;
    running.job = kJobNothing; // stands for a bank request into the library
    ASSERT_TRUE(m.startJob(running));
    q.SetLibrarianRequestActive(true);
    q.replyArrived = true;
    w.edit(kPartPattern + 2, 7);
    // The request went unasked: the running job keeps its armed buffer and its reply.
    EXPECT_TRUE(m.libraryPatchRequest.active);
    EXPECT_FALSE(m.expectingEditDump);
    EXPECT_TRUE(q.replyArrived);
    release = true;
    m.stopAndJoin();
    m.sender->beforeJob = nullptr;
}

TEST(ControllerEdits, AnEditActsOnceOnItsWholeValueAndOnlyWithAPortOpen)
{
    Wired w;
    QOR& q = *w.plug;
    ControlAction* cutoff = q.GetParam(kFilterCutoff + 1)->GetControlAction();
    w.edit(kFilterCutoff + 1, 63.7);
    w.edit(kFilterCutoff + 1, 63.2);
    EXPECT_EQ(hexOf(w.arrived()), std::vector<std::string>{"B1 4A 3F"});

    // Without a port nothing is kept, so the same value leaves once the port is open.
    q.midiIOSet = false;
    w.edit(kFilterCutoff + 1, 20);
    EXPECT_EQ(cutoff->lastValue, 63.0);
    EXPECT_EQ(w.text(q.statusDisplay), "Set MIDI I/O First!");
    q.midiIOSet = true;
    w.edit(kFilterCutoff + 1, 20);
    EXPECT_EQ(hexOf(w.arrived()), std::vector<std::string>{"B1 4A 14"});

    // Device menus, the global channel and the model say nothing without a port, nor does the start-up.
    q.midiIOSet = false;
    for (int id : std::initializer_list<int>{kDeviceOutSelection, kDeviceInSelection, kGlobalMidiChannel, kCurrentModel}) {
        q.showStatus("quiet");
        ControlAction action(ControlAction::kControlChange);
        q.processControlAction(&action, id, 1);
        EXPECT_EQ(w.text(q.statusDisplay), "quiet") << id;
    }
    q.startupComplete = false;
    w.edit(kFilterCutoff + 1, 21);
    EXPECT_EQ(w.text(q.statusDisplay), "quiet");
    q.startupComplete = true;
    q.midiIOSet = true;

    // The tempo follows the host: the controls move and nothing is sent.
    w.set(kOverrideTempo, 1);
    q.ccDisplay->SetTextFromPlug("before");
    for (int id : std::initializer_list<int>{kGlobalTempo, kArpSpeed + 1}) {
        ControlAction* tempo = q.GetParam(id)->GetControlAction();
        q.processControlAction(tempo, id, 50);
        EXPECT_EQ(tempo->lastValue, 50.0) << id;
        EXPECT_EQ(w.text(q.ccDisplay), "before") << id;
        EXPECT_TRUE(w.arrived().empty()) << id;
    }

    // A value the synthesizer sent moves the controls without an echo.
    w.set(kFilterCutoff + 1, 90);
    q.OnParamChange2(kFilterCutoff + 1);
    EXPECT_EQ(cutoff->lastValue, 90.0);
    EXPECT_FALSE(q.changeFromHardware.load());
    EXPECT_TRUE(w.arrived().empty());
}

TEST(ControllerEdits, MadeActionsClampTheirBytesAndFindTheGlobalChannel)
{
    auto action = [](int kind, int part, int cc, int msb = 0, int lsbControl = 0, int lsbValue = 0) {
        ControlAction a(kind);
        a.part = part, a.ccNumber = cc, a.msbValue = msb, a.lsbControl = lsbControl, a.lsbValue = lsbValue;
        return a;
    };
    ControlAction framed = action(ControlAction::kSysEx, 0, -1);
    framed.messages = {{0xF0, 0x3E, 0x0F, 0x05, 0x20, 0x00, 0x04, 0x00, 0xF7}, {0x3E, 0x0F, 0x05, 0x20, 0x00, 0x04, 0x200}};
    const struct {
        const char* what;
        ControlAction action;
        double value;
        std::vector<std::string> wire;
    } cases[] = {
        {"NRPN past 127", action(ControlAction::kNRPN, 0, 6, 0, 5, 100), 50, {"B0 63 00", "B0 62 05", "B0 06 7F"}},
        {"no channel", action(ControlAction::kControlChange, -1, 74), 3, {"B9 4A 03"}},
        {"channel 16", action(ControlAction::kControlChange, 15, 74), 4, {"B9 4A 04"}},
        {"kind 1 past 127", action(ControlAction::kControlChange, 1, 74), 300, {"B1 4A 7F"}},
        {"framed template, device id replaced", framed, 0, {"F0 3E 0F 09 20 00 04 00 F7"}},
        {"bare template, data clamped", framed, 1, {"F0 3E 0F 09 20 00 04 7F F7"}},
        {"no message for the value", framed, 2, {}},
        {"kind 0", action(ControlAction::kNone, 0, 74), 5, {}},
    };
    Wired w;
    for (auto c : cases) {
        testing::internal::CaptureStdout();
        w.plug->processControlAction(&c.action, kFilterResonance, c.value);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(hexOf(w.arrived()), c.wire) << c.what;
        EXPECT_EQ(c.action.lastValue, double(int(c.value))) << c.what;
    }
}

TEST(ControllerEdits, TheSendGateHoldsBackEchoesOfTheSynthesizersControllers)
{
    const struct {
        bool applying, local, fromHost, outputChosen;
        std::vector<std::string> wire;
        const char* status;
    } cases[] = {
        // The read-out names the last edit unless the SysEx had no output device.
        {true, true, false, true, {}, "[1] Osc 1 Bend Range"},
        {true, true, true, true, {"B0 4A 01", "F0 3E 0F 09 20 00 00 01 F7"}, "[1] Osc 1 Bend Range"},
        {true, false, false, true, {"B0 4A 01", "F0 3E 0F 09 20 00 00 01 F7"}, "[1] Osc 1 Bend Range"},
        {false, false, false, false, {"B0 4A 01"}, "Set MIDI I/O First!"},
    };
    for (const auto& c : cases) {
        Wired w;
        QOR& q = *w.plug;
        q.midiManager->applyingIncomingValue = c.applying;
        q.localControlOn = c.local;
        q.midiManager->lastMessageFromHost = c.fromHost;
        w.set(kDeviceOutSelection, c.outputChosen);
        w.edit(kFilterCutoff, 1);
        w.edit(kOscillator1BendRange, 1);
        EXPECT_EQ(hexOf(w.arrived()), c.wire) << c.applying << c.local << c.fromHost << c.outputChosen;
        EXPECT_EQ(w.text(q.statusDisplay), c.status);
    }
}

TEST(ControllerOutput, ShortMessagesAndSysExLeaveWholeAndArePrinted)
{
    Wired w;
    QOR& q = *w.plug;
    IMidiMsg program(0, 0xC0, 5, 0x55);
    unsigned char bare[] = {0x00, 0x20, 0x29};
    testing::internal::CaptureStdout();
    q.sendMidiMsgAndLog(&program);
    q.checksumCheckAndSend(bare, 3);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(hexOf(w.arrived()), (std::vector<std::string>{"C0 05", "F0 00 20 29 F7"}));
    EXPECT_EQ(printed, "Plug-in MIDI Out Plug-in MIDI Out (sysex | 3 bytes | F0 00 20 29 F7)\n");

    // Host-buffer mode: the message waits for an audio block.
    q.routeMidiToHostBuffer = true;
    IMidiMsg cc(7, 0xB0, 74, 1);
    q.MIDIOutRoutingSwitch(&cc);
    EXPECT_TRUE(w.arrived().empty());
    EXPECT_EQ(q.midiOutQueue.ToDo(), 1);
    EXPECT_EQ(q.midiOutQueue.Peek()->mOffset, 7);

    // Without a port: nothing leaves, the status says why, the short message is printed.
    q.midiIOSet = false;
    testing::internal::CaptureStdout();
    q.sendMidiMsgAndLog(&cc);
    q.checksumCheckAndSend(bare, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Plug-in MIDI Out ");
    EXPECT_EQ(w.text(q.statusDisplay), "Set MIDI I/O First!");
    EXPECT_TRUE(w.arrived().empty());
}

TEST(ControllerOutput, ActivityLightsRunFromTheFirstMessageOfTheirPart)
{
    Wired w;
    QOR& q = *w.plug;
    uint32_t tick = 1000;
    q.mLedClock = [&] { return tick; };
    q.trackIncomingMidi = false;
    auto ccOn = [&](uint8_t status) {
        IMidiMsg m(0, status, 74, 1);
        testing::internal::CaptureStdout();
        q.sendMidiMsgAndLog(&m);
        testing::internal::GetCapturedStdout();
    };
    ccOn(0xB2); // part 3's channel
    tick = 1050;
    ccOn(0xB2);
    EXPECT_EQ(q.midiLedOn[2].load(), 1);
    EXPECT_EQ(q.midiLedOnTime[2].load(), 1000);
    ccOn(0xBC); // a channel no part uses
    for (int k : {0, 1, 3, 4, 5, 6, 7}) EXPECT_EQ(q.midiLedOn[size_t(k)].load(), 0) << k;

    // A parameter message lights the part of its part byte; a short one reads nothing past its end.
    std::vector<unsigned char> param = {0xF0, 0x3E, 0x0F, 0x00, 0x13, 0x04, 0x00, 0x01, 0xF7};
    std::unique_ptr<unsigned char[]> shortOne(new unsigned char[3]{0xF0, 0x3E, 0x0F});
    testing::internal::CaptureStdout();
    q.checksumCheckAndSend(param.data(), int(param.size()));
    q.checksumCheckAndSend(shortOne.get(), 3);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(q.midiLedOn[4].load(), 1);
    EXPECT_EQ(q.midiLedOnTime[4].load(), 1050);

    // Following incoming MIDI, outgoing messages light nothing.
    q.midiLedOn[2] = 0;
    q.trackIncomingMidi = true;
    ccOn(0xB2);
    EXPECT_EQ(q.midiLedOn[2].load(), 0);
}

TEST(ControllerOutput, SmallOperationsOfOtherFeatures)
{
    Wired w;
    QOR& q = *w.plug;
    w.set(kMultiPartStatus, 1);
    w.set(kMultiPartStatus + 2, 1);
    w.set(kMultiPartMIDICh + 2, 16); // the global channel
    testing::internal::CaptureStdout();
    q.AllSoundsOff(0, true);
    q.AllSoundsOff(5, false);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(hexOf(w.arrived()), (std::vector<std::string>{"B0 7B 00", "B9 7B 00", "B5 7B 00"}));

    const std::pair<double, int> timers[] = {{0, 50}, {5, 400}, {6, 500}, {7, 100}, {-1, 100}, {2.9, 100}};
    for (const auto& [index, ms] : timers) {
        w.set(kLibSyncTimer, index);
        EXPECT_EQ(q.getTimerValue(), ms) << index;
    }

    // Part select: the NRPN number, then at least 25 ms later its data, on the global channel.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(q.sendPatchAndPatternToDevice(3, true, true, false, false, false));
    testing::internal::GetCapturedStdout();
    const std::vector<std::string> lines = w.arrived();
    EXPECT_EQ(hexOf(lines), (std::vector<std::string>{"B9 62 71", "B9 06 4F"}));
    ASSERT_EQ(w.times.size(), 2u);
    EXPECT_GE(w.times[1] - w.times[0], 0.025);
    EXPECT_EQ(w.plug->session.synth().selectedPart(), 3);
    EXPECT_NE(lines.back().find("part 4 selected"), std::string::npos) << lines.back();
    EXPECT_EQ(w.text(q.ccDisplay), "NRPN");
    EXPECT_FALSE(q.deviceTransferActive.load() || q.incomingMidiBlocked.load());
    EXPECT_TRUE(q.sendingAllParts.load());
}

TEST(ControllerOutput, TheLibrarianArmsTheBufferOfItsModeEmptied)
{
    Wired w;
    QOR& q = *w.plug;
    MIDIMessageManager& m = *q.midiManager;
    m.libraryPatternRequest.patch.name = "old";
    m.libraryPatchRequest.patch.name = "kept";
    q.patternMode = true;
    q.replyArrived = true;
    q.dataRequestCompleted = true;
    q.SetLibrarianRequestActive(true);
    EXPECT_TRUE(m.libraryPatternRequest.active && !m.libraryPatchRequest.active && !m.libraryPerformanceRequest.active);
    EXPECT_EQ(m.libraryPatternRequest.patch.name, "");
    EXPECT_FALSE(m.expectingEditDump || q.replyArrived || q.dataRequestCompleted);
    m.libraryPatternRequest.patch.name = "filled";
    q.SetLibrarianRequestActive(false);
    EXPECT_FALSE(m.libraryPatternRequest.active);
    EXPECT_EQ(m.libraryPatternRequest.patch.name, "filled");
    EXPECT_EQ(m.libraryPatchRequest.patch.name, "kept");
    EXPECT_TRUE(m.expectingEditDump);
}

TEST(ControllerEdits, APatternFromTheSynthesizerIsNotEchoedButStillAskedFor)
{
    Wired w;
    std::atomic<int> job{-1};
    w.plug->midiManager->sender->beforeJob = [&](int j) { job = j; };
    w.set(kPartPattern + 1, 9);
    testing::internal::CaptureStdout();
    w.plug->OnParamChange2(kPartPattern + 1);
    testing::internal::GetCapturedStdout();
    w.plug->midiManager->stopAndJoin();
    EXPECT_TRUE(w.arrived().empty());
    EXPECT_EQ(job.load(), kJobRequestSequence);
    EXPECT_EQ(w.plug->midiManager->sender->records[kJobThread].part, 1);
}

TEST(ControllerEdits, TheSwitchLayerShowsTheSubLayerOfTheValue)
{
    Wired w;
    ControlLayer layer(0, "pages");
    auto* first = new ControlLayer(0, "first");
    auto* second = new ControlLayer(1, "second");
    layer.childLayers.Add(first); // the parent owns its children
    layer.childLayers.Add(second);
    ControlAction* action = w.plug->GetParam(kFilterCutoff + 3)->GetControlAction();
    action->switchLayer = &layer;
    w.edit(kFilterCutoff + 3, 1);
    EXPECT_EQ(layer.selectedChildId, 1);
    EXPECT_FALSE(first->IsVisible());
    EXPECT_TRUE(second->IsVisible());
    EXPECT_EQ(hexOf(w.arrived()), std::vector<std::string>{"B3 4A 01"});
    action->switchLayer = nullptr;
}

TEST(ControllerOutput, TheEnquiryIsStartedOnlyOutsideATransferAndRepeatsAreNotPrinted)
{
    Wired w;
    QOR& q = *w.plug;
    std::atomic<int> job{-1};
    std::atomic<bool> completeAtStart{true};
    // The enquiry runs now and the simulator answers it: the flag is looked at as the job starts.
    q.midiManager->sender->beforeJob = [&](int j) {
        job = j;
        completeAtStart = q.midiManager->requestComplete.load();
    };
    q.deviceTransferActive = true;
    q.sendSysExInitialization();
    EXPECT_TRUE(q.expectGlobalDump.load());
    EXPECT_EQ(job.load(), -1);
    q.deviceTransferActive = false;
    q.midiManager->requestComplete = true;
    q.sendSysExInitialization();
    q.midiManager->stopAndJoin();
    EXPECT_EQ(job.load(), kJobDeviceIdEnquiry);
    EXPECT_FALSE(completeAtStart.load());

    const IMidiMsg note(0, 0x90, 60, 100);
    testing::internal::CaptureStdout();
    const bool first = DebuggerOutput::compareMIDIdata(&q, note);
    const bool again = DebuggerOutput::compareMIDIdata(&q, note);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Plug-in MIDI In  ");
    EXPECT_FALSE(first);
    EXPECT_TRUE(again);
}
