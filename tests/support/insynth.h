#pragma once
// Controllers for in-process tests of the worker jobs, with no MIDI port and no JACK; both read
// QOR_DATA_FOLDER when built. RecordingQOR keeps what is handed to the output and every indicator
// call. InSynthQOR plays the output into the synthesizer simulator,
// whose answers come back on the simulator's output thread through ProcessSysEx/ProcessMidiMsg
// with the device flag, with its delays and misbehaviours (a test using it links synth_sim_core).
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QOR.h"
#include "tools/synth-sim/session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/testpaths.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

class RecordingQOR : public QOR {
public:
    RecordingQOR() : QOR(IPluginInstanceInfo()) { midiIOSet = true; }
    // The workers call into this object: they stop while it is whole.
    ~RecordingQOR() override { midiManager->stopAndJoin(); }

    bool SendMidiSysex(unsigned char* data, int size) override
    {
        if (!data || size < 1) return false;
        Bytes wire(data, data + size);
        keep(handed, wire);
        if (wire[0] != 0xF0) wire.insert(wire.begin(), 0xF0), wire.push_back(0xF7); // as the port frames it
        toWire(wire);
        return true;
    }
    bool SendMidiSysex2(std::vector<unsigned char> bytes) override
    {
        if (refuseSend && refuseSend(bytes)) return false;
        keep(handed, bytes);
        toWire(bytes);
        return true;
    }
    // Short messages as three bytes, program changes and channel pressure included.
    bool SendMidiMsg(IMidiMsg* msg) override
    {
        if (!msg) return false;
        keep(shortMessages, Bytes{msg->mStatus, msg->mData1, msg->mData2});
        return true;
    }
    void DisplayProcessingIndicator(bool on) override
    {
        keep(indicator, Bytes{on});
        if (onIndicator) onIndicator(on);
        QOR::DisplayProcessingIndicator(on);
    }
    // Empties the records below.
    void clearRecords()
    {
        std::lock_guard<std::mutex> lock(mLock);
        for (auto* list : {&handed, &indicator, &received, &shortMessages}) list->clear();
    }
    // A copy of one of the records below, taken under the lock.
    std::vector<Bytes> copy(const std::vector<Bytes>& list)
    {
        std::lock_guard<std::mutex> lock(mLock);
        return list;
    }

    std::vector<Bytes> handed, indicator, received, shortMessages;
    // Runs on the job's thread at every indicator call; set it while no job runs.
    std::function<void(bool on)> onIndicator;
    // A port that refuses the messages this says yes to (set it while no job runs).
    std::function<bool(const Bytes&)> refuseSend;

protected:
    virtual void toWire(const Bytes&) {}
    void keep(std::vector<Bytes>& list, const Bytes& b)
    {
        std::lock_guard<std::mutex> lock(mLock);
        list.push_back(b);
    }
    std::mutex mLock;
};

class InSynthQOR : public RecordingQOR {
public:
    explicit InSynthQOR(const synthsim::Options& options = synthsim::Options())
        : session(options, [this](const synthsim::Bytes& b) { deliver(b); })
    {
    }
    // Nothing more goes out, then nothing more comes back, while this object is whole.
    ~InSynthQOR() override { midiManager->stopAndJoin(), session.output().stop(); }

    bool SendMidiMsg(IMidiMsg* msg) override
    {
        Bytes wire{msg->mStatus, msg->mData1, msg->mData2};
        if ((msg->mStatus >> 4) == 0xC || (msg->mStatus >> 4) == 0xD) wire.pop_back(); // two-byte messages
        toWire(wire);
        return true;
    }

    synthsim::Session session;

protected:
    void toWire(const Bytes& bytes) override { session.onMessage(bytes); }

private:
    void deliver(const synthsim::Bytes& b)
    {
        keep(received, b);
        if (b.empty()) return;
        if (b[0] == 0xF0) {
            ISysEx sysex(0, b.data(), int(b.size()));
            ProcessSysEx(&sysex, true);
        } else {
            IMidiMsg msg(0, b[0], b.size() > 1 ? b[1] : 0, b.size() > 2 ? b[2] : 0);
            ProcessMidiMsg(&msg, true);
        }
    }
};

// A controller of type T over the data folder, built from the build's bundle (configuration and
// images), with what its start-up prints dropped.
template <class T, class... Args> std::unique_ptr<T> makeFromBundle(const std::string& folder, Args&&... args)
{
    setenv("QOR_DATA_FOLDER", folder.c_str(), 1);
    setenv("QOR_BUNDLE_PATH", (binaryDir() + "/QOR.component").c_str(), 1);
    testing::internal::CaptureStdout();
    auto plug = std::make_unique<T>(std::forward<Args>(args)...);
    testing::internal::GetCapturedStdout();
    unsetenv("QOR_BUNDLE_PATH");
    return plug;
}

} // namespace testsupport
