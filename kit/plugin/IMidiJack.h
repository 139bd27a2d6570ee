#pragma once
// A JACK client of our own behind the port layer's client interface. The server calls its
// process callback on a thread of the server's; that callback only moves bytes between the
// port and a queue, and everything it reads lives as long as the client. A port closes in an
// order that thread cannot race: the client leaves the graph, the callback is told to stop and
// is waited out, and only then are the port, the queue and the delivery thread taken apart.
#include <jack/jack.h>
#include <semaphore.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kit/plugin/IMidiPorts.h"

// Bytes from one thread to one other, never blocking and never allocating, so that the
// server's thread may use it. Whole records go in with one store; counts only grow.
class IMidiByteQueue {
public:
    explicit IMidiByteQueue(size_t capacity) : mBytes(capacity) {} // a power of two
    size_t ReadSpace() const;
    // Appends head and body as one record, or nothing when they do not fit.
    bool Write(const void* head, size_t headSize, const void* body, size_t bodySize);
    // Copies size readable bytes from offset skip on, leaving them there.
    void Peek(void* to, size_t size, size_t skip = 0) const;
    void Drop(size_t size);
    void Clear(); // only while neither side runs

private:
    void CopyIn(size_t at, const void* from, size_t size);
    std::vector<unsigned char> mBytes;
    std::atomic<size_t> mWritten{0}, mRead{0};
};

// A JACK server listens where this user's server of the default name (JACK_DEFAULT_SERVER)
// would. Asked before every client is opened: when the library's open fails, a thread it started
// may still start after the client was taken apart, and crash the host on a loaded machine.
bool IJackServerListening();

// After a failed jack_activate. libjack gives up on an activation whose thread has not started
// within its wait, but that thread may still start, and a closed client's memory would then be
// its: the client is kept for the life of the process, its callbacks told nothing of ours, and
// it is never used or closed again.
void IAbandonJackClient(jack_client_t* client);

// Tests: hook(call) runs on the calling thread just before each call of our client that waits for
// the server's answer (a stalled server holds it). Null: none.
void ISetJackServerCallHook(void (*hook)(const char* call));
// Runs the hook; the MIDI library's JACK client calls it too, before each of its own such calls.
void IJackServerCall(const char* call);

class IMidiJackClient : public IMidiClient {
public:
    // Null when no server answers; the client name may come back with a suffix when taken.
    static IMidiJackClient* Make(bool input, const char* clientName);
    ~IMidiJackClient() override;
    unsigned PortCount() override;
    std::string PortName(unsigned number) override;
    bool OpenPort(unsigned number, const char* portName) override;
    // Opens our port without connecting it: other clients connect to it by its full name.
    bool OpenOwnPort(const char* portName);
    void ClosePort() override;
    bool IsPortOpen() override;
    // Reads what open, close and the server's connection notification publish: no call of the
    // server, so any thread may ask while another opens or closes. Only the connection to the
    // port opened counts; others beside it are not ours to follow.
    bool IsConnected() override;
    bool Spent() const override { return mAbandoned; }
    // The server tells of ports that register, unregister, connect or disconnect, while the
    // client is active; the notification is installed when the client is made.
    void SetPortsChangedHook(void (*hook)(void*), void* data) override;
    bool Send(const unsigned char* data, size_t size, bool mayWait) override;
    size_t LargestMessage() const override;
    // Every message arrives, clock and active sensing included: the port layer filters them.
    bool SetCallback(Callback callback, void* userData) override;

private:
    IMidiJackClient(jack_client_t* client, bool input);
    std::vector<std::string> Ports();
    static int Process(jack_nframes_t frames, void* self);
    void PutOut(void* buffer);
    void TakeIn(void* buffer);
    static void OnShutdown(void* self);
    static void OnPortRegistration(jack_port_id_t port, int registered, void* self);
    static void OnPortConnection(jack_port_id_t a, jack_port_id_t b, int connected, void* self);
    void PortsChanged();
    // After a failed activation: the client is never used or closed again.
    void Abandon();
    void Deliver();
    void Handle(std::vector<unsigned char>& message, std::vector<unsigned char>& sysex, double delta);
    void Call(std::vector<unsigned char>& message, double delta);

    jack_client_t* const mClient;
    const bool mInput;
    IMidiByteQueue mQueue; // outgoing: senders to the server's thread; incoming: to mDeliverer
    size_t mLargest;
    double mFrameSeconds;
    jack_port_t* mPort = nullptr;
    bool mActive = false;
    std::atomic<jack_port_t*> mLivePort{nullptr}; // mPort from its connection on, until its close starts
    std::atomic<bool> mConnected{false};          // mLivePort has a connection
    std::atomic<bool> mRunning{false};   // the process callback may use the port and the queue
    std::atomic<bool> mInProcess{false}; // a process callback is under way
    std::atomic<bool> mServerGone{false};
    bool mAbandoned = false; // opens and closes only, on one thread at a time
    std::atomic<size_t> mDropped{0}; // incoming messages the queue had no room for
    std::atomic<size_t> mUnread{0};  // incoming messages the server's buffer no longer held
    std::mutex mTargetLock;
    std::string mTarget; // the full name of the port ours was connected to
    sem_t mArrived;
    std::thread mDeliverer;
    std::atomic<bool> mStopDelivery{false};
    std::atomic<void (*)(void*)> mPortsChanged{nullptr};
    std::atomic<void*> mPortsChangedData{nullptr};
    std::mutex mCallbackLock;
    Callback mCallback = nullptr;
    void* mUserData = nullptr;
};
