#pragma once
// The synthesizer's side of the MIDI cable on the private JACK server: two more JACK clients,
// one with a port that sends to the plug-in and one with a port that receives from it. Client
// names carry the process id and a counter, so tests running side by side on one server never
// meet.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kit/plugin/IMidiJack.h"

class SynthSide {
public:
    // longer lengthens the client names, for port names longer than a project keeps.
    explicit SynthSide(const std::string& longer = "")
    {
        static std::atomic<int> counter{0};
        tag_ = "qorsynth" + std::to_string(getpid()) + "n" + std::to_string(counter++) + longer;
        // The synthesizer sees everything, clock included.
        in_.reset(IMidiJackClient::Make(true, (tag_ + "-rx").c_str()));
        out_.reset(IMidiJackClient::Make(false, (tag_ + "-tx").c_str()));
        ok_ = in_ && out_ && in_->SetCallback(OnMessage, this) && in_->OpenOwnPort("from-plug") && out_->OpenOwnPort("to-plug");
    }
    ~SynthSide()
    {
        in_.reset(); // its deliveries reach the members below
        out_.reset();
    }
    bool Ok() const { return ok_; }
    // The full port names the plug-in's lists show.
    std::string ReceivingPort() const { return tag_ + "-rx:from-plug"; }
    std::string SendingPort() const { return tag_ + "-tx:to-plug"; }
    void Send(std::vector<unsigned char> bytes) { out_->Send(bytes.data(), bytes.size(), true); }
    // Each message received keeps the receiving thread this long: a receiver slower than the
    // server's cycle.
    void HoldEachMessage(int ms) { holdMs_ = ms; }
    std::vector<std::vector<unsigned char>> Received()
    {
        std::lock_guard<std::mutex> g(lock_);
        return got_;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> g(lock_);
        got_.clear();
    }
    bool WaitForCount(size_t n, int ms = 5000)
    {
        std::unique_lock<std::mutex> g(lock_);
        return cv_.wait_for(g, std::chrono::milliseconds(ms), [&] { return got_.size() >= n; });
    }

private:
    static void OnMessage(double, std::vector<unsigned char>* msg, void* user)
    {
        auto* self = static_cast<SynthSide*>(user);
        if (self->holdMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(self->holdMs_.load()));
        {
            std::lock_guard<std::mutex> g(self->lock_);
            self->got_.push_back(*msg);
        }
        self->cv_.notify_all();
    }
    std::string tag_;
    bool ok_ = false;
    std::atomic<int> holdMs_{0};
    std::unique_ptr<IMidiJackClient> in_, out_;
    std::mutex lock_;
    std::condition_variable cv_;
    std::vector<std::vector<unsigned char>> got_;
};
