// Bank selects, program changes and library transfers in process: the short messages handed to
// the port, the caller's pauses (recorded, not slept), the jobs started with their records, and
// what the librarian and the editor hold afterwards.
#include "Project_Source/src/ControlAction.h"
#include "Project_Source/src/LibrarianNumberMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/PerformanceDump.h"
#include "Project_Source/src/SysexFamily.h"
#include "controller_dispatch_support.h"
#include "support/bankgen.h"

#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

using namespace qorid;
using dispatchtest::Desk;
using Shorts = std::vector<std::string>;

namespace
{

// The desk with its pauses recorded on the test's own thread and taken as 0 ms, and the job
// numbers the job thread begins.
struct Bench : Desk {
    Bench()
    {
        recordPauses(pauses);
        plug->midiManager->sender->beforeJob = [this](int job) {
            std::lock_guard<std::mutex> lock(mJobs);
            jobs.push_back(job);
        };
        plug->takeShorts();
    }
    std::vector<int> takeJobs()
    {
        settle();
        std::lock_guard<std::mutex> lock(mJobs);
        return std::exchange(jobs, {});
    }
    std::vector<int> takePauses() { return std::exchange(pauses, {}); }
    const SenderJobRecord& lastRecord() const { return plug->midiManager->sender->records[kJobThread]; }
    // A program bank of count entries, each one message, listed at the end of the program list.
    PatchFile* addBank(int count, std::vector<PatchFile*>& list)
    {
        auto* bank = new PatchFile;
        bank->patches.resize(size_t(count));
        for (LibrarianPatch& p : bank->patches) p.messages.emplace_back(SysexBytes(std::vector<uint8_t>{0xF0, 0xF7}));
        list.push_back(plug->patchLibrarian->adoptBank(bank));
        return bank;
    }

    std::vector<int> pauses;
    std::vector<int> jobs;
    std::mutex mJobs;
};

void setPart(Bench& b, int part, int bank, int program, int channel, double status)
{
    b.plug->GetParam(kMultiPartBank + part)->Set(bank);
    b.plug->GetParam(kMultiPartPatch + part)->Set(program);
    b.plug->GetParam(kMultiPartMIDICh + part)->Set(channel);
    b.plug->GetParam(kMultiPartStatus + part)->Set(status);
}

// The synthesizer's performance dump, as asked for, with part on bank and program; every other
// value as the editor holds it.
void dumpMovesPart(Bench& b, int part, int bank, int program)
{
    std::vector<uint8_t> dump(SysexFamily::kPerformanceDumpSize);
    PerformanceDump::writeDump(
        [&](int id) {
            return id == kMultiPartBank + part ? bank : id == kMultiPartPatch + part ? program : b.value(id);
        },
        0x20, "", dump.data());
    b.plug->midiManager->expectingEditDump = true;
    ISysEx msg(0, dump.data(), int(dump.size()));
    testing::internal::CaptureStdout();
    b.plug->ProcessSysEx(&msg, true);
    testing::internal::GetCapturedStdout();
}

// A message from the synthesizer, as its input hands it over.
void fromSynthesizer(Bench& b, uint8_t status, uint8_t data1, uint8_t data2 = 0)
{
    IMidiMsg msg(0, status, data1, data2);
    testing::internal::CaptureStdout();
    b.plug->ProcessMidiMsg(&msg, true);
    testing::internal::GetCapturedStdout();
}

bool pick(Bench& b, int part, int bank, int program)
{
    b.plug->GetParam(kMultiPartBank + part)->Set(bank);
    testing::internal::CaptureStdout();
    const bool sent = b.plug->pickBankOrProgram(kMultiPartPatch + part, program, part);
    testing::internal::GetCapturedStdout();
    return sent;
}

// The whole send of the performance (job 0), as a recall makes it once the synthesizer has
// answered and as "Push Current Performance to HW" makes it.
void wholeSend(Bench& b)
{
    SenderJobRecord send;
    send.job = kJobSendArrangement;
    testing::internal::CaptureStdout();
    const bool started = b.plug->midiManager->startJob(send, [&b] { b.plug->raiseWholeSendFlags(); });
    b.takeJobs();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started);
}

// The in-process synthesizer that the bench's output plays into (at device id 15), and its panel.
struct Synthesizer {
    // The editor holds the synthesizer's globals, as its start-up's enquiry brings them.
    explicit Synthesizer(Bench& b) : bench(b)
    {
        b.plug->deviceId = 15;
        for (const int id : {kGlobalMidiChannel, kGlobalRXPC, kGlobalRXCC})
            b.plug->GetParam(id)->Set(id == kGlobalMidiChannel ? 15 : 1);
    }
    // What reached the port since the last call, the SysEx first (no step here sends both but a
    // pick and its part request, which moves nothing); the short messages are returned.
    Shorts play()
    {
        const std::vector<testsupport::Bytes> handed = bench.plug->copy(bench.plug->handed);
        for (; seen < handed.size(); ++seen) synth.receive(handed[seen], 0);
        const Shorts shorts = bench.plug->takeShorts();
        for (const std::string& text : shorts) {
            unsigned m[3] = {};
            std::sscanf(text.c_str(), "%x %x %x", &m[0], &m[1], &m[2]);
            // A program change has one data byte.
            synth.receive(synthsim::Bytes(m, m + ((m[0] & 0xF0) == 0xC0 ? 2 : 3)), 0);
        }
        return shorts;
    }
    // The synthesizer sends its bank selects as 64 + bank and takes them as 5 + bank.
    void panel(std::vector<uint8_t> m)
    {
        if (m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == 32) m[2] = uint8_t(m[2] - 64 + 5);
        synth.panel(m);
    }
    // Part's bank * 128 + program as the synthesizer's performance holds them.
    int plays(int part) const
    {
        const synthsim::SynthMemory memory = synth.memory();
        const uint8_t* block = memory.partBlock(part);
        return (block[synthsim::kPartBlockBank] - synthsim::kProgramBankBase) * 128 +
               block[synthsim::kPartBlockProgram];
    }

    Bench& bench;
    synthsim::Synth synth{[] {
        synthsim::Options o;
        o.deviceId = 15;
        return o;
    }()};
    size_t seen = 0;
};

// The program the program-number menu checks, -1 for none.
int checkedProgram(const QOR& q)
{
    const auto set = q.programNumberMenu->menus();
    for (int g = 0; g < ProgramNumberPopupMenu::kGroups; ++g)
        for (int i = 0; i < set->groupMenus[size_t(g)].GetNItems(); ++i)
            if (set->groupMenus[size_t(g)].IsItemChecked(i)) return 10 * g + i;
    return -1;
}

} // namespace

TEST(ProgramChange, BankChangeMessageSendsItsSequenceWithItsPausesOrStopsAtAConflict)
{
    const struct {
        const char* what;
        std::function<void(Bench&)> setUp;
        bool result;
        Shorts sent;
        bool pausesTaken;
    } cases[] = {
        {"part 3, bank 2, program 10, channel 4", [](Bench&) {}, true,
         Shorts{"B4 7B 00", "B4 00 00", "B4 20 07", "C4 0A 00"}, true},
        {"a channel of 16 is the global channel", [](Bench& b) { b.plug->GetParam(kMultiPartMIDICh + 3)->Set(16); },
         true, Shorts{"B9 7B 00", "B9 00 00", "B9 20 07", "C9 0A 00"}, true},
        {"performance mode: bank 1 is 97 on the global channel",
         [](Bench& b) {
             b.plug->performanceMode = true;
             b.plug->GetParam(kMultiBank)->Set(1);
             b.plug->GetParam(kMultiPatch)->Set(5);
             b.plug->GetParam(kGlobalMidiChannel)->Set(0);
         },
         true, Shorts{"B0 7B 00", "B0 00 00", "B0 20 61", "C0 05 00"}, true},
        {"enabled part 1 holds bank 2, program 10", [](Bench& b) { b.plug->knownParts.set(1, 2, 10); }, false, Shorts{},
         false},
        // While all parts are sent a pick is judged by what the send puts each part on.
        {"all parts sent: part 1 known on bank 2, program 10 but sent elsewhere",
         [](Bench& b) {
             b.plug->knownParts.set(1, 2, 10);
             b.plug->sendingAllParts = true;
         },
         true, Shorts{"B4 7B 00", "B4 00 00", "B4 20 07", "C4 0A 00"}, true},
        {"all parts sent: part 1 sent onto bank 2, program 10, known elsewhere",
         [](Bench& b) { setPart(b, 1, 2, 10, 1, 1.0), b.plug->sendingAllParts = true; }, false, Shorts{}, false},
        {"without a port nothing leaves but the pauses stay", [](Bench& b) { b.plug->midiIOSet = false; }, true,
         Shorts{}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b;
        b.plug->GetParam(kGlobalMidiChannel)->Set(9);
        b.plug->GetParam(kLibSyncTimer)->Set(2);
        setPart(b, 3, 2, 10, 4, 1.0);
        setPart(b, 1, 0, 0, 1, 1.0);
        c.setUp(b);
        testing::internal::CaptureStdout();
        EXPECT_EQ(b.plug->BankChangeMessage(3), c.result);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(b.plug->takeShorts(), c.sent);
        EXPECT_EQ(b.takePauses(), c.pausesTaken ? std::vector<int>({25, 25, 50, 100}) : std::vector<int>{});
        EXPECT_EQ(b.shown("bankPatchConflictWindow"), !c.result);
        if (!b.plug->performanceMode) {
            // A refused sequence leaves part 3 known where it was.
            EXPECT_EQ(b.plug->knownParts.partBankNumbers(3), c.result ? 2 : 0);
            EXPECT_EQ(b.plug->knownParts.partProgramNumbers(3), c.result ? 10 : 0);
        }
        if (!b.plug->midiIOSet) {
            EXPECT_EQ(b.status1(), "Set MIDI I/O First!");
        }
    }
}

TEST(ProgramChange, ConflictsCountOnlyOtherPartsThatAreExactlyEnabled)
{
    const struct {
        int other;
        double status;
        bool conflict;
    } cases[] = {{1, 1.0, true}, {1, 0.0, false}, {1, 0.5, false}, {1, 2.0, false}, {3, 1.0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "part " << c.other << " status " << c.status);
        Bench b;
        setPart(b, 3, 2, 10, 4, 1.0);
        b.plug->GetParam(kMultiPartStatus + c.other)->Set(c.status);
        b.plug->knownParts.set(c.other, 2, 10);
        EXPECT_EQ(b.plug->CheckBankConflict(3), c.conflict);
    }
}

TEST(ProgramChange, APickIsJudgedByWhatIsKnownOfEachPartAndARefusedOneLeavesThePartAsItWas)
{
    const struct {
        const char* what;
        bool dumpMovesPartOne; // between part 1's pick of A/117 and part 4's step up to it
        Shorts sent;
        bool askedBeforePick = false; // the dump answers a Request Edit asked before the pick
    } cases[] = {
        {"a performance dump put part 1 on F/59", true, Shorts{"B4 7B 00", "B4 00 00", "B4 20 05", "C4 75 00"}},
        {"part 1 still plays A/117", false, Shorts{}},
        {"a Request Edit's answer, asked before the pick, names F/59", true, Shorts{}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b;
        b.plug->GetParam(kQuickTab)->Set(4);
        b.plug->selectedPart = 4;
        for (int p = 0; p < 8; ++p) setPart(b, p, 0, 10 + p, p, 0.0);
        setPart(b, 1, 0, 3, 1, 1.0);
        setPart(b, 2, 0, 30, 2, 1.0);
        setPart(b, 4, 0, 116, 4, 1.0);
        setPart(b, 7, 1, 31, 7, 1.0);
        b.plug->midiManager->performanceRequestActive = c.askedBeforePick;
        ASSERT_TRUE(pick(b, 1, 0, 117));
        if (c.dumpMovesPartOne) {
            dumpMovesPart(b, 1, 5, 59);
            ASSERT_EQ(b.value(kMultiPartBank + 1), c.askedBeforePick ? 0.0 : 5.0);
            EXPECT_EQ(b.value(kMultiPartPatch + 1), c.askedBeforePick ? 117.0 : 59.0);
        }
        b.plug->midiManager->performanceRequestActive = false;
        b.plug->takeShorts();
        b.takeJobs();
        const int known = b.plug->knownParts.partProgramNumbers(4);
        b.edit(kPatchUp + 4, 1);
        const bool sent = !c.sent.empty();
        EXPECT_EQ(b.plug->takeShorts(), c.sent);
        EXPECT_EQ(b.takeJobs(), sent ? std::vector<int>{kJobRequestPart} : std::vector<int>{});
        EXPECT_EQ(b.shown("bankPatchConflictWindow"), !sent);
        EXPECT_EQ(b.value(kMultiPartPatch + 4), sent ? 117.0 : 116.0);
        EXPECT_EQ(checkedProgram(*b.plug), sent ? 117 : 116);
        EXPECT_EQ(b.plug->knownParts.partProgramNumbers(4), sent ? 117 : known);
    }
}

TEST(ProgramChange, APickIsJudgedByWhatTheSynthesizerWasLastToldOrToldUs)
{
    // Part 4 on A/31, part 2 picks A/42 (A/43, A/41); then the synthesizer's panel moves part 2
    // (the editor following unless held by a lock or Library control) and something sends part
    // 2 back, or the host writes part 2's parameter, which sends nothing. Part 4 then picks the
    // program part 2 plays, and one it does not. Some rows pick both already while the recall's
    // send is owed to a synthesizer that is away, or while a push sends the programs or, after
    // them, the performance; in a knob row the panel goes on from the followed change up to the
    // taken program while the part's dump is awaited.
    enum Back { Recall, Push, RequestEdit, HostProgram, HostBank, OwedRecall, PushPrograms, PushLater, Knob, Nothing };
    // The job thread as the panel's message comes: busy (the follow's request dropped), free,
    // or running a part request of part 2 that waits, after whose keeping `ends` runs.
    enum Thread { Busy, Free, InWait };
    const auto recall = [](Bench& b, ByteChunk& project) {
        testing::internal::CaptureStdout();
        ASSERT_EQ(b.plug->UnserializeState(&project, 0), project.Size());
        testing::internal::GetCapturedStdout();
        b.plug->midiIOSet = true; // the saved project names no device
    };
    const struct {
        const char* what;
        std::vector<uint8_t> panel; // from the synthesizer on part 2's channel, or none
        int hold;                   // the switch on while it comes, 0 for none
        Back back;
        int taken, free; // bank * 128 + program
        Shorts freeSent; // its bank select and program change
        bool lateEcho = false; // the knob's followed change sent back reaches it after the turns
        Thread thread = Busy;
        std::function<void(Bench&, ByteChunk&)> ends = {};
    } cases[] = {
        {"program change 77, recall", {0xC2, 77}, 0, Recall, 42, 77, {"B4 20 05", "C4 4D 00"}},
        {"bank select B, recall", {0xB2, 32, 65}, 0, Recall, 43, 128 + 43, {"B4 20 06", "C4 2B 00"}},
        {"program change 77, Request Edit", {0xC2, 77}, 0, RequestEdit, 42, 77, {"B4 20 05", "C4 4D 00"}},
        {"locked, program change 77, recall", {0xC2, 77}, kPartLock + 2, Recall, 42, 77, {"B4 20 05", "C4 4D 00"}},
        {"Library control, program change 77", {0xC2, 77}, kControlLibrary, Recall, 42, 77, {"B4 20 05", "C4 4D 00"}},
        {"locked, program change 77, push", {0xC2, 77}, kPartLock + 2, Push, 42, 77, {"B4 20 05", "C4 4D 00"}},
        {"the host writes part 2's program", {}, 0, HostProgram, 41, 50, {"B4 20 05", "C4 32 00"}},
        {"the host writes part 2's bank", {}, 0, HostBank, 41, 256 + 41, {"B4 20 07", "C4 29 00"}},
        {"program change 77, picks while the recall's send is owed", {0xC2, 77}, 0, OwedRecall, 42, 77,
         {"B4 20 05", "C4 4D 00"}},
        {"locked, program change 77, picks while the push sends the programs", {0xC2, 77}, kPartLock + 2,
         PushPrograms, 42, 77, {"B4 20 05", "C4 4D 00"}},
        {"locked, program change 77, picks once the push has sent the programs", {0xC2, 77}, kPartLock + 2,
         PushLater, 42, 77, {"B4 20 05", "C4 4D 00"}},
        {"the knob turns from 70 to 74", {0xC2, 70}, 0, Knob, 74, 70, {"B4 20 05", "C4 46 00"}},
        {"the knob turns from 70 to 74, the echo of 70 late", {0xC2, 70}, 0, Knob, 74, 70, {"B4 20 05", "C4 46 00"},
         true},
        // Library control with no entry at the number waits for nothing: the turns go on counting.
        {"Library control, an empty slot, the knob turns from 77 to 78", {0xC2, 77}, kControlLibrary, Nothing, 78, 77,
         {"B4 20 05", "C4 4D 00"}, false, Free},
        // What ends a program change kept in a request's wait: never followed; a Cancel or Library
        // control switched leaves it known as what the part plays.
        {"program change 77 kept, a recall", {0xC2, 77}, 0, Push, 42, 77, {"B4 20 05", "C4 4D 00"}, false, InWait,
         recall},
        {"program change 77 kept, a Cancel", {0xC2, 77}, 0, Nothing, 77, 50, {"B4 20 05", "C4 32 00"}, false, InWait,
         [](Bench& b, ByteChunk&) { b.edit(kCancelDataRequest, 1); }},
        {"program change 77 kept, Library control on and off", {0xC2, 77}, 0, Nothing, 77, 50, {"B4 20 05", "C4 32 00"},
         false, InWait, [](Bench& b, ByteChunk&) { b.edit(kControlLibrary, 1), b.edit(kControlLibrary, 0); }},
        // As the port layer tells of a close or an open; another device may be there now.
        {"program change 77 kept, the output's port changes", {0xC2, 77}, 0, Nothing, -1, 0, {}, false, InWait,
         [](Bench& b, ByteChunk&) { static_cast<IPluginBase&>(*b.plug).OnExternalMIDIPortChanged(false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::atomic<int64_t> clock{0}; // outlive the bench's jobs
        std::atomic<bool> go{false};
        Bench b;
        Synthesizer synth(b);
        for (int p = 0; p < 8; ++p) setPart(b, p, 0, 10 + p, p, p == 2 || p == 4 ? 1.0 : 0.0);
        b.edit(kMIDIFilterHWPCPassThrough, 1);
        ASSERT_TRUE(pick(b, 4, 0, 31));
        ASSERT_TRUE(pick(b, 2, 0, c.back == Knob || c.thread != Busy ? 42 : c.taken));
        b.takeJobs();
        synth.play();
        ByteChunk project;
        ASSERT_TRUE(b.plug->SerializeState(&project));
        if (c.hold) b.edit(c.hold, 1);
        MIDIMessageSender& sender = *b.plug->midiManager->sender;
        // A request that no answer ends waits on a clock its pauses move, not on the machine's.
        b.plug->midiManager->dueClock = [&clock] { return clock.load(); };
        const bool push = c.back == PushPrograms || c.back == PushLater;
        // A push holds at its first pause in the part of it the row names, until the test has
        // picked; the knob's followed request holds at its start.
        std::atomic<bool> held{false};
        sender.onPause = [&, me = std::this_thread::get_id()](int& ms) {
            clock += std::exchange(ms, 0);
            if (!push || held || std::this_thread::get_id() == me) return;
            if ((c.back == PushPrograms) != b.plug->sendingAllParts) return;
            held = true;
            while (!go) usleep(1000);
        };
        // Part 4 picks the taken program and the free one before the synthesizer has them.
        const auto pickBoth = [&] {
            EXPECT_FALSE(pick(b, 4, c.taken / 128, c.taken % 128));
            EXPECT_TRUE(pick(b, 4, c.free / 128, c.free % 128));
        };
        if (c.back == Knob) {
            sender.beforeJob = [&go](int) {
                while (!go) usleep(1000);
            };
            // The followed change's request waits while the later steps reach the editor; the
            // editor's echo of the first reaches the synthesizer before them or after them all.
            for (int program = c.panel[1]; program <= c.taken; ++program) {
                synth.panel({0xC2, uint8_t(program)});
                fromSynthesizer(b, 0xC2, uint8_t(program));
                if (!c.lateEcho) synth.play();
            }
            synth.play();
            go = true;
            b.takeJobs();
            EXPECT_EQ(b.value(kMultiPartPatch + 2), c.taken) << "the editor ends where the panel did";
        } else if (c.thread == InWait) {
            sender.beforeJob = [&go](int) {
                while (!go) usleep(1000);
            };
            SenderJobRecord request;
            request.job = kJobRequestPart, request.part = 2, request.toEditor = true;
            MIDIMessageManager* m = b.plug->midiManager;
            ASSERT_TRUE(m->startJob(request, [m] { m->expectingEditDump = true; }));
            synth.panel(c.panel);
            fromSynthesizer(b, c.panel[0], c.panel[1]);
            c.ends(b, project);
            go = true;
            b.takeJobs();
            EXPECT_EQ(b.value(kMultiPartPatch + 2), 42) << "the kept change is not followed";
            EXPECT_EQ(synth.play(), Shorts{});
            if (c.taken < 0) {
                EXPECT_EQ(b.plug->knownParts.partProgramNumbers(2), 42) << "nothing of the old port is known";
                continue;
            }
        } else if (c.thread == Free) {
            for (int program = c.panel[1]; program <= c.taken; ++program) {
                synth.panel({0xC2, uint8_t(program)});
                fromSynthesizer(b, 0xC2, uint8_t(program));
            }
            EXPECT_EQ(b.status1(), "Library slot is empty!");
            EXPECT_FALSE(b.plug->midiManager->expectingEditDump);
        } else if (!c.panel.empty()) {
            // The follow's own request would wait for an answer this bench never gives; with
            // the job thread busy it is dropped.
            ASSERT_TRUE(b.plug->midiManager->sender->claim(kJobThread));
            synth.panel(c.panel);
            fromSynthesizer(b, c.panel[0], c.panel[1], c.panel.size() > 2 ? c.panel[2] : 0);
            b.plug->midiManager->sender->release(kJobThread, 2);
        }
        if (c.hold) b.edit(c.hold, 0);
        synth.play();
        if (c.back == Recall || c.back == OwedRecall) recall(b, project);
        if (c.back == OwedRecall) {
            // The synthesizer is away: the recall owes it the performance, and the picks go
            // nowhere but into that send.
            b.plug->recalledSendOwed = true;
            pickBoth();
            EXPECT_EQ(b.plug->knownParts.partProgramNumbers(4), 31) << "a pick that reached nothing";
            b.plug->takeShorts();
            synth.seen = b.plug->copy(b.plug->handed).size();
            // Back: the owed send is paid.
            b.plug->mSendPaysRecall = QOR::kPaysOnce;
            wholeSend(b);
            EXPECT_FALSE(b.plug->recalledSendOwed);
        }
        if (push) {
            SenderJobRecord send;
            send.job = kJobSendArrangement;
            ASSERT_TRUE(b.plug->midiManager->startJob(send, [&b] { b.plug->raiseWholeSendFlags(); }));
            for (int waited = 0; !held && waited < 10000; ++waited) usleep(1000);
            EXPECT_TRUE(held) << "the push never came to the part the row names";
            pickBoth();
            go = true;
        }
        if (c.back == OwedRecall || push) {
            b.takeJobs();
            synth.play();
            EXPECT_EQ(synth.plays(4), c.free);
        }
        if (c.back == Recall || c.back == Push) wholeSend(b);
        if (c.back == RequestEdit) {
            synth.panel({0xC2, uint8_t(c.taken)});
            dumpMovesPart(b, 2, 0, c.taken);
        }
        if (c.back == HostProgram) b.edit(kMultiPartPatch + 2, c.free % 128);
        if (c.back == HostBank) b.edit(kMultiPartBank + 2, c.free / 128);
        b.takeJobs();
        synth.play();
        ASSERT_EQ(synth.plays(2), c.taken);

        EXPECT_FALSE(pick(b, 4, c.taken / 128, c.taken % 128));
        EXPECT_EQ(synth.play(), Shorts{});
        EXPECT_TRUE(b.shown("bankPatchConflictWindow"));
        EXPECT_NE(synth.plays(4), synth.plays(2)) << "the two enabled parts on one program";
        // A pick sent puts the notice away.
        EXPECT_TRUE(pick(b, 4, c.free / 128, c.free % 128));
        Shorts sent = {"B4 7B 00", "B4 00 00"};
        sent.insert(sent.end(), c.freeSent.begin(), c.freeSent.end());
        EXPECT_EQ(synth.play(), sent);
        EXPECT_FALSE(b.shown("bankPatchConflictWindow"));
        EXPECT_EQ(synth.plays(4), c.free);
    }
}

TEST(ProgramChange, AClickOnTheConflictNoticePutsItAwayAndTheControlUnderItAnswersAgain)
{
    Bench b;
    b.edit(kQuickTab, 3);
    b.edit(kMainTab, 2); // the oscillators page, where Glissando lies under the notice
    for (int p = 0; p < 8; ++p) setPart(b, p, 0, 10 + p, p, p == 1 || p == 3 ? 1.0 : 0.0);
    ASSERT_TRUE(pick(b, 1, 0, 20));
    ASSERT_FALSE(pick(b, 3, 0, 20));
    ASSERT_TRUE(b.shown("bankPatchConflictWindow"));

    ControlAction* glissando = b.plug->GetParam(kPortamentoType + 3)->GetControlAction();
    ASSERT_TRUE(glissando && !glissando->controls.empty());
    const IRECT* r = glissando->controls.front()->GetRECT();
    const int x = (r->L + r->R) / 2, y = (r->T + r->B) / 2;
    ASSERT_TRUE(b.plug->keptLayer("bankPatchConflictWindow")->controls.Get(0)->GetRECT()->Contains(x, y));
    IMouseMod left(true);
    auto click = [&] {
        testing::internal::CaptureStdout();
        b.plug->GetGUI()->OnMouseDown(x, y, &left);
        b.plug->GetGUI()->OnMouseUp(x, y, &left);
        testing::internal::GetCapturedStdout();
    };
    b.plug->takeShorts();
    click();
    EXPECT_FALSE(b.shown("bankPatchConflictWindow"));
    EXPECT_EQ(b.value(kPortamentoType + 3), 0.0) << "the click that puts it away goes no further";
    click();
    EXPECT_EQ(b.value(kPortamentoType + 3), 1.0);
    EXPECT_FALSE(b.plug->takeShorts().empty()) << "Glissando sent";
}

TEST(ProgramChange, SingleCommandsSetTheirPartAndSendOrDoNothingWithoutAPort)
{
    for (const bool port : {true, false}) {
        SCOPED_TRACE(port);
        Bench b;
        b.plug->midiIOSet = port;
        b.plug->GetParam(kMultiPartMIDICh + 6)->Set(6);
        b.plug->GetParam(kMultiPartMIDICh + 2)->Set(2);
        b.plug->GetParam(kMultiPartBank + 6)->Set(0);
        b.plug->GetParam(kMultiPartPatch + 2)->Set(0);
        testing::internal::CaptureStdout();
        b.plug->SendBankChangeCommand(1, 6);
        b.plug->SendProgramChangeCommand(9, 2);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(b.value(kMultiPartBank + 6), port ? 1.0 : 0.0);
        EXPECT_EQ(b.value(kMultiPartPatch + 2), port ? 9.0 : 0.0);
        EXPECT_EQ(b.plug->takeShorts(), port ? Shorts({"B6 20 06", "C2 09 00"}) : Shorts{});
        EXPECT_EQ(b.takePauses(), port ? std::vector<int>({25, 25}) : std::vector<int>{});
    }
}

TEST(ProgramChange, DispatchRowsSelectBanksStepProgramsAndStoreIntoTheLibrary)
{
    const struct {
        const char* what;
        std::function<void(Bench&)> setUp;
        int id;
        double program; // kMultiPartPatch + 2 afterwards
        Shorts sent;
        std::vector<int> jobs;
        const char* status;
        int checked = -1; // the program the program-number menu checks afterwards (64 before); -1: not looked at
    } cases[] = {
        {"bank 3 for the selected part", [](Bench&) {}, kRequestFromBank, 127, Shorts{"B2 20 08"}, {}, ""},
        {"up from 127",
         [](Bench&) {},
         kPatchUp + 2,
         0,
         Shorts{"B2 7B 00", "B2 00 00", "B2 20 05", "C2 00 00"},
         {kJobRequestPart},
         "",
         0},
        {"up with a section lock: the request sends the program back after its reply",
         [](Bench& b) { b.plug->GetParam(kSectionLockFilter + 2)->Set(1); },
         kPatchUp + 2,
         0,
         Shorts{"B2 7B 00", "B2 00 00", "B2 20 05", "C2 00 00"},
         {kJobRequestPart},
         ""},
        {"down from 0",
         [](Bench& b) { b.plug->GetParam(kMultiPartPatch + 2)->Set(0); },
         kPatchDown + 2,
         127,
         Shorts{"B2 7B 00", "B2 00 00", "B2 20 05", "C2 7F 00"},
         {kJobRequestPart},
         "",
         127},
        {"a locked part", [](Bench& b) { b.plug->GetParam(kPartLock + 2)->Set(1); }, kPatchUp + 2, 127, {}, {}, "", 64},
        {"an open rename", [](Bench& b) { b.plug->renameIdle = false; }, kPatchUp + 2, 127, {}, {}, "", 64},
        {"program changes off",
         [](Bench& b) { b.plug->GetParam(kMultiPartProgramChange + 2)->Set(1); },
         kPatchUp + 2,
         127,
         {},
         {},
         "Program Change Disabled.",
         127},
        {"performance mode warns and steps the performance",
         [](Bench& b) {
             b.plug->performanceMode = true;
             b.plug->GetParam(kMultiPatch)->Set(3);
             b.plug->GetParam(kGlobalMidiChannel)->Set(9);
         },
         kPatchDown + 2,
         127,
         Shorts{"B9 7B 00", "B9 00 00", "B9 20 60", "C9 02 00"},
         {},
         "Disable Multi Mode first",
         2},
        {"library mode moves the upper slot",
         [](Bench& b) {
             b.plug->libraryControlMode = true;
             b.plug->patchLibrarian->upperSlot = 126;
         },
         kPatchUp + 2,
         127,
         {},
         {},
         "",
         127},
        {"the editor's program into the library slot", [](Bench&) {}, kOverwriteBank, 127, {}, {kJobSendPart}, ""},
        {"the editor's performance into the library slot",
         [](Bench& b) { b.plug->performanceMode = true; },
         kOverwriteBank,
         127,
         {},
         {kJobSendArrangement},
         ""},
        {"the editor's pattern into the library slot",
         [](Bench& b) { b.plug->patternMode = true; },
         kOverwriteBank,
         127,
         {},
         {kJobSendSequence},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b;
        // The quick tab, which every edit re-applies, names the selected part.
        b.plug->GetParam(kQuickTab)->Set(2);
        b.plug->selectedPart = 2;
        b.plug->GetParam(kLibSyncTimer)->Set(0);
        setPart(b, 2, 0, 127, 2, 1.0);
        b.plug->sendingAllParts = true;
        b.plug->sendGlobalsFirst = true;
        c.setUp(b);
        b.plug->programNumberMenu->refreshPatchNames(nullptr, nullptr, 64);
        b.plug->takeShorts();
        b.edit(c.id, c.id == kRequestFromBank ? 3 : 1);
        if (c.checked >= 0) {
            EXPECT_EQ(checkedProgram(*b.plug), c.checked);
        }
        EXPECT_EQ(b.plug->takeShorts(), c.sent);
        EXPECT_EQ(b.takeJobs(), c.jobs);
        EXPECT_EQ(b.value(kMultiPartPatch + 2), c.program);
        if (*c.status) {
            EXPECT_EQ(b.status1(), c.status);
        }
        if (c.jobs == std::vector<int>{kJobRequestPart}) {
            EXPECT_EQ(b.lastRecord().sendPartAfterReply, b.value(kSectionLockFilter + 2) == 1.0);
        }
        if (c.id == kRequestFromBank) {
            // Bank 3 lies in the current bank's range as in the part's.
            EXPECT_EQ(b.value(kCurrentBank + 2), 3.0);
            EXPECT_EQ(b.value(kMultiPartBank + 2), 3.0);
        }
        if (c.id == kOverwriteBank) {
            const SenderJobRecord& r = b.lastRecord();
            EXPECT_TRUE(r.storeIntoLibrary);
            EXPECT_FALSE(r.passOn);
            if (r.job != kJobSendArrangement) {
                EXPECT_EQ(r.part, 2);
            }
            // A store into the library sends neither the parts nor the globals.
            if (r.job == kJobSendArrangement) {
                EXPECT_FALSE(b.plug->sendingAllParts || b.plug->sendGlobalsFirst);
            }
        }
    }
}

TEST(ProgramChange, LibraryStartersPadTheBankAndHandTheEntryOrTheBankToTheJob)
{
    const struct {
        const char* what;
        std::function<void(Bench&)> run;
        std::vector<int> jobs;
        int entry; // the entry of the upper bank the record names, -1 for another bank or none
        int part;
    } cases[] = {
        {"slot 99 of 100",
         [](Bench& b) { b.plug->sendPatchToDeviceFromLibrarian(99, 0, 5); },
         {kJobSendPatchFromLibrarian},
         99,
         5},
        {"slot 120 is empty", [](Bench& b) { b.plug->sendPatchToDeviceFromLibrarian(120, 0, 5); }, {}, -1, 0},
        {"a bank index outside the list",
         [](Bench& b) {
             b.plug->patchLibrarian->upperFileIndex = 7;
             b.plug->sendPatchToDeviceFromLibrarian(3, 0, 5);
         },
         {},
         -1,
         0},
        {"no port: padded and moved, not sent",
         [](Bench& b) {
             b.plug->midiIOSet = false;
             b.plug->sendPatchToDeviceFromLibrarian(42, 0, 5);
         },
         {},
         -1,
         0},
        {"the selected slot for the selected part",
         [](Bench& b) {
             b.plug->patchLibrarian->upperSlot = 7;
             b.plug->librarianView->upperSelection = 7;
             b.plug->selectedPart = 3;
             b.plug->SendSingleProgramFromLibrarian(true);
         },
         {kJobSendPatchFromLibrarian},
         7,
         3},
        {"library mode steps the selected slot from 127 to 0",
         [](Bench& b) {
             b.plug->libraryControlMode = true;
             b.plug->patchLibrarian->upperSlot = 127;
             b.plug->patchLibrarian->singleFiles[0]->patches.resize(128);
             b.plug->patchLibrarian->singleFiles[0]->patches[127] = b.plug->patchLibrarian->singleFiles[0]->patches[0];
             b.edit(kPatchUp + 2, 1);
         },
         {kJobSendPatchFromLibrarian},
         0,
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b;
        ASSERT_NE(b.plug->librarianView, nullptr);
        PatchFile* bank = b.addBank(100, b.plug->patchLibrarian->singleFiles);
        b.plug->patchLibrarian->upperFileIndex = int(b.plug->patchLibrarian->singleFiles.size()) - 1;
        b.plug->librarianView->currentSlot = -5;
        c.run(b);
        EXPECT_EQ(b.takeJobs(), c.jobs);
        const bool listed = b.plug->patchLibrarian->upperFileIndex != 7;
        EXPECT_EQ(bank->patches.size(), listed ? 128u : 100u);
        if (c.entry >= 0) {
            EXPECT_EQ(b.lastRecord().patch, &bank->patches[size_t(c.entry)]);
            EXPECT_EQ(b.lastRecord().part, c.part);
            EXPECT_EQ(b.plug->librarianView->currentSlot, c.entry);
        }
        if (!b.plug->midiIOSet) {
            EXPECT_EQ(b.plug->librarianView->currentSlot, 42);
        }
    }
}

TEST(ProgramChange, TheLowerPaneShowsTheCategoryBankBeforeTheSearchBank)
{
    Bench b;
    PatchLibrarian& lib = *b.plug->patchLibrarian;
    b.addBank(128, lib.singleFiles);
    PatchFile* category = b.addBank(128, lib.categoryFiles);
    PatchFile* search = b.addBank(128, lib.searchFiles);
    lib.lowerFileIndex = 0;
    const struct {
        bool category, search;
        PatchFile* expected;
    } cases[] = {{true, true, category}, {false, true, search}, {false, false, lib.singleFiles[0]}};
    for (const auto& c : cases) {
        b.plug->categoryListShown = c.category;
        b.plug->searchListShown = c.search;
        b.plug->sendPatchToDeviceFromLibrarian(4, 1, 0);
        EXPECT_EQ(b.takeJobs(), std::vector<int>{kJobSendPatchFromLibrarian});
        EXPECT_EQ(b.lastRecord().patch, &c.expected->patches[4]);
    }
}

TEST(ProgramChange, BankStoresNameThePaneFirstEntryAndBankOrNothingWithoutAPort)
{
    const struct {
        const char* what;
        std::function<void(QOR&)> run;
        int pane, first, bank;
    } cases[] = {
        {"store from entry 3", [](QOR& q) { q.storeAllPatchesToDeviceFromLibrarian(1, 3, 2); }, 1, 3, 2},
        {"all programs, no upper selection",
         [](QOR& q) {
             q.librarianView->upperSelection = -1;
             q.SendAllProgramsFromLibrarian(4);
         },
         1, 0, 4},
        {"all programs, an upper selection",
         [](QOR& q) {
             q.librarianView->upperSelection = 9;
             q.SendAllProgramsFromLibrarian(6);
         },
         0, 0, 6},
    };
    for (const auto& c : cases) {
        for (const bool port : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.what << (port ? "" : ", no port"));
            Bench b;
            b.plug->midiIOSet = port;
            b.plug->patchLibrarian->upperSlot = 17;
            c.run(*b.plug);
            EXPECT_EQ(b.takeJobs(), port ? std::vector<int>{kJobStoreAllPatches} : std::vector<int>{});
            if (!port) continue;
            const SenderJobRecord& r = b.lastRecord();
            EXPECT_EQ(std::vector<int>({r.storeMode, r.storeStartSlot, r.storeBank}),
                      std::vector<int>({c.pane, c.first, c.bank}));
            if (c.first == 0) {
                EXPECT_EQ(b.plug->patchLibrarian->upperSlot, 0);
            }
        }
    }
}

TEST(ProgramChange, APerformanceFromTheLibraryReloadsEveryPartThenGoesBackAndIsRequested)
{
    Bench b;
    PatchLibrarian& lib = *b.plug->patchLibrarian;
    lib.currentKind = kPatchFilePerformances;
    b.addBank(128, lib.multiFiles);
    lib.upperFileIndex = 0;
    b.plug->performanceMode = true;
    b.plug->sendingAllParts = true;
    Shorts expected;
    for (int p = 0; p < 8; ++p) {
        const int program = p == 0 ? 127 : p == 1 ? 0 : 10 + p;
        setPart(b, p, p % 4, program, 15, 1.0);
        char text[3][16];
        std::snprintf(text[0], 16, "C%X %02X 00", p, program == 127 ? 126 : program + 1);
        std::snprintf(text[1], 16, "B%X 20 %02X", p, p % 4 + 5);
        std::snprintf(text[2], 16, "C%X %02X 00", p, program);
        expected.insert(expected.end(), {text[0], text[1], text[2]});
    }
    testing::internal::CaptureStdout();
    b.plug->sendPatchToDeviceFromLibrarian(3, 0, 0);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(b.takeJobs(),
              std::vector<int>({kJobSendPatchFromLibrarian, kJobSendArrangement, kJobRequestActiveArrangement}));
    EXPECT_EQ(b.plug->takeShorts(), expected);
    // Straight to the port: none of them is printed as the editor's output.
    EXPECT_EQ(printed.find("Plug-in MIDI Out C"), std::string::npos);
    std::vector<int> pauses = b.takePauses();
    ASSERT_FALSE(pauses.empty());
    EXPECT_EQ(pauses.front(), 25);
    while (!pauses.empty() && pauses.front() == 25) pauses.erase(pauses.begin());
    // The request waits for the send to end, in steps of 25 ms.
    while (!pauses.empty() && pauses.back() == 25) pauses.pop_back();
    std::vector<int> rest{500};
    rest.insert(rest.end(), 24, 75);
    rest.push_back(1000);
    EXPECT_EQ(pauses, rest);
    EXPECT_FALSE(b.plug->libraryPerformanceTransfer);
    EXPECT_FALSE(b.plug->sendingAllParts);
}

TEST(ProgramChange, APartGoesBackAfterAProgramChangeOnlyWhileASectionLockIsOn)
{
    const struct {
        const char* what;
        int lock; // section number, -1 for none
        bool transfer;
        std::vector<int> jobs;
        std::vector<int> pauses;
    } cases[] = {
        {"vocoder lock", 21, false, {kJobSendPart}, {100}},
        {"no lock", -1, false, {}, {100}},
        {"a transfer runs", 0, true, {kJobSendPart}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b;
        if (c.lock >= 0) b.plug->GetParam(kSectionLockOsc1 + 8 * c.lock + 3)->Set(1);
        // Another part's lock guards nothing here.
        b.plug->GetParam(kSectionLockOsc1 + 8 * 5 + 4)->Set(1);
        b.plug->deviceTransferActive = c.transfer;
        testing::internal::CaptureStdout();
        b.plug->sendPartDataBackToHardware(3);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(b.takeJobs(), c.jobs);
        EXPECT_EQ(b.takePauses(), c.pauses);
        if (!c.jobs.empty()) {
            EXPECT_EQ(b.lastRecord().part, 3);
        }
    }
}

TEST(ProgramChange, AJobHoldingTheThreadCostsTheResendAndNoWait)
{
    Bench b;
    b.plug->GetParam(kSectionLockFilter + 3)->Set(1);
    MIDIMessageSender& sender = *b.plug->midiManager->sender;
    // A wait for the thread would pause on and on: the holder is let go after 20 pauses.
    std::atomic<bool> release{false};
    std::vector<int> jobs;
    std::mutex lock;
    sender.onPause = [&, me = std::this_thread::get_id()](int& ms) {
        if (std::this_thread::get_id() == me) {
            b.pauses.push_back(ms);
            if (b.pauses.size() > 20) release = true;
        }
        ms = 0;
    };
    sender.beforeJob = [&](int job) {
        {
            std::lock_guard<std::mutex> hold(lock);
            jobs.push_back(job);
        }
        while (!release) usleep(1000);
    };
    SenderJobRecord holder;
    holder.job = kJobNothing; // stands for a bank request
    ASSERT_TRUE(b.plug->midiManager->startJob(holder));
    testing::internal::CaptureStdout();
    b.plug->sendPartDataBackToHardware(3);
    testing::internal::GetCapturedStdout();
    release = true;
    b.settle();
    EXPECT_EQ(b.takePauses(), std::vector<int>{100});
    EXPECT_EQ(b.status1(), "Part not sent back, transfer in progress!");
    std::lock_guard<std::mutex> hold(lock);
    EXPECT_EQ(jobs, std::vector<int>{kJobNothing});
}

TEST(ProgramChange, LibrarySendsFromASecondThreadMeetRescansOfTheLibrary)
{
    Bench b;
    QOR& q = *b.plug;
    PatchLibrarian& lib = *q.patchLibrarian;
    const std::string root = q.getPatchesFolderStr();
    mkdir(root.c_str(), 0755);
    for (uint32_t i = 1; i <= 2; ++i)
        testsupport::writeFile(
            root + "/Bank" + std::to_string(i) + ".syx",
            bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(bankgen::Kind::Programs, 0x20, 100, i))));
    lib.initBankFilesOnDiscard(root);
    ASSERT_EQ(lib.singleFiles.size(), 2u);
    lib.lowerFileIndex = 1;
    // Job 4 reads its entry as the real job does: a freed bank would show here.
    std::atomic<size_t> bytesRead{0};
    q.midiManager->sender->beforeJob = [&](int job) {
        if (job != kJobSendPatchFromLibrarian) return;
        size_t n = 0;
        for (const PatchSysexMessage& m : q.midiManager->sender->records[kJobThread].patch->messages)
            for (size_t i = 0; i < m.bytes.size(); ++i) n += m.bytes.data()[i];
        bytesRead += n;
    };
    std::atomic<bool> done{false};
    // As incoming program changes make them on the MIDI input thread.
    std::thread midiInput([&] {
        for (int i = 0; i < 300; ++i) q.sendPatchToDeviceFromLibrarian(i % 100, i % 2, i % 8);
        done = true;
    });
    int rescans = 0;
    while (!done || rescans == 0) {
        lib.initBankFilesOnDiscard(root);
        q.releaseRetiredBanks();
        ++rescans;
    }
    midiInput.join();
    b.settle();
    EXPECT_GT(bytesRead.load(), 0u);
    EXPECT_TRUE(q.releaseRetiredBanks());
    EXPECT_EQ(lib.retiredBankCount(), 0u);
}

TEST(ProgramChange, ReceivedDataMarksTheBankUnsavedWithTheTextOfTheMode)
{
    const struct {
        bool performance, pattern;
        const char* text;
    } cases[] = {{false, false, "Program received to slot(s)"},
                 {true, false, "Multi received to slot(s)"},
                 {false, true, "Pattern received to slot(s)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Bench b;
        QOR& q = *b.plug;
        q.performanceMode = c.performance;
        q.patternMode = c.pattern;
        q.GetParam(kBankEditUnsaved)->Set(0);
        q.GetParam(kDiscardBankData)->Set(1);
        q.keptLayer("discardChangesLayerRight")->Hide(true);
        q.keptLayer("keepBankOpenLayer")->Hide(false);
        q.showStatus("before");
        for (const bool received : {false, true}) {
            q.midiManager->armRequestBuffer(c.pattern ? 2 : c.performance ? 1 : 0);
            q.midiManager->expectingEditDump = true;
            q.SetLibrarianStatusUnsaved(received);
            EXPECT_EQ(b.value(kBankEditUnsaved), received ? 1.0 : 0.0);
            EXPECT_EQ(b.value(kDiscardBankData), received ? 0.0 : 1.0);
            EXPECT_EQ(b.shown("discardChangesLayerRight"), received);
            EXPECT_EQ(b.shown("keepBankOpenLayer"), !received);
            EXPECT_EQ(b.status1(), received ? c.text : "before");
            EXPECT_EQ(q.midiManager->expectingEditDump.load(), !received);
            const bool armed = q.midiManager->libraryPatchRequest.active ||
                               q.midiManager->libraryPerformanceRequest.active ||
                               q.midiManager->libraryPatternRequest.active;
            EXPECT_EQ(armed, !received);
        }
    }
}
