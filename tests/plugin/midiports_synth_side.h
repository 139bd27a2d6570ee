#pragma once
// The synthesizer's side of the MIDI cable on the private JACK server: a second, plain MIDI
// client with one port that sends to the plug-in and one that receives from it. Client names
// carry the process id and a counter, so tests running side by side on one server never meet.
#include <RtMidi.h>
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

class SynthSide {
public:
    SynthSide()
    {
        static std::atomic<int> counter{0};
        tag_ = "qorsynth" + std::to_string(getpid()) + "n" + std::to_string(counter++);
        try {
            in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, tag_ + "-rx", 1000);
            in_->setErrorCallback(OnError, &failed_);
            in_->ignoreTypes(false, false, false); // the synthesizer sees everything, clock included
            in_->setCallback(OnMessage, this);
            in_->openVirtualPort("from-plug");
            out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, tag_ + "-tx");
            out_->setErrorCallback(OnError, &failed_);
            out_->openVirtualPort("to-plug");
        } catch (const RtMidiError& e) {
            e.printMessage();
            failed_ = true;
        }
    }
    ~SynthSide()
    {
        if (failed_) {
            // The library's JACK clients crash on deletion once the server has refused them a
            // port or dropped them; a starved test server does that. Leave them to the exit.
            (void)out_.release();
            (void)in_.release();
        }
    }
    bool Ok() const { return !failed_ && in_ && out_; }
    // The full port names the plug-in's lists show.
    std::string ReceivingPort() const { return tag_ + "-rx:from-plug"; }
    std::string SendingPort() const { return tag_ + "-tx:to-plug"; }
    void Send(std::vector<unsigned char> bytes) { out_->sendMessage(&bytes); }
    // Each message received keeps the library's process thread this long: a receiver slower
    // than the server's cycle.
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
    static void OnError(RtMidiError::Type, const std::string& text, void* flag)
    {
        std::fprintf(stderr, "synthesizer side: %s\n", text.c_str());
        *static_cast<std::atomic<bool>*>(flag) = true;
    }
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
    std::atomic<bool> failed_{false};
    std::atomic<int> holdMs_{0};
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    std::mutex lock_;
    std::condition_variable cv_;
    std::vector<std::vector<unsigned char>> got_;
};
