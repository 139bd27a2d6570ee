// The wait every request job runs: when it sweeps, when it gives up, and which of cancel, reply
// and time-out ends it in each job's order of tests.
#include "Project_Source/src/MIDIMessageManager.h"
#include "support/insynth.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace
{
using WaitEnd = MIDIMessageSender::WaitEnd;
}

TEST(ReplyWait, EndsBySweepTimeOutCancelOrReplyInTheJobsOrder)
{
    const struct {
        const char* name;
        bool cancelFirst;
        int cancelAt, replyAt; // the pause after which the flag rises; 0: never
        WaitEnd end;
        std::vector<int> swept;
        int pauses;
    } cases[] = {
        // Sweep in the 3rd pass, time-out in the 5th; a pass is one pause, a swept id one more.
        {"no answer", false, 0, 0, WaitEnd::TimeOut, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 21},
        {"reply in the 2nd pass", false, 0, 2, WaitEnd::Reply, {}, 2},
        {"reply to id 2", false, 0, 6, WaitEnd::Reply, {0, 1, 2}, 6},
        {"cancel and reply together", false, 2, 2, WaitEnd::Cancel, {}, 2},
        {"cancel and reply together, cancel first", true, 2, 2, WaitEnd::Cancel, {}, 2},
        // Enquiry order: the sweep runs before the cancel is seen; it stops after its step.
        {"cancel before the sweep pass", false, 2, 0, WaitEnd::Cancel, {}, 2},
        {"cancel in the sweep pass", false, 3, 0, WaitEnd::Cancel, {0}, 4},
        {"cancel in the sweep pass, cancel first", true, 3, 0, WaitEnd::Cancel, {}, 3},
        // In the time-out pass the enquiry order reports the time-out, the other the cancel.
        {"cancel in the time-out pass",
         false,
         21,
         0,
         WaitEnd::TimeOut,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
         21},
        {"cancel in the time-out pass, cancel first",
         true,
         21,
         0,
         WaitEnd::Cancel,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
         21},
    };
    testsupport::TempDir dir;
    setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
    testing::internal::CaptureStdout();
    testsupport::RecordingQOR plug;
    testing::internal::GetCapturedStdout();
    MIDIMessageSender& s = *plug.midiManager->sender;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        s.cancelRequested = false;
        plug.replyArrived = false;
        int pauses = 0;
        s.onPause = [&](int& ms) {
            ++pauses;
            if (pauses == c.cancelAt) s.cancelRequested = true;
            if (pauses == c.replyAt) plug.replyArrived = true;
            ms = 0;
        };
        std::vector<int> swept;
        MIDIMessageSender::WaitPlan plan;
        plan.sweepPass = 3;
        plan.timeOutPass = 5;
        plan.sweepStepMs = 7;
        plan.periodMs = 11;
        plan.cancelFirst = c.cancelFirst;
        plan.request = [&](int id) { swept.push_back(id); };
        EXPECT_EQ(s.waitForReply(plan), c.end);
        EXPECT_EQ(swept, c.swept);
        EXPECT_EQ(pauses, c.pauses);
    }
    s.onPause = nullptr;
    // Once the workers stop, the first pause ends the wait.
    plug.midiManager->stopAndJoin();
    EXPECT_EQ(s.waitForReply(MIDIMessageSender::WaitPlan{}), WaitEnd::Stopped);
}
