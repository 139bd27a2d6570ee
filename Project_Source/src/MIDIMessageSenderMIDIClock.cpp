// MIDI clock output: Start and Stop on the host transport's edges, and the timing clock, 24 ticks
// per quarter note, at the host tempo or at the tempo chosen in the editor. The loop's state is
// this instance's own, so switching the clock off in one editor leaves the others running.
#include <pthread.h>
#include <sched.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "MIDIMessageSender.h"
#include "QOR.h"
#include "QORParams.h"
#include "UIConfigManager.h"
#include "clock_gettime_stub.h"
#include "kit/plugin/IParam.h"

namespace
{

constexpr uint8_t kStart = 0xFA;
constexpr uint8_t kStop = 0xFC;
constexpr uint8_t kTimingClock = 0xF8;
constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kNanosPerMs = 1000000;
constexpr int kTicksPerBeat = 24;
// The last stretch before a due time is spun, not slept: a short sleep may overshoot by this much.
constexpr int64_t kSpinNs = 300000;

double paramValue(QOR* q, int id)
{
    const IParam* p = q->GetParam(id);
    return p ? p->Value() : 0.0;
}

// Real-time scheduling for the thread of the timing loop while it runs, where the system grants
// it: an ordinary thread on a busy machine wakes late, and a stall costs ticks. The lowest
// real-time priority is above every ordinary thread and below an audio server's own. Refused, the
// loop runs as an ordinary thread, without a word; the thread's own scheduling comes back after.
class RealTimeWhileRunning
{
public:
    RealTimeWhileRunning() : mThread(pthread_self())
    {
        if (pthread_getschedparam(mThread, &mPolicy, &mParam) != 0) return;
        sched_param rt{};
        rt.sched_priority = sched_get_priority_min(SCHED_FIFO);
        mRaised = rt.sched_priority >= 0 && pthread_setschedparam(mThread, SCHED_FIFO, &rt) == 0;
    }
    ~RealTimeWhileRunning()
    {
        if (mRaised) pthread_setschedparam(mThread, mPolicy, &mParam);
    }
    RealTimeWhileRunning(const RealTimeWhileRunning&) = delete;
    RealTimeWhileRunning& operator=(const RealTimeWhileRunning&) = delete;

private:
    pthread_t mThread;
    int mPolicy = SCHED_OTHER;
    sched_param mParam{};
    bool mRaised = false;
};

} // namespace

void MIDIMessageSender::startMIDIClockOutput()
{
    if (controller->sendClockPointer) sendStored({kStart});
}

void MIDIMessageSender::stopMIDIClockOutput()
{
    if (controller->sendClockPointer) sendStored({kStop});
}

void MIDIMessageSender::resetContinuousClock(bool stop)
{
    mClockRunning = !stop;
}

int64_t MIDIMessageSender::readSystemClock(int64_t previous) const
{
    if (clockForTests) return clockForTests();
    timespec ts{};
    if (qor_clock_gettime(1, &ts) != 0) {
        errno = EINVAL;
        return previous;
    }
    return int64_t(ts.tv_sec) * kNanosPerSecond + int64_t(ts.tv_nsec);
}

int MIDIMessageSender::clockTempo() const
{
    if (paramValue(controller, qorid::kOverrideTempo) == 1.0) {
        const double host = controller->GetTempo();
        if (!(host >= 1.0)) {
            controller->log("MIDI CLOCK: host tempo below 1 BPM, clock not started");
            return 0;
        }
        return host >= double(INT_MAX) ? INT_MAX : int(host);
    }
    const std::vector<std::string>* list = nullptr;
    if (controller->uiConfigManager) {
        const auto& lists = controller->uiConfigManager->valueLists;
        const auto it = lists.find("tempoValues");
        if (it != lists.end()) list = &it->second;
    }
    if (!list) {
        controller->log("MIDI CLOCK: no tempo list, clock not started");
        return 0;
    }
    const double index = std::trunc(paramValue(controller, qorid::kGlobalTempo));
    if (!(index >= 0.0 && index < double(list->size()))) {
        controller->log("MIDI CLOCK: tempo index outside the tempo list, clock not started");
        return 0;
    }
    const std::string& entry = (*list)[size_t(index)];
    // As atoi reads it, but a number too long for an int stays in range.
    const long t = std::strtol(entry.c_str(), nullptr, 10);
    if (t < 1) {
        controller->log("MIDI CLOCK: tempo \"" + entry + "\" below 1 BPM, clock not started");
        return 0;
    }
    return t > INT_MAX ? INT_MAX : int(t);
}

// The tempo is read once: a change takes effect when the clock is next switched on. Each tick is
// due one interval after the tick before was due, not after it went out: a sleep that wakes late
// or a send preempted on a busy machine then delays that tick alone instead of slowing the clock.
// After a stall of more than two intervals the tick goes out at once and the ticks after it are
// counted from it, so no burst of missed ticks follows. The loop sleeps until about a millisecond
// before the due time, then in short sleeps to kSpinNs before it, and spins the rest; it checks
// the running flag on every pass, so switching the clock off ends it within one interval.
void MIDIMessageSender::sendContinuousMIDIClock()
{
    if (!controller->sendClockInfo) return;
    const int tempo = clockTempo();
    if (tempo < 1) {
        mClockInterval = 0;
        return;
    }
    const int64_t interval = 60 * kNanosPerSecond / (int64_t(tempo) * kTicksPerBeat);
    mClockInterval = interval;
    const std::vector<uint8_t> tick{kTimingClock};
    const RealTimeWhileRunning realTime;
    // A tick the port refuses is lost, not the clock: nothing would start the loop again.
    sendStored(tick);
    int64_t now = readSystemClock(0);
    int64_t due = now + interval;
    while (mClockRunning && !stopping()) {
        now = readSystemClock(now);
        const int64_t remaining = due - now;
        if (remaining >= 2 * kNanosPerMs) {
            if (!pause(int(remaining / kNanosPerMs) - 1)) return;
            continue;
        }
        if (remaining > kSpinNs) {
            if (!pause(0)) return;
            continue;
        }
        if (remaining > 0) continue;
        if (!controller->midiIOSet) {
            mClockRunning = false;
            return;
        }
        sendStored(tick);
        if (-remaining > 2 * interval) due = readSystemClock(now);
        due += interval;
    }
}
