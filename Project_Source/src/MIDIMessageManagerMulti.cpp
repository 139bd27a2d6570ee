// Incoming performances: the dump (type 05) and its follow-up (type 1B).
#include <cmath>
#include <mutex>
#include <string>

#include "MIDIMessageManager.h"
#include "PatchManager.h"
#include "PerformanceDump.h"
#include "QOR.h"
#include "QORParams.h"
#include "TabSwitchFunctions.h"
#include "kit/plugin/IParam.h"

namespace
{
using namespace qorid;

double valueOf(QOR* q, int id)
{
    const IParam* p = q->GetParam(id);
    return p ? p->Value() : 0.0;
}
} // namespace

void MIDIMessageManager::eightBitDecoderWONumTwo(int value)
{
    decodedBits = PerformanceDump::sixFields(value);
}

void MIDIMessageManager::eightBitDecoderWONumTwoAndSixtyFour(int value)
{
    decodedBits = PerformanceDump::fiveFields(value);
}

void MIDIMessageManager::sysexMultiParse(ISysEx* msg)
{
    QOR* q = controller;
    if (msg && PerformanceDump::isDump(msg->mData, size_t(msg->mSize))) {
        requestComplete = false;
        // The editor's own delivery of a library performance is known once it is sent.
        if (!QOR::deliveringOwnSysEx()) {
            q->knownParts.setFromPerformance(msg->mData, size_t(msg->mSize));
            // The synthesizer's own performance says where every part is now.
            forgetDroppedPrograms();
        }
        const std::string name = PerformanceDump::readName(msg->mData);
        if (IParam* p = q->GetParam(kMultiName)) p->SetDisplayText(0, name.c_str());
        if (patchManager) {
            std::lock_guard<std::mutex> lock(patchManager->namesLock);
            if (!patchManager->patch.names.empty()) patchManager->patch.names[0] = name;
        }
        q->setLibrarianViewDirty();

        PerformanceDump::ReadOptions options;
        const double lock = valueOf(q, kSectionLockMultiOutputs);
        options.outputsLocked = std::isfinite(lock) && std::trunc(lock) == 1.0;
        options.partIndexChannels = q->libraryPerformanceTransfer;
        PerformanceDump::readDump(msg->mData, size_t(msg->mSize),
                                  [this, q](int id, double value) {
                                      setFromDump(id, value);
                                      // Only a part the per-part ids can take selects one.
                                      if (id == kQuickTab && value >= 0 && value < PerformanceDump::kParts)
                                          q->selectedPart = int(value);
                                  },
                                  options);
        // The first model sends no follow-up: the dump completes the request.
        if (q->currentModel == 0) {
            q->pendingRequestPart = -1;
            requestComplete = true;
        }
    }
    const int part = q->selectedPart;
    TabSwitchFunctions::showPartNames(q, part, part);
}

void MIDIMessageManager::sysexMultiParsePT2(ISysEx* msg)
{
    if (!msg || !PerformanceDump::isFollowUp(msg->mData, size_t(msg->mSize))) return;
    // It ends the performance request only. A part's program request it passes (its byte 8
    // may name the part) still waits for the program: completing it here would say "completed"
    // with no program taken.
    const bool ends = performanceRequestActive;
    if (ends) requestComplete = false;
    PerformanceDump::ReadOptions options;
    options.vocoderLocked = valueOf(controller, kSectionLockVocoder) == 1.0;
    PerformanceDump::readFollowUp(msg->mData, size_t(msg->mSize), [this](int id, double value) { setFromDump(id, value); },
                                  options);
    if (!ends) return;
    controller->pendingRequestPart = -1;
    requestComplete = true;
}
