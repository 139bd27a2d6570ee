// Arbitrary bytes as a bank file: reading never crashes, and every message read survives a write
// and a re-read. Filling the bank as the scan does is sampled: it builds the same 128 init entries
// for every input and would otherwise take most of each run.
#include <cstddef>
#include <cstdint>

#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchLibrarian.h"

namespace {

size_t wholeMessages(const PatchFile& bank)
{
    size_t n = 0;
    for (const LibrarianPatch& entry : bank.patches)
        for (const PatchSysexMessage& m : entry.messages) n += m.isWhole();
    return n;
}

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
    // Every stored message is whole, 7-bit inside and of a kind the reader takes: written out,
    // each one is found and stored again.
    if (wholeMessages(again) != wholeMessages(bank)) __builtin_trap();
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
