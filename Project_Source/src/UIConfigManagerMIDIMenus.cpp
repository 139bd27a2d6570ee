#include "LayerNameSets.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"

IControl* UIConfigManager::makeMIDIMenu(const std::string& name, int paramId, unsigned nameSets, IRECT rect,
                                        int textSize, IColor color, int defaultValue, int minValue, int maxValue,
                                        int firstNumber, int lastNumber, const std::vector<std::string>& values,
                                        int part, ControlLayer* layer, const std::string& group, int kind,
                                        ControlAction** action)
{
    IParam* param = paramForElement(name, paramId);
    if (!param) return nullptr;
    const int entries = entryCount(name, minValue, maxValue);
    if (entries < 0) return nullptr;
    const std::string paramName = layersets::nameOnLayer(name, part, layer, nameSets);
    param->InitEnum(paramName.c_str(), defaultValue, entries, "", getParamGroup(part, group), -1, -1);
    if (values.size() == size_t(entries)) {
        for (int i = 0; i < entries; ++i) param->SetDisplayText(i, values[size_t(i)].c_str());
    } else if (firstNumber == lastNumber) {
        return nullptr;
    } else {
        for (int i = 0; i < entries; ++i) param->SetDisplayText(i, std::to_string((long long)firstNumber + i).c_str());
    }
    IText text(textSize, &color, "NK57 Monospace");
    auto* caption = new ICaptionControl(graphics->GetPlug(), rect, paramId, &text, true);
    caption->DisablePrompt(false);
    placeControl(caption, layer);
    *action = getControlAction(paramId, kind, caption);
    return caption;
}

void UIConfigManager::createMultiSelectionCCControl(int ccNumber, int channel, std::string name, int paramId, int x,
                                                    int y, int width, int height, int defaultValue, int minValue,
                                                    int maxValue, int firstNumber, int lastNumber,
                                                    std::vector<std::string> values, int part, ControlLayer* layer,
                                                    std::string group)
{
    ControlAction* action = nullptr;
    IControl* menu =
        makeMIDIMenu(name, paramId, layersets::kMixer | layersets::kVocoder, scaledRect(x, y, width, height),
                     plugdraw::TruncInt(height * scale), IColor(255, 255, 255, 255), defaultValue, minValue, maxValue,
                     firstNumber, lastNumber, values, part, layer, group, ControlAction::kControlChange, &action);
    if (!menu || !action) return;
    // The vocoder page names its menus bare but keys them by part like any other page.
    action->ccNumber = ccNumber;
    layersets::setChannelKeys(action, layersets::inSets(layer, layersets::kMixer), channel, part, paramId);
    fileCCControl(action, menu);
}

void UIConfigManager::createMsbLsbSelectionCCControl(int ccNumber, int msbValue, int lsbValue, int lsbControl,
                                                     int channel, std::string name, int paramId, int x, int y,
                                                     int width, int height, int defaultValue, int minValue,
                                                     int maxValue, int firstNumber, int lastNumber,
                                                     std::vector<std::string> values, int part, ControlLayer* layer,
                                                     std::string group)
{
    ControlAction* action = nullptr;
    IControl* menu =
        makeMIDIMenu(name, paramId, layersets::kNRPNChannel | layersets::kVocoder, scaledRect(x, y, width, height),
                     plugdraw::TruncInt(13 * scale), IColor(255, 255, 255, 255), defaultValue, minValue, maxValue,
                     firstNumber, lastNumber, values, part, layer, group, ControlAction::kNRPN, &action);
    if (!menu || !action) return;
    const bool byChannel = layersets::inSets(layer, layersets::kNRPNChannel) || layersets::isVocoder(paramId);
    fileNRPNControl(action, menu, ccNumber, msbValue, lsbValue, lsbControl, byChannel, channel, part, paramId);
}

void UIConfigManager::createMultiSelectionSysExControl(std::string name, int paramId, int x, int y, int width,
                                                       int height, int defaultValue, int minValue, int maxValue,
                                                       int firstNumber, int lastNumber, std::vector<std::string> values,
                                                       int, int, int sysexIndex, int changingByte, int part,
                                                       ControlLayer* layer, std::string group)
{
    ControlAction* action = nullptr;
    // White like the other MIDI menus: the black the product's skin was drawn for vanishes on
    // this editor's dark sections.
    IControl* menu =
        makeMIDIMenu(name, paramId, layersets::kMixer, scaledRect(x, y, width, height),
                     plugdraw::TruncInt(height * scale), IColor(255, 255, 255, 255), defaultValue, minValue, maxValue,
                     firstNumber, lastNumber, values, part, layer, group, ControlAction::kSysEx, &action);
    if (!menu || !action) return;
    // One message per value from min to max: one more than the entries, the last never chosen.
    setSysexMessages(action, menu, sysexIndex, changingByte, maxValue - minValue + 1, minValue, part, 0);
}
