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
#include <functional>
#include <mutex>

#include "kit/plugin/IMidiLister.h"
#include "kit/plugin/IMidiPorts.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/Log.h"

namespace
{

// How often the ports are looked at where the system does not tell, and while a chosen device is
// missing; how soon a due call that could not run is tried again; how long after a reopen that
// failed the next may be tried, by the number of failures in a row.
const int kLookMs = 1000;
const int kRetryReturnedMs = 100;
// How long after a departure the device's name is looked for again: a system takes a moment to
// unlist all the ports of a program that ended, and one still listed would be tried in vain.
const int kSettleMs = 100;
// A program that starts lists its port a moment before it takes connections: the first refusal
// after a departure is tried again this soon, unsaid.
const int kStartingMs = 300;
// A port that lost our connection and stays is judged a drop only this long after: the server tells
// of a port unregistered just after the connection it undid, and a loaded machine may run the
// lister's thread that counts it late.
const int kDropSettleMs = 600;
const int kBackOffMs[] = {1000, 2000, 4000, 8000};
// On the library's systems a reopened port is refused only once no connection has shown this long:
// the system shows one made on a loaded machine late.
const int kConnectGraceMs = 2000;

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The systems reached through the MIDI library, which says nothing of connections.
bool OfTheLibrary(int system)
{
    return system == int(IMidiSystem::kAlsa) || system == int(IMidiSystem::kLibraryJack);
}

const char* Direction(bool input)
{
    return input ? "input" : "output";
}

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

std::string IPluginBase::GetExternalMIDIFollowWhy(bool input)
{
    std::lock_guard<std::mutex> lock(mFollowLock);
    return mFollowWhy[input];
}

int IPluginBase::GetExternalMIDIOpenIndex(bool input)
{
    std::string opened;
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        // A reopen whose connection has not shown yet is not back.
        if (!mFollowReopenedMs[input]) opened = mMidiOpened[input];
    }
    if (opened.empty()) return 0;
    const int at = input ? getExternalMIDIInDevice(opened.c_str()) : getExternalMIDIOutDevice(opened.c_str());
    return at > 0 ? at : 0;
}

bool IPluginBase::ExternalMIDIAwaitsConnection(bool input)
{
    std::lock_guard<std::mutex> lock(mFollowLock);
    return mFollowReopenedMs[input] && !mMidiOpened[input].empty();
}

void IPluginBase::SetExternalMIDIChoice(bool input, int port, const char* name)
{
    const bool chosen = port != 0 && name && *name && std::strcmp(name, QOR_SELECT_MIDI_DEVICE) != 0;
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        // The absent device chosen again is still that device: a twin that stayed is not it. So is
        // one whose reopen has not been seen connected yet.
        mFollowKept[input] = !mFollowerOpens && chosen && (mMidiOpened[input].empty() || mFollowReopenedMs[input]) &&
                             mMidiChoice[input] == name;
        mMidiChoice[input] = chosen ? name : "";
        mMidiChosen[input] = chosen;
        ++mFollowChanges[input];
        if (!mFollowerOpens) mFollowReopenedMs[input] = 0;
        // The follower's own reopen keeps what it knows of the device; a choice or a recall starts anew.
        if (!mFollowerOpens && !mFollowKept[input]) {
            mFollowWhy[input].clear();
            mFollowSettling[input] = false;
            mFollowSeen[input].clear();
            mFollowFailures[input] = 0;
            mFollowRetryAtMs[input] = 0;
            mFollowOwner[input] = mFollowDropped[input] = 0;
        }
    }
    if (chosen) WakeFollower();
}

bool IPluginBase::ExternalMIDIRefused(bool input)
{
    std::lock_guard<std::mutex> lock(mFollowLock);
    return mMidiRefused[input];
}

bool IPluginBase::NoteOpenedPort(bool input, const std::string& opened, bool refused)
{
    bool wake = false, awaits = false;
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        mMidiOpened[input] = opened;
        mMidiRefused[input] = refused;
        mFollowOpenedMs[input] = NowMs();
        mFollowDropSeenMs[input] = 0;
        ++mFollowChanges[input];
        if (!opened.empty()) { // a name kept in part is the whole one now
            mMidiChoice[input] = opened;
            mMidiChosen[input] = true;
        }
        // A choice or a recall is done only now: what the follower saw while it ran (the port it
        // was closing, still listed) is not what it knows of the device, and it looks again.
        if (!mFollowerOpens) {
            if (!mFollowKept[input] || !opened.empty()) mFollowSeen[input].clear();
            // The device that went, chosen again, stays absent until it takes the connection, as
            // it does when the follower reopens it: another program may hold its name and refuse.
            // So does a recall's: it owes the device a send.
            // A client put in from outside is looked at through itself: it tells its own connection.
            const bool ofTheLibrary =
                (input ? midiIn : midiOut) == mFollowClient[input] && OfTheLibrary(mFollowSystem[input]);
            awaits = (mFollowKept[input] || mOpensAwaitConnection) && !opened.empty() && ofTheLibrary;
            mFollowAwaitsFresh[input] = awaits && !mFollowKept[input];
            if (awaits) {
                mFollowReopenedMs[input] = mFollowOpenedMs[input];
                mFollowRetryAtMs[input] = mFollowReopenedMs[input] + kConnectGraceMs; // the look that decides
            }
            mFollowKept[input] = false;
            wake = !mMidiChoice[input].empty();
        }
    }
    if (wake) WakeFollower();
    return awaits;
}

void IPluginBase::NoteMadeClient(bool input, IMidiClient* client, int system)
{
    std::lock_guard<std::mutex> lock(mFollowLock);
    (input ? midiIn : midiOut) = client;
    mFollowClient[input] = client;
    mFollowSystem[input] = system;
}

void IPluginBase::WakeFollower()
{
    mFollower.Start([this] { FollowExternalMIDI(); });
    mFollower.Wake();
}

// ---- the follower ----

// What one look found to do for one direction.
struct IPluginBase::FollowAct {
    // As the look found them. A choice or an open since then, even one of the same name, may have
    // been under way while it looked: the next look's.
    uint32_t changes = 0;
    std::string choice, opened;
    int system = -1;                 // the lister's, -1 when looked at through the client
    bool close = false;              // the open port leads nowhere
    bool refused = false;            // ... and never led anywhere since it opened
    std::string open;                // the port to open for the choice
    std::vector<std::string> listed; // the look's names, kept as the device's neighbours once it opens
    bool tellWhy = false;            // why changed
    bool back = false;               // the follower's reopen, connected for long enough
    bool dropped = false;            // the port stays, under the program that took our connection
    bool unseen = false;             // its system did not answer, or the look went stale: nothing known
    uint64_t owner = 0;              // the lister's number for the port's program, 0 when not asked
    uint64_t departures = 0;         // the lister's count of the port's unregistrations then
    // The close taken away under the plug-in mutex and done after it, while no choice came since.
    bool closeLater = false;
    uint32_t closedChanges = 0;
    // The reopen found due under the plug-in mutex, made after it, and told under it again while
    // no choice came since: as the open, the list index it opened (0: none) and its name.
    bool openLater = false, openDone = false, openRefused = false, openConnected = true;
    int openIndex = 0;
    std::string openedName;
    std::string why;
};

// The lists the follower looks at: a lister of its own for each system the port layer's clients
// were made on. A client put in from outside is looked at through itself.
struct IPluginBase::FollowListers {
    std::unique_ptr<IMidiPortLister> of[3];
    // A system that has answered a look once and then does not (a server that dropped the lister's
    // client) tells nothing of the ports that look; one that never answers is no reason to wait.
    bool answered[3] = {false, false, false};
};

bool IPluginBase::FollowConnected(bool input, FollowListers& listers, int system, const std::string& port)
{
    // The library opens and says nothing of a connection that failed or ended; our own JACK
    // client knows its connection, and tells.
    if (!OfTheLibrary(system) || !listers.of[system]) return true;
    std::vector<std::string> peers;
    if (!listers.of[system]->Connections(input, port, &peers)) return true;
    std::lock_guard<std::mutex> lock(mFollowLock); // a fresh client renames the direction
    return IMidiHasPortOf(peers, mMidiClientName[input]);
}

bool IPluginBase::FollowLook(bool input, FollowListers& listers, FollowAct* act, bool* tells)
{
    bool reaches;
    std::vector<std::string> seen;
    int64_t retryAt, reopened, openedAt;
    uint64_t owned, dropped, gone;
    {
        std::lock_guard<std::mutex> lock(mFollowLock);
        act->changes = mFollowChanges[input];
        act->choice = mMidiChoice[input];
        act->opened = mMidiOpened[input];
        act->why = mFollowWhy[input];
        IMidiClient* client = input ? midiIn : midiOut;
        if (act->choice.empty() || !client) return false;
        act->system = client == mFollowClient[input] ? mFollowSystem[input] : -1;
        // Published state only: no call of the system, so holding this lock costs nobody a wait.
        reaches = !act->opened.empty() && client->IsConnected();
        seen = mFollowSeen[input];
        retryAt = mFollowRetryAtMs[input];
        reopened = mFollowReopenedMs[input];
        openedAt = mFollowOpenedMs[input];
        owned = mFollowOwner[input];
        dropped = mFollowDropped[input];
        gone = mFollowGone[input];
    }
    std::vector<std::string> now{QOR_SELECT_MIDI_DEVICE};
    if (act->system < 0) {
        now = CurrentMidiNames(input);
    } else {
        std::unique_ptr<IMidiPortLister>& lister = listers.of[act->system];
        if (!lister)
            lister = mMakeFollowLister
                         ? mMakeFollowLister(act->system)
                         : IMidiPortLister::Make(IMidiSystem(act->system), &IMidiFollower::WakeHook, &mFollower);
        std::vector<std::string> names;
        // A system that does not answer says nothing of the device: looked at again later.
        const bool listed = lister->List(input, &names);
        *tells = *tells && lister->Tells();
        act->unseen = !listed && listers.answered[act->system];
        if (!listed) return true;
        listers.answered[act->system] = true;
        now.insert(now.end(), names.begin(), names.end());
    }
    if (!act->opened.empty()) {
        // A program that ends and starts again at once lists its port again under the same name,
        // and the system does not connect ours to it again: a port still listed counts only as
        // long as it is connected to ours.
        const bool listed = std::find(now.begin(), now.end(), act->opened) != now.end();
        const bool connected = reaches && listed && FollowConnected(input, listers, act->system, act->opened);
        // Known connected before and not now: what went out meanwhile may not have arrived.
        if (!connected && !reopened && (!seen.empty() || !OfTheLibrary(act->system))) ++mMidiCuts[input];
        // Asked of the system only where it decides something.
        auto owner = [&]() -> uint64_t {
            return listed && act->system >= 0 && listers.of[act->system] ? listers.of[act->system]->Owner(act->opened)
                                                                         : 0;
        };
        auto departures = [&]() -> uint64_t {
            return act->system >= 0 && listers.of[act->system] ? listers.of[act->system]->Departures(act->opened) : 0;
        };
        if (reopened) {
            // Woken when the connection shows, or when its time is up.
            if (connected) {
                // A program that dropped our connection before is back only once it keeps it.
                act->owner = owner();
                act->departures = departures();
                if (act->owner && act->owner == dropped && NowMs() - reopened < kConnectGraceMs) return true;
                act->back = true;
                act->listed = std::move(now);
                return true;
            }
            if (listed && NowMs() - reopened < kConnectGraceMs) return true;
        } else if (connected) {
            // Unregistered since it was last seen connected: the device went and came back
            // between two looks, and something connected ours again. What went out meanwhile
            // went nowhere.
            const uint64_t went = departures();
            const bool returned = !seen.empty() && went > gone;
            if (returned) ++mMidiCuts[input];
            const uint64_t id = owned && !returned ? owned : owner();
            std::lock_guard<std::mutex> lock(mFollowLock);
            if (mMidiOpened[input] == act->opened && mFollowChanges[input] == act->changes) {
                mFollowSeen[input] = now;
                mFollowOwner[input] = id;
                mFollowGone[input] = went;
                mFollowDropSeenMs[input] = 0;
            }
            return false;
        } else if (listed && seen.empty() && OfTheLibrary(act->system) && NowMs() - openedAt < kConnectGraceMs) {
            return true; // a choice's connection not shown yet
        }
        // A departure: closed now, looked for again once the system has settled.
        act->close = true;
        // Our JACK client's port connects as it opens, or does not open; the library's may never
        // have connected at all, which is a refusal rather than a departure.
        act->refused = OfTheLibrary(act->system) && seen.empty();
        // Still listed under the program that took our connection, or that dropped it before: it
        // dropped ours, which no restart of that program does. A port that was unregistered
        // meanwhile went and came back, whatever program it is listed under now.
        if (listed && (owned || dropped) && departures() == gone) {
            act->owner = owner();
            act->dropped = act->owner && (act->owner == owned || act->owner == dropped);
            // A program that ends drops its connections just before its ports go: a drop counts
            // once the port has stayed a moment.
            std::lock_guard<std::mutex> lock(mFollowLock);
            const int64_t now = NowMs();
            if (act->dropped && mFollowChanges[input] == act->changes &&
                (!mFollowDropSeenMs[input] || now - mFollowDropSeenMs[input] < kDropSettleMs)) {
                if (!mFollowDropSeenMs[input]) mFollowDropSeenMs[input] = now;
                mFollowRetryAtMs[input] = mFollowDropSeenMs[input] + kDropSettleMs; // the look that decides
                act->close = act->dropped = false;
                return true;
            }
            act->refused = act->refused || act->dropped;
        }
        return true;
    }
    std::string why;
    const int at = IMidiMatchFollowedName(now, act->choice, seen, &why);
    if (at <= 0) {
        // The port that refused has gone: one that comes is tried at once.
        if (retryAt) {
            std::lock_guard<std::mutex> lock(mFollowLock);
            if (mFollowChanges[input] == act->changes) mFollowFailures[input] = 0, mFollowRetryAtMs[input] = 0;
        }
        act->tellWhy = why != act->why;
        act->why = why;
        return true;
    }
    // A reopen that failed is not tried again before its time, whatever woke this thread.
    if (NowMs() < retryAt) return true;
    act->open = now[size_t(at)];
    act->listed = std::move(now);
    // Asked here, before the plug-in mutex: a server that stalls must not hold up the host.
    if (act->system >= 0) {
        act->owner = listers.of[act->system]->Owner(act->open);
        act->departures = listers.of[act->system]->Departures(act->open);
    }
    return false; // missing only if the open fails
}

void IPluginBase::FollowExternalMIDI()
{
    FollowListers listers;
    int wait = -1;
    while (mFollower.Wait(wait)) {
        const uint64_t pass = mFollower.BeginPass();
        // Looking takes no lock that a sender or the host's calls take.
        FollowAct acts[2];
        bool missing = false, tells = true, chosen = false;
        for (const bool input : {true, false}) {
            missing = FollowLook(input, listers, &acts[input], &tells) || missing;
            chosen = chosen || !acts[input].choice.empty();
        }
        const bool act = acts[0].close || acts[1].close || acts[0].tellWhy || acts[1].tellWhy || acts[0].back ||
                         acts[1].back || !acts[0].open.empty() || !acts[1].open.empty();
        // Only a change takes the plug-in mutex, first of all, as a user's choice does. Whoever
        // holds it may be about to stop this thread: the wait for it ends with the stop.
        auto holding = [this](const std::function<void()>& step) {
            while (!mutex.TryEnter()) {
                if (mFollower.Stopping()) return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            struct Held {
                KIT_Mutex& mutex;
                ~Held() { mutex.Leave(); }
            } held{mutex};
            const std::lock_guard<std::recursive_mutex> ports(mPortsLock);
            step();
            return true;
        };
        auto step = [&] {
            bool returned = false;
            if (act) missing = FollowStep(acts, &returned) || missing;
            if (returned) mFollowEnquiry = true;
            // A busy job thread is never waited for here: the call is made again a little later.
            // A reopen under way is not open yet.
            const bool opening = acts[0].openLater || acts[1].openLater;
            if (!missing && !opening && mFollowEnquiry && OnExternalMIDIReturned()) mFollowEnquiry = false;
        };
        if ((act || (!missing && mFollowEnquiry)) && !holding(step)) break;
        FollowCloseLater(acts);
        // The server's part of a reopen is done without the plug-in mutex; what it opened is told
        // under the mutex again.
        if (FollowOpenLater(acts, listers)) {
            // Closing: an open left undone is not told as refused.
            if (mFollower.Stopping() || !holding(step)) break;
            FollowCloseLater(acts);
        }
        // Where the system tells of ports only while a port of ours is open, or not at all, the
        // follower looks by itself; a reopen that failed is tried when its time comes. The
        // library's connections are read from the system's list, which may still show one its
        // notice said was undone (JACK's, until the next cycle): looked at again while open.
        bool libraryOpen = false;
        for (const bool input : {true, false})
            libraryOpen = libraryOpen || (!acts[input].opened.empty() && OfTheLibrary(acts[input].system));
        wait = mFollowEnquiry ? kRetryReturnedMs : missing || (chosen && (!tells || libraryOpen)) ? kLookMs : -1;
        const int64_t now = NowMs();
        {
            std::lock_guard<std::mutex> lock(mFollowLock);
            for (const bool input : {true, false})
                if (wait >= 0 && mFollowRetryAtMs[input] > now)
                    wait = int(std::min<int64_t>(wait, mFollowRetryAtMs[input] - now + 1));
        }
        mFollower.EndPass(pass, !acts[0].unseen && !acts[1].unseen);
    }
}

void IPluginBase::FollowCloseLater(FollowAct* acts)
{
    for (const bool input : {true, false}) {
        if (!acts[input].closeLater) continue;
        acts[input].closeLater = false;
        // Without the plug-in mutex: a choice made meanwhile waits for this close, the host's
        // other calls do not. One made before it closed the port itself.
        const std::lock_guard<std::recursive_mutex> ports(mPortsLock);
        {
            std::lock_guard<std::mutex> lock(mFollowLock);
            if (mFollowChanges[input] != acts[input].closedChanges) continue;
        }
        if (IMidiClient* client = input ? midiIn : midiOut) client->ClosePort();
        if (!input) {
            const MidiOutHold hold(this);
            mMidiOutDetached = false;
        }
    }
}

uint64_t IPluginBase::AskExternalMIDILook()
{
    if (!mFollower.Running()) return 0;
    const uint64_t next = mFollower.PassesBegun() + 1;
    mFollower.Wake();
    return next;
}

bool IPluginBase::ExternalMIDILooked(uint64_t asked) const
{
    return mFollower.PassesDone() >= asked;
}

bool IPluginBase::FollowOpenLater(FollowAct* acts, FollowListers& listers)
{
    bool made = false;
    for (const bool input : {true, false}) {
        FollowAct& act = acts[input];
        if (!act.openLater) continue;
        act.openLater = false;
        act.openDone = made = true;
        if (mFollower.Stopping()) continue; // the plug-in is closing: no server call is worth its wait
        {
            // Without the plug-in mutex: a choice made meanwhile waits for this open, the host's
            // other calls do not. One made before it stands, and FollowStep then tells nothing.
            const std::lock_guard<std::recursive_mutex> ports(mPortsLock);
            {
                std::lock_guard<std::mutex> lock(mFollowLock);
                if (mFollowChanges[input] != act.changes) continue;
            }
            int port = 1;
            if (input) {
                // Its deliveries take the plug-in mutex as soon as it connects, and wait for it.
                act.openIndex = OpenExternalMIDIIn(port, act.open.c_str(), &act.openRefused);
                if (act.openIndex > 0) act.openedName = midiInNames[size_t(act.openIndex)];
            } else {
                {
                    // The senders leave the client alone while it changes.
                    const MidiOutHold hold(this);
                    mMidiOutDetached = true;
                }
                act.openIndex = OpenExternalMIDIOut(port, act.open.c_str(), &act.openRefused);
                const MidiOutHold hold(this);
                if (act.openIndex > 0) act.openedName = midiOutNames[size_t(act.openIndex)];
                mMidiOutDetached = false;
                SendParkedMidiOut(true); // meant for the port that closed
            }
        }
        // Asked of the follower's own lister, before the plug-in mutex.
        if (act.openIndex > 0) act.openConnected = FollowConnected(input, listers, act.system, act.open);
    }
    return made;
}

bool IPluginBase::FollowStep(FollowAct* acts, bool* returned)
{
    bool missing = false, changed = false, listsRead = false, told = false;
    // After a reopen made without the plug-in mutex, only what it opened is told.
    const bool opened = acts[0].openDone || acts[1].openDone;
    for (const bool input : {true, false}) {
        FollowAct& act = acts[input];
        if (opened && !act.openDone) continue;
        {
            std::lock_guard<std::mutex> lock(mFollowLock);
            if (mFollowChanges[input] != act.changes) {
                act.unseen = true;
                mFollower.Wake(); // looked at again at once
                continue;
            }
            if (act.tellWhy) mFollowWhy[input] = act.why;
        }
        if (act.tellWhy && !act.why.empty()) LogLine("MIDI %s: %s", Direction(input), act.why.c_str());
        told = told || act.tellWhy;
        IMidiClient* client = input ? midiIn : midiOut;
        // Nothing more is sent to, or taken from, a port that leads nowhere. Later: only taken
        // away from the senders and the input here; the server's part of the close, which a server
        // that lost a client stalls for seconds, is done once the plug-in mutex is let go.
        auto closePort = [&](bool later) {
            if (input) {
                StopMIDIInDelivery();
                if (!later) client->ClosePort();
            } else {
                const MidiOutHold hold(this);
                mMidiOutDetached = later;
                if (!later) client->ClosePort();
            }
            {
                std::lock_guard<std::mutex> lock(mFollowLock);
                mFollowReopenedMs[input] = 0;
                mFollowAwaitsFresh[input] = false;
            }
            mFollowerOpens = true; // what it saw of the device is kept for its return
            NoteOpenedPort(input, std::string());
            mFollowerOpens = false;
            if (later) {
                std::lock_guard<std::mutex> lock(mFollowLock);
                act.closeLater = true;
                act.closedChanges = mFollowChanges[input];
            }
            OnExternalMIDIPortChanged(input);
            changed = true;
        };
        // A port that leads nowhere is tried again later, less and less often, and said once.
        auto refused = [&](const std::string& name) {
            int failures;
            missing = true;
            {
                std::lock_guard<std::mutex> lock(mFollowLock);
                if (mFollowSettling[input]) {
                    mFollowSettling[input] = false;
                    mFollowRetryAtMs[input] = NowMs() + kStartingMs;
                    return;
                }
                failures = ++mFollowFailures[input];
                const int n = int(sizeof kBackOffMs / sizeof kBackOffMs[0]);
                mFollowRetryAtMs[input] = NowMs() + kBackOffMs[std::min(failures, n) - 1];
                if (act.dropped) mFollowDropped[input] = act.owner;
            }
            if (failures == 1)
                LogLine("MIDI %s: \"%s\" is listed but %s; tried again less and less often", Direction(input),
                        name.c_str(), act.dropped ? "drops our connection" : "could not be opened");
        };
        if (act.close && client) {
            if (act.refused) {
                refused(act.opened);
            } else {
                LogLine("MIDI %s: \"%s\" went away; its port is closed until it comes back", Direction(input),
                        act.opened.c_str());
                std::lock_guard<std::mutex> lock(mFollowLock);
                mFollowRetryAtMs[input] = NowMs() + kSettleMs;
                mFollowSettling[input] = true;
                mFollowOwner[input] = mFollowDropped[input] = 0;
            }
            closePort(true);
        }
        // Back: as a reopen found connected at once, below.
        auto back = [&](const std::string& name, std::vector<std::string>& listed) {
            bool fresh;
            {
                std::lock_guard<std::mutex> lock(mFollowLock);
                mFollowSeen[input] = std::move(listed);
                mFollowFailures[input] = 0;
                mFollowRetryAtMs[input] = 0;
                mFollowReopenedMs[input] = 0;
                mFollowSettling[input] = false;
                fresh = mFollowAwaitsFresh[input];
                mFollowAwaitsFresh[input] = false;
                // Kept for as long as it took to be said back: it keeps our connection now.
                mFollowOwner[input] = act.owner;
                mFollowGone[input] = act.departures;
                if (act.owner && act.owner == mFollowDropped[input]) mFollowDropped[input] = 0;
            }
            // A recall's open, connected: nothing came back.
            if (fresh)
                LogLine("MIDI %s: \"%s\" is connected", Direction(input), name.c_str());
            else
                LogLine("MIDI %s: \"%s\" is back; its port is open again", Direction(input), name.c_str());
            *returned = true;
        };
        if (act.back && client) {
            back(act.opened, act.listed);
            changed = true;
        }
        if (act.open.empty() || !client) continue;
        const std::string name = act.open;
        if (!act.openDone) {
            // The look's list, read before any lock, names the port: the other direction's is left alone.
            if ((input ? getExternalMIDIInDevice(name.c_str()) : getExternalMIDIOutDevice(name.c_str())) < 0) {
                UseMidiNames(input, act.listed);
                listsRead = true;
            }
            if (input) StopMIDIInDelivery(); // nothing of an earlier opening is delivered meanwhile
            act.openLater = true;            // by FollowOpenLater, once the plug-in mutex is let go
            continue;
        }
        int index = act.openIndex;
        mFollowerOpens = true;
        SetExternalMIDIChoice(input, 1, name.c_str());
        NoteOpenedPort(input, index > 0 ? act.openedName : std::string(), act.openRefused);
        mFollowerOpens = false;
        OnExternalMIDIPortChanged(input);
        if (!input) ReportDroppedMidiOut(); // what the render call could not send meanwhile
        changed = changed || index > 0 || !act.opened.empty();
        // Open is not connected on every system: "back" only once the device's port lists ours.
        // Unconnected just after a departure, it is a program starting, tried again soon; else the
        // looks give its connection time to show.
        // A program that dropped our connection before must keep it a while first.
        bool settling;
        uint64_t dropped;
        {
            std::lock_guard<std::mutex> lock(mFollowLock);
            settling = mFollowSettling[input];
            dropped = mFollowDropped[input];
        }
        const bool held = index > 0 && act.owner && act.owner == dropped;
        if (index > 0 && (held || !act.openConnected)) {
            if (settling && !held) {
                closePort(true);
                index = 0;
            } else {
                std::lock_guard<std::mutex> lock(mFollowLock);
                mFollowReopenedMs[input] = NowMs();
                mFollowRetryAtMs[input] = mFollowReopenedMs[input] + kConnectGraceMs; // the look that decides
                missing = true;
                continue;
            }
        }
        if (index > 0)
            back(name, act.listed);
        else
            refused(name);
    }
    if (changed || listsRead || told) OnExternalMIDIFollowed();
    return missing;
}
