#pragma once
// The two right-click menus of the librarian's slot grid. The edit menu of an upper slot pastes,
// renames, initialises or fetches data into the slot; the copy menu elsewhere copies the lower
// slot under the pointer. The controller makes one for each right click and pops it at once.
#include "kit/plugin/IControl.h"
#include "kit/plugin/IPopupMenu.h"

class PatchLibrarian;
class QOR;

// What both menus share: an invisible control bound to no parameter that pops its menu on a click.
class SlotPopupMenu : public IControl
{
public:
    SlotPopupMenu(IPluginBase* plug, PatchLibrarian* library, IRECT rect, QOR* qor);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;
    // Pops the menu on the control's rectangle and acts on the choice; (x, y) is the click point
    // on the grid.
    virtual void doPopupMenu(QOR* plug, int x, int y) = 0;
    // Acts on the item chosen in chosen (a menu of this control); null: nothing chosen.
    virtual void takeChoice(IPopupMenu* chosen, int x, int y) = 0;

    QOR* plug;
    PatchLibrarian* library;
    IPopupMenu rootMenu;
};

class FileEditPopupMenu : public SlotPopupMenu
{
public:
    // rootMenu items; separators count.
    enum Item { kPaste = 0, kRename = 2, kInitializeSlot = 4, kGetData = 5 };
    // getDataMenu items.
    enum DataItem { kFromPlugIn = 0, kFromEditBuffer = 2, kFromProgramNumber = 3 };

    FileEditPopupMenu(IPluginBase* plug, PatchLibrarian* library, IRECT rect, QOR* qor);
    void doPopupMenu(QOR* plug, int x, int y) override;
    void takeChoice(IPopupMenu* chosen, int x, int y) override;
    void AddMenuItemsIn();

    IPopupMenu getDataMenu;
};

class FileCopyPopupMenu : public SlotPopupMenu
{
public:
    enum Item { kCopy = 0 };

    FileCopyPopupMenu(IPluginBase* plug, PatchLibrarian* library, IRECT rect, QOR* qor);
    void doPopupMenu(QOR* plug, int x, int y) override;
    void takeChoice(IPopupMenu* chosen, int x, int y) override;
};
