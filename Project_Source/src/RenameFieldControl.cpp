#include "RenameFieldControl.h"

#include "QOR.h"
#include "kit/plugin/IGraphics.h"

namespace
{
constexpr int kFrame = 2;
} // namespace

IRECT RenameFieldControl::well() const
{
    return IRECT(mRECT.L + kFrame, mRECT.T + kFrame, mRECT.R - kFrame, mRECT.B - kFrame);
}

void RenameFieldControl::OnMouseDown(int, int, IMouseMod* mod)
{
    if (!IsGrayed() && mod && (mod->L || mod->R)) openEntry();
}

void RenameFieldControl::OnMouseDblClick(int, int, IMouseMod*)
{
    if (!IsGrayed()) openEntry();
}

void RenameFieldControl::openEntry()
{
    IRECT r = well();
    PromptUserInput(&r);
}

void RenameFieldControl::TextEntryCancelled()
{
    if (auto* q = dynamic_cast<QOR*>(mPlug)) q->abandonRename();
}

bool RenameFieldControl::Draw(IGraphics* g)
{
    const IColor edge(255, 150, 154, 161), inner(255, 14, 15, 17);
    IRECT all = mRECT, w = well();
    g->FillIRect(&edge, &all);
    g->FillIRect(&inner, &w);
    return ICaptionControl::Draw(g);
}
