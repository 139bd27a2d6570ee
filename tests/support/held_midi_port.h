#pragma once
// An output client that, like the MIDI library's, cannot refuse a send: while held, a send waits
// until let go, whatever its caller may wait for. It remembers each message with the number of
// the port open that took it (1 for the first open).
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kit/plugin/IMidiPorts.h"

namespace testsupport
{

class HeldMidiPort : public IMidiClient
{
public:
    static constexpr const char* kName = "held synth";
    using Taken = std::pair<int, std::vector<unsigned char>>; // port open, bytes

    unsigned PortCount() override { return 1; }
    std::string PortName(unsigned number) override { return number == 0 ? kName : ""; }
    bool OpenPort(unsigned, const char*) override
    {
        std::lock_guard<std::mutex> hold(mLock);
        ++mOpens;
        return mOpen = true;
    }
    void ClosePort() override
    {
        std::lock_guard<std::mutex> hold(mLock);
        mOpen = false;
    }
    bool IsPortOpen() override
    {
        std::lock_guard<std::mutex> hold(mLock);
        return mOpen;
    }
    bool Send(const unsigned char* data, size_t size, bool) override
    {
        std::unique_lock<std::mutex> hold(mLock);
        mInside = true;
        mWake.notify_all();
        mWake.wait(hold, [this] { return !mHeld; });
        mInside = false;
        mTaken.emplace_back(mOpens, std::vector<unsigned char>(data, data + size));
        mWake.notify_all();
        return true;
    }
    size_t LargestMessage() const override { return size_t(-1); }
    bool SetCallback(Callback, void*) override { return false; }

    void hold(bool on)
    {
        std::lock_guard<std::mutex> hold(mLock);
        mHeld = on;
        mWake.notify_all();
    }
    // Until a send waits inside; false after 20 s.
    bool waitInside()
    {
        std::unique_lock<std::mutex> hold(mLock);
        return mWake.wait_for(hold, std::chrono::seconds(20), [this] { return mInside; });
    }
    // Until count messages are taken; false after 20 s.
    bool waitTaken(size_t count, int seconds = 20)
    {
        std::unique_lock<std::mutex> hold(mLock);
        return mWake.wait_for(hold, std::chrono::seconds(seconds), [&] { return mTaken.size() >= count; });
    }
    std::vector<Taken> taken()
    {
        std::lock_guard<std::mutex> hold(mLock);
        return mTaken;
    }

private:
    std::mutex mLock;
    std::condition_variable mWake;
    bool mOpen = false, mHeld = false, mInside = false;
    int mOpens = 0;
    std::vector<Taken> mTaken;
};

} // namespace testsupport
