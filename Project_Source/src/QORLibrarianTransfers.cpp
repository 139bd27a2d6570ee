// Library entries and banks into the synthesizer. The starters only choose the bank and entry and
// hand the transfer to the job thread; a busy thread drops it. They run on the main thread and,
// for incoming program changes, on the MIDI input thread. They hold the librarian's lock while they
// pick a bank and an entry and start the job, never through the waits of performance mode.
//
// Also the dispatch rows that step a part's program, select its bank, and put the editor's data
// into the selected library slot.
#include <algorithm>
#include <mutex>
#include <vector>

#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PatchLibrarian.h"
#include "QORParams.h"
#include "QORProgramValues.h"

using namespace qorid;
using namespace programvalues;

namespace
{

constexpr int kSectionLocks = 22;
constexpr int kLastProgram = 127;
// Performance mode: how the parts are made to follow the performance that job 4 has sent.
constexpr int kJobPollMs = 25;
constexpr int kSettleMs = 500;
constexpr int kPartStepMs = 75;
constexpr int kRequestDelayMs = 1000;
constexpr int kSectionResendDelayMs = 100;

// The pane the slot view selects in: the lower one while no upper slot is selected.
int selectedPane(const QOR& q)
{
    return q.librarianView && q.librarianView->upperSelection < 0 ? 1 : 0;
}

// Job 5 with the slots of r, writing pane's bank into the synthesizer's bank.
void startStore(QOR& q, int pane, int bank, SenderJobRecord r)
{
    if (!q.midiIOSet || !q.midiManager) return;
    // The job takes its bank once it runs; a rescan waits until it has started.
    std::unique_lock<std::recursive_mutex> hold;
    if (q.patchLibrarian) hold = std::unique_lock<std::recursive_mutex>(q.patchLibrarian->mLock);
    r.job = kJobStoreAllPatches;
    r.storeMode = pane;
    r.storeBank = bank;
    q.midiManager->startAsked(r);
}

// A section lock of part is on: a received program leaves some of the editor's values.
bool sectionLockOn(const QOR& q, int part)
{
    for (int s = 0; s < kSectionLocks; ++s) {
        const IParam* lock = q.GetParam(kSectionLockOsc1 + kParts * s + part);
        if (lock && lock->Value() == 1.0) return true;
    }
    return false;
}

// A short message to the port as it is: not queued, not logged, no activity light.
void sendPlain(QOR& q, uint8_t status, int data1, int data2)
{
    IMidiMsg msg(0, status, SysexFamily::dataByte(data1), SysexFamily::dataByte(data2));
    q.SendMidiMsg(&msg);
}

} // namespace

const std::vector<PatchFile*>* QOR::libraryPaneList(int pane) const
{
    if (!patchLibrarian) return nullptr;
    const PatchLibrarian& lib = *patchLibrarian;
    // Category and search banks hold programs: among performances and patterns the lower pane
    // shows the kind's own banks, and the flags wait for the return to programs.
    const bool programs = lib.currentKind == kPatchFilePrograms;
    if (pane != 0 && programs && categoryListShown) return &lib.categoryFiles;
    if (pane != 0 && programs && searchListShown) return &lib.searchFiles;
    return lib.currentKind == kPatchFilePrograms       ? &lib.singleFiles
           : lib.currentKind == kPatchFilePerformances ? &lib.multiFiles
           : lib.currentKind == kPatchFilePatterns     ? &lib.patternFiles
                                                       : nullptr;
}

PatchFile* QOR::libraryPaneBank(int pane) const
{
    const std::vector<PatchFile*>* list = libraryPaneList(pane);
    if (!list) return nullptr;
    const int index = pane != 0 ? patchLibrarian->lowerFileIndex : patchLibrarian->upperFileIndex;
    if (index < 0 || size_t(index) >= list->size()) return nullptr;
    return (*list)[size_t(index)];
}

bool QOR::sendPatchToDeviceFromLibrarian(int slot, int pane, int part, std::function<void()> afterClaim)
{
    if (!patchLibrarian || !midiManager || !validPart(part)) return false;
    {
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        PatchFile* bank = libraryPaneBank(pane);
        if (!bank) return false;
        // Slots past the bank's end are empty slots to the user: the bank becomes whole.
        if (bank->patches.size() < size_t(PatchFile::kBankSize)) bank->patches.resize(PatchFile::kBankSize);
        if (slot < 0 || size_t(slot) >= bank->patches.size() || bank->patches[size_t(slot)].messages.empty())
            return false;
        if (librarianView) librarianView->currentSlot = slot;
        if (midiIOSet) {
            SenderJobRecord r;
            r.job = kJobSendPatchFromLibrarian;
            r.patch = &bank->patches[size_t(slot)];
            r.part = part;
            midiManager->startJob(r, [&afterClaim] {
                if (afterClaim) afterClaim();
            });
        }
    }
    if (!performanceMode) return true;

    // The performance is in the synthesizer's edit buffer once job 4 has ended; the parts load
    // their programs again, and the editor sends the performance back and asks for it.
    libraryPerformanceTransfer = true;
    bool stopping = false;
    do {
        stopping = !transferPause(kJobPollMs);
        if (!stopping) showStatus("Processing, please wait.");
    } while (!stopping && !midiManager->threadIdle(kJobThread));
    // Shut-down ends the wait, and nothing more is sent.
    if (stopping || !transferPause(kSettleMs)) {
        libraryPerformanceTransfer = false;
        return true;
    }
    for (int p = 0; p < kParts; ++p) {
        const int program = SysexFamily::dataByte(whole(*this, kMultiPartPatch + p));
        const int bank = whole(*this, kMultiPartBank + p);
        const uint8_t channel = uint8_t(p);
        // A program change to the program it already has would not reload it.
        sendPlain(*this, uint8_t(0xC0 | channel), program == kLastProgram ? kLastProgram - 1 : program + 1, 0);
        transferPause(kPartStepMs);
        sendPlain(*this, uint8_t(0xB0 | channel), kBankSelectLsb, bank + kProgramBankBase);
        transferPause(kPartStepMs);
        sendPlain(*this, uint8_t(0xC0 | channel), program, 0);
        knownParts.set(p, bank, program);
        transferPause(kPartStepMs);
    }
    SenderJobRecord send;
    send.job = kJobSendArrangement;
    // Only when the job really starts: a running arrangement send keeps its own flags.
    midiManager->startJob(send, [this] {
        sendingAllParts = false;
        sendGlobalsFirst = false;
    });
    libraryPerformanceTransfer = false;
    // The request would be dropped while the send still runs: it waits for its end.
    if (!transferPause(kRequestDelayMs)) return true;
    while (!midiManager->threadIdle(kJobThread))
        if (!transferPause(kJobPollMs)) return true;
    SenderJobRecord request;
    request.job = kJobRequestActiveArrangement;
    request.toEditor = true;
    MIDIMessageManager* m = midiManager;
    m->startJob(request, [m] { m->expectingEditDump = true; });
    return true;
}

void QOR::storeAllPatchesToDeviceFromLibrarian(int pane, int firstEntry, int bank)
{
    SenderJobRecord r;
    r.storeStartSlot = firstEntry;
    startStore(*this, pane, bank, r);
}

void QOR::storeEntryToDeviceFromLibrarian(int pane, int slot, int bank)
{
    if (slot < 0 || slot >= PatchFile::kBankSize) return;
    SenderJobRecord r;
    r.storeStartSlot = slot;
    r.storeCount = 1;
    r.storeTargetSlot = slot;
    startStore(*this, pane, bank, r);
}

void QOR::SendAllProgramsFromLibrarian(int bank)
{
    if (!patchLibrarian) return;
    std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
    patchLibrarian->upperSlot = 0;
    storeAllPatchesToDeviceFromLibrarian(selectedPane(*this), 0, bank);
}

void QOR::SendSingleProgramFromLibrarian(bool)
{
    if (!patchLibrarian) return;
    int slot = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        slot = patchLibrarian->upperSlot;
    }
    sendPatchToDeviceFromLibrarian(slot, selectedPane(*this), selectedPart);
}

void QOR::sendPartDataBackToHardware(int part)
{
    if (midiIOSet && !deviceTransferActive) transferPause(kSectionResendDelayMs);
    if (!validPart(part) || !midiManager || !sectionLockOn(*this, part)) return;
    SenderJobRecord r;
    r.job = kJobSendPart;
    r.part = part;
    r.storeIntoLibrary = false;
    // Never waited for here, under the plug-in's lock: a job that holds the thread (a bank
    // request may run for minutes) costs the resend. After a program step the request
    // itself sends the part back (stepProgram).
    if (!midiManager->startJob(r)) showStatus("Part not sent back, transfer in progress!");
}

bool QOR::releaseRetiredBanks()
{
    if (!patchLibrarian) return false;
    // Every starter holds the lock while it starts a job: an idle thread seen under it stays idle.
    std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
    if (midiManager && !midiManager->threadIdle(kJobThread)) return false;
    patchLibrarian->releaseRetiredBanks();
    return true;
}

// ---- dispatch rows ----

void QOR::requestFromBank(int value)
{
    const int part = selectedPart;
    if (!validPart(part)) return;
    SendBankChangeCommand(value, part);
    if (IParam* current = GetParam(kCurrentBank + part))
        current->Set(std::clamp(double(value), current->GetMin(), current->GetMax()));
    showValue(*this, kMultiPartBank + part, value);
}

void QOR::stepProgram(int part, bool up, int value)
{
    if (performanceMode) showStatus("Disable Multi Mode first");
    // Under an open rename the selected slot is the one being renamed.
    if (value != 1 || !validPart(part) || !renameIdle) return;
    const IParam* lock = GetParam(kPartLock + part);
    if (lock && lock->Value() == 1.0) return;
    const bool changesOff = whole(*this, kMultiPartProgramChange + part) != 0;
    if (changesOff) showStatus("Program Change Disabled.");
    auto step = [up](int n) { return up ? (n >= kLastProgram ? 0 : n + 1) : (n <= 0 ? kLastProgram : n - 1); };
    if (libraryControlMode) {
        if (!patchLibrarian) return;
        int slot = 0;
        {
            std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
            slot = step(patchLibrarian->upperSlot);
            patchLibrarian->upperSlot = slot;
        }
        if (librarianView) librarianView->upperSelection = slot;
        refreshProgramNumberMenu();
        sendPatchToDeviceFromLibrarian(slot, 0, part);
        return;
    }
    if (changesOff) {
        refreshProgramNumberMenu();
        return;
    }
    const int id = performanceMode ? int(kMultiPatch) : kMultiPartPatch + part;
    const bool picked = pickBankOrProgram(id, step(whole(*this, id)), part);
    refreshProgramNumberMenu();
    if (!picked) return;
    bool requested = false;
    if (midiManager && !performanceMode) {
        SenderJobRecord request;
        request.job = kJobRequestPart;
        request.part = part;
        request.toEditor = true;
        // The part goes back once the reply has filled the sections no lock keeps.
        request.sendPartAfterReply = sectionLockOn(*this, part);
        requested = midiManager->startJob(request);
    }
    if (!requested) sendPartDataBackToHardware(part);
}

void QOR::overwriteBank(int value)
{
    if (value != 1 || !renameIdle || !midiManager) return;
    SenderJobRecord r;
    r.storeIntoLibrary = true;
    r.passOn = false;
    if (performanceMode) {
        r.job = kJobSendArrangement;
        // Into the library slot only: neither the globals nor the parts go out.
        midiManager->startAsked(r, [this] {
            sendingAllParts = false;
            sendGlobalsFirst = false;
        });
        return;
    }
    r.job = patternMode ? kJobSendSequence : kJobSendPart;
    r.part = selectedPart;
    midiManager->startAsked(r);
}
