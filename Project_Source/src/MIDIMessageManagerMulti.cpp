// Incoming performances: the dump (type 05) and its follow-up (type 1B).
#include <array>
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
        // The performance as it was when asked: a pick sent since stands, in the record and in
        // the part.
        std::array<bool, PerformanceDump::kParts> picked{};
        for (size_t k = 0; k < picked.size(); ++k) picked[k] = mPickedWhileAsked[k];
        const auto isPicked = [&picked](int id) {
            for (const int base : {int(kMultiPartBank), int(kMultiPartPatch)})
                if (id >= base && id < base + PerformanceDump::kParts && picked[size_t(id - base)]) return true;
            return false;
        };
        // The editor's own delivery of a library performance is known once it is sent.
        if (!QOR::deliveringOwnSysEx()) {
            std::array<KnownParts::Numbers, PerformanceDump::kParts> kept{};
            for (int k = 0; k < PerformanceDump::kParts; ++k) kept[size_t(k)] = q->knownParts.numbers(k);
            q->knownParts.setFromPerformance(msg->mData, size_t(msg->mSize));
            for (int k = 0; k < PerformanceDump::kParts; ++k)
                if (picked[size_t(k)]) q->knownParts.set(k, kept[size_t(k)].bank, kept[size_t(k)].program);
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
        PerformanceDump::readDump(
            msg->mData, size_t(msg->mSize),
            [this, q, &isPicked](int id, double value) {
                if (isPicked(id)) return;
                setFromDump(id, value);
                // Only a part the per-part ids can take selects one.
                if (id == kQuickTab && value >= 0 && value < PerformanceDump::kParts) q->selectedPart = int(value);
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
