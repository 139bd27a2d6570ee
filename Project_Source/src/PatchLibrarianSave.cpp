// Writing the upper pane's bank back to disk: over its own file, or to a file the user picks.
#include <algorithm>

#include "PatchFileImage.h"
#include "PatchLibrarian.h"
#include "PatchLibrarianText.h"
#include "QOR.h"
#include "kit/safefile.h"

void removeCharsFromString(std::string& text, const char* chars)
{
    if (!chars) return;
    for (const char* c = chars; *c; ++c) text.erase(std::remove(text.begin(), text.end(), *c), text.end());
}

namespace {

std::string extensionOf(const std::string& name)
{
    size_t dot = name.find_last_of('.');
    size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return PatchLibrarianText::lowered(name.substr(dot + 1));
}

std::string fileNameOf(const std::string& path)
{
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A copy of the bank brought to exactly 128 slots, as every saved bank file holds.
std::vector<uint8_t> bankImage(const PatchFile& bank, bool midi)
{
    std::unique_ptr<PatchFile> copy(bank.clone());
    copy->patches.resize(PatchFile::kBankSize);
    return PatchFileImage::build(*copy, midi);
}

// The owner's remembered upper pair of its current data type takes the file saved (and its
// folder, when given). Under the librarian's lock, as the menus read the pair.
void rememberUpperFile(QOR* owner, const std::string& fileName, const std::string* folderName)
{
    if (!owner) return;
    QOR& q = *owner;
    std::string* file = &q.upperProgramFileName;
    std::string* folder = &q.upperProgramFolderName;
    if (q.patternMode) file = &q.upperPatternFileName, folder = &q.upperPatternFolderName;
    else if (q.performanceMode) file = &q.upperPerformanceFileName, folder = &q.upperPerformanceFolderName;
    *file = fileName;
    if (folderName) *folder = *folderName;
}

} // namespace

PatchFile* PatchLibrarian::upperBank() const
{
    const std::vector<PatchFile*>& list =
        currentKind == kPatchFilePerformances ? multiFiles : currentKind == kPatchFilePatterns ? patternFiles : singleFiles;
    if (upperFileIndex < 0 || static_cast<size_t>(upperFileIndex) >= list.size()) return nullptr;
    return list[static_cast<size_t>(upperFileIndex)];
}

bool PatchLibrarian::saveEditedPatch(std::string path, std::string name)
// The encoding follows name; the name remembered is that of the file written at path.
{
    std::lock_guard<std::recursive_mutex> hold(mLock);
    PatchFile* bank = upperBank();
    if (!bank) {
        log("PATCH LIBRARIAN: no bank to save at " + path);
        return false;
    }
    const bool midi = extensionOf(name) == "mid";
    std::string error;
    const std::vector<uint8_t> image = bankImage(*bank, midi);
    if (!kit::WriteFileReplacing(path, image.data(), image.size(), &error)) {
        log("PATCH LIBRARIAN: could not save bank " + path + " (" + error + ")");
        return false;
    }
    // The menus find the bank again by the name of the file actually written.
    rememberUpperFile(owner, fileNameOf(path), nullptr);
    return true;
}

bool PatchLibrarian::savePatchAs(char const* suggestedName, std::string startFolder, bool midi, bool* failed)
{
    bool ignored = false;
    bool& fault = failed ? *failed : ignored;
    fault = true;
    std::vector<uint8_t> image;
    {
        // The bank as it stands now; the dialog runs without the lock, so received data can land.
        std::lock_guard<std::recursive_mutex> hold(mLock);
        PatchFile* bank = upperBank();
        if (!bank) {
            log("PATCH LIBRARIAN: no bank to save");
            return false;
        }
        image = bankImage(*bank, midi);
    }
    const std::string extension = midi ? "mid" : "qor";
    std::string folder = startFolder;
    std::string path = promptForFile ? promptForFile(suggestedName ? suggestedName : "", folder, extension) : std::string();
    if (path.empty()) {
        fault = false; // cancelled
        return false;
    }
    const std::string chosenExtension = extensionOf(path);
    const bool fits = midi ? chosenExtension == "mid" : chosenExtension == "qor" || chosenExtension == "syx";

    std::string error;
    if (fits) {
        if (!kit::WriteFileReplacing(path, image.data(), image.size(), &error)) {
            log("PATCH LIBRARIAN: could not save bank " + path + " (" + error + ")");
            return false;
        }
    } else {
        // The dialog confirmed replacing only the name it was given; a file that the added
        // extension names is another one, so a free name is taken instead of replacing it.
        const size_t slash = path.find_last_of("/\\");
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        const std::string written =
            PatchFileImage::writeUnderFreeName(folder, path.substr(folder.size()), extension, image, &error);
        if (written.empty()) {
            log("PATCH LIBRARIAN: could not save bank " + path + "." + extension + " (" + error + ")");
            return false;
        }
        path = written;
    }
    size_t cut = path.find_last_of("/\\");
    std::string folderPath = cut == std::string::npos ? std::string() : path.substr(0, cut);
    std::string folderName = folderPath.substr(folderPath.find_last_of("/\\") == std::string::npos ? 0 : folderPath.find_last_of("/\\"));
    removeCharsFromString(folderName, "/\\");
    if (folderName.empty()) folderName = "Patches";
    const std::string fileName = fileNameOf(path);
    std::lock_guard<std::recursive_mutex> hold(mLock);
    rememberUpperFile(owner, fileName, &folderName);
    fault = false;
    return true;
}
