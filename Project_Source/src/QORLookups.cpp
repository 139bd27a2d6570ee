// The controls behind incoming MIDI addresses, and the per-part program values. The control
// containers are complete once the configuration is read and never change afterwards, so the
// lookups take no lock and insert nothing.
#include "QOR.h"
#include "UIConfigManager.h"

IControl* QOR::getSysexControl(int k1, int k2, int k3, int k4, int k5)
{
    return uiConfigManager ? uiConfigManager->sysexControls.findControl(k1, k2, k3, k4, k5) : nullptr;
}

IControl* QOR::getMsbLsbControl(int k1, int k2, int k3, int k4, int k5)
{
    return uiConfigManager ? uiConfigManager->nrpnControls.findControl(k1, k2, k3, k4, k5) : nullptr;
}

IControl* QOR::getCCControls(int k1, int k2, int k3)
{
    return uiConfigManager ? uiConfigManager->getCCControl(k1, k2, k3) : nullptr;
}

int QOR::getProgramValueByParts(int k1, int k2, int k3)
{
    if (!uiConfigManager) return 0;
    std::lock_guard<std::mutex> lock(uiConfigManager->programValuesLock);
    const auto& values = uiConfigManager->programValues;
    auto a = values.find(k1);
    if (a == values.end()) return 0;
    auto b = a->second.find(k2);
    if (b == a->second.end()) return 0;
    auto c = b->second.find(k3);
    return c == b->second.end() ? 0 : c->second;
}

void QOR::setProgramValueByParts(int k1, int k2, int k3, int value)
{
    if (!uiConfigManager) return;
    std::lock_guard<std::mutex> lock(uiConfigManager->programValuesLock);
    uiConfigManager->programValues[k1][k2][k3] = value;
}
