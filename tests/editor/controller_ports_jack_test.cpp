// The stored default ports against a synthesizer's ports on the private JACK server: reopened
// only when asked, silent at start-up, reopened by a project recall, which sends the performance
// through them, an instance that closes while the synthesizer keeps sending, and a port whose name
// a project keeps only in part. Choosing or recalling the input while the synthesizer plays into
// it never hangs, whenever its message reaches the plug-in.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/SysexFamily.h"
#include "controller_editor_support.h"
#include "kit/plugin/IParam.h"
#include "plugin/midiports_synth_side.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "tests/support/watchdog.h"

using editortest::Editor;
using testsupport::Watchdog;

namespace
{

// Up to five seconds for the control to show value.
bool waitForValue(const Editor& e, int id, double value)
{
    for (int i = 0; i < 5000 && e.value(id) != value; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return e.value(id) == value;
}

int listIndex(const std::vector<std::string>* names, const std::string& name)
{
    return int(std::find(names->begin(), names->end(), name) - names->begin());
}

// Runs a thread's last wish as that thread ends.
struct ThreadEnd {
    std::function<void()> onEnd;
    ~ThreadEnd()
    {
        if (onEnd) onEnd();
    }
};
thread_local ThreadEnd tThreadEnd;

} // namespace

TEST(ControllerPorts, StoredPortsReopenOnlyWithTheirOutputLineAndSendNothing)
{
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    const std::string out = synth.ReceivingPort(), in = synth.SendingPort();
    const struct {
        std::string file;
        bool reopened;
    } cases[] = {
        {"a\nnormal\nyes\n" + out + "\n" + in + "\n", true},
        {"a\nnormal\nyes\n\n" + in + "\n", false},
    };
    for (const auto& c : cases) {
        Editor e(c.file.c_str());
        QOR& q = *e.plug;
        EXPECT_EQ(q.midiIOSet.load(), c.reopened) << c.file;
        EXPECT_EQ(q.initialRequestPending.load(), c.reopened) << c.file;
        EXPECT_EQ(q.midiInIndex > 0, c.reopened) << c.file;
        EXPECT_EQ(e.value(qorid::kDeviceOutSelection) > 0.0, c.reopened) << c.file;
        if (c.reopened) {
            EXPECT_EQ(q.GetParam(qorid::kDeviceOutSelection)->GetDisplayText(q.midiOutIndex), out);
            EXPECT_EQ(q.GetParam(qorid::kDeviceInSelection)->GetDisplayText(q.midiInIndex), in);
        }
        const std::vector<std::string> log = e.log();
        EXPECT_EQ(std::count(log.begin(), log.end(), "DEFAULT SETTINGS: MIDI Out device stored " + out),
                  c.reopened ? 1 : 0);
        EXPECT_EQ(std::count(log.begin(), log.end(), "DEFAULT SETTINGS: MIDI In device stored " + in),
                  c.reopened ? 1 : 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(synth.Received().empty()) << synth.Received().size() << " messages";
}

TEST(ControllerPorts, ARecallSendsThroughTheReopenedOutputWithItsFlagsUpOrOwesItWhileTheJobThreadIsBusy)
{
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    const std::string file = "a\nnormal\nyes\n" + synth.ReceivingPort() + "\n" + synth.SendingPort() + "\n";
    Editor e(file.c_str());
    QOR& q = *e.plug;
    ASSERT_TRUE(q.midiIOSet.load());
    ByteChunk chunk;
    ASSERT_TRUE(q.SerializeState(&chunk));
    q.midiManager->sender->onPause = [](int& ms) { ms = 0; };
    editortest::JobHold hold(*q.midiManager);
    const std::string busyLine = "PROJECT RECALL: the MIDI job thread is busy, the performance is sent once it is idle";
    for (const bool busy : {false, true}) {
        SCOPED_TRACE(busy ? "the job thread busy" : "the job thread free");
        // Both ports closed, as in an instance that starts without them.
        for (int id : {qorid::kDeviceOutSelection, qorid::kDeviceInSelection}) {
            q.GetParam(id)->Set(0);
            q.OnParamChange(id);
        }
        ASSERT_FALSE(q.midiIOSet.load());
        const size_t jobs = hold.jobs.size();
        if (busy) {
            SenderJobRecord nothing;
            nothing.job = kJobNothing;
            ASSERT_TRUE(q.midiManager->startJob(nothing));
            ASSERT_TRUE(hold.waitForJobs(jobs + 1));
        }
        EXPECT_EQ(q.UnserializeState(&chunk, 0), chunk.Size());
        EXPECT_TRUE(q.midiIOSet.load()) << "the stored output is open again";
        const std::vector<std::string> log = e.log();
        EXPECT_EQ(std::count(log.begin(), log.end(), busyLine), busy ? 1 : 0);
        if (busy) {
            EXPECT_FALSE(q.incomingMidiBlocked.load() || q.deviceTransferActive.load() ||
                         q.midiManager->sendInProgress.load())
                << "no flag is left up by a send that never ran";
            hold.release();
            EXPECT_FALSE(hold.waitForJobs(jobs + 2, 200)) << "nothing was queued behind the busy job";
            EXPECT_TRUE(q.recalledSendOwed.load()) << "owed to the render call's next idle block";
        } else {
            // The device is asked first: a connection undone at once would take the send with
            // it. This one never answers, and takes the send unconfirmed once the enquiry ends.
            synth.Clear();
            ASSERT_TRUE(hold.waitForJobs(jobs + 1));
            EXPECT_EQ(hold.jobs[jobs], int(kJobDeviceIdEnquiry));
            const auto performances = [&synth] {
                const auto got = synth.Received();
                return std::count_if(got.begin(), got.end(),
                                     [](const auto& m) { return m.size() == SysexFamily::kPerformanceDumpSize; });
            };
            // The enquiry's sweep waits for every id first.
            for (int i = 0; i < 3000 && (performances() == 0 || !q.midiManager->threadIdle(kJobThread)); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_EQ(performances(), 1);
            EXPECT_FALSE(q.recalledSendOwed.load() && q.mOwedSentAt < 0) << "sent, or owed to an answer";
        }
    }
}

TEST(ControllerPorts, AnInstanceClosesCleanlyWhileTheSynthesizerStreamsIntoItsInput)
{
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    const std::string file = "a\nnormal\nyes\n" + synth.ReceivingPort() + "\n" + synth.SendingPort() + "\n";
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        std::vector<unsigned char> sysex(300, 0x11);
        sysex.front() = 0xF0;
        sysex.back() = 0xF7;
        for (unsigned char v = 0; !stop; v = (v + 1) & 0x7F) {
            synth.Send({0xB0, 7, v});
            synth.Send(sysex);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    // Twenty instances on a quiet machine; on a loaded one the server's cycle, which every
    // client's opening and closing waits for, can stretch one instance to many seconds, so no
    // new one starts after twenty seconds once three have closed.
    const auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < 20 && (i < 3 || std::chrono::steady_clock::now() - began < std::chrono::seconds(20)); ++i) {
        Editor e(file.c_str(), false);
        // No ASSERT here: leaving with the stream thread unjoined would abort the whole run.
        bool open = e.plug->midiIOSet.load() && e.plug->midiInIndex > 0;
        EXPECT_TRUE(open) << i;
        if (!open) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop = true;
    stream.join();
}

TEST(ControllerPorts, AnOutputWhoseNameIsLongerThanAProjectKeepsReopensOnRecall)
{
    SynthSide synth("-named-at-length");
    ASSERT_TRUE(synth.Ok());
    const std::string out = synth.ReceivingPort();
    ASSERT_GT(out.size(), 32u);
    ASSERT_LT(out.size(), 56u) << "a menu entry holds 55 characters";
    ByteChunk chunk;
    {
        Editor saved(("a\nnormal\nyes\n" + out + "\n\n").c_str());
        ASSERT_TRUE(saved.plug->midiIOSet.load());
        ASSERT_TRUE(saved.plug->SerializeState(&chunk));
    }
    Editor e("a\nnormal\nyes\n\n\n");
    QOR& q = *e.plug;
    ASSERT_FALSE(q.midiIOSet.load());
    EXPECT_GT(q.UnserializeState(&chunk, 0), 0);
    EXPECT_TRUE(q.midiIOSet.load());
    ASSERT_GT(q.midiOutIndex, 0) << "the output was not reopened";
    EXPECT_EQ(q.GetParam(qorid::kDeviceOutSelection)->GetDisplayText(q.midiOutIndex), out) << "the menu shows the whole name";
    q.midiManager->stopAndJoin();
    IMidiMsg cc(0, 0xB0, 7, 100);
    EXPECT_TRUE(q.SendMidiMsg(&cc));
    const std::vector<unsigned char> sent = {0xB0, 7, 100};
    bool arrived = false;
    for (int i = 0; i < 250 && !arrived; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto got = synth.Received();
        arrived = std::find(got.begin(), got.end(), sent) != got.end();
    }
    EXPECT_TRUE(arrived) << "the synthesizer did not get what was sent";
}

TEST(ControllerPorts, ChoosingOrRecallingTheInputWhileADeliveryWaitsForThePlugInNeverHangs)
{
    // The control a controller change on channel 3 moves.
    const int cutoff = qorid::kFilterCutoff + 2;
    const struct {
        const char* what;
        bool recall;
    } rows[] = {{"the input chosen again", false}, {"a project recalled", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Watchdog dog;
        SynthSide synth;
        ASSERT_TRUE(synth.Ok());
        std::atomic<int> deliveries{0};
        std::atomic<bool> letGo{false};
        const auto parkedThreadEnded = std::make_shared<std::atomic<bool>>(false);
        Editor e("a\nnormal\nyes\n\n\n");
        QOR& q = *e.plug;
        // The first delivery waits here, until let go: past the check that its port is open and
        // before it takes the plug-in mutex. Only there does a delivery meet a change that holds
        // that mutex; parked before the check, it would pass with a change that waits for it.
        q.mBeforeInputDelivery = [&, parkedThreadEnded] {
            if (deliveries++ != 0) return;
            tThreadEnd.onEnd = [parkedThreadEnded] { *parkedThreadEnded = true; };
            while (!letGo) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        const int in = listIndex(q.getExternalMIDIInNames(), synth.SendingPort());
        q.GetParam(qorid::kDeviceInSelection)->Set(in);
        q.OnParamChange(qorid::kDeviceInSelection);
        ASSERT_GT(q.midiInIndex, 0);
        ByteChunk project; // the input stored, no output
        ASSERT_TRUE(q.SerializeState(&project));
        dog.step("the input opened");

        synth.Send({0xB2, 74, 90});
        for (int i = 0; i < 5000 && deliveries == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(deliveries.load(), 1) << "the controller change did not come";
        dog.step("a delivery waits");
        // The host's thread holds the plug-in mutex through the whole change, as a host's call does.
        std::atomic<bool> holding{false};
        testing::internal::CaptureStdout();
        std::thread host([&] {
            KIT_MutexLock lock(q.GetMutex());
            holding = true;
            if (row.recall)
                q.UnserializeState(&project, 0);
            else
                q.OnParamChange(qorid::kDeviceInSelection);
        });
        while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        letGo = true;
        host.join();
        testing::internal::GetCapturedStdout();
        dog.step("the change returned");
        EXPECT_GT(q.midiInIndex, 0) << "the input is open again";
        // Closing the port ends its delivery thread. Once the parked delivery's thread has ended
        // it can touch nothing more: only then does the value tell that it never did.
        for (int i = 0; i < 5000 && !*parkedThreadEnded; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(*parkedThreadEnded) << "the closed port's delivery thread still runs";
        EXPECT_NE(e.value(cutoff), 90) << "a delivery touched the plug-in after its port closed";
        synth.Send({0xB2, 74, 91});
        EXPECT_TRUE(waitForValue(e, cutoff, 91)) << "values arrive after the change";
        q.midiManager->stopAndJoin();
    }
}

TEST(ControllerPorts, PortsChosenAgainAndProjectsRecalledWhileTheSynthesizerStreamsNeverHang)
{
#if defined(__SANITIZE_ADDRESS__)
    const int inputs = 50, outputs = 10, recalls = 10;
#else
    const int inputs = 300, outputs = 50, recalls = 30;
#endif
    const int cutoff = qorid::kFilterCutoff + 2;
    // A port chosen again closes and opens a client, each step of which waits for the server,
    // and a loaded machine can hold one of them up for many seconds: a minute is a hang.
    Watchdog dog(60);
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    ByteChunk project; // the input stored, and the output of a synthesizer that is gone
    {
        SynthSide gone;
        ASSERT_TRUE(gone.Ok());
        Editor saved(("a\nnormal\nyes\n" + gone.ReceivingPort() + "\n" + synth.SendingPort() + "\n").c_str());
        ASSERT_TRUE(saved.plug->SerializeState(&project));
    }
    Editor e(("a\nnormal\nyes\n" + synth.ReceivingPort() + "\n" + synth.SendingPort() + "\n").c_str());
    QOR& q = *e.plug;
    ASSERT_GT(q.midiInIndex, 0);
    q.midiManager->sender->onPause = [](int& ms) { ms = 0; };
    // A knob turned quickly on the synthesizer, and now and then a dump.
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        std::vector<unsigned char> dump(296, 0x01);
        dump.front() = 0xF0;
        dump.back() = 0xF7;
        for (int n = 0; !stop; ++n) {
            synth.Send({0xB2, 74, (unsigned char)(n & 0x7F)});
            if (n % 100 == 99) synth.Send(dump);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    // No ASSERT until the stream is joined: leaving with it running would abort the run.
    const auto arrives = [&] {
        const double before = e.value(cutoff);
        for (int i = 0; i < 3000 && e.value(cutoff) == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return e.value(cutoff) != before;
    };
    const auto choose = [&](int id, int index) {
        q.GetParam(id)->Set(index);
        q.OnParamChange(id);
    };
    const struct {
        const char* what;
        int times;
        std::function<void()> change;
    } changes[] = {
        {"the input chosen again", inputs, [&] { choose(qorid::kDeviceInSelection, q.midiInIndex); }},
        {"the output chosen again", outputs, [&] { choose(qorid::kDeviceOutSelection, q.midiOutIndex); }},
        {"a project recalled", recalls, [&] { q.UnserializeState(&project, 0); }},
    };
    testing::internal::CaptureStdout();
    bool flowing = true;
    for (const auto& c : changes)
        for (int i = 0; i < c.times && flowing; ++i) {
            c.change();
            dog.step(c.what);
            flowing = q.midiInIndex > 0 && arrives();
            EXPECT_TRUE(flowing) << c.what << ", time " << i + 1;
        }
    choose(qorid::kDeviceInSelection, 0);
    const double closed = e.value(cutoff);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(e.value(cutoff), closed) << "a value was delivered after the input closed";
    stop = true;
    stream.join();
    testing::internal::GetCapturedStdout();
    q.midiManager->stopAndJoin();
}
