#pragma once
// The bank-name menus of the editor's header: in library-control mode they take the place of the
// bank-number menu and list every bank file of the kind as the upper folder menu does. A choice
// makes the file the upper pane's bank, refreshes the header menus and sends the grid's current
// slot of the new bank to the synthesizer; a dismissed menu sends that slot again.
#include <string>

#include "LibrarianFolderMenus.h"

class BankNamePopupMenu : public FolderPopupMenu {
public:
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    // The folder walk of the upper pane's menu of the kind; see refreshFolderStructure.
    bool refreshPatchNames(PatchLibrarian* library, QOR* qor, int index, std::string name, std::string folder);

protected:
    BankNamePopupMenu(const FolderMenuRow& row, bool performances, IPluginBase* base, PatchLibrarian* library,
                      IRECT rect, QOR* owner);

private:
    bool mPerformances;
};

class PerfBankNamePopupMenu : public BankNamePopupMenu {
public:
    PerfBankNamePopupMenu(IPluginBase* base, PatchLibrarian* library, IRECT rect, QOR* owner);
};

class ProgBankNamePopupMenu : public BankNamePopupMenu {
public:
    ProgBankNamePopupMenu(IPluginBase* base, PatchLibrarian* library, IRECT rect, QOR* owner);
};
