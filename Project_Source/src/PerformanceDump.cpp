#include "PerformanceDump.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ProgramDump.h"
#include "QORParams.h"
#include "SysexFamily.h"

namespace PerformanceDump
{
namespace
{

using namespace qorid;
namespace sx = SysexFamily;

using sx::dataByte;

// A packed switch holds 0 or 1.
int bit(int v)
{
    return std::clamp(v, 0, 1);
}
// The part's status and arpeggiator switch travel inverted: the bit is set for value 0.
int inverted(int v)
{
    return v == 0 ? 1 : 0;
}

constexpr int kSustainCodes[] = {77, 78, 79, 126, 80, 81, 82, 127, 4, 5, 6, 7, 8, 83};

// What one byte of a part block carries.
enum class Kind : uint8_t {
    Plain,    // id: byte = value + add
    Channel,  // id: the value as it is; the part index for a library performance
    Output,   // id: value + add, kept while the outputs are locked
    Sustain,  // id: the sustain code
    Settings, // the part settings bits
    Reverb,   // early reflections in bits 0-2, room in bits 3-6
    Routing,  // the effect routing bits, 32 added
};
struct Field {
    Kind kind;
    int id; // base id; part k at id + k
    int add;
};
// The 44 bytes of a part block, by offset.
constexpr Field kBlock[] = {
    {Kind::Plain, kMultiPartPatch, 0},
    {Kind::Plain, kMultiPartBank, 5},
    {Kind::Channel, kMultiPartMIDICh, 0},
    {Kind::Output, kMultiPartOutput, 98},
    {Kind::Sustain, kMultiPartSustain, 0},
    {Kind::Plain, kMultiPartTranspose, 40},
    {Kind::Plain, kMultiPartDetune, 0},
    {Kind::Plain, kMultiPartVeloCurve, 80},
    {Kind::Plain, kMultiPartKeyLow, 0},
    {Kind::Plain, kMultiPartKeyHigh, 0},
    {Kind::Settings, 0, 0},
    {Kind::Plain, kMultiPartLevel, 0},
    {Kind::Plain, kFXMultiDistortionOverdrive, 0},
    {Kind::Plain, kFXMultiDistortionOverdriveMW, 0},
    {Kind::Plain, kFXMultiEQBass, 0},
    {Kind::Plain, kFXMultiEQTreble, 0},
    {Kind::Plain, kFXMultiCombFilterFrequency, 0},
    {Kind::Plain, kFXMultiCombFilterBoost, 0},
    {Kind::Plain, kFXMultiPanDryLevel, 0},
    {Kind::Plain, kFXMultiPanPosition, 0},
    {Kind::Plain, kFXMultiPanSpeed, 0},
    {Kind::Plain, kFXMultiPanDepth, 0},
    {Kind::Plain, kFXMultiPanType, 55},
    {Kind::Plain, kFXMultiReverbSend, 0},
    {Kind::Plain, kFXMultiReverbMWheel, 0},
    {Kind::Plain, kFXMultiReverbDecay, 0},
    {Kind::Plain, kFXMultiReverbHFDamp, 0},
    {Kind::Reverb, 0, 0},
    {Kind::Plain, kFXMultiChorusSend, 0},
    {Kind::Plain, kFXMultiChorusMWheel, 0},
    {Kind::Plain, kFXMultiChorusSpeed1, 0},
    {Kind::Plain, kFXMultiChorusModDepth, 0},
    {Kind::Plain, kFXMultiChorusFeedback, 0},
    {Kind::Routing, 0, 32},
    {Kind::Plain, kFXMultiDelaySend, 0},
    {Kind::Plain, kFXMultiDelayMWheel, 0},
    {Kind::Plain, kFXMultiDelayTime, 0},
    {Kind::Plain, kFXMultiDelayFeedback, 0},
    {Kind::Plain, kFXMultiDelayHFDamp, 0},
    {Kind::Plain, kFXMultiDelayRatio, 96},
    {Kind::Plain, kFXMultiDelayStereoWidth, 0},
    {Kind::Plain, kFXMultiDelaySync, 0},
    {Kind::Plain, kFXMultiRoutingConfig, 0},
    {Kind::Plain, kFXMultiCMorph, 0},
};
static_assert(std::size(kBlock) == kBlockSize, "one field a byte of the part block");
static_assert(kFirstBlockAt + kParts * kBlockSize + 1 == sx::kPerformanceDumpSize, "eight blocks, then F7");

// The follow-up's positions 8 to 15; the vocoder settings use their part-1 id.
struct FollowUpField {
    int id;
    int add;
    bool vocoder;
};
constexpr FollowUpField kFollowUp[] = {
    {kMultiSmallCase08, 0, false}, {kVocoderInput, 18, true},         {kVocoderInsert, 28, true},
    {kVocoderWidth, 111, true},    {kVocoderBalance, 0, true},        {kMultiSmallCase13, 0, false},
    {kVocoderSibilanceLevel, 96, true}, {kVocoderSibilanceType, 0, true},
};
constexpr size_t kFollowUpAt = 8;

// Each field the remainder divided by the next divisor, from first halving down to last, and
// the remainder last.
std::vector<int> fields(int value, int first, int last)
{
    std::vector<int> out;
    int rest = value;
    for (int d = first; d >= last; d /= 2) {
        out.push_back(rest / d);
        rest -= out.back() * d;
    }
    out.push_back(rest);
    return out;
}

bool isMessage(const uint8_t* bytes, size_t size, size_t wanted, uint8_t type)
{
    return bytes && size == wanted && bytes[1] == sx::kMakerId[0] && bytes[2] == sx::kMakerId[1] &&
           bytes[sx::kTypeAt] == type;
}

void writeBlock(const ValueOf& value, int k, uint8_t* block)
{
    auto v = [&](int id) { return sx::wholeValue(value(id + k)); };
    for (size_t at = 0; at < kBlockSize; ++at) {
        const Field& f = kBlock[at];
        switch (f.kind) {
        case Kind::Plain:
        case Kind::Channel:
        case Kind::Output: block[at] = dataByte(v(f.id) + f.add); break;
        case Kind::Sustain: block[at] = uint8_t(sustainCodeOf(value, k)); break;
        case Kind::Settings: block[at] = partSettingsOf(value, k); break;
        case Kind::Reverb:
            block[at] = uint8_t(std::clamp(v(kFXMultiReverbEarlyRef), 0, 7) + 8 * std::clamp(v(kFXMultiReverbRoom), 0, 15));
            break;
        case Kind::Routing: block[at] = effectRoutingOf(value, k); break;
        }
    }
}

void readBlock(const uint8_t* block, int k, const SetValue& set, const ReadOptions& options)
{
    for (size_t at = 0; at < kBlockSize; ++at) {
        const Field& f = kBlock[at];
        const int b = block[at];
        switch (f.kind) {
        case Kind::Plain: set(f.id + k, b - f.add); break;
        case Kind::Channel: set(f.id + k, options.partIndexChannels ? k : b); break;
        case Kind::Output:
            if (!options.outputsLocked) set(f.id + k, b - f.add);
            break;
        case Kind::Sustain: set(f.id + k, BreakSustainValues(b)); break;
        case Kind::Settings: {
            const std::vector<int> s = sixFields(b);
            set(kMultiPartPolyphony + k, s[5]);
            set(kMultiPartProgramChange + k, s[4]);
            set(kMultiPartControlChange + k, s[3]);
            set(kMultiArpSwitch + k, 1 - s[2]);
            set(kMultiPartExpressionPdl + k, s[1]);
            set(kMultiPartEffectsUsed + k, s[0]);
            break;
        }
        case Kind::Reverb:
            set(kFXMultiReverbRoom + k, b / 8);
            set(kFXMultiReverbEarlyRef + k, b % 8);
            break;
        case Kind::Routing: {
            // Below 32 the fields come out negative, and the parameters' ranges hold them.
            const std::vector<int> r = fiveFields(b - f.add);
            set(kFXMultiPassToFXConfig + k, r[0]);
            set(kFXMultiPanWithFX + k, r[1]);
            set(kFXMultiPassToFXAudio + k, r[3]);
            set(kFXMultiChorusType + k, r[4]);
            break;
        }
        }
    }
}

} // namespace

int sustainCode(int index)
{
    return index >= 0 && index < int(std::size(kSustainCodes)) ? kSustainCodes[index] : 0;
}

int BreakSustainValues(int code)
{
    const int* end = std::end(kSustainCodes);
    const int* at = std::find(std::begin(kSustainCodes), end, code);
    return at == end ? 0 : int(at - std::begin(kSustainCodes));
}

std::vector<int> sevenFields(int byte)
{
    return fields(byte, 64, 2);
}

std::vector<int> sixFields(int byte)
{
    return fields(byte, 64, 4);
}

std::vector<int> fiveFields(int byte)
{
    return fields(byte, 32, 4);
}

uint8_t partSettingsByte(int polyphony, int programChange, int controlChange, int arpSwitch, int expression,
                         int effectsUsed)
{
    return uint8_t(std::clamp(polyphony, 0, 3) + 4 * bit(programChange) + 8 * bit(controlChange) +
                   16 * inverted(arpSwitch) + 32 * bit(expression) + 64 * bit(effectsUsed));
}

uint8_t effectRoutingByte(int chorusType, int passToFXAudio, int panWithFX, int passToFXConfig)
{
    return uint8_t(32 + std::clamp(chorusType, 0, 3) + 4 * bit(passToFXAudio) + 16 * bit(panWithFX) +
                   32 * std::clamp(passToFXConfig, 0, 2));
}

uint8_t partSettingsOf(const ValueOf& value, int part)
{
    auto v = [&](int id) { return sx::wholeValue(value(id + part)); };
    return partSettingsByte(v(kMultiPartPolyphony), v(kMultiPartProgramChange), v(kMultiPartControlChange),
                            v(kMultiArpSwitch), v(kMultiPartExpressionPdl), v(kMultiPartEffectsUsed));
}

uint8_t effectRoutingOf(const ValueOf& value, int part)
{
    auto v = [&](int id) { return sx::wholeValue(value(id + part)); };
    return effectRoutingByte(v(kFXMultiChorusType), v(kFXMultiPassToFXAudio), v(kFXMultiPanWithFX),
                             v(kFXMultiPassToFXConfig));
}

int sustainCodeOf(const ValueOf& value, int part)
{
    return sustainCode(sx::wholeValue(value(kMultiPartSustain + part)));
}

std::string readName(const uint8_t* dump)
{
    const char* name = reinterpret_cast<const char*>(dump + kNameAt);
    return std::string(name, strnlen(name, sx::kNameLength));
}

void writeDump(const ValueOf& value, uint8_t model, const std::string& name, uint8_t* out)
{
    auto v = [&](int id) { return sx::wholeValue(value(id)); };
    sx::frameDump(out, sx::kPerformanceDumpSize, model, dataByte(v(kGlobalMidiChannel)), sx::kTypePerformanceDump);
    const auto text = ProgramDump::nameBytes(name);
    std::memcpy(out + kNameAt, text.data(), text.size());
    out[kFlagsAt] = uint8_t(std::clamp(v(kMultiLargeCase24Param1), 0, 3) + 4 * bit(v(kMultiLargeCase24Param3)) +
                            8 * bit(v(kMultiLargeCase24Param4)) + 16 * bit(v(kMultiLargeCase24Param5)) +
                            32 * bit(v(kMultiLargeCase24Param6)) + 64 * inverted(v(kMultiPartStatus + 7)));
    out[kTempoAt] = dataByte(v(kGlobalTempo));
    out[kSelectedPartAt] = dataByte(v(kQuickTab));
    int status = 0;
    for (int j = 0; j < kParts - 1; ++j) status += inverted(v(kMultiPartStatus + j)) << j;
    out[kPartStatusAt] = uint8_t(status);
    for (int k = 0; k < kParts; ++k) writeBlock(value, k, out + kFirstBlockAt + kBlockSize * size_t(k));
}

void writeFollowUp(const ValueOf& value, uint8_t model, uint8_t* out)
{
    auto v = [&](int id) { return sx::wholeValue(value(id)); };
    sx::frameDump(out, sx::kFollowUpSize, model, dataByte(v(kGlobalMidiChannel)), sx::kTypePerformanceFollowUp);
    for (size_t i = 0; i < std::size(kFollowUp); ++i) out[kFollowUpAt + i] = dataByte(v(kFollowUp[i].id) + kFollowUp[i].add);
}

bool isDump(const uint8_t* bytes, size_t size)
{
    return isMessage(bytes, size, sx::kPerformanceDumpSize, sx::kTypePerformanceDump);
}

bool isFollowUp(const uint8_t* bytes, size_t size)
{
    return isMessage(bytes, size, sx::kFollowUpSize, sx::kTypePerformanceFollowUp);
}

bool readDump(const uint8_t* bytes, size_t size, const SetValue& set, const ReadOptions& options)
{
    if (!isDump(bytes, size)) return false;
    const std::vector<int> flags = sixFields(bytes[kFlagsAt]);
    set(kMultiLargeCase24Param1, flags[5]);
    set(kMultiLargeCase24Param3, flags[4]);
    set(kMultiLargeCase24Param4, flags[3]);
    set(kMultiLargeCase24Param5, flags[2]);
    set(kMultiLargeCase24Param6, flags[1]);
    set(kMultiPartStatus + 7, 1 - flags[0]);
    set(kGlobalTempo, bytes[kTempoAt]);
    set(kQuickTab, bytes[kSelectedPartAt]);
    const std::vector<int> status = sevenFields(bytes[kPartStatusAt]); // status[6 - j] is bit j
    for (int j = 0; j < kParts - 1; ++j) set(kMultiPartStatus + j, 1 - status[size_t(6 - j)]);
    for (int k = 0; k < kParts; ++k) readBlock(bytes + kFirstBlockAt + kBlockSize * size_t(k), k, set, options);
    return true;
}

bool readFollowUp(const uint8_t* bytes, size_t size, const SetValue& set, const ReadOptions& options)
{
    if (!isFollowUp(bytes, size)) return false;
    for (size_t i = 0; i < std::size(kFollowUp); ++i) {
        const FollowUpField& f = kFollowUp[i];
        if (f.vocoder && options.vocoderLocked) continue;
        set(f.id, bytes[kFollowUpAt + i] - f.add);
    }
    return true;
}

} // namespace PerformanceDump
