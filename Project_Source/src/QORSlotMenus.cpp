// The slot grid's right-click menus: one made for each right click, popped at once. A menu
// replaced by the next click is freed, but not while a popup of it may still be open (a
// right click inside a popup's run would otherwise free the menu that is acting).
#include "LibrarianSlotMenus.h"
#include "QOR.h"

namespace
{

template <class Menu> void showSlotMenu(QOR& q, Menu*& kept, std::vector<IControl*>& replaced, int& open, int x, int y)
{
    auto* menu = new Menu(&q, q.patchLibrarian, IRECT(x, y, x, y), &q);
    if (kept) replaced.push_back(kept);
    kept = menu;
    ++open;
    menu->doPopupMenu(&q, x, y);
    --open;
}

} // namespace

void QOR::showFileEditMenu(int x, int y)
{
    showSlotMenu(*this, fileEditMenu, mReplacedSlotMenus, mSlotMenusOpen, x, y);
    releaseSlotMenus(false);
}

void QOR::showFileCopyMenu(int x, int y)
{
    showSlotMenu(*this, fileCopyMenu, mReplacedSlotMenus, mSlotMenusOpen, x, y);
    releaseSlotMenus(false);
}

void QOR::releaseSlotMenus(bool all)
{
    if (mSlotMenusOpen > 0 && !all) return;
    for (IControl* menu : mReplacedSlotMenus) delete menu;
    mReplacedSlotMenus.clear();
    if (!all) return;
    delete fileEditMenu;
    delete fileCopyMenu;
    fileEditMenu = nullptr;
    fileCopyMenu = nullptr;
}
