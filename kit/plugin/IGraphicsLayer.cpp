#include "kit/plugin/IGraphicsLayer.h"

#include <climits>
#include <utility>

#include "kit/plugin/IControl.h"

ControlLayer::ControlLayer(int layerId, std::string layerName) : id(layerId), name(std::move(layerName)) {}

ControlLayer::~ControlLayer()
{
    controls.Empty(true);
    childLayers.Empty(true);
}

void ControlLayer::Hide(bool hide)
{
    visible.store(!hide, std::memory_order_relaxed);
    // Every control below is marked dirty once: a control's own Hide marks it, and so does a
    // child layer's; a child left as it is gets its controls marked. Marking the whole tree here
    // as well marked a control once for every layer above it.
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->Hide(hide);
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) {
        ControlLayer* child = childLayers.Get(i);
        if (hide || child->id == selectedChildId) child->Hide(hide);
        else child->setControlsDirty();
    }
}

void ControlLayer::GrayOut(bool gray)
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->GrayOut(gray);
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) {
        ControlLayer* child = childLayers.Get(i);
        if (gray || child->id == selectedChildId) child->GrayOut(gray);
    }
}

void ControlLayer::GrayOutCustomZone(bool gray, int childId)
{
    selectedChildId = childId;
    if (childId < 10 || childId > 152) return;
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i)
        if (childLayers.Get(i)->id == childId) childLayers.Get(i)->GrayOut(gray);
}

namespace
{

// The bands of showMultiLayers. A selection in [first, last] acts on the children below 10, on
// its own band (its ten ids when ownFirst is -1, else [ownFirst, ownLast]) and on
// [restFirst, restLast]; children elsewhere keep their state. showAll shows every acted child.
struct SelectionBand {
    int first, last;
    int ownFirst, ownLast;
    int restFirst, restLast;
    bool showAll;
};
constexpr SelectionBand kSelectionBands[] = {
    {10, 19, -1, -1, 70, 299, false},           {20, 99, -1, -1, 120, 299, false},
    {100, 108, -1, -1, 120, 299, false},        {110, 118, -1, -1, 130, 299, false},
    {120, 128, -1, -1, 140, 299, false},        {130, 298, 0, -1, 140, 299, true},
    {300, INT_MAX, 300, INT_MAX, 0, -1, false},
};

} // namespace

void ControlLayer::showMultiLayers(int showId)
{
    selectedChildId = showId;
    const SelectionBand* band = nullptr;
    for (const SelectionBand& b : kSelectionBands)
        if (showId >= b.first && showId <= b.last) band = &b;
    if (!band) return; // below 10, 109, 119, 129 and 299 select nothing
    const int ownFirst = band->ownFirst < 0 ? showId - showId % 10 : band->ownFirst;
    const int ownLast = band->ownFirst < 0 ? ownFirst + 9 : band->ownLast;
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) {
        ControlLayer* child = childLayers.Get(i);
        const int l = child->id;
        const bool acted = l < 10 || (l >= ownFirst && l <= ownLast) || (l >= band->restFirst && l <= band->restLast);
        if (acted) child->Hide(!(band->showAll || l == showId));
    }
}

void ControlLayer::GrayOutUserArp(bool gray, int childId, int limit)
{
    selectedChildId = childId;
    if (childId < 120 || childId > 152) return;
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) {
        ControlLayer* child = childLayers.Get(i);
        if (child->id > limit && child->id <= 152) child->GrayOut(gray);
    }
}

void ControlLayer::setControlsDirty()
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->SetDirty(false);
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) childLayers.Get(i)->setControlsDirty();
}

void ControlLayer::setIgnoreHiddenWhenUpdatingScreen(bool on)
{
    ignoreHidden = on;
    if (IControl* first = controls.Get(0)) first->SetIgnoreHidden(on);
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) childLayers.Get(i)->setIgnoreHiddenWhenUpdatingScreen(on);
}

void ControlLayer::SetParameterFromPlug(int paramIdx, double normalized, bool normalizedFlag)
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->SetFromPlugIfBound(paramIdx, normalized);
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i)
        childLayers.Get(i)->SetParameterFromPlug(paramIdx, normalized, normalizedFlag);
}

IControl* ControlLayer::isHit(int x, int y)
{
    if (!IsVisible()) return nullptr;
    for (int i = childLayers.GetSize() - 1; i >= 0; --i)
        if (IControl* hit = childLayers.Get(i)->isHit(x, y)) return hit;
    for (int i = controls.GetSize() - 1; i >= 0; --i) {
        IControl* c = controls.Get(i);
        if (!c->IsHidden() && c->IsHit(x, y)) return c;
    }
    return nullptr;
}

bool ControlLayer::isDirty(IRECT* r)
{
    if (!IsVisible() && !ignoreHidden) return false;
    bool dirty = false;
    for (int i = 0, n = controls.GetSize(); i < n; ++i) dirty |= controls.Get(i)->AddDirtyRect(r);
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) dirty |= childLayers.Get(i)->isDirty(r);
    return dirty;
}

void ControlLayer::Draw(IGraphics* g, IRECT* r)
{
    bool shown = IsVisible();
    for (int i = 0, n = controls.GetSize(); i < n; ++i) {
        IControl* c = controls.Get(i);
        if (shown && !c->IsHidden() && c->GetRECT()->Meets(*r)) c->Draw(g);
        c->SetClean();
    }
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) childLayers.Get(i)->Draw(g, r);
}

IControl* ControlLayer::getControlFromParam(int paramIdx)
{
    if (!IsVisible()) return nullptr;
    for (int i = childLayers.GetSize() - 1; i >= 0; --i)
        if (IControl* c = childLayers.Get(i)->getControlFromParam(paramIdx)) return c;
    for (int i = controls.GetSize() - 1; i >= 0; --i)
        if (controls.Get(i)->ParamIdx() == paramIdx) return controls.Get(i);
    return nullptr;
}
