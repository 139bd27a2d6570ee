// The stock controls: panel, bitmap, switches, radio buttons, fader, knobs, overlay, texts,
// URL, file selector, bitmap text and the progress overlay.
#include <cmath>
#include <cstring>
#include <string>

#include "kit/plugin/IBitmapMonoText.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"

using plugdraw::TruncInt;

namespace {

IBitmap BitmapOrEmpty(const IBitmap* bitmap)
{
    if (!bitmap) return IBitmap();
    IBitmap b = *bitmap;
    if (b.N < 1) b.N = 1;
    return b;
}

IRECT FrameRect(int x, int y, const IBitmap& b)
{
    return IRECT(x, y, x + b.W, y + b.H / b.N);
}

void CopyField(char* dst, size_t size, const char* src)
{
    if (!src) return;
    std::strncpy(dst, src, size - 1);
    dst[size - 1] = '\0';
}

} // namespace

IPanelControl::IPanelControl(IPluginBase* plug, IRECT rect, const IColor* color, int blendMethod)
    : IControl(plug, rect, -1, blendMethod), mColor(color ? *color : IColor())
{
}

bool IPanelControl::Draw(IGraphics* g)
{
    return g->FillIRect(&mColor, &mRECT, &mBlend);
}

IBitmapControl::IBitmapControl(IPluginBase* plug, int x, int y, int param, IBitmap* bitmap, int blendMethod)
    : IControl(plug, FrameRect(x, y, BitmapOrEmpty(bitmap)), param, blendMethod), mBitmap(BitmapOrEmpty(bitmap))
{
}

bool IBitmapControl::Draw(IGraphics* g)
{
    return g->DrawBitmap(&mBitmap, &mRECT, FrameForValue(GetValue(), mBitmap.N), &mBlend);
}

void ISwitchControl::OnMouseDown(int, int, IMouseMod*)
{
    if (IsGrayed()) return;
    double v = GetValue() + (mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1));
    SetValue(v > 1.001 ? 0.0 : v);
    SetDirty(true);
}

void ISwitchControl::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
    if (!IsGrayed()) OnMouseDown(x, y, mod);
}

void ISwitchPopUpControl::OnMouseDown(int, int, IMouseMod*)
{
    PromptUserInput();
    SetDirty(true);
}

void IContactControl::OnMouseUp(int, int, IMouseMod*)
{
    SetValue(0.0);
    SetDirty(true);
}

IInvisibleSwitchControl::IInvisibleSwitchControl(IPluginBase* plug, IRECT rect, int param)
    : IControl(plug, rect, param, kBlendCopy)
{
}

void IInvisibleSwitchControl::OnMouseDown(int, int, IMouseMod*)
{
    if (IsGrayed()) return;
    SetValue(GetValue() < 0.5 ? 1.0 : 0.0);
    SetDirty(true);
}

IRadioButtonsControl::IRadioButtonsControl(IPluginBase* plug, IRECT rect, int param, int nButtons, IBitmap* bitmap,
                                           EDirection direction, bool reverse)
    : IControl(plug, rect, param), mBitmap(BitmapOrEmpty(bitmap))
{
    if (nButtons < 1 || !mRECTs.Resize(nButtons)) return;
    const int w = mBitmap.W, h = mBitmap.H / mBitmap.N;
    const bool horizontal = direction == kHorizontal;
    const int step = horizontal ? w : h;
    const double room = double(horizontal ? rect.W() : rect.H()) - double(nButtons) * step;
    // One button has no gap to share.
    const double gap = nButtons > 1 ? room / (nButtons - 1) : 0.0;
    const int advance = step + TruncInt(gap);
    int pos = reverse ? (horizontal ? rect.R : rect.B) - step - TruncInt(gap) : (horizontal ? rect.L : rect.T);
    for (int i = 0; i < nButtons; ++i) {
        mRECTs.Get()[i] = horizontal ? IRECT(pos, rect.T, pos + w, rect.T + h) : IRECT(rect.L, pos, rect.L + w, pos + h);
        pos += reverse ? -advance : advance;
    }
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
    if (IsGrayed()) return;
    if (mod && mod->R) {
        PromptUserInput();
        return;
    }
    const int n = NButtons();
    for (int i = 0; i < n; ++i) {
        const IRECT& b = mRECTs.Get()[i];
        if (x >= b.L && x < b.R && y >= b.T && y < b.B) {
            SetValue(n > 1 ? double(i) / (n - 1) : 0.0);
            break;
        }
    }
    SetDirty(true);
}

bool IRadioButtonsControl::Draw(IGraphics* g)
{
    const int n = NButtons();
    if (n < 1) return true;
    int selected = TruncInt((n - 1) * GetValue() + 0.5);
    selected = selected < 0 ? 0 : (selected > n - 1 ? n - 1 : selected);
    for (int i = 0; i < n; ++i) g->DrawBitmap(&mBitmap, mRECTs.Get() + i, i == selected ? 2 : 1, &mBlend);
    return true;
}

IFaderControl::IFaderControl(IPluginBase* plug, int x, int y, int len, int param, IBitmap* bitmap,
                             EDirection direction, bool onlyHandle)
    : IControl(plug, IRECT(), param), mLen(len), mBitmap(BitmapOrEmpty(bitmap)), mDirection(direction),
      mOnlyHandle(onlyHandle)
{
    if (direction == kHorizontal) {
        mRECT = mTargetRECT = IRECT(x, y, x + len, y + mBitmap.H);
        mHandleHeadroom = mBitmap.W;
    } else {
        mRECT = mTargetRECT = IRECT(x, y, x + mBitmap.W, y + len);
        mHandleHeadroom = mBitmap.H;
    }
}

IRECT IFaderControl::GetHandleRECT(double v) const
{
    if (v < 0.0) v = GetValue();
    IRECT r(mRECT.L, mRECT.T, mRECT.L + mBitmap.W, mRECT.T + mBitmap.H);
    const double travel = double(mLen) - mHandleHeadroom;
    if (mDirection == kHorizontal) {
        int offs = TruncInt(v * travel);
        r.L += offs;
        r.R += offs;
    } else {
        int offs = TruncInt(travel * (1.0 - v));
        r.T += offs;
        r.B += offs;
    }
    return r;
}

void IFaderControl::SnapToMouse(int x, int y)
{
    const int travel = mLen - mHandleHeadroom;
    // A handle as long as the track has nowhere to travel: the value stays.
    if (travel > 0) {
        if (mDirection == kHorizontal) SetValue(double(x - mHandleHeadroom / 2 - mRECT.L) / travel);
        else SetValue(1.0 - double(y - mHandleHeadroom / 2 - mRECT.T) / travel);
    }
    SetDirty(true);
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod* mod)
{
    if (IsGrayed()) return;
    if (mod && mod->R) PromptUserInput();
    else SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, IMouseMod*)
{
    if (!IsGrayed()) SnapToMouse(x, y);
}

bool IFaderControl::Draw(IGraphics* g)
{
    IRECT handle = GetHandleRECT();
    return g->DrawBitmap(&mBitmap, &handle, 1, &mBlend);
}

bool IFaderControl::IsHit(int x, int y)
{
    if (mOnlyHandle) {
        IRECT handle = GetHandleRECT();
        return x >= handle.L && x < handle.R && y >= handle.T && y < handle.B;
    }
    return IControl::IsHit(x, y);
}

IKnobControl::IKnobControl(IPluginBase* plug, IRECT rect, int param, EDirection direction, double gearing,
                           int blendMethod)
    : IControl(plug, rect, param, blendMethod), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod)
{
    if (IsGrayed()) return;
    double gearing = mGearing;
    if (mod && (mod->C || mod->S)) gearing *= 10.0;
    // Up raises the value: the vertical extent is measured top minus bottom.
    const int extent = mDirection == kHorizontal ? mRECT.R - mRECT.L : mRECT.T - mRECT.B;
    if (extent == 0 || !(gearing > 0.0)) return;
    const int delta = mDirection == kHorizontal ? dX : dY;
    SetValue(GetValue() + (double(delta) / extent) / gearing);
    SetDirty(true);
}

IKnobLineControl::IKnobLineControl(IPluginBase* plug, IRECT rect, int param, const IColor* color,
                                   double innerRadius, double outerRadius, double minAngle, double maxAngle,
                                   EDirection direction, double gearing)
    : IKnobControl(plug, rect, param, direction, gearing, kBlendCopy), mColor(color ? *color : IColor()),
      mMinAngle(float(minAngle)), mMaxAngle(float(maxAngle)), mInnerRadius(float(innerRadius)),
      mOuterRadius(float(outerRadius))
{
    if (mOuterRadius == 0.0f) mOuterRadius = 0.5f * float(rect.W());
}

bool IKnobLineControl::Draw(IGraphics* g)
{
    const double v = GetValue();
    const float a = float(mMinAngle + (mMaxAngle - mMinAngle) * v);
    const float cx = (mRECT.L + mRECT.R) * 0.5f, cy = (mRECT.T + mRECT.B) * 0.5f;
    const float s = std::sin(a), c = std::cos(a);
    return g->DrawLine(&mColor, cx + s * mInnerRadius, cy - c * mInnerRadius, cx + s * mOuterRadius,
                       cy - c * mOuterRadius, &mBlend, true);
}

IKnobRotaterControl::IKnobRotaterControl(IPluginBase* plug, int x, int y, int param, IBitmap* bitmap,
                                         double minAngle, double maxAngle, int yOffsetZeroDeg, EDirection direction,
                                         double gearing)
    : IKnobControl(plug, IRECT(x, y, x + BitmapOrEmpty(bitmap).W, y + BitmapOrEmpty(bitmap).H), param, direction,
                   gearing),
      mBitmap(BitmapOrEmpty(bitmap)), mMinAngle(minAngle), mMaxAngle(maxAngle), mYOffset(yOffsetZeroDeg)
{
}

bool IKnobRotaterControl::Draw(IGraphics* g)
{
    const double angle = mMinAngle + (mMaxAngle - mMinAngle) * GetValue();
    return g->DrawRotatedBitmap(&mBitmap, (mRECT.L + mRECT.R) / 2, (mRECT.T + mRECT.B) / 2, angle, mYOffset, &mBlend);
}

IKnobMultiControl::IKnobMultiControl(IPluginBase* plug, IRECT rect, int param, IBitmap* bitmap, EDirection direction,
                                     double gearing)
    : IKnobControl(plug, rect, param, direction, gearing), mBitmap(BitmapOrEmpty(bitmap))
{
}

bool IKnobMultiControl::Draw(IGraphics* g)
{
    return g->DrawBitmap(&mBitmap, &mRECT, FrameForValue(GetValue(), mBitmap.N), &mBlend);
}

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int param, IBitmap* base,
                                                   IBitmap* mask, IBitmap* top, double minAngle, double maxAngle,
                                                   EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, x + BitmapOrEmpty(base).W, y + BitmapOrEmpty(base).H), param, direction,
                   gearing),
      mBase(BitmapOrEmpty(base)), mMask(BitmapOrEmpty(mask)), mTop(BitmapOrEmpty(top)), mMinAngle(minAngle),
      mMaxAngle(maxAngle)
{
}

bool IKnobRotatingMaskControl::Draw(IGraphics* g)
{
    const double angle = mMinAngle + (mMaxAngle - mMinAngle) * GetValue();
    return g->DrawRotatedMask(&mBase, &mMask, &mTop, mRECT.L, mRECT.T, angle, &mBlend);
}

IBitmapOverlayControl::IBitmapOverlayControl(IPluginBase* plug, int x, int y, int param, IBitmap* bitmap,
                                             IRECT targetArea)
    : ISwitchControl(plug, x, y, param, bitmap), mTargetArea(targetArea)
{
}

bool IBitmapOverlayControl::Draw(IGraphics* g)
{
    if (GetValue() < 0.5) {
        mTargetRECT = mTargetArea;
        return true;
    }
    mTargetRECT = mRECT;
    return IBitmapControl::Draw(g);
}

ITextControl::ITextControl(IPluginBase* plug, IRECT rect, IText* text, const char* str) : IControl(plug, rect)
{
    if (text) mText = *text;
    mStr.Set(str ? str : "");
}

bool ITextControl::StoreText(const char* str)
{
    if (!str) str = "";
    std::lock_guard<std::mutex> lock(mTextLock);
    if (std::strcmp(mStr.Get(), str) == 0) return false;
    mStr.Set(str);
    return true;
}

void ITextControl::SetTextFromPlug(const char* str)
{
    // The text goes in before the flag, so a redraw that cleans the flag has the new text.
    if (StoreText(str)) SetDirty(false);
}

void ITextControl::GetTextCopy(KIT_String* out) const
{
    std::lock_guard<std::mutex> lock(mTextLock);
    out->Set(mStr.Get());
}

bool ITextControl::Draw(IGraphics* g)
{
    KIT_String text;
    GetTextCopy(&text);
    if (text.GetLength() > 0) g->DrawIText(&mText, text.Get(), &mRECT);
    return true;
}

ICaptionControl::ICaptionControl(IPluginBase* plug, IRECT rect, int param, IText* text, bool showParamLabel)
    : ITextControl(plug, rect, text, ""), mShowParamLabel(showParamLabel)
{
    paramIdx = param;
}

void ICaptionControl::OnMouseDown(int, int, IMouseMod* mod)
{
    if (!IsGrayed() && mod && (mod->L || mod->R)) PromptUserInput();
}

void ICaptionControl::OnMouseDblClick(int, int, IMouseMod*)
{
    if (!IsGrayed()) PromptUserInput();
}

bool ICaptionControl::Draw(IGraphics* g)
{
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return true;
    char display[IParam::kDisplayTextLen];
    param->GetDisplayForHost(param->Value(), false, display, true);
    std::string text = display;
    if (mShowParamLabel) {
        text += ' ';
        text += param->GetLabelForHost();
    }
    StoreText(text.c_str());
    if (!text.empty()) g->DrawIText(&mText, text.c_str(), &mRECT);
    return true;
}

IURLControl::IURLControl(IPluginBase* plug, IRECT rect, const char* url, const char* backupURL,
                         const char* errMsgOnFailure)
    : IControl(plug, rect)
{
    CopyField(mURL, sizeof mURL, url);
    CopyField(mBackupURL, sizeof mBackupURL, backupURL);
    CopyField(mErrMsg, sizeof mErrMsg, errMsgOnFailure);
}

void IURLControl::OnMouseDown(int, int, IMouseMod*)
{
    IGraphics* g = GetGUI();
    if (IsGrayed() || !g) return;
    bool opened = mURL[0] && g->OpenURL(mURL, mErrMsg, nullptr, nullptr);
    if (!opened && mBackupURL[0]) g->OpenURL(mBackupURL, mErrMsg, nullptr, nullptr);
}

IFileSelectorControl::IFileSelectorControl(IPluginBase* plug, IRECT rect, int param, IBitmap* bitmap,
                                           EFileAction action, const char* dir, const char* extensions,
                                           bool drawBitmap)
    : IControl(plug, rect, param), mDrawBitmap(drawBitmap), mBitmap(BitmapOrEmpty(bitmap)), mFileAction(action)
{
    mDir.Set(dir ? dir : "");
    mExtensions.Set(extensions ? extensions : "");
}

void IFileSelectorControl::OnMouseDown(int, int, IMouseMod*)
{
    IGraphics* g = GetGUI();
    if (IsGrayed() || !g) return;
    mState.store(kFSSelecting, std::memory_order_relaxed);
    SetDirty(false);
    std::string extensions = mExtensions.Get();
    g->PromptForFile(&mFile, mFileAction, &mDir, &extensions[0]);
    double v = GetValue() + 1.0;
    SetValue(v > 1.0 ? 0.0 : v);
    mState.store(kFSDone, std::memory_order_relaxed);
    SetDirty(true);
}

bool IFileSelectorControl::IsDirty()
{
    if (IControl::IsDirty()) return true;
    int done = kFSDone;
    return mState.compare_exchange_strong(done, kFSNone, std::memory_order_relaxed);
}

bool IFileSelectorControl::Draw(IGraphics* g)
{
    if (mDrawBitmap) g->DrawBitmap(&mBitmap, &mRECT, 0, 0, &mBlend);
    return true;
}

IBitmapTextControl::IBitmapTextControl(IPluginBase* plug, IRECT rect, IBitmap* font, const char* str, IText* text,
                                       int charWidth, int charHeight)
    : ITextControl(plug, rect, text, str), mCharWidth(charWidth), mCharHeight(charHeight),
      mTextBitmap(BitmapOrEmpty(font))
{
}

bool IBitmapTextControl::Draw(IGraphics* g)
{
    KIT_String text;
    GetTextCopy(&text);
    if (text.GetLength() > 0)
        DrawBitmapedText(g, &mTextBitmap, &mRECT, &mText, &mBlend, text.Get(), true, false, mCharWidth, mCharHeight);
    return true;
}

ProgressIndicator::ProgressIndicator(ControlLayer* layer, IPluginBase* plug, int x, int y, int w, int h, int param,
                                     IBitmap* bitmap, IRECT targetArea)
    : IBitmapOverlayControl(plug, x, y, param, bitmap, targetArea), mLayer(layer),
      mOverlayBitmap(BitmapOrEmpty(bitmap)), mDrawRECT(x, y, x + w, y + h), mX(x), mY(y), mW(w), mH(h)
{
    if (!layer) return;
    layer->controls.Add(this);
    layer->setIgnoreHiddenWhenUpdatingScreen(true);
}

bool ProgressIndicator::Draw(IGraphics* g)
{
    return g->DrawBitmap(&mOverlayBitmap, &mDrawRECT, 0, &mBlend);
}
