// A client of the MIDI library (ALSA and the other systems it knows), behind the port layer's
// client interface.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "kit/plugin/IMidiHandOver.h"
#include "kit/plugin/IMidiInDelivery.h"
#include "kit/plugin/IMidiJack.h"
#include "kit/plugin/IMidiPorts.h"
#include "kit/plugin/Log.h"

namespace {

const unsigned kInQueueLimit = 100;
// The library's JACK output queues each message, behind its 4-byte length, in a ring of 16384
// bytes that keeps one free, and silently drops one that could never fit there.
const size_t kLargestJackMessage = 16384 - 1 - 4;

// Whether the library call under way on this thread failed. Calls of other threads, and the
// library's own thread complaining, leave it alone.
thread_local bool* tCallFailed = nullptr;

// The library's JACK client activates as it is made and does not say when that fails: its opens
// then succeed, and the server refuses their connections. The server announces the ports of active
// clients only: how long an open that did not connect waits for the announcement of ours before
// the client counts as spent.
const std::chrono::milliseconds kAnnounceWait(1000);

// The library's clients that could not be activated, kept for the life of the process: the JACK
// library may start a thread of the failed activation later, which would find a closed client's
// memory freed. An input's delivery, which the library's callback was given, is kept with it.
struct Kept {
    RtMidi* client;
    IMidiInDelivery* delivery;
};
std::mutex gKeptLock;
std::vector<Kept>* gKept = new std::vector<Kept>;

// The JACK library tells of an activation whose thread it gave up waiting for only through its
// error function, and the MIDI library, which activates its client as it is made (and again when
// a call makes it anew after a failed open), does not say even that. A client about which the JACK
// library complained during a call of ours is kept, never closed: its thread may start later.
thread_local std::atomic<bool>* tJackComplained = nullptr;
std::atomic<void (*)(const char*)> gJackErrorBefore{nullptr};

void OnJackError(const char* text)
{
    if (tJackComplained) *tJackComplained = true;
    if (void (*before)(const char*) = gJackErrorBefore.load())
        before(text);
    else
        std::fprintf(stderr, "%s\n", text);
}

void HearJackErrors()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gJackErrorBefore = jack_error_callback;
        jack_set_error_function(OnJackError);
    });
}

// Watches the JACK library's complaints on this thread while it lives.
class JackComplaints {
public:
    explicit JackComplaints(std::atomic<bool>* flag) : mOuter(tJackComplained) { tJackComplained = flag; }
    ~JackComplaints() { tJackComplained = mOuter; }

private:
    std::atomic<bool>* const mOuter;
};

void Report(const RtMidiError& e)
{
    LogLine("MIDI: %s", e.getMessage().c_str());
}

// With an error hook installed the library reports instead of throwing: the message is logged,
// and a call of ours running on this thread then failed.
void OnLibraryError(RtMidiError::Type type, const std::string& text, void*)
{
    Report(RtMidiError(text, type));
    if (tCallFailed) *tCallFailed = true;
}

class RtClient : public IMidiClient {
public:
    // jackName: the library's JACK client name; null on the other systems.
    // jackComplained: the JACK library complained while the client was made.
    RtClient(RtMidi* client, RtMidiIn* in, RtMidiOut* out, size_t largest, const char* jackName, bool jackComplained)
        : mClient(client), mIn(in), mOut(out), mLargest(largest), mJackName(jackName ? jackName : ""),
          mJackComplained(jackComplained)
    {
        mClient->setErrorCallback(OnLibraryError, nullptr);
        if (!mIn) return;
        // Installed once, before any port opens: the library's thread reads it without a lock.
        mDelivery = std::make_unique<IMidiInDelivery>();
        Call([&] {
            mIn->setCallback(OnMessage, mDelivery.get());
            mIn->ignoreTypes(false, true, true);
        });
    }
    ~RtClient() override
    {
        ClosePort();
        if (mLooker && mLookerActive) jack_client_close(mLooker); // see IAbandonJackClient
        if (mJackComplained && !mSpent) {
            LogLine("MIDI: the JACK library complained about the library's client %s; it is kept, not closed",
                    mJackName.c_str());
            Abandon();
        }
        if (mSpent) {
            std::lock_guard<std::mutex> hold(gKeptLock);
            gKept->push_back({mClient, mDelivery.release()});
            return;
        }
        // The library's thread ends here, before the delivery it writes to goes.
        delete mIn;
        delete mOut;
    }
    // JACK makes a client even with no server and only says so when asked for ports.
    bool Reaches()
    {
        return Call([&] { mClient->getPortCount(); });
    }
    unsigned PortCount() override
    {
        unsigned n = 0;
        return Call([&] { n = mClient->getPortCount(); }) ? n : 0;
    }
    std::string PortName(unsigned number) override
    {
        std::string name;
        return Call([&] { name = mClient->getPortName(number); }) ? name : std::string();
    }
    bool OpenPort(unsigned number, const char* portName) override
    {
        if (mSpent) return false;
        if (mDelivery) mDelivery->Start();
        const bool jack = !mJackName.empty();
        const bool look = jack && Look();
        const unsigned announced = mAnnounced;
        std::string target;
        if (jack) IJackServerCall("library open");
        if (Call([&] {
                if (jack) target = mClient->getPortName(number);
                mClient->openPort(number, portName);
            }) &&
            mClient->isPortOpen()) {
            // Unseen, the library's client may be as inactive as the look's refusal suggests: an
            // open taken as reaching would never be judged or renewed.
            const Reach reach = !jack  ? Reach::kYes
                                : look ? Judge(mJackName + ":" + portName, target, announced)
                                       : Reach::kSpent;
            if (reach == Reach::kYes) return true;
            if (reach == Reach::kSpent) {
                LogLine("MIDI: the library's JACK client %s; its port is not taken as connected to \"%s\"",
                        look ? "could not be activated" : "could not be seen, no look client being active",
                        target.c_str());
                ClosePort();
                Abandon();
                return false;
            }
        }
        ClosePort();
        return false;
    }
    // The library's port first, so that nothing more is queued for it; then the delivery.
    void ClosePort() override
    {
        if (!mSpent)
            Call([&] {
                if (!mClient->isPortOpen()) return;
                if (!mJackName.empty()) IJackServerCall("library close");
                mClient->closePort();
            });
        if (mDelivery) mDelivery->Stop();
    }
    bool IsPortOpen() override { return !mSpent && mClient->isPortOpen(); }
    bool Spent() const override { return mSpent; }
    // The library sends in one call, with no way to refuse instead of waiting: the port layer
    // reaches this only through an IMidiHandOver.
    bool Send(const unsigned char* data, size_t size, bool) override
    {
        return mOut && Call([&] { mOut->sendMessage(data, size); });
    }
    size_t LargestMessage() const override { return mLargest; }
    // Input goes on only with the stamp of the opening it came through.
    bool SetCallback(Callback, void*) override { return false; }
    bool SetStampedCallback(StampedCallback callback, const std::atomic<uint32_t>* serial, void* userData) override
    {
        if (!mDelivery || mClient->isPortOpen()) return false;
        mDelivery->SetCallback(callback, serial, userData);
        return true;
    }

private:
    enum class Reach { kYes, kGone, kSpent };
    // A client of our own beside the library's JACK client: active, with no port, it hears the
    // server announce the ports of active clients, and so whether the library's client is active.
    // One whose own activation failed is kept unused (see IAbandonJackClient) and made again
    // under a new name, as many times as the port layer makes fresh clients: a server that refused
    // the library's client in the same moment may well have refused both.
    bool Look()
    {
        const int kLooks = 4;
        while (!mLookerActive && mLooks < kLooks && IJackServerListening()) {
            const std::string name = mJackName + " look" + (mLooks ? " " + std::to_string(mLooks + 1) : "");
            ++mLooks;
            IJackServerCall("look");
            jack_client_t* looker = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
            if (!looker) continue;
            mLooker = looker;
            jack_set_port_registration_callback(mLooker, OnRegistration, this);
            mLookerActive = jack_activate(mLooker) == 0;
            if (mLookerActive) break;
            LogLine("MIDI: the look client \"%s\" could not be activated (%d of %d)", name.c_str(), mLooks, kLooks);
            IAbandonJackClient(mLooker);
        }
        return mLookerActive;
    }
    // On the looker's thread: a port of the library's client was announced.
    static void OnRegistration(jack_port_id_t id, int registered, void* self)
    {
        RtClient* client = static_cast<RtClient*>(self);
        jack_port_t* port = registered ? jack_port_by_id(client->mLooker, id) : nullptr;
        const char* name = port ? jack_port_name(port) : nullptr;
        const std::string& ours = client->mJackName;
        if (name && std::strncmp(name, ours.c_str(), ours.size()) == 0 && name[ours.size()] == ':')
            ++client->mAnnounced;
    }
    // After the library's JACK open: whether ours may stand. The library connects and says nothing
    // of a refusal. A port of ours that the server never announced belongs to a client that is
    // not active: spent, unless the other side went meanwhile. An active one that did not connect
    // (a program that holds its port but takes no connection) is left to the follower, as before.
    Reach Judge(const std::string& ours, const std::string& target, unsigned announcedBefore)
    {
        jack_port_t* own = jack_port_by_name(mLooker, ours.c_str());
        if (!own || jack_port_connected_to(own, target.c_str())) return Reach::kYes; // or named otherwise
        const auto until = std::chrono::steady_clock::now() + kAnnounceWait;
        while (mAnnounced == announcedBefore && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (mAnnounced != announcedBefore) return Reach::kYes;
        return jack_port_by_name(mLooker, target.c_str()) ? Reach::kSpent : Reach::kGone;
    }
    // Never used or deleted again, kept once this goes: see gKept. Input that reaches the library
    // from here on stays in its own bounded queue.
    void Abandon()
    {
        if (mIn) Call([&] { mIn->cancelCallback(); });
        mSpent = true;
    }
    // On the library's thread (the JACK server's, under the library's JACK client).
    static void OnMessage(double deltaTime, std::vector<unsigned char>* message, void* delivery)
    {
        if (message) static_cast<IMidiInDelivery*>(delivery)->Arrived(deltaTime, message->data(), message->size());
    }
    // Runs one call of the library; false when it failed.
    template <class F> bool Call(F f)
    {
        bool failed = false;
        const JackComplaints watch(&mJackComplained);
        bool* const outer = tCallFailed;
        tCallFailed = &failed;
        try {
            f();
        } catch (const RtMidiError& e) {
            Report(e);
            failed = true;
        }
        tCallFailed = outer;
        return !failed;
    }
    RtMidi* mClient;
    RtMidiIn* mIn;
    RtMidiOut* mOut;
    const size_t mLargest;
    const std::string mJackName;
    std::unique_ptr<IMidiInDelivery> mDelivery; // input only
    jack_client_t* mLooker = nullptr;           // JACK only: see Look
    bool mLookerActive = false;
    int mLooks = 0;                      // look clients made
    std::atomic<unsigned> mAnnounced{0}; // ports of the library's client the server announced
    std::atomic<bool> mSpent{false};     // the library's client could not be activated
    std::atomic<bool> mJackComplained;   // see tJackComplained
};

} // namespace

IMidiClient* IMakeRtMidiClient(RtMidi::Api api, bool input, const char* clientName)
{
    if (api == RtMidi::UNIX_JACK && !IJackServerListening()) return nullptr;
    std::unique_ptr<RtClient> client;
    const char* jackName = api == RtMidi::UNIX_JACK ? clientName : nullptr;
    if (jackName) HearJackErrors();
    std::atomic<bool> complained{false};
    try {
        const JackComplaints watch(&complained);
        if (input) {
            RtMidiIn* in = new RtMidiIn(api, clientName, kInQueueLimit);
            client = std::make_unique<RtClient>(in, in, nullptr, size_t(-1), jackName, complained);
        } else {
            RtMidiOut* out = new RtMidiOut(api, clientName);
            client = std::make_unique<RtClient>(
                out, nullptr, out, api == RtMidi::UNIX_JACK ? kLargestJackMessage : size_t(-1), jackName, complained);
        }
    } catch (const RtMidiError& e) {
        Report(e);
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
    if (!client->Reaches()) return nullptr;
    if (input) return client.release();
    return new IMidiHandOver(client.release());
}
