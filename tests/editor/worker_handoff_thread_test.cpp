// Worker jobs: hand-off, indicator-only jobs, stop-and-join, the request buffers' lock, framing.
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/SysexFamily.h"
#include "support/insynth.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

using testsupport::Bytes;

namespace
{

SenderJobRecord job(int number, int part = 0)
{
    SenderJobRecord r;
    r.job = number, r.part = part;
    return r;
}

struct Worker : testing::Test {
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::RecordingQOR> plug =
        (setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1), testing::internal::CaptureStdout(),
         std::make_unique<testsupport::RecordingQOR>());
    MIDIMessageManager* mm = (testing::internal::GetCapturedStdout(), plug->midiManager);
    void waitIdle()
    {
        for (int t = 0; t < kSenderThreadCount; ++t)
            while (!mm->threadIdle(t)) std::this_thread::yield();
    }
};

} // namespace

TEST_F(Worker, JobsWithNothingToSendOnlyFlashTheIndicatorAndJobThreeEndsTheSend)
{
    const Bytes on{1}, off{0};
    // The starts of the sending jobs (0, 2, 3, 4, 5) set sendInProgress; 5 leaves it set.
    // Jobs 2 and 4 send a program dump and have tests of their own; job 5 without a bank to
    // write only flashes the indicator.
    const struct {
        int job;
        std::vector<Bytes> indicator;
        bool sendingBefore, sendingAfter;
    } cases[] = {{3, {on, off}, true, false},  {8, {on, off}, true, true}, {13, {on, off}, true, true},
                 {14, {on, off}, true, true},  {19, {}, true, true},       {23, {}, true, true},
                 {0, {on, off}, false, false}, {5, {on, off}, true, true},
                 {8, {on, off}, false, false}, {-1, {}, false, false}};
    // Job 14 asks for patterns into the library: only with a pattern bank open.
    PatchLibrarian& lib = *plug->patchLibrarian;
    lib.patternFiles.push_back(lib.adoptBank(new PatchFile));
    for (const auto& c : cases) {
        plug->indicator.clear();
        lib.currentKind = c.job == kJobRequestAllSequences ? kPatchFilePatterns : kPatchFilePrograms;
        mm->sendInProgress = c.sendingBefore;
        ASSERT_TRUE(mm->startJob(job(c.job)));
        waitIdle();
        EXPECT_EQ(plug->copy(plug->indicator), c.indicator) << c.job;
        EXPECT_EQ(mm->sendInProgress.load(), c.sendingAfter) << c.job;
    }
}

TEST_F(Worker, TheJobNumberChoosesTheThreadSoAClockJobNeverHoldsUpADump)
{
    // Job and the thread it runs on.
    const std::pair<int, int> routes[] = {{kJobStartClock, kClockTransportThread},
                                          {kJobStopClock, kClockTransportThread},
                                          {kJobContinuousClock, kClockThread},
                                          {kJobRequestSequence, kJobThread},
                                          {kJobNothing, kJobThread},
                                          {23, kJobThread},
                                          {-1, kJobThread}};
    for (const auto& r : routes) {
        std::atomic<bool> held{false}, open{false};
        mm->sender->beforeJob = [&](int) {
            held = true;
            while (!open) std::this_thread::yield();
        };
        ASSERT_TRUE(mm->startJob(job(r.first)));
        while (!held) std::this_thread::yield();
        for (int t = 0; t < kSenderThreadCount; ++t) EXPECT_EQ(mm->threadIdle(t), t != r.second) << r.first << " " << t;
        open = true;
        waitIdle();
    }
    mm->sender->beforeJob = nullptr;
}

TEST_F(Worker, ThePollPeriodComesFromTheSyncTimerTruncatedAndAnythingElseIsAHundred)
{
    const double settings[] = {0, 1, 2, 3, 4, 5, 6, 6.9, 2.99, -0.5, -1, 7, std::nan(""), 1e12};
    const int periods[] = {50, 75, 100, 200, 300, 400, 500, 500, 100, 50, 100, 100, 100, 100}; // milliseconds
    for (size_t i = 0; i < std::size(settings); ++i) {
        plug->GetParam(qorid::kLibSyncTimer)->Set(settings[i]);
        EXPECT_EQ(plug->getTimerValue(), periods[i]) << settings[i];
    }
}

TEST_F(Worker, ABusyJobThreadDropsTheNextJobUntouchedWhileAClockJobRunsBeside)
{
    std::atomic<bool> inJob{false}, open{false};
    plug->onIndicator = [&](bool on) {
        inJob = inJob || on;
        while (on && !open) std::this_thread::yield();
    };
    // A start that fails (here: the thread object is busy with a runnable of its own) gives the
    // claim back and restores sendInProgress.
    struct Blocker : Poco::Runnable {
        std::atomic<bool> open{false};
        void run() override
        {
            while (!open) std::this_thread::yield();
        }
    } blocker;
    mm->jobThread.start(blocker);
    mm->sendInProgress = false;
    EXPECT_FALSE(mm->startJob(job(kJobSendPart)));
    EXPECT_TRUE(mm->threadIdle(kJobThread));
    EXPECT_FALSE(mm->sendInProgress);
    blocker.open = true;
    mm->jobThread.join();
    ASSERT_TRUE(mm->startJob(job(kJobRequestSequence, 1)));
    while (!inJob) std::this_thread::yield();
    mm->expectingEditDump = true; // the dropped starter's own step before its idle test
    mm->sendInProgress = false;
    bool afterClaimRan = false;
    EXPECT_FALSE(mm->startJob(job(kJobRequestPart, 6), [&] { afterClaimRan = true; }));
    EXPECT_FALSE(mm->startJob(job(kJobSendPatchFromLibrarian, 7)));
    EXPECT_FALSE(afterClaimRan);
    EXPECT_TRUE(mm->expectingEditDump);
    EXPECT_FALSE(mm->sendInProgress) << "a dropped send start leaves the flag alone";
    EXPECT_TRUE(mm->startJob(job(kJobStartClock)));
    while (!mm->threadIdle(kClockTransportThread)) std::this_thread::yield();
    EXPECT_FALSE(mm->threadIdle(kJobThread)) << "the clock job ended beside the running request";
    open = true;
    waitIdle();
    EXPECT_EQ(mm->sender->records[kJobThread].part, 1);
    // An after-claim step that throws gives the claim back: the thread takes the next job.
    EXPECT_FALSE(mm->startJob(job(kJobSendPart), [] { throw 1; }));
    EXPECT_TRUE(mm->threadIdle(kJobThread));
    EXPECT_FALSE(mm->sendInProgress);
    EXPECT_TRUE(mm->startJob(job(kJobRequestSequence)));
    waitIdle();
}

TEST_F(Worker, FourThreadsStartingAThousandJobsEachRunEveryStartedJobOnceWithItsOwnArguments)
{
    std::mutex lock;
    std::vector<int> ran, started;
    plug->onIndicator = [&](bool on) { // the record stays the running job's until it ends
        std::lock_guard<std::mutex> g(lock);
        if (on) ran.push_back(mm->sender->records[kJobThread].part);
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < 4; ++id)
        threads.emplace_back([&, id] {
            for (int i = 0; i < 1000; ++i) {
                if (mm->startJob(job(i % 2 ? kJobRequestSequence : kJobSendSequence, id * 1000 + i))) {
                    std::lock_guard<std::mutex> g(lock);
                    started.push_back(id * 1000 + i);
                }
                mm->startJob(job(kJobStartClock + i % 3));
            }
        });
    for (auto& t : threads) t.join();
    waitIdle();
    std::sort(ran.begin(), ran.end()), std::sort(started.begin(), started.end());
    EXPECT_FALSE(started.empty());
    EXPECT_EQ(ran, started);
}

TEST_F(Worker, StopAndJoinWakesEveryPauseJoinsEveryThreadAndLaterSendsAndStartsFail)
{
    for (int busy : {0, 1, 3}) {
        testing::internal::CaptureStdout(); // a fresh controller per case
        plug = std::make_unique<testsupport::RecordingQOR>(), mm = plug->midiManager;
        testing::internal::GetCapturedStdout();
        std::atomic<int> paused{0}, woken{0};
        mm->sender->beforeJob = [&](int) { // one job held in a pause on each busy thread
            ++paused;
            woken += !mm->sender->pause(busy == 1 ? 500 : 600000);
            MIDIMessageSender::Request r = mm->sender->buildRequest(SysexFamily::kTypeRequestEditBuffer);
            mm->sender->sendDirect(r.bytes, r.length);
        };
        const int jobs[] = {kJobRequestSequence, kJobStartClock, kJobContinuousClock}; // one per thread
        for (int t = 0; t < busy; ++t) ASSERT_TRUE(mm->startJob(job(jobs[t])));
        while (paused < busy) std::this_thread::yield();
        mm->stopAndJoin();
        EXPECT_EQ(woken.load(), busy);
        EXPECT_TRUE(plug->copy(plug->handed).empty()) << busy;
        EXPECT_FALSE(mm->jobThread.isRunning() || mm->clockTransportThread.isRunning() || mm->clockThread.isRunning());
        for (int t = 0; t < kSenderThreadCount; ++t)
            EXPECT_TRUE(mm->threadIdle(t)) << "a wait for idle ends after the stop";
        EXPECT_FALSE(mm->startJob(job(kJobRequestSequence)));
    }
}

TEST_F(Worker, ArmingAndDisarmingUnderTheLockLeavesAtMostOneArmedBufferAndItEmpty)
{
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            std::lock_guard<std::mutex> g(mm->mRequestLock);
            auto& patch = mm->libraryPatchRequest;
            EXPECT_LE(patch.active + mm->libraryPerformanceRequest.active + mm->libraryPatternRequest.active, 1);
            EXPECT_TRUE(!patch.active || patch.patch.messages.empty());
        }
    });
    for (int i = 0; i < 3000; ++i) {
        {
            std::lock_guard<std::mutex> g(mm->mRequestLock); // a delivery completes the program buffer
            if (mm->libraryPatchRequest.active.exchange(false)) mm->libraryPatchRequest.patch.messages.emplace_back();
        }
        i % 4 == 3 ? mm->disarmRequestBuffers() : mm->armRequestBuffer(i % 3);
    }
    done = true;
    reader.join();
}

TEST_F(Worker, RequestsAreHandedBareDumpsWholeAndTheEnvelopeReadsModelAndDeviceWhenBuilt)
{
    MIDIMessageSender* s = mm->sender;
    const struct {
        int model, device;
        uint8_t modelByte, deviceByte;
    } envelopes[] = {{0, 0, 0x20, 0x00}, {1, 15, 0x21, 0x0F}, {3, 9, 0x21, 0x09}, {-1, 0x8A, 0x21, 0x0A}};
    for (const auto& e : envelopes) {
        plug->currentModel = e.model, plug->deviceId = e.device;
        const MIDIMessageSender::Request r = s->buildRequest(SysexFamily::kTypeRequestEditBuffer);
        EXPECT_EQ(Bytes(r.bytes, r.bytes + r.length), (Bytes{0x00, 0x20, 0x29, 0x01, e.modelByte, e.deviceByte, 0x08}));
    }
    plug->currentModel = 0, plug->deviceId = 0;
    MIDIMessageSender::Request stored = s->buildStoredRequest(6, 127), request = s->buildRequest(0x08);
    EXPECT_EQ(Bytes(stored.bytes, stored.bytes + stored.length), (Bytes{0, 0x20, 0x29, 1, 0x20, 0, 0x13, 6, 0x7F}));
    Bytes dump(SysexFamily::kProgramDumpSize, 0x11);
    dump.front() = 0xF0, dump.back() = 0xF7;
    s->writeEnvelope(&dump[1], SysexFamily::kTypeProgramDump);
    const Bytes library{0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x02, 0x05, 0x00, 0xF7};
    EXPECT_TRUE(s->sendDirect(request.bytes, request.length) && s->sendChecked(dump.data(), int(dump.size())) &&
                s->sendStored(library));
    plug->midiIOSet = false; // no port: the dump is held back, the request still goes
    s->sendChecked(dump.data(), int(dump.size()));
    s->sendDirect(request.bytes, request.length);
    const Bytes bare{0x00, 0x20, 0x29, 0x01, 0x20, 0x00, 0x08};
    EXPECT_EQ(plug->copy(plug->handed), (std::vector<Bytes>{bare, dump, library, bare}));
}
