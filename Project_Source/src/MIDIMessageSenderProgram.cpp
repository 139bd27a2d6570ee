// The program send (job 2) and the part request (job 7): one part's program dump out of the
// editor, or the synthesizer's edit buffer of its selected part back in.
#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "ProgramDump.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"

namespace
{
// Every program dump sent is followed by this pause, so the synthesizer has stored it before
// the next message comes.
constexpr int kAfterDumpMs = 150;
constexpr int kRequestSweepPass = 30;
constexpr int kRequestTimeOutPass = 35;

} // namespace

void MIDIMessageSender::sendPartToDevice(int part, bool storeIntoLibrary, bool)
{
    QOR& q = *controller;
    MIDIMessageManager* m = q.midiManager;
    if (part < 0 || part >= ProgramDump::kParts) {
        if (m) m->sendInProgress = false;
        return;
    }
    const bool allParts = q.sendingAllParts;
    if (!allParts) q.DisplayProcessingIndicator(true);

    const IParam* nameParam = q.GetParam(qorid::kPatchName + part);
    const std::string name = nameParam ? nameParam->CopyDisplayText(0) : std::string();
    std::array<uint8_t, ProgramDump::kSize> dump;
    ProgramDump::write(
        [&q](int id) {
            const IParam* p = q.GetParam(id);
            return p ? p->Value() : 0.0;
        },
        part, SysexFamily::modelByteFor(q.currentModel), name, dump.data());

    if (storeIntoLibrary) {
        // The library form: bank code and slot where the type and part stand, handed to the
        // router as if the synthesizer had sent it, so it lands in the armed buffer's slot.
        const IParam* bank = q.GetParam(qorid::kRequestFromBank);
        const int bankCode = SysexFamily::wholeValue(bank ? bank->Value() : 0.0) + SysexFamily::kProgramBankCodeBase;
        dump[SysexFamily::kTypeAt] = SysexFamily::dataByte(bankCode);
        dump[ProgramDump::kPartAt] = SysexFamily::dataByte(q.patchLibrarian ? q.patchLibrarian->upperSlot : 0);
        q.SetLibrarianRequestActive(true);
        std::vector<uint8_t> message(dump.begin(), dump.end());
        deliverToEditor(message);
        markSlotTaken("program");
    } else {
        if (!allParts) {
            if (patchManager) {
                std::lock_guard<std::mutex> lock(patchManager->namesLock);
                auto& names = patchManager->patch.names;
                if (size_t(part) + 1 < names.size()) names[size_t(part) + 1] = name.empty() ? "Set Name" : name;
            }
            q.setLibrarianViewDirty();
            if (part == q.selectedPart) q.displayPatchName(name);
        }
        sendChecked(dump.data(), int(dump.size()));
        pause(kAfterDumpMs);
        if (part == ProgramDump::kParts - 1 && allParts) {
            q.deviceTransferActive = false;
            q.sendingAllParts = false;
        } else if (!allParts) {
            q.deviceTransferActive = false;
        }
        q.DisplayProcessingIndicator(false);
    }
    if (!q.sendingAllParts) q.DisplayProcessingIndicator(false);
    // Last: the performance send waits on it between parts.
    if (m) m->sendInProgress = false;
}

void MIDIMessageSender::sendPartRequestSysex(int part, bool toEditor, bool sendPartAfterReply)
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    beginWaitingJob();
    finished = false;
    // Without a port no answer can come: say so now rather than after the time-out.
    if (!q.midiIOSet) {
        finished = true;
        q.pendingRequestPart = -1;
        q.DisplayProcessingIndicator(false);
        q.showStatus("Set MIDI I/O First!");
        return;
    }
    // To the editor this disarms every library buffer and expects the edit dump.
    q.SetLibrarianRequestActive(!toEditor);
    const int period = q.getTimerValue();
    q.pendingRequestPart = part;
    MIDIMessageManager* m = q.midiManager;
    // A late answer of an earlier request must not pass for this part's program.
    const uint64_t asking = m ? m->beginRequest() : 0;
    WaitPlan plan;
    plan.periodMs = period;
    plan.sweepPass = kRequestSweepPass;
    plan.timeOutPass = kRequestTimeOutPass;
    plan.sweepStepMs = period;
    plan.request = [this, asking](int device) {
        sendDue(buildRequest(SysexFamily::kTypeRequestEditBuffer, device), asking, MIDIMessageManager::kAnyAnswer,
                DueKind::EditBuffer);
    };
    plan.cancelFirst = true;
    WaitEnd end = readyToAsk(asking, plan, period);
    if (end == WaitEnd::Reply) {
        plan.request(-1);
        pause(period);
        q.showStatus("Data processing, please wait...");
        end = waitForReply(plan);
    }
    if (m) m->endRequest(asking, toEditor, quietGap(period));
    if (end == WaitEnd::TimeOut) endWith("CONNECTION TIMED OUT!");
    if (end != WaitEnd::Reply) finished = true;
    if (!toEditor || end != WaitEnd::Reply) pause(period);

    q.DisplayProcessingIndicator(false);
    if (cancelRequested)
        showCancelled("Data request CANCELLED!");
    else if (!finished) {
        endWith("Data request completed!");
        if (!toEditor) q.SetLibrarianStatusUnsaved(true);
    }
    q.pendingRequestPart = -1;
    // Without the reply the editor still holds the previous program: nothing goes back.
    if (sendPartAfterReply && end == WaitEnd::Reply && !mStopping) {
        if (MIDIMessageManager* m = q.midiManager) m->sendInProgress = true;
        sendPartToDevice(part, false, true);
    }
}

void MIDIMessageSender::GenTapPatternCode(char* code, char* steps)
{
    ProgramDump::encodeTapPattern(reinterpret_cast<const int8_t*>(steps), reinterpret_cast<uint8_t*>(code));
}
