#pragma once
// A plug-in whose send slots go to the external output as the Audio Unit binding's do, and which
// records what the external input hands it. Deliveries arrive on the library's thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "kit/plugin/IMidiPorts.h"
#include "test_plug.h"

struct Delivered {
    bool sysex = false;
    std::vector<uint8_t> bytes; // status, data1, data2 of a short message; all bytes of a SysEx
    int offset = -1;
    bool fromExternalPort = false;
};

class PortPlug : public RecordingPlug {
public:
    // A plug-in class closes its ports before its own members go.
    ~PortPlug() override { CloseExternalMIDIPorts(); }
    void ProcessMidiMsg(IMidiMsg* msg, bool fromPort) override
    {
        Record({false, {msg->mStatus, msg->mData1, msg->mData2}, msg->mOffset, fromPort});
    }
    void ProcessSysEx(ISysEx* msg, bool fromPort) override
    {
        Record({true, std::vector<uint8_t>(msg->mData, msg->mData + msg->mSize), msg->mOffset, fromPort});
    }
    bool SendMidiMsg(IMidiMsg* msg) override { return SendExternalMidiMsg(msg); }
    bool SendMidiSysex(unsigned char* data, int size) override { return SendExternalSysex(data, size); }
    bool SendPatchSysex(unsigned char* data, int size) override { return SendExternalBytes(data, size < 0 ? 0 : size_t(size)); }
    bool SendMidiSysex2(std::vector<unsigned char> b) override { return SendExternalBytes(b.data(), b.size()); }
    // Pretends an input port is open, for feeding the input callback directly.
    void SetDelivering(bool on)
    {
        if (on)
            mMidiInLive = 1;
        else
            StopMIDIInDelivery();
    }
    // The input's opening changes as a reopen changes it, the port itself left alone.
    void SetLiveOpening(uint32_t serial) { mMidiInLive = serial; }
    int OutPortRequest() const { return midiOutPort; }
    // The port open for a direction as the host's calls see it: the follower checks and closes
    // what it opened holding the plug-in mutex.
    int OpenIndex(bool input)
    {
        KIT_MutexLock hold(&mutex);
        return GetExternalMIDIOpenIndex(input);
    }
    // The follower has looked at the open port of a direction and found it connected.
    bool FollowerSawOpen(bool input)
    {
        std::lock_guard<std::mutex> hold(mFollowLock);
        return !mFollowSeen[input].empty();
    }
    // client becomes the input, its callback installed, listed as the one port called name.
    void UseInput(IMidiClient* client, const std::string& name)
    {
        delete midiIn;
        midiIn = client;
        midiInNames = {QOR_SELECT_MIDI_DEVICE, name};
        if (!client->SetStampedCallback(DeliverMIDIInput, &mMidiInLive, this)) client->SetCallback(MIDICallback, this);
    }
    std::vector<Delivered> Seen()
    {
        std::lock_guard<std::mutex> g(seenLock);
        return seen;
    }
    void ClearSeen()
    {
        std::lock_guard<std::mutex> g(seenLock);
        seen.clear();
    }
    // Waits until pred holds for what has arrived, or the time runs out.
    bool WaitFor(const std::function<bool(const std::vector<Delivered>&)>& pred, int ms = 5000)
    {
        std::unique_lock<std::mutex> g(seenLock);
        return seenCv.wait_for(g, std::chrono::milliseconds(ms), [&] { return pred(seen); });
    }
    std::function<void()> onDelivery; // runs on the delivering thread, after recording

private:
    void Record(Delivered d)
    {
        {
            std::lock_guard<std::mutex> g(seenLock);
            seen.push_back(std::move(d));
        }
        seenCv.notify_all();
        if (onDelivery) onDelivery();
    }
    std::mutex seenLock;
    std::condition_variable seenCv;
    std::vector<Delivered> seen;
};
