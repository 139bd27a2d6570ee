// Incoming SysEx: the router and the global dumps' readers.
#include "GlobalDumps.h"
#include "MIDIMessageManager.h"
#include "PerformanceDump.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IGraphics.h"

namespace
{
// Dumps are at least this long; shorter messages are answers and notices.
constexpr int kShortestDump = 25;
} // namespace

void MIDIMessageManager::setFromDump(int id, double value)
{
    if (graphics) {
        graphics->SetParameterFromPlug(id, value, false);
    } else if (IParam* p = controller->GetParam(id)) {
        p->Set(value);
    }
}

void MIDIMessageManager::eightBitDecoder(int value)
{
    decodedBits = PerformanceDump::sevenFields(value);
}

bool MIDIMessageManager::ProcessSysEx(ISysEx* msg, bool fromDevice)
{
    if (!fromDevice || !msg || !msg->mData || msg->mSize <= 0) return false;
    // An armed librarian buffer takes every message; nothing of it reaches the editor.
    bool kept = true;
    if (takeIntoLibrary(msg, kept)) return kept;
    if (msg->mSize < kShortestDump) {
        if (!expectingEditDump) mainTabRefreshPending = false;
    } else if (expectingEditDump) {
        sysexPatchParse(msg);
        sysexPatternParse(msg);
        sysexMultiParse(msg);
        sysexMultiParsePT2(msg);
        if (performanceRequestActive) mainTabRefreshPending = false;
    } else if (controller->expectGlobalDump) {
        sysexSettings1Parse(msg);
        sysexSettings2Parse(msg);
    } else if (GlobalDumps::isFirst(msg->mData, size_t(msg->mSize))) {
        // Settings 2 came first and ended the exchange.
        controller->log("SYSEX ROUTER: global settings 1 not parsed, no enquiry pending");
    }
    if (mainTabRefreshPending) controller->OnParamChange(qorid::kMainTab);
    return true;
}

void MIDIMessageManager::sysexSettings1Parse(ISysEx* msg)
{
    if (!msg || !GlobalDumps::isFirst(msg->mData, size_t(msg->mSize))) return;
    requestComplete = false;
    GlobalDumps::readFirst(msg->mData, size_t(msg->mSize), [this](int id, double value) { takeGlobal(id, value); });
}

void MIDIMessageManager::takeGlobal(int id, double value)
{
    if (id == qorid::kGlobalMidiChannel) controller->deviceId = int(value);
    if (enquiryAdoptsOnlyId && id != qorid::kGlobalMidiChannel) return;
    setFromDump(id, value);
    if (id == qorid::kGlobalLocalControl) controller->localControlOn = value == 1.0;
}

void MIDIMessageManager::sysexSettings2Parse(ISysEx* msg)
{
    if (msg && GlobalDumps::isSecond(msg->mData, size_t(msg->mSize))) {
        requestComplete = false;
        GlobalDumps::readSecond(msg->mData, size_t(msg->mSize),
                                [this](int id, double value) { takeGlobal(id, value); });
        requestComplete = true;
        controller->startupComplete = true;
        controller->expectGlobalDump = false;
    }
    dumpTaken = false;
    expectingEditDump = false;
}
