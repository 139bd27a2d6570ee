#include "LibrarianSlotMenus.h"

#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "QORProgramValues.h"

using namespace qorid;

namespace
{

// Pops menu on the control's rectangle: the menu or submenu holding the choice, or null.
IPopupMenu* popMenu(QOR* plug, IControl& control, IPopupMenu& menu)
{
    IGraphics* g = plug ? plug->GetGUI() : nullptr;
    return g ? g->CreateIPopupMenu(&menu, control.GetRECT()) : nullptr;
}

// The edited performance or part program into the library's selected upper slot.
void storeEditorData(QOR& q, MIDIMessageManager& m)
{
    SenderJobRecord r;
    r.storeIntoLibrary = true;
    if (!q.performanceMode) {
        r.job = kJobSendPart;
        r.part = q.selectedPart;
        m.startAsked(r);
        return;
    }
    r.job = kJobSendArrangement;
    // Into the slot only: neither the globals nor the parts go out first.
    m.startAsked(r, [&q] {
        q.sendingAllParts = false;
        q.sendGlobalsFirst = false;
    });
}

void fetchFromSynthesizer(QOR& q, MIDIMessageManager& m, bool byNumber)
{
    if (!q.performanceMode) {
        if (byNumber)
            m.sendSinglePatchRequestSysexFromLibrarian(false, programvalues::whole(q, kMultiPartBank + q.selectedPart));
        else
            m.sendSinglePatchRequestSysexFromLibrarian(true, 0);
        return;
    }
    SenderJobRecord r;
    if (!byNumber) {
        r.job = kJobRequestActiveArrangement;
        r.toEditor = false;
        m.startAsked(r);
        return;
    }
    r.job = kJobRequestSingleMulti;
    r.bank = programvalues::whole(q, kMultiBank);
    // Armed only once the job really starts: an armed buffer would take the next performance
    // dump of any other request into the slot.
    m.startAsked(r, [&m] {
        m.armRequestBuffer(SysexFamily::kKindPerformances);
        m.requestComplete = false;
    });
}

} // namespace

SlotPopupMenu::SlotPopupMenu(IPluginBase* plugIn, PatchLibrarian* libraryIn, IRECT rect, QOR* qor)
    : IControl(plugIn, rect), plug(qor), library(libraryIn)
{
}

void SlotPopupMenu::OnMouseDown(int x, int y, IMouseMod*)
{
    doPopupMenu(plug, x, y);
    SetDirty(true);
}

bool SlotPopupMenu::Draw(IGraphics* g)
{
    IColor clear = COLOR_TRANSPARENT;
    return g->FillIRect(&clear, &mRECT);
}

// ---- slot edit menu ----

FileEditPopupMenu::FileEditPopupMenu(IPluginBase* plugIn, PatchLibrarian* libraryIn, IRECT rect, QOR* qor)
    : SlotPopupMenu(plugIn, libraryIn, rect, qor)
{
    AddMenuItemsIn();
}

void FileEditPopupMenu::AddMenuItemsIn()
{
    rootMenu.AddItem("Paste");
    rootMenu.AddSeparator();
    rootMenu.AddItem("Rename");
    rootMenu.AddSeparator();
    rootMenu.AddItem("Initialize Slot");
    rootMenu.AddItem("Get DATA from..", &getDataMenu);
    getDataMenu.AddItem("Plug-in (active patch)");
    getDataMenu.AddSeparator();
    getDataMenu.AddItem("Hardware Edit Buffer");
    getDataMenu.AddItem("Hardware by Prog No.");
}

void FileEditPopupMenu::doPopupMenu(QOR* q, int x, int y)
{
    takeChoice(popMenu(q, *this, rootMenu), x, y);
    rootMenu.CheckItemAlone(-1);
    getDataMenu.CheckItemAlone(-1);
}

void FileEditPopupMenu::takeChoice(IPopupMenu* chosen, int x, int y)
{
    if (!chosen || !plug) return;
    QOR& q = *plug;
    LibrarianViewControl* grid = q.librarianView;
    MIDIMessageManager* m = q.midiManager;
    if (chosen == &rootMenu) {
        switch (chosen->GetChosenItemIdx()) {
        case kPaste:
            if (grid) grid->PasteSlotData(x, y);
            return;
        case kRename:
            if (grid) grid->renameSlot(x, y);
            return;
        case kInitializeSlot: {
            if (!m) return;
            SenderJobRecord r;
            r.job = q.patternMode ? kJobInitSequence : q.performanceMode ? kJobInitPerformance : kJobInitClassicPatch;
            m->startAsked(r, [m] { m->expectingEditDump = true; });
            return;
        }
        default: return;
        }
    }
    if (chosen != &getDataMenu || q.patternMode || !m) return;
    switch (chosen->GetChosenItemIdx()) {
    case kFromPlugIn: storeEditorData(q, *m); return;
    case kFromEditBuffer:
    case kFromProgramNumber: fetchFromSynthesizer(q, *m, chosen->GetChosenItemIdx() == kFromProgramNumber); return;
    default: return;
    }
}

// ---- slot copy menu ----

FileCopyPopupMenu::FileCopyPopupMenu(IPluginBase* plugIn, PatchLibrarian* libraryIn, IRECT rect, QOR* qor)
    : SlotPopupMenu(plugIn, libraryIn, rect, qor)
{
    rootMenu.AddItem("Copy");
}

void FileCopyPopupMenu::doPopupMenu(QOR* q, int x, int y)
{
    takeChoice(popMenu(q, *this, rootMenu), x, y);
    rootMenu.CheckItemAlone(-1);
}

void FileCopyPopupMenu::takeChoice(IPopupMenu* chosen, int x, int y)
{
    if (chosen != &rootMenu || chosen->GetChosenItemIdx() != kCopy || !plug || !plug->librarianView) return;
    plug->librarianView->CopySlotData(x, y);
}
