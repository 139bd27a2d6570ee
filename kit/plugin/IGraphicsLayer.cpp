#include "kit/plugin/IGraphicsLayer.h"

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
    setControlsDirty();
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->Hide(hide);
    for (int i = 0, n = childLayers.GetSize(); i < n; ++i) {
        ControlLayer* child = childLayers.Get(i);
        if (hide || child->id == selectedChildId) child->Hide(hide);
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
