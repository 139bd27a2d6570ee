// The pattern dump of the second family (only its name is taken) and the two calls that set one
// editor control from a value received in a SysEx message.
#include <cstring>
#include <mutex>
#include <string>

#include "MIDIMessageManager.h"
#include "PatchManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"

namespace
{
constexpr int kPatternDumpSize = 542;
constexpr int kPatternNameAt = 15;
constexpr int kPatternNameLength = 16;
// Name-list entries 17..24 hold the eight parts' pattern names.
constexpr int kPatternNameEntry = 17;
constexpr int kParts = 8;

bool isPatternDump(const ISysEx* msg)
{
    return msg && msg->mData && msg->mSize >= kPatternDumpSize && msg->mData[1] == 0x3E && msg->mData[2] == 0x0F &&
           msg->mData[4] == 0x13;
}

// Received values of these parameters carry a fixed offset: the bend ranges 40, the part
// transposes 16.
int valueOffset(int id)
{
    if (id >= qorid::kOscillator1BendRange && id < qorid::kOscillator3BendRange + kParts) return 40;
    if (id >= qorid::kMultiPartTranspose && id < qorid::kMultiPartTranspose + kParts) return 16;
    return 0;
}
} // namespace

void MIDIMessageManager::sysexPatternParse(ISysEx* msg)
{
    // The part indexes parameter 4905 + p and name entry 17 + p: outside 0..7 the dump is not taken.
    const int part = controller->patternRequestPart;
    if (isPatternDump(msg) && part >= 0 && part < kParts) {
        requestComplete = false;
        const char* bytes = reinterpret_cast<const char*>(msg->mData + kPatternNameAt);
        const std::string name(bytes, strnlen(bytes, kPatternNameLength));
        if (IParam* p = controller->GetParam(qorid::kPatternName + part)) p->SetDisplayText(0, name.c_str());
        if (patchManager) {
            std::lock_guard<std::mutex> lock(patchManager->namesLock);
            auto& names = patchManager->patch.names;
            if (size_t(kPatternNameEntry + part) < names.size()) names[size_t(kPatternNameEntry + part)] = name;
        }
        controller->setLibrarianViewDirty();
        requestComplete = true;
    }
    dumpTaken = true;
}

void MIDIMessageManager::getNormalControl(int key1, int key2, int key3, int key4, int key5, int value,
                                          bool flagIncoming)
{
    if (IControl* control = controller->getSysexControl(key1, key2, key3, key4, key5))
        applyIncomingValue(control, value, false, flagIncoming);
}

void MIDIMessageManager::processSysExToUI(IControl* control, int value, bool refreshMainTab, bool flagIncoming)
{
    if (control) applyIncomingValue(control, value, refreshMainTab, flagIncoming);
}

void MIDIMessageManager::applyIncomingValue(IControl* control, int value, bool refreshMainTab, bool flagIncoming)
{
    applyingIncomingValue = false;
    expectingEditDump = false;
    const int id = control->ParamIdx();
    const IParam* param = controller->GetParam(id);
    // A parameter without a range has no normalized value: nothing is set.
    if (!param || param->GetMax() == param->GetMin()) return;
    const double normalized = (double(value - valueOffset(id)) - param->GetMin()) / (param->GetMax() - param->GetMin());
    applyingIncomingValue = flagIncoming;
    control->SetValueFromHardware(normalized);
    if (refreshMainTab) controller->OnParamChange(qorid::kMainTab);
    applyingIncomingValue = false;
}
