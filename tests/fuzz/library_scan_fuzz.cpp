// Arbitrary bytes as a library: the input becomes bank files in the folders of a fresh library,
// and the whole scan runs over it: reading, splitting banks of more than 128 entries into bank
// files (their sources move to "Converted Banks" in a fresh data folder), filling short banks,
// the folder trees and the category banks. Every bank file a split writes must read back with
// exactly the entries cut for it from its source.
//
// Input: records, the first at the start and each further one after the text "FILE:". A
// record's first byte says where it goes (bits 0-1 the extension, bits 2-4 the folder), the
// rest is the file's bytes. The scan passes over files below 25,001 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/PatchLibrarianText.h"
#include "bank_entries.h"
#include "support/tempdir.h"

namespace {

const char kMarker[] = "FILE:";
const char* const kExtensions[] = {"syx", "mid", "qor", "SYX"};
const char* const kFolders[] = {"", "A", "A/B", "A/B/C", "Z", "a", "A/b", ""};

// Says which check failed (the replay shows it; libFuzzer keeps the stack) and stops.
[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "library scan: %s\n", what);
    __builtin_trap();
}

struct Record {
    std::string folder, stem, extension;
    const uint8_t* data;
    size_t size;
};

std::vector<Record> recordsOf(const uint8_t* data, size_t size)
{
    std::vector<Record> out;
    const uint8_t* end = data + size;
    const uint8_t* at = data;
    while (at < end && out.size() < 8) {
        const uint8_t* next = static_cast<const uint8_t*>(memmem(at, size_t(end - at), kMarker, sizeof kMarker - 1));
        if (!next) next = end;
        if (next > at) {
            const uint8_t where = *at;
            out.push_back({kFolders[(where >> 2) & 7], "Bank " + std::to_string(out.size()), kExtensions[where & 3],
                           at + 1, size_t(next - at - 1)});
        }
        at = next + (next < end ? sizeof kMarker - 1 : 0);
    }
    return out;
}

void makeFolders(const std::string& root, const std::string& folder)
{
    for (size_t cut = 0; cut != std::string::npos;) {
        cut = folder.find('/', cut + 1);
        ::mkdir((root + "/" + folder.substr(0, cut)).c_str(), 0755);
    }
}

// The bank a file's bytes make, read as the scan reads them.
void readBank(PatchLibrarian& lib, const std::string& path, bool midi, PatchFile& bank)
{
    const std::vector<uint8_t> bytes = testsupport::readFile(path);
    lib.loadFromChunk(bytes.data(), static_cast<int>(bytes.size()), &bank, midi ? 1 : 0);
}

// A file a split wrote ("<stem> Singles 2.syx", "<stem> Multis.mid", "<stem> Patterns 3.qor")
// against the entries of its kind that its source holds at its bank's place.
void checkWrittenBank(PatchLibrarian& lib, const std::string& folder, const std::string& name, const Record& source,
                      const std::string& convertedFolder, std::unique_ptr<PatchFile>& sourceBank)
{
    static const struct {
        const char* word;
        int kind;
        int firstNumber; // the number the name carries for bank index -1 (0: none)
    } kWords[] = {{" Singles ", kPatchFilePrograms, 1}, {" Multis", kPatchFilePerformances, 0},
                  {" Patterns", kPatchFilePatterns, 0}};
    const std::string ext = PatchLibrarianText::lowered(source.extension);
    for (const auto& w : kWords) {
        const std::string head = source.stem + w.word;
        if (name.compare(0, head.size(), head) != 0) continue;
        std::string rest = name.substr(head.size());
        if (rest.size() < ext.size() + 1 || rest.compare(rest.size() - ext.size(), ext.size(), ext) != 0) return;
        rest.resize(rest.size() - ext.size() - 1);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        int bankIndex = -1;
        if (!rest.empty()) {
            if (rest.find_first_not_of("0123456789") != std::string::npos || rest.size() > 3) return;
            bankIndex = std::atoi(rest.c_str()) - 2;
        } else if (w.firstNumber != 0) {
            return;
        }
        if (!sourceBank) { // read once for all the banks cut from it
            sourceBank.reset(new PatchFile);
            readBank(lib, convertedFolder + source.stem + "." + source.extension, ext == "mid", *sourceBank);
        }
        PatchFile got;
        readBank(lib, folder + "/" + name, ext == "mid", got);
        PatchFile expected;
        expected.kind = w.kind;
        expected.modelCode = sourceBank->modelCode;
        size_t seen = 0;
        const size_t first = size_t(bankIndex + 1) * PatchFile::kBankSize;
        for (const LibrarianPatch& entry : sourceBank->patches) {
            if (entry.messages.empty() || entry.messages.front().bytes.size() <= SysexFamily::kTypeAt ||
                SysexFamily::kindOfType(entry.messages.front().bytes[SysexFamily::kTypeAt]) != w.kind)
                continue;
            if (seen >= first && seen < first + PatchFile::kBankSize) expected.patches.push_back(entry);
            ++seen;
        }
        if (expected.patches.empty()) fail("a bank file written for entries its source lacks");
        lib.fillUncompletedBankFiles(&expected);
        expected.patches.resize(PatchFile::kBankSize);
        if (const char* fault = bankfuzz::roundTripFault(expected, got)) fail(fault);
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 128 * 1024) return 0;
    const std::vector<Record> records = recordsOf(data, size);
    if (records.empty()) return 0;

    // Splits write through the safe writer, which syncs every file: in memory that costs nothing.
    static const std::string parent = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    testsupport::TempDir dataFolder("qor_scan_fuzz", parent);
    // setenv would keep every earlier value alive, and an input that allocates more than it frees
    // makes libFuzzer look for leaks after it: the variable's one entry is rewritten instead.
    static char variable[512];
    std::snprintf(variable, sizeof variable, "QOR_DATA_FOLDER=%s", dataFolder.path.c_str());
    ::putenv(variable);
    const std::string root = DataFolder::getPatchesFolderStr();
    ::mkdir(root.c_str(), 0755);
    std::vector<std::string> inputNames;
    for (const Record& r : records) {
        makeFolders(root, r.folder);
        const std::string folder = r.folder.empty() ? root : root + "/" + r.folder;
        inputNames.push_back(folder + "/" + r.stem + "." + r.extension);
        testsupport::writeFile(inputNames.back(), std::vector<uint8_t>(r.data, r.data + r.size));
    }

    PatchLibrarian lib;
    lib.loadPatchesFromFilesystem(root);
    // Every listed bank shows 128 slots; a category bank holds 1 to 128 entries.
    for (const auto* list : {&lib.singleFiles, &lib.multiFiles, &lib.patternFiles})
        for (const PatchFile* bank : *list)
            if (bank->patches.size() != size_t(PatchFile::kBankSize)) fail("a listed bank without 128 slots");
    for (const PatchFile* bank : lib.categoryFiles)
        if (bank->patches.empty() || bank->patches.size() > size_t(PatchFile::kBankSize))
            fail("a category bank of no entries or more than 128");

    // Every file the scan wrote, in every folder the library has.
    PatchLibrarian reader;
    const std::string converted = PatchLibrarian::convertedBanksFolder();
    std::vector<std::unique_ptr<PatchFile>> sources(records.size());
    for (const std::string& folder : lib.folderPaths) {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(folder.c_str())) {
            while (dirent* e = ::readdir(d))
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            ::closedir(d);
        }
        for (const std::string& name : names)
            for (size_t i = 0; i < records.size(); ++i)
                if (name.compare(0, records[i].stem.size() + 1, records[i].stem + " ") == 0)
                    checkWrittenBank(reader, folder, name, records[i], converted, sources[i]);
    }
    lib.releaseRetiredBanks();
    return 0;
}
