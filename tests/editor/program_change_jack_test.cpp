// Bank selects and program changes against the synthesizer simulator on the private JACK server:
// the messages arrive in their order and the simulator loads what they select; a program change
// of a part with a section lock sends the part's program back.
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/SysexFamily.h"
#include "controller_editor_support.h"
#include "sim_jack_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

struct Rig {
    explicit Rig(const std::vector<std::pair<std::string, bankgen::Bytes>>& banks = {},
                 const std::vector<std::string>& options = {})
    {
        std::string error;
        std::vector<std::string> args{
            "--name", "progchange" + std::to_string(::getpid()), "--record", record, "--device-id", "15"};
        args.insert(args.end(), options.begin(), options.end());
        started = sim.start(SYNTH_SIM_EXE, args, error);
        EXPECT_TRUE(started) << error;
        if (!started) return;
        // The editor lists the ports at its start: the simulator's are open by then.
        e = std::make_unique<editortest::Editor>("a\nnormal\nyes\n\n\n", true, banks);
        QOR& q = *e->plug;
        simjack::connect(q, sim);
        EXPECT_TRUE(q.midiIOSet);
        EXPECT_TRUE(simjack::waitIdle(q));
    }
    ~Rig()
    {
        if (e) e->plug->midiManager->stopAndJoin();
        if (started) sim.stop();
    }
    // What reached the simulator since the last call, without the set-up's messages.
    std::vector<synthsim::RecordLine> arrived() { return simjack::arrived(record, seen); }

    testsupport::TempDir simDir;
    std::string record = simDir.file("record.txt");
    synthsim::SimProcess sim;
    bool started = false;
    std::unique_ptr<editortest::Editor> e;
    size_t seen = 0;
};

} // namespace

TEST(ProgramChangeJack, BankChangesArriveInOrderAndTheSimulatorLoadsWhatTheySelect)
{
    const struct {
        const char* what;
        bool performance;
        std::vector<Bytes> sent;
        std::string loaded; // the simulator's note on the program change
    } cases[] = {
        {"part 3 on channel 4, bank 2, program 10",
         false,
         {{0xB4, 0x7B, 0x00}, {0xB4, 0x00, 0x00}, {0xB4, 0x20, 0x07}, {0xC4, 0x0A}},
         "program change 10: part 5 (bank C)"},
        {"performance bank 1, program 5 on the global channel",
         true,
         {{0xBF, 0x7B, 0x00}, {0xBF, 0x00, 0x00}, {0xBF, 0x20, 0x61}, {0xCF, 0x05}},
         "program change: performance bank B slot 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        ASSERT_TRUE(r.started);
        r.arrived();
        QOR& q = *r.e->plug;
        q.GetParam(kMultiPartBank + 3)->Set(2);
        q.GetParam(kMultiPartPatch + 3)->Set(10);
        q.GetParam(kMultiPartMIDICh + 3)->Set(4);
        q.GetParam(kMultiBank)->Set(1);
        q.GetParam(kMultiPatch)->Set(5);
        q.GetParam(kGlobalMidiChannel)->Set(15);
        q.performanceMode = c.performance;
        testing::internal::CaptureStdout();
        EXPECT_TRUE(q.BankChangeMessage(3));
        testing::internal::GetCapturedStdout();
        std::vector<Bytes> got;
        std::string note;
        for (const auto& line : r.arrived()) {
            got.push_back(line.bytes);
            if ((line.bytes[0] & 0xF0) == 0xC0) note = line.note;
        }
        EXPECT_EQ(got, c.sent);
        EXPECT_EQ(note, c.loaded);
    }
}

TEST(ProgramChangeJack, APartWithASectionLockSendsItsProgramBackAndOneWithoutDoesNot)
{
    for (const bool locked : {true, false}) {
        SCOPED_TRACE(locked);
        Rig r;
        ASSERT_TRUE(r.started);
        r.arrived();
        r.e->plug->GetParam(kSectionLockFilter + 3)->Set(locked ? 1 : 0);
        testing::internal::CaptureStdout();
        r.e->plug->sendPartDataBackToHardware(3);
        ASSERT_TRUE(simjack::waitIdle(*r.e->plug));
        testing::internal::GetCapturedStdout();
        size_t dumps = 0;
        for (const auto& line : r.arrived())
            if (line.bytes.size() == ProgramDump::kSize && line.bytes[ProgramDump::kPartAt] == 3) ++dumps;
        EXPECT_EQ(dumps, locked ? 1u : 0u);
    }
}

TEST(ProgramChangeJack, ALibraryPerformanceIsFollowedByThePartsThenSentBackAndRequested)
{
    const bankgen::Bank bank = bankgen::makeBank(bankgen::Kind::Performances, 0x20, 128, 7);
    // The parts' program changes leave the simulator's edit-buffer answer at a program, where
    // the request after them asks for the performance: it answers with the performance here.
    Rig r({{"Perf.syx", bankgen::rawFile(bankgen::messagesOf(bank))}}, {"--edit-reply", "performance"});
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    PatchLibrarian& lib = *q.patchLibrarian;
    ASSERT_EQ(lib.multiFiles.size(), 1u);
    lib.currentKind = kPatchFilePerformances;
    lib.upperFileIndex = 0;
    q.performanceMode = true;
    r.arrived();
    testing::internal::CaptureStdout();
    q.sendPatchToDeviceFromLibrarian(9, 0, 0);
    ASSERT_TRUE(simjack::waitIdle(q));
    testing::internal::GetCapturedStdout();
    // Order only: job 4 sends the entry, then the parts' three messages each, then the
    // performance goes again, then its request.
    std::vector<std::string> order;
    for (const auto& line : r.arrived()) {
        const Bytes& b = line.bytes;
        if (b[0] != 0xF0)
            order.push_back((b[0] & 0xF0) == 0xC0 ? "pc" : "cc");
        else if (b.size() == SysexFamily::kPerformanceDumpSize && b[SysexFamily::kTypeAt] == 0x05)
            order.push_back("performance");
        else if (b[SysexFamily::kTypeAt] == SysexFamily::kTypeRequestEditBuffer)
            order.push_back("request");
    }
    std::vector<std::string> expected{"performance"};
    for (int p = 0; p < 8; ++p) expected.insert(expected.end(), {"pc", "cc", "pc"});
    expected.insert(expected.end(), {"performance", "request"});
    EXPECT_EQ(order, expected);
}
