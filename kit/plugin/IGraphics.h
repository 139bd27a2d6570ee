#pragma once
// The editor surface as far as the plug-in base reaches it: attaching pushes every parameter
// value through SetParameterFromPlug and prepares the drawing bitmaps; the base owns and
// deletes the surface. Controls, layers and drawing belong to the surface itself.
#include "kit/kitstring.h"

class IPluginBase;

enum EFileAction { kFileOpen = 0, kFileSave = 1 };

class IGraphics {
public:
    IGraphics(IPluginBase* plug, int width, int height, int fps = 0);
    virtual ~IGraphics();
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // Creates the drawing bitmaps; called by the plug-in base when the surface is attached.
    virtual void PrepDraw();

    // The plug-in's path for moving a parameter on screen; calls no change hook. With
    // normalized false the parameter takes value through its range and step first. An index
    // outside the parameter table is ignored.
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized);

    // Window glue of the back end: the Cocoa view (parent may be null), the Carbon control in a
    // window, and closing whichever is open. The plain surface has no window.
    virtual void* OpenWindow(void* /*parent*/) { return nullptr; }
    virtual void* OpenWindow(void* /*window*/, void* /*parentControl*/, short /*x*/, short /*y*/) { return nullptr; }
    virtual void CloseWindow() {}
    // Asks the user for a file; file stays empty when none was chosen (the plain surface has
    // nobody to ask).
    virtual void PromptForFile(KIT_String* file, EFileAction, KIT_String*, char*) { file->Set(""); }

    IPluginBase* GetPlug() const { return mPlug; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    int FPS() const { return mFPS; }

protected:
    IPluginBase* mPlug;
    int mWidth, mHeight, mFPS;
};
