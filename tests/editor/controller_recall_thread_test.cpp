// A project recall on the host's thread while the synthesizer's global dumps arrive on the MIDI
// input thread and the per-part program values are set and read there.
#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/SysexFamily.h"
#include "controller_editor_support.h"
#include "insynth_bench.h"

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

// A project recalled while its output device is away: when the device is back, the enquiry
// takes only its id, and the performance goes out at that id with the recalled globals and an
// edit made meanwhile; a user's choice of output meanwhile ends that, and the returned device
// is asked as the choice would ask it.
TEST(ProjectStateThreads, ARecallWhileTheOutputIsAwayReachesTheDeviceWhenItReturnsUnlessTheUserChose)
{
    using namespace qorid;
    const struct {
        const char* name;
        bool userChoosesNoOutput;
    } rows[] = {{"the device returns", false}, {"the user chose no output meanwhile", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        synthsim::Options options;
        options.deviceId = 3; // the recalled id is 11: only an adopted id reaches it
        insynthtest::Bench b(options);
        testsupport::InSynthQOR& q = *b.plug;
        const double tune = 70, volume = 20, edited = 99;
        q.GetParam(kGlobalMidiChannel)->Set(11);
        q.GetParam(kGlobalMasterTune)->Set(tune);
        q.GetParam(kGlobalMasterVolume)->Set(volume);
        q.GetParam(kDeviceOutSelection)->SetDisplayText(0, "Gone Synth");
        ByteChunk project;
        ASSERT_TRUE(q.SerializeState(&project));
        q.GetParam(kGlobalMasterTune)->Set(0);
        ASSERT_EQ(q.UnserializeState(&project, 0), project.Size());
        ASSERT_TRUE(q.outputAway()) << "the stored output is away";
        EXPECT_EQ(b.value(kGlobalMasterTune), tune);
        q.GetParam(kGlobalMasterVolume)->Set(edited); // an edit made while it is away
        if (row.userChoosesNoOutput) {
            q.GetParam(kDeviceOutSelection)->Set(0);
            q.OnParamChange(kDeviceOutSelection);
        }

        // The device is back: the follower has opened both ports again.
        const size_t before = q.copy(q.handed).size();
        {
            KIT_MutexLock lock(q.GetMutex());
            q.midiOutIndex = q.midiInIndex = 1;
            q.midiIOSet = true;
            EXPECT_TRUE(static_cast<IPluginBase&>(q).OnExternalMIDIReturned());
        }
        for (int i = 0; i < 5000 && !q.midiManager->threadIdle(kJobThread); ++i) usleep(1000);
        ASSERT_EQ(b.enquiries(), (std::vector<int>{11, 0, 1, 2, 3})) << "asked at the recalled id, then swept";

        // What the device answered: its own tune and volume.
        std::vector<double> theirs, sent;
        for (const auto& m : q.copy(q.received))
            GlobalDumps::readFirst(m.data(), m.size(), [&](int id, double v) {
                if (id == kGlobalMasterTune || id == kGlobalMasterVolume) theirs.push_back(v);
            });
        ASSERT_EQ(theirs.size(), 2u);
        ASSERT_NE(theirs, (std::vector<double>{tune, edited}));
        EXPECT_EQ(q.deviceId.load(), 3);
        EXPECT_EQ(b.value(kGlobalMidiChannel), 3);
        EXPECT_EQ((std::vector<double>{b.value(kGlobalMasterTune), b.value(kGlobalMasterVolume)}),
                  row.userChoosesNoOutput ? theirs : (std::vector<double>{tune, edited}));

        std::vector<size_t> sizes;
        const std::vector<testsupport::Bytes> handed = q.copy(q.handed);
        for (size_t i = before; i < handed.size(); ++i) {
            const testsupport::Bytes& m = handed[i];
            if (m.size() < 25) continue; // the enquiries
            sizes.push_back(m.size());
            EXPECT_EQ(m[6], 3) << "message " << i << " of " << m.size() << " bytes goes to the adopted id";
            GlobalDumps::readFirst(m.data(), m.size(), [&](int id, double v) {
                if (id == kGlobalMasterTune || id == kGlobalMasterVolume) sent.push_back(v);
            });
        }
        std::vector<size_t> whole{SysexFamily::kGlobalFirstSize, SysexFamily::kGlobalSecondSize};
        whole.insert(whole.end(), 8, SysexFamily::kProgramDumpSize);
        whole.push_back(SysexFamily::kPerformanceDumpSize);
        whole.push_back(SysexFamily::kFollowUpSize);
        EXPECT_EQ(sizes, row.userChoosesNoOutput ? std::vector<size_t>{} : whole);
        EXPECT_EQ(sent, row.userChoosesNoOutput ? std::vector<double>{} : (std::vector<double>{tune, edited}));
        EXPECT_FALSE(q.incomingMidiBlocked.load() || q.deviceTransferActive.load());
    }
}
