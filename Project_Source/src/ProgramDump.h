#pragma once
// The program dump: one part's whole sound program in one message. The layout is one table of
// fields, one row per parameter a byte carries, in the order the bytes are walked; the writer,
// the parser and the randomizer all read it. Plain functions on values and bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "SysexFamily.h"

namespace ProgramDump
{

constexpr size_t kSize = SysexFamily::kProgramDumpSize; // F0 to F7
constexpr size_t kPartAt = 8;
constexpr size_t kNameAt = 9;
constexpr size_t kNameLength = 16;
constexpr size_t kFirstParameterAt = 25;
constexpr size_t kLastParameterAt = 294;
constexpr int kParts = 8;

// Bytes that carry no parameter: always written as these, never read.
struct Reserved {
    size_t at;
    uint8_t byte;
};
constexpr Reserved kReserved[] = {{29, 0x30}, {78, 0x7F}, {112, 0x7F}};

// A field no section lock guards: the parser always sets it.
constexpr int kNoLock = -1;

// How a field sits in its byte.
enum class Coding : uint8_t {
    Offset,       // the whole byte: value + offset; read back as byte - offset
    Bits,         // width bits from lowBit: value + offset; read back as those bits - offset
    Polyphony,    // bits 0-1 hold value + 1; read back as 1 when bit 0 is clear, else 0
    NoteOrdering, // 2 x value over the byte's base; read back from the byte's range
    FillIn,       // value over the byte's base; read back from the byte's range
};

struct Field {
    uint16_t at; // byte position
    int16_t id;  // parameter base id; part p at id + p unless baseOnly
    Coding coding;
    int8_t lowBit;    // lowest bit of a packed field (0 for a whole byte)
    int8_t width;     // bits the field owns (7 for a whole byte)
    int16_t offset;   // added to the value on the wire
    int16_t maxValue; // largest value a packed field takes, from 0; -1 for a whole byte
    int16_t lock;     // base id of the section lock, or kNoLock
    bool baseOnly;    // one setting for every part (the vocoder): always at the base id
};

// The id a field is read from and written to for part.
constexpr int idFor(const Field& f, int part)
{
    return f.baseOnly ? f.id : f.id + part;
}

// Every parameter field of the dump, by ascending position; the fields of a byte in the order
// they are read.
struct FieldList {
    const Field* first;
    size_t count;
    const Field* begin() const { return first; }
    const Field* end() const { return first + count; }
};
FieldList fields();

// Bytes that hold more than one field or a code: a constant base added under the fields, and
// whether the parser takes the fields from byte - base with truncating division (so a byte
// below its base gives negative parts) rather than from the byte's bits.
struct PackedByte {
    uint16_t at;
    uint8_t base;
    bool fromBase;
};
constexpr PackedByte kPackedBytes[] = {{218, 0, false},   {244, 0, false}, {246, 0, false}, {247, 64, false},
                                       {253, 122, false}, {255, 0, false}, {258, 0, false}, {262, 0, false},
                                       {278, 0, false},   {284, 32, true}};

// Byte 244 carries the envelope triggering as an offset code; the three envelope switches of
// the editor follow from it. t = byte - 34 as an 8-bit value: for t 0..7 the switches of
// envelopes 1, 2, 3 are bits 2, 1, 0 of t; any other t sets all three.
constexpr size_t kEnvelopeTriggeringAt = 244;
constexpr int kEnvelopeTriggeringOffset = 34;
extern const std::array<int, 3> kEnvelopeSwitchIds; // base ids of envelopes 1, 2, 3
std::array<int, 3> envelopeSwitches(int byte);

// The value of a parameter by id, and the set of one as the parser walks.
using ValueOf = std::function<double(int id)>;
using SetValue = std::function<void(int id, double value)>;

// The dump of part, F0 to F7, from the parameter values and the name text; out holds kSize
// bytes. model is the outgoing model byte; the device byte is kGlobalMidiChannel. Values are
// truncated toward zero and held to what their bits or the data byte can carry.
void write(const ValueOf& value, int part, uint8_t model, const std::string& name, uint8_t* out);
// The name bytes of a text: its first 16 characters, each control character or byte of 80 hex
// and above a space, padded with spaces.
std::array<uint8_t, kNameLength> nameBytes(const std::string& name);

// A program dump: at least kSize bytes, the maker id, type 00 and a part 0..7. Any model byte
// and device id; bytes after the dump's own are ignored.
bool isProgramDump(const uint8_t* bytes, size_t size);
// The 16 name bytes of an accepted dump as they stand.
std::string nameOf(const uint8_t* bytes);

// Which lock sections of a part are locked (exactly 1), read once before a dump is applied.
class Locks
{
public:
    Locks(const ValueOf& value, int part);
    bool locked(int lock) const;

private:
    std::array<bool, 32> mLocked{};
};

// Walks an accepted dump's fields in order, calling set for each that locks does not guard.
void readParameters(const uint8_t* bytes, int part, const Locks& locks, const SetValue& set);

// The compact tap-pattern code: 33 step entries in 11 bytes of 7 bits.
constexpr size_t kTapSteps = 33;
constexpr size_t kTapCodeSize = 11;
void encodeTapPattern(const int8_t* steps, uint8_t* code);
void decodeTapPattern(const uint8_t* code, int8_t* steps);

} // namespace ProgramDump
