#include "TrackedFaderControl.h"

#include "kit/plugin/IGraphics.h"

#include <algorithm>

bool TrackedFaderControl::Draw(IGraphics* g)
{
    // The groove runs along the middle of the handle's path, from the middle of its first place
    // to the middle of its last; a dark slot in a lighter edge.
    const bool vertical = mDirection == kVertical;
    const int across = vertical ? mRECT.W() : mRECT.H();
    const int half = std::max(2, across / 12);
    const int mid = vertical ? (mRECT.L + mRECT.R) / 2 : (mRECT.T + mRECT.B) / 2;
    const int from = (vertical ? mRECT.T : mRECT.L) + mHandleHeadroom / 2 - half;
    const int to = (vertical ? mRECT.B : mRECT.R) - mHandleHeadroom / 2 + half;
    IRECT edge = vertical ? IRECT(mid - half, from, mid + half, to) : IRECT(from, mid - half, to, mid + half);
    IRECT slot(edge.L + 1, edge.T + 1, edge.R - 1, edge.B - 1);
    const IColor edgeColour(255, 68, 72, 79), slotColour(255, 14, 15, 17);
    g->FillIRect(&edgeColour, &edge);
    g->FillIRect(&slotColour, &slot);
    return IFaderControl::Draw(g);
}
