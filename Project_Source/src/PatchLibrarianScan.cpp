// The library scan: walks the library folder, loads every bank file, splits files of more than
// one bank into bank files of 128 and moves their sources out of the library.
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "DataFolder.h"
#include "PatchFileImage.h"
#include "PatchLibrarian.h"
#include "PatchLibrarianText.h"
#include "kit/plugin/IPluginStructs.h"
#include "kit/safefile.h"

namespace {

bool isBankExtension(const std::string& ext) { return ext == "mid" || ext == "syx" || ext == "qor"; }

// Path segments of the root, counted the way folder depths are measured against it.
int rootDepthOf(std::string root)
{
    int depth = 0;
    while (!root.empty()) {
        size_t cut = root.find_last_of("/\\");
        root = cut == std::string::npos ? std::string() : root.substr(0, cut);
        ++depth;
    }
    return depth;
}

std::vector<std::string> sortedEntries(const std::string& folder)
{
    std::vector<std::string> names;
    Poco::File(folder).list(names);
    std::sort(names.begin(), names.end());
    return names;
}

// Reads a whole file into buffer, which keeps its storage from file to file; answers the number
// of bytes read, or -1.
int readWholeFile(const std::string& path, std::vector<uint8_t>& buffer, uint64_t size)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    if (buffer.size() < size) buffer.resize(static_cast<size_t>(size));
    size_t got = size ? std::fread(buffer.data(), 1, static_cast<size_t>(size), f) : 0;
    std::fclose(f);
    return static_cast<int>(got);
}

// Moves a file into folder under its own name or, when that is taken, the next free one; never
// replaces a file. Answers the new path, or empty.
std::string moveWithoutReplacing(const std::string& source, const std::string& folder, std::string* error)
{
    Poco::Path from(source);
    const std::string base = from.getBaseName();
    const std::string ext = from.getExtension();
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        std::string name = base + (attempt == 1 ? std::string() : " (" + std::to_string(attempt) + ")") +
                           (ext.empty() ? std::string() : "." + ext);
        std::string target = folder + name;
        const int failure = kit::RenameNoReplace(source, target);
        if (failure == 0) return target;
        if (failure == EEXIST) continue;
        if (failure != EXDEV && failure != EINVAL && failure != ENOSYS) {
            *error = std::strerror(failure);
            return std::string();
        }
        // Another file system, or one without the no-replace rename: copy, then remove.
        std::vector<uint8_t> bytes;
        uint64_t size = Poco::File(source).getSize();
        int got = readWholeFile(source, bytes, size);
        if (got < 0 || static_cast<uint64_t>(got) != size) {
            *error = "cannot read the file";
            return std::string();
        }
        bool existed = false;
        if (kit::WriteFileNew(target, bytes.data(), static_cast<size_t>(got), error, &existed)) {
            if (::unlink(source.c_str()) != 0) {
                *error = std::strerror(errno);
                ::unlink(target.c_str());
                return std::string();
            }
            return target;
        }
        if (!existed) return std::string();
    }
    *error = "no free name";
    return std::string();
}

} // namespace

std::string PatchLibrarian::convertedBanksFolder() { return DataFolder::getDataFolder() + "Converted Banks/"; }

void PatchLibrarian::buildFolderStructure(std::string const& folder, std::vector<std::string>* paths)
{
    std::vector<std::string> names;
    try {
        names = sortedEntries(folder);
    } catch (const Poco::Exception& e) {
        log("PATCH LIBRARIAN: cannot list folder " + folder + ": " + e.displayText());
        return;
    }
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        try {
            Poco::File entry(path);
            if (entry.isLink() || !entry.isDirectory()) continue;
            buildFolderStructure(path, paths);
            paths->push_back(path);
        } catch (const Poco::Exception& e) {
            log("PATCH LIBRARIAN: skipped " + path + ": " + e.displayText());
        }
    }
}

void PatchLibrarian::loadPatchesFromFilesystem(std::string root)
{
    bool present = false;
    try {
        Poco::File rootFile(root);
        present = rootFile.exists() && rootFile.isDirectory();
    } catch (const Poco::Exception&) {
        present = false;
    }
    if (!present) {
        log("PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...");
        return;
    }
    folderPaths.clear();
    buildFolderStructure(root, &folderPaths);
    folderPaths.push_back(root);
    const int rootDepth = rootDepthOf(root);

    for (const std::string& folder : folderPaths) {
        std::vector<std::string> names;
        try {
            names = sortedEntries(folder);
        } catch (const Poco::Exception& e) {
            log("PATCH LIBRARIAN: cannot list folder " + folder + ": " + e.displayText());
            continue;
        }
        for (const std::string& name : names) {
            const std::string fullPath = folder + "/" + name;
            try {
                Poco::Path path(fullPath);
                const std::string extension = PatchLibrarianText::lowered(path.getExtension());
                if (!isBankExtension(extension)) continue;
                Poco::File file(fullPath);
                if (!file.isFile() || file.getSize() < kMinBankFileBytes) continue;
                if (unsplittableSources.count(fullPath)) continue;
                PatchFile* bank = parseFolderFiles(file, path, path.depth() - rootDepth, 0, 1, extension);
                if (!bank) continue;
                if (bank->kind == kPatchFilePrograms) createSingleFolderFilesStructure(bank);
                else if (bank->kind == kPatchFilePerformances) createMultiFolderFilesStructure(bank);
                else if (bank->kind == kPatchFilePatterns) createPatternFolderFilesStructure(bank);
            } catch (const Poco::Exception& e) {
                log("PATCH LIBRARIAN: skipped " + fullPath + ": " + e.displayText());
            }
        }
    }

    // One rescan after splitting finds the new bank files; a scan that is itself that rescan
    // never starts another.
    if (rescanAfterSplit) {
        rescanAfterSplit = 0;
        if (rescanDepth == 0) {
            ++rescanDepth;
            initBankFilesOnDiscard(root);
            --rescanDepth;
            return;
        }
    }
    createNewCategoryPatchFiles();
}

PatchFile* PatchLibrarian::parseFolderFiles(Poco::File file, Poco::Path path, int depth, int, int, std::string extension)
{
    fileWasSplit = 0;
    const std::string fullPath = path.toString();
    log("PATCH LIBRARIAN: loading file " + fullPath);

    std::unique_ptr<PatchFile> bank(new PatchFile);
    bank->fileName = path.getFileName();
    const int dirs = path.depth();
    if (dirs > 0) bank->folderName = path.directory(dirs - 1);
    for (int i = std::max(0, dirs - (depth + 1)); i < dirs; ++i) bank->folderNames.push_back(path.directory(i));

    const uint64_t size = file.getSize();
    if (size > static_cast<uint64_t>(kMaxBankFileBytes)) {
        log("PATCH LIBRARIAN: skipped file " + fullPath + ", larger than a bank file can be");
        return nullptr;
    }
    int got = readWholeFile(fullPath, fileBuffer, size);
    if (got < 0) log("PATCH LIBRARIAN: cannot read file " + fullPath);
    loadFromChunk(fileBuffer.data(), std::max(got, 0), bank.get(), extension == "mid" ? 1 : 0);

    if (bank->patches.size() > static_cast<size_t>(PatchFile::kBankSize)) {
        splitBankCount = static_cast<int32_t>(bank->patches.size() / PatchFile::kBankSize);
        std::vector<std::string> written;
        bool failed = false;
        const bool passes[3][2] = {{false, false}, {true, false}, {true, true}};
        for (const auto& pass : passes) {
            for (int b = -1; b < splitBankCount && !failed; ++b) {
                SplitResult r = createNewPatchFile(bank.get(), bank->folderName, bank->fileName, extension, fullPath, 0,
                                                   b, extension == "mid", pass[0], pass[1], false);
                if (r == SplitResult::Written) written.push_back(lastWrittenPath);
                if (r == SplitResult::Failed) failed = true;
            }
        }
        // Nothing half done: when a bank cannot be written or the source cannot be moved out,
        // the banks already written go and the source stays where it was, so the next start
        // splits it afresh instead of adding another set of copies beside the first.
        auto undo = [&]() {
            for (const std::string& p : written) ::unlink(p.c_str());
            unsplittableSources.insert(fullPath);
            if (!written.empty()) rescanAfterSplit = 1;
        };
        if (failed) {
            undo();
            log("PATCH LIBRARIAN: could not split file " + fullPath + "; it stays in place");
            return nullptr;
        }
        const std::string converted = convertedBanksFolder();
        std::string error;
        std::string moved;
        try {
            Poco::File(converted).createDirectories();
            moved = moveWithoutReplacing(fullPath, converted, &error);
        } catch (const Poco::Exception& e) {
            error = e.displayText();
        }
        if (moved.empty()) {
            undo();
            log("PATCH LIBRARIAN: could not move file " + fullPath + " to " + converted + ": " + error);
            return nullptr;
        }
        fileWasSplit = 1;
        rescanAfterSplit = 1;
        log("PATCH LIBRARIAN: moved file " + converted + " due to mismatching data in package!");
        return nullptr;
    }
    if (!bank->patches.empty()) {
        fillUncompletedBankFiles(bank.get());
        bank->patches.resize(PatchFile::kBankSize);
        if (bank->kind == kPatchFilePrograms) singleFiles.push_back(bank.get());
        else if (bank->kind == kPatchFilePatterns) patternFiles.push_back(bank.get());
        else multiFiles.push_back(bank.get());
    }
    return adoptBank(bank.release());
}

void PatchLibrarian::initBankFilesOnDiscard(std::string root)
{
    singleFiles.clear();
    patternFiles.clear();
    multiFiles.clear();
    searchFiles.clear();
    categoryFiles.clear();
    categoryNames.clear();
    for (int which = 0; which <= 4; ++which) clearDataStructures(which);
    retireUnlistedBanks();
    loadPatchesFromFilesystem(root);
}
