// Requests into library slots against the in-process synthesizer: one program (job 11) and
// whole banks (job 12), with the simulator's misbehaviours. The pauses do not sleep: each lets
// the simulator's answers arrive, so the passes are counted exactly.
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QORParams.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "insynth_bench.h"
#include "support/bankgen.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"
#include "tools/synth-sim/syxfile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace qorid;

namespace
{

using Bytes = std::vector<uint8_t>;

// Records the parameter changes the jobs dispatch.
class Controller : public testsupport::InSynthQOR
{
public:
    using InSynthQOR::InSynthQOR;
    void OnParamChange(int idx) override
    {
        {
            std::lock_guard<std::mutex> lock(mLock);
            changes.push_back(idx);
        }
        if (idx == kRefreshFolders && beforeRefresh) beforeRefresh();
        if (idx != kRefreshFolders || refreshFolders) InSynthQOR::OnParamChange(idx);
    }
    // Runs as the folders are read again (set it while no job runs).
    std::function<void()> beforeRefresh;
    // Requests go out through here: beforeRequest sees each first (set it while no job runs).
    bool SendMidiSysex(unsigned char* data, int size) override
    {
        if (beforeRequest && data && size > 0) beforeRequest(Bytes(data, data + size));
        if (refuseRequest && data && size > 0 && refuseRequest(Bytes(data, data + size))) return false;
        if (holdRequest && data && size > 0 && holdRequest(Bytes(data, data + size))) return true;
        return InSynthQOR::SendMidiSysex(data, size);
    }
    std::vector<int> changes;
    // Keeps a request from the simulator when it answers true (set it while no job runs).
    std::function<bool(const Bytes&)> holdRequest;
    // Off: the bank under test stays listed after a cancel.
    bool refreshFolders = true;
    std::function<void(const Bytes&)> beforeRequest;
    // The port refuses a request when it answers true (set it while no job runs).
    std::function<bool(const Bytes&)> refuseRequest;
};

struct Bench {
    explicit Bench(synthsim::Options options)
    {
        options.deviceId = options.deviceId == 9 ? 15 : options.deviceId;
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
        testing::internal::CaptureStdout();
        plug = std::make_unique<Controller>(options);
        testing::internal::GetCapturedStdout();
        unsetenv("QOR_BUNDLE_PATH");
        plug->GetParam(kLibSyncTimer)->Set(2); // 100 ms
        plug->deviceId = 15;
        // The synthesizer's program banks A and B and performance bank A hold entries of their own names.
        std::vector<std::string> notes;
        EXPECT_EQ(plug->session.synth().load(bankgen::synthBanks(bankgen::Kind::Programs, 2), notes), 256);
        EXPECT_EQ(plug->session.synth().load(bankgen::synthBanks(bankgen::Kind::Performances, 1), notes), 256);
        // The upper pane shows one bank of 100 entries of each kind.
        PatchLibrarian& lib = *plug->patchLibrarian;
        for (auto* list : {&lib.singleFiles, &lib.multiFiles}) {
            auto* bank = new PatchFile;
            bank->patches.resize(100);
            bank->fileName = "Upper.syx";
            list->push_back(lib.adoptBank(bank));
        }
        // Requests expire on the pauses' clock.
        plug->midiManager->dueClock = [this] {
            std::lock_guard<std::mutex> lock(mHeldLock);
            return clockMs;
        };
        plug->midiManager->sender->onPause = [this](int& ms) {
            if (!realTime) {
                passTime(ms);
                plug->session.output().drain();
            }
            std::lock_guard<std::mutex> lock(mLock);
            pauses.push_back(ms);
            const std::string now = status();
            if (statuses.empty() || statuses.back() != now) statuses.push_back(now);
            if (onPause) onPause(int(pauses.size()), ms);
            if (!realTime) ms = 0;
        };
    }
    ~Bench() { plug.reset(); }
    // As a new bench for the next row of a table, without the cost of a new controller: the
    // simulator with options and its banks, the library's banks of 100 empty entries, the line
    // clean and quiet, the editor's names empty, nothing recorded. Call it while no job runs.
    void reset(synthsim::Options options)
    {
        options.deviceId = options.deviceId == 9 ? 15 : options.deviceId;
        plug->session.output().drain();
        plug->session.synth().reset(options);
        std::vector<std::string> notes;
        EXPECT_EQ(plug->session.synth().load(bankgen::synthBanks(bankgen::Kind::Programs, 2), notes), 256);
        EXPECT_EQ(plug->session.synth().load(bankgen::synthBanks(bankgen::Kind::Performances, 1), notes), 256);
        {
            std::lock_guard<std::recursive_mutex> hold(plug->patchLibrarian->mLock);
            for (PatchFile* bank : {&upper(), &upperMultis()}) bank->patches.assign(100, LibrarianPatch());
            plug->patchLibrarian->currentKind = 0;
        }
        plug->performanceMode = false;
        plug->pendingRequestPart = -1;
        plug->deviceId = 15;
        plug->holdRequest = nullptr;
        plug->beforeRequest = nullptr;
        plug->refuseRequest = nullptr;
        for (int id : {int(kMultiName), int(kPatchName)}) plug->GetParam(id)->SetDisplayText(0, "");
        MIDIMessageManager& m = *plug->midiManager;
        m.disarmRequestBuffers();
        m.expectingEditDump = false;
        m.performanceRequestActive = false;
        m.enquiryEnded(true, 0);
        plug->clearRecords();
        std::lock_guard<std::mutex> lock(mLock);
        std::lock_guard<std::mutex> heldLock(mHeldLock);
        pauses.clear();
        statuses.clear();
        held.clear();
        clockMs += 60000; // the line is quiet
        onPause = nullptr;
    }

    static std::string text(ITextControl* control)
    {
        KIT_String s("", 0, 256);
        if (control) control->GetTextCopy(&s);
        return s.Get();
    }
    std::string status() const { return text(plug->statusDisplay); }
    // A synthesizer that answers lateMs late on the pauses' clock: each request reaches it once
    // the pauses taken since it was sent add up to lateMs. Each pause takes a millisecond more
    // than asked, as a sleep does. A request that answered refuses never reaches it.
    void answerLate(int lateMs, std::function<bool(const Bytes&)> answered = {})
    {
        plug->holdRequest = [this, lateMs, answered](const Bytes& request) {
            std::lock_guard<std::mutex> lock(mHeldLock);
            if (!answered || answered(request)) held.push_back({clockMs + lateMs, request});
            return true;
        };
    }
    void passTime(int ms)
    {
        std::vector<Bytes> due;
        {
            std::lock_guard<std::mutex> lock(mHeldLock);
            clockMs += ms + 1;
            while (!held.empty() && held.front().first <= clockMs) {
                due.push_back(held.front().second);
                held.erase(held.begin());
            }
        }
        for (Bytes& r : due) plug->InSynthQOR::SendMidiSysex(r.data(), int(r.size()));
    }
    void wait()
    {
        while (!plug->midiManager->threadIdle(kJobThread)) usleep(1000);
        if (statuses.empty() || statuses.back() != status()) statuses.push_back(status());
    }
    void single(bool currentBuffer, int bank)
    {
        testing::internal::CaptureStdout();
        ASSERT_TRUE(plug->midiManager->sendSinglePatchRequestSysexFromLibrarian(currentBuffer, bank));
        wait();
        testing::internal::GetCapturedStdout();
    }
    void all(int bank)
    {
        testing::internal::CaptureStdout();
        ASSERT_TRUE(plug->midiManager->sendAllPatchRequestSysexFromLibrarian(bank));
        wait();
        testing::internal::GetCapturedStdout();
    }
    // Job 7: the edit buffer of part into the library.
    void part(int part)
    {
        SenderJobRecord record;
        record.job = kJobRequestPart;
        record.part = part;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(plug->midiManager->startJob(record));
        wait();
        testing::internal::GetCapturedStdout();
    }
    // Job 18, as the start-up and a port's return start it.
    void enquiry()
    {
        SenderJobRecord record;
        record.job = kJobDeviceIdEnquiry;
        plug->expectGlobalDump = true;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(plug->midiManager->startJob(record));
        wait();
        testing::internal::GetCapturedStdout();
    }
    // Job 6 or 7 into the editor, as the editor's Request button and program menu start them.
    void editor(int job)
    {
        SenderJobRecord record;
        record.job = job;
        record.toEditor = true;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(plug->midiManager->startJob(record, [this] { plug->midiManager->expectingEditDump = true; }));
        wait();
        testing::internal::GetCapturedStdout();
    }
    // The synthesizer's performance edit buffer (its dump).
    Bytes performanceEdit()
    {
        for (const Bytes& m : synthBank("edit-buffers.syx"))
            if (m.size() == 381) return m;
        return {};
    }
    // The requests handed to the output, as hex.
    std::vector<Bytes> requests()
    {
        std::vector<Bytes> out;
        for (const auto& m : plug->copy(plug->handed))
            if (m.size() <= 9) out.push_back(m);
        return out;
    }
    // The simulator's memory as it would dump it.
    std::vector<Bytes> synthBank(const std::string& file) { return insynthtest::synthMemoryFile(*plug, dir, file); }
    PatchFile& upper() { return *plug->patchLibrarian->singleFiles[0]; }
    PatchFile& upperMultis() { return *plug->patchLibrarian->multiFiles[0]; }
    // Jobs 9 and 10 as the librarian's menus start them in performance mode.
    void performances(int job, int bank)
    {
        plug->performanceMode = true;
        plug->patchLibrarian->currentKind = 1;
        SenderJobRecord record;
        record.job = job;
        record.bank = bank;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(plug->midiManager->startJob(record, [this] {
            plug->midiManager->armRequestBuffer(1);
            plug->midiManager->requestComplete = false;
        }));
        wait();
        testing::internal::GetCapturedStdout();
    }

    testsupport::TempDir dir;
    std::unique_ptr<Controller> plug;
    std::mutex mLock;
    std::vector<int> pauses;
    std::vector<std::string> statuses;
    std::function<void(int count, int ms)> onPause;
    // Pauses as long as asked, and answers as late as the simulator makes them (set it first).
    bool realTime = false;
    std::mutex mHeldLock;
    int64_t clockMs = 0;
    std::vector<std::pair<int64_t, Bytes>> held;
};

// The simulator and the editor on one model byte.
std::unique_ptr<Bench> atModel(uint8_t model)
{
    synthsim::Options o;
    o.model = model;
    auto b = std::make_unique<Bench>(o);
    b->plug->currentModel = model - 0x20;
    return b;
}

Bytes bytesOf(const SysexBytes& b)
{
    return Bytes(b.begin(), b.end());
}
// The 16-character name at at.
std::string nameOf(const Bytes& m, size_t at)
{
    return m.size() < at + 16 ? std::string() : std::string(m.begin() + long(at), m.begin() + long(at) + 16);
}
bool has(const std::vector<std::string>& list, const std::string& s)
{
    return std::find(list.begin(), list.end(), s) != list.end();
}

} // namespace

TEST(LibraryRequestsInSynth, AStoredProgramLandsUnchangedAndTheEditBufferInItsLibraryForm)
{
    {
        Bench b{synthsim::Options()};
        b.plug->patchLibrarian->upperSlot = 17;
        b.single(false, 1);
        EXPECT_EQ(b.requests(), (std::vector<Bytes>{{0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x13, 0x06, 0x11}}));
        const LibrarianPatch& e = b.upper().patches[17];
        ASSERT_EQ(e.messages.size(), 1u);
        EXPECT_EQ(bytesOf(e.messages[0].bytes), b.synthBank("programs-B.syx")[17]);
        EXPECT_EQ(e.name, "B17             ");
        EXPECT_EQ(b.plug->librarianView->cellText(LibrarianViewControl::kUpperPane, 17), e.name);
        EXPECT_EQ(b.statuses, (std::vector<std::string>{"Data processing, please wait...", "Data request completed!"}));
        EXPECT_EQ(b.pauses, std::vector<int>{100});
        EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
        EXPECT_EQ(b.plug->pendingRequestPart, -1);
    }
    {
        Bench b{synthsim::Options()};
        b.plug->selectedPart = 2;
        // The synthesizer shows the same part: the request's gate takes only that part's dump.
        testing::internal::CaptureStdout();
        b.plug->sendPatchAndPatternToDevice(2, false, false, false, false, false);
        testing::internal::GetCapturedStdout();
        b.plug->patchLibrarian->upperSlot = 4;
        b.plug->patchLibrarian->dropSlot = 9;
        b.single(true, 0);
        EXPECT_EQ(b.requests(), (std::vector<Bytes>{{0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x08}}));
        EXPECT_EQ(b.plug->pendingRequestPart, 2);
        const auto received = b.plug->copy(b.plug->received);
        ASSERT_EQ(received.size(), 1u);
        const LibrarianPatch& e = b.upper().patches[4];
        ASSERT_EQ(e.messages.size(), 1u);
        const Bytes m = bytesOf(e.messages[0].bytes);
        ASSERT_EQ(m.size(), 297u);
        EXPECT_EQ(Bytes(m.begin() + 7, m.begin() + 10), (Bytes{0x02, 0x05, 0x09}));
        EXPECT_EQ(Bytes(m.begin() + 10, m.end()), Bytes(received[0].begin() + 9, received[0].end()));
        EXPECT_EQ(b.status(), "Data request completed!");
    }
}

TEST(LibraryRequestsInSynth, AnAnswerOnTheSecondTryComesInTheSweep)
{
    synthsim::Options o;
    o.answerOnTry = 2;
    Bench b(o);
    b.single(false, 0);
    // The request at 0F, 25 periods, then ids 00 to 0F until the second one at 0F is answered.
    const auto sent = b.requests();
    ASSERT_EQ(sent.size(), 17u);
    for (int id = 0; id < 16; ++id) EXPECT_EQ(sent[size_t(id) + 1][5], id);
    EXPECT_EQ(b.pauses.size(), 25u + 16u);
    EXPECT_EQ(b.upper().patches[0].messages.size(), 1u);
    EXPECT_EQ(b.status(), "Data request completed!");
}

TEST(LibraryRequestsInSynth, ABankFillsAll128SlotsWithTheSynthesizersProgramsInOrder)
{
    for (bool foreign : {false, true}) {
        SCOPED_TRACE(foreign);
        synthsim::Options o;
        o.foreignSysEx = foreign;
        Bench b(o);
        b.plug->patchLibrarian->upperSlot = 40;
        // The part an earlier edit-buffer request waited for does not hold stored programs back.
        b.plug->pendingRequestPart = 2;
        b.all(0);
        const auto memory = b.synthBank("programs-A.syx");
        ASSERT_EQ(memory.size(), 128u);
        ASSERT_EQ(b.upper().patches.size(), 128u);
        for (size_t s = 0; s < 128; ++s) {
            const LibrarianPatch& e = b.upper().patches[s];
            ASSERT_EQ(e.messages.size(), 1u) << s;
            EXPECT_EQ(bytesOf(e.messages[0].bytes), memory[s]) << s;
            EXPECT_EQ(e.name, std::string(memory[s].begin() + 10, memory[s].begin() + 26)) << s;
        }
        // One period and a quarter of one per slot.
        EXPECT_EQ(b.pauses.size(), 256u);
        EXPECT_EQ(b.pauses[0], 100);
        EXPECT_EQ(b.pauses[1], 25);
        const auto last = std::find(b.statuses.begin(), b.statuses.end(), "Please wait! 99% received..");
        ASSERT_NE(last, b.statuses.end());
        EXPECT_EQ(b.statuses.back(), "Data request completed!");
        EXPECT_EQ(Bench::text(b.plug->valueDisplay), "Processed 127/127");
        EXPECT_EQ(b.plug->patchLibrarian->upperSlot, 0);
        EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
    }
}

TEST(LibraryRequestsInSynth, AnAnswerForAnotherSlotIsDroppedAndTheBankKeepsItsOrder)
{
    Bench b{synthsim::Options()};
    const auto memory = b.synthBank("programs-A.syx");
    // Slot 1 is asked for while a repeated answer for slot 0, one for slot 5 and one for slot 1
    // of bank B are still on their way, and a program dump that device 5, where nothing is
    // due, sends unasked: they arrive before its own.
    std::vector<Bytes> strays{memory[0], memory[5], memory[1], b.synthBank("edit-buffers.syx")[0]};
    strays[2][8] = 0x06;
    strays[3][6] = 0x05;
    bool sent = false;
    b.plug->beforeRequest = [&](const Bytes& request) {
        if (sent || request.size() != 9 || request[8] != 1) return;
        sent = true;
        for (Bytes& m : strays) {
            ISysEx sysex(0, m.data(), int(m.size()));
            b.plug->ProcessSysEx(&sysex, true);
        }
    };
    b.all(0);
    b.plug->beforeRequest = nullptr;
    ASSERT_TRUE(sent);
    for (size_t s = 0; s < 128; ++s) {
        const LibrarianPatch& e = b.upper().patches[s];
        ASSERT_EQ(e.messages.size(), 1u) << s;
        EXPECT_EQ(bytesOf(e.messages[0].bytes), memory[s]) << s;
    }
    EXPECT_EQ(b.statuses.back(), "Data request completed!");
}

TEST(LibraryRequestsInSynth, ASlowSynthesizerFillsEachSlotOnlyWithItsOwnProgram)
{
    // Each answer comes late on the pauses' clock (1.9 s unless said). At device id 15 it comes
    // before the sweep asks that id again; at 0 the sweep's repeat is answered too, after the
    // next slot was asked for. Plain dumps name no slot. The jobs run one after the other at
    // once, as a user steps through slots or cancels and asks again; the answers of one are
    // still on their way when the next starts.
    // kPerformance (job 6) and kProgram (job 7) ask for the edit buffer into the editor.
    enum Job { kBank, kSingle, kEditBuffer, kPart, kPerformance, kProgram, kEnquiry };
    struct Step {
        Job job;
        int slot = 0;          // of a single request
        int cancelAt = -1;     // a bank is cancelled once this slot is asked for
        int64_t waitMs = 0;    // the time that passes before the job starts
        bool silent = false;   // the synthesizer answers none of its requests
        int lastAsked = 127;   // the last slot a bank asks for
        bool portAt = false;   // at cancelAt the output port changes instead
        int editorDevice = -1; // the editor's device id from this step on
    };
    const std::vector<int> kAll = {-1};
    const auto kFollow = synthsim::EditReply::Follow, kBoth = synthsim::EditReply::Both,
               kPerformanceReply = synthsim::EditReply::Performance;
    const struct {
        const char* name;
        int device, editorDevice;
        bool plain, performances;
        std::vector<Step> steps;
        std::vector<std::string> ends; // the status each job ends with
        std::vector<int> filled;       // slots that hold their own entries ({-1}: all 128); the others nothing
        int lateMs = 1900;
        int answerEvery = 1; // the synthesizer answers only every n-th request it is sent
        size_t pauses = 0;   // when set, the pauses of the whole sequence
        int answerOnTry = 1;
        synthsim::EditReply editReply = synthsim::EditReply::Follow;
        int enquiries = -1;          // when set, the device-id enquiries (syncs) that reached the synthesizer
        bool ignoresEnquiry = false; // the synthesizer never answers the device-id enquiry
    } cases[] = {
        // clang-format off
        {"stored programs at id 15", 15, 15, false, false, {{kBank, 0, 2}}, {"Data request cancelled!"}, {0, 1}},
        {"stored programs at id 0", 0, 0, false, false, {{kBank, 0, 2}}, {"Data request cancelled!"}, {0, 1}},
        {"program dumps at id 0", 0, 0, true, false, {{kBank, 0, 2}}, {"Data request cancelled!"}, {0, 1}},
        {"performance dumps and follow-ups at id 0", 0, 0, true, true, {{kBank, 0, 2}}, {"Data request CANCELLED!"},
         {0, 1}},
        // The sweep asked the answering id twice: the next slot cleans the line first, so each
        // slot is sure of its answer.
        {"program dumps at id 0, the first request of each slot unanswered", 0, 0, true, false,
         {{kBank, 0, 3}}, {"Data request cancelled!"}, {0, 1, 2}, 100, 1, 0, 2},
        {"program dumps at id 0: a bank cancelled and asked again at once", 0, 0, true, false,
         {{kBank, 0, 2}, {kBank}}, {"Data request cancelled!", "Data request completed!"}, kAll},
        {"program dumps at id 0: slot 3, then slot 4", 0, 0, true, false, {{kSingle, 3}, {kSingle, 4}},
         {"Data request completed!", "Data request completed!"}, {3, 4}},
        {"program dumps at id 0: slot 3, then the bank", 0, 0, true, false, {{kSingle, 3}, {kBank}},
         {"Data request completed!", "Data request completed!"}, kAll},
        // Slot 4 goes once its sync is answered, and 2.4 s is longer than its whole wait.
        {"program dumps at id 0: slot 3 times out, then slot 4", 0, 0, true, false, {{kSingle, 3}, {kSingle, 4}},
         {"CONNECTION TIMED OUT!", "CONNECTION TIMED OUT!"}, {}, 2400},
        {"program dumps at id 0: the edit buffer into slot 5 after a cancelled bank", 0, 0, true, false,
         {{kBank, 0, 2}, {kEditBuffer, 5}}, {"Data request cancelled!", "Data request completed!"}, {0, 1, 5}},
        {"program dumps at id 0: the part request into slot 5 after a cancelled bank", 0, 0, true, false,
         {{kBank, 0, 2}, {kPart, 5}}, {"Data request cancelled!", "Program received to slot(s)"}, {0, 1, 5}},
        {"performance dumps and follow-ups at id 0: a bank cancelled and asked again at once", 0, 0, true, true,
         {{kBank, 0, 2}, {kBank}}, {"Data request CANCELLED!", "Data request completed!"}, kAll},
        {"program dumps at id 0, every other request answered", 0, 0, true, false, {{kBank, 0, 3}, {kSingle, 5}},
         {"CONNECTION TIMED OUT!", "Data request completed!"}, {0, 5}, 1900, 2},
        // A request takes 25 periods and the 13 sweep steps until its answer comes, a bank's slot
        // a settling pause more; a cancel comes in the first pause of its slot. The cancel leaves
        // the line loose: the next bank waits for its sync's answer (38 periods). At id 0 the
        // sweep asks id 0 again before each answer comes, so a repeat follows each: every
        // request after one syncs first (135 more syncs).
        {"stored programs at id 0: the same sequences", 0, 0, false, false,
         {{kBank, 0, 2}, {kBank}, {kSingle, 3}, {kSingle, 4}, {kBank, 0, 5}},
         {"Data request cancelled!", "Data request completed!", "Data request completed!", "Data request completed!",
          "Data request cancelled!"},
         kAll, 1900, 1, 2 * 39 + 1 + 38 + 128 * 39 + 2 * 38 + 5 * 39 + 1 + 135 * 38},
        // At id 15 the answer comes while the sweep is at id 12: ids 0 to 12 stay owed, and the
        // next request syncs first, as at id 0.
        {"stored programs at id 15: the same sequences", 15, 15, false, false,
         {{kBank, 0, 2}, {kBank}, {kSingle, 3}, {kSingle, 4}, {kBank, 0, 5}},
         {"Data request cancelled!", "Data request completed!", "Data request completed!", "Data request completed!",
          "Data request cancelled!"},
         kAll, 1900, 1, 2 * 39 + 1 + 38 + 128 * 39 + 2 * 38 + 5 * 39 + 1 + 135 * 38},
        // Each slot: 25 periods, the sweep from id 0 until the answer to id 3 has come a step
        // later, and the settling pause.
        // An answer from the sweep ends its request at the editor's id too: no sync follows.
        // The ids the sweep asked after id 3 before its answer came stay owed: each later slot
        // syncs at the editor's id, which nobody answers, and waits out the longest reply wait
        // of quiet (98 periods of it left); the cancel comes in the eighth sync.
        {"stored programs at id 3, the editor at 0", 3, 0, false, false, {{kBank, 0, 8}}, {"Data request cancelled!"},
         {0, 1, 2, 3, 4, 5, 6, 7}, 100, 1, 8 * (25 + 5 + 1) + 1 + 7 * 98, 1, kFollow, 8},
        {"program dumps at id 3, the editor at 0", 3, 0, true, false, {{kBank, 0, 8}}, {"Data request cancelled!"},
         {0, 1, 2, 3, 4, 5, 6, 7}, 100, 1, 8 * (25 + 5 + 1) + 1 + 7 * 98},
        {"program dumps at id 0: slot 3 after a long pause that follows an unanswered cancelled bank", 0, 0, true,
         false, {{kBank, 0, 0, 0, true}, {kSingle, 3, -1, 600000}},
         {"Data request cancelled!", "Data request completed!"}, {3}},
        // The performance asked into the editor; its sweep's late answer (with `both` a program
        // dump too) is its own, not the first slot's. A sync goes before the bank, and before
        // each slot whose plain answer came after its sweep had asked id 0 again.
        {"program dumps at id 0: the performance into the editor, then the bank", 0, 0, true, false,
         {{kPerformance}, {kBank, 0, 3}}, {"Data request completed!", "Data request cancelled!"}, {0, 1, 2}, 1900, 1,
         0, 1, kPerformanceReply, 4},
        {"program dumps at id 0: the performance and a program into the editor, then the bank", 0, 0, true, false,
         {{kPerformance}, {kBank, 0, 3}}, {"Data request completed!", "Data request cancelled!"}, {0, 1, 2}, 1900, 1,
         0, 1, kBoth, 4},
        // A silent synthesizer answers again: what it never answered is ended by the sync. Each
        // time-out is followed at once by the same bank, a program or the performance asked.
        // Slots 1 to 3 (cancelled in its sync) each follow a slot whose repeat the sweep asked
        // for: each syncs too.
        {"stored programs at id 0: a silent bank times out, then the same bank", 0, 0, false, false,
         {{kBank, 0, -1, 0, true, 0}, {kBank, 0, 3}}, {"CONNECTION TIMED OUT!", "Data request cancelled!"}, {0, 1, 2},
         1900, 1, 0, 1, kFollow, 1 + 3},
        {"program dumps at id 0: a silent bank times out, then a program, the performance, the same bank", 0, 0, true,
         false, {{kBank, 0, -1, 0, true, 0}, {kProgram}, {kBank, 0, -1, 0, true, 0}, {kPerformance},
                 {kBank, 0, -1, 0, true, 0}, {kBank, 0, 3}},
         {"CONNECTION TIMED OUT!", "Data request completed!", "CONNECTION TIMED OUT!", "Data request completed!",
          "CONNECTION TIMED OUT!", "Data request cancelled!"}, {0, 1, 2}, 1900, 1, 0, 1, kBoth, 6},
        // Taken 20 ms before the sweep: no sweep, so no repeat to wait for.
        {"program dumps at id 0: slot 3 answered 20 ms before its sweep", 0, 0, true, false, {{kSingle, 3}},
         {"Data request completed!"}, {3}, 25 * 51 - 20, 1, 25, 1, kFollow, 0},
        // Slower than the whole plan: the next request at worst times out, and fills nothing astray.
        {"program dumps at id 0: slot 3 answered after its time-out, then slot 4", 0, 0, true, false,
         {{kSingle, 3}, {kSingle, 4}}, {"CONNECTION TIMED OUT!", "CONNECTION TIMED OUT!"}, {}, 5000},
        // A port closed and opened under a bank ends it; what the synthesizer still owes comes
        // before the next request's sync is answered, and fills nothing. The editor's id changes
        // after a time-out: the old id's entries go, so the answer from there to the next
        // request's sweep is its own (its sync at the new id is never answered).
        {"program dumps at id 0: the port changes under a bank; a time-out, the editor moves to id 5, slot 3", 0, 0,
         true, false,
         {{kBank, 0, 2, 0, false, 127, true}, {kBank, 0, -1, 0, true, 0}, {kSingle, 3, -1, 0, false, 127, false, 5}},
         {"Data request cancelled!", "CONNECTION TIMED OUT!", "Data request completed!"}, {0, 1, 3}, 100, 1, 0, 1,
         kFollow, 1},
        // A reply ends with quiet, not with a guessed shape: the bank 5 s after the performance
        // takes every slot's own answer, and syncs nowhere. Answered within the first pause of
        // its wait, the slot the cancel comes in is filled too.
        {"program dumps at id 0: the performance into the editor, 5 s later the bank", 0, 0, true, false,
         {{kPerformance}, {kBank, 0, -1, 5000}}, {"Data request completed!", "Data request completed!"}, kAll, 10, 1,
         0, 1, kPerformanceReply, 0},
        {"program dumps at id 0: the performance and a program into the editor, 5 s later the bank", 0, 0, true, false,
         {{kPerformance}, {kBank, 0, 3, 5000}}, {"Data request completed!", "Data request cancelled!"}, {0, 1, 2, 3}, 10,
         1, 0, 1, kBoth, 0},
        {"program dumps at id 0: the performance into the editor, at once the bank", 0, 0, true, false,
         {{kPerformance}, {kBank, 0, 3}}, {"Data request completed!", "Data request cancelled!"}, {0, 1, 2, 3}, 10, 1, 0,
         1, kPerformanceReply, 0},
        // A synthesizer that ignores the enquiry: a clean line needs none, a loose one waits out
        // its quiet instead.
        {"program dumps at id 0, enquiries ignored: two programs 1 s apart", 0, 0, true, false,
         {{kProgram}, {kProgram, 0, -1, 1000}}, {"Data request completed!", "Data request completed!"}, {}, 100, 1, 0,
         1, kFollow, 0, true},
        {"program dumps at id 0, enquiries ignored: a silent bank times out, then the same bank", 0, 0, true, false,
         {{kBank, 0, -1, 0, true, 0}, {kBank, 0, 3}}, {"CONNECTION TIMED OUT!", "Data request cancelled!"}, {0, 1, 2},
         100, 1, 0, 1, kFollow, 0, true},
        // The sweep asked id 0 again before the answer came: the repeat must not pass for the
        // next request of the same entry, which syncs first.
        {"stored programs at id 0, answered after the sweep asked again: slot 3, then slot 3 again", 0, 0, false,
         false, {{kSingle, 3}, {kSingle, 3}}, {"Data request completed!", "Data request completed!"}, {3}, 1900, 1, 0,
         1, kFollow, 1},
        // Switched on after the start-up enquiry went unanswered: the first Request goes at once
        // and its answer discharges that enquiry; after the bank cancelled in slot 10's wait the
        // sync is answered in two periods and the Request goes: 41 pauses of the start-up job,
        // 3 of the first Request, 31 of the bank, 5 of the last; 15 enquiries and one sync.
        {"stored programs at id 15, off at start: Request, a bank cancelled at slot 10, Request", 15, 15, false, false,
         {{kEnquiry, 0, -1, 0, true}, {kPerformance, 0, -1, 2000}, {kBank, 0, 10, 2000}, {kPerformance, 0, -1, 2000}},
         {"No response from Hardware)", "Data request completed!", "Data request cancelled!", "Data request completed!"},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 100, 1, 80, 1, kPerformanceReply, 16},
        {"stored programs at id 0, answered from the third try: slot 3 times out, then slot 3 again", 0, 0, false,
         false, {{kSingle, 3}, {kSingle, 3}}, {"CONNECTION TIMED OUT!", "Data request completed!"}, {3}, 100, 1, 0, 3,
         kFollow, 1},
        // clang-format on
    };
    // One controller for every row: making one costs more than most rows.
    Bench b{synthsim::Options()};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        synthsim::Options o;
        o.deviceId = c.device;
        o.model = c.performances ? 0x21 : 0x20;
        o.answerOnTry = c.answerOnTry;
        if (c.plain) o.storedProgramReply = o.storedPerformanceReply = synthsim::StoredForm::Dump;
        o.editReply = c.editReply;
        b.reset(o);
        b.plug->currentModel = o.model - 0x20;
        b.plug->deviceId = c.editorDevice;
        b.plug->refreshFolders = false;
        b.plug->GetParam(kLibSyncTimer)->Set(0); // 50 ms
        const Step* step = nullptr;
        int toSynth = 0;
        b.answerLate(c.lateMs, [&](const Bytes& r) {
            if (c.ignoresEnquiry && r[6] == 0x10) return false;
            return r[5] != c.device || (!step->silent && toSynth++ % c.answerEvery == 0);
        });
        const auto memory = b.synthBank(c.performances ? "performances-A.syx" : "programs-A.syx");
        const Bytes editBuffer = b.synthBank("edit-buffers.syx")[0];
        bool portChanged = false;
        b.onPause = [&](int, int) {
            if (b.plug->patchLibrarian->upperSlot != step->cancelAt) return;
            if (!step->portAt)
                b.plug->midiManager->sender->cancelRequested = true;
            else if (!std::exchange(portChanged, true))
                static_cast<IPluginBase&>(*b.plug).OnExternalMIDIPortChanged(false); // as the port layer does
        };
        std::atomic<int> asked{0};
        b.plug->beforeRequest = [&](const Bytes& r) {
            if (r.size() == 9) asked = std::max(asked.load(), int(r[8]));
        };
        std::vector<std::string> ends;
        for (const Step& s : c.steps) {
            asked = 0;
            b.passTime(int(s.waitMs));
            step = &s;
            if (s.editorDevice >= 0) b.plug->deviceId = s.editorDevice;
            b.plug->patchLibrarian->upperSlot = s.slot;
            if (c.performances)
                b.performances(s.job == kBank ? kJobRequestAllMultis : kJobRequestSingleMulti, 0);
            else if (s.job == kBank)
                b.all(0);
            else if (s.job == kPart)
                b.part(0);
            else if (s.job == kEnquiry)
                b.enquiry();
            else if (s.job >= kPerformance)
                b.editor(s.job == kPerformance ? kJobRequestActiveArrangement : kJobRequestPart);
            else
                b.single(s.job == kEditBuffer, 0);
            ends.push_back(b.status());
            if (s.job == kBank) {
                EXPECT_LE(asked, s.cancelAt >= 0 ? s.cancelAt : s.lastAsked);
            }
        }
        // The answers still on their way arrive.
        b.passTime(60000);
        b.plug->session.output().drain();
        EXPECT_EQ(ends, c.ends);
        if (c.pauses) {
            EXPECT_EQ(b.pauses.size(), c.pauses);
        }
        if (c.enquiries >= 0) {
            const auto sent = b.requests();
            EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const Bytes& r) { return r[6] == 0x10; }),
                      c.enquiries);
        }
        // The editor shows the synthesizer's own edit buffer.
        for (const Step& s : c.steps) {
            if (s.job == kProgram) {
                EXPECT_EQ(b.plug->GetParam(kPatchName)->CopyDisplayText(0), nameOf(editBuffer, 9));
            }
            if (s.job == kPerformance) {
                EXPECT_EQ(b.plug->GetParam(kMultiName)->CopyDisplayText(0), nameOf(b.performanceEdit(), 8));
            }
        }
        std::lock_guard<std::recursive_mutex> hold(b.plug->patchLibrarian->mLock);
        const PatchFile& bank = c.performances ? b.upperMultis() : b.upper();
        const size_t messages = c.performances ? 2 : 1;
        // A bank no request filled keeps its 100 entries.
        const LibrarianPatch none;
        for (size_t s = 0; s < 128; ++s) {
            const LibrarianPatch& e = s < bank.patches.size() ? bank.patches[s] : none;
            if (c.filled != kAll && !std::count(c.filled.begin(), c.filled.end(), int(s))) {
                EXPECT_TRUE(e.messages.empty()) << s;
                continue;
            }
            EXPECT_EQ(e.messages.size(), messages) << s;
            if (e.messages.size() != messages) continue;
            // The body: a dump's library form carries the type and slot of its own.
            const bool edit =
                (c.steps.back().job == kEditBuffer || c.steps.back().job == kPart) && int(s) == c.steps.back().slot;
            for (size_t m = 0; m < messages; ++m) {
                const Bytes got = bytesOf(e.messages[m].bytes), want = edit ? editBuffer : memory[messages * s + m];
                const bool own = Bytes(got.end() - long(want.size() - (edit ? 9 : 10)), got.end()) ==
                                 Bytes(want.begin() + (edit ? 9 : 10), want.end());
                EXPECT_TRUE(own) << "slot " << s << " holds " << e.name << ", message " << m;
            }
        }
    }
}

TEST(LibraryRequestsInSynth, UnansweredSweepsLeaveTheListsAtTheirNaturalSizeAndACapBeyond)
{
    // Ten thousand requests of a synthesizer that is off, each swept over ids 0 to 15 (the
    // editor's 15 among them); then one request sent a thousand times at one id.
    Bench b{synthsim::Options()};
    MIDIMessageManager& m = *b.plug->midiManager;
    const int address = MIDIMessageManager::storedAddress(5, 0);
    for (int i = 0; i < 10000; ++i) {
        const uint64_t r = m.beginRequest();
        for (int id = -1; id < 16; ++id) m.noteSent(r, id < 0 ? 15 : id, address, DueKind::StoredProgram);
        if (i == 0) {
            EXPECT_EQ(m.dueCount(15), 2);
            EXPECT_EQ(m.dueCount(3), 1);
        }
        m.endRequest(r);
        b.passTime(100);
    }
    for (int id = 0; id < 16; ++id) EXPECT_EQ(m.dueCount(id), 0) << id;
    const uint64_t r = m.beginRequest();
    for (int i = 0; i < 1000; ++i) m.noteSent(r, 15, address, DueKind::StoredProgram);
    EXPECT_EQ(m.dueCount(15), MIDIMessageManager::kDueCap);
    EXPECT_TRUE(m.looseLine());
}

TEST(LibraryRequestsInSynth, ASilentSlotEndsTheBankAndACancelRereadsTheFolders)
{
    synthsim::Options o;
    o.silent = true;
    {
        Bench b(o);
        b.all(0);
        // The first slot's 30 periods with its sweep in the 25th, and no further slot.
        EXPECT_EQ(b.requests().size(), 17u);
        EXPECT_EQ(b.pauses.size(), 30u + 16u);
        EXPECT_EQ(b.status(), "CONNECTION TIMED OUT!");
        EXPECT_FALSE(has(b.statuses, "Data request completed!"));
        EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
        EXPECT_EQ(b.plug->copy(b.plug->indicator).back(), Bytes{0});
        EXPECT_EQ(b.plug->patchLibrarian->upperSlot, 0);
    }
    {
        Bench b(o);
        b.onPause = [&](int count, int) {
            if (count == 3) b.plug->midiManager->sender->cancelRequested = true;
        };
        b.all(0);
        EXPECT_EQ(b.pauses.size(), 3u);
        EXPECT_EQ(b.status(), "Data request cancelled!");
        EXPECT_EQ(b.plug->patchLibrarian->upperSlot, 0);
        EXPECT_EQ(b.plug->changes, std::vector<int>{kRefreshFolders});
    }
}

// The user asks for a bank again as soon as the cancel of the last one shows: the cancelled job
// has ended by then, its rescan of the folders included. (A rescan that runs while the text
// already shows waits here for the user's request.)
TEST(LibraryRequestsInSynth, ABankAskedForTheMomentACancelShowsIsTaken)
{
    synthsim::Options o;
    o.silent = true;
    Bench b(o);
    b.plug->refreshFolders = false; // the bank stays open for the second request
    const std::string cancelled = "Data request cancelled!";
    std::atomic<bool> asked{false}, taken{false};
    b.plug->beforeRefresh = [&] {
        for (int ms = 0; ms < 2000 && !asked && b.status() == cancelled; ++ms) usleep(1000);
    };
    b.onPause = [&](int count, int) {
        if (count == 3) b.plug->midiManager->sender->cancelRequested = true;
    };
    // The launcher of the cancelled job gives its hold back only once the cancel shows, as
    // a loaded machine may.
    std::atomic<bool> late{true};
    b.plug->midiManager->sender->afterStart = [&](int) {
        if (!late.exchange(false)) return;
        for (int ms = 0; ms < 2000 && b.status() != cancelled; ++ms) usleep(1000);
    };
    std::thread user([&] {
        for (int ms = 0; ms < 10000 && b.status() != cancelled; ++ms) usleep(1000);
        taken = b.plug->midiManager->sendAllPatchRequestSysexFromLibrarian(0);
        asked = true;
    });
    ASSERT_TRUE(b.plug->midiManager->sendAllPatchRequestSysexFromLibrarian(0));
    user.join();
    b.wait();
    EXPECT_TRUE(taken);
    // The second bank ran: the silent synthesizer let it time out.
    EXPECT_EQ(b.status(), "CONNECTION TIMED OUT!");
}

TEST(LibraryRequestsInSynth, ABankCutShortIsLeftUnsavedAndACancelDropsWhatArrived)
{
    // Each slot takes a period and a settling pause: the synthesizer goes quiet after 30 slots,
    // or the user cancels after 10.
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        Bench b{synthsim::Options()};
        b.onPause = [&b, cancel](int count, int) {
            if (count == (cancel ? 20 : 60)) {
                std::ostringstream out;
                if (cancel)
                    b.plug->midiManager->sender->cancelRequested = true;
                else
                    b.plug->session.runCommand("option silent", out);
            }
        };
        b.all(0);
        if (!cancel) {
            EXPECT_EQ(b.status(), "CONNECTION TIMED OUT!");
            EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 1.0) << "30 new entries among 98 old ones";
            EXPECT_EQ(b.upper().patches[29].messages.size(), 1u);
            EXPECT_TRUE(b.upper().patches[30].messages.empty());
            continue;
        }
        EXPECT_EQ(b.status(), "Data request cancelled!");
        EXPECT_EQ(b.plug->changes, std::vector<int>{kRefreshFolders});
        // The folders were read again (the library folder is empty): the received entries went
        // with the bank, and nothing is left unsaved.
        EXPECT_TRUE(b.plug->patchLibrarian->singleFiles.empty());
        EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
    }
}

TEST(LibraryRequestsInSynth, ABusyJobThreadArmsNothing)
{
    Bench b{synthsim::Options()};
    std::atomic<bool> release{false};
    b.plug->midiManager->sender->beforeJob = [&](int) {
        while (!release) usleep(1000);
    };
    SenderJobRecord hold;
    hold.job = kJobNothing;
    ASSERT_TRUE(b.plug->midiManager->startJob(hold));
    b.plug->midiManager->requestComplete = true;
    EXPECT_FALSE(b.plug->midiManager->sendSinglePatchRequestSysexFromLibrarian(false, 0));
    EXPECT_FALSE(b.plug->midiManager->sendAllPatchRequestSysexFromLibrarian(0));
    EXPECT_EQ(b.status(), "Not taken: a transfer was still running!");
    EXPECT_FALSE(b.plug->midiManager->libraryPatchRequest.active);
    EXPECT_TRUE(b.plug->midiManager->requestComplete);
    release = true;
    b.wait();
    b.plug->midiManager->sender->beforeJob = nullptr;
}

TEST(LibraryRequestsInSynth, AReceivedBankSavedAsSyxAndMidReadsBackWithItsNamesAndBytes)
{
    Bench b{synthsim::Options()};
    b.all(1);
    const PatchFile& got = b.upper();
    for (const char* name : {"bank.syx", "bank.mid"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(b.plug->patchLibrarian->saveEditedPatch(b.dir.file(name), name));
        const Bytes file = testsupport::readFile(b.dir.file(name));
        PatchFile back;
        b.plug->patchLibrarian->loadFromChunk(file.data(), int(file.size()), &back, name[5] == 'm');
        ASSERT_EQ(back.patches.size(), 128u);
        for (size_t s = 0; s < 128; ++s) {
            EXPECT_EQ(back.patches[s].name, got.patches[s].name) << s;
            Bytes want = bytesOf(got.patches[s].messages[0].bytes), read = bytesOf(back.patches[s].messages[0].bytes);
            EXPECT_EQ(read[6], 0x0F);
            want[6] = read[6] = 0;
            EXPECT_EQ(read, want) << s;
        }
    }
}

TEST(LibraryRequestsInSynth, AStoredPerformanceArrivesWithItsFollowUpAtTheSecondModel)
{
    for (uint8_t model : {uint8_t(0x20), uint8_t(0x21)}) {
        SCOPED_TRACE(int(model));
        auto bench = atModel(model);
        Bench& b = *bench;
        b.plug->patchLibrarian->upperSlot = 5;
        b.performances(kJobRequestSingleMulti, 0);
        EXPECT_EQ(b.requests(), (std::vector<Bytes>{{0x00, 0x20, 0x29, 0x01, model, 0x0F, 0x13, 0x01, 0x05}}));
        const auto memory = b.synthBank("performances-A.syx");
        const LibrarianPatch& e = b.upperMultis().patches[5];
        ASSERT_EQ(e.messages.size(), model == 0x21 ? 2u : 1u);
        for (size_t m = 0; m < e.messages.size(); ++m) EXPECT_EQ(bytesOf(e.messages[m].bytes), memory[10 + m]) << m;
        EXPECT_EQ(e.name, "A5              ");
        EXPECT_TRUE(b.plug->midiManager->dumpTaken);
        EXPECT_EQ(b.status(), "Data request completed!");
        EXPECT_EQ(b.pauses, std::vector<int>{100});
    }
    // A slot past the bank asks for the last one. The answer has no slot to go to: the request
    // is not reported done, and the sweep asks again.
    Bench b{synthsim::Options()};
    b.plug->patchLibrarian->upperSlot = 200;
    b.performances(kJobRequestSingleMulti, 3);
    const std::vector<Bytes> asked = b.requests();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0], (Bytes{0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x13, 0x04, 0x7F}));
    EXPECT_EQ(b.status(), "CONNECTION TIMED OUT!");
}

TEST(LibraryRequestsInSynth, APerformanceBankFillsEverySlotAtBothModels)
{
    for (uint8_t model : {uint8_t(0x20), uint8_t(0x21)}) {
        SCOPED_TRACE(int(model));
        auto bench = atModel(model);
        Bench& b = *bench;
        b.performances(kJobRequestAllMultis, 0);
        const auto memory = b.synthBank("performances-A.syx");
        ASSERT_EQ(memory.size(), 256u);
        ASSERT_EQ(b.upperMultis().patches.size(), 128u);
        for (size_t s = 0; s < 128; ++s) {
            const LibrarianPatch& e = b.upperMultis().patches[s];
            ASSERT_EQ(e.messages.size(), model == 0x21 ? 2u : 1u) << s;
            for (size_t m = 0; m < e.messages.size(); ++m)
                EXPECT_EQ(bytesOf(e.messages[m].bytes), memory[2 * s + m]) << s << " " << m;
        }
        EXPECT_EQ(b.pauses.size(), 256u);
        EXPECT_EQ(b.statuses.back(), "Data request completed!");
        EXPECT_EQ(Bench::text(b.plug->valueDisplay), "Processed 127/127");
    }
}

TEST(LibraryRequestsInSynth, TheEditorsSendsAndRequestsIntoTheLibraryLandInTheUpperSlot)
{
    const char* kNoPrograms = "No PROGRAM bank open in librarian!";
    const char* kNoPerformances = "No PERFORMANCE bank open in librarian!";
    const struct {
        const char* name;
        int job;
        bool toEditor, storeIntoLibrary;
        std::string status;
        bool blocked = false; // incoming MIDI blocked: nothing is taken
        bool upperBank = true;
        bool refused = false; // a request with nowhere to put its answer sends nothing
        int shownKind = -1;   // the librarian's kind when not the job's
    } cases[] = {
        {"program send into the library", kJobSendPart, false, true, "Program received to slot(s)"},
        {"program send while incoming MIDI is blocked", kJobSendPart, false, true, "", true},
        {"performance send while incoming MIDI is blocked", kJobSendArrangement, false, true, "", true},
        {"part request into the library", kJobRequestPart, false, false, "Program received to slot(s)"},
        {"performance send into the library", kJobSendArrangement, false, true, "Multi received to slot(s)"},
        {"performance request into the library", kJobRequestActiveArrangement, false, false,
         "Multi received to slot(s)"},
        {"program send without an upper bank", kJobSendPart, false, true, "Program received to slot(s)", false, false},
        {"performance send without an upper bank", kJobSendArrangement, false, true, "Multi received to slot(s)", false,
         false},
        {"part request without an upper bank", kJobRequestPart, false, false, kNoPrograms, false, false, true},
        {"stored program without an upper bank", kJobRequestSinglePatch, false, false, kNoPrograms, false, false, true},
        {"program bank without an upper bank", kJobRequestAllPatches, false, false, kNoPrograms, false, false, true},
        {"program bank while the librarian shows performances", kJobRequestAllPatches, false, false, kNoPrograms, false,
         true, true, 1},
        {"performance request without an upper bank", kJobRequestActiveArrangement, false, false, kNoPerformances,
         false, false, true},
        {"stored performance without an upper bank", kJobRequestSingleMulti, false, false, kNoPerformances, false,
         false, true},
        {"performance bank without an upper bank", kJobRequestAllMultis, false, false, kNoPerformances, false, false,
         true},
        {"pattern bank without an upper bank", kJobRequestAllSequences, false, false,
         "No PATTERN bank open in librarian!", false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool performance = c.job == kJobSendArrangement || c.job == kJobRequestActiveArrangement ||
                                 c.job == kJobRequestSingleMulti || c.job == kJobRequestAllMultis;
        const int kind = c.job == kJobRequestAllSequences ? 2 : performance;
        synthsim::Options o;
        if (performance) o.editReply = synthsim::EditReply::Performance;
        Bench b(o);
        b.plug->performanceMode = kind == 1;
        b.plug->patternMode = kind == 2;
        b.plug->patchLibrarian->currentKind = c.shownKind < 0 ? kind : c.shownKind;
        if (!c.upperBank) b.plug->patchLibrarian->upperFileIndex = 4;
        b.plug->patchLibrarian->upperSlot = 6;
        b.plug->patchLibrarian->dropSlot = 6;
        SenderJobRecord record;
        record.job = c.job;
        record.part = 1;
        record.toEditor = c.toEditor;
        record.storeIntoLibrary = c.storeIntoLibrary;
        testing::internal::CaptureStdout();
        b.plug->sendPatchAndPatternToDevice(record.part, false, false, false, false, false); // as the quick tab does
        // The part an earlier edit-buffer request left at the gate, and for the editor's own
        // sends the synthesizer's SysEx filtered out: neither concerns what the editor delivers
        // to itself.
        b.plug->pendingRequestPart = record.part;
        b.plug->midiFilterSwitches[13] = c.storeIntoLibrary;
        b.plug->incomingMidiBlocked = c.blocked;
        // As the librarian's starters do, which arm the buffer before the job runs.
        ASSERT_TRUE(b.plug->midiManager->startJob(record, [&] {
            if (c.refused) b.plug->midiManager->armRequestBuffer(kind);
        }));
        b.wait();
        testing::internal::GetCapturedStdout();
        if (c.refused) {
            EXPECT_EQ(b.status(), c.status);
            EXPECT_TRUE(b.requests().empty());
            EXPECT_FALSE(b.plug->midiManager->libraryPatchRequest.active ||
                         b.plug->midiManager->libraryPerformanceRequest.active ||
                         b.plug->midiManager->libraryPatternRequest.active);
            EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
            continue;
        }
        if (!c.upperBank) {
            // Nothing was stored: nothing is reported received or left unsaved.
            EXPECT_NE(b.status(), c.status);
            EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
            continue;
        }
        const LibrarianPatch& e = (performance ? b.upperMultis() : b.upper()).patches[6];
        if (c.blocked) {
            // Refused: nothing is reported received, and nothing is to be saved.
            EXPECT_TRUE(e.messages.empty());
            EXPECT_EQ(b.statuses.end(), std::find_if(b.statuses.begin(), b.statuses.end(), [](const std::string& s) {
                          return s.find("received to slot") != std::string::npos;
                      }));
            EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
            continue;
        }
        ASSERT_EQ(e.messages.size(), 1u);
        const Bytes m = bytesOf(e.messages[0].bytes);
        ASSERT_EQ(m.size(), performance ? 383u : 297u);
        const Bytes address = performance ? Bytes{0x05, 0x01, 0x06} : Bytes{0x02, 0x05, 0x06};
        EXPECT_EQ(Bytes(m.begin() + 7, m.begin() + 10), address);
        EXPECT_EQ(b.status(), c.status);
        EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
    }
}

// The synthesizer answers the performance request in a shape of its own: the eight parts'
// programs or the chosen part's program, then the performance, its follow-up last at the second
// model. The whole reply is the request's.
TEST(LibraryRequestsInSynth, ThePerformanceRequestTakesItsReplyInAnyShape)
{
    for (uint8_t model : {uint8_t(0x20), uint8_t(0x21)}) {
        for (bool allParts : {true, false}) {
            SCOPED_TRACE(std::to_string(model) + (allParts ? " eight programs" : " part 2's program"));
            auto bench = atModel(model);
            Bench& b = *bench;
            const auto edit = b.synthBank("edit-buffers.syx"); // parts 1-8, the performance, its follow-up
            ASSERT_EQ(edit.size(), 10u);
            std::vector<Bytes> reply(edit.begin() + (allParts ? 0 : 2), edit.begin() + (allParts ? 8 : 3));
            reply.push_back(edit[8]);
            if (model == 0x21) reply.push_back(edit[9]);
            b.plug->holdRequest = [&](const Bytes& r) {
                if (r.size() != 7 || r[6] != 0x08) return false;
                for (const Bytes& m : reply) b.plug->session.output().post(m, 0, "edit buffer");
                return true;
            };
            b.editor(kJobRequestActiveArrangement);
            EXPECT_EQ(b.status(), "Data request completed!");
            EXPECT_EQ(b.plug->GetParam(kMultiName)->CopyDisplayText(0), nameOf(edit[8], 8));
            EXPECT_EQ(b.plug->GetParam(kPatchName + 2)->CopyDisplayText(0), nameOf(edit[2], 9));
            b.plug->holdRequest = nullptr;
        }
    }
}

// A program picked on part 3, and seconds later one on part 6: the second reply is taken in its
// first period, not after the sweep.
TEST(LibraryRequestsInSynth, AProgramOnAHigherPartLaterIsTakenAtOnce)
{
    Bench b{synthsim::Options()};
    for (int part : {3, 6}) {
        SCOPED_TRACE(part);
        b.passTime(6000);
        testing::internal::CaptureStdout();
        b.plug->sendPatchAndPatternToDevice(part, false, false, false, false, false); // the synthesizer shows it
        testing::internal::GetCapturedStdout();
        b.wait();
        const size_t before = b.pauses.size();
        SenderJobRecord record;
        record.job = kJobRequestPart;
        record.part = part;
        record.toEditor = true;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(b.plug->midiManager->startJob(record, [&b] { b.plug->midiManager->expectingEditDump = true; }));
        b.wait();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(b.status(), "Data request completed!");
        EXPECT_EQ(b.pauses.size() - before, 2u) << "the request's period, then the first pass";
    }
}

// A port change leaves the line loose; the enquiry that would clean it is refused by the port.
// The next request still waits out the quiet an unanswered enquiry is given, rather than go at
// once on a line that may still owe answers.
TEST(LibraryRequestsInSynth, ARefusedSyncStillCleansTheLineBeforeTheRequest)
{
    Bench b{synthsim::Options()};
    b.single(false, 0);
    static_cast<IPluginBase&>(*b.plug).OnExternalMIDIPortChanged(false);
    b.plug->refuseRequest = [](const Bytes& r) { return r.size() == 7 && r[6] == 0x10; };
    const size_t before = b.pauses.size();
    // The user sees the request under way while it waits for the line.
    std::string waiting;
    b.onPause = [&](int n, int) {
        if (size_t(n) == before + 1) waiting = b.status();
    };
    b.plug->patchLibrarian->upperSlot = 1;
    b.single(false, 0);
    b.plug->refuseRequest = nullptr;
    EXPECT_EQ(waiting, "Data processing, please wait...");
    EXPECT_EQ(b.status(), "Data request completed!");
    // The longest wait of any request (the performance request's 50 periods and 16 sweep
    // steps) of quiet from the first request's answer, which came a little over a period
    // before: 65 whole periods and the rest of one, if any; then the request's period.
    EXPECT_GE(b.pauses.size() - before, size_t(50 + 16));
    EXPECT_LE(b.pauses.size() - before, size_t(50 + 16 + 1));
    EXPECT_FALSE(b.plug->midiManager->looseLine());
}
