#include "LibrarianViewControl.h"

#include <mutex>
#include <vector>

#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "QORProgramValues.h"
#include "RenameFieldControl.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"

using namespace qorid;

namespace
{

const IColor kSelectionFill(255, 225, 225, 225);
const IColor kNameColour(255, 255, 255, 255);
const IColor kSelectedNameColour(255, 0, 0, 0);

// The arrow keys of the framework.
enum ArrowKey { kKeyUp = 1, kKeyDown = 2, kKeyLeft = 3, kKeyRight = 4 };

bool validSlot(int slot)
{
    return slot >= 0 && slot < LibrarianViewControl::kCells;
}

// The slot an arrow key moves to from c (-1: none selected).
int stepSlot(int c, int key)
{
    const int last = LibrarianViewControl::kCells - 1, rows = LibrarianViewControl::kRows;
    switch (key) {
    case kKeyUp: return c > 0 ? c - 1 : last;
    case kKeyDown: return c < last ? c + 1 : 0;
    case kKeyLeft: return c < rows ? c + last + 1 - rows : c - rows;
    default: return c + rows <= last ? c + rows : c - (last + 1 - rows);
    }
}

// The cell geometry of one scale: the corrections below and above 1.0 keep whole pixels between
// the columns of the background.
struct Geometry {
    int width, height, gap, upperTop, lowerTop;
};

Geometry geometryFor(double s, int y)
{
    Geometry g{};
    g.gap = int(28 * s);
    if (s < 1.0) {
        g = {int(106 * s), int(14 * s) + 1, g.gap, y + int(s) + 1, y + int(274 * s) + 2};
    } else if (s > 1.0) {
        g = {int(106 * s), int(14 * s), g.gap, y + int(s) + 1, y + int(274 * s) + 1};
    } else {
        g = {int(105 * s), int(14 * s), g.gap, y + int(s), y + int(274 * s)};
    }
    return g;
}

} // namespace

LibrarianViewControl::LibrarianViewControl(QOR* plugIn, int x, int y, int paramIdx, IBitmap* bitmap, IRECT areaIn,
                                           PatchLibrarian* libraryIn, double scaleIn)
    : CustomOverlayControl(plugIn, x, y, paramIdx, bitmap, areaIn), library(libraryIn), plug(plugIn), scale(scaleIn),
      area(areaIn), cellWidth(int(105 * scaleIn)), rowHeight(int(14 * scaleIn)),
      mEditorThread(std::this_thread::get_id())
{
    const Geometry g = geometryFor(scaleIn, y);
    IText style(int(13 * scaleIn), &kNameColour, "NK57 Monospace", IText::kStyleNormal, IText::kAlignNear,
                IText::kVAlignMiddle, 0, IText::kDefaultQuality);
    auto make = [&](std::array<ITextControl*, kCells>& cells, int top) {
        for (int i = 0; i < kCells; ++i) {
            const int left = x + (i / kRows) * (g.width + g.gap), cellTop = top + (i % kRows) * g.height;
            cells[size_t(i)] =
                new ITextControl(plugIn, IRECT(left, cellTop, left + g.width, cellTop + g.height), &style);
        }
    };
    make(upperCells, g.upperTop);
    patchSelectionUpperChanged();
    make(lowerCells, g.lowerTop);
    patchSelectionLowerChanged();
}

LibrarianViewControl::~LibrarianViewControl()
{
    for (ITextControl* cell : upperCells) delete cell;
    for (ITextControl* cell : lowerCells) delete cell;
}

// ---- geometry ----

IRECT LibrarianViewControl::cellRect(Pane pane, int slot) const
{
    if (!validSlot(slot)) return IRECT(0, 0, 0, 0);
    const auto& cells = pane == kUpperPane ? upperCells : lowerCells;
    return *cells[size_t(slot)]->GetRECT();
}

int LibrarianViewControl::hitSlot(Pane pane, int x, int y) const
{
    int hit = -1;
    for (int i = 0; i < kCells; ++i)
        if (cellRect(pane, i).Contains(x, y)) hit = i;
    return hit;
}

LibrarianViewControl::Hits LibrarianViewControl::hitTest(int x, int y) const
{
    return Hits{hitSlot(kUpperPane, x, y), hitSlot(kLowerPane, x, y)};
}

std::string LibrarianViewControl::cellText(Pane pane, int slot) const
{
    if (!validSlot(slot)) return "";
    KIT_String text("", 0, 64);
    (pane == kUpperPane ? upperCells : lowerCells)[size_t(slot)]->GetTextCopy(&text);
    return text.Get();
}

// ---- shared steps ----

void LibrarianViewControl::markDirty()
{
    SetDirty(std::this_thread::get_id() == mEditorThread);
}

void LibrarianViewControl::showLayer(const char* name, bool show)
{
    if (ControlLayer* layer = plug ? plug->keptLayer(name) : nullptr) layer->Hide(!show);
}

void LibrarianViewControl::setSaveLayerGrayed(bool gray)
{
    if (ControlLayer* layer = plug ? plug->keptLayer("saveChangesLayer") : nullptr) layer->GrayOut(gray);
}

void LibrarianViewControl::selectFromHits(const Hits& hits, bool panes, bool saveLayer)
{
    upperSelection = hits.upper;
    lowerSelection = hits.lower;
    if (!panes) return;
    // Upper cells are tested before lower ones: a lower hit decides.
    if (hits.upper >= 0) {
        activePane = kUpperPane;
        if (saveLayer) setSaveLayerGrayed(false);
    }
    if (hits.lower >= 0) {
        activePane = kLowerPane;
        if (saveLayer) setSaveLayerGrayed(true);
    }
}

PatchFile* LibrarianViewControl::paneBank(Pane pane) const
{
    return plug && plug->patchLibrarian == library ? plug->libraryPaneBank(pane) : nullptr;
}

void LibrarianViewControl::setLibrarySlot(Pane pane, int slot, bool drop)
{
    // A fetch stores at upperSlot and a received slot byte is framed with dropSlot: both stay
    // inside the bank, so a click that hits nothing keeps them.
    if (!library || !validSlot(slot)) return;
    std::lock_guard<std::recursive_mutex> hold(library->mLock);
    if (pane == kLowerPane) {
        library->lowerSlot = slot;
        return;
    }
    library->upperSlot = slot;
    if (drop) library->dropSlot = slot;
}

void LibrarianViewControl::sendSlot(int slot)
{
    if (plug) plug->sendPatchToDeviceFromLibrarian(slot, activePane, plug->selectedPart);
}

// ---- reloads ----

void LibrarianViewControl::reloadPane(Pane pane)
{
    markDirty();
    if (!library) return;
    // A bank coming in reloads the pane once a slot: the names are copied into strings this thread
    // keeps, whose room is reused, rather than into 128 new ones every time.
    thread_local std::vector<std::string> names(kCells);
    bool both = false;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        // No bank (none of the data type, or an index past its list): the pane shows no names,
        // rather than those of a bank of another kind.
        const PatchFile* bank = paneBank(pane);
        for (size_t i = 0; i < names.size(); ++i) {
            if (bank && i < bank->patches.size())
                names[i] = bank->patches[i].name;
            else names[i].clear();
        }
        // A bank is changed through one pane; every pane that shows it shows it as it is now.
        both = bank && bank == paneBank(pane == kUpperPane ? kLowerPane : kUpperPane);
    }
    // After the lock: a text control takes its own lock, and a drawing thread may hold it.
    auto fill = [](std::array<ITextControl*, kCells>& cells, const std::vector<std::string>& texts) {
        for (int i = 0; i < kCells; ++i)
            if (cells[size_t(i)]) cells[size_t(i)]->SetTextFromPlug(texts[size_t(i)].c_str());
    };
    fill(pane == kUpperPane ? upperCells : lowerCells, names);
    if (both) fill(pane == kUpperPane ? lowerCells : upperCells, names);
    // The cells are drawn by the grid alone: a redraw that cleaned the grid before the texts
    // changed must be followed by another.
    SetDirty(false);
    // The lower title marks a bank shown in both panes with unsaved edits.
    if (plug && plug->patchLibrarian == library) plug->redrawPaneTitles();
}

void LibrarianViewControl::patchSelectionUpperChanged()
{
    reloadPane(kUpperPane);
}

void LibrarianViewControl::patchSelectionLowerChanged()
{
    reloadPane(kLowerPane);
}

// ---- drawing ----

bool LibrarianViewControl::Draw(IGraphics* g)
{
    CustomOverlayControl::Draw(g);
    IColor fill = kSelectionFill;
    auto drawPane = [&](const std::array<ITextControl*, kCells>& cells, int selected) {
        if (!validSlot(selected)) selected = -1;
        if (selected >= 0) g->FillIRect(&fill, cells[size_t(selected)]->GetRECT());
        for (int i = 0; i < kCells; ++i) {
            ITextControl* cell = cells[size_t(i)];
            if (i != selected) {
                cell->Draw(g);
                continue;
            }
            cell->GetText()->mColor = kSelectedNameColour;
            cell->Draw(g);
            cell->GetText()->mColor = kNameColour;
        }
    };
    drawPane(upperCells, upperSelection);
    drawPane(lowerCells, lowerSelection);
    if (dragging) g->FillIRect(&fill, &dragMarker);
    return true;
}

// ---- mouse and keys ----

void LibrarianViewControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
    if (!mod || (!mod->L && !mod->R)) return;
    if (!mod->R) {
        // A left click abandons a rename under way.
        if (plug) plug->abandonRename();
        markDirty();
        const Hits hits = hitTest(x, y);
        mPressedLowerSlot = hits.lower;
        selectFromHits(hits, true);
        setLibrarySlot(kUpperPane, upperSelection);
        setLibrarySlot(kLowerPane, lowerSelection);
        currentSlot = upperSelection.load();
        return;
    }
    markDirty();
    const Hits hits = hitTest(x, y);
    selectFromHits(hits, true);
    setLibrarySlot(kUpperPane, hits.upper);
    setLibrarySlot(kLowerPane, hits.lower);
    if (!plug) return;
    // An upper slot gets the edit menu; anywhere else the copy menu.
    if (hits.upper >= 0)
        plug->showFileEditMenu(x, y);
    else
        plug->showFileCopyMenu(x, y);
}

void LibrarianViewControl::OnMouseDblClick(int x, int y, IMouseMod*)
{
    if (plug) plug->renameIdle = true;
    markDirty();
    if (!plug || programvalues::whole(*plug, kDeviceOutSelection) == 0) return;
    const Hits hits = hitTest(x, y);
    selectFromHits(hits, true);
    const int h = hits.lower >= 0 ? hits.lower : hits.upper;
    currentSlot = h;
    (activePane == kUpperPane ? upperSelection : lowerSelection) = h;
    setLibrarySlot(Pane(activePane.load()), h);
    if (upperSelection >= 0 || lowerSelection >= 0) sendSlot(h);
}

bool LibrarianViewControl::OnKeyDown(int, int, int key)
{
    // While the rename panel is open the keys are its own, not the slots' under it.
    if (plug && !plug->renameIdle) return false;
    if (key < kKeyUp || key > kKeyRight) return false;
    int c = currentSlot;
    if (!validSlot(c)) c = -1;
    const int n = stepSlot(c, key);
    currentSlot = n;
    const Pane pane = activePane == kLowerPane ? kLowerPane : kUpperPane;
    (pane == kUpperPane ? upperSelection : lowerSelection) = n;
    // The library's slot follows, so a fetch lands in the highlighted slot.
    setLibrarySlot(pane, n);
    markDirty();
    if (upperSelection < 0 && lowerSelection < 0) return false;
    sendSlot(n);
    return true;
}

void LibrarianViewControl::OnMouseDrag(int x, int y, int, int, IMouseMod*)
{
    markDirty();
    if (!mDragEnabled) return;
    const int left = x - cellWidth / 2, top = y - rowHeight / 2;
    dragMarker = IRECT(left, top, left + cellWidth, top + rowHeight);
    if (dragging) return;
    const Hits hits = hitTest(x, y);
    selectFromHits(hits, false);
    // The entry pressed is the one dragged, however far the first move already went; a press
    // elsewhere starts the drag from the first lower slot the pointer crosses.
    const int source = mPressedLowerSlot >= 0 ? mPressedLowerSlot : hits.lower;
    if (source < 0) return;
    dragging = true;
    sourceSlot = source;
}

void LibrarianViewControl::OnMouseUp(int x, int y, IMouseMod*)
{
    markDirty();
    mPressedLowerSlot = -1;
    if (!dragging) return;
    dragging = false;
    const Hits hits = hitTest(x, y);
    selectFromHits(hits, true, false);
    const int t = hits.upper;
    if (t < 0 || !library) return;
    setLibrarySlot(kUpperPane, t, true);
    LibrarianPatch entry;
    int kind = kPatchFilePrograms;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        const PatchFile* lower = paneBank(kLowerPane);
        if (!lower || sourceSlot < 0 || size_t(sourceSlot) >= lower->patches.size()) return;
        entry = lower->patches[size_t(sourceSlot)];
        // The lower pane lists banks of the upper bank's kind (category and search banks are
        // program banks, shown only among programs).
        kind = library->currentKind;
    }
    if (storeIntoUpperSlot(entry, kind, t)) setSaveLayerGrayed(false);
}

// ---- copy, paste, rename ----

bool LibrarianViewControl::storeIntoUpperSlot(const LibrarianPatch& entry, int kind, int slot)
{
    if (!library || entry.messages.empty() || !validSlot(slot)) return false;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        // A program in a performance bank would be saved into its file and stored into the
        // synthesizer's performance memory.
        if (kind != library->currentKind) return false;
        library->upperSlot = slot;
        library->dropSlot = slot;
        LibrarianPatch copy(entry);
        if (!library->setSysexDatatoSelectedSlot(&copy)) return false;
    }
    if (plug) plug->SetLibrarianStatusUnsaved(true);
    patchSelectionUpperChanged();
    return true;
}

void LibrarianViewControl::CopySlotData(int x, int y)
{
    const int hit = hitSlot(kLowerPane, x, y);
    lowerSelection = hit;
    if (hit >= 0) activePane = kLowerPane;
    sourceSlot = hit;
    mHasCopy = false;
    mCopiedEntry = LibrarianPatch();
    if (!library) return;
    std::lock_guard<std::recursive_mutex> hold(library->mLock);
    copiedBank = library->lowerFileIndex;
    const PatchFile* lower = paneBank(kLowerPane);
    if (!lower || hit < 0 || size_t(hit) >= lower->patches.size()) return;
    mCopiedEntry = lower->patches[size_t(hit)];
    mCopiedKind = library->currentKind;
    mHasCopy = !mCopiedEntry.messages.empty();
}

void LibrarianViewControl::forgetCopy()
{
    mHasCopy = false;
    mCopiedEntry = LibrarianPatch();
    copiedBank = -1;
}

void LibrarianViewControl::PasteSlotData(int x, int y)
{
    markDirty();
    const int t = hitSlot(kUpperPane, x, y);
    upperSelection = t;
    if (t >= 0) activePane = kUpperPane;
    if (t < 0) return;
    setLibrarySlot(kUpperPane, t, true);
    if (!mHasCopy) return;
    storeIntoUpperSlot(mCopiedEntry, mCopiedKind, t);
}

void LibrarianViewControl::renameSlot(int, int)
{
    const int selected = upperSelection;
    if (!validSlot(selected) || !library || !plug) return;
    activePane = kUpperPane;
    std::string name;
    {
        std::lock_guard<std::recursive_mutex> hold(library->mLock);
        PatchFile* bank = paneBank(kUpperPane);
        if (!bank) return;
        if (bank->patches.size() < size_t(kCells)) bank->patches.resize(kCells);
        const LibrarianPatch& entry = bank->patches[size_t(selected)];
        if (entry.messages.empty()) return;
        name = entry.name;
    }
    // Only a rename that really opens holds the program keys back.
    plug->renameIdle = false;
    if (IParam* rename = plug->GetParam(kPatchRename)) rename->SetDisplayText(0, name.c_str());
    showLayer("patchRename", true);
    // The name field takes the keyboard at once, so that no key reaches the grid under it.
    ControlLayer* panel = plug->keptLayer("patchRename");
    IControl* field = panel ? panel->getControlFromParam(kPatchRename) : nullptr;
    if (auto* framed = dynamic_cast<RenameFieldControl*>(field))
        framed->openEntry();
    else if (field)
        field->PromptUserInput();
}
