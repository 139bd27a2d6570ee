#include "kit/plugin/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/IPopupMenu.h"
#include "kit/raster/rast_bitmap.h"

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps < 1 ? 25 : fps)
{
}

IGraphics::~IGraphics()
{
    delete keyCatcher;
    keyCatcher = nullptr;
    controls.Empty(true);
    layers.Empty(true);
    DeleteBitmaps();
}

void IGraphics::DeleteBitmaps()
{
    delete drawBitmap;
    drawBitmap = nullptr;
    delete tmpBitmap;
    tmpBitmap = nullptr;
}

void IGraphics::PrepDraw()
{
    DeleteBitmaps();
    drawBitmap = new RAST_SysBitmap(mWidth, mHeight);
    tmpBitmap = new RAST_MemBitmap(0, 0, 4);
}

RAST_IBitmap* IGraphics::GetDrawBitmap() const
{
    return drawBitmap;
}

void IGraphics::Resize(int w, int h)
{
    mWidth = w;
    mHeight = h;
    ReleaseMouseCapture();
    // The controls go; a pointer to one of them must not outlive it.
    mouseOver = nullptr;
    controls.Empty(true);
    DeleteBitmaps();
    PrepDraw();
    if (mPlug) mPlug->ResizeGraphics(w, h);
}

int IGraphics::AttachControl(IControl* control)
{
    controls.Add(control);
    return controls.GetSize() - 1;
}

int IGraphics::AttachLayer(ControlLayer* layer)
{
    layers.Add(layer);
    return layers.GetSize() - 1;
}

void IGraphics::AttachBackground(int id, const char* name, double scale)
{
    IBitmap bitmap = LoadIBitmap(id, name, scale, 1, false);
    controls.Insert(0, new IBitmapControl(mPlug, 0, 0, -1, &bitmap, kBlendCopy));
}

void IGraphics::AttachPanelBackground(const IColor* color)
{
    controls.Insert(0, new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color, kBlendSourceAlpha));
}

void IGraphics::AttachKeyCatcher(IControl* control)
{
    if (keyCatcher != control) delete keyCatcher;
    keyCatcher = control;
}

namespace {

// The bound controls of param from b on take n, then each its auxiliary record of the
// parameter; answers the first binding past them.
const surface::ParamBinding* PushValue(const surface::ParamBinding* b, const surface::ParamBinding* end, int param,
                                       double n)
{
    for (; b != end && b->param == param; ++b) {
        if (b->bound) b->control->SetValueFromPlug(n);
        if (b->aux >= 0) b->control->SetAuxParamValueFromPlug(b->aux, n);
    }
    return b;
}

const surface::ParamBinding* FirstOf(const std::vector<surface::ParamBinding>& index, int param)
{
    auto first = std::lower_bound(index.begin(), index.end(), param,
                                  [](const surface::ParamBinding& b, int p) { return b.param < p; });
    return index.data() + (first - index.begin());
}

} // namespace

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
    double n = value;
    if (!normalized) {
        IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
        if (!param) return;
        n = param->GetNormalized(value);
        param->SetNormalized(n);
    }
    // Controls hold positions on a line; a value that is not a finite number has none.
    if (!std::isfinite(n)) return;
    // The bound controls in the order of the lists (top level, then each layer tree), hidden
    // ones included.
    const auto index = CurrentIndex();
    PushValue(FirstOf(*index, paramIdx), index->data() + index->size(), paramIdx, n);
}

void IGraphics::SetAllParametersFromPlug(bool normalized)
{
    if (!mPlug) return;
    std::shared_ptr<const std::vector<surface::ParamBinding>> index;
    unsigned long long epoch = 0;
    const surface::ParamBinding *b = nullptr, *end = nullptr;
    for (int i = 0, count = mPlug->NParams(); i < count; ++i) {
        IParam* param = mPlug->GetParam(i);
        if (!param) break; // a table cut short meanwhile
        const double n = param->GetNormalized(param->value);
        if (!normalized) param->SetNormalized(n);
        if (!std::isfinite(n)) continue;
        // As a call per parameter would: lists changed meanwhile, by a control or another
        // thread, count from the next parameter on. The counter is read before the index.
        if (!index || surface::ListsEpoch() != epoch) {
            epoch = surface::ListsEpoch();
            index = CurrentIndex();
            b = FirstOf(*index, i);
            end = index->data() + index->size();
        }
        while (b != end && b->param < i) ++b;
        b = PushValue(b, end, i, n);
    }
}

bool IGraphics::IsDirty(IRECT* r)
{
    if (!r) return false;
    bool dirty = false;
    // The background (index 0) is never asked.
    for (int i = 1, n = controls.GetSize(); i < n; ++i) dirty |= controls.Get(i)->AddDirtyRect(r);
    for (int i = 0, n = layers.GetSize(); i < n; ++i) dirty |= layers.Get(i)->isDirty(r);
    return dirty;
}

bool IGraphics::Draw(IRECT* r)
{
    if (controls.GetSize() == 0 && layers.GetSize() == 0) return true;
    TakeCleanQueue();
    drawRect = r ? *r : IRECT(0, 0, mWidth, mHeight);
    if (IControl* background = controls.Get(0)) DrawBackground(background);
    for (int i = 1, n = controls.GetSize(); i < n; ++i) {
        IControl* c = controls.Get(i);
        if (!c->IsHidden() && c->GetRECT()->Meets(drawRect)) c->Draw(this);
        if (c->mInDrawSet || c->NeedsClean()) CleanDrawn(c);
    }
    for (int i = 0, n = layers.GetSize(); i < n; ++i) DrawLayer(layers.Get(i));
    // A cover the walk no longer met still fills the hole left in the background.
    if (mCover.control) DrawCover();
    // What the walk did not pass: the controls of hidden layers that were dirty.
    for (IControl* c : mDrawSet)
        if (c->mInDrawSet) CleanDrawn(c);
    mDrawSet.clear();
    return DrawScreen(&drawRect);
}

void IGraphics::SetStrictDrawing(bool strict)
{
    strictDrawing = strict;
    SetAllControlsDirty();
}

void IGraphics::HideControl(int paramIdx, bool hide)
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i)
        if (controls.Get(i)->ParamIdx() == paramIdx) controls.Get(i)->Hide(hide);
}

void IGraphics::GrayOutControl(int paramIdx, bool gray)
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i)
        if (controls.Get(i)->ParamIdx() == paramIdx) controls.Get(i)->GrayOut(gray);
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized)
{
    if (!normalized) {
        IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
        if (!param) return;
        lo = param->GetNormalized(lo);
        hi = param->GetNormalized(hi);
    }
    for (int i = 0, n = controls.GetSize(); i < n; ++i)
        if (controls.Get(i)->ParamIdx() == paramIdx) controls.Get(i)->Clamp(lo, hi);
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalized)
{
    if (IControl* c = controls.Get(controlIdx)) c->SetValueFromPlug(normalized);
}

void IGraphics::SetAllControlsDirty()
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i) controls.Get(i)->SetDirty(false);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalized)
{
    for (int i = 0, n = controls.GetSize(); i < n; ++i)
        if (controls.Get(i)->ParamIdx() == paramIdx) controls.Get(i)->SetValueFromUserInput(normalized);
}

void IGraphics::ReleaseMouseCapture()
{
    mouseCapture = nullptr;
    mouseX = mouseY = -1;
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, IRECT* r)
{
    if (!control || !param || !r) return;
    const int type = param->Type();
    const int nTexts = param->GetNDisplayTexts();
    char current[64];
    if ((type == IParam::kTypeBool || type == IParam::kTypeEnum) && nTexts > 0) {
        param->GetDisplayForHost(param->Value(), false, current, true);
        IPopupMenu menu;
        for (int i = 0; i < nTexts; ++i) {
            const char* word = param->GetDisplayText(i);
            menu.AddItem(word, -1, std::strcmp(word, current) == 0 ? IPopupMenuItem::kChecked : 0);
        }
        IPopupMenu* chosen = CreateIPopupMenu(&menu, r);
        if (chosen && chosen->GetChosenItemIdx() >= 0)
            control->SetValueFromUserInput(param->GetNormalized(chosen->GetChosenItemIdx()));
        return;
    }
    param->GetDisplayForHost(param->Value(), false, current, type == IParam::kTypeText);
    CreateTextEntry(control, control->GetText(), r, current, param);
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text)
{
    if (!control || !param) return;
    if (!text) text = "";
    double v = 0.0;
    switch (param->Type()) {
    case IParam::kTypeBool:
    case IParam::kTypeEnum: {
        int word = 0;
        param->MapDisplayText(text, &word);
        v = word;
        break;
    }
    case IParam::kTypeText: {
        // The typed text becomes the word of value 0; the control flips so that the edit always
        // reaches the plug-in, then settles on 0.
        param->SetDisplayText(0, text);
        double t = control->GetValue() == 0.0 ? 1.0 : 0.0;
        double lo = param->GetMin(), hi = param->GetMax();
        param->value = t < lo ? lo : (t > hi ? hi : t);
        control->SetValueFromUserInput(t);
        break;
    }
    default:
        v = std::atof(text);
        if (std::isnan(v)) v = 0.0;
        break;
    }
    control->SetValueFromUserInput(param->GetNormalized(v));
}
