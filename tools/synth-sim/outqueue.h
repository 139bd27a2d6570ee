// Everything the synthesizer sends leaves through one thread, in order: answers due later
// wait their time, and with throttling each message holds the cable for its length at
// 3125 bytes per second.
#pragma once

#include "protocol.h"
#include "record.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace synthsim {

constexpr double kCableBytesPerSecond = 3125.0;

// How long a message of n bytes occupies a MIDI cable, in seconds.
inline double cableSeconds(size_t n) { return double(n) / kCableBytesPerSecond; }

class OutputQueue {
public:
    using Sink = std::function<void(const Bytes&)>;

    OutputQueue(Sink sink, Recorder& record);
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    void setThrottle(bool on) { throttle_ = on; }
    void post(Bytes bytes, int delayMs, std::string note);
    // Blocks until everything posted so far has left.
    void drain();
    void stop();

private:
    struct Item {
        Bytes bytes;
        std::chrono::steady_clock::time_point due;
        std::string note;
    };
    void run();

    Sink sink_;
    Recorder& record_;
    std::atomic<bool> throttle_{false};
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Item> items_;
    bool busy_ = false;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point cableFree_;
    std::thread worker_;
};

} // namespace synthsim
