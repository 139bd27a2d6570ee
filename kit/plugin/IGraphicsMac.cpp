#include "kit/plugin/IGraphicsMac.h"

#include <AppKit/AppKit.h>
#include <CoreServices/CoreServices.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kit/plugin/BundleResources.h"
#include "kit/plugin/IGraphicsCarbon.h"
#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IPluginAU.h"
#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_png.h"
#include "kit/wapi/wapi-gdi.h"

IGraphicsMac::IGraphicsMac(IPluginBase* plug, int width, int height, int fps) : IGraphics(plug, width, height, fps)
{
    NSApplicationLoad();
}

IGraphicsMac::~IGraphicsMac()
{
    if (mHostNSWindow) mHostNSWindow->release();
    if (mGraphicsCarbon) {
        delete mGraphicsCarbon;
        mGraphicsCarbon = nullptr;
    } else {
        DetachView(true);
    }
}

const char* IGraphicsMac::GetGUIAPI()
{
    if (!mGraphicsCarbon) return "Cocoa gui";
    return mGraphicsCarbon->GetIsComposited() ? "Carbon Composited gui" : "Carbon Non-Composited gui";
}

void IGraphicsMac::DetachView(bool remove)
{
    IGraphicsCocoa_vQOR_au* view = mGraphicsCocoa;
    if (!view) return;
    mGraphicsCocoa = nullptr;
    // Killing the timer may release the view's last reference but one: hold it until done.
    view->retain();
    view->killTimer();
    if (view->mGraphics == this) {
        view->mGraphics = nullptr;
        if (remove) view->removeFromSuperview();
    }
    view->release();
}

bool IGraphicsMac::DrawScreen(IRECT*)
{
    NSGraphicsContext* current = mGraphicsCocoa ? NSGraphicsContext::currentContext() : nullptr;
    CGContextRef target = current ? current->graphicsPort() : nullptr;
    if (mGraphicsCarbon) target = mGraphicsCarbon->GetCGContext();
    RAST_IBitmap* bitmap = GetDrawBitmap();
    CGContextRef source = bitmap ? WAPI_GetCtxGC(bitmap->getDC()) : nullptr;
    if (!target || !source) return false;
    // The whole surface is drawn; the clip (the rectangle being redrawn) limits what changes.
    CGImageRef image = CGBitmapContextCreateImage(source);
    CGContextDrawImage(target, CGRectMake(0, 0, bitmap->getRowSpan(), Height()), image);
    CGImageRelease(image);
    return true;
}

bool IGraphicsMac::MeasureIText(IText* text, const char* str, IRECT* r)
{
    NSAutoreleasePool pool;
    return IGraphics::MeasureIText(text, str, r);
}

void IGraphicsMac::ForceEndUserEdit()
{
    if (mGraphicsCarbon) mGraphicsCarbon->EndUserInput(false);
    if (mGraphicsCocoa) mGraphicsCocoa->endUserInput();
}

namespace {
// The surface's rectangle in the view's coordinates, y upward.
NSRect ViewRect(const IRECT& r, int height)
{
    return NSMakeRect(r.L, height - 1 - r.B, r.R - r.L + 1, r.B + 1 - r.T);
}
} // namespace

IPopupMenu* IGraphicsMac::CreateIPopupMenu(IPopupMenu* menu, IRECT* r)
{
    ReleaseMouseCapture();
    if (!menu || !r) return nullptr;
    if (mGraphicsCocoa) return mGraphicsCocoa->createIPopupMenu(menu, ViewRect(*r, Height()));
    if (mGraphicsCarbon) return mGraphicsCarbon->CreateIPopupMenu(menu, r);
    return nullptr;
}

void IGraphicsMac::CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param)
{
    if (!r) return;
    if (mGraphicsCocoa) mGraphicsCocoa->createTextEntry(control, param, text, str, ViewRect(*r, Height()));
    else if (mGraphicsCarbon) mGraphicsCarbon->CreateTextEntry(control, text, r, str, param);
}

void IGraphicsMac::Resize(int w, int h)
{
    if (w == Width() && h == Height()) return;
    IGraphics::Resize(w, h);
    if (mGraphicsCarbon) mGraphicsCarbon->Resize(w, h);
    else if (mGraphicsCocoa) mGraphicsCocoa->setFrameSize(NSMakeSize(w, h));
}

int IGraphicsMac::ShowMessageBox(const char* text, const char* caption, int type)
{
    CFStringRef def = nullptr, alt = nullptr, other = nullptr;
    switch (type) {
    case 4:
        def = CFSTR("Yes");
        alt = CFSTR("No");
        break;
    case 3:
        def = CFSTR("Yes");
        alt = CFSTR("No");
        other = CFSTR("Cancel");
        break;
    case 1:
        alt = CFSTR("Cancel");
        break;
    default:
        break;
    }
    CFStringRef header = CFStringCreateWithCString(kCFAllocatorDefault, caption ? caption : "", kCFStringEncodingUTF8);
    CFStringRef message = CFStringCreateWithCString(kCFAllocatorDefault, text ? text : "", kCFStringEncodingUTF8);
    CFOptionFlags response = kCFUserNotificationCancelResponse;
    CFUserNotificationDisplayAlert(0, kCFUserNotificationNoteAlertLevel, nullptr, nullptr, nullptr, header, message,
                                   def, alt, other, &response);
    CFRelease(header);
    CFRelease(message);
    switch (response) {
    case kCFUserNotificationDefaultResponse: return 1;
    case kCFUserNotificationAlternateResponse: return 7;
    case kCFUserNotificationOtherResponse: return 2;
    default: return 0;
    }
}

void IGraphicsMac::HostPath(KIT_String* path)
{
    NSAutoreleasePool pool;
    NSBundle* bundle = NSBundle::bundleWithIdentifier(ToNSString(GetBundleID()));
    NSString* exe = bundle ? bundle->executablePath() : nullptr;
    path->Set(exe ? exe->UTF8String() : "");
}

void IGraphicsMac::PluginPath(KIT_String* path)
{
    NSAutoreleasePool pool;
    NSBundle* bundle = NSBundle::bundleWithIdentifier(ToNSString(GetBundleID()));
    if (!bundle) return path->Set("");
    std::string folder = bundle->bundlePath()->stringByDeletingLastPathComponent()->UTF8String();
    path->Set((folder + "/").c_str());
}

void IGraphicsMac::DesktopPath(KIT_String* path)
{
    // An unset HOME counts as empty.
    const char* home = std::getenv("HOME");
    path->Set((std::string(home ? home : "") + "/Desktop").c_str());
}

void IGraphicsMac::PromptForFile(KIT_String* file, EFileAction action, KIT_String* dir, char* extensions)
{
    if (!WindowIsOpen()) return file->Set("");
    NSAutoreleasePool pool;
    std::string proposed = file->Get() ? file->Get() : "";
    if (!dir->Get() || !dir->Get()[0]) dir->Set("~/Desktop");
    std::string directory = dir->Get();
    file->Set("");
    std::vector<NSObject*> types;
    if (extensions) {
        std::string all = extensions;
        for (size_t at = 0; at < all.size();) {
            size_t blank = all.find(' ', at);
            if (blank == std::string::npos) blank = all.size();
            if (blank > at) types.push_back(ToNSString(all.substr(at, blank - at).c_str()));
            at = blank + 1;
        }
    }
    NSSavePanel* panel = nullptr;
    if (action == kFileSave) {
        panel = NSSavePanel::savePanel();
        panel->setAllowsOtherFileTypes(false);
    } else {
        NSOpenPanel* open = NSOpenPanel::openPanel();
        open->setCanChooseFiles(true);
        open->setCanChooseDirectories(false);
        open->setResolvesAliases(true);
        panel = open;
    }
    panel->setAllowedFileTypes(NSArray::arrayWithVector(types));
    panel->setDirectoryURL(NSURL::fileURLWithPath(ToNSString(directory.c_str())));
    panel->setNameFieldStringValue(ToNSString(proposed.c_str()));
    if (panel->runModal() != NSModalResponseOK || !panel->URL()) return;
    NSString* chosen = panel->URL()->path();
    if (!chosen) return;
    file->Set(chosen->UTF8String());
    dir->Set((std::string(chosen->stringByDeletingLastPathComponent()->UTF8String()) + "/").c_str());
}

bool IGraphicsMac::OpenURL(const char* url, const char*, const char*, const char*)
{
    if (!url) return false;
    NSAutoreleasePool pool;
    NSString* text = ToNSString(url);
    NSURL* u = std::strstr(url, "http") ? NSURL::URLWithString(text) : NSURL::fileURLWithPath(text);
    return u && NSWorkspace::sharedWorkspace()->openURL(u);
}

void* IGraphicsMac::OpenWindow(void* parentView)
{
    CloseWindow();
    auto* view = static_cast<IGraphicsCocoa_vQOR_au*>(IGraphicsCocoa_vQOR_au::class_()->alloc());
    view->initWithIGraphics(this);
    mGraphicsCocoa = view;
    if (parentView) {
        static_cast<NSView*>(parentView)->addSubview(view);
        view->release();
    } else {
        view->autorelease();
    }
    return view;
}

void* IGraphicsMac::OpenWindow(void* window, void* control, short x, short y)
{
    CloseWindow();
    if (!window) return nullptr;
    auto* carbon = new IGraphicsCarbon(this, static_cast<WindowRef>(window), static_cast<ControlRef>(control), x, y);
    if (!carbon->GetView()) {
        delete carbon;
        return nullptr;
    }
    mGraphicsCarbon = carbon;
    return carbon->GetView();
}

void IGraphicsMac::AttachSubWindow(void* windowRef)
{
    NSAutoreleasePool pool;
    auto* host = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    if (!host->initWithWindowRef(windowRef)) {
        host->release();
        return;
    }
    host->setCanHide(true);
    host->setReleasedWhenClosed(true);
    if (mHostNSWindow) mHostNSWindow->release();
    mHostNSWindow = host; // alloc's reference; close() gives it up
    host->retain();       // ours, until the host window goes
    const NSRect hostFrame = host->frame();
    NSRect frame = NSMakeRect(hostFrame.origin.x, hostFrame.origin.y, Width(), Height());
    if (hostFrame.size.width > Width()) frame.origin.x += std::floor((hostFrame.size.width - Width()) * 0.5);
    auto* child = static_cast<CustomCocoaWindow_vQOR_au*>(CustomCocoaWindow_vQOR_au::class_()->alloc());
    child->initWithContentRect(frame, NSBorderlessWindowMask, NSBackingStoreBuffered, false);
    child->setOpaque(true);
    child->setCanHide(true);
    child->setHasShadow(false);
    child->setReleasedWhenClosed(true);
    OpenWindow(child->contentView());
    // alloc's reference goes when the child is closed, the host's when it is removed.
    host->addChildWindow(child, NSWindowAbove);
    host->orderFront(nullptr);
    host->display();
    // Ordered front once more when the host has settled.
    child->performSelectorAfterDelay(sel_registerName("orderFront:"), nullptr, 0.05);
}

void IGraphicsMac::RemoveSubWindow()
{
    NSAutoreleasePool pool;
    NSWindow* host = mHostNSWindow;
    if (!host) return;
    mHostNSWindow = nullptr;
    NSWindow* child = host->childWindows().empty() ? nullptr : host->childWindows()[0];
    CloseWindow();
    if (child) {
        child->orderOut(nullptr);
        host->orderOut(nullptr);
        child->close();
        host->removeChildWindow(child);
    }
    host->close();
    host->release();
}

void IGraphicsMac::CloseWindow()
{
    if (mGraphicsCarbon) {
        IGraphicsCarbon* carbon = mGraphicsCarbon;
        mGraphicsCarbon = nullptr;
        delete carbon;
        return;
    }
    DetachView(true);
}

void* IGraphicsMac::GetWindow()
{
    return mGraphicsCocoa;
}

char* IGraphicsMac::OSLoadFile(int, const char* name)
{
    return loadBundleResource(GetBundleID(), name, &loadedFileSize);
}

void IGraphicsMac::HideMouseCursor()
{
    if (cursorHidden) return;
    const CGDirectDisplayID display = CGMainDisplayID();
    if (CGDisplayHideCursor(display) == kCGErrorSuccess) cursorHidden = true;
    NSPoint mouse = NSEvent::mouseLocation();
    hiddenCursorX = int(mouse.x);
    hiddenCursorY = int(double(CGDisplayPixelsHigh(display)) - mouse.y);
}

void IGraphicsMac::ShowMouseCursor()
{
    if (!cursorHidden) return;
    const CGDirectDisplayID display = CGMainDisplayID();
    CGDisplayMoveCursorToPoint(display, CGPointMake(hiddenCursorX, hiddenCursorY));
    if (CGDisplayShowCursor(display) == kCGErrorSuccess) cursorHidden = false;
}

RAST_IBitmap* IGraphicsMac::OSLoadBitmap(int, const char* name)
{
    return LoadImgFromResourceOSX(GetBundleID(), name);
}

int IGraphicsMac::GetUserOSVersion()
{
    SInt32 version = 0;
    return Gestalt(gestaltSystemVersion, &version) == noErr ? int(version) : 0;
}

NSString* IGraphicsMac::ToNSString(const char* text)
{
    return NSString::stringWithUTF8String(text ? text : "");
}

namespace {

// The file of a PNG resource of the bundle; "" for other extensions or when missing. Inside
// an autorelease pool.
std::string PngResourceFile(NSBundle* bundle, const char* name)
{
    if (!bundle || !name) return "";
    const char* dot = std::strrchr(name, '.');
    if (!dot || strcasecmp(dot + 1, "png") != 0) return "";
    NSString* base = IGraphicsMac::ToNSString(name)->lastPathComponent()->stringByDeletingPathExtension();
    NSString* path = bundle->pathForResource(base, IGraphicsMac::ToNSString("png"));
    return path ? path->UTF8String() : "";
}

} // namespace

RAST_IBitmap* IGraphicsMac::LoadImgFromResourceOSX(const char* bundleId, const char* name)
{
    NSAutoreleasePool pool;
    const std::string file = PngResourceFile(NSBundle::bundleWithIdentifier(ToNSString(bundleId)), name);
    return file.empty() ? nullptr : RAST_LoadPNG(file.c_str());
}

std::vector<std::string> IGraphicsMac::OSBitmapFiles(const std::vector<const char*>& names)
{
    NSAutoreleasePool pool;
    NSBundle* bundle = NSBundle::bundleWithIdentifier(ToNSString(GetBundleID()));
    std::vector<std::string> files;
    for (const char* name : names) files.push_back(PngResourceFile(bundle, name));
    return files;
}
