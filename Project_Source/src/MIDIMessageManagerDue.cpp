// Which request a dump from the synthesizer belongs to. The synthesizer answers in the order it
// is asked, each reply a burst: while a request waits, every dump from an id it was sent to is
// its own, whatever its kinds, number and order; a reply has ended once its device went quiet.
// (The protocol compares no ids and guesses no reply; membership by the ids asked, the quiet
// wait, the sync after a loose end and the age of what is owed are our own, since every guess
// of a reply's shape missed some synthesizer.)
#include "MIDIMessageManager.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "GlobalDumps.h"
#include "QOR.h"
#include "SysexFamily.h"

namespace
{
using namespace SysexFamily;

// Dumps are at least this long; shorter messages are echoes, answers and notices.
constexpr int kShortestDump = 25;

// The longest waits of a request: the performance request to the editor (its passes and a
// sweep of every id, a period each), and into the library (fixed steps).
constexpr int64_t kLongestWaitPeriods = 50 + 16;
constexpr int64_t kLongestFixedWaitMs = 200 * 25;

} // namespace

int64_t MIDIMessageManager::dueNow() const
{
    if (dueClock) return dueClock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void MIDIMessageManager::followDeviceId()
{
    // A new device id: what was asked at the old one is answered there, if at all.
    const int id = controller ? int(deviceByteFor(controller->deviceId.load())) : 0;
    if (id == mDueDeviceId) return;
    if (mDueDeviceId >= 0) {
        // The id is adopted from an enquiry's first global dump: its second is still that
        // answer's (forgetDue keeps the pair).
        forgetDue();
    }
    mDueDeviceId = id;
}

int64_t MIDIMessageManager::replyWaitMs(int periodMs)
{
    return std::max(kLongestWaitPeriods * periodMs, kLongestFixedWaitMs);
}

void MIDIMessageManager::agesAt(int periodMs)
{
    std::lock_guard<std::mutex> lock(mDueLock);
    mAgeMs = replyWaitMs(periodMs);
}

void MIDIMessageManager::forgetAged(int64_t now)
{
    // Until a wait set it: the poll period's default.
    if (!mAgeMs) mAgeMs = replyWaitMs(100);
    // Every dump comes through here: nothing to look at until the oldest can have aged.
    if (now - mOldestOwedMs < mAgeMs) return;
    const auto aged = [this, now](const Owed& o) { return o.send && now - o.ms >= mAgeMs; };
    int64_t oldest = kNeverOwed;
    for (auto& owed : mEnquiriesOwed) {
        owed.erase(std::remove_if(owed.begin(), owed.end(), aged), owed.end());
        if (!owed.empty()) oldest = std::min(oldest, owed.front().ms);
    }
    for (Owed& o : mRequestOwed) {
        if (aged(o)) o = {};
        if (o.send) oldest = std::min(oldest, o.ms);
    }
    mOldestOwedMs = oldest;
}

void MIDIMessageManager::discharge(uint64_t send)
{
    for (int d = 0; d < kDeviceBytes; ++d) {
        auto& owed = mEnquiriesOwed[size_t(d)];
        owed.erase(std::remove_if(owed.begin(), owed.end(), [send](const Owed& o) { return o.send < send; }),
                   owed.end());
        if (mRequestOwed[size_t(d)].send < send) mRequestOwed[size_t(d)] = {};
    }
}

bool MIDIMessageManager::owe(const Asking& asking)
{
    bool any = false;
    for (int d = 0; d < kDeviceBytes; ++d) {
        const size_t i = size_t(d);
        // An id asked again after its answer owes the second answer.
        if (!asking.sends[i] || (asking.answered[i] && asking.sends[i] < 2)) continue;
        if (asking.last[i].send > mRequestOwed[i].send) mRequestOwed[i] = asking.last[i];
        mOldestOwedMs = std::min(mOldestOwedMs, mRequestOwed[i].ms);
        any = true;
    }
    return any;
}

uint64_t MIDIMessageManager::beginRequest()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    followDeviceId();
    mAsk = {};
    mAsk.request = ++mLastRequest;
    // Once another request is asked, nothing of the last one decides where a dump goes.
    mEnded = {};
    return mAsk.request;
}

void MIDIMessageManager::endRequest(uint64_t request, bool editorTakes, int64_t quietMs)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    if (mAsk.request != request) return;
    // An answer that never came may come yet, and one the sweep asked for twice comes twice: the
    // next request cleans the line first, and until then such an answer goes nowhere.
    // A named repeat too: it passes for the next request of its entry, which may have changed
    // meanwhile, and whatever the synthesizer sends after it comes as late.
    if (owe(mAsk)) mLoose = true;
    mEnded = mAsk;
    mEnded.editorTakes = editorTakes;
    mEnded.endedMs = now;
    mEnded.quietMs = quietMs;
    mAsk = {};
}

void MIDIMessageManager::noteSent(uint64_t request, int deviceByte, int address, DueKind kind)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    followDeviceId();
    const Owed sent{now, ++mSends};
    // Enquiries are answered with global dumps, never taken for a request's answer.
    if (kind != DueKind::Enquiry) mLastAskedMs = now;
    if (kind == DueKind::Enquiry) {
        // Capped: a synthesizer that ignores enquiries is cleared of them by their age.
        auto& owed = mEnquiriesOwed[size_t(deviceByte)];
        if (owed.size() >= size_t(kDueCap)) owed.erase(owed.begin());
        owed.push_back(sent);
        mOldestOwedMs = std::min(mOldestOwedMs, owed.front().ms);
        if (request) {
            mSyncRequest = request;
            mSyncAnswered = false;
            mSyncSend = sent.send;
        } else if (!mSyncSend) {
            mSyncSend = sent.send;
        }
        return;
    }
    if (mAsk.request != request) return;
    mJobAsked[size_t(deviceByte)] = true;
    mAsk.sent = true;
    mAsk.address = address;
    // Counted, not listed: a request sends at most once per id and sweep.
    const size_t i = size_t(deviceByte);
    if (mAsk.sends[i] < kDueCap) ++mAsk.sends[i];
    if (!mAsk.first[i].send) mAsk.first[i] = sent;
    mAsk.last[i] = sent;
}

void MIDIMessageManager::unsend(uint64_t request, int deviceByte, DueKind kind)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return;
    std::lock_guard<std::mutex> lock(mDueLock);
    // The port may have taken part of it: what the synthesizer makes of that is unknown.
    mLoose = true;
    if (kind == DueKind::Enquiry) {
        auto& owed = mEnquiriesOwed[size_t(deviceByte)];
        if (!owed.empty()) owed.pop_back();
        return;
    }
    if (mAsk.request == request && mAsk.sends[size_t(deviceByte)] > 0) --mAsk.sends[size_t(deviceByte)];
}

MIDIMessageManager::Due MIDIMessageManager::answerOf(const unsigned char* data, int length)
{
    if (!data || length < kShortestDump) return Due::None;
    const size_t n = size_t(length);
    const bool globals = GlobalDumps::isFirst(data, n) || GlobalDumps::isSecond(data, n);
    if (!globals && !familyMessage(data, length)) return Due::None;
    const int device = data[kDeviceAt];
    if (device < 0 || device >= kDeviceBytes) return Due::None;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    followDeviceId();
    forgetAged(now);

    if (globals) {
        // Something came: a wait for an enquiry's answer is not quiet.
        mLastAnyDumpMs = now;
        // An enquiry's answer is a pair of global dumps, in either order; its second goes
        // where its first went, whatever came between them (another unit's dump, the device's
        // own, a port closed and opened again, an enquiry job's start): the device answers in
        // order, so it is never the answer of an enquiry still owed. A half lost with a port is
        // forgotten as what is owed is.
        const int type = data[kTypeAt];
        if (mSyncTail == type && mSyncTailDevice == device && now - mSyncTailMs < mAgeMs) {
            mSyncTail = 0;
            return mSyncTailDue;
        }
        // The synthesizer answers in order: while an earlier enquiry at this device is owed,
        // this answer is that one's, however late, and applied nowhere.
        auto& owed = mEnquiriesOwed[size_t(device)];
        const uint64_t answers = owed.empty() ? 0 : owed.front().send;
        if (!owed.empty()) owed.erase(owed.begin());
        Due due = Due::None;
        if (mEnquiryJob) {
            // The enquiry job takes the device as it is now, whichever enquiry this answers: an
            // enquiry sent into a silent spell, or to a synthesizer that answers only some
            // tries, is never answered, and the job would wait for it forever. Its other
            // enquiries stay owed: their answers must not pass for a later sync's.
            if (answers && answers == mSyncSend) discharge(answers);
        } else if (answers && mSyncRequest && answers < mSyncSend) {
            due = Due::Earlier;
        } else if (!mSyncRequest && !owed.empty()) {
            due = Due::Earlier;
        } else if (mSyncRequest) {
            // A sync's answer is applied nowhere: a start-up enquiry still pending stays pending.
            // Everything sent before it has been answered, or never will be.
            discharge(mSyncSend);
            mSyncRequest = 0;
            mSyncAnswered = true;
            due = Due::Sync;
        }
        mSyncTail = type == kTypeGlobalFirst ? kTypeGlobalSecond : kTypeGlobalFirst;
        mSyncTailDevice = device;
        mSyncTailDue = due;
        mSyncTailMs = now;
        return due;
    }
    // Pattern dumps have routes of their own.
    const uint8_t type = data[kTypeAt];
    if (type == kTypePattern || type == kTypePatternWithPad) return Due::None;

    const int address = namedAddress(data, length);
    const bool isNamed = address != kAnyAnswer;
    // A dump that names its entry cannot be taken for another request's: only plain dumps
    // must have ended before the next request goes.
    if (!isNamed) mLastDumpMs[size_t(device)] = now;
    mLastAnyDumpMs = now;

    const size_t i = size_t(device);
    if (mAsk.request) {
        if (!mAsk.sent) return Due::Early;
        if (!mAsk.sends[i]) return Due::Unasked;
        // An id an ended request still waits for answers that one first.
        if (mRequestOwed[i].send && mRequestOwed[i].send < mAsk.first[i].send) return Due::Stale;
        if (isNamed && address != mAsk.address) return Due::Stray;
        mAsk.answered[i] = true;
        // What this id was asked before this request has been answered, or never will be. Not
        // its enquiries: a dump sent unasked, taken for this answer, would otherwise cost the
        // sync's enquiry its debt, and its answer would pass for a later sync's.
        if (mRequestOwed[i].send < mAsk.first[i].send) mRequestOwed[i] = {};
        return Due::Awaited;
    }
    if (mEnded.request) {
        const int64_t last = std::max(mEnded.endedMs, mEnded.lastMs);
        if (now - last >= mEnded.quietMs) {
            mEnded = {};
        } else if (mEnded.sends[i] && mEnded.answered[i]) {
            mEnded.lastMs = now;
            // The rest of a reply to the editor, in its job's last pause; never into a slot.
            return mEnded.editorTakes ? Due::None : Due::Stale;
        }
    }
    if (mRequestOwed[i].send) return Due::Stale;
    return Due::Unasked;
}

bool MIDIMessageManager::looseLine()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    followDeviceId();
    return mLoose;
}

bool MIDIMessageManager::syncAnswered()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    return mSyncAnswered;
}

void MIDIMessageManager::lineClean()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    mLoose = false;
}

void MIDIMessageManager::enquiryStarts(int periodMs)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    followDeviceId();
    mAgeMs = replyWaitMs(periodMs);
    forgetAged(now);
    // The enquiry job's answer is its own, not a sync's.
    mEnquiryJob = true;
    // Its answer may then be an earlier enquiry's, with answers asked after that still to come.
    mOwedAtEnquiry = mDueDeviceId >= 0 && !mEnquiriesOwed[size_t(mDueDeviceId)].empty();
    // The rest of an answer half come is that answer's, not the job's.
    if (mSyncTail) mSyncTailDue = Due::Earlier;
    mSyncSend = 0;
    mSyncRequest = 0;
    mSyncAnswered = false;
}

int MIDIMessageManager::enquiriesOwed(int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return 0;
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    forgetAged(now);
    return int(mEnquiriesOwed[size_t(deviceByte)].size());
}

int64_t MIDIMessageManager::settleLeft(int64_t settleMs)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    return settleMs - (now - std::max(mLastAnyDumpMs, mLastAskedMs));
}

void MIDIMessageManager::enquiryEnded(bool answeredFirst, int64_t settleMs)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    // Quiet for the job's own wait proves nothing of a synthesizer slower than that wait.
    const bool clean = (answeredFirst && !mOwedAtEnquiry) || now - std::max(mLastAnyDumpMs, mLastAskedMs) >= settleMs;
    mEnquiryJob = false;
    mSyncRequest = 0;
    mSyncSend = 0;
    mSyncAnswered = false;
    if (clean) {
        mLoose = false;
        mEnded = {};
    } else {
        mLoose = true;
    }
}

int64_t MIDIMessageManager::quietLeft(int deviceByte, int64_t gapMs, int64_t sinceMs)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    const int64_t last =
        deviceByte >= 0 && deviceByte < kDeviceBytes ? mLastDumpMs[size_t(deviceByte)] : mLastAnyDumpMs;
    return gapMs - (now - std::max(last, sinceMs));
}

bool MIDIMessageManager::awaitingAnswer()
{
    {
        std::lock_guard<std::mutex> lock(mDueLock);
        if (mAsk.request) return true;
    }
    return libraryPerformanceRequest.active || libraryPatchRequest.active || libraryPatternRequest.active;
}

bool MIDIMessageManager::askedInJob(int deviceByte)
{
    std::lock_guard<std::mutex> lock(mDueLock);
    followDeviceId();
    return deviceByte == mDueDeviceId ||
           (deviceByte >= 0 && deviceByte < kDeviceBytes && mJobAsked[size_t(deviceByte)]);
}

void MIDIMessageManager::jobBegins()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    mJobAsked = {};
}

int MIDIMessageManager::dueCount(int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return 0;
    std::lock_guard<std::mutex> lock(mDueLock);
    return mAsk.sends[size_t(deviceByte)];
}

void MIDIMessageManager::clearDue()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    forgetDue();
}

void MIDIMessageManager::forgetDue()
{
    // Answers of what is forgotten may still come (an output closed and opened again reaches the
    // same synthesizer): the next request syncs first. Nothing asked, nothing owed.
    mLoose = mLoose || mAsk.request || mEnded.request;
    // What it asked and was not answered stays owed: the same synthesizer may still answer.
    owe(mAsk);
    const uint64_t request = mAsk.request;
    mAsk = {};
    // The waiting request stays awaited, asked nowhere: its job ends by the port's cancel.
    mAsk.request = request;
    mAsk.sent = request != 0;
    mEnded = {};
    mSyncRequest = 0;
    mSyncSend = 0;
}
