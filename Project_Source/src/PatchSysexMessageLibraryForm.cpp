// The library form of a received or built message: the re-framing into a template that carries
// the bank and slot bytes the synthesizer's dumps lack.
#include <algorithm>
#include <cstring>

#include "PatchInitData.h"
#include "PatchSysexMessage.h"
#include "SysexFamily.h"

namespace
{

using namespace SysexFamily;

// The name a requested pattern carries until the user renames it.
constexpr char kRequestedPatternName[] = "Requested Arp***";
static_assert(sizeof kRequestedPatternName == kNameLength + 1, "a pattern's name fills one name field");

// Byte positions of the slot fields in every library form.
constexpr size_t kBankCodeAt = 8;
constexpr size_t kSlotAt = 9;
// A dump's body starts here: programs carry their part in byte 8, performances none.
constexpr size_t kProgramDumpBodyAt = 9;
constexpr size_t kPerformanceDumpBodyAt = 8;

// template with the dump's bytes from bodyAt on moved to the library form's body at 10, then
// the type, bank code and slot written.
SysexBytes reframe(const std::vector<uint8_t>& form, const SysexBytes& dump, size_t bodyAt, uint8_t type,
                   uint8_t bankCode, int slot)
{
    std::vector<uint8_t> out(form);
    std::copy(dump.begin() + bodyAt, dump.end(), out.begin() + kSlotAt + 1);
    out[kTypeAt] = type;
    out[kBankCodeAt] = bankCode;
    out[kSlotAt] = uint8_t(slot) & 0x7F;
    return SysexBytes(out);
}

} // namespace

void PatchSysexMessage::checkPatchDataSize(PatchSysexMessage* msg, bool isProgram, bool isPattern, int slot)
{
    if (!msg) return;
    SysexBytes& b = msg->bytes;
    const size_t n = b.size();
    if (isPattern) {
        if (n != kPatternSize) return;
        // The frame keeps its own envelope; its F7 gives way to the name.
        std::vector<uint8_t> out(b.begin(), b.begin() + kPatternNameAt);
        out[kTypeAt] = kTypePattern;
        out[kBankCodeAt] = 0x00;
        out[kSlotAt] = uint8_t(slot) & 0x7F;
        out.insert(out.end(), kRequestedPatternName, kRequestedPatternName + kNameLength);
        out.push_back(kEnd);
        b = out;
        return;
    }
    if (isProgram) {
        if (n == kProgramDumpSize)
            b = reframe(PatchInitData::programMessage(0), b, kProgramDumpBodyAt, kTypeStoredProgram,
                        kProgramBankCodeBase, slot);
        return;
    }
    if (n == kPerformanceDumpSize)
        b = reframe(PatchInitData::performanceMessage(1), b, kPerformanceDumpBodyAt, kTypePerformanceDump,
                    kPerformanceBankCodeBase, slot);
    else if (n == kFollowUpSize)
        b = reframe(PatchInitData::performanceSecondMessage(1), b, kPerformanceDumpBodyAt, kTypePerformanceFollowUp,
                    kPerformanceBankCodeBase, slot);
}
