// The follower's ALSA lister over a stand-in sequencer: which announcements wake the follower,
// and whose subscribers a port's name stands for. No sequencer is needed.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kit/plugin/IMidiAlsaLister.h"

namespace
{

using Names = std::vector<std::string>;

// Events the test puts in, read one by one; the subscribers of every port are the same list.
class FakeSeq : public IMidiAlsaSeq
{
public:
    void Put(int event)
    {
        std::lock_guard<std::mutex> hold(mLock);
        mEvents.push_back(event);
        mChanged.notify_all();
    }
    // Every event put in has been read and the reader waits for the next.
    bool Drained()
    {
        std::unique_lock<std::mutex> hold(mLock);
        return mChanged.wait_for(hold, std::chrono::seconds(5), [this] { return mEvents.empty() && mWaiting; });
    }
    int Next(int) override
    {
        std::unique_lock<std::mutex> hold(mLock);
        mWaiting = true;
        mChanged.notify_all();
        mChanged.wait(hold, [this] { return !mEvents.empty() || mInterrupted; });
        mWaiting = false;
        if (mEvents.empty()) return kNone;
        const int event = mEvents.front();
        mEvents.pop_front();
        return event;
    }
    void Interrupt() override
    {
        std::lock_guard<std::mutex> hold(mLock);
        mInterrupted = true;
        mChanged.notify_all();
    }
    bool Subscribers(int client, int port, bool reading, Names* names) override
    {
        asked = std::to_string(client) + ":" + std::to_string(port) + (reading ? " read" : " write");
        *names = subscribers;
        return true;
    }
    Names subscribers;
    std::string asked;

private:
    std::mutex mLock;
    std::condition_variable mChanged;
    std::deque<int> mEvents;
    bool mWaiting = false, mInterrupted = false;
};

class FixedNames : public IMidiPortLister
{
public:
    bool List(bool, Names* names) override
    {
        *names = {"Synth:Synth MIDI 1 24:0"};
        return true;
    }
    bool Tells() const override { return false; }
};

void Count(void* wakes)
{
    ++*static_cast<std::atomic<int>*>(wakes);
}

} // namespace

// Clients and ports that start, exit or change, subscriptions made or ended, and lost events wake
// the follower; the announce port's other traffic does not. A sequencer that fails wakes it once
// more, and from then on the follower looks by itself.
TEST(MidiAlsaLister, StartsExitsAndSubscriptionsWakeTheFollowerAndNothingElse)
{
    const struct {
        int event;
        int wakes;
    } table[] = {
        {SND_SEQ_EVENT_CLIENT_START, 1},    {SND_SEQ_EVENT_CLIENT_EXIT, 1},
        {SND_SEQ_EVENT_CLIENT_CHANGE, 1},   {SND_SEQ_EVENT_PORT_START, 1},
        {SND_SEQ_EVENT_PORT_EXIT, 1},       {SND_SEQ_EVENT_PORT_CHANGE, 1},
        {SND_SEQ_EVENT_PORT_SUBSCRIBED, 1}, {SND_SEQ_EVENT_PORT_UNSUBSCRIBED, 1},
        {IMidiAlsaSeq::kLost, 1},           {SND_SEQ_EVENT_NOTEON, 0},
        {SND_SEQ_EVENT_CLOCK, 0},           {SND_SEQ_EVENT_SYSEX, 0},
        {IMidiAlsaSeq::kNone, 0},
    };
    std::atomic<int> wakes{0};
    auto seq = std::make_unique<FakeSeq>();
    FakeSeq* events = seq.get();
    auto lister = IMakeAlsaLister(std::make_unique<FixedNames>(), std::move(seq), Count, &wakes);
    EXPECT_TRUE(lister->Tells());
    for (const auto& row : table) {
        const int before = wakes;
        events->Put(row.event);
        ASSERT_TRUE(events->Drained());
        EXPECT_EQ(wakes - before, row.wakes) << "event " << row.event;
    }
    Names names;
    EXPECT_TRUE(lister->List(true, &names));
    EXPECT_EQ(names, Names{"Synth:Synth MIDI 1 24:0"});

    const int before = wakes;
    events->Put(IMidiAlsaSeq::kFailed);
    for (int i = 0; i < 500 && lister->Tells(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(lister->Tells());
    EXPECT_EQ(wakes - before, 1);
}

// A port's subscribers are asked for by the numbers that end its name, as readers for an input
// (it reads from the device) and as writers for an output; a name without them has none to ask.
TEST(MidiAlsaLister, APortsSubscribersAreThoseOfTheNumbersItsNameEndsIn)
{
    const struct {
        const char* name;
        bool input;
        const char* asked; // empty: the lister cannot say
    } table[] = {
        {"Synth:Synth MIDI 1 24:0", true, "24:0 read"},
        {"Synth:Synth MIDI 1 130:3", false, "130:3 write"},
        {"Synth:Synth MIDI 1 24:", true, ""},
        {"Synth:Synth MIDI 1 :0", true, ""},
        {"Synth:Synth 2x4:0", true, ""},
        {"Synth:Synth 1024:0", true, ""},
        {"Synth:Synth13:0", true, ""},
        {"system:midi_capture_1", false, ""},
    };
    for (const auto& row : table) {
        auto seq = std::make_unique<FakeSeq>();
        FakeSeq* fake = seq.get();
        fake->subscribers = {"RtMidi Input Client 1-2:RtMidi Input"};
        auto lister = IMakeAlsaLister(std::make_unique<FixedNames>(), std::move(seq), nullptr, nullptr);
        Names peers;
        EXPECT_EQ(lister->Connections(row.input, row.name, &peers), *row.asked != 0) << row.name;
        EXPECT_EQ(fake->asked, row.asked) << row.name;
        if (*row.asked) {
            EXPECT_EQ(peers, fake->subscribers);
        }
    }
    // Where there is no sequencer: names as the library gives them, no word, nothing to say of connections.
    auto bare = IMakeAlsaLister(std::make_unique<FixedNames>(), nullptr, nullptr, nullptr);
    Names peers;
    EXPECT_FALSE(bare->Tells());
    EXPECT_FALSE(bare->Connections(true, "Synth:Synth MIDI 1 24:0", &peers));
}
