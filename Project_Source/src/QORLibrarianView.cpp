// The librarian's mode change and the reloads of its slot grid.
#include <algorithm>
#include <mutex>

#include "LibrarianBankNameMenus.h"
#include "LibrarianFolderMenus.h"
#include "LibrarianViewControl.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IControl.h"

using namespace qorid;

void QOR::updatePatchLibrarianView(int which)
{
    if (which < 0 || which > 2 || !librarianView) return;
    // Flags and reloads are safe from any thread; the redraw tick paints the result.
    librarianView->SetRedrawAgain();
    if (which != 1) librarianView->patchSelectionUpperChanged();
    if (which != 0) librarianView->patchSelectionLowerChanged();
}

void QOR::patchTypeChanged(int kind, int list, bool rescan)
{
    if (!patchLibrarian) return;
    bool kindChanged = false;
    {
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        kindChanged = patchLibrarian->currentKind != kind;
        if (rescan) {
            patchLibrarian->initBankFilesOnDiscard(getPatchesFolderStr());
            // Dropped banks are freed now unless a job may still read one; else at the next
            // rescan or at shut-down.
            releaseRetiredBanks();
        }
        patchLibrarian->currentKind = kind;
        patchLibrarian->upperFileIndex = 0;
        patchLibrarian->lowerFileIndex = 0;
    }
    if (librarianView) {
        // An entry copied among programs has no place among performances or patterns.
        if (kindChanged) librarianView->forgetCopy();
        librarianView->patchSelectionUpperChanged();
        librarianView->patchSelectionLowerChanged();
    }
    if (list < kBankListPrograms || list > kBankListSearchResults) {
        if (rescan) rebuildMenusAfterRescan();
        return;
    }
    // A rescan renews the program banks whatever the view: the lists that the view's own reset
    // leaves (the upper list beside the category banks, the parts' lists beside the
    // performances) would go on naming the banks of before.
    if (rescan && list != kBankListPrograms && list != kBankListPatterns) resetBankLists(kBankListPrograms);
    resetBankLists(list);
    if (rescan) rebuildMenusAfterRescan();
}

void QOR::resetBankLists(int list)
{
    for (int id : bankListParams(list, true)) {
        IParam* param = GetParam(id);
        if (!param) continue;
        param->ResetDisplayTexts();
        param->Set(std::clamp(0.0, param->GetMin(), param->GetMax()));
    }
    // As user input: the parameter handling follows the lists to their first bank.
    for (IControl* control : {upperSelectionControl, lowerSelectionControl})
        if (control) control->SetValueFromUserInput(0.0);
    rebuildBankListTexts(list);
    refreshPopUpMenus();
}

void QOR::rebuildMenusAfterRescan()
{
    // The upper program menu is refreshed by no mode change. Both panes are on their first bank
    // now, which is what its check falls back to; no remembered pair is published.
    if (mLeftPatchMenu) mLeftPatchMenu->refreshFolderStructure(patchLibrarian, this, 0, "", "");
    // The header's bank-name menus list the same trees.
    if (perfBankNameMenu) perfBankNameMenu->refreshPatchNames(patchLibrarian, this, 0, "", "");
    if (progBankNameMenu) progBankNameMenu->refreshPatchNames(patchLibrarian, this, 0, "", "");
}

void QOR::rescanLibrary()
{
    if (patternMode)
        patchTypeChanged(kPatchFilePatterns, kBankListPatterns, true);
    else if (performanceMode)
        patchTypeChanged(kPatchFilePerformances, kBankListPerformances, true);
    else
        patchTypeChanged(kPatchFilePrograms, categoryListShown ? kBankListCategories : kBankListPrograms, true);
}
