#include "ICustomRadioButtonsControl.h"
#include "LayerNameSets.h"
#include "UIConfigManager.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"

IControl* UIConfigManager::makeSwitch(const std::string& name, const std::string& paramName, int paramId, bool on,
                                      int x, int y, const std::string& imageId, int part, ControlLayer* layer,
                                      const std::string& group, bool momentary, int kind, ControlAction** action)
{
    IBitmap bitmap = getImageByName(graphics, imageId);
    IParam* param = paramForElement(name, paramId);
    if (!param) return nullptr;
    param->InitBool(paramName.c_str(), on, "", getParamGroup(part, group), -1, -1);
    const int left = plugdraw::TruncInt(x * scale), top = plugdraw::TruncInt(y * scale);
    IControl* control = momentary ? new IContactControl(graphics->GetPlug(), left, top, paramId, &bitmap)
                                  : new ISwitchControl(graphics->GetPlug(), left, top, paramId, &bitmap);
    placeControl(control, layer);
    ControlAction* made = getControlAction(paramId, kind, control);
    if (action) *action = made;
    return made ? control : nullptr;
}

void UIConfigManager::createSysExBoolControl(std::string name, int paramId, int x, int y, std::string imageId,
                                             double defaultValue, int, int sysexIndex, int changingByte, int part,
                                             LinkInfo link, ControlLayer* layer, std::string group)
{
    const std::string paramName = part >= 0 ? layersets::partPrefixed(name, part) : name;
    ControlAction* action = nullptr;
    IControl* button = makeSwitch(name, paramName, paramId, defaultValue != 0, x, y, imageId, part, layer, group, false,
                                  ControlAction::kSysExSwitch, &action);
    if (!button) return;
    linkControlAction(action, paramId, link);
    // Message 0 switches off, message 1 on.
    setSysexMessages(action, button, sysexIndex, changingByte, 2, 0, part, 0);
}

void UIConfigManager::createCCBoolControl(int ccNumber, int channel, std::string name, int paramId, int x, int y,
                                          std::string imageId, double defaultValue, double offValue, double onValue,
                                          LinkInfo, int part, ControlLayer* layer, std::string group)
{
    ControlAction* action = nullptr;
    IControl* button =
        makeSwitch(name, layersets::nameOnLayer(name, part, layer, layersets::kNamedMixer), paramId, defaultValue != 0,
                   x, y, imageId, part, layer, group, false, ControlAction::kControlChangeSwitch, &action);
    if (!button) return;
    action->ccNumber = ccNumber;
    action->switchOffValue = plugdraw::TruncInt(offValue);
    action->switchOnValue = plugdraw::TruncInt(onValue);
    layersets::setChannelKeys(action, layersets::inSets(layer, layersets::kMixer), channel, part, paramId);
    fileCCControl(action, button);
}

void UIConfigManager::createMsbLsbBoolControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                              std::string name, int paramId, int x, int y, std::string imageId,
                                              double defaultValue, double, double, LinkInfo link, int part,
                                              ControlLayer* layer, std::string group)
{
    ControlAction* action = nullptr;
    IControl* button =
        makeSwitch(name, layersets::nameOnLayer(name, part, layer, layersets::kNamedMixer), paramId, defaultValue != 0,
                   x, y, imageId, part, layer, group, false, ControlAction::kNRPN, &action);
    if (!button) return;
    const bool byChannel = layersets::inSets(layer, layersets::kNRPNChannel) || layersets::isVocoder(paramId);
    linkControlAction(action, paramId, link);
    fileNRPNControl(action, button, ccNumber, msbValue, lsbValue, lsbControl, byChannel, channel, part, paramId);
}

void UIConfigManager::createBoolControl(std::string name, int paramId, int defaultValue, int x, int y,
                                        std::string imageId, int part, ControlLayer* layer, std::string group)
{
    makeSwitch(name, name, paramId, defaultValue != 0, x, y, imageId, part, layer, group, false, ControlAction::kNone,
               nullptr);
}

void UIConfigManager::createSwitchControl(std::string name, int paramId, int defaultValue, int x, int y,
                                          std::string imageId, int part, ControlLayer* layer, std::string group)
{
    makeSwitch(name, name, paramId, defaultValue != 0, x, y, imageId, part, layer, group, true, ControlAction::kNone,
               nullptr);
}

IControl* UIConfigManager::createAutoOffSwitchControl(std::string name, int paramId, int x, int y, std::string imageId,
                                                      int part, ControlLayer* layer, std::string group)
{
    return makeSwitch(name, name, paramId, false, x, y, imageId, part, layer, group, true, ControlAction::kNone,
                      nullptr);
}

void UIConfigManager::createRadioControl(std::string name, int paramId, int x, int y, std::string imageId, int buttons,
                                         int part, ControlLayer* layer, std::string group)
{
    if (buttons < 1) {
        log("CONFIG READER: " + name + " has " + std::to_string(buttons) + " radio buttons!");
        return;
    }
    IBitmap bitmap = getImageByName(graphics, imageId);
    IParam* param = paramForElement(name, paramId);
    if (!param) return;
    param->InitEnum(name.c_str(), 0, buttons, "", getParamGroup(part, group), -1, -1);
    param->SetIsMeta(true);
    // The strip holds every button and both frames: buttons run across frames that stack, and
    // down frames that lie side by side.
    const int left = plugdraw::TruncInt(x * scale), top = plugdraw::TruncInt(y * scale);
    const bool stacked = !bitmap.mFramesAreHorizontal;
    const IRECT rect = stacked ? IRECT(left, top, left + bitmap.W, top + bitmap.H / 2)
                               : IRECT(left, top, left + bitmap.W / 2, top + bitmap.H);
    auto* radio = new ICustomRadioButtonsControl(graphics->GetPlug(), rect, paramId, buttons, &bitmap,
                                                 stacked ? kHorizontal : kVertical);
    placeControl(radio, layer);
    getControlAction(paramId, ControlAction::kNone, radio);
}
