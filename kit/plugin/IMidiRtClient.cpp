// A client of the MIDI library (ALSA and the other systems it knows), behind the port layer's
// client interface.
#include <atomic>
#include <memory>

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
    RtClient(RtMidi* client, RtMidiIn* in, RtMidiOut* out, size_t largest)
        : mClient(client), mIn(in), mOut(out), mLargest(largest)
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
        if (mDelivery) mDelivery->Start();
        if (Call([&] { mClient->openPort(number, portName); }) && mClient->isPortOpen()) return true;
        ClosePort();
        return false;
    }
    // The library's port first, so that nothing more is queued for it; then the delivery.
    void ClosePort() override
    {
        Call([&] {
            if (mClient->isPortOpen()) mClient->closePort();
        });
        if (mDelivery) mDelivery->Stop();
    }
    bool IsPortOpen() override { return mClient->isPortOpen(); }
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
    // On the library's thread (the JACK server's, under the library's JACK client).
    static void OnMessage(double deltaTime, std::vector<unsigned char>* message, void* delivery)
    {
        if (message) static_cast<IMidiInDelivery*>(delivery)->Arrived(deltaTime, message->data(), message->size());
    }
    // Runs one call of the library; false when it failed.
    template <class F> bool Call(F f)
    {
        bool failed = false;
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
    std::unique_ptr<IMidiInDelivery> mDelivery; // input only
};

} // namespace

IMidiClient* IMakeRtMidiClient(RtMidi::Api api, bool input, const char* clientName)
{
    if (api == RtMidi::UNIX_JACK && !IJackServerListening()) return nullptr;
    std::unique_ptr<RtClient> client;
    try {
        if (input) {
            RtMidiIn* in = new RtMidiIn(api, clientName, kInQueueLimit);
            client = std::make_unique<RtClient>(in, in, nullptr, size_t(-1));
        } else {
            RtMidiOut* out = new RtMidiOut(api, clientName);
            client = std::make_unique<RtClient>(out, nullptr, out,
                                                api == RtMidi::UNIX_JACK ? kLargestJackMessage : size_t(-1));
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
