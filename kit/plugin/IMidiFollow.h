#pragma once
// The thread of the port layer that follows the chosen MIDI devices by name: a device that goes
// away is closed and told, one that comes back is opened again. Woken by the MIDI system when it
// tells of ports coming and going, by a change of the choice, and by a timer while a chosen
// device is missing.
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "kit/threadname.h"

class IMidiFollower
{
public:
    IMidiFollower();
    ~IMidiFollower(); // the thread must have been stopped
    IMidiFollower(const IMidiFollower&) = delete;
    IMidiFollower& operator=(const IMidiFollower&) = delete;

    // Any thread, also one of the MIDI system's: an atomic and a semaphore, no lock.
    void Wake();
    static void WakeHook(void* follower);
    // Waits for a wake, for ms milliseconds (none when ms < 0) or for the stop; false once stopped.
    bool Wait(int ms);
    bool Stopping() const { return mStop.load(); }
    // Starts body on the thread unless it runs or the follower was stopped; from port code only.
    template <class Body> void Start(Body&& body)
    {
        if (mStop || mStarted.exchange(true)) return;
        mThread = std::thread([body = std::forward<Body>(body)]() mutable {
            KIT_NameThisThread("follow");
            body();
        });
    }
    // Ends every wait at once and joins the thread; nothing starts it again. Holding no lock.
    void Stop();
    bool Running() const { return mStarted && !mStop; }
    // The thread numbers its passes (a look at the ports and what it acts on): BeginPass as one
    // starts, EndPass with its number once it is done. Any thread may read them. A pass that did
    // not see the ports (a system that did not answer, a look left to the next pass) tells nothing
    // of them and is not counted done.
    uint64_t BeginPass() { return ++mPassesBegun; }
    void EndPass(uint64_t pass, bool saw)
    {
        if (saw) mPassesDone = pass;
    }
    uint64_t PassesBegun() const { return mPassesBegun; }
    uint64_t PassesDone() const { return mPassesDone; }

private:
    sem_t mWake;
    std::atomic<bool> mWoken{false};
    std::atomic<bool> mStop{false};
    std::atomic<bool> mStarted{false};
    std::atomic<uint64_t> mPassesBegun{0}, mPassesDone{0};
    std::thread mThread;
};

// A client name of its own on the machine for each plug-in instance and direction. The MIDI
// systems show the client name beside the port's, and only so can a look at a port's connections,
// or at a list, tell our own ports from another program's, or another editor's.
std::string IMidiOwnClientName(bool input);
