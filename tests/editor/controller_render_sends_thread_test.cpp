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

// fd 1 goes to a pipe, full from the start and unbuffered, for the life of this object; its read end is read
// only once drain() is called, until finish() closes the pipe.
class StuckStdout
{
public:
    StuckStdout()
    {
        std::fflush(stdout);
        if (pipe(mFds) != 0) std::abort();
        const int flags = fcntl(mFds[1], F_GETFL);
        fcntl(mFds[1], F_SETFL, flags | O_NONBLOCK);
        const char fill[512] = {};
        while (write(mFds[1], fill, sizeof fill) > 0) {
        }
        fcntl(mFds[1], F_SETFL, flags);
        mSaved = dup(1);
        dup2(mFds[1], 1);
        // Unbuffered: every print meets the full pipe, not a buffer with room left.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    ~StuckStdout() { finish(); }
    // Everything written to fd 1 meanwhile; fd 1 is back.
    std::string finish()
    {
        if (mSaved < 0) return mRead;
        std::fflush(stdout);
        std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
        dup2(mSaved, 1);
        close(mSaved);
        mSaved = -1;
        close(mFds[1]);
        if (mReader.joinable()) mReader.join();
        close(mFds[0]);
        return mRead;
    }
    void drain()
    {
        mReader = std::thread([this] {
            char buf[4096];
            for (ssize_t n; (n = ::read(mFds[0], buf, sizeof buf)) > 0;) mRead.append(buf, size_t(n));
        });
    }

private:
    int mFds[2] = {-1, -1};
    int mSaved = -1;
    std::thread mReader;
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
    // The render call's log lines too: the tempo is synced in the same block.
    q.GetParam(kOverrideTempo)->Set(1.0);
    q.tempo = 120.0;
    r.logLines();
    port->hold(true);
    testsupport::KeptLog log;
    std::thread::id audioId;
    std::string printed;
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
        q.mOutPrints.settle();
        dog.step("the prints written");
        printed = out.finish();
    }
    // Every print is either written or counted as dropped.
    int lines = 0;
    std::thread::id printer;
    const unsigned droppedPrints = toldCount(log, "Standard output: ", "output: ", &lines, &printer);
    EXPECT_EQ(lines, 1);
    EXPECT_NE(printer, audioId);
    EXPECT_GT(droppedPrints, 0u);
    EXPECT_EQ(count(printed, kPrint) + droppedPrints, kMessages);
    EXPECT_EQ(r.logLines(), (std::vector<std::string>{"PROCESSOR: Host tempo is out of sync!",
                                                      "PROCESSOR: Host tempo synced to 120BPM"}));
    EXPECT_EQ(count(printed, "Host tempo synced to 120BPM"), 1u) << "echoed as before";

    std::thread::id teller;
    const unsigned droppedSends = toldCount(log, "MIDI output: the audio thread", "dropped ", &lines, &teller);
    EXPECT_EQ(lines, 1);
    EXPECT_NE(teller, audioId);
    ASSERT_GT(droppedSends, 0u);
    ASSERT_LT(droppedSends, kMessages);
    // A message parked while another thread held the output goes out once that one lets go; told
    // here, before the watchdog's time, rather than waited for.
    dog.step("the port");
    const bool all = port->waitTaken(kMessages - droppedSends, 5);
    const unsigned parked = q.parked();
    EXPECT_TRUE(all) << parked << " left parked with no render call to come";
    EXPECT_EQ(port->taken().size() + droppedSends + parked, kMessages) << "each send reached the port, was counted or parked";
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
