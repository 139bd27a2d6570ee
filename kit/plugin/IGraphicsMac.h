#pragma once
// The macOS back end of the editor surface: the editor as a Cocoa view with its redraw timer,
// the screen copy through CoreGraphics, resources from the plug-in bundle, and the system's
// message boxes, file prompts, URLs, cursor, paths and version.
#include "kit/kitstring.h"
#include "kit/plugin/IGraphics.h"

class IGraphicsCarbon;
class IGraphicsCocoa_vQOR_au;
class IPluginAU;
class NSString;
class NSWindow;

class IGraphicsMac : public IGraphics {
public:
    IGraphicsMac(IPluginBase* plug, int width, int height, int fps = 0);
    ~IGraphicsMac() override;

    bool DrawScreen(IRECT* r) override;
    bool MeasureIText(IText* text, const char* str, IRECT* r) override;
    void ForceEndUserEdit() override;
    // Both end the mouse capture first; rectangles go to the view with y upward.
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) override;
    void CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param) override;
    void Resize(int w, int h) override;
    bool WindowIsOpen() override { return mGraphicsCarbon || mGraphicsCocoa; }
    const char* GetGUIAPI() override;
    // Buttons by type: 4 Yes/No, 3 Yes/No/Cancel, 1 default/Cancel, else the default one.
    // The default button answers 1, the alternate 7, the other 2, anything else 0.
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    void HostPath(KIT_String* path) override;
    void PluginPath(KIT_String* path) override;
    void DesktopPath(KIT_String* path) override;
    void PromptForFile(KIT_String* file, EFileAction action, KIT_String* dir, char* extensions) override;
    bool OpenURL(const char* url, const char* = nullptr, const char* = nullptr, const char* = nullptr) override;
    // Makes the editor view (closing an open one) and adds it to the parent view when given.
    // Without a parent the view is autoreleased: the host keeps it by adding it to a window.
    void* OpenWindow(void* parentView) override;
    // The editor as a user pane in a Carbon window (closing an open editor first); null, with
    // no host kept, without a window or when the pane cannot be made.
    void* OpenWindow(void* window, void* control, short x, short y) override;
    // The editor in a borderless Cocoa window, a child of the wrapped Carbon window, centred
    // across it; RemoveSubWindow closes both.
    void AttachSubWindow(void* windowRef) override;
    void RemoveSubWindow() override;
    void CloseWindow() override;
    void* GetWindow() override;
    char* OSLoadFile(int id, const char* name) override;
    void HideMouseCursor() override;
    void ShowMouseCursor() override;
    RAST_IBitmap* OSLoadBitmap(int id, const char* name) override;
    // The bundle is looked up once for all the names.
    std::vector<std::string> OSBitmapFiles(const std::vector<const char*>& names) override;

    void* OpenCocoaWindow(void* parentView) { return OpenWindow(parentView); }
    void* OpenCarbonWindow(void* window, void* control, short x, short y) { return OpenWindow(window, control, x, y); }
    IGraphicsCarbon* GetCarbon() const { return mGraphicsCarbon; }
    // The system version from Gestalt, 0 when the call fails.
    int GetUserOSVersion();
    void SetBundleID(const char* id) { mBundleID.Set(id ? id : ""); }
    const char* GetBundleID() const { return mBundleID.Get(); }
    static NSString* ToNSString(const char* text);
    // A PNG resource of the bundle, decoded; null for other extensions or when missing.
    static RAST_IBitmap* LoadImgFromResourceOSX(const char* bundleId, const char* name);

private:
    friend class IGraphicsCocoa_vQOR_au;
    // Detaches the view from this surface and takes it out of its superview.
    void DetachView(bool removeFromSuperview);

    IGraphicsCarbon* mGraphicsCarbon = nullptr;
    NSWindow* mHostNSWindow = nullptr; // the wrapped host window; retained
    IGraphicsCocoa_vQOR_au* mGraphicsCocoa = nullptr;
    KIT_String mBundleID{"", 0, 128};
};

IGraphicsMac* MakeGraphics(IPluginAU* plug, int w, int h, int fps);
