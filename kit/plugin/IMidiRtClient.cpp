// A client of the MIDI library (ALSA and the other systems it knows), behind the port layer's
// client interface.
#include <atomic>
#include <memory>

#include "kit/plugin/IMidiHandOver.h"
#include "kit/plugin/IMidiPorts.h"
#include "kit/plugin/Log.h"

namespace {

const unsigned kInQueueLimit = 100;

void Report(const RtMidiError& e)
{
    LogLine("MIDI: %s", e.getMessage().c_str());
}

// With an error hook installed the library reports instead of throwing: the message is logged,
// and the flag tells the caller that its last call failed.
void OnLibraryError(RtMidiError::Type type, const std::string& text, void* flag)
{
    Report(RtMidiError(text, type));
    if (flag) static_cast<std::atomic<bool>*>(flag)->store(true);
}

class RtClient : public IMidiClient {
public:
    RtClient(RtMidi* client, RtMidiIn* in, RtMidiOut* out) : mClient(client), mIn(in), mOut(out)
    {
        mClient->setErrorCallback(OnLibraryError, &mFailed);
    }
    ~RtClient() override
    {
        ClosePort();
        delete mIn;
        delete mOut;
    }
    // JACK makes a client even with no server and only says so when asked for ports.
    bool Reaches()
    {
        mFailed = false;
        Call([&] { mClient->getPortCount(); });
        return !mFailed;
    }
    unsigned PortCount() override
    {
        unsigned n = 0;
        Call([&] { n = mClient->getPortCount(); });
        return mFailed ? 0 : n;
    }
    std::string PortName(unsigned number) override
    {
        std::string name;
        Call([&] { name = mClient->getPortName(number); });
        return mFailed ? std::string() : name;
    }
    bool OpenPort(unsigned number, const char* portName) override
    {
        Call([&] { mClient->openPort(number, portName); });
        if (!mFailed && mClient->isPortOpen()) return true;
        ClosePort();
        return false;
    }
    void ClosePort() override
    {
        Call([&] {
            if (mClient->isPortOpen()) mClient->closePort();
        });
    }
    bool IsPortOpen() override { return mClient->isPortOpen(); }
    // The library sends in one call, with no way to refuse instead of waiting: the port layer
    // reaches this only through an IMidiHandOver.
    bool Send(const unsigned char* data, size_t size, bool) override
    {
        if (!mOut) return false;
        Call([&] { mOut->sendMessage(data, size); });
        return !mFailed;
    }
    size_t LargestMessage() const override { return size_t(-1); }
    // Set while no port is open, and kept: the library's input thread reads the callback without
    // a lock, so one is never cancelled or swapped under an open port.
    bool SetCallback(Callback callback, void* userData) override
    {
        if (!mIn) return false;
        if (mCallback == callback && mUserData == userData) return true;
        if (mClient->isPortOpen()) return false;
        Call([&] {
            // Cancelling a callback that was never set only makes the library complain.
            if (mCallback) mIn->cancelCallback();
            mIn->setCallback(callback, userData);
            mIn->ignoreTypes(false, true, true);
        });
        if (mFailed) return false;
        mCallback = callback;
        mUserData = userData;
        return true;
    }

private:
    // Runs one call of the library; mFailed then says whether it failed.
    template <class F>
    void Call(F f)
    {
        mFailed = false;
        try {
            f();
        } catch (const RtMidiError& e) {
            Report(e);
            mFailed = true;
        }
    }
    RtMidi* mClient;
    RtMidiIn* mIn;
    RtMidiOut* mOut;
    std::atomic<bool> mFailed{false};
    Callback mCallback = nullptr;
    void* mUserData = nullptr;
};

} // namespace

IMidiClient* IMakeRtMidiClient(RtMidi::Api api, bool input, const char* clientName)
{
    std::unique_ptr<RtClient> client;
    try {
        if (input) {
            RtMidiIn* in = new RtMidiIn(api, clientName, kInQueueLimit);
            client = std::make_unique<RtClient>(in, in, nullptr);
        } else {
            RtMidiOut* out = new RtMidiOut(api, clientName);
            client = std::make_unique<RtClient>(out, nullptr, out);
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
