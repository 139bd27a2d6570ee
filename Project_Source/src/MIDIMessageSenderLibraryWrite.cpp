// The library's init templates (jobs 15 to 17) delivered through the editor's own SysEx input,
// so an initialised slot is filled by the same path as a slot received from the synthesizer.
#include <cmath>
#include <vector>

#include "MIDIMessageSender.h"
#include "PatchInitData.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"

namespace sx = SysexFamily;

namespace
{
constexpr size_t kSlotAt = 9;
constexpr size_t kBankAt = 8;
// The performance's follow-up goes in after the performance has been taken.
constexpr int kFollowUpDelayMs = 200;

// A template as the synthesizer would send it: this model, this device, the slot at slotAt.
std::vector<uint8_t> fromTemplate(const std::vector<uint8_t>& templ, const QOR& q, size_t slotAt, int slot)
{
    std::vector<uint8_t> b = templ;
    b[sx::kModelAt] = sx::modelByteFor(q.currentModel);
    b[sx::kDeviceAt] = sx::dataByte(q.deviceId);
    b[slotAt] = sx::dataByte(slot);
    return b;
}
} // namespace

void MIDIMessageSender::deliverToEditor(std::vector<uint8_t>& message)
{
    ISysEx sysex(0, message.data(), int(message.size()));
    controller->ProcessSysEx(&sysex, true);
}

void MIDIMessageSender::initPerformance()
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    const int slot = librarySlot();
    auto performance = fromTemplate(PatchInitData::performanceMessage(1), q, kSlotAt, slot);
    auto followUp = fromTemplate(PatchInitData::performanceSecondMessage(1), q, kSlotAt, slot);
    q.SetLibrarianRequestActive(true);
    deliverToEditor(performance);
    if (pause(kFollowUpDelayMs) && q.currentModel == 1) deliverToEditor(followUp);
    q.DisplayProcessingIndicator(false);
}

void MIDIMessageSender::initClassicPatch()
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    auto program = fromTemplate(PatchInitData::programMessage(0), q, kSlotAt, librarySlot());
    const IParam* bank = q.GetParam(qorid::kRequestFromBank);
    program[kBankAt] = sx::dataByte(int(std::trunc(bank ? bank->Value() : 0.0)) + sx::kProgramBankCodeBase);
    q.SetLibrarianRequestActive(true);
    deliverToEditor(program);
    q.DisplayProcessingIndicator(false);
}

void MIDIMessageSender::initSequence()
{
    QOR& q = *controller;
    q.DisplayProcessingIndicator(true);
    // The frame carries the slot in byte 8; the pattern buffer moves it to byte 9 and names it.
    auto pattern = fromTemplate(PatchInitData::patternMessage(), q, kBankAt, librarySlot());
    q.SetLibrarianRequestActive(true);
    deliverToEditor(pattern);
    q.DisplayProcessingIndicator(false);
}
