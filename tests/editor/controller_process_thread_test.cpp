// The per-block work beside the threads that feed it: blocks rendered on an audio thread in
// host-buffer mode while the main thread edits and a third thread offers SysEx dumps and lights
// the activity lights. Nothing queued is lost or sent twice. The audio thread's sends never wait
// for a port that is being changed or cannot take more.
#include "controller_process_support.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "kit/plugin/Log.h"

using namespace qorid;

namespace
{

// The framework's log lines, with the thread that wrote each.
std::mutex gLogLock;
std::vector<std::pair<std::thread::id, std::string>> gLog;

void keepLogLine(const char* line)
{
    std::lock_guard<std::mutex> lock(gLogLock);
    gLog.emplace_back(std::this_thread::get_id(), line);
}

std::vector<std::pair<std::thread::id, std::string>> takeLog()
{
    std::lock_guard<std::mutex> lock(gLogLock);
    std::vector<std::pair<std::thread::id, std::string>> out;
    out.swap(gLog);
    return out;
}

// Ends the process when the test makes no progress for 10 s: a hang is a failure, not a test
// that never ends.
class Watchdog
{
public:
    Watchdog() : mThread([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mLock);
            mDone = true;
        }
        mWake.notify_all();
        mThread.join();
    }
    void progress()
    {
        {
            std::lock_guard<std::mutex> lock(mLock);
            ++mSteps;
        }
        mWake.notify_all();
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(mLock);
        while (!mDone) {
            const unsigned seen = mSteps;
            if (!mWake.wait_for(lock, std::chrono::seconds(10), [&] { return mDone || mSteps != seen; })) {
                std::fprintf(stderr, "no progress for 10 s: a thread waits that must not\n");
                std::abort();
            }
        }
    }
    std::mutex mLock;
    std::condition_variable mWake;
    unsigned mSteps = 0;
    bool mDone = false;
    std::thread mThread;
};

// An output port that holds up its caller on demand: a close parks the port change that calls
// it (the framework's output lock held) until let go; while full, a send that may wait parks
// until let go, and one that may not is refused at once.
class StuckPort : public IMidiClient
{
public:
    static constexpr const char* kName = "held synth";
    unsigned PortCount() override { return 1; }
    std::string PortName(unsigned number) override { return number == 0 ? kName : ""; }
    bool OpenPort(unsigned, const char*) override
    {
        std::lock_guard<std::mutex> lock(mLock);
        mOpen = true;
        return true;
    }
    void ClosePort() override
    {
        std::unique_lock<std::mutex> lock(mLock);
        mOpen = false;
        park(lock, mHoldClose);
    }
    bool IsPortOpen() override
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mOpen;
    }
    bool Send(const unsigned char* data, size_t size, bool mayWait) override
    {
        std::unique_lock<std::mutex> lock(mLock);
        if (mFull && !mayWait) return false;
        park(lock, mFull);
        mSent.emplace_back(data, data + size);
        return true;
    }
    size_t LargestMessage() const override { return 1024; }
    bool SetCallback(Callback, void*) override { return false; }

    void holdClose() { set(mHoldClose, true); }
    void fill() { set(mFull, true); }
    void letGo()
    {
        set(mHoldClose, false);
        set(mFull, false);
    }
    void waitParked()
    {
        std::unique_lock<std::mutex> lock(mLock);
        mWake.wait(lock, [this] { return mParked; });
    }
    std::vector<std::vector<unsigned char>> takeSent()
    {
        std::lock_guard<std::mutex> lock(mLock);
        std::vector<std::vector<unsigned char>> out;
        out.swap(mSent);
        return out;
    }

private:
    void park(std::unique_lock<std::mutex>& lock, const bool& held)
    {
        if (!held) return;
        mParked = true;
        mWake.notify_all();
        mWake.wait(lock, [&held] { return !held; });
    }
    void set(bool& flag, bool on)
    {
        {
            std::lock_guard<std::mutex> lock(mLock);
            flag = on;
        }
        mWake.notify_all();
    }
    std::mutex mLock;
    std::condition_variable mWake;
    bool mOpen = false, mHoldClose = false, mFull = false, mParked = false;
    std::vector<std::vector<unsigned char>> mSent;
};

} // namespace

TEST(ControllerProcessThreads, BlocksDrainEveryEditWhileDumpsAndLightsArriveOnOtherThreads)
{
    processtest::Rig r;
    processtest::BlockQOR& q = *r.plug;
    const int id = processtest::controlChangeParam(q);
    ASSERT_GE(id, 0);
    q.routeMidiToHostBuffer = true;
    q.trackIncomingMidi = false;
    q.dawOffset = 64;
    r.render(); // the all sound off after the start-up's reset
    q.takeShorts();

    std::atomic<bool> done{false};
    testing::internal::CaptureStdout();
    std::thread audio([&] {
        while (!done) q.ProcessDoubleReplacing(nullptr, nullptr, 512);
    });
    std::thread input([&] {
        std::vector<uint8_t> dump(100, 0x01);
        dump.front() = 0xF0, dump.back() = 0xF7;
        for (int i = 0; !done; ++i) {
            ISysEx msg(0, dump.data(), int(dump.size()));
            q.ProcessSysEx(&msg, true);
            q.lightPartLed(i % 8);
        }
    });
    constexpr int kEdits = 2000;
    for (int i = 0; i < kEdits; ++i) {
        q.GetParam(id)->Set(i % 2 ? 1 : 2); // a new value each time: each edit sends one message
        q.OnParamChange(id);
    }
    // Until the blocks have taken everything queued.
    auto queued = [&q] {
        std::lock_guard<std::mutex> lock(q.midiOutQueue.GetLock());
        return q.midiOutQueue.ToDo();
    };
    for (int i = 0; i < 5000 && queued() > 0; ++i) usleep(1000);
    done = true;
    audio.join();
    input.join();
    testing::internal::GetCapturedStdout();
    r.settle();
    const std::vector<std::string> sent = q.takeShorts();
    EXPECT_EQ(sent.size(), size_t(kEdits));
    int ones = 0;
    for (const std::string& s : sent) ones += s.substr(6) == "01";
    EXPECT_EQ(ones, kEdits / 2);
}

TEST(ControllerProcessThreads, TheAudioThreadDropsAndCountsWhatAPortChangeOrAFullQueueWouldHoldUp)
{
    enum Hold { kPortChange, kFullQueue };
    const struct {
        const char* what;
        Hold hold;
        bool queued; // a due message of the queue, else the all sound off after a reset
        const char* logged;
    } rows[] = {
        {"a due message while the output is being changed", kPortChange, true, "dropped 1 message"},
        {"all sound off while the output is being changed", kPortChange, false, "dropped 2 message"},
        {"a due message while the output takes no more", kFullQueue, true, "dropped 1 message"},
        {"all sound off while the output takes no more", kFullQueue, false, "dropped 2 message"},
    };
    SetLogSink(keepLogLine);
    Watchdog dog;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        processtest::Rig r;
        processtest::BlockQOR& q = *r.plug;
        auto* port = new StuckPort; // the plug-in's from here on
        q.sendThrough(port, StuckPort::kName);
        for (int p = 0; p < 8; ++p) q.GetParam(kMultiPartStatus + p)->Set(p == 0 || p == 3 ? 1 : 0);
        r.render(); // the all sound off after the start-up's reset
        q.routeMidiToHostBuffer = row.queued;
        q.dawOffset = 512;
        if (row.queued) {
            IMidiMsg cc(0, 0xB1, 7, 100);
            q.MIDIOutRoutingSwitch(&cc);
        } else {
            q.Reset();
        }
        port->takeSent();
        takeLog();

        std::thread change;
        if (row.hold == kPortChange) {
            port->holdClose();
            change = std::thread([&q] {
                int again = 1;
                q.setExternalMIDIOut(again, StuckPort::kName);
            });
            port->waitParked();
        } else {
            port->fill();
        }
        dog.progress();
        std::thread::id audioId;
        testing::internal::CaptureStdout();
        // The host's render call; the watchdog ends the process if it never returns.
        std::thread audio([&q, &audioId] {
            audioId = std::this_thread::get_id();
            q.ProcessBuffers(0.0, 512);
        });
        audio.join();
        testing::internal::GetCapturedStdout();
        dog.progress();
        EXPECT_TRUE(port->takeSent().empty());

        port->letGo();
        if (change.joinable()) change.join();
        IMidiMsg cc(0, 0xB0, 7, 1);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(q.SendMidiMsg(&cc)) << "the editor's own sends still reach the port";
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(port->takeSent().size(), 1u);
        // The count is told once, and not by the audio thread, which must not log.
        int told = 0;
        for (const auto& line : takeLog()) {
            if (line.second.find("MIDI output: the audio thread") == std::string::npos) continue;
            ++told;
            EXPECT_NE(line.first, audioId);
            EXPECT_NE(line.second.find(row.logged), std::string::npos) << line.second;
        }
        EXPECT_EQ(told, 1);
        dog.progress();
    }
    SetLogSink(nullptr);
}
