// The librarian's records: banks, the patch record and categories.
#include <memory>

#include "Project_Source/src/Patch.h"
#include "librarian_support.h"

using namespace libtest;

// Each call frees the one tree it names and leaves the banks the nodes point to alone.
TEST(LibraryRecords, ClearDataStructuresFreesOnlyTheChosenTree)
{
    PatchLibrarian lib;
    PatchFile bank;
    bank.fileName = "still here";
    bank.patches.resize(2);
    std::vector<FolderFiles*>* trees[] = {&lib.singleFolders, &lib.multiFolders, &lib.categoryFolders,
                                          &lib.searchFolders, &lib.patternFolders};
    for (auto* tree : trees) {
        tree->push_back(new FolderFiles("A", SubFolderFiles{"B", {SubFolderFiles2{"C", {&bank}}}, {&bank}}));
        tree->back()->files.push_back(&bank);
    }
    const std::pair<int, const char*> calls[] = {{5, "11111"}, {-1, "11111"}, {3, "11101"}, {0, "01101"},
                                                 {0, "01101"}, {1, "00101"},  {2, "00001"}, {4, "00000"}};
    for (auto [which, left] : calls) {
        lib.clearDataStructures(which);
        std::string sizes;
        for (auto* tree : trees) sizes += std::to_string(tree->size());
        EXPECT_EQ(sizes, left) << which;
    }
    EXPECT_EQ(bank.fileName, "still here");
    EXPECT_EQ(bank.patches.size(), 2u);
}

// A clone copies entries and names but no folders, and owns its bytes; a new patch is all "INIT".
TEST(LibraryRecords, ClonesOwnTheirEntriesAndNewPatchesStartAtInit)
{
    PatchFile bank;
    bank.kind = 1, bank.modelCode = 2, bank.fileName = "Bank.mid", bank.folderName = "A";
    bank.folderNames = {"Patches", "A"};
    bank.patches.resize(3);
    bank.patches[1].messages.push_back(PatchSysexMessage{{0xF0, 0xF7}});
    std::unique_ptr<PatchFile> copy(bank.clone());
    EXPECT_EQ(std::to_string(copy->kind) + std::to_string(copy->modelCode) + copy->fileName, "12Bank.mid");
    EXPECT_TRUE(copy->folderName.empty() && copy->folderNames.empty());
    ASSERT_EQ(copy->patches.size(), 3u);
    copy->patches[1].messages[0].bytes[0] = 0;
    EXPECT_EQ(bank.patches[1].messages[0].bytes[0], 0xF0);
    Patch p;
    EXPECT_EQ(p.names, std::vector<std::string>(27, "INIT"));
    EXPECT_EQ(p.data.GetSize(), 0);
}

// A category byte names its category; one beyond the list, or a message too short to hold it,
// leaves the entry's category as it was.
TEST(Categories, CategoryByteNamesItsCategoryOrLeavesItAlone)
{
    const struct {
        int byte;
        size_t size; // 0: no message
        const char *before, *after;
    } cases[] = {{19, 297, "", "User 5"}, {0, 297, "", "Bass"},   {20, 297, "", ""},     {255, 297, "", ""},
                 {20, 297, "Pad", "Pad"}, {255, 297, "Pad", "Pad"}, {0, 27, "", ""},     {0, 27, "Bell", "Bell"},
                 {0, 0, "Bell", "Bell"}};
    for (const auto& c : cases) {
        LibrarianPatch e;
        if (c.size) {
            Bytes m(c.size, 0x00);
            m[0] = 0xF0;
            m.back() = 0xF7;
            if (c.size > 27) m[27] = static_cast<uint8_t>(c.byte);
            e.messages.push_back(PatchSysexMessage{m});
        }
        e.category = c.before;
        e.parseCategory(27);
        EXPECT_EQ(e.category, c.after) << c.byte << " in " << c.size << " bytes, was " << c.before;
    }
}

// Only program banks add names, each new one once whatever its letter case.
TEST(Categories, ProgramBanksListEachNameOnceRegardlessOfLetterCase)
{
    PatchLibrarian lib;
    const struct {
        int kind;
        std::vector<const char*> categories;
        std::vector<std::string> listed;
    } steps[] = {{kPatchFilePerformances, {"Bass"}, {}},
                 {kPatchFilePatterns, {"Bass"}, {}},
                 {kPatchFilePrograms, {}, {}},
                 {kPatchFilePrograms, {"Bass", "Pad", "Bass"}, {"Bass", "Pad"}},
                 {kPatchFilePrograms, {"BASS", "pad", ""}, {"Bass", "Pad", ""}}};
    for (const auto& s : steps) {
        PatchFile bank;
        bank.kind = s.kind;
        for (const char* c : s.categories) bank.patches.emplace_back().category = c;
        lib.createCategories(&bank);
        EXPECT_EQ(lib.categoryNames, s.listed);
    }
    lib.createCategories(nullptr);
    EXPECT_EQ(lib.categoryNames.size(), 3u);
}
