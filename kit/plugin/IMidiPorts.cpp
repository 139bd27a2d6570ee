// The two external MIDI ports of the plug-in base: name lists, opening and closing by name, the
// input callback and the send operations, over one client per direction.
#include "kit/plugin/IMidiPorts.h"

#include <algorithm>
#include <cstring>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <unistd.h>

#include "kit/plugin/IMidiHandOver.h"
#include "kit/plugin/IMidiLister.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/Log.h"

namespace {

const char* const kOutPortName = "RtMidi Output";
const char* const kInPortName = "RtMidi Input";

// Tries the systems in turn and keeps the first whose client can be made and reaches it; made
// says which. The system's word on ports that come and go wakes the follower, from before the
// client is active.
IMidiClient* MakeClient(bool input, const std::string& clientName, IMidiFollower* follower, int* made)
{
    for (IMidiSystem system : IMidiPortApis(std::getenv("QOR_MIDI_API")))
        if (IMidiClient* client = IMakeMidiClient(system, input, clientName.c_str())) {
            client->SetPortsChangedHook(&IMidiFollower::WakeHook, follower);
            *made = int(system);
            return client;
        }
    *made = -1;
    return nullptr;
}

// The client's ports but our own (ours: the two client names of this instance), which the user
// never means: an input fed with the editor's own output. So a list index is no longer the
// system's port number plus 1; every open finds its port by name.
void AppendPortNames(IMidiClient* client, const std::string* ours, std::vector<std::string>* names)
{
    std::vector<std::string> ports;
    unsigned n = client->PortCount();
    // A name the system cannot give stays empty; it names no port.
    for (unsigned i = 0; i < n; ++i) ports.push_back(client->PortName(i));
    IMidiDropOwnPorts(&ports, ours, 2);
    names->insert(names->end(), ports.begin(), ports.end());
}

void DeleteClient(IMidiClient*& client)
{
    delete client; // closes its port first
    client = nullptr;
}

int ListIndexOf(const std::vector<std::string>& names, const char* name)
{
    if (!name) return -1;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return int(i);
    return -1;
}

// The system's current number of the port called name. The list may be stale, and it leaves our
// own ports out: the number the list suggests is used only while the name there is the same.
int CurrentPortNumber(IMidiClient* client, int listIndex, const std::string& name)
{
    unsigned n = client->PortCount();
    if (listIndex >= 1 && unsigned(listIndex - 1) < n && client->PortName(unsigned(listIndex - 1)) == name)
        return listIndex - 1;
    for (unsigned i = 0; i < n; ++i)
        if (client->PortName(i) == name) return int(i);
    return -1;
}

// What the input's open does around each try: beforeOpen just before the port connects,
// beforeClose before a port that turned out wrong is closed.
struct OpenHooks {
    std::function<void()> beforeOpen, beforeClose;
};

// Opens the system's port for the list entry that the stored name stands for; port and the
// result become that list index, or 0 when no client, no such entry, the "no port" entry or a
// failed open. refused: the port is listed, and the client could not open it as the system gave
// up on the client (no client: a spent one with no fresh one left); a port that refuses the
// connection is not one.
int OpenByName(IMidiClient* client, const std::vector<std::string>& names, int& port, const char* name,
               const char* portName, const char* direction, bool* refused, const OpenHooks* hooks = nullptr)
{
    *refused = false;
    std::string why;
    int idx = port == 0 ? -1 : IMidiMatchStoredName(names, name, &why);
    port = 0;
    if (idx < 0 && !why.empty()) LogLine("MIDI %s: %s", direction, why.c_str());
    // An empty entry stands for a name the system could not give; it names no port.
    if (idx <= 0 || names[size_t(idx)].empty()) return 0;
    if (!client) {
        *refused = true;
        return 0;
    }
    const std::string& want = names[size_t(idx)];
    // Other programs add and remove ports at any time, and the system opens by number: a
    // number is trusted only if it still names the port once that is open. A port that refused
    // is not asked again under the same number: each try costs the system's time and words.
    int refusedNumber = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int number = CurrentPortNumber(client, idx, want);
        // Still there: not a port that went meanwhile.
        *refused = number >= 0 && number == refusedNumber && client->Spent();
        if (number < 0 || number == refusedNumber) break;
        if (hooks) hooks->beforeOpen();
        const bool opened = client->OpenPort(unsigned(number), portName);
        if (opened && client->PortName(unsigned(number)) == want) {
            port = idx;
            return idx;
        }
        if (hooks) hooks->beforeClose();
        if (opened) client->ClosePort();
        refusedNumber = opened ? -1 : number;
    }
    return 0;
}

// Current port number + 1 of name, 0 for the "no port" entry, `virtualIndex` for the virtual
// port's name, -1 when absent.
int PortNumberByName(IMidiClient* client, const char* name, const char* virtualName)
{
    if (!name) return -1;
    if (std::string(name) == QOR_SELECT_MIDI_DEVICE) return 0;
    if (std::string(name) == virtualName) return 1;
    if (!client) return -1;
    int n = CurrentPortNumber(client, 0, name);
    return n < 0 ? -1 : n + 1;
}

// Another sender holds the output for the microseconds one message takes; a port change or a
// wait for room holds it far longer. The render call outlasts the first, never the second.
bool TryBriefly(std::unique_lock<std::mutex>& lock)
{
    for (int attempt = 0; attempt < 256; ++attempt) {
        if (lock.try_lock()) return true;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause(); // a few microseconds in all, and the thread keeps its processor
#endif
    }
    return false;
}

// An ALSA port name ends in the client and port numbers (" 24:0"), which a device that comes
// back may not get again.
std::string WithoutClientNumbers(const std::string& name)
{
    size_t at = name.size();
    auto digits = [&] {
        const size_t last = at;
        while (at > 0 && std::isdigit(static_cast<unsigned char>(name[at - 1]))) --at;
        return at < last;
    };
    if (!digits() || at == 0 || name[at - 1] != ':') return name;
    --at;
    if (!digits() || at == 0 || name[at - 1] != ' ') return name;
    return name.substr(0, at - 1);
}

} // namespace

std::vector<IMidiSystem> IMidiPortApis(const char* forced)
{
    std::vector<IMidiSystem> order = {IMidiSystem::kAlsa, IMidiSystem::kJack};
    std::string want = forced ? forced : "";
    for (char& c : want) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (want == "alsa")
        order = {IMidiSystem::kAlsa};
    else if (want == "jack")
        order = {IMidiSystem::kJack};
    else if (want == "rtjack")
        order = {IMidiSystem::kLibraryJack};

    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    auto built = [&compiled](RtMidi::Api api) {
        return std::find(compiled.begin(), compiled.end(), api) != compiled.end();
    };
    std::vector<IMidiSystem> result;
    for (IMidiSystem system : order) {
        // Our own JACK client is there whatever the library was built with.
        if (system == IMidiSystem::kJack ||
            built(system == IMidiSystem::kAlsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK))
            result.push_back(system);
    }
    return result;
}

IMidiClient* IMakeMidiClient(IMidiSystem system, bool input, const char* clientName)
{
    switch (system) {
    case IMidiSystem::kJack: return IMakeJackMidiClient(input, clientName);
    case IMidiSystem::kLibraryJack: return IMakeRtMidiClient(RtMidi::UNIX_JACK, input, clientName);
    default: return IMakeRtMidiClient(RtMidi::LINUX_ALSA, input, clientName);
    }
}

int IMidiMatchStoredName(const std::vector<std::string>& names, const char* stored, std::string* why)
{
    int exact = ListIndexOf(names, stored);
    if (exact >= 0 || !stored) return exact;
    // A project keeps the first characters of a longer name: one port that begins with them is
    // the one saved; two could be either.
    const std::string cut(stored);
    if (cut.size() != kIMidiStoredNameLength) return -1;
    int found = -1, count = 0;
    for (size_t i = 1; i < names.size(); ++i)
        if (names[i].compare(0, cut.size(), cut) == 0) {
            found = int(i);
            ++count;
        }
    if (count == 1) return found;
    if (why) {
        *why = count ? std::to_string(count) + " ports begin with \"" + cut + "\"; none opened as it could be either"
                     : "no port is called or begins with \"" + cut + "\"";
    }
    return -1;
}

int IMidiMatchFollowedName(const std::vector<std::string>& names, const std::string& chosen,
                           const std::vector<std::string>& seen, std::string* why)
{
    std::string whyStored;
    int at = IMidiMatchStoredName(names, chosen.c_str(), &whyStored);
    if (at > 0) return at;
    const std::string bare = WithoutClientNumbers(chosen);
    int count = 0;
    for (size_t i = 1; i < names.size(); ++i)
        if (WithoutClientNumbers(names[i]) == bare && std::find(seen.begin(), seen.end(), names[i]) == seen.end()) {
            at = int(i);
            ++count;
        }
    if (count == 1) return at;
    if (why) {
        *why = count ? std::to_string(count) + " ports are called \"" + bare +
                           "\" with other numbers; none opened as it could be either"
                     : whyStored;
    }
    return -1;
}

// The library's clients had one fixed pair of names in every instance ("RtMidi Output Client",
// "RtMidi Input Client"), which no other system shows and by which two editors, or the editor's
// own ports in its lists, could not be told apart. Each instance's now carry the process and a
// number of their own.
std::string IMidiOwnClientName(bool input)
{
    static std::atomic<unsigned> made{0};
    return std::string(input ? "RtMidi Input Client " : "RtMidi Output Client ") + std::to_string(getpid()) + "-" +
           std::to_string(++made);
}

// ---- name lists ----

std::vector<std::string>* IPluginBase::getExternalMIDIOutNames()
{
    KIT_MutexLock lists(&mutex);
    {
        // Read as they stand: the follower may hold mPortsLock through a server call.
        const MidiOutHold hold(this);
        if (!midiOutNames.empty()) return &midiOutNames;
    }
    const std::lock_guard<std::recursive_mutex> ports(mPortsLock); // it may make the client
    const MidiOutHold hold(this);
    if (!midiOutNames.empty()) return &midiOutNames;
    midiOutPort = 0;
    if (!midiOut) MakeExternalMIDIClient(false);
    midiOutNames.push_back(QOR_SELECT_MIDI_DEVICE);
    if (midiOut) AppendPortNames(midiOut, mMidiClientName, &midiOutNames);
    return &midiOutNames;
}

std::vector<std::string>* IPluginBase::getExternalMIDIInNames()
{
    KIT_MutexLock lists(&mutex);
    if (!midiInNames.empty()) return &midiInNames; // swapped only under the plug-in mutex
    const std::lock_guard<std::recursive_mutex> ports(mPortsLock); // it may make the client
    if (!midiInNames.empty()) return &midiInNames;
    midiInPort = 0;
    if (!midiIn) MakeExternalMIDIClient(true);
    midiInNames.push_back(QOR_SELECT_MIDI_DEVICE);
    if (midiIn) AppendPortNames(midiIn, mMidiClientName, &midiInNames);
    return &midiInNames;
}

void IPluginBase::MakeExternalMIDIClient(bool input)
{
    int system = -1;
    IMidiClient* made = mMakeMidiClient ? mMakeMidiClient(input, mMidiClientName[input])
                                        : MakeClient(input, mMidiClientName[input], &mFollower, &system);
    NoteMadeClient(input, made, system);
    // Installed once and kept; a message reaches the plug-in only while the opening it came
    // through is the open one, stamped with it on arrival by a client that can.
    if (input && midiIn && !midiIn->SetStampedCallback(DeliverMIDIInput, &mMidiInLive, this))
        midiIn->SetCallback(MIDICallback, this);
}

bool IPluginBase::RenewSpentMIDIClient(bool input)
{
    // A few fresh clients at most: a server that activates none takes no more of them. A fresh
    // one that could not even be made counts too, and is tried again at the next open.
    const int kFreshClients = 3;
    IMidiClient*& client = input ? midiIn : midiOut;
    const char* direction = input ? "input" : "output";
    if (client ? !client->Spent() : mMidiFreshClients[input] == 0) return true;
    if (mMidiFreshClients[input] >= kFreshClients) {
        // Said once: the follower asks again and again, and a spent client asked to open would
        // say its own refusal each time.
        if (mMidiFreshClients[input] == kFreshClients) {
            ++mMidiFreshClients[input];
            LogLine("MIDI %s: %d fresh clients could not be activated either; none more until the plug-in is "
                    "opened again",
                    direction, kFreshClients);
        }
        return false;
    }
    ++mMidiFreshClients[input];
    IMidiClient* spent = client;
    NoteMadeClient(input, nullptr, -1); // out of the follower's sight before it goes
    delete spent; // its system's client stays, never closed: see IAbandonJackClient
    {
        // Under a new name, so that the editor's own ports stay out of its lists.
        std::lock_guard<std::mutex> lock(mFollowLock);
        mMidiClientName[input] = IMidiOwnClientName(input);
    }
    MakeExternalMIDIClient(input);
    LogLine("MIDI %s: a fresh client (%d of %d) in place of one that could not be activated", direction,
            mMidiFreshClients[input], kFreshClients);
    return true;
}

std::vector<std::string> IPluginBase::CurrentMidiNames(bool input)
{
    std::vector<std::string> names{QOR_SELECT_MIDI_DEVICE};
    const MidiOutHold hold(this, !input);
    std::string ours[2];
    {
        std::lock_guard<std::mutex> follow(mFollowLock);
        ours[0] = mMidiClientName[0], ours[1] = mMidiClientName[1];
    }
    if (IMidiClient* client = input ? midiIn : midiOut) AppendPortNames(client, ours, &names);
    return names;
}

void IPluginBase::UseMidiNames(bool input, std::vector<std::string> names)
{
    // Read by the caller before any lock: the output's lock is held here only for the swap, so
    // neither the render call nor the other direction waits for a system's list.
    IMidiDropOwnPorts(&names, mMidiClientName, 2);
    if (input) {
        midiInNames.swap(names);
    } else {
        const MidiOutHold hold(this);
        midiOutNames.swap(names);
    }
}

int IPluginBase::getExternalMIDIOutDevice(const char* name)
{
    const MidiOutHold hold(this);
    return ListIndexOf(midiOutNames, name);
}

int IPluginBase::getExternalMIDIInDevice(const char* name)
{
    return ListIndexOf(midiInNames, name);
}

int IPluginBase::GetMIDIOutPortNumber(const char* name)
{
    const MidiOutHold hold(this);
    return PortNumberByName(mMidiOutDetached ? nullptr : midiOut, name, "virtual output");
}

int IPluginBase::GetMIDIInPortNumber(const char* name)
{
    return PortNumberByName(midiIn, name, "virtual input");
}

// ---- opening and closing ----

int IPluginBase::setExternalMIDIOut(int& port, const char* name)
{
    // The follower opens ports too: one opener at a time, in the lock order.
    KIT_MutexLock opener(&mutex);
    const std::lock_guard<std::recursive_mutex> ports(mPortsLock);
    SetExternalMIDIChoice(false, port, name);
    int opened;
    bool refused;
    std::string openedName;
    {
        const MidiOutHold hold(this);
        mMidiOutDetached = false; // a close the follower left undone is done here
        opened = OpenExternalMIDIOut(port, name, &refused);
        SendParkedMidiOut(true); // meant for the port that closed
        if (opened > 0) openedName = midiOutNames[size_t(opened)];
    }
    const bool awaits = NoteOpenedPort(false, openedName, refused);
    OnExternalMIDIPortChanged(false);
    ReportDroppedMidiOut(); // what the render call could not send meanwhile
    return awaits ? 0 : opened;
}

int IPluginBase::OpenExternalMIDIOut(int& port, const char* name, bool* refused)
{
    if (midiOut) midiOut->ClosePort();
    // A spent client is not asked to open: it would refuse, and say so, at every retry.
    IMidiClient* client = RenewSpentMIDIClient(false) ? midiOut : nullptr;
    midiOutPort = port;
    return OpenByName(client, midiOutNames, port, name, kOutPortName, "output", refused);
}

int IPluginBase::setExternalMIDIIn(int& port, const char* name)
{
    KIT_MutexLock opener(&mutex);
    const std::lock_guard<std::recursive_mutex> ports(mPortsLock);
    SetExternalMIDIChoice(true, port, name);
    StopMIDIInDelivery();
    bool refused;
    const int idx = OpenExternalMIDIIn(port, name, &refused);
    const bool awaits = NoteOpenedPort(true, idx > 0 ? midiInNames[size_t(idx)] : std::string(), refused);
    OnExternalMIDIPortChanged(true);
    return awaits ? 0 : idx;
}

int IPluginBase::OpenExternalMIDIIn(int& port, const char* name, bool* refused)
{
    if (midiIn) midiIn->ClosePort();
    IMidiClient* client = RenewSpentMIDIClient(true) ? midiIn : nullptr;
    midiInPort = port;
    // Each try has a number of its own, published before the port connects so that nothing
    // arriving after the connection is lost; deliveries hold it back until the name is checked,
    // and it is withdrawn before a wrong port closes. The callback was installed with the client.
    uint32_t serial = 0;
    const OpenHooks hooks{[this, &serial] {
                              if ((++mMidiInOpens & kMidiInUnchecked) || mMidiInOpens == 0) mMidiInOpens = 1; // 0: none
                              serial = mMidiInOpens;
                              mMidiInLive = serial | kMidiInUnchecked;
                          },
                          [this] { mMidiInLive = 0; }};
    const int idx = OpenByName(client, midiInNames, port, name, kInPortName, "input", refused, &hooks);
    mMidiInLive = idx == 0 ? 0 : serial;
    return idx;
}

bool IPluginBase::initializeVirtualOutput(std::string)
{
    KIT_MutexLock opener(&mutex); // the follower reads midiOut under it
    const std::lock_guard<std::recursive_mutex> ports(mPortsLock);
    const MidiOutHold hold(this);
    mMidiOutDetached = false;
    IMidiClient* old = midiOut;
    NoteMadeClient(false, nullptr, -1); // out of the follower's sight before it goes
    delete old;
    MakeExternalMIDIClient(false);
    return midiOut != nullptr;
}

void IPluginBase::CloseExternalMIDIPorts()
{
    // Nothing more reaches the plug-in while the follower ends: it closes clients of its own,
    // which takes the server's time. A reopen it makes meanwhile is withdrawn below.
    mMidiInLive = 0;
    // The follower opens ports: it goes first, and it may wait for the plug-in mutex, so this
    // holds no lock while it joins.
    mFollower.Stop();
    // Input first: once no delivery is running or can start, whatever a delivery would touch
    // (the output, the plug-in itself) may go.
    StopMIDIInDelivery();
    {
        ReportDroppedMidiOut();
        const MidiOutHold hold(this);
        if (midiOut) DeleteClient(midiOut);
    }
    if (midiIn) DeleteClient(midiIn);
}

// ---- input ----

void IPluginBase::StopMIDIInDelivery()
{
    mMidiInLive = 0;
    // A delivery inside the plug-in holds the mutex: entering it waits that one out. A thread
    // that holds it already has no delivery to wait for.
    KIT_MutexLock wait(&mutex);
}

void IPluginBase::MIDICallback(double deltaTime, std::vector<unsigned char>* message, void* userData)
{
    processMIDIInput(deltaTime, message, userData);
}

void IPluginBase::processMIDIInput(double deltaTime, std::vector<unsigned char>* message, void* userData)
{
    const IPluginBase* plug = static_cast<IPluginBase*>(userData);
    DeliverMIDIInput(plug ? plug->mMidiInLive.load() : 0, deltaTime, message, userData);
}

void IPluginBase::DeliverMIDIInput(uint32_t serial, double, std::vector<unsigned char>* message, void* userData)
{
    IPluginBase* plug = static_cast<IPluginBase*>(userData);
    if (!plug || !message || message->empty() || message->size() > size_t(INT_MAX)) return;
    // Timing clock, time code and active sensing are not for the plug-in; not every client
    // filters them.
    const unsigned char status = message->front();
    if (status == 0xF8 || status == 0xF1 || status == 0xFE) return;
    const uint32_t port = serial & ~kMidiInUnchecked;
    if (!port) return;
    // Past the port check: a delivery parked here meets a close as a real one does; before it, none would.
    if (plug->mBeforeInputDelivery) plug->mBeforeInputDelivery();
    // The plug-in mutex comes first, before anything port code holds. The thread that closes
    // this port may hold it and wait for this one to end: so the wait gives up once the port is
    // no longer the open one. A port whose name is not checked yet is waited for too, bounded:
    // a client that fails to open closes it before the port code could withdraw it.
    const auto uncheckedUntil = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (int tries = 0;; ++tries) {
        const uint32_t live = plug->mMidiInLive;
        if ((live & ~kMidiInUnchecked) != port) return;
        if (!(live & kMidiInUnchecked)) {
            if (plug->mutex.TryEnter()) break;
        } else if (std::chrono::steady_clock::now() >= uncheckedUntil) {
            return;
        }
        if (tries < 20)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(tries < 100 ? 50 : 500));
    }
    struct Held {
        KIT_Mutex& mutex;
        ~Held() { mutex.Leave(); }
    } held{plug->mutex};
    if (plug->mMidiInLive != port) return;
    const std::vector<unsigned char>& m = *message;
    // Nothing may leave this thread by an exception: the client's delivering thread calls us.
    try {
        if (m.size() <= 3) {
            IMidiMsg msg(0, m[0], m.size() > 1 ? m[1] : 0, m.size() > 2 ? m[2] : 0);
            plug->ProcessMidiMsg(&msg, true);
        } else {
            // The port keeps the bytes alive for the length of this call.
            ISysEx sysex(0, m.data(), int(m.size()));
            plug->ProcessSysEx(&sysex, true);
        }
    } catch (...) {
    }
}

// ---- output ----

bool IPluginBase::SendExternalBytes(const unsigned char* data, size_t size)
{
    // A negative count handed on as a size shows up as a huge one.
    if (!data || size == 0 || size > size_t(INT_MAX)) return false;
    // The host's render call must not stall the host's audio: it takes the output only when
    // free (a port change holds it for seconds) and hands over only what the output takes at
    // once. What it loses is counted, as it may not log; other threads wait, bounded.
    const bool render = InRenderCall();
    auto drop = [this] {
        midiOutDropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    };
    // Ends after the lock: a client's wake of its own thread then holds the lock up for nobody.
    const IMidiHandOver::WakeAfterLock wake(!render);
    MidiOutHold hold(this, false);
    std::unique_lock<std::mutex>& lock = hold.Lock();
    if (!render) {
        ReportDroppedMidiOut();
        lock.lock();
    } else if (!TryBriefly(lock)) {
        // Another sender holds the output: a short message waits for the next one to take it,
        // late by a block at most rather than lost.
        if (size > sizeof mParkedMidiOut[0].bytes) return drop();
        const uint32_t at = mParkedWritten.load(std::memory_order_relaxed);
        if (at - mParkedRead.load(std::memory_order_acquire) >= kParkedMidiOut) return drop();
        ParkedMidiOut& parked = mParkedMidiOut[at % kParkedMidiOut];
        std::memcpy(parked.bytes, data, size);
        parked.size = static_cast<unsigned char>(size);
        mParkedWritten.store(at + 1, std::memory_order_release);
        // Parked, then the output asked once more: a sender that let go meanwhile may have looked
        // at the ring before this one was in it. One that holds it now looks once it lets go.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (lock.try_lock()) SendParkedMidiOut();
        return true;
    }
    SendParkedMidiOut();
    if (mMidiOutDetached || !midiOut || !midiOut->IsPortOpen()) return false;
    if (size > midiOut->LargestMessage()) {
        if (render) return drop();
        LogLine("MIDI output: a message of %zu bytes is more than the MIDI system carries at once; not sent", size);
        return false;
    }
    if (midiOut->Send(data, size, !render)) return true;
    return render ? drop() : false;
}

void IPluginBase::SendParkedMidiOut(bool drop)
{
    uint32_t at = mParkedRead.load(std::memory_order_relaxed);
    const uint32_t end = mParkedWritten.load(std::memory_order_acquire);
    if (at == end) return;
    drop = drop || mMidiOutDetached || !midiOut || !midiOut->IsPortOpen();
    for (; at != end; ++at) {
        const ParkedMidiOut& parked = mParkedMidiOut[at % kParkedMidiOut];
        if (drop || !midiOut->Send(parked.bytes, parked.size, false))
            midiOutDropped.fetch_add(1, std::memory_order_relaxed);
    }
    mParkedRead.store(at, std::memory_order_release);
}

IPluginBase::MidiOutHold::~MidiOutHold()
{
    // What the render call parked meanwhile goes if the output is free; sending it holds the
    // output again, so a message parked during that send is looked at after it, in turn.
    while (mLock.owns_lock()) {
        mLock.unlock();
        // Pairs with the render call's fence between parking and asking for the output again.
        std::atomic_thread_fence(std::memory_order_seq_cst);
        if (mPlug->mParkedRead.load(std::memory_order_relaxed) ==
            mPlug->mParkedWritten.load(std::memory_order_acquire))
            return;
        if (mLock.try_lock()) mPlug->SendParkedMidiOut();
    }
}

void IPluginBase::FlushParkedMidiOut()
{
    if (mParkedRead.load(std::memory_order_relaxed) == mParkedWritten.load(std::memory_order_acquire)) return;
    MidiOutHold hold(this, false);
    if (hold.Lock().try_lock()) SendParkedMidiOut();
}

void IPluginBase::ReportDroppedMidiOut()
{
    // Read first: every send of the other threads passes here, and an exchange would write the
    // counter's line each time.
    if (midiOutDropped.load(std::memory_order_relaxed) == 0) return;
    if (uint32_t n = midiOutDropped.exchange(0))
        LogLine("MIDI output: the audio thread dropped %u message%s, the port being changed or full", unsigned(n),
                n == 1 ? "" : "s");
}

bool IPluginBase::SendExternalMidiMsg(const IMidiMsg* msg)
{
    if (!msg) return false;
    unsigned char status = msg->mStatus;
    size_t count;
    if (status < 0x80) return false; // no status byte: nothing a receiver could read
    if (status < 0xF0) {
        int kind = status >> 4;
        count = kind == IMidiMsg::kProgramChange || kind == IMidiMsg::kChannelAftertouch ? 2 : 3;
    } else if (status == 0xF1 || status == 0xF3) {
        count = 2;
    } else if (status == 0xF2) {
        count = 3;
    } else if (status == 0xF0 || status == 0xF7) {
        return false; // SysEx goes through the SysEx senders
    } else {
        count = 1;
    }
    // Data bytes are 7-bit: a high bit would read as a new status at the synthesizer.
    const unsigned char bytes[3] = {status, (unsigned char)(msg->mData1 & 0x7F), (unsigned char)(msg->mData2 & 0x7F)};
    return SendExternalBytes(bytes, count);
}

bool IPluginBase::SendExternalSysex(const unsigned char* data, int size)
{
    if (!data || size <= 0) return false;
    if (data[0] == 0xF0) return SendExternalBytes(data, size_t(size));
    std::vector<unsigned char> framed;
    framed.reserve(size_t(size) + 2);
    framed.push_back(0xF0);
    framed.insert(framed.end(), data, data + size);
    framed.push_back(0xF7);
    return SendExternalBytes(framed.data(), framed.size());
}

bool IPluginBase::SendMidiMsgs(KIT_TypedBuf<IMidiMsg>* msgs)
{
    bool all = true;
    int n = msgs ? msgs->GetSize() : 0;
    for (int i = 0; i < n; ++i) all = SendMidiMsg(msgs->Get() + i) && all;
    return all;
}
