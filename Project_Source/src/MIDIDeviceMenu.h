#pragma once
// The MIDI In and MIDI Out device menus of the set-up page.
#include "kit/plugin/IControl.h"

// A caption that pops its device list. Choosing the entry already checked runs that choice
// again, which opens the port anew: a synthesizer restarted under the same name is reached
// without first choosing "Select MIDI Device". Any other entry is an ordinary change.
class MIDIDeviceMenu : public ICaptionControl {
public:
    using ICaptionControl::ICaptionControl;
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;

private:
    void choose();
};
