#include "memory.h"

#include <algorithm>
#include <cstring>

namespace synthsim {

namespace {

template <size_t N>
void copyBody(std::array<uint8_t, N>& dst, const Bytes& src, size_t from)
{
    std::copy(src.begin() + long(from), src.begin() + long(from + N), dst.begin());
}

// Fixed bytes of global settings 1 (positions 8..23), with master tune 64, pedal
// sensitivity 0, MIDI clock setting 0 (sent as 105) and master volume 127.
const uint8_t kGlobal1Head[] = {0x0F, 0x5D, 0x40, 0x00, 0x7F, 0x3C, 0x69, 0x7F,
                                0x01, 0x00, 0x02, 0x05, 0x00, 0x03, 0x34, 0x43};

// Fixed bytes of global settings 2 (positions 8..35), with breath sensing 0 and local
// control on (0x30), breath mode 0, pedal switch 0 (11), program and control changes
// received and transmitted (06 at 22 and 24; velocity sensitivity 1, knob mode 0, demos and
// aftertouch off), input switches 0 and both audio trims 0 (54).
const uint8_t kGlobal2Head[] = {0x28, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x0B, 0x5F, 0x06, 0x00, 0x06, 0x00, 0x00, 0x69,
                                0x1E, 0x00, 0x01, 0x40, 0x36, 0x36, 0x40, 0x40};

bool validSlot(uint8_t s) { return s < kSlots; }

// Power-on performances: part k listens on channel k and receives program and control
// changes. The template's parts all follow the global channel, which would leave the
// editor's part traffic unheard until a performance with channels arrived.
void giveEachPartItsChannel(PerformanceBody& perf)
{
    for (int k = 0; k < kParts; ++k) {
        uint8_t* block = perf.data() + kPartBlockStart + kPartBlockSize * size_t(k);
        block[kPartBlockChannel] = uint8_t(k);
        block[kPartBlockSettings] &= uint8_t(~(kPartIgnoresProgramChanges | kPartIgnoresControlChanges));
    }
}

std::string describe(const char* what, int bank, int slot)
{
    std::string s = what;
    s += " bank ";
    s += char('A' + bank);
    s += " slot " + std::to_string(slot);
    return s;
}

} // namespace

SynthMemory::SynthMemory()
    : programs(kProgramBanks), performances(kPerformanceBanks), followUps(kPerformanceBanks)
{
    std::copy(std::begin(kGlobal1Head), std::end(kGlobal1Head), global1.begin());
    std::copy(std::begin(kGlobal2Head), std::end(kGlobal2Head), global2.begin());

    ProgramBody prog;
    copyBody(prog, initProgramTemplate(), 10);
    PerformanceBody perf;
    copyBody(perf, initPerformanceTemplate(), 10);
    giveEachPartItsChannel(perf);
    FollowUpBody follow;
    copyBody(follow, initFollowUpTemplate(), 10);
    PatternBody pattern;
    copyBody(pattern, initPatternTemplate(), 10);

    partEdit.fill(prog);
    performanceEdit = perf;
    followUpEdit = follow;
    for (auto& bank : programs) bank.fill(prog);
    for (auto& bank : performances) bank.fill(perf);
    for (auto& bank : followUps) bank.fill(follow);
    patterns.fill(pattern);
}

std::string storeMessage(SynthMemory& mem, const Bytes& m)
{
    if (!hasFamilyHeader(m) || m.back() != kSysExEnd || !dataBytesAre7Bit(m)) return "";
    const uint8_t type = m[7];
    const size_t n = m.size();
    const uint8_t b8 = m[8];
    const uint8_t b9 = n > 9 ? m[9] : 0;
    const int progBank = int(b8) - kProgramBankBase;
    const int perfBank = int(b8) - kPerformanceBankBase;

    if (type == kTypeProgramDump && n == kLenProgramDump) {
        if (b8 >= kParts) return "";
        copyBody(mem.partEdit[b8], m, 9);
        return "part " + std::to_string(b8 + 1) + " edit buffer";
    }
    if (type == kTypeStoredProgram && n == kLenStoredProgram) {
        if (progBank < 0 || progBank >= kProgramBanks || !validSlot(b9)) return "";
        copyBody(mem.programs[size_t(progBank)][b9], m, 10);
        return describe("program", progBank, b9);
    }
    if (type == kTypePerformanceDump && n == kLenPerformanceDump) {
        copyBody(mem.performanceEdit, m, 8);
        return "performance edit buffer";
    }
    if ((type == kTypeStoredPerformance || type == kTypePerformanceDump) &&
        n == kLenStoredPerformance) {
        if (perfBank < 0 || perfBank >= kPerformanceBanks || !validSlot(b9)) return "";
        copyBody(mem.performances[size_t(perfBank)][b9], m, 10);
        return describe("performance", perfBank, b9);
    }
    if (type == kTypeFollowUp && n == kLenFollowUp) {
        copyBody(mem.followUpEdit, m, 8);
        return "performance follow-up edit buffer";
    }
    if ((type == kTypeStoredFollowUp || type == kTypeFollowUp) && n == kLenStoredFollowUp) {
        if (perfBank < 0 || perfBank >= kPerformanceBanks || !validSlot(b9)) return "";
        copyBody(mem.followUps[size_t(perfBank)][b9], m, 10);
        return describe("performance follow-up", perfBank, b9);
    }
    if (type == kTypeGlobal1 && n == kLenGlobal1) {
        copyBody(mem.global1, m, 8);
        return "global settings 1";
    }
    if (type == kTypeGlobal2 && n == kLenGlobal2) {
        copyBody(mem.global2, m, 8);
        return "global settings 2";
    }
    if (type == kTypePatternFrame && (n == kLenPatternFrame || n == kLenPatternLibrary)) {
        if (b8 != 0x00 || !validSlot(b9)) return "";
        copyBody(mem.patterns[b9], m, 10);
        return "pattern slot " + std::to_string(b9);
    }
    return "";
}

std::vector<MemoryFile> memoryAsFiles(const SynthMemory& mem, uint8_t model, uint8_t device)
{
    std::vector<MemoryFile> files;
    files.push_back({"globals.syx",
                     {buildGlobal1(model, device, mem.global1.data()),
                      buildGlobal2(model, device, mem.global2.data())}});
    MemoryFile edit{"edit-buffers.syx", {}};
    for (int p = 0; p < kParts; ++p)
        edit.messages.push_back(buildProgramDump(model, device, uint8_t(p), mem.partEdit[size_t(p)].data()));
    edit.messages.push_back(buildPerformanceDump(model, device, mem.performanceEdit.data()));
    edit.messages.push_back(buildFollowUp(model, device, mem.followUpEdit.data()));
    files.push_back(std::move(edit));
    for (int b = 0; b < kProgramBanks; ++b) {
        MemoryFile f{std::string("programs-") + char('A' + b) + ".syx", {}};
        for (int s = 0; s < kSlots; ++s)
            f.messages.push_back(buildStoredProgram(model, device, uint8_t(b + kProgramBankBase),
                                                    uint8_t(s), mem.programs[size_t(b)][size_t(s)].data()));
        files.push_back(std::move(f));
    }
    for (int b = 0; b < kPerformanceBanks; ++b) {
        MemoryFile f{std::string("performances-") + char('A' + b) + ".syx", {}};
        const uint8_t code = uint8_t(b + kPerformanceBankBase);
        for (int s = 0; s < kSlots; ++s) {
            f.messages.push_back(buildStoredPerformance(model, device, code, uint8_t(s),
                                                        mem.performances[size_t(b)][size_t(s)].data()));
            f.messages.push_back(buildStoredFollowUp(model, device, code, uint8_t(s),
                                                     mem.followUps[size_t(b)][size_t(s)].data()));
        }
        files.push_back(std::move(f));
    }
    MemoryFile pat{"patterns.syx", {}};
    for (int s = 0; s < kSlots; ++s)
        pat.messages.push_back(buildPatternFrame(model, device, uint8_t(s), mem.patterns[size_t(s)].data()));
    files.push_back(std::move(pat));
    return files;
}

} // namespace synthsim
