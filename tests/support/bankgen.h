#pragma once
// Test-data generator for bank files, written apart from the librarian's own writer: the device's
// dumps, laid out as raw SysEx or Standard MIDI Files, and damaged as real files are.
#include <cstdint>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace bankgen {

using Bytes = std::vector<uint8_t>;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

enum class Kind { Programs, Performances, Patterns };

struct KindModel {
    Kind kind;
    uint8_t modelByte;
};
// Every kind with the model bytes it comes in.
constexpr KindModel kEveryKindAndModel[] = {
    {Kind::Programs, 0x20},     {Kind::Programs, 0x21},     {Kind::Programs, 0x22},     {Kind::Programs, 0x23},
    {Kind::Programs, 0x24},     {Kind::Performances, 0x20}, {Kind::Performances, 0x21}, {Kind::Performances, 0x22},
    {Kind::Performances, 0x23}, {Kind::Patterns, 0x20},     {Kind::Patterns, 0x21},     {Kind::Patterns, 0x23}};

// Model code the librarian gives a model byte (0x22 and 0x24 are one family).
int modelCodeOf(uint8_t modelByte);

// One dump as the device sends it; programs and performances carry name at bytes 10..25,
// programs their category at 27.
struct DumpOptions {
    uint8_t type = 0xFF; // 0xFF: the usual type
    size_t size = 0;     // 0: the standard size
};
Bytes makeDump(Kind kind, uint8_t modelByte, int messageIndex, const std::string& name, uint8_t category,
               uint32_t seed, const DumpOptions& options = DumpOptions());
// The stored form the librarian must keep for a dump, worked out from the dump itself.
Bytes expectedStored(const Bytes& dump, Kind kind, int modelCode, int messageIndex);

struct Bank {
    Kind kind = Kind::Programs;
    uint8_t modelByte = 0x20;
    std::vector<std::vector<Bytes>> entries; // [slot][messageIndex]
    std::vector<std::string> names;
    std::vector<uint8_t> categories;
};
Bank makeBank(Kind kind, uint8_t modelByte, int count, uint32_t seed = 1);
// The first banks of a synthesizer's memory in their stored forms (model 20), bank by bank and
// slot by slot, each entry named after its bank letter and slot ("B17"): programs (297 bytes,
// type 02) or performances (383 bytes, type 07, each followed by its 27-byte 1C follow-up).
std::vector<Bytes> synthBanks(Kind kind, int banks);
std::vector<Bytes> messagesOf(const Bank& bank);
// What a round trip through the editor keeps of a program: its bytes from the name to the F7 but
// the reserved ones (29, 78 and 112 of a dump). Of a dump (296 bytes) or of a stored entry, which
// holds bank and slot where the dump holds the part.
Bytes programBody(const Bytes& program);

Bytes rawFile(const std::vector<Bytes>& messages);
struct MidiOptions {
    uint32_t laterDelta = 500;      // ticks before every event but the first
    bool metaEventsBetween = false; // a text meta event before every SysEx event
    bool extraTrack = false;        // a track of notes after the SysEx track
    bool unknownChunk = false;      // between header and tracks
    bool splitPackets = false;      // every message as an F0 packet and an F7 rest
    size_t firstPacket = 0;         // data bytes of the F0 packet (0: half)
};
Bytes midiFile(const std::vector<Bytes>& messages, const MidiOptions& options = MidiOptions());
Bytes varLen(uint32_t value);
uint32_t readBig32(const Bytes& data, size_t at);

// Damage: stray zeros, near-miss headers and a note between the messages; the last cut bytes
// gone; message which without its F7; header byte field set to value.
Bytes withJunkBetween(const std::vector<Bytes>& messages, uint32_t seed);
Bytes truncatedLast(const Bytes& file, size_t cut);
Bytes withoutF7(const std::vector<Bytes>& messages, size_t which);
Bytes nearMiss(Bytes dump, int field, uint8_t value);

// A log file's texts without their time stamps; whether one starts with prefix.
std::vector<std::string> logTexts(const std::string& path);
bool hasLineStarting(const std::vector<std::string>& lines, const std::string& prefix);

// Writes in this process fail with "file too large" past limit bytes while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long savedCurrent;
};

// CRC-32 (the zip polynomial), for pinning table contents.
uint32_t crc32(const Bytes& data);

} // namespace bankgen
