// The external port layer without a MIDI system, the input callback fed directly, and sends.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "kit/plugin/IMidiHandOver.h"
#include "kit/plugin/IMidiInDelivery.h"
#include "kit/plugin/IMidiJack.h"
#include "midiports_test_plug.h"
#include "support/kept_log.h"

namespace
{

void Feed(PortPlug& plug, std::vector<unsigned char> bytes)
{
    IPluginBase::MIDICallback(0.25, &bytes, &plug);
}

// The output clients a plug-in made: the first `spends` of them fail their open as a failed
// activation does, and are spent from then on.
struct MadeClients {
    size_t spends;
    std::vector<std::string> names;
    int spentOpens = 0; // opens asked of a client already spent
};

// An output client that lists the device's port and one of its own, under the name it was made with.
class SpendingClient : public IMidiClient
{
public:
    SpendingClient(const std::string& name, MadeClients* made) : mName(name), mMade(made) { made->names.push_back(name); }
    unsigned PortCount() override { return 2; }
    std::string PortName(unsigned n) override { return n == 0 ? "synth:in" : mName + ":RtMidi Output"; }
    bool OpenPort(unsigned, const char*) override
    {
        if (mSpent) ++mMade->spentOpens;
        mSpent = mSpent || mMade->names.size() <= mMade->spends;
        return mOpen = !mSpent;
    }
    void ClosePort() override { mOpen = false; }
    bool IsPortOpen() override { return mOpen; }
    bool Spent() const override { return mSpent; }
    bool Send(const unsigned char*, size_t, bool) override { return false; }
    size_t LargestMessage() const override { return 3; }
    bool SetCallback(Callback, void*) override { return false; }

private:
    const std::string mName;
    MadeClients* const mMade;
    bool mSpent = false, mOpen = false;
};

class SpendingPlug : public PortPlug
{
public:
    // The most derived class closes the ports: the follower calls this object's own functions.
    ~SpendingPlug() override { CloseExternalMIDIPorts(); }
    // handOver: the client sends through a hand-over, as the library's output does.
    SpendingPlug(MadeClients* made, bool follow, bool handOver = false)
    {
        mMakeMidiClient = [made, handOver](bool, const std::string& name) -> IMidiClient* {
            IMidiClient* client = new SpendingClient(name, made);
            return handOver ? new IMidiHandOver(client) : client;
        };
        // Held, only the test's own opens make clients; running, its retries make some too.
        if (!follow) mFollower.Stop();
    }
    // Every open that makes a client holds the ports lock; the follower's holds no plug-in mutex.
    std::vector<std::string> OutNamesNow()
    {
        const std::lock_guard<std::recursive_mutex> ports(mPortsLock);
        return CurrentMidiNames(false);
    }
    std::recursive_mutex& PortsLock() { return mPortsLock; }
};

} // namespace

// Without a JACK server the library's JACK client keeps its transfer buffers when it is deleted;
// that is the library's leak, not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:jack_ringbuffer_create\n";
}

// A JACK server name nobody runs, libjack told not to start one; with "jack" forced, or in the
// usual order when this machine has no ALSA sequencer either.
TEST(NoMidiSystem, ListsHoldOnlyTheNoDeviceEntryOpeningOpensNothingAndSendsReturnFalse)
{
    // This test program opens no other port, so the environment need not be put back.
    setenv("JACK_DEFAULT_SERVER", "qor-no-such-server-midiports", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    for (const char* api : {"jack", (const char*)nullptr}) {
        if (!api && access("/dev/snd/seq", F_OK) == 0) continue; // this machine has an ALSA sequencer
        api ? setenv("QOR_MIDI_API", api, 1) : unsetenv("QOR_MIDI_API");
        PortPlug plug;
        std::vector<std::string>* outs = plug.getExternalMIDIOutNames();
        EXPECT_EQ(*outs, std::vector<std::string>{"Select MIDI Device"});
        EXPECT_EQ(*plug.getExternalMIDIInNames(), std::vector<std::string>{"Select MIDI Device"});
        EXPECT_EQ(plug.getExternalMIDIOutNames(), outs) << "the list is made once and kept";
        EXPECT_EQ(plug.getExternalMIDIOutDevice("Select MIDI Device"), 0);
        EXPECT_EQ(plug.getExternalMIDIInDevice("some synth"), -1);
        const struct { const char* name; int out, in; } table[] = {
            {"Select MIDI Device", 0, 0}, {"virtual output", 1, -1}, {"virtual input", -1, 1}, {"some synth", -1, -1}};
        for (const auto& row : table) {
            EXPECT_EQ(plug.GetMIDIOutPortNumber(row.name), row.out) << row.name;
            EXPECT_EQ(plug.GetMIDIInPortNumber(row.name), row.in) << row.name;
        }
        EXPECT_EQ(plug.GetMIDIOutPortNumber(nullptr), -1);
        for (const char* name : {"some synth", "Select MIDI Device", (const char*)nullptr}) {
            int out = 1, in = 1;
            EXPECT_EQ(plug.setExternalMIDIOut(out, name) + plug.setExternalMIDIIn(in, name) + out + in, 0);
        }
        IMidiMsg cc(0, 0xB0, 7, 100);
        unsigned char sysex[] = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
        EXPECT_FALSE(plug.SendMidiMsg(&cc));
        EXPECT_FALSE(plug.SendMidiSysex(sysex, int(sizeof sysex)));
        EXPECT_FALSE(plug.SendPatchSysex(sysex, int(sizeof sysex)));
        EXPECT_FALSE(plug.initializeVirtualOutput("virtual output")) << "no client could be made";
    }
}

// The follower retries a chosen device that failed to open at once, and so spends fresh
// clients of its own between the user's opens: with it running, only the bound is fixed. Past
// the bound a spent client is never asked to open again: it would say so at every retry.
TEST(SpentMidiClient, ThreeFreshClientsUnderNewNamesFollowFailedActivationsThenOneLineAndNoMore)
{
    const size_t kEvery = 1000; // more than are ever made
    const struct {
        bool follow;
        size_t spends; // clients whose activation fails
        bool handOver;
    } table[] = {{false, kEvery, false}, {true, kEvery, false}, {false, 1, false},
                 {true, 1, false},       {false, kEvery, true}, {true, 1, true}};
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.follow ? "follower running" : "follower held") +
                     (row.spends == kEvery ? ", every activation fails" : ", the first activation fails") +
                     (row.handOver ? ", behind a hand-over" : ""));
        MadeClients made{row.spends, {}};
        const size_t most = std::min<size_t>(row.spends + 1, 4); // the first client and three fresh
        testsupport::KeptLog log; // outlives the plug-in, whose follower may log until it stops
        SpendingPlug plug(&made, row.follow, row.handOver);
        plug.getExternalMIDIOutNames();
        for (size_t open = 1; open <= 5; ++open) {
            int port = 1;
            EXPECT_EQ(plug.setExternalMIDIOut(port, "synth:in"), open > row.spends ? 1 : 0) << "open " << open;
            // The port is listed: one no client could open is not away. The follower's own opens may
            // have changed it meanwhile.
            if (!row.follow) {
                EXPECT_EQ(plug.ExternalMIDIRefused(false), open <= row.spends) << "open " << open;
            }
            size_t count;
            {
                const std::lock_guard<std::recursive_mutex> ports(plug.PortsLock());
                count = made.names.size();
            }
            if (row.follow) {
                EXPECT_GE(count, std::min(open, most)) << "clients made by open " << open;
                EXPECT_LE(count, most) << "clients made by open " << open;
            } else {
                EXPECT_EQ(count, std::min(open, most)) << "clients made by open " << open;
            }
            EXPECT_EQ(plug.OutNamesNow(), (std::vector<std::string>{"Select MIDI Device", "synth:in"}))
                << "the editor's own port listed after open " << open;
        }
        int spentOpens;
        {
            const std::lock_guard<std::recursive_mutex> ports(plug.PortsLock());
            std::sort(made.names.begin(), made.names.end());
            EXPECT_EQ(std::unique(made.names.begin(), made.names.end()), made.names.end()) << "a client name used twice";
            spentOpens = made.spentOpens;
        }
        EXPECT_EQ(spentOpens, 0) << "a spent client was asked to open";
        if (!row.follow) {
            int port = 1;
            EXPECT_EQ(plug.setExternalMIDIOut(port, "gone:in"), 0);
            EXPECT_FALSE(plug.ExternalMIDIRefused(false)) << "a port that is not listed is away";
        }
        unsigned fresh = 0, capped = 0;
        for (const auto& line : log.lines()) {
            fresh += line.second.find("a fresh client") != std::string::npos;
            capped += line.second.find("none more until") != std::string::npos;
        }
        EXPECT_EQ(fresh, most - 1);
        EXPECT_EQ(capped, row.spends == kEvery ? 1u : 0u);
    }
}

TEST(MidiInputCallback, NothingIsDeliveredWithoutAnOpenPortOrMessageAndAPlugInFaultStaysOnTheMidiThread)
{
    PortPlug plug;
    Feed(plug, {0xB0, 1, 2});
    plug.SetDelivering(true);
    std::vector<unsigned char> empty, cc = {0xB0, 1, 2};
    IPluginBase::MIDICallback(0.0, &empty, &plug);
    IPluginBase::MIDICallback(0.0, &cc, nullptr);
    IPluginBase::MIDICallback(0.0, nullptr, &plug);
    plug.onDelivery = [] { throw std::runtime_error("plug-in fault"); };
    EXPECT_NO_THROW(Feed(plug, {0xB0, 1, 3}));
    plug.onDelivery = nullptr;
    for (unsigned char timing : {0xF8, 0xFE, 0xF1}) Feed(plug, {timing, 0x10});
    Feed(plug, {0xB0, 1, 4});
    plug.SetDelivering(false);
    Feed(plug, {0xB0, 1, 5});
    std::vector<Delivered> seen = plug.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].bytes[2], 4) << "delivery goes on after the fault";
}

// The library delivers on its own thread while the host's main thread closes the ports.
TEST(MidiInputCallback, ClosingWaitsForADeliveryInProgressAndStopsLaterOnes)
{
    PortPlug plug;
    plug.SetDelivering(true);
    std::atomic<bool> inside{false}, finished{false};
    plug.onDelivery = [&] {
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        finished = true;
    };
    std::thread midiThread([&] { Feed(plug, {0xB0, 1, 2}); });
    while (!inside) std::this_thread::yield();
    plug.CloseExternalMIDIPorts();
    EXPECT_TRUE(finished) << "closing returned while a delivery was still running";
    midiThread.join();
    plug.onDelivery = nullptr;
    Feed(plug, {0xB0, 1, 3});
    EXPECT_EQ(plug.Seen().size(), 1u);
}

// A host's call holds the plug-in mutex while it closes the input and then waits for the
// delivering thread, as a client's close does: a delivery waiting for the mutex gives up.
TEST(MidiInputCallback, ADeliveryWaitingForThePlugInGivesUpWhenAHostsCallClosesItsPort)
{
    PortPlug plug;
    plug.SetDelivering(true);
    std::atomic<bool> coming{false};
    plug.mBeforeInputDelivery = [&] { coming = true; };
    {
        KIT_MutexLock host(plug.GetMutex());
        std::thread midiThread([&] { Feed(plug, {0xB0, 1, 2}); });
        while (!coming) std::this_thread::yield();
        int port = 0;
        EXPECT_EQ(plug.setExternalMIDIIn(port, QOR_SELECT_MIDI_DEVICE), 0);
        midiThread.join();
    }
    EXPECT_TRUE(plug.Seen().empty()) << "a delivery ran while the host's call held the plug-in";
}

namespace {

// Refuses messages on channel 16 and remembers what it was asked to send.
class ListSendPlug : public PortPlug {
public:
    std::vector<int> asked;
    bool SendMidiMsg(IMidiMsg* msg) override
    {
        asked.push_back(msg->mData1);
        return msg->Channel() != 15;
    }
};

} // namespace

TEST(MidiSend, BadArgumentsSendNothingAndOneRefusalInAListMakesTheResultFalse)
{
    ListSendPlug plug;
    unsigned char b[] = {0x7E};
    for (bool sent : {plug.SendExternalBytes(nullptr, 3), plug.SendExternalBytes(b, 0), plug.SendExternalBytes(b, size_t(-1)),
                      plug.SendExternalSysex(b, -5), plug.SendExternalSysex(nullptr, 4), plug.SendExternalMidiMsg(nullptr),
                      plug.SendMidiSysex2({})})
        EXPECT_FALSE(sent);
    KIT_TypedBuf<IMidiMsg> msgs(16);
    EXPECT_TRUE(plug.SendMidiMsgs(&msgs)) << "an empty buffer";
    msgs.Add(IMidiMsg(0, 0xB0, 1, 0));
    msgs.Add(IMidiMsg(0, 0xBF, 2, 0));
    msgs.Add(IMidiMsg(0, 0xC0, 3, 0));
    EXPECT_FALSE(plug.SendMidiMsgs(&msgs));
    EXPECT_EQ(plug.asked, (std::vector<int>{1, 2, 3})) << "a refusal does not stop the rest";
}

// A project keeps 32 characters of a device name; the port it stands for is found again.
TEST(StoredPortName, AnExactNameWinsElseOnePortBeginningWithAKeptNameAndNeverAGuess)
{
    const std::string kept(32, 'k'), other(32, 'o');
    const std::vector<std::string> names = {"Select MIDI Device", kept + ":one", other + ":a", other + ":b",
                                            kept.substr(0, 31), "short"};
    const struct {
        std::string stored;
        int index;
        const char* why;
    } table[] = {
        {"Select MIDI Device", 0, ""},
        {"short", 5, ""},
        {kept, 1, ""},
        {kept.substr(0, 31), 4, ""},           // a name shorter than a project keeps is whole
        {kept.substr(0, 30), -1, ""},          // and is never taken as the start of another
        {other, -1, "2 ports begin with"},     // either could be the one saved
        {std::string(32, 'x'), -1, "no port is called or begins with"},
    };
    for (const auto& row : table) {
        std::string why;
        EXPECT_EQ(IMidiMatchStoredName(names, row.stored.c_str(), &why), row.index) << row.stored;
        EXPECT_EQ(why.rfind(row.why, 0), 0u) << row.stored << ": " << why;
        EXPECT_EQ(why.empty(), *row.why == 0) << row.stored;
    }
    EXPECT_EQ(IMidiMatchStoredName(names, nullptr, nullptr), -1);
}

// A followed device is found again when it comes back, also under other client and port
// numbers; a name that could be either of two is no match, and a port that was listed beside the
// followed one while it was there is another device, never taken for it.
TEST(FollowedPortName, ADeviceBackUnderOtherNumbersIsFoundAndNeverATwinThatStayedOrOneOfTwo)
{
    const std::vector<std::string> names = {
        "Select MIDI Device", "Synth:Synth MIDI 1 28:0", "Twin:Twin 20:0", "Twin:Twin 21:0", "fol:in",
        "Pad:Pad13:0",        "Solo:Solo 30:0"};
    using Seen = std::vector<std::string>;
    const struct {
        std::string chosen;
        Seen seen; // listed with the chosen port while it was there
        int index;
        const char* why;
    } table[] = {
        {"Synth:Synth MIDI 1 28:0", {}, 1, ""},
        {"Synth:Synth MIDI 1 24:0", {}, 1, ""}, // back with another client number
        {"Synth:Synth MIDI 1 24:1", {}, 1, ""},
        {"Twin:Twin 24:0", {}, -1, "2 ports are called \"Twin:Twin\""},
        {"fol:in", {}, 4, ""},
        {"Gone:Gone 24:0", {}, -1, ""},
        {"Pad:Pad12:0", {}, -1, ""}, // numbers not set off by a space belong to the name
        {"Synth:Synth MIDI 1 :0", {}, -1, ""},
        // Never seen present, as after a recall once the clients were numbered anew: any name.
        {"Solo:Solo 24:0", {}, 6, ""},
        // The one that was there all along is another of the same kind.
        {"Solo:Solo 24:0", {"Solo:Solo 24:0", "Solo:Solo 30:0"}, -1, ""},
        {"Twin:Twin 19:0", {"Twin:Twin 19:0", "Twin:Twin 20:0"}, 3, ""},
        {"Twin:Twin 20:0", {"Twin:Twin 20:0", "Twin:Twin 21:0"}, 2, ""}, // back under its own numbers
        {"Twin:Twin 24:0", {"Synth:Synth MIDI 1 28:0"}, -1, "2 ports are called"},
    };
    for (const auto& row : table) {
        std::string why;
        const std::string trace = row.chosen + " seen with " + std::to_string(row.seen.size());
        EXPECT_EQ(IMidiMatchFollowedName(names, row.chosen, row.seen, &why), row.index) << trace;
        EXPECT_EQ(why.rfind(row.why, 0), 0u) << trace << ": " << why;
        EXPECT_EQ(why.empty(), *row.why == 0) << trace;
    }
}

// The queue between the JACK server's thread and ours: records of many sizes pass it from one
// thread to another whole and in order, round and round its end, and a full queue refuses.
TEST(MidiByteQueue, RecordsArriveWholeAndInOrderAcrossTheEndAndAFullQueueRefuses)
{
    IMidiByteQueue queue(256);
    std::vector<unsigned char> big(300, 1);
    uint32_t head = 300;
    EXPECT_FALSE(queue.Write(&head, sizeof head, big.data(), big.size())) << "larger than the queue";
    const int kRecords = 5000;
    auto record = [](int i) { return std::vector<unsigned char>(size_t(1 + i % 97), (unsigned char)i); };
    std::thread writer([&] {
        for (int i = 0; i < kRecords; ++i) {
            std::vector<unsigned char> r = record(i);
            uint32_t size = uint32_t(r.size());
            while (!queue.Write(&size, sizeof size, r.data(), r.size())) std::this_thread::yield();
        }
    });
    int bad = 0;
    for (int i = 0; i < kRecords; ++i) {
        uint32_t size = 0;
        while (queue.ReadSpace() < sizeof size) std::this_thread::yield();
        queue.Peek(&size, sizeof size);
        std::vector<unsigned char> r(size);
        queue.Peek(r.data(), size, sizeof size);
        queue.Drop(sizeof size + size);
        if (r != record(i)) ++bad;
    }
    writer.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(queue.ReadSpace(), 0u);
}

namespace
{

// An input whose peer sends the moment it connects: a message arrives on a thread of the
// client's while the open is still under way. When wrong, the port that opened turns out to
// carry another name.
class TalkingPort : public IMidiClient
{
public:
    TalkingPort(bool wrong) : mWrong(wrong) {}
    ~TalkingPort() override { ClosePort(); }
    unsigned PortCount() override { return 1; }
    std::string PortName(unsigned number) override { return number ? "" : mOpen && mWrong ? "another synth" : "synth"; }
    bool OpenPort(unsigned, const char*) override
    {
        mOpen = true;
        mState = kSending;
        mThread = std::thread([this] {
            std::vector<unsigned char> cc = {0xB0, 1, (unsigned char)++mOpens};
            mCallback(0.0, &cc, mUser);
            Settle(kDone);
        });
        // Until the message is either waiting to be delivered or done with.
        std::unique_lock<std::mutex> hold(mLock);
        mWake.wait(hold, [this] { return mState != kSending; });
        return true;
    }
    void ClosePort() override
    {
        mOpen = false;
        if (mThread.joinable()) mThread.join();
    }
    bool IsPortOpen() override { return mOpen; }
    bool Send(const unsigned char*, size_t, bool) override { return false; }
    size_t LargestMessage() const override { return 0; }
    bool SetCallback(Callback callback, void* user) override
    {
        mCallback = callback;
        mUser = user;
        return true;
    }
    // The delivery has read which port is open and waits to go in.
    void Waiting() { Settle(kWaiting); }

private:
    enum State { kSending, kWaiting, kDone };
    void Settle(State s)
    {
        std::lock_guard<std::mutex> hold(mLock);
        if (mState == kSending) mState = s;
        mWake.notify_all();
    }
    const bool mWrong;
    std::atomic<bool> mOpen{false};
    int mOpens = 0;
    Callback mCallback = nullptr;
    void* mUser = nullptr;
    std::thread mThread;
    std::mutex mLock;
    std::condition_variable mWake;
    State mState = kSending;
};

} // namespace

TEST(MidiInputOpen, WhatThePortSendsAsItConnectsIsDeliveredUnlessThePortTurnsOutWrong)
{
    const struct {
        const char* what;
        bool wrong;
        int opened;
        size_t delivered;
    } rows[] = {
        {"the port named", false, 1, 1},
        {"a port that turns out to be another", true, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PortPlug plug;
        auto* port = new TalkingPort(row.wrong);
        plug.UseInput(port, "synth");
        plug.mBeforeInputDelivery = [port] { port->Waiting(); };
        int index = 1;
        EXPECT_EQ(plug.setExternalMIDIIn(index, "synth"), row.opened);
        plug.WaitFor([&](const std::vector<Delivered>& s) { return s.size() >= row.delivered; }, 20000);
        plug.CloseExternalMIDIPorts();
        EXPECT_EQ(plug.Seen().size(), row.delivered);
    }
}

namespace
{

// An input like the MIDI library's: the test stands for the system's thread, which hands
// messages in at any time; they reach the plug-in through the delivery.
class LibraryLikeInput : public IMidiClient
{
public:
    explicit LibraryLikeInput(size_t queueBytes) : mDelivery(queueBytes) {}
    ~LibraryLikeInput() override { ClosePort(); }
    unsigned PortCount() override { return 1; }
    std::string PortName(unsigned number) override { return number ? "" : "synth"; }
    bool OpenPort(unsigned, const char*) override
    {
        mDelivery.Start();
        return mOpen = true;
    }
    void ClosePort() override
    {
        mOpen = false;
        mDelivery.Stop();
    }
    bool IsPortOpen() override { return mOpen; }
    bool Send(const unsigned char*, size_t, bool) override { return false; }
    size_t LargestMessage() const override { return 0; }
    bool SetCallback(Callback, void*) override { return false; }
    bool SetStampedCallback(StampedCallback callback, const std::atomic<uint32_t>* serial, void* user) override
    {
        mDelivery.SetCallback(callback, serial, user);
        return true;
    }
    void Arrive(unsigned char value)
    {
        const unsigned char cc[] = {0xB0, 1, value};
        mDelivery.Arrived(0.0, cc, sizeof cc);
    }

private:
    IMidiInDelivery mDelivery;
    std::atomic<bool> mOpen{false};
};

// Deliveries stop here, on the delivering thread before it takes the plug-in, until it opens.
struct Gate {
    std::promise<void> reach, open;
    std::future<void> reached = reach.get_future();
    std::shared_future<void> opened = open.get_future().share();
    std::atomic<bool> first{true}, passed{false};
    void Pass()
    {
        if (first.exchange(false)) reach.set_value();
        opened.wait();
        passed = true;
    }
};

} // namespace

// The system's thread only queues; a thread of ours hands each message on with the opening it
// came through, and a close ends that thread.
TEST(MidiInputDelivery, AMessageReachesOnlyTheOpeningItCameThroughAFullQueueCountsAndACloseEndsTheThread)
{
    using Run = std::function<void(PortPlug&, LibraryLikeInput&, Gate&)>;
    auto closeInput = [](PortPlug& plug) {
        int port = 0;
        EXPECT_EQ(plug.setExternalMIDIIn(port, QOR_SELECT_MIDI_DEVICE), 0);
    };
    const struct {
        const char* what;
        size_t queueBytes;
        Run run;
        std::vector<int> delivered; // the values of what reached the plug-in
        std::vector<std::string> log;
    } rows[] = {
        {"one queued under an opening is not handed to the next",
         4096,
         [](PortPlug& plug, LibraryLikeInput& in, Gate& gate) {
             in.Arrive(1);
             gate.reached.wait();
             in.Arrive(2);
             plug.SetLiveOpening(2);
             gate.open.set_value();
             in.Arrive(3);
             plug.WaitFor([](const std::vector<Delivered>& s) { return !s.empty(); });
         },
         {3},
         {}},
        // A record takes 16 bytes of head and the message's 3: three fit in 64.
        {"a full queue counts what it could not take",
         64,
         [](PortPlug& plug, LibraryLikeInput& in, Gate& gate) {
             in.Arrive(1);
             gate.reached.wait();
             for (int v = 2; v <= 11; ++v) in.Arrive((unsigned char)v);
             gate.open.set_value();
             plug.WaitFor([](const std::vector<Delivered>& s) { return s.size() >= 4; });
         },
         {1, 2, 3, 4},
         {"MIDI input: 7 messages lost, taken too slowly"}},
        {"a close returns once the delivering thread has ended",
         4096,
         [closeInput](PortPlug& plug, LibraryLikeInput& in, Gate& gate) {
             in.Arrive(1);
             gate.reached.wait();
             std::thread letGo([&gate] {
                 std::this_thread::sleep_for(std::chrono::milliseconds(100));
                 gate.open.set_value();
             });
             closeInput(plug);
             EXPECT_TRUE(gate.passed) << "the close returned while a delivery was under way";
             letGo.join();
             in.Arrive(2);
         },
         {},
         {}},
        {"a host's call holding the plug-in closes while a delivery waits for it",
         4096,
         [closeInput](PortPlug& plug, LibraryLikeInput& in, Gate& gate) {
             gate.open.set_value();
             KIT_MutexLock host(plug.GetMutex());
             in.Arrive(1);
             gate.reached.wait();
             closeInput(plug);
         },
         {},
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testsupport::KeptLog log;
        PortPlug plug;
        Gate gate;
        auto* in = new LibraryLikeInput(row.queueBytes);
        plug.UseInput(in, "synth");
        plug.mBeforeInputDelivery = [&gate] { gate.Pass(); };
        int port = 1;
        ASSERT_EQ(plug.setExternalMIDIIn(port, "synth"), 1);
        row.run(plug, *in, gate);
        closeInput(plug);
        std::vector<int> delivered;
        for (const Delivered& d : plug.Seen()) delivered.push_back(d.bytes[2]);
        EXPECT_EQ(delivered, row.delivered);
        EXPECT_EQ(log.take(), row.log);
    }
}
