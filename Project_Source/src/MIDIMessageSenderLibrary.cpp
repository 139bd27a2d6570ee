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
        // A performance dump that waits for its follow-up stays: the follow-up completes it.
        if (!q.midiManager || !q.midiManager->holdsPartialPerformance()) q.SetLibrarianRequestActive(true);
        request(device);
    };
    return plan;
}

// The kind of library entry a request job fills: -1 for a job whose answer goes to the editor.
int libraryKindOf(const SenderJobRecord& r)
{
    switch (r.job) {
    case kJobRequestPart: return r.toEditor ? -1 : SysexFamily::kKindPrograms;
    case kJobRequestActiveArrangement: return r.toEditor ? -1 : SysexFamily::kKindPerformances;
    case kJobRequestSinglePatch:
    case kJobRequestAllPatches: return SysexFamily::kKindPrograms;
    case kJobRequestSingleMulti:
    case kJobRequestAllMultis: return SysexFamily::kKindPerformances;
    case kJobRequestAllSequences: return SysexFamily::kKindPatterns;
    default: return -1;
    }
}
} // namespace

bool MIDIMessageSender::refusedWithoutBank(const SenderJobRecord& record)
{
    const int kind = libraryKindOf(record);
    PatchLibrarian* lib = controller->patchLibrarian;
    if (kind < 0 || (lib && lib->upperBankOf(kind))) return false;
    // The starters armed the buffer already.
    if (controller->midiManager) controller->midiManager->disarmRequestBuffers();
    static const char* const kNoBank[] = {"No PROGRAM bank open in librarian!",
                                          "No PERFORMANCE bank open in librarian!",
                                          "No PATTERN bank open in librarian!"};
    controller->showStatus(kNoBank[kind]);
    return true;
}

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
    if (!m) return;
    m->awaitedAnswer = address, m->takenAnswer = MIDIMessageManager::kNoAnswer;
}

bool MIDIMessageSender::answerTaken(int address) const
{
    const MIDIMessageManager* m = controller->midiManager;
    const int taken = m ? m->takenAnswer.load() : MIDIMessageManager::kAnyAnswer;
    return taken == address || taken == MIDIMessageManager::kAnyAnswer;
}

bool MIDIMessageSender::sendDue(Request r, uint64_t request, int address, DueKind kind, bool checked)
{
    MIDIMessageManager* m = controller->midiManager;
    const int device = r.bytes[SysexFamily::kDeviceAt - 1];
    if (m) m->noteSent(request, device, address, kind);
    const bool sent = checked ? sendChecked(r.bytes, r.length) && controller->midiIOSet : sendDirect(r.bytes, r.length);
    if (!sent && m) m->unsend(request, device, kind);
    return sent;
}

MIDIMessageSender::WaitEnd MIDIMessageSender::readyToAsk(uint64_t request, const WaitPlan& plan, int periodMs,
                                                         int64_t gapMs)
{
    MIDIMessageManager* m = controller->midiManager;
    if (!m) return WaitEnd::Reply;
    const int step = std::max(plan.periodMs, 1);
    const int64_t replyWait = int64_t(plan.timeOutPass) * plan.periodMs;
    // Waits, a period at most at a time, until left answers 0 or less or limit has passed.
    const auto waitUntil = [&](int64_t limit, const std::function<int64_t()>& left) {
        const int64_t from = m->dueNow();
        for (;;) {
            const int64_t due = std::min(left(), limit - (m->dueNow() - from));
            if (due <= 0) return WaitEnd::Reply;
            if (!pause(int(std::min<int64_t>(due, step)))) return WaitEnd::Stopped;
            if (cancelRequested) return WaitEnd::Cancel;
        }
    };
    m->agesAt(periodMs);
    if (m->looseLine()) {
        // The first wait of a request says that it is under way; between a bank's slots its
        // progress stays.
        if (gapMs < 0) controller->showStatus("Data processing, please wait...");
        // One enquiry cleans the line: the synthesizer answers it after everything it still
        // owes, earlier enquiries included, which is dropped. Without its answer, the line is
        // clean once nothing can still be on its way: no dump came and no request went for the
        // longest wait of any request, sweep included, by which time all that is owed is
        // forgotten. A synthesizer slower than that still has its late answers dropped while
        // they are owed.
        const Request enquiry = buildRequest(SysexFamily::kTypeDeviceEnquiry);
        sendDue(enquiry, request, MIDIMessageManager::kAnyAnswer, DueKind::Enquiry);
        const int64_t owed = MIDIMessageManager::replyWaitMs(periodMs);
        // Late answers arriving meanwhile move the end; a line that never settles is taken as
        // it is after twice that.
        const WaitEnd synced =
            waitUntil(2 * owed, [m, owed]() -> int64_t { return m->syncAnswered() ? 0 : m->settleLeft(owed); });
        if (synced != WaitEnd::Reply) return synced;
        m->lineClean();
    }
    const int device = SysexFamily::deviceByteFor(controller->deviceId.load());
    const int64_t gap = gapMs >= 0 ? gapMs : quietGap(periodMs);
    return waitUntil(replyWait, [m, device, gap] { return m->quietLeft(device, gap); });
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
    beginWaitingJob();
    // The low byte of a slot past the bank would name another slot: the last one is asked for.
    const int slot = std::clamp(librarySlot(), 0, kLastSlot);
    // The edit buffer's answer names no entry: any answer is taken, as before any such request.
    const int address =
        bankCode < 0 ? MIDIMessageManager::kAnyAnswer : MIDIMessageManager::storedAddress(bankCode, slot);
    awaitAnswer(address);
    MIDIMessageManager* m = q.midiManager;
    const uint64_t asking = m ? m->beginRequest() : 0;
    q.SetLibrarianRequestActive(true);
    finished = false;
    const int period = q.getTimerValue();
    const DueKind kind = bankCode < 0                                    ? DueKind::EditBuffer
                         : bankCode >= SysexFamily::kProgramBankCodeBase ? DueKind::StoredProgram
                                                                         : DueKind::StoredPerformance;
    WaitPlan plan;
    auto request = [&](int device) { sendDue(build(slot, device), asking, address, kind); };
    plan = libraryWait(q, period, request);
    plan.replyIsOurs = [this, address] { return answerTaken(address); };
    WaitEnd end = readyToAsk(asking, plan, period);
    if (end == WaitEnd::Reply) {
        request(-1);
        q.showStatus("Data processing, please wait...");
        end = waitForReply(plan);
    }
    if (m) m->endRequest(asking, false, quietGap(period));
    // Answers that come after the request has ended would land in whatever slot is selected.
    if (end != WaitEnd::Reply && m) m->disarmRequestBuffers();
    if (address != MIDIMessageManager::kAnyAnswer) awaitAnswer(MIDIMessageManager::kNoAnswer);
    if (end == WaitEnd::TimeOut) endWith("CONNECTION TIMED OUT!");
    if (end != WaitEnd::Reply) finished = true;
    q.DisplayProcessingIndicator(false);
    if (end == WaitEnd::Stopped) return;
    if (end == WaitEnd::Reply) q.SetLibrarianStatusUnsaved(true);
    if (cancelRequested) {
        showCancelled("Data request CANCELLED!");
    } else if (!finished) {
        endWith("Data request completed!");
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
    beginWaitingJob();
    finished = false;
    // Stored entries name no part: a part an earlier edit-buffer request waited for must not
    // hold them back at the controller's gate.
    q.pendingRequestPart = -1;
    const int period = q.getTimerValue();
    const int settle = period / 4;
    if (performances && q.midiManager) q.midiManager->dumpTaken = true;

    int slot = 0;
    MIDIMessageManager* m = q.midiManager;
    // Each slot is a request of its own: answers of an earlier slot are told from its.
    uint64_t asking = 0;
    const DueKind kind = performances ? DueKind::StoredPerformance : DueKind::StoredProgram;
    WaitPlan plan;
    auto request = [&](int device) {
        sendDue(buildStoredRequest(bankCode, slot, device), asking, MIDIMessageManager::storedAddress(bankCode, slot),
                kind);
    };
    plan = libraryWait(q, period, request);
    // A performance of two messages is complete only with the second: the wait starts over
    // in a period in which one was completed.
    if (performances && q.midiManager) plan.restartWhen = [&q] { return bool(q.midiManager->requestComplete); };
    // Each slot takes only its own answer: a late one, or the repeat the sweep asked for, would
    // otherwise fill the next slot and end its wait.
    plan.replyIsOurs = [this, &slot, bankCode] {
        return answerTaken(MIDIMessageManager::storedAddress(bankCode, slot));
    };
    bool stopped = false;
    WaitEnd end = WaitEnd::Reply;
    for (int pass = 0; pass < kBankSlots; ++pass) {
        awaitAnswer(MIDIMessageManager::storedAddress(bankCode, slot), slot);
        if (m && asking) m->endRequest(asking, false, quietGap(period));
        if (m) asking = m->beginRequest();
        q.SetLibrarianRequestActive(true);
        // A stored entry is answered by its own dump (a performance, by its two): once the last
        // slot took it, that reply has ended, and only the settle's quiet is asked. The whole
        // gap before every slot would more than double a bank at the short periods.
        end = readyToAsk(asking, plan, period, pass > 0 ? settle : -1);
        if (end == WaitEnd::Reply) {
            request(-1);
            end = waitForReply(plan);
        }
        // The bank ends at its first silent slot: asking that slot again for every remaining
        // pass would hold the job for minutes and fill nothing.
        if (end == WaitEnd::TimeOut) endWith("CONNECTION TIMED OUT!");
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
        // The slot's reply came: a cancel now leaves the line clean.
        if (!pause(settle)) {
            stopped = true;
            break;
        }
        if (cancelRequested) break;
        ++slot;
    }
    // Disarmed first: a late answer finds no buffer, rather than slot 0.
    if (m) m->endRequest(asking, false, quietGap(period)), m->disarmRequestBuffers();
    awaitAnswer(MIDIMessageManager::kNoAnswer, 0);
    q.DisplayProcessingIndicator(false);
    if (stopped) return;
    if (endedByPort()) {
        // The port changed under the request: what arrived stays, unsaved, as in a bank cut short.
        showCancelled(performances ? "Data request CANCELLED!" : "Data request cancelled!");
    } else if (cancelRequested) {
        endWith(performances ? "Data request CANCELLED!" : "Data request cancelled!");
        // The folders read again drop the received entries: nothing is left unsaved, so the
        // rescan is not refused.
        q.SetLibrarianStatusSaved();
        q.OnParamChange(qorid::kRefreshFolders);
    } else if (!finished) {
        q.SetLibrarianStatusUnsaved(true);
        endWith("Data request completed!");
    }
}
