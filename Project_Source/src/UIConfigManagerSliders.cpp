#include "LayerNameSets.h"
#include "TrackedFaderControl.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace
{

// A bound truncated toward zero, kept inside what the message count can hold.
long long truncatedBound(double v)
{
    if (!(v > -1e9)) return v != v ? 0 : -1000000000LL;
    return v < 1e9 ? (long long)std::trunc(v) : 1000000000LL;
}

} // namespace

IFaderControl* UIConfigManager::makeFader(const std::string& name, int paramId, int x, int y, int length,
                                          const std::string& imageId, double defaultValue, double minValue,
                                          double maxValue, int part, ControlLayer* layer, const std::string& group,
                                          EDirection direction)
{
    IBitmap handle = getImageByName(graphics, imageId);
    IParam* param = paramForElement(name, paramId);
    if (!param) return nullptr;
    const std::string paramName = layersets::nameOnLayer(name, part, layer, layersets::kMixer);
    param->InitDouble(paramName.c_str(), defaultValue, minValue, maxValue, 1.0, "", getParamGroup(part, group), -1, -1);
    auto* fader = new TrackedFaderControl(graphics->GetPlug(), plugdraw::TruncInt(x * scale), plugdraw::TruncInt(y * scale),
                                    plugdraw::TruncInt(length * scale), paramId, &handle, direction, false);
    placeControl(fader, layer);
    return fader;
}

void UIConfigManager::createCCSliderControl(int ccNumber, int channel, std::string name, int paramId, int x, int y,
                                            int length, std::string imageId, double defaultValue, double minValue,
                                            double maxValue, LinkInfo link, int part, ControlLayer* layer,
                                            std::string group, EDirection direction, bool)
{
    IFaderControl* fader = makeFader(name, paramId, x, y, length, imageId, defaultValue, minValue, maxValue, part,
                                     layer, group, direction);
    if (!fader) return;
    ControlAction* action = getControlAction(paramId, ControlAction::kControlChange, fader);
    if (!action) return;
    action->globalKey = 0;
    linkControlAction(action, paramId, link);
    action->ccNumber = ccNumber;
    action->channelKey = part >= 0 ? part + 1 : channel;
    fileCCControl(action, fader);
}

void UIConfigManager::createSysExSliderControl(std::string name, int paramId, int x, int y, int length,
                                               std::string imageId, double defaultValue, double minValue,
                                               double maxValue, double, int msgZeroVal, int sysexIndex,
                                               int changingByte, int part, LinkInfo link, ControlLayer* layer,
                                               std::string group, EDirection direction, bool)
{
    IFaderControl* fader = makeFader(name, paramId, x, y, length, imageId, defaultValue, minValue, maxValue, part,
                                     layer, group, direction);
    if (!fader) return;
    ControlAction* action = getControlAction(paramId, ControlAction::kSysEx, fader);
    if (!action) return;
    linkControlAction(action, paramId, link);
    const long long lo = truncatedBound(minValue), hi = truncatedBound(maxValue);
    long long count = hi - lo + 1;
    if (count > kMaxControlValues) {
        log("CONFIG READER: SysEx template " + std::to_string(sysexIndex) + " would give " + std::to_string(count) +
            " messages!");
        action->messages.clear();
        return;
    }
    // A range without a value gives no message, also where a start of -1 would copy the template.
    long long start = count < 1 ? 0 : lo + msgZeroVal;
    start = std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, start));
    if (count < 1) count = 0;
    // Without a part the key's index byte keeps the fader apart from the parts' faders.
    setSysexMessages(action, fader, sysexIndex, changingByte, int(count), int(start), part,
                     static_cast<unsigned char>(part == -1 ? 1 : 0));
}
