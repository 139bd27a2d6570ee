#pragma once
// The librarian's two-pane slot grid: the edited bank (upper pane) over a source bank (lower
// pane), 8 columns of 16 names each, over the grid's background bitmap. Slots are selected with
// the mouse or the arrow keys, sent by double click or key, dragged from the lower pane onto an
// upper slot, copied and pasted through the right-click menus, and renamed.
//
// Mouse, keys and drawing run on the editor's thread. The reloads may also run on the MIDI and
// job threads: they copy the names under the librarian's lock and set the texts after it.
#include <array>
#include <atomic>
#include <string>
#include <thread>

#include "CustomOverlayControl.h"
#include "LibrarianPatch.h"
#include "PatchFile.h"

class QOR;
class PatchLibrarian;

class LibrarianViewControl : public CustomOverlayControl
{
public:
    static constexpr int kCells = 128;
    static constexpr int kRows = 16;
    enum Pane { kUpperPane = 0, kLowerPane = 1 };

    // The bitmap's frame placed at (x, y); area is the grid, already at the editor's scale.
    LibrarianViewControl(QOR* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT area, PatchLibrarian* library,
                         double scale);
    // Deletes the cells; touches neither the librarian nor the controller.
    ~LibrarianViewControl() override;

    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseUp(int x, int y, IMouseMod* mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
    bool OnKeyDown(int x, int y, int key) override;
    bool Draw(IGraphics* g) override;

    // Reload the names of one pane from the bank it shows; no bank empties the pane.
    // Any thread.
    void patchSelectionUpperChanged();
    void patchSelectionLowerChanged();
    // Starts renaming the selected upper slot.
    void renameSlot(int x, int y);
    // Keeps a copy of the lower entry under (x, y); no slot there empties the copy.
    void CopySlotData(int x, int y);
    // The kept copy becomes the upper entry under (x, y), when it is of the upper bank's kind.
    void PasteSlotData(int x, int y);
    // Forgets the kept copy: another data type has no place for it.
    void forgetCopy();

    // The slot of the pane's cell that holds (x, y), -1 for none.
    int hitSlot(Pane pane, int x, int y) const;
    // A cell's rectangle; slot outside 0..127 gives the empty rectangle.
    IRECT cellRect(Pane pane, int slot) const;
    // A cell's text, copied.
    std::string cellText(Pane pane, int slot) const;
    // Whether Paste has an entry to paste.
    bool hasCopy() const { return mHasCopy; }

    PatchLibrarian* library; // borrowed
    QOR* plug;               // borrowed
    double scale;
    IRECT area;
    IRECT dragMarker{0, 0, 0, 0};
    bool dragging = false;
    int cellWidth;
    int rowHeight;
    int sourceSlot = -1;
    int copiedBank = -1;
    const int cellCount = kCells;
    // Written by the controller's transfers and menus on the main or MIDI thread.
    std::atomic<int> upperSelection{0}; // -1 when no upper slot is selected
    std::atomic<int> lowerSelection{-1};
    std::atomic<int> activePane{kUpperPane};
    std::atomic<int> currentSlot{0};
    // Slots can be dragged only once the librarian page has been shown.
    std::atomic<bool> mDragEnabled{false};

private:
    struct Hits {
        int upper = -1;
        int lower = -1;
    };
    // Both panes' hits; the last hit of each pane wins.
    Hits hitTest(int x, int y) const;
    // Selections from a click: both cleared, then the hits; with panes, the active pane (and with
    // saveLayer the save layer's greying) follows the last pane hit.
    void selectFromHits(const Hits& hits, bool panes, bool saveLayer = true);
    void setSaveLayerGrayed(bool gray);
    void showLayer(const char* name, bool show);
    // Marks the grid dirty; on the editor's thread it also hands the value to the plug-in, which
    // takes the plug-in's lock, so other threads only mark it.
    void markDirty();
    void reloadPane(Pane pane);
    // The bank the pane shows, or null; the librarian's lock is held by the caller.
    PatchFile* paneBank(Pane pane) const;
    // Writes the librarian's slot field of the pane (and the drop slot with drop) under its lock;
    // slots outside 0..127 are not written.
    void setLibrarySlot(Pane pane, int slot, bool drop = false);
    // entry, taken from a bank of kind, becomes the upper entry at slot; the bank is then marked
    // unsaved and reloaded. False, with nothing marked, when nothing was stored: no entry, an
    // entry of another kind than the upper bank's, or no upper bank.
    bool storeIntoUpperSlot(const LibrarianPatch& entry, int kind, int slot);
    void sendSlot(int slot);

    std::array<ITextControl*, kCells> upperCells{};
    std::array<ITextControl*, kCells> lowerCells{};
    // The lower slot under the last left press, -1 for none, until the button is released.
    int mPressedLowerSlot = -1;
    LibrarianPatch mCopiedEntry;
    int mCopiedKind = kPatchFilePrograms;
    bool mHasCopy = false;
    std::thread::id mEditorThread;
};
