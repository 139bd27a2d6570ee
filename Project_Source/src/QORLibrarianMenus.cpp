// The librarian's selection menus: the display texts of the bank-list parameters, the folder
// menus of the panes and the program and bank menus above the slot grid.
#include <mutex>

#include "BankDisplayNames.h"
#include "LibrarianFolderMenus.h"
#include "LibrarianNumberMenus.h"
#include "LibrarianViewControl.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IGraphicsLayer.h"

using namespace qorid;

namespace
{

// Which bank-list parameters each list feeds. A reset also clears the performance lists.
struct BankListRow {
    bool upper, lower, perPart, perPartRight, performance;
    std::vector<PatchFile*> PatchLibrarian::*files;
};
constexpr BankListRow kBankListRows[] = {
    {true, true, true, true, false, &PatchLibrarian::singleFiles},     // programs
    {false, true, false, true, false, &PatchLibrarian::categoryFiles}, // category banks
    {true, true, false, false, true, &PatchLibrarian::multiFiles},     // performances
    {true, true, true, true, false, &PatchLibrarian::patternFiles},    // patterns
    {false, true, false, true, false, &PatchLibrarian::searchFiles},   // search-result banks
};
static_assert(std::size(kBankListRows) == QOR::kBankListSearchResults + 1, "one row per list");

} // namespace

std::vector<int> QOR::bankListParams(int list, bool reset)
{
    std::vector<int> ids;
    if (list < 0 || list >= int(std::size(kBankListRows))) return ids;
    const BankListRow& row = kBankListRows[list];
    if (row.upper) ids.push_back(kPatchSelectionListUpper);
    if (row.lower) ids.push_back(kPatchSelectionListLower);
    for (int part = 0; part < 8; ++part) {
        if (row.perPart) ids.push_back(kCurrentOpenPatchBankL + part);
        if (row.perPartRight) ids.push_back(kCurrentOpenPatchBankR + part);
    }
    if (row.performance || reset) {
        ids.push_back(kCurrentOpenPerfBankL);
        ids.push_back(kCurrentOpenPerfBankR);
    }
    return ids;
}

void QOR::setBankListTexts(const std::vector<std::string>& fileNames, const std::vector<int>& paramIds)
{
    BankDisplayNames names;
    for (size_t i = 0; i < fileNames.size(); ++i) {
        bool shortened = false;
        const std::string shown = names.next(fileNames[i], &shortened);
        if (shortened)
            log("PATCH LIBRARIAN: Filename " + fileNames[i] + " RENAMED TO " + shown +
                " Because the filename was too long to fit in plug-in display!");
        for (int id : paramIds)
            if (IParam* param = GetParam(id)) param->SetDisplayText(int(i), shown.c_str());
    }
}

void QOR::rebuildBankListTexts(int list)
{
    if (!patchLibrarian || list < 0 || list >= int(std::size(kBankListRows))) return;
    std::vector<std::string> fileNames;
    {
        // Names copied under the lock: a rescan on another thread may drop the banks.
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        for (const PatchFile* bank : patchLibrarian->*kBankListRows[list].files) fileNames.push_back(bank->fileName);
    }
    setBankListTexts(fileNames, bankListParams(list, false));
}

void QOR::ResetPatchSelectionMenus()
{
    rebuildBankListTexts(patternMode ? kBankListPatterns : performanceMode ? kBankListPerformances : kBankListPrograms);
    updatePatchLibrarianView(2);
}

void QOR::refreshPopUpMenus()
{
    // The menus of the mode, each with the remembered pair of its pane; pattern mode wins.
    struct Refresh {
        FolderPopupMenu* menu;
        const std::string QOR::*fileName;
        const std::string QOR::*folderName;
    };
    std::vector<Refresh> refreshes;
    if (patternMode) {
        refreshes = {{mLeftPatternMenu, &QOR::upperPatternFileName, &QOR::upperPatternFolderName},
                     {mRightPatternMenu, &QOR::lowerPatternFileName, &QOR::lowerPatternFolderName}};
    } else if (performanceMode) {
        refreshes = {{mLeftPerfMenu, &QOR::upperPerformanceFileName, &QOR::upperPerformanceFolderName},
                     {mRightPerfMenu, &QOR::lowerPerformanceFileName, &QOR::lowerPerformanceFolderName}};
    } else {
        FolderPopupMenu* lower = categoryListShown ? static_cast<FolderPopupMenu*>(mRightCategoryMenu)
                                 : searchListShown ? static_cast<FolderPopupMenu*>(mRightSearchMenu)
                                                   : static_cast<FolderPopupMenu*>(mRightPatchMenu);
        refreshes = {{lower, &QOR::lowerProgramFileName, &QOR::lowerProgramFolderName}};
    }
    if (!patchLibrarian) return;
    int upperBefore = 0, lowerBefore = 0;
    std::vector<std::pair<std::string, std::string>> pairs;
    {
        // The remembered pairs are written by menu choices on other threads too.
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        upperBefore = patchLibrarian->upperFileIndex;
        lowerBefore = patchLibrarian->lowerFileIndex;
        for (const Refresh& r : refreshes) pairs.emplace_back(this->*r.fileName, this->*r.folderName);
    }
    for (size_t i = 0; i < refreshes.size(); ++i)
        if (refreshes[i].menu)
            refreshes[i].menu->refreshFolderStructure(patchLibrarian, this, 0, pairs[i].first, pairs[i].second);
    // A refresh that moved a pane's bank leaves that pane to be reloaded.
    bool upperMoved = false, lowerMoved = false;
    {
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        upperMoved = patchLibrarian->upperFileIndex != upperBefore;
        lowerMoved = patchLibrarian->lowerFileIndex != lowerBefore;
    }
    if (upperMoved || lowerMoved) updatePatchLibrarianView(upperMoved && lowerMoved ? 2 : upperMoved ? 0 : 1);
}

void QOR::refreshProgramNumberMenu()
{
    if (!programNumberMenu) return;
    int program = -1;
    if (libraryControlMode) {
        if (patchLibrarian) {
            std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
            program = patchLibrarian->upperSlot;
        }
    } else {
        const int part = selectedPart;
        const IParam* param = GetParam(performanceMode ? int(kMultiPatch) : kMultiPartPatch + part);
        if (param && (performanceMode || (part >= 0 && part < 8))) program = int(param->Value());
    }
    programNumberMenu->refreshPatchNames(patchLibrarian, this, program);
}

void QOR::updateBankAndProgramMenuNames(bool skipBankNumberMenu)
{
    auto show = [this](const char* name, bool shown) {
        if (ControlLayer* layer = keptLayer(name)) layer->Hide(!shown);
    };
    for (const char* name : {"BANKNUMBERMENUPROGRAMS", "PERFBANKNAMEMENUPROGRAMS", "PROGBANKNAMEMENUPROGRAMS"})
        show(name, false);
    const int part = selectedPart;
    const bool performance = performanceMode;
    auto whole = [this](int id) {
        const IParam* param = GetParam(id);
        return param ? int(param->Value()) : 0;
    };
    int bank = 0, program = 0;
    if (performance) {
        bank = whole(kMultiBank);
        program = whole(kMultiPatch);
    } else if (part >= 0 && part < 8) {
        bank = whole(kMultiPartBank + part);
        program = whole(kMultiPartPatch + part);
    }

    if (!libraryControlMode) {
        if (programNumberMenu) programNumberMenu->refreshPatchNames(patchLibrarian, this, program);
        if (bankNumberMenu) bankNumberMenu->refreshPatchNames(patchLibrarian, this, bank);
        show("BANKNUMBERMENUPROGRAMS", true);
        return;
    }
    show(performance ? "PERFBANKNAMEMENUPROGRAMS" : "PROGBANKNAMEMENUPROGRAMS", true);
    // The program is the selected upper slot; the slot fields never leave 0..127.
    if (program >= 0 && program < LibrarianViewControl::kCells) {
        if (librarianView) {
            librarianView->upperSelection = program;
            librarianView->currentSlot = program;
        }
        if (patchLibrarian) {
            std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
            patchLibrarian->upperSlot = program;
        }
        setLibrarianViewDirty();
    }
    if (programNumberMenu) programNumberMenu->refreshPatchNames(patchLibrarian, this, program);
    if (!skipBankNumberMenu && bankNumberMenu) bankNumberMenu->refreshPatchNames(patchLibrarian, this, bank);
}
