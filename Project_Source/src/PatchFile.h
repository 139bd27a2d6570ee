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

    PatchFile() = default;
    PatchFile(const PatchFile&) = default;
    PatchFile(PatchFile&&) = default;
    PatchFile& operator=(const PatchFile&) = default;
    PatchFile& operator=(PatchFile&&) = default;
    ~PatchFile();

    // Kind of bank a SysEx message type belongs to, or -1 for a type of no bank.
    static int kindOfMessageType(int type);

    // A copy of kind, model code, entries and file name; folder names are left empty.
    PatchFile* clone() const;

    // Builders append entries into room they reserved, which is fresh memory: the room of the
    // next entries but one is fetched while the current one is made.
    static void fetchRoomAhead(const std::vector<LibrarianPatch>& patches)
    {
        constexpr size_t kAhead = 2;
        if (patches.size() + kAhead >= patches.capacity()) return;
        const char* next = reinterpret_cast<const char*>(patches.data() + patches.size() + kAhead);
        for (size_t line = 0; line < sizeof(LibrarianPatch); line += 64) __builtin_prefetch(next + line, 1);
    }
};
