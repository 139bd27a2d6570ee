#include "DeferredPrinter.h"

#include <errno.h>

#include <cstdio>

#include "kit/plugin/Log.h"

DeferredPrinter::DeferredPrinter(const char* text, uint32_t limit) : mText(text), mLimit(limit)
{
    sem_init(&mWake, 0, 0);
    mThread = std::thread([this] { run(); });
}

DeferredPrinter::~DeferredPrinter()
{
    mStop = true;
    sem_post(&mWake);
    mThread.join();
    sem_destroy(&mWake);
}

void DeferredPrinter::later()
{
    uint32_t asked = mAsked.load(std::memory_order_relaxed);
    do {
        if (asked >= mLimit) {
            mDropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
    } while (!mAsked.compare_exchange_weak(asked, asked + 1, std::memory_order_relaxed));
    sem_post(&mWake);
}

void DeferredPrinter::run()
{
    for (;;) {
        if (sem_wait(&mWake) != 0 && errno == EINTR) continue;
        for (uint32_t n = mAsked.exchange(0); n > 0; --n) std::fputs(mText, stdout);
        if (uint32_t dropped = mDropped.exchange(0))
            LogLine("Standard output: %u print%s of \"%s\" dropped, the output taking no more", unsigned(dropped),
                    dropped == 1 ? "" : "s", mText);
        if (mStop && mAsked.load() == 0) return;
    }
}
