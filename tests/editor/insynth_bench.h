#pragma once
// A configured controller playing into the in-process synthesizer for the worker-job tests:
// every pause is recorded with the status line at that moment and then taken as no pause, so
// that the simulator's answers arrive and the passes are counted exactly.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"
#include "tools/synth-sim/syxfile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace insynthtest
{

// The messages of one of the in-process synthesizer's memory files (say "programs-C.syx"), as
// it dumps them into folder/synth.
inline std::vector<std::vector<uint8_t>> synthMemoryFile(testsupport::InSynthQOR& plug, const testsupport::TempDir& folder,
                                                         const std::string& file)
{
    std::ostringstream out;
    plug.session.runCommand("dump " + folder.file("synth"), out);
    synthsim::SplitResult split;
    std::string error;
    EXPECT_TRUE(synthsim::readSyxFile(folder.file("synth/" + file), split, error)) << error;
    return split.messages;
}

using namespace qorid;

constexpr int kPeriod = 100; // kLibSyncTimer entry 2

// Plug is InSynthQOR or a test's subclass of it (one overriding what the simulator's output
// thread calls is safe here: the destructor stops that thread first).
template <class Plug = testsupport::InSynthQOR> struct BenchOf {
    explicit BenchOf(const synthsim::Options& options)
    {
        testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        plug = testsupport::makeFromBundle<Plug>(dir.path, options);
        plug->GetParam(kLibSyncTimer)->Set(2);
        plug->GetParam(kGlobalMidiChannel)->Set(15);
        plug->deviceId = 15;
        plug->midiManager->sender->onPause = [this](int& ms) {
            if (drain) plug->session.output().drain();
            std::lock_guard<std::mutex> lock(mLock);
            pauses.push_back(ms);
            const std::string now = status();
            if (statuses.empty() || statuses.back() != now) statuses.push_back(now);
            if (onPause) onPause(int(pauses.size()), ms);
            ms = 0;
        };
    }
    // Nothing runs or arrives any more before the controller's destructors begin: a delivery
    // during them would call through a half-destroyed object.
    ~BenchOf()
    {
        plug->midiManager->stopAndJoin();
        plug->session.output().stop();
        plug.reset();
    }

    std::string status() const
    {
        KIT_String s("", 0, 256);
        if (plug->statusDisplay) plug->statusDisplay->GetTextCopy(&s);
        return s.Get();
    }
    void run(int job)
    {
        SenderJobRecord record;
        record.job = job;
        run(record);
    }
    // The job run to its end; the status it ended with joins statuses.
    void run(const SenderJobRecord& record)
    {
        testing::internal::CaptureStdout();
        ASSERT_TRUE(plug->midiManager->startJob(record));
        while (!plug->midiManager->threadIdle(kJobThread)) usleep(1000);
        testing::internal::GetCapturedStdout();
        if (statuses.empty() || statuses.back() != status()) statuses.push_back(status());
    }
    // The enquiry as the output selection starts it.
    void enquire()
    {
        plug->expectGlobalDump = true;
        run(kJobDeviceIdEnquiry);
    }
    // Device bytes of the enquiries handed to the output, in order.
    std::vector<int> enquiries()
    {
        std::vector<int> out;
        for (const auto& m : plug->copy(plug->handed))
            if (m.size() == 7 && m[6] == 0x10) out.push_back(m[5]);
        return out;
    }
    double value(int id) const { return plug->GetParam(id)->Value(); }
    std::string logText() const
    {
        std::ifstream in(dir.file("QOR Editor LOG.txt"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    testsupport::TempDir dir;
    std::unique_ptr<Plug> plug;
    // Off: a pause lets the simulator's answers arrive when they come (its delays, a race).
    bool drain = true;
    std::mutex mLock;
    std::vector<int> pauses;
    std::vector<std::string> statuses;
    std::function<void(int count, int ms)> onPause;
};
using Bench = BenchOf<>;

} // namespace insynthtest
