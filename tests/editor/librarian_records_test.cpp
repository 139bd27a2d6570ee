// The librarian's records: entries, banks, the librarian object, categories, the patch record.
#include <gtest/gtest.h>

#include "Project_Source/src/Patch.h"
#include "Project_Source/src/PatchLibrarian.h"

TEST(LibraryRecords, ClearDataStructuresFreesOnlyTheChosenTree)
{
    PatchLibrarian lib;
    PatchFile bank;
    bank.fileName = "still here";
    bank.patches.resize(2);
    auto node = [&bank] {
        FolderFiles* f = new FolderFiles;
        f->name = "A";
        f->files.push_back(&bank);
        SubFolderFiles sub;
        sub.name = "B";
        sub.subFolders.push_back(SubFolderFiles2{"C", {&bank}});
        f->subFolders.push_back(sub);
        return f;
    };
    lib.singleFolders.push_back(node());
    lib.multiFolders.push_back(node());
    lib.categoryFolders.push_back(node());
    lib.searchFolders.push_back(node());
    lib.patternFolders.push_back(node());
    lib.clearDataStructures(5);
    lib.clearDataStructures(-1);
    EXPECT_EQ(lib.singleFolders.size() + lib.multiFolders.size() + lib.categoryFolders.size() +
                  lib.searchFolders.size() + lib.patternFolders.size(),
              5u);
    lib.clearDataStructures(3);
    EXPECT_TRUE(lib.searchFolders.empty());
    EXPECT_EQ(lib.singleFolders.size(), 1u);
    lib.clearDataStructures(0);
    lib.clearDataStructures(1);
    lib.clearDataStructures(2);
    lib.clearDataStructures(4);
    EXPECT_TRUE(lib.singleFolders.empty() && lib.multiFolders.empty() && lib.categoryFolders.empty() &&
                lib.patternFolders.empty());
    lib.clearDataStructures(0); // an empty tree stays empty
    EXPECT_TRUE(lib.singleFolders.empty());
    // The bank the nodes pointed to is neither freed nor changed.
    EXPECT_EQ(bank.fileName, "still here");
    EXPECT_EQ(bank.patches.size(), 2u);
}

TEST(LibraryRecords, CloneCopiesEntriesAndNameButNotFolders)
{
    PatchFile bank;
    bank.kind = 1;
    bank.modelCode = 2;
    bank.fileName = "Bank.mid";
    bank.folderName = "A";
    bank.folderNames = {"Patches", "A"};
    bank.patches.resize(3);
    bank.patches[1].messages.push_back(PatchSysexMessage{{0xF0, 0xF7}});
    PatchFile* copy = bank.clone();
    EXPECT_EQ(copy->kind, 1);
    EXPECT_EQ(copy->modelCode, 2);
    EXPECT_EQ(copy->fileName, "Bank.mid");
    EXPECT_TRUE(copy->folderName.empty());
    EXPECT_TRUE(copy->folderNames.empty());
    ASSERT_EQ(copy->patches.size(), 3u);
    copy->patches[1].messages[0].bytes[0] = 0;
    EXPECT_EQ(bank.patches[1].messages[0].bytes[0], 0xF0);
    delete copy;
}

TEST(LibraryRecords, NewPatchHolds27InitNamesAndAnEmptyBlob)
{
    Patch p;
    ASSERT_EQ(p.names.size(), 27u);
    for (const std::string& n : p.names) EXPECT_EQ(n, "INIT");
    EXPECT_EQ(p.data.GetSize(), 0);
    EXPECT_EQ(p.data.GetGranul(), 4096);
}

namespace {
LibrarianPatch entryWithCategoryByte(int byte, size_t size = 297)
{
    LibrarianPatch e;
    std::vector<uint8_t> m(size, 0x00);
    m[0] = 0xF0;
    m.back() = 0xF7;
    if (size > 27) m[27] = static_cast<uint8_t>(byte);
    e.messages.push_back(PatchSysexMessage{m});
    return e;
}
} // namespace

// A category byte names its category; one beyond the list, or a message too short to hold it,
// leaves the entry's category as it was.
TEST(Categories, CategoryByteNamesItsCategoryOrLeavesItAlone)
{
    const struct {
        int byte;
        size_t size;
        const char* before;
        const char* after;
    } cases[] = {{19, 297, "", "User 5"}, {0, 297, "", "Bass"}, {20, 297, "", ""},     {255, 297, "", ""},
                 {20, 297, "Pad", "Pad"}, {255, 297, "Pad", "Pad"}, {0, 27, "", ""}, {0, 27, "Bell", "Bell"}};
    for (const auto& c : cases) {
        LibrarianPatch e = entryWithCategoryByte(c.byte, c.size);
        e.category = c.before;
        e.parseCategory(27);
        EXPECT_EQ(e.category, c.after) << c.byte << " in " << c.size << " bytes, was " << c.before;
    }
    LibrarianPatch none;
    none.category = "Bell";
    none.parseCategory(27);
    EXPECT_EQ(none.category, "Bell");
}

TEST(Categories, NamesAreListedOnceRegardlessOfLetterCase)
{
    PatchLibrarian lib;
    PatchFile bank;
    for (const char* c : {"Bass", "Pad", "Bass"}) {
        LibrarianPatch e;
        e.category = c;
        bank.patches.push_back(e);
    }
    lib.createCategories(&bank);
    EXPECT_EQ(lib.categoryNames, (std::vector<std::string>{"Bass", "Pad"}));
    PatchFile other;
    for (const char* c : {"BASS", "pad", ""}) {
        LibrarianPatch e;
        e.category = c;
        other.patches.push_back(e);
    }
    lib.createCategories(&other);
    EXPECT_EQ(lib.categoryNames, (std::vector<std::string>{"Bass", "Pad", ""}));
}

TEST(Categories, PerformancePatternAndEmptyBanksAddNoName)
{
    PatchLibrarian lib;
    PatchFile perf;
    perf.kind = kPatchFilePerformances;
    perf.patches.resize(1);
    perf.patches[0].category = "Bass";
    lib.createCategories(&perf);
    PatchFile pattern = perf;
    pattern.kind = kPatchFilePatterns;
    lib.createCategories(&pattern);
    PatchFile empty;
    lib.createCategories(&empty);
    lib.createCategories(nullptr);
    EXPECT_TRUE(lib.categoryNames.empty());
}
