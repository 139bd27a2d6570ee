#pragma once
// The Carbon stand-in: windows with a content view or a root control, the user pane and
// edit-unicode-text controls, event targets with handler chains, event-loop timers on the
// CoreFoundation run loop, draw events, popup menus through the presenter and the theme
// cursor. Windows draw into a backing store (a CoreGraphics bitmap of the content size, y
// upward) that carbon_standin::displayWindows fills. Main thread only.
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <CoreServices/MacTypes.h>
#include <sys/types.h>

typedef struct OpaqueWindowPtr* WindowRef;
typedef struct OpaqueControlRef* ControlRef;
typedef ControlRef HIViewRef;
typedef struct OpaqueMenuRef* MenuRef;
typedef struct OpaqueEventRef* EventRef;
typedef struct OpaqueEventTargetRef* EventTargetRef;
typedef struct OpaqueEventHandlerRef* EventHandlerRef;
typedef struct OpaqueEventHandlerCallRef* EventHandlerCallRef;
typedef struct OpaqueEventLoopTimerRef* EventLoopTimerRef;
typedef struct OpaqueEventLoopRef* EventLoopRef;
typedef struct OpaqueGrafPtr* CGrafPtr;
typedef struct OpaqueRgnHandle* RgnHandle;
typedef const struct __HIShape* HIShapeRef;

typedef CGRect HIRect;
typedef CGPoint HIPoint;
struct Rect {
    short top, left, bottom, right;
};

constexpr OSStatus paramErr = -50;
constexpr OSStatus eventNotHandledErr = -9874;
constexpr OSStatus eventParameterNotFoundErr = -9870;
constexpr OSStatus errUnknownControl = -30584;
constexpr OSStatus errNoRootControl = -30599;
constexpr OSStatus errRootAlreadyExists = -30600;

// ---- events ----
typedef UInt32 EventParamName;
typedef UInt32 EventParamType;
typedef double EventTime;
typedef double EventTimerInterval;
constexpr EventTime kEventDurationSecond = 1.0;
constexpr EventTime kEventDurationMillisecond = 0.001;

struct EventTypeSpec {
    UInt32 eventClass;
    UInt32 eventKind;
};

enum : UInt32 {
    kEventClassMouse = 0x6D6F7573,    // 'mous'
    kEventClassKeyboard = 0x6B657962, // 'keyb'
    kEventClassWindow = 0x77696E64,   // 'wind'
    kEventClassControl = 0x636E746C,  // 'cntl'
};
enum : UInt32 {
    kEventMouseDown = 1,
    kEventMouseUp = 2,
    kEventMouseMoved = 5,
    kEventMouseDragged = 6,
    kEventMouseWheelMoved = 10,
    kEventRawKeyDown = 1,
    kEventRawKeyRepeat = 2,
    kEventRawKeyUp = 3,
    kEventRawKeyModifiersChanged = 4,
    kEventWindowActivated = 5,
    kEventWindowDeactivated = 6,
    kEventWindowGetClickActivation = 7,
    kEventWindowActivateRequest = 92, // the window is asked to become the active one
    kEventControlDraw = 4,
    kEventControlBoundsChanged = 154, // sent by HIViewSetFrame and SizeControl
};
enum : UInt32 {
    kEventParamDirectObject = 0x2D2D2D2D,        // '----'
    kEventParamCGContextRef = 0x636E7478,        // 'cntx'
    kEventParamGrafPort = 0x67726166,            // 'graf'
    kEventParamShape = 0x73686170,               // 'shap'
    kEventParamWindowMouseLocation = 0x776D6F75, // 'wmou'
    kEventParamKeyModifiers = 0x6B6D6F64,        // 'kmod'
    kEventParamMouseButton = 0x6D62746E,         // 'mbtn'
    kEventParamClickCount = 0x63636E74,          // 'ccnt'
    kEventParamMouseWheelAxis = 0x6D776178,      // 'mwax'
    kEventParamMouseWheelDelta = 0x6D77646C,     // 'mwdl'
    kEventParamKeyCode = 0x6B636F64,             // 'kcod'
    kEventParamKeyMacCharCodes = 0x6B636872,     // 'kchr'
    kEventParamClickActivation = 0x636C6163,     // 'clac'
    kEventParamPreviousBounds = 0x70726374,      // 'prct'
    kEventParamCurrentBounds = 0x63726374,       // 'crct'
};
enum : UInt32 {
    typeControlRef = 0x6374726C,            // 'ctrl'
    typeCGContextRef = 0x636E7478,          // 'cntx'
    typeGrafPtr = 0x67726166,               // 'graf'
    typeHIShapeRef = 0x73686170,            // 'shap'
    typeHIPoint = 0x68697074,               // 'hipt'
    typeUInt32 = 0x6D61676E,                // 'magn'
    typeSInt32 = 0x6C6F6E67,                // 'long'
    typeMouseButton = 0x6D62746E,           // 'mbtn'
    typeMouseWheelAxis = 0x6D776178,        // 'mwax'
    typeChar = 0x54455854,                  // 'TEXT'
    typeClickActivationResult = 0x636C6163, // 'clac'
    typeQDRectangle = 0x71647274,           // 'qdrt': a Rect
};
typedef UInt32 ClickActivationResult;
enum : UInt32 { kActivateAndHandleClick = 3 };
typedef UInt16 EventMouseButton;
typedef UInt16 EventMouseWheelAxis;
enum : UInt16 { kEventMouseButtonPrimary = 1, kEventMouseButtonSecondary = 2 };
enum : UInt16 { kEventMouseWheelAxisX = 0, kEventMouseWheelAxisY = 1 };
enum : UInt32 { cmdKey = 0x100, shiftKey = 0x200, optionKey = 0x800, controlKey = 0x1000 };

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef next, EventRef event, void* userData);
typedef EventHandlerProcPtr EventHandlerUPP;
inline EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr p)
{
    return p;
}
inline void DisposeEventHandlerUPP(EventHandlerUPP) {}

OSStatus CreateEvent(CFAllocatorRef allocator, UInt32 eventClass, UInt32 kind, EventTime when, UInt32 flags,
                     EventRef* outEvent);
EventRef RetainEvent(EventRef event);
void ReleaseEvent(EventRef event);
UInt32 GetEventClass(EventRef event);
UInt32 GetEventKind(EventRef event);
OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, UInt32 size, const void* data);
// eventParameterNotFoundErr when missing, paramErr when the buffer is too small.
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType, EventParamType* actualType,
                           UInt32 bufferSize, UInt32* actualSize, void* data);

// Handlers run newest first; one that answers eventNotHandledErr lets the next one run, then
// the target's standard handler, then the parent target (a control's window).
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes, const EventTypeSpec* list,
                             void* userData, EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef handler);
OSStatus CallNextEventHandler(EventHandlerCallRef next, EventRef event);
OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target);
EventTargetRef GetWindowEventTarget(WindowRef window);
EventTargetRef GetControlEventTarget(ControlRef control);

// ---- event-loop timers, on the CoreFoundation run loop ----
typedef void (*EventLoopTimerProcPtr)(EventLoopTimerRef timer, void* userData);
typedef EventLoopTimerProcPtr EventLoopTimerUPP;
inline EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr p)
{
    return p;
}
inline void DisposeEventLoopTimerUPP(EventLoopTimerUPP) {}
EventLoopRef GetMainEventLoop(void);
EventLoopRef GetCurrentEventLoop(void);
// The mouse buttons held now: bit 0 the primary, bit 1 the secondary, bit 2 the third.
UInt32 GetCurrentEventButtonState(void);
// First due after delay, then every interval (0: once).
OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval delay, EventTimerInterval interval,
                               EventLoopTimerUPP proc, void* userData, EventLoopTimerRef* outTimer);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);

// ---- shapes ----
HIShapeRef HIShapeCreateWithRect(const HIRect* rect);
HIRect* HIShapeGetBounds(HIShapeRef shape, HIRect* outRect);

// ---- windows ----
typedef UInt32 WindowClass;
typedef UInt32 WindowAttributes;
typedef UInt16 WindowRegionCode;
enum : UInt32 { kDocumentWindowClass = 6, kPlainWindowClass = 13 };
enum : UInt32 {
    kWindowNoAttributes = 0,
    kWindowCompositingAttribute = 1u << 19,
    kWindowNoShadowAttribute = 1u << 21,
    kWindowStandardHandlerAttribute = 1u << 25,
};
enum : UInt16 { kWindowStructureRgn = 32, kWindowContentRgn = 33 };

// The bounds are the content's, in global coordinates.
OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes, const Rect* bounds,
                         WindowRef* outWindow);
void DisposeWindow(WindowRef window);
OSStatus GetWindowAttributes(WindowRef window, WindowAttributes* outAttributes);
OSStatus GetWindowBounds(WindowRef window, WindowRegionCode region, Rect* outBounds);
OSStatus SetWindowBounds(WindowRef window, WindowRegionCode region, const Rect* bounds);
CGrafPtr GetWindowPort(WindowRef window);
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
// kUserFocusAuto gives the focus back to the system.
#define kUserFocusAuto ((WindowRef)(-1))
OSStatus SetUserFocusWindow(WindowRef window);
WindowRef GetUserFocusWindow(void);
// Draws every visible control of the window at once (plain windows).
void UpdateControls(WindowRef window, RgnHandle region);
// The active window is the one taking the user's input; the stand-in records it.
OSStatus ActivateWindow(WindowRef window, Boolean activate);
Boolean IsWindowActive(WindowRef window);
OSStatus GetWindowClass(WindowRef window, WindowClass* outClass);

// A CoreGraphics context on a window's port, y upward from the port's bottom-left corner.
OSStatus QDBeginCGContext(CGrafPtr port, CGContextRef* outContext);
OSStatus QDEndCGContext(CGrafPtr port, CGContextRef* context);

// ---- controls and views ----
struct HIViewID {
    OSType signature;
    SInt32 id;
};
extern const HIViewID kHIViewWindowContentID;

typedef SInt16 ControlPartCode;
enum : SInt16 { kControlNoPart = 0, kControlEditTextPart = 5, kControlFocusNoPart = 0, kControlFocusNextPart = -1 };
enum : UInt32 {
    kControlSupportsEmbedding = 1u << 1,
    kControlSupportsFocus = 1u << 2,
    kControlHandlesTracking = 1u << 5
};
typedef UInt32 ResType;
enum : UInt32 {
    kControlEditTextCFStringTag = 0x63667374,   // 'cfst'
    kControlEditTextSelectionTag = 0x73656C65,  // 'sele'
    kControlEditTextSingleLineTag = 0x73676C63, // 'sglc'
};
struct ControlEditTextSelectionRec {
    SInt16 selStart, selEnd;
};
struct RGBColor {
    UInt16 red, green, blue;
};
struct ControlFontStyleRec {
    SInt16 flags, font, size, style, mode, just;
    RGBColor foreColor, backColor;
};
enum : SInt16 { kControlUseFontMask = 0x1, kControlUseSizeMask = 0x4, kControlUseJustMask = 0x40 };
enum : SInt16 { teFlushDefault = 0, teCenter = 1, teFlushRight = -1, teFlushLeft = -2 };

typedef SInt16 FMFontFamily;
typedef const unsigned char* ConstStr255Param;
// A family number for a font name (a Pascal string); the stand-in numbers names as it meets them.
FMFontFamily FMGetFontFamilyFromName(ConstStr255Param name);

OSStatus CreateUserPaneControl(WindowRef window, const Rect* bounds, UInt32 features, ControlRef* outControl);
OSStatus CreateEditUnicodeTextControl(WindowRef window, const Rect* bounds, CFStringRef text, Boolean isPassword,
                                      const ControlFontStyleRec* style, ControlRef* outControl);
// Takes the control out of its container and window and releases it.
void DisposeControl(ControlRef control);
OSStatus GetRootControl(WindowRef window, ControlRef* outControl);
OSStatus CreateRootControl(WindowRef window, ControlRef* outControl);
OSStatus EmbedControl(ControlRef control, ControlRef container);
WindowRef GetControlOwner(ControlRef control);
void ShowControl(ControlRef control);
void HideControl(ControlRef control);
Boolean IsControlVisible(ControlRef control);
void SizeControl(ControlRef control, SInt16 w, SInt16 h);
OSStatus SetControlData(ControlRef control, ControlPartCode part, ResType tag, size_t size, const void* data);
// A CFString read through kControlEditTextCFStringTag is a new reference the caller releases.
OSStatus GetControlData(ControlRef control, ControlPartCode part, ResType tag, size_t bufferSize, void* buffer,
                        size_t* actualSize);
OSStatus SetControlFontStyle(ControlRef control, const ControlFontStyleRec* style);
OSStatus SetKeyboardFocus(WindowRef window, ControlRef control, ControlPartCode part);
// What a control is: signature 'appl' and the kind ('root', 'pane' for panes and content views,
// 'eutx' for edit-unicode-text controls).
struct ControlKind {
    OSType signature;
    OSType kind;
};
enum : OSType {
    kControlKindSignatureApple = 0x6170706C,  // 'appl'
    kControlKindEditText = 0x65747874,        // 'etxt'
    kControlKindEditUnicodeText = 0x65757478, // 'eutx'
    kControlKindHITextView = 0x68697478,      // 'hitx'
    kControlKindUserPane = 0x70616E65,        // 'pane'
    kControlKindRoot = 0x726F6F74,            // 'root'
};
OSStatus GetControlKind(ControlRef control, ControlKind* outKind);
OSStatus GetKeyboardFocus(WindowRef window, ControlRef* outControl);

HIViewRef HIViewGetRoot(WindowRef window);
OSStatus HIViewFindByID(HIViewRef start, HIViewID id, HIViewRef* outView);
OSStatus HIViewAddSubview(HIViewRef parent, HIViewRef child);
OSStatus HIViewRemoveFromSuperview(HIViewRef view);
HIViewRef HIViewGetSuperview(HIViewRef view);
// The first subview, and the next sibling; null at the end.
HIViewRef HIViewGetFirstSubview(HIViewRef view);
HIViewRef HIViewGetNextView(HIViewRef view);
OSStatus HIViewGetFrame(HIViewRef view, HIRect* outRect);
OSStatus HIViewSetFrame(HIViewRef view, const HIRect* rect);
OSStatus HIViewGetBounds(HIViewRef view, HIRect* outRect);
// From src's coordinates to dst's; a null view means the window's (y down from the top left).
OSStatus HIViewConvertPoint(HIPoint* point, HIViewRef src, HIViewRef dst);
OSStatus HIViewSetNeedsDisplay(HIViewRef view, Boolean needs);
OSStatus HIViewSetNeedsDisplayInRect(HIViewRef view, const HIRect* rect, Boolean needs);
Boolean HIViewGetNeedsDisplay(HIViewRef view);
// Draws what needs display in the view and below it now (composited windows).
OSStatus HIViewRender(HIViewRef view);

// ---- menus ----
typedef SInt16 MenuID;
typedef UInt16 MenuItemIndex;
typedef UInt32 MenuAttributes;
typedef UInt32 MenuItemAttributes;
typedef UInt32 MenuCommand;
enum : UInt32 { kMenuAttrExcludesMarkColumn = 1u << 2, kMenuAttrDoNotCacheImage = 1u << 5 };
enum : UInt32 {
    kMenuItemAttrDisabled = 1u << 0,
    kMenuItemAttrSectionHeader = 1u << 7,
    kMenuItemAttrSeparator = 1u << 6,
    kMenuItemAttrIgnoreMeta = 1u << 8,
};
enum : UInt32 { kMenuResType = 0x4D454E55 }; // 'MENU'
enum : SInt16 { kInsertHierarchicalMenu = -1 };

// A number of the kind no live menu uses yet.
SInt16 UniqueID(ResType type);
OSStatus CreateNewMenu(MenuID id, MenuAttributes attributes, MenuRef* outMenu);
// Menus are CF objects: CFRelease releases one.
MenuID GetMenuID(MenuRef menu);
UInt16 CountMenuItems(MenuRef menu);
OSStatus AppendMenuItemTextWithCFString(MenuRef menu, CFStringRef text, MenuItemAttributes attributes,
                                        MenuCommand command, MenuItemIndex* outIndex);
OSStatus InsertMenuItemTextWithCFString(MenuRef menu, CFStringRef text, MenuItemIndex afterItem,
                                        MenuItemAttributes attributes, MenuCommand command);
void CheckMenuItem(MenuRef menu, MenuItemIndex item, Boolean checked);
OSStatus SetMenuItemHierarchicalMenu(MenuRef menu, MenuItemIndex item, MenuRef submenu);
OSStatus GetMenuItemHierarchicalMenu(MenuRef menu, MenuItemIndex item, MenuRef* outSubmenu);
OSStatus SetMenuItemRefCon(MenuRef menu, MenuItemIndex item, UInt32 refCon);
OSStatus GetMenuItemRefCon(MenuRef menu, MenuItemIndex item, UInt32* refCon);
// The wide forms hold a pointer.
OSStatus SetMenuItemRefConPtr(MenuRef menu, MenuItemIndex item, void* refCon);
OSStatus GetMenuItemRefConPtr(MenuRef menu, MenuItemIndex item, void** refCon);
// Enters the menu in the menu list (retained there); beforeID kInsertHierarchicalMenu puts it
// among the hierarchical menus.
void InsertMenu(MenuRef menu, MenuID beforeID);
void DeleteMenu(MenuID id);
MenuRef GetMenuHandle(MenuID id);
// Shows the menu with its top left at the global point; answers the chosen menu's id in the
// high word and the item number (from 1) in the low word, or 0 when dismissed.
SInt32 PopUpMenuSelect(MenuRef menu, short top, short left, short popUpItem);

typedef UInt32 ThemeCursor;
enum : UInt32 { kThemeArrowCursor = 0, kThemeIBeamCursor = 4 };
OSStatus SetThemeCursor(ThemeCursor cursor);

// Processes: a serial number per process id; bringing one to the front is recorded.
struct ProcessSerialNumber {
    UInt32 highLongOfPSN;
    UInt32 lowLongOfPSN;
};
enum : OSStatus { procNotFound = -600 };
// procNotFound unless a process with the id exists.
OSStatus GetProcessForPID(pid_t pid, ProcessSerialNumber* psn);
OSErr SetFrontProcess(const ProcessSerialNumber* psn);

#include "CarbonStandin.h"
