// The synthesizer's MIDI sockets: a JACK input port "<name>:in" and output port
// "<name>-out:out", each its own RtMidi client.
#pragma once

#include "protocol.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class RtMidiIn;
class RtMidiOut;

namespace synthsim {

class MidiPorts {
public:
    using Receiver = std::function<void(const Bytes&)>;

    MidiPorts();
    ~MidiPorts();

    // False with a reason when JACK or the ports cannot be had. The receiver runs on a thread
    // of its own, in arrival order, never on JACK's process thread.
    bool open(const std::string& clientName, Receiver receiver, std::string& error);
    // Called from one thread only (the output queue).
    void send(const Bytes& bytes);
    void close();

private:
    static void onInput(double, std::vector<unsigned char>* msg, void* self);
    void deliver();
    void stopDelivery();

    Receiver receiver_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Bytes> arrived_;
    bool stopping_ = false;
    std::thread deliverer_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

} // namespace synthsim
