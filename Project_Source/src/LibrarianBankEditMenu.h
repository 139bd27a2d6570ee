#pragma once
// The librarian's action menu: requests from the synthesizer into the editor or the library's
// selected slot, performance sync and push, saves and imports of the upper pane's bank, stores of
// library entries into the synthesizer's banks, the rescan, the data folder and the about window.
//
// The menus are refilled for the current data type at each click, and may be refilled from
// another thread too: a fill builds a new set and swaps it in under the control's own lock; a
// click shows the set it took. No lock is held across the popup.
#include <memory>
#include <mutex>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IPopupMenu.h"

class PatchLibrarian;
class QOR;

class BankEditPopupMenu : public IControl {
public:
    // Root items; separators count.
    enum RootItem {
        kItemRequest = 0,
        kItemStore = 2,
        kItemSyncPerformance = 4,
        kItemPushPerformance = 5,
        kItemSaveOverwrite = 7,
        kItemSaveAs = 8,
        kItemImport = 10,
        kItemRefreshFolders = 11,
        kItemOpenDataFolder = 13,
        kItemAbout = 14,
    };
    // The data type a set was filled for.
    enum class DataType { Programs, Performances, Patterns };

    struct Menus {
        DataType type = DataType::Programs;
        IPopupMenu rootMenu, programRequestMenu, performanceRequestMenu, programStoreMenu, performanceStoreMenu,
            saveAsMenu, importMenu, patternRequestMenu, patternStoreMenu;
    };

    BankEditPopupMenu(IPluginBase* plug, PatchLibrarian* library, IRECT rect, QOR* qor);

    // Fills a new set of the nine menus for the controller's current data type and swaps it in.
    void AddMenuItemsIn(QOR* qor);
    // Pops the root menu and acts on the choice; the checks are cleared afterwards.
    void doPopupMenu(QOR* qor);
    // Refills for the current data type, then pops.
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    // Transparent: the background shows through.
    bool Draw(IGraphics* g) override;

    std::shared_ptr<Menus> menus() const;

    QOR* plug;
    PatchLibrarian* library;

private:
    void takeChoice(const Menus& set, const IPopupMenu* chosen, int index);
    void takeRootChoice(int index);
    void takeRequest(const Menus& set, const IPopupMenu* chosen, int index);
    void takeStore(const Menus& set, const IPopupMenu* chosen, int index);
    void saveOverwrite();
    void saveAs(bool midi);
    void import(bool midi);

    mutable std::mutex mMenusLock;
    std::shared_ptr<Menus> mMenus;
};
