#include "LibrarianBankNameMenus.h"

#include <mutex>

#include "LibrarianViewControl.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IGraphics.h"

using namespace qorid;

namespace
{

using L = PatchLibrarian;

// The rows of the upper folder menus of the kind: the same tree, list and remembered pair.
const FolderMenuRow kPerfBankNameRow{&L::multiFolders,                &L::multiFiles, FolderMenuSet::Walk::Full, true,
                                     &QOR::upperPerformanceFileName, &QOR::upperPerformanceFolderName};
const FolderMenuRow kProgBankNameRow{&L::singleFolders,         &L::singleFiles, FolderMenuSet::Walk::Full, true,
                                     &QOR::upperProgramFileName, &QOR::upperProgramFolderName};

} // namespace

BankNamePopupMenu::BankNamePopupMenu(const FolderMenuRow& row, bool performances, IPluginBase* base,
                                     PatchLibrarian* library, IRECT rect, QOR* owner)
    : FolderPopupMenu(row, base, library, rect, owner), mPerformances(performances)
{
}

bool BankNamePopupMenu::refreshPatchNames(PatchLibrarian* lib, QOR* qor, int index, std::string name,
                                          std::string folder)
{
    return refreshFolderStructure(lib, qor, index, std::move(name), std::move(folder));
}

void BankNamePopupMenu::OnMouseDown(int, int, IMouseMod*)
{
    if (!plug) return;
    QOR& q = *plug;
    // Choosing another upper bank would drop the pane's unsaved edits, as upper Previous/Next would.
    if (q.refuseWhileUnsaved()) return;
    if (!chooseBank()) return;
    if (mPerformances) {
        // The performance number takes the bank file's index.
        if (IGraphics* g = GetGUI()) g->SetParameterFromPlug(kMultiPatch, double(selectedIndex), false);
    }
    const IParam* tab = q.GetParam(kMainTab);
    if (tab && tab->Value() == 1.0) reloadPane();
    q.updateBankAndProgramMenuNames(!mPerformances);
    LibrarianViewControl* grid = q.librarianView;
    const int slot = grid ? int(grid->currentSlot) : -1;
    // Without a current slot there is nothing to send.
    if (slot >= 0 && slot < LibrarianViewControl::kCells) {
        if (library) {
            std::lock_guard<std::recursive_mutex> hold(library->mLock);
            library->upperSlot = slot;
        }
        // The chosen bank is the upper pane's: its entry goes out, whichever pane the grid last
        // selected in.
        q.sendPatchToDeviceFromLibrarian(slot, LibrarianViewControl::kUpperPane, q.selectedPart);
    }
    SetDirty(true);
}

PerfBankNamePopupMenu::PerfBankNamePopupMenu(IPluginBase* base, PatchLibrarian* library, IRECT rect, QOR* owner)
    : BankNamePopupMenu(kPerfBankNameRow, true, base, library, rect, owner)
{
}

ProgBankNamePopupMenu::ProgBankNamePopupMenu(IPluginBase* base, PatchLibrarian* library, IRECT rect, QOR* owner)
    : BankNamePopupMenu(kProgBankNameRow, false, base, library, rect, owner)
{
}
