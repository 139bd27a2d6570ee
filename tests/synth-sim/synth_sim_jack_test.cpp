// The synth-sim program on the private JACK server, driven by a plain RtMidi client: what
// the editor would see at the far end of its MIDI port.
#include "launcher.h"

#include <RtMidi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using synthsim::RecordLine;
using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

std::string uniqueName(const char* what)
{
    static std::atomic<int> n{0};
    return std::string("ss") + std::to_string(::getpid()) + "-" + std::to_string(n++) + what;
}

struct Inbox {
    std::mutex lock;
    std::vector<Bytes> messages;
};

void onMessage(double, std::vector<unsigned char>* msg, void* user)
{
    auto* box = static_cast<Inbox*>(user);
    std::lock_guard<std::mutex> g(box->lock);
    box->messages.push_back(*msg);
}

int findPort(RtMidi& m, const std::string& name)
{
    for (unsigned i = 0; i < m.getPortCount(); ++i)
        if (m.getPortName(i).find(name) != std::string::npos) return int(i);
    return -1;
}

std::vector<RecordLine> linesOf(const std::vector<RecordLine>& all, const char* dir)
{
    std::vector<RecordLine> out;
    for (const auto& r : all)
        if (r.direction == dir) out.push_back(r);
    return out;
}

// A plain RtMidi client wired to one running simulator.
class JackSynth : public ::testing::Test {
protected:
    void launch(std::vector<std::string> options)
    {
        record_ = "/tmp/" + uniqueName("-record.txt");
        std::vector<std::string> args = {"--name", uniqueName("sim"), "--record", record_};
        args.insert(args.end(), options.begin(), options.end());
        std::string err;
        ASSERT_TRUE(sim_.start(SYNTH_SIM_EXE, args, err)) << err;
        in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, uniqueName("cin"));
        in_->ignoreTypes(false, false, true);
        in_->setCallback(onMessage, &inbox_);
        const int src = findPort(*in_, sim_.outputPort());
        ASSERT_GE(src, 0) << "the simulator's output port is listed";
        in_->openPort(unsigned(src));
        out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, uniqueName("cout"));
        const int dst = findPort(*out_, sim_.inputPort());
        ASSERT_GE(dst, 0) << "the simulator's input port is listed";
        out_->openPort(unsigned(dst));
        // A connection takes effect in a later JACK cycle: knock until the simulator hears,
        // then leave the knocks out of what the tests look at.
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        for (;;) {
            send(knock());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (heardKnock()) break;
            ASSERT_LT(Clock::now(), deadline) << "the simulator never heard the client";
        }
    }

    // Knocks are told apart by their bytes, so one that a loaded machine delivers late is
    // still left out.
    static Bytes knock() { return {0xF0, 0x7D, 0x00, 0xF7}; }

    bool heardKnock()
    {
        for (const RecordLine& r : synthsim::readRecordFile(record_))
            if (r.direction == "in" && r.bytes == knock()) return true;
        return false;
    }

    void TearDown() override
    {
        in_.reset();
        out_.reset();
        sim_.stop();
        if (!record_.empty()) std::remove(record_.c_str());
    }

    void send(const Bytes& b)
    {
        if (out_) out_->sendMessage(&b);
    }

    // Waits until `count` messages have arrived (or the time is up) and returns them all.
    std::vector<Bytes> receive(size_t count, int timeoutMs = 5000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            {
                std::lock_guard<std::mutex> g(inbox_.lock);
                if (inbox_.messages.size() >= count || Clock::now() > deadline) return inbox_.messages;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    void clearInbox()
    {
        std::lock_guard<std::mutex> g(inbox_.lock);
        inbox_.messages.clear();
    }

    // Waits for the record to hold `count` lines of a direction.
    std::vector<RecordLine> recorded(const char* dir, size_t count, int timeoutMs = 5000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            std::vector<RecordLine> lines = record(dir);
            if (lines.size() >= count || Clock::now() > deadline) return lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // The record of one direction as it stands, without the connection knocks.
    std::vector<RecordLine> record(const char* dir)
    {
        std::vector<RecordLine> lines = linesOf(synthsim::readRecordFile(record_), dir);
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const RecordLine& r) { return r.bytes == knock(); }),
                    lines.end());
        return lines;
    }

    synthsim::SimProcess sim_;
    std::string record_;
    Inbox inbox_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

Bytes enquiry(unsigned char id, unsigned char model = 0x20) { return {0xF0, 0x00, 0x20, 0x29, 0x01, model, id, 0x10, 0xF7}; }
Bytes editRequest(unsigned char id, unsigned char model = 0x20) { return {0xF0, 0x00, 0x20, 0x29, 0x01, model, id, 0x08, 0xF7}; }
Bytes storedRequest(unsigned char id, unsigned char code, unsigned char slot, unsigned char model = 0x20)
{
    return {0xF0, 0x00, 0x20, 0x29, 0x01, model, id, 0x13, code, slot, 0xF7};
}

} // namespace

TEST_F(JackSynth, EnquiryAtItsIdIsAnsweredByBothGlobalDumpsInOrder)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--device-id", "5"}));
    send(enquiry(5));
    std::vector<Bytes> got = receive(2);
    ASSERT_EQ(got.size(), 2u);
    ASSERT_EQ(got[0].size(), 281u);
    ASSERT_EQ(got[1].size(), 297u);
    EXPECT_EQ(got[0][6], 5);
    EXPECT_EQ(got[0][7], 0x0F);
    EXPECT_EQ(got[1][6], 5);
    EXPECT_EQ(got[1][7], 0x15);
    std::vector<RecordLine> out = recorded("out", 2);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes, got[0]) << "the record holds the bytes sent";
    EXPECT_EQ(out[1].bytes, got[1]);
}

TEST_F(JackSynth, EnquiryAtAnotherIdIsIgnored)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--device-id", "5"}));
    send(enquiry(6));
    std::vector<RecordLine> in = recorded("in", 1);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0].bytes, enquiry(6));
    EXPECT_EQ(in[0].note, "ignored: addressed to device 6");
    EXPECT_TRUE(receive(1, 500).empty());
}

TEST_F(JackSynth, EachRequestKindIsAnsweredWithItsTypeAndLength)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--device-id", "2", "--model", "21"}));
    send(editRequest(2, 0x21));
    std::vector<Bytes> got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), 296u);
    EXPECT_EQ(got[0][7], 0x00);
    clearInbox();

    send(storedRequest(2, 0x0B, 100, 0x21)); // program bank G
    got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), 297u);
    EXPECT_EQ(got[0][7], 0x02);
    EXPECT_EQ(got[0][8], 0x0B);
    EXPECT_EQ(got[0][9], 100);
    clearInbox();

    send(storedRequest(2, 0x01, 3, 0x21)); // performance bank A
    got = receive(2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].size(), 383u);
    EXPECT_EQ(got[0][7], 0x07);
    EXPECT_EQ(got[1].size(), 27u);
    EXPECT_EQ(got[1][7], 0x1C);
    EXPECT_EQ(got[1][9], 3);
}

TEST_F(JackSynth, AWrittenProgramIsReadBackIdentical)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--device-id", "7"}));
    Bytes program = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x07, 0x02, 0x09, 77};
    for (int i = 10; i < 296; ++i) program.push_back((unsigned char)((i * 13) & 0x7F));
    program.push_back(0xF7);
    send(program);
    ASSERT_EQ(recorded("in", 1).size(), 1u);
    send(storedRequest(7, 0x09, 77));
    std::vector<Bytes> got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], program);
}

TEST_F(JackSynth, ClockTicksStartAndStopAreCounted)
{
    ASSERT_NO_FATAL_FAILURE(launch({}));
    send({0xFA});
    for (int i = 0; i < 96; ++i) send({0xF8});
    send({0xFC});
    ASSERT_EQ(recorded("in", 98).size(), 98u);
    sim_.command("stats");
    std::string line;
    ASSERT_TRUE(sim_.readLine(line, 3000));
    EXPECT_NE(line.find("clock=96 since-start=96 start=1 stop=1"), std::string::npos) << line;
}

TEST_F(JackSynth, ScriptedControllerNrpnProgramChangeAndRawBytesReachTheClient)
{
    ASSERT_NO_FATAL_FAILURE(launch({}));
    sim_.command("cc 4 74 100");
    sim_.command("nrpn 0 0 113 58");
    sim_.command("pc 2 9");
    sim_.command("raw F0 3E 0F 05 13 01 02 F7");
    std::vector<Bytes> got = receive(6);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0], (Bytes{0xB4, 74, 100}));
    EXPECT_EQ(got[1], (Bytes{0xB0, 99, 0}));
    EXPECT_EQ(got[2], (Bytes{0xB0, 98, 113}));
    EXPECT_EQ(got[3], (Bytes{0xB0, 6, 58}));
    EXPECT_EQ(got[4], (Bytes{0xC2, 9}));
    EXPECT_EQ(got[5], (Bytes{0xF0, 0x3E, 0x0F, 0x05, 0x13, 0x01, 0x02, 0xF7}));
}

TEST_F(JackSynth, APerformanceChosenOnThePanelIsWhatTheEditBufferRequestReturns)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--device-id", "4"}));
    sim_.command("pc 4 12"); // the global channel: a performance, announced to the client
    std::vector<Bytes> got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Bytes{0xC4, 12}));
    clearInbox();
    send(editRequest(4));
    got = receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), 381u);
    EXPECT_EQ(got[0][7], 0x05);
}

// Every misbehaviour shows in the record of an enquiry.
TEST_F(JackSynth, SilentLeavesTheEnquiryUnansweredInTheRecord)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--silent"}));
    send(enquiry(3));
    std::vector<RecordLine> in = recorded("in", 1);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0].note, "device-id enquiry: not answered (silent)");
    EXPECT_TRUE(receive(1, 500).empty());
    EXPECT_TRUE(record("out").empty());
}

TEST_F(JackSynth, ALateAnswerIsRecordedItsDelayAfterTheRequest)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--reply-delay-ms", "300"}));
    send(enquiry(3));
    std::vector<RecordLine> out = recorded("out", 2);
    ASSERT_EQ(out.size(), 2u);
    const std::vector<RecordLine> in = record("in");
    ASSERT_EQ(in.size(), 1u);
    EXPECT_GE(out[0].time - in[0].time, 0.3);
}

TEST_F(JackSynth, AnswerOnTheThirdTryIsRecordedAsTwoMissedTries)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--answer-on-try", "3"}));
    send(enquiry(3));
    send(enquiry(3));
    send(enquiry(3));
    ASSERT_EQ(receive(2).size(), 2u);
    std::vector<RecordLine> in = recorded("in", 3);
    ASSERT_EQ(in.size(), 3u);
    EXPECT_EQ(in[0].note, "device-id enquiry: not answered (try 1 of 3)");
    EXPECT_EQ(in[1].note, "device-id enquiry: not answered (try 2 of 3)");
    EXPECT_EQ(in[2].note, "device-id enquiry: answered");
}

TEST_F(JackSynth, TruncatedAnswersAreRecordedWithTheirLength)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--truncate", "5"}));
    send(editRequest(3));
    std::vector<RecordLine> out = recorded("out", 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes.size(), 291u);
    EXPECT_EQ(out[0].note, "truncated by 5");
    EXPECT_EQ(receive(1).at(0), out[0].bytes);
}

TEST_F(JackSynth, OverlongAnswersCarryTheExtraBytes)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--overlong", "4"}));
    send(editRequest(3));
    std::vector<RecordLine> out = recorded("out", 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes.size(), 300u);
    EXPECT_EQ(out[0].note, "overlong by 4");
}

TEST_F(JackSynth, ForeignSysExGoesOutBeforeTheAnswer)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--foreign-sysex"}));
    send(enquiry(3));
    std::vector<RecordLine> out = recorded("out", 3);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].note, "foreign sysex");
    EXPECT_NE(out[0].bytes.at(1), 0x00);
    EXPECT_EQ(out[1].bytes.at(7), 0x0F);
    EXPECT_EQ(receive(3).size(), 3u);
}

TEST_F(JackSynth, ReversedGlobalsAreRecordedSecondDumpFirst)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--globals-reversed"}));
    send(enquiry(3));
    std::vector<RecordLine> out = recorded("out", 2);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes.at(7), 0x15);
    EXPECT_EQ(out[1].bytes.at(7), 0x0F);
}

TEST_F(JackSynth, ThrottledAnswersAreSpacedByTheirCableTime)
{
    ASSERT_NO_FATAL_FAILURE(launch({"--throttle"}));
    send(enquiry(3));
    std::vector<RecordLine> out = recorded("out", 2);
    ASSERT_EQ(out.size(), 2u);
    const std::vector<RecordLine> in = record("in");
    ASSERT_EQ(in.size(), 1u);
    // 281 bytes at 3125 bytes per second, then 297 more.
    EXPECT_GE(out[0].time - in[0].time, 281 / 3125.0 - 0.001);
    EXPECT_GE(out[1].time - out[0].time, 297 / 3125.0 - 0.001);
}

TEST_F(JackSynth, MemoryDumpedOnExitHoldsWhatWasWritten)
{
    char tmpl[] = "/tmp/synthsim-dump-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    ASSERT_NO_FATAL_FAILURE(launch({"--dump-on-exit", dir}));
    Bytes program = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x02, 0x05, 0};
    for (int i = 10; i < 296; ++i) program.push_back((unsigned char)(i & 0x7F));
    program.push_back(0xF7);
    send(program);
    ASSERT_EQ(recorded("in", 1).size(), 1u);
    EXPECT_EQ(sim_.stop(), 0);
    std::ifstream f(dir + "/programs-A.syx", std::ios::binary);
    Bytes first(297);
    f.read(reinterpret_cast<char*>(first.data()), 297);
    EXPECT_EQ(first, program);
    for (const char* name : {"globals.syx", "edit-buffers.syx", "programs-A.syx", "programs-B.syx",
                             "programs-C.syx", "programs-D.syx", "programs-E.syx", "programs-F.syx",
                             "programs-G.syx", "programs-H.syx", "performances-A.syx", "performances-B.syx",
                             "performances-C.syx", "performances-D.syx", "patterns.syx"})
        EXPECT_EQ(std::remove((dir + "/" + name).c_str()), 0) << name;
    ::rmdir(dir.c_str());
}

namespace {

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
    int status = 0;
    ::waitpid(owner, &status, 0);
    ASSERT_EQ(got, ssize_t(sizeof simPid));
    ASSERT_GT(simPid, 0) << "the owner started a synthesizer";
    bool gone = false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!(gone = processGone(simPid)) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!gone) ::kill(simPid, SIGKILL);
    EXPECT_TRUE(gone) << "an orphaned synthesizer would hold the test runner's output open";
}
