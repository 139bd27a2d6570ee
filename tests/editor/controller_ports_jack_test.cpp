// The stored default ports against a synthesizer's ports on the private JACK server: reopened
// only when asked, silent at start-up, reopened by a project recall, which sends the performance
// through them, an instance that closes while the synthesizer keeps sending, and a port whose name
// a project keeps only in part.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "kit/plugin/IParam.h"
#include "plugin/midiports_synth_side.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using editortest::Editor;

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

TEST(ControllerPorts, ARecallSendsThroughTheReopenedOutputWithItsFlagsUpUnlessTheJobThreadIsBusy)
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
    const std::string busyLine = "PROJECT RECALL: the MIDI job thread is busy, the performance is not sent";
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
        } else {
            ASSERT_TRUE(hold.waitForJobs(jobs + 1));
            EXPECT_EQ(hold.jobs[jobs], int(kJobSendArrangement));
            EXPECT_TRUE(hold.flagsAtStart[jobs]) << "the transfer flags are up when the send starts";
            for (int i = 0; i < 5000 && !q.midiManager->threadIdle(kJobThread); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
    for (int i = 0; i < 20; ++i) {
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
