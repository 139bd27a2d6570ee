// The synthesizer's MIDI sockets: a JACK input port "<name>:in" and output port
// "<name>-out:out", each its own RtMidi client.
#pragma once

#include "protocol.h"

#include <functional>
#include <memory>
#include <string>

class RtMidiIn;
class RtMidiOut;

namespace synthsim {

class MidiPorts {
public:
    using Receiver = std::function<void(const Bytes&)>;

    MidiPorts();
    ~MidiPorts();

    // False with a reason when JACK or the ports cannot be had.
    bool open(const std::string& clientName, Receiver receiver, std::string& error);
    // Called from one thread only (the output queue).
    void send(const Bytes& bytes);
    void close();

private:
    static void onInput(double, std::vector<unsigned char>* msg, void* self);
    Receiver receiver_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
};

} // namespace synthsim
