#include "MIDIDeviceMenu.h"
#include "MarkedCaption.h"
#include "ParamTable.h"
#include "QOR.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"

#include <cstdio>

namespace {

const char* const kMenuFont = "NK57 Monospace";

bool inBlock(int id, int base, int count) { return id >= base && id < base + count; }

} // namespace

const char* UIConfigManager::getParamGroup(int part, std::string group)
{
    if (part >= 0) {
        paramGroupText = "Part " + std::to_string(part + 1);
        if (!group.empty()) paramGroupText += ":" + group;
        return paramGroupText.c_str();
    }
    if (group.empty()) return "";
    paramGroupText = group;
    return paramGroupText.c_str();
}

IRECT UIConfigManager::scaledRect(int x, int y, int width, int height) const
{
    const int left = plugdraw::TruncInt(x * scale), top = plugdraw::TruncInt(y * scale);
    return IRECT(left, top, left + plugdraw::TruncInt(width * scale), top + plugdraw::TruncInt(height * scale));
}

int UIConfigManager::entryCount(const std::string& name, int minValue, int maxValue)
{
    const long long entries = (long long)maxValue - minValue;
    if (entries >= 0 && entries <= kMaxControlValues) return int(entries);
    log("CONFIG READER: " + name + " has " + std::to_string(entries) + " menu entries!");
    return -1;
}

void UIConfigManager::placeControl(IControl* control, ControlLayer* layer)
{
    if (layer) layer->controls.Add(control);
    else graphics->AttachControl(control);
}

namespace {

constexpr char kUnsavedMark[] = " (unsaved)";

// A pane's bank title: the name of the bank it shows, and nothing while it shows none (an
// empty library, or no category banks) rather than the bare index.
class BankTitle : public ICaptionControl
{
public:
    using ICaptionControl::ICaptionControl;
    bool Draw(IGraphics* g) override
    {
        const IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
        const std::string name = param ? param->CopyDisplayText(int(param->Value())) : std::string();
        if (param && name.empty()) {
            StoreText("");
            return true;
        }
        // The lower pane on the upper pane's bank with unsaved edits shows them, not the file.
        const auto* q = dynamic_cast<const QOR*>(mPlug);
        if (paramIdx != kPatchSelectionListLower || !q || !q->lowerPaneShowsUnsavedBank())
            return ICaptionControl::Draw(g);
        const std::string marked = fitMarkedCaption(g, &mText, mRECT, name, kUnsavedMark);
        StoreText(marked.c_str());
        g->DrawIText(&mText, marked.c_str(), &mRECT);
        return true;
    }
};

// A caption of the menus: the value's display text in the menu face, centred.
template <class Caption = ICaptionControl>
Caption* makeCaption(IGraphics* graphics, IRECT r, int paramId, int size, IColor color, bool prompt)
{
    IText text(size, &color, kMenuFont);
    auto* caption = new Caption(graphics->GetPlug(), r, paramId, &text, true);
    caption->DisablePrompt(!prompt);
    return caption;
}

} // namespace

void UIConfigManager::createDropDownMenu(std::string name, int paramId, int x, int y, int width, int height,
                                         int part, ControlLayer* layer, std::string group)
{
    IParam* param = paramForElement(name, paramId);
    if (!param) return;
    param->InitEnum(name.c_str(), 0, 1, "", getParamGroup(part, group), -1, -1);
    param->SetDisplayText(0, "----");
    IControl* caption = makeCaption<BankTitle>(graphics, scaledRect(x, y, width, height), paramId,
                                               plugdraw::TruncInt(height * scale), IColor(255, 210, 59, 59), false);
    placeControl(caption, layer);
    getControlAction(paramId, ControlAction::kNone, caption);
}

void UIConfigManager::createDropDownMenu2(std::string name, int paramId, int x, int y, int width, int height,
                                          int defaultValue, int minValue, int maxValue, std::vector<std::string> values,
                                          int part, ControlLayer* layer, std::string group)
{
    IParam* param = paramForElement(name, paramId);
    if (!param) return;
    const int entries = entryCount(name, minValue, maxValue);
    if (entries < 0) return;
    param->InitEnum(name.c_str(), defaultValue, entries, "", getParamGroup(part, group), -1, -1);
    if (values.size() != size_t(entries)) return;
    for (size_t i = 0; i < values.size(); ++i) param->SetDisplayText(int(i), values[i].c_str());
    IControl* caption = makeCaption(graphics, scaledRect(x, y, width, height), paramId,
                                    plugdraw::TruncInt(height * scale), IColor(255, 255, 173, 0), true);
    placeControl(caption, layer);
    getControlAction(paramId, ControlAction::kNone, caption);
}

void UIConfigManager::createMIDIDeviceSelectionControl(std::string name, int paramId, int x, int y, int width,
                                                       int height, int inputDevices, int, ControlLayer*, std::string)
{
    IParam* param = paramForElement(name, paramId);
    if (!param) return;
    const std::vector<std::string> names = deviceNames(inputDevices == 1);
    param->InitEnum("Device Selection", 0, int(names.size()), "", "", -1, -1);
    for (size_t i = 0; i < names.size(); ++i) param->SetDisplayText(int(i), names[i].c_str());
    IControl* caption = makeCaption<MIDIDeviceMenu>(graphics, scaledRect(x, y, width, height), paramId,
                                                    plugdraw::TruncInt(height * scale), IColor(255, 0, 174, 255), true);
    graphics->AttachControl(caption);
    getControlAction(paramId, ControlAction::kNone, caption);
}

void UIConfigManager::createNoValDropDown(std::string name, int paramId, int x, int y, int width, int height,
                                          int defaultValue, int minValue, int maxValue, int firstNumber,
                                          int lastNumber, int visible, std::vector<std::string> values, int part,
                                          ControlLayer* layer, std::string group, bool white)
{
    IParam* param = paramForElement(name, paramId);
    if (!param) return;
    const int entries = entryCount(name, minValue, maxValue);
    if (entries < 0) return;
    param->InitEnum(name.c_str(), defaultValue, entries, "", getParamGroup(part, group), -1, -1);
    if (values.size() == size_t(entries)) {
        for (size_t i = 0; i < values.size(); ++i) param->SetDisplayText(int(i), values[i].c_str());
    } else if (firstNumber == lastNumber) {
        return;
    } else {
        // Program numbers of the performance parts read as the synthesizer shows them.
        const bool threeDigits = inBlock(paramId, kMultiPartPatch, 8);
        for (int i = 0; i < entries; ++i) {
            char text[24];
            std::snprintf(text, sizeof text, threeDigits ? "%03lld" : "%lld", (long long)firstNumber + i);
            param->SetDisplayText(i, text);
        }
    }
    IColor color(0, 255, 173, 0); // not visible: draws nothing, still opens its menu
    if (visible == 1) {
        const bool blue = inBlock(paramId, kMultiPartBank, 8) || inBlock(paramId, kMultiPartPatch, 8) ||
                          paramId == kMultiBank || paramId == kMultiPatch;
        color = white ? IColor(255, 255, 255, 255) : blue ? IColor(255, 0, 174, 255) : IColor(255, 255, 173, 0);
    }
    placeControl(makeCaption(graphics, scaledRect(x, y, width, height), paramId, plugdraw::TruncInt(height * scale),
                             color, true),
                 layer);
}
