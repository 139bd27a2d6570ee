#pragma once
// Short MIDI messages waiting for their sample offset in coming audio blocks. Messages stand in
// ascending offset; equal offsets keep their order of arrival.
//
// The operations take no lock themselves. A queue that several threads use is used under
// GetLock(): producers adding, the audio thread draining and the reset resizing each hold it.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "kit/plugin/IPluginStructs.h"

class IMidiQueue {
public:
    explicit IMidiQueue(int size = 1024) : mGrow(size > 0 ? size : 0)
    {
        if (mGrow > 0) {
            mBuf = static_cast<IMidiMsg*>(std::malloc(size_t(mGrow) * sizeof(IMidiMsg)));
            mSize = mBuf ? mGrow : 0;
        }
    }
    ~IMidiQueue() { std::free(mBuf); }
    IMidiQueue(const IMidiQueue&) = delete;
    IMidiQueue& operator=(const IMidiQueue&) = delete;

    // A message goes after every queued message with an equal or smaller offset.
    void Add(const IMidiMsg* msg)
    {
        if (mBack >= mSize) {
            if (mFront > 0) {
                Compact();
            } else {
                if (mGrow <= 0) return;
                int64_t cap = (int64_t(mSize) / mGrow + 1) * mGrow;
                if (cap > INT32_MAX / int64_t(sizeof(IMidiMsg))) return;
                auto* nb = static_cast<IMidiMsg*>(std::realloc(mBuf, size_t(cap) * sizeof(IMidiMsg)));
                if (!nb) return;
                mBuf = nb;
                mSize = int(cap);
            }
        }
        if (mBack > mFront && msg->mOffset < mBuf[mBack - 1].mOffset) {
            int i = mBack - 2;
            while (i >= mFront && mBuf[i].mOffset > msg->mOffset) --i;
            int at = i + 1;
            std::memmove(mBuf + at + 1, mBuf + at, size_t(mBack - at) * sizeof(IMidiMsg));
            mBuf[at] = *msg;
        } else {
            mBuf[mBack] = *msg;
        }
        ++mBack;
    }

    bool Empty() const { return mFront == mBack; }
    int ToDo() const { return mBack - mFront; }
    int GetSize() const { return mSize; }
    // The next message; valid only while !Empty().
    IMidiMsg* Peek() const { return mBuf + mFront; }
    void Remove() { if (mFront < mBack) ++mFront; }
    void Clear() { mFront = mBack = 0; }

    // At the end of a block of n frames: the messages left move n samples earlier.
    void Flush(int nFrames)
    {
        Compact();
        for (int i = 0; i < mBack; ++i) mBuf[i].mOffset -= nFrames;
    }

    std::mutex& GetLock() { return mLock; }

    // Capacity for at least size messages, in steps of 512 so the buffer is whole pages. A size
    // of 0 or less (no block size known) keeps the capacity and the growth step.
    void Resize(int size)
    {
        Compact();
        if (size <= 0) return;
        mGrow = RoundUp(size);
        int cap = mBack > mGrow ? RoundUp(mBack) : mGrow;
        if (cap == mSize || cap <= 0) return;
        auto* nb = static_cast<IMidiMsg*>(std::realloc(mBuf, size_t(cap) * sizeof(IMidiMsg)));
        if (!nb) return;
        mBuf = nb;
        mSize = cap;
    }

private:
    static int RoundUp(int n)
    {
        if (n < 0) n = 0;
        int64_t r = (int64_t(n) + 511) / 512 * 512;
        return r > INT32_MAX / 8 ? INT32_MAX / 8 / 512 * 512 : int(r);
    }

    void Compact()
    {
        if (mFront > 0) {
            mBack -= mFront;
            if (mBack > 0) std::memmove(mBuf, mBuf + mFront, size_t(mBack) * sizeof(IMidiMsg));
            mFront = 0;
        }
    }

    IMidiMsg* mBuf = nullptr;
    int mSize = 0;  // capacity in messages
    int mGrow;      // growth granularity in messages
    int mFront = 0; // next message to take
    int mBack = 0;  // one past the last message
    std::mutex mLock;
};
