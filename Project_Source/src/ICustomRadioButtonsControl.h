#pragma once
// The editor's radio buttons: n buttons cut from one bitmap strip (side by side when the off and
// on frames lie one above the other, stacked when they lie side by side), exactly one selected
// by the value, a click selecting the button under the mouse.
#include "kit/plugin/IControl.h"

class ICustomRadioButtonsControl : public IRadioButtonsControl
{
public:
    ICustomRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                               EDirection direction);
    ~ICustomRadioButtonsControl() override = default;

    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    // A double click is the click before it again: no reset to the default.
    void OnMouseDblClick(int, int, IMouseMod*) override {}
    void OnMouseOver(int, int, IMouseMod*) override {}
    void OnMouseOut() override { SetDirty(false); }
    bool Draw(IGraphics* graphics) override;
    void OnMouseDownCustom(int x, int y, IMouseMod* mod);

protected:
    bool mAllowRightClick = false;
    bool mShowSelected = true;
    int mButtonW = 0;
    int mButtonH = 0;
    int mMaxSelectable = -1; // the last button that takes clicks; -1 for all
};
