#include "LibrarianBankEditMenu.h"

#include <string>
#include <vector>

#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "QORProgramValues.h"
#include "SysexFamily.h"
#include "kit/kitstring.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"

using namespace qorid;
using DataType = BankEditPopupMenu::DataType;

namespace
{

// The status of a save that wrote nothing: the edits are still only in the editor. One that
// wrote the bank says so, in place of an earlier failure.
constexpr char kSaveFailed[] = "Bank could not be saved!";
constexpr char kSaved[] = "Bank saved!";

// A null text is a separator.
void fill(IPopupMenu& menu, std::initializer_list<const char*> items)
{
    for (const char* item : items) {
        if (item) menu.AddItem(item);
        else menu.AddSeparator();
    }
}

DataType currentType(const QOR& q)
{
    return q.patternMode ? DataType::Patterns : q.performanceMode ? DataType::Performances : DataType::Programs;
}

// Starts job r when the job thread is idle, else says so; afterClaim sets what may be set only
// once it runs.
template <class AfterClaim> void start(QOR& q, const SenderJobRecord& r, AfterClaim&& afterClaim)
{
    if (q.midiManager) q.midiManager->startAsked(r, std::forward<AfterClaim>(afterClaim));
}
void start(QOR& q, const SenderJobRecord& r)
{
    start(q, r, [] {});
}

SenderJobRecord job(int number)
{
    SenderJobRecord r;
    r.job = number;
    return r;
}

// The folder of the bank file: the library root, then the bank's folders below it.
std::string bankFolder(const QOR& q, const PatchFile& bank)
{
    std::string folder = q.getPatchesFolderStr();
    for (size_t i = 1; i < bank.folderNames.size(); ++i) folder += "/" + bank.folderNames[i];
    return folder;
}

// The save dialog of the editor's window, as the librarian asks for it.
std::string promptForSave(QOR* q, const std::string& suggested, std::string& folder, const std::string& extension)
{
    IGraphics* g = q ? q->GetGUI() : nullptr;
    if (!g) return std::string();
    KIT_String file(suggested.c_str());
    KIT_String dir(folder.c_str());
    std::vector<char> types(extension.begin(), extension.end());
    types.push_back('\0');
    g->PromptForFile(&file, kFileSave, &dir, types.data());
    if (dir.Get()) folder = dir.Get();
    return file.Get() ? file.Get() : "";
}

} // namespace

BankEditPopupMenu::BankEditPopupMenu(IPluginBase* base, PatchLibrarian* libraryIn, IRECT rect, QOR* qor)
    : IControl(base, rect), plug(qor), library(libraryIn)
{
    if (library && !library->promptForFile && plug) {
        QOR* owner = plug;
        library->promptForFile = [owner](const std::string& suggested, std::string& folder,
                                         const std::string& extension) {
            return promptForSave(owner, suggested, folder, extension);
        };
    }
    AddMenuItemsIn(plug);
}

std::shared_ptr<BankEditPopupMenu::Menus> BankEditPopupMenu::menus() const
{
    std::lock_guard<std::mutex> hold(mMenusLock);
    return mMenus;
}

void BankEditPopupMenu::AddMenuItemsIn(QOR* qor)
{
    auto set = std::make_shared<Menus>();
    set->type = qor ? currentType(*qor) : DataType::Programs;
    fill(set->programRequestMenu,
         {"from Active HW Slot to Plug-in GUI", "from Active HW Slot to Librarian Slot", "from Selected Program Slot",
          nullptr, "All Patches from Bank A", "All Patches from Bank B", "All Patches from Bank C (TR)",
          "All Patches from Bank D (TR)", "All Patches from Bank E (TR Pro)", "All Patches from Bank F (TR Pro)",
          "All Patches from Bank G (TR Pro)", "All Patches from Bank H (TR Pro)"});
    fill(set->performanceRequestMenu,
         {"from HW Temp Buffer to Plug-in GUI", "from HW Temp Buffer to Librarian Slot", "from selected Program Slot",
          nullptr, "All Performances from Bank A", "All Performances from Bank B (TR)",
          "All Performances from Bank C (TR Pro)", "All Performances from Bank D (TR Pro)"});
    fill(set->patternRequestMenu,
         {"from Active HW Slot to Plug-in GUI", "from Active HW Slot to Librarian Slot", nullptr, "All Patterns"});
    fill(set->programStoreMenu,
         {"On Currently Selected Slot & Bank", nullptr, "All Current Patches to Bank A", "All Current Patches to Bank B",
          "All Current Patches to Bank C (TR)", "All Current Patches to Bank D (TR)",
          "All Current Patches to Bank E (TR Pro)", "All Current Patches to Bank F (TR Pro)",
          "All Current Patches to Bank G (TR Pro)", "All Current Patches to Bank H (TR Pro)"});
    fill(set->performanceStoreMenu,
         {"On Currently Selected Slot & Bank", "All Performances to Bank A", "All Performances to Bank B (TR)",
          "All Performances to Bank C (TR Pro)", "All Performances to Bank D (TR Pro)"});
    fill(set->patternStoreMenu, {"On Currently Selected Slot and Bank", "All Sequences from Current Bank"});
    fill(set->saveAsMenu, {"Standard MIDI (*.mid)", "QOR Format (*.qor)"});
    fill(set->importMenu, {"Standard MIDI (*.mid)", "SysEx (*.syx / *.qor)"});

    IPopupMenu& root = set->rootMenu;
    switch (set->type) {
    case DataType::Programs:
        root.AddItem("Request HW Patch Data", &set->programRequestMenu);
        root.AddSeparator();
        root.AddItem("Store Patch Data to HW", &set->programStoreMenu);
        break;
    case DataType::Performances:
        root.AddItem("Request HW Performance Data", &set->performanceRequestMenu);
        root.AddSeparator();
        root.AddItem("Store Performance Data to HW", &set->performanceStoreMenu);
        break;
    case DataType::Patterns:
        root.AddItem("Request Sequence Data", &set->patternRequestMenu);
        root.AddSeparator();
        root.AddItem("Store Sequence Data to HW", &set->patternStoreMenu);
        break;
    }
    root.AddSeparator();
    root.AddItem("Sync Current Performance from HW");
    root.AddItem("Push Current Performance to HW");
    root.AddSeparator();
    root.AddItem("Save (Overwrite current bank)");
    root.AddItem("Save As...", &set->saveAsMenu);
    root.AddSeparator();
    root.AddItem("Import...", &set->importMenu);
    root.AddItem("Refresh Folders");
    root.AddSeparator();
    root.AddItem("Open Data Folder");
    root.AddItem("About...");

    std::lock_guard<std::mutex> hold(mMenusLock);
    mMenus = std::move(set);
}

void BankEditPopupMenu::doPopupMenu(QOR* qor)
{
    IGraphics* g = GetGUI();
    std::shared_ptr<Menus> set = menus();
    if (!g || !set || !qor) return;
    IPopupMenu* chosen = g->CreateIPopupMenu(&set->rootMenu, &mRECT);
    if (chosen) takeChoice(*set, chosen, chosen->GetChosenItemIdx());
    std::lock_guard<std::mutex> hold(mMenusLock);
    for (IPopupMenu* menu :
         {&set->rootMenu, &set->programRequestMenu, &set->performanceRequestMenu, &set->programStoreMenu,
          &set->performanceStoreMenu, &set->saveAsMenu, &set->importMenu, &set->patternRequestMenu,
          &set->patternStoreMenu})
        menu->CheckItemAlone(-1);
}

void BankEditPopupMenu::OnMouseDown(int, int, IMouseMod*)
{
    AddMenuItemsIn(plug);
    doPopupMenu(plug);
    SetDirty(true);
}

bool BankEditPopupMenu::Draw(IGraphics* g)
{
    return g->FillIRect(&COLOR_TRANSPARENT, &mRECT);
}

void BankEditPopupMenu::takeChoice(const Menus& set, const IPopupMenu* chosen, int index)
{
    if (!plug || index < 0) return;
    if (chosen == &set.rootMenu) takeRootChoice(index);
    else if (chosen == &set.saveAsMenu && index <= 1) saveAs(index == 0);
    else if (chosen == &set.importMenu && index <= 1) import(index == 0);
    else if (chosen == &set.programStoreMenu || chosen == &set.performanceStoreMenu || chosen == &set.patternStoreMenu)
        takeStore(set, chosen, index);
    else takeRequest(set, chosen, index);
}

void BankEditPopupMenu::takeRootChoice(int index)
{
    QOR& q = *plug;
    MIDIMessageManager* m = q.midiManager;
    switch (index) {
    case kItemSyncPerformance: {
        SenderJobRecord r = job(kJobRequestActiveArrangement);
        r.toEditor = true;
        start(q, r, [m] { m->expectingEditDump = true; });
        break;
    }
    case kItemPushPerformance: {
        if (!q.midiIOSet) break;
        SenderJobRecord r = job(kJobSendArrangement);
        r.storeIntoLibrary = false;
        // Set only once the job runs: only its end clears them, so a dropped job would leave
        // incoming MIDI blocked.
        start(q, r, [&q, m] {
            q.deviceTransferActive = true;
            q.incomingMidiBlocked = true;
            q.sendingAllParts = true;
            q.sendGlobalsFirst = true;
            m->sendInProgress = true;
        });
        break;
    }
    case kItemSaveOverwrite: saveOverwrite(); break;
    case kItemRefreshFolders: q.OnParamChange(kRefreshFolders); break;
    case kItemOpenDataFolder: q.OpenDataDirectory(); break;
    case kItemAbout:
        if (ControlLayer* about = q.keptLayer("aboutWindow")) about->Hide(false);
        break;
    default: break;
    }
}

void BankEditPopupMenu::takeRequest(const Menus& set, const IPopupMenu* chosen, int index)
{
    QOR& q = *plug;
    MIDIMessageManager* m = q.midiManager;
    if (!m) return;
    const bool model0 = q.currentModel == 0;
    const int part = q.selectedPart;
    if (chosen == &set.programRequestMenu) {
        if (q.performanceMode) return;
        if (index <= 1) {
            SenderJobRecord r = job(kJobRequestPart);
            r.part = part;
            r.toEditor = index == 0;
            if (index == 0) start(q, r, [m] { m->expectingEditDump = true; });
            else start(q, r);
        } else if (index == 2) {
            m->sendSinglePatchRequestSysexFromLibrarian(false, programvalues::whole(q, kMultiPartBank + part));
        } else if (index >= 4 && index <= 11 && (index <= 5 || model0)) {
            m->sendAllPatchRequestSysexFromLibrarian(index - 4);
        }
    } else if (chosen == &set.performanceRequestMenu) {
        if (index <= 1) {
            SenderJobRecord r = job(kJobRequestActiveArrangement);
            r.toEditor = index == 0;
            if (index == 0) start(q, r, [m] { m->expectingEditDump = true; });
            else start(q, r);
        } else if (index == 2) {
            SenderJobRecord r = job(kJobRequestSingleMulti);
            r.bank = programvalues::whole(q, kMultiBank);
            // Armed only once the job runs: an armed buffer would take the next performance
            // dump of any other request into the slot.
            start(q, r, [m] {
                m->armRequestBuffer(SysexFamily::kKindPerformances);
                m->requestComplete = false;
            });
        } else if (index >= 4 && index <= 7 && (index == 4 || model0)) {
            SenderJobRecord r = job(kJobRequestAllMultis);
            r.bank = index - 4;
            start(q, r, [m] { m->requestComplete = false; });
        }
    } else if (chosen == &set.patternRequestMenu) {
        if (!q.patternMode) return;
        if (index <= 1) {
            SenderJobRecord r = job(kJobRequestSequence);
            r.part = part;
            r.toEditor = index == 0;
            start(q, r, [&q, m, part, index] {
                if (index == 0) m->expectingEditDump = true;
                q.patternRequestPart = part;
            });
        } else if (index == 3) {
            start(q, job(kJobRequestAllSequences), [m] {
                m->armRequestBuffer(SysexFamily::kKindPatterns);
                m->requestComplete = false;
            });
        }
    }
}

void BankEditPopupMenu::takeStore(const Menus& set, const IPopupMenu* chosen, int index)
{
    QOR& q = *plug;
    // A store writes the current data type's entries: a menu of another type does nothing.
    const DataType type = currentType(q);
    const DataType menuType = chosen == &set.programStoreMenu       ? DataType::Programs
                              : chosen == &set.performanceStoreMenu ? DataType::Performances
                                                                    : DataType::Patterns;
    if (type != menuType) return;
    const bool model0 = q.currentModel == 0;
    if (index == 0) {
        // The highlighted entry, upper pane first, into the same slot of the selected bank.
        LibrarianViewControl* grid = q.librarianView;
        if (!grid) return;
        const int upper = grid->upperSelection, lower = grid->lowerSelection;
        const int pane = upper >= 0 ? 0 : 1;
        const int slot = upper >= 0 ? upper : lower;
        if (slot < 0 || slot >= LibrarianViewControl::kCells) return;
        const int part = q.selectedPart;
        int bank = 0;
        if (type == DataType::Performances) bank = programvalues::whole(q, kMultiBank);
        else if (type == DataType::Programs && part >= 0 && part < 8)
            bank = programvalues::whole(q, kMultiPartBank + part);
        q.storeEntryToDeviceFromLibrarian(pane, slot, bank);
        return;
    }
    int bank = -1;
    if (type == DataType::Programs && index >= 2 && index <= 9) bank = index - 2;
    else if (type == DataType::Performances && index >= 1 && index <= 4) bank = index - 1;
    else if (type == DataType::Patterns && index == 1) bank = 0;
    if (bank < 0) return;
    // The banks the request offers only at the first model are stored only there.
    const bool firstModelOnly = type == DataType::Programs ? bank >= 2 : type == DataType::Performances && bank >= 1;
    if (firstModelOnly && !model0) return;
    q.SendAllProgramsFromLibrarian(bank);
}

void BankEditPopupMenu::saveOverwrite()
{
    if (!library) return;
    std::string path, name;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        const PatchFile* bank = library->upperBank();
        if (!bank || bank->fileName.empty() || bank->folderNames.empty()) {
            plug->log("PATCH LIBRARIAN: the upper bank has no file to overwrite");
            plug->showStatus(kSaveFailed);
            return;
        }
        name = bank->fileName;
        path = bankFolder(*plug, *bank) + "/" + name;
    }
    // The upper bank is the only one edits reach: saved, nothing is left unsaved. Not saved, its
    // edits stay marked, and the user is told.
    if (library->saveEditedPatch(path, name)) {
        plug->SetLibrarianStatusSaved();
        plug->showStatus(kSaved);
    } else {
        plug->showStatus(kSaveFailed);
    }
}

void BankEditPopupMenu::saveAs(bool midi)
{
    if (!library) return;
    std::string suggested, folder;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        const PatchFile* bank = library->upperBank();
        if (!bank) {
            plug->showStatus(kSaveFailed);
            return;
        }
        const size_t dot = bank->fileName.rfind('.');
        suggested = (dot == std::string::npos || dot == 0 ? bank->fileName : bank->fileName.substr(0, dot)) +
                    (midi ? ".mid" : ".qor");
        folder = bank->folderNames.empty() ? plug->getPatchesFolderStr() : bankFolder(*plug, *bank);
    }
    // The new file is offered at once: the library is read again, and holds no edit that its
    // files lack. The upper pane shows the file written, the lower one what it showed.
    bool failed = false;
    if (!library->savePatchAs(suggested.c_str(), folder, midi, &failed)) {
        if (failed) plug->showStatus(kSaveFailed);
        return;
    }
    plug->rescanKeepingPanes(true);
    plug->SetLibrarianStatusSaved();
    plug->showStatus(kSaved);
}

void BankEditPopupMenu::import(bool midi)
{
    if (!plug->saveImportedFile(midi)) return;
    // A rescan would drop received entries not yet saved: the copy then shows after the next one.
    const IParam* unsaved = plug->GetParam(kBankEditUnsaved);
    if (!unsaved || unsaved->Value() == 0.0) plug->rescanKeepingPanes(false);
}
