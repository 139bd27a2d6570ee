// Requests into library slots: one program of the synthesizer's memory or edit buffer (job 11)
// or one stored performance (job 9), and whole banks slot after slot (jobs 12 and 10). The
// reply lands in the librarian's upper slot through the armed receive buffer.
#include <algorithm>
#include <functional>
#include <mutex>
#include <string>

#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"

namespace
{
constexpr int kLibrarySweepPass = 25;
constexpr int kLibraryTimeOutPass = 30;
constexpr int kLastSlot = 127;
constexpr int kBankSlots = 128;

// The wait of every library request: sweep in the 25th period, give up in the 30th, the cancel
// tested first. Each id of the sweep finds the buffer armed and empty, as the first request did.
MIDIMessageSender::WaitPlan libraryWait(QOR& q, int period, const std::function<void(int device)>& request)
{
    MIDIMessageSender::WaitPlan plan;
    plan.periodMs = period;
    plan.sweepPass = kLibrarySweepPass;
    plan.timeOutPass = kLibraryTimeOutPass;
    plan.sweepStepMs = period;
    plan.cancelFirst = true;
    plan.request = [&q, request](int device) {
        q.SetLibrarianRequestActive(true);
        request(device);
    };
    return plan;
}
} // namespace

int MIDIMessageSender::librarySlot() const
{
    PatchLibrarian* lib = controller->patchLibrarian;
    if (!lib) return 0;
    std::lock_guard<std::recursive_mutex> hold(lib->mLock);
    return lib->upperSlot;
}

void MIDIMessageSender::setLibrarySlot(int slot)
{
    PatchLibrarian* lib = controller->patchLibrarian;
    if (!lib) return;
    std::lock_guard<std::recursive_mutex> hold(lib->mLock);
    lib->upperSlot = slot;
}

void MIDIMessageSender::awaitAnswer(int address, int slot)
{
    MIDIMessageManager* m = controller->midiManager;
    PatchLibrarian* lib = controller->patchLibrarian;
    std::unique_lock<std::recursive_mutex> hold;
    if (lib) hold = std::unique_lock<std::recursive_mutex>(lib->mLock);
    if (lib && slot >= 0) lib->upperSlot = slot;
    if (m) m->awaitedAnswer = address, m->takenAnswer = MIDIMessageManager::kNoAnswer;
}

bool MIDIMessageSender::answerTaken(int address) const
{
    const MIDIMessageManager* m = controller->midiManager;
    const int taken = m ? m->takenAnswer.load() : MIDIMessageManager::kAnyAnswer;
    return taken == address || taken == MIDIMessageManager::kAnyAnswer;
}

void MIDIMessageSender::sendSinglePatchRequestSysex(bool currentBuffer, int bank, int part)
{
    const int bankCode = bank + SysexFamily::kProgramBankCodeBase;
    requestSlotIntoLibrary(
        [this, currentBuffer, bankCode, part](int slot, int device) {
            controller->pendingRequestPart = currentBuffer ? part : -1;
            return currentBuffer ? buildRequest(SysexFamily::kTypeRequestEditBuffer, device)
                                 : buildStoredRequest(bankCode, slot, device);
        },
        currentBuffer ? -1 : bankCode);
}

void MIDIMessageSender::sendSingleMultiRequestSysex(int bank)
{
    if (controller->midiManager) controller->midiManager->dumpTaken = true;
    const int bankCode = bank + SysexFamily::kPerformanceBankCodeBase;
    requestSlotIntoLibrary(
        [this, bankCode](int slot, int device) {
            // A stored performance names no part: no part's gate may refuse it.
            controller->pendingRequestPart = -1;
            return buildStoredRequest(bankCode, slot, device);
        },
        bankCode);
}

void MIDIMessageSender::requestSlotIntoLibrary(const std::function<Request(int slot, int device)>& build, int bankCode)
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    cancelRequested = false;
    // The low byte of a slot past the bank would name another slot: the last one is asked for.
    const int slot = std::clamp(librarySlot(), 0, kLastSlot);
    // The edit buffer's answer names no entry: any answer is taken, as before any such request.
    const int address =
        bankCode < 0 ? MIDIMessageManager::kAnyAnswer : MIDIMessageManager::storedAddress(bankCode, slot);
    awaitAnswer(address);
    q.SetLibrarianRequestActive(true);
    finished = false;
    const int period = q.getTimerValue();
    auto request = [&](int device) {
        Request r = build(slot, device);
        sendDirect(r.bytes, r.length);
    };
    request(-1);
    q.showStatus("Data processing, please wait...");

    WaitPlan plan = libraryWait(q, period, request);
    if (address != MIDIMessageManager::kAnyAnswer) plan.replyIsOurs = [this, address] { return answerTaken(address); };
    const WaitEnd end = waitForReply(plan);
    // Answers that come after the request has ended would land in whatever slot is selected.
    if (address != MIDIMessageManager::kAnyAnswer) awaitAnswer(MIDIMessageManager::kNoAnswer);
    if (end == WaitEnd::TimeOut) q.showStatus("CONNECTION TIMED OUT!");
    if (end != WaitEnd::Reply) finished = true;
    q.DisplayProcessingIndicator(false);
    if (end == WaitEnd::Stopped) return;
    if (cancelRequested) {
        q.showStatus("Data request CANCELLED!");
    } else if (!finished) {
        q.SetLibrarianStatusUnsaved(true);
        q.showStatus("Data request completed!");
    }
}

void MIDIMessageSender::sendAllPatchRequestSysex(int bank)
{
    requestBankIntoLibrary(bank + SysexFamily::kProgramBankCodeBase, false);
}

void MIDIMessageSender::sendAllMultiRequestSysex(int bank)
{
    requestBankIntoLibrary(bank + SysexFamily::kPerformanceBankCodeBase, true);
}

void MIDIMessageSender::requestBankIntoLibrary(int bankCode, bool performances)
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    cancelRequested = false;
    finished = false;
    // Stored entries name no part: a part an earlier edit-buffer request waited for must not
    // hold them back at the controller's gate.
    q.pendingRequestPart = -1;
    const int period = q.getTimerValue();
    const int settle = period / 4;
    if (performances && q.midiManager) q.midiManager->dumpTaken = true;

    int slot = 0;
    auto request = [&](int device) {
        Request r = buildStoredRequest(bankCode, slot, device);
        sendDirect(r.bytes, r.length);
    };
    WaitPlan plan = libraryWait(q, period, request);
    // A performance of two messages is complete only with the second: the wait starts over
    // in a period in which one was completed.
    if (performances && q.midiManager) plan.restartWhen = [&q] { return bool(q.midiManager->requestComplete); };
    // Each slot takes only its own answer: a late one, or the repeat the sweep asked for, would
    // otherwise fill the next slot and end its wait.
    plan.replyIsOurs = [this, &slot, bankCode] {
        return answerTaken(MIDIMessageManager::storedAddress(bankCode, slot));
    };
    bool stopped = false;
    for (int pass = 0; pass < kBankSlots; ++pass) {
        awaitAnswer(MIDIMessageManager::storedAddress(bankCode, slot), slot);
        q.SetLibrarianRequestActive(true);
        request(-1);
        const WaitEnd end = waitForReply(plan);
        // The bank ends at its first silent slot: asking that slot again for every remaining
        // pass would hold the job for minutes and fill nothing.
        if (end == WaitEnd::TimeOut) q.showStatus("CONNECTION TIMED OUT!");
        if (end != WaitEnd::Reply) {
            finished = true;
            stopped = end == WaitEnd::Stopped;
            break;
        }
        // The bank is edited from its first received slot on: a bank that ends early holds new
        // and old entries, and must not pass for the file on disk.
        if (pass == 0) q.SetLibrarianStatusUnsaved(true);
        q.showStatus(("Please wait! " + std::to_string(int(pass / 1.28)) + "% received..").c_str());
        q.showStatus2(("Processed " + std::to_string(pass) + "/127").c_str());
        if (!pause(settle)) {
            stopped = true;
            break;
        }
        if (cancelRequested) break;
        ++slot;
    }
    awaitAnswer(MIDIMessageManager::kNoAnswer, 0);
    q.DisplayProcessingIndicator(false);
    if (stopped) return;
    if (cancelRequested) {
        q.showStatus(performances ? "Data request CANCELLED!" : "Data request cancelled!");
        // The folders read again drop the received entries: nothing is left unsaved, so the
        // rescan is not refused.
        q.SetLibrarianStatusSaved();
        q.OnParamChange(qorid::kRefreshFolders);
    } else if (!finished) {
        q.SetLibrarianStatusUnsaved(true);
        q.showStatus("Data request completed!");
    }
}
