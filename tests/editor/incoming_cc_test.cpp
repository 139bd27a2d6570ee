// Incoming control changes and data entries into the configured editor's controls: the NRPN
// decoding with its rewrite of the number, the lookups, the derived parameters of values from
// the synthesizer, the shared-effect replacement, the bank select and the echo gate.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace qorid;

namespace
{

// A control that keeps every value set from outside, bound to a parameter for its range.
class Probe : public IControl
{
public:
    explicit Probe(int paramIdx) : IControl(nullptr, IRECT(), paramIdx) {}
    bool Draw(IGraphics*) override { return true; }
    void SetValueFromHardware(double value) override { values.push_back(value); }
    std::vector<double> values;
};

struct Fixture {
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::RecordingQOR> plug = testsupport::makeFromBundle<testsupport::RecordingQOR>(dir.path);
    QOR& q = *plug;
    MIDIMessageManager& m = *q.midiManager;
    UIConfigManager& ui = *q.uiConfigManager;

    double value(int id) { return q.GetParam(id)->Value(); }
    void set(int id, double v) { q.GetParam(id)->Set(v); }
    void nrpn(int msb, int lsb) { m.nrpnMsb = msb, m.nrpnLsb = lsb; }
    void fileNrpn(IControl* c, int k1, int k2, int k3, int k4, int k5)
    {
        controlmaps::file(ui.nrpnControls.controls, c, k1, k2, k3, k4, k5);
    }
    void fileCC(IControl* c, int k1, int cc, int g) { controlmaps::file(ui.ccControls, c, k1, cc, g); }
    std::vector<testsupport::Bytes> sent() { return plug->copy(plug->shortMessages); }
};

// The envelope triggering's range is 0..7: a probe bound to it shows the value as v / 7.
constexpr int kProbeParam = kEnvelopeTriggering;
constexpr double kProbeRange = 7.0;

} // namespace

TEST(IncomingCC, DataEntriesLookUpTheDecodedKeysAndRewriteTheNumber)
{
    const struct {
        int part, msb, lsb, data;
        int k[5];
        int value, msbAfter, lsbAfter;
    } cases[] = {
        {1, 0, 84, 30, {1, 0, 25, 84, 0}, 5, 0, 25},
        {1, 0, 25, 30, {1, 0, 0, 25, 0}, 30, 0, 0}, // the second entry, read under the base
        {3, 0, 0, 0, {3, 0, 0, 0, 0}, 0, 0, 0},
        {3, 0, 0, 127, {3, 0, 126, 0, 0}, 1, 0, 126},
        {2, 0, 1, 122, {2, 0, 122, 1, 0}, 122, 0, 122}, // the top range keeps the value
        {2, 0, 84, 83, {2, 0, 77, 84, 0}, 13, 0, 77},
        {2, 0, 110, 126, {2, 0, 77, 84, 0}, 3, 0, 77}, // another LSB key
        {2, 0, 113, 17, {2, 0, 16, 113, 1}, 1, 0, 16}, // the global key from the table
        {5, 7, 120, 3, {5, 7, 0, 120, 0}, 0, 7, 0},
        {5, 7, 120, 1, {5, 7, 2, 120, 0}, 1, 7, 2},
        {5, 34, 122, 5, {5, 34, 4, 122, 0}, 0, 34, 4},
        {1, 14, 122, 2, {1, 0, 52, 1, 0}, 4, 0, 52},
        {1, 43, 122, 1, {1, 0, 76, 1, 0}, 4, 0, 76},
        {8, 116, 120, 60, {8, 116, 56, 120, 0}, 4, 116, 56},
        {16, 0, 128, 5, {16, 0, 0, 128, 0}, 5, 0, 0}, // the idle number; a part value past the eight
    };
    for (const auto& c : cases) {
        Fixture f;
        ASSERT_EQ(f.q.GetParam(kProbeParam)->GetMax() - f.q.GetParam(kProbeParam)->GetMin(), kProbeRange);
        Probe probe(kProbeParam);
        f.fileNrpn(&probe, c.k[0], c.k[1], c.k[2], c.k[3], c.k[4]);
        f.nrpn(c.msb, c.lsb);
        f.m.getLegacyCCparam(6, c.part, c.data, false, false);
        ASSERT_EQ(probe.values.size(), size_t(1)) << c.msb << "/" << c.lsb << " " << c.data;
        EXPECT_DOUBLE_EQ(probe.values[0], c.value / kProbeRange) << c.msb << "/" << c.lsb << " " << c.data;
        EXPECT_EQ(f.m.nrpnMsb.load(), c.msbAfter) << c.msb << "/" << c.lsb << " " << c.data;
        EXPECT_EQ(f.m.nrpnLsb.load(), c.lsbAfter) << c.msb << "/" << c.lsb << " " << c.data;
    }
}

TEST(IncomingCC, ThePartValueOfTheGlobalChannelLooksUpTheGlobalKey)
{
    // Controller 92 directly, and data entries without their control through controller 6.
    Fixture f;
    Probe plain(kProbeParam), global(kProbeParam), plain6(kProbeParam), global6(kProbeParam);
    f.fileCC(&plain, 4, 92, 0);
    f.fileCC(&global, 3, 92, 1);
    f.fileCC(&plain6, 2, 6, 0);
    f.fileCC(&global6, 3, 6, 1);
    f.set(kGlobalMidiChannel, 3);
    for (int part : {3, 4}) f.m.getLegacyCCparam(92, part, 7, false, false);
    for (int part : {2, 3}) {
        f.nrpn(0, 84);
        f.m.getLegacyCCparam(6, part, 28 + part, false, false);
    }
    EXPECT_EQ(plain.values, std::vector<double>{1.0});
    EXPECT_EQ(global.values, std::vector<double>{1.0});
    EXPECT_EQ(plain6.values, std::vector<double>{5 / kProbeRange});
    EXPECT_EQ(global6.values, std::vector<double>{6 / kProbeRange});
}

TEST(IncomingCC, DirectActionsSetTheirParameterAndIgnoredEntriesDoNothing)
{
    Fixture f;
    Probe probe(kProbeParam);
    for (int k4 : {100, 113}) f.fileNrpn(&probe, 1, 0, 0, k4, 0);
    f.fileCC(&probe, 1, 6, 0);
    f.set(kMultiPartStatus + 7, 1);
    const struct {
        int lsb, data, id;
        double value;
    } cases[] = {
        {100, 94, -1, 0},
        {100, 95, -1, 0}, // nothing at all
        {113, 57, kMultiPartStatus + 2, 1.0},
        {113, 55, kMultiPartStatus + 0, 1.0},
        {113, 70, kMultiPartStatus + 7, 0.0},
        {113, 80, kQuickTab, 4.0},
    };
    for (const auto& c : cases) {
        f.nrpn(0, c.lsb);
        f.m.getLegacyCCparam(6, 1, c.data, false, true);
        EXPECT_EQ(f.m.nrpnLsb.load(), c.lsb) << c.data;
        if (c.id >= 0) {
            EXPECT_EQ(f.value(c.id), c.value) << c.data;
        }
    }
    EXPECT_TRUE(probe.values.empty());
}

TEST(IncomingCC, HostValuesTakeTheDefaultRuleAndAnEmptyRangeSetsNothing)
{
    Fixture f;
    f.nrpn(0, 1);
    f.m.getLegacyCCparam(6, 1, 34 + 5, false, false); // envelope triggering of part 0
    EXPECT_EQ(f.value(kEnvelopeTriggering), 5);
    EXPECT_EQ(f.value(kEnvelope2Triggering), 1) << "the host's value moves the control only";

    int single = 0; // a parameter with one value
    while (single < f.q.NParams() && f.q.GetParam(single)->GetMax() != f.q.GetParam(single)->GetMin()) ++single;
    ASSERT_LT(single, f.q.NParams());
    Probe empty(single);
    f.fileCC(&empty, 1, 93, 0);
    f.m.getLegacyCCparam(93, 1, 10, false, false);
    EXPECT_TRUE(empty.values.empty());
}

TEST(IncomingCC, SynthesizerValuesSetTheDerivedParameters)
{
    // Envelope triggering: bit 2 envelope 1, bit 1 envelope 2, bit 0 envelope 3.
    const struct {
        int v;
        double e1, e2, e3;
    } triggers[] = {{5, 1, 0, 1}, {0, 0, 0, 0}, {6, 1, 1, 0}, {7, 1, 1, 1}};
    for (const auto& t : triggers) {
        Fixture f;
        f.set(kEnvelopeTriggering + 1, 2);
        f.nrpn(0, 1);
        f.m.getLegacyCCparam(6, 2, 34 + t.v, false, true);
        EXPECT_EQ(f.value(kEnvelope1Triggering + 1), t.e1) << t.v;
        EXPECT_EQ(f.value(kEnvelope2Triggering + 1), t.e2) << t.v;
        EXPECT_EQ(f.value(kEnvelope3Triggering + 1), t.e3) << t.v;
        EXPECT_EQ(f.value(kEnvelopeTriggering + 1), 2) << "the control itself stays";
        EXPECT_FALSE(f.m.applyingIncomingValue.load());
    }

    // Arp ordering and fill-in share the values from 122 up.
    const struct {
        int data, orderBefore;
        double fill, order;
    } arps[] = {{123, 0, 1, 0}, {125, 1, 1, 1}, {127, 2, 1, 2}, {122, 3, 0, 0}, {126, 0, 0, 2}, {124, 1, 0, 1}};
    for (const auto& a : arps) {
        Fixture f;
        f.set(kArpNoteOrdering + 4, a.orderBefore);
        f.set(kArpFillIn + 4, 0);
        f.nrpn(0, 1);
        f.m.getLegacyCCparam(6, 5, a.data, false, true);
        EXPECT_EQ(f.value(kArpFillIn + 4), a.fill) << a.data;
        EXPECT_EQ(f.value(kArpNoteOrdering + 4), a.order) << a.data;
    }

    // Polyphony: the part's value counts from 1, the program's follows for 0 and 1.
    const struct {
        int data;
        double before, multi, program;
    } polys[] = {{1, 1, 1, 0}, {2, 0, 2, 1}, {3, 1, 3, 1}, {3, 0, 3, 0}};
    for (const auto& p : polys) {
        Fixture f;
        f.set(kProgramPolyphony + 3, p.before);
        f.nrpn(0, 113);
        f.m.getLegacyCCparam(6, 4, p.data, false, true);
        EXPECT_EQ(f.value(kMultiPartPolyphony + 3), p.multi) << p.data;
        EXPECT_EQ(f.value(kProgramPolyphony + 3), p.program) << p.data;
    }
}

TEST(IncomingCC, ReverbValuesMoveRoomOrEarlyReflectionsNotBoth)
{
    const struct {
        double room, early;
        double roomAfter, earlyAfter;
    } cases[] = {{5, 3, 5, 3}, {4, 3, 5, 3}, {5, 0, 5, 3}, {4, 0, 5, 0}};
    for (const auto& c : cases) {
        Fixture f;
        IControl* control = f.q.getCCControls(1, 19, 0);
        ASSERT_NE(control, nullptr);
        const int early = control->ParamIdx();
        ASSERT_TRUE(early == kFXReverbEarlyRef || early == kFXMultiReverbEarlyRef) << early;
        f.set(early + 16, c.room);
        f.set(early, c.early);
        f.m.getLegacyCCparam(19, 1, 43, false, true);
        EXPECT_EQ(f.value(early + 16), c.roomAfter) << c.room << " " << c.early;
        EXPECT_EQ(f.value(early), c.earlyAfter) << c.room << " " << c.early;
    }
}

TEST(IncomingCC, EffectsUsedAndLocalControlFromTheSynthesizer)
{
    Fixture f;
    Probe used(kMultiPartEffectsUsed + 2);
    f.fileCC(&used, 3, 94, 0);
    f.set(kMultiPartEffectsUsed + 2, 0);
    f.m.getLegacyCCparam(94, 3, 1, false, true);
    EXPECT_EQ(f.value(kMultiPartEffectsUsed + 2), 1);
    f.m.getLegacyCCparam(94, 3, 5, false, true);
    EXPECT_EQ(f.value(kMultiPartEffectsUsed + 2), 1) << "only 0 and 1 are values";
    EXPECT_TRUE(used.values.empty());

    Probe local(kGlobalLocalControl);
    f.fileCC(&local, 9, 119, 0);
    const double before = f.value(kGlobalLocalControl);
    for (int v : {1, 0, 64, 0}) {
        f.m.getLegacyCCparam(119, 9, v, false, true);
        EXPECT_EQ(f.q.localControlOn.load(), v != 0) << v;
        EXPECT_EQ(f.value(kGlobalLocalControl), before) << "no parameter is set";
    }
    EXPECT_TRUE(local.values.empty());
}

TEST(IncomingCC, SharedEffectsTakeTheReplacementControlOrNone)
{
    const int id = 1936 + 2; // an effect parameter of part 2
    Fixture f;
    Probe first(id), replacement(kProbeParam);
    f.fileCC(&first, 3, 95, 0);
    f.set(kMultiPartEffectsUsed + 2, 0);
    f.m.getLegacyCCparam(95, 3, 20, false, false);
    EXPECT_TRUE(first.values.empty()) << "no replacement: nothing is set";

    f.fileCC(&replacement, 3, 95, 1);
    f.m.getLegacyCCparam(95, 3, 20, false, false);
    const IParam* p = f.q.GetParam(id);
    ASSERT_GT(p->GetMax(), p->GetMin());
    EXPECT_EQ(replacement.values, std::vector<double>{20 / (p->GetMax() - p->GetMin())})
        << "scaled by the first control's range";

    f.set(kMultiPartEffectsUsed + 2, 1);
    f.m.getLegacyCCparam(95, 3, 20, false, false);
    EXPECT_EQ(first.values.size(), size_t(1));
    EXPECT_EQ(replacement.values.size(), size_t(1));
}

TEST(IncomingCC, ReverbFromTheSynthesizerEchoesOnlyWithLocalControlOff)
{
    for (bool local : {true, false}) {
        Fixture f;
        IControl* control = f.q.getCCControls(1, 19, 0);
        ASSERT_NE(control, nullptr);
        f.set(control->ParamIdx() + 16, 4);
        f.set(control->ParamIdx(), 3);
        f.q.localControlOn = local;
        f.m.getLegacyCCparam(19, 1, 43, false, true);
        bool roomSent = false;
        for (const auto& b : f.sent()) roomSent = roomSent || ((b[0] & 0xF0) == 0xB0 && b[1] == 19 && b[2] == 43);
        EXPECT_EQ(roomSent, !local) << local;
        if (local) {
            EXPECT_TRUE(f.sent().empty());
        }
    }
}

TEST(IncomingCC, QuickTabRangesAndTheCallerHandTheQuickTabOn)
{
    // The hand-off shows the part the quick tab holds: selectedPart follows it.
    const struct {
        int msb, lsb, data;
        int k[5];
        bool reapply, handedOn;
    } cases[] = {
        {0, 0, 10, {1, 0, 10, 0, 0}, false, true},    {0, 0, 30, {1, 0, 30, 0, 0}, false, false},
        {0, 1, 127, {1, 0, 122, 1, 0}, false, true},  {0, 113, 36, {1, 0, 36, 113, 0}, false, true},
        {14, 122, 2, {1, 0, 52, 1, 0}, false, false}, {14, 122, 2, {1, 0, 52, 1, 0}, true, true},
        {0, 0, 10, {16, 0, 0, 0, 0}, false, false}, // part value 16 finds no control: no hand-off
    };
    for (const auto& c : cases) {
        Fixture f;
        Probe probe(kProbeParam);
        f.fileNrpn(&probe, c.k[0], c.k[1], c.k[2], c.k[3], c.k[4]);
        f.set(kQuickTab, 3);
        f.q.selectedPart = 0;
        f.nrpn(c.msb, c.lsb);
        f.m.getLegacyCCparam(6, c.k[0], c.data, c.reapply, false);
        EXPECT_EQ(f.q.selectedPart, c.handedOn ? 3 : 0) << c.msb << "/" << c.lsb << " " << c.data;
    }
}

TEST(IncomingCC, BankSelectWithoutAControlSetsThePartsBankAndSendsIt)
{
    // The editor's bank select is controller 32 = bank + 5 on the part's channel.
    const struct {
        int partPlusOne, value;
        int bank; // -1: nothing changes and nothing is sent
    } cases[] = {{1, 65, 1}, {3, 64, 0}, {8, 66, 2}, {1, 67, -1}, {1, 63, -1}, {13, 65, -1}, {9, 64, -1}};
    for (const auto& c : cases) {
        Fixture f;
        ASSERT_EQ(f.q.getCCControls(c.partPlusOne, 32, 0), nullptr);
        ASSERT_EQ(f.q.getCCControls(c.partPlusOne, 32, 1), nullptr);
        const int p = (c.partPlusOne - 1) % 8;
        f.set(kMultiPartBank + p, 3);
        f.set(kCurrentBank + p, 0);
        f.set(kMultiPartPatch + 4, 5); // 4185 + 12
        const double past = f.value(kCurrentBank + 12);
        f.q.knownParts.set(p, 3, 0);
        f.m.getLegacyCCparam(32, c.partPlusOne, c.value, false, false);
        const std::vector<testsupport::Bytes> sent = f.sent();
        const std::string at = std::to_string(c.partPlusOne) + " " + std::to_string(c.value);
        const int expected = c.bank < 0 ? 3 : c.bank;
        EXPECT_EQ(f.value(kMultiPartBank + p), expected) << at;
        // The current bank follows the bank select whole: banks 0 to 2 all lie in its range.
        EXPECT_EQ(f.value(kCurrentBank + p), c.bank < 0 ? 0 : c.bank) << at;
        EXPECT_EQ(f.q.knownParts.partBankNumbers(p), expected) << at;
        EXPECT_EQ(f.value(kMultiPartPatch + 4), 5) << at;
        EXPECT_EQ(f.value(kCurrentBank + 12), past) << at;
        for (int i = 0; i < 8; ++i)
            if (i != p) {
                EXPECT_EQ(f.q.knownParts.partBankNumbers(i), 0) << at;
            }
        if (c.bank < 0) {
            EXPECT_TRUE(sent.empty()) << at;
        } else {
            ASSERT_EQ(sent.size(), size_t(1)) << at;
            EXPECT_EQ(sent[0][0], 0xB0 | f.q.partChannel(p)) << at;
            EXPECT_EQ(sent[0][1], 32) << at;
            EXPECT_EQ(sent[0][2], c.bank + 5) << at;
        }
    }
}
