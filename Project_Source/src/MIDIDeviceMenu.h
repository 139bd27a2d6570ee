#pragma once
// The MIDI In and MIDI Out device menus of the set-up page.
#include "kit/plugin/IControl.h"

// Ends the entry of a chosen device that is away.
constexpr char kAbsentMark[] = " (absent)";

// A caption that pops its device list. Choosing the entry already checked runs that choice
// again, which opens the port anew: a synthesizer restarted under the same name is reached
// without first choosing "Select MIDI Device". Any other entry is an ordinary change. The entry
// is taken by the device it named when the menu opened: the lists may change meanwhile. A name
// too wide for the field is cut, never the absent mark, and nothing is drawn outside the field.
class MIDIDeviceMenu : public ICaptionControl
{
public:
    using ICaptionControl::ICaptionControl;
    bool Draw(IGraphics* g) override;
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;

private:
    void choose();
};
