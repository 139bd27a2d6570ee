// The randomize command's steps against the synthesizer simulator on the private JACK server:
// draw, walk the part on screen, send it (job 2) and read it back (job 7). One program dump goes
// out and nothing per parameter; what comes back is the simulator's edit buffer, whose byte 244
// decides the three envelope switches.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"
#include "sim_jack_support.h"
#include "syxfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

constexpr int kPart = 5;

using simjack::edit;

// What the editor would hold after taking dump in with no section locked.
std::map<int, double> parsed(const Bytes& dump)
{
    const int part = dump[ProgramDump::kPartAt];
    const ProgramDump::Locks none([](int) { return 0.0; }, part);
    std::map<int, double> values;
    ProgramDump::readParameters(dump.data(), part, none, [&](int id, double v) { values[id] = v; });
    return values;
}

} // namespace

TEST(ProgramRandomizerJack, OneDumpGoesOutAndTheReadBackShowsTheSynthesizersValues)
{
    testsupport::TempDir simDir;
    synthsim::SimProcess sim;
    std::string error;
    const std::string record = simDir.file("record.txt");
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "randomize" + std::to_string(::getpid()), "--record", record, "--device-id", "15"},
                          error))
        << error;
    editortest::Editor e("a\nnormal\nyes\n\n\n");
    QOR& q = *e.plug;
    MIDIMessageManager& m = *q.midiManager;
    simjack::connect(q, sim);
    ASSERT_TRUE(q.midiIOSet);
    ASSERT_TRUE(simjack::waitIdle(q));
    // The part on screen, selected on the simulator too.
    edit(q, kQuickTab, kPart);
    ASSERT_TRUE(simjack::waitIdle(q));
    ASSERT_EQ(q.selectedPart, kPart);
    const int shown = q.selectedPart;

    // Envelope triggering code 0 switches all three envelopes off; the second is chosen so that
    // the draw switches the third one on.
    q.GetParam(kEnvelopeTriggering + shown)->Set(0);
    std::time_t second = 1800000000;
    m.randomSeedClock = [&second] { return second; };
    for (m.randomGenerator(); q.randomTable[ProgramDump::kEnvelopeTriggeringAt] % 2 == 0; m.randomGenerator()) ++second;
    // The part select's last message (data entry 76 + part) has reached the simulator.
    const Bytes partSelected = {uint8_t(0xB0 | q.globalChannel()), 6, uint8_t(76 + kPart)};
    std::vector<synthsim::RecordLine> lines;
    for (int i = 0; i < 2000; ++i, usleep(1000)) {
        lines = synthsim::readRecordFile(record);
        if (!lines.empty() && lines.back().bytes == partSelected) break;
    }
    ASSERT_EQ(lines.back().bytes, partSelected);
    const size_t linesBefore = lines.size();

    std::map<int, double> before;
    for (int i = 0; i < q.NParams(); ++i) before[i] = q.GetParam(i)->Value();
    m.randomGenerator();
    m.randomizePatchSettings(shown);
    std::map<int, double> randomized;
    for (int i = 0; i < q.NParams(); ++i)
        if (q.GetParam(i)->Value() != before[i]) randomized[i] = q.GetParam(i)->Value();
    EXPECT_GT(randomized.size(), 150u);
    EXPECT_EQ(q.GetParam(kEnvelope3Triggering + shown)->Value(), 1.0);

    SenderJobRecord send;
    send.job = kJobSendPart, send.part = shown, send.storeIntoLibrary = false;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(m.startJob(send));
    ASSERT_TRUE(simjack::waitIdle(q));
    SenderJobRecord readBack;
    readBack.job = kJobRequestPart, readBack.part = shown, readBack.toEditor = true;
    ASSERT_TRUE(m.startJob(readBack, [&m] { m.expectingEditDump = true; }));
    ASSERT_TRUE(simjack::waitIdle(q));
    testing::internal::GetCapturedStdout();
    KIT_String status("", 0, 256);
    q.statusDisplay->GetTextCopy(&status);
    EXPECT_STREQ(status.Get(), "Data request completed!");

    // Into the simulator: the one dump of the part, then the request; nothing per parameter.
    lines = synthsim::readRecordFile(record);
    std::vector<Bytes> in;
    for (size_t i = linesBefore; i < lines.size(); ++i)
        if (lines[i].direction == "in") in.push_back(lines[i].bytes);
    ASSERT_EQ(in.size(), 2u);
    ASSERT_EQ(in[0].size(), ProgramDump::kSize);
    EXPECT_EQ(in[0][ProgramDump::kPartAt], shown);
    EXPECT_EQ(in[0][ProgramDump::kEnvelopeTriggeringAt], ProgramDump::kEnvelopeTriggeringOffset);
    EXPECT_EQ(in[1].size(), 9u);

    sim.command("dump " + simDir.path);
    std::string line;
    ASSERT_TRUE(sim.readLine(line, 5000));
    synthsim::SplitResult edits;
    ASSERT_TRUE(synthsim::readSyxFile(simDir.file("edit-buffers.syx"), edits, error)) << error;
    ASSERT_GT(edits.messages.size(), size_t(shown));
    const Bytes& buffer = edits.messages[size_t(shown)];
    ASSERT_EQ(buffer.size(), ProgramDump::kSize);

    // Every program parameter of the part is the simulator's; the envelope switches follow its
    // byte 244 (all off), not the randomized third switch.
    const auto synth = parsed(buffer);
    int differing = 0;
    for (const auto& [id, v] : synth)
        if (q.GetParam(id)->Value() != v && ++differing <= 5)
            ADD_FAILURE() << "parameter " << id << " editor " << q.GetParam(id)->Value() << " synthesizer " << v;
    EXPECT_EQ(differing, 0);
    for (int id : ProgramDump::kEnvelopeSwitchIds) EXPECT_EQ(q.GetParam(id + shown)->Value(), 0.0) << id;

    // The randomized values came through the round trip, but for the third envelope switch.
    for (const auto& [id, v] : randomized) {
        if (id == kEnvelope3Triggering + shown) continue;
        EXPECT_EQ(q.GetParam(id)->Value(), v) << "parameter " << id;
    }
    m.stopAndJoin();
    sim.stop();
}
