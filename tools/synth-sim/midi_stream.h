// What one delivery of the MIDI input holds, cut into single messages. The port layer joins
// everything that follows a SysEx without its F7 into that message; the synthesizer, like the
// hardware, ends such a message at the next status byte and handles what follows.
#pragma once

#include "protocol.h"

#include <vector>

namespace synthsim {

// Splits a run of MIDI bytes into messages in the order they take effect:
// - a real-time byte (F8..FF) is a message of its own where it stands, even inside another;
// - a SysEx ends at its F7, or, broken, before the next status byte (it then has no F7);
// - channel and system common messages take as many data bytes as their kind has;
// - a message cut short, or data bytes with no status byte before them, come out as they are.
// Every byte of the input lands in exactly one message, in its order.
std::vector<Bytes> splitMidiInput(const uint8_t* data, size_t size);

} // namespace synthsim
