// The librarian's selection menus: the display texts of the bank-list parameters, the folder
// menus of the panes and the program and bank menus above the slot grid.
#include <mutex>

#include "BankDisplayNames.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"

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
