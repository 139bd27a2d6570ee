// The whole performance to the synthesizer or into the library (job 0), and the request of the
// synthesizer's current performance (job 6).
#include <mutex>
#include <string>
#include <vector>

#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "PerformanceDump.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"
#include "kit/plugin/IParam.h"

namespace
{
using namespace qorid;
namespace sx = SysexFamily;

constexpr int kPartPauseMs = 200;
constexpr int kMessagePauseMs = 200;
constexpr int kNamePauseMs = 500;
constexpr int kRequestSweepPass = 30;
constexpr int kRequestTimeOutPass = 50;
constexpr int kLibraryWaits = 200;
constexpr int kLibraryWaitMs = 25;
// How long a recall's send waits for the follower's look after its last message, a loaded
// machine's too, and how often it sees whether the look has ended.
constexpr int kLookWaitMs = 5000;
constexpr int kLookStepMs = 5;

// The editor's values as the performance writer reads them.
PerformanceDump::ValueOf editorValues(const QOR& q)
{
    return [&q](int id) {
        const IParam* p = q.GetParam(id);
        return p ? p->Value() : 0.0;
    };
}

bool isPart(int part)
{
    return part >= 0 && part < PerformanceDump::kParts;
}
} // namespace

int MIDIMessageSender::buildSustainValues(int part) const
{
    return isPart(part) ? PerformanceDump::sustainCodeOf(editorValues(*controller), part) : 0;
}

int MIDIMessageSender::calculateMultiSettings1Values(int part) const
{
    return isPart(part) ? PerformanceDump::partSettingsOf(editorValues(*controller), part) : 0;
}

int MIDIMessageSender::calculateMultiSettings2Values(int part) const
{
    return isPart(part) ? PerformanceDump::effectRoutingOf(editorValues(*controller), part) : 0;
}

void MIDIMessageSender::sendArrangementToDevice(bool storeIntoLibrary, bool passOn)
{
    QOR& q = *controller;
    MIDIMessageManager* m = q.midiManager;
    // What pays a recall's debt must reach the device whole: once the output's connection is
    // lost, the rest would go nowhere, and the whole send is owed again.
    const int pays = storeIntoLibrary ? int(QOR::kPaysNothing) : q.mSendPaysRecall.exchange(QOR::kPaysNothing);
    const uint32_t decision = q.mRecallDebtDecisions, cuts = q.outputCuts();
    const auto cut = [&] { return pays != QOR::kPaysNothing && (q.outputCuts() != cuts || q.outputAway()); };
    struct Sending {
        std::atomic<bool>& flag;
        ~Sending() { flag = false; }
    } sending{q.arrangementSending};
    q.arrangementSending = !storeIntoLibrary;
    q.DisplayProcessingIndicator(true);
    if (q.sendGlobalsFirst) sendGlobalToDevice(q.deviceId);
    if (q.sendingAllParts) {
        q.incomingMidiBlocked = true;
        for (int part = 0; part < PerformanceDump::kParts && !mStopping && !cut(); ++part) {
            if (m) m->sendInProgress = true;
            sendPartToDevice(part, storeIntoLibrary, passOn);
            q.DisplayProcessingIndicator(true);
            // At least one pause a part, then until the program send has ended.
            do {
                if (!pause(kPartPauseMs)) break;
            } while (m && m->sendInProgress);
        }
    }

    const PerformanceDump::ValueOf value = editorValues(q);
    const IParam* nameParam = q.GetParam(kMultiName);
    const std::string name = nameParam ? nameParam->CopyDisplayText(0) : std::string();
    const uint8_t model = sx::modelByteFor(q.currentModel);
    std::vector<uint8_t> dump(sx::kPerformanceDumpSize);
    std::vector<uint8_t> followUp(sx::kFollowUpSize);
    PerformanceDump::writeDump(value, model, name, dump.data());
    PerformanceDump::writeFollowUp(value, model, followUp.data());

    // A library performance has set the parts' channels for its parse; they go back to the
    // library's own. The messages keep the channels they were built with.
    if (q.libraryPerformanceTransfer && m)
        for (int k = 0; k < PerformanceDump::kParts; ++k)
            m->setFromDump(kMultiPartMIDICh + k, q.savedPartChannels[size_t(k)]);

    if (storeIntoLibrary) {
        // Into the selected slot: the slot number stands in for the type, and the armed
        // library buffer takes both messages as if they came from the synthesizer.
        const uint8_t slot = uint8_t(q.patchLibrarian ? q.patchLibrarian->upperSlot : 0);
        dump[sx::kTypeAt] = slot;
        followUp[sx::kTypeAt] = slot;
        q.SetLibrarianRequestActive(true);
        for (std::vector<uint8_t>* message : {&dump, &followUp}) {
            if (!mStopping) deliverToEditor(*message);
            pause(kMessagePauseMs);
        }
        markSlotTaken("performance");
    } else if (!cut()) {
        if (sendChecked(dump.data(), int(dump.size()))) q.knownParts.setFromPerformance(dump.data(), dump.size());
        pause(kMessagePauseMs);
        sendChecked(followUp.data(), int(followUp.size()));
        pause(kMessagePauseMs);
        if (patchManager) {
            std::lock_guard<std::mutex> lock(patchManager->namesLock);
            if (!patchManager->patch.names.empty()) patchManager->patch.names[0] = name.empty() ? "Set Name" : name;
        }
        q.setLibrarianViewDirty();
        pause(kNamePauseMs);
    }
    // The send is over: what the synthesizer or the host sends from now on is taken, also while
    // the verdict below waits for the follower.
    q.incomingMidiBlocked = false;
    q.deviceTransferActive = false;
    // Decided before the job thread is free: a returning device's enquiry then takes only its id.
    // The follower may see a loss near the end only after the last message: the verdict waits for
    // a look of its own, and one that does not come in time leaves the send owed.
    if (pays != QOR::kPaysNothing && decision == q.mRecallDebtDecisions) {
        Verdict verdict = Verdict::Whole;
        if (cut())
            verdict = Verdict::Cut;
        else if (mStopping || !followerLooked())
            verdict = Verdict::Unseen;
        else if (cut())
            verdict = Verdict::Cut;
        if (decision == q.mRecallDebtDecisions) settleRecallDebt(pays, verdict);
    }

    q.DisplayProcessingIndicator(false);
    if (m) m->sendInProgress = false;
}

bool MIDIMessageSender::followerLooked()
{
    const uint64_t asked = controller->AskExternalMIDILook();
    if (!asked) return true; // nothing follows the ports: what is known decides
    for (int waited = 0; !controller->ExternalMIDILooked(asked); waited += kLookStepMs)
        if (waited >= kLookWaitMs || !pause(kLookStepMs)) return false;
    return true;
}

void MIDIMessageSender::settleRecallDebt(int pays, Verdict verdict)
{
    QOR& q = *controller;
    if (verdict == Verdict::Whole) {
        // Unconfirmed, it stays owed until an answer from the id it went to.
        if (pays == QOR::kPaysOnce) q.recalledSendOwed = false;
        return;
    }
    q.recalledSendOwed = true;
    const std::string why = verdict == Verdict::Cut
                                ? "PROJECT RECALL: the MIDI output's connection went during the recalled send"
                                : "PROJECT RECALL: the MIDI ports were not looked at in time after the recalled send";
    // Unseen, an unconfirmed send keeps waiting for an answer from its id: sent again at once, it
    // would go round for as long as the ports cannot be looked at (a server gone).
    if (verdict == Verdict::Unseen && pays == QOR::kPaysUnconfirmed) {
        q.log(why + "; it stays owed until the device answers");
        return;
    }
    q.mOwedSentAt = -1;
    q.log(why + "; it is sent again whole once the device " + (q.IsExternalMIDIChosen(true) ? "answers" : "is back"));
}

void MIDIMessageSender::sendActiveArrangementRequestSysex(bool toEditor, int part)
{
    QOR& q = *controller;
    MIDIMessageManager* m = q.midiManager;
    q.DisplayProcessingIndicator(true);
    beginWaitingJob();
    finished = false;
    // The router's part gate would compare byte 8 of the dump, a name character, with a part.
    q.pendingRequestPart = -1;
    const int period = q.getTimerValue();
    // Every send is filed, the sweep's too: a late answer of this request is told from the
    // answers of the next one.
    const uint64_t asking = m ? m->beginRequest() : 0;
    // Picks from here on are later than the answer.
    if (m) m->forgetPicks();
    WaitPlan plan;
    plan.periodMs = toEditor ? period : kLibraryWaitMs;
    plan.sweepPass = toEditor ? kRequestSweepPass : 0;
    plan.timeOutPass = toEditor ? kRequestTimeOutPass : kLibraryWaits;
    plan.sweepStepMs = toEditor ? period : 0;
    plan.cancelFirst = true;
    const auto request = [this, m, asking](int device) {
        if (m) m->performanceRequestActive = true;
        sendDue(buildRequest(sx::kTypeRequestEditBuffer, device), asking, MIDIMessageManager::kAnyAnswer,
                DueKind::EditBuffer, true);
    };

    WaitEnd end = WaitEnd::Stopped;
    if (toEditor) {
        q.SetLibrarianRequestActive(false);
        if (m) m->mainTabRefreshPending = true;
        if (part >= 0 && part < PerformanceDump::kParts) q.patternRequestPart = part;
        end = readyToAsk(asking, plan, period);
        if (end == WaitEnd::Reply) {
            request(-1);
            plan.request = [&q, &request](int id) {
                request(id);
                q.showStatus(("Please wait, checking DeviceID " + std::to_string(id + 1)).c_str());
            };
            end = waitForReply(plan);
        }
        q.DisplayProcessingIndicator(true);
    } else {
        q.SetLibrarianRequestActive(true);
        end = readyToAsk(asking, plan, period);
        if (end == WaitEnd::Reply) {
            request(-1);
            end = WaitEnd::TimeOut;
            for (int waited = 0; waited < kLibraryWaits; ++waited) {
                if (!pause(kLibraryWaitMs)) {
                    end = WaitEnd::Stopped;
                    break;
                }
                q.showStatus("Processing, please wait...");
                if (cancelRequested || q.replyArrived) {
                    end = cancelRequested ? WaitEnd::Cancel : WaitEnd::Reply;
                    break;
                }
            }
        }
    }
    // The rest of the reply may still come in the last pause: only the editor's parsers take it.
    if (m) m->endRequest(asking, toEditor, quietGap(period));
    if (end == WaitEnd::TimeOut) endWith("CONNECTION TIMED OUT!");
    if (end != WaitEnd::Reply) finished = true;

    pause(period / 2);
    if (cancelRequested)
        showCancelled("Data request CANCELLED!");
    else if (!finished) {
        endWith("Data request completed!");
        if (!toEditor) q.SetLibrarianStatusUnsaved(true);
    }
    q.DisplayProcessingIndicator(false);
    // Left set, it would keep a later request for part 8 from ever completing.
    if (m) m->performanceRequestActive = false;
    if (m) m->forgetPicks();
}
