// The bank edit menu of the configured controller, answered through the open editor: its items
// per data type, the jobs each choice starts, the model and busy-thread gates, the stores of
// library entries, the saves of the upper bank and the import.
#include "Project_Source/src/ControlAction.h"
#include "Project_Source/src/DataFolder.h"
#include "Project_Source/src/LibrarianBankEditMenu.h"
#include "Project_Source/src/LibrarianBankNameMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/TabSwitchFunctions.h"
#include "librarian_menus_support.h"
#include "librarian_view_support.h"
#include "support/bankgen.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace qorid;
using menutest::MenuDesk;
using Job = MenuDesk::Job;
using Type = BankEditPopupMenu::DataType;

namespace
{

void setMode(MenuDesk& d, Type type)
{
    d.plug->performanceMode = type == Type::Performances;
    d.plug->patternMode = type == Type::Patterns;
    d.lib().currentKind = type == Type::Performances ? kPatchFilePerformances
                          : type == Type::Patterns   ? kPatchFilePatterns
                                                     : kPatchFilePrograms;
}

// Clicks the menu with the answer path (empty dismisses) and waits for the job it started.
std::vector<Job> choose(MenuDesk& d, std::vector<int> path)
{
    d.answer(std::move(path));
    d.plug->bankEditMenu->OnMouseDown(0, 0, nullptr);
    return d.takeJobs();
}

std::vector<std::string> texts(const IPopupMenu& menu)
{
    std::vector<std::string> items;
    for (int i = 0; i < menu.GetNItems(); ++i)
        items.push_back(menu.GetItem(i)->GetIsSeparator() ? "---" : menu.GetItemText(i));
    return items;
}

// A bank of the synthesizer's first program bank (stored forms, slot names "A0".."A127") in the
// upper pane; its index.
int upperProgramBank(MenuDesk& d, const std::string& fileName = "Mine.syx",
                     std::vector<std::string> folders = {"Patches"})
{
    auto* bank = new PatchFile;
    bank->fileName = fileName;
    bank->folderName = folders.back();
    bank->folderNames = std::move(folders);
    for (const bankgen::Bytes& message : bankgen::synthBanks(bankgen::Kind::Programs, 1)) {
        LibrarianPatch entry;
        entry.messages.emplace_back(SysexBytes(message));
        bank->patches.push_back(std::move(entry));
    }
    std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
    d.lib().singleFiles.push_back(d.lib().adoptBank(bank));
    d.lib().upperFileIndex = int(d.lib().singleFiles.size()) - 1;
    d.lib().currentKind = kPatchFilePrograms;
    return d.lib().upperFileIndex;
}

std::vector<bankgen::Bytes> handedSysex(MenuDesk& d)
{
    std::vector<bankgen::Bytes> out;
    for (const bankgen::Bytes& b : d.plug->copy(d.plug->handed))
        if (b.size() > 10) out.push_back(b);
    return out;
}

} // namespace

TEST(BankEditMenu, ItemsFollowTheDataTypeWithSeparatorsCounted)
{
    const struct {
        Type type;
        const char *request, *store;
        size_t requestItems, storeItems;
        const char *lastRequest, *lastStore;
    } cases[] = {
        {Type::Programs, "Request HW Patch Data", "Store Patch Data to HW", 12, 10, "All Patches from Bank H (TR Pro)",
         "All Current Patches to Bank H (TR Pro)"},
        {Type::Performances, "Request HW Performance Data", "Store Performance Data to HW", 8, 5,
         "All Performances from Bank D (TR Pro)", "All Performances to Bank D (TR Pro)"},
        {Type::Patterns, "Request Sequence Data", "Store Sequence Data to HW", 4, 2, "All Patterns",
         "All Sequences from Current Bank"},
    };
    for (const auto& c : cases) {
        MenuDesk d;
        setMode(d, c.type);
        d.plug->bankEditMenu->AddMenuItemsIn(d.plug.get());
        auto set = d.plug->bankEditMenu->menus();
        const std::vector<std::string> root = texts(set->rootMenu);
        const std::vector<std::string> expected = {c.request,
                                                   "---",
                                                   c.store,
                                                   "---",
                                                   "Sync Current Performance from HW",
                                                   "Push Current Performance to HW",
                                                   "---",
                                                   "Save (Overwrite current bank)",
                                                   "Save As...",
                                                   "---",
                                                   "Import...",
                                                   "Refresh Folders",
                                                   "---",
                                                   "Open Data Folder",
                                                   "About..."};
        EXPECT_EQ(root, expected);
        const IPopupMenu* request = set->rootMenu.GetItem(0)->GetSubmenu();
        const IPopupMenu* store = set->rootMenu.GetItem(2)->GetSubmenu();
        ASSERT_TRUE(request && store);
        EXPECT_EQ(texts(*request).size(), c.requestItems);
        EXPECT_EQ(texts(*store).size(), c.storeItems);
        EXPECT_EQ(texts(*request).back(), c.lastRequest);
        EXPECT_EQ(texts(*store).back(), c.lastStore);
        EXPECT_EQ(texts(*set->rootMenu.GetItem(8)->GetSubmenu()),
                  std::vector<std::string>({"Standard MIDI (*.mid)", "QOR Format (*.qor)"}));
        EXPECT_EQ(texts(*set->rootMenu.GetItem(10)->GetSubmenu()),
                  std::vector<std::string>({"Standard MIDI (*.mid)", "SysEx (*.syx / *.qor)"}));
    }
    // Only the program store has a separator, after its first item.
    MenuDesk d;
    auto set = d.plug->bankEditMenu->menus();
    EXPECT_EQ(texts(set->programStoreMenu)[1], "---");
    EXPECT_EQ(texts(set->performanceRequestMenu)[2], "from selected Program Slot");
    EXPECT_EQ(texts(set->patternRequestMenu)[2], "---");
}

TEST(BankEditMenu, AClickShowsTheItemsOfTheDataTypeSetWithoutTheDispatch)
{
    MenuDesk d;
    EXPECT_EQ(d.plug->bankEditMenu->menus()->type, Type::Programs) << "built at start-up for programs";
    d.plug->performanceMode = true;
    EXPECT_TRUE(choose(d, {}).empty());
    EXPECT_EQ(d.plug->bankEditMenu->menus()->type, Type::Performances);
    EXPECT_NE(d.lastMenu().find("Request HW Performance Data"), std::string::npos) << d.lastMenu();
}

TEST(BankEditMenu, EachRequestStartsItsJobWithTheEditDumpExpectedOnlyForTheEditor)
{
    // What the job is handed: toEditor, the bank and the part (part 3 edited, its bank C, the
    // performance's bank B).
    struct Args {
        bool toEditor;
        int bank, part;
    };
    const struct {
        Type type;
        std::vector<int> path;
        std::vector<Job> jobs;
        Args args;
    } cases[] = {
        {Type::Programs, {0, 0}, {{kJobRequestPart, true}}, {true, 0, 3}},
        {Type::Programs, {0, 1}, {{kJobRequestPart, false}}, {false, 0, 3}},
        {Type::Programs, {0, 2}, {{kJobRequestSinglePatch, false}}, {false, 2, 3}},
        {Type::Programs, {0, 3}, {}, {}},
        {Type::Programs, {0, 5}, {{kJobRequestAllPatches, false}}, {false, 1, 0}},
        {Type::Programs, {0, 11}, {{kJobRequestAllPatches, false}}, {false, 7, 0}},
        {Type::Performances, {0, 0}, {{kJobRequestActiveArrangement, true}}, {true, 0, 0}},
        {Type::Performances, {0, 1}, {{kJobRequestActiveArrangement, false}}, {false, 0, 0}},
        {Type::Performances, {0, 2}, {{kJobRequestSingleMulti, false}}, {false, 1, 0}},
        {Type::Performances, {0, 6}, {{kJobRequestAllMultis, false}}, {false, 2, 0}},
        {Type::Patterns, {0, 0}, {{kJobRequestSequence, true}}, {true, 0, 3}},
        {Type::Patterns, {0, 1}, {{kJobRequestSequence, false}}, {false, 0, 3}},
        {Type::Patterns, {0, 2}, {}, {}},
        {Type::Patterns, {0, 3}, {{kJobRequestAllSequences, false}}, {false, 0, 0}},
        {Type::Programs, {4}, {{kJobRequestActiveArrangement, true}}, {true, 0, 0}},
        {Type::Programs, {1}, {}, {}},
        {Type::Programs, {}, {}, {}},
    };
    for (const auto& c : cases) {
        MenuDesk d;
        setMode(d, c.type);
        d.plug->selectedPart = 3;
        d.plug->GetParam(kMultiPartBank + 3)->Set(2.0);
        d.plug->GetParam(kMultiBank)->Set(1.0);
        d.plug->patternRequestPart = 0;
        const std::string what = std::to_string(int(c.type)) + " " + ::testing::PrintToString(c.path);
        const std::vector<Job> jobs = choose(d, c.path);
        EXPECT_EQ(jobs, c.jobs) << what;
        if (c.type == Type::Patterns && c.path.size() == 2 && c.path[1] < 2) {
            EXPECT_EQ(d.plug->patternRequestPart.load(), 3);
        }
        if (jobs.empty()) continue;
        const SenderJobRecord& r = jobs[0].record;
        EXPECT_EQ(r.toEditor, c.args.toEditor) << what;
        EXPECT_EQ(r.bank, c.args.bank) << what;
        EXPECT_EQ(r.part, c.args.part) << what;
    }
}

TEST(BankEditMenu, AProgramOrPatternRequestOfAnotherDataTypeDoesNothing)
{
    // Filled for programs and patterns, chosen after the type changed without a refill.
    for (Type filled : {Type::Programs, Type::Patterns}) {
        MenuDesk d;
        setMode(d, filled);
        d.plug->bankEditMenu->AddMenuItemsIn(d.plug.get());
        setMode(d, filled == Type::Programs ? Type::Performances : Type::Programs);
        d.answer({0, 1});
        d.plug->bankEditMenu->doPopupMenu(d.plug.get());
        EXPECT_TRUE(d.takeJobs().empty()) << int(filled);
    }
}

TEST(BankEditMenu, BanksOfTheLargerModelsAreRequestedAndStoredOnlyAtTheFirstModel)
{
    const struct {
        Type type;
        std::vector<int> path;
        int job; // at model 1; every case starts its job at model 0
    } cases[] = {
        {Type::Programs, {0, 4}, kJobRequestAllPatches},   {Type::Programs, {0, 5}, kJobRequestAllPatches},
        {Type::Programs, {0, 6}, -1},                      {Type::Programs, {0, 11}, -1},
        {Type::Programs, {2, 2}, kJobStoreAllPatches},     {Type::Programs, {2, 3}, kJobStoreAllPatches},
        {Type::Programs, {2, 4}, -1},                      {Type::Programs, {2, 9}, -1},
        {Type::Performances, {0, 4}, kJobRequestAllMultis}, {Type::Performances, {0, 5}, -1},
        {Type::Performances, {0, 7}, -1},                  {Type::Performances, {2, 1}, kJobStoreAllPatches},
        {Type::Performances, {2, 2}, -1},                  {Type::Performances, {2, 4}, -1},
        {Type::Patterns, {2, 1}, kJobStoreAllPatches},
    };
    for (const auto& c : cases) {
        for (int model : {0, 1}) {
            MenuDesk d;
            setMode(d, c.type);
            d.plug->currentModel = model;
            const std::vector<Job> jobs = choose(d, c.path);
            const int expected = model == 0 ? (c.path[0] == 0 ? (c.type == Type::Programs ? kJobRequestAllPatches
                                                                                           : kJobRequestAllMultis)
                                                              : kJobStoreAllPatches)
                                            : c.job;
            const std::string what = std::to_string(int(c.type)) + " " + ::testing::PrintToString(c.path) +
                                     " model " + std::to_string(model);
            if (expected < 0) {
                EXPECT_TRUE(jobs.empty()) << what;
            } else {
                ASSERT_EQ(jobs.size(), 1u) << what;
                EXPECT_EQ(jobs[0].job, expected) << what;
            }
        }
    }
}

TEST(BankEditMenu, PushSetsTheTransferFlagsOnlyWhenItsJobStarts)
{
    for (bool busy : {false, true}) {
        MenuDesk d;
        if (busy) {
            ASSERT_TRUE(d.plug->midiManager->sender->claim(kJobThread));
        }
        // The job's own end clears them again: seen as it begins.
        bool flagsAtStart = false;
        d.plug->midiManager->sender->beforeJob = [&](int) {
            flagsAtStart = d.plug->deviceTransferActive && d.plug->incomingMidiBlocked && d.plug->sendingAllParts &&
                           d.plug->sendGlobalsFirst && d.plug->midiManager->sendInProgress;
        };
        d.answer({5});
        d.plug->bankEditMenu->OnMouseDown(0, 0, nullptr);
        if (busy) {
            EXPECT_FALSE(d.plug->deviceTransferActive || d.plug->incomingMidiBlocked || d.plug->sendingAllParts ||
                         d.plug->sendGlobalsFirst || d.plug->midiManager->sendInProgress);
            EXPECT_EQ(d.status1(), "Not taken: a transfer was still running!");
            d.plug->midiManager->sender->release(kJobThread, 2);
        } else {
            d.settle();
            EXPECT_TRUE(flagsAtStart);
        }
    }
    // Without an open port nothing starts.
    MenuDesk d;
    d.plug->midiIOSet = false;
    EXPECT_TRUE(choose(d, {5}).empty());
    EXPECT_FALSE(d.plug->deviceTransferActive);
}

TEST(BankEditMenu, AboutShowsItsWindowAndTheDataFolderOpensInTheBrowser)
{
    MenuDesk d;
    ASSERT_FALSE(d.shown("aboutWindow"));
    choose(d, {14});
    EXPECT_TRUE(d.shown("aboutWindow"));
    choose(d, {13});
    EXPECT_EQ(d.presenter.urls, std::vector<std::string>{"file://" + DataFolder::getDataFolder()});
}

// Each "Refresh Folders" rescans through the dispatch: a bank file put into the library before
// each is listed after it.
TEST(BankEditMenu, RefreshFoldersRescansTheLibraryEachTimeItIsChosen)
{
    MenuDesk d;
    std::filesystem::create_directories(d.dir.file("Patches"));
    const bankgen::Bytes bank = bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(bankgen::Kind::Programs, 0x20, 100)));
    auto listed = [&d](const std::string& name) {
        std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
        const std::vector<PatchFile*>& files = d.lib().singleFiles;
        return std::count_if(files.begin(), files.end(), [&](const PatchFile* f) { return f->fileName == name; });
    };
    for (const char* name : {"First.syx", "Second.syx"}) {
        testsupport::writeFile(d.dir.file(std::string("Patches/") + name), bank);
        ASSERT_EQ(listed(name), 0) << name;
        choose(d, {11});
        EXPECT_EQ(listed(name), 1) << name;
    }
    EXPECT_EQ(listed("First.syx"), 1);
    // Both went through the parameter dispatch.
    const std::vector<int> ids = d.plug->dispatched;
    EXPECT_EQ(std::count(ids.begin(), ids.end(), int(kRefreshFolders)), 2);
}

TEST(BankEditMenu, RefreshFoldersIsRefusedWhileTheUpperBankHasUnsavedEdits)
{
    MenuDesk d;
    std::filesystem::create_directories(d.dir.file("Patches"));
    upperProgramBank(d);
    d.plug->SetLibrarianStatusUnsaved(true);
    testsupport::writeFile(d.dir.file("Patches/New.syx"), bankgen::rawFile(bankgen::messagesOf(
                                                              bankgen::makeBank(bankgen::Kind::Programs, 0x20, 100))));
    auto listed = [&d](const std::string& name) {
        std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
        for (const PatchFile* bank : d.lib().singleFiles)
            if (bank->fileName == name) return true;
        return false;
    };
    // From the menu and from the librarian's Refresh button alike.
    for (bool menu : {true, false}) {
        d.plug->showStatus("");
        if (menu)
            choose(d, {11});
        else
            d.edit(kRefreshFolders, 1);
        EXPECT_EQ(d.status1(), "Save bank or Discard changes!") << menu;
        EXPECT_FALSE(listed("New.syx")) << menu;
        EXPECT_TRUE(listed("Mine.syx")) << menu << ": the edited bank stays";
        EXPECT_EQ(d.value(kBankEditUnsaved), 1.0) << menu;
    }
    d.plug->SetLibrarianStatusSaved();
    choose(d, {11});
    EXPECT_TRUE(listed("New.syx"));
}

TEST(BankEditMenu, StoreOnTheSelectedSlotWritesThatEntryAloneIntoTheSameSlot)
{
    const struct {
        int upper, lower;
        int written; // the slot written, -1 none
    } cases[] = {{5, -1, 5}, {5, 17, 5}, {-1, 17, 17}, {-1, -1, -1}};
    for (const auto& c : cases) {
        MenuDesk d;
        upperProgramBank(d); // the lower pane shows it too
        d.plug->librarianView->upperSelection = c.upper;
        d.plug->librarianView->lowerSelection = c.lower;
        d.plug->GetParam(kMultiPartBank + 0)->Set(1.0);
        d.plug->selectedPart = 0;
        choose(d, {2, 0});
        const std::vector<bankgen::Bytes> sent = handedSysex(d);
        const std::string what = std::to_string(c.upper) + "/" + std::to_string(c.lower);
        if (c.written < 0) {
            EXPECT_TRUE(sent.empty()) << what;
            continue;
        }
        ASSERT_EQ(sent.size(), 1u) << what;
        const bankgen::Bytes& b = sent[0];
        ASSERT_GT(b.size(), 9u);
        EXPECT_EQ(b[7], 0x02) << what;
        EXPECT_EQ(b[8], 0x06) << what << ": bank B";
        EXPECT_EQ(b[9], c.written) << what;
        const bankgen::Bytes source = bankgen::synthBanks(bankgen::Kind::Programs, 1)[size_t(c.written)];
        EXPECT_TRUE(std::equal(b.begin() + 10, b.end(), source.begin() + 10)) << what << ": the entry's body";
    }
}

TEST(BankEditMenu, StoreOfAllEntriesWritesTheWholeBankFromSlotZero)
{
    MenuDesk d;
    upperProgramBank(d);
    choose(d, {2, 4}); // bank C
    const std::vector<bankgen::Bytes> sent = handedSysex(d);
    ASSERT_EQ(sent.size(), 128u);
    for (size_t s = 0; s < sent.size(); ++s) {
        EXPECT_EQ(sent[s][8], 0x07) << s;
        EXPECT_EQ(sent[s][9], s) << s;
    }
}

namespace
{

std::string patches(MenuDesk& d)
{
    return d.dir.file("Patches");
}

bool listed(MenuDesk& d, const std::string& fileName)
{
    std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
    for (const PatchFile* bank : d.lib().singleFiles)
        if (bank->fileName == fileName) return true;
    return false;
}

// Some menu of the folder menu's set lists fileName.
bool offered(const FolderPopupMenu& menu, const std::string& fileName)
{
    for (const IPopupMenu* m : menu.menus()->folderMenus)
        for (int i = 0; i < m->GetNItems(); ++i)
            if (fileName == m->GetItemText(i)) return true;
    return false;
}

} // namespace

TEST(BankEditMenu, OverwriteWritesTheUpperBankToItsFileInItsFolder)
{
    MenuDesk d;
    mkdir(patches(d).c_str(), 0755);
    mkdir((patches(d) + "/Sub").c_str(), 0755);
    upperProgramBank(d, "Mine.syx", {"Patches", "Sub"});
    choose(d, {7});
    const bankgen::Bytes written = testsupport::readFile(patches(d) + "/Sub/Mine.syx");
    EXPECT_EQ(written, bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
}

TEST(BankEditMenu, ASaveLeavesNothingUnsavedAndGivesBackTheUpperFolderMenu)
{
    for (const std::vector<int>& path : {std::vector<int>{7}, std::vector<int>{8, 1}}) {
        MenuDesk d;
        mkdir(patches(d).c_str(), 0755);
        upperProgramBank(d);
        d.plug->GetParam(kMainTab)->Set(1.0);
        TabSwitchFunctions::mainTabSwitch(d.plug.get(), kMainTab, 1, 0, 0);
        d.plug->SetLibrarianStatusUnsaved(true);
        ASSERT_FALSE(d.shown("UPPERPOPUPMENU"));
        d.presenter.panelAnswers = {patches(d) + "/Copy.qor"};
        choose(d, path);
        EXPECT_EQ(d.value(kBankEditUnsaved), 0.0) << path.size();
        EXPECT_TRUE(d.shown("UPPERPOPUPMENU")) << path.size();
        EXPECT_TRUE(d.shown("keepBankOpenLayer")) << path.size();
        EXPECT_FALSE(d.shown("discardChangesLayerRight")) << path.size();
    }
}

TEST(BankEditMenu, SaveAsProposesTheNameInTheBanksFolderAndOffersTheNewFileAtOnce)
{
    const struct {
        std::vector<int> path;
        const char *proposed, *answer; // "" cancels
    } cases[] = {{{8, 0}, "Mine.mid", "Copy.mid"}, {{8, 1}, "Mine.qor", "Copy.qor"}, {{8, 0}, "Mine.mid", ""}};
    for (const auto& c : cases) {
        MenuDesk d;
        mkdir(patches(d).c_str(), 0755);
        mkdir((patches(d) + "/Sub").c_str(), 0755);
        upperProgramBank(d, "Mine.syx", {"Patches", "Sub"});
        const std::string target = std::string(c.answer).empty() ? "" : patches(d) + "/Sub/" + c.answer;
        d.presenter.panelAnswers = {target};
        choose(d, c.path);
        ASSERT_EQ(d.presenter.panels.size(), 1u);
        EXPECT_TRUE(d.presenter.panels[0].save);
        EXPECT_EQ(d.presenter.panels[0].proposedName, c.proposed);
        EXPECT_EQ(d.presenter.panels[0].directory, patches(d) + "/Sub");
        if (target.empty()) {
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(patches(d) + "/Sub"),
                                    std::filesystem::directory_iterator()),
                      0);
            continue;
        }
        EXPECT_TRUE(std::filesystem::exists(target)) << target;
        EXPECT_TRUE(listed(d, c.answer)) << "rescanned";
        EXPECT_TRUE(offered(*d.plug->mLeftPatchMenu, c.answer));
        EXPECT_TRUE(offered(*d.plug->progBankNameMenu, c.answer));
    }
}

TEST(BankEditMenu, AnImportIsOfferedAtOnceUnlessReceivedEntriesAreUnsaved)
{
    for (bool unsaved : {false, true}) {
        MenuDesk d;
        mkdir(patches(d).c_str(), 0755);
        testsupport::TempDir source;
        const std::string file = source.file("Import.syx");
        testsupport::writeFile(file, bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
        d.plug->GetParam(kBankEditUnsaved)->Set(unsaved ? 1.0 : 0.0);
        d.presenter.panelAnswers = {file};
        choose(d, {10, 1});
        EXPECT_TRUE(std::filesystem::exists(patches(d) + "/Import.syx"));
        EXPECT_EQ(listed(d, "Import.syx"), !unsaved);
    }
}

TEST(BankEditMenu, SaveAsAndImportKeepEachPaneOnItsFileAndSaveAsShowsTheFileWritten)
{
    const struct {
        const char* name;
        std::vector<int> path;
        std::string answer;        // under the data folder
        const char *upper, *lower; // the files the panes show after
    } cases[] = {
        {"Save As into the library", {8, 1}, "Patches/Sub/Zed.qor", "Zed.qor", "C.syx"},
        {"Save As beside the library", {8, 0}, "Elsewhere.mid", "", "C.syx"},
        {"Import", {10, 1}, "", "B.syx", "C.syx"},
        {"Refresh Folders", {11}, "", "", ""},
    };
    for (const auto& c : cases) {
        MenuDesk d;
        std::filesystem::create_directories(patches(d) + "/Sub");
        const bankgen::Bytes bank = bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1));
        for (const char* name : {"A.syx", "B.syx", "C.syx"}) testsupport::writeFile(patches(d) + "/" + name, bank);
        testsupport::writeFile(patches(d) + "/Sub/B.syx", bank); // the same name in another folder
        d.plug->rescanLibrary();
        auto indexOf = [&d](const std::string& file, const std::string& folder) {
            std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
            for (size_t i = 0; i < d.lib().singleFiles.size(); ++i)
                if (d.lib().singleFiles[i]->fileName == file && d.lib().singleFiles[i]->folderName == folder)
                    return int(i);
            return -1;
        };
        d.lib().upperFileIndex = indexOf("B.syx", "Patches");
        d.lib().lowerFileIndex = indexOf("C.syx", "Patches");
        ASSERT_GT(d.lib().upperFileIndex, 0);
        ASSERT_GT(d.lib().lowerFileIndex, 0);
        testsupport::TempDir source;
        if (c.path[0] == 10) {
            testsupport::writeFile(source.file("Import.syx"), bank);
            d.presenter.panelAnswers = {source.file("Import.syx")};
        } else if (!c.answer.empty()) {
            d.presenter.panelAnswers = {d.dir.file(c.answer)};
        }
        choose(d, c.path);
        auto shown = [&d](int pane) {
            std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
            const PatchFile* b = d.plug->libraryPaneBank(pane);
            return b ? b->fileName + " in " + b->folderName : std::string("none");
        };
        auto first = [&d] {
            std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
            return d.lib().singleFiles[0]->fileName + " in " + d.lib().singleFiles[0]->folderName;
        };
        const std::string upper =
            *c.upper ? std::string(c.upper) + (c.path[0] == 8 ? " in Sub" : " in Patches") : first();
        const std::string lower = *c.lower ? std::string(c.lower) + " in Patches" : first();
        EXPECT_EQ(shown(0), upper) << c.name;
        EXPECT_EQ(shown(1), lower) << c.name;
        EXPECT_EQ(d.value(kPatchSelectionListUpper), double(d.lib().upperFileIndex)) << c.name;
        EXPECT_EQ(d.value(kPatchSelectionListLower), double(d.lib().lowerFileIndex)) << c.name;
    }
}

TEST(BankEditMenu, TheLibrarianPageShowsItWithTheMenuPairOfTheMode)
{
    const struct {
        Type type;
        bool category;
        std::vector<const char*> shown;
    } cases[] = {
        {Type::Programs, false, {"UPPERPOPUPMENU", "LOWERPOPUPMENU"}},
        {Type::Programs, true, {"UPPERPOPUPMENU", "RightPatchPopupMenu"}},
        {Type::Performances, false, {"LeftPerformancePopupMenu", "RightPerformancePopupMenu"}},
        {Type::Patterns, false, {"LeftPatternPopupMenu", "RightPatternPopupMenu"}},
    };
    const char* pairs[] = {"UPPERPOPUPMENU",           "LOWERPOPUPMENU",       "RightPatchPopupMenu",
                           "LeftPerformancePopupMenu", "RightPerformancePopupMenu", "LeftPatternPopupMenu",
                           "RightPatternPopupMenu",    "RightSearchPopupMenu"};
    for (const auto& c : cases) {
        MenuDesk d;
        setMode(d, c.type);
        d.plug->categoryListShown = c.category;
        ASSERT_FALSE(d.shown("BANKEDITMENU"));
        TabSwitchFunctions::mainTabSwitch(d.plug.get(), kMainTab, 1, 0, 0);
        EXPECT_TRUE(d.shown("BANKEDITMENU"));
        for (const char* name : pairs) {
            const bool expected = std::find_if(c.shown.begin(), c.shown.end(), [&](const char* s) {
                                      return std::string(s) == name;
                                  }) != c.shown.end();
            EXPECT_EQ(d.shown(name), expected) << name << " " << int(c.type);
        }
    }
}

// Every change of the upper bank, and every save, revert and rescan, leaves each pane showing
// its bank as it is now, whether both panes show one file or each its own; the lower pane marks
// the upper bank's unsaved edits when it shows that bank too.
TEST(BankEditMenu, BothPanesShowTheirBanksAsTheyAreNowAfterEachChange)
{
    using gridtest::kLower;
    using gridtest::kUpper;
    auto centre = [](MenuDesk& d, gridtest::Pane pane, int slot) {
        const IRECT r = d.plug->librarianView->cellRect(pane, slot);
        return std::make_pair((r.L + r.R) / 2, (r.T + r.B) / 2);
    };
    auto rename = [&](MenuDesk& d) {
        const auto p = centre(d, kUpper, 5);
        IMouseMod left(true);
        d.plug->librarianView->OnMouseDown(p.first, p.second, &left);
        d.plug->librarianView->renameSlot(p.first, p.second);
        d.plug->GetParam(kPatchRename)->SetDisplayText(0, "Renamed");
        d.plug->OnParamChange(kPatchRename);
    };
    const struct {
        const char* name;
        std::function<void(MenuDesk&)> change;
        bool unsaved; // after the change
    } rows[] = {
        {"rename", rename, true},
        {"paste",
         [&](MenuDesk& d) {
             const auto from = centre(d, kLower, 17), to = centre(d, kUpper, 5);
             d.plug->librarianView->CopySlotData(from.first, from.second);
             d.plug->librarianView->PasteSlotData(to.first, to.second);
         },
         true},
        {"drop",
         [&](MenuDesk& d) {
             const auto from = centre(d, kLower, 17), to = centre(d, kUpper, 5);
             IMouseMod left(true);
             d.plug->librarianView->mDragEnabled = true;
             d.plug->librarianView->OnMouseDown(from.first, from.second, &left);
             d.plug->librarianView->OnMouseDrag(to.first, to.second, 0, 0, &left);
             d.plug->librarianView->OnMouseUp(to.first, to.second, &left);
         },
         true},
        {"rename, Save",
         [&](MenuDesk& d) {
             rename(d);
             choose(d, {7});
         },
         false},
        {"rename, Save As",
         [&](MenuDesk& d) {
             rename(d);
             d.presenter.panelAnswers = {patches(d) + "/Copy.qor"};
             choose(d, {8, 1});
         },
         false},
        {"rename, revert",
         [&](MenuDesk& d) {
             rename(d);
             d.edit(kDiscardBankData, 1);
         },
         false},
        {"rename, Save, Refresh Folders",
         [&](MenuDesk& d) {
             rename(d);
             choose(d, {7});
             choose(d, {11});
         },
         false},
    };
    for (const bool oneFile : {true, false}) {
        for (const auto& row : rows) {
            const std::string what = std::string(row.name) + (oneFile ? " on one file" : " on two files");
            MenuDesk d;
            std::filesystem::create_directories(patches(d));
            for (const char* name : {"A.syx", "B.syx"})
                testsupport::writeFile(patches(d) + "/" + name,
                                       bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
            d.plug->rescanLibrary();
            {
                std::lock_guard<std::recursive_mutex> hold(d.lib().mLock);
                d.lib().upperFileIndex = 0;
                d.lib().lowerFileIndex = oneFile ? 0 : 1;
            }
            d.plug->updatePatchLibrarianView(2);
            gridtest::showLibrarianPage(*d.plug);
            row.change(d);
            EXPECT_EQ(d.value(kBankEditUnsaved), row.unsaved ? 1.0 : 0.0) << what;
            EXPECT_EQ(gridtest::staleCell(*d.plug, kUpper), "") << what;
            EXPECT_EQ(gridtest::staleCell(*d.plug, kLower), "") << what;
            const std::string title = gridtest::lowerTitle(*d.plug);
            const bool marked = title.size() > 10 && title.compare(title.size() - 10, 10, " (unsaved)") == 0;
            EXPECT_EQ(marked, oneFile && row.unsaved) << what << ": " << title;
        }
    }
}

// A save that writes nothing says so and leaves the edits marked unsaved; a Save As the user
// cancels says nothing. A save that works once the folder is back says that.
TEST(BankEditMenu, AFailedSaveSaysSoAndKeepsTheUnsavedStrip)
{
    const struct {
        const char* name;
        std::vector<int> path;
        std::string answer; // of the file panel; "" cancels
        const char* status;
        std::vector<int> then{}; // a save made once the folder is back
    } rows[] = {
        {"Save over a folder now a file, then Save", {7}, "", "Bank could not be saved!", {7}},
        {"Save As, a name too long, then Save As",
         {8, 1},
         "Patches/" + std::string(300, 'n') + ".qor",
         "Bank could not be saved!",
         {8, 1}},
        {"Save As into a folder now a file, then Save",
         {8, 0},
         "Patches/Sub/Copy.mid",
         "Bank could not be saved!",
         {7}},
        {"Save As cancelled", {8, 1}, "", "Program received to slot(s)"},
        {"Import into a library now a file", {10, 1}, "source", "File could not be imported!"},
    };
    for (const auto& row : rows) {
        MenuDesk d;
        mkdir(patches(d).c_str(), 0755);
        upperProgramBank(d, "Mine.syx", {"Patches", "Sub"});
        d.plug->SetLibrarianStatusUnsaved(true);
        testsupport::TempDir source;
        testsupport::writeFile(source.file("Import.syx"),
                               bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
        // The bank's folder, or for the import the library itself, is a file now.
        const std::string replaced = row.path[0] == 10 ? patches(d) : patches(d) + "/Sub";
        std::filesystem::remove_all(replaced);
        testsupport::writeFile(replaced, "");
        d.presenter.panelAnswers = {row.answer == "source" ? source.file("Import.syx")
                                    : row.answer.empty()   ? ""
                                                           : d.dir.file(row.answer)};
        choose(d, row.path);
        EXPECT_EQ(d.status1(), row.status) << row.name;
        EXPECT_EQ(d.value(kBankEditUnsaved), 1.0) << row.name;
        EXPECT_TRUE(d.shown("discardChangesLayerRight")) << row.name;
        if (row.then.empty()) continue;
        std::filesystem::remove(replaced);
        std::filesystem::create_directories(replaced);
        d.presenter.panelAnswers = {d.dir.file("Patches/Sub/Copy.qor")};
        choose(d, row.then);
        EXPECT_EQ(d.status1(), "Bank saved!") << row.name;
        EXPECT_EQ(d.value(kBankEditUnsaved), 0.0) << row.name;
    }
}

// The Refresh button dispatches its press and its release: one rescan per click.
TEST(BankEditMenu, AClickOfTheRefreshButtonRescansOnce)
{
    MenuDesk d;
    std::filesystem::create_directories(patches(d));
    const bankgen::Bytes bank = bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1));
    testsupport::writeFile(patches(d) + "/First.syx", bank);
    const ControlAction* action = d.plug->GetParam(kRefreshFolders)->GetControlAction();
    ASSERT_TRUE(action && !action->controls.empty());
    IControl* button = action->controls[0];
    const IRECT r = *button->GetRECT();
    IMouseMod left(true);
    button->OnMouseDown((r.L + r.R) / 2, (r.T + r.B) / 2, &left);
    EXPECT_TRUE(listed(d, "First.syx"));
    testsupport::writeFile(patches(d) + "/Second.syx", bank);
    button->OnMouseUp((r.L + r.R) / 2, (r.T + r.B) / 2, &left);
    EXPECT_EQ(d.value(kRefreshFolders), 0.0) << "the button is up";
    EXPECT_FALSE(listed(d, "Second.syx")) << "the release rescanned again";
    choose(d, {11}); // the menu item, with the button up
    EXPECT_TRUE(listed(d, "Second.syx"));
}

// The lower title's mark stays inside the title however wide the bank's name: the name is cut.
TEST(BankEditMenu, TheUnsavedMarkOfAWideBankNameFitsItsTitle)
{
    MenuDesk d;
    std::filesystem::create_directories(patches(d));
    testsupport::writeFile(patches(d) + "/" + std::string(48, 'W') + ".syx",
                           bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
    d.plug->rescanLibrary();
    gridtest::showLibrarianPage(*d.plug);
    d.plug->SetLibrarianStatusUnsaved(true);
    const std::string title = gridtest::lowerTitle(*d.plug);
    ASSERT_GT(title.size(), 10u);
    EXPECT_EQ(title.substr(title.size() - 12), ".. (unsaved)");
    auto* control = static_cast<ITextControl*>(d.plug->lowerSelectionControl);
    IRECT r = *control->GetRECT();
    ASSERT_TRUE(d.plug->GetGUI()->MeasureIText(control->GetText(), title.c_str(), &r));
    EXPECT_LE(r.W(), control->GetRECT()->W()) << title;
}
