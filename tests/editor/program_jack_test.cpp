// A program round trip against the synthesizer simulator on the private JACK server, for both
// model bytes: every parameter the dump carries for part 4 gets a random value in its range, the
// send puts it into the simulator's edit buffer, and after the editor has forgotten it the part
// request brings back every value and a second send sends the same bytes.
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
#include <random>

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

constexpr int kPart = 3;

using simjack::edit;

void runJob(QOR& q, int job)
{
    ASSERT_TRUE(simjack::waitIdle(q));
    SenderJobRecord r;
    r.job = job, r.part = kPart, r.toEditor = true;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(q.midiManager->startJob(r));
    const bool idle = simjack::waitIdle(q);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(idle);
}

// The range of values a field of part can hold: its parameter's range within what its byte carries.
std::pair<int, int> rangeOf(QOR& q, const ProgramDump::Field& f)
{
    const IParam* p = q.GetParam(ProgramDump::idFor(f, kPart));
    const bool whole = f.coding == ProgramDump::Coding::Offset;
    const int lo = std::max(int(std::ceil(p->GetMin())), whole ? -f.offset : 0);
    const int hi = std::min(int(std::floor(p->GetMax())), whole ? 127 - f.offset : int(f.maxValue));
    return {lo, hi};
}

std::vector<Bytes> programDumpsIn(const std::string& record)
{
    std::vector<Bytes> out;
    for (const auto& line : synthsim::readRecordFile(record))
        if (line.direction == "in" && line.bytes.size() == ProgramDump::kSize) out.push_back(line.bytes);
    return out;
}

} // namespace

TEST(ProgramJack, ARandomProgramGoesToTheSynthesizerAndComesBackWhole)
{
    for (const int model : {0x20, 0x21}) {
        SCOPED_TRACE(model);
        testsupport::TempDir simDir;
        synthsim::SimProcess sim;
        std::string error;
        const std::string record = simDir.file("record.txt");
        ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                              {"--name", "program" + std::to_string(::getpid()), "--record", record, "--device-id",
                               "15", "--model", model == 0x20 ? "0x20" : "0x21", "--strict-model"},
                              error))
            << error;
        editortest::Editor e("a\nnormal\nyes\n\n\n");
        QOR& q = *e.plug;
        q.currentModel = model - 0x20;
        simjack::connect(q, sim);
        ASSERT_TRUE(q.midiIOSet);
        ASSERT_TRUE(simjack::waitIdle(q));

        std::mt19937 random(4300 + model);
        std::map<int, double> sent;
        for (const ProgramDump::Field& f : ProgramDump::fields()) {
            const auto [lo, hi] = rangeOf(q, f);
            ASSERT_LE(lo, hi) << "byte " << f.at;
            const int id = ProgramDump::idFor(f, kPart);
            sent[id] = std::uniform_int_distribution<int>(lo, hi)(random);
            q.GetParam(id)->Set(sent[id]);
        }
        q.GetParam(kPatchName + kPart)->SetDisplayText(0, "JACK Round Four");
        runJob(q, kJobSendPart);

        // What the simulator holds in part 4's edit buffer is what it received.
        sim.command("dump " + simDir.path);
        std::string line;
        ASSERT_TRUE(sim.readLine(line, 5000));
        synthsim::SplitResult edits;
        ASSERT_TRUE(synthsim::readSyxFile(simDir.file("edit-buffers.syx"), edits, error)) << error;
        ASSERT_GT(edits.messages.size(), size_t(kPart));
        auto dumps = programDumpsIn(record);
        ASSERT_EQ(dumps.size(), 1u);
        EXPECT_EQ(dumps[0][5], model);
        EXPECT_EQ(Bytes(edits.messages[kPart].begin() + 9, edits.messages[kPart].begin() + 295),
                  Bytes(dumps[0].begin() + 9, dumps[0].begin() + 295));

        // The editor forgets part 4, selects it on the synthesizer and asks for it.
        for (const auto& [id, v] : sent) {
            const IParam* p = q.GetParam(id);
            q.GetParam(id)->Set(v == p->GetMin() ? p->GetMax() : p->GetMin());
        }
        q.GetParam(kPatchName + kPart)->SetDisplayText(0, "");
        edit(q, kQuickTab, kPart);
        runJob(q, kJobRequestPart);
        KIT_String status("", 0, 256);
        q.statusDisplay->GetTextCopy(&status);
        EXPECT_STREQ(status.Get(), "Data request completed!");
        int differing = 0;
        for (const auto& [id, v] : sent)
            if (q.GetParam(id)->Value() != v && ++differing <= 5) ADD_FAILURE() << "parameter " << id << " " << v;
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(q.GetParam(kPatchName + kPart)->CopyDisplayText(0), "JACK Round Four ");

        runJob(q, kJobSendPart);
        dumps = programDumpsIn(record);
        ASSERT_EQ(dumps.size(), 2u);
        EXPECT_EQ(dumps[1], dumps[0]);
        // The request went out between the two dumps, and the answer after it.
        std::vector<std::string> order;
        for (const auto& l : synthsim::readRecordFile(record)) {
            if (l.bytes.size() == ProgramDump::kSize) order.push_back(l.direction + " dump");
            if (l.bytes.size() == 9 && l.bytes[7] == 0x08) order.push_back(l.direction + " request");
        }
        EXPECT_EQ(order, (std::vector<std::string>{"in dump", "in request", "out dump", "in dump"}));
        q.midiManager->stopAndJoin();
        sim.stop();
    }
}
