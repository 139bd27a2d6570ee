// Library data towards the synthesizer: one library entry through the editor into the
// synthesizer's edit buffer (job 4), a whole library bank into one of its memory banks (job 5), and the library's init templates (jobs 15 to 17) delivered through the editor's own
// SysEx input, so an initialised slot is filled by the same path as a slot received from the
// synthesizer.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "LibrarianPatch.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "PatchFile.h"
#include "PatchInitData.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"

namespace sx = SysexFamily;

namespace
{
constexpr size_t kSlotAt = 9;
constexpr size_t kBankAt = 8;
// The performance's follow-up goes in after the performance has been taken.
constexpr int kFollowUpDelayMs = 200;

// The bank write.
constexpr int kBankSlots = 128;
constexpr int kNotesOffSettleMs = 50;
constexpr int kSendAttempts = 3;
constexpr size_t kShortestStored = 10; // the write sets bytes 7 to 9
constexpr size_t kNameAt = 10;
constexpr size_t kNameEnd = 26;
constexpr size_t kTypeAt = sx::kTypeAt;

enum class Kind { Programs, Performances, Patterns };

Kind currentKind(const QOR& q)
{
    return q.patternMode ? Kind::Patterns : q.performanceMode ? Kind::Performances : Kind::Programs;
}

// Messages of an entry a job sends: one, or for performances one at the first model, the
// follow-up too at the second, and whatever the entry holds otherwise.
size_t messagesToSend(Kind kind, int model, size_t held)
{
    return kind != Kind::Performances ? 1 : model == 0 ? 1 : model == 1 ? 2 : held;
}

// Job 4: the edit-buffer dumps an entry's stored messages stand for.
constexpr int kLoadSettleMs = 100;
constexpr int kPerformanceSendSettleMs = 500;
constexpr size_t kPartChannelAt = 30; // of part k at 30 + 44k in the performance dump
constexpr size_t kPartBlock = 44;
constexpr size_t kStandInFollowUp = 26;
constexpr size_t kShortestFollowUp = 20;

// The stored form without its bank and slot bytes (from byte 8 on, dropCount of them), cut to
// the dump's size, header fixed up to type and F7 at its end.
void toDump(std::vector<uint8_t>& b, uint8_t type, size_t dropAt, size_t dropCount, size_t dumpSize)
{
    b[2] = sx::kMakerId[1];
    b[3] = sx::kMakerId[2];
    b[kTypeAt] = type;
    if (b.size() > dumpSize) b.erase(b.begin() + long(dropAt), b.begin() + long(dropAt + dropCount));
    b.resize(dumpSize, 0x00);
    b.back() = sx::kEnd;
}

// Brings stored message m of an entry into the form a memory slot takes. False, with the reason,
// when it is not to be sent: too short, or a status byte inside the message outside the name.
bool forSlot(std::vector<uint8_t>& b, Kind kind, size_t m, int bank, int slot, const QOR& q, std::string& why)
{
    if (b.size() < kShortestStored) {
        why = "shorter than 10 bytes";
        return false;
    }
    const bool named = kind == Kind::Programs || (kind == Kind::Performances && m == 0);
    if (named)
        for (size_t i = kNameAt; i < kNameEnd && i + 1 < b.size(); ++i)
            if (b[i] >= sx::kFirstStatusByte) b[i] = ' ';
    if (kind == Kind::Patterns) {
        // The library's name goes: the synthesizer's slot takes the bare frame.
        b.resize(sx::kPatternSize, 0x00);
        b[kTypeAt] = sx::kTypePattern;
        b[kBankAt] = 0x00;
        b.back() = sx::kEnd;
    } else if (kind == Kind::Programs) {
        b[kTypeAt] = sx::kTypeStoredProgram;
        b[kBankAt] = sx::dataByte(bank + sx::kProgramBankCodeBase);
    } else {
        if (m == 1) {
            if (b.size() < sx::kStoredFollowUpSize) b = PatchInitData::performanceSecondMessage(1);
            b[kTypeAt] = sx::kTypeStoredFollowUp;
        } else if (m == 0) {
            b[kTypeAt] = sx::kTypeStoredPerformance;
        }
        b[kBankAt] = sx::dataByte(bank + sx::kPerformanceBankCodeBase);
    }
    b[kSlotAt] = sx::dataByte(slot);
    b[sx::kModelAt] = sx::modelByteFor(q.currentModel);
    b[sx::kDeviceAt] = sx::dataByte(q.deviceId);
    for (size_t i = 1; i + 1 < b.size(); ++i)
        if (b[i] >= sx::kFirstStatusByte) {
            why = "status byte at " + std::to_string(i);
            return false;
        }
    if (b.front() != sx::kStart || b.back() != sx::kEnd) {
        why = "not framed by F0 and F7";
        return false;
    }
    return true;
}

// A template as the synthesizer would send it: this model, this device, the slot at slotAt.
std::vector<uint8_t> fromTemplate(const std::vector<uint8_t>& templ, const QOR& q, size_t slotAt, int slot)
{
    std::vector<uint8_t> b = templ;
    b[sx::kModelAt] = sx::modelByteFor(q.currentModel);
    b[sx::kDeviceAt] = sx::dataByte(q.deviceId);
    b[slotAt] = sx::dataByte(slot);
    return b;
}
} // namespace

void MIDIMessageSender::deliverToEditor(std::vector<uint8_t>& message)
{
    ISysEx sysex(0, message.data(), int(message.size()));
    controller->deliverOwnSysEx(&sysex);
}

void MIDIMessageSender::markSlotTaken(const char* what)
{
    // Only a slot that took the editor's entry has something to save.
    const MIDIMessageManager* m = controller->midiManager;
    if (m && m->requestComplete)
        controller->SetLibrarianStatusUnsaved(true);
    else
        controller->log(std::string("LIBRARY: the editor's ") + what + " was not taken into the slot");
}

void MIDIMessageSender::initPerformance()
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    const int slot = librarySlot();
    auto performance = fromTemplate(PatchInitData::performanceMessage(1), q, kSlotAt, slot);
    auto followUp = fromTemplate(PatchInitData::performanceSecondMessage(1), q, kSlotAt, slot);
    q.SetLibrarianRequestActive(true);
    // An init entry names no part: a part an earlier request waited for must not hold it back
    // at the controller's gate.
    q.pendingRequestPart = -1;
    deliverToEditor(performance);
    if (pause(kFollowUpDelayMs) && q.currentModel == 1) deliverToEditor(followUp);
    q.DisplayProcessingIndicator(false);
}

void MIDIMessageSender::initClassicPatch()
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    auto program = fromTemplate(PatchInitData::programMessage(0), q, kSlotAt, librarySlot());
    const IParam* bank = q.GetParam(qorid::kRequestFromBank);
    program[kBankAt] = sx::dataByte(int(std::trunc(bank ? bank->Value() : 0.0)) + sx::kProgramBankCodeBase);
    q.SetLibrarianRequestActive(true);
    q.pendingRequestPart = -1;
    deliverToEditor(program);
    q.DisplayProcessingIndicator(false);
}

void MIDIMessageSender::initSequence()
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    // The frame carries the slot in byte 8; the pattern buffer moves it to byte 9 and names it.
    auto pattern = fromTemplate(PatchInitData::patternMessage(), q, kBankAt, librarySlot());
    q.SetLibrarianRequestActive(true);
    q.pendingRequestPart = -1;
    deliverToEditor(pattern);
    q.DisplayProcessingIndicator(false);
}

void MIDIMessageSender::storeAllPatchesToDeviceFromLibrarian(int storeMode, int storeStartSlot, int storeBank,
                                                             int storeCount, int storeTargetSlot)
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    cancelRequested = false;
    IMidiMsg notesOff;
    notesOff.MakeControlChangeMsg(kCCAllNotesOff, 0.0, 0);
    q.sendMidiMsgAndLog(&notesOff);
    PatchLibrarian* lib = q.patchLibrarian;
    const PatchFile* bank = nullptr;
    if (lib) {
        std::lock_guard<std::recursive_mutex> hold(lib->mLock);
        bank = q.libraryPaneBank(storeMode);
    }
    if (!pause(kNotesOffSettleMs) || !bank) {
        q.DisplayProcessingIndicator(false);
        return;
    }
    const Kind kind = currentKind(q);
    const int model = q.currentModel;
    const int period = q.getTimerValue();

    bool stopped = false, failed = false;
    // The synthesizer's slots end at 127 whatever the count.
    const int count = std::min(storeCount, kBankSlots - std::max(storeTargetSlot, 0));
    for (int s = 0; s < count && !stopped; ++s) {
        const int slot = std::max(storeTargetSlot, 0) + s;
        // Only the copy is taken under the lock: the sends and pauses run without it. A retired
        // bank stays readable while this job runs.
        LibrarianPatch entry;
        {
            std::lock_guard<std::recursive_mutex> hold(lib->mLock);
            const long e = long(storeStartSlot) + s;
            if (e >= 0 && size_t(e) < bank->patches.size()) entry = bank->patches[size_t(e)];
        }
        // An empty entry, or one past the bank's end, ends the write.
        if (entry.messages.empty()) break;
        const size_t count = messagesToSend(kind, model, entry.messages.size());
        for (size_t m = 0; m < count; ++m) {
            std::vector<uint8_t> b;
            if (m < entry.messages.size()) {
                b.assign(entry.messages[m].bytes.begin(), entry.messages[m].bytes.end());
            } else if (kind == Kind::Performances && m == 1) {
                b = PatchInitData::performanceSecondMessage(1);
            } else {
                q.log("LIBRARY WRITE: slot " + std::to_string(s) + " has no message " + std::to_string(m + 1));
                continue;
            }
            std::string why;
            if (!forSlot(b, kind, m, storeBank, slot, q, why)) {
                q.log("LIBRARY WRITE: slot " + std::to_string(s) + " message " + std::to_string(m + 1) + " not sent, " + why);
                continue;
            }
            // Nothing answers a stored message: a send the port refused is the only sign of a
            // slot left unwritten, so it is tried again and, failing, ends the write as failed.
            bool sent = sendStored(b);
            for (int attempt = 1; !sent && attempt < kSendAttempts && !cancelRequested; ++attempt) {
                if (!pause(period)) {
                    stopped = true;
                    break;
                }
                sent = sendStored(b);
            }
            if (stopped) break;
            if (!sent && !cancelRequested) {
                q.log("LIBRARY WRITE: slot " + std::to_string(slot) + " message " + std::to_string(m + 1) +
                      " refused by the MIDI output; the write stops");
                failed = true;
                break;
            }
            if (cancelRequested) break;
            if (!pause(period)) {
                stopped = true;
                break;
            }
        }
        if (failed) break;
        q.showStatus(("Writing " + std::to_string(int(s / 1.28)) + "%, please wait..").c_str());
        q.showStatus2(("Processed " + std::to_string(s) + "/127").c_str());
        if (cancelRequested) break;
    }
    q.DisplayProcessingIndicator(false);
    setLibrarySlot(0);
    if (stopped) return;
    endWith(cancelRequested ? "Data write CANCELLED!" : failed ? "Data write FAILED!" : "Data write completed!");
}

void MIDIMessageSender::sendPatchToDeviceFromLibrarian(LibrarianPatch* patch, int part)
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    cancelRequested = false;
    const Kind kind = currentKind(q);
    const int model = q.currentModel;
    // A copy, so the sends and pauses run without the lock.
    EntryMessages entry;
    if (PatchLibrarian* lib = q.patchLibrarian) {
        std::lock_guard<std::recursive_mutex> hold(lib->mLock);
        if (patch) entry = patch->messages;
    } else if (patch) {
        entry = patch->messages;
    }
    const size_t count = kind == Kind::Performances && entry.empty() ? 0 : messagesToSend(kind, model, entry.size());
    bool stopped = false;
    for (size_t i = 0; i < count && !stopped; ++i) {
        q.replyArrived = false;
        // Patterns reach the synthesizer only through the bank write.
        if (kind == Kind::Patterns) continue;
        if (i >= 2 || (kind == Kind::Programs && i > 0)) {
            q.log("LIBRARY SEND: message " + std::to_string(i + 1) + " of the entry is not sent");
            continue;
        }
        std::vector<uint8_t> b;
        if (i < entry.size()) b.assign(entry[i].bytes.begin(), entry[i].bytes.end());
        if (kind == Kind::Programs) {
            if (b.size() < sx::kProgramDumpSize) {
                q.log("LIBRARY SEND: program of " + std::to_string(b.size()) + " bytes not loaded");
                continue;
            }
            toDump(b, sx::kTypeProgramDump, kSlotAt, 1, sx::kProgramDumpSize);
            b[kBankAt] = sx::dataByte(part);
        } else if (i == 0) {
            if (b.size() < sx::kPerformanceDumpSize) {
                q.log("LIBRARY SEND: performance of " + std::to_string(b.size()) + " bytes not loaded");
                continue;
            }
            toDump(b, sx::kTypePerformanceDump, kBankAt, 2, sx::kPerformanceDumpSize);
            // The parts play on channels 0..7 while the library sound is loaded; the entry's own
            // channels are kept for the performance send.
            for (size_t k = 0; k < q.savedPartChannels.size(); ++k) {
                const size_t at = kPartChannelAt + kPartBlock * k;
                q.savedPartChannels[k] = b[at];
                if (q.midiManager) q.midiManager->setFromDump(qorid::kMultiPartMIDICh + int(k), double(k));
                b[at] = uint8_t(k);
            }
        } else {
            if (b.size() < kShortestFollowUp) {
                const auto& standIn = PatchInitData::performanceSecondMessage(1);
                b.assign(standIn.begin(), standIn.begin() + long(kStandInFollowUp));
            }
            toDump(b, sx::kTypePerformanceFollowUp, kBankAt, 2, sx::kFollowUpSize);
        }
        b[sx::kModelAt] = sx::modelByteFor(model);
        b[sx::kDeviceAt] = sx::dataByte(q.deviceId);
        q.SetLibrarianRequestActive(false);
        q.deviceTransferActive = false;
        deliverToEditor(b);
        stopped = !pause(kLoadSettleMs);
    }
    if (!stopped && kind == Kind::Performances) {
        q.sendingAllParts = false;
        q.sendGlobalsFirst = false;
        sendArrangementToDevice(false, true);
        stopped = !pause(kPerformanceSendSettleMs);
    } else if (!stopped && kind == Kind::Programs) {
        q.deviceTransferActive = true;
        if (q.midiManager) q.midiManager->performanceRequestActive = false;
        sendPartToDevice(part, false, true);
    }
    if (q.midiManager) q.midiManager->expectingEditDump = false;
    q.DisplayProcessingIndicator(false);
}
