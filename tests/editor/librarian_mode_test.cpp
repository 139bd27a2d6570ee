// The controller's librarian operations over a generated library: the bank-list texts, the mode
// change and the import of patch files.
#include "Project_Source/src/LibrarianFolderMenus.h"
#include "Project_Source/src/LibrarianNumberMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/PatchFile.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "platform/CoreFoundation/CFPresenter.h"
#include "controller_editor_support.h"
#include "librarian_mode_support.h"
#include "support/bankgen.h"
#include "support/insynth.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace qorid;
using bankgen::Bytes;
using bankgen::Kind;
using editortest::Editor;
using librarianmode::fileNames;
using librarianmode::rawBank;

namespace
{

// Every bank-list parameter, in the order of a reset.
std::vector<int> allBankLists()
{
    std::vector<int> ids{kPatchSelectionListUpper, kPatchSelectionListLower};
    for (int p = 0; p < 8; ++p) {
        ids.push_back(kCurrentOpenPatchBankL + p);
        ids.push_back(kCurrentOpenPatchBankR + p);
    }
    ids.push_back(kCurrentOpenPerfBankL);
    ids.push_back(kCurrentOpenPerfBankR);
    return ids;
}

std::vector<std::string> textsOf(const IParam* param)
{
    std::vector<std::string> texts;
    for (int i = 0; i < param->GetNDisplayTexts(); ++i) texts.push_back(param->GetDisplayText(i));
    return texts;
}

const std::string kRenamedTail = " Because the filename was too long to fit in plug-in display!";

} // namespace

TEST(LibrarianMenus, TheRebuildShowsTheStartUpTextsOnEveryProgramListAndLogsEachShortNameOnce)
{
    const std::string p(47, 'P'), q(47, 'Q');
    const struct {
        std::string file, shown;
    } names[] = {
        // In the scan's byte order.
        {std::string(48, 'A') + ".syx", std::string(48, 'A') + ".syx"},   // 52: whole
        {std::string(49, 'B') + ".syx", std::string(47, 'B') + "~1.syx"}, // 53: cut
        {p + "1xxxxxxxx.SYX", p + "~1.syx"},
        {p + "2.syx", p + "2.syx"}, // a short name between does not restart the count
        {p + "3xxxxxxxx.mid", p + "~2.mid"},
        {q + "1zzzzzzzz.syx", q + "~1.syx"},
    };
    std::vector<std::pair<std::string, Bytes>> banks;
    for (uint32_t i = 0; i < std::size(names); ++i) banks.push_back({names[i].file, rawBank(Kind::Programs, i + 1)});
    Editor e(nullptr, true, banks);
    QOR& plug = *e.plug;
    std::vector<std::string> shown;
    for (const auto& n : names) shown.push_back(n.shown);
    ASSERT_EQ(textsOf(plug.GetParam(kPatchSelectionListUpper)), shown);

    for (int id : allBankLists()) plug.GetParam(id)->ResetDisplayTexts();
    const size_t logged = e.log().size();
    plug.rebuildBankListTexts(QOR::kBankListPrograms);
    for (int id : allBankLists()) {
        const bool fed = id != kCurrentOpenPerfBankL && id != kCurrentOpenPerfBankR;
        EXPECT_EQ(textsOf(plug.GetParam(id)), fed ? shown : std::vector<std::string>{}) << id;
    }
    std::vector<std::string> renamed;
    for (const auto& n : names)
        if (n.file != n.shown)
            renamed.push_back("PATCH LIBRARIAN: Filename " + n.file + " RENAMED TO " + n.shown + kRenamedTail);
    const std::vector<std::string> log = e.log();
    EXPECT_EQ(std::vector<std::string>(log.begin() + long(logged), log.end()), renamed);
}

// ---- import ----

namespace
{

struct Import : testing::Test {
    Import()
    {
        mkdir(source.path.c_str(), 0755);
        mOld = cf_standin::setPresenter(&script);
        e.plug->GetGUI()->OpenWindow(nullptr);
    }
    ~Import() override
    {
        e.plug->GetGUI()->CloseWindow();
        cf_standin::setPresenter(mOld);
    }
    // Imports the file the panel answers with (empty: cancel); what saveImportedFile answered.
    bool importAs(const std::string& answer, bool mid = false)
    {
        script.panelAnswers = {answer};
        return e.plug->saveImportedFile(mid);
    }
    std::string root() const { return e.dir.file("Patches"); }
    // The library root's files, in name order.
    std::vector<std::string> rootFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> newLog(size_t from) const
    {
        const std::vector<std::string> log = e.log();
        return std::vector<std::string>(log.begin() + long(std::min(from, log.size())), log.end());
    }

    testsupport::TempDir source;
    Editor e{nullptr, true, {{"Old.syx", rawBank(Kind::Programs, 1)}}};
    cf_standin::Presenter script;
    cf_standin::Presenter* mOld = nullptr;
};

} // namespace

TEST_F(Import, AChosenFileBecomesAByteExactCopyUnderAFreeNameInTheLibraryRoot)
{
    const Bytes bank = rawBank(Kind::Programs, 5), other = rawBank(Kind::Programs, 6);
    bankgen::writeFile(source.file("My Bank.syx"), bank);
    bankgen::writeFile(source.file("Empty.syx"), Bytes{});
    bankgen::writeFile(root() + "/Taken.syx", other);
    bankgen::writeFile(source.file("Taken.syx"), bank);
    const size_t logged = e.log().size();

    EXPECT_TRUE(importAs(source.file("My Bank.syx")));
    EXPECT_EQ(bankgen::readFile(root() + "/My Bank.syx"), bank);
    EXPECT_TRUE(importAs(source.file("Empty.syx")));
    EXPECT_EQ(bankgen::readFile(root() + "/Empty.syx"), Bytes{});
    // A name the library holds already: the old file stays, the copy takes the next free name.
    EXPECT_TRUE(importAs(source.file("Taken.syx")));
    EXPECT_EQ(bankgen::readFile(root() + "/Taken.syx"), other);
    EXPECT_EQ(bankgen::readFile(root() + "/Taken (2).syx"), bank);
    EXPECT_EQ(newLog(logged), std::vector<std::string>(3, "FILE IMPORTER: patch file copied to " + root()));

    // Only the kind asked for is offered, starting where the last panel ended.
    ASSERT_EQ(script.panels.size(), 3u);
    EXPECT_FALSE(script.panels[0].save);
    EXPECT_EQ(script.panels[0].fileTypes, std::vector<std::string>{"syx"});
    EXPECT_EQ(script.panels[1].directory, source.path + "/");
    importAs("", true);
    EXPECT_EQ(script.panels.back().fileTypes, std::vector<std::string>{"mid"});

    // Not rescanned: the library and the upper menu list only what the last scan found.
    EXPECT_EQ(fileNames(e.plug->patchLibrarian->singleFiles), std::vector<std::string>{"Old.syx"});
    const IPopupMenu* upper = e.plug->mLeftPatchMenu->menus()->rootMenu;
    ASSERT_EQ(upper->GetNItems(), 1);
    EXPECT_STREQ(upper->GetItemText(0), "Old.syx");
}

TEST_F(Import, ACancelOrAFailureLeavesTheLibraryAsItWasAndSaysWhy)
{
    const Bytes bank = rawBank(Kind::Programs, 5);
    bankgen::writeFile(source.file("Big.syx"), bank);
    const std::vector<std::string> before = rootFiles();
    const size_t logged = e.log().size();

    EXPECT_FALSE(importAs(""));
    EXPECT_TRUE(newLog(logged).empty());
    EXPECT_FALSE(importAs(source.file("Gone.syx")));
    EXPECT_FALSE(importAs(source.path)); // a folder
    {
        bankgen::FileSizeLimit limit(bank.size() - 1); // the copy cannot be written, the log can
        EXPECT_FALSE(importAs(source.file("Big.syx")));
    }
    EXPECT_EQ(rootFiles(), before);
    EXPECT_EQ(newLog(logged),
              (std::vector<std::string>{
                  "FILE IMPORTER: cannot read " + source.file("Gone.syx") + ": No such file or directory",
                  "FILE IMPORTER: cannot read " + source.path + ": not a regular file",
                  "FILE IMPORTER: cannot write " + root() + "/Big.syx: File too large",
              }));
}

// ---- mode change ----

namespace
{

// 128 programs named prefix and their slot ("Up 007").
Bytes namedPrograms(const std::string& prefix, uint32_t seed)
{
    std::vector<Bytes> messages;
    for (int slot = 0; slot < 128; ++slot) {
        char name[17];
        std::snprintf(name, sizeof name, "%s %03d", prefix.c_str(), slot);
        messages.push_back(bankgen::makeDump(Kind::Programs, 0x20, 0, name, uint8_t(slot % 5), seed + uint32_t(slot)));
    }
    return bankgen::rawFile(messages);
}

// The controller with every parameter handed to its handling recorded.
class ModeQOR : public QOR
{
public:
    ModeQOR() : QOR(IPluginInstanceInfo()) {}
    void OnParamChange(int idx) override
    {
        handled.push_back(idx);
        QOR::OnParamChange(idx);
    }
    std::vector<int> handled;
};

struct Mode : testing::Test {
    Mode()
    {
        bankgen::writeFile(dir.file("QOR Editor LOG.txt"), Bytes{});
        mkdir(dir.file("Patches").c_str(), 0755);
        const std::pair<const char*, Bytes> files[] = {
            {"Patches/B progs.syx", namedPrograms("Bee", 1)},
            {"Patches/C progs.syx", namedPrograms("Cee", 2)},
            {"Patches/perf 1.syx", rawBank(Kind::Performances, 3)},
            {"Patches/perf 2.syx", rawBank(Kind::Performances, 4)},
            {"Patches/pat.syx", rawBank(Kind::Patterns, 5)},
        };
        for (const auto& [name, bytes] : files) bankgen::writeFile(dir.file(name), bytes);
        q = testsupport::makeFromBundle<ModeQOR>(dir.path);
        lib = q->patchLibrarian;
        lib->createNewSearchPatchFiles("Bee 01");
    }
    // Every bank-list parameter holds two old texts at value 1, the panes the second bank.
    void markLists()
    {
        for (int id : allBankLists()) {
            IParam* param = q->GetParam(id);
            param->ResetDisplayTexts();
            param->SetDisplayText(0, "old 0");
            param->SetDisplayText(1, "old 1");
            param->Set(1.0);
        }
        for (IControl* control : {q->upperSelectionControl, q->lowerSelectionControl}) control->SetValueFromPlug(1.0);
        lib->upperFileIndex = lib->lowerFileIndex = 1;
        q->handled.clear();
    }
    // A cell's text without the blanks that pad a name to 16 characters.
    std::string cell(LibrarianViewControl::Pane pane, int slot) const
    {
        std::string text = q->librarianView->cellText(pane, slot);
        text.erase(text.find_last_not_of(' ') + 1);
        return text;
    }
    std::string upperCell(int slot) const { return cell(LibrarianViewControl::kUpperPane, slot); }
    std::string lowerCell(int slot) const { return cell(LibrarianViewControl::kLowerPane, slot); }

    testsupport::TempDir dir;
    std::unique_ptr<ModeQOR> q;
    PatchLibrarian* lib = nullptr;
};

} // namespace

TEST_F(Mode, AModeChangeResetsExactlyTheListsOfItsListAndRefillsThemFromTheLibrary)
{
    const struct {
        int kind, list;
        std::vector<PatchFile*>* banks;
        bool upper, left, right; // the lower list and both performance lists are always reset
    } rows[] = {
        {0, QOR::kBankListPrograms, &lib->singleFiles, true, true, true},
        {0, QOR::kBankListCategories, &lib->categoryFiles, false, false, true},
        {1, QOR::kBankListPerformances, &lib->multiFiles, true, false, false},
        {2, QOR::kBankListPatterns, &lib->patternFiles, true, true, true},
        {0, QOR::kBankListSearchResults, &lib->searchFiles, false, false, true},
    };
    const std::vector<std::string> old{"old 0", "old 1"};
    for (const auto& row : rows) {
        markLists();
        q->patchTypeChanged(row.kind, row.list, false);
        EXPECT_EQ(lib->currentKind, row.kind);
        EXPECT_EQ(lib->upperFileIndex + lib->lowerFileIndex, 0);
        const std::vector<std::string> names = fileNames(*row.banks);
        auto expect = [&](int id, bool reset, bool filled) {
            const IParam* param = q->GetParam(id);
            EXPECT_EQ(textsOf(param), reset ? (filled ? names : std::vector<std::string>{}) : old)
                << "list " << row.list << " parameter " << id;
            // The upper list follows its control to 0 even where it is not reset.
            EXPECT_EQ(param->Value(), reset || id == kPatchSelectionListUpper ? 0.0 : 1.0)
                << "list " << row.list << " parameter " << id;
        };
        const bool performances = row.list == QOR::kBankListPerformances;
        expect(kPatchSelectionListUpper, row.upper, true);
        expect(kPatchSelectionListLower, true, true);
        for (int p = 0; p < 8; ++p) {
            expect(kCurrentOpenPatchBankL + p, row.left, true);
            expect(kCurrentOpenPatchBankR + p, row.right, true);
        }
        expect(kCurrentOpenPerfBankL, true, performances);
        expect(kCurrentOpenPerfBankR, true, performances);
        // Both selection controls went to 0 as user input: the parameter handling runs where
        // that moved a value the reset had left.
        EXPECT_EQ(q->handled, row.upper ? std::vector<int>{} : std::vector<int>{kPatchSelectionListUpper}) << row.list;
        EXPECT_EQ(q->upperSelectionControl->GetValue() + q->lowerSelectionControl->GetValue(), 0.0);
    }

    // A list outside 0..4: kind and panes set and the grid reloaded, nothing else.
    markLists();
    q->patchTypeChanged(0, 7, false);
    EXPECT_EQ(lib->currentKind, 0);
    EXPECT_EQ(lib->upperFileIndex + lib->lowerFileIndex, 0);
    EXPECT_EQ(upperCell(7), "Bee 007");
    for (int id : allBankLists()) {
        EXPECT_EQ(textsOf(q->GetParam(id)), old) << id;
        EXPECT_EQ(q->GetParam(id)->Value(), 1.0) << id;
    }
    EXPECT_TRUE(q->handled.empty());

    // An empty list: its lists at 0 without texts, the menus refreshed all the same.
    lib->patternFiles.clear();
    q->patternMode = true;
    const auto before = q->mLeftPatternMenu->menus();
    markLists();
    q->patchTypeChanged(2, QOR::kBankListPatterns, false);
    EXPECT_EQ(textsOf(q->GetParam(kCurrentOpenPatchBankL + 3)), std::vector<std::string>{});
    EXPECT_EQ(q->GetParam(kCurrentOpenPatchBankL + 3)->Value(), 0.0);
    EXPECT_NE(q->mLeftPatternMenu->menus(), before);
}

TEST_F(Mode, ARescanShowsAFileAddedOnDiskInTheGridAndInTheUpperProgramMenu)
{
    bankgen::writeFile(dir.file("Patches/A new.syx"), namedPrograms("Ay", 9));
    q->rescanLibrary(); // program mode, program banks below
    EXPECT_EQ(fileNames(lib->singleFiles), (std::vector<std::string>{"A new.syx", "B progs.syx", "C progs.syx"}));
    EXPECT_EQ(upperCell(0), "Ay 000");
    EXPECT_EQ(lowerCell(127), "Ay 127");
    EXPECT_EQ(lib->retiredBankCount(), 0u) << "no job ran: the dropped banks are freed";

    // The upper program menu lists the new file and takes it as the upper bank when chosen.
    cf_standin::Presenter script;
    cf_standin::Presenter* old = cf_standin::setPresenter(&script);
    q->GetGUI()->OpenWindow(nullptr);
    script.menuAnswers = {{2}, {0}};
    q->mLeftPatchMenu->OnMouseDown(400, 190, nullptr);
    EXPECT_EQ(lib->upperFileIndex, 2);
    q->mLeftPatchMenu->OnMouseDown(400, 190, nullptr);
    q->GetGUI()->CloseWindow();
    cf_standin::setPresenter(old);
    ASSERT_EQ(script.menus.size(), 2u);
    EXPECT_EQ(cf_standin::MenuLine(script.menus[0]), "*A new.syx | B progs.syx | C progs.syx");
    EXPECT_EQ(lib->upperFileIndex, 0);
}

// The lists of the mode alone leave the program lists the rescan changed under them.
TEST_F(Mode, ARescanOutsideTheProgramBanksRenewsTheProgramListsToo)
{
    bankgen::writeFile(dir.file("Patches/A new.syx"), namedPrograms("Ay", 9));
    const struct {
        const char* name;
        bool categories, performances;
    } views[] = {{"category view", true, false}, {"performance mode", false, true}};
    for (const auto& v : views) {
        SCOPED_TRACE(v.name);
        q->categoryListShown = v.categories;
        q->performanceMode = v.performances;
        markLists();
        q->rescanLibrary();
        const std::vector<std::string> programs = fileNames(lib->singleFiles);
        ASSERT_EQ(programs.size(), 3u);
        const std::vector<std::string> lower = fileNames(v.performances ? lib->multiFiles : lib->categoryFiles);
        ASSERT_FALSE(lower.empty());
        EXPECT_EQ(textsOf(q->GetParam(kPatchSelectionListUpper)), v.performances ? lower : programs);
        EXPECT_EQ(textsOf(q->GetParam(kPatchSelectionListLower)), lower);
        for (int p = 0; p < 8; ++p) {
            EXPECT_EQ(textsOf(q->GetParam(kCurrentOpenPatchBankL + p)), programs) << p;
            EXPECT_EQ(textsOf(q->GetParam(kCurrentOpenPatchBankR + p)), v.performances ? programs : lower) << p;
        }
        for (int id : allBankLists()) EXPECT_EQ(q->GetParam(id)->Value(), 0.0) << id;
        if (v.categories) {
            EXPECT_EQ(upperCell(0), "Ay 000") << "the upper pane shows the new first bank";
        }
    }
}

TEST_F(Mode, OnlyZeroOneAndTwoReloadTheGridAsDoesTheSelectionReset)
{
    q->patchTypeChanged(0, QOR::kBankListPrograms, false);
    lib->singleFiles[0]->patches[5].name = "Renamed";
    lib->lowerFileIndex = 1;
    const struct {
        int which;
        const char *upper, *lower;
        bool again;
    } rows[] = {
        {3, "Bee 005", "Bee 005", false},
        {-1, "Bee 005", "Bee 005", false},
        {1, "Bee 005", "Cee 005", true},
        {0, "Renamed", "Cee 005", true},
    };
    for (const auto& row : rows) {
        q->librarianView->SetClean();
        q->librarianView->SetClean();
        q->updatePatchLibrarianView(row.which);
        EXPECT_EQ(upperCell(5), row.upper) << row.which;
        EXPECT_EQ(lowerCell(5), row.lower) << row.which;
        EXPECT_EQ(q->librarianView->GetRedrawAgain(), row.again) << row.which;
    }
    // The selection reset: the texts of the mode's list, both columns reloaded.
    lib->singleFiles[1]->patches[5].name = "Lower";
    q->performanceMode = true;
    q->GetParam(kPatchSelectionListLower)->ResetDisplayTexts();
    q->ResetPatchSelectionMenus();
    EXPECT_EQ(textsOf(q->GetParam(kPatchSelectionListLower)), fileNames(lib->multiFiles));
    EXPECT_EQ(lowerCell(5), "Lower");
}

TEST_F(Mode, TheMenuRefreshTakesTheMenusOfTheModeWithTheirRememberedBanksAndReloadsAMovedPane)
{
    lib->createNewSearchPatchFiles("Cee");
    q->lowerProgramFileName = "C progs.syx";
    q->upperPerformanceFileName = q->lowerPerformanceFileName = "perf 2.syx";
    q->lowerProgramFolderName = q->upperPerformanceFolderName = q->lowerPerformanceFolderName = "Patches";
    const std::vector<FolderPopupMenu*> menus{q->mLeftPatchMenu,   q->mRightPatchMenu,    q->mLeftPerfMenu,
                                              q->mRightPerfMenu,   q->mRightCategoryMenu, q->mRightSearchMenu,
                                              q->mLeftPatternMenu, q->mRightPatternMenu};
    const struct {
        bool performance, pattern, category, search;
        std::vector<FolderPopupMenu*> refreshed;
        int kind, upper, lower; // the pane indexes after
        const char *upperCell, *lowerCell;
    } rows[] = {
        {false, false, false, false, {q->mRightPatchMenu}, 0, 0, 1, "Bee 000", "Cee 000"},
        {false, false, true, true, {q->mRightCategoryMenu}, 0, 0, 0, "Bee 000", nullptr},
        {false, false, false, true, {q->mRightSearchMenu}, 0, 0, 0, "Bee 000", nullptr},
        {true, false, false, false, {q->mLeftPerfMenu, q->mRightPerfMenu}, 1, 1, 1, "GenPerf 000", "GenPerf 000"},
        {true, true, false, false, {q->mLeftPatternMenu, q->mRightPatternMenu}, 2, 0, 0, "", ""},
    };
    for (const auto& row : rows) {
        q->performanceMode = row.performance;
        q->patternMode = row.pattern;
        q->categoryListShown = row.category;
        q->searchListShown = row.search;
        q->patchTypeChanged(row.kind, 99, false);
        std::vector<std::shared_ptr<FolderMenuSet>> before;
        for (FolderPopupMenu* m : menus) before.push_back(m->menus());
        q->refreshPopUpMenus();
        for (size_t i = 0; i < menus.size(); ++i) {
            const bool refreshed = std::count(row.refreshed.begin(), row.refreshed.end(), menus[i]) > 0;
            EXPECT_EQ(menus[i]->menus() != before[i], refreshed) << "menu " << i;
        }
        EXPECT_EQ(lib->upperFileIndex, row.upper);
        EXPECT_EQ(lib->lowerFileIndex, row.lower);
        if (row.pattern) continue;
        EXPECT_EQ(upperCell(0), row.upperCell);
        if (row.lowerCell) {
            EXPECT_EQ(lowerCell(0), row.lowerCell);
        }
    }
}

// ---- program and bank menus ----

namespace
{

// The indexes of the checked items of a menu.
std::vector<int> checkedItems(const IPopupMenu& menu)
{
    std::vector<int> checked;
    for (int i = 0; i < menu.GetNItems(); ++i)
        if (menu.GetItem(i)->GetChecked()) checked.push_back(i);
    return checked;
}

} // namespace

TEST_F(Mode, TheHeaderMenusFollowTheBankAndProgramAndInLibraryModeTheSelectedSlot)
{
    // The bank-name menus' layers come with those menus; here they are stand-ins of those names.
    for (const char* name : {"PERFBANKNAMEMENUPROGRAMS", "PROGBANKNAMEMENUPROGRAMS"}) {
        auto* layer = new ControlLayer(0, name);
        q->GetGUI()->AttachLayer(layer);
        q->namedLayers[name] = layer;
    }
    q->selectedPart = 2;
    q->GetParam(kMultiPartBank + 2)->Set(5.0);
    q->GetParam(kMultiPartPatch + 2)->Set(123.0);
    q->GetParam(kMultiBank)->Set(2.0);
    q->GetParam(kMultiPatch)->Set(17.0);
    const struct {
        bool library, performance, skip;
        const char* shown;
        int program, bank; // the checks handed to the menus (-1: none)
        bool bankRefreshed;
    } rows[] = {
        {false, false, false, "BANKNUMBERMENUPROGRAMS", 123, 5, true},
        {false, false, true, "BANKNUMBERMENUPROGRAMS", 123, 5, true},
        {false, true, false, "BANKNUMBERMENUPROGRAMS", 17, -1, true},
        {true, false, false, "PROGBANKNAMEMENUPROGRAMS", 123, 5, true},
        {true, false, true, "PROGBANKNAMEMENUPROGRAMS", 123, 5, false},
        {true, true, true, "PERFBANKNAMEMENUPROGRAMS", 17, -1, false},
    };
    for (const auto& row : rows) {
        q->libraryControlMode = row.library;
        q->performanceMode = row.performance;
        for (const char* name : {"BANKNUMBERMENUPROGRAMS", "PERFBANKNAMEMENUPROGRAMS", "PROGBANKNAMEMENUPROGRAMS"})
            q->keptLayer(name)->Hide(false);
        lib->upperSlot = 40;
        q->librarianView->upperSelection = q->librarianView->currentSlot = 40;
        // A bank menu that is not refreshed keeps the check of another bank.
        q->bankNumberMenu->refreshPatchNames(lib, q.get(), 7);
        const auto bankMenus = q->bankNumberMenu->menus();

        q->updateBankAndProgramMenuNames(row.skip);
        for (const char* name : {"BANKNUMBERMENUPROGRAMS", "PERFBANKNAMEMENUPROGRAMS", "PROGBANKNAMEMENUPROGRAMS"})
            EXPECT_EQ(q->keptLayer(name)->IsVisible(), std::string(name) == row.shown) << name << " " << row.shown;
        const auto programs = q->programNumberMenu->menus();
        EXPECT_EQ(checkedItems(programs->groupMenus[size_t(row.program / 10)]), std::vector<int>{row.program % 10});
        EXPECT_EQ(q->bankNumberMenu->menus() != bankMenus, row.bankRefreshed);
        if (row.bankRefreshed) {
            EXPECT_EQ(checkedItems(*q->bankNumberMenu->menus()),
                      row.bank < 0 ? std::vector<int>{} : std::vector<int>{row.bank});
        }
        const int slot = row.library ? row.program : 40;
        EXPECT_EQ(lib->upperSlot, slot);
        EXPECT_EQ(q->librarianView->upperSelection, slot);
        EXPECT_EQ(q->librarianView->currentSlot, slot);
    }
}
