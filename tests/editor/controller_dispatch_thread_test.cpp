// The sends that edits of performance, part and pattern data start on the job thread, and values
// from the synthesizer taken on another thread while the editor dispatches edits.
#include "Project_Source/src/ControlAction.h"
#include "controller_dispatch_support.h"

#include <atomic>
#include <thread>

using namespace qorid;
using dispatchtest::Desk;

namespace
{

// Keeps the record of every job the job thread begins; while hold is set the job waits.
struct JobLog {
    explicit JobLog(QOR& q) : sender(*q.midiManager->sender)
    {
        sender.beforeJob = [this](int job) {
            if (job > kJobDeviceIdEnquiry) return;
            {
                std::lock_guard<std::mutex> lock(mLock);
                records.push_back(sender.records[kJobThread]);
            }
            while (hold) usleep(1000);
        };
    }
    size_t count()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return records.size();
    }
    std::vector<SenderJobRecord> take()
    {
        std::lock_guard<std::mutex> lock(mLock);
        std::vector<SenderJobRecord> out;
        out.swap(records);
        return out;
    }
    MIDIMessageSender& sender;
    std::atomic<bool> hold{false};
    std::vector<SenderJobRecord> records;
    std::mutex mLock;
};

} // namespace

TEST(ControllerDispatchJobs, NoJobStartsWhileTheEditorIsBuilt)
{
    Desk d;
    // The part channels were set as user input during the start-up.
    EXPECT_EQ(d.plug->midiManager->sender->records[kJobThread].job, kJobNothing);
}

TEST(ControllerDispatchJobs, EditsStartTheirJobWithItsFieldsWhenTheThreadIsIdle)
{
    Desk d;
    QOR& q = *d.plug;
    JobLog jobs(q);
    const struct {
        const char* what;
        int id;
        double value;
        int job; // -1: none
        int part;
        bool passOn, toEditor;
    } cases[] = {
        {"part channel", kMultiPartMIDICh + 3, 5, kJobSendArrangement, 0, false, false},
        {"part status", kMultiPartStatus, 1, kJobSendArrangement, 0, false, false},
        {"performance name", kMultiName, 1, kJobSendArrangement, 0, false, false},
        {"part name", kPatchName + 2, 1, kJobSendPart, 2, true, false},
        {"pattern data, selected part 4", 2700, 9, kJobSendSequence, 3, false, false},
        {"pattern length", kArpPatternLength + 5, 4, kJobSendSequence, 3, false, false},
        {"pattern name", kPatternName + 6, 1, kJobSendSequence, 6, false, false},
        {"active performance request", kRequestTempData, 1, kJobRequestActiveArrangement, 0, false, true},
        {"request switch off", kRequestTempData, 0, -1, 0, false, false},
        {"push off", kPushArrangement, 0, -1, 0, false, false},
        {"a sound parameter", kFilterCutoff, 12, -1, 0, false, false},
    };
    d.edit(kQuickTab, 3);
    d.settle();
    jobs.take();
    for (const auto& c : cases) {
        d.edit(c.id, c.value);
        d.settle();
        const std::vector<SenderJobRecord> started = jobs.take();
        if (c.job < 0) {
            EXPECT_TRUE(started.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(started.size(), 1u) << c.what;
        EXPECT_EQ(started[0].job, c.job) << c.what;
        EXPECT_EQ(started[0].part, c.part) << c.what;
        EXPECT_EQ(started[0].passOn, c.passOn) << c.what;
        EXPECT_FALSE(started[0].storeIntoLibrary) << c.what;
        EXPECT_EQ(started[0].toEditor, c.toEditor) << c.what;
    }
    EXPECT_FALSE(q.sendGlobalsFirst);
    EXPECT_FALSE(q.sendingAllParts);
}

TEST(ControllerDispatchJobs, ABusyThreadStartsNothingAndLeavesTheTransferFlags)
{
    Desk d;
    QOR& q = *d.plug;
    JobLog jobs(q);
    jobs.hold = true;
    d.edit(kMultiName, 1);
    while (jobs.count() == 0) usleep(1000);
    ControlAction* action = q.GetParam(kArpPatternLength)->GetControlAction();
    ASSERT_NE(action, nullptr);
    d.edit(2701, 7);
    d.edit(kArpPatternLength, 7);
    d.edit(kPushArrangement, 1);
    // The running job's reply came in: a dropped request must not take it back.
    q.replyArrived = true;
    q.midiManager->requestComplete = true;
    d.edit(kRequestTempData, 1);
    EXPECT_EQ(d.value(2701), 7.0);
    EXPECT_EQ(action->lastValue, 7.0) << "its action still runs";
    EXPECT_FALSE(q.deviceTransferActive);
    EXPECT_FALSE(q.incomingMidiBlocked);
    EXPECT_TRUE(q.replyArrived);
    EXPECT_TRUE(q.midiManager->requestComplete);
    jobs.hold = false;
    d.settle();
    EXPECT_EQ(jobs.take().size(), 1u);

    d.edit(kPushArrangement, 1);
    d.settle();
    const std::vector<SenderJobRecord> pushed = jobs.take();
    ASSERT_EQ(pushed.size(), 1u);
    EXPECT_EQ(pushed[0].job, kJobSendArrangement);
    EXPECT_TRUE(q.sendGlobalsFirst);
    // The program send of the eighth part has ended the all-parts send again.
    EXPECT_FALSE(q.sendingAllParts);
    EXPECT_FALSE(q.incomingMidiBlocked);
}

TEST(ControllerDispatchJobs, SynthesizerValuesOnAnotherThreadMeetEditsSafely)
{
    Desk d;
    QOR& q = *d.plug;
    std::atomic<bool> done{false};
    std::thread input([&] {
        for (int i = 0; !done; ++i) {
            q.GetParam(kFilterResonance + (i & 7))->Set(i & 127);
            q.OnParamChange2(kFilterResonance + (i & 7));
        }
    });
    testing::internal::CaptureStdout();
    for (int i = 0; i < 300; ++i) {
        q.GetParam(kFilterCutoff + (i & 7))->Set(i & 127);
        q.OnParamChange(kFilterCutoff + (i & 7));
        q.GetParam(kGlobalMidiChannel)->Set(i & 15);
        q.OnParamChange(kGlobalMidiChannel);
    }
    done = true;
    input.join();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(q.deviceId, 299 & 15);
    EXPECT_FALSE(q.changeFromHardware);
}
