// The editor's side of following the chosen MIDI devices: the device menus and the status line
// say which chosen device is away, and a synthesizer that comes back is asked its device id again.
#include <string>
#include <vector>

#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"

using namespace qorid;

void QOR::showDevice(bool input)
{
    const int id = input ? kDeviceInSelection : kDeviceOutSelection;
    IParam* param = GetParam(id);
    if (!param) return;
    const std::vector<std::string> names = *(input ? getExternalMIDIInNames() : getExternalMIDIOutNames());
    const std::string choice = GetExternalMIDIChoice(input);
    int value = GetExternalMIDIOpenIndex(input);
    // A chosen device that is away keeps its place in the menu, marked, after the ports there are.
    const bool absent = value == 0 && !choice.empty();
    param->InitEnum("Device Selection", 0, int(names.size()) + (absent ? 1 : 0), "", "", -1, -1);
    param->ResetDisplayTexts();
    for (size_t i = 0; i < names.size(); ++i) param->SetDisplayText(int(i), names[i].c_str());
    if (absent) {
        value = int(names.size());
        param->SetDisplayText(value, (choice + " (absent)").c_str());
        showStatus((std::string(input ? "MIDI In" : "MIDI Out") + " absent: " + choice).c_str());
    }
    param->Set(double(value));
    if (IGraphics* g = GetGUI()) {
        g->SetParameterFromPlug(id, double(value), false);
        // The entry count changes with the list, so the field's normalized value can stay the
        // same while its entry does not (the last port becoming the absent one's mark).
        for (int i = 0; i < g->NControls(); ++i)
            if (IControl* c = g->GetControl(i); c && c->ParamIdx() == id) c->SetDirty(false);
    }
}

std::string QOR::deviceChoiceName(bool input, int index)
{
    const std::vector<std::string>& names = *(input ? getExternalMIDIInNames() : getExternalMIDIOutNames());
    if (index >= 0 && size_t(index) < names.size()) return names[size_t(index)];
    // The entry after the ports is the chosen device that is away.
    return index == int(names.size()) ? GetExternalMIDIChoice(input) : std::string();
}

void QOR::OnExternalMIDIFollowed()
{
    midiInIndex = GetExternalMIDIOpenIndex(true);
    midiOutIndex = GetExternalMIDIOpenIndex(false);
    // An output that is away keeps midiIOSet: what is sent meanwhile ends at the closed port,
    // and a request under way ends as one without an answer does.
    if (midiOutIndex > 0) midiIOSet = true;
    showDevice(true);
    showDevice(false);
    const bool away = (midiInIndex == 0 && !GetExternalMIDIChoice(true).empty()) ||
                      (midiOutIndex == 0 && !GetExternalMIDIChoice(false).empty());
    if (!away) showStatus("MIDI device back");
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
