// The per-block work beside the threads that feed it: blocks rendered on an audio thread in
// host-buffer mode while the main thread edits and a third thread offers SysEx dumps and lights
// the activity lights. Nothing queued is lost or sent twice.
#include "controller_process_support.h"

#include <thread>

using namespace qorid;

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
