// The synthesizer's own MIDI chart: for every control change, NRPN and parameter SysEx it
// takes, the parameter, its values and the byte of the dump that holds it. Written out by hand
// from the project's chart and the dump layouts, and read by nothing of the editor, so that a
// wrong address, range or encoding on either side shows up against the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace synthsim
{

enum class Via : uint8_t { CC, NRPN, SysEx };

// Which edit buffer holds the value.
enum class Dump : uint8_t {
    None,        // the synthesizer keeps it, but no dump carries it
    Program,     // the part's program edit buffer (type 00)
    PartBlock,   // the part's block of the performance edit buffer (type 05)
    Performance, // the performance as a whole (type 05)
    Global1,     // global settings 1 (type 0F)
    Global2,     // global settings 2 (type 15)
    DeviceId,    // byte 6 of every message: the device id and global channel
};

// How the data of the message carries the value.
enum class Wire : uint8_t {
    Plain,    // value = lo + data - dlo
    Switch,   // 0 off, anything else on
    Room,     // 8 x room + early reflections: the room
    Early,    // the same value: the early reflections
    Ordering, // 122 + 2 x note ordering + fill-in: the ordering
    FillIn,   // the same value: the fill-in
    Sustain,  // the sustain code of the part
    NonZero,  // the first data value off, the others on
};

// How the value sits in its byte.
enum class Place : uint8_t {
    Byte,        // the whole byte: value + offset
    Field,       // bits shift .. shift + width - 1: value + offset
    InvertedBit, // bit shift set while the value is 0
    Sustain,     // the sustain code table
    Breath,      // bits 3-6: (value + 6) mod 11
    PartStatus,  // part 8 in bit 6 of position 24, parts 1-7 in bits 0-6 of position 27, inverted
    RxProgram,   // bits 0-1: 2 while on; either bit reads as on
    NoteOrder,   // 122 + 2 x note ordering + fill-in (the row's wire says which of the two)
};

// A part's effects follow either its program or the performance (bit 6 of the part settings);
// the two sets share their controllers.
enum class Fx : uint8_t { Any, Program, Performance };

struct ChartRow {
    const char* name;
    Via via;
    uint8_t a, b;     // CC: a = number; NRPN: a = MSB, b = LSB; SysEx: a = type, b = parameter
    uint8_t dlo, dhi; // the data this row takes
    uint8_t lo, hi;   // the parameter's values
    bool global;      // on the global channel, or a setting of the whole synthesizer
    Wire wire;
    Fx fx;
    Dump dump;
    uint16_t pos; // position in the dump as sent (F0 at 0); PartBlock: offset in the part's block
    Place place;
    uint8_t shift, width;
    int16_t offset;
};

// The whole chart, in the order of the project's listing.
const std::vector<ChartRow>& chartRows();

// Rows at one address (for SysEx a = type, b = parameter; for CC b is ignored).
std::vector<const ChartRow*> rowsAt(Via via, int a, int b);
// Rows of one parameter name.
std::vector<const ChartRow*> rowsNamed(const std::string& name);

// The value a data byte stands for in this row; false when the row does not take it.
bool decodeData(const ChartRow& row, int data, int& value);

// Writes value (already within lo..hi) into the byte as the row places it.
uint8_t placeValue(const ChartRow& row, uint8_t byte, int value, int part);
// Reads the value back from the byte.
int readValue(const ChartRow& row, uint8_t byte, int part);

// The dump position of the row for a part (PartBlock rows: 28 + 44 x part + offset;
// PartStatus rows: 24 or 27).
int dumpPosition(const ChartRow& row, int part);

// "program", "performance", "global 1", "global 2", "device id" or "" for None.
const char* dumpName(Dump d);

} // namespace synthsim
