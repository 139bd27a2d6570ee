// The follower over a stand-in output whose ports the test changes, with no MIDI system: which
// port it takes back, how often it tries one that refuses, and, through a stand-in lister of the
// library's kind, whether what the library opened is connected. Beside it, what the render call
// parks while the follower or another thread holds the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kit/plugin/IMidiLister.h"
#include "midiports_test_plug.h"
#include "support/kept_log.h"

namespace
{

using Names = std::vector<std::string>;

// Ports that come and go at the test's word. Each open tells of ports changing, as a system
// whose ports register on open does.
class ChangingPorts : public IMidiClient
{
public:
    void Set(const Names& names, bool refuse = false)
    {
        {
            std::lock_guard<std::mutex> hold(mLock);
            mNames = names;
            mRefuse = refuse;
        }
        Tell();
    }
    int Opens() const { return mOpens; }
    Names Listed()
    {
        std::lock_guard<std::mutex> hold(mLock);
        return mNames;
    }
    // The library's kind of open: said done whether or not the device takes the connection.
    void OpenAlways() { mOpenAlways = true; }
    // The device takes connections (or refuses them); a restart ends the one it had.
    void Accept(bool accept) { mAccept = accept; }
    void Restart()
    {
        mLinked = false;
        ++mOwner;
        Tell();
    }
    uint64_t Owner() const { return mOwner; }
    // Another program undoes our connection, its port staying.
    void Undo()
    {
        if (mLinked.exchange(false)) ++mUndone, Tell();
    }
    int Undone() const { return mUndone; }
    // ... and the library tells nothing of it.
    void UndoUntold() { mLinked = false; }
    // The device's program ended and started again, and a patchbay connected ours to its new port,
    // all between two looks.
    void ReturnReconnectedUntold()
    {
        ++mOwner;
        ++mDepartures;
    }
    uint64_t Departures() const { return mDepartures; }
    // ... told first, its list showing the connection a while longer, as JACK's until its next cycle.
    void UndoShownLate(int ms)
    {
        if (!mLinked) return;
        Tell();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (mLinked.exchange(false)) ++mUndone;
    }
    bool Linked() const { return mLinked; }
    // The connection made at the open shows only now, as on a loaded machine.
    void ShowLink()
    {
        {
            std::lock_guard<std::mutex> hold(mLock);
            mLinked = !mOpen.empty();
        }
        Tell();
    }
    std::string Open()
    {
        std::lock_guard<std::mutex> hold(mLock);
        return mOpen;
    }
    int Counted() const { return mCounted; }
    unsigned PortCount() override
    {
        ++mCounted;
        std::lock_guard<std::mutex> hold(mLock);
        return unsigned(mNames.size());
    }
    std::string PortName(unsigned number) override
    {
        std::lock_guard<std::mutex> hold(mLock);
        return number < mNames.size() ? mNames[number] : std::string();
    }
    bool OpenPort(unsigned number, const char*) override
    {
        ++mOpens;
        {
            std::lock_guard<std::mutex> hold(mLock);
            mOpen = number < mNames.size() && (!mRefuse || mOpenAlways) ? mNames[number] : "";
            mLinked = !mOpen.empty() && mAccept;
        }
        Tell();
        return !Open().empty();
    }
    void ClosePort() override
    {
        Gate();
        std::lock_guard<std::mutex> hold(mLock);
        mOpen.clear();
        mLinked = false;
    }
    bool IsPortOpen() override { return !Open().empty(); }
    void SetPortsChangedHook(void (*hook)(void*), void* data) override
    {
        mData = data;
        mHook = hook;
    }
    bool Send(const unsigned char*, size_t, bool) override
    {
        Gate();
        return IsPortOpen() && ++mSent;
    }
    int Sent() const { return mSent; }
    // While held, a send or a close waits inside, its caller holding the output, until let go.
    void Hold(bool on)
    {
        std::lock_guard<std::mutex> hold(mGateLock);
        mHeld = on;
        mGateWake.notify_all();
    }
    // Until a send or a close waits inside; false after 20 s.
    bool WaitInside()
    {
        std::unique_lock<std::mutex> hold(mGateLock);
        return mGateWake.wait_for(hold, std::chrono::seconds(20), [this] { return mInside; });
    }
    size_t LargestMessage() const override { return 1024; }
    bool SetCallback(Callback, void*) override { return false; }

private:
    void Tell()
    {
        if (auto hook = mHook.load()) hook(mData);
    }
    void Gate()
    {
        std::unique_lock<std::mutex> hold(mGateLock);
        mInside = mHeld;
        mGateWake.notify_all();
        mGateWake.wait(hold, [this] { return !mHeld; });
        mInside = false;
    }
    std::mutex mGateLock;
    std::condition_variable mGateWake;
    bool mHeld = false, mInside = false;
    std::atomic<int> mSent{0};
    std::mutex mLock;
    Names mNames;
    std::string mOpen;
    bool mRefuse = false;
    std::atomic<bool> mOpenAlways{false}, mAccept{true}, mLinked{false};
    std::atomic<int> mOpens{0}, mCounted{0}, mUndone{0};
    std::atomic<uint64_t> mOwner{1}, mDepartures{0};
    std::atomic<void (*)(void*)> mHook{nullptr};
    void* mData = nullptr;
};

// The follower's lister on a system of the library: the stand-in's ports, and our port among the
// device port's connections while the stand-in is linked to it.
class LinkLister : public IMidiPortLister
{
public:
    // While deaf is set, the system does not answer (a server that dropped the lister's client);
    // unanswered counts those looks.
    LinkLister(ChangingPorts* ports, std::string ours, std::atomic<bool>* deaf, std::atomic<int>* unanswered)
        : mPorts(ports), mOurs(std::move(ours)), mDeaf(deaf), mUnanswered(unanswered)
    {
    }
    bool List(bool, std::vector<std::string>* names) override
    {
        *names = mPorts->Listed();
        if (*mDeaf) ++*mUnanswered;
        return !*mDeaf;
    }
    bool Tells() const override { return true; }
    bool Connections(bool, const std::string& name, std::vector<std::string>* peers) override
    {
        peers->clear();
        if (mPorts->Linked() && mPorts->Open() == name) peers->push_back(mOurs + ":RtMidi Output");
        return true;
    }
    uint64_t Owner(const std::string&) override { return mPorts->Owner(); }
    uint64_t Departures(const std::string&) override { return mPorts->Departures(); }

private:
    ChangingPorts* const mPorts;
    const std::string mOurs;
    std::atomic<bool>* const mDeaf;
    std::atomic<int>* const mUnanswered;
};

class FollowPlug : public PortPlug
{
public:
    // The most derived class closes the ports: the follower calls this object's own functions.
    ~FollowPlug() override { CloseExternalMIDIPorts(); }
    // As UseOutput, the ports on a system of the library, looked at through a LinkLister.
    void UseLibraryOutput(ChangingPorts* ports, const Names& names)
    {
        UseOutput(ports, names);
        NoteMadeClient(false, ports, int(IMidiSystem::kAlsa));
        mMakeFollowLister = [this, ports](int) {
            return std::make_unique<LinkLister>(ports, Own(false), &mListerDeaf, &mUnanswered);
        };
    }
    std::string Own(bool input) const { return mMidiClientName[input]; }
    KIT_Mutex& PlugMutex() { return mutex; }
    std::atomic<bool> mListerDeaf{false};
    std::atomic<int> mUnanswered{0};
    // The output's list read afresh from its client.
    Names OutNames()
    {
        {
            std::lock_guard<std::mutex> lock(midiOutLock);
            midiOutNames.clear();
        }
        return *getExternalMIDIOutNames();
    }
    // ports becomes the output, telling the follower of its changes.
    void UseOutput(ChangingPorts* ports, const Names& names)
    {
        UseInput(new ChangingPorts, ""); // no MIDI system is asked for a client when the lists are read again
        ports->SetPortsChangedHook(&IMidiFollower::WakeHook, &mFollower);
        std::lock_guard<std::mutex> lock(midiOutLock);
        midiOut = ports;
        midiOutNames = {QOR_SELECT_MIDI_DEVICE};
        midiOutNames.insert(midiOutNames.end(), names.begin(), names.end());
    }
    // ports becomes the input, listed as the one port called name.
    void UseInputPorts(ChangingPorts* ports, const std::string& name)
    {
        ports->SetPortsChangedHook(&IMidiFollower::WakeHook, &mFollower);
        UseInput(ports, name);
    }
    // The follower has looked at the ports while the open one was there.
    bool Seen(bool input = false)
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        return !mFollowSeen[input].empty();
    }
    // Each render call sends one short message.
    void ProcessDoubleReplacing(double**, double**, int) override
    {
        IMidiMsg cc(0, 0xB0, 7, 64);
        SendMidiMsg(&cc);
    }
    std::mutex& OutputLock() { return midiOutLock; }
    unsigned Parked() const { return mParkedWritten - mParkedRead; }
    unsigned Dropped() const { return midiOutDropped; }
    // The output's changes so far, and what was parked at the last, as its changer let go.
    int OutputChanges() const { return mOutputChanges; }
    unsigned ParkedAtChange() const { return mParkedAtChange; }

private:
    void OnExternalMIDIPortChanged(bool input) override
    {
        if (input) return;
        mParkedAtChange = Parked();
        ++mOutputChanges;
    }
    std::atomic<int> mOutputChanges{0};
    std::atomic<unsigned> mParkedAtChange{0};
};

// A system of the library as plug's output, its one port synth listed now or not yet: every open
// said done, the device taking the connection or not.
ChangingPorts* LibraryOutput(FollowPlug& plug, const std::string& synth, bool listed, bool accept)
{
    ChangingPorts* ports = new ChangingPorts;
    ports->OpenAlways();
    ports->Accept(accept);
    if (listed) ports->Set({synth});
    plug.UseLibraryOutput(ports, {synth});
    return ports;
}

template <class Cond> bool Within(int ms, Cond cond)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

// Two interfaces of one kind: the one unplugged comes back under new numbers and is taken again;
// the one that stayed plugged in never is. A choice of a port never seen (a project recalled
// after the numbers changed) takes the one port of its kind.
TEST(MidiFollowThread, OnlyTheDeviceThatWentIsTakenBackNeverATwinThatStayed)
{
    testsupport::KeptLog log;
    FollowPlug plug;
    ChangingPorts* ports = new ChangingPorts; // the plug-in owns it
    const Names twins = {"Twin:Twin 20:0", "Twin:Twin 21:0"};
    ports->Set(twins);
    plug.UseOutput(ports, twins);
    int port = 1;
    ASSERT_EQ(plug.setExternalMIDIOut(port, "Twin:Twin 20:0"), 1);
    ASSERT_TRUE(Within(2000, [&] { return plug.Seen(); }));

    ports->Set({"Twin:Twin 21:0"});
    EXPECT_TRUE(Within(2000, [&] { return plug.GetExternalMIDIOpenIndex(false) == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // a wrong reopen would come now
    EXPECT_EQ(ports->Open(), "") << "the twin that stayed was taken";
    EXPECT_EQ(plug.GetExternalMIDIChoice(false), "Twin:Twin 20:0");

    ports->Set({"Twin:Twin 21:0", "Twin:Twin 22:0"});
    EXPECT_TRUE(Within(2000, [&] { return ports->Open() == "Twin:Twin 22:0"; })) << ports->Open();
    EXPECT_EQ(plug.GetExternalMIDIChoice(false), "Twin:Twin 22:0");

    port = 1;
    ports->Set({"Twin:Twin 31:0"});
    EXPECT_EQ(plug.setExternalMIDIOut(port, "Twin:Twin 19:0"), 0);
    EXPECT_TRUE(Within(2000, [&] { return ports->Open() == "Twin:Twin 31:0"; })) << ports->Open();
    plug.CloseExternalMIDIPorts();
}

// A port that is listed but refuses, its every try telling of ports changing: the follower tries
// it again after a second, then less often, and says so once.
TEST(MidiFollowThread, AListedPortThatRefusesIsTriedLessAndLessOftenAndSaidOnce)
{
    testsupport::KeptLog log;
    FollowPlug plug;
    ChangingPorts* ports = new ChangingPorts;
    const Names refusing = {"Synth:Synth 24:0"};
    ports->Set(refusing, true);
    plug.UseOutput(ports, refusing);
    int port = 1;
    EXPECT_EQ(plug.setExternalMIDIOut(port, refusing[0].c_str()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    // The choice's own try, the follower's first and the one a second later.
    EXPECT_LE(ports->Opens(), 3);
    EXPECT_GE(ports->Opens(), 2) << "the follower never tried";
    const std::vector<std::string> lines = log.take();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("could not be opened") != std::string::npos; }),
              1);
    plug.CloseExternalMIDIPorts();
}

// A device of the same name as another ("SynA 24:0", "SynA 28:0") goes; the user chooses its
// absent entry again: the one that stayed is still not it. Choosing that one is a choice anew.
TEST(MidiFollowThread, ChoosingTheAbsentDeviceAgainNeverTakesItsTwin)
{
    testsupport::KeptLog log;
    FollowPlug plug;
    ChangingPorts* ports = new ChangingPorts;
    const Names twins = {"SynA:SynA 24:0", "SynA:SynA 28:0"};
    ports->Set(twins);
    plug.UseOutput(ports, twins);
    int port = 1;
    ASSERT_EQ(plug.setExternalMIDIOut(port, twins[0].c_str()), 1);
    ASSERT_TRUE(Within(2000, [&] { return plug.Seen(); }));
    ports->Set({twins[1]});
    ASSERT_TRUE(Within(2000, [&] { return plug.GetExternalMIDIOpenIndex(false) == 0; }));

    port = 1;
    EXPECT_EQ(plug.setExternalMIDIOut(port, twins[0].c_str()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // a wrong reopen would come now
    EXPECT_EQ(ports->Open(), "") << "the twin was taken";
    EXPECT_EQ(plug.GetExternalMIDIChoice(false), twins[0]);

    ports->Set({twins[1], "SynA:SynA 31:0"});
    EXPECT_TRUE(Within(2000, [&] { return ports->Open() == "SynA:SynA 31:0"; })) << ports->Open();
    port = 1;
    EXPECT_GT(plug.setExternalMIDIOut(port, twins[1].c_str()), 0);
    EXPECT_EQ(ports->Open(), twins[1]);
    plug.CloseExternalMIDIPorts();
}

// The library says a port opened whether or not the device's port took the connection, and a
// program that ends and starts again at once lists its port again under the same name, no
// longer connected: the follower believes only the device port's own list of connections.
TEST(MidiFollowThread, OnTheLibrarysSystemsOnlyAConnectedPortIsBack)
{
    const std::string synth = "Synth:Synth 24:0";
    const struct {
        const char* what;
        bool accept;     // the device takes our connection
        bool restart;    // ... and then ends and starts again at once
        int wentAway;    // "went away" lines
        int refused;     // "could not be opened" lines
        bool open;       // connected at the end
        int startMs;     // after the restart, how long the device refuses as it starts
        int showMs;      // the connection made at the open shows only this late
        bool undoes;     // a program holding the name takes each connection and undoes it
        int undoShowsMs; // ... its list showing the connection this long after telling of its undoing
    } table[] = {
        {"a port that takes the connection", true, false, 0, 0, true, 0, 0, false, 0},
        {"a holder that refuses it", false, false, 0, 1, false, 0, 0, false, 0},
        {"a restart at once", true, true, 1, 0, true, 0, 0, false, 0},
        {"a restart whose port refuses as it starts", true, true, 1, 0, true, 150, 0, false, 0},
        {"a connection that shows late", false, false, 0, 0, true, 0, 600, false, 0},
        {"a holder that undoes each connection", true, false, 0, 0, false, 0, 0, true, 0},
        {"a holder whose undoing shows after its notice", true, false, 0, 0, false, 0, 0, true, 300},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        testsupport::KeptLog log;
        FollowPlug plug;
        ChangingPorts* ports = LibraryOutput(plug, synth, true, row.accept);
        int port = 1;
        ASSERT_EQ(plug.setExternalMIDIOut(port, synth.c_str()), 1);
        std::atomic<bool> stop{false};
        std::thread undoer([&] {
            while (row.undoes && !stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                if (row.undoShowsMs)
                    ports->UndoShownLate(row.undoShowsMs);
                else
                    ports->Undo();
            }
        });
        if (row.restart) {
            ASSERT_TRUE(Within(2000, [&] { return plug.Seen(); }));
            ports->Accept(row.startMs == 0);
            ports->Restart();
            std::this_thread::sleep_for(std::chrono::milliseconds(row.startMs));
            ports->Accept(true);
        }
        if (row.showMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(row.showMs));
            ports->ShowLink();
        }
        // Long enough for a look, a departure's settling and one reopen; a refusal is judged
        // only once a connection has had two seconds to show.
        std::this_thread::sleep_for(std::chrono::milliseconds((row.accept || row.showMs) && !row.undoes ? 800 : 2800));
        stop = true;
        undoer.join();
        EXPECT_EQ(ports->Linked(), row.open);
        EXPECT_EQ(plug.GetExternalMIDIOpenIndex(false) > 0, row.open);
        const std::vector<std::string> lines = log.take();
        auto count = [&](const char* text) {
            return std::count_if(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return l.find(text) != std::string::npos; });
        };
        EXPECT_EQ(count("went away"), row.wentAway);
        EXPECT_EQ(count("could not be opened"), row.refused);
        EXPECT_EQ(count("is back"), row.restart ? 1 : 0);
        // Not taken for a departure and a return each time: tried again after a second, then held
        // for two before it counts.
        EXPECT_EQ(count("drops our connection"), row.undoes ? 1 : 0);
        if (row.undoes) {
            EXPECT_LE(ports->Undone(), 2);
        }
        plug.CloseExternalMIDIPorts();
    }
}

// A connection lost while the system tells nothing, near the end of a send: the look the send asks
// for ends only once the loss is counted, whenever the follower would have looked by itself, and
// a look its system did not answer is not that look. So does a device that went and came back,
// connected to ours again, before the look.
TEST(MidiFollowThread, ALookAskedAfterASendEndsWithALossItsSystemDidNotTellCounted)
{
    const struct {
        const char* what;
        bool deaf;     // the system does not answer the first looks
        bool returned; // the device went and came back connected, rather than our connection undone
    } table[] = {
        {"the system answering", false, false},
        {"the system not answering the first look", true, false},
        {"the device back and connected again before the look", false, true},
    };
    for (const auto& row : table) {
        const bool deaf = row.deaf;
        SCOPED_TRACE(row.what);
        const std::string synth = "Synth:Synth 24:0";
        FollowPlug plug;
        ChangingPorts* ports = LibraryOutput(plug, synth, true, true);
        int port = 1;
        ASSERT_EQ(plug.setExternalMIDIOut(port, synth.c_str()), 1);
        ASSERT_TRUE(Within(2000, [&] { return plug.Seen(); }));
        const uint32_t cuts = plug.ExternalMIDICuts(false);
        plug.mListerDeaf = deaf;
        if (row.returned)
            ports->ReturnReconnectedUntold();
        else
            ports->UndoUntold();
        const uint64_t asked = plug.AskExternalMIDILook();
        ASSERT_NE(asked, 0u);
        if (deaf) {
            // Two unanswered: one at least began after the ask (one pass lists once). The next
            // look, a second later, sees.
            EXPECT_TRUE(Within(4000, [&] { return plug.mUnanswered >= 2; }));
            plug.mListerDeaf = false;
        }
        EXPECT_TRUE(Within(4000, [&] { return plug.ExternalMIDILooked(asked); }));
        EXPECT_GT(plug.ExternalMIDICuts(false), cuts);
        plug.CloseExternalMIDIPorts();
    }
}

// The device that went, chosen again on a system of the library, and a recall's device: absent
// until its port takes the connection, whoever holds the name, as when the follower reopens it.
TEST(MidiFollowThread, OnTheLibrarysSystemsTheAbsentDeviceChosenAgainOrRecalledCountsOnlyOnceConnected)
{
    const std::string synth = "Synth:Synth 24:0";
    const struct {
        const char* what;
        bool recall;
        bool accept;
        const char* said;
    } table[] = {
        {"chosen again: the device itself", false, true, "is back"},
        {"chosen again: another program holding its name and refusing", false, false, "could not be opened"},
        {"recalled: the device itself", true, true, "is connected"},
        {"recalled: a holder refusing", true, false, "could not be opened"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        testsupport::KeptLog log;
        FollowPlug plug;
        ChangingPorts* ports = LibraryOutput(plug, synth, false, row.accept);
        int port = 1;
        if (row.recall) {
            ports->Set({synth});
            plug.mOpensAwaitConnection = true;
            EXPECT_EQ(plug.setExternalMIDIOut(port, synth.c_str()), 0) << "open before it was connected";
            plug.mOpensAwaitConnection = false;
        } else {
            ASSERT_EQ(plug.setExternalMIDIOut(port, synth.c_str()), 0); // away from the start
            // The user's choice comes before the follower's own reopen.
            KIT_MutexLock first(&plug.PlugMutex());
            ports->Set({synth});
            port = 1;
            EXPECT_EQ(plug.setExternalMIDIOut(port, synth.c_str()), 0) << "open before it was connected";
        }
        std::vector<std::string> lines;
        bool early = false;
        const bool decided = Within(6000, [&] {
            early = early || (plug.GetExternalMIDIOpenIndex(false) > 0 && !ports->Linked());
            for (std::string& line : log.take())
                if (line.find(row.said) != std::string::npos) lines.push_back(line);
            return !lines.empty();
        });
        EXPECT_TRUE(decided) << "never said \"" << row.said << "\"";
        EXPECT_FALSE(early) << "counted open while nothing was connected";
        EXPECT_EQ(plug.GetExternalMIDIOpenIndex(false) > 0, row.accept);
        plug.CloseExternalMIDIPorts();
    }
}

// Two editors side by side: neither lists its own ports, each lists the other's as any program's,
// also when a device that comes back under a new name has the list read again.
TEST(MidiFollowThread, OurOwnPortsAreNeverListedAndTwoInstancesKeepTheirOwn)
{
    testsupport::KeptLog log;
    FollowPlug a, b;
    ASSERT_NE(a.Own(false), b.Own(false));
    ASSERT_NE(a.Own(false), a.Own(true));
    const std::string aOut = a.Own(false) + ":RtMidi Output", aIn = a.Own(true) + ":RtMidi Input";
    const std::string bOut = b.Own(false) + ":RtMidi Output";
    const std::string synth = "Synth:Synth 24:0";
    ChangingPorts* aPorts = new ChangingPorts;
    ChangingPorts* bPorts = new ChangingPorts;
    for (ChangingPorts* ports : {aPorts, bPorts}) ports->Set({synth, aOut, aIn, bOut});
    a.UseLibraryOutput(aPorts, {});
    b.UseOutput(bPorts, {});
    EXPECT_EQ(a.OutNames(), (Names{QOR_SELECT_MIDI_DEVICE, synth, bOut}));
    EXPECT_EQ(b.OutNames(), (Names{QOR_SELECT_MIDI_DEVICE, synth, aOut, aIn}));

    int port = 1;
    ASSERT_EQ(a.setExternalMIDIOut(port, synth.c_str()), 1);
    ASSERT_TRUE(Within(2000, [&] { return a.Seen(); }));
    aPorts->Set({aOut, aIn, bOut});
    ASSERT_TRUE(Within(2000, [&] { return a.GetExternalMIDIOpenIndex(false) == 0; }));
    aPorts->Set({aOut, "Synth:Synth 25:0", aIn, bOut});
    ASSERT_TRUE(Within(2000, [&] { return a.GetExternalMIDIOpenIndex(false) > 0; }));
    EXPECT_EQ(*a.getExternalMIDIOutNames(), (Names{QOR_SELECT_MIDI_DEVICE, "Synth:Synth 25:0", bOut}));
    a.CloseExternalMIDIPorts();
    b.CloseExternalMIDIPorts();
}

// An input back under a name its list lacks has its own list read again; the output's client is
// not asked, as its lock is the render call's and its list may wait for a long send.
TEST(MidiFollowThread, AnInputReopenAsksTheOutputsClientNothing)
{
    testsupport::KeptLog log;
    FollowPlug plug;
    ChangingPorts* out = new ChangingPorts;
    out->Set({"Synth:Synth 24:1"});
    plug.UseOutput(out, {"Synth:Synth 24:1"});
    ChangingPorts* in = new ChangingPorts;
    in->Set({"Synth:Synth 24:0"});
    plug.UseInputPorts(in, "Synth:Synth 24:0");
    int port = 1;
    ASSERT_EQ(plug.setExternalMIDIIn(port, "Synth:Synth 24:0"), 1);
    ASSERT_TRUE(Within(2000, [&] { return plug.Seen(true); }));
    const int asked = out->Counted();
    in->Set({});
    ASSERT_TRUE(Within(2000, [&] { return plug.GetExternalMIDIOpenIndex(true) == 0; }));
    in->Set({"Synth:Synth 25:0"});
    ASSERT_TRUE(Within(2000, [&] { return plug.GetExternalMIDIOpenIndex(true) > 0; }));
    EXPECT_EQ(*plug.getExternalMIDIInNames(), (Names{QOR_SELECT_MIDI_DEVICE, "Synth:Synth 25:0"}));
    EXPECT_EQ(out->Counted(), asked) << "the output's client was asked for its ports";
    plug.CloseExternalMIDIPorts();
}

// A short message the render call parks while another thread holds the output leaves as that
// one lets go, with no render call after it: sent where the port stays open, counted as dropped
// where the holder closed it.
TEST(MidiFollowThread, WhatTheRenderCallParksWhileAnotherHoldsTheOutputLeavesWhenThatOneLetsGo)
{
    enum Holder { kSend, kFlush, kFollowerClose, kFollowerReopen };
    const struct {
        const char* what;
        Holder holder;
    } table[] = {
        {"a send of another thread", kSend},
        {"a flush of what the render call parked before", kFlush},
        {"the follower closing the port of a device that went", kFollowerClose},
        {"the follower reopening the port of a device that came back", kFollowerReopen},
    };
    const std::string synth = "Synth:Synth 24:0";
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        testsupport::KeptLog log;
        FollowPlug plug;
        // Looked at through a lister of its own: the follower takes the output only to close it.
        ChangingPorts* ports = LibraryOutput(plug, synth, true, true);
        int port = 1;
        ASSERT_EQ(plug.setExternalMIDIOut(port, synth.c_str()), 1);
        ASSERT_TRUE(Within(2000, [&] { return plug.Seen(); }));
        if (row.holder == kFlush) {
            // Parked while a bare lock held the output, which sends nothing as it lets go.
            std::lock_guard<std::mutex> bare(plug.OutputLock());
            plug.ProcessBuffers(0.0, 64);
        }
        const bool reopen = row.holder == kFollowerReopen;
        if (reopen) {
            ports->Set({});
            ASSERT_TRUE(
                Within(2000, [&] { return plug.GetExternalMIDIOpenIndex(false) == 0 && ports->Open().empty(); }));
        }
        const unsigned before = plug.Parked();
        const int changes = plug.OutputChanges();
        ports->Hold(true);
        std::thread holder;
        if (row.holder == kSend) holder = std::thread([&] { plug.SendMidiSysex2({0xB0, 7, 1}); });
        if (row.holder == kFlush) holder = std::thread([&] { plug.FlushParkedMidiOut(); });
        if (row.holder == kFollowerClose) ports->Set({});
        if (reopen) ports->Set({synth}); // its reopen closes the client's port first
        ASSERT_TRUE(ports->WaitInside());
        plug.ProcessBuffers(0.0, 64); // the render call, on this thread
        // The follower closes or reopens with the output let go, the port taken from the senders
        // first: the render call finds no port at once, and nothing is parked for it.
        const bool follower = row.holder == kFollowerClose || reopen;
        EXPECT_EQ(plug.Parked(), before + (follower ? 0 : 1)) << "the render call took the output, or parked";
        ports->Hold(false);
        unsigned left;
        if (holder.joinable()) {
            holder.join();
            left = plug.Parked();
        } else {
            ASSERT_TRUE(Within(20000, [&] { return plug.OutputChanges() > changes; }));
            left = plug.ParkedAtChange();
        }
        EXPECT_EQ(left, 0u) << "left parked with no render call to come";
        const bool open = !follower;
        EXPECT_EQ(ports->Sent(), open ? 2 : 0) << "the holder's message and the render call's";
        EXPECT_EQ(plug.Dropped(), 0u);
        plug.CloseExternalMIDIPorts();
    }
}

// The user chooses while the follower's reopen of a device that came back is under way, the
// follower holding the port code but not the plug-in mutex: the choice wins, whether it names
// another port or none, and the follower's reopen is never told.
TEST(MidiFollowThread, AChoiceMadeWhileTheFollowerReopensWins)
{
    const std::string synth = "Synth:Synth 24:0", other = "Other:Other 30:0";
    const struct {
        const char* choice;
        const char* opened;
    } table[] = {{other.c_str(), other.c_str()}, {QOR_SELECT_MIDI_DEVICE, ""}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.choice);
        testsupport::KeptLog log;
        FollowPlug plug;
        ChangingPorts* ports = new ChangingPorts;
        ports->Set({synth, other});
        plug.UseOutput(ports, {synth, other});
        int port = 1;
        ASSERT_EQ(plug.setExternalMIDIOut(port, synth.c_str()), 1);
        ASSERT_TRUE(Within(2000, [&] { return plug.Seen(); }));
        ports->Set({other});
        ASSERT_TRUE(Within(2000, [&] { return plug.GetExternalMIDIOpenIndex(false) == 0 && ports->Open().empty(); }));
        ports->Hold(true);
        ports->Set({synth, other});
        ASSERT_TRUE(ports->WaitInside()); // the reopen closes the client's port first
        std::thread choice([&] {
            int chosen = 1;
            plug.setExternalMIDIOut(chosen, row.choice);
        });
        // The choice holds the plug-in mutex, waiting for the reopen.
        EXPECT_TRUE(Within(2000, [&] {
            if (!plug.PlugMutex().TryEnter()) return true;
            plug.PlugMutex().Leave();
            return false;
        }));
        ports->Hold(false);
        choice.join();
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // a wrong word or reopen would come now
        EXPECT_EQ(plug.GetExternalMIDIChoice(false), row.opened);
        EXPECT_EQ(ports->Open(), row.opened);
        const std::vector<std::string> lines = log.take();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.find("is back") != std::string::npos; }),
                  0);
        plug.CloseExternalMIDIPorts();
    }
}
