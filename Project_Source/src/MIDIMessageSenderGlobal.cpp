// The global settings send (job 1), the device-id enquiry (job 18) and the wait that every
// request job runs until its reply, a cancel or its time-out.
#include <string>
#include <vector>

#include "GlobalDumps.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "QOR.h"
#include "SysexFamily.h"

namespace
{
constexpr int kEnquirySweepPass = 15;
constexpr int kEnquiryTimeOutPass = 25;
constexpr int kEnquirySweepStepMs = 500;
} // namespace

MIDIMessageSender::WaitEnd MIDIMessageSender::waitForReply(const WaitPlan& plan)
{
    // A wait that knows its own answer asks it alone: the reply flag is cleared by every re-arm
    // of a sweep, also after the answer was taken.
    const auto replied = [this, &plan] {
        return plan.replyIsOurs ? plan.replyIsOurs() : bool(controller->replyArrived);
    };
    for (int pass = 1;; ++pass) {
        if (!pause(plan.periodMs)) return WaitEnd::Stopped;
        if (plan.cancelFirst && cancelRequested) return WaitEnd::Cancel;
        if (plan.restartWhen && plan.restartWhen()) pass = 1;
        // An answer taken in the pass before needs no sweep, whose re-arm would forget it.
        if (pass == plan.sweepPass && !replied()) {
            for (int id = 0; id < kSweepIds; ++id) {
                if (plan.request) plan.request(id);
                if (!pause(plan.sweepStepMs)) return WaitEnd::Stopped;
                if (cancelRequested || replied()) break;
            }
        }
        if (pass >= plan.timeOutPass) return WaitEnd::TimeOut;
        if (cancelRequested) return WaitEnd::Cancel;
        if (replied()) return WaitEnd::Reply;
    }
}

void MIDIMessageSender::beginWaitingJob()
{
    if (MIDIMessageManager* m = controller->midiManager) m->jobBegins();
    // On the job thread its claim did this already: a Cancel clicked since is the job's.
    if (currentThread() == kJobThread) return;
    cancelRequested = false;
    mPortEnded = false;
}

void MIDIMessageSender::endForPort(const std::string& text)
{
    if (idle(kJobThread)) return;
    {
        std::lock_guard<std::mutex> lock(mPortTextLock);
        mPortEndText = text;
    }
    mPortEnded = true;
    cancelRequested = true;
}

void MIDIMessageSender::showCancelled(const char* cancelText)
{
    std::string text;
    if (mPortEnded) {
        std::lock_guard<std::mutex> lock(mPortTextLock);
        text = mPortEndText;
    }
    endWith(text.empty() ? cancelText : text.c_str());
}

void MIDIMessageSender::sendDeviceIdEnquiry(bool thenOwedSend)
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    beginWaitingJob();
    q.pendingRequestPart = -1;
    // The answer goes to the global dumps' readers, not to the edit-dump parsers.
    q.SetLibrarianRequestActive(false);
    if (q.midiManager) q.midiManager->expectingEditDump = false;
    q.showStatus("Connecting to Hardware");
    finished = false;
    // This enquiry is itself the sync of the line: its answer is applied.
    MIDIMessageManager* m = q.midiManager;
    if (m) m->enquiryStarts(q.getTimerValue());

    WaitPlan plan;
    plan.periodMs = q.getTimerValue();
    plan.sweepPass = kEnquirySweepPass;
    plan.timeOutPass = kEnquiryTimeOutPass;
    plan.sweepStepMs = kEnquirySweepStepMs;
    // Filed before it goes, as a sync's: an answer that comes first is still counted.
    auto enquire = [this, m](int device) {
        Request r = buildRequest(SysexFamily::kTypeDeviceEnquiry, device);
        const int byte = r.bytes[SysexFamily::kDeviceAt - 1];
        if (m) m->noteSent(0, byte, MIDIMessageManager::kAnyAnswer, DueKind::Enquiry);
        if (!sendChecked(r.bytes, r.length) && m) m->unsend(0, byte, DueKind::Enquiry);
    };
    // The sweep only asks: the id is adopted from the global dump that answers.
    bool swept = false;
    plan.request = [this, &q, &enquire, &swept](int id) {
        swept = true;
        enquire(id);
        q.showStatus(("Please wait, checking DeviceID " + std::to_string(id + 1)).c_str());
    };
    enquire(-1);

    const WaitEnd end = waitForReply(plan);
    switch (end) {
    case WaitEnd::TimeOut:
        endWith("No response from Hardware)");
        finished = true;
        if (cancelRequested) showCancelled("Data request CANCELLED!");
        break;
    case WaitEnd::Cancel: showCancelled("Data request CANCELLED!"); break;
    case WaitEnd::Reply:
        endWith("Plug-in is ready to go!");
        pause(plan.periodMs);
        break;
    case WaitEnd::Stopped: break;
    }
    // Answered before its sweep, nothing asked before it is owed any more; nor once nothing
    // can still be on its way. Otherwise a late answer to any of its sends would pass for the
    // next sync's.
    if (m) m->enquiryEnded(end == WaitEnd::Reply && !swept, MIDIMessageManager::replyWaitMs(plan.periodMs));
    q.DisplayProcessingIndicator(false);
    q.pendingRequestPart = -1;
    if (!thenOwedSend || end == WaitEnd::Stopped) return;
    // A synthesizer that does not answer enquiries may still take the performance. A port
    // change's cancel leaves it owed; the user's Cancel ends it.
    if (end == WaitEnd::Reply || (end == WaitEnd::TimeOut && !cancelRequested)) {
        sendOwedPerformance(end == WaitEnd::Reply);
    } else if (!mPortEnded && q.recalledSendOwed.exchange(false)) {
        q.log("PROJECT RECALL: the enquiry was cancelled, the recalled performance is not sent");
        q.showStatus2("Recalled performance not sent");
    }
}

void MIDIMessageSender::sendOwedPerformance(bool answered)
{
    QOR& q = *controller;
    if (!q.midiIOSet || q.outputAway() || !q.recalledSendOwed) return;
    const int32_t id = q.deviceId;
    // Sent at this id already, unanswered: an answer from it ends the debt, silence keeps it.
    if (q.mOwedSentAt == id) {
        if (answered) q.recalledSendOwed = false;
        return;
    }
    // The debt stays until the send has gone whole: a connection lost during it keeps it owed.
    if (!answered) q.mOwedSentAt = id;
    q.log("PROJECT RECALL: the output is back, the recalled performance is sent at DeviceID " + std::to_string(id) +
          (answered ? "" : " with no answer to confirm it"));
    q.mSendPaysRecall = answered ? QOR::kPaysOnce : QOR::kPaysUnconfirmed;
    q.raiseWholeSendFlags();
    sendArrangementToDevice(false, false);
}

void MIDIMessageSender::sendGlobalToDevice(int)
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    const int period = q.getTimerValue();
    const auto value = [&q](int id) {
        const IParam* p = q.GetParam(id);
        return p ? p->Value() : 0.0;
    };
    const uint8_t model = SysexFamily::modelByteFor(q.currentModel);
    std::vector<uint8_t> bytes(SysexFamily::kGlobalFirstSize);
    GlobalDumps::writeFirst(value, model, bytes.data());
    sendChecked(bytes.data(), int(bytes.size()));
    pause(period);
    bytes.assign(SysexFamily::kGlobalSecondSize, 0);
    GlobalDumps::writeSecond(value, model, bytes.data());
    sendChecked(bytes.data(), int(bytes.size()));
    pause(period);
    q.DisplayProcessingIndicator(false);
    if (q.midiManager) q.midiManager->sendInProgress = false;
}
