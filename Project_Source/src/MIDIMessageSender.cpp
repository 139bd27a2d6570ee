#include "MIDIMessageSender.h"

#include <Poco/Thread.h>

#include <chrono>
#include <thread>

#include "MIDIMessageManager.h"
#include "QOR.h"
#include "SysexFamily.h"
#include "kit/threadname.h"

MIDIMessageSender::MIDIMessageSender(QOR* controller, PatchManager* patchManager,
                                     std::array<Poco::Thread*, kSenderThreadCount> threads)
    : patchManager(patchManager), controller(controller), mThreads(threads)
{
}

MIDIMessageSender::~MIDIMessageSender() = default;

int MIDIMessageSender::currentThread() const
{
    const Poco::Thread* current = Poco::Thread::current();
    for (int t = 0; t < kSenderThreadCount; ++t)
        if (current && mThreads[size_t(t)] == current) return t;
    return -1;
}

void MIDIMessageSender::run()
{
    const int thread = currentThread();
    if (thread < 0) return; // not started by a starter: nothing was claimed
    KIT_NameThisThread(thread == kJobThread ? "job" : thread == kClockTransportThread ? "transport" : "clock");
    SenderJobRecord record = records[size_t(thread)];
    std::function<void()> begin; // the first job's starter has run its own
    {
        std::lock_guard<std::mutex> lock(mAskedLock);
        mRunning[size_t(thread)] = true;
    }
    do {
        std::string& endText = mEndText[size_t(thread)];
        endText.clear();
        mHoldingEndText[size_t(thread)] = false;
        try {
            if (begin) begin();
            if (beforeJob) beforeJob(record.job);
            if (!mStopping && !refusedWithoutBank(record)) dispatch(record);
            // The wait of a request has ended: what the synthesizer's panel did meanwhile.
            if (thread == kJobThread && controller->midiManager) controller->midiManager->followDroppedPrograms();
        } catch (...) {
            // A failed job ends here; the thread must come free for the next one.
        }
        mHoldingEndText[size_t(thread)] = false;
    } while (endJob(thread, record, begin));
}

bool MIDIMessageSender::endJob(int thread, SenderJobRecord& record, std::function<void()>& begin)
{
    const size_t t = size_t(thread);
    std::lock_guard<std::mutex> lock(mAskedLock);
    // Ends as it starts: a Cancel raised under this job is not left for the next.
    if (thread == kJobThread) cancelRequested = false;
    const bool refused = mRefused[t].exchange(false);
    if (!mStopping) {
        // A refused click stays in sight with the end text, below it: the user learns both.
        if (!mEndText[t].empty()) mEndText[t] = controller->jobEndText(mEndText[t]);
        if (!mEndText[t].empty()) controller->showStatus(mEndText[t].c_str());
        if (refused) {
            if (mEndText[t].empty())
                controller->showStatus(kBusyText);
            else
                controller->showStatus2(kBusyText);
        }
    }
    if (mFollower && !mStopping) {
        record = mFollower->record;
        begin = std::move(mFollower->begin);
        mFollower.reset();
        records[t] = record;
        // Under the lock: a Cancel from now on is this job's.
        cancelRequested = false;
        mPortEnded = false;
        return true;
    }
    mFollower.reset();
    mRunning[t] = false;
    // The launcher gives its hold back once the start returns, which under load can be after
    // this end: wait for it, so that a job asked the moment the end text shows is taken.
    while (mClaimed[t].load(std::memory_order_acquire) > 1) std::this_thread::yield();
    release(thread);
    return false;
}

MIDIMessageSender::Ask MIDIMessageSender::ask(int thread, const SenderJobRecord& record, std::function<void()> begin)
{
    std::lock_guard<std::mutex> lock(mAskedLock);
    if (claim(thread)) return Ask::Claimed;
    if (mStopping) return Ask::Refused;
    // Only a run under way reaches its end step, which starts the follower; a job that was
    // cancelled ends within one of its waits, and the user asked for the next one.
    if (begin && thread == kJobThread && mRunning[size_t(thread)] && cancelRequested && !mFollower) {
        mFollower = Follower{record, std::move(begin)};
        return Ask::Follows;
    }
    mRefused[size_t(thread)] = true;
    controller->showStatus(kBusyText);
    return Ask::Refused;
}

void MIDIMessageSender::cancel()
{
    std::lock_guard<std::mutex> lock(mAskedLock);
    cancelRequested = true;
    mFollower.reset();
}

void MIDIMessageSender::endWith(const char* text)
{
    const int thread = currentThread();
    if (thread < 0) {
        controller->showStatus(text);
        return;
    }
    mHoldingEndText[size_t(thread)] = true;
    mEndText[size_t(thread)] = text ? text : "";
}

bool MIDIMessageSender::holdEndText(const char* text)
{
    const int thread = currentThread();
    if (thread < 0 || !(mHoldingEndText[size_t(thread)] || mRefused[size_t(thread)])) return false;
    mEndText[size_t(thread)] = text ? text : "";
    return true;
}

void MIDIMessageSender::dispatch(const SenderJobRecord& r)
{
    switch (r.job) {
    case kJobSendArrangement: sendArrangementToDevice(r.storeIntoLibrary, r.passOn); break;
    case kJobSendGlobal: sendGlobalToDevice(r.deviceId); break;
    case kJobSendPart: sendPartToDevice(r.part, r.storeIntoLibrary, r.passOn); break;
    case kJobSendSequence: sendSequenceToDevice(); break;
    case kJobSendPatchFromLibrarian: sendPatchToDeviceFromLibrarian(r.patch, r.part); break;
    case kJobStoreAllPatches: storeAllPatchesToDeviceFromLibrarian(r.storeMode, r.storeStartSlot, r.storeBank, r.storeCount, r.storeTargetSlot);
        break;
    case kJobRequestActiveArrangement: sendActiveArrangementRequestSysex(r.toEditor, r.part); break;
    case kJobRequestPart: sendPartRequestSysex(r.part, r.toEditor, r.sendPartAfterReply); break;
    case kJobRequestSequence: sendSequenceRequestSysex(); break;
    case kJobRequestSingleMulti: sendSingleMultiRequestSysex(r.bank); break;
    case kJobRequestAllMultis: sendAllMultiRequestSysex(r.bank); break;
    case kJobRequestSinglePatch: sendSinglePatchRequestSysex(r.currentBuffer, r.bank, r.part); break;
    case kJobRequestAllPatches: sendAllPatchRequestSysex(r.bank); break;
    case kJobRequestSingleSequence: sendSingleSequenceRequestSysex(); break;
    case kJobRequestAllSequences: sendAllSequenceRequestSysex(); break;
    case kJobInitPerformance: initPerformance(); break;
    case kJobInitClassicPatch: initClassicPatch(); break;
    case kJobInitSequence: initSequence(); break;
    case kJobDeviceIdEnquiry: sendDeviceIdEnquiry(r.thenOwedSend); break;
    case kJobStartClock: startMIDIClockOutput(); break;
    case kJobContinuousClock: sendContinuousMIDIClock(); break;
    case kJobStopClock: stopMIDIClockOutput(); break;
    default: break; // 19 and unknown numbers do nothing
    }
}

// ---- the hand-off ----

bool MIDIMessageSender::claim(int thread)
{
    if (thread < 0 || thread >= kSenderThreadCount || mStopping) return false;
    int expected = 0;
    if (!mClaimed[size_t(thread)].compare_exchange_strong(expected, 2, std::memory_order_acq_rel)) return false;
    // A refusal under the last holder is not this job's.
    mRefused[size_t(thread)] = false;
    // Every job starts uncancelled, not only those that wait: a Cancel with nothing to cancel,
    // or a port change under a send, would otherwise outlive the job it was meant for. From the
    // claim on, not from the thread's start: a Cancel clicked before the thread has started is
    // this job's.
    if (thread == kJobThread) {
        cancelRequested = false;
        mPortEnded = false;
    }
    return true;
}

void MIDIMessageSender::release(int thread, int holders)
{
    mClaimed[size_t(thread)].fetch_sub(holders, std::memory_order_acq_rel);
}

bool MIDIMessageSender::idle(int thread) const
{
    const int holders = mClaimed[size_t(thread)].load(std::memory_order_acquire);
    return holders == 0 || holders == kEnded;
}

bool MIDIMessageSender::holdForStop(int thread)
{
    int expected = 0;
    return mStopping && mClaimed[size_t(thread)].compare_exchange_strong(expected, 2, std::memory_order_acq_rel);
}

void MIDIMessageSender::ended(int thread)
{
    mClaimed[size_t(thread)].store(kEnded, std::memory_order_release);
}

void MIDIMessageSender::stop()
{
    {
        // Under the pause lock, so a job between its test and its wait cannot miss the wake.
        std::lock_guard<std::mutex> lock(mPauseLock);
        mStopping = true;
    }
    mPauseWake.notify_all();
}

bool MIDIMessageSender::pause(int ms)
{
    if (onPause) onPause(ms);
    const auto span = ms <= 0 ? std::chrono::microseconds(100) : std::chrono::microseconds(int64_t(ms) * 1000);
    std::unique_lock<std::mutex> lock(mPauseLock);
    mPauseWake.wait_for(lock, span, [this] { return mStopping.load(); });
    return !mStopping;
}

// ---- framing ----

void MIDIMessageSender::writeEnvelope(uint8_t* out, uint8_t type, int device) const
{
    out[0] = SysexFamily::kMakerId[0];
    out[1] = SysexFamily::kMakerId[1];
    out[2] = SysexFamily::kMakerId[2];
    out[3] = SysexFamily::kFixed;
    out[4] = SysexFamily::modelByteFor(controller->currentModel);
    out[5] = SysexFamily::deviceByteFor(device < 0 ? controller->deviceId.load() : device);
    out[6] = type;
}

MIDIMessageSender::Request MIDIMessageSender::buildRequest(uint8_t type, int device) const
{
    Request r{};
    writeEnvelope(r.bytes, type, device);
    r.length = int(SysexFamily::kBareRequestSize);
    return r;
}

MIDIMessageSender::Request MIDIMessageSender::buildStoredRequest(int bankCode, int slot, int device) const
{
    Request r{};
    writeEnvelope(r.bytes, SysexFamily::kTypeRequestStored, device);
    r.bytes[7] = uint8_t(bankCode) & 0x7F;
    r.bytes[8] = uint8_t(slot) & 0x7F;
    r.length = int(SysexFamily::kBareStoredRequestSize);
    return r;
}

// Once the workers stop, a job that is still on its way out sends nothing more.
bool MIDIMessageSender::sendChecked(uint8_t* bytes, int length)
{
    if (mStopping || !bytes || length < 1) return false;
    controller->checksumCheckAndSend(bytes, length);
    return true;
}

bool MIDIMessageSender::sendDirect(uint8_t* bytes, int length)
{
    if (mStopping || !bytes || length < 1) return false;
    return controller->SendMidiSysex(bytes, length);
}

bool MIDIMessageSender::sendStored(const std::vector<uint8_t>& bytes)
{
    if (mStopping || bytes.empty()) return false;
    return controller->SendMidiSysex2(bytes);
}

// ---- the jobs ----

void MIDIMessageSender::flashIndicator()
{
    controller->DisplayProcessingIndicator(true);
    controller->DisplayProcessingIndicator(false);
}

// The synthesizer takes no pattern dumps or pattern requests from the editor: these jobs only
// show the indicator, so the user sees the command was taken.
void MIDIMessageSender::sendSequenceToDevice()
{
    flashIndicator();
    if (controller->midiManager) controller->midiManager->sendInProgress = false;
}

// A pattern request is a job of its own that asks no device: what an earlier job asked no
// longer lets another unit's dump into the editor while this one takes dumps.
void MIDIMessageSender::sendSequenceRequestSysex()
{
    beginWaitingJob();
    flashIndicator();
}

void MIDIMessageSender::sendSingleSequenceRequestSysex() { sendSequenceRequestSysex(); }

void MIDIMessageSender::sendAllSequenceRequestSysex() { sendSequenceRequestSysex(); }
