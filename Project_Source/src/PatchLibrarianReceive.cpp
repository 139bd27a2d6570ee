// A received entry into the selected slot of the upper pane's bank.
#include "PatchLibrarian.h"

bool PatchLibrarian::setSysexDatatoSelectedSlot(LibrarianPatch* received)
{
    if (!received) return false;
    std::lock_guard<std::recursive_mutex> hold(mLock);
    const std::vector<PatchFile*>* list = currentKind == kPatchFilePrograms       ? &singleFiles
                                          : currentKind == kPatchFilePerformances ? &multiFiles
                                          : currentKind == kPatchFilePatterns     ? &patternFiles
                                                                                  : nullptr;
    if (!list) return false;
    PatchFile* bank =
        upperFileIndex >= 0 && size_t(upperFileIndex) < list->size() ? (*list)[size_t(upperFileIndex)] : nullptr;
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
