// A running session: answers leave through the output thread in order, late answers and the
// throttled cable pace them, and every message in and out lands in the record.
#include "session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

using synthsim::Bytes;
using synthsim::Options;
using synthsim::Session;

namespace {

struct Capture {
    std::mutex lock;
    std::vector<std::pair<Bytes, std::chrono::steady_clock::time_point>> sent;
    void operator()(const Bytes& b)
    {
        std::lock_guard<std::mutex> g(lock);
        sent.emplace_back(b, std::chrono::steady_clock::now());
    }
    size_t count()
    {
        std::lock_guard<std::mutex> g(lock);
        return sent.size();
    }
};

Bytes enquiry() { return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x10, 0xF7}; }

std::string tempPath(const char* name)
{
    return "/tmp/synthsim-" + std::to_string(::getpid()) + "-" + name;
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string l;
    while (std::getline(in, l)) lines.push_back(l);
    return lines;
}

double msBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

Options device3() { Options o; o.deviceId = 3; return o; }

// A started session whose output lands in a capture.
class Running : public ::testing::Test {
protected:
    void run(const Options& o)
    {
        session_ = std::make_unique<Session>(o, [this](const Bytes& b) { cap_(b); });
        std::string err;
        ASSERT_TRUE(session_->start(err)) << err;
    }
    Session& s() { return *session_; }
    Capture cap_;
    std::unique_ptr<Session> session_;
};

} // namespace

TEST(SessionOutput, SendsTheAnswersInOrderAndRecordsBothDirections)
{
    Options o = device3();
    o.recordPath = tempPath("record1.txt");
    Capture cap;
    {
        Session s(o, [&cap](const Bytes& b) { cap(b); });
        std::string err;
        ASSERT_TRUE(s.start(err)) << err;
        s.onMessage(enquiry());
        s.output().drain(); // so that the record's order is fixed
        s.onMessage({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x04, 0x10, 0xF7});
        s.output().drain();
        ASSERT_EQ(cap.count(), 2u);
        EXPECT_EQ(cap.sent[0].first.size(), 281u);
        EXPECT_EQ(cap.sent[1].first.size(), 297u);
    }
    const std::vector<std::string> lines = readLines(o.recordPath);
    ASSERT_EQ(lines.size(), 4u);
    // "<seconds> <direction> <hex> # <note>"
    double t;
    char dir[8];
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "%lf %7s", &t, dir), 2);
    EXPECT_STREQ(dir, "in");
    EXPECT_NE(lines[0].find(" in F0 00 20 29 01 20 03 10 F7 # device-id enquiry: answered"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" out F0 00 20 29 01 20 03 0F 0F 5D"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(" out F0 00 20 29 01 20 03 15 28"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find(" in F0 00 20 29 01 20 04 10 F7 # ignored: addressed to device 4"), std::string::npos) << lines[3];
    std::remove(o.recordPath.c_str());
}

TEST_F(Running, ALateAnswerLeavesNoEarlierThanItsDelay)
{
    Options o = device3();
    o.replyDelayMs = 150;
    run(o);
    const auto asked = std::chrono::steady_clock::now();
    s().onMessage(enquiry());
    EXPECT_EQ(cap_.count(), 0u) << "nothing leaves at once";
    s().output().drain();
    ASSERT_EQ(cap_.count(), 2u);
    EXPECT_GE(msBetween(asked, cap_.sent[0].second), 150.0);
}

TEST_F(Running, ThrottledEachMessageTakesItsCableTimeAt3125BytesPerSecond)
{
    Options o = device3();
    o.throttle = true;
    run(o);
    const auto asked = std::chrono::steady_clock::now();
    s().onMessage(enquiry());
    s().output().drain();
    ASSERT_EQ(cap_.count(), 2u);
    // 281 bytes take 89.9 ms on the cable, the following 297 bytes another 95.0 ms.
    EXPECT_GE(msBetween(asked, cap_.sent[0].second), 281 / 3.125 - 1);
    EXPECT_GE(msBetween(cap_.sent[0].second, cap_.sent[1].second), 297 / 3.125 - 1);
}

TEST_F(Running, ScriptedMessagesLeaveThroughTheOutput)
{
    run(device3());
    std::ostringstream out;
    EXPECT_TRUE(s().runCommand("nrpn 1 0 84 30", out));
    EXPECT_TRUE(s().runCommand("pc 1 9", out));
    EXPECT_TRUE(s().runCommand("wait 0", out));
    ASSERT_EQ(cap_.count(), 4u);
    EXPECT_EQ(cap_.sent[0].first, (Bytes{0xB1, 99, 0}));
    EXPECT_EQ(cap_.sent[3].first, (Bytes{0xC1, 9}));
    EXPECT_TRUE(out.str().empty());
}

TEST_F(Running, StatsReportTheClockCountsAndBadCommandsSayWhy)
{
    run(device3());
    s().onMessage({0xFA});
    for (int i = 0; i < 48; ++i) s().onMessage({0xF8});
    s().onMessage({0xFC});
    std::ostringstream out;
    EXPECT_TRUE(s().runCommand("stats", out));
    EXPECT_NE(out.str().find("clock=48 since-start=48 start=1 stop=1 continue=0"), std::string::npos) << out.str();
    std::ostringstream bad;
    EXPECT_TRUE(s().runCommand("cc 99 1 1", bad));
    EXPECT_EQ(bad.str().rfind("error ", 0), 0u) << bad.str();
    EXPECT_FALSE(s().runCommand("quit", bad));
}

TEST_F(Running, OptionChangesMisbehaviourWhileRunning)
{
    run(device3());
    std::ostringstream out;
    EXPECT_TRUE(s().runCommand("option globals-reversed", out));
    EXPECT_NE(out.str().find("ok option globals-reversed"), std::string::npos);
    s().onMessage(enquiry());
    s().output().drain();
    ASSERT_EQ(cap_.count(), 2u);
    EXPECT_EQ(cap_.sent[0].first[7], 0x15);
    std::ostringstream bad;
    EXPECT_TRUE(s().runCommand("option device-id 99", bad));
    EXPECT_EQ(bad.str().rfind("error ", 0), 0u);
    EXPECT_EQ(s().synth().options().deviceId, 3);
}

TEST(SessionStart, FailsOnAnUnreadableSeedFileOrRecordPath)
{
    Options o = device3();
    o.loadFiles = {"/nonexistent/seed.syx"};
    Session a(o, [](const Bytes&) {});
    std::string err;
    EXPECT_FALSE(a.start(err));
    EXPECT_NE(err.find("seed.syx"), std::string::npos);
    Options r = device3();
    r.recordPath = "/nonexistent/dir/record.txt";
    Session b(r, [](const Bytes&) {});
    EXPECT_FALSE(b.start(err));
}

TEST_F(Running, AProgramChangePlayedOnThePanelIsFollowedByTheSynthesizerItself)
{
    run(device3());
    std::ostringstream out;
    // The global channel chooses a performance: the next edit-buffer request answers with it.
    EXPECT_TRUE(s().runCommand("pc 3 5", out));
    EXPECT_EQ(s().synth().selectedKind(), synthsim::SelectedKind::Performance);
    s().output().drain();
    s().onMessage({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x08, 0xF7});
    s().output().drain();
    ASSERT_EQ(cap_.count(), 2u);
    EXPECT_EQ(cap_.sent[0].first, (Bytes{0xC3, 5}));
    EXPECT_EQ(cap_.sent[1].first.size(), 381u);
    EXPECT_EQ(s().synth().counters().programChanges, 0) << "the panel's own change was not received";
    // Raw bytes only leave.
    EXPECT_TRUE(s().runCommand("raw C0 07", out));
    s().output().drain();
    EXPECT_EQ(s().synth().selectedKind(), synthsim::SelectedKind::Performance);
}
