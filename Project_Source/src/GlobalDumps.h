#pragma once
// The synthesizer's two global settings dumps: which positions carry which global parameters and
// how the packed positions 9, 22 and 24 are coded. Every other position is a fixed byte. Plain
// functions on values and bytes, so the sender and the router share one layout.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace GlobalDumps
{

// The value of a parameter by id, as the sender reads it.
using ValueOf = std::function<double(int id)>;
// Sets a parameter by id to a plain value, as the parser walks the positions.
using SetValue = std::function<void(int id, double value)>;

// The bits of a 7-bit value, entry 0 = bit 6 down to entry 6 = bit 0.
using Bits = std::array<uint8_t, 7>;
Bits sevenBits(int value);

// Position 9 of settings 2: the breath-sensing code in bits 3-6 and bit 2 for local control off.
uint8_t breathAndLocalByte(int breathSensing, int localControl);
// Position 22: velocity sensitivity, receive program change, receive control change, knob mode.
uint8_t receiveByte(int velocitySensitivity, int receivePC, int receiveCC, int knobMode);
// Position 24: demos and the three transmit switches.
uint8_t transmitByte(int finderDemos, int transmitPC, int transmitCC, int transmitAT);

// Both dumps, F0 to F7, from the parameters; model is the outgoing model byte. out holds at least
// SysexFamily::kGlobalFirstSize or kGlobalSecondSize bytes.
void writeFirst(const ValueOf& value, uint8_t model, uint8_t* out);
void writeSecond(const ValueOf& value, uint8_t model, uint8_t* out);

// Whether bytes are a whole dump of the kind: length, maker, the fixed 01 and the type.
bool isFirst(const uint8_t* bytes, size_t size);
bool isSecond(const uint8_t* bytes, size_t size);

// Walks an accepted dump's positions in order, calling set for each parameter it carries
// (kGlobalMidiChannel first, the device id). False, with nothing set, for any other message.
bool readFirst(const uint8_t* bytes, size_t size, const SetValue& set);
bool readSecond(const uint8_t* bytes, size_t size, const SetValue& set);

} // namespace GlobalDumps
