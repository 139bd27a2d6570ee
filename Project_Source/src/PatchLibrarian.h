#pragma once
// The one librarian object of a plug-in instance: bank lists and folder trees per kind, the
// category names met in program banks, and the selections of the librarian's two panes.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FolderFiles.h"
#include "LibrarianPatch.h"
#include "PatchFile.h"

class ByteChunk;
struct stat;
class QOR;
namespace Poco {
class File;
class Path;
} // namespace Poco

// Removes every occurrence of each character of chars from text.
void removeCharsFromString(std::string& text, const char* chars);

class PatchLibrarian {
public:
    // Bank files above this size are not read: it keeps every slot and message count in range.
    static constexpr int kMaxBankFileBytes = 16 * 1024 * 1024;

    explicit PatchLibrarian(QOR* owner = nullptr);
    ~PatchLibrarian();
    PatchLibrarian(const PatchLibrarian&) = delete;
    PatchLibrarian& operator=(const PatchLibrarian&) = delete;

    int32_t upperFileIndex = 0;
    int32_t lowerFileIndex = 0;
    int32_t splitBankCount = 0;
    int32_t currentKind = kPatchFilePrograms;
    uint8_t rescanAfterSplit = 0;
    uint8_t readMismatch = 0;
    uint8_t fileWasSplit = 0;
    std::stringstream logStream;
    QOR* owner = nullptr;
    int32_t upperSlot = 0;
    int32_t lowerSlot = 0;
    int32_t dropSlot = 0;
    std::vector<std::string> folderPaths;
    std::vector<PatchFile*> singleFiles;
    std::vector<PatchFile*> patternFiles;
    std::vector<PatchFile*> multiFiles;
    std::vector<PatchFile*> searchFiles;
    std::vector<PatchFile*> categoryFiles;
    std::vector<FolderFiles*> singleFolders;
    std::vector<FolderFiles*> multiFolders;
    std::vector<FolderFiles*> patternFolders;
    std::vector<FolderFiles*> searchFolders;
    std::vector<FolderFiles*> categoryFolders;
    std::vector<std::string> categoryNames;

    // The owner's log switch and log file path, until the controller hands them over itself.
    bool logEnabled = false;
    std::string logFilePath;

    // The one lock of the library: its lists, trees, banks and pane selections. Whoever changes
    // them, or reads them from a thread other than the one that changes them, holds it; it is
    // recursive, since a rescan writes and logs under it.
    mutable std::recursive_mutex mLock;

    // Copies a received entry over the upper pane's slot upperSlot, the bank brought to exactly
    // 128 entries first. No bank there (or a slot outside the bank) drops the entry with a log
    // line. True when the entry was stored.
    bool setSysexDatatoSelectedSlot(LibrarianPatch* received);
    // The upper pane's bank when the librarian works on entries of kind (0 programs,
    // 1 performances, 2 patterns); null when it works on another kind or shows no bank. Use the
    // bank under mLock.
    PatchFile* upperBankOf(int kind) const;

    // Frees one folder tree: 0 singles, 1 multis, 2 categories, 3 search results, 4 patterns.
    // The banks the nodes point to are left alone; any other value does nothing.
    void clearDataStructures(int which);

    // Takes ownership of a bank that lists and trees will point to.
    PatchFile* adoptBank(PatchFile* bank);
    // A rescan or a new search drops banks from the lists, but a worker job may still read one of
    // their entries: dropped banks are only retired, and freed here, which the controller calls
    // while no worker job runs.
    void releaseRetiredBanks();
    size_t retiredBankCount() const { return retiredBanks.size(); }

    // ---- Bank file reader -------------------------------------------------------------------
    // Reads every message of a bank file's bytes into bank, then collects its category names.
    // mode is 1 for a ".mid" file, 0 otherwise; the content decides how it is read.
    void loadFromChunk(const uint8_t* data, int size, PatchFile* bank, int mode);
    // The same for a whole file read into a chunk; size never reaches past the chunk's bytes.
    void loadFromChunk(ByteChunk* chunk, int size, PatchFile* bank, int mode);
    // Reads and stores the next message at or after pos. Returns the position reached, or -1
    // when the data is exhausted. counter is the running message counter, messageIndex the
    // message's index within its entry.
    int readMIDIMessage(const uint8_t* data, int size, int& pos, PatchFile* bank, int,
                        int counter, int messageIndex);
    // Moves pos past the next byte equal to value; pos becomes -1 when there is none.
    static bool findByte(const uint8_t* data, int size, int& pos, int value);

    // ---- Categories -------------------------------------------------------------------------
    // Appends the categories of a program bank not yet listed (compared without letter case).
    void createCategories(PatchFile* file);

    // ---- Bank filling -----------------------------------------------------------------------
    // Appends init entries of the bank's kind and model code until it holds 128 entries.
    void fillUncompletedBankFiles(PatchFile* bank);
    // The init entry of a kind and model code, as the filling adds it.
    static LibrarianPatch initEntry(int kind, int modelCode);

    // ---- Bank writer ------------------------------------------------------------------------
    enum class SplitResult { Nothing, Written, Failed };
    // Writes bank bankIndex + 1 of the entries of one kind of source as a new bank file beside
    // sourcePath, named after the source with a bank number, and lists it. An existing file is
    // never overwritten: the next free name is taken. splitBankCount is set to the number of
    // whole banks of that kind. A failed write is logged, leaves no partial file and lists
    // nothing.
    SplitResult createNewPatchFile(PatchFile* source, std::string folderName,
                                   std::string sourceFileName, std::string extension,
                                   std::string sourcePath, int, int bankIndex, bool midi,
                                   bool multi, bool pattern, bool);
    // The path of the last file createNewPatchFile wrote.
    std::string lastWrittenPath;

    // ---- Library scan -----------------------------------------------------------------------
    // Smallest bank file the scan loads; single-program files stay out of the library.
    static constexpr uint64_t kMinBankFileBytes = 25001;
    // Loads every bank file below root (the library folder "Patches"), splits files of more than
    // one bank, files each bank into its list and tree, then builds the category banks.
    void loadPatchesFromFilesystem(std::string root);
    // Appends every folder below folder, deepest first within each branch, in name order.
    // Links to folders are not followed.
    void buildFolderStructure(std::string const& folder, std::vector<std::string>* paths);
    // Loads one bank file; null when the file was split into bank files (or could not be).
    PatchFile* parseFolderFiles(Poco::File file, Poco::Path path, int depth, int, int, std::string extension);
    // Drops every list, tree and category name and scans the library again.
    void initBankFilesOnDiscard(std::string root);
    // Where split sources go: the data folder followed by "Converted Banks/".
    static std::string convertedBanksFolder();

    // ---- Folder trees -----------------------------------------------------------------------
    void createSingleFolderFilesStructure(PatchFile* file);
    void createMultiFolderFilesStructure(PatchFile* file);
    void createPatternFolderFilesStructure(PatchFile* file);

    // ---- Derived banks ----------------------------------------------------------------------
    // One set of banks per category name met (the first name met gets none).
    void createNewCategoryPatchFiles();
    // Banks of every program entry whose name contains text, compared byte for byte.
    void createNewSearchPatchFiles(std::string text);

    // ---- Sibling formats --------------------------------------------------------------------
    void alterPatchFromQuarnelFormat(PatchSysexMessage* message);
    void alterPatchFromStrovaneFormat(PatchSysexMessage* message);
    void alterStrovaneCategoryFormat(PatchSysexMessage* message);

    // ---- Saving the upper pane's bank -------------------------------------------------------
    // A save remembers the file written in the owner's upper pair of its current data type, so
    // that the folder menus find it again; without an owner nothing is remembered.
    // The save dialog: proposed name, start folder (set to the chosen folder) and extension;
    // answers the chosen full path, empty when the user cancels. Unset, it answers empty.
    std::function<std::string(const std::string& suggested, std::string& folder, const std::string& extension)> promptForFile;

    // Writes the upper pane's bank over the file at path. False, with a log line, when there is
    // no such bank or the file cannot be written; the old file then stays whole.
    bool saveEditedPatch(std::string path, std::string name);
    // Asks for a file and writes the upper pane's bank there: a Standard MIDI File when midi,
    // else raw SysEx. False when nothing was written; failed, when given, then tells a save that
    // failed (no bank, or a file chosen but not written) from one the user cancelled.
    bool savePatchAs(char const* suggestedName, std::string startFolder, bool midi, bool* failed = nullptr);
    // The bank the upper pane shows, or null.
    PatchFile* upperBank() const;

    void log(const std::string& text);

private:
    std::vector<std::unique_ptr<PatchFile>> ownedBanks;
    std::vector<std::unique_ptr<PatchFile>> retiredBanks;
    // Moves the owned banks that no list names any more to the retired ones.
    void retireUnlistedBanks();
    // Sources whose split or move failed: they are not split again while this librarian lives,
    // so a failed move can never start another rescan.
    std::set<std::string> unsplittableSources;
    int rescanDepth = 0;
    // A folder entry's name and the type its folder listing gives (DT_UNKNOWN when it does not).
    struct FolderEntry {
        std::string name;
        unsigned char type;
    };
    // The entries of a folder in name order, without "." and "..".
    static std::vector<FolderEntry> sortedEntries(const std::string& folder);
    // buildFolderStructure, keeping each folder's listing (when listings is given) in the order
    // of the paths, every folder's own listing after those of the folders below it.
    void walkFolders(const std::string& folder, std::vector<std::string>* paths,
                     std::vector<std::vector<FolderEntry>>* listings);
    // parseFolderFiles for a file the scan has already opened (fd, taken over; -1: open it here)
    // and, when measured is given, measured.
    PatchFile* loadBankFile(const Poco::Path& path, int depth, const std::string& extension, int fd,
                            const struct stat* measured);
    // Where the reader's current run of entries of one kind began in the bank it fills: its
    // first slot and the message counter at its first message.
    struct EntryRun {
        const PatchFile* bank = nullptr;
        int kind = -1;
        int perEntry = 1;
        int slotBase = 0;
        int counterBase = 0;
        bool restarted = false;
    };
    EntryRun mEntryRun;
    // Reused by the reader for dumps that a MIDI file carries in several packets.
    std::vector<uint8_t> packetScratch;
    // Stores the messages of the file being read one after another into shared blocks.
    SysexBytes::Writer messageWriter;
    static constexpr size_t kMaxMessageBlock = 256 * 1024;
    // Reused by the scan for the bytes of each bank file.
    std::vector<uint8_t> fileBuffer;
};
