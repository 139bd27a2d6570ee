#include "UIConfigManager.h"

#include <algorithm>
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"

namespace {

// Why a template cannot give the control its messages and SysEx key, or null when it can. The
// key is four bytes from index 2 (changingByte 7) or index 3 (any other) of the first message.
const char* templateFault(const std::vector<int>& bytes, int changingByte, int count, int start, int part)
{
    const int length = int(bytes.size());
    if (changingByte < 1 || changingByte > length) return "has no byte at changingByte";
    if (part > 0 && length < 5) return "is too short for the part byte";
    if (length < (changingByte == 7 ? 6 : 7)) return "is too short for the SysEx key";
    if (count < 1 && start != -1) return "gives no message";
    return nullptr;
}

// The bytes the messages of a template would take: a line of a broken layout can ask for
// gigabytes, so one control is held to UIConfigManager::kMaxControlSysexBytes.
long long sysexBytes(const std::vector<int>& bytes, int count, int start)
{
    const long long messages = start == -1 ? std::max(count, 1) : std::max(count, 0);
    return messages * (long long)bytes.size();
}

// The messages of a template whose changing byte and part byte exist. Every value written is
// taken modulo 128, as a byte above 127 would be a status byte inside the SysEx; answers
// whether a value other than 128 had to be folded.
bool buildMessages(const std::vector<int>& bytes, int changingByte, int count, int start, int part,
                   std::vector<std::vector<int>>* out)
{
    out->clear();
    const size_t at = size_t(changingByte - 1);
    long long value = start;
    int i = 0;
    bool folded = false;
    if (start == -1) {
        out->push_back(bytes);
        value = bytes[at];
        i = 1;
    }
    for (; i < count; ++i) {
        long long v = ((value % 128) + 128) % 128;
        folded |= v != value && value != 128;
        std::vector<int> message = bytes;
        if (part > 0) message[4] = part;
        message[at] = int(v);
        out->push_back(std::move(message));
        value = v + 1;
    }
    return folded;
}

} // namespace

IParam* UIConfigManager::paramForElement(const std::string& name, int paramId)
{
    IPluginBase* plug = graphics ? graphics->GetPlug() : nullptr;
    IParam* param = plug && paramId >= 0 && paramId < plug->NParams() ? plug->GetParam(paramId) : nullptr;
    if (!param) log("CONFIG READER: " + name + " names parameter " + std::to_string(paramId) + " outside the table!");
    return param;
}

std::vector<std::string> UIConfigManager::deviceNames(bool input)
{
    IPluginBase* plug = graphics->GetPlug();
    // The port layer reads the lists again under this lock when a device comes back.
    KIT_MutexLock lock(plug->GetMutex());
    return *(input ? plug->getExternalMIDIInNames() : plug->getExternalMIDIOutNames());
}

void UIConfigManager::calculateSysexWithChangingByte(std::string sysexTemplate, int changingByte, int count,
                                                     ControlActionSysExMessage* out, int start, int part)
{
    if (!out) return;
    std::vector<int> bytes = convertStringSysextoVector(sysexTemplate);
    out->messages.clear();
    if (changingByte < 1 || changingByte > int(bytes.size()) || (part > 0 && bytes.size() < 5)) return;
    if (sysexBytes(bytes, count, start) > kMaxControlSysexBytes) return;
    buildMessages(bytes, changingByte, count, start, part, &out->messages);
}

ControlAction* UIConfigManager::getControlAction(int paramId, int kind, IControl* control)
{
    IPluginBase* plug = graphics ? graphics->GetPlug() : nullptr;
    IParam* param = plug ? plug->GetParam(paramId) : nullptr;
    if (!param) return nullptr;
    ControlAction* action = param->GetControlAction();
    if (!action) {
        ownedActions.push_back(std::make_unique<ControlAction>(kind));
        action = ownedActions.back().get();
        param->SetControlAction(action);
    }
    action->kind = kind;
    if (control) action->controls.push_back(control);
    return action;
}

void UIConfigManager::linkControlAction(ControlAction* action, int paramId, LinkInfo link)
{
    if (!action || link.firstId < 0 || link.secondId < 0) return;
    // A link to no parameter is ignored and the action keeps the link it had.
    IPluginBase* plug = graphics ? graphics->GetPlug() : nullptr;
    IParam* target = plug ? plug->GetParam(link.firstId) : nullptr;
    if (!target) {
        log("CONFIG READER: link of parameter " + std::to_string(paramId) + " names no parameter " +
            std::to_string(link.firstId) + "!");
        return;
    }
    action->link = link;
    ControlAction* back = target->GetControlAction();
    if (!back) {
        ownedActions.push_back(std::make_unique<ControlAction>(ControlAction::kSysEx));
        back = ownedActions.back().get();
        target->SetControlAction(back);
    }
    back->link = LinkInfo{paramId, link.secondId, -1};
}

bool UIConfigManager::setSysexMessages(ControlAction* action, IControl* control, int sysexIndex, int changingByte,
                                       int count, int start, int part, unsigned char index)
{
    if (!action) return false;
    action->messages.clear();
    action->isMultiMessage = false;
    action->multiMessages.clear();
    std::vector<int> bytes;
    if (!getSysexTemplate(sysexIndex, &bytes)) return false;
    if (const char* fault = templateFault(bytes, changingByte, count, start, part)) {
        log("CONFIG READER: SysEx template " + std::to_string(sysexIndex) + " " + fault + "!");
        return false;
    }
    const long long size = sysexBytes(bytes, count, start);
    if (size > kMaxControlSysexBytes) {
        log("CONFIG READER: SysEx template " + std::to_string(sysexIndex) + " would give " + std::to_string(size) +
            " bytes!");
        return false;
    }
    if (buildMessages(bytes, changingByte, count, start, part, &action->messages))
        log("CONFIG READER: SysEx template " + std::to_string(sysexIndex) + " values above 127 taken modulo 128!");
    const std::vector<int>& first = action->messages.front();
    const size_t from = changingByte == 7 ? 2 : 3;
    unsigned char key[4];
    for (size_t k = 0; k < 4; ++k) key[k] = static_cast<unsigned char>(first[from + k] & 0xFF);
    sysexControls.addToControlMap(key, index, control);
    return true;
}

void UIConfigManager::fileCCControl(ControlAction* action, IControl* control)
{
    if (action) controlmaps::file(ccControls, control, action->channelKey, action->ccNumber, action->globalKey);
}

IControl* UIConfigManager::getCCControl(int channelKey, int ccNumber, int globalKey) const
{
    return controlmaps::find(ccControls, channelKey, ccNumber, globalKey);
}
