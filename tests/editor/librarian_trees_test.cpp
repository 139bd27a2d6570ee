// Filing banks into the folder trees the librarian menus show.
#include <gtest/gtest.h>

#include "Project_Source/src/PatchLibrarian.h"

namespace {
PatchFile* bankIn(std::vector<std::unique_ptr<PatchFile>>& keep, std::vector<std::string> folders)
{
    keep.emplace_back(new PatchFile);
    PatchFile* f = keep.back().get();
    f->folderNames = folders;
    f->folderName = folders.back();
    f->fileName = "bank" + std::to_string(keep.size()) + ".syx";
    return f;
}
} // namespace

TEST(FolderTrees, FirstFileOfAnEmptyTreeBecomesATopNodeWhateverItsDepth)
{
    std::vector<std::unique_ptr<PatchFile>> keep;
    PatchLibrarian lib;
    PatchFile* deep = bankIn(keep, {"Patches", "A", "B"});
    lib.createSingleFolderFilesStructure(deep);
    ASSERT_EQ(lib.singleFolders.size(), 1u);
    EXPECT_EQ(lib.singleFolders[0]->name, "");
    ASSERT_EQ(lib.singleFolders[0]->subFolders.size(), 1u);
    EXPECT_EQ(lib.singleFolders[0]->subFolders[0].name, "A");
    ASSERT_EQ(lib.singleFolders[0]->subFolders[0].subFolders.size(), 1u);
    EXPECT_EQ(lib.singleFolders[0]->subFolders[0].subFolders[0].name, "B");
    EXPECT_EQ(lib.singleFolders[0]->subFolders[0].subFolders[0].files, std::vector<PatchFile*>{deep});
}

TEST(FolderTrees, RootFilesJoinThePatchesNodeAndNeverAnUnnamedOne)
{
    std::vector<std::unique_ptr<PatchFile>> keep;
    PatchLibrarian lib;
    PatchFile* a = bankIn(keep, {"Patches", "A"});
    PatchFile* r1 = bankIn(keep, {"Patches"});
    PatchFile* r2 = bankIn(keep, {"Patches"});
    lib.createMultiFolderFilesStructure(a);
    lib.createMultiFolderFilesStructure(r1);
    lib.createMultiFolderFilesStructure(r2);
    ASSERT_EQ(lib.multiFolders.size(), 2u);
    EXPECT_EQ(lib.multiFolders[0]->name, "");
    EXPECT_TRUE(lib.multiFolders[0]->files.empty());
    EXPECT_EQ(lib.multiFolders[1]->name, "Patches");
    EXPECT_EQ(lib.multiFolders[1]->files, (std::vector<PatchFile*>{r1, r2}));
}

TEST(FolderTrees, SameThirdLevelNameUnderTwoParentsEndsInTheFirstNode)
{
    std::vector<std::unique_ptr<PatchFile>> keep;
    PatchLibrarian lib;
    PatchFile* ax = bankIn(keep, {"Patches", "A", "X"});
    PatchFile* bx = bankIn(keep, {"Patches", "B", "X"});
    lib.createPatternFolderFilesStructure(ax);
    lib.createPatternFolderFilesStructure(bx);
    ASSERT_EQ(lib.patternFolders.size(), 1u);
    ASSERT_EQ(lib.patternFolders[0]->subFolders.size(), 1u);
    EXPECT_EQ(lib.patternFolders[0]->subFolders[0].name, "A");
    EXPECT_EQ(lib.patternFolders[0]->subFolders[0].subFolders[0].files, (std::vector<PatchFile*>{ax, bx}));
}

TEST(FolderTrees, FolderFiledAfterItsSubfoldersJoinsEveryNodeOfItsName)
{
    std::vector<std::unique_ptr<PatchFile>> keep;
    PatchLibrarian lib;
    PatchFile* ab = bankIn(keep, {"Patches", "A", "B"});
    PatchFile* ac = bankIn(keep, {"Patches", "A", "C"});
    PatchFile* a = bankIn(keep, {"Patches", "A"});
    lib.createSingleFolderFilesStructure(ab);
    lib.createSingleFolderFilesStructure(ac);
    lib.createSingleFolderFilesStructure(a);
    ASSERT_EQ(lib.singleFolders.size(), 2u);
    for (FolderFiles* top : lib.singleFolders) {
        ASSERT_EQ(top->subFolders.size(), 1u);
        EXPECT_EQ(top->subFolders[0].name, "A");
        EXPECT_EQ(top->subFolders[0].files, std::vector<PatchFile*>{a});
    }
}

TEST(FolderTrees, BankThreeFoldersDeepGetsAnEmptyTopNode)
{
    std::vector<std::unique_ptr<PatchFile>> keep;
    PatchLibrarian lib;
    lib.createSingleFolderFilesStructure(bankIn(keep, {"Patches"}));
    lib.createSingleFolderFilesStructure(bankIn(keep, {"Patches", "A", "B", "C"}));
    ASSERT_EQ(lib.singleFolders.size(), 2u);
    EXPECT_EQ(lib.singleFolders[1]->name, "");
    EXPECT_TRUE(lib.singleFolders[1]->subFolders.empty());
    EXPECT_TRUE(lib.singleFolders[1]->files.empty());
}
