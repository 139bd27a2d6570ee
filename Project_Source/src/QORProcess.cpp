// The plug-in makes no sound: each audio block is the editor's clock. MIDI clock start and stop
// follow the host transport, the host tempo reaches the tempo parameters, queued messages leave
// at their offsets, activity lights go out, and the start-up enquiry and the read-back after a
// randomize are issued. Incoming MIDI passes the controller's gates here before the protocol
// takes it.
//
// The audio thread takes no lock here but the outgoing queue's, and that only by try-lock: a
// producer that holds it makes the queue wait for the next block.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/wapi/wapi.h"

namespace
{

constexpr int kParts = 8;
// The tempo list starts at 65 beats per minute.
constexpr int kTempoListBase = 65;
// How long an activity light stays lit, in ticks (ms).
constexpr uint32_t kLightTicks = 100;
// A complete program dump, and the longest answer that is not a dump: either ends a request.
constexpr int kWholeDumpBytes = 296;
constexpr int kShortAnswerBytes = 30;
// Where a dump names its part (F0 counts as byte 0).
constexpr int kPartByteAt = 8;
// The SysEx switches among the pass-through filters: host side, then device side.
constexpr size_t kHostSysExFilter = 6;
constexpr size_t kDeviceSysExFilter = 13;
// Room for the due messages of a block before the batch must grow.
constexpr size_t kDueReserve = 256;
// Set on the thread that delivers one of the editor's own messages, for that call only.
thread_local bool tOwnDelivery = false;

} // namespace

void QOR::ProcessDoubleReplacing(double** /*in*/, double** out, int nFrames)
{
    if (nFrames < 0) nFrames = 0;
    // Silence, rather than whatever a bypassed block left in the buffers.
    if (out) {
        for (int i = 0, n = NOutChannels(); i < n; ++i)
            if (out[i] && nFrames > 0) std::memset(out[i], 0, size_t(nFrames) * sizeof(double));
    }
    GetTime(&hostTime);
    const bool running = hostTime.transportIsRunning;
    followTransport(running);
    startContinuousClock();
    syncHostTempo();
    advanceQueue(blockAdvance(nFrames), running);
    // An output that is away leaves the start-up's request to its return.
    if (startupComplete && midiIOSet && !outputAway() && defaultPortsStored && initialRequestPending) {
        // Without the pause of the editor's own enquiry: the audio thread must not sleep.
        startDeviceIdEnquiry();
        initialRequestPending = false;
    }
    payOwedSend();
    requestRandomizedPart();
}

void QOR::payOwedSend()
{
    if (!recalledSendOwed || mOwedSentAt >= 0 || !midiIOSet || midiOutIndex <= 0 || !midiManager ||
        !midiManager->threadIdle(kJobThread))
        return;
    startOwedSend();
}

// Start and Stop follow the transport only while output goes straight to the port; the edge is
// recorded either way, and a dropped job still counts as sent.
void QOR::followTransport(bool running)
{
    if (running == hostTransportPlaying.load()) return;
    hostTransportPlaying = running;
    if (routeMidiToHostBuffer || !midiManager || clockStartSent == running) return;
    SenderJobRecord record;
    record.job = running ? kJobStartClock : kJobStopClock;
    midiManager->startJob(record);
    clockStartSent = running;
}

// Once per clearing of continuousClockStarted. Only while clock output is on: the job would
// return at once otherwise, and letting the loop run again here could revive a loop that the
// switch has just told to stop.
void QOR::startContinuousClock()
{
    if (!midiIOSet || continuousClockStarted || !midiManager) return;
    if (sendClockInfo) {
        midiManager->sender->resetContinuousClock(false);
        SenderJobRecord record;
        record.job = kJobContinuousClock;
        midiManager->startJob(record);
    }
    continuousClockStarted = true;
}

void QOR::syncHostTempo()
{
    const IParam* override = GetParam(qorid::kOverrideTempo);
    if (!override || override->Value() != 1.0) return;
    const double tempo = GetTempo();
    // A tempo no int holds once truncated (or none at all) is not the host's.
    if (!(tempo > double(INT32_MIN + kTempoListBase) - 1.0 && tempo < 2147483648.0)) return;
    const int t = int(tempo);
    const int32_t index = t - kTempoListBase;
    if (index != lastTempoIndex.load()) {
        lastTempoIndex = index;
        tempoSynced = false;
        log("PROCESSOR: Host tempo is out of sync!");
    }
    if (tempoSynced || !midiIOSet) return;
    tempoSynced = true;
    char line[64];
    std::snprintf(line, sizeof line, "PROCESSOR: Host tempo synced to %dBPM", t);
    log(line);
    // On screen only: nothing goes to the synthesizer.
    if (IGraphics* g = GetGUI()) {
        g->SetParameterFromPlug(qorid::kGlobalTempo, index, false);
        g->SetParameterFromPlug(qorid::kArpSpeed, index, false);
    }
}

int QOR::blockAdvance(int nFrames)
{
    if (!routeMidiToHostBuffer) return nFrames;
    const int32_t offset = dawOffset.load();
    const int samples = offset >= 0 ? offset : 1;
    const double rate = hostSampleRate.load();
    if (!dawOffsetDisplay || !GetGUI() || !(rate > 0.0)) return samples;
    const double ms = std::trunc(1000.0 / (rate / samples));
    const int shownMs = ms < 2147483647.0 ? int(ms) : INT32_MAX;
    const int blockSize = GetBlockSize();
    // Set only on change: the text control would repaint every block.
    if (shownMs != mShownOffsetMs || blockSize != mShownBlockSize) {
        mShownOffsetMs = shownMs;
        mShownBlockSize = blockSize;
        char text[48];
        std::snprintf(text, sizeof text, "%dms|%dbfr", shownMs, blockSize);
        dawOffsetDisplay->SetTextFromPlug(text);
    }
    return samples;
}

void QOR::advanceQueue(int samples, bool running)
{
    if (samples <= 0) return;
    // After a reset, once the transport stands: all sound off to every enabled part, lights out.
    if (!running && midiIOSet && allSoundsOffPending.exchange(false)) {
        AllSoundsOff(0, true);
        IGraphics* g = GetGUI();
        for (int k = 0; k < kParts; ++k) {
            int32_t lit = 1;
            if (midiLedOn[size_t(k)].compare_exchange_strong(lit, 0) && g)
                g->SetParameterFromPlug(qorid::kMIDILed + k, 0.0, false);
        }
    }
    mDueMessages.clear();
    if (mDueMessages.capacity() < kDueReserve) mDueMessages.reserve(kDueReserve);
    std::unique_lock<std::mutex> lock(midiOutQueue.GetLock(), std::try_to_lock);
    if (lock.owns_lock()) {
        for (; !midiOutQueue.Empty() && midiOutQueue.Peek()->mOffset < samples; midiOutQueue.Remove())
            mDueMessages.push_back(*midiOutQueue.Peek());
        midiOutQueue.Flush(samples);
        lock.unlock();
    }
    // Sent outside the lock: the send may queue again. With the host buffer off they are stale.
    if (routeMidiToHostBuffer) {
        for (IMidiMsg& msg : mDueMessages) sendMidiMsgAndLog(&msg);
    }
    timeOutLights();
}

void QOR::timeOutLights()
{
    IGraphics* g = GetGUI();
    if (!g) return;
    bool anyLit = false;
    for (int k = 0; k < kParts; ++k) anyLit = anyLit || midiLedOn[size_t(k)].load() == 1;
    if (!anyLit) return;
    const uint32_t now = mLedClock ? mLedClock() : GetTickCount();
    for (int k = 0; k < kParts; ++k) {
        if (midiLedOn[size_t(k)].load() != 1) continue;
        // Elapsed ticks in unsigned arithmetic: right across the counter's wrap.
        if (now - uint32_t(midiLedOnTime[size_t(k)].load()) <= kLightTicks) continue;
        int32_t lit = 1;
        if (midiLedOn[size_t(k)].compare_exchange_strong(lit, 0))
            g->SetParameterFromPlug(qorid::kMIDILed + k, 0.0, false);
    }
}

// The randomized part comes back from the synthesizer once the job thread is free; a busy
// thread leaves the request for the next block.
void QOR::requestRandomizedPart()
{
    if (!partRequestPending || !midiManager) return;
    SenderJobRecord record;
    record.job = kJobRequestPart;
    record.part = selectedPart;
    record.toEditor = true;
    MIDIMessageManager* m = midiManager;
    if (m->startJob(record, [m] { m->expectingEditDump = true; })) partRequestPending = false;
}

void QOR::ProcessMidiMsg(IMidiMsg* msg, bool fromDevice)
{
    if (!msg || !midiManager || !startupComplete) return;
    // Nothing is taken while data goes to the synthesizer or an edit dump is on its way.
    if (deviceTransferActive || incomingMidiBlocked || midiManager->expectingEditDump) {
        // Only the wait for a dump leaves the synthesizer's program changes to be followed later.
        if (fromDevice && !deviceTransferActive && !incomingMidiBlocked && !masterKeyboardOn)
            midiManager->keepDroppedProgram(*msg);
        return;
    }
    // A master keyboard plays through the editor: only the host's messages count.
    if (fromDevice && masterKeyboardOn) return;
    // Channel messages only: system and real-time messages never pass.
    if (msg->StatusMsg() == IMidiMsg::kNone) return;
    try {
        if (fromDevice) {
            midiManager->ProcessMidiMsgFromDevice(msg);
            return;
        }
        // The first part that listens on the channel, as its parameter holds it; else part 0.
        const int part = firstPartOnChannel(msg->Channel());
        midiManager->ProcessMidiMsgFromDAW(msg, part < 0 ? 0 : part);
    } catch (...) {
        // Nothing may leave the MIDI input thread; the message is dropped.
        log("PROCESSOR: incoming message dropped");
    }
}

bool QOR::deliveringOwnSysEx()
{
    return tOwnDelivery;
}

void QOR::deliverOwnSysEx(ISysEx* msg)
{
    struct Mark {
        const bool outer = tOwnDelivery;
        Mark() { tOwnDelivery = true; }
        ~Mark() { tOwnDelivery = outer; }
    } mark;
    ProcessSysEx(msg, true);
}

void QOR::ProcessSysEx(ISysEx* msg, bool fromDevice)
{
    if (!msg || !midiManager || !startupComplete) return;
    if (deviceTransferActive) return;
    // The editor's own message is neither SysEx from the synthesizer nor the dump a request
    // waits for: the filter and the request gate are not for it.
    const bool own = fromDevice && deliveringOwnSysEx();
    if (!own && midiFilterSwitches[fromDevice ? kDeviceSysExFilter : kHostSysExFilter]) return;
    if (incomingMidiBlocked) return;
    try {
        // Every answer ends its entry among the requests still due, the part gate's too.
        if (fromDevice && midiManager->lateAnswer(msg)) return;
        const int32_t waiting = pendingRequestPart.load();
        const bool gated = waiting >= 0 && !own;
        if (gated) {
            // A message too short to name a part counts as another part's.
            const bool forPart = msg->mData && msg->mSize > kPartByteAt && msg->mData[kPartByteAt] == waiting;
            if (!forPart) {
                if (!dataRequestCompleted) showStatus("Data Request In Progress...");
                return;
            }
        }
        // Only a message the manager kept tells the user anything: one dropped as late, stray
        // or repeated completes nothing.
        const bool kept = midiManager->ProcessSysEx(msg, fromDevice);
        if (gated && kept) {
            if (msg->mSize >= kWholeDumpBytes || msg->mSize < kShortAnswerBytes) dataRequestCompleted = true;
            showStatus("Data Request Processed - Please wait!");
        }
        ++mDumpsTaken;
        for (const char* name : {"miniMixer", "miniMixer2"})
            if (ControlLayer* layer = keptLayer(name)) layer->setControlsDirty();
        if (midiManager->requestComplete) replyArrived = true;
        if (kept && dataRequestCompleted) showStatus("Data Request Completed!");
    } catch (...) {
        // Nothing may leave the MIDI input thread; the message is dropped.
        log("PROCESSOR: incoming SysEx dropped");
    }
}
