// The header's bank-name menus of the configured controller in library-control mode, answered
// through the open editor: the chosen file becomes the upper bank, the header menus follow and the
// grid's current slot goes to the synthesizer.
#include "Project_Source/src/LibrarianBankNameMenus.h"
#include "Project_Source/src/LibrarianNumberMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "librarian_menus_support.h"
#include "support/bankgen.h"

using namespace qorid;
using menutest::MenuDesk;

namespace
{

// Six bank files "F/bank0.syx".."F/bank5.syx" of the kind, entry s of bank b named "b-s" with
// the synthesizer's bank A messages; the library-control mode of the kind.
void sixBanks(MenuDesk& d, bool performances)
{
    const std::vector<bankgen::Bytes> messages =
        bankgen::synthBanks(performances ? bankgen::Kind::Performances : bankgen::Kind::Programs, 1);
    const size_t perEntry = performances ? 2 : 1;
    PatchLibrarian& lib = d.lib();
    std::lock_guard<std::recursive_mutex> hold(lib.mLock);
    for (int b = 0; b < 6; ++b) {
        auto* bank = lib.adoptBank(new PatchFile);
        bank->kind = performances ? kPatchFilePerformances : kPatchFilePrograms;
        bank->fileName = "bank" + std::to_string(b) + ".syx";
        bank->folderName = "F";
        bank->folderNames = {"Patches", "F"};
        for (size_t s = 0; s < 128; ++s) {
            LibrarianPatch entry;
            entry.name = std::to_string(b) + "-" + std::to_string(s);
            for (size_t m = 0; m < perEntry; ++m) entry.messages.emplace_back(SysexBytes(messages[s * perEntry + m]));
            bank->patches.push_back(std::move(entry));
        }
        if (performances) {
            lib.createMultiFolderFilesStructure(bank);
            lib.multiFiles.push_back(bank);
        } else {
            lib.createSingleFolderFilesStructure(bank);
            lib.singleFiles.push_back(bank);
        }
    }
    lib.currentKind = performances ? kPatchFilePerformances : kPatchFilePrograms;
    lib.upperFileIndex = 0;
    d.plug->performanceMode = performances;
    d.plug->libraryControlMode = true;
    IParam* upper = d.plug->GetParam(kPatchSelectionListUpper);
    upper->InitEnum("Bank Selection List 1", 0, 6);
}

BankNamePopupMenu& menuOf(MenuDesk& d, bool performances)
{
    if (performances) return *d.plug->perfBankNameMenu;
    return *d.plug->progBankNameMenu;
}

std::string upperCell(MenuDesk& d, int slot)
{
    return d.plug->librarianView->cellText(LibrarianViewControl::kUpperPane, slot);
}

} // namespace

TEST(BankNameMenus, TheSixthPerformanceBankSetsThePerformanceNumberAndItsSlotIsSent)
{
    MenuDesk d;
    sixBanks(d, true);
    d.plug->GetParam(kMainTab)->Set(1.0);
    PerfBankNamePopupMenu& menu = *d.plug->perfBankNameMenu;
    menu.refreshPatchNames(nullptr, nullptr, 0, "", "");
    auto numberMenus = d.plug->bankNumberMenu->menus();
    d.answer({0, 5});
    menu.OnMouseDown(0, 0, nullptr);
    const std::vector<MenuDesk::Job> jobs = d.takeJobs();
    EXPECT_EQ(d.value(kMultiPatch), 5.0);
    EXPECT_EQ(d.lib().upperFileIndex, 5);
    EXPECT_EQ(d.value(kPatchSelectionListUpper), 5.0);
    EXPECT_EQ(d.plug->upperPerformanceFileName, "bank5.syx");
    EXPECT_EQ(d.plug->librarianView->currentSlot.load(), 5);
    EXPECT_EQ(d.lib().upperSlot, 5);
    EXPECT_EQ(upperCell(d, 5), "5-5") << "the upper pane shows the chosen bank";
    ASSERT_FALSE(jobs.empty());
    EXPECT_EQ(jobs[0].job, kJobSendPatchFromLibrarian);
    EXPECT_NE(d.plug->bankNumberMenu->menus(), numberMenus) << "the bank-number menu is refreshed too";
    EXPECT_TRUE(d.shown("PERFBANKNAMEMENUPROGRAMS"));
}

TEST(BankNameMenus, AProgramBankLeavesTheBankNumberMenuAndOffTheLibraryTabThePaneIsNotReloaded)
{
    const struct {
        double mainTab;
        std::vector<int> path;
        int upperIndex;
        const char* cell0; // upper cell 0 after the click
    } cases[] = {{1.0, {0, 3}, 3, "3-0"}, {0.0, {0, 3}, 3, ""}, {2.0, {0, 3}, 3, ""}, {1.0, {}, 0, "0-0"}};
    for (const auto& c : cases) {
        MenuDesk d;
        sixBanks(d, false);
        d.plug->GetParam(kMainTab)->Set(c.mainTab);
        d.plug->GetParam(kMultiPartPatch + 0)->Set(7.0);
        ProgBankNamePopupMenu& menu = *d.plug->progBankNameMenu;
        menu.refreshPatchNames(nullptr, nullptr, 0, "", "");
        auto numberMenus = d.plug->bankNumberMenu->menus();
        d.answer(c.path);
        menu.OnMouseDown(0, 0, nullptr);
        const std::vector<MenuDesk::Job> jobs = d.takeJobs();
        const std::string what = std::to_string(c.mainTab) + " " + ::testing::PrintToString(c.path);
        EXPECT_EQ(d.lib().upperFileIndex, c.upperIndex) << what;
        EXPECT_EQ(d.plug->bankNumberMenu->menus(), numberMenus) << what;
        EXPECT_EQ(upperCell(d, 0), c.cell0) << what;
        // The header names program 7 of part 1: that slot is sent, even from a dismissed menu.
        EXPECT_EQ(d.lib().upperSlot, 7) << what;
        ASSERT_EQ(jobs.size(), 1u) << what;
        EXPECT_EQ(jobs[0].job, kJobSendPatchFromLibrarian) << what;
        EXPECT_TRUE(d.shown("PROGBANKNAMEMENUPROGRAMS")) << what;
    }
}

TEST(BankNameMenus, TheChosenUpperBanksEntryIsSentAfterAClickInTheLowerPane)
{
    for (bool performances : {true, false}) {
        MenuDesk d;
        sixBanks(d, performances);
        d.plug->GetParam(kMainTab)->Set(1.0);
        d.plug->GetParam(kMultiPartPatch + 0)->Set(7.0);
        d.lib().lowerFileIndex = 4;
        LibrarianViewControl& grid = *d.plug->librarianView;
        grid.patchSelectionLowerChanged();
        grid.lowerSelection = 7;
        grid.activePane = LibrarianViewControl::kLowerPane;
        BankNamePopupMenu& menu = menuOf(d, performances);
        menu.refreshPatchNames(nullptr, nullptr, 0, "", "");
        d.answer({0, 2});
        menu.OnMouseDown(0, 0, nullptr);
        const std::vector<MenuDesk::Job> jobs = d.takeJobs();
        ASSERT_FALSE(jobs.empty()) << performances;
        EXPECT_EQ(jobs[0].job, kJobSendPatchFromLibrarian) << performances;
        const int slot = grid.currentSlot;
        EXPECT_EQ(jobs[0].entry, "2-" + std::to_string(slot)) << performances << ": not the lower bank's 4-" << slot;
    }
}

TEST(BankNameMenus, WithoutACurrentSlotNothingIsSent)
{
    MenuDesk d;
    sixBanks(d, false);
    d.plug->libraryControlMode = false; // the header refresh leaves the grid's slot alone
    d.plug->librarianView->currentSlot = -1;
    d.lib().upperSlot = 9;
    menuOf(d, false).refreshPatchNames(nullptr, nullptr, 0, "", "");
    d.answer({0, 2});
    menuOf(d, false).OnMouseDown(0, 0, nullptr);
    EXPECT_TRUE(d.takeJobs().empty());
    EXPECT_EQ(d.lib().upperSlot, 9);
    EXPECT_EQ(d.lib().upperFileIndex, 2);
}

TEST(BankNameMenus, WhileTheUpperBankHasUnsavedEditsNoOtherBankIsChosen)
{
    for (bool performances : {true, false}) {
        MenuDesk d;
        sixBanks(d, performances);
        d.plug->GetParam(kMainTab)->Set(1.0);
        BankNamePopupMenu& menu = menuOf(d, performances);
        menu.refreshPatchNames(nullptr, nullptr, 0, "", "");
        d.plug->SetLibrarianStatusUnsaved(true);
        const std::string edited = upperCell(d, 0);
        d.answer({0, 4});
        menu.OnMouseDown(0, 0, nullptr);
        EXPECT_TRUE(d.takeJobs().empty()) << performances;
        EXPECT_EQ(d.lib().upperFileIndex, 0) << performances;
        EXPECT_EQ(d.value(kPatchSelectionListUpper), 0.0) << performances;
        EXPECT_EQ(upperCell(d, 0), edited) << performances;
        EXPECT_EQ(d.status1(), "Save bank or Discard changes!") << performances;
    }
}
