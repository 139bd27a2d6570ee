#pragma once
// The configured controller rendered block by block in process: a transport and a host tempo of
// the test's choosing, the jobs the blocks start recorded by number (each then runs with its
// pauses taken as none), the short messages handed to the port and the log's PROCESSOR lines.
#include "Project_Source/src/ControlAction.h"
#include "controller_dispatch_support.h"
#include "kit/plugin/IMidiPorts.h"

#include <atomic>
#include <condition_variable>

namespace processtest
{

class BlockQOR : public dispatchtest::DispatchQOR
{
public:
    void GetTime(ITimeInfo* info) override { info->transportIsRunning = playing; }
    // Short messages go through the framework's output to client (which the plug-in then owns),
    // opened as the one port called name, instead of being recorded.
    void sendThrough(IMidiClient* client, const char* name)
    {
        {
            std::lock_guard<std::mutex> lock(midiOutLock);
            delete midiOut;
            midiOut = client;
            midiOutNames = {QOR_SELECT_MIDI_DEVICE, name};
        }
        int port = 1;
        setExternalMIDIOut(port, name);
        toPort = true;
    }
    bool SendMidiMsg(IMidiMsg* msg) override
    {
        return toPort ? IPluginAU::SendMidiMsg(msg) : DispatchQOR::SendMidiMsg(msg);
    }
    // Short messages of the render call still parked, waiting for a sender to take the output.
    unsigned parked() const { return mParkedWritten - mParkedRead; }
    std::atomic<bool> playing{false};

private:
    bool toPort = false;
};

// A sound parameter that sends a plain control change (the arpeggiator speed follows the host
// tempo instead), or -1.
inline int controlChangeParam(QOR& q)
{
    for (int i = 0; i < qorid::kNumAutomatedParams; ++i) {
        const ControlAction* a = q.GetParam(i)->GetControlAction();
        if (a && a->kind == ControlAction::kControlChange && i != qorid::kArpSpeed) return i;
    }
    return -1;
}

struct Rig {
    Rig()
    {
        testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        testsupport::writeFile(dir.file("QOR Editor UI.txt"), "notes\nnormal\nyes\n\n\n");
        plug = testsupport::makeFromBundle<BlockQOR>(dir.path);
        plug->SetSampleRate(44100.0);
        plug->SetBlockSize(512);
        MIDIMessageSender* s = plug->midiManager->sender;
        s->onPause = [](int& ms) { ms = 0; };
        s->beforeJob = [this](int job) {
            std::unique_lock<std::mutex> lock(mLock);
            mJobs.push_back(job);
            mHeldWake.wait(lock, [this, job] { return job != mHeldJob; });
        };
    }
    ~Rig()
    {
        release();
        plug->midiManager->stopAndJoin();
    }

    // One block of frames, its prints dropped.
    void render(int frames = 512)
    {
        testing::internal::CaptureStdout();
        plug->ProcessDoubleReplacing(nullptr, nullptr, frames);
        testing::internal::GetCapturedStdout();
    }
    // Until the job and transport threads have ended their jobs.
    void settle()
    {
        for (int t : {kJobThread, kClockTransportThread})
            while (!plug->midiManager->threadIdle(t)) usleep(1000);
    }
    // The jobs started so far, once they have ended.
    std::vector<int> jobs()
    {
        settle();
        std::lock_guard<std::mutex> lock(mLock);
        std::vector<int> out;
        out.swap(mJobs);
        return out;
    }
    // Holds every job of this number before it runs, until release().
    void hold(int job)
    {
        std::lock_guard<std::mutex> lock(mLock);
        mHeldJob = job;
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(mLock);
            mHeldJob = -1;
        }
        mHeldWake.notify_all();
    }
    // The PROCESSOR lines of the log since the last call, without their time stamps.
    std::vector<std::string> logLines()
    {
        std::ifstream in(dir.file("QOR Editor LOG.txt"));
        std::vector<std::string> out;
        std::string line;
        const size_t seen = mLogSeen;
        for (size_t n = 0; std::getline(in, line); ++n) {
            const size_t at = line.find("PROCESSOR: ");
            if (n >= seen && at != std::string::npos) out.push_back(line.substr(at));
            mLogSeen = n + 1;
        }
        return out;
    }
    void edit(int id, double value) { dispatchtest::edit(*plug, id, value); }
    double value(int id) const { return plug->GetParam(id)->Value(); }
    std::string status() const { return dispatchtest::Desk::text(plug->statusDisplay); }

    testsupport::TempDir dir;
    std::unique_ptr<BlockQOR> plug;

private:
    std::mutex mLock;
    std::condition_variable mHeldWake;
    std::vector<int> mJobs;
    int mHeldJob = -1;
    size_t mLogSeen = 0;
};

} // namespace processtest
