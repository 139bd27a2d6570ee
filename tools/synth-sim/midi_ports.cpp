#include "midi_ports.h"

#include <RtMidi.h>

#include <cstdio>

namespace synthsim {

MidiPorts::MidiPorts() = default;

MidiPorts::~MidiPorts() { close(); }

// Runs on JACK's process thread, which has a deadline: the message is only handed over.
void MidiPorts::onInput(double, std::vector<unsigned char>* msg, void* self)
{
    auto* p = static_cast<MidiPorts*>(self);
    if (!msg) return;
    std::lock_guard<std::mutex> g(p->lock_);
    if (p->stopping_) return;
    p->arrived_.emplace_back(msg->begin(), msg->end());
    p->wake_.notify_one();
}

// Handles what arrived (records, stores, answers) away from the process thread, so that a
// slow disk or a loaded machine never makes the synthesizer miss a JACK cycle.
void MidiPorts::deliver()
{
    std::unique_lock<std::mutex> g(lock_);
    for (;;) {
        wake_.wait(g, [this] { return stopping_ || !arrived_.empty(); });
        if (stopping_) return;
        Bytes m = std::move(arrived_.front());
        arrived_.pop_front();
        g.unlock();
        if (receiver_) receiver_(m);
        g.lock();
    }
}

void MidiPorts::stopDelivery()
{
    {
        std::lock_guard<std::mutex> g(lock_);
        stopping_ = true;
        arrived_.clear();
        wake_.notify_all();
    }
    if (deliverer_.joinable()) deliverer_.join();
}

bool MidiPorts::open(const std::string& clientName, Receiver receiver, std::string& error)
{
    receiver_ = std::move(receiver);
    {
        std::lock_guard<std::mutex> g(lock_);
        stopping_ = false;
    }
    if (!deliverer_.joinable()) deliverer_ = std::thread([this] { deliver(); });
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
        stopDelivery();
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
    stopDelivery();
    out_.reset();
}

} // namespace synthsim
