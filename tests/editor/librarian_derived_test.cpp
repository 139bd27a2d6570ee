// Category banks and search banks derived from the loaded program banks.
#include <gtest/gtest.h>

#include "Project_Source/src/PatchLibrarian.h"

namespace {

// A program entry as the reader stores it, with a name and a category byte.
LibrarianPatch program(const std::string& name, int categoryByte, int messages = 1)
{
    LibrarianPatch e;
    std::vector<uint8_t> m(297, 0x40);
    m[0] = 0xF0;
    m[1] = 0x00;
    m[7] = 0x02;
    for (size_t i = 0; i < 16; ++i) m[10 + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : ' ';
    m[27] = static_cast<uint8_t>(categoryByte);
    m.back() = 0xF7;
    e.messages.push_back(PatchSysexMessage{m});
    for (int k = 1; k < messages; ++k) e.messages.push_back(PatchSysexMessage{std::vector<uint8_t>(99, 0x11)});
    e.messages.back().bytes.front() = 0xF0;
    e.messages.back().bytes.back() = 0xF7;
    e.name = std::string(name) + std::string(16 - name.size(), ' ');
    e.parseCategory(27);
    e.patchType = 0;
    return e;
}

PatchFile* addBank(PatchLibrarian& lib, std::vector<LibrarianPatch> entries)
{
    PatchFile* bank = lib.adoptBank(new PatchFile);
    bank->patches = std::move(entries);
    lib.singleFiles.push_back(bank);
    lib.createCategories(bank);
    return bank;
}

} // namespace

TEST(CategoryBanks, FirstCategoryGetsNoBanksAndCountsSplitAt128)
{
    PatchLibrarian lib;
    std::vector<LibrarianPatch> entries{program("First", 7)};
    for (int i = 0; i < 127; ++i) entries.push_back(program("Bass " + std::to_string(i), 0));
    for (int i = 0; i < 128; ++i) entries.push_back(program("Pad " + std::to_string(i), 8));
    addBank(lib, entries);
    std::vector<LibrarianPatch> more;
    for (int i = 0; i < 300; ++i) more.push_back(program("Org " + std::to_string(i), 14));
    addBank(lib, more);
    ASSERT_EQ(lib.categoryNames, (std::vector<std::string>{"Bell", "Bass", "Pad", "Organ"}));
    lib.createNewCategoryPatchFiles();
    std::vector<std::string> names;
    for (PatchFile* f : lib.categoryFiles) names.push_back(f->fileName + ":" + std::to_string(f->patches.size()));
    EXPECT_EQ(names, (std::vector<std::string>{"Bass 1:127", "Pad 1:128", "Organ 1:128", "Organ 2:128", "Organ 3:44"}));
    // Three top nodes, named after the first bank of their category; the empty Pad 2 is filed.
    ASSERT_EQ(lib.categoryFolders.size(), 3u);
    EXPECT_EQ(lib.categoryFolders[1]->name, "Pad 1");
    ASSERT_EQ(lib.categoryFolders[1]->subFolders.size(), 1u);
    EXPECT_EQ(lib.categoryFolders[1]->subFolders[0].name, "Pad");
    ASSERT_EQ(lib.categoryFolders[1]->subFolders[0].files.size(), 2u);
    EXPECT_TRUE(lib.categoryFolders[1]->subFolders[0].files[1]->patches.empty());
    const LibrarianPatch& e = lib.categoryFiles[0]->patches[0];
    EXPECT_EQ(e.name, "Bass 0          ");
    EXPECT_EQ(e.category, "Bass");
    EXPECT_EQ(e.patchType, 0);
    EXPECT_EQ(lib.categoryFiles[0]->folderName, "Bass");
}

TEST(CategoryBanks, OneNameOrNoneGivesNoBanks)
{
    PatchLibrarian lib;
    lib.createNewCategoryPatchFiles();
    addBank(lib, {program("A", 0), program("B", 0)});
    lib.createNewCategoryPatchFiles();
    EXPECT_TRUE(lib.categoryFiles.empty());
    EXPECT_TRUE(lib.categoryFolders.empty());
}

TEST(CategoryBanks, TwoMessageProgramsAppearWithTheirFirstMessageOnly)
{
    PatchLibrarian lib;
    addBank(lib, {program("A", 0), program("Two", 3, 2)});
    lib.createNewCategoryPatchFiles();
    ASSERT_EQ(lib.categoryFiles.size(), 1u);
    EXPECT_EQ(lib.categoryFiles[0]->patches.at(0).messages.size(), 1u);
}

TEST(CategoryBanks, EntriesWithoutAUsableMessageAreSkipped)
{
    PatchLibrarian lib;
    LibrarianPatch empty;
    empty.category = "Pad";
    LibrarianPatch cut = program("Cut", 8);
    cut.messages[0].bytes.pop_back(); // no F7 any more
    addBank(lib, {program("A", 0), empty, cut, program("Real Pad", 8)});
    lib.createNewCategoryPatchFiles();
    ASSERT_EQ(lib.categoryFiles.size(), 1u);
    ASSERT_EQ(lib.categoryFiles[0]->patches.size(), 1u);
    EXPECT_EQ(lib.categoryFiles[0]->patches[0].name, "Real Pad        ");
}

TEST(CategoryBanks, ASecondRunWithoutResetAppendsBanksIntoTheExistingNodes)
{
    PatchLibrarian lib;
    addBank(lib, {program("A", 0), program("P", 8), program("Q", 8)});
    lib.createNewCategoryPatchFiles();
    ASSERT_EQ(lib.categoryFiles.size(), 1u);
    lib.createNewCategoryPatchFiles();
    ASSERT_EQ(lib.categoryFiles.size(), 2u);
    EXPECT_EQ(lib.categoryFiles[1]->fileName, "Pad 1");
    ASSERT_EQ(lib.categoryFolders.size(), 1u);
    ASSERT_EQ(lib.categoryFolders[0]->subFolders.size(), 1u);
    // Each run files its one Pad bank under the one Pad node.
    EXPECT_EQ(lib.categoryFolders[0]->subFolders[0].files.size(), 2u);
}

TEST(CategoryBanks, NameNoEntryCarriesAnyMoreGivesOneEmptyBankInTheTreeOnly)
{
    PatchLibrarian lib;
    addBank(lib, {program("A", 0), program("P", 8)});
    // The Pad entry leaves the library, its name stays listed.
    lib.singleFiles[0]->patches.pop_back();
    lib.createNewCategoryPatchFiles();
    EXPECT_TRUE(lib.categoryFiles.empty());
    ASSERT_EQ(lib.categoryFolders.size(), 1u);
    EXPECT_EQ(lib.categoryFolders[0]->name, "Pad 1");
    ASSERT_EQ(lib.categoryFolders[0]->subFolders.at(0).files.size(), 1u);
    EXPECT_TRUE(lib.categoryFolders[0]->subFolders[0].files[0]->patches.empty());
}

TEST(CategoryBanks, BanksOfAnUnknownModelAreLeftOut)
{
    PatchLibrarian lib;
    addBank(lib, {program("A", 0), program("P", 8)});
    PatchFile* odd = addBank(lib, {program("Q", 8)});
    odd->modelCode = 4;
    lib.createNewCategoryPatchFiles();
    ASSERT_EQ(lib.categoryFiles.size(), 1u);
    ASSERT_EQ(lib.categoryFiles[0]->patches.size(), 1u);
    EXPECT_EQ(lib.categoryFiles[0]->patches[0].name, "P               ");
}

TEST(SearchBanks, SearchIsCaseSensitiveAndFindsSubstrings)
{
    PatchLibrarian lib;
    addBank(lib, {program("Soft Pad", 8), program("soft pad", 8), program("Padding", 1)});
    lib.createNewSearchPatchFiles("Pad");
    ASSERT_EQ(lib.searchFiles.size(), 1u);
    ASSERT_EQ(lib.searchFiles[0]->patches.size(), 2u);
    EXPECT_EQ(lib.searchFiles[0]->patches[0].name, "Soft Pad        ");
    EXPECT_EQ(lib.searchFiles[0]->patches[1].name, "Padding         ");
    EXPECT_EQ(lib.searchFiles[0]->fileName, "Search Results 1");
    EXPECT_EQ(lib.searchFiles[0]->folderName, "Patches");
    ASSERT_EQ(lib.searchFolders.size(), 1u);
    EXPECT_EQ(lib.searchFolders[0]->name, "Patches");
    // No match leaves no banks and no tree.
    lib.createNewSearchPatchFiles("Soft Pad and more!");
    EXPECT_TRUE(lib.searchFiles.empty());
    EXPECT_TRUE(lib.searchFolders.empty());
}

TEST(SearchBanks, ResultsSplitAt128AndAnExactMultipleAddsAnEmptyBank)
{
    PatchLibrarian lib;
    std::vector<LibrarianPatch> entries;
    for (int i = 0; i < 130; ++i) entries.push_back(program(i < 128 ? "Keys " + std::to_string(i) : "Lead " + std::to_string(i), 10));
    addBank(lib, entries);
    lib.createNewSearchPatchFiles(" ");
    ASSERT_EQ(lib.searchFiles.size(), 2u);
    EXPECT_EQ(lib.searchFiles[0]->patches.size(), 128u);
    EXPECT_EQ(lib.searchFiles[1]->patches.size(), 2u);
    lib.createNewSearchPatchFiles("Keys");
    ASSERT_EQ(lib.searchFiles.size(), 2u);
    EXPECT_EQ(lib.searchFiles[1]->fileName, "Search Results 2");
    EXPECT_TRUE(lib.searchFiles[1]->patches.empty());
    ASSERT_EQ(lib.searchFolders.size(), 1u);
    EXPECT_EQ(lib.searchFolders[0]->files.size(), 2u);
}

TEST(SearchBanks, TwoMessageEntriesKeepBothAndASecondSearchReplacesTheFirst)
{
    PatchLibrarian lib;
    addBank(lib, {program("Two", 3, 2), program("One", 3)});
    lib.createNewSearchPatchFiles("Two");
    ASSERT_EQ(lib.searchFiles.size(), 1u);
    EXPECT_EQ(lib.searchFiles[0]->patches.at(0).messages.size(), 2u);
    lib.createNewSearchPatchFiles("One");
    ASSERT_EQ(lib.searchFiles.size(), 1u);
    EXPECT_EQ(lib.searchFiles[0]->patches.at(0).messages.size(), 1u);
    EXPECT_EQ(lib.searchFolders.size(), 1u);
    EXPECT_EQ(lib.searchFolders[0]->files.size(), 1u);
}

TEST(SearchBanks, BanksOfUnknownModelAndEntriesWithoutMessagesAreSkipped)
{
    PatchLibrarian lib;
    PatchFile* odd = addBank(lib, {program("Match A", 0)});
    odd->modelCode = 4;
    LibrarianPatch empty;
    empty.name = "Match B";
    addBank(lib, {empty, program("Match C", 0)});
    lib.createNewSearchPatchFiles("Match");
    ASSERT_EQ(lib.searchFiles.size(), 1u);
    ASSERT_EQ(lib.searchFiles[0]->patches.size(), 1u);
    EXPECT_EQ(lib.searchFiles[0]->patches[0].name, "Match C         ");
}
