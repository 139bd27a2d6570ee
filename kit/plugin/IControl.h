#pragma once
// The base of every on-screen control and the stock controls built on it. A control holds a
// normalized value (0..1) bound to at most one parameter and the flags that drive redraw,
// hiding and graying. Values from the synthesizer arrive on the MIDI thread while the main
// thread draws: value, default and the flags are relaxed atomics, and a text control's text has
// a lock of its own held only while the text is copied.
#include <atomic>
#include <mutex>

#include "kit/heapbuf.h"
#include "kit/kitstring.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsStructs.h"

class IPluginBase;
class ControlLayer;
class ITextControl;

class IControl {
public:
    struct AuxParam {
        double mValue;
        int mParamIdx;
    };

    IControl(IPluginBase* plug, IRECT rect, int paramIdx = -1, int blendMethod = kBlendSourceAlpha);
    virtual ~IControl() = default;
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    virtual void OnMouseDown(int x, int y, IMouseMod* mod);
    virtual void OnMouseUp(int, int, IMouseMod*) {}
    virtual void OnMouseDrag(int, int, int, int, IMouseMod*) {}
    virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
    virtual void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
    virtual bool OnKeyDown(int, int, int) { return false; }
    virtual void OnMouseOver(int, int, IMouseMod*) {}
    virtual void OnMouseOut() {}
    virtual bool Draw(IGraphics* g) = 0;
    virtual void SetValueFromPlug(double value);
    virtual void SetValueFromHardware(double value);
    virtual void TextFromTextEntry(const char*) {}
    virtual void Hide(bool hide);
    virtual void GrayOut(bool gray);
    virtual bool IsHit(int x, int y) { return mTargetRECT.Contains(x, y); }
    // Clamps the value, marks the control dirty and, with push, hands the value to the plug-in
    // and refreshes the value and name displays.
    virtual void SetDirty(bool push = true);
    virtual void SetDirty2(bool push = true);
    virtual void SetClean();
    virtual bool IsDirty() { return mDirty.load(std::memory_order_relaxed); }
    virtual void OnGUIIdle() {}
    virtual void SetAuxParamValueFromPlug(int auxIndex, double value);
    // The user left the control's text entry with Escape: nothing was committed.
    virtual void TextEntryCancelled() {}

    void SetValueFromUserInput(double value);
    void PromptUserInput();
    void PromptUserInput(IRECT* r);

    AuxParam* GetAuxParam(int i);
    int AuxParamIdx(int paramIdx) const;
    void AddAuxParam(int paramIdx);
    void SetAllAuxParamsFromGUI();

    // The surface's step for one control when a parameter moves: the bound control takes the
    // value, then the auxiliary record bound to it.
    void SetFromPlugIfBound(int paramIdx, double normalized);
    // Adds the rectangle to r when the control is dirty and counts for the screen; answers
    // whether it was dirty.
    bool AddDirtyRect(IRECT* r);

    int ParamIdx() const { return paramIdx; }
    IPluginBase* GetPlug() const { return mPlug; }
    IRECT* GetRECT() { return &mRECT; }
    IRECT* GetTargetRECT() { return &mTargetRECT; }
    void SetTargetArea(IRECT r) { mTargetRECT = r; }
    double GetValue() const { return mValue.load(std::memory_order_relaxed); }
    void SetValue(double v) { mValue.store(v, std::memory_order_relaxed); }
    double GetDefaultValue() const { return mDefaultValue.load(std::memory_order_relaxed); }
    IText* GetText() { return &mText; }
    void SetText(const IText* text) { mText = *text; }
    int GetTextEntryLength() const { return mTextEntryLength; }
    void SetTextEntryLength(int len) { mTextEntryLength = len; }
    void SetValDisplayControl(ITextControl* c) { mValDisplayControl = c; }
    void SetNameDisplayControl(ITextControl* c) { mNameDisplayControl = c; }
    void Clamp(double lo, double hi)
    {
        mClampLo = lo;
        mClampHi = hi;
    }
    bool IsHidden() const { return mHide.load(std::memory_order_relaxed); }
    bool IsGrayed() const { return mGrayed.load(std::memory_order_relaxed); }
    bool GetIgnoreHidden() const { return mIgnoreHidden.load(std::memory_order_relaxed); }
    void SetIgnoreHidden(bool on) { mIgnoreHidden.store(on, std::memory_order_relaxed); }
    void SetRedrawAgain()
    {
        mRedraw.store(true, std::memory_order_relaxed);
        NoteDirty();
    }
    // Whether SetClean has anything to clear; the surface cleans only such controls.
    bool NeedsClean() const
    {
        return mDirty.load(std::memory_order_relaxed) || mRedraw.load(std::memory_order_relaxed);
    }
    bool GetRedrawAgain() const { return mRedraw.load(std::memory_order_relaxed); }
    bool GetPromptDisabled() const { return mDisablePrompt; }
    void DisablePrompt(bool disable) { mDisablePrompt = disable; }
    bool GetDblAsSingleClick() const { return mDblAsSingleClick; }
    void SetDblAsSingleClick(bool on) { mDblAsSingleClick = on; }
    bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
    void SetMOWhenGrayed(bool on) { mMOWhenGrayed = on; }
    const IChannelBlend* GetBlend() const { return &mBlend; }

protected:
    IGraphics* GetGUI() const;
    // Tells the surface that indexed this control that it has something to clean.
    void NoteDirty();
    void SetDirtyPushing(bool push, bool second);
    // Stores a value set from the plug-in or the synthesizer; answers whether it changed the
    // value of a control that already had one.
    bool TakeOutsideValue(double value);
    // The 1-based frame of an n-frame strip that shows the value.
    static int FrameForValue(double value, int nFrames);

    std::atomic<bool> mHide{false};
    int mTextEntryLength = 16;
    std::atomic<bool> mIgnoreHidden{false};
    IText mText;
    IPluginBase* mPlug;
    IRECT mRECT;
    IRECT mTargetRECT;
    int paramIdx;
    KIT_TypedBuf<AuxParam> mAuxParams{4096};
    std::atomic<double> mValue{0.0};
    std::atomic<double> mDefaultValue{-1.0};
    double mClampLo = 0.0, mClampHi = 1.0;
    std::atomic<bool> mDirty{true};
    std::atomic<bool> mGrayed{false};
    std::atomic<bool> mRedraw{false};
    bool mDisablePrompt = true;
    bool mDblAsSingleClick = false;
    bool mMOWhenGrayed = false;
    IChannelBlend mBlend;
    ITextControl* mValDisplayControl = nullptr;
    ITextControl* mNameDisplayControl = nullptr;

private:
    friend class IGraphics;
    friend void surface::Release(IControl*);
    // The surface's cleaning: which surface, whether the control waits in its queue, and
    // whether the Draw under way has still to clean it.
    std::atomic<IGraphics*> mSurface{nullptr};
    std::atomic<bool> mQueued{false};
    bool mInDrawSet = false;
};

class IPanelControl : public IControl {
public:
    IPanelControl(IPluginBase* plug, IRECT rect, const IColor* color, int blendMethod = kBlendSourceAlpha);
    bool Draw(IGraphics* g) override;

protected:
    IColor mColor;
};

class IBitmapControl : public IControl {
public:
    IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                   int blendMethod = kBlendSourceAlpha);
    bool Draw(IGraphics* g) override;
    IBitmap* GetBitmap() { return &mBitmap; }

protected:
    IBitmap mBitmap;
};

class ISwitchControl : public IBitmapControl {
public:
    using IBitmapControl::IBitmapControl;
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
};

class ISwitchPopUpControl : public ISwitchControl {
public:
    using ISwitchControl::ISwitchControl;
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

// A momentary button: down steps like a switch, up returns to 0.
class IContactControl : public ISwitchControl {
public:
    using ISwitchControl::ISwitchControl;
    void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

class IInvisibleSwitchControl : public IControl {
public:
    IInvisibleSwitchControl(IPluginBase* plug, IRECT rect, int paramIdx);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics*) override { return true; }
};

class IRadioButtonsControl : public IControl {
public:
    IRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                         EDirection direction = kVertical, bool reverse = false);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;
    int NButtons() const { return mRECTs.GetSize(); }
    const IRECT* ButtonRECT(int i) const { return i >= 0 && i < NButtons() ? mRECTs.Get() + i : nullptr; }

protected:
    KIT_TypedBuf<IRECT> mRECTs{4096};
    IBitmap mBitmap;
};

class IFaderControl : public IControl {
public:
    IFaderControl(IPluginBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap,
                  EDirection direction = kVertical, bool onlyHandle = false);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;
    bool IsHit(int x, int y) override;
    // The handle's rectangle for value v (the current value when v is negative).
    IRECT GetHandleRECT(double v = -1.0) const;

protected:
    void SnapToMouse(int x, int y);

    int mLen, mHandleHeadroom;
    IBitmap mBitmap;
    EDirection mDirection;
    bool mOnlyHandle;
};

class IKnobControl : public IControl {
public:
    IKnobControl(IPluginBase* plug, IRECT rect, int paramIdx, EDirection direction = kVertical,
                 double gearing = 4.0, int blendMethod = kBlendSourceAlpha);
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;

protected:
    EDirection mDirection;
    double mGearing;
};

class IKnobLineControl : public IKnobControl {
public:
    IKnobLineControl(IPluginBase* plug, IRECT rect, int paramIdx, const IColor* color, double innerRadius = 0.0,
                     double outerRadius = 0.0, double minAngle = -0.75 * 3.141592653589793,
                     double maxAngle = 0.75 * 3.141592653589793, EDirection direction = kVertical,
                     double gearing = 4.0);
    bool Draw(IGraphics* g) override;

protected:
    IColor mColor;
    float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

class IKnobRotaterControl : public IKnobControl {
public:
    IKnobRotaterControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                        double minAngle = -0.75 * 3.141592653589793, double maxAngle = 0.75 * 3.141592653589793,
                        int yOffsetZeroDeg = 0, EDirection direction = kVertical, double gearing = 4.0);
    bool Draw(IGraphics* g) override;

protected:
    IBitmap mBitmap;
    double mMinAngle, mMaxAngle;
    int mYOffset;
};

class IKnobMultiControl : public IKnobControl {
public:
    IKnobMultiControl(IPluginBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap, EDirection direction = kVertical,
                      double gearing = 4.0);
    bool Draw(IGraphics* g) override;

protected:
    IBitmap mBitmap;
};

// Angles in degrees: the mask turns over the base, the top over both.
class IKnobRotatingMaskControl : public IKnobControl {
public:
    IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* base, IBitmap* mask,
                             IBitmap* top, double minAngle = -135.0, double maxAngle = 135.0,
                             EDirection direction = kVertical, double gearing = 4.0);
    bool Draw(IGraphics* g) override;

protected:
    IBitmap mBase, mMask, mTop;
    double mMinAngle, mMaxAngle;
};

// Closed (value below 0.5) it draws nothing and is hit only in its target area; open it draws
// over its whole rectangle.
class IBitmapOverlayControl : public ISwitchControl {
public:
    IBitmapOverlayControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT targetArea);
    bool Draw(IGraphics* g) override;

protected:
    IRECT mTargetArea;
};

class ITextControl : public IControl {
public:
    ITextControl(IPluginBase* plug, IRECT rect, IText* text, const char* str = "");
    void SetTextFromPlug(const char* str);
    void ClearTextFromPlug() { SetTextFromPlug(""); }
    // A copy of the text, taken under its lock.
    void GetTextCopy(KIT_String* out) const;
    bool Draw(IGraphics* g) override;

protected:
    // Replaces the text without marking anything; answers whether it changed.
    bool StoreText(const char* str);

    mutable std::mutex mTextLock;
    KIT_String mStr{"", 0, 128};
};

class ICaptionControl : public ITextControl {
public:
    ICaptionControl(IPluginBase* plug, IRECT rect, int paramIdx, IText* text, bool showParamLabel = true);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* g) override;

protected:
    bool mShowParamLabel;
};

class IURLControl : public IControl {
public:
    IURLControl(IPluginBase* plug, IRECT rect, const char* url, const char* backupURL = nullptr,
                const char* errMsgOnFailure = nullptr);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics*) override { return true; }

protected:
    char mURL[256] = {}, mBackupURL[256] = {}, mErrMsg[1024] = {};
};

class IFileSelectorControl : public IControl {
public:
    enum EFileSelectorState { kFSNone = 0, kFSSelecting = 1, kFSDone = 2 };

    IFileSelectorControl(IPluginBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap, EFileAction action,
                         const char* dir = "", const char* extensions = "", bool drawBitmap = true);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool IsDirty() override;
    bool Draw(IGraphics* g) override;
    void GetLastSelectedFileForPlug(KIT_String* out) const { out->Set(mFile.Get()); }
    void SetLastSelectedFileFromPlug(const char* file) { mFile.Set(file ? file : ""); }
    int GetState() const { return mState.load(std::memory_order_relaxed); }

protected:
    bool mDrawBitmap;
    IBitmap mBitmap;
    KIT_String mDir{"", 0, 128}, mFile{"", 0, 128}, mExtensions{"", 0, 128};
    EFileAction mFileAction;
    std::atomic<int> mState{kFSNone};
};

class IBitmapTextControl : public ITextControl {
public:
    IBitmapTextControl(IPluginBase* plug, IRECT rect, IBitmap* font, const char* str = "", IText* text = nullptr,
                       int charWidth = 6, int charHeight = 12);
    bool Draw(IGraphics* g) override;

protected:
    int mCharWidth, mCharHeight;
    IBitmap mTextBitmap;
};

// The overlay of long transfers: it adds itself to its layer, which shows and hides it, and
// draws the top-left of its bitmap in its own rectangle whatever the value.
class ProgressIndicator : public IBitmapOverlayControl {
public:
    ProgressIndicator(ControlLayer* layer, IPluginBase* plug, int x, int y, int w, int h, int paramIdx,
                      IBitmap* bitmap, IRECT targetArea);
    void OnMouseDown(int, int, IMouseMod*) override {}
    void OnMouseDblClick(int, int, IMouseMod*) override {}
    bool Draw(IGraphics* g) override;
    ControlLayer* GetLayer() const { return mLayer; }

protected:
    ControlLayer* mLayer;
    IBitmap mOverlayBitmap;
    IRECT mDrawRECT;
    int mX, mY, mW, mH;
};
