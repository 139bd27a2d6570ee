// The ways the simulated synthesizer can be told to misbehave, as the answers show them.
#include "synth.h"

#include <gtest/gtest.h>

using synthsim::Bytes;
using synthsim::Handled;
using synthsim::Options;
using synthsim::Synth;

namespace {

Bytes enquiry() { return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x10, 0xF7}; }
Bytes storedRequest(uint8_t code, uint8_t slot) { return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x13, code, slot, 0xF7}; }

Options with(void (*set)(Options&))
{
    Options o;
    o.deviceId = 3;
    set(o);
    return o;
}

} // namespace

TEST(Silent, AnswersNothingButStillStoresWrites)
{
    Synth s(with([](Options& o) { o.silent = true; }));
    Handled h = s.receive(enquiry(), 0);
    EXPECT_TRUE(h.replies.empty());
    EXPECT_NE(h.note.find("silent"), std::string::npos) << h.note;
    EXPECT_TRUE(s.receive(storedRequest(0x05, 0), 0).replies.empty());
    EXPECT_EQ(s.counters().requestsUnanswered, 2);
    EXPECT_EQ(s.counters().requestsAnswered, 0);
}

TEST(AnswerOnTry, IgnoresEachRequestUntilItsNthArrival)
{
    Synth s(with([](Options& o) { o.answerOnTry = 3; }));
    EXPECT_TRUE(s.receive(storedRequest(0x05, 1), 0).replies.empty());
    EXPECT_TRUE(s.receive(storedRequest(0x05, 1), 0).replies.empty());
    // Another slot counts its own tries.
    EXPECT_TRUE(s.receive(storedRequest(0x05, 2), 0).replies.empty());
    Handled third = s.receive(storedRequest(0x05, 1), 0);
    EXPECT_EQ(third.replies.size(), 1u);
    EXPECT_EQ(s.receive(storedRequest(0x05, 1), 0).replies.size(), 1u) << "and every time after";
    EXPECT_NE(s.receive(storedRequest(0x05, 2), 0).note.find("try 2 of 3"), std::string::npos);
}

TEST(ReplyDelay, IsCarriedByEveryAnswerMessage)
{
    Synth s(with([](Options& o) { o.replyDelayMs = 750; }));
    Handled h = s.receive(enquiry(), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    EXPECT_EQ(h.replies[0].delayMs, 750);
    EXPECT_EQ(h.replies[1].delayMs, 750);
}

TEST(Truncate, CutsBytesBeforeTheF7OfEveryAnswer)
{
    Synth s(with([](Options& o) { o.truncateBy = 10; }));
    Handled h = s.receive(storedRequest(0x05, 0), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    const Bytes& d = h.replies[0].bytes;
    EXPECT_EQ(d.size(), 287u);
    EXPECT_EQ(d.back(), 0xF7);
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 8), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x02}));
}

TEST(Truncate, NeverCutsTheStartOrTheEnd)
{
    Synth s(with([](Options& o) { o.truncateBy = 100000; }));
    Handled h = s.receive(enquiry(), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    EXPECT_EQ(h.replies[0].bytes, (Bytes{0xF0, 0xF7}));
}

TEST(Overlong, AddsZeroBytesBeforeTheF7)
{
    Synth s(with([](Options& o) { o.overlongBy = 3; }));
    Handled h = s.receive(enquiry(), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    const Bytes& g1 = h.replies[0].bytes;
    EXPECT_EQ(g1.size(), 284u);
    EXPECT_EQ(Bytes(g1.end() - 4, g1.end()), (Bytes{0x00, 0x00, 0x00, 0xF7}));
    EXPECT_EQ(h.replies[1].bytes.size(), 300u);
}

TEST(ForeignSysEx, GoesOutBeforeTheAnswerAndIsNotOfTheFamily)
{
    Synth s(with([](Options& o) { o.foreignSysEx = true; }));
    Handled h = s.receive(enquiry(), 0);
    ASSERT_EQ(h.replies.size(), 3u);
    const Bytes& f = h.replies[0].bytes;
    EXPECT_EQ(f.front(), 0xF0);
    EXPECT_EQ(f.back(), 0xF7);
    EXPECT_FALSE(f.size() > 3 && f[1] == 0x00 && f[2] == 0x20 && f[3] == 0x29);
    EXPECT_EQ(h.replies[1].bytes[7], 0x0F);
    EXPECT_EQ(h.replies[2].bytes[7], 0x15);
}

TEST(GlobalsReversed, SendsGlobalSettings2First)
{
    Synth s(with([](Options& o) { o.globalsReversed = true; }));
    Handled h = s.receive(enquiry(), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    EXPECT_EQ(h.replies[0].bytes[7], 0x15);
    EXPECT_EQ(h.replies[0].bytes.size(), 297u);
    EXPECT_EQ(h.replies[1].bytes[7], 0x0F);
    EXPECT_EQ(h.replies[1].bytes.size(), 281u);
}

TEST(Misbehaviour, ChangedAtRunTimeTakesEffectOnTheNextRequest)
{
    Synth s(with([](Options&) {}));
    EXPECT_EQ(s.receive(enquiry(), 0).replies.size(), 2u);
    Options o = s.options();
    o.silent = true;
    s.setOptions(o);
    EXPECT_TRUE(s.receive(enquiry(), 0).replies.empty());
}

TEST(Clock, TicksStartsStopsAndContinuesAreCountedWithTheirTimes)
{
    Synth s(with([](Options&) {}));
    s.receive({0xF8}, 0.5);
    s.receive({0xFA}, 1.0);
    for (int i = 0; i < 24; ++i) s.receive({0xF8}, 1.0 + i * 0.02);
    s.receive({0xFC}, 2.0);
    s.receive({0xFB}, 2.5);
    s.receive({0xF8}, 2.6);
    const synthsim::Counters c = s.counters();
    EXPECT_EQ(c.clockTicks, 26);
    EXPECT_EQ(c.ticksSinceStart, 25);
    EXPECT_EQ(c.starts, 1);
    EXPECT_EQ(c.stops, 1);
    EXPECT_EQ(c.continues, 1);
    EXPECT_DOUBLE_EQ(c.firstTickTime, 0.5);
    EXPECT_DOUBLE_EQ(c.lastTickTime, 2.6);
    EXPECT_DOUBLE_EQ(c.lastStartTime, 1.0);
    EXPECT_DOUBLE_EQ(c.lastStopTime, 2.0);
}

TEST(TruncateAndOverlong, TogetherCutThenPadAndTheNoteNamesBoth)
{
    Synth s(with([](Options& o) {
        o.truncateBy = 10;
        o.overlongBy = 4;
    }));
    Handled h = s.receive(storedRequest(0x05, 0), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    EXPECT_EQ(h.replies[0].bytes.size(), 297u - 10u + 4u);
    EXPECT_EQ(h.replies[0].note, "truncated by 10, overlong by 4");
}
