#include "MIDIDeviceMenu.h"

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/IPopupMenu.h"

void MIDIDeviceMenu::OnMouseDown(int, int, IMouseMod* mod)
{
    if (mod && (mod->L || mod->R)) choose();
}

void MIDIDeviceMenu::OnMouseDblClick(int, int, IMouseMod*)
{
    choose();
}

void MIDIDeviceMenu::choose()
{
    IGraphics* g = GetGUI();
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (IsGrayed() || GetPromptDisabled() || !g || !param) return;
    const int current = int(param->Value());
    IPopupMenu menu;
    for (int i = 0; i < param->GetNDisplayTexts(); ++i)
        menu.AddItem(param->GetDisplayText(i), -1, i == current ? IPopupMenuItem::kChecked : 0);
    IPopupMenu* chosen = g->CreateIPopupMenu(&menu, &mRECT);
    const int index = chosen ? chosen->GetChosenItemIdx() : -1;
    if (index < 0 || index >= param->GetNDisplayTexts()) return;
    if (index != current) {
        SetValueFromUserInput(param->GetNormalized(double(index)));
        return;
    }
    // An unchanged value goes no further through the framework, so the choice is run here.
    mPlug->OnParamChange(paramIdx);
    SetDirty(false);
}
