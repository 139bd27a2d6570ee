// Arbitrary bytes as a bank file: read, fill, and write the image back.
#include <cstddef>
#include <cstdint>

#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchLibrarian.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes) + 1) return 0;
    PatchLibrarian lib;
    PatchFile bank;
    lib.loadFromChunk(data, static_cast<int>(size), &bank, 0);
    if (bank.patches.size() <= static_cast<size_t>(PatchFile::kBankSize)) {
        lib.fillUncompletedBankFiles(&bank);
        bank.patches.resize(PatchFile::kBankSize);
    }
    std::vector<uint8_t> image = PatchFileImage::build(bank, size & 1);
    PatchFile again;
    lib.loadFromChunk(image.data(), static_cast<int>(image.size()), &again, 0);
    return 0;
}
