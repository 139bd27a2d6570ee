// The library scan: walks the library folder, loads every bank file, splits files of more than
// one bank into bank files of 128 and moves their sources out of the library.
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

} // namespace

std::vector<PatchLibrarian::FolderEntry> PatchLibrarian::sortedEntries(const std::string& folder)
{
    std::vector<PatchLibrarian::FolderEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        // The folder library throws the error the log shows.
        std::vector<std::string> names;
        Poco::File(folder).list(names);
        for (std::string& name : names) entries.push_back({std::move(name), DT_UNKNOWN});
    } else {
        while (const dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            entries.push_back({e->d_name, e->d_type});
        }
        ::closedir(dir);
    }
    std::sort(entries.begin(), entries.end(),
              [](const PatchLibrarian::FolderEntry& a, const PatchLibrarian::FolderEntry& b) { return a.name < b.name; });
    return entries;
}

namespace {

// Reads a whole file, open at fd (closed here), into buffer, which keeps its storage from file to
// file; size becomes the file's size, taken from known when the caller has measured the open file
// already. Answers the number of bytes read, -1 when the file cannot be read, or -2 (and reads
// nothing) when it is larger than limit.
int readOpenedFile(int fd, std::vector<uint8_t>& buffer, uint64_t& size, uint64_t limit, const struct stat* known = nullptr)
{
    struct stat st {};
    if (known) {
        st = *known;
    } else if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    size = static_cast<uint64_t>(st.st_size);
    if (size > limit) {
        ::close(fd);
        return -2;
    }
    if (buffer.size() < size) buffer.resize(static_cast<size_t>(size));
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer.data() + got, static_cast<size_t>(size) - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return static_cast<int>(got);
}

int readWholeFile(const std::string& path, std::vector<uint8_t>& buffer, uint64_t& size, uint64_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    return readOpenedFile(fd, buffer, size, limit);
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
        uint64_t size = 0;
        int got = readWholeFile(source, bytes, size, PatchLibrarian::kMaxBankFileBytes);
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
    walkFolders(folder, paths, nullptr);
}

void PatchLibrarian::walkFolders(const std::string& folder, std::vector<std::string>* paths,
                                 std::vector<std::vector<FolderEntry>>* listings)
{
    std::vector<FolderEntry> entries;
    try {
        entries = sortedEntries(folder);
    } catch (const Poco::Exception& e) {
        log("PATCH LIBRARIAN: cannot list folder " + folder + ": " + e.displayText());
        if (listings) listings->emplace_back();
        return;
    }
    for (const FolderEntry& entry : entries) {
        if (entry.type != DT_DIR && entry.type != DT_UNKNOWN) continue; // files and links
        const std::string path = folder + "/" + entry.name;
        try {
            if (entry.type == DT_UNKNOWN) {
                Poco::File file(path);
                if (file.isLink() || !file.isDirectory()) continue;
            }
            walkFolders(path, paths, listings);
            paths->push_back(path);
        } catch (const Poco::Exception& e) {
            log("PATCH LIBRARIAN: skipped " + path + ": " + e.displayText());
        }
    }
    // A folder's listing follows those of the folders below it, as its path follows theirs.
    if (listings) listings->push_back(std::move(entries));
}

void PatchLibrarian::loadPatchesFromFilesystem(std::string root)
{
    std::lock_guard<std::recursive_mutex> hold(mLock);
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
    // Every folder is listed once: the walk keeps each listing for the files.
    std::vector<std::vector<FolderEntry>> listings;
    walkFolders(root, &folderPaths, &listings);
    folderPaths.push_back(root);
    const int rootDepth = rootDepthOf(root);

    for (size_t f = 0; f < folderPaths.size() && f < listings.size(); ++f) {
        const std::string& folder = folderPaths[f];
        // Files are opened relative to their folder, which is looked up once for all of them.
        struct FolderHandle {
            int fd = -2; // -2: not opened yet, -1: not to be had
            ~FolderHandle()
            {
                if (fd >= 0) ::close(fd);
            }
        } folderHandle;
        for (const FolderEntry& entry : listings[f]) {
            const std::string fullPath = folder + "/" + entry.name;
            try {
                Poco::Path path(fullPath);
                const std::string extension = PatchLibrarianText::lowered(path.getExtension());
                if (!isBankExtension(extension)) continue;
                // A file the listing calls regular is opened at once and measured on the open file,
                // saving a lookup of its path; anything else is looked up first, so that nothing
                // but a regular file is ever opened. Not blocking: a regular file does not wait,
                // and something swapped in since the listing is refused as not regular.
                int fd = -1;
                if (entry.type == DT_REG) {
                    if (folderHandle.fd == -2) folderHandle.fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
                    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
                    fd = folderHandle.fd >= 0 ? ::openat(folderHandle.fd, entry.name.c_str(), flags)
                                              : ::open(fullPath.c_str(), flags);
                }
                struct stat st {};
                if (fd >= 0 && ::fstat(fd, &st) != 0) {
                    ::close(fd);
                    fd = -1;
                }
                if (fd < 0) {
                    // One lookup tells kind and size; when it fails, the folder library reports why.
                    if (::stat(fullPath.c_str(), &st) != 0) {
                        Poco::File file(fullPath);
                        if (!file.isFile() || file.getSize() < kMinBankFileBytes) continue;
                        st.st_mode = S_IFREG;
                        st.st_size = static_cast<off_t>(kMinBankFileBytes);
                    }
                }
                if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) < kMinBankFileBytes ||
                    unsplittableSources.count(fullPath)) {
                    if (fd >= 0) ::close(fd);
                    continue;
                }
                PatchFile* bank = loadBankFile(path, path.depth() - rootDepth, extension, fd, fd >= 0 ? &st : nullptr);
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

PatchFile* PatchLibrarian::parseFolderFiles(Poco::File, Poco::Path path, int depth, int, int, std::string extension)
{
    return loadBankFile(path, depth, extension, -1, nullptr);
}

PatchFile* PatchLibrarian::loadBankFile(const Poco::Path& path, int depth, const std::string& extension, int fd,
                                        const struct stat* measured)
{
    fileWasSplit = 0;
    const std::string fullPath = path.toString();
    log("PATCH LIBRARIAN: loading file " + fullPath);

    std::unique_ptr<PatchFile> bank(new PatchFile);
    bank->fileName = path.getFileName();
    const int dirs = path.depth();
    if (dirs > 0) bank->folderName = path.directory(dirs - 1);
    for (int i = std::max(0, dirs - (depth + 1)); i < dirs; ++i) bank->folderNames.push_back(path.directory(i));

    uint64_t size = 0;
    int got = fd >= 0 ? readOpenedFile(fd, fileBuffer, size, kMaxBankFileBytes, measured)
                      : readWholeFile(fullPath, fileBuffer, size, kMaxBankFileBytes);
    // A file that cannot be opened is still measured, so that a too large one is refused as such.
    if (got == -2 || (got == -1 && Poco::File(fullPath).getSize() > static_cast<uint64_t>(kMaxBankFileBytes))) {
        log("PATCH LIBRARIAN: skipped file " + fullPath + ", larger than a bank file can be");
        return nullptr;
    }
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
    std::lock_guard<std::recursive_mutex> hold(mLock);
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
