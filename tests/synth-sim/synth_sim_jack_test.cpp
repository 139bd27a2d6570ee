// The synth-sim program on the private JACK server, driven by a plain RtMidi client: what
// the editor would see at the far end of its MIDI port; and a program left behind by a test
// that dies.
#include "launcher.h"

#include "support/tempdir.h"

#include <RtMidi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using synthsim::RecordLine;
using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

std::string uniqueName(const char* what)
{
    static std::atomic<int> n{0};
    return "ss" + std::to_string(::getpid()) + "-" + std::to_string(n++) + what;
}

int findPort(RtMidi& m, const std::string& name)
{
    for (unsigned i = 0; i < m.getPortCount(); ++i)
        if (m.getPortName(i).find(name) != std::string::npos) return int(i);
    return -1;
}

// Waits until `enough` holds or the time is up, then returns what `read` gives.
template <class Read, class Enough> auto waitFor(Read read, Enough enough, int timeoutMs = 5000)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto got = read();
        if (enough(got) || Clock::now() > deadline) return got;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// A plain RtMidi client wired to one running simulator.
class JackSynth : public ::testing::Test {
protected:
    void launch(std::vector<std::string> options)
    {
        std::vector<std::string> args = {"--name", uniqueName("sim"), "--record", dir_.file("record.txt")};
        args.insert(args.end(), options.begin(), options.end());
        std::string err;
        ASSERT_TRUE(sim_.start(SYNTH_SIM_EXE, args, err)) << err;
        in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, uniqueName("cin"));
        in_->ignoreTypes(false, false, true);
        in_->setCallback(
            [](double, std::vector<unsigned char>* msg, void* self) {
                auto* t = static_cast<JackSynth*>(self);
                std::lock_guard<std::mutex> g(t->lock_);
                t->inbox_.push_back(*msg);
            },
            this);
        out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, uniqueName("cout"));
        const int src = findPort(*in_, sim_.outputPort()), dst = findPort(*out_, sim_.inputPort());
        ASSERT_TRUE(src >= 0 && dst >= 0) << "the simulator's ports are listed";
        in_->openPort(unsigned(src));
        out_->openPort(unsigned(dst));
        // A connection takes effect in a later JACK cycle: knock until the simulator hears;
        // knocks are told apart by their bytes and left out of what the tests look at.
        ASSERT_TRUE(waitFor(
            [this] {
                send(knock());
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
                return !record("in", true).empty();
            },
            [](bool h) { return h; }, 10000))
            << "the simulator never heard the client";
    }
    static Bytes knock() { return {0xF0, 0x7D, 0x00, 0xF7}; }
    void TearDown() override { in_.reset(), out_.reset(), sim_.stop(); }
    void send(const Bytes& b) { out_->sendMessage(&b); }
    std::vector<Bytes> receive(size_t count)
    {
        return waitFor(
            [this] {
                std::lock_guard<std::mutex> g(lock_);
                return inbox_;
            },
            [count](const std::vector<Bytes>& got) { return got.size() >= count; });
    }
    // The record of one direction as it stands: the knocks, or everything else.
    std::vector<RecordLine> record(const char* dir, bool knocks = false)
    {
        std::vector<RecordLine> lines;
        for (RecordLine& r : synthsim::readRecordFile(dir_.file("record.txt")))
            if (r.direction == dir && (r.bytes == knock()) == knocks) lines.push_back(std::move(r));
        return lines;
    }

    testsupport::TempDir dir_{"synthsim"};
    synthsim::SimProcess sim_;
    std::mutex lock_;
    std::vector<Bytes> inbox_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

Bytes enquiry(unsigned char id) { return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, id, 0x10, 0xF7}; }

// Gone: no such process any more, or one that has ended and waits to be reaped.
bool processGone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

} // namespace

// Across the port: answers reach the client as the record says they left, and a SysEx sent
// without its F7 does not swallow what is sent after it.
TEST_F(JackSynth, AnswersCrossThePortAsRecordedAndABrokenSysExLosesNothingAfterIt)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--device-id", "5"}));
    send(enquiry(6));
    send({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x05, 0x02});
    send({0xB5, 98, 113});
    send(enquiry(5));
    const std::vector<Bytes> got = receive(2);
    const auto out = waitFor([this] { return record("out"); }, [](const auto& r) { return r.size() >= 2; });
    ASSERT_TRUE(got.size() == 2u && out.size() == 2u);
    EXPECT_EQ((Bytes{got[0][6], got[0][7], got[1][6], got[1][7]}), (Bytes{5, 0x0F, 5, 0x15}));
    EXPECT_TRUE(out[0].bytes == got[0] && out[1].bytes == got[1]) << "the record holds the bytes sent";
    const std::vector<RecordLine> in = record("in");
    ASSERT_EQ(in.size(), 4u);
    EXPECT_EQ(in[0].note, "ignored: addressed to device 6");
    EXPECT_EQ(in[1].note, "ignored: no F7 at the end");
    EXPECT_EQ(in[2].bytes, (Bytes{0xB5, 98, 113}));
    EXPECT_EQ(in[3].note, "device-id enquiry: answered");
}

// The chart across the port: a controller, an NRPN and a parameter SysEx from a plain client
// move part 3's program, the record names each parameter, the edit-buffer request returns
// the bytes, and a parameter moved on the panel reaches the client as the chart's message.
TEST_F(JackSynth, ChartMessagesMoveTheEditBufferAndAPanelParameterLeavesAsTheChartsMessage)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--edit-reply", "parts"}));
    send({0xB2, 74, 100});
    send({0xB2, 99, 0});
    send({0xB2, 98, 0});
    send({0xB2, 6, 32});
    send({0xF0, 0x3E, 0x0F, 0x09, 0x20, 0x02, 0x00, 12, 0xF7});
    send({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x09, 0x08, 0xF7});
    const std::vector<Bytes> dumps = receive(8);
    ASSERT_EQ(dumps.size(), 8u);
    ASSERT_EQ(dumps[2].size(), 296u);
    EXPECT_EQ((Bytes{dumps[2][8], dumps[2][220], dumps[2][32], dumps[2][35]}), (Bytes{2, 100, 32, 64}));
    const std::vector<RecordLine> in = record("in");
    ASSERT_EQ(in.size(), 6u);
    EXPECT_EQ(in[0].note, "cc 74 = 100: param kFilterCutoff part 3 = 100 (program byte 220)");
    EXPECT_EQ(in[3].note, "nrpn 0/0 = 32: param kOscillator1Octave part 3 = 2 (program byte 32)");
    EXPECT_EQ(in[4].note, "parameter 20/00 part byte 2 = 12: param kOscillator1BendRange part 3 = 12 (program byte 35)");

    sim_.command("param kFilterCutoff 4 64");
    const std::vector<Bytes> got = receive(9);
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got[8], (Bytes{0xB3, 74, 64}));
}

TEST(SimulatorOwner, ThatDiesWithoutStoppingItTakesTheSynthesizerAlong)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t owner = ::fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        ::close(fds[0]);
        // Left running on purpose: the owner ends at once, as a crashed test would.
        auto* sim = new synthsim::SimProcess;
        std::string err;
        pid_t simPid = -1;
        if (sim->start(SYNTH_SIM_EXE, {"--name", uniqueName("orphan")}, err)) simPid = sim->pid();
        if (::write(fds[1], &simPid, sizeof simPid) != ssize_t(sizeof simPid)) ::_exit(1);
        ::_exit(0);
    }
    ::close(fds[1]);
    pid_t simPid = -1;
    const ssize_t got = ::read(fds[0], &simPid, sizeof simPid);
    ::close(fds[0]);
    ::waitpid(owner, nullptr, 0);
    ASSERT_TRUE(got == ssize_t(sizeof simPid) && simPid > 0) << "the owner started a synthesizer";
    const bool gone = waitFor([simPid] { return processGone(simPid); }, [](bool g) { return g; }, 10000);
    if (!gone) ::kill(simPid, SIGKILL);
    EXPECT_TRUE(gone) << "an orphaned synthesizer would hold the test runner's output open";
}
