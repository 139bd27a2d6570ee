// Scanning a generated library folder (load order, sizes and extensions, folders, splitting,
// converted sources, log lines, a disk that says no) and saving the upper pane's bank.
#include "librarian_support.h"
#include "Project_Source/src/QOR.h"

#include <algorithm>
#include <memory>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace libtest;

namespace {

class Library : public LibraryFolder {
protected:
    void folder(const std::string& rel) const { mkdir((root + "/" + rel).c_str(), 0755); }
    bool exists(const std::string& rel) const { return access((root + "/" + rel).c_str(), F_OK) == 0; }
    Bytes converted(const std::string& name) const { return bankgen::readFile(data + "/Converted Banks/" + name); }
    long loads(const std::string& rel) const
    {
        std::vector<std::string> lines = logLines();
        return std::count(lines.begin(), lines.end(), "PATCH LIBRARIAN: loading file " + root + "/" + rel);
    }
};

} // namespace

// Deepest folders first, names in byte order, extensions without regard to case, files of 25001
// bytes and more.
TEST_F(Library, GeneratedLibraryGivesTheTreesAndListsOfItsFolders)
{
    for (const char* f : {"A", "A/B", "A/X", "B", "B/X", "A/B/C", "Multis"}) folder(f);
    const std::pair<const char*, uint32_t> programs[] = {{"A/a1.syx", 1}, {"A/X/ax.syx", 3}, {"B/X/bx.syx", 4}, {"A/B/C/deep.syx", 5},
                                                        {"b.syx", 6}, {"Bank.SYX", 1}, {"notes.txt", 1}};
    for (auto [name, seed] : programs) file(name, rawPrograms(128, 0x20, seed));
    file("A/B/ab.MID", bankgen::midiFile(bankgen::messagesOf(bankgen::makeBank(Kind::Programs, 0x21, 100, 2))));
    for (size_t size : {25000u, 25001u}) { // 84 programs are 24948 bytes
        Bytes padded = rawPrograms(84, 0x21, 4);
        padded.resize(size, 0x7E);
        file(size == 25000 ? "under.qor" : "at.Qor", padded);
    }
    file("Multis/perf.syx", rawBank(Kind::Performances, 0x20, 128, 7));
    file("Multis/pat.syx", rawBank(Kind::Patterns, 0x20, 128, 8));
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(lib.folderPaths, (std::vector<std::string>{root + "/A/B/C", root + "/A/B", root + "/A/X", root + "/A",
                                                         root + "/B/X", root + "/B", root + "/Multis", root}));
    const std::vector<std::string> loaded = {"A/B/C/deep.syx", "A/B/ab.MID", "A/X/ax.syx", "A/a1.syx", "B/X/bx.syx",
                                             "Multis/pat.syx", "Multis/perf.syx", "Bank.SYX", "at.Qor", "b.syx"};
    std::vector<std::string> lines = logLines();
    for (size_t i = 0; i < loaded.size(); ++i) EXPECT_EQ(lines.at(i), "PATCH LIBRARIAN: loading file " + root + "/" + loaded[i]);
    EXPECT_EQ(fileNames(lib.singleFiles), (std::vector<std::string>{"deep.syx", "ab.MID", "ax.syx", "a1.syx", "bx.syx", "Bank.SYX", "at.Qor", "b.syx"}));
    EXPECT_EQ(lib.singleFiles[6]->patches.at(84).name, "Init Program    ");
    EXPECT_EQ(lib.singleFiles[0]->folderNames, (std::vector<std::string>{"Patches", "A", "B", "C"}));
    EXPECT_EQ(lib.singleFiles[0]->folderName, "C");
    EXPECT_EQ(treeText(lib.singleFolders), "[][ {A=a1.syx <B=ab.MID>}][ {A=a1.syx <X=ax.syx,bx.syx>}][Patches=Bank.SYX,at.Qor,b.syx]");
    EXPECT_EQ(treeText(lib.multiFolders), "[ {Multis=perf.syx}]");
    EXPECT_EQ(treeText(lib.patternFolders), "[ {Multis=pat.syx}]");
    EXPECT_FALSE(lib.categoryNames.empty());
}

// Only regular files are opened: a pipe named like a bank file would hold the scan up, and a
// folder named like one is a folder; a link to a bank file loads as the file does.
TEST_F(Library, PipesAndFoldersNamedLikeBankFilesAreNotReadAndLinksAreFollowed)
{
    folder("Folder.syx");
    file("Folder.syx/inside.syx", rawPrograms(128, 0x20, 2));
    file("real.syx", rawPrograms(128, 0x20, 3));
    ASSERT_EQ(symlink((root + "/real.syx").c_str(), (root + "/link.syx").c_str()), 0);
    ASSERT_EQ(mkfifo((root + "/pipe.syx").c_str(), 0644), 0);
    lib.loadPatchesFromFilesystem(root);
    ASSERT_EQ(fileNames(lib.singleFiles), (std::vector<std::string>{"inside.syx", "link.syx", "real.syx"}));
    EXPECT_EQ(lib.singleFiles[1]->patches.at(5).name, lib.singleFiles[2]->patches.at(5).name);
    EXPECT_EQ(loads("pipe.syx"), 0);
}

TEST_F(Library, ThreeHundredProgramsBecomeThreeBanksUnderFreeNamesAndTheSourceMovesOut)
{
    const Bytes mine = {'m', 'i', 'n', 'e'};
    file("Big Singles 2.syx", mine);
    mkdir((data + "/Converted Banks").c_str(), 0755);
    bankgen::writeFile(data + "/Converted Banks/Big.syx", mine);
    file("Big.syx", rawPrograms(300, 0x20, 9));
    lib.loadPatchesFromFilesystem(root);
    EXPECT_FALSE(exists("Big.syx"));
    EXPECT_EQ(read("Big Singles 2.syx"), mine);
    EXPECT_EQ(converted("Big.syx"), mine);
    EXPECT_EQ(converted("Big (2).syx"), rawPrograms(300, 0x20, 9));
    EXPECT_EQ(fileNames(lib.singleFiles), (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2 (2).syx", "Big Singles 3.syx"}));
    // The categories are built once, by the rescan.
    std::vector<std::string> categoryBanks = fileNames(lib.categoryFiles);
    std::sort(categoryBanks.begin(), categoryBanks.end());
    EXPECT_TRUE(!categoryBanks.empty() && std::adjacent_find(categoryBanks.begin(), categoryBanks.end()) == categoryBanks.end());
    EXPECT_TRUE(logged("PATCH LIBRARIAN: moved file " + data + "/Converted Banks/ due to mismatching data in package!"));
}

TEST_F(Library, FailedMoveTakesBackTheWrittenBanksAndTheNextStartSplitsAfresh)
{
    // A file where the converted folder should be: the folder cannot be made, the move fails.
    bankgen::writeFile(data + "/Converted Banks", Bytes{1});
    file("Big.syx", rawPrograms(200, 0x20, 9));
    file("Small.syx", rawPrograms(128, 0x20, 10));
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(read("Big.syx"), rawPrograms(200, 0x20, 9));
    EXPECT_FALSE(exists("Big Singles 1.syx") || exists("Big Singles 2.syx"));
    EXPECT_EQ(fileNames(lib.singleFiles), std::vector<std::string>{"Small.syx"});
    // One scan and the one rescan that drops the taken-back banks; a later rescan does not try the
    // same source again.
    EXPECT_EQ(loads("Small.syx"), 2);
    EXPECT_EQ(loads("Big.syx"), 1);
    lib.initBankFilesOnDiscard(root);
    EXPECT_EQ(fileNames(lib.singleFiles), std::vector<std::string>{"Small.syx"});
    EXPECT_EQ(loads("Big.syx"), 1);
    EXPECT_TRUE(logged("PATCH LIBRARIAN: could not move file"));
    // Once the folder can be made, the next start splits the source once, under the first names.
    std::remove((data + "/Converted Banks").c_str());
    PatchLibrarian next;
    next.loadPatchesFromFilesystem(root);
    EXPECT_EQ(fileNames(next.singleFiles), (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2.syx", "Small.syx"}));
    EXPECT_EQ(converted("Big.syx"), rawPrograms(200, 0x20, 9));
}

TEST_F(Library, FailedSplitWriteKeepsTheSourceAndLeavesNoPartialBanks)
{
    file("Big.syx", rawPrograms(300, 0x20, 9));
    {
        // The 38016-byte banks cannot be written, the log can.
        bankgen::FileSizeLimit limit(30000);
        lib.loadPatchesFromFilesystem(root);
    }
    EXPECT_EQ(read("Big.syx"), rawPrograms(300, 0x20, 9));
    EXPECT_TRUE(lib.singleFiles.empty());
    EXPECT_FALSE(exists("Big Singles 1.syx"));
    EXPECT_TRUE(logged("PATCH LIBRARIAN: could not write bank file " + root + "/Big Singles 1.syx"));
    EXPECT_TRUE(logged("PATCH LIBRARIAN: could not split file " + root + "/Big.syx; it stays in place"));
}

TEST_F(Library, BanksDroppedByARescanStayReadableUntilReleased)
{
    file("a.syx", rawPrograms(128));
    file("noise.syx", Bytes(30000, 0x11));
    lib.loadPatchesFromFilesystem(root);
    const PatchFile* before = lib.singleFiles.at(0);
    const Bytes firstMessage = before->patches.at(0).messages.at(0).bytes;
    const size_t categoryBanks = lib.categoryFiles.size();
    // A search retires nothing that a list or a tree still shows; 128 matches made two result
    // banks, the second empty, and the next search retires both.
    lib.createNewSearchPatchFiles("Gen");
    EXPECT_EQ(lib.retiredBankCount(), 0u);
    lib.createNewSearchPatchFiles("GenProg 00");
    EXPECT_EQ(lib.retiredBankCount(), 2u);
    // The rescan empties the search banks and rebuilds everything else once.
    lib.initBankFilesOnDiscard(root);
    EXPECT_TRUE(lib.searchFiles.empty() && lib.searchFolders.empty());
    EXPECT_EQ(lib.singleFiles.size() + lib.singleFolders.size(), 2u);
    EXPECT_EQ(lib.categoryFiles.size(), categoryBanks);
    EXPECT_NE(lib.singleFiles.at(0), before);
    // A worker job holding an entry of the old bank still reads it.
    EXPECT_EQ(before->patches.at(0).messages.at(0).bytes, firstMessage);
    EXPECT_GT(lib.retiredBankCount(), 2u);
    lib.releaseRetiredBanks();
    EXPECT_EQ(lib.retiredBankCount(), 0u);
    EXPECT_EQ(lib.singleFiles.at(0)->patches.at(0).messages.at(0).bytes, firstMessage);
    EXPECT_TRUE(lib.singleFolders.at(0)->files.at(1)->patches.empty());
}

namespace {

class Saving : public LibraryFolder {
protected:
    // The controller whose remembered names a save writes, over a data folder of its own.
    void SetUp() override
    {
        setenv("QOR_DATA_FOLDER", ownerData.path.c_str(), 1);
        testing::internal::CaptureStdout();
        owner = std::make_unique<QOR>(IPluginInstanceInfo());
        testing::internal::GetCapturedStdout();
        LibraryFolder::SetUp();
        lib.owner = owner.get();
    }
    bankgen::TempDir ownerData;
    std::unique_ptr<QOR> owner;

    // Puts a bank of count entries read from generated bytes into the upper pane.
    PatchFile* upper(Kind kind, int count, uint8_t model = 0x20)
    {
        PatchFile* bank = lib.adoptBank(new PatchFile(readGenerated(kind, model, count, 12)));
        bank->fileName = "Mine.syx";
        auto& list = kind == Kind::Programs ? lib.singleFiles : kind == Kind::Performances ? lib.multiFiles : lib.patternFiles;
        list.push_back(bank);
        lib.currentKind = int(kind);
        lib.upperFileIndex = int(list.size() - 1);
        owner->performanceMode = kind == Kind::Performances;
        owner->patternMode = kind == Kind::Patterns;
        return bank;
    }
};

} // namespace

// The layout follows the name's extension, compared without regard to case; a bank of more than
// 128 entries writes its first 128.
TEST_F(Saving, OverwriteWritesTheLayoutOfTheNamesExtensionAndRemembersTheRealFileName)
{
    const struct {
        Kind kind;
        int count;
        const char* name;
        size_t size;
        uint8_t first;
        std::string QOR::*remembered;
    } cases[] = {{Kind::Programs, 100, "Mine.syx", 100u * 297, 0xF0, &QOR::upperProgramFileName},
                 {Kind::Programs, 128, "Loud.MID", 38580u, 'M', &QOR::upperProgramFileName},
                 {Kind::Performances, 130, "Perf.mid", 49u + 4 + 382 + 127u * (5 + 382) + 4, 'M', &QOR::upperPerformanceFileName}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        upper(c.kind, c.count);
        ASSERT_TRUE(lib.saveEditedPatch(root + "/" + c.name, c.name));
        EXPECT_EQ(owner.get()->*c.remembered, c.name);
        EXPECT_EQ(std::make_pair(read(c.name).size(), read(c.name).at(0)), std::make_pair(c.size, c.first));
    }
}

TEST_F(Saving, FailedOverwriteKeepsTheOriginalAndIsReported)
{
    upper(Kind::Programs, 128);
    const Bytes original(1000, 0x33);
    file("Keep.syx", original);
    {
        bankgen::FileSizeLimit limit(2000);
        EXPECT_FALSE(lib.saveEditedPatch(root + "/Keep.syx", "Keep.syx"));
    }
    EXPECT_TRUE(read("Keep.syx") == original && owner->upperProgramFileName.empty());
    EXPECT_TRUE(logged("PATCH LIBRARIAN: could not save bank " + root + "/Keep.syx"));
}

// What the dialog answers, what was there before, and what Save As writes and remembers. A name
// without extension gets the encoding's own but never replaces the file that name would reach.
TEST_F(Saving, SaveAsWritesWhereTheDialogAnswersAndRemembersTheRealName)
{
    mkdir((root + "/Sub").c_str(), 0755);
    const Bytes other = {'o', 't', 'h', 'e', 'r'};
    const struct {
        Kind kind;
        const char* answer; // "" : cancelled
        bool midi;
        const char* before; // a file already there, holding other
        bool ok;
        const char *remembered, *folder, *written;
        size_t size;
    } cases[] = {{Kind::Programs, "", true, "", false, "", "", "", 0},
                 {Kind::Programs, "Gone/Bank.mid", true, "", false, "", "", "", 0},
                 {Kind::Patterns, "Sub/Arps.MID", true, "", true, "Arps.MID", "Sub", "Sub/Arps.MID", 49u + 4 + 219 + 9 * 224 + 4},
                 {Kind::Programs, "Plain", false, "Plain.qor", true, "Plain (2).qor", "Patches", "Plain (2).qor", 128u * 297},
                 {Kind::Programs, "Chosen.syx", false, "Chosen.syx", true, "Chosen.syx", "Patches", "Chosen.syx", 128u * 297}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        PatchLibrarian fresh;
        std::swap(lib.logFilePath, fresh.logFilePath);
        upper(c.kind, c.kind == Kind::Patterns ? 10 : 128, 0x21);
        if (*c.before) file(c.before, other);
        std::string suggested, extension;
        lib.promptForFile = [&](const std::string& s, std::string& folder, const std::string& ext) {
            suggested = s, extension = ext;
            EXPECT_EQ(folder, root);
            return *c.answer ? root + "/" + c.answer : std::string();
        };
        EXPECT_EQ(lib.savePatchAs("Bank", root, c.midi), c.ok);
        EXPECT_EQ(suggested, "Bank");
        EXPECT_TRUE(!c.midi || extension == "mid") << extension;
        std::string QOR::*names[2][2] = {{&QOR::upperProgramFileName, &QOR::upperProgramFolderName},
                                         {&QOR::upperPatternFileName, &QOR::upperPatternFolderName}};
        const int k = c.kind == Kind::Patterns;
        QOR& q = *owner;
        EXPECT_EQ(q.*names[k][0] + "|" + q.*names[k][1], std::string(c.remembered) + "|" + c.folder);
        q.*names[k][0] = q.*names[k][1] = "";
        EXPECT_EQ(*c.before && std::string(c.before) != c.written ? read(c.before) : other, other);
        EXPECT_EQ(*c.written ? read(c.written).size() : 0u, c.size);
    }
    EXPECT_NE(access((root + "/Gone").c_str(), F_OK), 0);
}
