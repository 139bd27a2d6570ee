// A received entry into the selected slot of the upper pane's bank.
#include "PatchLibrarian.h"

PatchFile* PatchLibrarian::upperBankOf(int kind) const
{
    std::lock_guard<std::recursive_mutex> hold(mLock);
    if (kind != currentKind) return nullptr;
    const std::vector<PatchFile*>* list = kind == kPatchFilePrograms       ? &singleFiles
                                          : kind == kPatchFilePerformances ? &multiFiles
                                          : kind == kPatchFilePatterns     ? &patternFiles
                                                                           : nullptr;
    return list && upperFileIndex >= 0 && size_t(upperFileIndex) < list->size() ? (*list)[size_t(upperFileIndex)]
                                                                                : nullptr;
}

bool PatchLibrarian::setSysexDatatoSelectedSlot(LibrarianPatch* received)
{
    if (!received) return false;
    std::lock_guard<std::recursive_mutex> hold(mLock);
    PatchFile* bank = upperBankOf(currentKind);
    if (!bank || upperSlot < 0 || upperSlot >= PatchFile::kBankSize) {
        log("PATCH LIBRARIAN: received entry dropped, no bank " + std::to_string(upperFileIndex) + " slot " +
            std::to_string(upperSlot) + " of kind " + std::to_string(currentKind));
        return false;
    }
    LibrarianPatch copy(*received);
    bank->patches.resize(PatchFile::kBankSize);
    bank->patches[size_t(upperSlot)] = std::move(copy);
    return true;
}
