// The sends that edits of performance, part and pattern data start on the job thread, and values
// from the synthesizer taken on another thread while the editor dispatches edits.
#include "Project_Source/src/ControlAction.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "controller_dispatch_support.h"
#include "kit/mutex.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <random>
#include <thread>
#include <utility>

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

// ---- the user's clicks against the job thread ----

namespace
{

constexpr auto kStuck = std::chrono::seconds(20);

// Holds each job of the job thread at its start (a bank at its first wait, past its own start)
// until the test lets it go, so that the state a click meets is known; keeps each job and
// whether it began cancelled. The jobs' waits pass on a clock of their own, which the requests'
// expiry reads too.
struct JobGate {
    explicit JobGate(QOR& q) : sender(*q.midiManager->sender)
    {
        q.midiManager->dueClock = [this] { return clockMs.load(); };
        sender.beforeJob = [this](int job) {
            std::unique_lock<std::mutex> lock(mLock);
            begun.push_back({job, sender.cancelRequested.load()});
            mWake.notify_all();
            if (job == kJobRequestAllPatches)
                mHoldAtPause = true;
            else
                hold(lock);
        };
        sender.onPause = [this](int& ms) {
            clockMs += ms + 1, ms = 0;
            std::unique_lock<std::mutex> lock(mLock);
            if (std::exchange(mHoldAtPause, false)) hold(lock);
        };
    }
    ~JobGate() { sender.beforeJob = nullptr, sender.onPause = nullptr; }
    void hold(std::unique_lock<std::mutex>& lock)
    {
        const size_t mine = begun.size();
        // A click that waited for this job would keep it here.
        if (!mWake.wait_for(lock, kStuck, [&] { return letGo >= mine; })) stuck = true;
    }
    // The n-th job as it began, or {-1, true} when it did not.
    std::pair<int, bool> waitBegun(size_t n)
    {
        std::unique_lock<std::mutex> lock(mLock);
        return mWake.wait_for(lock, kStuck, [&] { return begun.size() >= n; }) ? begun[n - 1]
                                                                               : std::make_pair(-1, true);
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mLock);
        ++letGo;
        mWake.notify_all();
    }
    MIDIMessageSender& sender;
    std::vector<std::pair<int, bool>> begun;
    size_t letGo = 0;
    bool stuck = false;
    std::atomic<int64_t> clockMs{0};
    bool mHoldAtPause = false;
    std::mutex mLock;
    std::condition_variable mWake;
};

enum class Act { Click, Cancel, Port, LetGo };
struct Step {
    Act act;
    int job = -1;
};

// A click as the editor makes it, under the plug-in mutex: the Request button for job 6, a
// menu's start for the others.
bool click(QOR& q, int job)
{
    KIT_MutexLock hold(q.GetMutex());
    if (job == kJobRequestActiveArrangement) {
        q.GetParam(kRequestTempData)->Set(1);
        q.showStatus("");
        q.OnParamChange(kRequestTempData);
        // Only a refusal shows a text: a job taken is held before its first.
        return Desk::text(q.statusDisplay) != MIDIMessageManager::kBusyText;
    }
    SenderJobRecord r;
    r.job = job;
    r.toEditor = true;
    return q.midiManager->startAsked(r);
}

// What the user may expect of the job thread, step by step.
struct Expected {
    int running = -1; // the job held at its start
    bool cancelled = false;
    int follower = -1;
    bool refused = false;
};

void play(Desk& d, JobGate& gate, const std::vector<Step>& steps)
{
    QOR& q = *d.plug;
    MIDIMessageSender& sender = *q.midiManager->sender;
    Expected e;
    size_t begun = gate.begun.size();
    auto letGo = [&] {
        gate.release();
        if (e.follower >= 0) {
            ASSERT_EQ(gate.waitBegun(++begun), std::make_pair(e.follower, false)) << "follows, uncancelled";
        } else {
            for (int ms = 0; ms < 20000 && !q.midiManager->threadIdle(kJobThread); ++ms) usleep(1000);
            ASSERT_TRUE(q.midiManager->threadIdle(kJobThread));
            EXPECT_FALSE(sender.cancelRequested) << "a job ends uncancelled";
        }
        if (e.refused) {
            EXPECT_TRUE(d.status1() == MIDIMessageManager::kBusyText || d.status2() == MIDIMessageManager::kBusyText)
                << d.status1() << " / " << d.status2();
        }
        e = Expected{e.follower};
    };
    for (const Step& s : steps) {
        switch (s.act) {
        case Act::Click: {
            const bool follows = e.running >= 0 && e.cancelled && e.follower < 0 && s.job != kJobStoreAllPatches;
            // Returns with the running job still held at its start: it waited for nothing.
            const bool taken = click(q, s.job);
            if (e.running < 0) {
                EXPECT_TRUE(taken) << s.job;
                ASSERT_EQ(gate.waitBegun(++begun), std::make_pair(s.job, false)) << "begins, uncancelled";
                e.running = s.job;
            } else if (follows) {
                EXPECT_TRUE(taken) << s.job << " follows the cancelled job";
                e.follower = s.job;
            } else {
                EXPECT_FALSE(taken) << s.job;
                EXPECT_EQ(d.status1(), MIDIMessageManager::kBusyText);
                e.refused = true;
            }
            break;
        }
        case Act::Cancel: {
            KIT_MutexLock hold(q.GetMutex());
            q.GetParam(kCancelDataRequest)->Set(1);
            q.OnParamChange(kCancelDataRequest);
            e.cancelled = e.running >= 0;
            e.follower = -1;
            break;
        }
        case Act::Port: {
            KIT_MutexLock hold(q.GetMutex());
            static_cast<IPluginBase&>(q).OnExternalMIDIPortChanged(false);
            e.cancelled = e.cancelled || e.running >= 0;
            break;
        }
        case Act::LetGo:
            if (e.running >= 0) letGo();
            break;
        }
        if (::testing::Test::HasFatalFailure()) return;
    }
    while (e.running >= 0 && !::testing::Test::HasFatalFailure()) letGo();
}

} // namespace

// Clicks meet a job thread that runs a job, one that was cancelled or ended by a port change,
// and one that is idle: each is taken at once, follows the cancelled job, or is refused and
// told past the running job's end; none waits for a job under the plug-in mutex, every job
// begins and ends uncancelled. Scripted sequences first, then seeded ones.
TEST(ControllerDispatchJobs, AClickIsTakenFollowsACancelledJobOrIsToldAndNeverWaits)
{
    Desk d;
    QOR& q = *d.plug;
    // A bank to request into; the bank's cancel reads the folders again, and it is gone.
    auto* bank = new PatchFile;
    bank->patches.resize(100);
    q.patchLibrarian->singleFiles.push_back(q.patchLibrarian->adoptBank(bank));
    JobGate gate(q);
    using A = Act;
    const int kSend = kJobSendArrangement, kStore = kJobStoreAllPatches, kRequest = kJobRequestActiveArrangement,
              kPart = kJobRequestPart, kEnquiry = kJobDeviceIdEnquiry, kPattern = kJobRequestSequence,
              kBank = kJobRequestAllPatches;
    const struct {
        const char* what;
        std::vector<Step> steps;
    } scripted[] = {
        // Its end reads the folders under the plug-in mutex, which the click holds.
        {"a request right after a bank's Cancel follows the bank",
         {{A::Click, kBank}, {A::Cancel}, {A::Click, kRequest}, {A::LetGo}, {A::LetGo}}},
        {"a request right after a Cancel follows the cancelled one",
         {{A::Click, kRequest}, {A::Cancel}, {A::Click, kRequest}, {A::LetGo}, {A::LetGo}}},
        {"a port choice during a send keeps its enquiry",
         {{A::Click, kSend}, {A::Port}, {A::Click, kEnquiry}, {A::LetGo}, {A::LetGo}}},
        {"a click under a running request is told past its end", {{A::Click, kRequest}, {A::Click, kPart}, {A::LetGo}}},
        {"a click under a job without an end text stays told",
         {{A::Click, kPattern}, {A::Click, kRequest}, {A::LetGo}}},
        {"a Cancel with nothing to cancel is not left for the next job",
         {{A::Cancel}, {A::Click, kSend}, {A::Click, kRequest}, {A::LetGo}}},
        {"a port change under a send is not left for the next job",
         {{A::Click, kSend}, {A::Port}, {A::LetGo}, {A::Click, kRequest}, {A::Click, kPart}, {A::LetGo}}},
        {"a store never follows", {{A::Click, kRequest}, {A::Cancel}, {A::Click, kStore}, {A::LetGo}}},
        {"a Cancel drops the job that was to follow",
         {{A::Click, kRequest}, {A::Cancel}, {A::Click, kPart}, {A::Cancel}, {A::LetGo}}},
        {"a second click while one follows is told",
         {{A::Click, kRequest}, {A::Cancel}, {A::Click, kPart}, {A::Click, kEnquiry}, {A::LetGo}, {A::LetGo}}},
    };
    // The jobs' prints are kept back, and shown with the failures among them.
    testing::internal::CaptureStdout();
    for (const auto& c : scripted) {
        SCOPED_TRACE(c.what);
        play(d, gate, c.steps);
        if (HasFatalFailure()) break;
    }
    // The bank was under way when it was cancelled: it read the folders again at its end.
    const std::vector<int> dispatched = d.plug->dispatched;
    EXPECT_NE(std::find(dispatched.begin(), dispatched.end(), kRefreshFolders), dispatched.end());
    const int pool[] = {kSend, kStore, kRequest, kPart, kPattern, kEnquiry};
    for (unsigned seed = 1; seed <= 150 && !HasFatalFailure(); ++seed) {
        std::mt19937 draw(seed);
        // Clicks 9 in 20, Cancel 3, a port change 2, the running job let go 6.
        std::vector<Step> steps;
        for (int n = 0; n < 12; ++n) {
            const unsigned r = draw() % 20;
            steps.push_back({r < 9 ? A::Click : r < 12 ? A::Cancel : r < 14 ? A::Port : A::LetGo, pool[draw() % 6]});
        }
        SCOPED_TRACE("seed " + std::to_string(seed));
        play(d, gate, steps);
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    if (HasFailure()) std::cout << printed;
    EXPECT_FALSE(gate.stuck);
}
