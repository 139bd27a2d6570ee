// Filing banks into the folder trees the librarian menus show.
#include <gtest/gtest.h>

#include "Project_Source/src/PatchLibrarian.h"

namespace {
class FolderTrees : public ::testing::Test {
protected:
    PatchFile* bankIn(std::vector<std::string> folders)
    {
        keep.emplace_back(new PatchFile);
        PatchFile* f = keep.back().get();
        f->folderNames = folders;
        f->folderName = folders.back();
        f->fileName = "bank" + std::to_string(keep.size()) + ".syx";
        return f;
    }
    std::vector<std::unique_ptr<PatchFile>> keep;
    PatchLibrarian lib;
};
} // namespace

TEST_F(FolderTrees, FirstFileOfAnEmptyTreeBecomesATopNodeWhateverItsDepth)
{
    PatchFile* deep = bankIn({"Patches", "A", "B"});
    lib.createSingleFolderFilesStructure(deep);
    ASSERT_EQ(lib.singleFolders.size(), 1u);
    EXPECT_EQ(lib.singleFolders[0]->name, "");
    ASSERT_EQ(lib.singleFolders[0]->subFolders.size(), 1u);
    EXPECT_EQ(lib.singleFolders[0]->subFolders[0].name, "A");
    ASSERT_EQ(lib.singleFolders[0]->subFolders[0].subFolders.size(), 1u);
    EXPECT_EQ(lib.singleFolders[0]->subFolders[0].subFolders[0].name, "B");
    EXPECT_EQ(lib.singleFolders[0]->subFolders[0].subFolders[0].files, std::vector<PatchFile*>{deep});
}

TEST_F(FolderTrees, RootFilesJoinThePatchesNodeAndNeverAnUnnamedOne)
{
    PatchFile* a = bankIn({"Patches", "A"});
    PatchFile* r1 = bankIn({"Patches"});
    PatchFile* r2 = bankIn({"Patches"});
    lib.createMultiFolderFilesStructure(a);
    lib.createMultiFolderFilesStructure(r1);
    lib.createMultiFolderFilesStructure(r2);
    ASSERT_EQ(lib.multiFolders.size(), 2u);
    EXPECT_EQ(lib.multiFolders[0]->name, "");
    EXPECT_TRUE(lib.multiFolders[0]->files.empty());
    EXPECT_EQ(lib.multiFolders[1]->name, "Patches");
    EXPECT_EQ(lib.multiFolders[1]->files, (std::vector<PatchFile*>{r1, r2}));
}

TEST_F(FolderTrees, SameThirdLevelNameUnderTwoParentsEndsInTheFirstNode)
{
    PatchFile* ax = bankIn({"Patches", "A", "X"});
    PatchFile* bx = bankIn({"Patches", "B", "X"});
    lib.createPatternFolderFilesStructure(ax);
    lib.createPatternFolderFilesStructure(bx);
    ASSERT_EQ(lib.patternFolders.size(), 1u);
    ASSERT_EQ(lib.patternFolders[0]->subFolders.size(), 1u);
    EXPECT_EQ(lib.patternFolders[0]->subFolders[0].name, "A");
    EXPECT_EQ(lib.patternFolders[0]->subFolders[0].subFolders[0].files, (std::vector<PatchFile*>{ax, bx}));
}

TEST_F(FolderTrees, FolderFiledAfterItsSubfoldersJoinsEveryNodeOfItsName)
{
    PatchFile* ab = bankIn({"Patches", "A", "B"});
    PatchFile* ac = bankIn({"Patches", "A", "C"});
    PatchFile* a = bankIn({"Patches", "A"});
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

TEST_F(FolderTrees, BankThreeFoldersDeepGetsAnEmptyTopNode)
{
    lib.createSingleFolderFilesStructure(bankIn({"Patches"}));
    lib.createSingleFolderFilesStructure(bankIn({"Patches", "A", "B", "C"}));
    ASSERT_EQ(lib.singleFolders.size(), 2u);
    EXPECT_EQ(lib.singleFolders[1]->name, "");
    EXPECT_TRUE(lib.singleFolders[1]->subFolders.empty());
    EXPECT_TRUE(lib.singleFolders[1]->files.empty());
}
