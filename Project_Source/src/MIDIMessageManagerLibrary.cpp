// Requests into library slots: the three receive buffers, the router's library path and the
// starters of the program requests.
#include "MIDIMessageManager.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "SysexFamily.h"

#include <string>

namespace
{

using namespace SysexFamily;

bool sized(int length, size_t size)
{
    return length == int(size);
}

// The program writer's library form carries its bank code (bank + 5, eight banks) in the type byte.
bool programBankCode(uint8_t b)
{
    return b >= kProgramBankCodeBase && b < kProgramBankCodeBase + 8;
}

// Copies one message, brings it into its library form and appends it to patch.
void append(LibrarianPatch& patch, const unsigned char* data, int length, bool isProgram, bool isPattern, int slot)
{
    PatchSysexMessage m;
    m.bytes.assign(data, data + length);
    PatchSysexMessage::checkPatchDataSize(&m, isProgram, isPattern, slot);
    patch.messages.push_back(std::move(m));
}

// A plain program dump, or a performance dump or its follow-up, of the kind the stored entry at
// awaited (a storedAddress) is: the answer of a synthesizer that names no entry. first: the
// message that begins such an answer (the dump).
bool plainAnswer(int awaited, const unsigned char* d, int length, bool& first)
{
    if (awaited < 0 || !MIDIMessageManager::familyMessage(d, length)) return false;
    const uint8_t type = d[kTypeAt];
    if (awaited / 128 >= kProgramBankCodeBase) {
        first = true;
        return sized(length, kProgramDumpSize) && type == kTypeProgramDump;
    }
    first = sized(length, kPerformanceDumpSize) && type == kTypePerformanceDump;
    return first || (sized(length, kFollowUpSize) && type == kTypePerformanceFollowUp);
}

// The name from the first message, and the type the library's reader gives such an entry.
void nameEntry(LibrarianPatch& patch, size_t nameAt, int typeBase)
{
    const SysexBytes& first = patch.messages[0].bytes;
    LibrarianPatch::appendName(patch.name, first, nameAt, first.size() - 1);
    if (typeBase >= 0) patch.patchType = typeBase + modelCodeOf(first[kModelAt]);
}

} // namespace

int MIDIMessageManager::namedAddress(const unsigned char* d, int length)
{
    if (!familyMessage(d, length)) return kAnyAnswer;
    const uint8_t type = d[kTypeAt];
    const bool stored = (sized(length, kStoredProgramSize) && type == kTypeStoredProgram) ||
                        (sized(length, kStoredPerformanceSize) && type == kTypeStoredPerformance) ||
                        (sized(length, kStoredFollowUpSize) && type == kTypeStoredFollowUp);
    return stored ? storedAddress(d[kTypeAt + 1], d[kTypeAt + 2]) : kAnyAnswer;
}

bool MIDIMessageManager::familyMessage(const unsigned char* d, int length)
{
    // Whatever else arrives (another maker's SysEx, a cut or run-on answer) is no entry of the
    // library.
    if (!d || length <= int(kNameAt) || d[0] != kStart || d[length - 1] != kEnd) return false;
    if (d[1] != kMakerId[0] || d[2] != kMakerId[1] || d[3] != kMakerId[2] || d[4] != kFixed) return false;
    if (modelCodeOf(d[kModelAt]) < 0) return false;
    for (int i = 1; i < length - 1; ++i)
        if (d[i] >= kFirstStatusByte) return false;
    return true;
}

bool MIDIMessageManager::LibraryPerformanceRequest::accepts(const unsigned char* data, int length, bool isModel1) const
{
    if (!MIDIMessageManager::familyMessage(data, length)) return false;
    const uint8_t type = data[kTypeAt];
    // The writer's library form carries the slot (a data byte) in place of the type.
    if (patch.messages.empty())
        return sized(length, kPerformanceDumpSize) ||
               (sized(length, kStoredPerformanceSize) &&
                (type == kTypePerformanceDump || type == kTypeStoredPerformance));
    if (patch.messages.size() == 1 && isModel1 && data[kDeviceAt] == device)
        return sized(length, kFollowUpSize) || (sized(length, kStoredFollowUpSize) &&
                                                (type == kTypePerformanceFollowUp || type == kTypeStoredFollowUp));
    return false;
}

bool MIDIMessageManager::LibraryPerformanceRequest::addMessageData(const unsigned char* data, int length, bool isModel1,
                                                                   int slot)
{
    expectedMessages = isModel1 ? 2 : 1;
    if (!accepts(data, length, isModel1)) return false;
    if (patch.messages.empty()) device = data[kDeviceAt];
    append(patch, data, length, false, false, slot);
    if (int(patch.messages.size()) != expectedMessages) return false;
    nameEntry(patch, kNameAt, 6);
    active = false;
    return true;
}

bool MIDIMessageManager::LibraryPatchRequest::accepts(const unsigned char* data, int length)
{
    if (!MIDIMessageManager::familyMessage(data, length)) return false;
    const uint8_t type = data[kTypeAt];
    return (sized(length, kProgramDumpSize) && (type == kTypeProgramDump || programBankCode(type))) ||
           (sized(length, kStoredProgramSize) && type == kTypeStoredProgram);
}

void MIDIMessageManager::LibraryPatchRequest::addMessageData(const unsigned char* data, int length, int slot)
{
    if (!accepts(data, length)) return;
    append(patch, data, length, true, false, slot);
    nameEntry(patch, kNameAt, 0);
    active = false;
}

bool MIDIMessageManager::LibraryPatternRequest::accepts(const unsigned char* data, int length)
{
    return MIDIMessageManager::familyMessage(data, length) && data[kTypeAt] == kTypePattern &&
           (sized(length, kPatternSize) || sized(length, kLibraryPatternSize));
}

void MIDIMessageManager::LibraryPatternRequest::addMessageData(const unsigned char* data, int length, int slot)
{
    if (!accepts(data, length)) return;
    append(patch, data, length, false, true, slot);
    // The reader leaves the type of a pattern stored at its slot open: so does the request.
    nameEntry(patch, kPatternNameAt, -1);
    active = false;
}

bool MIDIMessageManager::strayAnswer(int address) const
{
    const int awaited = awaitedAnswer;
    return address != kAnyAnswer && awaited != kAnyAnswer && address != awaited && !QOR::deliveringOwnSysEx();
}

bool MIDIMessageManager::lateAnswer(const ISysEx* msg)
{
    if (QOR::deliveringOwnSysEx()) return false;
    const unsigned char* d = msg->mData;
    const int length = msg->mSize;
    std::string why;
    switch (answerOf(d, length)) {
    case Due::Early: why = "it came before its request was sent"; break;
    case Due::Stray: why = "it names an entry not asked for"; break;
    case Due::Stale: why = "its request is no longer awaited"; break;
    case Due::Sync: why = "it answers a sync, whose settings are not applied"; break;
    case Due::Earlier: why = "it answers an earlier enquiry"; break;
    case Due::Unasked:
        // Nothing asked for it: it goes where an unrequested dump goes, but never into a slot
        // or a waiting request, nor into the editor in a job's last pauses from another unit.
        if (awaitingAnswer())
            why = "its device was not asked";
        else if (expectingEditDump && !askedInJob(d[kDeviceAt]))
            why = "no request of this job asked its device";
        else
            return false;
        break;
    default: return false;
    }
    controller->log("SYSEX ROUTER: a " + std::to_string(length) + "-byte answer from device " +
                    std::to_string(d[kDeviceAt]) + " dropped: " + why);
    return true;
}

bool MIDIMessageManager::holdsPartialPerformance()
{
    std::lock_guard<std::mutex> lock(mRequestLock);
    return libraryPerformanceRequest.active && !libraryPerformanceRequest.patch.messages.empty();
}

bool MIDIMessageManager::takeIntoLibrary(const ISysEx* msg, bool& kept)
{
    kept = false;
    // The slot the re-framing writes is read first: the librarian's lock is never taken inside
    // the buffers' own.
    int slot = 0;
    if (librarian) {
        std::lock_guard<std::recursive_mutex> hold(librarian->mLock);
        slot = librarian->dropSlot;
    }
    const unsigned char* data = msg->mData;
    const int length = msg->mSize;
    const int address = namedAddress(data, length);
    const int awaited = awaitedAnswer;
    bool first = false;
    if (!QOR::deliveringOwnSysEx() && plainAnswer(awaited, data, length, first)) {
        // The awaited entry was placed already: this is a repeat, and would fill the next slot.
        if (takenAnswer == kAnyAnswer) {
            controller->log("SYSEX ROUTER: a repeated " + std::to_string(length) + "-byte answer from device " +
                            std::to_string(data[kDeviceAt]) + " dropped");
            return true;
        }
    }
    LibrarianPatch received;
    bool complete = false, performance = false;
    {
        std::lock_guard<std::mutex> lock(mRequestLock);
        const bool armed =
            libraryPerformanceRequest.active || libraryPatchRequest.active || libraryPatternRequest.active;
        if (armed && strayAnswer(address)) {
            controller->log("SYSEX ROUTER: an answer for bank code " + std::to_string(data[kTypeAt + 1]) + ", slot " +
                            std::to_string(data[kTypeAt + 2]) + " dropped: not the entry awaited");
            return true;
        }
        const char* refused = nullptr;
        if (libraryPerformanceRequest.active) {
            performance = true;
            const bool model1 = controller->currentModel == 1;
            if (!libraryPerformanceRequest.accepts(data, length, model1)) refused = "performance";
            complete = libraryPerformanceRequest.addMessageData(data, length, model1, slot);
            if (complete) received = libraryPerformanceRequest.patch;
        } else if (libraryPatchRequest.active) {
            if (!libraryPatchRequest.accepts(data, length)) refused = "program";
            libraryPatchRequest.addMessageData(data, length, slot);
            complete = !refused;
            if (complete) received = libraryPatchRequest.patch;
        } else if (libraryPatternRequest.active) {
            if (!libraryPatternRequest.accepts(data, length)) refused = "pattern";
            libraryPatternRequest.addMessageData(data, length, slot);
            complete = !refused;
            if (complete) received = libraryPatternRequest.patch;
        } else {
            return false;
        }
        if (refused) {
            controller->log(std::string("SYSEX ROUTER: the ") + refused + " buffer refused a " +
                            std::to_string(length) + "-byte message" +
                            (length > int(kTypeAt) ? ", type " + std::to_string(data[kTypeAt]) : ""));
            return true;
        }
    }
    kept = true;
    if (!complete) return true;
    bool stored = false;
    {
        // Again under the lock a request moves its slot under: the slot is still the answer's,
        // and the request has not moved on (to the next slot, or ended) since it was taken.
        std::unique_lock<std::recursive_mutex> hold;
        if (librarian) hold = std::unique_lock<std::recursive_mutex>(librarian->mLock);
        if (strayAnswer(address) || awaitedAnswer != awaited) {
            kept = false;
            return true;
        }
        stored = librarian && librarian->setSysexDatatoSelectedSlot(&received);
        if (stored) takenAnswer = address;
    }
    if (performance) expectingEditDump = false;
    // Nothing stored (no upper bank): the request is not answered, so no job reports it done.
    if (!stored) return true;
    controller->updatePatchLibrarianView(0); // the slot shows the received name
    controller->setLibrarianViewDirty();
    requestComplete = true;
    return true;
}

bool MIDIMessageManager::startLibraryProgramJob(const SenderJobRecord& record)
{
    return startAsked(record, [this] {
        armRequestBuffer(kKindPrograms);
        requestComplete = false;
    });
}

bool MIDIMessageManager::sendSinglePatchRequestSysexFromLibrarian(bool currentBuffer, int bank)
{
    SenderJobRecord record;
    record.job = kJobRequestSinglePatch;
    record.currentBuffer = currentBuffer;
    record.bank = bank;
    record.part = controller->selectedPart;
    return startLibraryProgramJob(record);
}

bool MIDIMessageManager::sendAllPatchRequestSysexFromLibrarian(int bank)
{
    SenderJobRecord record;
    record.job = kJobRequestAllPatches;
    record.bank = bank;
    return startLibraryProgramJob(record);
}
