// The per-block work of the configured controller, block by block in process: the clock jobs on
// the transport's edges, tempo sync, the outgoing queue, all sound off after a reset, the
// activity lights, the start-up enquiry and the read-back after a randomize; and the gates an
// incoming SysEx message passes before the protocol takes it.
#include "controller_process_support.h"

#include <cmath>
#include <limits>

using namespace qorid;
using processtest::Rig;

namespace
{

std::vector<int> queuedOffsets(QOR& q)
{
    std::vector<int> out;
    std::lock_guard<std::mutex> lock(q.midiOutQueue.GetLock());
    IMidiQueue& queue = q.midiOutQueue;
    for (int i = 0; i < queue.ToDo(); ++i) out.push_back(queue.Peek()[i].mOffset);
    return out;
}

void queue(QOR& q, int offset, uint8_t value)
{
    IMidiMsg msg(offset, 0xB1, 7, value);
    std::lock_guard<std::mutex> lock(q.midiOutQueue.GetLock());
    q.midiOutQueue.Add(&msg);
}

// A SysEx message of size bytes whose byte 8 (when it has one) names part.
testsupport::Bytes sysex(int size, uint8_t part)
{
    testsupport::Bytes b(size_t(size), 0x01);
    b.front() = 0xF0;
    b.back() = 0xF7;
    if (size > 9) b[8] = part;
    return b;
}

void offer(QOR& q, testsupport::Bytes b, bool fromDevice = true)
{
    ISysEx msg(0, b.data(), int(b.size()));
    testing::internal::CaptureStdout();
    q.ProcessSysEx(&msg, fromDevice);
    testing::internal::GetCapturedStdout();
}

} // namespace

TEST(ControllerProcess, TransportEdgesStartAndStopTheClockOnlyWhileOutputGoesToThePort)
{
    struct Block {
        bool playing, hostBuffer;
    };
    const struct {
        const char* name;
        std::vector<Block> blocks;
        std::vector<int> jobs;
    } cases[] = {
        {"play and stop",
         {{true, false}, {true, false}, {false, false}, {false, false}},
         {kJobStartClock, kJobStopClock}},
        {"host buffer on at both edges", {{true, true}, {false, true}}, {}},
        {"played in the host buffer, stopped straight", {{true, true}, {false, false}}, {}},
        {"played straight, stopped in the host buffer, played again",
         {{true, false}, {false, true}, {true, false}},
         {kJobStartClock}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        for (const Block& b : c.blocks) {
            r.plug->playing = b.playing;
            r.plug->routeMidiToHostBuffer = b.hostBuffer;
            r.render();
            r.settle(); // a busy thread would drop the next edge's job
        }
        EXPECT_EQ(r.jobs(), c.jobs);
        EXPECT_EQ(bool(r.plug->hostTransportPlaying), c.blocks.back().playing);
    }
}

TEST(ControllerProcess, TheContinuousClockStartsOncePerClearingWhileClockOutputIsOn)
{
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    auto clockJobs = [&r, &q](int blocks) {
        int started = 0;
        for (int i = 0; i < blocks; ++i) {
            const bool wasIdle = q.midiManager->threadIdle(kClockThread);
            r.render();
            started += wasIdle && !q.midiManager->threadIdle(kClockThread);
        }
        return started;
    };
    EXPECT_EQ(clockJobs(3), 0); // clock output off
    r.edit(kSendMIDIClockInfo, 1);
    q.midiIOSet = false;
    EXPECT_EQ(clockJobs(3), 0);
    q.midiIOSet = true;
    EXPECT_EQ(clockJobs(3), 1);
    EXPECT_TRUE(q.midiManager->sender->clockRunning());
    // Switched off: the loop ends and no block lets it run again.
    r.edit(kSendMIDIClockInfo, 0);
    EXPECT_EQ(clockJobs(3), 0);
    while (!q.midiManager->threadIdle(kClockThread)) usleep(1000);
    EXPECT_FALSE(q.midiManager->sender->clockRunning());
    r.edit(kSendMIDIClockInfo, 1);
    EXPECT_EQ(clockJobs(3), 1);
    r.edit(kSendMIDIClockInfo, 0);
}

TEST(ControllerProcess, TempoSyncWritesTheTempoParametersOncePerWholeBpmChange)
{
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    const std::string outOfSync = "PROCESSOR: Host tempo is out of sync!";
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double tempo;
        bool port;
        double shown; // kGlobalTempo and kArpSpeed after the block; 7 is the value set before it
        std::vector<std::string> log;
    } steps[] = {
        {65.4, true, 0, {"PROCESSOR: Host tempo synced to 65BPM"}},
        {120.7, true, 55, {outOfSync, "PROCESSOR: Host tempo synced to 120BPM"}},
        {120.2, true, 7, {}},
        {100.0, false, 7, {outOfSync}},
        {101.9, false, 7, {outOfSync}},
        {101.9, true, 36, {"PROCESSOR: Host tempo synced to 101BPM"}},
        {kNaN, true, 7, {}},
        {1e10, true, 7, {}},
    };
    r.logLines();
    for (const auto& s : steps) {
        SCOPED_TRACE(s.tempo);
        q.tempo = s.tempo;
        q.midiIOSet = s.port;
        q.GetParam(kGlobalTempo)->Set(7);
        q.GetParam(kArpSpeed)->Set(7);
        r.render();
        EXPECT_EQ(r.value(kGlobalTempo), s.shown);
        EXPECT_EQ(r.value(kArpSpeed), s.shown);
        EXPECT_EQ(r.logLines(), s.log);
    }
    // Without the override the host tempo is not followed.
    q.GetParam(kOverrideTempo)->Set(0);
    q.tempo = 150;
    r.render();
    EXPECT_EQ(r.value(kGlobalTempo), 7);
    EXPECT_TRUE(r.logLines().empty());
}

TEST(ControllerProcess, QueuedMessagesLeaveAtTheirOffsetsByTheBlocksAdvance)
{
    const struct {
        const char* name;
        bool hostBuffer;
        int dawOffset, frames;
        std::vector<int> queued;
        size_t sent;
        std::vector<int> left;
    } cases[] = {
        {"one block", true, 512, 512, {0, 511, 700}, 2, {188}},
        {"a negative offset advances one sample", true, -4, 512, {0, 1, 5}, 1, {0, 4}},
        {"an offset of 0 advances nothing", true, 0, 512, {0}, 0, {0}},
        {"straight to the port the queue is stale", false, 512, 512, {0, 600}, 0, {88}},
        {"an empty block straight to the port", false, 512, 0, {0}, 0, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        processtest::BlockQOR& q = *r.plug;
        q.routeMidiToHostBuffer = c.hostBuffer;
        q.dawOffset = c.dawOffset;
        for (int offset : c.queued) queue(q, offset, uint8_t(offset % 128));
        q.takeShorts();
        r.render(c.frames);
        EXPECT_EQ(q.takeShorts().size(), c.sent);
        EXPECT_EQ(queuedOffsets(q), c.left);
    }
}

TEST(ControllerProcess, TheOffsetReadOutShowsMillisecondsAndBlockSizeInHostBufferMode)
{
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    ASSERT_NE(q.dawOffsetDisplay, nullptr);
    q.Reset();
    q.routeMidiToHostBuffer = true;
    q.dawOffset = 512;
    r.render();
    EXPECT_EQ(dispatchtest::Desk::text(q.dawOffsetDisplay), "11ms|512bfr");
    q.dawOffset = 1024;
    r.render();
    EXPECT_EQ(dispatchtest::Desk::text(q.dawOffsetDisplay), "23ms|512bfr");
}

TEST(ControllerProcess, AfterAResetAllSoundOffWaitsForTheTransportToStand)
{
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    for (int p = 0; p < 8; ++p) {
        q.GetParam(kMultiPartStatus + p)->Set(p == 0 || p == 3 ? 1 : 0);
        q.GetParam(kMultiPartMIDICh + p)->Set(p);
    }
    q.midiLedOn[5] = 1;
    q.midiLedOnTime[5] = 0;
    q.mLedClock = [] { return 0u; };
    q.playing = true;
    q.Reset();
    r.render();
    r.render();
    q.playing = false;
    r.render(0); // an empty block runs no stop step
    EXPECT_TRUE(q.takeShorts().empty());
    r.render();
    EXPECT_EQ(q.takeShorts(), (std::vector<std::string>{"B0 7B 00", "B3 7B 00"}));
    EXPECT_EQ(q.midiLedOn[5].load(), 0);
    EXPECT_EQ(r.value(kMIDILed + 5), 0);
    r.render();
    EXPECT_TRUE(q.takeShorts().empty());
}

TEST(ControllerProcess, ALightGoesOutOnceMoreThanAHundredTicksHavePassed)
{
    const struct {
        uint32_t litAt, now;
        bool lit;
    } cases[] = {
        {1000, 1100, true}, {1000, 1101, false},       {0xFFFFFFC0u, 0xFFFFFFC0u + 200u, false},
        {10, 60, true},     {0xFFFFFFF0u, 0x40, true},
    };
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    uint32_t now = 0;
    q.mLedClock = [&now] { return now; };
    r.render(); // the stop step after the start-up's reset, which puts every light out
    for (const auto& c : cases) {
        SCOPED_TRACE(c.litAt);
        q.GetGUI()->SetParameterFromPlug(kMIDILed + 2, 1, false);
        q.midiLedOn[2] = 1;
        q.midiLedOnTime[2] = int32_t(c.litAt);
        now = c.now;
        r.render();
        EXPECT_EQ(q.midiLedOn[2].load(), c.lit ? 1 : 0);
        EXPECT_EQ(r.value(kMIDILed + 2), c.lit ? 1 : 0);
    }
    // A block that advances nothing times nothing out.
    q.midiLedOn[2] = 1;
    q.midiLedOnTime[2] = 0;
    now = 5000;
    r.render(0);
    EXPECT_EQ(q.midiLedOn[2].load(), 1);
}

TEST(ControllerProcess, TheStartUpEnquiryGoesOutOnceFromTheFirstBlockAfterDefaultPortsOpened)
{
    const struct {
        const char* name;
        bool portsStored, port;
        std::vector<int> jobs;
    } cases[] = {
        {"default ports reopened", true, true, {kJobDeviceIdEnquiry}},
        {"no default ports", false, true, {}},
        {"no port open", true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        processtest::BlockQOR& q = *r.plug;
        q.defaultPortsStored = c.portsStored;
        q.midiIOSet = c.port;
        q.initialRequestPending = true;
        q.expectGlobalDump = false;
        for (int i = 0; i < 3; ++i) r.render();
        EXPECT_EQ(r.jobs(), c.jobs);
        EXPECT_EQ(bool(q.initialRequestPending), c.jobs.empty());
    }
}

TEST(ControllerProcess, RandomizeSendsThePartAndTheNextFreeBlockReadsItBack)
{
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    r.edit(kQuickTab, 3);
    ASSERT_EQ(q.selectedPart, 3);
    r.jobs();
    // On the first page nothing happens and the button stays set.
    q.GetParam(kMainTab)->Set(0);
    r.edit(kRandomize, 1);
    EXPECT_EQ(r.value(kRandomize), 1);
    EXPECT_FALSE(q.partRequestPending);
    EXPECT_TRUE(r.jobs().empty());

    q.GetParam(kMainTab)->Set(2);
    r.edit(kRandomize, 1);
    EXPECT_EQ(r.status(), "Part Randomized");
    EXPECT_EQ(r.value(kRandomize), 0);
    EXPECT_EQ(r.jobs(), std::vector<int>{kJobSendPart});
    EXPECT_EQ(q.midiManager->sender->records[kJobThread].part, 3);
    EXPECT_TRUE(q.partRequestPending);
    r.render();
    EXPECT_EQ(r.jobs(), std::vector<int>{kJobRequestPart});
    const SenderJobRecord& readBack = q.midiManager->sender->records[kJobThread];
    EXPECT_EQ(readBack.part, 3);
    EXPECT_TRUE(readBack.toEditor);
    EXPECT_FALSE(q.partRequestPending);

    // While another job holds the thread the send is dropped and the read-back waits for it.
    r.hold(kJobNothing);
    SenderJobRecord other;
    ASSERT_TRUE(q.midiManager->startJob(other));
    r.edit(kRandomize, 1);
    r.render();
    r.render();
    EXPECT_TRUE(q.partRequestPending);
    r.release();
    while (!q.midiManager->threadIdle(kJobThread)) usleep(1000);
    r.render();
    EXPECT_EQ(r.jobs(), (std::vector<int>{kJobNothing, kJobRequestPart}));
    EXPECT_FALSE(q.partRequestPending);
}

TEST(ControllerSysExGate, AMessageReachesTheProtocolOnlyThroughEveryGate)
{
    const struct {
        const char* name;
        std::function<void(QOR&)> set;
        testsupport::Bytes message;
        bool fromDevice, taken;
        const char* status; // "-" when the status line keeps its text
        bool completed;
    } cases[] = {
        {"open", [](QOR&) {}, sysex(100, 0), true, true, "-", false},
        {"a transfer runs", [](QOR& q) { q.deviceTransferActive = true; }, sysex(100, 0), true, false, "-", false},
        {"incoming blocked", [](QOR& q) { q.incomingMidiBlocked = true; }, sysex(100, 0), true, false, "-", false},
        {"device SysEx filtered", [](QOR& q) { q.midiFilterSwitches[13] = true; }, sysex(100, 0), true, false, "-",
         false},
        {"host SysEx filtered", [](QOR& q) { q.midiFilterSwitches[6] = true; }, sysex(100, 0), false, false, "-",
         false},
        {"the host's filter leaves the device", [](QOR& q) { q.midiFilterSwitches[6] = true; }, sysex(100, 0), true,
         true, "-", false},
        {"start-up still running", [](QOR& q) { q.startupComplete = false; }, sysex(100, 0), true, false, "-", false},
        {"the awaited dump", [](QOR& q) { q.pendingRequestPart = 2; }, sysex(296, 2), true, true,
         "Data Request Completed!", true},
        {"part of the awaited data", [](QOR& q) { q.pendingRequestPart = 2; }, sysex(100, 2), true, true,
         "Data Request Processed - Please wait!", false},
        {"a short answer of the part", [](QOR& q) { q.pendingRequestPart = 2; }, sysex(29, 2), true, true,
         "Data Request Completed!", true},
        {"another part's dump", [](QOR& q) { q.pendingRequestPart = 2; }, sysex(296, 5), true, false,
         "Data Request In Progress...", false},
        {"too short to name a part", [](QOR& q) { q.pendingRequestPart = 2; }, sysex(5, 2), true, false,
         "Data Request In Progress...", false},
        {"another part's after completion",
         [](QOR& q) {
             q.pendingRequestPart = 2;
             q.dataRequestCompleted = true;
         },
         sysex(296, 5), true, false, "-", true},
        {"host SysEx filtered while the request waits",
         [](QOR& q) {
             q.pendingRequestPart = 2;
             q.midiFilterSwitches[6] = true;
         },
         sysex(296, 2), false, false, "-", false},
    };
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        q.deviceTransferActive = q.incomingMidiBlocked = q.dataRequestCompleted = false;
        q.midiFilterSwitches[6] = q.midiFilterSwitches[13] = false;
        q.startupComplete = true;
        q.pendingRequestPart = -1;
        c.set(q);
        q.showStatus("-");
        const uint32_t before = q.mDumpsTaken;
        offer(q, c.message, c.fromDevice);
        EXPECT_EQ(q.mDumpsTaken - before, c.taken ? 1u : 0u);
        EXPECT_EQ(r.status(), c.status);
        EXPECT_EQ(bool(q.dataRequestCompleted), c.completed);
    }
    // The protocol's taken-in dump is the request jobs' reply.
    q.pendingRequestPart = -1;
    q.replyArrived = false;
    q.midiManager->requestComplete = true;
    offer(q, sysex(10, 0));
    EXPECT_TRUE(q.replyArrived);
}

TEST(ControllerSysExGate, AfterADumpAnEditBackToTheLastSentValueIsSentAgain)
{
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    const int id = processtest::controlChangeParam(q);
    ASSERT_GE(id, 0);
    for (bool dump : {false, true}) {
        SCOPED_TRACE(dump);
        r.edit(id, 0);
        r.edit(id, 1);
        q.takeShorts();
        if (dump) offer(q, sysex(100, 0));
        r.edit(id, 1);
        EXPECT_EQ(q.takeShorts().size(), dump ? 1u : 0u);
    }
}

TEST(ControllerMidiGate, AShortMessageReachesTheProtocolOnlyThroughEveryGate)
{
    const IMidiMsg note(0, 0x92, 60, 100), clock(0, 0xF8, 0, 0);
    const struct {
        const char* name;
        std::function<void(QOR&)> set;
        IMidiMsg message;
        bool fromDevice, passed;
    } cases[] = {
        {"a note from the synthesizer", [](QOR&) {}, note, true, true},
        {"a note from the host", [](QOR&) {}, note, false, true},
        {"the clock from the synthesizer", [](QOR&) {}, clock, true, false},
        {"the clock from the host", [](QOR&) {}, clock, false, false},
        {"master keyboard: the synthesizer's note", [](QOR& q) { q.masterKeyboardOn = true; }, note, true, false},
        {"master keyboard: the host's note", [](QOR& q) { q.masterKeyboardOn = true; }, note, false, true},
        {"a transfer runs", [](QOR& q) { q.deviceTransferActive = true; }, note, false, false},
        {"incoming blocked", [](QOR& q) { q.incomingMidiBlocked = true; }, note, true, false},
        {"an edit dump expected", [](QOR& q) { q.midiManager->expectingEditDump = true; }, note, false, false},
        {"start-up still running", [](QOR& q) { q.startupComplete = false; }, note, true, false},
    };
    Rig r;
    processtest::BlockQOR& q = *r.plug;
    q.localControlOn = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        q.masterKeyboardOn = q.deviceTransferActive = q.incomingMidiBlocked = false;
        q.midiManager->expectingEditDump = false;
        q.startupComplete = true;
        c.set(q);
        q.takeShorts();
        IMidiMsg m = c.message;
        testing::internal::CaptureStdout();
        q.ProcessMidiMsg(&m, c.fromDevice);
        testing::internal::GetCapturedStdout();
        // Both sides pass a note on to the synthesizer.
        EXPECT_EQ(q.takeShorts(), c.passed ? std::vector<std::string>{"92 3C 64"} : std::vector<std::string>{});
    }
    // A controller from the synthesizer on a part's channel moves the editor's control.
    q.startupComplete = true;
    const int id = processtest::controlChangeParam(q);
    ASSERT_GE(id, 0);
    const ControlAction* a = q.GetParam(id)->GetControlAction();
    IMidiMsg cc(0, uint8_t(0xB0 | q.partChannel(a->part)), uint8_t(a->ccNumber), 3);
    q.GetParam(id)->Set(q.GetParam(id)->GetMax());
    const double before = r.value(id);
    testing::internal::CaptureStdout();
    q.ProcessMidiMsg(&cc, true);
    testing::internal::GetCapturedStdout();
    EXPECT_NE(r.value(id), before);
}
