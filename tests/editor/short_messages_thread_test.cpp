// Short messages from the synthesizer and the host through the controller's gates into the
// manager: the filters, the NRPN number, the bank-select pair, the quick tab, the parts of a
// channel, program changes into requests or library sends, the lights and what goes back out.
// The jobs run on the worker with every pause taken as none.
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/UIConfigManager.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "support/bankgen.h"
#include "support/insynth.h"
#include "support/tempdir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace qorid;
using testsupport::Bytes;

namespace
{

// A control that keeps every value set from outside.
class Probe : public IControl
{
public:
    explicit Probe(int paramIdx) : IControl(nullptr, IRECT(), paramIdx) {}
    bool Draw(IGraphics*) override { return true; }
    void SetValueFromHardware(double value) override
    {
        std::lock_guard<std::mutex> hold(mLock);
        values.push_back(value);
    }
    size_t count()
    {
        std::lock_guard<std::mutex> hold(mLock);
        return values.size();
    }
    std::vector<double> values;
    std::mutex mLock;
};

constexpr int kGlobal = 15;
// A parameter without a rule of its own for values from the synthesizer.
constexpr int kProbeParam = kFilterCutoff;

struct Rig {
    // withLibrary: two banks of 128 programs in the library.
    explicit Rig(bool withLibrary = false) : library(withLibrary && writeLibrary())
    {
        for (int p = 0; p < 8; ++p) q.GetParam(kMultiPartMIDICh + p)->Set(p);
        q.GetParam(kGlobalMidiChannel)->Set(kGlobal);
        // Program changes pass on both sides (they are blocked at start-up).
        q.midiFilterSwitches[1] = false, q.midiFilterSwitches[8] = false;
        m.sender->onPause = [](int& ms) { ms = 0; };
        m.sender->beforeJob = [this](int job) {
            std::lock_guard<std::mutex> hold(mLock);
            jobs.push_back(job);
        };
    }
    ~Rig() { m.stopAndJoin(); }

    void feed(bool fromDevice, uint8_t status, uint8_t d1, uint8_t d2 = 0)
    {
        IMidiMsg msg(0, status, d1, d2);
        testing::internal::CaptureStdout();
        q.ProcessMidiMsg(&msg, fromDevice);
        testing::internal::GetCapturedStdout();
    }
    void device(uint8_t status, uint8_t d1, uint8_t d2 = 0) { feed(true, status, d1, d2); }
    void host(uint8_t status, uint8_t d1, uint8_t d2 = 0) { feed(false, status, d1, d2); }
    // Controller cc of part value k1 (part + 1) goes to a probe from now on.
    Probe& probe(int k1, int cc)
    {
        probes.push_back(std::make_unique<Probe>(kProbeParam));
        controlmaps::file(q.uiConfigManager->ccControls, probes.back().get(), k1, cc, 0);
        return *probes.back();
    }
    std::vector<Bytes> sent() { return plug->copy(plug->shortMessages); }
    // The jobs started, once the job thread is idle again.
    std::vector<int> startedJobs()
    {
        for (int i = 0; i < 10000 && !m.threadIdle(kJobThread); ++i) usleep(1000);
        std::lock_guard<std::mutex> hold(mLock);
        return jobs;
    }
    std::string status()
    {
        KIT_String s("", 0, 256);
        if (q.statusDisplay) q.statusDisplay->GetTextCopy(&s);
        return s.Get();
    }

    bool writeLibrary()
    {
        mkdir(dir.file("Patches").c_str(), 0755);
        for (uint32_t seed : {3u, 4u}) {
            const bankgen::Bank bank = bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, seed);
            testsupport::writeFile(dir.file("Patches/Progs" + std::to_string(seed) + ".syx"),
                                   bankgen::rawFile(bankgen::messagesOf(bank)));
        }
        return true;
    }

    testsupport::TempDir dir;
    bool library;
    std::unique_ptr<testsupport::RecordingQOR> plug = testsupport::makeFromBundle<testsupport::RecordingQOR>(dir.path);
    QOR& q = *plug;
    MIDIMessageManager& m = *q.midiManager;
    std::vector<std::unique_ptr<Probe>> probes;
    std::mutex mLock;
    std::vector<int> jobs;
};

} // namespace

TEST(ShortMessages, OnlyTheSynthesizerSetsTheNrpnNumberAndItsNumberIsPassedBackUnmapped)
{
    Rig r;
    Probe& msb = r.probe(1, 99);
    r.device(0xB0, 99, 5);
    r.device(0xB0, 98, 84);
    r.host(0xB0, 99, 3);
    r.host(0xB0, 98, 9);
    EXPECT_EQ(r.m.nrpnMsb.load(), 5);
    EXPECT_EQ(r.m.nrpnLsb.load(), 84);
    // The host's are plain controllers: looked up, and passed on.
    EXPECT_EQ(msb.count(), 1u);
    EXPECT_EQ(r.sent(), std::vector<Bytes>({{0xB0, 99, 5}, {0xB0, 98, 84}, {0xB0, 99, 3}, {0xB0, 98, 9}}));
}
TEST(ShortMessages, TheSynthesizersBankSelectPairIsSwallowedAndTheHostsAlways)
{
    const struct {
        const char* what;
        bool fromDevice;
        std::vector<Bytes> in;
        size_t mapped;
        std::vector<Bytes> back;
    } cases[] = {
        {"0 = 0 then 32 = 66", true, {{0xB0, 0, 0}, {0xB0, 32, 66}}, 0, {}},
        {"32 = 66 alone", true, {{0xB0, 32, 66}}, 1, {{0xB0, 32, 66}}},
        {"the pair is taken once", true, {{0xB0, 0, 0}, {0xB0, 32, 96}, {0xB0, 32, 96}}, 1, {{0xB0, 32, 96}}},
        {"32 = 65 is no pair", true, {{0xB0, 0, 0}, {0xB0, 32, 65}}, 1, {{0xB0, 32, 65}}},
        {"the flag survives other messages", true, {{0xB0, 0, 0}, {0x90, 60, 1}, {0xB0, 32, 80}}, 0, {{0x90, 60, 1}}},
        {"host 32 = 64", false, {{0xB0, 32, 64}}, 0, {}},
        {"host 0 = 0", false, {{0xB0, 0, 0}}, 0, {}},
        {"host 32 = 65", false, {{0xB0, 32, 65}}, 1, {{0xB0, 32, 65}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        Probe& bank = r.probe(1, 32);
        for (const Bytes& b : c.in) r.feed(c.fromDevice, b[0], b[1], b[2]);
        EXPECT_EQ(bank.count(), c.mapped);
        EXPECT_EQ(r.sent(), c.back);
    }
}

TEST(ShortMessages, HostProgramChangesRequestLikeTheSynthesizersAndALockStopsOnlyItsPart)
{
    const struct {
        const char* what;
        int channel;
        std::vector<int> jobs;
        std::vector<Bytes> sent; // the editor's own program change, then the message passed on
        int recorded;            // part 2's program number afterwards (-1 before)
    } cases[] = {
        {"part 2", 2, {kJobRequestPart}, {{0xC2, 5, 0}, {0xC2, 5, 0}}, 5},
        {"no part: part 0, locked", 12, {}, {{0xCC, 5, 0}}, -1},
        {"the performance, part 0 locked", kGlobal, {kJobRequestActiveArrangement}, {{0xCF, 5, 0}}, -1},
        {"part 0 locked", 0, {}, {{0xC0, 5, 0}}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        r.q.knownParts.setProgram(2, -1);
        r.q.GetParam(kPartLock + 0)->Set(1);
        r.host(uint8_t(0xC0 | c.channel), 5);
        EXPECT_EQ(r.startedJobs(), c.jobs);
        EXPECT_EQ(r.sent(), c.sent);
        EXPECT_EQ(r.q.knownParts.partProgramNumbers(2), c.recorded);
        if (!c.jobs.empty()) {
            EXPECT_EQ(r.q.librarianView->upperSelection.load(), 5);
            EXPECT_EQ(r.q.patchLibrarian->upperSlot, 5);
        }
    }
}
TEST(ShortMessages, AnIncomingMessageLightsItsPartOnceWhileIncomingIsTracked)
{
    const struct {
        bool track, local;
        int lit;        // midiLedOn of part 3 afterwards
        uint32_t since; // the tick it was lit at
    } cases[] = {
        {true, true, 1, 1000},
        {true, false, 1, 1000},
        {false, true, 0, 0},     // nothing goes back out to light it either
        {false, false, 1, 1000}, // the message going back lights it
    };
    for (const auto& c : cases) {
        Rig r;
        uint32_t tick = 1000;
        r.q.mLedClock = [&] { return tick++; };
        r.q.trackIncomingMidi = c.track;
        r.q.localControlOn = c.local;
        r.device(0x93, 60, 100);
        r.device(0x83, 60, 0);
        EXPECT_EQ(r.q.midiLedOn[3].load(), c.lit);
        EXPECT_EQ(uint32_t(r.q.midiLedOnTime[3].load()), c.since);
        if (c.lit) {
            EXPECT_EQ(r.q.GetParam(kMIDILed + 3)->Value(), 1.0);
        }
        for (int k = 0; k < 8; ++k) {
            if (k != 3) {
                EXPECT_EQ(r.q.midiLedOn[size_t(k)].load(), 0);
            }
        }
    }
}

TEST(ShortMessages, TheControllersGatesDropMessagesBeforeTheManager)
{
    const struct {
        const char* what;
        uint8_t status;
        std::atomic<bool> QOR::*flag;
        bool expectingDump;
        bool fromDevice;
    } cases[] = {
        {"transfer", 0x92, &QOR::deviceTransferActive, false, true},
        {"incoming blocked", 0x92, &QOR::incomingMidiBlocked, false, false},
        {"edit dump expected", 0x92, nullptr, true, true},
        {"edit dump expected, host", 0x92, nullptr, true, false},
        {"system message", 0xF2, nullptr, false, true},
        {"system message, host", 0xF8, nullptr, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        if (c.flag) (r.q.*c.flag) = true;
        r.m.expectingEditDump = c.expectingDump;
        r.m.lastMessageFromHost = !c.fromDevice;
        r.feed(c.fromDevice, c.status, 60, 100);
        EXPECT_TRUE(r.sent().empty());
        EXPECT_EQ(r.m.lastMessageFromHost.load(), !c.fromDevice);
    }
}

TEST(ShortMessages, DataBytesAboveTheSevenBitsArePassedOnAs127)
{
    Rig r;
    r.host(0x92, 0x90, 0xFF);
    r.device(0xC2, 200);
    const std::vector<Bytes> sent = r.sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), (Bytes{0x92, 127, 127}));
    EXPECT_EQ(r.q.knownParts.partProgramNumbers(2), 127);
}

TEST(ShortMessages, InPerformanceModeAPartsProgramChangeAsksForProgramMode)
{
    Rig r;
    r.q.GetParam(kControlLibrary)->Set(1);
    r.q.performanceMode = true;
    r.q.librarianView->upperSelection = 9;
    r.device(0xC2, 5);
    EXPECT_EQ(r.status(), "Turn on PROGRAM mode from librarian first!");
    EXPECT_TRUE(r.startedJobs().empty());
    EXPECT_EQ(r.q.librarianView->upperSelection.load(), 9);
}
TEST(ShortMessages, LibrarianModeSendsTheEntryAtTheProgramNumberOfTheActivePanesBank)
{
    // What reaches the synthesizer for a program change on part 2's channel, or, with direct,
    // for the librarian's own send of slot 9 of the pane to part 2.
    auto sendOf = [](int pane, bool direct) {
        Rig r(true);
        PatchLibrarian& lib = *r.q.patchLibrarian;
        EXPECT_EQ(lib.singleFiles.size(), 2u);
        lib.currentKind = kPatchFilePrograms;
        lib.upperFileIndex = 0;
        lib.lowerFileIndex = 1;
        r.q.librarianView->activePane = pane;
        r.q.GetParam(kControlLibrary)->Set(1);
        if (direct) {
            testing::internal::CaptureStdout();
            r.q.sendPatchToDeviceFromLibrarian(9, pane, 2);
            testing::internal::GetCapturedStdout();
        } else {
            r.device(0xC2, 9);
            EXPECT_EQ(r.q.librarianView->upperSelection.load(), 9);
            EXPECT_EQ(r.q.librarianView->currentSlot.load(), 9);
            EXPECT_EQ(lib.upperSlot, 9);
            // No program change of the editor's own: only the message passed back.
            EXPECT_EQ(r.sent(), std::vector<Bytes>({{0xC2, 9, 0}}));
        }
        EXPECT_EQ(r.startedJobs(), std::vector<int>{kJobSendPatchFromLibrarian});
        return r.plug->copy(r.plug->handed);
    };
    const std::vector<Bytes> upper = sendOf(0, false), lower = sendOf(1, false);
    ASSERT_FALSE(upper.empty());
    EXPECT_EQ(upper.back().size(), size_t(ProgramDump::kSize));
    EXPECT_EQ(upper.back()[ProgramDump::kPartAt], 2);
    EXPECT_NE(upper, lower);
    EXPECT_EQ(upper, sendOf(0, true));
    EXPECT_EQ(lower, sendOf(1, true));
}

TEST(ShortMessages, AProgramChangeDuringATransferLeavesTheLibrarysSlotAndBuffers)
{
    for (const bool librarianMode : {false, true}) {
        SCOPED_TRACE(librarianMode);
        Rig r;
        r.q.GetParam(kControlLibrary)->Set(librarianMode ? 1 : 0);
        // A request into the library holds the job thread.
        std::atomic<bool> release{false};
        r.m.sender->beforeJob = [&](int) {
            while (!release) usleep(1000);
        };
        SenderJobRecord hold;
        hold.job = kJobNothing;
        ASSERT_TRUE(r.m.startJob(hold));
        r.m.armRequestBuffer(0);
        r.q.patchLibrarian->upperSlot = 40;
        r.device(0xC2, 5);
        EXPECT_EQ(r.q.patchLibrarian->upperSlot, 40);
        EXPECT_TRUE(r.m.libraryPatchRequest.active.load());
        EXPECT_FALSE(r.m.expectingEditDump.load());
        // Outside librarian mode the synthesizer's part still gets its program.
        EXPECT_EQ(r.sent().size(), librarianMode ? 1u : 2u);
        release = true;
        r.startedJobs();
    }
}

TEST(ShortMessages, MessagesFromBothSidesEditsAndARequestTogetherRaceNothing)
{
    Rig r;
    Probe& mapped = r.probe(3, 74);
    std::atomic<bool> stop{false};
    testing::internal::CaptureStdout();
    std::thread input([&] {
        for (int i = 0; !stop; ++i) {
            IMidiMsg msgs[] = {{0, 0xB2, 99, 0},
                               {0, 0xB2, 98, 84},
                               {0, 0xB2, 6, uint8_t(i & 0x7F)},
                               {0, 0xB2, 74, uint8_t(i & 0x7F)},
                               {0, 0x92, 60, 1}};
            for (IMidiMsg& msg : msgs) r.m.ProcessMidiMsgFromDevice(&msg);
        }
    });
    std::thread hostThread([&] {
        for (int i = 0; !stop; ++i) {
            IMidiMsg msgs[] = {{0, 0xB2, 74, uint8_t(i & 0x7F)}, {0, 0xB2, 6, 3}, {0, 0xD2, 9, 0}};
            for (IMidiMsg& msg : msgs) r.m.ProcessMidiMsgFromDAW(&msg, 2);
        }
    });
    // The request waits in real pauses of a millisecond while the rest goes on.
    r.m.sender->onPause = [](int& ms) { ms = 1; };
    SenderJobRecord request;
    request.job = kJobRequestPart, request.part = 3, request.toEditor = true;
    EXPECT_TRUE(r.m.startJob(request));
    for (int i = 0; i < 200; ++i) {
        r.q.GetParam(kMultiPartMIDICh + 5)->Set(i % 2 ? 5 : 9);
        r.q.OnParamChange(kMultiPartMIDICh + 5);
        r.q.GetParam(kFilterCutoff + 2)->Set(i % 100);
        r.q.OnParamChange(kFilterCutoff + 2);
    }
    // A loaded machine may not have run the input thread yet: the race needs it to have.
    for (int wait = 0; wait < 10000 && mapped.count() == 0; ++wait) usleep(1000);
    stop = true;
    input.join();
    hostThread.join();
    r.startedJobs();
    testing::internal::GetCapturedStdout();
    EXPECT_GT(mapped.count(), 0u);
}
