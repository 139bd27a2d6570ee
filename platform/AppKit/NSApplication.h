#pragma once
// The application: its windows by number, and the routing of events. A mouse-down goes to the
// view under the mouse, which becomes first responder when it accepts; drags and the mouse-up
// follow that view; the wheel goes to the view under the mouse; keys and mouse moves (in a
// window that accepts them) go to the first responder and on along the responder chain.
#include <deque>
#include <vector>

#include <Foundation/NSRunLoop.h>

#include "NSEvent.h"

class NSWindow;
class NSView;
namespace ns_standin {
size_t queuedEventCount();
// Replaces the screens: frames and visible frames by index (a missing visible frame is the
// frame); none leaves the application without screens. Called with the default, restores it.
void setScreens(const std::vector<NSRect>& frames, const std::vector<NSRect>& visibleFrames);
}

// Which event types nextEventMatchingMask takes: bit n stands for type n.
typedef unsigned long long NSEventMask;
enum : NSEventMask { NSAnyEventMask = ~0ULL };
inline NSEventMask NSEventMaskFromType(NSEventType type) { return type < 64 ? 1ULL << type : 0; }

// The run-loop mode of modal runs; timers in the common modes fire in it.
NSString* NSModalPanelRunLoopModeName();
#define NSModalPanelRunLoopMode (NSModalPanelRunLoopModeName())

typedef NSInteger NSModalResponse;
enum : NSInteger { NSModalResponseStop = -1000, NSModalResponseAbort = -1001, NSModalResponseContinue = -1002 };
typedef struct NSModalSessionRecord* NSModalSession;

class NSApplication : public NSResponder {
    NS_STANDIN_CLASS(NSApplication)
public:
    NSApplication() = default;
    static NSApplication* sharedApplication();
    void sendEvent(NSEvent* event);
    NSWindow* windowWithWindowNumber(NSInteger number) const;
    const std::vector<NSWindow*>& windows() const { return mWindows; }
    // The windows front to back: the one ordered front last comes first.
    std::vector<NSWindow*> orderedWindows() const;
    NSWindow* keyWindow() const { return mKeyWindow; }
    // Not retained, as on the real system.
    NSObject* delegate() const { return mDelegate; }
    void setDelegate(NSObject* delegate) { mDelegate = delegate; }
    // The event sendEvent is handling, else null.
    NSEvent* currentEvent() const { return mCurrentEvent; }

    // The event queue (main thread only). A posted event is retained until it is taken; atStart
    // puts it before every queued event.
    void postEvent(NSEvent* event, bool atStart);
    // The first queued event whose type is in the mask (autoreleased when dequeued; left queued
    // otherwise). While none is queued the virtual clock runs on, from timer to timer of the
    // mode, until untilDate (seconds on CFAbsoluteTimeGetCurrent's clock); then null.
    NSEvent* nextEventMatchingMask(NSEventMask mask, CFAbsoluteTime untilDate, NSRunLoopMode mode, bool dequeue);
    // Drops queued events whose type is in the mask.
    void discardEventsMatchingMask(NSEventMask mask, NSEvent* beforeEvent);

    // Modal runs. The presenter hears each start (ModalRunStarted) and may post events or end the
    // run. A run stays modal until stopModal (code NSModalResponseStop), stopModalWithCode or
    // abortModal (NSModalResponseAbort) ends the innermost one, or its window closes (abort).
    // A run whose queue stays empty for ns_standin::modalIdleLimit() seconds of clock time ends
    // with the abort code and a line on standard error instead of waiting for ever.
    NSModalResponse runModalForWindow(NSWindow* window);
    NSModalSession beginModalSessionForWindow(NSWindow* window);
    // One step: the events queued now go to the window, or the clock runs a short while;
    // NSModalResponseContinue while the run goes on, else its code.
    NSModalResponse runModalSession(NSModalSession session);
    void endModalSession(NSModalSession session);
    void stopModal() { stopModalWithCode(NSModalResponseStop); }
    void stopModalWithCode(NSModalResponse code);
    void abortModal() { stopModalWithCode(NSModalResponseAbort); }
    // The window of the innermost modal run, or null.
    NSWindow* modalWindow() const;

    // Recorded only: the process goes on (ns_standin::terminateRequests counts them).
    void terminate(NSObject* sender);
    void hide(NSObject*) { mHidden = true; }
    void unhide(NSObject*) { mHidden = false; }
    bool isHidden() const { return mHidden; }

    // The menu bar's menu (retained); null until one is set.
    class NSMenu* mainMenu() const { return mMainMenu; }
    void setMainMenu(class NSMenu* menu);
    // Whether the application is the active one: on unless a test deactivates it.
    bool isActive() const { return mActive; }
    // Recorded: 1 auto-hide dock, 2 hide dock, 4 auto-hide menu bar.
    NSUInteger presentationOptions() const { return mPresentationOptions; }
    void setPresentationOptions(NSUInteger options) { mPresentationOptions = options; }
    void activateIgnoringOtherApps(bool) { mActive = true; }
    void deactivate() { mActive = false; }

private:
    class NSMenu* mMainMenu = nullptr;
    NSUInteger mPresentationOptions = 0;
    bool mActive = true;
    friend class NSWindow;
    friend size_t ns_standin::queuedEventCount();
    std::deque<NSEvent*> mEvents;            // retained
    std::vector<NSModalSession> mModalRuns; // innermost last
    bool mHidden = false;
    NSObject* mDelegate = nullptr;
    std::vector<NSWindow*> mWindows; // not retained: a window leaves the list as it goes
    NSWindow* mKeyWindow = nullptr;
    NSView* mMouseView = nullptr;     // the view that took the last mouse-down; retained
    NSInteger mNextWindowNumber = 1;
    void route(NSWindow* window, NSEvent* event);
    NSEvent* mCurrentEvent = nullptr; // retained while handled
};

#define NSApp (NSApplication::sharedApplication())
bool NSApplicationLoad();

// The screens: one 1920 by 1080 screen (its menu bar 22 high) unless a test sets others
// (ns_standin::setScreens); the first is the main screen.
class NSScreen : public NSObject {
    NS_STANDIN_CLASS(NSScreen)
public:
    NSScreen() = default;
    // Null without screens.
    static NSScreen* mainScreen();
    static const std::vector<NSScreen*>& screens();
    NSRect frame() const { return mFrame; }
    // The frame less the menu bar and the dock.
    NSRect visibleFrame() const { return mVisible; }
    // Device pixels per point: 1 unless a test sets another (ns_standin::setBackingScaleFactor).
    double backingScaleFactor() const;

private:
    friend void ns_standin::setScreens(const std::vector<NSRect>&, const std::vector<NSRect>&);
    NSRect mFrame = NSMakeRect(0, 0, 1920, 1080);
    NSRect mVisible = NSMakeRect(0, 0, 1920, 1058);
};

class NSURL;
class NSArray;
// Opens URLs through the presenter, which records them.
class NSWorkspace : public NSObject {
    NS_STANDIN_CLASS(NSWorkspace)
public:
    NSWorkspace() = default;
    static NSWorkspace* sharedWorkspace();
    bool openURL(NSURL* url);
    // A document or folder with its default application, or with the named one; an application
    // launched. The path arrives at the presenter unchanged.
    bool openFile(NSString* path);
    bool openFile(NSString* path, NSString* application, bool deactivate);
    bool launchApplication(NSString* application);
    // The icon of a set of files (autoreleased): the stand-in has one 32 by 32 image for all.
    class NSImage* iconForFiles(NSArray* paths);
};

enum : NSInteger { NSModalResponseCancel = 0, NSModalResponseOK = 1 };
enum : NSInteger { NSFileHandlingPanelCancelButton = 0, NSFileHandlingPanelOKButton = 1 };
enum : NSInteger { NSCancelButton = 0, NSOKButton = 1 };
enum : NSInteger { NSAlertDefaultReturn = 1, NSAlertAlternateReturn = 0, NSAlertOtherReturn = -1 };

// An alert with a title, a message and up to three buttons (null or empty: none), answered by
// the presenter: NSAlertDefaultReturn, NSAlertAlternateReturn (also when dismissed) or
// NSAlertOtherReturn. The message is the format with its one "%@" replaced by the argument.
NSInteger NSRunAlertPanel(NSString* title, NSString* format, NSString* defaultButton, NSString* alternateButton,
                          NSString* otherButton, NSString* argument);

class NSArray;
namespace cf_standin
{
struct PanelShown;
}
// File panels; the presenter answers them.
class NSSavePanel : public NSResponder {
    NS_STANDIN_CLASS(NSSavePanel)
public:
    NSSavePanel() = default;
    ~NSSavePanel() override;
    static NSSavePanel* savePanel();
    void setAllowedFileTypes(NSArray* types);
    void setAllowsOtherFileTypes(bool on) { mAllowsOther = on; }
    void setDirectoryURL(NSURL* url);
    void setNameFieldStringValue(NSString* name);
    // A view shown under the panel's controls; retained.
    void setAccessoryView(NSView* view);
    NSView* accessoryView() const { return mAccessory; }
    NSModalResponse runModal();
    // The chosen file after OK, else null.
    NSURL* URL() const { return mChosen; }
    void setTitle(NSString* title);
    void setCanCreateDirectories(bool on) { mCanCreate = on; }
    // Runs in the folder with the proposed name (either may be null): NSOKButton when the person
    // chose, NSCancelButton otherwise.
    NSInteger runModalForDirectory(NSString* directory, NSString* file);
    // The chosen path after OK (autoreleased), else null.
    NSString* filename() const;

protected:
    virtual bool isSave() const { return true; }
    // Asks the presenter; the chosen paths go to mPaths and the first to URL().
    NSModalResponse runPanel(bool multiple);
    std::vector<std::string> mPaths;
    std::string mTitle;
    bool mCanCreate = false;
    NSArray* mTypes = nullptr;  // retained
    NSURL* mChosen = nullptr;   // retained
    NSView* mAccessory = nullptr; // retained
    std::string mDirectory, mName;
    bool mAllowsOther = true;
};

class NSOpenPanel : public NSSavePanel {
    NS_STANDIN_CLASS(NSOpenPanel)
public:
    NSOpenPanel() = default;
    static NSOpenPanel* openPanel();
    void setCanChooseFiles(bool on) { mFiles = on; }
    void setCanChooseDirectories(bool on) { mDirectories = on; }
    void setResolvesAliases(bool on) { mResolves = on; }
    void setAllowsMultipleSelection(bool on) { mMultiple = on; }
    NSInteger runModalForDirectory(NSString* directory, NSString* file, NSArray* types);
    // The chosen paths after OK (autoreleased; empty otherwise).
    NSArray* filenames() const;
    void describe(cf_standin::PanelShown* shown) const;

protected:
    bool mMultiple = false;
    bool isSave() const override { return false; }
    bool mFiles = true, mDirectories = false, mResolves = true;
};
