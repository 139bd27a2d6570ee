// The program-number and bank-number menus of the editor's header.
#include "LibrarianNumberMenus.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "kit/plugin/IParam.h"

using namespace qorid;

namespace
{

constexpr int kPrograms = 128;
constexpr const char* kGroupLabels[] = {"00-09", "10-19", "20-29", "30-39", "40-49",   "50-59",  "60-69",
                                        "70-79", "80-89", "90-99", "100-109", "110-119", "120-127"};
static_assert(std::size(kGroupLabels) == ProgramNumberPopupMenu::kGroups, "one label per group of ten");

constexpr const char* kProgramBanks[] = {"Bank A (RAM)",       "Bank B (RAM)",       "Bank C (RAM TR)",
                                         "Bank D (RAM TR)",    "Bank E (RAM TR Pro)", "Bank F (RAM TR Pro)",
                                         "Bank G (RAM TR Pro)", "Bank H (RAM TR Pro)"};
constexpr const char* kPerformanceBanks[] = {"Bank A (RAM)", "Bank B (RAM TR)", "Bank C (RAM TR Pro)",
                                             "Bank D (RAM TR Pro)"};

// A part whose per-part parameters exist.
bool validPart(int part)
{
    return part >= 0 && part < 8;
}

// The parameter's value set to v held to its range, without telling the controller.
void setClamped(IPluginBase* plug, int id, double v)
{
    if (IParam* p = plug ? plug->GetParam(id) : nullptr) p->Set(std::clamp(v, p->GetMin(), p->GetMax()));
}

// Asks for the edit buffer of the performance (job 6) or of part (job 7) into the editor, when
// the job thread is idle; a busy thread says so.
void requestIntoEditor(QOR* q, bool performance, int part)
{
    MIDIMessageManager* m = q->midiManager;
    if (!m) return;
    SenderJobRecord r;
    r.job = performance ? kJobRequestActiveArrangement : kJobRequestPart;
    r.part = part;
    r.toEditor = true;
    m->startAsked(r, [m] { m->expectingEditDump = true; });
}

} // namespace

// ---- program number -------------------------------------------------------------------------

ProgramNumberPopupMenu::ProgramNumberPopupMenu(IPluginBase* base, PatchLibrarian* libraryIn, IRECT rect, QOR* qor)
    : IControl(base, rect), plug(qor), library(libraryIn)
{
    refreshPatchNames(library, plug, 0);
}

std::shared_ptr<ProgramNumberPopupMenu::Menus> ProgramNumberPopupMenu::menus() const
{
    std::lock_guard<std::mutex> hold(mMenusLock);
    return mMenus;
}

void ProgramNumberPopupMenu::refreshPatchNames(PatchLibrarian*, QOR*, int program)
{
    auto fresh = std::make_shared<Menus>();
    std::vector<std::string> names(kPrograms);
    if (plug && plug->libraryControlMode) {
        // The upper pane's bank; a missing bank or entry shows an empty name.
        const IParam* list = plug->GetParam(kPatchSelectionListUpper);
        const double at = list ? list->Value() : -1.0;
        if (library && at >= 0.0) {
            std::lock_guard<std::recursive_mutex> hold(library->mLock);
            const std::vector<PatchFile*>& banks = plug->performanceMode ? library->multiFiles : library->singleFiles;
            if (at < double(banks.size())) {
                const PatchFile* bank = banks[size_t(at)];
                for (size_t i = 0; i < names.size() && i < bank->patches.size(); ++i) names[i] = bank->patches[i].name;
            }
        }
    } else {
        for (int i = 0; i < kPrograms; ++i) {
            char text[16];
            std::snprintf(text, sizeof text, "Sound %03d", i);
            names[size_t(i)] = text;
        }
    }
    for (int i = 0; i < kPrograms; ++i) fresh->groupMenus[size_t(i / 10)].AddItem(names[size_t(i)].c_str());
    for (int g = 0; g < kGroups; ++g) fresh->rootMenu.AddItem(kGroupLabels[g], &fresh->groupMenus[size_t(g)]);
    if (program >= 0 && program < kPrograms) fresh->groupMenus[size_t(program / 10)].CheckItemAlone(program % 10);
    std::lock_guard<std::mutex> hold(mMenusLock);
    mMenus = fresh;
}

int ProgramNumberPopupMenu::doPopupMenu(QOR*, int& program)
{
    IGraphics* g = GetGUI();
    if (!g || !plug) return 0;
    std::shared_ptr<Menus> set = menus();
    IPopupMenu* returned = g->CreateIPopupMenu(&set->rootMenu, &mRECT);
    if (!returned) return 0;
    int group = -1, chosen = -1;
    {
        std::lock_guard<std::mutex> hold(mMenusLock);
        set->rootMenu.CheckItemAlone(-1);
        for (int i = 0; i < kGroups; ++i) {
            set->groupMenus[size_t(i)].CheckItemAlone(-1);
            if (returned == &set->groupMenus[size_t(i)]) group = i;
        }
        chosen = returned->GetChosenItemIdx();
    }
    if (group < 0 || chosen < 0 || chosen >= returned->GetNItems()) return 0;

    const int p = 10 * group + chosen;
    program = p;
    const bool performance = plug->performanceMode;
    const int part = plug->selectedPart;
    if (!performance && !validPart(part)) return 0;
    const int programParam = performance ? int(kMultiPatch) : kMultiPartPatch + part;
    bool ok = true;
    if (plug->libraryControlMode) {
        if (LibrarianViewControl* view = plug->librarianView) {
            view->upperSelection = p;
            view->currentSlot = p;
        }
        if (library) {
            std::lock_guard<std::recursive_mutex> hold(library->mLock);
            library->upperSlot = p;
        }
        plug->setLibrarianViewDirty();
        plug->transferPause(10);
        // The items name the upper pane's entries: that pane's entry goes out.
        plug->sendPatchToDeviceFromLibrarian(p, 0, part);
    } else {
        ok = plug->pickBankOrProgram(programParam, p, performance ? 16 : part);
        if (ok && plug->progBankMode) requestIntoEditor(plug, performance, part);
        else if (ok) plug->sendPatchAndPatternToDevice(part, !performance, false, false, false, performance);
    }
    if (ok) {
        setClamped(mPlug, programParam, double(p));
    } else {
        // Refused: the menu shows the program the part kept.
        const IParam* param = mPlug->GetParam(programParam);
        program = param ? int(param->Value()) : -1;
    }
    {
        std::lock_guard<std::mutex> hold(mMenusLock);
        if (ok)
            returned->CheckItemAlone(chosen);
        else if (program >= 0 && program < kPrograms)
            set->groupMenus[size_t(program / 10)].CheckItemAlone(program % 10);
    }
    return chosen;
}

void ProgramNumberPopupMenu::OnMouseDown(int, int, IMouseMod*)
{
    doPopupMenu(plug, currentProgram);
    SetDirty(true);
}

bool ProgramNumberPopupMenu::Draw(IGraphics* g)
{
    return g->FillIRect(&COLOR_TRANSPARENT, &mRECT);
}

// ---- bank number ----------------------------------------------------------------------------

BankNumberPopupMenu::BankNumberPopupMenu(IPluginBase* base, PatchLibrarian* libraryIn, IRECT rect, QOR* qor)
    : IControl(base, rect), plug(qor), library(libraryIn)
{
    refreshPatchNames(library, plug, 0);
}

std::shared_ptr<IPopupMenu> BankNumberPopupMenu::menus() const
{
    std::lock_guard<std::mutex> hold(mMenusLock);
    return mMenus;
}

bool BankNumberPopupMenu::refreshPatchNames(PatchLibrarian*, QOR*, int bank)
{
    auto fresh = std::make_shared<IPopupMenu>();
    const bool performance = plug && plug->performanceMode;
    if (performance) {
        for (const char* name : kPerformanceBanks) fresh->AddItem(name);
    } else {
        for (const char* name : kProgramBanks) fresh->AddItem(name);
        // A bank of 8 or more, or a negative one, names no item: nothing is checked.
        fresh->CheckItemAlone(std::min(bank, 8));
    }
    std::lock_guard<std::mutex> hold(mMenusLock);
    mMenus = fresh;
    return !performance;
}

int BankNumberPopupMenu::doPopupMenu(QOR*, int& bank)
{
    IGraphics* g = GetGUI();
    if (!g || !plug) return 0;
    std::shared_ptr<IPopupMenu> root = menus();
    IPopupMenu* returned = g->CreateIPopupMenu(root.get(), &mRECT);
    if (!returned) return 0;
    int chosen = -1;
    {
        std::lock_guard<std::mutex> hold(mMenusLock);
        root->CheckItemAlone(-1);
        chosen = returned->GetChosenItemIdx();
    }
    if (returned != root.get() || chosen < 0 || chosen >= root->GetNItems()) return 0;

    const bool performance = plug->performanceMode;
    const int part = plug->selectedPart;
    if (!performance && !validPart(part)) return 0;
    const int bankParam = performance ? int(kMultiBank) : kMultiPartBank + part;
    // In performance mode the controller sends the performance's bank whatever the part.
    const bool ok = plug->pickBankOrProgram(bankParam, chosen, part);
    if (!performance && ok) {
        if (plug->progBankMode) requestIntoEditor(plug, false, part);
        else plug->sendPatchAndPatternToDevice(part, true, false, false, false, false);
    }
    if (ok) {
        bank = chosen;
        setClamped(mPlug, bankParam, double(chosen));
    } else {
        // Refused: the part keeps its bank, and the menu shows it as a refresh would.
        const IParam* param = mPlug->GetParam(bankParam);
        bank = param ? int(param->Value()) : 0;
    }
    {
        std::lock_guard<std::mutex> hold(mMenusLock);
        root->CheckItemAlone(ok ? chosen : std::min(bank, 8));
    }
    return chosen;
}

void BankNumberPopupMenu::OnMouseDown(int, int, IMouseMod*)
{
    if (!plug) return;
    const int part = plug->selectedPart;
    if (!plug->performanceMode && !validPart(part)) return;
    const int id = plug->performanceMode ? int(kMultiBank) : kMultiPartBank + part;
    const IParam* param = mPlug->GetParam(id);
    currentBank = param ? int(param->Value()) : 0;
    doPopupMenu(plug, currentBank);
    if (IGraphics* g = GetGUI()) g->SetParameterFromPlug(id, double(currentBank), false);
    SetDirty(true);
}

bool BankNumberPopupMenu::Draw(IGraphics* g)
{
    return g->FillIRect(&COLOR_TRANSPARENT, &mRECT);
}
