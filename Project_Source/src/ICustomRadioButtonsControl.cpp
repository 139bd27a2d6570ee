#include "ICustomRadioButtonsControl.h"

ICustomRadioButtonsControl::ICustomRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons,
                                                       IBitmap* bitmap, EDirection direction)
    : IRadioButtonsControl(plug, rect, paramIdx, nButtons, bitmap, direction, false)
{
    // The base made no buttons for a count below 1; there is nothing to cut then.
    const int n = NButtons();
    if (n < 1) return;
    const bool framesSideBySide = mBitmap.mFramesAreHorizontal;
    mButtonW = framesSideBySide ? mBitmap.W / 2 : mBitmap.W / n;
    mButtonH = framesSideBySide ? mBitmap.H / n : mBitmap.H / 2;
    const int frameH = mBitmap.N > 0 ? mBitmap.H / mBitmap.N : mBitmap.H;
    for (int i = 0; i < n; ++i) {
        mRECTs.Get()[i] = direction == kHorizontal
                              ? IRECT(rect.L + i * mButtonW, rect.T, rect.L + (i + 1) * mButtonW, rect.T + frameH)
                              : IRECT(rect.L, rect.T + i * mButtonH, rect.L + mButtonW, rect.T + (i + 1) * mButtonH);
    }
}

bool ICustomRadioButtonsControl::Draw(IGraphics* graphics)
{
    const int n = NButtons();
    int selected = plugdraw::TruncInt((n - 1) * GetValue() + 0.5);
    selected = selected < 0 ? 0 : (selected > n - 1 ? n - 1 : selected);
    // Full strength also while grayed: the selection stays readable.
    mBlend.mWeight = 1.0f;
    for (int i = 0; i < n; ++i) {
        const int srcX = mBitmap.mFramesAreHorizontal ? 0 : i * mButtonW;
        const int srcY = mBitmap.mFramesAreHorizontal ? i * mButtonH : 0;
        const int frame = i == selected && mShowSelected ? 2 : 1;
        graphics->DrawBitmap(&mBitmap, mRECTs.Get() + i, frame, srcX, srcY, &mBlend);
    }
    return true;
}

void ICustomRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
    if (mod && mod->R) {
        if (!mAllowRightClick) {
            SetDirty(true);
            return;
        }
        IMouseMod left = *mod;
        left.L = true;
        left.R = false;
        OnMouseDownCustom(x, y, &left);
    } else {
        OnMouseDownCustom(x, y, mod);
    }
    SetDirty(true);
}

void ICustomRadioButtonsControl::OnMouseDownCustom(int x, int y, IMouseMod* mod)
{
    if (mod && mod->R) return;
    const int n = NButtons();
    for (int i = 0; i < n; ++i) {
        if (mMaxSelectable >= 0 && i > mMaxSelectable) continue;
        const IRECT& b = mRECTs.Get()[i];
        if (x >= b.L && x < b.R && y >= b.T && y < b.B) {
            // One button has no range to spread over: it stands for 0.
            SetValue(n > 1 ? double(i) / (n - 1) : 0.0);
            break;
        }
    }
    SetDirty(true);
}
