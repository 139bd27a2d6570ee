// Edits on the main thread, values from the synthesizer on the MIDI input thread and senders on
// four more threads all reach the in-process synthesizer whole.
#include "Project_Source/src/ControlAction.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "controller_edits_support.h"

#include <thread>

using namespace qorid;

TEST(ControllerEditThreads, EditsEchoFreeChangesAndFourSendersMeetSafely)
{
    editstest::Wired w;
    QOR& q = *w.plug;
    q.trackIncomingMidi = false;
    constexpr int kRounds = 40;
    testing::internal::CaptureStdout();
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        // The path values from the synthesizer take: under the mutex, flagged, never echoed.
        for (int i = 0; i < kRounds; ++i) {
            KIT_MutexLock lock(q.GetMutex());
            w.set(kFilterResonance, i);
            q.OnParamChange2(kFilterResonance);
        }
    });
    for (int s = 0; s < 4; ++s) {
        threads.emplace_back([&q, s] {
            std::vector<unsigned char> sysex = {0xF0, 0x3E, 0x0F, 0x09, 0x20, uint8_t(s), 0x00, 0x01, 0xF7};
            for (int i = 0; i < kRounds; ++i) {
                IMidiMsg cc(0, uint8_t(0xB0 | s), 74, uint8_t(i));
                if (i % 2) q.MIDIOutRoutingSwitch(&cc);
                else q.checksumCheckAndSend(sysex.data(), int(sysex.size()));
            }
        });
    }
    for (int i = 0; i < kRounds; ++i) {
        KIT_MutexLock lock(q.GetMutex());
        w.set(kFilterCutoff + 7, i);
        q.OnParamChange(kFilterCutoff + 7);
    }
    for (auto& t : threads) t.join();
    testing::internal::GetCapturedStdout();

    size_t cutoff = 0, senders = 0, echoes = 0;
    for (const auto& line : w.arrived()) {
        cutoff += line.rfind("B7 4A ", 0) == 0;
        senders += line.find("param kFilterCutoff part ") != std::string::npos ||
                   line.find("param kOscillator1BendRange") != std::string::npos;
        echoes += line.find("kFilterResonance") != std::string::npos;
    }
    EXPECT_EQ(cutoff, size_t(kRounds));
    EXPECT_EQ(senders, size_t(kRounds) + 4 * kRounds);
    EXPECT_EQ(echoes, 0u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(q.midiLedOn[size_t(k)].load(), 1) << k;
    EXPECT_EQ(q.GetParam(kFilterResonance)->GetControlAction()->lastValue, double(kRounds - 1));
}
