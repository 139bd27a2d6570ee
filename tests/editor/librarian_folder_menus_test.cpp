// The librarian's folder menus over trees the test builds: texts, checks, recorded folders,
// choices and what they select, rebuilds with the remembered names.
#include "Project_Source/src/LibrarianFolderMenus.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "plugin/graphics_offscreen.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

using namespace qorid;

namespace
{

// The menu as a line: items joined by " | ", "*" before a checked one, a submenu in braces.
std::string describe(const IPopupMenu* menu)
{
    std::string s;
    for (int i = 0; i < menu->GetNItems(); ++i) {
        const IPopupMenuItem* item = menu->GetItem(i);
        if (i) s += " | ";
        if (item->GetChecked()) s += "*";
        s += item->GetText();
        if (item->GetSubmenu()) s += "{" + describe(item->GetSubmenu()) + "}";
    }
    return s;
}

// A surface whose menus answer a path of item indexes into submenus (empty: dismissed).
class PathSurface : public OffscreenGraphics {
public:
    using OffscreenGraphics::OffscreenGraphics;
    std::deque<std::vector<int>> paths;
    std::vector<std::string> shown;
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) override
    {
        shown.push_back(describe(menu));
        lastPromptRect = *r;
        std::vector<int> path = paths.empty() ? std::vector<int>{} : paths.front();
        if (!paths.empty()) paths.pop_front();
        if (path.empty()) return nullptr;
        for (size_t i = 0; i + 1 < path.size(); ++i) menu = menu->GetItem(path[i])->GetSubmenu();
        menu->SetChosenItemIdx(path.back());
        return menu;
    }
};

class ListControl : public IControl {
public:
    using IControl::IControl;
    bool Draw(IGraphics*) override { return true; }
};

// A bare controller for its remembered names and selection controls, with the menus on a small
// surface whose two selection lists hold ten banks.
struct Bench {
    Bench()
    {
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        testing::internal::CaptureStdout();
        q = std::make_unique<QOR>(IPluginInstanceInfo());
        testing::internal::GetCapturedStdout();
        lib = q->patchLibrarian;
        clear();
        surfacePlug.AttachGraphics(surface);
        for (int id : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
            IParam* p = surfacePlug.GetParam(id);
            p->InitEnum("list", 0, 10);
            for (int i = 0; i < 10; ++i) p->SetDisplayText(i, std::to_string(i).c_str());
        }
        upper = new ListControl(&surfacePlug, IRECT(0, 0, 10, 10), kPatchSelectionListUpper);
        lower = new ListControl(&surfacePlug, IRECT(0, 0, 10, 10), kPatchSelectionListLower);
        surface->AttachControl(upper);
        surface->AttachControl(lower);
        q->upperSelectionControl = upper;
        q->lowerSelectionControl = lower;
    }
    void clear()
    {
        for (int t : {0, 1, 2, 3, 4}) lib->clearDataStructures(t);
        lib->singleFiles.clear(), lib->multiFiles.clear(), lib->patternFiles.clear();
        lib->categoryFiles.clear(), lib->searchFiles.clear();
    }
    // A bank file at path below the root ("A/B/x.syx"), filed into the kind's tree and list.
    PatchFile* file(const std::string& path, int kind = kPatchFilePrograms)
    {
        auto* f = lib->adoptBank(new PatchFile);
        f->kind = kind;
        f->folderNames = {"Patches"};
        size_t at = 0;
        for (size_t slash; (slash = path.find('/', at)) != std::string::npos; at = slash + 1)
            f->folderNames.push_back(path.substr(at, slash - at));
        f->fileName = path.substr(at);
        f->folderName = f->folderNames.back();
        if (kind == kPatchFilePrograms) lib->createSingleFolderFilesStructure(f), lib->singleFiles.push_back(f);
        if (kind == kPatchFilePerformances) lib->createMultiFolderFilesStructure(f), lib->multiFiles.push_back(f);
        if (kind == kPatchFilePatterns) lib->createPatternFolderFilesStructure(f), lib->patternFiles.push_back(f);
        return f;
    }
    template <class Menu> std::unique_ptr<Menu> make()
    {
        return std::make_unique<Menu>(&surfacePlug, lib, IRECT(379, 188, 795, 207), q.get());
    }
    double param(bool upperPane) const
    {
        return surfacePlug.GetParam(upperPane ? kPatchSelectionListUpper : kPatchSelectionListLower)->Value();
    }
    std::vector<std::string> recorded(const FolderPopupMenu& m) const { return m.menus()->folderMenuNames; }

    testsupport::TempDir dir;
    std::unique_ptr<QOR> q;
    PatchLibrarian* lib = nullptr;
    SurfacePlug surfacePlug{5124};
    PathSurface* surface = new PathSurface(&surfacePlug, 900, 600);
    ListControl *upper = nullptr, *lower = nullptr;
};

} // namespace

TEST(FolderMenus, TheWalkListsFoldersThenRootFilesAndChecksTheFirstFileOrTheRememberedOne)
{
    const struct {
        const char* what;
        std::vector<std::string> files; // in filing order
        std::string name, folder;        // remembered at the rebuild
        std::string menu;
        std::vector<std::string> recorded;
        int index; // the upper index after the rebuild; -1 keeps 0
    } cases[] = {
        {"root files only", {"r1.syx", "r2.syx"}, "", "", "*r1.syx | r2.syx", {"Patches"}, -1},
        {"root files only, remembered", {"r1.syx", "r2.syx"}, "r2.syx", "Patches", "r1.syx | *r2.syx", {"Patches"}, 1},
        {"folders first, then the root's files",
         {"A/a1.syx", "r1.syx", "r2.syx"}, // the scan files the root's own files last
         "",
         "",
         "A{*a1.syx} | r1.syx | r2.syx",
         {"A", "Patches"},
         -1},
        {"a folder's sub-folders before its own files",
         {"A/X/x1.syx", "A/a1.syx", "A/X/x2.syx"},
         "x2.syx",
         "X",
         "A{X{x1.syx | *x2.syx} | a1.syx}",
         {"X", "A"},
         2},
        {"a folder of sub-folders only", {"A/X/x1.syx", "A/Y/y1.syx"}, "", "", "A{X{*x1.syx}} | A{Y{y1.syx}}",
         {"X", "A", "Y", "A"}, -1},
        {"a second-level name under two top nodes",
         {"A/X/x1.syx", "A/Y/y1.syx", "A/a1.syx"},
         "a1.syx",
         "A",
         "A{X{x1.syx} | *a1.syx} | A{Y{y1.syx} | a1.syx}",
         {"X", "A", "Y", "A"},
         2},
        {"files four folders down are in no menu", {"A/B/C/deep.syx"}, "", "", "", {"Patches"}, -1},
        {"an empty tree", {}, "", "", "", {}, -1},
    };
    for (const auto& c : cases) {
        Bench b;
        for (const std::string& f : c.files) b.file(f);
        auto menu = b.make<LeftPatchPopupMenu>();
        EXPECT_TRUE(menu->refreshFolderStructure(nullptr, nullptr, 0, c.name, c.folder));
        EXPECT_EQ(describe(menu->menus()->rootMenu), c.menu) << c.what;
        EXPECT_EQ(b.recorded(*menu), c.recorded) << c.what;
        EXPECT_EQ(b.lib->upperFileIndex, c.index < 0 ? 0 : c.index) << c.what;
        EXPECT_EQ(b.param(true), c.index < 0 ? 0.0 : c.index) << c.what;
        EXPECT_DOUBLE_EQ(b.upper->GetValue(), c.index < 0 ? 0.0 : c.index / 9.0) << c.what;
    }
}

TEST(FolderMenus, AChoiceSelectsTheFileByFolderAndNameAndRemembersThem)
{
    const struct {
        const char* what;
        std::vector<std::string> files;
        std::vector<int> path; // empty: dismissed
        std::string name, folder;
        int index;
        std::string menuAfter;
    } cases[] = {
        {"a root file", {"r1.syx", "r2.syx"}, {1}, "r2.syx", "Patches", 1, "r1.syx | *r2.syx"},
        {"a root file after folders", {"A/a1.syx", "r1.syx", "r2.syx"}, {2}, "r2.syx", "Patches", 2,
         "A{a1.syx} | r1.syx | *r2.syx"},
        {"two folders down", {"A/X/x1.syx", "A/a1.syx", "A/X/x2.syx"}, {0, 0, 1}, "x2.syx", "X", 2,
         "A{X{x1.syx | *x2.syx} | a1.syx}"},
        // The same file under two equal folders: the first list entry, the chosen item checked.
        {"the second of two equal folders", {"A/X/x1.syx", "A/Y/y1.syx", "A/a1.syx"}, {1, 1}, "a1.syx", "A", 2,
         "A{X{x1.syx} | a1.syx} | A{Y{y1.syx} | *a1.syx}"},
        {"dismissed", {"r1.syx", "r2.syx"}, {}, "keep.syx", "Kept", 1, "r1.syx | *r2.syx"},
        // The root's item of a submenu is not a file of a recorded menu: the names are emptied.
        {"a folder item of the unrecorded root", {"A/a1.syx", "B/X/x.syx"}, {0}, "", "", 1, "A{a1.syx} | B{X{x.syx}}"},
    };
    for (const auto& c : cases) {
        Bench b;
        for (const std::string& f : c.files) b.file(f);
        b.q->upperProgramFileName = "keep.syx";
        b.q->upperProgramFolderName = "Kept";
        b.lib->upperFileIndex = 1;
        auto menu = b.make<LeftPatchPopupMenu>();
        b.surface->paths = {c.path};
        menu->OnMouseDown(400, 190, nullptr);
        EXPECT_EQ(b.surface->lastPromptRect.L, 379) << c.what;
        EXPECT_EQ(b.q->upperProgramFileName, c.name) << c.what;
        EXPECT_EQ(b.q->upperProgramFolderName, c.folder) << c.what;
        EXPECT_EQ(b.lib->upperFileIndex, c.index) << c.what;
        EXPECT_EQ(menu->selectedIndex, c.index) << c.what;
        EXPECT_EQ(b.param(true), c.index) << c.what;
        EXPECT_DOUBLE_EQ(b.upper->GetValue(), c.index / 9.0) << c.what;
        if (!c.path.empty()) {
            EXPECT_EQ(describe(menu->menus()->rootMenu), c.menuAfter) << c.what;
        }
        EXPECT_EQ(b.lib->lowerFileIndex, 0) << c.what;
    }
}

TEST(FolderMenus, EqualNamesAChoiceTakesTheFirstEntryARebuildTheLastTheCheckTheFirstItem)
{
    Bench b;
    b.file("A/same.syx");
    b.file("B/X/x.syx");
    b.file("A/same.syx");
    auto menu = b.make<RightPatchPopupMenu>();
    b.surface->paths = {{0, 0}};
    menu->OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(b.lib->lowerFileIndex, 0);
    EXPECT_EQ(b.param(false), 0.0);
    menu->refreshFolderStructure(nullptr, nullptr, 0, b.q->lowerProgramFileName, b.q->lowerProgramFolderName);
    EXPECT_EQ(b.lib->lowerFileIndex, 2);
    EXPECT_EQ(b.param(false), 2.0);
    EXPECT_EQ(describe(menu->menus()->rootMenu), "A{*same.syx | same.syx} | B{X{x.syx}}");
}

TEST(FolderMenus, CheckByListIndexLeavesOneCheckOrNoneOutsideTheList)
{
    Bench b;
    for (const char* f : {"A/a1.syx", "A/a2.syx", "r.syx"}) b.file(f);
    auto menu = b.make<LeftPatchPopupMenu>();
    const struct {
        int index;
        const char* menu;
    } cases[] = {{1, "A{a1.syx | *a2.syx} | r.syx"},
                 {2, "A{a1.syx | a2.syx} | *r.syx"},
                 {0, "A{*a1.syx | a2.syx} | r.syx"},
                 {3, "A{a1.syx | a2.syx} | r.syx"},
                 {-1, "A{a1.syx | a2.syx} | r.syx"}};
    for (const auto& c : cases) {
        menu->checkMenuItemAlone(nullptr, nullptr, c.index);
        EXPECT_EQ(describe(menu->menus()->rootMenu), c.menu) << c.index;
    }
}

TEST(FolderMenus, EachMenuWalksItsOwnTreeAndDrivesItsPaneAndPair)
{
    Bench b;
    b.file("P/p.syx");
    b.file("M/m.syx", kPatchFilePerformances);
    b.file("T/t.syx", kPatchFilePatterns);
    struct Row {
        std::unique_ptr<FolderPopupMenu> menu;
        bool upper;
        std::string QOR::*name;
        const char* shown;
    };
    Row rows[] = {
        {b.make<LeftPatchPopupMenu>(), true, &QOR::upperProgramFileName, "P{*p.syx}"},
        {b.make<RightPatchPopupMenu>(), false, &QOR::lowerProgramFileName, "P{*p.syx}"},
        {b.make<LeftPerfPopupMenu>(), true, &QOR::upperPerformanceFileName, "M{*m.syx}"},
        {b.make<RightPerfPopupMenu>(), false, &QOR::lowerPerformanceFileName, "M{*m.syx}"},
        {b.make<LeftPatternPopupMenu>(), true, &QOR::upperPatternFileName, "T{*t.syx}"},
        {b.make<RightPatternPopupMenu>(), false, &QOR::lowerPatternFileName, "T{*t.syx}"},
    };
    for (Row& r : rows) {
        b.lib->upperFileIndex = b.lib->lowerFileIndex = 5;
        b.surface->paths = {{0, 0}};
        r.menu->OnMouseDown(0, 0, nullptr);
        EXPECT_EQ(b.surface->shown.back(), r.shown);
        EXPECT_EQ(describe(r.menu->menus()->rootMenu), r.shown);
        EXPECT_EQ(b.q.get()->*r.name, std::string(r.shown).substr(3, 5));
        EXPECT_EQ(r.upper ? b.lib->upperFileIndex : b.lib->lowerFileIndex, 0) << r.shown;
        EXPECT_EQ(r.upper ? b.lib->lowerFileIndex : b.lib->upperFileIndex, 5) << r.shown;
    }
}

TEST(FolderMenus, APatternChoiceIsCheckedAgainAfterARebuildWithTheRememberedNames)
{
    Bench b;
    for (const char* f : {"T/t1.syx", "T/t2.syx", "U/u.syx"}) b.file(f, kPatchFilePatterns);
    auto menu = b.make<LeftPatternPopupMenu>();
    b.surface->paths = {{1, 0}};
    menu->OnMouseDown(0, 0, nullptr);
    b.lib->upperFileIndex = 0; // the data type switched away and back
    menu->refreshFolderStructure(nullptr, nullptr, 0, b.q->upperPatternFileName, b.q->upperPatternFolderName);
    EXPECT_EQ(describe(menu->menus()->rootMenu), "T{t1.syx | t2.syx} | U{*u.syx}");
    EXPECT_EQ(b.lib->upperFileIndex, 2);
}

TEST(FolderMenus, CategoryBanksAreListedByCategoryAndTheEmptyLastBankKeepsTheIndex)
{
    Bench b;
    b.file("P/p.syx");
    auto bank = [&](const std::string& name, bool listed) {
        auto* f = b.lib->adoptBank(new PatchFile);
        f->fileName = name;
        f->folderName = "Bass";
        if (listed) b.lib->categoryFiles.push_back(f);
        return f;
    };
    SubFolderFiles bass{"Bass", {}, {bank("Bass 1", true), bank("Bass 2", false)}};
    b.lib->categoryFolders.push_back(new FolderFiles("", bass));
    auto category = b.make<RightCategoryPopupMenu>();
    EXPECT_EQ(describe(category->menus()->rootMenu), "Bass{*Bass 1 | Bass 2}");
    EXPECT_EQ(b.recorded(*category), (std::vector<std::string>{"Bass", ""}));

    b.lib->lowerFileIndex = 0;
    b.surface->paths = {{0, 1}};
    category->OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(b.q->lowerProgramFileName, "Bass 2");
    EXPECT_EQ(b.q->lowerProgramFolderName, "Bass");
    EXPECT_EQ(b.lib->lowerFileIndex, 0);
    EXPECT_EQ(describe(category->menus()->rootMenu), "Bass{Bass 1 | *Bass 2}");

    // The program menu finds no such file and checks by position.
    auto programs = b.make<RightPatchPopupMenu>();
    b.lib->lowerFileIndex = 0;
    programs->refreshFolderStructure(nullptr, nullptr, 0, b.q->lowerProgramFileName, b.q->lowerProgramFolderName);
    EXPECT_EQ(describe(programs->menus()->rootMenu), "P{*p.syx}");
    EXPECT_EQ(b.lib->lowerFileIndex, 0);
}

TEST(FolderMenus, SearchBanksAreTheRootsItemsAndEmptyTreesRecordOnlyTheCategoryRoot)
{
    Bench b;
    auto category = b.make<RightCategoryPopupMenu>();
    auto search = b.make<RightSearchPopupMenu>();
    auto programs = b.make<RightPatchPopupMenu>();
    EXPECT_EQ(b.recorded(*category), std::vector<std::string>{""});
    EXPECT_TRUE(b.recorded(*search).empty());
    EXPECT_TRUE(b.recorded(*programs).empty());
    b.surface->paths = {{0}};
    programs->OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(b.surface->shown.back(), "");

    for (const char* name : {"found 1", "found 2"}) {
        auto* f = b.lib->adoptBank(new PatchFile);
        f->fileName = name;
        f->folderName = "Patches";
        b.lib->searchFiles.push_back(f);
        auto* top = new FolderFiles;
        top->files.push_back(f);
        b.lib->searchFolders.push_back(top);
    }
    search->refreshFolderStructure(nullptr, nullptr, 0, "found 2", "Patches");
    EXPECT_EQ(describe(search->menus()->rootMenu), "*found 1 | found 2") << "the walk's check stays";
    EXPECT_EQ(b.lib->lowerFileIndex, 1);
    b.surface->paths = {{1}};
    search->OnMouseDown(0, 0, nullptr);
    EXPECT_EQ(b.q->lowerProgramFileName, "found 2");
    EXPECT_EQ(describe(search->menus()->rootMenu), "found 1 | *found 2");
}

TEST(FolderMenus, AFileGoneSinceTheRebuildKeepsTheIndexAndTheNamesAreStillTaken)
{
    Bench b;
    b.file("A/a1.syx");
    b.file("A/a2.syx");
    auto menu = b.make<LeftPatchPopupMenu>();
    b.lib->singleFiles.pop_back(); // rescanned without a2 since
    b.surface->paths = {{0, 1}};
    int index = 7;
    EXPECT_EQ(menu->doPopupMenu(b.q.get(), index), 7);
    EXPECT_EQ(b.q->upperProgramFileName, "a2.syx");
    EXPECT_EQ(b.q->upperProgramFolderName, "A");
    b.surface->paths = {{}};
    index = 7;
    EXPECT_EQ(menu->doPopupMenu(b.q.get(), index), 0) << "dismissed";
    EXPECT_EQ(b.q->upperProgramFileName, "a2.syx");
}

TEST(FolderMenus, DrawingLeavesTheBackgroundAsItWas)
{
    Bench b;
    b.surface->PrepDraw();
    auto menu = b.make<LeftPatchPopupMenu>();
    RAST_IBitmap* bm = b.surface->GetDrawBitmap();
    ASSERT_NE(bm, nullptr);
    RAST_FillRect(bm, 0, 0, bm->getWidth(), bm->getHeight(), 0xFF336699u, 1.0f, 0);
    menu->Draw(b.surface);
    EXPECT_EQ(bm->getBits()[190 * bm->getRowSpan() + 400], 0xFF336699u);
}
