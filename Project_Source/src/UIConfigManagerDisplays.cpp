#include "ParamTable.h"
#include "ReadoutTextControl.h"
#include "RenameFieldControl.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"

#include <algorithm>

namespace
{

const char* const kDisplayFont = "NK57 Monospace";

// What a name field shows before the synthesizer or the user gives it a name.
const char* initialName(int paramId)
{
    if (paramId == kPatchRename) return "New Name";
    if (paramId == kPatchSearchString) return "search...";
    if (paramId == kMultiName) return "Init Multi";
    if (paramId >= kPatchName && paramId < kPatchName + kPartCount) return "-- INIT --";
    return "INIT";
}

} // namespace

void UIConfigManager::createControlDisplay(std::string name, int paramId, int x, int y, int width, int height, int,
                                           ControlLayer* layer, std::string, int displaySize)
{
    // The parameter stays as the table made it: the controller finds the read-out through the
    // parameter's action and writes its text.
    if (!paramForElement(name, paramId)) return;
    IColor white(255, 255, 255, 255);
    // The face is the display size where one is given, so that a field two lines high keeps the
    // face of its neighbours; a long status text then shrinks or breaks into the second line.
    IText text(plugdraw::TruncInt((displaySize > 0 ? std::min(displaySize, height) : height) * scale), &white,
               kDisplayFont);
    auto* display = new ReadoutTextControl(graphics->GetPlug(), scaledRect(x, y, width, height), &text, "");
    placeControl(display, layer);
    getControlAction(paramId, ControlAction::kNone, display);
}

void UIConfigManager::createNameDisplay(std::string name, int paramId, int x, int y, int width, int height, int nameLen,
                                        int part, ControlLayer* layer, std::string group)
{
    IParam* param = paramForElement(name, paramId);
    if (!param) return;
    param->InitEnum(name.c_str(), 0, 1, "", getParamGroup(part, group), -1, -1);
    param->InitText();
    param->SetDisplayText(0, initialName(paramId));
    // The rename and search fields are the librarian's; the others name what the synthesizer holds.
    const bool librarian = paramId == kPatchRename || paramId == kPatchSearchString;
    IColor color = librarian ? IColor(255, 225, 225, 225) : IColor(255, 26, 180, 232);
    IText text(plugdraw::TruncInt(height * scale), &color, kDisplayFont);
    const IRECT rect = scaledRect(x, y, width, height);
    ICaptionControl* field = paramId == kPatchRename
                                 ? new RenameFieldControl(graphics->GetPlug(), rect, paramId, &text, true)
                                 : new ICaptionControl(graphics->GetPlug(), rect, paramId, &text, true);
    field->DisablePrompt(false);
    // A length below zero from the layout would reach the text entry as a size.
    field->SetTextEntryLength(std::max(0, nameLen));
    placeControl(field, layer);
    getControlAction(paramId, ControlAction::kNone, field);
}
