// The requests still due, per device byte, oldest first: which request an answer belongs to.
#include "MIDIMessageManager.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <limits>
#include <string>

#include "GlobalDumps.h"
#include "QOR.h"
#include "SysexFamily.h"

namespace
{
using namespace SysexFamily;
using DueKind = MIDIMessageManager::DueKind;

// What a message from the synthesizer is, as an answer.
enum Shape {
    kNotAnswer,
    kProgram,
    kPerformance,
    kFollowUp,
    kStoredProgram,
    kStoredPerformance,
    kStoredFollowUp,
    kGlobals
};

Shape shapeOf(const unsigned char* d, int length)
{
    if (!d || length <= int(kTypeAt)) return kNotAnswer;
    const size_t n = size_t(length);
    if (GlobalDumps::isFirst(d, n) || GlobalDumps::isSecond(d, n)) return kGlobals;
    if (!MIDIMessageManager::familyMessage(d, length)) return kNotAnswer;
    const uint8_t type = d[kTypeAt];
    if (n == kProgramDumpSize && type == kTypeProgramDump) return kProgram;
    if (n == kPerformanceDumpSize && type == kTypePerformanceDump) return kPerformance;
    if (n == kFollowUpSize && type == kTypePerformanceFollowUp) return kFollowUp;
    if (n == kStoredProgramSize && type == kTypeStoredProgram) return kStoredProgram;
    if (n == kStoredPerformanceSize && type == kTypeStoredPerformance) return kStoredPerformance;
    if (n == kStoredFollowUpSize && type == kTypeStoredFollowUp) return kStoredFollowUp;
    return kNotAnswer;
}

bool named(Shape s)
{
    return s == kStoredProgram || s == kStoredPerformance || s == kStoredFollowUp;
}

// An entry of kind takes a plain answer of shape.
bool takes(DueKind kind, Shape s)
{
    switch (kind) {
    case DueKind::StoredProgram: return s == kProgram;
    case DueKind::StoredPerformance: return s == kPerformance;
    case DueKind::EditBuffer: return s == kProgram || s == kPerformance;
    default: return false;
    }
}

// An entry of kind could take the answers of a request of asked.
bool couldTake(DueKind kind, DueKind asked)
{
    if (kind == DueKind::Enquiry || asked == DueKind::Enquiry) return false;
    return kind == asked || kind == DueKind::EditBuffer || asked == DueKind::EditBuffer;
}
} // namespace

int64_t MIDIMessageManager::dueNow() const
{
    if (dueClock) return dueClock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void MIDIMessageManager::prune(int64_t now)
{
    // A new device id: what was asked at the old one is answered there, if at all.
    const int id = controller ? int(deviceByteFor(controller->deviceId.load())) : 0;
    if (id != mDueDeviceId) {
        if (mDueDeviceId >= 0) forgetDue();
        mDueDeviceId = id;
    }
    // The lists are walked only once an entry has expired.
    if (now < mNextExpiryMs) return;
    mNextExpiryMs = std::numeric_limits<int64_t>::max();
    for (auto& due : mDue) {
        due.erase(std::remove_if(due.begin(), due.end(), [now](const DueEntry& e) { return e.expiresMs <= now; }),
                  due.end());
        for (const DueEntry& e : due) mNextExpiryMs = std::min(mNextExpiryMs, e.expiresMs);
    }
}

uint64_t MIDIMessageManager::beginRequest()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    mAwaitedRequest = ++mLastRequest;
    return mAwaitedRequest;
}

void MIDIMessageManager::endRequest(uint64_t request)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    prune(now);
    if (mAwaitedRequest == request) mAwaitedRequest = 0;
    // Only the editor's own id is asked again: a sweep's entries elsewhere would never end.
    endElsewhere(request, mDueDeviceId);
    for (size_t d = 0; d < mEditRequest.size(); ++d)
        if (mEditRequest[d] == request) mEditEndedMs[d] = now + 1; // 0: none ended
}

void MIDIMessageManager::noteSent(uint64_t request, int deviceByte, int address, DueKind kind, int64_t lifeMs,
                                  int64_t syncWaitMs)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return;
    const int64_t now = dueNow();
    bool capped = false;
    {
        std::lock_guard<std::mutex> lock(mDueLock);
        prune(now);
        auto& due = mDue[size_t(deviceByte)];
        for (; due.size() >= kDueCap; due.pop_front()) capped = !mCapLogged;
        mCapLogged = mCapLogged || capped;
        due.push_back({++mLastSeq, request, address, kind, now + lifeMs, now + syncWaitMs, false});
        mNextExpiryMs = std::min(mNextExpiryMs, now + lifeMs);
        if (kind == DueKind::EditBuffer) mEditRequest[size_t(deviceByte)] = request;
        if (kind == DueKind::Enquiry) mSyncOwed = false;
    }
    if (capped && controller)
        controller->log("SYSEX ROUTER: more than " + std::to_string(kDueCap) + " requests due at device " +
                        std::to_string(deviceByte) + ": the oldest are given up");
}

void MIDIMessageManager::unsend(uint64_t request, int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return;
    std::lock_guard<std::mutex> lock(mDueLock);
    auto& due = mDue[size_t(deviceByte)];
    const auto last =
        std::find_if(due.rbegin(), due.rend(), [request](const DueEntry& e) { return e.request == request; });
    if (last != due.rend()) due.erase(std::next(last).base());
}

void MIDIMessageManager::endElsewhere(uint64_t request, int deviceByte)
{
    for (int d = 0; d < kDeviceBytes; ++d) {
        if (d == deviceByte) continue;
        auto& due = mDue[size_t(d)];
        due.erase(std::remove_if(due.begin(), due.end(), [request](const DueEntry& e) { return e.request == request; }),
                  due.end());
    }
}

MIDIMessageManager::Due MIDIMessageManager::answerOf(const unsigned char* data, int length)
{
    const Shape shape = shapeOf(data, length);
    const int device = shape == kNotAnswer ? -1 : data[kDeviceAt];
    if (device < 0 || device >= kDeviceBytes) return Due::None;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    prune(now);
    auto& due = mDue[size_t(device)];
    OpenReply& open = mOpen[size_t(device)];
    int& tail = mSyncTail[size_t(device)];
    const auto take = [this](uint64_t request) { return request == mAwaitedRequest ? Due::Awaited : Due::Stale; };

    if (shape == kGlobals) {
        const int type = data[kTypeAt];
        if (tail == type) {
            tail = 0;
            return Due::Sync;
        }
        const auto sync =
            std::find_if(due.begin(), due.end(), [](const DueEntry& e) { return e.kind == DueKind::Enquiry; });
        if (sync == due.end()) return Due::None;
        // The synthesizer answers in order: what it has not answered by now, it never will.
        const uint64_t seq = sync->seq;
        due.erase(std::remove_if(due.begin(), due.end(), [seq](const DueEntry& e) { return e.seq <= seq; }), due.end());
        open = {};
        tail = type == kTypeGlobalFirst ? kTypeGlobalSecond : kTypeGlobalFirst;
        return Due::Sync;
    }
    tail = 0;

    const int part = shape == kProgram ? data[kTypeAt + 1] : -1;
    // The rest of one reply: a performance's follow-up, and in an edit buffer's reply the
    // program dumps after its performance, or of later parts.
    const bool followUp = shape == kFollowUp || shape == kStoredFollowUp;
    const bool afterPerformance = open.last == kPerformance || open.last == kStoredPerformance;
    const bool continues =
        open.request &&
        (followUp ? afterPerformance
                  : open.editBuffer && shape == kProgram &&
                        (afterPerformance || open.last == kFollowUp || (open.last == kProgram && part > open.part)));
    if (continues) {
        open.last = shape;
        open.part = part;
        return take(open.request);
    }
    open = {};
    if (followUp) return Due::Unasked;

    std::deque<DueEntry>::iterator it;
    if (named(shape)) {
        const int address = storedAddress(data[kTypeAt + 1], data[kTypeAt + 2]);
        it = std::find_if(due.begin(), due.end(),
                          [address](const DueEntry& e) { return e.kind != DueKind::Enquiry && e.address == address; });
    } else {
        // While a sync waits for its answer, a plain answer is one of the requests before it.
        uint64_t before = std::numeric_limits<uint64_t>::max();
        for (const DueEntry& e : due)
            if (e.kind == DueKind::Enquiry && now < e.syncUntilMs) {
                before = e.seq;
                break;
            }
        it = std::find_if(due.begin(), due.end(), [before, shape](const DueEntry& e) {
            return e.seq < before && !e.namedOnly && takes(e.kind, shape);
        });
    }
    if (it == due.end()) return Due::Unasked;
    const uint64_t request = it->request;
    const bool editBuffer = it->kind == DueKind::EditBuffer;
    due.erase(it);
    // A synthesizer that names its entries names the repeats too.
    if (named(shape))
        for (DueEntry& e : due)
            if (e.request == request) e.namedOnly = true;
    // The same request asked at other ids is answered now; its repeats at this id are still due.
    endElsewhere(request, device);
    if (editBuffer || shape == kPerformance || shape == kStoredPerformance) open = {request, editBuffer, shape, part};
    return take(request);
}

bool MIDIMessageManager::looseEnd(uint64_t request, int deviceByte, DueKind kind, int64_t replyWaitMs)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return false;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    prune(now);
    if (mSyncOwed) return true;
    const int64_t editEnded = mEditEndedMs[size_t(deviceByte)];
    if (editEnded && now - (editEnded - 1) < replyWaitMs) return true;
    const auto& due = mDue[size_t(deviceByte)];
    return std::any_of(due.begin(), due.end(), [request, kind](const DueEntry& e) {
        return e.request != request && !e.namedOnly && couldTake(e.kind, kind);
    });
}

bool MIDIMessageManager::syncPending(uint64_t request)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    prune(now);
    return std::any_of(mDue.begin(), mDue.end(), [request, now](const std::deque<DueEntry>& due) {
        return std::any_of(due.begin(), due.end(), [request, now](const DueEntry& e) {
            return e.request == request && e.kind == DueKind::Enquiry && now < e.syncUntilMs;
        });
    });
}

bool MIDIMessageManager::awaitingAnswer()
{
    {
        std::lock_guard<std::mutex> lock(mDueLock);
        if (mAwaitedRequest) return true;
    }
    return libraryPerformanceRequest.active || libraryPatchRequest.active || libraryPatternRequest.active;
}

int MIDIMessageManager::dueOf(uint64_t request, int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return 0;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    prune(now);
    const auto& due = mDue[size_t(deviceByte)];
    return int(std::count_if(due.begin(), due.end(), [request](const DueEntry& e) { return e.request == request; }));
}

int MIDIMessageManager::dueCount(int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return 0;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    prune(now);
    return int(mDue[size_t(deviceByte)].size());
}

void MIDIMessageManager::clearDue()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    forgetDue();
}

void MIDIMessageManager::forgetDue()
{
    // Answers of what is forgotten may still come (an output closed and opened again reaches the
    // same synthesizer): the next request syncs first. Nothing forgotten, nothing owed.
    for (size_t d = 0; d < mDue.size(); ++d) mSyncOwed = mSyncOwed || !mDue[d].empty() || mOpen[d].request;
    for (auto& due : mDue) due.clear();
    mOpen.fill({});
    mSyncTail.fill(0);
    mEditEndedMs.fill(0);
}
