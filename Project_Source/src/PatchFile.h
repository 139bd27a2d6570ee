#pragma once
// One bank: a numbered list of library entries read from a bank file or built in memory.
#include <cstdint>
#include <string>
#include <vector>

#include "LibrarianPatch.h"
#include "SysexFamily.h"

// Kind of a bank.
enum PatchFileKind : int32_t {
    kPatchFilePrograms = SysexFamily::kKindPrograms,
    kPatchFilePerformances = SysexFamily::kKindPerformances,
    kPatchFilePatterns = SysexFamily::kKindPatterns
};

struct PatchFile {
    static constexpr int kBankSize = 128;

    int32_t kind = kPatchFilePrograms;   // PatchFileKind
    int32_t modelCode = 0;               // 0..3
    std::vector<LibrarianPatch> patches; // slot number = index
    std::string fileName;                // with extension, as shown in the menus
    std::string folderName;              // folder that directly holds the file
    std::vector<std::string> folderNames; // "Patches" down to folderName

    // Kind of bank a SysEx message type belongs to, or -1 for a type of no bank.
    static int kindOfMessageType(int type);

    // A copy of kind, model code, entries and file name; folder names are left empty.
    PatchFile* clone() const;
};
