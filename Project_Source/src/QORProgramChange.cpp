// Selecting sounds on the synthesizer: bank selects and program changes on a part's channel, or on
// the global channel for a performance, paced by pauses on the caller's thread (the main thread
// for menus and edits, the MIDI input thread when the protocol follows the synthesizer).
//
// Channels and data bytes follow the edit path: a part channel of 16 or more (or the -2 of all
// sound off) is the global channel, and every data byte is held within 0 to 127.
#include "MIDIMessageManager.h"
#include "QORParams.h"
#include "QORProgramValues.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/wapi/wapi.h"

using namespace qorid;
using namespace programvalues;

namespace
{

constexpr int kAllSoundOff = 123;
constexpr int kBankSelectMsb = 0;
constexpr int kSelectPauseMs = 25;
constexpr int kProgramPauseMs = 50;

void controlChange(QOR& q, int channel, int controller, int value)
{
    IMidiMsg msg(0, uint8_t(0xB0 | (channel & 0x0F)), uint8_t(controller), SysexFamily::dataByte(value));
    q.sendMidiMsgAndLog(&msg);
}

void programChange(QOR& q, int channel, int program)
{
    IMidiMsg msg(0, uint8_t(0xC0 | (channel & 0x0F)), SysexFamily::dataByte(program), 0);
    q.sendMidiMsgAndLog(&msg);
}

} // namespace

bool QOR::transferPause(int ms)
{
    if (midiManager) return midiManager->sender->pause(ms);
    Sleep(ms);
    return true;
}

void QOR::SendProgramChangeCommand(int program, int part)
{
    if (!midiIOSet || !validPart(part)) return;
    showValue(*this, kMultiPartPatch + part, program);
    knownParts.setProgram(part, program);
    if (midiManager) midiManager->pickSent(part);
    programChange(*this, partChannel(part), program);
    transferPause(kSelectPauseMs);
}

void QOR::SendBankChangeCommand(int bank, int part)
{
    if (!midiIOSet || !validPart(part)) return;
    showValue(*this, kMultiPartBank + part, bank);
    knownParts.setBank(part, bank);
    if (midiManager) midiManager->pickSent(part);
    controlChange(*this, partChannel(part), kBankSelectLsb, bank + kProgramBankBase);
    transferPause(kSelectPauseMs);
}

bool QOR::CheckBankConflict(int part)
{
    if (!validPart(part)) return false;
    const int bank = whole(*this, kMultiPartBank + part);
    const int program = whole(*this, kMultiPartPatch + part);
    // A performance send under way, or owed by a recall and not gone yet, puts every part where
    // its parameters say, the picks made meanwhile included: that is what the synthesizer is
    // going to play.
    const bool wholeSend = sendingAllParts || arrangementSending || (recalledSendOwed && mOwedSentAt < 0);
    for (int i = 0; i < kParts; ++i) {
        if (i == part) continue;
        const IParam* status = GetParam(kMultiPartStatus + i);
        if (!status || status->Value() != 1.0) continue;
        const KnownParts::Numbers other =
            wholeSend ? KnownParts::Numbers{whole(*this, kMultiPartBank + i), whole(*this, kMultiPartPatch + i)}
                      : knownParts.numbers(i);
        if (other.bank == bank && other.program == program) return true;
    }
    return false;
}

bool QOR::BankChangeMessage(int part)
{
    int bankValue = 0;
    int program = 0;
    int channel = 0;
    if (performanceMode) {
        bankValue = whole(*this, kMultiBank) + kPerformanceBankBase;
        program = whole(*this, kMultiPatch);
        channel = globalChannel();
    } else {
        if (!validPart(part)) return false;
        const int bank = whole(*this, kMultiPartBank + part);
        program = whole(*this, kMultiPartPatch + part);
        channel = partChannel(part);
        bankValue = bank + kProgramBankBase;
        // A refused sequence leaves the part's known bank and program as they were: the
        // synthesizer still plays them.
        if (CheckBankConflict(part)) {
            if (ControlLayer* window = keptLayer("bankPatchConflictWindow")) window->Hide(false);
            return false;
        }
        // While a recall's send is owed to a synthesizer that is not reached, the pick goes with
        // that send, which records it once it is paid.
        if (!recalledSendOwed || (midiOutIndex > 0 && !outputAway())) knownParts.set(part, bank, program);
        if (midiManager) midiManager->pickSent(part);
    }
    currentProgramNumber = program;
    // An earlier refusal's notice is out of date once a pick goes through.
    ControlLayer* notice = keptLayer("bankPatchConflictWindow");
    if (notice && notice->IsVisible()) notice->Hide(true);
    if (midiIOSet) {
        IMidiMsg off(0, uint8_t(0xB0 | channel), kAllSoundOff, 0);
        MIDIOutRoutingSwitch(&off);
    }
    controlChange(*this, channel, kBankSelectMsb, 0);
    transferPause(kSelectPauseMs);
    controlChange(*this, channel, kBankSelectLsb, bankValue);
    transferPause(kSelectPauseMs);
    programChange(*this, channel, program);
    transferPause(kProgramPauseMs);
    transferPause(getTimerValue());
    return true;
}

bool QOR::pickBankOrProgram(int id, int value, int part)
{
    IParam* param = GetParam(id);
    if (!param) return false;
    const double before = param->Value();
    showValue(*this, id, value);
    if (BankChangeMessage(part)) return true;
    // The screen keeps showing what the synthesizer plays; Set undoes any clamping of the show.
    showValue(*this, id, before);
    param->Set(before);
    return false;
}
