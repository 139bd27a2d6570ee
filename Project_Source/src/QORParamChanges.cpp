// The frame of every parameter change: under the plug-in mutex, a few parameters act before the
// quick tab and read-out follow the edit, the controller's own parameters act after them, and
// then the parameter's switch layer follows the value and its action sends the MIDI message.
// OnParamChange2 takes values that came from the synthesizer: the controls move, nothing is
// echoed back.
//
// The cases are two tables of id ranges, early and main, each read by one lookup; a case says
// where the frame goes on.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

#include "ControlAction.h"
#include "ControlDisplay.h"
#include "MIDIMessageManager.h"
#include "ProgramDump.h"
#include "QOR.h"
#include "QORParams.h"
#include "TabSwitchFunctions.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/safefile.h"
#include "kit/wapi/wapi.h"

using namespace qorid;

namespace
{

constexpr int kParts = 8;
// The three blocks of pattern data, 512 unnamed ids each.
constexpr int kPatternDataFirst = 2649;
constexpr int kPatternDataLast = 4184;
// The tempo controller; the tempo goes out on the last channel.
constexpr int kTempoController = 9;
constexpr int kTempoChannel = 15;
// The host tempo maps onto the tempo list, whose entry 0 is 65 beats per minute.
constexpr int kTempoListBase = 65;
constexpr int kLastStepLayer = 32;

// Where the frame goes on after a case.
enum class Next {
    QuickTab, // step 4: quick tab, read-out, main cases, action
    ReadOut,  // step 5: the quick tab is skipped
    Action,   // only the parameter's own switch layer and action
    Tail,     // main case done: switch layer and action
    Stop,     // nothing more
};

// The edited parameter as the cases see it.
struct Change {
    int idx;
    IParam* param;
    double value;
    int intValue;
    int part;      // offset in the case's block of eight ids
    int shownPart; // selectedPart before the quick tab re-applied the parameter's value
};

// Truncation toward zero; a value no int holds (or NaN) counts as 0.
int truncated(double v)
{
    return v > -2147483649.0 && v < 2147483648.0 ? int(v) : 0;
}

double valueOf(QOR& q, int id)
{
    const IParam* p = q.GetParam(id);
    return p ? p->Value() : 0.0;
}

// The parameter and its controls take value; no dispatch runs.
void setOnScreen(QOR& q, int id, double value)
{
    if (IGraphics* g = q.GetGUI())
        g->SetParameterFromPlug(id, value, false);
    else if (IParam* p = q.GetParam(id))
        p->Set(value);
}

void setClamped(QOR& q, int id, double value)
{
    if (IParam* p = q.GetParam(id)) p->Set(std::clamp(value, p->GetMin(), p->GetMax()));
}

void hideLayer(QOR& q, const char* name, bool hide)
{
    if (ControlLayer* layer = q.keptLayer(name)) layer->Hide(hide);
}

// Shown and at once hidden again: redraws the editor after a layer has gone.
void flashIndicator(QOR& q)
{
    q.DisplayProcessingIndicator(true);
    q.DisplayProcessingIndicator(false);
}

// The sixteen mixer panning strips lie over the notice windows: hidden while one shows.
void hidePanningStrips(QOR& q)
{
    char name[32];
    for (int n = 1; n <= kParts; ++n) {
        std::snprintf(name, sizeof name, "partPanning%d", n);
        hideLayer(q, name, true);
        std::snprintf(name, sizeof name, "progPanning%d", n);
        hideLayer(q, name, true);
    }
}

// The sub-layer whose id is the value shows, the others hide.
void followSwitchLayer(ControlAction* action, int value)
{
    ControlLayer* layer = action ? action->switchLayer : nullptr;
    if (!layer) return;
    layer->selectedChildId = value;
    for (int i = 0, n = layer->childLayers.GetSize(); i < n; ++i) {
        if (ControlLayer* child = layer->childLayers.Get(i)) child->Hide(child->id != value);
    }
}

// ---- sender jobs ----

// Which librarian receive buffer a send makes stale.
enum class Buffer { Performance, Program, Pattern };

void clearRequest(MIDIMessageManager& m, Buffer buffer)
{
    std::lock_guard<std::mutex> lock(m.mRequestLock);
    switch (buffer) {
    case Buffer::Performance: m.libraryPerformanceRequest.active = false; break;
    case Buffer::Program: m.libraryPatchRequest.active = false; break;
    case Buffer::Pattern: m.libraryPatternRequest.active = false; break;
    }
}

// Hands job to the job thread unless the start-up still runs (no worker runs while the
// constructor builds the editor); afterClaim runs only once the thread is taken.
template <class AfterClaim> bool startJob(QOR& q, const SenderJobRecord& record, AfterClaim&& afterClaim)
{
    if (!q.startupComplete || !q.midiManager) return false;
    return q.midiManager->startJob(record, std::forward<AfterClaim>(afterClaim));
}

bool startJob(QOR& q, const SenderJobRecord& record)
{
    return startJob(q, record, [] {});
}

// A job a button asks for: as startJob, but it may follow a cancelled job, and a busy thread
// says so.
template <class AfterClaim> bool startAsked(QOR& q, const SenderJobRecord& record, AfterClaim&& afterClaim)
{
    if (!q.startupComplete || !q.midiManager) return false;
    return q.midiManager->startAsked(record, std::forward<AfterClaim>(afterClaim));
}

// An edit of performance data: the performance alone goes out again.
void sendPerformance(QOR& q)
{
    if (q.midiManager) clearRequest(*q.midiManager, Buffer::Performance);
    q.sendGlobalsFirst = false;
    q.sendingAllParts = false;
    SenderJobRecord r;
    r.job = kJobSendArrangement;
    startJob(q, r);
}

void sendPattern(QOR& q, int part)
{
    if (q.midiManager) clearRequest(*q.midiManager, Buffer::Pattern);
    SenderJobRecord r;
    r.job = kJobSendSequence;
    r.part = part;
    startJob(q, r);
}

// ---- the tempo ----

void tempoStep(QOR& q, int t)
{
    if (!q.midiIOSet) return;
    IMidiMsg msg(0, uint8_t(0xB0 | kTempoChannel), kTempoController, uint8_t(std::clamp(t, 0, 127)));
    if (q.ccDisplay) q.ccDisplay->SetTextFromPlug(("CC|" + std::to_string(kTempoController)).c_str());
    q.MIDIOutRoutingSwitch(&msg);
}

// ---- table A: before the quick tab ----

Next oscillatorWaveform(QOR&, Change& c)
{
    const double v = std::clamp(double(c.intValue), c.param->GetMin(), c.param->GetMax());
    c.param->Set(v);
    c.value = v;
    c.intValue = truncated(v);
    return Next::QuickTab;
}

// The three envelope switches of a part are one triggering setting, the bit field that the
// synthesizer and the program dump carry: envelope 1 in bit 2, 2 in bit 1, 3 in bit 0.
Next envelopeTriggering(QOR& q, Change& c)
{
    const int target = kEnvelopeTriggering + c.part;
    if (c.intValue == 1 || c.intValue == 0) {
        int bits = 0;
        for (int id : ProgramDump::kEnvelopeSwitchIds) bits = 2 * bits + (truncated(valueOf(q, id + c.part)) != 0);
        setClamped(q, target, bits);
        q.OnParamChange(target);
    }
    return Next::ReadOut;
}

Next filterType(QOR& q, Change& c)
{
    if (c.intValue >= 3) {
        hideLayer(q, "filterSlopeOverlayer", false);
    } else {
        hideLayer(q, "filterSlopeOverlayer", true);
        flashIndicator(q);
    }
    return Next::ReadOut;
}

// Selectors of page contents: the page is built again. The effect routing also goes to the
// synthesizer, so its own action still runs.
Next pageContents(QOR& q, Change&)
{
    q.OnParamChange(kMainTab);
    return Next::Stop;
}

Next effectRouting(QOR& q, Change&)
{
    q.OnParamChange(kMainTab);
    return Next::Action;
}

Next userInterfaceSize(QOR& q, Change& c)
{
    static const char* const kWords[] = {"small", "normal", "large"};
    static const double kScales[] = {0.85, 1.0, 1.15};
    if (c.intValue >= 0 && c.intValue <= 2) {
        q.uiSettingsLines[1] = kWords[c.intValue];
        q.uiScale = kScales[c.intValue];
    }
    const bool written = q.writeUISettings();
    setOnScreen(q, kUserInterfaceSize, c.intValue);
    if (written) {
        q.showStatus("Size changes applied...");
        q.showStatus2("Reload project!");
    }
    return Next::Stop;
}

Next firstRunExit(QOR& q, Change& c)
{
    if (q.firstRunNoticeShown && c.intValue != 0) {
        if (c.intValue == 1) q.uiSettingsLines[2] = "yes";
        q.showStatus("Set MIDI In and MIDI Out");
        q.writeUISettings();
        hideLayer(q, "firstRunNotification", true);
        q.firstRunNoticeShown = false;
    } else if (!q.firstRunNoticeShown) {
        hideLayer(q, "firstRunNotification", true);
    } else {
        return Next::Stop;
    }
    flashIndicator(q);
    return Next::Stop;
}

// ---- table B: after the read-out ----

Next arpSpeed(QOR& q, Change& c)
{
    setOnScreen(q, kGlobalTempo, c.intValue);
    q.tempoIndex = c.intValue;
    tempoStep(q, c.intValue);
    return Next::Stop;
}

Next globalTempo(QOR& q, Change& c)
{
    setOnScreen(q, kArpSpeed, c.intValue);
    q.tempoIndex = c.intValue;
    tempoStep(q, c.intValue);
    return Next::Stop;
}

Next overrideTempo(QOR& q, Change& c)
{
    int t = 0;
    if (c.intValue == 1) {
        const double tempo = q.GetTempo();
        // A host that gives no usable tempo changes nothing.
        if (!std::isfinite(tempo) || tempo <= -2147483648.0 || tempo >= 2147483648.0) return Next::Stop;
        t = int(tempo) - kTempoListBase;
        setOnScreen(q, kGlobalTempo, t);
        setOnScreen(q, kArpSpeed, t);
    } else {
        t = truncated(valueOf(q, kArpSpeed));
    }
    tempoStep(q, t);
    return Next::Stop;
}

Next multiPartEffectsUsed(QOR& q, Change& c)
{
    setOnScreen(q, c.idx, c.intValue);
    TabSwitchFunctions::mainTabSwitch(&q, kMainTab, truncated(valueOf(q, kMainTab)), q.currentModel, q.selectedPart);
    return Next::Tail;
}

Next arpPatternLength(QOR& q, Change& c)
{
    sendPattern(q, q.selectedPart);
    if (valueOf(q, kMainTab) == 6.0) {
        char name[32];
        for (int step = 2; step <= kLastStepLayer; ++step) {
            std::snprintf(name, sizeof name, "step%02doverlayer", step);
            hideLayer(q, name, false);
        }
        // Length n leaves steps 1 to n + 1 uncovered.
        for (int k = 1; k < kLastStepLayer && c.intValue >= k; ++k) {
            std::snprintf(name, sizeof name, "step%02doverlayer", k + 1);
            hideLayer(q, name, true);
        }
    }
    return Next::Tail;
}

Next patternData(QOR& q, Change&)
{
    sendPattern(q, q.selectedPart);
    return Next::Tail;
}

Next patternName(QOR& q, Change& c)
{
    sendPattern(q, c.part);
    return Next::Tail;
}

Next performanceSetting(QOR& q, Change&)
{
    sendPerformance(q);
    return Next::Stop;
}

Next multiName(QOR& q, Change&)
{
    sendPerformance(q);
    return Next::Tail;
}

Next patchName(QOR& q, Change& c)
{
    if (q.midiManager) clearRequest(*q.midiManager, Buffer::Program);
    SenderJobRecord r;
    r.job = kJobSendPart;
    r.part = c.part;
    r.passOn = true;
    r.storeIntoLibrary = false;
    startJob(q, r);
    return Next::Tail;
}

// The program and library rows; the controller keeps their steps beside its transfers.
Next overwriteBank(QOR& q, Change& c)
{
    q.overwriteBank(c.intValue);
    return Next::Tail;
}

Next requestFromBank(QOR& q, Change& c)
{
    q.requestFromBank(c.intValue);
    return Next::Tail;
}

Next programStep(QOR& q, Change& c)
{
    q.stepProgram(c.part, c.idx < kPatchDown, c.intValue);
    return Next::Stop;
}

// The librarian's rows; the controller keeps their steps beside its other librarian operations.
Next triggerLibrarianSwitch(QOR& q, Change& c)
{
    if (c.intValue == 0) return Next::Stop;
    q.toggleLibrarianSwitch(c.idx == kTriggerProgControl ? kControlProgBank : kControlLibrary);
    return Next::ReadOut;
}

Next paneBankStep(QOR& q, Change& c)
{
    if (c.intValue != 1) return Next::ReadOut;
    q.stepPaneBank(c.idx == kLibUpperPreviousBank || c.idx == kLibUpperNextBank, c.idx >= kLibUpperNextBank);
    return Next::Stop;
}

Next partBank(QOR& q, Change& c)
{
    if (q.mUpperBankLocked) return Next::ReadOut;
    q.showUpperPaneBank(c.intValue);
    return Next::Stop;
}

Next librarianRow(QOR& q, Change& c)
{
    // A program change kept under one control mode means something else under the other.
    if ((c.idx == kControlLibrary || c.idx == kControlProgBank) && q.midiManager) q.midiManager->endKeptPrograms(false);
    q.librarianParamChange(c.idx, c.intValue);
    return Next::Tail;
}

// Switches that are one flag of the controller each: on exactly at 1.
struct FlagRow {
    int id;
    std::atomic<bool> QOR::*flag;
};
const FlagRow kFlagRows[] = {
    {kGlobalLocalControl, &QOR::localControlOn},
    {kMIDIFilterTrackIncomingMIDI, &QOR::trackIncomingMidi},
    {kMasterKeyboard, &QOR::masterKeyboardOn},
    {kSendMIDIClockPointer, &QOR::sendClockPointer},
};

Next flagSwitch(QOR& q, Change& c)
{
    for (const FlagRow& row : kFlagRows) {
        if (row.id == c.idx) (q.*row.flag) = c.intValue == 1;
    }
    return Next::Tail;
}

Next globalMidiChannel(QOR& q, Change& c)
{
    q.deviceId = c.intValue;
    return Next::Tail;
}

// Pass-through switches, host kinds then device kinds: the filter blocks what does not pass.
Next midiFilter(QOR& q, Change& c)
{
    q.midiFilterSwitches[size_t(c.idx - kMIDIFilterDAWCCPassThrough)] = c.intValue != 1;
    return Next::Tail;
}

// Straight to the port and through the host buffer exclude each other.
Next directToHardware(QOR& q, Change& c)
{
    if (c.intValue == 1) {
        setOnScreen(q, kMIDIFilterToDAWBuffer, 0.0);
        q.routeMidiToHostBuffer = false;
    }
    return Next::Tail;
}

Next toHostBuffer(QOR& q, Change& c)
{
    if (c.intValue == 1) {
        setOnScreen(q, kMIDIFilterDirectToHardware, 0.0);
        q.routeMidiToHostBuffer = true;
    }
    return Next::Tail;
}

Next adjustDAWOffset(QOR& q, Change& c)
{
    q.dawOffset = int32_t(std::clamp<long long>(2LL * c.intValue + q.GetBlockSize(), INT32_MIN, INT32_MAX));
    return Next::Tail;
}

Next multiArpSwitch(QOR& q, Change& c)
{
    setOnScreen(q, kArpSwitch + c.part, c.intValue);
    q.OnParamChange(kArpSwitch + c.part);
    return Next::Stop;
}

Next viewMIDIFilterSettings(QOR& q, Change& c)
{
    if (c.intValue == 1) {
        hideLayer(q, "midiFilterSettings", false);
        hidePanningStrips(q);
    } else {
        hideLayer(q, "midiFilterSettings", true);
        flashIndicator(q);
        q.OnParamChange(kMainTab);
    }
    return Next::Tail;
}

Next deviceOutSelection(QOR& q, Change& c)
{
    const std::string name = q.deviceChoiceName(false, c.intValue);
    int port = c.intValue;
    // The user's choice of another output decides what the output gets; the recall's absent
    // notice goes. The device the recall waits for, chosen again, is still owed it.
    const bool again = c.intValue > 0 && name == q.GetExternalMIDIChoice(false);
    if (!again) {
        ++q.mRecallDebtDecisions;
        if (q.recalledSendOwed.exchange(false)) q.showStatus2("");
    }
    const int opened = q.setExternalMIDIOut(port, name.c_str());
    q.noteOutputOpened(opened);
    if (c.intValue > 0 && opened <= 0) {
        // The device is followed by its name from now on, as one that went away is: sends end at
        // the closed port until it comes, and then it is asked its id; nothing is asked before
        // (the start-up's request included). The stored default stays.
        q.midiIOSet = true;
        q.log("MIDI OUT: cannot open " + name);
        q.showDevice(false);
        q.sayDevices();
        return Next::Tail;
    }
    if (c.intValue > 0) {
        q.midiIOSet = true;
        q.uiSettingsLines[3] = name;
    } else {
        if (q.midiManager) q.midiManager->sender->resetContinuousClock(true);
        q.midiIOSet = false;
    }
    if (q.writeUISettings()) q.showStatus("Default MIDI output set.");
    // Edits go out from now on, but the enquiry needs the input to hear its answer: without one
    // it waits for the input's choice instead of running into its time-out. It goes last: a
    // synthesizer that answers at once must not have its "ready" line covered by the line above.
    const bool waited = q.mEnquiryAwaitsInput;
    q.mEnquiryAwaitsInput = c.intValue > 0 && q.midiInIndex <= 0;
    if (q.mEnquiryAwaitsInput)
        q.showStatus2(q.inputAwaitedText().c_str());
    else if (c.intValue > 0)
        q.sendSysExInitialization();
    else if (waited)
        q.showStatus2(""); // with no output nothing waits for the input
    return Next::Tail;
}

Next deviceInSelection(QOR& q, Change& c)
{
    const std::string name = q.deviceChoiceName(true, c.intValue);
    int port = c.intValue;
    const int opened = q.setExternalMIDIIn(port, name.c_str());
    q.midiInIndex = opened;
    if (c.intValue > 0 && opened <= 0) {
        q.log("MIDI IN: cannot open " + name);
        q.showDevice(true);
        q.sayDevices();
        return Next::Tail;
    }
    if (c.intValue > 0) q.uiSettingsLines[4] = name;
    if (q.writeUISettings()) q.showStatus("Default MIDI input set.");
    // The output came first: its notice goes, and its enquiry can be heard now.
    if (opened > 0 && q.mEnquiryAwaitsInput) {
        q.mEnquiryAwaitsInput = false;
        q.showStatus2("");
        if (q.midiIOSet) q.sendSysExInitialization();
    } else if (q.recalledSendOwed && q.midiIOSet && !q.outputAway() && q.midiOutIndex > 0) {
        // A host that does not render would never pay it.
        q.payOwedAfterChoice();
    }
    return Next::Tail;
}

Next aboutWindow(QOR& q, Change& c)
{
    if (c.intValue == 0) return Next::Tail;
    if (c.idx == kDisplayAboutWindow) {
        hideLayer(q, "aboutWindow", false);
        hidePanningStrips(q);
    } else {
        hideLayer(q, "aboutWindow", true);
        flashIndicator(q);
        q.OnParamChange(kMainTab);
    }
    return Next::Tail;
}

Next multiPartSettings(QOR& q, Change&)
{
    TabSwitchFunctions::mainTabSwitch(&q, kMainTab, truncated(valueOf(q, kMainTab)), q.currentModel, q.selectedPart);
    return Next::Tail;
}

Next pushArrangement(QOR& q, Change& c)
{
    if (c.intValue == 0 || !q.midiManager) return Next::Tail;
    q.midiManager->disarmRequestBuffers();
    SenderJobRecord r;
    r.job = kJobSendArrangement;
    // Set only once the job really starts: left set by a dropped job, they would block all
    // incoming MIDI for good.
    const bool started = startAsked(q, r, [&q] {
        q.raiseWholeSendFlags();
        // What a recall owes is paid by this send, unless the output is away still: then the
        // debt stays for the device's return, since this send reaches nothing. So it does if the
        // connection goes during the send.
        if (q.midiIOSet && !q.outputAway() && q.recalledSendOwed) q.mSendPaysRecall = QOR::kPaysOnce;
    });
    if (!started) q.log("PUSH ARRANGEMENT: the MIDI job thread is busy, nothing sent");
    return Next::Tail;
}

Next requestTempData(QOR& q, Change& c)
{
    if (c.intValue != 1 || !q.midiManager) return Next::Tail;
    SenderJobRecord r;
    r.job = kJobRequestActiveArrangement;
    r.toEditor = true;
    MIDIMessageManager* m = q.midiManager;
    // Only a request that really starts resets the reply: a dropped one would take a running
    // job's reply back, and that job would wait for it until its time-out.
    startAsked(q, r, [&q, m] {
        q.SetLibrarianRequestActive(false);
        m->expectingEditDump = true;
    });
    return Next::Tail;
}

Next sendClockInfo(QOR& q, Change& c)
{
    const bool on = c.intValue == 1;
    q.sendClockInfo = on;
    if (q.midiManager) q.midiManager->sender->resetContinuousClock(!on);
    // The next audio block starts the loop again, with the tempo of that moment.
    q.continuousClockStarted = false;
    return Next::Tail;
}

// A new program for the selected part: drawn, sent (job 2), and read back by the next free
// audio block (job 7), so the editor shows what the synthesizer made of it. The send starts
// first: raised before, the read-back could take the thread and the send be dropped.
Next randomize(QOR& q, Change& c)
{
    if (c.intValue != 1 || !(valueOf(q, kMainTab) > 0.0) || !q.midiManager) return Next::Stop;
    const int part = q.selectedPart;
    q.midiManager->randomGenerator();
    q.midiManager->randomizePatchSettings(part);
    SenderJobRecord r;
    r.job = kJobSendPart;
    r.part = part;
    r.storeIntoLibrary = false;
    startJob(q, r);
    q.partRequestPending = true;
    Sleep(200);
    q.showStatus("Part Randomized");
    setOnScreen(q, kRandomize, 0.0);
    q.OnParamChange(kRequestTempData);
    return Next::Stop;
}

Next multiSettings(QOR& q, Change&)
{
    TabSwitchFunctions::mainTabSwitch(&q, kMultiSettings, 0, q.currentModel, q.selectedPart);
    return Next::Tail;
}

Next cancelDataRequest(QOR& q, Change& c)
{
    if (c.intValue == 0) return Next::Stop;
    if (q.midiManager) q.midiManager->sender->cancel();
    return Next::Tail;
}

Next mainTab(QOR& q, Change& c)
{
    q.librarianParamChange(kMainTab, c.intValue);
    TabSwitchFunctions::mainTabSwitch(&q, kMainTab, c.intValue, q.currentModel, q.selectedPart);
    return Next::Tail;
}

Next currentModel(QOR& q, Change& c)
{
    q.currentModel = c.intValue;
    q.OnParamChange(kMainTab);
    return Next::Tail;
}

Next quickTab(QOR& q, Change& c)
{
    if (q.currentModel == 1 && c.intValue >= 6) {
        q.showStatus("Part 7 & 8 available for Tirravel II");
        // Back to the part shown before this change, or to part 1 when that is itself out of
        // reach (the model changed under it); the second pass then ends.
        const int back = c.shownPart >= 6 || c.shownPart < 0 ? 0 : c.shownPart;
        setOnScreen(q, kQuickTab, back);
        q.OnParamChange(kQuickTab);
        return Next::Stop;
    }
    q.selectedPart = c.intValue;
    TabSwitchFunctions::quickTabSwitch(&q, kQuickTab, c.intValue, q.currentModel, q.partSelectSendFlag);
    return Next::Tail;
}

// ---- the tables ----

struct Case {
    int first;
    int last;
    Next (*run)(QOR&, Change&);
};

template <size_t N> constexpr bool ordered(const Case (&cases)[N])
{
    for (size_t i = 0; i < N; ++i) {
        if (cases[i].first > cases[i].last) return false;
        if (i > 0 && cases[i - 1].last >= cases[i].first) return false;
    }
    return true;
}

constexpr Case kEarlyCases[] = {
    {kOscillator1Waveform, kOscillator3Waveform + kParts - 1, oscillatorWaveform},
    {kFilterType, kFilterType + kParts - 1, filterType},
    {kFXRoutingConfig, kFXRoutingConfig + kParts - 1, effectRouting},
    {kFXMultiRoutingConfig, kFXMultiRoutingConfig + kParts - 1, effectRouting},
    {kCurrentPatchBank, kCurrentPatchBank + kParts - 1, partBank},
    {kEnvelope1Triggering, kEnvelope1Triggering + kParts - 1, envelopeTriggering},
    {kEnvelope2Triggering, kEnvelope2Triggering + kParts - 1, envelopeTriggering},
    {kEnvelope3Triggering, kEnvelope3Triggering + kParts - 1, envelopeTriggering},
    {kTriggerProgControl, kTriggerLibControl, triggerLibrarianSwitch},
    {kViewOscPages, kViewOscPages + kParts - 1, pageContents},
    {kLibUpperPreviousBank, kLibLowerNextBank, paneBankStep},
    {kUserInterfaceSize, kUserInterfaceSize, userInterfaceSize},
    {kFirstRunExit, kFirstRunExit, firstRunExit},
    {kMatrixSelector, kMatrix2Selector + kParts - 1, pageContents},
};

constexpr Case kMainCases[] = {
    {kArpSpeed, kArpSpeed, arpSpeed},
    {kMultiPartEffectsUsed, kMultiPartEffectsUsed + kParts - 1, multiPartEffectsUsed},
    {kArpPatternLength, kArpPatternLength + kParts - 1, arpPatternLength},
    {kPatternDataFirst, kPatternDataLast, patternData},
    {kMultiPartStatus, kMultiPartMIDICh + kParts - 1, performanceSetting},
    {kGlobalLocalControl, kGlobalLocalControl, flagSwitch},
    {kGlobalMidiChannel, kGlobalMidiChannel, globalMidiChannel},
    {kGlobalTempo, kGlobalTempo, globalTempo},
    {kOverrideTempo, kOverrideTempo, overrideTempo},
    {kMultiName, kMultiName, multiName},
    {kPatchName, kPatchName + kParts - 1, patchName},
    {kMIDIFilterDAWCCPassThrough, kMIDIFilterHWSEPassThrough, midiFilter},
    {kMIDIFilterTrackIncomingMIDI, kMIDIFilterTrackIncomingMIDI, flagSwitch},
    {kMIDIFilterDirectToHardware, kMIDIFilterDirectToHardware, directToHardware},
    {kMIDIFilterToDAWBuffer, kMIDIFilterToDAWBuffer, toHostBuffer},
    {kAdjustDAWOffset, kAdjustDAWOffset, adjustDAWOffset},
    {kPatternName, kPatternName + kParts - 1, patternName},
    {kMultiArpSwitch, kMultiArpSwitch + kParts - 1, multiArpSwitch},
    {kMasterKeyboard, kMasterKeyboard, flagSwitch},
    {kControlProgBank, kControlProgBank, librarianRow},
    {kOverwriteBank, kOverwriteBank, overwriteBank},
    {kPatchSearchString, kPatchSearch, librarianRow},
    {kViewMIDIFilterSettings, kViewMIDIFilterSettings, viewMIDIFilterSettings},
    {kCategorySelection, kCategorySelection, librarianRow},
    {kDeviceOutSelection, kDeviceOutSelection, deviceOutSelection},
    {kDeviceInSelection, kDeviceInSelection, deviceInSelection},
    {kDisplayAboutWindow, kExitAboutWindow, aboutWindow},
    {kMultiPartSettings, kMultiPartSettings + kParts - 1, multiPartSettings},
    {kRequestFromBank, kRequestFromBank, requestFromBank},
    {kPatchUp, kPatchDown + kParts - 1, programStep},
    {kControlLibrary, kControlLibrary, librarianRow},
    {kPushArrangement, kPushArrangement, pushArrangement},
    {kDiscardBankData, kDiscardBankData, librarianRow},
    {kRequestTempData, kRequestTempData, requestTempData},
    {kSendMIDIClockInfo, kSendMIDIClockInfo, sendClockInfo},
    {kSendMIDIClockPointer, kSendMIDIClockPointer, flagSwitch},
    {kMultiSettings, kMultiSettings, multiSettings},
    {kPatchRename, kRefreshFolders, librarianRow},
    {kCancelDataRequest, kCancelDataRequest, cancelDataRequest},
    {kRandomize, kRandomize, randomize},
    {kMainTab, kMainTab, mainTab},
    {kCurrentModel, kCurrentModel, currentModel},
    {kQuickTab, kQuickTab, quickTab},
};

static_assert(ordered(kEarlyCases) && ordered(kMainCases), "case tables are sorted and do not overlap");
static_assert(kMultiPartMIDICh == kMultiPartStatus + kParts, "status and channel blocks are one range");
static_assert(kExitAboutWindow == kDisplayAboutWindow + 1 && kMatrix2Selector == kMatrixSelector + kParts);
static_assert(kOscillator3Waveform == kOscillator1Waveform + 2 * kParts);
static_assert(kPatchDown == kPatchUp + kParts);
static_assert(kTriggerLibControl == kTriggerProgControl + 1 && kLibLowerNextBank == kLibUpperPreviousBank + 3);
static_assert(kPatchSearch == kPatchSearchString + 1 && kRefreshFolders == kPatchRename + 2);

template <size_t N> const Case* findCase(const Case (&cases)[N], int idx)
{
    const Case* end = cases + N;
    const Case* c = std::upper_bound(cases, end, idx, [](int id, const Case& k) { return id < k.first; });
    if (c == cases) return nullptr;
    --c;
    return idx <= c->last ? c : nullptr;
}

} // namespace

void QOR::OnParamChange(int idx)
{
    KIT_MutexLock lock(&mutex);
    IParam* param = GetParam(idx);
    if (!param) return;
    const double value = param->Value();
    Change change{idx, param, value, truncated(value), 0, selectedPart};
    Next next = Next::QuickTab;
    if (const Case* early = findCase(kEarlyCases, idx)) {
        change.part = (idx - early->first) % kParts;
        next = early->run(*this, change);
    }
    if (next == Next::Stop) return;
    if (next != Next::Action) {
        if (startupComplete) {
            // Every change re-applies the selected part's layers, then shows itself on the read-out.
            if (next == Next::QuickTab)
                TabSwitchFunctions::quickTabSwitch(this, kQuickTab, selectedPart, currentModel, false);
            ControlDisplay::controlDisplay(this, idx, change.value, hostTransportPlaying);
        }
        if (const Case* main = findCase(kMainCases, idx)) {
            change.part = (idx - main->first) % kParts;
            if (main->run(*this, change) == Next::Stop) return;
        }
    }
    ControlAction* action = param->GetControlAction();
    if (!action) return;
    followSwitchLayer(action, change.intValue);
    processControlAction(action, idx, change.value);
}

void QOR::OnParamChange2(int idx)
{
    KIT_MutexLock lock(&mutex);
    IParam* param = GetParam(idx);
    if (!param) return;
    changeFromHardware = true;
    const double value = param->Value();
    if (startupComplete) {
        ControlDisplay::controlDisplay(this, idx, value, false);
        if (idx == kQuickTab)
            TabSwitchFunctions::quickTabSwitch(this, kQuickTab, truncated(value), currentModel, false);
    }
    if (ControlAction* action = param->GetControlAction()) {
        followSwitchLayer(action, truncated(value));
        if (!mSendSuppressed) processControlAction(action, idx, value);
    }
    if (midiManager) midiManager->expectingEditDump = false;
    changeFromHardware = false;
}

void QOR::showStatus2(const char* text)
{
    if (valueDisplay) valueDisplay->SetTextFromPlug(text);
}

bool QOR::writeUISettings()
{
    // The file must be there already: the installer makes it, and a missing one is reported
    // rather than made anew.
    FILE* existing = std::fopen(uiFilePath.c_str(), "rb");
    std::string error = "missing";
    if (existing) {
        std::fclose(existing);
        std::string image;
        for (const std::string& line : uiSettingsLines) image += line + "\n";
        if (kit::WriteFileReplacing(uiFilePath, image.data(), image.size(), &error)) return true;
    }
    showStatus("QOR Editor UI.txt MISSING!");
    showStatus2("Contact support");
    log("UI SETTINGS: " + uiFilePath + " not written: " + error);
    return false;
}
