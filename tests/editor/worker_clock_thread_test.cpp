// MIDI clock output: Start and Stop, the timing clock's tempo source and interval, switching it
// off, instances apart, closing, and the tempo guard. The jobs run on their own threads against
// the system clock; the host tempo comes through the Audio Unit's beat callback.
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/UIConfigManager.h"
#include "Project_Source/src/clock_gettime_stub.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

using testsupport::Bytes;
using namespace qorid;

namespace
{

int64_t monotonicNs()
{
    timespec ts{};
    qor_clock_gettime(1, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// What went out, with the time it was handed to the port; shared so that it outlives the editor.
struct Wire {
    std::mutex lock;
    std::vector<std::pair<uint8_t, int64_t>> sent;
    std::vector<int64_t> ticks() // times of the F8
    {
        std::lock_guard<std::mutex> l(lock);
        std::vector<int64_t> out;
        for (const auto& s : sent)
            if (s.first == 0xF8) out.push_back(s.second);
        return out;
    }
    std::vector<uint8_t> bytes()
    {
        std::lock_guard<std::mutex> l(lock);
        std::vector<uint8_t> out;
        for (const auto& s : sent) out.push_back(s.first);
        return out;
    }
};

class ClockQOR : public testsupport::RecordingQOR
{
public:
    explicit ClockQOR(std::shared_ptr<Wire> wire) : wire(std::move(wire))
    {
        hostCallbacks.hostUserData = this;
        hostCallbacks.beatAndTempoProc = &beatAndTempo;
        sendClockInfo = true;
        GetParam(kOverrideTempo)->Set(1.0);
    }
    // The clock thread calls SendMidiSysex2 below until it is joined: join it, as closing the
    // editor does, before this class's part is taken apart.
    ~ClockQOR() override
    {
        if (midiManager) midiManager->stopAndJoin();
    }
    bool SendMidiSysex2(std::vector<unsigned char> bytes) override
    {
        const int64_t at = sentAt();
        {
            std::lock_guard<std::mutex> l(wire->lock);
            for (unsigned char b : bytes) wire->sent.emplace_back(b, at);
        }
        if (bytes.size() != 1) ADD_FAILURE() << "a clock message is one byte";
        return RecordingQOR::SendMidiSysex2(bytes);
    }
    static OSStatus beatAndTempo(void* self, Float64* beat, Float64* tempo)
    {
        if (beat) *beat = 0.0;
        if (tempo) *tempo = static_cast<ClockQOR*>(self)->hostTempo.load();
        return 0;
    }
    std::shared_ptr<Wire> wire;
    std::atomic<double> hostTempo{120.0};
    std::function<int64_t()> sentAt = monotonicNs; // set while no job runs
};

constexpr int64_t k120 = 20833333, k60 = 41666666;

struct Clock : testing::Test {
    testsupport::TempDir dir;
    std::shared_ptr<Wire> wire = std::make_shared<Wire>();
    std::unique_ptr<ClockQOR> plug = make(wire);

    std::unique_ptr<ClockQOR> make(std::shared_ptr<Wire> w)
    {
        testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
        testing::internal::CaptureStdout();
        auto p = std::make_unique<ClockQOR>(std::move(w));
        testing::internal::GetCapturedStdout();
        unsetenv("QOR_BUNDLE_PATH");
        return p;
    }
    static MIDIMessageSender& sender(ClockQOR& q) { return *q.midiManager->sender; }
    // As the audio block starts it: the loop may run, then job 21 on its thread.
    static void startClock(ClockQOR& q)
    {
        sender(q).resetContinuousClock(false);
        startJob(q, kJobContinuousClock);
    }
    static void startJob(ClockQOR& q, int job)
    {
        SenderJobRecord r;
        r.job = job;
        ASSERT_TRUE(q.midiManager->startJob(r));
    }
    static void waitIdle(ClockQOR& q, int thread)
    {
        for (int i = 0; i < 5000 && !q.midiManager->threadIdle(thread); ++i) usleep(1000);
        ASSERT_TRUE(q.midiManager->threadIdle(thread));
    }
    static void stopClock(ClockQOR& q)
    {
        sender(q).resetContinuousClock(true);
        waitIdle(q, kClockThread);
    }
    // Waits until the wire holds n ticks (in all), at most 5 s.
    static std::vector<int64_t> waitTicks(Wire& w, size_t n)
    {
        std::vector<int64_t> t;
        for (int i = 0; i < 5000 && (t = w.ticks()).size() < n; ++i) usleep(1000);
        EXPECT_GE(t.size(), n);
        return t;
    }
    void edit(int id, double value)
    {
        plug->GetParam(id)->Set(value);
        testing::internal::CaptureStdout();
        plug->OnParamChange(id);
        testing::internal::GetCapturedStdout();
    }
    std::vector<std::string>& tempoValues() { return plug->uiConfigManager->valueLists["tempoValues"]; }
    size_t logLines()
    {
        std::ifstream in(dir.file("QOR Editor LOG.txt"));
        size_t n = 0;
        for (std::string line; std::getline(in, line);) ++n;
        return n;
    }
};

// No tick after a job's first tick `first` leaves before its due time: tick i is at least i - first
// intervals after it.
void expectNoTickEarly(const std::vector<int64_t>& t, size_t first, int64_t interval, const char* name)
{
    for (size_t i = first + 1; i < t.size(); ++i)
        EXPECT_GE(t[i] - t[first], int64_t(i - first) * interval) << name << " tick " << i;
}

} // namespace

TEST_F(Clock, TheIntervalFollowsTheHostTempoTruncatedOrTheChosenListEntry)
{
    ASSERT_NE(plug->uiConfigManager, nullptr);
    const auto& list = tempoValues();
    const auto at140 = std::find(list.begin(), list.end(), "140");
    ASSERT_NE(at140, list.end());
    const struct {
        const char* name;
        double overrideTempo, host, index;
        int64_t interval;
    } cases[] = {{"host 120", 1, 120, 0, k120},
                 {"host 60", 1, 60, 0, k60},
                 {"host 127.9 is 127", 1, 127.9, 0, 19685039},
                 {"list entry 140", 0, 120, double(at140 - list.begin()) + 0.7, 17857142}};
    for (const auto& c : cases) {
        plug->GetParam(kOverrideTempo)->Set(c.overrideTempo);
        plug->GetParam(kGlobalTempo)->Set(c.index);
        plug->hostTempo = c.host;
        std::vector<int> pauses;
        sender(*plug).onPause = [&](int ms) { pauses.push_back(ms); };
        const size_t before = wire->ticks().size();
        startClock(*plug);
        const auto t = waitTicks(*wire, before + 3);
        stopClock(*plug);
        sender(*plug).onPause = nullptr;
        EXPECT_EQ(sender(*plug).clockInterval(), c.interval) << c.name;
        expectNoTickEarly(t, before, c.interval, c.name);
        // The loop sleeps between ticks, and never through a due time.
        EXPECT_FALSE(pauses.empty()) << c.name;
        for (int ms : pauses) EXPECT_LT(int64_t(ms) * 1000000, c.interval) << c.name;
    }
}

// On a clock of its own that each read moves on by 20 us, the loop is made to wake late once,
// after tick 5. Every tick is due one interval after the one before was due: one that wakes late
// by less than two intervals goes out at once with the tick due meanwhile, and the later ticks
// keep their times; after a longer stall one tick goes out at once and the later ones are counted
// from it.
TEST_F(Clock, TicksKeepTheirDueTimesAndALongStallRestartsThemWithoutABurst)
{
    constexpr size_t kLate = 5, kTicks = 16;
    constexpr int64_t kRead = 20000, kSlack = 100000;
    const struct {
        const char* name;
        double stall;  // intervals the pause after tick kLate oversleeps
        size_t atWake; // ticks that go out when it ends
        size_t anchor; // the tick the ticks after those are counted from
    } cases[] = {{"on time", 0, 0, 0}, {"late by 1.5 intervals", 1.5, 2, 0}, {"stalled 3 intervals", 3, 1, kLate + 1}};
    for (const auto& c : cases) {
        wire->sent.clear();
        std::atomic<int64_t> now{1000000000};
        int64_t woke = 0;
        sender(*plug).clockForTests = [&] { return now += kRead; };
        plug->sentAt = [&] { return now.load(); };
        sender(*plug).onPause = [&](int& ms) {
            now += ms > 0 ? ms * int64_t(1000000) : 100000;
            ms = 0;
            const size_t sent = wire->ticks().size();
            if (sent == kLate + 1 && !woke) woke = now += int64_t(c.stall * double(k120));
            if (sent >= kTicks) sender(*plug).resetContinuousClock(true);
        };
        startClock(*plug);
        waitIdle(*plug, kClockThread);
        sender(*plug).clockForTests = nullptr;
        sender(*plug).onPause = nullptr;
        plug->sentAt = monotonicNs;
        const auto t = wire->ticks();
        ASSERT_GE(t.size(), kTicks) << c.name;
        auto onTime = [&](size_t i, size_t from) {
            const int64_t late = t[i] - t[from] - int64_t(i - from) * k120;
            EXPECT_TRUE(late >= 0 && late < kSlack) << c.name << " tick " << i << " late by " << late << " ns";
        };
        for (size_t i = 0; i <= kLate; ++i) onTime(i, 0);
        for (size_t i = kLate + 1; i <= kLate + c.atWake; ++i)
            EXPECT_LT(t[i] - woke, kSlack) << c.name << " tick " << i << " goes out at the wake";
        for (size_t i = kLate + 1 + c.atWake; i < kTicks; ++i) onTime(i, c.anchor);
    }
}

TEST_F(Clock, ATempoChangeWaitsUntilTheClockIsSwitchedOffAndOn)
{
    startClock(*plug);
    waitTicks(*wire, 2);
    plug->hostTempo = 90.0;
    const size_t from = wire->ticks().size();
    const auto t = waitTicks(*wire, from + 3);
    expectNoTickEarly(t, 0, k120, "after the change");
    EXPECT_EQ(sender(*plug).clockInterval(), k120);

    // Off ends the loop; on lets the next block start it.
    plug->continuousClockStarted = true;
    edit(kSendMIDIClockInfo, 0);
    waitIdle(*plug, kClockThread);
    EXPECT_FALSE(plug->sendClockInfo);
    EXPECT_FALSE(plug->continuousClockStarted);
    EXPECT_FALSE(sender(*plug).clockRunning());
    plug->continuousClockStarted = true;
    edit(kSendMIDIClockInfo, 1);
    EXPECT_TRUE(plug->sendClockInfo);
    EXPECT_FALSE(plug->continuousClockStarted);
    EXPECT_TRUE(sender(*plug).clockRunning());

    startJob(*plug, kJobContinuousClock);
    const size_t again = wire->ticks().size();
    waitTicks(*wire, again + 2);
    stopClock(*plug);
    EXPECT_EQ(sender(*plug).clockInterval(), 27777777);
}

TEST_F(Clock, SwitchedOffNoTickFollowsAndANewJobRunsItAgain)
{
    startClock(*plug);
    waitTicks(*wire, 2);
    stopClock(*plug);
    const size_t stopped = wire->ticks().size();
    usleep(3 * k120 / 1000);
    EXPECT_EQ(wire->ticks().size(), stopped);

    startClock(*plug);
    waitTicks(*wire, stopped + 2);
    stopClock(*plug);

    // Without the clock setting, job 21 sends nothing.
    plug->sendClockInfo = false;
    const size_t off = wire->ticks().size();
    startClock(*plug);
    waitIdle(*plug, kClockThread);
    EXPECT_EQ(wire->ticks().size(), off);
}

TEST_F(Clock, ClosingTheOutputEndsTheLoopAtTheDueTickWithoutSendingIt)
{
    std::atomic<size_t> atClose{0};
    std::atomic<bool> closed{false};
    sender(*plug).onPause = [&](int) {
        if (closed || wire->ticks().size() < 3) return;
        atClose = wire->ticks().size();
        plug->midiIOSet = false;
        closed = true;
    };
    startClock(*plug);
    waitIdle(*plug, kClockThread);
    sender(*plug).onPause = nullptr;
    ASSERT_TRUE(closed);
    EXPECT_EQ(wire->ticks().size(), atClose.load());
    EXPECT_FALSE(sender(*plug).clockRunning());
}

TEST_F(Clock, ARefusedTickIsSkippedAndTheClockGoesOn)
{
    for (int refused : {1, 3}) {
        SCOPED_TRACE(refused);
        std::atomic<int> offered{0};
        plug->refuseSend = [&](const Bytes&) { return ++offered == refused; };
        const size_t before = wire->ticks().size();
        startClock(*plug);
        waitTicks(*wire, before + 6);
        EXPECT_FALSE(plug->midiManager->threadIdle(kClockThread));
        stopClock(*plug);
        plug->refuseSend = nullptr;
    }
}

TEST_F(Clock, TwoInstancesKeepTheirOwnIntervalAndRunningFlag)
{
    auto otherWire = std::make_shared<Wire>();
    auto other = make(otherWire);
    other->hostTempo = 60.0;
    startClock(*plug);
    startClock(*other);
    waitTicks(*wire, 2);
    waitTicks(*otherWire, 2);
    EXPECT_EQ(sender(*plug).clockInterval(), k120);
    EXPECT_EQ(sender(*other).clockInterval(), k60);

    stopClock(*plug);
    EXPECT_TRUE(sender(*other).clockRunning());
    EXPECT_FALSE(other->midiManager->threadIdle(kClockThread));
    const size_t n = otherWire->ticks().size();
    waitTicks(*otherWire, n + 1);
    stopClock(*other);
}

TEST_F(Clock, ClosingTheEditorJoinsTheClockThreadAndNoTickFollows)
{
    startClock(*plug);
    waitTicks(*wire, 2);
    plug.reset();
    const size_t closed = wire->ticks().size();
    usleep(3 * k120 / 1000);
    EXPECT_EQ(wire->ticks().size(), closed);
}

TEST_F(Clock, WithoutAUsableTempoNothingIsSentAndOneLineIsLogged)
{
    ASSERT_NE(plug->uiConfigManager, nullptr);
    const std::vector<std::string> kept = tempoValues();
    ASSERT_GT(kept.size(), 2u);
    const struct {
        const char* name;
        double overrideTempo, host, index;
        const char* entry; // written at index 1, when not null
        bool dropList;
    } cases[] = {
        {"entry 0", 0, 120, 1, "0", false},
        {"empty entry", 0, 120, 1, "", false},
        {"entry not a number", 0, 120, 1, "fast", false},
        {"index past the list", 0, 120, double(kept.size()), nullptr, false},
        {"negative index", 0, 120, -1, nullptr, false},
        {"no list", 0, 120, 1, nullptr, true},
        {"host below 1", 1, 0.5, 0, nullptr, false},
    };
    for (const auto& c : cases) {
        tempoValues() = kept;
        if (c.entry) tempoValues()[1] = c.entry;
        if (c.dropList) plug->uiConfigManager->valueLists.erase("tempoValues");
        plug->GetParam(kOverrideTempo)->Set(c.overrideTempo);
        plug->GetParam(kGlobalTempo)->Set(c.index);
        plug->hostTempo = c.host;
        const size_t lines = logLines();
        startClock(*plug);
        waitIdle(*plug, kClockThread);
        EXPECT_TRUE(wire->bytes().empty()) << c.name;
        EXPECT_EQ(logLines(), lines + 1) << c.name;
        EXPECT_EQ(sender(*plug).clockInterval(), 0) << c.name;
    }
}

TEST_F(Clock, StartAndStopGoOutOnlyWithTheClockPointerSetting)
{
    const struct {
        int job;
        bool pointer;
        std::vector<uint8_t> sent;
    } cases[] = {{kJobStartClock, true, {0xFA}},
                 {kJobStopClock, true, {0xFC}},
                 {kJobStartClock, false, {}},
                 {kJobStopClock, false, {}}};
    for (const auto& c : cases) {
        wire->sent.clear();
        plug->sendClockPointer = c.pointer;
        startJob(*plug, c.job);
        waitIdle(*plug, kClockTransportThread);
        EXPECT_EQ(wire->bytes(), c.sent) << c.job << " " << c.pointer;
    }
}
