// Incoming control changes into the editor's controls. Runs on the MIDI input thread that
// received the message, without a lock: the lookups only read maps that are complete once the
// configuration is read, and the NRPN fields are atomics.
#include "MIDIMessageManager.h"
#include "NrpnDecoding.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"

namespace
{

using namespace qorid;

constexpr int kParts = 8;

bool inBlock(int id, int first, int count = kParts)
{
    return id >= first && id < first + count;
}

// The effect parameters of the eight parts, and the slice of them that the synthesizer
// addresses by NRPN when the part's effects are shared.
constexpr int kEffectFirst = 1936, kEffectLast = 2207;
constexpr int kEffectNrpnFirst = 2168, kEffectNrpnLast = 2199;

} // namespace

void MIDIMessageManager::getLegacyCCparam(int cc, int partPlusOne, int value, bool reapplyQuickTab, bool fromDevice)
{
    auto param = [this](int id) { return controller->GetParam(id); };
    auto valueOf = [&](int id) {
        const IParam* p = param(id);
        return p ? p->Value() : 0.0;
    };
    // Only the eight parts have per-part parameters; channels no part listens on map past them.
    const int p = partPlusOne - 1;
    // Derived parameters take the value in their own units, held to their range.
    auto set = [&](int id, double x) {
        if (graphics) {
            graphics->SetParameterFromPlug(id, x, false);
        } else if (IParam* target = param(id)) {
            target->Set(x < target->GetMin() ? target->GetMin() : (x > target->GetMax() ? target->GetMax() : x));
        }
    };
    const bool ownPart = p >= 0 && p < kParts;
    const int g = int(valueOf(kGlobalMidiChannel)) == partPlusOne ? 1 : 0;

    bool quickTab = reapplyQuickTab;
    int v = value;
    int k3 = 0;
    IControl* control = nullptr;
    if (cc == 6) {
        const NrpnDecoding::Decoded d = NrpnDecoding::decode(nrpnMsb, nrpnLsb, value);
        switch (d.outcome) {
        case NrpnDecoding::Outcome::Nothing: return;
        case NrpnDecoding::Outcome::SetStatus: set(kMultiPartStatus + d.statusPart, d.statusValue); return;
        case NrpnDecoding::Outcome::SetQuickTab: set(kQuickTab, d.value); return;
        case NrpnDecoding::Outcome::Lookup: break;
        }
        // A following data entry without a new number is read under the base.
        nrpnLsb = d.base;
        if (d.msbToZero) nrpnMsb = 0;
        quickTab = quickTab || d.quickTab;
        v = d.value;
        k3 = d.base;
        control = controller->getMsbLsbControl(partPlusOne, d.msb, d.base, d.lsb, d.global);
        if (!control) control = controller->getCCControls(partPlusOne, 6, g);
    } else {
        control = controller->getCCControls(partPlusOne, cc, g);
    }

    if (!control) {
        // A bank select the editor shows no control for: the part's bank follows it.
        if (cc == 32 && value >= 64 && value <= 66 && ownPart) {
            const int bank = value - 64;
            set(kMultiPartBank + p, bank);
            controller->knownParts.setBank(p, bank);
            set(kCurrentBank + p, bank);
            controller->SendBankChangeCommand(bank, p);
        }
        return;
    }

    // The range that scales the value is that of the control found first.
    const IParam* first = param(control->ParamIdx());
    const double range = first ? first->GetMax() - first->GetMin() : 0.0;

    bool apply = true;
    const int firstId = control->ParamIdx();
    if (firstId >= kEffectFirst && firstId <= kEffectLast && valueOf(kMultiPartEffectsUsed + firstId % kParts) == 0.0) {
        // Effects off for the part: the synthesizer's controller means the shared effect.
        if (firstId >= kEffectNrpnFirst && firstId <= kEffectNrpnLast)
            control = controller->getMsbLsbControl(partPlusOne, nrpnMsb, nrpnLsb, k3, 1);
        else
            control = controller->getCCControls(partPlusOne, cc, 1);
        apply = control != nullptr;
    }

    if (apply && !fromDevice) {
        if (range != 0.0) control->SetValueFromHardware(v / range);
    } else if (apply) {
        applyingIncomingValue = true;
        const int id = control->ParamIdx();
        auto changed = [this](int changedId) { controller->OnParamChange(changedId); };
        if (inBlock(id, kEnvelopeTriggering)) {
            // One value, one bit per envelope: bit 2 envelope 1, bit 1 envelope 2, bit 0 envelope 3.
            if (ownPart) {
                const int envelopes[] = {kEnvelope1Triggering, kEnvelope2Triggering, kEnvelope3Triggering};
                for (int e = 0; e < 3; ++e) {
                    const bool on = v < 0 || v > 6 || ((v >> (2 - e)) & 1);
                    set(envelopes[e] + p, on ? 1.0 : 0.0);
                }
            }
        } else if (inBlock(id, kFXReverbEarlyRef) || inBlock(id, kFXMultiReverbEarlyRef)) {
            // One controller carries 8 x room size + early reflections; one of the two moves.
            const int room = v / 8, early = v % 8;
            if (room != int(valueOf(id + 16))) {
                set(id + 16, room);
                changed(id + 16);
            } else if (early != int(valueOf(id))) {
                set(id, early);
                changed(id);
            }
        } else if (inBlock(id, kArpNoteOrdering)) {
            // The ordering and the fill-in share one value from 122 up.
            if (ownPart) {
                const int d = v - 122;
                const int before = int(valueOf(kArpNoteOrdering + p));
                set(kArpFillIn + p, d >= 0 && d <= 5 ? d % 2 : 0);
                set(kArpNoteOrdering + p, d / 2);
                if ((d == 1 || d == 3 || d == 5) && d / 2 == before)
                    changed(kArpFillIn + p);
                else
                    changed(kArpNoteOrdering + p);
            }
        } else if (inBlock(id, kMultiPartEffectsUsed)) {
            if (ownPart && (v == 0 || v == 1)) set(kMultiPartEffectsUsed + p, v);
            changed(kMainTab);
        } else if (inBlock(id, kProgramPolyphony) || inBlock(id, kMultiPartPolyphony)) {
            if (ownPart) {
                set(kMultiPartPolyphony + p, v + 1);
                if (v == 0 || v == 1) set(kProgramPolyphony + p, v);
            }
        } else if (id == kGlobalLocalControl) {
            controller->localControlOn = v != 0;
        } else if (range != 0.0) {
            control->SetValueFromHardware(v / range);
        }
    }

    if (quickTab) controller->OnParamChange2(kQuickTab);
    applyingIncomingValue = false;
}
