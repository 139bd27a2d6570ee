// Completes a bank of fewer than 128 entries with init entries of its kind and model code.
#include "PatchInitData.h"
#include "PatchLibrarian.h"
#include "SysexFamily.h"

using namespace SysexFamily;

LibrarianPatch PatchLibrarian::initEntry(int kind, int modelCode)
{
    LibrarianPatch entry;
    auto add = [&entry](const std::vector<uint8_t>& bytes) {
        PatchSysexMessage m;
        m.bytes = bytes;
        entry.messages.push_back(std::move(m));
    };
    if (kind == kPatchFilePatterns) {
        const std::vector<uint8_t>& dump = PatchInitData::patternMessage();
        PatchSysexMessage m;
        m.bytes.assign(dump.begin(), dump.end() - 1);
        m.bytes.insert(m.bytes.end(), kAppendedPatternName, kAppendedPatternName + kNameLength);
        m.bytes.push_back(kEnd);
        entry.messages.push_back(std::move(m));
        entry.name = kAppendedPatternName;
        entry.patchType = 5;
        return entry;
    }
    if (kind == kPatchFilePrograms) {
        add(PatchInitData::programMessage(modelCode));
        entry.patchType = 1;
        if (modelCode != 0 && modelCode != 1) {
            add(PatchInitData::programSecondMessage());
            entry.patchType = 2;
        }
    } else {
        add(PatchInitData::performanceMessage(modelCode));
        if (modelCode != 0) add(PatchInitData::performanceSecondMessage(modelCode));
        if (modelCode != 0 && modelCode != 1) add(PatchInitData::performanceThirdMessage());
        // Typed like a performance read from a file, so nothing tells the two apart.
        entry.patchType = 6 + (modelCode >= 0 && modelCode <= 3 ? modelCode : 2);
    }
    LibrarianPatch::appendName(entry.name, entry.messages.front().bytes, kNameAt,
                               entry.messages.front().bytes.size());
    entry.parseCategory(kCategoryAt);
    return entry;
}

void PatchLibrarian::fillUncompletedBankFiles(PatchFile* bank)
{
    if (!bank || bank->patches.size() >= static_cast<size_t>(PatchFile::kBankSize)) return;

    // The first entry's first message tells the kind; a bank that starts with an empty slot
    // falls back to the kind the reader recorded for it.
    int kind;
    const LibrarianPatch* first = bank->patches.empty() ? nullptr : &bank->patches.front();
    if (first && !first->messages.empty() && first->messages.front().bytes.size() > kTypeAt) {
        uint8_t type = first->messages.front().bytes[kTypeAt];
        kind = type == kTypePattern ? kPatchFilePatterns : type == kTypeStoredProgram ? kPatchFilePrograms : kPatchFilePerformances;
    } else {
        kind = bank->kind;
    }
    const LibrarianPatch init = initEntry(kind, bank->modelCode);
    bank->patches.resize(PatchFile::kBankSize, init);
}
