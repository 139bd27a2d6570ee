// The SysEx router's global path: which messages, in which state, reach the global dumps'
// readers, and what an accepted or refused dump leaves behind.
#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/SysexFamily.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace qorid;

namespace
{

std::vector<uint8_t> dump(bool second, int device)
{
    std::vector<uint8_t> b(second ? 297 : 281);
    auto value = [device](int id) {
        return id == kGlobalMidiChannel ? double(device) : id == kGlobalMasterTune ? 70.0 : 1.0;
    };
    if (second)
        GlobalDumps::writeSecond(value, 0x20, b.data());
    else
        GlobalDumps::writeFirst(value, 0x20, b.data());
    return b;
}

struct Router {
    Router()
    {
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
        testing::internal::CaptureStdout();
        plug = std::make_unique<testsupport::RecordingQOR>();
        testing::internal::GetCapturedStdout();
        unsetenv("QOR_BUNDLE_PATH");
        plug->startupComplete = false;
        plug->expectGlobalDump = true;
        plug->deviceId = 15;
        plug->GetParam(kGlobalMidiChannel)->Set(15);
    }
    void send(std::vector<uint8_t> b, bool fromDevice = true)
    {
        // The router itself: the controller drops everything until its start-up has ended.
        ISysEx msg(0, b.data(), int(b.size()));
        plug->midiManager->ProcessSysEx(&msg, fromDevice);
    }
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::RecordingQOR> plug;
};

} // namespace

TEST(SysExRouter, OnlyAGlobalDumpFromTheDeviceWhileTheEnquiryWaitsSetsTheDeviceId)
{
    const struct {
        const char* name;
        std::vector<uint8_t> message;
        bool fromDevice, editDump, armed, expecting;
        int deviceId;
        bool stillExpecting, complete;
    } cases[] = {
        {"settings 1", dump(false, 3), true, false, false, true, 3, true, false},
        {"settings 2", dump(true, 3), true, false, false, true, 3, false, true},
        {"from the host", dump(true, 3), false, false, false, true, 15, true, false},
        {"edit dump expected", dump(true, 3), true, true, false, true, 15, true, false},
        {"library buffer armed", dump(true, 3), true, false, true, true, 15, true, false},
        {"no enquiry", dump(true, 3), true, false, false, false, 15, false, false},
        {"byte 4 not 01",
         [] {
             auto b = dump(true, 3);
             b[4] = 2;
             return b;
         }(),
         true, false, false, true, 15, true, false},
        {"stored program",
         [] {
             auto b = dump(true, 3);
             b[7] = 0x02;
             return b;
         }(),
         true, false, false, true, 15, true, false},
        {"short", std::vector<uint8_t>{0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x15, 0xF7}, true, false, false, true,
         15, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Router r;
        r.plug->expectGlobalDump = c.expecting;
        r.plug->midiManager->expectingEditDump = c.editDump;
        if (c.armed) r.plug->midiManager->armRequestBuffer(0);
        r.plug->midiManager->dumpTaken = true;
        r.send(c.message, c.fromDevice);
        EXPECT_EQ(r.plug->deviceId, c.deviceId);
        EXPECT_EQ(r.plug->GetParam(kGlobalMidiChannel)->Value(), c.deviceId);

        EXPECT_EQ(bool(r.plug->expectGlobalDump), c.stillExpecting);
        EXPECT_EQ(bool(r.plug->midiManager->requestComplete), c.complete);
        EXPECT_EQ(bool(r.plug->startupComplete), c.complete);
        // Settings 2's reader clears the flag for every message offered to it.
        const bool offered = c.fromDevice && !c.editDump && !c.armed && c.expecting && c.message.size() >= 25;
        EXPECT_EQ(bool(r.plug->midiManager->dumpTaken), !offered);
    }
}

TEST(SysExRouter, EveryOfferedSettingsTwoClearsTheDumpFlagsAcceptedOrNot)
{
    for (bool accepted : {true, false}) {
        Router r;
        auto b = dump(true, 3);
        if (!accepted) b[4] = 0x7F;
        r.plug->midiManager->dumpTaken = true;
        r.send(b);
        EXPECT_FALSE(r.plug->midiManager->dumpTaken) << accepted;
        EXPECT_FALSE(r.plug->midiManager->expectingEditDump) << accepted;
        EXPECT_EQ(r.plug->deviceId, accepted ? 3 : 15);
    }
}

TEST(SysExRouter, EightBitDecoderPutsTheHighBitFirst)
{
    Router r;
    r.plug->midiManager->eightBitDecoder(0x45);
    EXPECT_EQ(r.plug->midiManager->decodedBits, (std::vector<int>{1, 0, 0, 0, 1, 0, 1}));
}

TEST(SysExRouter, AnEnquiryIsAnsweredOnlyOnceEveryEarlierOneAtItsDeviceWas)
{
    // Each enquiry sent: a sync's (its request) or the enquiry job's (0). Each answer is a pair
    // of global dumps, the second first when reversed; between: what comes between the first
    // answer's two. agedAfter: a longest reply wait passes once that many enquiries went;
    // answeredAfter: a request is sent and answered then.
    using Due = MIDIMessageManager::Due;
    enum class Between { Nothing, UnitDump, OwnDump, PortChange, EnquiryJob };
    const struct {
        const char* name;
        std::vector<uint64_t> enquiries;
        std::vector<bool> reversed;
        std::vector<Due> answers; // what each pair is taken for
        int agedAfter = -1, answeredAfter = -1;
        int startId = 15; // the editor's id until the first answer's first dump is applied
        Between between = Between::Nothing;
    } cases[] = {
        {"a sync's own answer", {1}, {false}, {Due::Sync}},
        {"a late answer to the sync before", {1, 2}, {false, true}, {Due::Earlier, Due::Sync}},
        {"a late answer to the enquiry job's sweep",
         {0, 0, 3},
         {true, false, false},
         {Due::Earlier, Due::Earlier, Due::Sync}},
        {"no sync waits: the answer is applied", {0}, {false}, {Due::None}},
        {"an enquiry older than the longest reply wait is forgotten", {1, 2}, {false}, {Due::Sync}, 1},
        {"an answered request leaves the enquiries before it owed",
         {0, 0, 2},
         {false, false, false},
         {Due::Earlier, Due::Earlier, Due::Sync},
         -1,
         2},
        {"the id adopted from an answer's first dump", {0, 0}, {false, true}, {Due::Earlier, Due::None}, -1, -1, 14},
        {"another unit's dump between the two dumps",
         {1, 2},
         {false, true},
         {Due::Earlier, Due::Sync},
         -1,
         -1,
         15,
         Between::UnitDump},
        {"the device's own dump between the two dumps",
         {1, 2},
         {false, false},
         {Due::Earlier, Due::Sync},
         -1,
         -1,
         15,
         Between::OwnDump},
        // The sync is forgotten with the port; its answer still comes.
        {"a port closed and opened between the two dumps",
         {1, 2},
         {true, false},
         {Due::Earlier, Due::None},
         -1,
         -1,
         15,
         Between::PortChange},
        {"an enquiry job started between the two dumps",
         {1, 2},
         {false, false},
         {Due::Earlier, Due::None},
         -1,
         -1,
         15,
         Between::EnquiryJob},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Router r;
        r.plug->deviceId = c.startId;
        MIDIMessageManager& m = *r.plug->midiManager;
        // Whatever the start-up asked is long forgotten.
        int64_t clock = m.dueNow() + MIDIMessageManager::replyWaitMs(500);
        m.dueClock = [&clock] { return clock; };
        const std::vector<uint8_t> first = dump(false, 15), second = dump(true, 15);
        const int device = first[SysexFamily::kDeviceAt];
        for (size_t i = 0; i < c.enquiries.size(); ++i) {
            if (int(i) == c.agedAfter) clock += MIDIMessageManager::replyWaitMs(100);
            if (int(i) == c.answeredAfter) {
                const uint64_t asked = m.beginRequest();
                m.noteSent(asked, device, MIDIMessageManager::kAnyAnswer, DueKind::EditBuffer);
                std::vector<uint8_t> program(ProgramDump::kSize);
                ProgramDump::write([](int) { return 0.0; }, 0, 0x20, "", program.data());
                program[SysexFamily::kDeviceAt] = uint8_t(device);
                EXPECT_EQ(m.answerOf(program.data(), int(program.size())), Due::Awaited);
                m.endRequest(asked);
            }
            m.noteSent(c.enquiries[i], device, MIDIMessageManager::kAnyAnswer, DueKind::Enquiry);
            clock += 10;
        }
        for (size_t i = 0; i < c.answers.size(); ++i) {
            const auto& a = c.reversed[i] ? second : first;
            const auto& b = c.reversed[i] ? first : second;
            EXPECT_EQ(m.answerOf(a.data(), int(a.size())), c.answers[i]) << i;
            r.plug->deviceId = 15; // as the enquiry job applies it
            const Between between = i == 0 ? c.between : Between::Nothing;
            if (between == Between::UnitDump || between == Between::OwnDump) {
                std::vector<uint8_t> program(ProgramDump::kSize);
                ProgramDump::write([](int) { return 0.0; }, 0, 0x20, "", program.data());
                program[SysexFamily::kDeviceAt] = between == Between::UnitDump ? 3 : uint8_t(device);
                EXPECT_EQ(m.answerOf(program.data(), int(program.size())), Due::Unasked) << i;
            }
            if (between == Between::PortChange) m.clearDue();
            if (between == Between::EnquiryJob) m.enquiryStarts(100);
            EXPECT_EQ(m.answerOf(b.data(), int(b.size())), c.answers[i]) << i;
            EXPECT_EQ(m.syncAnswered(), c.answers[i] == Due::Sync) << i;
        }
        EXPECT_EQ(m.enquiriesOwed(device), 0);
        m.dueClock = nullptr;
    }
    // A synthesizer that never answers leaves a bounded count.
    Router r;
    MIDIMessageManager& m = *r.plug->midiManager;
    for (int i = 0; i < 3 * MIDIMessageManager::kDueCap; ++i)
        m.noteSent(1, 15, MIDIMessageManager::kAnyAnswer, DueKind::Enquiry);
    EXPECT_EQ(m.enquiriesOwed(15), MIDIMessageManager::kDueCap);
}

// The synthesizer answers in order: what an ended request asked and was not answered is owed,
// and its answer, when it comes, goes nowhere: not to the editor between requests, not to a
// request asked at its id since. The next sync's answer clears what is owed.
TEST(SysExRouter, AnAnswerOwedByAnEndedRequestGoesNowhereUntilASyncIsAnswered)
{
    using Due = MIDIMessageManager::Due;
    for (const bool asked : {false, true}) {
        SCOPED_TRACE(asked ? "a request asked at its id since" : "between requests");
        Router r;
        MIDIMessageManager& m = *r.plug->midiManager;
        int64_t clock = m.dueNow() + MIDIMessageManager::replyWaitMs(500);
        m.dueClock = [&clock] { return clock; };
        const std::vector<uint8_t> first = dump(false, 15), second = dump(true, 15);
        const int device = first[SysexFamily::kDeviceAt];
        std::vector<uint8_t> program(ProgramDump::kSize);
        ProgramDump::write([](int) { return 0.0; }, 0, 0x20, "", program.data());
        program[SysexFamily::kDeviceAt] = uint8_t(device);
        ISysEx answer(0, program.data(), int(program.size()));
        const auto ask = [&] {
            const uint64_t request = m.beginRequest();
            m.noteSent(request, device, MIDIMessageManager::kAnyAnswer, DueKind::EditBuffer);
            clock += 10;
            return request;
        };
        m.endRequest(ask()); // unanswered
        EXPECT_TRUE(m.looseLine());
        const uint64_t next = asked ? ask() : 0;
        EXPECT_EQ(m.answerOf(program.data(), int(program.size())), Due::Stale);
        EXPECT_TRUE(m.lateAnswer(&answer)) << "the owed answer was not dropped";
        if (next) m.endRequest(next);
        const uint64_t synced = m.beginRequest();
        m.noteSent(synced, device, MIDIMessageManager::kAnyAnswer, DueKind::Enquiry);
        EXPECT_EQ(m.answerOf(first.data(), int(first.size())), Due::Sync);
        EXPECT_EQ(m.answerOf(second.data(), int(second.size())), Due::Sync);
        m.noteSent(synced, device, MIDIMessageManager::kAnyAnswer, DueKind::EditBuffer);
        EXPECT_EQ(m.answerOf(program.data(), int(program.size())), Due::Awaited) << "after the sync";
        m.endRequest(synced);
        m.dueClock = nullptr;
    }
}

// In a job's last pauses (its request answered, the editor still taking dumps) a dump that
// answers nothing stays only from the editor's device or an id the job asked; between jobs the
// router leaves it to the parsers, which take none.
TEST(SysExRouter, InAJobsLastPausesOnlyAnAskedIdsDumpStays)
{
    const struct {
        int device;
        bool editDump; // the job still takes dumps
        bool dropped;
        bool patternSince = false; // a pattern request for the editor ran after the job
    } cases[] = {
        {15, true, false},      // the editor's device
        {3, true, false},       // asked by the job's sweep
        {7, true, true},        // another unit
        {7, false, false},      // the same between jobs
        {3, true, true, true},  // asked by the job before, not by the pattern request
        {15, true, false, true} // the editor's device still
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "device " << c.device << (c.editDump ? " in the job" : " between jobs")
                                        << (c.patternSince ? " after a pattern request" : ""));
        Router r;
        MIDIMessageManager& m = *r.plug->midiManager;
        int64_t clock = m.dueNow() + MIDIMessageManager::replyWaitMs(500);
        m.dueClock = [&clock] { return clock; };
        auto program = [](int device) {
            std::vector<uint8_t> b(ProgramDump::kSize);
            ProgramDump::write([](int) { return 0.0; }, 0, 0x20, "", b.data());
            b[SysexFamily::kDeviceAt] = uint8_t(device);
            return b;
        };
        m.jobBegins();
        const uint64_t asked = m.beginRequest();
        for (int id : {15, 3}) m.noteSent(asked, id, MIDIMessageManager::kAnyAnswer, DueKind::EditBuffer);
        for (int id : {15, 3}) {
            const std::vector<uint8_t> answer = program(id);
            EXPECT_EQ(m.answerOf(answer.data(), int(answer.size())), MIDIMessageManager::Due::Awaited) << id;
        }
        m.endRequest(asked);
        if (c.patternSince) m.sender->sendSequenceRequestSysex();
        m.expectingEditDump = c.editDump;
        std::vector<uint8_t> late = program(c.device);
        ISysEx msg(0, late.data(), int(late.size()));
        EXPECT_EQ(m.lateAnswer(&msg), c.dropped);
        m.dueClock = nullptr;
    }
}
