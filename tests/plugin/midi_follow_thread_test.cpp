// The follower over a stand-in output whose ports the test changes, with no MIDI system: which
// port it takes back, and how often it tries one that refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    std::string Open()
    {
        std::lock_guard<std::mutex> hold(mLock);
        return mOpen;
    }
    unsigned PortCount() override
    {
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
            mOpen = number < mNames.size() && !mRefuse ? mNames[number] : "";
        }
        Tell();
        return !Open().empty();
    }
    void ClosePort() override
    {
        std::lock_guard<std::mutex> hold(mLock);
        mOpen.clear();
    }
    bool IsPortOpen() override { return !Open().empty(); }
    void SetPortsChangedHook(void (*hook)(void*), void* data) override
    {
        mData = data;
        mHook = hook;
    }
    bool Send(const unsigned char*, size_t, bool) override { return IsPortOpen(); }
    size_t LargestMessage() const override { return 1024; }
    bool SetCallback(Callback, void*) override { return false; }

private:
    void Tell()
    {
        if (auto hook = mHook.load()) hook(mData);
    }
    std::mutex mLock;
    Names mNames;
    std::string mOpen;
    bool mRefuse = false;
    std::atomic<int> mOpens{0};
    std::atomic<void (*)(void*)> mHook{nullptr};
    void* mData = nullptr;
};

class FollowPlug : public PortPlug
{
public:
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
    // The follower has looked at the ports while the open one was there.
    bool Seen()
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        return !mFollowSeen[false].empty();
    }
};

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
