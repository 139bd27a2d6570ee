#include "outqueue.h"

namespace synthsim {

OutputQueue::OutputQueue(Sink sink, Recorder& record)
    : sink_(std::move(sink)), record_(record), cableFree_(std::chrono::steady_clock::now())
{
    worker_ = std::thread([this] { run(); });
}

OutputQueue::~OutputQueue() { stop(); }

void OutputQueue::post(Bytes bytes, int delayMs, std::string note)
{
    std::lock_guard<std::mutex> g(lock_);
    if (stopping_) return;
    items_.push_back({std::move(bytes),
                      std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs),
                      std::move(note)});
    wake_.notify_all();
}

void OutputQueue::drain()
{
    std::unique_lock<std::mutex> g(lock_);
    idle_.wait(g, [this] { return (items_.empty() && !busy_) || stopping_; });
}

void OutputQueue::stop()
{
    {
        std::lock_guard<std::mutex> g(lock_);
        stopping_ = true;
        wake_.notify_all();
        idle_.notify_all();
    }
    if (worker_.joinable()) worker_.join();
}

void OutputQueue::run()
{
    std::unique_lock<std::mutex> g(lock_);
    for (;;) {
        wake_.wait(g, [this] { return stopping_ || !items_.empty(); });
        if (stopping_) return;
        auto due = items_.front().due;
        const bool paced = throttle_;
        if (paced) {
            // The message is whole at the far end only after its last byte has crossed.
            if (cableFree_ > due) due = cableFree_;
            due += std::chrono::microseconds(long(cableSeconds(items_.front().bytes.size()) * 1e6));
        }
        // A stop while waiting ends the wait early.
        if (wake_.wait_until(g, due, [this] { return stopping_; })) return;
        Item item = std::move(items_.front());
        items_.pop_front();
        busy_ = true;
        g.unlock();
        sink_(item.bytes);
        // A message that left late holds the cable until it actually left.
        const auto left = std::chrono::steady_clock::now();
        record_.write(record_.at(left), "out", item.bytes, item.note);
        g.lock();
        if (paced) cableFree_ = left > due ? left : due;
        busy_ = false;
        if (items_.empty()) idle_.notify_all();
    }
}

} // namespace synthsim
