#pragma once
// The output of a client whose send can neither refuse nor be bounded (the MIDI library's: one
// system call per message, which waits while the system is full). Every send goes into a bounded
// queue, and a thread of ours hands the messages to the client one after another, so the order
// of all threads' sends is kept and no sender waits for the system. A sender that may not wait
// finds room at once or is refused; one that may, waits for room a little.
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "kit/plugin/IMidiJack.h" // IMidiByteQueue

class IMidiHandOver : public IMidiClient
{
public:
    static const size_t kQueueBytes = size_t(1) << 18;
    static constexpr std::chrono::milliseconds kSendWait{500};
    // Owns client from here on. queueBytes is a power of two; closeWait is how long a close
    // lets queued messages reach the port before it drops them.
    explicit IMidiHandOver(IMidiClient* client, size_t queueBytes = kQueueBytes,
                           std::chrono::milliseconds closeWait = kSendWait);
    // Ends the thread first: the client is deleted only once nothing can call it.
    ~IMidiHandOver() override;
    unsigned PortCount() override;
    std::string PortName(unsigned number) override;
    bool OpenPort(unsigned number, const char* portName) override;
    // Messages the client has not taken within closeWait are dropped, counted and logged here,
    // so that nothing meant for this port reaches the next one. Waits for a send under way.
    void ClosePort() override;
    bool IsPortOpen() override; // takes no lock: the render call asks
    // The client's word: asked by the opener, whose open of the client it follows.
    bool Spent() const override { return mClient->Spent(); }
    bool Send(const unsigned char* data, size_t size, bool mayWait) override;
    // Held by a caller around its lock: the thread's wake, a system call, waits for the lock to be
    // given up. A sender woken past by it, or preempted on its way back, would keep the lock held
    // while the render call, which only tries the lock, drops its sends. Declared before the lock;
    // a caller that may not free memory (the render call) passes false and wakes at once.
    class WakeAfterLock
    {
    public:
        explicit WakeAfterLock(bool defer);
        ~WakeAfterLock();
        WakeAfterLock(const WakeAfterLock&) = delete;
        WakeAfterLock& operator=(const WakeAfterLock&) = delete;

    private:
        const bool mDefer;
    };
    size_t LargestMessage() const override;
    bool SetCallback(Callback callback, void* userData) override;

private:
    void Drain();
    bool PastDeadline() const;

    IMidiClient* const mClient;
    const std::chrono::milliseconds mCloseWait;
    const size_t mLargest;
    std::mutex mClientLock; // every call of mClient; the thread holds nothing else while it sends
    IMidiByteQueue mQueue;  // senders (one at a time, under the caller's lock) to mThread
    std::atomic<bool> mOpen{false};
    std::atomic<bool> mClosing{false};
    std::atomic<int64_t> mDeadline{0}; // steady clock, ns: the thread hands over nothing after it
    // Shared with a sender's owed wake, which may outlive this by the moment between its unlock
    // and its post.
    std::shared_ptr<sem_t> mWake;
    std::thread mThread;
};
