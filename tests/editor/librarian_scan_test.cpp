// Scanning a generated library folder: load order, sizes and extensions, folders, splitting,
// converted sources, links, log lines, and what the scan does when the disk says no.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "support/bankgen.h"

using bankgen::Bytes;
using bankgen::Kind;

namespace {

class Library : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = tmp.path;
        setenv("QOR_DATA_FOLDER", data.c_str(), 1);
        root = DataFolder::getPatchesFolderStr();
        mkdir(root.c_str(), 0755);
        lib.logEnabled = true;
        lib.logFilePath = data + "/log.txt";
        bankgen::writeFile(lib.logFilePath, Bytes{});
    }

    void folder(const std::string& rel) { mkdir((root + "/" + rel).c_str(), 0755); }
    void file(const std::string& rel, const Bytes& bytes) { bankgen::writeFile(root + "/" + rel, bytes); }
    static Bytes programs(int count, uint8_t model = 0x20, uint32_t seed = 1)
    {
        return bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(Kind::Programs, model, count, seed)));
    }
    std::vector<std::string> logLines() const { return bankgen::logTexts(lib.logFilePath); }
    static std::vector<std::string> names(const std::vector<PatchFile*>& banks)
    {
        std::vector<std::string> out;
        for (const PatchFile* b : banks) out.push_back(b->fileName);
        return out;
    }

    bankgen::TempDir tmp;
    std::string data;
    std::string root;
    PatchLibrarian lib;
};

} // namespace

TEST_F(Library, FilesOfAFolderLoadInByteOrderOfTheirNames)
{
    file("b.syx", programs(128, 0x20, 1));
    file("A.syx", programs(128, 0x20, 2));
    file("a.mid", bankgen::midiFile(bankgen::messagesOf(bankgen::makeBank(Kind::Programs, 0x20, 128, 3))));
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(names(lib.singleFiles), (std::vector<std::string>{"A.syx", "a.mid", "b.syx"}));
    std::vector<std::string> lines = logLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "PATCH LIBRARIAN: loading file " + root + "/A.syx");
    EXPECT_EQ(lines[1], "PATCH LIBRARIAN: loading file " + root + "/a.mid");
    EXPECT_EQ(lines[2], "PATCH LIBRARIAN: loading file " + root + "/b.syx");
}

TEST_F(Library, ExtensionsIgnoreCaseAndTheSizeThresholdIs25001Bytes)
{
    file("Bank.SYX", programs(128));
    EXPECT_EQ(programs(128).size(), 38016u);
    // 84 programs are 24948 bytes; blanks after them make files just under and at the threshold.
    Bytes under = programs(84, 0x21, 4);
    under.resize(25000, 0x7E);
    Bytes at = programs(84, 0x21, 5);
    at.resize(25001, 0x7E);
    file("under.qor", under);
    file("at.Qor", at);
    file("notes.txt", programs(128));
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(names(lib.singleFiles), (std::vector<std::string>{"Bank.SYX", "at.Qor"}));
    EXPECT_EQ(lib.singleFiles[1]->patches.size(), 128u);
    EXPECT_EQ(lib.singleFiles[1]->patches[84].name, "Init Program    ");
}

TEST_F(Library, GeneratedLibraryGivesTheTreesAndListsOfItsFolders)
{
    for (const char* f : {"A", "A/B", "A/X", "B", "B/X", "A/B/C", "Multis"}) folder(f);
    file("A/a1.syx", programs(128, 0x20, 1));
    file("A/B/ab.MID", bankgen::midiFile(bankgen::messagesOf(bankgen::makeBank(Kind::Programs, 0x21, 100, 2))));
    file("A/X/ax.syx", programs(128, 0x20, 3));
    file("B/X/bx.syx", programs(128, 0x20, 4));
    file("A/B/C/deep.syx", programs(128, 0x20, 5));
    file("root.syx", programs(128, 0x20, 6));
    file("Multis/perf.syx", bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x20, 128, 7))));
    file("Multis/pat.syx", bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(Kind::Patterns, 0x20, 128, 8))));
    lib.loadPatchesFromFilesystem(root);

    EXPECT_EQ(lib.folderPaths, (std::vector<std::string>{root + "/A/B/C", root + "/A/B", root + "/A/X", root + "/A",
                                                         root + "/B/X", root + "/B", root + "/Multis", root}));
    EXPECT_EQ(names(lib.singleFiles), (std::vector<std::string>{"deep.syx", "ab.MID", "ax.syx", "a1.syx", "bx.syx", "root.syx"}));
    EXPECT_EQ(names(lib.multiFiles), std::vector<std::string>{"perf.syx"});
    EXPECT_EQ(names(lib.patternFiles), std::vector<std::string>{"pat.syx"});
    // A bank is named after its folders from the root.
    EXPECT_EQ(lib.singleFiles[0]->folderNames, (std::vector<std::string>{"Patches", "A", "B", "C"}));
    EXPECT_EQ(lib.singleFiles[0]->folderName, "C");

    // deep.syx (three folders down) opens the tree with an empty top node. A/B and A/X each
    // make a top node holding a node A; a1.syx, filed later, joins both; bx.syx joins the X node
    // made for A/X; root.syx gets the node named "Patches".
    ASSERT_EQ(lib.singleFolders.size(), 4u);
    EXPECT_TRUE(lib.singleFolders[0]->subFolders.empty() && lib.singleFolders[0]->files.empty());
    for (int top : {1, 2}) {
        ASSERT_EQ(lib.singleFolders[top]->subFolders.size(), 1u);
        const SubFolderFiles& a = lib.singleFolders[top]->subFolders[0];
        EXPECT_EQ(a.name, "A");
        EXPECT_EQ(names(a.files), std::vector<std::string>{"a1.syx"});
        ASSERT_EQ(a.subFolders.size(), 1u);
    }
    EXPECT_EQ(lib.singleFolders[1]->subFolders[0].subFolders[0].name, "B");
    EXPECT_EQ(names(lib.singleFolders[1]->subFolders[0].subFolders[0].files), std::vector<std::string>{"ab.MID"});
    EXPECT_EQ(lib.singleFolders[2]->subFolders[0].subFolders[0].name, "X");
    EXPECT_EQ(names(lib.singleFolders[2]->subFolders[0].subFolders[0].files),
              (std::vector<std::string>{"ax.syx", "bx.syx"}));
    EXPECT_EQ(lib.singleFolders[3]->name, "Patches");
    EXPECT_EQ(names(lib.singleFolders[3]->files), std::vector<std::string>{"root.syx"});
    EXPECT_EQ(lib.multiFolders.size(), 1u);
    EXPECT_FALSE(lib.categoryNames.empty());
}

TEST_F(Library, ThreeHundredProgramsBecomeThreeBanksAndTheSourceMovesOut)
{
    file("Big.syx", programs(300, 0x20, 9));
    file("Small.syx", programs(128, 0x20, 10));
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(names(lib.singleFiles), (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2.syx",
                                                                "Big Singles 3.syx", "Small.syx"}));
    EXPECT_EQ(access((root + "/Big.syx").c_str(), F_OK), -1);
    EXPECT_EQ(bankgen::readFile(data + "/Converted Banks/Big.syx"), programs(300, 0x20, 9));
    EXPECT_EQ(lib.singleFiles[2]->patches[44].name, "Init Program    ");
    // The categories are built once, by the rescan.
    std::vector<std::string> categoryBanks = names(lib.categoryFiles);
    std::vector<std::string> unique = categoryBanks;
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    EXPECT_FALSE(categoryBanks.empty());
    EXPECT_EQ(categoryBanks.size(), unique.size());
    EXPECT_TRUE(bankgen::hasLineStarting(
        logLines(), "PATCH LIBRARIAN: moved file " + data + "/Converted Banks/ due to mismatching data in package!"));
}

TEST_F(Library, FilesAlreadyHoldingAnOutputsNameStayUntouched)
{
    const Bytes mine = {'m', 'i', 'n', 'e'};
    file("Big Singles 2.syx", mine);
    mkdir((data + "/Converted Banks").c_str(), 0755);
    bankgen::writeFile(data + "/Converted Banks/Big.syx", mine);
    file("Big.syx", programs(300, 0x20, 9));
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(bankgen::readFile(root + "/Big Singles 2.syx"), mine);
    EXPECT_EQ(bankgen::readFile(data + "/Converted Banks/Big.syx"), mine);
    EXPECT_EQ(bankgen::readFile(data + "/Converted Banks/Big (2).syx"), programs(300, 0x20, 9));
    EXPECT_EQ(names(lib.singleFiles), (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2 (2).syx",
                                                                "Big Singles 3.syx"}));
}

TEST_F(Library, FailedMoveTakesBackTheWrittenBanksAndTheNextStartSplitsAfresh)
{
    // A file where the converted folder should be: the folder cannot be made, the move fails.
    bankgen::writeFile(data + "/Converted Banks", Bytes{1});
    file("Big.syx", programs(200, 0x20, 9));
    file("Small.syx", programs(128, 0x20, 10));
    lib.loadPatchesFromFilesystem(root);
    // The banks written for it are taken back: the source stays and nothing else is listed.
    EXPECT_EQ(bankgen::readFile(root + "/Big.syx"), programs(200, 0x20, 9));
    EXPECT_EQ(access((root + "/Big Singles 1.syx").c_str(), F_OK), -1);
    EXPECT_EQ(access((root + "/Big Singles 2.syx").c_str(), F_OK), -1);
    EXPECT_EQ(names(lib.singleFiles), std::vector<std::string>{"Small.syx"});
    std::vector<std::string> lines = logLines();
    auto loads = [&lines](const std::string& path) {
        return std::count(lines.begin(), lines.end(), "PATCH LIBRARIAN: loading file " + path);
    };
    // One scan and the one rescan that drops the taken-back banks; a later rescan does not try the
    // same source again.
    EXPECT_EQ(loads(root + "/Small.syx"), 2);
    EXPECT_EQ(loads(root + "/Big.syx"), 1);
    lib.initBankFilesOnDiscard(root);
    EXPECT_EQ(names(lib.singleFiles), std::vector<std::string>{"Small.syx"});
    lines = logLines();
    EXPECT_EQ(loads(root + "/Big.syx"), 1);
    EXPECT_TRUE(bankgen::hasLineStarting(lines, "PATCH LIBRARIAN: could not move file"));

    // Once the folder can be made, the next start splits the source once, under the first names.
    std::remove((data + "/Converted Banks").c_str());
    PatchLibrarian next;
    next.loadPatchesFromFilesystem(root);
    EXPECT_EQ(names(next.singleFiles), (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2.syx", "Small.syx"}));
    EXPECT_EQ(bankgen::readFile(data + "/Converted Banks/Big.syx"), programs(200, 0x20, 9));
}

TEST_F(Library, FailedSplitWriteKeepsTheSourceAndLeavesNoPartialBanks)
{
    file("Big.syx", programs(300, 0x20, 9));
    // Files may grow to 30000 bytes only: the 38016-byte banks cannot be written, the log can.
    {
        bankgen::FileSizeLimit limit(30000);
        lib.loadPatchesFromFilesystem(root);
    }
    EXPECT_EQ(bankgen::readFile(root + "/Big.syx"), programs(300, 0x20, 9));
    EXPECT_TRUE(lib.singleFiles.empty());
    EXPECT_TRUE(bankgen::hasLineStarting(logLines(), "PATCH LIBRARIAN: could not split file " + root +
                                                         "/Big.syx; it stays in place"));
}

TEST_F(Library, LinksToFoldersAreNotFollowedAndDanglingLinksAreSkipped)
{
    folder("A");
    file("A/a.syx", programs(128));
    ASSERT_EQ(symlink((root + "/A").c_str(), (root + "/LinkToA").c_str()), 0);
    ASSERT_EQ(symlink((root + "/nowhere.syx").c_str(), (root + "/dangling.syx").c_str()), 0);
    lib.loadPatchesFromFilesystem(root);
    EXPECT_EQ(lib.folderPaths, (std::vector<std::string>{root + "/A", root}));
    EXPECT_EQ(names(lib.singleFiles), std::vector<std::string>{"a.syx"});
    EXPECT_TRUE(bankgen::hasLineStarting(logLines(), "PATCH LIBRARIAN: skipped " + root + "/dangling.syx"));
}

TEST_F(Library, MissingRootIsLoggedAndLeavesTheLibraryAsItWas)
{
    lib.folderPaths = {"kept"};
    lib.loadPatchesFromFilesystem(root + "/missing");
    EXPECT_EQ(lib.folderPaths, std::vector<std::string>{"kept"});
    EXPECT_EQ(logLines(), std::vector<std::string>{"PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER..."});
}

TEST_F(Library, FileWithoutEntriesIsNeitherFilledNorListed)
{
    Bytes noise(30000, 0x11);
    file("noise.syx", noise);
    lib.loadPatchesFromFilesystem(root);
    EXPECT_TRUE(lib.singleFiles.empty());
    // It still reaches the tree of programs, as an empty bank.
    ASSERT_EQ(lib.singleFolders.size(), 1u);
    EXPECT_TRUE(lib.singleFolders[0]->files.at(0)->patches.empty());
}

TEST_F(Library, BanksDroppedByARescanStayReadableUntilReleased)
{
    file("a.syx", programs(128));
    file("noise.syx", Bytes(30000, 0x11));
    lib.loadPatchesFromFilesystem(root);
    const PatchFile* before = lib.singleFiles.at(0);
    const std::vector<uint8_t> firstMessage = before->patches.at(0).messages.at(0).bytes;
    const size_t categoryBanks = lib.categoryFiles.size();
    lib.createNewSearchPatchFiles("Gen");
    // A search retires nothing that a list or a tree still shows.
    EXPECT_EQ(lib.retiredBankCount(), 0u);
    lib.createNewSearchPatchFiles("GenProg 00");
    // 128 matches made two result banks, the second empty: both go.
    EXPECT_EQ(lib.retiredBankCount(), 2u);
    lib.initBankFilesOnDiscard(root);
    // The rescan empties the search banks and rebuilds everything else once.
    EXPECT_TRUE(lib.searchFiles.empty());
    EXPECT_TRUE(lib.searchFolders.empty());
    EXPECT_EQ(lib.singleFiles.size(), 1u);
    EXPECT_EQ(lib.singleFolders.size(), 1u);
    EXPECT_EQ(lib.categoryFiles.size(), categoryBanks);
    EXPECT_NE(lib.singleFiles.at(0), before);
    // A worker job holding an entry of the old bank still reads it.
    EXPECT_EQ(before->patches.at(0).messages.at(0).bytes, firstMessage);
    EXPECT_GT(lib.retiredBankCount(), 2u);
    lib.releaseRetiredBanks();
    EXPECT_EQ(lib.retiredBankCount(), 0u);
    // What the lists and trees show is still whole.
    EXPECT_EQ(lib.singleFiles.at(0)->patches.at(0).messages.at(0).bytes, firstMessage);
    EXPECT_TRUE(lib.singleFolders.at(0)->files.at(1)->patches.empty());
}
