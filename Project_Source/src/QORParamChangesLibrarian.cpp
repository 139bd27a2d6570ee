// The librarian's rows of the parameter dispatch: library or synthesizer banks, the panes' bank
// steps, search, the category view, the data type, discarding bank edits, the end of a slot
// rename and the rescan. They run inside OnParamChange, under the plug-in mutex; the librarian's
// lock is taken only around reads and writes of its lists, indexes and entries, never across a
// controller call.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ControlAction.h"
#include "LibrarianBankEditMenu.h"
#include "LibrarianFolderMenus.h"
#include "LibrarianViewControl.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "QORParams.h"
#include "QORProgramValues.h"
#include "SysexFamily.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsLayer.h"

using namespace qorid;
using programvalues::showValue;

namespace
{

// What the search field shows while it holds no search.
constexpr char kSearchPlaceholder[] = "search...";

double valueOf(const QOR& q, int id)
{
    const IParam* p = q.GetParam(id);
    return p ? p->Value() : 0.0;
}

void hideLayer(QOR& q, const char* name, bool hide)
{
    if (ControlLayer* layer = q.keptLayer(name)) layer->Hide(hide);
}

void grayLayer(QOR& q, const char* name, bool gray)
{
    if (ControlLayer* layer = q.keptLayer(name)) layer->GrayOut(gray);
}

bool librarianPageShown(const QOR& q)
{
    return valueOf(q, kMainTab) == 1.0;
}

// kControlLibrary and kControlProgBank: the librarian area shows the library or the
// synthesizer's banks; turning one on turns the other off.
void showBanksOf(QOR& q, bool library, int value)
{
    std::atomic<bool>& mode = library ? q.libraryControlMode : q.progBankMode;
    if (value == 1) {
        showValue(q, library ? kControlProgBank : kControlLibrary, 0.0);
        (library ? q.progBankMode : q.libraryControlMode) = false;
        mode = true;
    } else {
        mode = false;
    }
    q.updateBankAndProgramMenuNames(false);
}

// ---- the panes' banks ----

int32_t& paneIndex(PatchLibrarian& lib, bool upper)
{
    return upper ? lib.upperFileIndex : lib.lowerFileIndex;
}

// The folder menu that lists the pane's banks, or null.
FolderPopupMenu* paneMenu(const QOR& q, bool upper, const std::vector<PatchFile*>* list)
{
    const PatchLibrarian& lib = *q.patchLibrarian;
    FolderPopupMenu* const menus[] = {q.mLeftPatchMenu,     q.mRightPatchMenu,  q.mLeftPerfMenu,
                                      q.mRightPerfMenu,     q.mLeftPatternMenu, q.mRightPatternMenu,
                                      q.mRightCategoryMenu, q.mRightSearchMenu};
    for (FolderPopupMenu* menu : menus)
        if (menu && menu->row().upperPane == upper && &(lib.*menu->row().list) == list) return menu;
    return nullptr;
}

// The pane shows bank b of its list: the library index, the pane's remembered pair (so that a
// menu rebuild finds the bank again), the check of its folder menu, the bank-list parameter and
// the pane's column follow. The other pane stays. A b outside the list changes nothing.
void showPaneBank(QOR& q, bool upper, int b)
{
    PatchLibrarian& lib = *q.patchLibrarian;
    FolderPopupMenu* menu = nullptr;
    std::string name, folder;
    {
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        const std::vector<PatchFile*>* list = q.libraryPaneList(upper ? 0 : 1);
        if (!list || b < 0 || size_t(b) >= list->size()) return;
        name = (*list)[size_t(b)]->fileName;
        folder = (*list)[size_t(b)]->folderName;
        paneIndex(lib, upper) = b;
        menu = paneMenu(q, upper, list);
        if (menu) {
            q.*menu->row().fileName = name;
            q.*menu->row().folderName = folder;
        }
    }
    if (menu) menu->refreshFolderStructure(&lib, &q, b, name, folder);
    {
        // Banks of equal names: the menu picks the last of them, the step means this one.
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        paneIndex(lib, upper) = b;
    }
    showValue(q, upper ? kPatchSelectionListUpper : kPatchSelectionListLower, double(b));
    q.updatePatchLibrarianView(upper ? 0 : 1);
}

// The file and folder names of the bank a pane shows; empty when it shows none.
std::pair<std::string, std::string> shownBank(const QOR& q, int pane)
{
    std::lock_guard<std::recursive_mutex> hold(q.patchLibrarian->mLock);
    const PatchFile* bank = q.libraryPaneBank(pane);
    return bank ? std::make_pair(bank->fileName, bank->folderName) : std::make_pair(std::string(), std::string());
}

// The pane shows again the bank of those names, when its list still holds one.
void showBankNamed(QOR& q, int pane, const std::pair<std::string, std::string>& names)
{
    if (names.first.empty()) return;
    int b = -1;
    {
        std::lock_guard<std::recursive_mutex> hold(q.patchLibrarian->mLock);
        const std::vector<PatchFile*>* list = q.libraryPaneList(pane);
        for (size_t i = 0; list && i < list->size() && b < 0; ++i)
            if ((*list)[i]->fileName == names.first && (*list)[i]->folderName == names.second) b = int(i);
    }
    if (b >= 0) showPaneBank(q, pane == 0, b);
}

// ---- search and the lower pane's menus ----

void showSearchPlaceholder(QOR& q)
{
    IParam* field = q.GetParam(kPatchSearchString);
    if (!field) return;
    field->SetDisplayText(0, kSearchPlaceholder);
    if (ControlAction* action = field->GetControlAction())
        for (IControl* control : action->controls) control->SetDirty(false);
}

// The lower program menu that lists what the lower pane shows, as the librarian page shows it;
// the page switch picks it itself when the page comes up.
void showLowerProgramMenu(QOR& q)
{
    if (q.performanceMode || q.patternMode || !librarianPageShown(q)) return;
    const char* shown = q.categoryListShown ? "RightPatchPopupMenu"
                        : q.searchListShown ? "RightSearchPopupMenu"
                                            : "LOWERPOPUPMENU";
    for (const char* name : {"LOWERPOPUPMENU", "RightPatchPopupMenu", "RightSearchPopupMenu"})
        hideLayer(q, name, std::strcmp(name, shown) != 0);
}

// Characters, not bytes: a letter of several bytes counts once.
size_t characterCount(const std::string& text)
{
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

// Back to the program banks in the lower pane, with the library strip in place of the field.
void leaveSearch(QOR& q)
{
    q.searchListShown = false;
    q.patchTypeChanged(kPatchFilePrograms, QOR::kBankListPrograms, false);
    showLowerProgramMenu(q);
}

void searchText(QOR& q)
{
    const IParam* field = q.GetParam(kPatchSearchString);
    if (!field || !q.patchLibrarian) return;
    const std::string text = field->CopyDisplayText(0);
    // The field dispatches an entry twice; the second time it may hold the placeholder written
    // back by the first, which is no search.
    if (text == kSearchPlaceholder) return;
    if (text.empty()) {
        const bool resultsShown = q.searchListShown;
        q.searchListShown = false;
        showSearchPlaceholder(q);
        hideLayer(q, "categoryLimit", false);
        // The lower pane looks its banks up in the program list from now on: it shows them too.
        if (resultsShown) leaveSearch(q);
        return;
    }
    if (characterCount(text) == 1) {
        showSearchPlaceholder(q);
        q.showStatus("Enter 2 digits or more!");
        return;
    }
    q.searchListShown = true;
    hideLayer(q, "categoryLimit", true);
    size_t found = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(q.patchLibrarian->mLock);
        q.patchLibrarian->createNewSearchPatchFiles(text);
        found = q.patchLibrarian->searchFiles.size();
    }
    // The banks of the last search go unless a job may still read one.
    q.releaseRetiredBanks();
    if (found == 0) {
        q.showStatus("No results - Try another keyword!");
        q.showStatus2("Tip: Note that letter size matters..");
        showSearchPlaceholder(q);
        return;
    }
    q.patchTypeChanged(kPatchFilePrograms, QOR::kBankListSearchResults, false);
    showLowerProgramMenu(q);
}

void patchSearch(QOR& q, int value)
{
    if (value == 1) {
        hideLayer(q, "categoryLimit", true);
        hideLayer(q, "searchField", false);
        q.searchListShown = true;
        // The lower pane takes its banks from the last search's results now: it shows them.
        showLowerProgramMenu(q);
        q.updatePatchLibrarianView(1);
        return;
    }
    showSearchPlaceholder(q);
    hideLayer(q, "searchField", true);
    hideLayer(q, "categoryLimit", false);
    leaveSearch(q);
}

void categorySelection(QOR& q, int value)
{
    q.categoryListShown = value != 0;
    q.patchTypeChanged(kPatchFilePrograms, value != 0 ? QOR::kBankListCategories : QOR::kBankListPrograms, false);
    showLowerProgramMenu(q);
}

// ---- the data type ----

void dataType(QOR& q, int value)
{
    q.performanceMode = false;
    q.patternMode = false;
    for (const char* name :
         {"LeftPerformancePopupMenu", "RightPerformancePopupMenu", "UPPERPOPUPMENU", "LOWERPOPUPMENU",
          "LeftPatternPopupMenu", "RightPatternPopupMenu", "RightPatchPopupMenu", "RightSearchPopupMenu"})
        hideLayer(q, name, true);
    grayLayer(q, "categoryLimit", true);
    if (q.patchSearchControl) q.patchSearchControl->GrayOut(true);
    if (value == 1) {
        q.performanceMode = true;
        q.patchTypeChanged(kPatchFilePerformances, QOR::kBankListPerformances, false);
        hideLayer(q, "LeftPerformancePopupMenu", false);
        hideLayer(q, "RightPerformancePopupMenu", false);
    } else if (value == 0) {
        hideLayer(q, "UPPERPOPUPMENU", false);
        if (q.categoryListShown) {
            q.patchTypeChanged(kPatchFilePrograms, QOR::kBankListCategories, false);
            hideLayer(q, "RightPatchPopupMenu", false);
        } else {
            if (q.patchSearchControl) q.patchSearchControl->GrayOut(false);
            const bool search = q.searchListShown;
            q.patchTypeChanged(kPatchFilePrograms, search ? QOR::kBankListSearchResults : QOR::kBankListPrograms,
                               false);
            hideLayer(q, search ? "RightSearchPopupMenu" : "LOWERPOPUPMENU", false);
        }
        grayLayer(q, "categoryLimit", false);
    } else {
        q.patternMode = true;
        q.patchTypeChanged(kPatchFilePatterns, QOR::kBankListPatterns, false);
        hideLayer(q, "LeftPatternPopupMenu", false);
        hideLayer(q, "RightPatternPopupMenu", false);
    }
    if (q.bankEditMenu) q.bankEditMenu->AddMenuItemsIn(&q);
    if (value == 0 || value == 1) q.updateBankAndProgramMenuNames(true);
}

// ---- discarding bank edits ----

void discardBankData(QOR& q, int value)
{
    if (value != 1 || !q.patchLibrarian) return;
    q.DisplayProcessingIndicator(true);
    q.SetLibrarianStatusSaved();
    // The rescan reads every bank from disk again, and the panes come back to the banks they
    // showed.
    const auto upper = shownBank(q, 0);
    const auto lower = shownBank(q, 1);
    q.OnParamChange(kRefreshFolders);
    showBankNamed(q, 0, upper);
    showBankNamed(q, 1, lower);
    q.DisplayProcessingIndicator(false);
}

// ---- the end of a slot rename ----

// The 16 name characters of a typed name: longer names are cut, missing characters and any
// character outside 20..7E are blanks, so that no name byte of a message reaches 80.
std::string nameField(const std::string& typed)
{
    std::string field(SysexFamily::kNameLength, ' ');
    for (size_t i = 0; i < field.size() && i < typed.size(); ++i) {
        const uint8_t c = uint8_t(typed[i]);
        if (c >= 0x20 && c <= 0x7E) field[i] = char(c);
    }
    return field;
}

// field becomes the entry's name and the name bytes of its messages, where the library's reader
// takes names from, so that a saved bank keeps it.
void renameEntry(LibrarianPatch& entry, const std::string& field)
{
    using namespace SysexFamily;
    entry.name = field;
    for (PatchSysexMessage& message : entry.messages) {
        SysexBytes& bytes = message.bytes;
        const size_t size = bytes.size();
        if (size <= kTypeAt) continue;
        const int kind = kindOfType(bytes[kTypeAt]);
        if ((kind == kKindPrograms && size >= 201) || (kind == kKindPerformances && size >= 301 && size <= 399)) {
            std::memcpy(bytes.data() + kNameAt, field.data(), kNameLength);
        } else if (kind == kKindPatterns && size > kPatternNameAt + 1 && size <= kLibraryPatternSize) {
            // A pattern shorter than the library form holds fewer name bytes before its F7.
            std::memcpy(bytes.data() + kPatternNameAt, field.data(), size - 1 - kPatternNameAt);
        }
    }
}

void completeRename(QOR& q)
{
    // A typed name is dispatched twice; only a rename the grid opened takes it.
    if (q.renameIdle) return;
    const IParam* field = q.GetParam(kPatchRename);
    const std::string name = nameField(field ? field->CopyDisplayText(0) : std::string());
    bool renamed = false;
    if (q.patchLibrarian && q.librarianView) {
        std::lock_guard<std::recursive_mutex> hold(q.patchLibrarian->mLock);
        PatchFile* bank = q.libraryPaneBank(0);
        const int slot = q.librarianView->upperSelection;
        // A slot without entry stands for an empty one: it has nothing to rename.
        LibrarianPatch none;
        LibrarianPatch& entry =
            bank && slot >= 0 && size_t(slot) < bank->patches.size() ? bank->patches[size_t(slot)] : none;
        // The name as it was changes nothing.
        if (!entry.messages.empty() && nameField(entry.name) != name) {
            renameEntry(entry, name);
            renamed = true;
        }
    }
    if (renamed) {
        q.SetLibrarianStatusUnsaved(true);
        q.updatePatchLibrarianView(0);
    }
    hideLayer(q, "patchRename", true);
    q.renameIdle = true;
}

} // namespace

void QOR::toggleLibrarianSwitch(int target)
{
    IParam* param = GetParam(target);
    if (!param) return;
    const double toggled = std::clamp(param->Value() == 1.0 ? 0.0 : 1.0, param->GetMin(), param->GetMax());
    param->Set(toggled);
    OnParamChange(target);
    showValue(*this, target, toggled);
}

void QOR::stepPaneBank(bool upper, bool next)
{
    if (!patchLibrarian) return;
    if (upper && refuseWhileUnsaved()) return;
    int b = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        const std::vector<PatchFile*>* list = libraryPaneList(upper ? 0 : 1);
        if (!list || list->empty()) return;
        const int last = int(list->size()) - 1;
        const int at = paneIndex(*patchLibrarian, upper);
        if (next)
            b = at >= 0 && at < last ? at + 1 : 0;
        else
            b = at > 0 && at <= last ? at - 1 : last;
    }
    showPaneBank(*this, upper, b);
}

void QOR::showUpperPaneBank(int bank)
{
    const IParam* list = GetParam(kPatchSelectionListUpper);
    if (!patchLibrarian || !list) return;
    int b = int(std::clamp(double(bank), list->GetMin(), list->GetMax()));
    {
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        const std::vector<PatchFile*>* banks = libraryPaneList(0);
        if (!banks || banks->empty()) return;
        b = std::min(b, int(banks->size()) - 1);
    }
    showPaneBank(*this, true, b);
}

void QOR::abandonRename()
{
    renameIdle = true;
    hideLayer(*this, "patchRename", true);
}

bool QOR::lowerPaneShowsUnsavedBank() const
{
    const IParam* unsaved = GetParam(kBankEditUnsaved);
    if (!patchLibrarian || !unsaved || unsaved->Value() != 1.0) return false;
    std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
    const PatchFile* upper = libraryPaneBank(0);
    return upper && upper == libraryPaneBank(1);
}

void QOR::redrawPaneTitles()
{
    for (IControl* title : {upperSelectionControl, lowerSelectionControl})
        if (title) title->SetDirty(false);
}

void QOR::rescanKeepingPanes(bool upperSaved)
{
    if (!patchLibrarian) return;
    auto upper = shownBank(*this, 0);
    const auto lower = shownBank(*this, 1);
    if (upperSaved) {
        // A save remembers the file it wrote in the upper pair of the pane's folder menu.
        std::lock_guard<std::recursive_mutex> hold(patchLibrarian->mLock);
        if (const FolderPopupMenu* menu = paneMenu(*this, true, libraryPaneList(0)))
            upper = {this->*menu->row().fileName, this->*menu->row().folderName};
    }
    rescanLibrary();
    showBankNamed(*this, 0, upper);
    showBankNamed(*this, 1, lower);
}

void QOR::librarianParamChange(int idx, int value)
{
    switch (idx) {
    case kControlProgBank: showBanksOf(*this, false, value); break;
    case kControlLibrary: showBanksOf(*this, true, value); break;
    case kPatchSearchString: searchText(*this); break;
    case kPatchSearch: patchSearch(*this, value); break;
    case kCategorySelection: categorySelection(*this, value); break;
    case kDiscardBankData: discardBankData(*this, value); break;
    case kPatchRename: completeRename(*this); break;
    case kDatatype: dataType(*this, value); break;
    case kRefreshFolders: {
        // The button dispatches its press (1) and its release (0); the menu, a discard and a
        // cancelled request dispatch without a press. One click, one rescan.
        const bool release = value != 1 && mRefreshButtonHeld;
        mRefreshButtonHeld = value == 1;
        if (release) break;
        // The rescan would drop the upper bank's unsaved edits while the bank stayed marked.
        if (!refuseWhileUnsaved()) rescanLibrary();
        break;
    }
    case kMainTab:
        // The librarian page comes up with the bank-edit menu of the current data type.
        if (value == 1 && bankEditMenu) bankEditMenu->AddMenuItemsIn(this);
        break;
    default: break;
    }
}
