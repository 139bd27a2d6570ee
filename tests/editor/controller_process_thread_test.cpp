// The per-block work beside the threads that feed it: blocks rendered on an audio thread in
// host-buffer mode while the main thread edits and a third thread offers SysEx dumps and lights
// the activity lights. Nothing queued is lost or sent twice. The audio thread's sends never wait
// for a port that is being changed or cannot take more.
#include "controller_process_support.h"

#include <thread>

#include "kit/plugin/Log.h"
#include "tests/support/watchdog.h"

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

// An output port that holds up its caller on demand: a close parks the port change that calls
// it (the framework's output lock held) until let go; while full, a send that may wait parks
// until let go, and one that may not is refused at once.
class StuckPort : public IMidiClient
{
public:
    static constexpr const char* kName = "held synth";
    unsigned PortCount() override { return 1; }
    std::string PortName(unsigned number) override { return number == 0 ? kName : ""; }
    bool OpenPort(unsigned, const char*) override { return open = true; }
    void ClosePort() override
    {
        open = false;
        park(holdClose);
    }
    bool IsPortOpen() override { return open; }
    bool Send(const unsigned char* data, size_t size, bool mayWait) override
    {
        if (full && !mayWait) return false;
        park(full);
        std::lock_guard<std::mutex> hold(lock);
        sent.emplace_back(data, data + size);
        return true;
    }
    size_t LargestMessage() const override { return 1024; }
    bool SetCallback(Callback, void*) override { return false; }
    void letGo()
    {
        holdClose = full = false;
        std::lock_guard<std::mutex> hold(lock);
        wake.notify_all();
    }
    void waitParked()
    {
        std::unique_lock<std::mutex> hold(lock);
        wake.wait(hold, [this] { return parked; });
    }
    size_t takeSent()
    {
        std::lock_guard<std::mutex> hold(lock);
        const size_t n = sent.size();
        sent.clear();
        return n;
    }
    std::atomic<bool> open{false}, holdClose{false}, full{false};

private:
    void park(const std::atomic<bool>& held)
    {
        std::unique_lock<std::mutex> hold(lock);
        parked = held.load();
        wake.notify_all();
        wake.wait(hold, [&held] { return !held; });
    }
    std::mutex lock;
    std::condition_variable wake;
    bool parked = false;
    std::vector<std::vector<unsigned char>> sent;
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
    const struct {
        const char* what;
        bool portChange; // else the output takes no more
        bool queued;     // a due message of the queue, else the all sound off after a reset
        const char* logged;
    } rows[] = {
        {"a due message while the output is being changed", true, true, "dropped 1 message"},
        {"all sound off while the output is being changed", true, false, "dropped 2 message"},
        {"a due message while the output takes no more", false, true, "dropped 1 message"},
        {"all sound off while the output takes no more", false, false, "dropped 2 message"},
    };
    testsupport::Watchdog dog;
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
        IMidiMsg cc(0, 0xB1, 7, 100);
        row.queued ? q.MIDIOutRoutingSwitch(&cc) : q.Reset();
        port->takeSent();
        std::thread change;
        if (row.portChange) {
            port->holdClose = true;
            change = std::thread([&q] {
                int again = 1;
                q.setExternalMIDIOut(again, StuckPort::kName);
            });
            port->waitParked();
        }
        port->full = !row.portChange;
        SetLogSink(keepLogLine);
        dog.step(row.what);
        std::thread::id audioId;
        testing::internal::CaptureStdout();
        // The host's render call; the watchdog ends the process if it never returns.
        std::thread audio([&q, &audioId] {
            audioId = std::this_thread::get_id();
            q.ProcessBuffers(0.0, 512);
        });
        audio.join();
        dog.step("the render call returned");
        EXPECT_EQ(port->takeSent(), 0u);
        port->letGo();
        if (change.joinable()) change.join();
        EXPECT_TRUE(q.SendMidiMsg(&cc)) << "the editor's own sends still reach the port";
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(port->takeSent(), 1u);
        // The count is told once, and not by the audio thread, which must not log.
        std::lock_guard<std::mutex> hold(gLogLock);
        int told = 0;
        for (const auto& line : gLog) {
            if (line.second.find("MIDI output: the audio thread") == std::string::npos) continue;
            ++told;
            EXPECT_NE(line.first, audioId);
            EXPECT_NE(line.second.find(row.logged), std::string::npos) << line.second;
        }
        EXPECT_EQ(told, 1);
        SetLogSink(nullptr);
        gLog.clear();
    }
}
