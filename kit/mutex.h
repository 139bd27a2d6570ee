#pragma once
// A recursive mutex that records its owner and depth. The owner is atomic so that another
// thread comparing it never reads a torn value.
#include <atomic>
#include <mutex>
#include <thread>

class KIT_Mutex {
public:
    KIT_Mutex() = default;
    KIT_Mutex(const KIT_Mutex&) = delete;
    KIT_Mutex& operator=(const KIT_Mutex&) = delete;

    void Enter()
    {
        std::thread::id me = std::this_thread::get_id();
        if (m_owner.load(std::memory_order_acquire) == me) {
            ++m_depth;
            return;
        }
        m_mutex.lock();
        m_owner.store(me, std::memory_order_release);
        m_depth = 0;
    }

    // Enter without waiting: false when another thread holds the mutex.
    bool TryEnter()
    {
        std::thread::id me = std::this_thread::get_id();
        if (m_owner.load(std::memory_order_acquire) == me) {
            ++m_depth;
            return true;
        }
        if (!m_mutex.try_lock()) return false;
        m_owner.store(me, std::memory_order_release);
        m_depth = 0;
        return true;
    }

    void Leave()
    {
        if (--m_depth < 0) {
            m_depth = 0;
            m_owner.store(std::thread::id(), std::memory_order_release);
            m_mutex.unlock();
        }
    }

    bool IsHeldByCaller() const { return m_owner.load(std::memory_order_acquire) == std::this_thread::get_id(); }
    int Depth() const { return m_depth; }

private:
    std::mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_depth = 0; // touched only by the owner
};

// Holds a KIT_Mutex for a scope, so every Enter is paired with its Leave, exceptions included.
class KIT_MutexLock {
public:
    explicit KIT_MutexLock(KIT_Mutex* m) : m_mutex(m) { if (m_mutex) m_mutex->Enter(); }
    ~KIT_MutexLock() { if (m_mutex) m_mutex->Leave(); }
    KIT_MutexLock(const KIT_MutexLock&) = delete;
    KIT_MutexLock& operator=(const KIT_MutexLock&) = delete;

private:
    KIT_Mutex* m_mutex;
};
