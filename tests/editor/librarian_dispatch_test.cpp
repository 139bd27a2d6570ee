// The librarian's rows of the parameter dispatch over a generated library: the switches between
// library and synthesizer banks, the panes' bank steps, search, the category view, the data
// type, the rescan, discarding bank edits and the end of a slot rename.
#include "Project_Source/src/LibrarianBankEditMenu.h"
#include "Project_Source/src/LibrarianFolderMenus.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "controller_dispatch_support.h"
#include "librarian_mode_support.h"
#include "librarian_view_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace qorid;
using bankgen::Bytes;
using bankgen::Kind;
using gridtest::kLower;
using gridtest::kUpper;

namespace
{

const char* const kMenuLayers[] = {"LeftPerformancePopupMenu", "RightPerformancePopupMenu", "UPPERPOPUPMENU",
                                   "LOWERPOPUPMENU",           "LeftPatternPopupMenu",      "RightPatternPopupMenu",
                                   "RightPatchPopupMenu",      "RightSearchPopupMenu"};

// A program bank whose entries 5 and 70 carry "Bass" in their names.
Bytes bankWithBass(uint32_t seed)
{
    bankgen::Bank bank = bankgen::makeBank(Kind::Programs, 0x20, 128, seed);
    for (int slot : {5, 70})
        bank.entries[size_t(slot)][0] =
            bankgen::makeDump(Kind::Programs, 0x20, 0, "Bass " + std::to_string(slot), 2, seed);
    return bankgen::rawFile(bankgen::messagesOf(bank));
}

// Three program banks, two performance banks and two pattern banks; the scan lists them by name.
std::vector<std::pair<std::string, Bytes>> library()
{
    using librarianmode::rawBank;
    return {{"A.syx", bankWithBass(1)},
            {"B.syx", rawBank(Kind::Programs, 2)},
            {"C.syx", rawBank(Kind::Programs, 3)},
            {"P1.syx", rawBank(Kind::Performances, 4)},
            {"P2.syx", rawBank(Kind::Performances, 5)},
            {"T1.syx", rawBank(Kind::Patterns, 6)},
            {"T2.syx", rawBank(Kind::Patterns, 7)}};
}

// The text of the first checked file item of a menu tree, "" when none is checked.
std::string checkedItem(const IPopupMenu* menu)
{
    for (int i = 0; menu && i < menu->GetNItems(); ++i) {
        const IPopupMenuItem* item = menu->GetItem(i);
        if (item->GetSubmenu()) {
            const std::string inner = checkedItem(item->GetSubmenu());
            if (!inner.empty()) return inner;
        } else if (item->GetChecked()) {
            return item->GetText();
        }
    }
    return "";
}

struct Desk : gridtest::Grid {
    Desk() : Grid(library()) {}
    // One edit as the editor makes it: the value, then the dispatch.
    void edit(int id, double value)
    {
        plug->GetParam(id)->Set(value);
        plug->OnParamChange(id);
    }
    double value(int id) const { return plug->GetParam(id)->Value(); }
    bool shown(const char* layer) const { return plug->keptLayer(layer)->IsVisible(); }
    std::vector<std::string> shownMenus() const
    {
        std::vector<std::string> out;
        for (const char* name : kMenuLayers)
            if (shown(name)) out.push_back(name);
        return out;
    }
    std::string status1() const { return dispatchtest::Desk::text(plug->statusDisplay); }
    std::string status2() const { return dispatchtest::Desk::text(plug->valueDisplay); }
    std::string searchField() const { return plug->GetParam(kPatchSearchString)->CopyDisplayText(0); }
    // The pane's bank as the librarian lists it, and the name of its entry at slot.
    const PatchFile* bank(int pane) { return plug->libraryPaneBank(pane); }
    std::string entryName(int pane, int slot) { return bank(pane)->patches[size_t(slot)].name; }
    void showBanks(int upper, int lower)
    {
        show(upper, lower);
        plug->GetParam(kPatchSelectionListUpper)->Set(upper);
        plug->GetParam(kPatchSelectionListLower)->Set(lower);
    }
};

} // namespace

TEST(LibrarianDispatch, TriggersToggleTheirSwitchWhenPressedAndDispatchIt)
{
    const struct {
        int trigger, pressed;
        double progBank, library;           // before
        double progBankAfter, libraryAfter; // after
        bool libraryMode, progBankMode;
    } rows[] = {
        {kTriggerLibControl, 1, 1, 0, 0, 1, true, false},
        {kTriggerLibControl, 1, 0, 1, 0, 0, false, false},
        {kTriggerProgControl, 1, 0, 1, 1, 0, false, true},
        {kTriggerProgControl, 1, 1, 0, 0, 0, false, false}, // off: the library switch stays off
        {kTriggerProgControl, 0, 0, 1, 0, 1, true, false},  // released: nothing
    };
    Desk d;
    for (const auto& r : rows) {
        d.plug->GetParam(kControlProgBank)->Set(r.progBank);
        d.plug->GetParam(kControlLibrary)->Set(r.library);
        d.plug->libraryControlMode = r.library == 1.0;
        d.plug->progBankMode = r.progBank == 1.0;
        d.edit(r.trigger, r.pressed);
        const std::string at = std::to_string(r.trigger) + " " + std::to_string(r.progBank);
        EXPECT_EQ(d.value(kControlProgBank), r.progBankAfter) << at;
        EXPECT_EQ(d.value(kControlLibrary), r.libraryAfter) << at;
        EXPECT_EQ(d.plug->libraryControlMode, r.libraryMode) << at;
        EXPECT_EQ(d.plug->progBankMode, r.progBankMode) << at;
        if (r.pressed) {
            // On screen: the library switch's control shows its parameter; the header's menus
            // follow, the bank-number menu shown outside library-control mode.
            EXPECT_EQ(d.plug->firstControl(kControlLibrary)->GetValue(), r.libraryAfter) << at;
            EXPECT_EQ(d.shown("BANKNUMBERMENUPROGRAMS"), !r.libraryMode) << at;
        }
    }
}

TEST(LibrarianDispatch, BankStepsWrapRoundThePaneListAndMoveThatPaneAlone)
{
    const struct {
        int id, value, dataType;
        bool unsaved;
        int upper, lower;           // before
        int upperAfter, lowerAfter; // after
        const char* status;
    } rows[] = {
        {kLibUpperNextBank, 1, 0, false, 2, 0, 0, 0, ""},
        {kLibUpperPreviousBank, 1, 0, false, 0, 1, 2, 1, ""},
        {kLibLowerPreviousBank, 1, 0, false, 1, 0, 1, 2, ""},
        {kLibLowerNextBank, 1, 0, false, 0, 1, 0, 2, ""},
        {kLibUpperNextBank, 1, 1, false, 0, 0, 1, 0, ""},
        {kLibLowerNextBank, 1, 2, false, 0, 1, 0, 0, ""},
        {kLibUpperNextBank, 1, 0, true, 0, 0, 0, 0, "Save bank or Discard changes!"},
        {kLibLowerNextBank, 1, 0, true, 0, 0, 0, 1, ""},
        {kLibUpperNextBank, 0, 0, false, 0, 0, 0, 0, ""},
    };
    for (const auto& r : rows) {
        Desk d;
        d.edit(kDatatype, r.dataType);
        d.showBanks(r.upper, r.lower);
        d.plug->GetParam(kBankEditUnsaved)->Set(r.unsaved ? 1.0 : 0.0);
        d.plug->showStatus("");
        const std::string before[] = {d.grid().cellText(kUpper, 0), d.grid().cellText(kLower, 0)};
        d.edit(r.id, r.value);
        const std::string at = std::to_string(r.id) + " type " + std::to_string(r.dataType) + " from " +
                               std::to_string(r.upper) + "/" + std::to_string(r.lower);
        EXPECT_EQ(d.lib().upperFileIndex, r.upperAfter) << at;
        EXPECT_EQ(d.lib().lowerFileIndex, r.lowerAfter) << at;
        EXPECT_EQ(d.status1(), r.status) << at;
        const bool upperMoved = r.upperAfter != r.upper, lowerMoved = r.lowerAfter != r.lower;
        for (int pane : {0, 1}) {
            const bool moved = pane == 0 ? upperMoved : lowerMoved;
            const auto cellPane = pane == 0 ? kUpper : kLower;
            if (!moved) {
                EXPECT_EQ(d.grid().cellText(cellPane, 0), before[pane]) << at << " pane " << pane;
                continue;
            }
            // The moved pane: its column, bank list, remembered pair and folder menu name the bank.
            EXPECT_EQ(d.grid().cellText(cellPane, 0), d.entryName(pane, 0)) << at;
            EXPECT_EQ(d.value(pane == 0 ? kPatchSelectionListUpper : kPatchSelectionListLower),
                      pane == 0 ? r.upperAfter : r.lowerAfter)
                << at;
            const FolderPopupMenu* menus[2][3] = {
                {d.plug->mLeftPatchMenu, d.plug->mLeftPerfMenu, d.plug->mLeftPatternMenu},
                {d.plug->mRightPatchMenu, d.plug->mRightPerfMenu, d.plug->mRightPatternMenu}};
            const FolderPopupMenu* menu = menus[pane][r.dataType];
            EXPECT_EQ((*d.plug).*menu->row().fileName, d.bank(pane)->fileName) << at;
            EXPECT_EQ(checkedItem(menu->menus()->rootMenu), d.bank(pane)->fileName) << at;
        }
    }
}

TEST(LibrarianDispatch, APartsBankMovesTheUpperPaneHeldToTheList)
{
    const struct {
        int value, upper;
    } rows[] = {{1, 1}, {2, 2}, {9, 2}, {-4, 0}};
    Desk d;
    for (const auto& r : rows) {
        d.showBanks(0, 1);
        d.edit(kCurrentPatchBank + 3, r.value);
        EXPECT_EQ(d.lib().upperFileIndex, r.upper) << r.value;
        EXPECT_EQ(d.value(kPatchSelectionListUpper), r.upper) << r.value;
        EXPECT_EQ(d.lib().lowerFileIndex, 1) << r.value;
        EXPECT_EQ(d.grid().cellText(kUpper, 0), d.entryName(0, 0)) << r.value;
    }
}

TEST(LibrarianDispatch, SearchTextsGiveTheirMessagesAndTheResultsFillTheLowerPane)
{
    const struct {
        const char* text;
        const char* field;
        const char* status1;
        const char* status2;
        bool searching;
        bool results;
    } rows[] = {
        {"", "search...", "", "", false, false},
        {"a", "search...", "Enter 2 digits or more!", "", true, false},
        {"xx", "search...", "No results - Try another keyword!", "Tip: Note that letter size matters..", true, false},
        {"bass", "search...", "No results - Try another keyword!", "Tip: Note that letter size matters..", true, false},
        {"Bass", "Bass", "", "", true, true},
    };
    for (const auto& r : rows) {
        Desk d;
        d.edit(kMainTab, 1);
        d.edit(kPatchSearch, 1);
        d.plug->showStatus("");
        d.plug->showStatus2("");
        // The field hands a typed text over twice.
        d.plug->GetParam(kPatchSearchString)->SetDisplayText(0, r.text);
        d.edit(kPatchSearchString, 1);
        d.edit(kPatchSearchString, 0);
        EXPECT_EQ(d.searchField(), r.field) << r.text;
        EXPECT_EQ(d.status1(), r.status1) << r.text;
        EXPECT_EQ(d.status2(), r.status2) << r.text;
        EXPECT_EQ(d.plug->searchListShown, r.searching) << r.text;
        EXPECT_EQ(d.shown("categoryLimit"), !r.searching) << r.text;
        if (!r.results) continue;
        EXPECT_EQ(d.plug->GetParam(kPatchSelectionListLower)->CopyDisplayText(0), "Search Results 1");
        EXPECT_EQ(d.grid().cellText(kLower, 0).substr(0, 6), "Bass 5");
        EXPECT_EQ(d.grid().cellText(kLower, 1).substr(0, 7), "Bass 70");
        EXPECT_EQ(d.shownMenus(), (std::vector<std::string>{"UPPERPOPUPMENU", "RightSearchPopupMenu"}));

        // Search off: the library strip and the program banks come back.
        d.edit(kPatchSearch, 0);
        EXPECT_FALSE(d.plug->searchListShown);
        EXPECT_TRUE(d.shown("categoryLimit"));
        EXPECT_FALSE(d.shown("searchField"));
        EXPECT_EQ(d.grid().cellText(kLower, 0), d.lib().singleFiles[0]->patches[0].name);
        EXPECT_EQ(d.plug->GetParam(kPatchSelectionListLower)->CopyDisplayText(0), "A.syx");
        EXPECT_EQ(d.shownMenus(), (std::vector<std::string>{"UPPERPOPUPMENU", "LOWERPOPUPMENU"}));
    }
}

TEST(LibrarianDispatch, TheCategoryViewSwitchesTheLowerPaneBetweenCategoryAndProgramBanks)
{
    Desk d;
    d.edit(kMainTab, 1);
    d.edit(kCategorySelection, 1);
    EXPECT_TRUE(d.plug->categoryListShown);
    EXPECT_EQ(d.grid().cellText(kLower, 0), d.lib().categoryFiles[0]->patches[0].name);
    EXPECT_EQ(d.plug->GetParam(kPatchSelectionListLower)->CopyDisplayText(0), d.lib().categoryFiles[0]->fileName);
    EXPECT_EQ(d.shownMenus(), (std::vector<std::string>{"UPPERPOPUPMENU", "RightPatchPopupMenu"}));
    d.edit(kCategorySelection, 0);
    EXPECT_FALSE(d.plug->categoryListShown);
    EXPECT_EQ(d.grid().cellText(kLower, 0), d.lib().singleFiles[0]->patches[0].name);
    EXPECT_EQ(d.shownMenus(), (std::vector<std::string>{"UPPERPOPUPMENU", "LOWERPOPUPMENU"}));
}

TEST(LibrarianDispatch, TheDataTypeShowsItsMenusAndSetsTheMode)
{
    const struct {
        int value;
        bool category, search;
        std::vector<std::string> menus;
        bool performance, pattern, searchGrayed;
        int kind;
    } rows[] = {
        {0, false, false, {"UPPERPOPUPMENU", "LOWERPOPUPMENU"}, false, false, false, 0},
        {0, true, false, {"UPPERPOPUPMENU", "RightPatchPopupMenu"}, false, false, true, 0},
        {0, false, true, {"UPPERPOPUPMENU", "RightSearchPopupMenu"}, false, false, false, 0},
        {1, false, false, {"LeftPerformancePopupMenu", "RightPerformancePopupMenu"}, true, false, true, 1},
        {2, false, false, {"LeftPatternPopupMenu", "RightPatternPopupMenu"}, false, true, true, 2},
        {5, false, false, {"LeftPatternPopupMenu", "RightPatternPopupMenu"}, false, true, true, 2},
    };
    for (const auto& r : rows) {
        Desk d;
        d.edit(kMainTab, 1);
        d.edit(kDatatype, r.value == 1 ? 2 : 1); // from another type
        d.plug->categoryListShown = r.category;
        d.plug->searchListShown = r.search;
        // In library-control mode the menu names put the part's program into the upper slot.
        d.plug->libraryControlMode = true;
        d.plug->GetParam(kMultiPartPatch)->Set(9);
        d.plug->GetParam(kMultiPatch)->Set(9);
        d.grid().upperSelection = 0;
        d.edit(kDatatype, r.value);
        const std::string at = std::to_string(r.value) + (r.category ? " category" : "") + (r.search ? " search" : "");
        EXPECT_EQ(d.shownMenus(), r.menus) << at;
        EXPECT_EQ(d.plug->performanceMode, r.performance) << at;
        EXPECT_EQ(d.plug->patternMode, r.pattern) << at;
        EXPECT_EQ(d.plug->patchSearchControl->IsGrayed(), r.searchGrayed) << at;
        EXPECT_EQ(d.lib().currentKind, r.kind) << at;
        EXPECT_EQ(d.grid().upperSelection, r.value <= 1 ? 9 : 0) << at;
        // The bank-edit menu is filled for the new type.
        EXPECT_EQ(int(d.plug->bankEditMenu->menus()->type), r.kind) << at;
        const std::vector<PatchFile*>& list = r.kind == 1   ? d.lib().multiFiles
                                              : r.kind == 2 ? d.lib().patternFiles
                                                            : d.lib().singleFiles;
        EXPECT_EQ(d.grid().cellText(kUpper, 0), list[0]->patches[0].name) << at;
    }
}

TEST(LibrarianDispatch, RefreshFindsAFileAddedOnDiskInEachMode)
{
    const struct {
        int dataType;
        bool category;
        Kind kind;
        int list; // of the added bank: 0 programs, 1 performances, 2 patterns
    } rows[] = {
        {0, false, Kind::Programs, 0},
        {0, true, Kind::Programs, 0},
        {1, false, Kind::Performances, 1},
        {2, false, Kind::Patterns, 2},
    };
    for (const auto& r : rows) {
        Desk d;
        d.edit(kDatatype, r.dataType);
        if (r.category) d.edit(kCategorySelection, 1);
        testsupport::writeFile(d.dir.file("Patches/New.syx"), librarianmode::rawBank(r.kind, 9));
        d.edit(kRefreshFolders, 1);
        const std::vector<PatchFile*>& list = r.list == 1   ? d.lib().multiFiles
                                              : r.list == 2 ? d.lib().patternFiles
                                                            : d.lib().singleFiles;
        const auto names = librarianmode::fileNames(list);
        EXPECT_EQ(std::count(names.begin(), names.end(), "New.syx"), 1) << r.dataType;
        EXPECT_EQ(d.lib().currentKind, r.list) << r.dataType;
        // The category view stays on; otherwise the upper bank list names the file.
        EXPECT_EQ(d.plug->categoryListShown, r.category);
        const IParam* upperList = d.plug->GetParam(kPatchSelectionListUpper);
        if (r.category) {
            EXPECT_EQ(d.grid().cellText(kLower, 0), d.lib().categoryFiles[0]->patches[0].name);
        } else {
            std::vector<std::string> texts;
            for (int i = 0; i < upperList->GetNDisplayTexts(); ++i) texts.push_back(upperList->CopyDisplayText(i));
            EXPECT_EQ(texts, names) << r.dataType;
        }
    }
}

TEST(LibrarianDispatch, DiscardTakesTheShownBanksUpAgainFromDisk)
{
    Desk d;
    d.edit(kMainTab, 1);
    d.showBanks(1, 2);
    const std::string original = d.entryName(0, 3);
    d.drag(d.at(kLower, 0), d.at(kUpper, 3));
    ASSERT_EQ(d.grid().cellText(kUpper, 3), d.entryName(1, 0));
    ASSERT_EQ(d.value(kBankEditUnsaved), 1.0);
    const size_t indicatorCalls = d.plug->copy(d.plug->indicator).size();

    d.edit(kDiscardBankData, 1);
    EXPECT_EQ(d.grid().cellText(kUpper, 3), original);
    EXPECT_EQ(d.entryName(0, 3), original);
    EXPECT_EQ(d.value(kBankEditUnsaved), 0.0);
    EXPECT_EQ(d.lib().upperFileIndex, 1);
    EXPECT_EQ(d.lib().lowerFileIndex, 2);
    EXPECT_FALSE(d.shown("discardChangesLayerRight"));
    EXPECT_TRUE(d.shown("keepBankOpenLayer"));
    EXPECT_TRUE(d.shown("UPPERPOPUPMENU"));
    const auto calls = d.plug->copy(d.plug->indicator);
    ASSERT_GE(calls.size(), indicatorCalls + 2);
    EXPECT_EQ(calls[indicatorCalls], Bytes{1});
    EXPECT_EQ(calls.back(), Bytes{0});
}

TEST(LibrarianDispatch, ARenameNamesTheEntryAndItsMessagesAndSurvivesASaveAndRescan)
{
    const struct {
        const char* typed;
        std::string stored;
    } rows[] = {
        {"Fat Bass", "Fat Bass        "},
        {"A name longer than sixteen", "A name longer th"},
        {"Caf\xC3\xA9 Lead", "Caf   Lead      "}, // the two bytes of the letter become blanks
    };
    for (const auto& r : rows) {
        Desk d;
        d.showBanks(1, 0);
        d.click(d.at(kUpper, 4));
        d.grid().renameSlot(0, 0);
        ASSERT_FALSE(d.plug->renameIdle);
        d.plug->GetParam(kPatchRename)->SetDisplayText(0, r.typed);
        d.edit(kPatchRename, 1);
        EXPECT_TRUE(d.plug->renameIdle) << r.typed;
        EXPECT_FALSE(d.shown("patchRename")) << r.typed;
        EXPECT_EQ(d.value(kBankEditUnsaved), 1.0) << r.typed;
        EXPECT_EQ(d.grid().cellText(kUpper, 4), r.stored) << r.typed;
        const SysexBytes& message = d.bank(0)->patches[4].messages[0].bytes;
        EXPECT_EQ(std::string(message.begin() + 10, message.begin() + 26), r.stored) << r.typed;

        // The second hand-over of the same text finds no rename open: nothing changes.
        d.plug->GetParam(kPatchRename)->SetDisplayText(0, "Other");
        d.edit(kPatchRename, 0);
        EXPECT_EQ(d.grid().cellText(kUpper, 4), r.stored) << r.typed;

        ASSERT_TRUE(d.lib().saveEditedPatch(d.dir.file("Patches/B.syx"), "B.syx"));
        // Saved as the bank edit menu saves it: nothing is left unsaved, so the rescan runs.
        d.plug->SetLibrarianStatusSaved();
        d.edit(kRefreshFolders, 1);
        EXPECT_EQ(d.lib().singleFiles[1]->patches[4].name, r.stored) << r.typed;
    }
}

TEST(LibrarianDispatch, ARenameOfAPatternWritesItsNameField)
{
    Desk d;
    d.edit(kDatatype, 2);
    d.click(d.at(kUpper, 0));
    d.grid().renameSlot(0, 0);
    d.plug->GetParam(kPatchRename)->SetDisplayText(0, "Groove");
    d.edit(kPatchRename, 1);
    const SysexBytes& message = d.bank(0)->patches[0].messages[0].bytes;
    ASSERT_EQ(message.size(), 220u);
    EXPECT_EQ(std::string(message.begin() + 203, message.begin() + 219), "Groove          ");
    EXPECT_EQ(message[219], 0xF7);
}

TEST(LibrarianDispatch, TheLibrarianPageFillsTheBankEditMenuForTheDataType)
{
    using Type = BankEditPopupMenu::DataType;
    Desk d;
    d.plug->patternMode = true;
    const auto before = d.plug->bankEditMenu->menus();
    d.edit(kMainTab, 2);
    EXPECT_EQ(d.plug->bankEditMenu->menus(), before);
    d.edit(kMainTab, 1);
    EXPECT_NE(d.plug->bankEditMenu->menus(), before);
    EXPECT_EQ(d.plug->bankEditMenu->menus()->type, Type::Patterns);
}
