// Cuts one bank of 128 entries out of a larger bank and writes it as a new bank file.
#include "PatchFileImage.h"
#include "PatchLibrarian.h"
#include "SysexFamily.h"

namespace {

// The entries a split pass takes are those whose first message is of the pass's kind.
bool isOfKind(const LibrarianPatch& entry, int kind)
{
    if (entry.messages.empty() || entry.messages.front().bytes.size() <= SysexFamily::kTypeAt) return false;
    return SysexFamily::kindOfType(entry.messages.front().bytes[SysexFamily::kTypeAt]) == kind;
}

} // namespace

PatchLibrarian::SplitResult PatchLibrarian::createNewPatchFile(
    PatchFile* source, std::string folderName, std::string sourceFileName, std::string extension,
    std::string sourcePath, int, int bankIndex, bool midi, bool multi, bool pattern, bool)
{
    if (!source || bankIndex < -1) return SplitResult::Nothing;
    const int kind = pattern ? kPatchFilePatterns : multi ? kPatchFilePerformances : kPatchFilePrograms;

    std::vector<const LibrarianPatch*> working;
    for (const LibrarianPatch& entry : source->patches)
        if (isOfKind(entry, kind)) working.push_back(&entry);
    splitBankCount = static_cast<int32_t>(working.size() / PatchFile::kBankSize);

    const size_t first = static_cast<size_t>(bankIndex + 1) * PatchFile::kBankSize;
    if (working.size() <= first) return SplitResult::Nothing;

    std::unique_ptr<PatchFile> bank(new PatchFile);
    bank->kind = kind;
    bank->modelCode = source->modelCode;
    bank->folderName = folderName;
    for (size_t k = first; k < working.size() && k < first + PatchFile::kBankSize; ++k) {
        bank->patches.push_back(*working[k]);
        if (kind == kPatchFilePatterns) bank->patches.back().patchType = 5;
    }
    fillUncompletedBankFiles(bank.get());
    bank->patches.resize(PatchFile::kBankSize);
    const std::vector<uint8_t> image = PatchFileImage::build(*bank, midi);

    // Program banks are numbered from 1; the first performance or pattern bank carries no number
    // and the later ones are numbered from 2, so that no two banks of one split share a name.
    std::string stem = sourceFileName.substr(0, sourceFileName.find_last_of('.'));
    if (kind == kPatchFilePrograms) stem += " Singles " + std::to_string(bankIndex + 2);
    else stem += kind == kPatchFilePerformances ? " Multis" : " Patterns";
    if (kind != kPatchFilePrograms && bankIndex >= 0) stem += " " + std::to_string(bankIndex + 2);
    const size_t cut = sourcePath.find_last_of("/\\");
    const std::string folder = cut == std::string::npos ? std::string() : sourcePath.substr(0, cut + 1);

    // Never replace a file already there: take the next free name instead.
    std::string error;
    const std::string path = PatchFileImage::writeUnderFreeName(folder, stem, extension, image, &error);
    if (path.empty()) {
        log("PATCH LIBRARIAN: could not write bank file " + folder + stem + "." + extension + " (" + error + ")");
        return SplitResult::Failed;
    }
    bank->fileName = path.substr(folder.size());
    lastWrittenPath = path;
    PatchFile* listed = adoptBank(bank.release());
    if (kind == kPatchFilePrograms) singleFiles.push_back(listed);
    else if (kind == kPatchFilePerformances) multiFiles.push_back(listed);
    else patternFiles.push_back(listed);
    return SplitResult::Written;
}
