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

#include "midiports_test_plug.h"

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
            return;
        }
        out_.reset();
        in_.reset();
    }

    // False when the JACK server refused a client or a port (checked by tests before use).
    bool Ok() const { return !failed_ && in_ && out_; }

    // The full port names the plug-in's lists show.
    std::string ReceivingPort() const { return tag_ + "-rx:from-plug"; }
    std::string SendingPort() const { return tag_ + "-tx:to-plug"; }

    void Send(std::vector<unsigned char> bytes) { out_->sendMessage(&bytes); }

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
    // Waits until at least n messages have arrived; false when the time ran out first.
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
        SynthSide* self = static_cast<SynthSide*>(user);
        {
            std::lock_guard<std::mutex> g(self->lock_);
            self->got_.push_back(*msg);
        }
        self->cv_.notify_all();
    }

    std::string tag_;
    std::atomic<bool> failed_{false};
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    std::mutex lock_;
    std::condition_variable cv_;
    std::vector<std::vector<unsigned char>> got_;
};

inline int IndexOf(const std::vector<std::string>& names, const std::string& name)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return int(i);
    return -1;
}

// A SysEx of the given size, F0 ... F7, with 7-bit data that depends on seed and position.
inline std::vector<unsigned char> PatternSysEx(size_t size, unsigned seed)
{
    std::vector<unsigned char> m(size);
    m.front() = 0xF0;
    m.back() = 0xF7;
    for (size_t i = 1; i + 1 < size; ++i) m[i] = (unsigned char)((i * 31 + seed * 17) & 0x7F);
    return m;
}

// JACK makes a new connection live a little after the call that asks for it, later still on a
// loaded machine, and drops what is sent before. These send probes until one arrives, then
// forget them, so a test's own messages meet a live connection.
inline bool PrimeOutput(PortPlug& plug, SynthSide& synth)
{
    bool live = false;
    for (int i = 0; i < 100 && !live; ++i) {
        plug.SendMidiSysex2({0xFE});
        live = synth.WaitForCount(1, 50);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60)); // probes still on the way
    synth.Clear();
    return live;
}

inline bool PrimeInput(PortPlug& plug, SynthSide& synth)
{
    bool live = false;
    for (int i = 0; i < 100 && !live; ++i) {
        synth.Send({0xBF, 0x7F, 0x7F});
        live = plug.WaitFor([](const std::vector<Delivered>& s) { return !s.empty(); }, 50);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    plug.ClearSeen();
    return live;
}
