#include "NSApplication.h"

#include <algorithm>
#include <string>

#include <CoreFoundation/CFPresenter.h>

#include "AppKitStandin.h"
#include "NSControl.h"
#include "NSMenu.h"
#include "NSWindow.h"

NS_STANDIN_CLASS_IMPL(NSApplication, NSResponder)
NS_STANDIN_CLASS_IMPL(NSScreen, NSObject)
NS_STANDIN_CLASS_IMPL(NSWorkspace, NSObject)
NS_STANDIN_CLASS_IMPL(NSSavePanel, NSResponder)
NS_STANDIN_CLASS_IMPL(NSOpenPanel, NSSavePanel)

NSApplication* NSApplication::sharedApplication()
{
    static NSApplication* app = new NSApplication;
    return app;
}

bool NSApplicationLoad()
{
    NSApplication::sharedApplication();
    return true;
}

std::vector<NSWindow*> NSApplication::orderedWindows() const
{
    std::vector<NSWindow*> order = mWindows;
    std::stable_sort(order.begin(), order.end(),
                     [](NSWindow* a, NSWindow* b) { return a->orderStamp() > b->orderStamp(); });
    return order;
}

NSWindow* NSApplication::windowWithWindowNumber(NSInteger number) const
{
    for (NSWindow* w : mWindows)
        if (w->windowNumber() == number) return w;
    return nullptr;
}

void NSApplication::sendEvent(NSEvent* event)
{
    if (!event) return;
    NSWindow* window = event->window();
    // Keys made without a window (window number 0) go to the key window.
    const NSEventType type = event->type();
    if (!window && event->windowNumber() == 0 && (type == NSKeyDown || type == NSKeyUp || type == NSFlagsChanged))
        window = mKeyWindow;
    if (!window || !window->contentView()) return;
    // The event being handled answers currentEvent until the handler returns.
    NSEvent* outer = mCurrentEvent;
    mCurrentEvent = static_cast<NSEvent*>(event->retain());
    window->retain();
    route(window, event);
    window->release();
    mCurrentEvent->release();
    mCurrentEvent = outer;
}

void NSApplication::route(NSWindow* window, NSEvent* event)
{
    NSView* content = window->contentView();
    // The content view's frame is in the window's coordinates.
    auto viewUnder = [&](NSPoint p) { return content->hitTest(p); };
    auto deliver = [](NSResponder* r, NSEvent* e, void (NSResponder::*handler)(NSEvent*)) {
        if (!r) return;
        r->retain();
        (r->*handler)(e);
        r->release();
    };
    const NSEventType type = event->type();
    switch (type) {
    case NSLeftMouseDown:
    case NSRightMouseDown:
    case NSOtherMouseDown: {
        NSView* hit = viewUnder(event->locationInWindow());
        if (mMouseView) mMouseView->release();
        mMouseView = nullptr;
        // A click into a window that is not key makes it key; the click itself reaches the
        // view only when the view takes first clicks.
        const bool activates = !window->isKeyWindow() && window->canBecomeKeyWindow();
        if (activates) window->makeKeyWindow();
        if (!hit || (activates && !hit->acceptsFirstMouse(event))) return;
        mMouseView = static_cast<NSView*>(hit->retain());
        window->makeFirstResponder(hit); // only when the view accepts
        deliver(hit, event,
                type == NSLeftMouseDown    ? &NSResponder::mouseDown
                : type == NSRightMouseDown ? &NSResponder::rightMouseDown
                                           : &NSResponder::otherMouseDown);
        return;
    }
    case NSLeftMouseDragged:
    case NSRightMouseDragged:
    case NSOtherMouseDragged:
    case NSLeftMouseUp:
    case NSRightMouseUp:
    case NSOtherMouseUp: {
        NSView* target = mMouseView;
        if (!target) return;
        target->retain();
        if (type == NSLeftMouseDragged) target->mouseDragged(event);
        else if (type == NSRightMouseDragged) target->rightMouseDragged(event);
        else if (type == NSOtherMouseDragged) target->otherMouseDragged(event);
        else if (type == NSLeftMouseUp) target->mouseUp(event);
        else if (type == NSRightMouseUp) target->rightMouseUp(event);
        else target->otherMouseUp(event);
        if ((type == NSLeftMouseUp || type == NSRightMouseUp || type == NSOtherMouseUp) && mMouseView == target) {
            mMouseView = nullptr;
            target->release();
        }
        target->release();
        return;
    }
    case NSScrollWheel:
        deliver(viewUnder(event->locationInWindow()), event, &NSResponder::scrollWheel);
        return;
    case NSEventTypeMagnify:
        deliver(viewUnder(event->locationInWindow()), event, &NSResponder::magnifyWithEvent);
        return;
    case NSEventTypeRotate:
        deliver(viewUnder(event->locationInWindow()), event, &NSResponder::rotateWithEvent);
        return;
    case NSEventTypeSwipe:
        deliver(viewUnder(event->locationInWindow()), event, &NSResponder::swipeWithEvent);
        return;
    case NSMouseMoved: {
        if (!window->acceptsMouseMovedEvents()) return;
        // The view under the pointer, which passes the move up its chain when it takes none.
        NSResponder* r = viewUnder(event->locationInWindow());
        deliver(r ? r : window->firstResponder(), event, &NSResponder::mouseMoved);
        return;
    }
    case NSKeyDown:
        deliver(window->firstResponder(), event, &NSResponder::keyDown);
        return;
    case NSKeyUp:
        deliver(window->firstResponder(), event, &NSResponder::keyUp);
        return;
    default:
        return;
    }
}

namespace {
std::vector<NSScreen*>& screenList()
{
    static std::vector<NSScreen*> list{static_cast<NSScreen*>(NSScreen::class_()->alloc())};
    return list;
}
} // namespace

NSScreen* NSScreen::mainScreen() { return screenList().empty() ? nullptr : screenList().front(); }
const std::vector<NSScreen*>& NSScreen::screens() { return screenList(); }

void ns_standin::setScreens(const std::vector<NSRect>& frames, const std::vector<NSRect>& visibleFrames)
{
    std::vector<NSScreen*>& list = screenList();
    for (NSScreen* s : list) s->release();
    list.clear();
    for (size_t i = 0; i < frames.size(); ++i) {
        auto* s = static_cast<NSScreen*>(NSScreen::class_()->alloc());
        s->mFrame = frames[i];
        s->mVisible = i < visibleFrames.size() ? visibleFrames[i] : frames[i];
        list.push_back(s);
    }
}

namespace {
double gBackingScale = 1.0;
}

double NSScreen::backingScaleFactor() const { return gBackingScale; }
void ns_standin::setBackingScaleFactor(double scale) { gBackingScale = scale > 0 ? scale : 1.0; }

NSWorkspace* NSWorkspace::sharedWorkspace()
{
    static NSWorkspace* workspace = new NSWorkspace;
    return workspace;
}

bool NSWorkspace::openURL(NSURL* url)
{
    if (!url) return false;
    return cf_standin::presenter()->OpenURL(url->absoluteString()->UTF8String());
}

bool NSWorkspace::openFile(NSString* path) { return openFile(path, nullptr, true); }

bool NSWorkspace::openFile(NSString* path, NSString* application, bool)
{
    if (!path) return false;
    return cf_standin::presenter()->OpenFile(path->UTF8String(), application ? application->UTF8String() : "");
}

NSImage* NSWorkspace::iconForFiles(NSArray*)
{
    auto* icon = static_cast<NSImage*>(NSImage::class_()->alloc());
    icon->initWithSize(NSMakeSize(32, 32));
    icon->autorelease();
    return icon;
}

bool NSWorkspace::launchApplication(NSString* application)
{
    if (!application) return false;
    return cf_standin::presenter()->LaunchApplication(application->UTF8String());
}

NSSavePanel::~NSSavePanel()
{
    if (mTypes) mTypes->release();
    if (mChosen) mChosen->release();
    if (mAccessory) mAccessory->release();
}

void NSSavePanel::setAccessoryView(NSView* view)
{
    if (view) view->retain();
    if (mAccessory) mAccessory->release();
    mAccessory = view;
}

NSSavePanel* NSSavePanel::savePanel()
{
    auto* p = new NSSavePanel;
    p->autorelease();
    return p;
}

NSOpenPanel* NSOpenPanel::openPanel()
{
    auto* p = new NSOpenPanel;
    p->autorelease();
    return p;
}

void NSSavePanel::setAllowedFileTypes(NSArray* types)
{
    if (types) types->retain();
    if (mTypes) mTypes->release();
    mTypes = types;
}

void NSSavePanel::setDirectoryURL(NSURL* url)
{
    NSString* path = url ? url->path() : nullptr;
    mDirectory = path ? path->UTF8String() : "";
}

void NSSavePanel::setNameFieldStringValue(NSString* name) { mName = name ? name->UTF8String() : ""; }

NSModalResponse NSSavePanel::runModal()
{
    return runPanel(false);
}

NSModalResponse NSSavePanel::runPanel(bool multiple)
{
    cf_standin::PanelShown shown;
    shown.save = isSave();
    shown.directory = mDirectory;
    shown.proposedName = mName;
    for (NSUInteger i = 0; mTypes && i < mTypes->count(); ++i)
        if (auto* s = static_cast<NSString*>(mTypes->objectAtIndex(i))) shown.fileTypes.push_back(s->UTF8String());
    shown.title = mTitle;
    shown.multiple = multiple;
    shown.hasAccessory = mAccessory != nullptr;
    if (auto* open = dynamic_cast<NSOpenPanel*>(this)) open->describe(&shown);
    std::string path;
    if (mChosen) mChosen->release();
    mChosen = nullptr;
    mPaths.clear();
    if (!cf_standin::presenter()->Panel(shown, &path)) return NSModalResponseCancel;
    for (size_t start = 0; start <= path.size();) {
        size_t end = multiple ? path.find('\n', start) : std::string::npos;
        if (end == std::string::npos) end = path.size();
        if (end > start) mPaths.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (mPaths.empty()) return NSModalResponseCancel;
    mChosen =
        static_cast<NSURL*>(NSURL::fileURLWithPath(NSString::stringWithUTF8String(mPaths.front().c_str()))->retain());
    return NSModalResponseOK;
}

void NSSavePanel::setTitle(NSString* title)
{
    mTitle = title ? title->UTF8String() : "";
}

NSInteger NSSavePanel::runModalForDirectory(NSString* directory, NSString* file)
{
    if (directory) mDirectory = directory->UTF8String();
    if (file) mName = file->UTF8String();
    return runPanel(false) == NSModalResponseOK ? NSOKButton : NSCancelButton;
}

NSString* NSSavePanel::filename() const
{
    return mPaths.empty() ? nullptr : NSString::stringWithUTF8String(mPaths.front().c_str());
}

void NSOpenPanel::describe(cf_standin::PanelShown* shown) const
{
    shown->chooseFiles = mFiles;
    shown->chooseDirectories = mDirectories;
}

NSInteger NSOpenPanel::runModalForDirectory(NSString* directory, NSString* file, NSArray* types)
{
    setAllowedFileTypes(types);
    if (directory) mDirectory = directory->UTF8String();
    if (file) mName = file->UTF8String();
    return runPanel(mMultiple) == NSModalResponseOK ? NSOKButton : NSCancelButton;
}

NSArray* NSOpenPanel::filenames() const
{
    std::vector<NSObject*> names;
    for (const std::string& p : mPaths) names.push_back(NSString::stringWithUTF8String(p.c_str()));
    return NSArray::arrayWithVector(names);
}

NSInteger NSRunAlertPanel(NSString* title, NSString* format, NSString* defaultButton, NSString* alternateButton,
                          NSString* otherButton, NSString* argument)
{
    auto text = [](NSString* s) { return std::string(s ? s->UTF8String() : ""); };
    std::string message = text(format);
    const size_t at = message.find("%@");
    if (at != std::string::npos) message.replace(at, 2, text(argument));
    cf_standin::AlertShown shown{
        0, text(title), message, text(defaultButton), text(alternateButton), text(otherButton)};
    switch (cf_standin::presenter()->Alert(shown)) {
    case 0: return NSAlertDefaultReturn;
    case 2: return NSAlertOtherReturn;
    default: return NSAlertAlternateReturn;
    }
}

NSEvent* ns_standin::scrollWheelEvent(NSWindow* window, NSPoint location, NSEventModifierFlags flags, double deltaY)
{
    return makeScrollEvent(location, flags, window ? window->windowNumber() : 0, 0, deltaY);
}

void ns_standin::displayWindows()
{
    // A copy: drawing may close a window.
    std::vector<NSWindow*> windows = NSApp->windows();
    for (NSWindow* w : windows) w->retain();
    for (NSWindow* w : windows) {
        w->displayIfNeeded();
        w->release();
    }
}

int ns_standin::runFor(double seconds)
{
    int fired = cf_standin::advanceClock(seconds);
    drainLoopPool();
    displayWindows();
    drainLoopPool();
    return fired;
}

void ns_standin::dispatch(NSEvent* event)
{
    if (event) event->retain();
    NSApp->sendEvent(event);
    if (event) event->release();
    drainLoopPool();
    displayWindows();
    drainLoopPool();
}

void NSApplication::setMainMenu(NSMenu* menu)
{
    if (menu) menu->retain();
    if (mMainMenu) mMainMenu->release();
    mMainMenu = menu;
}
