// An edit of a synthesizer parameter becomes MIDI here: the action the configuration hung on the
// parameter says the kind of message, and a few parameters have encodings of the synthesizer's
// own (shared controllers, bit fields, value tables). Runs under the plug-in mutex, on the main
// thread for editor edits and on the MIDI input thread for values the synthesizer sent.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "ControlAction.h"
#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "kit/wapi/wapi.h"

using namespace qorid;

namespace {

constexpr int kParts = 8;
constexpr int kNrpnMsb = 99;
constexpr int kNrpnLsb = 98;

int dataByte(long long v) { return int(std::clamp<long long>(v, 0, 127)); }

bool inBlock(int id, int base) { return id >= base && id < base + kParts; }
// The global settings, from local control to the tempo.
bool isGlobalSetting(int id) { return id >= kGlobalLocalControl && id <= kGlobalTempo; }

// The sustain setting i of a part as NRPN number and data: three numbers carry its 14 settings.
void sustainEncoding(int i, int lsbControl, int lsbValue, int& l, int& d)
{
    l = lsbControl;
    d = lsbValue + i;
    if (i == 3) l = 110, d = 126;
    else if (i >= 4 && i <= 6) d = i + 76;
    else if (i == 7) l = 110, d = 127;
    else if (i >= 8 && i <= 12) l = 113, d = i - 4;
    else if (i == 13) d = 83;
}

} // namespace

void QOR::processControlAction(ControlAction* action, int paramId, double value)
{
    if (!action) return;
    // A dump has changed values behind the action's back: what it last sent no longer holds.
    const uint32_t dumps = mDumpsTaken.load();
    if (action->mDumpsSeen != dumps) {
        action->mDumpsSeen = dumps;
        action->lastValue = -1.0;
    }
    const int t = int(value);
    if (action->lastValue == double(t)) return;
    if (!midiIOSet) {
        const bool silent = paramId == kDeviceOutSelection || paramId == kDeviceInSelection ||
                            paramId == kGlobalMidiChannel || paramId == kCurrentModel;
        if (startupComplete && !silent) showStatus("Set MIDI I/O First!");
        return;
    }
    action->lastValue = double(t);
    const IParam* edited = GetParam(paramId);
    const double normalized = edited ? edited->GetNormalized() : 0.0;
    for (IControl* control : action->controls) {
        if (control) control->SetValueFromPlug(normalized);
    }

    auto whole = [this](int id) {
        const IParam* p = GetParam(id);
        return p ? int(p->Value()) : 0;
    };
    const bool fromSynthesizer = changeFromHardware;
    auto passesGate = [this, fromSynthesizer] {
        if (fromSynthesizer) return false;
        // Held back only while a controller the synthesizer sent is applied with local control on.
        return !(midiManager && midiManager->applyingIncomingValue) || !localControlOn ||
               (midiManager && midiManager->lastMessageFromHost);
    };
    auto showKind = [this](const std::string& text) {
        if (ccDisplay) ccDisplay->SetTextFromPlug(text.c_str());
    };
    int ch = partChannel(action->part);
    auto sendShort = [&](int controller, long long data) {
        if (!passesGate()) return;
        IMidiMsg msg(0, uint8_t(0xB0 | (ch & 0x0F)), uint8_t(dataByte(controller)), uint8_t(dataByte(data)));
        MIDIOutRoutingSwitch(&msg);
    };

    switch (action->kind) {
    case ControlAction::kControlChange: {
        if (isGlobalSetting(paramId)) ch = globalChannel();
        long long v = t;
        // One controller carries 8 x room size + early reflections.
        if (inBlock(paramId, kFXReverbEarlyRef) || inBlock(paramId, kFXMultiReverbEarlyRef))
            v = t + 8LL * whole(paramId + 16);
        else if (inBlock(paramId, kFXReverbRoom) || inBlock(paramId, kFXMultiReverbRoom))
            v = 8LL * t + whole(paramId - 16);
        if (paramId == kGlobalTempo || inBlock(paramId, kArpSpeed)) {
            const IParam* override = GetParam(kOverrideTempo);
            if (override && override->Value() == 1.0) return; // the host's tempo drives it
        }
        showKind("CC|" + std::to_string(action->ccNumber));
        sendShort(action->ccNumber, v);
        break;
    }
    case ControlAction::kControlChangeSwitch: {
        if (isGlobalSetting(paramId)) ch = globalChannel();
        int s = value == 0.0 ? action->switchOffValue : action->switchOnValue;
        if (s == 1 && (paramId == kGlobalLocalControl || inBlock(paramId, kArpLatch))) s = 127;
        showKind("CC|" + std::to_string(action->ccNumber));
        sendShort(action->ccNumber, s);
        break;
    }
    case ControlAction::kNRPN: {
        int m = action->msbValue;
        int l = action->lsbControl;
        long long v = t;
        if (paramId == kGlobalMidiChannel) {
            // The synthesizer still listens on the channel it had before this change.
            ch = whole(kDeviceID_old) & 0x0F;
            // Kept as a channel: the parameter has no range of its own in the configuration.
            if (IParam* old = GetParam(kDeviceID_old)) old->Set(std::clamp(value, 0.0, 15.0));
            v = int(value + 32);
        } else if (inBlock(paramId, kEnvelopeTriggering)) {
            const int k = paramId - kEnvelopeTriggering;
            const int e1 = whole(kEnvelope1Triggering + k), e2 = whole(kEnvelope2Triggering + k);
            v = (e1 == 1 ? 4 : e1) + (e2 == 1 ? 2 : e2) + whole(kEnvelope3Triggering + k);
            l = 1;
        }
        if ((paramId >= kVocoderBalance && paramId <= kVocoderInput) ||
            (isGlobalSetting(paramId) && paramId != kGlobalMidiChannel) ||
            (paramId >= kVocoderWidth && paramId <= kVocoderInsert))
            ch = globalChannel();
        long long d = action->lsbValue + v;
        if (inBlock(paramId, kArpNoteOrdering)) {
            d = 122 + int(2 * value) + whole(kArpFillIn + paramId - kArpNoteOrdering);
        } else if (inBlock(paramId, kArpFillIn)) {
            d = 122 + 2LL * whole(kArpNoteOrdering + paramId - kArpFillIn) + t;
        } else if (inBlock(paramId, kFXDelayRatio) || inBlock(paramId, kFXMultiDelayRatio)) {
            if (value >= 11) m = 0, l = 100, d = t + 99LL;
        } else if (inBlock(paramId, kMultiPartSustain)) {
            int sl = l, sd = 0;
            sustainEncoding(t, action->lsbControl, action->lsbValue, sl, sd);
            l = sl, d = sd;
        } else if (paramId == kGlobalRXPC) {
            d = value != 0 ? 36 : 34;
        } else if (inBlock(paramId, kMultiPartPolyphony)) {
            d -= 1;
        }
        sendShort(kNrpnMsb, m);
        sendShort(kNrpnLsb, l);
        showKind("MSB/LSB");
        sendShort(action->ccNumber, d);
        break;
    }
    case ControlAction::kSysExSwitch:
    case ControlAction::kSysEx: {
        showKind("SysEx");
        if (t >= 0 && size_t(t) < action->messages.size() && !action->messages[size_t(t)].empty() && passesGate()) {
            const std::vector<int>& entry = action->messages[size_t(t)];
            std::vector<unsigned char> bytes(entry.size());
            for (size_t i = 0; i < entry.size(); ++i) {
                const bool framing = (i == 0 && entry[i] == 0xF0) || (i + 1 == entry.size() && entry[i] == 0xF7);
                bytes[i] = uint8_t(framing ? entry[i] : dataByte(entry[i]));
            }
            // The device byte follows the maker and family bytes, after the F0 where the template has one.
            const size_t deviceAt = !bytes.empty() && bytes[0] == 0xF0 ? 3 : 2;
            if (deviceId >= 0 && bytes.size() > deviceAt) bytes[deviceAt] = uint8_t(dataByte(deviceId));
            const IParam* out = GetParam(kDeviceOutSelection);
            if (out && out->Value() != 0.0) SendMidiSysex(bytes.data(), int(bytes.size()));
            else showStatus("Set MIDI I/O First!");
        }
        // A new pattern for a part: its steps come back from the synthesizer into the editor.
        if (action->kind == ControlAction::kSysEx && inBlock(paramId, kPartPattern)) {
            const int part = paramId - kPartPattern;
            Sleep(100);
            if (midiManager) {
                SenderJobRecord record;
                record.job = kJobRequestSequence;
                record.part = part;
                record.toEditor = true;
                // Disarmed only once the request really starts: a running request into the
                // library keeps its buffer and its reply.
                midiManager->startAsked(record, [this, part] {
                    SetLibrarianRequestActive(false);
                    midiManager->expectingEditDump = true;
                    patternRequestPart = part;
                });
            }
        }
        break;
    }
    default:
        break;
    }
}
