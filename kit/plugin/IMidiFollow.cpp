// Following the chosen MIDI devices by name. A connection of these MIDI systems ends with its
// peer: a synthesizer switched off and on again, or a cable pulled and put back, would leave the
// editor's ports leading nowhere. The follower closes the port of a device that went and opens it
// again, through the ordinary open, when a port of that name appears.
#include "kit/plugin/IMidiFollow.h"

#include <errno.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "kit/plugin/IMidiPorts.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/Log.h"

namespace
{

// How often a missing device is looked for, and a due call that could not run is tried again.
const int kLookForMissingMs = 1000;
const int kRetryReturnedMs = 100;

} // namespace

// ---- the thread ----

IMidiFollower::IMidiFollower()
{
    sem_init(&mWake, 0, 0);
}

IMidiFollower::~IMidiFollower()
{
    Stop();
    sem_destroy(&mWake);
}

void IMidiFollower::Wake()
{
    // Many wakes before the thread looks are one look.
    if (!mWoken.exchange(true)) sem_post(&mWake);
}

void IMidiFollower::WakeHook(void* follower)
{
    static_cast<IMidiFollower*>(follower)->Wake();
}

bool IMidiFollower::Wait(int ms)
{
    if (mStop) return false;
    if (ms < 0) {
        while (sem_wait(&mWake) != 0 && errno == EINTR) {
        }
    } else {
        timespec until;
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += ms / 1000;
        until.tv_nsec += long(ms % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        while (sem_clockwait(&mWake, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
        }
    }
    mWoken = false;
    return !mStop;
}

void IMidiFollower::Stop()
{
    mStop = true;
    sem_post(&mWake);
    if (mThread.joinable()) mThread.join();
}

// ---- the choices ----

std::string IPluginBase::GetExternalMIDIChoice(bool input)
{
    std::lock_guard<std::mutex> lock(mFollowLock);
    return mMidiChoice[input];
}

int IPluginBase::GetExternalMIDIOpenIndex(bool input)
{
    std::string opened;
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        opened = mMidiOpened[input];
    }
    if (opened.empty()) return 0;
    const int at = input ? getExternalMIDIInDevice(opened.c_str()) : getExternalMIDIOutDevice(opened.c_str());
    return at > 0 ? at : 0;
}

void IPluginBase::SetExternalMIDIChoice(bool input, int port, const char* name)
{
    const bool chosen = port != 0 && name && *name && std::strcmp(name, QOR_SELECT_MIDI_DEVICE) != 0;
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        mMidiChoice[input] = chosen ? name : "";
        mFollowWhy[input].clear();
    }
    if (chosen) WakeFollower();
}

void IPluginBase::NoteOpenedPort(bool input, const std::string& opened)
{
    std::lock_guard<std::mutex> lock(mFollowLock);
    mMidiOpened[input] = opened;
    if (!opened.empty()) mMidiChoice[input] = opened; // a name kept in part is the whole one now
}

void IPluginBase::WakeFollower()
{
    mFollower.Start([this] { FollowExternalMIDI(); });
    mFollower.Wake();
}

// ---- the follower ----

void IPluginBase::FollowExternalMIDI()
{
    int wait = -1;
    while (mFollower.Wait(wait)) {
        // The plug-in mutex comes before any lock of the port code. Whoever holds it may be about
        // to stop this thread: the wait for it ends with the stop.
        bool stopped = false;
        while (!mutex.TryEnter()) {
            if ((stopped = mFollower.Stopping())) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (stopped) break;
        struct Held {
            KIT_Mutex& mutex;
            ~Held() { mutex.Leave(); }
        } held{mutex};
        bool returned = false;
        const bool missing = FollowStep(&returned);
        if (returned) mFollowEnquiry = true;
        // A busy job thread is never waited for here: the call is made again a little later.
        if (!missing && mFollowEnquiry && OnExternalMIDIReturned()) mFollowEnquiry = false;
        wait = missing ? kLookForMissingMs : mFollowEnquiry ? kRetryReturnedMs : -1;
    }
}

bool IPluginBase::FollowStep(bool* returned)
{
    bool missing = false, changed = false, listsRead = false;
    for (const bool input : {true, false}) {
        std::string choice, opened;
        {
            std::lock_guard<std::mutex> lock(mFollowLock);
            choice = mMidiChoice[input];
            opened = mMidiOpened[input];
        }
        IMidiClient* client = input ? midiIn : midiOut;
        if (choice.empty() || !client) continue;
        bool reaches;
        {
            std::unique_lock<std::mutex> lock(midiOutLock, std::defer_lock);
            if (!input) lock.lock();
            reaches = client->IsPortOpen() && client->IsConnected();
        }
        const std::vector<std::string> now = CurrentMidiNames(input);
        if (reaches && std::find(now.begin(), now.end(), opened) != now.end()) continue;
        std::string why;
        const int at = IMidiMatchFollowedName(now, choice, &why);
        if (at <= 0) {
            missing = true;
            if (!opened.empty()) {
                // Gone: nothing more is sent to, or taken from, a port that leads nowhere.
                LogLine("MIDI %s: \"%s\" went away; its port is closed until it comes back", input ? "input" : "output",
                        opened.c_str());
                if (input) {
                    StopMIDIInDelivery();
                    client->ClosePort();
                } else {
                    std::lock_guard<std::mutex> lock(midiOutLock);
                    client->ClosePort();
                }
                NoteOpenedPort(input, std::string());
                OnExternalMIDIPortChanged(input);
                changed = true;
            }
            std::lock_guard<std::mutex> lock(mFollowLock);
            if (!why.empty() && why != mFollowWhy[input])
                LogLine("MIDI %s: %s", input ? "input" : "output", why.c_str());
            mFollowWhy[input] = why;
            continue;
        }
        const std::string& name = now[size_t(at)];
        if (!listsRead &&
            (input ? getExternalMIDIInDevice(name.c_str()) : getExternalMIDIOutDevice(name.c_str())) < 0) {
            ReadMidiNamesAgain();
            listsRead = true;
        }
        int port = 1;
        const int index = input ? setExternalMIDIIn(port, name.c_str()) : setExternalMIDIOut(port, name.c_str());
        if (index > 0) {
            LogLine("MIDI %s: \"%s\" is back; its port is open again", input ? "input" : "output", name.c_str());
            *returned = true;
        } else {
            missing = true;
        }
        changed = changed || index > 0 || !opened.empty();
    }
    if (changed || listsRead) OnExternalMIDIFollowed();
    return missing;
}
