#pragma once
// What a thread that may not write (the host's render call: a file, or a pipe that nobody reads,
// would hold it up) leaves for a thread of the printer's own: prints of one fixed text to
// standard output, which it only counts, and log lines, which it copies into a few fixed slots.
// Both are bounded: what comes beyond is dropped, counted, and logged once by that thread.
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

class DeferredPrinter
{
public:
    static const uint32_t kLimit = 4096;
    static const uint32_t kLineSlots = 16;
    static const size_t kLineBytes = 160;
    // log writes one line on the printer's thread.
    DeferredPrinter(const char* text, std::function<void(const char*)> log, uint32_t limit = kLimit);
    // Writes what is asked, then ends the thread: it waits while standard output does.
    ~DeferredPrinter();
    DeferredPrinter(const DeferredPrinter&) = delete;
    DeferredPrinter& operator=(const DeferredPrinter&) = delete;
    // One more print of the text; any thread. Never waits and never allocates.
    void later();
    // A log line (cut to the slot's size); any thread. Never waits and never allocates.
    void laterLine(const char* line);
    // For tests: until everything asked so far is written.
    void settle();

private:
    void run();
    const char* const mText;
    const std::function<void(const char*)> mLog;
    const uint32_t mLimit;
    std::atomic<uint32_t> mAsked{0};
    std::atomic<uint32_t> mDropped{0};
    char mLines[kLineSlots][kLineBytes];
    std::atomic<uint32_t> mLineHead{0}, mLineTail{0}; // slots filled and written, counted on
    std::atomic_flag mLineFilling = ATOMIC_FLAG_INIT; // one filler at a time, never waited for
    std::atomic<uint32_t> mDroppedLines{0};
    std::atomic<bool> mWriting{false};
    std::atomic<bool> mStop{false};
    sem_t mWake;
    std::thread mThread;
};
