// The render call's short messages when nothing takes them: a port that cannot refuse and holds
// every send, behind the hand-over the MIDI library's client sends through, and standard output
// a pipe that nobody reads. The render call waits for neither; what it loses is counted and told
// once, by another thread.
#include "controller_process_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "kit/plugin/IMidiHandOver.h"
#include "tests/support/held_midi_port.h"
#include "tests/support/kept_log.h"
#include "tests/support/watchdog.h"

using namespace qorid;
using testsupport::HeldMidiPort;

namespace
{

// The lines that contain what, and the number after by in the first of them (0 when none).
unsigned toldCount(testsupport::KeptLog& log, const char* what, const char* by, int* lines, std::thread::id* thread)
{
    unsigned n = 0;
    *lines = 0;
    for (const auto& line : log.lines()) {
        const size_t at = line.second.find(what);
        if (at == std::string::npos) continue;
        if (++*lines == 1) {
            *thread = line.first;
            const size_t num = line.second.find(by, at);
            if (num != std::string::npos) n = unsigned(std::stoul(line.second.substr(num + std::strlen(by))));
        }
    }
    return n;
}

size_t count(const std::string& text, const std::string& of)
{
    size_t n = 0;
    for (size_t at = text.find(of); at != std::string::npos; at = text.find(of, at + of.size())) ++n;
    return n;
}

// fd 1 goes to a pipe for the life of this object; its read end is read only once drain() is
// called, until the pipe closes.
class StuckStdout
{
public:
    StuckStdout()
    {
        std::fflush(stdout);
        if (pipe(mFds) != 0) std::abort();
        mSaved = dup(1);
        dup2(mFds[1], 1);
    }
    ~StuckStdout()
    {
        std::fflush(stdout);
        dup2(mSaved, 1);
        close(mSaved);
        close(mFds[1]);
        if (mReader.joinable()) mReader.join();
        close(mFds[0]);
    }
    void drain()
    {
        mReader = std::thread([this] {
            char buf[4096];
            for (ssize_t n; (n = ::read(mFds[0], buf, sizeof buf)) > 0;) {
                std::lock_guard<std::mutex> lock(mLock);
                mRead.append(buf, size_t(n));
            }
        });
    }
    std::string text()
    {
        std::fflush(stdout);
        std::lock_guard<std::mutex> lock(mLock);
        return mRead;
    }

private:
    int mFds[2] = {-1, -1};
    int mSaved = -1;
    std::thread mReader;
    std::mutex mLock;
    std::string mRead;
};

} // namespace

TEST(ControllerRenderSends, TheRenderCallWaitsForNeitherAHeldPortNorAFullStdoutAndItsDropsAreToldOnceElsewhere)
{
    constexpr unsigned kMessages = 12000; // far more than the pipe and the hand-over hold
    const std::string kPrint = "Plug-in MIDI Out ";
    testsupport::Watchdog dog;
    processtest::Rig r;
    processtest::BlockQOR& q = *r.plug;
    for (int p = 0; p < 8; ++p) q.GetParam(kMultiPartStatus + p)->Set(0); // no all sound off
    auto* port = new HeldMidiPort;
    q.sendThrough(new IMidiHandOver(port, 4096), HeldMidiPort::kName);
    q.routeMidiToHostBuffer = true;
    q.dawOffset = 512;
    for (unsigned i = 0; i < kMessages; ++i) {
        IMidiMsg cc(0, 0xB1, 7, uint8_t(i & 0x7F));
        q.MIDIOutRoutingSwitch(&cc);
    }
    port->hold(true);
    testsupport::KeptLog log;
    std::thread::id audioId;
    {
        StuckStdout out;
        dog.step("the render call");
        std::thread audio([&q, &audioId] {
            audioId = std::this_thread::get_id();
            q.ProcessBuffers(0.0, 512);
        });
        audio.join();
        dog.step("the render call returned");
        out.drain();
        port->hold(false);
        q.OnEditorTimer();
        // Every print is either written or counted as dropped.
        int lines = 0;
        std::thread::id printer;
        for (int i = 0; i < 2000; ++i) {
            dog.step("the prints");
            const unsigned dropped = toldCount(log, "Standard output: ", "output: ", &lines, &printer);
            if (lines > 0 && count(out.text(), kPrint) + dropped >= kMessages) break;
            usleep(10000);
        }
        const unsigned droppedPrints = toldCount(log, "Standard output: ", "output: ", &lines, &printer);
        EXPECT_EQ(lines, 1);
        EXPECT_NE(printer, audioId);
        EXPECT_GT(droppedPrints, 0u);
        EXPECT_EQ(count(out.text(), kPrint) + droppedPrints, kMessages);
    }
    int lines = 0;
    std::thread::id teller;
    const unsigned droppedSends = toldCount(log, "MIDI output: the audio thread", "dropped ", &lines, &teller);
    EXPECT_EQ(lines, 1);
    EXPECT_NE(teller, audioId);
    ASSERT_GT(droppedSends, 0u);
    ASSERT_LT(droppedSends, kMessages);
    dog.step("the port");
    EXPECT_TRUE(port->waitTaken(kMessages - droppedSends));
    EXPECT_EQ(port->taken().size() + droppedSends, kMessages) << "each send reached the port or was counted";
}

TEST(ControllerRenderSends, SetMidiIOFirstFromTheRenderCallIsShownByTheEditorsTimer)
{
    processtest::Rig r;
    processtest::BlockQOR& q = *r.plug;
    q.midiIOSet = false;
    q.routeMidiToHostBuffer = true;
    q.dawOffset = 512;
    IMidiMsg cc(0, 0xB1, 7, 100);
    q.MIDIOutRoutingSwitch(&cc);
    q.showStatus("before");
    testing::internal::CaptureStdout();
    std::thread audio([&q] { q.ProcessBuffers(0.0, 512); });
    audio.join();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(r.status(), "before") << "the render call showed a status itself";
    q.OnEditorTimer();
    EXPECT_EQ(r.status(), "Set MIDI I/O First!");
}
