// The slot grid's right-click menus against the in-process synthesizer: copy and paste, the
// init entries, fetches into the slot, a busy job thread, and the menus the controller keeps.
#include "Project_Source/src/LibrarianSlotMenus.h"
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "insynth_bench.h"
#include "librarian_view_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

using namespace insynthtest;

namespace
{

using Bytes = std::vector<uint8_t>;
constexpr auto kUpper = LibrarianViewControl::kUpperPane;
constexpr auto kLower = LibrarianViewControl::kLowerPane;

synthsim::Options onDevice15()
{
    synthsim::Options o;
    o.deviceId = 15;
    return o;
}

// Every kind's list holds an upper bank of 100 empty entries and a lower bank of named ones.
struct Menus : Bench {
    explicit Menus(const synthsim::Options& options = onDevice15()) : Bench(options)
    {
        PatchLibrarian& lib = *plug->patchLibrarian;
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        for (auto* list : {&lib.singleFiles, &lib.multiFiles, &lib.patternFiles}) {
            auto* upper = new PatchFile;
            upper->patches.resize(100);
            auto* lower = new PatchFile;
            for (int i = 0; i < 128; ++i) {
                LibrarianPatch entry;
                entry.name = "Lower " + std::to_string(i);
                entry.messages.push_back(PatchSysexMessage{SysexBytes(Bytes{0xF0, uint8_t(i), 0xF7})});
                lower->patches.push_back(entry);
            }
            list->push_back(lib.adoptBank(upper));
            list->push_back(lib.adoptBank(lower));
        }
        lib.upperFileIndex = 0;
        lib.lowerFileIndex = 1;
        grid().patchSelectionUpperChanged();
        grid().patchSelectionLowerChanged();
    }
    LibrarianViewControl& grid() { return *plug->librarianView; }
    void mode(int kind)
    {
        plug->performanceMode = kind == kPatchFilePerformances;
        plug->patternMode = kind == kPatchFilePatterns;
        std::lock_guard<std::recursive_mutex> hold(plug->patchLibrarian->mLock);
        plug->patchLibrarian->currentKind = kind;
    }
    std::pair<int, int> at(LibrarianViewControl::Pane pane, int slot)
    {
        const IRECT r = grid().cellRect(pane, slot);
        return {r.L + 1, r.T + 1};
    }
    // A right click on the slot, the menu dismissed (no editor window is open).
    std::pair<int, int> rightClick(LibrarianViewControl::Pane pane, int slot)
    {
        const auto p = at(pane, slot);
        IMouseMod mod(false, true);
        grid().OnMouseDown(p.first, p.second, &mod);
        return p;
    }
    // The item chosen in menu, as the popup reports it, at the last right click.
    template <class Menu> void choose(Menu* kept, IPopupMenu& menu, int item, std::pair<int, int> p)
    {
        ASSERT_NE(kept, nullptr);
        menu.SetChosenItemIdx(item);
        kept->takeChoice(&menu, p.first, p.second);
    }
    void edit(int item, std::pair<int, int> p) { choose(plug->fileEditMenu, plug->fileEditMenu->rootMenu, item, p); }
    void getData(int item, std::pair<int, int> p)
    {
        choose(plug->fileEditMenu, plug->fileEditMenu->getDataMenu, item, p);
    }
    void waitIdle()
    {
        while (!plug->midiManager->threadIdle(kJobThread)) usleep(1000);
    }
    LibrarianPatch upper(int slot)
    {
        std::lock_guard<std::recursive_mutex> hold(plug->patchLibrarian->mLock);
        return plug->libraryPaneBank(0)->patches.at(size_t(slot));
    }
};

} // namespace

TEST(SlotMenus, ItemsStandInTheirPlaces)
{
    Menus b;
    b.rightClick(kUpper, 3);
    b.rightClick(kLower, 3);
    ASSERT_NE(b.plug->fileEditMenu, nullptr);
    ASSERT_NE(b.plug->fileCopyMenu, nullptr);
    auto titles = [](const IPopupMenu& m) {
        std::vector<std::string> out;
        for (int i = 0; i < m.GetNItems(); ++i) out.push_back(m.GetItem(i)->GetIsSeparator() ? "-" : m.GetItemText(i));
        return out;
    };
    FileEditPopupMenu& e = *b.plug->fileEditMenu;
    EXPECT_EQ(titles(e.rootMenu),
              (std::vector<std::string>{"Paste", "-", "Rename", "-", "Initialize Slot", "Get DATA from.."}));
    EXPECT_EQ(e.rootMenu.GetItem(5)->GetSubmenu(), &e.getDataMenu);
    EXPECT_EQ(titles(e.getDataMenu), (std::vector<std::string>{"Plug-in (active patch)", "-", "Hardware Edit Buffer",
                                                               "Hardware by Prog No."}));
    EXPECT_EQ(titles(b.plug->fileCopyMenu->rootMenu), (std::vector<std::string>{"Copy"}));
    // The menu stands at the click point with no size.
    const auto p = b.at(kUpper, 3);
    EXPECT_EQ((std::vector<int>{e.GetRECT()->L, e.GetRECT()->T, e.GetRECT()->R, e.GetRECT()->B}),
              (std::vector<int>{p.first, p.second, p.first, p.second}));
}

TEST(SlotMenus, CopyThenPasteFillsTheRightClickedUpperSlot)
{
    Menus b;
    const auto from = b.rightClick(kLower, 17);
    b.choose(b.plug->fileCopyMenu, b.plug->fileCopyMenu->rootMenu, FileCopyPopupMenu::kCopy, from);
    const auto to = b.rightClick(kUpper, 9);
    b.edit(FileEditPopupMenu::kPaste, to);
    EXPECT_EQ(b.upper(9).name, "Lower 17");
    EXPECT_EQ(b.grid().cellText(kUpper, 9), "Lower 17");
    EXPECT_EQ(b.status(), "Program received to slot(s)");
    // Rename opens the field with the pasted name.
    b.edit(FileEditPopupMenu::kRename, to);
    EXPECT_FALSE(b.plug->renameIdle);
}

TEST(SlotMenus, InitializeSlotPutsTheModesInitEntryIntoTheSlot)
{
    const struct {
        int kind;
        const char* name;
    } cases[] = {{kPatchFilePrograms, "Init Program    "},
                 {kPatchFilePerformances, "Init Perf       "},
                 {kPatchFilePatterns, "Requested Arp***"}};
    for (const auto& c : cases) {
        Menus b;
        b.mode(c.kind);
        const auto p = b.rightClick(kUpper, 17);
        b.edit(FileEditPopupMenu::kInitializeSlot, p);
        b.waitIdle();
        EXPECT_EQ(b.upper(17).name, c.name) << c.kind;
        EXPECT_EQ(b.grid().cellText(kUpper, 17), c.name) << c.kind;
        EXPECT_TRUE(b.upper(16).messages.empty()) << c.kind;
    }
}

TEST(SlotMenus, HardwareByProgramNumberStoresTheStoredProgramInTheSlot)
{
    Menus b;
    b.plug->selectedPart = 2;
    b.plug->GetParam(kMultiPartBank + 2)->Set(1);
    const auto p = b.rightClick(kUpper, 17);
    b.getData(FileEditPopupMenu::kFromProgramNumber, p);
    b.waitIdle();
    bool requested = false;
    for (const Bytes& m : b.plug->copy(b.plug->handed)) requested |= m.size() > 8 && m[7] == 0x06 && m[8] == 0x11;
    EXPECT_TRUE(requested);
    const LibrarianPatch entry = b.upper(17);
    ASSERT_EQ(entry.messages.size(), 1u);
    EXPECT_EQ(entry.messages[0].bytes.size(), 297u);
    EXPECT_EQ(b.grid().cellText(kUpper, 17), entry.name);
    EXPECT_FALSE(entry.name.empty());
}

TEST(SlotMenus, GetDataFillsTheSlotFromTheEditorOrTheSynthesizer)
{
    const struct {
        const char* name;
        int kind, item;
        size_t size; // of the slot's first message
        const char* status;
    } cases[] = {
        {"the editor's program", kPatchFilePrograms, FileEditPopupMenu::kFromPlugIn, 297,
         "Program received to slot(s)"},
        {"the editor's performance", kPatchFilePerformances, FileEditPopupMenu::kFromPlugIn, 383,
         "Multi received to slot(s)"},
        {"the edit buffer's program", kPatchFilePrograms, FileEditPopupMenu::kFromEditBuffer, 297,
         "Data request completed!"},
        {"the edit buffer's performance", kPatchFilePerformances, FileEditPopupMenu::kFromEditBuffer, 383,
         "Multi received to slot(s)"},
        {"a stored performance", kPatchFilePerformances, FileEditPopupMenu::kFromProgramNumber, 383,
         "Data request completed!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        synthsim::Options o = onDevice15();
        if (c.kind == kPatchFilePerformances) o.editReply = synthsim::EditReply::Performance;
        Menus b(o);
        b.mode(c.kind);
        b.plug->GetParam(kMultiBank)->Set(1);
        b.plug->GetParam(kPatchName + 0)->SetDisplayText(0, "Editor Program");
        b.plug->GetParam(kMultiName)->SetDisplayText(0, "Editor Multi");
        const auto p = b.rightClick(kUpper, 17);
        b.getData(c.item, p);
        b.waitIdle();
        const LibrarianPatch entry = b.upper(17);
        ASSERT_FALSE(entry.messages.empty());
        EXPECT_EQ(entry.messages[0].bytes.size(), c.size);
        EXPECT_EQ(b.grid().cellText(kUpper, 17), entry.name);
        EXPECT_EQ(b.status(), c.status);
        EXPECT_EQ(b.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
        if (c.item == FileEditPopupMenu::kFromPlugIn) {
            EXPECT_EQ(entry.name.rfind(c.kind == kPatchFilePrograms ? "Editor Program" : "Editor Multi", 0), 0u)
                << entry.name;
        } else {
            // The synthesizer was asked for its edit buffer, or for performance 17 of bank B.
            const Bytes asked = c.item == FileEditPopupMenu::kFromEditBuffer ? Bytes{0x08} : Bytes{0x13, 0x02, 17};
            bool requested = false;
            for (const Bytes& m : b.plug->copy(b.plug->handed))
                requested |= m.size() == 6 + asked.size() && Bytes(m.begin() + 6, m.end()) == asked;
            EXPECT_TRUE(requested);
        }
    }
}

// A slot fetched from the synthesizer (a stored program asked for, the edit buffer stored into
// the library) shows in every pane that shows the bank, and the lower pane marks it unsaved.
TEST(SlotMenus, AFetchedSlotShowsInBothPanesOfItsBank)
{
    for (const int item : {FileEditPopupMenu::kFromProgramNumber, FileEditPopupMenu::kFromEditBuffer}) {
        for (const bool oneBank : {true, false}) {
            const std::string what = std::to_string(item) + (oneBank ? " on one bank" : " on two banks");
            Menus b;
            b.plug->patchLibrarian->lowerFileIndex = oneBank ? 0 : 1;
            b.grid().patchSelectionLowerChanged();
            b.plug->GetParam(kPatchSelectionListLower)->SetDisplayText(0, "Bank");
            gridtest::showLibrarianPage(*b.plug);
            const auto p = b.rightClick(kUpper, 17);
            b.getData(item, p);
            b.waitIdle();
            EXPECT_FALSE(b.upper(17).messages.empty()) << what;
            EXPECT_EQ(gridtest::staleCell(*b.plug, kUpper), "") << what;
            EXPECT_EQ(gridtest::staleCell(*b.plug, kLower), "") << what;
            const std::string title = gridtest::lowerTitle(*b.plug);
            EXPECT_EQ(title.find(" (unsaved)") != std::string::npos, oneBank) << what << ": " << title;
        }
    }
}

TEST(SlotMenus, GetDataDoesNothingForPatterns)
{
    Menus b;
    b.mode(kPatchFilePatterns);
    const auto p = b.rightClick(kUpper, 17);
    const size_t before = b.plug->copy(b.plug->handed).size();
    for (int item : {0, 2, 3}) b.getData(item, p);
    b.waitIdle();
    EXPECT_EQ(b.plug->copy(b.plug->handed).size(), before);
    EXPECT_FALSE(b.plug->midiManager->libraryPatchRequest.active);
    EXPECT_TRUE(b.upper(17).messages.empty());
}

TEST(SlotMenus, ABusyJobThreadStartsNothingAndArmsNothing)
{
    Menus b;
    std::atomic<bool> hold{true}, paused{false};
    b.onPause = [&](int, int) {
        paused = true;
        while (hold) usleep(1000);
    };
    SenderJobRecord busy;
    busy.job = kJobRequestActiveArrangement;
    busy.toEditor = true;
    ASSERT_TRUE(b.plug->midiManager->startJob(busy));
    MIDIMessageManager& m = *b.plug->midiManager;
    // The job takes its first pause once it has set its own flags.
    while (!paused) usleep(1000);
    m.requestComplete = true;
    for (int kind : {kPatchFilePrograms, kPatchFilePerformances}) {
        b.mode(kind);
        const auto p = b.rightClick(kUpper, 17);
        m.expectingEditDump = false;
        b.edit(FileEditPopupMenu::kInitializeSlot, p);
        EXPECT_FALSE(m.expectingEditDump) << kind;
        for (int item : {0, 2, 3}) b.getData(item, p);
        EXPECT_FALSE(m.libraryPerformanceRequest.active) << kind;
        EXPECT_FALSE(m.libraryPatchRequest.active) << kind;
        EXPECT_TRUE(m.requestComplete) << kind;
    }
    EXPECT_FALSE(m.threadIdle(kJobThread));
    hold = false;
    b.waitIdle();
    EXPECT_TRUE(b.upper(17).messages.empty());
}

TEST(SlotMenus, EachRightClickReplacesAndFreesTheKeptMenu)
{
    Menus b;
    b.rightClick(kUpper, 2);
    const FileEditPopupMenu* first = b.plug->fileEditMenu;
    b.rightClick(kUpper, 2);
    EXPECT_NE(b.plug->fileEditMenu, first);
    EXPECT_NE(b.plug->fileEditMenu, nullptr);
    b.rightClick(kLower, 2);
    const FileCopyPopupMenu* copy = b.plug->fileCopyMenu;
    b.rightClick(kLower, 200);
    EXPECT_NE(b.plug->fileCopyMenu, copy);
    // The edit menu stays until the next right click on an upper slot.
    EXPECT_NE(b.plug->fileEditMenu, nullptr);
}
