// The program dump's writer and parser on plain values: where the bytes land, how the packed and
// coded bytes come back, what the locks keep, and what no value can make the writer send.
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/QORParams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace qorid;
namespace pd = ProgramDump;

namespace
{

using Values = std::map<int, double>;
using Bytes = std::vector<uint8_t>;

Bytes written(const Values& values, int part = 0, const std::string& name = "", uint8_t model = 0x20)
{
    Bytes out(pd::kSize);
    pd::write(
        [&](int id) {
            auto it = values.find(id);
            return it == values.end() ? 0.0 : it->second;
        },
        part, model, name, out.data());
    return out;
}

// Every set the parser makes, in order; the later of two sets of one id wins in the map.
struct Read {
    std::vector<std::pair<int, double>> sets;
    Values last;
};
Read read(const Bytes& dump, const Values& locks = {})
{
    const int part = dump[pd::kPartAt];
    const pd::Locks l(
        [&](int id) {
            auto it = locks.find(id);
            return it == locks.end() ? 0.0 : it->second;
        },
        part);
    Read r;
    pd::readParameters(dump.data(), part, l, [&](int id, double v) {
        r.sets.emplace_back(id, v);
        r.last[id] = v;
    });
    return r;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A dump of all zeros with one byte changed, for the parser.
Bytes withByte(size_t at, uint8_t byte, int part = 0)
{
    Bytes d = written({}, part);
    d[at] = byte;
    return d;
}

} // namespace

TEST(ProgramDump, PartThreeIsFramedWithItsNamePaddedAndTheReservedBytes)
{
    const Bytes d = written({{kGlobalMidiChannel, 15}}, 3, "Bass", 0x21);
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 9), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x00, 0x03}));
    EXPECT_EQ(std::string(d.begin() + 9, d.begin() + 25), "Bass            ");
    EXPECT_EQ(d[29], 0x30);
    EXPECT_EQ(d[78], 0x7F);
    EXPECT_EQ(d[112], 0x7F);
    EXPECT_EQ(d[295], 0xF7);
    EXPECT_TRUE(pd::isProgramDump(d.data(), d.size()));
}

TEST(ProgramDump, NamesAreCutPaddedAndCleanedOfBytesTheWireRefuses)
{
    const struct {
        const char* name;
        std::string text;
        std::string sent;
    } cases[] = {
        {"20 characters", "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOP"},
        {"a tab", "Pad\tOne", "Pad One         "},
        {"empty", "", "                "},
        {"UTF-8", "B\xC3\xB6se", "B  se           "},
    };
    for (const auto& c : cases) {
        const Bytes d = written({}, 0, c.text);
        EXPECT_EQ(std::string(d.begin() + 9, d.begin() + 25), c.sent) << c.name;
    }
}

TEST(ProgramDump, CodedBytesAreWrittenAndReadBackAsTheLayoutSays)
{
    // Octave: offset 30 both ways; a received 0 is -30, left for the parameter's range to hold.
    EXPECT_EQ(written({{kOscillator1Octave + 2, 2}}, 2)[32], 32);
    EXPECT_EQ(read(withByte(32, 32)).last[kOscillator1Octave], 2);
    EXPECT_EQ(read(withByte(32, 0, 4)).last[kOscillator1Octave + 4], -30);

    // The vocoder is one setting: part 5 writes and reads it at the base id.
    EXPECT_EQ(written({{kVocoderWidth, 9}, {kVocoderWidth + 5, 30}}, 5)[262], 9 * 4);
    const Read vocoder = read(withByte(262, 4 * 17 + 2, 5));
    EXPECT_EQ(vocoder.last.at(kVocoderWidth), 17);
    EXPECT_EQ(vocoder.last.count(kVocoderWidth + 5), 0u);
    EXPECT_EQ(vocoder.last.at(kArpGateMenu + 5), 2);

    // Polyphony rides in bits 0-1 as value + 1, over the fixed bit 6.
    EXPECT_EQ(written({{kProgramPolyphony, 1}})[247], 0x42);
    EXPECT_EQ(written({{kProgramPolyphony, 0}, {kUnisonSwitch, 1}, {kUnisonMode, 1}})[247], 0x65);
    EXPECT_EQ(read(withByte(247, 0x41)).last[kProgramPolyphony], 0);
    EXPECT_EQ(read(withByte(247, 0x42)).last[kProgramPolyphony], 1);

    // Byte 253: below the codes only the fill-in is set.
    Read r127 = read(withByte(253, 127));
    EXPECT_EQ(r127.last[kArpNoteOrdering], 2);
    EXPECT_EQ(r127.last[kArpFillIn], 1);
    Read r100 = read(withByte(253, 100));
    EXPECT_EQ(r100.last.count(kArpNoteOrdering), 0u);
    EXPECT_EQ(r100.last[kArpFillIn], 100);
    EXPECT_EQ(written({{kArpNoteOrdering, 1}, {kArpFillIn, 1}})[253], 125);

    // The arpeggiator mute: bit 0 is the mute status on both sides.
    EXPECT_EQ(written({{kArpMuteStatus, 1}})[258] & 1, 1);
    EXPECT_EQ(read(withByte(258, 1)).last[kArpMuteStatus], 1);
}

TEST(ProgramDump, EnvelopeTriggeringSetsAllThreeSwitchesThenClearsThoseItsCodeLeavesOff)
{
    const struct {
        uint8_t byte;
        double triggering;
        std::vector<double> switches;
    } cases[] = {{34 + 5, 5, {1, 0, 1}}, {34, 0, {0, 0, 0}}, {34 + 7, 7, {1, 1, 1}}, {20, -14, {1, 1, 1}}};
    for (const auto& c : cases) {
        Read r = read(withByte(244, c.byte, 1), {{kSectionLockVoice + 1, 1}});
        EXPECT_EQ(r.last[kEnvelopeTriggering + 1], c.triggering) << int(c.byte);
        std::vector<double> got, firstSets;
        for (int id : pd::kEnvelopeSwitchIds) got.push_back(r.last[id + 1]);
        EXPECT_EQ(got, c.switches) << int(c.byte);
        for (const auto& [id, v] : r.sets)
            if (id == kEnvelope1Triggering + 1 && firstSets.empty()) firstSets.push_back(v);
        EXPECT_EQ(firstSets, std::vector<double>{1}) << "all three are set to 1 first";
    }
}

TEST(ProgramDump, LockedSectionsKeepTheirFieldsWhilePackedNeighboursAreStillRead)
{
    const Bytes d = written({{kFilterWidth, 5}, {kDCOVCOMode, 1}, {kFilterCutoff, 90}, {kArpOutputRanging, 1}});
    const Read filterLocked = read(d, {{kSectionLockFilter, 1}});
    for (int id : {kFilterWidth, kFilterCutoff, kFilterType, kFilterResoATLFO2amnt, kFilterQNormAmount})
        EXPECT_EQ(filterLocked.last.count(id), 0u) << id;
    EXPECT_EQ(filterLocked.last.at(kDCOVCOMode), 1);
    EXPECT_EQ(filterLocked.last.at(kArpOutputRanging), 1);
    EXPECT_EQ(filterLocked.last.at(kEnv2filterFreqAmnt), 0) << "an envelope's amount has the envelope's lock";
    EXPECT_EQ(read(d, {{kSectionLockFilter, 0.5}}).last.at(kFilterWidth), 5) << "locked only at exactly 1";

    Values all;
    for (int lock = kSectionLockOsc1; lock <= kSectionLockVocoder; lock += 8) all[lock] = 1;
    std::map<int, double> left;
    for (const auto& [id, v] : read(d, all).sets) left[id] = v;
    std::vector<int> ids;
    for (const auto& [id, v] : left) ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<int>{kEnvelopeTriggering, kFXRoutingConfig, kFXCMorph, kFXPassToFXConfig,
                                     kFXPassToFXAudio, kCategoryName, kUnusedParam01, kUnusedParam02, kUnusedParam03,
                                     kEnvelope1Triggering, kEnvelope2Triggering, kEnvelope3Triggering}));
}

TEST(ProgramDump, OnlyAWholeDumpOfAPartIsAccepted)
{
    const Bytes d = written({}, 7);
    const struct {
        const char* name;
        Bytes bytes;
        bool accepted;
    } cases[] = {
        {"part 7", d, true},
        {"part 8", withByte(pd::kPartAt, 8), false},
        {"295 bytes", Bytes(d.begin(), d.end() - 1), false},
        {"300 bytes", Bytes(d.begin(), d.end()) + Bytes(4, 0x55), true},
        {"stored program", withByte(7, 0x02), false},
        {"another maker", withByte(2, 0x21), false},
        {"model 21", withByte(5, 0x21), true},
        {"device 3", withByte(6, 3), true},
    };
    for (const auto& c : cases) EXPECT_EQ(pd::isProgramDump(c.bytes.data(), c.bytes.size()), c.accepted) << c.name;
}

TEST(ProgramDump, NoValueMakesTheWriterSendAByteAbove7F)
{
    for (double v : {-1e12, -200.0, -1.0, 300.0, 1e12, std::nan("")}) {
        Values values{{kGlobalMidiChannel, v}};
        for (const pd::Field& f : pd::fields()) values[pd::idFor(f, 6)] = v;
        const Bytes d = written(values, 6);
        for (size_t i = 1; i + 1 < d.size(); ++i) ASSERT_LT(d[i], 0x80) << "byte " << i << " for " << v;
    }
    // Packed fields are held to their own ranges, not spilled into their neighbours.
    EXPECT_EQ(written({{kArpNoteOrdering, 9}, {kArpFillIn, 0}})[253], 122 + 4);
    EXPECT_EQ(written({{kFXPassToFXConfig, 5}})[284], 32 + 64);
}

TEST(ProgramDump, TapPatternCodeRoundTripsAndDropsWhatItCannotHold)
{
    int8_t zeros[pd::kTapSteps] = {};
    uint8_t code[pd::kTapCodeSize];
    std::memset(code, 0xAA, sizeof code);
    pd::encodeTapPattern(zeros, code);
    EXPECT_EQ(Bytes(code, code + 11), Bytes(11, 0));

    int8_t steps[pd::kTapSteps], back[pd::kTapSteps];
    for (size_t i = 0; i < 30; ++i) steps[i] = int8_t(i % 2 ? (i * 7) % 3 : (i * 5) % 8);
    steps[30] = 6, steps[31] = 2, steps[32] = 16;
    pd::encodeTapPattern(steps, code);
    for (uint8_t b : code) EXPECT_LT(b, 0x80);
    pd::decodeTapPattern(code, back);
    EXPECT_EQ(Bytes(back, back + 33), Bytes(steps, steps + 33));

    steps[31] = 3;
    pd::encodeTapPattern(steps, code);
    pd::decodeTapPattern(code, back);
    EXPECT_EQ(back[31], 0);
    EXPECT_EQ(back[30], 6);
}
