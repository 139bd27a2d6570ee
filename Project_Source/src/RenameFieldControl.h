#pragma once
// The rename panel's name field: a framed well that reads as a place to type, whose text entry
// opens inside the frame.
#include "kit/plugin/IControl.h"

class RenameFieldControl : public ICaptionControl
{
public:
    using ICaptionControl::ICaptionControl;
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;
    // Opens the text entry over the well, so that the keys go to it.
    void openEntry();
    // Escape in the field abandons the rename: the panel closes and the name stays.
    void TextEntryCancelled() override;

private:
    IRECT well() const;
};
