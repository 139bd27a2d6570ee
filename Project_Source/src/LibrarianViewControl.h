#pragma once
// The librarian's two-pane slot grid: one bitmap control, bound to the librarian-area
// parameter, whose grid of upper and lower slots fills a rectangle of the editor.
#include <atomic>

#include "kit/plugin/IControl.h"

class QOR;
class PatchLibrarian;

class LibrarianViewControl : public IBitmapOverlayControl
{
public:
    // The bitmap's frame placed at (x, y); area is the grid, already at the editor's scale.
    LibrarianViewControl(QOR* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT area, PatchLibrarian* library,
                         double scale);
    // The grid's background: the bitmap, whatever the control's value.
    bool Draw(IGraphics* g) override;

    PatchLibrarian* library; // borrowed
    QOR* plug;               // borrowed
    double scale;
    IRECT area;
    // Written by the controller's transfers on the main or MIDI thread.
    std::atomic<int> upperSelection{0}; // -1 when no upper slot is selected
    std::atomic<int> currentSlot{0};
    // Slots can be dragged only once the librarian page has been shown.
    std::atomic<bool> mDragEnabled{false};
};
