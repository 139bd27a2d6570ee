#include "ControlContainers.h"

#include "ControlAction.h"

void NRPNControlContainer::addToControlMap(ControlAction* action, IControl* control)
{
    if (!action) return;
    controlmaps::file(controls, control, action->channelKey, action->msbValue, action->lsbValue, action->lsbControl,
                      action->globalKey);
}

IControl* NRPNControlContainer::findControl(int channelKey, int msbValue, int lsbValue, int lsbControl,
                                            int globalKey) const
{
    return controlmaps::find(controls, channelKey, msbValue, lsbValue, lsbControl, globalKey);
}

void SysExControlContainer::addToControlMap(unsigned char* bytes, unsigned char index, IControl* control)
{
    if (!bytes) return;
    controlmaps::file(controls, control, int(bytes[0]), int(bytes[1]), int(bytes[2]), int(bytes[3]), int(index));
}

IControl* SysExControlContainer::findControl(int byte1, int byte2, int byte3, int byte4, int index) const
{
    return controlmaps::find(controls, byte1, byte2, byte3, byte4, index);
}
