#include "kit/plugin/IControl.h"

#include <cmath>
#include <cstring>

#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
} // namespace

IControl::IControl(IPluginBase* plug, IRECT rect, int param, int blendMethod)
    : mPlug(plug), mRECT(rect), mTargetRECT(rect), paramIdx(param), mBlend(blendMethod, 1.0f)
{
}

IGraphics* IControl::GetGUI() const
{
    return mPlug ? mPlug->GetGUI() : nullptr;
}

int IControl::FrameForValue(double value, int nFrames)
{
    if (nFrames < 2) return 1;
    double i = std::floor((nFrames - 1) * value + 0.5);
    if (!(i >= 0.0)) return 1; // negative or not a number
    return i >= nFrames - 1 ? nFrames : int(i) + 1;
}

void IControl::OnMouseDown(int, int, IMouseMod* mod)
{
    if (!IsGrayed() && mod && mod->R) PromptUserInput();
}

void IControl::OnMouseDblClick(int, int, IMouseMod*)
{
    if (IsGrayed()) return;
    double def = GetDefaultValue();
    if (def < 0.0) return;
    SetValue(def);
    SetDirty(true);
}

void IControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
    bool fine = mod && (mod->C || mod->S);
    SetValue(GetValue() + d * (fine ? 0.001 : 0.01));
    SetDirty(true);
}

bool IControl::TakeOutsideValue(double value)
{
    // The first value from outside is also the default that a double click brings back.
    if (GetDefaultValue() < 0.0) {
        mDefaultValue.store(value, kRelaxed);
        SetValue(value);
        return false;
    }
    if (value == GetValue()) return false;
    SetValue(value);
    return true;
}

void IControl::SetValueFromPlug(double value)
{
    if (!TakeOutsideValue(value)) return;
    SetDirty(false);
    SetRedrawAgain();
}

void IControl::SetValueFromHardware(double value)
{
    if (!TakeOutsideValue(value)) return;
    SetDirty2(true);
    // A value that lands between Draw and SetClean must survive the clean.
    SetRedrawAgain();
}

void IControl::SetValueFromUserInput(double value)
{
    if (value == GetValue()) return;
    SetValue(value);
    SetDirty(true);
    SetRedrawAgain();
}

void IControl::Hide(bool hide)
{
    mHide.store(hide, kRelaxed);
    SetRedrawAgain();
    SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
    mGrayed.store(gray, kRelaxed);
    mBlend.mWeight = gray ? 0.5f : 1.0f;
    SetDirty(false);
}

void IControl::SetDirty(bool push)
{
    SetDirtyPushing(push, false);
}

void IControl::SetDirty2(bool push)
{
    SetDirtyPushing(push, true);
}

void IControl::SetDirtyPushing(bool push, bool second)
{
    // A value that is not a number would reach the parameter as one: it takes the low end.
    // Only a value out of range is written back, and only if no other thread stored one
    // meanwhile: a value from the MIDI thread must not be overwritten by the one read here
    // when another parameter's move (an auxiliary record) marks this control.
    double v = GetValue();
    for (;;) {
        double clamped = v;
        if (mClampLo > v || std::isnan(v)) clamped = mClampLo;
        else if (mClampHi < v) clamped = mClampHi;
        if (clamped == v) break;
        if (mValue.compare_exchange_weak(v, clamped, kRelaxed)) {
            v = clamped;
            break;
        }
    }
    mDirty.store(true, kRelaxed);
    NoteDirty();
    if (!push || !mPlug || paramIdx < 0) return;

    if (second) mPlug->SetParameterFromGUI2(paramIdx, v);
    else mPlug->SetParameterFromGUI(paramIdx, v);

    IParam* param = mPlug->GetParam(paramIdx);
    if (!param) return;
    if (mValDisplayControl) {
        char display[IParam::kDisplayTextLen];
        param->GetDisplayForHost(param->Value(), false, display, true);
        mValDisplayControl->SetTextFromPlug(display);
    }
    if (mNameDisplayControl) mNameDisplayControl->SetTextFromPlug(param->GetNameForHost());
}

void IControl::NoteDirty()
{
    // Pairs with the fence of the surface's indexing: either it sees the flag just set, or this
    // sees the surface it stored.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    IGraphics* g = mSurface.load(kRelaxed);
    if (!g || mQueued.exchange(true)) return;
    g->QueueClean(this);
}

void IControl::SetClean()
{
    // Taken in one step: a redraw asked from another thread meanwhile is kept for the next frame.
    mDirty.store(mRedraw.exchange(false, kRelaxed), kRelaxed);
}

void IControl::SetAuxParamValueFromPlug(int auxIndex, double value)
{
    AuxParam* aux = GetAuxParam(auxIndex);
    if (!aux || aux->mValue == value) return;
    aux->mValue = value;
    SetDirty(false);
    SetRedrawAgain();
}

void IControl::PromptUserInput()
{
    if (paramIdx < 0 || mDisablePrompt || !mPlug) return;
    IParam* param = mPlug->GetParam(paramIdx);
    if (!param) return;
    if (param->GetNDisplayTexts() > 0) {
        PromptUserInput(&mRECT);
        return;
    }
    // A small entry field centred on the control.
    int cx = int((mRECT.L + mRECT.R) * 0.5f);
    int cy = int((mRECT.T + mRECT.B) * 0.5f);
    IRECT entry(cx - 15, cy - 8, cx + 15, cy + 8);
    PromptUserInput(&entry);
}

void IControl::PromptUserInput(IRECT* r)
{
    if (paramIdx < 0 || mDisablePrompt || !mPlug) return;
    IGraphics* g = GetGUI();
    IParam* param = mPlug->GetParam(paramIdx);
    if (g && param) g->PromptUserInput(this, param, r);
    SetRedrawAgain();
}

IControl::AuxParam* IControl::GetAuxParam(int i)
{
    return i >= 0 && i < mAuxParams.GetSize() ? mAuxParams.Get() + i : nullptr;
}

int IControl::AuxParamIdx(int param) const
{
    for (int i = 0, n = mAuxParams.GetSize(); i < n; ++i)
        if (mAuxParams.Get()[i].mParamIdx == param) return i;
    return -1;
}

void IControl::AddAuxParam(int param)
{
    mAuxParams.Add(AuxParam{0.0, param});
    surface::MoveListsEpoch();
}

void IControl::SetAllAuxParamsFromGUI()
{
    if (!mPlug) return;
    for (int i = 0, n = mAuxParams.GetSize(); i < n; ++i)
        mPlug->SetParameterFromGUI(mAuxParams.Get()[i].mParamIdx, mAuxParams.Get()[i].mValue);
}

void IControl::SetFromPlugIfBound(int param, double normalized)
{
    if (paramIdx == param) SetValueFromPlug(normalized);
    int aux = AuxParamIdx(param);
    if (aux >= 0) SetAuxParamValueFromPlug(aux, normalized);
}

bool IControl::AddDirtyRect(IRECT* r)
{
    if (IsHidden() && !GetIgnoreHidden()) return false;
    if (!IsDirty()) return false;
    *r = r->Union(mRECT);
    return true;
}
