#pragma once
// Test-data generator for bank files, written apart from the librarian's own writer: it makes the
// synthesizer's dumps as they come from the device, lays them out as raw SysEx or as Standard
// MIDI Files, and damages them in the ways real files are damaged.
#include <cstdint>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace bankgen {

using Bytes = std::vector<uint8_t>;

enum class Kind { Programs, Performances, Patterns };

// Every kind with the model bytes it comes in.
struct KindModel {
    Kind kind;
    uint8_t modelByte;
};
constexpr KindModel kEveryKindAndModel[] = {
    {Kind::Programs, 0x20},     {Kind::Programs, 0x21},     {Kind::Programs, 0x22},     {Kind::Programs, 0x23},
    {Kind::Programs, 0x24},     {Kind::Performances, 0x20}, {Kind::Performances, 0x21}, {Kind::Performances, 0x22},
    {Kind::Performances, 0x23}, {Kind::Patterns, 0x20},     {Kind::Patterns, 0x21},     {Kind::Patterns, 0x23}};

// Model code the librarian gives a model byte (0x22 and 0x24 are the same model family).
int modelCodeOf(uint8_t modelByte);

// One dump as the device sends it. Data bytes come from seed; programs and performances carry
// name (16 characters, blank-padded) at bytes 10..25, programs their category byte at 27.
struct DumpOptions {
    uint8_t type = 0xFF;   // 0xFF: the usual type for kind and index
    size_t size = 0;       // 0: the standard size
};
Bytes makeDump(Kind kind, uint8_t modelByte, int messageIndex, const std::string& name,
               uint8_t category, uint32_t seed, const DumpOptions& options = DumpOptions());

// The stored form the librarian must keep for a dump (header rewritten, name bytes cleaned,
// pattern name appended), worked out from the dump itself.
Bytes expectedStored(const Bytes& dump, Kind kind, int modelCode, int messageIndex);

// A bank of count entries: every message of every entry in slot order.
struct Bank {
    Kind kind = Kind::Programs;
    uint8_t modelByte = 0x20;
    std::vector<std::vector<Bytes>> entries; // entries[slot][messageIndex]
    std::vector<std::string> names;
    std::vector<uint8_t> categories;
};
Bank makeBank(Kind kind, uint8_t modelByte, int count, uint32_t seed = 1);

// Every message of a bank, in order.
std::vector<Bytes> messagesOf(const Bank& bank);

// File layouts.
Bytes rawFile(const std::vector<Bytes>& messages);
struct MidiOptions {
    uint32_t laterDelta = 500;       // ticks before every event but the first
    bool metaEventsBetween = false;  // a text meta event before every SysEx event
    bool extraTrack = false;         // a third track of notes after the SysEx track
    bool unknownChunk = false;       // an unknown chunk between header and tracks
    bool splitPackets = false;       // every message sent as two packets (F0 part, F7 rest)
    size_t firstPacket = 0;          // data bytes of the F0 part (0: half the message)
};
Bytes midiFile(const std::vector<Bytes>& messages, const MidiOptions& options = MidiOptions());

// Variable-length quantity, worked out from the top bit downwards.
Bytes varLen(uint32_t value);
uint32_t readBig32(const Bytes& data, size_t at);

// Corruptors, with what the librarian's reader makes of them:
// - junk between messages (stray zeros, near-miss headers, a note): skipped; the entries are
//   those of the clean file, every message keeping its slot and stored type.
Bytes withJunkBetween(const std::vector<Bytes>& messages, uint32_t seed);
// - the file cut short: the last message keeps what is left of it, closed with F7, when its
//   header survives; the earlier entries stay whole and nothing past the data is read.
Bytes truncatedLast(const Bytes& file, size_t cut);
// - one message without its F7: it ends at the next F0 and is dropped; its slot stays empty and
//   the following entries keep their slots.
Bytes withoutF7(const std::vector<Bytes>& messages, size_t which);
// - one header byte changed (field 2 maker byte, 3 second maker byte, 4 product, 5 model,
//   6 device, 7 type): that message is skipped and the next one takes its entry number.
Bytes nearMiss(const Bytes& dump, int field, uint8_t value);
// MidiOptions: meta events, an extra track and an unknown chunk are passed over; dumps split
// into packets are put back together whatever the delay between the packets and wherever the
// first packet ends, and one whose later packets are missing is dropped.

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

// The texts of a log file's lines, each without its time stamp.
std::vector<std::string> logTexts(const std::string& path);
// Whether one of lines starts with prefix.
bool hasLineStarting(const std::vector<std::string>& lines, const std::string& prefix);

// Lets writes in this process fail with "file too large" past limit bytes, while it lives.
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
uint32_t crc32(const uint8_t* data, size_t size);
inline uint32_t crc32(const Bytes& data) { return crc32(data.data(), data.size()); }

} // namespace bankgen
