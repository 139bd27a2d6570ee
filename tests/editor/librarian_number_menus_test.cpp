// The program-number and bank-number menus of the configured controller, answered through the
// open editor: items, checks, the messages and jobs a choice starts, and library-control mode.
#include "Project_Source/src/LibrarianBankEditMenu.h"
#include "Project_Source/src/LibrarianBankNameMenus.h"
#include "Project_Source/src/LibrarianFolderMenus.h"
#include "Project_Source/src/LibrarianNumberMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "librarian_menus_support.h"

using namespace qorid;
using menutest::MenuDesk;
using Shorts = std::vector<std::string>;
using Job = MenuDesk::Job;

namespace
{

// A program bank of count entries named "Entry n", each one message, listed last; its index.
int addNamedBank(MenuDesk& d, std::vector<PatchFile*>& list, int count)
{
    auto* bank = new PatchFile;
    bank->patches.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        bank->patches[size_t(i)].name = "Entry " + std::to_string(i);
        bank->patches[size_t(i)].messages.emplace_back(SysexBytes(std::vector<uint8_t>{0xF0, 0xF7}));
    }
    std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
    list.push_back(d.lib().adoptBank(bank));
    return int(list.size()) - 1;
}

std::vector<std::string> itemsOf(const ProgramNumberPopupMenu& menu)
{
    std::vector<std::string> items;
    auto set = menu.menus();
    for (const IPopupMenu& group : set->groupMenus)
        for (int i = 0; i < group.GetNItems(); ++i) items.push_back(group.GetItemText(i));
    return items;
}

} // namespace

TEST(ProgramNumberMenu, ProgramsComeInThirteenGroupsOfSoundNamesWithTheProgramChecked)
{
    for (bool performance : {false, true}) {
        MenuDesk d;
        d.plug->performanceMode = performance;
        ProgramNumberPopupMenu& menu = *d.plug->programNumberMenu;
        menu.refreshPatchNames(nullptr, nullptr, 57);
        const std::vector<std::string> items = itemsOf(menu);
        ASSERT_EQ(items.size(), 128u);
        EXPECT_EQ(items.front(), "Sound 000");
        EXPECT_EQ(items[57], "Sound 057");
        EXPECT_EQ(items.back(), "Sound 127");
        auto set = menu.menus();
        EXPECT_EQ(std::string(set->rootMenu.GetItemText(0)) + " " + set->rootMenu.GetItemText(10) + " " +
                      set->rootMenu.GetItemText(12),
                  "00-09 100-109 120-127");
        EXPECT_EQ(set->groupMenus[12].GetNItems(), 8);
        EXPECT_TRUE(set->groupMenus[5].IsItemChecked(7));
        menu.refreshPatchNames(nullptr, nullptr, 128);
        int checks = 0;
        for (const IPopupMenu& group : menu.menus()->groupMenus)
            for (int i = 0; i < group.GetNItems(); ++i) checks += group.IsItemChecked(i);
        EXPECT_EQ(checks, 0) << "no program outside 0..127 is checked";
    }
}

TEST(ProgramNumberMenu, InLibraryControlModeTheItemsNameTheUpperBanksEntries)
{
    const struct {
        bool performance;
        int count;          // entries of the bank shown; 0: no bank at the list's value
        const char* at100;  // item 100
    } cases[] = {{false, 128, "Entry 100"}, {true, 128, "Entry 100"}, {false, 64, ""}, {false, 0, ""}};
    for (const auto& c : cases) {
        MenuDesk d;
        d.plug->libraryControlMode = true;
        d.plug->performanceMode = c.performance;
        std::vector<PatchFile*>& list = c.performance ? d.lib().multiFiles : d.lib().singleFiles;
        const int at = c.count ? addNamedBank(d, list, c.count) : int(list.size()) + 3;
        IParam* upper = d.plug->GetParam(kPatchSelectionListUpper);
        upper->InitEnum("Bank Selection List 1", 0, at + 1);
        upper->Set(at);
        d.plug->programNumberMenu->refreshPatchNames(nullptr, nullptr, 0);
        const std::vector<std::string> items = itemsOf(*d.plug->programNumberMenu);
        ASSERT_EQ(items.size(), 128u);
        EXPECT_EQ(items[100], c.at100) << c.count;
        EXPECT_EQ(items[0], c.count ? "Entry 0" : "") << c.count;
    }
}

TEST(ProgramNumberMenu, AChoiceSendsBankAndProgramThenRequestsOrSelectsThePart)
{
    const struct {
        const char* what;
        bool progBank, conflict, busy;
        Shorts sent;
        std::vector<Job> jobs;
        bool expectingAfter;
    } cases[] = {
        {"request", true, false, false, {"B2 7B 00", "B2 00 00", "B2 20 05", "C2 7B 00"}, {{kJobRequestPart, true}},
         true},
        {"part select", false, false, false,
         {"B2 7B 00", "B2 00 00", "B2 20 05", "C2 7B 00", "BF 62 71", "BF 06 4E"}, {}, false},
        {"bank conflict", true, true, false, {}, {}, false},
        {"busy job thread", true, false, true, {"B2 7B 00", "B2 00 00", "B2 20 05", "C2 7B 00"}, {}, false},
    };
    for (const auto& c : cases) {
        MenuDesk d;
        d.plug->selectedPart = 2;
        d.plug->progBankMode = c.progBank;
        if (c.conflict) {
            d.plug->GetParam(kMultiPartStatus + 0)->Set(1.0);
            d.plug->knownParts.set(0, 0, 123);
        }
        if (c.busy) {
            ASSERT_TRUE(d.plug->midiManager->sender->claim(kJobThread));
        }
        d.plug->takeShorts();
        // A refused choice leaves the part on the program it plays.
        const int kept = c.conflict ? int(d.value(kMultiPartPatch + 2)) : 123;
        if (c.conflict) {
            ASSERT_NE(kept, 123) << "the refusal would not show";
        }
        d.answer({12, 3});
        d.plug->programNumberMenu->OnMouseDown(1190, 70, nullptr);
        if (c.busy) d.plug->midiManager->sender->release(kJobThread, 2);
        EXPECT_EQ(d.plug->programNumberMenu->currentProgram, kept) << c.what;
        EXPECT_EQ(d.value(kMultiPartPatch + 2), kept) << c.what;
        EXPECT_EQ(d.plug->takeShorts(), c.sent) << c.what;
        EXPECT_EQ(d.takeJobs(), c.jobs) << c.what;
        if (c.jobs.empty()) {
            EXPECT_EQ(d.plug->midiManager->expectingEditDump.load(), false) << c.what;
        }
        EXPECT_EQ(d.shown("bankPatchConflictWindow"), c.conflict) << c.what;
        if (c.busy) {
            EXPECT_EQ(d.status1(), "Not taken: a transfer was still running!");
        }
        EXPECT_TRUE(d.plug->programNumberMenu->menus()->groupMenus[size_t(kept / 10)].IsItemChecked(kept % 10))
            << c.what;
    }
}

TEST(ProgramNumberMenu, InLibraryControlModeAChoiceSendsTheUpperSlotsEntry)
{
    MenuDesk d;
    d.plug->libraryControlMode = true;
    d.plug->selectedPart = 1;
    const int at = addNamedBank(d, d.lib().singleFiles, 128);
    IParam* upper = d.plug->GetParam(kPatchSelectionListUpper);
    upper->InitEnum("Bank Selection List 1", 0, at + 1);
    upper->Set(at);
    d.lib().upperFileIndex = at;
    d.plug->programNumberMenu->refreshPatchNames(nullptr, nullptr, 0);
    d.answer({12, 3});
    d.plug->takeShorts();
    d.plug->programNumberMenu->OnMouseDown(1190, 70, nullptr);
    EXPECT_EQ(d.lib().upperSlot, 123);
    ASSERT_NE(d.plug->librarianView, nullptr);
    EXPECT_EQ(d.plug->librarianView->upperSelection.load(), 123);
    EXPECT_EQ(d.plug->librarianView->currentSlot.load(), 123);
    EXPECT_EQ(d.takeJobs(), (std::vector<Job>{{kJobSendPatchFromLibrarian, false}}));
    const SenderJobRecord& r = d.plug->midiManager->sender->records[kJobThread];
    ASSERT_NE(r.patch, nullptr);
    EXPECT_EQ(r.patch->name, "Entry 123");
    EXPECT_EQ(r.part, 1);
    EXPECT_EQ(d.pauses.front(), 10) << "a pause before the send";
    EXPECT_NE(d.lastMenu().find("Entry 123"), std::string::npos) << d.lastMenu();
}

TEST(ProgramNumberMenu, ADismissedMenuChangesNothing)
{
    MenuDesk d;
    d.plug->takeShorts();
    d.answer({});
    d.plug->programNumberMenu->OnMouseDown(1190, 70, nullptr);
    EXPECT_TRUE(d.plug->takeShorts().empty());
    EXPECT_TRUE(d.takeJobs().empty());
    EXPECT_TRUE(d.plug->programNumberMenu->menus()->groupMenus[0].IsItemChecked(0)) << "the start's check stays";
}

TEST(BankNumberMenu, EightProgramBanksCheckedByNumberOrFourPerformanceBanksUnchecked)
{
    MenuDesk d;
    BankNumberPopupMenu& menu = *d.plug->bankNumberMenu;
    const struct {
        bool performance;
        int bank;
        bool result;
        std::string line; // the items, "*" before a checked one
    } cases[] = {
        {false, 2, true,
         "Bank A (RAM)|Bank B (RAM)|*Bank C (RAM TR)|Bank D (RAM TR)|Bank E (RAM TR Pro)|Bank F (RAM TR Pro)|"
         "Bank G (RAM TR Pro)|Bank H (RAM TR Pro)"},
        {false, 8, true,
         "Bank A (RAM)|Bank B (RAM)|Bank C (RAM TR)|Bank D (RAM TR)|Bank E (RAM TR Pro)|Bank F (RAM TR Pro)|"
         "Bank G (RAM TR Pro)|Bank H (RAM TR Pro)"},
        {false, -1, true,
         "Bank A (RAM)|Bank B (RAM)|Bank C (RAM TR)|Bank D (RAM TR)|Bank E (RAM TR Pro)|Bank F (RAM TR Pro)|"
         "Bank G (RAM TR Pro)|Bank H (RAM TR Pro)"},
        {true, 1, false, "Bank A (RAM)|Bank B (RAM TR)|Bank C (RAM TR Pro)|Bank D (RAM TR Pro)"},
    };
    for (const auto& c : cases) {
        d.plug->performanceMode = c.performance;
        EXPECT_EQ(menu.refreshPatchNames(nullptr, nullptr, c.bank), c.result);
        std::string line;
        auto root = menu.menus();
        for (int i = 0; i < root->GetNItems(); ++i)
            line += std::string(i ? "|" : "") + (root->IsItemChecked(i) ? "*" : "") + root->GetItemText(i);
        EXPECT_EQ(line, c.line) << c.bank;
    }
}

TEST(BankNumberMenu, AChoiceSendsTheBankAndInProgramModeRequestsThePart)
{
    const struct {
        const char* what;
        bool performance;
        int choice;
        Shorts sent;
        std::vector<Job> jobs;
        int param;
        bool conflict = false; // enabled part 0 is known on bank D and part 2's program
    } cases[] = {
        {"program mode, bank D", false, 3, {"B2 7B 00", "B2 00 00", "B2 20 08", "C2 00 00"}, {{kJobRequestPart, true}},
         kMultiPartBank + 2},
        {"program mode, bank H", false, 7, {"B2 7B 00", "B2 00 00", "B2 20 0C", "C2 00 00"}, {{kJobRequestPart, true}},
         kMultiPartBank + 2},
        {"performance mode, bank C", true, 2, {"BF 7B 00", "BF 00 00", "BF 20 62", "CF 00 00"}, {}, kMultiBank},
        {"program mode, bank D refused", false, 3, {}, {}, kMultiPartBank + 2, true},
    };
    for (const auto& c : cases) {
        MenuDesk d;
        d.plug->selectedPart = 2;
        d.plug->performanceMode = c.performance;
        d.plug->bankNumberMenu->refreshPatchNames(nullptr, nullptr, 0);
        if (c.conflict) {
            d.plug->GetParam(kMultiPartStatus + 0)->Set(1.0);
            d.plug->knownParts.set(0, c.choice, int(d.value(kMultiPartPatch + 2)));
        }
        const int kept = c.conflict ? int(d.value(c.param)) : c.choice;
        if (c.conflict) {
            ASSERT_NE(kept, c.choice) << "the refusal would not show";
        }
        d.plug->takeShorts();
        d.answer({c.choice});
        d.plug->bankNumberMenu->OnMouseDown(1150, 70, nullptr);
        EXPECT_EQ(d.plug->bankNumberMenu->currentBank, kept) << c.what;
        EXPECT_EQ(d.value(c.param), kept) << c.what;
        EXPECT_EQ(d.plug->takeShorts(), c.sent) << c.what;
        EXPECT_EQ(d.takeJobs(), c.jobs) << c.what;
        EXPECT_TRUE(d.plug->bankNumberMenu->menus()->IsItemChecked(kept)) << c.what;
        EXPECT_EQ(d.shown("bankPatchConflictWindow"), c.conflict) << c.what;
    }
}

// The items stand in value order from 0, so the last one is the highest value a menu offers:
// choosing it must leave that value in the parameter, not the parameter's own highest.
TEST(HeaderMenus, TheLastItemOfEachMenuIsAValueItsParameterHolds)
{
    for (bool performance : {false, true}) {
        MenuDesk d;
        d.plug->selectedPart = 2;
        d.plug->performanceMode = performance;
        d.plug->programNumberMenu->refreshPatchNames(nullptr, nullptr, 0);
        d.plug->bankNumberMenu->refreshPatchNames(nullptr, nullptr, 0);
        const struct {
            IControl* menu;
            int param;
        } menus[] = {{d.plug->programNumberMenu, performance ? int(kMultiPatch) : kMultiPartPatch + 2},
                     {d.plug->bankNumberMenu, performance ? int(kMultiBank) : kMultiPartBank + 2}};
        for (const auto& m : menus) {
            d.answer({});
            m.menu->OnMouseDown(m.menu->GetRECT()->L + 1, m.menu->GetRECT()->T + 1, nullptr);
            ASSERT_FALSE(d.presenter.menus.empty());
            const cf_standin::MenuShown shown = d.presenter.menus.back();
            int values = 0;
            for (const cf_standin::MenuItemShown& item : shown.items)
                values += item.hasSubmenu ? int(item.submenu.size()) : 1;
            std::vector<int> last = {int(shown.items.size()) - 1};
            if (shown.items.back().hasSubmenu) last.push_back(int(shown.items.back().submenu.size()) - 1);
            d.answer(last);
            m.menu->OnMouseDown(m.menu->GetRECT()->L + 1, m.menu->GetRECT()->T + 1, nullptr);
            EXPECT_EQ(d.value(m.param), values - 1) << cf_standin::MenuLine(shown);
        }
    }
}

TEST(LibrarianMenuLayers, EachMenuIsAloneInItsLayerAtItsScaledPlaceShownOrHidden)
{
    const struct {
        int id;
        const char* name;
        IRECT rect;
        bool shown;
    } rows[] = {
        {70, "UPPERPOPUPMENU", {379, 188, 795, 207}, false},
        {71, "LOWERPOPUPMENU", {379, 461, 795, 480}, false},
        {72, "LeftPerformancePopupMenu", {379, 188, 795, 207}, false},
        {73, "RightPerformancePopupMenu", {379, 461, 795, 480}, false},
        {74, "BANKEDITMENU", {824, 187, 901, 205}, false},
        {75, "RightPatchPopupMenu", {379, 461, 795, 480}, false},
        {76, "PROGRAMNUMBERMENU", {1184, 60, 1229, 84}, true},
        {77, "BANKNUMBERMENUPROGRAMS", {1142, 60, 1180, 84}, true},
        {78, "RightSearchPopupMenu", {394, 461, 795, 480}, false},
        {79, "PERFBANKNAMEMENUPROGRAMS", {1142, 60, 1180, 84}, false},
        {80, "PROGBANKNAMEMENUPROGRAMS", {1142, 60, 1180, 84}, false},
        {81, "LeftPatternPopupMenu", {379, 188, 795, 207}, false},
        {82, "RightPatternPopupMenu", {379, 461, 795, 480}, false},
    };
    for (const char* size : {"normal", "large"}) {
        const double scale = std::string(size) == "large" ? 1.15 : 1.0;
        MenuDesk d((std::string("x\n") + size + "\nyes\n\n\n").c_str());
        IGraphics* g = d.plug->GetGUI();
        int last = -1;
        for (const auto& r : rows) {
            ControlLayer* layer = d.plug->keptLayer(r.name);
            ASSERT_NE(layer, nullptr) << r.name;
            EXPECT_EQ(layer->id, r.id) << r.name;
            EXPECT_EQ(layer->IsVisible(), r.shown) << r.name;
            ASSERT_EQ(layer->controls.GetSize(), 1) << r.name;
            const IRECT at = *layer->controls.Get(0)->GetRECT();
            EXPECT_EQ(std::vector<int>({at.L, at.T, at.R, at.B}),
                      std::vector<int>({int(r.rect.L * scale), int(r.rect.T * scale), int(r.rect.R * scale),
                                        int(r.rect.B * scale)}))
                << r.name << " " << size;
            int position = -1;
            for (int i = 0; i < g->NLayers(); ++i)
                if (g->GetLayer(i) == layer) position = i;
            EXPECT_GT(position, last) << r.name << " in table order";
            last = position;
        }
    }
    MenuDesk d;
    EXPECT_EQ(d.plug->keptLayer("UPPERPOPUPMENU")->controls.Get(0), d.plug->mLeftPatchMenu);
    EXPECT_EQ(d.plug->keptLayer("RightPatchPopupMenu")->controls.Get(0), d.plug->mRightCategoryMenu);
    EXPECT_EQ(d.plug->keptLayer("BANKEDITMENU")->controls.Get(0), d.plug->bankEditMenu);
    EXPECT_EQ(d.plug->keptLayer("PERFBANKNAMEMENUPROGRAMS")->controls.Get(0), d.plug->perfBankNameMenu);
    EXPECT_EQ(d.plug->keptLayer("PROGBANKNAMEMENUPROGRAMS")->controls.Get(0), d.plug->progBankNameMenu);
}

TEST(LibrarianMenuLayers, ReceivedDataHidesTheUpperMenuOfTheDataType)
{
    const struct {
        bool performance, pattern;
        const char* hidden;
    } cases[] = {{false, false, "UPPERPOPUPMENU"},
                 {true, false, "LeftPerformancePopupMenu"},
                 {false, true, "LeftPatternPopupMenu"}};
    for (const auto& c : cases) {
        MenuDesk d;
        d.plug->performanceMode = c.performance;
        d.plug->patternMode = c.pattern;
        for (const char* name : {"UPPERPOPUPMENU", "LeftPerformancePopupMenu", "LeftPatternPopupMenu"})
            d.plug->keptLayer(name)->Hide(false);
        d.plug->SetLibrarianStatusUnsaved(true);
        for (const char* name : {"UPPERPOPUPMENU", "LeftPerformancePopupMenu", "LeftPatternPopupMenu"})
            EXPECT_EQ(d.shown(name), std::string(name) != c.hidden) << name;
    }
}
