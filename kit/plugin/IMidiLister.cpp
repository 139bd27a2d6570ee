#include "kit/plugin/IMidiLister.h"

#include <jack/jack.h>
#include <jack/uuid.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#include "kit/plugin/IMidiAlsaLister.h"
#include "kit/plugin/IMidiJack.h"

namespace
{

// A name of its own on the machine for each lister's client: listers of two editors side by side
// never meet.
std::string ListerName(const char* kind)
{
    static std::atomic<unsigned> made{0};
    return std::string("QOR ") + kind + " Lister " + std::to_string(getpid()) + "-" + std::to_string(++made);
}

// An input and an output client of the MIDI library. The library lists the ports an input may
// connect to only through an input client, and the output's only through an output client.
class RtLister : public IMidiPortLister
{
public:
    explicit RtLister(RtMidi::Api api) : mApi(api) {}
    bool List(bool input, std::vector<std::string>* names) override
    {
        names->clear();
        mFailed = false;
        try {
            RtMidi* client = input ? static_cast<RtMidi*>(mIn.get()) : mOut.get();
            if (!client) {
                if (input)
                    client = (mIn = std::make_unique<RtMidiIn>(mApi, ListerName("Input"))).get();
                else
                    client = (mOut = std::make_unique<RtMidiOut>(mApi, ListerName("Output"))).get();
                client->setErrorCallback(OnError, &mFailed);
            }
            const unsigned n = client->getPortCount();
            for (unsigned i = 0; i < n && !mFailed; ++i) names->push_back(client->getPortName(i));
        } catch (const RtMidiError&) {
            mFailed = true;
        }
        // A port that went between the count and its name fails the look: the next one is whole.
        return !mFailed;
    }
    bool Tells() const override { return false; }

private:
    // Once a second for as long as a device is chosen: a look that fails says nothing.
    static void OnError(RtMidiError::Type, const std::string&, void* flag) { *static_cast<bool*>(flag) = true; }
    const RtMidi::Api mApi;
    std::unique_ptr<RtMidiIn> mIn;
    std::unique_ptr<RtMidiOut> mOut;
    bool mFailed = false;
};

// An active JACK client with no port: the server tells it of every port and client that comes
// or goes and of every connection, whether or not a port of ours is open, and the library's
// clients tell nothing. Its port list is safe to ask for from any thread but a process
// callback, and it has none.
class JackLister : public IMidiPortLister
{
public:
    JackLister(Wake wake, void* data) : mWake(wake), mData(data) {}
    ~JackLister() override { Drop(); }
    bool List(bool input, std::vector<std::string>* names) override
    {
        names->clear();
        if (!Ready()) return false;
        // An input connects to ports that send, an output to ports that receive.
        const char** ports =
            jack_get_ports(mClient, nullptr, JACK_DEFAULT_MIDI_TYPE, input ? JackPortIsOutput : JackPortIsInput);
        for (size_t i = 0; ports && ports[i]; ++i) names->push_back(ports[i]);
        if (ports) jack_free(ports);
        return !mGone;
    }
    bool Tells() const override { return mActive && !mGone; }
    bool Connections(bool, const std::string& name, std::vector<std::string>* peers) override
    {
        peers->clear();
        if (!Ready()) return false;
        jack_port_t* port = jack_port_by_name(mClient, name.c_str());
        if (!port) return !mGone;
        const char** linked = jack_port_get_all_connections(mClient, port);
        for (size_t i = 0; linked && linked[i]; ++i) peers->push_back(linked[i]);
        if (linked) jack_free(linked);
        return !mGone;
    }

    // The server numbers each client anew as it opens, never again for another.
    uint64_t Owner(const std::string& name) override
    {
        if (!Ready()) return 0;
        {
            // The follower reads a connection of ours through another client, whose notices may
            // come after this one's: a port whose link went with it must not look like the same
            // program dropping ours.
            std::lock_guard<std::mutex> hold(mHeardLock);
            const auto at = mHeard.find(name);
            if (at != mHeard.end() && at->second.cut) return 0;
        }
        jack_port_t* port = jack_port_by_name(mClient, name.c_str());
        const char* shortName = port ? jack_port_short_name(port) : nullptr;
        const size_t cut = shortName ? name.size() - std::strlen(shortName) : 0;
        if (cut < 2 || name[cut - 1] != ':') return 0;
        char* uuid = jack_get_uuid_for_client_name(mClient, name.substr(0, cut - 1).c_str());
        if (!uuid) return 0;
        jack_uuid_t id = 0;
        const bool parsed = jack_uuid_parse(uuid, &id) == 0;
        jack_free(uuid);
        return parsed ? id : 0;
    }
    uint64_t Departures(const std::string& name) override
    {
        std::lock_guard<std::mutex> hold(mHeardLock);
        auto at = mHeard.find(name);
        return at == mHeard.end() ? 0 : at->second.departures;
    }

private:
    bool Ready()
    {
        if (mGone) Drop(); // a server that went away and came back needs a new client
        if (mClient) return true;
        if (!IJackServerListening()) return false;
        mClient = jack_client_open(ListerName("Port").c_str(), JackNoStartServer, nullptr);
        if (!mClient) return false;
        jack_on_shutdown(mClient, OnShutdown, this);
        // Only before activation: the server takes no new notification from an active client.
        jack_set_port_registration_callback(mClient, OnPort, this);
        jack_set_client_registration_callback(mClient, OnClient, this);
        jack_set_port_connect_callback(mClient, OnConnect, this);
        mActive = jack_activate(mClient) == 0; // inactive, it still lists: the follower looks by itself
        if (!mActive) IAbandonJackClient(mClient);
        return true;
    }
    void Tell()
    {
        if (mWake) mWake(mData);
    }
    // The port's name still resolves while its unregistration is told.
    static void OnPort(jack_port_id_t id, int registered, void* arg)
    {
        JackLister* self = static_cast<JackLister*>(arg);
        // Both notices count: an unregistered port's name may already be gone or another's when
        // a loaded machine runs this late, while the port registered again still carries it.
        jack_port_t* port = jack_port_by_id(self->mClient, id);
        if (const char* name = port ? jack_port_name(port) : nullptr) {
            std::lock_guard<std::mutex> hold(self->mHeardLock);
            Heard& heard = self->mHeard[name];
            ++heard.departures;
            heard.cut = heard.cut || heard.undone;
        }
        self->Tell();
    }
    static void OnClient(const char*, int, void* self) { static_cast<JackLister*>(self)->Tell(); }
    static void OnConnect(jack_port_id_t a, jack_port_id_t b, int connected, void* arg)
    {
        JackLister* self = static_cast<JackLister*>(arg);
        for (const jack_port_id_t id : {a, b}) {
            jack_port_t* port = jack_port_by_id(self->mClient, id);
            if (const char* name = port ? jack_port_name(port) : nullptr) {
                std::lock_guard<std::mutex> hold(self->mHeardLock);
                Heard& heard = self->mHeard[name];
                heard.undone = !connected;
                heard.cut = heard.cut && !connected;
            }
        }
        self->Tell();
    }
    static void OnShutdown(void* self)
    {
        static_cast<JackLister*>(self)->mGone = true;
        static_cast<JackLister*>(self)->Tell();
    }
    void Drop()
    {
        if (mClient && mActive) jack_client_close(mClient); // see IAbandonJackClient
        mClient = nullptr;
        mActive = false;
        mGone = false;
    }
    const Wake mWake;
    void* const mData;
    jack_client_t* mClient = nullptr;
    bool mActive = false;
    std::atomic<bool> mGone{false};
    // What the notices told of a port, by its name, in the server's order.
    struct Heard {
        uint64_t departures = 0; // unregistrations and registrations
        bool undone = false;     // the last connection notice undid a link
        bool cut = false;        // ... and the port went or came after it, with no link made since
    };
    std::mutex mHeardLock;
    std::map<std::string, Heard> mHeard;
};

bool IsPortOf(const std::string& name, const std::string& client)
{
    return !client.empty() && name.size() > client.size() && name.compare(0, client.size(), client) == 0 &&
           name[client.size()] == ':';
}

} // namespace

std::unique_ptr<IMidiPortLister> IMidiPortLister::Make(IMidiSystem system, Wake wake, void* data)
{
    switch (system) {
    case IMidiSystem::kJack:
    case IMidiSystem::kLibraryJack: return std::make_unique<JackLister>(wake, data);
    default:
        return IMakeAlsaLister(std::make_unique<RtLister>(RtMidi::LINUX_ALSA),
                               IMidiAlsaSeq::Open(ListerName("Announce").c_str()), wake, data);
    }
}

void IMidiDropOwnPorts(std::vector<std::string>* names, const std::string* ours, size_t count)
{
    auto own = [&](const std::string& name) {
        for (size_t i = 0; i < count; ++i)
            if (IsPortOf(name, ours[i])) return true;
        return false;
    };
    names->erase(std::remove_if(names->begin(), names->end(), own), names->end());
}

bool IMidiHasPortOf(const std::vector<std::string>& peers, const std::string& ours)
{
    for (const std::string& peer : peers)
        if (IsPortOf(peer, ours)) return true;
    return false;
}
