// Arbitrary bytes as a bank file: read, fill, and write the image back, as the scan does.
#include <cstddef>
#include <cstdint>

#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchLibrarian.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes) + 1) return 0;
    // One librarian and two banks for the whole run, emptied between inputs: making a librarian
    // builds a text stream, and the banks keep their storage.
    static PatchLibrarian lib;
    static PatchFile bank, again;
    lib.categoryNames.clear();
    bank = PatchFile();
    lib.loadFromChunk(data, static_cast<int>(size), &bank, 0);
    // Like the scan, only a bank with entries is filled and written; most inputs hold none, and
    // filling them would read and write the same 128 init entries every time.
    if (bank.patches.empty()) return 0;
    if (bank.patches.size() <= static_cast<size_t>(PatchFile::kBankSize)) {
        lib.fillUncompletedBankFiles(&bank);
        bank.patches.resize(PatchFile::kBankSize);
    }
    const std::vector<uint8_t> image = PatchFileImage::build(bank, size & 1);
    again = PatchFile();
    lib.loadFromChunk(image.data(), static_cast<int>(image.size()), &again, 0);
    return 0;
}
