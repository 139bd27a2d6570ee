// The surface's share of window events: which control takes each one, and the mouse capture
// from a mouse-down to its mouse-up.
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IPluginBase.h"

IControl* IGraphics::FindControl(int x, int y, bool mouseOver)
{
    // Layers win over every top-level control, the last layer first.
    for (int i = layers.GetSize() - 1; i >= 0; --i)
        if (IControl* hit = layers.Get(i)->isHit(x, y)) return hit;
    for (int i = controls.GetSize() - 1; i >= 0; --i) {
        IControl* c = controls.Get(i);
        if (c->IsHidden()) continue;
        if (c->IsGrayed() && !(mouseOver && c->GetMOWhenGrayed())) continue;
        if (c->IsHit(x, y)) return c;
    }
    return nullptr;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod)
{
    ReleaseMouseCapture();
    IControl* target = FindControl(x, y, false);
    if (!target) return;
    mouseCapture = target;
    mouseX = x;
    mouseY = y;
    target->OnMouseDown(x, y, mod);
    const int idx = target->ParamIdx();
    if (idx >= 0 && mPlug) mPlug->BeginInformHostOfParamChange(idx);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod)
{
    IControl* target = mouseCapture ? mouseCapture : FindControl(x, y, false);
    ReleaseMouseCapture();
    if (!target) return;
    target->OnMouseUp(x, y, mod);
    const int idx = target->ParamIdx();
    if (idx >= 0 && mPlug) mPlug->EndInformHostOfParamChange(idx);
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod)
{
    if (!mouseCapture) return;
    const int dX = x - mouseX, dY = y - mouseY;
    if (dX == 0 && dY == 0) return;
    mouseX = x;
    mouseY = y;
    mouseCapture->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
    ReleaseMouseCapture();
    IControl* target = FindControl(x, y, false);
    if (!target) return false;
    if (!target->GetDblAsSingleClick()) {
        target->OnMouseDblClick(x, y, mod);
        return false;
    }
    mouseCapture = target;
    mouseX = x;
    mouseY = y;
    target->OnMouseDown(x, y, mod);
    return true;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d)
{
    IControl* target = mouseCapture ? mouseCapture : FindControl(x, y, false);
    if (target) target->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnKeyDown(int x, int y, int key)
{
    IControl* target = mouseCapture ? mouseCapture : FindControl(x, y, false);
    if (!target) target = keyCatcher;
    return target ? target->OnKeyDown(x, y, key) : false;
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod)
{
    if (!handleMouseOver) return false;
    IControl* target = mouseCapture ? mouseCapture : FindControl(x, y, true);
    if (!target) return true;
    mouseX = x;
    mouseY = y;
    target->OnMouseOver(x, y, mod);
    if (mouseOver && mouseOver != target) mouseOver->OnMouseOut();
    mouseOver = target;
    return true;
}

void IGraphics::OnMouseOut()
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->OnMouseOut();
    mouseOver = nullptr;
}

IControl* IGraphics::GetMouseControlIdx(int x, int y, bool mo)
{
    return mouseCapture ? mouseCapture : FindControl(x, y, mo);
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y)
{
    IControl* c = mouseCapture ? mouseCapture : FindControl(x, y, false);
    lastClickedParam = c ? c->ParamIdx() : -1;
    return lastClickedParam;
}

int IGraphics::GetLastClickedParamForPTAutomation()
{
    const int idx = lastClickedParam;
    lastClickedParam = -1;
    return idx;
}

void IGraphics::OnGUIIdle()
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->OnGUIIdle();
}
