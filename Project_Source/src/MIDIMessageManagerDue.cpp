// Which request a dump from the synthesizer belongs to. The synthesizer answers in the order it
// is asked, each reply a burst: while a request waits, every dump from an id it was sent to is
// its own, whatever its kinds, number and order; a reply has ended once its device went quiet.
// (The protocol compares no ids and guesses no reply; membership by the ids asked, the quiet
// wait and the sync after a loose end are our own, since every guess of a reply's shape missed
// some synthesizer.)
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
    if (mDueDeviceId >= 0) forgetDue();
    mDueDeviceId = id;
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

void MIDIMessageManager::endRequest(uint64_t request, bool replied, bool editorTakes, int64_t quietMs)
{
    const int64_t now = dueNow();
    std::lock_guard<std::mutex> lock(mDueLock);
    if (mAsk.request != request) return;
    // An answer that never came may come yet, and one the sweep asked for twice comes twice: the
    // next request cleans the line first.
    // A named repeat too: it passes for the next request of its entry, which may have changed
    // meanwhile, and whatever the synthesizer sends after it comes as late.
    bool twice = false;
    for (int d = 0; d < kDeviceBytes; ++d) twice = twice || (mAsk.answered[size_t(d)] && mAsk.sends[size_t(d)] > 1);
    mLoose = mLoose || !replied || twice;
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
    // Enquiries are answered with global dumps, never taken for a request's answer.
    if (kind != DueKind::Enquiry) mLastAskedMs = now;
    if (kind == DueKind::Enquiry) {
        // Capped: a synthesizer that ignores enquiries is cleared of them by its quiet.
        uint8_t& owed = mEnquiriesOwed[size_t(deviceByte)];
        if (owed < kDueCap) ++owed;
        if (request) {
            mSyncRequest = request;
            mSyncAnswered = false;
        }
        return;
    }
    if (mAsk.request != request) return;
    mAsk.sent = true;
    mAsk.address = address;
    // Counted, not listed: a request sends at most once per id and sweep.
    if (mAsk.sends[size_t(deviceByte)] < kDueCap) ++mAsk.sends[size_t(deviceByte)];
}

void MIDIMessageManager::unsend(uint64_t request, int deviceByte, DueKind kind)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return;
    std::lock_guard<std::mutex> lock(mDueLock);
    // The port may have taken part of it: what the synthesizer makes of that is unknown.
    mLoose = true;
    if (kind == DueKind::Enquiry) {
        if (mEnquiriesOwed[size_t(deviceByte)] > 0) --mEnquiriesOwed[size_t(deviceByte)];
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

    if (globals) {
        // Something came: a wait for an enquiry's answer is not quiet.
        mLastAnyDumpMs = now;
        // An enquiry's answer is a pair of global dumps, in either order; its second goes
        // where its first went.
        const int type = data[kTypeAt];
        if (mSyncTail == type && mSyncTailDevice == device) {
            mSyncTail = 0;
            return mSyncTailDue;
        }
        // The synthesizer answers in order: while an earlier enquiry at this device is owed,
        // this answer is that one's, however late, and applied nowhere.
        uint8_t& owed = mEnquiriesOwed[size_t(device)];
        Due due = Due::None;
        if (mEnquiryJob) {
            // The enquiry job takes the device as it is now, whichever enquiry this answers: an
            // enquiry sent into a silent spell, or to a synthesizer that answers only some
            // tries, is never answered, and the job would wait for it forever. Its other
            // enquiries stay owed: their answers must not pass for a later sync's.
            if (owed) --owed;
        } else if (owed > 1) {
            --owed;
            due = Due::Earlier;
        } else {
            if (owed) --owed;
            // A sync's answer is applied nowhere: a start-up enquiry still pending stays pending.
            if (mSyncRequest) {
                mSyncRequest = 0;
                mSyncAnswered = true;
                due = Due::Sync;
            }
        }
        mSyncTail = type == kTypeGlobalFirst ? kTypeGlobalSecond : kTypeGlobalFirst;
        mSyncTailDevice = device;
        mSyncTailDue = due;
        return due;
    }
    mSyncTail = 0;
    // Pattern dumps have routes of their own.
    const uint8_t type = data[kTypeAt];
    if (type == kTypePattern || type == kTypePatternWithPad) return Due::None;

    const int address = namedAddress(data, length);
    const bool isNamed = address != kAnyAnswer;
    // A dump that names its entry cannot be taken for another request's: only plain dumps
    // must have ended before the next request goes.
    if (!isNamed) mLastDumpMs[size_t(device)] = now;
    mLastAnyDumpMs = now;

    if (mAsk.request) {
        if (!mAsk.sent) return Due::Early;
        if (!mAsk.sends[size_t(device)]) return Due::Unasked;
        if (isNamed && address != mAsk.address) return Due::Stray;
        mAsk.answered[size_t(device)] = true;
        return Due::Awaited;
    }
    if (mEnded.request) {
        const int64_t last = std::max(mEnded.endedMs, mEnded.lastMs);
        if (now - last >= mEnded.quietMs) {
            mEnded = {};
        } else if (mEnded.sends[size_t(device)]) {
            mEnded.lastMs = now;
            // The rest of a reply to the editor, in its job's last pause; never into a slot.
            return mEnded.editorTakes ? Due::None : Due::Stale;
        }
    }
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

void MIDIMessageManager::enquiryStarts()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    // The enquiry job's answer is its own, not a sync's.
    mEnquiryJob = true;
    // Its answer may then be an earlier enquiry's, with answers asked after that still to come.
    mOwedAtEnquiry = std::any_of(mEnquiriesOwed.begin(), mEnquiriesOwed.end(), [](uint8_t n) { return n > 0; });
    mSyncRequest = 0;
    mSyncAnswered = false;
    mSyncTail = 0;
}

void MIDIMessageManager::enquiriesIgnored()
{
    std::lock_guard<std::mutex> lock(mDueLock);
    mEnquiriesOwed = {};
}

int MIDIMessageManager::enquiriesOwed(int deviceByte)
{
    if (deviceByte < 0 || deviceByte >= kDeviceBytes) return 0;
    std::lock_guard<std::mutex> lock(mDueLock);
    return mEnquiriesOwed[size_t(deviceByte)];
}

int64_t MIDIMessageManager::lateAnswersMs(int periodMs)
{
    return 2 * std::max(kLongestWaitPeriods * periodMs, kLongestFixedWaitMs);
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
    mSyncAnswered = false;
    if (clean) {
        mLoose = false;
        mEnded = {};
    } else {
        mLoose = true;
    }
}

bool MIDIMessageManager::quietSince(int64_t sinceMs)
{
    std::lock_guard<std::mutex> lock(mDueLock);
    return mLastAnyDumpMs < sinceMs;
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
    const uint64_t request = mAsk.request;
    mAsk = {};
    // The waiting request stays awaited, asked nowhere: its job ends by the port's cancel.
    mAsk.request = request;
    mAsk.sent = request != 0;
    mEnded = {};
    mSyncRequest = 0;
    mSyncTail = 0;
}
