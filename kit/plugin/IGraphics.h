#pragma once
// The editor surface: owns the top-level controls (index 0 is the background) and the control
// layer trees, finds what is dirty, draws it into one raster bitmap and is the one path from
// parameter values to the screen (SetParameterFromPlug). The window back end derives from it;
// on its own the surface answers as one without a window.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kit/kitstring.h"
#include "kit/mutex.h"
#include "kit/plugin/IGraphicsIndex.h"
#include "kit/plugin/IGraphicsStorage.h"
#include "kit/plugin/IGraphicsStructs.h"
#include "kit/ptrlist.h"
#include "kit/raster/rast_bitmap.h"

class IPluginBase;
class IControl;
class IParam;
class IPopupMenu;
class ControlLayer;
class RAST_SysBitmap;
class RAST_MemBitmap;

enum EFileAction { kFileOpen = 0, kFileSave = 1 };

// An image decoded and scaled by IGraphics::DecodeIBitmaps ahead of its LoadIBitmap.
struct IDecodedBitmap {
    int id;
    const char* name;
    bool done = false; // tried: LoadIBitmap takes bitmap (null: the file failed) for the file
    std::unique_ptr<RAST_IBitmap> bitmap;
};

class IGraphics {
public:
    IGraphics(IPluginBase* plug, int width, int height, int fps = 0);
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // ---- the back end's operations; without a window they do nothing and answer "none" ----
    // Copies the drawn rectangle to the window; the answer is Draw's.
    virtual bool DrawScreen(IRECT*) { return true; }
    virtual bool MeasureIText(IText* text, const char* str, IRECT* r);
    virtual void ForceEndUserEdit() {}
    // Resizes the surface: releases the capture and the mouse-over control, deletes the
    // top-level controls and both bitmaps, makes new bitmaps and tells the plug-in. Layers stay.
    virtual void Resize(int w, int h);
    virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
    virtual const char* GetGUIAPI() { return ""; }
    virtual int ShowMessageBox(const char*, const char*, int) { return 0; }
    // The menu or submenu holding the chosen item, its chosen index set; null for no choice.
    virtual IPopupMenu* CreateIPopupMenu(IPopupMenu*, IRECT*) { return nullptr; }
    // Opens a text field whose text comes back through SetFromStringAfterPrompt.
    virtual void CreateTextEntry(IControl*, IText*, IRECT*, const char*, IParam*) {}
    virtual void HostPath(KIT_String* path) { path->Set(""); }
    virtual void PluginPath(KIT_String* path) { path->Set(""); }
    virtual void DesktopPath(KIT_String* path) { path->Set(""); }
    // Asks the user for a file; file stays empty when none was chosen.
    virtual void PromptForFile(KIT_String* file, EFileAction, KIT_String*, char*) { file->Set(""); }
    virtual bool PromptForColor(IColor*, char*) { return false; }
    virtual bool OpenURL(const char*, const char* = nullptr, const char* = nullptr, const char* = nullptr)
    {
        return false;
    }
    // The Cocoa view (parent may be null), the Carbon control in a window, closing either.
    virtual void* OpenWindow(void*) { return nullptr; }
    virtual void* OpenWindow(void*, void*, short, short) { return nullptr; }
    virtual void AttachSubWindow(void*) {}
    virtual void RemoveSubWindow() {}
    virtual void CloseWindow() {}
    virtual void* GetWindow() { return nullptr; }
    virtual ~IGraphics();
    // A buffer the caller frees with delete[], its length in loadedFileSize; null when missing.
    virtual char* OSLoadFile(int, const char*) { return nullptr; }
    virtual void HideMouseCursor() {}
    virtual void ShowMouseCursor() {}
    // A decoded image the caller owns, or null.
    virtual RAST_IBitmap* OSLoadBitmap(int, const char*) { return nullptr; }
    // The PNG file of each image name, looked up on the calling thread so that other threads
    // may decode it ("" for a name not found); empty when this back end decodes only through
    // OSLoadBitmap on the calling thread.
    virtual std::vector<std::string> OSBitmapFiles(const std::vector<const char*>&) { return {}; }

    // Creates the drawing bitmaps; called by the plug-in base when the surface is attached.
    virtual void PrepDraw();
    // The plug-in's path for moving a parameter on screen; calls no change hook. With
    // normalized false the parameter takes the value through its range and step first. An
    // index outside the parameter table is ignored. Safe on the MIDI thread without the
    // editor's lock: it visits only the controls that show the parameter.
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized);
    // The same for every parameter, in parameter order: its plain value (normalized false: the
    // redraw after a state restore) or its normalized value (true: a surface being attached).
    // The index is looked up once, and again when the lists change during the walk.
    void SetAllParametersFromPlug(bool normalized);

    // ---- controls and layers ----
    int AttachControl(IControl* control);
    int AttachLayer(ControlLayer* layer);
    void AttachBackground(int id, const char* name, double scale);
    void AttachPanelBackground(const IColor* color);
    void AttachKeyCatcher(IControl* control);

    // The union of the dirty rectangles into r (callers pass an empty one); cleans nothing.
    bool IsDirty(IRECT* r);
    // Draws everything meeting r into the drawing bitmap and cleans every control of the
    // surface but the background: those of shown layers as it passes them, the others from the
    // list of controls that became dirty.
    bool Draw(IRECT* r);
    // A control of this surface became dirty or asked to be drawn again: the next Draw cleans
    // it. Safe from any thread; controls call it themselves.
    void QueueClean(IControl* control);
    void SetStrictDrawing(bool strict);

    // Operations on the top-level list only; layers are not visited.
    void HideControl(int paramIdx, bool hide);
    void GrayOutControl(int paramIdx, bool gray);
    void ClampControl(int paramIdx, double lo, double hi, bool normalized);
    void SetControlFromPlug(int controlIdx, double normalized);
    void SetAllControlsDirty();
    void SetParameterFromGUI(int paramIdx, double normalized);

    // ---- the value prompt ----
    // A menu of the parameter's words (booleans and enumerations that have them), otherwise a
    // text entry; nothing unless all three are given.
    void PromptUserInput(IControl* control, IParam* param, IRECT* r);
    void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);
    void ReleaseMouseCapture();

    // ---- mouse, wheel and keys from the window (IGraphicsMouse.cpp) ----
    void OnMouseDown(int x, int y, IMouseMod* mod);
    void OnMouseUp(int x, int y, IMouseMod* mod);
    void OnMouseDrag(int x, int y, IMouseMod* mod);
    // True when the control takes double clicks as clicks and got a mouse-down.
    bool OnMouseDblClick(int x, int y, IMouseMod* mod);
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
    // True when a control took the key.
    bool OnKeyDown(int x, int y, int key);
    bool OnMouseOver(int x, int y, IMouseMod* mod);
    void OnMouseOut();
    IControl* GetMouseControlIdx(int x, int y, bool mouseOver = false);
    int GetParamIdxForPTAutomation(int x, int y);
    int GetLastClickedParamForPTAutomation();
    void OnGUIIdle();

    // ---- drawing into the surface (IGraphicsDraw.cpp); every operation answers true ----
    bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend = nullptr);
    bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame = 1, const IChannelBlend* blend = nullptr);
    bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, int srcX, int srcY, const IChannelBlend* blend);
    // angle in radians, the bitmap turning about its centre moved down by yOffsetZeroDeg.
    bool DrawRotatedBitmap(IBitmap* bitmap, int destCX, int destCY, double angle, int yOffsetZeroDeg = 0,
                           const IChannelBlend* blend = nullptr);
    // The mask (added) and top (copied) turned by angle degrees over a copy of the base without
    // its alpha, then the whole placed at (x, y).
    bool DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                         const IChannelBlend* blend = nullptr);
    bool FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr);
    bool DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend = nullptr,
                  bool antiAlias = false);
    // Draws str in r, or with measure sets r to the text's extent. False when no font can be made.
    bool DrawIText(IText* text, const char* str, IRECT* r, bool measure = false);

    bool DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend = nullptr, bool antiAlias = false);
    // Writes the colour into one pixel unblended; a point outside the surface does nothing.
    bool ForcePixel(const IColor* color, int x, int y);
    bool DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                 const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend = nullptr,
                    bool antiAlias = false);
    bool RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool antiAlias);
    bool FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool antiAlias);
    bool FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend = nullptr,
                    bool antiAlias = false);
    bool FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                      const IChannelBlend* blend = nullptr);
    bool FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints, const IChannelBlend* blend = nullptr);
    bool DrawRect(const IColor* color, IRECT* r);
    bool DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi);
    bool DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi);
    bool DrawVerticalLine(const IColor* color, IRECT* r, float x);
    bool DrawHorizontalLine(const IColor* color, IRECT* r, float y);
    // Angle 0 points up and grows clockwise.
    bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                        const IChannelBlend* blend = nullptr, bool antiAlias = false);
    IColor GetPoint(int x, int y);
    void* GetBits();

    // ---- bitmaps and fonts, cached for the process ----
    IBitmap LoadIBitmap(int id, const char* name, double scale = 1.0, int nStates = 1, bool framesAreHoriz = false);
    // Decodes and scales the images whose ids are not cached yet on a few threads at once, all
    // joined before it returns; caches nothing. Does nothing when the back end has no files.
    void DecodeIBitmaps(std::vector<IDecodedBitmap>& images, double scale);
    // As above, taking the image from decoded when it was tried there.
    IBitmap LoadIBitmap(int id, const char* name, double scale, int nStates, bool framesAreHoriz,
                        IDecodedBitmap* decoded);
    // Threads DecodeIBitmaps may use, for the whole process; 0 (the default) for as many as the
    // processors the process may run on, at most eight.
    static void SetBitmapDecodeThreads(int threads);
    IBitmap getImageById(int id, int nStates = 1, bool framesAreHoriz = false);
    void RetainBitmap(IBitmap* bitmap);
    void ReleaseBitmap(IBitmap* bitmap);
    IBitmap ScaleBitmap(IBitmap* bitmap, int w, int h);
    IBitmap CropBitmap(IBitmap* bitmap, IRECT* r);
    char* LoadFile(int id, const char* name) { return OSLoadFile(id, name); }
    RAST_IFont* CacheFont(IText* text);

    // ---- accessors ----
    IPluginBase* GetPlug() const { return mPlug; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    int FPS() const { return mFPS; }
    RAST_IBitmap* GetDrawBitmap() const;
    const IRECT& GetDrawRect() const { return drawRect; }
    int NControls() const { return controls.GetSize(); }
    IControl* GetControl(int idx) const { return controls.Get(idx); }
    int NLayers() const { return layers.GetSize(); }
    ControlLayer* GetLayer(int idx) const { return layers.Get(idx); }
    IControl* GetKeyCatcher() const { return keyCatcher; }
    IControl* GetMouseCapture() const { return mouseCapture; }

    // Bytes read by the last successful LoadFile.
    int loadedFileSize = 0;

protected:
    IPluginBase* mPlug;
    int mWidth, mHeight, mFPS;

    KIT_Mutex mutex;
    surface::WatchedList<IControl> controls{4096};
    surface::WatchedList<ControlLayer> layers{4096};
    IRECT drawRect;
    bool cursorHidden = false;
    int hiddenCursorX = -1, hiddenCursorY = -1;
    RAST_SysBitmap* drawBitmap = nullptr;
    RAST_MemBitmap* tmpBitmap = nullptr;
    IControl* mouseOver = nullptr;
    IControl* mouseCapture = nullptr;
    int mouseX = 0, mouseY = 0;
    int lastClickedParam = -1;
    bool handleMouseOver = false;
    bool strictDrawing = true;
    IControl* keyCatcher = nullptr;

private:
    // The control that takes an event at (x, y): layers first, then the top-level controls.
    IControl* FindControl(int x, int y, bool mouseOver);

    // The controls of each parameter, rebuilt when the lists have changed since it was made.
    std::shared_ptr<const std::vector<surface::ParamBinding>> CurrentIndex();
    void RebuildIndex();
    // Takes the controls queued for cleaning into mDrawSet.
    void TakeCleanQueue();
    void DrawLayer(ControlLayer* layer);
    // SetClean on a control that needs it (it is in the draw set or has a flag to clear).
    void CleanDrawn(IControl* control);

    std::mutex mIndexLock;
    unsigned long long mIndexEpoch = 0;
    std::shared_ptr<const std::vector<surface::ParamBinding>> mIndex;
    // Controls marked since the last Draw took them; pushed from any thread under the lock.
    std::mutex mQueueLock;
    std::vector<IControl*> mCleanQueue, mTaken;
    // The controls the Draw under way has to clean (main thread only).
    std::vector<IControl*> mDrawSet;

    // A plain image, the first control of a shown layer, whose opaque pixels the Draw under way
    // lays over part of drawRect: chosen before the background is drawn, so that the background
    // leaves out what it covers, and then drawn as it was when chosen.
    struct Cover {
        IControl* control = nullptr;
        ControlLayer* layer = nullptr;
        IBitmap bitmap;
        IRECT rect;
        IChannelBlend blend;
        std::shared_ptr<const BitmapStorage::OpaqueRows> rows;
    };
    Cover mCover;
    bool FindCover();
    void FindCoverIn(ControlLayer* layer, long long& bestArea);
    // The background, in pieces around the cover's opaque rows when there is one.
    void DrawBackground(IControl* background);
    void DrawCover();

    void DeleteBitmaps();
    bool BlitClipped(RAST_IBitmap* src, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend);
};
