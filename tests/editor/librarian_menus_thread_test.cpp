// The folder menus of the configured controller over a scanned library: a choice through the
// open editor reloads the pane, and rebuilds from another thread while the menu is up leave the
// choice intact.
#include "Project_Source/src/LibrarianFolderMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "librarian_menus_support.h"
#include "support/bankgen.h"

#include <sys/stat.h>

#include <thread>

using namespace qorid;
using menutest::MenuDesk;

namespace
{

// Patches/A/X/x1.syx, Patches/A/a1.syx and Patches/B/b1.syx, scanned: the upper program menu
// reads "A{X{x1} | a1} | B{b1}" and the list x1, a1, b1.
void scanLibrary(MenuDesk& d)
{
    const std::string root = d.dir.file("Patches");
    for (const char* folder : {"", "/A", "/A/X", "/B"}) mkdir((root + folder).c_str(), 0755);
    uint32_t seed = 1;
    for (const char* file : {"/A/X/x1.syx", "/A/a1.syx", "/B/b1.syx"})
        testsupport::writeFile(root + file, bankgen::rawFile(bankgen::messagesOf(
                                                bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, seed++))));
    d.lib().initBankFilesOnDiscard(root);
    // The bank lists follow the rescan, as the controller's rebuild of their texts does.
    for (int id : {kPatchSelectionListUpper, kPatchSelectionListLower}) d.plug->GetParam(id)->InitEnum("list", 0, 3);
    d.plug->mLeftPatchMenu->refreshFolderStructure(nullptr, nullptr, 0, "", "");
}

} // namespace

TEST(FolderMenusInTheEditor, AChoiceMakesTheFileTheUpperBankAndReloadsThePane)
{
    MenuDesk d;
    scanLibrary(d);
    d.answer({1, 0});
    d.plug->mLeftPatchMenu->OnMouseDown(400, 195, nullptr);
    EXPECT_EQ(d.lastMenu(), "A { X { *x1.syx } | a1.syx } | B { b1.syx }");
    EXPECT_EQ(d.plug->upperProgramFileName + "|" + d.plug->upperProgramFolderName, "b1.syx|B");
    EXPECT_EQ(d.lib().upperFileIndex, 2);
    EXPECT_EQ(d.value(kPatchSelectionListUpper), 2.0);
    std::string first;
    {
        std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
        first = d.lib().singleFiles[2]->patches[0].name;
    }
    EXPECT_EQ(d.plug->librarianView->cellText(LibrarianViewControl::kUpperPane, 0), first);

    // Dismissed: the pane is reloaded with the same bank.
    d.plug->librarianView->patchSelectionUpperChanged();
    d.answer({});
    d.plug->mLeftPatchMenu->OnMouseDown(400, 195, nullptr);
    EXPECT_EQ(d.lastMenu(), "A { X { x1.syx } | a1.syx } | B { *b1.syx }");
    EXPECT_EQ(d.lib().upperFileIndex, 2);
    EXPECT_EQ(d.plug->librarianView->cellText(LibrarianViewControl::kUpperPane, 0), first);
}

TEST(FolderMenusInTheEditor, RebuildsFromAnotherThreadWhileTheMenuIsUpKeepTheChoice)
{
    MenuDesk d;
    scanLibrary(d);
    int rebuilds = 0;
    d.presenter.whileShown = [&] {
        std::thread other([&] {
            for (int i = 0; i < 20; ++i) {
                std::string name, folder;
                {
                    std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
                    name = d.plug->upperProgramFileName;
                    folder = d.plug->upperProgramFolderName;
                }
                d.plug->mLeftPatchMenu->refreshFolderStructure(nullptr, nullptr, 0, name, folder);
                d.plug->mRightPatchMenu->refreshFolderStructure(nullptr, nullptr, 0, name, folder);
                ++rebuilds;
            }
        });
        other.join();
    };
    d.answer({0, 1});
    d.plug->mLeftPatchMenu->OnMouseDown(400, 195, nullptr);
    EXPECT_EQ(rebuilds, 20);
    EXPECT_EQ(d.plug->upperProgramFileName + "|" + d.plug->upperProgramFolderName, "a1.syx|A");
    EXPECT_EQ(d.lib().upperFileIndex, 1);
    EXPECT_EQ(d.value(kPatchSelectionListUpper), 1.0);
    // The next click shows a whole rebuilt set.
    d.answer({});
    d.plug->mLeftPatchMenu->OnMouseDown(400, 195, nullptr);
    EXPECT_NE(d.lastMenu().find("| B { "), std::string::npos) << d.lastMenu();
}
