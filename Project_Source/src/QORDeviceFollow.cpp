// The editor's side of following the chosen MIDI devices: the device menus and the status line
// say which chosen device is away, and a synthesizer that comes back is asked its device id again.
// The follower only records what changed; the main thread shows it.
#include <string>
#include <vector>

#include "MIDIDeviceMenu.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/kitstring.h"
#include "kit/wapi/wapi.h"

using namespace qorid;

namespace
{

std::string text(ITextControl* control)
{
    KIT_String s("", 0, 256);
    if (control) control->GetTextCopy(&s);
    return s.Get();
}

bool isAway(QOR& q, bool input)
{
    return q.GetExternalMIDIOpenIndex(input) == 0 && !q.GetExternalMIDIChoice(input).empty();
}

} // namespace

void QOR::showDevice(bool input)
{
    const int id = input ? kDeviceInSelection : kDeviceOutSelection;
    IParam* param = GetParam(id);
    if (!param) return;
    const std::vector<std::string> names = *(input ? getExternalMIDIInNames() : getExternalMIDIOutNames());
    const std::string choice = GetExternalMIDIChoice(input);
    int value = GetExternalMIDIOpenIndex(input);
    // A chosen device that is away is named once, marked, after the ports there are: a list read
    // while it was there still holds its name.
    const bool absent = value == 0 && !choice.empty();
    std::vector<std::string>& entries = mDeviceEntries[input];
    entries.clear();
    for (size_t i = 0; i < names.size(); ++i)
        if (!(absent && i > 0 && names[i] == choice)) entries.push_back(names[i]);
    if (absent) {
        value = int(entries.size());
        entries.push_back(choice);
    }
    param->InitEnum("Device Selection", 0, int(entries.size()), "", "", -1, -1);
    param->ResetDisplayTexts();
    for (size_t i = 0; i < entries.size(); ++i)
        param->SetDisplayText(int(i), (entries[i] + (absent && int(i) == value ? kAbsentMark : "")).c_str());
    param->Set(double(value));
    if (IGraphics* g = GetGUI()) {
        g->SetParameterFromPlug(id, double(value), false);
        // The entry count changes with the list, so the field's normalized value can stay the
        // same while its entry does not (the last port becoming the absent one's mark).
        for (int i = 0; i < g->NControls(); ++i)
            if (IControl* c = g->GetControl(i); c && c->ParamIdx() == id) c->SetDirty(false);
    }
}

std::string QOR::awayText(bool input)
{
    // A port the system lists is there: a client the system gave up on is no reason to call it absent.
    return std::string(input ? "MIDI In " : "MIDI Out ") +
           (ExternalMIDIRefused(input) ? "could not be opened: " : "absent: ") + GetExternalMIDIChoice(input);
}

void QOR::absentTexts(std::string* line1, std::string* line2)
{
    const bool outAway = isAway(*this, false), inAway = isAway(*this, true);
    const std::string out = awayText(false), in = awayText(true);
    *line1 = outAway ? out : inAway ? in : std::string();
    *line2 = outAway && inAway ? in : std::string(); // both away: the input on the second line
    // One away: the second line says why a port of its name was not taken (two could be it).
    if (outAway != inAway) {
        const std::string why = GetExternalMIDIFollowWhy(inAway);
        if (!why.empty()) *line2 = why;
    }
}

void QOR::sayDevices()
{
    const bool outAway = isAway(*this, false), inAway = isAway(*this, true);
    const std::string out = awayText(false), in = awayText(true);
    // A line that shows something said since (the enquiry of a return, an edit) keeps it.
    const bool ours1 = !mAbsentSaid1.empty() && mAbsentSaid1 == text(statusDisplay);
    const bool ours2 = !mAbsentSaid2.empty() && mAbsentSaid2 == text(valueDisplay);
    // A recall names the output it waits for under its own text, which stays: the second line
    // names what is away.
    const std::string line2 = text(valueDisplay);
    const bool recallLine2 = line2 == out || line2 == out + "; " + in;
    if (outAway && recallLine2) {
        mAbsentSaid1.clear();
        mAbsentSaid2 = inAway ? out + "; " + in : out;
        showStatus2(mAbsentSaid2.c_str());
        return;
    }
    absentTexts(&mAbsentSaid1, &mAbsentSaid2);
    if (!mAbsentSaid1.empty())
        showStatus(mAbsentSaid1.c_str());
    else if (ours1)
        showStatus("MIDI device back");
    if (!mAbsentSaid2.empty())
        showStatus2(mAbsentSaid2.c_str());
    else if (ours2 || recallLine2) // the output back: its absent text is no longer true
        showStatus2("");
}

void QOR::noteReadout(const std::string& line1, const std::string& line2)
{
    if (mAbsentSaid1.empty() && mAbsentSaid2.empty()) return;
    mReadoutSaid[0] = line1;
    mReadoutSaid[1] = line2;
    mReadoutAt = ticks();
    mReadoutCovers = true;
}

void QOR::sayDevicesAfterReadout()
{
    mReadoutCovers = false;
    std::string line1, line2;
    absentTexts(&line1, &line2);
    if (line1.empty()) return; // back meanwhile: the read-out may stay
    const std::string shown1 = text(statusDisplay);
    // A send to the output that is away has said so in place of the name.
    const bool covered1 = shown1 == mReadoutSaid[0] || shown1 == line1;
    const bool covered2 = text(valueDisplay) == mReadoutSaid[1];
    // Only what still shows the read-out: anything said since stays.
    if (covered1) {
        mAbsentSaid1 = line1;
        showStatus(line1.c_str());
    }
    if (covered2) {
        mAbsentSaid2 = line2;
        showStatus2(line2.c_str());
    }
}

std::string QOR::jobEndText(const std::string& text)
{
    // The indices the follower's word leaves, not the name lists, which it may be swapping.
    const bool outAway = mOutputChosen && midiOutIndex <= 0;
    const bool inAway = IsExternalMIDIChosen(true) && midiInIndex <= 0;
    if (!outAway && !inAway) return text;
    mDevicesDue = true; // the second line, and the menus
    return awayText(!outAway);
}

void QOR::sayOutputAway()
{
    showStatus(awayText(false).c_str());
}

std::string QOR::inputAwaitedText()
{
    const std::string input = GetExternalMIDIChoice(true);
    return input.empty() ? "MIDI In not set" : awayText(true);
}

void QOR::noteOutputOpened(int index)
{
    mOutputChosen = !GetExternalMIDIChoice(false).empty();
    midiOutIndex = index;
}

uint32_t QOR::ticks() const
{
    return mLedClock ? mLedClock() : GetTickCount();
}

void QOR::showOpenedDevice(int paramId, int, const std::string&)
{
    const bool input = paramId == kDeviceInSelection;
    showDevice(input);
    // What the start-up or a recall shows next would cover the absent text: the timer says it.
    if (isAway(*this, input)) mDevicesDue = true;
}

void QOR::showFollowedDevices()
{
    // How long a value's read-out covers the absent texts: long enough to be read.
    constexpr uint32_t kReadoutHoldMs = 2000;
    const auto readoutDone = [this] { return mReadoutCovers && ticks() - mReadoutAt >= kReadoutHoldMs; };
    if (!mDevicesDue && !readoutDone()) return;
    // The follower holds the plug-in mutex while it changes the ports and their lists: the next
    // tick tries again rather than keep the editor waiting.
    if (!mutex.TryEnter()) return;
    struct Held {
        KIT_Mutex& mutex;
        ~Held() { mutex.Leave(); }
    } held{mutex};
    if (mDevicesDue.exchange(false)) {
        showDevice(true);
        showDevice(false);
        sayDevices();
    }
    if (readoutDone()) sayDevicesAfterReadout(); // a read-out shown meanwhile is held anew
}

std::string QOR::deviceChoiceName(bool input, int index)
{
    // Until the menu was first shown here its entries are the name list, which the follower may
    // read again under the plug-in mutex.
    const bool shown = !mDeviceEntries[input].empty();
    KIT_MutexLock lists(shown ? nullptr : &mutex);
    const std::vector<std::string>& entries =
        shown ? mDeviceEntries[input] : *(input ? getExternalMIDIInNames() : getExternalMIDIOutNames());
    return index >= 0 && size_t(index) < entries.size() ? entries[size_t(index)] : std::string();
}

int QOR::deviceEntry(bool input, const std::string& name)
{
    const int id = input ? kDeviceInSelection : kDeviceOutSelection;
    const IParam* param = GetParam(id);
    for (int i = 0, n = param ? param->GetNDisplayTexts() : 0; i < n; ++i)
        if (deviceChoiceName(input, i) == name) return i;
    return -1;
}

void QOR::OnExternalMIDIFollowed()
{
    // On the follower's thread, under the plug-in mutex: records, nothing shown.
    const int in = GetExternalMIDIOpenIndex(true), out = GetExternalMIDIOpenIndex(false);
    // An output that is away keeps midiIOSet: what is sent meanwhile ends at the closed port,
    // and a request under way ends as one without an answer does. One that comes back is asked
    // by the follower alone: the start-up's own request, still pending while it was away, goes
    // before the render call can see the output open.
    if (out > 0) {
        initialRequestPending = false;
        midiIOSet = true;
    }
    midiInIndex = in;
    midiOutIndex = out;
    mEnquiriesAtFollow = mEnquiriesStarted;
    mDevicesDue = true;
}

bool QOR::OnExternalMIDIReturned()
{
    if (!midiIOSet || midiOutIndex <= 0 || !midiManager) return true; // nothing to ask through
    // The recall's absent notice: its output is back.
    if (recalledSendOwed) showStatus2("");
    // The render call's pay of a debt, or a choice, has asked the returned device already.
    if (mEnquiriesStarted != mEnquiriesAtFollow) return true;
    if (midiInIndex <= 0) {
        // Nothing can hear an enquiry: a recall's debt goes at the current id.
        if (recalledSendOwed && !startOwedSend()) return false;
        // As a choice of the output: the enquiry waits for the input.
        mEnquiryAwaitsInput = true;
        showStatus2(inputAwaitedText().c_str());
        return true;
    }
    mEnquiryAwaitsInput = false;
    // The start-up's own enquiry would ask the same; while a recall's send is owed this one
    // takes only the id and pays it.
    initialRequestPending = false;
    return startDeviceIdEnquiry();
}
