// A running session: what arrives is cut into messages, answers leave through the output
// thread in order, paced by late answers and the throttled cable, and every message in and
// out lands in the record.
#include "session.h"
#include "simwire.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <sstream>

using namespace simtest;
using synthsim::Options;
using synthsim::Session;
using Clock = std::chrono::steady_clock;

namespace {

// A started session whose output lands in a list.
class Running : public ::testing::Test {
protected:
    void run(Options o = Options{})
    {
        o.recordPath = dir_.file("record.txt");
        session_ = std::make_unique<Session>(o, [this](const Bytes& b) {
            std::lock_guard<std::mutex> g(lock_);
            sent_.emplace_back(b, Clock::now());
        });
        std::string err;
        ASSERT_TRUE(session_->start(err)) << err;
    }
    Session& s() { return *session_; }
    // Everything sent once the output is idle, with when it left.
    std::vector<std::pair<Bytes, Clock::time_point>> sent()
    {
        s().output().drain();
        std::lock_guard<std::mutex> g(lock_);
        return sent_;
    }
    std::vector<std::string> recordLines()
    {
        s().output().drain();
        std::vector<std::string> lines;
        std::istringstream in(testsupport::readText(dir_.file("record.txt")));
        for (std::string l; std::getline(in, l);) lines.push_back(l.substr(l.find(' ') + 1)); // without the time
        return lines;
    }

    testsupport::TempDir dir_{"synthsim"};
    std::mutex lock_;
    std::vector<std::pair<Bytes, Clock::time_point>> sent_;
    std::unique_ptr<Session> session_;
};

} // namespace

TEST_F(Running, ADeliveryIsCutIntoMessagesAnsweredInOrderAndRecordedBothWays)
{
    run();
    // The port layer joins what follows a SysEx without its F7 into one delivery.
    Bytes joined = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x09, 0x02, 0x05};
    for (const Bytes& m : {Bytes{0xB3, 0x62, 0x71}, enquiry()}) joined.insert(joined.end(), m.begin(), m.end());
    s().onMessage(joined);
    s().output().drain(); // so that the record's order is fixed
    s().onMessage(enquiry(4));
    EXPECT_EQ(sent().size(), 2u);
    const std::vector<std::string> lines = recordLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "in F0 00 20 29 01 20 09 02 05 # ignored: no F7 at the end");
    EXPECT_EQ(lines[1], "in B3 62 71 # cc 98 = 113");
    EXPECT_EQ(lines[2], "in F0 00 20 29 01 20 09 10 F7 # device-id enquiry: answered");
    EXPECT_EQ(lines[3].rfind("out F0 00 20 29 01 20 09 0F 0F 5D", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4].rfind("out F0 00 20 29 01 20 09 15 28", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5], "in F0 00 20 29 01 20 04 10 F7 # ignored: addressed to device 4");
}

TEST_F(Running, LateAndThrottledAnswersLeaveNoEarlierThanTheirDelayAndCableTime)
{
    Options o;
    o.replyDelayMs = 150, o.throttle = true;
    run(o);
    const auto asked = Clock::now();
    s().onMessage(enquiry());
    const auto out = sent();
    ASSERT_EQ(out.size(), 2u);
    // 281 bytes take 89.9 ms on the cable at 3125 bytes per second, 297 bytes 95.0 ms more.
    auto ms = [asked](Clock::time_point t) { return std::chrono::duration<double, std::milli>(t - asked).count(); };
    EXPECT_GE(ms(out[0].second), 150 + 281 / 3.125 - 1);
    EXPECT_GE(ms(out[1].second), 150 + (281 + 297) / 3.125 - 1);
}

TEST_F(Running, ThePanelPlaysItsMessagesAndSendsThoseTheGlobalSettingsTransmit)
{
    run();
    std::ostringstream out;
    EXPECT_TRUE(s().runCommand("pc 9 5", out)); // the global channel: a performance, sent
    s().onMessage(editRequest());
    EXPECT_EQ(sent().at(0).first, (Bytes{0xC9, 5}));
    EXPECT_EQ(sent().at(1).first.size(), 381u) << "the panel's choice is what the request returns";
    // Transmit off for both kinds: the panel still plays, nothing leaves, the record says so.
    Bytes g2 = wire(0x15, {}, 297, 1);
    g2[24] = 0x00;
    s().onMessage(g2);
    EXPECT_TRUE(s().runCommand("nrpn 9 0 113 79", out) && s().runCommand("pc 2 7", out) && out.str().empty());
    EXPECT_TRUE(s().synth().selectedPart() == 2 && sent().size() == 2u);
    EXPECT_EQ(recordLines().back(), "panel C2 07 # program change 7: part 3 (bank A); not transmitted (off in the "
                                    "global settings)");
}
