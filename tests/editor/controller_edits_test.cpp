// Edits through the configured controls reach the in-process synthesizer byte for byte, and the
// simulator, which reads its own copy of the chart, says which parameter each one moved.
#include "Project_Source/src/ControlAction.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "controller_edits_support.h"

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
        if (!lines.empty()) EXPECT_NE(lines.back().find(c.note), std::string::npos) << c.what << ": " << lines.back();
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
