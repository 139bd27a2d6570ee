// Library writes against the synthesizer simulator on the private JACK server: a library bank
// stored into a memory bank of the simulator, its pace read from the simulator's record, and
// single entries of a short bank sent past its end.
#include "Project_Source/src/PatchInitData.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "controller_editor_support.h"
#include "sim_jack_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

using editortest::TextRecorder;

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

Bytes tail(const Bytes& b, size_t from) { return Bytes(b.begin() + long(from), b.end()); }

struct Rig {
    // The upper pane shows a program bank of count entries.
    explicit Rig(int count, bool initPrograms = false)
    {
        std::string error;
        started = sim.start(SYNTH_SIM_EXE,
                            {"--name", "libwrite" + std::to_string(::getpid()), "--record", record, "--device-id", "15"},
                            error);
        EXPECT_TRUE(started) << error;
        if (!started) return;
        e = std::make_unique<editortest::Editor>("a\nnormal\nyes\n\n\n");
        QOR& q = *e->plug;
        simjack::connect(q, sim);
        EXPECT_TRUE(q.midiIOSet);
        EXPECT_TRUE(simjack::waitIdle(q));
        if (initPrograms) {
            // The init program under its own name in each slot.
            for (int s = 0; s < count; ++s) {
                Bytes m = PatchInitData::programMessage(bankgen::modelCodeOf(0x20));
                const std::string name = "Entry " + std::to_string(s);
                std::copy(name.begin(), name.end(), m.begin() + 10);
                entries.push_back({m});
            }
        } else {
            entries = bankgen::makeBank(bankgen::Kind::Programs, 0x20, count, 5).entries;
        }
        PatchLibrarian& lib = *q.patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        auto* bank = new PatchFile;
        bank->patches.resize(entries.size());
        for (size_t s = 0; s < entries.size(); ++s) bank->patches[s].messages.push_back(PatchSysexMessage{entries[s][0]});
        lib.singleFiles.push_back(lib.adoptBank(bank));
        lib.currentKind = kPatchFilePrograms;
        lib.upperFileIndex = int(lib.singleFiles.size()) - 1;
    }
    ~Rig()
    {
        if (e) e->plug->midiManager->stopAndJoin();
        if (started) sim.stop();
    }
    PatchFile& upper() { return *e->plug->patchLibrarian->singleFiles.back(); }
    // What reached the simulator since the last call, without the set-up's messages.
    std::vector<synthsim::RecordLine> arrived() { return simjack::arrived(record, seen); }
    // The whole upper bank into bank C; the status and progress texts in the order they showed.
    std::pair<std::vector<std::string>, std::vector<std::string>> writeBankC()
    {
        QOR& q = *e->plug;
        IText font;
        TextRecorder status(&q, &font), progress(&q, &font);
        ITextControl* const shownStatus = q.statusDisplay;
        ITextControl* const shownProgress = q.valueDisplay;
        q.statusDisplay = &status;
        q.valueDisplay = &progress;
        q.SendAllProgramsFromLibrarian(2);
        // The job ends with the texts: the displays stay set in until then.
        for (int i = 0; i < 30000 && !q.midiManager->threadIdle(kJobThread); ++i) usleep(1000);
        EXPECT_TRUE(q.midiManager->threadIdle(kJobThread));
        q.statusDisplay = shownStatus;
        q.valueDisplay = shownProgress;
        return {status.texts(), progress.texts()};
    }
    std::vector<Bytes> synthBank(const std::string& file) { return simjack::memoryFile(sim, simDir.file("memory"), file); }

    testsupport::TempDir simDir;
    std::string record = simDir.file("record.txt");
    synthsim::SimProcess sim;
    bool started = false;
    std::unique_ptr<editortest::Editor> e;
    std::vector<std::vector<Bytes>> entries;
    size_t seen = 0;
};

// The dumps of a write as the simulator recorded them; the seconds from the first to the last.
std::vector<Bytes> dumpsOf(const std::vector<synthsim::RecordLine>& lines, double& seconds)
{
    std::vector<Bytes> out;
    double first = -1, last = -1;
    for (const auto& line : lines) {
        if (line.bytes.size() < 10 || line.bytes[0] != 0xF0) continue;
        out.push_back(line.bytes);
        if (first < 0) first = line.time;
        last = line.time;
    }
    seconds = last - first;
    return out;
}

} // namespace

TEST(LibraryWritesJack, AProgramBankLandsInBankCAtThePeriodsPace)
{
    Rig r(128);
    ASSERT_TRUE(r.started);
    r.arrived();
    QOR& q = *r.e->plug;
    // The cable would need 128 x 297 / 3125 = 12.2 s.
    double seconds[2] = {};
    const int periods[2] = {50, 100};
    for (int t = 0; t < 2; ++t) {
        SCOPED_TRACE(periods[t]);
        q.GetParam(kLibSyncTimer)->Set(t == 0 ? 0 : 2);
        const auto [status, progress] = r.writeBankC();
        ASSERT_GE(status.size(), 2u);
        EXPECT_EQ(status[status.size() - 2], "Writing 99%, please wait..");
        EXPECT_EQ(status.back(), "Data write completed!");
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), "Processed 127/127");

        const auto sent = dumpsOf(r.arrived(), seconds[t]);
        std::printf("bank of 128 programs at %d ms: %.2f s from the first dump to the last\n", periods[t], seconds[t]);
        EXPECT_EQ(sent.size(), 128u);
        for (size_t s = 0; s < sent.size(); ++s) {
            ASSERT_EQ(sent[s].size(), 297u) << s;
            EXPECT_EQ(Bytes(sent[s].begin() + 5, sent[s].begin() + 10), (Bytes{0x20, 0x0F, 0x02, 0x07, uint8_t(s)})) << s;
        }
        const auto memory = r.synthBank("programs-C.syx");
        ASSERT_EQ(memory.size(), 128u);
        for (size_t s = 0; s < memory.size(); ++s) EXPECT_EQ(tail(memory[s], 10), tail(r.entries[s][0], 10)) << s;
        // 127 periods lie between the first dump and the last; the job thread adds little to them.
        EXPECT_GE(seconds[t], 127 * periods[t] / 1000.0 * 0.98);
        EXPECT_LE(seconds[t], 127 * periods[t] / 1000.0 * 1.25);
    }
}

TEST(LibraryWritesJack, AShortBankIsPaddedAndOnlyAFilledSlotIsSent)
{
    Rig r(100, true);
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    EXPECT_EQ(r.upper().patches.size(), 100u);
    // The editor loads an entry into its parameters and sends those: the entry reaches the
    // synthesizer whole.
    const struct {
        int slot;
        size_t dumps;
    } cases[] = {{99, 1}, {120, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        r.arrived();
        testing::internal::CaptureStdout();
        q.sendPatchToDeviceFromLibrarian(c.slot, 0, 0);
        ASSERT_TRUE(simjack::waitIdle(q));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(r.upper().patches.size(), 128u);
        double unused = 0;
        const auto sent = dumpsOf(r.arrived(), unused);
        ASSERT_EQ(sent.size(), c.dumps);
        if (c.dumps) {
            // The edit buffer of part 0: type 00 and the part, one header byte shorter.
            ASSERT_EQ(sent[0].size(), 296u);
            EXPECT_EQ(Bytes(sent[0].begin() + 5, sent[0].begin() + 9), (Bytes{0x20, 0x0F, 0x00, 0x00}));
            EXPECT_EQ(bankgen::programBody(sent[0]), bankgen::programBody(r.entries[size_t(c.slot)][0]));
        }
    }
}
