// The frame of every parameter change: under the plug-in mutex, the parameter's switch layer
// follows the value and its action sends the MIDI message. OnParamChange2 takes values that
// came from the synthesizer: the controls move, nothing is echoed back.
#include "ControlAction.h"
#include "ControlDisplay.h"
#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "TabSwitchFunctions.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"

namespace {

// The sub-layer whose id is the value shows, the others hide.
void followSwitchLayer(ControlAction* action, int value)
{
    ControlLayer* layer = action ? action->switchLayer : nullptr;
    if (!layer) return;
    layer->selectedChildId = value;
    for (int i = 0, n = layer->childLayers.GetSize(); i < n; ++i) {
        if (ControlLayer* child = layer->childLayers.Get(i)) child->Hide(child->id != value);
    }
}

} // namespace

void QOR::OnParamChange(int idx)
{
    KIT_MutexLock lock(&mutex);
    IParam* param = GetParam(idx);
    if (!param) return;
    const double value = param->Value();
    const int intValue = int(value);
    if (startupComplete) {
        // Every change re-applies the selected part's layers, then shows itself on the read-out.
        TabSwitchFunctions::quickTabSwitch(this, qorid::kQuickTab, selectedPart, currentModel, false);
        ControlDisplay::controlDisplay(this, idx, value, hostTransportPlaying);
        if (idx == qorid::kMainTab) {
            TabSwitchFunctions::mainTabSwitch(this, idx, intValue, currentModel, selectedPart);
        } else if (idx == qorid::kQuickTab) {
            selectedPart = intValue;
            TabSwitchFunctions::quickTabSwitch(this, idx, intValue, currentModel, partSelectSendFlag);
        }
    }
    ControlAction* action = param->GetControlAction();
    if (!action) return;
    followSwitchLayer(action, intValue);
    processControlAction(action, idx, value);
}

void QOR::OnParamChange2(int idx)
{
    KIT_MutexLock lock(&mutex);
    IParam* param = GetParam(idx);
    if (!param) return;
    changeFromHardware = true;
    const double value = param->Value();
    if (startupComplete) {
        ControlDisplay::controlDisplay(this, idx, value, false);
        if (idx == qorid::kQuickTab)
            TabSwitchFunctions::quickTabSwitch(this, qorid::kQuickTab, int(value), currentModel, false);
    }
    if (ControlAction* action = param->GetControlAction()) {
        followSwitchLayer(action, int(value));
        processControlAction(action, idx, value);
    }
    if (midiManager) midiManager->expectingEditDump = false;
    changeFromHardware = false;
}
