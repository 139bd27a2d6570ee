#pragma once
// One fixed text printed to standard output for a thread that may not write there (the host's
// render call: a pipe that nobody reads would hold it up). Such a thread only counts a print;
// a thread of the printer's own writes the text that many times. The count is bounded: what is
// asked beyond it is dropped, counted, and logged once by that thread.
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <thread>

class DeferredPrinter
{
public:
    static const uint32_t kLimit = 4096;
    explicit DeferredPrinter(const char* text, uint32_t limit = kLimit);
    // Writes what is asked, then ends the thread: it waits while standard output does.
    ~DeferredPrinter();
    DeferredPrinter(const DeferredPrinter&) = delete;
    DeferredPrinter& operator=(const DeferredPrinter&) = delete;
    // One more print of the text; any thread. Never waits and never allocates.
    void later();

private:
    void run();
    const char* const mText;
    const uint32_t mLimit;
    std::atomic<uint32_t> mAsked{0};
    std::atomic<uint32_t> mDropped{0};
    std::atomic<bool> mStop{false};
    sem_t mWake;
    std::thread mThread;
};
