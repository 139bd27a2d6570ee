// The folder walk and the eight folder menus of the librarian's panes.
#include "LibrarianFolderMenus.h"

#include <algorithm>

#include "LibrarianViewControl.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IParam.h"

using namespace qorid;

namespace
{

// The folder name the root's own files are filed under in the menus, whatever their own says.
const char* const kRootFolderName = "Patches";

// One walk over a tree: the position of the next file item and whether the check has landed.
struct Walker {
    FolderMenuSet& set;
    int index;
    const std::string& name;
    const std::string& folder;
    int p = 0;
    bool found = false;

    // Appends the files of one node to menu; their folder name is folderOf, or each file's own.
    void addFiles(MyMenuClass* menu, const std::vector<PatchFile*>& files, const char* folderOf)
    {
        for (size_t j = 0; j < files.size(); ++j) {
            const PatchFile* f = files[j];
            menu->AddItem(f->fileName.c_str());
            if (found) continue;
            const int k = menu->GetNItems() - 1;
            const std::string& folderName = folderOf ? std::string(folderOf) : f->folderName;
            if ((folderName == folder && f->fileName == name) || p + int(j) == index) {
                menu->CheckItemAlone(k);
                found = true;
            }
        }
        p += int(files.size());
    }
};

} // namespace

FolderMenuSet::FolderMenuSet() : rootMenu(new MyMenuClass) {}

FolderMenuSet::~FolderMenuSet()
{
    if (recordedIndex(rootMenu) < 0) delete rootMenu;
    for (MyMenuClass* m : folderMenus) delete m;
}

void FolderMenuSet::record(MyMenuClass* menu, const std::string& name)
{
    folderMenus.push_back(menu);
    folderMenuNames.push_back(name);
}

int FolderMenuSet::recordedIndex(const IPopupMenu* menu) const
{
    for (size_t i = 0; i < folderMenus.size(); ++i)
        if (folderMenus[i] == menu) return int(i);
    return -1;
}

void FolderMenuSet::uncheckAll()
{
    for (MyMenuClass* m : folderMenus) m->CheckItemAlone(-1);
}

bool FolderMenuSet::checkAlone(const std::string& file, const std::string& folder)
{
    bool checked = false;
    for (size_t r = 0; r < folderMenus.size(); ++r) {
        MyMenuClass* m = folderMenus[r];
        m->CheckItemAlone(-1);
        if (checked || folderMenuNames[r] != folder) continue;
        for (int i = 0; i < m->GetNItems(); ++i) {
            if (file == m->GetItemText(i)) {
                m->CheckItemAlone(i);
                checked = true;
                break;
            }
        }
    }
    return checked;
}

std::unique_ptr<FolderMenuSet> FolderMenuSet::walk(const std::vector<FolderFiles*>& tree, Walk walk, int index,
                                                   const std::string& name, const std::string& folder)
{
    auto set = std::make_unique<FolderMenuSet>();
    Walker w{*set, index, name, folder};
    MyMenuClass* root = set->rootMenu;
    for (size_t t = 0; t < tree.size(); ++t) {
        const FolderFiles& top = *tree[t];
        if (walk == Walk::Search) {
            w.addFiles(root, top.files, kRootFolderName);
            continue;
        }
        if (walk == Walk::Full && top.subFolders.empty()) {
            // A top node's own files show only when it has no folders below it.
            w.addFiles(root, top.files, kRootFolderName);
            if (t + 1 == tree.size()) set->record(root, kRootFolderName);
            continue;
        }
        for (const SubFolderFiles& second : top.subFolders) {
            auto* folderMenu = new MyMenuClass;
            if (walk == Walk::Full) {
                for (const SubFolderFiles2& third : second.subFolders) {
                    auto* subFolderMenu = new MyMenuClass;
                    w.addFiles(subFolderMenu, third.files, nullptr);
                    folderMenu->AddItem(third.name.c_str(), subFolderMenu);
                    set->record(subFolderMenu, third.name);
                }
            }
            w.addFiles(folderMenu, second.files, nullptr);
            root->AddItem(second.name.c_str(), folderMenu);
            set->record(folderMenu, second.name);
        }
    }
    if (walk == Walk::Category) set->record(root, "");
    if (walk == Walk::Search && !tree.empty()) set->record(root, kRootFolderName);
    return set;
}

// ---- the controls ---------------------------------------------------------------------------

FolderPopupMenu::FolderPopupMenu(const FolderMenuRow& row, IPluginBase* base, PatchLibrarian* libraryIn, IRECT rect,
                                 QOR* owner)
    : IControl(base, rect), library(libraryIn), plug(owner), mRow(row), mMenus(std::make_shared<FolderMenuSet>())
{
    // The controller builds its menus before anything is selected: the names are empty.
    std::string name, folder;
    if (plug && library) {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        name = plug->*mRow.fileName;
        folder = plug->*mRow.folderName;
    }
    refreshFolderStructure(library, plug, 0, name, folder);
}

FolderPopupMenu::~FolderPopupMenu() = default;

std::shared_ptr<FolderMenuSet> FolderPopupMenu::menus() const
{
    std::lock_guard<std::mutex> hold(mMenusLock);
    return mMenus;
}

int FolderPopupMenu::selectionParam() const
{
    return mRow.upperPane ? kPatchSelectionListUpper : kPatchSelectionListLower;
}

IControl* FolderPopupMenu::selectionControl() const
{
    if (!plug) return nullptr;
    return mRow.upperPane ? plug->upperSelectionControl : plug->lowerSelectionControl;
}

int32_t& FolderPopupMenu::paneIndex() const
{
    return mRow.upperPane ? library->upperFileIndex : library->lowerFileIndex;
}

void FolderPopupMenu::showSelection(int b, bool throughSurface)
{
    IParam* param = mPlug ? mPlug->GetParam(selectionParam()) : nullptr;
    if (!param) return;
    param->Set(std::clamp(double(b), param->GetMin(), param->GetMax()));
    IGraphics* g = GetGUI();
    if (throughSurface && g) g->SetParameterFromPlug(selectionParam(), double(b), false);
    // The control takes the parameter's position, so that both show the same bank.
    if (IControl* control = selectionControl()) control->SetValueFromPlug(param->GetNormalized(double(b)));
}

bool FolderPopupMenu::refreshFolderStructure(PatchLibrarian*, QOR*, int index, std::string name, std::string folder)
{
    if (!library) return true;
    std::shared_ptr<FolderMenuSet> fresh;
    int chosen = -1;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        fresh = FolderMenuSet::walk(library->*mRow.tree, mRow.walk, index, name, folder);
        const std::vector<PatchFile*>& list = library->*mRow.list;
        // With equal names the last one ends selected.
        for (size_t b = 0; b < list.size(); ++b)
            if (list[b]->folderName == folder && list[b]->fileName == name) chosen = int(b);
        if (chosen >= 0) {
            paneIndex() = chosen;
            // The category and search menus keep the checks of the walk.
            if (mRow.walk == FolderMenuSet::Walk::Full) fresh->checkAlone(list[size_t(chosen)]->fileName, folder);
        }
    }
    {
        std::lock_guard<std::mutex> hold(mMenusLock);
        mMenus = fresh;
    }
    if (chosen >= 0) showSelection(chosen, true);
    return true;
}

void FolderPopupMenu::checkMenuItemAlone(PatchLibrarian*, QOR*, int index)
{
    std::shared_ptr<FolderMenuSet> set = menus();
    std::string file, folder;
    bool inList = false;
    if (library) {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        const std::vector<PatchFile*>& list = library->*mRow.list;
        if (index >= 0 && size_t(index) < list.size()) {
            file = list[size_t(index)]->fileName;
            folder = list[size_t(index)]->folderName;
            inList = true;
        }
    }
    std::lock_guard<std::mutex> hold(mMenusLock);
    if (inList) set->checkAlone(file, folder);
    else set->uncheckAll();
}

int FolderPopupMenu::doPopupMenu(QOR*, int& index)
{
    IGraphics* g = GetGUI();
    if (!g || !library) return 0;
    std::shared_ptr<FolderMenuSet> set = menus();
    IPopupMenu* returned = g->CreateIPopupMenu(set->rootMenu, &mRECT);
    if (!returned) return 0;

    std::string file, folder;
    {
        std::lock_guard<std::mutex> hold(mMenusLock);
        set->uncheckAll();
        const int r = set->recordedIndex(returned);
        const int c = returned->GetChosenItemIdx();
        if (r >= 0 && c >= 0 && c < returned->GetNItems()) {
            returned->CheckItemAlone(c);
            file = returned->GetItemText(c);
            folder = set->folderMenuNames[size_t(r)];
        }
    }
    bool missing = false;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        if (!file.empty() || !folder.empty()) {
            const std::vector<PatchFile*>& list = library->*mRow.list;
            auto hit = std::find_if(list.begin(), list.end(), [&](const PatchFile* f) {
                return f->folderName == folder && f->fileName == file;
            });
            if (hit != list.end()) index = int(hit - list.begin());
            else missing = true;
        }
        // Also emptied by a choice outside the recorded menus.
        if (plug) {
            plug->*mRow.fileName = file;
            plug->*mRow.folderName = folder;
        }
    }
    if (missing && plug) plug->log("PATCH LIBRARIAN: Bank file " + folder + "/" + file + " is no longer in the library");
    return index;
}

void FolderPopupMenu::OnMouseDown(int, int, IMouseMod*)
{
    if (!chooseBank()) return;
    reloadPane();
    SetRedrawAgain();
    SetDirty(true);
}

bool FolderPopupMenu::chooseBank()
{
    if (!library) return false;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        selectedIndex = paneIndex();
    }
    doPopupMenu(plug, selectedIndex);
    // A dismissed menu still writes the pane's bank again and reloads it.
    showSelection(selectedIndex, false);
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        paneIndex() = selectedIndex;
    }
    return true;
}

void FolderPopupMenu::reloadPane()
{
    if (plug) plug->setLibrarianViewDirty();
    if (LibrarianViewControl* view = plug ? plug->librarianView : nullptr) {
        if (mRow.upperPane) view->patchSelectionUpperChanged();
        else view->patchSelectionLowerChanged();
    }
}

bool FolderPopupMenu::Draw(IGraphics* g)
{
    return g->FillIRect(&COLOR_TRANSPARENT, &mRECT);
}

// ---- the eight rows -------------------------------------------------------------------------

namespace
{

using Walk = FolderMenuSet::Walk;
using L = PatchLibrarian;

const FolderMenuRow kLeftPatchRow{&L::singleFolders,         &L::singleFiles, Walk::Full, true,
                                  &QOR::upperProgramFileName, &QOR::upperProgramFolderName};
const FolderMenuRow kRightPatchRow{&L::singleFolders,         &L::singleFiles, Walk::Full, false,
                                   &QOR::lowerProgramFileName, &QOR::lowerProgramFolderName};
const FolderMenuRow kLeftPerfRow{&L::multiFolders,                &L::multiFiles, Walk::Full, true,
                                 &QOR::upperPerformanceFileName, &QOR::upperPerformanceFolderName};
const FolderMenuRow kRightPerfRow{&L::multiFolders,                &L::multiFiles, Walk::Full, false,
                                  &QOR::lowerPerformanceFileName, &QOR::lowerPerformanceFolderName};
const FolderMenuRow kLeftPatternRow{&L::patternFolders,           &L::patternFiles, Walk::Full, true,
                                    &QOR::upperPatternFileName, &QOR::upperPatternFolderName};
const FolderMenuRow kRightPatternRow{&L::patternFolders,           &L::patternFiles, Walk::Full, false,
                                     &QOR::lowerPatternFileName, &QOR::lowerPatternFolderName};
// The category and search menus share the lower program pair with RightPatchPopupMenu.
const FolderMenuRow kRightCategoryRow{&L::categoryFolders,         &L::categoryFiles, Walk::Category, false,
                                      &QOR::lowerProgramFileName, &QOR::lowerProgramFolderName};
const FolderMenuRow kRightSearchRow{&L::searchFolders,           &L::searchFiles, Walk::Search, false,
                                    &QOR::lowerProgramFileName, &QOR::lowerProgramFolderName};

} // namespace

#define QOR_FOLDER_MENU(Name, row)                                                                                  \
    Name::Name(IPluginBase* base, PatchLibrarian* library, IRECT rect, QOR* owner)                                  \
        : FolderPopupMenu(row, base, library, rect, owner)                                                          \
    {                                                                                                               \
    }
QOR_FOLDER_MENU(LeftPatchPopupMenu, kLeftPatchRow)
QOR_FOLDER_MENU(RightPatchPopupMenu, kRightPatchRow)
QOR_FOLDER_MENU(LeftPerfPopupMenu, kLeftPerfRow)
QOR_FOLDER_MENU(RightPerfPopupMenu, kRightPerfRow)
QOR_FOLDER_MENU(LeftPatternPopupMenu, kLeftPatternRow)
QOR_FOLDER_MENU(RightPatternPopupMenu, kRightPatternRow)
QOR_FOLDER_MENU(RightCategoryPopupMenu, kRightCategoryRow)
QOR_FOLDER_MENU(RightSearchPopupMenu, kRightSearchRow)
#undef QOR_FOLDER_MENU
