#pragma once
// The program-number and bank-number menus of the editor's header: invisible hot spots whose
// menus choose a program (in groups of ten) and a bank of the synthesizer, or, in library-control
// mode, a slot of the upper pane's bank, which then goes to the synthesizer.
//
// A refresh may run off the main thread while the main thread shows the menu: each control keeps
// its menus as one set, built whole and swapped in under the control's own lock; a click shows
// the set it took. No lock is held across the popup.
#include <array>
#include <memory>
#include <mutex>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IPopupMenu.h"

class PatchLibrarian;
class QOR;

class ProgramNumberPopupMenu : public IControl {
public:
    static constexpr int kGroups = 13;
    struct Menus {
        IPopupMenu rootMenu;
        std::array<IPopupMenu, kGroups> groupMenus;
    };

    ProgramNumberPopupMenu(IPluginBase* plug, PatchLibrarian* library, IRECT rect, QOR* qor);

    // The 128 items: the names of the upper pane's bank in library-control mode, else "Sound 000"
    // to "Sound 127"; program is checked (nothing outside 0..127).
    void refreshPatchNames(PatchLibrarian* library, QOR* plug, int program);
    // Pops the menu and acts on a choice, which goes into program; answers the chosen item's
    // index in its group, 0 when nothing was chosen.
    int doPopupMenu(QOR* plug, int& program);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;

    std::shared_ptr<Menus> menus() const;

    int currentProgram = 0;
    QOR* plug;
    PatchLibrarian* library;

private:
    mutable std::mutex mMenusLock;
    std::shared_ptr<Menus> mMenus;
};

class BankNumberPopupMenu : public IControl {
public:
    BankNumberPopupMenu(IPluginBase* plug, PatchLibrarian* library, IRECT rect, QOR* qor);

    // Eight program banks with bank checked (none for a bank outside 0..7), true; or four
    // performance banks unchecked, false.
    bool refreshPatchNames(PatchLibrarian* library, QOR* plug, int bank);
    int doPopupMenu(QOR* plug, int& bank);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;

    std::shared_ptr<IPopupMenu> menus() const;

    int currentBank = 0;
    QOR* plug;
    PatchLibrarian* library;

private:
    mutable std::mutex mMenusLock;
    std::shared_ptr<IPopupMenu> mMenus;
};
