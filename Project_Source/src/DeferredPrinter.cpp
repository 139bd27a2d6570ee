#include "DeferredPrinter.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "kit/plugin/Log.h"
#include "kit/threadname.h"

DeferredPrinter::DeferredPrinter(const char* text, std::function<void(const char*)> log, uint32_t limit)
    : mText(text), mLog(std::move(log)), mLimit(limit)
{
    sem_init(&mWake, 0, 0);
    mThread = std::thread([this] {
        KIT_NameThisThread("print");
        run();
    });
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

void DeferredPrinter::laterLine(const char* line)
{
    if (mLineFilling.test_and_set(std::memory_order_acquire)) {
        mDroppedLines.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const uint32_t head = mLineHead.load(std::memory_order_relaxed);
    if (head - mLineTail.load(std::memory_order_acquire) >= kLineSlots) {
        mDroppedLines.fetch_add(1, std::memory_order_relaxed);
    } else {
        char* slot = mLines[head % kLineSlots];
        std::strncpy(slot, line, kLineBytes - 1);
        slot[kLineBytes - 1] = 0;
        mLineHead.store(head + 1, std::memory_order_release);
    }
    mLineFilling.clear(std::memory_order_release);
    sem_post(&mWake);
}

void DeferredPrinter::settle()
{
    while (mWriting || mAsked != 0 || mLineTail != mLineHead) usleep(1000);
}

void DeferredPrinter::run()
{
    for (;;) {
        if (sem_wait(&mWake) != 0 && errno == EINTR) continue;
        mWriting = true;
        for (uint32_t n = mAsked.exchange(0); n > 0; --n) std::fputs(mText, stdout);
        for (uint32_t tail = mLineTail.load(); tail != mLineHead.load(std::memory_order_acquire); ++tail) {
            if (mLog) mLog(mLines[tail % kLineSlots]);
            mLineTail.store(tail + 1, std::memory_order_release);
        }
        if (uint32_t dropped = mDropped.exchange(0))
            LogLine("Standard output: %u print%s of \"%s\" dropped, the output taking no more", unsigned(dropped),
                    dropped == 1 ? "" : "s", mText);
        if (uint32_t dropped = mDroppedLines.exchange(0))
            LogLine("Log: %u line%s of the render call dropped, the log taking no more", unsigned(dropped),
                    dropped == 1 ? "" : "s");
        mWriting = false;
        if (mStop && mAsked.load() == 0 && mLineTail.load() == mLineHead.load()) return;
    }
}
