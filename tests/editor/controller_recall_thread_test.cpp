// A project recall on the host's thread while the synthesizer's global dumps arrive on the MIDI
// input thread and the per-part program values are set and read there.
#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/SysexFamily.h"
#include "controller_editor_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(ProjectStateThreads, ARecallWhileDumpsArriveLeavesEveryRecallWhole)
{
    editortest::Editor e;
    QOR& q = *e.plug;
    q.GetParam(qorid::kDeviceOutSelection)->Set(1);
    ByteChunk saved;
    ASSERT_TRUE(q.SerializeState(&saved));
    std::vector<uint8_t> first(SysexFamily::kGlobalFirstSize), second(SysexFamily::kGlobalSecondSize);
    const GlobalDumps::ValueOf value = [](int id) { return id == qorid::kGlobalMidiChannel ? 15.0 : 0.0; };
    GlobalDumps::writeFirst(value, 0x20, first.data());
    GlobalDumps::writeSecond(value, 0x20, second.data());

    std::atomic<bool> done{false};
    std::atomic<int> fed{0};
    std::thread midiInput([&] {
        for (int i = 0; !done; ++i) {
            q.expectGlobalDump = true;
            std::vector<uint8_t>& dump = i % 2 ? second : first;
            ISysEx msg(0, dump.data(), int(dump.size()));
            q.ProcessSysEx(&msg, true);
            q.setProgramValueByParts(i % 8, 1, 2, i);
            (void)q.getProgramValueByParts(i % 8, 1, 2);
            ++fed;
        }
    });
    for (int i = 0; i < 20; ++i) {
        // Each recall waits for the send the one before it started, so every one is whole.
        for (int w = 0; w < 1000 && !q.midiManager->threadIdle(kJobThread); ++w)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // An output chosen before each: with the saved device absent the recall still goes on.
        q.GetParam(qorid::kDeviceOutSelection)->Set(1);
        EXPECT_EQ(q.UnserializeState(&saved, 0), saved.Size());
        q.setProgramValueByParts(0, 1, 3, i);
    }
    while (fed < 50) std::this_thread::yield();
    done = true;
    midiInput.join();
    EXPECT_EQ(q.getProgramValueByParts(0, 1, 3), 19);
    EXPECT_TRUE(q.startupComplete.load());
}
