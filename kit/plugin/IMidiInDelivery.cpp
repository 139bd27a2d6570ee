#include "kit/plugin/IMidiInDelivery.h"

#include <vector>

#include "kit/plugin/Log.h"
#include "kit/threadname.h"

namespace
{

struct Head {
    uint32_t size;
    uint32_t serial;
    double delta;
};

} // namespace

std::atomic<IMidiInDelivery::ArrivedObserver> IMidiInDelivery::sObserver{nullptr};

void IMidiInDelivery::ObserveArrivals(ArrivedObserver observer)
{
    sObserver = observer;
}

IMidiInDelivery::IMidiInDelivery(size_t queueBytes) : mQueue(queueBytes)
{
    sem_init(&mArrived, 0, 0);
}

IMidiInDelivery::~IMidiInDelivery()
{
    Stop();
    sem_destroy(&mArrived);
}

void IMidiInDelivery::SetCallback(IMidiClient::StampedCallback callback, const std::atomic<uint32_t>* serial,
                                  void* userData)
{
    mCallback = callback;
    mUserData = userData;
    mSerial = serial;
}

void IMidiInDelivery::Arrived(double deltaTime, const unsigned char* data, size_t size)
{
    const std::atomic<uint32_t>* source = mSerial;
    const uint32_t serial = source ? source->load() : 0;
    if (!serial || !data || size == 0 || size > UINT32_MAX) return;
    const Head head{uint32_t(size), serial, deltaTime};
    if (!mQueue.Write(&head, sizeof head, data, size)) {
        ++mDropped;
        return;
    }
    sem_post(&mArrived);
    if (ArrivedObserver observer = sObserver.load(std::memory_order_relaxed)) observer(data, size);
}

void IMidiInDelivery::Start()
{
    if (!mThread.joinable())
        mThread = std::thread([this] {
            KIT_NameThisThread("midi-in");
            Deliver();
        });
}

void IMidiInDelivery::Stop()
{
    if (mThread.joinable()) {
        mStop = true;
        sem_post(&mArrived);
        mThread.join();
        mStop = false;
        while (sem_trywait(&mArrived) == 0) {
        }
    }
    // Safe beside the system's thread, the only writer: a message it stamped before the port
    // closed may still come in after this, and its stamp keeps it from the next opening.
    mQueue.Clear();
}

void IMidiInDelivery::Deliver()
{
    std::vector<unsigned char> message;
    Head head;
    while (!mStop) {
        if (sem_wait(&mArrived) != 0 || mStop) continue;
        while (!mStop && mQueue.ReadSpace() >= sizeof head) {
            mQueue.Peek(&head, sizeof head);
            message.resize(head.size);
            mQueue.Peek(message.data(), head.size, sizeof head);
            mQueue.Drop(sizeof head + head.size);
            mCallback(head.serial, head.delta, &message, mUserData);
        }
        if (size_t lost = mDropped.exchange(0)) LogLine("MIDI input: %zu messages lost, taken too slowly", lost);
    }
}
