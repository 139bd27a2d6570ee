#pragma once
// The performance dump (type 05, 381 bytes) and its follow-up message (type 1B, 25 bytes): which
// positions carry which parameters, the sustain codes and the packed bytes. Plain functions on
// values and bytes, so that the performance send and the parsers share one layout.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace PerformanceDump
{

// The value of a parameter by id, as the sender reads it.
using ValueOf = std::function<double(int id)>;
// Sets a parameter by id to a plain value, as the parsers walk the positions.
using SetValue = std::function<void(int id, double value)>;

constexpr int kParts = 8;
constexpr size_t kNameAt = 8;
constexpr size_t kFlagsAt = 24;
constexpr size_t kTempoAt = 25;
constexpr size_t kSelectedPartAt = 26;
constexpr size_t kPartStatusAt = 27;
constexpr size_t kFirstBlockAt = 28;
constexpr size_t kBlockSize = 44;

// The part's sustain setting: the synthesizer's code of an index 0..13 (0 for any other index),
// and the index of a code (0 for a code outside the table).
int sustainCode(int index);
int BreakSustainValues(int code);

// The fields of a byte, most significant first, each the remainder divided by the next power of
// two (then the remainder itself), so a byte outside 0..127 gives fields outside their bits.
// Divisors 64, 32, 16, 8, 4, 2: seven fields, one per bit.
std::vector<int> sevenFields(int byte);
// Divisors 64, 32, 16, 8, 4: six fields, bits 0 and 1 together.
std::vector<int> sixFields(int byte);
// Divisors 32, 16, 8, 4: five fields, bits 5-6 and bits 0-1 together.
std::vector<int> fiveFields(int byte);

// A part's settings byte (offset +10) and effect routing byte (offset +33, 32 included), from
// plain values; each field is held to the bits it owns.
uint8_t partSettingsByte(int polyphony, int programChange, int controlChange, int arpSwitch, int expression,
                         int effectsUsed);
uint8_t effectRoutingByte(int chorusType, int passToFXAudio, int panWithFX, int passToFXConfig);
// The same two bytes and the sustain code of part 0..7, from its parameters.
uint8_t partSettingsOf(const ValueOf& value, int part);
uint8_t effectRoutingOf(const ValueOf& value, int part);
int sustainCodeOf(const ValueOf& value, int part);

// The 16 name bytes as they stand, ending at the first zero byte.
std::string readName(const uint8_t* dump);

// Both messages, F0 to F7, from the parameters; model is the outgoing model byte and name the
// performance name, written as a program's name is. out holds SysexFamily::kPerformanceDumpSize or kFollowUpSize bytes.
void writeDump(const ValueOf& value, uint8_t model, const std::string& name, uint8_t* out);
void writeFollowUp(const ValueOf& value, uint8_t model, uint8_t* out);

// Whether bytes are a whole message of the kind: the length, maker bytes 1 and 2, the type.
bool isDump(const uint8_t* bytes, size_t size);
bool isFollowUp(const uint8_t* bytes, size_t size);

struct ReadOptions {
    // The eight output parameters keep their values.
    bool outputsLocked = false;
    // Part k takes channel k instead of its byte (a library performance on its way out).
    bool partIndexChannels = false;
    // The six vocoder positions of the follow-up are skipped.
    bool vocoderLocked = false;
};
// Walk an accepted message's positions 24 to 379 (8 to 15), in order, calling set for each
// parameter. False, with nothing set, for any other message. The name is not set here.
bool readDump(const uint8_t* bytes, size_t size, const SetValue& set, const ReadOptions& options);
bool readFollowUp(const uint8_t* bytes, size_t size, const SetValue& set, const ReadOptions& options);

} // namespace PerformanceDump
