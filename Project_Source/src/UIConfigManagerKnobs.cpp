#include "LayerNameSets.h"
#include "ParamTable.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"

#include <algorithm>
#include <climits>
#include <cmath>

IControl* UIConfigManager::makeKnob(const std::string& name, const std::string& paramName, int paramId, int x, int y,
                                    const std::string& imageId, double defaultValue, double minValue, double maxValue,
                                    double step, int part, ControlLayer* layer, const std::string& group, int kind,
                                    ControlAction** action)
{
    IBitmap bitmap = getImageByName(graphics, imageId);
    IParam* param = paramForElement(name, paramId);
    if (!param) return nullptr;
    param->InitDouble(paramName.c_str(), defaultValue, minValue, maxValue, step, "", getParamGroup(part, group), -1,
                      -1);
    // The strip's frames stack: the knob is one frame tall.
    const int left = plugdraw::TruncInt(x * scale), top = plugdraw::TruncInt(y * scale);
    const IRECT rect(left, top, left + bitmap.W, top + bitmap.H / std::max(1, bitmap.N));
    auto* knob = new IKnobMultiControl(graphics->GetPlug(), rect, paramId, &bitmap);
    placeControl(knob, layer);
    if (!action) return knob;
    *action = getControlAction(paramId, kind, knob);
    return *action ? knob : nullptr;
}

void UIConfigManager::createSysExKnobControl(std::string name, int paramId, int x, int y, std::string imageId,
                                             double defaultValue, double minValue, double maxValue, double,
                                             int msgZeroVal, int sysexIndex, int changingByte, int part, LinkInfo link,
                                             ControlLayer* layer, std::string group)
{
    ControlAction* action = nullptr;
    IControl* knob =
        makeKnob(name, layersets::nameOnLayer(name, part, layer, layersets::kMixer), paramId, x, y, imageId,
                 defaultValue, minValue, maxValue, 1.0, part, layer, group, ControlAction::kSysEx, &action);
    if (!knob) return;
    linkControlAction(action, paramId, link);
    // One message per value from min to max; a range without a value (where a start of -1 would
    // still copy the template) or beyond any knob leaves the knob silent.
    const double lo = std::trunc(minValue), count = std::trunc(maxValue) - lo + 1;
    if (!(count >= 1 && count <= kMaxControlValues && std::fabs(lo) < 1e9)) {
        log("CONFIG READER: " + name + " has no SysEx message for its range!");
        action->messages.clear();
        action->isMultiMessage = false;
        action->multiMessages.clear();
        return;
    }
    const long long start = std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, (long long)lo + msgZeroVal));
    setSysexMessages(action, knob, sysexIndex, changingByte, int(count), int(start), part, 0);
}

void UIConfigManager::createCCKnobControl(int ccNumber, int channel, std::string name, int paramId, int x, int y,
                                          std::string imageId, double defaultValue, double minValue, double maxValue,
                                          double step, LinkInfo link, int part, ControlLayer* layer, std::string group)
{
    using layersets::inPartBlock;
    // The mixers and the part strips show every part's knob at once: the knob's part comes from
    // its id there, not from the element.
    const bool strip = layersets::inSets(layer, layersets::kPartStrip);
    int knobPart = part;
    bool prefixed = true;
    if (layersets::inSets(layer, layersets::kWideMixer)) {
        prefixed = inPartBlock(paramId, kFilterResonance) || inPartBlock(paramId, kFilterCutoff);
        if (prefixed) knobPart = paramId - (inPartBlock(paramId, kFilterResonance) ? kFilterResonance : kFilterCutoff);
    } else if (strip) {
        if (inPartBlock(paramId, kFXMultiPanPosition)) knobPart = paramId - kFXMultiPanPosition;
        if (inPartBlock(paramId, kFXMultiDelaySend)) knobPart = paramId - kFXMultiDelaySend;
    } else {
        prefixed = !inPartBlock(paramId, kMultiPartPanning);
    }
    const std::string paramName = prefixed ? layersets::partPrefixed(name, knobPart) : name;
    ControlAction* action = nullptr;
    IControl* knob = makeKnob(name, paramName, paramId, x, y, imageId, defaultValue, minValue, maxValue,
                              std::trunc(step), knobPart, layer, group, ControlAction::kControlChange, &action);
    if (!knob) return;
    action->ccNumber = ccNumber;
    layersets::setChannelKeys(action, strip, channel, knobPart, paramId);
    if (strip) action->globalKey = 1;
    linkControlAction(action, paramId, link);
    fileCCControl(action, knob);
}

void UIConfigManager::createMsbLsbKnobControl(int ccNumber, int msbValue, int lsbValue, int lsbControl, int channel,
                                              std::string name, int paramId, int x, int y, std::string imageId,
                                              double defaultValue, double minValue, double maxValue, double,
                                              LinkInfo link, int part, ControlLayer* layer, std::string group)
{
    ControlAction* action = nullptr;
    IControl* knob =
        makeKnob(name, layersets::nameOnLayer(name, part, layer, layersets::kWideMixer), paramId, x, y, imageId,
                 defaultValue, minValue, maxValue, 1.0, part, layer, group, ControlAction::kNRPN, &action);
    if (!knob) return;
    linkControlAction(action, paramId, link);
    const bool byChannel = layersets::inSets(layer, layersets::kMixer) || layersets::isVocoder(paramId);
    fileNRPNControl(action, knob, ccNumber, msbValue, lsbValue, lsbControl, byChannel, channel, part, paramId);
}

void UIConfigManager::fileNRPNControl(ControlAction* action, IControl* control, int ccNumber, int msbValue,
                                      int lsbValue, int lsbControl, bool byChannel, int channel, int part, int paramId)
{
    action->ccNumber = ccNumber;
    action->msbValue = msbValue;
    action->lsbValue = lsbValue;
    action->lsbControl = lsbControl;
    layersets::setChannelKeys(action, byChannel, channel, part, paramId);
    nrpnControls.addToControlMap(action, control);
}

void UIConfigManager::createNoValKnobControl(std::string name, int paramId, int x, int y, std::string imageId,
                                             double defaultValue, double minValue, double maxValue, double, int part,
                                             ControlLayer* layer, std::string group)
{
    makeKnob(name, name, paramId, x, y, imageId, defaultValue, minValue, maxValue, 1.0, part, layer, group,
             ControlAction::kNone, nullptr);
}
