// The program randomizer in process: the fitting rule on the ranges that matter, the entry table's
// shape per section and at the packed positions, and walks over the configured editor with and
// without section locks.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/ProgramRandomizer.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "kit/plugin/IParam.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

using namespace qorid;
namespace pr = ProgramRandomizer;

namespace
{

struct FitRow {
    double min, max;
    int v, expected;
};

TEST(ProgramRandomizer, FitsDrawnValuesAsTheRuleSays)
{
    const FitRow rows[] = {
        // 0..1: the parity.
        {0, 1, 0, 0},
        {0, 1, 1, 1},
        {0, 1, 2, 0},
        {0, 1, 7, 1},
        {0, 1, 254, 0},
        {0, 1, 255, 1},
        // 0..127: 0 and 1..127 themselves, 128..254 less 127, 255 gives 1.
        {0, 127, 0, 0},
        {0, 127, 1, 1},
        {0, 127, 127, 127},
        {0, 127, 128, 1},
        {0, 127, 200, 73},
        {0, 127, 254, 127},
        {0, 127, 255, 1},
        // -64..63: less 63 while above 127.
        {-64, 63, 127, 127},
        {-64, 63, 128, 65},
        {-64, 63, 255, 66},
        // 1..16: less 16 while above 15.
        {1, 16, 15, 15},
        {1, 16, 16, 0},
        {1, 16, 255, 15},
        // A maximum of 0 or below: the value modulo the span + 1.
        {-10, 0, 255, 2},
        {-10, -5, 255, 3},
        {-10, -5, 4, 4},
        {0, 0, 200, 0},
        // A span below 0 (a broken range) gives 0 rather than looping.
        {5, -3, 9, 0},
    };
    for (const FitRow& r : rows)
        EXPECT_EQ(pr::fit(r.v, r.min, r.max), r.expected) << r.min << ".." << r.max << " v " << r.v;
}

// What the set stores: the fitted value clamped into the range and put on the step.
double stored(double min, double max, int fitted)
{
    IParam p;
    p.InitInt("x", int(min), int(min), int(max));
    p.SetNormalized(p.GetNormalized(fitted));
    return p.Value();
}

TEST(ProgramRandomizer, SignedAndOffsetRangesNeverGetAValueOutsideThem)
{
    std::set<double> signedValues, offsetValues;
    for (int v = 0; v < 256; ++v) {
        const int s = pr::fit(v, -64, 63);
        EXPECT_GE(s, 0);
        EXPECT_LE(s, 127);
        signedValues.insert(stored(-64, 63, s));
        const int o = pr::fit(v, 1, 16);
        EXPECT_GE(o, 0);
        EXPECT_LE(o, 15);
        offsetValues.insert(stored(1, 16, o));
    }
    EXPECT_EQ(*signedValues.begin(), 0);
    EXPECT_EQ(*signedValues.rbegin(), 63);
    EXPECT_EQ(*offsetValues.begin(), 1);
    EXPECT_EQ(*offsetValues.rbegin(), 15);
}

TEST(ProgramRandomizer, EachSectionGuardsItsNumberOfPositions)
{
    const std::pair<int, int> sections[] = {
        {kSectionLockOsc1, 18},        {kSectionLockOsc2, 17},        {kSectionLockOsc3, 17},
        {kSectionLockMixer, 15},       {kSectionLockPitchMod, 0},     {kSectionLockVoice, 10},
        {kSectionLockFXCombFilter, 2}, {kSectionLockFilter, 16},      {kSectionLockEnv2, 27},
        {kSectionLockAmp, 0},          {kSectionLockEnv1, 9},         {kSectionLockFXDelay, 8},
        {kSectionLockFXReverb, 6},     {kSectionLockArp, 19},         {kSectionLockEnv3, 27},
        {kSectionLockLFO1, 32},        {kSectionLockLFO2, 32},        {kSectionLockFXChorus, 6},
        {kSectionLockFXPanning, 6},    {kSectionLockFXDistortion, 2}, {kSectionLockFXEQ, 2},
        {kSectionLockVocoder, 5}};
    std::map<int, int> counted;
    std::set<int> ids;
    int total = 0;
    for (int k = 0; k <= pr::kLastPosition; ++k) {
        const pr::Entry& e = pr::entryAt(k);
        if (e.id < 0) continue;
        ++counted[e.lock], ++total;
        EXPECT_TRUE(ids.insert(e.id).second) << "parameter " << e.id << " twice";
        EXPECT_EQ(e.baseOnly, e.lock == kSectionLockVocoder) << "position " << k;
    }
    EXPECT_EQ(counted.size(), 20u);
    for (const auto& [lock, n] : sections) EXPECT_EQ(counted[lock], n) << "lock " << lock;
    EXPECT_EQ(total, 276);
}

TEST(ProgramRandomizer, PackedFieldsAndTheExceptionSitWhereTheTableSays)
{
    const std::pair<int, int> positions[] = {
        {218, kArpOutputRanging},
        {295, kArpConstantPitch},
        {296, kVocoderSibilanceType},
        {297, kDCOVCOMode},
        {298, kFilterWidth},
        {246, kConstantGate},
        {302, kPolyMode},
        {303, kOscMode},
        {247, kUnisonSwitch},
        {304, kUnisonMode},
        {305, kProgramPolyphony},
        {253, kArpNoteOrdering},
        {306, kArpFillIn},
        {284, kFXPanWithFX},
        {307, kFXChorusType},
        {278, kFXReverbRoom},
        {308, kFXReverbEarlyRef},
        {262, kVocoderWidth},
        {309, kArpGateMenu},
        {258, kArpSendNotesTo},
        {310, kVocoderInput},
        {311, kArpMuteStatus},
        {255, kVocoderSibilanceLevel},
        {312, kArpOctaveRange},
        {244, kEnvelope3Triggering},
        {25, kVocoderBalance},
        {31, kOscillator1Waveform},
        {292, kFXDelaySync},
        {270, kMultiPartPanning},
    };
    for (const auto& [k, id] : positions) EXPECT_EQ(pr::entryAt(k).id, id) << "position " << k;
    EXPECT_EQ(pr::entryAt(244).lock, kSectionLockEnv1);
    for (int k : {0, 24, 26, 27, 28, 29, 30, 78, 112, 293, 294, 299, 300, 301, 313, -1})
        EXPECT_EQ(pr::entryAt(k).id, -1) << "position " << k;
}

// ---- walks over the configured editor ----

class RandomizerWalk : public testing::Test
{
protected:
    void SetUp() override
    {
        m = e.plug->midiManager;
        ASSERT_NE(m, nullptr);
        m->randomSeedClock = [this] { return second; };
        start = values();
    }
    std::vector<double> values() const
    {
        std::vector<double> v;
        for (int i = 0; i < e.plug->NParams(); ++i) v.push_back(e.plug->GetParam(i)->Value());
        return v;
    }
    void restore()
    {
        for (int i = 0; i < e.plug->NParams(); ++i) e.plug->GetParam(i)->Set(start[size_t(i)]);
    }
    std::vector<double> walk(int part)
    {
        m->randomGenerator();
        m->randomizePatchSettings(part);
        return values();
    }
    std::set<int> changed(const std::vector<double>& after) const
    {
        std::set<int> ids;
        for (size_t i = 0; i < after.size(); ++i)
            if (after[i] != start[i]) ids.insert(int(i));
        return ids;
    }
    void lock(int section, int part, double value = 1.0) { e.plug->GetParam(section + part)->Set(value); }

    editortest::Editor e;
    MIDIMessageManager* m = nullptr;
    std::time_t second = 1700000000;
    std::vector<double> start;
};

TEST_F(RandomizerWalk, DrawsTheFirst393EntriesOnlyAndTheSameSecondDrawsTheSame)
{
    const auto first = walk(2);
    const auto& table = e.plug->randomTable;
    ASSERT_EQ(table.size(), 545u);
    for (size_t i = 0; i < table.size(); ++i) {
        if (i < 393) {
            EXPECT_GE(table[i], 0);
            EXPECT_LE(table[i], 255);
        } else {
            EXPECT_EQ(table[i], 0) << i;
        }
    }
    EXPECT_GT(changed(first).size(), 100u);
    restore();
    EXPECT_EQ(walk(2), first);
    restore();
    second += 1;
    EXPECT_NE(walk(2), first);
}

TEST_F(RandomizerWalk, ChangesOnlyTheTablesParametersOfThePartWithinTheirRanges)
{
    std::set<int> tableIds;
    for (int k = 0; k <= pr::kLastPosition; ++k)
        if (pr::entryAt(k).id >= 0) tableIds.insert(pr::idFor(pr::entryAt(k), 5));
    for (int id : changed(walk(5))) {
        EXPECT_TRUE(tableIds.count(id)) << "parameter " << id << " is not the table's";
        const IParam* p = e.plug->GetParam(id);
        EXPECT_GE(p->Value(), p->GetMin()) << id;
        EXPECT_LE(p->Value(), p->GetMax()) << id;
    }
    EXPECT_EQ(e.plug->GetParam(kEnvelopeTriggering + 5)->Value(), start[size_t(kEnvelopeTriggering + 5)]);
}

TEST_F(RandomizerWalk, AllTwentyConsultedSectionsLockedKeepEveryValue)
{
    for (int s = kSectionLockOsc1; s <= kSectionLockVocoder; s += kPartCount)
        if (s != kSectionLockPitchMod && s != kSectionLockAmp) lock(s, 4);
    start = values();
    EXPECT_TRUE(changed(walk(4)).empty());

    // Only exactly 1 locks: the first oscillator opens again at 2.
    lock(kSectionLockOsc1, 4, 2.0);
    start = values();
    const auto opened = changed(walk(4));
    EXPECT_FALSE(opened.empty());
    std::set<int> osc1;
    for (int k = 0; k <= pr::kLastPosition; ++k)
        if (pr::entryAt(k).lock == kSectionLockOsc1) osc1.insert(pr::idFor(pr::entryAt(k), 4));
    for (int id : opened) EXPECT_TRUE(osc1.count(id)) << id;
}

TEST_F(RandomizerWalk, PitchModAndAmpLocksChangeNothing)
{
    const auto open = walk(1);
    restore();
    lock(kSectionLockPitchMod, 1);
    lock(kSectionLockAmp, 1);
    auto locked = walk(1);
    locked[size_t(kSectionLockPitchMod + 1)] = open[size_t(kSectionLockPitchMod + 1)];
    locked[size_t(kSectionLockAmp + 1)] = open[size_t(kSectionLockAmp + 1)];
    EXPECT_EQ(locked, open);
}

TEST_F(RandomizerWalk, VocoderPositionsSetTheBaseIdsUnderTheRandomizedPartsLock)
{
    const int vocoder[] = {kVocoderBalance, kVocoderSibilanceLevel, kVocoderWidth, kVocoderSibilanceType,
                           kVocoderInput};
    // Every drawn entry 5: each vocoder setting (all from 0) leaves 0.
    for (int id : vocoder) e.plug->GetParam(id)->Set(0);
    start = values();
    lock(kSectionLockVocoder, 0);
    m->randomSeedClock = nullptr;
    auto& table = e.plug->randomTable;
    std::fill(table.begin(), table.begin() + pr::kDrawnEntries, 5);
    m->randomizePatchSettings(3);
    for (int id : vocoder) {
        EXPECT_NE(e.plug->GetParam(id)->Value(), 0.0) << id;
        EXPECT_EQ(e.plug->GetParam(id + 3)->Value(), start[size_t(id + 3)]) << id;
    }
    for (int id : vocoder) e.plug->GetParam(id)->Set(0);
    lock(kSectionLockVocoder, 3);
    m->randomizePatchSettings(3);
    for (int id : vocoder) EXPECT_EQ(e.plug->GetParam(id)->Value(), 0.0) << id;
}

} // namespace
