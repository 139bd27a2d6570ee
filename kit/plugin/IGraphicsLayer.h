#pragma once
// A named group of controls and child layers that is shown, hidden, grayed, hit-tested and
// drawn as one. A shown layer shows only the child whose id is selectedChildId.
#include <atomic>
#include <string>

#include "kit/plugin/IGraphicsIndex.h"
#include "kit/plugin/IGraphicsStructs.h"

class IControl;
class IGraphics;

class ControlLayer {
public:
    ControlLayer(int id, std::string name);
    ~ControlLayer();
    ControlLayer(const ControlLayer&) = delete;
    ControlLayer& operator=(const ControlLayer&) = delete;

    void Hide(bool hide);
    void GrayOut(bool gray);
    void GrayOutCustomZone(bool gray, int id);
    // Selects one band of children: id becomes the selected child; each child in the band that
    // id belongs to is shown when its id is id and hidden otherwise, the others keep their state.
    void showMultiLayers(int id);
    void GrayOutUserArp(bool gray, int id, int limit);
    void setControlsDirty();
    // Lets the tree's dirty controls count for the screen while it is hidden.
    void setIgnoreHiddenWhenUpdatingScreen(bool on);

    void SetParameterFromPlug(int paramIdx, double normalized, bool normalizedFlag);
    IControl* isHit(int x, int y);
    bool isDirty(IRECT* r);
    void Draw(IGraphics* g, IRECT* r);
    IControl* getControlFromParam(int paramIdx);

    bool IsVisible() const { return visible.load(std::memory_order_relaxed); }

    int id;
    // Written by the thread that switches pages while the redraw reads it.
    std::atomic<bool> visible{false};
    surface::WatchedList<IControl> controls{4096};
    surface::WatchedList<ControlLayer> childLayers{4096};
    std::string name;
    int selectedChildId = 0;
    bool ignoreHidden = false;
};
