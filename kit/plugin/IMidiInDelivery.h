#pragma once
// Input of a client whose system hands each message over on a thread of its own (the MIDI
// library's ALSA thread, or the JACK server's process thread under the library's JACK client).
// That thread only stamps the message with the opening it came through and queues it, never
// waiting and never allocating; a thread of ours hands it on with its stamp, so that a plug-in
// busy with a message holds up nothing of the system's.
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "kit/plugin/IMidiJack.h" // IMidiByteQueue

class IMidiInDelivery
{
public:
    static const size_t kQueueBytes = size_t(1) << 20;
    explicit IMidiInDelivery(size_t queueBytes = kQueueBytes); // a power of two
    ~IMidiInDelivery();
    IMidiInDelivery(const IMidiInDelivery&) = delete;
    IMidiInDelivery& operator=(const IMidiInDelivery&) = delete;
    // Only while stopped. A message is stamped with what *serial holds when it arrives.
    void SetCallback(IMidiClient::StampedCallback callback, const std::atomic<uint32_t>* serial, void* userData);
    // On the system's thread, at any time: queues the message under its stamp; one stamped 0 is
    // dropped here, one that finds the queue full is counted (the delivering thread logs them).
    void Arrived(double deltaTime, const unsigned char* data, size_t size);
    // Sees each message Arrived has queued, on the system's thread, just before Arrived returns;
    // for tests that tell the system's hand-over from the delivery to the plug-in. It must not
    // wait. Null (the default) for none.
    using ArrivedObserver = void (*)(const unsigned char* data, size_t size);
    static void ObserveArrivals(ArrivedObserver observer);
    void Start();
    // Once this returns the delivering thread has ended, and nothing queued before is handed on.
    void Stop();

private:
    void Deliver();

    IMidiByteQueue mQueue; // the system's thread to mThread
    std::atomic<const std::atomic<uint32_t>*> mSerial{nullptr};
    IMidiClient::StampedCallback mCallback = nullptr;
    void* mUserData = nullptr;
    std::atomic<size_t> mDropped{0};
    std::atomic<bool> mStop{false};
    static std::atomic<ArrivedObserver> sObserver;
    sem_t mArrived;
    std::thread mThread;
};
