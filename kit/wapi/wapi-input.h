// Keyboard, cursors and mouse input of the window layer: platform key events as virtual keys
// and modifier flags, the key and button state, right-click emulation, cursors (platform, built
// in, from resources and cursor files), showing and hiding with the relative mouse mode, the
// cursor position, and mouse events turned into messages. Main (user-interface) thread only.
#pragma once

#include "kit/wapi/wapi-window.h"

#include <AppKit/NSGeometry.h>

#include <cstdint>

class NSEvent;
class NSView;
class NSCursor;

// Key flags answered with a key.
enum : int {
  FVIRTKEY = 1,
  FSHIFT = 4,
  FCONTROL = 8,  // the Command key
  FALT = 16,     // the Option key
  // The Control key, reported only while right-click emulation is off.
  WAPI_FCTRLKEY = 32,
};

// Virtual keys asked of GetAsyncKeyState beside the letters and digits.
enum : int {
  VK_LBUTTON = 1,
  VK_RBUTTON = 2,
  VK_MBUTTON = 4,
  VK_SHIFT = 16,
  VK_CONTROL = 17,  // Command
  VK_MENU = 18,     // Option
  VK_LWIN = 91,     // Control, while right-click emulation is off
};

// The virtual key of a key event (0 for null); flags receive the key flags when given.
int WAPI_MacKeyToWindowsKey(NSEvent* event, int* flags);
// Mode 1 prefers the typed characters and may ask the keyboard layout; a null event is the
// application's current event.
int WAPI_MacKeyToWindowsKeyEx(NSEvent* event, int* flags, int mode);
// The character of Shift and a digit (flags exactly FVIRTKEY|FSHIFT), newFlags set to 0;
// otherwise 0 and newFlags untouched.
int WAPI_KeyToASCII(int code, int flags, int* newFlags);
// 0x8000 while the key or mouse button is down, else 0.
int GetAsyncKeyState(int key);

bool IsRightClickEmulateEnabled();
void WAPI_EnableRightClickEmulate(bool on);

// Cursors: a cursor handle is an NSCursor.
typedef NSCursor* HCURSOR;
#define IDC_ARROW ((const char*)(intptr_t)-999)
#define IDC_SIZEWE ((const char*)(intptr_t)-1000)
#define IDC_SIZENS ((const char*)(intptr_t)-1001)
#define IDC_SIZEALL ((const char*)(intptr_t)-1002)
#define IDC_NO ((const char*)(intptr_t)-1003)
#define IDC_UPARROW ((const char*)(intptr_t)-1004)
#define IDC_IBEAM ((const char*)(intptr_t)-1005)
#define IDC_SIZENWSE ((const char*)(intptr_t)-1006)
#define IDC_SIZENESW ((const char*)(intptr_t)-1007)
#define IDC_HAND ((const char*)(intptr_t)32649)

// One cursor the application registers: an id, a file or image name (a ".cur" file in the
// application's resources, or a path), a hot spot the file may replace, and the cursor made
// on first load.
struct WAPI_CursorResourceIndex {
  int resid;
  const char* resname;
  int hsx, hsy;
  HCURSOR cachedCursor;
  WAPI_CursorResourceIndex* _next;
};
extern WAPI_CursorResourceIndex* WAPI_curmodule_cursorresource_head;

// Platform and built-in cursors are not owned by the caller; null for an unknown id.
HCURSOR WAPI_LoadCursor(const char* id);
// A new cursor the caller releases, or null.
HCURSOR WAPI_LoadCursorFromFile(const char* nameOrPath);
void WAPI_SetCursor(HCURSOR cursor);
HCURSOR WAPI_GetCursor();
HCURSOR WAPI_GetLastSetCursor();
// The new show count; the cursor shows while it is 0 or more.
int WAPI_ShowCursor(bool show);
bool WAPI_IsCursorVisible();
BOOL GetCursorPos(POINT* p);
// The cursor position as (y << 16) | (x & 0xFFFF).
DWORD GetMessagePos();
bool WAPI_SetCursorPos(int x, int y);
// The event's point in the view's coordinates (the virtual position in relative mode).
NSPoint wapiProcessMouseEvent(UINT msg, NSView* view, NSEvent* event);

// Mouse messages.
enum : UINT {
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MBUTTONDBLCLK = 0x0209,
  WM_NCLBUTTONDOWN = 0x00A1,
  WM_INITMENUPOPUP = 0x0117,
};
// A mouse event as the message to the view (or to the view holding the capture in its window).
LRESULT WAPI_SendMouseMessage(NSView* view, UINT msg, NSEvent* event);

// Notifications of child controls, sent to the view that is their target or delegate. The view
// class answers their selectors once this has run (at start-up).
void wapiAddControlNotificationMethods();
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  int code;
};
// The list-view record; other double clicks send it with every field but the header 0.
struct NMLISTVIEW {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
};
enum : int {
  NM_DBLCLK = -3,
  LBN_SELCHANGE = 1,
  LBN_DBLCLK = 2,
  CBN_SELCHANGE = 1,
  CBN_DBLCLK = 2,
  CBN_EDITCHANGE = 5,
  CBN_DROPDOWN = 7,
};

// Drop callbacks the application may install (null when unset): the dropped-file block and the
// drag position in screen coordinates on entering, the position on each update, the leaving,
// and the folder promised files are to be written to (null or "" means "/tmp/").
extern void (*WAPI_DDrop_onDragEnter)(HANDLE drop, int x, int y);
extern void (*WAPI_DDrop_onDragOver)(int x, int y);
extern void (*WAPI_DDrop_onDragLeave)();
extern const char* (*WAPI_DDrop_getDroppedFileTargetPath)(const char* fileType);
