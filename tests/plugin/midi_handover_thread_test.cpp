// The hand-over in front of a client that cannot refuse a send: the senders' order is kept, a
// full hand-over refuses a sender that may not wait, and a close lets through only what the port
// takes in time, so that nothing meant for one port reaches the next.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>

#include "kit/plugin/IMidiHandOver.h"
#include "support/held_midi_port.h"
#include "support/kept_log.h"

namespace
{

using testsupport::HeldMidiPort;
using Bytes = std::vector<unsigned char>;

Bytes tagged(int sender, int seq)
{
    return {0xF0, (unsigned char)sender, (unsigned char)(seq & 0x7F), (unsigned char)(seq >> 7), 0xF7};
}

} // namespace

TEST(MidiHandOverThreads, SendsOfEveryThreadReachThePortInTheOrderTheyWereTaken)
{
    auto* port = new HeldMidiPort;
    IMidiHandOver out(port, 1024, std::chrono::seconds(20));
    ASSERT_TRUE(out.OpenPort(0, "out"));
    std::mutex callers; // the port layer's lock: one send at a time
    std::vector<Bytes> order;
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                Bytes m = tagged(t, i);
                std::lock_guard<std::mutex> hold(callers);
                // Even threads stand for the render call, which may not wait.
                if (out.Send(m.data(), m.size(), t % 2)) order.push_back(m);
            }
        });
    for (std::thread& s : senders) s.join();
    out.ClosePort();
    std::vector<Bytes> got;
    for (const HeldMidiPort::Taken& t : port->taken()) got.push_back(t.second);
    EXPECT_EQ(got, order);
    EXPECT_GE(order.size(), 600u) << "every send that may wait is taken";
}

TEST(MidiHandOverThreads, AFullHandOverRefusesTheRenderCallAtOnceAndKeepsOtherSendersWaitingForRoom)
{
    auto* port = new HeldMidiPort;
    IMidiHandOver out(port, 64, std::chrono::seconds(20));
    ASSERT_TRUE(out.OpenPort(0, "out"));
    port->hold(true);
    int taken = 0;
    for (int i = 0; i < 100; ++i) {
        Bytes m = tagged(0, i);
        if (!out.Send(m.data(), m.size(), false)) break;
        ++taken;
    }
    ASSERT_LT(taken, 100) << "a full hand-over refuses";
    EXPECT_GT(taken, 1);
    // The port is still held: a sender that may wait waits for room, and gets it once let go.
    bool sent = false;
    std::thread editor([&] {
        Bytes m = tagged(1, 0);
        sent = out.Send(m.data(), m.size(), true);
    });
    port->waitInside();
    port->hold(false);
    editor.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(port->waitTaken(size_t(taken) + 1));
    EXPECT_EQ(port->taken().back().second, tagged(1, 0));
    // Held past the wait, it is refused and logged.
    testsupport::KeptLog kept;
    port->hold(true);
    for (int i = 0; i < 100; ++i) {
        Bytes m = tagged(2, i);
        if (!out.Send(m.data(), m.size(), i < 99)) break;
    }
    std::vector<std::string> log = kept.take();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("takes no more"), std::string::npos) << log[0];
    port->hold(false);
}

TEST(MidiHandOverThreads, AClosingPortGetsWhatItTakesInTimeAndTheRestIsDroppedAndCounted)
{
    const struct {
        const char* what;
        bool held; // the port takes nothing until the close gives up
        int closeWaitMs;
        size_t reachFirstPort;
        const char* logged;
    } rows[] = {
        {"the port takes everything in time", false, 20000, 5, nullptr},
        {"the port is still taking the first at the close", true, 0, 1, "4 messages not sent"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto* port = new HeldMidiPort;
        IMidiHandOver out(port, 1024, std::chrono::milliseconds(row.closeWaitMs));
        ASSERT_TRUE(out.OpenPort(0, "out"));
        port->hold(row.held);
        for (int i = 0; i < 5; ++i) {
            Bytes m = tagged(0, i);
            ASSERT_TRUE(out.Send(m.data(), m.size(), true));
        }
        if (row.held) {
            ASSERT_TRUE(port->waitInside());
        }
        testsupport::KeptLog kept;
        std::thread closer([&out] { out.ClosePort(); });
        // Let go only once the close has begun: whatever the port takes later was too late.
        while (out.IsPortOpen()) std::this_thread::yield();
        port->hold(false);
        closer.join();
        ASSERT_TRUE(out.OpenPort(0, "out"));
        Bytes next = tagged(1, 0);
        ASSERT_TRUE(out.Send(next.data(), next.size(), true));
        ASSERT_TRUE(port->waitTaken(row.reachFirstPort + 1));
        out.ClosePort();
        std::vector<std::string> log = kept.take();
        std::vector<HeldMidiPort::Taken> expected;
        for (size_t i = 0; i < row.reachFirstPort; ++i) expected.emplace_back(1, tagged(0, int(i)));
        expected.emplace_back(2, next);
        EXPECT_EQ(port->taken(), expected);
        ASSERT_EQ(log.size(), row.logged ? 1u : 0u);
        if (row.logged) {
            EXPECT_NE(log[0].find(row.logged), std::string::npos) << log[0];
        }
    }
}

// A sender was told its message went once the hand-over took it: what the client then refuses
// is said in the log, with how many.
TEST(MidiHandOverThreads, WhatTheClientRefusesAfterTheHandOverIsCountedAndLogged)
{
    struct Refusing : HeldMidiPort {
        bool Send(const unsigned char* data, size_t size, bool mayWait) override
        {
            HeldMidiPort::Send(data, size, mayWait);
            return data[2] % 2 == 0; // odd sequence numbers refused
        }
    };
    auto* port = new Refusing;
    IMidiHandOver out(port, 1024, std::chrono::seconds(20));
    ASSERT_TRUE(out.OpenPort(0, "out"));
    port->hold(true); // all six queued behind the first before any is taken
    for (int i = 0; i < 6; ++i) {
        Bytes m = tagged(0, i);
        ASSERT_TRUE(out.Send(m.data(), m.size(), true));
    }
    ASSERT_TRUE(port->waitInside());
    testsupport::KeptLog kept;
    port->hold(false);
    ASSERT_TRUE(port->waitTaken(6));
    out.ClosePort();
    std::vector<std::string> log = kept.take();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("refused 3 messages"), std::string::npos) << log[0];
}

// A sender that holds the port layer's lock wakes the hand-over's thread only once it has let
// the lock go: woken under it, the thread could keep the lock held on a busy machine while the
// render call, which only tries it, drops its sends. The render call itself wakes it at once.
TEST(MidiHandOverThreads, TheThreadIsWokenOnlyOnceTheSendersLockIsGivenUpButAtOnceByTheRenderCall)
{
    const struct Row {
        bool defer;
        size_t takenUnderTheLock;
    } rows[] = {{true, 0}, {false, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.defer ? "a sender that may wait" : "the render call");
        auto* port = new HeldMidiPort;
        IMidiHandOver out(port, 1024, std::chrono::seconds(20));
        ASSERT_TRUE(out.OpenPort(0, "out"));
        const Bytes m = tagged(0, 1);
        {
            const IMidiHandOver::WakeAfterLock wake(row.defer);
            ASSERT_TRUE(out.Send(m.data(), m.size(), row.defer));
            if (row.takenUnderTheLock) {
                EXPECT_TRUE(port->waitTaken(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_EQ(port->taken().size(), row.takenUnderTheLock);
        }
        EXPECT_TRUE(port->waitTaken(1)) << "the wake owed was never paid";
    }
}
