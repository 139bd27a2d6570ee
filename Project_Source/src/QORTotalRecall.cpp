// The host's project state: the chunk the controller writes and reads.
#include <climits>
#include <cstdio>
#include <cstdint>
#include <string>

#include "MIDIMessageManager.h"
#include "PatchManager.h"
#include "QORParams.h"
#include "QOR.h"
#include "TabSwitchFunctions.h"
#include "kit/plugin/IControl.h"

using namespace qorid;

namespace
{

// The editor's own parameters at the end of the table travel as the head and as names, not as
// values.
constexpr int kEditorOwnParams = 148;
// Tag, quick tab and model.
constexpr int kHeadBytes = 4 + 8 + 8;
// The device, bank and patch selections after the patch manager block.
constexpr int kSelectionBytes = 4 * 8;

// The parameter's value toward zero; values are held to their ranges, so only a range beyond
// int could reach the guard.
int intValue(const IParam* param)
{
    const double v = param->Value();
    return v > double(INT_MIN) - 1.0 && v < double(INT_MAX) + 1.0 ? int(v) : 0;
}

// v held to the parameter's range; NaN gives the maximum, as the framework's range reader does.
void setClamped(IParam* param, double v)
{
    param->Set(v < param->GetMin() ? param->GetMin() : (v < param->GetMax() ? v : param->GetMax()));
}

} // namespace

bool QOR::SerializeState2(ByteChunk* chunk, bool full)
{
    const uint32_t tag = PatchManager::kTag; // the bytes 00 00 00 01
    chunk->Put(&tag);
    double quickTab = GetParam(kQuickTab)->Value();
    double model = GetParam(kCurrentModel)->Value();
    chunk->Put(&quickTab);
    chunk->Put(&model);
    SerializeParams(chunk);
    if (full) {
        // The device names travel as names: their list positions differ from machine to machine.
        for (int id : {kDeviceInSelection, kDeviceOutSelection}) {
            const IParam* param = GetParam(id);
            // A chosen device that is away is kept by its name, not by its menu text.
            std::string name = GetExternalMIDIChoice(id == kDeviceInSelection);
            if (name.empty()) name = param->GetDisplayText(intValue(param));
            if (name.empty()) name = "Set Name";
            const int index =
                id == kDeviceInSelection ? PatchManager::kInputDeviceName : PatchManager::kOutputDeviceName;
            {
                std::lock_guard<std::mutex> lock(patchManager->namesLock);
                patchManager->patch.names[size_t(index)] = name;
            }
            setLibrarianViewDirty();
        }
        patchManager->saveAllToChunk(chunk);
        for (int id : {kDeviceInSelection, kDeviceOutSelection, kBankSelection, kPatchSelection}) {
            const IParam* param = GetParam(id);
            double normalized = param->GetNormalized(param->Value());
            chunk->Put(&normalized);
        }
    }
    SerializeNonAutomatedParams(chunk, NNonAutomatedParams() - kEditorOwnParams);
    return true;
}

bool QOR::SerializeState(ByteChunk* chunk)
{
    return SerializeState2(chunk, true);
}

int QOR::UnserializeState(ByteChunk* chunk, int startPos)
{
    return UnserializeState2(chunk, startPos, true);
}

int QOR::checkStateChunk(const ByteChunk& chunk, int pos, bool full, std::string* why) const
{
    uint32_t tag = 0;
    if (pos < 0 || int64_t(chunk.Size()) - pos < kHeadBytes) return *why = "head cut short", -1;
    chunk.Get(&tag, pos);
    if (tag != PatchManager::kTag) return *why = "tag is not 00 00 00 01", -1;
    int64_t at = int64_t(pos) + kHeadBytes + 8 * int64_t(NAutomatedParams());
    if (full) {
        PatchManager::Block block;
        if (at > chunk.Size()) return *why = "values cut short", -1;
        const int next = PatchManager::readBlock(chunk, int(at), &block, why);
        if (next < 0) return -1;
        at = next + int64_t(kSelectionBytes);
    }
    const int values = std::min(NNonAutomatedParams() - kEditorOwnParams, NParams() - NAutomatedParams());
    at += 8 * int64_t(std::max(values, 0));
    if (at > chunk.Size()) return *why = "values cut short", -1;
    return int(at);
}

int QOR::UnserializeState2(ByteChunk* chunk, int startPos, bool full)
{
    KIT_MutexLock lock(GetMutex());
    // A chunk is checked whole first: half a recall would wipe the names, close the devices and
    // send a half-made performance into the synthesizer.
    std::string why;
    if (checkStateChunk(*chunk, startPos, full, &why) < 0) {
        log("PROJECT RECALL: state chunk of " + std::to_string(chunk->Size()) + " bytes refused: " + why);
        return -1;
    }
    // The project's parts stand: a program change kept under the request of before is not followed.
    if (midiManager) midiManager->endKeptPrograms(true);
    int pos = startPos + 4;
    double v = 0.0;
    bool answerFirst = false; // the recalled send waits for the device's answer to an enquiry
    pos = chunk->Get(&v, pos);
    setClamped(GetParam(kQuickTab), v);
    selectedPart = intValue(GetParam(kQuickTab));
    pos = chunk->Get(&v, pos);
    setClamped(GetParam(kCurrentModel), v);
    currentModel = intValue(GetParam(kCurrentModel));
    if (intValue(GetParam(kDeviceOutSelection)) > 0) midiIOSet = true;
    // Whatever an earlier recall owed is this project's to decide.
    if (recalledSendOwed.exchange(false)) showStatus2("");
    ++mRecallDebtDecisions;
    pos = UnserializeParams(chunk, pos);

    if (full) {
        pos = patchManager->loadAllFromChunk(chunk, pos);
        pos += 16; // the two device selections: the devices come back by name
        std::string inName, outName;
        patchManager->getName(&inName, PatchManager::kInputDeviceName);
        log("PROJECT RECALL: MIDI In device stored " + inName);
        // On the library's systems an open port need not lead anywhere: the recalled performance
        // waits until the device's port has taken the connection.
        mOpensAwaitConnection = true;
        int port = 1;
        midiInIndex = setExternalMIDIIn(port, inName.c_str());
        showOpenedDevice(kDeviceInSelection, midiInIndex, inName);
        // An output's enquiry that waited for an input is not run: the job thread is for the
        // recalled performance's send, and the recall brings the device id back itself.
        if (midiInIndex > 0 && mEnquiryAwaitsInput) {
            mEnquiryAwaitsInput = false;
            showStatus2("");
        }
        if (IControl* control = firstControl(kDeviceInSelection))
            control->SetValueFromPlug(
                GetParam(kDeviceInSelection)->GetNormalized(GetParam(kDeviceInSelection)->Value()));
        patchManager->getName(&outName, PatchManager::kOutputDeviceName);
        log("PROJECT RECALL: MIDI Out device stored " + outName);
        port = 1;
        noteOutputOpened(setExternalMIDIOut(port, outName.c_str()));
        mOpensAwaitConnection = false;
        showOpenedDevice(kDeviceOutSelection, midiOutIndex, outName);
        // The open port was closed above: only the stored device can be sent to. One that is
        // away stays followed by its name, and edits say so; the recalled performance goes to
        // it once it is back, with the values of then.
        const bool open = midiOutIndex > 0 && intValue(GetParam(kDeviceOutSelection)) > 0;
        mOwedSentAt = -1;
        // An open port whose connection was made just now may be undone at once (another
        // program holding the device's names, a patchbay) and take the send with it: where an
        // input is chosen to hear the answer, the send is owed until the device has answered an
        // enquiry, also while that input is away or its connection not yet seen.
        answerFirst = open && IsExternalMIDIChosen(true);
        recalledSendOwed = (!open && mOutputChosen) || answerFirst;
        midiIOSet = open || recalledSendOwed;
        // Its enquiry, not the start-up's, asks the device when it is back: the start-up's would
        // take the device's globals over the project's.
        if (recalledSendOwed) initialRequestPending = false;
        // As a choice of the output: with no input the enquiry waits for one, and says so.
        if (open && GetExternalMIDIChoice(true).empty()) {
            mEnquiryAwaitsInput = true;
            showStatus2("MIDI In not set");
        }
        for (int id : {kDeviceInSelection, kDeviceOutSelection}) {
            const IParam* param = GetParam(id);
            log(std::string("PROJECT RECALL: MIDI ") + (id == kDeviceInSelection ? "In" : "Out") +
                " device after checking devices " + param->GetDisplayText(intValue(param)));
        }
        double bank = 0.0, patch = 0.0;
        pos = chunk->Get(&patch, chunk->Get(&bank, pos));
        GetParam(kBankSelection)->SetNormalized(bank);
        GetParam(kPatchSelection)->SetNormalized(patch);
    }
    // The values are restored whether or not an output is open: the host is told the recall
    // worked, and its next save would write the old values over the project.
    pos = UnserializeNonAutomatedParams(chunk, pos, NNonAutomatedParams() - kEditorOwnParams);
    deviceId = intValue(GetParam(kGlobalMidiChannel));
    log("PROJECT RECALL: hardware DeviceID " + std::to_string(deviceId.load()));
    std::string name, pattern;
    patchManager->getName(&name, 0);
    GetParam(kMultiName)->SetDisplayText(0, name.c_str());
    log("PROJECT RECALL: Multi name " + name);
    for (int part = 0; part < 8; ++part) {
        patchManager->getName(&name, PatchManager::kFirstProgramName + part);
        patchManager->getName(&pattern, PatchManager::kFirstPatternName + part);
        GetParam(kPatchName + part)->SetDisplayText(0, name.c_str());
        GetParam(kPatternName + part)->SetDisplayText(0, pattern.c_str());
        log("PROJECT RECALL: Part " + std::to_string(part) + " name " + name + " | Pattern name " + pattern);
    }
    // The read-out shows the recalled program of the shown part at once, not at the next page
    // switch.
    TabSwitchFunctions::showPartNames(this, selectedPart, selectedPart);

    SenderJobRecord record;
    record.job = kJobSendArrangement;
    MIDIMessageManager* manager = midiManager;
    const char* const busy = "PROJECT RECALL: the MIDI job thread is busy, the performance is sent once it is idle";
    // On the library's systems an open output is the device's once the follower sees it connected.
    const bool awaited = recalledSendOwed && ExternalMIDIAwaitsConnection(false);
    if (awaited)
        log("PROJECT RECALL: the stored MIDI output is not connected yet, the performance is sent once it is");
    else if (recalledSendOwed && !answerFirst)
        log("PROJECT RECALL: the stored MIDI output is away, the performance is sent when it is back");
    else if (!midiIOSet)
        log("PROJECT RECALL: no MIDI output is open, the performance is not sent");
    else if (!manager)
        log("PROJECT RECALL: no MIDI job thread, the performance is not sent");
    else if (answerFirst) {
        log("PROJECT RECALL: the performance is sent once the device of the stored MIDI output answers");
        // A busy job thread leaves it owed: the render call pays it once the thread is idle.
        if (!startOwedSend()) log(busy);
    } else if (!manager->startJob(record, [this] {
                   mSendPaysRecall = kPaysOnce;
                   raiseWholeSendFlags();
               })) {
        // A job still ending (one the port change above cut short) would lose the performance:
        // it stays owed, paid as a returning device's is when the job thread is idle.
        recalledSendOwed = true;
        initialRequestPending = false;
        log(busy);
    }

    dawOffset = 2 * intValue(GetParam(kAdjustDAWOffset)) + GetBlockSize();
    log(std::string("PROJECT RECALL: MIDI In device after nonautomated params ") +
        GetParam(kDeviceInSelection)->GetDisplayText(intValue(GetParam(kDeviceInSelection))));
    log(std::string("PROJECT RECALL: MIDI Out device after nonautomated params ") +
        GetParam(kDeviceOutSelection)->GetDisplayText(intValue(GetParam(kDeviceOutSelection))));

    // Every filter blocks and every switch is off unless its parameter says exactly 1.
    auto on = [this](int id) { return GetParam(id)->Value() == 1.0; };
    for (int i = 0; i < kMidiFilterCount; ++i) midiFilterSwitches[size_t(i)] = !on(kMIDIFilterDAWCCPassThrough + i);
    trackIncomingMidi = on(kMIDIFilterTrackIncomingMIDI);
    routeMidiToHostBuffer = on(kMIDIFilterToDAWBuffer);
    sendClockPointer = on(kSendMIDIClockPointer);
    sendClockInfo = on(kSendMIDIClockInfo);

    startupComplete = true;
    showStatus("Project Data Recalled");
    // The line above covers the device menu's notice: the device that is awaited is named below.
    if (recalledSendOwed && !awaited && !answerFirst)
        showStatus2(awayText(false).c_str());
    return pos;
}

void QOR::raiseWholeSendFlags()
{
    deviceTransferActive = true;
    sendGlobalsFirst = true;
    sendingAllParts = true;
    incomingMidiBlocked = true;
    if (midiManager) midiManager->sendInProgress = true;
}

bool QOR::startOwedSend(bool asked)
{
    // The start-up's own enquiry would ask the same, and take the device's globals.
    initialRequestPending = false;
    if (midiInIndex > 0) return startDeviceIdEnquiry(true, asked);
    // The chosen input is away, or its connection not seen yet: the device's answer is awaited
    // once it is back, whatever the output does meanwhile (another program may hold its names).
    if (IsExternalMIDIChosen(true)) return true;
    // Nothing could hear the enquiry's answer: the performance goes at the id the editor has,
    // once, and stays owed until an input's enquiry finds out whether that id was the device's.
    if (mOwedSentAt >= 0) return true;
    if (deviceTransferActive) return false;
    SenderJobRecord record;
    record.job = kJobSendArrangement;
    const auto claimed = [this] {
        const int32_t id = deviceId;
        mOwedSentAt = id;
        mSendPaysRecall = kPaysUnconfirmed;
        raiseWholeSendFlags();
        // Perhaps on the render call: the line is written by the printer's thread.
        char line[DeferredPrinter::kLineBytes];
        std::snprintf(line, sizeof line,
                      "PROJECT RECALL: the output is back, the recalled performance is sent at DeviceID %d "
                      "with no input to confirm it",
                      int(id));
        mOutPrints.laterLine(line);
    };
    return asked ? midiManager->startAsked(record, claimed) : midiManager->startJob(record, claimed);
}
