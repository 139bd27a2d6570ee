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

void QOR::sayDevices()
{
    const bool outAway = isAway(*this, false), inAway = isAway(*this, true);
    const std::string out = "MIDI Out absent: " + GetExternalMIDIChoice(false);
    const std::string in = "MIDI In absent: " + GetExternalMIDIChoice(true);
    // A line that shows something said since (the enquiry of a return, an edit) keeps it.
    const bool ours1 = !mAbsentSaid1.empty() && mAbsentSaid1 == text(statusDisplay);
    const bool ours2 = !mAbsentSaid2.empty() && mAbsentSaid2 == text(valueDisplay);
    // A recall names the output it waits for under its own text, which stays: the second line
    // names what is away.
    const std::string line2 = text(valueDisplay);
    if (outAway && (line2 == out || line2 == out + "; " + in)) {
        mAbsentSaid1.clear();
        mAbsentSaid2 = inAway ? out + "; " + in : out;
        showStatus2(mAbsentSaid2.c_str());
        return;
    }
    mAbsentSaid1 = outAway ? out : inAway ? in : std::string();
    mAbsentSaid2 = outAway && inAway ? in : std::string(); // both away: the input on the second line
    // One away: the second line says why a port of its name was not taken (two could be it).
    if (outAway != inAway) {
        const std::string why = GetExternalMIDIFollowWhy(inAway);
        if (!why.empty()) mAbsentSaid2 = why;
    }
    if (!mAbsentSaid1.empty())
        showStatus(mAbsentSaid1.c_str());
    else if (ours1)
        showStatus("MIDI device back");
    if (!mAbsentSaid2.empty())
        showStatus2(mAbsentSaid2.c_str());
    else if (ours2)
        showStatus2("");
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
    if (!mDevicesDue) return;
    // The follower holds the plug-in mutex while it changes the ports and their lists: the next
    // tick tries again rather than keep the editor waiting.
    if (!mutex.TryEnter()) return;
    struct Held {
        KIT_Mutex& mutex;
        ~Held() { mutex.Leave(); }
    } held{mutex};
    mDevicesDue = false;
    showDevice(true);
    showDevice(false);
    sayDevices();
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
    midiInIndex = GetExternalMIDIOpenIndex(true);
    midiOutIndex = GetExternalMIDIOpenIndex(false);
    // An output that is away keeps midiIOSet: what is sent meanwhile ends at the closed port,
    // and a request under way ends as one without an answer does. One that comes back is asked
    // by the follower alone: the start-up's own request, still pending while it was away, goes
    // first, so the render call never sees midiIOSet with it.
    if (midiOutIndex > 0) {
        initialRequestPending = false;
        midiIOSet = true;
    }
    mDevicesDue = true;
}

bool QOR::OnExternalMIDIReturned()
{
    if (!midiIOSet || midiOutIndex <= 0 || !midiManager) return true; // nothing to ask through
    // A project recalled while the output was away owes it the performance; its own enquiry
    // asks the device id.
    if (recalledSendOwed) {
        if (!startOwedSend()) return false;
        showStatus2(""); // the recall's absent notice
        if (midiInIndex > 0) return true;
    }
    if (midiInIndex <= 0) {
        // As a choice of the output: the enquiry waits for the input.
        mEnquiryAwaitsInput = true;
        showStatus2("MIDI In not set");
        return true;
    }
    // The start-up's own enquiry would ask the same.
    initialRequestPending = false;
    return startDeviceIdEnquiry();
}
