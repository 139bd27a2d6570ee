#pragma once
// The folder menus of the librarian's two panes: invisible strips whose click pops up every bank
// file of one list, arranged by the folder tree the scan built, and makes the chosen file the
// pane's bank. The eight controls differ only in their row (tree, list, pane, walk, remembered
// pair); the walk itself is FolderMenuSet, which the bank-name menus build with too.
//
// Threads: a rebuild may run off the main thread while the main thread shows the menu. A
// control's menus are one set, built whole and swapped in under the control's own lock; a click
// shows the set it took, which lives until neither holds it. Trees, lists and the pane's index
// are read and written under the librarian's lock; no lock is held across the popup.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FolderFiles.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IPopupMenu.h"

class PatchLibrarian;
class QOR;
struct PatchFile;

// The popup-menu type of the folder menus: a plain menu.
using MyMenuClass = IPopupMenu;

// The menus one walk of a folder tree made: the root that pops up, and every menu that can hold
// file items with the folder name it stands for. Owns them all; the texts are copies.
class FolderMenuSet {
public:
    // Full: every level, the root's own files under "Patches". Category: the second-level nodes
    // only, the root recorded last without a name. Search: the top nodes' own files only, under
    // "Patches".
    enum class Walk { Full, Category, Search };

    // Walks tree. The first file item whose folder and file name equal folder and name gets the
    // check, or, coming first in walk order, the file item at walk position index.
    static std::unique_ptr<FolderMenuSet> walk(const std::vector<FolderFiles*>& tree, Walk walk, int index,
                                               const std::string& name, const std::string& folder);

    FolderMenuSet();
    ~FolderMenuSet();
    FolderMenuSet(const FolderMenuSet&) = delete;
    FolderMenuSet& operator=(const FolderMenuSet&) = delete;

    // Clears every check, then checks the first item reading file in the first menu recorded
    // under folder. False when there is none.
    bool checkAlone(const std::string& file, const std::string& folder);
    // Clears the checks of every recorded menu.
    void uncheckAll();
    // Where menu was recorded, or -1.
    int recordedIndex(const IPopupMenu* menu) const;

    MyMenuClass* rootMenu;
    std::vector<MyMenuClass*> folderMenus;
    std::vector<std::string> folderMenuNames;

private:
    void record(MyMenuClass* menu, const std::string& name);
};

// What sets one folder menu apart from the others.
struct FolderMenuRow {
    std::vector<FolderFiles*> PatchLibrarian::*tree;
    std::vector<PatchFile*> PatchLibrarian::*list;
    FolderMenuSet::Walk walk;
    bool upperPane;
    std::string QOR::*fileName; // the remembered pair of the pane and kind
    std::string QOR::*folderName;
};

class FolderPopupMenu : public IControl {
public:
    ~FolderPopupMenu() override;

    // Pops the menu, applies a choice, and writes the pane's index, parameter and control again
    // whatever was chosen; the pane is reloaded. Button and modifiers do not matter.
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    // Transparent: the background shows through.
    bool Draw(IGraphics* g) override;

    // Rebuilds the menus; when a file of the list has folder and name, the last such file
    // becomes the pane's bank. The first two arguments are not used. Always true.
    bool refreshFolderStructure(PatchLibrarian*, QOR*, int index, std::string name, std::string folder);
    // Leaves one check: on the item of list entry index; an index outside the list clears them.
    void checkMenuItemAlone(PatchLibrarian*, QOR*, int index);
    // Pops the menu. On a choice the chosen file's list index goes into index (unchanged when
    // the list no longer holds it) and is answered; a dismissed menu answers 0 and changes
    // nothing.
    int doPopupMenu(QOR*, int& index);

    // The menus a click would show now.
    std::shared_ptr<FolderMenuSet> menus() const;
    const FolderMenuRow& row() const { return mRow; }

    int selectedIndex = 0;
    PatchLibrarian* library;
    QOR* plug;

protected:
    FolderPopupMenu(const FolderMenuRow& row, IPluginBase* base, PatchLibrarian* library, IRECT rect, QOR* owner);
    // The steps of a click: the menu popped and the pane's index, parameter and control written
    // again whatever was chosen (false without a library, nothing done); then the pane reloaded.
    bool chooseBank();
    void reloadPane();

private:
    int selectionParam() const;
    IControl* selectionControl() const;
    int32_t& paneIndex() const;
    // The pane's parameter and selection control show index b.
    void showSelection(int b, bool throughSurface);

    const FolderMenuRow& mRow;
    mutable std::mutex mMenusLock;
    std::shared_ptr<FolderMenuSet> mMenus;
};

#define QOR_FOLDER_MENU(Name)                                                                                       \
    class Name : public FolderPopupMenu {                                                                           \
    public:                                                                                                         \
        Name(IPluginBase* base, PatchLibrarian* library, IRECT rect, QOR* owner);                                   \
    };
QOR_FOLDER_MENU(LeftPatchPopupMenu)
QOR_FOLDER_MENU(RightPatchPopupMenu)
QOR_FOLDER_MENU(LeftPerfPopupMenu)
QOR_FOLDER_MENU(RightPerfPopupMenu)
QOR_FOLDER_MENU(LeftPatternPopupMenu)
QOR_FOLDER_MENU(RightPatternPopupMenu)
QOR_FOLDER_MENU(RightCategoryPopupMenu)
QOR_FOLDER_MENU(RightSearchPopupMenu)
#undef QOR_FOLDER_MENU
