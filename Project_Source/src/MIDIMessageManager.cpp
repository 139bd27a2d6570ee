#include "MIDIMessageManager.h"

#include <chrono>
#include <thread>

#include "QOR.h"
#include "SysexFamily.h"

MIDIMessageManager::MIDIMessageManager(QOR* controller, PatchManager* patchManager, PatchLibrarian* librarian,
                                       IGraphics* graphics)
    : controller(controller), patchManager(patchManager), graphics(graphics), librarian(librarian)
{
    sender = new MIDIMessageSender(controller, patchManager, {&jobThread, &clockTransportThread, &clockThread});
}

MIDIMessageManager::~MIDIMessageManager()
{
    stopAndJoin();
    delete sender;
}

Poco::Thread& MIDIMessageManager::threadObject(int thread)
{
    return thread == kJobThread ? jobThread : thread == kClockTransportThread ? clockTransportThread : clockThread;
}

namespace
{
// Jobs whose start marks a dump send under way.
bool sendsDump(int job)
{
    return job == kJobSendArrangement || job == kJobSendPart || job == kJobSendSequence ||
           job == kJobSendPatchFromLibrarian || job == kJobStoreAllPatches;
}
} // namespace

bool MIDIMessageManager::launchClaimed(int thread, const SenderJobRecord& record) noexcept
{
    const bool sends = sendsDump(record.job);
    const bool wasSending = sendInProgress;
    sender->records[size_t(thread)] = record;
    // Before the start: the job may clear it again before start returns.
    if (sends) sendInProgress = true;
    // From the claim on, as a Cancel is: what ends kept program changes before the thread runs
    // is this job's.
    if (thread == kJobThread) keepForThisJob();
    try {
        Poco::Thread& t = threadObject(thread);
        // The last run has given its claim back but may not have left its thread yet, and a
        // thread object starts again only once joined.
        if (mJoinPending[size_t(thread)]) {
            t.join();
            mJoinPending[size_t(thread)] = false;
        }
        mJoinPending[size_t(thread)] = true;
        t.start(*sender);
        if (sender->afterStart) sender->afterStart(thread);
        sender->release(thread);
        return true;
    } catch (...) {
        mJoinPending[size_t(thread)] = false;
        if (sends) sendInProgress = wasSending;
        sender->release(thread, 2);
        return false;
    }
}

bool MIDIMessageManager::startAsked(const SenderJobRecord& record, std::function<void()> afterClaim)
{
    const int thread = threadForJob(record.job);
    // A store takes the pane's bank as it begins, which the cancelled job's end may read
    // again from disk: only a store started at once stores the bank the user saw.
    std::function<void()> begin;
    if (record.job != kJobStoreAllPatches && !record.patch) {
        begin = [this, afterClaim, sends = sendsDump(record.job)] {
            keepForThisJob();
            if (afterClaim) afterClaim();
            if (sends) sendInProgress = true;
        };
    }
    switch (sender->ask(thread, record, std::move(begin))) {
    case MIDIMessageSender::Ask::Follows: return true;
    case MIDIMessageSender::Ask::Refused: return false;
    case MIDIMessageSender::Ask::Claimed: break;
    }
    try {
        if (afterClaim) afterClaim();
    } catch (...) {
        sender->release(thread, 2);
        return false;
    }
    return launchClaimed(thread, record);
}

void MIDIMessageManager::stopAndJoin()
{
    if (mStopped.exchange(true)) return;
    sender->cancelRequested = true;
    sender->resetContinuousClock(true);
    sender->stop();
    for (int t = 0; t < kSenderThreadCount; ++t) {
        // A running job gives its claim back when it ends; from then on the claim stays here.
        while (!sender->holdForStop(t)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (mJoinPending[size_t(t)]) {
            try {
                threadObject(t).join();
            } catch (...) {
            }
            mJoinPending[size_t(t)] = false;
        }
        sender->ended(t);
    }
}

void MIDIMessageManager::armRequestBuffer(int kind)
{
    std::lock_guard<std::mutex> lock(mRequestLock);
    LibrarianPatch* armed = kind == SysexFamily::kKindPatterns       ? &libraryPatternRequest.patch
                            : kind == SysexFamily::kKindPerformances ? &libraryPerformanceRequest.patch
                                                                     : &libraryPatchRequest.patch;
    armed->messages.clear();
    armed->name.clear();
    armed->category.clear();
    libraryPatternRequest.active = kind == SysexFamily::kKindPatterns;
    libraryPerformanceRequest.active = kind == SysexFamily::kKindPerformances;
    libraryPatchRequest.active = kind != SysexFamily::kKindPatterns && kind != SysexFamily::kKindPerformances;
}

void MIDIMessageManager::disarmRequestBuffers()
{
    std::lock_guard<std::mutex> lock(mRequestLock);
    libraryPerformanceRequest.active = false;
    libraryPatchRequest.active = false;
    libraryPatternRequest.active = false;
}
