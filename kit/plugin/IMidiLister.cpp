#include "kit/plugin/IMidiLister.h"

#include <jack/jack.h>

#include <atomic>

namespace
{

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
                    client = (mIn = std::make_unique<RtMidiIn>(mApi, "RtMidi Input Lister")).get();
                else
                    client = (mOut = std::make_unique<RtMidiOut>(mApi, "RtMidi Output Lister")).get();
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

// A JACK client with no port that is never activated: the server's port list is safe to ask for
// from any thread but a process callback, and this client has none.
class JackLister : public IMidiPortLister
{
public:
    ~JackLister() override { Drop(); }
    bool List(bool input, std::vector<std::string>* names) override
    {
        names->clear();
        if (mGone) Drop(); // a server that went away and came back needs a new client
        if (!mClient) {
            mClient = jack_client_open("RtMidi Port Lister", JackNoStartServer, nullptr);
            if (!mClient) return false;
            jack_on_shutdown(mClient, OnShutdown, &mGone);
        }
        // An input connects to ports that send, an output to ports that receive.
        const char** ports =
            jack_get_ports(mClient, nullptr, JACK_DEFAULT_MIDI_TYPE, input ? JackPortIsOutput : JackPortIsInput);
        for (size_t i = 0; ports && ports[i]; ++i) names->push_back(ports[i]);
        if (ports) jack_free(ports);
        return !mGone;
    }
    bool Tells() const override { return true; }

private:
    static void OnShutdown(void* gone) { static_cast<std::atomic<bool>*>(gone)->store(true); }
    void Drop()
    {
        if (mClient) jack_client_close(mClient);
        mClient = nullptr;
        mGone = false;
    }
    jack_client_t* mClient = nullptr;
    std::atomic<bool> mGone{false};
};

} // namespace

std::unique_ptr<IMidiPortLister> IMidiPortLister::Make(IMidiSystem system)
{
    switch (system) {
    case IMidiSystem::kJack: return std::make_unique<JackLister>();
    case IMidiSystem::kLibraryJack: return std::make_unique<RtLister>(RtMidi::UNIX_JACK);
    default: return std::make_unique<RtLister>(RtMidi::LINUX_ALSA);
    }
}
