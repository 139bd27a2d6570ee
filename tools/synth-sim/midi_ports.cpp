#include "midi_ports.h"

#include <RtMidi.h>

#include <cstdio>

namespace synthsim {

MidiPorts::MidiPorts() = default;

MidiPorts::~MidiPorts() { close(); }

void MidiPorts::onInput(double, std::vector<unsigned char>* msg, void* self)
{
    auto* p = static_cast<MidiPorts*>(self);
    if (msg && p->receiver_) p->receiver_(Bytes(msg->begin(), msg->end()));
}

bool MidiPorts::open(const std::string& clientName, Receiver receiver, std::string& error)
{
    receiver_ = std::move(receiver);
    try {
        out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, clientName + "-out");
        out_->openVirtualPort("out");
        in_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, clientName);
        // SysEx, clock, start and stop all matter here; active sensing does not.
        in_->ignoreTypes(false, false, true);
        in_->setCallback(&MidiPorts::onInput, this);
        in_->openVirtualPort("in");
    } catch (const RtMidiError& e) {
        error = e.getMessage();
        in_.reset();
        out_.reset();
        return false;
    }
    return true;
}

void MidiPorts::send(const Bytes& bytes)
{
    if (!out_ || bytes.empty()) return;
    try {
        out_->sendMessage(bytes.data(), bytes.size());
    } catch (const RtMidiError& e) {
        std::fprintf(stderr, "synth-sim: send failed: %s\n", e.getMessage().c_str());
    }
}

void MidiPorts::close()
{
    try {
        if (in_) {
            in_->cancelCallback();
            in_->closePort();
        }
        if (out_) out_->closePort();
    } catch (const RtMidiError&) {
    }
    in_.reset();
    out_.reset();
}

} // namespace synthsim
