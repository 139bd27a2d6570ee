// Everything the editor sends leaves through the external output port: short messages at once or
// with the next audio block, SysEx at once, each lighting the activity light of its part. Callers
// run on the main, audio, MIDI input and worker threads; the port's own lock keeps messages whole.
#include <cstdio>
#include <mutex>

#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"
#include "debugger.h"
#include "kit/plugin/IGraphics.h"
#include "kit/wapi/wapi.h"

namespace {

constexpr int kParts = 8;
constexpr int kAllSoundOff = 123;
// The header of the parameter messages (F0 3E 0F device type part parameter value F7).
constexpr uint8_t kParamMaker = 0x3E;
constexpr uint8_t kParamFamily = 0x0F;
// What the render call leaves for the timer when it sent to the output that is away: the timer
// names the device.
const char kOutputAwayStatus[] = "MIDI Out absent";

int wholeValue(const IParam* param) { return param ? int(param->Value()) : 0; }

} // namespace

int QOR::globalChannel() const { return wholeValue(GetParam(qorid::kGlobalMidiChannel)) & 0x0F; }

int QOR::partChannel(int part) const
{
    if (part < 0 || part >= kParts) return globalChannel();
    const int ch = wholeValue(GetParam(qorid::kMultiPartMIDICh + part));
    // 16 and above, and the -2 of the all-sound-off, stand for the global channel.
    return ch < 0 || ch > 15 ? globalChannel() : ch;
}

int QOR::firstPartOnChannel(int channel) const
{
    for (int k = 0; k < kParts; ++k) {
        if (wholeValue(GetParam(qorid::kMultiPartMIDICh + k)) == channel) return k;
    }
    return -1;
}

void QOR::lightPartLed(int part, bool incoming)
{
    if (trackIncomingMidi != incoming || part < 0 || part >= kParts) return;
    IGraphics* g = GetGUI();
    if (!g) return;
    // A lit light keeps its time, so it runs from the first message. The time goes in before
    // the flag: the audio thread times out a lit light by it.
    if (midiLedOn[size_t(part)].load() == 1) return;
    midiLedOnTime[size_t(part)] = int32_t(mLedClock ? mLedClock() : GetTickCount());
    int32_t off = 0;
    if (!midiLedOn[size_t(part)].compare_exchange_strong(off, 1)) return;
    g->SetParameterFromPlug(qorid::kMIDILed + part, 1.0, false);
}

void QOR::MIDIOutRoutingSwitch(IMidiMsg* msg)
{
    if (!msg) return;
    // To the output that is away nothing is queued: the edit says so at once.
    if (routeMidiToHostBuffer && !outputAway()) {
        std::lock_guard<std::mutex> lock(midiOutQueue.GetLock());
        midiOutQueue.Add(msg);
        return;
    }
    sendMidiMsgAndLog(msg);
}

bool QOR::sendShortMessage(IMidiMsg* msg)
{
    if (!msg) return false;
    // The render call may neither show a status (the control's lock, a copy of the text) nor
    // print (a full pipe blocks): both are left to threads that may.
    const bool render = InRenderCall();
    bool sent = false;
    if (!midiIOSet) {
        if (render)
            mRenderCallStatus = "Set MIDI I/O First!";
        else
            showStatus("Set MIDI I/O First!");
    } else if (outputAway()) {
        // Its port is closed: nothing goes, and nothing lights.
        if (render)
            mRenderCallStatus = kOutputAwayStatus;
        else
            sayOutputAway();
    } else {
        lightPartLed(firstPartOnChannel(msg->Channel()));
        sent = SendMidiMsg(msg);
    }
    if (render)
        mOutPrints.later();
    else
        std::printf("Plug-in MIDI Out ");
    IMidiMsg copy = *msg;
    copy.LogMsg();
    return sent;
}

void QOR::OnEditorTimer()
{
    IPluginAU::OnEditorTimer();
    if (const char* text = mRenderCallStatus.exchange(nullptr)) {
        if (text != kOutputAwayStatus)
            showStatus(text);
        else if (outputAway())
            sayOutputAway();
    }
    showFollowedDevices();
}

void QOR::checksumCheckAndSend(unsigned char* bytes, int length)
{
    if (!midiIOSet) {
        showStatus("Set MIDI I/O First!");
        return;
    }
    if (!bytes || length < 1) return;
    if (outputAway()) {
        sayOutputAway();
        return;
    }
    // The part byte of a parameter message of our family; a shorter message names no part.
    if (length > 5 && bytes[1] == kParamMaker && bytes[2] == kParamFamily) lightPartLed(bytes[5]);
    SendMidiSysex(bytes, length);
    DebuggerOutput::logSysExOutMessageByte(bytes, length);
}

void QOR::AllSoundsOff(int part, bool all)
{
    if (!midiIOSet) return;
    for (int p = all ? 0 : part; p < (all ? kParts : part + 1); ++p) {
        if (all && wholeValue(GetParam(qorid::kMultiPartStatus + p)) == 0) continue;
        IMidiMsg msg(0, uint8_t(0xB0 | partChannel(p)), kAllSoundOff, 0);
        MIDIOutRoutingSwitch(&msg);
    }
}

bool QOR::startDeviceIdEnquiry(bool thenOwedSend, bool asked)
{
    expectGlobalDump = true;
    if (!midiIOSet || outputAway() || deviceTransferActive || !midiManager) return false;
    // While a recall's send is owed, an enquiry takes only the device's id and pays it there.
    thenOwedSend = thenOwedSend || recalledSendOwed;
    SenderJobRecord record;
    record.job = kJobDeviceIdEnquiry;
    record.thenOwedSend = thenOwedSend;
    const auto claimed = [this, thenOwedSend] {
        midiManager->requestComplete = false;
        midiManager->enquiryAdoptsOnlyId = thenOwedSend;
        ++mEnquiriesStarted;
    };
    return asked ? midiManager->startAsked(record, claimed) : midiManager->startJob(record, claimed);
}

void QOR::sendSysExInitialization()
{
    // The choice of a port ended the job under way (OnExternalMIDIPortChanged): its enquiry
    // waits for that job's end rather than be dropped.
    if (startDeviceIdEnquiry(false, true)) Sleep(100);
}

void QOR::SetLibrarianRequestActive(bool active)
{
    dataRequestCompleted = false;
    if (midiManager) {
        if (active) {
            midiManager->expectingEditDump = false;
            midiManager->armRequestBuffer(patternMode       ? SysexFamily::kKindPatterns
                                          : performanceMode ? SysexFamily::kKindPerformances
                                                            : SysexFamily::kKindPrograms);
        } else {
            midiManager->expectingEditDump = true;
            midiManager->disarmRequestBuffers();
        }
        midiManager->requestComplete = false;
    }
    replyArrived = false;
}
