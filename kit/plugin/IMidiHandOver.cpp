#include "kit/plugin/IMidiHandOver.h"

#include <errno.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "kit/plugin/Log.h"
#include "kit/threadname.h"

namespace
{

using Head = uint32_t;

// The wake a sender on this thread owes, while a WakeAfterLock is held; the outermost pays it.
thread_local int tDeferring = 0;
thread_local std::shared_ptr<sem_t> tOwed;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

IMidiHandOver::IMidiHandOver(IMidiClient* client, size_t queueBytes, std::chrono::milliseconds closeWait)
    : mClient(client), mCloseWait(closeWait), mLargest(std::min(client->LargestMessage(), queueBytes - sizeof(Head))),
      mQueue(queueBytes), mWake(new sem_t, [](sem_t* s) {
          sem_destroy(s);
          delete s;
      })
{
    sem_init(mWake.get(), 0, 0);
}

IMidiHandOver::~IMidiHandOver()
{
    ClosePort();
    delete mClient;
}

IMidiHandOver::WakeAfterLock::WakeAfterLock(bool defer) : mDefer(defer)
{
    tDeferring += mDefer;
}

IMidiHandOver::WakeAfterLock::~WakeAfterLock()
{
    if (mDefer && --tDeferring == 0 && tOwed) {
        sem_post(tOwed.get());
        tOwed.reset();
    }
}

unsigned IMidiHandOver::PortCount()
{
    std::lock_guard<std::mutex> hold(mClientLock);
    return mClient->PortCount();
}

std::string IMidiHandOver::PortName(unsigned number)
{
    std::lock_guard<std::mutex> hold(mClientLock);
    return mClient->PortName(number);
}

bool IMidiHandOver::OpenPort(unsigned number, const char* portName)
{
    ClosePort();
    {
        std::lock_guard<std::mutex> hold(mClientLock);
        if (!mClient->OpenPort(number, portName)) return false;
    }
    mOpen = true;
    mThread = std::thread([this] {
        KIT_NameThisThread("midi-out");
        Drain();
    });
    return true;
}

void IMidiHandOver::ClosePort()
{
    const bool draining = mThread.joinable();
    if (draining) {
        mDeadline = NowNs() + std::chrono::duration_cast<std::chrono::nanoseconds>(mCloseWait).count();
        mClosing = true;
    }
    mOpen = false;
    if (draining) {
        sem_post(mWake.get());
        mThread.join();
        mClosing = false;
        while (sem_trywait(mWake.get()) == 0) {
        }
    }
    // What the port did not take in time is not for the next one.
    unsigned dropped = 0;
    for (Head size; mQueue.ReadSpace() >= sizeof size; ++dropped) {
        mQueue.Peek(&size, sizeof size);
        mQueue.Drop(sizeof size + size);
    }
    {
        std::lock_guard<std::mutex> hold(mClientLock);
        if (mClient->IsPortOpen()) mClient->ClosePort();
    }
    if (dropped)
        LogLine("MIDI output: %u message%s not sent, the port closing before the MIDI system took %s", dropped,
                dropped == 1 ? "" : "s", dropped == 1 ? "it" : "them");
}

bool IMidiHandOver::IsPortOpen()
{
    return mOpen;
}

bool IMidiHandOver::Send(const unsigned char* data, size_t size, bool mayWait)
{
    if (!mOpen || size > mLargest) return false;
    const Head head = Head(size);
    if (!mQueue.Write(&head, sizeof head, data, size)) {
        // The render call counts what it loses itself, and may not log.
        if (!mayWait) return false;
        const auto until = std::chrono::steady_clock::now() + kSendWait;
        do {
            if (std::chrono::steady_clock::now() >= until) {
                LogLine("MIDI output: the MIDI system takes no more; a message of %zu bytes not sent", size);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (!mQueue.Write(&head, sizeof head, data, size));
    }
    if (!tDeferring) {
        sem_post(mWake.get());
    } else if (tOwed != mWake) {
        if (tOwed) sem_post(tOwed.get()); // another hand-over's, owed under the same lock: paid now
        tOwed = mWake;
    }
    return true;
}

size_t IMidiHandOver::LargestMessage() const
{
    return mLargest;
}

bool IMidiHandOver::SetCallback(Callback callback, void* userData)
{
    std::lock_guard<std::mutex> hold(mClientLock);
    return mClient->SetCallback(callback, userData);
}

bool IMidiHandOver::PastDeadline() const
{
    return mClosing && NowNs() >= mDeadline;
}

void IMidiHandOver::Drain()
{
    std::vector<unsigned char> message;
    message.reserve(std::min<size_t>(mLargest, 4096));
    for (;;) {
        if (sem_wait(mWake.get()) != 0 && errno == EINTR) continue;
        unsigned refused = 0;
        for (Head size; mQueue.ReadSpace() >= sizeof size && !PastDeadline();) {
            mQueue.Peek(&size, sizeof size);
            message.resize(size);
            mQueue.Peek(message.data(), size, sizeof size);
            {
                std::lock_guard<std::mutex> hold(mClientLock);
                refused += !mClient->Send(message.data(), size, true);
            }
            // Taken off only once sent: an empty queue tells a close that all went out.
            mQueue.Drop(sizeof size + size);
        }
        // The sender was told it went: the loss is said here, where nobody waits for it.
        if (refused)
            LogLine("MIDI output: the MIDI system refused %u message%s already handed over", refused,
                    refused == 1 ? "" : "s");
        if (mClosing) return;
    }
}
