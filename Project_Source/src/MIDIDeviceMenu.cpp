#include "MIDIDeviceMenu.h"

#include <string>
#include <vector>

#include "MarkedCaption.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/IPopupMenu.h"

bool MIDIDeviceMenu::Draw(IGraphics* g)
{
    const IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return true;
    std::string name = param->CopyDisplayText(int(param->Value()));
    std::string mark = std::string(" ") + param->GetLabelForHost();
    const size_t markAt = name.size() - std::min(name.size(), sizeof kAbsentMark - 1);
    if (name.compare(markAt, std::string::npos, kAbsentMark) == 0) {
        name.erase(markAt);
        mark = kAbsentMark + mark;
    }
    const std::string shown = fitMarkedCaption(g, &mText, mRECT, name, mark);
    StoreText(shown.c_str());
    g->DrawIText(&mText, shown.c_str(), &mRECT);
    return true;
}

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
    auto* q = dynamic_cast<QOR*>(mPlug);
    const bool input = paramIdx == qorid::kDeviceInSelection;
    IPopupMenu menu;
    std::vector<std::string> devices;
    for (int i = 0, current = int(param->Value()); i < param->GetNDisplayTexts(); ++i) {
        menu.AddItem(param->GetDisplayText(i), -1, i == current ? IPopupMenuItem::kChecked : 0);
        devices.push_back(q ? q->deviceChoiceName(input, i) : std::string());
    }
    IPopupMenu* chosen = g->CreateIPopupMenu(&menu, &mRECT);
    int index = chosen ? chosen->GetChosenItemIdx() : -1;
    if (index < 0 || size_t(index) >= devices.size()) return;
    // The device named then, wherever its entry is now; gone from the lists, nothing is chosen.
    if (q) index = q->deviceEntry(input, devices[size_t(index)]);
    if (index < 0 || index >= param->GetNDisplayTexts()) return;
    if (index != int(param->Value())) {
        SetValueFromUserInput(param->GetNormalized(double(index)));
        return;
    }
    // An unchanged value goes no further through the framework, so the choice is run here.
    mPlug->OnParamChange(paramIdx);
    SetDirty(false);
}
