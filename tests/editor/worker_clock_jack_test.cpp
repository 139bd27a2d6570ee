// The MIDI clock against the synthesizer simulator on the private JACK server: the ticks reach
// its counters, Start and Stop go out once each only with the clock pointer setting, a Start
// beside the running clock stays its own message, and choosing no output ends the loop.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"
#include "sim_jack_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

using namespace qorid;

namespace
{

void edit(QOR& q, int id, double value)
{
    q.GetParam(id)->Set(value);
    testing::internal::CaptureStdout();
    q.OnParamChange(id);
    testing::internal::GetCapturedStdout();
}

void startJob(QOR& q, int job)
{
    SenderJobRecord r;
    r.job = job;
    ASSERT_TRUE(q.midiManager->startJob(r));
}

void waitIdle(QOR& q, int thread)
{
    for (int i = 0; i < 5000 && !q.midiManager->threadIdle(thread); ++i) usleep(1000);
    ASSERT_TRUE(q.midiManager->threadIdle(thread));
}

using simjack::stat;

long waitStat(synthsim::SimProcess& sim, const std::string& name, long atLeast)
{
    long v = -1;
    for (int i = 0; i < 250 && (v = stat(sim, name)) < atLeast; ++i) usleep(20000);
    return v;
}

} // namespace

TEST(WorkerClockJack, TicksStartAndStopReachTheSynthesizerAndNoOutputEndsTheLoop)
{
    // The simulator first: the editor lists the ports that stand when it opens.
    testsupport::TempDir simDir;
    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(
        SYNTH_SIM_EXE, {"--name", "clock" + std::to_string(::getpid()), "--record", simDir.file("record.txt")}, error))
        << error;
    editortest::Editor e("a\nnormal\nyes\n\n\n");
    QOR& q = *e.plug;
    const auto* outs = q.getExternalMIDIOutNames();
    const auto at = std::find(outs->begin(), outs->end(), sim.inputPort());
    ASSERT_NE(at, outs->end());
    edit(q, kDeviceOutSelection, double(at - outs->begin()));
    ASSERT_TRUE(q.midiIOSet);
    // Choosing the output starts the device-id enquiry, which no input here can answer: cancel
    // it, again until it has ended, since its start clears the flag.
    for (int i = 0; i < 5000 && !q.midiManager->threadIdle(kJobThread); ++i) {
        q.midiManager->sender->cancelRequested = true;
        usleep(1000);
    }
    waitIdle(q, kJobThread);

    edit(q, kOverrideTempo, 1);
    edit(q, kSendMIDIClockInfo, 1);
    startJob(q, kJobContinuousClock);
    EXPECT_GE(waitStat(sim, "clock", 5), 5);

    // Pointer off: nothing; on: one Start and one Stop, while the ticks go on.
    edit(q, kSendMIDIClockPointer, 0);
    for (int job : {kJobStartClock, kJobStopClock}) startJob(q, job), waitIdle(q, kClockTransportThread);
    edit(q, kSendMIDIClockPointer, 1);
    startJob(q, kJobStartClock);
    waitIdle(q, kClockTransportThread);
    const long beforeStop = waitStat(sim, "since-start", 3);
    EXPECT_GE(beforeStop, 3);
    startJob(q, kJobStopClock);
    waitIdle(q, kClockTransportThread);
    EXPECT_EQ(waitStat(sim, "stop", 1), 1);
    EXPECT_EQ(stat(sim, "start"), 1);

    // No output: the loop ends at its next tick.
    edit(q, kDeviceOutSelection, 0);
    waitIdle(q, kClockThread);
    EXPECT_FALSE(q.midiManager->sender->clockRunning());
    const long ticks = stat(sim, "clock");
    usleep(100000);
    EXPECT_EQ(stat(sim, "clock"), ticks);

    q.midiManager->stopAndJoin();
    sim.stop();
    // Each clock byte came in as a message of its own, and each F8 was counted.
    long f8 = 0;
    for (const auto& line : synthsim::readRecordFile(simDir.file("record.txt"))) {
        if (line.direction != "in") continue;
        const bool clockByte = std::any_of(line.bytes.begin(), line.bytes.end(),
                                           [](uint8_t b) { return b == 0xF8 || b == 0xFA || b == 0xFC; });
        if (clockByte) {
            EXPECT_EQ(line.bytes.size(), 1u) << synthsim::toHex(line.bytes);
        }
        if (clockByte && line.bytes[0] == 0xF8) ++f8;
    }
    EXPECT_EQ(f8, ticks);
}
