#include "kit/plugin/IMidiJack.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "kit/plugin/Log.h"
#include "kit/threadname.h"

namespace {

const size_t kOutQueueBytes = size_t(1) << 18;
const size_t kInQueueBytes = size_t(1) << 20;
// The largest message sent in one piece: a cycle's MIDI buffer (32 KB on this server) must hold
// it beside the short messages queued with it. Callers send large SysEx message by message.
const size_t kLargestMessage = 16379;
// A SysEx that another client sends in pieces is put together up to this size, then dropped.
const size_t kLargestSysEx = size_t(1) << 20;
// How long a send waits for the server's thread to make room in a full queue.
const std::chrono::milliseconds kSendWait(500);
// Tries of a refused name, a pause of a random length between them so that two programs that
// met once do not meet again.
const int kOpenTries = 8;
const int kOpenRetryPauseMs[2] = {20, 120};
// How long closing waits for a process callback under way; one callback takes microseconds.
const std::chrono::milliseconds kProcessWait(2000);

struct InHead {
    uint32_t size;
    uint32_t frame; // the server's frame count when the message came
};

bool ServerAnswers()
{
    if (!IJackServerListening()) return false;
    static std::atomic<unsigned> probes{0};
    const std::string name = "qor-probe-" + std::to_string(getpid()) + "-" + std::to_string(probes++);
    jack_client_t* probe = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    if (probe) jack_client_close(probe);
    return probe != nullptr;
}

} // namespace

namespace
{

// PipeWire's JACK library reaches its own server, which has no socket of jackd's: its open with
// no server returns null and leaves no thread behind, so nothing needs to be asked first.
bool LibraryIsPipeWire()
{
    const char* version = jack_get_version_string();
    return version && std::strstr(version, "PipeWire");
}

// Said once until a server listens again: the follower asks every second.
std::atomic<bool> gToldNotListening{false};

std::string ServerName()
{
    const char* named = std::getenv("JACK_DEFAULT_SERVER");
    return named && *named ? named : "default";
}

} // namespace

bool IJackServerListening()
{
    if (LibraryIsPipeWire()) return true;
    const std::string server = ServerName();
    const std::string uid = std::to_string(getuid());
    // Where the two server generations of this platform listen. With JACK_PROMISCUOUS_SERVER
    // set the library connects only to the socket that leaves the user out: a server on the
    // user's own socket would only make its open fail.
    std::vector<std::string> paths = {"/dev/shm/jack_" + server + "_" + uid + "_0",
                                      "/dev/shm/jack-" + uid + "/" + server + "/jack_0",
                                      "/tmp/jack-" + uid + "/" + server + "/jack_0"};
    if (std::getenv("JACK_PROMISCUOUS_SERVER")) paths = {"/dev/shm/jack_" + server + "_0"};
    for (const std::string& path : paths) {
        sockaddr_un address{};
        if (path.size() >= sizeof address.sun_path) continue;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return true; // cannot tell: the library's own open decides
        const bool listening = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (listening) {
            gToldNotListening = false;
            return true;
        }
    }
    if (!gToldNotListening.exchange(true)) {
        std::string looked;
        for (const std::string& path : paths) looked += (looked.empty() ? "" : ", ") + path;
        LogLine("MIDI: no JACK server \"%s\" listens (looked at %s); JACK is not used", server.c_str(),
                looked.c_str());
    }
    return false;
}

// ---- the queue ----

size_t IMidiByteQueue::ReadSpace() const
{
    return mWritten.load(std::memory_order_acquire) - mRead.load(std::memory_order_relaxed);
}

bool IMidiByteQueue::Write(const void* head, size_t headSize, const void* body, size_t bodySize)
{
    size_t at = mWritten.load(std::memory_order_relaxed);
    size_t used = at - mRead.load(std::memory_order_acquire);
    if (headSize + bodySize > mBytes.size() - used) return false;
    CopyIn(at, head, headSize);
    CopyIn(at + headSize, body, bodySize);
    mWritten.store(at + headSize + bodySize, std::memory_order_release);
    return true;
}

void IMidiByteQueue::Peek(void* to, size_t size, size_t skip) const
{
    size_t at = mRead.load(std::memory_order_relaxed) + skip, mask = mBytes.size() - 1;
    size_t first = std::min(size, mBytes.size() - (at & mask));
    std::memcpy(to, &mBytes[at & mask], first);
    std::memcpy(static_cast<unsigned char*>(to) + first, &mBytes[0], size - first);
}

void IMidiByteQueue::Drop(size_t size)
{
    mRead.store(mRead.load(std::memory_order_relaxed) + size, std::memory_order_release);
}

void IMidiByteQueue::Clear()
{
    mRead.store(mWritten.load());
}

void IMidiByteQueue::CopyIn(size_t at, const void* from, size_t size)
{
    size_t mask = mBytes.size() - 1, first = std::min(size, mBytes.size() - (at & mask));
    std::memcpy(&mBytes[at & mask], from, first);
    std::memcpy(&mBytes[0], static_cast<const unsigned char*>(from) + first, size - first);
}

// ---- the client ----

namespace
{
std::atomic<void (*)(const char*)> gServerCallHook{nullptr};
} // namespace

void IJackServerCall(const char* call)
{
    if (void (*hook)(const char*) = gServerCallHook.load()) hook(call);
}

void ISetJackServerCallHook(void (*hook)(const char* call))
{
    gServerCallHook = hook;
}

IMidiJackClient* IMidiJackClient::Make(bool input, const char* clientName)
{
    if (!IJackServerListening()) return nullptr;
    jack_status_t status = jack_status_t(0);
    jack_client_t* client = jack_client_open(clientName, JackNoStartServer, &status);
    // Clients of one name opening at once, on this server or another of this machine, meet on
    // the path the server reaches them by, and one is refused. When the server answers a name
    // that nobody else uses, the refusal was that: a later try gets through.
    std::minstd_rand pauses(unsigned(getpid()) ^ unsigned(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> pause(kOpenRetryPauseMs[0], kOpenRetryPauseMs[1]);
    for (int attempt = 1; !client && attempt < kOpenTries && ServerAnswers(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(pauses)));
        client = jack_client_open(clientName, JackNoStartServer, &status);
    }
    if (!client) {
        LogLine("MIDI: JACK server \"%s\" made no client \"%s\" (status 0x%x)", ServerName().c_str(), clientName,
                unsigned(status));
        return nullptr;
    }
    return new IMidiJackClient(client, input);
}

IMidiClient* IMakeJackMidiClient(bool input, const char* clientName)
{
    return IMidiJackClient::Make(input, clientName);
}

IMidiJackClient::IMidiJackClient(jack_client_t* client, bool input)
    : mClient(client), mInput(input), mQueue(input ? kInQueueBytes : kOutQueueBytes)
{
    sem_init(&mArrived, 0, 0);
    mFrameSeconds = 1.0 / std::max<jack_nframes_t>(1, jack_get_sample_rate(client));
    size_t buffer = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE);
    mLargest = buffer > 0 ? std::min(kLargestMessage, buffer / 2) : kLargestMessage;
    jack_set_process_callback(client, Process, this);
    jack_on_shutdown(client, OnShutdown, this);
    // Only before activation: the server takes no new notification from an active client.
    jack_set_port_registration_callback(client, OnPortRegistration, this);
    jack_set_port_connect_callback(client, OnPortConnection, this);
}

IMidiJackClient::~IMidiJackClient()
{
    ClosePort();
    // Once this returns the server's thread of this client has ended. A client whose activation
    // failed is left as it is: see Abandon.
    if (!mAbandoned) {
        IJackServerCall("close");
        jack_client_close(mClient);
    }
    sem_destroy(&mArrived);
}

namespace
{
int IdleProcess(jack_nframes_t, void*)
{
    return 0;
}
void IdleShutdown(void*) {}
void IdlePort(jack_port_id_t, int, void*) {}
void IdleClient(const char*, int, void*) {}
void IdleConnection(jack_port_id_t, jack_port_id_t, int, void*) {}
} // namespace

void IAbandonJackClient(jack_client_t* client)
{
    jack_set_process_callback(client, IdleProcess, nullptr);
    jack_on_shutdown(client, IdleShutdown, nullptr);
    jack_set_port_registration_callback(client, IdlePort, nullptr);
    jack_set_client_registration_callback(client, IdleClient, nullptr);
    jack_set_port_connect_callback(client, IdleConnection, nullptr);
}

void IMidiJackClient::Abandon()
{
    mAbandoned = true;
    IAbandonJackClient(mClient);
}

std::vector<std::string> IMidiJackClient::Ports()
{
    std::vector<std::string> names;
    // The input connects to ports that send, the output to ports that receive.
    const char** ports = jack_get_ports(mClient, nullptr, JACK_DEFAULT_MIDI_TYPE, mInput ? JackPortIsOutput : JackPortIsInput);
    for (size_t i = 0; ports && ports[i]; ++i) names.push_back(ports[i]);
    if (ports) jack_free(ports);
    return names;
}

unsigned IMidiJackClient::PortCount()
{
    return unsigned(Ports().size());
}

std::string IMidiJackClient::PortName(unsigned number)
{
    std::vector<std::string> ports = Ports();
    return number < ports.size() ? ports[number] : std::string();
}

bool IMidiJackClient::OpenPort(unsigned number, const char* portName)
{
    ClosePort();
    std::string target = PortName(number);
    if (target.empty()) {
        LogLine("MIDI: JACK has no port number %u", number);
        return false;
    }
    if (!OpenOwnPort(portName)) return false;
    {
        std::lock_guard<std::mutex> hold(mTargetLock);
        mTarget = target;
    }
    // Connected from here on until the server tells otherwise: its word on this connection comes
    // after the connect, on its own thread, and the port's own count lags until the next cycle.
    mConnected = true;
    mLivePort = mPort;
    const char* ours = jack_port_name(mPort);
    IJackServerCall("connect");
    int result = mInput ? jack_connect(mClient, target.c_str(), ours) : jack_connect(mClient, ours, target.c_str());
    if (result != 0 && result != EEXIST) {
        LogLine("MIDI: JACK could not connect to \"%s\"", target.c_str());
        ClosePort();
        return false;
    }
    return true;
}

bool IMidiJackClient::OpenOwnPort(const char* portName)
{
    ClosePort();
    if (mServerGone) return false;
    if (mAbandoned) {
        LogLine("MIDI: this JACK client could not be activated before; close and open the plug-in again");
        return false;
    }
    IJackServerCall("register");
    mPort = jack_port_register(mClient, portName, JACK_DEFAULT_MIDI_TYPE, mInput ? JackPortIsInput : JackPortIsOutput, 0);
    if (!mPort) {
        LogLine("MIDI: JACK refused the port \"%s\"", portName);
        return false;
    }
    if (mInput)
        mDeliverer = std::thread([this] {
            KIT_NameThisThread("jack-in");
            Deliver();
        });
    mRunning = true;
    IJackServerCall("activate");
    if (jack_activate(mClient) != 0) {
        LogLine("MIDI: the JACK client could not be activated");
        ClosePort();
        Abandon();
        return false;
    }
    mActive = true;
    return true;
}

void IMidiJackClient::ClosePort()
{
    if (!mPort) return;
    mLivePort = nullptr;
    mConnected = false;
    // Out of the graph first: no other client reads the port once the callback stops writing
    // it. A callback already under way still finds everything in place.
    if (mActive && !mServerGone) {
        IJackServerCall("deactivate");
        jack_deactivate(mClient);
    }
    mActive = false;
    mRunning = false;
    auto until = std::chrono::steady_clock::now() + kProcessWait;
    while (mInProcess && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (mInProcess) LogLine("MIDI: a JACK process cycle did not end");
    if (!mServerGone) {
        IJackServerCall("unregister");
        jack_port_unregister(mClient, mPort);
    }
    mPort = nullptr;
    if (mDeliverer.joinable()) {
        mStopDelivery = true;
        sem_post(&mArrived);
        mDeliverer.join();
        mStopDelivery = false;
        while (sem_trywait(&mArrived) == 0) {
        }
    }
    mQueue.Clear();
}

bool IMidiJackClient::IsPortOpen()
{
    return mPort && !mServerGone;
}

bool IMidiJackClient::IsConnected()
{
    return mLivePort.load() && mConnected && !mServerGone;
}

void IMidiJackClient::SetPortsChangedHook(void (*hook)(void*), void* data)
{
    mPortsChangedData = data;
    mPortsChanged = hook;
}

bool IMidiJackClient::Send(const unsigned char* data, size_t size, bool mayWait)
{
    if (!IsPortOpen() || mInput) return false;
    const uint32_t head = uint32_t(size);
    // The caller that may not wait counts what it loses itself, and may not log either.
    if (!mayWait) return mQueue.Write(&head, sizeof head, data, size);
    // The server's thread empties the queue every cycle: a full one is waited out a little.
    auto until = std::chrono::steady_clock::now() + kSendWait;
    while (!mQueue.Write(&head, sizeof head, data, size)) {
        if (mServerGone || std::chrono::steady_clock::now() >= until) {
            LogLine("MIDI output: JACK takes no more; a message of %zu bytes not sent", size);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

size_t IMidiJackClient::LargestMessage() const
{
    return mLargest;
}

bool IMidiJackClient::SetCallback(Callback callback, void* userData)
{
    if (!mInput) return false;
    std::lock_guard<std::mutex> hold(mCallbackLock);
    mCallback = callback;
    mUserData = userData;
    return true;
}

// ---- on the server's thread: no lock, no allocation, no call that may wait ----

int IMidiJackClient::Process(jack_nframes_t frames, void* arg)
{
    IMidiJackClient* self = static_cast<IMidiJackClient*>(arg);
    self->mInProcess = true;
    if (self->mRunning) {
        void* buffer = jack_port_get_buffer(self->mPort, frames);
        if (self->mInput) self->TakeIn(buffer);
        else self->PutOut(buffer);
    }
    self->mInProcess = false;
    return 0;
}

void IMidiJackClient::PutOut(void* buffer)
{
    jack_midi_clear_buffer(buffer);
    uint32_t size;
    while (mQueue.ReadSpace() >= sizeof size) {
        mQueue.Peek(&size, sizeof size);
        const bool fits = size <= jack_midi_max_event_size(buffer);
        if (!fits && jack_midi_get_event_count(buffer) > 0) break; // the rest in the next cycle
        // One that fits no cycle is dropped: it cannot hold up the others.
        if (jack_midi_data_t* event = fits ? jack_midi_event_reserve(buffer, 0, size) : nullptr)
            mQueue.Peek(event, size, sizeof size);
        mQueue.Drop(sizeof size + size);
    }
}

void IMidiJackClient::TakeIn(void* buffer)
{
    const jack_nframes_t start = jack_last_frame_time(mClient), count = jack_midi_get_event_count(buffer);
    bool any = false;
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        // A late cycle on a loaded server may find the buffer cleared already: lost there.
        if (jack_midi_event_get(&event, buffer, i) != 0) {
            ++mUnread;
            any = true;
            continue;
        }
        if (event.size == 0) continue;
        InHead head{uint32_t(event.size), uint32_t(start + event.time)};
        if (mQueue.Write(&head, sizeof head, event.buffer, event.size)) any = true;
        else ++mDropped;
    }
    if (any) sem_post(&mArrived);
}

void IMidiJackClient::OnShutdown(void* arg)
{
    static_cast<IMidiJackClient*>(arg)->mServerGone = true;
}

// The server's notification thread: libjack refuses a connect from it, so it only wakes.
void IMidiJackClient::OnPortRegistration(jack_port_id_t, int, void* arg)
{
    static_cast<IMidiJackClient*>(arg)->PortsChanged();
}

void IMidiJackClient::OnPortConnection(jack_port_id_t a, jack_port_id_t b, int connected, void* arg)
{
    IMidiJackClient* self = static_cast<IMidiJackClient*>(arg);
    // Only the connection to the device's port is the port's state: one that a patchbay makes or
    // breaks beside it, or any other, wakes the follower, which looks for itself. Names only:
    // a connection list read here may still hold the link being removed.
    jack_port_t* ours = self->mLivePort;
    jack_port_t* const ends[2] = {jack_port_by_id(self->mClient, a), jack_port_by_id(self->mClient, b)};
    jack_port_t* other = !ours ? nullptr : ends[0] == ours ? ends[1] : ends[1] == ours ? ends[0] : nullptr;
    if (const char* name = other ? jack_port_name(other) : nullptr) {
        std::lock_guard<std::mutex> hold(self->mTargetLock);
        if (self->mTarget == name) self->mConnected = connected != 0;
    }
    self->PortsChanged();
}

void IMidiJackClient::PortsChanged()
{
    // The hook is stored after its data.
    if (void (*hook)(void*) = mPortsChanged) hook(mPortsChangedData);
}

// ---- delivery ----

// Hands each message to the callback off the server's thread, so that a plug-in busy with a
// message holds up no other client of the server.
void IMidiJackClient::Deliver()
{
    std::vector<unsigned char> message, sysex;
    uint32_t lastFrame = 0;
    bool first = true;
    while (!mStopDelivery) {
        if (sem_wait(&mArrived) != 0 || mStopDelivery) continue;
        InHead head;
        while (!mStopDelivery && mQueue.ReadSpace() >= sizeof head) {
            mQueue.Peek(&head, sizeof head);
            message.resize(head.size);
            mQueue.Peek(message.data(), head.size, sizeof head);
            mQueue.Drop(sizeof head + head.size);
            double delta = first ? 0.0 : double(uint32_t(head.frame - lastFrame)) * mFrameSeconds;
            first = false;
            lastFrame = head.frame;
            Handle(message, sysex, delta);
        }
        const size_t lost = mDropped.exchange(0), unread = mUnread.exchange(0);
        if (lost || unread)
            LogLine("MIDI input: %zu messages lost: %zu taken too slowly, %zu gone from the server before they were read",
                    lost + unread, lost, unread);
    }
}

// Puts together a SysEx that came in pieces.
void IMidiJackClient::Handle(std::vector<unsigned char>& message, std::vector<unsigned char>& sysex, double delta)
{
    const unsigned char status = message[0];
    if (!sysex.empty() && status < 0x80) {
        sysex.insert(sysex.end(), message.begin(), message.end());
        const bool whole = sysex.back() == 0xF7;
        if (whole) Call(sysex, delta);
        if (whole || sysex.size() > kLargestSysEx) sysex.clear();
        return;
    }
    if (status < 0xF8) sysex.clear(); // any status but a real-time one ends a SysEx
    if (status == 0xF0 && message.back() != 0xF7) sysex = message;
    else Call(message, delta);
}

void IMidiJackClient::Call(std::vector<unsigned char>& message, double delta)
{
    Callback callback;
    void* userData;
    {
        std::lock_guard<std::mutex> hold(mCallbackLock);
        callback = mCallback;
        userData = mUserData;
    }
    if (callback) callback(delta, &message, userData);
}
