#pragma once
// The editor's overlay: a bitmap overlay that is always open. Its parameter carries no open or
// closed state (the librarian's grid hands its value to the plug-in on every redraw request), so
// the bitmap is drawn and the whole rectangle takes the mouse whatever the value.
#include "kit/plugin/IControl.h"

class CustomOverlayControl : public IBitmapOverlayControl
{
public:
    using IBitmapOverlayControl::IBitmapOverlayControl;

    bool Draw(IGraphics* g) override
    {
        mTargetRECT = mRECT;
        return IBitmapControl::Draw(g);
    }
};
