// Scanning a generated library folder: load order, sizes and extensions, folders, splitting,
// converted sources, links, log lines, and what the scan does when the disk says no.
#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "librarian_support.h"

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
    file("A/a1.syx", rawPrograms(128, 0x20, 1));
    file("A/B/ab.MID", bankgen::midiFile(bankgen::messagesOf(bankgen::makeBank(Kind::Programs, 0x21, 100, 2))));
    file("A/X/ax.syx", rawPrograms(128, 0x20, 3));
    file("B/X/bx.syx", rawPrograms(128, 0x20, 4));
    file("A/B/C/deep.syx", rawPrograms(128, 0x20, 5));
    file("b.syx", rawPrograms(128, 0x20, 6));
    file("Bank.SYX", rawPrograms(128));
    file("notes.txt", rawPrograms(128));
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
    lines.resize(loaded.size());
    for (size_t i = 0; i < loaded.size(); ++i) EXPECT_EQ(lines[i], "PATCH LIBRARIAN: loading file " + root + "/" + loaded[i]);
    EXPECT_EQ(fileNames(lib.singleFiles), (std::vector<std::string>{"deep.syx", "ab.MID", "ax.syx", "a1.syx", "bx.syx", "Bank.SYX", "at.Qor", "b.syx"}));
    EXPECT_EQ(lib.singleFiles[6]->patches.at(84).name, "Init Program    ");
    EXPECT_EQ(lib.singleFiles[0]->folderNames, (std::vector<std::string>{"Patches", "A", "B", "C"}));
    EXPECT_EQ(lib.singleFiles[0]->folderName, "C");
    EXPECT_EQ(treeText(lib.singleFolders), "[][ {A=a1.syx <B=ab.MID>}][ {A=a1.syx <X=ax.syx,bx.syx>}][Patches=Bank.SYX,at.Qor,b.syx]");
    EXPECT_EQ(treeText(lib.multiFolders), "[ {Multis=perf.syx}]");
    EXPECT_EQ(treeText(lib.patternFolders), "[ {Multis=pat.syx}]");
    EXPECT_FALSE(lib.categoryNames.empty());
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
    EXPECT_FALSE(categoryBanks.empty());
    EXPECT_EQ(std::adjacent_find(categoryBanks.begin(), categoryBanks.end()), categoryBanks.end());
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

// Links to folders are not followed, dangling links are skipped, and a file without entries
// reaches the tree as an empty bank but no list.
TEST_F(Library, LinksAndFilesWithoutEntriesAreLeftOutOfTheLists)
{
    folder("A");
    file("A/a.syx", rawPrograms(128));
    file("noise.syx", Bytes(30000, 0x11));
    ASSERT_EQ(symlink((root + "/A").c_str(), (root + "/LinkToA").c_str()), 0);
    ASSERT_EQ(symlink((root + "/nowhere.syx").c_str(), (root + "/dangling.syx").c_str()), 0);
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(lib.folderPaths, (std::vector<std::string>{root + "/A", root}));
    EXPECT_EQ(fileNames(lib.singleFiles), std::vector<std::string>{"a.syx"});
    EXPECT_EQ(treeText(lib.singleFolders), "[ {A=a.syx}][Patches=noise.syx]");
    EXPECT_TRUE(lib.singleFolders.at(1)->files.at(0)->patches.empty());
    EXPECT_TRUE(logged("PATCH LIBRARIAN: skipped " + root + "/dangling.syx"));
}

TEST_F(Library, MissingRootIsLoggedAndLeavesTheLibraryAsItWas)
{
    lib.folderPaths = {"kept"};
    lib.loadPatchesFromFilesystem(root + "/missing");
    EXPECT_EQ(lib.folderPaths, std::vector<std::string>{"kept"});
    EXPECT_EQ(logLines(), std::vector<std::string>{"PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER..."});
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
