// Requests into library slots against the synthesizer simulator on the private JACK server: one
// stored program, the edit buffer and a whole bank arrive in the upper pane's bank as the
// simulator's memory holds them.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "sim_jack_support.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"
#include "tools/synth-sim/syxfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace qorid;

namespace
{

using Bytes = std::vector<uint8_t>;

void edit(QOR& q, int id, double value)
{
    q.GetParam(id)->Set(value);
    testing::internal::CaptureStdout();
    q.OnParamChange(id);
    testing::internal::GetCapturedStdout();
}

void waitIdle(QOR& q)
{
    for (int i = 0; i < 60000 && !q.midiManager->threadIdle(kJobThread); ++i) usleep(1000);
    ASSERT_TRUE(q.midiManager->threadIdle(kJobThread));
}

int indexOf(const std::vector<std::string>* names, const std::string& name)
{
    const auto at = std::find(names->begin(), names->end(), name);
    return at == names->end() ? -1 : int(at - names->begin());
}

// Program banks A and B and performance bank A, entries named after their bank and slot, as a
// seed file of the simulator.
std::string seedFile(testsupport::TempDir& dir)
{
    std::vector<Bytes> seed = bankgen::synthBanks(bankgen::Kind::Programs, 2);
    for (Bytes& m : bankgen::synthBanks(bankgen::Kind::Performances, 1)) seed.push_back(std::move(m));
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile(seed));
    return dir.file("seed.syx");
}

struct Rig {
    Rig()
    {
        std::string error;
        started = sim.start(SYNTH_SIM_EXE,
                            {"--name", "libreq" + std::to_string(::getpid()), "--device-id", "15", "--load",
                             seedFile(simDir), "--record", simDir.file("record.txt")},
                            error);
        EXPECT_TRUE(started) << error;
        if (!started) return;
        e = std::make_unique<editortest::Editor>("a\nnormal\nyes\n\n\n");
        QOR& q = *e->plug;
        // Input first, so the enquiry that choosing the output starts is answered.
        edit(q, kDeviceInSelection, indexOf(q.getExternalMIDIInNames(), sim.outputPort()));
        edit(q, kDeviceOutSelection, indexOf(q.getExternalMIDIOutNames(), sim.inputPort()));
        EXPECT_TRUE(q.midiIOSet);
        waitIdle(q);
        PatchLibrarian& lib = *q.patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        lib.singleFiles.push_back(lib.adoptBank(new PatchFile));
        lib.multiFiles.push_back(lib.adoptBank(new PatchFile));
        lib.upperFileIndex = int(lib.singleFiles.size()) - 1;
        EXPECT_EQ(lib.upperFileIndex, int(lib.multiFiles.size()) - 1);
    }
    ~Rig()
    {
        if (e) e->plug->midiManager->stopAndJoin();
        sim.stop();
    }
    PatchFile& upper() { return *e->plug->patchLibrarian->singleFiles.back(); }
    PatchFile& upperMultis() { return *e->plug->patchLibrarian->multiFiles.back(); }
    // The librarian and the simulator on performances of model 20 or 21; job 9 or 10 started as
    // the librarian's menus start them.
    void performances(int job, int bank, bool secondModel)
    {
        QOR& q = *e->plug;
        sim.command(secondModel ? "option model 21" : "option model 20");
        q.currentModel = secondModel;
        q.performanceMode = true;
        q.patchLibrarian->currentKind = 1;
        SenderJobRecord record;
        record.job = job;
        record.bank = bank;
        EXPECT_TRUE(q.midiManager->startJob(record, [&q] {
            q.midiManager->armRequestBuffer(1);
            q.midiManager->requestComplete = false;
        }));
        waitIdle(q);
    }
    std::vector<Bytes> synthBank(const std::string& file) { return simjack::memoryFile(sim, simDir.file("memory"), file); }
    // Job 12 for bank at the given poll period entry; the seconds it took.
    double bank(int bank, int timerEntry)
    {
        QOR& q = *e->plug;
        q.GetParam(kLibSyncTimer)->Set(timerEntry);
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_TRUE(q.midiManager->sendAllPatchRequestSysexFromLibrarian(bank));
        waitIdle(q);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }

    testsupport::TempDir simDir;
    synthsim::SimProcess sim;
    bool started = false;
    std::unique_ptr<editortest::Editor> e;
};

Bytes bytesOf(const SysexBytes& b)
{
    return Bytes(b.begin(), b.end());
}

} // namespace

TEST(LibraryRequestsJack, SingleProgramsAndABankArriveAsTheSynthesizerHoldsThem)
{
    Rig r;
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    PatchLibrarian& lib = *q.patchLibrarian;

    // Bank B slot 17, stored: the slot holds the answer unchanged.
    lib.upperSlot = 17;
    ASSERT_TRUE(q.midiManager->sendSinglePatchRequestSysexFromLibrarian(false, 1));
    waitIdle(q);
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
    ASSERT_EQ(r.upper().patches.size(), 128u);
    ASSERT_EQ(r.upper().patches[17].messages.size(), 1u);
    EXPECT_EQ(bytesOf(r.upper().patches[17].messages[0].bytes), r.synthBank("programs-B.syx")[17]);
    EXPECT_EQ(r.upper().patches[17].name, "B17             ");

    // The edit buffer into slot 3: the library form with the drop slot.
    lib.upperSlot = 3;
    lib.dropSlot = 11;
    ASSERT_TRUE(q.midiManager->sendSinglePatchRequestSysexFromLibrarian(true, 0));
    waitIdle(q);
    ASSERT_EQ(r.upper().patches[3].messages.size(), 1u);
    const Bytes edited = bytesOf(r.upper().patches[3].messages[0].bytes);
    ASSERT_EQ(edited.size(), 297u);
    EXPECT_EQ(Bytes(edited.begin() + 7, edited.begin() + 10), (Bytes{0x02, 0x05, 0x0B}));

    // All of bank A at the shortest period.
    const double seconds = r.bank(0, 0);
    std::printf("bank of 128 programs at 50 ms: %.1f s\n", seconds);
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
    EXPECT_EQ(r.e->text(q.valueDisplay), "Processed 127/127");
    EXPECT_EQ(lib.upperSlot, 0);
    const auto memory = r.synthBank("programs-A.syx");
    ASSERT_EQ(memory.size(), 128u);
    for (size_t s = 0; s < 128; ++s) {
        ASSERT_EQ(r.upper().patches[s].messages.size(), 1u) << s;
        EXPECT_EQ(bytesOf(r.upper().patches[s].messages[0].bytes), memory[s]) << s;
        EXPECT_EQ(r.upper().patches[s].name, std::string(memory[s].begin() + 10, memory[s].begin() + 26)) << s;
    }
}

TEST(LibraryRequestsJack, PerformancesArriveWithTheirFollowUpsAtTheSecondModel)
{
    Rig r;
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    q.GetParam(kLibSyncTimer)->Set(0); // 50 ms
    for (bool second : {false, true}) {
        SCOPED_TRACE(second);
        q.patchLibrarian->upperSlot = 9;
        r.performances(kJobRequestSingleMulti, 0, second);
        EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
        const auto memory = r.synthBank("performances-A.syx");
        const LibrarianPatch& e = r.upperMultis().patches[9];
        ASSERT_EQ(e.messages.size(), second ? 2u : 1u);
        for (size_t m = 0; m < e.messages.size(); ++m) EXPECT_EQ(bytesOf(e.messages[m].bytes), memory[18 + m]) << m;
        EXPECT_EQ(e.name, "A9              ");
    }
    // The whole bank at the second model: two messages a slot.
    r.performances(kJobRequestAllMultis, 0, true);
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
    const auto memory = r.synthBank("performances-A.syx");
    for (size_t s = 0; s < 128; ++s) {
        const LibrarianPatch& e = r.upperMultis().patches[s];
        ASSERT_EQ(e.messages.size(), 2u) << s;
        EXPECT_EQ(bytesOf(e.messages[0].bytes), memory[2 * s]) << s;
        EXPECT_EQ(bytesOf(e.messages[1].bytes), memory[2 * s + 1]) << s;
    }
}

// The bank's time against the cable's 128 x 297 / 3125 = 12.2 s, at two periods, with and
// without the simulator pacing its answers as a cable would. Run by hand:
//   --gtest_also_run_disabled_tests --gtest_filter=*BankTimes*
TEST(LibraryRequestsJack, DISABLED_BankTimesAtTwoPeriodsWithAndWithoutACablesPace)
{
    Rig r;
    ASSERT_TRUE(r.started);
    for (bool throttle : {false, true}) {
        r.sim.command(throttle ? "option throttle" : "option throttle 0");
        for (int entry : {0, 2}) {
            const double seconds = r.bank(0, entry);
            std::printf("period %d ms, %s: %.1f s\n", entry ? 100 : 50, throttle ? "throttled" : "unthrottled",
                        seconds);
            EXPECT_EQ(r.e->text(r.e->plug->statusDisplay), "Data request completed!");
        }
    }
}
