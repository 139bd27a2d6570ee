#pragma once
// A fader whose handle runs in a drawn groove, so that it reads as a fader and shows how far it
// can travel.
#include "kit/plugin/IControl.h"

class TrackedFaderControl : public IFaderControl
{
public:
    using IFaderControl::IFaderControl;
    bool Draw(IGraphics* g) override;
};
