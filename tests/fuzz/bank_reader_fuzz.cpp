// Arbitrary bytes as a bank file: reading never crashes, and the bank read survives a write and a
// re-read entry by entry. Filling the bank as the scan does is sampled: it builds the same 128 init entries
// for every input and would otherwise take most of each run.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "bank_entries.h"

namespace {

// Empties a bank, keeping the storage of its entry list.
void reset(PatchFile& bank)
{
    bank.kind = kPatchFilePrograms;
    bank.modelCode = 0;
    bank.patches.clear();
}

// Reads, writes and re-reads one input; the caller empties the banks after it.
void roundTrip(PatchLibrarian& lib, PatchFile& bank, PatchFile& again, const uint8_t* data, size_t size)
{
    lib.loadFromChunk(data, static_cast<int>(size), &bank, 0);
    if (bank.patches.empty()) return;
    if (size % 8 == 0 && bank.patches.size() <= static_cast<size_t>(PatchFile::kBankSize)) {
        lib.fillUncompletedBankFiles(&bank);
        bank.patches.resize(PatchFile::kBankSize);
    }
    const std::vector<uint8_t> image = PatchFileImage::build(bank, size & 1);
    // The reader takes no file below 15 bytes or above its limit.
    if (image.size() < 15 || image.size() > static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes)) return;
    lib.loadFromChunk(image.data(), static_cast<int>(image.size()), &again, 0);
    if (const char* fault = bankfuzz::roundTripFault(bank, again)) {
        std::fprintf(stderr, "bank reader: %s\n", fault);
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes) + 1) return 0;
    // Made once for the whole run: a librarian builds a text stream, and the banks keep their
    // entry lists' storage.
    static PatchLibrarian lib;
    static PatchFile bank, again;
    roundTrip(lib, bank, again, data, size);
    // Everything an input made goes with it: an input that leaves more allocations than it
    // frees makes the fuzzer run it a second time to look for a leak.
    lib.categoryNames.clear();
    reset(bank);
    reset(again);
    return 0;
}
