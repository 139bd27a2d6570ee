// Short messages from the synthesizer and from the host: the input filters, the NRPN number, the
// channel's part, the editor's controls, program changes into requests or library sends, the
// activity lights, and the message passed on to the synthesizer.
//
// The synthesizer's side runs on the MIDI input thread, the host's on the host's MIDI thread,
// both without a lock: the flags and the NRPN number are atomics, parameter values are written
// through the surface as the user interface writes them, and a request starts only if it can
// claim the job thread. The input thread waits only in the pauses of a program change.
#include <mutex>

#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginStructs.h"

using namespace qorid;

namespace
{

constexpr int kParts = 8;
// The bytes of midiFilterSwitches: the host's kinds, then the synthesizer's from kDeviceFilters.
enum FilterByte { kFilterCC, kFilterPC, kFilterNote, kFilterPitchBend, kFilterPolyPressure, kFilterChannelPressure };
constexpr int kDeviceFilters = 7;

constexpr int kDataEntry = 6;
constexpr int kNrpnLsb = 98;
constexpr int kNrpnMsb = 99;
constexpr int kBankSelectMsb = 0;
constexpr int kBankSelectLsb = 32;
// The NRPN number after any other controller: 128 is no number at all.
constexpr int kIdleNrpnLsb = 128;
// NRPN 113 selects a part with these values.
constexpr int kPartSelectNrpn = 113;

// The filter byte of a kind that a filter can block; -1 for the rest.
int filterByte(IMidiMsg::EStatusMsg kind)
{
    switch (kind) {
    case IMidiMsg::kNoteOff:
    case IMidiMsg::kNoteOn: return kFilterNote;
    case IMidiMsg::kPolyAftertouch: return kFilterPolyPressure;
    case IMidiMsg::kControlChange: return kFilterCC;
    case IMidiMsg::kProgramChange: return kFilterPC;
    case IMidiMsg::kChannelAftertouch: return kFilterChannelPressure;
    case IMidiMsg::kPitchWheel: return kFilterPitchBend;
    default: return -1;
    }
}

bool blocked(const QOR& q, const IMidiMsg& msg, bool fromDevice)
{
    const int byte = filterByte(msg.StatusMsg());
    return byte >= 0 && q.midiFilterSwitches[size_t(byte + (fromDevice ? kDeviceFilters : 0))];
}

// A message of 7-bit data whatever arrived, so nothing passed on can break the stream.
IMidiMsg sevenBit(const IMidiMsg& msg)
{
    IMidiMsg m = msg;
    m.mData1 = SysexFamily::dataByte(m.mData1);
    m.mData2 = SysexFamily::dataByte(m.mData2);
    return m;
}

int partChannelValue(const QOR& q, int part)
{
    return int(q.GetParam(kMultiPartMIDICh + part)->Value());
}

// The part value of a controller: the channel, renamed by each part in turn that listens on
// the name it has so far. With every part on its own channel this is the listening part; a
// channel no part listens on stays itself (so 0..15).
int controllerPart(const QOR& q, int channel)
{
    int x = channel;
    for (int k = 0; k < kParts; ++k) {
        if (x == partChannelValue(q, k)) x = k;
    }
    return x;
}

// The bank-select values the synthesizer sends after controller 0 = 0: swallowed.
bool pairedBankSelect(int value)
{
    return value == 64 || value == 66 || value == 80 || value == 96;
}

bool partSelectValue(int value)
{
    return (value >= 55 && value <= 62) || (value >= 76 && value <= 83);
}

bool onGlobalChannel(const QOR& q, int channel)
{
    return channel == int(q.GetParam(kGlobalMidiChannel)->Value());
}

// A program change on the global channel is the performance's; on a part's channel the first
// such part's, whose number is kept; on any other channel part 0's, with nothing kept.
void programChange(MIDIMessageManager& manager, IMidiMsg& msg)
{
    QOR& q = *manager.controller;
    if (onGlobalChannel(q, msg.Channel())) {
        manager.MakeProgramChangeMessages(0, &msg, true);
        return;
    }
    const int part = q.firstPartOnChannel(msg.Channel());
    // Known before the lock and Library control are looked at: the part plays it either way.
    if (part >= 0) q.knownParts.setProgram(part, msg.mData1);
    manager.MakeProgramChangeMessages(part < 0 ? 0 : part, &msg, false);
}

} // namespace

void MIDIMessageManager::ProcessMidiMsgFromDevice(IMidiMsg* msg)
{
    if (!msg) return;
    lastMessageFromHost = false;
    QOR& q = *controller;
    IMidiMsg m = sevenBit(*msg);
    const int channel = m.Channel();
    if (blocked(q, m, true)) return;
    const IMidiMsg::EStatusMsg kind = m.StatusMsg();
    bool passOn = filterByte(kind) >= 0;
    if (kind == IMidiMsg::kControlChange) {
        const int n = m.mData1, v = m.mData2;
        if (n == kNrpnMsb) {
            nrpnMsb = v;
        } else if (n == kNrpnLsb) {
            nrpnLsb = v;
        } else {
            if (n != kDataEntry) nrpnMsb = 0, nrpnLsb = kIdleNrpnLsb;
            if (n == kBankSelectMsb && v == 0) {
                bankSelectZeroSeen = true;
                return;
            }
            // The bank select that completes the synthesizer's own pair; the flag goes only here.
            if (n == kBankSelectLsb && pairedBankSelect(v) && bankSelectZeroSeen.exchange(false)) return;
            if (n == kDataEntry && nrpnLsb == kPartSelectNrpn && partSelectValue(v) && onGlobalChannel(q, channel)) {
                setFromDump(kQuickTab, v <= 62 ? v - 55 : v - 76);
                q.OnParamChange2(kQuickTab);
            }
            getLegacyCCparam(n, controllerPart(q, channel) + 1, v, false, true);
        }
    } else if (kind == IMidiMsg::kProgramChange) {
        programChange(*this, m);
    }
    q.lightPartLed(q.firstPartOnChannel(channel), true);
    // With local control on the synthesizer has acted on its own message already.
    if (passOn && !q.localControlOn) q.MIDIOutRoutingSwitch(&m);
}

void MIDIMessageManager::ProcessMidiMsgFromDAW(IMidiMsg* msg, int /*part*/)
{
    QOR& q = *controller;
    if (!msg || !q.midiIOSet) return;
    lastMessageFromHost = true;
    IMidiMsg m = sevenBit(*msg);
    const IMidiMsg::EStatusMsg kind = m.StatusMsg();
    if (filterByte(kind) < 0 || blocked(q, m, false)) return;
    if (kind == IMidiMsg::kControlChange) {
        const int n = m.mData1, v = m.mData2;
        // The host's bank selects are its own business: never mapped, never passed on.
        if ((n == kBankSelectLsb && pairedBankSelect(v)) || (n == kBankSelectMsb && v == 0)) return;
        getLegacyCCparam(n, controllerPart(q, m.Channel()) + 1, v, false, false);
    } else if (kind == IMidiMsg::kProgramChange) {
        programChange(*this, m);
    }
    q.lightPartLed(q.firstPartOnChannel(m.Channel()), true);
    q.MIDIOutRoutingSwitch(&m);
}

void MIDIMessageManager::keepDroppedProgram(const IMidiMsg& msg)
{
    QOR& q = *controller;
    const IMidiMsg m = sevenBit(msg);
    if (m.StatusMsg() != IMidiMsg::kProgramChange || blocked(q, m, true) || onGlobalChannel(q, m.Channel())) return;
    const int part = q.firstPartOnChannel(m.Channel());
    if (part >= 0) droppedPrograms[size_t(part)] = m.mData1 + 1;
}

void MIDIMessageManager::forgetDroppedPrograms()
{
    for (std::atomic<int>& kept : droppedPrograms) kept = 0;
}

void MIDIMessageManager::endKeptPrograms(bool forget)
{
    mKeptOnlyRecorded = true;
    if (forget) forgetDroppedPrograms();
}

void MIDIMessageManager::pickSent(int part)
{
    if (part >= 0 && part < kParts && performanceRequestActive) mPickedWhileAsked[size_t(part)] = true;
}

void MIDIMessageManager::followDroppedPrograms()
{
    QOR& q = *controller;
    // Each part's request is a wait of its own, in which the panel may go on turning: rounds
    // go on until one drops nothing.
    for (bool again = true; again && !sender->stopping() && !expectingEditDump;) {
        again = false;
        for (int part = 0; part < kParts && !sender->stopping(); ++part) {
            const int program = droppedPrograms[size_t(part)].exchange(0) - 1;
            if (program < 0) continue;
            // As a program change that is taken: known whatever holds the part, and followed
            // with the part's dump unless a lock or Library control holds it. Sent back as the
            // first one was, so that echo, which may reach the synthesizer after the later
            // turns, is not its last word.
            q.knownParts.setProgram(part, program);
            // A Cancel, a recall, a port's change or Library control switched ended the request
            // it was kept for.
            if (mKeptOnlyRecorded || sender->cancelRequested) continue;
            if (q.GetParam(kPartLock + part)->Value() == 1.0 || q.GetParam(kControlLibrary)->Value() == 1.0) continue;
            q.SendProgramChangeCommand(program, part);
            q.SetLibrarianRequestActive(false);
            sender->sendPartRequestSysex(part, true);
            again = true;
        }
    }
}

void MIDIMessageManager::MakeProgramChangeMessages(int part, IMidiMsg* msg, bool isPerformance)
{
    QOR& q = *controller;
    if (!msg || part < 0 || part >= kParts) return;
    if (!isPerformance && q.GetParam(kPartLock + part)->Value() == 1.0) return;
    const int program = SysexFamily::dataByte(msg->mData1);
    // Where the librarian shows the number: its selection, and the slot its transfers use.
    auto showSlot = [&] {
        if (LibrarianViewControl* view = q.librarianView) view->upperSelection = program, view->currentSlot = program;
        if (librarian) {
            std::lock_guard<std::recursive_mutex> hold(librarian->mLock);
            librarian->upperSlot = program;
        }
        q.setLibrarianViewDirty();
    };

    if (q.GetParam(kControlLibrary)->Value() == 1.0) {
        if (isPerformance && !q.performanceMode) {
            q.showStatus("Turn on PERFORMANCE mode from librarian first!");
            return;
        }
        if (!isPerformance && q.performanceMode) {
            q.showStatus("Turn on PROGRAM mode from librarian first!");
            return;
        }
        // The send would be dropped, and a running transfer into the library must keep its
        // slot, buffers and awaited part.
        if (!threadIdle(kJobThread)) return;
        // The pane the user last selected in; the number moves the upper selection only.
        const int pane = q.librarianView ? q.librarianView->activePane.load() : 0;
        showSlot();
        // The wait starts only with the send: an empty slot or a missing bank sends nothing, and
        // a wait nothing ends would leave the editor deaf to the synthesizer.
        const bool entry = q.sendPatchToDeviceFromLibrarian(program, pane, part, [&q, part] {
            q.SetLibrarianRequestActive(false);
            q.pendingRequestPart = part;
        });
        if (!entry) q.showStatus("Library slot is empty!");
        return;
    }

    if (!isPerformance) q.SendProgramChangeCommand(program, part);
    SenderJobRecord request;
    request.job = isPerformance ? kJobRequestActiveArrangement : kJobRequestPart;
    request.toEditor = true;
    request.part = part;
    // Only a request that really starts disarms the librarian's buffers and takes the part and
    // slot: a running transfer keeps them. A busy job thread drops the request.
    const bool started = startJob(request, [&] {
        q.SetLibrarianRequestActive(false);
        if (!isPerformance) q.pendingRequestPart = part;
        expectingEditDump = true;
    });
    if (started) showSlot();
}
