// The program send (job 2), the part request (job 7) and the program parser against the
// in-process synthesizer: what went out, the pauses, the status line and the flags, what a
// received dump changes, and how a misbehaving synthesizer ends the request. The pauses do not
// sleep; each lets the simulator's answers arrive first, so passes are counted exactly.
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/PatchManager.h"
#include "Project_Source/src/ProgramDump.h"
#include "insynth_bench.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace qorid;
using insynthtest::BenchOf;
using insynthtest::kPeriod;
using testsupport::Bytes;

namespace
{

// Keeps what the controller hands its own router, as the library form of job 2 does.
class Plug : public testsupport::InSynthQOR
{
public:
    using InSynthQOR::InSynthQOR;
    void ProcessSysEx(ISysEx* msg, bool fromDevice) override
    {
        if (!fromDevice || msg->mData[0] == 0xF0) keep(routed, Bytes(msg->mData, msg->mData + msg->mSize));
        InSynthQOR::ProcessSysEx(msg, fromDevice);
    }
    std::vector<Bytes> routed;
};

synthsim::Options synthAt15()
{
    synthsim::Options o;
    o.deviceId = 15;
    o.editReply = synthsim::EditReply::Program;
    return o;
}

struct Bench : BenchOf<Plug> {
    explicit Bench(const synthsim::Options& options = synthAt15()) : BenchOf(options) {}
    void run(int job, int part, bool toEditor = true, bool intoLibrary = false)
    {
        SenderJobRecord r;
        r.job = job, r.part = part, r.toEditor = toEditor, r.storeIntoLibrary = intoLibrary;
        BenchOf::run(r);
    }
    // Program dumps and edit-buffer requests handed to the output, in order.
    std::vector<Bytes> handed(size_t size)
    {
        std::vector<Bytes> out;
        for (const Bytes& m : plug->copy(plug->handed))
            if (m.size() == size) out.push_back(m);
        return out;
    }
    // Straight to the parser, without the router's main-tab refresh after it.
    void parse(Bytes dump)
    {
        ISysEx msg(0, dump.data(), int(dump.size()));
        plug->midiManager->sysexPatchParse(&msg);
    }
};

// A dump of part from a controller's values with some set: the parser's input.
Bytes dumpOf(Bench& b, int part, std::initializer_list<std::pair<int, double>> set, const char* name = "Incoming")
{
    Bytes d(ProgramDump::kSize);
    ProgramDump::write(
        [&](int id) {
            for (const auto& [i, v] : set)
                if (i == id) return v;
            return b.value(id);
        },
        part, 0x20, name, d.data());
    return d;
}

// d with one byte changed, then cut to size bytes.
Bytes withByte(Bytes d, size_t at, uint8_t byte, size_t size = ProgramDump::kSize)
{
    d[at] = byte;
    d.resize(size);
    return d;
}

std::vector<int> times(int n, int ms)
{
    return std::vector<int>(size_t(n), ms);
}

} // namespace

TEST(ProgramSend, APartsDumpGoesOutWithItsNameKeptAndAPauseAfterIt)
{
    Bench b;
    b.plug->selectedPart = 1;
    b.plug->GetParam(kPatchName + 2)->SetDisplayText(0, "Bass");
    b.plug->GetParam(kOscillator1Octave + 2)->Set(2);
    b.run(kJobSendPart, 2);
    const auto dumps = b.handed(ProgramDump::kSize);
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0][8], 2);
    EXPECT_EQ(std::string(dumps[0].begin() + 9, dumps[0].begin() + 25), "Bass            ");
    EXPECT_EQ(dumps[0][32], 32);
    EXPECT_EQ(b.plug->patchManager->patch.names[3], "Bass");
    EXPECT_EQ(b.pauses, std::vector<int>{150});
    EXPECT_FALSE(b.plug->midiManager->sendInProgress);
    EXPECT_FALSE(b.plug->deviceTransferActive);
    EXPECT_EQ(b.plug->copy(b.plug->indicator).front(), Bytes{1});
    EXPECT_EQ(b.plug->copy(b.plug->indicator).back(), Bytes{0});
    // The synthesizer took it into part 3's edit buffer.
    const auto mem = b.plug->session.synth().memory();
    EXPECT_EQ(Bytes(mem.partEdit[2].begin(), mem.partEdit[2].end()), Bytes(dumps[0].begin() + 9, dumps[0].end() - 1));

    b.plug->GetParam(kPatchName + 2)->SetDisplayText(0, "");
    b.run(kJobSendPart, 2);
    EXPECT_EQ(b.plug->patchManager->patch.names[3], "Set Name");
}

TEST(ProgramSend, AllPartsLeaveTheNamesAloneAndTheLastPartEndsTheRun)
{
    Bench b;
    b.plug->sendingAllParts = true;
    b.plug->GetParam(kPatchName + 0)->SetDisplayText(0, "Lead");
    for (int part = 0; part < 7; ++part) {
        b.run(kJobSendPart, part);
        EXPECT_TRUE(b.plug->sendingAllParts) << part;
    }
    EXPECT_EQ(b.plug->patchManager->patch.names[1], "INIT");
    b.run(kJobSendPart, 7);
    EXPECT_FALSE(b.plug->sendingAllParts);
    EXPECT_EQ(b.handed(ProgramDump::kSize).size(), 8u);
    EXPECT_EQ(b.pauses, times(8, 150));
}

TEST(ProgramSend, WithoutAPortItSaysSoStillPausesAndClearsItsFlags)
{
    Bench b;
    b.plug->midiIOSet = false;
    b.plug->deviceTransferActive = true;
    b.run(kJobSendPart, 4);
    EXPECT_TRUE(b.handed(ProgramDump::kSize).empty());
    EXPECT_EQ(b.status(), "Set MIDI I/O First!");
    EXPECT_EQ(b.pauses, std::vector<int>{150});
    EXPECT_FALSE(b.plug->deviceTransferActive);
    EXPECT_FALSE(b.plug->midiManager->sendInProgress);
}

TEST(ProgramSend, TheLibraryFormGoesToTheRouterWithBankCodeAndSlotAndNotToTheSynthesizer)
{
    Bench b;
    b.plug->GetParam(kRequestFromBank)->Set(2);
    b.plug->patchLibrarian->upperSlot = 17;
    b.run(kJobSendPart, 5, true, true);
    EXPECT_TRUE(b.handed(ProgramDump::kSize).empty());
    ASSERT_EQ(b.plug->routed.size(), 1u);
    EXPECT_EQ(b.plug->routed[0][7], 0x07);
    EXPECT_EQ(b.plug->routed[0][8], 0x11);
    EXPECT_TRUE(b.pauses.empty());
}

TEST(ProgramParse, ADumpOfAnotherPartChangesThatPartAndKeepsTheShownNameAndCategory)
{
    Bench b;
    b.plug->selectedPart = 1;
    b.plug->GetParam(kPatchName + 1)->SetDisplayText(0, "Shown");
    b.plug->displayCategoryName("kept");
    b.parse(dumpOf(b, 3, {{kFilterCutoff + 3, 99}, {kCategoryName + 3, 2}}, "Part Four"));
    EXPECT_EQ(b.value(kFilterCutoff + 3), 99);
    EXPECT_EQ(std::string(b.plug->GetParam(kPatchName + 3)->CopyDisplayText(0)), "Part Four       ");
    EXPECT_EQ(b.plug->patchManager->patch.names[4], "Part Four       ");
    KIT_String s("", 0, 256);
    b.plug->patchDisplay->GetTextCopy(&s);
    EXPECT_STREQ(s.Get(), "Shown");
    b.plug->categoryDisplay->GetTextCopy(&s);
    EXPECT_STREQ(s.Get(), "kept");
    EXPECT_TRUE(b.plug->midiManager->requestComplete);
    // The shown part's category as received, and the bytes beside it kept whole.
    b.parse(dumpOf(b, 1, {{kCategoryName + 1, 8}, {kUnusedParam01 + 1, 0x23}, {kUnusedParam03 + 1, 127}}));
    b.plug->categoryDisplay->GetTextCopy(&s);
    EXPECT_STREQ(s.Get(), "Pad");
    EXPECT_EQ(b.value(kUnusedParam01 + 1), 0x23);
    EXPECT_EQ(b.value(kUnusedParam03 + 1), 127);

    // A received octave code of 0 stands for -30: the parameter holds its lowest value.
    Bytes low = dumpOf(b, 1, {});
    low[32] = 0;
    b.parse(low);
    const IParam* octave = b.plug->GetParam(kOscillator1Octave + 1);
    EXPECT_EQ(octave->Value(), octave->GetMin());
}

TEST(ProgramParse, OnlyTheAwaitedPartCompletesAPerformanceRequestAndRefusedMessagesChangeNothing)
{
    Bench b;
    MIDIMessageManager& m = *b.plug->midiManager;
    const struct {
        const char* name;
        Bytes dump;
        bool performance;
        int pending;
        bool complete, refresh;
    } cases[] = {
        {"awaited part 2", dumpOf(b, 2, {}), true, 2, true, true},
        {"part 5 while 2 is awaited", dumpOf(b, 5, {}), true, 2, false, true},
        {"part 7 awaited", dumpOf(b, 7, {}), true, 7, false, true},
        {"no performance request", dumpOf(b, 5, {}), false, 2, true, true},
        {"part byte 08", withByte(dumpOf(b, 2, {}), 8, 8), false, -1, false, false},
        {"295 bytes", withByte(dumpOf(b, 2, {}), 294, 0xF7, 295), false, -1, false, false},
    };
    for (const auto& c : cases) {
        m.requestComplete = false, m.mainTabRefreshPending = false;
        m.performanceRequestActive = c.performance;
        b.plug->pendingRequestPart = c.pending;
        // The part's cutoff, one past what the dump carries, shows whether it was applied.
        b.plug->GetParam(kFilterCutoff + 2)->Set(1);
        b.parse(c.dump);
        EXPECT_EQ(m.requestComplete.load(), c.complete) << c.name;
        EXPECT_EQ(m.mainTabRefreshPending.load(), c.refresh) << c.name;
        if (!c.refresh) {
            EXPECT_EQ(b.value(kFilterCutoff + 2), 1) << c.name;
        }
    }
}

TEST(PartRequest, TheSelectedPartsProgramComesBackIntoTheEditor)
{
    Bench b;
    b.plug->GetParam(kFilterCutoff + 3)->Set(77);
    b.plug->GetParam(kPatchName + 3)->SetDisplayText(0, "Round");
    b.run(kJobSendPart, 3);
    b.plug->GetParam(kFilterCutoff + 3)->Set(5);
    b.plug->GetParam(kPatchName + 3)->SetDisplayText(0, "");
    b.plug->sendPatchAndPatternToDevice(3, false, false, false, false, false);
    b.pauses.clear();
    b.run(kJobRequestPart, 3);
    EXPECT_EQ(b.value(kFilterCutoff + 3), 77);
    EXPECT_EQ(b.plug->GetParam(kPatchName + 3)->CopyDisplayText(0), "Round           ");
    EXPECT_EQ(b.status(), "Data request completed!");
    EXPECT_EQ(b.pauses, times(2, kPeriod));
    EXPECT_EQ(b.plug->pendingRequestPart.load(), -1);
    EXPECT_FALSE(b.plug->midiManager->expectingEditDump);
    EXPECT_EQ(b.handed(7).back(), (Bytes{0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x08}));
}

TEST(PartRequest, EnvelopeTwoTurnedOnAloneComesBackAloneFromTheSentProgram)
{
    Bench b;
    const int switches[] = {kEnvelope1Triggering + 3, kEnvelope2Triggering + 3, kEnvelope3Triggering + 3};
    for (int id : switches) b.plug->SetParameterFromGUI(id, 0.0);
    b.plug->SetParameterFromGUI(kEnvelope2Triggering + 3, 1.0);
    EXPECT_EQ(b.value(kEnvelopeTriggering + 3), 2);
    b.run(kJobSendPart, 3);
    EXPECT_EQ(b.handed(ProgramDump::kSize).back()[ProgramDump::kEnvelopeTriggeringAt], 34 + 2);
    for (int id : switches) b.plug->GetParam(id)->Set(1.0);                    // the read-back sets them all again
    b.plug->sendPatchAndPatternToDevice(3, false, false, false, false, false); // part 4 selected
    b.run(kJobRequestPart, 3);
    EXPECT_EQ(b.status(), "Data request completed!");
    EXPECT_EQ(b.value(kEnvelopeTriggering + 3), 2);
    EXPECT_EQ((std::vector<double>{b.value(switches[0]), b.value(switches[1]), b.value(switches[2])}),
              (std::vector<double>{0, 1, 0}));
}

TEST(PartRequest, NoAnswerSweepsAtTheThirtiethPeriodAndTimesOutAtTheThirtyFifth)
{
    synthsim::Options silent = synthAt15();
    silent.silent = true;
    Bench b(silent);
    b.run(kJobRequestPart, 3);
    EXPECT_EQ(b.status(), "CONNECTION TIMED OUT!");
    EXPECT_EQ(b.pauses, times(1 + 35 + 16 + 1, kPeriod));
    std::vector<int> devices;
    for (const Bytes& r : b.handed(7)) devices.push_back(r[5]);
    std::vector<int> expected{15};
    for (int id = 0; id < 16; ++id) expected.push_back(id);
    EXPECT_EQ(devices, expected);
    EXPECT_TRUE(b.plug->midiManager->sender->finished);
}

TEST(PartRequest, ACancelInTheSecondPeriodEndsItThere)
{
    synthsim::Options silent = synthAt15();
    silent.silent = true;
    Bench b(silent);
    b.onPause = [&](int count, int) {
        if (count == 3) b.plug->midiManager->sender->cancelRequested = true;
    };
    b.run(kJobRequestPart, 3);
    EXPECT_EQ(b.status(), "Data request CANCELLED!");
    EXPECT_EQ(b.pauses, times(4, kPeriod));
}

TEST(PartRequest, WithoutAPortItSaysSoAtOnce)
{
    Bench b;
    b.plug->midiIOSet = false;
    b.run(kJobRequestPart, 3);
    EXPECT_EQ(b.status(), "Set MIDI I/O First!");
    EXPECT_TRUE(b.pauses.empty());
    EXPECT_TRUE(b.handed(7).empty());
    EXPECT_FALSE(b.plug->midiManager->expectingEditDump);
}

TEST(PartRequest, AMisbehavingSynthesizerEndsTheRequestAsItsAnswerDeserves)
{
    const struct {
        const char* name;
        void (*set)(synthsim::Options&);
        bool applied;
        const char* status;
    } cases[] = {
        {"cut by one", [](synthsim::Options& o) { o.truncateBy = 1; }, false, "CONNECTION TIMED OUT!"},
        {"four bytes long", [](synthsim::Options& o) { o.overlongBy = 4; }, true, "Data request completed!"},
        {"a foreign message first", [](synthsim::Options& o) { o.foreignSysEx = true; }, true,
         "Data request completed!"},
        {"answering late", [](synthsim::Options& o) { o.replyDelayMs = 300; }, false, "CONNECTION TIMED OUT!"},
    };
    for (const auto& c : cases) {
        synthsim::Options o = synthAt15();
        c.set(o);
        Bench b;
        b.drain = o.replyDelayMs == 0;
        b.plug->GetParam(kFilterCutoff + 3)->Set(66);
        b.run(kJobSendPart, 3);
        b.plug->session.synth().setOptions(o);
        b.plug->GetParam(kFilterCutoff + 3)->Set(5);
        b.plug->sendPatchAndPatternToDevice(3, false, false, false, false, false);
        b.run(kJobRequestPart, 3);
        EXPECT_EQ(b.status(), c.status) << c.name;
        // The late answer arrives after the request has ended and is not taken.
        b.plug->session.output().drain();
        EXPECT_EQ(b.value(kFilterCutoff + 3), c.applied ? 66 : 5) << c.name;
    }
}

TEST(PartRequest, AfterAProgramStepWithASectionLockThePartGoesBackOnceTheReplyIsIn)
{
    for (bool answered : {true, false}) {
        SCOPED_TRACE(answered);
        synthsim::Options o = synthAt15();
        o.silent = !answered;
        Bench b(o);
        b.plug->GetParam(kFilterCutoff + 3)->Set(5);
        b.plug->GetParam(kSectionLockFilter + 3)->Set(1);
        testing::internal::CaptureStdout();
        b.plug->sendPatchAndPatternToDevice(3, false, false, false, false, false);
        testing::internal::GetCapturedStdout();
        SenderJobRecord r;
        r.job = kJobRequestPart, r.part = 3, r.toEditor = true, r.sendPartAfterReply = true;
        b.BenchOf::run(r);
        const auto dumps = b.handed(ProgramDump::kSize);
        if (!answered) {
            EXPECT_TRUE(dumps.empty());
            continue;
        }
        // After the reply, with the locked filter's value the reply left alone.
        ASSERT_EQ(dumps.size(), 1u);
        EXPECT_EQ(b.plug->copy(b.plug->received).size(), 1u);
        EXPECT_EQ(dumps[0][8], 3);
        EXPECT_EQ(b.value(kFilterCutoff + 3), 5);
        const auto mem = b.plug->session.synth().memory();
        EXPECT_EQ(Bytes(mem.partEdit[3].begin(), mem.partEdit[3].end()),
                  Bytes(dumps[0].begin() + 9, dumps[0].end() - 1));
        EXPECT_FALSE(b.plug->midiManager->sendInProgress);
    }
}

TEST(ProgramThreads, TheSynthesizerAnswersWhileTheEditorEditsThePartAndTheSendRunsBesideEdits)
{
    Bench b;
    b.drain = false;
    b.plug->sendPatchAndPatternToDevice(3, false, false, false, false, false);
    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (int i = 0; !done; ++i) {
            b.plug->GetParam(kPatchName + 3)->SetDisplayText(0, i % 2 ? "Edit" : "Again");
            b.plug->SetParameterFromGUI(i % 2 ? kFilterCutoff + 3 : kFilterResonance + 3, (i % 100) / 100.0);
            usleep(200);
        }
    });
    SenderJobRecord r;
    r.job = kJobRequestPart, r.part = 3, r.toEditor = true;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(b.plug->midiManager->startJob(r));
    while (!b.plug->midiManager->threadIdle(kJobThread)) usleep(1000);
    r.job = kJobSendPart;
    ASSERT_TRUE(b.plug->midiManager->startJob(r));
    while (!b.plug->midiManager->threadIdle(kJobThread)) usleep(1000);
    testing::internal::GetCapturedStdout();
    done = true;
    editor.join();
    EXPECT_EQ(b.handed(ProgramDump::kSize).size(), 1u);
}
